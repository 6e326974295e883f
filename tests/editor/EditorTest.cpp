// The editor core as key scripts: the GOLD prefix and repeat counts, movement, the
// screen (scrolling, long lines, the select highlight, the message line), typing and TAB,
// the mouse, the buffer commands, the function keys and the help screen.
#include <string>

#include "EditorFixture.h"

namespace {

using Editor::Position;
using Texts = EditorFixture::Texts;

constexpr std::uint32_t kOption = 2048; // the Windows key's bit in a key state
constexpr std::uint32_t kShift = 512;

class EditorTest : public EditorFixture {};

// ---- GOLD and the repeat count ----

TEST_F(EditorTest, DigitsAfterGoldShowTheCount) {
  Edit({"abc"});
  Type("GOLD 4 2");
  EXPECT_EQ(Message(), "Repeat count: 42");
  EXPECT_EQ(MessageRow(), "Repeat count: 42");
  EXPECT_TRUE(Inverse(22, 1)); // the message line is in inverse video
  Type("ESC");
  EXPECT_EQ(Message(), "Repeat count cancelled");
  EXPECT_EQ(Lines(), Texts({"abc"})); // ESC did not delete
  Type("KP3");
  EXPECT_EQ(Cursor(), (Position{1, 2})); // the cancelled count left one
  EXPECT_EQ(Message(), "");              // the next key clears the message
}

TEST_F(EditorTest, KeysSayWhatTheyDidOrWhyNot) {
  const struct {
    const char* keys;
    const char* message;
  } cases[] = {
      {"GOLD KP8", "Invalid key following GOLD"},
      {"GOLD z", "Invalid key following GOLD"},
      {"C-a", "Invalid key: 2,1, control"},
      {"C-S-b", "Invalid key: 2,2, shift, control"},
      {"GOLD 0 GOLD KP3", "Illegal character value for Special Insert."},
      {"GOLD 3 0 0 GOLD KP3", "Illegal character value for Special Insert."},
      {"F6", "Undefined function key."},
      {"GOLD F6", "Undefined function key with GOLD."},
      {"KPDOT KPDOT", "Select range already active."},
      {"F12", "Compiler not available !"},
      {"GOLD W", "No select range"},
      {"GOLD R 'Nope' RETURN", "Could not open buffer: Nope"},
      {"GOLD R RETURN", ""},
      // Delete Buffer refuses what is shown and what is missing.
      {"GOLD D 'Test' RETURN", "Buffer currently being edited"},
      {"GOLD D '/Shell/List' RETURN", "Buffer currently being edited"},
      {"GOLD D '/Shell/ANSITerm.Heap' RETURN", "Buffer does not exist"},
      {"GOLD D 'Nope' RETURN", "Buffer does not exist"},
      {"GOLD D RETURN", "Null buffer name"},
      {"GOLD D 'Other' TAB", "Name must be terminated with RETURN or ENTER"},
      // The mode toggles; letters after GOLD match in either case.
      {"GOLD t", "Align TAB: OFF."},
      {"GOLD T", "Align TAB: ON."},
      {"GOLD m", "Multiple windows: ON."},
      {"GOLD M", "Multiple windows: OFF."},
  };
  for (const auto& c : cases) {
    Edit({"text"});
    Type(c.keys);
    EXPECT_EQ(Message(), c.message) << c.keys;
    EXPECT_EQ(Buffer::Find("/User/Test"), E().current) << c.keys;
    EXPECT_EQ(Lines(), Texts({"text"})) << c.keys;
    EXPECT_EQ(Cursor(), (Position{1, 1})) << c.keys;
  }
}

TEST_F(EditorTest, InstalledFunctionKeysGetTheCountAndGold) {
  static std::int32_t seenCount = 0;
  static bool seenGold = false;
  Edit({"x"});
  E().functionKeys[KeyEvents::KeyF6] = [](std::int32_t count, bool gold) {
    seenCount = count;
    seenGold = gold;
  };
  Type("GOLD 7 F6");
  EXPECT_EQ(seenCount, 7);
  EXPECT_FALSE(seenGold);
  Type("GOLD 3 GOLD F6");
  EXPECT_EQ(seenCount, 3);
  EXPECT_TRUE(seenGold);
  EXPECT_EQ(Message(), "");
}

// ---- Movement ----

TEST_F(EditorTest, KeypadMovesFollowTheDirection) {
  const Texts text = {"abc def ghi", "jkl", "", "mno pqr"};
  const struct {
    const char* keys;
    Position cursor;
  } cases[] = {
      {"GOLD 2 KP3 KP3", {1, 4}},         // a count lasts for one key only
      {"KP1", {1, 5}},                    // word
      {"GOLD 3 KP1", {1, 12}},            // the last word ends at the line end
      {"GOLD 4 KP1", {2, 1}},             // which is a word step of its own
      {"KP2", {1, 12}},                   // eol
      {"KP2 KP2", {2, 4}},                // at a line end: the next one
      {"GOLD 2 KP2", {2, 4}},             // count - 1 lines down
      {"KP0", {2, 1}},                    // line
      {"GOLD 9 KP0", {4, 8}},             // past the last line: its end
      {"GOLD 3 KP0 KP3 KP5 KP0", {4, 1}}, // backup: to column 1 first
      {"GOLD 3 KP0 KP3 KP5 GOLD 2 KP0", {3, 1}},
      {"GOLD 3 KP0 KP5 KP2", {3, 1}},   // backup eol: the end of the line above
      {"KP5 GOLD 4 KP2", {1, 1}},       // not above line 1
      {"GOLD 2 0 KP3", {4, 4}},         // a line end is one character
      {"GOLD 3 0 KP3", {4, 8}},         // char stops at the end of the text
      {"DOWN GOLD 5 KP5 KP3", {1, 12}}, // backup char over the line end
      {"GOLD KP4", {4, 8}},             // BOTTOM
      {"GOLD KP4 GOLD KP5", {1, 1}},    // TOP
      {"END HOME", {1, 1}},
  };
  for (const auto& c : cases) {
    Edit(text);
    Type(c.keys);
    EXPECT_EQ(Cursor(), c.cursor) << c.keys;
  }
}

TEST_F(EditorTest, ArrowsKeepTheDesiredColumnAndTheirOwnDirection) {
  Edit({"abcdef", "ab", "abcdef"});
  Type("GOLD 5 KP3 DOWN");
  EXPECT_EQ(Cursor(), (Position{2, 3}));
  Type("DOWN");
  EXPECT_EQ(Cursor(), (Position{3, 6}));
  // LEFT moves backwards whatever the direction, and leaves it as it was.
  Type("LEFT");
  EXPECT_EQ(Cursor(), (Position{3, 5}));
  EXPECT_EQ(E().direction, Editor::Direction::Advance);
  Type("C-LEFT");
  EXPECT_EQ(Cursor(), (Position{3, 1}));
  Type("C-RIGHT");
  EXPECT_EQ(Cursor(), (Position{3, 7}));
  // Option with the arrows: words, and "line" for down.
  TypeKey(37, kOption, true); // LEFT
  EXPECT_EQ(Cursor(), (Position{3, 1}));
  Type("UP UP");
  TypeKey(40, kOption, true); // DOWN
  EXPECT_EQ(Cursor(), (Position{2, 1}));
}

TEST_F(EditorTest, ShiftArrowsSelectAndPlainArrowsLeaveAtTheEnds) {
  Edit({"abcdef"});
  Type("RIGHT S-RIGHT S-RIGHT");
  EXPECT_TRUE(E().selectActive);
  EXPECT_EQ(E().anchor, (Position{1, 2}));
  EXPECT_EQ(Cursor(), (Position{1, 4}));
  Type("LEFT");
  EXPECT_FALSE(E().selectActive);
  EXPECT_EQ(Cursor(), (Position{1, 2})); // the range's first end
  Type("S-RIGHT S-RIGHT GOLD 2 RIGHT");
  EXPECT_EQ(Cursor(), (Position{1, 5})); // its last end, then one more
}

TEST_F(EditorTest, SectionAndPageKeysMoveRowsLessTheMargin) {
  Edit(Numbered(100));
  Type("KP8");
  EXPECT_EQ(Cursor(), (Position{20, 1})); // 20 rows less a margin of 1
  Type("GOLD 2 PGDN");
  EXPECT_EQ(Cursor(), (Position{58, 1}));
  Type("PGUP");
  EXPECT_EQ(Cursor(), (Position{39, 1}));
  Type("S-PGUP");
  EXPECT_TRUE(E().selectActive);
  EXPECT_EQ(E().anchor, (Position{39, 1}));
}

// ---- The screen ----

TEST_F(EditorTest, CursorKeepsTheMarginFromTheEdges) {
  Edit(Numbered(50));
  Type("GOLD 1 9 DOWN");
  EXPECT_EQ(Cursor(), (Position{20, 1}));
  EXPECT_EQ(E().topLine, 2); // one line stays below the cursor
  EXPECT_EQ(ScreenRow(1), "line 2");
  EXPECT_EQ(ScreenRow(20), "line 21");
  EXPECT_EQ(TerminalCursor(), (Position{19, 1}));
  Type("GOLD KP4");
  EXPECT_EQ(E().topLine, 31);
  EXPECT_EQ(ScreenRow(20), "line 50");
  Type("GOLD 1 8 UP");
  EXPECT_EQ(Cursor(), (Position{32, 8}));
  EXPECT_EQ(E().topLine, 31);
  Type("UP");
  EXPECT_EQ(E().topLine, 30);
  EXPECT_EQ(ScreenRow(1), "line 30");
  EXPECT_EQ(ScreenRow(20), "line 49");
}

TEST_F(EditorTest, ClickInTheFirstRowScrollsUpOneLine) {
  Edit(Numbered(50));
  Type("GOLD 3 0 DOWN");
  ASSERT_EQ(E().topLine, 13);
  Click(1, 3);
  EXPECT_EQ(Cursor(), (Position{13, 3}));
  EXPECT_EQ(E().topLine, 12);
  EXPECT_EQ(ScreenRow(1), "line 12");
  EXPECT_EQ(ScreenRow(2), "line 13");
  // And in the last row down.
  Click(20, 1);
  EXPECT_EQ(Cursor(), (Position{31, 1}));
  EXPECT_EQ(E().topLine, 13);
}

TEST_F(EditorTest, LongLineShowsABarAndScrollsRightWithTheCursor) {
  std::string longLine;
  for (int i = 0; i < 12; ++i) longLine += std::string(9, static_cast<char>('a' + i)) + " ";
  Edit({longLine, "short"});
  EXPECT_EQ(ScreenRow(1), longLine.substr(0, 94) + "|");
  Type("KP2");
  EXPECT_EQ(Cursor(), (Position{1, 121}));
  EXPECT_EQ(E().leftOffset, 26);
  EXPECT_EQ(ScreenRow(1), longLine.substr(26, 93)); // its last character is a blank
  EXPECT_EQ(TerminalCursor(), (Position{1, 95}));   // the last column
  Type("C-LEFT");
  EXPECT_EQ(E().leftOffset, 0);
  EXPECT_EQ(ScreenRow(1), longLine.substr(0, 94) + "|");
  EXPECT_EQ(ScreenRow(2), "short");
}

// The block caret inverts the cell under the cursor: the tests look beside it. A line end
// inside the range is one inverse cell after the text, on an empty line too.
TEST_F(EditorTest, SelectRangeIsShownInInverseVideo) {
  Edit({"abcdef", "", "ghijkl"});
  Type("RIGHT KPDOT GOLD 8 KP3 KP3");
  ASSERT_EQ(Cursor(), (Position{3, 3}));
  for (int column = 1; column <= 8; ++column) {
    EXPECT_EQ(Inverse(1, column), column >= 2 && column <= 7) << column;
    EXPECT_EQ(Inverse(2, column), column == 1) << column;
    if (column != 3) {
      EXPECT_EQ(Inverse(3, column), column <= 2) << column;
    }
  }
  Type("GOLD KPDOT");
  EXPECT_FALSE(E().selectActive);
  for (int column = 1; column <= 8; ++column) {
    EXPECT_FALSE(Inverse(1, column)) << column;
    EXPECT_FALSE(Inverse(2, column)) << column;
    if (column != 3) {
      EXPECT_FALSE(Inverse(3, column)) << column;
    }
  }
}

TEST_F(EditorTest, LongMessagesAreCutWithABar) {
  Edit({""});
  Editor::ShowEditMessage("Macro execution not allowed in macro definition.  Ignored.");
  const std::string shown = MessageRow();
  ASSERT_LT(shown.size(), 58u);
  EXPECT_EQ(shown.back(), '|');
  EXPECT_EQ(
      shown.substr(0, shown.size() - 1),
      std::string("Macro execution not allowed in macro definition.").substr(0, shown.size() - 1));
  EXPECT_EQ(Message(), "Macro execution not allowed in macro definition.  Ignored.");
}

TEST_F(EditorTest, PositionDisplayFollowsTheCursor) {
  Edit({"abc", "def"});
  E().showPosition = true;
  Type("DOWN KP3");
  EXPECT_EQ(Message(), "line: 2;  column: 2");
  EXPECT_EQ(MessageRow(), "line: 2;  column: 2");
  EXPECT_FALSE(Inverse(22, 1));
  Type("F12");
  EXPECT_EQ(MessageRow(), "Compiler not available !");
  Type("KP3");
  EXPECT_EQ(MessageRow(), "line: 2;  column: 3");
}

// ---- Typing ----

TEST_F(EditorTest, KeysEditTheText) {
  const Texts proc = {"PROCEDURE Foo;", ""}, three = {"one", "two", "three"};
  const std::string a200(200, 'a'), b200(200, 'b');
  const struct {
    Texts text;
    const char* keys;
    Texts lines;
    Position cursor;
  } cases[] = {
      // A count before GOLD runs the GOLD function: Special Insert of 'A'.
      {{"xy"}, "RIGHT GOLD 6 5 GOLD KP3", {"xAy"}, {1, 3}},
      // Align TAB: under the next word above, or past them the next fixed stop.
      {proc, "DOWN TAB 'x'", {"PROCEDURE Foo;", "          x"}, {2, 12}},
      {proc, "DOWN TAB 'x' TAB", {"PROCEDURE Foo;", "          x "}, {2, 13}},
      {{"abcdef"}, "GOLD 3 KP3 GOLD 2 RETURN", {"abc", "", "def"}, {3, 1}},
      {{"abcdef"}, "GOLD 3 KP3 GOLD 2 RETURN KP3 GOLD KP0", {"abc", "", "d", "ef"}, {3, 2}},
      // Joining long lines keeps every character.
      {{a200, b200},
       "DOWN BACKSPACE",
       {a200 + std::string(55, 'b'), std::string(145, 'b')},
       {1, 201}},
      {{"<>"}, "RIGHT GOLD 2 GOLD R 'Src' RETURN", {"<one", "twoone", "two>"}, {3, 4}},
      // F3 cuts a line, F4 copies one, F2 pastes.
      {three, "DOWN KP3 F3", {"one", "three"}, {2, 1}},
      {three, "DOWN KP3 F3 F2", three, {3, 1}},
      {three, "GOLD KP5 F4 GOLD KP4 F2", {"one", "two", "threeone", ""}, {4, 1}},
      // Control/H is the line start, Backspace deletes; Control+Backspace and
      // Control+Delete bring back the deleted word.
      {{"abc def"}, "KP2 C-h 'x'", {"xabc def"}, {1, 2}},
      {{"abc def"}, "KP2 BACKSPACE", {"abc de"}, {1, 7}},
      {{"abc def"}, "KP1 KPPLUS HOME C-BACKSPACE", {"defabc "}, {1, 4}},
      {{"abc def"}, "KP1 KPPLUS C-DELETE", {"abc def"}, {1, 8}},
  };
  MakeText({"one", "two"}, "/User/Src");
  for (const auto& c : cases) {
    Edit(c.text);
    Type(c.keys);
    EXPECT_EQ(Lines(), c.lines) << c.keys;
    EXPECT_EQ(Cursor(), c.cursor) << c.keys;
    for (std::size_t i = 0; i < c.lines.size() && c.lines[i].size() < 90; ++i) {
      const std::string& line = c.lines[i];
      EXPECT_EQ(ScreenRow(int(i) + 1), line.substr(0, line.find_last_not_of(' ') + 1)) << c.keys;
    }
  }
}

TEST_F(EditorTest, TabInFixedModeTakesTheCountAndStaysInTheLine) {
  Edit({"PROCEDURE Foo;", "a"});
  Type("GOLD T DOWN KP2 TAB");
  EXPECT_EQ(Lines()[1], "a  ");
  Type("GOLD 3 TAB");
  EXPECT_EQ(Lines()[1], std::string("a") + std::string(11, ' '));
  // Option uses the other mode for one key: align under "Foo;" is past the line.
  Type("KP5 KP2");
  TypeKey(9, kOption, false, 9);
  EXPECT_EQ(Lines()[1].size(), 12u);
  Edit({std::string(254, 'x')});
  Type("TAB");
  EXPECT_EQ(Lines()[0].size(), 254u); // a stop that does not fit inserts nothing
  Type("KP2 TAB");
  EXPECT_EQ(Lines()[0].size(), 255u);
}

TEST_F(EditorTest, TypingStopsAtTheLineLimit) {
  Edit({std::string(253, 'x')});
  Type("KP2 'abc'");
  EXPECT_EQ(Lines()[0], std::string(253, 'x') + "ab");
  Type("GOLD 9 'q'");
  EXPECT_EQ(Lines()[0].size(), 255u);
  EXPECT_FALSE(backend.SoundLog().empty());
}

TEST_F(EditorTest, WithoutKeypadLayoutTheTopRowMoves) {
  Edit({"abc x", "def"});
  E().keypadLayout = false;
  SetSearch("x");
  Type("KPMINUS");
  EXPECT_EQ(Cursor(), (Position{1, 5})); // fndnxt
  Type("KPPLUS");
  EXPECT_EQ(Lines(), Texts({"abc def"})); // del l
}

TEST_F(EditorTest, LineCapacityDropsLinesFromTheTop) {
  Buffer::Ref b = Edit({"one", "two", "three", "four"});
  Lines::SetLimit(b, 5);
  Type("GOLD 2 DOWN KP2 RETURN 'x'");
  EXPECT_EQ(Lines(), Texts({"two", "three", "x", "four"}));
  EXPECT_EQ(Cursor(), (Position{3, 2}));
  EXPECT_EQ(ScreenRow(1), "two");
}

// ---- The mouse ----

TEST_F(EditorTest, ClicksPlaceTheCursorShiftClicksExtendAndDraggingSelects) {
  Edit({"abcdef", "gh"});
  Click(1, 4);
  EXPECT_EQ(Cursor(), (Position{1, 4}));
  Click(2, 30, kShift);
  EXPECT_TRUE(E().selectActive);
  EXPECT_EQ(E().anchor, (Position{1, 4}));
  EXPECT_EQ(Cursor(), (Position{2, 3})); // held to the line end
  Click(1, 2);
  EXPECT_FALSE(E().selectActive);
  Click(30, 2); // below the text: the last line
  EXPECT_EQ(Cursor(), (Position{2, 2}));
  Drag(1, 2, 2, 1);
  EXPECT_TRUE(E().selectActive);
  EXPECT_EQ(E().anchor, (Position{1, 2}));
  EXPECT_EQ(Cursor(), (Position{2, 1}));
}

TEST_F(EditorTest, DoubleClickSelectsAWord) {
  const struct {
    int column;
    Position anchor;
    Position cursor;
  } cases[] = {
      {3, {1, 1}, {1, 6}},    // "count"
      {11, {1, 10}, {1, 16}}, // "12.5e3" from its middle
      {20, {1, 19}, {1, 22}}, // "x_1"
      {24, {1, 23}, {1, 26}}, // "a^b" from the "^"
      {25, {1, 25}, {1, 26}}, // "^" belongs to a word only to the right
  };
  for (const auto& c : cases) {
    Edit({"count := 12.5e3 + x_1 a^b;"});
    Click(1, c.column, 0, 2);
    EXPECT_TRUE(E().selectActive) << c.column;
    EXPECT_EQ(E().anchor, c.anchor) << c.column;
    EXPECT_EQ(Cursor(), c.cursor) << c.column;
  }
}

TEST_F(EditorTest, TripleClickSelectsTheLineWithItsBreak) {
  Edit({"one", "two", "three"});
  Click(2, 2, 0, 3);
  EXPECT_TRUE(E().selectActive);
  EXPECT_EQ(E().anchor, (Position{2, 1}));
  EXPECT_EQ(Cursor(), (Position{3, 1}));
  EXPECT_TRUE(Inverse(2, 1));
  EXPECT_FALSE(Inverse(3, 2));
}

// ---- Buffer commands ----

TEST_F(EditorTest, DeleteBufferAsksAndOnlyYesDeletes) {
  Edit({"text"});
  MakeText({"other"}, "/User/Other");
  std::string question;
  WhenWaiting([&] {
    question = Message();
    Inject("n");
  });
  Type("GOLD D 'Other' KPENTER");
  EXPECT_EQ(question, "Delete \"Other\"? (Y/N) [N]: ");
  EXPECT_NE(Buffer::Find("/User/Other"), nullptr);
  EXPECT_EQ(Lines(), Texts({"text"})); // the answer was not typed into the text
  WhenWaiting([&] { Inject("y"); });
  Type("GOLD D 'Other' RETURN");
  EXPECT_EQ(Buffer::Find("/User/Other"), nullptr);
  EXPECT_EQ(Message(), "");
}

TEST_F(EditorTest, EditBufferCreatesAndEnters) {
  Edit({"text"});
  WhenWaiting([&] {
    EXPECT_EQ(Message(), "Create \"New\"? (Y/N) [N]: ");
    Inject("Y");
  });
  Type("GOLD E 'New' RETURN");
  const Buffer::Ref b = Buffer::Find("/User/New");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(E().current, b);
  EXPECT_EQ(E().editBuffer, b);
  Type("'hi'");
  EXPECT_EQ(LinesOf(b), Texts({"hi"}));
  // The answer starts as the edit buffer's full name.
  Type("F5 GOLD E RETURN");
  EXPECT_EQ(E().current, b);
  Type("GOLD E 'Test' RETURN");
  EXPECT_EQ(E().current, Buffer::Find("/User/Test"));
}

TEST_F(EditorTest, WriteToBufferCopiesTheSelectRange) {
  Edit({"abcdef", "ghi"});
  Type("KP3 KPDOT GOLD 7 KP3 GOLD 2 GOLD W 'Out' RETURN");
  const Buffer::Ref out = Buffer::Find("/User/Out");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(LinesOf(out), Texts({"bcdef", "g", "bcdef", "g"}));
  EXPECT_FALSE(E().selectActive);
  EXPECT_EQ(Lines(), Texts({"abcdef", "ghi"}));
}

// ---- Function keys ----

TEST_F(EditorTest, F5F7AndF8ShowTheShellWindows) {
  Edit({"text"});
  Type("F7");
  EXPECT_EQ(E().current, Shell::ListText());
  EXPECT_EQ(Toolbox::FrontWindow(), Shell::ListWindow());
  Type("F5");
  EXPECT_EQ(E().current, Shell::CommandText());
  EXPECT_EQ(Toolbox::FrontWindow(), Shell::CommandWindow());
  Type("GOLD KP5 F5");
  EXPECT_EQ(Cursor(), (Position{Lines::Count(Shell::CommandText()) - 2, 1}));
  // F8 without a running program: a beep, and the Command window as F5 shows it.
  Type("F7 F8");
  EXPECT_EQ(E().current, Shell::CommandText());
  EXPECT_EQ(backend.SoundLog().back(), "Beep 1");
}

// ---- The help screen ----

TEST_F(EditorTest, HelpScreenShowsTheKeysUntilAKey) {
  Edit({"abc"});
  Texts help;
  WhenWaiting([&] {
    help = backend.Screen(Toolbox::FrontWindow());
    Inject("x");
  });
  Type("KPDIV");
  ASSERT_GE(help.size(), 26u);
  EXPECT_EQ(help[0],
            "Editor Key Assignments:                 Help: First Ten Minutes, Library Modules");
  EXPECT_EQ(help[1].substr(0, 15), "Insert     GOLD");
  // The keypad: each key's plain label over its GOLD label, from the key tables.
  const Texts keypad = {
      "+---------+---------+---------+---------+", "|  num.   |  help   | fndnxt  |  del l  |",
      "|  lock   | FndSel  |  FIND   |  UND L  |", "+---------+---------+---------+---------+",
      "|  back   | section | append  |  del w  |", "| no gold |  ----   | REPLACE |  UND W  |",
      "+---------+---------+---------+         |", "| advance | backup  |   cut   |         |",
      "| BOTTOM  |   TOP   |  PASTE  |         |", "+---------+---------+---------+---------+",
      "|  word   |   eol   |  char   |  enter  |", "|CHNGCASE | DEL EOL | SPECINS |  SUBS   |",
      "+---------+---------+---------+         |", "|       line        | select  |         |",
      "|     OPEN LINE     |  RESET  |         |", "+-------------------+---------+---------+",
  };
  for (std::size_t i = 0; i < keypad.size(); ++i)
    EXPECT_EQ(help[1 + i].substr(40, 41), keypad[i]) << "keypad row " << i;
  EXPECT_NE(help[11].find("GOLD M     toggle: ONE / multi windows"), std::string::npos);
  EXPECT_NE(help[14].find("GOLD T     Toggle: fix / ALIGN TAB"), std::string::npos);
  EXPECT_EQ(help[17], "F5 / F7    Command window / List window F2         Paste line");
  EXPECT_EQ(help[20], "Mouse:     single  click   position cursor and remove text selection");
  EXPECT_EQ(help[25], " Strike any key or click the mouse to continue...");
  // The key that ended it did nothing else; the editor's screen is back.
  EXPECT_EQ(Lines(), Texts({"abc"}));
  EXPECT_EQ(Toolbox::FrontWindow(), Shell::CommandWindow());
  EXPECT_EQ(ScreenRow(1), "abc");
  EXPECT_EQ(E().rows, 20);
  Type("'d'");
  EXPECT_EQ(Lines(), Texts({"dabc"}));
}

} // namespace
