// The line-mode debugger of velmarin --run FILE.mod --debug: commands close to gdb's read
// from a terminal or a script (break, condition, ignore, delete, info breakpoints, run,
// next, step, finish, continue, print, set var, display, bt, frame, up, down, info
// locals, info globals, list, quit), each answered on the output with exact words, so
// that a programmer can use it over ssh and scripts can compare what it says.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace LineDebugger {

// Reads commands from in until quit or the end of input, writing a prompt before each
// and the answers to out; run runs the program once (each run command calls it again).
// mainFile names the program's source text for "break LINE".
void Run(std::FILE* in, std::FILE* out, const std::string& mainFile,
         const std::function<void()>& run);
// Whether the run under way ends because the user ended it (quit, or run again while
// stopped): its trap report is no error of the program's.
bool EndingRun();

} // namespace LineDebugger
