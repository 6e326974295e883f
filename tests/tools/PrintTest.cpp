// Printing on the headless backend, whose printer has a 576 x 756 page at 72 units per
// inch and fonts of 8 x 16 pixels: with the default margins the text area is 447 wide
// (55 characters) and 636 high (38 lines a page). The pages are read from what the
// backend recorded of the drawing on the printer's port.
#include "tools/Printing.h"

#include <string>

#include "../editor/EditorFixture.h"
#include "platform/Backend.h"

namespace {

using Printing::kWhole;
using Toolbox::DrawCommand;
using Toolbox::Point;

class PrintTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    Printing::Init();
    Printing::CorrectSettings();
  }

  // The texts drawn on each page of the last document.
  std::vector<Texts> Pages() const {
    std::vector<Texts> pages;
    if (backend.Printed().empty()) return pages;
    for (const Headless::PrintedPage& page : backend.Printed().back().pages) {
      pages.emplace_back();
      for (const DrawCommand& c : page.commands)
        if (c.op == DrawCommand::Op::Text) pages.back().push_back(c.text);
    }
    return pages;
  }
  // Where the n-th text of a page of the last document was drawn.
  Point At(std::size_t page, std::size_t n) const {
    for (const DrawCommand& c : backend.Printed().back().pages.at(page).commands)
      if (c.op == DrawCommand::Op::Text && n-- == 0) return c.a;
    return Point{-1, -1};
  }
  static std::int32_t Print(Buffer::Ref b) {
    return Printing::PrintBufferRange(b, 1, 1, kWhole, kWhole, 22, 12);
  }
  void AnswerPrintDialogs() {
    backend.AnswerPageSetup(true);
    backend.AnswerPrint(true);
    backend.AnswerMargins(true);
  }
};

TEST_F(PrintTest, AThousandLinesFillTwentySevenPagesOfThirtyEight) {
  const Texts lines = Numbered(1000);
  const Buffer::Ref b = MakeText(lines, "/User/Long");
  EXPECT_EQ(Print(b), 27);
  const std::vector<Texts> pages = Pages();
  ASSERT_EQ(pages.size(), 27u);
  EXPECT_EQ(pages[0].size(), 38u);
  EXPECT_EQ(pages[0].front(), "line 1");
  EXPECT_EQ(pages[1].front(), "line 39");
  EXPECT_EQ(pages[26], (Texts{lines.begin() + 988, lines.end()}));
  // Each line a line height further down, at the left margin.
  EXPECT_EQ(At(0, 0), (Point{72, 76}));
  EXPECT_EQ(At(0, 1), (Point{72, 92}));
  EXPECT_EQ(backend.Printed().back().title, "Long");
  EXPECT_TRUE(backend.Printed().back().ended);
  // The drawing went through the printer's port, and the job's heap is gone.
  std::size_t onPrinter = 0;
  for (const Headless::Drawn& d : backend.DisplayList())
    if (d.port.printer != nullptr && d.command.op == DrawCommand::Op::Text) ++onPrinter;
  EXPECT_EQ(onPrinter, 1000u);
  Buffer::ForEach(Buffer::Find("/Shell/"), [](Buffer::Ref entry) {
    char name[33];
    Buffer::LeafName(entry, name);
    EXPECT_NE(std::string(name).rfind("PrJ", 0), 0u) << name;
  });
}

TEST_F(PrintTest, FormFeedsBreakPagesAndEmptyLinesMoveDown) {
  const Buffer::Ref b = MakeText({"a", "\f", "b", "", "\fc", "d"}, "/User/Feeds");
  EXPECT_EQ(Print(b), 3);
  EXPECT_EQ(Pages(), (std::vector<Texts>{{"a"}, {"b"}, {"c", "d"}}));
  EXPECT_EQ(At(2, 1), (Point{72, 92}));
}

