#include "compiler/Codegen.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "compiler/Checker.h"
#include "vm/Assembler.h"
#include "vm/Isa.h"

namespace Codegen {

namespace {

using namespace Ast;
using Asm::Assembler;
using Asm::Label;
using Asm::PoolWord;
using Vm::Op;
using Vm::Word;
using Vm::WordI;

using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

constexpr u32 kMaxSlot = 0xFFFF;
constexpr i64 kMaxVariables = 0xFFFF - 3; // the largest V that keeps the table aligned
constexpr std::size_t kMaxBases = 16;     // cached array addresses per procedure
constexpr u32 kCachedAddresses = 4;       // element addresses kept per procedure
constexpr i64 kDescriptor = Vm::kDescriptorSize;

struct Failure {
  Pos pos;
  std::string message;
};
// Branches of the assembler (by site) that must jump farther than they reach.
struct TooFar {
  std::vector<std::uint32_t> sites;
};
[[noreturn]] void Fail(Pos pos, std::string message) { throw Failure{pos, std::move(message)}; }

bool Fits16(i64 v) { return v >= -32768 && v <= 32767; }
bool Fits32(i64 v) { return v >= INT32_MIN && v <= INT32_MAX; }
u16 U16(i64 v) { return static_cast<u16>(v); }

// ---- Types as the machine sees them ----

TypeKind KindOf(const Type* t) { return BaseOf(t)->kind; }

// Values that live in memory and travel as their address.
bool IsStructured(const Type* t) {
  switch (t->kind) {
  case TypeKind::Array:
  case TypeKind::Record:
  case TypeKind::OpenArray:
  case TypeKind::String:
    return true;
  case TypeKind::Set:
    return t->size > 8;
  default:
    return false;
  }
}
bool IsLargeSet(const Type* t) { return IsSet(t) && t->size > 8; }
bool IsSigned(const Type* t) {
  const TypeKind k = KindOf(t);
  return k == TypeKind::Integer || k == TypeKind::LongInt;
}
// Compared and converted as unsigned 64-bit numbers; every other scalar's slot value
// compares correctly as a signed one.
bool IsUnsigned64(const Type* t) {
  const TypeKind k = KindOf(t);
  return k == TypeKind::LongCard || k == TypeKind::Address || k == TypeKind::Pointer ||
         k == TypeKind::Opaque || k == TypeKind::Procedure;
}

enum class Num { I32, U32, I64, U64, Addr, Real, Set, Other };

Num NumOf(const Type* t) {
  switch (KindOf(t)) {
  case TypeKind::Integer:
    return Num::I32;
  case TypeKind::Cardinal:
    return Num::U32;
  case TypeKind::LongInt:
    return Num::I64;
  case TypeKind::LongCard:
    return Num::U64;
  case TypeKind::Address:
  case TypeKind::Pointer:
  case TypeKind::Opaque:
    return Num::Addr;
  case TypeKind::Real:
  case TypeKind::LongReal:
    return Num::Real;
  case TypeKind::Set:
  case TypeKind::Bitset:
    return Num::Set;
  default:
    return Num::Other;
  }
}

// Load and store instructions by size; the first of each group of four or five.
Op LoadOp(const Type* t, Op b8, Op b16, Op b32, Op b32u, Op b64) {
  switch (t->size) {
  case 1:
    return b8;
  case 2:
    return b16;
  case 4:
    return IsSigned(t) ? b32 : b32u;
  default:
    return b64;
  }
}
Op StoreOp(const Type* t, Op b8, Op b16, Op b32, Op b64) {
  switch (t->size) {
  case 1:
    return b8;
  case 2:
    return b16;
  case 4:
    return b32;
  default:
    return b64;
  }
}

// The operators of a chain a + b - c ..., first to last, and its first operand: the
// left operands are followed for as long as they are operators that keep accepts.
// Walking a chain in a loop, its length costs no depth of recursion.
template <typename Keep>
const Expr* Chain(const Binary* b, std::vector<const Binary*>& ops, Keep keep) {
  ops.clear();
  const Expr* e = b;
  while (e->kind == ExprKind::Binary && keep(static_cast<const Binary*>(e))) {
    ops.push_back(static_cast<const Binary*>(e));
    e = ops.back()->left;
  }
  std::reverse(ops.begin(), ops.end());
  return e;
}
const Expr* Chain(const Binary* b, std::vector<const Binary*>& ops) {
  return Chain(b, ops, [](const Binary*) { return true; });
}

// ---- What the bodies do with variables ----

struct VarFlags {
  bool addressTaken = false; // passed to a VAR parameter or to ADR
  bool uplevel = false;      // used by a procedure nested in its own
  bool written = false;      // assigned, or passed where it may be changed
};

// What a procedure's statements (those of the local modules declared in it included)
// may change beyond its own frame: a procedure that writes only its own variables and
// calls only such procedures of this module changes nothing its caller can see while it
// runs.
struct Effects {
  bool outside = false; // writes a variable that is not its own, or calls what it cannot see
  std::vector<const Procedure*> callees; // procedures of this module it calls
};

class Scan {
public:
  Scan(std::unordered_map<const Variable*, VarFlags>& f, const Module* m) : flags(f), unit(m) {}

  void Body(const StmtList& body, const Procedure* proc) {
    in = proc;
    Stmts(body);
  }
  // The arrays and records of the module's own data each procedure (nullptr: the body)
  // uses, in the order first used.
  std::unordered_map<const Procedure*, std::vector<const Variable*>> globals;
  std::unordered_map<const Procedure*, Effects> effects;

private:
  std::unordered_map<const Variable*, VarFlags>& flags;
  const Module* unit;
  const Procedure* in = nullptr;

  // A write of the variable target designates: outside the frame unless it is a
  // variable or value parameter of the procedure itself.
  void Write(const Expr* target) {
    const Variable* v = Root(target);
    const bool own = v != nullptr && v->proc == in && in != nullptr &&
                     (v->varKind == VarKind::Local || v->varKind == VarKind::Param);
    if (!own) effects[in].outside = true;
  }

  const Variable* Root(const Expr* e) {
    for (;;) {
      switch (e->kind) {
      case ExprKind::Var:
        return static_cast<const VarRef*>(e)->var;
      case ExprKind::Field:
        e = static_cast<const FieldRef*>(e)->record;
        break;
      case ExprKind::Index:
        e = static_cast<const IndexRef*>(e)->array;
        break;
      case ExprKind::Convert:
        e = static_cast<const Convert*>(e)->operand;
        break;
      case ExprKind::WithRec:
        e = static_cast<const WithRef*>(e)->with->record;
        break;
      default:
        return nullptr;
      }
    }
  }
  void Mark(const Expr* designator, bool address) {
    if (const Variable* v = Root(designator)) {
      VarFlags& f = flags[v];
      f.written = true;
      if (address) f.addressTaken = true;
    }
  }
  void Use(const Variable* v) {
    if (v->varKind != VarKind::Global && v->proc != in) flags[v].uplevel = true;
    if (v->varKind == VarKind::Global && IsStructured(v->type)) {
      std::vector<const Variable*>& used = globals[in];
      if (std::find(used.begin(), used.end(), v) == used.end()) used.push_back(v);
    }
  }
  void Stmts(const StmtList& list) {
    for (const Stmt* s : list) Statement(s);
  }
  void Exprs(const std::vector<Expr*>& list) {
    for (const Expr* e : list) Expression(e);
  }
  void Expression(const Expr* e) {
    if (e == nullptr) return;
    switch (e->kind) {
    case ExprKind::Var:
      Use(static_cast<const VarRef*>(e)->var);
      break;
    case ExprKind::Set:
      for (const SetElement& el : static_cast<const SetExpr*>(e)->elements)
        Expression(el.low), Expression(el.high);
      break;
    case ExprKind::Field:
      Expression(static_cast<const FieldRef*>(e)->record);
      break;
    case ExprKind::Index:
      Expression(static_cast<const IndexRef*>(e)->array);
      Expression(static_cast<const IndexRef*>(e)->index);
      break;
    case ExprKind::Deref:
      Expression(static_cast<const DerefRef*>(e)->pointer);
      break;
    case ExprKind::Unary:
      Expression(static_cast<const Unary*>(e)->operand);
      break;
    case ExprKind::Binary: {
      std::vector<const Binary*> ops;
      Expression(Chain(static_cast<const Binary*>(e), ops));
      for (const Binary* b : ops) Expression(b->right);
      break;
    }
    case ExprKind::Convert:
      Expression(static_cast<const Convert*>(e)->operand);
      break;
    case ExprKind::Call:
      Call(static_cast<const CallExpr*>(e));
      break;
    case ExprKind::StdFunc: {
      const auto* f = static_cast<const StdFunc*>(e);
      if (f->which == StdProc::Adr && !f->args.empty()) Mark(f->args[0], true);
      Exprs(f->args);
      break;
    }
    default:
      break;
    }
  }
  void Call(const CallExpr* c) {
    if (c->proc != nullptr && c->proc->module == unit && !c->proc->imported)
      effects[in].callees.push_back(c->proc);
    else
      effects[in].outside = true;
    Expression(c->callee);
    const Type* t = c->proc != nullptr ? c->proc->type : c->callee->type;
    for (std::size_t i = 0; i < c->args.size(); ++i) {
      if (i < t->params.size() && t->params[i].isVar) Mark(c->args[i].value, true);
      Expression(c->args[i].value);
      Expression(c->args[i].high);
    }
  }
  void Statement(const Stmt* s) {
    switch (s->kind) {
    case StmtKind::Assign:
      Mark(static_cast<const Assign*>(s)->target, false);
      Write(static_cast<const Assign*>(s)->target);
      Expression(static_cast<const Assign*>(s)->target);
      Expression(static_cast<const Assign*>(s)->value);
      break;
    case StmtKind::Call:
      Call(static_cast<const CallStmt*>(s)->call);
      break;
    case StmtKind::If:
      for (const IfArm& arm : static_cast<const If*>(s)->arms)
        Expression(arm.condition), Stmts(arm.body);
      Stmts(static_cast<const If*>(s)->elseBody);
      break;
    case StmtKind::Case: {
      const auto* c = static_cast<const Case*>(s);
      Expression(c->selector);
      for (const CaseArm& arm : c->arms) Stmts(arm.body);
      Stmts(c->elseBody);
      break;
    }
    case StmtKind::While:
      Expression(static_cast<const While*>(s)->condition);
      Stmts(static_cast<const While*>(s)->body);
      break;
    case StmtKind::Repeat:
      Stmts(static_cast<const Repeat*>(s)->body);
      Expression(static_cast<const Repeat*>(s)->condition);
      break;
    case StmtKind::For: {
      const auto* f = static_cast<const For*>(s);
      Use(f->var);
      flags[f->var].written = true;
      if (f->var->proc != in || f->var->varKind == VarKind::Global) effects[in].outside = true;
      Expression(f->from), Expression(f->to);
      Stmts(f->body);
      break;
    }
    case StmtKind::Loop:
      Stmts(static_cast<const Loop*>(s)->body);
      break;
    case StmtKind::Return:
      Expression(static_cast<const Return*>(s)->value);
      break;
    case StmtKind::With:
      Mark(static_cast<const With*>(s)->record, false);
      Expression(static_cast<const With*>(s)->record);
      Stmts(static_cast<const With*>(s)->body);
      break;
    case StmtKind::StdProc: {
      const auto* p = static_cast<const StdProcCall*>(s);
      if (p->which == StdProc::NewProcess || p->which == StdProc::Transfer) {
        // As a call: other processes see and change anything meanwhile.
        effects[in].outside = true;
        for (std::size_t i = p->which == StdProc::Transfer ? 0 : 3; i < p->args.size(); ++i)
          Mark(p->args[i], true);
      } else if (!p->args.empty() && p->which != StdProc::Halt) {
        Mark(p->args[0], false);
        Write(p->args[0]);
      }
      Exprs(p->args);
      break;
    }
    case StmtKind::Exit:
      break;
    }
  }
};

// What statements do that decides whether variables may live in slots while they run:
// calls (which could see or change any variable), writes to the variable var, accesses
// through addresses (pointers, VAR parameters, ADR, WITH), and the module's variables
// they use.
class Facts {
public:
  explicit Facts(const Variable* v) : var(v) {}
  bool calls = false;
  bool writes = false;
  bool addresses = false;
  std::vector<const Variable*> globals;

  void Stmts(const StmtList& list) {
    for (const Stmt* s : list) Statement(s);
  }
  void Statement(const Stmt* s);

private:
  const Variable* var;

