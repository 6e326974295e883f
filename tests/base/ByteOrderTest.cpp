#include "base/ByteOrder.h"

#include <gtest/gtest.h>

TEST(ByteOrder, LittleEndianReadWriteAndSwap) {
  unsigned char b[8];
  ByteOrder::Put32(b, 0x11223344u);
  EXPECT_EQ(b[0], 0x44);
  EXPECT_EQ(b[3], 0x11);
  EXPECT_EQ(ByteOrder::Get32(b), 0x11223344u);
  ByteOrder::Swap4(b);
  EXPECT_EQ(ByteOrder::Get32(b), 0x44332211u);

  ByteOrder::Put64(b, 0x0102030405060708ull);
  EXPECT_EQ(b[0], 0x08);
  ByteOrder::Swap8(b);
  EXPECT_EQ(ByteOrder::Get64(b), 0x0807060504030201ull);

  ByteOrder::Put16(b, 0xABCD);
  ByteOrder::Swap2(b);
  EXPECT_EQ(ByteOrder::Get16(b), 0xCDAB);
}

TEST(ByteOrder, CompareIsNumericNotBytewise) {
  unsigned char a[4], c[4];
  ByteOrder::Put32(a, 0x00000100u); // bytes 00 01 00 00
  ByteOrder::Put32(c, 0x000000FFu); // bytes FF 00 00 00
  EXPECT_EQ(ByteOrder::Compare4(a, c), 1);
  EXPECT_EQ(ByteOrder::Compare4(c, a), -1);
  EXPECT_EQ(ByteOrder::Compare4(a, a), 0);
  unsigned char d[2], e[2];
  ByteOrder::Put16(d, 2);
  ByteOrder::Put16(e, 0x100);
  EXPECT_EQ(ByteOrder::Compare2(d, e), -1);
}

TEST(ByteOrder, MoveHandlesOverlap) {
  unsigned char b[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ByteOrder::Move8(b + 1, b);
  EXPECT_EQ(b[1], 1);
  EXPECT_EQ(b[8], 8);
}
