#include "jit/Jit.h"

#if VELMARIN_JIT

#define XBYAK_NO_OP_NAMES
#include <sys/mman.h>
#include <unistd.h>

#include <xbyak/xbyak.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "modules/NativeModules.h"
#include "vm/Heap.h"
#include "vm/Isa.h"
#include "vm/Machine.h"

namespace Jit {

namespace {

using u8 = std::uint8_t;
using u64 = std::uint64_t;
using i64 = std::int64_t;
using i32 = std::int32_t;
using Vm::Op;
using Vm::TrapCode;
namespace Machine = Vm::Machine;

// What was made of one procedure: its code (the start of a mapping), the instruction of
// compiled code at each offset where one begins, the cells of the procedures it calls.
struct Procedure {
  u8* code = nullptr;
  std::size_t size = 0; // of the mapping
  std::vector<std::pair<std::uint32_t, const u64*>> places;
  std::unique_ptr<Machine::Code[]> cells;
};

struct State {
  std::map<std::uintptr_t, std::unique_ptr<Procedure>> procedures; // by code address
};
State state;

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

// The instructions of the procedure at entry: from its ENTER to the next ENTER or the end
// of the instructions. Empty when it cannot be translated: an instruction the translator
// leaves to the interpreter, or a branch that leaves the procedure.
std::vector<const u64*> Instructions(const u64* entry) {
  const u64* const end = Machine::InstructionsEnd(entry);
  std::vector<const u64*> list;
  for (const u64* at = entry; at < end;) {
    const Op op = Machine::OpAt(at);
    if (at != entry && op == Op::ENTER) break;
    if (op == Op::TRANSFER || op == Op::PEND || op == Op::EXIT || op >= Op::Count) return {};
    list.push_back(at);
    at += Vm::kOpWords[static_cast<int>(op)];
  }
  const auto inside = [&](const u64* target) {
    return std::binary_search(list.begin(), list.end(), target);
  };
  for (const u64* at : list) {
    const u64 w = *at;
    const i64 sc = static_cast<std::int16_t>(Vm::FieldC(w)), i = Vm::FieldI(w);
    // Every branch by the operand formats: to pc + sC or pc + I.
    const Op op = Machine::OpAt(at);
    const Vm::Fields& f = Vm::kOpFields[static_cast<int>(op)];
    if ((f.c == Vm::Operand::Branch && !inside(at + sc)) ||
        (f.b == Vm::Operand::Jump && !inside(at + i)))
      return {};
    switch (op) {
    case Op::JTAB: {
      const u64* table = at + i;
      if (table[1] > 4096) return {};
      for (u64 k = 2; k < 3 + table[1]; ++k)
        if (!inside(at + static_cast<i64>(table[k]))) return {};
      break;
    }
    case Op::RETVS:
      if (at[1] > (u64{1} << 27)) return {};
      break;
    default:
      break;
    }
  }
  return list;
}

template <typename F> u64 Abs(F* f) { return reinterpret_cast<u64>(f); }

class Translation : public Xbyak::CodeGenerator {
public:
  Translation(std::size_t size, void* memory, const u64* entry, std::vector<const u64*> list,
              Procedure& made)
      : Xbyak::CodeGenerator(size, memory), entry_(entry), list_(std::move(list)), made_(made),
        gp_(*(entry - Vm::EnterWord(entry[0], entry[1]))) {
    for (const u64* at : list_) labels_.emplace(at, Xbyak::Label());
    std::size_t calls = 0;
    for (const u64* at : list_) calls += Machine::OpAt(at) == Op::CALL;
    made_.cells = std::make_unique<Machine::Code[]>(calls + 1);
    ChooseHomes();
    ProveIndexes();
    HoistAddresses();
    Emit();
  }

private:
  struct Stub {
    Xbyak::Label label;
    TrapCode code;
    const u64* pc;
    bool live; // the registers of slots hold the frame's values (past the prologue)
  };
  struct PollStub {
    Xbyak::Label label, resume;
    const u64* pc;
    bool live;
    const Xbyak::Label* to = nullptr; // where it goes on, when not to resume
  };

  Xbyak::Address Slot(u64 n) const { return qword[rbx + static_cast<i32>(n * 8)]; }
  Xbyak::Address Slot32(u64 n) const { return dword[rbx + static_cast<i32>(n * 8)]; }

  // A jump to the report of code at the instruction pc when the condition holds.
  Xbyak::Label& TrapLabel(TrapCode code, const u64* pc) {
    stubs_.push_back(std::make_unique<Stub>(Stub{Xbyak::Label(), code, pc, live_}));
    return stubs_.back()->label;
  }

  // Calls the helper at address, the frame made whole first (when the registers of slots
  // hold it: from the temporaries written since they were last written to the frame, for a
  // helper called in line, or from all of them, for one that does not return to the code);
  // the registers are read again when it returns.
  void CallHelper(u64 address, bool returns = true, bool live = true) {
    if (live) Flush(returns);
    mov(rax, address);
    if (returns) SaveBudget();
    call(rax);
    if (returns) Reload();
  }
  // The budget (kept in r15 while the code runs) back where the machine and the code it
  // calls count it.
  void SaveBudget() { mov(qword[r12 + offsetof(Machine::Shared, budget)], r15); }

  // One less call or backward jump before the next look for Ctrl+C.
  void Budget(const u64* pc) {
    PollStub& p = NewPoll(pc);
    sub(r15, 1);
    jle(p.label, T_NEAR);
    L(p.resume);
  }
  PollStub& NewPoll(const u64* pc) {
    polls_.push_back(std::make_unique<PollStub>());
    polls_.back()->pc = pc;
    polls_.back()->live = live_;
    return *polls_.back();
  }

  // A jump to the instruction at target (from pc), looking for Ctrl+C when it goes back:
  // while budget is left, straight to target; else through the look, then to target.
  void Goto(const u64* pc, const u64* target) {
    Lands(target);
    if (target > pc) {
      jmp(labels_.at(target), T_NEAR);
      return;
    }
    PollStub& p = NewPoll(pc);
    p.to = &labels_.at(target);
    sub(r15, 1);
    jg(labels_.at(target), T_NEAR);
    jmp(p.label, T_NEAR);
  }

  // A conditional branch: jumps to target when the condition (emitted by jcc) holds.
  template <typename Jcc, typename JccNot>
  void Branch(const u64* pc, const u64* target, Jcc jcc, JccNot jccNot) {
    if (target > pc) {
      Lands(target);
      jcc(labels_.at(target));
      return;
    }
    Xbyak::Label skip;
    jccNot(skip);
    Goto(pc, target);
    L(skip);
  }

  // ---- Slots kept in registers ----
  //
  // The slots a procedure uses most, weighted by the loops they are used in, are kept in
  // registers as well as in the frame: every write goes to both, so the frame is always
  // whole for the helpers, the trap reports and the procedures it calls, and reads come
  // from the register. Temporaries are the exception: no one outside the code reads them
  // but a callee its arguments and the helpers, so a write to one goes to its register
  // alone, and the temporaries kept in registers are written to the frame before every
  // call out of the code. After a call out of the code the registers are read again from
  // the frame (a callee may have written its arguments, its result and its linkage, and the
  // registers of reals are the caller's to save): after a helper all of them, after a call
  // of a procedure those the code may read before it writes them (ReadAfter); the others
  // hold nothing until written. Not in a procedure that takes the address of one of its
  // slots: its frame can then be written through pointers.
  struct Home {
    int gpr = -1;
    int xmm = -1;
  };

  static bool RealUse(Op op) {
    switch (op) {
    case Op::ADDR:
    case Op::SUBR:
    case Op::MULR:
    case Op::DIVR:
    case Op::SEQR:
    case Op::SNER:
    case Op::SLTR:
    case Op::SLER:
    case Op::BEQR:
    case Op::BNER:
    case Op::BLTR:
    case Op::BLER:
    case Op::BNLTR:
    case Op::BNLER:
      return true;
    default:
      return false;
    }
  }
  // Instructions that move a slot's bits as they are, whatever they mean.
  static bool NeutralUse(Op op) {
    return op == Op::MOV || op == Op::LD64 || op == Op::ST64 || op == Op::LDG64 ||
           op == Op::STG64 || op == Op::LDX64 || op == Op::STX64 || op == Op::LDO64 ||
           op == Op::STO64 || op == Op::RETV || op == Op::LDK || op == Op::LDI;
  }

  void ChooseHomes() {
    for (const u64* at : list_) {
      const Op op = Machine::OpAt(at);
      if (op == Op::LDLA || (op == Op::LDLAK && Vm::FieldI(*at) >= 0)) return;
    }
    // Each instruction's weight: 8 for every loop (backward branch) around it, up to 4.
    std::map<const u64*, int> depth;
    for (const u64* at : list_) {
      const u64 w = *at;
      const Op op = Machine::OpAt(at);
      const u64* target = nullptr;
      if (op == Op::JMP || op == Op::BT || op == Op::BF)
        target = at + Vm::FieldI(w);
      else if ((op >= Op::BEQ && op <= Op::FORDN))
        target = at + static_cast<std::int16_t>(Vm::FieldC(w));
      if (target == nullptr || target > at) continue;
      for (auto i = std::lower_bound(list_.begin(), list_.end(), target);
           i != list_.end() && *i <= at; ++i)
        ++depth[*i];
    }
    struct Use {
      double weight = 0, real = 0, integer = 0; // all uses, as a real, as an integer
    };
    std::map<u64, Use> uses;
    for (const u64* at : list_) {
      const u64 w = *at;
      const Op op = Machine::OpAt(at);
      if (op == Op::ENTER) continue;
      const double weight = static_cast<double>(1 << (3 * std::min(depth[at], 4)));
      const u64 fields[] = {Vm::FieldA(w), Vm::FieldB(w), Vm::FieldC(w)};
      // Which fields name slots: A for most; B, C for those of three slots or addresses.
      const bool immediate = op == Op::LDI || op == Op::LDK || op == Op::LDCA || op == Op::LDGA ||
                             op == Op::LDLAK || op == Op::JMP || op == Op::BT || op == Op::BF ||
                             (op >= Op::LDG8 && op <= Op::STG64) || op == Op::CALL ||
                             op == Op::TRAP || op == Op::JTAB || op == Op::CHK || op == Op::CHKU;
      const bool aOnly = immediate || (op >= Op::BEQK && op <= Op::BGEK) || op == Op::CHKK ||
                         op == Op::RETV || op == Op::RETVS || op == Op::CHKPTR;
      const bool twoSlots = op == Op::MOV || op == Op::SX32 || op == Op::ZX32 || op == Op::ZX16 ||
                            op == Op::ZX8 || (op >= Op::LD8 && op <= Op::ST64) || op == Op::ADDAX ||
                            op == Op::LDIA || (op >= Op::ADDIK && op <= Op::ABSL) ||
                            op == Op::ADDAK || op == Op::NOT || op == Op::BIT || op == Op::ODD ||
                            op == Op::CAP || (op >= Op::NEGR && op <= Op::TRUNCUL) ||
                            (op >= Op::BEQ && op <= Op::BLEU) ||
                            (op >= Op::BEQR && op <= Op::FORDN);
      if (op == Op::CALLX || op == Op::CALLP || op == Op::SYS || op == Op::DYNCOPY ||
          op == Op::COPY || op == Op::COPYN || op == Op::FILL0 || op == Op::INIT || op == Op::RET ||
          op == Op::NOP || op == Op::DYNSAVE || op == Op::DYNREST)
        continue;
      const int count = aOnly ? 1 : twoSlots ? 2 : 3;
      for (int k = 0; k < count; ++k) {
        Use& u = uses[fields[k]];
        u.weight += weight;
        if (RealUse(op) || ((op == Op::FLOATI || op == Op::FLOATU || op == Op::FLOATL) && k == 0))
          u.real += weight;
        else if (!NeutralUse(op))
          u.integer += weight;
        // Open arrays read their HIGH beside the address.
        if ((op >= Op::LDO8 && op <= Op::IDXO) && k == 1)
          uses[fields[1] + 1].integer += weight, uses[fields[1] + 1].weight += weight;
      }
    }
    std::vector<std::pair<double, u64>> order;
    for (const auto& [slot, u] : uses) order.emplace_back(-u.weight, slot);
    std::sort(order.begin(), order.end());
    int gprs = 0, xmms = 0;
    for (const auto& [minus, slot] : order) {
      const Use& u = uses[slot];
      if (-minus < 2) break;
      // A slot used more as a real than as an integer is kept in a register of reals.
      if (u.real > u.integer) {
        if (xmms < kXmms) homes_[slot].xmm = xmms++;
      } else if (gprs < kGprs) {
        homes_[slot].gpr = gprs++;
      }
    }
  }

