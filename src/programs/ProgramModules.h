// The standard modules that compiled programs import, as native modules of the program:
// InOut, RealInOut, MathLib0, Storage and Terminal as the language's library has them,
// and TextIO, the shell's formatted text input and output. Output and input go through
// TextIO, so they reach the current output terminal, or standard input and output in
// console mode.
//
// Sizes in memory, as compiled code lays them out: INTEGER and CARDINAL 4 bytes, REAL
// and LONGREAL 8 (IEEE double), BOOLEAN and CHAR 1, ADDRESS 8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "modules/NativeModules.h"

namespace ProgramModules {

// The line end character InOut reads and writes (EOL): what "enter" gives.
inline constexpr char kEol = 13;

// Every module above, in the order they are added.
std::vector<Native::ModuleSpec> Specs();
// Native::Add of each; the shell then enters them with Native::RegisterAll. EndRun
// becomes the machine's run-end procedure.
void AddAll();
// The arguments of the program that runs (the module Args): argument 0 is its name.
void SetArguments(std::vector<std::string> arguments);
const std::vector<std::string>& Arguments();
// Splits text into arguments: words between blanks, where a pair of quotes (" or ')
// groups what lies between them, blanks included. False, and arguments untouched, when
// a quote is not closed.
[[nodiscard]] bool SplitArguments(std::string_view text, std::vector<std::string>& arguments);

// What a run made goes when it ends: its macros, its dialogs, then the help that pointed
// at their items.
void EndRun();

} // namespace ProgramModules