TEST_F(PrintTest, LongLinesWrapAtBlanksOrWhereTheyStopFitting) {
  const std::string word = "abcdefghij";
  std::string words = word;
  for (int i = 0; i < 9; ++i) words += " " + word;
  const std::string fives = words.substr(0, 54); // five words
  const Buffer::Ref b = MakeText({std::string(120, 'x'), words}, "/User/Wide");
  EXPECT_EQ(Print(b), 1);
  EXPECT_EQ(Pages().front(), (Texts{std::string(55, 'x'), std::string(55, 'x'),
                                    std::string(10, 'x'), fives, fives}));

  // Without wrapping the device clips the whole line.
  Toolbox::PrintMargins m = Printing::CurrentSettings();
  m.wrap = false;
  Printing::StoreSettings(m);
  EXPECT_EQ(Print(b), 1);
  EXPECT_EQ(Pages().front(), (Texts{std::string(120, 'x'), words}));
}

TEST_F(PrintTest, PrintAsksItsDialogsAndPrintsTheSelectRange) {
  Edit({"line1-abcdef", "line2-abcdef", "line3-abcdef", "line4-abcdef", "line5-abcdef",
        "line6-abcdef"});
  E().anchor = Editor::Position{3, 4};
  E().cursor = Editor::Position{5, 6};
  E().selectActive = true;

  backend.AnswerPageSetup(false);
  Printing::Print();
  backend.AnswerPageSetup(true);
  backend.AnswerPrint(true);
  backend.AnswerMargins(false);
  Printing::Print();
  EXPECT_TRUE(backend.Printed().empty());

  // The page setup was done and stays done; the margins are asked for until confirmed.
  backend.AnswerPrint(true);
  backend.AnswerMargins(true);
  Printing::Print();
  EXPECT_EQ(Pages(), (std::vector<Texts>{{"e3-abcdef", "line4-abcdef", "line5"}}));
  backend.AnswerPrint(true);
  Printing::Print();
  EXPECT_EQ(backend.Printed().size(), 2u);
  EXPECT_EQ(backend.Unanswered(), std::vector<std::string>{});
  EXPECT_TRUE(Printing::MarginsChosen());
}

TEST_F(PrintTest, SmallTextSizesAreCorrectedBeforePrinting) {
  Toolbox::PrintMargins m = Printing::CurrentSettings();
  m.fontSize = 2;
  m.left = 0.25;
  Printing::StoreSettings(m);
  MakeText({"small"}, "/User/Small");
  Edit({"small"});
  AnswerPrintDialogs();
  Printing::Print();
  EXPECT_EQ(backend.LastMarginsShown().fontSize, 4);
  EXPECT_EQ(backend.LastMarginsFace(), "Courier New");
  ASSERT_EQ(Pages().size(), 1u);
  const DrawCommand& text = backend.Printed().back().pages[0].commands.back();
  EXPECT_EQ(text.state.fontSize, 4);
  EXPECT_EQ(text.a.h, 144); // the left margin kept

  m.fontSize = 0;
  m.wrap = false;
  Printing::StoreSettings(m);
  Printing::CorrectSettings();
  const Toolbox::PrintMargins d = Printing::CurrentSettings();
  EXPECT_EQ((std::tuple{d.left, d.right, d.top, d.bottom, d.fontNumber, d.fontSize, d.wrap}),
            (std::tuple{0.125, 0.1, 0.08, 0.08, 22, 12, true}));
}

TEST_F(PrintTest, FailuresAlertOrPrintNothing) {
  Buffer::Ref heap = Buffer::Create("/User/Heap", Buffer::BufferKind::Heap);
  EXPECT_EQ(Print(heap), 0);
  EXPECT_EQ(Print(MakeText({}, "/User/Empty")), 0);
  EXPECT_EQ(
      Printing::PrintBufferRange(MakeText({"a", "b"}, "/User/Two"), 3, 1, kWhole, kWhole, 22, 12),
      0);
  EXPECT_TRUE(backend.Printed().empty());
  backend.SetPrinter(false);
  Printing::PrinterSetup();
  EXPECT_EQ(backend.AlertLog(), (std::vector<std::string>{"Only text buffers can be printed.",
                                                          "Printer initialization failed."}));
  EXPECT_FALSE(backend.SoundLog().empty());
}

TEST_F(PrintTest, CancelInTheProgressDialogEndsAtTheNextPage) {
  backend.CancelPrintingAfter(2);
  EXPECT_EQ(Print(MakeText(Numbered(1000), "/User/Long")), 2);
  EXPECT_EQ(Pages().size(), 2u);
  EXPECT_TRUE(backend.Printed().back().ended);
}

} // namespace
