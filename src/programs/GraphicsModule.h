// The module Graphics as compiled programs see it: graphics windows drawing in world
// coordinates, axes, pictures saved as PNG or SVG, and the plots of sampled data, as a
// native module of the program (windows/Graphics.h and windows/Plot.h underneath).
//
// Windows and ports reach programs as handles (opaque types), which every procedure
// checks: one that is not open traps with "invalid graphics window" or "invalid
// graphics port", so that no value a program makes up can reach a record. While a
// graphics window is open the menu bar holds a Graphics menu whose commands work on
// the front-most graphics window: "Save Picture..." and "Close Window".
#pragma once

#include "modules/NativeModules.h"

namespace GraphicsModule {

// The module's definition text and native procedures.
Native::ModuleSpec Spec();
// Native::Add of the module.
void Add();

} // namespace GraphicsModule
