// The dialog configuration on the headless backend: the user's steps run whenever the
// configuration waits for input (fields set as a drag or an edit would set them, then a
// click on a button), so that every path goes through the configuration's own items.
#include "DialogTesting.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>

#include "dialog/ColorPicker.h"
#include "dialog/DialogConfig.h"

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;

// The configuration's items.
enum : std::int16_t {
  kDone = 1,
  kCancel = 2,
  kUpdate = 3,
  kHighCol = 4,
  kBackCol = 5,
  kTarget = 6,
  kLeft = 8,
  kBottom = 10,
  kWidth = 12,
  kHeight = 14,
  kPositionX = 16,
  kPositionY = 18,
  kText = 22,
  kUnit = 24,
  kLength = 25,
  kDigits = 27,
  kFont = 29,
  kSize = 30,
  kStyle = 32,
  kSecondKey = 33,
  kFirstKey = 34,
  kExecutable = 36,
  kVisible = 37,
  kEnabled = 38,
  kInteger = 39,
  kScientific = 42,
  kFrontOnly = 44,
  kAnyModifier = 45,
  kAlignment = 46,
  kInverted = 47,
  kWmf = 48,
};

class DialogConfigTest : public ModalFixture {
protected:
  void SetUp() override {
    ModalFixture::SetUp();
    DialogConfig::Init();
  }
  void TearDown() override {
    ColorPicker::Testing::SetScreenPalette({});
    ModalFixture::TearDown();
  }
  // Configures item index of d with the steps; they must end the configuration.
  void Configure(DialogRecord& d, std::int16_t index, std::vector<std::function<void()>> steps) {
    ASSERT_TRUE(Modal(std::move(steps), [&] {
      DialogConfig::Open(d, index, Toolbox::Point{10, 10});
    }));
    EXPECT_EQ(DialogConfig::Configuration(), nullptr);
  }

  static DialogRecord& Config() { return *DialogConfig::Configuration(); }
  static DialogItem& Field(std::int16_t i) { return *Config().items[i]; }
  static std::int32_t& Int(std::int16_t i) { return *static_cast<std::int32_t*>(Field(i).value); }
  static bool& Flag(std::int16_t i) { return *static_cast<bool*>(Field(i).value); }
  static void SetText(std::int16_t i, const char* text) {
    std::strcpy(static_cast<char*>(Field(i).value), text);
  }
  std::function<void()> Goto(const char* target) {
    return [this, target] {
      SetText(kTarget, target);
      Press(Config(), kUpdate);
    };
  }
  std::function<void()> Pressing(std::int16_t i) {
    return [this, i] { Press(Config(), i); };
  }

  DialogRecord d;
  DialogItem* items[kHighest + 1] = {};
  // A second dialog; a member like d, so that TearDown disposes of it after any failure.
  DialogRecord other;
  DialogItem* otherItems[kHighest + 1] = {};
};