  bool Is(const Expr* e) const {
    return e != nullptr && e->kind == ExprKind::Var && static_cast<const VarRef*>(e)->var == var;
  }
  void Expression(const Expr* e) {
    if (e == nullptr) return;
    switch (e->kind) {
    case ExprKind::Call:
      calls = true;
      break;
    case ExprKind::Var: {
      const Variable* v = static_cast<const VarRef*>(e)->var;
      if (v->varKind == VarKind::Global) {
        if (std::find(globals.begin(), globals.end(), v) == globals.end()) globals.push_back(v);
      } else if (v->varKind == VarKind::VarParam || v->IsOpenArray()) {
        addresses = true;
      }
      break;
    }
    case ExprKind::WithRec:
      addresses = true;
      break;
    case ExprKind::Set:
      for (const SetElement& el : static_cast<const SetExpr*>(e)->elements)
        Expression(el.low), Expression(el.high);
      break;
    case ExprKind::Field:
      Expression(static_cast<const FieldRef*>(e)->record);
      break;
    case ExprKind::Index:
      Expression(static_cast<const IndexRef*>(e)->array),
          Expression(static_cast<const IndexRef*>(e)->index);
      break;
    case ExprKind::Deref:
      addresses = true;
      Expression(static_cast<const DerefRef*>(e)->pointer);
      break;
    case ExprKind::Unary:
      Expression(static_cast<const Unary*>(e)->operand);
      break;
    case ExprKind::Binary: {
      std::vector<const Binary*> ops;
      Expression(Chain(static_cast<const Binary*>(e), ops));
      for (const Binary* b : ops) Expression(b->right);
      break;
    }
    case ExprKind::Convert:
      Expression(static_cast<const Convert*>(e)->operand);
      break;
    case ExprKind::StdFunc:
      for (const Expr* a : static_cast<const StdFunc*>(e)->args) Expression(a);
      if (static_cast<const StdFunc*>(e)->which == StdProc::Adr) writes = addresses = true;
      break;
    default:
      break;
    }
  }
};

void Facts::Statement(const Stmt* s) {
  {
    switch (s->kind) {
    case StmtKind::Assign:
      writes = writes || Is(static_cast<const Assign*>(s)->target);
      Expression(static_cast<const Assign*>(s)->target),
          Expression(static_cast<const Assign*>(s)->value);
      break;
    case StmtKind::Call:
      calls = true;
      break;
    case StmtKind::If:
      for (const IfArm& arm : static_cast<const If*>(s)->arms)
        Expression(arm.condition), Stmts(arm.body);
      Stmts(static_cast<const If*>(s)->elseBody);
      break;
    case StmtKind::Case:
      Expression(static_cast<const Case*>(s)->selector);
      for (const CaseArm& arm : static_cast<const Case*>(s)->arms) Stmts(arm.body);
      Stmts(static_cast<const Case*>(s)->elseBody);
      break;
    case StmtKind::While:
      Expression(static_cast<const While*>(s)->condition),
          Stmts(static_cast<const While*>(s)->body);
      break;
    case StmtKind::Repeat:
      Stmts(static_cast<const Repeat*>(s)->body),
          Expression(static_cast<const Repeat*>(s)->condition);
      break;
    case StmtKind::For: {
      const auto* f = static_cast<const For*>(s);
      writes = writes || f->var == var;
      if (f->var->varKind == VarKind::Global &&
          std::find(globals.begin(), globals.end(), f->var) == globals.end())
        globals.push_back(f->var);
      Expression(f->from), Expression(f->to), Stmts(f->body);
      break;
    }
    case StmtKind::Loop:
      Stmts(static_cast<const Loop*>(s)->body);
      break;
    case StmtKind::Return:
      Expression(static_cast<const Return*>(s)->value);
      break;
    case StmtKind::With:
      addresses = true;
      Expression(static_cast<const With*>(s)->record), Stmts(static_cast<const With*>(s)->body);
      break;
    case StmtKind::StdProc: {
      const auto* p = static_cast<const StdProcCall*>(s);
      for (const Expr* a : p->args) Expression(a);
      if (p->which == StdProc::NewProcess || p->which == StdProc::Transfer)
        calls = addresses = true;
      else if (!p->args.empty())
        writes = writes || Is(p->args[0]);
      break;
    }
    case StmtKind::Exit:
      break;
    }
  }
}

// ---- Frames ----

struct Place {
  bool inSlot = true; // a scalar in its slot (parameters: the slot of their first word)
  u16 slot = 0;
  i64 memory = 0;         // in the memory area: arrays, records, copies of parameters
  bool normalize = false; // its slot is also written through its address
};

struct Layout {
  const Procedure* proc = nullptr; // nullptr: the module body
  Label label{};
  u32 firstLocal = 0;
  i32 resultSlot = -1; // a function of a structured result: the address of the caller's copy
  i32 staticLink = -1;
  u32 tempBase = 0;
  u32 maxTop = 0;
  i64 memSize = 0;
  std::unordered_map<const Variable*, Place> places;
  std::vector<const Variable*> copies;    // fixed-size value parameters to copy at entry
  std::vector<const Variable*> dynCopies; // open array value parameters to copy
  i32 dynSlot = -1;
  i32 dataSlot = -1; // the address of the module's variables, when they are external
  // The addresses of the module's arrays and records the procedure uses, in slots from
  // its entry on.
  std::vector<std::pair<const Variable*, u16>> bases;
  u32 cacheBase = 0;            // the slots of element addresses kept (see AddressOf)
  std::vector<u16> memorySlots; // slots of variables also written through their address
  u32 enterWord = 0;

  i64 Allocate(i64 size, i64 align) {
    align = std::max<i64>(1, std::min<i64>(align, 8));
    const i64 at = (memSize + align - 1) / align * align;
    memSize = at + std::max<i64>(size, 0);
    return at;
  }
};

// Where a value lives.
struct Loc {
  enum Kind : std::uint8_t {
    Reg,    // a frame slot of the running procedure
    Global, // a variable of this module: gp + offset
    Addr,   // memory at the address in slot + offset
    Frame,  // the running procedure's memory area at offset
    Elem,   // element index (slot idx) of the array at the address in slot: low, length
    Open,   // element idx of the open array whose address and HIGH are in slot, slot + 1
  } kind = Reg;
  const Type* type = nullptr;
  u16 slot = 0;
  u16 idx = 0;
  i64 offset = 0;
  i64 low = 0;
  i64 length = 0;
  bool normalize = false;
};

// A place in the frame's memory area of some procedure, for the fix-up once its
// temporaries are counted.
struct FrameFix {
  u32 word;
  const Layout* layout;
  i64 offset;
  bool ext; // the extension word of ADDAX (else the I of LDLAK)
};

class Generator {
public:
  Generator(const CompilationUnit& u, const std::string& src, std::vector<std::uint32_t> far,
            bool symbols)
      : unit(u), source(src), symbolsWanted(symbols) {
    a.SetFar(std::move(far));
  }

  void Run(Object::Module& out) {
    P = static_cast<i32>(std::max<std::size_t>(unit.procedures.size(), 1));
    // V must leave the table 8-byte aligned (V + 28 a multiple of 8) and fit 16 bits;
    // larger data lives in a block of the programs' heap, V holding its address.
    const i64 data = unit.dataSize;
    const i64 v = data + ((4 - data % 8) + 8) % 8;
    external = v > kMaxVariables;
    PlaceGlobals(data);
    if (P + static_cast<i64>(unit.imports.size()) + 1 > kMaxSlot)
      Fail(unit.module->pos,
           "module too large: more than 65535 procedures and imports (split the module)");
    entries.assign(static_cast<std::size_t>(P), 0);
    names.assign(static_cast<std::size_t>(P), std::string());

    Scan scan(flags, unit.module);
    scan.Body(unit.module->body, nullptr);
    ScanLocalModules(scan, unit.module->localModules, nullptr);
    for (const Procedure* p : Procs()) {
      scan.Body(p->body, p);
      ScanLocalModules(scan, p->localModules, p);
    }
    usedGlobals = std::move(scan.globals);
    FindUnconfined(scan.effects);
    for (const Procedure* p : Procs()) LayOut(p);

    GenBody();
    for (const Procedure* p : Procs()) GenProcedure(p);
    Finish(out);
  }

private:
  const CompilationUnit& unit;
  std::string source;
  bool symbolsWanted;
  Assembler a;
  i32 P = 1;
  u16 V = 4;
  bool external = false; // the variables live in a heap block
  // Where each variable of the module's own data is: in the variable area (at an offset
  // of it) or in the heap block of external data.
  struct GlobalPlace {
    bool inArea = true;
    i64 offset = 0;
  };
  std::unordered_map<const Variable*, GlobalPlace> places;
  std::unordered_map<const Procedure*, std::vector<const Variable*>> usedGlobals;
  std::unordered_map<const Variable*, u16> aliases; // variables kept in slots for a while
  // The loop whose module variables live in slots while it runs: them, and the loops
  // inside it (an EXIT to any other stores them back first).
  struct Promotion {
    bool active = false;
    u32 from = 0; // the first word with the variables in their slots
    std::vector<std::pair<const Variable*, u16>> vars;
    std::vector<const Loop*> loops;
  };
  Promotion promotion;
  // Element addresses computed since the last label, in the procedure's address slots:
  // valid while neither the array's address nor the index variable changes.
  struct Cached {
    u16 base, idx;
    i64 low, length, size;
    u16 slot;
  };
  std::vector<Cached> cached;
  u32 nextCached = 0;

  void Bind(Label l) {
    a.Bind(l);
    cached.clear();
  }
  // The slot of a variable that changes only where the code says so.
  bool Stable(u16 slot) const {
    return slot < L->cacheBase &&
           std::find(L->memorySlots.begin(), L->memorySlots.end(), slot) == L->memorySlots.end();
  }
  void Changed(u16 slot) {
    std::erase_if(cached, [slot](const Cached& c) { return c.base == slot || c.idx == slot; });
  }
  // The address of element idx of the array at base, from the slots or computed into one.
  u16 CachedElement(Op op, u16 base, u16 idx, i64 low, i64 length, i64 size) {
    for (const Cached& c : cached)
      if (c.base == base && c.idx == idx && c.low == low && c.length == length && c.size == size)
        return c.slot;
    const u16 slot = U16(L->cacheBase + nextCached++ % kCachedAddresses);
    std::erase_if(cached, [slot](const Cached& c) { return c.slot == slot; });
    EmitElement(op, slot, base, idx, low, length, size);
    cached.push_back({base, idx, low, length, size, slot});
    return slot;
  }
  void EmitElement(Op op, u16 dst, u16 base, u16 idx, i64 low, i64 length, i64 size) {
    Emit(op, dst, base, idx);
    if (op == Op::IDX) a.Emit(Vm::Bounds(static_cast<std::int32_t>(low), static_cast<u32>(length)));
    a.Emit(static_cast<u64>(size));
  }
  std::unordered_map<const Variable*, VarFlags> flags;
  std::unordered_set<const Procedure*> unconfined;
  std::unordered_map<const Procedure*, Layout> layouts;
  Layout bodyLayout;
  Layout* L = nullptr;
  const Procedure* cur = nullptr;
  u32 top = 0;
  std::vector<FrameFix> fixes;
  std::vector<std::pair<u32, const Layout*>> returns; // RETV words of functions
  std::vector<Object::LinePoint> lines;
  std::vector<Object::VariableRead> reads;
  // Where a variable lived in a slot for a while (the code words [first, end)), and
  // where each procedure's code ends, for the debugger.
  struct Aliased {
    const Variable* var;
    u32 first, end;
    u16 slot;
  };
  std::vector<Aliased> aliased;
  std::unordered_map<const Procedure*, u32> ends;
  std::int32_t lastLine = -1;
  std::unordered_map<const Loop*, Label> exits;
  std::unordered_map<const With*, Loc> withs;
  std::vector<u32> entries;
  std::vector<std::string> names;

  // The module's own variables: at the front end's offsets in the variable area, or, for
  // external data, at those offsets in the heap block but for the scalars nobody
  // imports, which move to the variable area after the block's address.
  void PlaceGlobals(i64 data) {
    std::vector<const Variable*> all;
    CollectGlobals(unit.module, all);
    i64 area = external ? 8 : data;
    for (const Variable* v : all) {
      GlobalPlace g{!external, v->offset};
      if (external && !v->exported && !IsStructured(v->type) && v->type->size <= 8) {
        const i64 align = std::max<i64>(1, v->type->align);
        const i64 at = (area + align - 1) / align * align;
        if (at + v->type->size + 4 <= kMaxVariables) {
          g = GlobalPlace{true, at};
          area = at + v->type->size;
        }
      }
      places[v] = g;
    }
    V = static_cast<u16>(area + ((4 - area % 8) + 8) % 8);
  }
  void CollectGlobals(const Module* m, std::vector<const Variable*>& all) {
    for (const Variable* v : m->variables)
      if (v->varKind == VarKind::Global) all.push_back(v);
    for (const Module* local : m->localModules) CollectGlobals(local, all);
  }

  std::vector<const Procedure*> Procs() const {
    std::vector<const Procedure*> list;
    for (std::size_t n = 1; n < unit.procedures.size(); ++n)
      if (unit.procedures[n] != nullptr && !unit.procedures[n]->imported)
        list.push_back(unit.procedures[n]);
    return list;
  }

  void ScanLocalModules(Scan& scan, const std::vector<Module*>& modules, const Procedure* in) {
    for (const Module* m : modules) {
      scan.Body(m->body, in);
      ScanLocalModules(scan, m->localModules, in);
    }
  }

  // The procedures that may change what their caller sees while they run: those that
  // write beyond their frame or call what may (found from the callee up).
  void FindUnconfined(const std::unordered_map<const Procedure*, Effects>& effects) {
    std::unordered_map<const Procedure*, std::vector<const Procedure*>> callers;
    std::vector<const Procedure*> work;
    for (const auto& [p, e] : effects) {
      if (p == nullptr) continue;
      for (const Procedure* callee : e.callees) callers[callee].push_back(p);
      if (e.outside && unconfined.insert(p).second) work.push_back(p);
    }
    while (!work.empty()) {
      const Procedure* p = work.back();
      work.pop_back();
      for (const Procedure* caller : callers[p])
        if (unconfined.insert(caller).second) work.push_back(caller);
    }
  }

