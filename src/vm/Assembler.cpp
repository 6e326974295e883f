#include "vm/Assembler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace Asm {

namespace {
// An object's code section of a 16-bit length holds at most 65535 bytes; more words take
// the large layout, up to 256 MB of code.
constexpr std::size_t kSmallWords = 0xFFFF / 8;
constexpr std::size_t kMaxWords = std::size_t{1} << 25;

// The branch taken when op's is not, and its operands: compare-and-branch instructions.
Op Opposite(Op op, std::uint16_t& a, std::uint16_t& b) {
  switch (op) {
  case Op::BEQ:
    return Op::BNE;
  case Op::BNE:
    return Op::BEQ;
  case Op::BLT:
    std::swap(a, b);
    return Op::BLE;
  case Op::BLE:
    std::swap(a, b);
    return Op::BLT;
  case Op::BLTU:
    std::swap(a, b);
    return Op::BLEU;
  case Op::BLEU:
    std::swap(a, b);
    return Op::BLTU;
  case Op::BEQK:
    return Op::BNEK;
  case Op::BNEK:
    return Op::BEQK;
  case Op::BLTK:
    return Op::BGEK;
  case Op::BLEK:
    return Op::BGTK;
  case Op::BGTK:
    return Op::BLEK;
  case Op::BGEK:
    return Op::BLTK;
  case Op::BEQR:
    return Op::BNER;
  case Op::BNER:
    return Op::BEQR;
  case Op::BLTR:
    return Op::BNLTR;
  case Op::BLER:
    return Op::BNLER;
  case Op::BNLTR:
    return Op::BLTR;
  default:
    return Op::BLER; // BNLER
  }
}
} // namespace

Assembler::Assembler() {
  code_.push_back(0);
  code_.push_back(0);
}

Label Assembler::NewLabel() {
  labels_.push_back(-1);
  return Label{static_cast<std::int32_t>(labels_.size() - 1)};
}

void Assembler::Bind(Label l) { labels_[l.id] = static_cast<std::int64_t>(code_.size()); }

void Assembler::EmitC(Op op, std::uint16_t a, std::uint16_t b, Label target) {
  const std::uint32_t site = sites_++;
  if (!std::binary_search(far_.begin(), far_.end(), site)) {
    fixups_.push_back(Fixup{Here(), target.id, false, site});
    Emit(op, a, b, 0);
    return;
  }
  // Far: the opposite branch over a jump (a FOR loop counts before it jumps).
  if (op == Op::FORUP || op == Op::FORDN) {
    const bool up = op == Op::FORUP;
    Emit(Op::BLE, up ? b : a, up ? a : b, 3);
    Emit(Op::ADDAK, a, a, up ? 1 : 0xFFFF);
  } else {
    const Op opposite = Opposite(op, a, b);
    Emit(opposite, a, b, 2);
  }
  EmitI(Op::JMP, 0, target);
}

void Assembler::EmitI(Op op, std::uint16_t a, Label target) {
  fixups_.push_back(Fixup{Here(), target.id, true, 0});
  Emit(op, a, 0, 0);
}

void Assembler::EmitK(Op op, std::uint16_t a, const std::vector<PoolWord>& constant) {
  bool plain = true;
  std::vector<std::uint64_t> values;
  for (const PoolWord& w : constant) {
    plain = plain && w.label.id < 0;
    values.push_back(w.value);
  }
  std::int32_t item = -1;
  if (plain) {
    if (auto found = plainItems_.find(values); found != plainItems_.end()) item = found->second;
  }
  if (item < 0) {
    pool_.push_back(constant);
    item = static_cast<std::int32_t>(pool_.size() - 1);
    if (plain) plainItems_.emplace(std::move(values), item);
  }
  poolUses_.push_back(PoolUse{Here(), item});
  Emit(op, a, 0, 0);
}

