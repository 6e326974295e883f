#include "base/Strings.h"

#include <gtest/gtest.h>

#include <string>

using base::Chars;
using base::VarChars;

namespace {

// The raw contents of an array, with zeros shown as '|', so that tests can see
// whether a terminator was written and where.
template <std::size_t N> std::string Raw(const char (&a)[N]) {
  std::string s;
  for (char c : a) s += (c == 0 ? '|' : c);
  return s;
}

template <std::size_t N> void Fill(char (&a)[N], const char* text) {
  for (std::size_t i = 0; i < N; ++i) a[i] = '#';
  std::size_t i = 0;
  for (; text[i] != 0 && i < N; ++i) a[i] = text[i];
  if (i < N) a[i] = 0;
}

} // namespace

TEST(StringsLength, StopsAtZeroOrHigh) {
  char full[3] = {'a', 'b', 'c'};
  EXPECT_EQ(Strings::Length(full), 3u);
  EXPECT_EQ(Strings::Length("ab"), 2u);
  EXPECT_EQ(Strings::Length(Chars()), 0u);
}

TEST(StringsAssign, FourCharacterArraysMayStayFull) {
  char four[4];
  Strings::Assign(four, "ABCDEFGH");
  EXPECT_EQ(Raw(four), "ABCD");
  char five[5];
  Strings::Assign(five, "ABCDEFGH");
  EXPECT_EQ(Raw(five), "ABCD|");
  char eight[8];
  Strings::Assign(eight, "ABCDEFGH");
  EXPECT_EQ(Raw(eight), "ABCDEFG|");
}

TEST(StringsAssign, ShortSourceIsTerminated) {
  char dst[6];
  Fill(dst, "zzzzz");
  Strings::Assign(dst, "ab");
  EXPECT_EQ(Raw(dst), "ab|zz|");
  // A source array without terminator shorter than the destination.
  const char src[2] = {'x', 'y'};
  Strings::Assign(dst, src);
  EXPECT_EQ(base::ToString(dst), "xy");
}

TEST(StringsAssign, OverlappingSourceIsCopiedFirst) {
  char s[8] = "abcdef";
  Strings::Assign(s, Chars(s + 2, 5));
  EXPECT_EQ(base::ToString(s), "cdef");
}

TEST(StringsAppend, TruncationRules) {
  char dst[4];
  Fill(dst, "ab");
  Strings::Append(dst, "xyz");
  EXPECT_EQ(Raw(dst), "abx|");
  // Full already: nothing changes.
  char full[4] = {'a', 'b', 'c', 'd'};
  Strings::Append(full, "x");
  EXPECT_EQ(Raw(full), "abcd");
  char three[4];
  Fill(three, "abc");
  Strings::Append(three, "x");
  EXPECT_EQ(Raw(three), "abc|");
  char room[10];
  Fill(room, "ab");
  Strings::Append(room, "cd");
  EXPECT_EQ(base::ToString(room), "abcd");
}

TEST(StringsInsert, PositionsAndCutting) {
  char s[10];
  Fill(s, "abcd");
  Strings::Insert(s, "XY", 2);
  EXPECT_EQ(base::ToString(s), "abXYcd");
  Strings::Insert(s, "Z", 6); // at the end
  EXPECT_EQ(base::ToString(s), "abXYcdZ");
  Strings::Insert(s, "Q", 8); // beyond the length
  EXPECT_EQ(base::ToString(s), "abXYcdZ");
  Strings::Insert(s, "", 0);
  Strings::Insert(s, "Q", -1);
  EXPECT_EQ(base::ToString(s), "abXYcdZ");
  // The rest of dst is cut at HIGH characters.
  char small[6];
  Fill(small, "abcd");
  Strings::Insert(small, "XY", 1);
  EXPECT_EQ(Raw(small), "aXYbc|");
  // The source itself reaches past HIGH: nothing of the rest remains.
  Fill(small, "ab");
  Strings::Insert(small, "123456789", 1);
  EXPECT_EQ(Raw(small), "a1234|");
}

TEST(StringsDelete, OnlyWholeRanges) {
  char s[8];
  Fill(s, "abcdef");
  Strings::Delete(s, 4, 3); // one past the length
  EXPECT_EQ(base::ToString(s), "abcdef");
  Strings::Delete(s, -1, 2);
  Strings::Delete(s, 1, 0);
  EXPECT_EQ(base::ToString(s), "abcdef");
  Strings::Delete(s, 4, 2);
  EXPECT_EQ(base::ToString(s), "abcd");
  Strings::Delete(s, 0, 1);
  EXPECT_EQ(base::ToString(s), "bcd");
}

