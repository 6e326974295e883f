#include "base/Charset.h"

#include <array>
#include <cctype>
#include <cstdlib>

namespace Charset {

namespace {

// Codes 128..159: the characters Windows-1252 puts there; its five free codes keep the
// control character of their own number.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 128..135
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 136..143
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 144..151
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 152..159
};

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (Byte(c) >= 0x80) return false;
  return true;
}

// Applies convert to each part of a path between "/".
template <typename Convert> std::string EachPart(std::string_view path, Convert convert) {
  if (IsAscii(path)) return std::string(path);
  std::string out;
  out.reserve(path.size() + path.size() / 2);
  for (;;) {
    const std::size_t slash = path.find('/');
    out += convert(path.substr(0, slash));
    if (slash == std::string_view::npos) return out;
    out += '/';
    path.remove_prefix(slash + 1);
  }
}

} // namespace

char32_t ToUnicode(char c) {
  const unsigned char b = Byte(c);
  return b >= 0x80 && b < 0xA0 ? char32_t(kHigh[b - 0x80]) : char32_t(b);
}

int FromUnicode(char32_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return int(u);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == u) return int(0x80 + i);
  return -1;
}

void AppendUtf8(char32_t u, std::string& out) {
  if (u < 0x80) {
    out += char(u);
  } else if (u < 0x800) {
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += char(0xE0 | (u >> 12));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  } else {
    out += char(0xF0 | (u >> 18));
    out += char(0x80 | ((u >> 12) & 0x3F));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  }
}

std::string ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (Byte(c) < 0x80)
      out += c;
    else
      AppendUtf8(ToUnicode(c), out);
  }
  return out;
}

std::size_t SequenceLength(char b) {
  const unsigned char c = Byte(b);
  if (c < 0x80) return 1;
  if (c < 0xC2) return 0; // continuation bytes, and the leads of overlong forms
  if (c < 0xE0) return 2;
  if (c < 0xF0) return 3;
  if (c < 0xF5) return 4;
  return 0;
}

std::size_t DecodeOne(std::string_view bytes, char32_t& u) {
  if (bytes.empty()) return 0;
  const std::size_t n = SequenceLength(bytes[0]);
  if (n == 0 || bytes.size() < n) return 0;
  if (n == 1) {
    u = Byte(bytes[0]);
    return 1;
  }
  char32_t v = Byte(bytes[0]) & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) {
    if (!IsContinuation(bytes[i])) return 0;
    v = (v << 6) | (Byte(bytes[i]) & 0x3F);
  }
  constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kLeast[n] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  u = v;
  return n;
}

