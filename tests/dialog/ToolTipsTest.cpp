// Tool tips: help files (line ends, skipped and damaged lines, the tip table's limit,
// empty files), the sizes of tips, and the tip window shown next to the mouse, with the
// item's address while control is held.
#include "DialogTesting.h"

#include <fstream>

#include "dialog/Help.h"

namespace {

using Dialog::DialogRecord;
using Dialog::ItemKind;

class ToolTipsTest : public DialogFixture {
protected:
  void SetUp() override {
    DialogFixture::SetUp();
    Help::Init();
    Make(panel, items, "Panel", false, 3);
    Dialog::SetProcs(panel, Dialog::DialogProcs{}, 'p');
    Dialog::DefineItem(panel, 1, ItemKind::Button, "stop", false, "Stop", 10, 40, 60, 18);
    Dialog::DefineItem(panel, 2, ItemKind::CheckBox, "light", false, "Light", 10, 80, 90, 18);
    Dialog::DefineItem(panel, 3, ItemKind::Button, "pump", false, "Pump", 10, 120, 60, 18);
    Open(panel);
  }
  void TearDown() override {
    Help::Close();
    DialogFixture::TearDown();
  }
  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
  }
  bool Load(const std::string& name, const std::string& text) {
    WriteFile(name, text);
    return Help::Load(base::CharsOf(name.c_str()));
  }
  std::string LastAlert() const {
    return backend.AlertLog().empty() ? std::string() : backend.AlertLog().back();
  }
  // The mouse rests at a point of the panel (with control held or not).
  void Rest(Toolbox::Point p, bool control = false, std::uint32_t time = 0) {
    backend.SetKeyState(control ? Events::kControlKey : 0);
    Mouse(panel, Kind::MouseMove, p, time);
    Run();
  }

  DialogRecord panel, narrow;
  Dialog::DialogItem* items[kHighest + 1] = {};
  Dialog::DialogItem* narrowItems[2] = {};
};

TEST_F(ToolTipsTest, EmptyAndMissingFilesSayWhatIsWrong) {
  EXPECT_FALSE(Load("font.hlp", "FONT: Courier\r\n"));
  EXPECT_EQ(LastAlert(), "Loading \"font.hlp\": file is empty.");
  EXPECT_FALSE(Load("empty.hlp", ""));
  EXPECT_EQ(LastAlert(), "HelpFile - file is empty.");
  EXPECT_FALSE(Help::Load("missing.hlp"));
  EXPECT_EQ(LastAlert().rfind("Loading \"missing.hlp\"", 0), 0u) << LastAlert();
  EXPECT_FALSE(Help::Loaded());
  EXPECT_EQ(panel.items[1]->tip, 0);
}

TEST_F(ToolTipsTest, EveryLineEndCountsAndLinesNamingNoItemAreSkipped) {
  ASSERT_TRUE(Load("panel.hlp", "FONT:   Courier\n"
                                "p stop;Stop;Ends it.\r"
                                "@ stop;Menu;Not an item.\r\n"
                                "q stop;Other;No such dialog.\n\r"
                                "garbage\r\n"
                                "P 3;Pump;By number.\n"
                                "p LIGHT;Light;Names keep their case.\n"
                                "p light;Light;The light"));
  EXPECT_TRUE(Help::Loaded());
  ASSERT_EQ(Help::TipCount(), 3);
  EXPECT_STREQ(Help::TipAt(1)->title, "Stop");
  EXPECT_STREQ(Help::TipAt(1)->text, "Ends it.");
  EXPECT_STREQ(Help::TipAt(2)->text, "By number.");
  EXPECT_STREQ(Help::TipAt(3)->text, "The light");
  EXPECT_EQ(panel.items[1]->tip, 1);
  EXPECT_EQ(panel.items[3]->tip, 2);
  EXPECT_EQ(panel.items[2]->tip, 3);
  EXPECT_EQ(Help::TipAt(4), nullptr);
  EXPECT_NE(Output().find("HelpFile line 5: no \";\" after the item address"), std::string::npos);
  const std::int32_t courier = Toolbox::FontNumber("Courier");
  EXPECT_EQ(Help::TipFont(), courier >= 0 ? courier : -1);
  // A new file replaces the tips of the old one.
  ASSERT_TRUE(Load("other.hlp", "p pump;Pump;Only this."));
  EXPECT_EQ(Help::TipCount(), 1);
  EXPECT_EQ(panel.items[1]->tip, 0);
  EXPECT_EQ(panel.items[3]->tip, 1);
}

