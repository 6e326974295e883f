// Graphics windows on the Qt backend (offscreen): plots land in the window's pixels
// where the transform puts them, lines and circles are smooth, text leaves what lies
// behind it, axes have their own colour, windows stay inside the frame, and pictures
// are saved as PNG and SVG, a viewport's drawing clipped as on the screen.
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QScrollBar>
#include <set>
#include <vector>

#include "QtTesting.h"
#include "store/Buffer.h"
#include "windows/Graphics.h"
#include "windows/Plot.h"

namespace {

class GraphicsQtTest : public QtFixture {
protected:
  void SetUp() override {
    QtFixture::SetUp();
    Buffer::Init();
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
    ASSERT_TRUE(Graphics::InitGraphics());
  }
  QImage Pixels(const Graphics::GraphWindow* w) {
    return backend->PortImage(Toolbox::Port{w->window, nullptr, &w->window->port});
  }
  static bool Ink(const QImage& image, int x, int y) { return image.pixel(x, y) == qRgb(0, 0, 0); }
  static std::set<QRgb> Colours(const QImage& image, const QRect& r) {
    std::set<QRgb> colours;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) colours.insert(image.pixel(x, y));
    return colours;
  }
};

TEST_F(GraphicsQtTest, TracesAndMarkersLandWhereTheTransformPutsThem) {
  Graphics::WindowSpec spec;
  spec.bounds = Toolbox::Rect{20, 40, 122, 142}; // content 102 x 102: world 0..1 is pixels 1..101
  Graphics::GraphWindow* w = Graphics::NewGraphWindow(spec);
  ASSERT_NE(w, nullptr);
  Graphics::GraphPort* p = Graphics::CurrentGraphPort();
  // A reduced trace of equal values: two pixels in every column, at row 76 and 77.
  const std::vector<double> flat(20000, 0.25);
  Plot::PlotTrace(p, 0, 1, flat.data(), 20000, true, false);
  // A polyline across at 0.75 (row 26), and a plus marker centred on (0.5, 0.5).
  const double x[] = {0, 1}, y[] = {0.75, 0.75};
  Plot::PlotXY(p, x, y, 2, false);
  Graphics::SetMarkerKind(1);
  Graphics::WorldMarker(0.5, 0.5);
  const QImage image = Pixels(w);
  for (int col : {1, 50, 100}) {
    EXPECT_FALSE(Ink(image, col, 75)) << col;
    EXPECT_TRUE(Ink(image, col, 76)) << col;
    EXPECT_TRUE(Ink(image, col, 77)) << col;
    EXPECT_FALSE(Ink(image, col, 78)) << col;
    EXPECT_TRUE(Ink(image, col, 26)) << col;
  }
  EXPECT_FALSE(Ink(image, 0, 76)); // world 0 is one pixel inside
  EXPECT_TRUE(Ink(image, 47, 51));
  EXPECT_TRUE(Ink(image, 55, 51));
  EXPECT_TRUE(Ink(image, 51, 47));
  EXPECT_FALSE(Ink(image, 56, 51));

  const QString png = QString::fromStdString(testing::TempDir() + "graphics-qt.png");
  const QString svg = QString::fromStdString(testing::TempDir() + "graphics-qt.svg");
  ASSERT_EQ(Graphics::SavePicture(w, png.toStdString()), 0);
  ASSERT_EQ(Graphics::SavePicture(w, svg.toStdString()), 0);
  const QImage saved(png);
  ASSERT_EQ(saved.size(), QSize(102, 102));
  EXPECT_TRUE(Ink(saved, 50, 76));
  EXPECT_FALSE(Ink(saved, 50, 75));
  QFile file(svg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("<svg"));
  QFile::remove(png);
  QFile::remove(svg);
}

TEST_F(GraphicsQtTest, LinesAreSmoothTextLeavesWhatIsBehindAndAxesAreBlack) {
  Graphics::WindowSpec spec;
  spec.bounds = Toolbox::Rect{20, 40, 322, 242};
  Graphics::GraphWindow* w = Graphics::NewGraphWindow(spec);
  ASSERT_NE(w, nullptr);
  Graphics::GraphPort* v = Graphics::NewViewport(Graphics::WindowPort(w), 50, 250, 20, 180, false);
  ASSERT_NE(v, nullptr);
  Graphics::SetWorld(0, 0, 100, 100);
  Graphics::SetColor(Graphics::ColorNumber("Red"));
  Graphics::DrawAxes(false);
  // Pixel (x, 181) of the x axis and the row of its labels below it.
  QImage image = Pixels(w);
  EXPECT_EQ(image.pixel(150, 180), qRgb(0, 0, 0));
  // A slanted line and a thick one shade their edges; a line behind a text shows
  // between its letters.
  Graphics::SetColor(Graphics::ColorNumber("Black"));
  Graphics::WorldLine(0.0, 0.0, 100.0, 60.0);
  Graphics::SetPenSize(3);
  Graphics::WorldLine(0.0, 100.0, 100.0, 70.0);
  Graphics::SetPenSize(1);
  Graphics::WorldLine(0.0, 85.0, 100.0, 85.0);
  std::int32_t h = 0, lineRow = 0;
  Graphics::WorldToPixel(0, 85, h, lineRow);
  Graphics::TextAt(10, 83, "WWWWWWWW");
  image = Pixels(w);
  std::set<int> greys;
  for (QRgb c : Colours(image, QRect(60, 90, 180, 80)))
    if (qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) > 0 && qRed(c) < 255)
      greys.insert(qRed(c));
  EXPECT_GE(greys.size(), 3u) << "the slanted line has shaded edges";
  int inkOnLine = 0, whiteOnLine = 0;
  for (int x = 70; x < 200; ++x) (Ink(image, x, lineRow) ? inkOnLine : whiteOnLine)++;
  EXPECT_GT(inkOnLine, 100) << "the text has no box of the background around it";
}

