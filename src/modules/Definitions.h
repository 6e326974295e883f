// The definition modules of the program's own modules (InOut, Dialog, c, ...): the files
// NAME.def of the folder lib/, built into the executable, where the compiler reads them,
// and installed beside it, where the user reads them (Help > Library Modules).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Definitions {

// The text of the definition module of that name, or nullptr when there is none.
const char* Text(std::string_view module);
// The names of the modules with a definition, in name order (SYSTEM's included, which
// the compiler knows itself: its file only says what it holds).
std::vector<std::string_view> Names();
// The folder of the files NAME.def: in the install tree beside the executable
// (../share/velmarin/defs), else the source tree's lib/ (a run from the build); "" when
// neither is there.
std::string Folder();
// The text of the file NAME.def of Folder(), or the built-in one when there is no such
// file; "" for a module without a definition.
std::string FileText(std::string_view module);

} // namespace Definitions
