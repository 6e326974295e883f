// The code generator's entry: the front end hands it a checked program or implementation
// module (Ast.h) and receives the object module in the module manager's format
// (modules/Modules.h). The front end's stub (BackendStub.cpp) only reports that code
// generation is not available; the virtual machine's code generator replaces it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/Ast.h"

namespace Backend {

struct Result {
  Ast::Pos pos;                     // where the error is; line 0 for none in particular
  std::string message;              // what went wrong, at most 79 characters
  std::vector<std::uint8_t> object; // the object module
};

// Generates the object module of unit (kind Program or Implementation); false, with
// result.pos and result.message, when it cannot.
bool Generate(const Ast::CompilationUnit& unit, Result& result);

} // namespace Backend