TEST_F(DialogConfigTest, GotoItemTakesIndicesAndNamesAndReportsWhatItCannotFind) {
  Make(d, items, "Tank", true, 10);
  Dialog::SetProcs(d, Dialog::DialogProcs{}, 't');
  for (int i = 1; i <= 10; ++i)
    Dialog::DefineItem(d, i, i == 4 ? ItemKind::Switch : ItemKind::Button,
                       base::CharsOf(i == 4 ? "Pump" : ""), i == 4, "x", 10, 20 * i + 20, 60, 18);
  Open(d);
  std::vector<std::string> titles;
  auto title = [&titles] { titles.emplace_back(Field(0).text); };
  std::vector<bool> shown;
  auto kinds = [&shown] {
    shown = {Field(kHighCol).visible, Field(kBackCol).visible, Field(kInteger).visible,
             Field(kLength).enabled, Field(kSecondKey).visible};
  };
  Configure(d, 2,
            {[&] { title(); }, Goto("12"), Goto("pUmP"),
             [&] {
               title();
               kinds();
             },
             Goto("valve"), Goto("0"), [&] { title(); },
             // Typed into the field, the target is taken once: by the click on "Update".
             [&] {
               Press(Config(), kTarget);
               Keys("'13'");
             },
             Pressing(kUpdate), Pressing(kCancel)});
  EXPECT_NE(Output().find("## Error converting \"12\" to index of target item. ## "),
            std::string::npos);
  const std::string out = Output();
  const std::size_t thirteen = out.find("\"13\"");
  ASSERT_NE(thirteen, std::string::npos);
  EXPECT_EQ(out.find("\"13\"", thirteen + 1), std::string::npos) << out;
  EXPECT_NE(Output().find("#  Error: Item with name \"valve\" not found. ## "), std::string::npos);
  ASSERT_EQ(titles.size(), 3u);
  EXPECT_EQ(titles[0], "Configure: \"unnamed\" (button)");
  EXPECT_EQ(titles[1], "Configure: \"T Pump\" (switch,macro)");
  EXPECT_EQ(titles[2], "Dialog Configuration");
  // A switch has a highlight colour, no number format and no lengths.
  EXPECT_EQ(shown, (std::vector<bool>{true, true, false, false, false}));
}

