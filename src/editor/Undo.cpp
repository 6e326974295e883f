// The select range, the paste buffer and its clipboard mirror, the delete commands with
// their registers, Change Case, and the single level of undo and redo.
//
// Three fixed text buffers carry the roles: the paste buffer, "/Shell/Edit.Undo1" with
// the text the last operation removed (or the paste buffer it replaced), and
// "/Shell/Edit.Undo2", which exists only while an operation needs a second text. The
// roles move between them by renaming, so that an undo of an undo is a redo.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "base/Charset.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editor/Find.h"
#include "editwin/EditWindows.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"
#include "store/Lines.h"

namespace Editor {

using Buffer::Ref;

namespace {

constexpr char kPastePath[] = "/Shell/Edit.Paste";
constexpr char kUndo1Path[] = "/Shell/Edit.Undo1";
constexpr char kUndo2Path[] = "/Shell/Edit.Undo2";

// The editor's lines hold at most this many characters; the clipboard import breaks
// longer ones.
using base::kLineHigh;

constexpr const char* kMenuTexts[] = {
    "Can't Undo",  "Undo Typing",      "Undo Paste",       "Undo Copy",        "Undo Cut",
    "Undo Clear",  "Undo Change Case", "Undo Change Case", "Undo Change Case", "Undo Delete",
    "Undo Delete", "Undo Delete",      "Undo last Undo",
};
static_assert(std::size(kMenuTexts) == static_cast<std::size_t>(UndoKind::UndoUndo) + 1);

struct UndoRecord {
  UndoKind kind = UndoKind::None;
  Ref owner = nullptr; // the buffer in which the operation happened
  Position start;      // the undone text runs from here to the cursor
  UndoMenuProc menuProc = nullptr;
};

UndoRecord undo;

EditorState& Ed() { return State(); }

bool Before(Position a, Position b) {
  return a.line < b.line || (a.line == b.line && a.column < b.column);
}

std::string LineText(Ref b, std::int32_t line) { return std::string(Lines::View(b, line)); }

std::int32_t LineLength(Ref b, std::int32_t line) { return Lines::Length(b, line); }

// The cursor held inside the text of the current buffer.
Position Cursor() {
  const Ref b = Ed().current;
  Position p = Ed().cursor;
  p.line = std::clamp(p.line, 1, std::max(1, Lines::Count(b)));
  p.column = std::clamp(p.column, 1, LineLength(b, p.line) + 1);
  return p;
}

// Puts the cursor inside the text, where every deletion starts from, and returns it.
Position SettleCursor() {
  const Position p = Cursor();
  Ed().cursor = p;
  return p;
}

// The text between two positions of the current buffer, split at its line breaks;
// at least one (empty) line.
std::vector<std::string> RangeLines(Position from, Position to) {
  std::vector<std::string> parts = EditWindows::RangeLines(from, to);
  if (parts.empty()) parts.emplace_back();
  return parts;
}

void BringViewToCursor() {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  const Position p = Cursor();
  PlaceCursor(p.line, p.column, e.scrollMargin);
}

bool OwnerIsCurrent() { return undo.owner != nullptr && undo.owner == Ed().current; }

// ---- The fixed buffers ----

Ref Fixed(const char* path) { return Buffer::Find(base::CharsOf(path)); }

// A fixed buffer that the editor or a window refers to. Renaming or deleting it would
// leave those references dangling and replacing it would wipe the text on screen, so
// the commands that would do either stop while one of them is held.
bool Held(Ref b) { return EditWindows::Shown(b); }

bool FixedBuffersFree() {
  return !Held(Fixed(kPastePath)) && !Held(Fixed(kUndo1Path)) && !Held(Fixed(kUndo2Path));
}

// A new empty text at path, in the coding of the current text, from which it is filled
// (a text from elsewhere sets its own); nullptr when it cannot be made.
Ref MakeFixed(const char* path) {
  if (Held(Fixed(path))) return nullptr;
  Ref b = Buffer::Create(base::CharsOf(path), Buffer::BufferKind::Text);
  if (b != nullptr && !Lines::SetForm(b, Lines::Form{Lines::CodingOf(Ed().current)}))
    Buffer::Delete(b);
  return b;
}

void DropFixed(const char* path) {
  Ref b = Fixed(path);
  if (b != nullptr && !Held(b)) Buffer::Delete(b);
}

// Gives the buffer at `from`, when there is one, the name `to`, which must be free.
bool MoveFixed(const char* from, const char* to) {
  const Ref b = Fixed(from);
  if (b == nullptr) return true;
  return Buffer::Rename(b, base::CharsOf(to)) != nullptr;
}

// ---- Undo records ----

// Copy, Cut and Clear keep the paste buffer they replace as the undo text.
bool BeginPasteUndo(UndoKind kind) {
  if (!FixedBuffersFree()) {
    SetUndoKind(UndoKind::None);
    return false;
  }
  undo.owner = Ed().current;
  DropFixed(kUndo1Path);
  if (!MoveFixed(kPastePath, kUndo1Path)) {
    SetUndoKind(UndoKind::None);
    return false;
  }
  SetUndoKind(kind);
  return true;
}

// Typing, Paste and Delete: the undo text receives an open select range, which is then
// deleted, so that typed or pasted text replaces it.
bool BeginTextUndo(UndoKind kind) {
  EditorState& e = Ed();
  const bool continuing =
      kind == UndoKind::Typing && undo.kind == UndoKind::Typing && OwnerIsCurrent();
  Ref text = continuing ? Fixed(kUndo1Path) : nullptr;
  if (text == nullptr || Held(text)) {
    text = MakeFixed(kUndo1Path);
    if (text == nullptr) {
      SetUndoKind(UndoKind::None);
      return false;
    }
    if (!continuing) undo.start = Cursor();
  }
  if (e.selectActive) {
    const EditWindows::Range r = EditWindows::SelectRange();
    if (!EditWindows::CopyRange(text, r.first, r.last)) {
      SetUndoKind(UndoKind::None);
      return false;
    }
    const Position anchor = e.anchor;
    e.selectActive = false;
    DeleteToPosition(anchor.line, anchor.column);
    undo.start = Cursor();
  } else if (kind == UndoKind::Paste) {
    undo.start = Cursor();
  }
  undo.owner = e.current;
  SetUndoKind(kind);
  return true;
}

bool Begin(UndoKind kind) {
  if (Ed().current == nullptr) {
    SetUndoKind(UndoKind::None);
    return false;
  }
  BringViewToCursor();
  switch (kind) {
  case UndoKind::Copy:
  case UndoKind::Cut:
  case UndoKind::Clear:
    return BeginPasteUndo(kind);
  case UndoKind::Typing:
  case UndoKind::Paste:
  case UndoKind::Delete:
    return BeginTextUndo(kind);
  default:
    SetUndoKind(UndoKind::None);
    return true;
  }
}

// Adds deleted text, split at its line breaks, to the Delete record: after its end for
// a forward deletion, before its start for a backward one. Deletions in a row thus
// collect in text order everything deleted since the last other operation.
bool AddDeleted(UndoKind request, const std::vector<std::string>& parts) {
  Ref text = undo.kind == UndoKind::Delete && OwnerIsCurrent() ? Fixed(kUndo1Path) : nullptr;
  if (text == nullptr || Held(text) || Lines::Count(text) == 0) {
    text = MakeFixed(kUndo1Path);
    if (text == nullptr || !Lines::Append(text, "")) {
      SetUndoKind(UndoKind::None);
      return false;
    }
    undo.owner = Ed().current;
  }
  SetUndoKind(UndoKind::Delete);
  bool ok = true;
  if (request == UndoKind::DeleteFwd) {
    const std::int32_t last = Lines::Count(text);
    ok = Lines::Set(text, last, LineText(text, last) + parts.front());
    for (std::size_t i = 1; ok && i < parts.size(); ++i) ok = Lines::Append(text, parts[i]);
  } else {
    const auto added = static_cast<std::int32_t>(parts.size()) - 1;
    ok = Lines::Set(text, 1, parts.back() + LineText(text, 1)) && Lines::Insert(text, 1, added);
    for (std::int32_t i = 0; ok && i < added; ++i) ok = Lines::Set(text, i + 1, parts[i]);
  }
  if (!ok) SetUndoKind(UndoKind::None);
  return ok;
}

// Records the text between from and to (in text order) before it changes: a copy for
// Change Case, the deleted text for the delete requests.
bool RecordRange(UndoKind kind, Position from, Position to) {
  BringViewToCursor();
  if (kind == UndoKind::DeleteBack || kind == UndoKind::DeleteFwd) {
    return AddDeleted(kind, RangeLines(from, to));
  }
  const Ref text = MakeFixed(kUndo1Path);
  if (text == nullptr || !EditWindows::CopyRange(text, from, to)) {
    SetUndoKind(UndoKind::None);
    return false;
  }
  undo.owner = Ed().current;
  undo.start = kind == UndoKind::CaseAtEnd ? from : to;
  SetUndoKind(kind);
  return true;
}

// ---- Deletion ----

// The part of `line` that the deletion between from and to covers.
std::string DeletedPart(std::int32_t line, Position from, Position to) {
  std::string text = LineText(Ed().current, line);
  const std::size_t end = line == to.line
                              ? std::min(text.size(), static_cast<std::size_t>(to.column - 1))
                              : text.size();
  const std::size_t begin =
      line == from.line ? std::min(end, static_cast<std::size_t>(from.column - 1)) : 0;
  return text.substr(begin, end - begin);
}

// Deletes from the cursor to `to` after recording the deleted text for undo; nothing
// happens when there is nothing to delete or the record cannot be made.
bool DeleteRecorded(Position to, UndoKind request) {
  const Position at = Cursor();
  if (to == at) return false;
  const Position from = Before(to, at) ? to : at;
  const Position end = Before(to, at) ? at : to;
  if (!RecordRange(request, from, end)) return false;
  Ed().cursor = at;
  DeleteToPosition(to.line, to.column);
  return true;
}

// A delete command: deletes to `to` and, when it did, keeps `part` in the register
// (text and line-break flag) that UND L or UND W restores.
void DeleteKeeping(Position to, UndoKind request, char (&text)[kTextHigh + 1], bool& lineBreak,
                   const std::string& part, bool isBreak) {
  if (!DeleteRecorded(to, request)) return;
  Strings::Assign(text, base::CharsOf(part));
  lineBreak = isBreak;
}

// ---- Change Case ----

// The letters of the set change case; in a text that keeps UTF-8 as it is, only those
// of ASCII, so that no byte of another character changes.
void ChangeLetters(Position first, Position last) {
  const EditWindows::EditorChange editor;
  const Ref b = Ed().current;
  const bool asciiOnly = Charset::HoldsUtf8(Lines::CodingOf(b));
  const auto IsUpper = [asciiOnly](char c) {
    return asciiOnly ? c >= 'A' && c <= 'Z' : Charset::IsUpper(c);
  };
  const auto IsLower = [asciiOnly](char c) {
    return asciiOnly ? c >= 'a' && c <= 'z' : Charset::IsLower(c);
  };
  const std::string_view head = Lines::View(b, first.line);
  if (first.column > static_cast<std::int32_t>(head.size())) return;
  const char decider = head[static_cast<std::size_t>(first.column - 1)];
  if (!IsUpper(decider) && !IsLower(decider)) return;
  const bool toLower = IsUpper(decider);
  for (std::int32_t line = first.line; line <= last.line; ++line) {
    std::string text = LineText(b, line);
    const std::size_t end = line == last.line
                                ? std::min(text.size(), static_cast<std::size_t>(last.column - 1))
                                : text.size();
    const std::size_t begin =
        line == first.line ? std::min(end, static_cast<std::size_t>(first.column - 1)) : 0;
    bool changed = false;
    for (std::size_t i = begin; i < end; ++i) {
      char& c = text[i];
      const char to =
          toLower ? (IsUpper(c) ? Charset::Lower(c) : c) : (IsLower(c) ? Charset::Upper(c) : c);
      changed = changed || to != c;
      c = to;
    }
    if (changed) (void)Lines::Set(b, line, text);
  }
}

// ---- Paste buffer ----

// The clipboard's text (the desktop's UTF-8) as the new paste buffer. Text whose every
// character is in the set becomes those characters; text with others stays UTF-8 (the
// paste buffer's coding says so), and each paste makes of it what its text can hold.
bool Import() {
  const Ref paste = MakeFixed(kPastePath);
  if (paste == nullptr) return false;
  std::string utf8;
  if (!Toolbox::GetClipboardText(utf8)) return true;
  // The export ends the text with a 0 byte; nothing after one belongs to it.
  utf8.resize(std::min(utf8.size(), utf8.find('\0')));
  if (utf8.empty()) return true;
  const bool kept = Charset::Classify(utf8) == Charset::Utf8Kind::BeyondSet;
  std::string text;
  if (kept)
    text = std::move(utf8);
  else
    Charset::FromUtf8(utf8, text);
  const Charset::Coding coding = kept ? Charset::Coding::Utf8Bytes : Charset::Coding::Utf8;
  if (!Lines::SetForm(paste, Lines::Form{coding})) return true;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    // CR ends a line and the LF of CR LF is dropped; a lone LF, the line end of the
    // host's own programs, ends a line as well.
    if (c == '\r' || (c == '\n' && (i == 0 || text[i - 1] != '\r'))) {
      if (!Lines::Append(paste, line)) return true;
      line.clear();
    } else if (c != '\n') {
      // A longer line breaks, but not inside a character kept as UTF-8.
      const std::size_t size = kept ? Charset::SequenceLength(c) : 1;
      if (size > 0 && line.size() + size > kLineHigh) {
        if (!Lines::Append(paste, line)) return true;
        line.clear();
      }
      line.push_back(c);
    }
  }
  (void)Lines::Append(paste, line);
  return true;
}

// The range between the cursor and the anchor appended to the paste buffer; false when
// the paste buffer could not take all of it.
bool SelectionToPaste(Ref paste) {
  const EditWindows::Range r = EditWindows::SelectRange();
  return paste != nullptr && EditWindows::CopyRange(paste, r.first, r.last);
}

// Closes the select range and deletes its text.
void DeleteSelection() {
  EditorState& e = Ed();
  const Position anchor = e.anchor;
  e.selectActive = false;
  DeleteToPosition(anchor.line, anchor.column);
}

// Copy and Clear are undone by giving the paste buffer and the undo text each other's
// name.
void SwapPasteAndUndoText() {
  SetUndoKind(UndoKind::None);
  if (!FixedBuffersFree()) return;
  DropFixed(kUndo2Path);
  if (MoveFixed(kPastePath, kUndo2Path) && MoveFixed(kUndo1Path, kPastePath)) {
    (void)MoveFixed(kUndo2Path, kUndo1Path);
  }
  ExportPasteBuffer();
}

// The cut text comes back selected at the cursor, and the paste buffer it replaced is
// the paste buffer again.
void UndoCut() {
  EditorState& e = Ed();
  SetUndoKind(UndoKind::None);
  if (!FixedBuffersFree()) return;
  const Position at = Cursor();
  e.selectActive = false;
  if (const Ref paste = Fixed(kPastePath); paste != nullptr) InsertBufferAtCursor(paste, 1);
  e.anchor = at;
  e.selectActive = true;
  RedrawRange(at.line, at.column, e.cursor.line, e.cursor.column);
  BringViewToCursor();
  DropFixed(kPastePath);
  (void)MoveFixed(kUndo1Path, kPastePath);
  ExportPasteBuffer();
}

} // namespace

