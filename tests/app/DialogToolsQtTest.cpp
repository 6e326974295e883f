// The dialog tools on the Qt backend (offscreen): the configuration dialog, the colour
// picker's grid and a tool tip as the user sees them. Each is shot while it waits for
// the user; the pictures go to the test's directory and, with VELMARIN_SHOTS set, to
// that directory too, to be looked at.
#include "QtTesting.h"

#include <QColor>
#include <QCursor>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "dialog/ColorPicker.h"
#include "dialog/Dialog.h"
#include "dialog/DialogConfig.h"
#include "dialog/Help.h"
#include "platform/Events.h"
#include "platform/KeyScript.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"
#include "store/FileSystem.h"
#include "windows/KeyEvents.h"

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;

class DialogToolsQt : public QtFixture {
protected:
  void SetUp() override {
    QtFixture::SetUp();
    Buffer::Init();
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
    ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(dir.path().toStdString().c_str())));
    ASSERT_TRUE(
        Dialog::Init(panel, items, 4, true, true, "Tank", "Tank", 0, 10, 4, 30, 230, 300, 200, 0));
    Dialog::SetProcs(panel, Dialog::DialogProcs{}, 't');
    Dialog::DefineItem(panel, 1, ItemKind::Button, "stop", false, "Stop", 200, 180, 70, 20);
    Dialog::DefineItem(panel, 2, ItemKind::CheckBox, "light", false, "Light", 20, 40, 90, 18);
    Dialog::DefineItem(panel, 3, ItemKind::FramedNumber, "gain", false, "Gain", 20, 80, 120, 20);
    Dialog::DefineItem(panel, 4, ItemKind::Switch, "pump", false, "Pump", 20, 120, 90, 20);
    ASSERT_TRUE(Dialog::Open(panel, Toolbox::kDocumentWindow, nullptr, nullptr, false,
                             Dialog::WindowOptions{}, false));
    Settle();
  }
  void TearDown() override {
    Help::Close();
    Dialog::Dispose(panel);
    QtFixture::TearDown();
  }

  // Runs the event step until the queue and Qt's events are used up.
  void Settle() {
    for (int i = 0; i < 20; ++i) {
      while (backend->Pump(false)) {}
      if (Events::QueuedCount() == 0) break;
      while (Events::QueuedCount() > 0) Dialog::EventStep();
    }
  }
  // While a modal tool waits: after a moment the frame is shot, then the keys typed.
  void ShootThenType(const QString& name, const std::string& keys) {
    QTimer::singleShot(400, [this, name, keys] {
      shot = Shot(name);
      std::vector<Toolbox::PlatformMessage> messages;
      std::string error;
      EXPECT_TRUE(KeyScript::Parse(keys, messages, error)) << error;
      backend->SetInjectedKeys(messages);
    });
  }
  QImage Shot(const QString& name) {
    QImage image = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    image.save(dir.filePath(name));
    if (const char* keep = std::getenv("VELMARIN_SHOTS")) image.save(QDir(keep).filePath(name));
    return image;
  }
  // Item i's rectangle in the frame's picture.
  QRect InFrame(int i) const {
    const Toolbox::Rect content = Toolbox::GetWindowRect(panel.window);
    const QPoint origin = qobject_cast<QMdiArea*>(frame->centralWidget())
                              ->viewport()
                              ->mapTo(frame, QPoint(content.left, content.top));
    const Toolbox::Rect& r = items[i]->rect;
    return QRect(origin.x() + r.left, origin.y() + r.top, r.Width(), r.Height());
  }
  static double MeanGrey(const QImage& image, const QRect& r) {
    double sum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) sum += qGray(image.pixel(x, y));
    return sum / (r.width() * r.height());
  }
  static std::set<QRgb> Colours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y) & 0xFFFFFF);
    return colours;
  }

  QTemporaryDir dir;
  DialogRecord panel;
  DialogItem* items[5] = {};
  QImage shot;
};

TEST_F(DialogToolsQt, TheConfigurationShowsTheItemsFields) {
  DialogConfig::Init();
  std::string title;
  QTimer::singleShot(300, [&] {
    if (DialogRecord* c = DialogConfig::Configuration()) title = backend->Title(c->window);
  });
  ShootThenType("configuration.png", "ESC");
  DialogConfig::Open(panel, 3, Toolbox::Point{20, 20});
  EXPECT_EQ(DialogConfig::Configuration(), nullptr);
  EXPECT_EQ(title, "Configure: \"T gain\" (framednumber)");
  ASSERT_FALSE(shot.isNull());
  // The dialog's own controls: at least the window's shades, the text and the fields.
  EXPECT_GT(Colours(shot).size(), 8u);
}

