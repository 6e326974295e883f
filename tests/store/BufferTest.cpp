#include "store/Buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "StoreTesting.h"
#include "store/Lines.h"

using Buffer::BufferKind;
using Buffer::Ref;
using namespace StoreTesting;

namespace {

using BufferTree = StoreTest;
using BufferHeap = StoreTest;
using BufferChecks = StoreTest;
using BufferFailure = StoreTest;

Ref MustCreate(const std::string& path, BufferKind kind) {
  Ref b = Buffer::Create(path, kind);
  EXPECT_NE(b, nullptr) << path;
  return b;
}

std::vector<std::string> EntryNames(Ref dir) {
  std::vector<std::string> names;
  Buffer::ForEach(dir, [&](Ref e) {
    char s[33];
    Buffer::LeafName(e, s);
    names.push_back(s);
  });
  return names;
}

TEST_F(BufferTree, ShellStartBuildsTheTree) {
  Buffer::ShellTree tree;
  ASSERT_TRUE(Buffer::ShellStart(tree));
  EXPECT_EQ(FullNameOf(tree.command), "/Shell/Command");
  EXPECT_EQ(FullNameOf(tree.list), "/Shell/List");
  EXPECT_EQ(FullNameOf(tree.scratchHeap), "/Shell/ScratchHeap");
  const std::pair<Ref, BufferKind> kinds[] = {{tree.shell, BufferKind::Directory},
                                              {tree.command, BufferKind::Text},
                                              {tree.list, BufferKind::Text},
                                              {tree.scratchHeap, BufferKind::Heap},
                                              {tree.systemLibrary, BufferKind::Library},
                                              {tree.object, BufferKind::Directory},
                                              {tree.symbol, BufferKind::Directory},
                                              {tree.user, BufferKind::Directory}};
  for (const auto& [b, kind] : kinds) EXPECT_EQ(Buffer::KindOf(b), kind) << FullNameOf(b);
  EXPECT_EQ(Lines::Limit(tree.list), 1000);
  EXPECT_EQ(Buffer::Current(), tree.user);
  EXPECT_EQ(Buffer::Find("/User"), tree.user);
  EXPECT_EQ(EntryNames(Buffer::Root()),
            (std::vector<std::string>{"Object", "Shell", "Symbol", "SystemLibrary", "User"}));
  // Starting again from the root fails: "Shell" is a directory already.
  Buffer::SetCurrent(Buffer::Root());
  EXPECT_FALSE(Buffer::ShellStart(tree));
  EXPECT_EQ(Buffer::Current(), Buffer::Root());
}

TEST_F(BufferTree, FindFollowsThePathRules) {
  Buffer::ShellTree tree;
  ASSERT_TRUE(Buffer::ShellStart(tree));
  EXPECT_EQ(Buffer::Find(""), nullptr);
  EXPECT_EQ(Buffer::Find("/"), Buffer::Root());
  EXPECT_EQ(Buffer::Find("/Shell/"), tree.shell);
  EXPECT_EQ(Buffer::Find("/Shell/Command"), tree.command);
  EXPECT_EQ(Buffer::Find("/Shell//Command"), nullptr);
  EXPECT_EQ(Buffer::Find("//Shell"), nullptr);
  EXPECT_EQ(Buffer::Find("/shell/command"), nullptr);
  EXPECT_EQ(Buffer::Find("/Shell/Command/"), nullptr); // a text is no directory
  EXPECT_EQ(Buffer::Find("/Shell/."), nullptr);
  // Relative paths start at the current directory, /User after the start.
  EXPECT_EQ(Buffer::Find("Shell/Command"), nullptr);
  Ref notes = MustCreate("Notes", BufferKind::Text);
  EXPECT_EQ(FullNameOf(notes), "/User/Notes");
  Buffer::SetCurrent(Buffer::Root());
  EXPECT_EQ(Buffer::Find("Shell/Command"), tree.command);
  Buffer::SetCurrent(tree.command); // not a directory: ignored
  EXPECT_EQ(Buffer::Current(), Buffer::Root());
}

TEST_F(BufferTree, LongNamesAreCutTo32Characters) {
  const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
  Ref dir = MustCreate("/D" + name40, BufferKind::Directory);
  Ref b = MustCreate("/D" + name40 + "/" + name40, BufferKind::Heap);
  EXPECT_EQ(Buffer::Find("/D" + name40.substr(0, 31) + "/" + name40.substr(0, 32)), b);
  EXPECT_EQ(Buffer::Find("/D" + name40.substr(0, 31) + "/" + name40.substr(0, 31)), nullptr);
  char leaf[40];
  Buffer::LeafName(b, leaf);
  EXPECT_EQ(std::string(leaf), name40.substr(0, 32));
  EXPECT_EQ(FullNameOf(b), "/D" + name40.substr(0, 31) + "/" + name40.substr(0, 32));
  // A full name longer than the array is cut by the string rules.
  char shortName[10];
  Buffer::FullName(b, shortName);
  EXPECT_EQ(std::string(shortName), "/DABCDEFG");
  EXPECT_EQ(FullNameOf(nullptr), "");
  EXPECT_EQ(FullNameOf(Buffer::Root()), "/");
  EXPECT_EQ(FullNameOf(dir), "/D" + name40.substr(0, 31));
}

TEST_F(BufferTree, EntriesSortByUnsignedBytesCaseSensitively) {
  for (const char* name : {"b", "a\xE9", "ab", "B", "a", "\xE9"})
    MustCreate(name, BufferKind::Heap);
  EXPECT_EQ(EntryNames(Buffer::Root()),
            (std::vector<std::string>{"B", "a", "ab", "a\xE9", "b", "\xE9"}));
}

TEST_F(BufferTree, CreateOverATextEmptiesItInPlace) {
  Ref t = MustCreate("/T", BufferKind::Text);
  ASSERT_TRUE(Lines::Append(t, "hello"));
  Buffer::SetFilePath(t, "/tmp/");
  Buffer::SetWindowState(t, "state");
  Ref again = Buffer::Create("/T", BufferKind::Heap);
  EXPECT_EQ(again, t);
  EXPECT_EQ(Buffer::KindOf(t), BufferKind::Heap);
  EXPECT_EQ(HeapOf(t), (Heap{0, 0, 0, 0}));
  char path[261], state[128];
  Buffer::GetFilePath(t, path);
  Buffer::GetWindowState(t, state);
  EXPECT_EQ(std::string(path), "");
  EXPECT_EQ(std::string(state, 5), std::string(5, '\0'));
  // As a text again it starts without lines.
  ASSERT_EQ(Buffer::Create("/T", BufferKind::Text), t);
  EXPECT_EQ(Lines::Count(t), 0);
}

TEST_F(BufferTree, CreateAndOpenRefuseWhatTheyCannotMake) {
  Ref dir = MustCreate("/Dir", BufferKind::Directory);
  MustCreate("/Dir/x", BufferKind::Heap);
  for (const char* path : {"/Dir", "/Dir/", "/Missing/x", ""})
    EXPECT_EQ(Buffer::Create(base::CharsOf(path), BufferKind::Text), nullptr) << path;
  EXPECT_EQ(Buffer::Create("/Odd", static_cast<BufferKind>(5)), nullptr);
  EXPECT_EQ(Buffer::Open("/Dir/x", BufferKind::Text), nullptr);
  EXPECT_EQ(Buffer::Find("/Dir/x")->kind, BufferKind::Heap);
  EXPECT_EQ(Buffer::EntryCount(dir), 1);
  // Open returns a matching buffer untouched and creates a missing one.
  Ref t = MustCreate("/T", BufferKind::Text);
  ASSERT_TRUE(Lines::Append(t, "kept"));
  EXPECT_EQ(Buffer::Open("/T", BufferKind::Text), t);
  EXPECT_EQ(LinesOf(t), std::vector<std::string>{"kept"});
  Ref fresh = Buffer::Open("/New", BufferKind::Block);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(Buffer::KindOf(fresh), BufferKind::Block);
}

TEST_F(BufferTree, DeleteAndClearRefuseDirectoriesStillNeeded) {
  Ref dir = MustCreate("/Dir", BufferKind::Directory);
  Ref x = MustCreate("/Dir/x", BufferKind::Text);
  Buffer::Clear(dir);
  EXPECT_EQ(Buffer::Find("/Dir/x"), x);
  Ref keep = dir;
  Buffer::Delete(keep);
  EXPECT_EQ(keep, dir); // one entry: nothing happens
  Buffer::Delete(x);
  EXPECT_EQ(x, nullptr);
  EXPECT_EQ(Buffer::Find("/Dir/x"), nullptr);

  Buffer::SetCurrent(dir);
  Buffer::Delete(keep);
  EXPECT_EQ(keep, dir); // the current directory stays
  Buffer::SetCurrent(Buffer::Root());

  // A buffer another module holds is neither deleted nor emptied by Create.
  static Ref held;
  held = dir;
  constexpr Buffer::InUseProc holds = [](Ref d) { return d == held; };
  Buffer::AddInUse(holds);
  Buffer::Delete(keep);
  EXPECT_EQ(keep, dir);
  held = MustCreate("/Held", BufferKind::Text);
  ASSERT_TRUE(Lines::Append(held, "kept"));
  EXPECT_EQ(Buffer::Create("/Held", BufferKind::Block), nullptr);
  EXPECT_EQ(Lines::View(held, 1), "kept");
  Buffer::RemoveInUse(holds);
  EXPECT_NE(Buffer::Create("/Held", BufferKind::Block), nullptr);

  Buffer::Delete(keep);
  EXPECT_EQ(keep, nullptr);
  EXPECT_EQ(Buffer::Find("/Dir"), nullptr);
  Ref root = Buffer::Root();
  Buffer::Delete(root);
  EXPECT_EQ(root, Buffer::Root());
  Ref none = nullptr;
  Buffer::Delete(none);
}

TEST_F(BufferTree, DeleteGivesAllMemoryBack) {
  std::int64_t before, unused, available;
  Buffer::MemoryInfo(before, unused, available);
  Ref dir = MustCreate("/Dir", BufferKind::Directory);
  Ref t = MustCreate("/Dir/t", BufferKind::Text);
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(Lines::Append(t, std::string(100, 'x')));
  Ref d = MustCreate("/Dir/d", BufferKind::Block);
  ASSERT_NE(Buffer::AllocateData(d, 10000), nullptr);
  std::int64_t during, during2;
  Buffer::MemoryInfo(during, during2, available);
  EXPECT_EQ(during, during2);
  EXPECT_GT(during, before + 50000);
  EXPECT_GE(available, 0);
  EXPECT_LE(available, 2147483647);
  Buffer::Delete(t);
  Buffer::Delete(d);
  Buffer::Delete(dir);
  std::int64_t after;
  Buffer::MemoryInfo(after, unused, available);
  // Only the root's own blocks stay: it keeps its index and its segment records.
  EXPECT_EQ(after, HeapOf(Buffer::Root()).segmentBytes);
}

TEST_F(BufferTree, RenameWithinAndAcrossDirectories) {
  Ref a = MustCreate("/A", BufferKind::Directory);
  Ref b = MustCreate("/B", BufferKind::Directory);
  Ref t = MustCreate("/A/t", BufferKind::Text);
  MustCreate("/B/t", BufferKind::Heap);
  EXPECT_EQ(Buffer::Rename(t, "/B/t"), t); // the name exists: unchanged
  EXPECT_EQ(Buffer::Find("/A/t"), t);

  for (int i = 0; i < 300; ++i) ASSERT_TRUE(Lines::Append(t, "line " + std::to_string(i)));
  const std::vector<std::string> text = LinesOf(t);
  const Heap heap = HeapOf(t);
  Ref moved = Buffer::Rename(t, "/B/u");
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(Buffer::Find("/A/t"), nullptr);
  EXPECT_EQ(Buffer::Find("/B/u"), moved);
  EXPECT_EQ(moved->parent, b);
  EXPECT_EQ(LinesOf(moved), text);
  EXPECT_EQ(HeapOf(moved), heap);
  EXPECT_EQ(Buffer::EntryCount(a), 0);
  EXPECT_EQ(Buffer::Testing::CheckStore(), "");
  ASSERT_TRUE(Lines::Append(moved, "after the move"));

  Ref renamed = Buffer::Rename(moved, "/B/v");
  ASSERT_NE(renamed, nullptr);
  EXPECT_EQ(FullNameOf(renamed), "/B/v");
  EXPECT_EQ(Lines::Count(renamed), 301);

  EXPECT_EQ(Buffer::Rename(renamed, "/Missing/v"), nullptr);
  EXPECT_EQ(Buffer::Rename(renamed, "/B/"), nullptr);
  EXPECT_EQ(Buffer::Rename(nullptr, "/x"), nullptr);
  EXPECT_EQ(Buffer::Find("/B/v"), renamed);
}

TEST_F(BufferTree, RenamedDirectoryTakesItsEntriesAlong) {
  Ref a = MustCreate("/A", BufferKind::Directory);
  Ref sub = MustCreate("/A/Sub", BufferKind::Directory);
  Ref t = MustCreate("/A/Sub/t", BufferKind::Text);
  ASSERT_TRUE(Lines::Append(t, "deep"));
  MustCreate("/B", BufferKind::Directory);
  Buffer::SetCurrent(sub);

  EXPECT_EQ(Buffer::Rename(a, "/A/Sub/A"), nullptr); // into itself
  EXPECT_EQ(Buffer::Rename(a, "/A/x"), nullptr);
  EXPECT_EQ(Buffer::Rename(Buffer::Root(), "/R"), nullptr);

  Ref moved = Buffer::Rename(sub, "/B/Moved");
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(Buffer::Current(), moved);
  EXPECT_EQ(t->parent, moved);
  EXPECT_EQ(FullNameOf(t), "/B/Moved/t");
  EXPECT_EQ(Buffer::Find("/B/Moved/t"), t);
  EXPECT_EQ(Lines::View(t, 1), "deep");
  EXPECT_EQ(Buffer::Find("Moved"), nullptr);
  EXPECT_NE(Buffer::Create("/B/Moved/u", BufferKind::Heap), nullptr);

  static Ref held;
  held = moved;
  constexpr Buffer::InUseProc holds = [](Ref d) { return d == held; };
  Buffer::AddInUse(holds);
  EXPECT_EQ(Buffer::Rename(moved, "/B/Other"), nullptr);
  Buffer::RemoveInUse(holds);
  Buffer::SetCurrent(Buffer::Root());
}

TEST_F(BufferHeap, AllocationTakesGranulesFromSystemBlocks) {
  Ref h = MustCreate("/H", BufferKind::Heap);
  void* big = Buffer::Allocate(h, 3000);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(HeapOf(h), (Heap{4096, 1, 1088, 1}));
  EXPECT_EQ(std::memcmp(big, std::string(3000, '\0').data(), 3000), 0); // fresh: zero
  void* one = Buffer::Allocate(h, 1);
  EXPECT_EQ(static_cast<char*>(one), static_cast<char*>(big) + 3008);
  EXPECT_EQ(HeapOf(h), (Heap{4096, 1, 1072, 1}));
  EXPECT_EQ(Buffer::Allocate(h, 0), nullptr);
  EXPECT_EQ(Buffer::Allocate(h, -5), nullptr);
  EXPECT_EQ(Buffer::Allocate(h, 2147483647), nullptr);
  Buffer::Deallocate(h, 1, one);
  EXPECT_EQ(one, nullptr);
  Buffer::Deallocate(h, 3000, big);
  EXPECT_EQ(HeapOf(h), (Heap{4096, 1, 4096, 1}));
}

TEST_F(BufferHeap, FreeingNeighboursMergesThem) {
  Ref h = MustCreate("/H", BufferKind::Heap);
  void* a = Buffer::Allocate(h, 16);
  void* b = Buffer::Allocate(h, 32);
  void* c = Buffer::Allocate(h, 48);
  void* rest = Buffer::Allocate(h, 2048 - 96);
  EXPECT_EQ(HeapOf(h), (Heap{2048, 1, 0, 0}));
  Buffer::Deallocate(h, 16, a);
  Buffer::Deallocate(h, 48, c);
  EXPECT_EQ(HeapOf(h), (Heap{2048, 1, 64, 2}));
  Buffer::Deallocate(h, 32, b); // joins both sides
  EXPECT_EQ(HeapOf(h), (Heap{2048, 1, 96, 1}));
  // First fit: the lowest range that fits, split at its front.
  void* again = Buffer::Allocate(h, 20);
  void* second = Buffer::Allocate(h, 64);
  EXPECT_EQ(static_cast<char*>(second), static_cast<char*>(again) + 32);
  EXPECT_EQ(HeapOf(h), (Heap{2048, 1, 0, 0}));
  Buffer::Deallocate(h, 2048 - 96, rest);
  Buffer::Deallocate(h, 20, again);
  EXPECT_EQ(HeapOf(h), (Heap{2048, 1, 2048 - 96 + 32, 2}));
  EXPECT_EQ(Buffer::Testing::CheckHeap(h), "");
}

TEST_F(BufferHeap, ASecondFreeOfTheSameRangeIsIgnored) {
  Ref h = MustCreate("/H", BufferKind::Heap);
  void* a = Buffer::Allocate(h, 100);
  void* b = Buffer::Allocate(h, 100);
  void* copy = a;
  Buffer::Deallocate(h, 100, a);
  const Heap once = HeapOf(h);
  Buffer::Deallocate(h, 100, copy);
  void* inside = static_cast<char*>(b) - 32; // overlaps the freed range
  Buffer::Deallocate(h, 64, inside);
  void* crooked = static_cast<char*>(b) + 8;
  Buffer::Deallocate(h, 16, crooked);
  EXPECT_EQ(HeapOf(h), once);
  EXPECT_EQ(Buffer::Testing::CheckHeap(h), "");
}

TEST_F(BufferHeap, RootAllocationOfAWholeBlockSucceeds) {
  // The root's segment record shares the block with the memory asked for.
  void* p = Buffer::Allocate(Buffer::Root(), 2048);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(HeapOf(Buffer::Root()), (Heap{4096, 1, 4096 - 2048 - 32, 1}));
  void* q = Buffer::Allocate(Buffer::Root(), 2000);
  EXPECT_EQ(HeapOf(Buffer::Root()), (Heap{4096, 1, 16, 1}));
  Buffer::Deallocate(Buffer::Root(), 2048, p);
  Buffer::Deallocate(Buffer::Root(), 2000, q);
}

TEST_F(BufferHeap, DataBlocksAreForEmptyBlockBuffersOnly) {
  Ref d = MustCreate("/D", BufferKind::Block);
  Ref h = MustCreate("/H", BufferKind::Heap);
  EXPECT_EQ(Buffer::AllocateData(h, 100), nullptr);
  EXPECT_EQ(Buffer::AllocateData(d, 0), nullptr);
  void* data = Buffer::AllocateData(d, 5000);
  ASSERT_NE(data, nullptr);
  BufferKind kind = BufferKind::Heap;
  void* got;
  std::int32_t size;
  Buffer::GetInfo(d, kind, got, size);
  EXPECT_EQ(kind, BufferKind::Block);
  EXPECT_EQ(got, data);
  EXPECT_EQ(size, 5000);
  EXPECT_EQ(HeapOf(d), (Heap{6144, 1, 0, 0}));
  EXPECT_EQ(Buffer::AllocateData(d, 10), nullptr);
  EXPECT_EQ(Buffer::KindOf(nullptr), BufferKind::Heap);
  // Its heap takes blocks of its own beside the data.
  for (int i = 0; i < 50; ++i) ASSERT_NE(Buffer::Allocate(d, 2000), nullptr);
  EXPECT_EQ(HeapOf(d).segments, 51);
  EXPECT_EQ(Buffer::Testing::CheckHeap(d), "");
}

// The system blocks of single-block heaps, given back in the order of the heaps named
// by order, come to the next heap in the reverse of that order (the store hands out
// the block it got back last first). A linear walk down the descending segment list
// takes longest when they come in descending order.
TEST_F(BufferHeap, ListStaysDescendingWhateverOrderBlocksArriveIn) {
  constexpr int kBlocks = 400;
  std::vector<int> ascending(kBlocks);
  std::iota(ascending.begin(), ascending.end(), 0);
  const std::vector<int> descending(ascending.rbegin(), ascending.rend());
  std::vector<int> shuffled = ascending;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
  int run = 0;
  for (const std::vector<int>& order : {ascending, descending, shuffled}) {
    const std::string dir = "/D" + std::to_string(run++);
    MustCreate(dir, BufferKind::Directory);
    std::vector<Ref> heaps;
    for (int i = 0; i < kBlocks; ++i) {
      heaps.push_back(MustCreate(dir + "/h" + std::to_string(1000 + i), BufferKind::Heap));
      ASSERT_NE(Buffer::Allocate(heaps.back(), 2000), nullptr);
    }
    for (int i : order) Buffer::Delete(heaps[static_cast<std::size_t>(i)]);
    Ref h = MustCreate(dir + "/all", BufferKind::Heap);
    int falling = 0;
    char* last = nullptr;
    for (int i = 0; i < kBlocks; ++i) {
      auto* p = static_cast<char*>(Buffer::Allocate(h, 2000));
      ASSERT_NE(p, nullptr);
      falling += p < last;
      last = p;
    }
    if (run == 1) {
      EXPECT_GT(falling, kBlocks * 9 / 10) << "blocks did not come in descending order";
    }
    EXPECT_EQ(HeapOf(h).segments, kBlocks);
    EXPECT_EQ(Buffer::Testing::CheckHeap(h), "");
    // A move to another directory copies the segment records; later blocks still find
    // their place among them.
    MustCreate(dir + "x", BufferKind::Directory);
    Ref moved = Buffer::Rename(h, dir + "x/all");
    ASSERT_NE(moved, nullptr);
    for (int i = 0; i < 100; ++i) ASSERT_NE(Buffer::Allocate(moved, 2000), nullptr);
    EXPECT_EQ(HeapOf(moved).segments, kBlocks + 100);
    EXPECT_EQ(Buffer::Testing::CheckHeap(moved), "");
  }
}

TEST_F(BufferHeap, BlocksComeBackClearedAndFreeChunksGoBackToTheHost) {
  Ref h = MustCreate("/Big", BufferKind::Heap);
  const std::int32_t base = Buffer::Testing::HostChunks();
  for (int i = 0; i < 10000; ++i) { // about ten chunks of 2 MB
    void* p = Buffer::Allocate(h, 2048);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xA5, 2048);
  }
  EXPECT_GE(Buffer::Testing::HostChunks(), base + 9);
  Buffer::Delete(h);
  EXPECT_LE(Buffer::Testing::HostChunks(), base + 4) << "only a few free chunks are kept";
  Ref again = MustCreate("/Again", BufferKind::Heap);
  for (int i = 0; i < 3000; ++i) {
    auto* p = static_cast<const unsigned char*>(Buffer::Allocate(again, 2048));
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(std::all_of(p, p + 2048, [](unsigned char c) { return c == 0; })) << i;
  }
  // The test hook still fails a request the store could serve from its own chunks.
  Buffer::Testing::FailSystemBlockAfter(0);
  EXPECT_EQ(Buffer::Allocate(again, 2048), nullptr);
  Buffer::Testing::FailSystemBlockAfter(-1);
  EXPECT_EQ(HeapOf(again).segments, 3000);
  Buffer::Testing::Reset();
  EXPECT_EQ(Buffer::Testing::HostChunks(), 0);
}

