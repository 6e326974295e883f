// Runs arbitrary bytes as lines of macro text, one statement each, then plays what the
// definitions stored: none of it may crash or hang.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "MacroFuzzWorld.h"
#include "macros/MacroText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MacroFuzz::World w;
  MacroText::Reset();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::size_t from = 0;
  bool inBlock = false;
  while (from <= text.size()) {
    std::size_t to = text.find('\n', from);
    if (to == std::string::npos) to = text.size();
    std::string line = text.substr(from, std::min<std::size_t>(to - from, 255));
    line.erase(std::find(line.begin(), line.end(), '\0'), line.end());
    if (line.rfind("BEGIN", 0) == 0) inBlock = true;
    static_cast<void>(MacroText::InterpretLine(base::CharsOf(line), inBlock));
    if (line.rfind("END", 0) == 0) inBlock = false;
    from = to + 1;
  }
  w.Play();
  return 0;
}
