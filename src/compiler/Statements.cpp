// The checker's statements and the standard procedures called as statements.
#include "compiler/CheckerImpl.h"

namespace Check {

namespace {

using Ast::ExprKind;

std::vector<Node*> ListOf(Node* list) {
  std::vector<Node*> v;
  for (; list != nullptr; list = list->next) v.push_back(list);
  return v;
}

} // namespace

Ast::StmtList Checker::Statements(Node* list) {
  Ast::StmtList out;
  for (Node* n = list; n != nullptr; n = n->next) out.push_back(Statement(n));
  return out;
}

Ast::Stmt* Checker::Statement(Node* n) {
  switch (n->kind) {
  case K::Assign: {
    auto* s = New<Ast::Assign>(n->pos);
    s->target = Expression(n->a);
    if (!s->target->IsDesignator()) Fail(n->a->pos, "variable expected on the left of :=");
    s->value = Coerce(Expression(n->b), s->target->type, "type mismatch: ");
    return s;
  }
  case K::CallStmt:
    return CallStatement(n->a);
  case K::If: {
    auto* s = New<Ast::If>(n->pos);
    for (Node* arm = n->a; arm != nullptr; arm = arm->next) {
      Ast::IfArm a;
      a.condition = Bool(Expression(arm->a));
      a.body = Statements(arm->b);
      s->arms.push_back(std::move(a));
    }
    s->elseBody = Statements(n->b);
    return s;
  }
  case K::Case:
    return CaseStatement(n);
  case K::While: {
    auto* s = New<Ast::While>(n->pos);
    s->condition = Bool(Expression(n->a));
    s->body = Statements(n->b);
    return s;
  }
  case K::Repeat: {
    auto* s = New<Ast::Repeat>(n->pos);
    s->body = Statements(n->b);
    s->condition = Bool(Expression(n->a));
    return s;
  }
  case K::Loop: {
    auto* s = New<Ast::Loop>(n->pos);
    loops_.push_back(s);
    s->body = Statements(n->b);
    loops_.pop_back();
    return s;
  }
  case K::Exit: {
    if (loops_.empty()) Fail(n->pos, "EXIT not inside a LOOP");
    auto* s = New<Ast::Exit>(n->pos);
    s->loop = loops_.back();
    return s;
  }
  case K::Return: {
    auto* s = New<Ast::Return>(n->pos);
    s->proc = returnTo_;
    Ast::Type* result = returnTo_ != nullptr ? returnTo_->Result() : nullptr;
    if (n->a != nullptr) {
      if (returnTo_ == nullptr) Fail(n->a->pos, "RETURN with value in a module body");
      if (result == nullptr) Fail(n->a->pos, "RETURN with value in a proper procedure");
      s->value = Coerce(Expression(n->a), result, "type mismatch in RETURN: ");
    } else if (result != nullptr) {
      Fail(n->pos, "RETURN without value in a function procedure");
    }
    return s;
  }
  case K::With: {
    auto* s = New<Ast::With>(n->pos);
    s->record = Expression(n->a);
    if (!s->record->IsDesignator() || s->record->type->kind != TypeKind::Record)
      Fail(n->a->pos, "record expected in WITH");
    withs_.push_back({s, s->record->type});
    s->body = Statements(n->b);
    withs_.pop_back();
    return s;
  }
  case K::For:
    return ForStatement(n);
  default:
    Fail(n->pos, "statement expected");
  }
}

Ast::Stmt* Checker::CallStatement(Node* d) {
  Node* callee = d->kind == K::Call ? d->a : d;
  Node* args = d->kind == K::Call ? d->b : nullptr;
  Item it = Designate(callee);
  if (it.kind == Item::Kind::StdProc) return StdStatement(it.std, args, callee->pos, it.name);
  auto* s = New<Ast::CallStmt>(callee->pos);
  s->call = CallItem(it, args, callee->pos, true);
  return s;
}

Ast::Stmt* Checker::StdStatement(Ast::StdProc which, Node* args, Pos pos, std::string_view name) {
  using Ast::StdProc;
  std::vector<Node*> a = ListOf(args);
  const auto count = [&](std::size_t least, std::size_t most) {
    if (a.size() < least) Fail(a.empty() ? pos : a.back()->pos, "too few parameters");
    if (a.size() > most) Fail(a[most]->pos, "too many parameters");
  };
  const auto variable = [&](Node* x) {
    Expr* e = Expression(x);
    if (!e->IsDesignator()) Fail(x->pos, "VAR parameter needs a variable");
    return e;
  };
  auto* s = New<Ast::StdProcCall>(pos);
  s->which = which;
  switch (which) {
  case StdProc::Inc:
  case StdProc::Dec: {
    count(1, 2);
    Expr* x = variable(a[0]);
    const Type* b = Ast::BaseOf(x->type);
    if (!Ast::IsOrdinal(x->type) && b->kind != TypeKind::Address)
      Fail(a[0]->pos, "ordinal variable expected");
    Type* amountType = Ast::IsInteger(x->type) || b->kind == TypeKind::Address
                           ? const_cast<Type*>(b)
                           : Builtins().integerType;
    Expr* amount = a.size() > 1
                       ? Coerce(Expression(a[1]), amountType, "type mismatch in argument 2: ")
                       : IntLit(amountType, 1, pos);
    s->args = {x, amount};
    return s;
  }
  case StdProc::Incl:
  case StdProc::Excl: {
    count(2, 2);
    Expr* set = variable(a[0]);
    if (!Ast::IsSet(set->type)) Fail(a[0]->pos, "set variable expected");
    Expr* e = Coerce(Expression(a[1]), set->type->base, "type mismatch in argument 2: ");
    s->args = {set, e};
    return s;
  }
  case StdProc::Halt:
    count(0, 0);
    return s;
  case StdProc::NewProcess: {
    count(4, 4);
    Expr* proc = Coerce(Expression(a[0]), Builtins().procType, "type mismatch in argument 1: ");
    Expr* workspace =
        Coerce(Expression(a[1]), Builtins().addressType, "type mismatch in argument 2: ");
    Expr* size = Coerce(Expression(a[2]), Builtins().cardinalType, "type mismatch in argument 3: ");
    Expr* process = variable(a[3]);
    if (process->type != Builtins().processType) Fail(a[3]->pos, "PROCESS variable expected");
    s->args = {proc, workspace, size, process};
    return s;
  }
  case StdProc::Transfer: {
    count(2, 2);
    for (Node* x : a) {
      Expr* process = variable(x);
      if (process->type != Builtins().processType) Fail(x->pos, "PROCESS variable expected");
      s->args.push_back(process);
    }
    return s;
  }
  case StdProc::IoTransfer:
    Fail(pos, "IOTRANSFER: no interrupts reach programs here; use TRANSFER");
  case StdProc::New:
  case StdProc::Dispose:
    return Allocation(which, args, pos);
  default:
    Fail(pos, "function procedure used as a statement: " + std::string(name));
  }
}

// NEW(p) and DISPOSE(p): calls of the ALLOCATE and DEALLOCATE in scope with p and the
// size of what p points to. Tags of variants are accepted; the whole record is allocated.
Ast::Stmt* Checker::Allocation(Ast::StdProc which, Node* args, Pos pos) {
  std::vector<Node*> a = ListOf(args);
  if (a.empty()) Fail(pos, "too few parameters");
  Expr* p = Expression(a[0]);
  if (!p->IsDesignator() || p->type->kind != TypeKind::Pointer)
    Fail(a[0]->pos, "pointer variable expected");
  for (std::size_t i = 1; i < a.size(); ++i) ConstExpr(a[i]);
  Type* base = PointerBase(p->type);
  const std::string_view procName = which == Ast::StdProc::New ? "ALLOCATE" : "DEALLOCATE";
  Sym* sym = Lookup(arena_.Intern(procName));
  if (sym == nullptr) Fail(pos, std::string(procName) + " not in scope (import it from Storage)");
  Resolve(sym, pos);
  Item callee = ItemOf(sym->decl, pos);
  const Type* ptype = callee.kind == Item::Kind::Value ? callee.expr->type : nullptr;
  if (ptype == nullptr || ptype->kind != TypeKind::Procedure || ptype->result != nullptr ||
      ptype->params.size() != 2 || !ptype->params[0].isVar ||
      !VarCompatible(ptype->params[0].type, p->type) || ptype->params[1].isVar ||
      !Ast::IsInteger(ptype->params[1].type))
    Fail(pos, std::string(procName) + " must be (VAR ADDRESS; CARDINAL)");
  auto* c = New<Ast::CallExpr>(pos);
  c->callee = callee.expr;
  c->proc = callee.expr->kind == ExprKind::ProcValue
                ? static_cast<Ast::ProcValue*>(callee.expr)->proc
                : nullptr;
  c->args.push_back({p, nullptr});
  c->args.push_back({Coerce(IntLit(ctx_.zz, base->size, pos), ptype->params[1].type, ""), nullptr});
  auto* s = New<Ast::CallStmt>(pos);
  s->call = c;
  return s;
}

Ast::Stmt* Checker::CaseStatement(Node* n) {
  auto* s = New<Ast::Case>(n->pos);
  s->selector = Finish(Ordinal(Expression(n->a)));
  std::map<Int, Int> seen;
  for (Node* arm = n->b; arm != nullptr; arm = arm->next) {
    Ast::CaseArm a;
    a.pos = arm->pos;
    Labels(arm->a, s->selector->type, a.labels, seen);
    a.body = Statements(arm->b);
    s->arms.push_back(std::move(a));
  }
  s->hasElse = n->flag & 1;
  s->elseBody = Statements(n->c);
  return s;
}

// The labels of a CASE arm or a variant as ranges of the selector's type; no value may
// appear twice in one CASE.
void Checker::Labels(Node* labels, Type* selector, std::vector<Ast::LabelRange>& out,
                     std::map<Int, Int>& seen) {
  for (Node* l = labels; l != nullptr; l = l->next) {
    Node* loNode = l->kind == K::Range ? l->a : l;
    Node* hiNode = l->kind == K::Range ? l->b : l;
    Expr* lo = Coerce(ConstExpr(loNode), selector, "type mismatch in CASE label: ");
    Expr* hi = hiNode == loNode
                   ? lo
                   : Coerce(ConstExpr(hiNode), selector, "type mismatch in CASE label: ");
    const Int low = OrdValue(lo), high = OrdValue(hi);
    if (low > high) Fail(l->pos, "empty CASE label range");
    auto next = seen.upper_bound(high);
    if (next != seen.begin()) {
      auto prev = std::prev(next);
      if (prev->second >= low)
        Fail(l->pos, "duplicate CASE label: " + LabelText(std::max(low, prev->first), selector));
    }
    seen[low] = high;
    out.push_back(
        {static_cast<Ast::Literal*>(lo)->value.i, static_cast<Ast::Literal*>(hi)->value.i});
  }
}

std::string Checker::LabelText(Int v, const Type* t) {
  const Type* b = Ast::BaseOf(t);
  if (b->kind == TypeKind::Enumeration && v >= 0 && v < Int(b->constants.size()))
    return std::string(b->constants[std::size_t(v)]->name);
  if (b->kind == TypeKind::Boolean) return v != 0 ? "TRUE" : "FALSE";
  if (b->kind == TypeKind::Char) {
    if (v >= 32 && v < 127 && v != '"') return "\"" + std::string(1, char(v)) + "\"";
    std::string octal;
    for (Int x = v; octal.empty() || x != 0; x /= 8)
      octal.insert(octal.begin(), char('0' + int(x % 8)));
    return octal + "C";
  }
  return IntText(v);
}

Ast::Stmt* Checker::ForStatement(Node* n) {
  auto* s = New<Ast::For>(n->pos);
  Sym* sym = Lookup(n->name);
  if (sym == nullptr) Fail(n->e->pos, "undeclared identifier: " + std::string(n->name));
  Resolve(sym, n->e->pos);
  if (sym->decl->kind != Ast::DeclKind::Var) Fail(n->e->pos, "variable expected after FOR");
  auto* v = static_cast<Ast::Variable*>(sym->decl);
  const bool own = v->varKind == Ast::VarKind::Global
                       ? v->module == module_
                       : v->varKind != Ast::VarKind::VarParam && v->proc == CurrentProc();
  if (!own) Fail(n->e->pos, "FOR needs a local variable: " + std::string(n->name));
  if (!Ast::IsOrdinal(v->type)) Fail(n->e->pos, "ordinal type expected: " + std::string(n->name));
  s->var = v;
  s->from = Coerce(Expression(n->a), v->type, "type mismatch in FOR: ");
  s->to =
      Coerce(Expression(n->b), const_cast<Type*>(Ast::BaseOf(v->type)), "type mismatch in FOR: ");
  if (n->c != nullptr) {
    const Int step = ConstInt(n->c);
    if (step == 0) Fail(n->c->pos, "FOR step must not be zero");
    if (step < INT64_MIN || step > INT64_MAX) Fail(n->c->pos, "FOR step too large");
    s->step = static_cast<std::int64_t>(step);
  }
  s->body = Statements(n->d);
  return s;
}

} // namespace Check
