#include "debug/Inspect.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "vm/Object.h"

namespace Inspect {

namespace {

using Object::SymbolType;
using Object::SymbolVariable;
using Object::TypeKind;
using Object::Where;
using u64 = std::uint64_t;
using i64 = std::int64_t;

constexpr char kInvalid[] = "invalid address";
constexpr char kNoSymbols[] = "No symbol information.";
constexpr char kOutOfRange[] = "Value out of range.";
constexpr char kIndexRange[] = "Index out of range.";
constexpr char kNil[] = "NIL dereference.";
constexpr char kOverflow[] = "Overflow.";
constexpr char kZero[] = "Division by zero.";
constexpr char kMismatch[] = "Incompatible types.";
constexpr char kSyntax[] = "Syntax error.";
constexpr char kTooComplex[] = "Expression too complex.";
constexpr char kUnknown[] = "Unknown name: ";
constexpr char kNotVariable[] = "Not a variable.";
constexpr char kCannotAssign[] = "Only numbers, CHAR, BOOLEAN and enumerations can be changed.";

constexpr std::size_t kSummaryElements = 8;
constexpr std::size_t kSummaryChars = 64;
constexpr std::size_t kMaxCompared = std::size_t{1} << 20; // characters of a string compared
constexpr int kMaxDepth = 64; // of nested scopes, subranges and expressions

// The symbols of one installed module, kept while the workstation runs: the values
// handed out point at them.
struct Module {
  Modules::Ref ref = nullptr;
  u64 table = 0;
  std::vector<std::uint8_t> extra;
  Object::DebugInfo info;
};

struct State {
  std::vector<std::unique_ptr<Module>> modules;
};
State state;

const Module* SymbolsOf(Modules::Ref ref) {
  if (ref == nullptr) return nullptr;
  const Modules::ModuleInfo mi = Modules::Info(ref);
  if (mi.table == nullptr || mi.image == nullptr) return nullptr;
  const std::uint8_t* extra =
      mi.table + static_cast<std::ptrdiff_t>(mi.procedureCount + mi.slotCount) * 8;
  const std::uint8_t* end = mi.image + mi.imageSize;
  if (extra >= end) return nullptr;
  const auto size = static_cast<std::size_t>(end - extra);
  const u64 table = reinterpret_cast<u64>(mi.table);
  for (const auto& m : state.modules)
    if (m->ref == ref && m->table == table && m->extra.size() == size &&
        std::memcmp(m->extra.data(), extra, size) == 0)
      return m->info.symbols.present ? m.get() : nullptr;
  auto m = std::make_unique<Module>();
  m->ref = ref;
  m->table = table;
  m->extra.assign(extra, end);
  m->info.procedures.assign(static_cast<std::size_t>(mi.procedureCount), std::string());
  Object::DecodeDebugInfo(m->extra.data(), size, m->info);
  state.modules.push_back(std::move(m));
  return state.modules.back()->info.symbols.present ? state.modules.back().get() : nullptr;
}

// ---- Memory ----

// Whether [address, address + n) lies in writable mappings of the process.
bool Writable(u64 address, std::size_t n) {
  FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) return false;
  char line[512];
  u64 covered = address;
  while (covered < address + n && std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long long start = 0, end = 0;
    char perms[5] = {};
    if (std::sscanf(line, "%llx-%llx %4s", &start, &end, perms) != 3) continue;
    if (start <= covered && covered < end && perms[1] == 'w') covered = end;
  }
  std::fclose(maps);
  return covered >= address + n;
}

// Copies n bytes from address, or to it; false when any of them cannot be read (or
// written): the kernel checks, so a wild pointer costs an error, not the workstation.
// Where the system refuses the direct call, the process's memory file does the same;
// as that file writes even where the program may not, a write checks the mappings.
bool Transfer(u64 address, void* local, std::size_t n, bool write) {
  if (n == 0) return true;
  if (address == 0 || address + n < address) return false;
  iovec mine{local, n}, theirs{reinterpret_cast<void*>(address), n};
  const ssize_t done = write ? process_vm_writev(getpid(), &mine, 1, &theirs, 1, 0)
                             : process_vm_readv(getpid(), &mine, 1, &theirs, 1, 0);
  if (done == static_cast<ssize_t>(n)) return true;
  if (done >= 0 || (errno != ENOSYS && errno != EPERM)) return false;
  static const int memory = open("/proc/self/mem", O_RDWR | O_CLOEXEC);
  if (memory < 0 || address > static_cast<u64>(INT64_MAX)) return false;
  const auto at = static_cast<off_t>(address);
  if (write) return Writable(address, n) && pwrite(memory, local, n, at) == static_cast<ssize_t>(n);
  return pread(memory, local, n, at) == static_cast<ssize_t>(n);
}
bool Read(u64 address, void* to, std::size_t n) { return Transfer(address, to, n, false); }
bool Write(u64 address, const void* from, std::size_t n) {
  return Transfer(address, const_cast<void*>(from), n, true);
}
bool ReadWord(u64 address, u64& word) { return Read(address, &word, 8); }

// ---- Types ----

SymbolType Builtin(TypeKind kind, const char* name, i64 size, i64 low = 0, i64 high = 0) {
  SymbolType t;
  t.kind = kind;
  t.name = name;
  t.size = size;
  t.low = low;
  t.high = high;
  return t;
}
const SymbolType kIntegerType = Builtin(TypeKind::Integer, "INTEGER", 4, INT32_MIN, INT32_MAX);
const SymbolType kLongIntType = Builtin(TypeKind::LongInt, "LONGINT", 8, INT64_MIN, INT64_MAX);
const SymbolType kCardinalType = Builtin(TypeKind::Cardinal, "CARDINAL", 4, 0, UINT32_MAX);
const SymbolType kBooleanType = Builtin(TypeKind::Boolean, "BOOLEAN", 1, 0, 1);
const SymbolType kCharType = Builtin(TypeKind::Char, "CHAR", 1, 0, 255);
const SymbolType kRealType = Builtin(TypeKind::Real, "REAL", 8);
const SymbolType kNilType = Builtin(TypeKind::Address, "NIL", 8);

const SymbolType* TypeAt(const Module* m, std::int32_t n) {
  if (m == nullptr || n < 0 || static_cast<std::size_t>(n) >= m->info.symbols.types.size())
    return nullptr;
  return &m->info.symbols.types[static_cast<std::size_t>(n)];
}
std::int32_t NumberOf(const Module* m, const SymbolType* t) {
  if (m == nullptr || t == nullptr) return -1;
  const auto& types = m->info.symbols.types;
  if (types.empty() || t < types.data() || t >= types.data() + types.size()) return -1;
  return static_cast<std::int32_t>(t - types.data());
}
// A subrange's base type, the type itself otherwise.
const SymbolType* BaseOf(const Module* m, const SymbolType* t) {
  for (int i = 0; t != nullptr && t->kind == TypeKind::Subrange && i < kMaxDepth; ++i)
    t = TypeAt(m, t->base);
  return t;
}
bool IsIntegerKind(TypeKind k) {
  return k == TypeKind::Integer || k == TypeKind::Cardinal || k == TypeKind::LongInt ||
         k == TypeKind::LongCard || k == TypeKind::Word || k == TypeKind::Byte ||
         k == TypeKind::Address;
}
bool IsSignedKind(TypeKind k) { return k == TypeKind::Integer || k == TypeKind::LongInt; }
bool IsRealKind(TypeKind k) { return k == TypeKind::Real || k == TypeKind::LongReal; }
bool IsScalarKind(TypeKind k) {
  return k != TypeKind::Array && k != TypeKind::OpenArray && k != TypeKind::Record;
}

// A scalar value as read: an integer (unsigned ones as their bits) or a real.
struct Num {
  bool real = false;
  i64 i = 0;
  double r = 0;
};

Num FromBytes(const Module* m, const SymbolType* t, const std::uint8_t* bytes, std::size_t size) {
  Num n;
  u64 raw = 0;
  std::memcpy(&raw, bytes, std::min<std::size_t>(size, 8));
  const SymbolType* b = BaseOf(m, t);
  const TypeKind k = b != nullptr ? b->kind : TypeKind::Cardinal;
  if (IsRealKind(k)) {
    n.real = true;
    std::memcpy(&n.r, &raw, 8);
    return n;
  }
  if (IsSignedKind(k) && size < 8 && size > 0) {
    const int shift = static_cast<int>(64 - size * 8);
    n.i = static_cast<i64>(raw << shift) >> shift;
  } else {
    n.i = static_cast<i64>(raw);
  }
  return n;
}

std::string Hex(u64 v) {
  char s[24];
  auto [end, ec] = std::to_chars(s, s + sizeof s, v, 16);
  std::string text(s, end);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!text.empty() && !std::isdigit(static_cast<unsigned char>(text[0]))) text = "0" + text;
  return text + "H";
}
std::string CharText(i64 c) {
  if (c >= 32 && c < 127)
    return "'" + std::string(1, static_cast<char>(c)) + "' (" + std::to_string(c) + ")";
  char s[24];
  auto [end, ec] = std::to_chars(s, s + sizeof s, static_cast<u64>(c) & 0xFF, 8);
  return std::string(s, end) + "C";
}
std::string RealText(double r) {
  char s[40];
  auto [end, ec] = std::to_chars(s, s + sizeof s, r);
  std::string text(s, end);
  if (text.find_first_of(".ein") == std::string::npos) text += ".0";
  return text;
}

