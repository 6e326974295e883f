#include "app/Runner.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "app/LineDebugger.h"
#include "base/Charset.h"
#include "base/Strings.h"
#include "compiler/Codegen.h"
#include "compiler/Compiler.h"
#include "editwin/ShellStart.h"
#include "modules/NativeModules.h"
#include "platform/Checks.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"
#include "programs/ProgramModules.h"
#include "shell/Commands.h"
#include "shell/Compile.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "vm/Trap.h"
#include "vm/Vm.h"

namespace Runner {

namespace {

using base::kLineHigh;

// The shell's report: the List, an alert, and F12 to the line when the text is in the
// store.
void ShellReport(const Vm::TrapReport& r) {
  for (const std::string& line : Vm::ReportLines(r)) Shell::WriteList(line);
  if (!r.calls.empty() && !r.calls.front().source.empty())
    Compile::SetTrapPosition(r.calls.front().source, r.calls.front().line);
  Toolbox::SetAlertText(r.message);
  Toolbox::Alert(Toolbox::kAlertOk);
}

struct State {
  std::FILE* output = stdout; // of the command-line runner: the program's text output
  std::FILE* errors = stderr; // and its reports
  void (*atEnd)() = nullptr;  // called before the run's dialogs close
};
State state;

// Standard error in UTF-8 on a UTF-8 locale, as the program's own output.
void ConsoleReport(const Vm::TrapReport& r) {
  if (LineDebugger::EndingRun()) return; // the user ended it: no error of the program
  const bool utf8 = Charset::LocaleIsUtf8();
  // What the program wrote comes first, where both go to one file.
  std::fflush(state.output);
  for (const std::string& line : Vm::ReportLines(r)) {
    const std::string shown = utf8 ? Charset::ToUtf8(line) : line;
    std::fprintf(state.errors, "%s\n", shown.c_str());
  }
}

// A trap or BREAK that the workstation's own checks raise inside a run ends that run
// with its report, as the machine's traps do.
void EndRunNow(base::Chars message) {
  if (Vm::Running()) Vm::Trap(base::ToString(message));
}
bool EndRunAfterCall(base::Chars message) { return Vm::EndRunAfterCall(base::ToString(message)); }

void StartMachine() {
  Vm::Init();
  Checks::SetRunProcs(EndRunNow, EndRunAfterCall);
}

void RunCompiled(Modules::Ref module, Modules::Address entry) {
  if (!Vm::Running()) Compile::SetTrapPosition("", 0);
  Vm::RunBody(module, entry);
}

// The compile procedure of the compiler interface.
bool CompileText(Buffer::Ref source) {
  Compile::CompilerInterface& face = Compile::Interface();
  char path[kLineHigh + 1];
  Buffer::FullName(source, path);
  Codegen::SetSourcePath(path);
  const Compiler::Result r =
      Compiler::Compile(source, Compiler::Directories{face.symbolDirectory, face.objectDirectory});
  face.object = r.ok ? r.object : nullptr;
  face.errorLine = r.line;
  face.errorColumn = r.column;
  Strings::Assign(face.message,
                  base::CharsOf(r.ok ? std::string_view() : std::string_view(r.message)));
  return r.ok;
}

// ---- The command-line runner ----

// The source text of a file, as a load into the workstation makes it (base/Charset.h).
bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text.clear();
  Charset::FromHostText(s.str(), text);
  return true;
}

struct Build {
  std::string dir;  // as given, with its separator: for the names in messages
  std::string host; // the same as an absolute path
  Compiler::Directories dirs;
  std::set<std::string> done;
  std::vector<Buffer::Ref> objects;
};

// Compiles the text at path and, before it is installed, the modules beside it that it
// imports; false (reported) at the first error.
bool CompileFile(Build& b, const std::string& path) {
  std::string text;
  const std::string hostPath = b.host + path.substr(b.dir.size());
  if (!ReadFile(hostPath, text)) {
    std::fprintf(state.errors, "%s:1:1: error: cannot read the file\n", path.c_str());
    return false;
  }
  Codegen::SetSourcePath(hostPath);
  const Compiler::Result r = Compiler::CompileSource(text, b.dirs);
  if (!r.ok) {
    std::fprintf(state.errors, "%s:%d:%d: error: %s\n", path.c_str(), r.line, r.column,
                 r.message.c_str());
    return false;
  }
  if (r.object != nullptr) b.objects.push_back(r.object);
  for (const std::string& name : Compile::ImportsOf(r.objectData.data(), r.objectData.size())) {
    if (b.done.count(name) != 0 || Native::Find(base::CharsOf(name)) != nullptr) continue;
    b.done.insert(name);
    const std::string mod = b.dir + name + ".mod";
    if (std::FILE* f = std::fopen((b.host + name + ".mod").c_str(), "rb")) {
      std::fclose(f);
      if (!CompileFile(b, mod)) return false;
    }
  }
  return true;
}

bool NoInterrupt() { return false; }

// Under the debugger Control+C on the terminal interrupts the run, whose frames then stay
// to be read.
volatile std::sig_atomic_t interruptAsked = 0;
void OnInterrupt(int) { interruptAsked = 1; }
bool TerminalInterrupt() {
  const bool asked = interruptAsked != 0;
  interruptAsked = 0;
  return asked;
}

void EndRun() {
  if (state.atEnd != nullptr) state.atEnd();
  ProgramModules::EndRun();
}

int Run(const std::string& path, const std::vector<std::string>& args, std::FILE* in,
        std::FILE* out, std::FILE* err, Toolbox::Backend& backend, void (*atEnd)(),
        bool debug = false);

} // namespace

