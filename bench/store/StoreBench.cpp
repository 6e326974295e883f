// The buffer heap and the line array, against the host's own allocator and a plain
// memmove in the same run.
//
// Heap churn: L live blocks of 16..300 random bytes; each step frees one random live
// block and allocates a new one of a random size, in a buffer's heap and with
// malloc/free. Goals: at most 10 times malloc/free at L = 100,000, and the time per
// step at L = 1,000,000 at most twice that at L = 10,000.
//
// Line 1 of a 1,000,000-line text: inserting an empty line there (and dropping the
// last, empty one, to keep the size) and deleting it (and appending a line again),
// against one memmove of a pointer array of the same size. Goal: at most 2 times.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/Buffer.h"
#include "store/Lines.h"

namespace {

struct Random {
  std::uint64_t state;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 16);
  }
  std::int32_t Size() { return 16 + static_cast<std::int32_t>(Next() % 285); }
};

struct Block {
  void* p;
  std::int32_t size;
};

// The two allocators the churn runs against.
struct StoreHeap {
  Buffer::Ref heap = nullptr;
  explicit StoreHeap(std::int64_t count) {
    Buffer::Init();
    heap = Buffer::Create("/Churn" + std::to_string(count), Buffer::BufferKind::Heap);
  }
  void* Get(std::int32_t size) { return Buffer::Allocate(heap, size); }
  void Put(Block& b) { Buffer::Deallocate(heap, b.size, b.p); }
};

struct HostHeap {
  explicit HostHeap(std::int64_t) {}
  void* Get(std::int32_t size) { return std::malloc(static_cast<std::size_t>(size)); }
  void Put(Block& b) { std::free(b.p); }
};

// One steady heap per allocator and size, built once and churned by every run.
template <typename Heap> struct Churn {
  Random random{0x9E3779B97F4A7C15ull};
  std::vector<Block> live;
  Heap heap;

  explicit Churn(std::int64_t count) : live(static_cast<std::size_t>(count)), heap(count) {
    for (Block& b : live) {
      b.size = random.Size();
      b.p = heap.Get(b.size);
    }
    // Run into the fragmented steady state before anything is timed.
    for (std::int64_t i = 0; i < count; ++i) Step();
  }
  void Step() {
    Block& b = live[random.Next() % live.size()];
    heap.Put(b);
    b.size = random.Size();
    b.p = heap.Get(b.size);
    benchmark::DoNotOptimize(b.p);
  }
};

template <typename Heap> void ChurnBench(benchmark::State& state) {
  static std::map<std::int64_t, std::unique_ptr<Churn<Heap>>> all;
  auto& c = all[state.range(0)];
  if (c == nullptr) c = std::make_unique<Churn<Heap>>(state.range(0));
  for (auto _ : state) c->Step();
  state.SetItemsProcessed(state.iterations());
}

void BM_StoreChurn(benchmark::State& state) { ChurnBench<StoreHeap>(state); }
void BM_MallocChurn(benchmark::State& state) { ChurnBench<HostHeap>(state); }

BENCHMARK(BM_StoreChurn)->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
BENCHMARK(BM_MallocChurn)->Arg(10'000)->Arg(100'000)->Arg(1'000'000);

constexpr std::int32_t kTextLines = 1'000'000;

Buffer::Ref BigText() {
  static Buffer::Ref text = [] {
    Buffer::Init();
    Buffer::Ref t = Buffer::Create("/BigText", Buffer::BufferKind::Text);
    for (std::int32_t i = 0; i < kTextLines; ++i) Lines::Append(t, "a line of text");
    return t;
  }();
  return text;
}

void BM_LinesInsertFirst(benchmark::State& state) {
  Buffer::Ref t = BigText();
  for (auto _ : state) {
    Lines::Insert(t, 1, 1);
    Lines::Delete(t, Lines::Count(t), 1); // the last line: no references move
  }
}

void BM_LinesDeleteFirst(benchmark::State& state) {
  Buffer::Ref t = BigText();
  for (auto _ : state) {
    Lines::Delete(t, 1, 1);
    Lines::Append(t, "a line of text"); // at the end: cheap
  }
}

void BM_MemmovePointers(benchmark::State& state) {
  std::vector<char*> lines(kTextLines + 1, nullptr);
  bool up = true;
  for (auto _ : state) {
    if (up) {
      std::memmove(lines.data() + 1, lines.data(), kTextLines * sizeof(char*));
    } else {
      std::memmove(lines.data(), lines.data() + 1, kTextLines * sizeof(char*));
    }
    up = !up;
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_LinesInsertFirst);
BENCHMARK(BM_LinesDeleteFirst);
BENCHMARK(BM_MemmovePointers);

} // namespace

BENCHMARK_MAIN();
