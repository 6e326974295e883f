#include "store/Lines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "StoreTesting.h"

using Buffer::BufferKind;
using Buffer::Ref;
using namespace StoreTesting;
using V = std::vector<std::string>;

namespace {

class LinesTest : public StoreTest {
protected:
  void SetUp() override {
    StoreTest::SetUp();
    text = Buffer::Create("/T", BufferKind::Text);
    ASSERT_NE(text, nullptr);
  }
  // A text of the numbers first..last, one per line.
  void Fill(int first, int last) {
    for (int i = first; i <= last; ++i) ASSERT_TRUE(Lines::Append(text, std::to_string(i)));
  }
  std::vector<std::string> Text() const { return LinesOf(text); }
  std::string Get(std::int32_t n) const {
    char s[256];
    Lines::Get(text, n, s);
    return s;
  }
  Ref text = nullptr;
};

using LinesGet = LinesTest;
using LinesLimit = LinesTest;
using LinesEdit = LinesTest;

TEST_F(LinesGet, OutsideTheTextGivesEmpty) {
  Fill(1, 3);
  EXPECT_EQ(Get(0), "");
  EXPECT_EQ(Get(4), "");
  EXPECT_EQ(Get(-1), "");
  EXPECT_EQ(Get(3), "3");
  EXPECT_EQ(Lines::Length(text, 4), 0);
  EXPECT_EQ(Lines::View(text, 0), "");
}

TEST_F(LinesGet, EmptyLinesAreStoredWithoutMemory) {
  Fill(1, 1);
  const Heap before = HeapOf(text);
  ASSERT_TRUE(Lines::Append(text, ""));
  EXPECT_EQ(HeapOf(text), before);
  EXPECT_EQ(Lines::Count(text), 2);
  EXPECT_EQ(Lines::Length(text, 2), 0);
  EXPECT_EQ(Get(2), "");
  // A line costs its length plus one, in granules of 16 bytes.
  ASSERT_TRUE(Lines::Append(text, std::string(15, 'a')));
  EXPECT_EQ(HeapOf(text).freeBytes, before.freeBytes - 16);
  ASSERT_TRUE(Lines::Append(text, std::string(16, 'a')));
  EXPECT_EQ(HeapOf(text).freeBytes, before.freeBytes - 48);
}

TEST_F(LinesGet, LongLinesAreCutToTheArrayWithoutTerminator) {
  ASSERT_TRUE(Lines::Append(text, "abcdef"));
  char four[4];
  Lines::Get(text, 1, four);
  EXPECT_EQ(std::string(four, 4), "abcd");
  char six[6];
  Lines::Get(text, 1, six);
  EXPECT_EQ(std::string(six, 6), "abcdef");
  char eight[8];
  std::memset(eight, 'z', sizeof eight);
  Lines::Get(text, 1, eight);
  EXPECT_EQ(std::string(eight, 8), std::string("abcdef\0z", 8));
  // A source array without terminator is taken whole.
  const char raw[3] = {'x', 'y', 'z'};
  ASSERT_TRUE(Lines::Append(text, raw));
  EXPECT_EQ(Get(2), "xyz");
}

TEST_F(LinesGet, OnlyTextsHaveLines) {
  Ref heap = Buffer::Create("/H", BufferKind::Heap);
  EXPECT_FALSE(Lines::Append(heap, "x"));
  EXPECT_FALSE(Lines::Insert(heap, 1, 1));
  Lines::SetLimit(heap, 10);
  EXPECT_EQ(Lines::Limit(heap), 0);
  EXPECT_EQ(HeapOf(heap), (Heap{0, 0, 0, 0}));
  EXPECT_FALSE(Lines::Append(nullptr, "x"));
  EXPECT_EQ(Lines::Limit(text), 0); // no table yet
  Fill(1, 1);
  EXPECT_EQ(Lines::Limit(text), Lines::kMaxLimit);
}

TEST_F(LinesLimit, AppendPastTheLimitDropsLineOne) {
  Lines::SetLimit(text, 1000);
  Fill(1, 1001);
  EXPECT_EQ(Lines::Count(text), 1000);
  EXPECT_EQ(Get(1), "2");
  EXPECT_EQ(Get(1000), "1001");
  // The new line may come from the line that drops.
  ASSERT_TRUE(Lines::Append(text, base::CharsOf(Lines::View(text, 1))));
  EXPECT_EQ(Get(1000), "2");
  EXPECT_EQ(Get(1), "3");
}

TEST_F(LinesLimit, InsertIntoAFullTextDropsLinesFromTheTop) {
  Fill(1, 10);
  Lines::SetLimit(text, 10);
  ASSERT_TRUE(Lines::Insert(text, 11, 2));
  EXPECT_EQ(Text(), (V{"3", "4", "5", "6", "7", "8", "9", "10", "", ""}));
  // The new lines still come before the same line of text.
  ASSERT_TRUE(Lines::Insert(text, 6, 3));
  EXPECT_EQ(Text(), (V{"6", "7", "", "", "", "8", "9", "10", "", ""}));
  // Not when the insertion point itself would drop.
  EXPECT_FALSE(Lines::Insert(text, 4, 3));
  EXPECT_FALSE(Lines::Insert(text, 1, 1));
  EXPECT_EQ(Lines::Count(text), 10);
}

TEST_F(LinesEdit, AppendWithALengthTakesThatManyCharacters) {
  ASSERT_TRUE(Lines::Append(text, "x"));
  Lines::Delete(text, 1, 1);
  const Heap empty = HeapOf(text); // the table and the line array
  const char source[] = "abcdefgh";
  const std::string longLine(3000, 'q'); // more than a system block
  ASSERT_TRUE(Lines::Append(text, source, 3));
  ASSERT_TRUE(Lines::Append(text, source + 5, 0));
  ASSERT_TRUE(Lines::Append(text, longLine.data(), longLine.size()));
  EXPECT_EQ(Text(), (V{"abc", "", longLine}));
  // At the limit, the characters may come from the line that drops.
  Lines::SetLimit(text, 3);
  const std::string_view first = Lines::View(text, 1);
  ASSERT_TRUE(Lines::Append(text, first.data() + 1, 2));
  EXPECT_EQ(Text(), (V{"", longLine, "bc"}));
  // Every line was allocated at the size it is freed with.
  Lines::Delete(text, 1, 3);
  const Heap h = HeapOf(text);
  EXPECT_EQ(h.segmentBytes - h.freeBytes, empty.segmentBytes - empty.freeBytes);
}

TEST_F(LinesLimit, SetLimitKeepsTheNewestLines) {
  Fill(1, 10);
  Lines::SetLimit(text, 4);
  EXPECT_EQ(Text(), (V{"7", "8", "9", "10"}));
  EXPECT_EQ(Lines::Limit(text), 4);
  for (std::int32_t bad : {0, 1, -5, Lines::kMaxLimit + 1}) {
    Lines::SetLimit(text, bad);
    EXPECT_EQ(Lines::Limit(text), Lines::kMaxLimit) << bad;
  }
  Lines::SetLimit(text, 2);
  EXPECT_EQ(Lines::Limit(text), 2);
  // A limit set before the first line holds from the start.
  Ref fresh = Buffer::Create("/F", BufferKind::Text);
  Lines::SetLimit(fresh, 2);
  for (std::string s : {"a", "b", "c"}) ASSERT_TRUE(Lines::Append(fresh, s));
  EXPECT_EQ(Lines::View(fresh, 1), "b");
}

TEST_F(LinesEdit, SetReplacesExistingLinesOnly) {
  Fill(1, 3);
  Lines::SetModified(text, false);
  EXPECT_FALSE(Lines::Set(text, 4, "x"));
  EXPECT_FALSE(Lines::Set(text, 0, "x"));
  EXPECT_FALSE(Lines::Modified(text));
  ASSERT_TRUE(Lines::Set(text, 2, "two"));
  EXPECT_TRUE(Lines::Modified(text));
  ASSERT_TRUE(Lines::Set(text, 3, base::CharsOf(Lines::View(text, 3)))); // itself
  ASSERT_TRUE(Lines::Set(text, 1, ""));
  EXPECT_EQ(Text(), (V{"", "two", "3"}));
}

TEST_F(LinesEdit, DeleteIsCutToTheLinesThatExist) {
  Fill(1, 6);
  Lines::SetModified(text, false);
  Lines::Delete(text, 7, 1);
  Lines::Delete(text, 0, 2);
  Lines::Delete(text, 2, 0);
  EXPECT_EQ(Lines::Count(text), 6);
  EXPECT_FALSE(Lines::Modified(text));
  Lines::Delete(text, 6, 5);
  EXPECT_EQ(Text(), (V{"1", "2", "3", "4", "5"}));
  EXPECT_TRUE(Lines::Modified(text));
  Lines::Delete(text, 2, 2);
  EXPECT_EQ(Text(), (V{"1", "4", "5"}));
  Lines::Delete(text, 1, 1000);
  EXPECT_EQ(Lines::Count(text), 0);
  EXPECT_EQ(HeapOf(text).freeRanges, 1); // every line went back
}

TEST_F(LinesEdit, InsertAddsEmptyLinesBeforeThePosition) {
  Fill(1, 3);
  EXPECT_TRUE(Lines::Insert(text, 2, 0));
  EXPECT_TRUE(Lines::Insert(text, 2, -1));
  EXPECT_FALSE(Lines::Insert(text, 5, 1));
  EXPECT_FALSE(Lines::Insert(text, 0, 1));
  ASSERT_TRUE(Lines::Insert(text, 2, 2));
  ASSERT_TRUE(Lines::Insert(text, 6, 1));
  EXPECT_EQ(Text(), (V{"1", "", "", "2", "3", ""}));
  Ref fresh = Buffer::Create("/F", BufferKind::Text);
  EXPECT_FALSE(Lines::Insert(fresh, 2, 1));
  ASSERT_TRUE(Lines::Insert(fresh, 1, 600));
  EXPECT_EQ(Lines::Count(fresh), 600);
  EXPECT_TRUE(Lines::Modified(fresh));
}

TEST_F(LinesEdit, ModifiedIsSetWhenTheArrayGrows) {
  Fill(1, 1);
  EXPECT_TRUE(Lines::Modified(text));
  Lines::SetModified(text, false);
  Fill(2, 256);
  EXPECT_FALSE(Lines::Modified(text));
  Fill(257, 257);
  EXPECT_TRUE(Lines::Modified(text));
  Lines::SetModified(text, false);
  ASSERT_TRUE(Lines::Insert(text, 1, 255)); // fits the 512 lines
  EXPECT_FALSE(Lines::Modified(text));
  ASSERT_TRUE(Lines::Insert(text, 1, 1));
  EXPECT_TRUE(Lines::Modified(text));
  EXPECT_EQ(Lines::Count(text), 513);
  EXPECT_EQ(Get(513), "257");
}

TEST_F(LinesEdit, ManyLinesKeepTheirPlaces) {
  Fill(1, 100000);
  ASSERT_TRUE(Lines::Insert(text, 50000, 3));
  EXPECT_EQ(Get(50003), "50000");
  Lines::Delete(text, 1, 99990);
  EXPECT_EQ(Text().front(), "99988");
}

} // namespace

