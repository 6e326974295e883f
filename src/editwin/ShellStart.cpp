#include "editwin/ShellStart.h"

#include <algorithm>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editwin/EditWindows.h"
#include "editwin/EditorState.h"
#include "editwin/Menus.h"
#include "platform/Alerts.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"
#include "windows/Graphics.h"
#include "windows/KeyEvents.h"

namespace Shell {

using Buffer::Ref;
using Toolbox::Rect;

namespace {

constexpr char kGraphicsHeap[] = "/Shell/Graphics.Heap";
constexpr char kTerminalHeap[] = "/Shell/ANSITerm.Heap";
constexpr char kCommandFile[] = "Command";
constexpr int kVersionResource = 1;
constexpr std::size_t kVersionHigh = 80;
constexpr std::size_t kListLineHigh = 256;
constexpr std::size_t kMessageHigh = 80;
constexpr std::size_t kNumberLineHigh = 160;
using base::kPathHigh;
constexpr int kRealPlaces = 14;
// The frame's client area when the backend reports none: 680 x 520 logical units.
constexpr Rect kFallbackClient{0, 0, 680, 520};
constexpr std::int32_t kMargin = 8;
constexpr std::int32_t kCaptionRoom = 32;
constexpr std::int32_t kMinListHeight = 64;

// Template lines 3 to 10; lines 1 and 2 are built each time.
constexpr const char* kTemplateBody[] = {"", "IMPORT c;", "", "BEGIN", "", "", "", "END Command."};

struct State {
  bool initialised = false;
  Buffer::ShellTree tree;
  Ref graphicsHeap = nullptr;
  Ref terminalHeap = nullptr;
  Ref currentLibrary = nullptr;
  Ref symbolDirectory = nullptr;
  Ref objectDirectory = nullptr;
  MessageProc message = nullptr;
  Startup::Proc editorStart = nullptr;
  std::int32_t windowSetting = 3;
  bool windowFlag = false;
};

State state;

Rect FrameClient() {
  const Rect client = Toolbox::FrameClientRect();
  return client.Empty() ? kFallbackClient : client;
}

void OpenShellWindowsOrEnd() {
  if (!OpenShellWindows()) Startup::TerminateWithMessage("Shell window could not be created!");
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  FileSystem::Init();
  NumberOut::Init();
  Toolbox::Init();
  Alerts::Init();
  ANSITerm::Init();
  EditWindows::Init();
  Alerts::SetErrorLineProc(CommandMessageLine);
}

// ---- The shell's texts, directories and windows ----

Ref CommandText() { return state.tree.command; }
Ref ListText() { return state.tree.list; }
Ref ScratchHeap() { return state.tree.scratchHeap; }
Ref TerminalHeap() { return state.terminalHeap; }
Ref GraphicsHeap() { return state.graphicsHeap; }
Ref SystemLibrary() { return state.tree.systemLibrary; }
Ref CurrentLibrary() { return state.currentLibrary; }
Ref SymbolDirectory() { return state.symbolDirectory; }
Ref ObjectDirectory() { return state.objectDirectory; }
void SetCurrentLibrary(Ref library) { state.currentLibrary = library; }
void SetSymbolDirectory(Ref directory) { state.symbolDirectory = directory; }
void SetObjectDirectory(Ref directory) { state.objectDirectory = directory; }
Toolbox::Window CommandWindow() { return EditWindows::CommandWindow(); }
ANSITerm::TextWindow* CommandTerminal() { return EditWindows::CommandTerminal(); }
Toolbox::Window ListWindow() { return EditWindows::ListWindow(); }
ANSITerm::TextWindow* ListTerminal() { return EditWindows::ListTerminal(); }

// ---- Output ----

void WriteList(Chars text) {
  Init();
  const Ref list = state.tree.list;
  char line[kListLineHigh + 1];
  Strings::Assign(line, text);
  if (list == nullptr || !Lines::Append(list, line)) return;
  ANSITerm::TextWindow* t = EditWindows::ListTerminal();
  if (t == nullptr) return;
  if (Editor::EditedText() == list) {
    // The editor works on the list: its view follows the text, drawn when the key is done.
    EditWindows::FollowEnd(list);
    return;
  }
  // Like a terminal's output: the new line below the last, the window scrolling up.
  const auto width = static_cast<std::size_t>(std::max(1, t->columns));
  if (Strings::Length(line) > width) {
    line[width - 1] = '|';
    line[width] = 0;
  }
  ANSITerm::NewLine(t);
  ANSITerm::WriteString(t, line);
  ANSITerm::FlushOutput(t);
  EditWindows::FollowEnd(list);
}

void ShowMessage(Chars text) {
  (state.message != nullptr ? state.message : CommandMessageLine)(text);
}

void WriteError(Chars text) {
  WriteList(text);
  ShowMessage(text);
}

void WriteCommandError(Chars text, Chars more) {
  char line[kMessageHigh + 1];
  Strings::Assign(line, text);
  Strings::Append(line, more);
  WriteError(line);
}

void WriteListNumber(Chars text, std::int32_t number) {
  char line[kNumberLineHigh + 1];
  Strings::Assign(line, text);
  NumberOut::AppendInt(number, line, 0);
  WriteList(line);
}

void WriteErrorNumber(Chars text, std::int32_t number) {
  char line[kNumberLineHigh + 1];
  Strings::Assign(line, text);
  NumberOut::AppendInt(number, line, 0);
  WriteError(line);
}

void WriteListReal(Chars text, double number) {
  char line[kNumberLineHigh + 1];
  Strings::Assign(line, text);
  NumberOut::AppendReal(number, line, kRealPlaces);
  WriteList(line);
}

void ClearList() {
  Init();
  const Ref list = state.tree.list;
  if (list == nullptr) return;
  Lines::Delete(list, 1, Lines::Count(list));
  static_cast<void>(Lines::Append(list, ""));
  EditWindows::RedrawBuffer(list, EditWindows::kRefresh | EditWindows::kToEnd);
}

void SetMessageProc(MessageProc proc) { state.message = proc; }

void CommandMessageLine(Chars text) {
  ANSITerm::TextWindow* t = EditWindows::CommandTerminal();
  if (t == nullptr) return;
  ANSITerm::BeginMessageLine(t);
  char line[Editor::kTextHigh + 1];
  Strings::Assign(line, text);
  const std::int32_t columns = ANSITerm::ShellColumns();
  if (columns >= 0 && Strings::Length(line) > static_cast<std::size_t>(columns)) line[columns] = 0;
  ANSITerm::SetInverse(t, 1);
  ANSITerm::WriteString(t, line);
  ANSITerm::SetInverse(t, 0);
  ANSITerm::EndMessageLine(t);
}

// ---- The shell's window state kept by the settings file ----

void SetWindowSetting(std::int32_t setting) { state.windowSetting = setting; }
std::int32_t WindowSetting() { return state.windowSetting; }
void SetWindowFlag(bool on) { state.windowFlag = on; }
bool WindowFlag() { return state.windowFlag; }

// ---- The start ----

Startup::ShellStart CreateShell() {
  Init();
  // The workstation starts in front: its caret shows.
  KeyEvents::SetApplicationInactive(false);
  if (!Buffer::ShellStart(state.tree)) return Startup::ShellStart::NoBuffers;
  state.currentLibrary = state.tree.systemLibrary;
  state.symbolDirectory = state.tree.symbol;
  state.objectDirectory = state.tree.object;
  EditWindows::SetShellTexts(state.tree.command, state.tree.list);
  if (!Graphics::InitGraphics()) return Startup::ShellStart::NoGraphics;
  state.graphicsHeap = Buffer::Find(kGraphicsHeap);
  if (!ANSITerm::InitTerminals()) return Startup::ShellStart::NoTerminal;
  state.terminalHeap = Buffer::Find(kTerminalHeap);
  return Startup::ShellStart::Ok;
}

bool OpenShellWindows() {
  Init();
  if (state.tree.command == nullptr) return false;
  const Rect client = FrameClient();
  const Rect commandRect = CommandWindowRect(client);
  Toolbox::Window w =
      Toolbox::NewWindow(commandRect, "Command", true, Toolbox::kDocumentWindow, false, nullptr);
  if (w == nullptr) return false;
  ANSITerm::TextWindow* t = ANSITerm::NewTerminal(true, w);
  if (t == nullptr) {
    Toolbox::DisposeWindow(w);
    return false;
  }
  ANSITerm::SetCommandTerminal(t);
  EditWindows::SetCommandWindow(w, t);
  EditWindows::SetDefaultPlacement(commandRect, static_cast<std::int16_t>(w->port.fontNumber),
                                   static_cast<std::int16_t>(w->port.fontSize));
  Editor::SetEditWindow(w, t);

  BuildCommandText();
  // The program's own modules and data blocks would be registered here; this system
  // builds none into the executable.
  if (state.editorStart != nullptr) state.editorStart();
  static_cast<void>(Lines::Append(state.tree.list, ""));

  // The List window may be missing; output then goes to the list text only.
  if (EditWindows::OpenOwnWindow(state.tree.list, EditWindows::Placement::Given,
                                 ListWindowRect(client))) {
    EditWindows::RedrawBuffer(state.tree.list, EditWindows::kToEnd);
  }
  // Both share the frame's client area between them, and keep their shares of it when the
  // frame changes size, until the user moves one.
  Toolbox::FollowFrame(w);
  Toolbox::FollowFrame(EditWindows::ListWindow());
  EditWindows::ShowBuffer(state.tree.command, EditWindows::kRefresh | EditWindows::kActivate);
  return true;
}

void TemplateLine1(VarChars line) {
  char version[kVersionHigh + 1];
  Toolbox::LoadResourceString(kVersionResource, version);
  Strings::Assign(line, "MODULE Command; (* ");
  Strings::Append(line, version);
  Strings::Append(line, " *)");
}

void TemplateLine2(VarChars line) {
  char dir[kPathHigh + 1];
  FileSystem::CurrentDirectory(dir);
  EditWindows::PathLine(dir, line);
}

void BuildCommandText() {
  Init();
  const Ref c = state.tree.command;
  if (c == nullptr) return;
  char line1[Editor::kTextHigh + 1];
  char line2[Editor::kTextHigh + 1];
  TemplateLine1(line1);
  TemplateLine2(line2);
  Lines::Delete(c, 1, Lines::Count(c));
  if (FileSystem::LoadText(kCommandFile, c) == FileSystem::kNoError) {
    while (Lines::Count(c) < 2 && Lines::Append(c, "")) {}
    static_cast<void>(Lines::Set(c, 1, line1));
    static_cast<void>(Lines::Set(c, 2, line2));
  } else {
    // A failed load keeps the lines it read; the template replaces them. Its file is
    // "Command" of the directory the program started in, like a loaded one's.
    Lines::Delete(c, 1, Lines::Count(c));
    static_cast<void>(Lines::Append(c, line1) && Lines::Append(c, line2));
    for (const char* text : kTemplateBody) {
      if (!Lines::Append(c, base::CharsOf(text))) break;
    }
    char dir[kPathHigh + 1];
    FileSystem::CurrentDirectory(dir);
    Buffer::SetFilePath(c, dir);
  }
  // Fresh as the user finds it: only the user's edits make it a modified text.
  Lines::SetModified(c, false);
}

void EnterCommandWindow() {
  Init();
  const Ref c = state.tree.command;
  if (c == nullptr || EditWindows::CommandWindow() == nullptr) return;
  EditWindows::ShowBuffer(c, EditWindows::kActivate);
  Editor::SetCursor(Editor::Position{std::max(1, Lines::Count(c) - 2), 1});
  EditWindows::RedrawBuffer(c, EditWindows::kRefresh);
}

void SetEditorStartProc(Startup::Proc proc) { state.editorStart = proc; }

Rect CommandWindowRect(const Rect& client) {
  const std::int32_t height = std::max(0, client.Height() - 2 * kCaptionRoom - kMargin);
  const std::int32_t top = client.top + kCaptionRoom;
  return Rect{client.left + kMargin, top, client.right - kMargin, top + height * 2 / 3};
}

Rect ListWindowRect(const Rect& client) {
  const Rect command = CommandWindowRect(client);
  const std::int32_t top = command.bottom + kCaptionRoom;
  return Rect{client.left + kMargin, top, client.right - kMargin,
              std::max(client.bottom - kMargin, top + kMinListHeight)};
}

void InstallStartupHooks(Startup::ShellHooks& hooks) {
  hooks.createShell = CreateShell;
  hooks.openShellWindows = OpenShellWindowsOrEnd;
  hooks.enterCommandWindow = EnterCommandWindow;
  hooks.setUpMenus = Menus::SetUpMenus;
  Startup::SetModuleBody(Startup::MainImport::CommandWindows, Init);
}

void InstallStartupHooks() {
  Startup::ShellHooks hooks;
  InstallStartupHooks(hooks);
  Startup::SetShellHooks(hooks);
}

} // namespace Shell