// The picker asked for at the frame's right edge (beside a window there) lies inside the
// frame, its close box in view.
TEST_F(DialogToolsQt, TheColourPickerShowsTheSixteenColours) {
  ColorPicker::Testing::SetMarker(true);
  Dialog::RGBColor colour{65535, 0, 0};
  bool inside = false, scrolls = true;
  QTimer::singleShot(300, [&] {
    auto* area = qobject_cast<QMdiArea*>(frame->centralWidget());
    QMdiSubWindow* picker = area->subWindowList(QMdiArea::StackingOrder).last();
    inside = picker->windowTitle() == "Color Picker" &&
             area->viewport()->rect().contains(picker->geometry());
    scrolls = area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible();
  });
  ShootThenType("colorpicker.png", "RIGHT RETURN");
  const bool kept =
      ColorPicker::Pick(&panel, colour, Toolbox::FrameClientRect().right - 40, 40, nullptr);
  EXPECT_TRUE(inside);
  EXPECT_FALSE(scrolls);
  EXPECT_TRUE(kept);
  EXPECT_EQ(colour, (Dialog::RGBColor{0, 65535, 0})); // one right of red (9)
  ASSERT_FALSE(shot.isNull());
  const std::set<QRgb> colours = Colours(shot);
  for (std::int32_t i = 0; i < 16; ++i) {
    const Dialog::RGBColor c = ColorPicker::ColorOf(i);
    EXPECT_TRUE(colours.count(QColor::fromRgba64(c.red, c.green, c.blue).rgb() & 0xFFFFFF) != 0)
        << i;
  }
  ColorPicker::Testing::SetMarker(false);
}

TEST_F(DialogToolsQt, TheDefaultButtonIsOutlinedAndAnInvertedItemIsDark) {
  Dialog::SetItemKey(panel, 1, KeyEvents::KeyCharacter, 13, 0, false, true);
  Dialog::SetItemProcs(panel, 1, nullptr, nullptr, nullptr, nullptr);
  items[4]->inverted = true; // the pump switch, off
  Dialog::DrawDialog(panel);
  Settle();
  const QImage image = Shot("faces.png");
  // The stop button's outline takes the highlight's blue, the check box's none.
  auto blueOutline = [&image](const QRect& r) {
    int n = 0;
    for (int y = r.top() - 2; y <= r.bottom() + 2; ++y)
      for (int x = r.left() - 2; x <= r.right() + 2; ++x) {
        if (r.adjusted(3, 3, -3, -3).contains(x, y)) continue;
        const QRgb c = image.pixel(x, y);
        n += qBlue(c) > qRed(c) + 40;
      }
    return n;
  };
  EXPECT_GT(blueOutline(InFrame(1)), 40);
  EXPECT_LT(blueOutline(InFrame(4)), 5);
  // The inverted switch's face is dark behind its light text.
  EXPECT_LT(MeanGrey(image, InFrame(4).adjusted(4, 4, -4, -4)), 96);
}

