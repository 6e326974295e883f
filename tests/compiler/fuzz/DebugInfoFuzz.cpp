// Reads arbitrary bytes as an object's debugging information, symbols included: the
// result is what the bytes describe or nothing, never a crash; what was read writes
// back to the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "vm/Object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Object::DebugInfo d;
  d.procedures.resize(3);
  if (!Object::DecodeDebugInfo(data, size, d) || !d.symbols.present) return 0;
  const std::vector<std::uint8_t> bytes = Object::EncodeDebugInfo(d);
  Object::DebugInfo back;
  back.procedures.resize(3);
  if (!Object::DecodeDebugInfo(bytes.data(), bytes.size(), back) || !(back.symbols == d.symbols))
    std::abort();
  return 0;
}
