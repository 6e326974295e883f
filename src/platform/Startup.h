// The program's entry and exit: the command line, the frame window, the guarded run
// of the main module's body, the start-up steps on the splash window, Quit and the
// orderly shutdown.
#pragma once

#include <cstdint>
#include <functional>

#include "base/Chars.h"
#include "platform/Backend.h"

namespace Startup {

using base::Chars;
using base::VarChars;
using Proc = void (*)();

// The entry point: keeps the command line, starts the toolbox on the backend, creates
// the event queue and the frame window, runs the main body under the exit point and
// shuts down once. Returns the process exit code: 0, or 1 when the platform could not
// be started (no event queue, no frame window).
int Run(Toolbox::Backend& backend, Chars commandLine);

// Ends the program from anywhere: control returns to the exit point and the shutdown
// runs. Outside Run (or before its exit point exists) it ends the process. Never
// returns.
[[noreturn]] void Terminate();
// An exit point for work run outside Run (a test's script of messages): runs body; true
// when it returned, false when Terminate ended it. Within Run it only runs body: the
// exit point stays Run's.
bool RunToEnd(const std::function<void()>& body);
// Beeps and shows the message (when not empty), then Terminate.
[[noreturn]] void TerminateWithMessage(Chars message);
// Shows the step number on the splash window while it is open.
void StartupStep(int step);
// Quit: asks "Save Modified Text ?" when texts are modified; returns only when the
// user cancels (or saving failed and the user keeps the program running).
void QuitCommand();
// The whole word of the command line that holds key (matched without regard to case).
bool GetCommandArgument(VarChars result, Chars key);

// The application's main procedure, run once start-up is complete.
void SetApplicationMain(Proc proc);
void SetApplicationTitle(Chars title);
void GetApplicationTitle(VarChars title);
// The process command line with dropped files appended (1023 characters at most).
void GetCommandLine(VarChars text);
// Logical pixels per inch × 0.9 / 72; set by ShellInit.
double ScreenScale();
// The procedure Quit runs through; QuitCommand after start-up.
void SetQuitProcedure(Proc proc);
void CallQuitProcedure();

// The size of the frame window in pixels: 680 × 520 logical units scaled by
// dpi × 0.0125, each limited to the screen's size less a twentieth of it.
Toolbox::Point FrameSize(double dpi, const Toolbox::Rect& screen);

// ---- The main module's body ----

// The modules whose bodies the main module runs, in the order they run. A slot is
// filled by the module's owner before Run; empty slots are skipped.
enum class MainImport : int {
  AnsiTerm,       // the ANSI terminal window
  Buffer,         // the buffer store (filled from the start)
  EditorKeys,     // the editor's GOLD-key and repeat-count module
  NoStatements,   // a module with no statements of its own: stays empty
  CommandWindows, // the Command and List windows
  FileNames,      // the file name checks
  RealMath,       // the real-number module (filled from the start)
  ShellMain,      // the shell main module; its own state is ShellInit's
  FileCommands,   // the shell file commands
  ShellModule1,   // three further shell modules
  ShellModule2,
  ShellModule3,
  Settings,         // the settings file module
  CommandGenerator, // the command-module generator
  Count
};
void SetModuleBody(MainImport module, Proc body);

// What step 51 finds when it makes the shell's buffers and heaps.
enum class ShellStart { Ok, NoBuffers, NoGraphics, NoTerminal };

// The shell's parts of the start-up sequence, installed by the application before
// Run. Every procedure may be empty; the sequence then goes on without that part.
struct ShellHooks {
  Proc initSound = nullptr;              // the sound module (default tone and duration)
  bool (*initShellState)() = nullptr;    // ShellInit's shell part; true when the
                                         // settings file was read
  Proc installScrollProcs = nullptr;     // step 49: the text windows' scroll procedures
  ShellStart (*createShell)() = nullptr; // step 51: buffers, graphics and terminal heaps
  Proc openShellWindows = nullptr;       // step 51: the Command and List windows
  Proc setUpMenus = nullptr;             // step 52
  Proc readSettings = nullptr;           // step 54: read the settings file once more
  Proc enterCommandWindow = nullptr;     // the Command window opened, the cursor placed
  Proc endOfRun = nullptr;               // a normal end (Quit), before the checks are
                                         // cleared: the settings are saved
  Proc discardRecovery = nullptr;        // a normal end in which the user decided about
                                         // every modified text: their recovery files go
};
void SetShellHooks(const ShellHooks& hooks);

// ---- Procedure variables for Quit and the platform's requests ----

// The number of modified texts; without one installed there are none.
using CountProc = std::int32_t (*)();
void SetModifiedCountProc(CountProc proc);
// Saves every modified text; the number of failures, or negative when the user
// cancelled. Without one installed saving fails.
void SetSaveModifiedProc(CountProc proc);
// Called when the user's log-on ends; without one nothing happens.
void SetShutdownRequestProc(Proc proc);
// The platform's request to end the user's session, answered before it returns: runs
// the shut-down-request procedure (Quit, with its questions and saving) and tells
// whether that decided to end the program (true: the platform may end it, and a Quit
// message follows) or the user kept it running. For a platform that asks from inside
// its own notification, where the way out of Quit must not unwind.
bool EndSessionRequest();

} // namespace Startup
