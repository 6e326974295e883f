// The checker's state and procedures, shared by its three source files: declarations
// (Declarations.cpp), expressions and constants (Expressions.cpp), statements and
// standard procedures (Statements.cpp).
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "compiler/Checker.h"
#include "compiler/Scanner.h"

namespace Check {

using Ast::Expr;
using Ast::Type;
using Ast::TypeKind;
using Scanner::Tok;
using Syntax::K;

// What a designator or name stands for.
struct Item {
  enum class Kind : std::uint8_t { Value, Type, Module, StdProc } kind = Kind::Value;
  Expr* expr = nullptr;         // Value
  Type* type = nullptr;         // Type
  Scope* moduleScope = nullptr; // Module
  Ast::Module* module = nullptr;
  Ast::StdProc std = Ast::StdProc::Abs;
  Pos pos;
  std::string_view name; // the last name of the designator, for messages
};

// What the operators may do with operands of a type: whole numbers (ordinals, ADDRESS,
// constants of no particular type), reals, sets, ordinals of every kind, numbers (to
// add, subtract, multiply and divide), and what may be tested for equality.
struct OperandClass {
  bool whole = false, real = false, set = false, ordinalLike = false, numeric = false,
       equality = false;
};

struct WithFrame {
  Ast::With* with;
  Type* record;
};

class Checker {
public:
  Checker(Context& ctx, Ast::CompilationUnit* unit);
  Ast::Module* Unit(Node* root);

  // Declarations (Declarations.cpp).
  Sym* Declare(Scope* scope, Ast::Decl* d, Sym* sym, Pos pos);
  Sym* NewSym(Ast::Decl* d, Node* node, Scope* scope, SymState state);
  void EnterDecls(Node* list, Scope* scope, Ast::Module* module, Ast::Procedure* proc);
  void ConnectModules(Node* list, Scope* scope);
  void ImportInto(Scope* target, Node* import, Scope* source);
  void ImportName(Scope* target, Sym* sym, Pos pos);
  Ast::Module* LoadModule(std::string_view name, Pos pos);
  void CheckDecls(Node* list);
  void CheckProcedure(Ast::Procedure* p, Node* n);
  void CheckLocalModule(Ast::Module* m, Node* n);
  void Resolve(Sym* s, Pos use);
  void ResolveConst(Ast::ConstDecl* c, Node* n);
  void ResolveType(Ast::TypeDecl* d, Node* n, bool opaque);
  void ResolveHeading(Ast::Procedure* p, Node* n, bool implementsDefinition);
  Sym* Lookup(std::string_view name);
  Type* TypeOf(Node* n);
  Type* NamedType(Node* n);
  Type* FormalType(Node* f);
  Type* RecordType(Node* n);
  void FieldLists(Node* list, Type* record, std::int32_t& offset);
  void AddField(Type* record, Ast::Field* f);
  Ast::Field* FindField(Type* record, std::string_view name);
  Type* PointerBase(Type* pointer);
  void ResolvePointers();
  void LayoutLocals(Ast::Procedure* p);
  void LayoutGlobals(Ast::Module* m, std::int32_t& offset);
  Ast::Procedure* CurrentProc() const { return scope_->proc; }

  // Expressions (Expressions.cpp).
  Expr* Expression(Node* n);
  Expr* ConstExpr(Node* n);
  Int ConstInt(Node* n);
  Item Designate(Node* n);
  Item ItemOf(Ast::Decl* d, Pos pos);
  Expr* ValueOf(const Item& item, Pos pos);
  Expr* Binary(Node* n);
  Expr* Combine(Node* n, Expr* l);
  Expr* Logical(Node* n, Expr* l);
  Expr* Membership(Node* n, Expr* l);
  Ast::BinaryOp OperatorFor(Node* n, Expr* l, const OperandClass& c);
  Type* ResultOf(Ast::BinaryOp bop, Node* n, Expr* l, const OperandClass& c);
  Expr* Fold(Ast::BinaryOp bop, Expr* l, Expr* r, Type* resultType, const OperandClass& c, Node* n);
  [[noreturn]] void NotAllowed(Node* n, Expr* l);
  Expr* Unary(Node* n);
  Expr* SetConstructor(Node* n);
  Expr* Call(Node* n);
  Ast::CallExpr* CallItem(const Item& callee, Node* args, Pos pos, bool statement);
  Expr* TypeTransfer(Type* t, Node* args, Pos pos);
  Expr* StdFunction(Ast::StdProc which, Node* args, Pos pos, std::string_view name);
  void Arguments(Ast::CallExpr* call, const Type* ptype, Node* args, Pos pos);
  Ast::Arg OpenArgument(const Type* formal, bool isVar, Node* arg, int number);
  Expr* Coerce(Expr* e, Type* target, const std::string& site);
  bool VarCompatible(const Type* formal, const Type* actual);
  bool SameSignature(const Type* a, const Type* b);
  bool SameFormal(const Type* a, const Type* b);
  void Unify(Expr*& l, Expr*& r, std::string_view op, Pos pos);
  Expr* Finish(Expr* e);
  Expr* Bool(Expr* e);
  Expr* Ordinal(Expr* e);
  Ast::Literal* Lit(Type* t, Pos pos);
  Ast::Literal* IntLit(Type* t, Int v, Pos pos);
  Expr* Conv(Expr* e, Type* t, Ast::ConvertKind kind, bool checked);
  Int OrdValue(const Expr* e);
  bool Within(const Type* inner, const Type* outer);
  Expr* CharOf(Expr* e);
  Ast::StdFunc* HighCall(Expr* openArray, Pos pos);
  Expr* SizeOf(Expr* e, Pos pos);