  // ---- Index checks a FOR loop makes needless ----
  //
  // A loop closed by FORUP var, limit at p that jumps back to t, where var starts from a
  // constant and limit is a constant (LDI on the straight way into t), neither written in
  // the loop but by that FORUP, and the loop entered only at t: inside it, var lies in
  // [start, max(start, limit)]; closed by FORDN, in [min(start, limit), start]. An array
  // element indexed by var inside the loop whose bounds hold that range needs no check.

  // Whether op may write slot x, executed at the instruction at.
  static bool MayWrite(const u64* at, u64 x) {
    const u64 w = *at;
    const Op op = Machine::OpAt(at);
    const u64 a = Vm::FieldA(w);
    switch (op) {
    case Op::NOP:
    case Op::ST8:
    case Op::ST16:
    case Op::ST32:
    case Op::ST64:
    case Op::STG8:
    case Op::STG16:
    case Op::STG32:
    case Op::STG64:
    case Op::STX8:
    case Op::STX16:
    case Op::STX32:
    case Op::STX64:
    case Op::STO8:
    case Op::STO16:
    case Op::STO32:
    case Op::STO64:
    case Op::COPY:
    case Op::COPYN:
    case Op::FILL0:
    case Op::JMP:
    case Op::BT:
    case Op::BF:
    case Op::BEQ:
    case Op::BNE:
    case Op::BLT:
    case Op::BLE:
    case Op::BLTU:
    case Op::BLEU:
    case Op::BEQK:
    case Op::BNEK:
    case Op::BLTK:
    case Op::BLEK:
    case Op::BGTK:
    case Op::BGEK:
    case Op::BEQR:
    case Op::BNER:
    case Op::BLTR:
    case Op::BLER:
    case Op::BNLTR:
    case Op::BNLER:
    case Op::JTAB:
    case Op::RET:
    case Op::RETV:
    case Op::RETVS:
    case Op::INIT:
    case Op::DYNREST:
    case Op::CHK:
    case Op::CHKU:
    case Op::CHKK:
    case Op::CHKPTR:
    case Op::TRAP:
      return false;
    case Op::CALL:
    case Op::CALLX:
    case Op::CALLP:
    case Op::SYS:
      // The callee's linkage and frame, and whatever a run-time procedure leaves.
      return x + 3 >= a;
    default:
      return a == x;
    }
  }

  static const u64* BranchTarget(const u64* at) {
    const u64 w = *at;
    const Op op = Machine::OpAt(at);
    if (op == Op::JMP || op == Op::BT || op == Op::BF) return at + Vm::FieldI(w);
    if (op >= Op::BEQ && op <= Op::FORDN) return at + static_cast<std::int16_t>(Vm::FieldC(w));
    return nullptr;
  }

  void ProveIndexes() {
    for (const u64* at : list_)
      if (Machine::OpAt(at) == Op::LDLA || Machine::OpAt(at) == Op::JTAB) return;
    // How many branches land on each instruction.
    std::map<const u64*, int> landings;
    for (const u64* at : list_)
      if (const u64* target = BranchTarget(at)) ++landings[target];
    for (std::size_t pi = 0; pi < list_.size(); ++pi) {
      const u64* p = list_[pi];
      const bool up = Machine::OpAt(p) == Op::FORUP;
      if (!up && Machine::OpAt(p) != Op::FORDN) continue;
      const u64* t = BranchTarget(p);
      const u64 var = Vm::FieldA(*p), limit = Vm::FieldB(*p);
      if (t >= p || landings[t] != 1 || var == limit) continue;
      const std::size_t ti =
          static_cast<std::size_t>(std::lower_bound(list_.begin(), list_.end(), t) - list_.begin());
      bool sound = true;
      for (std::size_t i = ti; sound && i < pi; ++i)
        sound = !MayWrite(list_[i], var) && !MayWrite(list_[i], limit);
      // Entered only at t: no branch from outside lands inside.
      for (std::size_t i = 0; sound && i < list_.size(); ++i) {
        const u64* target = BranchTarget(list_[i]);
        if (target != nullptr && target > t && target <= p && (i < ti || i > pi)) sound = false;
      }
      // The values on the straight way into t: walking back, each instruction no landing.
      i64 start = 0, end = 0;
      bool haveStart = false, haveEnd = false;
      u64 startFrom = var; // the slot var is copied from, when it is
      for (std::size_t i = ti; sound && i-- > 0 && !(haveStart && haveEnd);) {
        const u64* at = list_[i];
        if (i + 1 < ti && landings[list_[i + 1]] != 0) sound = false;
        const Op op = Machine::OpAt(at);
        const u64 a = Vm::FieldA(*at);
        if (!haveEnd && MayWrite(at, limit)) {
          if (op != Op::LDI || a != limit) sound = false;
          end = Vm::FieldI(*at), haveEnd = true;
        }
        if (!haveStart && MayWrite(at, startFrom)) {
          if (op == Op::MOV && a == var && startFrom == var) {
            startFrom = Vm::FieldB(*at);
          } else if (op == Op::LDI && a == startFrom) {
            start = Vm::FieldI(*at), haveStart = true;
          } else {
            sound = false;
          }
        }
        if (!haveStart && startFrom != var && MayWrite(at, var) && a != var) sound = false;
      }
      if (!sound || !haveStart || !haveEnd) continue;
      const i64 least = up ? start : std::min(start, end);
      const i64 most = up ? std::max(start, end) : start;
      for (std::size_t i = ti; i < pi; ++i) {
        const u64* at = list_[i];
        const Op op = Machine::OpAt(at);
        const bool indexed = (op >= Op::LDX8 && op <= Op::STX64) || op == Op::IDX;
        if (!indexed || Vm::FieldC(*at) != var) continue;
        const i64 low = static_cast<i32>(at[1]);
        const i64 length = static_cast<i64>(at[1] >> 32);
        if (least - low >= 0 && most - low < length) proved_.insert(at);
      }
    }
  }

  // ---- Element addresses a loop does not change ----
  //
  // A loop from t to a backward branch at p, entered only at t (every branch that lands in
  // it comes from inside it) by falling into t: an IDX in it whose index check cannot fail,
  // whose array and index no instruction of the loop writes, and whose result, a
  // temporary, none writes but it, gives the same address every time. It is computed once,
  // on the way into the loop (of the outermost such loop around it). The compiler writes a
  // temporary before it reads it, so no instruction of the loop sees the difference.
  void HoistAddresses() {
    if (proved_.empty()) return;
    std::vector<std::pair<std::size_t, std::size_t>> loops; // [t, p] by their indexes
    for (std::size_t pi = 0; pi < list_.size(); ++pi) {
      const u64* t = BranchTarget(list_[pi]);
      if (t == nullptr || t > list_[pi] || t == entry_) continue;
      const auto ti =
          static_cast<std::size_t>(std::lower_bound(list_.begin(), list_.end(), t) - list_.begin());
      bool entered = true;
      for (std::size_t i = 0; entered && i < list_.size(); ++i) {
        const u64* target = BranchTarget(list_[i]);
        if (target != nullptr && target >= t && target <= list_[pi] && (i < ti || i > pi))
          entered = false;
      }
      if (entered) loops.emplace_back(ti, pi);
    }
    std::sort(loops.begin(), loops.end(), [](const auto& x, const auto& y) {
      return x.first != y.first ? x.first < y.first : x.second > y.second;
    });
    for (std::size_t i = 0; i < list_.size(); ++i) {
      const u64* at = list_[i];
      if (Machine::OpAt(at) != Op::IDX || proved_.count(at) == 0) continue;
      const u64 a = Vm::FieldA(*at), b = Vm::FieldB(*at), c = Vm::FieldC(*at);
      if (a < temps_ || a == b || a == c) continue;
      for (const auto& [ti, pi] : loops) {
        if (i < ti || i > pi) continue;
        bool still = true;
        for (std::size_t k = ti; still && k <= pi; ++k)
          still = !MayWrite(list_[k], b) && !MayWrite(list_[k], c) &&
                  (k == i || !MayWrite(list_[k], a));
        if (!still) continue;
        hoisted_[list_[ti]].push_back(at);
        moved_.insert(at);
        break;
      }
    }
  }