// ---- Undo kind ----

UndoKind CurrentUndoKind() { return undo.kind; }

void SetUndoKind(UndoKind kind) {
  if (kind == UndoKind::DeleteBack || kind == UndoKind::DeleteFwd) kind = UndoKind::Delete;
  if (kind == undo.kind) return;
  undo.kind = kind;
  if (undo.menuProc != nullptr) {
    char text[32];
    UndoMenuText(text);
    undo.menuProc(Chars(text, sizeof text - 1));
  }
}

void SetUndoMenuProc(UndoMenuProc proc) { undo.menuProc = proc; }

void UndoMenuText(VarChars text) {
  Strings::Assign(text, base::CharsOf(kMenuTexts[static_cast<std::size_t>(undo.kind)]));
}

void CheckUndoOwner() {
  if (!OwnerIsCurrent()) SetUndoKind(UndoKind::None);
}

void BeginUndo(UndoKind kind) { (void)Begin(kind); }

void Undo() {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  BringViewToCursor();
  if (!OwnerIsCurrent()) {
    SetUndoKind(UndoKind::None);
    return;
  }
  bool remove = false;
  switch (undo.kind) {
  case UndoKind::Typing:
  case UndoKind::Paste:
    if (e.selectActive) {
      SetUndoKind(UndoKind::None);
      return;
    }
    remove = Before(undo.start, Cursor());
    break;
  case UndoKind::Copy:
  case UndoKind::Clear:
    SwapPasteAndUndoText();
    return;
  case UndoKind::Cut:
    UndoCut();
    return;
  case UndoKind::CaseAtEnd:
  case UndoKind::CaseAtStart:
  case UndoKind::CaseBefore: {
    if (undo.kind == UndoKind::CaseBefore) e.cursor = EditWindows::CharsForward(1);
    e.anchor = undo.start;
    const EditWindows::Range r = EditWindows::SelectRange();
    undo.start = r.first;
    e.cursor = r.last;
    remove = !(r.first == r.last);
    break;
  }
  case UndoKind::Delete:
    undo.start = Cursor();
    break;
  case UndoKind::UndoUndo:
    if (e.selectActive) {
      const EditWindows::Range r = EditWindows::SelectRange();
      undo.start = r.first;
      e.cursor = r.last;
      remove = !(r.first == r.last);
    }
    break;
  default:
    return;
  }
  if (!FixedBuffersFree()) {
    SetUndoKind(UndoKind::None);
    return;
  }
  e.selectActive = false;
  Ref removed = nullptr;
  if (remove) {
    removed = MakeFixed(kUndo2Path);
    if (removed == nullptr || !EditWindows::CopyRange(removed, undo.start, e.cursor)) {
      DropFixed(kUndo2Path);
      SetUndoKind(UndoKind::None);
      return;
    }
    DeleteToPosition(undo.start.line, undo.start.column);
  }
  if (Ref saved = Fixed(kUndo1Path); saved != nullptr) {
    InsertBufferAtCursor(saved, 1);
    Buffer::Delete(saved);
  }
  if (removed != nullptr && Buffer::Rename(removed, base::CharsOf(kUndo1Path)) == nullptr) {
    DropFixed(kUndo2Path);
  }
  SetUndoKind(UndoKind::UndoUndo);
  e.anchor = undo.start;
  e.selectActive = !(e.cursor == undo.start);
  BringViewToCursor();
  RedrawScreen();
}

