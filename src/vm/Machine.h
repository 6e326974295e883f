// Compiled code as the processor's own code: what a translator of the machine's code
// (installed from above, the machine knows none) needs from the machine, and what the
// code it makes calls back.
//
// A translated procedure keeps the machine's frames exactly: its slots in the frame at
// fp, the linkage below it (caller's gp, fp, the return word), and it calls the same
// procedures with the same frames, so that a trap report walks its frames as it walks
// the interpreter's. The interpreter enters a translated procedure at its ENTER; a
// translated procedure calls the procedures it cannot call directly through the
// helpers below. Traps never unwind through translated code: the helpers leave it by a
// jump to the innermost entry into it, which passes the trap on.
//
// Translated code runs only while the run has no processes but its main one (a
// coroutine's frames stay interpreted), and only while the host's stack has room: a
// translated procedure that finds it short runs its own frame in the interpreter.
#pragma once

#include <cstdint>

#include "vm/Isa.h"

namespace Vm::Machine {

// The code of one procedure: runs it with its frame at fp (its linkage set) and returns
// the frame's fp at its return (ENTER moves a frame with a memory area up).
using Code = std::uint64_t* (*)(std::uint64_t* fp);

struct Translator {
  // Code for the procedure whose ENTER is at entry; nullptr when it stays interpreted.
  Code (*translate)(const std::uint64_t* entry);
  // The code is no longer needed (the module it came from was released).
  void (*release)(Code code);
  // The instruction of compiled code that the code at address executes; nullptr when
  // address lies in no code it made.
  const std::uint64_t* (*where)(std::uintptr_t address);
};

// nullptr: every procedure is interpreted. Changing it drops the code made so far.
void SetTranslator(const Translator* translator);
bool Translating();

// What translated code reads and writes of the machine's state, at fixed offsets.
struct Shared {
  std::uint64_t* limit = nullptr; // the main process's frames end here
  std::int64_t budget = 0;        // calls and backward jumps until the next look for Ctrl+C
  std::uintptr_t hostLimit = 0;   // below this the host's stack is too short for more
};
Shared* SharedState();

// The addresses a pointer or procedure value may hold: above the first 64 KB, which the
// host never maps, and below the end of the user half of the address space. Any other
// value (a module's variable never assigned holds 8000800080008000H) is not read through.
constexpr std::uint64_t kLowestAddress = 0x10000, kAddressEnd = std::uint64_t{1} << 47;
constexpr bool Addressable(std::uint64_t p) {
  return p - kLowestAddress < kAddressEnd - kLowestAddress;
}

// The instruction of a word of prepared code (whose dispatch bits the machine rewrote).
Op OpAt(const std::uint64_t* pc);
// The end of the instructions of the code that holds the procedure at entry.
const std::uint64_t* InstructionsEnd(const std::uint64_t* entry);

// The helpers translated code calls. pc is the instruction that calls, fp its frame.
// Ends the run with the trap code (TrapCode).
[[noreturn]] void Trap(std::uint64_t code, const std::uint64_t* pc, std::uint64_t* fp);
// Looks for Ctrl+C (and lets the platform repaint); the budget starts again.
void Poll(const std::uint64_t* pc, std::uint64_t* fp);
// ENTER of a frame with a memory area of memory slots: the frame's new fp.
std::uint64_t* Lift(std::uint64_t* fp, std::uint64_t memory, std::uint64_t first);
// CALL of the procedure at entry of this module, whose linkage at fp + A is written; cell
// receives its code when it has some.
// Returns the code to call with that frame, or nullptr once the interpreter has run it.
Code Call(const std::uint64_t* entry, const std::uint64_t* pc, std::uint64_t* fp, Code* cell);
// The instructions that translated code leaves to the machine (calls through tables and
// procedure values, SYS, LDIA, divisions, blocks, ...): executes the one at pc of the
// module whose table is gp. For a call, the code to run the callee with its frame at slot
// A, or nullptr when it is done.
Code Execute(const std::uint64_t* pc, std::uint64_t* fp, std::uint8_t* gp);
// Runs the procedure of the frame at fp in the interpreter (its caller is translated);
// the frame's fp at its return.
std::uint64_t* Interpret(const std::uint64_t* entry, std::uint64_t* fp);

} // namespace Vm::Machine
