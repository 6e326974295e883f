// The program's own modules as compiled code sees them. Each is a definition text, from
// which the compiler reads the module's symbols, and native procedures behind a table
// that the module manager enters into the system library as an External module.
//
// The table is laid out as a compiled module's: entry 0 the body, entries 1..P-1 the
// procedures in the order the definition text declares them, then the import slots (one,
// slot 0, holding the table itself). Its 28-byte descriptor lies directly before it, and
// bit 0 of the descriptor's flag word marks the table as native: every procedure entry
// then holds the address of a `Native::Procedure`, not of compiled code.
//
// Exported variables. The variables a definition module declares lie in one block
// directly before the module's 28-byte descriptor, for compiled and native modules
// alike: in the order declared, each at its natural alignment (its size, at most 8),
// the block's size rounded up to a multiple of 8. Compiled code reaches variable k of an
// imported module at (imported table) - 28 - (block size) + (offset of k); a compiled
// implementation module puts that block at the end of its variables.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Chars.h"
#include "modules/Modules.h"
#include "store/Buffer.h"

namespace Native {

// A call from compiled code. The parameters are 8-byte words in the order of the
// procedure heading: a scalar value parameter holds its value (a real its bits), a VAR
// parameter or a structured value parameter its address, an open array its address
// followed by its highest index. A function puts its result into `result`.
struct Call {
  std::uint64_t* args = nullptr;
  std::int32_t count = 0;
  std::uint64_t result = 0;

  // The open array of characters starting at parameter word i.
  base::Chars Text(std::int32_t i) const {
    return base::Chars(reinterpret_cast<const char*>(args[i]),
                       static_cast<std::size_t>(args[i + 1]));
  }
  base::VarChars VarText(std::int32_t i) const {
    return base::VarChars(reinterpret_cast<char*>(args[i]), static_cast<std::size_t>(args[i + 1]));
  }
};
using Proc = void (*)(Call& call);

// The parameter words that the kinds of a procedure's parameters take (see Procedure).
constexpr std::int32_t WordsOf(const char* kinds) {
  std::int32_t words = 0;
  for (const char* k = kinds; *k != 0 && *k != ':'; ++k) words += *k == 'a' || *k == 'A' ? 2 : 1;
  return words;
}

struct Procedure {
  const char* name = "";
  Proc proc = nullptr;
  std::int32_t words = 0; // parameter words it takes
  // Its parameters as its code reads them, a letter each: v a scalar value, r a real
  // value, s a structured value (its address), V a VAR parameter, a an open array
  // (address and HIGH), A a VAR open array; then, for a function, ":" and v or r for its
  // result. nullptr when not said (the tests' own modules).
  const char* kinds = nullptr;
  // What translated code may compute itself in place of the call: the same result to the
  // bit, and the call made wherever the procedure would trap.
  enum class Inline : std::uint8_t { None, SquareRoot };
  Inline inlined = Inline::None;

  constexpr Procedure() = default;
  constexpr Procedure(const char* n, Proc p, std::int32_t w) : name(n), proc(p), words(w) {}
  constexpr Procedure(const char* n, Proc p, const char* k, Inline i = Inline::None)
      : name(n), proc(p), words(WordsOf(k)), kinds(k), inlined(i) {}
};

// A constant the native code relies on, with the value the definition must give it.
struct Constant {
  const char* name;
  std::int64_t value;
};

// One module of the program: name (at most 16 characters), its fixed key (never all
// zero), its definition text, and its procedures in the order the text declares them.
struct ModuleSpec {
  const char* name;
  Modules::Key key;
  const char* definition;
  std::vector<Procedure> procedures;
  Proc body = nullptr;               // the module's body; nullptr: nothing to run
  std::int32_t variableBytes = 0;    // the block of exported variables, a multiple of 8
  std::vector<Constant> constants{}; // every constant its definition declares
};

inline constexpr std::uint16_t kNativeFlag = 0x0001;

// Adds a module of the program to those RegisterAll enters; a second one of the same
// name replaces the first.
void Add(const ModuleSpec& spec);
// The module of the program with that name, or nullptr.
const ModuleSpec* Find(base::Chars name);
// Every module of the program added so far, in the order they were added.
std::vector<const ModuleSpec*> All();
// Builds the descriptor and table of every module added so far (once each) and enters
// them as External modules of library; false when one could not be entered.
bool RegisterAll(Buffer::Ref library);
// The block of exported variables of a module of the program (zero-filled when built),
// or nullptr before RegisterAll or for a module without variables.
std::uint8_t* Variables(base::Chars name);
// Whether the table (of a module in a library) is a native one.
bool IsNative(const std::uint8_t* table);
// The native procedure an entry of a native table designates, or nullptr.
const Procedure* ProcedureOf(Modules::Address entry);

} // namespace Native
