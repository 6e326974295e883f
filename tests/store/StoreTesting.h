// Shared helpers of the store tests: a fresh store per test, checked when it ends, a
// recorder for the check alerts and the failing-allocation loop.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Chars.h"
#include "store/Buffer.h"
#include "store/Lines.h"

namespace StoreTesting {

struct Alert {
  Buffer::CheckKind kind;
  std::string text;
};

inline std::vector<Alert> alerts;
inline Buffer::CheckAnswer answer = Buffer::CheckAnswer::Continue;

inline Buffer::CheckAnswer RecordAlert(Buffer::CheckKind kind, base::Chars message) {
  alerts.push_back({kind, base::ToString(message)});
  return answer;
}

class StoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    Buffer::Testing::Reset();
    alerts.clear();
    answer = Buffer::CheckAnswer::Continue;
  }
  void TearDown() override {
    EXPECT_EQ(Buffer::Testing::CheckStore(), "");
    Buffer::Testing::Reset();
  }
};

inline std::string FullNameOf(Buffer::Ref b) {
  char s[261];
  Buffer::FullName(b, s);
  return base::ToString(s);
}

struct Heap {
  std::int32_t segmentBytes, segments, freeBytes, freeRanges;
  bool operator==(const Heap&) const = default;
};

inline std::vector<std::string> LinesOf(Buffer::Ref text) {
  std::vector<std::string> lines;
  for (std::int32_t i = 1; i <= Lines::Count(text); ++i) lines.emplace_back(Lines::View(text, i));
  return lines;
}

inline Heap HeapOf(Buffer::Ref b) {
  Heap h{};
  Buffer::HeapInfo(b, h.segmentBytes, h.segments, h.freeBytes, h.freeRanges);
  return h;
}

inline std::ostream& operator<<(std::ostream& os, const Heap& h) {
  return os << "{" << h.segmentBytes << " in " << h.segments << ", " << h.freeBytes << " free in "
            << h.freeRanges << "}";
}

// Raises the number of host memory requests allowed from 0 until op succeeds; after
// every failure the state that same() reads is unchanged and the store is sound.
// Returns the number of failures.
template <typename Op, typename Same> int RaiseUntilSuccess(Op op, Same same) {
  for (int n = 0; n < 200; ++n) {
    Buffer::Testing::FailSystemBlockAfter(n);
    const bool ok = op();
    Buffer::Testing::FailSystemBlockAfter(-1);
    if (ok) return n;
    same();
    EXPECT_EQ(Buffer::Testing::CheckStore(), "") << "after failure " << n;
  }
  ADD_FAILURE() << "never succeeded";
  return -1;
}

} // namespace StoreTesting
