#include "vm/Heap.h"

#include <cstring>
#include <deque>
#include <limits>

#include "store/Buffer.h"

namespace Heap {

namespace {

constexpr char kDirectory[] = "/Shell/"; // of kPath
constexpr const char* kLeaf = kPath + sizeof kDirectory - 1;

// A freed block: its header's address and its size, header included.
struct Freed {
  char* block;
  std::int32_t size;
};

struct State {
  std::uint32_t generation = 0;
  Buffer::Ref made = nullptr; // the heap buffer of the current generation
  // Where it was last found: its directory at a position of the root, itself at a
  // position of that directory (-1: not known).
  Buffer::Ref directory = nullptr;
  std::int32_t directoryAt = -1, heapAt = -1;
  // The freed blocks of this generation still tagged "freed", oldest first.
  std::deque<Freed> quarantine;
  std::uint64_t quarantined = 0; // their bytes
  std::uint64_t quarantineBytes = kQuarantineBytes;
};
State state;

// A new generation: the blocks of the last one are gone with its buffer.
void NewGeneration() {
  ++state.generation;
  state.quarantine.clear();
  state.quarantined = 0;
}

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

std::int32_t PositionIn(Buffer::Ref dir, Buffer::Ref entry) {
  for (std::int32_t i = 0; i < Buffer::EntryCount(dir); ++i)
    if (Buffer::Entry(dir, i) == entry) return i;
  return -1;
}

// The heap buffer of this generation where it was last found, without a search by name
// (which would cost a NEW more than the rest of it): every reference is taken from the
// store's own indexes before it is followed, so a buffer deleted or moved since is not
// met; nullptr then.
Buffer::Ref Remembered() {
  if (state.made == nullptr ||
      Buffer::Entry(Buffer::Root(), state.directoryAt) != state.directory ||
      Buffer::Entry(state.directory, state.heapAt) != state.made ||
      Buffer::KindOf(state.made) != Buffer::BufferKind::Heap || !Stamped(state.made))
    return nullptr;
  return std::strncmp(state.made->name, kLeaf, sizeof state.made->name) == 0 ? state.made : nullptr;
}

// The heap buffer, made when there is none and make is set.
Buffer::Ref TheHeap(bool make) {
  if (Buffer::Ref h = Remembered()) return h;
  Buffer::Ref h = Buffer::Find(kPath);
  if (h != nullptr && Buffer::KindOf(h) != Buffer::BufferKind::Heap) return nullptr;
  if (h == nullptr) {
    if (state.made != nullptr) {
      state.made = nullptr;
      NewGeneration();
    }
    if (!make) return nullptr;
    h = Buffer::Create(kPath, Buffer::BufferKind::Heap);
    if (h == nullptr) return nullptr;
  }
  if (!Stamped(h)) {
    auto* stamp = static_cast<Stamp*>(Buffer::Allocate(h, sizeof(Stamp)));
    if (stamp == nullptr) return nullptr;
    // A buffer in place of the one in use (it was cleared, or replaced by another).
    if (state.made != nullptr) NewGeneration();
    *stamp = Stamp{kStampMagic, state.generation, 0};
    Buffer::SetData(h, stamp, sizeof(Stamp));
    state.made = h;
  }
  state.directory = Buffer::Find(kDirectory);
  state.directoryAt = PositionIn(Buffer::Root(), state.directory);
  state.heapAt = PositionIn(state.directory, h);
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
  const auto total = static_cast<std::int32_t>(size + kHeaderSize);
  state.quarantine.push_back(Freed{reinterpret_cast<char*>(header), total});
  state.quarantined += static_cast<std::uint64_t>(total);
  while (state.quarantined > state.quarantineBytes) {
    const Freed oldest = state.quarantine.front();
    state.quarantine.pop_front();
    state.quarantined -= static_cast<std::uint64_t>(oldest.size);
    void* block = oldest.block;
    Buffer::Deallocate(h, oldest.size, block);
  }
  return true;
}

bool LiveBlock(std::uintptr_t address, std::uint64_t size) {
  const Buffer::Ref h = TheHeap(false);
  if (h == nullptr || address < kHeaderSize || (address & 15) != 0) return false;
  const std::uintptr_t header = address - kHeaderSize;
  for (const Buffer::Segment* s = h->segments; s != nullptr; s = s->next) {
    const auto start = reinterpret_cast<std::uintptr_t>(s->address);
    const auto end = start + static_cast<std::uintptr_t>(s->size);
    if (header < start || header + kHeaderSize > end) continue;
    const auto* b = reinterpret_cast<const BlockHeader*>(header);
    return b->tag == kLiveTag && size <= b->size && address + size <= end;
  }
  return false;
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

namespace Testing {
void SetQuarantineBytes(std::uint64_t bytes) { state.quarantineBytes = bytes; }
} // namespace Testing

} // namespace Heap
