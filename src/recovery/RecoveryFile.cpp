#include "recovery/RecoveryFile.h"

#include <charconv>

namespace RecoveryFile {

namespace {

constexpr std::string_view kMagic = "VELMARIN RECOVERY 1\n";

void AppendCounted(std::string_view bytes, std::string& out) {
  out += std::to_string(bytes.size());
  out += ':';
  out += bytes;
  out += '\n';
}

// Reads the file from its start, one field at a time; every step false at the first
// thing that is not as written.
class Reader {
public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool Literal(std::string_view text) {
    if (rest_.substr(0, text.size()) != text) return false;
    rest_.remove_prefix(text.size());
    return true;
  }
  // A decimal number ending in a line end (or in the character given).
  bool Number(std::int64_t& value, char ending = '\n') {
    const char* end = rest_.data() + rest_.size();
    const auto [p, error] = std::from_chars(rest_.data(), end, value);
    if (error != std::errc{} || p == rest_.data() || p == end || *p != ending) return false;
    rest_.remove_prefix(static_cast<std::size_t>(p - rest_.data()) + 1);
    return true;
  }
  // A number from low to high.
  bool NumberIn(std::int64_t& value, std::int64_t low, std::int64_t high, char ending) {
    return Number(value, ending) && value >= low && value <= high;
  }
  // A length, a colon, that many bytes (none of them zero) and a line end.
  bool Counted(std::string& value) {
    std::size_t length = 0;
    const char* end = rest_.data() + rest_.size();
    const auto [p, error] = std::from_chars(rest_.data(), end, length);
    if (error != std::errc{} || p == rest_.data() || p == end || *p != ':' || length > kMaxField)
      return false;
    const std::size_t start = static_cast<std::size_t>(p - rest_.data()) + 1;
    if (rest_.size() < start + length + 1 || rest_[start + length] != '\n') return false;
    const std::string_view bytes = rest_.substr(start, length);
    if (bytes.find('\0') != std::string_view::npos) return false;
    value.assign(bytes);
    rest_.remove_prefix(start + length + 1);
    return true;
  }
  bool AtEnd() const { return rest_.empty(); }

private:
  std::string_view rest_;
};

// The form line, which files of new texts written before it existed lack.
bool ReadForm(Reader& r, Header& h) {
  if (!r.Literal("form ")) return true;
  std::int64_t mark = 0, soft = 0;
  if (!r.NumberIn(h.coding, 0, 2, ' ') || !r.NumberIn(h.lineEnd, -1, 2, ' ') ||
      !r.NumberIn(mark, 0, 1, ' ') || !r.NumberIn(soft, 0, 1, '\n'))
    return false;
  h.byteOrderMark = mark == 1;
  h.softLineEnds = soft == 1;
  return true;
}

} // namespace

void AppendHeader(const Header& h, std::string& out) {
  out += kMagic;
  out += "name ";
  AppendCounted(h.name, out);
  out += "directory ";
  AppendCounted(h.directory, out);
  out += "changed " + std::to_string(h.changed) + "\n";
  out += "form " + std::to_string(h.coding) + " " + std::to_string(h.lineEnd) + " " +
         (h.byteOrderMark ? "1" : "0") + " " + (h.softLineEnds ? "1" : "0") + "\n";
  out += "lines " + std::to_string(h.lines) + "\n";
}

void AppendLine(std::string_view line, std::string& out) { AppendCounted(line, out); }

void AppendEnd(std::string& out) { out += "end\n"; }

bool Read(std::string_view bytes, Text& text, std::string& reason) {
  Reader r(bytes);
  text = Text{};
  Header& h = text.header;
  if (!r.Literal(kMagic)) {
    reason = "not a recovery file";
    return false;
  }
  if (!r.Literal("name ") || !r.Counted(h.name) || h.name.empty() || !r.Literal("directory ") ||
      !r.Counted(h.directory) || !r.Literal("changed ") || !r.Number(h.changed) ||
      !ReadForm(r, h) || !r.Literal("lines ") || !r.Number(h.lines) || h.lines < 0 ||
      h.lines > kMaxLines) {
    reason = "damaged heading";
    return false;
  }
  // Lines are read one by one: a count that the file cannot hold costs no memory.
  for (std::int64_t i = 0; i < h.lines; ++i) {
    std::string line;
    if (!r.Counted(line)) {
      reason = "damaged or missing line " + std::to_string(i + 1);
      return false;
    }
    text.lines.push_back(std::move(line));
  }
  if (!r.Literal("end\n") || !r.AtEnd()) {
    reason = "no proper end";
    return false;
  }
  return true;
}

} // namespace RecoveryFile
