#include "platform/Runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(RuntimeMod, ResultHasTheDivisorsSign) {
  EXPECT_EQ(Runtime::Mod(-7, 3), 2);
  EXPECT_EQ(Runtime::Mod(7, 3), 1);
  EXPECT_EQ(Runtime::Mod(-6, 3), 0);
  EXPECT_EQ(Runtime::Mod(7, -3), -2);
  EXPECT_EQ(Runtime::Mod(INT32_MIN, 3), 1);
  EXPECT_EQ(Runtime::Mod(5, 0), 0);
}

TEST(RuntimeShift, DirectionsAndWidths) {
  EXPECT_EQ(Runtime::Shift(1, -1), 0u);
  EXPECT_EQ(Runtime::Shift(1, 4), 16u);
  EXPECT_EQ(Runtime::Shift(0x80000000u, 0), 0x80000000u); // n = 0 shifts right by 0
  EXPECT_EQ(Runtime::Shift(0x80000000u, -31), 1u);        // logical, not arithmetic
  EXPECT_EQ(Runtime::Shift(1, 32), 0u);
  EXPECT_EQ(Runtime::Shift16(0x8000, 1), 0x10000u);
  EXPECT_EQ(Runtime::Shift16(0x8000, -15), 1u);
}

TEST(RuntimePascal, RoundTripAndLimit) {
  auto p = Runtime::ToPascal("hello");
  EXPECT_EQ(p[0], 5);
  char s[4];
  Runtime::FromPascal(p, s);
  EXPECT_EQ(std::string(s, 4), "hell"); // fills the array, no terminator
  std::string big(400, 'q');
  p = Runtime::ToPascal(base::Chars(big));
  EXPECT_EQ(static_cast<unsigned char>(p[0]), 255);
}

TEST(RuntimeBlocks, ZeroedAndCounted) {
  const auto before = Runtime::LiveBlocks();
  char* c = Runtime::NewCString("abcdef", 3);
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(c, "abc");
  char* shortSource = Runtime::NewCString("ab", 5);
  EXPECT_EQ(std::memcmp(shortSource, "ab\0\0\0\0", 6), 0);
  auto* block = static_cast<unsigned char*>(Runtime::Allocate(16));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(Runtime::LiveBlocks(), before + 3);
  Runtime::Deallocate(c);
  Runtime::Deallocate(shortSource);
  Runtime::Deallocate(block);
  Runtime::Deallocate(nullptr);
  EXPECT_EQ(Runtime::LiveBlocks(), before);
}
