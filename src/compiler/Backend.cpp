// The code generator behind the front end's entry: the machine's code (Codegen.h) in the
// module manager's object format.
#include "compiler/Backend.h"

#include "compiler/Codegen.h"
#include "vm/Object.h"

namespace Backend {

bool Generate(const Ast::CompilationUnit& unit, Result& result) {
  Object::Module m;
  const Codegen::Result r = Codegen::Generate(unit, Codegen::SourcePath(), m);
  if (!r.ok) {
    result.pos = r.pos;
    result.message = r.message.substr(0, 79);
    return false;
  }
  result.object = Object::Write(m);
  if (result.object.empty()) {
    result.pos = unit.module->endPos;
    result.message = "module too large for an object module (split the module)";
    return false;
  }
  return true;
}

} // namespace Backend
