// The debugger in the workstation's windows: breakpoints set from the editor (F9) and
// the Debug menu, runs that stop there showing the line in its text, and the Debug
// window, a read-only text whose rows are the call chain of the stopped or trapped run,
// the chosen frame's parameters and locals, its module's globals and the watches. F9 on
// a row of that window chooses the frame (its line shows in its text), unfolds or folds
// a record or an array, shows the next page of a long array, or asks for a new value of
// a number, character, BOOLEAN or enumeration while the run is stopped.
//
// Keys: F9 breakpoint (in the Debug window: the row), F6 Continue, Shift+F6 Stop, F10
// Step Over, F11 Step Into, Shift+F11 Step Out.
#pragma once

#include <cstdint>

#include "store/Buffer.h"
#include "vm/Debug.h"

namespace DebugWindow {

// Installs the debugger: the stop front of the debugging session, the editor's keys, the
// margin marks. Called when the shell's menus are built.
void Init();

// ---- The Debug menu's commands ----
void ToggleBreakpoint(); // on the cursor's line of the text being edited
void Condition();        // of the breakpoint on the cursor's line: condition and hit count
void ClearAllBreakpoints();
void Continue();
void StepInto();
void StepOver();
void StepOut();
void Stop();
void Show();     // the Debug window, opened or brought up to date
void AddWatch(); // an expression shown after every stop; one named again goes

// F9 in the Debug window: what the row under the cursor offers.
void ChooseRow();

// Whether a run waits at a stop now.
bool Stopped();
// True, with a message, when a run waits at a stop: nothing is compiled or started then.
bool RefuseWhileStopped();
// The Debug window's text (created on first use).
Buffer::Ref Text();
bool IsDebugText(Buffer::Ref b);

// A run begins, a run ended: the window forgets the last trap, or shows the new one.
void RunBegins();
void RunEnded();

// Shows a stop and runs the workstation until the user chooses how the run goes on; the
// session's front.
Vm::Debug::Resume Front(const Vm::Debug::Stop& stop);

// Called when the menu's enabling changes (a stop begins or ends, breakpoints come or
// go); installed by the menus.
void SetMenuProc(void (*proc)());

} // namespace DebugWindow
