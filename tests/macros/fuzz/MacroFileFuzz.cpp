// Reads arbitrary bytes as a macro file, writes the macros it kept and plays them: none
// of it may crash or hang, whatever the file holds.
#include <cstddef>
#include <cstdint>

#include "MacroFuzzWorld.h"
#include "macros/MacroFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MacroFuzz::World w;
  WriteFuzzInput(w.path, data, size);
  const bool verbose = size > 0 && (data[0] & 0x3F) == 0;
  static_cast<void>(Macros::Load(base::CharsOf(w.path), verbose));
  static_cast<void>(Macros::Save(base::CharsOf(w.path)));
  w.Play();
  return 0;
}
