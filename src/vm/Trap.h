// A run-time error of a program: what ends the run of compiled code (a failed check, a
// HALT, an interrupt) and what native procedures raise when compiled code misuses them.
// The virtual machine catches it where the run began, writes the trap report and ends
// the run; the workstation goes on.
#pragma once

#include <string>

namespace Vm {

struct TrapSignal {
  std::string message; // "index out of range", "HALT called.", ...
};

// The program ended without an error before its body did: the procedure of a process
// returned. The run ends as if the body had.
struct ProgramEnd {};

// Ends the running program with the message; never returns.
[[noreturn]] inline void Trap(std::string message) { throw TrapSignal{std::move(message)}; }

} // namespace Vm
