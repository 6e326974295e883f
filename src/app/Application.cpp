#include "app/Application.h"

#include "editor/Editor.h"
#include "platform/Startup.h"
#include "shell/Commands.h"
#include "shell/Menus.h"
#include "shell/ShellMenus.h"
#include "shell/ShellStart.h"
#include "tools/Settings.h"
#include "vm/ProgramModules.h"
#include "vm/Runner.h"

namespace Application {

namespace {
bool initialised = false;
bool compiler = true;

// The shell's commands, then the machine and (unless switched off) the compiler.
void StartShell() {
  Shell::StartCommands();
  Runner::Install(compiler);
}
} // namespace

void UseCompiler(bool on) { compiler = on; }

void Init() {
  if (initialised) return;
  initialised = true;
  Startup::SetApplicationMain(Main);
  Startup::ShellHooks hooks;
  Shell::InstallStartupHooks(hooks);
  Settings::InstallStartupHooks(hooks);
  Startup::SetShellHooks(hooks);
  ProgramModules::AddAll();
  Shell::SetEditorStartProc(StartShell);
  Menus::SetSetUpProc(ShellMenus::SetUp);
}

void Main() {
  // The command text in the Command window, the cursor near its end, and the editor
  // on it. A window event hands control to the window that came to front: its buffer
  // is edited next. Quit ends the run through Terminate, which never returns here.
  Shell::EnterCommandWindow();
  for (;;) {
    Editor::EditLoop();
    Editor::EnterFrontWindow();
  }
}

} // namespace Application
