#include "modules/NativeModules.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "base/Strings.h"

namespace Native {

namespace {

constexpr std::size_t kDescriptorSize = 28;
constexpr std::size_t kNameSize = 16;
constexpr std::size_t kFlagOffset = 26; // in the descriptor
constexpr std::size_t kEntrySize = sizeof(Modules::Address);

// A module's descriptor and table, built once and kept for the program's life, since
// the library's records point into it.
struct Built {
  ModuleSpec spec;
  std::unique_ptr<std::uint8_t[]> block;
  std::vector<Procedure> entries; // entry 0 the body, then the procedures
  bool registered = false;
  std::uint8_t* Descriptor() const { return block.get() + spec.variableBytes; }
  std::uint8_t* Table() const { return Descriptor() + kDescriptorSize; }
};

std::vector<std::unique_ptr<Built>>& Registry() {
  static std::vector<std::unique_ptr<Built>> modules;
  return modules;
}

void NoBody(Call&) {}

void Build(Built& m) {
  m.entries.clear();
  m.entries.push_back(Procedure{"", m.spec.body != nullptr ? m.spec.body : NoBody, 0});
  for (const Procedure& p : m.spec.procedures) m.entries.push_back(p);
  const std::size_t procedures = m.entries.size();
  const std::size_t variables = static_cast<std::size_t>(std::max(0, m.spec.variableBytes));
  const std::size_t size = variables + kDescriptorSize + (procedures + 1) * kEntrySize;
  m.block = std::make_unique<std::uint8_t[]>(size);
  std::memset(m.block.get(), 0, size);
  std::uint8_t* d = m.Descriptor();
  std::strncpy(reinterpret_cast<char*>(d + 4), m.spec.name, kNameSize);
  for (int i = 0; i < 3; ++i) {
    d[20 + 2 * i] = static_cast<std::uint8_t>(m.spec.key.word[i] & 0xFF);
    d[21 + 2 * i] = static_cast<std::uint8_t>(m.spec.key.word[i] >> 8);
  }
  d[kFlagOffset] = static_cast<std::uint8_t>(kNativeFlag & 0xFF);
  d[kFlagOffset + 1] = static_cast<std::uint8_t>(kNativeFlag >> 8);
  std::uint8_t* table = m.Table();
  for (std::size_t i = 0; i < procedures; ++i) {
    const auto entry = reinterpret_cast<Modules::Address>(&m.entries[i]);
    std::memcpy(table + i * kEntrySize, &entry, kEntrySize);
  }
  // Slot 0: the module's own table.
  const auto self = reinterpret_cast<Modules::Address>(table);
  std::memcpy(table + procedures * kEntrySize, &self, kEntrySize);
}

} // namespace

void Add(const ModuleSpec& spec) {
  for (auto& m : Registry()) {
    if (std::strncmp(m->spec.name, spec.name, kNameSize) == 0) {
      m->spec = spec;
      m->block.reset();
      m->registered = false;
      return;
    }
  }
  auto m = std::make_unique<Built>();
  m->spec = spec;
  Registry().push_back(std::move(m));
}

std::vector<const ModuleSpec*> All() {
  std::vector<const ModuleSpec*> all;
  for (const auto& m : Registry()) all.push_back(&m->spec);
  return all;
}

const ModuleSpec* Find(base::Chars name) {
  char wanted[kNameSize + 1] = {};
  Strings::Assign(wanted, name);
  for (const auto& m : Registry())
    if (std::strncmp(m->spec.name, wanted, kNameSize) == 0) return &m->spec;
  return nullptr;
}

bool RegisterAll(Buffer::Ref library) {
  bool all = true;
  for (auto& m : Registry()) {
    if (m->block == nullptr) Build(*m);
    if (Modules::Register(library, m->Table()) == nullptr) all = false;
  }
  return all;
}

std::uint8_t* Variables(base::Chars name) {
  char wanted[kNameSize + 1] = {};
  Strings::Assign(wanted, name);
  for (const auto& m : Registry()) {
    if (std::strncmp(m->spec.name, wanted, kNameSize) != 0) continue;
    if (m->block == nullptr || m->spec.variableBytes <= 0) return nullptr;
    return m->block.get();
  }
  return nullptr;
}

bool IsNative(const std::uint8_t* table) {
  if (table == nullptr) return false;
  const std::uint8_t* flags = table - kDescriptorSize + kFlagOffset;
  return (flags[0] & kNativeFlag) != 0;
}

const Procedure* ProcedureOf(Modules::Address entry) {
  for (const auto& m : Registry()) {
    if (m->entries.empty()) continue;
    const auto first = reinterpret_cast<Modules::Address>(m->entries.data());
    const auto last = reinterpret_cast<Modules::Address>(&m->entries.back());
    if (entry >= first && entry <= last && (entry - first) % sizeof(Procedure) == 0)
      return reinterpret_cast<const Procedure*>(entry);
  }
  return nullptr;
}

} // namespace Native
