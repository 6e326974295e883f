#include "app/Application.h"

#include "dialog/Dialog.h"
#include "editor/Editor.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "shell/Commands.h"
#include "shell/Menus.h"
#include "shell/ShellMenus.h"
#include "shell/ShellStart.h"
#include "tools/Notebook.h"
#include "tools/Printing.h"
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
  Printing::Init();
  Startup::SetShellHooks(hooks);
  ProgramModules::AddAll();
  Shell::SetEditorStartProc(StartShell);
  Menus::SetSetUpProc(ShellMenus::SetUp);
}

void Main() {
  // The command text in the Command window, the cursor near its end, and the editor
  // on it. A window event hands control to the window that came to front: the
  // Notebook's keys while it is in front, then the buffer in front is edited. Quit ends
  // the run through Terminate, which never returns here.
  Notebook::SetMenuExtras(true, false);
  static_cast<void>(Notebook::Open(Notebook::kDefaultFrame, false));
  Shell::EnterCommandWindow();
  for (;;) {
    Editor::EditLoop();
    Notebook::Run();
    // A dialog in front takes the events until another window comes to the front.
    while (Dialog::DialogOf(Toolbox::FrontWindow()) != nullptr) Dialog::EventStep();
    Editor::EnterFrontWindow();
  }
}

} // namespace Application
