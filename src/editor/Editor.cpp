#include "editor/Editor.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "base/Charset.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Find.h"
#include "editor/LineInput.h"
#include "editwin/EditWindows.h"
#include "editwin/Margins.h"
#include "editwin/ShellStart.h"
#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"
#include "windows/Graphics.h"
#include "windows/KeyEvents.h"

namespace Editor {

namespace {

using namespace KeyEvents;
using EditWindows::Range;

// ---- Texts the user sees ----

constexpr char kInvalidAfterGold[] = "Invalid key following GOLD";
constexpr char kInvalidKey[] = "Invalid key: ";
constexpr char kRepeatCount[] = "Repeat count: ";
constexpr char kRepeatCancelled[] = "Repeat count cancelled";
constexpr char kCountTooLarge[] = "Repeat count too large for this text.";
constexpr char kBeyondTheSet[] = " character(s) beyond Windows-1252 became ?";
constexpr char kMultipleWindows[] = "Multiple windows";
constexpr char kAlignTab[] = "Align TAB";
constexpr char kOn[] = ": ON.";
constexpr char kOff[] = ": OFF.";
constexpr char kUndefinedKey[] = "Undefined function key.";
constexpr char kReadOnly[] = "This text is read-only.";
constexpr char kUndefinedGoldKey[] = "Undefined function key with GOLD.";
constexpr char kIllegalSpecial[] = "Illegal character value for Special Insert.";
constexpr char kSelectActive[] = "Select range already active.";
constexpr char kNoSelectRange[] = "No select range";
constexpr char kNameTerminator[] = "Name must be terminated with RETURN or ENTER";
constexpr char kNullName[] = "Null buffer name";
constexpr char kNoSuchBuffer[] = "Buffer does not exist";
constexpr char kBeingEdited[] = "Buffer currently being edited";
constexpr char kInUse[] = "Buffer is in use";
constexpr char kCannotCreate[] = "Could not create buffer: ";
constexpr char kCannotOpen[] = "Could not open buffer: ";
constexpr char kNoCompiler[] = "Compiler not available !";
constexpr char kLineLabel[] = "line: ";
constexpr char kColumnLabel[] = ";  column: ";
constexpr char kDeletePrompt[] = "Delete buffer: ";
constexpr char kEditPrompt[] = "Edit buffer: ";
constexpr char kReadPrompt[] = "Read from buffer: ";
constexpr char kWritePrompt[] = "Write to buffer: ";
constexpr char kDeleteQuestion[] = "Delete \"";
constexpr char kCreateQuestion[] = "Create \"";
constexpr char kQuestionEnd[] = "\"? (Y/N) [N]: ";

// The modifier bits the invalid-key message names, lowest bit first.
constexpr const char* kModifierNames[] = {", command", ", shift", ", cap", ", option", ", control"};

// A text line holds at most this many characters.
constexpr std::int32_t kLineMax = 255;
// Digits typed after GOLD stop raising the count here, so that it cannot overflow.
constexpr std::int32_t kMaxRepeatCount = 999'999'999;
constexpr int kDefaultBeep = 1;
// Windows of this kind and above have no message band (their terminal's last row is
// the message line).
constexpr int kFirstBandlessKind = 15;

struct Local {
  bool initialised = false;
  WindowProc windowProc = nullptr;
};
Local local;

EditorState& Ed() { return State(); }

// ---- Positions ----

bool Before(Position a, Position b) {
  return a.line < b.line || (a.line == b.line && a.column < b.column);
}

std::int32_t LineCount() { return Lines::Count(Ed().current); }
std::int32_t LastLine() { return std::max(1, LineCount()); }
std::int32_t LineLength(std::int32_t line) { return Lines::Length(Ed().current, line); }
Position LineEnd(std::int32_t line) { return Position{line, LineLength(line) + 1}; }

// A position held inside the text: a line that exists (1 in an empty text) and a column
// no further than its line end.
Position Inside(Position p) {
  p.line = std::clamp(p.line, 1, LastLine());
  p.column = std::clamp(p.column, 1, LineLength(p.line) + 1);
  return p;
}

// ---- Drawing ----

// Whether text and cursor are drawn: not while a learned macro executes unseen, nor
// while the key assignment screen covers the terminal.
bool Drawing() {
  const EditorState& e = Ed();
  return e.terminal != nullptr && !e.helpShowing &&
         !(e.macro.state == MacroState::Executing && !e.showWhileExecuting);
}

bool HasBand(const ANSITerm::TextWindow* t) {
  return t->hasScrollBars && t->window != nullptr && t->window->kind < kFirstBandlessKind;
}

void Write(ANSITerm::TextWindow* t, std::string_view text) {
  if (!text.empty()) ANSITerm::WriteString(t, base::CharsOf(text));
}

// The terminal cursor on the text cursor, in the last column when the cursor is to the
// right of the screen.
void PutCursor() {
  if (!Drawing()) return;
  const EditorState& e = Ed();
  const std::int32_t column = std::clamp(e.cursor.column - e.leftOffset, 1, std::max(1, e.width));
  // Every drawing of rows ends here: the margin's marks follow the rows as drawn.
  Margins::DrawCurrent();
  ANSITerm::GotoRowCol(e.terminal, e.cursor.line - e.topLine + 1, column);
}

// Text row `row` from the left offset, "|" in the last column of a longer line, the
// part inside the select range in inverse video, the rest of the row cleared. A line end
// inside the range shows as one inverse cell after the line's text, so that an empty
// line in the range shows too.
void DrawRow(std::int32_t row) {
  EditorState& e = Ed();
  ANSITerm::TextWindow* t = e.terminal;
  const std::int32_t line = e.topLine + row - 1;
  ANSITerm::GotoRowCol(t, row, 1);
  const std::string_view text =
      line >= 1 && line <= LineCount() ? Lines::View(e.current, line) : std::string_view();
  const auto left = static_cast<std::size_t>(std::max(0, e.leftOffset));
  const auto width = static_cast<std::size_t>(std::clamp(e.width, 0, ANSITerm::kMaxColumns));
  bool inRange = false, endInRange = false;
  Range r{};
  if (e.selectActive && line >= 1 && line <= LineCount()) {
    r = EditWindows::SelectRange();
    inRange = line >= r.first.line && line <= r.last.line;
    endInRange = inRange && line < r.last.line;
  }
  if (text.size() > left && width > 0) {
    char shown[ANSITerm::kMaxColumns + 1];
    const std::size_t n = std::min(text.size() - left, width);
    std::copy_n(text.data() + left, n, shown);
    if (text.size() > left + width) shown[n - 1] = '|';
    std::size_t from = n;
    std::size_t to = n;
    if (inRange) {
      const std::int64_t first = line == r.first.line ? r.first.column : 1;
      const std::int64_t last =
          line == r.last.line ? r.last.column : static_cast<std::int64_t>(text.size()) + 1;
      const auto clip = [&](std::int64_t column) {
        return static_cast<std::size_t>(std::clamp<std::int64_t>(
            column - 1 - static_cast<std::int64_t>(left), 0, static_cast<std::int64_t>(n)));
      };
      from = clip(first);
      to = std::max(from, clip(last));
    }
    Write(t, std::string_view(shown, from));
    if (to > from) {
      ANSITerm::SetInverse(t, 1);
      Write(t, std::string_view(shown + from, to - from));
      ANSITerm::SetInverse(t, 0);
    }
    Write(t, std::string_view(shown + to, n - to));
  }
  // The line end's cell, when it is in view: just after the text.
  if (endInRange && text.size() >= left && text.size() - left < width) {
    ANSITerm::SetInverse(t, 1);
    Write(t, " ");
    ANSITerm::SetInverse(t, 0);
  }
  ANSITerm::EraseLineEnd(t);
}

// Screen rows first .. last, cut to the screen.
void RedrawRows(std::int32_t first, std::int32_t last) {
  if (!Drawing() || Ed().current == nullptr) return;
  first = std::max(first, 1);
  last = std::min(last, Ed().rows);
  for (std::int32_t row = first; row <= last; ++row) DrawRow(row);
  PutCursor();
}

// The rows from the one showing `line` to the bottom of the screen (lines moved below it).
void RedrawFrom(std::int32_t line) { RedrawRows(line - Ed().topLine + 1, Ed().rows); }

void RedrawLine(std::int32_t line) {
  const std::int32_t row = line - Ed().topLine + 1;
  RedrawRows(row, row);
}

void DrawMessageLine() {
  EditorState& e = Ed();
  if (!Drawing()) return;
  ANSITerm::TextWindow* t = e.terminal;
  char text[kTextHigh + 1];
  MessageLineText(text);
  ANSITerm::BeginMessageLine(t);
  // The band beside the horizontal scroll bar is narrower than the screen.
  const std::int32_t columns = HasBand(t) ? ANSITerm::ShellColumns() : t->columns;
  const auto length = static_cast<std::int32_t>(Strings::Length(text));
  if (columns >= 2 && length > columns) {
    text[columns - 1] = 0;
    text[columns - 2] = '|';
  } else if (columns < 2 && length > columns) {
    text[std::max(0, columns)] = 0;
  }
  if (e.messageShowing) ANSITerm::SetInverse(t, 1);
  ANSITerm::WriteString(t, text);
  if (e.messageShowing) ANSITerm::SetInverse(t, 0);
  ANSITerm::EndMessageLine(t);
}

// The view moved by delta lines (fewer than the rows): the terminal scrolls and only the
// uncovered rows are drawn.
void ScrollView(std::int32_t delta) {
  EditorState& e = Ed();
  ANSITerm::TextWindow* t = e.terminal;
  ANSITerm::GotoRowCol(t, 1, 1);
  if (delta > 0) {
    ANSITerm::DeleteLines(t, delta);
    RedrawRows(e.rows - delta + 1, e.rows);
  } else {
    ANSITerm::InsertLines(t, -delta);
    RedrawRows(1, -delta);
  }
  // A terminal without a band scrolls its message line along.
  if (!HasBand(t)) DrawMessageLine();
}

// ---- Keeping positions with the text ----

// Text from `at` to `end` was inserted: a position at or after `at` moves with it.
void MoveWithInsertion(Position& p, Position at, Position end) {
  if (Before(p, at)) return;
  if (p.line == at.line) {
    p.column = end.column + (p.column - at.column);
    p.line = end.line;
  } else {
    p.line += end.line - at.line;
  }
}

// The text from `from` to `to` was deleted.
void MoveWithDeletion(Position& p, Position from, Position to) {
  if (!Before(from, p)) return;
  if (Before(p, to)) {
    p = from;
  } else if (p.line == to.line) {
    p = Position{from.line, from.column + (p.column - to.column)};
  } else {
    p.line -= to.line - from.line;
  }
}

// Breaks a line longer than a text line may be into lines of at most 255 characters, so
// that joining or inserting never loses text; cursor and anchor keep their characters.
// Returns the number of lines added.
std::int32_t BreakLongLine(std::int32_t line) {
  const EditWindows::EditorChange editor;
  EditorState& e = Ed();
  const bool utf8 = Charset::HoldsUtf8(Lines::CodingOf(e.current));
  std::int32_t added = 0;
  while (LineLength(line) > kLineMax) {
    const std::string text(Lines::View(e.current, line));
    // A text that keeps UTF-8 breaks before a character, not inside it.
    std::int32_t cut = kLineMax;
    while (utf8 && cut > 1 && Charset::IsContinuation(text[static_cast<std::size_t>(cut)])) --cut;
    if (!Lines::Insert(e.current, line + 1, 1)) break;
    if (!Lines::Set(e.current, line + 1, text.substr(static_cast<std::size_t>(cut))) ||
        !Lines::Set(e.current, line, text.substr(0, static_cast<std::size_t>(cut)))) {
      Lines::Delete(e.current, line + 1, 1);
      break;
    }
    for (Position* p : {&e.cursor, &e.anchor}) {
      if (p->line > line) {
        ++p->line;
      } else if (p->line == line && p->column > cut + 1) {
        *p = Position{line + 1, p->column - cut};
      }
    }
    ++added;
    ++line;
  }
  return added;
}

// ---- Commands ----

// What a command gets: the repeat count and the key that ran it.
struct Args {
  std::int32_t count;
  std::uint8_t code;
  char ch;
  std::uint8_t modifiers;
};
using Command = void (*)(const Args&);

bool Has(const Args& a, std::uint8_t modifier) { return (a.modifiers & modifier) != 0; }

void Message2(Chars first, Chars second) {
  char text[kTextHigh + 1];
  Strings::Assign(text, first);
  Strings::Append(text, second);
  ShowEditMessage(text);
}

void InvalidKey(const Args& a) {
  char text[kTextHigh + 1];
  Strings::Assign(text, kInvalidKey);
  NumberOut::AppendInt(a.code, text, 0);
  Strings::Append(text, ",");
  NumberOut::AppendInt(static_cast<unsigned char>(a.ch), text, 0);
  for (int bit = 0; bit < 5; ++bit) {
    if ((a.modifiers & (1u << bit)) != 0) Strings::Append(text, base::CharsOf(kModifierNames[bit]));
  }
  ShowEditMessage(text);
}

void InvalidAfterGold(const Args&) { ShowEditMessage(kInvalidAfterGold); }

void Nothing(const Args&) {}

// ---- Cursor movement ----

void MoveTo(Position p) {
  PlaceCursor(p.line, p.column, Ed().scrollMargin);
  SetUndoKind(UndoKind::None);
}

// An open select range is kept and extended with shift, and closed without it.
void PrepareSelect(bool extend) {
  if (extend) {
    if (!Ed().selectActive) OpenSelect();
  } else if (Ed().selectActive) {
    ResetSelect();
  }
}

// Lines up (negative) or down at the desired column, which the move keeps.
void MoveLines(std::int64_t delta) {
  EditorState& e = Ed();
  const auto line = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(std::int64_t{e.cursor.line} + delta, 1, LastLine()));
  const std::int32_t column =
      std::min({e.desiredColumn, LineLength(line) + 1, std::max(1, e.leftOffset + e.width)});
  const std::int32_t desired = e.desiredColumn;
  MoveTo(Position{line, std::max(1, column)});
  e.desiredColumn = desired;
}

void CharSteps(std::int32_t n, Direction d) {
  MoveTo(d == Direction::Advance ? EditWindows::CharsForward(n) : EditWindows::CharsBackward(n));
}

void WordSteps(std::int32_t n, Direction d) {
  MoveTo(d == Direction::Advance ? EditWindows::WordsForward(n).position
                                 : EditWindows::WordsBackward(n).position);
}

void LineSteps(std::int32_t n, Direction d) {
  const Position c = Inside(Ed().cursor);
  if (d == Direction::Advance) {
    const std::int64_t line = std::int64_t{c.line} + n;
    MoveTo(line > LineCount() ? LineEnd(LastLine()) : Position{static_cast<std::int32_t>(line), 1});
    return;
  }
  std::int64_t steps = n;
  if (c.column > 1) --steps;
  MoveTo(Position{static_cast<std::int32_t>(std::max<std::int64_t>(1, c.line - steps)), 1});
}

void EolSteps(std::int32_t n, Direction d) {
  const Position c = Inside(Ed().cursor);
  if (d == Direction::Advance) {
    std::int64_t line = std::int64_t{c.line} + n - 1;
    if (c.column > LineLength(c.line)) ++line;
    MoveTo(LineEnd(static_cast<std::int32_t>(std::min<std::int64_t>(line, LastLine()))));
    return;
  }
  const std::int64_t line = std::int64_t{c.line} - n;
  MoveTo(line < 1 ? Position{1, 1} : LineEnd(static_cast<std::int32_t>(line)));
}

void SectionSteps(std::int32_t n, Direction d) {
  const EditorState& e = Ed();
  const std::int64_t lines = std::int64_t{n} * std::max(1, e.rows - e.scrollMargin);
  MoveLines(d == Direction::Advance ? lines : -lines);
}

Direction KeyDirection(const Args& a) {
  return a.code == KeyCursorLeft ? Direction::Backup : Direction::Advance;
}

void Vertical(const Args& a) {
  if (a.code == KeyCursorDown && Has(a, kModOption)) {
    LineSteps(a.count, Direction::Advance);
    return;
  }
  PrepareSelect(Has(a, kModShift));
  MoveLines(a.code == KeyCursorUp ? -std::int64_t{a.count} : a.count);
}

void Horizontal(const Args& a) {
  const Direction d = KeyDirection(a);
  if (Has(a, kModShift) && !Ed().selectActive) OpenSelect();
  if (Has(a, kModControl)) {
    if (d == Direction::Backup) {
      LineSteps(a.count, d);
    } else {
      EolSteps(a.count, d);
    }
  } else if (Has(a, kModOption)) {
    WordSteps(a.count, d);
  } else if (Has(a, kModShift)) {
    CharSteps(a.count, d);
  } else {
    std::int32_t steps = a.count;
    if (Ed().selectActive) {
      const Range r = EditWindows::SelectRange();
      ResetSelect();
      MoveTo(d == Direction::Advance ? r.last : r.first);
      --steps;
    }
    if (steps > 0) CharSteps(steps, d);
  }
}

void Line(const Args& a) { LineSteps(a.count, Ed().direction); }
void Word(const Args& a) { WordSteps(a.count, Ed().direction); }
void Eol(const Args& a) { EolSteps(a.count, Ed().direction); }
void Char(const Args& a) { CharSteps(a.count, Ed().direction); }
void Section(const Args& a) { SectionSteps(a.count, Ed().direction); }
void SetAdvance(const Args&) { Ed().direction = Direction::Advance; }
void SetBackup(const Args&) { Ed().direction = Direction::Backup; }
void Back(const Args&) { PlaceCursor(Ed().cursor.line, Ed().cursor.column, Ed().scrollMargin); }
void Top(const Args&) { MoveTo(Position{1, 1}); }
void Bottom(const Args&) { MoveTo(LineEnd(LastLine())); }
void LineStart(const Args&) { MoveTo(Position{Inside(Ed().cursor).line, 1}); }

void Home(const Args& a) {
  PrepareSelect(Has(a, kModShift));
  Top(a);
}
void End(const Args& a) {
  PrepareSelect(Has(a, kModShift));
  Bottom(a);
}
void PageUp(const Args& a) {
  PrepareSelect(Has(a, kModShift));
  SectionSteps(a.count, Direction::Backup);
}
void PageDown(const Args& a) {
  PrepareSelect(Has(a, kModShift));
  SectionSteps(a.count, Direction::Advance);
}

// ---- The select range ----

void EnterKey(const Args& a) {
  ResetSelect();
  if (!Has(a, kModOption)) OpenSelect();
  SetUndoKind(UndoKind::None);
}

void Select(const Args&) {
  if (Ed().selectActive) {
    ShowEditMessage(kSelectActive);
  } else {
    OpenSelect();
  }
  SetUndoKind(UndoKind::None);
}

void Reset(const Args&) {
  ResetSelect();
  SetUndoKind(UndoKind::None);
}

// ---- Typing ----

// Inserts n copies of text (characters of the set) at the cursor as far as the line
// holds them; the cursor goes after them. A text that keeps UTF-8 gets their UTF-8.
void InsertAtCursor(std::int32_t n, Chars chars) {
  EditorState& e = Ed();
  const Position at = Inside(e.cursor);
  e.cursor = at;
  std::string text;
  Charset::Recode(Charset::Coding::Utf8, Lines::CodingOf(e.current),
                  std::string_view(chars.p, Strings::Length(chars)), text);
  const auto length = static_cast<std::int32_t>(text.size());
  n = std::min(n, (kLineMax - LineLength(at.line)) / std::max(1, length));
  if (n <= 0) {
    Toolbox::Beep(kDefaultBeep);
    return;
  }
  const std::int32_t column = EditWindows::InsertRepeated(n, text);
  const Position end{at.line, column};
  if (e.selectActive) MoveWithInsertion(e.anchor, at, end);
  RedrawLine(at.line);
  PlaceCursor(end.line, end.column, e.scrollMargin);
}

void InsertCharacter(const Args& a) {
  BeginUndo(UndoKind::Typing);
  const char text[2] = {a.ch, 0};
  InsertAtCursor(a.count, text);
}

void SpecialInsert(const Args& a) {
  if (a.count < 1 || a.count > 255) {
    ShowEditMessage(kIllegalSpecial);
    return;
  }
  BeginUndo(UndoKind::Typing);
  const char text[2] = {static_cast<char>(a.count), 0};
  InsertAtCursor(1, text);
}

// Spaces to the next tab stop: under the next word of the line above in align mode, or
// count fixed stops.
void Tab(const Args& a) {
  EditorState& e = Ed();
  BeginUndo(UndoKind::Typing);
  const Position c = Inside(e.cursor);
  const bool fixed = Has(a, kModOption) ? !e.fixedTabs : e.fixedTabs;
  const std::int32_t width = std::max(1, e.tabWidth);
  const std::int32_t room = kLineMax - LineLength(c.line);
  std::int32_t n = width - (c.column - 1) % width;
  if (!fixed) {
    const std::string_view above =
        c.line >= 2 ? Lines::View(e.current, c.line - 1) : std::string_view();
    if (above.size() > 1) {
      auto p = static_cast<std::size_t>(c.column - 1);
      while (p < above.size() && above[p] != ' ') ++p;
      while (p < above.size() && above[p] == ' ') ++p;
      if (p < above.size()) n = static_cast<std::int32_t>(p) + 1 - c.column;
    }
    n = std::min(n, room);
  } else if (n > room) {
    n = 0;
  } else {
    const std::int64_t extra = std::min<std::int64_t>(a.count - 1, (room - n) / width);
    n += static_cast<std::int32_t>(std::max<std::int64_t>(0, extra)) * width;
  }
  if (n > 0) InsertAtCursor(n, " ");
}

// Splits the line at the cursor count times; the cursor goes after the new line ends, or
// stays where it was (OPEN LINE).
void SplitLines(std::int32_t count, bool cursorStays) {
  EditorState& e = Ed();
  if (e.current == nullptr || !CountFits(e.current, count)) return;
  const bool dropped = MakeRoomForLines(count);
  const Position at = Inside(e.cursor);
  e.cursor = at;
  if (!EditWindows::BreakLines(count)) {
    if (dropped) RedrawScreen();
    return;
  }
  const Position end = e.cursor;
  if (e.selectActive) MoveWithInsertion(e.anchor, at, end);
  if (cursorStays) e.cursor = at;
  if (dropped) {
    RedrawScreen();
  } else {
    RedrawFrom(at.line);
  }
  PlaceCursor(e.cursor.line, e.cursor.column, e.scrollMargin);
}

void Return(const Args& a) {
  BeginUndo(UndoKind::Typing);
  SplitLines(a.count, false);
}

void OpenLine(const Args& a) {
  BeginUndo(UndoKind::None);
  SplitLines(a.count, true);
}

// ---- Deleting ----

void Backspace(const Args& a) {
  if (Ed().selectActive) {
    DeleteSelectRange();
  } else if (Has(a, kModOption)) {
    DeleteWords(a.count, false);
  } else if (Has(a, kModControl)) {
    UndeleteWord(a.count);
  } else {
    DeleteChars(a.count, false);
  }
}

void Delete(const Args& a) {
  if (Ed().selectActive) {
    DeleteSelectRange();
  } else if (Has(a, kModOption)) {
    DeleteWords(a.count, true);
  } else if (Has(a, kModControl)) {
    UndeleteWord(a.count);
  } else {
    DeleteChars(a.count, true);
  }
}

void DeletePreviousWord(const Args& a) { DeleteWords(a.count, false); }
void DeleteWordForward(const Args& a) { DeleteWords(a.count, true); }
void DeleteLineForward(const Args& a) { DeleteLines(a.count); }
void DeleteLineStart(const Args& a) { DeleteToLineStart(a.count); }
void DeleteLineEnd(const Args& a) { DeleteToLineEnd(a.count); }

void Escape(const Args& a) {
  if (Has(a, kModOption)) {
    DeleteToLineEnd(a.count);
  } else {
    DeleteToLineStart(a.count);
  }
}

void UndL(const Args& a) { UndeleteLine(a.count); }
void UndW(const Args& a) { UndeleteWord(a.count); }
void CaseChange(const Args& a) { ChangeCase(a.count); }

// ---- Paste buffer, undo, find ----

void Cut(const Args&) { CutToPaste(); }
void Append(const Args&) { AppendToPaste(); }
void Paste(const Args& a) {
  BeginUndo(UndoKind::None);
  PasteCount(a.count);
}
void ClearPaste(const Args&) { ClearPasteBuffer(); }
void CutUndoable(const Args&) { CutWithUndo(); }
void Copy(const Args&) { CopyToPaste(); }
void PasteUndoable(const Args& a) { PasteWithUndo(a.count); }
void UndoKey(const Args&) { Undo(); }
void FindNextKey(const Args& a) { Find::FindNext(a.count); }
void FindKey(const Args& a) { Find::FindPrompt(a.count); }
void FindSelectionKey(const Args& a) { Find::FindSelection(a.count); }
void ReplaceKey(const Args& a) { Find::Replace(a.count); }
void SubstituteKey(const Args& a) { Find::Substitute(a.count); }
void TextSearch(const Args&) { Ed().lineNumberSearch = false; }
void NumberSearch(const Args&) { Ed().lineNumberSearch = true; }

// ---- Screen, modes, macros ----

void Rewrite(const Args&) { RedrawScreen(); }
void Help(const Args&) { HelpScreen(); }

void ToggleWindows(const Args&) {
  EditorState& e = Ed();
  e.multipleWindows = !e.multipleWindows;
  Message2(kMultipleWindows, e.multipleWindows ? Chars(kOn) : Chars(kOff));
}

void ToggleTabs(const Args&) {
  EditorState& e = Ed();
  e.fixedTabs = !e.fixedTabs;
  Message2(kAlignTab, e.fixedTabs ? Chars(kOff) : Chars(kOn));
}

void LearnKey(const Args&) { Learn(); }
void StopKey(const Args&) { StopLearning(); }
void ExecuteKey(const Args& a) { ExecuteMacro(a.count); }

// ---- Buffer commands ----

// Asks for a buffer name; false (after the message) when the answer did not end with
// RETURN or ENTER, or a mouse or window event ended it.
bool PromptName(Chars question, VarChars name) {
  std::uint8_t kind = 0;
  char ch = 0;
  std::uint8_t modifiers = 0;
  if (!PromptLine(question, name, kind, ch, modifiers)) return false;
  if (kind == KeyEnter || (kind == KeyCharacter && ch == 13)) return true;
  ShowEditMessage(kNameTerminator);
  return false;
}

// A question on the message line answered by one key: only "Y" or "y" is yes.
bool AskYesNo(Chars question) {
  ShowEditMessage(question);
  std::uint8_t kind = KeyNone;
  char ch = 0;
  std::uint8_t modifiers = 0;
  for (;;) {
    ReadEditKey(kind, ch, modifiers);
    if (kind == KeyUpdate) RedrawScreen();
    const bool passing =
        kind == KeyHandled || kind == KeyDeactivate || kind == KeyActivate || kind == KeyUpdate;
    // A macro that ends here answers with its null key: no.
    if (!passing) break;
  }
  // A click or a window event is not an answer; it goes to the dispatcher.
  if (kind >= KeyMouse) KeyEvents::UngetKey();
  ClearEditMessage();
  return kind == KeyCharacter && (ch == 'Y' || ch == 'y');
}

void Question(Chars start, Chars name, VarChars text) {
  Strings::Assign(text, start);
  Strings::Append(text, name);
  Strings::Append(text, kQuestionEnd);
}

bool IsText(Buffer::Ref b) { return b != nullptr && Buffer::KindOf(b) == Buffer::BufferKind::Text; }

// Makes b the buffer being edited: in its own window when multiple windows are on (or it
// has one), else in the Command window.
void EnterForEditing(Buffer::Ref b) {
  if (Ed().multipleWindows && b != Shell::CommandText() &&
      EditWindows::OpenBufferWindow(b, EditWindows::Placement::Automatic)) {
    return;
  }
  EditWindows::ShowBuffer(b, EditWindows::kRefresh | EditWindows::kActivate);
}

void DeleteBufferCommand(const Args&) {
  EditorState& e = Ed();
  SetUndoKind(UndoKind::None);
  char name[kTextHigh + 1] = {};
  if (!PromptName(kDeletePrompt, name)) return;
  if (name[0] == 0) {
    ShowEditMessage(kNullName);
    return;
  }
  Buffer::Ref b = Buffer::Find(name);
  // Only text buffers are the editor's; the shell's heaps and libraries are not.
  if (!IsText(b)) {
    ShowEditMessage(kNoSuchBuffer);
    return;
  }
  // A buffer that a window shows, or that the shell keeps, must stay.
  if (b == e.editBuffer || b == e.current || b == Shell::CommandText() || b == Shell::ListText() ||
      b == EditWindows::CommandWindowBuffer()) {
    ShowEditMessage(kBeingEdited);
    return;
  }
  // One the workstation holds (the Notebook's text) too.
  if (Buffer::InUse(b)) {
    ShowEditMessage(kInUse);
    return;
  }
  char question[kTextHigh + 1];
  Question(kDeleteQuestion, name, question);
  if (!AskYesNo(question)) return;
  EditWindows::CloseBufferWindow(b);
  char leaf[kTextHigh + 1];
  Buffer::LeafName(b, leaf);
  EditWindows::RemoveFromWindowsMenu(leaf);
  Buffer::Delete(b);
  SetUndoKind(UndoKind::None);
}

void EditBufferCommand(const Args&) {
  EditorState& e = Ed();
  SetUndoKind(UndoKind::None);
  char name[kTextHigh + 1] = {};
  if (e.editBuffer != nullptr) Buffer::FullName(e.editBuffer, name);
  if (!PromptName(kEditPrompt, name)) return;
  if (name[0] == 0) {
    ShowEditMessage(kNullName);
    return;
  }
  Buffer::Ref b = Buffer::Find(name);
  if (b == nullptr) {
    char question[kTextHigh + 1];
    Question(kCreateQuestion, name, question);
    if (!AskYesNo(question)) return;
    b = Buffer::Create(name, Buffer::BufferKind::Text);
  }
  if (!IsText(b)) {
    Message2(kCannotCreate, name);
    return;
  }
  EnterForEditing(b);
  SetUndoKind(UndoKind::None);
}

void ReadBufferCommand(const Args& a) {
  SetUndoKind(UndoKind::None);
  char name[kTextHigh + 1] = {};
  if (!PromptName(kReadPrompt, name) || name[0] == 0) return;
  Buffer::Ref b = Buffer::Find(name);
  if (!IsText(b)) {
    Message2(kCannotOpen, name);
    return;
  }
  BeginUndo(UndoKind::Typing);
  InsertBufferAtCursor(b, a.count);
}

void WriteBufferCommand(const Args& a) {
  EditorState& e = Ed();
  SetUndoKind(UndoKind::None);
  if (!e.selectActive || e.anchor == e.cursor) {
    ShowEditMessage(kNoSelectRange);
    return;
  }
  char name[kTextHigh + 1] = {};
  if (!PromptName(kWritePrompt, name) || name[0] == 0) return;
  Buffer::Ref target = Buffer::Find(name);
  if (target == nullptr) target = Buffer::Create(name, Buffer::BufferKind::Text);
  if (!IsText(target)) {
    Message2(kCannotCreate, name);
    return;
  }
  const Range r = EditWindows::SelectRange();
  if (!CountFits(target, std::int64_t{r.last.line - r.first.line + 1} * a.count)) return;
  for (std::int32_t i = 0; i < a.count; ++i) {
    if (!EditWindows::CopyRange(target, r.first, r.last)) break;
  }
  e.selectActive = false;
  RedrawScreen();
}

// ---- Function keys ----

// F12's work, which the shell installs: compile and load or run.
void (*compileKey)() = nullptr;
DebugKeyProc debugKey = nullptr;
KeyFilter keyFilter = nullptr;
ReadOnlyProc readOnlyProc = nullptr;

void ShowCommandWindow() {
  EditorState& e = Ed();
  EditWindows::ShowBuffer(Shell::CommandText(), EditWindows::kActivate);
  if (e.current == Shell::CommandText() && e.cursor.line == 1) {
    PlaceCursor(std::max(1, LineCount() - 2), 1, e.scrollMargin);
  }
}

void ShowListWindow() {
  Toolbox::Rect client = Toolbox::FrameClientRect();
  const bool open = EditWindows::ListWindow() != nullptr;
  static_cast<void>(EditWindows::OpenBufferWindow(Shell::ListText(), EditWindows::Placement::Given,
                                                  Shell::ListWindowRect(client)));
  // Opened again at its place below the Command window: it keeps its share of the frame.
  if (!open) Toolbox::FollowFrame(EditWindows::ListWindow());
}

// F3: the cursor line and count - 1 lines below it go, as del l from the line start.
void CutLine(std::int32_t count) {
  MoveTo(Position{Inside(Ed().cursor).line, 1});
  DeleteLines(count);
}

// F4: the cursor line into the deleted-line register, so that F2 (UND L) inserts it.
void CopyLine() {
  EditorState& e = Ed();
  Lines::Get(e.current, Inside(e.cursor).line, e.deletedLine);
  e.deletedLineBreak = true;
}

void FunctionKey(const Args& a, bool gold) {
  EditorState& e = Ed();
  if (const FunctionKeyProc proc = e.functionKeys[a.code]) {
    proc(a.count, gold);
    return;
  }
  if (gold) {
    ShowEditMessage(kUndefinedGoldKey);
    return;
  }
  switch (a.code) {
  case KeyF2:
    UndeleteLine(a.count);
    break;
  case KeyF3:
    CutLine(a.count);
    break;
  case KeyF4:
    CopyLine();
    break;
  case KeyF5:
    ShowCommandWindow();
    break;
  case KeyF7:
    ShowListWindow();
    break;
  case KeyF8:
    // No user program runs whose terminal could be shown.
    Toolbox::StopTone();
    Toolbox::Beep(kDefaultBeep);
    ShowCommandWindow();
    break;
  case KeyF12:
    if (compileKey != nullptr)
      compileKey();
    else
      ShowEditMessage(kNoCompiler);
    break;
  default:
    if (debugKey != nullptr && debugKey(a.code, a.modifiers)) break;
    ShowEditMessage(kUndefinedKey);
    break;
  }
}

// ---- The key tables ----

// Any printable character (32 and above, DEL excepted) in the ch column of a row.
constexpr char kPrintable = 0;

struct Binding {
  std::uint8_t code;
  char ch; // for KeyCharacter rows: the character, or kPrintable
  const char* label;
  Command run;
};

constexpr Binding kPlainKeys[] = {
    {KeyCharacter, kPrintable, "", InsertCharacter},
    {KeyCharacter, 8, "", LineStart},           // Control/H
    {KeyCharacter, 9, "", Tab},                 // TAB
    {KeyCharacter, 10, "", DeletePreviousWord}, // Control/J
    {KeyCharacter, 13, "", Return},             // RETURN
    {KeyCharacter, 21, "", DeleteLineStart},    // Control/U
    {KeyCharacter, 23, "", Rewrite},            // Control/W
    {KeyCharacter, 27, "", Escape},             // ESC
    {KeyCharacter, 28, "", TextSearch},
    {KeyCharacter, 29, "", NumberSearch},
    {KeyCursorUp, 0, "", Vertical},
    {KeyCursorDown, 0, "", Vertical},
    {KeyCursorLeft, 0, "", Horizontal},
    {KeyCursorRight, 0, "", Horizontal},
    {KeyKeypad0, 0, "line", Line},
    {KeyKeypad1, 0, "word", Word},
    {KeyKeypad2, 0, "eol", Eol},
    {KeyKeypad3, 0, "char", Char},
    {KeyKeypad4, 0, "advance", SetAdvance},
    {KeyKeypad5, 0, "backup", SetBackup},
    {KeyKeypad6, 0, "cut", Cut},
    {KeyKeypad7, 0, "back", Back},
    {KeyKeypad8, 0, "section", Section},
    {KeyKeypad9, 0, "append", Append},
    {KeyEnter, 0, "enter", EnterKey},
    {KeyKeypadMinus, 0, "del l", DeleteLineForward},
    {KeyKeypadPlus, 0, "del w", DeleteWordForward},
    {KeyKeypadPoint, 0, "select", Select},
    {KeyKeypadDivide, 0, "help", Help},
    {KeyHelp, 0, "help", Help},
    {KeyKeypadMultiply, 0, "fndnxt", FindNextKey},
    {KeyHome, 0, "", Home},
    {KeyEnd, 0, "", End},
    {KeyPageUp, 0, "", PageUp},
    {KeyPageDown, 0, "", PageDown},
    {KeyDeleteLeft, 0, "", Backspace},
    {KeyDeleteRight, 0, "", Delete},
};

// Letters match in either case.
constexpr Binding kGoldKeys[] = {
    {KeyCharacter, 'C', "", ClearPaste},
    {KeyCharacter, 'D', "", DeleteBufferCommand},
    {KeyCharacter, 'E', "", EditBufferCommand},
    {KeyCharacter, 'F', "FIND", FindKey},
    {KeyCharacter, 'L', "", LearnKey},
    {KeyCharacter, 'M', "", ToggleWindows},
    {KeyCharacter, 'R', "", ReadBufferCommand},
    {KeyCharacter, 'S', "", StopKey},
    {KeyCharacter, 'T', "", ToggleTabs},
    {KeyCharacter, 'W', "", WriteBufferCommand},
    {KeyCharacter, 'X', "", ExecuteKey},
    {KeyCharacter, '!', "", UndoKey},
    {KeyCharacter, '@', "", CutUndoable},
    {KeyCharacter, '#', "", Copy},
    {KeyCharacter, '$', "", PasteUndoable},
    {KeyCursorUp, 0, "", Vertical},
    {KeyCursorDown, 0, "", Vertical},
    {KeyCursorLeft, 0, "", Horizontal},
    {KeyCursorRight, 0, "", Horizontal},
    {KeyKeypad0, 0, "OPEN LINE", OpenLine},
    {KeyKeypad1, 0, "CHNGCASE", CaseChange},
    {KeyKeypad2, 0, "DEL EOL", DeleteLineEnd},
    {KeyKeypad3, 0, "SPECINS", SpecialInsert},
    {KeyKeypad4, 0, "BOTTOM", Bottom},
    {KeyKeypad5, 0, "TOP", Top},
    {KeyKeypad6, 0, "PASTE", Paste},
    {KeyKeypad7, 0, "no gold", Nothing},
    {KeyKeypad9, 0, "REPLACE", ReplaceKey},
    {KeyEnter, 0, "SUBS", SubstituteKey},
    {KeyKeypadMinus, 0, "UND L", UndL},
    {KeyKeypadPlus, 0, "UND W", UndW},
    {KeyKeypadPoint, 0, "RESET", Reset},
    {KeyKeypadDivide, 0, "FndSel", FindSelectionKey},
    {KeyKeypadMultiply, 0, "FIND", FindKey},
};

const char* LabelOf(std::span<const Binding> table, std::uint8_t code) {
  for (const Binding& b : table)
    if (b.code == code) return b.label;
  return nullptr;
}

bool IsPrintable(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c >= 32 && c != 127;
}

Command Lookup(std::span<const Binding> table, std::uint8_t code, char ch) {
  const Binding* printable = nullptr;
  for (const Binding& b : table) {
    if (b.code != code) continue;
    if (code != KeyCharacter || b.ch == ch) return b.run;
    if (b.ch == kPrintable && IsPrintable(ch)) printable = &b;
  }
  return printable != nullptr ? printable->run : nullptr;
}

bool IsFunctionKey(std::uint8_t code) { return code >= KeyF1 && code <= KeyF15; }

// The commands that leave the text as it is: the ones a read-only text takes.
constexpr Command kViewing[] = {LineStart,
                                Rewrite,
                                TextSearch,
                                NumberSearch,
                                Vertical,
                                Horizontal,
                                Line,
                                Word,
                                Eol,
                                Char,
                                SetAdvance,
                                SetBackup,
                                Back,
                                Section,
                                EnterKey,
                                Select,
                                Help,
                                FindNextKey,
                                Home,
                                End,
                                PageUp,
                                PageDown,
                                ClearPaste,
                                EditBufferCommand,
                                FindKey,
                                LearnKey,
                                StopKey,
                                ToggleWindows,
                                WriteBufferCommand,
                                Copy,
                                Bottom,
                                Top,
                                Nothing,
                                Reset,
                                FindSelectionKey,
                                InvalidKey,
                                InvalidAfterGold};
bool Viewing(Command run) {
  return std::find(std::begin(kViewing), std::end(kViewing), run) != std::end(kViewing);
}
// F4 copies a line; F5, F7 and F8 show other windows; F6, F9, F10 and F11 are the
// debugger's (a breakpoint belongs to the text without changing it).
bool ViewingFunctionKey(std::uint8_t code) {
  return code == KeyF4 || code == KeyF5 || code == KeyF6 || code == KeyF7 || code == KeyF8 ||
         code == KeyF9 || code == KeyF10 || code == KeyF11;
}

// Without the keypad layout the four keys of its top row move one place.
std::uint8_t Translated(std::uint8_t code) {
  switch (code) {
  case KeyKeypadMinus:
    return KeyKeypadMultiply;
  case KeyKeypadPlus:
    return KeyKeypadMinus;
  case KeyKeypadDivide:
    return KeyKeypadEqual;
  case KeyKeypadMultiply:
    return KeyKeypadDivide;
  default:
    return code;
  }
}

// ---- Mouse and window events ----

// The text position under the last click or the dragged pointer.
Position PointerPosition() {
  const EditorState& e = Ed();
  std::int32_t row = 0;
  std::int32_t column = 0;
  ANSITerm::GetClickCell(e.terminal, row, column);
  row = std::clamp(row, 0, e.rows + 1);
  const std::int32_t line =
      std::clamp(static_cast<std::int32_t>(std::int64_t{e.topLine} + row - 1), 1, LastLine());
  const std::int64_t wanted = std::int64_t{column} + e.leftOffset;
  return Position{
      line, static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 1, LineLength(line) + 1))};
}

