// The checker's expressions: designators, operators with their compatibility rules,
// constant folding, conversions, calls and the standard functions.
#include <cfloat>
#include <cmath>

#include "base/Charset.h"
#include "base/Division.h"
#include "compiler/CheckerImpl.h"

namespace Check {

namespace {

using Ast::ExprKind;

constexpr Int kInt64Min = Int(INT64_MIN);
constexpr Int kInt64Max = Int(INT64_MAX);
constexpr Int kUInt64Max = Int(UINT64_MAX);

bool IsLiteral(const Expr* e) { return e->kind == ExprKind::Literal; }
Ast::Literal* AsLiteral(Expr* e) { return static_cast<Ast::Literal*>(e); }

bool IsPointerLike(const Type* t) {
  return t->kind == TypeKind::Pointer || t->kind == TypeKind::Opaque ||
         t->kind == TypeKind::Address;
}

// The operators that compare their operands, giving a BOOLEAN (IN apart).
bool IsRelation(Ast::BinaryOp op) {
  using B = Ast::BinaryOp;
  return op == B::Eq || op == B::Ne || op == B::Lt || op == B::Le || op == B::Gt || op == B::Ge ||
         op == B::Subset || op == B::Superset;
}

// Ordinal, or a constant of no particular type, or ADDRESS: what counts as a whole number.
bool IsWhole(const Type* t) {
  return Ast::IsOrdinal(t) || t->kind == TypeKind::ZZ || Ast::BaseOf(t)->kind == TypeKind::Address;
}

// What the operators may do with operands of the (base) type t.
OperandClass ClassOf(const Type* t) {
  OperandClass c;
  c.whole = IsWhole(t);
  c.real = Ast::IsReal(t) || t->kind == TypeKind::RR;
  c.set = Ast::IsSet(t);
  c.ordinalLike = c.whole || t->kind == TypeKind::Char || t->kind == TypeKind::Boolean ||
                  t->kind == TypeKind::Enumeration;
  c.numeric = (c.whole && t->kind != TypeKind::Char && t->kind != TypeKind::Boolean &&
               t->kind != TypeKind::Enumeration) ||
              c.real;
  c.equality = c.ordinalLike || c.real || c.set || IsPointerLike(t) ||
               t->kind == TypeKind::Procedure || t->kind == TypeKind::Nil;
  return c;
}

} // namespace

std::string IntText(Int v) {
  if (v == 0) return "0";
  const bool negative = v < 0;
  std::string digits;
  while (v != 0) {
    const int d = static_cast<int>(v % 10);
    digits.insert(digits.begin(), char('0' + (d < 0 ? -d : d)));
    v /= 10;
  }
  return negative ? "-" + digits : digits;
}

std::string OpText(Tok op) {
  switch (op) {
  case Tok::Plus:
    return "+";
  case Tok::Minus:
    return "-";
  case Tok::Times:
    return "*";
  case Tok::Slash:
    return "/";
  case Tok::Div:
    return "DIV";
  case Tok::Mod:
    return "MOD";
  case Tok::And:
    return "AND";
  case Tok::Or:
    return "OR";
  case Tok::Equal:
    return "=";
  case Tok::Hash:
    return "#";
  case Tok::Less:
    return "<";
  case Tok::LessEqual:
    return "<=";
  case Tok::Greater:
    return ">";
  case Tok::GreaterEqual:
    return ">=";
  case Tok::In:
    return "IN";
  case Tok::Not:
    return "NOT";
  default:
    return "?";
  }
}

// ---------------------------------------------------------------------------------------
// Literals and conversions

Ast::Literal* Checker::Lit(Type* t, Pos pos) {
  auto* l = New<Ast::Literal>(pos);
  l->type = t;
  return l;
}

Ast::Literal* Checker::IntLit(Type* t, Int v, Pos pos) {
  Ast::Literal* l = Lit(t, pos);
  l->value.i = static_cast<std::int64_t>(static_cast<std::uint64_t>(v & kUInt64Max));
  return l;
}

Int Checker::OrdValue(const Expr* e) {
  const auto* l = static_cast<const Ast::Literal*>(e);
  return OrdOf(e->type, l->value.i);
}

bool Checker::Within(const Type* inner, const Type* outer) {
  if (!IsWhole(inner) || !IsWhole(outer)) return false;
  return LowOf(inner) >= LowOf(outer) && HighOf(inner) <= HighOf(outer);
}

// A one-character string as a CHAR constant; anything else unchanged.
Expr* Checker::CharOf(Expr* e) {
  if (e->kind != ExprKind::String) return e;
  auto* s = static_cast<Ast::StringLit*>(e);
  if (s->text.size() != 1) return e;
  return IntLit(Builtins().charType, static_cast<unsigned char>(s->text[0]), e->pos);
}

// The conversion of e to t; a constant is converted at once, and a constant outside t's
// range is an error.
Expr* Checker::Conv(Expr* e, Type* t, Ast::ConvertKind kind, bool checked) {
  if (e->type == t) return e;
  if (IsLiteral(e)) {
    const Type* s = e->type;
    const Ast::Value& v = AsLiteral(e)->value;
    const auto outOfRange = [&](const std::string& value) {
      Fail(e->pos, "constant out of range for " + TypeName(t) + ": " + value);
    };
    if (IsWhole(t) && IsWhole(s)) {
      Int x = OrdValue(e);
      if (kind == Ast::ConvertKind::Bits) {
        const int bits = 8 * Ast::BaseOf(t)->size;
        if (bits < 64) {
          x &= (Int(1) << bits) - 1;
          if (!Ast::IsUnsigned(t) && x >= (Int(1) << (bits - 1))) x -= Int(1) << bits;
        } else {
          x &= kUInt64Max;
          if (!Ast::IsUnsigned(t) && x > kInt64Max) x -= Int(1) << 64;
        }
      }
      if (x < LowOf(t) || x > HighOf(t)) outOfRange(IntText(x));
      return IntLit(t, x, e->pos);
    }
    if (Ast::IsReal(t) && IsWhole(s)) {
      Ast::Literal* l = Lit(t, e->pos);
      l->value.r = static_cast<double>(OrdValue(e));
      return l;
    }
    if (Ast::IsReal(t) && (Ast::IsReal(s) || s->kind == TypeKind::RR)) {
      Ast::Literal* l = Lit(t, e->pos);
      l->value.r = v.r;
      return l;
    }
    if (IsWhole(t) && (Ast::IsReal(s) || s->kind == TypeKind::RR)) {
      const double r = std::trunc(v.r);
      if (!(r >= -9.2e18 && r < 1.8e19)) outOfRange("real");
      Int x = r < 0 ? Int(static_cast<std::int64_t>(r)) : Int(static_cast<std::uint64_t>(r));
      if (x < LowOf(t) || x > HighOf(t)) outOfRange(IntText(x));
      return IntLit(t, x, e->pos);
    }
    if (kind == Ast::ConvertKind::Bits) {
      Ast::Literal* l = Lit(t, e->pos);
      l->value = v;
      if (Ast::IsSet(t) && IsWhole(s)) {
        l->value = Ast::Value{};
        l->value.set[0] = static_cast<std::uint64_t>(v.i);
        if (t->size < 8) l->value.set[0] &= (std::uint64_t(1) << (8 * t->size)) - 1;
      } else if (IsWhole(t) && Ast::IsSet(s)) {
        l->value = Ast::Value{};
        return Conv(IntLit(Builtins().longCardType, Int(v.set[0]), e->pos), t, kind, false);
      }
      return l;
    }
  }
  auto* c = New<Ast::Convert>(e->pos);
  c->type = t;
  c->operand = e;
  c->conv = kind;
  c->checked = checked;
  return c;
}

// Assignment compatibility: e as a value of type t, or an error that names both types.
Expr* Checker::Coerce(Expr* e, Type* t, const std::string& site) {
  Type* s = e->type;
  if (s == t) return e;
  const Type* tb = Ast::BaseOf(t);
  const Type* sb = Ast::BaseOf(s);
  const auto mismatch = [&]() -> Expr* { Fail(e->pos, Mismatch(site, t, s)); };
  if (e->kind == ExprKind::String) {
    auto* str = static_cast<Ast::StringLit*>(e);
    if (str->text.size() == 1 && tb->kind == TypeKind::Char)
      return Conv(CharOf(e), t, Ast::ConvertKind::Value, true);
    if (t->kind == TypeKind::Array && Ast::BaseOf(t->base)->kind == TypeKind::Char) {
      if (std::int64_t(str->text.size()) <= t->length) return e;
      Fail(e->pos, "string too long for " + TypeName(t));
    }
    return mismatch();
  }
  if (sb == tb && IsWhole(t)) return Conv(e, t, Ast::ConvertKind::Value, !Within(s, t));
  if (sb->kind == TypeKind::ZZ) {
    if (IsWhole(t)) return Conv(e, t, Ast::ConvertKind::Value, true);
    if (tb->kind == TypeKind::Word || tb->kind == TypeKind::Byte) {
      const Int v = OrdValue(e);
      const Int lo = tb->kind == TypeKind::Word ? Int(INT32_MIN) : Int(-128);
      const Int hi = tb->kind == TypeKind::Word ? Int(UINT32_MAX) : Int(255);
      if (v < lo || v > hi)
        Fail(e->pos, "constant out of range for " + TypeName(t) + ": " + IntText(v));
      return IntLit(t, v, e->pos);
    }
  }
  if (Ast::IsInteger(s) && Ast::IsInteger(t))
    return Conv(e, t, Ast::ConvertKind::Value, !Within(s, t));
  if (Ast::IsReal(t) && (Ast::IsReal(s) || s->kind == TypeKind::RR))
    return Conv(e, t, Ast::ConvertKind::Value, false);
  if (s->kind == TypeKind::Nil && (IsPointerLike(tb) || t->kind == TypeKind::Procedure))
    return Lit(t, e->pos);
  if (tb->kind == TypeKind::Address) {
    if (s->kind == TypeKind::Pointer || s->kind == TypeKind::Opaque)
      return Conv(e, t, Ast::ConvertKind::Bits, false);
    if (Ast::IsInteger(s)) return Conv(e, t, Ast::ConvertKind::Value, !Within(s, t));
  }
  if ((t->kind == TypeKind::Pointer || t->kind == TypeKind::Opaque) &&
      sb->kind == TypeKind::Address)
    return Conv(e, t, Ast::ConvertKind::Bits, false);
  if (Ast::IsInteger(t) && sb->kind == TypeKind::Address)
    return Conv(e, t, Ast::ConvertKind::Value, !Within(s, t));
  if (t->kind == TypeKind::Procedure) {
    if (e->kind == ExprKind::ProcValue) {
      Ast::Procedure* p = static_cast<Ast::ProcValue*>(e)->proc;
      if (p->level > 0) Fail(e->pos, "local procedure used as a value: " + std::string(p->name));
      if (!SameSignature(t, p->type)) return mismatch();
      auto* v = New<Ast::ProcValue>(e->pos);
      v->proc = p;
      v->type = t;
      return v;
    }
    if (s->kind == TypeKind::Procedure && SameSignature(t, s))
      return Conv(e, t, Ast::ConvertKind::Bits, false);
  }
  const bool real = s->kind != TypeKind::String && s->kind != TypeKind::ZZ &&
                    s->kind != TypeKind::RR && s->kind != TypeKind::Nil;
  if (real && tb->kind == TypeKind::Word && s->size == 4)
    return Conv(e, t, Ast::ConvertKind::Bits, false);
  if (real && tb->kind == TypeKind::Byte && s->size == 1)
    return Conv(e, t, Ast::ConvertKind::Bits, false);
  return mismatch();
}

bool Checker::SameFormal(const Type* a, const Type* b) {
  return a == b ||
         (a->kind == TypeKind::OpenArray && b->kind == TypeKind::OpenArray && a->base == b->base);
}

bool Checker::SameSignature(const Type* a, const Type* b) {
  if (a == b) return true;
  if (a->params.size() != b->params.size() || a->result != b->result) return false;
  for (std::size_t i = 0; i < a->params.size(); ++i) {
    if (a->params[i].isVar != b->params[i].isVar) return false;
    if (!SameFormal(a->params[i].type, b->params[i].type)) return false;
  }
  return true;
}

// Expression compatibility: converts l and r to one type for a binary operator.
void Checker::Unify(Expr*& l, Expr*& r, std::string_view op, Pos pos) {
  l = CharOf(l);
  r = CharOf(r);
  Type* a = l->type;
  Type* b = r->type;
  const Type* ab = Ast::BaseOf(a);
  const Type* bb = Ast::BaseOf(b);
  const auto incompatible = [&]() {
    Fail(pos, "incompatible types in expression: " + TypeName(a) + " " + std::string(op) + " " +
                  TypeName(b));
  };
  if (ab == bb) return;
  const auto untyped = [](const Type* t) {
    return t->kind == TypeKind::Subrange && t->untypedBounds;
  };
  Type* target = nullptr;
  if (ab->kind == TypeKind::ZZ && (Ast::IsInteger(b) || bb->kind == TypeKind::Address)) {
    l = Coerce(l, const_cast<Type*>(bb), "");
    return;
  }
  if (bb->kind == TypeKind::ZZ && (Ast::IsInteger(a) || ab->kind == TypeKind::Address)) {
    r = Coerce(r, const_cast<Type*>(ab), "");
    return;
  }
  if (ab->kind == TypeKind::RR && Ast::IsReal(bb)) {
    l = Conv(l, const_cast<Type*>(bb), Ast::ConvertKind::Value, false);
    return;
  }
  if (bb->kind == TypeKind::RR && Ast::IsReal(ab)) {
    r = Conv(r, const_cast<Type*>(ab), Ast::ConvertKind::Value, false);
    return;
  }
  if (untyped(a) && untyped(b)) {
    target = Builtins().integerType;
    l = Conv(l, target, Ast::ConvertKind::Value, !Within(a, target));
    r = Conv(r, target, Ast::ConvertKind::Value, !Within(b, target));
    return;
  }
  if (untyped(a) && (Ast::IsInteger(b) || bb->kind == TypeKind::Address)) {
    l = Conv(l, const_cast<Type*>(bb), Ast::ConvertKind::Value, !Within(a, bb));
    return;
  }
  if (untyped(b) && (Ast::IsInteger(a) || ab->kind == TypeKind::Address)) {
    r = Conv(r, const_cast<Type*>(ab), Ast::ConvertKind::Value, !Within(b, ab));
    return;
  }
  if (ab->kind == TypeKind::Address && Ast::IsInteger(b)) {
    r = Conv(r, const_cast<Type*>(ab), Ast::ConvertKind::Value, false);
    return;
  }
  if (bb->kind == TypeKind::Address && Ast::IsInteger(a)) {
    l = Conv(l, const_cast<Type*>(bb), Ast::ConvertKind::Value, false);
    return;
  }
  if (ab->kind == TypeKind::Nil && (IsPointerLike(bb) || bb->kind == TypeKind::Procedure)) {
    l = Lit(b, l->pos);
    return;
  }
  if (bb->kind == TypeKind::Nil && (IsPointerLike(ab) || ab->kind == TypeKind::Procedure)) {
    r = Lit(a, r->pos);
    return;
  }
  if (ab->kind == TypeKind::Address && IsPointerLike(bb)) {
    r = Conv(r, a, Ast::ConvertKind::Bits, false);
    return;
  }
  if (bb->kind == TypeKind::Address && IsPointerLike(ab)) {
    l = Conv(l, b, Ast::ConvertKind::Bits, false);
    return;
  }
  if (a->kind == TypeKind::Procedure && b->kind == TypeKind::Procedure) {
    if (r->kind == ExprKind::ProcValue || SameSignature(a, b)) {
      r = Coerce(r, a, "");
      return;
    }
    if (l->kind == ExprKind::ProcValue) {
      l = Coerce(l, b, "");
      return;
    }
  }
  incompatible();
}

// Gives a constant that met no context its natural type.
Expr* Checker::Finish(Expr* e) {
  switch (e->type->kind) {
  case TypeKind::ZZ: {
    const Int v = OrdValue(e);
    return IntLit(v >= INT32_MIN && v <= INT32_MAX ? Builtins().integerType
                                                   : Builtins().longIntType,
                  v, e->pos);
  }
  case TypeKind::RR:
    return Conv(e, Builtins().realType, Ast::ConvertKind::Value, false);
  case TypeKind::Nil:
    return Lit(Builtins().addressType, e->pos);
  default:
    return e;
  }
}

Expr* Checker::Bool(Expr* e) {
  if (Ast::BaseOf(e->type)->kind != TypeKind::Boolean) Fail(e->pos, "BOOLEAN expression expected");
  return e;
}

Expr* Checker::Ordinal(Expr* e) {
  e = CharOf(e);
  if (!Ast::IsOrdinal(e->type) && e->type->kind != TypeKind::ZZ)
    Fail(e->pos, "ordinal expression expected");
  return e;
}

// ---------------------------------------------------------------------------------------
// Expressions

Expr* Checker::ConstExpr(Node* n) {
  Expr* e = Expression(n);
  if (e->kind != ExprKind::Literal && e->kind != ExprKind::String)
    Fail(n->pos, "constant expression expected");
  return e;
}

Int Checker::ConstInt(Node* n) {
  Expr* e = ConstExpr(n);
  if (!IsWhole(e->type) || !IsLiteral(e)) Fail(n->pos, "integer constant expected");
  return OrdValue(e);
}

Expr* Checker::Expression(Node* n) {
  Depth guard(*this, n->pos);
  switch (n->kind) {
  case K::Number: {
    if (n->value > std::uint64_t(INT64_MAX))
      return IntLit(Builtins().longCardType, Int(n->value), n->pos);
    return IntLit(ctx_.zz, Int(n->value), n->pos);
  }
  case K::Real: {
    Ast::Literal* l = Lit(ctx_.rr, n->pos);
    l->value.r = n->real;
    return l;
  }
  case K::CharLit:
    return IntLit(Builtins().charType, Int(n->value), n->pos);
  case K::String: {
    auto* s = New<Ast::StringLit>(n->pos);
    s->text = n->name;
    s->type = StringType(ctx_, std::int64_t(n->name.size()));
    return s;
  }
  case K::SetCons:
    return SetConstructor(n);
  case K::Binary:
    return Binary(n);
  case K::Unary:
    return Unary(n);
  case K::Call:
    return Call(n);
  case K::Range:
    Fail(n->pos, "'..' not allowed here");
  case K::Ident:
  case K::Select:
  case K::Index:
  case K::Deref:
    return ValueOf(Designate(n), n->pos);
  default:
    Fail(n->pos, "expression expected");
  }
}

Expr* Checker::ValueOf(const Item& item, Pos pos) {
  if (item.kind != Item::Kind::Value) Fail(pos, "not a value: " + std::string(item.name));
  return item.expr;
}

Item Checker::ItemOf(Ast::Decl* d, Pos pos) {
  Item it;
  it.pos = pos;
  it.name = d->name;
  switch (d->kind) {
  case Ast::DeclKind::Const: {
    auto* c = static_cast<Ast::ConstDecl*>(d);
    if (c->type->kind == TypeKind::String) {
      auto* s = New<Ast::StringLit>(pos);
      s->text = c->text;
      s->type = c->type;
      it.expr = s;
    } else {
      Ast::Literal* l = Lit(c->type, pos);
      l->value = c->value;
      it.expr = l;
    }
    break;
  }
  case Ast::DeclKind::Type:
    it.kind = Item::Kind::Type;
    it.type = static_cast<Ast::TypeDecl*>(d)->type;
    break;
  case Ast::DeclKind::Var: {
    auto* v = New<Ast::VarRef>(pos);
    v->var = static_cast<Ast::Variable*>(d);
    v->type = v->var->type;
    it.expr = v;
    break;
  }
  case Ast::DeclKind::Proc: {
    auto* p = New<Ast::ProcValue>(pos);
    p->proc = static_cast<Ast::Procedure*>(d);
    p->type = p->proc->type;
    it.expr = p;
    break;
  }
  case Ast::DeclKind::Module: {
    auto* m = static_cast<Ast::Module*>(d);
    it.kind = Item::Kind::Module;
    it.module = m;
    it.moduleScope =
        m->moduleKind == Ast::ModuleKind::Local ? ctx_.moduleScopes[m] : ExportScope(ctx_, m);
    break;
  }
  case Ast::DeclKind::StdProc:
    it.kind = Item::Kind::StdProc;
    it.std = static_cast<StdProcDecl*>(d)->which;
    break;
  }
  return it;
}

Item Checker::Designate(Node* n) {
  switch (n->kind) {
  case K::Ident: {
    for (auto w = withs_.rbegin(); w != withs_.rend(); ++w) {
      if (Ast::Field* f = FindField(w->record, n->name)) {
        auto* rec = New<Ast::WithRef>(n->pos);
        rec->with = w->with;
        rec->type = w->record;
        auto* fr = New<Ast::FieldRef>(n->pos);
        fr->record = rec;
        fr->field = f;
        fr->type = f->type;
        Item it;
        it.expr = fr;
        it.pos = n->pos;
        it.name = n->name;
        return it;
      }
    }
    Sym* s = Lookup(n->name);
    if (s == nullptr) Fail(n->pos, "undeclared identifier: " + std::string(n->name));
    Resolve(s, n->pos);
    return ItemOf(s->decl, n->pos);
  }
  case K::Select: {
    Item base = Designate(n->a);
    if (base.kind == Item::Kind::Module) {
      auto found = base.moduleScope->exports.find(n->name.data());
      if (found == base.moduleScope->exports.end())
        Fail(n->pos, std::string(base.module->name) + " does not export " + std::string(n->name));
      Resolve(found->second, n->pos);
      return ItemOf(found->second->decl, n->pos);
    }
    Expr* e = ValueOf(base, n->a->pos);
    if (e->type->kind != TypeKind::Record) Fail(n->pos, "not a record: " + std::string(base.name));
    Ast::Field* f = FindField(e->type, n->name);
    if (f == nullptr) Fail(n->pos, "undeclared field: " + std::string(n->name));
    auto* fr = New<Ast::FieldRef>(n->pos);
    fr->record = e;
    fr->field = f;
    fr->type = f->type;
    Item it;
    it.expr = fr;
    it.pos = n->pos;
    it.name = n->name;
    return it;
  }
  case K::Index: {
    Item base = Designate(n->a);
    Expr* e = ValueOf(base, n->a->pos);
    for (Node* x = n->b; x != nullptr; x = x->next) {
      Type* t = e->type;
      Expr* index = Expression(x);
      if (t->kind == TypeKind::Array) {
        index = Coerce(index, t->index, "type mismatch in index: ");
      } else if (t->kind == TypeKind::OpenArray) {
        if (!Ast::IsInteger(index->type) && index->type->kind != TypeKind::ZZ)
          Fail(x->pos, "type mismatch in index: CARDINAL := " + TypeName(index->type));
        index = Coerce(index, Builtins().cardinalType, "type mismatch in index: ");
      } else {
        Fail(x->pos, "not an array: " + std::string(base.name));
      }
      auto* ir = New<Ast::IndexRef>(x->pos);
      ir->array = e;
      ir->index = index;
      ir->type = t->base;
      e = ir;
    }
    Item it;
    it.expr = e;
    it.pos = n->pos;
    it.name = base.name;
    return it;
  }
  case K::Deref: {
    Item base = Designate(n->a);
    Expr* e = ValueOf(base, n->a->pos);
    Type* target = nullptr;
    if (e->type->kind == TypeKind::Pointer) {
      target = PointerBase(e->type);
    } else if (e->type->kind == TypeKind::Address) {
      target = Builtins().wordType;
    } else {
      Fail(n->pos, "not a pointer: " + std::string(base.name));
    }
    auto* d = New<Ast::DerefRef>(n->pos);
    d->pointer = e;
    d->type = target;
    Item it;
    it.expr = d;
    it.pos = n->pos;
    it.name = base.name;
    return it;
  }
  default: {
    Item it;
    it.expr = Expression(n);
    it.pos = n->pos;
    return it;
  }
  }
}

// A chain of operators, a + b - c * d ..., is checked from its first operand on, one
// operator after the other: its length costs no depth of recursion.
Expr* Checker::Binary(Node* n) {
  std::vector<Node*> chain;
  Node* first = n;
  for (; first->kind == K::Binary; first = first->a) chain.push_back(first);
  Expr* e = Expression(first);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) e = Combine(*it, e);
  return e;
}

