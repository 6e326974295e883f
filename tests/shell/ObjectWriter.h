// Object modules written byte by byte, for the tests of the module manager and of the
// shell's commands that install them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "modules/Modules.h"
#include "store/Buffer.h"

namespace ObjectWriter {

using Modules::Key;

struct Import {
  std::string name;
  Key key;
};

struct ObjectModule {
  std::string name{};
  Key key{};
  std::vector<Import> imports{};
  std::vector<std::uint8_t> code = std::vector<std::uint8_t>(12, 0x90);
  std::vector<std::uint32_t> offsets{0}; // P procedure offsets
  std::uint16_t v = 4;
  std::vector<std::uint8_t> extra{}; // the X further bytes of the table
  // Above 0: the large form, its code and table in sections of at most this many bytes.
  std::size_t piece = 0;
};

// The bytes of an object, and where its four sections begin (the first of each).
struct ObjectBytes {
  std::vector<std::uint8_t> bytes;
  std::size_t section[4];
};

inline ObjectBytes Write(const ObjectModule& m) {
  ObjectBytes o;
  auto& b = o.bytes;
  const auto u16 = [&](std::size_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  const auto name = [&](const std::string& s) {
    for (std::size_t i = 0; i < 16; ++i) b.push_back(i < s.size() ? std::uint8_t(s[i]) : 0);
  };
  const auto key = [&](const Key& k) { u16(k.word[0]), u16(k.word[1]), u16(k.word[2]); };
  const auto section = [&](int tag, std::size_t length) {
    o.section[tag - 1] = b.size();
    u16(tag), u16(length);
  };
  // The bytes as one section, or in the large form as pieces.
  const auto sections = [&](int tag, const std::vector<std::uint8_t>& bytes) {
    const std::size_t piece = m.piece > 0 ? m.piece : bytes.size();
    section(tag, std::min(piece, bytes.size()));
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      const std::size_t n = std::min(piece, bytes.size() - at);
      if (at > 0) u16(tag), u16(n);
      b.insert(b.end(), bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + n));
    }
  };
  const std::size_t s = m.imports.size() + 1, p = m.offsets.size();
  const bool large = m.piece > 0;
  section(1, large ? 42 : 34);
  u16(large ? 1 : 0), name(m.name), key(m.key);
  u16(large ? 0 : m.code.size()), u16(m.v), u16(large ? 0 : m.extra.size()), u16(p), u16(s);
  if (large) u32(std::uint32_t(m.code.size())), u32(std::uint32_t(m.extra.size()));
  section(2, (s - 1) * 22);
  for (const Import& i : m.imports) name(i.name), key(i.key);
  sections(3, m.code);
  std::vector<std::uint8_t> table;
  const auto t32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) table.push_back(std::uint8_t(v >> (8 * i)));
  };
  for (std::uint32_t offset : m.offsets) t32(offset);
  for (std::size_t i = 0; i < s; ++i) t32(0xDEADBEEF); // slots are the manager's to fill
  table.insert(table.end(), m.extra.begin(), m.extra.end());
  sections(4, table);
  return o;
}

// A Block buffer at path holding the bytes (no data at all when there are none).
inline Buffer::Ref ObjectBuffer(const std::vector<std::uint8_t>& bytes,
                                const char* path = "/Object") {
  Buffer::Ref object = Buffer::Create(base::CharsOf(path), Buffer::BufferKind::Block);
  if (!bytes.empty()) {
    void* data = Buffer::AllocateData(object, static_cast<std::int32_t>(bytes.size()));
    std::memcpy(data, bytes.data(), bytes.size());
  }
  return object;
}

} // namespace ObjectWriter