bool IsWordCharacter(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The word under the cursor becomes the select range (a double click).
void SelectWord() {
  EditorState& e = Ed();
  const Position c = Inside(e.cursor);
  const std::string_view text = Lines::View(e.current, c.line);
  const auto at = [&](std::int64_t i) -> unsigned char {
    return i >= 0 && i < static_cast<std::int64_t>(text.size())
               ? static_cast<unsigned char>(text[i])
               : 0;
  };
  const std::int64_t start = c.column - 1; // 0-based index of the character at the cursor
  std::int64_t left = start;
  while (left > 0) {
    const unsigned char ch = at(left - 1);
    const bool inside = IsWordCharacter(ch) || ch >= 128 || (ch == '.' && IsDigit(at(left)));
    if (!inside) break;
    --left;
  }
  std::int64_t right = start;
  const bool onApostrophe = at(start) == '\'';
  while (right < static_cast<std::int64_t>(text.size())) {
    const unsigned char ch = at(right);
    const bool afterDigit = right > 0 && IsDigit(at(right - 1));
    bool inside = IsWordCharacter(ch) || ch == '^';
    if (ch == '.') inside = afterDigit;
    if (ch == '\'') inside = afterDigit && !onApostrophe;
    if (ch >= 128) inside = !afterDigit;
    if (!inside) break;
    ++right;
  }
  ResetSelect();
  e.anchor = Position{c.line, static_cast<std::int32_t>(left) + 1};
  e.selectActive = e.anchor.column != right + 1;
  MoveTo(Position{c.line, static_cast<std::int32_t>(right) + 1});
  if (e.selectActive) RedrawLine(c.line);
}

// A triple click selects the whole line with its line break.
void SelectLine() {
  ResetSelect();
  const std::int32_t line = PointerPosition().line;
  PlaceCursor(line, 1, 0);
  OpenSelect();
  const Position next = line < LineCount() ? Position{line + 1, 1} : LineEnd(line);
  PlaceCursor(next.line, next.column, 1);
  RedrawLine(line);
  SetUndoKind(UndoKind::None);
}

void MouseDown(std::uint8_t modifiers) {
  EditorState& e = Ed();
  if ((modifiers & kModShift) != 0) {
    if (!e.selectActive) OpenSelect();
  } else if ((modifiers & kModCommand) == 0) {
    ResetSelect();
  }
  ClearEditMessage();
  MoveTo(PointerPosition());
}

void MouseDrag(std::uint8_t modifiers) {
  const EditorState& e = Ed();
  std::int32_t row = 0;
  std::int32_t column = 0;
  ANSITerm::GetClickCell(e.terminal, row, column);
  const Position p = PointerPosition();
  if (!e.selectActive && (modifiers & kModCommand) == 0) {
    const bool sideways = p.column != e.cursor.column;
    const bool scrolls = !(row == 1 && e.topLine == 1) && e.topLine + row < LastLine();
    if (!sideways && !scrolls) return;
    OpenSelect();
  }
  MoveTo(p);
}

// The window-event step: mouse events of the edit window and the window events. Returns
// the dispatcher's answer.
bool WindowEvent(std::uint8_t code, char ch, std::uint8_t modifiers) {
  EditorState& e = Ed();
  const Toolbox::Window w = ANSITerm::EventWindow();
  if (code <= KeyMouseStillDown && (w != e.window || e.current == nullptr)) return true;
  switch (code) {
  case KeyMouse:
    MouseDown(modifiers);
    return true;
  case KeyDoubleMouse:
    SelectWord();
    return true;
  case KeyTripleMouse:
    SelectLine();
    return true;
  case KeyMouseStillDown:
    MouseDrag(modifiers);
    return true;
  case KeyDeactivate:
    ANSITerm::ShowActive(e.terminal, false);
    return true;
  case KeyActivate:
    ANSITerm::ShowActive(e.terminal, true);
    return false;
  case KeyUpdate:
    RedrawScreen();
    return true;
  case KeyWindow:
    if (local.windowProc != nullptr) local.windowProc();
    if (w != nullptr) Toolbox::SelectWindow(w);
    return false;
  case KeyResized:
    if (w == e.window && e.current != nullptr) {
      // Entered again, so that rows and width follow the new size.
      EditWindows::SaveWindowState();
      EditWindows::EnterBuffer(e.current);
      RedrawScreen();
      PlaceCursor(e.cursor.line, e.cursor.column, e.scrollMargin);
    }
    return true;
  case KeyWindowClose:
    if (Buffer::Ref b = EditWindows::BufferOfWindow(w)) {
      EditWindows::CloseBufferWindow(b);
      return false;
    }
    // The Command window stays; the text it edits is closed, the command text shown again.
    if (w != nullptr && w == EditWindows::CommandWindow()) {
      if (EditWindows::CommandWindowBuffer() != Shell::CommandText()) ShowCommandWindow();
      return false;
    }
    // A plot's close box closes it; the text being edited stays as it is.
    Graphics::CloseByUser(w);
    return true;
  case KeyOSEvent:
    ANSITerm::ShowActive(e.terminal, ch != 0);
    return true;
  default:
    return true;
  }
}

// The text cursor over the edit window's content when that window is in front.
void AdjustPointer() {
  const EditorState& e = Ed();
  Toolbox::Point p;
  Events::GetMouse(p);
  Toolbox::LocalToGlobal(p);
  const bool over = e.window != nullptr && Toolbox::FrontWindow() == e.window &&
                    Toolbox::PtInRect(p, Toolbox::GetWindowRect(e.window));
  Toolbox::SetCursorShape(over ? Toolbox::CursorShape::IBeam : Toolbox::CursorShape::Arrow);
}

// The position display follows every command while no message covers it.
void Finish() {
  EditWindows::DrawChanged();
  const EditorState& e = Ed();
  if (e.showPosition && !e.messageShowing) DrawMessageLine();
  if (Drawing()) ANSITerm::FlushOutput(e.terminal);
}

void DrawView(const EditWindows::View& v) {
  const EditorState& e = Ed();
  if (v.buffer == e.current && v.terminal == e.terminal) {
    if (v.firstRow <= 1 && v.lastRow >= v.rows)
      RedrawScreen();
    else
      RedrawRows(v.firstRow, v.lastRow);
  } else {
    EditWindows::DrawPlain(v);
  }
}

} // namespace

