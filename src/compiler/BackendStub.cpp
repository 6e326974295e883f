// The code generator's place while there is none: every program checks, nothing runs.
#include "compiler/Backend.h"

namespace Backend {

bool Generate(const Ast::CompilationUnit& unit, Result& result) {
  result.pos = unit.module != nullptr ? unit.module->pos : Ast::Pos{1, 1};
  result.message = "code generation not available";
  return false;
}

} // namespace Backend
