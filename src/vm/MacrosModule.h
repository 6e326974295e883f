// The module Macros as compiled programs see it: recording the user's actions on the
// program's dialogs, playing them back, and the macro files (macros/Macros.h underneath),
// as a native module of the program. The macros of a run go at its end.
#pragma once

#include "shell/NativeModules.h"

namespace MacrosModule {

// The module's definition text and native procedures.
Native::ModuleSpec Spec();
// Native::Add of the module; the macros are released at the end of a run, before the
// dialogs of the run are disposed of.
void Add();

} // namespace MacrosModule
