#include "base/ByteOrder.h"

#include <cstring>
#include <utility>

namespace ByteOrder {

namespace {

template <int N> void SwapN(void* p) {
  auto* b = static_cast<unsigned char*>(p);
  for (int i = 0; i < N / 2; ++i) std::swap(b[i], b[N - 1 - i]);
}

template <typename T> T GetN(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  T v = 0;
  for (int i = int(sizeof(T)) - 1; i >= 0; --i) v = T(v << 8) | b[i];
  return v;
}

template <typename T> void PutN(void* p, T v) {
  auto* b = static_cast<unsigned char*>(p);
  for (std::size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

template <typename T> int CompareN(const void* a, const void* b) {
  const T x = GetN<T>(a);
  const T y = GetN<T>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

} // namespace

void Swap2(void* p) { SwapN<2>(p); }
void Swap4(void* p) { SwapN<4>(p); }
void Swap8(void* p) { SwapN<8>(p); }

void Move2(void* dst, const void* src) { std::memmove(dst, src, 2); }
void Move4(void* dst, const void* src) { std::memmove(dst, src, 4); }
void Move8(void* dst, const void* src) { std::memmove(dst, src, 8); }

int Compare2(const void* a, const void* b) { return CompareN<std::uint16_t>(a, b); }
int Compare4(const void* a, const void* b) { return CompareN<std::uint32_t>(a, b); }
int Compare8(const void* a, const void* b) { return CompareN<std::uint64_t>(a, b); }

std::uint16_t Get16(const void* p) { return GetN<std::uint16_t>(p); }
std::uint32_t Get32(const void* p) { return GetN<std::uint32_t>(p); }
std::uint64_t Get64(const void* p) { return GetN<std::uint64_t>(p); }
void Put16(void* p, std::uint16_t v) { PutN(p, v); }
void Put32(void* p, std::uint32_t v) { PutN(p, v); }
void Put64(void* p, std::uint64_t v) { PutN(p, v); }

} // namespace ByteOrder