TEST_F(BufferHeap, LargeBlocksAreClearedAndCountedAtTheirSize) {
  Ref h = MustCreate("/H", BufferKind::Heap);
  constexpr std::int32_t kSize = 3 << 20; // a multiple of the system unit
  auto* p = static_cast<unsigned char*>(Buffer::Allocate(h, kSize));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(std::all_of(p, p + kSize, [](unsigned char c) { return c == 0; }));
  EXPECT_EQ(HeapOf(h), (Heap{kSize, 1, 0, 0}));
  std::int64_t allocated, allocated2, available;
  Buffer::MemoryInfo(allocated, allocated2, available);
  std::memset(p, 1, kSize);
  void* q = p;
  Buffer::Deallocate(h, kSize, q);
  EXPECT_EQ(HeapOf(h), (Heap{kSize, 1, kSize, 1}));
  Buffer::Delete(h);
  std::int64_t after;
  Buffer::MemoryInfo(after, allocated2, available);
  EXPECT_EQ(allocated - after, kSize);
}

TEST_F(BufferChecks, FailedChecksAlertOnlyWhenSwitchedOn) {
  Buffer::SetCheckAlert(RecordAlert);
  EXPECT_EQ(Buffer::Allocate(nullptr, 16), nullptr);
  EXPECT_EQ(Buffer::Create("/Missing/x", BufferKind::Text), nullptr);
  EXPECT_TRUE(alerts.empty());

  Buffer::SetChecks(true, true);
  EXPECT_EQ(Buffer::Allocate(nullptr, 16), nullptr);
  EXPECT_EQ(Buffer::Create("/Missing/x", BufferKind::Text), nullptr);
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].kind, Buffer::CheckKind::Input);
  EXPECT_EQ(alerts[0].text, "Input handle = NIL!");
  EXPECT_EQ(alerts[1].kind, Buffer::CheckKind::Output);
  EXPECT_EQ(alerts[1].text, "Output handle/adr Error!");

  // "No Check" turns the check off; "Break" returning is taken as "Continue".
  answer = Buffer::CheckAnswer::Break;
  Buffer::SetData(nullptr, nullptr, 0);
  EXPECT_TRUE(Buffer::CheckInput());
  answer = Buffer::CheckAnswer::NoCheck;
  Buffer::SetData(nullptr, nullptr, 0);
  EXPECT_FALSE(Buffer::CheckInput());
  Buffer::SetData(nullptr, nullptr, 0);
  EXPECT_EQ(Buffer::Open("/", BufferKind::Text), nullptr);
  EXPECT_FALSE(Buffer::CheckOutput());
  EXPECT_EQ(alerts.size(), 5u);

  Buffer::SetChecks(true, true);
  Buffer::SetCheckAlert(nullptr);
  EXPECT_EQ(Buffer::Allocate(nullptr, 16), nullptr); // silent without a procedure
}

