// Item actions: dragging numbers (steps, rates, reversal, booleans), editing numbers and
// booleans in place, the pop-up menus of lists, and the strict number check.
#include "DialogTesting.h"

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;
using Dialog::NumberFormat;
using Dialog::ValueType;

int actions = 0;
void Count(DialogRecord&, std::int16_t) { ++actions; }

class DialogActionsTest : public DialogFixture {
protected:
  void SetUp() override {
    DialogFixture::SetUp();
    actions = 0;
    Make(d, items, "Actions");
  }
  // Item 1: a "drag" bound to variable, with the step, the proportional rate and range.
  template <typename T>
  void DragItem(T& variable, ValueType type, double step, bool fine, double minimum,
                double maximum) {
    Dialog::DefineItem(d, 1, ItemKind::Drag, "drag", true, "", 100, 120, 80, 20);
    Dialog::BindValue(d, 1, &variable, type);
    Dialog::SetNumber(d, 1, "", NumberFormat::Fixed, type, 6, 1, step, minimum, maximum, 1, fine,
                      0);
  }
  // Presses at item 1's centre, moves the pointer up by the pixels of each sample (one
  // every 100 ms) and releases it.
  void DragBy(std::initializer_list<int> upwards) {
    const Toolbox::Point c = Centre(d, 1);
    const std::uint32_t t = NextTime();
    Mouse(d, Kind::ButtonDown, c, t);
    int v = c.v;
    std::uint32_t at = t;
    for (int up : upwards) {
      v -= up;
      at += 100;
      Mouse(d, Kind::MouseMove, Toolbox::Point{c.h, v}, at);
    }
    Mouse(d, Kind::ButtonUp, Toolbox::Point{c.h, v}, at + 100);
    Run();
  }
  DialogRecord d;
  DialogItem* items[kHighest + 1] = {};
};

TEST_F(DialogActionsTest, TenPixelsUpAreFiveSteps) {
  std::int32_t value = 7;
  DragItem(value, ValueType::Int32, 1, false, 0, 100);
  Open(d);
  DragBy({10});
  EXPECT_EQ(value, 12);
  DragBy({-30});
  EXPECT_EQ(value, 0); // the minimum holds
}

TEST_F(DialogActionsTest, AReversalQuartersTheProportionalRate) {
  double value = 100;
  DragItem(value, ValueType::Real64, 1, true, 0, 1000);
  Open(d);
  DragBy({20, -4, -4});
  // Up 10 steps of 10% (200), down 2 steps of a quarter of 10% (190), and on (180.5,
  // rounded to the step).
  EXPECT_EQ(value, 181);
  value = 2;
  DragBy({-4});
  EXPECT_EQ(value, 0); // 2% of 2 is below the step: the step counts
}

TEST_F(DialogActionsTest, BooleansNeedTwoStepsInOneSample) {
  bool on = false;
  DragItem(on, ValueType::Boolean, 1, false, 0, 1);
  Open(d);
  DragBy({2});
  EXPECT_FALSE(on);
  DragBy({2, 4});
  EXPECT_TRUE(on);
  DragBy({-2});
  EXPECT_TRUE(on);
  DragBy({-4});
  EXPECT_FALSE(on);
}

TEST_F(DialogActionsTest, TypedNumbersAreClampedAndTextsIgnored) {
  std::int32_t value = 5;
  DragItem(value, ValueType::Int32, 1, false, 0, 100);
  items[1]->format = NumberFormat::Integer;
  Dialog::SetItemProcs(d, 1, Count, nullptr, nullptr, nullptr);
  Open(d);
  // A click drags (the action runs after it); a double click edits the number as text,
  // the first key replacing it.
  const std::uint32_t t = NextTime();
  for (std::uint32_t at : {t, t + 100}) {
    Mouse(d, Kind::ButtonDown, Centre(d, 1), at);
    Mouse(d, Kind::ButtonUp, Centre(d, 1), at + 10);
  }
  Type("'500' RETURN");
  EXPECT_EQ(value, 100);
  EXPECT_EQ(actions, 2);
  items[1]->textEntry = true;
  Click(d, 1, "'abc' RETURN");
  EXPECT_EQ(value, 100);
  Click(d, 1, "'42' ESC");
  EXPECT_EQ(value, 100);
  Click(d, 1, "BACKSPACE '-7' RETURN");
  EXPECT_EQ(value, 0);
}

