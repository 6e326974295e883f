// The recovery file of a modified text: what the journal writes beside the user's files
// so that a text outlives the workstation that edited it.
//
//   VELMARIN RECOVERY 1
//   name 11:/User/Notes          the text's buffer, as a length and its bytes
//   directory 10:/home/ann/      the directory of its host file
//   changed 1765112431           its last change, in seconds since 1970
//   lines 2
//   5:first                      each line as a length and its bytes
//   0:
//   end
//
// Every field is counted, so names and lines may hold any byte but zero, and a file cut
// short anywhere is told apart from a whole one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace RecoveryFile {

// The most bytes a name or a line may have; longer ones mark a damaged file.
inline constexpr std::size_t kMaxField = 1 << 20;
// The most lines a text may have.
inline constexpr std::int64_t kMaxLines = 500'000'000;

struct Header {
  std::string name;      // the buffer's full name
  std::string directory; // its file path: the host directory of its file
  std::int64_t changed = 0;
  std::int64_t lines = 0;
};

struct Text {
  Header header;
  std::vector<std::string> lines;
};

// The file's beginning, up to and with the "lines" line; then each line, then the end.
void AppendHeader(const Header& h, std::string& out);
void AppendLine(std::string_view line, std::string& out);
void AppendEnd(std::string& out);

// The text of a whole recovery file; false, with what is wrong, for anything else.
[[nodiscard]] bool Read(std::string_view bytes, Text& text, std::string& reason);

} // namespace RecoveryFile
