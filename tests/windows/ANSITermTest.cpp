#include "windows/ANSITerm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "windows/KeyEvents.h"

using ANSITerm::TextWindow;
using Toolbox::Rect;
using Toolbox::Window;

namespace {

class TerminalTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Headless::StartPlatform(backend));
    Buffer::Init();
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
    ASSERT_TRUE(ANSITerm::InitTerminals());
  }
  void TearDown() override {
    ANSITerm::DisposeTerminal(t);
    Headless::StopPlatform();
    Buffer::Testing::Reset();
  }

  // Without scroll bars a 400 x 400 window has 24 rows of 49 columns.
  void Open(int width = 400, int height = 400, bool scrollBars = false,
            int kind = Toolbox::kDocumentWindow) {
    w = Toolbox::NewWindow(Rect{10, 10, 10 + width, 10 + height}, "T", true, kind, true, nullptr);
    ASSERT_NE(w, nullptr);
    t = ANSITerm::NewTerminal(scrollBars, w);
    ASSERT_NE(t, nullptr);
    // The new window's activation is of no interest here.
    while (backend.Pump(false)) {}
    Events::FlushEvents(0, 0);
  }

  void Write(const std::string& s) { ANSITerm::WriteString(t, s); }
  void WriteAt(int row, int column, const std::string& s) {
    ANSITerm::GotoRowCol(t, row, column);
    Write(s);
    ANSITerm::FlushOutput(t);
  }
  std::string Row(int row) const { return backend.Row(w, row); }
  std::pair<int, int> Cursor() {
    std::int32_t row = 0, column = 0;
    ANSITerm::GetRowCol(t, row, column);
    return {row, column};
  }

  Headless::HeadlessBackend backend;
  Window w = nullptr;
  TextWindow* t = nullptr;
};

TEST_F(TerminalTest, LongOutputIsDrawnInBlocksOf256AndNeverWraps) {
  Open(2600, 100);
  std::int32_t rows = 0, columns = 0;
  ANSITerm::GetSize(t, rows, columns);
  EXPECT_EQ(columns, 255);

  Write(std::string(300, 'x'));
  EXPECT_EQ(Row(0), std::string(256, 'x'));
  ANSITerm::FlushOutput(t);
  EXPECT_EQ(Row(0), std::string(300, 'x'));
  EXPECT_EQ(Row(1), "");
  EXPECT_EQ(Cursor(), std::make_pair(1, 301));
}

TEST_F(TerminalTest, TabAndControlCharactersShowAsPlaceholders) {
  Open();
  Write("a\tb\x01"
        "c\n");
  ANSITerm::NewLine(t);
  Write("\xE9t\xE9");
  ANSITerm::FlushOutput(t);
  EXPECT_EQ(Row(0), "a_b\x08"
                    "c\x08");
  EXPECT_EQ(Row(1), "\xE9t\xE9");
}

TEST_F(TerminalTest, GotoRowColKeepsTheCursorOnTheScreenRelativeMovesLeaveIt) {
  Open();
  const struct {
    int row, column, wantRow, wantColumn;
  } cases[] = {{999, 999, 24, 49}, {0, 0, 1, 1}, {-5, 3, 1, 3}, {3, 7, 3, 7}};
  for (const auto& c : cases) {
    ANSITerm::GotoRowCol(t, c.row, c.column);
    EXPECT_EQ(Cursor(), std::make_pair(c.wantRow, c.wantColumn)) << c.row << "," << c.column;
  }
  WriteAt(999, 999, "X");
  EXPECT_EQ(Row(23), std::string(48, ' ') + "X");
  // The relative moves stop only at the top and the left.
  ANSITerm::GotoRowCol(t, 3, 3);
  ANSITerm::CursorUp(t, 10);
  ANSITerm::CursorLeft(t, 10);
  EXPECT_EQ(Cursor(), std::make_pair(1, 1));
  ANSITerm::CursorDown(t, 30);
  ANSITerm::CursorRight(t, 60);
  EXPECT_EQ(Cursor(), std::make_pair(31, 61));
}

