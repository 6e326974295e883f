#include "store/Buffer.h"

#include <sys/mman.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "base/Strings.h"
#include "store/Lines.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELMARIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMARIN_ASAN 1
#endif
#endif
#ifdef VELMARIN_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace Buffer {

namespace {

constexpr std::int64_t kGranule = 16;
constexpr std::int64_t kSystemUnit = 2048;
constexpr std::int32_t kEntryStep = 32; // entries added each time a directory index grows
using base::kNameHigh;
constexpr std::int64_t kMaxSize = std::numeric_limits<std::int32_t>::max();

static_assert(alignof(std::max_align_t) >= kGranule, "system blocks must be granule-aligned");

constexpr char kInputText[] = "Input handle = NIL!";
constexpr char kOutputText[] = "Output handle/adr Error!";
constexpr char kRemoveEntryText[] = "Fatal error in 'Buffer.RemoveEntry'!";
constexpr char kRemoveFree1Text[] = "Fatal error 1 in 'Buffer.RemoveFree'!";
constexpr char kRemoveFree2Text[] = "Fatal error 2 in 'Buffer.RemoveFree'!";

// The head of every free range, written into the free memory itself.
struct FreeRange {
  FreeRange* next;
  std::int32_t size;
};
static_assert(sizeof(FreeRange) <= kGranule);

// A directory's data: its entries sorted by name.
struct DirectoryIndex {
  Ref* entries;
  std::int32_t capacity; // entries the array holds
  std::int32_t used;     // entries in use
};

// The free ranges of one heap are also kept in a B+-tree ordered by address, where
// every inner entry carries the lowest address and the largest range size below it.
// First fit then descends to the lowest-addressed range that is large enough, and
// freeing finds the neighbours of a range, both in logarithmic time, while the
// placement stays that of a walk down the free list. Wide nodes keep the descent to a
// few memory loads even for hundreds of thousands of ranges.
constexpr std::int32_t kNil = 0; // node 0 is never used: it stands for "none"
constexpr std::int32_t kFan = 16;
constexpr std::int32_t kHalf = kFan / 2; // every node but the root holds at least this many

// The fields are in the order a search reads them, so that a leaf (which has no use
// for the children) takes the first four cache lines of a node only.
struct Node {
  std::int32_t count;
  std::int32_t parent;     // kNil for the root
  std::int32_t prev, next; // leaves only: the neighbouring leaves in address order
  bool leaf;
  char* key[kFan];          // leaf: range addresses; inner: lowest address below each child
  std::int32_t size[kFan];  // leaf: range sizes; inner: largest range size below each child
  std::int32_t child[kFan]; // inner nodes only
};

// An entry of a leaf; node kNil for none. A slot equal to the count is the place just
// past the last entry.
struct Place {
  std::int32_t node;
  std::int32_t slot;
};

// The segment list of a heap runs in descending address order, and a new segment goes
// where its address belongs. The host hands out blocks in any order (memory a store
// gave back comes again in no particular order), so a walk down the list to that place
// would grow with the segments; this index of the segment records by block address
// finds the place in logarithmic time instead. It only ever grows: segments leave a
// heap all at once, and the index goes with them. A B+-tree like the free-range index,
// without the sizes; in an inner node key[e] (e >= 1) is the lowest address below
// child e at the time the child was split off, which stays a valid separator.
constexpr std::int32_t kSegmentFan = 32;
constexpr std::int32_t kSegmentDepth = 16; // far above the 8 levels 2^31 segments need

struct SegmentNode {
  char* key[kSegmentFan];
  std::uintptr_t item[kSegmentFan]; // leaf: the Segment record; inner: the child's number
  std::int32_t count;
  bool leaf;
};

struct SegmentIndex {
  SegmentNode* nodes;
  std::int32_t capacity; // nodes in the pool
  std::int32_t top;      // nodes handed out of the pool
  std::int32_t root;
  std::int32_t levels; // inner levels above the leaves
  std::int32_t count;  // segments in the index
};

// Lives in host memory and belongs to the buffer; released with its blocks.
//
// Freeing may need new nodes but has no way to fail, so the pool always holds the
// nodes a tree would need if every range the heap has handed out came back unmerged.
struct FreeIndex {
  Node* nodes;
  std::int32_t capacity; // nodes in the pool, the one for "none" included
  std::int32_t top;      // nodes ever handed out of the pool
  std::int32_t spare;    // chain of returned nodes (through next), or kNil
  std::int32_t root;
  std::int32_t count;       // ranges in the index
  std::int64_t outstanding; // ranges handed out minus ranges taken back
  std::int64_t covers;      // the most ranges the pool holds the nodes for
  SegmentIndex* segments;   // the heap's segment records by address; nullptr until needed
};

struct State {
  bool initialised = false;
  Record root{};
  Ref current = nullptr;
  std::int64_t systemBytes = 0;
  bool checkInput = false;
  bool checkOutput = false;
  CheckAlertProc alert = nullptr;
  std::array<InUseProc, 8> inUse{};
  ReleaseProc released = nullptr;
  std::int64_t requestsAllowed = -1; // test hook: requests left before they fail; -1 none
  std::int64_t requests = 0;
};

State state;

// ---- checks

void InputFailed() {
  if (!state.checkInput || state.alert == nullptr) return;
  if (state.alert(CheckKind::Input, Chars(kInputText)) == CheckAnswer::NoCheck)
    state.checkInput = false;
}

void OutputFailed() {
  if (!state.checkOutput || state.alert == nullptr) return;
  if (state.alert(CheckKind::Output, Chars(kOutputText)) == CheckAnswer::NoCheck) {
    state.checkOutput = false;
  }
}

void Released(Ref b, Ref moved) {
  if (state.released != nullptr) state.released(b, moved);
}

void Fatal(Chars message) {
  if (state.alert != nullptr) state.alert(CheckKind::Fatal, message);
}

// ---- host memory

bool RequestAllowed() {
  ++state.requests;
  if (state.requestsAllowed < 0) return true;
  if (state.requestsAllowed == 0) return false;
  --state.requestsAllowed;
  return true;
}

std::int64_t RoundUp(std::int64_t size, std::int64_t unit) {
  return (size + unit - 1) / unit * unit;
}

// ---- the block arena
//
// Nearly every system block has the smallest size, and a large text takes tens of
// thousands of them. Asking the host for each one costs a call and, for fresh memory,
// a page fault every other block. Instead they come from chunks of 2 MB taken from the
// host at once, aligned to their size, so that a block's chunk follows from its
// address. A chunk is carved into slots of one block and the granule that keeps blocks
// apart; the slots given back are kept in a list of the chunk's own and handed out
// again first. A chunk whose every slot is free goes back to the host, but for a few
// kept for the next requests.
//
// Directories hold the records and segment records of their entries, and outlive
// them; a block of a directory in a chunk would keep the chunk from the host long
// after the buffers around it are gone. So directories take their blocks from chunks
// of their own.
constexpr std::int64_t kChunkSize = std::int64_t{2} << 20;
constexpr std::int64_t kSlotSize = kSystemUnit + kGranule;
constexpr std::int64_t kChunkHead = 64; // the chunk's record, at its start
constexpr std::int32_t kChunkSlots =
    static_cast<std::int32_t>((kChunkSize - kChunkHead) / kSlotSize);
constexpr std::int32_t kSpareChunks = 4;

enum ChunkUse { kForDirectories, kForOthers, kChunkUses };

struct Chunk {
  Chunk* prev; // the chunks of its use with a free slot, most recently opened first
  Chunk* next;
  char* freeSlots;     // slots given back, linked through their first word
  std::int32_t carved; // slots ever handed out; the ones after them are untouched and zero
  std::int32_t used;   // slots handed out now
  ChunkUse use;
  bool open; // in the list of chunks with a free slot
};
static_assert(sizeof(Chunk) <= kChunkHead && kChunkHead % kGranule == 0);

struct Arena {
  Chunk* open[kChunkUses] = {};
  std::int32_t chunks = 0;
  std::int32_t idle = 0; // chunks without a slot in use, all of them open
};

Arena arena;

// In the sanitizer builds, host memory of the store that is not handed out is off
// limits: free slots, the granules between blocks, the tails of large blocks.
void Poison([[maybe_unused]] const void* p, [[maybe_unused]] std::int64_t n) {
#ifdef VELMARIN_ASAN
  ASAN_POISON_MEMORY_REGION(p, static_cast<std::size_t>(n));
#endif
}

void Unpoison([[maybe_unused]] const void* p, [[maybe_unused]] std::int64_t n) {
#ifdef VELMARIN_ASAN
  ASAN_UNPOISON_MEMORY_REGION(p, static_cast<std::size_t>(n));
#endif
}

// Host mappings hold records that point to host memory (the indexes); the leak checker
// of the sanitizer builds must search them as it does the host's heap.
void Mapped([[maybe_unused]] const void* p, [[maybe_unused]] std::int64_t n) {
#ifdef VELMARIN_ASAN
  __lsan_register_root_region(p, static_cast<std::size_t>(n));
#endif
}

void Unmapped([[maybe_unused]] const void* p, [[maybe_unused]] std::int64_t n) {
#ifdef VELMARIN_ASAN
  __lsan_unregister_root_region(p, static_cast<std::size_t>(n));
#endif
}

void OpenChunk(Chunk* c) {
  Chunk*& first = arena.open[c->use];
  c->prev = nullptr;
  c->next = first;
  if (first != nullptr) first->prev = c;
  first = c;
  c->open = true;
}

void CloseChunk(Chunk* c) {
  if (c->prev != nullptr) {
    c->prev->next = c->next;
  } else {
    arena.open[c->use] = c->next;
  }
  if (c->next != nullptr) c->next->prev = c->prev;
  c->open = false;
}

// Keeps a mapping of the store out of the host's large pages. The kernel hands out a
// large page only from a free run of 2 MB, and a virtual machine gives such runs back
// to its host once they have been free for a moment; a process that fills its chunks
// with large pages then waits for the host to supply and zero each one, and the first
// load of a large text costs several times more per line than that of a small one.
// Small pages come first from the memory the system has at hand, so a load's cost
// grows with the text alone; large pages would only save page faults where memory was
// freed a moment ago. The mapped pools of the indexes touch only what they use, which
// large pages would undo.
void KeepSmallPages(void* p, std::size_t size) { ::madvise(p, size, MADV_NOHUGEPAGE); }

// size bytes (a multiple of kChunkSize) aligned to kChunkSize, zero-filled, or nullptr.
void* MapChunks(std::int64_t bytes) {
  const auto size = static_cast<std::size_t>(bytes);
  const auto align = static_cast<std::size_t>(kChunkSize);
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  if (reinterpret_cast<std::uintptr_t>(p) % align != 0) {
    // Take one alignment more and cut the aligned part out of it.
    ::munmap(p, size);
    const std::size_t wide = size + align;
    p = ::mmap(nullptr, wide, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    char* const base = static_cast<char*>(p);
    const std::uintptr_t misalignment = reinterpret_cast<std::uintptr_t>(base) % align;
    char* const aligned = misalignment == 0 ? base : base + (align - misalignment);
    if (aligned > base) ::munmap(base, static_cast<std::size_t>(aligned - base));
    if (base + wide > aligned + size) {
      ::munmap(aligned + size, static_cast<std::size_t>(base + wide - (aligned + size)));
    }
    p = aligned;
  }
  KeepSmallPages(p, size);
  Mapped(p, bytes);
  return p;
}

void UnmapChunks(void* p, std::int64_t bytes) {
  Unmapped(p, bytes);
  Unpoison(p, bytes);
  ::munmap(p, static_cast<std::size_t>(bytes));
}

void ReleaseChunk(Chunk* c) {
  CloseChunk(c);
  --arena.chunks;
  --arena.idle;
  UnmapChunks(c, kChunkSize);
}

Chunk* NewChunk(ChunkUse use) {
  void* p = MapChunks(kChunkSize);
  if (p == nullptr) return nullptr;
  auto* c = ::new (p) Chunk{nullptr, nullptr, nullptr, 0, 0, use, false};
  Poison(static_cast<char*>(p) + kChunkHead, kChunkSize - kChunkHead);
  OpenChunk(c);
  ++arena.chunks;
  ++arena.idle;
  return c;
}

// A zero-filled slot for a block of the smallest size, or nullptr.
char* SlotBlock(ChunkUse use) {
  Chunk* c = arena.open[use] != nullptr ? arena.open[use] : NewChunk(use);
  if (c == nullptr) return nullptr;
  char* p;
  if (c->freeSlots != nullptr) {
    p = c->freeSlots;
    Unpoison(p, kSystemUnit);
    std::memcpy(&c->freeSlots, p, sizeof c->freeSlots);
    std::memset(p, 0, kSystemUnit);
  } else {
    p = reinterpret_cast<char*>(c) + kChunkHead + c->carved * kSlotSize;
    ++c->carved;
    Unpoison(p, kSystemUnit);
  }
  if (c->used++ == 0) --arena.idle;
  if (c->freeSlots == nullptr && c->carved == kChunkSlots) CloseChunk(c);
  return p;
}

void ReleaseSlot(char* p) {
  auto* c = reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(p) &
                                     ~std::uintptr_t(kChunkSize - 1));
  std::memcpy(p, &c->freeSlots, sizeof c->freeSlots);
  c->freeSlots = p;
  Poison(p, kSystemUnit);
  if (!c->open) OpenChunk(c);
  if (--c->used > 0) return;
  ++arena.idle;
  if (arena.idle > kSpareChunks) ReleaseChunk(c);
}

// Gives every chunk without a slot in use back to the host.
void ReleaseIdleChunks() {
  for (Chunk* first : arena.open) {
    for (Chunk* c = first; c != nullptr;) {
      Chunk* next = c->next;
      if (c->used == 0) ReleaseChunk(c);
      c = next;
    }
  }
}

// The host memory behind a block of at least kChunkSize bytes: whole chunks, so that
// it is backed by large pages too; the tail past the block is never touched.
std::int64_t MappedBytes(std::int64_t size) { return RoundUp(size + kGranule, kChunkSize); }

// A zero-filled block of size bytes for b. One granule more is taken and never handed
// out, so that two system blocks are never adjacent and no free range can span two.
char* SystemBlock(Ref b, std::int64_t size) {
  if (!RequestAllowed()) return nullptr;
  char* p;
  if (size == kSystemUnit) {
    p = SlotBlock(b->kind == BufferKind::Directory ? kForDirectories : kForOthers);
  } else if (size >= kChunkSize) {
    p = static_cast<char*>(MapChunks(MappedBytes(size)));
    if (p != nullptr) Poison(p + size, MappedBytes(size) - size);
  } else {
    p = static_cast<char*>(std::calloc(static_cast<std::size_t>(size + kGranule), 1));
    if (p != nullptr && reinterpret_cast<std::uintptr_t>(p) % kGranule != 0) {
      std::free(p);
      p = nullptr;
    }
  }
  if (p == nullptr) return nullptr;
  state.systemBytes += size;
  return p;
}

void ReleaseSystemBlock(void* address, std::int64_t size) {
  if (size == kSystemUnit) {
    ReleaseSlot(static_cast<char*>(address));
  } else if (size >= kChunkSize) {
    UnmapChunks(address, MappedBytes(size));
  } else {
    std::free(address);
  }
  state.systemBytes -= size;
}

// Host memory for the node pools of the indexes. A pool that grows large gets a
// mapping of its own, which grows without copying and whose tail takes no memory until
// it is touched: the free-range pool is kept large enough for every range its heap has
// handed out, far more than it normally uses.
constexpr std::size_t kMappedPool = std::size_t{1} << 18;

// The pool at old (oldBytes, nullptr for none) grown to bytes, or nullptr (old is
// still valid then).
void* GrowPoolMemory(void* old, std::size_t oldBytes, std::size_t bytes) {
  if (bytes < kMappedPool) return std::realloc(old, bytes);
  void* p;
  if (old != nullptr && oldBytes >= kMappedPool) {
    p = ::mremap(old, oldBytes, bytes, MREMAP_MAYMOVE);
    if (p == MAP_FAILED) return nullptr;
  } else {
    p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    KeepSmallPages(p, bytes);
    if (old != nullptr) {
      std::memcpy(p, old, oldBytes);
      std::free(old);
    }
  }
  return p;
}

void FreePoolMemory(void* p, std::size_t bytes) {
  if (p == nullptr) return;
  if (bytes >= kMappedPool) {
    ::munmap(p, bytes);
  } else {
    std::free(p);
  }
}

FreeRange* RangeAt(char* address) { return reinterpret_cast<FreeRange*>(address); }

// ---- the free index

FreeIndex* IndexOf(Ref b) { return static_cast<FreeIndex*>(b->freeIndex); }

Node& At(FreeIndex* t, std::int32_t i) { return t->nodes[i]; }

// Asks for every cache line of node i at once. A search reads a node's addresses or
// sizes first and only then the child to go on with, and an update of a leaf reads its
// sizes after its addresses; in a large index each of those would be a miss of its own
// after the one before.
void Prefetch(FreeIndex* t, std::int32_t i) {
  const char* p = reinterpret_cast<const char*>(&t->nodes[i]);
  for (std::size_t offset = 0; offset < sizeof(Node); offset += 64) __builtin_prefetch(p + offset);
}

std::int32_t Largest(const Node& n) {
  std::int32_t m = 0;
  for (std::int32_t k = 0; k < n.count; ++k) m = std::max(m, n.size[k]);
  return m;
}

std::int32_t SlotOf(FreeIndex* t, std::int32_t parent, std::int32_t child) {
  const Node& p = At(t, parent);
  std::int32_t k = 0;
  while (p.child[k] != child) ++k;
  return k;
}

// Carries a change of node i's lowest address or largest size up to its ancestors,
// stopping where nothing changes.
void Refresh(FreeIndex* t, std::int32_t i) {
  while (At(t, i).parent != kNil) {
    const std::int32_t p = At(t, i).parent;
    const std::int32_t k = SlotOf(t, p, i);
    char* low = At(t, i).key[0];
    const std::int32_t largest = Largest(At(t, i));
    if (At(t, p).key[k] == low && At(t, p).size[k] == largest) return;
    At(t, p).key[k] = low;
    At(t, p).size[k] = largest;
    i = p;
  }
}

// The most nodes a tree of n ranges can need: every node but the root is at least half
// full, so each level holds at most an eighth of the nodes below it, plus one per level
// for what does not divide evenly.
std::int64_t NodesFor(std::int64_t n) {
  std::int64_t levels = 2;
  for (std::int64_t x = n; x >= kHalf; x /= kHalf) ++levels;
  return n / (kHalf - 1) + 2 * levels + 2;
}

std::int32_t NewNode(FreeIndex* t, bool leaf) {
  std::int32_t i = t->spare;
  if (i != kNil) {
    t->spare = At(t, i).next;
  } else {
    i = t->top++;
  }
  Node& n = At(t, i);
  n.count = 0;
  n.parent = n.prev = n.next = kNil;
  n.leaf = leaf;
  return i;
}

void DropNode(FreeIndex* t, std::int32_t i) {
  At(t, i).next = t->spare;
  t->spare = i;
}

void SetChild(FreeIndex* t, std::int32_t parent, std::int32_t k, std::int32_t child) {
  At(t, parent).child[k] = child;
  At(t, child).parent = parent;
}

// Puts an entry at slot k of node i, splitting full nodes on the way up. Needs the
// pool to hold the nodes a split may take (see NodesFor).
void InsertAt(FreeIndex* t, std::int32_t i, std::int32_t k, char* key, std::int32_t size,
              std::int32_t child) {
  Node& n = At(t, i);
  if (n.count < kFan) {
    std::copy_backward(n.key + k, n.key + n.count, n.key + n.count + 1);
    std::copy_backward(n.size + k, n.size + n.count, n.size + n.count + 1);
    n.key[k] = key;
    n.size[k] = size;
    if (!n.leaf) {
      std::copy_backward(n.child + k, n.child + n.count, n.child + n.count + 1);
      SetChild(t, i, k, child);
    }
    ++n.count;
    Refresh(t, i);
    return;
  }
  // Full: the kFan + 1 entries go kHalf + 1 to this node and kHalf to a new one after it.
  char* keys[kFan + 1];
  std::int32_t sizes[kFan + 1], children[kFan + 1] = {};
  std::copy(n.key, n.key + k, keys);
  std::copy(n.size, n.size + k, sizes);
  keys[k] = key;
  sizes[k] = size;
  std::copy(n.key + k, n.key + kFan, keys + k + 1);
  std::copy(n.size + k, n.size + kFan, sizes + k + 1);
  if (!n.leaf) {
    std::copy(n.child, n.child + k, children);
    children[k] = child;
    std::copy(n.child + k, n.child + kFan, children + k + 1);
  }
  const std::int32_t m = NewNode(t, At(t, i).leaf);
  Node& low = At(t, i);
  Node& high = At(t, m);
  low.count = kHalf + 1;
  high.count = kHalf;
  for (std::int32_t e = 0; e <= kFan; ++e) {
    const std::int32_t owner = e <= kHalf ? i : m;
    const std::int32_t slot = e <= kHalf ? e : e - kHalf - 1;
    At(t, owner).key[slot] = keys[e];
    At(t, owner).size[slot] = sizes[e];
    if (!low.leaf) SetChild(t, owner, slot, children[e]);
  }
  if (low.leaf) {
    high.prev = i;
    high.next = low.next;
    if (low.next != kNil) At(t, low.next).prev = m;
    low.next = m;
  }
  const std::int32_t parent = low.parent;
  if (parent == kNil) {
    const std::int32_t r = NewNode(t, false);
    Node& root = At(t, r);
    root.count = 2;
    root.key[0] = At(t, i).key[0];
    root.size[0] = Largest(At(t, i));
    root.key[1] = At(t, m).key[0];
    root.size[1] = Largest(At(t, m));
    SetChild(t, r, 0, i);
    SetChild(t, r, 1, m);
    t->root = r;
    return;
  }
  const std::int32_t slot = SlotOf(t, parent, i);
  At(t, parent).key[slot] = At(t, i).key[0];
  At(t, parent).size[slot] = Largest(At(t, i));
  InsertAt(t, parent, slot + 1, At(t, m).key[0], Largest(At(t, m)), m);
}

// Moves entry from of node src to slot to of node dst (both of one kind).
void MoveEntry(FreeIndex* t, std::int32_t src, std::int32_t from, std::int32_t dst,
               std::int32_t to) {
  Node& d = At(t, dst);
  const Node& s = At(t, src);
  d.key[to] = s.key[from];
  d.size[to] = s.size[from];
  if (!d.leaf) SetChild(t, dst, to, s.child[from]);
}

// Takes the entry at slot k out of node i, refilling or merging nodes that fall below
// half on the way up.
void RemoveAt(FreeIndex* t, std::int32_t i, std::int32_t k) {
  {
    Node& n = At(t, i);
    std::copy(n.key + k + 1, n.key + n.count, n.key + k);
    std::copy(n.size + k + 1, n.size + n.count, n.size + k);
    if (!n.leaf) std::copy(n.child + k + 1, n.child + n.count, n.child + k);
    --n.count;
  }
  Node& n = At(t, i);
  if (n.parent == kNil) {
    if (!n.leaf && n.count == 1) {
      t->root = n.child[0];
      At(t, t->root).parent = kNil;
      DropNode(t, i);
    }
    return;
  }
  if (n.count >= kHalf) {
    Refresh(t, i);
    return;
  }
  const std::int32_t parent = n.parent;
  const std::int32_t slot = SlotOf(t, parent, i);
  const bool leftSibling = slot > 0;
  const std::int32_t sibling = At(t, parent).child[leftSibling ? slot - 1 : slot + 1];
  if (At(t, sibling).count > kHalf) {
    // Borrow the sibling's entry nearest to this node.
    if (leftSibling) {
      Node& m = At(t, i);
      std::copy_backward(m.key, m.key + m.count, m.key + m.count + 1);
      std::copy_backward(m.size, m.size + m.count, m.size + m.count + 1);
      if (!m.leaf) std::copy_backward(m.child, m.child + m.count, m.child + m.count + 1);
      MoveEntry(t, sibling, At(t, sibling).count - 1, i, 0);
      ++At(t, i).count;
      --At(t, sibling).count;
    } else {
      MoveEntry(t, sibling, 0, i, At(t, i).count);
      ++At(t, i).count;
      Node& s = At(t, sibling);
      std::copy(s.key + 1, s.key + s.count, s.key);
      std::copy(s.size + 1, s.size + s.count, s.size);
      if (!s.leaf) std::copy(s.child + 1, s.child + s.count, s.child);
      --s.count;
    }
    Refresh(t, i);
    Refresh(t, sibling);
    return;
  }
  // Merge the right one of the two into the left one, then drop its entry above.
  const std::int32_t left = leftSibling ? sibling : i;
  const std::int32_t right = leftSibling ? i : sibling;
  for (std::int32_t e = 0; e < At(t, right).count; ++e) {
    MoveEntry(t, right, e, left, At(t, left).count + e);
  }
  At(t, left).count += At(t, right).count;
  if (At(t, left).leaf) {
    At(t, left).next = At(t, right).next;
    if (At(t, right).next != kNil) At(t, At(t, right).next).prev = left;
  }
  const std::int32_t leftSlot = SlotOf(t, parent, left);
  At(t, parent).key[leftSlot] = At(t, left).key[0];
  At(t, parent).size[leftSlot] = Largest(At(t, left));
  DropNode(t, right);
  RemoveAt(t, parent, leftSlot + 1);
}

// The leaf where address a belongs, and the number of its entries at or below a.
Place Locate(FreeIndex* t, const char* a) {
  std::int32_t i = t->root;
  while (!At(t, i).leaf) {
    const Node& n = At(t, i);
    std::int32_t k = 0;
    for (std::int32_t e = 1; e < n.count; ++e) k += n.key[e] <= a;
    i = n.child[k];
    Prefetch(t, i);
  }
  const Node& n = At(t, i);
  std::int32_t k = 0;
  for (std::int32_t e = 0; e < n.count; ++e) k += n.key[e] <= a;
  return {i, k};
}

Place Before(FreeIndex* t, Place p) {
  if (p.slot > 0) return {p.node, p.slot - 1};
  const std::int32_t prev = At(t, p.node).prev;
  return {prev, prev == kNil ? 0 : At(t, prev).count - 1};
}

Place After(FreeIndex* t, Place p) {
  if (p.slot < At(t, p.node).count) return p;
  return {At(t, p.node).next, 0};
}

char* KeyAt(FreeIndex* t, Place p) { return At(t, p.node).key[p.slot]; }
std::int32_t SizeAt(FreeIndex* t, Place p) { return At(t, p.node).size[p.slot]; }

// The range after the one at p, nullptr for none: what its link in the free list says,
// read from the index, which is at hand, rather than from the free memory.
FreeRange* NextRange(FreeIndex* t, Place p) {
  const Place q = After(t, {p.node, p.slot + 1});
  return q.node == kNil ? nullptr : RangeAt(KeyAt(t, q));
}

// Changes the range at p; its address keeps its place among the others.
void Update(FreeIndex* t, Place p, char* address, std::int32_t size) {
  At(t, p.node).key[p.slot] = address;
  At(t, p.node).size[p.slot] = size;
  Refresh(t, p.node);
}

void Insert(FreeIndex* t, Place p, char* address, std::int32_t size) {
  InsertAt(t, p.node, p.slot, address, size, kNil);
  ++t->count;
}

void Erase(FreeIndex* t, Place p) {
  RemoveAt(t, p.node, p.slot);
  --t->count;
}

// The lowest-addressed range of at least size bytes, or node kNil.
Place FirstFit(FreeIndex* t, std::int32_t size) {
  std::int32_t i = t->root;
  if (Largest(At(t, i)) < size) return {kNil, 0};
  for (;;) {
    const Node& n = At(t, i);
    std::int32_t k = 0;
    while (n.size[k] < size) ++k;
    if (n.leaf) return {i, k};
    i = n.child[k];
    Prefetch(t, i);
  }
}

// ---- the segment index

void DropSegmentIndex(FreeIndex* t) {
  if (t == nullptr || t->segments == nullptr) return;
  FreePoolMemory(t->segments->nodes,
                 static_cast<std::size_t>(t->segments->capacity) * sizeof(SegmentNode));
  std::free(t->segments);
  t->segments = nullptr;
}

// Makes the pool hold the nodes one more insertion may take: one for every level it
// splits and one for a new root.
bool ReserveSegmentNodes(SegmentIndex* x) {
  const std::int64_t needed = std::int64_t{x->top} + x->levels + 2;
  if (needed <= x->capacity) return true;
  if (x->levels + 2 >= kSegmentDepth) return false;
  const std::int64_t capacity = std::max<std::int64_t>({needed, 2 * std::int64_t{x->capacity}, 8});
  if (capacity > std::numeric_limits<std::int32_t>::max() / 2 || !RequestAllowed()) return false;
  void* nodes =
      GrowPoolMemory(x->nodes, static_cast<std::size_t>(x->capacity) * sizeof(SegmentNode),
                     static_cast<std::size_t>(capacity) * sizeof(SegmentNode));
  if (nodes == nullptr) return false;
  x->nodes = static_cast<SegmentNode*>(nodes);
  x->capacity = static_cast<std::int32_t>(capacity);
  return true;
}

// Enters s (whose block is not in the index yet) and returns the segment of the lowest
// block above it, nullptr when there is none. Needs ReserveSegmentNodes first.
Segment* EnterSegment(SegmentIndex* x, Segment* s) {
  char* const a = static_cast<char*>(s->address);
  SegmentNode* const nodes = x->nodes;
  struct Step {
    std::int32_t node, slot;
  } path[kSegmentDepth];
  std::int32_t i = x->root;
  std::int32_t level = 0;
  while (!nodes[i].leaf) {
    const SegmentNode& n = nodes[i];
    std::int32_t k = 0;
    for (std::int32_t e = 1; e < n.count; ++e) k += n.key[e] < a;
    path[level++] = {i, k};
    i = static_cast<std::int32_t>(n.item[k]);
  }
  std::int32_t k = 0;
  for (std::int32_t e = 0; e < nodes[i].count; ++e) k += nodes[i].key[e] < a;
  // The neighbour above: the next entry of this leaf, or the first of the next subtree.
  Segment* above = nullptr;
  if (k < nodes[i].count) {
    above = reinterpret_cast<Segment*>(nodes[i].item[k]);
  } else {
    for (std::int32_t l = level; l-- > 0;) {
      const SegmentNode& n = nodes[path[l].node];
      if (path[l].slot + 1 == n.count) continue;
      std::int32_t j = static_cast<std::int32_t>(n.item[path[l].slot + 1]);
      while (!nodes[j].leaf) j = static_cast<std::int32_t>(nodes[j].item[0]);
      above = reinterpret_cast<Segment*>(nodes[j].item[0]);
      break;
    }
  }
  ++x->count;
  char* key = a;
  std::uintptr_t item = reinterpret_cast<std::uintptr_t>(s);
  for (;;) {
    SegmentNode& n = nodes[i];
    if (n.count < kSegmentFan) {
      std::copy_backward(n.key + k, n.key + n.count, n.key + n.count + 1);
      std::copy_backward(n.item + k, n.item + n.count, n.item + n.count + 1);
      n.key[k] = key;
      n.item[k] = item;
      ++n.count;
      return above;
    }
    // Full: split. An entry past the end (blocks arriving in ascending order) leaves
    // this node full and starts the new one; otherwise each gets half.
    const std::int32_t m = x->top++;
    SegmentNode& high = nodes[m];
    const std::int32_t keep = k == kSegmentFan ? kSegmentFan : kSegmentFan / 2;
    high.leaf = n.leaf;
    high.count = kSegmentFan - keep;
    std::copy(n.key + keep, n.key + kSegmentFan, high.key);
    std::copy(n.item + keep, n.item + kSegmentFan, high.item);
    n.count = keep;
    SegmentNode& into = k <= keep && k < kSegmentFan ? n : high;
    const std::int32_t at = &into == &n ? k : k - keep;
    std::copy_backward(into.key + at, into.key + into.count, into.key + into.count + 1);
    std::copy_backward(into.item + at, into.item + into.count, into.item + into.count + 1);
    into.key[at] = key;
    into.item[at] = item;
    ++into.count;
    key = high.key[0];
    item = static_cast<std::uintptr_t>(m);
    if (level == 0) {
      const std::int32_t r = x->top++;
      nodes[r].leaf = false;
      nodes[r].count = 2;
      nodes[r].key[0] = n.key[0];
      nodes[r].item[0] = static_cast<std::uintptr_t>(i);
      nodes[r].key[1] = key;
      nodes[r].item[1] = item;
      x->root = r;
      ++x->levels;
      return above;
    }
    --level;
    i = path[level].node;
    k = path[level].slot + 1;
  }
}

// b's segment index, built from the list when b has none. nullptr when host memory
// runs out.
SegmentIndex* SegmentIndexOf(Ref b) {
  FreeIndex* t = IndexOf(b);
  if (t->segments != nullptr) return t->segments;
  if (!RequestAllowed()) return nullptr;
  auto* x = static_cast<SegmentIndex*>(std::malloc(sizeof(SegmentIndex)));
  if (x == nullptr) return nullptr;
  *x = SegmentIndex{nullptr, 0, 0, 0, 0, 0};
  if (!ReserveSegmentNodes(x)) {
    std::free(x);
    return nullptr;
  }
  x->top = 1;
  x->nodes[0].leaf = true;
  x->nodes[0].count = 0;
  t->segments = x;
  for (Segment* s = b->segments; s != nullptr; s = s->next) {
    if (!ReserveSegmentNodes(x)) {
      DropSegmentIndex(t);
      return nullptr;
    }
    EnterSegment(x, s);
  }
  return x;
}

void ReleaseIndex(Ref b) {
  FreeIndex* t = IndexOf(b);
  if (t == nullptr) return;
  DropSegmentIndex(t);
  FreePoolMemory(t->nodes, static_cast<std::size_t>(t->capacity) * sizeof(Node));
  std::free(t);
  b->freeIndex = nullptr;
}

// Makes the pool hold the nodes for n ranges. False when host memory runs out.
bool GrowPool(FreeIndex* t, std::int64_t n) {
  if (n <= t->covers) return true;
  const std::int64_t needed = NodesFor(n) + 1;
  if (needed <= t->capacity) return true;
  if (needed > std::numeric_limits<std::int32_t>::max() / 2) return false;
  const std::int64_t capacity = std::max(needed, 2 * std::int64_t{t->capacity});
  if (!RequestAllowed()) return false;
  void* nodes = GrowPoolMemory(t->nodes, static_cast<std::size_t>(t->capacity) * sizeof(Node),
                               static_cast<std::size_t>(capacity) * sizeof(Node));
  if (nodes == nullptr) return false;
  t->nodes = static_cast<Node*>(nodes);
  t->capacity = static_cast<std::int32_t>(capacity);
  if (t->root == kNil) t->root = NewNode(t, true);
  // Every allocation asks; the answer for the pool as it now is comes from one search.
  std::int64_t low = n, high = (kHalf - 1) * capacity;
  while (low < high) {
    const std::int64_t mid = low + (high - low + 1) / 2;
    if (NodesFor(mid) + 1 <= capacity) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  t->covers = low;
  return true;
}

// Gives b its index when it has none. False when host memory runs out.
bool MakeFreeIndex(Ref b) {
  if (b->freeIndex != nullptr) return true;
  if (!RequestAllowed()) return false;
  auto* t = static_cast<FreeIndex*>(std::malloc(sizeof(FreeIndex)));
  if (t == nullptr) return false;
  *t = FreeIndex{nullptr, 0, 1, kNil, kNil, 0, 0, -1, nullptr};
  b->freeIndex = t;
  return true;
}

// ---- the free list

void SetNext(Ref b, Place predecessor, char* range) {
  if (predecessor.node == kNil) {
    b->freeList = range;
  } else {
    RangeAt(KeyAt(IndexOf(b), predecessor))->next = RangeAt(range);
  }
}

// Links [address, address+size) into b's free list, merging it with the neighbours it
// touches. A range that overlaps a free one (a second free of the same memory), or
// that is not granule-aligned, is left alone: linking it would corrupt the list.
// False when the range was not linked.
bool LinkRange(Ref b, char* address, std::int64_t size) {
  if (address == nullptr || size < 1) return false;
  size = RoundUp(size, kGranule);
  if (size > kMaxSize || reinterpret_cast<std::uintptr_t>(address) % kGranule != 0) return false;
  FreeIndex* t = IndexOf(b);
  if (t == nullptr || !GrowPool(t, std::int64_t{t->count} + 1)) return false;
  const Place at = Locate(t, address);
  const Place below = Before(t, at);
  const Place above = After(t, at);
  char* const end = address + size;
  if (below.node != kNil && KeyAt(t, below) + SizeAt(t, below) > address) return false;
  if (above.node != kNil && KeyAt(t, above) < end) return false;
  const bool joinsBelow = below.node != kNil && KeyAt(t, below) + SizeAt(t, below) == address;
  const bool joinsAbove = above.node != kNil && KeyAt(t, above) == end;
  // The sizes and links of the neighbours come from the index; the free memory is
  // only written, which does not hold the processor up where it is not in the cache.
  if (joinsBelow) {
    FreeRange* low = RangeAt(KeyAt(t, below));
    // Ranges never span two system blocks, so the sum fits.
    std::int64_t merged = SizeAt(t, below) + size;
    if (joinsAbove) {
      merged += SizeAt(t, above);
      low->next = NextRange(t, above);
    }
    low->size = static_cast<std::int32_t>(merged);
    // An update moves no entries, so the place of the range above still holds.
    Update(t, below, KeyAt(t, below), low->size);
    if (joinsAbove) Erase(t, above);
    return true;
  }
  FreeRange* range = RangeAt(address);
  if (joinsAbove) {
    range->next = NextRange(t, above);
    range->size = static_cast<std::int32_t>(size + SizeAt(t, above));
    Update(t, above, address, range->size);
  } else {
    range->next = above.node == kNil ? nullptr : RangeAt(KeyAt(t, above));
    range->size = static_cast<std::int32_t>(size);
    Insert(t, at, address, range->size);
  }
  SetNext(b, below, address);
  return true;
}

// Takes back a range the heap handed out.
void FreeRangeIn(Ref b, char* address, std::int64_t size) {
  if (LinkRange(b, address, size) && IndexOf(b)->outstanding > 0) --IndexOf(b)->outstanding;
}

// Hands out the front of the range at p. The free-range head it held is cleared, so
// that memory from a fresh system block reads as zero throughout.
char* Take(Ref b, Place p, std::int32_t size) {
  FreeIndex* t = IndexOf(b);
  char* address = KeyAt(t, p);
  FreeRange* range = RangeAt(address);
  const Place predecessor = Before(t, p);
  FreeRange* const next = NextRange(t, p);
  if (SizeAt(t, p) == size) {
    SetNext(b, predecessor, reinterpret_cast<char*>(next));
    Erase(t, p);
  } else {
    char* rest = address + size;
    const std::int32_t restSize = SizeAt(t, p) - size;
    RangeAt(rest)->next = next;
    RangeAt(rest)->size = restSize;
    Update(t, p, rest, restSize);
    SetNext(b, predecessor, rest);
  }
  std::memset(range, 0, sizeof *range);
  ++t->outstanding;
  return address;
}

// Takes [address, address+size) out of b's free list; false (after the fatal alert)
// when it is not wholly inside one free range.
bool RemoveFree(Ref b, char* address, std::int64_t size) {
  FreeIndex* t = IndexOf(b);
  const Place node =
      t == nullptr || t->root == kNil ? Place{kNil, 0} : Before(t, Locate(t, address));
  if (node.node == kNil || KeyAt(t, node) + SizeAt(t, node) <= address) {
    Fatal(kRemoveFree1Text);
    return false;
  }
  char* const start = KeyAt(t, node);
  char* const end = start + SizeAt(t, node);
  if (address + size > end) {
    Fatal(kRemoveFree2Text);
    return false;
  }
  FreeRange* range = RangeAt(start);
  char* const after = address + size;
  if (address > start && after < end && !GrowPool(t, std::int64_t{t->count} + 1)) return false;
  if (address > start) {
    range->size = static_cast<std::int32_t>(address - start);
    Update(t, node, start, range->size);
    if (after < end) {
      RangeAt(after)->next = range->next;
      RangeAt(after)->size = static_cast<std::int32_t>(end - after);
      range->next = RangeAt(after);
      Insert(t, {node.node, node.slot + 1}, after, RangeAt(after)->size);
    }
  } else {
    const Place predecessor = Before(t, node);
    if (after < end) {
      RangeAt(after)->next = range->next;
      RangeAt(after)->size = static_cast<std::int32_t>(end - after);
      Update(t, node, after, RangeAt(after)->size);
      SetNext(b, predecessor, after);
    } else {
      SetNext(b, predecessor, reinterpret_cast<char*>(range->next));
      Erase(t, node);
    }
  }
  return true;
}

// ---- segments and allocation

Ref SegmentOwner(Ref b) { return b == &state.root ? b : b->parent; }

char* AllocateIn(Ref b, std::int64_t size);

// Records a new system block of b in a segment in b's owner's heap, at its place in
// the list. False, with nothing changed in b, when memory runs out.
bool AddSegment(Ref b, char* block, std::int64_t size) {
  auto* s = reinterpret_cast<Segment*>(AllocateIn(SegmentOwner(b), sizeof(Segment)));
  if (s == nullptr) return false;
  s->size = static_cast<std::int32_t>(size);
  s->address = block;
  if (IndexOf(b) == nullptr) {
    // Only the data block of a Block buffer comes without a free-range index, and it
    // is the first segment.
    s->next = b->segments;
    b->segments = s;
    return true;
  }
  SegmentIndex* x = SegmentIndexOf(b);
  if (x == nullptr || !ReserveSegmentNodes(x)) {
    FreeRangeIn(SegmentOwner(b), reinterpret_cast<char*>(s), sizeof(Segment));
    return false;
  }
  Segment** link = &b->segments;
  if (Segment* above = EnterSegment(x, s)) link = &above->next;
  s->next = *link;
  *link = s;
  return true;
}

// The heap allocation without the output check, used by every part of the store.
char* AllocateIn(Ref b, std::int64_t size) {
  if (size < 1) return nullptr;
  size = RoundUp(size, kGranule);
  if (size > kMaxSize - kSystemUnit) return nullptr;
  // One node for a new system block, and the spare node promised to the range handed out.
  if (!MakeFreeIndex(b)) return nullptr;
  FreeIndex* t = IndexOf(b);
  if (!GrowPool(t, t->count + std::max<std::int64_t>(t->outstanding, 0) + 2)) return nullptr;
  const auto want = static_cast<std::int32_t>(size);
  Place fit = FirstFit(t, want);
  if (fit.node == kNil) {
    // The root records its segments in its own heap, possibly in the new block itself,
    // so its block must hold that record as well.
    const std::int64_t need = b == &state.root ? size + RoundUp(sizeof(Segment), kGranule) : size;
    const std::int64_t blockSize = need <= kSystemUnit ? kSystemUnit : RoundUp(need, kSystemUnit);
    char* block = SystemBlock(b, blockSize);
    if (block == nullptr) return nullptr;
    LinkRange(b, block, blockSize);
    if (!AddSegment(b, block, blockSize)) {
      if (RemoveFree(b, block, blockSize)) ReleaseSystemBlock(block, blockSize);
      return nullptr;
    }
    fit = FirstFit(t, want);
  }
  return Take(b, fit, want);
}

// Gives every system block of b back and frees its segment records.
void ReleaseBlocks(Ref b) {
  if (b == &state.root) {
    // The root's segment records lie in its own blocks: read them all before any
    // block goes.
    std::int32_t n = 0;
    for (Segment* s = b->segments; s != nullptr; s = s->next) ++n;
    auto* copies = static_cast<Segment*>(std::malloc(sizeof(Segment) * std::max(n, 1)));
    if (copies == nullptr) return;
    n = 0;
    for (Segment* s = b->segments; s != nullptr; s = s->next) copies[n++] = *s;
    for (std::int32_t i = 0; i < n; ++i) ReleaseSystemBlock(copies[i].address, copies[i].size);
    std::free(copies);
  } else {
    for (Segment* s = b->segments; s != nullptr;) {
      Segment* next = s->next;
      ReleaseSystemBlock(s->address, s->size);
      FreeRangeIn(b->parent, reinterpret_cast<char*>(s), sizeof(Segment));
      s = next;
    }
  }
  b->segments = nullptr;
  b->freeList = nullptr;
  ReleaseIndex(b);
}

// ---- directories

DirectoryIndex* IndexOfDirectory(Ref dir) {
  return dir->kind == BufferKind::Directory ? static_cast<DirectoryIndex*>(dir->data) : nullptr;
}

Chars NameOf(const Record* r) { return Chars(r->name, kNameHigh); }

// Binary search; the record or nullptr, and the position where the name is or belongs.
Ref Lookup(Ref dir, Chars name, std::int32_t& position) {
  position = 0;
  DirectoryIndex* index = IndexOfDirectory(dir);
  if (index == nullptr) return nullptr;
  const auto nameAt = [index](std::int32_t i) { return NameOf(index->entries[i]); };
  return Strings::FindSorted(index->used, nameAt, name, position) ? index->entries[position]
                                                                  : nullptr;
}

// The position of b in its parent's index, or -1.
std::int32_t PositionOf(Ref b) {
  std::int32_t position;
  if (Lookup(b->parent, NameOf(b), position) == b) return position;
  DirectoryIndex* index = IndexOfDirectory(b->parent);
  if (index == nullptr) return -1;
  for (std::int32_t i = 0; i < index->used; ++i) {
    if (index->entries[i] == b) return i;
  }
  return -1;
}

// Gives dir an index when it has none; false when memory runs out. made tells whether
// this call created it, so that a failing caller can take it back.
bool MakeIndex(Ref dir, bool& made) {
  made = false;
  if (dir->data != nullptr) return true;
  auto* index = reinterpret_cast<DirectoryIndex*>(AllocateIn(dir, sizeof(DirectoryIndex)));
  if (index == nullptr) return false;
  auto* entries = reinterpret_cast<Ref*>(AllocateIn(dir, kEntryStep * sizeof(Ref)));
  if (entries == nullptr) {
    FreeRangeIn(dir, reinterpret_cast<char*>(index), sizeof(DirectoryIndex));
    return false;
  }
  *index = DirectoryIndex{entries, kEntryStep, 0};
  dir->data = index;
  dir->dataSize = sizeof(DirectoryIndex);
  made = true;
  return true;
}

void DropIndex(Ref dir) {
  auto* index = static_cast<DirectoryIndex*>(dir->data);
  FreeRangeIn(dir, reinterpret_cast<char*>(index->entries),
              static_cast<std::int64_t>(index->capacity) * sizeof(Ref));
  FreeRangeIn(dir, reinterpret_cast<char*>(index), sizeof(DirectoryIndex));
  dir->data = nullptr;
  dir->dataSize = 0;
}

bool InsertEntry(Ref dir, std::int32_t position, Ref entry) {
  DirectoryIndex* index = IndexOfDirectory(dir);
  if (index->used == index->capacity) {
    const std::int64_t capacity = std::int64_t{index->capacity} + kEntryStep;
    auto* entries = reinterpret_cast<Ref*>(AllocateIn(dir, capacity * sizeof(Ref)));
    if (entries == nullptr) return false;
    std::copy(index->entries, index->entries + position, entries);
    entries[position] = entry;
    std::copy(index->entries + position, index->entries + index->used, entries + position + 1);
    FreeRangeIn(dir, reinterpret_cast<char*>(index->entries),
                static_cast<std::int64_t>(index->capacity) * sizeof(Ref));
    index->entries = entries;
    index->capacity = static_cast<std::int32_t>(capacity);
  } else {
    std::copy_backward(index->entries + position, index->entries + index->used,
                       index->entries + index->used + 1);
    index->entries[position] = entry;
  }
  ++index->used;
  return true;
}

void RemoveEntryAt(Ref dir, std::int32_t position) {
  DirectoryIndex* index = IndexOfDirectory(dir);
  std::copy(index->entries + position + 1, index->entries + index->used, index->entries + position);
  --index->used;
}

void SetName(Record* r, Chars leaf) {
  std::memset(r->name, 0, sizeof r->name);
  const std::size_t n = std::min(Strings::Length(leaf), sizeof r->name);
  std::memcpy(r->name, leaf.p, n);
}

void InitRecord(Record* r, Chars leaf, Ref parent, BufferKind kind) {
  std::memset(r, 0, sizeof *r);
  SetName(r, leaf);
  r->parent = parent;
  r->kind = kind;
}

// Splits a path into its directory and leaf; nullptr when a directory on the way is
// missing, the path is empty or holds "//".
Ref Resolve(Chars path, char (&leaf)[kNameHigh + 1]) {
  std::memset(leaf, 0, sizeof leaf);
  const std::size_t length = Strings::Length(path);
  if (length == 0) return nullptr;
  Ref dir = state.current;
  std::size_t i = 0;
  if (path[0] == '/') {
    dir = &state.root;
    i = 1;
  }
  for (;;) {
    std::size_t j = i;
    while (j < length && path[j] != '/') ++j;
    const std::size_t n = std::min(j - i, sizeof leaf);
    if (j == length) {
      std::memcpy(leaf, path.p + i, n);
      return dir;
    }
    if (j == i) return nullptr;
    char component[kNameHigh + 1] = {};
    std::memcpy(component, path.p + i, n);
    std::int32_t position;
    Ref next = Lookup(dir, Chars(component, kNameHigh), position);
    if (next == nullptr || next->kind != BufferKind::Directory) return nullptr;
    dir = next;
    i = j + 1;
  }
}

bool IsWithin(Ref b, Ref ancestor) {
  for (Ref r = b;; r = r->parent) {
    if (r == ancestor) return true;
    if (r == &state.root) return false;
  }
}

// A new record in dir's heap, entered at position of its index; on failure nothing is
// left behind (an index made for it, madeIndex, is dropped too) and the failure is
// reported.
Ref NewEntry(Ref dir, std::int32_t position, bool madeIndex) {
  auto* r = reinterpret_cast<Record*>(AllocateIn(dir, sizeof(Record)));
  if (r != nullptr && !InsertEntry(dir, position, r)) {
    FreeRangeIn(dir, reinterpret_cast<char*>(r), sizeof(Record));
    r = nullptr;
  }
  if (r == nullptr) {
    if (madeIndex) DropIndex(dir);
    OutputFailed();
  }
  return r;
}

Ref CreateEntry(Chars path, BufferKind kind, bool open) {
  Init();
  char leaf[kNameHigh + 1];
  Ref dir = Resolve(path, leaf);
  if (dir == nullptr || leaf[0] == 0 || kind > BufferKind::Library) {
    OutputFailed();
    return nullptr;
  }
  const Chars name(leaf, kNameHigh);
  bool made;
  if (!MakeIndex(dir, made)) {
    OutputFailed();
    return nullptr;
  }
  std::int32_t position;
  if (Ref hit = Lookup(dir, name, position)) {
    if (open ? hit->kind != kind : hit->kind == BufferKind::Directory) {
      OutputFailed();
      return nullptr;
    }
    if (open) return hit;
    // Emptying a buffer another module holds would pull its memory from under it.
    if (InUse(hit)) {
      OutputFailed();
      return nullptr;
    }
    Released(hit, nullptr);
    ReleaseBlocks(hit);
    InitRecord(hit, name, dir, kind);
    return hit;
  }
  Ref r = NewEntry(dir, position, made);
  if (r == nullptr) return nullptr;
  InitRecord(r, name, dir, kind);
  return r;
}

void AppendPath(Ref b, VarChars s) {
  if (b->parent != &state.root) AppendPath(b->parent, s);
  Strings::Append(s, "/");
  Strings::Append(s, NameOf(b));
}

// ---- the heap checker

std::string Describe(const char* what, const void* address) {
  char text[96];
  std::snprintf(text, sizeof text, "%s at %p", what, address);
  return text;
}

bool InsideSegments(Ref b, const char* start, const char* end) {
  for (Segment* s = b->segments; s != nullptr; s = s->next) {
    const char* a = static_cast<const char*>(s->address);
    if (start >= a && end <= a + s->size) return true;
  }
  return false;
}

// True when [start, end) is memory b has handed out: inside its segments and clear
// of its free ranges.
bool InUseIn(Ref b, const void* startAddress, std::size_t size) {
  const char* start = static_cast<const char*>(startAddress);
  const char* end = start + size;
  if (!InsideSegments(b, start, end)) return false;
  FreeIndex* t = IndexOf(b);
  if (t == nullptr || t->root == kNil) return true;
  const Place at = Locate(t, start);
  const Place below = Before(t, at);
  const Place above = After(t, at);
  if (below.node != kNil && KeyAt(t, below) + SizeAt(t, below) > start) return false;
  return above.node == kNil || KeyAt(t, above) >= end;
}

// What a walk of the index meets: the free range it must agree with next, the leaf
// before, the depth of the leaves and the ranges seen.
struct Walk {
  FreeRange* expect;
  std::int32_t lastLeaf = kNil;
  std::int32_t leafDepth = -1;
  std::int32_t count = 0;
  std::int32_t nodes = 0;
};

// Walks the index in address order, checking its links, fill, order, lowest addresses
// and largest sizes, and the ranges against the free list.
std::string CheckNode(FreeIndex* t, std::int32_t i, std::int32_t parent, std::int32_t depth,
                      Walk& w) {
  if (i < 1 || i >= t->top) return "index node out of the pool";
  ++w.nodes;
  const Node& n = At(t, i);
  if (n.parent != parent) return "index parent link broken";
  const std::int32_t least = parent != kNil ? kHalf : (n.leaf ? 0 : 2);
  if (n.count < least || n.count > kFan) return "index node fill wrong";
  for (std::int32_t k = 1; k < n.count; ++k) {
    if (n.key[k - 1] >= n.key[k]) return Describe("index out of order", n.key[k]);
  }
  if (!n.leaf) {
    for (std::int32_t k = 0; k < n.count; ++k) {
      const Node& c = At(t, n.child[k]);
      if (n.child[k] < 1 || n.child[k] >= t->top) return "index node out of the pool";
      if (c.count < 1 || c.key[0] != n.key[k] || Largest(c) != n.size[k]) {
        return Describe("index summary wrong", n.key[k]);
      }
      if (std::string e = CheckNode(t, n.child[k], i, depth + 1, w); !e.empty()) return e;
    }
    return {};
  }
  if (w.leafDepth >= 0 && w.leafDepth != depth) return "index leaves at different depths";
  w.leafDepth = depth;
  if (n.prev != w.lastLeaf || (w.lastLeaf != kNil && At(t, w.lastLeaf).next != i)) {
    return "index leaf chain broken";
  }
  w.lastLeaf = i;
  for (std::int32_t k = 0; k < n.count; ++k) {
    if (w.expect == nullptr) return Describe("index holds a range the list lacks", n.key[k]);
    if (reinterpret_cast<char*>(w.expect) != n.key[k] || w.expect->size != n.size[k]) {
      return Describe("index disagrees with the free list", w.expect);
    }
    w.expect = w.expect->next;
    ++w.count;
  }
  return {};
}

// Walks the segment index in address order into order, checking fill, key order,
// separators and depth. The first key of an inner node guides no search and is not
// kept up to date, so only the keys from the second on must be in order.
std::string CheckSegmentNode(const SegmentIndex* x, std::int32_t i, std::int32_t level,
                             const char* low, const char* high, std::vector<Segment*>& order) {
  if (i < 0 || i >= x->top) return "segment index node out of the pool";
  const SegmentNode& n = x->nodes[i];
  if (n.leaf != (level == x->levels)) return "segment index leaves at different depths";
  if (n.count < (i == x->root ? (n.leaf ? 0 : 2) : 1) || n.count > kSegmentFan) {
    return "segment index node fill wrong";
  }
  for (std::int32_t e = 0; e < n.count; ++e) {
    if (e > (n.leaf ? 0 : 1) && n.key[e - 1] >= n.key[e]) {
      return Describe("segment index out of order", n.key[e]);
    }
    const char* below = e + 1 < n.count ? n.key[e + 1] : high;
    if (n.leaf) {
      auto* s = reinterpret_cast<Segment*>(n.item[e]);
      if (n.key[e] < low || (high != nullptr && n.key[e] >= high) || s->address != n.key[e]) {
        return Describe("segment index key wrong", n.key[e]);
      }
      order.push_back(s);
    } else if (std::string r = CheckSegmentNode(x, static_cast<std::int32_t>(n.item[e]), level + 1,
                                                e == 0 ? low : n.key[e], below, order);
               !r.empty()) {
      return r;
    }
  }
  return {};
}

std::string CheckHeapOf(Ref b) {
  const Segment* previous = nullptr;
  for (Segment* s = b->segments; s != nullptr; s = s->next) {
    if (s->size <= 0 || s->size % kSystemUnit != 0) return Describe("segment size wrong", s);
    if (previous != nullptr && previous->address <= s->address) {
      return Describe("segments not in descending order", s);
    }
    if (!InUseIn(SegmentOwner(b), s, sizeof *s)) {
      return Describe("segment record outside the owner's heap", s);
    }
    previous = s;
  }
  if (const FreeIndex* t = IndexOf(b); t != nullptr && t->segments != nullptr) {
    const SegmentIndex* x = t->segments;
    std::vector<Segment*> order;
    if (std::string e = CheckSegmentNode(x, x->root, 0, nullptr, nullptr, order); !e.empty()) {
      return e;
    }
    if (static_cast<std::int64_t>(order.size()) != x->count) return "segment index count wrong";
    for (Segment* s = b->segments; s != nullptr; s = s->next) {
      if (order.empty() || order.back() != s)
        return Describe("segment index disagrees with the list", s);
      order.pop_back();
    }
    if (!order.empty()) return "segment index holds a segment the list lacks";
  }
  const char* lastEnd = nullptr;
  std::int32_t ranges = 0;
  for (auto* r = static_cast<FreeRange*>(b->freeList); r != nullptr; r = r->next) {
    const char* start = reinterpret_cast<const char*>(r);
    if (reinterpret_cast<std::uintptr_t>(start) % kGranule != 0) {
      return Describe("free range not granule-aligned", r);
    }
    if (r->size < kGranule || r->size % kGranule != 0) return Describe("free range size wrong", r);
    if (lastEnd != nullptr && start <= lastEnd) {
      return Describe(start == lastEnd ? "adjacent free ranges" : "free list out of order", r);
    }
    if (!InsideSegments(b, start, start + r->size)) {
      return Describe("free range outside the segments", r);
    }
    lastEnd = start + r->size;
    ++ranges;
  }
  FreeIndex* t = IndexOf(b);
  if (t == nullptr || t->root == kNil) {
    return ranges == 0 ? std::string() : "free ranges without index";
  }
  Walk w{static_cast<FreeRange*>(b->freeList)};
  if (std::string e = CheckNode(t, t->root, kNil, 0, w); !e.empty()) return e;
  if (w.expect != nullptr) return Describe("free list holds a range the index lacks", w.expect);
  if (At(t, w.lastLeaf).next != kNil) return "index leaf chain broken";
  if (w.count != t->count || w.nodes > NodesFor(w.count) || NodesFor(w.count) + 1 > t->capacity) {
    return "index count wrong";
  }
  return {};
}

std::string CheckTree(Ref dir, std::int64_t& bytes) {
  for (Segment* s = dir->segments; s != nullptr; s = s->next) bytes += s->size;
  if (std::string e = CheckHeapOf(dir); !e.empty()) return base::ToString(NameOf(dir)) + ": " + e;
  DirectoryIndex* index = IndexOfDirectory(dir);
  if (index == nullptr) return {};
  if (index->used < 0 || index->used > index->capacity || index->capacity % kEntryStep != 0) {
    return base::ToString(NameOf(dir)) + ": directory index counts wrong";
  }
  if (!InUseIn(dir, index, sizeof *index) ||
      !InUseIn(dir, index->entries, sizeof(Ref) * static_cast<std::size_t>(index->capacity))) {
    return base::ToString(NameOf(dir)) + ": directory index outside its heap";
  }
  for (std::int32_t i = 0; i < index->used; ++i) {
    Ref e = index->entries[i];
    const std::string entry = base::ToString(NameOf(e));
    if (e->parent != dir) return entry + ": parent link wrong";
    if (i > 0 && Strings::Compare(NameOf(index->entries[i - 1]), NameOf(e)) >= 0) {
      return entry + ": directory index out of order";
    }
    if (!InUseIn(dir, e, sizeof *e)) {
      return entry + ": record outside its directory's heap";
    }
    if (e->kind == BufferKind::Directory) {
      if (std::string r = CheckTree(e, bytes); !r.empty()) return r;
    } else {
      for (Segment* s = e->segments; s != nullptr; s = s->next) bytes += s->size;
      if (std::string r = CheckHeapOf(e); !r.empty()) return entry + ": " + r;
    }
  }
  return {};
}

// Releases everything below dir without freeing inside dir's heap.
void ReleaseTree(Ref dir) {
  if (DirectoryIndex* index = IndexOfDirectory(dir)) {
    for (std::int32_t i = 0; i < index->used; ++i) ReleaseTree(index->entries[i]);
  }
  if (dir != &state.root) ReleaseBlocks(dir);
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  std::memset(&state.root, 0, sizeof state.root);
  state.root.parent = &state.root;
  state.root.kind = BufferKind::Directory;
  state.current = &state.root;
  state.systemBytes = 0;
  state.checkInput = false;
  state.checkOutput = false;
}

Ref Create(Chars path, BufferKind kind) { return CreateEntry(path, kind, false); }

Ref Open(Chars path, BufferKind kind) { return CreateEntry(path, kind, true); }

Ref Find(Chars path) {
  Init();
  char leaf[kNameHigh + 1];
  Ref dir = Resolve(path, leaf);
  if (dir == nullptr || leaf[0] == 0) return dir;
  std::int32_t position;
  return Lookup(dir, Chars(leaf, kNameHigh), position);
}

void Delete(Ref& b) {
  Init();
  if (b == nullptr || b == &state.root) return;
  if (InUse(b) || (b->kind == BufferKind::Directory && (EntryCount(b) > 0 || b == state.current))) {
    return;
  }
  const std::int32_t position = PositionOf(b);
  if (position < 0) {
    Fatal(kRemoveEntryText);
    return;
  }
  Ref parent = b->parent;
  Released(b, nullptr);
  ReleaseBlocks(b);
  RemoveEntryAt(parent, position);
  FreeRangeIn(parent, reinterpret_cast<char*>(b), sizeof(Record));
  b = nullptr;
}

Ref Rename(Ref b, Chars newPath) {
  Init();
  if (b == nullptr) {
    InputFailed();
    return nullptr;
  }
  char leaf[kNameHigh + 1];
  Ref dir = Resolve(newPath, leaf);
  // The root cannot move, a directory cannot move into itself, and a directory that
  // another module holds would leave that reference behind.
  const bool directory = b->kind == BufferKind::Directory;
  if (dir == nullptr || leaf[0] == 0 || b == &state.root || InUse(b) ||
      (directory && IsWithin(dir, b))) {
    OutputFailed();
    return nullptr;
  }
  const Chars name(leaf, kNameHigh);
  Ref oldParent = b->parent;
  if (PositionOf(b) < 0) {
    Fatal(kRemoveEntryText);
    return nullptr;
  }
  bool made;
  if (!MakeIndex(dir, made)) {
    OutputFailed();
    return nullptr;
  }
  std::int32_t position;
  if (Lookup(dir, name, position) != nullptr) return b;
  Ref r = NewEntry(dir, position, made);
  if (r == nullptr) return nullptr;
  std::memcpy(r, b, sizeof *r);
  SetName(r, name);
  r->parent = dir;
  if (dir != oldParent) {
    Segment* copies = nullptr;
    Segment** link = &copies;
    bool failed = false;
    for (Segment* s = b->segments; s != nullptr; s = s->next) {
      auto* copy = reinterpret_cast<Segment*>(AllocateIn(dir, sizeof(Segment)));
      if (copy == nullptr) {
        failed = true;
        break;
      }
      *copy = Segment{nullptr, s->size, s->address};
      *link = copy;
      link = &copy->next;
    }
    if (failed) {
      for (Segment* s = copies; s != nullptr;) {
        Segment* next = s->next;
        FreeRangeIn(dir, reinterpret_cast<char*>(s), sizeof(Segment));
        s = next;
      }
      RemoveEntryAt(dir, position);
      FreeRangeIn(dir, reinterpret_cast<char*>(r), sizeof(Record));
      if (made) DropIndex(dir);
      OutputFailed();
      return nullptr;
    }
    for (Segment* s = b->segments; s != nullptr;) {
      Segment* next = s->next;
      FreeRangeIn(oldParent, reinterpret_cast<char*>(s), sizeof(Segment));
      s = next;
    }
    r->segments = copies;
    // The index refers to the old records; it is built again when next needed.
    DropSegmentIndex(IndexOf(r));
  }
  // The children of a directory live in its own heap, which moves with it; only their
  // links back to it change.
  if (DirectoryIndex* index = IndexOfDirectory(r)) {
    for (std::int32_t i = 0; i < index->used; ++i) index->entries[i]->parent = r;
  }
  if (state.current == b) state.current = r;
  Released(b, r);
  RemoveEntryAt(oldParent, PositionOf(b));
  FreeRangeIn(oldParent, reinterpret_cast<char*>(b), sizeof(Record));
  return r;
}

void Clear(Ref b) {
  Init();
  if (b == nullptr) {
    InputFailed();
    return;
  }
  // The records of a directory's entries live in its heap; releasing it would leave
  // them and everything they own behind.
  if (EntryCount(b) > 0) return;
  std::memset(b->windowState, 0, sizeof b->windowState);
  Released(b, nullptr);
  ReleaseBlocks(b);
  b->data = nullptr;
  b->dataSize = 0;
}

void FullName(Ref b, VarChars s) {
  Init();
  Strings::Clear(s);
  if (b == nullptr) return;
  if (b == &state.root) {
    Strings::Assign(s, "/");
  } else {
    AppendPath(b, s);
  }
}

void LeafName(Ref b, VarChars s) {
  Strings::Clear(s);
  if (b != nullptr && b != &state.root) Strings::Assign(s, NameOf(b));
}

void SetCurrent(Ref dir) {
  Init();
  if (dir != nullptr && dir->kind == BufferKind::Directory) state.current = dir;
}

Ref Current() {
  Init();
  return state.current;
}

Ref Root() {
  Init();
  return &state.root;
}

void ForEach(Ref dir, const std::function<void(Ref)>& proc) {
  // An entry the procedure deletes or renames moves the later ones down; the walk
  // goes on from the same position then.
  for (std::int32_t i = 0; i < EntryCount(dir);) {
    Ref e = Entry(dir, i);
    proc(e);
    if (Entry(dir, i) == e) ++i;
  }
}

std::int32_t EntryCount(Ref dir) {
  DirectoryIndex* index = dir == nullptr ? nullptr : IndexOfDirectory(dir);
  return index == nullptr ? 0 : index->used;
}

Ref Entry(Ref dir, std::int32_t position) {
  if (position < 0 || position >= EntryCount(dir)) return nullptr;
  return IndexOfDirectory(dir)->entries[position];
}

void* Allocate(Ref b, std::int32_t size) {
  Init();
  if (b == nullptr) {
    InputFailed();
    return nullptr;
  }
  char* p = AllocateIn(b, size);
  if (p == nullptr) OutputFailed();
  return p;
}

void Deallocate(Ref b, std::int32_t size, void*& address) {
  if (b == nullptr) {
    InputFailed();
    return;
  }
  FreeRangeIn(b, static_cast<char*>(address), size);
  address = nullptr;
}

void* AllocateData(Ref b, std::int32_t size) {
  Init();
  if (b == nullptr) {
    InputFailed();
    return nullptr;
  }
  if (b->kind != BufferKind::Block || b->segments != nullptr || size < 1 ||
      RoundUp(size, kSystemUnit) > kMaxSize) {
    OutputFailed();
    return nullptr;
  }
  const std::int64_t blockSize = RoundUp(size, kSystemUnit);
  char* block = SystemBlock(b, blockSize);
  if (block != nullptr && !AddSegment(b, block, blockSize)) {
    ReleaseSystemBlock(block, blockSize);
    block = nullptr;
  }
  if (block == nullptr) {
    OutputFailed();
    return nullptr;
  }
  b->data = block;
  b->dataSize = size;
  return block;
}

BufferKind KindOf(Ref b) { return b == nullptr ? BufferKind::Heap : b->kind; }

void GetInfo(Ref b, BufferKind& kind, void*& data, std::int32_t& size) {
  if (b == nullptr) {
    data = nullptr;
    size = 0;
    return;
  }
  kind = b->kind;
  data = b->data;
  size = b->dataSize;
}

void SetData(Ref b, void* data, std::int32_t size) {
  if (b == nullptr) {
    InputFailed();
    return;
  }
  b->data = data;
  b->dataSize = size;
}

void HeapInfo(Ref b, std::int32_t& segmentBytes, std::int32_t& segmentCount,
              std::int32_t& freeBytes, std::int32_t& freeCount) {
  segmentBytes = segmentCount = freeBytes = freeCount = 0;
  if (b == nullptr) {
    InputFailed();
    return;
  }
  for (Segment* s = b->segments; s != nullptr; s = s->next) {
    segmentBytes += s->size;
    ++segmentCount;
  }
  for (auto* r = static_cast<FreeRange*>(b->freeList); r != nullptr; r = r->next) {
    freeBytes += r->size;
    ++freeCount;
  }
}

void MemoryInfo(std::int64_t& allocated, std::int64_t& allocated2, std::int64_t& available) {
  Init();
  allocated = allocated2 = state.systemBytes;
  // Physical memory the system can still hand out plus free swap space.
  std::int64_t bytes = -1;
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[128];
    std::int64_t memAvailable = -1, swapFree = 0;
    long long kb;
    while (std::fgets(line, sizeof line, f) != nullptr) {
      if (std::sscanf(line, "MemAvailable: %lld kB", &kb) == 1) memAvailable = kb * 1024;
      if (std::sscanf(line, "SwapFree: %lld kB", &kb) == 1) swapFree = kb * 1024;
    }
    std::fclose(f);
    if (memAvailable >= 0) bytes = memAvailable + swapFree;
  }
  if (bytes < 0) {
    struct sysinfo info {};
    if (sysinfo(&info) == 0) {
      bytes = static_cast<std::int64_t>(info.freeram + info.bufferram + info.freeswap) *
              static_cast<std::int64_t>(info.mem_unit);
    } else {
      bytes = 0;
    }
  }
  if (bytes > kMaxSize) {
    available = kMaxSize;
  } else {
    available = std::max<std::int64_t>(bytes - 256000, 0);
  }
}

void SetFilePath(Ref b, Chars path) {
  if (b == nullptr) {
    InputFailed();
    return;
  }
  Strings::Assign(b->filePath, path);
}

void GetFilePath(Ref b, VarChars path) {
  if (b == nullptr) {
    Strings::Clear(path);
    return;
  }
  Strings::Assign(path, Chars(b->filePath, sizeof b->filePath - 1));
}

void SetWindowState(Ref b, Chars s) {
  if (b != nullptr) std::memcpy(b->windowState, s.p, std::min(s.size(), sizeof b->windowState));
}

void GetWindowState(Ref b, VarChars s) {
  if (b != nullptr) std::memcpy(s.p, b->windowState, std::min(s.size(), sizeof b->windowState));
}

void SetCheckAlert(CheckAlertProc proc) { state.alert = proc; }

void SetChecks(bool input, bool output) {
  state.checkInput = input;
  state.checkOutput = output;
}

bool CheckInput() { return state.checkInput; }

bool CheckOutput() { return state.checkOutput; }

void AddInUse(InUseProc proc) {
  if (proc == nullptr ||
      std::find(state.inUse.begin(), state.inUse.end(), proc) != state.inUse.end())
    return;
  const auto free = std::find(state.inUse.begin(), state.inUse.end(), nullptr);
  if (free != state.inUse.end()) *free = proc;
}

void RemoveInUse(InUseProc proc) {
  std::replace(state.inUse.begin(), state.inUse.end(), proc, InUseProc{nullptr});
}

void SetReleaseProc(ReleaseProc proc) { state.released = proc; }

bool InUse(Ref b) {
  if (b == nullptr) return false;
  return std::any_of(state.inUse.begin(), state.inUse.end(),
                     [b](InUseProc p) { return p != nullptr && p(b); });
}

bool ShellStart(ShellTree& tree) {
  Init();
  tree = ShellTree{};
  tree.shell = Create("Shell", BufferKind::Directory);
  if (tree.shell == nullptr) return false;
  Ref previous = Current();
  SetCurrent(tree.shell);
  tree.command = Create("Command", BufferKind::Text);
  tree.list = Create("List", BufferKind::Text);
  tree.scratchHeap = Create("ScratchHeap", BufferKind::Heap);
  SetCurrent(previous);
  if (tree.command == nullptr || tree.list == nullptr || tree.scratchHeap == nullptr) return false;
  Lines::SetLimit(tree.list, 1000);
  if ((tree.systemLibrary = Create("SystemLibrary", BufferKind::Library)) == nullptr ||
      (tree.object = Create("Object", BufferKind::Directory)) == nullptr ||
      (tree.symbol = Create("Symbol", BufferKind::Directory)) == nullptr ||
      (tree.user = Create("User", BufferKind::Directory)) == nullptr) {
    return false;
  }
  SetCurrent(tree.user);
  return true;
}

namespace Testing {

void FailSystemBlockAfter(std::int64_t n) { state.requestsAllowed = n < 0 ? -1 : n; }

std::int64_t SystemRequests() { return state.requests; }

std::string CheckHeap(Ref b) { return b == nullptr ? "no buffer" : CheckHeapOf(b); }

std::string CheckStore() {
  Init();
  std::int64_t bytes = 0;
  if (std::string e = CheckTree(&state.root, bytes); !e.empty()) return e;
  if (bytes != state.systemBytes) return "system bytes disagree with the segments";
  if (!IsWithin(state.current, &state.root) || state.current->kind != BufferKind::Directory) {
    return "current directory lost";
  }
  return {};
}

void* FirstFitByWalk(Ref b, std::int32_t size) {
  if (b == nullptr || size < 1) return nullptr;
  const std::int64_t want = RoundUp(size, kGranule);
  for (auto* r = static_cast<FreeRange*>(b->freeList); r != nullptr; r = r->next) {
    if (r->size >= want) return r;
  }
  return nullptr;
}

bool RemoveFree(Ref b, void* address, std::int32_t size) {
  return b != nullptr &&
         Buffer::RemoveFree(b, static_cast<char*>(address), RoundUp(size, kGranule));
}

std::int32_t HostChunks() { return arena.chunks; }

void Reset() {
  Init();
  ReleaseTree(&state.root);
  ReleaseBlocks(&state.root);
  ReleaseIdleChunks();
  state = State{};
  Init();
}

} // namespace Testing

} // namespace Buffer
