#include "shell/ShellMenus.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/Menus.h"
#include "editwin/ShellStart.h"
#include "modules/Definitions.h"
#include "modules/NativeModules.h"
#include "platform/Alerts.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "shell/Breakpoints.h"
#include "shell/Commands.h"
#include "shell/Compile.h"
#include "shell/DebugWindow.h"
#include "shell/FileCommands.h"
#include "shell/FindAll.h"
#include "store/Lines.h"
#include "tools/Notebook.h"
#include "tools/Printing.h"
#include "windows/KeyEvents.h"

namespace ShellMenus {

namespace {

using KeyEvents::KeyCharacter;
using KeyEvents::KeyInsert;

struct Item {
  std::int32_t number;
  const char* text;
  Menus::Proc proc;
  char key = 0;
};

std::int32_t menus[9] = {}; // by shell number: the manager's numbers

std::int32_t& M(std::int32_t shellNumber) { return menus[shellNumber]; }

// Fills a menu: the items at their numbers, separators in the gaps.
void Fill(std::int32_t& menu, std::initializer_list<Item> items) {
  for (const Item& it : items) {
    while (Menus::CountItems(menu) < it.number - 1) Menus::AppendItem(menu, "-");
    Menus::AppendItem(menu, base::CharsOf(it.text));
    if (it.proc != nullptr) Menus::SetProcedure(menu, it.number, it.proc);
    if (it.key != 0) Menus::SetKey(menu, it.number, it.key);
  }
}

void Learned(std::uint8_t code, char ch) { Editor::AppendMacroKey(code, ch); }
void Gold(char ch) {
  Learned(KeyInsert, 0);
  Learned(KeyCharacter, ch);
}

// The items that need the compiler have no procedure without one.
Menus::Proc IfCompiling(Menus::Proc proc) {
  return Compile::Interface().available ? proc : nullptr;
}

// The Edit menu's commands that change the text, and compiling, refuse a read-only text.
template <Menus::Proc P> void Writable() {
  if (!Editor::RefuseReadOnly()) P();
}

// ---- File ----

void SaveGroup1() { FileCommands::SaveGroup(1); }
void SaveGroup2() { FileCommands::SaveGroup(2); }
void SaveGroup0() { FileCommands::SaveGroup(0); }
void SaveGroup3() { FileCommands::SaveGroup(3); }
void SaveGroup4() { FileCommands::SaveGroup(4); }
void SaveGroup5() { FileCommands::SaveGroup(5); }
void SaveCurrent() { static_cast<void>(FileCommands::Save()); }
void MarginsItem() { static_cast<void>(Printing::Margins()); }

// ---- Edit ----

void UndoItem() {
  Gold('!');
  Editor::Undo();
}
void CutItem() {
  Gold('@');
  Editor::CutWithUndo();
}
void CopyItem() {
  Gold('#');
  Editor::CopyToPaste();
}
void PasteItem() {
  Gold('$');
  Editor::PasteWithUndo(1);
}
void ClearItem() {
  Learned(KeyEvents::KeyDeleteLeft, 0);
  Editor::DeleteSelectRange();
}
void SelectAllItem() {
  Learned(KeyEvents::KeyHome, 0);
  Learned(KeyEvents::KeyKeypadPoint, 0);
  Learned(KeyEvents::KeyEnd, 0);
  Editor::SelectAll();
}
void ZoomIn() { EditWindows::Zoom(Editor::EditedText(), 0); }
void ZoomOut() { EditWindows::Zoom(Editor::EditedText(), 1); }

void UndoText(base::Chars text) { Menus::SetItemText(M(kEdit), 1, text); }

// ---- Learn ----

void LearnItem() { Editor::Learn(); }
void StopItem() { Editor::StopLearning(); }
template <std::int32_t N> void SlotItem() { Editor::ExecuteSlot(N); }

// The slots' names and enabling and the check mark of "Show While Executing".
void LearnTexts() {
  std::int32_t& learn = M(kLearn);
  for (std::int32_t item = Editor::kFirstSlotItem; item <= Editor::kShowWhileExecutingItem;
       ++item) {
    char text[40];
    bool enabled = false, checked = false;
    if (!Editor::LearnMenuItem(item, text, enabled, checked)) continue;
    if (text[0] != 0) Menus::SetItemText(learn, item, text);
    if (item == Editor::kShowWhileExecutingItem)
      Menus::SetCheck(learn, item, checked);
    else
      Menus::Enable(learn, item, enabled);
  }
  Menus::UpdateMenus(true);
}

// ---- Module ----

// The Module menu's items that run modules, and what they show.
constexpr std::int32_t kCompileOnlyItem = 12;
constexpr std::int32_t kCompileAndLoadItem = 13;
constexpr std::int32_t kCompileAndExecuteItem = 14;
constexpr std::int32_t kExecuteItem = 15;
constexpr std::int32_t kExecuteModuleItem = 17;

// While a body runs, Execute carries a check mark and the items that compile are off (a
// compilation may replace the code that runs); Execute names the module to execute.
void ModuleMenuMarks(bool running) {
  std::int32_t& module = M(kModule);
  Menus::SetCheck(module, kExecuteItem, running);
  for (const std::int32_t item : {kCompileOnlyItem, kCompileAndLoadItem, kCompileAndExecuteItem})
    Menus::Enable(module, item, !running);
  char name[17];
  Compile::ModuleToExecute(name);
  char text[40] = "Execute Same";
  if (name[0] != 0) {
    Strings::Assign(text, "Execute \"");
    Strings::Append(text, name);
    Strings::Append(text, "\"");
  }
  Menus::SetItemText(module, kExecuteItem, text);
  Menus::UpdateMenus(true);
}

void CommandWindowItem() { Editor::FunctionKeyCommand(KeyEvents::KeyF5, 1); }
void ListWindowItem() { Editor::FunctionKeyCommand(KeyEvents::KeyF7, 1); }
void UserWindowItem() { Editor::FunctionKeyCommand(KeyEvents::KeyF8, 1); }
void CompileItem() {
  Editor::ShowEditMessage("Compiling ...");
  Editor::FunctionKeyCommand(KeyEvents::KeyF12, 1);
}
void CloseOthers() {
  const Buffer::Ref keep = Editor::EditedText();
  Buffer::ForEach(Buffer::Current(), [keep](Buffer::Ref b) {
    if (b != keep && Buffer::KindOf(b) == Buffer::BufferKind::Text)
      EditWindows::CloseBufferWindow(b);
  });
}
void CompileOnlyItem() {
  if (Compile::CompileBuffer()) Editor::ShowEditMessage("Successful compilation.");
}
void CompileAndLoadItem() { Compile::CompileAndLoad(); }
void CompileAndExecuteItem() { Compile::CompileAndRun(); }
// Runs the module to execute; a second one while a body runs only when the user agrees.
void ExecuteItem() {
  char name[17];
  Compile::ModuleToExecute(name);
  if (name[0] == 0) {
    Editor::ShowEditMessage("No module to execute.");
    return;
  }
  if (Compile::Running() && !Alerts::Ask("Execute an additional user process?", false)) return;
  static_cast<void>(Compile::RunModule(name));
}
// Asks for the module to execute, then runs it as Execute does.
void ExecuteModuleItem() {
  char name[17];
  Compile::ModuleToExecute(name);
  if (!Alerts::AskString("Execute Module:", name) || name[0] == 0) return;
  Compile::SetModuleToExecute(name);
  ExecuteItem();
}

// ---- Debug ----

constexpr std::int32_t kConditionItem = 2;
constexpr std::int32_t kClearAllItem = 3;
constexpr std::int32_t kContinueItem = 5;
constexpr std::int32_t kStopItem = 9;

// Continue, the steps and Stop apply while a run is stopped; the condition and clearing
// them all while there are breakpoints.
void DebugMarks() {
  std::int32_t& debug = M(kDebug);
  for (std::int32_t item = kContinueItem; item <= kStopItem; ++item)
    Menus::Enable(debug, item, DebugWindow::Stopped());
  Menus::Enable(debug, kConditionItem, Breakpoints::Count() > 0);
  Menus::Enable(debug, kClearAllItem, Breakpoints::Count() > 0);
  Menus::UpdateMenus(true);
}

// ---- Options ----

void ShowList() { Editor::FunctionKeyCommand(KeyEvents::KeyF7, 1); }
void ListItem() {
  c::list();
  ShowList();
}
void ModuleListItem() {
  c::mlist();
  ShowList();
}
void ConflictsItem() {
  c::conflicts();
  ShowList();
}
void MemoryItem() {
  c::mem();
  ShowList();
}
void CompilerOptions() {
  Toolbox::SetAlertText("Compiler not implemented !");
  Toolbox::Alert(Toolbox::kAlertOk);
}
void PositionItem() {
  Editor::SetPositionShown(!Editor::PositionShown());
  Menus::SetCheck(M(kOptions), 10, Editor::PositionShown());
  Editor::ClearEditMessage();
}
constexpr std::int32_t kChecksumsItem = 15;
// Checksum lines for DE?-, MO?- and BA?-modules in the group saves; kept in the settings.
void ChecksumsItem() {
  FileCommands::SetChecksums(!FileCommands::Checksums());
  Menus::SetCheck(M(kOptions), kChecksumsItem, FileCommands::Checksums());
}
void HelpItem() { Editor::HelpScreen(); }

// ---- Windows and the application menu ----

void ChooseBuffer(Buffer::Ref b) {
  if (b == Shell::CommandText())
    EditWindows::ShowBuffer(b, EditWindows::kRefresh | EditWindows::kActivate);
  else
    Editor::EditText(b);
}

void About() {
  char title[40], version[80];
  Startup::GetApplicationTitle(title);
  Toolbox::LoadResourceString(1, version);
  char text[160];
  Strings::Assign(text, title);
  Strings::Append(text, " ");
  Strings::Append(text, version);
  Strings::Append(text, "\rA workstation for Modula-2 programs.");
  Toolbox::SetAlertText(text);
  Toolbox::Alert(Toolbox::kAlertOkNoIcon);
}

// The walkthrough of the README in short, in the List.
constexpr const char* kFirstMinutes[] = {
    "The first ten minutes (the README walks through them in full):",
    "1. File > Create... (Ctrl+N) makes a text: name it Hello.mod and type a program",
    "   module, MODULE Hello; ... END Hello.",
    "2. F12 compiles it. A compile error puts the cursor on it; the message line says",
    "   what is wrong. Mend it and press F12 again.",
    "3. F5 shows the Command window: write  c.execute(\"Hello\");  between BEGIN and",
    "   END, press F12. What the program writes appears here, in the List (F7).",
    "4. A run-time error ends the run with a report here: the error, then the module,",
    "   procedure and line, and the calls that led there. F12 then shows that line.",
    "Help > Library Modules lists what programs import; F1 shows the editor's keys.",
};
void FirstMinutes() {
  Shell::ClearList();
  for (const char* line : kFirstMinutes) Shell::WriteList(base::CharsOf(line));
  ShowList();
}

// The definitions of the library, shown by Help > Library Modules: read-only texts in a
// directory of their own, never saved over the files they come from.
constexpr char kLibraryDirectory[] = "/Library";
constexpr char kLibraryPrompt[] = "Definition of the library module:";
constexpr char kNoSuchModule[] = "Library Modules - No such module: ";

bool IsLibraryText(Buffer::Ref b) {
  const Buffer::Ref dir = Buffer::Find(kLibraryDirectory);
  return dir != nullptr && b != nullptr && b != dir && b->parent == dir;
}

// The library's definitions and the Debug window are read, never written.
bool ReadOnlyText(Buffer::Ref b) { return IsLibraryText(b) || DebugWindow::IsDebugText(b); }

// Opens the definition of the module in an edit window; false when there is none.
bool ShowDefinition(base::Chars name) {
  const std::string module = base::ToString(name);
  const std::string text = Definitions::FileText(module);
  if (text.empty()) return false;
  const std::string path = std::string(kLibraryDirectory) + "/" + module + ".def";
  Buffer::Ref b = Buffer::Find(base::CharsOf(path));
  if (b == nullptr) {
    if (Buffer::Open(kLibraryDirectory, Buffer::BufferKind::Directory) == nullptr) return false;
    b = Buffer::Create(base::CharsOf(path), Buffer::BufferKind::Text);
    if (b == nullptr) return false;
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      static_cast<void>(Lines::Append(b, text.data() + at, end - at));
      at = end + 1;
    }
    Lines::SetModified(b, false);
  }
  static_cast<void>(EditWindows::OpenBufferWindow(b, EditWindows::Placement::Automatic));
  Editor::EditText(b);
  return true;
}

// The modules programs can import, each with its procedures, in the List; then the
// definition of the one the user names opens, read-only.
void LibraryModules() {
  Shell::ClearList();
  Shell::WriteList("Library modules (IMPORT them, or FROM Name IMPORT procedures):");
  for (const Native::ModuleSpec* m : Native::All()) {
    std::string line = std::string(m->name) + ":";
    for (const Native::Procedure& p : m->procedures) {
      if (line.size() + 1 + std::strlen(p.name) > 79) {
        Shell::WriteList(base::CharsOf(line));
        line = "   ";
      }
      line += std::string(" ") + p.name;
    }
    Shell::WriteList(base::CharsOf(line));
  }
  Shell::WriteList("SYSTEM: ADDRESS WORD BYTE PROCESS ADR TSIZE NEWPROCESS TRANSFER");
  ShowList();
  static char name[base::kNameHigh + 1] = "InOut";
  if (!Alerts::AskString(kLibraryPrompt, name)) return;
  if (!ShowDefinition(name)) Shell::WriteCommandError(kNoSuchModule, name);
}

void ApplicationMenu() {
  // The application menu's number is fixed; its first item is the about box.
  Toolbox::Menu* help = Toolbox::NewMenu(Menus::kApplicationMenu, "Help");
  if (help == nullptr) return;
  char title[40];
  Startup::GetApplicationTitle(title);
  char text[60] = "About ";
  Strings::Append(text, title);
  Toolbox::AppendItem(help, text);
  Toolbox::AppendItem(help, "First Ten Minutes");
  Menus::SetApplicationItemProc(2, FirstMinutes);
  Toolbox::AppendItem(help, "Editor Keys (F1)");
  Menus::SetApplicationItemProc(3, HelpItem);
  Toolbox::AppendItem(help, "Library Modules");
  Menus::SetApplicationItemProc(4, LibraryModules);
  Editor::SetReadOnlyProc(ReadOnlyText);
  Toolbox::InsertMenu(help, 0);
  Menus::SetAboutProc(About);
}

// Quit last in the File menu, on Control+Q, unless the menu ends with it already.
void AddQuit(std::int32_t& file) {
  char last[80];
  Menus::GetItemText(file, Menus::CountItems(file), last);
  if (!Strings::EqualCaseless(last, "QUIT")) {
    Menus::AppendItem(file, "-");
    Menus::AppendItem(file, "Quit");
  }
  const std::int32_t quit = Menus::CountItems(file);
  Menus::SetProcedure(file, quit, Startup::CallQuitProcedure);
  Menus::SetKey(file, quit, 'Q');
}

} // namespace

