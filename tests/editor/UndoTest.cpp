// The select range, paste buffer, clipboard, delete commands and undo, driven by key
// scripts on the headless backend.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "EditorFixture.h"

namespace {

using Editor::Position;
using Editor::UndoKind;

std::string At(Position p) { return std::to_string(p.line) + ":" + std::to_string(p.column); }

class UndoTest : public EditorFixture {
protected:
  static std::string MenuText() {
    char text[32];
    Editor::UndoMenuText(text);
    return text;
  }
  static Buffer::Ref Paste() { return Buffer::Find("/Shell/Edit.Paste"); }
  static Texts PasteLines() { return LinesOf(Paste()); }
  static std::string Clipboard() {
    std::string text;
    Toolbox::GetClipboardText(text);
    return text;
  }
  // The selected text as "anchor-cursor", or "" when no range is open.
  static std::string Selection() {
    return E().selectActive ? At(E().anchor) + "-" + At(E().cursor) : "";
  }
};

// ---- Undo and redo ----

TEST_F(UndoTest, UndoRemovesTypingAndUndoingTheUndoPutsItBackSelected) {
  Edit({"xy"});
  Type("'abc'");
  EXPECT_EQ(MenuText(), "Undo Typing");
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"xy"}));
  EXPECT_EQ(MenuText(), "Undo last Undo");
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"abcxy"}));
  EXPECT_EQ(Selection(), "1:1-1:4");
}

TEST_F(UndoTest, TypingReplacesTheSelectionAndUndoRestoresItSelected) {
  Edit({"a xyz b"});
  Type("GOLD 2 KP3 KPDOT GOLD 3 KP3 'q'");
  EXPECT_EQ(Lines(), Texts({"a q b"}));
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"a xyz b"}));
  EXPECT_EQ(Selection(), "1:3-1:6");
}

TEST_F(UndoTest, MenuFollowsTheKindAndMovingOrAnotherBufferEndsTheRecord) {
  static std::vector<std::string> shown;
  Edit({"xy"});
  Editor::SetUndoMenuProc([](base::Chars text) { shown.push_back(base::ToString(text)); });
  Type("'ab' GOLD '!' 'c' LEFT GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"cxy"}));
  EXPECT_EQ(shown, (std::vector<std::string>{"Undo Typing", "Undo last Undo", "Undo Typing",
                                             "Can't Undo"}));
  Editor::SetUndoMenuProc(nullptr);
  Type("'d'");
  Edit({"second"}, "/User/Other");
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"second"}));
  EXPECT_EQ(MenuText(), "Can't Undo");
}

// ---- Delete commands ----

struct DeleteCase {
  const char* name;
  EditorFixture::Texts text;
  const char* keys;
  EditorFixture::Texts deleted;
  const char* selection; // after the undo
};

void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class DeleteUndoTest : public UndoTest, public ::testing::WithParamInterface<DeleteCase> {};

