#include "platform/Checks.h"

#include "platform/Alerts.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace Checks {

namespace {

struct State {
  bool initialised = false;
};

State state;

constexpr char kContinue[] = "Continue";
constexpr char kNoCheck[] = "No Check";
constexpr char kBreak[] = "BREAK";
constexpr int kNoCheckAnswer = 2;
constexpr int kBreakAnswer = 3;

[[noreturn]] void Trap(Chars message) {
  Toolbox::SetAlertText(message);
  Toolbox::Alert(Toolbox::kAlertOk);
  Startup::Terminate();
}

// The three-button check alert; "No Check" is offered only when noCheck is set.
// Answer 3 breaks off; the other answers are returned.
int CheckAlert(Chars message, bool noCheck) {
  // Escape goes on, as "Continue" does: it never breaks off.
  const int answer = Alerts::ThreeButtonAlert(
      message, kContinue, noCheck ? Chars(kNoCheck) : Chars(), kBreak, kBreakAnswer, 1);
  if (answer == kBreakAnswer) Break();
  return answer;
}

Buffer::CheckAnswer StoreCheckAlert(Buffer::CheckKind kind, Chars message) {
  // The store clears its own switch when the answer is "No Check".
  const int answer = CheckAlert(message, kind != Buffer::CheckKind::Fatal);
  return answer == kNoCheckAnswer ? Buffer::CheckAnswer::NoCheck : Buffer::CheckAnswer::Continue;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  Alerts::Init();
  Buffer::SetCheckAlert(StoreCheckAlert);
}

void CaseError() { Trap("Case error."); }
void FunctionReturnError() { Trap("Function return error."); }
void Halt() { Trap("HALT called."); }
void Break() { Trap("BREAK called."); }

void CheckPointer(const void* p) {
  if (p != nullptr) return;
  Alerts::ThreeButtonAlert("Pointer is NIL!", {}, {}, kBreak, kBreakAnswer);
  Break();
}

void CheckOutputHandle() {
  if (!CheckOutputHandles()) return;
  if (CheckAlert("Output handle/adr Error!", true) == kNoCheckAnswer) SetCheckOutputHandles(false);
}

bool CheckInputHandle(const void* h) {
  if (h != nullptr) return false;
  if (CheckInputHandles() && CheckAlert("Input handle = NIL!", true) == kNoCheckAnswer)
    SetCheckInputHandles(false);
  return true;
}

void SetCheckOutputHandles(bool on) { Buffer::SetChecks(Buffer::CheckInput(), on); }
bool CheckOutputHandles() { return Buffer::CheckOutput(); }
void SetCheckInputHandles(bool on) { Buffer::SetChecks(on, Buffer::CheckOutput()); }
bool CheckInputHandles() { return Buffer::CheckInput(); }

} // namespace Checks