// ---- Paste buffer and clipboard ----

void ExportPasteBuffer() {
  const Ref paste = Fixed(kPastePath);
  const Charset::Coding coding = Lines::CodingOf(paste);
  std::string text;
  for (std::int32_t n = 1; n <= Lines::Count(paste); ++n) {
    if (n > 1) text += "\r\n";
    text += Charset::Utf8Of(coding, Lines::View(paste, n));
  }
  text.push_back('\0');
  Toolbox::PutClipboardText(text);
}

void ImportPasteBuffer() { (void)Import(); }

void SetPasteLine(Chars text) {
  const Ref paste = MakeFixed(kPastePath);
  if (paste == nullptr || !Lines::SetForm(paste, Lines::Form{})) return;
  (void)Lines::Append(paste, text);
  ExportPasteBuffer();
}

void PasteCount(std::int32_t count) {
  EditorState& e = Ed();
  if (e.current == nullptr || !Import()) return;
  const Ref paste = Fixed(kPastePath);
  if (count < 1 || Lines::Count(paste) == 0) {
    BringViewToCursor();
    return;
  }
  const std::int32_t before = Lines::Count(e.current);
  const std::int32_t added = (Lines::Count(paste) - 1) * count;
  InsertBufferAtCursor(paste, count);
  // Lines the line capacity rule dropped from the top move the pasted text up.
  const std::int32_t dropped = before + added - Lines::Count(e.current);
  if (dropped > 0 && undo.kind == UndoKind::Paste && OwnerIsCurrent()) {
    undo.start.line -= dropped;
    if (undo.start.line < 1) undo.start = Position{};
  }
}

