// The Modula-2 compiler: one entry compiles a text buffer (the shell's compile procedure
// and the --run mode call it), another a text given as a string.
//
// A definition module gives its symbol file, the Block buffer "NAME.sym" in the symbol
// directory, whose key is a digest of its contents. A program or implementation module
// gives its object module, the Block buffer "NAME.obj" in the object directory, in the
// module manager's format (made by the code generator, Backend.h).
//
// Imported definitions are found, in this order, as the symbol buffer "NAME.sym" in the
// symbol directory; as a module of the program itself (its definition text, with its
// fixed key); as a text buffer "NAME.def" in the store's current directory; as the host
// file "NAME.def" in the current host directory. A definition text found on the way is
// compiled, and its symbol file written into the symbol directory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/Ast.h"
#include "store/Buffer.h"

namespace Compiler {

struct Directories {
  Buffer::Ref symbols = nullptr; // where NAME.sym are looked up and written; nullptr: none
  Buffer::Ref objects = nullptr; // where NAME.obj is written; nullptr: not written
};

struct Result {
  bool ok = false;
  std::int32_t line = 1; // where the first error is (1-based)
  std::int32_t column = 1;
  std::string message; // the error in words, at most 79 characters; "" on success
  Ast::ModuleKind kind = Ast::ModuleKind::Program;
  std::string module;                   // the name of the module compiled
  std::vector<std::uint8_t> objectData; // the object module of a program or implementation
  std::vector<std::uint8_t> symbolData; // the symbol file of a definition
  Buffer::Ref object = nullptr;         // NAME.obj in the object directory, when written
  Buffer::Ref symbol = nullptr;         // NAME.sym in the symbol directory, when written
};

// Compiles the Text buffer; result.ok for a compilation without errors.
Result Compile(Buffer::Ref text, const Directories& dirs);
// As Compile, for a text given as a string.
Result CompileSource(std::string_view source, const Directories& dirs);
// The front end alone: the checked unit of the text (imports found as above), or nullptr
// with result telling the first error. A definition's symbol file is in
// result.symbolData but not written. For tests and for the code generator's own tests.
std::unique_ptr<Ast::CompilationUnit> Check(std::string_view source, const Directories& dirs,
                                            Result& result);

} // namespace Compiler