// The operator n applied to l, its left operand checked already, and its right operand:
// AND and OR, IN, or an operator of numbers, sets, pointers and the like, which is typed,
// chosen and, on constants, folded.
Expr* Checker::Combine(Node* n, Expr* l) {
  const Tok op = static_cast<Tok>(n->op);
  if (op == Tok::And || op == Tok::Or) return Logical(n, l);
  if (op == Tok::In) return Membership(n, l);
  Expr* r = Expression(n->b);
  Unify(l, r, OpText(op), n->pos);
  const OperandClass c = ClassOf(Ast::BaseOf(l->type));
  const Ast::BinaryOp bop = OperatorFor(n, l, c);
  Type* resultType = ResultOf(bop, n, l, c);
  if (IsLiteral(l) && IsLiteral(r)) return Fold(bop, l, r, resultType, c, n);
  auto* b = New<Ast::Binary>(n->pos);
  b->op = bop;
  b->left = l;
  b->right = r;
  b->type = resultType;
  return b;
}

Expr* Checker::Logical(Node* n, Expr* l) {
  const Tok op = static_cast<Tok>(n->op);
  Type* boolean = Builtins().booleanType;
  l = Bool(l);
  Expr* r = Bool(Expression(n->b));
  if (IsLiteral(l) && IsLiteral(r)) {
    const bool x = AsLiteral(l)->value.i != 0, y = AsLiteral(r)->value.i != 0;
    return IntLit(boolean, op == Tok::And ? (x && y) : (x || y), n->pos);
  }
  // FALSE AND x and TRUE OR x are decided by the left alone.
  if (IsLiteral(l) && (AsLiteral(l)->value.i != 0) == (op == Tok::Or))
    return IntLit(boolean, op == Tok::Or, n->pos);
  auto* b = New<Ast::Binary>(n->pos);
  b->op = op == Tok::And ? Ast::BinaryOp::And : Ast::BinaryOp::Or;
  b->left = l;
  b->right = r;
  b->type = boolean;
  return b;
}

