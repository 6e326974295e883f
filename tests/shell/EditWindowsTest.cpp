#include "editwin/EditWindows.h"
#include "editwin/Menus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "../store/StoreTesting.h"
#include "editwin/EditorState.h"
#include "editwin/ShellStart.h"
#include "platform/Events.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"

using Editor::Position;
using StoreTesting::LinesOf;
using Texts = std::vector<std::string>;

namespace {

Buffer::Ref MakeText(const char* name, std::initializer_list<std::string> lines) {
  Buffer::Ref b = Buffer::Create(base::CharsOf(name), Buffer::BufferKind::Text);
  EXPECT_NE(b, nullptr);
  for (const std::string& line : lines) EXPECT_TRUE(Lines::Append(b, line));
  return b;
}

// The text operations on a current buffer, without any window.
class TextPositionTest : public ::testing::Test {
protected:
  void SetUp() override { Buffer::Init(); }
  // Makes a text current with the cursor at `at`.
  Buffer::Ref Edit(std::initializer_list<std::string> lines, Position at = {}) {
    Buffer::Ref b = MakeText("Text", lines);
    Editor::State().current = b;
    Editor::State().cursor = at;
    return b;
  }
  static void At(Position p) { Editor::State().cursor = p; }
  static Position Cursor() { return Editor::State().cursor; }
};

TEST_F(TextPositionTest, CopyRangeAppendsTheRangeLineByLine) {
  Edit({"first line", "second line", "0123456789", "last"});
  Buffer::Ref target = MakeText("Target", {});

  ASSERT_TRUE(EditWindows::CopyRange(target, {3, 5}, {3, 9}));
  EXPECT_EQ(LinesOf(target), Texts({"4567"}));

  // Across lines; a range ending in column 1 adds an empty last line.
  ASSERT_TRUE(EditWindows::CopyRange(target, {1, 7}, {3, 1}));
  EXPECT_EQ(LinesOf(target), Texts({"4567", "line", "second line", ""}));

  // Columns beyond a line's end take what is there.
  ASSERT_TRUE(EditWindows::CopyRange(target, {4, 9}, {4, 99}));
  EXPECT_EQ(LinesOf(target).back(), "");
  EXPECT_FALSE(EditWindows::CopyRange(nullptr, {1, 1}, {1, 2}));
}

TEST_F(TextPositionTest, InsertBufferSplitsTheCursorLine) {
  Buffer::Ref b = Edit({"xyzw"}, {1, 3});
  Buffer::Ref two = MakeText("Two", {"ab", "cd"});
  ASSERT_TRUE(EditWindows::InsertBuffer(two));
  EXPECT_EQ(LinesOf(b), Texts({"xyab", "cdzw"}));
  EXPECT_EQ(Cursor(), (Position{2, 3}));

  // Three lines: the middle one goes in whole.
  Buffer::Ref three = MakeText("Three", {"1", "middle", "3"});
  At({1, 1});
  ASSERT_TRUE(EditWindows::InsertBuffer(three));
  EXPECT_EQ(LinesOf(b), Texts({"1", "middle", "3xyab", "cdzw"}));
  EXPECT_EQ(Cursor(), (Position{3, 2}));

  // One line goes into the cursor line; the cursor moves right by its length.
  Buffer::Ref one = MakeText("One", {"++"});
  At({4, 5});
  ASSERT_TRUE(EditWindows::InsertBuffer(one));
  EXPECT_EQ(LinesOf(b)[3], "cdzw++");
  EXPECT_EQ(Cursor(), (Position{4, 7}));

  // An empty source changes nothing.
  Buffer::Ref none = MakeText("None", {});
  ASSERT_TRUE(EditWindows::InsertBuffer(none));
  EXPECT_EQ(Lines::Count(b), 4);

  // Into an empty text, and the text into itself at its end.
  b = Edit({});
  ASSERT_TRUE(EditWindows::InsertBuffer(two));
  EXPECT_EQ(LinesOf(b), Texts({"ab", "cd"}));
  EXPECT_EQ(Cursor(), (Position{2, 3}));
  ASSERT_TRUE(EditWindows::InsertBuffer(b));
  EXPECT_EQ(LinesOf(b), Texts({"ab", "cdab", "cd"}));
  EXPECT_EQ(Cursor(), (Position{3, 3}));
}

TEST_F(TextPositionTest, InsertBufferFailingForMemoryChangesNothing) {
  Buffer::Ref b = Edit({"xyzw", "second"}, {1, 3});
  Buffer::Ref src = MakeText("Source", {std::string(3000, 'a'), std::string(3000, 'b')});
  const int failures =
      StoreTesting::RaiseUntilSuccess([&] { return EditWindows::InsertBuffer(src); },
                                      [&] {
                                        EXPECT_EQ(LinesOf(b), Texts({"xyzw", "second"}));
                                        EXPECT_EQ(Cursor(), (Position{1, 3}));
                                      });
  EXPECT_GT(failures, 0);
  EXPECT_EQ(LinesOf(b),
            Texts({"xy" + std::string(3000, 'a'), std::string(3000, 'b') + "zw", "second"}));
}

TEST_F(TextPositionTest, SearchStepsNeverMatchUnderTheCursorMatchAtCursorDoes) {
  Edit({"a cat", "nothing here", "banana"}, {1, 1});
  Editor::State().direction = Editor::Direction::Advance;
  ASSERT_TRUE(EditWindows::SearchStep("a"));
  EXPECT_EQ(Cursor(), (Position{1, 4}));
  ASSERT_TRUE(EditWindows::SearchStep("a"));
  EXPECT_EQ(Cursor(), (Position{3, 2}));
  At({3, 6});
  EXPECT_FALSE(EditWindows::SearchStep("a"));
  EXPECT_EQ(Cursor(), (Position{3, 6}));

  // Backward: before the cursor in its line, then the last match of an earlier line.
  Editor::State().direction = Editor::Direction::Backup;
  ASSERT_TRUE(EditWindows::SearchStep("an"));
  EXPECT_EQ(Cursor(), (Position{3, 4}));
  ASSERT_TRUE(EditWindows::SearchStep("an"));
  EXPECT_EQ(Cursor(), (Position{3, 2}));
  ASSERT_TRUE(EditWindows::SearchStep("a"));
  EXPECT_EQ(Cursor(), (Position{1, 4}));
  ASSERT_TRUE(EditWindows::SearchStep("a"));
  EXPECT_EQ(Cursor(), (Position{1, 1}));
  EXPECT_FALSE(EditWindows::SearchStep("a"));
  EXPECT_FALSE(EditWindows::SearchStep(""));
  EXPECT_EQ(Cursor(), (Position{1, 1}));

  Edit({"abcabc"}, {1, 4});
  EXPECT_TRUE(EditWindows::MatchAtCursor("abc"));
  EXPECT_FALSE(EditWindows::MatchAtCursor("abcd"));
  EXPECT_FALSE(EditWindows::MatchAtCursor("bc"));
  EXPECT_FALSE(EditWindows::MatchAtCursor(""));
  At({1, 7});
  EXPECT_FALSE(EditWindows::MatchAtCursor("a"));
}

TEST_F(TextPositionTest, CharacterStepsCountLineEndsAsOne) {
  Edit({"abc", "", "de"});
  struct Case {
    Position from;
    std::int32_t n;
    Position forward, backward;
  };
  const Case cases[] = {
      {{1, 1}, 3, {1, 4}, {1, 1}}, // to the line end; nothing before line 1
      {{1, 1}, 4, {2, 1}, {1, 1}}, // the line end is one character
      {{1, 2}, 5, {3, 2}, {1, 1}}, // across the empty line
      {{3, 2}, 2, {3, 3}, {2, 1}}, // stops after the last character
      {{3, 1}, 100, {3, 3}, {1, 1}}, {{2, 1}, 1, {3, 1}, {1, 4}},
  };
  for (const Case& c : cases) {
    At(c.from);
    EXPECT_EQ(EditWindows::CharsForward(c.n), c.forward) << c.from.line << "," << c.from.column;
    EXPECT_EQ(EditWindows::CharsBackward(c.n), c.backward) << c.from.line << "," << c.from.column;
  }
  EXPECT_EQ(Cursor(), (Position{2, 1}));
}

TEST_F(TextPositionTest, WordStepsStopAtLineEndsAndReportTheLastStep) {
  Edit({"one two  three", "four"});
  struct Case {
    Position from;
    std::int32_t n;
    Position to;
    std::int32_t stepColumn;
  };
  const Case forward[] = {
      {{1, 1}, 1, {1, 5}, 1},   {{1, 1}, 2, {1, 10}, 5},
      {{1, 1}, 3, {1, 15}, 10}, {{1, 1}, 4, {2, 1}, 15}, // the line end is a step of its own
      {{1, 1}, 9, {2, 5}, 1},                            // the end of the text
      {{1, 4}, 1, {1, 5}, 4},                            // from the spaces after a word
  };
  for (const Case& c : forward) {
    At(c.from);
    const EditWindows::WordStep s = EditWindows::WordsForward(c.n);
    EXPECT_EQ(s.position, c.to) << c.n;
    EXPECT_EQ(s.stepColumn, c.stepColumn) << c.n;
  }
  const Case backward[] = {
      {{2, 3}, 1, {2, 1}, 3},   {{2, 3}, 2, {1, 15}, 1}, // the line start is a step
      {{2, 3}, 3, {1, 10}, 15}, {{2, 3}, 9, {1, 1}, 5},  // the start of the text
      {{1, 10}, 1, {1, 5}, 10},                          // over the spaces first
  };
  for (const Case& c : backward) {
    At(c.from);
    const EditWindows::WordStep s = EditWindows::WordsBackward(c.n);
    EXPECT_EQ(s.position, c.to) << c.n;
    EXPECT_EQ(s.stepColumn, c.stepColumn) << c.n;
  }
}

TEST_F(TextPositionTest, InsertRepeatedKeepsTheLineWithin256Characters) {
  Buffer::Ref b = Edit({"ab", std::string(250, 'x')}, {1, 2});
  EXPECT_EQ(EditWindows::InsertRepeated(3, "-="), 8);
  EXPECT_EQ(LinesOf(b)[0], "a-=-=-=b");
  EXPECT_EQ(Cursor(), (Position{1, 2}));

  At({2, 1});
  EXPECT_EQ(EditWindows::InsertRepeated(10, "yz"), 7); // room for 3 copies only
  EXPECT_EQ(Lines::Length(b, 2), 256);
  EXPECT_EQ(EditWindows::InsertRepeated(1, "q"), 1);
  EXPECT_EQ(Lines::Length(b, 2), 256);

  // On the line after the last one the copies become a new line.
  At({3, 1});
  EXPECT_EQ(EditWindows::InsertRepeated(2, "ok"), 5);
  EXPECT_EQ(LinesOf(b), Texts({"a-=-=-=b", "yzyzyz" + std::string(250, 'x'), "okok"}));
}

TEST_F(TextPositionTest, BreakLines) {
  Buffer::Ref b = Edit({"abcd"}, {1, 3});
  ASSERT_TRUE(EditWindows::BreakLines(2));
  EXPECT_EQ(LinesOf(b), Texts({"ab", "", "cd"}));
  EXPECT_EQ(Cursor(), (Position{3, 1}));

  // In column 1 the empty lines go before the line.
  ASSERT_TRUE(EditWindows::BreakLines(1));
  EXPECT_EQ(LinesOf(b), Texts({"ab", "", "", "cd"}));
  EXPECT_EQ(Cursor(), (Position{4, 1}));

  // At the line end the new line is empty.
  At({4, 3});
  ASSERT_TRUE(EditWindows::BreakLines(1));
  EXPECT_EQ(LinesOf(b), Texts({"ab", "", "", "cd", ""}));
  EXPECT_EQ(Cursor(), (Position{5, 1}));

  // In an empty text the cursor stays on a line.
  b = Edit({});
  ASSERT_TRUE(EditWindows::BreakLines(1));
  EXPECT_EQ(LinesOf(b), Texts({"", ""}));
  EXPECT_EQ(Cursor(), (Position{2, 1}));
}

TEST_F(TextPositionTest, WindowsMenuKeepsAlphabeticalOrderAndDropsTheLeastRecentlyUsed) {
  auto items = [] {
    Texts texts;
    char text[40];
    for (std::int32_t i = 1; i <= EditWindows::WindowsMenuCount(); ++i) {
      EditWindows::WindowsMenuItem(i, text);
      texts.emplace_back(text);
    }
    return texts;
  };
  EditWindows::AddToWindowsMenu("gamma");
  EditWindows::AddToWindowsMenu("Alpha");
  EditWindows::AddToWindowsMenu("beta");
  EditWindows::AddToWindowsMenu("gamma");
  EXPECT_EQ(items(), Texts({"Command", "List", "-", "Alpha", "beta", "gamma"}));

  // 25 names at most: with the line, Tile and Cascade after them the menu holds 31 items.
  for (int i = 4; i <= 25; ++i) EditWindows::AddToWindowsMenu("M" + std::to_string(i));
  ASSERT_EQ(EditWindows::WindowsMenuCount(), 28);
  EditWindows::AddToWindowsMenu("Alpha"); // used again: "beta" is now the oldest
  EditWindows::AddToWindowsMenu("delta");
  const Texts after = items();
  EXPECT_EQ(after.size(), 28u);
  EXPECT_EQ(Texts(after.begin() + 3, after.begin() + 7), Texts({"Alpha", "delta", "gamma", "M10"}));

  EditWindows::RemoveFromWindowsMenu("delta");
  EXPECT_EQ(EditWindows::WindowsMenuCount(), 27);
}

// ---- With the shell's windows on the headless backend ----

class EditWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Headless::StartPlatform(backend));
    char pattern[] = "/tmp/velmarin-editwin-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(dir)));
    ASSERT_EQ(Shell::CreateShell(), Startup::ShellStart::Ok);
    ASSERT_TRUE(Shell::OpenShellWindows());
    command = Shell::CommandWindow();
  }
  void TearDown() override {
    Headless::StopPlatform();
    std::filesystem::remove_all(dir);
  }
  // A text in /User of n numbered lines.
  static Buffer::Ref Numbered(const char* name, int n) {
    Buffer::Ref b = MakeText(name, {});
    for (int i = 1; i <= n; ++i) EXPECT_TRUE(Lines::Append(b, "line " + std::to_string(i)));
    return b;
  }
  static std::string Title(Toolbox::Window w) {
    char title[300];
    Toolbox::GetWTitle(w, title);
    return title;
  }

  Headless::HeadlessBackend backend;
  std::string dir;
  Toolbox::Window command = nullptr;
};

