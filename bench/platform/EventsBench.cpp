// The event queue's speed: posting and taking a record, and a key message from the
// platform to the reader. The queue is a fixed ring, so after start-up the loop must
// not allocate; a counting operator new proves it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>

#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"

namespace {
std::size_t allocations = 0;

void* Allocate(std::size_t n) {
  ++allocations;
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  ++allocations;
  return std::malloc(n != 0 ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  ++allocations;
  return std::malloc(n != 0 ? n : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// The toolbox on the headless backend with an empty queue, for one benchmark.
class Session {
public:
  Session() {
    Toolbox::InstallBackend(&backend_);
    Toolbox::Init();
    if (!Events::InitEventQueue()) std::abort();
  }
  ~Session() {
    Events::FreeEventQueue();
    Toolbox::Shutdown();
    Toolbox::InstallBackend(nullptr);
  }

private:
  Headless::HeadlessBackend backend_;
};

// Fails the benchmark when the measured loop allocated.
void CheckAllocations(benchmark::State& state, std::size_t before) {
  const std::size_t during = allocations - before;
  state.counters["allocations"] = static_cast<double>(during);
  // Start-up allocates (the font table, the backend's queues), so a count of zero here
  // would mean the counting operator new is not the one in use.
  if (before == 0) state.SkipWithError("allocations are not counted");
  if (during != 0) state.SkipWithError("the event loop allocated");
}

void BM_PostAndGetNextEvent(benchmark::State& state) {
  Session session;
  Events::EventRecord key;
  key.what = Events::KeyDown;
  key.detail = Events::VirtualKey;
  key.message = 38;
  Events::EventRecord taken;
  const std::size_t before = allocations;
  for (auto _ : state) {
    Events::PostEvent(key);
    Events::GetNextEvent(0, taken);
    benchmark::DoNotOptimize(taken);
  }
  CheckAllocations(state, before);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostAndGetNextEvent);

// A full ring posted and then read, so that every slot and the wrap-around are used.
void BM_FillAndDrainQueue(benchmark::State& state) {
  Session session;
  Events::EventRecord mouse;
  mouse.what = Events::MouseDown;
  mouse.detail = Events::LeftButton;
  Events::EventRecord taken;
  const std::size_t before = allocations;
  for (auto _ : state) {
    for (int i = 0; i < Events::kQueueSlots - 1; ++i) Events::PostEvent(mouse);
    for (int i = 0; i < Events::kQueueSlots - 1; ++i) Events::GetNextEvent(0, taken);
    benchmark::DoNotOptimize(taken);
  }
  CheckAllocations(state, before);
  state.SetItemsProcessed(state.iterations() * (Events::kQueueSlots - 1));
}
BENCHMARK(BM_FillAndDrainQueue);

// A key-down message through the translation (selection, accelerators) and the reader.
void BM_DispatchKeyAndGetNextEvent(benchmark::State& state) {
  Session session;
  Toolbox::PlatformMessage message;
  message.kind = Toolbox::PlatformMessage::Kind::KeyDown;
  message.vkey = 49;
  message.keyState = Events::kControlKey;
  Events::EventRecord taken;
  const std::size_t before = allocations;
  for (auto _ : state) {
    Events::Dispatch(message);
    Events::GetNextEvent(0, taken);
    benchmark::DoNotOptimize(taken);
  }
  CheckAllocations(state, before);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DispatchKeyAndGetNextEvent);

} // namespace

BENCHMARK_MAIN();
