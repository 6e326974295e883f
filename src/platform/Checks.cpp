#include "platform/Checks.h"

#include "platform/Alerts.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace Checks {

namespace {

struct State {
  bool initialised = false;
  EndRunNowProc endNow = nullptr;
  EndRunAfterCallProc endAfterCall = nullptr;
};

State state;

constexpr char kContinue[] = "Continue";
constexpr char kNoCheck[] = "No Check";
constexpr char kBreak[] = "BREAK";
constexpr char kBreakCalled[] = "BREAK called.";
constexpr int kContinueAnswer = 1;
constexpr int kNoCheckAnswer = 2;
constexpr int kBreakAnswer = 3;

[[noreturn]] void Trap(Chars message) {
  if (state.endNow != nullptr) state.endNow(message);
  Toolbox::SetAlertText(message);
  Toolbox::Alert(Toolbox::kAlertOk);
  // Quit returns when the user keeps the program; it cannot go on after a trap, but the
  // journal keeps every modified text for the next start.
  Startup::CallQuitProcedure();
  Startup::Terminate();
}

// The three-button check alert; "No Check" is offered only when noCheck is set.
// BREAK ends the run under way (once the operation has returned its failure), or
// outside a run asks Quit's questions; the program going on, it answers as "Continue".
int CheckAlert(Chars message, bool noCheck) {
  // Escape goes on, as "Continue" does: it never breaks off.
  const int answer = Alerts::ThreeButtonAlert(
      message, kContinue, noCheck ? Chars(kNoCheck) : Chars(), kBreak, kBreakAnswer, 1);
  if (answer != kBreakAnswer) return answer;
  if (state.endAfterCall == nullptr || !state.endAfterCall(Chars(kBreakCalled)))
    Startup::CallQuitProcedure();
  return kContinueAnswer;
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
void Break() { Trap(Chars(kBreakCalled)); }

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

void SetRunProcs(EndRunNowProc endNow, EndRunAfterCallProc endAfterCall) {
  state.endNow = endNow;
  state.endAfterCall = endAfterCall;
}

void SetCheckOutputHandles(bool on) { Buffer::SetChecks(Buffer::CheckInput(), on); }
bool CheckOutputHandles() { return Buffer::CheckOutput(); }
void SetCheckInputHandles(bool on) { Buffer::SetChecks(on, Buffer::CheckOutput()); }
bool CheckInputHandles() { return Buffer::CheckInput(); }

} // namespace Checks