// ---- The module ----

void Init() {
  if (local.initialised) return;
  local.initialised = true;
  Buffer::Init();
  Toolbox::Init();
  ANSITerm::Init();
  KeyEvents::Init();
  EditWindows::Init();
  Shell::Init();
  LineInput::Init();
  // The shell opens its windows before the editor starts: the edit terminal stays.
  EditorState& e = Ed();
  ANSITerm::TextWindow* terminal = e.terminal;
  Toolbox::Window window = e.window;
  InitState();
  e.terminal = terminal != nullptr ? terminal : EditWindows::CommandTerminal();
  e.window = window != nullptr ? window : EditWindows::CommandWindow();
  SetUndoKind(UndoKind::None);
  EditWindows::SetDrawProc(DrawView);
  Shell::SetMessageProc(ShowEditMessage);
}

void EditLoop() {
  for (;;) {
    std::uint8_t kind = 0;
    char ch = 0;
    std::uint8_t modifiers = 0;
    ReadEditKey(kind, ch, modifiers);
    if (!HandleEditKey(kind, ch, modifiers)) return;
  }
}

void EnterFrontWindow() {
  const EditorState& e = Ed();
  const Toolbox::Window front = Toolbox::FrontWindow();
  if (front == nullptr) return;
  const Buffer::Ref b = front == EditWindows::CommandWindow() ? EditWindows::CommandWindowBuffer()
                                                              : EditWindows::BufferOfWindow(front);
  if (b == nullptr || (b == e.current && front == e.window)) return;
  EditWindows::ShowBuffer(b, 0);
}

