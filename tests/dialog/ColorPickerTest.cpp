// The colour picker: the sixteen-colour table and its nearest colours, grids and their
// wrapping, the modal grid driven by keys and clicks with live changes and "Cancel",
// and the platform's chooser on deep screens.
#include "DialogTesting.h"

#include "dialog/ColorPicker.h"

namespace {

using ColorPicker::Grid;
using Dialog::RGBColor;

class ColorPickerTest : public ModalFixture {
protected:
  void SetUp() override {
    ModalFixture::SetUp();
    Make(owner, items, "Owner", false, 1);
    Dialog::DefineItem(owner, 1, Dialog::ItemKind::Button, "b", false, "B", 10, 40, 60, 18);
    Open(owner);
  }
  void TearDown() override {
    ColorPicker::Testing::SetScreenPalette({});
    ColorPicker::Testing::SetMarker(false);
    ModalFixture::TearDown();
  }
  static void Changed(Dialog::DialogRecord& d) {
    ++changes;
    changedOwner = &d;
  }
  bool Pick(RGBColor& colour, std::vector<std::function<void()>> steps) {
    bool kept = false;
    EXPECT_TRUE(
        Modal(std::move(steps), [&] { kept = ColorPicker::Pick(&owner, colour, 0, -5, Changed); }));
    return kept;
  }

  static inline int changes = 0;
  static inline Dialog::DialogRecord* changedOwner = nullptr;
  Dialog::DialogRecord owner;
  Dialog::DialogItem* items[kHighest + 1] = {};
  const std::vector<RGBColor> four{{0, 0, 0}, {65535, 0, 0}, {0, 65535, 0}, {0, 0, 65535}};
};

TEST_F(ColorPickerTest, TheMarkerGivesSixteenColoursAndTheirNearest) {
  ColorPicker::Testing::SetMarker(true);
  EXPECT_TRUE(ColorPicker::UsesPalette());
  EXPECT_EQ(ColorPicker::PaletteSize(), 16);
  EXPECT_EQ(ColorPicker::ColorOf(8), (RGBColor{49152, 49152, 49152}));
  EXPECT_EQ(ColorPicker::ColorOf(13), (RGBColor{65535, 0, 65535}));
  EXPECT_EQ(ColorPicker::ColorOf(16), (RGBColor{0, 0, 0}));
  EXPECT_EQ(ColorPicker::ColorOf(-1), (RGBColor{0, 0, 0}));
  const struct {
    RGBColor colour;
    std::int32_t index;
  } cases[] = {
      {{30000, 30000, 30000}, 7},  {{49152, 49152, 49152}, 8},
      {{65535, 65535, 65535}, 15}, {{0, 0, 0}, 0},
      {{40000, 0, 0}, 1},          {{65535, 0, 0}, 9},
      {{0, 65535, 0}, 10},         {{65535, 65535, 0}, 11},
      {{0, 30000, 0}, 2},          {{0, 0, 65535}, 12},
      {{65535, 0, 65535}, 13},     {{0, 65535, 65535}, 14},
      {{20000, 0, 30000}, 5},      {{0, 20000, 30000}, 6},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ColorPicker::IndexOf(c.colour), c.index)
        << c.colour.red << "," << c.colour.green << "," << c.colour.blue;
  // Every colour of the table is its own nearest.
  for (std::int32_t i = 0; i < 16; ++i) EXPECT_EQ(ColorPicker::IndexOf(ColorPicker::ColorOf(i)), i);
}

TEST_F(ColorPickerTest, GridsHaveTheirSizesAndSelectionsWrap) {
  for (const std::int32_t n : {0, 1, 2}) {
    const Grid g = ColorPicker::GridOf(n);
    EXPECT_EQ(g.n, 2);
    EXPECT_EQ(g.cols, 2);
    EXPECT_EQ(g.rows, 1);
  }
  const Grid two = ColorPicker::GridOf(2);
  EXPECT_EQ(ColorPicker::Selected(two, 1 + 1), 0);
  EXPECT_EQ(ColorPicker::Selected(two, 0 - 1), 1);
  const Grid full = ColorPicker::GridOf(256);
  EXPECT_EQ(full.cols, 16);
  EXPECT_EQ(full.rows, 16);
  EXPECT_EQ(ColorPicker::Selected(full, 250 + 16), 10); // up from the top row
  EXPECT_EQ(ColorPicker::Selected(full, 5 - 16), 245);  // down from the bottom row
  const Grid odd = ColorPicker::GridOf(17);
  EXPECT_EQ(odd.cols, 4);
  EXPECT_EQ(odd.rows, 5);
  EXPECT_EQ(ColorPicker::Selected(odd, 16 + 4), 3);
  EXPECT_EQ(ColorPicker::GridOf(6).cols, 2); // round(2.449)
  EXPECT_EQ(ColorPicker::GridOf(7).cols, 3); // round(2.646)
}

TEST_F(ColorPickerTest, KeysChangeTheColourLiveAndCancelRestoresIt) {
  ColorPicker::Testing::SetScreenPalette(four);
  RGBColor colour{0, 0, 60000}; // nearest: blue, 3
  changes = 0;
  std::vector<RGBColor> seen;
  Toolbox::Rect frame;
  std::string title;
  bool doneIsDefault = false;
  std::int32_t buttonFont = -1;
  const bool kept = Pick(colour, {[&] {
                                    Dialog::DialogRecord& d = Dialog::Current();
                                    frame = Toolbox::GetWindowRect(d.window);
                                    title = d.items[0]->text;
                                    doneIsDefault = d.items[1]->frame == Dialog::DefaultButtonFrame;
                                    buttonFont = d.items[1]->font;
                                    Keys("LEFT");
                                  },
                                  [&] {
                                    seen.push_back(colour);
                                    Keys("DOWN");
                                  },
                                  [&] {
                                    seen.push_back(colour);
                                    Keys("ESC");
                                  }});
  EXPECT_FALSE(kept);
  EXPECT_EQ(title, "Color Picker");
  // "Done" is the default button, in the proportional face as the other tools'.
  EXPECT_TRUE(doneIsDefault);
  EXPECT_EQ(buttonFont, 1);
  // Coordinates below 1 become 80; the window lies 3 below the top asked for.
  EXPECT_EQ(frame.left, 80);
  EXPECT_EQ(frame.top, 83);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], four[2]); // 3 - 1
  EXPECT_EQ(seen[1], four[0]); // 2 - 2
  EXPECT_EQ(colour, (RGBColor{0, 0, 60000}));
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(changedOwner, &owner);
}

