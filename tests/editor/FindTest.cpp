// Find and replace from the keypad: fndnxt with counts and line numbers, FIND and the
// direction its ending key sets, FndSel, REPLACE and SUBS with the paste buffer; and from
// the Edit menu: the Find and Replace dialogs, the replace loop, the keys they leave in a
// learned macro.
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

// ---- The Edit menu's commands ----

class FindMenuTest : public EditorFixture {
protected:
  using Answer = Headless::HeadlessBackend::FindAnswer;
  // The shift key held (or not) when the next menu command is chosen.
  void Shift(bool held) {
    backend.SetKeyState(held ? Events::kShiftKey : 0);
    backend.InjectTimer();
    Run();
  }
  void Find(Answer a) {
    backend.AnswerFind(std::move(a));
    Editor::FindDialogCommand();
  }
  void Replace(Answer a) {
    backend.AnswerFind(std::move(a));
    Editor::ReplaceDialogCommand();
  }
};

TEST_F(FindMenuTest, FindDialogShowsAndTakesTheSearch) {
  Edit({"beta one", "alpha", "beta two"});
  SetSearch("old");
  Type("RIGHT KPDOT KP3");
  Find({.button = Toolbox::kFindButton, .search = "beta"});
  EXPECT_EQ(backend.LastFindDialog().search, "old");
  EXPECT_FALSE(backend.LastFindDialog().backwards);
  EXPECT_EQ(Cursor(), (Position{3, 1}));
  EXPECT_FALSE(E().selectActive);
  EXPECT_EQ(Search(), "beta");

  // Cancel and an empty text take nothing; shift held shows and searches backwards.
  Find({.button = Toolbox::kFindCancel, .search = "alpha", .lineNumbers = true});
  Find({.button = Toolbox::kFindButton, .search = ""});
  EXPECT_EQ(Search(), "beta");
  EXPECT_FALSE(E().lineNumberSearch);
  Shift(true);
  Find({.button = Toolbox::kFindButton});
  EXPECT_TRUE(backend.LastFindDialog().backwards);
  EXPECT_EQ(Cursor(), (Position{1, 1}));
  Shift(false);
  Find({.button = Toolbox::kFindButton, .search = "2", .backwards = true, .lineNumbers = true});
  EXPECT_EQ(Cursor(), (Position{2, 1}));
  EXPECT_EQ(E().direction, Editor::Direction::Backup);

  // Find Same and Replace Same need a search string.
  SetSearch("");
  Editor::FindSame();
  EXPECT_EQ(Message(), "No search string");
  Editor::ReplaceSame();
  EXPECT_EQ(Message(), "No search string");
}

TEST_F(FindMenuTest, ReplaceDialogReplacesOnceOrAll) {
  Edit({"a1 a2", "a3 a4"});
  Editor::SetPasteLine("old");
  E().lineNumberSearch = true;
  // Replace without a match at the cursor only shows the next match.
  Type("RIGHT");
  Replace({.button = Toolbox::kFindButton, .search = "a", .replacement = "b"});
  EXPECT_EQ(backend.LastFindDialog().replacement, "old");
  EXPECT_FALSE(E().lineNumberSearch);
  EXPECT_EQ(Lines(), Texts({"a1 a2", "a3 a4"}));
  EXPECT_EQ(Cursor(), (Position{1, 4}));
  Editor::ReplaceSame(); // replaces and goes on to the next
  EXPECT_EQ(Lines(), Texts({"a1 b2", "a3 a4"}));
  EXPECT_EQ(Cursor(), (Position{2, 1}));
  Replace({.button = Toolbox::kFindReplaceAll, .replacement = "cc"});
  EXPECT_EQ(Lines(), Texts({"a1 b2", "cc3 cc4"}));
  EXPECT_EQ(Message(), "Search string not found");
  EXPECT_EQ(LinesOf(Buffer::Find(Editor::kPasteBufferPath)), Texts({"cc"}));

  // Backwards, a replacement that begins with the search string is not searched again;
  // an empty replacement deletes.
  Type("GOLD KP4");
  Replace(
      {.button = Toolbox::kFindReplaceAll, .search = "c", .replacement = "cx", .backwards = true});
  EXPECT_EQ(Lines(), Texts({"a1 b2", "cxcx3 cxcx4"}));
  Replace({.button = Toolbox::kFindFindButton, .search = "x", .backwards = false});
  EXPECT_EQ(Cursor(), (Position{2, 2}));
  Replace({.button = Toolbox::kFindButton, .search = "cx", .replacement = ""});
  Editor::ReplaceSame();
  EXPECT_EQ(Lines(), Texts({"a1 b2", "cx3 cxcx4"}));
  EXPECT_EQ(Cursor(), (Position{2, 5}));
}

TEST_F(FindMenuTest, LearnedMacroRepeatsTheMenuCommands) {
  Edit({"beta", "x", "beta", "y"});
  Type("GOLD L");
  Find({.button = Toolbox::kFindButton, .search = "3", .lineNumbers = true});
  Type("KPDOT KP0");
  Shift(true);
  Find({.button = Toolbox::kFindButton, .search = "beta", .lineNumbers = false});
  Shift(false);
  Type("GOLD S");
  EXPECT_EQ(Cursor(), (Position{3, 1}));

  Edit({"beta", "beta", "x", "beta", "z"}, "/User/Other");
  SetSearch("zz");
  E().direction = Editor::Direction::Advance;
  E().lineNumberSearch = false;
  Type("GOLD X");
  EXPECT_EQ(Cursor(), (Position{2, 1})); // line 3, a line down, backwards to beta
  EXPECT_EQ(Search(), "beta");
  EXPECT_EQ(E().direction, Editor::Direction::Backup);
  EXPECT_FALSE(E().lineNumberSearch);
  EXPECT_FALSE(E().selectActive);

  // Replace Same replays as SUBS, Find Same as fndnxt, also without the keypad layout.
  E().keypadLayout = false;
  Edit({"a1 a2 a3"});
  SetSearch("a");
  Editor::SetPasteLine("b");
  Type("GOLD L");
  Editor::ReplaceSame();
  Editor::FindSame();
  Type("GOLD S");
  EXPECT_EQ(Lines(), Texts({"b1 a2 a3"}));
  EXPECT_EQ(Cursor(), (Position{1, 7}));
  Edit({"a7 a8 a9"}, "/User/Other");
  Type("GOLD X");
  EXPECT_EQ(Lines(), Texts({"b7 a8 a9"}));
  EXPECT_EQ(Cursor(), (Position{1, 7}));
}

} // namespace
