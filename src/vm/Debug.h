// Stopping a run of compiled code where the user asks (breakpoints, steps), and the
// frames of a stopped run or of one that ended in a trap, for the debugger to read.
//
// A breakpoint costs nothing until it is reached: the machine rewrites the dispatch
// bits of the instruction where its line's code begins, so that the instruction first
// calls the stop procedure and then does what it always did. A step places such marks
// for one stop (at the line starts and return points it may reach) and takes them away
// again. While breakpoints are set and a stop procedure is installed, the procedures that
// hold them and every procedure that may be below them on the stack run in the
// interpreter, and a step goes on in the interpreter until its stop: so every frame of a
// stop is interpreted and no step misses a line in translated code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modules/Modules.h"
#include "vm/Vm.h"

namespace Vm::Debug {

// A frame of compiled code.
struct Frame {
  const std::uint64_t* pc = nullptr; // the instruction executing; for a caller, its call
  std::uint64_t* fp = nullptr;       // slot 0 of the frame
  std::uint64_t table = 0;           // the table of the frame's module (its gp)
  Modules::Ref module = nullptr;     // the compiled module whose code holds pc
  std::uint32_t word = 0;            // pc's word in that module's code
  Position where;                    // module, procedure, source text and line
};

enum class Reason : std::uint8_t { Breakpoint, Step, Trap };

struct Stop {
  Reason reason = Reason::Trap;
  std::int32_t breakpoint = -1; // for a breakpoint: its index in the list SetBreakpoints took
  std::string message;          // for a trap: the run-time error ("Case error.", ...)
  std::vector<Frame> frames;    // innermost first
};

// What the run does after a stop. Stop ends the run as Control+C does.
enum class Resume : std::uint8_t { Continue, StepInto, StepOver, StepOut, Stop };

// Called where a run stops, while the run waits (it may run an event loop); returns
// what the run does next. Not called for traps. nullptr: runs never stop.
using StopProc = Resume (*)(const Stop& stop);
void SetStopProc(StopProc proc);
bool Stopped(); // whether a run waits in the stop procedure now

// A line of a compiled module's source text. file names the module by its source
// text's path, that path's last name, or the module's name ("Sort", "Sort.mod").
struct LineBreak {
  std::string file;
  std::int32_t line = 0;
};
// The breakpoints of the runs from now on, the run under way included. A line without
// code stands for the next line of the same procedure that has some.
void SetBreakpoints(std::vector<LineBreak> points);
// The line breakpoint index was placed at; 0 while its module is not installed or the
// line has no code.
std::int32_t PlacedLine(std::size_t index);

// A line start of a compiled module: the word where the code of a line begins (the
// first after an ENTER when the line begins a procedure), and the procedure (its table
// entry) whose code holds it.
struct LineStart {
  std::uint32_t word = 0;
  std::int32_t line = 0;
  std::int32_t procedure = 0;
};
// Where a breakpoint on line goes among a module's line starts (ascending by word): the
// first start of that line; for a line without code the first start of the next line
// with code in the procedure whose lines enclose it (the whole module when none does).
// nullptr when no line at or after it has code.
const LineStart* PlaceLine(const std::vector<LineStart>& starts, std::int32_t line);

// The frames of the last run that ended in a trap (an interrupt included), innermost
// first, readable until the next run begins; no frames when it ended otherwise.
const Stop& LastTrap();

} // namespace Vm::Debug