void CutToPaste() {
  EditorState& e = Ed();
  BeginUndo(UndoKind::None);
  if (!e.selectActive) {
    ShowEditMessage("No select active");
    return;
  }
  if (!FixedBuffersFree()) return;
  DropFixed(kPastePath);
  AppendToPaste();
}

void AppendToPaste() {
  EditorState& e = Ed();
  if (!e.selectActive) {
    ShowEditMessage("No select range");
    return;
  }
  BeginUndo(UndoKind::None);
  if (Held(Fixed(kPastePath))) return;
  const Ref paste = Buffer::Open(base::CharsOf(kPastePath), Buffer::BufferKind::Text);
  const bool copied = SelectionToPaste(paste);
  ExportPasteBuffer();
  if (copied) DeleteSelection();
}

void CutWithUndo() {
  EditorState& e = Ed();
  if (!e.selectActive) {
    ShowEditMessage("No select active");
    return;
  }
  if (!Begin(UndoKind::Cut)) return;
  const bool copied = SelectionToPaste(MakeFixed(kPastePath));
  if (copied) DeleteSelection();
  ExportPasteBuffer();
  if (!copied) SetUndoKind(UndoKind::None);
}

void CopyToPaste() {
  if (!Ed().selectActive) {
    ShowEditMessage("No select active");
    return;
  }
  if (!Begin(UndoKind::Copy)) return;
  (void)SelectionToPaste(MakeFixed(kPastePath));
  ExportPasteBuffer();
}

