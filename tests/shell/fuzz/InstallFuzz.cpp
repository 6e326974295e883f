// Installs arbitrary bytes as an object module into a library that holds a module "B"
// already, and checks that exactly the well-formed objects install, that an installed
// one matches its header, and that reinstalling and unloading leave a sound store.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "modules/Modules.h"
#include "store/Buffer.h"

namespace {

std::size_t U16(const std::uint8_t* d, std::size_t at) {
  return d[at] | std::size_t(d[at + 1]) << 8;
}
std::size_t U32(const std::uint8_t* d, std::size_t at) { return U16(d, at) | U16(d, at + 2) << 16; }

// The object format read independently of the manager: four sections in order, tags
// 1 to 4, lengths 34, (S-1)*22, C and (S+P)*4+X, all inside the bytes; a 0 word before
// the name, S >= 1, C >= 8. Or the large form: the header 42 bytes long with a 1 word
// before the name, C and X 0 and after S their 32-bit values; the code and the table
// each in pieces of 1 to 65535 bytes. C and X as read.
bool WellFormed(const std::uint8_t* d, std::size_t n, std::size_t& c, std::size_t& x) {
  if (n < 38 || U16(d, 0) != 1) return false;
  const bool large = U16(d, 2) == 42 && U16(d, 4) == 1;
  if (!large && (U16(d, 2) != 34 || U16(d, 4) != 0)) return false;
  c = U16(d, 28), x = U16(d, 32);
  const std::size_t p = U16(d, 34), s = U16(d, 36);
  if (large) {
    if (n < 46 || c != 0 || x != 0) return false;
    c = U32(d, 38), x = U32(d, 42);
  }
  if (s == 0 || c < 8 || c > 0x7FFFFFFF || x > 0x7FFFFFFF) return false;
  const std::size_t sections[3][2] = {{2, (s - 1) * 22}, {3, c}, {4, (s + p) * 4 + x}};
  std::size_t at = large ? 46 : 38;
  for (const auto& [tag, length] : sections) {
    std::size_t left = length;
    do {
      if (at + 4 > n || U16(d, at) != tag) return false;
      const std::size_t piece = U16(d, at + 2);
      if (large && tag != 2 ? piece == 0 || piece > left : piece != length) return false;
      if (at + 4 + piece > n) return false;
      at += 4 + piece;
      left -= piece;
    } while (left > 0);
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
  std::size_t c = 0, x = 0;
  Check((m != nullptr) == WellFormed(data, size, c, x));
  if (m != nullptr) {
    const Modules::ModuleInfo info = Modules::Info(m);
    const auto u16 = [&](std::size_t at) { return std::int32_t(U16(data, at)); };
    Check(info.codeSize == std::int32_t(c) && info.procedureCount == u16(34) &&
          info.slotCount == u16(36));
    Check(info.imageSize == u16(30) + 28 + (u16(36) + u16(34)) * 8 + std::int32_t(x));
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