void SetUp() {
  Menus::Init();
  for (std::int32_t n = kFile; n <= kDebug; ++n) {
    static const char* const kTitles[] = {"",      "",        "File",    "Edit", "Module",
                                          "Learn", "Options", "Windows", "Debug"};
    Menus::NewMenu(M(n), base::CharsOf(kTitles[n]));
  }
  Fill(M(kFile), {{1, "Create...", FileCommands::Create, 'N'},
                  {2, "Open...", FileCommands::Open, 'O'},
                  {3, "Open and Rename...", FileCommands::OpenAndRename},
                  {4, "Load All...", FileCommands::LoadAll},
                  {6, "Close", FileCommands::Close},
                  {7, "Save", SaveCurrent, 'S'},
                  {8, "Save As...", FileCommands::SaveAs},
                  {9, "Revert...", FileCommands::Revert},
                  {11, "Save DE?-Modules", SaveGroup1},
                  {12, "Save MO?-Modules", SaveGroup2},
                  {13, "Save DE?- and MO?-Modules", SaveGroup0},
                  {14, "Save Modules Existing on Directory", SaveGroup3},
                  {15, "Save Modified Modules...", SaveGroup4},
                  {16, "Save All Modified Modules", SaveGroup5},
                  {18, "Set Directory...", FileCommands::SetDirectory},
                  {20, "Printer Setup...", Printing::PrinterSetup},
                  {21, "Margins...", MarginsItem},
                  {22, "Print...", Printing::Print, 'P'}});
  Fill(M(kEdit), {{1, "Can't Undo", Writable<UndoItem>, 'Z'},
                  {3, "Cut", Writable<CutItem>, 'X'},
                  {4, "Copy", CopyItem, 'C'},
                  {5, "Paste", Writable<PasteItem>, 'V'},
                  {6, "Clear", Writable<ClearItem>},
                  {7, "Select All", SelectAllItem},
                  {9, "Find...", Editor::FindDialogCommand},
                  {10, "Find Same", Editor::FindSame},
                  {11, "Find Selection...", Editor::FindSelection},
                  {12, "Replace...", Writable<Editor::ReplaceDialogCommand>},
                  {13, "Replace Same", Writable<Editor::ReplaceSame>},
                  {15, "StripMarks", Writable<FileCommands::StripMarks>},
                  {16, "Strip TABs", Writable<FileCommands::StripTabs>},
                  {18, "Zoom In", ZoomIn},
                  {19, "Zoom Out", ZoomOut}});
  Fill(M(kModule),
       {{1, "Command Window", CommandWindowItem},
        {2, "List Window", ListWindowItem},
        {3, "User Window", UserWindowItem},
        {5, "Compile", IfCompiling(Writable<CompileItem>)},
        {9, "Rename...", FileCommands::Rename},
        {10, "Close Other Windows", CloseOthers},
        {kCompileOnlyItem, "Compile Only", IfCompiling(Writable<CompileOnlyItem>)},
        {kCompileAndLoadItem, "Compile and Load", IfCompiling(Writable<CompileAndLoadItem>)},
        {kCompileAndExecuteItem, "Compile and Execute",
         IfCompiling(Writable<CompileAndExecuteItem>)},
        {kExecuteItem, "Execute Same", IfCompiling(ExecuteItem)},
        {kExecuteModuleItem, "Execute Module...", IfCompiling(ExecuteModuleItem)},
        {19, "Notebook", Notebook::Show, 'L'}});
  Fill(M(kLearn), {{1, "Learn", LearnItem},
                   {2, "Stop", StopItem},
                   {3, "Execute", Editor::MenuExecute},
                   {5, "Macro 1", SlotItem<1>},
                   {6, "Macro 2", SlotItem<2>},
                   {7, "Macro 3", SlotItem<3>},
                   {8, "Macro 4", SlotItem<4>},
                   {9, "Macro 5", SlotItem<5>},
                   {10, "Macro 6", SlotItem<6>},
                   {11, "Macro 7", SlotItem<7>},
                   {12, "Macro 8", SlotItem<8>},
                   {13, "Macro 9", SlotItem<9>},
                   {15, "Store...", Editor::StoreMacro},
                   {16, "Show While Executing", Editor::ToggleShowWhileExecuting}});
  Fill(M(kOptions), {{1, "List Directory", ListItem},
                     {3, "Module List", ModuleListItem},
                     {4, "Conflicts", ConflictsItem},
                     {5, "Memory", MemoryItem},
                     {8, "Compiler Options...", IfCompiling(CompilerOptions)},
                     {10, "Show Position", PositionItem},
                     {11, "Find All...", FindAll::FindAll},
                     {12, "Replace All...", FindAll::ReplaceAll},
                     {14, "Checksum Directory...", FileCommands::ChecksumDirectory},
                     {kChecksumsItem, "Checksums", ChecksumsItem},
                     {16, "Key Assignments", HelpItem}});
  Fill(M(kDebug), {{1, "Toggle Breakpoint", DebugWindow::ToggleBreakpoint},
                   {kConditionItem, "Condition...", DebugWindow::Condition},
                   {kClearAllItem, "Clear All Breakpoints", DebugWindow::ClearAllBreakpoints},
                   {kContinueItem, "Continue", DebugWindow::Continue},
                   {6, "Step Into", DebugWindow::StepInto},
                   {7, "Step Over", DebugWindow::StepOver},
                   {8, "Step Out", DebugWindow::StepOut},
                   {kStopItem, "Stop", DebugWindow::Stop},
                   {11, "Debug Window", DebugWindow::Show},
                   {12, "Watch...", DebugWindow::AddWatch}});
  AddQuit(M(kFile));
  Menus::SetFileMenu(M(kFile));
  // The Debug menu stands beside the Module menu, whose runs it follows.
  for (const std::int32_t n : {kFile, kEdit, kModule, kDebug, kLearn, kOptions, kWindows})
    Menus::InsertIntoBar(M(n));
  EditWindows::SetWindowsMenu(M(kWindows), ChooseBuffer);
  ApplicationMenu();
  Editor::SetUndoMenuProc(UndoText);
  Editor::SetLearnMenuProc(LearnTexts);
  Compile::SetMenuProc(ModuleMenuMarks);
  DebugWindow::Init();
  DebugWindow::SetMenuProc(DebugMarks);
  Editor::SetUndoKind(Editor::UndoKind::None);
  Refresh();
}

std::int32_t& Menu(std::int32_t shellNumber) { return M(shellNumber); }

void Refresh() {
  LearnTexts();
  Menus::SetCheck(M(kOptions), 10, Editor::PositionShown());
  Menus::SetCheck(M(kOptions), kChecksumsItem, FileCommands::Checksums());
  ModuleMenuMarks(Compile::Running());
  DebugMarks();
}

} // namespace ShellMenus
