#include "vm/Vm.h"

#include <pthread.h>
#include <sys/mman.h>
#include <ucontext.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/Charset.h"
#include "base/Division.h"
#include "modules/NativeModules.h"
#include "platform/Events.h"
#include "vm/Debug.h"
#include "vm/Heap.h"
#include "vm/Isa.h"
#include "vm/Machine.h"
#include "vm/Object.h"
#include "vm/Trap.h"
#include "windows/KeyEvents.h"

#if defined(__SANITIZE_ADDRESS__)
#define VM_GUARD_SIGNALS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VM_GUARD_SIGNALS 0
#endif
#endif
#ifndef VM_GUARD_SIGNALS
#define VM_GUARD_SIGNALS 1
#endif
// Direct threading needs the handlers within 64 KB of each other: true of optimised
// builds; builds without optimisation or with sanitizers dispatch through a table of
// handlers by op instead (the dispatch words then keep their ops).
#if defined(__OPTIMIZE__) && VM_GUARD_SIGNALS
#define VM_DIRECT_THREADING 1
#else
#define VM_DIRECT_THREADING 0
#endif

namespace Vm {

namespace {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

constexpr std::size_t kFrameBytes = std::size_t{256} << 20; // frames
// A trap keeps this many of its innermost frames for the debugger.
constexpr std::size_t kMaxTrapFrames = 10'000;
constexpr std::size_t kCopyBytes = std::size_t{64} << 20; // value copies of open arrays
constexpr std::size_t kGuardBytes = 1 << 16;
constexpr std::int64_t kMarginSlots = 64;       // room below the limit for a native's words
constexpr std::int64_t kProcessMarginSlots = 8; // the same in a process's workspace
constexpr std::int32_t kPollEvery = 1 << 14;    // calls and backward jumps between clock looks
constexpr auto kPumpPeriod = std::chrono::milliseconds(20);
constexpr std::uint16_t kNativeFlag = Native::kNativeFlag;

// The return address of every entry into the machine (its dispatch word rewritten when
// the machine starts).
u64 kExitCode[1] = {Word(Op::EXIT)};
// The return address of the procedure of a process: when it returns, the program ends.
u64 kProcessEndCode[1] = {Word(Op::PEND)};

// A word of prepared code whose dispatch bits the debugger rewrote: the bits it had, and
// why the run may stop there.
struct Mark {
  u16 original = 0;
  std::int32_t breakpoint = -1; // the first breakpoint placed here
  bool lineStart = false;       // where a step may end at a line
  bool returnPoint = false;     // where the stepped frame returns to
};

// Where the machine was when it left compiled code for native code.
struct Entry {
  const u64* pc;
  u64* fp;
};

// A process (coroutine) of the run. The main process runs on the machine's own stack;
// every other one in the workspace that NEWPROCESS gave it, memory of the program: its
// frames in the lower three quarters, the value copies of open arrays in the rest. What
// it needs to go on (pc, fp, gp) stays here, out of the program's reach.
struct Process {
  u64 handle = 0;      // the value of a PROCESS variable that designates it
  u8* start = nullptr; // the workspace; nullptr for the main process
  u8* end = nullptr;
  const u64* pc = nullptr; // where it goes on; a new process: the entry of its procedure
  u64* fp = nullptr;
  u8* gp = nullptr;
  u64* limit = nullptr; // its frames end here
  u8* copies = nullptr;
  u8* copiesEnd = nullptr;
  u8* copyTop = nullptr;
  int depth = 0;         // entries into the machine when it stopped; 0: it never ran
  bool tooSmall = false; // its workspace cannot hold the first frame
};

struct State {
  bool initialised = false;
  u8* mapping = nullptr;
  u64* stack = nullptr; // the first frame slot
  u64* limit = nullptr; // frames end here
  u8* copies = nullptr; // value copies grow from here
  u8* copiesEnd = nullptr;
  u8* copyTop = nullptr;
  std::size_t stackLimitBytes = 0; // for the tests; 0: everything
  std::int32_t pollEvery = kPollEvery;
  std::chrono::steady_clock::time_point lastPump{};

  // The machine's registers as last saved: at a native call, a memory access, a trap.
  const u64* pc = nullptr;
  u64* fp = nullptr;
  u64* sp = nullptr; // the first free slot above the frame that called native code
  int depth = 0;     // entries into the machine in progress
  std::vector<Entry> entries;

  u8* copyRegion = nullptr; // the main process's value copies
  Process main;
  Process* running = &main;
  std::unordered_map<u64, Process> processes; // the others, by handle