TEST_F(LinesEdit, LinesWithoutALineEndKeepTheFileTogether) {
  using Lines::LineEnd;
  // A long file line in three pieces, the last of them ending with CR LF, then a last
  // line without a line end.
  const char* pieces[] = {"aa", "bb", "cc", "zz"};
  const LineEnd ends[] = {LineEnd::None, LineEnd::None, LineEnd::CRLF, LineEnd::None};
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(Lines::Append(text, pieces[i], 2, ends[i]));
  auto endsNow = [&] {
    std::vector<LineEnd> e;
    for (std::int32_t n = 1; n <= Lines::Count(text); ++n) e.push_back(Lines::EndOf(text, n));
    return e;
  };
  ASSERT_TRUE(Lines::Set(text, 2, "BB"));
  EXPECT_EQ(Lines::EndOf(text, 2), LineEnd::None) << "an edited line keeps its end";
  ASSERT_TRUE(Lines::Set(text, 3, ""));
  EXPECT_EQ(Lines::EndOf(text, 3), LineEnd::CRLF) << "also when it becomes empty";

  ASSERT_TRUE(Lines::Insert(text, 2, 2)); // lines typed after "aa"
  EXPECT_EQ(endsNow(), (std::vector{LineEnd::Text, LineEnd::Text, LineEnd::None, LineEnd::None,
                                    LineEnd::CRLF, LineEnd::None}));
  Lines::Delete(text, 4, 2); // the line before takes the end of the last deleted
  EXPECT_EQ(endsNow(), (std::vector{LineEnd::Text, LineEnd::Text, LineEnd::CRLF, LineEnd::None}));
  Lines::Delete(text, 2, 2);
  EXPECT_EQ(endsNow(), (std::vector{LineEnd::Text, LineEnd::None}));
  ASSERT_TRUE(Lines::Append(text, "new"));
  EXPECT_EQ(endsNow(), (std::vector{LineEnd::Text, LineEnd::Text, LineEnd::Text}))
      << "an appended line starts a line of its own";
  EXPECT_EQ(Text(), (V{"aa", "zz", "new"}));
  EXPECT_EQ(Lines::EndOf(text, 9), LineEnd::Text);

  EXPECT_EQ(Lines::CodingOf(text), Charset::Coding::Utf8) << "a new text";
  ASSERT_TRUE(Lines::SetForm(text, Lines::Form{Charset::Coding::Utf8Bytes, 1, true}));
  EXPECT_EQ(Lines::GetForm(text).lineEnd, 1);
  Buffer::Clear(text);
  EXPECT_EQ(Lines::CodingOf(text), Charset::Coding::Utf8) << "a cleared text starts anew";
}

TEST_F(LinesEdit, AppendTextGivesTheLinesInTheTargetsCoding) {
  const Ref kept = Buffer::Create("/Kept", BufferKind::Text);
  ASSERT_TRUE(Lines::SetForm(kept, Lines::Form{Charset::Coding::Utf8Bytes}));
  ASSERT_TRUE(Lines::Append(kept, "\xCF\x80 \xC3\xA9"));
  Fill(1, 1);
  ASSERT_TRUE(Lines::AppendText(text, kept));
  EXPECT_EQ(Text(), (V{"1", "? \xE9"}));
  ASSERT_TRUE(Lines::AppendText(kept, text));
  EXPECT_EQ(LinesOf(kept), (V{"\xCF\x80 \xC3\xA9", "1", "? \xC3\xA9"}));
}
