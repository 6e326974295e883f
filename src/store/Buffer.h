// The buffer store: every piece of data of the workstation as a named buffer in one
// in-memory tree. Each buffer is also a heap of its own (first fit over 16-byte
// granules in system blocks of at least 2048 bytes), so that deleting a buffer
// releases everything in it at once.
//
// Paths: names separated by "/"; a leading "/" starts at the root, anything else at
// the current directory. Names hold up to 32 characters (longer ones are cut), are
// compared byte by byte and case-sensitively; "//" makes a path invalid; a path
// ending in "/" denotes the directory itself. "." and ".." are ordinary names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Chars.h"

namespace Buffer {

using base::Chars;
using base::VarChars;

enum class BufferKind : std::uint8_t { Block = 0, Directory = 1, Heap = 2, Text = 3, Library = 4 };

struct Record;
using Ref = Record*; // a buffer; nullptr is NIL

// One block of memory a buffer obtained from the system; kept in the parent's heap.
struct Segment {
  Segment* next;
  std::int32_t size;
  void* address;
};

struct Record {
  char windowState[128]; // kept for the edit-window layer; zeroed on creation and Clear
  // The host directory of the buffer's file, ending in the separator.
  char filePath[base::kPathHigh + 1];
  char name[base::kNameHigh + 1]; // the leaf name; 32 characters fill it without terminator
  Ref parent;                     // the directory holding this record; the root is its own parent
  BufferKind kind;
  void* data;
  std::int32_t dataSize;
  Segment* segments; // descending address order
  void* freeList;    // first free range (lowest address)
  void* freeIndex;   // the store's search index over the free ranges
};

// What the user answered to a check alert.
enum class CheckAnswer { Continue = 1, NoCheck = 2, Break = 3 };
// Which check failed: a NIL input buffer, a reported failure, or a broken structure.
enum class CheckKind { Input, Output, Fatal };
// Shows a check alert and returns the answer; Fatal alerts offer no "No Check".
// Installed by the platform layer; without one, failed checks are silent.
using CheckAlertProc = CheckAnswer (*)(CheckKind kind, Chars message);
// Tells whether a buffer is held by another module (the shell's directories and
// libraries, its texts, the heaps the windows live in, the Notebook's text); such a
// buffer is neither deleted, renamed nor emptied by Create.
using InUseProc = bool (*)(Ref buffer);

// The module body: the root record, the root current, both checks off.
void Init();

// The buffer at path: new, or an existing non-directory emptied in place with the new
// kind. nullptr (reported) when the path does not resolve, the leaf is empty, a
// directory or a buffer in use has that name, or memory runs out.
[[nodiscard]] Ref Create(Chars path, BufferKind kind);
// The buffer at path when it has this kind, created when absent; nullptr (reported) for
// another kind and as Create.
[[nodiscard]] Ref Open(Chars path, BufferKind kind);
// The buffer at path or nullptr, never reported; a path ending in "/" gives the
// directory itself.
Ref Find(Chars path);
// Releases the buffer and sets b to nullptr; nothing for a non-empty directory, the
// current directory or a buffer in use.
void Delete(Ref& b);
// Moves b to newPath; returns the new reference (b is invalid afterwards), b itself when
// the name exists already, nullptr on failure (b stays valid then). The entries of a
// directory follow it. The root, a buffer in use and a move of a directory into itself
// fail.
[[nodiscard]] Ref Rename(Ref b, Chars newPath);
// Returns every system block of b (zeroing windowState); b's data is gone. Nothing for
// a directory that still has entries.
void Clear(Ref b);
void FullName(Ref b, VarChars s);
void LeafName(Ref b, VarChars s);
void SetCurrent(Ref dir);
Ref Current();
Ref Root();
// Calls proc with each entry of dir in name order; nothing for a non-directory.
void ForEach(Ref dir, const std::function<void(Ref)>& proc);
// Entry count of a directory and the entry at a 0-based position (nullptr outside).
std::int32_t EntryCount(Ref dir);
Ref Entry(Ref dir, std::int32_t position);

// At least size bytes from b's heap (not cleared unless fresh from the system), or nullptr.
[[nodiscard]] void* Allocate(Ref b, std::int32_t size);
// Returns the range to b's free list; sets address to nullptr.
void Deallocate(Ref b, std::int32_t size, void*& address);
// For a Block buffer without segments: one system block of size bytes as its data.
[[nodiscard]] void* AllocateData(Ref b, std::int32_t size);

BufferKind KindOf(Ref b);
void GetInfo(Ref b, BufferKind& kind, void*& data, std::int32_t& size);
void SetData(Ref b, void* data, std::int32_t size);
void HeapInfo(Ref b, std::int32_t& segmentBytes, std::int32_t& segmentCount,
              std::int32_t& freeBytes, std::int32_t& freeCount);
// Bytes obtained from the system by the whole store (twice) and the machine's
// available memory, capped at 2147483647.
void MemoryInfo(std::int64_t& allocated, std::int64_t& allocated2, std::int64_t& available);
void SetFilePath(Ref b, Chars path);
void GetFilePath(Ref b, VarChars path);
void SetWindowState(Ref b, Chars state);
void GetWindowState(Ref b, VarChars state);

// The checks and their switches.
void SetCheckAlert(CheckAlertProc proc);
void SetChecks(bool input, bool output);
bool CheckInput();
bool CheckOutput();
// Adds a procedure asked by InUse (once, however often it is added); Remove takes it out.
void AddInUse(InUseProc proc);
void RemoveInUse(InUseProc proc);
// Whether any of those procedures holds b.
bool InUse(Ref b);

// Told when a buffer's content goes (Delete, Clear, Create over it: moved is nullptr) or
// its record moves (Rename: moved is the new record), before the old record is freed:
// for a module that follows texts without holding them.
using ReleaseProc = void (*)(Ref b, Ref moved);
void SetReleaseProc(ReleaseProc proc);

// The buffers and directories the shell starts with.
struct ShellTree {
  Ref shell, command, list, scratchHeap;
  Ref systemLibrary, object, symbol, user;
};
// The shell's start tree: /Shell with Command, List (1000 lines) and ScratchHeap;
// /SystemLibrary, /Object, /Symbol, /User; /User current. False when a step fails.
[[nodiscard]] bool ShellStart(ShellTree& tree);

// Hooks and checks for the tests.
namespace Testing {
// Lets the next n requests for host memory succeed and fails every later one; the
// requests are the system blocks and the pools of the indexes over a heap's free
// ranges and segments. A negative n fails none.
void FailSystemBlockAfter(std::int64_t n);
// Requests for host memory made so far.
std::int64_t SystemRequests();
// "" when b's heap is sound: segments in descending order, free ranges granule-aligned,
// ordered, never adjacent and inside the segments, and the index agreeing with the
// free list; otherwise what is wrong.
std::string CheckHeap(Ref b);
// CheckHeap for every buffer in the tree, plus the tree itself: parent links, sorted
// indexes, records and segment records in use in their owner's heap, the system-memory
// total.
std::string CheckStore();
// The address a walk down b's free list from its lowest range gives for size bytes,
// nullptr when no free range is large enough.
void* FirstFitByWalk(Ref b, std::int32_t size);
// Takes [address, address+size) out of b's free list as the store does when it gives a
// new block back; false, after the fatal alert, when the range is not wholly free.
bool RemoveFree(Ref b, void* address, std::int32_t size);
// Chunks the store holds from the host for blocks of the smallest size: those with a
// block in use, and at most four others kept for the next requests.
std::int32_t HostChunks();
// Releases every buffer, gives every chunk without a block in use back to the host and
// returns the module to its state at start.
void Reset();
} // namespace Testing

} // namespace Buffer