  static constexpr int kGprs = 6, kXmms = 12;
  // The host's registers this code must give back as it found them, besides rbx, r12, r13
  // and r15.
  std::vector<Xbyak::Reg64> Saved() const {
    int used = 0;
    for (const auto& entry : homes_) used = std::max(used, entry.second.gpr + 1);
    std::vector<Xbyak::Reg64> saved;
    for (int k = 4; k < used; ++k) saved.push_back(Gpr(k));
    return saved;
  }
  Xbyak::Reg64 Gpr(int k) const {
    // The caller's registers first: a procedure that keeps few slots saves none of its own.
    const Xbyak::Reg64 regs[kGprs] = {r8, r9, r10, r11, rbp, r14};
    return regs[k];
  }
  Xbyak::Xmm XmmReg(int k) const { return Xbyak::Xmm(4 + k); }
  const Home* HomeOf(u64 slot) const {
    const auto found = homes_.find(slot);
    return found == homes_.end() ? nullptr : &found->second;
  }

  // The register of a slot set from the frame or from a register of integers.
  void SetHome(const Home& h, const Xbyak::Address& from) {
    if (h.gpr >= 0)
      mov(Gpr(h.gpr), from);
    else
      movsd(XmmReg(h.xmm), from);
  }
  void SetHome(const Home& h, const Xbyak::Reg64& from) {
    if (h.gpr >= 0)
      mov(Gpr(h.gpr), from);
    else
      movq(XmmReg(h.xmm), from);
  }

  // Reads slot s into r.
  void Get(const Xbyak::Reg64& r, u64 s) {
    const Home* h = HomeOf(s);
    if (h != nullptr && h->gpr >= 0) {
      if (Gpr(h->gpr).getIdx() != r.getIdx()) mov(r, Gpr(h->gpr));
    } else if (h != nullptr && h->xmm >= 0) {
      movq(r, XmmReg(h->xmm));
    } else {
      mov(r, Slot(s));
    }
  }
  void Get32(const Xbyak::Reg32& r, u64 s) {
    const Home* h = HomeOf(s);
    // (A register read as its own low half keeps its upper half: what reads it next
    // reads 32 bits.)
    if (h != nullptr && h->gpr >= 0) {
      if (Gpr(h->gpr).getIdx() != r.getIdx()) mov(r, Gpr(h->gpr).cvt32());
    } else if (h != nullptr && h->xmm >= 0) {
      movd(r, XmmReg(h->xmm));
    } else {
      mov(r, Slot32(s));
    }
  }
  void GetX(const Xbyak::Xmm& x, u64 s) {
    const Home* h = HomeOf(s);
    if (h != nullptr && h->xmm >= 0) {
      if (XmmReg(h->xmm).getIdx() != x.getIdx()) movapd(x, XmmReg(h->xmm));
    } else if (h != nullptr && h->gpr >= 0) {
      movq(x, Gpr(h->gpr));
    } else
      movsd(x, Slot(s));
  }
  // Calls f with an operand that reads slot s: its register, or the frame.
  // (A slot kept in the other kind of register goes through rsi or xmm2.)
  template <typename F> void Src(u64 s, F f) {
    const Home* h = HomeOf(s);
    if (h != nullptr && h->gpr >= 0) {
      f(Gpr(h->gpr));
    } else if (h != nullptr && h->xmm >= 0) {
      movq(rsi, XmmReg(h->xmm));
      f(rsi);
    } else {
      f(Slot(s));
    }
  }
  template <typename F> void Src32(u64 s, F f) {
    const Home* h = HomeOf(s);
    if (h != nullptr && h->gpr >= 0) {
      f(Gpr(h->gpr).cvt32());
    } else if (h != nullptr && h->xmm >= 0) {
      movd(esi, XmmReg(h->xmm));
      f(esi);
    } else {
      f(Slot32(s));
    }
  }
  template <typename F> void SrcX(u64 s, F f) {
    const Home* h = HomeOf(s);
    if (h != nullptr && h->xmm >= 0) {
      f(XmmReg(h->xmm));
    } else if (h != nullptr && h->gpr >= 0) {
      movq(xmm2, Gpr(h->gpr));
      f(xmm2);
    } else {
      f(Slot(s));
    }
  }
  // Where A := f(B, C) is computed: A's own register when it has one and C, read after
  // that register is written, is another slot; else rax (xmm0 for reals). An instruction
  // that traps after writing A's register leaves A's frame slot as it was; only
  // temporaries, which no report shows, are written to the frame from their registers.
  static constexpr u64 kNone = ~u64{0};
  Xbyak::Reg64 Work(u64 a, u64 c = kNone) const {
    const Home* h = HomeOf(a);
    return h != nullptr && h->gpr >= 0 && a != c ? Gpr(h->gpr) : rax;
  }
  // Where A := f(B, C) is computed when f may trap after A's register is written: as Work,
  // but in rax when A is a temporary that is also an operand. The report then finds that
  // operand in the frame as it was read (a variable still as the module's start filled it
  // is named), not the result that overflowed.
  Xbyak::Reg64 Checked(u64 a, u64 b, u64 c = kNone) const {
    return Deferred(a) && (a == b || a == c) ? rax : Work(a, c);
  }
  Xbyak::Xmm WorkX(u64 a, u64 c = kNone) const {
    const Home* h = HomeOf(a);
    return h != nullptr && h->xmm >= 0 && a != c ? XmmReg(h->xmm) : xmm0;
  }

  // Whether slot s, kept in a register, is written to the frame only by Flush.
  bool Deferred(u64 s) const { return s >= temps_ && HomeOf(s) != nullptr; }
  // Writes r to slot s: the frame (unless deferred) and the slot's register.
  void Put(u64 s, const Xbyak::Reg64& r) {
    if (Deferred(s)) unwritten_.insert(s);
    if (!Deferred(s)) mov(Slot(s), r);
    const Home* h = HomeOf(s);
    if (h != nullptr && h->gpr >= 0 && Gpr(h->gpr).getIdx() != r.getIdx())
      mov(Gpr(h->gpr), r);
    else if (h != nullptr && h->xmm >= 0)
      movq(XmmReg(h->xmm), r);
  }
  void PutX(u64 s, const Xbyak::Xmm& x) {
    if (Deferred(s)) unwritten_.insert(s);
    if (!Deferred(s)) movsd(Slot(s), x);
    const Home* h = HomeOf(s);
    if (h != nullptr && h->xmm >= 0 && XmmReg(h->xmm).getIdx() != x.getIdx())
      movapd(XmmReg(h->xmm), x);
    else if (h != nullptr && h->gpr >= 0)
      movq(Gpr(h->gpr), x);
  }
  // The temporaries kept in registers written to the frame, before a call out of the code:
  // all of them, or (known) only those whose register may differ from the frame.
  void Flush(bool known = false) {
    for (const auto& [slot, h] : homes_) {
      if (slot < temps_ || (known && unwritten_.count(slot) == 0)) continue;
      if (h.gpr >= 0)
        mov(Slot(slot), Gpr(h.gpr));
      else
        movsd(Slot(slot), XmmReg(h.xmm));
    }
  }
  // Which temporaries' registers may differ from the frame, as the code is emitted: every
  // write to one adds it; a Flush that every way through an instruction makes empties it.
  // At an instruction where a branch lands, those of every branch that lands there join
  // them: of a forward one as recorded when it was emitted (Lands), of a backward one or a
  // jump table all of them, as they are not known yet.
  void Lands(const u64* target) {
    std::set<u64>& at = landing_[target];
    at.insert(unwritten_.begin(), unwritten_.end());
  }
  void Landed(const u64* at) {
    if (unknownLanding_.count(at) != 0) {
      for (const auto& entry : homes_)
        if (entry.first >= temps_) unwritten_.insert(entry.first);
    }
    const auto found = landing_.find(at);
    if (found != landing_.end()) unwritten_.insert(found->second.begin(), found->second.end());
  }
  void FindUnknownLandings() {
    for (const u64* at : list_) {
      const u64* target = BranchTarget(at);
      if (target != nullptr && target <= at) unknownLanding_.insert(target);
      if (target != nullptr) landings_.insert(target);
      if (Machine::OpAt(at) == Op::JTAB) {
        const u64* table = at + Vm::FieldI(*at);
        for (u64 k = 2; k < 3 + table[1]; ++k) {
          unknownLanding_.insert(at + static_cast<i64>(table[k]));
          landings_.insert(at + static_cast<i64>(table[k]));
        }
      }
    }
  }

  // Instructions that write A from B and C (and an open array's HIGH beside B) alone.
  static bool Computes(Op op) {
    return (op >= Op::MOV && op <= Op::LD64 && op != Op::LDLA) ||
           (op >= Op::LDG8 && op <= Op::LDG64) || (op >= Op::LDX8 && op <= Op::LDX64) ||
           (op >= Op::IDX && op <= Op::LDO64) || op == Op::IDXO ||
           (op >= Op::ADDI && op <= Op::SLER);
  }
  // Whether the code after the call at `call` may read slot s from its register before it
  // writes it: not when the straight way on writes it first, returns without it, or
  // comes to another CALL that does not take it as a parameter (where the registers are
  // read again after, and s, not written since, is not written to the frame before). Any
  // landing or other instruction on the way: it may.
  bool ReadAfter(const u64* call, u64 s) const {
    for (auto k = std::upper_bound(list_.begin(), list_.end(), call); k != list_.end(); ++k) {
      const u64* at = *k;
      if (landings_.count(at) != 0) return true;
      const Op op = Machine::OpAt(at);
      const u64 w = *at;
      const u64 a = Vm::FieldA(w), b = Vm::FieldB(w), c = Vm::FieldC(w);
      if (op == Op::CALL) {
        // Its parameters: in the callee's first slots (its ENTER's first local after them).
        const u64* callee = at + Vm::FieldI(w);
        const u64 params = std::max<u64>(FrameOf(callee).first, 1);
        return s >= a && s < a + params;
      }
      if (op == Op::RET) return false;
      if (op == Op::RETV || op == Op::RETVS) return a == s;
      // (A hoisted instruction was computed before the loop: its A must stay.)
      if (!Computes(op) || moved_.count(at) != 0) return true;
      const Vm::Fields& f = Vm::kOpFields[static_cast<int>(op)];
      const bool open = (op >= Op::LDO8 && op <= Op::LDO64) || op == Op::IDXO;
      if ((f.b == Vm::Operand::Slot && (b == s || (open && b + 1 == s))) ||
          (f.c == Vm::Operand::Slot && c == s))
        return true;
      if (a == s) return false;
    }
    return true;
  }
  // The registers of the slots the code may read after the call at `call` read again from
  // the frame (and the budget as Reload reads it).
  // (inRdx: the slot whose value the callee left in rdx too.)
  void ReloadAfter(const u64* call, bool budget = true, u64 inRdx = kNone) {
    if (budget) mov(r15, qword[r12 + offsetof(Machine::Shared, budget)]);
    for (const auto& [slot, h] : homes_) {
      if (!ReadAfter(call, slot)) continue;
      if (slot == inRdx)
        SetHome(h, rdx);
      else
        SetHome(h, Slot(slot));
    }
  }

