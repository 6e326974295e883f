// Object modules written byte by byte, for the tests of the module manager and of the
// shell's commands that install them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "shell/Modules.h"
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
};

// The bytes of an object, and where its four sections begin.
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
  const std::size_t s = m.imports.size() + 1, p = m.offsets.size();
  section(1, 34);
  u16(0), name(m.name), key(m.key);
  u16(m.code.size()), u16(m.v), u16(m.extra.size()), u16(p), u16(s);
  section(2, (s - 1) * 22);
  for (const Import& i : m.imports) name(i.name), key(i.key);
  section(3, m.code.size());
  b.insert(b.end(), m.code.begin(), m.code.end());
  section(4, (s + p) * 4 + m.extra.size());
  for (std::uint32_t offset : m.offsets) u32(offset);
  for (std::size_t i = 0; i < s; ++i) u32(0xDEADBEEF); // slots are the manager's to fill
  b.insert(b.end(), m.extra.begin(), m.extra.end());
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