TEST_F(ToolTipsTest, TipsAreAsWideAsShortTextsAndLongTextsWrap) {
  // A narrow dialog: its tips wrap within its width less 18.
  ASSERT_TRUE(Dialog::Init(narrow, narrowItems, 1, false, false, "Narrow", "Narrow", 0, 10, 1, 20,
                           350, 120, 100, 0));
  made.push_back(&narrow);
  Dialog::SetProcs(narrow, Dialog::DialogProcs{}, 'n');
  Dialog::DefineItem(narrow, 1, ItemKind::Button, "go", false, "Go", 10, 40, 60, 18);
  Open(narrow);
  std::string words;
  for (int i = 0; i < 200; ++i) words += "word" + std::to_string(i) + " ";
  ASSERT_TRUE(Load("sizes.hlp", "p stop;Stop;Pump on and off\n"
                                "p light;L;x\n"
                                "p pump;Pump;" +
                                    words +
                                    "\n"
                                    "n go;Go;" +
                                    words +
                                    "\n"
                                    "n 1;" +
                                    std::string(70, 'T') + ";x\n"));
  // 15 characters of 8 pixels and the room around them.
  EXPECT_EQ(Help::TipAt(1)->width, 15 * 8 + 6);
  // At least 28 high, and the title's line and a line of text, 16 pixels each, fit.
  EXPECT_EQ(Help::TipAt(1)->height, 16 + 4 + 16);
  EXPECT_EQ(Help::TipAt(2)->width, 96);
  // Texts are cut to 511 characters and broken at blanks into lines that fit.
  auto lines = [](const Help::Tip& tip) {
    const std::string text = tip.text;
    EXPECT_LE(text.size(), 511u);
    std::int32_t count = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != '\r') continue;
      EXPECT_LE(static_cast<std::int32_t>(i - start) * 8 + 6, tip.width)
          << text.substr(start, i - start);
      if (i < text.size()) ++count;
      start = i + 1;
    }
    return count;
  };
  const Help::Tip& wide = *Help::TipAt(3);
  EXPECT_LE(wide.width, 400 - 18);
  EXPECT_GT(wide.width, 300);
  EXPECT_EQ(wide.height, 16 + 4 + lines(wide) * 16);
  const Help::Tip& tall = *Help::TipAt(4);
  EXPECT_LE(tall.width, 120 - 18);
  EXPECT_GT(lines(tall), 30);
  EXPECT_EQ(tall.height, 400);
  // A title wider than the window can be is cut.
  EXPECT_EQ(Help::TipAt(5)->width, 400);
}

TEST_F(ToolTipsTest, TheTableEndsAtTwoThousandTips) {
  std::string text;
  for (int i = 0; i < Help::kMaxTips + 5; ++i)
    text += "p stop;Stop;tip " + std::to_string(i) + "\n";
  ASSERT_TRUE(Load("many.hlp", text));
  EXPECT_EQ(Help::TipCount(), Help::kMaxTips);
  EXPECT_EQ(panel.items[1]->tip, Help::kMaxTips);
  EXPECT_NE(Output().find(" ## Error: too many tool tips ## "), std::string::npos);
}

TEST_F(ToolTipsTest, TheTipShowsBesideTheMouseWithControlTheAddress) {
  ASSERT_TRUE(Load("panel.hlp", "p light;Light;The tank's light.\n"));
  const Toolbox::Point onLight = Centre(panel, 2), onPump = Centre(panel, 3);
  // Off, nothing shows.
  Rest(onLight);
  EXPECT_FALSE(Help::TipShown());
  Help::SetTipsOn(true);
  Rest(onLight);
  ASSERT_TRUE(Help::TipShown());
  DialogRecord& tip = *Help::TipWindow();
  const Toolbox::Rect frame = Toolbox::GetWindowRect(panel.window);
  const Toolbox::Rect shown = Toolbox::GetWindowRect(tip.window);
  EXPECT_EQ(shown.left, frame.left + onLight.h + 18);
  EXPECT_EQ(shown.top, frame.top + onLight.v + 4);
  EXPECT_EQ(shown.Width(), Help::TipAt(1)->width);
  EXPECT_STREQ(Help::ShownTitle(), "Light");
  EXPECT_STREQ(Help::ShownText(), "The tank's light.");
  // The panel keeps the clicks and keys.
  EXPECT_EQ(&Dialog::Current(), &panel);
  EXPECT_TRUE(panel.active);
  EXPECT_EQ(Toolbox::FrontWindow(), panel.window);
  // An item without a tip shows none; with control any item shows its address.
  Rest(onPump);
  EXPECT_FALSE(Help::TipShown());
  Rest(onPump, true);
  ASSERT_TRUE(Help::TipShown());
  EXPECT_STREQ(Help::ShownTitle(), "P pump (3)");
  EXPECT_EQ(Help::ShownText(),
            "x = " + std::to_string(onPump.h) + ",  y = " + std::to_string(onPump.v));
  // A key hides the tip; ten seconds at rest hide it too.
  Type("a");
  EXPECT_FALSE(Help::TipShown());
  Rest(onLight, false, NextTime());
  ASSERT_TRUE(Help::TipShown());
  Rest(onLight, false, time + 5000);
  EXPECT_TRUE(Help::TipShown());
  Rest(onLight, false, time + 10500);
  EXPECT_FALSE(Help::TipShown());
  Help::SetTipsOn(false);
  EXPECT_FALSE(Help::TipsOn());
}

// A key script rests the pointer on a window it names and holds Control while it waits.
TEST_F(ToolTipsTest, AScriptRestsThePointerAndHoldsControl) {
  ASSERT_TRUE(Load("panel.hlp", "p light;Light;The tank's light.\n"));
  Help::SetTipsOn(true);
  const Toolbox::Point onLight = Centre(panel, 2), onPump = Centre(panel, 3);
  auto at = [](const char* action, Toolbox::Point p) {
    return std::string(action) + "@panel:" + std::to_string(p.h) + "," + std::to_string(p.v);
  };
  Type(at("MOVE", onLight) + " WAIT@300");
  ASSERT_TRUE(Help::TipShown());
  EXPECT_STREQ(Help::ShownTitle(), "Light");
  Type(at("MOVE", onPump) + " WAIT@300");
  EXPECT_FALSE(Help::TipShown());
  Type("C-WAIT@300");
  ASSERT_TRUE(Help::TipShown());
  EXPECT_STREQ(Help::ShownTitle(), "P pump (3)");
  // Control comes up after the pause.
  Type("WAIT@100");
  EXPECT_FALSE(Help::TipShown());
}

} // namespace
