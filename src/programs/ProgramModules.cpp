#include "programs/ProgramModules.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include <unistd.h>

#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "macros/Macros.h"
#include "modules/Definitions.h"
#include "platform/Alerts.h"
#include "programs/DialogModule.h"
#include "programs/DialogToolsModule.h"
#include "programs/GraphicsModule.h"
#include "programs/MacrosModule.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "vm/Heap.h"
#include "vm/Trap.h"
#include "vm/Vm.h"

namespace ProgramModules {

namespace {

using Native::Call;

using base::kLineHigh;
constexpr std::size_t kWordHigh = 79; // a number read as a word
constexpr std::uint32_t kMaxWidth = 255;

constexpr char kOutOfMemory[] = "out of memory";
constexpr char kNotAllocated[] = "DISPOSE of a pointer that is not allocated";
constexpr char kRunningWorkspace[] = "DISPOSE of the workspace of the running process";
constexpr char kSqrtNegative[] = "sqrt of a negative number";
constexpr char kLnNotPositive[] = "ln of a number not above 0";
constexpr char kEntierRange[] = "entier out of range";

// ---- Parameter words ----

std::int32_t Int(const Call& c, int i) { return static_cast<std::int32_t>(c.args[i]); }
std::uint32_t Card(const Call& c, int i) { return static_cast<std::uint32_t>(c.args[i]); }
char Char(const Call& c, int i) { return static_cast<char>(c.args[i] & 0xFF); }
double Real(const Call& c, int i) { return std::bit_cast<double>(c.args[i]); }
// A field width given as a CARDINAL.
std::int32_t Width(const Call& c, int i) {
  return static_cast<std::int32_t>(std::min(Card(c, i), kMaxWidth));
}

template <typename T> void Store(const Call& c, int i, T value) {
  std::memcpy(reinterpret_cast<void*>(c.args[i]), &value, sizeof value);
}
template <typename T> T Load(const Call& c, int i) {
  T value;
  std::memcpy(&value, reinterpret_cast<const void*>(c.args[i]), sizeof value);
  return value;
}

void ResultInt(Call& c, std::int32_t v) {
  c.result = static_cast<std::uint64_t>(static_cast<std::int64_t>(v));
}
void ResultReal(Call& c, double v) { c.result = std::bit_cast<std::uint64_t>(v); }
void ResultBool(Call& c, bool v) { c.result = v ? 1 : 0; }

// An exported variable of a module of the program: byte offset in its block.
void SetVariable(const char* module, std::size_t offset, std::uint8_t value) {
  if (std::uint8_t* block = Native::Variables(base::CharsOf(module))) block[offset] = value;
}

// ---- The input InOut and RealInOut read: lines, handed out a character at a time ----

struct Input {
  char line[kLineHigh + 1] = {};
  std::size_t pos = 0;
  bool hasLine = false;
};
Input input;

// The files of InOut's OpenInput and OpenOutput while they are open. The output goes to
// a file beside the one named, which replaces it when it is closed (CloseOutput or the
// end of the run), so that a run that fails never leaves half a file in its place.
struct Files {
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  std::string outPath; // the file named
  std::string outTemporary;
};
Files files;

// A character of the input file; a line end (LF, CR LF or CR) is kEol, the end 0.
char FileChar() {
  const int c = std::fgetc(files.in);
  if (c == EOF) return 0;
  if (c == '\r') {
    const int next = std::fgetc(files.in);
    if (next != '\n' && next != EOF) std::ungetc(next, files.in);
    return kEol;
  }
  return c == '\n' ? kEol : static_cast<char>(c);
}

// The next character, kEol at each line end, 0 when the input was given up or ended.
// Standard input (a run without the workstation) is read as it comes: a last line
// without a line end ends without one, and lines have no length limit.
char NextChar() {
  if (files.in != nullptr) return FileChar();
  if (TextIO::Console()) {
    char ch = 0;
    TextIO::ReadKey(ch);
    return ch;
  }
  if (!input.hasLine) {
    TextIO::ReadLine(input.line);
    if (!TextIO::ReadSucceeded()) return 0;
    input.hasLine = true;
    input.pos = 0;
  }
  if (input.line[input.pos] != 0) return input.line[input.pos++];
  input.hasLine = false;
  return kEol;
}

// A word: leading blanks and line ends skipped, ended by a blank, a line end or the end
// of input (the terminator). Characters beyond the array are dropped.
char ReadWord(base::VarChars s) {
  char ch = NextChar();
  while (ch != 0 && static_cast<unsigned char>(ch) <= ' ') ch = NextChar();
  std::size_t n = 0;
  while (ch != 0 && static_cast<unsigned char>(ch) > ' ') {
    if (n <= s.high) s[n++] = ch;
    ch = NextChar();
  }
  if (n <= s.high) s[n] = 0;
  return ch;
}

// A word converted by scan; true when the whole word was a number (a word too long for
// the array, which lost its end, is none).
template <typename T, typename Scan> bool ReadNumber(T& value, Scan scan, char& terminator) {
  char word[kWordHigh + 1];
  terminator = ReadWord(word);
  std::size_t pos = 0;
  return word[0] != 0 && scan(base::Chars(word), pos, value) && pos <= kWordHigh && word[pos] == 0;
}

// A whole number of the word in low .. high, the full range of its type: an optional
// sign ("-" only where low is below 0) and decimal digits. (The workstation's own number
// scanner stops short of the last values, which PIM's library reads.)
template <typename T> bool ScanWhole(base::Chars text, std::size_t& pos, T& value) {
  constexpr std::int64_t low = std::numeric_limits<T>::min(), high = std::numeric_limits<T>::max();
  bool negative = false;
  if (pos <= text.high && (text[pos] == '+' || (low < 0 && text[pos] == '-')))
    negative = text[pos++] == '-';
  std::int64_t magnitude = 0;
  const std::size_t first = pos;
  while (pos <= text.high && text[pos] >= '0' && text[pos] <= '9') {
    magnitude = magnitude * 10 + (text[pos++] - '0');
    if (magnitude > high + (negative ? 1 : 0)) return false;
  }
  if (pos == first) return false;
  value = static_cast<T>(negative ? -magnitude : magnitude);
  return true;
}

// ---- InOut ----

constexpr std::size_t kInOutDone = 0;
constexpr std::size_t kInOutTermCH = 1;

void InOutDone(bool done, char terminator) {
  SetVariable("InOut", kInOutDone, done ? 1 : 0);
  SetVariable("InOut", kInOutTermCH, static_cast<std::uint8_t>(terminator));
}

// ---- InOut's files ----

constexpr char kInputPrompt[] = "Input file:";
constexpr char kOutputPrompt[] = "Output file:";

// A file name from the user: a line of standard input in a run without the workstation
// (as PIM's InOut reads it from the terminal), else the answer to a prompt. A name ending
// in "." gets defext. False when none was given.
bool AskFileName(const char* prompt, base::Chars defext, std::string& name) {
  char line[kLineHigh + 1] = {};
  if (TextIO::Console()) {
    TextIO::ReadLine(line);
    if (!TextIO::ReadSucceeded()) return false;
  } else if (!Alerts::AskString(base::CharsOf(prompt), line)) {
    return false;
  }
  name = base::ToString(line);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  if (!name.empty() && name.back() == '.') name += base::ToString(defext);
  return !name.empty();
}

// Why a file could not be opened: on the message line, or on standard error in a run
// without the workstation. Done, FALSE, tells the program.
void FileError(const char* what, const std::string& name) {
  const std::string text =
      std::string(what) + " - cannot open " + name + ": " + std::strerror(errno);
  if (TextIO::Console())
    std::fprintf(stderr, "%s\n", text.c_str());
  else
    Alerts::ShowErrorLine(base::CharsOf(text));
}

std::string HostPath(const std::string& name) {
  char path[1024] = {};
  if (!FileSystem::HostName(base::CharsOf(name), path)) return "";
  return base::ToString(path);
}

void CloseInputFile() {
  if (files.in != nullptr) std::fclose(files.in);
  files.in = nullptr;
}

// The output file takes the place of the one named; false when that failed (the
// temporary file is gone then, the old file as it was).
bool CloseOutputFile() {
  if (files.out == nullptr) return true;
  bool ok = std::fflush(files.out) == 0 && fsync(fileno(files.out)) == 0;
  ok = std::fclose(files.out) == 0 && ok;
  files.out = nullptr;
  ok = ok && std::rename(files.outTemporary.c_str(), files.outPath.c_str()) == 0;
  if (!ok) std::remove(files.outTemporary.c_str());
  return ok;
}

void InOutOpenInput(Call& c) {
  CloseInputFile();
  std::string name;
  bool done = AskFileName(kInputPrompt, c.Text(0), name);
  if (done) {
    const std::string path = HostPath(name);
    files.in = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    done = files.in != nullptr;
    if (!done) FileError("OpenInput", name);
  }
  SetVariable("InOut", kInOutDone, done ? 1 : 0);
}

void InOutOpenOutput(Call& c) {
  if (!CloseOutputFile()) FileError("CloseOutput", files.outPath);
  std::string name;
  bool done = AskFileName(kOutputPrompt, c.Text(0), name);
  if (done) {
    files.outPath = HostPath(name);
    files.outTemporary = files.outPath + ".velmarin-tmp";
    files.out = files.outPath.empty() ? nullptr : std::fopen(files.outTemporary.c_str(), "wb");
    done = files.out != nullptr;
    if (!done) FileError("OpenOutput", name);
  }
  SetVariable("InOut", kInOutDone, done ? 1 : 0);
}

void InOutCloseInput(Call&) { CloseInputFile(); }
void InOutCloseOutput(Call&) {
  if (!CloseOutputFile()) FileError("CloseOutput", files.outPath);
}

// InOut's output: to the output file while one is open, else the terminal.
void Put(std::string_view text) { std::fwrite(text.data(), 1, text.size(), files.out); }
// Digits right-aligned in width columns.
void PutField(const char* digits, std::int32_t width) {
  const std::int32_t length = static_cast<std::int32_t>(std::strlen(digits));
  if (width > length) Put(std::string(static_cast<std::size_t>(width - length), ' '));
  Put(digits);
}

void InOutRead(Call& c) {
  const char ch = NextChar();
  Store(c, 0, ch);
  SetVariable("InOut", kInOutDone, ch != 0 ? 1 : 0);
}

void InOutReadString(Call& c) {
  base::VarChars s = c.VarText(0);
  const char terminator = ReadWord(s);
  InOutDone(s[0] != 0, terminator);
}

void InOutReadInt(Call& c) {
  std::int32_t value = 0;
  char terminator = 0;
  const bool done = ReadNumber(value, ScanWhole<std::int32_t>, terminator);
  if (done) Store(c, 0, value);
  InOutDone(done, terminator);
}

void InOutReadCard(Call& c) {
  std::uint32_t value = 0;
  char terminator = 0;
  const bool done = ReadNumber(value, ScanWhole<std::uint32_t>, terminator);
  if (done) Store(c, 0, value);
  InOutDone(done, terminator);
}

// EOL (and a line feed) written is a line end.
void WriteCharOrLine(char ch) {
  if (ch == kEol || ch == '\n')
    TextIO::WriteLn();
  else
    TextIO::WriteChar(ch);
}

void WriteStringProc(Call& c) { TextIO::WriteString(c.Text(0)); }
void WriteLnProc(Call&) { TextIO::WriteLn(); }

void InOutWrite(Call& c) {
  const char ch = Char(c, 0);
  if (files.out == nullptr)
    WriteCharOrLine(ch);
  else
    Put(ch == kEol ? std::string_view("\n") : std::string_view(&ch, 1));
}
void InOutWriteString(Call& c) {
  if (files.out == nullptr) return TextIO::WriteString(c.Text(0));
  const base::Chars s = c.Text(0);
  Put(std::string_view(s.p, Strings::Length(s)));
}
void InOutWriteLn(Call& c) {
  if (files.out == nullptr) return WriteLnProc(c);
  Put("\n");
}
// The numbers in TextIO's formats.
void InOutWriteInt(Call& c) {
  if (files.out == nullptr) return TextIO::WriteInt(Int(c, 0), Width(c, 1));
  char digits[16] = {};
  NumberOut::AppendInt(Int(c, 0), digits, 0);
  PutField(digits, Width(c, 1));
}
void InOutWriteCard(Call& c) {
  if (files.out == nullptr) return TextIO::WriteCard(Card(c, 0), Width(c, 1));
  char digits[16] = {};
  NumberOut::AppendCard(Card(c, 0), digits, 0);
  PutField(digits, Width(c, 1));
}
void InOutWriteOct(Call& c) {
  if (files.out == nullptr) return TextIO::WriteOct(Card(c, 0), Width(c, 1));
  char digits[16] = {};
  NumberOut::AppendOct(Card(c, 0), digits, 11);
  Strings::StripLeading(digits, ' ');
  PutField(digits, Width(c, 1));
}
void InOutWriteHex(Call& c) {
  if (files.out == nullptr) return TextIO::WriteHex(Card(c, 0), Width(c, 1));
  char digits[16] = {};
  NumberOut::AppendHex(Card(c, 0), digits, 8);
  Strings::StripLeading(digits, ' ');
  PutField(digits, Width(c, 1));
}

Native::ModuleSpec InOutSpec() {
  return Native::ModuleSpec{
      "InOut",
      Modules::Key{{0x4901, 0x0001, 0x0001}},
      Definitions::Text("InOut"),
      {
          {"Read", InOutRead, "V"},
          {"ReadString", InOutReadString, "A"},
          {"ReadInt", InOutReadInt, "V"},
          {"ReadCard", InOutReadCard, "V"},
          {"Write", InOutWrite, "v"},
          {"WriteString", InOutWriteString, "a"},
          {"WriteLn", InOutWriteLn, ""},
          {"WriteInt", InOutWriteInt, "vv"},
          {"WriteCard", InOutWriteCard, "vv"},
          {"WriteOct", InOutWriteOct, "vv"},
          {"WriteHex", InOutWriteHex, "vv"},
          {"OpenInput", InOutOpenInput, "a"},
          {"OpenOutput", InOutOpenOutput, "a"},
          {"CloseInput", InOutCloseInput, ""},
          {"CloseOutput", InOutCloseOutput, ""},
      },
      nullptr,
      8,
      {{"EOL", kEol}},
  };
}

// ---- RealInOut ----

void RealInOutReadReal(Call& c) {
  double value = 0;
  char terminator = 0;
  const bool done = ReadNumber(value, NumberIn::ScanReal, terminator);
  if (done) Store(c, 0, value);
  SetVariable("RealInOut", 0, done ? 1 : 0);
}

// Scientific notation in n places, with at least one digit after the point and at most
// the 17 a double holds.
void RealInOutWriteReal(Call& c) {
  const std::int32_t n = Width(c, 1);
  const std::int32_t digits = std::clamp(n - 7, 1, 16);
  TextIO::WriteReal(Real(c, 0), std::max(n, digits + 7), digits);
}

// The 64 bits of the real as 22 octal digits.
void RealInOutWriteRealOct(Call& c) {
  const std::uint64_t bits = c.args[0];
  char digits[23];
  for (int i = 0; i < 22; ++i) digits[21 - i] = static_cast<char>('0' + ((bits >> (3 * i)) & 7));
  digits[22] = 0;
  TextIO::WriteString(digits);
}

Native::ModuleSpec RealInOutSpec() {
  return Native::ModuleSpec{
      "RealInOut",
      Modules::Key{{0x5201, 0x0001, 0x0001}},
      Definitions::Text("RealInOut"),
      {
          {"ReadReal", RealInOutReadReal, "V"},
          {"WriteReal", RealInOutWriteReal, "rv"},
          {"WriteRealOct", RealInOutWriteRealOct, "r"},
      },
      nullptr,
      8,
  };
}

// ---- MathLib0 ----

void Sqrt(Call& c) {
  const double x = Real(c, 0);
  if (x < 0) Vm::Trap(kSqrtNegative);
  ResultReal(c, std::sqrt(x));
}
void Exp(Call& c) { ResultReal(c, std::exp(Real(c, 0))); }
void Ln(Call& c) {
  const double x = Real(c, 0);
  if (!(x > 0)) Vm::Trap(kLnNotPositive);
  ResultReal(c, std::log(x));
}
void Sin(Call& c) { ResultReal(c, std::sin(Real(c, 0))); }
void Cos(Call& c) { ResultReal(c, std::cos(Real(c, 0))); }
void Arctan(Call& c) { ResultReal(c, std::atan(Real(c, 0))); }
void RealOf(Call& c) { ResultReal(c, static_cast<double>(Int(c, 0))); }
void Entier(Call& c) {
  const double f = std::floor(Real(c, 0));
  if (!(f >= -2147483648.0 && f <= 2147483647.0)) Vm::Trap(kEntierRange);
  ResultInt(c, static_cast<std::int32_t>(f));
}

Native::ModuleSpec MathLib0Spec() {
  return Native::ModuleSpec{
      "MathLib0",
      Modules::Key{{0x4D01, 0x0001, 0x0001}},
      Definitions::Text("MathLib0"),
      {
          {"sqrt", Sqrt, "r:r", Native::Procedure::Inline::SquareRoot},
          {"exp", Exp, "r:r"},
          {"ln", Ln, "r:r"},
          {"sin", Sin, "r:r"},
          {"cos", Cos, "r:r"},
          {"arctan", Arctan, "r:r"},
          {"real", RealOf, "v:r"},
          {"entier", Entier, "r:v"},
      },
  };
}

// ---- Storage ----

// A block of no bytes still gets one, so that each NEW gives a pointer of its own.
std::uint64_t BlockSize(const Call& c) { return std::max<std::uint64_t>(1, Card(c, 1)); }

void Allocate(Call& c) {
  const std::uintptr_t a = Heap::Allocate(BlockSize(c));
  if (a == 0) Vm::Trap(kOutOfMemory);
  Store<std::uint64_t>(c, 0, a);
}

void Deallocate(Call& c) {
  const auto a = Load<std::uint64_t>(c, 0);
  if (!Vm::ReleaseWorkspace(a, BlockSize(c))) Vm::Trap(kRunningWorkspace);
  if (!Heap::Deallocate(static_cast<std::uintptr_t>(a), BlockSize(c))) Vm::Trap(kNotAllocated);
  Store<std::uint64_t>(c, 0, 0);
}

void Available(Call& c) { ResultBool(c, Heap::Available(std::max<std::uint32_t>(1, Card(c, 0)))); }

Native::ModuleSpec StorageSpec() {
  return Native::ModuleSpec{
      "Storage",
      Modules::Key{{0x5301, 0x0001, 0x0001}},
      Definitions::Text("Storage"),
      {
          {"ALLOCATE", Allocate, "Vv"},
          {"DEALLOCATE", Deallocate, "Vv"},
          {"Available", Available, "v:v"},
      },
  };
}

// ---- Terminal ----

struct Keys {
  char last = 0;
  bool again = false;
};
Keys keys;

void TerminalRead(Call& c) {
  if (!keys.again) TextIO::ReadKey(keys.last);
  keys.again = false;
  Store(c, 0, keys.last);
}

void TerminalBusyRead(Call& c) {
  if (!keys.again) {
    const char ch = TextIO::BusyRead();
    Store(c, 0, ch);
    if (ch != 0) keys.last = ch;
    return;
  }
  keys.again = false;
  Store(c, 0, keys.last);
}

void TerminalReadAgain(Call&) { keys.again = true; }
void TerminalWrite(Call& c) { WriteCharOrLine(Char(c, 0)); }

Native::ModuleSpec TerminalSpec() {
  return Native::ModuleSpec{
      "Terminal",
      Modules::Key{{0x5401, 0x0001, 0x0001}},
      Definitions::Text("Terminal"),
      {
          {"Read", TerminalRead, "V"},
          {"BusyRead", TerminalBusyRead, "V"},
          {"ReadAgain", TerminalReadAgain, ""},
          {"Write", TerminalWrite, "v"},
          {"WriteString", WriteStringProc, "a"},
          {"WriteLn", WriteLnProc, ""},
      },
  };
}

// ---- TextIO ----

void TextDone(bool done) { SetVariable("TextIO", 0, done ? 1 : 0); }

void TextWriteChar(Call& c) { TextIO::WriteChar(Char(c, 0)); }
void TextEndLine(Call&) { TextIO::EndLine(); }
void TextClearScreen(Call&) { TextIO::ClearScreen(); }
void TextWriteLine(Call& c) { TextIO::WriteLine(c.Text(0)); }
void TextWriteBool(Call& c) { TextIO::WriteBool((c.args[0] & 0xFF) != 0); }
void TextWriteInt(Call& c) { TextIO::WriteInt(Int(c, 0), Int(c, 1)); }
void TextWriteCard(Call& c) { TextIO::WriteCard(Card(c, 0), Int(c, 1)); }
void TextWriteHex(Call& c) { TextIO::WriteHex(Card(c, 0), Int(c, 1)); }
void TextWriteReal(Call& c) { TextIO::WriteReal(Real(c, 0), Int(c, 1), Int(c, 2)); }
void TextWriteFixed(Call& c) { TextIO::WriteFixed(Real(c, 0), Int(c, 1), Int(c, 2)); }
void TextWriteScaled(Call& c) { TextIO::WriteScaled(Real(c, 0), Int(c, 1)); }
void TextWriteTime(Call& c) { TextIO::WriteTime(Real(c, 0)); }
void TextWriteDate(Call& c) { TextIO::WriteDate(Real(c, 0)); }

template <void (*Read)(char&)> void TextReadChar(Call& c) {
  char ch = 0;
  Read(ch);
  Store(c, 0, ch);
  TextDone(ch != 0);
}

void TextSkipLine(Call&) { TextIO::SkipLine(); }

void TextReadLine(Call& c) {
  TextIO::ReadLine(c.VarText(0));
  TextDone(TextIO::ReadSucceeded());
}

template <typename T, void (*Read)(T&)> void TextReadNumber(Call& c) {
  T value{};
  Read(value);
  if (TextIO::ReadSucceeded()) Store(c, 0, value);
  TextDone(TextIO::ReadSucceeded());
}

Native::ModuleSpec TextIOSpec() {
  return Native::ModuleSpec{
      "TextIO",
      Modules::Key{{0x5801, 0x0001, 0x0001}},
      Definitions::Text("TextIO"),
      {
          {"WriteString", WriteStringProc, "a"},
          {"WriteChar", TextWriteChar, "v"},
          {"WriteLn", WriteLnProc, ""},
          {"EndLine", TextEndLine, ""},
          {"ClearScreen", TextClearScreen, ""},
          {"WriteLine", TextWriteLine, "a"},
          {"WriteBool", TextWriteBool, "v"},
          {"WriteInt", TextWriteInt, "vv"},
          {"WriteCard", TextWriteCard, "vv"},
          {"WriteHex", TextWriteHex, "vv"},
          {"WriteReal", TextWriteReal, "rvv"},
          {"WriteFixed", TextWriteFixed, "rvv"},
          {"WriteScaled", TextWriteScaled, "rv"},
          {"ReadChar", TextReadChar<TextIO::ReadChar>, "V"},
          {"ReadKey", TextReadChar<TextIO::ReadKey>, "V"},
          {"SkipLine", TextSkipLine, ""},
          {"ReadLine", TextReadLine, "A"},
          {"ReadInt", TextReadNumber<std::int32_t, TextIO::ReadInt>, "V"},
          {"ReadCard", TextReadNumber<std::uint32_t, TextIO::ReadCard>, "V"},
          {"ReadHex", TextReadNumber<std::uint32_t, TextIO::ReadHex>, "V"},
          {"ReadReal", TextReadNumber<double, TextIO::ReadReal>, "V"},
          {"ReadLongReal", TextReadNumber<double, TextIO::ReadLongReal>, "V"},
          {"WriteTime", TextWriteTime, "r"},
          {"WriteDate", TextWriteDate, "r"},
      },
      nullptr,
      8,
  };
}

// ---- Args ----

std::vector<std::string> arguments;

// Argument i into a; FALSE when there is none or it does not fit (a then holds as much
// as fits), so that no argument is taken cut short.
void GetArg(Call& c) {
  base::VarChars a = c.VarText(0);
  const std::uint32_t i = Card(c, 2);
  if (i >= arguments.size()) {
    a[0] = 0;
    return ResultBool(c, false);
  }
  Strings::Assign(a, base::Chars(arguments[i]));
  ResultBool(c, arguments[i].size() <= a.high + 1);
}

void Narg(Call& c) { c.result = arguments.size(); }

Native::ModuleSpec ArgsSpec() {
  return Native::ModuleSpec{
      "Args",
      Modules::Key{{0x4101, 0x0001, 0x0001}},
      Definitions::Text("Args"),
      {
          {"GetArg", GetArg, "Av:v"},
          {"Narg", Narg, ":v"},
      },
  };
}

} // namespace

void SetArguments(std::vector<std::string> all) { arguments = std::move(all); }
const std::vector<std::string>& Arguments() { return arguments; }

bool SplitArguments(std::string_view text, std::vector<std::string>& result) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) break;
    std::string word;
    while (i < text.size() && text[i] != ' ') {
      const char c = text[i++];
      if (c != '"' && c != '\'') {
        word += c;
        continue;
      }
      const std::size_t close = text.find(c, i);
      if (close == std::string_view::npos) return false;
      word.append(text.substr(i, close - i));
      i = close + 1;
    }
    words.push_back(std::move(word));
  }
  result = std::move(words);
  return true;
}

std::vector<Native::ModuleSpec> Specs() {
  return {InOutSpec(),    RealInOutSpec(), MathLib0Spec(), StorageSpec(),
          TerminalSpec(), TextIOSpec(),    ArgsSpec()};
}

// The macros go first: they refer to the run's dialogs.
void EndRun() {
  CloseInputFile();
  if (!CloseOutputFile()) FileError("CloseOutput", files.outPath);
  Macros::Release();
  DialogModule::DisposeAll();
  DialogToolsModule::ReleaseHelp();
}

void AddAll() {
  for (const Native::ModuleSpec& spec : Specs()) Native::Add(spec);
  GraphicsModule::Add();
  DialogModule::Add();
  DialogToolsModule::Add();
  MacrosModule::Add();
  Vm::SetRunEndProc(EndRun);
}

} // namespace ProgramModules