  // ---- Layout ----

  void LayOut(const Procedure* p) {
    Layout& l = layouts[p];
    l.proc = p;
    l.label = a.NewLabel();
    u32 next = static_cast<u32>(p->paramWords);
    if (p->Result() != nullptr && IsStructured(p->Result()))
      l.resultSlot = static_cast<i32>(next++);
    if (p->level > 0) l.staticLink = static_cast<i32>(next++);
    l.firstLocal = next;
    for (const Variable* v : p->params) {
      Place place;
      place.slot = U16(v->offset);
      const VarFlags f = flags.count(v) != 0 ? flags[v] : VarFlags{};
      if (v->varKind == VarKind::Param) {
        // A value parameter is a variable of its own (PIM): arrays, records and large
        // sets are copied at entry unless the procedure neither changes it nor can see
        // the actual change while it runs.
        const bool copy = f.written || unconfined.count(p) != 0;
        if (v->IsOpenArray()) {
          if (copy) l.dynCopies.push_back(v);
        } else if (IsStructured(v->type)) {
          if (copy) {
            place.memory = l.Allocate(v->type->size, v->type->align);
            l.copies.push_back(v);
          }
        } else {
          place.normalize = f.addressTaken || f.uplevel;
        }
      }
      l.places[v] = place;
    }
    for (const Variable* v : p->locals) {
      Place place;
      if (IsStructured(v->type)) {
        place.inSlot = false;
        place.memory = l.Allocate(v->type->size, v->type->align);
      } else {
        const VarFlags f = flags.count(v) != 0 ? flags[v] : VarFlags{};
        place.slot = U16(next++);
        place.normalize = f.addressTaken || f.uplevel;
      }
      l.places[v] = place;
    }
    if (!l.dynCopies.empty()) l.dynSlot = static_cast<i32>(next++);
    if (external) l.dataSlot = static_cast<i32>(next++);
    CacheBases(l, p, next);
    for (const auto& [v, place] : l.places)
      if (place.normalize) l.memorySlots.push_back(place.slot);
    l.cacheBase = next;
    next += kCachedAddresses;
    if (next > 0x7FFF) Fail(p->pos, "too many parameters and variables");
    l.tempBase = next;
  }

  void CacheBases(Layout& l, const Procedure* p, u32& next) {
    const auto found = usedGlobals.find(p);
    if (found == usedGlobals.end()) return;
    for (const Variable* v : found->second) {
      if (l.bases.size() >= kMaxBases) break;
      if (v->module != unit.module && v->module != nullptr) continue;
      l.bases.push_back({v, U16(next++)});
    }
  }

  // The addresses of the cached arrays and records, at a procedure's entry.
  void LoadBases() {
    for (const auto& [v, slot] : L->bases) {
      const GlobalPlace& g = places.at(v);
      if (g.inArea)
        EmitI(Op::LDGA, slot, g.offset - V - kDescriptor);
      else
        AddConst(slot, U16(L->dataSlot), g.offset);
    }
  }

  // ---- Temporaries ----

  u16 Temp() {
    if (top >= kMaxSlot)
      Fail(cur != nullptr ? cur->pos : unit.module->pos, "expression too complex");
    L->maxTop = std::max(L->maxTop, top + 1);
    return U16(top++);
  }
  // n consecutive temporaries; the first.
  u16 Temps(u32 n) {
    const u16 first = Temp();
    for (u32 i = 1; i < n; ++i) Temp();
    return first;
  }
  bool IsTemp(u16 slot) const { return slot >= L->tempBase; }

  // ---- Emitting ----

  void Emit(Op op, u32 x = 0, u32 y = 0, u32 z = 0) { a.Emit(op, U16(x), U16(y), U16(z)); }
  void EmitI(Op op, u32 x, i64 i) { a.Emit(WordI(op, U16(x), static_cast<std::int32_t>(i))); }
  void Line(std::int32_t line) {
    if (line > 0 && line != lastLine) {
      lines.push_back({a.Here(), line});
      lastLine = line;
    }
  }
  void Move(u16 dst, u16 src) {
    if (dst != src) Emit(Op::MOV, dst, src);
  }
  void Constant(u16 dst, i64 v) {
    if (Fits32(v))
      EmitI(Op::LDI, dst, v);
    else
      a.EmitK(Op::LDK, dst, std::vector<u64>{static_cast<u64>(v)});
  }
  void RealConstant(u16 dst, double d) {
    u64 bits;
    std::memcpy(&bits, &d, 8);
    if (bits == 0)
      EmitI(Op::LDI, dst, 0);
    else
      a.EmitK(Op::LDK, dst, std::vector<u64>{bits});
  }
  // dst := src + k, address arithmetic.
  void AddConst(u16 dst, u16 src, i64 k) {
    if (k == 0) {
      Move(dst, src);
    } else if (Fits16(k)) {
      Emit(Op::ADDAK, dst, src, U16(k));
    } else {
      Emit(Op::ADDAX, dst, src);
      a.Emit(static_cast<u64>(k));
    }
  }
  void FrameAddress(u16 dst, i64 offset) {
    fixes.push_back({a.Here(), L, offset, false});
    EmitI(Op::LDLAK, dst, 0);
  }
  void Normalize(u16 dst, u16 src, const Type* t) {
    switch (t->size) {
    case 1:
      Emit(Op::ZX8, dst, src);
      break;
    case 2:
      Emit(Op::ZX16, dst, src);
      break;
    case 4:
      Emit(IsSigned(t) ? Op::SX32 : Op::ZX32, dst, src);
      break;
    default:
      Move(dst, src);
      break;
    }
  }
  void Trap(Vm::TrapCode code) { Emit(Op::TRAP, static_cast<u32>(code)); }

  // Notes that the instructions emitted from word on (when there are any) check, in
  // slot, the value read from e, when e is a module variable whose fill at the module's
  // start an overflow or a range check may meet: the trap report then says so.
  void NoteRead(u32 word, const Expr* e, u16 slot) {
    if (e == nullptr || e->kind != ExprKind::Var || a.Here() == word) return;
    const Variable* v = static_cast<const VarRef*>(e)->var;
    const i64 size = v->type->size;
    if (v->varKind != VarKind::Global || !IsInteger(v->type) || (size != 4 && size != 8)) return;
    reads.push_back({word, slot, static_cast<std::uint8_t>(size), std::string(v->name)});
  }

  // ---- Range checks ----

  void CheckSigned(u16 v, i64 low, i64 high) {
    if (Fits16(low) && Fits16(high))
      Emit(Op::CHKK, v, U16(low), U16(high));
    else
      a.EmitK(Op::CHK, v, std::vector<u64>{static_cast<u64>(low), static_cast<u64>(high)});
  }
  void CheckUnsigned(u16 v, u64 low, u64 high) {
    a.EmitK(Op::CHKU, v, std::vector<u64>{low, high});
  }
  // The value v (of source type src) fits the range of dst.
  void CheckConversion(u16 v, const Type* src, const Type* dst) {
    const i64 low = dst->low, high = dst->high;
    const bool dstU64 = KindOf(dst) == TypeKind::LongCard;
    if (IsUnsigned64(src)) {
      if (dstU64) return CheckUnsigned(v, static_cast<u64>(low), static_cast<u64>(high));
      if (high < 0) return Trap(Vm::TrapCode::Range);
      return CheckUnsigned(v, static_cast<u64>(std::max<i64>(low, 0)), static_cast<u64>(high));
    }
    if (dstU64) return CheckSigned(v, std::max<i64>(low, 0), high < 0 ? INT64_MAX : high);
    CheckSigned(v, low, high);
  }
  // After arithmetic in the base type: the value must lie in t's own range.
  static bool HasOwnRange(const Type* t) {
    return t->kind == TypeKind::Subrange || t->kind == TypeKind::Char ||
           t->kind == TypeKind::Boolean || t->kind == TypeKind::Enumeration;
  }
  void CheckRange(u16 v, const Type* t) {
    if (!HasOwnRange(t)) return;
    if (IsUnsigned64(t))
      CheckUnsigned(v, static_cast<u64>(t->low), static_cast<u64>(t->high));
    else
      CheckSigned(v, t->low, t->high);
  }

  // ---- Places of variables ----

  const Layout& LayoutOf(const Procedure* p) { return p == nullptr ? bodyLayout : layouts[p]; }

  // A slot holding the frame address of procedure target, from the running one along
  // the static links.
  u16 FrameOf(const Procedure* target) {
    const u16 t = Temp();
    if (target == cur) {
      Emit(Op::LDLA, t, 0);
      return t;
    }
    const Procedure* p = cur;
    if (p == nullptr || p->level == 0)
      Fail(p != nullptr ? p->pos : Pos{}, "no frame for an outer variable");
    Move(t, U16(layouts[p].staticLink));
    p = p->outer;
    while (p != target) {
      if (p == nullptr || p->level == 0) Fail(Pos{}, "no frame for an outer variable");
      Emit(Op::LD64, t, t, U16(layouts[p].staticLink * 8));
      p = p->outer;
    }
    return t;
  }

  Loc VarLoc(const Variable* v) {
    Loc l;
    l.type = v->type;
    if (const auto alias = aliases.find(v); alias != aliases.end()) {
      l.kind = Loc::Reg;
      l.slot = alias->second;
      return l;
    }
    if (v->varKind == VarKind::Global) {
      if (v->module == unit.module || v->module == nullptr) {
        for (const auto& [cached, slot] : L->bases) {
          if (cached != v) continue;
          l.kind = Loc::Addr;
          l.slot = slot;
          return l;
        }
        const auto found = places.find(v);
        const GlobalPlace g = found != places.end() ? found->second : GlobalPlace{true, v->offset};
        if (!g.inArea) {
          l.kind = Loc::Addr;
          l.slot = U16(L->dataSlot);
          l.offset = g.offset;
          return l;
        }
        l.kind = Loc::Global;
        l.offset = g.offset - V - kDescriptor;
        return l;
      }
      if (v->module->slot < 1) Fail(v->pos, "variable of a module not imported");
      const u16 t = Temp();
      Emit(Op::LDIA, t, U16(P + v->module->slot));
      a.Emit(static_cast<u64>(static_cast<i64>(v->offset)));
      l.kind = Loc::Addr;
      l.slot = t;
      return l;
    }
    const Layout& owner = LayoutOf(v->proc);
    const auto found = owner.places.find(v);
    if (found == owner.places.end()) Fail(v->pos, "variable without a place");
    const Place& place = found->second;
    const bool open = v->IsOpenArray();
    if (v->proc == cur) {
      if (v->varKind == VarKind::Local) {
        if (place.inSlot) {
          l.kind = Loc::Reg;
          l.slot = place.slot;
          l.normalize = place.normalize;
        } else {
          l.kind = Loc::Frame;
          l.offset = place.memory;
        }
        return l;
      }
      if (v->varKind == VarKind::Param && !open && !IsStructured(v->type)) {
        l.kind = Loc::Reg;
        l.slot = place.slot;
        l.normalize = place.normalize;
        return l;
      }
      // The slot holds the address (and for an open array the HIGH after it).
      l.kind = Loc::Addr;
      l.slot = place.slot;
      return l;
    }
    // A variable of an enclosing procedure, through the static links.
    const u16 frame = FrameOf(v->proc);
    if (v->varKind == VarKind::Local && !place.inSlot) {
      const u16 t = Temp();
      Emit(Op::ADDAX, t, frame);
      fixes.push_back({a.Here(), &owner, place.memory, true});
      a.Emit(0);
      l.kind = Loc::Addr;
      l.slot = t;
      return l;
    }
    if (v->varKind == VarKind::Local ||
        (v->varKind == VarKind::Param && !open && !IsStructured(v->type))) {
      l.kind = Loc::Addr;
      l.slot = frame;
      l.offset = static_cast<i64>(place.slot) * 8;
      return l;
    }
    const u16 t = open ? Temps(2) : Temp();
    Emit(Op::LD64, t, frame, U16(place.slot * 8));
    if (open) Emit(Op::LD64, t + 1, frame, U16(place.slot * 8 + 8));
    l.kind = Loc::Addr;
    l.slot = t;
    return l;
  }

  // An Addr place whose offset fits a load or store (Frame places become Addr ones).
  Loc Near(Loc l) {
    if (l.kind == Loc::Frame) {
      const u16 t = Temp();
      FrameAddress(t, l.offset);
      l.kind = Loc::Addr;
      l.slot = t;
      l.offset = 0;
    }
    if (l.kind == Loc::Addr && !Fits16(l.offset)) {
      const u16 t = Temp();
      AddConst(t, l.slot, l.offset);
      l.slot = t;
      l.offset = 0;
    }
    return l;
  }

