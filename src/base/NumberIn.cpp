#include "base/NumberIn.h"

#include <charconv>
#include <limits>

#include "base/NumberOut.h"

namespace NumberIn {

namespace {

struct State {
  bool initialised = false;
};

State state;

// At most this many characters of a real number are used.
constexpr std::size_t kMaxRealChars = 79;
constexpr int kMaxPower = 8;
constexpr int kMicroIndex = -2;

struct Reader {
  Chars text;
  std::size_t& pos;

  // The character at pos + ahead; 0 past the array (callers never look past a zero).
  char Peek(std::size_t ahead = 0) const {
    const std::size_t i = pos + ahead;
    return i <= text.high ? text[i] : char{0};
  }
  bool AtDigit(std::size_t ahead = 0) const { return Peek(ahead) >= '0' && Peek(ahead) <= '9'; }
  void SkipSpaces() {
    while (Peek() == ' ') ++pos;
  }
};

enum class Scan { Ok, NoDigit, Overflow };

// Sign and digits of ScanInt and ScanCard. A digit after a value of limit or more
// overflows, which is a little early but keeps every accepted value in range.
Scan ScanDecimal(Reader r, std::uint32_t limit, bool minusAllowed, bool& negative,
                 std::uint32_t& magnitude) {
  negative = false;
  magnitude = 0;
  r.SkipSpaces();
  if (r.Peek() == '+') {
    ++r.pos;
  } else if (r.Peek() == '-') {
    ++r.pos;
    negative = true;
    if (!minusAllowed) return Scan::Overflow;
  }
  r.SkipSpaces();
  if (!r.AtDigit()) return Scan::NoDigit;
  while (r.AtDigit()) {
    if (magnitude >= limit) return Scan::Overflow;
    magnitude = magnitude * 10 + static_cast<std::uint32_t>(r.Peek() - '0');
    ++r.pos;
  }
  return Scan::Ok;
}

// The number text collected for the conversion, kMaxRealChars at most.
struct NumberText {
  char s[kMaxRealChars];
  std::size_t n = 0;

  bool Put(char c) {
    if (n == kMaxRealChars) return false;
    s[n++] = c;
    return true;
  }
};

// Collects the digits while there is room for them; true when at least one was seen.
bool TakeDigits(Reader& r, NumberText& number) {
  bool seen = false;
  while (r.AtDigit() && number.Put(r.Peek())) {
    ++r.pos;
    seen = true;
  }
  return seen;
}

bool ScanNumber(Reader& r, double& value) {
  value = 0.0;
  NumberText number;
  r.SkipSpaces();
  const char sign = r.Peek();
  if (sign == '+' || sign == '-') ++r.pos;
  r.SkipSpaces();
  if (sign == '-') number.Put('-');
  const std::size_t mantissaStart = number.n;
  bool digit = false;
  if (r.Peek() == '0') {
    while (r.Peek() == '0') ++r.pos;
    number.Put('0');
    digit = true;
  }
  digit = TakeDigits(r, number) || digit;
  if (r.Peek() == '.' || r.Peek() == ',') {
    ++r.pos;
    if (!digit) number.Put('0');
    const std::size_t beforePoint = number.n;
    number.Put('.');
    if (TakeDigits(r, number)) {
      digit = true;
    } else {
      number.n = beforePoint; // "5." is 5
    }
  }
  // "E" begins an exponent only when digits follow it; otherwise it is left to the
  // caller (ScanRealSI reads it as the prefix of 1000^6).
  const bool exponent = r.Peek() == 'E' || r.Peek() == 'e';
  const bool expSign = exponent && (r.Peek(1) == '+' || r.Peek(1) == '-');
  if (exponent && r.AtDigit(expSign ? 2 : 1)) {
    if (!digit) {
      number.n = mantissaStart;
      number.Put('1');
    }
    number.Put('E');
    ++r.pos;
    if (expSign) {
      number.Put(r.Peek());
      ++r.pos;
    }
    digit = TakeDigits(r, number) || digit;
  }
  if (!digit) return false;
  double result = 0.0;
  const auto [end, error] = std::from_chars(number.s, number.s + number.n, result);
  if (error != std::errc() || end != number.s + number.n) return false;
  value = result;
  return true;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  NumberOut::Init();
}

bool ScanInt(Chars text, std::size_t& pos, std::int32_t& value) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  bool negative = false;
  std::uint32_t magnitude = 0;
  switch (ScanDecimal({text, pos}, kMax / 10, true, negative, magnitude)) {
  case Scan::Ok:
    value = static_cast<std::int32_t>(magnitude);
    if (negative) value = -value;
    return true;
  case Scan::Overflow:
    value = negative ? std::numeric_limits<std::int32_t>::min() : kMax;
    return false;
  case Scan::NoDigit:
    break;
  }
  value = 0;
  return false;
}

bool ScanCard(Chars text, std::size_t& pos, std::uint32_t& value) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  bool negative = false;
  std::uint32_t magnitude = 0;
  switch (ScanDecimal({text, pos}, kMax / 10, false, negative, magnitude)) {
  case Scan::Ok:
    value = magnitude;
    return true;
  case Scan::Overflow:
    value = negative ? 0 : kMax;
    return false;
  case Scan::NoDigit:
    break;
  }
  value = 0;
  return false;
}

bool ScanBin(Chars text, std::size_t& pos, std::uint16_t& value) {
  Reader r{text, pos};
  r.SkipSpaces();
  unsigned bits = 0;
  std::size_t count = 0;
  for (char c = r.Peek(); c == '0' || c == '1'; c = r.Peek()) {
    if (count < 16) bits = (bits << 1) | static_cast<unsigned>(c - '0');
    ++count;
    ++r.pos;
  }
  value = static_cast<std::uint16_t>(bits);
  return count > 0 && (r.Peek() == 0 || r.Peek() == ' ');
}

bool ScanReal(Chars text, std::size_t& pos, double& value) {
  Reader r{text, pos};
  const bool ok = ScanNumber(r, value);
  r.SkipSpaces();
  return ok;
}

bool ScanRealSI(Chars text, std::size_t& pos, double& value) {
  Reader r{text, pos};
  const bool ok = ScanNumber(r, value);
  if (r.Peek() == ' ') ++r.pos;
  const char c = r.Peek();
  if (c != 0) {
    for (int q = -kMaxPower; q <= kMaxPower; ++q) {
      if (c != NumberOut::SiPrefix(q) && !(c == 'u' && q == kMicroIndex)) continue;
      ++r.pos;
      for (int i = q; i > 0; --i) value *= 1000.0;
      for (int i = q; i < 0; ++i) value *= 0.001;
      break;
    }
  }
  r.SkipSpaces();
  return ok;
}

} // namespace NumberIn