  // The registers read again from the frame (and the budget from the machine, unless the
  // call was to translated code, which hands it back in r15), after a call out of the code.
  void Reload(bool budget = true) {
    if (budget) mov(r15, qword[r12 + offsetof(Machine::Shared, budget)]);
    for (const auto& [slot, h] : homes_) SetHome(h, Slot(slot));
  }

  // What the ENTER at entry says of its frame.
  struct Frame {
    u64 slots, memory; // its slots; the slots of its memory area beyond them
    u64 first, temps;  // the first local after the parameters; the first temporary
  };
  static Frame FrameOf(const u64* entry) {
    return {entry[1] & 0xFFFF, entry[1] >> 32, u64{Vm::FieldC(entry[0])} & 0x7FFF,
            Vm::FieldA(entry[0])};
  }

  // The entry for callers outside translated code, at the start of the code: the budget
  // read from the machine into r15 and written back when the procedure returns, the
  // machine's state in r12 and the module's table in r13. Translated callers of the same
  // module enter kInner bytes further on, where these registers hold all that already (and
  // keep it: no translated code writes them but this entry).
  static constexpr int kInner = 64;
  //
  // Slot 0 also travels in rdx, for a procedure whose frame has slots and no memory area
  // (InRdx): its callers pass its first parameter there as well as in the frame, and it
  // returns with its slot 0 (its result) there, so that neither waits for the other's
  // write to the frame.
  static bool InRdx(const u64* entry) {
    const Frame f = FrameOf(entry);
    return f.memory == 0 && f.slots >= 1;
  }
  void OuterEntry() {
    push(r15);
    push(r12);
    push(r13);
    mov(r12, Abs(Machine::SharedState()));
    mov(r13, gp_);
    mov(r15, qword[r12 + offsetof(Machine::Shared, budget)]);
    if (InRdx(entry_)) mov(rdx, qword[rdi]);
    call(inner_);
    mov(qword[r12 + offsetof(Machine::Shared, budget)], r15);
    pop(r13);
    pop(r12);
    pop(r15);
    ret();
    while (getSize() < kInner) db(0xCC);
    if (getSize() != kInner) throw Xbyak::Error(Xbyak::ERR_CODE_IS_TOO_BIG);
  }
  // The return to the caller, the frame's fp in rax: the host's registers as they were.
  void Return() {
    if (Padded()) add(rsp, 8);
    const std::vector<Xbyak::Reg64> saved = Saved();
    for (auto r = saved.rbegin(); r != saved.rend(); ++r) pop(*r);
    pop(rbx);
    ret();
  }

  // Pushes besides the saved registers: rbx, and 8 bytes of padding when needed.
  bool Padded() const { return Saved().size() % 2 == 1; }

  void Prologue() {
    push(rbx);
    for (const Xbyak::Reg64& r : Saved()) push(r);
    // The stack stays 16-byte aligned at calls: an odd number of pushes in all.
    if (Padded()) sub(rsp, 8);
    mov(rbx, rdi);
    if (ParameterInRdx()) SetHome(homes_.at(0), rdx);
    // Too little of the host's stack left: the interpreter runs this frame.
    cmp(rsp, qword[r12 + offsetof(Machine::Shared, hostLimit)]);
    jbe(interpretSelf_, T_NEAR);
    Budget(entry_);
    const Frame f = FrameOf(entry_);
    const u64 slots = f.slots, memory = f.memory, first = f.first, temps = f.temps;
    // The frame must fit the stack: fp + slots + memory at most the limit.
    if ((slots + memory) * 8 <= 0x7FFFFFFF) {
      lea(rax, ptr[rbx + static_cast<i32>((slots + memory) * 8)]);
      cmp(rax, qword[r12 + offsetof(Machine::Shared, limit)]);
      ja(TrapLabel(TrapCode::StackOverflow, entry_), T_NEAR);
    } else {
      mov(rax, qword[r12 + offsetof(Machine::Shared, limit)]);
      sub(rax, rbx);
      sar(rax, 3);
      mov(rcx, slots + memory);
      cmp(rax, rcx);
      jb(TrapLabel(TrapCode::StackOverflow, entry_), T_NEAR);
    }
    if (memory != 0) {
      mov(rdi, rbx);
      mov(rsi, memory);
      mov(rdx, first);
      CallHelper(Abs(&Machine::Lift), false, false);
      mov(rbx, rax);
    }
    if (temps > first) {
      xor_(eax, eax);
      if (temps - first <= 16) {
        for (u64 i = first; i < temps; ++i) mov(Slot(i), rax);
      } else {
        lea(rdi, Slot(first));
        mov(rcx, temps - first);
        rep();
        stosq();
      }
    }
  }

  // Whether slot 0 is a parameter kept in a register, which the prologue takes from rdx.
  bool ParameterInRdx() const {
    return InRdx(entry_) && FrameOf(entry_).first > 0 && HomeOf(0) != nullptr;
  }

  // The registers of slots at the start: the parameters read from the frame, the other
  // variables zero as the prologue made them; the temporaries are written before they are
  // read, by the code or (the result of a call) in the frame, read again after the call.
  void EntryLoad() {
    const u64 first = FrameOf(entry_).first;
    for (const auto& [slot, h] : homes_) {
      if (slot >= temps_ || (slot == 0 && ParameterInRdx())) continue;
      if (slot < first)
        SetHome(h, Slot(slot));
      else if (h.gpr >= 0)
        xor_(Gpr(h.gpr).cvt32(), Gpr(h.gpr).cvt32());
      else
        xorps(XmmReg(h.xmm), XmmReg(h.xmm));
    }
  }

  void Emit() {
    L(start_);
    OuterEntry();
    L(inner_);
    Prologue();
    EntryLoad();
    live_ = true;
    FindUnknownLandings();
    for (const u64* at : list_) {
      const auto loop = hoisted_.find(at);
      if (loop != hoisted_.end())
        for (const u64* before : loop->second) Instruction(before);
      L(labels_.at(at));
      Landed(at);
      made_.places.emplace_back(static_cast<std::uint32_t>(getSize()), at);
      if (at != entry_ && moved_.count(at) == 0) Instruction(at);
    }
    // Past the last instruction (never reached by a good compiler): as the interpreter
    // would run on into the next procedure's ENTER, leave it to the interpreter.
    jmp(badEnd_, T_NEAR);
    L(epilogue_);
    if (InRdx(entry_)) mov(rdx, qword[rbx]);
    mov(rax, rbx);
    L(leave_);
    Return();
    L(interpretSelf_);
    mov(rdi, Abs(entry_));
    mov(rsi, rbx);
    SaveBudget();
    CallHelper(Abs(&Machine::Interpret), false, false);
    mov(r15, qword[r12 + offsetof(Machine::Shared, budget)]);
    if (InRdx(entry_)) mov(rdx, qword[rax]);
    jmp(leave_, T_NEAR);
    L(badEnd_);
    mov(edi, static_cast<int>(TrapCode::BadInstruction));
    mov(rsi, Abs(list_.back()));
    mov(rdx, rbx);
    CallHelper(Abs(&Machine::Trap), false);
    for (const auto& s : stubs_) {
      L(s->label);
      mov(edi, static_cast<int>(s->code));
      mov(rsi, Abs(s->pc));
      mov(rdx, rbx);
      CallHelper(Abs(&Machine::Trap), false, s->live);
    }
    for (const auto& p : polls_) {
      L(p->label);
      // Every temporary kept in a register to the frame: which of them were written at
      // the jump is not known here.
      if (p->live) Flush();
      mov(rdi, Abs(p->pc));
      mov(rsi, rbx);
      CallHelper(Abs(&Machine::Poll), true, false);
      jmp(p->to != nullptr ? *p->to : p->resume, T_NEAR);
    }
    align(8);
    for (const auto& t : tables_) {
      L(*t.first);
      for (const u64* target : t.second) putL(labels_.at(target));
    }
  }

  // Whether the procedure at target (a CALL's) belongs to this code's module: its
  // translated code may then be entered past the outer entry.
  bool SameModule(const u64* target) const {
    const u64* const base = entry_ - Vm::EnterWord(entry_[0], entry_[1]);
    if (target < base || target + 1 >= Machine::InstructionsEnd(entry_)) return false;
    return Machine::OpAt(target) == Op::ENTER &&
           target - Vm::EnterWord(target[0], target[1]) == base;
  }

  // The instruction the machine executes for translated code.
  void Leave(const u64* pc) {
    checked_.clear();
    mov(rdi, Abs(pc));
    mov(rsi, rbx);
    mov(rdx, r13);
    CallHelper(Abs(&Machine::Execute));
  }

  // Calls the code in rax, when there is some, with the callee's frame at slot a. (The
  // machine has just executed the call: the frame is whole.)
  // With alone, on the one way through the call: the temporaries were all written to the
  // frame (by Leave) and only those the code reads after are read again.
  void CallCode(const u64* pc, u64 a, bool alone) {
    Xbyak::Label done;
    if (alone) unwritten_.clear();
    test(rax, rax);
    jz(done, T_NEAR);
    lea(rdi, Slot(a));
    SaveBudget();
    call(rax);
    if (alone)
      ReloadAfter(pc);
    else
      Reload();
    L(done);
  }