Expr* Checker::Membership(Node* n, Expr* l) {
  Type* boolean = Builtins().booleanType;
  Expr* element = Ordinal(l);
  Expr* set = Expression(n->b);
  if (!Ast::IsSet(set->type)) Fail(n->b->pos, "set expected after IN");
  Type* elementType = const_cast<Type*>(Ast::BaseOf(set->type->base));
  if (set->type->kind == TypeKind::Bitset) elementType = Builtins().cardinalType;
  const Type* eb = Ast::BaseOf(element->type);
  const bool compatible = eb == elementType || eb->kind == TypeKind::ZZ ||
                          (Ast::IsInteger(eb) && Ast::IsInteger(elementType));
  if (!compatible)
    Fail(element->pos, "incompatible types in expression: " + TypeName(element->type) + " IN " +
                           TypeName(set->type));
  if (IsLiteral(element)) {
    const Int v = OrdValue(element);
    const Int k = v - LowOf(set->type);
    const bool inRange = v >= LowOf(set->type) && v <= HighOf(set->type);
    if (IsLiteral(set))
      return IntLit(boolean, inRange && (AsLiteral(set)->value.set[int(k / 64)] >> int(k % 64)) & 1,
                    n->pos);
    if (!inRange) return IntLit(boolean, 0, n->pos);
    element = IntLit(elementType, v, element->pos);
  } else if (eb != elementType) {
    element = Conv(element, elementType, Ast::ConvertKind::Value, false);
  }
  auto* b = New<Ast::Binary>(n->pos);
  b->op = Ast::BinaryOp::In;
  b->left = element;
  b->right = set;
  b->type = boolean;
  return b;
}

