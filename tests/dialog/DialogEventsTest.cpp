// The event step: shortcuts in the front dialog and behind it, list stepping, TAB, clicks
// with the hooks around them, moving items, the close box and the event trace.
#include "DialogTesting.h"

#include "editwin/Menus.h"

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;
using Dialog::ValueType;

std::vector<int> recorded;
void RecordItem(DialogRecord&, std::int16_t item) { recorded.push_back(item); }
bool vetoing = false;
bool Veto(DialogRecord&, std::int16_t) { return !vetoing; }

class DialogEventsTest : public DialogFixture {
protected:
  void SetUp() override {
    DialogFixture::SetUp();
    recorded.clear();
    Dialog::SetRecordHook(RecordItem);
  }
  // A switch at row index bound to flags[index].
  void Switch(DialogRecord& d, int index, char key, bool frontOnly, bool anyModifier = false) {
    Dialog::DefineItem(d, index, ItemKind::Switch, "s", true, "S", 10, 20 * index + 20, 80, 16);
    Dialog::BindValue(d, index, &flags[index], ValueType::Boolean);
    if (key != 0)
      Dialog::SetItemKey(d, index, KeyEvents::KeyCharacter, key, 0, anyModifier, frontOnly);
  }
  DialogRecord a, b;
  DialogItem* itemsA[kHighest + 1] = {};
  DialogItem* itemsB[kHighest + 1] = {};
  bool flags[kHighest + 1] = {};
};

TEST_F(DialogEventsTest, ShortcutsOfTheFrontDialogAndOfThoseBehindIt) {
  Make(a, itemsA, "Behind");
  Switch(a, 1, 'x', true);
  Switch(a, 2, 'y', false);
  Open(a);
  Make(b, itemsB, "Front");
  Open(b);
  Type("x");
  EXPECT_FALSE(flags[1]); // front only, and its dialog is not in front
  EXPECT_EQ(recorded, std::vector<int>{-1});
  Type("y");
  EXPECT_TRUE(flags[2]);
  EXPECT_EQ(&Dialog::Current(), &a);
  // A click in the front dialog still goes to it.
  Switch(b, 4, 0, false);
  Click(b, 4);
  EXPECT_TRUE(flags[4]);
  // The same key in the front dialog takes precedence.
  Switch(b, 3, 'y', true);
  Dialog::SetCurrent(b);
  Type("y");
  EXPECT_TRUE(flags[3]);
  EXPECT_TRUE(flags[2]);
}

TEST_F(DialogEventsTest, AnyModifierMatchesTheKeyWithWhateverIsHeld) {
  Make(a, itemsA, "Any");
  Switch(a, 1, 'a', false, true);
  Switch(a, 2, 'b', false);
  Open(a);
  Type("a");
  EXPECT_TRUE(flags[1]);
  Type("C-a");
  EXPECT_FALSE(flags[1]);
  Type("S-b");
  EXPECT_FALSE(flags[2]); // without "any modifier" the modifiers must match
  // Control and Alt reach the item before a menu's key and the platform.
  static int menuRuns;
  menuRuns = 0;
  std::int32_t menu = 0;
  Menus::NewMenu(menu, "File");
  for (const char* item : {"Print...", "Other"}) Menus::AppendItem(menu, base::CharsOf(item));
  for (std::int32_t item : {1, 2}) {
    Menus::SetProcedure(menu, item, [] { ++menuRuns; });
    Menus::SetKey(menu, item, item == 1 ? 'A' : 'B');
  }
  Menus::InsertIntoBar(menu);
  KeyEvents::SetMenuCommandProc(Menus::MenuCommand);
  Type("C-a");
  EXPECT_TRUE(flags[1]);
  Type("A-a");
  EXPECT_FALSE(flags[1]);
  Type("C-b"); // no item takes B with any modifier: the menu's key
  KeyEvents::SetMenuCommandProc(nullptr);
  Menus::DeleteMenu(menu);
  EXPECT_EQ(menuRuns, 1);
}

TEST_F(DialogEventsTest, ListKeysStepOverDisabledEntriesAndStopAtTheEnds) {
  Make(a, itemsA, "Steps");
  std::int32_t index = 0;
  Dialog::DefineItem(a, 1, ItemKind::List, "l", true, "", 10, 40, 100, 16);
  Dialog::InitList(a, 1, 0, "");
  for (const char* e : {"one", "two", "three", "four"})
    Dialog::AddListEntry(a, 1, base::CharsOf(e));
  Dialog::EnableListEntry(a, 1, 3, false);
  Dialog::BindValue(a, 1, &index, ValueType::Int32);
  Dialog::SetItemKey(a, 1, KeyEvents::KeyCharacter, 'd', 0, false, true);
  Dialog::SetSecondKey(a, 1, KeyEvents::KeyCharacter, 'u');
  Open(a);
  Type("d");
  EXPECT_EQ(index, 0);
  Type("u u");
  EXPECT_EQ(index, 3);
  Type("u");
  EXPECT_EQ(index, 3);
  Type("d");
  EXPECT_EQ(index, 1);
}