// Single deletions in a row collect in text order, and one undo restores them all.
TEST_P(DeleteUndoTest, UndoRestoresEverythingDeletedInTextOrder) {
  const DeleteCase& c = GetParam();
  Edit(c.text);
  Type(c.keys);
  EXPECT_EQ(Lines(), c.deleted);
  EXPECT_EQ(MenuText(), "Undo Delete");
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), c.text);
  EXPECT_EQ(Selection(), c.selection);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DeleteUndoTest,
    ::testing::Values(
        DeleteCase{"Delete", {"abcdef"}, "DELETE DELETE DELETE", {"def"}, "1:1-1:4"},
        DeleteCase{
            "Backspace", {"abcdef"}, "GOLD KP4 BACKSPACE BACKSPACE BACKSPACE", {"abc"}, "1:4-1:7"},
        DeleteCase{"DeleteOverALineBreak", {"ab", "cd"}, "KP2 DELETE DELETE", {"abd"}, "1:3-2:2"},
        DeleteCase{
            "DelEolOverALineBreak", {"abc", "def"}, "KP3 GOLD KP2 GOLD KP2", {"adef"}, "1:2-2:1"},
        DeleteCase{"DelL", {"one", "two", "three"}, "KPMINUS KPMINUS", {"three"}, "1:1-3:1"},
        DeleteCase{
            "DelLWithACount", {"one", "two", "three"}, "GOLD 2 KPMINUS", {"three"}, "1:1-3:1"},
        DeleteCase{"DelW", {"one two three"}, "KPPLUS KPPLUS", {"three"}, "1:1-1:9"},
        DeleteCase{"ToLineStartTwice", {"aa", "bb", "cc"}, "DOWN DOWN ESC ESC", {"cc"}, "1:1-3:1"},
        DeleteCase{"ToLineStartWithACount",
                   {"aa", "bb", "cc"},
                   "DOWN DOWN KP3 GOLD 2 C-u",
                   {"aa", "c"},
                   "2:1-3:2"},
        DeleteCase{"PreviousWord", {"one two"}, "GOLD KP4 C-j C-j", {""}, "1:1-1:8"},
        DeleteCase{"SelectRange", {"one two"}, "KPDOT GOLD 4 KP3 DELETE", {"two"}, "1:1-1:5"}),
    [](const ::testing::TestParamInfo<DeleteCase>& info) { return info.param.name; });

TEST_F(UndoTest, DelLAndUndLRestoreTheLine) {
  Edit({"one two", "next"});
  Type("KP3 KPMINUS");
  EXPECT_EQ(Lines(), Texts({"onext"}));
  EXPECT_STREQ(E().deletedLine, "ne two");
  EXPECT_TRUE(E().deletedLineBreak);
  Type("GOLD KPMINUS");
  EXPECT_EQ(Lines(), Texts({"one two", "next"}));
  EXPECT_EQ(At(Cursor()), "2:1");
  EXPECT_EQ(MenuText(), "Undo Typing");
}

TEST_F(UndoTest, DelLAtTheEndOfTheBufferTakesTheRestOfTheLastLine) {
  Edit({"abc", "def"});
  Type("DOWN KP3 KPMINUS");
  EXPECT_EQ(Lines(), Texts({"abc", "d"}));
  EXPECT_STREQ(E().deletedLine, "ef");
  EXPECT_FALSE(E().deletedLineBreak);
  // Nothing is left to delete: the register keeps its line.
  Type("KPMINUS");
  EXPECT_EQ(Lines(), Texts({"abc", "d"}));
  EXPECT_STREQ(E().deletedLine, "ef");
  Type("GOLD 2 GOLD KPMINUS");
  EXPECT_EQ(Lines(), Texts({"abc", "defef"}));
}

TEST_F(UndoTest, DelEolOverALineBreakFillsTheRegisterWithTheBreak) {
  Edit({"abc", "def"});
  Type("KP3 GOLD KP2");
  EXPECT_STREQ(E().deletedLine, "bc");
  EXPECT_FALSE(E().deletedLineBreak);
  Type("GOLD KP2");
  EXPECT_EQ(Lines(), Texts({"adef"}));
  EXPECT_STREQ(E().deletedLine, "");
  EXPECT_TRUE(E().deletedLineBreak);
  Type("GOLD KPMINUS");
  EXPECT_EQ(Lines(), Texts({"a", "def"}));
}

TEST_F(UndoTest, DelWAndUndWRestoreTheWord) {
  Edit({"one two", "next"});
  Type("KPPLUS");
  EXPECT_EQ(Lines(), Texts({"two", "next"}));
  EXPECT_STREQ(E().deletedWord, "one ");
  Type("KP2 GOLD 2 GOLD KPPLUS");
  EXPECT_EQ(Lines(), Texts({"twoone one ", "next"}));
  // At the line end the word deleted is the line break.
  Type("KPPLUS");
  EXPECT_EQ(Lines(), Texts({"twoone one next"}));
  EXPECT_STREQ(E().deletedWord, "");
  EXPECT_TRUE(E().deletedWordBreak);
  Type("GOLD KPPLUS");
  EXPECT_EQ(Lines(), Texts({"twoone one ", "next"}));
}