TEST_F(EditWindowTest, FirstEntryStartsAtLineOneColumnOne) {
  Buffer::Ref b = Numbered("Fresh", 40);
  EditWindows::ShowBuffer(b, EditWindows::kRefresh);
  const Editor::EditorState& e = Editor::State();
  EXPECT_EQ(e.current, b);
  EXPECT_EQ(e.cursor, (Position{1, 1}));
  EXPECT_EQ(e.topLine, 1);
  EXPECT_EQ(e.scrollMargin, e.settingsMargin);
  EXPECT_EQ(e.editBuffer, b);
  EXPECT_EQ(EditWindows::CommandWindowBuffer(), b);
  EXPECT_EQ(Title(command), "Fresh");
  EXPECT_EQ(backend.Row(command, 0), "line 1");
  EXPECT_EQ(backend.Row(command, e.rows - 1), "line " + std::to_string(e.rows));
}

TEST_F(EditWindowTest, WindowStateIsSavedAndRestoredAcrossShowBuffer) {
  Buffer::Ref a = Numbered("A", 60);
  Buffer::Ref b = Numbered("B", 5);
  Editor::EditorState& e = Editor::State();
  EditWindows::ShowBuffer(a, 0);
  e.cursor = {30, 5};
  e.desiredColumn = 7;
  e.topLine = 20;
  e.selectActive = true;
  e.anchor = {28, 2};
  EditWindows::ShowBuffer(b, 0);
  EXPECT_EQ(e.cursor, (Position{1, 1}));
  EXPECT_FALSE(e.selectActive);
  EXPECT_EQ(backend.Row(command, 0), "line 1");
  e.direction = Editor::Direction::Backup;

  EditWindows::ShowBuffer(a, 0);
  EXPECT_EQ(e.cursor, (Position{30, 5}));
  EXPECT_EQ(e.desiredColumn, 7);
  EXPECT_EQ(e.topLine, 20);
  EXPECT_TRUE(e.selectActive);
  EXPECT_EQ(e.anchor, (Position{28, 2}));
  EXPECT_EQ(e.direction, Editor::Direction::Advance);
  EXPECT_EQ(backend.Row(command, 0), "line 20");

  // The end of the text in the bottom row.
  EditWindows::ShowBuffer(a, EditWindows::kToEnd);
  EXPECT_EQ(e.cursor, (Position{60, 8}));
  EXPECT_EQ(backend.Row(command, e.rows - 1), "line 60");
}

