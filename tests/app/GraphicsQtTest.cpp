// Graphics windows on the Qt backend (offscreen): plots land in the window's pixels
// where the transform puts them, and pictures are saved as PNG and SVG.
#include <QFile>
#include <QImage>
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

} // namespace
