// The virtual machine on six CPU-heavy programs (bench/vm/programs: sieve, recursive
// Fibonacci, quicksort, an n-body loop of reals, matrix multiplication, character
// processing), each against the same algorithm in Lua 5.4 and compiled natively by gm2
// -O2, in the same run; each must print what its NAME.out says. Goals: the interpreter at
// most 1.0x Lua's time on each, the translated code at most 2.0x gm2 -O2's. gm2 -O2 turns
// recursion into loops, which the machine's frames (one a call, for the trap reports)
// rule out: Gm2Calls/NAME is gm2 -O2 with options that keep every call a call, the goal's
// baseline for fib, where gm2 -O2 keeps 1.3 million of 30 million calls. And the
// compiler on a generated 10,000-line module of some 200 KB of code against gm2 -fpim -c
// on the same text: goal at least 200 times faster; the module must install and run.
//
// The debugger's cost: each program with a procedure that is never called and a
// breakpoint on its line, the stop procedure installed as in a debugging session
// (Breakpoint/NAME, BreakpointJit/NAME), against the same program without the breakpoint
// (Machine/NAME, Jit/NAME). Goal: at most 1.05x.
//
// NEW and DISPOSE without end (churn: 1000 rounds of a list of 10,000 nodes, at most L =
// 160,000 bytes alive) as `velmarin --run` runs it, against Lua 5.4 building and
// dropping the same nodes: goal at most 1.0x Lua's time, and a peak resident memory of
// the whole process below 2 L + 64 MB.
//
// Every figure is processor time (user and system), so that other work on the machine
// does not count: the machine's is the run of the program's body alone (compiled and
// installed once, its output to a file); Lua's and gm2's are whole processes, whose start
// is a millisecond or two of runs that take hundreds. Lua and gm2 cases are skipped when
// lua5.4 or gm2 is missing. bench/vm/compare.sh prints the ratios.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/Codegen.h"
#include "compiler/Compiler.h"
#include "editwin/ShellStart.h"
#include "jit/Jit.h"
#include "platform/headless/HeadlessBackend.h"
#include "programs/ProgramModules.h"
#include "shell/Commands.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "vm/Debug.h"
#include "vm/Vm.h"

namespace {

const std::string kPrograms = VELMARIN_BENCH_PROGRAMS;
const char* const kNames[] = {"sieve", "fib", "quicksort", "nbody", "matmul", "words"};
constexpr char kGm2[] = "env -u LIBRARY_PATH gm2 -fpim -flibs=log,pim,iso";

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::FILE* DevNull() {
  static std::FILE* const file = std::fopen("/dev/null", "w");
  return file;
}

// What the file holds from its start.
std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  return text;
}

// The workstation as the command-line runner has it, once.
bool Workstation() {
  static Headless::HeadlessBackend backend;
  static bool started = [] {
    if (!Headless::StartPlatform(backend) || Shell::CreateShell() != Startup::ShellStart::Ok)
      return false;
    ProgramModules::AddAll();
    Shell::RegisterProgramModules();
    TextIO::SetConsole(true);
    TextIO::SetConsoleFiles(stdin, DevNull());
    Vm::Init();
    Vm::SetInterruptProc([] { return false; });
    return FileSystem::ChangeDirectory(base::CharsOf(kPrograms));
  }();
  return started;
}

double ProcessorSeconds();

Modules::Ref Install(const std::string& source, std::string& error) {
  const Compiler::Result r =
      Compiler::CompileSource(source, {Shell::SymbolDirectory(), Shell::ObjectDirectory()});
  if (!r.ok || r.object == nullptr) {
    error = std::to_string(r.line) + ":" + std::to_string(r.column) + ": " + r.message;
    return nullptr;
  }
  return Modules::Install(Shell::SystemLibrary(), r.object);
}

// The program's text with a procedure before the module's body that nothing calls; the
// line of its one statement.
std::string WithUnreached(std::string source, std::int32_t& line) {
  const std::size_t body = source.rfind("\nBEGIN");
  if (body == std::string::npos) return source;
  line = static_cast<std::int32_t>(std::count(source.begin(), source.begin() + body, '\n')) + 4;
  source.insert(body + 1, "PROCEDURE Unreached;\nBEGIN\n  HALT\nEND Unreached;\n\n");
  return source;
}

Vm::Debug::Resume NeverStops(const Vm::Debug::Stop&) { return Vm::Debug::Resume::Continue; }