// The text of an ordinal value of type t (its base type's form).
std::string OrdinalText(const Module* m, const SymbolType* t, i64 v) {
  const SymbolType* b = BaseOf(m, t);
  if (b == nullptr) return std::to_string(v);
  switch (b->kind) {
  case TypeKind::Char:
    return CharText(v);
  case TypeKind::Boolean:
    return v == 0 ? "FALSE" : v == 1 ? "TRUE" : std::to_string(v);
  case TypeKind::Enumeration:
    if (v >= 0 && static_cast<std::size_t>(v) < b->constants.size())
      return b->constants[static_cast<std::size_t>(v)];
    return std::to_string(v);
  case TypeKind::Cardinal:
  case TypeKind::LongCard:
  case TypeKind::Word:
  case TypeKind::Byte:
    return std::to_string(static_cast<u64>(v));
  default:
    return std::to_string(v);
  }
}

std::string SetText(const Module* m, const SymbolType* t, const std::uint8_t* bytes) {
  const SymbolType* element = t->kind == TypeKind::Bitset ? &kCardinalType : TypeAt(m, t->base);
  const auto bits = static_cast<i64>(t->size) * 8;
  const auto has = [&](i64 k) { return k < bits && (bytes[k / 8] >> (k % 8) & 1) != 0; };
  std::string text = "{";
  for (i64 k = 0; k < bits; ++k) {
    if (!has(k)) continue;
    i64 last = k;
    while (has(last + 1)) ++last;
    if (text.size() > 1) text += ", ";
    text += OrdinalText(m, element, t->low + k);
    if (last > k) text += (last == k + 1 ? ", " : "..") + OrdinalText(m, element, t->low + last);
    k = last;
  }
  return text + "}";
}

std::string ProcedureText(const Module* m, u64 v) {
  if (v == 0) return "NIL";
  const auto named = [v](Modules::Ref ref, const Object::DebugInfo* info) -> std::string {
    const Modules::ModuleInfo mi = Modules::Info(ref);
    if (mi.table == nullptr) return "";
    for (std::int32_t n = 1; n < mi.procedureCount; ++n) {
      u64 entry;
      std::memcpy(&entry, mi.table + n * 8, 8);
      if (entry != v) continue;
      char name[17];
      Modules::Name(ref, name);
      if (info != nullptr && static_cast<std::size_t>(n) < info->procedures.size() &&
          !info->procedures[static_cast<std::size_t>(n)].empty())
        return info->procedures[static_cast<std::size_t>(n)];
      return std::string(name) + "." + std::to_string(n);
    }
    return "";
  };
  std::string name = named(m->ref, &m->info);
  if (name.empty())
    Modules::ForEachImport(m->ref, [&](Modules::Ref, Modules::Ref imported, Modules::LinkStatus) {
      if (!name.empty() || imported == nullptr) return;
      const Module* im = SymbolsOf(imported);
      name = named(imported, im != nullptr ? &im->info : nullptr);
      if (!name.empty() && name.find('.') == std::string::npos) {
        char module[17];
        Modules::Name(imported, module);
        name = std::string(module) + "." + name;
      }
    });
  return name.empty() ? Hex(v) : name;
}