// Every window the workstation places lies inside the frame with its caption and
// borders: a graphics window asked larger than the frame, a window KeepInFrame moves, a
// cascade of text windows from the width of the frame (each caption in view below the
// one before), and a tool window placed clear of the captions of the windows under it.
TEST_F(GraphicsQtTest, WindowsTheWorkstationPlacesStayInside) {
  Graphics::WindowSpec spec;
  spec.bounds = Toolbox::Rect{10, 10, 5000, 4000};
  Graphics::GraphWindow* w = Graphics::NewGraphWindow(spec);
  ASSERT_NE(w, nullptr);
  std::vector<Toolbox::Window> made;
  made.push_back(Toolbox::NewWindow(Toolbox::Rect{300, 200, 1300, 500}, "Text", true,
                                    Toolbox::kDocumentWindow, true, nullptr));
  Toolbox::KeepInFrame(made.back());
  const Toolbox::Rect client = Toolbox::FrameClientRect();
  const Toolbox::Rect wide{client.left + 8, client.top + 32, client.right - 8, client.bottom - 200};
  for (int i = 1; i <= 5; ++i)
    made.push_back(Toolbox::NewWindow(Toolbox::CascadePlace(Toolbox::kDocumentWindow, wide, 1),
                                      "Cascade", true, Toolbox::kDocumentWindow, true, nullptr));
  made.push_back(Toolbox::NewWindow(
      Toolbox::ClearOfCaptions(Toolbox::kToolWindow, Toolbox::Rect{12, 42, 672, 240}), "Tool", true,
      Toolbox::kToolWindow, false, nullptr));
  for (Toolbox::Window t : made) ASSERT_NE(t, nullptr);
  QCoreApplication::processEvents();
  auto* area = qobject_cast<QMdiArea*>(frame->centralWidget());
  ASSERT_NE(area, nullptr);
  const QRect inside = area->viewport()->rect();
  for (QMdiSubWindow* sub : area->subWindowList())
    EXPECT_TRUE(inside.contains(sub->geometry()))
        << sub->windowTitle().toStdString() << " " << sub->geometry().x() << ","
        << sub->geometry().y();
  EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(area->verticalScrollBar()->isVisible());
  // The cascade's windows step down by their captions' height, no two at one place.
  const Toolbox::Rect margins = backend->WindowMargins(Toolbox::kDocumentWindow);
  for (std::size_t i = 2; i <= 5; ++i) {
    const Toolbox::Rect before = Toolbox::GetWindowRect(made[i - 1]);
    const Toolbox::Rect r = Toolbox::GetWindowRect(made[i]);
    EXPECT_EQ(r.top - before.top, std::max(16, margins.top)) << i;
  }
  // The tool window's outer frame keeps off the captions of the windows under it.
  QMdiSubWindow* tool = area->subWindowList(QMdiArea::StackingOrder).last();
  EXPECT_EQ(tool->windowTitle(), "Tool");
  for (QMdiSubWindow* sub : area->subWindowList()) {
    if (sub == tool) continue;
    const QRect caption(sub->geometry().topLeft(),
                        QSize(sub->width(), sub->widget()->mapTo(sub, QPoint(0, 0)).y()));
    EXPECT_FALSE(tool->geometry().intersects(caption)) << sub->windowTitle().toStdString();
  }
  for (Toolbox::Window t : made) Toolbox::DisposeWindow(t);
}

TEST_F(GraphicsQtTest, AViewportsDrawingIsClippedInTheSvg) {
  Graphics::WindowSpec spec;
  spec.bounds = Toolbox::Rect{20, 40, 320, 240};
  Graphics::GraphWindow* w = Graphics::NewGraphWindow(spec);
  ASSERT_NE(w, nullptr);
  ASSERT_NE(Graphics::NewViewport(Graphics::WindowPort(w), 50, 250, 20, 180, false), nullptr);
  Graphics::SetWorld(0, 0, 100, 100);
  Graphics::WorldLine(-50.0, 50.0, 150.0, 50.0); // beyond the viewport on both sides
  const QString svg = QString::fromStdString(testing::TempDir() + "clipped.svg");
  ASSERT_EQ(Graphics::SavePicture(w, svg.toStdString()), 0);
  QFile file(svg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  QFile::remove(svg);
  const QRegularExpressionMatch clip =
      QRegularExpression(
          R"re(<clipPath id="(\w+)"><rect x="(\d+)" y="(\d+)" width="(\d+)" height="(\d+)"/>)re")
          .match(text);
  ASSERT_TRUE(clip.hasMatch()) << text.toStdString();
  EXPECT_EQ(clip.captured(2) + "," + clip.captured(3) + "," + clip.captured(4) + "," +
                clip.captured(5),
            "50,20,200,160");
  // The line is drawn inside the group of that clip.
  const qsizetype group = text.indexOf("<g clip-path=\"url(#" + clip.captured(1) + ")\">");
  ASSERT_GE(group, 0);
  EXPECT_GT(text.indexOf("<path", group), group);
}

} // namespace