// The contrast ratio of two colours by their relative luminance (1 to 21).
double Contrast(QRgb a, QRgb b) {
  auto luminance = [](QRgb c) {
    auto linear = [](int v) {
      const double x = v / 255.0;
      return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The fill of r (its most frequent colour) and the contrast of its strongest other colour
// against it: the label's ink.
double LabelContrast(const QImage& image, const QRect& r) {
  std::map<QRgb, int> count;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) ++count[image.pixel(x, y)];
  const QRgb fill = std::max_element(count.begin(), count.end(), [](auto& a, auto& b) {
                      return a.second < b.second;
                    })->first;
  double best = 1;
  for (const auto& entry : count) best = std::max(best, Contrast(entry.first, fill));
  return best;
}

int Reddish(const QImage& image, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb c = image.pixel(x, y);
      n += qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
    }
  return n;
}

// A switch is a toggle: sunk while on, its lamp lit in "High Col"; off, it stands out and
// its lamp is pale. The label of a switch and of a lit lamp (on its "High Col") is black
// or white, whichever reads on the fill behind it.
TEST_F(DialogToolsQt, ASwitchShowsItsStateAndLabelsReadOnAnyFill) {
  bool pump = true, lamp = true;
  Dialog::BindValue(panel, 4, &pump, Dialog::ValueType::Boolean);
  Dialog::DefineItem(panel, 3, ItemKind::FramedBool, "lamp", false, "Lamp", 150, 150, 90, 22);
  Dialog::BindValue(panel, 3, &lamp, Dialog::ValueType::Boolean);
  items[4]->area.highCol = {65535, 0, 0};
  const Dialog::RGBColor fills[] = {{65535, 0, 0}, {0, 0, 0x8000}, {0xFFFF, 0xFFFF, 0x8000}};
  for (const Dialog::RGBColor& high : fills) {
    items[3]->area.highCol = high;
    for (bool on : {true, false}) {
      pump = on;
      Dialog::DrawDialog(panel);
      Settle();
      const QImage image = Shot(on ? "switch-on.png" : "switch-off.png");
      const QRect sw = InFrame(4);
      // The lamp lies at the left, the label right of it.
      const QRect lampPart(sw.left() + 2, sw.top() + 2, sw.height(), sw.height() - 4);
      const QRect labelPart = sw.adjusted(sw.height() + 2, 4, -4, -4);
      EXPECT_EQ(Reddish(image, lampPart) > 12, on);
      EXPECT_EQ(Reddish(image, labelPart), 0) << "the label stays on the switch's face";
      EXPECT_GE(LabelContrast(image, labelPart), 4.5) << on;
      EXPECT_GE(LabelContrast(image, InFrame(3).adjusted(5, 5, -5, -5)), 4.5)
          << high.red << "," << high.green << "," << high.blue;
    }
  }
  // Sunk while on: the switch's face is darker than while off.
  auto face = [&](bool on) {
    pump = on;
    Dialog::DrawDialog(panel);
    Settle();
    return MeanGrey(Shot("switch.png"), InFrame(4).adjusted(3, 3, -3, -3));
  };
  EXPECT_LT(face(true) + 5, face(false));
}

// The tip's font named by the file (a classic face, shown in the desktop's family) is
// the one its lines were measured in: a long text wraps into lines that lie whole inside
// the tip, none cut at its right edge.
TEST_F(DialogToolsQt, ATipShowsBesideTheRestingMouseWithItsTextWhole) {
  std::ofstream(dir.filePath("tank.hlp").toStdString())
      << "FONT: Arial\nt light;Light;Drag the number up or down with the mouse, or double-click "
         "it and type a value from 0 to 10.\n";
  ASSERT_TRUE(Help::Load("tank.hlp"));
  Help::SetTipsOn(true);
  const Toolbox::Rect frameRect = Toolbox::GetWindowRect(panel.window);
  const Toolbox::Rect& r = panel.items[2]->rect;
  // The pointer comes to rest on "Light".
  QCursor::setPos(frame->centralWidget()->mapToGlobal(
      QPoint(frameRect.left + (r.left + r.right) / 2, frameRect.top + (r.top + r.bottom) / 2)));
  for (int i = 0; i < 10 && !Help::TipShown(); ++i) {
    backend->Pump(true);
    Dialog::EventStep();
  }
  ASSERT_TRUE(Help::TipShown());
  Settle();
  EXPECT_EQ(Toolbox::FrontWindow(), panel.window);
  const QImage image = Shot("tooltip.png");
  // The tip's pale yellow lies right of and below the pointer.
  DialogRecord& tipDialog = *Help::TipWindow();
  const Toolbox::Rect tip = Toolbox::GetWindowRect(tipDialog.window);
  const QPoint inside = frame->mapFromGlobal(
      frame->centralWidget()->mapToGlobal(QPoint(tip.left + 4, tip.bottom - 3)));
  EXPECT_EQ(image.pixel(inside) & 0xFFFFFF, qRgb(0xFF, 0xFF, 0xE0) & 0xFFFFFFu);
  // Every line, measured in the font its item draws with, fits the item, and the items
  // fit the window.
  Toolbox::SetPort(tipDialog.window);
  const std::string text = Help::ShownText();
  ASSERT_NE(text.find('\r'), std::string::npos) << text;
  const Toolbox::Rect port = Toolbox::GetPortRect(tipDialog.window);
  std::int32_t lineCount = 0, lineHeight = 0;
  for (std::int16_t i : {1, 2}) {
    const DialogItem& item = *tipDialog.items[i];
    Toolbox::TextFont(item.font);
    Toolbox::TextSize(item.size);
    Toolbox::TextFace(item.style);
    Toolbox::FontInfo fi;
    Toolbox::GetFontInfo(fi);
    lineHeight = fi.ascent + fi.descent + fi.leading;
    std::string lines = i == 1 ? std::string(Help::ShownTitle()) : text;
    lineCount = 0;
    for (std::size_t start = 0; start <= lines.size(); ++lineCount) {
      const std::size_t end = std::min(lines.find('\r', start), lines.size());
      EXPECT_LE(Toolbox::TextWidth(std::string_view(lines).substr(start, end - start)),
                item.rect.Width())
          << lines.substr(start, end - start);
      start = end + 1;
    }
    EXPECT_LE(lineCount * lineHeight, item.rect.Height() + fi.leading) << i;
    EXPECT_GE(item.rect.left, port.left);
    EXPECT_LE(item.rect.right, port.right);
    EXPECT_LE(item.rect.bottom, port.bottom);
  }
  EXPECT_GT(lineCount, 2);
}

} // namespace
