#include "modules/Modules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../store/StoreTesting.h"
#include "ObjectWriter.h"
#include "base/ByteOrder.h"
#include "platform/Startup.h"
#include "platform/headless/HeadlessBackend.h"

using Modules::Key;
using Modules::LinkStatus;
using Modules::ModuleState;
using Modules::Ref;
using namespace ObjectWriter;

namespace {

constexpr Key kZero{};
constexpr Key kOne{{1, 2, 3}};
constexpr Key kTwo{{1, 2, 4}};

const char* const kStateNames[] = {"None", "Known", "Loaded", "Linked", "Ready", "External"};

std::string NameOf(Ref m) {
  char s[32];
  Modules::Name(m, s);
  return s;
}

Modules::Address AddressAt(const std::uint8_t* p) {
  Modules::Address a;
  std::memcpy(&a, p, sizeof a);
  return a;
}

Modules::Address AddressOf(const void* p) { return reinterpret_cast<Modules::Address>(p); }

class ModulesTest : public StoreTesting::StoreTest {
protected:
  void SetUp() override {
    StoreTest::SetUp();
    library = Buffer::Create("/Lib", Buffer::BufferKind::Library);
  }

  Ref Install(const ObjectModule& m) {
    return Modules::Install(library, ObjectBuffer(Write(m).bytes));
  }
  Ref Find(const std::string& name) { return Modules::Find(library, name); }
  // Every record as "NAME=State", in name order.
  std::string States() {
    std::string s;
    Modules::ForEach(library, [&](Ref m) {
      s += (s.empty() ? "" : " ") + NameOf(m) + "=" + kStateNames[int(Modules::Info(m).state)];
    });
    return s;
  }
  // The imports of a module as "NAME:status", checking that each link is also in the
  // imported module's importers and that a resolved slot holds the imported table.
  std::string Imports(Ref m) {
    static const char* const status[] = {"not loaded", "conflict", "resolved"};
    std::string s;
    for (Modules::ImportLink* link = m->imports; link != nullptr; link = link->nextImport) {
      s += (s.empty() ? "" : " ") + NameOf(link->imported) + ":" + status[int(link->status)];
      int seen = 0;
      Modules::ForEachImporter(link->imported,
                               [&](Ref importer, Ref, LinkStatus) { seen += importer == m; });
      if (seen == 0) s += "(not among the importers)";
      if (link->status == LinkStatus::Resolved &&
          AddressAt(link->slot) != AddressOf(link->imported->table)) {
        s += "(slot wrong)";
      }
    }
    return s;
  }
  // The bytes of the library's heap in use, but for the index's array, which never
  // shrinks.
  std::int32_t HeapInUse() {
    const StoreTesting::Heap h = StoreTesting::HeapOf(library);
    const auto* index = static_cast<const Modules::LibraryIndex*>(library->data);
    return h.segmentBytes - h.freeBytes -
           (index == nullptr ? 0 : index->capacity * std::int32_t{sizeof(Ref)});
  }

