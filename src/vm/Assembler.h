// The machine's code in memory as it is put together: instruction words, labels that
// branches and calls refer to before they are placed, and the constants of the code
// (reals, long integers, strings, range pairs, jump tables) gathered in a pool after the
// last instruction. The code generator and the tests of the machine both write with it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vm/Isa.h"

namespace Asm {

using Vm::Op;

struct Label {
  std::int32_t id = -1;
};

// One word of a constant: a value, or the distance in words from the instruction that
// uses the constant to a label (jump tables).
struct PoolWord {
  std::uint64_t value = 0;
  Label label{};
};

class Assembler {
public:
  Assembler(); // words 0 and 1 (table address and header) come first

  // The word the next instruction goes to.
  std::uint32_t Here() const { return static_cast<std::uint32_t>(code_.size()); }
  void Emit(std::uint64_t word) { code_.push_back(word); }
  void Emit(Op op, std::uint16_t a = 0, std::uint16_t b = 0, std::uint16_t c = 0) {
    Emit(Vm::Word(op, a, b, c));
  }
  // Replaces the word at word, emitted before (an ENTER's extension word, say).
  void Set(std::uint32_t word, std::uint64_t value) { code_[word] = value; }
  std::uint64_t At(std::uint32_t word) const { return code_[word]; }
  Label NewLabel();
  void Bind(Label l);
  bool Bound(Label l) const { return labels_[l.id] >= 0; }
  std::uint32_t Where(Label l) const { return static_cast<std::uint32_t>(labels_[l.id]); }
  // An instruction whose sC is the distance to target (compare-and-branch, FOR loops).
  // Such a branch whose target lay too far (see TooFar) becomes the opposite branch over
  // a jump: sites counts them from 0 in the order they are emitted.
  void EmitC(Op op, std::uint16_t a, std::uint16_t b, Label target);
  // The branches of EmitC, by site, to write as a jump from now on.
  void SetFar(std::vector<std::uint32_t> sites) {
    far_ = std::move(sites);
    std::sort(far_.begin(), far_.end());
  }
  // An instruction whose I is the distance to target (JMP, BT, BF, CALL).
  void EmitI(Op op, std::uint16_t a, Label target);
  // An instruction whose I is the distance to a constant of the pool (LDK, LDCA, CHK,
  // CHKU, JTAB); equal constants without labels are kept once.
  void EmitK(Op op, std::uint16_t a, const std::vector<PoolWord>& constant);
  void EmitK(Op op, std::uint16_t a, const std::vector<std::uint64_t>& constant);
  // The bytes of a string (and a 0 after them) as constant words.
  static std::vector<std::uint64_t> StringWords(const std::string& s);

  // The finished code with the module's variable size and flags in the header: the pool placed,
  // every distance filled in; code of more words than an object's 16-bit code section
  // holds has the large layout (vm/Isa.h), every word from word 2 on one further. False,
  // with a message, when a label is unbound, the code outgrows what an object module
  // holds or branches of EmitC lie too far (TooFar then lists their sites).
  bool Finish(std::uint16_t variables, std::vector<std::uint64_t>& code, std::string& error,
              std::uint16_t flags = 0);
  // How far Finish moved the words from word 2 on: 0, or 1 for the large layout.
  std::uint32_t Moved() const { return moved_; }
  const std::vector<std::uint32_t>& TooFar() const { return tooFar_; }

private:
  struct Fixup {
    std::uint32_t at;
    std::int32_t label;
    bool wide;          // I (32 bits) rather than sC
    std::uint32_t site; // of EmitC
  };
  struct PoolUse {
    std::uint32_t at;
    std::int32_t item;
  };
  std::vector<std::uint64_t> code_;
  std::vector<std::int64_t> labels_;
  std::vector<Fixup> fixups_;
  std::vector<std::vector<PoolWord>> pool_;
  std::vector<PoolUse> poolUses_;
  std::map<std::vector<std::uint64_t>, std::int32_t> plainItems_;
  std::vector<std::uint32_t> far_;
  std::vector<std::uint32_t> tooFar_;
  std::uint32_t sites_ = 0;
  std::uint32_t moved_ = 0;
};

// The code words of a module as text, one instruction a line (for tests and debugging).
std::string Disassemble(const std::vector<std::uint64_t>& code, std::uint32_t from,
                        std::uint32_t to);

} // namespace Asm