  // The address of a place, into dst (or a new temporary when dst is 0xFFFF).
  u16 AddressOf(const Loc& l, i32 dst = -1) {
    const auto target = [&] { return dst >= 0 ? U16(dst) : Temp(); };
    switch (l.kind) {
    case Loc::Reg: {
      const u16 t = target();
      Emit(Op::LDLA, t, l.slot);
      return t;
    }
    case Loc::Global: {
      const u16 t = target();
      EmitI(Op::LDGA, t, l.offset);
      return t;
    }
    case Loc::Frame: {
      const u16 t = target();
      FrameAddress(t, l.offset);
      return t;
    }
    case Loc::Addr: {
      if (l.offset == 0 && dst < 0) return l.slot;
      const u16 t = target();
      AddConst(t, l.slot, l.offset);
      return t;
    }
    case Loc::Elem:
    case Loc::Open: {
      const Op op = l.kind == Loc::Elem ? Op::IDX : Op::IDXO;
      const i64 low = l.kind == Loc::Elem ? l.low : -1;
      if (Stable(l.slot) && Stable(l.idx)) {
        const u16 slot = CachedElement(op, l.slot, l.idx, low, l.length, l.type->size);
        if (dst < 0) return slot;
        Move(U16(dst), slot);
        return U16(dst);
      }
      const u16 t = target();
      EmitElement(op, t, l.slot, l.idx, low, l.length, l.type->size);
      return t;
    }
    }
    return 0;
  }

  void LoadInto(const Loc& l, u16 dst) {
    const Type* t = l.type;
    switch (l.kind) {
    case Loc::Reg:
      if (l.normalize)
        Normalize(dst, l.slot, t);
      else
        Move(dst, l.slot);
      return;
    case Loc::Global:
      EmitI(LoadOp(t, Op::LDG8, Op::LDG16, Op::LDG32, Op::LDG32U, Op::LDG64), dst, l.offset);
      return;
    case Loc::Elem:
      Emit(LoadOp(t, Op::LDX8, Op::LDX16, Op::LDX32, Op::LDX32U, Op::LDX64), dst, l.slot, l.idx);
      a.Emit(Vm::Bounds(static_cast<std::int32_t>(l.low), static_cast<u32>(l.length)));
      return;
    case Loc::Open:
      Emit(LoadOp(t, Op::LDO8, Op::LDO16, Op::LDO32, Op::LDO32U, Op::LDO64), dst, l.slot, l.idx);
      return;
    default: {
      const Loc n = Near(l);
      Emit(LoadOp(t, Op::LD8, Op::LD16, Op::LD32, Op::LD32U, Op::LD64), dst, n.slot, U16(n.offset));
      return;
    }
    }
  }
  u16 Load(const Loc& l) {
    if (l.kind == Loc::Reg && !l.normalize) return l.slot;
    const u16 t = Temp();
    LoadInto(l, t);
    return t;
  }
  void StoreFrom(const Loc& l, u16 src) {
    const Type* t = l.type;
    switch (l.kind) {
    case Loc::Reg:
      Move(l.slot, src);
      return;
    case Loc::Global:
      EmitI(StoreOp(t, Op::STG8, Op::STG16, Op::STG32, Op::STG64), src, l.offset);
      return;
    case Loc::Elem:
      Emit(StoreOp(t, Op::STX8, Op::STX16, Op::STX32, Op::STX64), src, l.slot, l.idx);
      a.Emit(Vm::Bounds(static_cast<std::int32_t>(l.low), static_cast<u32>(l.length)));
      return;
    case Loc::Open:
      Emit(StoreOp(t, Op::STO8, Op::STO16, Op::STO32, Op::STO64), src, l.slot, l.idx);
      return;
    default: {
      const Loc n = Near(l);
      Emit(StoreOp(t, Op::ST8, Op::ST16, Op::ST32, Op::ST64), src, n.slot, U16(n.offset));
      return;
    }
    }
  }

  // ---- Designators ----

  Loc Designate(const Expr* e) {
    switch (e->kind) {
    case ExprKind::Var: {
      Loc l = VarLoc(static_cast<const VarRef*>(e)->var);
      l.type = e->type;
      return l;
    }
    case ExprKind::Field: {
      const auto* f = static_cast<const FieldRef*>(e);
      Loc l = Designate(f->record);
      if (l.kind == Loc::Elem || l.kind == Loc::Open) {
        const u16 t = AddressOf(l);
        l = Loc{};
        l.kind = Loc::Addr;
        l.slot = t;
      }
      l.offset += f->field->offset;
      l.type = e->type;
      return l;
    }
    case ExprKind::Index:
      return IndexLoc(static_cast<const IndexRef*>(e));
    case ExprKind::Deref: {
      const u16 p = Value(static_cast<const DerefRef*>(e)->pointer);
      Emit(Op::CHKPTR, p);
      Loc l;
      l.kind = Loc::Addr;
      l.slot = p;
      l.type = e->type;
      return l;
    }
    case ExprKind::WithRec: {
      Loc l = withs.at(static_cast<const WithRef*>(e)->with);
      l.type = e->type;
      return l;
    }
    case ExprKind::Convert: {
      Loc l = Designate(static_cast<const Convert*>(e)->operand);
      l.type = e->type;
      return l;
    }
    default:
      Fail(e->pos, "not a designator");
    }
  }

  // An index whose conversion checks no more than the element access does anyway (which
  // checks low..high, and traps with the more telling message): its operand, the same
  // number in a slot.
  static const Expr* Unchecked(const Expr* index, i64 low, i64 high) {
    if (index->kind != ExprKind::Convert) return index;
    const auto* c = static_cast<const Convert*>(index);
    if (c->conv != ConvertKind::Value || !IsOrdinal(c->operand->type) ||
        IsUnsigned64(c->operand->type))
      return index;
    // The element access checks low..high; the conversion's range must hold that.
    if (c->type->low > low || c->type->high < high) return index;
    return c->operand;
  }

  Loc IndexLoc(const IndexRef* e) {
    const Type* at = e->array->type;
    const Type* et = e->type;
    Loc arr = Designate(e->array);
    const bool scalar =
        !IsStructured(et) && (et->size == 1 || et->size == 2 || et->size == 4 || et->size == 8);
    if (at->kind == TypeKind::OpenArray) {
      // The address and HIGH must be in two slots side by side.
      u16 pair = arr.slot;
      if (arr.kind != Loc::Addr || arr.offset != 0)
        Fail(e->pos, "open array in an unexpected place");
      Loc l;
      l.kind = Loc::Open;
      l.slot = pair;
      l.idx = Value(Unchecked(e->index, 0, 0));
      l.type = et;
      if (scalar) return l;
      Loc r;
      r.kind = Loc::Addr;
      r.slot = AddressOf(l);
      r.type = et;
      return r;
    }
    const i64 size = et->size;
    if (e->index->kind == ExprKind::Literal) {
      // Checked by the front end: a constant offset.
      const i64 k = static_cast<const Literal*>(e->index)->value.i;
      if (arr.kind == Loc::Elem || arr.kind == Loc::Open) {
        const u16 t = AddressOf(arr);
        arr = Loc{};
        arr.kind = Loc::Addr;
        arr.slot = t;
      }
      arr.offset += (k - at->low) * size;
      arr.type = et;
      return arr;
    }
    u16 base;
    if (arr.kind == Loc::Addr && arr.offset == 0)
      base = arr.slot;
    else
      base = AddressOf(arr);
    const u16 idx = Value(Unchecked(e->index, at->low, at->high));
    if (Fits32(at->low) && at->length >= 0 && at->length <= static_cast<i64>(UINT32_MAX)) {
      Loc l;
      l.kind = Loc::Elem;
      l.slot = base;
      l.idx = idx;
      l.low = at->low;
      l.length = at->length;
      l.type = et;
      if (scalar) return l;
      Loc r;
      r.kind = Loc::Addr;
      r.slot = AddressOf(l);
      r.type = et;
      return r;
    }
    // Bounds beyond 32 bits: check, then compute.
    if (IsUnsigned64(at->index))
      CheckUnsigned(idx, static_cast<u64>(at->low), static_cast<u64>(at->high));
    else
      CheckSigned(idx, at->low, at->high);
    const u16 t = Temp(), k = Temp();
    Constant(k, at->low);
    Emit(Op::SUBA, t, idx, k);
    Constant(k, size);
    Emit(Op::MULA, t, t, k);
    Emit(Op::ADDA, t, base, t);
    Loc r;
    r.kind = Loc::Addr;
    r.slot = t;
    r.type = et;
    return r;
  }

  // ---- Expressions ----

  // The value of e in some slot: a variable's own slot when it can be read as it is; the
  // address for a structured value.
  u16 Value(const Expr* e) {
    if (IsStructured(e->type)) return AddressValue(e);
    if (e->IsDesignator()) return Load(Designate(e));
    if (e->kind == ExprKind::Call) return GenCall(static_cast<const CallExpr*>(e));
    const u16 t = Temp();
    Eval(e, t);
    return t;
  }

  // The value of e into dst; dst is written by the last instruction only (or by the
  // instructions after the last read of anything else).
  void Eval(const Expr* e, u16 dst) {
    if (IsStructured(e->type)) {
      Move(dst, AddressValue(e));
      return;
    }
    const u32 mark = top;
    switch (e->kind) {
    case ExprKind::Literal:
      GenLiteral(static_cast<const Ast::Literal*>(e), dst);
      break;
    case ExprKind::String: {
      // A one-character string where a CHAR is wanted.
      const auto* s = static_cast<const StringLit*>(e);
      Constant(dst, s->text.empty() ? 0 : static_cast<unsigned char>(s->text[0]));
      break;
    }
    case ExprKind::Set:
      SmallSet(static_cast<const SetExpr*>(e), dst);
      break;
    case ExprKind::ProcValue:
      ProcedureValue(static_cast<const ProcValue*>(e)->proc, dst);
      break;
    case ExprKind::Var:
    case ExprKind::Field:
    case ExprKind::Index:
    case ExprKind::Deref:
    case ExprKind::WithRec:
      LoadInto(Designate(e), dst);
      break;
    case ExprKind::Unary:
      GenUnary(static_cast<const Unary*>(e), dst);
      break;
    case ExprKind::Binary:
      GenBinary(static_cast<const Binary*>(e), dst);
      break;
    case ExprKind::Convert:
      Conversion(static_cast<const Convert*>(e), dst);
      break;
    case ExprKind::Call:
      Move(dst, GenCall(static_cast<const CallExpr*>(e)));
      break;
    case ExprKind::StdFunc:
      StandardFunction(static_cast<const StdFunc*>(e), dst);
      break;
    }
    top = mark;
  }

  void GenLiteral(const Ast::Literal* l, u16 dst) {
    if (IsReal(l->type))
      RealConstant(dst, l->value.r);
    else if (IsSet(l->type))
      Constant(dst, static_cast<i64>(l->type->size == 4 ? l->value.set[0] & 0xFFFFFFFFull
                                                        : l->value.set[0]));
    else
      Constant(dst, l->value.i);
  }

  void ProcedureValue(const Procedure* p, u16 dst) {
    if (p->module == unit.module && !p->imported) {
      EmitI(Op::LDG64, dst, static_cast<i64>(p->number) * 8);
    } else {
      EmitI(Op::LDG64, dst, static_cast<i64>(P + p->module->slot) * 8);
      Emit(Op::LD64, dst, dst, U16(p->number * 8));
    }
  }

  // The bit of element e of a set whose elements start at low.
  u16 SetBitIndex(const Expr* e, i64 low) {
    const u16 v = Value(e);
    if (low == 0) return v;
    const u16 t = Temp();
    AddConst(t, v, -low);
    return t;
  }

  void SmallSet(const SetExpr* s, u16 dst) {
    const u16 acc = Temp();
    Constant(acc, static_cast<i64>(s->type->size == 4 ? s->constant.set[0] & 0xFFFFFFFFull
                                                      : s->constant.set[0]));
    for (const SetElement& el : s->elements) {
      const u32 mark = top;
      const u16 bits = Temp();
      const u16 lo = SetBitIndex(el.low, s->type->low);
      if (el.high == nullptr || el.high == el.low) {
        Emit(Op::BIT, bits, lo);
      } else {
        const u16 hi = SetBitIndex(el.high, s->type->low);
        Emit(Op::BITS, bits, lo, hi);
      }
      Emit(Op::OR, acc, acc, bits);
      top = mark;
    }
    Move(dst, acc);
  }

  void GenUnary(const Unary* u, u16 dst) {
    const u16 v = Value(u->operand);
    if (u->op == UnaryOp::Not) {
      Emit(Op::NOT, dst, v);
      return;
    }
    const u32 at = a.Here();
    switch (NumOf(u->type)) {
    case Num::I32:
      Emit(Op::NEGI, dst, v);
      break;
    case Num::I64:
      Emit(Op::NEGL, dst, v);
      break;
    case Num::Real:
      Emit(Op::NEGR, dst, v);
      break;
    default:
      Fail(u->pos, "negation of this type");
    }
    NoteRead(at, u->operand, v);
  }

  static bool IsRelation(BinaryOp op) {
    return op == BinaryOp::Eq || op == BinaryOp::Ne || op == BinaryOp::Lt || op == BinaryOp::Le ||
           op == BinaryOp::Gt || op == BinaryOp::Ge;
  }