bool HandleEditKey(std::uint8_t& kind, char& ch, std::uint8_t& modifiers) {
  EditorState& e = Ed();
  if (kind == KeyNone || kind == KeyHandled) return true;
  if (keyFilter != nullptr && keyFilter(kind, ch, modifiers)) return true;
  AdjustPointer();
  CheckUndoOwner();
  if (kind >= KeyMouse) {
    const bool answer = WindowEvent(kind, ch, modifiers);
    e.goldPending = false;
    Finish();
    return answer;
  }
  if (!e.goldPending) {
    e.repeatCount = 1;
    e.countTyping = false;
  }
  ClearEditMessage();
  if (!e.keypadLayout) kind = Translated(kind);

  if (kind == KeyInsert) {
    e.goldPending = true;
    e.countTyping = false;
  } else if (e.goldPending && kind == KeyCharacter && ch >= '0' && ch <= '9') {
    if (!e.countTyping) {
      e.repeatCount = 0;
      e.countTyping = true;
    }
    if (e.repeatCount <= (kMaxRepeatCount - 9) / 10)
      e.repeatCount = e.repeatCount * 10 + (ch - '0');
    char text[kTextHigh + 1];
    Strings::Assign(text, kRepeatCount);
    NumberOut::AppendInt(e.repeatCount, text, 0);
    ShowEditMessage(text);
  } else if (e.goldPending && kind == KeyCharacter && ch == 27) {
    e.goldPending = false;
    ShowEditMessage(kRepeatCancelled);
  } else {
    // After digits the count applies to the key's plain function.
    if (e.countTyping) e.goldPending = false;
    const bool gold = e.goldPending;
    e.goldPending = false;
    const Args a{e.repeatCount, kind, ch, modifiers};
    const bool readOnly =
        readOnlyProc != nullptr && e.current != nullptr && readOnlyProc(e.current);
    if (IsFunctionKey(kind)) {
      if (readOnly && !ViewingFunctionKey(kind))
        RefuseReadOnly();
      else
        FunctionKey(a, gold);
    } else {
      const char key = gold && kind == KeyCharacter ? Strings::Cap(ch) : ch;
      Command run = gold ? Lookup(kGoldKeys, kind, key) : Lookup(kPlainKeys, kind, ch);
      if (run == nullptr) run = gold ? InvalidAfterGold : InvalidKey;
      if (readOnly && !Viewing(run))
        RefuseReadOnly();
      else
        run(a);
    }
  }
  Finish();
  return true;
}