TEST_F(EditWindowTest, SavedStateIsCutToTheText) {
  Buffer::Ref b = Numbered("Cut", 10);
  EditWindows::WindowState ws = EditWindows::GetState(b);
  ws.cursorLine = 99;
  ws.cursorColumn = 3;
  ws.topLine = 5;
  ws.leftOffset = -4;
  ws.margin = 0;
  EditWindows::PutState(b, ws);
  Editor::State().settingsMargin = 2;
  EditWindows::EnterBuffer(b);
  EXPECT_EQ(Editor::State().cursor, (Position{10, 3}));
  EXPECT_EQ(Editor::State().leftOffset, 0);
  EXPECT_EQ(Editor::State().scrollMargin, 2);
}

TEST_F(EditWindowTest, OwnWindowsOpenCascadeAndClose) {
  Buffer::Ref a = Numbered("A", 3);
  Buffer::Ref b = Numbered("B", 3);
  EditWindows::ShowBuffer(a, 0); // the Command window shows A first
  ASSERT_TRUE(EditWindows::OpenBufferWindow(a, EditWindows::Placement::Automatic));
  const Toolbox::Window wa = Editor::State().window;
  ASSERT_NE(wa, command);
  EXPECT_EQ(EditWindows::BufferOfWindow(wa), a);
  EXPECT_EQ(EditWindows::CommandWindowBuffer(), Shell::CommandText());
  EXPECT_EQ(Title(wa), "A");
  EXPECT_EQ(backend.Row(wa, 2), "line 3");
  EXPECT_EQ(EditWindows::OwnWindowCount(), 1);

  // Each new window takes the next free step of the cascade from the Command window, 16
  // pixels down and right, and stays inside the frame; a step given up is taken again.
  ASSERT_TRUE(EditWindows::OpenBufferWindow(b, EditWindows::Placement::Automatic));
  const Toolbox::Window wb = Editor::State().window;
  EXPECT_EQ(EditWindows::OwnWindowCount(), 2);
  const Toolbox::Rect rc = Toolbox::GetWindowRect(command);
  const Toolbox::Rect ra = Toolbox::GetWindowRect(wa);
  const Toolbox::Rect rb = Toolbox::GetWindowRect(wb);
  EXPECT_EQ(ra.left, rc.left + 16);
  EXPECT_EQ(ra.top, rc.top + 16);
  EXPECT_EQ(rb.left, rc.left + 32);
  const Toolbox::Rect client = Toolbox::FrameClientRect();
  for (const Toolbox::Rect& r : {ra, rb}) {
    EXPECT_LE(r.right, client.right);
    EXPECT_LE(r.bottom, client.bottom);
  }
  Buffer::Ref c = Numbered("C", 1);
  ASSERT_TRUE(EditWindows::OpenBufferWindow(c, EditWindows::Placement::Automatic));
  EXPECT_EQ(Toolbox::GetWindowRect(Editor::State().window).left, rc.left + 48);
  EditWindows::CloseBufferWindow(b);
  ASSERT_TRUE(EditWindows::OpenBufferWindow(Numbered("D", 1), EditWindows::Placement::Automatic));
  EXPECT_EQ(Toolbox::GetWindowRect(Editor::State().window).left, rc.left + 32);

  // Showing A again makes its window current.
  EditWindows::ShowBuffer(a, EditWindows::kActivate);
  EXPECT_EQ(Editor::State().window, wa);
  EXPECT_EQ(Toolbox::FrontWindow(), wa);

  // Closing the current window shows the last edited buffer in the Command window; the
  // next window of A takes the rectangle A's last one had.
  Toolbox::MoveWindow(wa, ra.left - 8, ra.top + 20, false);
  const Toolbox::Rect moved = Toolbox::GetWindowRect(wa);
  EditWindows::CloseBufferWindow(a);
  EXPECT_EQ(EditWindows::OwnWindowCount(), 2);
  EXPECT_FALSE(EditWindows::HasOwnWindow(a));
  EXPECT_EQ(Editor::State().current, a);
  EXPECT_EQ(Editor::State().window, command);
  EXPECT_EQ(backend.Row(command, 0), "line 1");
  ASSERT_TRUE(EditWindows::OpenBufferWindow(a, EditWindows::Placement::Automatic));
  EXPECT_EQ(Toolbox::GetWindowRect(Editor::State().window), moved);
  EXPECT_EQ(EditWindows::CommandWindowBuffer(), Shell::CommandText());
}

