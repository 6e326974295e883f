// Long random sequences of store operations against a plain model of the tree, the
// texts and the memory handed out; the heap checker runs after every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "StoreTesting.h"
#include "store/Buffer.h"
#include "store/Lines.h"

using Buffer::BufferKind;
using Buffer::Ref;
using namespace StoreTesting;

namespace {

struct Range {
  char* p;
  std::int32_t size;
  char fill;
};

struct Node {
  std::string name;
  BufferKind kind = BufferKind::Directory;
  Node* parent = nullptr;
  std::map<std::string, std::unique_ptr<Node>> children; // byte order, as the store sorts
  std::vector<std::string> lines;
  std::int32_t limit = Lines::kMaxLimit;
  std::vector<Range> ranges; // memory handed out by the heap, or the data block
};

class Model {
public:
  explicit Model(std::uint32_t seed) : random_(seed) {}

  void Step() {
    using Op = void (Model::*)();
    static constexpr Op kOps[] = {&Model::CreateOne,   &Model::DeleteOne,   &Model::RenameOne,
                                  &Model::AllocateOne, &Model::AllocateOne, &Model::FreeOne,
                                  &Model::EditText,    &Model::EditText,    &Model::EditText};
    (this->*kOps[Pick(std::size(kOps))])();
  }

  // Every buffer is where the model has it, with its lines and untouched memory.
  void Verify() { Verify(&root_); }

private:
  int Pick(std::size_t n) { return static_cast<int>(random_() % n); }

  static std::string PathOf(const Node* n) {
    if (n->parent == nullptr) return "/";
    std::string parent = PathOf(n->parent);
    return (parent == "/" ? "" : parent) + "/" + n->name;
  }

  static int Depth(const Node* n) { return n->parent == nullptr ? 0 : 1 + Depth(n->parent); }

  static void Collect(Node* n, std::vector<Node*>& all) {
    all.push_back(n);
    for (auto& entry : n->children) Collect(entry.second.get(), all);
  }

  // A random node that want accepts, or nullptr.
  template <typename Want> Node* Any(Want want) {
    std::vector<Node*> all, chosen;
    Collect(&root_, all);
    std::copy_if(all.begin(), all.end(), std::back_inserter(chosen), want);
    return chosen.empty() ? nullptr : chosen[static_cast<std::size_t>(Pick(chosen.size()))];
  }
  Node* AnyOf(BufferKind kind) {
    return Any([kind](const Node* n) { return n->kind == kind && n->parent != nullptr; });
  }
  Node* AnyDirectory() {
    return Any([](const Node* n) { return n->kind == BufferKind::Directory && Depth(n) < 3; });
  }
  Node* AnyEntry() {
    return Any([](const Node* n) { return n->parent != nullptr; });
  }

  std::string NewName() {
    static const char* const names[] = {"a", "b", "Ab", "ab", "a.b", "\xE9t\xE9", "c", "d"};
    if (Pick(20) == 0) return std::string(32, static_cast<char>('k' + Pick(3)));
    return names[Pick(8)];
  }

  std::string NewLine() {
    const int length = Pick(8) == 0 ? Pick(600) : Pick(30);
    std::string s;
    for (int i = 0; i < length; ++i) s += static_cast<char>(1 + Pick(255));
    return s;
  }

  Ref RefOf(const Node* n) {
    Ref b = Buffer::Find(PathOf(n));
    EXPECT_NE(b, nullptr) << PathOf(n);
    return b;
  }

  void CreateOne() {
    Node* dir = AnyDirectory();
    const std::string name = NewName();
    static const BufferKind kinds[] = {BufferKind::Directory, BufferKind::Heap, BufferKind::Text,
                                       BufferKind::Block, BufferKind::Text};
    const BufferKind kind = kinds[Pick(5)];
    const std::string path = (dir == &root_ ? "" : PathOf(dir)) + "/" + name;
    Ref before = Buffer::Find(path);
    Ref b = Buffer::Create(path, kind);
    auto it = dir->children.find(name);
    if (it != dir->children.end() && it->second->kind == BufferKind::Directory) {
      EXPECT_EQ(b, nullptr) << path;
      return;
    }
    ASSERT_NE(b, nullptr) << path;
    if (it != dir->children.end()) {
      EXPECT_EQ(b, before);
      Node& n = *it->second;
      n = Node{n.name, kind, dir, {}, {}, Lines::kMaxLimit, {}};
      return;
    }
    auto n = std::make_unique<Node>();
    n->name = name;
    n->kind = kind;
    n->parent = dir;
    dir->children[name] = std::move(n);
  }

