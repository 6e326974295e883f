#include "compiler/SymbolFile.h"

#include <cstring>
#include <string>
#include <unordered_map>

namespace SymbolFile {

namespace {

using Ast::Type;
using Ast::TypeKind;

constexpr std::uint16_t kPredeclared = 0xFFFF;
constexpr std::size_t kKeyOffset = 6; // after "VSYM" and the version
constexpr std::size_t kMinTypeRecord = 2 + 2 + 8 + 24 + 18;
constexpr std::size_t kMinObjectRecord = 1 + 6;

enum class ObjectKind : std::uint8_t { Const = 1, EnumConst = 2, Type = 3, Var = 4, Proc = 5 };

// The predeclared types by number; 0 is "none" and kString marks a string constant.
constexpr std::uint32_t kString = 18;
std::vector<Type*> Predeclared(Check::Context& ctx) {
  Ast::CompilationUnit& u = *ctx.unit;
  return {nullptr,       u.booleanType,  u.charType,        u.integerType,  u.cardinalType,
          u.longIntType, u.longCardType, u.realType,        u.longRealType, u.bitsetType,
          u.addressType, u.wordType,     u.byteType,        u.procType,     ctx.zz,
          ctx.rr,        ctx.nil,        ctx.bitsetElement, nullptr,        u.processType};
}

class Writer {
public:
  Writer(Check::Context& ctx, Ast::Module* m) : ctx_(ctx), module_(m) {
    const std::vector<Type*> pre = Predeclared(ctx);
    for (std::size_t i = 1; i < pre.size(); ++i)
      if (pre[i] != nullptr) predeclared_[pre[i]] = std::uint32_t(i);
  }

