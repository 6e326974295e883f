// The checker: turns the syntax tree of a compilation unit into the checked tree of Ast.h.
// Internal to the compiler; the driver (Compiler.cpp) and the symbol files use it.
//
// Names are entered into their scopes before anything is resolved, and each declaration
// is resolved when the walk in text order reaches it or, earlier, when something refers
// to it; so procedures (and everything else) may be used before they are declared, while
// a declaration that depends on itself is an error. Pointer base types are resolved at
// the end of their declaration sequence, which allows POINTER TO T before T.
//
// Where the language leaves room, the checker takes the reading programs rely on: the
// names a definition module imports are visible in its implementation; importing an
// enumeration type's name imports its constants (they yield to names declared there);
// a subrange of plain number bounds ([0..9]) mixes with every integer type; the integer
// types are assignment compatible among each other, and so are REAL and LONGREAL; a
// string constant passed to an ARRAY OF CHAR carries its terminating 0 in its HIGH.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compiler/Arena.h"
#include "compiler/Ast.h"
#include "compiler/Syntax.h"

namespace Check {

using Ast::Pos;
using Syntax::Node;
using Int = __int128;

// The error that ends a compilation; thrown inside the front end, caught by the driver.
struct Failure {
  Pos pos;
  std::string message;
};
[[noreturn]] void Fail(Pos pos, std::string message);

struct Scope;

enum class SymState : std::uint8_t { Unresolved, Resolving, Resolved };

// A name's entry: the declaration and, until it is resolved, where it was declared.
struct Sym {
  Ast::Decl* decl = nullptr;
  Node* node = nullptr;   // the declaration's syntax (for a variable its VarDecl)
  Scope* scope = nullptr; // the scope its declaration is resolved in
  SymState state = SymState::Resolved;
  bool completesOpaque = false;      // an implementation's TYPE T = ... for an opaque T
  bool implementsDefinition = false; // an implementation's PROCEDURE P of its definition
  bool implicit = false;             // an enumeration constant that came with its type's name
};

struct StdProcDecl : Ast::Decl {
  Ast::StdProc which;
  explicit StdProcDecl(Ast::StdProc w) : Decl(Ast::DeclKind::StdProc), which(w) {}
};

enum class ScopeKind : std::uint8_t { Universe, Module, Procedure };

struct Scope {
  ScopeKind kind = ScopeKind::Module;
  Scope* outer = nullptr;         // procedures: the enclosing scope; modules: nullptr (closed)
  Ast::Module* module = nullptr;  // the module of this scope or of the enclosing one
  Ast::Procedure* proc = nullptr; // the innermost procedure; nullptr at module level
  std::unordered_map<const char*, Sym*> names;
  // A local module: the names it exports (all of them for an imported module's scope).
  std::unordered_map<const char*, Sym*> exports;
  bool exportsAll = false;
};

// An import of a definition module, kept so that its implementation sees the same names:
// FROM module IMPORT names, or IMPORT module (names empty, whole true).
struct ImportClause {
  std::string_view module;
  bool whole = false;
  std::vector<std::string_view> names;
  Pos pos;
};

// What the front end shares across the compilation of a unit and the definitions it
// imports: the arena, the built-in types, the modules loaded so far.
struct Context {
  Ast::Arena* arena = nullptr;
  Ast::CompilationUnit* unit = nullptr; // the unit being compiled (its built-in types)
  Scope universe;
  Scope systemScope;
  Ast::Module* system = nullptr;
  std::unordered_map<std::string_view, Ast::Module*> modules; // by name, loaded
  std::unordered_map<const Ast::Module*, Scope*> moduleScopes;
  std::vector<std::string_view> loading; // definitions being loaded, for cycles
  std::unordered_map<const Ast::Module*, std::vector<ImportClause>> definitionImports;
  // The own types of each definition module by their number in its symbol file.
  std::unordered_map<const Ast::Module*, std::vector<Ast::Type*>> typeTables;
  // Finds and loads the definition of a module (symbol file, the program's own module,
  // definition text), or fails at pos. Installed by the driver.
  std::function<Ast::Module*(std::string_view name, Pos pos)> load;
  Ast::Type* zz = nullptr;
  Ast::Type* rr = nullptr;
  Ast::Type* nil = nullptr;
  Ast::Type* bitsetElement = nullptr;                   // [0..31], the elements of BITSET
  std::unordered_map<std::int64_t, Ast::Type*> strings; // String types by length
};

// Builds the universe, SYSTEM and the built-in types into unit and context.
void InitContext(Context& ctx, Ast::CompilationUnit& unit);
// The scope of names a unit-level module exports (built once per module).
Scope* ExportScope(Context& ctx, Ast::Module* module);
// The type of string constants of that length.
Ast::Type* StringType(Context& ctx, std::int64_t length);

// Checks the parsed unit `root`: its module with its declarations; a program or
// implementation module also completes `unit` (nullptr for a definition compiled for an
// import). Fails (throws Failure) at the first error.
Ast::Module* CheckUnit(Context& ctx, Node* root, Ast::CompilationUnit* unit);

// Layout and descriptions.
void LayoutRecordEnd(Ast::Type* t);
std::int32_t SetSize(std::int64_t elements);
std::string TypeName(const Ast::Type* t);
// The error of a value of type source where target is wanted, after site ("type mismatch
// in argument 2: "): both types, or, when they read the same, why they still differ.
std::string Mismatch(const std::string& site, const Ast::Type* target, const Ast::Type* source,
                     bool isVar = false);
Int OrdOf(const Ast::Type* t, std::int64_t bits); // a value's bits as its type reads them
Int LowOf(const Ast::Type* t);
Int HighOf(const Ast::Type* t);
// A whole number in decimal, as messages and type descriptions show it.
std::string IntText(Int v);

} // namespace Check
