// The checked syntax tree of one compilation unit: what the front end hands to the code
// generator. Every name is resolved to its declaration, every expression has its type,
// implicit conversions are explicit nodes, constant expressions are folded to values,
// and every type knows its size, alignment and layout. Nothing here needs the source
// text or a symbol table to be understood.
//
// How to walk a checked unit (Backend::Generate receives one of kind Program or
// Implementation; a Definition unit produces a symbol file and no code):
//
//   unit.module                 the unit's module: its variables, procedures, local
//                               modules and body (Module below)
//   unit.imports[i]             the module in import slot i + 1 (slot 0 is the unit's
//                               own table): name and key for the object's import records
//   unit.procedures[n]          every procedure of the unit by entry number n >= 1, nested
//                               ones and those of local modules included; [0] is nullptr
//                               (entry 0 is the module body)
//   unit.dataSize               bytes of the unit's global variables (local modules' too)
//   unit.key                    the key the object carries (zero for a program module)
//
//   A body (Module::body, Procedure::body) is a StmtList. Switch on Stmt::kind and
//   static_cast to the struct its enumerator names; the same for Expr::kind. Before a
//   module's body, the bodies of its local modules run in the order of localModules; a
//   procedure runs the bodies of the local modules declared in it (Procedure::
//   localModules) before its own statements.
//
// Data layout, fixed for the front end, the code generator and the native modules:
// BOOLEAN 1 byte (FALSE 0, TRUE 1); CHAR 1 (Latin-1); enumerations 1 byte (2 beyond 256
// values); subranges as their base; INTEGER, CARDINAL 4; LONGINT, LONGCARD 8; REAL,
// LONGREAL 8 (IEEE double); BITSET 4; SET OF T 4 bytes up to 32 elements, 8 up to 64,
// else ceil(n / 8) rounded up to a multiple of 8 (at most 256 elements, 32 bytes); the
// element e is bit k = ORD(e) - Type::low of the set, bit k mod 8 of byte k div 8, so a
// small set is a little-endian 32- or 64-bit word; POINTER, ADDRESS, procedure and opaque
// types 8; WORD 4, BYTE 1. Alignment: natural (the size, at most 8); arrays as their
// element; records as their most aligned field, fields in order at their alignment, the
// size rounded up to the alignment; the variants of a variant part share one offset. An
// open array parameter is passed as its address and its HIGH (two 8-byte words).
//
// Arithmetic the generated code must match (constant folding uses the same rules):
// DIV and MOD are Euclidean: x MOD y is in 0 .. |y| - 1 and x = (x DIV y) * y + x MOD y
// (x = -7, y = 2: DIV -4, MOD 1; x = 7, y = -2: DIV -3, MOD 1; the text -7 DIV 2 means
// -(7 DIV 2)); a zero divisor is a run-time error.
// Conversions from a real to an integer type truncate toward zero.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "modules/Modules.h"

