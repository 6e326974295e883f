// The checker's declarations: scopes, imports and exports, the resolution of constants,
// types, variables and procedure headings, record layout, procedure bodies and modules.
#include <algorithm>

#include "compiler/CheckerImpl.h"

namespace Check {

namespace {

constexpr int kMaxResolveDepth = 200;

// Whether a statement of the list, or of the lists inside it, is a RETURN.
bool HasReturn(const Ast::StmtList& list) {
  const auto any = [](const auto& arms) {
    return std::any_of(arms.begin(), arms.end(),
                       [](const auto& arm) { return HasReturn(arm.body); });
  };
  for (const Ast::Stmt* s : list) {
    bool found = false;
    switch (s->kind) {
    case Ast::StmtKind::Return:
      return true;
    case Ast::StmtKind::If:
      found = any(static_cast<const Ast::If*>(s)->arms) ||
              HasReturn(static_cast<const Ast::If*>(s)->elseBody);
      break;
    case Ast::StmtKind::Case:
      found = any(static_cast<const Ast::Case*>(s)->arms) ||
              HasReturn(static_cast<const Ast::Case*>(s)->elseBody);
      break;
    case Ast::StmtKind::While:
      found = HasReturn(static_cast<const Ast::While*>(s)->body);
      break;
    case Ast::StmtKind::Repeat:
      found = HasReturn(static_cast<const Ast::Repeat*>(s)->body);
      break;
    case Ast::StmtKind::For:
      found = HasReturn(static_cast<const Ast::For*>(s)->body);
      break;
    case Ast::StmtKind::Loop:
      found = HasReturn(static_cast<const Ast::Loop*>(s)->body);
      break;
    case Ast::StmtKind::With:
      found = HasReturn(static_cast<const Ast::With*>(s)->body);
      break;
    default:
      break;
    }
    if (found) return true;
  }
  return false;
}
constexpr std::int64_t kMaxSize = 0x7FFFFFFF;

std::int32_t AlignUp(std::int64_t offset, std::int32_t align, Pos pos, const char* what) {
  if (align > 1 && offset % align != 0) offset += align - offset % align;
  if (offset > kMaxSize) Fail(pos, std::string(what) + " too large");
  return static_cast<std::int32_t>(offset);
}

} // namespace

Ast::Module* CheckUnit(Context& ctx, Node* root, Ast::CompilationUnit* unit) {
  return Checker(ctx, unit).Unit(root);
}

Checker::Checker(Context& ctx, Ast::CompilationUnit* unit)
    : ctx_(ctx), arena_(*ctx.arena), unit_(unit) {}

Sym* Checker::NewSym(Ast::Decl* d, Node* node, Scope* scope, SymState state) {
  Sym* s = arena_.New<Sym>();
  s->decl = d;
  s->node = node;
  s->scope = scope;
  s->state = state;
  return s;
}

// Enters sym under its declaration's name; the same declaration twice (an import repeated)
// is no error, and an enumeration constant that came with its type yields.
Sym* Checker::Declare(Scope* scope, Ast::Decl* d, Sym* sym, Pos pos) {
  auto [it, inserted] = scope->names.try_emplace(d->name.data(), sym);
  if (inserted) return sym;
  Sym* old = it->second;
  if (old->decl == d) return old;
  if (old->implicit) {
    it->second = sym;
    return sym;
  }
  if (sym->implicit) return old;
  Fail(pos, "identifier declared twice: " + std::string(d->name));
}

Sym* Checker::Lookup(std::string_view name) {
  for (Scope* s = scope_; s != nullptr; s = s->kind == ScopeKind::Procedure ? s->outer : nullptr) {
    auto found = s->names.find(name.data());
    if (found != s->names.end()) return found->second;
  }
  auto found = ctx_.universe.names.find(name.data());
  return found != ctx_.universe.names.end() ? found->second : nullptr;
}

Ast::Module* Checker::LoadModule(std::string_view name, Pos pos) {
  if (name == "SYSTEM") return ctx_.system;
  Ast::Module* m = ctx_.load(name, pos);
  if (unit_ != nullptr && kind_ != Ast::ModuleKind::Definition && m != module_ && m->slot < 0) {
    m->slot = static_cast<std::int32_t>(unit_->imports.size()) + 1;
    unit_->imports.push_back(m);
  }
  return m;
}

Ast::Module* Checker::Unit(Node* root) {
  kind_ = static_cast<Ast::ModuleKind>(root->op);
  if (root->name.size() > 16) Fail(root->pos, "module name longer than 16 characters");
  unitScope_ = arena_.New<Scope>();
  unitScope_->kind = ScopeKind::Module;
  if (kind_ == Ast::ModuleKind::Implementation) {
    module_ = ctx_.load(root->name, root->pos);
    if (module_->moduleKind != Ast::ModuleKind::Definition)
      Fail(root->pos, "definition module not found: " + std::string(root->name));
    module_->moduleKind = Ast::ModuleKind::Implementation;
    module_->slot = 0;
    for (Ast::Decl* d : module_->decls) {
      unitScope_->names[d->name.data()] = NewSym(d, nullptr, unitScope_, SymState::Resolved);
      if (d->kind == Ast::DeclKind::Proc) {
        auto* p = static_cast<Ast::Procedure*>(d);
        unimplemented_.push_back(p);
        nextProcNumber_ = std::max(nextProcNumber_, p->number + 1);
        if (unit_ != nullptr) {
          if (unit_->procedures.size() <= std::size_t(p->number))
            unit_->procedures.resize(p->number + 1);
          unit_->procedures[p->number] = p;
        }
      } else if (d->kind == Ast::DeclKind::Type &&
                 static_cast<Ast::TypeDecl*>(d)->type->kind == TypeKind::Opaque &&
                 static_cast<Ast::TypeDecl*>(d)->type->home == module_) {
        opaques_.push_back(static_cast<Ast::TypeDecl*>(d));
      }
    }
    definitionVariables_ = module_->variables.size();
  } else {
    module_ = New<Ast::Module>(root->pos);
    module_->name = root->name;
    module_->moduleKind = kind_;
    module_->slot = kind_ == Ast::ModuleKind::Definition ? -1 : 0;
  }
  module_->module = module_;
  module_->endPos = root->end;
  unitScope_->module = module_;
  scope_ = unitScope_;
  if (unit_ != nullptr && unit_->procedures.empty()) unit_->procedures.push_back(nullptr);

  if (kind_ == Ast::ModuleKind::Implementation) {
    auto clauses = ctx_.definitionImports.find(module_);
    if (clauses != ctx_.definitionImports.end()) {
      for (const ImportClause& c : clauses->second) {
        Ast::Module* m = LoadModule(c.module, root->pos);
        Scope* ms = ExportScope(ctx_, m);
        if (c.whole) {
          Declare(unitScope_, m, NewSym(m, nullptr, unitScope_, SymState::Resolved), root->pos);
          continue;
        }
        for (std::string_view name : c.names) {
          auto found = ms->exports.find(name.data());
          if (found == ms->exports.end())
            Fail(root->pos, std::string(c.module) + " does not export " + std::string(name));
          ImportName(unitScope_, found->second, root->pos);
        }
      }
    }
  }
  for (Node* i = root->a; i != nullptr; i = i->next) ImportInto(unitScope_, i, nullptr);
  EnterDecls(root->c, unitScope_, module_, nullptr);
  ConnectModules(root->c, unitScope_);
  CheckDecls(root->c);
  if (root->e != nullptr) module_->priority = static_cast<std::int64_t>(ConstInt(root->e));
  returnTo_ = nullptr;
  module_->body = Statements(root->d);
  ResolvePointers();

  if (kind_ == Ast::ModuleKind::Implementation) {
    for (Ast::Procedure* p : unimplemented_)
      if (p->imported) Fail(root->end, "procedure not implemented: " + std::string(p->name));
    for (Ast::TypeDecl* d : opaques_)
      if (d->type->kind == TypeKind::Opaque)
        Fail(root->end, "opaque type not defined: " + std::string(d->name));
  }
  std::int32_t offset = kind_ == Ast::ModuleKind::Implementation ? module_->dataSize : 0;
  LayoutGlobals(module_, offset);
  module_->dataSize = offset;
  if (unit_ != nullptr) {
    unit_->kind = kind_;
    unit_->module = module_;
    unit_->dataSize = module_->dataSize;
    unit_->key = module_->key;
  }
  return module_;
}

// FROM M IMPORT names, or IMPORT names. At unit level the modules are loaded; in a local
// module the names come from the enclosing scope (a module not found there is loaded).
void Checker::ImportInto(Scope* target, Node* imp, Scope* source) {
  if (!imp->name.empty()) {
    Scope* ms = nullptr;
    if (source != nullptr) {
      Scope* saved = scope_;
      scope_ = source;
      Sym* s = Lookup(imp->name);
      scope_ = saved;
      if (s != nullptr && s->decl->kind == Ast::DeclKind::Module) {
        auto* m = static_cast<Ast::Module*>(s->decl);
        ms = m->moduleKind == Ast::ModuleKind::Local ? ctx_.moduleScopes[m] : ExportScope(ctx_, m);
      }
    }
    if (ms == nullptr) {
      Ast::Module* m = LoadModule(imp->name, imp->pos);
      ms = ExportScope(ctx_, m);
      if (source == nullptr && kind_ == Ast::ModuleKind::Definition)
        ctx_.definitionImports[module_].push_back({m->name, false, {}, imp->pos});
    }
    for (Node* id = imp->a; id != nullptr; id = id->next) {
      auto found = ms->exports.find(id->name.data());
      if (found == ms->exports.end())
        Fail(id->pos, std::string(imp->name) + " does not export " + std::string(id->name));
      ImportName(target, found->second, id->pos);
      if (source == nullptr && kind_ == Ast::ModuleKind::Definition)
        ctx_.definitionImports[module_].back().names.push_back(id->name);
    }
    return;
  }
  for (Node* id = imp->a; id != nullptr; id = id->next) {
    Sym* s = nullptr;
    if (source != nullptr) {
      Scope* saved = scope_;
      scope_ = source;
      s = Lookup(id->name);
      scope_ = saved;
    }
    if (s == nullptr) {
      Ast::Module* m = LoadModule(id->name, id->pos);
      s = NewSym(m, nullptr, target, SymState::Resolved);
      if (source == nullptr && kind_ == Ast::ModuleKind::Definition)
        ctx_.definitionImports[module_].push_back({m->name, true, {}, id->pos});
    }
    ImportName(target, s, id->pos);
  }
}

// An imported name; an enumeration type brings its constants along.
void Checker::ImportName(Scope* target, Sym* sym, Pos pos) {
  Declare(target, sym->decl, sym, pos);
  if (sym->decl->kind != Ast::DeclKind::Type) return;
  if (sym->state != SymState::Resolved) {
    if (sym->node == nullptr || sym->node->a == nullptr || sym->node->a->kind != K::Enum) return;
    Resolve(sym, pos);
  }
  const Type* t = static_cast<Ast::TypeDecl*>(sym->decl)->type;
  if (t == nullptr || t->kind != TypeKind::Enumeration) return;
  for (Ast::ConstDecl* c : t->constants) {
    Sym* s = NewSym(c, nullptr, target, SymState::Resolved);
    s->implicit = true;
    Declare(target, c, s, pos);
  }
}

void Checker::EnterDecls(Node* list, Scope* scope, Ast::Module* module, Ast::Procedure* proc) {
  const bool exported = kind_ == Ast::ModuleKind::Definition;
  const auto init = [&](Ast::Decl* d, Node* n, std::string_view name) {
    d->name = name;
    d->pos = n->pos;
    d->module = module_;
    d->exported = exported;
    if (module != nullptr) module->decls.push_back(d);
  };
  for (Node* n = list; n != nullptr; n = n->next) {
    switch (n->kind) {
    case K::ConstDecl: {
      auto* d = arena_.New<Ast::ConstDecl>();
      init(d, n, n->name);
      symOf_[n] = Declare(scope, d, NewSym(d, n, scope, SymState::Unresolved), n->pos);
      break;
    }
    case K::TypeDecl: {
      if (kind_ == Ast::ModuleKind::Implementation && scope == unitScope_) {
        auto found = scope->names.find(n->name.data());
        if (found != scope->names.end() && found->second->decl->kind == Ast::DeclKind::Type &&
            std::find(opaques_.begin(), opaques_.end(), found->second->decl) != opaques_.end() &&
            found->second->node == nullptr) {
          Sym* s = found->second;
          s->node = n;
          s->scope = scope;
          s->state = SymState::Unresolved;
          s->completesOpaque = true;
          symOf_[n] = s;
          break;
        }
      }
      auto* d = arena_.New<Ast::TypeDecl>();
      init(d, n, n->name);
      Sym* s = NewSym(d, n, scope, SymState::Unresolved);
      if (n->a == nullptr) {
        Type* t = NewType(TypeKind::Opaque);
        t->size = t->align = 8;
        t->name = n->name;
        t->home = module_;
        d->type = t;
        s->state = SymState::Resolved;
      }
      symOf_[n] = Declare(scope, d, s, n->pos);
      break;
    }
    case K::VarDecl:
      for (Node* id = n->a; id != nullptr; id = id->next) {
        auto* v = arena_.New<Ast::Variable>();
        init(v, id, id->name);
        v->varKind = proc != nullptr ? Ast::VarKind::Local : Ast::VarKind::Global;
        v->proc = proc;
        if (module != nullptr) module->variables.push_back(v);
        if (proc != nullptr) proc->locals.push_back(v);
        symOf_[id] = Declare(scope, v, NewSym(v, n, scope, SymState::Unresolved), id->pos);
      }
      break;
    case K::ProcDecl: {
      if (kind_ == Ast::ModuleKind::Implementation && scope == unitScope_) {
        auto found = scope->names.find(n->name.data());
        if (found != scope->names.end() && found->second->decl->kind == Ast::DeclKind::Proc &&
            found->second->node == nullptr &&
            static_cast<Ast::Procedure*>(found->second->decl)->imported) {
          Sym* s = found->second;
          auto* p = static_cast<Ast::Procedure*>(s->decl);
          p->imported = false;
          p->pos = n->pos;
          s->node = n;
          s->scope = scope;
          s->state = SymState::Unresolved;
          s->implementsDefinition = true;
          symOf_[n] = s;
          module_->procedures.push_back(p);
          break;
        }
      }
      auto* p = arena_.New<Ast::Procedure>();
      init(p, n, n->name);
      p->outer = proc;
      p->imported = kind_ == Ast::ModuleKind::Definition;
      p->level = proc != nullptr ? proc->level + 1 : 0;
      p->number = nextProcNumber_++;
      if (unit_ != nullptr) {
        if (unit_->procedures.size() <= std::size_t(p->number))
          unit_->procedures.resize(p->number + 1);
        unit_->procedures[p->number] = p;
      }
      if (proc != nullptr) {
        proc->nested.push_back(p);
      } else if (module != nullptr) {
        module->procedures.push_back(p);
      }
      symOf_[n] = Declare(scope, p, NewSym(p, n, scope, SymState::Unresolved), n->pos);
      break;
    }
    case K::ModuleDecl: {
      auto* m = arena_.New<Ast::Module>();
      init(m, n, n->name);
      m->moduleKind = Ast::ModuleKind::Local;
      m->proc = proc;
      m->endPos = n->end;
      Scope* ms = arena_.New<Scope>();
      ms->kind = ScopeKind::Module;
      ms->module = m;
      ms->proc = proc;
      ctx_.moduleScopes[m] = ms;
      symOf_[n] = Declare(scope, m, NewSym(m, n, scope, SymState::Resolved), n->pos);
      if (proc != nullptr) {
        proc->localModules.push_back(m);
      } else if (module != nullptr) {
        module->localModules.push_back(m);
      }
      EnterDecls(n->c, ms, m, proc);
      break;
    }
    default:
      break;
    }
  }
}

// The imports and exports of the local modules declared in list, once every name of
// the enclosing scope is entered.
void Checker::ConnectModules(Node* list, Scope* scope) {
  for (Node* n = list; n != nullptr; n = n->next) {
    if (n->kind != K::ModuleDecl) continue;
    auto* m = static_cast<Ast::Module*>(symOf_[n]->decl);
    Scope* ms = ctx_.moduleScopes[m];
    for (Node* i = n->a; i != nullptr; i = i->next) ImportInto(ms, i, scope);
    ConnectModules(n->c, ms);
    if (n->b == nullptr) continue;
    const bool qualified = n->b->flag & 1;
    for (Node* id = n->b->a; id != nullptr; id = id->next) {
      auto found = ms->names.find(id->name.data());
      if (found == ms->names.end())
        Fail(id->pos, "undeclared identifier: " + std::string(id->name));
      ms->exports[id->name.data()] = found->second;
      found->second->decl->exported = true;
      if (!qualified) ImportName(scope, found->second, id->pos);
    }
  }
}

// The declarations of the current scope in text order; procedure bodies and local
// modules are checked where they stand.
void Checker::CheckDecls(Node* list) {
  for (Node* n = list; n != nullptr; n = n->next) {
    switch (n->kind) {
    case K::ConstDecl:
    case K::TypeDecl:
      Resolve(symOf_[n], n->pos);
      break;
    case K::VarDecl:
      for (Node* id = n->a; id != nullptr; id = id->next) Resolve(symOf_[id], id->pos);
      break;
    case K::ProcDecl: {
      Sym* s = symOf_[n];
      Resolve(s, n->pos);
      if (n->flag & 1) CheckProcedure(static_cast<Ast::Procedure*>(s->decl), n);
      break;
    }
    case K::ModuleDecl:
      CheckLocalModule(static_cast<Ast::Module*>(symOf_[n]->decl), n);
      break;
    default:
      break;
    }
  }
  ResolvePointers();
}

void Checker::CheckProcedure(Ast::Procedure* p, Node* n) {
  Scope* ps = arena_.New<Scope>();
  ps->kind = ScopeKind::Procedure;
  ps->outer = scope_;
  ps->module = scope_->module;
  ps->proc = p;
  for (Ast::Variable* v : p->params)
    Declare(ps, v, NewSym(v, nullptr, ps, SymState::Resolved), v->pos);
  EnterDecls(n->c, ps, nullptr, p);
  ScopeSwitch inside(*this, ps);
  returnTo_ = p;
  ConnectModules(n->c, ps);
  CheckDecls(n->c);
  p->body = Statements(n->d);
  p->endPos = n->end;
  if (p->Result() != nullptr && !HasReturn(p->body))
    Fail(n->end, "function procedure without RETURN: " + std::string(p->name));
  LayoutLocals(p);
}

void Checker::CheckLocalModule(Ast::Module* m, Node* n) {
  ScopeSwitch inside(*this, ctx_.moduleScopes[m]);
  returnTo_ = nullptr;
  CheckDecls(n->c);
  if (n->e != nullptr) m->priority = static_cast<std::int64_t>(ConstInt(n->e));
  m->body = Statements(n->d);
}

void Checker::Resolve(Sym* s, Pos use) {
  if (s->state == SymState::Resolved) return;
  if (s->state == SymState::Resolving)
    Fail(use, "recursive declaration of " + std::string(s->decl->name));
  if (++resolveDepth_ > kMaxResolveDepth) Fail(use, "declarations refer forward too deeply");
  s->state = SymState::Resolving;
  {
    ScopeSwitch there(*this, s->scope);
    Node* n = s->node;
    switch (s->decl->kind) {
    case Ast::DeclKind::Const:
      ResolveConst(static_cast<Ast::ConstDecl*>(s->decl), n);
      break;
    case Ast::DeclKind::Type:
      ResolveType(static_cast<Ast::TypeDecl*>(s->decl), n, s->completesOpaque);
      break;
    case Ast::DeclKind::Var: {
      auto* v = static_cast<Ast::Variable*>(s->decl);
      auto found = varTypes_.find(n);
      if (found != varTypes_.end()) {
        v->type = found->second;
      } else {
        v->type = TypeOf(n->b);
        varTypes_[n] = v->type;
      }
      break;
    }
    case Ast::DeclKind::Proc:
      ResolveHeading(static_cast<Ast::Procedure*>(s->decl), n, s->implementsDefinition);
      break;
    default:
      break;
    }
  }
  s->state = SymState::Resolved;
  --resolveDepth_;
}

void Checker::ResolveConst(Ast::ConstDecl* c, Node* n) {
  Expr* e = ConstExpr(n->a);
  c->type = e->type;
  if (e->kind == Ast::ExprKind::String) {
    c->text = static_cast<Ast::StringLit*>(e)->text;
  } else {
    c->value = static_cast<Ast::Literal*>(e)->value;
  }
}

void Checker::ResolveType(Ast::TypeDecl* d, Node* n, bool opaque) {
  if (!opaque) {
    Type* t = TypeOf(n->a);
    if (t->name.empty()) {
      t->name = d->name;
      t->home = module_;
    }
    d->type = t;
    return;
  }
  // The implementation of an opaque type: a pointer type, built into the opaque type
  // itself so that every use of the definition's type sees it.
  Type* o = d->type;
  if (n->a->kind == K::PointerType) {
    o->kind = TypeKind::Pointer;
    pointers_[o] = {n->a->a, scope_};
    pointerOrder_.push_back(o);
    return;
  }
  Type* t = TypeOf(n->a);
  if (t->kind != TypeKind::Pointer)
    Fail(n->a->pos, "opaque type must be a pointer type: " + std::string(d->name));
  o->kind = TypeKind::Pointer;
  o->base = PointerBase(t);
}

void Checker::ResolveHeading(Ast::Procedure* p, Node* n, bool implementsDefinition) {
  Type* t = NewType(TypeKind::Procedure);
  t->size = t->align = 8;
  std::vector<Ast::Variable*> params;
  std::int32_t words = 0;
  for (Node* sec = n->a; sec != nullptr; sec = sec->next) {
    Type* ft = FormalType(sec->b);
    const bool isVar = sec->flag & 1;
    for (Node* id = sec->a; id != nullptr; id = id->next) {
      auto* v = New<Ast::Variable>(id->pos);
      v->name = id->name;
      v->type = ft;
      v->varKind = isVar ? Ast::VarKind::VarParam : Ast::VarKind::Param;
      v->proc = p;
      v->module = module_;
      v->offset = words;
      words += ft->kind == TypeKind::OpenArray ? 2 : 1;
      params.push_back(v);
      t->params.push_back({ft, isVar});
    }
  }
  if (n->b != nullptr) t->result = NamedType(n->b);
  if (implementsDefinition) {
    if (!SameSignature(p->type, t))
      Fail(n->pos, "heading of " + std::string(p->name) + " differs from its definition");
  } else {
    p->type = t;
  }
  p->params = std::move(params);
  p->paramWords = words;
}

Type* Checker::NamedType(Node* n) {
  Item it = Designate(n);
  if (it.kind != Item::Kind::Type) Fail(n->pos, "not a type: " + std::string(it.name));
  return it.type;
}

Type* Checker::FormalType(Node* f) {
  Type* t = NamedType(f->a);
  if (!(f->flag & 2)) return t;
  Type* open = NewType(TypeKind::OpenArray);
  open->base = t;
  open->size = 16;
  open->align = 8;
  return open;
}

Type* Checker::TypeOf(Node* n) {
  Depth guard(*this, n->pos);
  switch (n->kind) {
  case K::Ident:
  case K::Select:
    return NamedType(n);
  case K::Enum: {
    Type* t = NewType(TypeKind::Enumeration);
    std::int64_t count = 0;
    for (Node* id = n->a; id != nullptr; id = id->next) {
      auto* c = New<Ast::ConstDecl>(id->pos);
      c->name = id->name;
      c->type = t;
      c->value.i = count++;
      c->module = module_;
      c->exported = kind_ == Ast::ModuleKind::Definition;
      t->constants.push_back(c);
      Declare(scope_, c, NewSym(c, nullptr, scope_, SymState::Resolved), id->pos);
      if (scope_->kind == ScopeKind::Module) scope_->module->decls.push_back(c);
    }
    if (count > 65536) Fail(n->pos, "enumeration has too many values");
    t->size = t->align = count > 256 ? 2 : 1;
    t->low = 0;
    t->high = count - 1;
    return t;
  }
  case K::Subrange: {
    Type* base = n->c != nullptr ? NamedType(n->c) : nullptr;
    if (base != nullptr && !Ast::IsOrdinal(base)) Fail(n->c->pos, "ordinal type expected");
    Expr* lo = ConstExpr(n->a);
    Expr* hi = ConstExpr(n->b);
    bool untyped = false;
    if (base == nullptr) {
      lo = CharOf(lo);
      hi = CharOf(hi);
      if (lo->type->kind == TypeKind::ZZ && hi->type->kind == TypeKind::ZZ) {
        const Int l = OrdValue(lo), h = OrdValue(hi);
        untyped = true;
        if (l < 0) {
          base = l >= INT32_MIN && h <= INT32_MAX ? Builtins().integerType : Builtins().longIntType;
        } else {
          base = h <= UINT32_MAX ? Builtins().cardinalType : Builtins().longCardType;
        }
      } else {
        Unify(lo, hi, "..", n->pos);
        base = const_cast<Type*>(Ast::BaseOf(lo->type));
        if (!Ast::IsOrdinal(base)) Fail(n->a->pos, "ordinal type expected");
      }
    }
    Type* b = const_cast<Type*>(Ast::BaseOf(base));
    lo = Coerce(lo, b, "type mismatch in subrange: ");
    hi = Coerce(hi, b, "type mismatch in subrange: ");
    if (OrdValue(lo) > OrdValue(hi)) Fail(n->pos, "lower bound greater than upper bound");
    Type* t = NewType(TypeKind::Subrange);
    t->base = b;
    t->size = b->size;
    t->align = b->align;
    t->low = static_cast<Ast::Literal*>(lo)->value.i;
    t->high = static_cast<Ast::Literal*>(hi)->value.i;
    t->untypedBounds = untyped;
    return t;
  }
  case K::ArrayType: {
    std::vector<Node*> indexes;
    for (Node* i = n->a; i != nullptr; i = i->next) indexes.push_back(i);
    std::vector<Type*> indexTypes;
    for (Node* i : indexes) {
      Type* it = TypeOf(i);
      if (!Ast::IsOrdinal(it)) Fail(i->pos, "ordinal type expected");
      indexTypes.push_back(it);
    }
    Type* element = TypeOf(n->b);
    for (std::size_t k = indexes.size(); k-- > 0;) {
      Type* t = NewType(TypeKind::Array);
      t->index = indexTypes[k];
      t->base = element;
      t->low = indexTypes[k]->low;
      t->high = indexTypes[k]->high;
      const Int length = HighOf(t->index) - LowOf(t->index) + 1;
      if (length * element->size > kMaxSize) Fail(indexes[k]->pos, "array too large");
      t->length = static_cast<std::int64_t>(length);
      t->size = static_cast<std::int32_t>(length * element->size);
      t->align = element->align;
      element = t;
    }
    return element;
  }
  case K::RecordType:
    return RecordType(n);
  case K::SetType: {
    Type* base = TypeOf(n->a);
    if (!Ast::IsOrdinal(base)) Fail(n->a->pos, "ordinal type expected");
    const Int count = HighOf(base) - LowOf(base) + 1;
    if (count > 256) Fail(n->a->pos, "set base type has more than 256 values");
    Type* t = NewType(TypeKind::Set);
    t->base = base;
    t->low = base->low;
    t->high = base->high;
    t->size = SetSize(static_cast<std::int64_t>(count));
    t->align = std::min(t->size, 8);
    return t;
  }
  case K::PointerType: {
    Type* t = NewType(TypeKind::Pointer);
    t->size = t->align = 8;
    pointers_[t] = {n->a, scope_};
    pointerOrder_.push_back(t);
    return t;
  }
  case K::ProcType: {
    Type* t = NewType(TypeKind::Procedure);
    t->size = t->align = 8;
    for (Node* f = n->a; f != nullptr; f = f->next)
      t->params.push_back({FormalType(f), bool(f->flag & 1)});
    if (n->b != nullptr) t->result = NamedType(n->b);
    return t;
  }
  default:
    Fail(n->pos, "type expected");
  }
}

Type* Checker::RecordType(Node* n) {
  Type* t = NewType(TypeKind::Record);
  std::int32_t offset = 0;
  fieldIndex_[t];
  FieldLists(n->a, t, offset);
  t->size = offset;
  LayoutRecordEnd(t);
  return t;
}

void Checker::FieldLists(Node* list, Type* record, std::int32_t& offset) {
  for (Node* fl = list; fl != nullptr; fl = fl->next) {
    if (fl->kind == K::FieldList) {
      Type* ft = TypeOf(fl->b);
      for (Node* id = fl->a; id != nullptr; id = id->next) {
        auto* f = arena_.New<Ast::Field>();
        f->name = id->name;
        f->type = ft;
        f->pos = id->pos;
        f->offset = AlignUp(offset, ft->align, id->pos, "record");
        offset = AlignUp(std::int64_t(f->offset) + ft->size, 1, id->pos, "record");
        record->align = std::max(record->align, ft->align);
        AddField(record, f);
      }
      continue;
    }
    // A variant part: an optional tag field, then variants that share one offset.
    Type* tag = NamedType(fl->a);
    if (!Ast::IsOrdinal(tag)) Fail(fl->a->pos, "ordinal type expected");
    if (!fl->name.empty()) {
      auto* f = arena_.New<Ast::Field>();
      f->name = fl->name;
      f->type = tag;
      f->pos = fl->pos;
      f->offset = AlignUp(offset, tag->align, fl->pos, "record");
      offset = f->offset + tag->size;
      record->align = std::max(record->align, tag->align);
      AddField(record, f);
    }
    const std::int32_t start = offset;
    std::int32_t end = start;
    std::map<Int, Int> seen;
    for (Node* v = fl->b; v != nullptr; v = v->next) {
      std::vector<Ast::LabelRange> ranges;
      Labels(v->a, tag, ranges, seen);
      std::int32_t o = start;
      FieldLists(v->b, record, o);
      end = std::max(end, o);
    }
    if (fl->c != nullptr) {
      std::int32_t o = start;
      FieldLists(fl->c, record, o);
      end = std::max(end, o);
    }
    offset = end;
  }
}

void Checker::AddField(Type* record, Ast::Field* f) {
  auto& index = fieldIndex_[record];
  if (!index.try_emplace(f->name.data(), f).second)
    Fail(f->pos, "identifier declared twice: " + std::string(f->name));
  record->fields.push_back(f);
}

Ast::Field* Checker::FindField(Type* record, std::string_view name) {
  auto it = fieldIndex_.find(record);
  if (it == fieldIndex_.end()) {
    auto& index = fieldIndex_[record];
    for (Ast::Field* f : record->fields) index.try_emplace(f->name.data(), f);
    it = fieldIndex_.find(record);
  }
  auto found = it->second.find(name.data());
  return found != it->second.end() ? found->second : nullptr;
}

Type* Checker::PointerBase(Type* pointer) {
  if (pointer->base != nullptr) return pointer->base;
  auto found = pointers_.find(pointer);
  if (found == pointers_.end()) {
    if (pointer->kind == TypeKind::Pointer) Fail(Pos{}, "recursive pointer type");
    return nullptr;
  }
  const PendingPointer pending = found->second;
  pointers_.erase(found);
  ScopeSwitch there(*this, pending.scope);
  Type* base = TypeOf(pending.base);
  if (base->kind == TypeKind::OpenArray) Fail(pending.base->pos, "type expected");
  pointer->base = base;
  return base;
}

void Checker::ResolvePointers() {
  for (std::size_t i = 0; i < pointerOrder_.size(); ++i) PointerBase(pointerOrder_[i]);
  pointerOrder_.clear();
}

void Checker::LayoutLocals(Ast::Procedure* p) {
  std::int64_t offset = 0;
  for (Ast::Variable* v : p->locals) {
    v->offset = AlignUp(offset, v->type->align, v->pos, "local variables");
    offset = AlignUp(std::int64_t(v->offset) + v->type->size, 1, v->pos, "local variables");
  }
  p->localSize = static_cast<std::int32_t>(offset);
}

void Checker::LayoutGlobals(Ast::Module* m, std::int32_t& offset) {
  const std::size_t first = m == module_ ? definitionVariables_ : 0;
  for (std::size_t i = first; i < m->variables.size(); ++i) {
    Ast::Variable* v = m->variables[i];
    v->offset = AlignUp(offset, v->type->align, v->pos, "global variables");
    offset = AlignUp(std::int64_t(v->offset) + v->type->size, 1, v->pos, "global variables");
  }
  for (Ast::Module* local : m->localModules) LayoutGlobals(local, offset);
}

} // namespace Check
