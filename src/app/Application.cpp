#include "app/Application.h"

#include "editor/Editor.h"
#include "platform/Startup.h"
#include "shell/Commands.h"
#include "shell/ShellStart.h"

namespace Application {

namespace {
bool initialised = false;
} // namespace

void Init() {
  if (initialised) return;
  initialised = true;
  Startup::SetApplicationMain(Main);
  Shell::InstallStartupHooks();
  Shell::SetEditorStartProc(Shell::StartCommands);
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
