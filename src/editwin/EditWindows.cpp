#include "editwin/EditWindows.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/Charset.h"
#include "base/Strings.h"
#include "editwin/Margins.h"
#include "editwin/Menus.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"

namespace EditWindows {

using Buffer::Ref;
using Toolbox::Rect;
using Toolbox::Window;

namespace {

// The record is copied in and out of the buffer's window-state area as bytes.
static_assert(std::is_trivially_copyable_v<WindowState>);

constexpr char kWindowKind[8] = "EDIT";
// InsertRepeated keeps a line within this many characters.
constexpr std::int32_t kRepeatLineLimit = 256;
// The screen of a buffer entered while no window exists (the text operations need none).
constexpr std::int32_t kNoWindowRows = 24;
constexpr std::int32_t kNoWindowColumns = 80;
// Windows of this kind and above have no message band; their terminals give the last row
// to the message line.
constexpr int kFirstBandlessKind = 15;
constexpr const char* kFixedItems[kFixedMenuItems] = {"Command", "List", "-"};
constexpr std::size_t kTitleHigh = 299; // file path and leaf name
// Entries of the Windows menu keep a full name and room for its terminator.
constexpr std::size_t kEntryHigh = base::kNameHigh + 1;
using base::kPathHigh; // host paths

struct OwnWindow {
  std::uint32_t stamp;
  Ref buffer;
  Window window;
  ANSITerm::TextWindow* terminal;
};

// Rows of a terminal that DrawChanged draws: those showing the lines first..last of the
// buffer, numbered as the text numbers them now (kBelow: to the bottom of the view).
struct Marked {
  ANSITerm::TextWindow* terminal;
  Ref buffer;
  std::int32_t first, last;
};
constexpr std::int32_t kBelow = INT32_MAX;

struct MenuName {
  char name[kEntryHigh + 1];
  std::uint64_t used; // the order of use: higher is more recent
};

struct State {
  bool initialised = false;
  Ref command = nullptr;
  Ref list = nullptr;
  Window commandWindow = nullptr;
  ANSITerm::TextWindow* commandTerminal = nullptr;
  Ref commandShows = nullptr;
  Window listWindow = nullptr;
  ANSITerm::TextWindow* listTerminal = nullptr;
  std::vector<OwnWindow> open;
  std::uint32_t nextStamp = 1;
  std::int32_t ownCount = 0;
  std::vector<MenuName> names; // alphabetical, case ignored
  std::uint64_t useClock = 0;
  Rect defaultRect{20, 46, 536, 472};
  std::int16_t defaultFont = 22; // "Courier New"
  std::int16_t defaultSize = 10;
  DrawProc draw = nullptr;
  std::int32_t windowsMenu = 0;    // the menu manager's number of the Windows menu
  void (*choose)(Ref b) = nullptr; // edits the buffer a Windows menu entry names
  std::vector<Marked> marked;      // rows waiting for DrawChanged, one entry a terminal
  std::int32_t editorChanges = 0;  // EditorChange scopes open
};

State state;

Editor::EditorState& Ed() { return Editor::State(); }

bool IsShellText(Ref b) { return b != nullptr && (b == state.command || b == state.list); }

bool WindowExists(Window w) {
  const std::vector<Window> windows = Toolbox::Windows();
  return w != nullptr && std::find(windows.begin(), windows.end(), w) != windows.end();
}

// b's own window while it is still open: the stamp and window it saved must name a
// window of the registry that the toolbox still has. A renamed record takes the entry.
OwnWindow* FindOpen(Ref b) {
  if (b == nullptr) return nullptr;
  const WindowState ws = GetState(b);
  if (ws.windowStamp == 0) return nullptr;
  for (OwnWindow& o : state.open) {
    if (o.stamp == ws.windowStamp && o.window == ws.window && WindowExists(o.window)) {
      o.buffer = b;
      return &o;
    }
  }
  return nullptr;
}

// Text rows: a terminal with a message band uses all its rows, any other gives its last
// row to the message line.
std::int32_t TextRows(const ANSITerm::TextWindow* t) {
  const bool band =
      t->hasScrollBars && t->window != nullptr && t->window->kind < kFirstBandlessKind;
  return std::max(1, band ? t->rows : t->rows - 1);
}

std::int32_t LineLength(Ref b, std::int32_t line) { return Lines::Length(b, line); }

std::int32_t LastLine(Ref b) { return std::max(1, Lines::Count(b)); }

// Moves the view the least so that the cursor is inside it.
void KeepVisible(Position cursor, std::int32_t& top, std::int32_t& left, std::int32_t rows,
                 std::int32_t width) {
  rows = std::max(1, rows);
  width = std::max(1, width);
  if (cursor.line < top) top = cursor.line;
  if (cursor.line >= top + rows) top = cursor.line - rows + 1;
  top = std::max(1, top);
  if (cursor.column > left + width) left = cursor.column - width;
  if (cursor.column <= left) left = cursor.column - 1;
  left = std::max(0, left);
}

// The cursor after the last line's text, that line in the bottom row.
void PlaceAtEnd(Ref b, Position& cursor, std::int32_t& desired, std::int32_t& top,
                std::int32_t& left, std::int32_t rows, std::int32_t width) {
  const std::int32_t last = LastLine(b);
  cursor = Position{last, LineLength(b, last) + 1};
  desired = cursor.column;
  top = std::max(1, last - std::max(1, rows) + 1);
  left = cursor.column > width ? cursor.column - width : 0;
}

void Unmark(ANSITerm::TextWindow* t);

void Draw(const View& v) {
  if (v.terminal == nullptr || v.buffer == nullptr) return;
  // A view drawn whole leaves nothing for DrawChanged to draw.
  if (v.firstRow <= 1 && v.lastRow >= v.rows) Unmark(v.terminal);
  (state.draw != nullptr ? state.draw : DrawPlain)(v);
  Margins::Draw(v.terminal, v.buffer, v.topLine, v.rows);
}

void DrawCurrent() {
  const Editor::EditorState& e = Ed();
  Draw(View{e.current, e.terminal, e.topLine, e.leftOffset, e.rows, e.width, e.cursor});
}

// The terminal that shows b at the moment, or nullptr.
ANSITerm::TextWindow* TerminalShowing(Ref b) {
  if (b == Ed().current) return Ed().terminal;
  if (const OwnWindow* own = FindOpen(b)) return own->terminal;
  return b == state.commandShows ? state.commandTerminal : nullptr;
}

// The saved view of b in terminal t (a buffer never shown starts at its top).
View SavedView(Ref b, ANSITerm::TextWindow* t, const WindowState& ws) {
  View v{b, t, 1, 0, kNoWindowRows, kNoWindowColumns, Position{}};
  if (t != nullptr) {
    v.rows = TextRows(t);
    v.width = t->columns;
  }
  if (ws.topLine > 0) {
    v.topLine = ws.topLine;
    v.leftOffset = std::max(0, ws.leftOffset);
    v.cursor = Position{ws.cursorLine, ws.cursorColumn};
  }
  return v;
}

void Retitle(Window w, Ref b) {
  if (w == nullptr || b == nullptr) return;
  char title[kTitleHigh + 1];
  char old[kTitleHigh + 1];
  WindowTitle(b, title);
  Toolbox::GetWTitle(w, old);
  if (!Strings::Equal(title, old)) Toolbox::SetWTitle(w, title);
}

// The terminals' update and resize procedure: the buffer shown is drawn again, the current
// one with rows and width taken from the terminal's new layout.
void RedrawTerminal(ANSITerm::TextWindow* t) {
  Editor::EditorState& e = Ed();
  if (t == e.terminal && e.current != nullptr) {
    e.rows = TextRows(t);
    e.width = t->columns;
    KeepVisible(e.cursor, e.topLine, e.leftOffset, e.rows, e.width);
    DrawCurrent();
    return;
  }
  for (const OwnWindow& o : state.open) {
    if (o.terminal == t) RedrawBuffer(o.buffer, 0);
  }
  if (t == state.commandTerminal && state.commandShows != nullptr) {
    RedrawBuffer(state.commandShows, 0);
  }
}

// ---- The Windows menu's toolbox mirror ----

int CompareNames(const char* a, const char* b) {
  return Strings::CompareN(base::CharsOf(a), base::CharsOf(b), kEntryHigh + 1, kEntryHigh + 1,
                           true);
}

// Choosing an entry of the Windows menu edits the buffer it names.
void ChooseWindow() {
  char name[kEntryHigh + 1];
  WindowsMenuItem(Menus::LastItem(), name);
  Ref b = nullptr;
  if (Strings::Equal(name, "Command"))
    b = state.command;
  else if (Strings::Equal(name, "List"))
    b = state.list;
  else
    b = Buffer::Find(name);
  if (b != nullptr && state.choose != nullptr) state.choose(b);
}

// The menu keeps its first three items; the names follow, each editing its buffer, and
// after them the commands that lay the windows out: their numbers follow the names, so
// that no item before them changes its number.
void SyncMenu() {
  std::int32_t& m = state.windowsMenu;
  if (m == 0) return;
  while (Menus::CountItems(m) > kFixedMenuItems) Menus::RemoveItem(m, Menus::CountItems(m));
  for (const MenuName& n : state.names) Menus::AppendItem(m, n.name);
  for (std::int32_t item = 1; item <= Menus::CountItems(m); ++item)
    if (item != kFixedMenuItems) Menus::SetProcedure(m, item, ChooseWindow);
  Menus::AppendItem(m, "-");
  Menus::AppendItem(m, "Tile");
  Menus::SetProcedure(m, Menus::CountItems(m), Toolbox::TileWindows);
  Menus::AppendItem(m, "Cascade");
  Menus::SetProcedure(m, Menus::CountItems(m), Toolbox::CascadeWindows);
  Menus::UpdateMenus(true);
}

// ---- Lines of the current buffer ----

std::string LineText(Ref b, std::int32_t line) { return std::string(Lines::View(b, line)); }

// The cursor held inside the text: a line that exists (1 in an empty text) and a column
// no further than its line end.
Position Normalised(Ref b, Position p) {
  p.line = std::clamp(p.line, 1, LastLine(b));
  p.column = std::clamp(p.column, 1, LineLength(b, p.line) + 1);
  return p;
}

// Makes line `line` exist when it is the line after the last (an empty text has none);
// `added` tells the caller to take it away again when its own change fails.
bool EnsureLine(Ref b, std::int32_t& line, bool& added) {
  added = false;
  const std::int32_t count = Lines::Count(b);
  line = std::clamp(line, 1, count + 1);
  if (line <= count) return true;
  if (!Lines::Insert(b, line, 1)) return false;
  added = true;
  return true;
}

// Inserts k empty lines before `at`; a text at its line limit loses lines from the top
// first, which moves `line` (a line number the caller holds) up by as many.
bool InsertEmpty(Ref b, std::int32_t at, std::int32_t k, std::int32_t& line) {
  const std::int32_t before = Lines::Count(b);
  if (!Lines::Insert(b, at, k)) return false;
  line -= before + k - Lines::Count(b);
  return true;
}

void MoveCursor(Position p) {
  Ed().cursor = p;
  Ed().desiredColumn = p.column;
}

// Line 2 of the command text, when it holds the path comment, names the host directory
// of the moment; true when it changed. The comment follows the directory and is no edit
// of the user's, so the text keeps its modified flag.
bool UpdatePathLine(Ref c) {
  const std::string_view second = Lines::View(c, 2);
  if (second.size() < 2 || second.find("(* Path:", 1) == std::string_view::npos) return false;
  char dir[kPathHigh + 1];
  FileSystem::CurrentDirectory(dir);
  char line[Editor::kTextHigh + 1];
  PathLine(dir, line);
  if (line[0] == 0 || second == std::string_view(line)) return false;
  const bool modified = Lines::Modified(c);
  if (!Lines::Set(c, 2, line)) return false;
  Lines::SetModified(c, modified);
  return true;
}

// ---- Texts that change ----

// One change of a text as Lines tells it, with the number of lines before it.
struct TextChange {
  Ref buffer;
  Lines::Change change;
  std::int32_t first, count, before;
};

// Where the text of line n is after the change. A deleted line's place goes to the line
// that followed the deleted ones; the line after the last of a text before the change
// (the cursor's in an empty text) stays where it is.
std::int32_t MovedLine(std::int32_t n, const TextChange& c) {
  switch (c.change) {
  case Lines::Change::Inserted:
    return n >= c.first && n <= c.before ? n + c.count : n;
  case Lines::Change::Deleted:
    if (n >= c.first + c.count) return n - c.count;
    return std::min(n, c.first);
  case Lines::Change::Replaced:
    break;
  }
  return n;
}

bool WasDeleted(std::int32_t n, const TextChange& c) {
  return c.change == Lines::Change::Deleted && n >= c.first && n < c.first + c.count;
}

// A position moves with its line; one on a deleted line goes to the start of the line that
// takes its place, inside the text.
void MovePosition(Position& p, const TextChange& c) {
  if (c.change != Lines::Change::Deleted) {
    p.line = MovedLine(p.line, c);
    return;
  }
  if (WasDeleted(p.line, c)) p.column = 1;
  p.line = std::clamp(MovedLine(p.line, c), 1, LastLine(c.buffer));
}

// The lines whose rows show something else after a change, numbered as now: first 0 when
// none do.
struct LineRange {
  std::int32_t first = 0;
  std::int32_t last = 0;
};

// Moves a view of the changed text: cursor, anchor and top line. The top line moves only
// with changes above it, so that the view keeps its lines; with followEnd, a cursor on
// the last line follows what is written at the end (lines added after it, the last line
// rewritten) to the end of the text, and the view with it, as a terminal does. Returns the
// lines whose rows changed.
LineRange MoveView(const TextChange& c, Position& cursor, Position& anchor, std::int32_t& desired,
                   std::int32_t& top, std::int32_t& left, std::int32_t rows, std::int32_t width,
                   bool followEnd) {
  const std::int32_t oldTop = top;
  // Output goes on at the end: lines added after the last, or the last one rewritten.
  const bool atEnd = c.change == Lines::Change::Inserted
                         ? c.first == c.before + 1
                         : c.change == Lines::Change::Replaced && c.first + c.count > c.before;
  if (followEnd && atEnd && c.before > 0 && cursor.line >= c.before) {
    PlaceAtEnd(c.buffer, cursor, desired, top, left, rows, width);
    if (top != oldTop) return LineRange{top, kBelow};
    return LineRange{c.first, c.change == Lines::Change::Inserted ? kBelow : c.first + c.count - 1};
  }
  // A text emptied (to be built anew, as the command text is) keeps its view's places;
  // the editor holds them inside whatever text comes.
  if (c.change == Lines::Change::Deleted && c.first == 1 && c.count >= c.before)
    return LineRange{1, kBelow};
  MovePosition(cursor, c);
  MovePosition(anchor, c);
  switch (c.change) {
  case Lines::Change::Replaced:
    return LineRange{c.first, c.first + c.count - 1};
  case Lines::Change::Inserted:
    if (c.first < oldTop) {
      top += c.count;
      return LineRange{};
    }
    return LineRange{c.first, kBelow};
  case Lines::Change::Deleted:
    top = std::clamp(MovedLine(oldTop, c), 1, LastLine(c.buffer));
    if (c.first + c.count <= oldTop) return LineRange{};
    return LineRange{std::max(c.first, top), kBelow};
  }
  return LineRange{};
}

Marked* MarkOf(ANSITerm::TextWindow* t) {
  for (Marked& m : state.marked)
    if (m.terminal == t) return &m;
  return nullptr;
}

void Unmark(ANSITerm::TextWindow* t) {
  std::erase_if(state.marked, [t](const Marked& m) { return m.terminal == t; });
}

// Marks the rows of terminal t that show lines of b in the view from top over rows.
void Mark(ANSITerm::TextWindow* t, Ref b, LineRange lines, std::int32_t top, std::int32_t rows) {
  if (t == nullptr || lines.first == 0) return;
  if (lines.last < top || std::int64_t{lines.first} >= std::int64_t{top} + std::max(1, rows))
    return;
  Marked* m = MarkOf(t);
  if (m == nullptr) {
    state.marked.push_back(Marked{t, b, lines.first, lines.last});
  } else if (m->buffer != b) {
    *m = Marked{t, b, lines.first, lines.last};
  } else {
    m->first = std::min(m->first, lines.first);
    m->last = std::max(m->last, lines.last);
  }
}

// Marks made before the change follow their lines.
void MoveMarks(const TextChange& c) {
  for (Marked& m : state.marked) {
    if (m.buffer != c.buffer) continue;
    m.first = MovedLine(m.first, c);
    if (m.last != kBelow) m.last = std::max(m.first, MovedLine(m.last, c));
  }
}

// The layer's follower of every text.
void FollowChange(Ref b, Lines::Change change, std::int32_t first, std::int32_t count) {
  if (b == nullptr || count <= 0) return;
  Editor::EditorState& e = Ed();
  const bool current = b == e.current;
  const bool elsewhere =
      b == state.commandShows || std::any_of(state.open.begin(), state.open.end(),
                                             [b](const OwnWindow& o) { return o.buffer == b; });
  if (!current && !elsewhere) return;
  std::int32_t before = Lines::Count(b);
  if (change == Lines::Change::Inserted) before -= count;
  if (change == Lines::Change::Deleted) before += count;
  const TextChange c{b, change, first, count, before};
  MoveMarks(c);
  LineRange lines;
  if (current && state.editorChanges == 0) {
    lines = MoveView(c, e.cursor, e.anchor, e.desiredColumn, e.topLine, e.leftOffset, e.rows,
                     e.width, false);
    Mark(e.terminal, b, lines, e.topLine, e.rows);
  }
  if (!elsewhere) return;
  // The text's own window and the Command window, where they show it without the editor.
  const OwnWindow* own = FindOpen(b);
  ANSITerm::TextWindow* ownTerminal = own != nullptr ? own->terminal : nullptr;
  ANSITerm::TextWindow* commandTerminal = b == state.commandShows ? state.commandTerminal : nullptr;
  if (current) {
    if (ownTerminal == e.terminal) ownTerminal = nullptr;
    if (commandTerminal == e.terminal) commandTerminal = nullptr;
  }
  if (ownTerminal == nullptr && commandTerminal == nullptr) return;
  WindowState ws = GetState(b);
  View v = SavedView(b, ownTerminal != nullptr ? ownTerminal : commandTerminal, ws);
  // The saved state of the text being edited is written anew when the editor leaves it.
  if (!current && ws.topLine > 0) {
    Position anchor{ws.anchorLine, ws.anchorColumn};
    lines = MoveView(c, v.cursor, anchor, ws.desiredColumn, v.topLine, v.leftOffset, v.rows,
                     v.width, true);
    ws.cursorLine = v.cursor.line;
    ws.cursorColumn = v.cursor.column;
    ws.anchorLine = anchor.line;
    ws.anchorColumn = anchor.column;
    ws.topLine = v.topLine;
    ws.leftOffset = v.leftOffset;
    PutState(b, ws);
  } else if (!current) {
    lines = LineRange{first, change == Lines::Change::Replaced ? first + count - 1 : kBelow};
  }
  for (ANSITerm::TextWindow* t : {ownTerminal, commandTerminal})
    if (t != nullptr) Mark(t, b, lines, v.topLine, TextRows(t));
}

// The buffer terminal t shows, or nullptr when no window of the layer has it any more.
Ref ShownBy(ANSITerm::TextWindow* t) {
  const Editor::EditorState& e = Ed();
  if (t == e.terminal && e.current != nullptr) return e.current;
  for (const OwnWindow& o : state.open)
    if (o.terminal == t && WindowExists(o.window)) return o.buffer;
  return t == state.commandTerminal ? state.commandShows : nullptr;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  FileSystem::Init();
  Toolbox::Init();
  ANSITerm::Init();
  static_cast<void>(Lines::Follow(FollowChange));
}

// ---- The layer's windows ----

void SetShellTexts(Ref command, Ref list) {
  Init();
  state.command = command;
  state.list = list;
}

void SetCommandWindow(Window window, ANSITerm::TextWindow* terminal) {
  Init();
  state.commandWindow = window;
  state.commandTerminal = terminal;
  ANSITerm::SetWindowProcs(terminal, RedrawTerminal, RedrawTerminal, nullptr);
}

Window CommandWindow() { return state.commandWindow; }
ANSITerm::TextWindow* CommandTerminal() { return state.commandTerminal; }
Window ListWindow() { return WindowExists(state.listWindow) ? state.listWindow : nullptr; }
ANSITerm::TextWindow* ListTerminal() {
  return ListWindow() != nullptr ? state.listTerminal : nullptr;
}
Ref CommandWindowBuffer() { return state.commandShows; }
std::int32_t OwnWindowCount() { return state.ownCount; }

Ref BufferOfWindow(Window w) {
  for (const OwnWindow& o : state.open) {
    if (o.window == w && WindowExists(w)) return o.buffer;
  }
  return nullptr;
}

bool HasOwnWindow(Ref b) { return FindOpen(b) != nullptr; }

bool Shown(Ref b) {
  if (b == nullptr) return false;
  const Editor::EditorState& e = Editor::State();
  return b == e.current || b == e.editBuffer || b == CommandWindowBuffer() || HasOwnWindow(b);
}

void SetDefaultPlacement(const Rect& r, std::int16_t fontNumber, std::int16_t fontSize) {
  state.defaultRect = r;
  state.defaultFont = fontNumber;
  state.defaultSize = fontSize;
}

// ---- Window state ----

WindowState GetState(Ref b) {
  WindowState ws{};
  if (b == nullptr) return ws;
  char area[sizeof(Buffer::Record::windowState)];
  Buffer::GetWindowState(b, VarChars(area, sizeof area - 1));
  std::memcpy(&ws, area, sizeof ws);
  return ws;
}

void PutState(Ref b, const WindowState& ws) {
  if (b == nullptr) return;
  char area[sizeof(Buffer::Record::windowState)];
  Buffer::GetWindowState(b, VarChars(area, sizeof area - 1));
  std::memcpy(area, &ws, sizeof ws);
  Buffer::SetWindowState(b, Chars(area, sizeof area - 1));
}

void SaveWindowState() {
  const Editor::EditorState& e = Ed();
  if (e.current == nullptr) return;
  WindowState ws = GetState(e.current);
  ws.cursorLine = e.cursor.line;
  ws.cursorColumn = e.cursor.column;
  ws.desiredColumn = e.desiredColumn;
  ws.anchorLine = e.anchor.line;
  ws.anchorColumn = e.anchor.column;
  ws.topLine = std::max(1, e.topLine);
  ws.leftOffset = e.leftOffset;
  ws.rows = e.rows;
  ws.width = e.width;
  ws.margin = e.scrollMargin;
  ws.selectActive = e.selectActive;
  PutState(e.current, ws);
}

void EnterBuffer(Ref b) {
  Init();
  if (b == nullptr) return;
  Editor::EditorState& e = Ed();
  const WindowState ws = GetState(b);
  if (const OwnWindow* own = FindOpen(b)) {
    e.window = own->window;
    e.terminal = own->terminal;
  } else {
    e.window = state.commandWindow;
    e.terminal = state.commandTerminal;
    state.commandShows = b;
  }
  e.current = b;
  ANSITerm::SetUtf8Text(e.terminal, Charset::HoldsUtf8(Lines::CodingOf(b)));
  // The terminal it is shown in decides the screen, so that a window resized or changed
  // since the state was saved is laid out afresh.
  if (e.terminal != nullptr) {
    e.rows = TextRows(e.terminal);
    e.width = e.terminal->columns;
  } else {
    e.rows = ws.rows > 0 ? ws.rows : kNoWindowRows;
    e.width = ws.width > 0 ? ws.width : kNoWindowColumns;
  }
  if (ws.topLine <= 0) {
    e.cursor = Position{};
    e.desiredColumn = 1;
    e.topLine = 1;
    e.leftOffset = 0;
    e.selectActive = false;
    e.anchor = Position{};
    e.scrollMargin = e.settingsMargin;
  } else {
    const std::int32_t last = LastLine(b);
    e.cursor = Position{std::clamp(ws.cursorLine, 1, last), std::max(1, ws.cursorColumn)};
    e.desiredColumn = std::max(1, ws.desiredColumn);
    e.anchor = Position{std::clamp(ws.anchorLine, 1, last), std::max(1, ws.anchorColumn)};
    e.topLine = std::min(ws.topLine, last);
    e.leftOffset = std::max(0, ws.leftOffset);
    e.scrollMargin = ws.margin < 1 ? e.settingsMargin : ws.margin;
    e.selectActive = ws.selectActive;
  }
  e.direction = Editor::Direction::Advance;
}

void ShowBuffer(Ref b, ShowOptions options) {
  Init();
  if (b == nullptr) b = state.command;
  if (b == nullptr) return;
  Editor::EditorState& e = Ed();
  const bool same = e.current == b;
  const std::int32_t top = e.topLine;
  const std::int32_t left = e.leftOffset;
  SaveWindowState();
  EnterBuffer(b);
  const bool pathChanged = b == state.command && UpdatePathLine(b);
  if (!IsShellText(b)) {
    e.editBuffer = b;
    char leaf[kEntryHigh + 1];
    Buffer::LeafName(b, leaf);
    AddToWindowsMenu(leaf);
  }
  if ((options & kToEnd) != 0) {
    PlaceAtEnd(b, e.cursor, e.desiredColumn, e.topLine, e.leftOffset, e.rows, e.width);
  }
  KeepVisible(e.cursor, e.topLine, e.leftOffset, e.rows, e.width);
  Retitle(e.window, b);
  if ((options & kRefresh) != 0 || !same || pathChanged || e.topLine != top ||
      e.leftOffset != left) {
    DrawCurrent();
  }
  if ((options & kActivate) != 0 && e.window != nullptr) Toolbox::SelectWindow(e.window);
}

bool OpenOwnWindow(Ref b, Placement place, const Rect& given) {
  Init();
  if (b == nullptr || b == state.command) return false;
  if (FindOpen(b) != nullptr) return true;
  WindowState ws = GetState(b);
  Rect r = given;
  if (place == Placement::Automatic) {
    const bool saved =
        std::memcmp(ws.windowKind, kWindowKind, sizeof kWindowKind) == 0 && !ws.placement.Empty();
    // A new window steps down from the Command window's place to the first free step of
    // the cascade; every window lies inside the frame, its caption and close box in view.
    r = saved ? Toolbox::FitInFrame(Toolbox::kDocumentWindow, ws.placement)
              : Toolbox::CascadePlace(Toolbox::kDocumentWindow, state.defaultRect, 1);
  } else if (r.Empty()) {
    r = state.defaultRect;
  }
  const std::int16_t font = ws.fontNumber > 0 ? ws.fontNumber : state.defaultFont;
  const std::int16_t size = ws.fontSize > 0 ? ws.fontSize : state.defaultSize;

  char title[kTitleHigh + 1];
  WindowTitle(b, title);
  Window w = Toolbox::NewWindow(r, title, true, Toolbox::kDocumentWindow, true, nullptr);
  if (w == nullptr) return false;
  Toolbox::SetPort(w);
  Toolbox::TextFont(font);
  Toolbox::TextSize(size);
  ANSITerm::TextWindow* t = ANSITerm::NewTerminal(true, w);
  if (t == nullptr) {
    Toolbox::DisposeWindow(w);
    return false;
  }
  ANSITerm::SetWindowProcs(t, RedrawTerminal, RedrawTerminal, nullptr);

  ws.windowStamp = state.nextStamp++;
  ws.window = w;
  std::memcpy(ws.windowKind, kWindowKind, sizeof kWindowKind);
  ws.terminal = t;
  ws.placement = r;
  ws.fontNumber = font;
  ws.fontSize = size;
  PutState(b, ws);
  state.open.push_back(OwnWindow{ws.windowStamp, b, w, t});
  if (b == state.list) {
    state.listWindow = w;
    state.listTerminal = t;
  } else {
    ++state.ownCount;
  }
  return true;
}

bool OpenBufferWindow(Ref b, Placement place, const Rect& given) {
  Init();
  if (b == nullptr || b == state.command) {
    ShowBuffer(state.command, kRefresh | kActivate);
    return state.commandWindow != nullptr;
  }
  if (FindOpen(b) != nullptr) {
    ShowBuffer(b, kActivate);
    return true;
  }
  if (!OpenOwnWindow(b, place, given)) return false;
  // The Command window must not go on showing a buffer that has a window of its own.
  if (state.commandShows == b) ShowBuffer(state.command, kRefresh);
  ShowBuffer(b, kRefresh | kActivate);
  return true;
}

void CloseBufferWindow(Ref b) {
  Init();
  OwnWindow* own = FindOpen(b);
  if (own == nullptr) return;
  Editor::EditorState& e = Ed();
  const Window w = own->window;
  ANSITerm::TextWindow* t = own->terminal;
  const bool wasCurrent = e.window == w || e.terminal == t;
  if (wasCurrent) SaveWindowState();

  // The rectangle stays for the next window of this buffer.
  WindowState ws = GetState(b);
  ws.placement = Toolbox::GetWindowRect(w);
  ws.windowStamp = 0;
  ws.window = nullptr;
  ws.terminal = nullptr;
  PutState(b, ws);
  state.open.erase(state.open.begin() + (own - state.open.data()));
  if (w == state.listWindow) {
    state.listWindow = nullptr;
    state.listTerminal = nullptr;
  } else {
    --state.ownCount;
  }
  if (wasCurrent) {
    e.current = nullptr;
    e.window = nullptr;
    e.terminal = nullptr;
  }
  Unmark(t);
  ANSITerm::DisposeTerminal(t);
  Window disposed = w;
  Toolbox::DisposeWindow(disposed);
  if (wasCurrent) {
    ShowBuffer(e.editBuffer != nullptr ? e.editBuffer : state.command, kRefresh | kActivate);
  }
}

void RedrawBuffer(Ref b, ShowOptions options) {
  Init();
  if (b == nullptr) return;
  Editor::EditorState& e = Ed();
  if (b == e.current) {
    if ((options & kToEnd) != 0) {
      PlaceAtEnd(b, e.cursor, e.desiredColumn, e.topLine, e.leftOffset, e.rows, e.width);
    }
    DrawCurrent();
    return;
  }
  ANSITerm::TextWindow* t = TerminalShowing(b);
  if (t == nullptr) return;
  if ((options & kToEnd) != 0) FollowEnd(b);
  Draw(SavedView(b, t, GetState(b)));
}

void FollowEnd(Ref b) {
  if (b == nullptr) return;
  Editor::EditorState& e = Ed();
  if (b == e.current) {
    const std::int32_t top = e.topLine;
    const std::int32_t left = e.leftOffset;
    PlaceAtEnd(b, e.cursor, e.desiredColumn, e.topLine, e.leftOffset, e.rows, e.width);
    if (e.topLine != top || e.leftOffset != left)
      Mark(e.terminal, b, LineRange{e.topLine, kBelow}, e.topLine, e.rows);
    return;
  }
  WindowState ws = GetState(b);
  View v = SavedView(b, TerminalShowing(b), ws);
  if (TerminalShowing(b) == nullptr && ws.rows > 0) v.rows = ws.rows;
  Position cursor;
  PlaceAtEnd(b, cursor, ws.desiredColumn, ws.topLine, ws.leftOffset, v.rows, v.width);
  ws.cursorLine = cursor.line;
  ws.cursorColumn = cursor.column;
  ws.selectActive = false;
  PutState(b, ws);
}

void WindowTitle(Ref b, VarChars title) {
  Strings::Clear(title);
  if (b == nullptr) return;
  if (b == state.command) {
    Strings::Assign(title, "Command");
    return;
  }
  char leaf[kEntryHigh + 1];
  Buffer::LeafName(b, leaf);
  if (b != state.list) Buffer::GetFilePath(b, title);
  Strings::Append(title, leaf);
}

void MovedBuffer(Ref before, Ref after) {
  Init();
  if (state.commandShows == before) state.commandShows = after;
  char title[kPathHigh + 1];
  WindowTitle(after, title);
  if (OwnWindow* own = FindOpen(after)) Toolbox::SetWTitle(own->window, title);
  if (state.commandShows == after && state.commandWindow != nullptr)
    Toolbox::SetWTitle(state.commandWindow, title);
}

void Zoom(Ref b, int direction) {
  Init();
  ANSITerm::TextWindow* t = TerminalShowing(b);
  if (t == nullptr || t->window == nullptr) return;
  // The sizes a window steps through, as a user expects of a zoom.
  constexpr std::int32_t kSizes[] = {7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32};
  const std::int32_t now = t->window->port.fontSize;
  std::int32_t next = now;
  if (direction == 0) {
    for (const std::int32_t s : kSizes)
      if (s > now) {
        next = s;
        break;
      }
  } else {
    for (const std::int32_t s : kSizes)
      if (s < now) next = s;
  }
  if (next == now) return;
  t->window->port.fontSize = next;
  ANSITerm::Relayout(t);
  if (Ed().current == b) {
    // Entered again, so that rows and width follow the new size.
    SaveWindowState();
    EnterBuffer(b);
  }
  RedrawBuffer(b, kRefresh);
}

void SetDrawProc(DrawProc proc) { state.draw = proc; }

void SetWindowsMenu(std::int32_t menu, void (*choose)(Ref b)) {
  Init();
  state.windowsMenu = menu;
  state.choose = choose;
  if (menu == 0) return;
  while (Menus::CountItems(menu) < kFixedMenuItems)
    Menus::AppendItem(state.windowsMenu, base::CharsOf(kFixedItems[Menus::CountItems(menu)]));
  SyncMenu();
}

void DrawPlain(const View& v) {
  ANSITerm::TextWindow* t = v.terminal;
  if (t == nullptr) return;
  ANSITerm::SetUtf8Text(t, Charset::HoldsUtf8(Lines::CodingOf(v.buffer)));
  // A whole view starts from a clear terminal; some rows are cleared one by one.
  const bool whole = v.firstRow <= 1 && v.lastRow >= v.rows;
  if (whole) ANSITerm::ClearTerminal(t);
  const std::int32_t count = Lines::Count(v.buffer);
  const auto width = static_cast<std::size_t>(std::max(0, v.width));
  const auto left = static_cast<std::size_t>(std::max(0, v.leftOffset));
  for (std::int32_t row = std::max(1, v.firstRow); row <= std::min(v.rows, v.lastRow); ++row) {
    const std::int32_t line = v.topLine + row - 1;
    if (!whole) {
      ANSITerm::GotoRowCol(t, row, 1);
      ANSITerm::EraseLine(t);
    }
    if (line > count) continue;
    const std::string_view text = Lines::View(v.buffer, line);
    if (text.size() <= left || width == 0) continue;
    std::string shown(text.substr(left, width));
    if (text.size() > left + width) shown.back() = '|';
    ANSITerm::GotoRowCol(t, row, 1);
    ANSITerm::WriteString(t, shown);
  }
  ANSITerm::GotoRowCol(t, v.cursor.line - v.topLine + 1,
                       std::clamp(v.cursor.column - v.leftOffset, 1, std::max(1, v.width)));
  ANSITerm::FlushOutput(t);
}

// ---- The Windows menu ----

void AddToWindowsMenu(Chars name) {
  Init();
  char leaf[kEntryHigh + 1];
  Strings::Assign(leaf, name);
  if (leaf[0] == 0) return;
  const std::uint64_t now = ++state.useClock;
  for (MenuName& n : state.names) {
    if (Strings::Equal(n.name, leaf)) {
      n.used = now;
      return;
    }
  }
  if (static_cast<std::int32_t>(state.names.size()) >= kMaxMenuItems - kFixedMenuItems) {
    state.names.erase(
        std::min_element(state.names.begin(), state.names.end(),
                         [](const MenuName& a, const MenuName& b) { return a.used < b.used; }));
  }
  MenuName entry{};
  Strings::Assign(entry.name, leaf);
  entry.used = now;
  const auto at = std::upper_bound(
      state.names.begin(), state.names.end(), entry,
      [](const MenuName& a, const MenuName& b) { return CompareNames(a.name, b.name) < 0; });
  state.names.insert(at, entry);
  SyncMenu();
}

void RemoveFromWindowsMenu(Chars name) {
  Init();
  const auto before = state.names.size();
  std::erase_if(state.names, [name](const MenuName& n) { return Strings::Equal(n.name, name); });
  if (state.names.size() != before) SyncMenu();
}

std::int32_t WindowsMenuCount() {
  return kFixedMenuItems + static_cast<std::int32_t>(state.names.size());
}

void WindowsMenuItem(std::int32_t item, VarChars text) {
  Strings::Clear(text);
  if (item >= 1 && item <= kFixedMenuItems) {
    Strings::Assign(text, base::CharsOf(kFixedItems[item - 1]));
  } else if (item > kFixedMenuItems && item <= WindowsMenuCount()) {
    Strings::Assign(text, state.names[static_cast<std::size_t>(item - kFixedMenuItems - 1)].name);
  }
}

// ---- Text positions ----

Range SelectRange() {
  const Editor::EditorState& e = Ed();
  const Position a = e.anchor;
  const Position c = e.cursor;
  const bool anchorFirst = a.line < c.line || (a.line == c.line && c.column >= a.column);
  return anchorFirst ? Range{a, c} : Range{c, a};
}

std::vector<std::string> RangeLines(Position from, Position to) {
  const Ref b = Ed().current;
  std::vector<std::string> parts;
  if (b == nullptr) return parts;
  for (std::int32_t line = from.line; line <= to.line; ++line) {
    std::string text = LineText(b, line);
    if (line == to.line) {
      text.resize(std::min(text.size(), static_cast<std::size_t>(std::max(0, to.column - 1))));
    }
    if (line == from.line) {
      text.erase(0, std::min(text.size(), static_cast<std::size_t>(std::max(0, from.column - 1))));
    }
    parts.push_back(std::move(text));
  }
  return parts;
}

bool CopyRange(Ref target, Position from, Position to) {
  const EditorChange editor;
  const Ref b = Ed().current;
  if (b == nullptr || target == nullptr) return false;
  // An empty target takes the text's coding; lines added to another become its own.
  const Charset::Coding coding = Lines::CodingOf(b);
  if (Lines::Count(target) == 0) {
    Lines::Form form = Lines::GetForm(target);
    form.coding = coding;
    if (!Lines::SetForm(target, form)) return false;
  }
  const Charset::Coding into = Lines::CodingOf(target);
  for (const std::string& text : RangeLines(from, to)) {
    std::string held;
    Charset::Recode(coding, into, text, held);
    if (!Lines::Append(target, held)) return false;
  }
  return true;
}

bool InsertBuffer(Ref source, std::size_t* substitutes) {
  const EditorChange editor;
  const Ref b = Ed().current;
  if (b == nullptr || source == nullptr) return false;
  const std::int32_t n = Lines::Count(source);
  if (n == 0) return true;
  // The source is read first: it may be the text being changed. Its characters become
  // what the text holds for them.
  const Charset::Coding from = Lines::CodingOf(source), into = Lines::CodingOf(b);
  std::vector<std::string> src(static_cast<std::size_t>(n));
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::size_t lost =
        Charset::Recode(from, into, Lines::View(source, i), src[static_cast<std::size_t>(i - 1)]);
    if (substitutes != nullptr) *substitutes += lost;
  }