void PasteWithUndo(std::int32_t count) {
  if (Begin(UndoKind::Paste)) PasteCount(count);
}

void ClearPasteBuffer() {
  if (!Begin(UndoKind::Clear)) return;
  DropFixed(kPastePath);
  ExportPasteBuffer();
  Toolbox::ClearClipboard();
  ShowEditMessage("Paste buffer cleared.");
}

// ---- Delete commands ----

void DeleteSelectRange() {
  EditorState& e = Ed();
  if (!e.selectActive) return;
  const EditWindows::Range r = EditWindows::SelectRange();
  if (r.first == r.last) {
    ResetSelect();
    SetUndoKind(UndoKind::None);
    return;
  }
  BeginUndo(UndoKind::Delete);
}

void DeleteChars(std::int32_t count, bool forward) {
  if (Ed().current == nullptr) return;
  SettleCursor();
  const Position to =
      forward ? EditWindows::CharsForward(count) : EditWindows::CharsBackward(count);
  (void)DeleteRecorded(to, forward ? UndoKind::DeleteFwd : UndoKind::DeleteBack);
}

void DeleteWords(std::int32_t count, bool forward) {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  const Position at = SettleCursor();
  const Position to = forward ? EditWindows::WordsForward(count).position
                              : EditWindows::WordsBackward(count).position;
  // The register keeps the deleted part of the line the deletion reached.
  const Position from = forward ? at : to;
  const Position end = forward ? to : at;
  const std::string part = DeletedPart(to.line, from, end);
  DeleteKeeping(to, forward ? UndoKind::DeleteFwd : UndoKind::DeleteBack, e.deletedWord,
                e.deletedWordBreak, part, part.empty() && from.line != end.line);
}