TEST_F(DialogActionsTest, ACharacterIsANumberShownAndTyped) {
  unsigned char ch = 'A';
  DragItem(ch, ValueType::Char, 1, false, 0, 255);
  items[1]->format = NumberFormat::Integer;
  items[1]->textEntry = true;
  Open(d);
  char shown[80];
  Dialog::DisplayText(d, 1, shown);
  EXPECT_STREQ(shown, "65");
  Click(d, 1, "'66' RETURN");
  EXPECT_EQ(ch, 66);
}

TEST_F(DialogActionsTest, AClickThatMovesNothingChangesNothing) {
  double value = 3;
  DragItem(value, ValueType::Real64, 1, false, 0, 10);
  static int changes;
  changes = 0;
  Dialog::DialogProcs procs;
  procs.itemChanged = [](DialogRecord&, std::int16_t) { ++changes; };
  Dialog::SetProcs(d, procs, 0);
  Dialog::SetItemProcs(d, 1, Count, nullptr, nullptr, nullptr);
  Open(d);
  DragBy({});
  EXPECT_EQ(value, 3);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(actions, 1); // the item was used all the same
  DragBy({2});
  EXPECT_EQ(value, 4);
  EXPECT_EQ(changes, 1);
}

TEST_F(DialogActionsTest, BooleanFieldsTakeTheirFirstLetter) {
  bool on = true;
  DragItem(on, ValueType::Boolean, 1, false, 0, 1);
  items[1]->textEntry = true;
  Open(d);
  Click(d, 1, "'LOW' RETURN");
  EXPECT_FALSE(on);
  Click(d, 1, "'high' RETURN");
  EXPECT_TRUE(on);
  Click(d, 1, "'Xyz' RETURN");
  EXPECT_TRUE(on);
  ASSERT_FALSE(backend.SoundLog().empty());
  EXPECT_EQ(backend.SoundLog().back().rfind("Beep", 0), 0u);
}

TEST_F(DialogActionsTest, ListPopUpsChooseToggleAndCancel) {
  std::int32_t index = 1;
  std::uint16_t toggles = 0;
  Dialog::DefineItem(d, 1, ItemKind::List, "list", true, "", 100, 120, 80, 20);
  Dialog::InitList(d, 1, 0, "");
  for (const char* e : {"a", "b", "c", "-", "loud", "bright"})
    Dialog::AddListEntry(d, 1, base::CharsOf(e));
  Dialog::BindValue(d, 1, &index, ValueType::Int32);
  Dialog::BindToggles(d, 1, &toggles, 5);
  Dialog::SetItemProcs(d, 1, Count, nullptr, nullptr, nullptr);
  Open(d);
  Click(d, 1); // not answered: cancelled
  EXPECT_EQ(index, 1);
  EXPECT_EQ(actions, 1);
  backend.AnswerPopUp(3);
  Click(d, 1);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(actions, 2);
  backend.AnswerPopUp(6);
  Click(d, 1);
  EXPECT_EQ(toggles, 2);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(actions, 3);
  // Without the execute flag a change runs nothing; a cancel still does.
  Dialog::SetExecute(false);
  backend.AnswerPopUp(1);
  Click(d, 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(actions, 3);
  Dialog::SetExecute(true);
  // Unanswered, the menu takes the script's keys: DOWN and UP over the enabled entries
  // (past the separator, round the ends), RETURN to choose, ESC to cancel.
  Dialog::EnableListEntry(d, 1, 2, false);
  Click(d, 1, "DOWN DOWN RETURN");
  EXPECT_EQ(index, 2);
  Click(d, 1, "UP UP RETURN");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(toggles, 2 | 1); // "loud", the fifth entry, toggled
  Click(d, 1, "DOWN ESC");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(actions, 6);
}

TEST_F(DialogActionsTest, TheStrictCheckReportsTheRange) {
  double result = 3;
  EXPECT_TRUE(Dialog::CheckNumber("7", 0, 100, 1, result, NumberFormat::Integer, true));
  EXPECT_EQ(result, 7);
  EXPECT_TRUE(Dialog::CheckNumber("1.5k", 0, 1e6, 10, result, NumberFormat::Engineering, true));
  EXPECT_EQ(result, 150);
  EXPECT_FALSE(Dialog::CheckNumber("500", 0, 100, 1, result, NumberFormat::Integer, true));
  EXPECT_FALSE(Dialog::CheckNumber("2.5", 0.25, 1.5, 1, result, NumberFormat::Fixed, true));
  EXPECT_FALSE(Dialog::CheckNumber("12x", 0, 100, 1, result, NumberFormat::Fixed, false));
  EXPECT_EQ(result, 150);
  EXPECT_EQ(Output(), "Number must be >= 0 and <= 100 !\n"
                      "Number must be >=  0.25 and <=  1.50 !\n");
}

} // namespace