  static Op Arithmetic(Num n, BinaryOp op, Pos pos) {
    static const Op table[6][6] = {
        // Add, Sub, Mul, RealDiv, Div, Mod
        {Op::ADDI, Op::SUBI, Op::MULI, Op::NOP, Op::DIVI, Op::MODI},
        {Op::ADDU, Op::SUBU, Op::MULU, Op::NOP, Op::DIVU, Op::MODU},
        {Op::ADDL, Op::SUBL, Op::MULL, Op::NOP, Op::DIVL, Op::MODL},
        {Op::ADDUL, Op::SUBUL, Op::MULUL, Op::NOP, Op::DIVUL, Op::MODUL},
        {Op::ADDA, Op::SUBA, Op::MULA, Op::NOP, Op::DIVUL, Op::MODUL},
        {Op::ADDR, Op::SUBR, Op::MULR, Op::DIVR, Op::NOP, Op::NOP},
    };
    const int row = n == Num::I32    ? 0
                    : n == Num::U32  ? 1
                    : n == Num::I64  ? 2
                    : n == Num::U64  ? 3
                    : n == Num::Addr ? 4
                    : n == Num::Real ? 5
                                     : -1;
    const int col = op == BinaryOp::Add       ? 0
                    : op == BinaryOp::Sub     ? 1
                    : op == BinaryOp::Mul     ? 2
                    : op == BinaryOp::RealDiv ? 3
                    : op == BinaryOp::Div     ? 4
                    : op == BinaryOp::Mod     ? 5
                                              : -1;
    if (row < 0 || col < 0 || table[row][col] == Op::NOP) Fail(pos, "operation on this type");
    return table[row][col];
  }

  static Op AddImmediate(Num n) {
    switch (n) {
    case Num::I32:
      return Op::ADDIK;
    case Num::U32:
      return Op::ADDUK;
    case Num::I64:
      return Op::ADDLK;
    case Num::U64:
      return Op::ADDULK;
    case Num::Addr:
      return Op::ADDAK;
    default:
      return Op::NOP;
    }
  }

  static const Ast::Literal* AsLiteral(const Expr* e) {
    return e->kind == ExprKind::Literal ? static_cast<const Ast::Literal*>(e) : nullptr;
  }

  void GenBinary(const Binary* b, u16 dst) {
    switch (b->op) {
    case BinaryOp::And:
    case BinaryOp::Or:
      BooleanByBranches(b, dst);
      return;
    case BinaryOp::In:
      Membership(b, dst);
      return;
    case BinaryOp::Subset:
    case BinaryOp::Superset: {
      const Expr* l = b->op == BinaryOp::Subset ? b->left : b->right;
      const Expr* r = b->op == BinaryOp::Subset ? b->right : b->left;
      if (IsLargeSet(l->type)) {
        SetCall(Vm::SysCall::SetSubset, l, r, dst);
        return;
      }
      const u16 lv = Value(l), rv = Value(r);
      const u16 t = Temp(), z = Temp();
      Emit(Op::ANDN, t, lv, rv);
      EmitI(Op::LDI, z, 0);
      Emit(Op::SEQ, dst, t, z);
      return;
    }
    default:
      break;
    }
    if (IsRelation(b->op)) {
      Relation(b, dst);
      return;
    }
    // Arithmetic: a chain of operators from its first operand on, the intermediate
    // results in one temporary.
    std::vector<const Binary*> ops;
    const Expr* first = Chain(b, ops, [](const Binary* x) {
      return !IsRelation(x->op) && x->op != BinaryOp::And && x->op != BinaryOp::Or &&
             x->op != BinaryOp::In && x->op != BinaryOp::Subset && x->op != BinaryOp::Superset;
    });
    const u16 acc = ops.size() > 1 ? Temp() : dst;
    const u32 mark = top;
    u16 lv = Value(first);
    for (std::size_t i = 0; i < ops.size(); ++i) {
      const u16 target = i + 1 == ops.size() ? dst : acc;
      Operation(ops[i], target, lv, i == 0 ? first : nullptr);
      lv = target;
      top = mark;
    }
  }

  // dst := lv (the value of the left operand, left when that is an expression of its
  // own) op the right operand of b.
  void Operation(const Binary* b, u16 dst, u16 lv, const Expr* left) {
    const Num n = NumOf(b->type);
    if (n == Num::Set) {
      static const Op setOps[] = {Op::OR, Op::ANDN, Op::AND, Op::XOR};
      const int i = b->op == BinaryOp::Union          ? 0
                    : b->op == BinaryOp::Difference   ? 1
                    : b->op == BinaryOp::Intersection ? 2
                                                      : 3;
      Emit(setOps[i], dst, lv, Value(b->right));
      return;
    }
    if (const Ast::Literal* k = AsLiteral(b->right);
        k != nullptr && (b->op == BinaryOp::Add || b->op == BinaryOp::Sub) && n != Num::Real) {
      const i64 amount = b->op == BinaryOp::Add ? k->value.i : -k->value.i;
      const Op op = AddImmediate(n);
      if (op != Op::NOP && Fits16(amount) && (n != Num::U64 || k->value.i >= 0)) {
        const u32 at = a.Here();
        Emit(op, dst, lv, U16(amount));
        NoteRead(at, left, lv);
        return;
      }
    }
    const Op op = Arithmetic(n, b->op, b->pos);
    const u16 rv = Value(b->right);
    const u32 at = a.Here();
    Emit(op, dst, lv, rv);
    NoteRead(at, left, lv);
    NoteRead(at, b->right, rv);
  }

  void Membership(const Binary* b, u16 dst) {
    const Type* st = b->right->type;
    if (IsLargeSet(st)) {
      const u16 area = Temps(3);
      Move(area, AddressValue(b->right));
      Constant(area + 1, st->size);
      Eval(b->left, area + 2);
      if (st->low != 0) AddConst(area + 2, area + 2, -st->low);
      Emit(Op::SYS, area, static_cast<u32>(Vm::SysCall::SetIn));
      Move(dst, area);
      return;
    }
    const u16 e = SetBitIndex(b->left, st->low);
    const u16 s = Value(b->right);
    Emit(Op::INB, dst, e, s);
  }

  void Relation(const Binary* b, u16 dst) {
    const Type* t = b->left->type;
    if (IsLargeSet(t)) {
      SetCall(Vm::SysCall::SetEqual, b->left, b->right, dst);
      if (b->op == BinaryOp::Ne) Emit(Op::NOT, dst, dst);
      return;
    }
    const bool real = IsReal(t);
    const bool uns = IsUnsigned64(t);
    const u16 lv = Value(b->left), rv = Value(b->right);
    switch (b->op) {
    case BinaryOp::Eq:
      Emit(real ? Op::SEQR : Op::SEQ, dst, lv, rv);
      break;
    case BinaryOp::Ne:
      Emit(real ? Op::SNER : Op::SNE, dst, lv, rv);
      break;
    case BinaryOp::Lt:
      Emit(real ? Op::SLTR : uns ? Op::SLTU : Op::SLT, dst, lv, rv);
      break;
    case BinaryOp::Le:
      Emit(real ? Op::SLER : uns ? Op::SLEU : Op::SLE, dst, lv, rv);
      break;
    case BinaryOp::Gt:
      Emit(real ? Op::SLTR : uns ? Op::SLTU : Op::SLT, dst, rv, lv);
      break;
    case BinaryOp::Ge:
      Emit(real ? Op::SLER : uns ? Op::SLEU : Op::SLE, dst, rv, lv);
      break;
    default:
      break;
    }
  }

  // dst := (size-byte sets l and r): the SYS procedure's answer.
  void SetCall(Vm::SysCall which, const Expr* l, const Expr* r, u16 dst) {
    const u16 area = Temps(3);
    Move(area, AddressValue(l));
    Constant(area + 1, l->type->size);
    Move(area + 2, AddressValue(r));
    Emit(Op::SYS, area, static_cast<u32>(which));
    Move(dst, area);
  }

  void BooleanByBranches(const Expr* e, u16 dst) {
    const u16 t = Temp();
    const Label no = a.NewLabel();
    EmitI(Op::LDI, t, 0);
    Branch(e, false, no);
    EmitI(Op::LDI, t, 1);
    Bind(no);
    Move(dst, t);
  }

  void Conversion(const Convert* c, u16 dst) {
    const Type* src = c->operand->type;
    const Type* to = c->type;
    if (c->conv == ConvertKind::Bits) {
      if (IsStructured(src)) {
        // The bits of an array, record or large set of the target's size.
        const u16 at = AddressValue(c->operand);
        Emit(LoadOp(to, Op::LD8, Op::LD16, Op::LD32, Op::LD32U, Op::LD64), dst, at, 0);
        return;
      }
      Eval(c->operand, dst);
      if (!IsReal(to) && to->size < 8) Normalize(dst, dst, to);
      return;
    }
    if (IsReal(src) && IsReal(to)) {
      Eval(c->operand, dst);
      return;
    }
    if (IsReal(to)) {
      const u16 v = Value(c->operand);
      Emit(IsUnsigned64(src) ? Op::FLOATUL : Op::FLOATL, dst, v);
      return;
    }
    if (IsReal(src)) {
      const u16 v = Value(c->operand);
      switch (KindOf(to)) {
      case TypeKind::Integer:
        Emit(Op::TRUNCI, dst, v);
        break;
      case TypeKind::Cardinal:
        Emit(Op::TRUNCU, dst, v);
        break;
      case TypeKind::LongCard:
        Emit(Op::TRUNCUL, dst, v);
        break;
      default:
        Emit(Op::TRUNCL, dst, v);
        break;
      }
      if (to->kind != TypeKind::Integer && to->kind != TypeKind::Cardinal &&
          to->kind != TypeKind::LongInt && to->kind != TypeKind::LongCard)
        CheckConversion(dst, c->operand->type, to);
      return;
    }
    Eval(c->operand, dst);
    if (c->checked) {
      const u32 at = a.Here();
      CheckConversion(dst, src, to);
      NoteRead(at, c->operand, dst);
    } else if (to->size < 8 && (src->size > to->size || IsSigned(src) != IsSigned(to))) {
      Normalize(dst, dst, to);
    }
  }

  void StandardFunction(const StdFunc* f, u16 dst) {
    switch (f->which) {
    case StdProc::Abs: {
      const u16 v = Value(f->args[0]);
      const u32 at = a.Here();
      switch (NumOf(f->type)) {
      case Num::I32:
        Emit(Op::ABSI, dst, v);
        break;
      case Num::I64:
        Emit(Op::ABSL, dst, v);
        break;
      case Num::Real:
        Emit(Op::ABSR, dst, v);
        break;
      default:
        Move(dst, v);
        break;
      }
      NoteRead(at, f->args[0], v);
      return;
    }
    case StdProc::Cap:
      Emit(Op::CAP, dst, Value(f->args[0]));
      return;
    case StdProc::Odd:
      Emit(Op::ODD, dst, Value(f->args[0]));
      return;
    case StdProc::High: {
      const Loc l = Designate(f->args[0]);
      Move(dst, U16(l.slot + 1));
      return;
    }
    case StdProc::Size: {
      const Loc l = Designate(f->args[0]);
      const u16 t = Temp(), k = Temp();
      Emit(Op::ADDAK, t, U16(l.slot + 1), 1);
      Constant(k, f->args[0]->type->base->size);
      Emit(Op::MULA, dst, t, k);
      return;
    }
    case StdProc::Adr:
      Move(dst, AddressOf(Designate(f->args[0])));
      return;
    default:
      Fail(f->pos, "standard function not supported");
    }
  }

  // The address of a structured value (or of a value where an address is wanted:
  // ARRAY OF BYTE and ARRAY OF WORD actuals). padTo: the size a string constant must
  // fill (a fixed array formal).
  u16 AddressValue(const Expr* e, i64 padTo = 0) {
    switch (e->kind) {
    case ExprKind::String: {
      const auto* s = static_cast<const StringLit*>(e);
      std::vector<u64> words = Assembler::StringWords(std::string(s->text));
      const std::size_t want = static_cast<std::size_t>((padTo + 7) / 8);
      if (words.size() < want) words.resize(want, 0);
      const u16 t = Temp();
      a.EmitK(Op::LDCA, t, words);
      return t;
    }
    case ExprKind::Literal: {
      // A large set, or a constant transferred to a type of its size.
      const auto* l = static_cast<const Ast::Literal*>(e);
      std::vector<u64> words;
      if (IsSet(e->type)) {
        for (i64 i = 0; i < std::max<i64>(1, e->type->size / 8); ++i)
          words.push_back(l->value.set[i]);
      } else if (IsStructured(e->type)) {
        words.push_back(static_cast<u64>(l->value.i));
      } else {
        break;
      }
      const u16 t = Temp();
      a.EmitK(Op::LDCA, t, words);
      return t;
    }
    case ExprKind::Convert: {
      const Expr* operand = static_cast<const Convert*>(e)->operand;
      if (static_cast<const Convert*>(e)->conv != ConvertKind::Bits) break;
      if (IsStructured(operand->type)) return AddressValue(operand, padTo);
      if (!IsStructured(e->type)) break;
      // The bits of a scalar as an array, record or large set of its size.
      const u16 v = Value(operand);
      const u16 t = Temp();
      FrameAddress(t, L->Allocate(std::max<i64>(e->type->size, 8), 8));
      Emit(StoreOp(operand->type, Op::ST8, Op::ST16, Op::ST32, Op::ST64), v, t, 0);
      return t;
    }
    case ExprKind::Call:
      return GenCall(static_cast<const CallExpr*>(e));
    case ExprKind::Binary:
      if (IsLargeSet(e->type)) return LargeSetOp(static_cast<const Binary*>(e));
      break;
    case ExprKind::Set:
      if (IsLargeSet(e->type)) return LargeSetConstructor(static_cast<const SetExpr*>(e));
      break;
    default:
      break;
    }
    if (e->IsDesignator()) return AddressOf(Designate(e));
    if (IsStructured(e->type)) Fail(e->pos, "structured value of this kind");
    // A scalar value where its address is wanted: into memory.
    const u16 v = Value(e);
    const i64 at = L->Allocate(8, 8);
    const u16 t = Temp();
    FrameAddress(t, at);
    Emit(Op::ST64, v, t, 0);
    return t;
  }

