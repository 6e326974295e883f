// Text buffers: numbered lines (from 1) of zero-terminated strings, all allocated in
// the text buffer's own heap. An empty line is a NIL reference and costs no block.
// Every operation does nothing (0, "" or false) for nullptr or a non-Text buffer.
//
// A text also remembers how it was loaded (its form: the coding of its characters, the
// line end of its file and a byte order mark) and, for each line, how that line ended
// in the file where it differs from the text's line end: another line end, or none at
// all where the load broke a long line or the file's last line had none. A store then
// writes an unedited text back byte for byte. Lines added later end with the text's
// line end; an edit next to a line that had none keeps the file's lines as they were:
// lines inserted after it take its missing end over, and when the lines after it are
// deleted it takes the end of the last of them.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/Chars.h"
#include "base/Charset.h"
#include "store/Buffer.h"

namespace Lines {

using base::Chars;
using base::VarChars;
using Buffer::Ref;

inline constexpr std::int32_t kMaxLimit = 500'000'000;

// What changed in a text: count lines from line first were replaced, inserted (holding
// their text already) or deleted. Told after every change that happened, to each module
// that follows texts (the recovery journal, the windows that show them, breakpoints).
enum class Change : std::uint8_t { Replaced, Inserted, Deleted };
using ChangeProc = void (*)(Ref b, Change change, std::int32_t first, std::int32_t count);
inline constexpr std::size_t kMaxFollowers = 8;
// proc is told of every change from now on (once, however often it follows); false when
// kMaxFollowers procedures follow already.
bool Follow(ChangeProc proc);
void Unfollow(ChangeProc proc);

// How a line ends when its text is stored.
enum class LineEnd : std::uint8_t {
  Text = 0, // the text's line end
  None = 1, // none: the line goes on in the next one, or ends the file
  CR = 2,
  CRLF = 3,
  LF = 4,
};

// How a text was loaded; a new text has the default form.
struct Form {
  Charset::Coding coding = Charset::Coding::Utf8;
  std::int8_t lineEnd = -1; // 0 CR, 1 CR LF, 2 LF; -1: the stores' line end mode
  bool byteOrderMark = false;
  bool softLineEnds = false; // the load marked each line end with the soft line end
};

// Number of lines; 0 without table.
std::int32_t Count(Ref b);
// Copies line n into s; "" outside 1..Count. A longer line is cut to the array's
// length without terminator.
void Get(Ref b, std::int32_t n, VarChars s);
// The characters of line n without copying; valid until the text changes.
std::string_view View(Ref b, std::int32_t n);
// Characters in line n; 0 outside 1..Count.
std::int32_t Length(Ref b, std::int32_t n);
// Replaces line n; false outside 1..Count or when memory runs out (the old line stays).
bool Set(Ref b, std::int32_t n, Chars s);
// Adds a line after the last one; a text at its limit loses line 1 first.
bool Append(Ref b, Chars s);
// Append of the length characters at s, none of which may be 0: for callers that know
// the length already.
bool Append(Ref b, const char* s, std::size_t length);
// Appends every line of from, each as b holds its characters (base/Charset.h, Recode:
// characters b cannot hold become the substitute). False when memory runs out.
bool AppendText(Ref b, Ref from);
// Append for loads: the line ends with end, and the line before it keeps its own.
bool Append(Ref b, const char* s, std::size_t length, LineEnd end);
// How line n ends; Text outside 1..Count.
LineEnd EndOf(Ref b, std::int32_t n);
// Inserts count empty lines before line position (1..Count+1); true at once for count < 1.
bool Insert(Ref b, std::int32_t position, std::int32_t count);
// Deletes count lines from line first, cut to the lines that exist.
void Delete(Ref b, std::int32_t first, std::int32_t count);
// A value below 2 or above kMaxLimit becomes kMaxLimit; excess lines drop from line 1.
void SetLimit(Ref b, std::int32_t lines);
std::int32_t Limit(Ref b);
// The most lines the text can ever hold: its limit, or fewer where its line array could
// not grow that far; 0 for a buffer that is no text.
std::int32_t Capacity(Ref b);
void SetModified(Ref b, bool flag);
bool Modified(Ref b);
// The text's form; the default form for a text that never had one set.
Form GetForm(Ref b);
// Sets the form; false when memory runs out.
bool SetForm(Ref b, const Form& form);
Charset::Coding CodingOf(Ref b);

} // namespace Lines
