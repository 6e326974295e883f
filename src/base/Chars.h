// Character arrays with a highest index: the currency of every text in the system.
//
// A text lives in a fixed array s[0..HIGH]. Its contents run up to the first zero
// character, or fill the whole array when it holds none. `Chars` is a read-only view
// of such an array, `VarChars` a writable one; both are a pointer and HIGH, cheap to
// pass by value. Characters are 8-bit (Latin-1); 128..255 are ordinary characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// The highest indices of the arrays that hold the system's common texts: names of
// buffers and entries hold 32 characters, paths 260, lines 256.
inline constexpr std::size_t kNameHigh = 31;
inline constexpr std::size_t kPathHigh = 259;
inline constexpr std::size_t kLineHigh = 255;

// The one zero character that views of empty texts point at.
inline constexpr char kEmptyText[1] = {0};

struct Chars {
  const char* p;
  std::size_t high;

  constexpr Chars() : p(kEmptyText), high(0) {}
  constexpr Chars(const char* data, std::size_t highIndex) : p(data), high(highIndex) {}
  // A fixed array, or a string literal (whose terminator is part of the array).
  template <std::size_t N> constexpr Chars(const char (&a)[N]) : p(a), high(N - 1) {}
  // A host string: its characters, then the terminator std::string keeps after them.
  Chars(const std::string& s) : p(s.c_str()), high(s.size()) {}

  constexpr char operator[](std::size_t i) const { return p[i]; }
  constexpr std::size_t size() const { return high + 1; }
};

struct VarChars {
  char* p;
  std::size_t high;

  constexpr VarChars(char* data, std::size_t highIndex) : p(data), high(highIndex) {}
  template <std::size_t N> constexpr VarChars(char (&a)[N]) : p(a), high(N - 1) {}

  constexpr char& operator[](std::size_t i) const { return p[i]; }
  constexpr std::size_t size() const { return high + 1; }
  constexpr operator Chars() const { return Chars(p, high); }
};

// A view of a string_view's characters; the result ends at the view's end even
// when no zero follows it (the array is exactly the characters).
inline Chars CharsOf(std::string_view s) {
  return s.empty() ? Chars() : Chars(s.data(), s.size() - 1);
}

// The text of a character array as a host string (up to the first zero).
std::string ToString(Chars s);

} // namespace base