// ---- Change Case ----

// The case of the first character decides the change; undo restores the range selected.
TEST_F(UndoTest, ChangeCaseUndoesEveryVariant) {
  const struct {
    const char* name;
    Texts text;
    const char* keys;
    Texts changed;
  } cases[] = {
      {"advance", {"abcdef"}, "KP3 GOLD 3 GOLD KP1", {"aBCDef"}},
      {"backup", {"abcdef"}, "GOLD 4 KP3 KP5 GOLD 2 GOLD KP1", {"abcDEf"}},
      {"backup at the text's start", {"abc"}, "KP5 GOLD KP1", {"Abc"}},
      {"backup after a line start", {"ab", "cd"}, "DOWN KP5 GOLD KP1", {"ab", "Cd"}},
      // The cursor is after the anchor in text order though left of its column.
      {"select down", {"abcde", "xy"}, "GOLD 3 KP3 KPDOT S-DOWN GOLD KP1", {"abcDE", "XY"}},
      {"select backwards", {"abcde", "xy"}, "DOWN KPDOT KP5 GOLD 4 KP3 GOLD KP1", {"abCDE", "xy"}},
      {"select backwards in a line",
       {"abcdef"},
       "GOLD 4 KP3 KPDOT KP5 GOLD 2 KP3 GOLD KP1",
       {"abCDef"}},
      {"capital first", {"Hello World"}, "KPDOT GOLD 5 KP3 GOLD KP1", {"hello World"}},
      {"small first", {"hello World"}, "KPDOT GOLD 5 KP3 GOLD KP1", {"HELLO World"}},
      {"digit first", {"9ello World"}, "KPDOT GOLD 5 KP3 GOLD KP1", {"9ello World"}},
      {"mixed", {"hEllo World"}, "KPDOT GOLD 5 KP3 GOLD KP1", {"HELLO World"}},
  };
  for (const auto& c : cases) {
    Edit(c.text);
    Type(c.keys);
    EXPECT_EQ(Lines(), c.changed) << c.name;
    EXPECT_FALSE(E().selectActive) << c.name;
    EXPECT_EQ(MenuText(), "Undo Change Case") << c.name;
    Type("GOLD '!'");
    EXPECT_EQ(Lines(), c.text) << c.name;
  }
  EXPECT_EQ(Selection(), "1:1-1:6"); // the range of the last case
}

// ---- Paste buffer and clipboard ----

TEST_F(UndoTest, CopyKeepsTheSelectionAndUndoCopyRestoresThePasteBuffer) {
  Edit({"one two"});
  Type("KPDOT GOLD 3 KP3 GOLD '#'");
  Type("GOLD KPDOT KP3 KPDOT GOLD 3 KP3 GOLD '#'");
  EXPECT_EQ(PasteLines(), Texts({"two"}));
  EXPECT_EQ(Clipboard(), std::string("two\0", 4));
  EXPECT_EQ(Selection(), "1:5-1:8");
  EXPECT_EQ(Lines(), Texts({"one two"}));
  EXPECT_EQ(MenuText(), "Undo Copy");
  Type("GOLD '!'");
  EXPECT_EQ(PasteLines(), Texts({"one"}));
  EXPECT_EQ(Clipboard(), std::string("one\0", 4));
  EXPECT_EQ(MenuText(), "Can't Undo");
}

TEST_F(UndoTest, UndoCutBringsTheTextAndThePasteBufferBack) {
  Editor::SetPasteLine("old");
  Edit({"one two three"});
  Type("GOLD 4 KP3 KPDOT GOLD 4 KP3 GOLD '@'");
  EXPECT_EQ(Lines(), Texts({"one three"}));
  EXPECT_EQ(PasteLines(), Texts({"two "}));
  EXPECT_FALSE(E().selectActive);
  EXPECT_EQ(MenuText(), "Undo Cut");
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"one two three"}));
  EXPECT_EQ(Selection(), "1:5-1:9");
  EXPECT_EQ(PasteLines(), Texts({"old"}));
  EXPECT_EQ(MenuText(), "Can't Undo");
}