// How many elements an array value has, and where they begin; false for unreadable.
bool Elements(const Module* m, const SymbolType* t, u64 address, u64& data, u64& count) {
  if (t->kind == TypeKind::Array) {
    data = address;
    count = t->high >= t->low ? static_cast<u64>(t->high - t->low) + 1 : 0;
    const SymbolType* e = TypeAt(m, t->base);
    if (e != nullptr && e->size > 0)
      count = std::min<u64>(count, static_cast<u64>(t->size / e->size));
    return true;
  }
  u64 descriptor[2];
  if (!Read(address, descriptor, 16)) return false;
  data = descriptor[0];
  count = descriptor[1] + 1;
  return true;
}

bool IsCharArray(const Module* m, const SymbolType* t) {
  const SymbolType* e = BaseOf(m, TypeAt(m, t->base));
  return (t->kind == TypeKind::Array || t->kind == TypeKind::OpenArray) && e != nullptr &&
         e->kind == TypeKind::Char;
}

// The characters of a character array up to its first 0C (count at most).
bool ArrayString(u64 data, u64 count, std::string& s, std::size_t limit) {
  s.clear();
  char buffer[256];
  for (u64 at = 0; at < count && s.size() < limit;) {
    const std::size_t n = static_cast<std::size_t>(std::min<u64>(count - at, sizeof buffer));
    if (!Read(data + at, buffer, n)) return false;
    for (std::size_t i = 0; i < n; ++i) {
      if (buffer[i] == 0) return true;
      s += buffer[i];
    }
    at += n;
  }
  return true;
}

std::string Show(const Module* m, const SymbolType* t, u64 address, int depth,
                 std::size_t* children);

std::string ArrayText(const Module* m, const SymbolType* t, u64 address, int depth,
                      std::size_t* children) {
  u64 data = 0, count = 0;
  if (!Elements(m, t, address, data, count)) return kInvalid;
  if (children != nullptr) *children = static_cast<std::size_t>(count);
  const std::string high =
      t->kind == TypeKind::OpenArray ? " (HIGH " + std::to_string(count - 1) + ")" : "";
  if (IsCharArray(m, t)) {
    std::string s;
    if (!ArrayString(data, count, s, kSummaryChars)) return kInvalid;
    std::string text = "\"";
    for (char c : s) text += c >= 32 && c < 127 ? c : '?';
    return text + (s.size() >= kSummaryChars ? "...\"" : "\"") + high;
  }
  if (depth > 0) return "[...]" + high;
  const SymbolType* e = TypeAt(m, t->base);
  if (e == nullptr) return "[...]" + high;
  std::string text = "[";
  for (u64 i = 0; i < count && i < kSummaryElements; ++i) {
    if (i > 0) text += ", ";
    text += Show(m, e, data + i * static_cast<u64>(e->size), depth + 1, nullptr);
  }
  if (count > kSummaryElements) text += ", ...";
  return text + "]" + high;
}

std::string RecordText(const Module* m, const SymbolType* t, u64 address, int depth,
                       std::size_t* children) {
  if (children != nullptr) *children = t->fields.size();
  if (depth > 0) return "(...)";
  std::string text = "(";
  for (std::size_t i = 0; i < t->fields.size() && i < kSummaryElements / 2; ++i) {
    const Object::SymbolField& f = t->fields[i];
    if (i > 0) text += ", ";
    const SymbolType* ft = TypeAt(m, f.type);
    text += f.name + " = " +
            (ft != nullptr ? Show(m, ft, address + static_cast<u64>(f.offset), depth + 1, nullptr)
                           : "?");
  }
  if (t->fields.size() > kSummaryElements / 2) text += ", ...";
  return text + ")";
}

// The value of type t at address as the user reads it; children receives the number of
// fields or elements it unfolds into.
std::string Show(const Module* m, const SymbolType* t, u64 address, int depth,
                 std::size_t* children) {
  if (children != nullptr) *children = 0;
  if (t == nullptr) return "?";
  if (t->kind == TypeKind::Array || t->kind == TypeKind::OpenArray)
    return ArrayText(m, t, address, depth, children);
  if (t->kind == TypeKind::Record) return RecordText(m, t, address, depth, children);
  std::uint8_t bytes[32] = {};
  const auto size = static_cast<std::size_t>(std::clamp<i64>(t->size, 0, 32));
  if (!Read(address, bytes, size)) return kInvalid;
  const SymbolType* b = BaseOf(m, t);
  if (b == nullptr) return "?";
  const Num n = FromBytes(m, t, bytes, size);
  switch (b->kind) {
  case TypeKind::Real:
  case TypeKind::LongReal:
    return RealText(n.r);
  case TypeKind::Set:
  case TypeKind::Bitset:
    return SetText(m, b, bytes);
  case TypeKind::Pointer:
    if (children != nullptr && n.i != 0 && TypeAt(m, b->base) != nullptr) *children = 1;
    [[fallthrough]];
  case TypeKind::Opaque:
    return n.i == 0 ? "NIL" : Hex(static_cast<u64>(n.i));
  case TypeKind::Address:
    return Hex(static_cast<u64>(n.i));
  case TypeKind::Procedure:
    return ProcedureText(m, static_cast<u64>(n.i));
  default:
    return OrdinalText(m, t, n.i);
  }
}

Value MakeValue(const Module* m, std::string name, const SymbolType* t, u64 address) {
  Value v;
  v.name = std::move(name);
  v.type = t != nullptr ? t->name : "?";
  v.text = Show(m, t, address, 0, &v.children);
  v.address = address;
  v.typeId = NumberOf(m, t);
  v.symbols = m;
  return v;
}

// ---- Variables of frames ----

const Object::Scope* ScopeAt(const Module* m, std::uint32_t word, std::int32_t& number) {
  const auto& scopes = m->info.symbols.scopes;
  for (std::size_t i = 0; i < scopes.size(); ++i)
    if (scopes[i].first <= word && word < scopes[i].end) {
      number = static_cast<std::int32_t>(i);
      return &scopes[i];
    }
  return nullptr;
}