// The operation the operator token of n stands for on operands of class c (sets have
// their own); l is the left operand, for the message.
Ast::BinaryOp Checker::OperatorFor(Node* n, Expr* l, const OperandClass& c) {
  using B = Ast::BinaryOp;
  switch (static_cast<Tok>(n->op)) {
  case Tok::Plus:
    return c.set ? B::Union : B::Add;
  case Tok::Minus:
    return c.set ? B::Difference : B::Sub;
  case Tok::Times:
    return c.set ? B::Intersection : B::Mul;
  case Tok::Slash:
    if (c.numeric && !c.real) Fail(n->pos, "'/' is for reals and sets; use DIV for integers");
    return c.set ? B::SymDifference : B::RealDiv;
  case Tok::Div:
    return B::Div;
  case Tok::Mod:
    return B::Mod;
  case Tok::Equal:
    return B::Eq;
  case Tok::Hash:
    return B::Ne;
  case Tok::Less:
    return B::Lt;
  case Tok::LessEqual:
    return c.set ? B::Subset : B::Le;
  case Tok::Greater:
    return B::Gt;
  case Tok::GreaterEqual:
    return c.set ? B::Superset : B::Ge;
  default:
    NotAllowed(n, l);
  }
}

[[noreturn]] void Checker::NotAllowed(Node* n, Expr* l) {
  Fail(n->pos,
       "operator " + OpText(static_cast<Tok>(n->op)) + " not allowed on " + TypeName(l->type));
}