void Install(bool withCompiler) {
  StartMachine();
  Vm::SetReportProc(ShellReport);
  Compile::SetCodeRunner(RunCompiled);
  if (!withCompiler) return;
  Compile::CompilerInterface& face = Compile::Interface();
  face.available = true;
  face.compile = CompileText;
}

int RunFile(const std::string& path, const std::vector<std::string>& args) {
  return RunFile(path, args, stdin, stdout, stderr);
}

int RunFile(const std::string& path, const std::vector<std::string>& args, std::FILE* in,
            std::FILE* out, std::FILE* err) {
  Headless::HeadlessBackend backend;
  return Run(path, args, in, out, err, backend, nullptr);
}

int DebugFile(const std::string& path, const std::vector<std::string>& args, std::FILE* in,
              std::FILE* out, std::FILE* err) {
  Headless::HeadlessBackend backend;
  return Run(path, args, in, out, err, backend, nullptr, true);
}

int RunFile(const std::string& path, const std::vector<std::string>& args,
            Toolbox::Backend& backend, void (*atEnd)()) {
  return Run(path, args, stdin, stdout, stderr, backend, atEnd);
}

namespace {
int Run(const std::string& path, const std::vector<std::string>& args, std::FILE* in,
        std::FILE* out, std::FILE* err, Toolbox::Backend& backend, void (*atEnd)(), bool debug) {
  state.output = out;
  state.errors = err;
  state.atEnd = atEnd;
  if (!Headless::StartPlatform(backend) || Shell::CreateShell() != Startup::ShellStart::Ok) {
    std::fprintf(state.errors, "velmarin: the workstation could not start\n");
    return kCompileError;
  }
  ProgramModules::AddAll();
  Shell::RegisterProgramModules();
  Vm::SetRunEndProc(EndRun);
  TextIO::SetConsole(true);
  TextIO::SetConsoleFiles(in, out);
  StartMachine();
  Vm::SetReportProc(ConsoleReport);
  Vm::SetInterruptProc(NoInterrupt);

  Build b;
  const std::size_t slash = path.find_last_of('/');
  b.dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  char* real = realpath(b.dir.empty() ? "." : b.dir.c_str(), nullptr);
  b.host = real != nullptr ? std::string(real) + "/" : b.dir;
  std::free(real);
  if (!FileSystem::ChangeDirectory(base::CharsOf(b.host))) {
    std::fprintf(state.errors, "%s:1:1: error: cannot enter its directory\n", path.c_str());
    return kCompileError;
  }
  b.dirs = Compiler::Directories{Shell::SymbolDirectory(), Shell::ObjectDirectory()};
  // The program compiles first, so that its own module comes first among the objects.
  if (!CompileFile(b, path)) return kCompileError;
  if (b.objects.empty()) {
    std::fprintf(state.errors, "%s:1:1: error: not a program module\n", path.c_str());
    return kCompileError;
  }
  Buffer::Ref library = Shell::SystemLibrary();
  Modules::Ref program = nullptr;
  for (Buffer::Ref object : b.objects) {
    Modules::Ref m = Modules::Install(library, object);
    if (m == nullptr) {
      std::fprintf(state.errors, "%s:1:1: error: the object module could not be installed\n",
                   path.c_str());
      return kCompileError;
    }
    if (program == nullptr) program = m;
  }
  if (Modules::Info(program).state != Modules::ModuleState::Ready) {
    std::string missing;
    for (const std::string& name : Compile::MissingImports(program))
      missing += (missing.empty() ? "" : ", ") + name;
    std::fprintf(state.errors, "%s:1:1: error: imports not found: %s\n", path.c_str(),
                 missing.c_str());
    return kCompileError;
  }
  char name[17];
  Modules::Name(program, name);
  std::vector<std::string> arguments{name};
  arguments.insert(arguments.end(), args.begin(), args.end());
  ProgramModules::SetArguments(std::move(arguments));
  if (!debug) {
    Vm::RunBody(program, Modules::Body(program));
    TextIO::EndLine();
    std::fflush(out);
    return Vm::LastRunTrapped() ? kTrapped : kDone;
  }
  struct sigaction interrupt {};
  interrupt.sa_handler = OnInterrupt;
  interrupt.sa_flags = SA_RESTART;
  sigemptyset(&interrupt.sa_mask);
  sigaction(SIGINT, &interrupt, nullptr);
  Vm::SetInterruptProc(TerminalInterrupt);
  // Each run after the first installs the modules anew: their variables start again and
  // their bodies run again.
  bool first = true;
  const auto run = [&] {
    for (std::size_t i = 0; !first && i < b.objects.size(); ++i) {
      Modules::Ref m = Modules::Install(library, b.objects[i]);
      if (i == 0 && m != nullptr) program = m;
    }
    first = false;
    interruptAsked = 0;
    Vm::RunBody(program, Modules::Body(program));
    TextIO::EndLine();
    std::fflush(out);
  };
  LineDebugger::Run(in, out, path.substr(slash == std::string::npos ? 0 : slash + 1), run);
  return kDone;
}
} // namespace

} // namespace Runner