  // A CALL of the procedure at target (of this module), its frame at slot a, whose first
  // instruction branches on a parameter and one of whose ways returns at once (a
  // parameter, a constant or nothing): that way is taken here, without the call, when the
  // callee's frame would fit the stack; then the code goes on at returned. Else the code
  // falls into the call. Nothing on that way can trap, and the callee's frame and linkage,
  // which the call would write above the caller's slots in use, are dead once it returns.
  void EarlyReturn(const u64* pc, u64 a, const u64* target, Xbyak::Label& returned) {
    if (Machine::OpAt(target) != Op::ENTER) return;
    const Frame f = FrameOf(target);
    const u64 slots = f.slots, first = f.first;
    if (f.memory != 0 || (a + slots) * 8 > 0x7FFFFFFF) return;
    const u64* test = target + Vm::kOpWords[static_cast<int>(Op::ENTER)];
    const Op op = Machine::OpAt(test);
    if (op < Op::BEQK || op > Op::BGEK || Vm::FieldA(*test) >= first) return;
    // What a way returns: 'p' the parameter `value`, 'k' the constant `value`, 'r' nothing.
    struct Way {
      char kind = 0;
      i64 value = 0;
    };
    const auto way = [&](const u64* at) {
      const Op o = Machine::OpAt(at);
      if (o == Op::RET) return Way{'r', 0};
      if (o == Op::RETV && Vm::FieldA(*at) < first)
        return Way{'p', static_cast<i64>(Vm::FieldA(*at))};
      if (o == Op::LDI && Machine::OpAt(at + 1) == Op::RETV && Vm::FieldA(at[1]) == Vm::FieldA(*at))
        return Way{'k', static_cast<i64>(Vm::FieldI(*at))};
      return Way{};
    };
    const u64* taken = test + static_cast<std::int16_t>(Vm::FieldC(*test));
    const u64* const end = Machine::InstructionsEnd(target);
    if (taken <= test || taken + 1 >= end || test + 2 >= end) return;
    const Way fall = way(test + 1), jump = way(taken);
    const bool onJump = fall.kind == 0;
    const Way leaf = onJump ? jump : fall;
    if (leaf.kind == 0) return;
    Xbyak::Label call;
    lea(rax, ptr[rbx + static_cast<i32>((a + slots) * 8)]);
    cmp(rax, qword[r12 + offsetof(Machine::Shared, limit)]);
    ja(call, T_NEAR);
    Src(a + Vm::FieldA(*test), [&](const Xbyak::Operand& o) {
      cmp(o, static_cast<i32>(static_cast<std::int16_t>(Vm::FieldB(*test))));
    });
    const std::pair<J, J> conditions = Conditions(op);
    const J yes = conditions.first, no = conditions.second;
    (this->*(onJump ? no : yes))(call, T_NEAR);
    // The call's way writes the temporaries to the frame; so does this one, the register
    // of the result and its slot alike.
    const std::set<u64> unwritten = unwritten_;
    Flush(true);
    unwritten_.clear();
    if (leaf.kind != 'r' && !(leaf.kind == 'p' && leaf.value == 0)) {
      if (leaf.kind == 'p')
        Get(rax, a + static_cast<u64>(leaf.value));
      else
        mov(rax, leaf.value);
      mov(Slot(a), rax);
      if (const Home* h = HomeOf(a)) SetHome(*h, rax);
    }
    // What the code reads after the call, as after the call's way: a register left
    // unread after an earlier call holds nothing yet.
    ReloadAfter(pc, false);
    jmp(returned, T_NEAR);
    L(call);
    unwritten_ = unwritten;
  }

  // CALLX: procedure c of the module in import entry b, its frame at slot a. Through the
  // machine; but a procedure of the program that translated code may compute itself (the
  // square root) is computed in place, while the import still leads to the module it led
  // to when this was translated and the argument is one the procedure takes without a trap.
  void CallImported(const u64* pc, u64 a, u64 b, u64 c) {
    u64 table = 0, entry = 0;
    std::memcpy(&table, reinterpret_cast<const void*>(gp_ + b * 8), 8);
    std::uint16_t flags = 0;
    if (table != 0) {
      std::memcpy(&flags, reinterpret_cast<const void*>(table + Vm::kFlagOffset), 2);
      std::memcpy(&entry, reinterpret_cast<const void*>(table + c * 8), 8);
    }
    const auto* p = reinterpret_cast<const Native::Procedure*>(entry);
    if (table == 0 || (flags & Native::kNativeFlag) == 0 || p == nullptr ||
        p->inlined != Native::Procedure::Inline::SquareRoot) {
      Leave(pc);
      CallCode(pc, a, true);
      return;
    }
    Xbyak::Label slow, done;
    mov(rax, qword[r13 + static_cast<i32>(b * 8)]);
    mov(rcx, table);
    cmp(rax, rcx);
    jne(slow, T_NEAR);
    GetX(xmm0, a);
    xorpd(xmm1, xmm1);
    ucomisd(xmm0, xmm1);
    jb(slow, T_NEAR); // below zero, or not a number
    sqrtsd(xmm0, xmm0);
    PutX(a, xmm0);
    jmp(done, T_NEAR);
    L(slow);
    Leave(pc);
    CallCode(pc, a, false);
    L(done);
  }

  // The register slot s lives in; or r, when it lives in the frame, read into r.
  Xbyak::Reg64 InGpr(u64 s, const Xbyak::Reg64& r) {
    const Home* h = HomeOf(s);
    if (h != nullptr && h->gpr >= 0) return Gpr(h->gpr);
    Get(r, s);
    return r;
  }

  // Where element C of the array at B lies, its index checked: base + index * size + disp.
  struct Place {
    Xbyak::Reg64 base, index;
    i64 disp;
  };
  Place Element(const u64* pc, bool open, int size) {
    const u64 w = *pc;
    const u64 b = Vm::FieldB(w), c = Vm::FieldC(w);
    if (open) {
      const Xbyak::Reg64 index = InGpr(c, rax);
      Src(b + 1, [&](const Xbyak::Operand& o) { cmp(index, o); });
      ja(TrapLabel(TrapCode::Index, pc), T_NEAR);
      return {InGpr(b, rcx), index, 0};
    }
    const u64 ext = pc[1];
    const i32 low = static_cast<i32>(ext);
    const u64 length = ext >> 32;
    if (proved_.count(pc) != 0 && -i64{low} * size == static_cast<i32>(-i64{low} * size)) {
      // The index is a FOR loop's, whose bounds keep it inside the array: the low bound
      // goes into the displacement.
      const Xbyak::Reg64 index = InGpr(c, rax);
      return {InGpr(b, rcx), index, -i64{low} * size};
    }
    Get(rax, c);
    if (low != 0) sub(rax, low);
    if (proved_.count(pc) != 0) {
      // Proved, with a low bound too far for a displacement.
    } else if (length <= 0x7FFFFFFF) {
      cmp(rax, static_cast<std::uint32_t>(length));
      jae(TrapLabel(TrapCode::Index, pc), T_NEAR);
    } else {
      mov(rcx, length);
      cmp(rax, rcx);
      jae(TrapLabel(TrapCode::Index, pc), T_NEAR);
    }
    return {InGpr(b, rcx), rax, 0};
  }

  Xbyak::Address Sized(const Xbyak::RegExp& e, int size) const {
    switch (size) {
    case 1:
      return byte[e];
    case 2:
      return word[e];
    case 4:
      return dword[e];
    default:
      return qword[e];
    }
  }
  Xbyak::Address At(const Place& p, int size) const {
    return Sized(p.base + p.index * size + static_cast<i32>(p.disp), size);
  }

  // A := the value at m of size bytes, extended as kind says: 'u' zero, 's' sign. A real
  // goes straight into A's register of reals.
  void Load(u64 a, const Xbyak::Address& m, int size, char kind) {
    if (size == 8 && HomeOf(a) != nullptr && HomeOf(a)->xmm >= 0) {
      movsd(WorkX(a), m);
      PutX(a, WorkX(a));
      return;
    }
    const Xbyak::Reg64 r = Work(a);
    if (size == 8)
      mov(r, m);
    else if (size == 4 && kind == 's')
      movsxd(r, m);
    else if (size == 4)
      mov(r.cvt32(), m);
    else
      movzx(r.cvt32(), m);
    Put(a, r);
  }

  // The value of slot a (its low size bytes) to m.
  void Store(const Xbyak::Address& m, int size, u64 a) {
    const Home* h = HomeOf(a);
    if (size == 8 && h != nullptr && h->xmm >= 0) {
      movsd(m, XmmReg(h->xmm));
      return;
    }
    const Xbyak::Reg64 r = InGpr(a, rdx);
    if (size == 8)
      mov(m, r);
    else if (size == 4)
      mov(m, r.cvt32());
    else if (size == 2)
      mov(m, r.cvt16());
    else
      mov(m, r.cvt8());
  }

