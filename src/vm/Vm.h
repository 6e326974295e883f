// The virtual machine that runs compiled modules (the instruction set: vm/Isa.h).
//
// A run begins when the shell runs a module body (the code runner of shell/Compile.h)
// or when native code calls a procedure value of compiled code outside a run. Every
// failed check, HALT, interrupt and wild address ends the run as a trap: the machine
// writes a report (the error and the chain of calls that led there) through the
// report procedure and returns to the shell; the workstation goes on.
//
// Frames live on a stack of their own (a reserved mapping), so deep recursion does not
// touch the host's stack; a call that would pass its limit traps. While the machine
// runs, a countdown on calls and backward jumps polls the platform now and then, so that
// windows repaint and Control+C interrupts the run.
//
// Processes (coroutines, NEWPROCESS and TRANSFER): each process but the main one runs
// in the workspace the program gave it, three quarters of it for frames and the rest for
// the value copies of open arrays; a workspace too small for what the process does traps
// "stack overflow" in that process. What a process needs to go on stays in the machine,
// never in the program's memory. When the procedure of a process returns, the program
// ends. The processes of a run go when it ends.
//
// Programs' pointers into the programs' heap (vm/Heap.h) must not outlive it: when the
// heap's generation has changed since the last run, the next run first resets the
// variables of every compiled module of its library (each 16-bit word 8000H again) and
// marks their bodies as not run, so that they initialise again before they are used.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "modules/Modules.h"

namespace Vm {

// A place in compiled code.
struct Position {
  std::string module;
  std::string procedure; // "" for the module body
  std::string source;    // the path of the module's text when it was compiled
  std::int32_t line = 0; // 0 when unknown
  // In a trap report: how many more calls from the same place lie right below this one
  // (a recursion).
  std::uint64_t repeats = 0;
};

struct TrapReport {
  std::string message;         // the error as the user reads it ("Case error.", ...)
  std::vector<Position> calls; // where it happened first, then each caller
};

// The report as the user reads it: "Run-time error: " and the message, then "  in" the
// place of the error and "  called from" each caller. A run of calls from one place
// collapses into one line that says how many more there were, and of a chain still
// longer than maxLines only its first and last calls stay, so that the error and both
// ends of the chain always show.
std::vector<std::string> ReportLines(const TrapReport& report, std::size_t maxLines = 200);

using ReportProc = void (*)(const TrapReport& report);
using InterruptProc = bool (*)();

// Sets up the guard against wild addresses (once); runs never need more.
void Init();
// Where trap reports go; nullptr: to standard error.
void SetReportProc(ReportProc proc);
// How the machine asks whether the user interrupted; nullptr: Events::Interrupted.
void SetInterruptProc(InterruptProc proc);

// The code runner: runs the body at entry of a compiled module of a library. A trap
// ends the run with its report; a call inside a run (a body executing another) runs in
// the run and leaves a trap to it.
void RunBody(Modules::Ref module, Modules::Address entry);
// Whether the last outermost run ended in a trap, and its report.
bool LastRunTrapped();
const TrapReport& LastReport();
bool Running();
// Ends the run under way with message as its run-time error (and its report) as soon as
// the native procedure now running returns to the machine: what BREAK in an alert that
// native code raised does. False, and nothing done, outside a run.
bool EndRunAfterCall(std::string message);

// Calls a procedure value (an entry of compiled code or of a native table) with the
// argument words in the order of its heading; its result word, 0 for a proper
// procedure. Inside a run a trap ends the run; outside one, the call is a run of its own
// (a trap is reported and the result is 0).
std::uint64_t CallProcedure(std::uint64_t procedureValue, std::span<const std::uint64_t> args);
// Whether value is the entry of a procedure of compiled code (it must be readable).
bool IsCompiledEntry(std::uint64_t value);
// Whether [address, address + size) lies within the variables of one compiled module of
// the run's library (the system library outside a run): memory of a program that stays
// put while its module is installed, which native code may keep an address of.
bool IsProgramAddress(std::uint64_t address, std::uint64_t size);
// Called once an outermost run has ended (after a trap, before its report), so that
// the program's own modules let go of what the run made; nullptr: nothing.
void SetRunEndProc(void (*proc)());

// Before a block of the programs' heap is freed: the processes whose workspaces lie in
// it are gone (a TRANSFER to one traps); false, and nothing done, when the running
// process's workspace lies in it.
bool ReleaseWorkspace(std::uint64_t address, std::uint64_t size);

// The place of a code address in the modules of a library (module "" when none holds it).
Position PositionOf(Buffer::Ref library, std::uint64_t codeAddress);

namespace Testing {
// Limits the frames of the next runs to this many bytes (0: the full stack).
void SetStackLimit(std::size_t bytes);
// Polls for an interrupt after every n calls and backward jumps (0: the normal rate).
void SetPollInterval(std::int32_t n);
} // namespace Testing

} // namespace Vm