  // A chain of operators on large sets, into one area of the frame (the run-time
  // procedures may write where they read).
  u16 LargeSetOp(const Binary* b) {
    static const Vm::SysCall calls[] = {Vm::SysCall::SetUnion, Vm::SysCall::SetDifference,
                                        Vm::SysCall::SetIntersection, Vm::SysCall::SetSymmetric};
    std::vector<const Binary*> ops;
    const Expr* first = Chain(b, ops, [](const Binary* x) { return IsLargeSet(x->type); });
    const i64 at = L->Allocate(b->type->size, 8);
    const u16 result = Temp();
    FrameAddress(result, at);
    const u16 area = Temps(4);
    const u32 mark = top;
    Move(area + 2, AddressValue(first));
    for (const Binary* x : ops) {
      const int i = x->op == BinaryOp::Union          ? 0
                    : x->op == BinaryOp::Difference   ? 1
                    : x->op == BinaryOp::Intersection ? 2
                                                      : 3;
      Move(area, result);
      Constant(area + 1, b->type->size);
      Move(area + 3, AddressValue(x->right));
      Emit(Op::SYS, area, static_cast<u32>(calls[i]));
      Move(area + 2, result);
      top = mark;
    }
    return result;
  }

  u16 LargeSetConstructor(const SetExpr* s) {
    const i64 size = s->type->size;
    const i64 at = L->Allocate(size, 8);
    const u16 result = Temp();
    FrameAddress(result, at);
    std::vector<u64> words;
    for (i64 i = 0; i < size / 8; ++i) words.push_back(s->constant.set[i]);
    const u16 k = Temp();
    a.EmitK(Op::LDCA, k, words);
    Emit(Op::COPY, result, k, U16(size));
    for (const SetElement& el : s->elements) {
      const u32 mark = top;
      const u16 area = Temps(4);
      Move(area, result);
      Constant(area + 1, size);
      Eval(el.low, area + 2);
      CheckSigned(area + 2, s->type->low, s->type->high);
      Eval(el.high != nullptr ? el.high : el.low, area + 3);
      CheckSigned(area + 3, s->type->low, s->type->high);
      if (s->type->low != 0) {
        AddConst(area + 2, area + 2, -s->type->low);
        AddConst(area + 3, area + 3, -s->type->low);
      }
      Emit(Op::SYS, area, static_cast<u32>(Vm::SysCall::SetRange));
      top = mark;
    }
    return result;
  }

  // ---- Conditions ----

  // Jumps to target when the condition is `when`.
  void Branch(const Expr* c, bool when, Label target) {
    const u32 mark = top;
    BranchOn(c, when, target);
    top = mark;
  }

  void BranchOn(const Expr* c, bool when, Label target) {
    if (c->kind == ExprKind::Literal) {
      if ((static_cast<const Ast::Literal*>(c)->value.i != 0) == when) a.EmitI(Op::JMP, 0, target);
      return;
    }
    if (c->kind == ExprKind::Unary && static_cast<const Unary*>(c)->op == UnaryOp::Not) {
      Branch(static_cast<const Unary*>(c)->operand, !when, target);
      return;
    }
    if (c->kind == ExprKind::Binary) {
      const auto* b = static_cast<const Binary*>(c);
      if (b->op == BinaryOp::And || b->op == BinaryOp::Or) {
        // A chain of ANDs (or of ORs), its operands in order.
        std::vector<const Binary*> ops;
        std::vector<const Expr*> operands{
            Chain(b, ops, [&](const Binary* x) { return x->op == b->op; })};
        for (const Binary* x : ops) operands.push_back(x->right);
        const bool isAnd = b->op == BinaryOp::And;
        if (isAnd != when) {
          // AND false or OR true: any operand decides.
          for (const Expr* e : operands) Branch(e, when, target);
        } else {
          const Label skip = a.NewLabel();
          for (std::size_t i = 0; i + 1 < operands.size(); ++i) Branch(operands[i], !when, skip);
          Branch(operands.back(), when, target);
          Bind(skip);
        }
        return;
      }
      if (IsRelation(b->op) && !IsLargeSet(b->left->type)) {
        CompareBranch(b, when, target);
        return;
      }
    }
    const u16 v = Value(c);
    a.EmitI(when ? Op::BT : Op::BF, v, target);
  }

  static BinaryOp Negate(BinaryOp op) {
    switch (op) {
    case BinaryOp::Eq:
      return BinaryOp::Ne;
    case BinaryOp::Ne:
      return BinaryOp::Eq;
    case BinaryOp::Lt:
      return BinaryOp::Ge;
    case BinaryOp::Le:
      return BinaryOp::Gt;
    case BinaryOp::Gt:
      return BinaryOp::Le;
    default:
      return BinaryOp::Lt;
    }
  }
  static BinaryOp Mirror(BinaryOp op) {
    switch (op) {
    case BinaryOp::Lt:
      return BinaryOp::Gt;
    case BinaryOp::Le:
      return BinaryOp::Ge;
    case BinaryOp::Gt:
      return BinaryOp::Lt;
    case BinaryOp::Ge:
      return BinaryOp::Le;
    default:
      return op;
    }
  }

  void CompareBranch(const Binary* b, bool when, Label target) {
    const Type* t = b->left->type;
    BinaryOp op = b->op;
    const Expr* l = b->left;
    const Expr* r = b->right;
    if (IsReal(t)) {
      const u16 lv = Value(l), rv = Value(r);
      switch (op) {
      case BinaryOp::Eq:
        a.EmitC(when ? Op::BEQR : Op::BNER, lv, rv, target);
        break;
      case BinaryOp::Ne:
        a.EmitC(when ? Op::BNER : Op::BEQR, lv, rv, target);
        break;
      case BinaryOp::Lt:
        a.EmitC(when ? Op::BLTR : Op::BNLTR, lv, rv, target);
        break;
      case BinaryOp::Le:
        a.EmitC(when ? Op::BLER : Op::BNLER, lv, rv, target);
        break;
      case BinaryOp::Gt:
        a.EmitC(when ? Op::BLTR : Op::BNLTR, rv, lv, target);
        break;
      default:
        a.EmitC(when ? Op::BLER : Op::BNLER, rv, lv, target);
        break;
      }
      return;
    }
    if (!when) op = Negate(op);
    const bool uns = IsUnsigned64(t);
    if (!uns) {
      const Ast::Literal* k = AsLiteral(r);
      if (k == nullptr && AsLiteral(l) != nullptr) {
        k = AsLiteral(l);
        std::swap(l, r);
        op = Mirror(op);
      }
      if (k != nullptr && Fits16(k->value.i) && !IsSet(t)) {
        static const Op kOps[] = {Op::BEQK, Op::BNEK, Op::BLTK, Op::BLEK, Op::BGTK, Op::BGEK};
        const u16 lv = Value(l);
        a.EmitC(kOps[static_cast<int>(op) - static_cast<int>(BinaryOp::Eq)], lv, U16(k->value.i),
                target);
        return;
      }
    }
    const u16 lv = Value(l), rv = Value(r);
    const Op lt = uns ? Op::BLTU : Op::BLT, le = uns ? Op::BLEU : Op::BLE;
    switch (op) {
    case BinaryOp::Eq:
      a.EmitC(Op::BEQ, lv, rv, target);
      break;
    case BinaryOp::Ne:
      a.EmitC(Op::BNE, lv, rv, target);
      break;
    case BinaryOp::Lt:
      a.EmitC(lt, lv, rv, target);
      break;
    case BinaryOp::Le:
      a.EmitC(le, lv, rv, target);
      break;
    case BinaryOp::Gt:
      a.EmitC(lt, rv, lv, target);
      break;
    default:
      a.EmitC(le, rv, lv, target);
      break;
    }
  }

  // ---- Calls ----

  // Calls and returns the slot of the result (the callee's slot 0).
  u16 GenCall(const CallExpr* c) {
    const Type* pt = c->proc != nullptr ? c->proc->type : c->callee->type;
    const std::vector<Param>& formals = pt->params;
    u32 words = 0;
    for (const Param& f : formals) words += f.type->kind == TypeKind::OpenArray ? 2 : 1;
    const bool own = c->proc != nullptr && c->proc->module == unit.module && !c->proc->imported;
    const bool nested = own && c->proc->level > 0;
    // A structured result goes to an area of the caller's frame whose address the callee
    // receives after the parameters and returns.
    const Type* result = pt->result;
    const bool structured = result != nullptr && IsStructured(result);
    const u32 total = words + (structured ? 1 : 0) + (nested ? 1 : 0);
    Temps(Vm::kLinkSlots);
    const u16 base = Temps(std::max<u32>(total, 1));
    u32 w = base;
    for (std::size_t i = 0; i < formals.size() && i < c->args.size(); ++i) {
      const u32 mark = top;
      Argument(c->args[i], formals[i], U16(w));
      top = mark;
      w += formals[i].type->kind == TypeKind::OpenArray ? 2 : 1;
    }
    if (structured) FrameAddress(U16(w++), L->Allocate(result->size, result->align));
    if (nested) {
      const u32 mark = top;
      Move(U16(w), FrameOf(c->proc->outer));
      top = mark;
    }
    if (own) {
      a.EmitI(Op::CALL, base, layouts.at(c->proc).label);
    } else if (c->proc != nullptr) {
      if (c->proc->module->slot < 1) Fail(c->pos, "procedure of a module not imported");
      Emit(Op::CALLX, base, U16(P + c->proc->module->slot), U16(c->proc->number));
    } else {
      const u32 mark = top;
      const u16 pv = Value(c->callee);
      Emit(Op::CALLP, base, pv);
      top = mark;
    }
    top = base + 1u;
    return base;
  }

  void Argument(const Arg& arg, const Param& formal, u16 w) {
    const bool open = formal.type->kind == TypeKind::OpenArray;
    if (formal.isVar) {
      AddressOf(Designate(arg.value), w);
    } else if (open || IsStructured(formal.type)) {
      Move(w, AddressValue(arg.value, open ? 0 : formal.type->size));
    } else {
      Eval(arg.value, w);
    }
    if (open) Eval(arg.high, U16(w + 1));
  }

  // ---- Statements ----

  void Statements(const StmtList& list) {
    for (const Stmt* s : list) Statement(s);
  }

  // A loop that calls nothing and reaches nothing through addresses keeps the module's
  // scalar variables it uses in slots while it runs: loaded before, stored after (and
  // before an EXIT or RETURN that leaves it).
  bool Promote(const Stmt* s) {
    if (promotion.active) return false;
    if (s->kind != StmtKind::While && s->kind != StmtKind::Repeat && s->kind != StmtKind::For &&
        s->kind != StmtKind::Loop)
      return false;
    Facts facts(nullptr);
    facts.Statement(s);
    if (facts.calls || facts.addresses) return false;
    std::vector<std::pair<const Variable*, u16>> vars;
    for (const Variable* v : facts.globals) {
      if (IsStructured(v->type) || aliases.count(v) != 0) continue;
      if (v->module != unit.module && v->module != nullptr) continue;
      const auto found = places.find(v);
      if (found == places.end() || !found->second.inArea) continue;
      vars.push_back({v, 0});
    }
    if (vars.empty()) return false;
    for (auto& [v, slot] : vars) {
      slot = Temp();
      LoadInto(VarLoc(v), slot);
    }
    for (const auto& [v, slot] : vars) aliases[v] = slot;
    promotion.active = true;
    promotion.from = a.Here();
    promotion.vars = vars;
    promotion.loops.clear();
    return true;
  }
  void StoreBack() {
    for (const auto& [v, slot] : promotion.vars) {
      aliases.erase(v);
      StoreFrom(VarLoc(v), slot);
      aliases[v] = slot;
    }
  }
  void EndPromotion() {
    for (const auto& [v, slot] : promotion.vars) {
      aliases.erase(v);
      aliased.push_back({v, promotion.from, a.Here(), slot});
    }
    for (const auto& [v, slot] : promotion.vars) StoreFrom(VarLoc(v), slot);
    promotion = Promotion{};
  }

