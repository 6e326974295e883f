// The recovery file of a modified text: what the journal writes beside the user's files
// so that a text outlives the workstation that edited it.
//
//   VELMARIN RECOVERY 1
//   name 11:/User/Notes          the text's buffer, as a length and its bytes
//   directory 10:/home/ann/      the directory of its host file
//   changed 1765112431           its last change, in seconds since 1970
//   form 2 1 0 0                 how its file is written: the coding, the line end
//                                (-1 the stores' mode, 0 CR, 1 CR LF, 2 LF), a byte
//                                order mark and soft line ends (absent: a new text)
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
  // The form of the text's file, so that a recovered text is stored as it was loaded:
  // the coding (0 UTF-8, 1 a byte a character, 2 UTF-8 kept as bytes), the line end
  // (-1 the stores' mode, 0 CR, 1 CR LF, 2 LF), a byte order mark, soft line ends.
  std::int64_t coding = 0;
  std::int64_t lineEnd = -1;
  bool byteOrderMark = false;
  bool softLineEnds = false;
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
