// Installs arbitrary bytes as an object module into a library that holds a module "B"
// already, and checks that exactly the well-formed objects install, that an installed
// one matches its header, and that reinstalling and unloading leave a sound store.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "shell/Modules.h"
#include "store/Buffer.h"

namespace {

// The object format read independently of the manager: four sections in order, tags
// 1 to 4, lengths 34, (S-1)*22, C and (S+P)*4+X, all inside the bytes; a 0 word before
// the name, S >= 1, C >= 8.
bool WellFormed(const std::uint8_t* d, std::size_t n) {
  const auto u16 = [&](std::size_t at) { return std::size_t(d[at] | d[at + 1] << 8); };
  if (n < 38 || u16(0) != 1 || u16(2) != 34 || u16(4) != 0) return false;
  const std::size_t c = u16(28), x = u16(32), p = u16(34), s = u16(36);
  if (s == 0 || c < 8) return false;
  const std::size_t sections[3][2] = {{2, (s - 1) * 22}, {3, c}, {4, (s + p) * 4 + x}};
  std::size_t at = 38;
  for (const auto& [tag, length] : sections) {
    if (at + 4 > n || u16(at) != tag || u16(at + 2) != length || at + 4 + length > n) return false;
    at += 4 + length;
  }
  return true;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

Buffer::Ref Block(base::Chars path, const std::uint8_t* data, std::size_t size) {
  Buffer::Ref b = Buffer::Create(path, Buffer::BufferKind::Block);
  if (size > 0) std::memcpy(Buffer::AllocateData(b, std::int32_t(size)), data, size);
  return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 20) return 0;
  Buffer::Ref library = Buffer::Create("/Lib", Buffer::BufferKind::Library);
  // "B": no imports, 8 bytes of code, one procedure, key 1 2 3.
  static const std::uint8_t b[] = {1, 0, 34, 0, 0, 0, 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0,  0, 0, 1, 0,   2, 0, 3, 0, 8, 0, 2, 0, 0, 0,
                                   1, 0, 1,  0, 2, 0, 0,   0, 3, 0, 8, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0,  4, 0, 8, 0,   0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Buffer::Ref objectB = Block("/B", b, sizeof b);
  Check(Modules::Install(library, objectB) != nullptr);
  Buffer::Ref object = Block("/Object", data, size);

  Modules::Ref m = Modules::Install(library, object);
  Check((m != nullptr) == WellFormed(data, size));
  if (m != nullptr) {
    const Modules::ModuleInfo info = Modules::Info(m);
    const auto u16 = [&](std::size_t at) { return std::int32_t(data[at] | data[at + 1] << 8); };
    Check(info.codeSize == u16(28) && info.procedureCount == u16(34) && info.slotCount == u16(36));
    Check(info.imageSize == u16(30) + 28 + (u16(36) + u16(34)) * 8 + u16(32));
    Check(Modules::Install(library, object) == m);
  }
  Check(Buffer::Testing::CheckStore().empty());
  // Unloading every module with code leaves no Known one behind.
  for (;;) {
    Modules::Ref loaded = nullptr;
    Modules::ForEach(library, [&](Modules::Ref r) {
      if (loaded == nullptr && Modules::Info(r).state != Modules::ModuleState::Known) loaded = r;
    });
    if (loaded == nullptr) break;
    Modules::Unload(loaded);
  }
  Check(Modules::Count(library) == 0);
  Check(Buffer::Testing::CheckStore().empty());
  Buffer::Delete(object);
  Buffer::Delete(objectB);
  Buffer::Delete(library);
  return 0;
}
