// The dialog framework's tools as compiled programs see them: the module ColorPicker
// (the colour picker, dialog/ColorPicker.h) and the module ToolTips (help files and the
// tip window, dialog/Help.h), as native modules of the program. Both work on the
// dialogs of the module Dialog, whose handles they take.
#pragma once

#include "shell/NativeModules.h"

namespace DialogToolsModule {

// The modules' definition texts and native procedures.
Native::ModuleSpec ColorPickerSpec();
Native::ModuleSpec ToolTipsSpec();
// Native::Add of both, after DialogModule::Add: the end of a run disposes of the
// program's dialogs, then of the help it loaded.
void Add();

} // namespace DialogToolsModule