TEST(StringsExtract, RangeAndDestinationSize) {
  char dst[4];
  Fill(dst, "zzz");
  Strings::Extract(dst, "abcdef", 1, 2);
  EXPECT_EQ(Raw(dst), "bc||");
  Strings::Extract(dst, "abcdef", 1, 10); // count cut to 4, fills dst
  EXPECT_EQ(Raw(dst), "bcde");
  Strings::Extract(dst, "abcdef", 4, 3); // past the end: empty
  EXPECT_EQ(dst[0], 0);
  Fill(dst, "zzz");
  Strings::Extract(dst, "abcdef", -1, 2);
  EXPECT_EQ(dst[0], 0);
}

TEST(StringsCut, MovesThePartOrNothing) {
  char src[10];
  char dst[4];
  Fill(src, "abcdef");
  Strings::Cut(dst, src, 1, 3);
  EXPECT_EQ(base::ToString(dst), "bcd");
  EXPECT_EQ(base::ToString(src), "aef");
  Fill(src, "abcdef");
  Strings::Cut(dst, src, 0, 5); // more than dst can hold
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(base::ToString(src), "abcdef");
  Strings::Cut(dst, src, 4, 3); // past the end
  EXPECT_EQ(base::ToString(src), "abcdef");
  Strings::Cut(dst, src, 2, 4); // exactly fills dst, no terminator
  EXPECT_EQ(Raw(dst), "cdef");
  EXPECT_EQ(base::ToString(src), "ab");
}

TEST(StringsPosition, Rules) {
  EXPECT_EQ(Strings::Position("abcabc", "bc", 0), 1);
  EXPECT_EQ(Strings::Position("abcabc", "bc", 2), 4);
  EXPECT_EQ(Strings::Position("abcabc", "", 0), -1);
  EXPECT_EQ(Strings::Position("abc", "c", 3), -1);
  EXPECT_EQ(Strings::Position("abc", "c", 4), -1);
  EXPECT_EQ(Strings::Position("abc", "c", -1), -1);
  EXPECT_EQ(Strings::Position("abc", "C", 0), -1);
  EXPECT_EQ(Strings::Position("abc", "abcd", 0), -1);
}

TEST(StringsCompare, OrderAndCase) {
  EXPECT_EQ(Strings::Compare("abc", "abd"), -1);
  EXPECT_EQ(Strings::Compare("abc", "ab"), 1);
  EXPECT_EQ(Strings::Compare("ab", "abc"), -1);
  EXPECT_EQ(Strings::Compare("ab", "ab"), 0);
  EXPECT_TRUE(Strings::EqualCaseless("Edit", "EDIT"));
  EXPECT_FALSE(Strings::Equal("Edit", "EDIT"));
  // Unsigned bytes: Latin-1 letters sort after ASCII.
  EXPECT_EQ(Strings::Compare("\xe9", "z"), 1);
  // Arrays without terminators compare up to their HIGH.
  const char a[2] = {'a', 'b'};
  EXPECT_TRUE(Strings::Equal(a, "ab"));
  EXPECT_EQ(Strings::CompareN("abcd", "abxx", 2, 2, false), 0);
}

TEST(StringsUpperCopy, OnlyAtoZ) {
  char dst[8];
  Strings::UpperCopy("az\xe9!q", dst);
  EXPECT_EQ(base::ToString(dst), "AZ\xe9!Q");
  char small[3];
  Strings::UpperCopy("abcdef", small);
  EXPECT_EQ(Raw(small), "ABC");
}

TEST(StringsStrip, LeadingAndTrailing) {
  char s[10];
  Fill(s, "    ");
  Strings::StripTrailing(s, ' ');
  EXPECT_EQ(base::ToString(s), "");
  Fill(s, "  ab  ");
  Strings::StripLeading(s, ' ');
  EXPECT_EQ(base::ToString(s), "ab  ");
  Strings::StripTrailing(s, ' ');
  EXPECT_EQ(base::ToString(s), "ab");
  Fill(s, "xab");
  Strings::StripLeading(s, ' ');
  EXPECT_EQ(base::ToString(s), "xab");
}

TEST(StringsLengthPrefixed, LimitsAndTerminator) {
  std::string long300(300, 'x');
  char p[256];
  std::fill(std::begin(p), std::end(p), '#');
  Strings::ToLengthPrefixed(Chars(long300), p);
  EXPECT_EQ(static_cast<unsigned char>(p[0]), 255);
  EXPECT_EQ(p[255], 'x'); // no terminator after 255 characters

  Strings::ToLengthPrefixed("abc", p);
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[4], 0);

  char small[3];
  Strings::FromLengthPrefixed(p, small);
  EXPECT_EQ(Raw(small), "abc");
  char big[8];
  Strings::FromLengthPrefixed(p, big);
  EXPECT_EQ(base::ToString(big), "abc");
}
