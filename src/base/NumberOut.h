// Numbers as text, appended to the end of an existing text so that messages are
// built piece by piece.
//
// The integer forms right-align the number in a field of `width` places that starts
// at the end of the text in dst, padded with spaces. A field that would reach past
// the array's end is not written at all; one that ends exactly at it gets no
// terminator. A number too long for its field fills the field with asterisks (after
// a space when the field has 3 or more places), stopping one place before the
// array's end and terminated. Nothing is appended to a full array.
//
// The real forms build a text of at most 40 characters for w = min(width, HIGH)
// places and append it right-aligned in w places by the rules of Strings::Append.
// Positive values start with a space where negative ones have "-"; infinities are
// "INF", other non-numbers "NAN", and a field too narrow for any number "***".
#pragma once

#include <cstdint>

#include "base/Chars.h"

namespace NumberOut {

using base::VarChars;

// The module body: the SI prefix table with the Latin-1 micro sign (0xB5).
void Init();

// Decimal; width < 1 takes as many places as the number needs.
void AppendInt(std::int32_t value, VarChars dst, int width);
void AppendCard(std::uint32_t value, VarChars dst, int width);
// Upper-case hexadecimal and octal; nothing is appended when width < 1.
void AppendHex(std::uint32_t value, VarChars dst, int width);
void AppendOct(std::uint32_t value, VarChars dst, int width);
// The low `bits` bits (1..16, anything else means 16) as "0" and "1", most
// significant first; asterisks when higher bits are set or bits > width. Width < 1
// takes as many places as the highest set bit needs.
void AppendBin(std::uint16_t value, VarChars dst, int width, int bits);

// Scientific notation with w - 7 digits after the point and a two-digit exponent:
// 1234.567 in 12 places is " 1.23457E+03". Needs 7 places.
void AppendReal(double value, VarChars dst, int width);
// Fixed notation with `decimals` digits after the point; a number longer than the
// field falls back to AppendReal in min(w, 12) places. Needs decimals + 2 places.
void AppendFixed(double value, VarChars dst, int width, int decimals);
// Engineering notation: a mantissa of 1 to 999 with w - 4 digits after the point,
// then the SI prefix of its power of 1000 (a space for none): 12345.6 in 10 places
// is " 12.34560k". Beyond the prefixes, scientific notation. Needs 6 places.
void AppendEng(double value, VarChars dst, int width);

// Replaces the micro sign in the prefix table; 0 is ignored.
void SetMicroChar(char ch);
char MicroChar();
// The prefix character of the power 1000^index for index -8 .. 8 (a space for 0);
// 0 outside that range.
char SiPrefix(int index);

} // namespace NumberOut
