#include "vm/Object.h"

#include <cstring>
#include <unordered_map>

#include "base/ByteOrder.h"

namespace Object {

namespace {

constexpr char kDebugMagic[] = "VMX1";
constexpr std::size_t kMaxSection = 0xFFFF;
constexpr std::size_t kPiece = 0xFFF8; // the sections of a large object's code and table
constexpr std::size_t kMaxLarge = 0x7FFF0000;

struct Out {
  std::vector<std::uint8_t>& b;
  void U8(std::uint8_t v) { b.push_back(v); }
  void U16(std::size_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void Name(const std::string& s) {
    for (std::size_t i = 0; i < 16; ++i) b.push_back(i < s.size() ? std::uint8_t(s[i]) : 0);
  }
  void Key(const Modules::Key& k) { U16(k.word[0]), U16(k.word[1]), U16(k.word[2]); }
  void Leb(std::uint64_t v) {
    do {
      std::uint8_t byte = v & 0x7F;
      v >>= 7;
      if (v != 0) byte |= 0x80;
      b.push_back(byte);
    } while (v != 0);
  }
  void Signed(std::int64_t v) {
    Leb(static_cast<std::uint64_t>(v) << 1 ^ static_cast<std::uint64_t>(v >> 63));
  }
  void Text(const std::string& s) {
    const std::size_t n = std::min<std::size_t>(s.size(), 255);
    U8(static_cast<std::uint8_t>(n));
    b.insert(b.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  }
  // The bytes as one section of this tag, or as many as a large one takes.
  void Sections(std::uint16_t tag, const std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    do {
      const std::size_t n = bytes.size() - at <= kMaxSection ? bytes.size() - at : kPiece;
      U16(tag), U16(n);
      b.insert(b.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
               bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
      at += n;
    } while (at < bytes.size());
  }
};

struct In {
  const std::uint8_t* p;
  std::size_t size, at = 0;
  bool ok = true;
  std::uint8_t U8() {
    if (at >= size) return ok = false, 0;
    return p[at++];
  }
  std::uint64_t Leb() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const std::uint8_t byte = U8();
      v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return v;
    }
    return ok = false, 0;
  }
  std::int64_t Signed() {
    const std::uint64_t z = Leb();
    return static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
  }
  // A count of things of at least one byte each: false when fewer bytes are left.
  bool Count(std::size_t& n) {
    const std::uint64_t v = Leb();
    if (!ok || v > size - at) return ok = false;
    n = static_cast<std::size_t>(v);
    return true;
  }
  std::string Text() {
    const std::size_t n = U8();
    if (!ok || at + n > size) return ok = false, std::string();
    std::string s(reinterpret_cast<const char*>(p + at), n);
    at += n;
    return s;
  }
};

constexpr std::uint8_t kSymbolsMark = 'S';

void PutVariable(Out& o, const SymbolVariable& v) {
  o.Text(v.name);
  o.Leb(static_cast<std::uint64_t>(v.type + 1));
  o.U8(static_cast<std::uint8_t>(v.where));
  o.Signed(v.at);
}

void PutSymbols(Out& o, const Symbols& s) {
  o.U8(kSymbolsMark);
  o.Signed(s.data);
  o.Leb(s.types.size());
  for (const SymbolType& t : s.types) {
    o.U8(static_cast<std::uint8_t>(t.kind));
    o.Text(t.name);
    o.Leb(static_cast<std::uint64_t>(t.size));
    o.Signed(t.low);
    o.Signed(t.high);
    o.Leb(static_cast<std::uint64_t>(t.base + 1));
    if (t.kind == TypeKind::Array) o.Leb(static_cast<std::uint64_t>(t.index + 1));
    if (t.kind == TypeKind::Enumeration) {
      o.Leb(t.constants.size());
      for (const std::string& c : t.constants) o.Text(c);
    } else if (t.kind == TypeKind::Record) {
      o.Leb(t.fields.size());
      for (const SymbolField& f : t.fields) {
        o.Text(f.name);
        o.Leb(static_cast<std::uint64_t>(f.type + 1));
        o.Leb(static_cast<std::uint64_t>(f.offset));
      }
    }
  }
  o.Leb(s.globals.size());
  for (const SymbolVariable& v : s.globals) PutVariable(o, v);
  o.Leb(s.scopes.size());
  for (const Scope& c : s.scopes) {
    o.Text(c.name);
    o.Leb(static_cast<std::uint64_t>(c.outer + 1));
    o.Leb(c.first);
    o.Leb(c.end - c.first);
    o.Leb(static_cast<std::uint64_t>(c.staticLink + 1));
    o.Leb(c.params);
    o.Leb(c.variables.size());
    for (const SymbolVariable& v : c.variables) PutVariable(o, v);
  }
  o.Leb(s.aliases.size());
  std::uint32_t word = 0;
  for (const Alias& a : s.aliases) {
    o.Leb(a.first - word);
    o.Leb(a.end - a.first);
    o.Leb(a.slot);
    o.Leb(static_cast<std::uint64_t>(a.scope + 1));
    o.Leb(a.variable);
    word = a.first;
  }
}

// A type or scope number as written (one more than the number, 0 for none), checked
// against the count there is.
bool Number(In& in, std::size_t count, std::int32_t& n) {
  const std::uint64_t v = in.Leb();
  if (!in.ok || v > count) return in.ok = false;
  n = static_cast<std::int32_t>(v) - 1;
  return true;
}

bool GetVariable(In& in, std::size_t types, SymbolVariable& v) {
  v.name = in.Text();
  if (!Number(in, types, v.type)) return false;
  const std::uint8_t where = in.U8();
  if (where >= static_cast<std::uint8_t>(Where::Count)) return in.ok = false;
  v.where = static_cast<Where>(where);
  v.at = in.Signed();
  return in.ok;
}

bool GetSymbols(In& in, Symbols& s) {
  if (in.U8() != kSymbolsMark) return in.ok = false;
  s.data = in.Signed();
  std::size_t n = 0;
  if (!in.Count(n)) return false;
  s.types.resize(n);
  for (SymbolType& t : s.types) {
    const std::uint8_t kind = in.U8();
    if (kind >= static_cast<std::uint8_t>(TypeKind::Count)) return in.ok = false;
    t.kind = static_cast<TypeKind>(kind);
    t.name = in.Text();
    t.size = static_cast<std::int64_t>(in.Leb() & 0x7FFFFFFF);
    t.low = in.Signed();
    t.high = in.Signed();
    if (!Number(in, s.types.size(), t.base)) return false;
    std::size_t m = 0;
    if (t.kind == TypeKind::Array && !Number(in, s.types.size(), t.index)) return false;
    if (t.kind == TypeKind::Enumeration) {
      if (!in.Count(m)) return false;
      t.constants.resize(m);
      for (std::string& c : t.constants) c = in.Text();
    } else if (t.kind == TypeKind::Record) {
      if (!in.Count(m)) return false;
      t.fields.resize(m);
      for (SymbolField& f : t.fields) {
        f.name = in.Text();
        if (!Number(in, s.types.size(), f.type)) return false;
        f.offset = static_cast<std::int64_t>(in.Leb() & 0x7FFFFFFF);
      }
    }
    if (!in.ok) return false;
  }
  if (!in.Count(n)) return false;
  s.globals.resize(n);
  for (SymbolVariable& v : s.globals)
    if (!GetVariable(in, s.types.size(), v)) return false;
  if (!in.Count(n)) return false;
  s.scopes.resize(n);
  for (Scope& c : s.scopes) {
    c.name = in.Text();
    if (!Number(in, s.scopes.size(), c.outer)) return false;
    c.first = static_cast<std::uint32_t>(in.Leb());
    c.end = c.first + static_cast<std::uint32_t>(in.Leb());
    const std::uint64_t link = in.Leb();
    c.staticLink = static_cast<std::int32_t>(link & 0xFFFF) - 1;
    c.params = static_cast<std::uint32_t>(in.Leb());
    std::size_t m = 0;
    if (!in.Count(m) || c.params > m) return in.ok = false;
    c.variables.resize(m);
    for (SymbolVariable& v : c.variables)
      if (!GetVariable(in, s.types.size(), v)) return false;
  }
  if (!in.Count(n)) return false;
  s.aliases.resize(n);
  std::uint32_t word = 0;
  for (Alias& a : s.aliases) {
    a.first = word += static_cast<std::uint32_t>(in.Leb());
    a.end = a.first + static_cast<std::uint32_t>(in.Leb());
    a.slot = static_cast<std::uint16_t>(in.Leb());
    if (!Number(in, s.scopes.size(), a.scope)) return false;
    a.variable = static_cast<std::uint32_t>(in.Leb());
    const std::size_t count = a.scope < 0
                                  ? s.globals.size()
                                  : s.scopes[static_cast<std::size_t>(a.scope)].variables.size();
    if (a.variable >= count) return in.ok = false;
  }
  s.present = in.ok;
  return in.ok;
}

} // namespace

std::vector<std::uint8_t> Write(const Module& m) {
  std::vector<std::uint8_t> bytes;
  Out o{bytes};
  const std::size_t s = m.imports.size() + 1, p = m.offsets.size();
  const std::size_t c = m.code.size() * 8, x = m.extra.size(), t = (s + p) * 4 + x;
  if (p > 0xFFFF || (s - 1) * 22 > kMaxSection || c > kMaxLarge || t > kMaxLarge) return {};
  // Code or table too large for a 16-bit section: the large object (modules/Modules.h).
  const bool large = c > kMaxSection || t > kMaxSection;
  o.U16(1), o.U16(large ? 42 : 34), o.U16(large ? 1 : 0), o.Name(m.name), o.Key(m.key);
  o.U16(large ? 0 : c), o.U16(m.variables), o.U16(large ? 0 : x), o.U16(p), o.U16(s);
  if (large) o.U32(static_cast<std::uint32_t>(c)), o.U32(static_cast<std::uint32_t>(x));
  o.U16(2), o.U16((s - 1) * 22);
  for (const Import& i : m.imports) o.Name(i.name), o.Key(i.key);
  std::vector<std::uint8_t> section;
  Out body{section};
  for (std::uint64_t w : m.code) body.U32(static_cast<std::uint32_t>(w)), body.U32(w >> 32);
  o.Sections(3, section);
  section.clear();
  for (std::uint32_t offset : m.offsets) body.U32(offset);
  for (std::size_t i = 0; i < s; ++i) body.U32(0); // the manager fills the slots
  section.insert(section.end(), m.extra.begin(), m.extra.end());
  o.Sections(4, section);
  return bytes;
}

Buffer::Ref ToBuffer(base::Chars path, const std::vector<std::uint8_t>& bytes) {
  Buffer::Ref b = Buffer::Create(path, Buffer::BufferKind::Block);
  if (b == nullptr || bytes.empty()) return b;
  void* data = Buffer::AllocateData(b, static_cast<std::int32_t>(bytes.size()));
  if (data == nullptr) {
    Buffer::Delete(b);
    return nullptr;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  return b;
}

std::vector<std::uint8_t> EncodeDebugInfo(const DebugInfo& d) {
  std::vector<std::uint8_t> bytes;
  Out o{bytes};
  for (int i = 0; i < 4; ++i) o.U8(static_cast<std::uint8_t>(kDebugMagic[i]));
  o.Text(d.source);
  for (const std::string& name : d.procedures) o.Text(name);
  const std::size_t n = d.lines.size();
  o.U16(std::min<std::size_t>(n, 0xFFFF));
  if (n >= 0xFFFF) o.Leb(n);
  std::uint32_t word = 0;
  std::int32_t line = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::int64_t change = static_cast<std::int64_t>(d.lines[i].line) - line;
    o.Leb(d.lines[i].word - word);
    o.Leb(static_cast<std::uint64_t>(change << 1) ^ static_cast<std::uint64_t>(change >> 63));
    word = d.lines[i].word;
    line = d.lines[i].line;
  }
  if (d.reads.empty() && !d.symbols.present) return bytes;
  std::vector<std::string> names;
  std::unordered_map<std::string, std::size_t> numberOf;
  std::vector<std::size_t> numbers;
  for (const VariableRead& r : d.reads) {
    const auto [at, added] = numberOf.emplace(r.variable, names.size());
    if (added) names.push_back(r.variable);
    numbers.push_back(at->second);
  }
  o.Leb(names.size());
  for (const std::string& name : names) o.Text(name);
  o.Leb(d.reads.size());
  word = 0;
  for (std::size_t i = 0; i < d.reads.size(); ++i) {
    o.Leb(d.reads[i].word - word);
    o.Leb(d.reads[i].slot);
    o.Leb(numbers[i]);
    o.U8(d.reads[i].size);
    word = d.reads[i].word;
  }
  if (d.symbols.present) PutSymbols(o, d.symbols);
  return bytes;
}

bool DecodeDebugInfo(const std::uint8_t* p, std::size_t size, DebugInfo& d) {
  if (p == nullptr || size < 4 || std::memcmp(p, kDebugMagic, 4) != 0) return false;
  In in{p, size, 4};
  d.source = in.Text();
  for (std::string& name : d.procedures) name = in.Text();
  std::size_t n = static_cast<std::size_t>(in.U8()) | static_cast<std::size_t>(in.U8()) << 8;
  if (n == 0xFFFF) n = static_cast<std::size_t>(in.Leb());
  std::uint32_t word = 0;
  std::int64_t line = 0;
  d.lines.clear();
  d.reads.clear();
  d.symbols = Symbols{};
  for (std::size_t i = 0; i < n && in.ok; ++i) {
    word += static_cast<std::uint32_t>(in.Leb());
    const std::uint64_t z = in.Leb();
    // Wrapping arithmetic: a damaged table may say any change, and a line out of range
    // only gives a wrong line, never undefined behaviour.
    const std::uint64_t change = (z >> 1) ^ (std::uint64_t{0} - (z & 1));
    line = static_cast<std::int64_t>(static_cast<std::uint64_t>(line) + change);
    d.lines.push_back(LinePoint{word, static_cast<std::int32_t>(line)});
  }
  if (!in.ok || in.at == size) return in.ok;
  // The reads of module variables; every count is checked against the bytes left, so a
  // damaged table costs no more than its size.
  std::vector<std::string> names;
  const std::uint64_t nameCount = in.Leb();
  for (std::uint64_t i = 0; i < nameCount && in.ok && nameCount <= size - in.at; ++i)
    names.push_back(in.Text());
  const std::uint64_t readCount = in.Leb();
  if (!in.ok || nameCount != names.size() || readCount > size - in.at) return false;
  word = 0;
  for (std::uint64_t i = 0; i < readCount && in.ok; ++i) {
    word += static_cast<std::uint32_t>(in.Leb());
    const std::uint64_t slot = in.Leb(), number = in.Leb();
    const std::uint8_t bytes = in.U8();
    if (!in.ok || number >= names.size() || slot > 0xFFFF) return false;
    d.reads.push_back(VariableRead{word, static_cast<std::uint16_t>(slot), bytes, names[number]});
  }
  if (!in.ok || in.at == size) return in.ok;
  // The symbols: a damaged section leaves none, the lines and reads stay.
  if (!GetSymbols(in, d.symbols)) {
    d.symbols = Symbols{};
    return false;
  }
  return true;
}

std::int32_t LineAt(const DebugInfo& d, std::uint32_t word) {
  std::int32_t line = 0;
  for (const LinePoint& lp : d.lines) {
    if (lp.word > word) break;
    line = lp.line;
  }
  return line;
}

} // namespace Object
