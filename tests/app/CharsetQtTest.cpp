// The workstation's characters on the Qt backend: the glyphs a text row is drawn with,
// window titles and the clipboard (keys: QtBackendTest).
#include "QtTesting.h"

#include <QClipboard>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPaintEngine>
#include <QTextItem>
#include <map>
#include <string>

#include "platform/qt/QtPaint.h"

namespace {

// A paint device that keeps the text items drawn on it, by their x position: what the
// glyph runs of a drawing say, whatever the pixels.
class GlyphRecorder : public QPaintDevice {
public:
  std::map<int, QString> runs;

  QPaintEngine* paintEngine() const override { return &engine_; }

protected:
  int metric(PaintDeviceMetric m) const override {
    switch (m) {
    case PdmWidth:
      return 2000;
    case PdmHeight:
      return 100;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
      return 96;
    case PdmDepth:
      return 32;
    default:
      return 1;
    }
  }

private:
  class Engine : public QPaintEngine {
  public:
    explicit Engine(GlyphRecorder* owner) : owner_(owner) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawRects(const QRectF*, int) override {}
    void drawTextItem(const QPointF& at, const QTextItem& item) override {
      owner_->runs[qRound(at.x())] += item.text();
    }
    Type type() const override { return User; }

  private:
    GlyphRecorder* owner_;
  };
  mutable Engine engine_{this};
};

// "(* Grüße für Mädchen — 20°C, 5 €, π ≈ 3.14 *)" in UTF-8.
const std::string kComment = "(* Gr\xC3\xBC\xC3\x9F"
                             "e f\xC3\xBCr M\xC3\xA4"
                             "dchen \xE2\x80\x94 20\xC2\xB0"
                             "C, 5 \xE2\x82\xAC, \xCF\x80 \xE2\x89\x88 3.14 *)";

using CharsetQtTest = QtFixture;

TEST_F(CharsetQtTest, ATextKeptAsUtf8ShowsEachCharacterInTheCellOfItsFirstByte) {
  QtUi::Fonts fonts(96);
  Toolbox::DrawCommand c;
  c.op = Toolbox::DrawCommand::Op::Text;
  c.a = {0, 20};
  c.text = kComment;
  c.state.utf8Text = true;
  GlyphRecorder device;
  {
    QPainter p(&device);
    QtUi::RenderOn(p, c, fonts);
  }
  const int cell = fonts.Get(c.state).cell;
  ASSERT_GT(cell, 0);
  // Every character in order, each where the cell of its first byte begins.
  QString shown;
  std::map<int, QString> expected;
  std::size_t at = 0;
  for (const char32_t u : QString::fromUtf8(kComment).toUcs4()) {
    if (u >= 0x80) expected[int(at) * cell] = QString::fromUcs4(&u, 1);
    at += QString::fromUcs4(&u, 1).toUtf8().size();
  }
  for (const auto& [x, text] : device.runs) {
    if (x > 0) {
      ASSERT_TRUE(expected.count(x)) << x;
      EXPECT_EQ(text, expected[x]);
    }
  }
  EXPECT_EQ(device.runs.size(), expected.size() + 1) << "the row, then each character";
  QString row = device.runs[0];
  for (const auto& [x, text] : expected) row[x / cell] = text[0];
  row.remove(' ');
  EXPECT_EQ(row, QString::fromUtf8(kComment).remove(' '));

  // A text of the set draws its codes as their characters, one run, one cell each.
  device.runs.clear();
  c.state.utf8Text = false;
  c.text = "Gr\xFC\xDF"
           "e \x80 \x97 \x9C";
  {
    QPainter p(&device);
    QtUi::RenderOn(p, c, fonts);
  }
  ASSERT_EQ(device.runs.size(), 1u);
  EXPECT_EQ(device.runs.begin()->second, QString::fromUtf8("Grüße € — œ"));
}

TEST_F(CharsetQtTest, TitlesAndTheClipboardConvert) {
  Toolbox::Window w = Toolbox::NewWindow(Toolbox::Rect{0, 0, 100, 100},
                                         "Gr\xFC\xDF"
                                         "e \x80",
                                         true, Toolbox::kDocumentWindow, true, nullptr);
  QMdiSubWindow* sub = qobject_cast<QMdiArea*>(frame->centralWidget())->subWindowList().front();
  EXPECT_EQ(sub->windowTitle(), QString::fromUtf8("Grüße €"));

  Toolbox::PutClipboardText("5 \xE2\x82\xAC, \xCF\x80");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("5 €, π"));
  QGuiApplication::clipboard()->setText(QString::fromUtf8("≈ é"));
  std::string text;
  ASSERT_TRUE(Toolbox::GetClipboardText(text));
  EXPECT_EQ(text, "\xE2\x89\x88 \xC3\xA9");
  Toolbox::DisposeWindow(w);
}

} // namespace