void DeleteLines(std::int32_t count) {
  EditorState& e = Ed();
  const Ref b = e.current;
  if (b == nullptr) return;
  const Position at = SettleCursor();
  const std::int32_t last = std::max(1, Lines::Count(b));
  const Position to = at.line + count <= last ? Position{at.line + count, 1}
                                              : Position{last, LineLength(b, last) + 1};
  if (to == at || Before(to, at)) return;
  // The last line involved is the one before the line start the deletion ends at.
  const bool endsAtLineStart = to.column == 1 && to.line > at.line;
  const std::int32_t involved = endsAtLineStart ? to.line - 1 : to.line;
  const Position partEnd = endsAtLineStart ? Position{involved, LineLength(b, involved) + 1} : to;
  DeleteKeeping(to, UndoKind::DeleteFwd, e.deletedLine, e.deletedLineBreak,
                DeletedPart(involved, at, partEnd), endsAtLineStart);
}

void DeleteToLineEnd(std::int32_t count) {
  EditorState& e = Ed();
  const Ref b = e.current;
  if (b == nullptr) return;
  const Position at = SettleCursor();
  const std::int32_t last = std::max(1, Lines::Count(b));
  Position to = at;
  bool tookBreak = false;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t end = LineLength(b, to.line) + 1;
    if (to.column < end) {
      to.column = end;
      tookBreak = false;
    } else if (to.line < last) {
      to = Position{to.line + 1, 1};
      tookBreak = true;
    } else {
      break;
    }
  }
  if (to == at) return;
  DeleteKeeping(to, UndoKind::DeleteFwd, e.deletedLine, e.deletedLineBreak,
                tookBreak ? std::string() : DeletedPart(to.line, at, to), tookBreak);
}

