// Numbers read from a text at a moving position.
//
// Each scan starts at text[pos], skipping spaces first, stops at the first character
// it cannot use (the end of the text is its first zero or HIGH + 1), leaves pos
// there and tells whether a valid number was read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Chars.h"

namespace NumberIn {

using base::Chars;

// The module body; the SI prefixes are those of NumberOut, micro sign included.
void Init();

// An optional sign, spaces, then decimal digits. Fails without a digit (value 0) and
// on overflow, which starts at 2147483640: value is then 2147483647, or -2147483648
// for a negative number.
[[nodiscard]] bool ScanInt(Chars text, std::size_t& pos, std::int32_t& value);
// As ScanInt without "-", which fails at once (value 0); overflow starts at
// 4294967290 and gives 4294967295.
[[nodiscard]] bool ScanCard(Chars text, std::size_t& pos, std::uint32_t& value);
// A run of "0" and "1" whose first 16 digits make the value; true when at least one
// digit was read and the run ends the text or is followed by a space.
[[nodiscard]] bool ScanBin(Chars text, std::size_t& pos, std::uint16_t& value);
// A real: sign, digits, "." or "," and fraction digits, then "E" or "e", a sign and
// exponent digits; "E3" alone is 1000. Trailing spaces are skipped. The scan stops
// after 79 characters of the number. With no digit the value is 0 and the result
// false; a number out of the range of doubles fails too (value 0).
[[nodiscard]] bool ScanReal(Chars text, std::size_t& pos, double& value);
// As ScanReal, then after at most one space an SI prefix ("u" for micro) scales the
// value by its power of 1000: "2.5 k" is 2500.
[[nodiscard]] bool ScanRealSI(Chars text, std::size_t& pos, double& value);

} // namespace NumberIn