  Buffer::Ref library = nullptr;
};

// ---- linking and states

TEST_F(ModulesTest, ImportWaitsForItsModuleAndKeepsItKnown) {
  Ref a = Install({.name = "A", .imports = {{"B", kOne}}});
  EXPECT_EQ(States(), "A=Loaded B=Known");
  EXPECT_EQ(a->unresolved, 1);
  EXPECT_EQ(Imports(a), "B:not loaded");
  Ref b = Install({.name = "B", .key = kOne});
  EXPECT_EQ(States(), "A=Ready B=Ready");
  EXPECT_EQ(Imports(a), "B:resolved");
  EXPECT_EQ(Find("B"), b);
  EXPECT_EQ(Find("b"), nullptr); // case-sensitive

  Modules::Unload(b);
  EXPECT_EQ(States(), "A=Loaded B=Known");
  EXPECT_EQ(Modules::Info(b).table, nullptr);
  Modules::Unload(a);
  EXPECT_EQ(States(), ""); // B went with its last importer
  EXPECT_EQ(Modules::Info(nullptr).state, ModuleState::None);
  EXPECT_EQ(NameOf(nullptr), "");
}

TEST_F(ModulesTest, KeysMatchWhenEqualOrEitherIsZero) {
  Ref a = Install({.name = "A", .imports = {{"B", kOne}}});
  Install({.name = "B", .key = kTwo});
  EXPECT_EQ(States(), "A=Loaded B=Ready");
  EXPECT_EQ(Imports(a), "B:conflict");
  // A conflict is one unresolved import, also after B is unloaded.
  Modules::Unload(Find("B"));
  Install({.name = "B", .key = kOne});
  EXPECT_EQ(States(), "A=Ready B=Ready");
  Install({.name = "B", .key = kZero});
  EXPECT_EQ(States(), "A=Ready B=Ready");
  Install({.name = "A", .imports = {{"B", kZero}}});
  Install({.name = "B", .key = kTwo});
  EXPECT_EQ(States(), "A=Ready B=Ready");
}

TEST_F(ModulesTest, ReinstallingAnImportSendsImportersBackUntilItIsLinked) {
  Install({.name = "B"});
  Ref a = Install({.name = "A", .imports = {{"B", kZero}}});
  Install({.name = "C", .imports = {{"A", kZero}}});
  EXPECT_EQ(States(), "A=Ready B=Ready C=Ready");

  // B now imports the missing D: A and C are linked but not Ready.
  Ref b = Install({.name = "B", .imports = {{"D", kZero}}});
  EXPECT_EQ(States(), "A=Linked B=Loaded C=Linked D=Known");
  EXPECT_EQ(Modules::Body(a), 0u);
  EXPECT_EQ(AddressAt(a->table + 2 * 8), AddressOf(b->table)); // the new table
  Install({.name = "D"});
  EXPECT_EQ(States(), "A=Ready B=Ready C=Ready D=Ready");

  // A malformed object of the same name changes nothing.
  std::vector<std::uint8_t> bad = Write({.name = "B"}).bytes;
  bad.pop_back();
  EXPECT_EQ(Modules::Install(library, ObjectBuffer(bad)), nullptr);
  EXPECT_EQ(States(), "A=Ready B=Ready C=Ready D=Ready");
}

// ---- the object and the memory image

// The same module in an object of 16-bit sections, and in the large form (its code and
// table in pieces) that modules too large for those take.
class MemoryImageTest : public ModulesTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(MemoryImageTest, MemoryImageIsLaidOutAndRelocated) {
  Ref b = Install({.name = "B"});
  ObjectModule a{.name = "ExactlySixteenCh",
                 .key = kOne,
                 .imports = {{"B", kZero}, {"Missing", kZero}},
                 .code = std::vector<std::uint8_t>(40),
                 .offsets = {20, 0, 33},
                 .v = 7,
                 .extra = {0xA1, 0xA2, 0xA3},
                 .piece = GetParam()};
  for (std::size_t i = 0; i < a.code.size(); ++i) a.code[i] = std::uint8_t(i + 1);
  Ref m = Install(a);
  ASSERT_NE(m, nullptr);
  const Modules::ModuleInfo info = Modules::Info(m);
  EXPECT_EQ(NameOf(m), "ExactlySixteenCh");
  EXPECT_EQ(info.state, ModuleState::Loaded);
  EXPECT_EQ((std::vector{info.codeSize, info.imageSize, info.procedureCount, info.slotCount}),
            (std::vector{40, 7 + 28 + (3 + 3) * 8 + 3, 3, 3}));
  const std::string image(reinterpret_cast<const char*>(info.image), 7 + 28);
  EXPECT_EQ(image, std::string("\0\x80\0\x80\0\x80\0", 7) + std::string(4, '\0') +
                       "ExactlySixteenCh" + std::string("\1\0\2\0\3\0\0\0", 8));
  const std::uint8_t* t = info.table;
  ASSERT_EQ(t, info.image + 7 + 28);
  const Modules::Address code = AddressOf(info.code);
  EXPECT_EQ(AddressAt(t), code + 20 + 6);
  EXPECT_EQ(AddressAt(t + 8), code);
  EXPECT_EQ(AddressAt(t + 16), code + 33);
  EXPECT_EQ(AddressAt(t + 24), AddressOf(t));        // slot 0: the own table
  EXPECT_EQ(AddressAt(t + 32), AddressOf(b->table)); // B, resolved
  EXPECT_EQ(AddressAt(t + 40), 0u);                  // Missing
  EXPECT_EQ(std::vector<std::uint8_t>(t + 48, t + 51), a.extra);
  EXPECT_EQ(AddressAt(info.code), AddressOf(t));
  EXPECT_EQ(std::vector<std::uint8_t>(info.code + 8, info.code + 40),
            std::vector<std::uint8_t>(a.code.begin() + 8, a.code.end()));

