// Shared helpers of the store tests: a fresh store per test, checked when it ends,
// and a recorder for the check alerts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Chars.h"
#include "store/Buffer.h"

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

inline Heap HeapOf(Buffer::Ref b) {
  Heap h{};
  Buffer::HeapInfo(b, h.segmentBytes, h.segments, h.freeBytes, h.freeRanges);
  return h;
}

inline std::ostream& operator<<(std::ostream& os, const Heap& h) {
  return os << "{" << h.segmentBytes << " in " << h.segments << ", " << h.freeBytes << " free in "
            << h.freeRanges << "}";
}

} // namespace StoreTesting
