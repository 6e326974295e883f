#include "shell/Compile.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/ShellStart.h"
#include "modules/NativeModules.h"
#include "platform/Toolbox.h"
#include "programs/ProgramModules.h"
#include "shell/DebugWindow.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"

namespace Compile {

namespace {

using base::kLineHigh;

constexpr char kNotAvailable[] = "Compiler not available !";
constexpr char kNotImplemented[] = "Compiler not implemented !";
constexpr char kCompiled[] = "Successful compilation.";
constexpr char kCompiledLoaded[] = "Successful compilation and load.";
constexpr char kCouldNotLoad[] = "Could not load module in system.";
constexpr char kNotImplementation[] = "Not an IMPLEMENTATION module.";
constexpr char kCouldNotInstall[] = "Could not install module in system.";
constexpr char kNotReadyStart[] = "Module '";
constexpr char kNotReadyEnd[] = "' is not ready to run.";
constexpr char kNotReadyNeeds[] = "' is not ready to run: it needs ";
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
  // What each module was compiled from here: its text and a digest of it, so that a
  // module whose text changed since is compiled again when an importer needs it.
  struct Source {
    Buffer::Ref text = nullptr;
    std::uint64_t digest = 0;
  };
  std::map<std::string, Source> sources;
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

std::uint64_t Digest(Buffer::Ref text) {
  std::uint64_t h = 14695981039346656037ull;
  const std::int32_t count = Lines::Count(text);
  for (std::int32_t n = 1; n <= count; ++n) {
    for (const char ch : Lines::View(text, n))
      h = (h ^ static_cast<unsigned char>(ch)) * 1099511628211ull;
    h = (h ^ '\n') * 1099511628211ull;
  }
  return h;
}

// The name in an object's header.
std::string NameOf(Buffer::Ref object) {
  if (object == nullptr || object->data == nullptr || object->dataSize < 22) return "";
  const char* name = static_cast<const char*>(object->data) + 6;
  return std::string(name, strnlen(name, 16));
}

// Calls the compile procedure with the directories the shell works with; a module made
// remembers its text.
bool Compile(Buffer::Ref source) {
  CompilerInterface& c = state.face;
  c.symbolDirectory = Shell::SymbolDirectory();
  c.objectDirectory = Shell::ObjectDirectory();
  if (!(c.compile != nullptr ? c.compile : BuiltIn)(source)) return false;
  if (c.object != nullptr && IsText(source))
    state.sources[NameOf(c.object)] = State::Source{source, Digest(source)};
  return true;
}

// The text of the implementation of module name: NAME.mod of the store's current
// directory, else loaded from the host file of that name; nullptr when there is none.
Buffer::Ref SourceOf(const std::string& name) {
  const std::string leaf = name + ".mod";
  if (Buffer::Ref b = Buffer::Find(base::CharsOf(leaf))) return IsText(b) ? b : nullptr;
  char host[kLineHigh + 1];
  if (!FileSystem::HostName(base::CharsOf(leaf), host) || access(host, R_OK) != 0) return nullptr;
  Buffer::Ref b = Buffer::Create(base::CharsOf(leaf), Buffer::BufferKind::Text);
  if (b == nullptr) return nullptr;
  if (FileSystem::LoadText(base::CharsOf(leaf), b) < 0) {
    Buffer::Delete(b);
    return nullptr;
  }
  return b;
}

// Whether module name of the current library stands as its text says: loaded, and not
// compiled here from a text that changed since.
bool UpToDate(const std::string& name) {
  const Modules::Ref m = Modules::Find(Shell::CurrentLibrary(), base::CharsOf(name));
  if (m == nullptr || Modules::Info(m).state < Modules::ModuleState::Loaded) return false;
  const auto found = state.sources.find(name);
  if (found == state.sources.end()) return true;
  Buffer::Ref text = Buffer::Find(base::CharsOf(name + ".mod"));
  return text != found->second.text || !IsText(text) || Digest(text) == found->second.digest;
}

// Compiles and installs, before object is installed, the imports it needs (see
// CompileAndLoad); false, with the error shown in its text, when one does not compile.
// built holds the modules met on the way, so that each is looked at once.
bool BuildImports(Buffer::Ref object, std::set<std::string>& built) {
  if (object == nullptr || object->data == nullptr) return true;
  const std::vector<std::string> imports =
      ImportsOf(static_cast<const std::uint8_t*>(object->data),
                static_cast<std::size_t>(std::max(0, object->dataSize)));
  for (const std::string& name : imports) {
    if (!built.insert(name).second || Native::Find(base::CharsOf(name)) != nullptr ||
        UpToDate(name))
      continue;
    Buffer::Ref text = SourceOf(name);
    if (text == nullptr) continue; // the module stays missing, and says so when it runs
    if (!Compile(text)) {
      Editor::EditText(text);
      const std::int32_t line = std::max(1, std::min(state.face.errorLine, Lines::Count(text)));
      Editor::ShowCursorAt(line, std::max(1, state.face.errorColumn));
      Message(state.face.message);
      return false;
    }
    Buffer::Ref made = state.face.object;
    if (made == nullptr) continue;
    if (!BuildImports(made, built)) return false;
    static_cast<void>(Modules::Install(Shell::CurrentLibrary(), made));
  }
  return true;
}

// The imports of the last compilation, then its object; nullptr when an import failed
// (shown) or the object did not install.
Modules::Ref BuildAndInstall(bool& importFailed) {
  Buffer::Ref object = state.face.object;
  std::set<std::string> built{NameOf(object)};
  importFailed = !BuildImports(object, built);
  if (importFailed) return nullptr;
  state.face.object = object;
  return Modules::Install(Shell::CurrentLibrary(), object);
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

// The current library gets the object of the last compilation, after the imports it
// needs, and it becomes the module to execute; the installed record or nullptr
// (importFailed when an import did not compile, its error shown).
Modules::Ref InstallObject(bool& importFailed) {
  const Modules::Ref m = BuildAndInstall(importFailed);
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
  ShowLine(b, state.trapLine);
  return true;
}

void F12() {
  if (ShowTrapPosition()) return;
  if (Editor::EditedText() == Shell::CommandText())
    CompileAndRun();
  else
    CompileAndLoad();
}

} // namespace

CompilerInterface& Interface() { return state.face; }

void ShowLine(Buffer::Ref text, std::int32_t line) {
  EditWindows::ShowBuffer(text, EditWindows::kActivate);
  Editor::ShowCursorAt(std::max(1, std::min(line, Lines::Count(text))), 1);
}

void Reset() {
  const CompileProc compile = state.face.compile;
  state.face = CompilerInterface{};
  state.face.compile = compile;
}

void SetCodeRunner(CodeRunner runner) { state.runner = runner; }

bool CompileBuffer() {
  // The code of a stopped run must stay as it is.
  if (DebugWindow::RefuseWhileStopped()) return false;
  CompilerInterface& c = state.face;
  c.symbolDirectory = Shell::SymbolDirectory();
  c.objectDirectory = Shell::ObjectDirectory();
  if (!c.available) {
    Message(kNotAvailable);
    return false;
  }
  Buffer::Ref source = Editor::EditedText();
  if (Compile(source)) return true;
  // The error is shown where it is: the cursor on it, the message below.
  if (source != nullptr) {
    EditWindows::ShowBuffer(source, EditWindows::kActivate);
    const std::int32_t line = std::max(1, std::min(c.errorLine, Lines::Count(source)));
    Editor::ShowCursorAt(line, std::max(1, c.errorColumn));
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
  bool importFailed = false;
  const Modules::Ref m = InstallObject(importFailed);
  if (!importFailed) Message(m != nullptr ? kCompiledLoaded : kCouldNotLoad);
}

void CompileAndRun() {
  if (!CompileBuffer()) return;
  if (state.face.object == nullptr) {
    Message(kNotImplementation);
    return;
  }
  bool importFailed = false;
  const Modules::Ref m = InstallObject(importFailed);
  if (importFailed) return;
  if (m == nullptr) {
    Message(kCouldNotInstall);
    return;
  }
  char name[17];
  Modules::Name(m, name);
  if (Modules::Info(m).state != Modules::ModuleState::Ready) {
    const std::vector<std::string> missing = MissingImports(m);
    if (missing.empty())
      Message2(kNotReadyStart, name, kNotReadyEnd);
    else
      Message2(kNotReadyStart, name,
               base::CharsOf(std::string(kNotReadyNeeds) + missing.front() + "."));
    return;
  }
  RunModule(name);
}

bool RunModule(Chars name) {
  if (DebugWindow::RefuseWhileStopped()) return false;
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
  DebugWindow::RunBegins();
  body();
  // A body that ends the program (quit) does not come back here.
  state.running = false;
  DebugWindow::RunEnded();
  ShowInMenus();
  Buffer::Ref shown = Editor::EditedText() != nullptr ? Editor::EditedText() : Shell::CommandText();
  if (shown != nullptr) EditWindows::ShowBuffer(shown, EditWindows::kRefresh);
  if (ANSITerm::TextWindow* t = Editor::EditTerminal(); t != nullptr) ANSITerm::SetInverse(t, 0);
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
  bool importFailed = false;
  if (state.face.object != nullptr && InstallObject(importFailed) == nullptr)
    Shell::WriteCommandError(base::CharsOf(importFailed ? kCompErrors : kCompNotLoaded), path);
}

std::vector<std::string> ImportsOf(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> names;
  if (size < 4) return names;
  const std::size_t header = 4 + (data[2] | data[3] << 8); // the header section, either form
  if (size < header + 4 || (data[header] | data[header + 1] << 8) != 2) return names;
  const std::size_t length = data[header + 2] | data[header + 3] << 8;
  for (std::size_t at = header + 4; at + 22 <= header + 4 + length && at + 22 <= size; at += 22) {
    const char* name = reinterpret_cast<const char*>(data + at);
    names.emplace_back(name, strnlen(name, 16));
  }
  return names;
}

std::vector<std::string> MissingImports(Modules::Ref module) {
  std::vector<std::string> missing;
  std::set<Modules::Ref> seen;
  std::function<void(Modules::Ref)> walk = [&](Modules::Ref m) {
    if (!seen.insert(m).second) return;
    Modules::ForEachImport(m, [&](Modules::Ref, Modules::Ref imported, Modules::LinkStatus s) {
      char name[17];
      Modules::Name(imported, name);
      if (s != Modules::LinkStatus::Resolved) {
        if (std::find(missing.begin(), missing.end(), name) == missing.end())
          missing.push_back(name);
      } else if (Modules::Info(imported).state < Modules::ModuleState::Ready) {
        walk(imported);
      }
    });
  };
  walk(module);
  return missing;
}

void InstallFunctionKey() { Editor::SetCompileKey(F12); }

void SetTrapPosition(Chars path, std::int32_t line) {
  Strings::Assign(state.trapPath, path);
  state.trapLine = line;
}

} // namespace Compile
