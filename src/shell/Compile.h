// Compiling, loading and running. The compiler is a component of its own: the shell
// talks to it through the compiler interface (module-level fields and one compile
// procedure) and works without it. A successful compilation of a program or
// implementation module leaves an object module, which is installed into the current
// library; the body of a Ready module of the system library can be run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Chars.h"
#include "modules/Modules.h"
#include "store/Buffer.h"

namespace Compile {

using base::Chars;

// Compiles the source text; true for a compilation without errors.
using CompileProc = bool (*)(Buffer::Ref source);

struct CompilerInterface {
  bool available = false;                // a compiler is present
  Buffer::Ref symbolDirectory = nullptr; // set by the shell before each compilation
  Buffer::Ref objectDirectory = nullptr;
  Buffer::Ref object = nullptr; // the object of the last compilation; nullptr when none
  std::int32_t errorLine = 1;   // where the first error is
  std::int32_t errorColumn = 1;
  char message[81] = "Compiler not implemented."; // the outcome in words
  std::uint8_t option = 0;                        // the compiler's own; not read here
  std::uint32_t word = 0;
  CompileProc compile = nullptr; // nullptr: the built-in one, which only says so
};

// The interface; Reset puts it into its start state.
CompilerInterface& Interface();
void Reset();

// Runs a body: compiled code through the runner the virtual machine installs, a body of
// the program's own modules directly.
using CodeRunner = void (*)(Modules::Ref module, Modules::Address entry);
void SetCodeRunner(CodeRunner runner);

// The names in the import records of an object module (either form); none when the data
// is too short for them.
std::vector<std::string> ImportsOf(const std::uint8_t* data, std::size_t size);
// The modules a module waits for, directly or through the modules it imports: imports
// that are not loaded or do not match its key, in the order met.
std::vector<std::string> MissingImports(Modules::Ref module);

// Compiles the editor's current buffer; on failure the cursor goes to the error and the
// message line says what is wrong. True on success.
bool CompileBuffer();
// CompileBuffer, then installs the object into the current library (F12 outside the
// command text). Before it installs an object, each of its imports that is not loaded, or
// was compiled from a text that changed since, is compiled and installed first (and
// theirs before them): from the text NAME.mod of the store's current directory, else from
// the host file NAME.mod of the current host directory, loaded as a text. An error in one
// shows in its text.
void CompileAndLoad();
// CompileBuffer, then installs the object and runs the module (F12 in the command text);
// a module that is not ready names what it needs.
void CompileAndRun();
// Runs the body of a Ready module of the system library (the execute command); false,
// with the execute command's message, when there is none of that name or it is not
// ready.
bool RunModule(Chars name);
// The arguments of the next program RunModule runs (the args command); that run takes
// them, and every later one runs without until they are set again.
void SetNextArguments(std::vector<std::string> arguments);
// Calls body with the shell prepared for a run (the running flag set, the editor's
// state saved) and restores the shell afterwards; a body that runs inside another run
// is called directly.
void RunBody(const std::function<void()>& body);
bool Running();
// Shows in the menus whether a body runs and which module Execute runs; installed by the
// menus, called when either changes.
void SetMenuProc(void (*proc)(bool running));
// The module to execute (the Module menu's Execute): the one a compilation installed or
// RunModule ran last, "" before either.
void ModuleToExecute(base::VarChars name);
void SetModuleToExecute(Chars name);

// The comp command's work: compiles the text at path and installs its object, with the
// comp command's messages.
void CompileNamed(Chars path);

// Installs F12 into the editor: CompileAndRun on the command text, CompileAndLoad on
// any other text.
void InstallFunctionKey();
// The text in front with the cursor on line (cut to the text): where a trap or a stop
// happened.
void ShowLine(Buffer::Ref text, std::int32_t line);
// A run ended in a trap at line of the text at path (a buffer of the store): the next
// F12 puts the cursor on that line instead of compiling. An empty path forgets it.
void SetTrapPosition(Chars path, std::int32_t line);

} // namespace Compile
