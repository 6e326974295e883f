#include "platform/Runtime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/Strings.h"

namespace Runtime {

namespace {

struct State {
  std::size_t liveBlocks = 0;
};
State state;

} // namespace

std::int32_t Mod(std::int32_t a, std::int32_t b) {
  if (b == 0) return 0;
  const std::int64_t r = std::int64_t{a} % b;
  return static_cast<std::int32_t>((r != 0 && ((r < 0) != (b < 0))) ? r + b : r);
}

std::uint32_t Shift(std::uint32_t value, int n) {
  if (n >= 32 || n <= -32) return 0;
  return n >= 1 ? value << n : value >> -n;
}

std::uint32_t Shift16(std::uint16_t value, int n) { return Shift(value, n); }

std::size_t StrLength(Chars s) { return Strings::Length(s); }

PascalString ToPascal(Chars s) {
  PascalString p{};
  Strings::ToLengthPrefixed(s, VarChars(p.data(), p.size() - 1));
  return p;
}

void FromPascal(const PascalString& p, VarChars s) {
  Strings::FromLengthPrefixed(Chars(p.data(), p.size() - 1), s);
}

char* NewCString(Chars s, std::size_t n) {
  auto* block = static_cast<char*>(Allocate(n + 1));
  if (block != nullptr) std::memcpy(block, s.p, std::min(n, Strings::Length(s)));
  return block;
}

void* Allocate(std::size_t n) {
  void* p = std::calloc(std::max<std::size_t>(n, 1), 1);
  if (p != nullptr) ++state.liveBlocks;
  return p;
}

void Deallocate(void* p) {
  if (p == nullptr) return;
  std::free(p);
  --state.liveBlocks;
}

std::size_t LiveBlocks() { return state.liveBlocks; }

} // namespace Runtime