TEST_F(DialogConfigTest, EveryFieldGoesIntoTheItemAndThroughTheDialogFile) {
  Make(d, items, "Tank", true, 3);
  Dialog::DefineItem(d, 1, ItemKind::Button, "stop", false, "Stop", 10, 40, 60, 18);
  Dialog::DefineItem(d, 2, ItemKind::FramedNumber, "gain", false, "Gain", 10, 80, 120, 18);
  Dialog::DefineItem(d, 3, ItemKind::List, "mode", false, "", 10, 120, 120, 18);
  d.items[2]->backCol = Dialog::RGBColor{0, 0, 65535};
  Open(d);
  ColorPicker::Testing::SetScreenPalette({{0, 0, 0}, {65535, 0, 0}, {0, 65535, 0}, {0, 0, 65535}});
  backend.AnswerFont(true, "Courier", 0, Dialog::kBold | Dialog::kItalic);
  bool lengthsShown = false;
  Configure(d, 2,
            {[&] {
               lengthsShown = Field(kInteger).visible && Field(kLength).enabled;
               Int(kLeft) = 30;
               Int(kBottom) = 90;
               Int(kWidth) = 140;
               Int(kHeight) = 22;
               Int(kPositionX) = 4;
               Int(kPositionY) = 15;
               SetText(kText, "Gain 2");
               SetText(kUnit, "dB");
               Int(kLength) = 9;
               Int(kDigits) = 3;
               Int(kSize) = 14;
               Int(kScientific) = 3;
               Int(kAlignment) = 2;
               Flag(kExecutable) = true;
               Flag(kFrontOnly) = true;
               Flag(kAnyModifier) = true;
               Flag(kInverted) = true;
               Press(Config(), kFirstKey);
             },
             [&] { Keys("S-g"); }, Pressing(kFont), Pressing(kBackCol),
             // The picker's grid of 2 by 2: from blue (3) one to the right wraps to black (0),
             // one up is green (2).
             [&] { Keys("RIGHT UP RETURN"); }, Pressing(kDone)});
  EXPECT_TRUE(lengthsShown);
  EXPECT_NE(Output().find("New key: G"), std::string::npos);
  const DialogItem gain = *d.items[2];
  EXPECT_EQ(gain.rect, (Toolbox::Rect{30, 68, 170, 90}));
  EXPECT_EQ(gain.positionX, 4);
  EXPECT_EQ(gain.positionY, 15);
  EXPECT_STREQ(gain.text, "Gain 2");
  EXPECT_STREQ(gain.area.text, "Gain 2");
  EXPECT_STREQ(gain.unit, "dB");
  EXPECT_EQ(gain.length, 9);
  EXPECT_EQ(gain.digits, 3);
  EXPECT_EQ(gain.size, 14);
  EXPECT_EQ(gain.format, Dialog::NumberFormat::Scientific);
  EXPECT_EQ(gain.alignment, Dialog::Alignment::Right);
  EXPECT_EQ(gain.style, Dialog::kBold | Dialog::kItalic);
  EXPECT_TRUE(gain.executable && gain.frontOnly && gain.anyModifier && gain.inverted);
  // With any modifier the key is kept as the upper-case letter without modifiers.
  EXPECT_EQ(gain.keyCode, KeyEvents::KeyCharacter);
  EXPECT_EQ(gain.keyChar, 'G');
  EXPECT_EQ(gain.keyModifiers, 0);
  EXPECT_EQ(gain.backCol, (Dialog::RGBColor{0, 65535, 0}));
  const std::int32_t courier = Toolbox::FontNumber("Courier");
  if (courier >= 0) {
    EXPECT_EQ(gain.font, courier);
  }

  // The tip number is no part of the file: records keep their length.
  d.items[2]->tip = 7;
  ASSERT_TRUE(Dialog::Store(d, ""));
  std::ifstream in(dir + "/Tank.dia", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.size(), 512u + 4 * 312u);
  Dialog::Dispose(d);
  made.clear();
  DialogRecord& e = other;
  Make(e, otherItems, "Tank", true, 3);
  Dialog::DefineItem(e, 1, ItemKind::Button, "stop", false, "Stop", 10, 40, 60, 18);
  Dialog::DefineItem(e, 2, ItemKind::FramedNumber, "gain", false, "Gain", 10, 80, 120, 18);
  Dialog::DefineItem(e, 3, ItemKind::List, "mode", false, "", 10, 120, 120, 18);
  ASSERT_TRUE(Dialog::Load(e, "", false));
  const DialogItem& loaded = *e.items[2];
  EXPECT_EQ(loaded.rect, gain.rect);
  EXPECT_EQ(loaded.positionX, 4);
  EXPECT_EQ(loaded.positionY, 15);
  EXPECT_STREQ(loaded.text, "Gain 2");
  EXPECT_STREQ(loaded.unit, "dB");
  EXPECT_EQ(loaded.length, 9);
  EXPECT_EQ(loaded.digits, 3);
  EXPECT_EQ(loaded.size, 14);
  EXPECT_EQ(loaded.font, gain.font);
  EXPECT_EQ(loaded.format, gain.format);
  EXPECT_EQ(loaded.alignment, gain.alignment);
  EXPECT_EQ(loaded.style, gain.style);
  EXPECT_TRUE(loaded.executable && loaded.frontOnly && loaded.anyModifier && loaded.inverted);
  EXPECT_EQ(loaded.keyChar, 'G');
  EXPECT_EQ(loaded.backCol, gain.backCol);
  EXPECT_EQ(loaded.tip, 0);
}

TEST_F(DialogConfigTest, HidingDisablesAMovedCheckBoxKeepsItsBoxAndCancelKeepsTheItem) {
  Make(d, items, "Tank", true, 2);
  Dialog::DefineItem(d, 1, ItemKind::CheckBox, "light", false, "Light", 10, 40, 90, 18);
  Dialog::DefineItem(d, 2, ItemKind::Button, "stop", false, "Stop", 10, 80, 60, 18);
  Open(d);
  const Toolbox::Rect rect = d.items[1]->rect, box = d.items[1]->area.check.box;
  Configure(d, 1,
            {[&] {
               Int(kLeft) += 10;
               Press(Config(), kVisible);
             },
             Pressing(kDone)});
  const DialogItem& light = *d.items[1];
  EXPECT_FALSE(light.visible);
  EXPECT_FALSE(light.enabled);
  EXPECT_EQ(light.rect.left, rect.left + 10);
  EXPECT_EQ(light.area.check.box.left, box.left + 10);
  EXPECT_EQ(light.area.check.box.right, box.right + 10);
  EXPECT_EQ(light.area.check.box.top, box.top);

  // Cancel leaves the item as it was, the colour chosen live included.
  ColorPicker::Testing::SetScreenPalette({{0, 0, 0}, {65535, 65535, 65535}});
  const Dialog::RGBColor back = d.items[2]->backCol;
  Configure(d, 2,
            {[&] {
               Int(kWidth) = 300;
               Press(Config(), kBackCol);
             },
             [&] { Keys("RIGHT RETURN"); }, Pressing(kCancel)});
  EXPECT_EQ(d.items[2]->rect.Width(), 60);
  EXPECT_EQ(d.items[2]->backCol, back);
}