// ---- The message line ----

void ShowEditMessage(Chars text) {
  EditorState& e = Ed();
  Strings::Assign(e.message, text);
  e.messageShowing = true;
  DrawMessageLine();
}

void ClearEditMessage() {
  EditorState& e = Ed();
  if (!e.messageShowing) return;
  e.messageShowing = false;
  DrawMessageLine();
}

void MessageLineText(VarChars text) {
  const EditorState& e = Ed();
  Strings::Clear(text);
  if (e.messageShowing) {
    Strings::Assign(text, e.message);
  } else if (e.showPosition && e.current != nullptr) {
    Strings::Assign(text, kLineLabel);
    NumberOut::AppendInt(e.cursor.line, text, 0);
    Strings::Append(text, kColumnLabel);
    NumberOut::AppendInt(e.cursor.column, text, 0);
  }
}

// ---- The screen ----

void ShowCursorAt(std::int32_t line, std::int32_t column) {
  PlaceCursor(line, column, Ed().scrollMargin);
}
void ShowCursor() { ShowCursorAt(Ed().cursor.line, Ed().cursor.column); }

void PlaceCursor(std::int32_t line, std::int32_t column, std::int32_t margin) {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  const std::int32_t count = LineCount();
  const std::int32_t last = LastLine();
  const std::int32_t rows = std::max(1, e.rows);
  const std::int32_t width = std::max(1, e.width);
  line = std::clamp(line, 1, last);
  column = std::max(1, column);
  margin = std::clamp(margin, 0, (rows - 1) / 2);

  const std::int32_t oldTop = e.topLine;
  std::int32_t top;
  if (count <= rows || line <= margin) {
    top = 1;
  } else if (line > last - margin) {
    top = last - rows + 1;
  } else if (line < oldTop + margin) {
    top = line - margin;
  } else if (line < oldTop + rows - margin) {
    top = oldTop;
  } else {
    top = line - rows + margin + 1;
  }
  top = std::max(1, top);

  const Position old = e.cursor;
  e.cursor = Position{line, column};
  e.desiredColumn = column;
  e.topLine = top;
  bool whole = false;
  if (column > e.leftOffset && column <= e.leftOffset + width) {
    const std::int32_t delta = top - oldTop;
    if (delta != 0) {
      const bool oldInView = old.line >= top && old.line < top + rows;
      if (std::abs(delta) < rows && oldInView && Drawing()) {
        ScrollView(delta);
      } else {
        whole = true;
      }
    }
    if (!whole && e.selectActive) RedrawRange(old.line, old.column, line, column);
  } else {
    e.leftOffset = column > e.leftOffset + width ? column - width : column - 1;
    whole = true;
  }
  if (whole) {
    RedrawScreen();
  } else {
    PutCursor();
  }
}