  // The body of a Ready module is entry 0; taking it clears the bit of a body that ran.
  Install({.name = "Missing"});
  std::uint8_t* flags = m->table - 2;
  ByteOrder::Put16(flags, 0x0101);
  EXPECT_EQ(Modules::Body(m), code + 26);
  EXPECT_EQ(ByteOrder::Get16(flags), 0x0001);
}

INSTANTIATE_TEST_SUITE_P(Forms, MemoryImageTest, ::testing::Values(0u, 16u, 7u));

TEST_F(ModulesTest, MalformedObjectsAreRejected) {
  const ObjectModule good{.name = "A", .imports = {{"B", kZero}}, .extra = {7}};
  const ObjectBytes o = Write(good);
  const auto rejected = [&](std::vector<std::uint8_t> bytes) {
    return Modules::Install(library, ObjectBuffer(bytes)) == nullptr;
  };
  for (std::size_t n = 0; n < o.bytes.size(); ++n) {
    EXPECT_TRUE(rejected({o.bytes.begin(), o.bytes.begin() + std::ptrdiff_t(n)})) << n;
  }
  for (std::size_t at : o.section) {
    for (std::size_t field : {at, at + 2}) {
      for (int delta : {-1, 1}) {
        std::vector<std::uint8_t> bad = o.bytes;
        bad[field] = std::uint8_t(bad[field] + delta);
        EXPECT_TRUE(rejected(bad)) << "byte " << field << " " << delta;
      }
    }
  }
  const auto patched = [&](std::size_t at, std::uint16_t value) {
    std::vector<std::uint8_t> bad = o.bytes;
    ByteOrder::Put16(bad.data() + at, value);
    return bad;
  };
  EXPECT_TRUE(rejected(patched(4, 1)));   // the word before the name
  EXPECT_TRUE(rejected(patched(28, 13))); // C differs from the code section's length
  EXPECT_TRUE(rejected(patched(36, 0)));  // no slot for the module itself
  ObjectModule shortCode = good;
  shortCode.code.resize(7);
  EXPECT_TRUE(rejected(Write(shortCode).bytes));
  EXPECT_EQ(
      Modules::Install(Buffer::Create("/Heap", Buffer::BufferKind::Heap), ObjectBuffer(o.bytes)),
      nullptr);
  EXPECT_EQ(Modules::Install(library, library), nullptr);
  EXPECT_EQ(Modules::Install(library, nullptr), nullptr);
  EXPECT_EQ(States(), "");
  // Bytes after the table are allowed.
  std::vector<std::uint8_t> longer = o.bytes;
  longer.push_back(0);
  EXPECT_NE(Modules::Install(library, ObjectBuffer(longer)), nullptr);
}

// The large form: cut short anywhere, a piece of no bytes or of more than are left, a
// piece of another tag, a 16-bit C or X beside the 32-bit ones, or the large header
// without its mark: refused.
TEST_F(ModulesTest, MalformedLargeObjectsAreRejected) {
  ObjectModule large{.name = "A", .code = std::vector<std::uint8_t>(40, 0x90), .extra = {7, 8, 9}};
  large.piece = 16;
  const ObjectBytes o = Write(large);
  const auto rejected = [&](std::vector<std::uint8_t> bytes) {
    return Modules::Install(library, ObjectBuffer(bytes)) == nullptr;
  };
  ASSERT_FALSE(rejected(o.bytes));
  for (std::size_t n = 0; n < o.bytes.size(); ++n)
    EXPECT_TRUE(rejected({o.bytes.begin(), o.bytes.begin() + std::ptrdiff_t(n)})) << n;
  const auto patched = [&](std::size_t at, std::uint16_t value) {
    std::vector<std::uint8_t> bad = o.bytes;
    ByteOrder::Put16(bad.data() + at, value);
    return bad;
  };
  const std::size_t code = o.section[2], second = code + 4 + 16;
  EXPECT_TRUE(rejected(patched(code + 2, 0)));    // a piece of no bytes
  EXPECT_TRUE(rejected(patched(second + 2, 40))); // more than the code has left
  EXPECT_TRUE(rejected(patched(second, 4)));      // a piece of the table among the code's
  EXPECT_TRUE(rejected(patched(28, 40)));         // C in 16 bits as well
  EXPECT_TRUE(rejected(patched(4, 0)));           // the large header unmarked
  EXPECT_TRUE(rejected(patched(38, 7)));          // C (32 bits) below 8
  EXPECT_EQ(States(), "A=Ready");
}

TEST_F(ModulesTest, RegisteredModulesAreExternal) {
  // A table of the program itself: descriptor, entry 0 and slot 0.
  alignas(8) std::uint8_t own[28 + 16] = {};
  std::memcpy(own + 4, "Native", 6);
  ByteOrder::Put16(own + 20, 1), ByteOrder::Put16(own + 22, 2), ByteOrder::Put16(own + 24, 3);
  ByteOrder::Put16(own + 26, 0x0100);
  const Modules::Address entry = 0x1234;
  std::memcpy(own + 28, &entry, 8);

  Ref a = Install({.name = "A", .imports = {{"Native", kOne}}});
  Ref c = Install({.name = "C", .imports = {{"Native", kTwo}}});
  Ref n = Modules::Register(library, own + 28);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(States(), "A=Ready C=Loaded Native=External");
  EXPECT_EQ(Imports(a), "Native:resolved");
  EXPECT_EQ(Imports(c), "Native:conflict");
  EXPECT_EQ(Modules::Body(n), entry);
  EXPECT_EQ(ByteOrder::Get16(own + 26), 0);
  EXPECT_EQ(Modules::Register(library, own + 28), nullptr); // already there

  // Installing a compiled module of that name replaces the program's.
  Install({.name = "Native", .key = kTwo});
  EXPECT_EQ(States(), "A=Loaded C=Ready Native=Ready");
  Modules::Unload(Find("Native"));
  EXPECT_EQ(Modules::Register(library, own + 28), Find("Native"));
  EXPECT_EQ(States(), "A=Ready C=Loaded Native=External");
  Modules::Unload(Find("Native"));
  EXPECT_EQ(States(), "A=Loaded C=Loaded Native=Known");
}

TEST_F(ModulesTest, RecordMissingFromTheIndexHalts) {
  static Buffer::Ref broken;
  broken = library;
  Headless::HeadlessBackend platform;
  platform.SetOutOfInputProc(Startup::Terminate);
  Startup::SetApplicationMain([] {
    Ref m = Modules::Install(broken, ObjectBuffer(Write({.name = "A"}).bytes));
    static_cast<Modules::LibraryIndex*>(broken->data)->used = 0; // the index lost it
    Modules::Unload(m);
    ADD_FAILURE() << "went on after the unload";
  });
  EXPECT_EQ(Startup::Run(platform, "velmarin"), 0);
  EXPECT_EQ(platform.AlertLog(), std::vector<std::string>{"HALT called."});
}

// ---- against a model

// Which module imports which (name and expected key), and the keys of the installed ones.
struct Model {
  std::map<std::string, std::pair<Key, std::vector<Import>>> installed;