  void Instruction(const u64* pc) {
    const u64 w = *pc;
    const u64 a = Vm::FieldA(w), b = Vm::FieldB(w), c = Vm::FieldC(w);
    const i64 sb = static_cast<std::int16_t>(b), sc = static_cast<std::int16_t>(c);
    const i32 i = Vm::FieldI(w);
    const Op op = Machine::OpAt(pc);
    // The pointers checked on every way here: none where a branch lands; none after a call
    // or an instruction the machine executes (either may dispose); not those it writes.
    if (landings_.count(pc) != 0 || op == Op::CALL) checked_.clear();
    for (auto k = checked_.begin(); k != checked_.end();)
      k = MayWrite(pc, *k) ? checked_.erase(k) : std::next(k);
    switch (op) {
    case Op::NOP:
      break;
    case Op::MOV:
      if (HomeOf(a) != nullptr && HomeOf(a)->xmm >= 0) {
        GetX(WorkX(a), b);
        PutX(a, WorkX(a));
      } else {
        Get(Work(a), b);
        Put(a, Work(a));
      }
      break;
    case Op::LDI:
      mov(Work(a), i);
      Put(a, Work(a));
      break;
    case Op::LDK:
      mov(rax, Abs(pc + i));
      mov(rax, qword[rax]);
      Put(a, rax);
      break;
    case Op::LDCA:
      mov(rax, Abs(pc + i));
      Put(a, rax);
      break;
    case Op::LDGA:
      lea(rax, ptr[r13 + i]);
      Put(a, rax);
      break;
    case Op::LDLA:
      lea(rax, Slot(b));
      Put(a, rax);
      break;
    case Op::LDLAK:
      lea(rax, ptr[rbx + i]);
      Put(a, rax);
      break;
    case Op::ADDAX:
      Get(rax, b);
      mov(rcx, pc[1]);
      add(rax, rcx);
      Put(a, rax);
      break;
    case Op::SX32:
      Get32(eax, b);
      movsxd(rax, eax);
      Put(a, rax);
      break;
    case Op::ZX32:
      Get32(eax, b);
      Put(a, rax);
      break;
    case Op::ZX16:
      Get32(eax, b);
      movzx(eax, ax);
      Put(a, rax);
      break;
    case Op::ZX8:
      Get32(eax, b);
      movzx(eax, al);
      Put(a, rax);
      break;
    case Op::LD8:
    case Op::LD16:
    case Op::LD32:
    case Op::LD32U:
    case Op::LD64: {
      const int size = op == Op::LD8 ? 1 : op == Op::LD16 ? 2 : op == Op::LD64 ? 8 : 4;
      Load(a, Sized(InGpr(b, rcx) + static_cast<i32>(sc), size), size, op == Op::LD32 ? 's' : 'u');
      break;
    }
    case Op::ST8:
    case Op::ST16:
    case Op::ST32:
    case Op::ST64: {
      const int size = op == Op::ST8 ? 1 : op == Op::ST16 ? 2 : op == Op::ST32 ? 4 : 8;
      Store(Sized(InGpr(b, rcx) + static_cast<i32>(sc), size), size, a);
      break;
    }
    case Op::LDG8:
    case Op::LDG16:
    case Op::LDG32:
    case Op::LDG32U:
    case Op::LDG64: {
      const int size = op == Op::LDG8 ? 1 : op == Op::LDG16 ? 2 : op == Op::LDG64 ? 8 : 4;
      Load(a, Sized(r13 + i, size), size, op == Op::LDG32 ? 's' : 'u');
      break;
    }
    case Op::STG8:
    case Op::STG16:
    case Op::STG32:
    case Op::STG64: {
      const int size = op == Op::STG8 ? 1 : op == Op::STG16 ? 2 : op == Op::STG32 ? 4 : 8;
      Store(Sized(r13 + i, size), size, a);
      break;
    }
    case Op::LDX8:
    case Op::LDX16:
    case Op::LDX32:
    case Op::LDX32U:
    case Op::LDX64:
    case Op::LDO8:
    case Op::LDO16:
    case Op::LDO32:
    case Op::LDO32U:
    case Op::LDO64: {
      const bool open = op >= Op::LDO8;
      const Op base = open ? Op::LDO8 : Op::LDX8;
      const int k = static_cast<int>(op) - static_cast<int>(base);
      const int size = k == 0 ? 1 : k == 1 ? 2 : k == 4 ? 8 : 4;
      Load(a, At(Element(pc, open, size), size), size, k == 2 ? 's' : 'u');
      break;
    }
    case Op::STX8:
    case Op::STX16:
    case Op::STX32:
    case Op::STX64:
    case Op::STO8:
    case Op::STO16:
    case Op::STO32:
    case Op::STO64: {
      const bool open = op >= Op::STO8;
      const Op base = open ? Op::STO8 : Op::STX8;
      const int k = static_cast<int>(op) - static_cast<int>(base);
      const int size = 1 << k;
      Store(At(Element(pc, open, size), size), size, a);
      break;
    }
    case Op::IDX:
    case Op::IDXO: {
      const u64 size = op == Op::IDX ? pc[2] : pc[1];
      const Place e = Element(pc, op == Op::IDXO, 1);
      // A's register is written after the index is read; the base is read after it, so
      // not when A is B.
      const Xbyak::Reg64 t = Work(a, b);
      const i64 disp = static_cast<i64>(static_cast<u64>(e.disp) * size);
      if (size <= 0x7FFFFFFF) {
        imul(t, e.index, static_cast<i32>(size));
      } else {
        mov(rdx, size);
        if (t.getIdx() != e.index.getIdx()) mov(t, e.index);
        imul(t, rdx);
      }
      if (e.disp == 0) {
        add(t, e.base);
      } else if (size <= 0x7FFFFFFF && disp == static_cast<i32>(disp)) {
        lea(t, ptr[t + e.base + static_cast<i32>(disp)]);
      } else {
        add(t, e.base);
        mov(rdx, disp);
        add(t, rdx);
      }
      Put(a, t);
      break;
    }
    // Integer arithmetic, overflow checked
    case Op::ADDI:
    case Op::SUBI:
    case Op::MULI: {
      const Xbyak::Reg64 t = Checked(a, b, c);
      const Xbyak::Reg32 t32 = t.cvt32();
      Get32(t32, b);
      if (op == Op::ADDI)
        Src32(c, [&](const Xbyak::Operand& o) { add(t32, o); });
      else if (op == Op::SUBI)
        Src32(c, [&](const Xbyak::Operand& o) { sub(t32, o); });
      else
        Src32(c, [&](const Xbyak::Operand& o) { imul(t32, o); });
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      movsxd(t, t32);
      Put(a, t);
      break;
    }
    case Op::ADDU:
    case Op::SUBU: {
      const Xbyak::Reg64 t = Checked(a, b, c);
      const Xbyak::Reg32 t32 = t.cvt32();
      Get32(t32, b);
      if (op == Op::ADDU)
        Src32(c, [&](const Xbyak::Operand& o) { add(t32, o); });
      else
        Src32(c, [&](const Xbyak::Operand& o) { sub(t32, o); });
      jc(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, t);
      break;
    }
    case Op::MULU:
      Get32(eax, b);
      Src32(c, [&](const Xbyak::Operand& o) { mul(o); });
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, rax);
      break;
    case Op::ADDL:
    case Op::SUBL:
    case Op::MULL: {
      const Xbyak::Reg64 t = Checked(a, b, c);
      Get(t, b);
      if (op == Op::ADDL)
        Src(c, [&](const Xbyak::Operand& o) { add(t, o); });
      else if (op == Op::SUBL)
        Src(c, [&](const Xbyak::Operand& o) { sub(t, o); });
      else
        Src(c, [&](const Xbyak::Operand& o) { imul(t, o); });
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, t);
      break;
    }
    case Op::ADDUL:
    case Op::SUBUL: {
      const Xbyak::Reg64 t = Checked(a, b, c);
      Get(t, b);
      if (op == Op::ADDUL)
        Src(c, [&](const Xbyak::Operand& o) { add(t, o); });
      else
        Src(c, [&](const Xbyak::Operand& o) { sub(t, o); });
      jc(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, t);
      break;
    }
    case Op::MULUL:
      Get(rax, b);
      Src(c, [&](const Xbyak::Operand& o) { mul(o); });
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, rax);
      break;
    case Op::ADDIK: {
      const Xbyak::Reg64 t = Checked(a, b);
      Get32(t.cvt32(), b);
      add(t.cvt32(), static_cast<i32>(sc));
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      movsxd(t, t.cvt32());
      Put(a, t);
      break;
    }
    case Op::ADDUK: {
      // In 32 bits: a carry or borrow is the result leaving 0 .. 2^32 - 1.
      const Xbyak::Reg64 t = Checked(a, b);
      Get32(t.cvt32(), b);
      if (sc >= 0)
        add(t.cvt32(), static_cast<i32>(sc));
      else
        sub(t.cvt32(), static_cast<i32>(-sc));
      jc(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, t);
      break;
    }
    case Op::ADDLK:
    case Op::ADDULK: {
      const Xbyak::Reg64 t = Checked(a, b);
      Get(t, b);
      if (op == Op::ADDLK || sc >= 0)
        add(t, static_cast<i32>(sc));
      else
        sub(t, static_cast<i32>(-sc));
      if (op == Op::ADDLK)
        jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      else
        jc(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, t);
      break;
    }
    case Op::NEGI: {
      const Xbyak::Reg64 t = Checked(a, b);
      Get32(t.cvt32(), b);
      neg(t.cvt32());
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      movsxd(t, t.cvt32());
      Put(a, t);
      break;
    }
    case Op::NEGL: {
      const Xbyak::Reg64 t = Checked(a, b);
      Get(t, b);
      neg(t);
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      Put(a, t);
      break;
    }
    case Op::ABSI:
      Get32(eax, b);
      mov(ecx, eax);
      neg(ecx);
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      cmovs(ecx, eax);
      Put(a, rcx);
      break;
    case Op::ABSL:
      Get(rax, b);
      mov(rcx, rax);
      neg(rcx);
      jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      cmovs(rcx, rax);
      Put(a, rcx);
      break;
    // Address arithmetic and bits
    case Op::ADDA:
    case Op::SUBA:
    case Op::MULA:
    case Op::AND:
    case Op::OR:
    case Op::XOR: {
      const Xbyak::Reg64 t = Work(a, c);
      Get(t, b);
      if (op == Op::ADDA)
        Src(c, [&](const Xbyak::Operand& o) { add(t, o); });
      else if (op == Op::SUBA)
        Src(c, [&](const Xbyak::Operand& o) { sub(t, o); });
      else if (op == Op::MULA)
        Src(c, [&](const Xbyak::Operand& o) { imul(t, o); });
      else if (op == Op::AND)
        Src(c, [&](const Xbyak::Operand& o) { and_(t, o); });
      else if (op == Op::OR)
        Src(c, [&](const Xbyak::Operand& o) { or_(t, o); });
      else
        Src(c, [&](const Xbyak::Operand& o) { xor_(t, o); });
      Put(a, t);
      break;
    }
    case Op::ADDAK:
      Get(Work(a), b);
      add(Work(a), static_cast<i32>(sc));
      Put(a, Work(a));
      break;
    case Op::ANDN:
      Get(rax, c);
      not_(rax);
      Src(b, [&](const Xbyak::Operand& o) { and_(rax, o); });
      Put(a, rax);
      break;
    case Op::NOT:
      Get(rax, b);
      xor_(rax, 1);
      Put(a, rax);
      break;
    case Op::BIT:
      Get(rcx, b);
      cmp(rcx, 64);
      jae(TrapLabel(TrapCode::Range, pc), T_NEAR);
      mov(eax, 1);
      shl(rax, cl);
      Put(a, rax);
      break;
    case Op::INB:
    case Op::SHL:
    case Op::SHR: {
      const u64 count = op == Op::INB ? b : c, value = op == Op::INB ? c : b;
      Get(rcx, count);
      Get(rax, value);
      if (op == Op::SHL)
        shl(rax, cl);
      else
        shr(rax, cl);
      if (op == Op::INB) and_(eax, 1);
      xor_(edx, edx);
      cmp(rcx, 64);
      cmovae(rax, rdx);
      Put(a, rax);
      break;
    }
    case Op::ODD:
      Get(rax, b);
      and_(eax, 1);
      Put(a, rax);
      break;
    // Reals
    case Op::ADDR:
    case Op::SUBR:
    case Op::MULR: {
      const Xbyak::Xmm t = WorkX(a, c);
      GetX(t, b);
      if (op == Op::ADDR)
        SrcX(c, [&](const Xbyak::Operand& o) { addsd(t, o); });
      else if (op == Op::SUBR)
        SrcX(c, [&](const Xbyak::Operand& o) { subsd(t, o); });
      else
        SrcX(c, [&](const Xbyak::Operand& o) { mulsd(t, o); });
      PutX(a, t);
      break;
    }
    case Op::DIVR: {
      Xbyak::Label ok;
      GetX(xmm1, c);
      xorpd(xmm2, xmm2);
      ucomisd(xmm1, xmm2);
      jp(ok, T_NEAR);
      je(TrapLabel(TrapCode::DivisionByZero, pc), T_NEAR);
      L(ok);
      GetX(xmm0, b);
      divsd(xmm0, xmm1);
      PutX(a, xmm0);
      break;
    }
    case Op::NEGR:
    case Op::ABSR:
      Get(rax, b);
      if (op == Op::NEGR)
        btc(rax, 63);
      else
        btr(rax, 63);
      Put(a, rax);
      break;
    case Op::FLOATI:
    case Op::FLOATU:
    case Op::FLOATL:
      if (op == Op::FLOATI) {
        Get32(eax, b);
        movsxd(rax, eax);
      } else if (op == Op::FLOATU) {
        Get32(eax, b);
      } else {
        Get(rax, b);
      }
      cvtsi2sd(xmm0, rax);
      PutX(a, xmm0);
      break;
    // Comparisons
    case Op::SEQ:
    case Op::SNE:
    case Op::SLT:
    case Op::SLE:
    case Op::SLTU:
    case Op::SLEU:
      Get(rax, b);
      Src(c, [&](const Xbyak::Operand& o) { cmp(rax, o); });
      if (op == Op::SEQ)
        sete(al);
      else if (op == Op::SNE)
        setne(al);
      else if (op == Op::SLT)
        setl(al);
      else if (op == Op::SLE)
        setle(al);
      else if (op == Op::SLTU)
        setb(al);
      else
        setbe(al);
      movzx(eax, al);
      Put(a, rax);
      break;
    case Op::SEQR:
    case Op::SNER:
      GetX(xmm0, b);
      SrcX(c, [&](const Xbyak::Operand& o) { ucomisd(xmm0, o); });
      if (op == Op::SEQR) {
        sete(al);
        setnp(cl);
        and_(al, cl);
      } else {
        setne(al);
        setp(cl);
        or_(al, cl);
      }
      movzx(eax, al);
      Put(a, rax);
      break;
    case Op::SLTR:
    case Op::SLER:
      // b < c is c > b, false for NaN (the carry flag).
      GetX(xmm0, c);
      SrcX(b, [&](const Xbyak::Operand& o) { ucomisd(xmm0, o); });
      if (op == Op::SLTR)
        seta(al);
      else
        setae(al);
      movzx(eax, al);
      Put(a, rax);
      break;
    // Branches
    case Op::JMP:
      Goto(pc, pc + i);
      break;
    case Op::BT:
    case Op::BF:
      Src(a, [&](const Xbyak::Operand& o) { cmp(o, 0); });
      if (op == Op::BT)
        Branch(
            pc, pc + i, [&](auto& l) { jne(l, T_NEAR); }, [&](auto& l) { je(l, T_NEAR); });
      else
        Branch(
            pc, pc + i, [&](auto& l) { je(l, T_NEAR); }, [&](auto& l) { jne(l, T_NEAR); });
      break;
    case Op::BEQ:
    case Op::BNE:
    case Op::BLT:
    case Op::BLE:
    case Op::BLTU:
    case Op::BLEU:
    case Op::BEQK:
    case Op::BNEK:
    case Op::BLTK:
    case Op::BLEK:
    case Op::BGTK:
    case Op::BGEK: {
      const bool k = op >= Op::BEQK;
      if (k) {
        Src(a, [&](const Xbyak::Operand& o) { cmp(o, static_cast<i32>(sb)); });
      } else {
        Get(rax, a);
        Src(b, [&](const Xbyak::Operand& o) { cmp(rax, o); });
      }
      IntegerBranch(pc, pc + sc, op);
      break;
    }
    case Op::BEQR:
    case Op::BNER:
    case Op::BLTR:
    case Op::BLER:
    case Op::BNLTR:
    case Op::BNLER:
      RealBranch(pc, pc + sc, op, a, b);
      break;
    case Op::FORUP:
    case Op::FORDN: {
      // The control variable counts in its own register when it has one.
      Xbyak::Label done;
      const Xbyak::Reg64 v = Work(a, b);
      Get(v, a);
      Src(b, [&](const Xbyak::Operand& o) { cmp(v, o); });
      if (op == Op::FORUP) {
        jge(done, T_NEAR);
        add(v, 1);
      } else {
        jle(done, T_NEAR);
        sub(v, 1);
      }
      Put(a, v);
      Goto(pc, pc + sc);
      L(done);
      break;
    }
    case Op::JTAB: {
      const u64* table = pc + i;
      Budget(pc);
      Get(rax, a);
      mov(rcx, table[0]);
      sub(rax, rcx);
      mov(rcx, table[1]);
      cmp(rax, rcx);
      jae(labels_.at(pc + static_cast<i64>(table[2])), T_NEAR);
      tables_.emplace_back(std::make_unique<Xbyak::Label>(), std::vector<const u64*>());
      for (u64 k = 0; k < table[1]; ++k)
        tables_.back().second.push_back(pc + static_cast<i64>(table[3 + k]));
      mov(rcx, *tables_.back().first);
      jmp(qword[rcx + rax * 8]);
      break;
    }
    // Calls
    case Op::CALL: {
      const u64* target = pc + i;
      Xbyak::Label returned;
      EarlyReturn(pc, a, target, returned);
      Flush(true);
      unwritten_.clear();
      mov(Slot(a - 3), r13);
      mov(Slot(a - 2), rbx);
      mov(rax, Abs(pc + 1));
      mov(Slot(a - 1), rax);
      const bool inRdx = InRdx(target);
      if (target == entry_) {
        lea(rdi, Slot(a));
        if (inRdx) Get(rdx, a);
        call(inner_);
        ReloadAfter(pc, false, inRdx ? a : kNone);
        L(returned);
        break;
      }
      Machine::Code* cell = &made_.cells[cells_++];
      Xbyak::Label slow, go;
      mov(rax, Abs(cell));
      mov(rax, qword[rax]);
      test(rax, rax);
      jz(slow, T_NEAR);
      L(go);
      lea(rdi, Slot(a));
      if (SameModule(target)) {
        add(rax, kInner);
        if (inRdx) Get(rdx, a);
        call(rax);
        ReloadAfter(pc, false, inRdx ? a : kNone);
      } else {
        // Another module's procedure sets its own table: through its outer entry.
        SaveBudget();
        call(rax);
        ReloadAfter(pc);
      }
      Xbyak::Label done;
      jmp(done, T_NEAR);
      L(slow);
      mov(rdi, Abs(target));
      mov(rsi, Abs(pc));
      mov(rdx, rbx);
      mov(rcx, Abs(cell));
      CallHelper(Abs(&Machine::Call), true, false); // the frame made whole above
      test(rax, rax);
      jnz(go, T_NEAR);
      L(done);
      L(returned);
      break;
    }
    case Op::CALLX:
      CallImported(pc, a, b, c);
      break;
    case Op::CALLP:
      Leave(pc);
      CallCode(pc, a, true);
      break;
    case Op::RET:
      if (InRdx(entry_)) mov(rdx, qword[rbx]);
      mov(rax, rbx);
      Return();
      break;
    case Op::RETV:
      Get(rdx, a);
      mov(qword[rbx], rdx);
      mov(rax, rbx);
      Return();
      break;
    case Op::RETVS:
      Store(qword[rbx - static_cast<i32>(pc[1] * 8)], 8, a);
      mov(rax, rbx);
      Return();
      break;
    case Op::INIT:
      movzx(eax, word[r13 + Vm::kFlagOffset]);
      test(eax, Vm::kBodyRan);
      jnz(epilogue_, T_NEAR);
      or_(eax, Vm::kBodyRan);
      mov(word[r13 + Vm::kFlagOffset], ax);
      break;
    // Checks and traps
    case Op::CHK:
    case Op::CHKU: {
      const u64* pair = pc + i;
      Get(rax, a);
      mov(rcx, pair[0]);
      cmp(rax, rcx);
      if (op == Op::CHK)
        jl(TrapLabel(TrapCode::Range, pc), T_NEAR);
      else
        jb(TrapLabel(TrapCode::Range, pc), T_NEAR);
      mov(rcx, pair[1]);
      cmp(rax, rcx);
      if (op == Op::CHK)
        jg(TrapLabel(TrapCode::Range, pc), T_NEAR);
      else
        ja(TrapLabel(TrapCode::Range, pc), T_NEAR);
      break;
    }
    case Op::CHKK:
      Get(rax, a);
      cmp(rax, static_cast<i32>(sb));
      jl(TrapLabel(TrapCode::Range, pc), T_NEAR);
      cmp(rax, static_cast<i32>(sc));
      jg(TrapLabel(TrapCode::Range, pc), T_NEAR);
      break;
    case Op::CHKPTR: {
      // Once a pointer is checked, it stays good until it changes or a call could dispose
      // of its block.
      if (checked_.count(a) != 0) break;
      Xbyak::Label ok;
      const Xbyak::Reg64 p = InGpr(a, rax);
      test(p, p);
      jz(TrapLabel(TrapCode::Nil, pc), T_NEAR);
      lea(rcx, ptr[p - static_cast<i32>(Machine::kLowestAddress)]);
      mov(rdx, Machine::kAddressEnd - Machine::kLowestAddress);
      cmp(rcx, rdx);
      jae(TrapLabel(TrapCode::InvalidAddress, pc), T_NEAR);
      // Only the start of a block of the heap can be a disposed one: its header says so.
      test(p.cvt8(), 15);
      jnz(ok, T_NEAR);
      cmp(dword[p - static_cast<i32>(Heap::kHeaderSize)], Heap::kFreedTag);
      je(TrapLabel(TrapCode::Disposed, pc), T_NEAR);
      L(ok);
      checked_.insert(a);
      break;
    }
    case Op::TRAP:
      mov(edi, static_cast<int>(a));
      mov(rsi, Abs(pc));
      mov(rdx, rbx);
      CallHelper(Abs(&Machine::Trap), false);
      break;
    case Op::CAP: {
      // The letters of the first half of the character set here; the rest by the machine.
      Xbyak::Label slow, put, done;
      Get32(eax, b);
      movzx(eax, al);
      cmp(eax, 0x80);
      jae(slow, T_NEAR);
      lea(ecx, ptr[rax - 'a']);
      cmp(ecx, 'z' - 'a');
      ja(put, T_NEAR);
      sub(eax, 'a' - 'A');
      L(put);
      Put(a, rax);
      jmp(done, T_NEAR);
      L(slow);
      Leave(pc);
      L(done);
      break;
    }
    case Op::DIVU:
    case Op::MODU:
    case Op::DIVUL:
    case Op::MODUL: {
      // CARDINAL in 32 bits, LONGCARD in 64.
      const bool wide = op == Op::DIVUL || op == Op::MODUL;
      const Xbyak::Reg& divisor = wide ? static_cast<const Xbyak::Reg&>(rcx) : ecx;
      if (wide)
        Get(rcx, c);
      else
        Get32(ecx, c);
      test(divisor, divisor);
      jz(TrapLabel(TrapCode::DivisionByZero, pc), T_NEAR);
      if (wide)
        Get(rax, b);
      else
        Get32(eax, b);
      xor_(edx, edx);
      div(divisor);
      Put(a, op == Op::MODU || op == Op::MODUL ? rdx : rax);
      break;
    }
    case Op::DIVI:
    case Op::MODI:
    case Op::DIVL:
    case Op::MODL:
      SignedDivision(pc, op, a, b, c);
      break;
    default:
      // The truncated divisions (/, REM), blocks, SYS, LDIA, BITS, TRUNC, FLOATUL, the
      // copies of open arrays.
      Leave(pc);
      break;
    }
  }

  // A := B DIV C or B MOD C of INTEGERs (sign-extended from 32 bits, the quotient checked
  // to fit them) or LONGINTs, as the machine divides: the division by zero first, then
  // Euclidean (0 <= remainder < |C|).
  void SignedDivision(const u64* pc, Op op, u64 a, u64 b, u64 c) {
    const bool wide = op == Op::DIVL || op == Op::MODL;
    const bool remainder = op == Op::MODI || op == Op::MODL;
    if (wide) {
      Get(rcx, c);
      Get(rax, b);
    } else {
      Get32(ecx, c);
      movsxd(rcx, ecx);
      Get32(eax, b);
      movsxd(rax, eax);
    }
    test(rcx, rcx);
    jz(TrapLabel(TrapCode::DivisionByZero, pc), T_NEAR);
    Xbyak::Label divide, done;
    if (wide) {
      // By -1 the processor faults on the smallest LONGINT: its quotient does not fit.
      cmp(rcx, -1);
      jne(divide, T_NEAR);
      if (remainder) {
        xor_(edx, edx);
      } else {
        neg(rax);
        jo(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
      }
      jmp(done, T_NEAR);
    }
    L(divide);
    cqo();
    idiv(rcx);
    // A negative remainder moves to 0 .. |C| - 1, the quotient one step with it.
    Xbyak::Label down;
    test(rdx, rdx);
    jns(done, T_NEAR);
    test(rcx, rcx);
    js(down, T_NEAR);
    sub(rax, 1);
    add(rdx, rcx);
    jmp(done, T_NEAR);
    L(down);
    add(rax, 1);
    sub(rdx, rcx);
    L(done);
    if (!remainder && !wide) {
      // Only the smallest INTEGER by -1 leaves INTEGER's range, upwards.
      mov(ecx, 0x7FFFFFFF);
      cmp(rax, rcx);
      jg(TrapLabel(TrapCode::Overflow, pc), T_NEAR);
    }
    Put(a, remainder ? rdx : rax);
  }

  // The jumps of an integer branch: taken when its condition holds (yes), when not (no).
  using J = void (Translation::*)(const Xbyak::Label&, LabelType);
  static std::pair<J, J> Conditions(Op op) {
    J yes = nullptr, no = nullptr;
    switch (op) {
    case Op::BEQ:
    case Op::BEQK:
      yes = &Translation::JumpE;
      no = &Translation::JumpNE;
      break;
    case Op::BNE:
    case Op::BNEK:
      yes = &Translation::JumpNE;
      no = &Translation::JumpE;
      break;
    case Op::BLT:
    case Op::BLTK:
      yes = &Translation::JumpL;
      no = &Translation::JumpGE;
      break;
    case Op::BLE:
    case Op::BLEK:
      yes = &Translation::JumpLE;
      no = &Translation::JumpG;
      break;
    case Op::BGTK:
      yes = &Translation::JumpG;
      no = &Translation::JumpLE;
      break;
    case Op::BGEK:
      yes = &Translation::JumpGE;
      no = &Translation::JumpL;
      break;
    case Op::BLTU:
      yes = &Translation::JumpB;
      no = &Translation::JumpAE;
      break;
    default:
      yes = &Translation::JumpBE;
      no = &Translation::JumpA;
      break;
    }
    return {yes, no};
  }
  void IntegerBranch(const u64* pc, const u64* target, Op op) {
    const std::pair<J, J> conditions = Conditions(op);
    const J yes = conditions.first, no = conditions.second;
    Branch(
        pc, target, [&](auto& l) { (this->*yes)(l, T_NEAR); },
        [&](auto& l) { (this->*no)(l, T_NEAR); });
  }
  void JumpE(const Xbyak::Label& l, LabelType t) { je(l, t); }
  void JumpNE(const Xbyak::Label& l, LabelType t) { jne(l, t); }
  void JumpL(const Xbyak::Label& l, LabelType t) { jl(l, t); }
  void JumpLE(const Xbyak::Label& l, LabelType t) { jle(l, t); }
  void JumpG(const Xbyak::Label& l, LabelType t) { jg(l, t); }
  void JumpGE(const Xbyak::Label& l, LabelType t) { jge(l, t); }
  void JumpB(const Xbyak::Label& l, LabelType t) { jb(l, t); }
  void JumpBE(const Xbyak::Label& l, LabelType t) { jbe(l, t); }
  void JumpA(const Xbyak::Label& l, LabelType t) { ja(l, t); }
  void JumpAE(const Xbyak::Label& l, LabelType t) { jae(l, t); }

  // Branches on reals: the conditions hold as the language says for NaN.
  void RealBranch(const u64* pc, const u64* target, Op op, u64 a, u64 b) {
    if (op == Op::BEQR || op == Op::BNER) {
      GetX(xmm0, a);
      SrcX(b, [&](const Xbyak::Operand& o) { ucomisd(xmm0, o); });
      if (op == Op::BEQR) {
        // Equal: ZF and no PF.
        Xbyak::Label no;
        jp(no, T_NEAR);
        Branch(
            pc, target, [&](auto& l) { je(l, T_NEAR); }, [&](auto& l) { jne(l, T_NEAR); });
        L(no);
      } else {
        Xbyak::Label yes, no;
        jp(yes, T_NEAR);
        jne(yes, T_NEAR);
        jmp(no, T_NEAR);
        L(yes);
        Goto(pc, target);
        L(no);
      }
      return;
    }
    // a < b is b > a: compare b with a.
    GetX(xmm0, b);
    SrcX(a, [&](const Xbyak::Operand& o) { ucomisd(xmm0, o); });
    switch (op) {
    case Op::BLTR:
      Branch(
          pc, target, [&](auto& l) { ja(l, T_NEAR); }, [&](auto& l) { jbe(l, T_NEAR); });
      break;
    case Op::BLER:
      Branch(
          pc, target, [&](auto& l) { jae(l, T_NEAR); }, [&](auto& l) { jb(l, T_NEAR); });
      break;
    case Op::BNLTR:
      Branch(
          pc, target, [&](auto& l) { jbe(l, T_NEAR); }, [&](auto& l) { ja(l, T_NEAR); });
      break;
    default:
      Branch(
          pc, target, [&](auto& l) { jb(l, T_NEAR); }, [&](auto& l) { jae(l, T_NEAR); });
      break;
    }
  }

public:
  Xbyak::Label start_, inner_;

private:
  const u64* entry_;
  std::vector<const u64*> list_;
  Procedure& made_;
  u64 gp_;
  std::map<const u64*, Xbyak::Label> labels_;
  std::vector<std::unique_ptr<Stub>> stubs_;
  std::vector<std::unique_ptr<PollStub>> polls_;
  std::vector<std::pair<std::unique_ptr<Xbyak::Label>, std::vector<const u64*>>> tables_;
  std::size_t cells_ = 0;
  std::map<u64, Home> homes_;
  u64 temps_ = Vm::FieldA(entry_[0]); // the first temporary
  bool live_ = false;                 // emitting past the prologue
  std::set<const u64*> proved_;       // array accesses whose index check cannot fail
  std::map<const u64*, std::vector<const u64*>> hoisted_; // by the loop they go before
  std::set<const u64*> moved_;                            // those hoisted
  std::set<u64> checked_;   // slots whose pointer every way here checked, as the code is emitted
  std::set<u64> unwritten_; // temporaries whose register may differ from the frame
  std::map<const u64*, std::set<u64>> landing_; // of forward branches, by target
  std::set<const u64*> unknownLanding_;         // of backward branches and jump tables
  std::set<const u64*> landings_;               // of every branch and jump table
  Xbyak::Label epilogue_, leave_, interpretSelf_, badEnd_;
};

