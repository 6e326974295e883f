// Reads arbitrary bytes as a recovery file: whatever it reads, written again, reads the
// same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "recovery/RecoveryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RecoveryFile::Text text;
  std::string reason;
  if (!RecoveryFile::Read(bytes, text, reason)) return 0;
  std::string again;
  RecoveryFile::AppendHeader(text.header, again);
  for (const std::string& line : text.lines) RecoveryFile::AppendLine(line, again);
  RecoveryFile::AppendEnd(again);
  RecoveryFile::Text reread;
  if (!RecoveryFile::Read(again, reread, reason) || reread.lines != text.lines ||
      reread.header.name != text.header.name || reread.header.directory != text.header.directory)
    std::abort();
  return 0;
}
