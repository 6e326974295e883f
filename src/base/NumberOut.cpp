#include "base/NumberOut.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <string_view>

#include "base/Strings.h"

namespace NumberOut {

namespace {

// Positions are computed signed, so that sums near the array's end never wrap.
using Index = std::int64_t;

// The SI prefixes of the powers of 1000 from 1000^-8 to 1000^8; 0xB5 is the
// Latin-1 micro sign.
constexpr int kMaxPower = 8;
constexpr char kPrefixes[2 * kMaxPower + 1] = {'y', 'z', 'a', 'f', 'p', 'n', '\xB5', 'm', ' ',
                                               'k', 'M', 'G', 'T', 'P', 'E', 'Y',    'Z'};
constexpr int kMicroIndex = -2;

// The longest text one real formatting may produce. The digits after the point are
// capped so that sign, digit, point, digits and a three-digit exponent stay within it.
constexpr std::size_t kMaxRealText = 40;
constexpr int kMaxRealDigits = 32;

struct State {
  bool initialised = false;
  char prefixes[2 * kMaxPower + 1] = {};
  // Reals are written with "." whatever the host's locale says.
  locale_t cLocale = nullptr;
};

State state;

struct RealText {
  char s[kMaxRealText + 1] = {};
  std::size_t n = 0;

  void Set(std::string_view text) {
    n = std::min(text.size(), kMaxRealText);
    std::memcpy(s, text.data(), n);
    s[n] = 0;
  }
};

// The end of the text in dst, or -1 when the array holds no zero at all.
Index TextEnd(VarChars dst) {
  const void* zero = std::memchr(dst.p, 0, dst.size());
  return zero == nullptr ? -1 : static_cast<const char*>(zero) - dst.p;
}

// Fills the field of width places at start with asterisks, after a space when the
// field has 3 or more places; they stop one place before the array's end, and a
// terminator follows them.
void OverflowField(VarChars dst, Index start, Index width) {
  const Index last = std::min(start + width - 1, static_cast<Index>(dst.high) - 1);
  Index i = start;
  if (width >= 3) dst[i++] = ' ';
  while (i <= last) dst[i++] = '*';
  dst[i] = 0;
}

// The start of a field of width >= 1 places at the end of dst; -1 when the array is
// full or the field would reach past its end, and nothing is written then.
Index FieldStart(VarChars dst, Index width) {
  const Index e = TextEnd(dst);
  return (e < 0 || e + width - 1 > static_cast<Index>(dst.high)) ? -1 : e;
}

// Writes text right-aligned in the field, or the overflow field when it is longer.
void PutRight(VarChars dst, Index start, Index width, std::string_view text) {
  const Index len = static_cast<Index>(text.size());
  if (len > width) {
    OverflowField(dst, start, width);
    return;
  }
  std::memset(dst.p + start, ' ', static_cast<std::size_t>(width - len));
  std::memcpy(dst.p + start + width - len, text.data(), text.size());
  if (start + width <= static_cast<Index>(dst.high)) dst[start + width] = 0;
}

void AppendField(VarChars dst, Index width, std::string_view text) {
  const Index start = FieldStart(dst, width);
  if (start >= 0) PutRight(dst, start, width, text);
}

// Writes text as wide as it is, or the overflow field up to the array's end when it
// does not fit before HIGH.
void AppendUnaligned(VarChars dst, std::string_view text) {
  const Index e = TextEnd(dst);
  const Index high = static_cast<Index>(dst.high);
  if (e < 0) return;
  const Index len = static_cast<Index>(text.size());
  if (e + len > high) {
    OverflowField(dst, e, high - e + 1);
    return;
  }
  std::memcpy(dst.p + e, text.data(), text.size());
  dst[e + len] = 0;
}

// The digits of value in base, most significant first, placed at the end of buf.
std::string_view Digits(std::uint32_t value, unsigned base, char (&buf)[33]) {
  char* p = buf + sizeof buf;
  do {
    *--p = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value != 0);
  return {p, static_cast<std::size_t>(buf + sizeof buf - p)};
}

void AppendDecimal(bool negative, std::uint32_t magnitude, VarChars dst, int width) {
  char buf[33];
  std::string_view digits = Digits(magnitude, 10, buf);
  if (negative) {
    const std::size_t sign = sizeof buf - digits.size() - 1;
    buf[sign] = '-';
    digits = {buf + sign, digits.size() + 1};
  }
  if (width < 1) {
    AppendUnaligned(dst, digits);
  } else {
    AppendField(dst, width, digits);
  }
}

Index RealWidth(VarChars dst, int width) {
  return std::min(static_cast<Index>(width), static_cast<Index>(dst.high));
}

// Appends text right-aligned in w places: spaces up to w places after the old end
// (never past HIGH), then the text by the rules of Strings::Append.
void AppendRight(VarChars dst, Index w, const RealText& text) {
  std::size_t e = Strings::Length(dst);
  if (e >= dst.high) return;
  const Index end = static_cast<Index>(e) + w - static_cast<Index>(text.n);
  while (static_cast<Index>(e) < end && e < dst.high) dst[e++] = ' ';
  dst[e] = 0;
  Strings::Append(dst, base::Chars(text.s, text.n));
}

// "INF" or "NAN" for a value that is not finite; false for a finite one.
bool NonFinite(double value, RealText& text) {
  if (std::isfinite(value)) return false;
  text.Set(std::isinf(value) ? "INF" : "NAN");
  return true;
}

// The platform's formatting under the "C" locale. Returns the length the whole text
// needs; text receives at most kMaxRealText characters of it.
int Format(RealText& text, bool scientific, int digits, double value) {
  const locale_t previous = uselocale(state.cLocale != nullptr ? state.cLocale : LC_GLOBAL_LOCALE);
  const int n = scientific ? std::snprintf(text.s, sizeof text.s, "% .*E", digits, value)
                           : std::snprintf(text.s, sizeof text.s, "% .*f", digits, value);
  uselocale(previous);
  text.n = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), kMaxRealText);
  text.s[text.n] = 0;
  return n;
}

