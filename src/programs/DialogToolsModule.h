// The dialog framework's tools as compiled programs see them: the module ColorPicker
// (the colour picker, dialog/ColorPicker.h) and the module ToolTips (help files and the
// tip window, dialog/Help.h), as native modules of the program. Both work on the
// dialogs of the module Dialog, whose handles they take.
#pragma once

#include "modules/NativeModules.h"

namespace DialogToolsModule {

// The modules' definition texts and native procedures.
Native::ModuleSpec ColorPickerSpec();
Native::ModuleSpec ToolTipsSpec();
void Add();
// The end of a run, after its dialogs are disposed of: the help the program loaded goes.
void ReleaseHelp();

} // namespace DialogToolsModule
