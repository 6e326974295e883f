// A debugging session: the breakpoints with their conditions and hit counts, the
// watched expressions, and the front end (the Debug window or the line-mode debugger)
// that shows a stop and says how the run goes on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vm/Debug.h"

namespace Session {

struct Breakpoint {
  std::string file; // as Vm::Debug::LineBreak
  std::int32_t line = 0;
  std::string condition;     // an expression; the run stops only where it is TRUE ("": always)
  std::int64_t hitCount = 0; // the run stops from the hitCount-th time it passes on (0, 1: at once)
  std::int64_t hits = 0;     // how often a run passed it, its condition TRUE
};

// Shows a stop to the user and returns what the run does next.
using Front = Vm::Debug::Resume (*)(const Vm::Debug::Stop& stop);

// Runs stop for the session from now on and show their stops through front; nullptr:
// they no longer stop.
void Start(Front front);
void SetBreakpoints(std::vector<Breakpoint> points);
const std::vector<Breakpoint>& Breakpoints();
// The expressions shown after every stop.
void SetWatches(std::vector<std::string> expressions);
const std::vector<std::string>& Watches();
// Each watch as "EXPRESSION = VALUE" (or its error) in frame.
std::vector<std::string> WatchLines(const Vm::Debug::Frame& frame);

} // namespace Session