  // Statements (Statements.cpp).
  Ast::StmtList Statements(Node* list);
  Ast::Stmt* Statement(Node* n);
  Ast::Stmt* CallStatement(Node* n);
  Ast::Stmt* StdStatement(Ast::StdProc which, Node* args, Pos pos, std::string_view name);
  Ast::Stmt* Allocation(Ast::StdProc which, Node* args, Pos pos);
  Ast::Stmt* CaseStatement(Node* n);
  Ast::Stmt* ForStatement(Node* n);
  void Labels(Node* labels, Type* selector, std::vector<Ast::LabelRange>& out,
              std::map<Int, Int>& seen);
  std::string LabelText(Int v, const Type* t);

  template <class T> T* New(Pos pos) {
    T* t = arena_.New<T>();
    t->pos = pos;
    return t;
  }
  Type* NewType(TypeKind kind) {
    Type* t = arena_.New<Type>(kind);
    t->home = module_;
    return t;
  }
  Ast::CompilationUnit& Builtins() { return *ctx_.unit; }

  Context& ctx_;
  Ast::Arena& arena_;
  Ast::CompilationUnit* unit_;    // nullptr for a definition compiled for an import
  Ast::Module* module_ = nullptr; // the unit's module
  Ast::ModuleKind kind_ = Ast::ModuleKind::Program;
  Scope* unitScope_ = nullptr;
  Scope* scope_ = nullptr;
  Ast::Procedure* returnTo_ = nullptr; // the procedure a RETURN ends; nullptr in bodies
  std::vector<Ast::Loop*> loops_;
  std::vector<WithFrame> withs_;
  std::unordered_map<const Node*, Sym*> symOf_;
  std::unordered_map<const Node*, Type*> varTypes_;
  struct PendingPointer {
    Node* base;
    Scope* scope;
  };
  std::unordered_map<Type*, PendingPointer> pointers_;
  std::vector<Type*> pointerOrder_;
  std::unordered_map<const Type*, std::unordered_map<const char*, Ast::Field*>> fieldIndex_;
  std::vector<Ast::Procedure*> unimplemented_;
  std::vector<Ast::TypeDecl*> opaques_;
  int resolveDepth_ = 0;
  int depth_ = 0; // expressions and types being checked, one inside the other
  std::int32_t nextProcNumber_ = 1;
  std::size_t definitionVariables_ = 0;
};

// Bounds how deeply expressions and types nest, counting those met while resolving a
// declaration that another refers to, so that no text exhausts the stack.
class Depth {
public:
  Depth(Checker& c, Pos pos) : c_(c) {
    if (++c.depth_ > 1000) Fail(pos, "expression too deeply nested");
  }
  ~Depth() { --c_.depth_; }
  Depth(const Depth&) = delete;
  Depth& operator=(const Depth&) = delete;

private:
  Checker& c_;
};

// Saves where the checker is and moves it to a declaration's scope; restores on the
// way out.
class ScopeSwitch {
public:
  ScopeSwitch(Checker& c, Scope* scope) : c_(c), scope_(c.scope_), returnTo_(c.returnTo_) {
    c.scope_ = scope;
    loops_.swap(c.loops_);
    withs_.swap(c.withs_);
  }
  ~ScopeSwitch() {
    c_.scope_ = scope_;
    c_.returnTo_ = returnTo_;
    loops_.swap(c_.loops_);
    withs_.swap(c_.withs_);
  }
  ScopeSwitch(const ScopeSwitch&) = delete;
  ScopeSwitch& operator=(const ScopeSwitch&) = delete;

private:
  Checker& c_;
  Scope* scope_;
  Ast::Procedure* returnTo_;
  std::vector<Ast::Loop*> loops_;
  std::vector<WithFrame> withs_;
};

std::string OpText(Tok op);

} // namespace Check
