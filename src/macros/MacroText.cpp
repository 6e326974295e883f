#include "macros/MacroText.h"

#include <algorithm>
#include <cstring>

#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/Dialog.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/EditorState.h"
#include "macros/MacroFile.h"
#include "macros/Macros.h"
#include "platform/Alerts.h"
#include "platform/Toolbox.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "textio/TextIO.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

namespace MacroText {

namespace {

using Macros::MacroEntry;

using base::kLineHigh;
constexpr std::size_t kMessageHigh = 511;
constexpr char kWaitItem[] = " Wait";

// The messages.
constexpr char kRecordingOn[] = " ## Cannot start macro interpreter while a macro is recording ## ";
constexpr char kTargetCleared[] = "Macros target window cleared.";
constexpr char kTargetSet[] = "Macros target window: \"";
constexpr char kTargetArrow[] = "\" -> ";
constexpr char kWrongTarget[] = " ## TARGET: missing or wrong target character ## ";
constexpr char kMissingSpace[] = " ## TARGET: missing space after command ## ";
constexpr char kIllegalIndex[] = " ## New Macro Definition: illegal macro index! ## ";
constexpr char kBeginInside[] =
    " ## New Macro Definition: \"BEGIN\" not allowed inside definition! ## ";
constexpr char kAssignError[] = " ## New Macro Definition: error assigning macro! ## ";
constexpr char kEndOutside[] = " ## New Macro Definition: \"END\" not inside text selection! ## ";
constexpr char kFewerEnds[] = " ## Fewer \"END\" than \"BEGIN\" statements! ## ";
constexpr char kTargetUnknown[] = " ## target dialog not known ## ";
constexpr char kWaitOutside[] = " ## \" Wait\" valid only in macro definition! ## ";
constexpr char kDefining[] = "defining: ";
constexpr char kMacro[] = "MACRO: ";
constexpr char kError[] = "error: ";
constexpr char kAborted[] = "Macros interpreter aborted.";
constexpr char kFirstComment[] = ";   ESC -> Abort execution";
constexpr char kSecondComment[] = "; ENTER -> Execute (selection or line)";
constexpr char kEmpty[] = "Macro is empty!";
constexpr char kSaveFailed[] = "Saving Failed:";
constexpr char kMergeFailed[] = "Merge failed";
constexpr char kNoTemporary[] = "Unable to create temporary buffer.";
constexpr char kRevertFailed[] = "Revert failed";
constexpr char kMergeBuffer[] = "MacroMerge";
constexpr char kSavePrompt[] = "Save macros text as:";
constexpr char kMergePrompt[] = "Merge to macros text:";
constexpr char kPattern[] = "*.mac";

struct State {
  bool running = false;
  bool defining = false;
  std::int32_t entries = 0;
  std::int32_t index = 0;
  bool named = false;
  char target = 0;
  Buffer::Ref text = nullptr;
  std::int32_t firstLine = 0, firstColumn = 1, lastLine = 0, lastColumn = 0;
  std::int32_t next = 0;
  std::int32_t depth = 0;
};
State state;
// The file the text was last saved to or loaded from: the Save command's default.
char textFile[kLineHigh + 1] = {};

bool Blank(char c) { return c == ' ' || c == '\t'; }
char At(Chars s, std::size_t i) { return i <= s.high ? s[i] : 0; }

bool StartsWith(Chars s, std::size_t from, const char* word) {
  const std::size_t n = std::strlen(word);
  for (std::size_t i = 0; i < n; ++i)
    if (Strings::Cap(At(s, from + i)) != word[i]) return false;
  return true;
}

void Protocol(Chars prefix, Chars text) {
  if (!Macros::Protocol()) return;
  char line[kMessageHigh + 1];
  Strings::Assign(line, prefix);
  Strings::Append(line, text);
  TextIO::WriteLine(line);
}

void EndDefinition() {
  state.defining = false;
  state.entries = 0;
  state.index = 0;
  if (Macros::MacroSlot* slots = Macros::Slots()) Macros::EmptySlot(slots[0]);
}

bool Fail(Chars report) {
  Macros::Report(report);
  return false;
}

bool TargetStatement(Chars line, std::size_t pos) {
  const char after = At(line, pos + 6);
  if (after == 0) {
    state.target = 0;
    Protocol("", kTargetCleared);
    return true;
  }
  if (!Blank(after)) return Fail(kMissingSpace);
  pos += 6;
  while (Blank(At(line, pos))) ++pos;
  const char c = At(line, pos);
  Dialog::DialogRecord* d = c != 0 && c != Macros::kMenuId ? MacroFile::FindDialog(c) : nullptr;
  if (c != Macros::kMenuId && d == nullptr) return Fail(kWrongTarget);
  state.target = c;
  char text[kMessageHigh + 1];
  Strings::Assign(text, kTargetSet);
  const char t[2] = {c, 0};
  Strings::Append(text, t);
  Strings::Append(text, kTargetArrow);
  if (d != nullptr) Strings::Append(text, d->name);
  Protocol("", text);
  return true;
}

bool BeginStatement(Chars line, std::size_t pos) {
  if (state.defining) {
    EndDefinition();
    return Fail(kBeginInside);
  }
  pos += 5;
  std::int32_t index = 0;
  if (!NumberIn::ScanInt(line, pos, index) || index < 1 || index > Macros::Highest() ||
      Macros::Slots() == nullptr)
    return Fail(kIllegalIndex);
  while (Blank(At(line, pos)) || At(line, pos) == ':') ++pos;
  Macros::MacroSlot& r = Macros::Slots()[0];
  Macros::EmptySlot(r);
  r.name[0] = 0;
  std::size_t n = 0;
  while (At(line, pos) != 0 && At(line, pos) != ';') {
    if (n < Macros::kNameHigh) r.name[n++] = line[pos];
    ++pos;
  }
  r.name[n] = 0;
  Strings::StripTrailing(r.name, ' ');
  if (At(line, pos) == ';')
    Strings::Assign(r.comment, Chars(line.p + pos + 1, line.high > pos ? line.high - pos - 1 : 0));
  state.named = r.name[0] != 0;
  state.defining = true;
  state.entries = 0;
  state.index = index;
  Protocol(kDefining, line);
  return true;
}

bool EndStatement(Chars line) {
  if (!state.defining) return true;
  if (state.entries == 0 || state.index < 1 || state.index > Macros::Highest()) {
    EndDefinition();
    return Fail(kAssignError);
  }
  static_cast<void>(Macros::Store(state.index, state.named));
  EndDefinition();
  Macros::UpdateMenu();
  Protocol(kDefining, line);
  return true;
}

bool ActionLine(Chars line) {
  char text[kLineHigh + 1];
  Strings::Clear(text);
  if (!state.defining && state.target != 0) {
    const char t[3] = {state.target, ' ', 0};
    Strings::Assign(text, t);
  }
  Strings::Append(text, line);
  MacroEntry e;
  const char* why = nullptr;
  const MacroFile::Parsed parsed = MacroFile::ParseEntryLine(text, e, why);
  if (parsed == MacroFile::Parsed::DialogUnknown && !state.defining) return Fail(kTargetUnknown);
  if (parsed != MacroFile::Parsed::Entry) {
    Protocol(state.defining ? Chars(kDefining) : Chars(kError), line);
    return true;
  }
  char echo[kLineHigh + 1];
  const bool written = MacroFile::EntryLine(e, echo) == MacroFile::Line::Written;
  if (state.defining) {
    if (!Macros::AppendEntry(e)) {
      Protocol(kError, line);
      return true;
    }
    ++state.entries;
    Protocol(kDefining, written ? Chars(echo) : line);
    return true;
  }
  Dialog::DialogRecord* d = Macros::MacrosDialog();
  if (d != nullptr && e.idChar != Macros::kMenuId &&
      Strings::Cap(e.idChar) == Strings::Cap(d->idChar) && e.item >= 1 && e.item <= d->highest &&
      Strings::Equal(d->items[e.item]->name, kWaitItem)) {
    char line2[kMessageHigh + 1];
    Strings::Assign(line2, kError);
    Strings::Append(line2, line);
    TextIO::WriteLine(line2);
    return Fail(kWaitOutside);
  }
  if (!Macros::Perform(e)) return false;
  Protocol(kMacro, written ? Chars(echo) : line);
  return true;
}

// Reads line n of the range: the first from its first column, the last to its last.
void RangeLine(std::int32_t n, VarChars line) {
  char whole[kLineHigh + 1];
  Lines::Get(state.text, n, whole);
  std::size_t from = 0, to = Strings::Length(whole);
  if (n == state.firstLine)
    from = std::min<std::size_t>(to, static_cast<std::size_t>(std::max(1, state.firstColumn) - 1));
  if (n == state.lastLine && state.lastColumn > 0)
    to = std::min<std::size_t>(to, static_cast<std::size_t>(state.lastColumn));
  Strings::Assign(line, Chars(whole + from, to > from ? to - from - 1 : 0));
  line[std::min(to - from, line.high)] = 0;
}

// A line that opens or closes a block: the word followed by a blank or the line's end.
bool IsWord(Chars line, const char* word) {
  std::size_t pos = 0;
  while (Blank(At(line, pos))) ++pos;
  const std::size_t n = std::strlen(word);
  return StartsWith(line, pos, word) && (At(line, pos + n) == 0 || Blank(At(line, pos + n)));
}

void Finish() {
  state.running = false;
  state.text = nullptr;
  Macros::UpdateMenu();
}

void Beep() { Alerts::AlertBeep(); }

// The keys that reach a read-only macro text: cursor movement, paging, selecting (the
// keypad) and digits.
bool ReadOnlyKey(std::uint8_t kind, char ch) {
  using namespace KeyEvents;
  if (kind >= KeyMouse) return true;
  if (kind >= KeyCursorUp && kind <= KeyKeypadMultiply && kind != KeyEnter) return true;
  if (kind >= KeyHome && kind <= KeyPageDown) return true;
  return kind == KeyCharacter && ch >= '0' && ch <= '9';
}

bool EditorKey(std::uint8_t kind, char ch, std::uint8_t modifiers) {
  using namespace KeyEvents;
  Buffer::Ref b = Buffer::Find(kBufferName);
  if (b == nullptr || Editor::EditedText() != b) return false;
  if (kind == KeyEnter) {
    if (state.running || !RunSelection()) Beep();
    return true;
  }
  if (kind == KeyCharacter && ch == 27) {
    if (state.running)
      Abort();
    else
      Beep();
    return true;
  }
  const bool closing =
      kind == KeyWindowClose ||
      (kind == KeyCharacter && (ch == 'w' || ch == 'W') && (modifiers & kModCommand) != 0);
  if (closing) {
    if (!state.running) return false;
    Beep();
    return true;
  }
  if (Macros::ReadOnlyText() && !ReadOnlyKey(kind, ch)) {
    Beep();
    return true;
  }
  return false;
}

// While a program polls its dialogs, the dialog event step reads the events; those of the
// editor's window go to the editor here, read as the editor reads its own keys, so that
// the text can be edited and run while the program's dialogs are there to act on.
Buffer::Ref EditorBufferOf(Toolbox::Window w) {
  const Buffer::Ref b = Buffer::Find(kBufferName);
  return b != nullptr && w != nullptr && EditWindows::BufferOfWindow(w) == b ? b : nullptr;
}

ANSITerm::TextWindow* EditorTerminal() {
  const Buffer::Ref b = EditorBufferOf(Toolbox::FrontWindow());
  return b != nullptr ? EditWindows::GetState(b).terminal : nullptr;
}

bool EditorWindowEvent(Toolbox::Window w, std::uint8_t code, char ch, std::uint8_t modifiers) {
  const Buffer::Ref b = EditorBufferOf(w);
  if (b == nullptr) return false;
  // F12 would compile and run the text as a program inside the running one.
  if (code == KeyEvents::KeyF12) {
    Beep();
    return true;
  }
  if (Editor::EditedText() != b) EditWindows::ShowBuffer(b, 0);
  static_cast<void>(Editor::HandleEditKey(code, ch, modifiers));
  return true;
}

} // namespace

bool InterpretLine(Chars line, bool inBlock) {
  if (Macros::Recording()) return Fail(kRecordingOn);
  if (state.defining && !inBlock) {
    EndDefinition();
    return Fail(kEndOutside);
  }
  std::size_t pos = 0;
  while (Blank(At(line, pos))) ++pos;
  if (At(line, pos) == 0) return true;
  if (At(line, pos) == ';') {
    Protocol("", line);
    return true;
  }
  if (!state.defining && StartsWith(line, pos, "TARGET")) return TargetStatement(line, pos);
  if (StartsWith(line, pos, "BEGIN")) return BeginStatement(line, pos);
  if (StartsWith(line, pos, "END")) return EndStatement(line);
  return ActionLine(Chars(line.p + pos, line.high - pos));
}

bool RunRange(Buffer::Ref text, std::int32_t firstLine, std::int32_t firstColumn,
              std::int32_t lastLine, std::int32_t lastColumn) {
  if (state.running || text == nullptr) {
    Alerts::AlertBeep();
    return false;
  }
  const std::int32_t count = Lines::Count(text);
  state.text = text;
  state.firstLine = std::clamp(firstLine, 1, std::max(1, count));
  state.lastLine = std::clamp(lastLine, state.firstLine, std::max(1, count));
  state.firstColumn = firstColumn;
  state.lastColumn = lastColumn;
  state.next = state.firstLine;
  state.depth = 0;
  state.running = count > 0;
  Macros::UpdateMenu();
  return state.running;
}

bool Run(std::int32_t line) { return RunRange(Text(), line, 1, line, 0); }

void Step() {
  if (!state.running) return;
  for (;;) {
    if (state.next > state.lastLine || state.next > Lines::Count(state.text)) {
      if (state.depth > 0) Macros::Report(kFewerEnds);
      Finish();
      return;
    }
    char line[kLineHigh + 1];
    RangeLine(state.next, line);
    const std::int32_t number = state.next++;
    if (Macros::Protocol()) {
      char shown[kMessageHigh + 1];
      Strings::Clear(shown);
      NumberOut::AppendInt(number, shown, 4);
      Strings::Append(shown, ": ");
      Strings::Append(shown, line);
      TextIO::WriteLine(shown);
    }
    if (IsWord(line, "BEGIN")) ++state.depth;
    const bool inBlock = state.depth > 0;
    if (!InterpretLine(line, inBlock)) {
      // A BEGIN that failed opened no block.
      Finish();
      return;
    }
    if (IsWord(line, "END") && state.depth > 0) --state.depth;
    if (state.depth > 0) continue;
    if (state.next > state.lastLine || state.next > Lines::Count(state.text)) Finish();
    return;
  }
}

void Abort() {
  if (!state.running) return;
  TextIO::EndLine();
  TextIO::WriteLine(kAborted);
  Finish();
}

bool Running() { return state.running; }
bool Defining() { return state.defining; }
char Target() { return state.target; }

void Reset() { state = State{}; }

// ---- The editor text ----

Buffer::Ref Text() {
  Buffer::Ref b = Buffer::Find(kBufferName);
  if (b != nullptr) return b;
  b = Buffer::Create(kBufferName, Buffer::BufferKind::Text);
  if (b == nullptr) return nullptr;
  static_cast<void>(Lines::Append(b, kFirstComment));
  static_cast<void>(Lines::Append(b, kSecondComment));
  return b;
}

void OpenEditor() {
  Buffer::Ref b = Text();
  if (b == nullptr) return;
  Editor::SetKeyFilter(EditorKey);
  Dialog::SetWindowEventProc(EditorWindowEvent);
  Dialog::SetKeyTerminalProc(EditorTerminal);
  if (!EditWindows::OpenBufferWindow(b, EditWindows::Placement::Automatic)) return;
  // Its caption, with the close box, stays in view however the windows cascade.
  Toolbox::KeepInFrame(EditWindows::GetState(b).window);
}

bool RunSelection() {
  if (Editor::EditedText() == nullptr) return false;
  if (!Editor::Selecting()) return Run(Editor::TextCursor().line);
  Editor::Position from = Editor::SelectAnchor(), to = Editor::TextCursor();
  if (to.line < from.line || (to.line == from.line && to.column < from.column)) std::swap(from, to);
  // The range ends before the cursor: a selection that ends at a line's start leaves
  // that line out.
  std::int32_t lastLine = to.line, lastColumn = to.column - 1;
  if (lastColumn == 0 && lastLine > from.line) {
    --lastLine;
    lastColumn = 0;
  } else if (lastColumn == 0) {
    return false;
  }
  return RunRange(Editor::EditedText(), from.line, from.column, lastLine, lastColumn);
}

bool SaveText(Chars fileName) {
  Buffer::Ref b = Text();
  bool empty = true;
  for (std::int32_t n = 1; b != nullptr && n <= Lines::Count(b) && empty; ++n)
    empty = Lines::Length(b, n) == 0;
  if (empty) {
    Alerts::Message(kEmpty);
    return false;
  }
  char name[kLineHigh + 1];
  Strings::Assign(name, fileName);
  MacroFile::MacName(name);
  if (FileSystem::StoreText(b, name) != 0) {
    Alerts::FileErrorMessage(kSaveFailed);
    return false;
  }
  Strings::Assign(textFile, name);
  return true;
}

bool MergeText(Chars fileName) {
  Buffer::Ref b = Text();
  Buffer::Ref merge = Buffer::Create(kMergeBuffer, Buffer::BufferKind::Text);
  if (b == nullptr || merge == nullptr) {
    Alerts::Message(kNoTemporary);
    return false;
  }
  const bool ok = FileSystem::LoadText(fileName, merge) == 0 && Lines::AppendText(b, merge);
  Buffer::Delete(merge);
  if (!ok) Alerts::Message(kMergeFailed);
  return ok;
}

bool LoadText(Chars fileName) {
  Buffer::Ref b = Text();
  if (b == nullptr || FileSystem::LoadText(fileName, b) != 0) {
    Alerts::Message(kRevertFailed);
    return false;
  }
  Strings::Assign(textFile, fileName);
  return true;
}

void SaveCommand() {
  char name[kLineHigh + 1];
  Strings::Assign(name, textFile[0] != 0 ? Chars(textFile) : Chars(kDefaultFile));
  if (Toolbox::AskFileName(2, kSavePrompt, kPattern, name)) static_cast<void>(SaveText(name));
}

void MergeCommand() {
  char name[kLineHigh + 1] = {};
  if (Toolbox::AskFileName(1, kMergePrompt, kPattern, name)) static_cast<void>(MergeText(name));
}

} // namespace MacroText