// The program's body in the machine: interpreted, or translated when jit (its procedures
// translated in the first run and kept for the others); with breakpoint, a breakpoint set
// on a line never reached.
void Machine(benchmark::State& state, const char* name, bool jit, bool breakpoint) {
  if (jit && !Jit::Install()) return state.SkipWithError("no translation on this host");
  struct Interpreter {
    ~Interpreter() {
      Jit::Remove();
      Vm::Debug::SetStopProc(nullptr);
      Vm::Debug::SetBreakpoints({});
    }
  } restore;
  std::string error;
  std::int32_t line = 0;
  const std::string source = WithUnreached(Read(kPrograms + "/" + name + ".mod"), line);
  Modules::Ref m = Workstation() ? Install(source, error) : nullptr;
  if (m == nullptr) {
    state.SkipWithError(("does not compile: " + error).c_str());
    return;
  }
  if (breakpoint) {
    Vm::Debug::SetStopProc(NeverStops);
    Vm::Debug::SetBreakpoints({{name, line}});
    if (Vm::Debug::PlacedLine(0) != line) return state.SkipWithError("the breakpoint has no place");
  }
  // The program's output, which must be what its NAME.out says.
  const std::string expected = Read(kPrograms + "/" + name + ".out");
  std::FILE* out = std::tmpfile();
  if (out == nullptr) return state.SkipWithError("no file for the output");
  TextIO::SetConsoleFiles(stdin, out);
  for (auto _ : state) {
    std::rewind(out);
    if (ftruncate(fileno(out), 0) != 0) {
      state.SkipWithError("the output's file");
      break;
    }
    const double start = ProcessorSeconds();
    Vm::RunBody(m, Modules::Body(m));
    state.SetIterationTime(ProcessorSeconds() - start);
    if (Vm::LastRunTrapped()) {
      state.SkipWithError(Vm::LastReport().message.c_str());
      break;
    }
    if (Contents(out) != expected) {
      state.SkipWithError("wrong output");
      break;
    }
  }
  TextIO::SetConsoleFiles(stdin, DevNull());
  std::fclose(out);
}

// Processor seconds of this process, and of its children that have ended.
double ProcessorSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
double ChildSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  const auto seconds = [](const timeval& v) {
    return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) * 1e-6;
  };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// A directory of its own for gm2, which leaves its objects where it runs.
std::string Scratch() {
  static const std::string dir = [] {
    char name[] = "/tmp/velmarin-bench-XXXXXX";
    return std::string(mkdtemp(name) != nullptr ? name : "/tmp");
  }();
  return dir;
}

// A process: the processor time it took; it must succeed and, when expected is given,
// write exactly that.
void Process(benchmark::State& state, const std::string& command,
             const std::string& expected = "") {
  const std::string out = Scratch() + "/output";
  for (auto _ : state) {
    const double start = ChildSeconds();
    const int status = std::system((command + " >" + out).c_str());
    if (status != 0) {
      state.SkipWithError(("failed: " + command).c_str());
      return;
    }
    state.SetIterationTime(ChildSeconds() - start);
    if (!expected.empty() && Read(out) != expected) {
      state.SkipWithError(("wrong output: " + command).c_str());
      return;
    }
  }
}

// ---- NEW and DISPOSE without end ----

// A process run on its own: exit status, processor time, peak resident memory, output.
struct Child {
  int status = -1;
  double seconds = 0;
  double peakMB = 0;
  std::string output;
};

extern "C" char** environ;

Child Spawn(const std::vector<std::string>& command) {
  Child c;
  char outName[] = "/tmp/velmarin-bench-out-XXXXXX";
  const int out = mkstemp(outName);
  if (out < 0) return c;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    rusage u{};
    int status = 0;
    if (wait4(pid, &status, 0, &u) == pid && WIFEXITED(status)) c.status = WEXITSTATUS(status);
    c.seconds = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    c.peakMB = static_cast<double>(u.ru_maxrss) / 1024.0;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out);
  c.output = Read(outName);
  unlink(outName);
  return c;
}

// The program run by command, timed; its output must be churn.out. Counters: the
// peak resident memory and, for the machine, the goal's limit (2 L + 64 MB).
void Churn(benchmark::State& state, const std::vector<std::string>& command, bool machine) {
  const std::string expected = Read(kPrograms + "/churn.out");
  double peak = 0;
  for (auto _ : state) {
    const Child c = Spawn(command);
    if (c.status != 0 || c.output != expected) {
      state.SkipWithError(("failed: " + command[0] + " " + command.back()).c_str());
      return;
    }
    state.SetIterationTime(c.seconds);
    peak = std::max(peak, c.peakMB);
  }
  state.counters["peak_MB"] = peak;
  if (machine) state.counters["limit_MB"] = 2 * 160000.0 / (1 << 20) + 64;
}

