// The edit-window layer: which window shows which text buffer, each buffer's editing
// state saved in its window-state area while it is not current, the list of edited
// buffers in the Windows menu, and the operations on text positions of the current
// buffer that the editor builds on.
//
// Positions are (line, column) from 1; a line end is one position after the line's last
// character. The text operations work on the editor's current buffer and cursor
// (Editor::State()) and do nothing without a current buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Chars.h"
#include "editwin/EditorState.h"
#include "editwin/Menus.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace ANSITerm {
struct TextWindow;
}

namespace EditWindows {

using base::Chars;
using base::VarChars;
using Editor::Position;

// The record kept at the start of a text buffer's 128-character window-state area.
// Pointers make it 96 bytes here rather than the 82 of a 32-bit layout; the field order
// is the same. A zeroed area (a buffer never shown) has topLine 0.
struct WindowState {
  std::uint32_t windowStamp; // identity of the own window; 0 when it has none
  Toolbox::Window window;    // the buffer's own window, or nullptr
  char windowKind[8];        // "EDIT" and zero bytes once a window was opened
  ANSITerm::TextWindow* terminal;
  Toolbox::Rect placement; // the own window's content rectangle
  std::int16_t fontNumber;
  std::int16_t fontSize;
  std::int32_t cursorLine, cursorColumn, desiredColumn;
  std::int32_t anchorLine, anchorColumn;
  std::int32_t topLine, leftOffset;
  std::int32_t rows, width, margin;
  bool selectActive;
};
static_assert(sizeof(WindowState) <= sizeof(Buffer::Record::windowState));

// The sorted select range.
struct Range {
  Position first;
  Position last;
};

// Where a word step ended and the column at which its last single step began.
struct WordStep {
  Position position;
  std::int32_t stepColumn;
};

// How ShowBuffer and RedrawBuffer treat the window; combine with |.
using ShowOptions = unsigned;
inline constexpr ShowOptions kRefresh = 1;  // redraw even when nothing moved
inline constexpr ShowOptions kToEnd = 2;    // cursor after the last line's text, at the bottom
inline constexpr ShowOptions kActivate = 4; // bring the window to the front

// Where an own window goes: the rectangle given, or the one saved with the buffer (else
// the default rectangle moved 16 pixels further for each own window open).
enum class Placement { Given, Automatic };

// What the drawing of a buffer's rows needs.
struct View {
  Buffer::Ref buffer;
  ANSITerm::TextWindow* terminal;
  std::int32_t topLine, leftOffset, rows, width;
  Position cursor;
  // The rows to draw; the others stay as they are. Every row by default.
  static constexpr std::int32_t kAllRows = INT32_MAX;
  std::int32_t firstRow = 1;
  std::int32_t lastRow = kAllRows;
};
// Draws the text rows of a view (those from firstRow to lastRow) into its terminal and puts
// the terminal's cursor at the text cursor. The editor installs its own drawing (select
// range, message line).
using DrawProc = void (*)(const View& view);

// The Windows menu: three fixed items, then at most 25 buffer leaf names, then a line,
// "Tile" and "Cascade": 31 items at most, as many as a menu holds.
inline constexpr std::int32_t kFixedMenuItems = 3;
inline constexpr std::int32_t kArrangeMenuItems = 3;
inline constexpr std::int32_t kMaxMenuItems = Menus::kMaxItem - kArrangeMenuItems;

// The module body.
void Init();

// ---- The layer's windows ----

// The shell's two texts, which never get a Windows-menu entry.
void SetShellTexts(Buffer::Ref command, Buffer::Ref list);
// The Command window and its terminal: every buffer without an own window shows there.
void SetCommandWindow(Toolbox::Window window, ANSITerm::TextWindow* terminal);
Toolbox::Window CommandWindow();
ANSITerm::TextWindow* CommandTerminal();
// The list text's own window (not counted among the own windows), or nullptr.
Toolbox::Window ListWindow();
ANSITerm::TextWindow* ListTerminal();
// The buffer the Command window shows, or nullptr.
Buffer::Ref CommandWindowBuffer();
// Own windows open, the List window not counted.
std::int32_t OwnWindowCount();
// The buffer whose own window is w, or nullptr.
Buffer::Ref BufferOfWindow(Toolbox::Window w);
bool HasOwnWindow(Buffer::Ref b);
// Whether a window shows b or the editor works on it: its own window, the Command
// window, the editor's current or edit buffer.
bool Shown(Buffer::Ref b);
// The rectangle and font of new own windows without a saved placement.
void SetDefaultPlacement(const Toolbox::Rect& r, std::int16_t fontNumber, std::int16_t fontSize);

// ---- Window state ----

WindowState GetState(Buffer::Ref b);
void PutState(Buffer::Ref b, const WindowState& ws);
// Writes the editor's cursor, anchor, view, geometry and select flag into the current
// buffer's window state.
void SaveWindowState();
// Makes b current: its saved state (cut to the text; a buffer never shown starts at
// (1, 1)), its own window when that is still open, else the Command window. Rows and
// width come from the terminal it is shown in. The direction becomes advance.
void EnterBuffer(Buffer::Ref b);
// Leaves the current buffer and enters b (nullptr: the command text) as above, records it
// as the edit buffer and in the Windows menu unless it is a shell text, and retitles its
// window; the command text's path line is brought up to date (RefreshPathLine). The
// window is redrawn with kRefresh, or when it showed another buffer, view or path line.
void ShowBuffer(Buffer::Ref b, ShowOptions options);
// Gives b its own window (with scroll bars and terminal) and shows it there; a window
// already open becomes current. The command text always uses the Command window. False
// when no window or terminal could be had (nothing changed then).
bool OpenBufferWindow(Buffer::Ref b, Placement place, const Toolbox::Rect& given = {});
// As OpenBufferWindow without entering b; the list text's window becomes the List window.
bool OpenOwnWindow(Buffer::Ref b, Placement place, const Toolbox::Rect& given = {});
// Closes b's own window, keeping its rectangle for the next one. When it was current, the
// edit buffer (else the command text) is shown in the Command window.
void CloseBufferWindow(Buffer::Ref b);
// Redraws the window that shows b without changing the current buffer; with kToEnd the
// view (saved or current) first moves to the end of the text.
void RedrawBuffer(Buffer::Ref b, ShowOptions options);
// Moves the view of b to the end of its text without drawing: for a saved view what a
// terminal shows after lines were written to it one by one; the text being edited gets its
// cursor there too, the rows it shows now marked for DrawChanged.
void FollowEnd(Buffer::Ref b);
// The window title of b: its file path and leaf name ("Command" and the list's name for
// the shell texts).
void WindowTitle(Buffer::Ref b, VarChars title);
// nullptr restores DrawPlain.
void SetDrawProc(DrawProc proc);
// The window showing b to the next larger (direction 0) or smaller (1) text size.
void Zoom(Buffer::Ref b, int direction);
// The menu manager's number of the Windows menu (0: none) and the procedure that edits
// the buffer one of its entries names; its first items are "Command", "List" and a line,
// its last a line, "Tile" and "Cascade" (Toolbox::TileWindows, Toolbox::CascadeWindows).
void SetWindowsMenu(std::int32_t menu, void (*choose)(Buffer::Ref b));
// A buffer was renamed and has a new record: the windows that showed the old one show
// the new one, under its new title.
void MovedBuffer(Buffer::Ref before, Buffer::Ref after);
// Rows from the view's top line, each from column leftOffset + 1, cut to the width with
// "|" in the last column of a longer line; the rest of the text area blank.
void DrawPlain(const View& view);

// ---- Texts that change ----
//
// The layer follows every text (Lines::Follow). When a text that a window shows changes,
// the cursor, select anchor and top line of each of its views move with the lines inserted
// or deleted above them, so that a window scrolled below the change keeps showing the same
// lines; a view not being edited whose cursor stands on the last line follows what is
// written at the end of the text, as a terminal does. The rows that show changed lines
// are marked, and DrawChanged draws them, once however many changes came.

// Draws the marked rows of every window and clears the marks. The editor calls it when a
// key is done and before it waits for the next.
void DrawChanged();
// Whether a window has rows marked for DrawChanged.
bool ChangesPending();

// While one lives, the editor changes the text it edits itself: it draws the change and
// places its cursor and view, so the layer leaves its view of that text alone. Changes to
// other texts are followed as ever.
class EditorChange {
public:
  EditorChange();
  ~EditorChange();
  EditorChange(const EditorChange&) = delete;
  EditorChange& operator=(const EditorChange&) = delete;
};

// ---- The Windows menu ----

// Adds a leaf name in its alphabetical place (case ignored), or renews its use; a full
// menu first loses the name used least recently.
void AddToWindowsMenu(Chars name);
void RemoveFromWindowsMenu(Chars name);
// Items including the three fixed ones, without the line, Tile and Cascade after the names.
std::int32_t WindowsMenuCount();
// The text of an item from 1; "" outside.
void WindowsMenuItem(std::int32_t item, VarChars text);

// ---- Text positions of the current buffer ----

Range SelectRange();
// The text between two positions of the current buffer, one string a line: the part
// of line from.line from its column, whole lines, the part of to.line before its column.
std::vector<std::string> RangeLines(Position from, Position to);
// Appends the range from..to of the current buffer to target, one line per text line;
// a range ending in column 1 adds an empty last line. An empty target takes the
// current buffer's coding; another gets the characters in its own. False when a line
// could not be appended (the lines before it stay).
[[nodiscard]] bool CopyRange(Buffer::Ref target, Position from, Position to);
// Inserts source's text at the cursor, its characters in the current buffer's coding;
// the cursor goes after it. Characters the buffer cannot hold become the substitute,
// counted into substitutes. False (and nothing changed) when memory runs out.
[[nodiscard]] bool InsertBuffer(Buffer::Ref source, std::size_t* substitutes = nullptr);
// One search step in the editor's direction; the cursor moves to the match. Matches
// never span lines; an empty pattern matches nothing.
bool SearchStep(Chars pattern);
bool MatchAtCursor(Chars pattern);
Position CharsForward(std::int32_t n);
Position CharsBackward(std::int32_t n);
WordStep WordsForward(std::int32_t n);
WordStep WordsBackward(std::int32_t n);
// Inserts n copies of text before the cursor column, as many as keep the line within 256
// characters (on the line after the last one a new line is appended). Returns the cursor
// column plus the inserted length; the cursor itself does not move.
std::int32_t InsertRepeated(std::int32_t n, Chars text);
// Inserts n line ends at the cursor; the cursor goes to column 1 of the line holding the
// text that followed it. False (and nothing changed) when memory runs out.
[[nodiscard]] bool BreakLines(std::int32_t n);
// While the Command window shows the command text: a line 2 holding "(* Path:" after its
// first character is rewritten with the current host directory (the text's modified flag
// stays as it was).
void RefreshPathLine();

// The command text's line 2 for the directory dir: "" when dir is empty.
void PathLine(Chars dir, VarChars line);

} // namespace EditWindows
