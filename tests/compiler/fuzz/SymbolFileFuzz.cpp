// Reads arbitrary bytes as the symbol file of a module an importer names: the result is
// a unit or an error, never a crash. A valid symbol file of another module lies beside
// it, so that references to a second module can resolve. The key field is set to the
// digest of the rest, so that the reader's checks beyond the digest are reached.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "compiler/Compiler.h"
#include "compiler/SymbolFile.h"
#include "store/Buffer.h"

namespace {

Compiler::Directories Setup() {
  Buffer::Init();
  Buffer::ShellTree tree;
  if (!Buffer::ShellStart(tree)) std::abort();
  const Compiler::Directories dirs{tree.symbol, tree.object};
  const Compiler::Result base = Compiler::CompileSource(
      "DEFINITION MODULE Base; TYPE T = RECORD a: CHAR; n: POINTER TO T END;"
      " Color = (red, green); VAR v: T; PROCEDURE P(x: ARRAY OF T): Color; END Base.",
      dirs);
  if (!base.ok) std::abort();
  return dirs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Compiler::Directories dirs = Setup();
  if (size > 1 << 16) return 0;
  Buffer::Ref sym = Buffer::Create("/Symbol/F.sym", Buffer::BufferKind::Block);
  if (size > 0) {
    auto* bytes = static_cast<std::uint8_t*>(Buffer::AllocateData(sym, std::int32_t(size)));
    std::memcpy(bytes, data, size);
    if (size >= 12) {
      const Ast::Key key = SymbolFile::Digest(bytes + 12, size - 12);
      for (int i = 0; i < 3; ++i) {
        bytes[6 + 2 * i] = std::uint8_t(key.word[i]);
        bytes[7 + 2 * i] = std::uint8_t(key.word[i] >> 8);
      }
    }
  }
  Compiler::Result result;
  auto unit = Compiler::Check("MODULE U; IMPORT F, Base; END U.", dirs, result);
  if ((unit == nullptr) == result.ok || result.message.size() > 79) std::abort();
  Buffer::Delete(sym);
  return 0;
}
