// Run-time traps and the interactive checks of the buffer store.
//
// Every trap shows its message and ends the program through Startup::Terminate, so
// that the orderly shutdown still runs; nothing is retried. The checks of NIL pointers
// and bad handles offer "Continue", "No Check" and "BREAK" in a three-button alert.
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

// "Case error.", then Terminate.
[[noreturn]] void CaseError();
// "Function return error.", then Terminate.
[[noreturn]] void FunctionReturnError();
// "HALT called.", then Terminate.
[[noreturn]] void Halt();
// "BREAK called.", then Terminate.
[[noreturn]] void Break();

// For a NIL p: "Pointer is NIL!" with the one button "BREAK", then Break.
void CheckPointer(const void* p);
// A bad output handle: when the output check is on, "Output handle/adr Error!" with
// "Continue", "No Check" and "BREAK". Returns when the user continues.
void CheckOutputHandle();
// True when h is NIL (the handle is bad), after "Input handle = NIL!" when the input
// check is on; false for a good handle.
bool CheckInputHandle(const void* h);

void SetCheckOutputHandles(bool on);
bool CheckOutputHandles();
void SetCheckInputHandles(bool on);
bool CheckInputHandles();

} // namespace Checks
