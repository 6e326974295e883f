#include "vm/Heap.h"

#include <cstring>
#include <limits>

#include "store/Buffer.h"

namespace Heap {

namespace {

struct State {
  std::uint32_t generation = 0;
  Buffer::Ref made = nullptr; // the heap buffer of the current generation
};
State state;

// The heap buffer's data is a stamp: the generation the buffer was made in. The
// generation ends when the buffer in use is gone: deleted, cleared, or another one in its
// place, whatever its address.
struct Stamp {
  std::uint32_t magic;
  std::uint32_t generation;
  std::uint64_t reserved;
};
constexpr std::uint32_t kStampMagic = 0x504D5453; // "STMP"

bool Stamped(Buffer::Ref h) {
  Buffer::BufferKind kind;
  void* data = nullptr;
  std::int32_t size = 0;
  Buffer::GetInfo(h, kind, data, size);
  const auto* stamp = static_cast<const Stamp*>(data);
  return h == state.made && stamp != nullptr && size == sizeof(Stamp) &&
         stamp->magic == kStampMagic && stamp->generation == state.generation;
}

// The heap buffer, made when there is none and make is set.
Buffer::Ref TheHeap(bool make) {
  Buffer::Ref h = Buffer::Find(kPath);
  if (h != nullptr && Buffer::KindOf(h) != Buffer::BufferKind::Heap) return nullptr;
  if (h == nullptr) {
    if (state.made != nullptr) {
      state.made = nullptr;
      ++state.generation;
    }
    if (!make) return nullptr;
    h = Buffer::Create(kPath, Buffer::BufferKind::Heap);
    if (h == nullptr) return nullptr;
  }
  if (!Stamped(h)) {
    auto* stamp = static_cast<Stamp*>(Buffer::Allocate(h, sizeof(Stamp)));
    if (stamp == nullptr) return nullptr;
    // A buffer in place of the one in use (it was cleared, or replaced by another).
    if (state.made != nullptr) ++state.generation;
    *stamp = Stamp{kStampMagic, state.generation, 0};
    Buffer::SetData(h, stamp, sizeof(Stamp));
    state.made = h;
  }
  return h;
}

constexpr std::uint64_t kMaxBlock =
    static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) - 64;

} // namespace

std::uintptr_t Allocate(std::uint64_t size) {
  if (size == 0 || size > kMaxBlock - kHeaderSize) return 0;
  const Buffer::Ref h = TheHeap(true);
  if (h == nullptr) return 0;
  const auto total = static_cast<std::int32_t>(size + kHeaderSize);
  auto* block = static_cast<char*>(Buffer::Allocate(h, total));
  if (block == nullptr) return 0;
  std::memset(block, 0, static_cast<std::size_t>(total));
  auto* header = reinterpret_cast<BlockHeader*>(block);
  header->tag = kLiveTag;
  header->size = size;
  return reinterpret_cast<std::uintptr_t>(block + kHeaderSize);
}

bool Deallocate(std::uintptr_t address, std::uint64_t size) {
  const Buffer::Ref h = TheHeap(false);
  if (h == nullptr || address == 0 || (address & 15) != 0) return false;
  auto* header = reinterpret_cast<BlockHeader*>(address - kHeaderSize);
  if (header->tag != kLiveTag || header->size != size) return false;
  header->tag = kFreedTag;
  // The header granule stays behind as the block's tombstone.
  void* rest = reinterpret_cast<void*>(address);
  Buffer::Deallocate(h, static_cast<std::int32_t>(size), rest);
  return true;
}

bool Available(std::uint64_t size) {
  if (size > kMaxBlock - kHeaderSize) return false;
  std::int64_t allocated = 0, allocated2 = 0, available = 0;
  Buffer::MemoryInfo(allocated, allocated2, available);
  return static_cast<std::uint64_t>(available) > size + kHeaderSize;
}

std::uint32_t Generation() {
  TheHeap(false);
  return state.generation;
}

} // namespace Heap