void ChurnMachine(benchmark::State& state) {
  Churn(state, {VELMARIN_EXE, "--run", kPrograms + "/churn.mod"}, true);
}

void ChurnLua(benchmark::State& state) {
  if (!Have("lua5.4")) return state.SkipWithError("lua5.4 is not installed");
  Churn(state, {"lua5.4", kPrograms + "/churn.lua"}, false);
}

void Lua(benchmark::State& state, const char* name) {
  if (!Have("lua5.4")) return state.SkipWithError("lua5.4 is not installed");
  Process(state, "lua5.4 " + kPrograms + "/" + name + ".lua",
          Read(kPrograms + "/" + name + ".out"));
}

// gm2 -O2 turns recursion into loops (a call with an accumulator becomes a jump, and
// procedures are inlined into themselves); with calls, as with options that keep every
// call a call, as the machine's frames and trap reports need.
constexpr char kKeepCalls[] =
    " -fno-optimize-sibling-calls -fno-inline-functions -fno-inline-small-functions"
    " -fno-inline-functions-called-once -fno-partial-inlining";

void Gm2(benchmark::State& state, const char* name, bool calls) {
  if (!Have("gm2")) return state.SkipWithError("gm2 is not installed");
  const std::string exe = Scratch() + "/" + name + (calls ? "-calls" : "");
  const std::string build = std::string(kGm2) + " -O2 " + (calls ? kKeepCalls : "") + " " +
                            kPrograms + "/" + name + ".mod -o " + exe + " -lm >/dev/null 2>&1";
  if (std::system(("cd " + Scratch() + " && " + build).c_str()) != 0)
    return state.SkipWithError("gm2 failed");
  Process(state, exe, Read(kPrograms + "/" + name + ".out"));
}

// ---- Compiling a 10,000-line module ----

// x MOD y and x DIV y as the language has them (Euclidean).
std::int64_t Mod(std::int64_t x, std::int64_t y) { return ((x % y) + y) % y; }
std::int64_t Div(std::int64_t x, std::int64_t y) { return (x - Mod(x, y)) / y; }

// A module as programs are written: constants, record types and variables, then most of
// it procedures of assignments, conditions and loops (far more code than an object's
// 16-bit code section holds), and a body that calls them; it halts unless it computes
// what is computed here.
std::string Generated(int lines) {
  std::string s = "MODULE Big;\n";
  int n = 1;
  const auto line = [&](const std::string& text) {
    s += text + "\n";
    ++n;
  };
  const auto number = [](std::int64_t v) { return std::to_string(v); };
  line("CONST");
  for (int i = 0; n < lines * 15 / 100; ++i) line("  K" + number(i) + " = " + number(i * 7) + ";");
  line("TYPE");
  for (int i = 0; n < lines * 25 / 100; ++i) {
    line("  R" + number(i) + " = RECORD");
    line("    a, b: INTEGER; c: REAL;");
    line("    d: ARRAY [0..9] OF CHAR");
    line("  END;");
  }
  line("VAR");
  for (int i = 0; n < lines * 35 / 100; ++i)
    line("  v" + number(i) + ", w" + number(i) + ": INTEGER; r" + number(i) + ": R0;");
  line("  total: INTEGER;");
  int procedures = 0;
  for (; n < lines * 95 / 100; ++procedures) {
    const std::string name = "P" + number(procedures);
    line("PROCEDURE " + name + "(x, y: INTEGER): INTEGER;");
    line("VAR i, s: INTEGER; t: R0;");
    line("BEGIN");
    line("  s := x; t.a := y; t.b := 0;");
    line("  FOR i := 1 TO y DO");
    line("    IF i MOD 3 = 0 THEN s := s + i ELSE s := s - " + number(procedures % 5 + 1) +
         " END;");
    line("    IF s > 1000 THEN s := s DIV 2 ELSIF s < -1000 THEN s := -s DIV 3 END;");
    line("    t.b := t.b + s MOD 7");
    line("  END;");
    line("  v" + number(procedures % 50) + " := s; w" + number(procedures % 50) + " := t.b;");
    line("  RETURN s + t.b");
    line("END " + name + ";");
    line("");
  }
  line("BEGIN");
  line("  total := 0;");
  std::int64_t total = 0;
  for (int q = 0; n < lines - 2; ++q) {
    const int p = q % procedures, y = q % 20 + 1;
    line("  total := (total + P" + number(p) + "(total MOD 100, " + number(y) + ")) MOD 1000000;");
    std::int64_t x = Mod(total, 100), b = 0;
    for (int i = 1; i <= y; ++i) {
      x = i % 3 == 0 ? x + i : x - (p % 5 + 1);
      if (x > 1000)
        x = Div(x, 2);
      else if (x < -1000)
        x = -Div(x, 3);
      b += Mod(x, 7);
    }
    total = Mod(total + x + b, 1000000);
  }
  line("  IF total # " + number(total) + " THEN HALT END");
  line("END Big.");
  return s;
}

