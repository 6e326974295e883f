#include "modules/Modules.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Strings.h"
#include "platform/Checks.h"

namespace Modules {

namespace {

using Buffer::BufferKind;

constexpr std::size_t kNameSize = sizeof(ModuleRecord::name);
constexpr std::int32_t kFirstEntries = 64;
constexpr std::int32_t kEntryStep = 16;

// The object module.
constexpr std::uint16_t kHeaderTag = 1;
constexpr std::uint16_t kImportTag = 2;
constexpr std::uint16_t kCodeTag = 3;
constexpr std::uint16_t kTableTag = 4;
constexpr std::int64_t kSectionHead = 4;   // tag and length
constexpr std::int64_t kHeaderLength = 34; // a 0 word, name, key, C, V, X, P, S
// An object too large for 16-bit sections: a 1 word, C and X 0 in the header, both as
// 32-bit numbers after it; its code and its table in as many sections as they take.
constexpr std::int64_t kLargeHeaderLength = 42;
constexpr std::int64_t kImportLength = 22; // name and key
constexpr std::int64_t kObjectEntry = 4;   // procedure offsets and slots in the file
constexpr std::int64_t kCodeHead = 8;      // receives the table address

// The memory image.
constexpr std::int64_t kDescriptorSize = 28;
constexpr std::int64_t kEntrySize = sizeof(Address);
constexpr Address kBodyOffset = 6;
constexpr std::uint16_t kBodyRan = 1u << 8;
constexpr std::uint16_t kVariableFill = 0x8000;

// A checked object: its header's numbers and where its sections begin.
struct Object {
  char name[kNameSize];
  Key key;
  std::int64_t c, v, x, p, s;
  const std::uint8_t* data;
  const std::uint8_t* imports;
  std::int64_t code;  // the offset of the (first) code section
  std::int64_t table; // and of the (first) table section
};

// Loaded, Linked or Ready: the module has its code and image blocks.
bool HasImage(Ref m) { return m->state >= ModuleState::Loaded && m->state <= ModuleState::Ready; }
// Loaded or higher: the module has a table, an External one without an image.
bool HasTable(Ref m) { return m->state >= ModuleState::Loaded; }

bool Match(const Key& a, const Key& b) {
  const auto zero = [](const Key& k) { return k.word[0] == 0 && k.word[1] == 0 && k.word[2] == 0; };
  return zero(a) || zero(b) || std::equal(a.word, a.word + 3, b.word);
}

Key ReadKey(const std::uint8_t* p) {
  return Key{{ByteOrder::Get16(p), ByteOrder::Get16(p + 2), ByteOrder::Get16(p + 4)}};
}

void WriteKey(std::uint8_t* p, const Key& k) {
  for (int i = 0; i < 3; ++i) ByteOrder::Put16(p + 2 * i, k.word[i]);
}

// A name as records keep it: at most 16 characters up to the first zero, zero-padded.
void SetName(char (&dst)[kNameSize], Chars src) {
  std::memset(dst, 0, kNameSize);
  std::memcpy(dst, src.p, std::min(Strings::Length(src), kNameSize));
}

void SetName(char (&dst)[kNameSize], const std::uint8_t* src) {
  SetName(dst, Chars(reinterpret_cast<const char*>(src), kNameSize - 1));
}

Chars NameOf(const char (&name)[kNameSize]) { return Chars(name, kNameSize - 1); }

void PutAddress(std::uint8_t* p, Address a) { std::memcpy(p, &a, sizeof a); }
Address AddressOf(const void* p) { return reinterpret_cast<Address>(p); }

// ---- the object

// The body of the section at offset with this tag and length, moving offset past it;
// nullptr when the tag or length differs or the section reaches beyond size.
const std::uint8_t* Section(const std::uint8_t* data, std::int64_t size, std::int64_t& offset,
                            std::uint16_t tag, std::int64_t length) {
  if (offset + kSectionHead > size) return nullptr;
  if (ByteOrder::Get16(data + offset) != tag || ByteOrder::Get16(data + offset + 2) != length) {
    return nullptr;
  }
  if (offset + kSectionHead + length > size) return nullptr;
  const std::uint8_t* body = data + offset + kSectionHead;
  offset += kSectionHead + length;
  return body;
}

// The sections of tag at offset that hold length bytes: one section of that length, or,
// in a large object, as many as it takes, each of 1 to 65535 bytes. The offset of the
// first, moving offset past them; -1 when they are not there.
std::int64_t Sections(const std::uint8_t* data, std::int64_t size, std::int64_t& offset,
                      std::uint16_t tag, std::int64_t length, bool large) {
  const std::int64_t first = offset;
  if (!large) return Section(data, size, offset, tag, length) != nullptr ? first : -1;
  for (std::int64_t left = length; left > 0;) {
    if (offset + kSectionHead > size || ByteOrder::Get16(data + offset) != tag) return -1;
    const std::int64_t n = ByteOrder::Get16(data + offset + 2);
    if (n == 0 || n > left || offset + kSectionHead + n > size) return -1;
    offset += kSectionHead + n;
    left -= n;
  }
  return first;
}

// Copies length bytes from position from on of the bytes the sections Sections found at
// first hold between them to dst.
void Gather(const std::uint8_t* data, std::int64_t first, std::int64_t from, std::int64_t length,
            std::uint8_t* dst) {
  for (std::int64_t at = first, done = 0; done < length;) {
    const std::int64_t n = ByteOrder::Get16(data + at + 2);
    if (from < n) {
      const std::int64_t part = std::min(n - from, length - done);
      std::memcpy(dst + done, data + at + kSectionHead + from, static_cast<std::size_t>(part));
      done += part;
      from = 0;
    } else {
      from -= n;
    }
    at += kSectionHead + n;
  }
}

bool Check(Buffer::Ref object, Object& o) {
  if (object == nullptr || Buffer::KindOf(object) != BufferKind::Block) return false;
  BufferKind kind;
  void* address;
  std::int32_t size;
  Buffer::GetInfo(object, kind, address, size);
  if (address == nullptr) return false;
  const auto* data = static_cast<const std::uint8_t*>(address);
  std::int64_t offset = 0;
  const std::uint8_t* h = Section(data, size, offset, kHeaderTag, kHeaderLength);
  const bool large = h == nullptr;
  if (large) {
    offset = 0;
    h = Section(data, size, offset, kHeaderTag, kLargeHeaderLength);
  }
  if (h == nullptr || ByteOrder::Get16(h) != (large ? 1 : 0)) return false;
  SetName(o.name, h + 2);
  o.key = ReadKey(h + 18);
  o.c = ByteOrder::Get16(h + 24);
  o.v = ByteOrder::Get16(h + 26);
  o.x = ByteOrder::Get16(h + 28);
  o.p = ByteOrder::Get16(h + 30);
  o.s = ByteOrder::Get16(h + 32);
  if (large) {
    if (o.c != 0 || o.x != 0) return false;
    o.c = ByteOrder::Get32(h + 34);
    o.x = ByteOrder::Get32(h + 38);
  }
  if (o.s < 1 || o.c < kCodeHead || o.c > INT32_MAX || o.x > INT32_MAX) return false;
  o.data = data;
  o.imports = Section(data, size, offset, kImportTag, (o.s - 1) * kImportLength);
  if (o.imports == nullptr) return false;
  o.code = Sections(data, size, offset, kCodeTag, o.c, large);
  if (o.code < 0) return false;
  o.table = Sections(data, size, offset, kTableTag, (o.s + o.p) * kObjectEntry + o.x, large);
  return o.table >= 0;
}

// ---- the index and the records

LibraryIndex* IndexOf(Buffer::Ref library) {
  if (Buffer::KindOf(library) != BufferKind::Library) return nullptr;
  BufferKind kind;
  void* data;
  std::int32_t size;
  Buffer::GetInfo(library, kind, data, size);
  auto* index = static_cast<LibraryIndex*>(data);
  // A renamed library is a new buffer record over the same heap.
  if (index != nullptr) index->library = library;
  return index;
}

void Free(LibraryIndex* index, void* p, std::int64_t size) {
  Buffer::Deallocate(index->library, static_cast<std::int32_t>(size), p);
}

LibraryIndex* MakeIndex(Buffer::Ref library) {
  if (LibraryIndex* index = IndexOf(library)) return index;
  auto* index = static_cast<LibraryIndex*>(Buffer::Allocate(library, sizeof(LibraryIndex)));
  if (index == nullptr) return nullptr;
  auto* entries =
      static_cast<ModuleRecord**>(Buffer::Allocate(library, kFirstEntries * sizeof(Ref)));
  if (entries == nullptr) {
    void* p = index;
    Buffer::Deallocate(library, sizeof(LibraryIndex), p);
    return nullptr;
  }
  *index = LibraryIndex{library, entries, kFirstEntries, 0};
  Buffer::SetData(library, index, sizeof(LibraryIndex));
  return index;
}

// Binary search; the record or nullptr, and the position where the name is or belongs.
Ref Lookup(LibraryIndex* index, Chars name, std::int32_t& position) {
  const auto nameAt = [index](std::int32_t i) { return NameOf(index->entries[i]->name); };
  return Strings::FindSorted(index->used, nameAt, name, position) ? index->entries[position]
                                                                  : nullptr;
}

bool InsertEntry(LibraryIndex* index, std::int32_t position, Ref m) {
  if (index->used == index->capacity) {
    const std::int32_t capacity = index->capacity + kEntryStep;
    auto* entries = static_cast<ModuleRecord**>(
        Buffer::Allocate(index->library, static_cast<std::int32_t>(capacity * sizeof(Ref))));
    if (entries == nullptr) return false;
    std::copy(index->entries, index->entries + index->used, entries);
    Free(index, index->entries, index->capacity * std::int64_t{sizeof(Ref)});
    index->entries = entries;
    index->capacity = capacity;
  }
  std::copy_backward(index->entries + position, index->entries + index->used,
                     index->entries + index->used + 1);
  index->entries[position] = m;
  ++index->used;
  return true;
}

// The record of that name, a new Known one when there is none; nullptr when memory
// runs out.
Ref FindOrCreate(LibraryIndex* index, const char (&name)[kNameSize]) {
  std::int32_t position;
  if (Ref m = Lookup(index, NameOf(name), position)) return m;
  auto* m = static_cast<Ref>(Buffer::Allocate(index->library, sizeof(ModuleRecord)));
  if (m == nullptr) return nullptr;
  std::memset(static_cast<void*>(m), 0, sizeof *m);
  m->library = index;
  m->state = ModuleState::Known;
  std::memcpy(m->name, name, kNameSize);
  if (!InsertEntry(index, position, m)) {
    Free(index, m, sizeof *m);
    return nullptr;
  }
  return m;
}

// Takes m out of its index and frees it; a record missing from the index is a broken
// library, which stops the program.
void RemoveRecord(Ref m) {
  LibraryIndex* index = m->library;
  std::int32_t position;
  if (Lookup(index, NameOf(m->name), position) != m) Checks::Halt();
  std::copy(index->entries + position + 1, index->entries + index->used, index->entries + position);
  --index->used;
  Free(index, m, sizeof *m);
}

// ---- linking

// Told before a module's code goes (the machine keeps what it made of it).
void (*releaseProc)(const std::uint8_t* code, std::int32_t size) = nullptr;

void ReleaseImage(Ref m) {
  if (releaseProc != nullptr && m->code != nullptr) releaseProc(m->code, m->codeSize);
  Free(m->library, m->code, m->codeSize);
  Free(m->library, m->image, m->imageSize);
  m->code = m->image = nullptr;
  m->codeSize = m->imageSize = 0;
}

// Frees m's links; an imported module that is only Known and imported by nobody else
// goes with its link.
void UnlinkImports(Ref m) {
  while (ImportLink* link = m->imports) {
    m->imports = link->nextImport;
    Ref imported = link->imported;
    if (link->prevImporter != nullptr) {
      link->prevImporter->nextImporter = link->nextImporter;
    } else {
      imported->importers = link->nextImporter;
    }
    if (link->nextImporter != nullptr) link->nextImporter->prevImporter = link->prevImporter;
    Free(m->library, link, sizeof *link);
    if (imported->state == ModuleState::Known && imported->importers == nullptr) {
      RemoveRecord(imported);
    }
  }
}

// Sends the Ready modules importing m, directly or not, back to Linked. Every module
// is pushed once: it leaves Ready as it is pushed.
void DemoteImporters(Ref m) {
  m->nextWork = nullptr;
  for (Ref stack = m; stack != nullptr;) {
    Ref x = stack;
    stack = x->nextWork;
    x->nextWork = nullptr;
    for (ImportLink* link = x->importers; link != nullptr; link = link->nextImporter) {
      Ref importer = link->importer;
      if (importer->state != ModuleState::Ready) continue;
      importer->state = ModuleState::Linked;
      importer->nextWork = stack;
      stack = importer;
    }
  }
}

// Makes m's importers wait for it again and m Known. A link with a key conflict is
// counted as unresolved already.
void ResetImporters(Ref m) {
  for (ImportLink* link = m->importers; link != nullptr; link = link->nextImporter) {
    Ref importer = link->importer;
    if (link->status != LinkStatus::NotLoaded) {
      if (link->status == LinkStatus::Resolved) ++importer->unresolved;
      const bool wasReady = importer->state == ModuleState::Ready;
      importer->state = ModuleState::Loaded;
      if (wasReady) DemoteImporters(importer);
    }
    link->status = LinkStatus::NotLoaded;
  }
  m->state = ModuleState::Known;
  m->table = nullptr;
  m->procedureCount = m->slotCount = 0;
}

// Copies and relocates the object into a new code block and image block.
bool Load(Ref m, const Object& o) {
  LibraryIndex* index = m->library;
  const std::int64_t entries = o.s + o.p;
  const std::int64_t imageSize = o.v + kDescriptorSize + entries * kEntrySize + o.x;
  if (imageSize > INT32_MAX) return false;
  auto* code =
      static_cast<std::uint8_t*>(Buffer::Allocate(index->library, static_cast<std::int32_t>(o.c)));
  if (code == nullptr) return false;
  auto* image = static_cast<std::uint8_t*>(
      Buffer::Allocate(index->library, static_cast<std::int32_t>(imageSize)));
  if (image == nullptr) {
    Free(index, code, o.c);
    return false;
  }
  for (std::int64_t i = 0; i + 1 < o.v; i += 2) ByteOrder::Put16(image + i, kVariableFill);
  if (o.v % 2 != 0) image[o.v - 1] = kVariableFill & 0xFF;
  std::uint8_t* descriptor = image + o.v;
  ByteOrder::Put32(descriptor, 0);
  std::memcpy(descriptor + 4, o.name, kNameSize);
  WriteKey(descriptor + 20, o.key);
  ByteOrder::Put16(descriptor + 26, 0);
  std::uint8_t* table = descriptor + kDescriptorSize;
  for (std::int64_t i = 0; i < o.p; ++i) {
    std::uint8_t entry[kObjectEntry];
    Gather(o.data, o.table, i * kObjectEntry, kObjectEntry, entry);
    const Address offset = ByteOrder::Get32(entry);
    PutAddress(table + i * kEntrySize, AddressOf(code) + offset + (i == 0 ? kBodyOffset : 0));
  }
  PutAddress(table + o.p * kEntrySize, AddressOf(table));
  std::memset(table + (o.p + 1) * kEntrySize, 0, static_cast<std::size_t>((o.s - 1) * kEntrySize));
  Gather(o.data, o.table, entries * kObjectEntry, o.x, table + entries * kEntrySize);
  Gather(o.data, o.code, 0, o.c, code);
  PutAddress(code, AddressOf(table));

  m->key = o.key;
  m->table = table;
  m->image = image;
  m->imageSize = static_cast<std::int32_t>(imageSize);
  m->code = code;
  m->codeSize = static_cast<std::int32_t>(o.c);
  m->procedureCount = static_cast<std::int32_t>(o.p);
  m->slotCount = static_cast<std::int32_t>(o.s);
  return true;
}

// Links m's imports in import order; false, with every link made so far undone, when
// memory runs out.
bool ResolveImports(Ref m, const Object& o) {
  LibraryIndex* index = m->library;
  ImportLink** tail = &m->imports;
  for (std::int64_t i = 1; i < o.s; ++i) {
    const std::uint8_t* record = o.imports + (i - 1) * kImportLength;
    char name[kNameSize];
    SetName(name, record);
    Ref imported = FindOrCreate(index, name);
    auto* link =
        imported == nullptr
            ? nullptr
            : static_cast<ImportLink*>(Buffer::Allocate(index->library, sizeof(ImportLink)));
    if (link == nullptr) {
      if (imported != nullptr && imported->state == ModuleState::Known &&
          imported->importers == nullptr) {
        RemoveRecord(imported);
      }
      UnlinkImports(m);
      return false;
    }
    *link = ImportLink{LinkStatus::NotLoaded,
                       ReadKey(record + kNameSize),
                       m->table + (o.p + i) * kEntrySize,
                       m,
                       nullptr,
                       imported,
                       imported->importers,
                       nullptr};
    if (imported->importers != nullptr) imported->importers->prevImporter = link;
    imported->importers = link;
    *tail = link;
    tail = &link->nextImport;
    if (!HasTable(imported)) continue;
    if (Match(link->expectedKey, imported->key)) {
      link->status = LinkStatus::Resolved;
      PutAddress(link->slot, AddressOf(imported->table));
      --m->unresolved;
    } else {
      link->status = LinkStatus::KeyConflict;
    }
  }
  return true;
}

// Resolves the links of the modules waiting for m.
void Serve(Ref m) {
  for (ImportLink* link = m->importers; link != nullptr; link = link->nextImporter) {
    if (link->status != LinkStatus::NotLoaded) continue; // m importing itself
    if (!Match(link->expectedKey, m->key)) {
      link->status = LinkStatus::KeyConflict;
      continue;
    }
    link->status = LinkStatus::Resolved;
    PutAddress(link->slot, AddressOf(m->table));
    Ref importer = link->importer;
    if (--importer->unresolved == 0) importer->state = ModuleState::Linked;
  }
}

// Makes every Linked module Ready unless it reaches a Loaded module through its imports.
// Between operations that holds for the whole library, and m (just installed or
// registered) changed only itself and the modules that import it, directly or not. So
// only those are looked at; and none of them can be Ready while m is Loaded.
void Promote(Ref m) {
  if (m->state == ModuleState::Loaded) return;
  m->mark = 1;
  Ref last = m;
  for (Ref x = m; x != nullptr; x = x->nextMarked) {
    for (ImportLink* link = x->importers; link != nullptr; link = link->nextImporter) {
      Ref importer = link->importer;
      if (importer->mark != 0) continue;
      importer->mark = 1;
      last->nextMarked = importer;
      last = importer;
    }
  }
  for (Ref x = m; x != nullptr; x = x->nextMarked) {
    if (x->state == ModuleState::Linked) x->state = ModuleState::Ready;
  }
  // A marked Loaded module, and a marked one importing an unmarked Loaded or Linked
  // module (which reaches a Loaded one), send their Ready importers back to Linked.
  for (Ref x = m; x != nullptr; x = x->nextMarked) {
    if (x->state == ModuleState::Loaded) {
      DemoteImporters(x);
      continue;
    }
    if (x->state != ModuleState::Ready) continue;
    for (ImportLink* link = x->imports; link != nullptr; link = link->nextImport) {
      Ref imported = link->imported;
      if (imported->mark == 0 &&
          (imported->state == ModuleState::Loaded || imported->state == ModuleState::Linked)) {
        x->state = ModuleState::Linked;
        DemoteImporters(x);
        break;
      }
    }
  }
  for (Ref x = m; x != nullptr;) {
    Ref next = x->nextMarked;
    x->mark = 0;
    x->nextMarked = nullptr;
    x = next;
  }
}

void ForEachLink(ImportLink* first, bool imports, const LinkProc& proc) {
  for (ImportLink* link = first; link != nullptr;) {
    ImportLink* next = imports ? link->nextImport : link->nextImporter;
    proc(link->importer, link->imported, link->status);
    link = next;
  }
}

} // namespace

Ref Install(Buffer::Ref library, Buffer::Ref object) {
  if (Buffer::KindOf(library) != BufferKind::Library) return nullptr;
  Object o;
  if (!Check(object, o)) return nullptr;
  LibraryIndex* index = MakeIndex(library);
  if (index == nullptr) return nullptr;
  Ref m = FindOrCreate(index, o.name);
  if (m == nullptr) return nullptr;
  if (HasImage(m)) {
    ReleaseImage(m);
    UnlinkImports(m);
    m->unresolved = 0;
  }
  if (HasTable(m)) ResetImporters(m);
  if (!Load(m, o)) {
    Unload(m);
    return nullptr;
  }
  m->state = ModuleState::Loaded;
  m->unresolved = static_cast<std::int32_t>(o.s - 1);
  if (!ResolveImports(m, o)) {
    Unload(m);
    return nullptr;
  }
  if (m->unresolved == 0) m->state = ModuleState::Linked;
  Serve(m);
  Promote(m);
  return m;
}

Ref Find(Buffer::Ref library, Chars name) {
  LibraryIndex* index = IndexOf(library);
  if (index == nullptr) return nullptr;
  char key[kNameSize];
  SetName(key, name);
  std::int32_t position;
  return Lookup(index, NameOf(key), position);
}

void Unload(Ref m) {
  if (m == nullptr) return;
  if (HasImage(m)) {
    ReleaseImage(m);
    UnlinkImports(m);
    m->unresolved = 0;
  }
  if (HasTable(m)) ResetImporters(m);
  if (m->importers == nullptr) RemoveRecord(m);
}

void SetReleaseProc(void (*proc)(const std::uint8_t* code, std::int32_t size)) {
  releaseProc = proc;
}

Ref Register(Buffer::Ref library, std::uint8_t* table) {
  if (table == nullptr || Buffer::KindOf(library) != BufferKind::Library) return nullptr;
  LibraryIndex* index = MakeIndex(library);
  if (index == nullptr) return nullptr;
  const std::uint8_t* descriptor = table - kDescriptorSize;
  char name[kNameSize];
  SetName(name, descriptor + 4);
  Ref m = FindOrCreate(index, name);
  if (m == nullptr || m->state != ModuleState::Known) return nullptr;
  m->state = ModuleState::External;
  m->table = table;
  m->key = ReadKey(descriptor + 20);
  Serve(m);
  Promote(m);
  return m;
}

ModuleInfo Info(Ref m) {
  if (m == nullptr) return ModuleInfo{};
  return ModuleInfo{m->state, m->table,    m->image,          m->imageSize,
                    m->code,  m->codeSize, m->procedureCount, m->slotCount};
}

void Name(Ref m, VarChars s) {
  if (m == nullptr) {
    Strings::Clear(s);
    return;
  }
  Strings::Assign(s, NameOf(m->name));
}

std::int32_t Count(Buffer::Ref library) {
  LibraryIndex* index = IndexOf(library);
  return index == nullptr ? 0 : index->used;
}

Address Body(Ref m) {
  if (m == nullptr || (m->state != ModuleState::Ready && m->state != ModuleState::External)) {
    return 0;
  }
  std::uint8_t* flags = m->table - 2;
  ByteOrder::Put16(flags, static_cast<std::uint16_t>(ByteOrder::Get16(flags) & ~kBodyRan));
  Address body;
  std::memcpy(&body, m->table, sizeof body);
  return body;
}

void ForEach(Buffer::Ref library, const std::function<void(Ref)>& proc) {
  LibraryIndex* index = IndexOf(library);
  if (index == nullptr) return;
  for (std::int32_t i = 0; i < index->used; ++i) proc(index->entries[i]);
}

void ForEachImport(Ref m, const LinkProc& proc) {
  if (m != nullptr) ForEachLink(m->imports, true, proc);
}

void ForEachImporter(Ref m, const LinkProc& proc) {
  if (m != nullptr) ForEachLink(m->importers, false, proc);
}

} // namespace Modules
