#include "base/Strings.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace base {

std::string ToString(Chars s) { return std::string(s.p, Strings::Length(s)); }

} // namespace base

namespace Strings {

namespace {

// True when the characters of a and b share memory; the operations then work on a
// copy of the source, as if it had been passed by value.
bool Overlaps(Chars a, VarChars b) {
  const char* aEnd = a.p + a.size();
  const char* bEnd = b.p + b.size();
  return a.p < bEnd && b.p < aEnd;
}

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

} // namespace

std::size_t Length(Chars s) {
  std::size_t n = 0;
  while (n <= s.high && s.p[n] != 0) ++n;
  return n;
}

void Clear(VarChars s) { s[0] = 0; }

void Assign(VarChars dst, Chars src) {
  if (Overlaps(src, dst)) {
    std::string copy = base::ToString(src);
    Assign(dst, Chars(copy));
    return;
  }
  const std::size_t last = std::min(dst.high, src.high);
  std::size_t i = 0;
  while (i <= last && src[i] != 0) {
    dst[i] = src[i];
    ++i;
  }
  if (i <= dst.high) {
    dst[i] = 0;
  } else if (dst.high != 3) {
    dst[dst.high] = 0;
  }
}

void Append(VarChars dst, Chars src) {
  if (Overlaps(src, dst)) {
    std::string copy = base::ToString(src);
    Append(dst, Chars(copy));
    return;
  }
  std::size_t e = 0;
  while (e < dst.high && dst[e] != 0) ++e;
  if (e >= dst.high) return;
  std::size_t i = 0;
  while (i <= src.high && src[i] != 0 && e < dst.high) dst[e++] = src[i++];
  dst[e] = 0;
}

void Insert(VarChars dst, Chars src, long pos) {
  const std::size_t srcLen = Length(src);
  const std::size_t dstLen = Length(dst);
  if (srcLen == 0 || pos < 0 || static_cast<std::size_t>(pos) > dstLen) return;
  std::string result(dst.p, static_cast<std::size_t>(pos));
  result.append(src.p, srcLen);
  result.append(dst.p + pos, dstLen - static_cast<std::size_t>(pos));
  if (result.size() > dst.high) result.resize(dst.high);
  std::memcpy(dst.p, result.data(), result.size());
  dst[result.size()] = 0;
}

void Delete(VarChars s, long pos, long count) {
  const std::size_t len = Length(s);
  if (pos < 0 || count <= 0 || static_cast<std::size_t>(pos + count) > len) return;
  std::memmove(s.p + pos, s.p + pos + count, len - static_cast<std::size_t>(pos + count));
  s[len - static_cast<std::size_t>(count)] = 0;
}

void Extract(VarChars dst, Chars src, long pos, long count) {
  if (Overlaps(src, dst)) {
    std::string copy(src.p, src.size());
    Extract(dst, base::CharsOf(copy), pos, count);
    return;
  }
  if (pos < 0 || count <= 0) {
    dst[0] = 0;
    return;
  }
  const std::size_t n = std::min(static_cast<std::size_t>(count), dst.size());
  if (static_cast<std::size_t>(pos) + n > Length(src)) {
    dst[0] = 0;
    return;
  }
  std::memcpy(dst.p, src.p + pos, n);
  if (n <= dst.high) dst[n] = 0;
}

void Cut(VarChars dst, VarChars src, long pos, long count) {
  if (pos < 0 || count < 1 || static_cast<std::size_t>(count) > dst.size() ||
      static_cast<std::size_t>(pos + count) > Length(src)) {
    dst[0] = 0;
    return;
  }
  const std::size_t n = static_cast<std::size_t>(count);
  std::string part(src.p + pos, n);
  Delete(src, pos, count);
  std::memcpy(dst.p, part.data(), n);
  if (n <= dst.high) dst[n] = 0;
}

long Position(Chars s, Chars pattern, long start) {
  const std::size_t len = Length(s);
  const std::size_t patLen = Length(pattern);
  if (start < 0 || static_cast<std::size_t>(start) > len || patLen == 0 ||
      len - static_cast<std::size_t>(start) < patLen)
    return -1;
  for (std::size_t p = static_cast<std::size_t>(start); p + patLen <= len; ++p) {
    if (std::memcmp(s.p + p, pattern.p, patLen) == 0) return static_cast<long>(p);
  }
  return -1;
}

int CompareN(Chars a, Chars b, std::size_t limitA, std::size_t limitB, bool ignoreCase) {
  limitA = std::min(limitA, a.size());
  limitB = std::min(limitB, b.size());
  std::size_t i = 0;
  for (; i < limitA && a[i] != 0; ++i) {
    if (i >= limitB || b[i] == 0) return 1;
    unsigned char x = Byte(a[i]);
    unsigned char y = Byte(b[i]);
    if (ignoreCase) {
      x = Byte(Cap(a[i]));
      y = Byte(Cap(b[i]));
    }
    if (x > y) return 1;
    if (x < y) return -1;
  }
  return (i >= limitB || b[i] == 0) ? 0 : -1;
}

int Compare(Chars a, Chars b) { return CompareN(a, b, a.size(), b.size(), false); }

bool Equal(Chars a, Chars b) { return Compare(a, b) == 0; }

bool EqualCaseless(Chars a, Chars b) { return CompareN(a, b, a.size(), b.size(), true) == 0; }

void UpperCopy(Chars src, VarChars dst) {
  std::size_t i = 0;
  while (i <= src.high && i <= dst.high && src[i] != 0) {
    dst[i] = Cap(src[i]);
    ++i;
  }
  if (i <= dst.high) dst[i] = 0;
}

void StripLeading(VarChars s, char ch) {
  const std::size_t len = Length(s);
  std::size_t n = 0;
  while (n < len && s[n] == ch) ++n;
  if (n == 0) return;
  std::memmove(s.p, s.p + n, len - n);
  s[len - n] = 0;
}

void StripTrailing(VarChars s, char ch) {
  std::size_t len = Length(s);
  const std::size_t full = len;
  while (len > 0 && s[len - 1] == ch) --len;
  if (len < full) s[len] = 0;
}

void ToLengthPrefixed(Chars s, VarChars p) {
  const std::size_t n = std::min({Length(s), std::size_t{255}, p.high});
  p[0] = static_cast<char>(n);
  std::memmove(p.p + 1, s.p, n);
  if (n < 255 && n + 1 <= p.high) p[n + 1] = 0;
}

void FromLengthPrefixed(Chars p, VarChars dst) {
  const std::size_t n = std::min({std::size_t{Byte(p[0])}, dst.size(), p.high});
  std::memmove(dst.p, p.p + 1, n);
  if (n <= dst.high) dst[n] = 0;
}

} // namespace Strings