  std::vector<std::uint8_t> Run();

private:
  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) {
    U8(std::uint8_t(v));
    U8(std::uint8_t(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(std::uint16_t(v));
    U16(std::uint16_t(v >> 16));
  }
  void U64(std::uint64_t v) {
    U32(std::uint32_t(v));
    U32(std::uint32_t(v >> 32));
  }
  void Str(std::string_view s) {
    U16(std::uint16_t(s.size()));
    out_.insert(out_.end(), s.begin(), s.end());
  }
  void Key(const Ast::Key& k) {
    for (std::uint16_t w : k.word) U16(w);
  }
  bool Own(const Type* t) const { return t->home == module_ && !predeclared_.count(t); }
  std::uint16_t ModuleIndex(Ast::Module* m) {
    auto [it, inserted] = modules_.try_emplace(m, std::uint16_t(moduleOrder_.size() + 1));
    if (inserted) moduleOrder_.push_back(m);
    return it->second;
  }
  void Collect(Type* root);
  void Ref(const Type* t);
  void TypeRecord(const Type* t);

  Check::Context& ctx_;
  Ast::Module* module_;
  std::vector<std::uint8_t> out_;
  std::unordered_map<const Type*, std::uint32_t> predeclared_;
  std::unordered_map<Ast::Module*, std::uint16_t> modules_;
  std::vector<Ast::Module*> moduleOrder_;
  std::vector<Type*> order_;
  std::unordered_map<const Type*, int> state_;
  std::vector<Type*> pointerBases_;
};

// Numbers the own types reachable from root, every type after the types it is built of
// (a pointer's base excepted, which is numbered later on its own).
void Writer::Collect(Type* root) {
  std::vector<std::pair<Type*, bool>> stack{{root, false}};
  while (!stack.empty()) {
    auto [t, done] = stack.back();
    stack.pop_back();
    if (t == nullptr) continue;
    if (!Own(t)) {
      if (!predeclared_.count(t) && t->home != nullptr) ModuleIndex(t->home);
      continue;
    }
    if (done) {
      state_[t] = 2;
      t->homeIndex = std::int32_t(order_.size());
      order_.push_back(t);
      continue;
    }
    if (state_.count(t)) continue;
    state_[t] = 1;
    stack.push_back({t, true});
    if (t->kind == TypeKind::Pointer) {
      pointerBases_.push_back(t->base);
    } else {
      stack.push_back({t->base, false});
    }
    stack.push_back({t->index, false});
    stack.push_back({t->result, false});
    for (const Ast::Param& p : t->params) stack.push_back({p.type, false});
    for (const Ast::Field* f : t->fields) stack.push_back({f->type, false});
  }
}

void Writer::Ref(const Type* t) {
  if (t == nullptr) {
    U16(kPredeclared);
    U32(0);
  } else if (auto p = predeclared_.find(t); p != predeclared_.end()) {
    U16(kPredeclared);
    U32(p->second);
  } else if (t->kind == TypeKind::String) {
    U16(kPredeclared);
    U32(kString);
  } else if (Own(t)) {
    U16(0);
    U32(std::uint32_t(t->homeIndex));
  } else {
    U16(ModuleIndex(t->home));
    U32(std::uint32_t(t->homeIndex));
  }
}

void Writer::TypeRecord(const Type* t) {
  U8(std::uint8_t(t->kind));
  U8(t->untypedBounds ? 1 : 0);
  Str(t->name);
  U32(std::uint32_t(t->size));
  U32(std::uint32_t(t->align));
  U64(std::uint64_t(t->low));
  U64(std::uint64_t(t->high));
  U64(std::uint64_t(t->length));
  Ref(t->base);
  Ref(t->index);
  Ref(t->result);
  switch (t->kind) {
  case TypeKind::Enumeration:
    U32(std::uint32_t(t->constants.size()));
    for (const Ast::ConstDecl* c : t->constants) Str(c->name);
    break;
  case TypeKind::Record:
    U32(std::uint32_t(t->fields.size()));
    for (const Ast::Field* f : t->fields) {
      Str(f->name);
      Ref(f->type);
      U32(std::uint32_t(f->offset));
    }
    break;
  case TypeKind::Procedure:
    U16(std::uint16_t(t->params.size()));
    for (const Ast::Param& p : t->params) {
      U8(p.isVar ? 1 : 0);
      Ref(p.type);
    }
    break;
  default:
    break;
  }
}

std::vector<std::uint8_t> Writer::Run() {
  for (Ast::Decl* d : module_->decls) {
    switch (d->kind) {
    case Ast::DeclKind::Const:
      Collect(static_cast<Ast::ConstDecl*>(d)->type);
      break;
    case Ast::DeclKind::Type:
      Collect(static_cast<Ast::TypeDecl*>(d)->type);
      break;
    case Ast::DeclKind::Var:
      Collect(static_cast<Ast::Variable*>(d)->type);
      break;
    case Ast::DeclKind::Proc:
      Collect(static_cast<Ast::Procedure*>(d)->type);
      break;
    default:
      break;
    }
  }
  for (std::size_t i = 0; i < pointerBases_.size(); ++i) Collect(pointerBases_[i]);
  ctx_.typeTables[module_] = order_;

  // The body first: the module table is complete only after the types and objects.
  std::vector<std::uint8_t> body;
  out_.clear();
  U32(std::uint32_t(order_.size()));
  for (const Type* t : order_) TypeRecord(t);
  std::uint32_t objects = 0;
  std::vector<std::uint8_t> types = std::move(out_);
  out_.clear();
  for (Ast::Decl* d : module_->decls) {
    switch (d->kind) {
    case Ast::DeclKind::Const: {
      auto* c = static_cast<Ast::ConstDecl*>(d);
      if (c->type->kind == TypeKind::Enumeration &&
          std::size_t(c->value.i) < c->type->constants.size() &&
          c->type->constants[std::size_t(c->value.i)] == c) {
        U8(std::uint8_t(ObjectKind::EnumConst));
        Ref(c->type);
        U32(std::uint32_t(c->value.i));
      } else {
        U8(std::uint8_t(ObjectKind::Const));
        Str(c->name);
        Ref(c->type);
        if (c->type->kind == TypeKind::String) {
          U32(std::uint32_t(c->text.size()));
          out_.insert(out_.end(), c->text.begin(), c->text.end());
        } else {
          U64(std::uint64_t(c->value.i));
          std::uint64_t bits;
          std::memcpy(&bits, &c->value.r, 8);
          U64(bits);
          for (std::uint64_t w : c->value.set) U64(w);
        }
      }
      break;
    }
    case Ast::DeclKind::Type:
      U8(std::uint8_t(ObjectKind::Type));
      Str(d->name);
      Ref(static_cast<Ast::TypeDecl*>(d)->type);
      break;
    case Ast::DeclKind::Var:
      U8(std::uint8_t(ObjectKind::Var));
      Str(d->name);
      Ref(static_cast<Ast::Variable*>(d)->type);
      U32(std::uint32_t(static_cast<Ast::Variable*>(d)->offset));
      break;
    case Ast::DeclKind::Proc:
      U8(std::uint8_t(ObjectKind::Proc));
      Str(d->name);
      Ref(static_cast<Ast::Procedure*>(d)->type);
      U32(std::uint32_t(static_cast<Ast::Procedure*>(d)->number));
      break;
    default:
      continue;
    }
    ++objects;
  }
  std::vector<std::uint8_t> decls = std::move(out_);

  out_.clear();
  for (char c : std::string_view("VSYM")) U8(std::uint8_t(c));
  U16(kVersion);
  Key(Ast::Key{{0, 0, 0}});
  Str(module_->name);
  U32(std::uint32_t(module_->dataSize));
  U16(std::uint16_t(moduleOrder_.size()));
  for (Ast::Module* m : moduleOrder_) {
    Str(m->name);
    Key(m->key);
  }
  auto clauses = ctx_.definitionImports.find(module_);
  const std::size_t clauseCount =
      clauses != ctx_.definitionImports.end() ? clauses->second.size() : 0;
  U16(std::uint16_t(clauseCount));
  for (std::size_t i = 0; i < clauseCount; ++i) {
    const Check::ImportClause& c = clauses->second[i];
    Str(c.module);
    U8(c.whole ? 1 : 0);
    U16(std::uint16_t(c.names.size()));
    for (std::string_view n : c.names) Str(n);
  }
  out_.insert(out_.end(), types.begin(), types.end());
  U32(objects);
  out_.insert(out_.end(), decls.begin(), decls.end());
  const Ast::Key key = Digest(out_.data() + kKeyOffset + 6, out_.size() - kKeyOffset - 6);
  for (int i = 0; i < 3; ++i) {
    out_[kKeyOffset + 2 * i] = std::uint8_t(key.word[i]);
    out_[kKeyOffset + 2 * i + 1] = std::uint8_t(key.word[i] >> 8);
  }
  return std::move(out_);
}

// Reads the data strictly: any read past the end, reference out of range or type that
// breaks the rules the checker relies on makes the file damaged.
class Reader {
public:
  Reader(Check::Context& ctx, std::string_view name, const std::uint8_t* data, std::size_t size,
         Ast::Pos pos)
      : ctx_(ctx), name_(name), data_(data), size_(size), pos_(pos), pre_(Predeclared(ctx)) {}

  Ast::Module* Run();

private:
  [[noreturn]] void Damaged() {
    Check::Fail(pos_, "symbol file of " + std::string(name_) + " is damaged");
  }
  void Need(std::size_t n) {
    if (size_ - at_ < n) Damaged();
  }
  std::uint8_t U8() {
    Need(1);
    return data_[at_++];
  }
  std::uint16_t U16() {
    const std::uint16_t lo = U8();
    return std::uint16_t(lo | U8() << 8);
  }
  std::uint32_t U32() {
    const std::uint32_t lo = U16();
    return lo | std::uint32_t(U16()) << 16;
  }
  std::uint64_t U64() {
    const std::uint64_t lo = U32();
    return lo | std::uint64_t(U32()) << 32;
  }
  std::string_view Str() {
    const std::uint16_t n = U16();
    Need(n);
    std::string_view s(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return ctx_.arena->Intern(s);
  }
  Ast::Key Key() {
    Ast::Key k;
    for (std::uint16_t& w : k.word) w = U16();
    return k;
  }
  // A reference; own types (module 0) must come before `limit` unless pointerBase.
  Type* Ref(std::size_t limit, bool allowString = false);
  void TypeRecord(Type* t, std::size_t index);
  void Check(bool ok) {
    if (!ok) Damaged();
  }

  Check::Context& ctx_;
  std::string_view name_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  Ast::Pos pos_;
  std::vector<Type*> pre_;
  Ast::Module* module_ = nullptr;
  std::vector<Ast::Module*> modules_;
  std::vector<Type*> types_;
  bool sawString_ = false;
};

Type* Reader::Ref(std::size_t limit, bool allowString) {
  const std::uint16_t m = U16();
  const std::uint32_t i = U32();
  if (m == kPredeclared) {
    if (i == kString && allowString) {
      sawString_ = true;
      return nullptr;
    }
    Check(i < pre_.size() && (i == 0 || pre_[i] != nullptr));
    return pre_[i];
  }
  if (m == 0) {
    Check(i < limit);
    return types_[i];
  }
  Check(m <= modules_.size());
  const auto table = ctx_.typeTables.find(modules_[m - 1]);
  Check(table != ctx_.typeTables.end() && i < table->second.size());
  return table->second[i];
}

bool IsOrdinalKind(const Type* t) { return t != nullptr && Ast::IsOrdinal(t); }

void Reader::TypeRecord(Type* t, std::size_t index) {
  const std::uint8_t kind = U8();
  const std::uint8_t flags = U8();
  t->name = Str();
  t->size = std::int32_t(U32());
  t->align = std::int32_t(U32());
  t->low = std::int64_t(U64());
  t->high = std::int64_t(U64());
  t->length = std::int64_t(U64());
  t->untypedBounds = flags & 1;
  t->kind = TypeKind(kind);
  // A pointer's base may be any type of the file; everything else refers backwards.
  t->base = Ref(kind == std::uint8_t(TypeKind::Pointer) ? types_.size() : index);
  t->index = Ref(index);
  t->result = Ref(index);
  Check(t->size >= 0 && (t->align == 1 || t->align == 2 || t->align == 4 || t->align == 8));
  const auto notOpen = [&](const Type* x) {
    Check(x != nullptr && x->kind != TypeKind::OpenArray);
  };
  switch (t->kind) {
  case TypeKind::Enumeration: {
    const std::uint32_t count = U32();
    Check(count >= 1 && count <= 65536 && t->low == 0 && t->high == std::int64_t(count) - 1 &&
          t->size == (count > 256 ? 2 : 1));
    for (std::uint32_t i = 0; i < count; ++i) {
      auto* c = ctx_.arena->New<Ast::ConstDecl>();
      c->name = Str();
      c->type = t;
      c->value.i = i;
      c->module = module_;
      c->exported = true;
      t->constants.push_back(c);
    }
    break;
  }
  case TypeKind::Subrange: {
    const Type* b = t->base;
    Check(IsOrdinalKind(b) && b->kind != TypeKind::Subrange && t->size == b->size);
    Check(Check::LowOf(t) <= Check::HighOf(t) && Check::LowOf(t) >= Check::LowOf(b) &&
          Check::HighOf(t) <= Check::HighOf(b));
    break;
  }
  case TypeKind::Set: {
    Check(IsOrdinalKind(t->base));
    const Check::Int count = Check::HighOf(t->base) - Check::LowOf(t->base) + 1;
    Check(count <= 256 && t->low == t->base->low && t->high == t->base->high &&
          t->size == Check::SetSize(std::int64_t(count)));
    break;
  }
  case TypeKind::Array: {
    notOpen(t->base);
    Check(IsOrdinalKind(t->index) && t->low == t->index->low && t->high == t->index->high);
    const Check::Int length = Check::HighOf(t->index) - Check::LowOf(t->index) + 1;
    Check(length == t->length && length * t->base->size == t->size);
    break;
  }
  case TypeKind::OpenArray:
    notOpen(t->base);
    break;
  case TypeKind::Record: {
    const std::uint32_t count = U32();
    Check(count <= size_ - at_);
    for (std::uint32_t i = 0; i < count; ++i) {
      auto* f = ctx_.arena->New<Ast::Field>();
      f->name = Str();
      f->type = Ref(index);
      notOpen(f->type);
      f->offset = std::int32_t(U32());
      Check(f->offset >= 0 && std::int64_t(f->offset) + f->type->size <= t->size);
      t->fields.push_back(f);
    }
    break;
  }
  case TypeKind::Pointer:
    notOpen(t->base);
    Check(t->size == 8);
    break;
  case TypeKind::Opaque:
    Check(t->size == 8);
    break;
  case TypeKind::Procedure: {
    const std::uint16_t count = U16();
    for (std::uint16_t i = 0; i < count; ++i) {
      const bool isVar = U8() != 0;
      Type* p = Ref(index);
      Check(p != nullptr);
      t->params.push_back({p, isVar});
    }
    if (t->result != nullptr) notOpen(t->result);
    Check(t->size == 8);
    break;
  }
  default:
    Damaged();
  }
}

Ast::Module* Reader::Run() {
  Need(4);
  Check(std::memcmp(data_, "VSYM", 4) == 0);
  at_ = 4;
  Check(U16() == kVersion);
  const Ast::Key key = Key();
  const Ast::Key digest = Digest(data_ + at_, size_ - at_);
  Check(std::memcmp(key.word, digest.word, sizeof key.word) == 0);
  const std::string_view name = Str();
  Check(name == name_);
  module_ = ctx_.arena->New<Ast::Module>();
  module_->name = name;
  module_->moduleKind = Ast::ModuleKind::Definition;
  module_->module = module_;
  module_->key = key;
  module_->slot = -1;
  const std::uint32_t dataSize = U32();
  Check(dataSize <= 0x7FFFFFFF);
  module_->dataSize = std::int32_t(dataSize);

  const std::uint16_t moduleCount = U16();
  for (std::uint16_t i = 0; i < moduleCount; ++i) {
    const std::string_view dep = Str();
    const Ast::Key expected = Key();
    Check(dep != name);
    Ast::Module* m = ctx_.load(dep, pos_);
    if (std::memcmp(m->key.word, expected.word, sizeof expected.word) != 0)
      Check::Fail(pos_,
                  std::string(dep) + " changed: recompile the definition of " + std::string(name));
    modules_.push_back(m);
  }
  std::vector<Check::ImportClause> clauses(U16());
  for (Check::ImportClause& c : clauses) {
    c.module = Str();
    c.whole = U8() != 0;
    c.names.resize(U16());
    for (std::string_view& n : c.names) n = Str();
    c.pos = pos_;
  }
  ctx_.definitionImports[module_] = std::move(clauses);

  const std::uint32_t typeCount = U32();
  Check(typeCount <= (size_ - at_) / kMinTypeRecord);
  for (std::uint32_t i = 0; i < typeCount; ++i) {
    Type* t = ctx_.arena->New<Type>(TypeKind::Opaque);
    t->home = module_;
    t->homeIndex = std::int32_t(i);
    types_.push_back(t);
  }
  ctx_.typeTables[module_] = types_;
  for (std::uint32_t i = 0; i < typeCount; ++i) TypeRecord(types_[i], i);
  for (const Type* t : types_)
    if (t->kind == TypeKind::Pointer) Check(t->base->kind != TypeKind::OpenArray);

  const std::uint32_t objectCount = U32();
  Check(objectCount <= (size_ - at_) / kMinObjectRecord);
  std::unordered_map<const char*, bool> names;
  for (std::uint32_t i = 0; i < objectCount; ++i) {
    const auto kind = ObjectKind(U8());
    Ast::Decl* d = nullptr;
    switch (kind) {
    case ObjectKind::EnumConst: {
      Type* t = Ref(types_.size());
      const std::uint32_t value = U32();
      Check(t != nullptr && t->kind == TypeKind::Enumeration && value < t->constants.size());
      d = t->constants[value];
      break;
    }
    case ObjectKind::Const: {
      auto* c = ctx_.arena->New<Ast::ConstDecl>();
      c->name = Str();
      sawString_ = false;
      Type* t = Ref(types_.size(), true);
      if (sawString_) {
        const std::uint32_t length = U32();
        Need(length);
        c->text =
            ctx_.arena->Copy(std::string_view(reinterpret_cast<const char*>(data_ + at_), length));
        at_ += length;
        t = Check::StringType(ctx_, length);
      } else {
        Check(t != nullptr && t->kind != TypeKind::Record && t->kind != TypeKind::Array &&
              t->kind != TypeKind::OpenArray);
        c->value.i = std::int64_t(U64());
        const std::uint64_t bits = U64();
        std::memcpy(&c->value.r, &bits, 8);
        for (std::uint64_t& w : c->value.set) w = U64();
      }
      c->type = t;
      d = c;
      break;
    }
    case ObjectKind::Type: {
      auto* td = ctx_.arena->New<Ast::TypeDecl>();
      td->name = Str();
      td->type = Ref(types_.size());
      Check(td->type != nullptr && td->type->kind != TypeKind::OpenArray &&
            td->type->kind != TypeKind::ZZ && td->type->kind != TypeKind::RR &&
            td->type->kind != TypeKind::Nil);
      d = td;
      break;
    }
    case ObjectKind::Var: {
      auto* v = ctx_.arena->New<Ast::Variable>();
      v->name = Str();
      v->type = Ref(types_.size());
      Check(v->type != nullptr && v->type->kind != TypeKind::OpenArray &&
            v->type->kind != TypeKind::ZZ && v->type->kind != TypeKind::RR &&
            v->type->kind != TypeKind::Nil);
      v->offset = std::int32_t(U32());
      Check(v->offset >= 0 && std::int64_t(v->offset) + v->type->size <= module_->dataSize);
      v->varKind = Ast::VarKind::Global;
      module_->variables.push_back(v);
      d = v;
      break;
    }
    case ObjectKind::Proc: {
      auto* p = ctx_.arena->New<Ast::Procedure>();
      p->name = Str();
      p->type = Ref(types_.size());
      Check(p->type != nullptr && p->type->kind == TypeKind::Procedure);
      // The definition's procedures are entries 1, 2, ... in order.
      p->number = std::int32_t(U32());
      Check(std::size_t(p->number) == module_->procedures.size() + 1);
      p->imported = true;
      std::int32_t words = 0;
      for (const Ast::Param& param : p->type->params)
        words += param.type->kind == TypeKind::OpenArray ? 2 : 1;
      p->paramWords = words;
      module_->procedures.push_back(p);
      d = p;
      break;
    }
    default:
      Damaged();
    }
    Check(!d->name.empty() && !names[d->name.data()]);
    names[d->name.data()] = true;
    d->module = module_;
    d->exported = true;
    module_->decls.push_back(d);
  }
  Check(at_ == size_);
  return module_;
}

} // namespace

// A 64-bit FNV-1a digest, mixed, whose low 48 bits are the three words.
Ast::Key Digest(const std::uint8_t* data, std::size_t size) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 0x100000001b3ull;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  Ast::Key k{{std::uint16_t(h), std::uint16_t(h >> 16), std::uint16_t(h >> 32)}};
  if (k.word[0] == 0 && k.word[1] == 0 && k.word[2] == 0) k.word[0] = 1;
  return k;
}

std::vector<std::uint8_t> Write(Check::Context& ctx, Ast::Module* module) {
  return Writer(ctx, module).Run();
}

Ast::Key KeyOf(const std::vector<std::uint8_t>& data) {
  Ast::Key k{{0, 0, 0}};
  if (data.size() < kKeyOffset + 6) return k;
  for (int i = 0; i < 3; ++i)
    k.word[i] = std::uint16_t(data[kKeyOffset + 2 * i] | data[kKeyOffset + 2 * i + 1] << 8);
  return k;
}

Ast::Module* Read(Check::Context& ctx, std::string_view name, const std::uint8_t* data,
                  std::size_t size, Ast::Pos pos) {
  return Reader(ctx, name, data, size, pos).Run();
}

} // namespace SymbolFile