TEST_F(UndoTest, CutAndAppendCollectInThePasteBuffer) {
  Edit({"one two three"});
  Type("KP6");
  EXPECT_EQ(Message(), "No select active");
  Type("KP9");
  EXPECT_EQ(Message(), "No select range");
  Type("KPDOT GOLD 4 KP3 KP6 KPDOT GOLD 4 KP3 KP9");
  EXPECT_EQ(Lines(), Texts({"three"}));
  EXPECT_EQ(PasteLines(), Texts({"one ", "two "}));
  EXPECT_EQ(Clipboard(), std::string("one \r\ntwo \0", 11));
  EXPECT_EQ(MenuText(), "Can't Undo");
}

TEST_F(UndoTest, PasteWithUndoReplacesTheSelection) {
  Editor::SetPasteLine("new");
  Edit({"a old b"});
  Type("GOLD 2 KP3 KPDOT GOLD 3 KP3 GOLD '$'");
  EXPECT_EQ(Lines(), Texts({"a new b"}));
  EXPECT_EQ(MenuText(), "Undo Paste");
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"a old b"}));
  EXPECT_EQ(Selection(), "1:3-1:6");
}

TEST_F(UndoTest, PasteRunsCountTimes) {
  Editor::SetPasteLine("ab");
  Edit({"<>"});
  Type("KP3 GOLD 5 0 GOLD KP6");
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "ab";
  EXPECT_EQ(Lines(), Texts({"<" + fifty + ">"}));
  EXPECT_EQ(At(Cursor()), "1:102");
}

TEST_F(UndoTest, ClipboardLinesEndedByCrLfPasteAsLineBreaks) {
  backend.SetForeignClipboard("one\r\ntwo\r\n");
  Edit({"xy"});
  Type("KP3 GOLD KP6");
  EXPECT_EQ(PasteLines(), Texts({"one", "two", ""}));
  EXPECT_EQ(Lines(), Texts({"xone", "two", "y"}));
  EXPECT_EQ(At(Cursor()), "3:1");
}

TEST_F(UndoTest, ImportSplitsTheClipboardText) {
  const std::string longLine(300, 'x');
  const struct {
    std::string clipboard;
    Texts lines;
  } cases[] = {
      {"a\r\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b", ""}},
      {"a\nb\n", {"a", "b", ""}}, // the host's own line ends
      {std::string("a\r\nb\0junk", 9), {"a", "b"}},
      {longLine, {longLine.substr(0, 255), longLine.substr(255)}},
      {std::string(255, 'y') + "\r\nz", {std::string(255, 'y'), "z"}},
      {std::string("\0", 1), {}},
  };
  Edit({""});
  for (const auto& c : cases) {
    backend.SetForeignClipboard(c.clipboard);
    Editor::ImportPasteBuffer();
    EXPECT_EQ(PasteLines(), c.lines) << c.clipboard;
  }
}

TEST_F(UndoTest, ClearEmptiesPasteBufferAndClipboardAndUndoClearRestoresThem) {
  Editor::SetPasteLine("kept");
  Edit({"xy"});
  Type("GOLD c");
  EXPECT_EQ(Message(), "Paste buffer cleared.");
  EXPECT_EQ(Paste(), nullptr);
  EXPECT_EQ(Clipboard(), "");
  Type("GOLD '!'");
  EXPECT_EQ(PasteLines(), Texts({"kept"}));
  EXPECT_EQ(Clipboard(), std::string("kept\0", 5));
}

// Editing the paste buffer itself: the commands that would replace or move it stop
// rather than pull the text from under the editor.
TEST_F(UndoTest, CommandsLeaveAPasteBufferBeingEditedInPlace) {
  Editor::SetPasteLine("held");
  Edit({"held"}, "/Shell/Edit.Paste");
  Type("KPDOT GOLD 2 KP3 GOLD '#' GOLD '@' KP6 GOLD c GOLD '!'");
  EXPECT_EQ(Lines(), Texts({"held"}));
  EXPECT_EQ(Paste(), E().current);
}

} // namespace