TEST_F(TerminalTest, IndexScrollsUpFromTheLastRowAndBelowReverseIndexDownFromTheFirst) {
  Open();
  WriteAt(1, 1, "first");
  WriteAt(2, 1, "second");
  WriteAt(24, 1, "last");
  ANSITerm::Index(t);
  EXPECT_EQ(Cursor(), std::make_pair(24, 5));
  EXPECT_EQ(Row(0), "second");
  EXPECT_EQ(Row(22), "last");
  EXPECT_EQ(Row(23), "");
  ANSITerm::CursorDown(t, 3);
  EXPECT_EQ(Cursor(), std::make_pair(27, 5));
  ANSITerm::Index(t);
  EXPECT_EQ(Cursor(), std::make_pair(27, 5));
  EXPECT_EQ(Row(21), "last");

  ANSITerm::ClearTerminal(t);
  WriteAt(1, 1, "top");
  ANSITerm::GotoRowCol(t, 3, 1);
  ANSITerm::ReverseIndex(t);
  EXPECT_EQ(Cursor(), std::make_pair(2, 1));
  EXPECT_EQ(Row(0), "top");

  ANSITerm::GotoRowCol(t, 1, 1);
  ANSITerm::ReverseIndex(t);
  EXPECT_EQ(Cursor(), std::make_pair(1, 1));
  EXPECT_EQ(Row(0), "");
  EXPECT_EQ(Row(1), "top");
}

TEST_F(TerminalTest, InverseVideoAppliesToWhatIsWrittenAfterIt) {
  Open();
  Write("ab");
  ANSITerm::SetInverse(t, 1);
  Write("cd");
  ANSITerm::SetInverse(t, 0);
  Write("e");
  ANSITerm::SetInverse(t, 2);
  ANSITerm::EraseChars(t, 1);
  ANSITerm::SetInverse(t, 3);
  EXPECT_EQ(Row(0), "abcde");
  const bool want[] = {false, false, true, true, false, true, false};
  for (int c = 0; c < 7; ++c) EXPECT_EQ(backend.Inverse(w, 0, c), want[c]) << "column " << c;
}

TEST_F(TerminalTest, InsertAndDeleteLinesMoveTheRowsBelowTheCursor) {
  Open();
  for (int r = 1; r <= 4; ++r) WriteAt(r, 1, std::to_string(r));
  WriteAt(24, 1, "z");
  ANSITerm::GotoRowCol(t, 2, 3);
  ANSITerm::InsertLines(t, 1);
  EXPECT_EQ(backend.Screen(w),
            (std::vector<std::string>{"1", "", "2", "3", "4", "", "", "", "", "", "", "", "",
                                      "",  "", "",  "",  "",  "", "", "", "", "", "", ""}));
  ANSITerm::DeleteLines(t, 2);
  EXPECT_EQ(Row(1), "3");
  EXPECT_EQ(Row(2), "4");
  EXPECT_EQ(Row(3), "");
  EXPECT_EQ(Cursor(), std::make_pair(2, 1));
  ANSITerm::InsertLines(t, 0);
  EXPECT_EQ(Row(1), "3");
}