TEST_F(EditWindowTest, RedrawBufferLeavesTheCurrentBufferAlone) {
  Buffer::Ref a = Numbered("A", 3);
  ASSERT_TRUE(EditWindows::OpenBufferWindow(a, EditWindows::Placement::Automatic));
  const Toolbox::Window wa = Editor::State().window;
  EditWindows::ShowBuffer(nullptr, 0);
  ASSERT_EQ(Editor::State().current, Shell::CommandText());
  ASSERT_TRUE(Lines::Append(a, "line 4"));
  EditWindows::RedrawBuffer(a, EditWindows::kToEnd);
  EXPECT_EQ(Editor::State().current, Shell::CommandText());
  EXPECT_EQ(backend.Row(wa, 3), "line 4");
  EXPECT_EQ(EditWindows::GetState(a).cursorLine, 4);
}

TEST_F(EditWindowTest, WindowsMenuMirrorsIntoTheMenuBar) {
  std::int32_t windows = 0;
  Menus::NewMenu(windows, "Windows");
  Menus::InsertIntoBar(windows);
  EditWindows::SetWindowsMenu(windows, nullptr);
  EditWindows::ShowBuffer(Numbered("Zeta", 1), 0);
  EditWindows::ShowBuffer(Numbered("eta", 1), 0);
  EditWindows::ShowBuffer(Shell::ListText(), 0); // the shell's texts never get an entry
  const Toolbox::Menu* m = Toolbox::GetMenu(windows);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->inBar);
  // The names from item 4 on; the commands that lay the windows out after them.
  ASSERT_EQ(Toolbox::CountItems(m), 8);
  EXPECT_EQ(m->items[3].text, "eta");
  EXPECT_EQ(m->items[4].text, "Zeta");
  EXPECT_EQ(m->items[6].text, "Tile");
  EXPECT_EQ(m->items[7].text, "Cascade");
  for (int i = 0; i < 25; ++i) EditWindows::AddToWindowsMenu("N" + std::to_string(i));
  ASSERT_EQ(Toolbox::CountItems(m), Menus::kMaxItem);
  EXPECT_EQ(m->items[Menus::kMaxItem - 1].text, "Cascade");
}

TEST_F(EditWindowTest, RefreshPathLineFollowsTheHostDirectory) {
  const std::string sub = dir + "/sub";
  std::filesystem::create_directory(sub);
  ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(sub)));
  EditWindows::RefreshPathLine();
  const std::string expected = "                (* Path: " + sub + "/ *)";
  EXPECT_EQ(std::string(Lines::View(Shell::CommandText(), 2)), expected);
  EditWindows::DrawChanged();
  EXPECT_EQ(backend.Row(command, 1), expected.substr(0, Editor::State().width));

  // Without the comment the line stays.
  ASSERT_TRUE(Lines::Set(Shell::CommandText(), 2, "(* Path: at the start *)"));
  EditWindows::RefreshPathLine();
  EXPECT_EQ(std::string(Lines::View(Shell::CommandText(), 2)), "(* Path: at the start *)");
}

} // namespace