// Compiling the module (the processor time of that alone); then, once, it must install
// and run without a trap. The baseline: the same without the symbols for the debugger.
void Compile(benchmark::State& state, bool symbols) {
  if (!Workstation()) return state.SkipWithError("no workstation");
  const std::string source = Generated(10000);
  Compiler::Result r;
  Codegen::SetSymbols(symbols);
  for (auto _ : state) {
    const double start = ProcessorSeconds();
    Codegen::SetSourcePath("Big.mod");
    r = Compiler::CompileSource(source, {Shell::SymbolDirectory(), Shell::ObjectDirectory()});
    state.SetIterationTime(ProcessorSeconds() - start);
    if (!r.ok) return state.SkipWithError((std::to_string(r.line) + ": " + r.message).c_str());
  }
  Codegen::SetSymbols(true);
  state.counters["object_KB"] = static_cast<double>(r.objectData.size()) / 1024;
  Modules::Ref m = Modules::Install(Shell::SystemLibrary(), r.object);
  if (m == nullptr) return state.SkipWithError("the object does not install");
  Vm::RunBody(m, Modules::Body(m));
  if (Vm::LastRunTrapped()) return state.SkipWithError(Vm::LastReport().message.c_str());
}

// Start-up with translation: compiling the module, installing it and running its body,
// which calls every procedure and so translates each one.
void CompileAndStart(benchmark::State& state) {
  if (!Workstation()) return state.SkipWithError("no workstation");
  if (!Jit::Install()) return state.SkipWithError("no translation on this host");
  const std::string source = Generated(10000);
  for (auto _ : state) {
    const double start = ProcessorSeconds();
    Codegen::SetSourcePath("Big.mod");
    const Compiler::Result r =
        Compiler::CompileSource(source, {Shell::SymbolDirectory(), Shell::ObjectDirectory()});
    Modules::Ref m = r.ok ? Modules::Install(Shell::SystemLibrary(), r.object) : nullptr;
    if (m != nullptr) Vm::RunBody(m, Modules::Body(m));
    state.SetIterationTime(ProcessorSeconds() - start);
    if (m == nullptr || Vm::LastRunTrapped()) {
      Jit::Remove();
      return state.SkipWithError("the module does not compile, install and run");
    }
  }
  Jit::Remove();
}

void Gm2Compile(benchmark::State& state) {
  if (!Have("gm2")) return state.SkipWithError("gm2 is not installed");
  std::ofstream(Scratch() + "/Big.mod") << Generated(10000);
  Process(state, "cd " + Scratch() + " && " + std::string(kGm2) + " -c Big.mod -o Big.o");
}

[[maybe_unused]] const bool registered = [] {
  for (const char* name : kNames) {
    for (const bool breakpoint : {false, true}) {
      const std::string kind = breakpoint ? "Breakpoint" : "Machine";
      benchmark::RegisterBenchmark((kind + "/" + name).c_str(), Machine, name, false, breakpoint)
          ->Unit(benchmark::kMillisecond)
          ->UseManualTime()
          ->Iterations(3);
      const std::string jit = breakpoint ? "BreakpointJit/" : "Jit/";
      benchmark::RegisterBenchmark((jit + name).c_str(), Machine, name, true, breakpoint)
          ->Unit(benchmark::kMillisecond)
          ->UseManualTime()
          ->Iterations(3);
    }
    benchmark::RegisterBenchmark((std::string("Lua/") + name).c_str(), Lua, name)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark((std::string("Gm2/") + name).c_str(), Gm2, name, false)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark((std::string("Gm2Calls/") + name).c_str(), Gm2, name, true)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
  }
  benchmark::RegisterBenchmark("Churn/machine", ChurnMachine)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(3);
  benchmark::RegisterBenchmark("Churn/lua", ChurnLua)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(3);
  benchmark::RegisterBenchmark("Compile/10000lines", Compile, true)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  benchmark::RegisterBenchmark("Compile/10000lines/nosymbols", Compile, false)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  benchmark::RegisterBenchmark("CompileAndStart/10000lines", CompileAndStart)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  benchmark::RegisterBenchmark("Gm2Compile/10000lines", Gm2Compile)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(1);
  return true;
}();

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::system(("rm -rf " + Scratch()).c_str());
  return 0;
}
