// The built-in types and names, the helpers over types both ends share, type layout and
// the names of types in messages.
#include <cstdint>
#include <string>

#include "compiler/Checker.h"

namespace Ast {

CompilationUnit::CompilationUnit() : arena(std::make_unique<Arena>()) {}
CompilationUnit::~CompilationUnit() = default;

bool Variable::IsOpenArray() const { return type != nullptr && type->kind == TypeKind::OpenArray; }

const Type* BaseOf(const Type* t) {
  return t != nullptr && t->kind == TypeKind::Subrange ? t->base : t;
}

bool IsOrdinal(const Type* t) {
  switch (BaseOf(t) != nullptr ? BaseOf(t)->kind : TypeKind::Record) {
  case TypeKind::Boolean:
  case TypeKind::Char:
  case TypeKind::Integer:
  case TypeKind::Cardinal:
  case TypeKind::LongInt:
  case TypeKind::LongCard:
  case TypeKind::Enumeration:
    return true;
  default:
    return false;
  }
}

bool IsInteger(const Type* t) {
  const Type* b = BaseOf(t);
  return b != nullptr && (b->kind == TypeKind::Integer || b->kind == TypeKind::Cardinal ||
                          b->kind == TypeKind::LongInt || b->kind == TypeKind::LongCard);
}

bool IsUnsigned(const Type* t) {
  const Type* b = BaseOf(t);
  if (b == nullptr) return false;
  switch (b->kind) {
  case TypeKind::Cardinal:
  case TypeKind::LongCard:
  case TypeKind::Address:
  case TypeKind::Char:
  case TypeKind::Boolean:
  case TypeKind::Enumeration:
    return true;
  default:
    return false;
  }
}

bool IsReal(const Type* t) {
  return t != nullptr && (t->kind == TypeKind::Real || t->kind == TypeKind::LongReal);
}

bool IsSet(const Type* t) {
  return t != nullptr && (t->kind == TypeKind::Set || t->kind == TypeKind::Bitset);
}

} // namespace Ast

