#include "editor/LineInput.h"

#include <algorithm>
#include <cstring>

#include "base/Charset.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

namespace LineInput {

namespace {

using base::kLineHigh; // characters a line input holds at most
constexpr std::int32_t kHistoryLines = 10;
constexpr std::int32_t kStartFieldWidth = 79;
constexpr char kPasteBuffer[] = "/Shell/Edit.Paste";

enum Request : int { kNoRequest = 0, kPaste = 1, kCut = 2, kCopy = 3 };

// The control characters with a meaning in a line input.
enum ControlKey : char {
  kCtrlA = 1,  // insert or overwrite
  kCtrlD = 4,  // left
  kCtrlE = 5,  // to the end
  kCtrlF = 6,  // right
  kCtrlH = 8,  // to the start
  kTab = 9,    // done
  kCtrlJ = 10, // delete the previous word
  kReturn = 13,
  kCtrlU = 21, // delete to the start
  kCtrlW = 23, // redisplay
  kCtrlZ = 26, // the preset again
  kEsc = 27,   // as Control/U
};

// The line being edited and where the terminal field shows it.
struct Field {
  char line[kLineHigh + 1] = {};
  std::int32_t length = 0;
  std::int32_t position = 0; // the cursor, 0 .. length
  ANSITerm::TextWindow* terminal = nullptr;
  Toolbox::Window window = nullptr; // the terminal's window, to see that it is still there
  std::int32_t row = 1;             // the field's first cell on the terminal, 1-based
  std::int32_t column = 1;
  std::int32_t width = 1; // cells of the field, at least 1
  std::int32_t first = 0; // the index of the character in the field's first cell
};

// What the engine asks of a field. Each operation changes the line and shows the change;
// the engine keeps the capacity and the editing rules.
struct FieldOps {
  void (*moveLeft)(Field& f, std::int32_t n);
  void (*moveRight)(Field& f, std::int32_t n);
  void (*insertChar)(Field& f, char c);
  void (*overwriteChar)(Field& f, char c);
  void (*deleteBack)(Field& f, std::int32_t n);
  void (*setText)(Field& f, base::Chars text);
  void (*mouse)(Field& f);
  void (*redisplay)(Field& f);
  // A deleting key on the untouched preset answer clears it, as typing replaces it.
  bool clearOnFirstKey;
};

struct State {
  bool initialised = false;
  char history[kHistoryLines][kLineHigh + 1] = {};
  std::int32_t historyIndex = 0;
  bool insertMode = true;
  std::int32_t fieldWidth = kStartFieldWidth;
  int request = kNoRequest;
  bool running = false;
  std::uint8_t lastKind = 0;
  char lastChar = 0;
  std::uint8_t lastModifiers = 0;
};
State state;

// ---- The line itself, without drawing ----

void PlainMoveLeft(Field& f, std::int32_t n) { f.position = std::max(0, f.position - n); }

void PlainMoveRight(Field& f, std::int32_t n) { f.position = std::min(f.length, f.position + n); }

void PlainInsert(Field& f, char c) {
  if (f.length >= std::int32_t(kLineHigh)) return;
  std::memmove(f.line + f.position + 1, f.line + f.position,
               static_cast<std::size_t>(f.length - f.position));
  f.line[f.position] = c;
  ++f.position;
  ++f.length;
  f.line[f.length] = 0;
}

void PlainOverwrite(Field& f, char c) {
  if (f.position >= f.length) {
    PlainInsert(f, c);
    return;
  }
  f.line[f.position] = c;
  ++f.position;
}

void PlainDeleteBack(Field& f, std::int32_t n) {
  n = std::clamp(n, 0, f.position);
  std::memmove(f.line + f.position - n, f.line + f.position,
               static_cast<std::size_t>(f.length - f.position));
  f.position -= n;
  f.length -= n;
  f.line[f.length] = 0;
}

void PlainSetText(Field& f, base::Chars text) {
  Strings::Assign(f.line, text);
  f.length = static_cast<std::int32_t>(Strings::Length(f.line));
  f.position = f.length;
}

void NoMouse(Field&) {}
void NoRedisplay(Field&) {}

constexpr FieldOps kPlainOps = {PlainMoveLeft,  PlainMoveRight,  PlainInsert,
                                PlainOverwrite, PlainDeleteBack, PlainSetText,
                                NoMouse,        NoRedisplay,     true};

// ---- The terminal field ----

// Scrolls the visible part so that the cursor has a cell of its own inside the field,
// showing as much of the line as fits, then draws the cells from the character at index
// from to the field's end and puts the terminal's cursor on the cursor's cell.
void Show(Field& f, std::int32_t from) {
  const std::int32_t oldFirst = f.first;
  f.first = std::min(f.first, std::max(0, f.length - f.width + 1));
  if (f.position < f.first) f.first = f.position;
  if (f.position > f.first + f.width - 1) f.first = f.position - f.width + 1;
  if (f.first != oldFirst) from = f.first;
  from = std::max(from, f.first);
  ANSITerm::TextWindow* t = f.terminal;
  if (t == nullptr) return;

  const std::int32_t end = f.first + f.width;
  if (from < end) {
    char cells[kLineHigh + 2];
    std::int32_t n = 0;
    for (std::int32_t i = from; i < end; ++i) cells[n++] = i < f.length ? f.line[i] : ' ';
    cells[n] = 0;
    ANSITerm::GotoRowCol(t, f.row, f.column + from - f.first);
    ANSITerm::WriteString(t, cells);
    ANSITerm::FlushOutput(t);
  }
  ANSITerm::GotoRowCol(t, f.row, f.column + f.position - f.first);
}

void TermMoveLeft(Field& f, std::int32_t n) {
  PlainMoveLeft(f, n);
  Show(f, f.length);
}

void TermMoveRight(Field& f, std::int32_t n) {
  PlainMoveRight(f, n);
  Show(f, f.length);
}

void TermInsert(Field& f, char c) {
  const std::int32_t at = f.position;
  PlainInsert(f, c);
  Show(f, at);
}

void TermOverwrite(Field& f, char c) {
  const std::int32_t at = f.position;
  PlainOverwrite(f, c);
  Show(f, at);
}

void TermDeleteBack(Field& f, std::int32_t n) {
  PlainDeleteBack(f, n);
  Show(f, f.position);
}

void TermSetText(Field& f, base::Chars text) {
  PlainSetText(f, text);
  f.first = 0;
  Show(f, 0);
}

void TermRedisplay(Field& f) { Show(f, 0); }

constexpr FieldOps kTerminalOps = {TermMoveLeft,  TermMoveRight,  TermInsert,
                                   TermOverwrite, TermDeleteBack, TermSetText,
                                   NoMouse,       TermRedisplay,  true};

// ---- The engine ----

struct Input {
  Field field;
  const FieldOps* ops = &kTerminalOps;
  char preset[kLineHigh + 1] = {};
  std::int32_t capacity = 0; // the caller's text holds this many characters
  std::int32_t startIndex = 0;
  bool touched = false;
  bool done = false;
  bool accepted = true;
};

// One key and where it came from, so that it can be put back where it will be read again.
struct Key {
  std::uint8_t kind = 0;
  char ch = 0;
  std::uint8_t modifiers = 0;
  bool fromMacro = false; // replayed from the learned macro
  bool recorded = false;  // appended to the macro being learned
};

Key NextKey() {
  Editor::LearnedMacro& m = Editor::State().macro;
  const Editor::MacroState before = m.state;
  const std::int32_t index = m.index;
  Key k;
  Editor::ReadEditKey(k.kind, k.ch, k.modifiers);
  k.fromMacro = before == Editor::MacroState::Executing && k.kind != KeyEvents::KeyNone;
  k.recorded = before == Editor::MacroState::Learning && m.state == Editor::MacroState::Learning &&
               m.index == index + 1;
  return k;
}

// The key acts again once the input is over. A replayed key is replayed again rather than
// taken from the terminal, and a learned key is recorded once, when it is read again.
void PutBack(const Key& k) {
  Editor::LearnedMacro& m = Editor::State().macro;
  if (k.fromMacro) {
    if (m.state == Editor::MacroState::Executing && m.index > 1) --m.index;
    return;
  }
  if (k.recorded && m.index > 1) --m.index;
  KeyEvents::UngetKey();
}

void Alarm() { Toolbox::Beep(1); }

// Inserts text at the cursor as far as the capacity allows; the alarm when it is cut.
void InsertText(Input& in, base::Chars text) {
  Field& f = in.field;
  const std::size_t n = Strings::Length(text);
  for (std::size_t i = 0; i < n; ++i) {
    if (f.length >= in.capacity) {
      Alarm();
      return;
    }
    in.ops->insertChar(f, text[i]);
  }
}

// Text cut to what the caller's text holds.
void SetText(Input& in, base::Chars text) {
  char cut[kLineHigh + 1];
  Strings::Assign(cut, text);
  cut[in.capacity] = 0;
  in.ops->setText(in.field, base::Chars(cut));
}

void ClearText(Input& in) { in.ops->setText(in.field, base::Chars()); }

void HandleRequest(Input& in) {
  const int request = state.request;
  state.request = kNoRequest;
  switch (request) {
  case kPaste: {
    // The clipboard may hold text from another program; it becomes the paste buffer.
    Editor::ImportPasteBuffer();
    const Buffer::Ref paste = Buffer::Find(kPasteBuffer);
    if (paste == nullptr || Buffer::KindOf(paste) != Buffer::BufferKind::Text) return;
    std::string line;
    Charset::Recode(Lines::CodingOf(paste), Charset::Coding::Utf8, Lines::View(paste, 1), line);
    char first[kLineHigh + 1];
    Strings::Assign(first, base::CharsOf(line));
    if (!in.touched) {
      SetText(in, first);
      in.touched = true;
    } else {
      InsertText(in, first);
    }
    break;
  }
  case kCopy:
    Editor::SetPasteLine(in.field.line);
    break;
  case kCut:
    Editor::SetPasteLine(in.field.line);
    ClearText(in);
    in.touched = true;
    break;
  default:
    break;
  }
}

// Deletes back to the start of the word before the cursor: blanks, then non-blanks.
void DeleteWordBack(Input& in) {
  const Field& f = in.field;
  std::int32_t p = f.position;
  while (p > 0 && f.line[p - 1] == ' ') --p;
  while (p > 0 && f.line[p - 1] != ' ') --p;
  in.ops->deleteBack(in.field, f.position - p);
}

void ControlCharacter(Input& in, char ch) {
  Field& f = in.field;
  const FieldOps& ops = *in.ops;
  in.touched = true;
  // clang-format off
  switch (ch) {
  case kCtrlA: state.insertMode = !state.insertMode; break;
  case kCtrlD: ops.moveLeft(f, 1); break;
  case kCtrlE: ops.moveRight(f, f.length - f.position); break;
  case kCtrlF: ops.moveRight(f, 1); break;
  case kCtrlH: ops.moveLeft(f, f.position); break;
  case kTab:
  case kReturn: in.done = true; break;
  case kCtrlJ: DeleteWordBack(in); break;
  case kCtrlU:
  case kEsc: ops.deleteBack(f, f.position); break;
  case kCtrlW: ops.redisplay(f); break;
  case kCtrlZ: SetText(in, in.preset); break;
  default: break;
  }
  // clang-format on
}

void Printable(Input& in, char ch) {
  Field& f = in.field;
  if (!in.touched) {
    ClearText(in);
    in.touched = true;
  }
  if (!state.insertMode && f.position < f.length) {
    in.ops->overwriteChar(f, ch);
  } else if (f.length >= in.capacity) {
    Alarm();
  } else {
    in.ops->insertChar(f, ch);
  }
}

// The line is kept at the current place of the ring and the neighbouring one recalled.
void Recall(Input& in, std::int32_t step) {
  Strings::Assign(state.history[state.historyIndex], in.field.line);
  state.historyIndex = (state.historyIndex + step) % kHistoryLines;
  SetText(in, state.history[state.historyIndex]);
  in.touched = true;
}

void Delete(Input& in, bool forward) {
  Field& f = in.field;
  if (in.ops->clearOnFirstKey && !in.touched) {
    ClearText(in);
  } else if (forward && f.position < f.length) {
    in.ops->moveRight(f, 1);
    in.ops->deleteBack(f, 1);
  } else if (f.position > 0) {
    in.ops->deleteBack(f, 1);
  }
  in.touched = true;
}

void HandleKey(Input& in, const Key& k) {
  using namespace KeyEvents;
  Field& f = in.field;
  const std::uint8_t kind = k.kind;
  if (kind == KeyCharacter) {
    if (static_cast<unsigned char>(k.ch) < 32) {
      ControlCharacter(in, k.ch);
    } else {
      Printable(in, k.ch);
    }
  } else if (kind == KeyCursorUp) {
    Recall(in, kHistoryLines - 1);
  } else if (kind == KeyCursorDown) {
    Recall(in, 1);
  } else if (kind == KeyCursorLeft) {
    if (!in.touched) {
      in.ops->moveLeft(f, f.position);
    } else if (f.position > 0) {
      in.ops->moveLeft(f, 1);
    }
    in.touched = true;
  } else if (kind == KeyCursorRight) {
    if (f.position < f.length) in.ops->moveRight(f, 1);
    in.touched = true;
  } else if (kind >= KeyKeypad0 && kind <= KeyKeypadMultiply) {
    in.done = true;
  } else if (kind >= KeyF1 && kind <= KeyF15) {
    in.done = true;
    PutBack(k);
  } else if (kind == KeyDeleteLeft || kind == KeyDeleteRight) {
    Delete(in, kind == KeyDeleteRight);
  } else if (kind == KeyMouse || kind == KeyDoubleMouse) {
    in.ops->mouse(f);
  } else if (kind >= KeyActivate && kind <= KeyWindowClose) {
    // A window wants the user's attention: the input ends unanswered and the event
    // goes to the caller's loop.
    in.done = true;
    in.accepted = false;
    PutBack(k);
  }
  // Everything else does nothing: home, end, page keys, help, ins, the remaining mouse
  // keys, and menu commands, which have run already (an Edit-menu request they made is
  // handled with this key).
}

void Start(Input& in, base::VarChars text, FieldKind kind) {
  in.ops = kind == FieldKind::Terminal ? &kTerminalOps : &kPlainOps;
  in.capacity = static_cast<std::int32_t>(std::min<std::size_t>(kLineHigh, text.high));
  Strings::Assign(in.preset, text);
  in.preset[in.capacity] = 0;
  in.startIndex = state.historyIndex;

  Field& f = in.field;
  ANSITerm::TextWindow* t = Editor::State().terminal;
  if (kind == FieldKind::Terminal && t != nullptr) {
    f.terminal = t;
    f.window = t->window;
    ANSITerm::GetRowCol(t, f.row, f.column);
    const std::int32_t room = std::max(1, t->columns - f.column + 1);
    f.width = std::clamp(state.fieldWidth, 1, room);
  }
  in.ops->setText(f, base::Chars(in.preset));
}

// Whether the terminal t still shows in its window w. A menu command chosen while an
// input waits for a key (File > Close) may have taken the window, and the terminal
// with it, away.
bool StillShown(const ANSITerm::TextWindow* t, Toolbox::Window w) {
  return ANSITerm::TerminalOf(w) == t;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  Toolbox::Init();
  ANSITerm::Init();
  KeyEvents::Init();
  for (auto& line : state.history) line[0] = 0;
  state.historyIndex = 0;
  state.insertMode = true;
  state.fieldWidth = kStartFieldWidth;
  state.request = kNoRequest;
}

void ReadLine(VarChars text) { ReadLine(text, FieldKind::Terminal); }

void ReadLine(VarChars text, FieldKind kind) {
  Init();
  Input in;
  Start(in, text, kind);
  state.running = true;
  state.request = kNoRequest;
  Key k;
  while (!in.done) {
    k = NextKey();
    if (in.field.terminal != nullptr && !StillShown(in.field.terminal, in.field.window)) {
      // The field's window went away: the input ends there, unanswered, before
      // anything is drawn where the field was.
      in.field.terminal = nullptr;
      in.done = true;
      in.accepted = false;
      break;
    }
    if (state.request != kNoRequest) HandleRequest(in);
    if (k.kind == KeyEvents::KeyNone && Editor::State().terminal == nullptr &&
        Editor::State().macro.state != Editor::MacroState::Executing) {
      // No terminal to read from and no macro to replay: nothing can ever answer.
      in.done = true;
      in.accepted = false;
      break;
    }
    HandleKey(in, k);
  }
  state.running = false;
  state.request = kNoRequest;
  state.lastKind = k.kind;
  state.lastChar = k.ch;
  state.lastModifiers = k.modifiers;
  if (!in.accepted) return;
  Strings::Assign(text, in.field.line);
  // An answer given becomes the newest line of the ring, where the next input starts.
  if (in.field.length > 0) {
    Strings::Assign(state.history[in.startIndex], in.field.line);
    state.historyIndex = (in.startIndex + 1) % kHistoryLines;
  }
}

void LastKey(std::uint8_t& kind, char& ch, std::uint8_t& modifiers) {
  kind = state.lastKind;
  ch = state.lastChar;
  modifiers = state.lastModifiers;
}

void SetFieldWidth(std::int32_t width) {
  state.fieldWidth = std::clamp(width, 1, std::int32_t(kLineHigh));
}

bool Running() { return state.running; }

void SetEditRequest(int request) {
  if (state.running && request >= kPaste && request <= kCopy) state.request = request;
}

} // namespace LineInput

namespace Editor {

namespace {

// Windows of this kind and above (tool windows) have no message band.
constexpr int kFirstBandlessKind = 15;

// Puts the message line back as it was before a prompt: the message, or the status.
void RestoreMessageLine() {
  EditorState& e = State();
  if (e.messageShowing) {
    char message[kTextHigh + 1];
    Strings::Assign(message, e.message);
    ShowEditMessage(message);
  } else {
    // Clearing a showing message redraws the message line with the status.
    e.messageShowing = true;
    ClearEditMessage();
  }
}

} // namespace

bool PromptLine(Chars question, VarChars answer, std::uint8_t& endKind, char& endChar,
                std::uint8_t& endModifiers) {
  EditorState& e = State();
  ANSITerm::TextWindow* t = e.terminal;
  // A macro replayed unseen answers its prompts without drawing them.
  const bool shown =
      t != nullptr && !(e.macro.state == MacroState::Executing && !e.showWhileExecuting);
  const auto length = static_cast<std::int32_t>(Strings::Length(question));
  std::int32_t width = std::max(2, e.width - length);
  if (shown) {
    ANSITerm::BeginMessageLine(t);
    // The band beside the horizontal scroll bar is narrower than the screen; a question
    // too long for the line keeps two columns for the answer.
    const bool band =
        t->hasScrollBars && t->window != nullptr && t->window->kind < kFirstBandlessKind;
    const std::int32_t columns = band ? ANSITerm::ShellColumns() : t->columns;
    char shownQuestion[kTextHigh + 1];
    Strings::Assign(shownQuestion, question);
    shownQuestion[std::clamp(columns - 2, 0, kTextHigh)] = 0;
    const auto shownLength = static_cast<std::int32_t>(Strings::Length(shownQuestion));
    width = std::clamp(width, 1, std::max(1, columns - shownLength));
    ANSITerm::SetInverse(t, 1);
    ANSITerm::WriteString(t, shownQuestion);
    ANSITerm::SetInverse(t, 0);
    ANSITerm::FlushOutput(t);
  }
  const Toolbox::Window window = t != nullptr ? t->window : nullptr;
  LineInput::SetFieldWidth(width);
  LineInput::ReadLine(answer, shown ? LineInput::FieldKind::Terminal : LineInput::FieldKind::Plain);
  LineInput::LastKey(endKind, endChar, endModifiers);
  // A window that went away during the input has no message line to give back; the
  // editor has moved to the window that shows its buffer now.
  if (shown && LineInput::StillShown(t, window)) {
    ANSITerm::EndMessageLine(t);
    RestoreMessageLine();
  }
  return endKind >= KeyEvents::KeyCharacter && endKind < KeyEvents::KeyMouse;
}

} // namespace Editor