  void DeleteOne() {
    Node* n = AnyEntry();
    if (n == nullptr) return;
    Ref b = RefOf(n);
    Ref kept = b;
    for (const Range& r : n->ranges) CheckRange(r);
    Buffer::Delete(b);
    if (n->kind == BufferKind::Directory && !n->children.empty()) {
      EXPECT_EQ(b, kept);
      return;
    }
    EXPECT_EQ(b, nullptr);
    n->parent->children.erase(n->name);
  }

  void RenameOne() {
    Node* n = AnyEntry();
    Node* dir = AnyDirectory();
    if (n == nullptr) return;
    const std::string name = NewName();
    const std::string path = (dir == &root_ ? "" : PathOf(dir)) + "/" + name;
    Ref b = RefOf(n);
    Ref r = Buffer::Rename(b, path);
    bool inside = false;
    for (const Node* d = dir; d != nullptr; d = d->parent) inside = inside || d == n;
    if (n->kind == BufferKind::Directory && inside) {
      EXPECT_EQ(r, nullptr) << PathOf(n) << " -> " << path;
      return;
    }
    if (dir->children.count(name) != 0) {
      EXPECT_EQ(r, b);
      return;
    }
    ASSERT_NE(r, nullptr) << PathOf(n) << " -> " << path;
    std::unique_ptr<Node> moved = std::move(n->parent->children[n->name]);
    n->parent->children.erase(n->name);
    moved->name = name;
    moved->parent = dir;
    dir->children[name] = std::move(moved);
  }

  void AllocateOne() {
    if (Node* n = Pick(4) == 0 ? AnyOf(BufferKind::Block) : AnyOf(BufferKind::Heap)) {
      Ref b = RefOf(n);
      const std::int32_t size = Pick(10) == 0 ? 1 + Pick(9000) : 1 + Pick(200);
      const char fill = static_cast<char>(Pick(256));
      if (n->kind == BufferKind::Block) {
        char* p = static_cast<char*>(Buffer::AllocateData(b, size));
        if (!n->ranges.empty()) {
          EXPECT_EQ(p, nullptr);
          return;
        }
        ASSERT_NE(p, nullptr);
        n->ranges.push_back({p, size, fill});
        std::memset(p, fill, static_cast<std::size_t>(size));
        return;
      }
      void* fit = Buffer::Testing::FirstFitByWalk(b, size);
      char* p = static_cast<char*>(Buffer::Allocate(b, size));
      ASSERT_NE(p, nullptr);
      if (fit != nullptr) {
        EXPECT_EQ(p, fit) << "not the lowest range that fits";
      }
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
      std::memset(p, fill, static_cast<std::size_t>(size));
      n->ranges.push_back({p, size, fill});
    }
  }

  void FreeOne() {
    Node* n = AnyOf(BufferKind::Heap);
    if (n == nullptr || n->ranges.empty()) return;
    const auto i = static_cast<std::size_t>(Pick(n->ranges.size()));
    CheckRange(n->ranges[i]);
    void* p = n->ranges[i].p;
    Buffer::Deallocate(RefOf(n), n->ranges[i].size, p);
    EXPECT_EQ(p, nullptr);
    n->ranges.erase(n->ranges.begin() + static_cast<std::ptrdiff_t>(i));
  }

