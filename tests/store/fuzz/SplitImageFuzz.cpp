// Splits arbitrary bytes into a text as a load does, and checks what every text must
// satisfy afterwards. The first byte chooses soft line ends (bit 0) and the size of
// the pieces a second split is fed in (the other bits), the second the editor's line
// width; the rest is the image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/Charset.h"
#include "store/Buffer.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

namespace {

std::vector<std::string> Split(std::string_view image, std::size_t pieceSize, Lines::Form& form) {
  Buffer::Ref text = Buffer::Create("/Fuzz", Buffer::BufferKind::Text);
  if (text == nullptr) std::abort();
  if (FileSystem::SplitImage(image, text, pieceSize) != FileSystem::kNoError) std::abort();
  std::vector<std::string> lines;
  for (std::int32_t i = 1; i <= Lines::Count(text); ++i) lines.emplace_back(Lines::View(text, i));
  form = Lines::GetForm(text);
  Buffer::Delete(text);
  return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool soft = data[0] & 1;
  FileSystem::SetSoftLineEnds(soft);
  FileSystem::SetEditorLineWidth(data[1]);
  const std::string_view image(reinterpret_cast<const char*>(data) + 2, size - 2);

  Lines::Form form, pieceForm;
  const std::vector<std::string> lines = Split(image, 0, form);
  // Fed in pieces, as a load reads a file, the image gives the same lines and form.
  if (Split(image, std::size_t(data[0] >> 1) + 1, pieceForm) != lines ||
      pieceForm.coding != form.coding || pieceForm.byteOrderMark != form.byteOrderMark ||
      pieceForm.lineEnd != form.lineEnd)
    std::abort();

  // No line holds a line end or a 0, none is longer than a full piece plus its mark,
  // and without soft line ends the lines hold exactly the image's other bytes (their
  // characters when they were decoded, without a byte order mark).
  std::string joined;
  for (const std::string& line : lines) {
    if (line.size() > std::size_t(FileSystem::kLoadLineLimit) + 1) std::abort();
    if (line.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) std::abort();
    joined += line;
  }
  if (!soft) {
    std::string expected;
    for (char c : image.substr(form.byteOrderMark ? 3 : 0))
      if (c != 0 && c != '\r' && c != '\n') expected += c;
    if (form.coding == Charset::Coding::Utf8) {
      std::string decoded;
      if (Charset::FromUtf8(expected, decoded) != 0) std::abort();
      expected = decoded;
    }
    if (joined != expected) std::abort();
  }
  return 0;
}
