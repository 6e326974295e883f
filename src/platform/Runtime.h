// The small run-time operations every module relies on: integer MOD and SHIFT,
// string length, copies between zero-terminated and length-prefixed strings, and
// zero-initialised blocks from the local heap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/Chars.h"

namespace Runtime {

using base::Chars;
using base::VarChars;

// A length-prefixed string: byte 0 the length (0..255), the characters after it.
using PascalString = std::array<char, 256>;

// Remainder in 0 .. b-1 for b > 0 (and in b+1 .. 0 for b < 0); 0 when b is 0.
std::int32_t Mod(std::int32_t a, std::int32_t b);
// n >= 1 shifts left by n, n <= 0 shifts right by -n (logical); 32 or more places give 0.
std::uint32_t Shift(std::uint32_t value, int n);
// The 16-bit form: the value is widened first, so bits shifted above bit 15 stay.
std::uint32_t Shift16(std::uint16_t value, int n);
// Characters before the first zero, at most HIGH + 1.
std::size_t StrLength(Chars s);
// Length-prefixed copy of s, at most 255 characters.
PascalString ToPascal(Chars s);
// Zero-terminated copy of p into s (terminated when there is room).
void FromPascal(const PascalString& p, VarChars s);
// A new zero-initialised block of n + 1 bytes holding the first n characters of s;
// nullptr when memory is exhausted. Give it back with Deallocate.
char* NewCString(Chars s, std::size_t n);
// A zero-initialised block of n bytes from the local heap, or nullptr.
void* Allocate(std::size_t n);
// Gives a block from Allocate or NewCString back; nullptr is ignored.
void Deallocate(void* p);
// The number of local-heap blocks not yet given back.
std::size_t LiveBlocks();

} // namespace Runtime
