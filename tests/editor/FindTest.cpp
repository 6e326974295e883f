// Find and replace from the keypad: fndnxt with counts and line numbers, FIND and the
// direction its ending key sets, FndSel, REPLACE and SUBS with the paste buffer.
#include <string>

#include "EditorFixture.h"

namespace {

using Editor::Position;
using Texts = EditorFixture::Texts;

using FindTest = EditorFixture;

TEST_F(FindTest, LineNumberSearchGoesToColumnOneOfTheLine) {
  Edit(Numbered(30));
  E().lineNumberSearch = true;
  SetSearch("25");
  Type("KPMUL");
  EXPECT_EQ(Cursor(), (Position{25, 1}));
  EXPECT_EQ(Message(), "");

  SetSearch(" 7 ");
  Type("KPMUL");
  EXPECT_EQ(Cursor(), (Position{7, 1}));
  SetSearch("99"); // beyond the text: its last line
  Type("KPMUL");
  EXPECT_EQ(Cursor(), (Position{30, 1}));

  for (const char* bad : {"abc", "0", "-4", "12x"}) {
    SetSearch(bad);
    Type("KPMUL");
    EXPECT_EQ(Message(), "False line number") << bad;
    EXPECT_EQ(Cursor(), (Position{30, 1})) << bad;
  }
}

TEST_F(FindTest, CountedSearchStopsAtTheLastOccurrence) {
  Edit({"foo", "a foo", "b foo"});
  SetSearch("");
  Type("KPMUL");
  EXPECT_EQ(Message(), "No search string");

  SetSearch("foo");
  Type("GOLD 3 KPMUL");
  EXPECT_EQ(Cursor(), (Position{3, 3}));
  EXPECT_EQ(Message(), "Search string not found");
}

TEST_F(FindTest, FindEndedWithBackupSearchesBackwardsFromThenOn) {
  Edit({"ab ab ab ab"});
  Type("GOLD KP4"); // BOTTOM
  Type("GOLD F 'ab' KP5");
  EXPECT_EQ(E().direction, Editor::Direction::Backup);
  EXPECT_EQ(Cursor(), (Position{1, 10}));
  Type("KPMUL");
  EXPECT_EQ(Cursor(), (Position{1, 7}));
  Type("GOLD KPMUL KP4");
  EXPECT_EQ(E().direction, Editor::Direction::Advance);
  EXPECT_EQ(Cursor(), (Position{1, 10}));
}

TEST_F(FindTest, FindSelectionSearchesForTheSelectedText) {
  Edit({"alpha beta alpha beta", "gamma beta"});
  E().lineNumberSearch = true;
  Type("RIGHT RIGHT RIGHT RIGHT RIGHT RIGHT KPDOT KP3 KP3 KP3 KP3 GOLD KPDIV");
  EXPECT_EQ(Search(), "beta");
  EXPECT_FALSE(E().selectActive);
  EXPECT_EQ(Cursor(), (Position{1, 18}));
  EXPECT_TRUE(E().lineNumberSearch); // off for that search only

  // A range over two lines takes the rest of its first line; backup starts at its start.
  E().lineNumberSearch = false;
  Type("KP5 KPDOT S-DOWN GOLD KPDIV");
  EXPECT_EQ(Search(), "beta");
  EXPECT_EQ(Cursor(), (Position{1, 7}));

  Type("GOLD KPDIV");
  EXPECT_EQ(Message(), "No select active ");
  Type("KPDOT GOLD KPDIV");
  EXPECT_EQ(Message(), "Selection is empty");
  EXPECT_EQ(Search(), "beta");
}

TEST_F(FindTest, ReplaceDeletesTheMatchAndPastes) {
  Edit({"one two one two"});
  SetSearch("two");
  Type("GOLD C RIGHT RIGHT RIGHT RIGHT GOLD KP9");
  EXPECT_EQ(Lines(), Texts({"one  one two"})); // an empty paste buffer: deleted

  Editor::SetPasteLine("2");
  Type("GOLD KP9"); // no match at the cursor, no range: nothing
  EXPECT_EQ(Lines(), Texts({"one  one two"}));
  Type("KPMUL GOLD KP9");
  EXPECT_EQ(Lines(), Texts({"one  one 2"}));

  // A select range is replaced whatever it holds, count times the paste buffer.
  Type("GOLD KP5 KPDOT KP3 KP3 KP3 GOLD 2 GOLD KP9");
  EXPECT_EQ(Lines(), Texts({"22  one 2"}));
  EXPECT_FALSE(E().selectActive);

  // With a count, only text that still matches is replaced.
  Edit({"aaaX"});
  SetSearch("a");
  Editor::SetPasteLine("b");
  Type("GOLD 5 GOLD KP9");
  EXPECT_EQ(Lines(), Texts({"bbbX"}));
}

TEST_F(FindTest, SubstituteReplacesAndFindsTheNext) {
  Edit({"a1 a2 a3", "a4"});
  SetSearch("a");
  Editor::SetPasteLine("b");
  Type("GOLD 2 GOLD KPENTER");
  EXPECT_EQ(Lines(), Texts({"b1 b2 a3", "a4"}));
  EXPECT_EQ(Cursor(), (Position{1, 7}));
  Type("GOLD 9 GOLD KPENTER");
  EXPECT_EQ(Lines(), Texts({"b1 b2 b3", "b4"}));
  EXPECT_EQ(Message(), "Search string not found");
  // Without a match at the cursor SUBS does nothing.
  Type("GOLD KP5 GOLD KPENTER");
  EXPECT_EQ(Lines(), Texts({"b1 b2 b3", "b4"}));
}

} // namespace
