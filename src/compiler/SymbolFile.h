// Symbol files: what a definition module exports, as the data of a Block buffer
// "NAME.sym". Little-endian, in this order:
//   "VSYM", version (16 bits), key (3 x 16 bits: the digest of everything after it),
//   module name, size of its variables (32 bits),
//   the modules whose types it refers to: name and the key it was compiled against,
//   its imports (FROM M IMPORT names / IMPORT M), which its implementation sees too,
//   its types: every type of its own reachable from its declarations, each referring
//     to others by module and number; a type refers only to types before it, except
//     that a pointer's base may come later (so the types form no cycle but through
//     pointers),
//   its declarations in order: constants, types, variables (offset) and procedures
//     (entry number).
// Names are a 16-bit length and the characters. Nothing may follow the declarations.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "compiler/Ast.h"
#include "compiler/Checker.h"

namespace SymbolFile {

inline constexpr std::uint16_t kVersion = 1;

// The symbol file of a checked definition module, whose own types get their numbers in
// it (ctx.typeTables). The key field holds the digest of the rest.
std::vector<std::uint8_t> Write(Check::Context& ctx, Ast::Module* module);
// The digest of bytes: three 16-bit words, never all zero. A symbol file's key is the
// digest of what follows the key field (from byte 12 on).
Ast::Key Digest(const std::uint8_t* data, std::size_t size);
// The key stored in symbol data (the digest Write computed); all zero when too short.
Ast::Key KeyOf(const std::vector<std::uint8_t>& data);
// The module the symbol data of module `name` describes, entered into ctx; the modules
// it refers to are loaded through ctx.load. Fails at pos ("symbol file of M is damaged",
// or a key that changed) for data that is not a well-formed symbol file of that module.
Ast::Module* Read(Check::Context& ctx, std::string_view name, const std::uint8_t* data,
                  std::size_t size, Ast::Pos pos);

} // namespace SymbolFile