TEST_F(BufferChecks, BrokenStructuresGiveFatalAlertsAndChangeNothing) {
  Buffer::SetCheckAlert(RecordAlert);
  Ref h = MustCreate("/H", BufferKind::Heap);
  // A record that claims the root but is not in its index.
  Buffer::Record stray{};
  std::memcpy(stray.name, "H", 1);
  stray.parent = Buffer::Root();
  stray.kind = BufferKind::Heap;
  Ref r = &stray;
  Buffer::Delete(r);
  EXPECT_EQ(r, &stray);
  EXPECT_EQ(Buffer::Rename(&stray, "/Z"), nullptr);
  EXPECT_EQ(Buffer::Find("/H"), h);

  char* p = static_cast<char*>(Buffer::Allocate(h, 100));
  char* q = static_cast<char*>(Buffer::Allocate(h, 100));
  EXPECT_FALSE(Buffer::Testing::RemoveFree(h, p, 16));
  EXPECT_FALSE(Buffer::Testing::RemoveFree(h, q + 112, 4000));
  EXPECT_TRUE(Buffer::Testing::RemoveFree(h, q + 128, 32)); // a hole in the middle
  EXPECT_EQ(HeapOf(h), (Heap{2048, 1, 2048 - 224 - 32, 2}));
  ASSERT_EQ(alerts.size(), 4u);
  for (const Alert& a : alerts) EXPECT_EQ(a.kind, Buffer::CheckKind::Fatal);
  EXPECT_EQ(alerts[0].text, "Fatal error in 'Buffer.RemoveEntry'!");
  EXPECT_EQ(alerts[1].text, "Fatal error in 'Buffer.RemoveEntry'!");
  EXPECT_EQ(alerts[2].text, "Fatal error 1 in 'Buffer.RemoveFree'!");
  EXPECT_EQ(alerts[3].text, "Fatal error 2 in 'Buffer.RemoveFree'!");
}

