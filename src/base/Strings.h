// Operations on character arrays with their exact truncation rules.
//
// Operations that write a result keep room for a terminating zero and so produce at
// most HIGH characters; the one exception is `Assign` into a 4-character array (file
// types such as "TEXT"), which may be left full. Positions are 0-based; negative
// positions and counts are handled as each operation states. Characters compare as
// unsigned bytes; upper-casing affects a-z only.
#pragma once

#include <cstdint>

#include "base/Chars.h"

namespace Strings {

using base::Chars;
using base::VarChars;

// The number of characters before the first zero, at most HIGH + 1.
std::size_t Length(Chars s);
// s[0] := 0.
void Clear(VarChars s);
// Copies src; a source that fills dst is cut to HIGH characters, except in a
// 4-character array (HIGH 3), which is left full without terminator.
void Assign(VarChars dst, Chars src);
// Appends src; nothing happens when dst already holds HIGH or more characters.
void Append(VarChars dst, Chars src);
// Inserts src at pos; nothing when src is empty, pos < 0 or pos > Length(dst).
void Insert(VarChars dst, Chars src, long pos);
// Removes count characters at pos when all of them exist; otherwise nothing.
void Delete(VarChars s, long pos, long count);
// dst := src[pos .. pos+count-1]; empty when that range is not wholly inside src.
void Extract(VarChars dst, Chars src, long pos, long count);
// Moves src[pos .. pos+count-1] into dst; nothing moves when it does not fit.
void Cut(VarChars dst, VarChars src, long pos, long count);
// First position >= start where pattern occurs, or -1.
long Position(Chars s, Chars pattern, long start);
// -1, 0 or 1, looking at most limitA characters of a and limitB of b.
int CompareN(Chars a, Chars b, std::size_t limitA, std::size_t limitB, bool ignoreCase);
int Compare(Chars a, Chars b);
bool Equal(Chars a, Chars b);
bool EqualCaseless(Chars a, Chars b);
// Upper-case copy of src into dst (note the order: source first).
void UpperCopy(Chars src, VarChars dst);
void StripLeading(VarChars s, char ch);
void StripTrailing(VarChars s, char ch);
// Length-prefixed strings: byte 0 the length (0..255), the characters after it.
void ToLengthPrefixed(Chars s, VarChars p);
void FromLengthPrefixed(Chars p, VarChars dst);

// Binary search of count names in ascending order (Compare), nameAt(i) giving the i-th:
// true when name is there; position is where it is or where it belongs.
template <typename NameAt>
bool FindSorted(std::int32_t count, NameAt nameAt, Chars name, std::int32_t& position) {
  std::int32_t lo = 0, hi = count;
  while (lo < hi) {
    const std::int32_t mid = lo + (hi - lo) / 2;
    const int c = Compare(nameAt(mid), name);
    if (c == 0) {
      position = mid;
      return true;
    }
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  position = lo;
  return false;
}

// Upper case of one character (a-z only).
constexpr char Cap(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

} // namespace Strings