Machine::Code Translate(const u64* entry) {
  std::vector<const u64*> list = Instructions(entry);
  if (list.empty()) return nullptr;
  const std::size_t page = PageSize();
  for (std::size_t perWord : {std::size_t{128}, std::size_t{512}}) {
    const std::size_t words = static_cast<std::size_t>(Machine::InstructionsEnd(entry) - entry);
    const std::size_t wanted = std::min(words, list.size() * 3) * perWord + 4096;
    const std::size_t size = (wanted + page - 1) / page * page;
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    auto made = std::make_unique<Procedure>();
    std::size_t used = 0;
    bool done = false;
    try {
      Translation t(size, memory, entry, list, *made);
      t.ready();
      used = t.getSize();
      done = true;
    } catch (...) {
      // Too big for the room given (or the emitter refused): try with more, or interpret.
    }
    if (!done) {
      munmap(memory, size);
      continue;
    }
    // Written, then executable and no longer writable; the pages it did not need go.
    const std::size_t kept = (used + page - 1) / page * page;
    if (kept < size) munmap(static_cast<u8*>(memory) + kept, size - kept);
    if (mprotect(memory, kept, PROT_READ | PROT_EXEC) != 0) {
      munmap(memory, kept);
      return nullptr;
    }
    made->code = static_cast<u8*>(memory);
    made->size = kept;
    const auto code = reinterpret_cast<Machine::Code>(memory);
    state.procedures[reinterpret_cast<std::uintptr_t>(memory)] = std::move(made);
    return code;
  }
  return nullptr;
}

