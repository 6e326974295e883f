#include "base/NumberOut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

namespace {

// The raw contents of an array that held text and '#' after it, zeros shown as '|',
// after one appending operation.
template <std::size_t N>
std::string RawAfter(const char* text, const std::function<void(base::VarChars)>& append) {
  char a[N];
  std::memset(a, '#', N);
  std::memcpy(a, text, std::min(std::strlen(text) + 1, N));
  append(a);
  std::string s;
  for (char c : a) s += (c == 0 ? '|' : c);
  return s;
}

// The text one appending operation writes into an empty array of 64 characters.
std::string Out(const std::function<void(base::VarChars)>& append) {
  char s[64] = {};
  append(s);
  return base::ToString(s);
}

using namespace NumberOut;
using base::VarChars;

const double kInf = std::numeric_limits<double>::infinity();

} // namespace

TEST(NumberOut, IntegerFields) {
  EXPECT_EQ(Out([](VarChars s) { AppendInt(-42, s, 5); }), "  -42");
  EXPECT_EQ(Out([](VarChars s) { AppendInt(-42, s, 2); }), "**");
  EXPECT_EQ(Out([](VarChars s) { AppendCard(123456, s, 4); }), " ***");
  EXPECT_EQ(Out([](VarChars s) { AppendInt(std::numeric_limits<std::int32_t>::min(), s, 0); }),
            "-2147483648");
  EXPECT_EQ(Out([](VarChars s) { AppendHex(255, s, 4); }), "  FF");
  EXPECT_EQ(Out([](VarChars s) { AppendHex(255, s, 0); }), "");
  EXPECT_EQ(Out([](VarChars s) { AppendOct(8, s, 3); }), " 10");
  EXPECT_EQ(Out([](VarChars s) { AppendHex(0xABCDEF12u, s, 7); }), " ******");
}

TEST(NumberOut, IntegerFieldsAtTheArraysEnd) {
  // A field ending exactly at HIGH gets no terminator; one reaching further is not
  // written; asterisks stop one place before the end.
  EXPECT_EQ(RawAfter<6>("ab", [](VarChars s) { AppendInt(42, s, 4); }), "ab  42");
  EXPECT_EQ(RawAfter<6>("ab", [](VarChars s) { AppendInt(42, s, 5); }), "ab|###");
  EXPECT_EQ(RawAfter<6>("ab", [](VarChars s) { AppendInt(123456, s, 4); }), "ab **|");
  EXPECT_EQ(RawAfter<6>("abcdef", [](VarChars s) { AppendInt(1, s, 1); }), "abcdef");
  // Without a width the number fits before HIGH or asterisks run to the end.
  EXPECT_EQ(RawAfter<6>("ab", [](VarChars s) { AppendInt(-12, s, 0); }), "ab-12|");
  EXPECT_EQ(RawAfter<6>("ab", [](VarChars s) { AppendInt(-123, s, 0); }), "ab **|");
  EXPECT_EQ(RawAfter<6>("abcd", [](VarChars s) { AppendCard(77, s, 0); }), "abcd*|");
}

TEST(NumberOut, BinaryShowsTheLowBits) {
  EXPECT_EQ(Out([](VarChars s) { AppendBin(5, s, 0, 16); }), "101");
  EXPECT_EQ(Out([](VarChars s) { AppendBin(0, s, 0, 16); }), "0");
  EXPECT_EQ(Out([](VarChars s) { AppendBin(5, s, 8, 4); }), "    0101");
  EXPECT_EQ(Out([](VarChars s) { AppendBin(0x1F, s, 8, 4); }), " *******"); // bit 4 is set
  EXPECT_EQ(Out([](VarChars s) { AppendBin(5, s, 4, 9); }), " ***");
  EXPECT_EQ(Out([](VarChars s) { AppendBin(0x8001, s, 16, 17); }), "1000000000000001");
}

