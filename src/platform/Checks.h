// Run-time traps and the interactive checks of the buffer store.
//
// A program is the user's run in this workstation, so a trap or a BREAK ends the run
// that is under way, with its report, and the workstation goes on. Outside any run a
// trap shows its message and ends the program, but through Quit (Startup::
// CallQuitProcedure), which asks about modified texts first; the orderly shutdown still
// runs. The checks of NIL pointers and bad handles offer "Continue", "No Check" and
// "BREAK" in a three-button alert; BREAK there ends the run, or outside one runs Quit,
// and the failed operation returns its failure when the program goes on.
//
// The two check switches are the buffer store's: one pair of switches decides both the
// store's own checks and the explicit ones here. They are off at start-up, set by the
// shell when checking is wanted, cleared by "No Check" and at the end of a run.
#pragma once

#include "base/Chars.h"

namespace Checks {

using base::Chars;

// The module body: the buffer store with its switches off, and the store's failed
// checks routed to the check alert.
void Init();

// "Case error.": the run ends with it, or outside one Quit, then Terminate.
[[noreturn]] void CaseError();
// "Function return error.", likewise.
[[noreturn]] void FunctionReturnError();
// "HALT called.", likewise.
[[noreturn]] void Halt();
// "BREAK called.", likewise.
[[noreturn]] void Break();

// For a NIL p: "Pointer is NIL!" with the one button "BREAK", then Break.
void CheckPointer(const void* p);
// A bad output handle: when the output check is on, "Output handle/adr Error!" with
// "Continue", "No Check" and "BREAK" (Escape continues). Returns unless BREAK ends the
// program through Quit.
void CheckOutputHandle();
// True when h is NIL (the handle is bad), after "Input handle = NIL!" when the input
// check is on; false for a good handle.
bool CheckInputHandle(const void* h);

// The machine's part: ends the run under way with the message at once (does not
// return then), or once the native procedure that raised the alert returns (true).
// Both do nothing and return (false) outside a run. Without them no run is known.
using EndRunNowProc = void (*)(Chars message);
using EndRunAfterCallProc = bool (*)(Chars message);
void SetRunProcs(EndRunNowProc endNow, EndRunAfterCallProc endAfterCall);

void SetCheckOutputHandles(bool on);
bool CheckOutputHandles();
void SetCheckInputHandles(bool on);
bool CheckInputHandles();

} // namespace Checks
