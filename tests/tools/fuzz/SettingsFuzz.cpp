// Reads arbitrary bytes as a settings file and applies what is accepted. The first byte
// chooses the image: even, the bytes as they are; odd, a record with a good header whose
// fields from offset 12 on are the bytes (the rest default), so that every field value
// gets applied. A refused image must leave the record at the defaults.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const Settings::SettingsRecord defaults = [] {
    Settings::SettingsRecord r;
    Settings::DefaultSettings(r);
    return r;
  }();
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string image(bytes);
  if (data[0] & 1) {
    image.assign(reinterpret_cast<const char*>(defaults.bytes.data()), defaults.bytes.size());
    const std::size_t n = std::min(bytes.size(), image.size() - Settings::kCommandRect);
    std::memcpy(image.data() + Settings::kCommandRect, bytes.data(), n);
  }

  Settings::SettingsRecord r = defaults;
  if (Settings::ReadSettingsImage(image, r) != Settings::SettingsCheck::Accepted) {
    if (!(r == defaults)) std::abort();
    return 0;
  }
  if (std::memcmp(r.bytes.data(), image.data(), image.size()) != 0) std::abort();
  Settings::ApplySettings(r, false);
  return 0;
}