  std::int32_t line = Ed().cursor.line;
  bool added;
  if (!EnsureLine(b, line, added)) return false;
  const std::string old = LineText(b, line);
  const auto split = static_cast<std::size_t>(
      std::clamp(Ed().cursor.column, 1, static_cast<int>(old.size()) + 1) - 1);
  const auto undo = [&]() {
    if (added) Lines::Delete(b, line, 1);
  };

  if (n == 1) {
    if (!Lines::Set(b, line, old.substr(0, split) + src[0] + old.substr(split))) {
      undo();
      return false;
    }
    MoveCursor(Position{line, static_cast<std::int32_t>(split + src[0].size()) + 1});
    return true;
  }
  // The old line moves down to line + n - 1; the lines above it are the new ones.
  if (!InsertEmpty(b, line, n - 1, line)) {
    undo();
    return false;
  }
  const std::int32_t last = line + n - 1;
  bool ok = Lines::Set(b, line, old.substr(0, split) + src[0]);
  for (std::int32_t i = 1; ok && i < n - 1; ++i) ok = Lines::Set(b, line + i, src[i]);
  ok = ok && Lines::Set(b, last, src[n - 1] + old.substr(split));
  if (!ok) {
    Lines::Delete(b, line, n - 1);
    undo();
    return false;
  }
  MoveCursor(Position{last, static_cast<std::int32_t>(src[n - 1].size()) + 1});
  return true;
}

bool SearchStep(Chars pattern) {
  const Ref b = Ed().current;
  const std::string_view pat(pattern.p, Strings::Length(pattern));
  if (b == nullptr || pat.empty()) return false;
  const Position at = Ed().cursor;
  const std::int32_t count = Lines::Count(b);
  if (Ed().direction == Editor::Direction::Advance) {
    for (std::int32_t line = std::max(1, at.line); line <= count; ++line) {
      // On the cursor line the search starts with the character after the cursor.
      const std::size_t start =
          line == at.line ? static_cast<std::size_t>(std::max(0, at.column)) : 0;
      const std::string_view text = Lines::View(b, line);
      const std::size_t pos = start <= text.size() ? text.find(pat, start) : std::string_view::npos;
      if (pos != std::string_view::npos) {
        MoveCursor(Position{line, static_cast<std::int32_t>(pos) + 1});
        return true;
      }
    }
    return false;
  }
  for (std::int32_t line = std::min(at.line, count); line >= 1; --line) {
    std::string_view text = Lines::View(b, line);
    if (line == at.line) {
      text = text.substr(
          0, std::min(text.size(), static_cast<std::size_t>(std::max(0, at.column - 1))));
    }
    const std::size_t pos = text.rfind(pat);
    if (pos != std::string_view::npos) {
      MoveCursor(Position{line, static_cast<std::int32_t>(pos) + 1});
      return true;
    }
  }
  return false;
}

bool MatchAtCursor(Chars pattern) {
  const Ref b = Ed().current;
  const std::string_view pat(pattern.p, Strings::Length(pattern));
  if (b == nullptr || pat.empty() || Ed().cursor.column < 1) return false;
  const std::string_view text = Lines::View(b, Ed().cursor.line);
  const auto at = static_cast<std::size_t>(Ed().cursor.column - 1);
  return at <= text.size() && text.substr(at).starts_with(pat);
}

Position CharsForward(std::int32_t n) {
  const Ref b = Ed().current;
  if (b == nullptr) return Ed().cursor;
  Position p = Normalised(b, Ed().cursor);
  const std::int32_t count = Lines::Count(b);
  while (n > 0) {
    const std::int32_t end = LineLength(b, p.line) + 1;
    if (n <= end - p.column) {
      p.column += n;
      break;
    }
    n -= end - p.column;
    p.column = end;
    if (p.line >= count) break;
    --n; // the line end is one character
    ++p.line;
    p.column = 1;
  }
  return p;
}

Position CharsBackward(std::int32_t n) {
  const Ref b = Ed().current;
  if (b == nullptr) return Ed().cursor;
  Position p = Normalised(b, Ed().cursor);
  while (n > 0) {
    if (n < p.column) {
      p.column -= n;
      break;
    }
    n -= p.column - 1;
    p.column = 1;
    if (p.line <= 1) break;
    --n;
    --p.line;
    p.column = LineLength(b, p.line) + 1;
  }
  return p;
}

WordStep WordsForward(std::int32_t n) {
  const Ref b = Ed().current;
  if (b == nullptr) return WordStep{Ed().cursor, Ed().cursor.column};
  Position p = Normalised(b, Ed().cursor);
  std::int32_t stepColumn = p.column;
  const std::int32_t count = Lines::Count(b);
  for (std::int32_t i = 0; i < n; ++i) {
    const std::string_view text = Lines::View(b, p.line);
    auto at = static_cast<std::size_t>(p.column - 1);
    if (at >= text.size()) {
      // The line end is a step of its own.
      if (p.line >= count) break;
      stepColumn = p.column;
      p = Position{p.line + 1, 1};
      continue;
    }
    stepColumn = p.column;
    while (at < text.size() && text[at] != ' ') ++at;
    while (at < text.size() && text[at] == ' ') ++at;
    p.column = static_cast<std::int32_t>(at) + 1;
  }
  return WordStep{p, stepColumn};
}

WordStep WordsBackward(std::int32_t n) {
  const Ref b = Ed().current;
  if (b == nullptr) return WordStep{Ed().cursor, Ed().cursor.column};
  Position p = Normalised(b, Ed().cursor);
  std::int32_t stepColumn = p.column;
  for (std::int32_t i = 0; i < n; ++i) {
    if (p.column <= 1) {
      // The line start is a step of its own.
      if (p.line <= 1) break;
      stepColumn = p.column;
      p.line -= 1;
      p.column = LineLength(b, p.line) + 1;
      continue;
    }
    stepColumn = p.column;
    const std::string_view text = Lines::View(b, p.line);
    auto at = static_cast<std::size_t>(p.column - 1);
    while (at > 0 && text[at - 1] == ' ') --at;
    while (at > 0 && text[at - 1] != ' ') --at;
    p.column = static_cast<std::int32_t>(at) + 1;
  }
  return WordStep{p, stepColumn};
}

std::int32_t InsertRepeated(std::int32_t n, Chars text) {
  const EditorChange editor;
  const Ref b = Ed().current;
  const std::int32_t column = Ed().cursor.column;
  const auto length = static_cast<std::int32_t>(Strings::Length(text));
  if (b == nullptr || length == 0 || n < 1) return column;
  std::int32_t line = Ed().cursor.line;
  const bool newLine = line > Lines::Count(b);
  const std::string old = newLine ? std::string() : LineText(b, line);
  n = std::min(n, (kRepeatLineLimit - static_cast<std::int32_t>(old.size())) / length);
  if (n <= 0) return column;
  std::string copies;
  copies.reserve(static_cast<std::size_t>(n * length));
  for (std::int32_t i = 0; i < n; ++i) copies.append(text.p, static_cast<std::size_t>(length));
  if (newLine) {
    if (!Lines::Append(b, copies)) return column;
  } else {
    const auto at =
        static_cast<std::size_t>(std::clamp(column, 1, static_cast<int>(old.size()) + 1) - 1);
    if (!Lines::Set(b, line, old.substr(0, at) + copies + old.substr(at))) return column;
  }
  return column + n * length;
}

bool BreakLines(std::int32_t n) {
  const EditorChange editor;
  const Ref b = Ed().current;
  if (b == nullptr) return false;
  if (n < 1) return true;
  std::int32_t line = Ed().cursor.line;
  bool added;
  if (!EnsureLine(b, line, added)) return false;
  const std::string old = LineText(b, line);
  const std::int32_t column = std::clamp(Ed().cursor.column, 1, static_cast<int>(old.size()) + 1);
  if (column == 1) {
    if (!InsertEmpty(b, line, n, line)) {
      if (added) Lines::Delete(b, line, 1);
      return false;
    }
  } else {
    const auto split = static_cast<std::size_t>(column - 1);
    bool ok = InsertEmpty(b, line + 1, n, line);
    if (ok && !(Lines::Set(b, line + n, old.substr(split)) &&
                Lines::Set(b, line, old.substr(0, split)))) {
      Lines::Delete(b, line + 1, n);
      ok = false;
    }
    if (!ok) {
      if (added) Lines::Delete(b, line, 1);
      return false;
    }
  }
  MoveCursor(Position{line + n, 1});
  return true;
}

void PathLine(Chars dir, VarChars line) {
  Strings::Clear(line);
  if (Strings::Length(dir) == 0) return;
  Strings::Assign(line, "                (* Path: ");
  Strings::Append(line, dir);
  Strings::Append(line, " *)");
}

void RefreshPathLine() {
  Init();
  const Ref c = state.command;
  if (c == nullptr || state.commandShows != c) return;
  static_cast<void>(UpdatePathLine(c));
}

// ---- Texts that change ----

void DrawChanged() {
  if (state.marked.empty()) return;
  const std::vector<Marked> marked = std::exchange(state.marked, {});
  const Editor::EditorState& e = Ed();
  for (const Marked& m : marked) {
    const Ref b = ShownBy(m.terminal);
    // A terminal that shows another text now was drawn whole when it changed.
    if (b == nullptr || b != m.buffer) continue;
    View v = b == e.current && m.terminal == e.terminal
                 ? View{b, e.terminal, e.topLine, e.leftOffset, e.rows, e.width, e.cursor}
                 : SavedView(b, m.terminal, GetState(b));
    const std::int64_t first = std::int64_t{m.first} - v.topLine + 1;
    const std::int64_t last = std::int64_t{m.last} - v.topLine + 1;
    v.firstRow = static_cast<std::int32_t>(std::max<std::int64_t>(first, 1));
    v.lastRow = static_cast<std::int32_t>(std::min<std::int64_t>(last, v.rows));
    if (v.firstRow <= v.lastRow) Draw(v);
  }
}

bool ChangesPending() { return !state.marked.empty(); }

EditorChange::EditorChange() { ++state.editorChanges; }
EditorChange::~EditorChange() { --state.editorChanges; }

} // namespace EditWindows