// The type of bop's result on operands of l's type, class c; fails where bop does not
// apply to them.
Type* Checker::ResultOf(Ast::BinaryOp bop, Node* n, Expr* l, const OperandClass& c) {
  using B = Ast::BinaryOp;
  bool allowed = true;
  switch (bop) {
  case B::Add:
  case B::Sub:
  case B::Mul:
    allowed = c.numeric;
    break;
  case B::RealDiv:
    allowed = c.real;
    break;
  case B::Div:
  case B::Mod:
    allowed = c.numeric && !c.real;
    break;
  case B::Eq:
  case B::Ne:
    allowed = c.equality;
    break;
  case B::Lt:
  case B::Le:
  case B::Gt:
  case B::Ge:
    allowed = c.ordinalLike || c.real;
    break;
  default:
    break;
  }
  if (!allowed) NotAllowed(n, l);
  return IsRelation(bop) ? Builtins().booleanType : const_cast<Type*>(Ast::BaseOf(l->type));
}

// bop on the constants l and r (operands of class c), a constant of resultType.
Expr* Checker::Fold(Ast::BinaryOp bop, Expr* l, Expr* r, Type* resultType, const OperandClass& c,
                    Node* n) {
  using B = Ast::BinaryOp;
  const Ast::Value& x = AsLiteral(l)->value;
  const Ast::Value& y = AsLiteral(r)->value;
  if (IsRelation(bop)) {
    bool v = false;
    if (c.set) {
      bool equal = true, sub = true, super = true;
      for (int k = 0; k < 4; ++k) {
        equal = equal && x.set[k] == y.set[k];
        sub = sub && (x.set[k] & ~y.set[k]) == 0;
        super = super && (y.set[k] & ~x.set[k]) == 0;
      }
      v = bop == B::Eq ? equal : bop == B::Ne ? !equal : bop == B::Subset ? sub : super;
    } else {
      int cmp = 0;
      bool equal = false;
      if (c.real) {
        cmp = x.r < y.r ? -1 : x.r > y.r ? 1 : 0;
        equal = x.r == y.r;
      } else {
        const Int a = OrdValue(l), b = OrdValue(r);
        cmp = a < b ? -1 : a > b ? 1 : 0;
        equal = a == b;
      }
      v = bop == B::Eq   ? equal
          : bop == B::Ne ? !equal
          : bop == B::Lt ? cmp < 0
          : bop == B::Le ? cmp <= 0
          : bop == B::Gt ? cmp > 0
                         : cmp >= 0;
    }
    return IntLit(resultType, v, n->pos);
  }
  if (c.set) {
    Ast::Literal* lit = Lit(resultType, n->pos);
    for (int k = 0; k < 4; ++k) {
      lit->value.set[k] = bop == B::Union          ? x.set[k] | y.set[k]
                          : bop == B::Difference   ? x.set[k] & ~y.set[k]
                          : bop == B::Intersection ? x.set[k] & y.set[k]
                                                   : x.set[k] ^ y.set[k];
    }
    return lit;
  }
  if (c.real) {
    if (bop == B::RealDiv && y.r == 0) Fail(n->b->pos, "division by zero");
    const double v = bop == B::Add   ? x.r + y.r
                     : bop == B::Sub ? x.r - y.r
                     : bop == B::Mul ? x.r * y.r
                                     : x.r / y.r;
    if (!std::isfinite(v)) Fail(n->pos, "overflow in constant expression");
    Ast::Literal* lit = Lit(resultType, n->pos);
    lit->value.r = v;
    return lit;
  }
  const Int a = OrdValue(l), b = OrdValue(r);
  Int v = 0;
  switch (bop) {
  case B::Add:
    v = a + b;
    break;
  case B::Sub:
    v = a - b;
    break;
  case B::Mul:
    if (__builtin_mul_overflow(a, b, &v)) Fail(n->pos, "overflow in constant expression");
    break;
  default: {
    if (b == 0) Fail(n->b->pos, "division by zero");
    const auto [quotient, remainder] = base::EuclidDivMod(a, b);
    v = bop == B::Mod ? remainder : quotient;
    break;
  }
  }
  if (resultType->kind == TypeKind::ZZ) {
    if (v > kInt64Max && v <= kUInt64Max) return IntLit(Builtins().longCardType, v, n->pos);
    if (v < kInt64Min || v > kUInt64Max) Fail(n->pos, "overflow in constant expression");
    return IntLit(resultType, v, n->pos);
  }
  if (v < LowOf(resultType) || v > HighOf(resultType))
    Fail(n->pos, "overflow in constant expression");
  return IntLit(resultType, v, n->pos);
}