void Release(Machine::Code code) {
  const auto found = state.procedures.find(reinterpret_cast<std::uintptr_t>(code));
  if (found == state.procedures.end()) return;
  munmap(found->second->code, found->second->size);
  state.procedures.erase(found);
}

const u64* Where(std::uintptr_t address) {
  auto found = state.procedures.upper_bound(address);
  if (found == state.procedures.begin()) return nullptr;
  --found;
  const Procedure& p = *found->second;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(p.code);
  if (address >= start + p.size) return nullptr;
  const auto offset = static_cast<std::uint32_t>(address - start);
  auto place = std::upper_bound(p.places.begin(), p.places.end(), offset,
                                [](std::uint32_t o, const auto& e) { return o < e.first; });
  if (place == p.places.begin()) return p.places.empty() ? nullptr : p.places.front().second;
  return std::prev(place)->second;
}

const Machine::Translator kTranslator{Translate, Release, Where};

} // namespace

bool Available() { return true; }

bool Install() {
  Machine::SetTranslator(&kTranslator);
  return true;
}

void Remove() { Machine::SetTranslator(nullptr); }

int Translated() { return static_cast<int>(state.procedures.size()); }

} // namespace Jit

#else

namespace Jit {
bool Available() { return false; }
bool Install() { return false; }
void Remove() {}
int Translated() { return 0; }
} // namespace Jit

#endif
