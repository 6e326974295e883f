// Formatted text output and input: the formats, the owed line breaks on the List
// window's and the editor's terminals, logging, reads from keys, and console mode.
#include "textio/TextIO.h"

#include <cstdio>
#include <functional>
#include <string>

#include "../editor/EditorFixture.h"

namespace {

class TextIOTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    Shell::ClearList();
    TextIO::Init();
  }
  void TearDown() override {
    TextIO::SetConsole(false);
    TextIO::SetConsoleFiles(nullptr, nullptr);
    TextIO::SetOutputToList(true);
    TextIO::SetLogging(false);
    TextIO::SetLogBuffer(nullptr);
    EditorFixture::TearDown();
  }

  // What body writes to standard output in console mode, reading input.
  static std::string Console(const std::function<void()>& body, const std::string& input = "") {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::fputs(input.c_str(), in);
    std::rewind(in);
    TextIO::SetConsoleFiles(in, out);
    TextIO::SetConsole(true);
    body();
    std::rewind(out);
    std::string text;
    for (int c = std::getc(out); c != EOF; c = std::getc(out)) text += static_cast<char>(c);
    std::fclose(in);
    std::fclose(out);
    return text;
  }

  // The List window's rows down to the last that is not empty.
  Texts ListRows() const {
    Texts rows = backend.Screen(Shell::ListWindow());
    for (std::string& r : rows) r.erase(r.find_last_not_of(' ') + 1);
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
  }
  // The List window's rows from the one showing first.
  Texts ListRowsFrom(const std::string& first) const {
    Texts rows = ListRows();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i] == first) return Texts(rows.begin() + static_cast<long>(i), rows.end());
    return rows;
  }
};

