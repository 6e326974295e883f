// The machine and the compiler joined to the workstation: the shell's code runner, trap
// reports in the List window and an alert, F12 after a trap to the line of the error,
// and the compiler behind the shell's compiler interface. Also the command-line runner
// (velmarin --run FILE.mod), which compiles a program and the modules beside it and runs
// it on standard input and output without a window.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Backend.h"

namespace Runner {

// Called at shell start: the code runner and the trap reports; with withCompiler the
// compiler in the compiler interface (without it the interface stays in its start state).
void Install(bool withCompiler);

// Exit statuses of RunFile.
inline constexpr int kDone = 0;
inline constexpr int kTrapped = 1;
inline constexpr int kCompileError = 2;

// Compiles the program at path and the modules it imports that lie beside it (NAME.def
// and NAME.mod), runs it with terminal output on standard output and input from
// standard input; errors go to standard error ("FILE:LINE:COLUMN: error: MESSAGE" for a
// compilation, the trap report for a run). The exit status.
int RunFile(const std::string& path, const std::vector<std::string>& args);
// The same with the files the program reads and writes and errors go to.
int RunFile(const std::string& path, const std::vector<std::string>& args, std::FILE* in,
            std::FILE* out, std::FILE* err);
// The same under the line-mode debugger (app/LineDebugger.h): its commands come from in
// as the program's input does, and its output goes to out with the program's. The exit
// status: kDone, or kCompileError when the program does not compile.
int DebugFile(const std::string& path, const std::vector<std::string>& args, std::FILE* in,
              std::FILE* out, std::FILE* err);
// The same on standard input and output, on a backend the caller made and gave its frame
// (the Qt backend, whose windows are then drawn off screen). atEnd, when not nullptr, is
// called as the program's body has ended (also after a trap), while the windows and
// dialogs it opened are still there.
int RunFile(const std::string& path, const std::vector<std::string>& args,
            Toolbox::Backend& backend, void (*atEnd)());

} // namespace Runner
