#include "app/Application.h"

#include "app/Runner.h"
#include "dialog/Dialog.h"
#include "dialog/DialogConfig.h"
#include "dialog/Help.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/Menus.h"
#include "editwin/ShellStart.h"
#include "platform/Alerts.h"
#include "platform/Events.h"
#include "platform/Signals.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "programs/ProgramModules.h"
#include "recovery/Recovery.h"
#include "shell/Commands.h"
#include "shell/FileCommands.h"
#include "shell/ShellMenus.h"
#include "tools/Notebook.h"
#include "tools/Printing.h"
#include "tools/Settings.h"

namespace Application {

namespace {
bool initialised = false;
bool compiler = true;
std::vector<std::string> filesToOpen;

// The shell's commands, then the machine and (unless switched off) the compiler.
void StartShell() {
  Shell::StartCommands();
  Runner::Install(compiler);
}

// The Options menu's tool-tip items: "Tool Tips" (checked while they are on) and
// "Load Help File...", which turns them on once a file is loaded.
std::int32_t toolTipsItem = 0;
void ToolTipsMark(bool on) {
  if (toolTipsItem != 0) Menus::SetCheck(ShellMenus::Menu(ShellMenus::kOptions), toolTipsItem, on);
}
void LoadHelpFile() {
  char name[base::kPathHigh + 1] = "";
  if (Toolbox::AskFileName(1, "Help file to load:", "*.hlp", name) && Help::Load(name))
    Help::SetTipsOn(true);
}
// The journal of modified texts, from the moment the shell's texts exist; then what a
// workstation that ended left behind is offered, and the texts recovered open, modified.
void StartRecovery() {
  const std::string directory = Recovery::DefaultDirectory();
  if (!Recovery::Start(directory)) {
    Alerts::Message(base::CharsOf("Modified texts cannot be kept for recovery in " + directory +
                                  ": the directory cannot be used."));
    return;
  }
  Events::SetIdleProc(Recovery::Idle);
  for (Buffer::Ref b : Recovery::Offer())
    EditWindows::ShowBuffer(b == Shell::CommandText() ? nullptr : b,
                            EditWindows::kRefresh | EditWindows::kActivate);
}

// A normal end in which the user decided about every modified text.
void DiscardRecovery() { Recovery::Stop(true); }

void SetUpMenus() {
  ShellMenus::SetUp();
  std::int32_t& options = ShellMenus::Menu(ShellMenus::kOptions);
  Menus::AppendItem(options, "-");
  Menus::AppendItem(options, "Tool Tips");
  toolTipsItem = Menus::CountItems(options);
  Menus::SetProcedure(options, toolTipsItem, Help::Toggle);
  Menus::AppendItem(options, "Load Help File...");
  Menus::SetProcedure(options, Menus::CountItems(options), LoadHelpFile);
  ToolTipsMark(Help::TipsOn());
}
} // namespace

void UseCompiler(bool on) { compiler = on; }
void OpenAtStart(std::vector<std::string> paths) { filesToOpen = std::move(paths); }

void Init() {
  if (initialised) return;
  initialised = true;
  Startup::SetApplicationMain(Main);
  Startup::ShellHooks hooks;
  Shell::InstallStartupHooks(hooks);
  Settings::InstallStartupHooks(hooks);
  Printing::Init();
  FileCommands::Init();
  hooks.discardRecovery = DiscardRecovery;
  Startup::SetShellHooks(hooks);
  Signals::SetEndProc(Recovery::WriteAllNow);
  ProgramModules::AddAll();
  Shell::SetEditorStartProc(StartShell);
  DialogConfig::Init();
  Help::Init();
  Help::SetMarkProc(ToolTipsMark);
  Menus::SetSetUpProc(SetUpMenus);
}

void Main() {
  // The command text in the Command window, the cursor near its end, and the editor
  // on it. A window event hands control to the window that came to front: the
  // Notebook's keys while it is in front, then the buffer in front is edited. Quit ends
  // the run through Terminate, which never returns here.
  Notebook::SetMenuExtras(true, false);
  static_cast<void>(Notebook::Open(Notebook::kDefaultFrame, false));
  Shell::EnterCommandWindow();
  StartRecovery();
  for (const std::string& path : filesToOpen)
    static_cast<void>(FileCommands::OpenFile(base::CharsOf(path)));
  for (;;) {
    Editor::EditLoop();
    Notebook::Run();
    // A dialog in front takes the events until another window comes to the front.
    while (Dialog::DialogOf(Toolbox::FrontWindow()) != nullptr) Dialog::EventStep();
    Editor::EnterFrontWindow();
  }
}

} // namespace Application