void RedrawRange(std::int32_t line1, std::int32_t, std::int32_t line2, std::int32_t) {
  const std::int32_t top = Ed().topLine;
  RedrawRows(std::min(line1, line2) - top + 1, std::max(line1, line2) - top + 1);
}

void RedrawScreen() {
  EditorState& e = Ed();
  if (!Drawing()) return;
  ANSITerm::ClearTerminal(e.terminal);
  if (e.current != nullptr) {
    for (std::int32_t row = 1; row <= e.rows; ++row) DrawRow(row);
  }
  DrawMessageLine();
  PutCursor();
  ANSITerm::FlushOutput(e.terminal);
}

// ---- Changing the text ----

void DeleteToPosition(std::int32_t line, std::int32_t column) {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  const Position here = Inside(e.cursor);
  const Position there = Inside(Position{line, column});
  const Position from = Before(there, here) ? there : here;
  const Position to = Before(there, here) ? here : there;
  if (from == to) {
    PlaceCursor(from.line, from.column, e.scrollMargin);
    return;
  }
  std::string joined(Lines::View(e.current, from.line));
  if (from.line == to.line) {
    joined.erase(static_cast<std::size_t>(from.column - 1),
                 static_cast<std::size_t>(to.column - from.column));
  } else {
    joined.resize(static_cast<std::size_t>(from.column - 1));
    joined += Lines::View(e.current, to.line).substr(static_cast<std::size_t>(to.column - 1));
  }
  {
    const EditWindows::EditorChange editor;
    if (!Lines::Set(e.current, from.line, joined)) return;
    if (to.line > from.line) Lines::Delete(e.current, from.line + 1, to.line - from.line);
  }
  if (e.selectActive) MoveWithDeletion(e.anchor, from, to);
  e.cursor = from;
  const std::int32_t added = BreakLongLine(from.line);
  if (to.line > from.line || added > 0) {
    RedrawFrom(from.line);
  } else {
    RedrawLine(from.line);
  }
  PlaceCursor(e.cursor.line, e.cursor.column, e.scrollMargin);
}