  Buffer::Ref library = nullptr; // of the run: where the code of its frames is found
  std::uint32_t generation = 0;  // of the programs' heap when the last run began
  bool reported = false;         // the trap in flight has its report
  std::string pendingEnd;        // the error the run ends with once native code returns
  bool trapped = false;
  TrapReport report;
  Debug::Stop lastTrap; // the frames of the trap, for the debugger
  // The debugger: the stop procedure, the breakpoints, the marks in prepared code, the
  // step under way (Continue: none), and whether this run stays in the interpreter.
  Debug::StopProc stopProc = nullptr;
  bool stopped = false;
  std::vector<Debug::LineBreak> breakpoints;
  std::unordered_map<const u64*, Mark> marks;
  struct {
    Debug::Resume kind = Debug::Resume::Continue;
    u64* fp = nullptr;       // the frame stepped from
    u64* callerFp = nullptr; // its caller's, where it returns to
    const Process* process = nullptr;
  } step;
  bool interpretOnly = false;
  // The procedures that stay interpreted while breakpoints are set (by entry), and whether
  // breakpoints changed while the run went on (translated frames may be below a mark).
  std::unordered_set<const u64*> mustInterpret;
  bool changedInRun = false;
  ReportProc reportProc = nullptr;
  InterruptProc interruptProc = nullptr;
  void (*runEnd)() = nullptr;
  // Translated code: the translator, what it made of each procedure by its entry (nullptr:
  // interpreted), the innermost entry into translated code and the error that left it.
  const Machine::Translator* translator = nullptr;
  std::unordered_map<const u64*, Machine::Code> machineCode;
  std::jmp_buf* machineJump = nullptr;
  std::exception_ptr machineError;
#if VM_GUARD_SIGNALS
  sigjmp_buf* jump = nullptr; // innermost entry's, while compiled code runs
  struct sigaction oldSegv {};
  struct sigaction oldBus {};
#endif
};
State state;
Machine::Shared shared;

[[noreturn]] __attribute__((noinline, cold)) void Raise(TrapCode code, const u64* pc, u64* fp) {
  state.pc = pc;
  state.fp = fp;
  Trap(TrapText(code));
}

// ---- The guard against wild addresses ----

#if VM_GUARD_SIGNALS
void OnFault(int signal, siginfo_t* info, void* context) {
  if (state.jump != nullptr) {
#if defined(__x86_64__)
    // In translated code: the instruction it executed, and its frame (always in rbx).
    if (state.translator != nullptr && context != nullptr) {
      const mcontext_t& m = static_cast<ucontext_t*>(context)->uc_mcontext;
      if (const u64* at = state.translator->where(static_cast<std::uintptr_t>(m.gregs[REG_RIP]))) {
        state.pc = at;
        state.fp = reinterpret_cast<u64*>(m.gregs[REG_RBX]);
      }
    }
#endif
    siglongjmp(*state.jump, 1);
  }
  // Not ours: the handler that was there before gets it.
  const struct sigaction& old = signal == SIGSEGV ? state.oldSegv : state.oldBus;
  if ((old.sa_flags & SA_SIGINFO) != 0 && old.sa_sigaction != nullptr) {
    old.sa_sigaction(signal, info, context);
    return;
  }
  sigaction(signal, &old, nullptr);
  if (old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN && old.sa_handler != nullptr)
    old.sa_handler(signal);
}

void InstallGuard() {
  static std::uint8_t alternate[1 << 16];
  stack_t ss{};
  ss.ss_sp = alternate;
  ss.ss_size = sizeof alternate;
  sigaltstack(&ss, nullptr);
  struct sigaction sa {};
  sa.sa_sigaction = OnFault;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGSEGV, &sa, &state.oldSegv);
  sigaction(SIGBUS, &sa, &state.oldBus);
}
#endif

bool MakeStack() {
  if (state.mapping != nullptr) return true;
  const std::size_t total = kGuardBytes + kFrameBytes + kGuardBytes + kCopyBytes + kGuardBytes;
  void* m = mmap(nullptr, total, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (m == MAP_FAILED) return false;
  auto* base = static_cast<u8*>(m);
  u8* frames = base + kGuardBytes;
  u8* copies = frames + kFrameBytes + kGuardBytes;
  if (mprotect(frames, kFrameBytes, PROT_READ | PROT_WRITE) != 0 ||
      mprotect(copies, kCopyBytes, PROT_READ | PROT_WRITE) != 0) {
    munmap(m, total);
    return false;
  }
  state.mapping = base;
  state.stack = reinterpret_cast<u64*>(frames) + 2; // the first link slots
  state.limit = reinterpret_cast<u64*>(frames + kFrameBytes) - kMarginSlots;
  state.copyRegion = state.copies = state.copyTop = copies;
  state.copiesEnd = copies + kCopyBytes;
  return true;
}

// Where the frames of the main process end.
u64* MainLimit() {
  if (state.stackLimitBytes == 0) return state.limit;
  u64* l = state.stack + state.stackLimitBytes / 8;
  return l < state.limit ? l : state.limit;
}

// Where the frames of the running process end.
u64* FrameLimit() { return state.running->limit; }
std::int64_t MarginSlots() {
  return state.running == &state.main ? kMarginSlots : kProcessMarginSlots;
}

bool Poll() {
  const auto now = std::chrono::steady_clock::now();
  if (now - state.lastPump < kPumpPeriod && state.pollEvery == kPollEvery) return false;
  state.lastPump = now;
  return state.interruptProc != nullptr ? state.interruptProc() : Events::Interrupted();
}

// ---- Run-time procedures (SYS) ----

void NewProcess(const u64* s, const u64* pc, u64* fp);

bool SetBit(const u8* set, u64 element) { return (set[element >> 3] >> (element & 7)) & 1; }

void Sys(u16 which, u64* s, const u64* pc, u64* fp) {
  switch (static_cast<SysCall>(which)) {
  case SysCall::StringAssign: {
    auto* dst = reinterpret_cast<char*>(s[0]);
    const u64 room = s[1] + 1;
    const auto* src = reinterpret_cast<const char*>(s[2]);
    const u64 length = s[3];
    if (length > room) Raise(TrapCode::Range, pc, fp);
    std::memmove(dst, src, length);
    if (length < room) dst[length] = 0;
    return;
  }
  case SysCall::StringCompare: {
    const auto* a = reinterpret_cast<const u8*>(s[0]);
    const auto* b = reinterpret_cast<const u8*>(s[2]);
    const u64 na = s[1] + 1, nb = s[3] + 1;
    for (u64 i = 0;; ++i) {
      const u8 ca = i < na ? a[i] : 0, cb = i < nb ? b[i] : 0;
      if (ca != cb) {
        s[0] = ca < cb ? static_cast<u64>(-1) : 1;
        return;
      }
      if (ca == 0) {
        s[0] = 0;
        return;
      }
    }
  }
  case SysCall::SetIn: {
    const u64 size = s[1], element = s[2];
    s[0] = element < size * 8 ? SetBit(reinterpret_cast<const u8*>(s[0]), element) : 0;
    return;
  }
  case SysCall::SetIncl:
  case SysCall::SetExcl: {
    const u64 size = s[1], element = s[2];
    if (element >= size * 8) Raise(TrapCode::Range, pc, fp);
    u8* set = reinterpret_cast<u8*>(s[0]);
    const u8 bit = static_cast<u8>(1u << (element & 7));
    if (static_cast<SysCall>(which) == SysCall::SetIncl)
      set[element >> 3] |= bit;
    else
      set[element >> 3] &= static_cast<u8>(~bit);
    return;
  }
  case SysCall::SetUnion:
  case SysCall::SetDifference:
  case SysCall::SetIntersection:
  case SysCall::SetSymmetric: {
    u8* d = reinterpret_cast<u8*>(s[0]);
    const u8* a = reinterpret_cast<const u8*>(s[2]);
    const u8* b = reinterpret_cast<const u8*>(s[3]);
    for (u64 i = 0; i < s[1]; ++i) {
      switch (static_cast<SysCall>(which)) {
      case SysCall::SetUnion:
        d[i] = a[i] | b[i];
        break;
      case SysCall::SetDifference:
        d[i] = a[i] & static_cast<u8>(~b[i]);
        break;
      case SysCall::SetIntersection:
        d[i] = a[i] & b[i];
        break;
      default:
        d[i] = a[i] ^ b[i];
        break;
      }
    }
    return;
  }
  case SysCall::SetEqual:
  case SysCall::Compare:
    s[0] = std::memcmp(reinterpret_cast<const void*>(s[0]), reinterpret_cast<const void*>(s[2]),
                       s[which == static_cast<u16>(SysCall::Compare) ? 2 : 1]) == 0;
    return;
  case SysCall::SetSubset: {
    const u8* a = reinterpret_cast<const u8*>(s[0]);
    const u8* b = reinterpret_cast<const u8*>(s[2]);
    bool subset = true;
    for (u64 i = 0; i < s[1]; ++i) subset = subset && (a[i] & ~b[i]) == 0;
    s[0] = subset;
    return;
  }
  case SysCall::SetRange: {
    const u64 size = s[1];
    const i64 low = static_cast<i64>(s[2]), high = static_cast<i64>(s[3]);
    if (low > high) return;
    if (low < 0 || static_cast<u64>(high) >= size * 8) Raise(TrapCode::Range, pc, fp);
    u8* set = reinterpret_cast<u8*>(s[0]);
    for (i64 e = low; e <= high; ++e) set[e >> 3] |= static_cast<u8>(1u << (e & 7));
    return;
  }
  case SysCall::ModuleData: {
    const std::uintptr_t block = Heap::Allocate(s[0]);
    if (block == 0) Raise(TrapCode::OutOfMemory, pc, fp);
    auto* p = reinterpret_cast<u8*>(block);
    for (u64 i = 0; i + 1 < s[0]; i += 2) p[i] = 0, p[i + 1] = 0x80;
    s[0] = block;
    return;
  }
  case SysCall::NewProcess:
    NewProcess(s, pc, fp);
    return;
  case SysCall::Count:
    break;
  }
  Raise(TrapCode::BadInstruction, pc, fp);
}

// ---- The interpreter ----

// Where the interpreter's handlers lie: a dispatch word holds its handler's distance
// from base (Interpret computes them).
struct Dispatch {
  const char* base = nullptr;
  u16 handler[256] = {};
  const void* table[256] = {}; // without direct threading: the handler of each op
  u16 mark = 0;                // the dispatch bits of a word the debugger marked
};
static_assert(kOpCount < 255, "a marked word's dispatch bits without direct threading");
Dispatch dispatch;
// The op of each dispatch word: the reverse of dispatch.handler.
u8 opOfHandler[65536];

// ENTER as the object has it or as the check of the code rewrote it; with bit 63 set,
// which the first word of a native procedure record (a pointer) never has.
inline bool IsEntryWord(u64 w) {
  const u64 op = w & 0xFFFF;
  return (FieldC(w) & kEntryMark) != 0 &&
         (op == static_cast<u64>(Op::ENTER) || op == dispatch.handler[static_cast<int>(Op::ENTER)]);
}

void MarkPrepared(const u64* code);

// Checks the code of a module and rewrites its dispatch words, once: false when the
// code is not fit to run (marked so, it stays refused).
bool Prepare(u64* code) {
  const u64 header = code[1];
  u64 flags = header >> 48;
  if ((flags & kTranslated) != 0) return (flags & kRejected) == 0;
  const bool large = (flags & kLargeCode) != 0;
  const i64 first = large ? kLargeHeaderWords : kHeaderWords;
  const i64 total = static_cast<i64>(large ? code[2] & 0xFFFFFFFF : header & 0xFFFF),
            end = static_cast<i64>(large ? code[2] >> 32 : (header >> 16) & 0xFFFF);
  bool good = end >= first && end <= total;
  std::vector<bool> starts(static_cast<std::size_t>(good ? end : 0), false);
  i64 at = first;
  while (good && at < end) {
    const u64 w = code[at];
    const int op = static_cast<int>(w & 0xFF);
    good = (w & 0xFF00) == 0 && op < kOpCount && at + kOpWords[op] <= end;
    if (good) starts[static_cast<std::size_t>(at)] = true;
    at += good ? kOpWords[op] : 0;
  }
  good = good && at == end;
  const auto instruction = [&](i64 t) {
    return t >= first && t < end && starts[static_cast<std::size_t>(t)];
  };
  const auto constant = [&](i64 t, i64 words) { return t >= end && t + words <= total; };
  // Whether what an operand of the instruction at from points at is there, by the
  // operand's kind in the instruction's format.
  const auto reaches = [&](Operand kind, i64 from, i64 offset) {
    const i64 t = from + offset;
    switch (kind) {
    case Operand::Branch:
    case Operand::Jump:
      return instruction(t);
    case Operand::Proc:
      return instruction(t) && OpOf(code[t]) == Op::ENTER;
    case Operand::Const:
      return constant(t, 1);
    case Operand::Pair:
      return constant(t, 2);
    case Operand::Table: {
      if (!constant(t, 3) || code[t + 1] > static_cast<u64>(total)) return false;
      const i64 count = static_cast<i64>(code[t + 1]);
      if (!constant(t, 3 + count)) return false;
      for (i64 k = 2; k < 3 + count; ++k) {
        if (!instruction(from + static_cast<i64>(code[t + k]))) return false;
      }
      return true;
    }
    default:
      return true;
    }
  };
  for (at = first; good && at < end; at += kOpWords[code[at] & 0xFF]) {
    const u64 w = code[at];
    const Fields& f = kOpFields[w & 0xFF];
    good = reaches(f.c, at, static_cast<i16>(FieldC(w))) && reaches(f.b, at, FieldI(w));
    if (f.c == Operand::Marked) good = good && (FieldC(w) & kEntryMark) != 0;
    if (f.ext[0] == Extension::Frame)
      good = good && EnterWord(w, code[at + 1]) == static_cast<u64>(at);
  }
  if (good) {
    for (at = first; at < end;) {
      const int op = static_cast<int>(code[at] & 0xFF);
      code[at] = (code[at] & ~u64{0xFFFF}) | dispatch.handler[op];
      at += kOpWords[op];
    }
  } else {
    flags |= kRejected;
  }
  flags |= kTranslated;
  code[1] = (header & 0x0000FFFFFFFFFFFFull) | flags << 48;
  if (good) MarkPrepared(code);
  return good;
}

// Word 0 of the code of the procedure at entry (an ENTER).
inline const u64* CodeOf(const u64* entry) { return entry - EnterWord(entry[0], entry[1]); }

// The code of the procedure at entry (an ENTER) checked and ready to run.
inline bool Runnable(u64 entry) {
  if ((entry & 7) != 0) return false;
  const u64* e = reinterpret_cast<const u64*>(entry);
  if (!IsEntryWord(*e)) return false;
  u64* code = const_cast<u64*>(CodeOf(e));
  if (((code[1] >> 48) & kTranslated) == 0 || ((code[1] >> 48) & kRejected) != 0) {
    if (!Prepare(code)) return false;
  }
  return true;
}

// ---- Processes ----

// The process a PROCESS value designates, or nullptr.
Process* ProcessOf(u64 handle) {
  if (handle == state.main.handle) return &state.main;
  const auto found = state.processes.find(handle);
  return found != state.processes.end() ? &found->second : nullptr;
}

// Whether [start, end) is memory of the program that a process may run in: within a
// live block of the programs' heap, the variables of a module, or the frames of the main
// process below the running one (a local array).
bool ProgramMemory(u64 start, u64 end, const u64* fp) {
  if (IsProgramAddress(start, end - start) || Heap::LiveBlock(start, end - start)) return true;
  return state.running == &state.main && start >= reinterpret_cast<u64>(state.stack) &&
         end <= reinterpret_cast<u64>(fp);
}

// The processes whose workspaces overlap [start, end) are gone.
void DropProcesses(u64 start, u64 end) {
  std::erase_if(state.processes, [&](const auto& entry) {
    const Process& p = entry.second;
    return reinterpret_cast<u64>(p.start)<end&& reinterpret_cast<u64>(p.end)> start;
  });
}

// NEWPROCESS(P, A, n, p1) with the words of SysCall::NewProcess: a process that will run
// P in the n bytes at A, designated by the aligned start of its workspace.
void NewProcess(const u64* s, const u64* pc, u64* fp) {
  const u64 proc = s[0], address = s[1], size = s[2];
  if (proc == 0) Raise(TrapCode::NilProcedure, pc, fp);
  if (!IsCompiledEntry(proc) || !Runnable(proc)) Raise(TrapCode::BadProcedure, pc, fp);
  const u64 start = (address + 7) & ~u64{7}, end = (address + size) & ~u64{7};
  if (address == 0 || address + size < address || end <= start ||
      !ProgramMemory(address, address + size, fp))
    Raise(TrapCode::BadWorkspace, pc, fp);
  const Process& running = *state.running;
  if (running.start != nullptr && start < reinterpret_cast<u64>(running.end) &&
      end > reinterpret_cast<u64>(running.start))
    Raise(TrapCode::RunningWorkspace, pc, fp);
  DropProcesses(start, end);
  Process p;
  p.handle = start;
  p.start = reinterpret_cast<u8*>(start);
  p.end = reinterpret_cast<u8*>(end);
  u8* const framesEnd = p.start + ((end - start) / 4 * 3 & ~u64{7});
  p.copies = p.copyTop = framesEnd;
  p.copiesEnd = p.end;
  p.limit = reinterpret_cast<u64*>(framesEnd) - kProcessMarginSlots;
  const u64* entry = reinterpret_cast<const u64*>(proc);
  p.pc = entry;
  p.gp = reinterpret_cast<u8*>(*CodeOf(entry));
  p.fp = reinterpret_cast<u64*>(start) + kLinkSlots;
  p.tooSmall = p.limit < p.fp;
  if (!p.tooSmall) {
    p.fp[-3] = reinterpret_cast<u64>(p.gp);
    p.fp[-2] = 0;
    p.fp[-1] = reinterpret_cast<u64>(kProcessEndCode);
  }
  state.processes[start] = p;
  std::memcpy(reinterpret_cast<void*>(s[3]), &start, sizeof start);
}

struct Resume {
  const u64* pc;
  u64* fp;
  u8* gp;
};

// TRANSFER(p1, p2) at pc: the running process stops and is assigned to p1 (the variable
// at address from), the process p2 designated (the variable at address to, read first)
// goes on. A process that stopped inside a call from a library module (a dialog's
// procedure, say) goes on only inside that call.
Resume Transfer(u64 from, u64 to, const u64* pc, u64* fp, u8* gp) {
  u64 handle;
  std::memcpy(&handle, reinterpret_cast<const void*>(to), sizeof handle);
  Process* next = ProcessOf(handle);
  Process& current = *state.running;
  if (next == nullptr) Raise(TrapCode::BadProcess, pc, fp);
  if (next->tooSmall) Raise(TrapCode::StackOverflow, pc, fp);
  if (next != &current && next->depth != 0 && next->depth != state.depth)
    Raise(TrapCode::ForeignProcess, pc, fp);
  std::memcpy(reinterpret_cast<void*>(from), &current.handle, sizeof current.handle);
  if (next == &current) return Resume{pc + 1, fp, gp};
  current.pc = pc + 1;
  current.fp = fp;
  current.gp = gp;
  current.depth = state.depth;
  current.copies = state.copies, current.copiesEnd = state.copiesEnd;
  current.copyTop = state.copyTop;
  next->depth = state.depth;
  state.copies = next->copies, state.copiesEnd = next->copiesEnd;
  state.copyTop = next->copyTop;
  state.running = next;
  return Resume{next->pc, next->fp, next->gp};
}

// The main process runs again, alone.
void ResetProcesses() {
  state.processes.clear();
  state.main = Process{};
  state.main.handle = reinterpret_cast<u64>(&state.main);
  state.main.limit = MainLimit();
  shared.limit = state.main.limit;
  state.running = &state.main;
  state.copies = state.copyTop = state.copyRegion;
  state.copiesEnd = state.copyRegion + kCopyBytes;
}

// ENTER of a frame with a memory area: the linkage and the parameters move up by memory
// slots, the area takes their place; the frame's new fp.
u64* LiftFrame(u64* fp, u64 memory, u64 first) {
  std::memmove(fp + memory - kLinkSlots, fp - kLinkSlots, (first + kLinkSlots) * 8);
  std::memset(fp - kLinkSlots, 0, memory * 8);
  fp += memory;
  state.fp = fp;
  return fp;
}

// ---- Translated code ----

// Whether the host's stack has room to go on in translated code.
inline bool HostRoom() {
  return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) > shared.hostLimit;
}

// The code made of the procedure at entry (made at its first call); nullptr: interpreted.
Machine::Code MachineCodeOf(const u64* entry) {
  if (!state.mustInterpret.empty() && state.mustInterpret.contains(entry)) return nullptr;
  auto [at, fresh] = state.machineCode.try_emplace(entry, nullptr);
  if (fresh) at->second = state.translator->translate(entry);
  return at->second;
}

void DropMachineCode(const u8* code, std::int32_t size) {
  const auto* first = reinterpret_cast<const u64*>(code);
  const auto* end = reinterpret_cast<const u64*>(code + size);
  std::erase_if(state.marks, [&](const auto& m) { return m.first >= first && m.first < end; });
  if (state.translator == nullptr) return;
  std::erase_if(state.machineCode, [&](const auto& entry) {
    if (entry.first < first || entry.first >= end) return false;
    if (entry.second != nullptr) state.translator->release(entry.second);
    return true;
  });
}

// Leaves translated code for the innermost entry into it, which passes state.machineError on.
[[noreturn]] void LeaveMachine() { std::longjmp(*state.machineJump, 1); }

void BuildReport(const std::string& message);

// The report of a trap is made where the frames are still all there.
void Reported(const std::string& message) {
  if (state.reported) return;
  BuildReport(message);
  state.reported = true;
}

// Runs translated code; what left it by LeaveMachine goes on as the exception it was.
u64* RunMachine(Machine::Code code, u64* fp) {
  std::jmp_buf jump;
  std::jmp_buf* const outer = state.machineJump;
  if (setjmp(jump) != 0) {
    state.machineJump = outer;
    const std::exception_ptr error = std::exchange(state.machineError, nullptr);
    try {
      std::rethrow_exception(error);
    } catch (const TrapSignal& t) {
      Reported(t.message);
      throw;
    }
  }
  state.machineJump = &jump;
  u64* const end = code(fp);
  state.machineJump = outer;
  return end;
}

inline double R(u64 bits) { return std::bit_cast<double>(bits); }
inline u64 Bits(double d) { return std::bit_cast<u64>(d); }

// a DIV b, a MOD b (Euclidean: 0 <= remainder < |b|) or a / b, a REM b (truncated) for b #
// 0, into out; false when the quotient does not fit (wide: 64 bits, else 32).
inline bool Divide(i64 a, i64 b, bool remainder, bool euclidean, bool wide, u64& out) {
  if (wide && b == -1) {
    // The one quotient that does not fit, and a remainder that is always 0.
    if (remainder) {
      out = 0;
      return true;
    }
    if (a == INT64_MIN) return false;
    out = static_cast<u64>(-a);
    return true;
  }
  const auto [q, r] =
      euclidean ? base::EuclidDivMod(a, b) : base::QuotientRemainder<i64>{a / b, a % b};
  if (remainder) {
    out = static_cast<u64>(r);
    return true;
  }
  if (!wide && q > INT32_MAX) return false;
  out = static_cast<u64>(q);
  return true;
}

// The set {low..high} into out; false when the range is not empty and leaves 0..63.
inline bool SetOfRange(i64 low, i64 high, u64& out) {
  if (low > high) {
    out = 0;
    return true;
  }
  if (low < 0 || high >= 64) return false;
  const u64 upTo = high == 63 ? ~u64{0} : (u64{1} << (high + 1)) - 1;
  out = upTo & ~((u64{1} << low) - 1);
  return true;
}

// TRUNC(d) by op (TRUNCI, TRUNCU, TRUNCL, TRUNCUL) into out; false when it does not fit.
inline bool Truncate(Op op, double d, u64& out) {
  switch (op) {
  case Op::TRUNCI:
    if (!(d > -2147483649.0 && d < 2147483648.0)) return false;
    out = static_cast<u64>(static_cast<i64>(d));
    return true;
  case Op::TRUNCU:
    if (!(d > -1.0 && d < 4294967296.0)) return false;
    out = static_cast<u64>(static_cast<u32>(d));
    return true;
  case Op::TRUNCL:
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return false;
    out = static_cast<u64>(static_cast<i64>(d));
    return true;
  default:
    if (!(d > -1.0 && d < 18446744073709551616.0)) return false;
    out = static_cast<u64>(d);
    return true;
  }
}

// Entry i of a table; the tables of the program's own modules need not be aligned.
inline u64 TableWord(u64 table, u64 i) {
  u64 w;
  std::memcpy(&w, reinterpret_cast<const void*>(table + i * 8), sizeof w);
  return w;
}

// The start of the variables of the module whose table is at table: for compiled code V
// bytes before the descriptor (V from the code's header word, just before the body);
// for a module of the program the block it keeps for them.
u64 VariablesOf(u64 table) {
  u16 flags;
  std::memcpy(&flags, reinterpret_cast<const void*>(table + kFlagOffset), sizeof flags);
  if (flags & kNativeFlag) {
    char name[17] = {};
    std::memcpy(name, reinterpret_cast<const char*>(table - kDescriptorSize + 4), 16);
    return reinterpret_cast<u64>(Native::Variables(name));
  }
  const u64 header = CodeOf(reinterpret_cast<const u64*>(TableWord(table, 0)))[1];
  const u64 variables = table - kDescriptorSize - ((header >> 32) & 0xFFFF);
  if (((header >> 48) & kExternalData) != 0) return *reinterpret_cast<const u64*>(variables);
  return variables;
}

#if VM_GUARD_SIGNALS
// Whether every page of [address, address + size) can be read: one byte of each is read
// under the guard. The signal mask is not saved: the handler runs with the signal
// unblocked (SA_NODEFER), so jumping out of it leaves the mask as it was.
bool PagesReadable(u64 address, u64 size) {
  if (address == 0 || address + size < address) return false;
  // The main process's frames and value copies are mapped as a whole: most addresses a
  // program hands over (its locals) lie there, and need no reading.
  const auto inside = [&](const void* first, std::size_t bytes) {
    const auto start = reinterpret_cast<u64>(first);
    return address >= start && address + size <= start + bytes;
  };
  if (state.mapping != nullptr &&
      (inside(state.mapping + kGuardBytes, kFrameBytes) || inside(state.copyRegion, kCopyBytes)))
    return true;
  sigjmp_buf jump;
  sigjmp_buf* const outer = state.jump;
  if (sigsetjmp(jump, 0) != 0) {
    state.jump = outer;
    return false;
  }
  state.jump = &jump;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  constexpr u64 kPage = 4096;
  const u64 last = address + (size > 0 ? size - 1 : 0);
  for (u64 at = address; at <= last && at >= address; at = (at & ~(kPage - 1)) + kPage)
    static_cast<void>(*reinterpret_cast<const volatile u8*>(at));
  static_cast<void>(*reinterpret_cast<const volatile u8*>(last));
  std::atomic_signal_fence(std::memory_order_seq_cst);
  state.jump = outer;
  return true;
}

// The addresses a native procedure is handed (VAR and structured parameters, open
// arrays) are the program's: a wild one is its "invalid address", found before the
// native runs without the guard.
void CheckNativeAddresses(const Native::Procedure* p, const u64* args, const u64* pc, u64* fp) {
  std::int32_t w = 0;
  for (const char* k = p->kinds; *k != 0 && *k != ':'; ++k) {
    bool good = true;
    if (*k == 'a' || *k == 'A') {
      good = PagesReadable(args[w], args[w + 1] + 1);
      w += 2;
    } else {
      if (*k == 'V' || *k == 's') good = PagesReadable(args[w], 1);
      ++w;
    }
    if (!good) Raise(TrapCode::InvalidAddress, pc, fp);
  }
}
#endif

// Runs a native procedure with the guard against wild addresses disarmed: a fault in the
// workstation's own code is not the program's "invalid address", and must not be caught
// as one (that would hide it and go on with the workstation's state broken). Compiled
// code the native calls back arms it again for itself; a trap or the end of the run
// leaves through the entry that armed it, which restores its own.
inline void RunNative(const Native::Procedure* p, Native::Call& call, const u64* pc, u64* fp) {
#if VM_GUARD_SIGNALS
  if (p->kinds != nullptr) CheckNativeAddresses(p, call.args, pc, fp);
  sigjmp_buf* const armed = state.jump;
  state.jump = nullptr;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  p->proc(call);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  state.jump = armed;
#else
  static_cast<void>(pc), static_cast<void>(fp);
  p->proc(call);
#endif
}

// Calls a native procedure with the words from slot a of the frame; the result into
// slot a.
inline void CallNative(const Native::Procedure* p, const u64* pc, u64* fp, u64 a) {
  state.pc = pc;
  state.fp = fp;
  state.sp = fp + a + static_cast<u64>(p->words > 0 ? p->words : 0);
  Native::Call call;
  call.args = fp + a;
  call.count = p->words;
  RunNative(p, call, pc, fp);
  fp[a] = call.result;
  if (__builtin_expect(!state.pendingEnd.empty(), 0)) Trap(std::exchange(state.pendingEnd, {}));
}

u16 Reached(const u64* pc, u64* fp);

// Runs compiled code from pc until EXIT. Called once with pc nullptr first: then it only
// computes where its handlers lie (Dispatch).
__attribute__((noinline)) void Interpret(const u64* pc, u64* fp, u8* gp) {
  if (pc == nullptr) {
    const void* labels[] = {
#define VM_LABEL(name, words, format, comment) &&L_##name,
        VM_INSTRUCTIONS(VM_LABEL)
#undef VM_LABEL
    };
#if VM_DIRECT_THREADING
    const char* low =
        std::min(static_cast<const char*>(&&L_BAD), static_cast<const char*>(&&L_MARK));
    const char* high =
        std::max(static_cast<const char*>(&&L_BAD), static_cast<const char*>(&&L_MARK));
    for (const void* l : labels) {
      low = std::min(low, static_cast<const char*>(l));
      high = std::max(high, static_cast<const char*>(l));
    }
    dispatch.base = low - 256;
    if (high - dispatch.base > 0xFFFF) {
      std::fprintf(stderr, "velmarin: the machine's handlers do not fit its dispatch words\n");
      std::abort();
    }
    const auto offset = [](const void* l) {
      return static_cast<u16>(static_cast<const char*>(l) - dispatch.base);
    };
    for (u16& h : dispatch.handler) h = offset(&&L_BAD);
    for (int i = 0; i < kOpCount; ++i) dispatch.handler[i] = offset(labels[i]);
    dispatch.mark = offset(&&L_MARK);
#else
    for (int i = 0; i < 256; ++i) {
      dispatch.handler[i] = static_cast<u16>(i);
      dispatch.table[i] = i < kOpCount ? labels[i] : &&L_BAD;
    }
    dispatch.mark = 255;
    dispatch.table[255] = &&L_MARK;
#endif
    return;
  }
#if VM_DIRECT_THREADING
  const char* const base = dispatch.base;
#else
  const void* const* const handlers = dispatch.table;
#endif
  u64* limit = FrameLimit();
  std::int32_t budget = state.pollEvery;
  bool remainder;
  u64 w;

#define A_ ((w >> 16) & 0xFFFF)
#define B_ ((w >> 32) & 0xFFFF)
#define C_ (w >> 48)
#define SB_ (static_cast<i64>(static_cast<i16>(w >> 32)))
#define SC_ (static_cast<i64>(static_cast<i16>(w >> 48)))
#define I_ (static_cast<i64>(static_cast<i32>(w >> 32)))
#if VM_DIRECT_THREADING
#define DISPATCH()                                                                                 \
  do {                                                                                             \
    w = *pc;                                                                                       \
    goto*(static_cast<const void*>(base + (w & 0xFFFF)));                                          \
  } while (0)
#else
#define DISPATCH()                                                                                 \
  do {                                                                                             \
    w = *pc;                                                                                       \
    goto* handlers[w & 0xFF];                                                                      \
  } while (0)
#endif
#define NEXT(n)                                                                                    \
  do {                                                                                             \
    pc += (n);                                                                                     \
    DISPATCH();                                                                                    \
  } while (0)
#define JUMP(off)                                                                                  \
  do {                                                                                             \
    pc += (off);                                                                                   \
    if (__builtin_expect(--budget <= 0, 0)) goto L_poll;                                           \
    DISPATCH();                                                                                    \
  } while (0)
#define TRAP(code) Raise(TrapCode::code, pc, fp)
#define CHECK(cond, code)                                                                          \
  do {                                                                                             \
    if (__builtin_expect(!(cond), 0)) TRAP(code);                                                  \
  } while (0)
#define ADDR_B (fp[B_] + static_cast<u64>(SC_))
#define GLOBAL (gp + I_)

  DISPATCH();

L_poll:
  budget = state.pollEvery;
  state.pc = pc;
  state.fp = fp;
  if (Poll()) TRAP(Interrupted);
  DISPATCH();

L_BAD:
  TRAP(BadInstruction);

  // A word the debugger marked: the run may stop here; then the instruction goes on.
L_MARK : {
  state.pc = pc;
  state.fp = fp;
  const u16 original = Reached(pc, fp);
#if VM_DIRECT_THREADING
  goto*(static_cast<const void*>(base + original));
#else
  goto* handlers[original & 0xFF];
#endif
}

  // Moves and constants
L_NOP:
  NEXT(1);
L_MOV:
  fp[A_] = fp[B_];
  NEXT(1);
L_LDI:
  fp[A_] = static_cast<u64>(I_);
  NEXT(1);
L_LDK:
  fp[A_] = pc[I_];
  NEXT(1);
L_LDCA:
  fp[A_] = reinterpret_cast<u64>(pc + I_);
  NEXT(1);
L_LDGA:
  fp[A_] = reinterpret_cast<u64>(GLOBAL);
  NEXT(1);
L_LDLA:
  fp[A_] = reinterpret_cast<u64>(fp + B_);
  NEXT(1);
L_LDLAK:
  fp[A_] = reinterpret_cast<u64>(fp) + static_cast<u64>(I_);
  NEXT(1);
L_ADDAX:
  fp[A_] = fp[B_] + pc[1];
  NEXT(2);
L_LDIA : {
  const u64 table = TableWord(reinterpret_cast<u64>(gp), B_);
  CHECK(table != 0, NotLoaded);
  state.pc = pc;
  fp[A_] = VariablesOf(table) + pc[1];
  NEXT(2);
}
L_SX32:
  fp[A_] = static_cast<u64>(static_cast<i64>(static_cast<i32>(fp[B_])));
  NEXT(1);
L_ZX32:
  fp[A_] = static_cast<u32>(fp[B_]);
  NEXT(1);
L_ZX16:
  fp[A_] = static_cast<u16>(fp[B_]);
  NEXT(1);
L_ZX8:
  fp[A_] = static_cast<u8>(fp[B_]);
  NEXT(1);

  // Loads and stores through addresses
#define LOAD(T, EXT)                                                                               \
  {                                                                                                \
    state.pc = pc;                                                                                 \
    T v;                                                                                           \
    std::memcpy(&v, reinterpret_cast<const void*>(ADDR_B), sizeof v);                              \
    fp[A_] = static_cast<u64>(static_cast<EXT>(v));                                                \
    NEXT(1);                                                                                       \
  }
#define STORE(T)                                                                                   \
  {                                                                                                \
    state.pc = pc;                                                                                 \
    const T v = static_cast<T>(fp[A_]);                                                            \
    std::memcpy(reinterpret_cast<void*>(ADDR_B), &v, sizeof v);                                    \
    NEXT(1);                                                                                       \
  }
L_LD8:
  LOAD(u8, u64)
L_LD16:
  LOAD(u16, u64)
L_LD32:
  LOAD(i32, i64)
L_LD32U:
  LOAD(u32, u64)
L_LD64:
  LOAD(u64, u64)
L_ST8:
  STORE(u8)
L_ST16:
  STORE(u16)
L_ST32:
  STORE(u32)
L_ST64:
  STORE(u64)
#undef LOAD
#undef STORE

  // Module variables
#define GLOAD(T, EXT)                                                                              \
  {                                                                                                \
    T v;                                                                                           \
    std::memcpy(&v, GLOBAL, sizeof v);                                                             \
    fp[A_] = static_cast<u64>(static_cast<EXT>(v));                                                \
    NEXT(1);                                                                                       \
  }
#define GSTORE(T)                                                                                  \
  {                                                                                                \
    const T v = static_cast<T>(fp[A_]);                                                            \
    std::memcpy(GLOBAL, &v, sizeof v);                                                             \
    NEXT(1);                                                                                       \
  }
L_LDG8:
  GLOAD(u8, u64)
L_LDG16:
  GLOAD(u16, u64)
L_LDG32:
  GLOAD(i32, i64)
L_LDG32U:
  GLOAD(u32, u64)
L_LDG64:
  GLOAD(u64, u64)
L_STG8:
  GSTORE(u8)
L_STG16:
  GSTORE(u16)
L_STG32:
  GSTORE(u32)
L_STG64:
  GSTORE(u64)
#undef GLOAD
#undef GSTORE

  // Array elements, checked against the bounds of the extension word
#define ELEMENT(T)                                                                                 \
  const u64 ext = pc[1];                                                                           \
  const u64 index = fp[C_] - static_cast<u64>(static_cast<i64>(static_cast<i32>(ext)));            \
  CHECK(index < (ext >> 32), Index);                                                               \
  state.pc = pc;                                                                                   \
  void* at = reinterpret_cast<void*>(fp[B_] + index * sizeof(T));
#define XLOAD(T, EXT)                                                                              \
  {                                                                                                \
    ELEMENT(T)                                                                                     \
    T v;                                                                                           \
    std::memcpy(&v, at, sizeof v);                                                                 \
    fp[A_] = static_cast<u64>(static_cast<EXT>(v));                                                \
    NEXT(2);                                                                                       \
  }
#define XSTORE(T)                                                                                  \
  {                                                                                                \
    ELEMENT(T)                                                                                     \
    const T v = static_cast<T>(fp[A_]);                                                            \
    std::memcpy(at, &v, sizeof v);                                                                 \
    NEXT(2);                                                                                       \
  }
L_LDX8:
  XLOAD(u8, u64)
L_LDX16:
  XLOAD(u16, u64)
L_LDX32:
  XLOAD(i32, i64)
L_LDX32U:
  XLOAD(u32, u64)
L_LDX64:
  XLOAD(u64, u64)
L_STX8:
  XSTORE(u8)
L_STX16:
  XSTORE(u16)
L_STX32:
  XSTORE(u32)
L_STX64:
  XSTORE(u64)
#undef XLOAD
#undef XSTORE
#undef ELEMENT
L_IDX : {
  const u64 ext = pc[1];
  const u64 index = fp[C_] - static_cast<u64>(static_cast<i64>(static_cast<i32>(ext)));
  CHECK(index < (ext >> 32), Index);
  fp[A_] = fp[B_] + index * pc[2];
  NEXT(3);
}

// Open arrays
#define OELEMENT(T)                                                                                \
  const u64 index = fp[C_];                                                                        \
  CHECK(index <= fp[B_ + 1], Index);                                                               \
  state.pc = pc;                                                                                   \
  void* at = reinterpret_cast<void*>(fp[B_] + index * sizeof(T));
#define OLOAD(T, EXT)                                                                              \
  {                                                                                                \
    OELEMENT(T)                                                                                    \
    T v;                                                                                           \
    std::memcpy(&v, at, sizeof v);                                                                 \
    fp[A_] = static_cast<u64>(static_cast<EXT>(v));                                                \
    NEXT(1);                                                                                       \
  }
#define OSTORE(T)                                                                                  \
  {                                                                                                \
    OELEMENT(T)                                                                                    \
    const T v = static_cast<T>(fp[A_]);                                                            \
    std::memcpy(at, &v, sizeof v);                                                                 \
    NEXT(1);                                                                                       \
  }
L_LDO8:
  OLOAD(u8, u64)
L_LDO16:
  OLOAD(u16, u64)
L_LDO32:
  OLOAD(i32, i64)
L_LDO32U:
  OLOAD(u32, u64)
L_LDO64:
  OLOAD(u64, u64)
L_STO8:
  OSTORE(u8)
L_STO16:
  OSTORE(u16)
L_STO32:
  OSTORE(u32)
L_STO64:
  OSTORE(u64)
#undef OLOAD
#undef OSTORE
#undef OELEMENT
L_IDXO : {
  const u64 index = fp[C_];
  CHECK(index <= fp[B_ + 1], Index);
  fp[A_] = fp[B_] + index * pc[1];
  NEXT(2);
}

  // Blocks
L_COPY:
  state.pc = pc;
  std::memmove(reinterpret_cast<void*>(fp[A_]), reinterpret_cast<const void*>(fp[B_]), C_);
  NEXT(1);
L_COPYN:
  state.pc = pc;
  std::memmove(reinterpret_cast<void*>(fp[A_]), reinterpret_cast<const void*>(fp[B_]), fp[C_]);
  NEXT(1);
L_FILL0:
  state.pc = pc;
  std::memset(reinterpret_cast<void*>(fp[A_]), 0, C_);
  NEXT(1);

  // Integer arithmetic
#define ARITH(T, OP)                                                                               \
  {                                                                                                \
    T r;                                                                                           \
    CHECK(!OP(static_cast<T>(fp[B_]), static_cast<T>(fp[C_]), &r), Overflow);                      \
    fp[A_] = static_cast<u64>(r);                                                                  \
    NEXT(1);                                                                                       \
  }
L_ADDI:
  ARITH(i32, __builtin_add_overflow)
L_SUBI:
  ARITH(i32, __builtin_sub_overflow)
L_MULI:
  ARITH(i32, __builtin_mul_overflow)
L_ADDU:
  ARITH(u32, __builtin_add_overflow)
L_SUBU:
  ARITH(u32, __builtin_sub_overflow)
L_MULU:
  ARITH(u32, __builtin_mul_overflow)
L_ADDL:
  ARITH(i64, __builtin_add_overflow)
L_SUBL:
  ARITH(i64, __builtin_sub_overflow)
L_MULL:
  ARITH(i64, __builtin_mul_overflow)
L_ADDUL:
  ARITH(u64, __builtin_add_overflow)
L_SUBUL:
  ARITH(u64, __builtin_sub_overflow)
L_MULUL:
  ARITH(u64, __builtin_mul_overflow)
#undef ARITH
// DIV and MOD are Euclidean, / and REM truncate; the rest is alike.
L_DIVI:
L_MODI:
L_QUOI:
L_REMI:
L_DIVL:
L_MODL:
L_QUOL:
L_REML : {
  const Op op = static_cast<Op>(opOfHandler[w & 0xFFFF]);
  const bool wide = op == Op::DIVL || op == Op::MODL || op == Op::QUOL || op == Op::REML;
  const i64 a = wide ? static_cast<i64>(fp[B_]) : static_cast<i32>(fp[B_]);
  const i64 b = wide ? static_cast<i64>(fp[C_]) : static_cast<i32>(fp[C_]);
  CHECK(b != 0, DivisionByZero);
  CHECK(Divide(a, b, op == Op::MODI || op == Op::REMI || op == Op::MODL || op == Op::REML,
               op == Op::DIVI || op == Op::MODI || op == Op::DIVL || op == Op::MODL, wide, fp[A_]),
        Overflow);
  NEXT(1);
}
L_DIVU:
  remainder = false;
  goto divu;
L_MODU:
  remainder = true;
divu : {
  const u32 a = static_cast<u32>(fp[B_]), b = static_cast<u32>(fp[C_]);
  CHECK(b != 0, DivisionByZero);
  fp[A_] = remainder ? a % b : a / b;
  NEXT(1);
}
L_DIVUL:
  remainder = false;
  goto divul;
L_MODUL:
  remainder = true;
divul : {
  const u64 a = fp[B_], b = fp[C_];
  CHECK(b != 0, DivisionByZero);
  fp[A_] = remainder ? a % b : a / b;
  NEXT(1);
}
L_ADDIK : {
  i32 r;
  CHECK(!__builtin_add_overflow(static_cast<i32>(fp[B_]), static_cast<i32>(SC_), &r), Overflow);
  fp[A_] = static_cast<u64>(static_cast<i64>(r));
  NEXT(1);
}
L_ADDUK : {
  const i64 r = static_cast<i64>(static_cast<u32>(fp[B_])) + SC_;
  CHECK(r >= 0 && r <= static_cast<i64>(UINT32_MAX), Overflow);
  fp[A_] = static_cast<u64>(r);
  NEXT(1);
}
L_ADDLK : {
  i64 r;
  CHECK(!__builtin_add_overflow(static_cast<i64>(fp[B_]), SC_, &r), Overflow);
  fp[A_] = static_cast<u64>(r);
  NEXT(1);
}
L_ADDULK : {
  const u64 a = fp[B_];
  const i64 k = SC_;
  if (k >= 0) {
    CHECK(a + static_cast<u64>(k) >= a, Overflow);
  } else {
    CHECK(a >= static_cast<u64>(-k), Overflow);
  }
  fp[A_] = a + static_cast<u64>(k);
  NEXT(1);
}
L_NEGI : {
  const i32 a = static_cast<i32>(fp[B_]);
  CHECK(a != INT32_MIN, Overflow);
  fp[A_] = static_cast<u64>(-static_cast<i64>(a));
  NEXT(1);
}
L_NEGL : {
  const i64 a = static_cast<i64>(fp[B_]);
  CHECK(a != INT64_MIN, Overflow);
  fp[A_] = static_cast<u64>(-a);
  NEXT(1);
}
L_ABSI : {
  const i32 a = static_cast<i32>(fp[B_]);
  CHECK(a != INT32_MIN, Overflow);
  fp[A_] = static_cast<u64>(static_cast<i64>(a < 0 ? -a : a));
  NEXT(1);
}
L_ABSL : {
  const i64 a = static_cast<i64>(fp[B_]);
  CHECK(a != INT64_MIN, Overflow);
  fp[A_] = static_cast<u64>(a < 0 ? -a : a);
  NEXT(1);
}

  // Address arithmetic
L_ADDA:
  fp[A_] = fp[B_] + fp[C_];
  NEXT(1);
L_SUBA:
  fp[A_] = fp[B_] - fp[C_];
  NEXT(1);
L_MULA:
  fp[A_] = fp[B_] * fp[C_];
  NEXT(1);
L_ADDAK:
  fp[A_] = fp[B_] + static_cast<u64>(SC_);
  NEXT(1);

  // Bits and sets
L_AND:
  fp[A_] = fp[B_] & fp[C_];
  NEXT(1);
L_OR:
  fp[A_] = fp[B_] | fp[C_];
  NEXT(1);
L_XOR:
  fp[A_] = fp[B_] ^ fp[C_];
  NEXT(1);
L_ANDN:
  fp[A_] = fp[B_] & ~fp[C_];
  NEXT(1);
L_NOT:
  fp[A_] = fp[B_] ^ 1;
  NEXT(1);
L_BIT:
  CHECK(fp[B_] < 64, Range);
  fp[A_] = u64{1} << fp[B_];
  NEXT(1);
L_BITS:
  CHECK(SetOfRange(static_cast<i64>(fp[B_]), static_cast<i64>(fp[C_]), fp[A_]), Range);
  NEXT(1);
L_INB:
  fp[A_] = fp[B_] < 64 ? (fp[C_] >> fp[B_]) & 1 : 0;
  NEXT(1);
L_SHL:
  fp[A_] = fp[C_] < 64 ? fp[B_] << fp[C_] : 0;
  NEXT(1);
L_SHR:
  fp[A_] = fp[C_] < 64 ? fp[B_] >> fp[C_] : 0;
  NEXT(1);
L_ODD:
  fp[A_] = fp[B_] & 1;
  NEXT(1);
L_CAP:
  fp[A_] = static_cast<unsigned char>(Charset::Upper(static_cast<char>(fp[B_] & 0xFF)));
  NEXT(1);

  // Reals
L_ADDR:
  fp[A_] = Bits(R(fp[B_]) + R(fp[C_]));
  NEXT(1);
L_SUBR:
  fp[A_] = Bits(R(fp[B_]) - R(fp[C_]));
  NEXT(1);
L_MULR:
  fp[A_] = Bits(R(fp[B_]) * R(fp[C_]));
  NEXT(1);
L_DIVR:
  CHECK(R(fp[C_]) != 0.0, DivisionByZero);
  fp[A_] = Bits(R(fp[B_]) / R(fp[C_]));
  NEXT(1);
L_NEGR:
  fp[A_] = fp[B_] ^ (u64{1} << 63);
  NEXT(1);
L_ABSR:
  fp[A_] = fp[B_] & ~(u64{1} << 63);
  NEXT(1);
L_FLOATI:
  fp[A_] = Bits(static_cast<double>(static_cast<i32>(fp[B_])));
  NEXT(1);
L_FLOATU:
  fp[A_] = Bits(static_cast<double>(static_cast<u32>(fp[B_])));
  NEXT(1);
L_FLOATL:
  fp[A_] = Bits(static_cast<double>(static_cast<i64>(fp[B_])));
  NEXT(1);
L_FLOATUL:
  fp[A_] = Bits(static_cast<double>(fp[B_]));
  NEXT(1);
L_TRUNCI:
L_TRUNCU:
L_TRUNCL:
L_TRUNCUL:
  CHECK(Truncate(static_cast<Op>(opOfHandler[w & 0xFFFF]), R(fp[B_]), fp[A_]), Overflow);
  NEXT(1);

  // Comparisons
L_SEQ:
  fp[A_] = fp[B_] == fp[C_];
  NEXT(1);
L_SNE:
  fp[A_] = fp[B_] != fp[C_];
  NEXT(1);
L_SLT:
  fp[A_] = static_cast<i64>(fp[B_]) < static_cast<i64>(fp[C_]);
  NEXT(1);
L_SLE:
  fp[A_] = static_cast<i64>(fp[B_]) <= static_cast<i64>(fp[C_]);
  NEXT(1);
L_SLTU:
  fp[A_] = fp[B_] < fp[C_];
  NEXT(1);
L_SLEU:
  fp[A_] = fp[B_] <= fp[C_];
  NEXT(1);
L_SEQR:
  fp[A_] = R(fp[B_]) == R(fp[C_]);
  NEXT(1);
L_SNER:
  fp[A_] = R(fp[B_]) != R(fp[C_]);
  NEXT(1);
L_SLTR:
  fp[A_] = R(fp[B_]) < R(fp[C_]);
  NEXT(1);
L_SLER:
  fp[A_] = R(fp[B_]) <= R(fp[C_]);
  NEXT(1);

  // Branches
#define BRANCH(cond, off)                                                                          \
  do {                                                                                             \
    if (cond) JUMP(off);                                                                           \
    NEXT(1);                                                                                       \
  } while (0)
L_JMP:
  JUMP(I_);
L_BT:
  BRANCH(fp[A_] != 0, I_);
L_BF:
  BRANCH(fp[A_] == 0, I_);
L_BEQ:
  BRANCH(fp[A_] == fp[B_], SC_);
L_BNE:
  BRANCH(fp[A_] != fp[B_], SC_);
L_BLT:
  BRANCH(static_cast<i64>(fp[A_]) < static_cast<i64>(fp[B_]), SC_);
L_BLE:
  BRANCH(static_cast<i64>(fp[A_]) <= static_cast<i64>(fp[B_]), SC_);
L_BLTU:
  BRANCH(fp[A_] < fp[B_], SC_);
L_BLEU:
  BRANCH(fp[A_] <= fp[B_], SC_);
L_BEQK:
  BRANCH(static_cast<i64>(fp[A_]) == SB_, SC_);
L_BNEK:
  BRANCH(static_cast<i64>(fp[A_]) != SB_, SC_);
L_BLTK:
  BRANCH(static_cast<i64>(fp[A_]) < SB_, SC_);
L_BLEK:
  BRANCH(static_cast<i64>(fp[A_]) <= SB_, SC_);
L_BGTK:
  BRANCH(static_cast<i64>(fp[A_]) > SB_, SC_);
L_BGEK:
  BRANCH(static_cast<i64>(fp[A_]) >= SB_, SC_);
L_BEQR:
  BRANCH(R(fp[A_]) == R(fp[B_]), SC_);
L_BNER:
  BRANCH(R(fp[A_]) != R(fp[B_]), SC_);
L_BLTR:
  BRANCH(R(fp[A_]) < R(fp[B_]), SC_);
L_BLER:
  BRANCH(R(fp[A_]) <= R(fp[B_]), SC_);
L_BNLTR:
  BRANCH(!(R(fp[A_]) < R(fp[B_])), SC_);
L_BNLER:
  BRANCH(!(R(fp[A_]) <= R(fp[B_])), SC_);
#undef BRANCH
L_FORUP:
  if (static_cast<i64>(fp[A_]) < static_cast<i64>(fp[B_])) {
    fp[A_] += 1;
    JUMP(SC_);
  }
  NEXT(1);
L_FORDN:
  if (static_cast<i64>(fp[A_]) > static_cast<i64>(fp[B_])) {
    fp[A_] -= 1;
    JUMP(SC_);
  }
  NEXT(1);
L_JTAB : {
  const u64* table = pc + I_;
  const u64 index = fp[A_] - table[0];
  JUMP(static_cast<i64>(index < table[1] ? table[3 + index] : table[2]));
}

  // Calls
L_ENTER : {
  if (state.translator != nullptr && !state.interpretOnly && state.processes.empty() &&
      HostRoom()) {
    if (const Machine::Code code = MachineCodeOf(pc)) {
      state.pc = pc;
      state.fp = fp;
      fp = RunMachine(code, fp);
      goto L_RET;
    }
  }
  const u64 slots = pc[1] & 0xFFFF, memory = pc[1] >> 32;
  CHECK(slots + memory <= static_cast<u64>(limit - fp), StackOverflow);
  const u64 first = C_ & 0x7FFF, temps = A_;
  if (__builtin_expect(memory != 0, 0)) fp = LiftFrame(fp, memory, first);
  for (u64 i = first; i < temps; ++i) fp[i] = 0;
  NEXT(2);
}
#define LINK(at)                                                                                   \
  u64* const callee = fp + (at);                                                                   \
  callee[-3] = reinterpret_cast<u64>(gp);                                                          \
  callee[-2] = reinterpret_cast<u64>(fp);                                                          \
  callee[-1] = reinterpret_cast<u64>(pc + 1);                                                      \
  fp = callee;                                                                                     \
  state.fp = fp;
L_CALL : {
  LINK(A_)
  pc += I_;
  if (__builtin_expect(--budget <= 0, 0)) goto L_poll;
  // A call lands on ENTER (the check of the code saw to that): no dispatch needed.
  w = *pc;
  goto L_ENTER;
}
L_CALLX : {
  const u64 table = TableWord(reinterpret_cast<u64>(gp), B_);
  CHECK(table != 0, NotLoaded);
  const u64 entry = TableWord(table, C_);
  u16 flags;
  std::memcpy(&flags, reinterpret_cast<const void*>(table + kFlagOffset), sizeof flags);
  if (flags & kNativeFlag) {
    CallNative(reinterpret_cast<const Native::Procedure*>(entry), pc, fp, A_);
    NEXT(1);
  }
  state.pc = pc;
  CHECK(Runnable(entry), BadInstruction);
  LINK(A_)
  gp = reinterpret_cast<u8*>(table);
  pc = reinterpret_cast<const u64*>(entry);
  if (__builtin_expect(--budget <= 0, 0)) goto L_poll;
  DISPATCH();
}
L_CALLP : {
  const u64 value = fp[B_];
  CHECK(value != 0, NilProcedure);
  CHECK(Machine::Addressable(value), BadProcedure);
  state.pc = pc;
  if ((value & 7) == 0 && IsEntryWord(*reinterpret_cast<const u64*>(value))) {
    CHECK(Runnable(value), BadInstruction);
    const u64* entry = reinterpret_cast<const u64*>(value);
    const u64 table = *CodeOf(entry);
    LINK(A_)
    gp = reinterpret_cast<u8*>(table);
    pc = entry;
    if (__builtin_expect(--budget <= 0, 0)) goto L_poll;
    DISPATCH();
  }
  const Native::Procedure* p = Native::ProcedureOf(value);
  CHECK(p != nullptr, BadProcedure);
  CallNative(p, pc, fp, A_);
  NEXT(1);
}
#undef LINK
L_RETV:
  fp[0] = fp[A_];
  goto L_RET;
L_RETVS : {
  const u64 value = fp[A_];
  u64* const home = fp - pc[1];
  pc = reinterpret_cast<const u64*>(fp[-1]);
  gp = reinterpret_cast<u8*>(fp[-3]);
  fp = reinterpret_cast<u64*>(fp[-2]);
  state.fp = fp;
  home[0] = value;
  DISPATCH();
}
L_RET:
  pc = reinterpret_cast<const u64*>(fp[-1]);
  gp = reinterpret_cast<u8*>(fp[-3]);
  fp = reinterpret_cast<u64*>(fp[-2]);
  state.fp = fp;
  DISPATCH();
L_INIT : {
  u16 flags;
  std::memcpy(&flags, gp + kFlagOffset, sizeof flags);
  if (flags & kBodyRan) goto L_RET;
  flags |= kBodyRan;
  std::memcpy(gp + kFlagOffset, &flags, sizeof flags);
  NEXT(1);
}
L_EXIT:
  return;
L_SYS:
  state.pc = pc;
  Sys(B_, fp + A_, pc, fp);
  NEXT(1);
L_DYNSAVE:
  fp[A_] = reinterpret_cast<u64>(state.copyTop);
  NEXT(1);
L_DYNCOPY : {
  const u64 size = (fp[A_ + 1] + 1) * B_;
  const u64 rounded = (size + 15) & ~u64{15};
  CHECK(rounded <= static_cast<u64>(state.copiesEnd - state.copyTop), StackOverflow);
  state.pc = pc;
  std::memcpy(state.copyTop, reinterpret_cast<const void*>(fp[A_]), size);
  fp[A_] = reinterpret_cast<u64>(state.copyTop);
  state.copyTop += rounded;
  NEXT(1);
}
L_DYNREST:
  state.copyTop = reinterpret_cast<u8*>(fp[A_]);
  NEXT(1);

  // Checks and traps
L_CHK : {
  const u64* pair = pc + I_;
  const i64 v = static_cast<i64>(fp[A_]);
  CHECK(v >= static_cast<i64>(pair[0]) && v <= static_cast<i64>(pair[1]), Range);
  NEXT(1);
}
L_CHKU : {
  const u64* pair = pc + I_;
  CHECK(fp[A_] >= pair[0] && fp[A_] <= pair[1], Range);
  NEXT(1);
}
L_CHKK : {
  const i64 v = static_cast<i64>(fp[A_]);
  CHECK(v >= SB_ && v <= SC_, Range);
  NEXT(1);
}
L_CHKPTR : {
  const u64 p = fp[A_];
  CHECK(p != 0, Nil);
  CHECK(Machine::Addressable(p), InvalidAddress);
  state.pc = pc;
  CHECK((p & 15) != 0 || Heap::StateAt(p) != Heap::BlockState::Freed, Disposed);
  NEXT(1);
}
L_TRAP : {
  const u64 code = A_;
  Raise(code < static_cast<u64>(TrapCode::Count) ? static_cast<TrapCode>(code)
                                                 : TrapCode::BadInstruction,
        pc, fp);
}

  // Processes
L_TRANSFER : {
  state.pc = pc;
  state.fp = fp;
  const Resume r = Transfer(fp[A_], fp[A_ + 1], pc, fp, gp);
  pc = r.pc, fp = r.fp, gp = r.gp;
  state.fp = fp;
  limit = FrameLimit();
  if (__builtin_expect(--budget <= 0, 0)) goto L_poll;
  DISPATCH();
}
L_PEND:
  throw ProgramEnd{};

#undef A_
#undef B_
#undef C_
#undef SB_
#undef SC_
#undef I_
#undef DISPATCH
#undef NEXT
#undef JUMP
#undef TRAP
#undef CHECK
#undef ADDR_B
#undef GLOBAL
}

// ---- Reports ----

void ReadDebugInfo(Modules::Ref m, Object::DebugInfo& d) {
  const Modules::ModuleInfo info = Modules::Info(m);
  d.procedures.assign(static_cast<std::size_t>(info.procedureCount), std::string());
  const std::uint8_t* extra =
      info.table + static_cast<std::ptrdiff_t>(info.procedureCount + info.slotCount) * 8;
  const std::uint8_t* end = info.image + info.imageSize;
  if (extra < end) Object::DecodeDebugInfo(extra, static_cast<std::size_t>(end - extra), d);
}

Position Locate(Modules::Ref m, u64 address) {
  Position p;
  char name[17];
  Modules::Name(m, name);
  p.module = name;
  const Modules::ModuleInfo info = Modules::Info(m);
  // The procedure whose entry is the nearest at or before the address.
  std::int32_t best = -1;
  u64 bestEntry = 0;
  for (std::int32_t i = 0; i < info.procedureCount; ++i) {
    u64 entry;
    std::memcpy(&entry, info.table + i * 8, sizeof entry);
    if (entry <= address && entry >= bestEntry) best = i, bestEntry = entry;
  }
  Object::DebugInfo d;
  ReadDebugInfo(m, d);
  p.source = d.source;
  if (best > 0 && static_cast<std::size_t>(best) < d.procedures.size())
    p.procedure = d.procedures[best];
  p.line = Object::LineAt(d, static_cast<u32>((address - reinterpret_cast<u64>(info.code)) / 8));
  return p;
}

// The module of the library whose code holds address; nullptr when none does.
Modules::Ref ModuleAt(Buffer::Ref library, u64 address) {
  Modules::Ref found = nullptr;
  Modules::ForEach(library, [&](Modules::Ref m) {
    const Modules::ModuleInfo info = Modules::Info(m);
    const u64 code = reinterpret_cast<u64>(info.code);
    if (info.code != nullptr && address >= code && address < code + static_cast<u64>(info.codeSize))
      found = m;
  });
  return found;
}

Position Find(Buffer::Ref library, u64 address) {
  const Modules::Ref m = ModuleAt(library, address);
  return m != nullptr ? Locate(m, address) : Position{};
}

// " (the variable NAME was never assigned?)" when the instruction that overflowed or
// failed its range check had read from a module variable a value that is still what
// the module's start filled it with (every 16-bit word 8000H); otherwise "".
std::string Unassigned(const std::string& message) {
  if ((message != TrapText(TrapCode::Overflow) && message != TrapText(TrapCode::Range)) ||
      state.pc == nullptr || state.fp == nullptr)
    return "";
  const u64 at = reinterpret_cast<u64>(state.pc);
  const Modules::Ref m = ModuleAt(state.library, at);
  if (m == nullptr) return "";
  Object::DebugInfo d;
  ReadDebugInfo(m, d);
  const u64 word = (at - reinterpret_cast<u64>(Modules::Info(m).code)) / 8;
  for (const Object::VariableRead& r : d.reads) {
    if (r.word != word || state.fp + r.slot >= FrameLimit() + MarginSlots()) continue;
    const u64 v = state.fp[r.slot];
    if (r.size == 8 ? v == 0x8000800080008000ull : static_cast<u32>(v) == 0x80008000u)
      return " (the variable " + r.variable + " was never assigned?)";
  }
  return "";
}

bool SamePlace(const Position& a, const Position& b) {
  return a.line == b.line && a.procedure == b.procedure && a.module == b.module &&
         a.source == b.source;
}

// The frames from the instruction at pc in the frame at fp down to the first entry into
// the machine, innermost first (at most kMaxTrapFrames of them), and with calls the
// chain of their places, a run of calls from one place as one position with its repeats.
// top: pc is the instruction executing, not a return address.
void Walk(const u64* pc, u64* fp, bool top, std::vector<Debug::Frame>& frames,
          std::vector<Position>* calls) {
  std::size_t level = state.entries.size();
  std::unordered_map<u64, Position> known; // by code address: a recursion finds its place once
  // More frames than the stack holds cannot be: the bound only guards a broken chain.
  for (std::size_t guard = 0; guard < kFrameBytes / 8; ++guard) {
    if (pc == kProcessEndCode) break; // the bottom of a process
    if (pc == kExitCode || pc == nullptr || fp == nullptr) {
      // The frame was entered from native code: go on where that left compiled code.
      if (level == 0) break;
      --level;
      pc = state.entries[level].pc;
      fp = state.entries[level].fp;
      top = true;
      if (pc == nullptr || fp == nullptr) break;
      continue;
    }
    // A return address points after the call; the call's line is wanted.
    const u64 at = reinterpret_cast<u64>(pc) - (top ? 0 : 8);
    auto found = known.find(at);
    if (found == known.end()) {
      Position p = Find(state.library, at);
      if (p.module.empty()) p.module = "?";
      found = known.emplace(at, std::move(p)).first;
    }
    if (frames.size() < kMaxTrapFrames) {
      Debug::Frame f;
      f.pc = reinterpret_cast<const u64*>(at);
      f.fp = fp;
      f.module = ModuleAt(state.library, at);
      if (f.module != nullptr) {
        const Modules::ModuleInfo info = Modules::Info(f.module);
        f.table = reinterpret_cast<u64>(info.table);
        f.word = static_cast<std::uint32_t>((at - reinterpret_cast<u64>(info.code)) / 8);
      }
      f.where = found->second;
      frames.push_back(std::move(f));
    } else if (calls == nullptr) {
      break;
    }
    if (calls != nullptr) {
      if (calls->size() > 1 && SamePlace(calls->back(), found->second))
        ++calls->back().repeats;
      else
        calls->push_back(found->second);
    }
    pc = reinterpret_cast<const u64*>(fp[-1]);
    fp = reinterpret_cast<u64*>(fp[-2]);
    top = false;
  }
}

// The report of the trap at the machine's saved registers, and its frames.
void BuildReport(const std::string& message) {
  state.report = TrapReport{};
  state.report.message = message + Unassigned(message);
  state.lastTrap = Debug::Stop{};
  state.lastTrap.message = state.report.message;
  Walk(state.pc, state.fp, true, state.lastTrap.frames, &state.report.calls);
}

// ---- The debugger's marks ----

Buffer::Ref SystemLibrary();

// The libraries whose modules may hold marks: the run's and the system library.
template <typename Proc> void ForEachModule(Proc&& proc) {
  const auto each = [&](Modules::Ref m) {
    if (Modules::Info(m).code != nullptr) proc(m);
  };
  const Buffer::Ref system = SystemLibrary();
  if (state.library != nullptr) Modules::ForEach(state.library, each);
  if (system != nullptr && system != state.library) Modules::ForEach(system, each);
}

// The dispatch bits of a word of prepared code as they were before the debugger marked it.
u16 DispatchBits(const u64* word) {
  const u16 bits = static_cast<u16>(*word & 0xFFFF);
  if (bits != dispatch.mark) return bits;
  const auto found = state.marks.find(word);
  return found != state.marks.end() ? found->second.original : bits;
}

bool Prepared(const u64* code) {
  const u64 flags = code[1] >> 48;
  return (flags & kTranslated) != 0 && (flags & kRejected) == 0;
}

// The line starts of a module's code, each one an instruction's first word: a damaged
// line table never makes the debugger mark the middle of an instruction.
std::vector<Debug::LineStart> LineStarts(Modules::Ref m) {
  const Modules::ModuleInfo info = Modules::Info(m);
  const auto* code = reinterpret_cast<const u64*>(info.code);
  std::vector<Debug::LineStart> starts;
  if (code == nullptr || info.codeSize < kLargeHeaderWords * 8) return starts;
  const u64 header = code[1];
  const bool large = ((header >> 48) & kLargeCode) != 0;
  const u64 first = large ? kLargeHeaderWords : kHeaderWords;
  const u64 end = std::min<u64>(large ? code[2] >> 32 : (header >> 16) & 0xFFFF,
                                static_cast<u64>(info.codeSize) / 8);
  const bool prepared = Prepared(code);
  std::vector<bool> instruction(end, false);
  for (u64 at = first; at < end;) {
    const u16 bits = prepared ? DispatchBits(code + at) : static_cast<u16>(code[at] & 0xFFFF);
    const int op = prepared ? opOfHandler[bits] : bits;
    if (op >= kOpCount) break;
    instruction[at] = true;
    at += kOpWords[op];
  }
  std::vector<u64> entries;
  for (std::int32_t i = 0; i < info.procedureCount; ++i) {
    u64 entry;
    std::memcpy(&entry, info.table + i * 8, sizeof entry);
    entries.push_back((entry - reinterpret_cast<u64>(code)) / 8);
  }
  Object::DebugInfo d;
  ReadDebugInfo(m, d);
  for (std::size_t i = 0; i < d.lines.size(); ++i) {
    if (i > 0 && d.lines[i - 1].line == d.lines[i].line) continue;
    u64 word = d.lines[i].word;
    const u64 next = i + 1 < d.lines.size() ? d.lines[i + 1].word : end;
    if (word < end && instruction[word] && IsEntryWord(code[word])) word += 2;
    if (word >= end || word >= next || !instruction[word]) continue;
    Debug::LineStart s{static_cast<std::uint32_t>(word), d.lines[i].line, 0};
    for (std::size_t e = 0; e < entries.size(); ++e)
      if (entries[e] <= word && entries[e] >= entries[static_cast<std::size_t>(s.procedure)])
        s.procedure = static_cast<std::int32_t>(e);
    starts.push_back(s);
  }
  return starts;
}

// Whether file names module m: its source text's path, that path's last name, or the
// module's name (with ".mod" or without).
bool Names(const std::string& file, Modules::Ref m) {
  Object::DebugInfo d;
  ReadDebugInfo(m, d);
  char name[17];
  Modules::Name(m, name);
  const std::string last = d.source.substr(d.source.find_last_of('/') + 1);
  return !file.empty() &&
         (file == d.source || file == last || file == name || file == std::string(name) + ".mod");
}

// Marks word (its dispatch bits kept) and lets change say why.
template <typename Change> void SetMark(const u64* word, Change&& change) {
  auto [at, fresh] = state.marks.try_emplace(word);
  if (fresh) {
    at->second.original = static_cast<u16>(*word & 0xFFFF);
    *const_cast<u64*>(word) = (*word & ~u64{0xFFFF}) | dispatch.mark;
  }
  change(at->second);
}

// Takes away the marks that keep no reason (their words as they were).
void DropIdleMarks() {
  std::erase_if(state.marks, [](const auto& m) {
    if (m.second.breakpoint >= 0 || m.second.lineStart || m.second.returnPoint) return false;
    *const_cast<u64*>(m.first) = (*m.first & ~u64{0xFFFF}) | m.second.original;
    return true;
  });
}

void PlaceBreakpoints(Modules::Ref m) {
  const auto* code = reinterpret_cast<const u64*>(Modules::Info(m).code);
  if (!Prepared(code)) return;
  std::vector<Debug::LineStart> starts;
  for (std::size_t i = 0; i < state.breakpoints.size(); ++i) {
    if (!Names(state.breakpoints[i].file, m)) continue;
    if (starts.empty()) starts = LineStarts(m);
    if (const Debug::LineStart* s = Debug::PlaceLine(starts, state.breakpoints[i].line)) {
      SetMark(code + s->word, [&](Mark& mark) {
        if (mark.breakpoint < 0) mark.breakpoint = static_cast<std::int32_t>(i);
      });
    }
  }
}

void PlaceLineStarts(Modules::Ref m) {
  const auto* code = reinterpret_cast<const u64*>(Modules::Info(m).code);
  if (!Prepared(code)) return;
  for (const Debug::LineStart& s : LineStarts(m))
    SetMark(code + s.word, [](Mark& mark) { mark.lineStart = true; });
}

void FindMustInterpret();

void MarkPrepared(const u64* code) {
  if (state.breakpoints.empty() && state.step.kind == Debug::Resume::Continue) return;
  if (!state.breakpoints.empty()) FindMustInterpret();
  ForEachModule([&](Modules::Ref m) {
    if (reinterpret_cast<const u64*>(Modules::Info(m).code) != code) return;
    PlaceBreakpoints(m);
    if (state.step.kind != Debug::Resume::Continue) PlaceLineStarts(m);
  });
}

// ---- What stays interpreted while breakpoints are set ----
//
// A procedure that holds a breakpoint runs in the interpreter, and so does every procedure
// that may lie below it on the stack when the run stops there: its callers, theirs, and
// so on. Then every frame of a stop is interpreted, and a step that returns into a caller
// goes on in the interpreter, exactly; the rest of the program keeps its translated code.
// Calls by CALL and CALLX are read from the code. A call through a procedure value
// (CALLP, or a native procedure calling back) may reach any procedure whose value the
// program takes (LDG64 of a table entry): when such a procedure may reach a breakpoint,
// every procedure that calls through values or native procedures counts as its caller.

struct CallGraph {
  std::unordered_map<const u64*, std::vector<const u64*>> callers; // by callee's entry
  std::unordered_set<const u64*> valued; // procedures whose values are taken
  std::vector<const u64*> indirect;      // procedures that call values or natives
};

// The entry of procedure i of the module whose table is at table; nullptr when it is
// not compiled code.
const u64* EntryOfTable(u64 table, u64 i) {
  const u64 entry = TableWord(table, i);
  return (entry & 7) == 0 && entry != 0 && IsEntryWord(*reinterpret_cast<const u64*>(entry))
             ? reinterpret_cast<const u64*>(entry)
             : nullptr;
}

bool NativeTable(u64 table) {
  u16 flags;
  std::memcpy(&flags, reinterpret_cast<const void*>(table + kFlagOffset), sizeof flags);
  return (flags & kNativeFlag) != 0;
}

void AddCalls(Modules::Ref m, CallGraph& g) {
  const Modules::ModuleInfo info = Modules::Info(m);
  const auto* code = reinterpret_cast<const u64*>(info.code);
  const auto table = reinterpret_cast<u64>(info.table);
  if (code == nullptr || table == 0 || info.codeSize < kLargeHeaderWords * 8) return;
  const u64 header = code[1];
  const bool large = ((header >> 48) & kLargeCode) != 0;
  const u64 first = large ? kLargeHeaderWords : kHeaderWords;
  const u64 end = std::min<u64>(large ? code[2] >> 32 : (header >> 16) & 0xFFFF,
                                static_cast<u64>(info.codeSize) / 8);
  std::vector<const u64*> entries;
  for (std::int32_t i = 0; i < info.procedureCount; ++i)
    if (const u64* e = EntryOfTable(table, static_cast<u64>(i))) entries.push_back(e);
  std::sort(entries.begin(), entries.end());
  const auto procedures = static_cast<u64>(info.procedureCount);
  const bool prepared = Prepared(code);
  const u64* in = nullptr; // the procedure of the instruction at hand
  bool indirect = false;
  for (u64 at = first; at < end;) {
    const u64* pc = code + at;
    const u16 bits = prepared ? DispatchBits(pc) : static_cast<u16>(*pc & 0xFFFF);
    const int op = prepared ? opOfHandler[bits] : bits;
    if (op >= kOpCount) break;
    const auto next = std::upper_bound(entries.begin(), entries.end(), pc);
    const u64* proc = next == entries.begin() ? nullptr : *(next - 1);
    if (proc != in) {
      if (indirect && in != nullptr) g.indirect.push_back(in);
      in = proc, indirect = false;
    }
    const u64 w = *pc;
    switch (static_cast<Op>(op)) {
    case Op::CALL:
      if (in != nullptr) g.callers[pc + FieldI(w)].push_back(in);
      break;
    case Op::CALLX: {
      const u64 imported = TableWord(table, FieldB(w));
      if (imported == 0) break;
      if (NativeTable(imported)) {
        indirect = true;
      } else if (const u64* callee = EntryOfTable(imported, FieldC(w)); callee && in) {
        g.callers[callee].push_back(in);
      }
      break;
    }
    case Op::CALLP:
      indirect = true;
      break;
    case Op::LDG64: {
      // A procedure's value: its own table's entry, or an imported module's table read
      // for one of its entries (all of that module's procedures count then).
      const i64 offset = FieldI(w);
      if (offset < 0 || offset % 8 != 0) break;
      const u64 slot = static_cast<u64>(offset) / 8;
      if (slot < procedures) {
        if (const u64* e = EntryOfTable(table, slot)) g.valued.insert(e);
      } else if (slot < procedures + static_cast<u64>(info.slotCount)) {
        const u64 imported = TableWord(table, slot);
        if (imported == 0 || NativeTable(imported)) break;
        ForEachModule([&](Modules::Ref other) {
          const Modules::ModuleInfo o = Modules::Info(other);
          if (reinterpret_cast<u64>(o.table) != imported) return;
          for (std::int32_t i = 0; i < o.procedureCount; ++i)
            if (const u64* e = EntryOfTable(imported, static_cast<u64>(i))) g.valued.insert(e);
        });
      }
      break;
    }
    default:
      break;
    }
    at += kOpWords[op];
  }
  if (indirect && in != nullptr) g.indirect.push_back(in);
}

// The procedures to interpret for the breakpoints set now (none without a stop procedure).
void FindMustInterpret() {
  state.mustInterpret.clear();
  if (state.stopProc == nullptr || state.breakpoints.empty()) return;
  CallGraph g;
  std::vector<const u64*> work;
  ForEachModule([&](Modules::Ref m) {
    AddCalls(m, g);
    std::vector<Debug::LineStart> starts;
    const auto table = reinterpret_cast<u64>(Modules::Info(m).table);
    for (const Debug::LineBreak& b : state.breakpoints) {
      if (!Names(b.file, m)) continue;
      if (starts.empty()) starts = LineStarts(m);
      if (const Debug::LineStart* s = Debug::PlaceLine(starts, b.line))
        if (const u64* e = EntryOfTable(table, static_cast<u64>(s->procedure))) work.push_back(e);
    }
  });
  bool throughValues = false;
  while (!work.empty()) {
    const u64* p = work.back();
    work.pop_back();
    if (!state.mustInterpret.insert(p).second) continue;
    if (const auto found = g.callers.find(p); found != g.callers.end())
      work.insert(work.end(), found->second.begin(), found->second.end());
    if (!throughValues && g.valued.contains(p)) {
      throughValues = true;
      work.insert(work.end(), g.indirect.begin(), g.indirect.end());
    }
  }
}

void EndStep() {
  state.step = {};
  for (auto& m : state.marks) m.second.lineStart = m.second.returnPoint = false;
  DropIdleMarks();
}

// A step from the frame at fp: marks at every line start and where the frame returns.
void BeginStep(Debug::Resume kind, u64* fp) {
  state.step.kind = kind;
  state.step.fp = fp;
  state.step.callerFp = reinterpret_cast<u64*>(fp[-2]);
  state.step.process = state.running;
  ForEachModule(PlaceLineStarts);
  const auto* back = reinterpret_cast<const u64*>(fp[-1]);
  if (back != kExitCode && back != kProcessEndCode &&
      ModuleAt(state.library, reinterpret_cast<u64>(back)) != nullptr)
    SetMark(back, [](Mark& mark) { mark.returnPoint = true; });
}

enum class StepEnd : u8 { No, Line, Return };

// Whether the step under way ends at the marked word in the frame at fp: Step Into at
// the next line start, Step Over at one in the same frame or an outer one, Step Out in
// an outer one; each of them where the frame returns.
StepEnd StepEnds(const Mark& m, const u64* fp) {
  const auto& s = state.step;
  if (s.kind == Debug::Resume::Continue) return StepEnd::No;
  const bool same = state.running == s.process;
  if (m.returnPoint && same && fp == s.callerFp) return StepEnd::Return;
  if (!m.lineStart) return StepEnd::No;
  switch (s.kind) {
  case Debug::Resume::StepInto:
    return StepEnd::Line;
  case Debug::Resume::StepOver:
    return same && fp <= s.fp ? StepEnd::Line : StepEnd::No;
  default:
    return same && fp < s.fp ? StepEnd::Line : StepEnd::No;
  }
}

// The first slot above the frame at fp of the procedure whose code holds pc.
u64* FrameEnd(const u64* pc, u64* fp) {
  const Modules::Ref m = ModuleAt(state.library, reinterpret_cast<u64>(pc));
  if (m == nullptr) return fp + 0xFFFF;
  const Modules::ModuleInfo info = Modules::Info(m);
  u64 entry = 0;
  for (std::int32_t i = 0; i < info.procedureCount; ++i) {
    u64 e;
    std::memcpy(&e, info.table + i * 8, sizeof e);
    if (e <= reinterpret_cast<u64>(pc) && e > entry) entry = e;
  }
  return entry != 0 ? fp + (reinterpret_cast<const u64*>(entry)[1] & 0xFFFF) : fp + 0xFFFF;
}

// The interpreter reached a marked word: the run stops there when a breakpoint is placed
// on it or a step ends there, and goes on as the stop procedure says. The word's own
// dispatch bits.
u16 Reached(const u64* pc, u64* fp) {
  const auto found = state.marks.find(pc);
  // Every marked word has its mark (they come and go together): "invalid instruction".
  if (found == state.marks.end()) return dispatch.handler[kOpCount];
  const Mark mark = found->second;
  Debug::Stop stop;
  // A step that ends on a breakpoint's line ends as a step: the breakpoint has not been
  // passed but reached by the step, and its condition and count are not asked.
  StepEnd end = StepEnds(mark, fp);
  if (end != StepEnd::No) {
    stop.reason = Debug::Reason::Step;
  } else if (mark.breakpoint >= 0) {
    stop.reason = Debug::Reason::Breakpoint;
    stop.breakpoint = mark.breakpoint;
    end = StepEnd::Line;
  }
  if (end == StepEnd::No || state.stopProc == nullptr || state.stopped) return mark.original;
  // A return to where a line begins is a stop at that line: the call's line is done.
  if (end == StepEnd::Return && mark.lineStart) end = StepEnd::Line;
  EndStep();
  Walk(pc, fp, end == StepEnd::Line, stop.frames, nullptr);
  // While the run waits, the workstation may call the program's procedures (a dialog's,
  // say): their frames go above this one.
  u64* const sp = state.sp;
  state.sp = FrameEnd(pc, fp);
  state.stopped = true;
  Debug::Resume resume = Debug::Resume::Stop;
  try {
    resume = state.stopProc(stop);
  } catch (...) {
    state.stopped = false;
    state.sp = sp;
    throw;
  }
  state.stopped = false;
  state.sp = sp;
  if (resume == Debug::Resume::Stop) Raise(TrapCode::Interrupted, pc, fp);
  // A step goes on in the interpreter, so that no line it may end at is passed in
  // translated code; after Continue the procedures without breakpoints are translated
  // again.
  state.interpretOnly = resume != Debug::Resume::Continue || state.changedInRun;
  if (resume != Debug::Resume::Continue) BeginStep(resume, fp);
  return mark.original;
}

void Report() {
  if (state.reportProc != nullptr) {
    state.reportProc(state.report);
    return;
  }
  for (const std::string& line : ReportLines(state.report))
    std::fprintf(stderr, "%s\n", line.c_str());
}

// n with a comma between groups of three digits: 99,998.
std::string Grouped(std::size_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

} // namespace

std::vector<std::string> ReportLines(const TrapReport& r, std::size_t maxLines) {
  // An em dash in the workstation's characters.
  static const std::string kDash = " \x97 ";
  std::vector<std::string> lines{"Run-time error: " + r.message};
  const auto place = [](const Position& p) {
    std::string text = p.module;
    if (!p.procedure.empty()) text += "." + p.procedure;
    if (p.line > 0) text += ", line " + std::to_string(p.line);
    return text;
  };
  std::vector<std::string> calls;
  for (std::size_t i = 0; i < r.calls.size(); ++i) {
    const std::string repeats =
        r.calls[i].repeats > 0 ? kDash + Grouped(r.calls[i].repeats) + " more times" : "";
    calls.push_back((i == 0 ? "  in " : "  called from ") + place(r.calls[i]) + repeats);
  }
  const std::size_t room = maxLines > 3 ? maxLines - 2 : 1;
  if (calls.size() > room) {
    const std::size_t head = room / 2, tail = room - head;
    const std::size_t left = calls.size() - head - tail;
    calls.erase(calls.begin() + static_cast<std::ptrdiff_t>(head),
                calls.end() - static_cast<std::ptrdiff_t>(tail));
    calls.insert(calls.begin() + static_cast<std::ptrdiff_t>(head),
                 "  ... " + Grouped(left) + " more lines of calls ...");
  }
  lines.insert(lines.end(), calls.begin(), calls.end());
  return lines;
}

namespace {

// ---- Entries into the machine ----

// Runs the compiled procedure at entry with its frame above the current one and the
// arguments in its first slots; its slot 0 afterwards. Traps pass on as TrapSignal, with
// the report made where they were first caught.
u64 Execute(const u64* entry, u8* gp, std::span<const u64> args) {
  if (!Runnable(reinterpret_cast<u64>(entry))) Raise(TrapCode::BadInstruction, state.pc, state.fp);
  u64* base = state.depth == 0 ? state.stack : state.sp;
  u64* fp = base + kLinkSlots;
  if (fp + args.size() + MarginSlots() > FrameLimit())
    Raise(TrapCode::StackOverflow, state.pc, state.fp);
  fp[-3] = reinterpret_cast<u64>(gp);
  fp[-2] = 0;
  fp[-1] = reinterpret_cast<u64>(kExitCode);
  for (std::size_t i = 0; i < args.size(); ++i) fp[i] = args[i];
  const std::size_t level = state.entries.size();
  state.entries.push_back(Entry{state.pc, state.fp});
  ++state.depth;
  const Entry saved{state.pc, state.fp};
  u64* const savedSp = state.sp;
  std::jmp_buf* const machineJump = state.machineJump;
  // Entries that translated code made above this one go too when a fault jumps past them.
  const auto leave = [&] {
    --state.depth;
    state.entries.resize(level);
    state.machineJump = machineJump;
    state.pc = saved.pc, state.fp = saved.fp, state.sp = savedSp;
  };
#if VM_GUARD_SIGNALS
  sigjmp_buf jump;
  sigjmp_buf* const outer = state.jump;
  if (sigsetjmp(jump, 1) != 0) {
    state.jump = outer;
    if (!state.reported) BuildReport(TrapText(TrapCode::InvalidAddress));
    state.reported = true;
    leave();
    Trap(TrapText(TrapCode::InvalidAddress));
  }
  state.jump = &jump;
#endif
  try {
    Interpret(entry, fp, gp);
  } catch (const TrapSignal& t) {
#if VM_GUARD_SIGNALS
    state.jump = outer;
#endif
    if (!state.reported) BuildReport(t.message);
    state.reported = true;
    leave();
    throw;
  } catch (...) {
    // The program ends (Terminate) or a test's script ran out: no report, the machine
    // as it was before this entry.
#if VM_GUARD_SIGNALS
    state.jump = outer;
#endif
    leave();
    throw;
  }
#if VM_GUARD_SIGNALS
  state.jump = outer;
#endif
  leave();
  return fp[0];
}

// ---- What translated code calls ----

[[noreturn]] void MachineTrap(TrapCode code, const u64* pc, u64* fp) {
  state.pc = pc;
  state.fp = fp;
  state.machineError = std::make_exception_ptr(TrapSignal{TrapText(code)});
  LeaveMachine();
}

// Writes the linkage of a call from the frame at fp with the callee's frame at slot a.
u64* Link(const u64* pc, u64* fp, u8* gp, u64 a) {
  u64* const callee = fp + a;
  callee[-3] = reinterpret_cast<u64>(gp);
  callee[-2] = reinterpret_cast<u64>(fp);
  callee[-1] = reinterpret_cast<u64>(pc + 1);
  state.fp = callee;
  return callee;
}

// The procedure at entry, its frame at fp linked, in the interpreter; the frame's fp at
// its return. It returns to an EXIT, and a report finds its caller through an entry.
u64* InterpretFrame(const u64* entry, u64* fp) {
  const u64 back = fp[-1];
  auto* const caller = reinterpret_cast<u64*>(fp[-2]);
  const std::size_t level = state.entries.size();
  state.entries.push_back(Entry{reinterpret_cast<const u64*>(back) - 1, caller});
  fp[-1] = reinterpret_cast<u64>(kExitCode);
  try {
    Interpret(entry, fp, reinterpret_cast<u8*>(*CodeOf(entry)));
  } catch (const TrapSignal& t) {
    Reported(t.message);
    state.machineError = std::current_exception();
  } catch (...) {
    state.machineError = std::current_exception();
  }
  state.entries.resize(level);
  if (state.machineError) LeaveMachine();
  u64* const end = fp + (entry[1] >> 32);
  end[-1] = back;
  state.fp = caller;
  return end;
}

// The code to call for the procedure at entry whose frame is linked at callee, or
// nullptr once the interpreter has run it.
Machine::Code Enter(const u64* entry, u64* callee) {
  if (!state.interpretOnly && state.processes.empty() && HostRoom()) {
    if (const Machine::Code code = MachineCodeOf(entry)) return code;
  }
  InterpretFrame(entry, callee);
  return nullptr;
}

// The instructions translated code leaves to the machine, executed as the interpreter
// does; for a call, the code to run the callee with (nullptr: done).
Machine::Code Step(const u64* pc, u64* fp, u8* gp) {
  const u64 w = *pc;
  const u64 a = FieldA(w), b = FieldB(w), c = FieldC(w);
  state.pc = pc;
  state.fp = fp;
  switch (Machine::OpAt(pc)) {
  case Op::LDIA: {
    const u64 table = TableWord(reinterpret_cast<u64>(gp), b);
    if (table == 0) Raise(TrapCode::NotLoaded, pc, fp);
    fp[a] = VariablesOf(table) + pc[1];
    return nullptr;
  }
  case Op::COPY:
    std::memmove(reinterpret_cast<void*>(fp[a]), reinterpret_cast<const void*>(fp[b]), c);
    return nullptr;
  case Op::COPYN:
    std::memmove(reinterpret_cast<void*>(fp[a]), reinterpret_cast<const void*>(fp[b]), fp[c]);
    return nullptr;
  case Op::FILL0:
    std::memset(reinterpret_cast<void*>(fp[a]), 0, c);
    return nullptr;
  case Op::DIVI:
  case Op::MODI:
  case Op::QUOI:
  case Op::REMI:
  case Op::DIVL:
  case Op::MODL:
  case Op::QUOL:
  case Op::REML: {
    const Op op = Machine::OpAt(pc);
    const bool wide = op == Op::DIVL || op == Op::MODL || op == Op::QUOL || op == Op::REML;
    const i64 x = wide ? static_cast<i64>(fp[b]) : static_cast<i32>(fp[b]);
    const i64 y = wide ? static_cast<i64>(fp[c]) : static_cast<i32>(fp[c]);
    if (y == 0) Raise(TrapCode::DivisionByZero, pc, fp);
    const bool remainder = op == Op::MODI || op == Op::REMI || op == Op::MODL || op == Op::REML;
    const bool euclidean = op == Op::DIVI || op == Op::MODI || op == Op::DIVL || op == Op::MODL;
    if (!Divide(x, y, remainder, euclidean, wide, fp[a])) Raise(TrapCode::Overflow, pc, fp);
    return nullptr;
  }
  case Op::DIVU:
  case Op::MODU: {
    const u32 x = static_cast<u32>(fp[b]), y = static_cast<u32>(fp[c]);
    if (y == 0) Raise(TrapCode::DivisionByZero, pc, fp);
    fp[a] = Machine::OpAt(pc) == Op::MODU ? x % y : x / y;
    return nullptr;
  }
  case Op::DIVUL:
  case Op::MODUL: {
    const u64 x = fp[b], y = fp[c];
    if (y == 0) Raise(TrapCode::DivisionByZero, pc, fp);
    fp[a] = Machine::OpAt(pc) == Op::MODUL ? x % y : x / y;
    return nullptr;
  }
  case Op::BITS: {
    const i64 low = static_cast<i64>(fp[b]), high = static_cast<i64>(fp[c]);
    if (!SetOfRange(low, high, fp[a])) Raise(TrapCode::Range, pc, fp);
    return nullptr;
  }
  case Op::CAP:
    fp[a] = static_cast<unsigned char>(Charset::Upper(static_cast<char>(fp[b] & 0xFF)));
    return nullptr;
  case Op::TRUNCI:
  case Op::TRUNCU:
  case Op::TRUNCL:
  case Op::TRUNCUL:
    if (!Truncate(Machine::OpAt(pc), R(fp[b]), fp[a])) Raise(TrapCode::Overflow, pc, fp);
    return nullptr;
  case Op::FLOATUL:
    fp[a] = Bits(static_cast<double>(fp[b]));
    return nullptr;
  case Op::CHKPTR:
    if (fp[a] == 0) Raise(TrapCode::Nil, pc, fp);
    if (!Machine::Addressable(fp[a])) Raise(TrapCode::InvalidAddress, pc, fp);
    if ((fp[a] & 15) == 0 && Heap::StateAt(fp[a]) == Heap::BlockState::Freed)
      Raise(TrapCode::Disposed, pc, fp);
    return nullptr;
  case Op::SYS:
    Sys(static_cast<u16>(b), fp + a, pc, fp);
    return nullptr;
  case Op::DYNSAVE:
    fp[a] = reinterpret_cast<u64>(state.copyTop);
    return nullptr;
  case Op::DYNCOPY: {
    const u64 size = (fp[a + 1] + 1) * b;
    const u64 rounded = (size + 15) & ~u64{15};
    if (rounded > static_cast<u64>(state.copiesEnd - state.copyTop))
      Raise(TrapCode::StackOverflow, pc, fp);
    std::memcpy(state.copyTop, reinterpret_cast<const void*>(fp[a]), size);
    fp[a] = reinterpret_cast<u64>(state.copyTop);
    state.copyTop += rounded;
    return nullptr;
  }
  case Op::DYNREST:
    state.copyTop = reinterpret_cast<u8*>(fp[a]);
    return nullptr;
  case Op::CALLX: {
    const u64 table = TableWord(reinterpret_cast<u64>(gp), b);
    if (table == 0) Raise(TrapCode::NotLoaded, pc, fp);
    const u64 entry = TableWord(table, c);
    u16 flags;
    std::memcpy(&flags, reinterpret_cast<const void*>(table + kFlagOffset), sizeof flags);
    if (flags & kNativeFlag) {
      CallNative(reinterpret_cast<const Native::Procedure*>(entry), pc, fp, a);
      return nullptr;
    }
    if (!Runnable(entry)) Raise(TrapCode::BadInstruction, pc, fp);
    return Enter(reinterpret_cast<const u64*>(entry), Link(pc, fp, gp, a));
  }
  case Op::CALLP: {
    const u64 value = fp[b];
    if (value == 0) Raise(TrapCode::NilProcedure, pc, fp);
    if (!Machine::Addressable(value)) Raise(TrapCode::BadProcedure, pc, fp);
    if ((value & 7) == 0 && IsEntryWord(*reinterpret_cast<const u64*>(value))) {
      if (!Runnable(value)) Raise(TrapCode::BadInstruction, pc, fp);
      return Enter(reinterpret_cast<const u64*>(value), Link(pc, fp, gp, a));
    }
    const Native::Procedure* p = Native::ProcedureOf(value);
    if (p == nullptr) Raise(TrapCode::BadProcedure, pc, fp);
    CallNative(p, pc, fp, a);
    return nullptr;
  }
  default:
    Raise(TrapCode::BadInstruction, pc, fp);
  }
}

} // namespace

namespace Machine {

void SetTranslator(const Translator* translator) {
  Init();
  for (const auto& entry : state.machineCode)
    if (entry.second != nullptr) state.translator->release(entry.second);
  state.machineCode.clear();
  state.translator = translator;
}

bool Translating() { return state.translator != nullptr; }

Shared* SharedState() { return &shared; }

Op OpAt(const u64* pc) { return static_cast<Op>(opOfHandler[DispatchBits(pc)]); }

const u64* InstructionsEnd(const u64* entry) {
  const u64* code = CodeOf(entry);
  const u64 header = code[1];
  return code + ((((header >> 48) & kLargeCode) != 0) ? code[2] >> 32 : (header >> 16) & 0xFFFF);
}

void Trap(u64 code, const u64* pc, u64* fp) {
  MachineTrap(code < static_cast<u64>(TrapCode::Count) ? static_cast<TrapCode>(code)
                                                       : TrapCode::BadInstruction,
              pc, fp);
}

void Poll(const u64* pc, u64* fp) {
  shared.budget = state.pollEvery;
  state.pc = pc;
  state.fp = fp;
  bool stop = false;
  try {
    stop = Vm::Poll();
  } catch (...) {
    state.machineError = std::current_exception();
  }
  if (state.machineError) LeaveMachine();
  if (stop) MachineTrap(TrapCode::Interrupted, pc, fp);
}

u64* Lift(u64* fp, u64 memory, u64 first) { return LiftFrame(fp, memory, first); }

Code Call(const u64* entry, const u64* pc, u64* fp, Code* cell) {
  u64* const callee = fp + FieldA(*pc);
  state.pc = pc;
  Code code = nullptr;
  try {
    code = Enter(entry, callee);
  } catch (...) {
    state.machineError = std::current_exception();
  }
  if (state.machineError) LeaveMachine();
  if (code != nullptr && state.processes.empty()) *cell = code;
  return code;
}

Code Execute(const u64* pc, u64* fp, u8* gp) {
  Code code = nullptr;
  try {
    code = Step(pc, fp, gp);
  } catch (const TrapSignal& t) {
    Reported(t.message);
    state.machineError = std::current_exception();
  } catch (...) {
    state.machineError = std::current_exception();
  }
  if (state.machineError) LeaveMachine();
  return code;
}

u64* Interpret(const u64* entry, u64* fp) {
  u64* end = nullptr;
  try {
    end = InterpretFrame(entry, fp);
  } catch (...) {
    state.machineError = std::current_exception();
  }
  if (state.machineError) LeaveMachine();
  return end;
}

} // namespace Machine

namespace {

// Reads the word at address; false when it is not readable.
bool SafeRead(u64 address, u64& word) {
#if VM_GUARD_SIGNALS
  sigjmp_buf jump;
  sigjmp_buf* const outer = state.jump;
  if (sigsetjmp(jump, 1) != 0) {
    state.jump = outer;
    return false;
  }
  state.jump = &jump;
  // The handler must see the jump before the read faults, and the store must not go as
  // dead before the one below.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  word = *reinterpret_cast<const volatile u64*>(address);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  state.jump = outer;
  return true;
#else
  word = *reinterpret_cast<const u64*>(address);
  return true;
#endif
}

// Variables of every compiled module of the library back to 8000H and their bodies not
// run, when the programs' heap is not the one their pointers came from.
void ResetForHeap(Buffer::Ref library) {
  const std::uint32_t generation = Heap::Generation();
  if (generation == state.generation) return;
  state.generation = generation;
  Modules::ForEach(library, [](Modules::Ref m) {
    const Modules::ModuleInfo info = Modules::Info(m);
    if (info.image == nullptr || info.table == nullptr || Native::IsNative(info.table)) return;
    std::uint8_t* descriptor = info.table - kDescriptorSize;
    for (std::uint8_t* p = info.image; p + 1 < descriptor; p += 2) p[0] = 0, p[1] = 0x80;
    u16 flags;
    std::memcpy(&flags, info.table + kFlagOffset, sizeof flags);
    flags = static_cast<u16>(flags & ~kBodyRan);
    std::memcpy(info.table + kFlagOffset, &flags, sizeof flags);
  });
}

// Where translated code stops going deeper on the host's stack: 1 MB above its end
// (what the interpreter and native procedures need from there on).
std::uintptr_t HostStackLimit() {
  static thread_local std::uintptr_t limit = [] {
    pthread_attr_t attr;
    void* low = nullptr;
    std::size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return ~std::uintptr_t{0};
    pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    constexpr std::size_t kReserve = std::size_t{1} << 20;
    if (size < 2 * kReserve) return ~std::uintptr_t{0};
    return reinterpret_cast<std::uintptr_t>(low) + kReserve;
  }();
  return limit;
}

// The outermost entry: a run with its trap report.
template <typename Body> void Guarded(Buffer::Ref library, Body&& body) {
  Init();
  if (!MakeStack()) {
    state.trapped = true;
    state.report = TrapReport{TrapText(TrapCode::OutOfMemory), {}};
    Report();
    return;
  }
  state.library = library;
  ResetForHeap(library);
  state.trapped = false;
  state.reported = false;
  state.pendingEnd.clear();
  state.report = TrapReport{};
  state.lastTrap = Debug::Stop{};
  EndStep();
  state.interpretOnly = false;
  state.changedInRun = false;
  FindMustInterpret();
  ResetProcesses();
  state.pc = nullptr;
  state.fp = nullptr;
  state.entries.clear();
  state.lastPump = std::chrono::steady_clock::now();
  shared.budget = state.pollEvery;
  shared.hostLimit = HostStackLimit();
  Events::WatchInterrupt(true);
  // A program waiting in a read for a key ends there when the user interrupts it.
  KeyEvents::SetInterruptProc([] {
    static_cast<void>(Events::Interrupted());
    throw TrapSignal{TrapText(TrapCode::Interrupted)};
  });
  try {
    body();
  } catch (const TrapSignal& t) {
    if (!state.reported) {
      state.report = TrapReport{t.message, {}};
      state.lastTrap.message = t.message;
    }
    state.trapped = true;
  } catch (const ProgramEnd&) {
    // A process's procedure returned: the program ended.
  }
  EndStep();
  state.interpretOnly = false;
  ResetProcesses();
  Events::WatchInterrupt(false);
  KeyEvents::SetInterruptProc(nullptr);
  state.reported = false;
  if (state.runEnd != nullptr) state.runEnd();
  if (state.trapped) Report();
  // The library may be gone before the next run.
  state.library = nullptr;
}

Buffer::Ref SystemLibrary() { return Buffer::Find("/SystemLibrary"); }

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Interpret(nullptr, nullptr, nullptr);
  for (int i = 0; i < kOpCount; ++i) opOfHandler[dispatch.handler[i]] = static_cast<u8>(i);
  Modules::SetReleaseProc(DropMachineCode);
  kExitCode[0] = (kExitCode[0] & ~u64{0xFFFF}) | dispatch.handler[static_cast<int>(Op::EXIT)];
  kProcessEndCode[0] =
      (kProcessEndCode[0] & ~u64{0xFFFF}) | dispatch.handler[static_cast<int>(Op::PEND)];
#if VM_GUARD_SIGNALS
  InstallGuard();
#endif
}

void SetReportProc(ReportProc proc) { state.reportProc = proc; }
void SetInterruptProc(InterruptProc proc) { state.interruptProc = proc; }

bool IsCompiledEntry(std::uint64_t value) {
  Init();
  u64 w;
  if (value == 0 || (value & 7) != 0 || !SafeRead(value, w)) return false;
  return IsEntryWord(w);
}

bool IsProgramAddress(std::uint64_t address, std::uint64_t size) {
  const Buffer::Ref library = state.library != nullptr ? state.library : SystemLibrary();
  if (library == nullptr || address == 0 || address + size < address) return false;
  bool inside = false;
  Modules::ForEach(library, [&](Modules::Ref m) {
    const Modules::ModuleInfo info = Modules::Info(m);
    if (inside || info.image == nullptr || info.table == nullptr || Native::IsNative(info.table))
      return;
    const auto first = reinterpret_cast<std::uint64_t>(info.image);
    const auto end = reinterpret_cast<std::uint64_t>(info.table - kDescriptorSize);
    inside = address >= first && address + size <= end;
  });
  return inside;
}

void SetRunEndProc(void (*proc)()) { state.runEnd = proc; }

bool ReleaseWorkspace(std::uint64_t address, std::uint64_t size) {
  const Process& running = *state.running;
  if (running.start != nullptr && reinterpret_cast<u64>(running.start) < address + size &&
      reinterpret_cast<u64>(running.end) > address)
    return false;
  DropProcesses(address, address + size);
  return true;
}

void RunBody(Modules::Ref module, Modules::Address entry) {
  const Modules::ModuleInfo info = Modules::Info(module);
  if (info.table == nullptr) return;
  const auto run = [&] {
    if (!IsCompiledEntry(entry)) Trap(TrapText(TrapCode::BadProcedure));
    Execute(reinterpret_cast<const u64*>(entry), info.table, {});
  };
  if (state.depth > 0) {
    run();
    return;
  }
  Guarded(module->library != nullptr ? module->library->library : SystemLibrary(), run);
}

bool LastRunTrapped() { return state.trapped; }
const Debug::Stop& Debug::LastTrap() { return state.lastTrap; }

// Breakpoints changed while a run goes on: frames of translated code may lie below a
// new mark, so the rest of the run is interpreted. While the run waits at a stop every
// frame is interpreted already.
void ChangedInRun() {
  FindMustInterpret();
  if (!Running() || state.stopped || state.mustInterpret.empty()) return;
  state.changedInRun = true;
  state.interpretOnly = true;
}

void Debug::SetStopProc(StopProc proc) {
  state.stopProc = proc;
  ChangedInRun();
}

bool Debug::Stopped() { return state.stopped; }

void Debug::SetBreakpoints(std::vector<LineBreak> points) {
  Init();
  for (auto& m : state.marks) m.second.breakpoint = -1;
  DropIdleMarks();
  state.breakpoints = std::move(points);
  ForEachModule(PlaceBreakpoints);
  ChangedInRun();
}

std::int32_t Debug::PlacedLine(std::size_t index) {
  if (index >= state.breakpoints.size()) return 0;
  const LineBreak& b = state.breakpoints[index];
  std::int32_t line = 0;
  ForEachModule([&](Modules::Ref m) {
    if (line != 0 || !Names(b.file, m)) return;
    const std::vector<LineStart> starts = LineStarts(m);
    if (const LineStart* s = PlaceLine(starts, b.line)) line = s->line;
  });
  return line;
}
const TrapReport& LastReport() { return state.report; }
bool Running() { return state.depth > 0; }

bool EndRunAfterCall(std::string message) {
  if (state.depth == 0) return false;
  if (state.pendingEnd.empty()) state.pendingEnd = std::move(message);
  return true;
}

std::uint64_t CallProcedure(std::uint64_t value, std::span<const std::uint64_t> args) {
  u64 result = 0;
  const auto call = [&] {
    if (value == 0) Raise(TrapCode::NilProcedure, state.pc, state.fp);
    if (const Native::Procedure* p = Native::ProcedureOf(value)) {
      std::vector<u64> words(args.begin(), args.end());
      words.resize(
          std::max<std::size_t>(words.size(), static_cast<std::size_t>(std::max(p->words, 1))));
      Native::Call c;
      c.args = words.data();
      c.count = p->words;
      RunNative(p, c, state.pc, state.fp);
      result = c.result;
      if (!state.pendingEnd.empty()) Trap(std::exchange(state.pendingEnd, {}));
      return;
    }
    if (!IsCompiledEntry(value)) Raise(TrapCode::BadProcedure, state.pc, state.fp);
    const u64* entry = reinterpret_cast<const u64*>(value);
    u8* gp = reinterpret_cast<u8*>(*CodeOf(entry));
    result = Execute(entry, gp, args);
  };
  if (state.depth > 0) {
    call();
    return result;
  }
  Guarded(SystemLibrary(), call);
  return state.trapped ? 0 : result;
}

Position PositionOf(Buffer::Ref library, std::uint64_t codeAddress) {
  return Find(library, codeAddress);
}

namespace Testing {
void SetStackLimit(std::size_t bytes) { state.stackLimitBytes = bytes; }
void SetPollInterval(std::int32_t n) { state.pollEvery = n > 0 ? n : kPollEvery; }
} // namespace Testing

} // namespace Vm
