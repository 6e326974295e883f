// Real-number functions with defined results at the edges: none of them traps, and
// every case a program can reach returns a value.
#pragma once

#include <cstdint>

namespace RealMath {

// The module body: sets the two not-a-number values (SetNotANumbers).
void Init();
// Sets the two quiet not-a-number values from their single-precision patterns
// widened to double; start-up calls it once the platform is ready.
void SetNotANumbers();

// 1.0 when y = 0; 0.0 when x <= 0; otherwise x to the power y.
double Power(double x, double y);
// 1.0 when n = 0; 0.0 when x = 0; otherwise x to the power n, negative x giving a
// negative result for odd n.
double IntPower(double x, std::int32_t n);
// -1.0, 0.0 or 1.0; not-a-number counts as positive.
double Sign(double x);
// n x (n-1) x ... x 2; 1.0 for n <= 1.
double Factorial(std::int32_t n);
// n over k for n > k and k != 0; 1.0 otherwise (k > n included).
double Binomial(std::int32_t n, std::int32_t k);
// The error function to about 2.5e-5; exactly 1.0 above 9.1 (and for not-a-number),
// -1.0 below -9.1.
double Erf(double x);
// The first quiet not-a-number value (positive sign).
double NotANumber();
// The second one: the negative quiet not-a-number that invalid operations produce.
double NegativeNotANumber();

} // namespace RealMath