// Where variable n of scope (-1: the module's) lies, for a frame whose slot 0 is fp, seen
// from the running frame; whole: the variable is a whole slot of the frame.
bool Locate(const Module* m, const Vm::Debug::Frame& running, u64 fp, std::int32_t scope,
            std::uint32_t n, const SymbolVariable& v, u64& address, bool& whole) {
  whole = false;
  for (const Object::Alias& a : m->info.symbols.aliases) {
    if (a.first > running.word) break;
    if (running.word < a.end && a.scope == scope && a.variable == n) {
      address = reinterpret_cast<u64>(running.fp) + u64{a.slot} * 8;
      whole = true;
      return true;
    }
  }
  const u64 slot = fp + static_cast<u64>(v.at) * 8;
  switch (v.where) {
  case Where::Slot:
    address = slot;
    whole = true;
    return true;
  case Where::SlotAddress:
    return ReadWord(slot, address);
  case Where::OpenArray:
    address = slot;
    return true;
  case Where::Frame:
    address = fp + static_cast<u64>(v.at);
    return true;
  case Where::Global:
    address = running.table + static_cast<u64>(v.at);
    return true;
  case Where::External: {
    u64 block = 0;
    if (!ReadWord(running.table + static_cast<u64>(m->info.symbols.data), block)) return false;
    address = block + static_cast<u64>(v.at);
    return true;
  }
  default:
    return false;
  }
}

Value VariableValue(const Module* m, const Vm::Debug::Frame& frame, u64 fp, std::int32_t scope,
                    std::uint32_t n, const SymbolVariable& v) {
  u64 address = 0;
  bool whole = false;
  if (!Locate(m, frame, fp, scope, n, v, address, whole)) {
    Value value;
    value.name = v.name;
    const SymbolType* t = TypeAt(m, v.type);
    value.type = t != nullptr ? t->name : "?";
    value.text = kInvalid;
    return value;
  }
  return MakeValue(m, v.name, TypeAt(m, v.type), address);
}

// ---- Expressions ----

// An operand: a designated variable (its address), or a value computed.
struct Item {
  const SymbolType* type = nullptr;
  bool designator = false;
  u64 address = 0;
  bool whole = false; // a whole frame slot: a store writes all of its 8 bytes
  Num num;
  std::string string; // a string constant (type nullptr)
  bool isString = false;
};

Item Computed(const SymbolType* t, i64 i = 0) {
  Item x;
  x.type = t;
  x.num.i = i;
  return x;
}
Item Designated(const SymbolType* t, u64 address) {
  Item x;
  x.type = t;
  x.designator = true;
  x.address = address;
  return x;
}

class Parser {
public:
  Parser(const Module* m, const Vm::Debug::Frame& f, std::string_view text)
      : m_(m), frame_(f), text_(text) {}

  bool Parse(Item& item) {
    if (!Expression(item, 0)) return false;
    Skip();
    if (at_ < text_.size()) return Fail(kSyntax);
    return true;
  }
  bool Load(Item& item);
  const std::string& Error() const { return error_; }
  const Module* Symbols() const { return m_; }

private:
  const Module* m_;
  const Vm::Debug::Frame& frame_;
  std::string_view text_;
  std::size_t at_ = 0;
  std::string error_;
  int dry_ = 0; // inside an operand that AND or OR already decided: read nothing