// The position of the "E" of a scientific text.
std::size_t ExponentStart(const RealText& text) {
  return static_cast<std::size_t>(static_cast<const char*>(std::memchr(text.s, 'E', text.n)) -
                                  text.s);
}

// Writes the exponent of a scientific text with two digits, or three when it has
// three significant ones, whatever number of digits the platform used.
void ShortenExponent(RealText& text) {
  char* digits = text.s + ExponentStart(text) + 2;
  std::size_t count = static_cast<std::size_t>(text.s + text.n - digits);
  std::size_t zeros = 0;
  while (count - zeros > 2 && digits[zeros] == '0') ++zeros;
  if (zeros > 0) {
    std::memmove(digits, digits + zeros, count - zeros);
    count -= zeros;
  } else if (count == 1) {
    digits[1] = digits[0];
    digits[0] = '0';
    count = 2;
  }
  text.n = static_cast<std::size_t>(digits - text.s) + count;
  text.s[text.n] = 0;
}

void Scientific(double value, Index w, RealText& text) {
  if (w < 7) {
    text.Set("***");
  } else if (!NonFinite(value, text)) {
    Format(text, true, static_cast<int>(std::min<Index>(w - 7, kMaxRealDigits)), value);
    ShortenExponent(text);
  }
}

// Floor division by 3 for negative exponents too.
int PowerOfThousand(int exponent) { return exponent >= 0 ? exponent / 3 : -((2 - exponent) / 3); }

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  std::memcpy(state.prefixes, kPrefixes, sizeof kPrefixes);
  state.cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
}

void AppendInt(std::int32_t value, VarChars dst, int width) {
  const std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  AppendDecimal(value < 0, magnitude, dst, width);
}

