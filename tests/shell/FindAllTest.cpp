// Find All and Replace All over the text buffers of the current directory: the List
// window's lines, the 19 listed hits, lines that would grow too long, the paste buffer.
#include "shell/FindAll.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "../editor/EditorFixture.h"

namespace {

using Texts = EditorFixture::Texts;

class FindAllTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    Shell::ClearList();
  }
  // The List text's lines after the empty one ClearList leaves.
  static Texts Listed() {
    Texts lines = LinesOf(Shell::ListText());
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
  // "   line: 1" .. "   line: 19" after the buffer's name.
  static Texts NineteenHits(const std::string& name) {
    Texts lines{name};
    for (int n = 1; n <= 19; ++n) lines.push_back("   line: " + std::to_string(n));
    lines.push_back("   and more... ");
    return lines;
  }
};

TEST_F(FindAllTest, ListsNineteenHitsOfABufferAndReplaceAllReplacesEveryOne) {
  Texts many;
  for (int n = 1; n <= 25; ++n) many.push_back("x := foo" + std::to_string(n) + ";");
  Edit(many, "/User/Many");
  MakeText({"no hits here"}, "/User/Quiet");
  // Hits in the first, a middle and the last block of the search's 16 positions.
  MakeText({"foo" + std::string(30, '.') + "foo..." + "foo"}, "/User/Thrice");

  backend.AnswerStrings(true, {"foo"});
  FindAll::FindAll();
  Texts expected{"Find All 'foo':"};
  for (const std::string& line : NineteenHits("Many")) expected.push_back(line);
  expected.insert(expected.end(), {"Thrice", "   line: 1", "   line: 1", "   line: 1",
                                   "Search string found in 2 module(s)."});
  EXPECT_EQ(Listed(), expected);
  EXPECT_EQ(Message(), "Search string found in 2 module(s).");
  EXPECT_EQ(Search(), "foo");
  EXPECT_EQ(Lines()[24], "x := foo25;");

  // The questions come preset with the search string and the paste buffer's first line.
  Shell::ClearList();
  backend.SetForeignClipboard("bar\r\nsecond line");
  backend.AnswerStrings(true);
  FindAll::ReplaceAll();
  expected = {"Replace All 'foo' with 'bar':"};
  for (const std::string& line : NineteenHits("Many")) expected.push_back(line);
  expected.insert(expected.end(), {"Thrice", "   line: 1", "   line: 1", "   line: 1",
                                   "Search string replaced in 2 module(s)."});
  EXPECT_EQ(Listed(), expected);
  EXPECT_EQ(Lines()[0], "x := bar1;");
  EXPECT_EQ(Lines()[24], "x := bar25;");
  // The window shows the change once the key that chose the command is done.
  EditWindows::DrawChanged();
  EXPECT_EQ(ScreenRow(1), "x := bar1;");
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Thrice")),
            Texts({"bar" + std::string(30, '.') + "bar..." + "bar"}));
  EXPECT_EQ(LinesOf(Buffer::Find(Editor::kPasteBufferPath)), Texts({"bar"}));
  EXPECT_TRUE(Lines::Modified(E().current));
}

// Every occurrence, left to right and not overlapping, in random lines of two letters
// (long and short, so that every way the search looks at a line is taken).
TEST_F(FindAllTest, ReplaceAllAgreesWithAPlainSearchOnRandomLines) {
  std::uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  Texts lines;
  for (int n = 0; n < 300; ++n) {
    std::string line(next() % 90, 'a');
    for (char& c : line) c = next() % 3 == 0 ? 'b' : 'a';
    lines.push_back(line);
  }
  for (const char* pattern : {"b", "ab", "aba", "baab", "aabaaab"}) {
    Edit(lines, "/User/Random");
    Texts expected = lines;
    for (std::string& line : expected) {
      for (std::size_t at = line.find(pattern); at != std::string::npos;
           at = line.find(pattern, at + 1))
        line.replace(at, std::strlen(pattern), "#");
    }
    backend.AnswerStrings(true, {pattern, "#"});
    FindAll::ReplaceAll();
    EXPECT_EQ(Lines(), expected) << pattern;
  }
}

TEST_F(FindAllTest, AReplacementThatWouldMakeALineTooLongIsLeftAndListed) {
  const std::string line = "x" + std::string(252, 'y') + "x";
  Edit({line, "x"}, "/User/Long");
  backend.AnswerStrings(true, {"x", "zz"});
  FindAll::ReplaceAll();
  EXPECT_EQ(Lines(), Texts({"zz" + std::string(252, 'y') + "x", "zz"}));
  EXPECT_EQ(Listed(), Texts({"Replace All 'x' with 'zz':", "Long", "   line: 1",
                             "   line: 1 not replaced: line too long", "   line: 2",
                             "   not replaced: 1", "Search string replaced in 1 module(s)."}));
}

TEST_F(FindAllTest, CancelEmptyAnswersAndAnEmptyReplacement) {
  Edit({"a-b-c"}, "/User/Dashes");
  SetSearch("-");
  backend.AnswerStrings(false);
  FindAll::ReplaceAll();
  backend.AnswerStrings(true, {""});
  FindAll::FindAll();
  EXPECT_EQ(Listed(), Texts{});
  EXPECT_EQ(Search(), "-");

  backend.AnswerStrings(true, {"-", ""}); // the empty replacement deletes
  FindAll::ReplaceAll();
  EXPECT_EQ(Lines(), Texts({"abc"}));

  // The paste buffer being edited cannot be made anew: nothing is replaced.
  Edit({"held"}, Editor::kPasteBufferPath);
  MakeText({"a-b"}, "/User/Other");
  backend.AnswerStrings(true, {"-", "+"});
  FindAll::ReplaceAll();
  EXPECT_EQ(backend.AlertLog().back(), "PasteBuffer = NIL!");
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Other")), Texts({"a-b"}));
}

} // namespace
