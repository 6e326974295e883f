#include "editor/Find.h"

#include <algorithm>

#include "base/Charset.h"
#include "base/NumberIn.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/EditorState.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"
#include "store/Lines.h"
#include "windows/KeyEvents.h"

namespace Find {

namespace {

using Editor::EditorState;
using Editor::Position;

constexpr char kNoSearchString[] = "No search string";
constexpr char kFalseLineNumber[] = "False line number";
constexpr char kNotFound[] = "Search string not found";
constexpr char kNoSelectActive[] = "No select active ";
constexpr char kSelectionEmpty[] = "Selection is empty";
constexpr char kSelectionBeyond[] = "Selection holds characters beyond Windows-1252";

EditorState& Ed() { return Editor::State(); }

// The search string (characters of the set) as the current text holds it: in a text
// that keeps UTF-8 as it is, its UTF-8, which matches only whole characters there.
std::string Pattern() {
  const EditorState& e = Ed();
  std::string held;
  Charset::Recode(Charset::Coding::Utf8, Lines::CodingOf(e.current),
                  std::string_view(e.searchString, Strings::Length(e.searchString)), held);
  return held;
}

// The number the search string holds: digits, blanks around them allowed; 0 when it
// holds anything else.
std::int32_t LineNumber(base::Chars text) {
  std::size_t pos = 0;
  std::int32_t n = 0;
  if (!NumberIn::ScanInt(text, pos, n)) return 0;
  while (pos <= text.high && text[pos] == ' ') ++pos;
  return pos > text.high || text[pos] == 0 ? n : 0;
}

// Moves the view to a position found by the search steps: the cursor goes back to where
// the view last showed it, so that PlaceCursor repairs the screen from there.
void ShowFound(Position old) {
  EditorState& e = Ed();
  const Position found = e.cursor;
  e.cursor = old;
  Editor::PlaceCursor(found.line, found.column, e.scrollMargin);
}

// Finds count times or goes to the line; false when a search did not find all.
bool Next(std::int32_t count) {
  EditorState& e = Ed();
  bool ok = true;
  if (e.searchString[0] == 0) {
    Editor::ShowEditMessage(kNoSearchString);
    ok = false;
  } else if (e.lineNumberSearch) {
    const std::int32_t line = LineNumber(e.searchString);
    if (line > 0) {
      // A number beyond the text goes to its last line.
      Editor::PlaceCursor(std::min(line, std::max(1, Lines::Count(e.current))), 1, e.scrollMargin);
    } else {
      Editor::ShowEditMessage(kFalseLineNumber);
      ok = false;
    }
  } else {
    const Position old = e.cursor;
    std::int32_t found = 0;
    const std::string pattern = Pattern();
    while (found < count && EditWindows::SearchStep(pattern)) ++found;
    if (found > 0) ShowFound(old);
    if (found < count) {
      ok = false;
      Editor::ShowEditMessage(kNotFound);
      if (e.macro.state == Editor::MacroState::Executing) Editor::AbortMacro();
    }
  }
  Editor::BeginUndo(Editor::UndoKind::None);
  return ok;
}

// Deletes the search string's length of text at the cursor, where it matches.
void DeleteMatch() {
  const Position at = Ed().cursor;
  Editor::DeleteToPosition(at.line, at.column + MatchLength());
}

} // namespace

bool FindNext(std::int32_t count) { return Next(count); }

bool MatchAtCursor() { return EditWindows::MatchAtCursor(Pattern()); }

std::int32_t MatchLength() { return static_cast<std::int32_t>(Pattern().size()); }

void FindPrompt(std::int32_t count) {
  EditorState& e = Ed();
  char answer[Editor::kTextHigh + 1];
  Strings::Assign(answer, e.searchString);
  std::uint8_t kind = 0;
  char ch = 0;
  std::uint8_t modifiers = 0;
  const bool keyboard = Editor::PromptLine("Find: ", answer, kind, ch, modifiers);
  Strings::Assign(e.searchString, answer);
  if (!keyboard || e.searchString[0] == 0) return;
  if (kind == KeyEvents::KeyKeypad5) e.direction = Editor::Direction::Backup;
  if (kind == KeyEvents::KeyKeypad4) e.direction = Editor::Direction::Advance;
  Next(count);
}

void FindSelection(std::int32_t count) {
  EditorState& e = Ed();
  Editor::BeginUndo(Editor::UndoKind::None);
  if (!e.selectActive || e.current == nullptr) {
    Editor::ShowEditMessage(kNoSelectActive);
    return;
  }
  const EditWindows::Range r = EditWindows::SelectRange();
  const std::string_view line = Lines::View(e.current, r.first.line);
  const std::size_t from =
      std::min(line.size(), static_cast<std::size_t>(std::max(1, r.first.column) - 1));
  std::size_t to = line.size();
  if (r.last.line == r.first.line) {
    to = std::clamp(static_cast<std::size_t>(std::max(1, r.last.column) - 1), from, line.size());
  }
  if (to == from) {
    // The search string stays what it was.
    Editor::ShowEditMessage(kSelectionEmpty);
    return;
  }
  std::string selected;
  if (Charset::Recode(Lines::CodingOf(e.current), Charset::Coding::Utf8,
                      line.substr(from, to - from), selected) > 0) {
    Editor::ShowEditMessage(kSelectionBeyond);
    return;
  }
  Strings::Assign(e.searchString, base::CharsOf(selected));
  Editor::ResetSelect();
  const Position target = e.direction == Editor::Direction::Advance ? r.last : r.first;
  Editor::PlaceCursor(target.line, target.column, e.scrollMargin);
  const bool lineNumbers = e.lineNumberSearch;
  e.lineNumberSearch = false;
  Next(count);
  e.lineNumberSearch = lineNumbers;
}

void Replace(std::int32_t count) {
  EditorState& e = Ed();
  Editor::BeginUndo(Editor::UndoKind::None);
  if (e.selectActive) {
    const Position anchor = e.anchor;
    Editor::ResetSelect();
    Editor::DeleteToPosition(anchor.line, anchor.column);
    Editor::PasteCount(count);
    return;
  }
  // Each replacement needs a match at the cursor: the text after a replacement is not
  // the search string unless it matches there again.
  for (std::int32_t i = 0; i < count && MatchAtCursor(); ++i) {
    DeleteMatch();
    Editor::PasteCount(1);
  }
}

void Substitute(std::int32_t count) {
  Editor::BeginUndo(Editor::UndoKind::None);
  if (!MatchAtCursor()) return;
  for (std::int32_t i = 0; i < count; ++i) {
    Replace(1);
    if (!MatchAtCursor() && !Next(1)) break;
  }
}

void ReplaceLoop(bool all) {
  EditorState& e = Ed();
  if (!MatchAtCursor()) {
    // Replace once shows the match first; the user chooses Replace again.
    if (!Next(1) || !all) return;
  }
  while (MatchAtCursor()) {
    const Position at = e.cursor;
    DeleteMatch();
    Editor::BeginUndo(Editor::UndoKind::None);
    Editor::PasteCount(1);
    if (e.direction == Editor::Direction::Backup) {
      // The replacement lies after the cursor and is not searched again, not even when
      // it begins with the search string.
      Editor::PlaceCursor(at.line, at.column, e.scrollMargin);
      if (!Next(1)) return;
    } else if (!MatchAtCursor() && !Next(1)) {
      return;
    }
    if (!all) return;
  }
}

} // namespace Find