Expr* Checker::Unary(Node* n) {
  Expr* e = Expression(n->a);
  const Tok op = static_cast<Tok>(n->op);
  if (op == Tok::Not) {
    Bool(e);
    if (IsLiteral(e)) return IntLit(Builtins().booleanType, AsLiteral(e)->value.i == 0, n->pos);
    auto* u = New<Ast::Unary>(n->pos);
    u->op = Ast::UnaryOp::Not;
    u->operand = e;
    u->type = Builtins().booleanType;
    return u;
  }
  Type* t = const_cast<Type*>(Ast::BaseOf(e->type));
  const bool real = Ast::IsReal(t) || t->kind == TypeKind::RR;
  if (!real && !Ast::IsInteger(t) && t->kind != TypeKind::ZZ)
    Fail(n->pos, "operator " + OpText(op) + " not allowed on " + TypeName(e->type));
  if (op == Tok::Plus) return e;
  if (e->type->kind == TypeKind::Subrange && e->type->untypedBounds && Ast::IsUnsigned(t)) {
    t = t->kind == TypeKind::Cardinal ? Builtins().integerType : Builtins().longIntType;
    e = Conv(e, t, Ast::ConvertKind::Value, !Within(e->type, t));
  }
  if (Ast::IsUnsigned(t)) Fail(n->pos, "operator - not allowed on " + TypeName(e->type));
  if (IsLiteral(e)) {
    if (real) {
      Ast::Literal* l = Lit(t, n->pos);
      l->value.r = -AsLiteral(e)->value.r;
      return l;
    }
    const Int v = -OrdValue(e);
    if (t->kind == TypeKind::ZZ) {
      if (v > kInt64Max) return IntLit(Builtins().longCardType, v, n->pos);
      return IntLit(t, v, n->pos);
    }
    if (v < LowOf(t) || v > HighOf(t)) Fail(n->pos, "overflow in constant expression");
    return IntLit(t, v, n->pos);
  }
  auto* u = New<Ast::Unary>(n->pos);
  u->op = Ast::UnaryOp::Neg;
  u->operand = e;
  u->type = t;
  return u;
}

Expr* Checker::SetConstructor(Node* n) {
  Type* t = Builtins().bitsetType;
  if (n->a != nullptr) {
    t = NamedType(n->a);
    if (!Ast::IsSet(t)) Fail(n->a->pos, "set type expected");
  }
  Type* element = t->kind == TypeKind::Bitset ? t->base : t->base;
  auto* s = New<Ast::SetExpr>(n->pos);
  s->type = t;
  const auto addConstant = [&](Int lo, Int hi, Pos pos) {
    if (lo > hi) return;
    if (lo < LowOf(t) || hi > HighOf(t)) Fail(pos, "set element out of range");
    for (Int v = lo; v <= hi; ++v) {
      const Int k = v - LowOf(t);
      s->constant.set[int(k / 64)] |= std::uint64_t(1) << int(k % 64);
    }
  };
  for (Node* el = n->b; el != nullptr; el = el->next) {
    Node* loNode = el->kind == K::Range ? el->a : el;
    Node* hiNode = el->kind == K::Range ? el->b : nullptr;
    Expr* lo = Coerce(Expression(loNode), element, "type mismatch in set element: ");
    Expr* hi = hiNode != nullptr
                   ? Coerce(Expression(hiNode), element, "type mismatch in set element: ")
                   : lo;
    if (IsLiteral(lo) && IsLiteral(hi)) {
      addConstant(OrdValue(lo), OrdValue(hi), loNode->pos);
    } else {
      s->elements.push_back({lo, hi});
    }
  }
  if (s->elements.empty()) {
    Ast::Literal* l = Lit(t, n->pos);
    l->value = s->constant;
    return l;
  }
  return s;
}

// ---------------------------------------------------------------------------------------
// Calls

Expr* Checker::Call(Node* n) {
  Item callee = Designate(n->a);
  if (callee.kind == Item::Kind::Type) return TypeTransfer(callee.type, n->b, n->a->pos);
  if (callee.kind == Item::Kind::StdProc)
    return StdFunction(callee.std, n->b, n->a->pos, callee.name);
  return CallItem(callee, n->b, n->a->pos, false);
}

Ast::CallExpr* Checker::CallItem(const Item& callee, Node* args, Pos pos, bool statement) {
  const std::string name(callee.name);
  if (callee.kind != Item::Kind::Value) Fail(pos, "not a procedure: " + name);
  Expr* e = callee.expr;
  if (e->type->kind != TypeKind::Procedure) Fail(pos, "not a procedure: " + name);
  auto* c = New<Ast::CallExpr>(pos);
  c->callee = e;
  c->proc = e->kind == ExprKind::ProcValue ? static_cast<Ast::ProcValue*>(e)->proc : nullptr;
  c->type = e->type->result;
  if (!statement && c->type == nullptr) Fail(pos, "not a function procedure: " + name);
  if (statement && c->type != nullptr) Fail(pos, "function procedure used as a statement: " + name);
  Arguments(c, e->type, args, pos);
  return c;
}