namespace Ast {

struct Type;
struct Decl;
struct ConstDecl;
struct TypeDecl;
struct Variable;
struct Procedure;
struct Module;
struct Field;
struct Expr;
struct Stmt;
struct Loop;
struct With;
class Arena;

using Key = Modules::Key;
using StmtList = std::vector<Stmt*>;

// A place in the source text; both 1-based (the column counts bytes, a tab is one).
struct Pos {
  std::int32_t line = 0;
  std::int32_t column = 0;
};

// ---------------------------------------------------------------------------------------
// Values of constants

// A folded constant. Ordinal values (integers, CHAR, BOOLEAN, enumerations), addresses
// and NIL (0) are in `i`; for CARDINAL and LONGCARD `i` holds the bits of the unsigned
// value. Reals are in `r`. Sets are in `set`: bit k of the set is bit k mod 64 of
// set[k div 64].
struct Value {
  std::int64_t i = 0;
  double r = 0.0;
  std::uint64_t set[4] = {0, 0, 0, 0};
};

// ---------------------------------------------------------------------------------------
// Types

enum class TypeKind : std::uint8_t {
  Boolean,
  Char,
  Integer,  // 32-bit signed
  Cardinal, // 32-bit unsigned
  LongInt,  // 64-bit signed
  LongCard, // 64-bit unsigned
  Real,     // 64-bit IEEE
  LongReal, // 64-bit IEEE
  Bitset,   // SET OF [0..31]
  Word,     // SYSTEM.WORD, 4 bytes
  Byte,     // SYSTEM.BYTE, 1 byte
  Address,  // SYSTEM.ADDRESS, 8 bytes, unsigned arithmetic
  Enumeration,
  Subrange,
  Set,
  Array,
  OpenArray, // ARRAY OF element: only as the type of a formal parameter
  Record,
  Pointer,
  Opaque, // declared in a definition module, defined elsewhere; a pointer's 8 bytes
  Procedure,
  // The types of constants before they meet a context. The checked tree's expressions
  // never have Nil, ZZ or RR types (a constant takes the type its use requires); a
  // StringLit has a String type.
  Nil,    // NIL
  String, // a string constant of `length` characters
  ZZ,     // an integer constant that fits INTEGER, CARDINAL, LONGINT or LONGCARD
  RR,     // a real constant
};

// One formal parameter of a procedure type.
struct Param {
  Type* type = nullptr; // an OpenArray type for an open array parameter
  bool isVar = false;
};

struct Type {
  TypeKind kind;
  std::int32_t size = 0;  // bytes
  std::int32_t align = 1; // bytes
  std::string_view name;  // the name it was declared with ("" for an anonymous type)
  Module* home = nullptr; // the compilation-unit module that declared it; nullptr: built in

  // Subrange: the base type (an ordinal type). Pointer: the type pointed to. Set: the
  // element type. Array and OpenArray: the element type.
  Type* base = nullptr;
  // Array: the index type (an ordinal type: subrange, enumeration, CHAR or BOOLEAN).
  Type* index = nullptr;
  // Ordinal range. Boolean 0..1, Char 0..255, Integer, Cardinal, LongInt and LongCard
  // their ranges (the unsigned maxima as bits), Enumeration 0..count-1, Subrange its
  // bounds. Array: the bounds of the index. Set and Bitset: the range of the elements
  // (bit k is element low + k).
  std::int64_t low = 0;
  std::int64_t high = 0;
  // Array: the number of elements. String: the characters, without a terminating 0.
  std::int64_t length = 0;
  // Enumeration: its constants in order of value.
  std::vector<ConstDecl*> constants;
  // Record: every field in declaration order, the fields of variant parts and their tag
  // fields included; fields of different variants may share offsets.
  std::vector<Field*> fields;
  // Procedure: the formal parameters in order and the result (nullptr for a proper
  // procedure). PROC is a Procedure type without parameters and result.
  std::vector<Param> params;
  Type* result = nullptr;

  // Subrange: its bounds were constants of no particular integer type ([0..9]), so it
  // mixes in expressions with every integer type (its base is INTEGER for a negative low
  // bound, CARDINAL otherwise).
  bool untypedBounds = false;
  // Symbol-file bookkeeping of the front end: the type's number in its home module.
  std::int32_t homeIndex = -1;

  explicit Type(TypeKind k) : kind(k) {}
};

struct Field {
  std::string_view name;
  Type* type = nullptr;
  std::int32_t offset = 0; // from the start of the record
  Pos pos;
};

// ---------------------------------------------------------------------------------------
// Declarations

enum class DeclKind : std::uint8_t { Const, Type, Var, Proc, Module, StdProc };

struct Decl {
  DeclKind kind;
  std::string_view name;
  Pos pos;
  // The compilation-unit module the declaration belongs to: the unit's own module or an
  // imported one (declarations of local modules belong to the unit's module).
  Module* module = nullptr;
  bool exported = false; // declared in a definition module or exported by a local module