TEST_F(BufferChecks, ForEachSurvivesDeletingTheEntryItVisits) {
  Ref dir = MustCreate("/Dir", BufferKind::Directory);
  for (const char* n : {"a", "b", "c", "d"}) MustCreate(std::string("/Dir/") + n, BufferKind::Heap);
  std::vector<std::string> seen;
  Buffer::ForEach(dir, [&](Ref e) {
    seen.push_back(e->name);
    if (seen.size() % 2 == 1) Buffer::Delete(e);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(EntryNames(dir), (std::vector<std::string>{"b", "d"}));
  Buffer::ForEach(Buffer::Find("/Dir/b"), [](Ref) { ADD_FAILURE(); });
}

TEST_F(BufferFailure, CreateInAFreshDirectory) {
  Buffer::SetCheckAlert(RecordAlert);
  Buffer::SetChecks(false, true);
  Ref dir = MustCreate("/Fresh", BufferKind::Directory);
  const int n =
      RaiseUntilSuccess([] { return Buffer::Create("/Fresh/t", BufferKind::Text) != nullptr; },
                        [&] {
                          EXPECT_EQ(Buffer::Find("/Fresh/t"), nullptr);
                          EXPECT_EQ(Buffer::EntryCount(dir), 0);
                          EXPECT_EQ(dir->data, nullptr);
                        });
  EXPECT_GT(n, 0);
  EXPECT_EQ(alerts.size(), static_cast<std::size_t>(n)); // every failure was reported
}

TEST_F(BufferFailure, CreateAfterADirectoryIndexFills) {
  Ref dir = MustCreate("/Full", BufferKind::Directory);
  for (int i = 0; i < 32; ++i) MustCreate("/Full/e" + std::to_string(100 + i), BufferKind::Heap);
  // Use up the directory's free memory, so both the record and the larger index
  // need system blocks.
  while (HeapOf(dir).freeBytes >= 16) ASSERT_NE(Buffer::Allocate(dir, 16), nullptr);
  RaiseUntilSuccess([] { return Buffer::Create("/Full/e099", BufferKind::Text) != nullptr; },
                    [&] {
                      EXPECT_EQ(Buffer::EntryCount(dir), 32);
                      EXPECT_EQ(Buffer::Find("/Full/e099"), nullptr);
                    });
  EXPECT_EQ(Buffer::EntryCount(dir), 33);
}

TEST_F(BufferFailure, RenameAcrossDirectories) {
  MustCreate("/A", BufferKind::Directory);
  Ref target = MustCreate("/B", BufferKind::Directory);
  Ref t = MustCreate("/A/t", BufferKind::Text);
  for (int i = 0; i < 2000; ++i) ASSERT_TRUE(Lines::Append(t, std::string(200, 'a' + i % 26)));
  ASSERT_GT(HeapOf(t).segments, 100); // many segment records to move
  const std::vector<std::string> text = LinesOf(t);
  Ref moved = nullptr;
  RaiseUntilSuccess([&] { return (moved = Buffer::Rename(t, "/B/t")) != nullptr; },
                    [&] {
                      EXPECT_EQ(Buffer::Find("/A/t"), t);
                      EXPECT_EQ(Buffer::EntryCount(target), 0);
                      EXPECT_EQ(LinesOf(t), text);
                    });
  EXPECT_EQ(Buffer::Find("/B/t"), moved);
  EXPECT_EQ(LinesOf(moved), text);
}

TEST_F(BufferFailure, NewBlocksWhoseSegmentCannotBeRecorded) {
  // Each allocation needs a new block; the request for it succeeds and every later one
  // (the index pools, a block for the segment record) fails.
  Ref h = MustCreate("/H", BufferKind::Heap);
  int failures = 0;
  for (int i = 0; i < 300; ++i) {
    const Heap before = HeapOf(h);
    Buffer::Testing::FailSystemBlockAfter(1);
    void* p = Buffer::Allocate(h, 2000);
    Buffer::Testing::FailSystemBlockAfter(-1);
    if (p != nullptr) continue;
    ++failures;
    EXPECT_EQ(HeapOf(h), before);
    ASSERT_EQ(Buffer::Testing::CheckStore(), "") << "after failure " << failures;
    ASSERT_NE(Buffer::Allocate(h, 2000), nullptr);
  }
  EXPECT_GT(failures, 0);
  EXPECT_EQ(HeapOf(h).segments, 300);
}

TEST_F(BufferFailure, LinesAppendGrowingTheArray) {
  Ref t = MustCreate("/T", BufferKind::Text);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(Lines::Append(t, "x"));
  Lines::SetModified(t, false);
  const std::string longLine(5000, 'L'); // needs a block of its own, as does the array
  RaiseUntilSuccess([&] { return Lines::Append(t, longLine); },
                    [&] {
                      EXPECT_EQ(Lines::Count(t), 256);
                      EXPECT_FALSE(Lines::Modified(t));
                      EXPECT_EQ(Lines::View(t, 256), "x");
                    });
  EXPECT_EQ(Lines::Count(t), 257);
  EXPECT_TRUE(Lines::Modified(t));
  EXPECT_EQ(Lines::View(t, 257), longLine);
}

TEST_F(BufferFailure, LinesFirstAppendAndInsert) {
  Ref t = MustCreate("/T", BufferKind::Text);
  RaiseUntilSuccess([&] { return Lines::Append(t, "first"); },
                    [&] {
                      EXPECT_EQ(Lines::Count(t), 0);
                      EXPECT_EQ(Lines::Limit(t), 0); // no table left behind
                    });
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(Lines::Append(t, std::to_string(i)));
  Lines::SetModified(t, false);
  const std::vector<std::string> text = LinesOf(t);
  RaiseUntilSuccess([&] { return Lines::Insert(t, 2, 1000); },
                    [&] {
                      EXPECT_EQ(LinesOf(t), text);
                      EXPECT_FALSE(Lines::Modified(t));
                    });
  EXPECT_EQ(Lines::Count(t), 1301);
  EXPECT_EQ(Lines::View(t, 1), "first");
  EXPECT_EQ(Lines::View(t, 2), "");
  EXPECT_EQ(Lines::View(t, 1002), "0");
}

} // namespace
