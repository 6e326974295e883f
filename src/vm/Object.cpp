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
  std::string Text() {
    const std::size_t n = U8();
    if (!ok || at + n > size) return ok = false, std::string();
    std::string s(reinterpret_cast<const char*>(p + at), n);
    at += n;
    return s;
  }
};

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
  if (d.reads.empty()) return bytes;
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
  for (std::size_t i = 0; i < n && in.ok; ++i) {
    word += static_cast<std::uint32_t>(in.Leb());
    const std::uint64_t z = in.Leb();
    line += static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
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
  return in.ok;
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
