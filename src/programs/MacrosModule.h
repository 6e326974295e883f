// The module Macros as compiled programs see it: recording the user's actions on the
// program's dialogs, playing them back, and the macro files (macros/Macros.h underneath),
// as a native module of the program. The macros of a run go at its end.
#pragma once

#include "modules/NativeModules.h"

namespace MacrosModule {

// The module's definition text and native procedures.
Native::ModuleSpec Spec();
void Add();

} // namespace MacrosModule
