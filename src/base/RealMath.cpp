#include "base/RealMath.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace RealMath {

namespace {

// Single-precision quiet not-a-number patterns: sign clear, and sign set (the value
// the processor itself produces for an invalid operation).
constexpr std::uint32_t kQuietNaN = 0x7FC00000u;
constexpr std::uint32_t kNegativeQuietNaN = 0xFFC00000u;

struct State {
  bool initialised = false;
  // Not-a-number already before start-up sets them, so an early caller never gets a
  // number by mistake.
  double notANumber = std::numeric_limits<double>::quiet_NaN();
  double negativeNotANumber = -std::numeric_limits<double>::quiet_NaN();
};

State state;

double Widened(std::uint32_t pattern) { return static_cast<double>(std::bit_cast<float>(pattern)); }

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  SetNotANumbers();
}

void SetNotANumbers() {
  state.notANumber = Widened(kQuietNaN);
  state.negativeNotANumber = Widened(kNegativeQuietNaN);
}

double Power(double x, double y) {
  if (y == 0.0) return 1.0;
  if (x <= 0.0) return 0.0;
  return std::pow(x, y);
}

double IntPower(double x, std::int32_t n) {
  if (n == 0) return 1.0;
  if (x == 0.0) return 0.0;
  if (x > 0.0) return std::pow(x, n);
  const double magnitude = std::pow(-x, n);
  return (n % 2 != 0) ? -magnitude : magnitude;
}

double Sign(double x) {
  if (x < 0.0) return -1.0;
  if (x == 0.0) return 0.0;
  return 1.0;
}

double Factorial(std::int32_t n) {
  double product = 1.0;
  // Once the product has reached infinity it stays there; stopping then keeps huge
  // arguments from looping for seconds.
  for (std::int32_t i = 2; i <= n && !std::isinf(product); ++i) product *= i;
  return product;
}

double Binomial(std::int32_t n, std::int32_t k) {
  if (n <= k || k == 0) return 1.0;
  // 64 bits, so that n - k cannot overflow for a negative k.
  const std::int64_t m = std::max<std::int64_t>(std::int64_t{n} - k, k);
  double product = 1.0;
  for (std::int64_t i = m + 1; i <= n && !std::isinf(product); ++i)
    product *= static_cast<double>(i) / static_cast<double>(i - m);
  return product;
}

double Erf(double x) {
  if (x > 9.1 || std::isnan(x)) return 1.0;
  if (x < -9.1) return -1.0;
  const double t = 1.0 / (1.0 + 0.47047 * std::fabs(x));
  const double poly = t * (0.3480242 + t * (-0.0958798 + t * 0.7478556));
  const double erf = 1.0 - poly * std::exp(-x * x);
  return x < 0.0 ? -erf : erf;
}

double NotANumber() { return state.notANumber; }

double NegativeNotANumber() { return state.negativeNotANumber; }

} // namespace RealMath
