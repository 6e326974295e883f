#include "base/NumberIn.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "base/NumberOut.h"

namespace {

// The result, value and stopping position of one scan from position 0.
template <typename T, typename Scan>
std::tuple<bool, T, std::size_t> ScanFrom(Scan scan, const char* text) {
  std::size_t pos = 0;
  T value{};
  const bool ok = scan(base::CharsOf(text), pos, value);
  return {ok, value, pos};
}

template <typename T> using R = std::tuple<bool, T, std::size_t>;

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

} // namespace

TEST(NumberIn, ScanIntAndCard) {
  auto scanInt = [](const char* t) { return ScanFrom<std::int32_t>(NumberIn::ScanInt, t); };
  EXPECT_EQ(scanInt(" 42"), R<std::int32_t>(true, 42, 3));
  EXPECT_EQ(scanInt("-  17x"), R<std::int32_t>(true, -17, 5));
  EXPECT_EQ(scanInt("2147483639"), R<std::int32_t>(true, 2147483639, 10));
  // Overflow starts below the maximum.
  EXPECT_EQ(scanInt("2147483640"), R<std::int32_t>(false, kIntMax, 9));
  EXPECT_EQ(scanInt("2147483645"), R<std::int32_t>(false, kIntMax, 9));
  EXPECT_EQ(scanInt("-2147483648"), R<std::int32_t>(false, -kIntMax - 1, 10));
  EXPECT_EQ(scanInt("- x"), R<std::int32_t>(false, 0, 2));

  auto scanCard = [](const char* t) { return ScanFrom<std::uint32_t>(NumberIn::ScanCard, t); };
  EXPECT_EQ(scanCard("4294967289"), R<std::uint32_t>(true, 4294967289u, 10));
  EXPECT_EQ(scanCard("4294967290"), R<std::uint32_t>(false, 4294967295u, 9));
  EXPECT_FALSE(std::get<0>(scanCard("-1")));
}

TEST(NumberIn, ScansMoveAlongTheText) {
  const char text[] = "12 34 ";
  std::size_t pos = 0;
  std::int32_t a = 0, b = 0;
  EXPECT_TRUE(NumberIn::ScanInt(text, pos, a));
  EXPECT_TRUE(NumberIn::ScanInt(text, pos, b));
  EXPECT_EQ(a * 100 + b, 1234);
  // HIGH ends a text without terminator.
  pos = 0;
  EXPECT_TRUE(NumberIn::ScanInt(base::Chars(text, 0), pos, a));
  EXPECT_EQ(a, 1);
}

TEST(NumberIn, ScanBinTakesTheFirstSixteenDigits) {
  auto scan = [](const char* t) { return ScanFrom<std::uint16_t>(NumberIn::ScanBin, t); };
  EXPECT_EQ(scan(" 101"), R<std::uint16_t>(true, 5, 4));
  EXPECT_EQ(scan("11111111111111110000 x"), R<std::uint16_t>(true, 0xFFFF, 20));
  EXPECT_FALSE(std::get<0>(scan("102")));
  EXPECT_FALSE(std::get<0>(scan("")));
}

TEST(NumberIn, ScanRealForms) {
  auto scan = [](const char* t) { return ScanFrom<double>(NumberIn::ScanReal, t); };
  EXPECT_EQ(scan("3.25"), R<double>(true, 3.25, 4));
  EXPECT_EQ(scan("- 1,5  ;"), R<double>(true, -1.5, 7));
  EXPECT_EQ(scan("E3"), R<double>(true, 1000.0, 2));
  EXPECT_EQ(scan("-e-1"), R<double>(true, -0.1, 4));
  EXPECT_EQ(scan(".5E1"), R<double>(true, 5.0, 4));
  EXPECT_EQ(scan("0007.x"), R<double>(true, 7.0, 5));
  EXPECT_EQ(scan("5Ex"), R<double>(true, 5.0, 1)); // no exponent digits: "E" unused
  EXPECT_EQ(scan("."), R<double>(false, 0.0, 1));
  EXPECT_EQ(scan("1E999"), R<double>(false, 0.0, 5));
  // At most 79 characters of a number are used.
  const std::string longNumber = "1" + std::string(100, '0');
  EXPECT_EQ(scan(longNumber.c_str()), R<double>(true, 1e78, 79));
}

TEST(NumberIn, ScanRealSIScalesByThePrefix) {
  auto scan = [](const char* t) { return ScanFrom<double>(NumberIn::ScanRealSI, t); };
  EXPECT_EQ(scan("2.5 k"), R<double>(true, 2500.0, 5));
  EXPECT_EQ(scan("2 M "), R<double>(true, 2e6, 4));
  EXPECT_EQ(scan("7  "), R<double>(true, 7.0, 3));
  EXPECT_EQ(scan("5E"), R<double>(true, 5e18, 2));
  EXPECT_EQ(scan("1 x"), R<double>(true, 1.0, 2));
  EXPECT_EQ(scan("k"), R<double>(false, 0.0, 1));
  // Steps of 0.001 round like repeated multiplication.
  EXPECT_DOUBLE_EQ(std::get<1>(scan("3u")), 3e-6);
  EXPECT_DOUBLE_EQ(std::get<1>(scan("1\xB5")), 1e-6);
  EXPECT_DOUBLE_EQ(std::get<1>(scan("1 y")), 1e-24);
  NumberOut::SetMicroChar('~');
  EXPECT_DOUBLE_EQ(std::get<1>(scan("2~")), 2e-6);
  NumberOut::SetMicroChar('\xB5');
}
