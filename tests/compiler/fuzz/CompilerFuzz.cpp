// Compiles arbitrary text with the code generator: never a crash or a hang; an error has
// a place and a message of at most 79 characters; the object of every program and
// implementation module that compiles passes the module manager's checks and installs.
// Seeds: seeds/compiler_fuzz (structured function results, type transfers, value
// parameters whose actuals change, chains of operators).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "compiler/Compiler.h"
#include "shell/Modules.h"
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
  if (result.ok && result.object != nullptr) {
    Buffer::Ref library = Buffer::Create("/Fuzz", Buffer::BufferKind::Library);
    if (Modules::Install(library, result.object) == nullptr) std::abort();
    Buffer::Delete(library);
    Buffer::Delete(result.object);
  }
  if (result.symbol != nullptr) Buffer::Delete(result.symbol);
  return 0;
}