bool Checker::VarCompatible(const Type* formal, const Type* actual) {
  if (formal == actual) return true;
  const Type* fb = formal;
  if (fb->kind == TypeKind::Address)
    return actual->kind == TypeKind::Pointer || actual->kind == TypeKind::Opaque ||
           actual->kind == TypeKind::Address;
  if (fb->kind == TypeKind::Word) return actual->size == 4;
  if (fb->kind == TypeKind::Byte) return actual->size == 1;
  if (formal->kind == TypeKind::Procedure && actual->kind == TypeKind::Procedure)
    return SameSignature(formal, actual);
  return false;
}

void Checker::Arguments(Ast::CallExpr* call, const Type* ptype, Node* args, Pos pos) {
  int number = 0;
  Node* last = nullptr;
  for (Node* a = args; a != nullptr; a = a->next) {
    last = a;
    if (std::size_t(number) >= ptype->params.size()) Fail(a->pos, "too many parameters");
    const Ast::Param& f = ptype->params[number++];
    if (f.type->kind == TypeKind::OpenArray) {
      call->args.push_back(OpenArgument(f.type, f.isVar, a, number));
      continue;
    }
    Expr* e = Expression(a);
    const std::string site = "type mismatch in argument " + std::to_string(number) + ": ";
    if (f.isVar) {
      if (!e->IsDesignator()) Fail(a->pos, "VAR parameter needs a variable");
      if (!VarCompatible(f.type, e->type)) Fail(a->pos, Mismatch(site, f.type, e->type, true));
    } else {
      e = Coerce(e, f.type, site);
    }
    call->args.push_back({e, nullptr});
  }
  if (std::size_t(number) < ptype->params.size())
    Fail(last != nullptr ? last->pos : pos, "too few parameters");
}

Ast::StdFunc* Checker::HighCall(Expr* openArray, Pos pos) {
  auto* h = New<Ast::StdFunc>(pos);
  h->which = Ast::StdProc::High;
  h->args.push_back(openArray);
  h->type = Builtins().cardinalType;
  return h;
}

Ast::Arg Checker::OpenArgument(const Type* formal, bool isVar, Node* arg, int number) {
  Expr* e = Expression(arg);
  Type* element = formal->base;
  Type* cardinal = Builtins().cardinalType;
  const std::string site = "type mismatch in argument " + std::to_string(number) + ": ";
  const auto mismatch = [&]() { Fail(arg->pos, Mismatch(site, formal, e->type, isVar)); };
  if (element->kind == TypeKind::Word || element->kind == TypeKind::Byte) {
    // Any variable: its bytes, counted in words or bytes.
    if (!e->IsDesignator() && e->kind != ExprKind::String) {
      if (isVar) Fail(arg->pos, "VAR parameter needs a variable");
      e = Finish(e);
    }
    const std::int32_t unit = element->kind == TypeKind::Word ? 4 : 1;
    if (e->type->kind == TypeKind::OpenArray) {
      // (SIZE(a) + unit - 1) DIV unit - 1
      Expr* size = SizeOf(e, arg->pos);
      auto* add = New<Ast::Binary>(arg->pos);
      add->op = Ast::BinaryOp::Add;
      add->left = size;
      add->right = IntLit(cardinal, unit - 1, arg->pos);
      add->type = cardinal;
      auto* div = New<Ast::Binary>(arg->pos);
      div->op = Ast::BinaryOp::Div;
      div->left = add;
      div->right = IntLit(cardinal, unit, arg->pos);
      div->type = cardinal;
      auto* sub = New<Ast::Binary>(arg->pos);
      sub->op = Ast::BinaryOp::Sub;
      sub->left = div;
      sub->right = IntLit(cardinal, 1, arg->pos);
      sub->type = cardinal;
      return {e, sub};
    }
    const std::int64_t size = e->type->size;
    return {e, IntLit(cardinal, size == 0 ? 0 : (size + unit - 1) / unit - 1, arg->pos)};
  }
  if (e->kind == ExprKind::String && Ast::BaseOf(element)->kind == TypeKind::Char) {
    if (isVar) Fail(arg->pos, "VAR parameter needs a variable");
    const std::int64_t length = static_cast<Ast::StringLit*>(e)->text.size();
    return {e, IntLit(cardinal, length >= 2 ? length : 0, arg->pos)};
  }
  if (isVar && !e->IsDesignator()) Fail(arg->pos, "VAR parameter needs a variable");
  if (e->type->kind == TypeKind::Array && e->type->base == element)
    return {e, IntLit(cardinal, e->type->length - 1, arg->pos)};
  if (e->type->kind == TypeKind::OpenArray && e->type->base == element) {
    if (e->kind != ExprKind::Var) mismatch();
    return {e, HighCall(e, arg->pos)};
  }
  mismatch();
  return {};
}

Expr* Checker::SizeOf(Expr* e, Pos pos) {
  if (e->type->kind == TypeKind::OpenArray) {
    auto* s = New<Ast::StdFunc>(pos);
    s->which = Ast::StdProc::Size;
    s->args.push_back(e);
    s->type = Builtins().cardinalType;
    return s;
  }
  return IntLit(ctx_.zz, e->type->size, pos);
}

Expr* Checker::TypeTransfer(Type* t, Node* args, Pos pos) {
  if (args == nullptr) Fail(pos, "too few parameters");
  if (args->next != nullptr) Fail(args->next->pos, "too many parameters");
  Expr* e = CharOf(Expression(args));
  const Type* s = e->type;
  if (t->kind == TypeKind::OpenArray) Fail(pos, "not a procedure: " + TypeName(t));
  const bool tReal = Ast::IsReal(t), sReal = Ast::IsReal(s) || s->kind == TypeKind::RR;
  if ((tReal && (IsWhole(s) || sReal)) || (IsWhole(t) && sReal))
    return Conv(e, t, Ast::ConvertKind::Value, !tReal);
  if (IsWhole(t) && IsWhole(s)) return Conv(e, t, Ast::ConvertKind::Bits, false);
  if (IsLiteral(e) && s->kind == TypeKind::ZZ && t->size <= 8 && !Ast::IsReal(t))
    return Conv(e, t, Ast::ConvertKind::Bits, false);
  if (s->kind == TypeKind::Nil && (IsPointerLike(t) || t->kind == TypeKind::Procedure))
    return Lit(t, e->pos);
  if (s->kind == TypeKind::String || s->kind == TypeKind::Nil || s->size != t->size)
    Fail(pos,
         "type transfer needs types of the same size: " + TypeName(t) + "(" + TypeName(s) + ")");
  return Conv(e, t, Ast::ConvertKind::Bits, false);
}