void Assembler::EmitK(Op op, std::uint16_t a, const std::vector<std::uint64_t>& constant) {
  std::vector<PoolWord> words;
  for (std::uint64_t v : constant) words.push_back(PoolWord{v, {}});
  EmitK(op, a, words);
}

std::vector<std::uint64_t> Assembler::StringWords(const std::string& s) {
  std::vector<std::uint64_t> words((s.size() + 8) / 8, 0);
  std::memcpy(words.data(), s.data(), s.size());
  return words;
}

bool Assembler::Finish(std::uint16_t variables, std::vector<std::uint64_t>& code,
                       std::string& error, std::uint16_t flags) {
  tooFar_.clear();
  std::size_t poolWords = 0;
  for (const std::vector<PoolWord>& item : pool_) poolWords += item.size();
  if (moved_ == 0 && code_.size() + poolWords > kSmallWords) {
    // The large layout: a word for the numbers of words after the header.
    moved_ = 1;
    code_.insert(code_.begin() + Vm::kHeaderWords, 0);
    for (std::int64_t& l : labels_)
      if (l >= Vm::kHeaderWords) ++l;
    for (Fixup& f : fixups_) ++f.at;
    for (PoolUse& u : poolUses_) ++u.at;
    for (std::size_t at = Vm::kLargeHeaderWords; at < code_.size();) {
      const int op = static_cast<int>(code_[at] & 0xFF);
      if (op >= Vm::kOpCount || at + Vm::kOpWords[op] > code_.size()) break;
      if (static_cast<Op>(op) == Op::ENTER) Vm::SetEnterWord(code_[at], code_[at + 1], at);
      at += Vm::kOpWords[op];
    }
  }
  code = code_;
  std::vector<std::uint32_t> placed(pool_.size());
  for (std::size_t i = 0; i < pool_.size(); ++i) {
    placed[i] = static_cast<std::uint32_t>(code.size());
    for (const PoolWord& w : pool_[i]) code.push_back(w.value);
  }
  if (code.size() > kMaxWords) {
    error = "more than 256 MB of code (split the module)";
    return false;
  }
  if (moved_ != 0) {
    code[1] = static_cast<std::uint64_t>(variables) << 32 |
              static_cast<std::uint64_t>(flags | Vm::kLargeCode) << 48;
    code[2] = static_cast<std::uint64_t>(code.size()) | static_cast<std::uint64_t>(code_.size())
                                                            << 32;
  } else {
    code[1] = static_cast<std::uint64_t>(code.size()) |
              static_cast<std::uint64_t>(code_.size()) << 16 |
              static_cast<std::uint64_t>(variables) << 32 | static_cast<std::uint64_t>(flags) << 48;
  }
  const auto setI = [&](std::uint32_t at, std::int64_t distance) {
    code[at] = (code[at] & 0xFFFFFFFFull) |
               static_cast<std::uint64_t>(static_cast<std::uint32_t>(distance)) << 32;
  };
  for (const Fixup& f : fixups_) {
    if (labels_[f.label] < 0) {
      error = "label not placed";
      return false;
    }
    const std::int64_t distance = labels_[f.label] - static_cast<std::int64_t>(f.at);
    if (f.wide) {
      setI(f.at, distance);
    } else if (distance < -32768 || distance > 32767) {
      tooFar_.push_back(f.site);
    } else {
      code[f.at] = (code[f.at] & 0x0000FFFFFFFFFFFFull) |
                   static_cast<std::uint64_t>(static_cast<std::uint16_t>(distance)) << 48;
    }
  }
  if (!tooFar_.empty()) {
    error = "branch too far";
    return false;
  }
  for (const PoolUse& u : poolUses_) {
    setI(u.at, static_cast<std::int64_t>(placed[u.item]) - u.at);
    // Label words of a constant count from the instruction that uses it.
    for (std::size_t k = 0; k < pool_[u.item].size(); ++k) {
      const Label l = pool_[u.item][k].label;
      if (l.id < 0) continue;
      if (labels_[l.id] < 0) {
        error = "label not placed";
        return false;
      }
      code[placed[u.item] + k] = static_cast<std::uint64_t>(labels_[l.id] - u.at);
    }
  }
  return true;
}

