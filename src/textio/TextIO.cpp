#include "textio/TextIO.h"

#include <poll.h>

#include <algorithm>

#include "base/Charset.h"
#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editor/LineInput.h"
#include "editwin/EditWindows.h"
#include "editwin/ShellStart.h"
#include "platform/Dates.h"
#include "platform/Events.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

namespace TextIO {

namespace {

using ANSITerm::TextWindow;

using base::kLineHigh;
constexpr std::size_t kNumberHigh = 79; // a number is read from a line this long
constexpr std::int32_t kMaxField = 255; // widths beyond a terminal line are cut
constexpr std::int32_t kMaxDigits = 40; // digits of a real that formatting can give

struct State {
  bool initialised = false;
  bool outputToList = true;
  bool logging = false;
  Buffer::Ref log = nullptr;
  char logLine[kLineHigh + 1] = {};
  char line[kLineHigh + 1] = {}; // the current output line: the question of a read line
  bool breakPending = false;
  bool lineHasText = false;
  bool readSucceeded = false;
  UpdateHook update = nullptr;
  LogHook logged = nullptr;
  bool console = false;
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  bool consoleUtf8 = false;
  bool endOfInput = false;
  // Where the last output left the terminal's cursor: when another writer (the List's
  // own lines, a redraw, the editor) has moved it since, the output takes over again.
  TextWindow* terminal = nullptr;
  std::int32_t row = 0;
  std::int32_t column = 0;
  std::int32_t listLines = 0; // the List text's lines after the last output to it
};
State state;

std::FILE* In() { return state.in != nullptr ? state.in : stdin; }
std::FILE* Out() { return state.out != nullptr ? state.out : stdout; }

TextWindow* EditorTerminal() { return Editor::EditTerminal(); }

TextWindow* Target() {
  if (state.outputToList) {
    if (TextWindow* t = Shell::ListTerminal()) return t;
  }
  return EditorTerminal();
}

// Output to the List window is kept in the List text too, one line per output line, so
// that the window shows it again whenever it is redrawn.
bool ToList(TextWindow* t) {
  return t != nullptr && t == Shell::ListTerminal() && t != EditorTerminal() &&
         Shell::ListText() != nullptr;
}

void Remember(TextWindow* t) {
  state.terminal = t;
  if (t != nullptr) ANSITerm::GetRowCol(t, state.row, state.column);
  if (ToList(t)) state.listLines = Lines::Count(Shell::ListText());
}

// The List's last line stays the output's current line when nobody added lines since;
// otherwise that line is another writer's, and the output starts a line of its own
// (taking over an empty last line).
void TakeOverListLine(TextWindow* t) {
  const Buffer::Ref list = Shell::ListText();
  const std::int32_t n = Lines::Count(list);
  char last[kLineHigh + 1];
  Lines::Get(list, n, last);
  if (t == state.terminal && n == state.listLines && Strings::Equal(last, state.line)) return;
  state.breakPending = last[0] != 0;
  state.lineHasText = false;
  state.line[0] = 0;
}

// The target terminal, taken over from whoever wrote on it last: on the List window the
// view goes to the end of the List text first.
TextWindow* Take() {
  TextWindow* t = state.console ? nullptr : Target();
  if (t == nullptr) return nullptr;
  std::int32_t row = 0;
  std::int32_t column = 0;
  ANSITerm::GetRowCol(t, row, column);
  if (t == state.terminal && row == state.row && column == state.column) return t;
  if (ToList(t)) {
    TakeOverListLine(t);
    EditWindows::RedrawBuffer(Shell::ListText(), EditWindows::kToEnd);
  } else {
    state.breakPending = column != 1;
    state.lineHasText = false;
    state.line[0] = 0;
  }
  Remember(t);
  return t;
}

void AppendLog(Chars text) {
  if (state.log == nullptr) return;
  static_cast<void>(Lines::Append(state.log, text));
  if (state.logged != nullptr) state.logged();
}

void PerformBreak(TextWindow* t) {
  if (!state.breakPending) return;
  state.breakPending = false;
  state.lineHasText = false;
  state.line[0] = 0;
  if (state.console) {
    std::fputc('\n', Out());
  } else if (t != nullptr) {
    if (ToList(t)) static_cast<void>(Lines::Append(Shell::ListText(), ""));
    ANSITerm::NewLine(t);
    Remember(t);
  }
}

// Blanks, then text: a field of width places at least.
void WriteField(Chars text, std::int32_t width) {
  const auto length = static_cast<std::int32_t>(Strings::Length(text));
  char blanks[kMaxField + 1];
  const std::int32_t pad = std::clamp(std::min(width, kMaxField) - length, 0, kMaxField);
  std::fill(blanks, blanks + pad, ' ');
  blanks[pad] = 0;
  char field[2 * kMaxField + 2];
  Strings::Assign(field, blanks);
  Strings::Append(field, text);
  WriteString(field);
}

bool IsBlankFrom(Chars text, std::size_t pos) {
  for (std::size_t i = pos; i <= text.high && text[i] != 0; ++i)
    if (text[i] != ' ') return false;
  return true;
}

// ---- Console input ----

// The rest of a UTF-8 character that began with lead on standard input, decoded: its
// code in the set, else the substitute (also for bytes that are no UTF-8, of which
// those that could begin a character are read again).
char ConsoleUtf8(char lead) {
  char bytes[4] = {lead};
  const std::size_t length = Charset::SequenceLength(lead);
  std::size_t n = 1;
  while (n < length) {
    const int c = std::getc(In());
    if (c == EOF) break;
    if (!Charset::IsContinuation(static_cast<char>(c))) {
      std::ungetc(c, In());
      break;
    }
    bytes[n++] = static_cast<char>(c);
  }
  std::string decoded;
  Charset::FromUtf8(std::string_view(bytes, n), decoded);
  return n == length && decoded.size() == 1 ? decoded[0] : Charset::kSubstitute;
}

// The next character of standard input: line ends as RETURN, 0 at the end.
char ConsoleChar() {
  if (state.endOfInput) return 0;
  int c = std::getc(In());
  while (c == '\r') c = std::getc(In());
  if (c == EOF) {
    state.endOfInput = true;
    return 0;
  }
  if (state.consoleUtf8 && c >= 0x80) return ConsoleUtf8(static_cast<char>(c));
  return c == '\n' ? kReturn : static_cast<char>(c);
}

bool ConsoleLine(VarChars text) {
  std::size_t n = 0;
  char c = ConsoleChar();
  if (c == 0) return false;
  for (; c != kReturn && c != 0; c = ConsoleChar()) {
    if (n <= text.high) text[n++] = c;
  }
  if (n <= text.high) text[n] = 0;
  return true;
}

// ---- Keys ----

// A key of the editor's terminal as a character: RETURN for "enter" and a double click,
// 0 for keys that give none (update events call the hook).
char CharOfKey(std::uint8_t key, char ch) {
  switch (key) {
  case KeyEvents::KeyCharacter:
    return ch;
  case KeyEvents::KeyEnter:
  case KeyEvents::KeyDoubleMouse:
    return kReturn;
  case KeyEvents::KeyUpdate:
    if (state.update != nullptr) state.update();
    return 0;
  default:
    return 0;
  }
}

void ReadCharacter(char& ch, bool echo) {
  Init();
  if (state.console) {
    ch = ConsoleChar();
    return;
  }
  TextWindow* e = EditorTerminal();
  if (e == nullptr) {
    ch = 0;
    return;
  }
  ch = 0;
  while (ch == 0) {
    std::uint8_t key = 0;
    std::uint8_t modifiers = 0;
    char c = 0;
    ANSITerm::ReadKey(e, key, modifiers, c);
    ch = CharOfKey(key, c);
  }
  if (!echo) return;
  if (ch == kReturn)
    WriteLn();
  else
    WriteChar(ch);
}

// Whether a line input ended by this key starts again: windows coming and going and
// being redrawn are no answer. The key, which the input put back, is taken.
bool Resumes(std::uint8_t kind) {
  switch (kind) {
  case KeyEvents::KeyDeactivate:
  case KeyEvents::KeyActivate:
  case KeyEvents::KeyUpdate:
  case KeyEvents::KeyWindow:
  case KeyEvents::KeyOSEvent: {
    std::uint8_t key = 0;
    std::uint8_t modifiers = 0;
    char ch = 0;
    KeyEvents::GetKey(EditorTerminal(), key, modifiers, ch);
    CharOfKey(key, ch);
    return true;
  }
  default:
    return false;
  }
}

// Reads a line on the terminal the output goes to: in the output line itself on the
// editor's terminal, else as the answer to the output line on the editor's message
// line, which is then written after it. False when the input was given up.
bool TerminalLine(VarChars text) {
  if (EditorTerminal() == nullptr) return false; // nothing to type into
  TextWindow* t = Take();
  std::uint8_t kind = 0;
  std::uint8_t modifiers = 0;
  char ch = 0;
  if (t == nullptr || t == EditorTerminal()) {
    PerformBreak(t);
    do {
      LineInput::ReadLine(text);
      LineInput::LastKey(kind, ch, modifiers);
    } while (kind >= KeyEvents::KeyMouse && Resumes(kind));
    if (kind >= KeyEvents::KeyMouse) return false;
    // The answer stands on the line as if written, and ends it. It was typed on the
    // editor's terminal as it is now: a window that went away meanwhile took t along.
    Strings::Append(state.line, text);
    if (state.logging) Strings::Append(state.logLine, text);
    state.lineHasText = true;
    Remember(t != nullptr ? EditorTerminal() : nullptr);
  } else {
    char question[kLineHigh + 1];
    Strings::Assign(question, state.line);
    bool answered = false;
    do {
      answered = Editor::PromptLine(question, text, kind, ch, modifiers);
    } while (!answered && kind >= KeyEvents::KeyMouse && Resumes(kind));
    if (!answered) return false;
    WriteString(text);
  }
  WriteLn();
  return true;
}

// A line of up to 79 characters read and converted; x changes only when the line was a
// number and nothing but blanks followed it.
template <typename T, typename Scan> void ReadNumber(T& x, Scan scan) {
  char text[kNumberHigh + 1];
  ReadLine(text);
  if (!state.readSucceeded) return;
  std::size_t pos = 0;
  T value{};
  state.readSucceeded = scan(Chars(text), pos, value) && IsBlankFrom(text, pos);
  if (state.readSucceeded) x = value;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  NumberOut::Init();
  NumberIn::Init();
  LineInput::Init();
}

// ---- Switches ----

void SetOutputToList(bool on) { state.outputToList = on; }
bool OutputToList() { return state.outputToList; }

void SetLogging(bool on) {
  if (state.logging && !on) EndLine();
  state.logging = on;
}
bool Logging() { return state.logging; }
void SetLogBuffer(Buffer::Ref log) { state.log = log; }
Buffer::Ref LogBuffer() { return state.log; }
void SetUpdateHook(UpdateHook hook) { state.update = hook; }
void SetLogHook(LogHook hook) { state.logged = hook; }

void SetConsole(bool on) {
  state.console = on;
  state.consoleUtf8 = on && Charset::LocaleIsUtf8();
  state.breakPending = false;
  state.lineHasText = false;
  state.line[0] = 0;
  state.endOfInput = false;
  state.terminal = nullptr;
}
bool Console() { return state.console; }
void SetConsoleUtf8(bool on) { state.consoleUtf8 = on; }

void SetConsoleFiles(std::FILE* in, std::FILE* out) {
  state.in = in;
  state.out = out;
  state.endOfInput = false;
}

// ---- Output ----

void WriteString(Chars text) {
  Init();
  TextWindow* t = Take();
  PerformBreak(t);
  if (state.logging) Strings::Append(state.logLine, text);
  Strings::Append(state.line, text);
  const std::size_t length = Strings::Length(text);
  if (length == 0) return;
  state.lineHasText = true;
  if (state.console) {
    const std::string utf8 =
        state.consoleUtf8 ? Charset::ToUtf8(std::string_view(text.p, length)) : std::string();
    if (state.consoleUtf8)
      std::fwrite(utf8.data(), 1, utf8.size(), Out());
    else
      std::fwrite(text.p, 1, length, Out());
  } else if (t != nullptr) {
    if (ToList(t)) {
      const Buffer::Ref list = Shell::ListText();
      static_cast<void>(Lines::Set(list, Lines::Count(list), state.line));
    }
    ANSITerm::WriteString(t, text);
    ANSITerm::FlushOutput(t);
    Remember(t);
  }
}

void WriteChar(char ch) {
  const char text[2] = {ch, 0};
  WriteString(Chars(text, ch == 0 ? 0 : 1));
}

void WriteLn() {
  Init();
  TextWindow* t = Take();
  if (state.logging) {
    AppendLog(state.logLine);
    state.logLine[0] = 0;
  }
  PerformBreak(t);
  state.breakPending = true;
  state.line[0] = 0;
  // A stream has no last line to keep free: the break goes out at once.
  if (state.console) PerformBreak(t);
}

void EndLine() {
  Init();
  TextWindow* t = Take();
  if (state.logging && state.logLine[0] != 0) {
    AppendLog(state.logLine);
    state.logLine[0] = 0;
  }
  if (!state.lineHasText) return;
  state.breakPending = true;
  if (state.console) PerformBreak(t);
}

void ClearScreen() {
  Init();
  if (state.logging) {
    if (state.logLine[0] != 0) AppendLog(state.logLine);
    state.logLine[0] = 0;
    AppendLog(kSeparatorLine);
  }
  if (state.console) {
    EndLine();
    return;
  }
  TextWindow* t = Take();
  if (ToList(t)) {
    Shell::ClearList();
  } else if (t != nullptr) {
    ANSITerm::ClearTerminal(t);
  }
  state.line[0] = 0;
  Remember(t);
  state.lineHasText = false;
  state.breakPending = true;
}

void WriteLine(Chars text) {
  WriteString(text);
  WriteLn();
}

void WriteBool(bool b) { WriteString(b ? " TRUE" : "FALSE"); }

void WriteInt(std::int32_t i, std::int32_t width) {
  char digits[16] = {};
  NumberOut::AppendInt(i, digits, 0);
  WriteField(digits, width);
}

void WriteCard(std::uint32_t c, std::int32_t width) {
  char digits[16] = {};
  NumberOut::AppendCard(c, digits, 0);
  WriteField(digits, width);
}

void WriteHex(std::uint32_t c, std::int32_t width) {
  char digits[16] = {};
  NumberOut::AppendHex(c, digits, 8);
  Strings::StripLeading(digits, ' ');
  WriteField(digits, width);
}

void WriteOct(std::uint32_t c, std::int32_t width) {
  char digits[16] = {};
  NumberOut::AppendOct(c, digits, 11);
  Strings::StripLeading(digits, ' ');
  WriteField(digits, width);
}

void WriteReal(double x, std::int32_t width, std::int32_t digits) {
  const std::int32_t columns = std::clamp(digits, 0, kMaxDigits) + 7;
  width = std::min(width, kMaxField);
  if (columns > width) {
    char stars[kMaxField + 1] = {};
    std::fill(stars, stars + std::max(0, width), '*');
    WriteString(stars);
    return;
  }
  char text[kMaxField + 1] = {};
  NumberOut::AppendReal(x, text, columns);
  WriteField(text, width);
}

void WriteFixed(double x, std::int32_t width, std::int32_t decimals) {
  char text[kMaxField + 1] = {};
  NumberOut::AppendFixed(x, text, std::clamp(width, 0, kMaxField), decimals);
  WriteString(text);
}

void WriteScaled(double x, std::int32_t width) {
  char text[kMaxField + 1] = {};
  NumberOut::AppendEng(x, text, std::clamp(width, 0, kMaxField));
  WriteString(text);
}

void WriteTime(double t) {
  char text[32] = {};
  Dates::TimeToText(t, text);
  WriteString(text);
}

void WriteDate(double t) {
  char text[32] = {};
  Dates::DateToText(t, text, true, false);
  WriteString(text);
}

// ---- Input ----

void ReadChar(char& ch) { ReadCharacter(ch, true); }

void ReadKey(char& ch) { ReadCharacter(ch, false); }

void SkipLine() {
  char ch = 0;
  do {
    ReadChar(ch);
  } while (ch != kReturn && ch != 0);
}

char BusyRead() {
  Init();
  if (state.console) {
    if (state.endOfInput) return 0;
    pollfd p{fileno(In()), POLLIN, 0};
    return poll(&p, 1, 0) > 0 ? ConsoleChar() : 0;
  }
  TextWindow* e = EditorTerminal();
  if (e == nullptr || !KeyEvents::KeyPressed()) return 0;
  std::uint8_t key = 0;
  std::uint8_t modifiers = 0;
  char ch = 0;
  if (!KeyEvents::GetKey(e, key, modifiers, ch)) return 0;
  return CharOfKey(key, ch);
}

void ReadLine(VarChars text) {
  Init();
  text[0] = 0;
  if (state.console) {
    state.readSucceeded = ConsoleLine(text);
    return;
  }
  state.readSucceeded = TerminalLine(text);
}

void ReadInt(std::int32_t& x) { ReadNumber(x, NumberIn::ScanInt); }
void ReadCard(std::uint32_t& x) { ReadNumber(x, NumberIn::ScanCard); }
void ReadHex(std::uint32_t& x) { ReadNumber(x, ScanHex); }
void ReadReal(double& x) { ReadNumber(x, NumberIn::ScanReal); }
void ReadLongReal(double& x) { ReadReal(x); }

bool ReadSucceeded() { return state.readSucceeded; }

bool ScanHex(Chars text, std::size_t& pos, std::uint32_t& value) {
  while (pos <= text.high && text[pos] == ' ') ++pos;
  value = 0;
  int digits = 0;
  bool overflow = false;
  for (; pos <= text.high; ++pos) {
    const char c = Strings::Cap(text[pos]);
    int d = 0;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      break;
    if (value > 0x0FFFFFFFu) overflow = true;
    value = (value << 4) | static_cast<std::uint32_t>(d);
    ++digits;
  }
  return digits > 0 && !overflow;
}

} // namespace TextIO