void AppendCard(std::uint32_t value, VarChars dst, int width) {
  AppendDecimal(false, value, dst, width);
}

void AppendHex(std::uint32_t value, VarChars dst, int width) {
  char buf[33];
  if (width >= 1) AppendField(dst, width, Digits(value, 16, buf));
}

void AppendOct(std::uint32_t value, VarChars dst, int width) {
  char buf[33];
  if (width >= 1) AppendField(dst, width, Digits(value, 8, buf));
}

void AppendBin(std::uint16_t value, VarChars dst, int width, int bits) {
  if (bits < 1 || bits > 16) bits = 16;
  int count = bits;
  bool overflow = false;
  if (width < 1) {
    width = std::max(1, static_cast<int>(std::bit_width(value)));
    count = std::min(bits, width);
  } else {
    overflow = bits > width;
  }
  const Index start = FieldStart(dst, width);
  if (start < 0) return;
  // Set bits above those shown must not vanish from the display.
  if (overflow || (value >> count) != 0) {
    OverflowField(dst, start, width);
    return;
  }
  char buf[16];
  for (int i = 0; i < count; ++i) buf[count - 1 - i] = ((value >> i) & 1) ? '1' : '0';
  PutRight(dst, start, width, {buf, static_cast<std::size_t>(count)});
}

void AppendReal(double value, VarChars dst, int width) {
  Init();
  const Index w = RealWidth(dst, width);
  RealText text;
  Scientific(value, w, text);
  AppendRight(dst, w, text);
}

void AppendFixed(double value, VarChars dst, int width, int decimals) {
  Init();
  const Index w = RealWidth(dst, width);
  RealText text;
  bool fits = true;
  if (decimals < 0 || w < static_cast<Index>(decimals) + 2) {
    text.Set("***");
  } else if (NonFinite(value, text)) {
    fits = static_cast<Index>(text.n) <= w;
  } else {
    // A text longer than one formatting may give does not fit either.
    const Index needed = Format(text, false, decimals, value);
    fits = needed >= 0 && needed <= static_cast<Index>(kMaxRealText) && needed <= w;
  }
  if (fits) {
    AppendRight(dst, w, text);
  } else {
    AppendReal(value, dst, static_cast<int>(std::min<Index>(w, 12)));
  }
}

void AppendEng(double value, VarChars dst, int width) {
  Init();
  const Index w = RealWidth(dst, width);
  RealText text;
  if (w < 6) {
    text.Set("***");
  } else if (!NonFinite(value, text)) {
    Format(text, true, static_cast<int>(std::min<Index>(w - 4, kMaxRealDigits)), value);
    const std::size_t e = ExponentStart(text);
    int exponent = 0;
    for (std::size_t i = e + 2; i < text.n; ++i) exponent = exponent * 10 + (text.s[i] - '0');
    if (text.s[e + 1] == '-') exponent = -exponent;
    const int q = PowerOfThousand(exponent);
    if (q < -kMaxPower || q > kMaxPower) {
      ShortenExponent(text);
    } else {
      // " d.ddd" becomes " dd.dd" or " ddd.d": the digits after the point move left
      // over it (there are always at least two of them).
      const int r = exponent - 3 * q;
      std::memmove(text.s + 2, text.s + 3, static_cast<std::size_t>(r));
      text.s[2 + r] = '.';
      text.s[e] = state.prefixes[q + kMaxPower];
      text.n = e + 1;
      text.s[text.n] = 0;
    }
  }
  AppendRight(dst, w, text);
}

void SetMicroChar(char ch) {
  Init();
  if (ch != 0) state.prefixes[kMicroIndex + kMaxPower] = ch;
}

char MicroChar() {
  Init();
  return state.prefixes[kMicroIndex + kMaxPower];
}

char SiPrefix(int index) {
  Init();
  return (index < -kMaxPower || index > kMaxPower) ? char{0} : state.prefixes[index + kMaxPower];
}

} // namespace NumberOut
