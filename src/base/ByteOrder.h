// Byte order of the little-endian file formats: compare, move and swap of 2, 4 and 8
// bytes. Values in files are little-endian whatever the host is; these operations
// read and write them through byte pointers, so alignment never matters.
#pragma once

#include <cstdint>

namespace ByteOrder {

// Reverses the order of the n bytes at p (n is 2, 4 or 8).
void Swap2(void* p);
void Swap4(void* p);
void Swap8(void* p);

// Copies n bytes from src to dst (the areas may overlap).
void Move2(void* dst, const void* src);
void Move4(void* dst, const void* src);
void Move8(void* dst, const void* src);

// Compares two little-endian unsigned values of n bytes: -1, 0 or 1.
int Compare2(const void* a, const void* b);
int Compare4(const void* a, const void* b);
int Compare8(const void* a, const void* b);

// Reads and writes little-endian values.
std::uint16_t Get16(const void* p);
std::uint32_t Get32(const void* p);
std::uint64_t Get64(const void* p);
void Put16(void* p, std::uint16_t v);
void Put32(void* p, std::uint32_t v);
void Put64(void* p, std::uint64_t v);

} // namespace ByteOrder