TEST_F(DialogEventsTest, TabMovesTheFocusToTheNextActiveField) {
  Make(a, itemsA, "Tabs");
  Dialog::DefineItem(a, 1, ItemKind::Text, "", false, "label", 10, 20, 80, 16);
  Dialog::DefineItem(a, 2, ItemKind::EditText, "e", true, "", 10, 40, 80, 16);
  itemsA[2]->enabled = false;
  Open(a);
  Type("TAB");
  EXPECT_EQ(a.focus, 0);
  itemsA[2]->enabled = true;
  char text[20] = "old";
  Dialog::BindText(a, 2, text, 19);
  Type("TAB 'new' RETURN");
  EXPECT_EQ(a.focus, 2);
  EXPECT_STREQ(text, "new");
  EXPECT_EQ(recorded.back(), 2);
}

TEST_F(DialogEventsTest, ClicksRunThroughTheHooks) {
  Make(a, itemsA, "Clicks");
  Switch(a, 1, 0, true);
  Switch(a, 2, 0, true);
  itemsA[2]->enabled = false;
  Open(a);
  Click(a, 1);
  EXPECT_TRUE(flags[1]);
  Click(a, 2);
  EXPECT_FALSE(flags[2]);
  Dialog::SetBeforeActionHook(Veto);
  vetoing = true;
  Click(a, 1);
  EXPECT_TRUE(flags[1]);
  EXPECT_EQ(recorded, std::vector<int>{1});
  // Released outside, a press changes nothing.
  vetoing = false;
  Mouse(a, Kind::ButtonDown, Centre(a, 1));
  Mouse(a, Kind::ButtonUp, Toolbox::Point{300, 200});
  Run();
  EXPECT_TRUE(flags[1]);
  EXPECT_FALSE(itemsA[1]->pressed);
}

TEST_F(DialogEventsTest, OptionDragsMoveAndResizeItemsOfConfigurableDialogs) {
  constexpr std::uint32_t kOption = 2048;
  Make(a, itemsA, "Layout", true);
  Dialog::DefineItem(a, 1, ItemKind::Button, "b", true, "B", 10, 40, 80, 20);
  Dialog::DefineItem(a, 2, ItemKind::Text, "t", false, "T", 20, 36, 20, 12);
  Dialog::DefineItem(a, 3, ItemKind::CheckBox, "c", true, "C", 100, 100, 80, 16);
  Open(a);
  Mouse(a, Kind::ButtonDown, Toolbox::Point{15, 25}, 0, kOption);
  Mouse(a, Kind::MouseMove, Toolbox::Point{45, 35}, 0, kOption);
  Mouse(a, Kind::ButtonUp, Toolbox::Point{45, 35}, 0, kOption);
  Run();
  EXPECT_EQ(itemsA[1]->rect, (Toolbox::Rect{40, 30, 120, 50}));
  EXPECT_EQ(itemsA[2]->rect, (Toolbox::Rect{20, 24, 40, 36})); // control not held
  // The bottom-right corner resizes; a check box's box goes with its item.
  const Toolbox::Rect box = itemsA[3]->area.check.box;
  Mouse(a, Kind::ButtonDown, Toolbox::Point{178, 98}, 0, kOption);
  Mouse(a, Kind::ButtonUp, Toolbox::Point{188, 103}, 0, kOption);
  Run();
  EXPECT_EQ(itemsA[3]->rect, (Toolbox::Rect{100, 84, 190, 105}));
  EXPECT_EQ(itemsA[3]->area.check.box.bottom, box.bottom + 5);
  // Without the configurable flag the drag does nothing.
  a.configurable = false;
  Mouse(a, Kind::ButtonDown, Toolbox::Point{45, 35}, 0, kOption);
  Mouse(a, Kind::ButtonUp, Toolbox::Point{85, 35}, 0, kOption);
  Run();
  EXPECT_EQ(itemsA[1]->rect.left, 40);
}

TEST_F(DialogEventsTest, TheCloseBoxHidesTheDialogAndIsRecorded) {
  Make(a, itemsA, "Closing");
  Open(a);
  Toolbox::PlatformMessage m;
  m.kind = Kind::Close;
  m.window = a.window;
  backend.Inject(m);
  Run();
  EXPECT_FALSE(a.shown);
  EXPECT_FALSE(Toolbox::IsVisible(a.window));
  EXPECT_EQ(recorded, std::vector<int>{0});
}

TEST_F(DialogEventsTest, TheEventTraceWritesEveryEvent) {
  Make(a, itemsA, "Traced");
  Switch(a, 1, 0, true);
  Open(a);
  Dialog::SetTrace(true);
  Click(a, 1);
  Type("S-q F2");
  EXPECT_EQ(Output(), "KeyMouse      :   0,  Traced\n"
                      "KeyCharacter  :   Q shift\n"
                      "Key: 26,   Char:0\n");
}

} // namespace