namespace Check {

using Ast::Type;
using Ast::TypeKind;

void Fail(Pos pos, std::string message) {
  if (message.size() > 79) message.resize(79);
  throw Failure{pos, std::move(message)};
}

std::int32_t SetSize(std::int64_t elements) {
  if (elements <= 32) return 4;
  if (elements <= 64) return 8;
  return static_cast<std::int32_t>(((elements + 7) / 8 + 7) / 8 * 8);
}

void LayoutRecordEnd(Type* t) {
  if (t->size % t->align != 0) t->size += t->align - t->size % t->align;
}

Int OrdOf(const Type* t, std::int64_t bits) {
  const Type* b = Ast::BaseOf(t);
  if (b != nullptr && (b->kind == TypeKind::LongCard || b->kind == TypeKind::Address))
    return Int(static_cast<std::uint64_t>(bits));
  if (b != nullptr && b->kind == TypeKind::Cardinal) return Int(static_cast<std::uint32_t>(bits));
  return Int(bits);
}

Int LowOf(const Type* t) { return OrdOf(t, t->low); }
Int HighOf(const Type* t) { return OrdOf(t, t->high); }

namespace {

Type* Builtin(Ast::Arena& arena, TypeKind kind, std::string_view name, std::int32_t size,
              std::int64_t low, std::int64_t high) {
  Type* t = arena.New<Type>(kind);
  t->name = arena.Intern(name);
  t->size = size;
  t->align = size;
  t->low = low;
  t->high = high;
  return t;
}

void Enter(Context& ctx, Scope& scope, Ast::Decl* d) {
  Sym* s = ctx.arena->New<Sym>();
  s->decl = d;
  scope.names[d->name.data()] = s;
}

void EnterType(Context& ctx, Scope& scope, Type* t) {
  auto* d = ctx.arena->New<Ast::TypeDecl>();
  d->name = t->name;
  d->type = t;
  Enter(ctx, scope, d);
}

void EnterConst(Context& ctx, Scope& scope, std::string_view name, Type* t, std::int64_t v) {
  auto* d = ctx.arena->New<Ast::ConstDecl>();
  d->name = ctx.arena->Intern(name);
  d->type = t;
  d->value.i = v;
  Enter(ctx, scope, d);
}

void EnterStd(Context& ctx, Scope& scope, std::string_view name, Ast::StdProc which) {
  auto* d = ctx.arena->New<StdProcDecl>(which);
  d->name = ctx.arena->Intern(name);
  Enter(ctx, scope, d);
}

} // namespace

Ast::Type* StringType(Context& ctx, std::int64_t length) {
  auto found = ctx.strings.find(length);
  if (found != ctx.strings.end()) return found->second;
  Type* t = ctx.arena->New<Type>(TypeKind::String);
  t->length = length;
  t->size = static_cast<std::int32_t>(length + 1);
  ctx.strings[length] = t;
  return t;
}

void InitContext(Context& ctx, Ast::CompilationUnit& unit) {
  Ast::Arena& a = *unit.arena;
  ctx.arena = &a;
  ctx.unit = &unit;
  ctx.universe.kind = ScopeKind::Universe;
  unit.booleanType = Builtin(a, TypeKind::Boolean, "BOOLEAN", 1, 0, 1);
  unit.charType = Builtin(a, TypeKind::Char, "CHAR", 1, 0, 255);
  unit.integerType = Builtin(a, TypeKind::Integer, "INTEGER", 4, INT32_MIN, INT32_MAX);
  unit.cardinalType = Builtin(a, TypeKind::Cardinal, "CARDINAL", 4, 0, UINT32_MAX);
  unit.longIntType = Builtin(a, TypeKind::LongInt, "LONGINT", 8, INT64_MIN, INT64_MAX);
  unit.longCardType = Builtin(a, TypeKind::LongCard, "LONGCARD", 8, 0, -1);
  unit.realType = Builtin(a, TypeKind::Real, "REAL", 8, 0, 0);
  unit.longRealType = Builtin(a, TypeKind::LongReal, "LONGREAL", 8, 0, 0);
  unit.bitsetType = Builtin(a, TypeKind::Bitset, "BITSET", 4, 0, 31);
  ctx.bitsetElement = Builtin(a, TypeKind::Subrange, "", 4, 0, 31);
  ctx.bitsetElement->base = unit.cardinalType;
  ctx.bitsetElement->untypedBounds = true;
  unit.bitsetType->base = ctx.bitsetElement;
  unit.addressType = Builtin(a, TypeKind::Address, "ADDRESS", 8, 0, -1);
  unit.wordType = Builtin(a, TypeKind::Word, "WORD", 4, 0, 0);
  unit.byteType = Builtin(a, TypeKind::Byte, "BYTE", 1, 0, 0);
  unit.procType = Builtin(a, TypeKind::Procedure, "PROC", 8, 0, 0);
  unit.processType = Builtin(a, TypeKind::Opaque, "PROCESS", 8, 0, 0);
  ctx.zz = Builtin(a, TypeKind::ZZ, "", 8, INT64_MIN, INT64_MAX);
  ctx.rr = Builtin(a, TypeKind::RR, "", 8, 0, 0);
  ctx.nil = Builtin(a, TypeKind::Nil, "", 8, 0, 0);

  Scope& u = ctx.universe;
  for (Type* t :
       {unit.booleanType, unit.charType, unit.integerType, unit.cardinalType, unit.longIntType,
        unit.longCardType, unit.realType, unit.longRealType, unit.bitsetType, unit.procType})
    EnterType(ctx, u, t);
  EnterConst(ctx, u, "TRUE", unit.booleanType, 1);
  EnterConst(ctx, u, "FALSE", unit.booleanType, 0);
  EnterConst(ctx, u, "NIL", ctx.nil, 0);
  using Ast::StdProc;
  const std::pair<const char*, StdProc> standard[] = {
      {"ABS", StdProc::Abs},     {"CAP", StdProc::Cap},         {"CHR", StdProc::Chr},
      {"DEC", StdProc::Dec},     {"DISPOSE", StdProc::Dispose}, {"EXCL", StdProc::Excl},
      {"FLOAT", StdProc::Float}, {"HALT", StdProc::Halt},       {"HIGH", StdProc::High},
      {"INC", StdProc::Inc},     {"INCL", StdProc::Incl},       {"MAX", StdProc::Max},
      {"MIN", StdProc::Min},     {"NEW", StdProc::New},         {"ODD", StdProc::Odd},
      {"ORD", StdProc::Ord},     {"SIZE", StdProc::Size},       {"TRUNC", StdProc::Trunc},
      {"VAL", StdProc::Val}};
  for (const auto& [name, which] : standard) EnterStd(ctx, u, name, which);

  ctx.system = a.New<Ast::Module>();
  ctx.system->name = a.Intern("SYSTEM");
  ctx.system->moduleKind = Ast::ModuleKind::System;
  ctx.system->module = ctx.system;
  Scope& s = ctx.systemScope;
  s.module = ctx.system;
  s.exportsAll = true;
  EnterType(ctx, s, unit.addressType);
  EnterType(ctx, s, unit.wordType);
  EnterType(ctx, s, unit.byteType);
  EnterStd(ctx, s, "ADR", StdProc::Adr);
  EnterStd(ctx, s, "TSIZE", StdProc::Tsize);
  EnterType(ctx, s, unit.processType);
  EnterStd(ctx, s, "NEWPROCESS", StdProc::NewProcess);
  EnterStd(ctx, s, "TRANSFER", StdProc::Transfer);
  EnterStd(ctx, s, "IOTRANSFER", StdProc::IoTransfer);
  s.exports = s.names;
  ctx.moduleScopes[ctx.system] = &s;
  ctx.modules[ctx.system->name] = ctx.system;
}

Scope* ExportScope(Context& ctx, Ast::Module* module) {
  auto found = ctx.moduleScopes.find(module);
  if (found != ctx.moduleScopes.end()) return found->second;
  Scope* s = ctx.arena->New<Scope>();
  s->module = module;
  s->exportsAll = true;
  for (Ast::Decl* d : module->decls) {
    Sym* sym = ctx.arena->New<Sym>();
    sym->decl = d;
    s->names[d->name.data()] = sym;
  }
  s->exports = s->names;
  ctx.moduleScopes[module] = s;
  return s;
}

namespace {

std::string Describe(const Type* t, int depth) {
  if (t == nullptr) return "?";
  if (!t->name.empty()) return std::string(t->name);
  if (depth > 2) return "...";
  switch (t->kind) {
  case TypeKind::ZZ:
    return "integer constant";
  case TypeKind::RR:
    return "real constant";
  case TypeKind::Nil:
    return "NIL";
  case TypeKind::String:
    return t->length == 1 ? "CHAR constant" : "string";
  case TypeKind::Array:
    return "ARRAY [" + IntText(LowOf(t->index)) + ".." + IntText(HighOf(t->index)) + "] OF " +
           Describe(t->base, depth + 1);
  case TypeKind::OpenArray:
    return "ARRAY OF " + Describe(t->base, depth + 1);
  case TypeKind::Record:
    return "RECORD";
  case TypeKind::Pointer:
    return "POINTER TO " + Describe(t->base, depth + 1);
  case TypeKind::Set:
    return "SET OF " + Describe(t->base, depth + 1);
  case TypeKind::Enumeration:
    return "enumeration";
  case TypeKind::Subrange: {
    const bool chars = Ast::BaseOf(t)->kind == TypeKind::Char;
    if (chars) return "subrange of CHAR";
    return "[" + IntText(LowOf(t)) + ".." + IntText(HighOf(t)) + "]";
  }
  case TypeKind::Procedure: {
    std::string text = "PROCEDURE";
    if (!t->params.empty() || t->result != nullptr) {
      text += " (";
      for (std::size_t i = 0; i < t->params.size(); ++i) {
        if (i > 0) text += ", ";
        if (t->params[i].isVar) text += "VAR ";
        text += Describe(t->params[i].type, depth + 1);
      }
      text += ")";
    }
    if (t->result != nullptr) text += ": " + Describe(t->result, depth + 1);
    return text;
  }
  case TypeKind::Opaque:
    return "opaque type";
  default:
    return "?";
  }
}

} // namespace

std::string TypeName(const Type* t) { return Describe(t, 0); }

std::string Mismatch(const std::string& site, const Type* target, const Type* source, bool isVar) {
  const std::string t = TypeName(target), s = TypeName(source);
  if (t != s) return site + (isVar ? "VAR " : "") + t + " := " + s;
  // Two types that read the same, each declared on its own (ARRAY [0..9] OF CHAR twice).
  const std::string prefix = "type mismatch";
  const std::string where = site.rfind(prefix, 0) == 0 ? site.substr(prefix.size()) : ": ";
  return "different types" + where + "declare both with one type name";
}

} // namespace Check