// ---- The Edit menu's commands ----

namespace Editor {

namespace {

using namespace KeyEvents;

// The key that gives a keypad function: without the keypad layout the dispatcher moves
// the top row of the keypad one place, so the macro must hold the key that moves there.
std::uint8_t KeyOf(std::uint8_t function) {
  if (State().keypadLayout) return function;
  switch (function) {
  case KeyKeypadMultiply:
    return KeyKeypadMinus;
  case KeyKeypadDivide:
    return KeyKeypadMultiply;
  default:
    return function;
  }
}

void AppendGold(std::uint8_t code, char ch = 0) {
  AppendMacroKey(KeyInsert, 0);
  AppendMacroKey(code, ch);
}

// A menu command starts with the direction the shift key gives; the direction it had
// before is returned for the learned macro.
Direction DirectionFromShift() {
  EditorState& e = State();
  const Direction before = e.direction;
  e.direction = (CurrentModifiers() & kModShift) != 0 ? Direction::Backup : Direction::Advance;
  return before;
}

// The advance or backup key when the command changed the direction.
void AppendDirection(Direction before) {
  const Direction now = State().direction;
  if (now != before) AppendMacroKey(now == Direction::Advance ? KeyKeypad4 : KeyKeypad5, 0);
}

// Closes an open select range (RESET in a learned macro).
void CloseSelect() {
  if (!State().selectActive) return;
  ResetSelect();
  AppendGold(KeyKeypadPoint);
}

// 28 turns the line-number search off, 29 on.
void AppendLineNumberFlag(bool before) {
  const bool now = State().lineNumberSearch;
  if (now != before) AppendMacroKey(KeyCharacter, now ? 29 : 28);
}

bool NoSearchString() {
  if (State().searchString[0] != 0) return false;
  ShowEditMessage(Find::kNoSearchString);
  return true;
}

} // namespace

void FindDialogCommand() {
  EditorState& e = State();
  const Direction before = DirectionFromShift();
  char search[kTextHigh + 1];
  Strings::Assign(search, e.searchString);
  char unused[kTextHigh + 1] = {};
  bool backwards = e.direction == Direction::Backup;
  bool lineNumbers = e.lineNumberSearch;
  const int button =
      Toolbox::FindDialog(Toolbox::FindDialogKind::Find, search, unused, backwards, lineNumbers);
  if (button == Toolbox::kFindButton)
    e.direction = backwards ? Direction::Backup : Direction::Advance;
  AppendDirection(before);
  if (button != Toolbox::kFindButton || search[0] == 0) return;
  const bool numbersBefore = e.lineNumberSearch;
  Strings::Assign(e.searchString, search);
  e.lineNumberSearch = lineNumbers;
  CloseSelect();
  AppendLineNumberFlag(numbersBefore);
  // GOLD F with the search string typed over the prompt's preset answer.
  AppendGold(KeyCharacter, 'F');
  const std::size_t length = Strings::Length(e.searchString);
  for (std::size_t i = 0; i < length; ++i) AppendMacroKey(KeyCharacter, e.searchString[i]);
  AppendMacroKey(KeyCharacter, 13);
  Find::FindNext(1);
}

void FindSame() {
  AppendDirection(DirectionFromShift());
  if (NoSearchString()) return;
  CloseSelect();
  AppendMacroKey(KeyOf(KeyKeypadMultiply), 0);
  Find::FindNext(1);
}

void FindSelection() {
  AppendDirection(DirectionFromShift());
  AppendGold(KeyOf(KeyKeypadDivide));
  Find::FindSelection(1);
}

void ReplaceDialogCommand() {
  EditorState& e = State();
  const Direction before = DirectionFromShift();
  char search[kTextHigh + 1];
  Strings::Assign(search, e.searchString);
  // The replacement shown is what a paste would insert now.
  ImportPasteBuffer();
  char replacement[kTextHigh + 1];
  Lines::Get(Buffer::Find(kPasteBufferPath), 1, replacement);
  bool backwards = e.direction == Direction::Backup;
  bool lineNumbers = false;
  const int button = Toolbox::FindDialog(Toolbox::FindDialogKind::Replace, search, replacement,
                                         backwards, lineNumbers);
  const bool taken = button == Toolbox::kFindButton || button == Toolbox::kFindReplaceAll ||
                     button == Toolbox::kFindFindButton;
  if (taken) e.direction = backwards ? Direction::Backup : Direction::Advance;
  AppendDirection(before);
  if (!taken) return;
  Strings::Assign(e.searchString, search);
  CloseSelect();
  const bool numbersBefore = e.lineNumberSearch;
  e.lineNumberSearch = false;
  AppendLineNumberFlag(numbersBefore);
  SetPasteLine(replacement);
  if (button == Toolbox::kFindFindButton) {
    Find::FindNext(1);
  } else {
    Find::ReplaceLoop(button == Toolbox::kFindReplaceAll);
  }
}

void ReplaceSame() {
  AppendDirection(DirectionFromShift());
  if (NoSearchString()) return;
  CloseSelect();
  AppendGold(KeyEnter);
  Find::ReplaceLoop(false);
}

} // namespace Editor
