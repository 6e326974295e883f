// Reads arbitrary bytes as a macro file. The first byte chooses the image: even, the
// bytes as they are; odd, a file of empty slots with a good header whose slots are
// overlaid with the bytes. A refused image leaves every slot empty; an accepted one
// holds usable slots and gives the same image back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "editor/Editor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  constexpr std::size_t kSlotsAt = 12;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string image(bytes);
  if (data[0] & 1) {
    Editor::ResetMacroSlots();
    image = Editor::MacroImage();
    std::memcpy(image.data() + kSlotsAt, bytes.data(),
                std::min(bytes.size(), image.size() - kSlotsAt));
  }

  if (Editor::ReadMacroImage(image) != Editor::MacroFileCheck::Accepted) {
    for (int n = 1; n <= Editor::kMacroSlots; ++n) {
      const Editor::MacroSlot& s = Editor::GetMacroSlot(n);
      if (s.length != 1 || s.name[0] != 0) std::abort();
    }
    return 0;
  }
  for (int n = 1; n <= Editor::kMacroSlots; ++n) {
    const Editor::MacroSlot& s = Editor::GetMacroSlot(n);
    if (s.length < 1 || s.length > Editor::kMacroKeys + 1) std::abort();
    if (std::strlen(s.name) > Editor::kMacroNameHigh) std::abort();
  }
  const std::string again = Editor::MacroImage();
  if (Editor::ReadMacroImage(again) != Editor::MacroFileCheck::Accepted) std::abort();
  if (Editor::MacroImage() != again) std::abort();
  return 0;
}
