// The module manager: compiled modules installed from object modules into a Library
// buffer, linked by name and key, and promoted to Ready once their whole import graph
// is complete. The library's data is its index of module records sorted by name (the
// store's comparison: case-sensitive, unsigned bytes); records, import links, code and
// images all live in the library's heap, so deleting the library releases them.
//
// Object module (the data of a Block buffer; little-endian; four sections, each a
// 16-bit tag and a 16-bit length of the bytes that follow):
//   tag 1, length 34: a 16-bit 0, name (16), key (3 x 16), C, V, X, P, S (16 bits each)
//   tag 2, length (S-1)*22: per import its name (16) and expected key (3 x 16)
//   tag 3, length C: the code, C >= 8 (the compiler reserves its first 8 bytes)
//   tag 4, length (S+P)*4+X: P procedure offsets (32 bits, from the start of the code),
//          S import slots (32 bits), X further bytes
// A module whose code or table does not fit a 16-bit length has the large form, in which
// all else stays as it is: the header is 42 bytes long, its first word is 1, its C and X
// are 0, and after S come C and X as 32-bit numbers; the code and the table each follow
// as as many sections of their tag as they take (each of 1 to 65535 bytes, in order).
// A reader of the usual form refuses it (the header's length and first word differ).
//
// Memory image: addresses are the host's 8 bytes, so the table widens the object's
// 32-bit entries.
//   code block, C bytes: the code, its first 8 bytes overwritten with the table address.
//   image block, V + 28 + (S+P)*8 + X bytes: the variables (every 16-bit word 8000H);
//     the 28-byte descriptor (a 32-bit 0, the name in 16 characters, the key in three
//     16-bit words, a 16-bit flag word whose bit 8 marks a body that has run); then the
//     table: P procedure addresses (code + offset, entry 0, the body, 6 more), S slots
//     (slot 0 the module's own table, slot i the table of import i once resolved, else
//     0), then the X further bytes unchanged.
// Modules of the program itself enter with Register: their table is preceded by the
// same 28-byte descriptor, from which Register reads the name and the key.
#pragma once

#include <cstdint>
#include <functional>

#include "base/Chars.h"
#include "store/Buffer.h"

namespace Modules {

using base::Chars;
using base::VarChars;

enum class ModuleState : std::uint8_t {
  None = 0,     // what Info reports for NIL
  Known = 1,    // imported by something, or unloaded while imported; no code
  Loaded = 2,   // code and data in memory; at least one import unresolved
  Linked = 3,   // every import resolved
  Ready = 4,    // linked, and nothing it imports, directly or not, is only Loaded
  External = 5, // part of the workstation program itself
};

enum class LinkStatus : std::uint8_t { NotLoaded = 0, KeyConflict = 1, Resolved = 2 };

// Three 16-bit words; two keys match when either is all zero or all words are equal.
struct Key {
  std::uint16_t word[3];
};

using Address = std::uintptr_t; // one entry of a module's table
static_assert(sizeof(Address) == 8, "the memory image has 8-byte table entries");

struct LibraryIndex;
struct ImportLink;

struct ModuleRecord {
  LibraryIndex* library;
  ModuleState state;
  std::int32_t unresolved; // imports not yet resolved
  char name[16];           // zero-padded; 16 characters fill it
  Key key;
  std::uint8_t* table; // for an External module the address given to Register
  std::uint8_t* image;
  std::int32_t imageSize;
  std::uint8_t* code;
  std::int32_t codeSize;
  std::int32_t procedureCount;
  std::int32_t slotCount; // imports + 1
  ImportLink* imports;    // as importer, in import order
  ImportLink* importers;  // naming this module as the imported one, newest first
  // The manager's own bookkeeping while it promotes: zero between operations.
  std::uint8_t mark;
  ModuleRecord* nextMarked;
  ModuleRecord* nextWork;
};

struct ImportLink {
  LinkStatus status;
  Key expectedKey;    // the key the importer was compiled against
  std::uint8_t* slot; // the importer's slot that receives the imported table
  ModuleRecord* importer;
  ImportLink* nextImport;
  ModuleRecord* imported;
  ImportLink* nextImporter;
  ImportLink* prevImporter;
};

// The data of a Library buffer.
struct LibraryIndex {
  Buffer::Ref library;
  ModuleRecord** entries;
  std::int32_t capacity; // entries the array holds: 64 at first, 16 more at a time
  std::int32_t used;
};

using Ref = ModuleRecord*; // nullptr is NIL

// A record's fields; state None (and everything else zero) for NIL.
struct ModuleInfo {
  ModuleState state;
  std::uint8_t* table;
  std::uint8_t* image;
  std::int32_t imageSize;
  std::uint8_t* code;
  std::int32_t codeSize;
  std::int32_t procedureCount;
  std::int32_t slotCount;
};

using LinkProc = std::function<void(Ref importer, Ref imported, LinkStatus status)>;

// Installs the object module held by the Block buffer object: loads it, links it and
// the modules waiting for it, promotes. The record, or nullptr when library is not a
// Library (nothing changes), the object is malformed (nothing changes) or memory runs
// out (the module is unloaded, an earlier version included).
[[nodiscard]] Ref Install(Buffer::Ref library, Buffer::Ref object);
// The record of that name (cut to 16 characters), or nullptr; also nullptr when library
// is not a Library or has no modules yet.
Ref Find(Buffer::Ref library, Chars name);
// Removes the module's code and image; importers wait for it again. The record stays
// Known while something imports it and is freed otherwise.
void Unload(Ref module);
// Called with a module's code before it is freed (unloaded or replaced); nullptr: nothing.
void SetReleaseProc(void (*proc)(const std::uint8_t* code, std::int32_t size));
// Enters a module of the program itself as External (its 28-byte descriptor lies
// directly before table) and links the modules waiting for it. nullptr when the name is Loaded or
// higher already, library is not a Library or memory runs out.
Ref Register(Buffer::Ref library, std::uint8_t* table);
ModuleInfo Info(Ref module);
// The module's name; "" for NIL.
void Name(Ref module, VarChars s);
std::int32_t Count(Buffer::Ref library);
// For a Ready or External module: entry 0 of its table (the body), after clearing bit 8
// of the descriptor's flag word so that the body runs in full again; otherwise 0.
Address Body(Ref module);
// Calls proc with every record in name order; proc must not change the library.
void ForEach(Buffer::Ref library, const std::function<void(Ref)>& proc);
// Calls proc for every import of module, in import order.
void ForEachImport(Ref module, const LinkProc& proc);
// Calls proc for every module importing module, newest first.
void ForEachImporter(Ref module, const LinkProc& proc);

} // namespace Modules
