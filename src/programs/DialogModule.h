// The module Dialog as compiled programs see it: dialogs of typed items built by the
// program (dialog/Dialog.h underneath), as a native module of the program.
//
// Dialogs reach programs as handles that every procedure checks ("invalid dialog").
// Items are bound to the program's global variables, whose addresses are checked to lie
// in a compiled module's variables ("invalid variable address"); procedure values are
// checked to be procedures ("invalid procedure") and are called back through the
// machine. The dialogs a program opens are disposed of when its run ends.
#pragma once

#include <cstdint>

#include "dialog/Dialog.h"
#include "modules/NativeModules.h"

namespace DialogModule {

// The module's definition text and native procedures.
Native::ModuleSpec Spec();
// Native::Add of the module; the dialogs of a run go at its end.
void Add();
// Disposes of every dialog programs made (the end of a run).
void DisposeAll();
// The dialog of a handle a program holds: nullptr for NIL; a handle of no dialog traps.
Dialog::DialogRecord* RecordOf(std::uint64_t handle);
// Around native calls that run the event handling, and with it the program's procedures:
// a dialog the program closes meanwhile is disposed of when the outermost call ends.
void BeginCallbacks();
void EndCallbacks();

} // namespace DialogModule