  Decl(DeclKind k) : kind(k) {}
};

struct ConstDecl : Decl {
  Type* type = nullptr; // may be ZZ, RR, Nil or String
  Value value;
  std::string_view text; // the characters of a string constant
  ConstDecl() : Decl(DeclKind::Const) {}
};

struct TypeDecl : Decl {
  Type* type = nullptr;
  TypeDecl() : Decl(DeclKind::Type) {}
};

enum class VarKind : std::uint8_t {
  Global,   // in the data of `module` (a unit-level or local module outside procedures)
  Local,    // in the frame of `proc` (also variables of local modules declared in proc)
  Param,    // a value parameter of `proc`
  VarParam, // a VAR parameter of `proc`: the word holds the variable's address
};

struct Variable : Decl {
  Type* type = nullptr; // an OpenArray type for an open array parameter (value or VAR)
  VarKind varKind = VarKind::Global;
  Procedure* proc = nullptr; // the procedure whose frame holds it; nullptr for Global
  // Global: offset in the data of `module` (for an implementation module the variables of
  // its definition come first, at the offsets the definition gave them). Local: offset in
  // the procedure's local area (Procedure::localSize). Parameters: the number of the
  // parameter's first 8-byte word (an open array takes two: address, then HIGH; a VAR
  // parameter or a structured value parameter one: its address; a scalar value parameter
  // one: its value). The code generator may lay frames out differently.
  std::int32_t offset = 0;
  Variable() : Decl(DeclKind::Var) {}

  bool IsOpenArray() const;
};

struct Procedure : Decl {
  Type* type = nullptr; // its procedure type: parameters and result
  std::vector<Variable*> params;
  // Its local variables in declaration order, those of local modules declared in it
  // included (their lifetime is the procedure's activation).
  std::vector<Variable*> locals;
  std::vector<Procedure*> nested;    // procedures declared directly in it
  std::vector<Module*> localModules; // their bodies run at entry, in this order
  StmtList body;
  Procedure* outer = nullptr; // the enclosing procedure; nullptr at level 0
  // 0 for a procedure of a module (local modules outside procedures included), 1 inside
  // a level-0 procedure, and so on. Only level-0 procedures may be procedure values.
  std::int32_t level = 0;
  // Its entry in its module's table: the exported procedures of a definition are
  // 1, 2, ... in the order the definition declares them, an implementation module numbers
  // its other procedures after those, a program module all of its own from 1; text order.
  std::int32_t number = 0;
  std::int32_t localSize = 0;  // bytes of `locals` at their offsets
  std::int32_t paramWords = 0; // 8-byte words of the parameters
  bool imported = false;       // declared by an imported module: no body here
  Pos endPos;                  // the END of the body (a function that reaches it traps)
  Procedure() : Decl(DeclKind::Proc) {}

  Type* Result() const { return type != nullptr ? type->result : nullptr; }
};

enum class ModuleKind : std::uint8_t { Program, Definition, Implementation, Local, System };

struct Module : Decl {
  ModuleKind moduleKind = ModuleKind::Program;
  // Unit-level modules: the key (imported: the one this compilation was made against;
  // the unit's own: its definition's key for an implementation module, zero for a program
  // module). The import slot: 0 for the unit's own module, 1.. for the modules in
  // CompilationUnit::imports, -1 for a module known only through another's symbols.
  Key key{{0, 0, 0}};
  std::int32_t slot = -1;
  std::vector<Decl*> decls;           // its declarations in order (exports of definitions)
  std::vector<Variable*> variables;   // declared directly in it
  std::vector<Procedure*> procedures; // declared directly in it
  std::vector<Module*> localModules;  // declared directly in it; bodies run in this order
  StmtList body;
  Pos endPos;                 // the END of the module
  Procedure* proc = nullptr;  // a local module declared in a procedure: that procedure
  std::int32_t dataSize = 0;  // unit-level: bytes of global variables
  std::int64_t priority = -1; // MODULE M [priority]; -1 when none is given
  Module() : Decl(DeclKind::Module) {}
};

// ---------------------------------------------------------------------------------------
// Expressions

enum class ExprKind : std::uint8_t {
  Literal,   // Literal: a folded constant of any scalar or set type
  String,    // StringLit: a string constant
  Set,       // SetExpr: a set constructor with elements computed at run time
  ProcValue, // ProcValue: a procedure as a value (a level-0 procedure)
  Var,       // VarRef: a variable (designator)
  Field,     // FieldRef: record.field (designator)
  Index,     // IndexRef: array[index] (designator)
  Deref,     // DerefRef: pointer^ (designator)
  WithRec,   // WithRef: the record a WITH statement designates (designator)
  Unary,     // Unary
  Binary,    // Binary
  Convert,   // Convert: value conversion or type transfer
  Call,      // CallExpr: a function procedure call
  StdFunc,   // StdFunc: a standard function that is not folded
};

struct Expr {
  ExprKind kind;
  Type* type = nullptr; // never Nil, ZZ or RR
  Pos pos;
  Expr(ExprKind k) : kind(k) {}

