// The workstation's one 8-bit character set, Windows-1252, and its borders with the
// desktop, whose texts are Unicode: UTF-8 in host files, file names, the clipboard and
// a terminal; UTF-16 inside Qt.
//
// Every character inside is one byte. Codes 0..127 are ASCII, 160..255 Latin-1, and
// 128..159 the euro sign, the dashes, the typographic quotes and the other characters
// Windows-1252 puts there; the five codes it leaves free (129, 141, 143, 144, 157) stand
// for the control characters of the same numbers, so that all 256 codes map to a
// character and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Charset {

// How a text holds its characters and how it is stored. Each text remembers the coding
// it was loaded with; a new text is Utf8.
enum class Coding : std::uint8_t {
  Utf8 = 0,      // characters of the set, stored as UTF-8
  Bytes = 1,     // characters of the set, stored one byte each (a Latin-1 file)
  Utf8Bytes = 2, // the bytes of a UTF-8 file with characters outside the set: a byte
                 // from 128 up is a piece of a character, which no command changes
};

// What a character outside the set becomes where it must enter as one of the set.
inline constexpr char kSubstitute = '?';

// The Unicode character of code c.
char32_t ToUnicode(char c);
// The code of u, or -1 when the set has no such character.
int FromUnicode(char32_t u);

// Appends the UTF-8 of u (a scalar value) to out.
void AppendUtf8(char32_t u, std::string& out);
// The UTF-8 of characters of the set.
std::string ToUtf8(std::string_view text);
// The one UTF-8 character that bytes begin with: its length (1..4) and value in u; 0
// when the bytes do not begin with a complete and valid one (an overlong form, a
// surrogate, beyond U+10FFFF, a stray or missing continuation byte).
std::size_t DecodeOne(std::string_view bytes, char32_t& u);
// The length of the UTF-8 character that starts with byte b, from its first byte
// alone (1 for ASCII, 2..4 for a lead byte); 0 for a byte no character starts with.
std::size_t SequenceLength(char b);
inline bool IsContinuation(char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; }

// What a host text is.
enum class Utf8Kind : std::uint8_t {
  Ascii,     // nothing above 127
  InSet,     // valid UTF-8, every character in the set
  BeyondSet, // valid UTF-8 with characters outside the set
  Invalid,   // not UTF-8
};
Utf8Kind Classify(std::string_view bytes);
// Characters of the set from UTF-8, appended to out. A character outside the set, and
// each byte that is not part of a valid UTF-8 character, becomes kSubstitute; the
// result is the number of substitutes.
std::size_t FromUtf8(std::string_view utf8, std::string& out);

// What a text of coding to holds for what a text of coding from holds, appended to
// out: characters of the set become their UTF-8 in a Utf8Bytes text; a Utf8Bytes
// text's UTF-8 becomes characters of the set elsewhere, where a character outside the
// set (or a byte that is no UTF-8) becomes kSubstitute. The result counts substitutes.
std::size_t Recode(Coding from, Coding to, std::string_view held, std::string& out);
inline bool HoldsUtf8(Coding coding) { return coding == Coding::Utf8Bytes; }
// The UTF-8 of what a text of the coding holds: a Utf8Bytes text's valid characters as
// they are (its other bytes as the characters of their codes).
std::string Utf8Of(Coding coding, std::string_view held);

// A host text as the workstation holds it, appended to out: UTF-8 whose characters are
// all in the set (ASCII too) becomes those characters, a byte order mark at its start
// left out; other UTF-8 stays as it is; anything else is a character a byte. The
// result is the coding that says which.
Coding FromHostText(std::string_view bytes, std::string& out);
// Whether the locale of this process (LC_ALL, LC_CTYPE or LANG) is one of UTF-8, so
// that a terminal's text is UTF-8.
bool LocaleIsUtf8();

// Letters of the set. Upper gives the capital of a small letter that has one in the
// set (ß, µ, ª, º and ƒ have none), Lower the small letter of a capital.
bool IsUpper(char c);
bool IsLower(char c);
char Upper(char c);
char Lower(char c);

// File names. Host names are UTF-8; inside, each part of a path between "/" is the
// characters of its UTF-8 when all are in the set, else its bytes as they are.
// HostName gives the host's bytes for a name inside; FromHostName the name inside for
// a host's bytes. A part whose bytes are valid UTF-8 with a character outside the set
// goes to the host as it is, since no name typed inside gives such bytes as UTF-8.
std::string HostName(std::string_view name);
std::string FromHostName(std::string_view host);

// Decodes a UTF-8 file that arrives in pieces, one character at a time. Feed each byte
// from 128 up (with the bytes that follow it in the piece); a character cut by the end
// of a piece is completed by the next piece.
class Utf8Reader {
public:
  enum class Step : std::uint8_t {
    Character, // a whole character of the set: its code in ch
    Partial,   // the piece ended inside a character; feed the next piece
    Beyond,    // a valid character outside the set
    Invalid,   // not UTF-8
  };
  // Reads the character that starts at p (or continues one cut before) and advances p
  // past the bytes it used; p < end.
  Step Read(const char*& p, const char* end, char& ch);
  // True when a character was cut at the end of the last piece.
  bool Pending() const { return held_ > 0; }

private:
  char bytes_[4] = {};
  std::size_t held_ = 0;
};

} // namespace Charset