  static bool Match(const Key& a, const Key& b) {
    return std::memcmp(&a, &kZero, sizeof a) == 0 || std::memcmp(&b, &kZero, sizeof b) == 0 ||
           std::memcmp(&a, &b, sizeof a) == 0;
  }
  bool Resolved(const Import& i) const {
    auto it = installed.find(i.name);
    return it != installed.end() && Match(i.key, it->second.first);
  }
  bool IsLoaded(const std::string& name) const {
    for (const Import& i : installed.at(name).second)
      if (!Resolved(i)) return true;
    return false;
  }
  // Ready unless a Loaded module is reachable through the imports.
  bool ReachesLoaded(const std::string& name, std::set<std::string>& seen) const {
    if (!seen.insert(name).second) return false;
    if (IsLoaded(name)) return true;
    for (const Import& i : installed.at(name).second)
      if (ReachesLoaded(i.name, seen)) return true;
    return false;
  }
  std::string States() const {
    std::map<std::string, std::string> states;
    for (const auto& [name, module] : installed) {
      std::set<std::string> seen;
      states[name] = IsLoaded(name) ? "Loaded" : ReachesLoaded(name, seen) ? "Linked" : "Ready";
      for (const Import& i : module.second) states.emplace(i.name, "Known");
    }
    std::string s;
    for (const auto& [name, state] : states) s += (s.empty() ? "" : " ") + name + "=" + state;
    return s;
  }
};

class ModulesModelTest : public ModulesTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(ModulesModelTest, RandomInstallsAndUnloadsFollowTheModel) {
  std::mt19937 random(GetParam());
  const auto pick = [&](unsigned n) { return unsigned(random() % n); };
  const Key keys[] = {kZero, kOne, kTwo, kOne};
  const auto name = [&] { return std::string(1, char('A' + pick(12))); };
  Model model;
  Modules::Unload(Install({.name = "A"})); // the index alone
  const std::int32_t emptyIndex = HeapInUse();
  for (int step = 0; step < 400; ++step) {
    const std::string target = name();
    if (pick(3) == 0) {
      Modules::Unload(Find(target));
      model.installed.erase(target);
    } else {
      ObjectModule m{.name = target, .key = keys[pick(4)]};
      for (unsigned i = pick(4); i > 0; --i) m.imports.push_back({name(), keys[pick(4)]});
      ASSERT_NE(Install(m), nullptr);
      model.installed[target] = {m.key, m.imports};
    }
    ASSERT_EQ(States(), model.States()) << "step " << step;
    for (const auto& [installedName, module] : model.installed) {
      std::string expected;
      for (const Import& i : module.second) {
        expected += (expected.empty() ? "" : " ") + i.name + ":" +
                    (model.Resolved(i)               ? "resolved"
                     : model.installed.count(i.name) ? "conflict"
                                                     : "not loaded");
      }
      ASSERT_EQ(Imports(Find(installedName)), expected) << installedName << " step " << step;
    }
  }
  ASSERT_EQ(Buffer::Testing::CheckHeap(library), "");
  for (const auto& [installedName, module] : model.installed) Modules::Unload(Find(installedName));
  EXPECT_EQ(States(), "");
  EXPECT_EQ(HeapInUse(), emptyIndex); // no record, link or block left behind
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModulesModelTest, ::testing::Values(1u, 2u, 3u, 4u));

// ---- running out of memory

TEST_F(ModulesTest, InstallFailingAnyAllocationLeavesNothingBehind) {
  Install({.name = "Z"});
  Install({.name = "W", .imports = {{"A", kZero}}});
  ObjectModule a{.name = "A", .code = std::vector<std::uint8_t>(3000), .v = 3000};
  a.imports.push_back({"Z", kZero});
  for (int i = 0; i < 70; ++i) a.imports.push_back({"N" + std::to_string(i), kZero});
  Buffer::Ref object = ObjectBuffer(Write(a).bytes);
  const std::int32_t inUse = HeapInUse();
  const int failures =
      StoreTesting::RaiseUntilSuccess([&] { return Modules::Install(library, object) != nullptr; },
                                      [&] {
                                        EXPECT_EQ(States(), "A=Known W=Loaded Z=Ready");
                                        EXPECT_EQ(Find("W")->unresolved, 1);
                                        EXPECT_EQ(HeapInUse(), inUse);
                                      });
  EXPECT_GE(failures, 3);
  EXPECT_EQ(Modules::Count(library), 3 + 70);
  EXPECT_EQ(Modules::Info(Find("W")).state, ModuleState::Linked); // A waits for N0 ...
}

} // namespace