TEST(NumberOut, ScientificNotation) {
  EXPECT_EQ(Out([](VarChars s) { AppendReal(1234.567, s, 12); }), " 1.23457E+03");
  EXPECT_EQ(Out([](VarChars s) { AppendReal(-1234.567, s, 12); }), "-1.23457E+03");
  EXPECT_EQ(Out([](VarChars s) { AppendReal(1e-300, s, 12); }), " 1.00000E-300");
  EXPECT_EQ(Out([](VarChars s) { AppendReal(0.5, s, 7); }), "  5E-01");
  EXPECT_EQ(Out([](VarChars s) { AppendReal(1.0, s, 6); }), "   ***");
  EXPECT_EQ(Out([](VarChars s) { AppendReal(kInf, s, 10); }), "       INF");
  EXPECT_EQ(Out([](VarChars s) { AppendReal(std::nan(""), s, 8); }), "     NAN");
}

TEST(NumberOut, RealWidthIsLimitedByTheArray) {
  EXPECT_EQ(RawAfter<10>("", [](VarChars s) { AppendReal(1234.567, s, 20); }), " 1.23E+03|");
  EXPECT_EQ(RawAfter<6>("abcdef", [](VarChars s) { AppendReal(1.0, s, 7); }), "abcdef");
  // A wide field gets at most 40 characters of text, right-aligned.
  char wide[256] = {};
  AppendReal(1.0 / 3.0, wide, 200);
  EXPECT_EQ(base::ToString(wide),
            std::string(161, ' ') + " 3.33333333333333314829616256247391E-01");
}

TEST(NumberOut, FixedNotation) {
  EXPECT_EQ(Out([](VarChars s) { AppendFixed(3.14159, s, 8, 2); }), "    3.14");
  EXPECT_EQ(Out([](VarChars s) { AppendFixed(-0.5, s, 6, 2); }), " -0.50");
  // Too long for the field, or for one formatting: scientific in min(w, 12) places.
  EXPECT_EQ(Out([](VarChars s) { AppendFixed(123456.789, s, 8, 2); }), " 1.2E+05");
  EXPECT_EQ(Out([](VarChars s) { AppendFixed(1e50, s, 60, 2); }), " 1.00000E+50");
  EXPECT_EQ(Out([](VarChars s) { AppendFixed(1.0, s, 8, -1); }), "     ***");
  EXPECT_EQ(Out([](VarChars s) { AppendFixed(1.0, s, 3, 2); }), "***");
  EXPECT_EQ(Out([](VarChars s) { AppendFixed(kInf, s, 4, 2); }), " INF");
}

TEST(NumberOut, EngineeringNotation) {
  EXPECT_EQ(Out([](VarChars s) { AppendEng(12345.6, s, 10); }), " 12.34560k");
  EXPECT_EQ(Out([](VarChars s) { AppendEng(0.5, s, 10); }), " 500.0000m");
  EXPECT_EQ(Out([](VarChars s) { AppendEng(0.000001, s, 10); }), " 1.000000\xB5");
  EXPECT_EQ(Out([](VarChars s) { AppendEng(0.0, s, 10); }), " 0.000000 ");
  // Rounding carries into the next prefix.
  EXPECT_EQ(Out([](VarChars s) { AppendEng(-999.99999999, s, 10); }), "-1.000000k");
  EXPECT_EQ(Out([](VarChars s) { AppendEng(1e21, s, 8); }), " 1.0000Y");
  EXPECT_EQ(Out([](VarChars s) { AppendEng(1e-24, s, 8); }), " 1.0000y");
  // Beyond the prefixes.
  EXPECT_EQ(Out([](VarChars s) { AppendEng(1e27, s, 8); }), " 1.0000E+27");
  EXPECT_EQ(Out([](VarChars s) { AppendEng(1e-25, s, 8); }), " 1.0000E-25");
  EXPECT_EQ(Out([](VarChars s) { AppendEng(1.0, s, 5); }), "  ***");
}

TEST(NumberOut, MicroCharCanBeReplaced) {
  EXPECT_EQ(MicroChar(), '\xB5');
  SetMicroChar('u');
  SetMicroChar(0);
  EXPECT_EQ(MicroChar(), 'u');
  EXPECT_EQ(Out([](VarChars s) { AppendEng(2.5e-6, s, 8); }), " 2.5000u");
  SetMicroChar('\xB5');
}