  void Statement(const Stmt* s) {
    Line(s->pos.line);
    const u32 mark = top;
    const bool promoted = Promote(s);
    if (s->kind == StmtKind::Loop && promotion.active)
      promotion.loops.push_back(static_cast<const Loop*>(s));
    switch (s->kind) {
    case StmtKind::Assign:
      Assignment(static_cast<const Assign*>(s));
      break;
    case StmtKind::Call:
      GenCall(static_cast<const CallStmt*>(s)->call);
      break;
    case StmtKind::If:
      IfStatement(static_cast<const If*>(s));
      break;
    case StmtKind::Case:
      CaseStatement(static_cast<const Case*>(s));
      break;
    case StmtKind::While: {
      const auto* w = static_cast<const While*>(s);
      const Label test = a.NewLabel(), body = a.NewLabel();
      a.EmitI(Op::JMP, 0, test);
      Bind(body);
      Statements(w->body);
      Bind(test);
      Line(s->pos.line);
      Branch(w->condition, true, body);
      break;
    }
    case StmtKind::Repeat: {
      const auto* r = static_cast<const Repeat*>(s);
      const Label body = a.NewLabel();
      Bind(body);
      Statements(r->body);
      Branch(r->condition, false, body);
      break;
    }
    case StmtKind::For:
      ForStatement(static_cast<const For*>(s));
      break;
    case StmtKind::Loop: {
      const auto* l = static_cast<const Loop*>(s);
      const Label head = a.NewLabel(), exit = a.NewLabel();
      exits[l] = exit;
      Bind(head);
      Statements(l->body);
      a.EmitI(Op::JMP, 0, head);
      Bind(exit);
      break;
    }
    case StmtKind::Exit: {
      const Loop* loop = static_cast<const Exit*>(s)->loop;
      if (promotion.active &&
          std::find(promotion.loops.begin(), promotion.loops.end(), loop) == promotion.loops.end())
        StoreBack();
      a.EmitI(Op::JMP, 0, exits.at(loop));
      break;
    }
    case StmtKind::Return:
      ReturnStatement(static_cast<const Return*>(s));
      break;
    case StmtKind::With: {
      const auto* w = static_cast<const With*>(s);
      Loc l = Designate(w->record);
      if (l.kind == Loc::Elem || l.kind == Loc::Open) {
        const u16 t = AddressOf(l);
        l = Loc{};
        l.kind = Loc::Addr;
        l.slot = t;
        l.type = w->record->type;
      } else if (l.kind == Loc::Addr && !IsTemp(l.slot)) {
        // The record stays the one designated now, whatever the body does to the pointer.
        const u16 t = Temp();
        Move(t, l.slot);
        l.slot = t;
      }
      withs[w] = l;
      Statements(w->body);
      break;
    }
    case StmtKind::StdProc:
      StandardProcedure(static_cast<const StdProcCall*>(s));
      break;
    }
    if (promoted) EndPromotion();
    top = mark;
  }

  void Copy(u16 dst, u16 src, i64 size) {
    if (size <= 0xFFFF) {
      Emit(Op::COPY, dst, src, U16(size));
    } else {
      const u16 n = Temp();
      Constant(n, size);
      Emit(Op::COPYN, dst, src, n);
    }
  }

  void Assignment(const Assign* s) {
    const Type* tt = s->target->type;
    if (IsStructured(tt)) {
      if (s->value->kind == ExprKind::String && tt->kind != TypeKind::Set) {
        StringAssignment(s->target, static_cast<const StringLit*>(s->value));
        return;
      }
      const u16 dst = AddressOf(Designate(s->target));
      const u16 src = AddressValue(s->value);
      Copy(dst, src, tt->size);
      return;
    }
    const Loc l = Designate(s->target);
    if (l.kind == Loc::Reg) {
      Eval(s->value, l.slot);
      Changed(l.slot);
      return;
    }
    StoreFrom(l, Value(s->value));
  }

  void StringAssignment(const Expr* target, const StringLit* s) {
    const i64 length = static_cast<i64>(s->text.size());
    const Loc l = Designate(target);
    const std::vector<u64> words = Assembler::StringWords(std::string(s->text));
    if (target->type->kind == TypeKind::OpenArray) {
      const u16 area = Temps(4);
      Move(area, l.slot);
      Move(area + 1, U16(l.slot + 1));
      a.EmitK(Op::LDCA, area + 2, words);
      Constant(area + 3, length);
      Emit(Op::SYS, area, static_cast<u32>(Vm::SysCall::StringAssign));
      return;
    }
    const i64 size = target->type->size;
    const i64 n = std::min(length, size);
    const u16 dst = AddressOf(l);
    const u16 src = Temp();
    a.EmitK(Op::LDCA, src, words);
    if (n > 0) Copy(dst, src, n);
    for (i64 done = n; done < size;) {
      const i64 chunk = std::min<i64>(size - done, 0xFFFF);
      const u16 at = Temp();
      AddConst(at, dst, done);
      Emit(Op::FILL0, at, 0, U16(chunk));
      done += chunk;
    }
  }

  void IfStatement(const If* s) {
    const Label end = a.NewLabel();
    for (std::size_t i = 0; i < s->arms.size(); ++i) {
      const Label next = a.NewLabel();
      Branch(s->arms[i].condition, false, next);
      Statements(s->arms[i].body);
      if (i + 1 < s->arms.size() || !s->elseBody.empty()) a.EmitI(Op::JMP, 0, end);
      Bind(next);
    }
    Statements(s->elseBody);
    Bind(end);
  }

  void CaseStatement(const Case* s) {
    const u16 v = Value(s->selector);
    const Label end = a.NewLabel(), otherwise = a.NewLabel();
    std::vector<Label> arms;
    i64 low = INT64_MAX, high = INT64_MIN, count = 0;
    for (const CaseArm& arm : s->arms) {
      arms.push_back(a.NewLabel());
      for (const LabelRange& r : arm.labels) {
        low = std::min(low, r.low);
        high = std::max(high, r.high);
        count += r.high - r.low + 1;
      }
    }
    const bool unsignedSelector = IsUnsigned64(s->selector->type);
    const i64 span = count > 0 ? high - low + 1 : 0;
    if (count > 0 && !unsignedSelector && span > 0 && span <= 4 * count + 16 && span <= 4096) {
      std::vector<PoolWord> table{
          {static_cast<u64>(low), {}}, {static_cast<u64>(span), {}}, {0, otherwise}};
      table.resize(static_cast<std::size_t>(3 + span), PoolWord{0, otherwise});
      for (std::size_t i = 0; i < s->arms.size(); ++i)
        for (const LabelRange& r : s->arms[i].labels)
          for (i64 x = r.low; x <= r.high; ++x)
            table[static_cast<std::size_t>(3 + x - low)].label = arms[i];
      a.EmitK(Op::JTAB, v, table);
    } else {
      const u16 t = Temp(), k = Temp();
      for (std::size_t i = 0; i < s->arms.size(); ++i) {
        for (const LabelRange& r : s->arms[i].labels) {
          if (r.low == r.high && Fits16(r.low) && !unsignedSelector) {
            a.EmitC(Op::BEQK, v, U16(r.low), arms[i]);
            continue;
          }
          // low <= v <= high as v - low <= high - low, unsigned.
          Constant(k, r.low);
          Emit(Op::SUBA, t, v, k);
          Constant(k, r.high - r.low);
          a.EmitC(Op::BLEU, t, k, arms[i]);
        }
      }
      a.EmitI(Op::JMP, 0, otherwise);
    }
    for (std::size_t i = 0; i < s->arms.size(); ++i) {
      Bind(arms[i]);
      Line(s->arms[i].pos.line);
      Statements(s->arms[i].body);
      a.EmitI(Op::JMP, 0, end);
    }
    Bind(otherwise);
    if (s->hasElse) {
      Statements(s->elseBody);
    } else {
      Line(s->pos.line);
      Trap(Vm::TrapCode::CaseError);
    }
    Bind(end);
  }

  void ForStatement(const For* f) {
    const Loc v = VarLoc(f->var);
    const bool reg = v.kind == Loc::Reg && !v.normalize;
    const bool uns = IsUnsigned64(f->var->type);
    const u16 start = Temp(), limit = Temp();
    Eval(f->from, start);
    Eval(f->to, limit);
    const u16 c = reg ? v.slot : Temp();
    // A control variable in memory that the body neither changes nor could see changed
    // by a call is read from its slot, and stored once the loop is done.
    bool alias = false;
    if (!reg) {
      Facts facts(f->var);
      facts.Stmts(f->body);
      alias = !facts.calls && !facts.writes;
    }
    Move(c, start);
    Changed(c);
    const Label body = a.NewLabel(), exit = a.NewLabel();
    const Op lt = uns ? Op::BLTU : Op::BLT;
    if (f->step > 0)
      a.EmitC(lt, limit, c, exit);
    else
      a.EmitC(lt, c, limit, exit);
    Bind(body);
    const u32 from = a.Here();
    if (alias) {
      aliases[f->var] = c;
    } else if (!reg) {
      const u32 mark = top;
      StoreFrom(v, c);
      top = mark;
    }
    Statements(f->body);
    if (!uns && f->step == 1) {
      a.EmitC(Op::FORUP, c, limit, body);
    } else if (!uns && f->step == -1) {
      a.EmitC(Op::FORDN, c, limit, body);
    } else {
      // What is left to go (exact as an unsigned number while c lies between the
      // bounds) must cover a step.
      const u16 t = Temp(), k = Temp();
      if (f->step > 0)
        Emit(Op::SUBA, t, limit, c);
      else
        Emit(Op::SUBA, t, c, limit);
      Constant(k, f->step > 0 ? f->step : -f->step);
      a.EmitC(Op::BLTU, t, k, exit);
      AddConst(c, c, f->step);
      a.EmitI(Op::JMP, 0, body);
    }
    Bind(exit);
    if (alias) {
      aliases.erase(f->var);
      aliased.push_back({f->var, from, a.Here(), c});
      StoreFrom(v, c);
    }
  }

  void Epilogue() {
    if (L->dynSlot >= 0) Emit(Op::DYNREST, U16(L->dynSlot));
  }

  void ReturnStatement(const Return* r) {
    if (r->value != nullptr) {
      u16 v = 0;
      if (L->resultSlot >= 0) {
        // A structured result: copied into the caller's area, whose address goes back.
        const i64 size = cur->Result()->size;
        Copy(U16(L->resultSlot), AddressValue(r->value, size), size);
        v = U16(L->resultSlot);
      } else {
        v = Value(r->value);
      }
      if (promotion.active) StoreBack();
      Epilogue();
      // RETVS with the frame's memory once that is known, else RETV and a word unused.
      returns.push_back({a.Here(), L});
      Emit(Op::RETV, v);
      a.Emit(0);
      return;
    }
    if (promotion.active) StoreBack();
    if (cur != nullptr) Epilogue();
    Emit(Op::RET);
  }

  void StandardProcedure(const StdProcCall* s) {
    switch (s->which) {
    case StdProc::Halt:
      Trap(Vm::TrapCode::Halt);
      return;
    case StdProc::Inc:
    case StdProc::Dec: {
      const Expr* x = s->args[0];
      const Loc l = Designate(x);
      const u16 old = Load(l);
      // A range-checked module variable kept in a slot changes once the check passed,
      // so that a trap still finds its old value.
      const bool global = x->kind == ExprKind::Var &&
                          static_cast<const VarRef*>(x)->var->varKind == VarKind::Global;
      const bool direct = l.kind == Loc::Reg && !(global && HasOwnRange(x->type));
      const u16 dst = direct ? l.slot : Temp();
      Num n = NumOf(x->type);
      if (n != Num::I32 && n != Num::U32 && n != Num::I64 && n != Num::U64 && n != Num::Addr)
        n = Num::I64;
      const bool inc = s->which == StdProc::Inc;
      const Ast::Literal* k = s->args.size() > 1 ? AsLiteral(s->args[1]) : nullptr;
      const i64 amount = s->args.size() > 1 ? (k != nullptr ? k->value.i : 0) : 1;
      u32 at = a.Here();
      if ((s->args.size() == 1 || k != nullptr) && Fits16(inc ? amount : -amount) &&
          (n != Num::U64 || amount >= 0)) {
        Emit(AddImmediate(n), dst, old, U16(inc ? amount : -amount));
      } else {
        const u16 by = Value(s->args[1]);
        at = a.Here();
        Emit(Arithmetic(n, inc ? BinaryOp::Add : BinaryOp::Sub, s->pos), dst, old, by);
        NoteRead(at, s->args[1], by);
      }
      NoteRead(at, x, old);
      const u32 check = a.Here();
      CheckRange(dst, x->type);
      NoteRead(check, x, old);
      if (!direct) StoreFrom(l, dst);
      Changed(l.kind == Loc::Reg ? l.slot : dst);
      return;
    }
    case StdProc::Incl:
    case StdProc::Excl: {
      const Expr* x = s->args[0];
      const Type* st = x->type;
      const Loc l = Designate(x);
      const bool incl = s->which == StdProc::Incl;
      if (IsLargeSet(st)) {
        const u16 area = Temps(3);
        AddressOf(l, area);
        Constant(area + 1, st->size);
        Eval(s->args[1], area + 2);
        CheckSigned(area + 2, st->low, st->high);
        if (st->low != 0) AddConst(area + 2, area + 2, -st->low);
        Emit(Op::SYS, area, static_cast<u32>(incl ? Vm::SysCall::SetIncl : Vm::SysCall::SetExcl));
        return;
      }
      const u16 e = Temp();
      Eval(s->args[1], e);
      CheckSigned(e, st->low, st->high);
      if (st->low != 0) AddConst(e, e, -st->low);
      const u16 bit = Temp();
      Emit(Op::BIT, bit, e);
      const u16 old = Load(l);
      const u16 dst = l.kind == Loc::Reg ? l.slot : Temp();
      Emit(incl ? Op::OR : Op::ANDN, dst, old, bit);
      if (l.kind != Loc::Reg) StoreFrom(l, dst);
      Changed(dst);
      return;
    }
    case StdProc::NewProcess: {
      const u16 area = Temps(4);
      for (u16 i = 0; i < 3; ++i) Eval(s->args[i], area + i);
      AddressOf(Designate(s->args[3]), area + 3);
      Emit(Op::SYS, area, static_cast<u32>(Vm::SysCall::NewProcess));
      return;
    }
    case StdProc::Transfer: {
      const u16 area = Temps(2);
      AddressOf(Designate(s->args[0]), area);
      AddressOf(Designate(s->args[1]), area + 1);
      Emit(Op::TRANSFER, area);
      return;
    }
    default:
      Fail(s->pos, "standard procedure not supported");
    }
  }

