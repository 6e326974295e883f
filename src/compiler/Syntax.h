// The syntax tree the parser builds and the checker reads: one node shape for every
// construct, names not yet resolved. The comment of each kind says what its fields hold;
// lists are chained through `next` (nullptr is the empty list).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "compiler/Arena.h"
#include "compiler/Ast.h"

namespace Syntax {

enum class K : std::uint8_t {
  // Expressions and designators.
  Ident,   // name
  Select,  // a.name: a field or a name of module a
  Index,   // a[b...]: b the list of index expressions
  Deref,   // a^
  Call,    // a(b...): b the arguments
  Number,  // value (flag 1: too large for LONGINT)
  Real,    // real
  CharLit, // value
  String,  // name: the characters
  SetCons, // a{b...}: a the type (or nullptr), b the elements (expressions or Range)
  Range,   // a..b (set elements, CASE labels)
  Binary,  // a op b (op: a Scanner::Tok)
  Unary,   // op a (op: Tok::Minus, Tok::Plus or Tok::Not)
  // Types.
  Enum,        // a: the list of Ident
  Subrange,    // [a..b], c the base type (or nullptr)
  ArrayType,   // ARRAY a... OF b: a the list of index types
  RecordType,  // a: the list of FieldList and Variants
  FieldList,   // a: the list of Ident, b the type
  Variants,    // CASE name: a OF b... ELSE c END (name may be empty; b the list of Variant)
  Variant,     // a: the labels, b the field lists
  SetType,     // SET OF a
  PointerType, // POINTER TO a
  ProcType,    // PROCEDURE (a...): b; a the list of FormalType (flag 1: parentheses given)
  FormalType,  // [VAR] [ARRAY OF] a: flag 1 VAR, flag 2 ARRAY OF
  // Declarations.
  ConstDecl,  // name = a
  TypeDecl,   // name = a (a nullptr: opaque)
  VarDecl,    // a: the list of Ident, b the type
  ProcDecl,   // name, a: the list of Section, b the result type, c the declarations, d
              // the body; flag 1: a body (BEGIN or END follows the heading), flag 2:
              // parentheses given; end: the END
  Section,    // a: the list of Ident, b a FormalType; flag 1 VAR
  ModuleDecl, // name, a: the imports, b the export (or nullptr), c the declarations, d
              // the body, e the priority (or nullptr); op: Ast::ModuleKind; end: END
  Import,     // FROM name IMPORT a... (name empty for IMPORT a...)
  Export,     // a: the list of Ident; flag 1 QUALIFIED
  // Statements.
  Assign,   // a := b
  CallStmt, // a (a designator or a Call)
  If,       // a: the list of Arm, b the ELSE statements; flag 1: ELSE given
  Arm,      // a: condition or labels, b the statements
  Case,     // CASE a OF b... ELSE c END; flag 1: ELSE given
  While,    // a, b
  Repeat,   // b statements, a condition
  For,      // FOR name := a TO b BY c DO d
  Loop,     // b
  Exit,
  Return, // a or nullptr
  With,   // WITH a DO b
};

struct Node {
  K kind;
  std::uint8_t op = 0;
  std::uint8_t flag = 0;
  std::uint16_t height = 1; // expressions: the depth of the tree below, this node included
  Ast::Pos pos;
  Ast::Pos end;
  std::string_view name;
  Node* a = nullptr;
  Node* b = nullptr;
  Node* c = nullptr;
  Node* d = nullptr;
  Node* e = nullptr;
  Node* next = nullptr;
  std::uint64_t value = 0;
  double real = 0.0;

  Node(K k, Ast::Pos p) : kind(k), pos(p) {}
};

// The error that ends a compilation: where and what, in the programmer's words.
struct Error {
  Ast::Pos pos;
  std::string message;
};

// Parses a whole compilation unit (program, definition or implementation module).
// nullptr with error filled when the text is not one.
Node* Parse(std::string_view source, Ast::Arena& arena, Error& error);

} // namespace Syntax
