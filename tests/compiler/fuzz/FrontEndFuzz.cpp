// Compiles arbitrary text: the result is a unit or an error with a place and a message of
// at most 79 characters, never a crash or a hang. A definition that compiles must be
// importable from the symbol file it left. Built with the code generator (the target
// compiler_fuzz, seeded from seeds/compiler_fuzz), every object the compiler writes must
// pass the module manager's checks and install; the front end's own target has none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "compiler/Compiler.h"
#include "modules/Modules.h"
#include "store/Buffer.h"

namespace {

Compiler::Directories Setup() {
  Buffer::Init();
  Buffer::ShellTree tree;
  if (!Buffer::ShellStart(tree)) std::abort();
  return {tree.symbol, tree.object};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Compiler::Directories dirs = Setup();
  if (size > 1 << 16) return 0;
  const std::string source(reinterpret_cast<const char*>(data), size);
  Compiler::Result result = Compiler::CompileSource(source, dirs);
  if (result.message.size() > 79 || result.line < 1 || result.column < 1) std::abort();
  if (result.object != nullptr) {
    Buffer::Ref library = Buffer::Create("/Fuzz", Buffer::BufferKind::Library);
    if (Modules::Install(library, result.object) == nullptr) std::abort();
    Buffer::Delete(library);
    Buffer::Delete(result.object);
  }
  if (result.ok && result.kind == Ast::ModuleKind::Definition) {
    Compiler::Result use;
    auto unit = Compiler::Check("MODULE U; IMPORT " + result.module + "; END U.", dirs, use);
    if (unit == nullptr) std::abort();
    Buffer::Ref sym = Buffer::Find("/Symbol/" + result.module + ".sym");
    Buffer::Delete(sym);
  }
  return 0;
}
