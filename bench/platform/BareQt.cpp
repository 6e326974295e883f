// The yardstick of velmarin's start-up: a bare Qt Widgets program that opens a window
// of the frame's size with a text widget holding the command text, and prints
// "ready-ms N", N the milliseconds from process start (or from VELMARIN_T0, seconds
// since the epoch) to the first paint of that widget with its text, the moment the
// user can type into it. It ends there.
#include <QApplication>
#include <QFont>
#include <QMainWindow>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

double t0 = 0;

// The ten lines of velmarin's command text.
constexpr const char kCommandText[] = "MODULE Command; (* Version 0.1 *)\n"
                                      "                (* Path: /tmp/ *)\n"
                                      "\n"
                                      "IMPORT c;\n"
                                      "\n"
                                      "BEGIN\n"
                                      "\n"
                                      "\n"
                                      "\n"
                                      "END Command.";

class TextView : public QPlainTextEdit {
public:
  using QPlainTextEdit::QPlainTextEdit;

protected:
  void paintEvent(QPaintEvent* e) override {
    QPlainTextEdit::paintEvent(e);
    std::printf("ready-ms %.1f\n", NowMs() - t0);
    std::fflush(stdout);
    std::_Exit(0);
  }
};

// The size of velmarin's frame (Startup::FrameSize): 680 x 520 logical units of
// dpi x 0.0125 pixels, each at most the screen's less a twentieth of it.
QSize FrameSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double scale = (screen != nullptr ? screen->logicalDotsPerInch() : 96.0) * 0.0125;
  const QRect g = screen != nullptr ? screen->geometry() : QRect(0, 0, 800, 600);
  return QSize(std::min(int(std::lround(680 * scale)), g.width() - g.width() / 20),
               std::min(int(std::lround(520 * scale)), g.height() - g.height() / 20));
}

} // namespace

int main(int argc, char** argv) {
  t0 = NowMs();
  if (const char* given = std::getenv("VELMARIN_T0"); given != nullptr && *given != 0)
    t0 = std::strtod(given, nullptr) * 1000.0;
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle(QStringLiteral("Bare Qt"));
  auto* text = new TextView(QString::fromLatin1(kCommandText));
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  text->setFont(font);
  w.setCentralWidget(text);
  w.resize(FrameSize());
  w.show();
  return app.exec();
}
