// The module Dialog as compiled programs see it: dialogs of typed items built by the
// program (dialog/Dialog.h underneath), as a native module of the program.
//
// Dialogs reach programs as handles that every procedure checks ("invalid dialog").
// Items are bound to the program's global variables, whose addresses are checked to lie
// in a compiled module's variables ("invalid variable address"); procedure values are
// checked to be procedures ("invalid procedure") and are called back through the
// machine. The dialogs a program opens are disposed of when its run ends.
#pragma once

#include "shell/NativeModules.h"

namespace DialogModule {

// The module's definition text and native procedures.
Native::ModuleSpec Spec();
// Native::Add of the module; the dialogs of a run go at its end.
void Add();
// Disposes of every dialog programs made (the end of a run).
void DisposeAll();

} // namespace DialogModule
