#include "base/RealMath.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace RealMath;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

} // namespace

TEST(RealMath, PowersHaveDefinedEdges) {
  EXPECT_EQ(Power(0.0, 0.0), 1.0);
  EXPECT_EQ(Power(-8.0, 1.0 / 3.0), 0.0);
  EXPECT_DOUBLE_EQ(Power(8.0, 1.0 / 3.0), 2.0);
  EXPECT_TRUE(std::isnan(Power(kNaN, 2.0)));
  EXPECT_EQ(IntPower(-2.0, 3), -8.0);
  EXPECT_EQ(IntPower(-2.0, -2), 0.25);
  EXPECT_EQ(IntPower(0.0, -1), 0.0);
  EXPECT_EQ(IntPower(0.0, 0), 1.0);
  EXPECT_EQ(Sign(-0.0), 0.0);
  EXPECT_EQ(Sign(kNaN), 1.0);
}

TEST(RealMath, FactorialAndBinomial) {
  EXPECT_EQ(Factorial(5), 120.0);
  EXPECT_EQ(Factorial(-3), 1.0);
  // Huge arguments stop as soon as the product is infinite.
  EXPECT_EQ(Factorial(std::numeric_limits<std::int32_t>::max()), kInf);
  EXPECT_EQ(Binomial(5, 2), 10.0);
  EXPECT_EQ(Binomial(2, 5), 1.0);
  EXPECT_EQ(Binomial(5, 0), 1.0);
  EXPECT_EQ(Binomial(5, -1), 1.0);
  EXPECT_NEAR(Binomial(50, 25), 126410606437752.0, 1.0);
  EXPECT_EQ(Binomial(2000000000, 1000000000), kInf);
}

TEST(RealMath, ErfApproximation) {
  EXPECT_NEAR(Erf(0.0), 0.0, 1e-7);
  EXPECT_NEAR(Erf(1.0), std::erf(1.0), 2.5e-5);
  EXPECT_EQ(Erf(-0.5), -Erf(0.5));
  EXPECT_EQ(Erf(9.2), 1.0);
  EXPECT_EQ(Erf(-9.2), -1.0);
  EXPECT_EQ(Erf(kNaN), 1.0);
}

TEST(RealMath, NotANumbersAreWidenedSinglePrecisionPatterns) {
  Init();
  EXPECT_EQ(std::bit_cast<std::uint64_t>(NotANumber()), 0x7FF8000000000000u);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(NegativeNotANumber()), 0xFFF8000000000000u);
}
