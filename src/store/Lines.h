// Text buffers: numbered lines (from 1) of zero-terminated strings, all allocated in
// the text buffer's own heap. An empty line is a NIL reference and costs no block.
// Every operation does nothing (0, "" or false) for nullptr or a non-Text buffer.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/Chars.h"
#include "store/Buffer.h"

namespace Lines {

using base::Chars;
using base::VarChars;
using Buffer::Ref;

inline constexpr std::int32_t kMaxLimit = 500'000'000;

// What changed in a text: count lines from line first were replaced, inserted (holding
// their text already) or deleted. Told after every change that happened, to a module
// that follows texts (the recovery journal).
enum class Change : std::uint8_t { Replaced, Inserted, Deleted };
using ChangeProc = void (*)(Ref b, Change change, std::int32_t first, std::int32_t count);
void SetChangeProc(ChangeProc proc);

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
// the length already, such as the loads.
bool Append(Ref b, const char* s, std::size_t length);
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

} // namespace Lines
