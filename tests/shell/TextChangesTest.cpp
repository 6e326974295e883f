// Texts changed by commands rather than by the editor's keys: the windows that show them
// keep their cursors and lines, and draw the rows that changed once, when the key is done.
#include <algorithm>
#include <string>

#include "../editor/EditorFixture.h"
#include "shell/Commands.h"
#include "shell/FileCommands.h"

namespace {

using Editor::Position;
using EditWindows::WindowState;

class TextChangesTest : public EditorFixture {
protected:
  // A text of 60 numbered lines in a window of its own, not being edited, scrolled so that
  // line top is in its first row and the cursor on line cursorLine.
  Buffer::Ref OwnWindowText(const char* path, std::int32_t top, std::int32_t cursorLine) {
    const Buffer::Ref b = MakeText(Numbered(60), path);
    EXPECT_TRUE(EditWindows::OpenOwnWindow(b, EditWindows::Placement::Given,
                                           Toolbox::Rect{20, 46, 536, 300}));
    WindowState ws = EditWindows::GetState(b);
    ws.topLine = top;
    ws.cursorLine = cursorLine;
    ws.cursorColumn = 2;
    ws.desiredColumn = 2;
    ws.anchorLine = ws.anchorColumn = 1;
    EditWindows::PutState(b, ws);
    EditWindows::RedrawBuffer(b, EditWindows::kRefresh);
    return b;
  }
  std::string Row(Buffer::Ref b, int row) const {
    return backend.Row(EditWindows::GetState(b).window, row - 1);
  }
  static Position SavedCursor(Buffer::Ref b) {
    const WindowState ws = EditWindows::GetState(b);
    return Position{ws.cursorLine, ws.cursorColumn};
  }
};

// A checksum line goes in above both views: the edited text's cursor stays on its
// character and its rows show the new line once the key is done; the window scrolled
// below keeps its lines. Then lines are deleted around the other's top line and cursor.
TEST_F(TextChangesTest, WindowsFollowLinesInsertedAndDeletedAboveThem) {
  const Buffer::Ref far = OwnWindowText("/User/Far", 30, 35);
  const Buffer::Ref near = Edit(Numbered(60), "/User/Near");
  Type("DOWN DOWN DOWN DOWN RIGHT RIGHT");
  ASSERT_EQ(E().current, near);
  ASSERT_EQ(Row(far, 1), "line 30");

  FileCommands::WriteChecksumLine(near);
  FileCommands::WriteChecksumLine(far);
  // Nothing is drawn per change.
  EXPECT_EQ(ScreenRow(1), "line 1");
  EXPECT_EQ(Cursor(), (Position{6, 3}));
  EXPECT_EQ(EditWindows::GetState(far).topLine, 31);
  EXPECT_EQ(SavedCursor(far), (Position{36, 2}));

  Type("KP4"); // any key: "advance" changes nothing
  EXPECT_EQ(ScreenRow(1).substr(0, 12), "(* Checksum:");
  EXPECT_EQ(ScreenRow(2), "line 1");
  EXPECT_EQ(ScreenRow(6), "line 5");
  EXPECT_EQ(TerminalCursor(), (Position{6, 3}));
  EXPECT_EQ(Row(far, 1), "line 30");
  EXPECT_FALSE(EditWindows::ChangesPending());

  // Deleted: lines 29..33 (its top line 31 among them) and two lines above the cursor.
  Lines::Delete(far, 29, 5);
  Lines::Delete(near, 2, 2);
  EditWindows::DrawChanged();
  EXPECT_EQ(EditWindows::GetState(far).topLine, 29);
  EXPECT_EQ(SavedCursor(far), (Position{31, 2}));
  EXPECT_EQ(Row(far, 1), "line 33");
  EXPECT_EQ(Row(far, 3), "line 35");
  EXPECT_EQ(Cursor(), (Position{4, 3}));
  EXPECT_EQ(ScreenRow(2), "line 3");

  // The cursor's own line deleted: it goes to the start of the line after it.
  Lines::Delete(near, 4, 1);
  EditWindows::DrawChanged();
  EXPECT_EQ(Cursor(), (Position{4, 1}));
  EXPECT_EQ(ScreenRow(4), "line 6");
}

// Only the rows of changed lines are drawn again: a row written over by hand stays.
TEST_F(TextChangesTest, OnlyTheChangedRowsAreDrawn) {
  const Buffer::Ref b = OwnWindowText("/User/Rows", 10, 12);
  ANSITerm::TextWindow* t = EditWindows::GetState(b).terminal;
  ANSITerm::GotoRowCol(t, 5, 1);
  ANSITerm::WriteString(t, "scribble");
  ASSERT_TRUE(Lines::Set(b, 11, "changed"));
  ASSERT_TRUE(Lines::Set(b, 12, "again"));
  ASSERT_TRUE(Lines::Set(b, 40, "out of view"));
  EditWindows::DrawChanged();
  EXPECT_EQ(Row(b, 2), "changed");
  EXPECT_EQ(Row(b, 3), "again");
  EXPECT_EQ(Row(b, 5).substr(0, 8), "scribble");

  // Lines added after the last keep the view where it is while the cursor is not at the end.
  ASSERT_TRUE(Lines::Append(b, "sixty-one"));
  EXPECT_EQ(EditWindows::GetState(b).topLine, 10);
  EXPECT_FALSE(EditWindows::ChangesPending());
}

// A window not being edited whose cursor is on the last line follows what is written at
// the end, as the List does while a program writes to it; the screen then is what a whole
// redraw shows.
TEST_F(TextChangesTest, AViewOnTheLastLineFollowsWhatIsWrittenThere) {
  const Buffer::Ref b = OwnWindowText("/User/Tail", 1, 1);
  EditWindows::FollowEnd(b);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(Lines::Append(b, "more " + std::to_string(i)));
  // The last line rewritten, as output goes on in it: the cursor goes to its end.
  ASSERT_TRUE(Lines::Set(b, 65, "more 4, and on"));
  EditWindows::DrawChanged();
  EXPECT_EQ(SavedCursor(b), (Position{65, 15}));
  const Texts shown = backend.Screen(EditWindows::GetState(b).window);
  EXPECT_NE(std::find(shown.begin(), shown.end(), "more 4, and on"), shown.end());
  EXPECT_EQ(std::find(shown.begin(), shown.end(), "line 1"), shown.end());
  EditWindows::RedrawBuffer(b, EditWindows::kRefresh);
  EXPECT_EQ(backend.Screen(EditWindows::GetState(b).window), shown);

  // The List written while the editor edits it: its cursor goes to the end.
  EditWindows::ShowBuffer(Shell::ListText(), EditWindows::kRefresh | EditWindows::kActivate);
  for (int i = 0; i < 40; ++i) Shell::WriteListNumber("listed ", i);
  Type("KP4");
  EXPECT_EQ(Cursor().line, Lines::Count(Shell::ListText()));
  EXPECT_EQ(ScreenRow(E().rows), "listed 39");
}

// A window whose text is deleted while rows of it wait to be drawn draws nothing more.
TEST_F(TextChangesTest, AWindowWhoseTextIsDeletedDrawsNothing) {
  const Buffer::Ref b = OwnWindowText("/User/Gone", 1, 1);
  ASSERT_TRUE(Lines::Set(b, 2, "changed"));
  ASSERT_TRUE(EditWindows::ChangesPending());
  ASSERT_TRUE(Shell::Delete(b));
  EXPECT_EQ(Buffer::Find("/User/Gone"), nullptr);
  EXPECT_FALSE(EditWindows::ChangesPending());
  EditWindows::DrawChanged();

  // The command text built anew under the editor (emptied, then its lines appended): the
  // cursor keeps its place, as it did when the command redrew the text itself.
  Type("GOLD KP4 UP"); // BOTTOM
  ASSERT_EQ(E().current, Shell::CommandText());
  const Position before = Cursor();
  ASSERT_TRUE(Shell::Delete(Shell::CommandText()));
  EditWindows::DrawChanged();
  EXPECT_EQ(Cursor(), before);
  EXPECT_EQ(ScreenRow(1), Lines()[0].substr(0, static_cast<std::size_t>(E().width)));
}

} // namespace