TEST_F(ColorPickerTest, AClickOnTheGridPicksItsCellAndDoneKeepsIt) {
  ColorPicker::Testing::SetScreenPalette(four);
  RGBColor colour = four[0];
  // A point of the grid at fractions x, y of its cells (row 0 at the bottom).
  auto at = [](const Dialog::DialogRecord& d, double x, double y) {
    const Toolbox::Rect& r = d.items[4]->rect;
    return Toolbox::Point{r.left + static_cast<std::int32_t>((x + 0.06) / 1.12 * r.Width()),
                          r.bottom - static_cast<std::int32_t>((y + 0.176) / 1.176 * r.Height())};
  };
  auto click = [&](double x, double y) {
    return [&, x, y] {
      Dialog::DialogRecord& picker = Dialog::Current();
      const std::uint32_t t = NextTime();
      Mouse(picker, Kind::ButtonDown, at(picker, x, y), t);
      Mouse(picker, Kind::ButtonUp, at(picker, x, y), t + 10);
    };
  };
  std::vector<RGBColor> seen;
  const bool kept =
      Pick(colour, {click(0.75, 0.75), [&] { seen.push_back(colour); }, click(-0.03, 0.5),
                    [&] { seen.push_back(colour); }, [&] { Press(Dialog::Current(), 1); }});
  EXPECT_TRUE(kept);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], four[3]); // column 1 of row 1
  EXPECT_EQ(seen[1], four[3]); // the margin picks nothing
  EXPECT_EQ(colour, four[3]);
}

TEST_F(ColorPickerTest, DeepScreensGoToThePlatformsChooser) {
  EXPECT_FALSE(ColorPicker::UsesPalette());
  RGBColor colour{1, 2, 3};
  changes = 0;
  backend.AnswerColor(true, RGBColor{100, 200, 300});
  EXPECT_TRUE(Pick(colour, {}));
  EXPECT_EQ(colour, (RGBColor{100, 200, 300}));
  backend.AnswerColor(false);
  EXPECT_FALSE(Pick(colour, {}));
  EXPECT_EQ(colour, (RGBColor{100, 200, 300}));
  EXPECT_EQ(changes, 2);
}

} // namespace
