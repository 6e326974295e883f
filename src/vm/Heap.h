// The heap of the programs that run in the workstation: the blocks that Storage.ALLOCATE
// gives (NEW) live in a heap buffer of the store, "/Shell/Program.Heap", so that the
// shell's listings show the memory programs hold and deleting the buffer releases it.
//
// Every block has a 16-byte header before the address a program gets: a tag that says
// whether the block is live or was freed, and the block's size. A freed block waits,
// whole and tagged "freed", in a quarantine of the most recently freed blocks (at most
// kQuarantineBytes, header included) before it goes back to the heap, so that a
// dereference through a dangling pointer finds "freed" for as long as it waits there;
// memory never grows with the blocks a program has freed.
#pragma once

#include <cstdint>

namespace Heap {

inline constexpr char kPath[] = "/Shell/Program.Heap";
inline constexpr std::uint32_t kLiveTag = 0x4556494C;  // "LIVE"
inline constexpr std::uint32_t kFreedTag = 0x45455246; // "FREE"
inline constexpr std::uint64_t kHeaderSize = 16;
inline constexpr std::uint64_t kQuarantineBytes = std::uint64_t{8} << 20;

struct BlockHeader {
  std::uint32_t tag;
  std::uint32_t reserved;
  std::uint64_t size;
};
static_assert(sizeof(BlockHeader) == kHeaderSize);

// size bytes, zero-filled, 16-byte aligned; 0 when size is 0 or memory runs out. The heap
// buffer is made when there is none.
std::uintptr_t Allocate(std::uint64_t size);
// Frees the block at address (which Allocate returned); false, and nothing done, when
// address is not a live block of this heap (a second DISPOSE of it, say) or size is not
// its size.
bool Deallocate(std::uintptr_t address, std::uint64_t size);
// Whether address is the start of a live block of at least size bytes; any address may
// be asked about (nothing outside the heap's memory is read).
bool LiveBlock(std::uintptr_t address, std::uint64_t size);
// Whether size bytes could be allocated now.
bool Available(std::uint64_t size);
// Changes whenever the heap buffer in use is gone (the user deleted or cleared it): every
// address of an earlier generation is gone. Making the first heap does not change it.
std::uint32_t Generation();

enum class BlockState { Unknown, Live, Freed };
// What the header before address says; the caller must know that the 16 bytes before
// address are readable (the block of a pointer that NEW produced).
inline BlockState StateAt(std::uintptr_t address) {
  const auto* h = reinterpret_cast<const BlockHeader*>(address - kHeaderSize);
  return h->tag == kLiveTag    ? BlockState::Live
         : h->tag == kFreedTag ? BlockState::Freed
                               : BlockState::Unknown;
}

namespace Testing {
// The quarantine's bytes from now on (kQuarantineBytes at start).
void SetQuarantineBytes(std::uint64_t bytes);
} // namespace Testing

} // namespace Heap