TEST_F(TerminalTest, EraseInsertAndDeleteAtTheCursor) {
  Open();
  const struct {
    const char* name;
    void (*erase)(TextWindow*);
    std::vector<std::string> rows;
    std::pair<int, int> cursor;
  } cases[] = {
      {"EraseLineEnd", ANSITerm::EraseLineEnd, {"abcdef", "ab", "abcdef"}, {2, 3}},
      {"EraseLineStart", ANSITerm::EraseLineStart, {"abcdef", "   def", "abcdef"}, {2, 3}},
      {"EraseLine", ANSITerm::EraseLine, {"abcdef", "", "abcdef"}, {2, 1}},
      {"EraseScreenEnd", ANSITerm::EraseScreenEnd, {"abcdef", "ab", ""}, {2, 3}},
      {"EraseScreenStart", ANSITerm::EraseScreenStart, {"", "   def", "abcdef"}, {2, 3}},
      {"EraseChars",
       [](TextWindow* x) { ANSITerm::EraseChars(x, 2); },
       {"abcdef", "ab  ef", "abcdef"},
       {2, 3}},
      {"ClearTerminal", ANSITerm::ClearTerminal, {"", "", ""}, {1, 1}},
      {"InsertChars",
       [](TextWindow* x) { ANSITerm::InsertChars(x, 2); },
       {"abcdef", "ab  cdef", "abcdef"},
       {2, 3}},
      {"DeleteChars",
       [](TextWindow* x) { ANSITerm::DeleteChars(x, 3); },
       {"abcdef", "abf", "abcdef"},
       {2, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ANSITerm::ClearTerminal(t);
    for (int r = 1; r <= 3; ++r) WriteAt(r, 1, "abcdef");
    ANSITerm::GotoRowCol(t, 2, 3);
    c.erase(t);
    EXPECT_EQ((std::vector<std::string>{Row(0), Row(1), Row(2)}), c.rows);
    EXPECT_EQ(Cursor(), c.cursor);
  }
}

TEST_F(TerminalTest, MessageLineUsesTheBandBesideTheScrollBar) {
  Open(400, 400, true);
  ASSERT_EQ(w->scrollBars.size(), 2u);
  std::int32_t rows = 0, columns = 0;
  ANSITerm::GetSize(t, rows, columns);
  EXPECT_EQ(rows, 23);
  EXPECT_EQ(columns, 47);

  WriteAt(1, 1, "text");
  ANSITerm::GotoRowCol(t, 5, 7);
  ANSITerm::BeginMessageLine(t);
  EXPECT_EQ(ANSITerm::ShellColumns(), 24); // the left half of the window
  ANSITerm::SetInverse(t, 1);
  Write("Saved");
  ANSITerm::SetInverse(t, 0);
  Write(" ok");
  ANSITerm::EndMessageLine(t);
  EXPECT_EQ(Cursor(), std::make_pair(5, 7));
  EXPECT_EQ(ANSITerm::ShellColumns(), 0);

  // The band is the bottom 14 pixels: grid row 24.
  EXPECT_EQ(Row(0), "text");
  EXPECT_EQ(Row(24), "Saved ok");
  EXPECT_TRUE(backend.Inverse(w, 24, 0));
  EXPECT_FALSE(backend.Inverse(w, 24, 6));

  Toolbox::SetPort(w);
  Toolbox::EraseRect(Toolbox::GetPortRect(w));
  ANSITerm::RedrawMessageLine(t);
  EXPECT_EQ(Row(24), "Saved ok");
  EXPECT_TRUE(backend.Inverse(w, 24, 4));
  EXPECT_FALSE(backend.Inverse(w, 24, 5));
  EXPECT_EQ(Row(0), "");
}

TEST_F(TerminalTest, NarrowWindowGivesTheBandTheWholeStrip) {
  Open(200, 200, true);
  ANSITerm::BeginMessageLine(t);
  EXPECT_EQ(ANSITerm::ShellColumns(), 22); // 200 less the 15 of the vertical bar
  ANSITerm::EndMessageLine(t);
  EXPECT_FALSE(t->horizontal->shown);
  EXPECT_TRUE(t->vertical->shown);
}

TEST_F(TerminalTest, MessageLineWithoutScrollBarsIsTheLastRow) {
  Open();
  Write("x");
  ANSITerm::BeginMessageLine(t);
  Write("message");
  ANSITerm::GotoRowCol(t, 1, 3);
  ANSITerm::EraseChars(t, 2);
  ANSITerm::EndMessageLine(t);
  EXPECT_EQ(Cursor(), std::make_pair(1, 2));
  EXPECT_EQ(Row(0), "x");
  EXPECT_EQ(Row(23), "me  age");

  ANSITerm::ClearTerminal(t);
  ANSITerm::RedrawMessageLine(t);
  EXPECT_EQ(Row(23), "");
}

TEST_F(TerminalTest, CommandTerminalSetsTheShellCounts) {
  Open();
  ANSITerm::SetScrollStep(20);
  ANSITerm::SetCommandTerminal(t);
  EXPECT_EQ(ANSITerm::ShellRows(), 24);
  EXPECT_EQ(ANSITerm::ShellColumns(), 49);
  EXPECT_EQ(ANSITerm::ScrollStep(), 8);

  Toolbox::SizeWindow(w, 400, 200);
  ANSITerm::Relayout(t);
  EXPECT_EQ(ANSITerm::ShellRows(), 12);
  EXPECT_EQ(ANSITerm::ScrollStep(), 4);
}

struct ScrollCall {
  bool vertical;
  std::uint32_t part;
  std::int32_t thumb;
};
std::vector<ScrollCall> scrollCalls;

TEST_F(TerminalTest, ScrollBarRequestsGoToTheTerminalsScrollProcedure) {
  Open(400, 400, true);
  ANSITerm::SetScrollProc(t,
                          [](TextWindow*, bool vertical, std::uint32_t part, std::int32_t thumb) {
                            scrollCalls.push_back({vertical, part, thumb});
                          });
  backend.InjectScroll(t->vertical, 1);
  backend.InjectScroll(t->horizontal, 4, 37);
  std::uint8_t key = 0, modifiers = 0;
  char ch = 0;
  ASSERT_TRUE(KeyEvents::GetKey(t, key, modifiers, ch));
  EXPECT_EQ(key, KeyEvents::KeyHandled);
  ASSERT_EQ(scrollCalls.size(), 2u);
  EXPECT_TRUE(scrollCalls[0].vertical);
  EXPECT_EQ(scrollCalls[0].part, Events::kLineDown);
  EXPECT_FALSE(scrollCalls[1].vertical);
  EXPECT_EQ(scrollCalls[1].part, Events::kThumbPosition);
  EXPECT_EQ(scrollCalls[1].thumb, 37);
}

TEST_F(TerminalTest, CaretShowsWhileAKeyIsAwaitedAndBlinks) {
  Open();
  Write("ab");
  backend.InjectChar('k');
  std::uint8_t key = 0, modifiers = 0;
  char ch = 0;
  ANSITerm::ReadKey(t, key, modifiers, ch);
  EXPECT_EQ(ch, 'k');
  EXPECT_TRUE(backend.Inverse(w, 0, 2)); // the block caret after "ab"
  Write("c");
  ANSITerm::FlushOutput(t);
  EXPECT_FALSE(backend.Inverse(w, 0, 2));
  EXPECT_EQ(Row(0), "abc");

  // A timer past the caret time hides it before the key arrives.
  backend.InjectTimer(Toolbox::TickCount() + 600);
  backend.InjectChar('m');
  ANSITerm::ReadKey(t, key, modifiers, ch);
  EXPECT_EQ(ch, 'm');
  EXPECT_FALSE(backend.Inverse(w, 0, 3));
}

TEST_F(TerminalTest, DisposeLeavesNoTerminalBehindTheWindow) {
  Open(400, 400, true);
  EXPECT_EQ(ANSITerm::TerminalOf(w), t);
  ANSITerm::SetCommandTerminal(t);
  ANSITerm::DisposeTerminal(t);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(w->refCon, nullptr);
  EXPECT_EQ(ANSITerm::TerminalOf(w), nullptr);
  EXPECT_TRUE(w->scrollBars.empty());
  EXPECT_EQ(ANSITerm::CommandTerminal(), nullptr);
}

TEST_F(TerminalTest, OperationsOnNoTerminalDoNothing) {
  TextWindow* none = nullptr;
  ANSITerm::WriteString(none, "x");
  ANSITerm::FlushOutput(none);
  ANSITerm::Index(none);
  ANSITerm::EraseScreenEnd(none);
  ANSITerm::BeginMessageLine(none);
  ANSITerm::ClearTerminal(none);
  ANSITerm::DisposeTerminal(none);
  std::int32_t row = 9, column = 9;
  ANSITerm::GetRowCol(none, row, column);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(column, 0);
}

TEST(TerminalHeapTest, InitTerminalsFailsWithoutTheShellDirectory) {
  Buffer::Init();
  EXPECT_FALSE(ANSITerm::InitTerminals());
  Toolbox::WindowObject window;
  EXPECT_EQ(ANSITerm::NewTerminal(false, &window), nullptr);
  EXPECT_EQ(window.refCon, nullptr);
}

} // namespace