void DeleteToLineStart(std::int32_t count) {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  const Position at = SettleCursor();
  std::int32_t first = at.column == 1 && at.line > 1 ? at.line - 1 : at.line;
  first = std::max(1, first - std::max(0, count - 1));
  const Position to{first, 1};
  if (to == at) return;
  const bool onCursorLine = first == at.line;
  // The text before the cursor goes, so repeated deletions collect backwards.
  DeleteKeeping(to, UndoKind::DeleteBack, e.deletedLine, e.deletedLineBreak,
                onCursorLine ? DeletedPart(at.line, to, at) : std::string(), !onCursorLine);
}

namespace {

// UND L and UND W: the register's text, followed by a line break when it holds one,
// inserted count times as typing.
void Undelete(const char* text, bool lineBreak, std::int32_t count) {
  EditorState& e = Ed();
  if (e.current == nullptr) return;
  BeginUndo(UndoKind::Typing);
  if (count < 1) return;
  const Chars saved(text, kTextHigh);
  if (!lineBreak) {
    if (Strings::Length(saved) == 0) return;
    const Position at = SettleCursor();
    const std::int32_t column = EditWindows::InsertRepeated(count, saved);
    RedrawRange(at.line, at.column, at.line, LineLength(e.current, at.line) + 1);
    PlaceCursor(at.line, column, e.scrollMargin);
    return;
  }
  // The text and its line break go through a scratch text, so that the line capacity
  // rule and the screen repair of an insertion apply.
  Ref scratch = MakeFixed(kUndo2Path);
  if (scratch == nullptr) return;
  if (Lines::Append(scratch, saved) && Lines::Append(scratch, "")) {
    InsertBufferAtCursor(scratch, count);
  }
  Buffer::Delete(scratch);
}

} // namespace

void UndeleteLine(std::int32_t count) { Undelete(Ed().deletedLine, Ed().deletedLineBreak, count); }

void UndeleteWord(std::int32_t count) { Undelete(Ed().deletedWord, Ed().deletedWordBreak, count); }

void ChangeCase(std::int32_t count) {
  EditorState& e = Ed();
  const Ref b = e.current;
  if (b == nullptr) return;
  const Position at = SettleCursor();
  Position first = at;
  Position last = at;
  Position cursor = at;
  UndoKind variant = UndoKind::CaseAtStart;
  const bool selected = e.selectActive;
  if (selected) {
    const EditWindows::Range r = EditWindows::SelectRange();
    first = r.first;
    last = r.last;
    // In text order, so that the undo finds the range between the anchor and the cursor.
    variant = Before(at, e.anchor) ? UndoKind::CaseAtStart : UndoKind::CaseAtEnd;
  } else if (Find::MatchAtCursor()) {
    last.column += Find::MatchLength();
  } else if (e.direction == Direction::Advance) {
    last = EditWindows::CharsForward(count);
    cursor = last;
    variant = UndoKind::CaseAtEnd;
  } else {
    last = EditWindows::CharsForward(1);
    first = EditWindows::CharsBackward(count - 1);
    if (first.column > 1) {
      cursor = Position{first.line, first.column - 1};
      variant = UndoKind::CaseBefore;
    } else if (first.line > 1) {
      cursor = Position{first.line - 1, LineLength(b, first.line - 1) + 1};
      variant = UndoKind::CaseBefore;
    } else {
      // Nothing precedes a range at the start of the text: the cursor is at its start.
      cursor = first;
    }
  }
  if (!RecordRange(variant, first, last)) return;
  e.selectActive = false;
  ChangeLetters(first, last);
  PlaceCursor(cursor.line, cursor.column, e.scrollMargin);
  RedrawRange(first.line, first.column, last.line, last.column);
}

} // namespace Editor