TEST_F(TextIOTest, NumberFormats) {
  const struct {
    std::function<void()> write;
    const char* text;
  } cases[] = {
      {[] { TextIO::WriteInt(-5, 1); }, "-5"},
      {[] { TextIO::WriteInt(42, 5); }, "   42"},
      {[] { TextIO::WriteInt(-2147483647 - 1, 0); }, "-2147483648"},
      {[] { TextIO::WriteCard(4294967295u, 12); }, "  4294967295"},
      {[] { TextIO::WriteHex(255, 0); }, "FF"},
      {[] { TextIO::WriteHex(0xDEADBEEF, 10); }, "  DEADBEEF"},
      {[] { TextIO::WriteOct(8, 4); }, "  10"},
      {[] { TextIO::WriteBool(true); }, " TRUE"},
      {[] { TextIO::WriteBool(false); }, "FALSE"},
      {[] { TextIO::WriteReal(1234.567, 14, 5); }, "   1.23457E+03"},
      {[] { TextIO::WriteReal(-0.5, 3, 2); }, "***"},
      {[] { TextIO::WriteReal(-0.5, 8, 2); }, "********"},
      {[] { TextIO::WriteReal(-0.5, 9, 2); }, "-5.00E-01"},
      {[] { TextIO::WriteFixed(3.14159, 8, 2); }, "    3.14"},
      {[] { TextIO::WriteScaled(12345.6, 10); }, " 12.34560k"},
      {[] { TextIO::WriteTime(3723.5); }, "01:02:03.500"},
      {[] { TextIO::WriteDate(86400.0); }, "1990/01/02 00:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(Console(c.write), c.text) << c.text;
}

TEST_F(TextIOTest, LineBreaksAreOwedUntilMoreOutputFollows) {
  TextIO::WriteString("a");
  TextIO::WriteLn();
  TextIO::WriteLn();
  TextIO::WriteString("b");
  EXPECT_EQ(ListRowsFrom("a"), Texts({"a", "", "b"}));
  // The cursor stays behind b: nothing is drawn below the last line.
  const auto [row, column] = [] {
    std::int32_t r = 0, c = 0;
    ANSITerm::GetRowCol(Shell::ListTerminal(), r, c);
    return std::pair(r, c);
  }();
  EXPECT_EQ(column, 2);
  TextIO::EndLine();
  TextIO::EndLine();
  TextIO::WriteString("c");
  EXPECT_EQ(ListRowsFrom("a"), Texts({"a", "", "b", "c"}));
  std::int32_t r = 0, c = 0;
  ANSITerm::GetRowCol(Shell::ListTerminal(), r, c);
  EXPECT_EQ(r, row + 1);
  // A line the List itself adds ends the output's line; output then starts a new one.
  Shell::WriteList("listed");
  TextIO::WriteString("d");
  // The List text keeps the output, so a redraw shows it and the line goes on.
  EditWindows::RedrawBuffer(Shell::ListText(), EditWindows::kRefresh);
  TextIO::WriteString("e");
  EXPECT_EQ(ListRowsFrom("a"), Texts({"a", "", "b", "c", "listed", "de"}));
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({"a", "", "b", "c", "listed", "de"}));
}

TEST_F(TextIOTest, OutputGoesToTheEditorsTerminalWhenAsked) {
  TextIO::SetOutputToList(false);
  Shell::ClearList();
  ANSITerm::GotoRowCol(E().terminal, 3, 1);
  TextIO::WriteString("x\ty");
  EXPECT_EQ(ScreenRow(3).substr(0, 3), "x_y");
  EXPECT_EQ(ListRows(), Texts{});
}

TEST_F(TextIOTest, LoggingKeepsFinishedLines) {
  Buffer::Ref log = MakeText({}, "/User/Log");
  TextIO::SetLogBuffer(log);
  TextIO::WriteString("before"); // not logged
  TextIO::SetLogging(true);
  TextIO::WriteString("a");
  TextIO::WriteLn();
  TextIO::WriteLn();
  TextIO::WriteString("b");
  TextIO::EndLine();
  TextIO::EndLine();
  TextIO::WriteString("c");
  TextIO::ClearScreen();
  TextIO::WriteString("d");
  TextIO::SetLogging(false); // ends the line
  TextIO::WriteString("e");
  TextIO::WriteLn();
  EXPECT_EQ(LinesOf(log), Texts({"a", "", "b", "c", TextIO::kSeparatorLine, "d"}));
  // The cleared screen shows what followed, a line down.
  EXPECT_EQ(ListRows(), Texts({"", "d", "e"}));
}

TEST_F(TextIOTest, ReadingFromTheListAsksOnTheMessageLine) {
  TextIO::WriteString("Number? ");
  Inject("'42' RETURN");
  std::int32_t x = 7;
  TextIO::ReadInt(x);
  EXPECT_TRUE(TextIO::ReadSucceeded());
  EXPECT_EQ(x, 42);
  Inject("'4x2' RETURN");
  TextIO::WriteString("Again? ");
  TextIO::ReadInt(x);
  EXPECT_FALSE(TextIO::ReadSucceeded());
  EXPECT_EQ(x, 42);
  Inject("'1F' RETURN '-1.5e3' RETURN");
  std::uint32_t h = 0;
  double d = 0;
  TextIO::ReadHex(h);
  TextIO::ReadReal(d);
  EXPECT_EQ(h, 0x1Fu);
  EXPECT_EQ(d, -1500.0);
  EXPECT_EQ(ListRowsFrom("Number? 42"), Texts({"Number? 42", "Again? 4x2", "1F", "-1.5e3"}));
}

TEST_F(TextIOTest, ReadingOnTheEditorsTerminalEditsInTheOutputLine) {
  TextIO::SetOutputToList(false);
  ANSITerm::GotoRowCol(E().terminal, 2, 1);
  TextIO::WriteString("Name: ");
  Inject("'Bob' RETURN");
  char name[40] = "old";
  TextIO::ReadLine(name);
  EXPECT_TRUE(TextIO::ReadSucceeded());
  EXPECT_EQ(std::string(name), "Bob");
  TextIO::WriteString("next");
  EXPECT_EQ(ScreenRow(2).substr(0, 9), "Name: Bob");
  EXPECT_EQ(ScreenRow(3).substr(0, 4), "next");
}

TEST_F(TextIOTest, ReadCharEchoesAndReturnEndsTheLine) {
  Inject("'ab' RETURN 'c' ENTER");
  char ch = 0;
  TextIO::ReadChar(ch);
  EXPECT_EQ(ch, 'a');
  TextIO::ReadKey(ch);
  EXPECT_EQ(ch, 'b');
  TextIO::ReadChar(ch);
  EXPECT_EQ(ch, TextIO::kReturn);
  TextIO::SkipLine(); // c, then the keypad's enter
  TextIO::WriteString("z");
  EXPECT_EQ(ListRowsFrom("a"), Texts({"a", "c", "z"}));
  EXPECT_EQ(TextIO::BusyRead(), 0);
}

TEST_F(TextIOTest, ConsoleReadsLinesAndCharactersUntilTheEnd) {
  std::string read;
  const std::string out = Console(
      [&read] {
        std::int32_t i = 0;
        TextIO::ReadInt(i);
        read += std::to_string(i) + (TextIO::ReadSucceeded() ? "+" : "-");
        char ch = 0;
        do {
          TextIO::ReadChar(ch);
          read += ch == TextIO::kReturn ? '|' : ch;
        } while (ch != 0);
        char line[8] = "x";
        TextIO::ReadLine(line);
        read += TextIO::ReadSucceeded() ? "+" : "-";
        TextIO::WriteString("a");
        TextIO::WriteLn();
        TextIO::WriteLn();
        TextIO::WriteString("b");
        TextIO::EndLine();
        TextIO::EndLine();
        TextIO::ClearScreen();
        TextIO::WriteString("c");
      },
      "12\r\nxy\nz");
  EXPECT_EQ(read, std::string("12+xy|z") + '\0' + "-");
  EXPECT_EQ(out, "a\n\nb\nc");
}

} // namespace
