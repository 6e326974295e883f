#include "platform/Alerts.h"

#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "platform/Toolbox.h"
#include "store/FileSystem.h"

namespace Alerts {

namespace {

using base::kLineHigh;                  // alert texts and input lines
constexpr std::size_t kNumberHigh = 39; // answers of the number prompts
constexpr std::size_t kFileErrorHigh = 127;
constexpr int kRealPlaces = 14;
constexpr int kFixedPlaces = 16;
constexpr int kDefaultBeep = 1;

struct State {
  bool initialised = false;
  GetOutputWindowProc getOutput = nullptr;
  SetOutputWindowProc setOutput = nullptr;
  ErrorLineProc errorLine = nullptr;
  EditTextProc editText = nullptr;
};

State state;

// A text cut to an input line.
struct Line {
  char s[kLineHigh + 1] = {};
  explicit Line(Chars text) { Strings::Assign(s, text); }
  operator Chars() const { return Chars(s, kLineHigh); }
};

// Stops any sound and keeps the output window of the shell for the time of a prompt.
class PromptGuard {
public:
  PromptGuard() : kept_(state.getOutput != nullptr), saved_(CurrentOutputWindow()) {
    Toolbox::StopTone();
  }
  ~PromptGuard() {
    if (kept_) SetCurrentOutputWindow(saved_);
  }
  PromptGuard(const PromptGuard&) = delete;
  PromptGuard& operator=(const PromptGuard&) = delete;

private:
  bool kept_;
  OutputWindow saved_;
};

int ShowAlert(Chars text, int code) {
  PromptGuard guard;
  Toolbox::SetAlertText(text);
  return Toolbox::Alert(code);
}

// True when the scan stopped at the end of the answer.
bool AtEnd(Chars text, std::size_t pos) { return pos > text.high || text[pos] == 0; }

// Asks for a real with its default already written into answer.
double AskRealText(Chars prompt, char (&answer)[kNumberHigh + 1], double defaultValue) {
  if (!AskString(prompt, answer)) return defaultValue;
  std::size_t pos = 0;
  double value = 0.0;
  if (NumberIn::ScanRealSI(answer, pos, value) && AtEnd(answer, pos)) return value;
  return defaultValue;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  NumberIn::Init();
  NumberOut::Init();
  FileSystem::Init();
}

void AlertBeep() {
  Toolbox::StopTone();
  Toolbox::Beep(kDefaultBeep);
}

void AlertBeepKind(std::int32_t, std::int32_t, int kind) {
  Toolbox::StopTone();
  Toolbox::Beep(kind);
}

void ShowErrorLine(Chars text) {
  const Line line(text);
  if (state.errorLine != nullptr) state.errorLine(line);
  AlertBeep();
}

void Message(Chars text) { ShowAlert(text, Toolbox::kAlertOk); }

void Note(Chars a, Chars b, Chars c, Chars d) {
  Line text(a);
  Strings::Append(text.s, b);
  Strings::Append(text.s, c);
  Strings::Append(text.s, d);
  ShowAlert(text.s, Toolbox::kAlertOkNoIcon);
}

int AskYesNo(Chars text, int defaultAnswer) {
  const int code =
      defaultAnswer == kYes ? Toolbox::kAlertYesNoDefaultYes : Toolbox::kAlertYesNoDefaultNo;
  // Anything but Yes (a box closed some other way) counts as No, the answer that
  // leaves things as they are.
  return ShowAlert(text, code) == kYes ? kYes : kNo;
}

bool Ask(Chars text, bool defaultYes) { return AskYesNo(text, defaultYes ? kYes : kNo) == kYes; }

int AskYesNoCancel(Chars text, int defaultAnswer) {
  int code = Toolbox::kAlertYesNoCancelDefaultCancel;
  if (defaultAnswer == kYes) code = Toolbox::kAlertYesNoCancelDefaultYes;
  if (defaultAnswer == kNo) code = Toolbox::kAlertYesNoCancelDefaultNo;
  const int answer = ShowAlert(text, code);
  return (answer == kYes || answer == kNo) ? answer : kCancel;
}

bool AskString(Chars prompt, VarChars answer) {
  PromptGuard guard;
  Line line(answer);
  if (!Toolbox::AskString(Line(prompt), line.s)) return false;
  Strings::Assign(answer, line.s);
  return true;
}

bool AskTwoStrings(Chars prompt1, VarChars answer1, Chars prompt2, VarChars answer2) {
  PromptGuard guard;
  Line line1(answer1);
  Line line2(answer2);
  if (!Toolbox::AskTwoStrings(Line(prompt1), line1.s, Line(prompt2), line2.s)) return false;
  Strings::Assign(answer1, line1.s);
  Strings::Assign(answer2, line2.s);
  return true;
}

std::int32_t AskInt(Chars prompt, std::int32_t defaultValue) {
  char answer[kNumberHigh + 1] = {};
  NumberOut::AppendInt(defaultValue, answer, 0);
  if (!AskString(prompt, answer)) return defaultValue;
  std::size_t pos = 0;
  std::int32_t value = 0;
  return NumberIn::ScanInt(answer, pos, value) ? value : defaultValue;
}

double AskReal(Chars prompt, double defaultValue) {
  char answer[kNumberHigh + 1] = {};
  NumberOut::AppendReal(defaultValue, answer, kRealPlaces);
  return AskRealText(prompt, answer, defaultValue);
}

double AskFixed(Chars prompt, double defaultValue, int decimals) {
  char answer[kNumberHigh + 1] = {};
  NumberOut::AppendFixed(defaultValue, answer, kFixedPlaces, decimals);
  return AskRealText(prompt, answer, defaultValue);
}

bool EditText(Chars title, VarChars text, std::int32_t options) {
  if (state.editText == nullptr) return false;
  PromptGuard guard;
  const Line line(title);
  return state.editText(line, text, options);
}

int ThreeButtonAlert(Chars text, Chars left, Chars middle, Chars right, int defaultButton,
                     int escapeButton) {
  PromptGuard guard;
  return Toolbox::ThreeButtonAlert(Line(text), left, middle, right, defaultButton, escapeButton);
}

void FileErrorMessage(Chars text) {
  char message[kFileErrorHigh + 1] = {};
  char error[kFileErrorHigh + 1] = {};
  Strings::Assign(message, text);
  Strings::Append(message, ": ");
  FileSystem::ErrorText(FileSystem::Result(), error);
  Strings::Append(message, error);
  AlertBeep();
  Message(message);
}

void SetOutputWindowProcs(GetOutputWindowProc get, SetOutputWindowProc set) {
  state.getOutput = get;
  state.setOutput = set;
}

OutputWindow CurrentOutputWindow() {
  return state.getOutput != nullptr ? state.getOutput() : nullptr;
}

void SetCurrentOutputWindow(OutputWindow window) {
  if (state.setOutput != nullptr) state.setOutput(window);
}

void SetErrorLineProc(ErrorLineProc proc) { state.errorLine = proc; }

void SetEditTextProc(EditTextProc proc) { state.editText = proc; }

} // namespace Alerts