void InsertBufferAtCursor(Buffer::Ref source, std::int32_t count) {
  EditorState& e = Ed();
  const std::int32_t n = Lines::Count(source);
  if (e.current == nullptr || source == nullptr || n == 0) return;
  if (!CountFits(e.current, std::int64_t{n - 1} * count)) return;
  // One empty line adds nothing, however often.
  if (n == 1 && Lines::Length(source, 1) == 0) return;
  bool dropped = false;
  bool linesMoved = n > 1;
  std::int32_t first = Inside(e.cursor).line;
  std::size_t substitutes = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (MakeRoomForLines(n - 1)) dropped = true;
    const Position at = Inside(e.cursor);
    e.cursor = at;
    if (i == 0) first = at.line;
    if (!EditWindows::InsertBuffer(source, &substitutes)) break;
    if (e.selectActive) MoveWithInsertion(e.anchor, at, e.cursor);
    // The cursor line first: breaking the line above it moves it down.
    std::int32_t added = BreakLongLine(e.cursor.line);
    if (at.line != e.cursor.line) added += BreakLongLine(at.line);
    if (added > 0) linesMoved = true;
  }
  e.desiredColumn = e.cursor.column;
  if (dropped) {
    RedrawScreen();
  } else if (linesMoved) {
    RedrawFrom(first);
  } else {
    RedrawLine(first);
  }
  PlaceCursor(e.cursor.line, e.cursor.column, e.scrollMargin);
  if (substitutes > 0) {
    char message[kTextHigh + 1] = {};
    NumberOut::AppendInt(static_cast<std::int32_t>(std::min<std::size_t>(substitutes, INT32_MAX)),
                         message, 0);
    Strings::Append(message, kBeyondTheSet);
    ShowEditMessage(message);
  }
}