  // ---- Procedures and the body ----

  void LocalModuleBodies(const std::vector<Module*>& modules) {
    for (const Module* m : modules) {
      LocalModuleBodies(m->localModules);
      Statements(m->body);
    }
  }

  void Enter(u32 firstLocal) {
    L->enterWord = a.Here();
    Emit(Op::ENTER, L->cacheBase, a.Here(), Vm::kEntryMark | firstLocal);
    a.Emit(0); // the frame's slots, once they are counted
  }

  void CacheBasesOfBody() {
    u32 next = top;
    CacheBases(bodyLayout, nullptr, next);
    bodyLayout.cacheBase = next;
    next += kCachedAddresses;
    bodyLayout.tempBase = next;
    top = next;
    L->maxTop = std::max(L->maxTop, top);
  }

  void GenBody() {
    L = &bodyLayout;
    cur = nullptr;
    top = 0;
    L->tempBase = 0;
    if (external) {
      L->dataSlot = 0;
      L->tempBase = 1;
      top = 1;
    }
    entries[0] = a.Here();
    cached.clear();
    Line(std::max(unit.module->pos.line, 1));
    Enter(0);
    Emit(Op::INIT);
    if (external) {
      // The variables' block, made on the body's first run (the area says 8000H until then).
      const i64 at = -V - kDescriptor;
      const u16 k = Temp();
      const Label made = a.NewLabel();
      EmitI(Op::LDG64, 0, at);
      a.EmitK(Op::LDK, k, std::vector<u64>{0x8000800080008000ull});
      a.EmitC(Op::BNE, 0, k, made);
      Constant(0, unit.dataSize);
      Emit(Op::SYS, 0, static_cast<u32>(Vm::SysCall::ModuleData));
      EmitI(Op::STG64, 0, at);
      Bind(made);
      top = 1;
    }
    CacheBasesOfBody();
    LoadBases();
    for (std::size_t i = 0; i < unit.imports.size(); ++i) {
      const u32 mark = top;
      Temps(Vm::kLinkSlots);
      const u16 base = Temp();
      Emit(Op::CALLX, base, U16(P + 1 + static_cast<i64>(i)), 0);
      top = mark;
    }
    LocalModuleBodies(unit.module->localModules);
    Statements(unit.module->body);
    Line(unit.module->endPos.line);
    Emit(Op::RET);
  }

  std::string QualifiedName(const Procedure* p) {
    std::string name(p->name);
    for (const Procedure* o = p->outer; o != nullptr; o = o->outer)
      name = std::string(o->name) + "." + name;
    return name;
  }

  void GenProcedure(const Procedure* p) {
    L = &layouts[p];
    cur = p;
    top = L->tempBase;
    L->maxTop = std::max(L->maxTop, L->tempBase);
    Bind(L->label);
    if (p->number <= 0 || p->number >= P) Fail(p->pos, "procedure without an entry");
    entries[static_cast<std::size_t>(p->number)] = a.Here();
    names[static_cast<std::size_t>(p->number)] = QualifiedName(p);
    Line(p->pos.line);
    cached.clear();
    Enter(L->firstLocal);
    for (const Variable* v : L->copies) {
      const Place& place = L->places.at(v);
      const u32 mark = top;
      const u16 t = Temp();
      FrameAddress(t, place.memory);
      Copy(t, place.slot, v->type->size);
      Move(place.slot, t);
      top = mark;
    }
    if (L->dataSlot >= 0) EmitI(Op::LDG64, U16(L->dataSlot), -V - kDescriptor);
    LoadBases();
    if (L->dynSlot >= 0) {
      Emit(Op::DYNSAVE, U16(L->dynSlot));
      for (const Variable* v : L->dynCopies)
        Emit(Op::DYNCOPY, L->places.at(v).slot, U16(v->type->base->size));
    }
    LocalModuleBodies(p->localModules);
    Statements(p->body);
    Line(p->endPos.line);
    if (p->Result() != nullptr) {
      Trap(Vm::TrapCode::FunctionReturn);
    } else {
      Epilogue();
      Emit(Op::RET);
    }
    ends[p] = a.Here();
  }

  // ---- Symbols for the debugger ----

  struct SymbolTable {
    Object::Symbols symbols;
    std::unordered_map<const Type*, std::int32_t> types;
    std::unordered_map<const Variable*, std::pair<std::int32_t, u32>> variables; // scope, n
  };

  static_assert(static_cast<int>(Object::TypeKind::Procedure) ==
                static_cast<int>(TypeKind::Procedure));
  // A type as the user declared it: by its name, or by its structure where it has none,
  // arrays by their index type's name where that has one.
  static std::string TypeText(const Type* t) {
    if (!t->name.empty()) return std::string(t->name);
    if (t->kind == TypeKind::Array && t->index != nullptr && !t->index->name.empty())
      return "ARRAY " + std::string(t->index->name) + " OF " + TypeText(t->base);
    if (t->kind == TypeKind::Enumeration) {
      std::string text = "(";
      for (const ConstDecl* c : t->constants)
        text += (text.size() > 1 ? ", " : "") + std::string(c->name);
      return text + ")";
    }
    return Check::TypeName(t);
  }

  // The type's number, recorded with the types it is made of (a pointer's target after
  // the pointer, so that recursive types end).
  std::int32_t TypeNumber(SymbolTable& st, const Type* t) {
    if (t == nullptr) return -1;
    if (const auto found = st.types.find(t); found != st.types.end()) return found->second;
    const auto n = static_cast<std::int32_t>(st.symbols.types.size());
    st.types[t] = n;
    st.symbols.types.emplace_back();
    Object::SymbolType y;
    y.kind = t->kind <= TypeKind::Procedure ? static_cast<Object::TypeKind>(t->kind)
                                            : Object::TypeKind::Opaque;
    y.name = TypeText(t);
    y.size = t->size;
    y.low = t->low;
    y.high = t->high;
    y.base = TypeNumber(st, t->base);
    if (t->kind == TypeKind::Array) y.index = TypeNumber(st, t->index);
    for (const ConstDecl* c : t->constants) y.constants.emplace_back(c->name);
    for (const Field* f : t->fields)
      y.fields.push_back({std::string(f->name), TypeNumber(st, f->type), f->offset});
    st.symbols.types[static_cast<std::size_t>(n)] = std::move(y);
    return n;
  }

  template <typename MemStart> Object::Symbols MakeSymbols(u32 moved, const MemStart& memStart) {
    SymbolTable st;
    Object::Symbols& s = st.symbols;
    s.present = true;
    s.data = -V - kDescriptor;
    std::vector<const Variable*> globals;
    CollectGlobals(unit.module, globals);
    for (const Variable* v : globals) {
      const GlobalPlace& g = places.at(v);
      st.variables[v] = {-1, static_cast<u32>(s.globals.size())};
      s.globals.push_back({std::string(v->name), TypeNumber(st, v->type),
                           g.inArea ? Object::Where::Global : Object::Where::External,
                           g.inArea ? g.offset - V - kDescriptor : g.offset});
    }
    const std::vector<const Procedure*> procs = Procs();
    std::unordered_map<const Procedure*, std::int32_t> scopeOf;
    for (const Procedure* p : procs) scopeOf[p] = static_cast<std::int32_t>(scopeOf.size());
    for (const Procedure* p : procs) {
      const Layout& l = layouts.at(p);
      Object::Scope c;
      c.name = QualifiedName(p);
      c.outer = p->outer != nullptr ? scopeOf.at(p->outer) : -1;
      c.first = entries[static_cast<std::size_t>(p->number)];
      c.end = ends.at(p) + moved;
      c.staticLink = l.staticLink;
      c.params = static_cast<u32>(p->params.size());
      const auto add = [&](const Variable* v) {
        const Place& place = l.places.at(v);
        Object::SymbolVariable sv{std::string(v->name), TypeNumber(st, v->type),
                                  Object::Where::Slot, place.slot};
        if (v->IsOpenArray())
          sv.where = Object::Where::OpenArray;
        else if (v->varKind == VarKind::VarParam ||
                 (v->varKind == VarKind::Param && IsStructured(v->type)))
          sv.where = Object::Where::SlotAddress;
        else if (!place.inSlot)
          sv.where = Object::Where::Frame, sv.at = memStart(l) + place.memory;
        st.variables[v] = {static_cast<std::int32_t>(s.scopes.size()),
                           static_cast<u32>(c.variables.size())};
        c.variables.push_back(std::move(sv));
      };
      for (const Variable* v : p->params) add(v);
      for (const Variable* v : p->locals) add(v);
      s.scopes.push_back(std::move(c));
    }
    for (const Aliased& x : aliased) {
      const auto found = st.variables.find(x.var);
      if (found == st.variables.end()) continue;
      s.aliases.push_back(
          {x.first + moved, x.end + moved, x.slot, found->second.first, found->second.second});
    }
    std::sort(s.aliases.begin(), s.aliases.end(),
              [](const Object::Alias& a, const Object::Alias& b) { return a.first < b.first; });
    return std::move(s);
  }

  // ---- The object ----

  void Finish(Object::Module& out) {
    std::string error;
    std::vector<u64> code;
    // Frame sizes and memory areas, now that the temporaries are counted: the memory
    // area lies below the linkage of the frame that ENTER moved up by its size.
    const auto memSlots = [](const Layout& l) { return static_cast<u64>((l.memSize + 7) / 8); };
    const auto memStart = [&](const Layout& l) {
      return -static_cast<i64>(memSlots(l) + Vm::kLinkSlots) * 8;
    };
    const auto enter = [&](const Layout& l) {
      return static_cast<u64>(l.maxTop) | memSlots(l) << 32;
    };
    a.Set(bodyLayout.enterWord + 1, enter(bodyLayout));
    for (auto& [p, l] : layouts) a.Set(l.enterWord + 1, enter(l));
    for (const auto& [word, l] : returns) {
      if (memSlots(*l) == 0) continue;
      a.Set(word, Word(Op::RETVS, Vm::FieldA(a.At(word))));
      a.Set(word + 1, memSlots(*l));
    }
    for (const FrameFix& f : fixes) {
      const i64 value = memStart(*f.layout) + f.offset;
      if (f.ext) {
        a.Set(f.word, static_cast<u64>(value));
      } else {
        if (!Fits32(value)) Fail(unit.module->pos, "procedure frame too large");
        a.Set(f.word, (a.At(f.word) & 0xFFFFFFFFull) | static_cast<u64>(static_cast<u32>(value))
                                                           << 32);
      }
    }
    if (!a.Finish(V, code, error, external ? Vm::kExternalData : 0)) {
      if (!a.TooFar().empty()) throw TooFar{a.TooFar()};
      Fail(unit.module->endPos, "module too large: " + error);
    }
    // The large layout moved every word from word 2 on by one.
    const u32 moved = a.Moved();
    for (u32& entry : entries)
      if (entry != 0) entry += moved;
    for (Object::LinePoint& l : lines) l.word += moved;
    for (Object::VariableRead& r : reads) r.word += moved;
    out.name = std::string(unit.module->name);
    out.key = unit.key;
    out.imports.clear();
    for (const Module* m : unit.imports) out.imports.push_back({std::string(m->name), m->key});
    out.code = std::move(code);
    out.variables = V;
    out.offsets.clear();
    for (std::size_t n = 0; n < entries.size(); ++n)
      out.offsets.push_back(static_cast<u32>(entries[n] == 0 ? entries[0] * 8 : entries[n] * 8) -
                            (n == 0 ? 6 : 0));
    Object::Symbols symbols = symbolsWanted ? MakeSymbols(moved, memStart) : Object::Symbols{};
    out.extra = Object::EncodeDebugInfo({source, names, lines, reads, std::move(symbols)});
  }
};

struct Settings {
  std::string source;
  bool symbols = true;
};
Settings settings;

} // namespace

void SetSourcePath(std::string path) { settings.source = std::move(path); }
void SetSymbols(bool record) { settings.symbols = record; }
const std::string& SourcePath() { return settings.source; }

// The code once more for every branch that turned out to reach too short, written as a
// jump: a few passes at most (each only lengthens code), in modules that large.
Result Generate(const CompilationUnit& unit, const std::string& source, Object::Module& out) {
  std::vector<std::uint32_t> far;
  for (int pass = 0; pass < 16; ++pass) {
    try {
      Generator g(unit, source, far, settings.symbols);
      g.Run(out);
      return Result{};
    } catch (const TooFar& t) {
      far.insert(far.end(), t.sites.begin(), t.sites.end());
    } catch (const Failure& f) {
      return Result{false, f.pos, f.message};
    }
  }
  return Result{false, unit.module->endPos, "module too large: jumps too far (split the module)"};
}

} // namespace Codegen
