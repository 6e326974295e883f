// Euclidean division, the meaning of DIV and MOD on whole numbers.
//
// x = (x DIV y) * y + x MOD y with x MOD y in 0 .. |y| - 1. Constant folding in the
// compiler and the machine's division instructions both divide through here, so that a
// folded constant and a computed value always agree.
#pragma once

namespace base {

template <typename Int> struct QuotientRemainder {
  Int quotient;
  Int remainder;
};

// The Euclidean quotient and remainder of a by b. b must not be 0, and the quotient must
// fit in Int (the caller checks the smallest value divided by -1).
template <typename Int> constexpr QuotientRemainder<Int> EuclidDivMod(Int a, Int b) {
  Int q = a / b, r = a % b;
  if (r < 0) {
    q += b > 0 ? -1 : 1;
    r += b > 0 ? b : -b;
  }
  return {q, r};
}

} // namespace base