Expr* Checker::StdFunction(Ast::StdProc which, Node* args, Pos pos, std::string_view name) {
  using Ast::StdProc;
  std::vector<Node*> a;
  for (Node* x = args; x != nullptr; x = x->next) a.push_back(x);
  const auto count = [&](std::size_t least, std::size_t most) {
    if (a.size() < least) Fail(a.empty() ? pos : a.back()->pos, "too few parameters");
    if (a.size() > most) Fail(a[most]->pos, "too many parameters");
  };
  const auto func = [&](Expr* arg, Type* t) {
    auto* f = New<Ast::StdFunc>(pos);
    f->which = which;
    f->args.push_back(arg);
    f->type = t;
    return f;
  };
  const auto typeArg = [&](Node* x) {
    Item it = Designate(x);
    if (it.kind != Item::Kind::Type) Fail(x->pos, "type expected");
    return it.type;
  };
  Type* cardinal = Builtins().cardinalType;
  switch (which) {
  case StdProc::Abs: {
    count(1, 1);
    Expr* e = Expression(a[0]);
    Type* t = const_cast<Type*>(Ast::BaseOf(e->type));
    const bool real = Ast::IsReal(t) || t->kind == TypeKind::RR;
    if (!real && !Ast::IsInteger(t) && t->kind != TypeKind::ZZ) Fail(a[0]->pos, "number expected");
    if (IsLiteral(e)) {
      if (real) {
        Ast::Literal* l = Lit(t, pos);
        l->value.r = std::fabs(AsLiteral(e)->value.r);
        return l;
      }
      Int v = OrdValue(e);
      if (v < 0) v = -v;
      if (t->kind != TypeKind::ZZ && v > HighOf(t)) Fail(pos, "overflow in constant expression");
      return IntLit(t->kind == TypeKind::ZZ && v > kInt64Max ? Builtins().longCardType : t, v, pos);
    }
    if (Ast::IsUnsigned(t)) return e;
    return func(e, t);
  }
  case StdProc::Cap: {
    count(1, 1);
    Expr* e = CharOf(Expression(a[0]));
    if (Ast::BaseOf(e->type)->kind != TypeKind::Char) Fail(a[0]->pos, "CHAR expected");
    if (IsLiteral(e)) {
      const Int c = static_cast<unsigned char>(Charset::Upper(static_cast<char>(OrdValue(e))));
      return IntLit(Builtins().charType, c, pos);
    }
    return func(e, Builtins().charType);
  }
  case StdProc::Chr: {
    count(1, 1);
    Expr* e = Expression(a[0]);
    if (!Ast::IsInteger(e->type) && e->type->kind != TypeKind::ZZ)
      Fail(a[0]->pos, "integer expected");
    return Conv(e, Builtins().charType, Ast::ConvertKind::Value, true);
  }
  case StdProc::Float: {
    count(1, 1);
    Expr* e = Expression(a[0]);
    if (!Ast::IsInteger(e->type) && e->type->kind != TypeKind::ZZ && !Ast::IsReal(e->type) &&
        e->type->kind != TypeKind::RR)
      Fail(a[0]->pos, "number expected");
    return Conv(e, Builtins().realType, Ast::ConvertKind::Value, false);
  }
  case StdProc::High: {
    count(1, 1);
    Expr* e = Expression(a[0]);
    if (e->type->kind == TypeKind::Array)
      return IntLit(e->type->index, HighOf(e->type->index), pos);
    if (e->type->kind == TypeKind::OpenArray && e->kind == ExprKind::Var) return HighCall(e, pos);
    Fail(a[0]->pos, "array expected");
  }
  case StdProc::Max:
  case StdProc::Min: {
    count(1, 1);
    Type* t = typeArg(a[0]);
    if (Ast::IsReal(t)) {
      Ast::Literal* l = Lit(t, pos);
      l->value.r = which == StdProc::Max ? DBL_MAX : -DBL_MAX;
      return l;
    }
    if (!Ast::IsOrdinal(t)) Fail(a[0]->pos, "ordinal type expected");
    return IntLit(t, which == StdProc::Max ? HighOf(t) : LowOf(t), pos);
  }
  case StdProc::Odd: {
    count(1, 1);
    Expr* e = Expression(a[0]);
    if (!Ast::IsInteger(e->type) && e->type->kind != TypeKind::ZZ)
      Fail(a[0]->pos, "integer expected");
    if (IsLiteral(e)) return IntLit(Builtins().booleanType, (OrdValue(e) & 1) != 0, pos);
    return func(e, Builtins().booleanType);
  }
  case StdProc::Ord: {
    count(1, 1);
    Expr* e = Ordinal(Expression(a[0]));
    return Conv(e, cardinal, Ast::ConvertKind::Value, !Within(e->type, cardinal));
  }
  case StdProc::Size:
  case StdProc::Tsize: {
    count(1, which == StdProc::Tsize ? 64 : 1);
    for (std::size_t i = 1; i < a.size(); ++i) ConstExpr(a[i]);
    Item it = Designate(a[0]);
    if (it.kind == Item::Kind::Type) return IntLit(ctx_.zz, it.type->size, pos);
    if (which == StdProc::Tsize) Fail(a[0]->pos, "type expected");
    Expr* e = ValueOf(it, a[0]->pos);
    if (e->type->kind == TypeKind::OpenArray && e->kind != ExprKind::Var)
      Fail(a[0]->pos, "array expected");
    return SizeOf(e, pos);
  }
  case StdProc::Trunc: {
    count(1, 1);
    Expr* e = Expression(a[0]);
    if (!Ast::IsReal(e->type) && e->type->kind != TypeKind::RR) Fail(a[0]->pos, "real expected");
    return Conv(e, Builtins().integerType, Ast::ConvertKind::Value, true);
  }
  case StdProc::Val: {
    count(2, 2);
    Type* t = typeArg(a[0]);
    Expr* e = CharOf(Expression(a[1]));
    const bool tReal = Ast::IsReal(t);
    const bool sReal = Ast::IsReal(e->type) || e->type->kind == TypeKind::RR;
    if ((!Ast::IsOrdinal(t) && !tReal) || (!IsWhole(e->type) && !sReal))
      Fail(pos, "VAL needs an ordinal or real type and value");
    return Conv(e, t, Ast::ConvertKind::Value, !tReal && !Within(e->type, t));
  }
  case StdProc::Adr: {
    count(1, 1);
    Expr* e = Expression(a[0]);
    if (!e->IsDesignator()) Fail(a[0]->pos, "ADR needs a variable");
    return func(e, Builtins().addressType);
  }
  default:
    Fail(pos, "not a function procedure: " + std::string(name));
  }
}

} // namespace Check
