// The yardstick of velmarin's start-up: a bare Qt Widgets program that opens and paints
// one window of the frame's size, prints the milliseconds from process start (or from
// VELMARIN_T0, seconds since the epoch) to its first paint and ends there.
#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

double t0 = 0;

class Window : public QWidget {
protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Bare Qt"));
    p.end();
    std::printf("first-paint-ms %.1f\n", NowMs() - t0);
    std::fflush(stdout);
    std::_Exit(0);
  }
};

} // namespace

int main(int argc, char** argv) {
  t0 = NowMs();
  if (const char* given = std::getenv("VELMARIN_T0"); given != nullptr && *given != 0)
    t0 = std::strtod(given, nullptr) * 1000.0;
  QApplication app(argc, argv);
  Window w;
  w.setWindowTitle(QStringLiteral("Bare Qt"));
  w.resize(760, 570);
  w.show();
  return app.exec();
}