bool CountFits(Buffer::Ref b, std::int64_t lines) {
  if (lines < Lines::Capacity(b)) return true;
  ShowEditMessage(kCountTooLarge);
  return false;
}

bool MakeRoomForLines(std::int32_t n) {
  const EditWindows::EditorChange editor;
  EditorState& e = Ed();
  if (n <= 0 || e.current == nullptr) return false;
  const std::int32_t count = LineCount();
  if (std::int64_t{count} + n < Lines::Limit(e.current)) return false;
  const std::int32_t drop = std::min(n, count);
  if (drop <= 0) return false;
  Lines::Delete(e.current, 1, drop);
  for (Position* p : {&e.cursor, &e.anchor}) {
    p->line -= drop;
    if (p->line < 1) *p = Position{1, 1};
  }
  e.topLine = std::max(1, e.topLine - drop);
  return true;
}

// ---- The select range ----

void ResetSelect() {
  EditorState& e = Ed();
  if (!e.selectActive) return;
  const Range r = EditWindows::SelectRange();
  e.selectActive = false;
  RedrawRange(r.first.line, r.first.column, r.last.line, r.last.column);
}

void OpenSelect() {
  EditorState& e = Ed();
  e.anchor = e.cursor;
  e.selectActive = true;
}

void SelectAll() {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  e.anchor = Position{1, 1};
  e.cursor = LineEnd(LastLine());
  e.selectActive = true;
  RedrawScreen();
  PlaceCursor(e.cursor.line, e.cursor.column, e.scrollMargin);
}

void EditText(Buffer::Ref b) {
  if (b == nullptr) return;
  EnterForEditing(b);
  SetUndoKind(UndoKind::None);
}

void FunctionKeyCommand(std::uint8_t code, std::int32_t count) {
  if (code < KeyF1 || code > KeyF15) return;
  FunctionKey(Args{count, code, 0, 0}, false);
}

void SetCompileKey(void (*proc)()) { compileKey = proc; }
void SetDebugKeyProc(DebugKeyProc proc) { debugKey = proc; }

KeyLabels LabelsOf(std::uint8_t code) {
  return KeyLabels{LabelOf(kPlainKeys, code), LabelOf(kGoldKeys, code)};
}
void SetKeyFilter(KeyFilter filter) { keyFilter = filter; }
void SetWindowProc(WindowProc proc) { local.windowProc = proc; }

void SetReadOnlyProc(ReadOnlyProc proc) { readOnlyProc = proc; }

bool RefuseReadOnly() {
  const EditorState& e = Ed();
  if (readOnlyProc == nullptr || e.current == nullptr || !readOnlyProc(e.current)) return false;
  ShowEditMessage(kReadOnly);
  Toolbox::Beep(kDefaultBeep);
  return true;
}

} // namespace Editor