  // Variables, fields, elements, dereferenced pointers and WITH records.
  bool IsDesignator() const {
    return kind == ExprKind::Var || kind == ExprKind::Field || kind == ExprKind::Index ||
           kind == ExprKind::Deref || kind == ExprKind::WithRec;
  }
};

struct Literal : Expr {
  Value value;
  Literal() : Expr(ExprKind::Literal) {}
};

// A string constant as an array of characters. Assigned to an ARRAY [0..n] OF CHAR
// (length <= n + 1) it fills the array from the start, the rest becoming 0 characters. As
// an argument for an ARRAY OF CHAR parameter its HIGH is Arg::high: the length for two
// characters and more (the string is passed with its terminating 0), 0 for "" (just the
// 0) and for a single character (just the character).
struct StringLit : Expr {
  std::string_view text; // the characters; the arena keeps a 0 after them
  StringLit() : Expr(ExprKind::String) {}
};

// A set constructor with run-time elements: `constant` holds the constant elements,
// each of `elements` adds low..high (high == low for a single element); the bounds have
// the set's element type.
struct SetElement {
  Expr* low = nullptr;
  Expr* high = nullptr;
};
struct SetExpr : Expr {
  Value constant;
  std::vector<SetElement> elements;
  SetExpr() : Expr(ExprKind::Set) {}
};

struct ProcValue : Expr {
  Procedure* proc = nullptr;
  ProcValue() : Expr(ExprKind::ProcValue) {}
};

struct VarRef : Expr {
  Variable* var = nullptr;
  VarRef() : Expr(ExprKind::Var) {}
};

struct FieldRef : Expr {
  Expr* record = nullptr; // a designator of a Record type
  Field* field = nullptr;
  FieldRef() : Expr(ExprKind::Field) {}
};

// One element of an array. For an Array the index has the array's index type and so
// lies in its range (a checked Convert makes sure where that is not certain); for an
// OpenArray (an open array parameter) it has type CARDINAL and must lie in 0..HIGH,
// which the generated code checks. a[i, j] is a[i][j].
struct IndexRef : Expr {
  Expr* array = nullptr; // a designator of an Array or OpenArray type
  Expr* index = nullptr;
  IndexRef() : Expr(ExprKind::Index) {}
};

// The variable a pointer designates (NIL is a run-time error). The pointer has a Pointer
// type (an opaque type is a Pointer in its implementation and is never dereferenced
// elsewhere), or ADDRESS, whose variable is a WORD.
struct DerefRef : Expr {
  Expr* pointer = nullptr;
  DerefRef() : Expr(ExprKind::Deref) {}
};

// The record of the enclosing WITH statement `with`: its designator is evaluated once,
// when the WITH statement starts; every WithRef of it denotes that same variable.
struct WithRef : Expr {
  With* with = nullptr;
  WithRef() : Expr(ExprKind::WithRec) {}
};

enum class UnaryOp : std::uint8_t {
  Neg, // arithmetic negation of an integer or real (never of a CARDINAL or LONGCARD)
  Not, // BOOLEAN
};

struct Unary : Expr {
  UnaryOp op;
  Expr* operand = nullptr;
  Unary() : Expr(ExprKind::Unary) {}
};

// Both operands have the same base type (BaseOf: one may be a subrange of the other's
// type), except for In: the element has the base type of the set's elements (BITSET:
// CARDINAL). Relations and In have type BOOLEAN; arithmetic has the operands' base type
// (arithmetic on subranges works on their base).
enum class BinaryOp : std::uint8_t {
  Add,
  Sub,
  Mul,     // integers, reals, ADDRESS
  RealDiv, // "/" on reals
  Div,
  Mod, // integers and ADDRESS (Euclidean, see above)
  And,
  Or, // BOOLEAN, evaluated conditionally (the right only when needed)
  Eq,
  Ne, // any scalar: ordinals, reals, sets, pointers, procedures, opaque
  Lt,
  Le,
  Gt,
  Ge,            // ordinals and reals
  In,            // element IN set: FALSE for an element outside the set's range
  Union,         // sets: +
  Difference,    // sets: -
  Intersection,  // sets: *
  SymDifference, // sets: /
  Subset,        // sets: <=
  Superset,      // sets: >=
};

struct Binary : Expr {
  BinaryOp op;
  Expr* left = nullptr;
  Expr* right = nullptr;
  Binary() : Expr(ExprKind::Binary) {}
};

enum class ConvertKind : std::uint8_t {
  // The value of the operand as a value of the target type: between ordinal types
  // (integers, CHAR, BOOLEAN, enumerations, subranges, ADDRESS), from an integer type to
  // a real type, from a real type to an integer type (truncation toward zero) and
  // between REAL and LONGREAL. When `checked`, a value outside the target's range
  // (Type::low..high of an ordinal target) is a run-time error.
  Value,
  // A type transfer T(x): the bits of the operand as a value of the target type. The
  // sizes are equal, or the operand is ordinal and the target ordinal (the value then
  // is truncated or widened as by Value without a check).
  Bits,
};

struct Convert : Expr {
  ConvertKind conv = ConvertKind::Value;
  bool checked = false;
  Expr* operand = nullptr;
  Convert() : Expr(ExprKind::Convert) {}
};

// An actual parameter. For a value parameter `value` has the formal's type (converted),
// or is a StringLit for an ARRAY OF CHAR or character-array formal. For a VAR parameter
// it is a designator of the formal's type, or of a type the formal accepts as it is: any
// pointer for ADDRESS, any 4-byte type for WORD, any 1-byte type for BYTE, a procedure
// type of the same parameters. For an open array formal `high` is the HIGH to pass: a
// Literal for an array, string or single variable, the HIGH of an open array parameter
// that is passed on (a StdFunc High), in elements of the formal's element type; for
// ARRAY OF WORD and ARRAY OF BYTE formals the actual may be any variable or expression,
// its HIGH counting words (rounded up) or bytes.
struct Arg {
  Expr* value = nullptr;
  Expr* high = nullptr; // open array formals only; type CARDINAL
};

// A call of a procedure. `proc` is the procedure for a direct call (its module and
// number tell where it lives: unit.module or an imported module's slot), nullptr for a
// call through a procedure variable, which `callee` then designates. The formals are
// callee->type->params. Its type is the result type; nullptr for a proper procedure (the
// call of a CallStmt).
struct CallExpr : Expr {
  Expr* callee = nullptr; // a ProcValue for a direct call
  Procedure* proc = nullptr;
  std::vector<Arg> args;
  CallExpr() : Expr(ExprKind::Call) {}
};

// The standard procedures. Those marked "folded" never reach the checked tree; the
// conversions become Convert nodes; NEW and DISPOSE become calls of ALLOCATE and
// DEALLOCATE (CallStmt with the pointer and the size in bytes of what it points to).
enum class StdProc : std::uint8_t {
  Abs,        // StdFunc: |x| of an integer or real (LONGINT/INTEGER minimum: run-time error)
  Cap,        // StdFunc: the capital of a CHAR (a..z and the Latin-1 small letters)
  Chr,        // Convert
  Float,      // Convert
  High,       // StdFunc HIGH(open array parameter): CARDINAL; folded for arrays
  Max,        // folded
  Min,        // folded
  Odd,        // StdFunc: BOOLEAN, whether an integer is odd
  Ord,        // Convert
  Size,       // StdFunc SIZE(open array parameter): bytes as CARDINAL; folded otherwise
  Trunc,      // Convert
  Val,        // Convert
  Inc,        // StdProcCall INC(x, n)
  Dec,        // StdProcCall DEC(x, n)
  Incl,       // StdProcCall INCL(s, e)
  Excl,       // StdProcCall EXCL(s, e)
  Halt,       // StdProcCall HALT: ends the program ("HALT called.")
  New,        // a call of ALLOCATE
  Dispose,    // a call of DEALLOCATE
  Adr,        // StdFunc SYSTEM.ADR(designator): ADDRESS
  Tsize,      // folded
  NewProcess, // StdProcCall SYSTEM.NEWPROCESS(P, A, n, p1): P, A, n, p1 (a designator)
  Transfer,   // StdProcCall SYSTEM.TRANSFER(p1, p2): two designators of PROCESS variables
  IoTransfer, // SYSTEM.IOTRANSFER: refused (no interrupts reach programs)
};

struct StdFunc : Expr {
  StdProc which;
  std::vector<Expr*> args; // Abs, Cap, Odd: the operand; High, Size: a VarRef of an open
                           // array parameter; Adr: a designator
  StdFunc() : Expr(ExprKind::StdFunc) {}
};

// ---------------------------------------------------------------------------------------
// Statements

enum class StmtKind : std::uint8_t {
  Assign,  // Assign
  Call,    // CallStmt
  If,      // If
  Case,    // Case
  While,   // While
  Repeat,  // Repeat
  For,     // For
  Loop,    // Loop
  Exit,    // Exit
  Return,  // Return
  With,    // With
  StdProc, // StdProcCall
};

struct Stmt {
  StmtKind kind;
  Pos pos; // where the statement begins; a run-time error in it reports this line
  Stmt(StmtKind k) : kind(k) {}
};

// target := value. The value has the target's type (converted, range-checked where
// needed), or is a StringLit for a character array target. Whole arrays and records are
// copied.
struct Assign : Stmt {
  Expr* target = nullptr; // a designator
  Expr* value = nullptr;
  Assign() : Stmt(StmtKind::Assign) {}
};

struct CallStmt : Stmt {
  CallExpr* call = nullptr; // of a proper procedure
  CallStmt() : Stmt(StmtKind::Call) {}
};

struct IfArm {
  Expr* condition = nullptr; // BOOLEAN
  StmtList body;
};
struct If : Stmt {
  std::vector<IfArm> arms; // IF and each ELSIF, tried in order
  StmtList elseBody;
  If() : Stmt(StmtKind::If) {}
};

// A label range low..high (low == high for a single label), as ordinal values of the
// selector's type. The ranges of a CASE statement never overlap.
struct LabelRange {
  std::int64_t low = 0;
  std::int64_t high = 0;
};
struct CaseArm {
  std::vector<LabelRange> labels;
  StmtList body;
  Pos pos;
};
struct Case : Stmt {
  Expr* selector = nullptr; // an ordinal type
  std::vector<CaseArm> arms;
  bool hasElse = false; // without ELSE a selector matching no label is a run-time error
  StmtList elseBody;
  Case() : Stmt(StmtKind::Case) {}
};

struct While : Stmt {
  Expr* condition = nullptr;
  StmtList body;
  While() : Stmt(StmtKind::While) {}
};

struct Repeat : Stmt {
  StmtList body;
  Expr* condition = nullptr; // UNTIL
  Repeat() : Stmt(StmtKind::Repeat) {}
};

// FOR var := from TO to BY step: `to` is evaluated once, before the first iteration;
// the body runs for from, from + step, ... while not past `to`; nothing when from is
// already past it. `from` has the control variable's type (converted and range-checked
// like an assignment), `to` the variable's base type (for a subrange variable, the
// variable must not step past its own range); the step is a nonzero constant. The
// control variable is a global variable of the unit or a local variable or value
// parameter of the procedure, of an ordinal type.
struct For : Stmt {
  Variable* var = nullptr;
  Expr* from = nullptr;
  Expr* to = nullptr;
  std::int64_t step = 1;
  StmtList body;
  For() : Stmt(StmtKind::For) {}
};

struct Loop : Stmt {
  StmtList body;
  Loop() : Stmt(StmtKind::Loop) {}
};

struct Exit : Stmt {
  Loop* loop = nullptr; // the innermost enclosing LOOP
  Exit() : Stmt(StmtKind::Exit) {}
};

// RETURN [value]: value has the procedure's result type (or is a StringLit for a
// character-array result); `proc` is nullptr in a module body (which it ends).
struct Return : Stmt {
  Expr* value = nullptr;
  Procedure* proc = nullptr;
  Return() : Stmt(StmtKind::Return) {}
};

// WITH record DO body: the designator is evaluated once; WithRef nodes in the body
// denote the record it designated.
struct With : Stmt {
  Expr* record = nullptr; // a designator of a Record type
  StmtList body;
  With() : Stmt(StmtKind::With) {}
};

// INC, DEC: args[0] the variable (an ordinal type or ADDRESS), args[1] the amount (1
// when not written) of the variable's base type when that is an integer type or
// ADDRESS, otherwise INTEGER; the result is range-checked against the variable's type.
// INCL, EXCL: args[0] the set variable, args[1] the element (the set's element type; an
// element outside the set's range is a run-time error). HALT: no arguments.
struct StdProcCall : Stmt {
  StdProc which;
  std::vector<Expr*> args;
  StdProcCall() : Stmt(StmtKind::StdProc) {}
};

// ---------------------------------------------------------------------------------------
// The unit

struct CompilationUnit {
  ModuleKind kind = ModuleKind::Program; // Program, Definition or Implementation
  Module* module = nullptr;
  std::vector<Module*> imports;       // by slot - 1: what the object's import records name
  std::vector<Procedure*> procedures; // by entry number; [0] is nullptr
  std::int32_t dataSize = 0;          // = module->dataSize
  Key key{{0, 0, 0}};                 // = module->key
  // The built-in types, for comparisons by identity (the same objects every declaration
  // of these types refers to).
  Type* booleanType = nullptr;
  Type* charType = nullptr;
  Type* integerType = nullptr;
  Type* cardinalType = nullptr;
  Type* longIntType = nullptr;
  Type* longCardType = nullptr;
  Type* realType = nullptr;
  Type* longRealType = nullptr;
  Type* bitsetType = nullptr;
  Type* addressType = nullptr;
  Type* wordType = nullptr;
  Type* byteType = nullptr;
  Type* procType = nullptr;    // PROC
  Type* processType = nullptr; // SYSTEM.PROCESS: a handle of 8 bytes, as an opaque type

  std::unique_ptr<Arena> arena; // owns every node of the unit and of its imports

  CompilationUnit();
  ~CompilationUnit();
  CompilationUnit(const CompilationUnit&) = delete;
  CompilationUnit& operator=(const CompilationUnit&) = delete;
};

// Helpers over types that both ends need.

// The type itself, or the base of a subrange.
const Type* BaseOf(const Type* t);
// Whether t is an ordinal type: integers, CHAR, BOOLEAN, enumerations, subranges.
bool IsOrdinal(const Type* t);
// Whether t is INTEGER, CARDINAL, LONGINT, LONGCARD or a subrange of one.
bool IsInteger(const Type* t);
// Whether values of t are unsigned: CARDINAL, LONGCARD, ADDRESS, CHAR, BOOLEAN,
// enumerations and their subranges.
bool IsUnsigned(const Type* t);
bool IsReal(const Type* t);
// Whether t is a set type (Set or Bitset).
bool IsSet(const Type* t);

} // namespace Ast