  void EditText() {
    Node* n = AnyOf(BufferKind::Text);
    if (n == nullptr) return;
    Ref b = RefOf(n);
    std::vector<std::string>& lines = n->lines;
    const auto count = static_cast<std::int32_t>(lines.size());
    switch (Pick(8)) {
    case 0:
    case 1:
    case 2: {
      const std::string s = NewLine();
      ASSERT_TRUE(Lines::Append(b, s));
      if (count >= n->limit) lines.erase(lines.begin());
      lines.push_back(s);
      break;
    }
    case 3: {
      const std::int32_t p = Pick(count + 3) - 1;
      const std::int32_t k = Pick(8) - 1;
      const bool ok = Lines::Insert(b, p, k);
      bool expected = true;
      if (k >= 1) {
        std::int32_t at = p;
        if (p < 1 || p > count + 1) {
          expected = false;
        } else if (count + k > n->limit) {
          if (p - 1 <= k) {
            expected = false;
          } else {
            lines.erase(lines.begin(), lines.begin() + k);
            at -= k;
          }
        }
        if (expected) lines.insert(lines.begin() + (at - 1), static_cast<std::size_t>(k), "");
      }
      EXPECT_EQ(ok, expected);
      break;
    }
    case 4:
    case 5: {
      const std::int32_t first = Pick(count + 3) - 1;
      const std::int32_t k = Pick(6) - 1;
      Lines::Delete(b, first, k);
      if (first >= 1 && k >= 1 && first - 1 <= count) {
        const std::int32_t cut = std::min(k, count - (first - 1));
        if (cut >= 1) {
          lines.erase(lines.begin() + (first - 1), lines.begin() + (first - 1 + cut));
        }
      }
      break;
    }
    case 6: {
      const std::int32_t i = Pick(count + 2);
      const std::string s = NewLine();
      const bool ok = Lines::Set(b, i, s);
      EXPECT_EQ(ok, i >= 1 && i <= count);
      if (ok) lines[static_cast<std::size_t>(i - 1)] = s;
      break;
    }
    default: {
      std::int32_t limit = Pick(3) == 0 ? 0 : 2 + Pick(40);
      Lines::SetLimit(b, limit);
      if (limit < 2) limit = Lines::kMaxLimit;
      if (count > limit) lines.erase(lines.begin(), lines.begin() + (count - limit));
      n->limit = limit;
      break;
    }
    }
  }

  static void CheckRange(const Range& r) {
    for (std::int32_t i = 0; i < r.size; ++i) {
      if (r.p[i] != r.fill) {
        ADD_FAILURE() << "memory handed out was overwritten at " << static_cast<void*>(r.p + i);
        return;
      }
    }
  }

  void Verify(Node* n) {
    Ref b = RefOf(n);
    if (b == nullptr) return;
    EXPECT_EQ(Buffer::KindOf(b), n->kind);
    for (const Range& r : n->ranges) CheckRange(r);
    if (n->kind == BufferKind::Text) {
      ASSERT_EQ(Lines::Count(b), static_cast<std::int32_t>(n->lines.size())) << PathOf(n);
      for (std::size_t i = 0; i < n->lines.size(); ++i) {
        ASSERT_EQ(Lines::View(b, static_cast<std::int32_t>(i + 1)), n->lines[i]) << PathOf(n);
      }
    }
    if (n->kind == BufferKind::Directory) {
      ASSERT_EQ(Buffer::EntryCount(b), static_cast<std::int32_t>(n->children.size()));
      std::int32_t i = 0;
      for (auto& [name, child] : n->children) {
        EXPECT_EQ(Buffer::Entry(b, i++)->parent, b);
        Verify(child.get());
      }
    }
  }

  std::mt19937 random_;
  Node root_;
};

TEST_F(StoreTest, RandomOperationsAgreeWithTheModel) {
  Model model(20240517u);
  for (int step = 0; step < 40000; ++step) {
    model.Step();
    ASSERT_EQ(Buffer::Testing::CheckStore(), "") << "step " << step;
    if (step % 500 == 0) model.Verify();
    if (HasFailure()) {
      ADD_FAILURE() << "step " << step;
      return;
    }
  }
  model.Verify();
}

// One heap with thousands of live blocks, so that the free-range index grows several
// levels deep and keeps splitting, refilling and merging its nodes.
TEST_F(StoreTest, ChurnInOneHeapKeepsFirstFitPlacement) {
  Ref heap = Buffer::Create("/Churn", BufferKind::Heap);
  std::mt19937 random(7);
  std::vector<std::pair<void*, std::int32_t>> live;
  for (int step = 0; step < 30000; ++step) {
    if (live.size() < 3000 && random() % 8 != 0) {
      const auto size = static_cast<std::int32_t>(1 + random() % (random() % 16 == 0 ? 5000 : 300));
      void* fit = Buffer::Testing::FirstFitByWalk(heap, size);
      void* p = Buffer::Allocate(heap, size);
      ASSERT_NE(p, nullptr);
      if (fit != nullptr) {
        ASSERT_EQ(p, fit) << "step " << step;
      }
      live.emplace_back(p, size);
    } else if (!live.empty()) {
      const std::size_t i = random() % live.size();
      Buffer::Deallocate(heap, live[i].second, live[i].first);
      live[i] = live.back();
      live.pop_back();
    }
    if (step % 97 == 0) {
      ASSERT_EQ(Buffer::Testing::CheckHeap(heap), "") << "step " << step;
    }
  }
  for (auto& [p, size] : live) Buffer::Deallocate(heap, size, p);
  EXPECT_EQ(HeapOf(heap).freeRanges, HeapOf(heap).segments); // all merged back
}

} // namespace