TEST_F(DialogConfigTest, TheDialogItselfGetsItsWindowFrame) {
  Make(d, items, "Tank", true, 1);
  Dialog::DefineItem(d, 1, ItemKind::Button, "stop", false, "Stop", 10, 40, 60, 18);
  Open(d);
  Toolbox::Rect before;
  Configure(d, 0, {[&] {
              before = Toolbox::Rect{Int(kLeft), Int(kBottom) - Int(kHeight),
                                     Int(kLeft) + Int(kWidth), Int(kBottom)};
              Int(kWidth) += 40;
              Press(Config(), kDone);
            }});
  const Toolbox::Rect frame = Toolbox::GetWindowRect(d.window);
  EXPECT_EQ(frame.Width(), before.Width() + 40);
  EXPECT_EQ(frame.left, before.left);
  EXPECT_EQ(d.normal.rect, frame);
}

TEST_F(DialogConfigTest, TheWmfButtonWritesAMetafileOtherProgramsRead) {
  if (std::system("command -v wmf2svg >/dev/null 2>&1") != 0) GTEST_SKIP() << "wmf2svg missing";
  Make(d, items, "Tank", true, 3);
  Dialog::DefineItem(d, 1, ItemKind::Button, "stop", false, "Stop", 10, 40, 60, 18);
  Dialog::DefineItem(d, 2, ItemKind::FramedNumber, "gain", false, "Gain", 100, 80, 120, 18);
  Dialog::DefineItem(d, 3, ItemKind::CheckBox, "light", false, "Light", 10, 120, 90, 18);
  Open(d);
  // The name asked for gets the extension ".WMF"; an SVG of the drawing lies beside it.
  backend.AnswerFileName(true, "Panel.pic");
  Configure(d, 1, {Pressing(kWmf), Pressing(kCancel)});
  EXPECT_EQ(backend.LastFilePrompt(), "Name of picture file:");
  EXPECT_EQ(backend.LastFileFilter().rfind("*.WMF", 0), 0u);
  std::ifstream own(dir + "/Panel.svg");
  EXPECT_TRUE(own.good());
  ASSERT_EQ(std::system(("cd " + dir + " && wmf2svg -o converted.svg Panel.WMF 2>&1").c_str()), 0)
      << "wmf2svg needs the fonts of fonts-urw-base35";
  std::ifstream in(dir + "/converted.svg");
  const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The rectangles of the drawing (wmf2svg rounds them off by less than a point).
  std::vector<Toolbox::Rect> rects;
  const std::regex rect(
      R"re(<rect x="([-0-9.]+)" y="([-0-9.]+)" width="([-0-9.]+)" height="([-0-9.]+)")re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), rect); it != std::sregex_iterator();
       ++it) {
    const double x = std::stod((*it)[1]), y = std::stod((*it)[2]);
    rects.push_back(Toolbox::Rect{static_cast<std::int32_t>(std::lround(x)),
                                  static_cast<std::int32_t>(std::lround(y)),
                                  static_cast<std::int32_t>(std::lround(x + std::stod((*it)[3]))),
                                  static_cast<std::int32_t>(std::lround(y + std::stod((*it)[4])))});
  }
  auto present = [&rects](const Toolbox::Rect& r) {
    return std::any_of(rects.begin(), rects.end(), [&r](const Toolbox::Rect& s) {
      return std::abs(s.left - r.left) <= 1 && std::abs(s.top - r.top) <= 1 &&
             std::abs(s.right - r.right) <= 1 && std::abs(s.bottom - r.bottom) <= 1;
    });
  };
  EXPECT_TRUE(present(Toolbox::GetPortRect(d.window))) << svg;
  EXPECT_TRUE(present(d.items[1]->rect)) << svg;
  EXPECT_TRUE(present(d.items[2]->rect)) << svg;
  EXPECT_TRUE(present(d.items[3]->area.check.box)) << svg;
  EXPECT_NE(svg.find(">Stop</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Light</text>"), std::string::npos);
}

