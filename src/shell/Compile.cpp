#include "shell/Compile.h"

#include "base/Strings.h"
#include "editor/Editor.h"
#include "platform/Toolbox.h"
#include "shell/EditWindows.h"
#include "shell/NativeModules.h"
#include "shell/ShellStart.h"
#include "store/Lines.h"
#include "vm/ProgramModules.h"
#include "windows/ANSITerm.h"

namespace Compile {

namespace {

constexpr std::size_t kLineHigh = 255;

constexpr char kNotAvailable[] = "Compiler not available !";
constexpr char kNotImplemented[] = "Compiler not implemented !";
constexpr char kCompiled[] = "Successful compilation.";
constexpr char kCompiledLoaded[] = "Successful compilation and load.";
constexpr char kCouldNotLoad[] = "Could not load module in system.";
constexpr char kNotImplementation[] = "Not an IMPLEMENTATION module.";
constexpr char kCouldNotInstall[] = "Could not install module in system.";
constexpr char kNotReadyStart[] = "Module '";
constexpr char kNotReadyEnd[] = "' is not ready to run.";
constexpr char kExecuteMissing[] = "execute - Could not find module: ";
constexpr char kExecuteNotReady[] = "execute - Module is not ready to run: ";
constexpr char kCompSource[] = "comp - Source module does not exist: ";
constexpr char kCompNotAvailable[] = "comp - Compiler not available !";
constexpr char kCompErrors[] = "comp - Compilation errors detected: ";
constexpr char kCompNotLoaded[] = "comp - Could not load module in system: ";

struct State {
  CompilerInterface face;
  CodeRunner runner = nullptr;
  bool running = false;
  char trapPath[kLineHigh + 1] = {}; // the text of the last trap, "" for none
  std::int32_t trapLine = 0;
  char moduleToExecute[17] = {};
  void (*menuProc)(bool running) = nullptr;
  std::vector<std::string> nextArguments; // of the next RunModule
};
State state;

// The compile procedure of a workstation without a compiler.
bool BuiltIn(Buffer::Ref) {
  Toolbox::SetAlertText(kNotImplemented);
  Toolbox::Alert(Toolbox::kAlertOk);
  return false;
}

void Message(Chars text) { Editor::ShowEditMessage(text); }

void Message2(Chars a, Chars b, Chars c = {}) {
  char text[kLineHigh + 1];
  Strings::Assign(text, a);
  Strings::Append(text, b);
  Strings::Append(text, c);
  Message(text);
}

bool IsText(Buffer::Ref b) { return b != nullptr && Buffer::KindOf(b) == Buffer::BufferKind::Text; }

// Calls the compile procedure with the directories the shell works with.
bool Compile(Buffer::Ref source) {
  CompilerInterface& c = state.face;
  c.symbolDirectory = Shell::SymbolDirectory();
  c.objectDirectory = Shell::ObjectDirectory();
  return (c.compile != nullptr ? c.compile : BuiltIn)(source);
}

// The body of a module of the system library: a native one directly, compiled code
// through the runner.
void RunEntry(Modules::Ref m, Modules::Address entry) {
  const Modules::ModuleInfo info = Modules::Info(m);
  if (Native::IsNative(info.table)) {
    if (const Native::Procedure* p = Native::ProcedureOf(entry)) {
      Native::Call call;
      p->proc(call);
    }
  } else if (state.runner != nullptr) {
    state.runner(m, entry);
  }
}

void ShowInMenus() {
  if (state.menuProc != nullptr) state.menuProc(state.running);
}

// The current library gets the object of the last compilation, which becomes the module
// to execute; the installed record or nullptr.
Modules::Ref InstallObject() {
  Buffer::Ref object = state.face.object;
  const Modules::Ref m = Modules::Install(Shell::CurrentLibrary(), object);
  if (m != nullptr) {
    char name[17];
    Modules::Name(m, name);
    SetModuleToExecute(name);
  }
  return m;
}

// The text of the last trap shown with the cursor on its line; false when there is none.
bool ShowTrapPosition() {
  if (state.trapPath[0] == 0) return false;
  Buffer::Ref b = Buffer::Find(state.trapPath);
  state.trapPath[0] = 0;
  if (!IsText(b)) return false;
  EditWindows::ShowBuffer(b, EditWindows::kActivate);
  const std::int32_t line = std::max(1, std::min(state.trapLine, Lines::Count(b)));
  Editor::PlaceCursor(line, 1, Editor::State().scrollMargin);
  return true;
}

void F12() {
  if (ShowTrapPosition()) return;
  if (Editor::State().current == Shell::CommandText())
    CompileAndRun();
  else
    CompileAndLoad();
}

} // namespace

CompilerInterface& Interface() { return state.face; }

void Reset() {
  const CompileProc compile = state.face.compile;
  state.face = CompilerInterface{};
  state.face.compile = compile;
}

void SetCodeRunner(CodeRunner runner) { state.runner = runner; }

bool CompileBuffer() {
  Editor::EditorState& e = Editor::State();
  CompilerInterface& c = state.face;
  c.symbolDirectory = Shell::SymbolDirectory();
  c.objectDirectory = Shell::ObjectDirectory();
  if (!c.available) {
    Message(kNotAvailable);
    return false;
  }
  Buffer::Ref source = e.current;
  if (Compile(source)) return true;
  // The error is shown where it is: the cursor on it, the message below.
  if (source != nullptr) {
    EditWindows::ShowBuffer(source, EditWindows::kActivate);
    const std::int32_t line = std::max(1, std::min(c.errorLine, Lines::Count(source)));
    Editor::PlaceCursor(line, std::max(1, c.errorColumn), e.scrollMargin);
  }
  Message(c.message);
  return false;
}

void CompileAndLoad() {
  if (!CompileBuffer()) return;
  if (state.face.object == nullptr) {
    Message(kCompiled);
    return;
  }
  Message(InstallObject() != nullptr ? kCompiledLoaded : kCouldNotLoad);
}

void CompileAndRun() {
  if (!CompileBuffer()) return;
  if (state.face.object == nullptr) {
    Message(kNotImplementation);
    return;
  }
  const Modules::Ref m = InstallObject();
  if (m == nullptr) {
    Message(kCouldNotInstall);
    return;
  }
  char name[17];
  Modules::Name(m, name);
  if (Modules::Info(m).state != Modules::ModuleState::Ready) {
    Message2(kNotReadyStart, name, kNotReadyEnd);
    return;
  }
  RunModule(name);
}

bool RunModule(Chars name) {
  const Modules::Ref m = Modules::Find(Shell::SystemLibrary(), name);
  if (m == nullptr) {
    Shell::WriteCommandError(kExecuteMissing, name);
    return false;
  }
  const Modules::ModuleState s = Modules::Info(m).state;
  if (s != Modules::ModuleState::Ready && s != Modules::ModuleState::External) {
    Shell::WriteCommandError(kExecuteNotReady, name);
    return false;
  }
  const Modules::Address body = Modules::Body(m);
  SetModuleToExecute(name);
  // The program's arguments: its name, then those given for it; the running program's
  // come back after it (a body that executes another).
  std::vector<std::string> arguments{base::ToString(name)};
  arguments.insert(arguments.end(), state.nextArguments.begin(), state.nextArguments.end());
  state.nextArguments.clear();
  std::vector<std::string> outer = ProgramModules::Arguments();
  ProgramModules::SetArguments(std::move(arguments));
  RunBody([m, body] { RunEntry(m, body); });
  ProgramModules::SetArguments(std::move(outer));
  return true;
}

void SetNextArguments(std::vector<std::string> arguments) {
  state.nextArguments = std::move(arguments);
}

void RunBody(const std::function<void()>& body) {
  if (state.running) {
    body();
    return;
  }
  if (Buffer::Ref list = Shell::ListText(); EditWindows::ListWindow() != nullptr)
    EditWindows::RedrawBuffer(list, EditWindows::kToEnd);
  state.running = true;
  ShowInMenus();
  EditWindows::SaveWindowState();
  body();
  // A body that ends the program (quit) does not come back here.
  state.running = false;
  ShowInMenus();
  Editor::EditorState& e = Editor::State();
  Buffer::Ref shown = e.current != nullptr ? e.current : Shell::CommandText();
  if (shown != nullptr) EditWindows::ShowBuffer(shown, EditWindows::kRefresh);
  if (e.terminal != nullptr) ANSITerm::SetInverse(e.terminal, 0);
}

bool Running() { return state.running; }

void SetMenuProc(void (*proc)(bool running)) { state.menuProc = proc; }

void ModuleToExecute(base::VarChars name) { Strings::Assign(name, state.moduleToExecute); }

void SetModuleToExecute(Chars name) {
  if (Strings::Equal(name, state.moduleToExecute)) return;
  Strings::Assign(state.moduleToExecute, name);
  ShowInMenus();
}

void CompileNamed(Chars path) {
  Buffer::Ref source = Buffer::Find(path);
  if (!IsText(source)) {
    Shell::WriteCommandError(kCompSource, path);
    return;
  }
  if (!state.face.available) {
    Shell::WriteCommandError(kCompNotAvailable);
    return;
  }
  if (!Compile(source)) {
    Shell::WriteCommandError(kCompErrors, path);
    return;
  }
  if (state.face.object != nullptr && InstallObject() == nullptr)
    Shell::WriteCommandError(kCompNotLoaded, path);
}

void InstallFunctionKey() { Editor::SetCompileKey(F12); }

void SetTrapPosition(Chars path, std::int32_t line) {
  Strings::Assign(state.trapPath, path);
  state.trapLine = line;
}

} // namespace Compile