namespace {

using Vm::Extension;
using Vm::Operand;

// An operand of the instruction word w at word at, by its kind: slots as sN, targets in
// the code as ->N (branches, procedures) or @N (constants, tables), numbers as they are.
std::string OperandText(Operand kind, std::uint64_t w, std::uint16_t field, std::uint32_t at) {
  const std::int64_t i = Vm::FieldI(w);
  char text[32] = "";
  switch (kind) {
  case Operand::None:
    break;
  case Operand::Slot:
    std::snprintf(text, sizeof text, "s%u", field);
    break;
  case Operand::Marked:
    std::snprintf(text, sizeof text, "s%u", field & ~Vm::kEntryMark & 0xFFFF);
    break;
  case Operand::Number:
    std::snprintf(text, sizeof text, "%u", field);
    break;
  case Operand::Small:
    std::snprintf(text, sizeof text, "%d", static_cast<std::int16_t>(field));
    break;
  case Operand::Branch:
    std::snprintf(text, sizeof text, "->%lld",
                  static_cast<long long>(at + static_cast<std::int16_t>(field)));
    break;
  case Operand::Imm:
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(i));
    break;
  case Operand::Jump:
  case Operand::Proc:
    std::snprintf(text, sizeof text, "->%lld", static_cast<long long>(at + i));
    break;
  case Operand::Const:
  case Operand::Pair:
  case Operand::Table:
    std::snprintf(text, sizeof text, "@%lld", static_cast<long long>(at + i));
    break;
  }
  return text;
}

// An extension word by its kind.
std::string ExtensionText(Extension kind, std::uint64_t x) {
  char text[48] = "";
  switch (kind) {
  case Extension::None:
    break;
  case Extension::Word:
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(x));
    break;
  case Extension::Bounds:
    std::snprintf(text, sizeof text, "low %d length %u", static_cast<std::int32_t>(x),
                  static_cast<std::uint32_t>(x >> 32));
    break;
  case Extension::Frame:
    std::snprintf(text, sizeof text, "slots %u memory %u", static_cast<unsigned>(x & 0xFFFF),
                  static_cast<std::uint32_t>(x >> 32));
    break;
  }
  return text;
}

} // namespace

std::string Disassemble(const std::vector<std::uint64_t>& code, std::uint32_t from,
                        std::uint32_t to) {
  std::string text;
  for (std::uint32_t at = from; at < to && at < code.size();) {
    const std::uint64_t w = code[at];
    const int op = static_cast<int>(w & 0xFF);
    char head[48];
    if (op >= Vm::kOpCount || at + Vm::kOpWords[op] > code.size()) {
      std::snprintf(head, sizeof head, "%5u  .word %016llx\n", at,
                    static_cast<unsigned long long>(w));
      text += head;
      ++at;
      continue;
    }
    std::snprintf(head, sizeof head, "%5u  %-8s", at, Vm::kOpNames[op]);
    std::string line = head;
    const Vm::Fields& f = Vm::kOpFields[op];
    const char* separator = " ";
    for (const auto& [kind, field] : {std::pair{f.a, Vm::FieldA(w)}, std::pair{f.b, Vm::FieldB(w)},
                                      std::pair{f.c, Vm::FieldC(w)}}) {
      if (kind == Operand::None) continue;
      line += separator + OperandText(kind, w, field, at);
      separator = ", ";
    }
    for (int k = 0; k < 2 && f.ext[k] != Extension::None; ++k)
      line += "  " + ExtensionText(f.ext[k], code[at + 1 + k]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
    at += Vm::kOpWords[op];
  }
  return text;
}

} // namespace Asm