TEST_F(DialogConfigTest, AControlClickOnAConfigurableDialogConfiguresTheItem) {
  Make(d, items, "Tank", true, 2);
  Dialog::DefineItem(d, 1, ItemKind::Button, "stop", false, "Stop", 10, 40, 60, 18);
  Dialog::DefineItem(d, 2, ItemKind::Button, "go", false, "Go", 10, 80, 60, 18);
  Open(d);
  auto controlClick = [this](DialogRecord& dialog, int index) {
    const std::uint32_t t = NextTime();
    Mouse(dialog, Kind::ButtonDown, Centre(dialog, index), t, Events::kControlKey);
    Mouse(dialog, Kind::ButtonUp, Centre(dialog, index), t + 10, Events::kControlKey);
    Run();
  };
  std::int16_t configured = -1;
  ASSERT_TRUE(Modal({[&] {
                      configured = DialogConfig::ConfiguredItem();
                      Press(Config(), kCancel);
                    }},
                    [&] { controlClick(d, 2); }));
  EXPECT_EQ(configured, 2);
  EXPECT_EQ(DialogConfig::Configuration(), nullptr);
  // A dialog that is not configurable takes no control-click.
  DialogRecord& plain = other;
  Make(plain, otherItems, "Plain", false, 1);
  Dialog::DefineItem(plain, 1, ItemKind::Button, "stop", false, "Stop", 10, 40, 60, 18);
  Open(plain);
  controlClick(plain, 1);
  EXPECT_EQ(DialogConfig::Configuration(), nullptr);
}

TEST_F(DialogConfigTest, KeysGetShortNames) {
  using namespace KeyEvents;
  const struct {
    std::uint8_t code;
    char ch;
    std::uint8_t modifiers;
    const char* name;
  } cases[] = {
      {KeyCharacter, 'A', kModShift, "A"},
      {KeyCharacter, 'a', kModShift | kModControl, "sh-ctr-a"},
      {KeyCharacter, 1, 0, "ctr-A"},
      {KeyCharacter, 2, kModControl, "ctr-B"},
      {KeyCharacter, ' ', kModOption, "op-space"},
      {KeyCharacter, 27, 0, "esc"},
      {KeyCharacter, 13, kModCommand | kModCapsLock, "com-cap-return"},
      {KeyCharacter, 0, 0, ""},
      {KeyCursorUp, 0, 0, "up"},
      {7, 0, 0, "nu 0"},
      {16, 0, 0, "nu 9"},
      {17, 0, 0, "enter"},
      {24, 0, 0, "nu *"},
      {25, 0, kModShift, "sh-F1"},
      {39, 0, 0, "F15"},
      {43, 0, 0, "p-down"},
      {KeyDeleteRight, 0, 0, "delete"},
  };
  for (const auto& c : cases) {
    char name[32];
    DialogConfig::ShortKeyName(c.code, c.ch, c.modifiers, name);
    EXPECT_STREQ(name, c.name) << int(c.code) << " " << int(c.ch);
  }
}

} // namespace