Utf8Kind Classify(std::string_view bytes) {
  Utf8Kind kind = Utf8Kind::Ascii;
  for (std::size_t i = 0; i < bytes.size();) {
    if (Byte(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t u;
    const std::size_t n = DecodeOne(bytes.substr(i), u);
    if (n == 0) return Utf8Kind::Invalid;
    if (FromUnicode(u) < 0)
      kind = Utf8Kind::BeyondSet;
    else if (kind == Utf8Kind::Ascii)
      kind = Utf8Kind::InSet;
    i += n;
  }
  return kind;
}

std::size_t FromUtf8(std::string_view utf8, std::string& out) {
  std::size_t substitutes = 0;
  out.reserve(out.size() + utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    if (Byte(utf8[i]) < 0x80) {
      out += utf8[i++];
      continue;
    }
    char32_t u;
    const std::size_t n = DecodeOne(utf8.substr(i), u);
    const int code = n == 0 ? -1 : FromUnicode(u);
    out += code < 0 ? kSubstitute : char(code);
    substitutes += code < 0;
    i += n == 0 ? 1 : n;
  }
  return substitutes;
}

std::size_t Recode(Coding from, Coding to, std::string_view held, std::string& out) {
  if (HoldsUtf8(from) == HoldsUtf8(to)) {
    out.append(held);
    return 0;
  }
  if (HoldsUtf8(from)) return FromUtf8(held, out);
  out += ToUtf8(held);
  return 0;
}

std::string Utf8Of(Coding coding, std::string_view held) {
  if (coding != Coding::Utf8Bytes) return ToUtf8(held);
  std::string out;
  out.reserve(held.size());
  for (std::size_t i = 0; i < held.size();) {
    char32_t u;
    const std::size_t n = DecodeOne(held.substr(i), u);
    if (n == 0) {
      AppendUtf8(ToUnicode(held[i++]), out);
    } else {
      out.append(held.substr(i, n));
      i += n;
    }
  }
  return out;
}

Coding FromHostText(std::string_view bytes, std::string& out) {
  std::string_view text = bytes;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  switch (Classify(text)) {
  case Utf8Kind::Ascii:
  case Utf8Kind::InSet:
    FromUtf8(text, out);
    return Coding::Utf8;
  case Utf8Kind::BeyondSet:
    out.append(bytes);
    return Coding::Utf8Bytes;
  default:
    out.append(bytes);
    return Coding::Bytes;
  }
}

bool LocaleIsUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == 0) continue;
    std::string v(value);
    for (char& c : v) c = char(std::tolower(static_cast<unsigned char>(c)));
    return v.find("utf-8") != std::string::npos || v.find("utf8") != std::string::npos;
  }
  return false;
}

bool IsUpper(char c) {
  const unsigned char b = Byte(c);
  return (b >= 'A' && b <= 'Z') || b == 0x8A || b == 0x8C || b == 0x8E || b == 0x9F ||
         (b >= 0xC0 && b <= 0xDE && b != 0xD7);
}

bool IsLower(char c) {
  const unsigned char b = Byte(c);
  return (b >= 'a' && b <= 'z') || b == 0x83 || b == 0x9A || b == 0x9C || b == 0x9E || b == 0xAA ||
         b == 0xB5 || b == 0xBA || (b >= 0xDF && b != 0xF7);
}

char Upper(char c) {
  const unsigned char b = Byte(c);
  if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) return char(b - 0x20);
  switch (b) {
  case 0x9A:
  case 0x9C:
  case 0x9E:
    return char(b - 0x10);
  case 0xFF:
    return char(0x9F);
  default:
    return c;
  }
}

char Lower(char c) {
  const unsigned char b = Byte(c);
  if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) return char(b + 0x20);
  switch (b) {
  case 0x8A:
  case 0x8C:
  case 0x8E:
    return char(b + 0x10);
  case 0x9F:
    return char(0xFF);
  default:
    return c;
  }
}

std::string HostName(std::string_view name) {
  return EachPart(name, [](std::string_view part) {
    return Classify(part) == Utf8Kind::BeyondSet ? std::string(part) : ToUtf8(part);
  });
}

std::string FromHostName(std::string_view host) {
  return EachPart(host, [](std::string_view part) {
    if (Classify(part) != Utf8Kind::InSet) return std::string(part);
    std::string out;
    FromUtf8(part, out);
    return out;
  });
}

Utf8Reader::Step Utf8Reader::Read(const char*& p, const char* end, char& ch) {
  const std::size_t need = SequenceLength(held_ > 0 ? bytes_[0] : *p);
  if (need == 0) {
    held_ = 0;
    ++p;
    return Step::Invalid;
  }
  if (held_ == 0) bytes_[held_++] = *p++;
  while (held_ < need && p < end) {
    if (!IsContinuation(*p)) {
      held_ = 0;
      return Step::Invalid;
    }
    bytes_[held_++] = *p++;
  }
  if (held_ < need) return Step::Partial;
  held_ = 0;
  char32_t u;
  if (DecodeOne(std::string_view(bytes_, need), u) != need) return Step::Invalid;
  const int code = FromUnicode(u);
  if (code < 0) return Step::Beyond;
  ch = char(code);
  return Step::Character;
}

} // namespace Charset