  bool Fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
  }
  void Skip() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  }
  bool Peek(std::string_view s) {
    Skip();
    return text_.substr(at_, s.size()) == s;
  }
  bool Accept(std::string_view s) {
    if (!Peek(s)) return false;
    if (std::isalpha(static_cast<unsigned char>(s[0])) && at_ + s.size() < text_.size() &&
        (std::isalnum(static_cast<unsigned char>(text_[at_ + s.size()])) ||
         text_[at_ + s.size()] == '_'))
      return false;
    at_ += s.size();
    return true;
  }
  std::string Ident() {
    Skip();
    const std::size_t start = at_;
    if (at_ < text_.size() &&
        (std::isalpha(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_'))
      while (at_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_'))
        ++at_;
    return std::string(text_.substr(start, at_ - start));
  }

  bool Expression(Item& item, int depth);
  bool Simple(Item& item, int depth);
  bool Term(Item& item, int depth);
  bool Factor(Item& item, int depth);
  bool Number(Item& item);
  bool Name(Item& item, int depth);
  bool Function(const std::string& name, Item& item, int depth);
  bool Selectors(Item& item, int depth);
  bool Variable(const std::string& name, Item& item);
  bool Arithmetic(char op, Item& left, Item& right);
  bool Relation(const std::string& op, Item& left, Item& right);
  bool Ordinal(Item& item) {
    if (!Load(item)) return false;
    const SymbolType* b = BaseOf(m_, item.type);
    if (b == nullptr || item.num.real ||
        !(IsIntegerKind(b->kind) || b->kind == TypeKind::Char || b->kind == TypeKind::Boolean ||
          b->kind == TypeKind::Enumeration))
      return Fail(kMismatch);
    return true;
  }
  bool Boolean(Item& item) {
    if (!Load(item)) return false;
    const SymbolType* b = BaseOf(m_, item.type);
    if (b == nullptr || b->kind != TypeKind::Boolean) return Fail(kMismatch);
    return true;
  }
};

// The scalar value of an item into num; a string of one character is a CHAR.
bool Parser::Load(Item& item) {
  if (item.isString) {
    if (item.string.size() != 1) return Fail(kMismatch);
    item = Computed(&kCharType, static_cast<unsigned char>(item.string[0]));
    return true;
  }
  if (!item.designator) return true;
  const SymbolType* b = BaseOf(m_, item.type);
  if (b == nullptr || !IsScalarKind(b->kind) || item.type->size > 8) return Fail(kMismatch);
  std::uint8_t bytes[8] = {};
  const auto size = static_cast<std::size_t>(item.type->size);
  if (dry_ == 0 && !Read(item.address, bytes, size)) return Fail(kInvalid);
  item.num = FromBytes(m_, item.type, bytes, size);
  item.designator = false;
  return true;
}

bool Parser::Expression(Item& item, int depth) {
  if (depth > kMaxDepth) return Fail(kTooComplex);
  if (!Simple(item, depth)) return false;
  for (const char* op : {"<=", ">=", "<>", "=", "#", "<", ">"}) {
    if (!Accept(op)) continue;
    Item right;
    return Simple(right, depth) && Relation(op, item, right);
  }
  return true;
}

bool Parser::Simple(Item& item, int depth) {
  const bool minus = Accept("-");
  if (!minus) Accept("+");
  if (!Term(item, depth)) return false;
  if (minus) {
    Item zero = Computed(item.type);
    if (!Load(item)) return false;
    zero.num.real = item.num.real;
    if (!Arithmetic('-', zero, item)) return false;
    item = zero;
  }
  for (;;) {
    char op = 0;
    if (Accept("+"))
      op = '+';
    else if (Accept("-"))
      op = '-';
    else if (Accept("OR"))
      op = 'O';
    else
      return true;
    if (op == 'O') {
      if (!Boolean(item)) return false;
      const bool decided = item.num.i != 0;
      Item right;
      dry_ += decided;
      const bool ok = Term(right, depth) && Boolean(right);
      dry_ -= decided;
      if (!ok) return false;
      item.num.i = item.num.i != 0 || right.num.i != 0;
      continue;
    }
    Item right;
    if (!Term(right, depth) || !Arithmetic(op, item, right)) return false;
  }
}

bool Parser::Term(Item& item, int depth) {
  if (!Factor(item, depth)) return false;
  for (;;) {
    char op = 0;
    if (Accept("*"))
      op = '*';
    else if (Accept("/"))
      op = '/';
    else if (Accept("DIV"))
      op = 'D';
    else if (Accept("MOD"))
      op = 'M';
    else if (Accept("AND") || Accept("&"))
      op = 'A';
    else
      return true;
    if (op == 'A') {
      if (!Boolean(item)) return false;
      const bool decided = item.num.i == 0;
      Item right;
      dry_ += decided;
      const bool ok = Factor(right, depth) && Boolean(right);
      dry_ -= decided;
      if (!ok) return false;
      item.num.i = item.num.i != 0 && right.num.i != 0;
      continue;
    }
    Item right;
    if (!Factor(right, depth) || !Arithmetic(op, item, right)) return false;
  }
}

bool Parser::Factor(Item& item, int depth) {
  if (depth > kMaxDepth) return Fail(kTooComplex);
  Skip();
  if (at_ >= text_.size()) return Fail(kSyntax);
  const char c = text_[at_];
  if (Accept("(")) {
    if (!Expression(item, depth + 1)) return false;
    return Accept(")") ? Selectors(item, depth) : Fail(kSyntax);
  }
  if (Accept("NOT") || Accept("~")) {
    if (!Factor(item, depth + 1) || !Boolean(item)) return false;
    item.num.i = item.num.i == 0;
    return true;
  }
  if (c == '"' || c == '\'') {
    const std::size_t end = text_.find(c, at_ + 1);
    if (end == std::string_view::npos) return Fail(kSyntax);
    item = Item{};
    item.isString = true;
    item.string = std::string(text_.substr(at_ + 1, end - at_ - 1));
    at_ = end + 1;
    return true;
  }
  if (std::isdigit(static_cast<unsigned char>(c))) return Number(item);
  return Name(item, depth);
}

// A number as the language writes them: 42, 2AH, 17B, 101C (a character), 1.5E3.
bool Parser::Number(Item& item) {
  const std::size_t start = at_;
  while (at_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
  std::string digits(text_.substr(start, at_ - start));
  item = Computed(&kIntegerType);
  const auto integer = [&](const std::string& s, int radix, i64& v) {
    u64 value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, radix);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return Fail(kSyntax);
    v = static_cast<i64>(value);
    return true;
  };
  const bool octal = digits.size() > 1 && digits.find_first_not_of("01234567") == digits.size() - 1;
  if (at_ < text_.size() && text_[at_] == 'H') {
    ++at_;
    if (!integer(digits, 16, item.num.i)) return false;
  } else if (octal && digits.back() == 'C') {
    if (!integer(digits.substr(0, digits.size() - 1), 8, item.num.i)) return false;
    if (item.num.i > 255) return Fail(kOutOfRange);
    item.type = &kCharType;
  } else if (octal && digits.back() == 'B') {
    if (!integer(digits.substr(0, digits.size() - 1), 8, item.num.i)) return false;
  } else if (at_ < text_.size() && text_[at_] == '.' && text_.substr(at_, 2) != "..") {
    ++at_;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
    if (at_ < text_.size() && text_[at_] == 'E') {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    std::string s(text_.substr(start, at_ - start));
    for (char& ch : s)
      if (ch == 'E') ch = 'e';
    double r = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), r);
    if (ec != std::errc() || end != s.data() + s.size()) return Fail(kSyntax);
    item.type = &kRealType;
    item.num = Num{true, 0, r};
  } else if (!integer(digits, 10, item.num.i)) {
    return false;
  }
  if (!item.num.real && item.type == &kIntegerType && item.num.i > INT32_MAX)
    item.type = &kLongIntType;
  return true;
}

bool Parser::Name(Item& item, int depth) {
  const std::string name = Ident();
  if (name.empty()) return Fail(kSyntax);
  if (name == "TRUE" || name == "FALSE") {
    item = Computed(&kBooleanType, name == "TRUE");
    return true;
  }
  if (name == "NIL") {
    item = Computed(&kNilType);
    return true;
  }
  if (Peek("(") &&
      (name == "ORD" || name == "CHR" || name == "ODD" || name == "ABS" || name == "HIGH"))
    return Function(name, item, depth);
  if (Variable(name, item)) return Selectors(item, depth);
  if (!error_.empty()) return false;
  for (const SymbolType& t : m_->info.symbols.types) {
    if (t.kind != TypeKind::Enumeration) continue;
    for (std::size_t i = 0; i < t.constants.size(); ++i)
      if (t.constants[i] == name) {
        item = Computed(&t, static_cast<i64>(i));
        return true;
      }
  }
  return Fail(kUnknown + name);
}

// The variable of that name the frame sees: its own, its outer procedures' (through the
// static links), its module's.
bool Parser::Variable(const std::string& name, Item& item) {
  const Object::Symbols& s = m_->info.symbols;
  std::int32_t scope = -1;
  const Object::Scope* c = ScopeAt(m_, frame_.word, scope);
  u64 fp = reinterpret_cast<u64>(frame_.fp);
  const auto found = [&](std::int32_t in, std::uint32_t n, const SymbolVariable& v) {
    item = Designated(TypeAt(m_, v.type), 0);
    if (item.type == nullptr) return Fail(kNoSymbols);
    if (!Locate(m_, frame_, fp, in, n, v, item.address, item.whole)) return Fail(kInvalid);
    return true;
  };
  for (int depth = 0; c != nullptr && depth < kMaxDepth; ++depth) {
    for (std::uint32_t n = 0; n < c->variables.size(); ++n)
      if (c->variables[n].name == name) return found(scope, n, c->variables[n]);
    if (c->outer < 0 || c->staticLink < 0) break;
    if (!ReadWord(fp + static_cast<u64>(c->staticLink) * 8, fp)) return Fail(kInvalid);
    scope = c->outer;
    c = &s.scopes[static_cast<std::size_t>(scope)];
  }
  for (std::uint32_t n = 0; n < s.globals.size(); ++n)
    if (s.globals[n].name == name) return found(-1, n, s.globals[n]);
  return false;
}

bool Parser::Function(const std::string& name, Item& item, int depth) {
  Accept("(");
  if (!Expression(item, depth + 1) || !Accept(")")) return error_.empty() ? Fail(kSyntax) : false;
  if (name == "HIGH") {
    const SymbolType* t = item.type;
    if (!item.designator || t == nullptr ||
        (t->kind != TypeKind::Array && t->kind != TypeKind::OpenArray))
      return Fail(kMismatch);
    u64 data = 0, count = 0;
    if (dry_ == 0 && !Elements(m_, t, item.address, data, count)) return Fail(kInvalid);
    const i64 high = t->kind == TypeKind::Array ? t->high : static_cast<i64>(count) - 1;
    item = Computed(t->kind == TypeKind::Array ? TypeAt(m_, t->index) : &kCardinalType);
    if (item.type == nullptr) item.type = &kIntegerType;
    item.num.i = high;
    return true;
  }
  if (name == "ABS") {
    if (!Load(item)) return false;
    const SymbolType* b = BaseOf(m_, item.type);
    if (item.num.real) {
      item.num.r = std::abs(item.num.r);
    } else if (b != nullptr && IsIntegerKind(b->kind)) {
      if (item.num.i == INT64_MIN) return Fail(kOverflow);
      if (IsSignedKind(b->kind)) item.num.i = std::abs(item.num.i);
    } else {
      return Fail(kMismatch);
    }
    return true;
  }
  if (!Ordinal(item)) return false;
  if (name == "ORD") {
    item.type = &kCardinalType;
  } else if (name == "ODD") {
    item = Computed(&kBooleanType, (item.num.i & 1) != 0);
  } else {
    if (item.num.i < 0 || item.num.i > 255) return Fail(kOutOfRange);
    item.type = &kCharType;
  }
  return true;
}

// .field, [index, ...] and ^ after a designator.
bool Parser::Selectors(Item& item, int depth) {
  for (;;) {
    if (Accept("^")) {
      const SymbolType* b = BaseOf(m_, item.type);
      if (!item.designator || b == nullptr || b->kind != TypeKind::Pointer)
        return Fail("Not a pointer.");
      u64 target = 0;
      if (dry_ == 0 && !ReadWord(item.address, target)) return Fail(kInvalid);
      if (dry_ == 0 && target == 0) return Fail(kNil);
      item = Designated(TypeAt(m_, b->base), target);
      if (item.type == nullptr) return Fail(kNoSymbols);
      std::uint8_t probe;
      if (dry_ == 0 && !Read(target, &probe, 1)) return Fail(kInvalid);
    } else if (Peek(".") && !Peek("..")) {
      Accept(".");
      const std::string field = Ident();
      if (!item.designator || item.type == nullptr || item.type->kind != TypeKind::Record)
        return Fail("Not a record.");
      const Object::SymbolField* f = nullptr;
      for (const Object::SymbolField& candidate : item.type->fields)
        if (candidate.name == field) f = &candidate;
      if (f == nullptr) return Fail("No field " + field + ".");
      item = Designated(TypeAt(m_, f->type), item.address + static_cast<u64>(f->offset));
      if (item.type == nullptr) return Fail(kNoSymbols);
    } else if (Accept("[")) {
      do {
        const SymbolType* t = item.type;
        if (!item.designator || t == nullptr ||
            (t->kind != TypeKind::Array && t->kind != TypeKind::OpenArray))
          return Fail("Not an array.");
        Item index;
        if (!Expression(index, depth + 1) || !Ordinal(index)) return false;
        u64 data = 0, count = 0;
        if (dry_ == 0 && !Elements(m_, t, item.address, data, count)) return Fail(kInvalid);
        const i64 low = t->kind == TypeKind::Array ? t->low : 0;
        const i64 k = index.num.i - low;
        if (dry_ == 0 && (index.num.i < low || static_cast<u64>(k) >= count))
          return Fail(kIndexRange);
        const SymbolType* e = TypeAt(m_, t->base);
        if (e == nullptr) return Fail(kNoSymbols);
        item = Designated(e, data + static_cast<u64>(k) * static_cast<u64>(e->size));
      } while (Accept(","));
      if (!Accept("]")) return Fail(kSyntax);
    } else {
      return true;
    }
  }
}

// The type of a computed result of two operands: a declared one rather than a literal's.
const SymbolType* Joined(const Item& left, const Item& right) {
  const auto builtin = [](const SymbolType* t) {
    return t == &kIntegerType || t == &kLongIntType || t == &kCardinalType;
  };
  if (builtin(left.type) && !builtin(right.type) && right.type != nullptr) return right.type;
  return left.type;
}

bool Parser::Arithmetic(char op, Item& left, Item& right) {
  if (!Load(left) || !Load(right)) return false;
  const SymbolType* lb = BaseOf(m_, left.type);
  const SymbolType* rb = BaseOf(m_, right.type);
  if (lb == nullptr || rb == nullptr) return Fail(kMismatch);
  const bool lint = IsIntegerKind(lb->kind), rint = IsIntegerKind(rb->kind);
  if (left.num.real || right.num.real || op == '/') {
    if (!(left.num.real || lint) || !(right.num.real || rint)) return Fail(kMismatch);
    const double a = left.num.real ? left.num.r : static_cast<double>(left.num.i);
    const double b = right.num.real ? right.num.r : static_cast<double>(right.num.i);
    if (op == 'D' || op == 'M') return Fail(kMismatch);
    if (op == '/' && b == 0 && dry_ == 0) return Fail(kZero);
    const double r = op == '+' ? a + b : op == '-' ? a - b : op == '*' ? a * b : b != 0 ? a / b : 0;
    left = Computed(left.num.real ? left.type : right.num.real ? right.type : &kRealType);
    left.num = Num{true, 0, r};
    return true;
  }
  if (!lint || !rint) return Fail(kMismatch);
  const i64 a = left.num.i, b = right.num.i;
  i64 r = 0;
  bool overflow = false;
  switch (op) {
  case '+':
    overflow = __builtin_add_overflow(a, b, &r);
    break;
  case '-':
    overflow = __builtin_sub_overflow(a, b, &r);
    break;
  case '*':
    overflow = __builtin_mul_overflow(a, b, &r);
    break;
  default:
    if (b == 0) {
      if (dry_ == 0) return Fail(kZero);
      break;
    }
    if (a == INT64_MIN && b == -1) return Fail(kOverflow);
    {
      // Euclidean: the remainder lies in 0 .. |b| - 1.
      i64 q = a / b, m = a % b;
      if (m < 0) m += b < 0 ? -b : b, q += b < 0 ? 1 : -1;
      r = op == 'D' ? q : m;
    }
  }
  if (overflow && dry_ == 0) return Fail(kOverflow);
  // A result outside the range of a 32-bit operand's type is a LONGINT (the program
  // would have trapped; the user asked for the value).
  const SymbolType* t = Joined(left, right);
  const SymbolType* tb = BaseOf(m_, t);
  if (tb != nullptr && (tb->kind == TypeKind::Integer || tb->kind == TypeKind::Cardinal) &&
      (r < tb->low || r > tb->high))
    t = &kLongIntType;
  left = Computed(t);
  left.num.i = r;
  return true;
}

bool Parser::Relation(const std::string& op, Item& left, Item& right) {
  const bool equality = op == "=" || op == "#" || op == "<>";
  // A character array against a string constant.
  const auto stringOf = [&](Item& item, std::string& s) {
    if (item.isString) return s = item.string, true;
    if (!item.designator || item.type == nullptr || !IsCharArray(m_, item.type)) return false;
    u64 data = 0, count = 0;
    if (dry_ == 0 && (!Elements(m_, item.type, item.address, data, count) ||
                      !ArrayString(data, count, s, kMaxCompared)))
      return Fail(kInvalid);
    return true;
  };
  std::string ls, rs;
  const bool lstr = left.isString || (left.type != nullptr && IsCharArray(m_, left.type));
  const bool rstr = right.isString || (right.type != nullptr && IsCharArray(m_, right.type));
  int order = 0;
  if ((lstr || rstr) && !(left.isString && left.string.size() == 1 && !rstr) &&
      !(right.isString && right.string.size() == 1 && !lstr)) {
    if (!stringOf(left, ls) || !stringOf(right, rs))
      return error_.empty() ? Fail(kMismatch) : false;
    order = ls.compare(rs);
  } else {
    if (!Load(left) || !Load(right)) return false;
    const SymbolType* lb = BaseOf(m_, left.type);
    const SymbolType* rb = BaseOf(m_, right.type);
    if (lb == nullptr || rb == nullptr) return Fail(kMismatch);
    const auto address = [](TypeKind k) {
      return k == TypeKind::Pointer || k == TypeKind::Address || k == TypeKind::Opaque ||
             k == TypeKind::Procedure;
    };
    const auto numeric = [](const SymbolType* b, const Num& n) {
      return n.real || IsIntegerKind(b->kind);
    };
    if (left.num.real || right.num.real) {
      if (!numeric(lb, left.num) || !numeric(rb, right.num)) return Fail(kMismatch);
      const double a = left.num.real ? left.num.r : static_cast<double>(left.num.i);
      const double b = right.num.real ? right.num.r : static_cast<double>(right.num.i);
      order = a < b ? -1 : a > b ? 1 : 0;
    } else if (address(lb->kind) || address(rb->kind)) {
      if (!address(lb->kind) || !address(rb->kind) || !equality) return Fail(kMismatch);
      order = left.num.i == right.num.i ? 0 : 1;
    } else {
      const bool same = lb == rb || (IsIntegerKind(lb->kind) && IsIntegerKind(rb->kind)) ||
                        (lb->kind == rb->kind && lb->kind != TypeKind::Enumeration &&
                         lb->kind != TypeKind::Set && lb->kind != TypeKind::Bitset) ||
                        (lb->kind == TypeKind::Enumeration && lb->name == rb->name &&
                         lb->constants == rb->constants);
      if (!same) return Fail(kMismatch);
      const bool uns = lb->kind == TypeKind::LongCard || rb->kind == TypeKind::LongCard;
      const auto a = left.num.i, b = right.num.i;
      order = uns ? (static_cast<u64>(a) < static_cast<u64>(b) ? -1 : a != b)
                  : (a < b   ? -1
                     : a > b ? 1
                             : 0);
    }
  }
  bool r = false;
  if (op == "=")
    r = order == 0;
  else if (op == "#" || op == "<>")
    r = order != 0;
  else if (op == "<")
    r = order < 0;
  else if (op == "<=")
    r = order <= 0;
  else if (op == ">")
    r = order > 0;
  else
    r = order >= 0;
  left = Computed(&kBooleanType, r);
  return true;
}

// The value of a computed item as the user reads it.
Value ComputedValue(const Module* m, const Item& item, std::string name) {
  if (item.isString) {
    Value v;
    v.name = std::move(name);
    v.type = "string";
    v.text = "\"" + item.string + "\"";
    return v;
  }
  std::uint8_t bytes[8];
  if (item.num.real)
    std::memcpy(bytes, &item.num.r, 8);
  else
    std::memcpy(bytes, &item.num.i, 8);
  Value v = MakeValue(m, std::move(name), item.type, reinterpret_cast<u64>(bytes));
  v.address = 0;
  v.children = 0;
  return v;
}

// The value to store in a variable of type t (its base b): an integer, a real, or the
// ordinal of a CHAR, BOOLEAN or enumeration constant, checked against t's range.
std::string Converted(const Module* m, const SymbolType* t, const SymbolType* b, const Item& value,
                      Num& out) {
  const SymbolType* vb = BaseOf(m, value.type);
  if (vb == nullptr) return kMismatch;
  if (IsRealKind(b->kind)) {
    if (!value.num.real && !IsIntegerKind(vb->kind)) return kMismatch;
    out = Num{true, 0, value.num.real ? value.num.r : static_cast<double>(value.num.i)};
    return "";
  }
  if (value.num.real) return kMismatch;
  const bool integer = IsIntegerKind(b->kind);
  if (integer ? !IsIntegerKind(vb->kind)
              : vb->kind != b->kind ||
                    (b->kind == TypeKind::Enumeration && vb->constants != b->constants))
    return kMismatch;
  const i64 v = value.num.i;
  if (b->kind == TypeKind::LongCard || b->kind == TypeKind::Address) {
    if (v < 0 && vb->kind != TypeKind::LongCard && vb->kind != TypeKind::Address)
      return kOutOfRange;
  } else if (b->kind == TypeKind::Word || b->kind == TypeKind::Byte) {
    if (v < 0 || v >= (i64{1} << (8 * b->size))) return kOutOfRange;
  } else if (v < t->low || v > t->high || (vb->kind == TypeKind::LongCard && v < 0)) {
    return kOutOfRange;
  }
  out = Num{false, v};
  return "";
}

} // namespace

std::vector<Value> Locals(const Vm::Debug::Frame& frame) {
  std::vector<Value> values;
  const Module* m = SymbolsOf(frame.module);
  if (m == nullptr || frame.fp == nullptr) return values;
  std::int32_t scope = -1;
  const Object::Scope* c = ScopeAt(m, frame.word, scope);
  if (c == nullptr) return values;
  for (std::uint32_t n = 0; n < c->variables.size(); ++n)
    values.push_back(
        VariableValue(m, frame, reinterpret_cast<u64>(frame.fp), scope, n, c->variables[n]));
  return values;
}

std::vector<Value> Globals(const Vm::Debug::Frame& frame) {
  std::vector<Value> values;
  const Module* m = SymbolsOf(frame.module);
  if (m == nullptr) return values;
  const auto& globals = m->info.symbols.globals;
  for (std::uint32_t n = 0; n < globals.size(); ++n)
    values.push_back(VariableValue(m, frame, reinterpret_cast<u64>(frame.fp), -1, n, globals[n]));
  return values;
}

std::vector<Value> Children(const Value& value, std::size_t first, std::size_t count) {
  std::vector<Value> values;
  const auto* m = static_cast<const Module*>(value.symbols);
  const SymbolType* t = TypeAt(m, value.typeId);
  if (t == nullptr || value.address == 0) return values;
  const SymbolType* b = BaseOf(m, t);
  if (t->kind == TypeKind::Record) {
    for (std::size_t i = first; i < t->fields.size() && values.size() < count; ++i) {
      const Object::SymbolField& f = t->fields[i];
      values.push_back(
          MakeValue(m, f.name, TypeAt(m, f.type), value.address + static_cast<u64>(f.offset)));
    }
  } else if (t->kind == TypeKind::Array || t->kind == TypeKind::OpenArray) {
    u64 data = 0, n = 0;
    const SymbolType* e = TypeAt(m, t->base);
    if (e == nullptr || !Elements(m, t, value.address, data, n)) return values;
    const SymbolType* index = t->kind == TypeKind::Array ? TypeAt(m, t->index) : nullptr;
    const i64 low = t->kind == TypeKind::Array ? t->low : 0;
    for (u64 i = first; i < n && values.size() < count; ++i) {
      const std::string name =
          index != nullptr && BaseOf(m, index) != nullptr &&
                  BaseOf(m, index)->kind == TypeKind::Char
              ? "['" + std::string(1, static_cast<char>(low + static_cast<i64>(i))) + "']"
              : "[" + OrdinalText(m, index, low + static_cast<i64>(i)) + "]";
      values.push_back(MakeValue(m, name, e, data + i * static_cast<u64>(e->size)));
    }
  } else if (b != nullptr && b->kind == TypeKind::Pointer && first == 0 && count > 0) {
    u64 target = 0;
    const SymbolType* to = TypeAt(m, b->base);
    if (to == nullptr || !ReadWord(value.address, target) || target == 0) return values;
    std::uint8_t probe;
    if (!Read(target, &probe, 1)) {
      Value v;
      v.name = value.name + "^";
      v.type = to->name;
      v.text = kInvalid;
      values.push_back(std::move(v));
    } else {
      values.push_back(MakeValue(m, value.name + "^", to, target));
    }
  }
  return values;
}

Result Evaluate(const Vm::Debug::Frame& frame, std::string_view expression) {
  const Module* m = SymbolsOf(frame.module);
  if (m == nullptr) return {false, {}, kNoSymbols};
  Parser parser(m, frame, expression);
  Item item;
  if (!parser.Parse(item)) return {false, {}, parser.Error()};
  std::string name(expression);
  if (item.designator) return {true, MakeValue(m, name, item.type, item.address), ""};
  return {true, ComputedValue(m, item, name), ""};
}

std::string Assign(const Vm::Debug::Frame& frame, std::string_view designator,
                   std::string_view value) {
  const Module* m = SymbolsOf(frame.module);
  if (m == nullptr) return kNoSymbols;
  Parser target(m, frame, designator);
  Item variable;
  if (!target.Parse(variable)) return target.Error();
  if (!variable.designator) return kNotVariable;
  const SymbolType* t = variable.type;
  const SymbolType* b = BaseOf(m, t);
  if (b == nullptr ||
      !(IsIntegerKind(b->kind) || IsRealKind(b->kind) || b->kind == TypeKind::Char ||
        b->kind == TypeKind::Boolean || b->kind == TypeKind::Enumeration))
    return kCannotAssign;
  Item item;
  // The constants of the variable's own enumeration first: another may share a name.
  const std::string_view trimmed = value.substr(
      std::min(value.find_first_not_of(" \t"), value.size()),
      value.find_last_not_of(" \t") - std::min(value.find_first_not_of(" \t"), value.size()) + 1);
  bool found = false;
  if (b->kind == TypeKind::Enumeration)
    for (std::size_t i = 0; i < b->constants.size() && !found; ++i)
      if (b->constants[i] == trimmed) {
        item = Computed(b, static_cast<i64>(i));
        found = true;
      }
  if (!found) {
    Parser source(m, frame, value);
    if (!source.Parse(item) || !source.Load(item)) return source.Error();
  }
  Num n;
  const std::string error = Converted(m, t, b, item, n);
  if (!error.empty()) return error;
  u64 word = 0;
  if (n.real) {
    std::memcpy(&word, &n.r, 8);
  } else {
    word = static_cast<u64>(n.i);
    // A whole slot holds the value extended to 64 bits, as the machine keeps it.
    const auto size = static_cast<int>(std::clamp<i64>(t->size, 1, 8));
    if (size < 8) {
      const int shift = 64 - size * 8;
      word = IsSignedKind(b->kind) ? static_cast<u64>(static_cast<i64>(word << shift) >> shift)
                                   : word << shift >> shift;
    }
  }
  const std::size_t bytes =
      variable.whole ? 8 : static_cast<std::size_t>(std::clamp<i64>(t->size, 1, 8));
  if (!Write(variable.address, &word, bytes)) return kInvalid;
  return "";
}

} // namespace Inspect
