// Installing a chain of N modules (module i imports module i-1) into a fresh library,
// N = 100 and 1,000.
//
// Reverse order (the last module first) is the worst case for serving waiting
// importers and promoting: every install but the last leaves the chain waiting, and
// the last one links and promotes all of it. Baselines in the same run: forward order,
// where each module links as it comes, and the plain heap allocations of the same sizes
// (code, image, record, link per module). Goal: reverse order within twice forward
// order at both sizes, the ratio not growing with N.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "modules/Modules.h"
#include "store/Buffer.h"

namespace {

constexpr std::uint16_t kCode = 64, kVariables = 16, kProcedures = 4;

void Put16(std::vector<std::uint8_t>& b, std::size_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutName(std::vector<std::uint8_t>& b, const std::string& name) {
  for (std::size_t i = 0; i < 16; ++i) b.push_back(i < name.size() ? std::uint8_t(name[i]) : 0);
}

std::string ModuleName(int i) { return "Chain" + std::to_string(i); }

// The object of module i: key i+1, importing module i-1 with that one's key.
std::vector<std::uint8_t> ChainObject(int i) {
  const std::size_t slots = i == 0 ? 1 : 2;
  std::vector<std::uint8_t> b;
  Put16(b, 1), Put16(b, 34), Put16(b, 0);
  PutName(b, ModuleName(i));
  Put16(b, i + 1), Put16(b, 0), Put16(b, 0);
  Put16(b, kCode), Put16(b, kVariables), Put16(b, 0), Put16(b, kProcedures), Put16(b, slots);
  Put16(b, 2), Put16(b, (slots - 1) * 22);
  if (i > 0) {
    PutName(b, ModuleName(i - 1));
    Put16(b, i), Put16(b, 0), Put16(b, 0);
  }
  Put16(b, 3), Put16(b, kCode);
  b.resize(b.size() + kCode, 0x90);
  Put16(b, 4), Put16(b, (slots + kProcedures) * 4);
  for (std::size_t e = 0; e < kProcedures; ++e) Put16(b, 8 + 4 * e), Put16(b, 0);
  b.resize(b.size() + slots * 4, 0);
  return b;
}

// The chain's object buffers, made once per size.
const std::vector<Buffer::Ref>& Chain(int n) {
  static std::map<int, std::vector<Buffer::Ref>> chains;
  std::vector<Buffer::Ref>& objects = chains[n];
  if (objects.empty()) {
    Buffer::Init();
    const std::string dir = "/Chain" + std::to_string(n);
    (void)Buffer::Create(dir, Buffer::BufferKind::Directory);
    for (int i = 0; i < n; ++i) {
      const std::vector<std::uint8_t> bytes = ChainObject(i);
      Buffer::Ref object = Buffer::Create(dir + "/" + ModuleName(i), Buffer::BufferKind::Block);
      void* data = Buffer::AllocateData(object, static_cast<std::int32_t>(bytes.size()));
      std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(data));
      objects.push_back(object);
    }
  }
  return objects;
}

Buffer::Ref FreshLibrary() { return Buffer::Create("/BenchLibrary", Buffer::BufferKind::Library); }

bool AllReady(Buffer::Ref library, int n) {
  int ready = 0;
  Modules::ForEach(library, [&](Modules::Ref m) {
    ready += Modules::Info(m).state == Modules::ModuleState::Ready;
  });
  return ready == n;
}

void InstallChain(benchmark::State& state, bool reverse) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<Buffer::Ref>& objects = Chain(n);
  Buffer::Ref library = nullptr;
  for (auto _ : state) {
    library = FreshLibrary();
    for (int k = 0; k < n; ++k) {
      benchmark::DoNotOptimize(Modules::Install(library, objects[reverse ? n - 1 - k : k]));
    }
  }
  if (!AllReady(library, n)) state.SkipWithError("the chain is not Ready");
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_InstallChainReverse(benchmark::State& state) { InstallChain(state, true); }
void BM_InstallChainForward(benchmark::State& state) { InstallChain(state, false); }

// The heap allocations an installed module needs, without the manager.
void BM_PlainAllocations(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::int32_t sizes[] = {kCode, kVariables + 28 + (2 + kProcedures) * 8,
                                sizeof(Modules::ModuleRecord), sizeof(Modules::ImportLink)};
  Buffer::Init();
  for (auto _ : state) {
    Buffer::Ref library = FreshLibrary();
    for (int k = 0; k < n; ++k) {
      for (std::int32_t size : sizes) benchmark::DoNotOptimize(Buffer::Allocate(library, size));
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_InstallChainReverse)->Arg(100)->Arg(1000);
BENCHMARK(BM_InstallChainForward)->Arg(100)->Arg(1000);
BENCHMARK(BM_PlainAllocations)->Arg(100)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
