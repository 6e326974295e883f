#include "platform/Toolbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Strings.h"
#include "platform/Backend.h"
#include "platform/Events.h"
#include "platform/headless/HeadlessBackend.h"

using Toolbox::Point;
using Toolbox::Rect;
using Toolbox::Window;

namespace {

class ToolboxTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Headless::StartPlatform(backend)); }
  void TearDown() override { Headless::StopPlatform(); }

  // A window of 10 rows of 20 characters, current port.
  Window TextWindow() {
    Window w = Toolbox::NewWindow(Rect{40, 30, 200, 190}, "Text", true, Toolbox::kDocumentWindow,
                                  true, nullptr);
    Toolbox::SetPort(w);
    return w;
  }

  static void DrawAt(int row, int col, std::string_view text) {
    Toolbox::MoveTo(col * Headless::kCharWidth, row * Headless::kLineHeight + Headless::kAscent);
    Toolbox::DrawString(text);
  }

  static std::string ItemText(const Toolbox::Menu* menu, int item) {
    char text[64];
    Toolbox::GetItemText(menu, item, text);
    return text;
  }

  Headless::HeadlessBackend backend;
};

TEST_F(ToolboxTest, FontNameTable) {
  const std::pair<int, const char*> start[] = {
      {0, "System"},           {1, "MS Sans"},  {2, "Times New Roman"},
      {3, "MS Sans"},          {4, "FixedSys"}, {16, "Times New Roman"},
      {20, "Times New Roman"}, {21, "Arial"},   {22, "Courier New"}};
  char name[40];
  for (const auto& [number, face] : start) {
    Toolbox::FontName(number, name);
    EXPECT_STREQ(name, face) << number;
  }
  Toolbox::FontName(5, name);
  EXPECT_STREQ(name, "");

  EXPECT_EQ(Toolbox::FontNumber("courier new"), 22);
  EXPECT_EQ(Toolbox::FontNumber("MS Sans"), 1);
  EXPECT_EQ(Toolbox::FontNumber("Consolas"), 25);
  EXPECT_EQ(Toolbox::FontNumber("Lucida Console"), 26);
  EXPECT_EQ(Toolbox::FontNumber("Consolas"), 25);

  const char* longName = "A Face Name Of Forty Characters Exactly!";
  const int n = Toolbox::FontNumber(base::CharsOf(longName));
  Toolbox::FontName(n, name);
  EXPECT_EQ(std::string(name), std::string(longName, 32));
  EXPECT_EQ(Toolbox::FontNumber(name), n);

  // A fresh start hands out 25 again.
  Toolbox::Shutdown();
  Toolbox::Init();
  EXPECT_EQ(Toolbox::FontNumber("Lucida Console"), 25);
}

TEST_F(ToolboxTest, CommandKeysOfMenuItems) {
  Toolbox::Menu* file = Toolbox::NewMenu(2, "File");
  for (const char* item : {"New", "Open", "Save", "Quit"})
    Toolbox::AppendItem(file, base::CharsOf(item));
  Toolbox::InsertMenu(file, 0);
  const int changes = backend.MenuBarChanges();

  Toolbox::SetItemCmd(file, 3, 's');
  EXPECT_EQ(ItemText(file, 3), "Save\tCtrl+s");
  EXPECT_EQ(Toolbox::AcceleratorFor('S'), Toolbox::MenuCommand(2, 3));
  EXPECT_GT(backend.MenuBarChanges(), changes);

  // The key moves to another item, which takes the text with it.
  Toolbox::SetItemCmd(file, 2, 'S');
  EXPECT_EQ(ItemText(file, 3), "Save");
  EXPECT_EQ(ItemText(file, 2), "Open\tCtrl+S");
  EXPECT_EQ(Toolbox::AcceleratorFor('s'), Toolbox::MenuCommand(2, 2));

  // A new key for an item replaces its old one.
  Toolbox::SetItemCmd(file, 2, 'O');
  EXPECT_EQ(ItemText(file, 2), "Open\tCtrl+O");
  EXPECT_EQ(Toolbox::AcceleratorFor('S'), 0u);

  EXPECT_EQ(Toolbox::QuitMenuCommand(), 0u);
  Toolbox::SetItemCmd(file, 4, 'Q');
  EXPECT_EQ(Toolbox::QuitMenuCommand(), Toolbox::MenuCommand(2, 4));

  // Items coming and going before it keep the key on its item.
  Toolbox::DeleteItem(file, 1);
  EXPECT_EQ(Toolbox::QuitMenuCommand(), Toolbox::MenuCommand(2, 3));
  Toolbox::InsertItem(file, "Close", 0);
  EXPECT_EQ(Toolbox::QuitMenuCommand(), Toolbox::MenuCommand(2, 4));
  EXPECT_EQ(ItemText(file, 4), "Quit\tCtrl+Q");

  Toolbox::DisposeMenu(file);
  EXPECT_EQ(Toolbox::QuitMenuCommand(), 0u);
  EXPECT_TRUE(Toolbox::MenuBar().empty());
}

TEST_F(ToolboxTest, TextDrawingFillsTheGrid) {
  Window w = TextWindow();
  DrawAt(0, 0, "MODULE Hello;");
  DrawAt(2, 4, "BEGIN");
  Toolbox::TextMode(Toolbox::kTextInverse);
  DrawAt(2, 10, "END");
  EXPECT_EQ(Toolbox::GetPen(), (Point{13 * 8, 2 * 16 + 12}));

  EXPECT_EQ(backend.Screen(w).size(), 10u);
  EXPECT_EQ(backend.Row(w, 0), "MODULE Hello;");
  EXPECT_EQ(backend.Row(w, 1), "");
  EXPECT_EQ(backend.Row(w, 2), "    BEGIN END");
  EXPECT_FALSE(backend.Inverse(w, 2, 4));
  EXPECT_TRUE(backend.Inverse(w, 2, 10));

  // Text runs off the right edge and clipping hides cells.
  DrawAt(3, 17, "abcdef");
  EXPECT_EQ(backend.Row(w, 3), "                 abc");
  Toolbox::ClipRect(Rect{0, 0, 160, 64});
  DrawAt(4, 0, "hidden");
  EXPECT_EQ(backend.Row(w, 4), "");
}

TEST_F(ToolboxTest, EraseInvertAndScrollChangeTheGrid) {
  Window w = TextWindow();
  for (int row = 0; row < 4; ++row) DrawAt(row, 0, std::string(1, char('a' + row)) + "bcdef");

  Toolbox::InvertRect(Rect{8, 0, 24, 32}); // columns 1-2 of rows 0-1
  EXPECT_TRUE(backend.Inverse(w, 0, 1));
  EXPECT_TRUE(backend.Inverse(w, 1, 2));
  EXPECT_FALSE(backend.Inverse(w, 0, 3));
  Toolbox::InvertRect(Rect{8, 0, 16, 16});
  EXPECT_FALSE(backend.Inverse(w, 0, 1));

  Toolbox::EraseRect(Rect{16, 16, 40, 32}); // columns 2-4 of row 1
  EXPECT_EQ(backend.Row(w, 1), "bb   f");
  EXPECT_FALSE(backend.Inverse(w, 1, 2));

  // Up by one line: row 0 goes, the last row of the rectangle is cleared.
  Toolbox::ScrollRect(Rect{0, 0, 160, 64}, 0, -16);
  EXPECT_EQ(backend.Screen(w)[0], "bb   f");
  EXPECT_EQ(backend.Row(w, 1), "cbcdef");
  EXPECT_EQ(backend.Row(w, 2), "dbcdef");
  EXPECT_EQ(backend.Row(w, 3), "");
  EXPECT_TRUE(backend.Inverse(w, 0, 1)); // the inverted cell travelled with its row
}

TEST_F(ToolboxTest, PicturesRecordWhatIsDrawn) {
  Window w = TextWindow();
  DrawAt(0, 0, "before");
  Toolbox::Picture* inner = Toolbox::OpenPicture(Rect{0, 0, 100, 100});
  DrawAt(1, 0, "inside");
  Toolbox::FrameRect(Rect{10, 10, 50, 50});
  Toolbox::ClosePicture();
  DrawAt(2, 0, "after");
  ASSERT_EQ(inner->commands.size(), 2u);
  EXPECT_EQ(inner->commands[0].text, "inside");
  EXPECT_EQ(backend.Row(w, 1), "inside"); // recorded and drawn

  // A picture drawn into another is copied into it, scaled to where it went.
  Toolbox::Picture* outer = Toolbox::OpenPicture(Rect{0, 0, 400, 400});
  Toolbox::DrawPicture(inner, Rect{100, 100, 300, 300});
  Toolbox::ClosePicture();
  Toolbox::KillPicture(inner);
  EXPECT_EQ(inner, nullptr);
  ASSERT_EQ(outer->commands.size(), 2u);
  EXPECT_EQ(outer->commands[1].rect, (Rect{120, 120, 200, 200}));
  EXPECT_EQ(outer->commands[0].text, "inside");
}

TEST_F(ToolboxTest, PolygonsCollectThePensLinesWithoutDrawing) {
  TextWindow();
  backend.ClearDisplayList();
  Toolbox::Polygon* poly = Toolbox::OpenPoly();
  Toolbox::MoveTo(10, 10);
  Toolbox::LineTo(50, 10);
  Toolbox::Line(0, 40);
  Toolbox::ClosePoly();
  EXPECT_TRUE(backend.DisplayList().empty());
  EXPECT_EQ(poly->points, (std::vector<Point>{{10, 10}, {50, 10}, {50, 50}}));
  Toolbox::FramePoly(poly);
  ASSERT_EQ(backend.DisplayList().size(), 1u);
  EXPECT_EQ(backend.DisplayList()[0].command.points.size(), 3u);
  Toolbox::KillPoly(poly);
}

TEST_F(ToolboxTest, AlertsAndDialogsTakeScriptedAnswers) {
  const std::string longText(300, 'x');
  Toolbox::SetAlertText(Toolbox::Chars(longText));
  backend.AnswerAlert(3);
  EXPECT_EQ(Toolbox::Alert(Toolbox::kAlertYesNoCancelDefaultYes), 3);
  EXPECT_EQ(backend.AlertLog().back(), std::string(255, 'x'));

  Toolbox::SetAlertText("Really?");
  EXPECT_EQ(Toolbox::Alert(Toolbox::kAlertYesNoDefaultNo), 2); // unscripted: cancelled
  ASSERT_EQ(backend.Unanswered().size(), 1u);
  EXPECT_EQ(backend.Unanswered()[0], "Alert 132: Really?");

  char answer[8] = "old";
  backend.AnswerStrings(true, {"a much longer answer"});
  EXPECT_TRUE(Toolbox::AskString("Name:", answer));
  EXPECT_STREQ(answer, "a much ");
  backend.AnswerStrings(false);
  EXPECT_FALSE(Toolbox::AskString("Name:", answer));
  EXPECT_STREQ(answer, "a much ");

  char path[260] = "";
  backend.AnswerFileName(true, "/home/u/Hello.mod");
  EXPECT_TRUE(Toolbox::AskFileName(1, "Open", "*.mod", path));
  EXPECT_STREQ(path, "/home/u/Hello.mod");
  EXPECT_EQ(backend.LastFileFilter(), "*.mod (*.mod);;All Files (*.*)");
  EXPECT_FALSE(Toolbox::AskFileName(2, "Save", "*.*", path));
  EXPECT_EQ(backend.LastFileFilter(), "All Files (*.*)");
}

TEST_F(ToolboxTest, WindowsMoveAndGoAwayWithTheirRecords) {
  Window w = TextWindow();
  Toolbox::ScrollBar* bar = Toolbox::NewScrollBar(w, Rect{144, 0, 160, 160}, true);
  const std::uint32_t ref = bar->ref;
  while (backend.Pump(false)) {}
  EXPECT_EQ(Events::QueuedCount(), 1); // the new window got the focus; no move during creation

  Toolbox::MoveWindow(w, 60, 70, false);
  Toolbox::SizeWindow(w, 320, 80);
  while (backend.Pump(false)) {}
  EXPECT_EQ(Toolbox::GetWindowRect(w), (Rect{60, 70, 380, 150}));
  EXPECT_EQ(backend.Screen(w).size(), 5u);
  Point p{1, 2};
  Toolbox::LocalToGlobal(p);
  EXPECT_EQ(p, (Point{61, 72}));
  EXPECT_TRUE(Events::HasEvent(w, Events::WindowEvent));

  Toolbox::MarkForUpdate(w, Rect{0, 0, 10, 10});
  while (backend.Pump(false)) {}
  EXPECT_TRUE(Events::HasEvent(w, Events::UpdateEvent));

  Toolbox::DisposeWindow(w);
  EXPECT_EQ(w, nullptr);
  EXPECT_EQ(Events::QueuedCount(), 0);
  EXPECT_EQ(Toolbox::CurrentWindow(), nullptr);
  EXPECT_EQ(Toolbox::FindScrollBar(ref), nullptr);
}

TEST_F(ToolboxTest, PointerShapeFollowsTheFrontWindow) {
  Window w = TextWindow();
  Toolbox::SetCursorShape(Toolbox::CursorShape::IBeam);
  Toolbox::AdjustCursor(Point{0, 0});
  EXPECT_EQ(backend.Cursor(), Toolbox::CursorShape::Arrow);
  const Rect r = Toolbox::GetWindowRect(w);
  Toolbox::AdjustCursor(Point{r.left + 5, r.top + 5});
  EXPECT_EQ(backend.Cursor(), Toolbox::CursorShape::IBeam);
  Toolbox::ForceCursorShape(true, Toolbox::CursorShape::Busy);
  Toolbox::AdjustCursor(Point{0, 0});
  EXPECT_EQ(backend.Cursor(), Toolbox::CursorShape::Busy);
  Toolbox::ForceCursorShape(false, Toolbox::CursorShape::Arrow);
  EXPECT_EQ(Toolbox::CurrentCursorShape(), Toolbox::CursorShape::IBeam);
}

bool Apart(const Rect& a, const Rect& b) {
  return a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
}

bool Inside(const Rect& r, const Rect& room) {
  return r.left >= room.left && r.top >= room.top && r.right <= room.right &&
         r.bottom <= room.bottom && !r.Empty();
}

std::int64_t Area(const Rect& r) { return std::int64_t{r.Width()} * r.Height(); }

// Tile covers the whole client area with the shown windows, none over another, also
// after the frame grows; Cascade steps them from the top left, the front one last and
// on top, each inside. A hidden window stays out of both; a fixed-size one keeps its size.
TEST_F(ToolboxTest, TileAndCascadeLayTheShownWindowsOutInsideTheFrame) {
  // The tool window at the back, so that it takes the last tile.
  Window tool = Toolbox::NewWindow(Rect{500, 400, 620, 480}, "Tool", true, Toolbox::kToolWindow,
                                   false, nullptr);
  std::vector<Window> shown{tool};
  for (int i = 0; i < 3; ++i)
    shown.push_back(Toolbox::NewWindow(Rect{10 + 30 * i, 10, 300, 200}, "Text", true,
                                       Toolbox::kDocumentWindow, true, nullptr));
  Window hidden = Toolbox::NewWindow(Rect{5, 5, 50, 50}, "Hidden", false, Toolbox::kDocumentWindow,
                                     true, nullptr);
  // What the text windows cover, each inside the client area and apart from the others.
  auto tiled = [&](const Rect& client) {
    std::int64_t covered = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const Rect r = Toolbox::GetWindowRect(shown[i]);
      EXPECT_TRUE(Inside(r, client)) << i;
      if (shown[i] != tool) covered += Area(r);
      for (std::size_t j = 0; j < i; ++j)
        EXPECT_TRUE(Apart(r, Toolbox::GetWindowRect(shown[j]))) << i << " " << j;
    }
    return covered;
  };
  Toolbox::TileWindows();
  Rect client = Toolbox::FrameClientRect();
  // Two rows of two: the text windows fill three quarters, the tool window keeps its size.
  EXPECT_EQ(tiled(client), Area(client) * 3 / 4);
  EXPECT_EQ(Toolbox::GetWindowRect(tool), (Rect{400, 300, 520, 380}));
  EXPECT_EQ(Toolbox::GetWindowRect(hidden), (Rect{5, 5, 50, 50}));

  // The tiles keep their shares of a larger frame, their shared edges shared still: all
  // but the last tile (from 501, 389 on).
  Toolbox::PlatformMessage sized;
  sized.kind = Toolbox::PlatformMessage::Kind::FrameSized;
  sized.where = Point{1001, 777};
  backend.Inject(sized);
  while (backend.Pump(false)) {}
  client = Toolbox::FrameClientRect();
  ASSERT_EQ(client, (Rect{0, 0, 1001, 777}));
  EXPECT_EQ(tiled(client), Area(client) - 500 * 388);

  Toolbox::CascadeWindows();
  std::vector<Window> order; // back to front
  for (Window w : Toolbox::Windows())
    if (w != hidden) order.insert(order.begin(), w);
  ASSERT_EQ(order.size(), 4u);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const Rect r = Toolbox::GetWindowRect(order[i]);
    EXPECT_TRUE(Inside(r, client)) << i;
    EXPECT_EQ(r.left, static_cast<std::int32_t>(16 * i)) << i;
    EXPECT_EQ(r.top, static_cast<std::int32_t>(16 * i)) << i;
    if (order[i] != tool) {
      EXPECT_EQ(r.Width(), 1001 - 3 * 16) << i;
    }
  }
}

// The windows laid out over the client area keep their shares of it as the frame grows
// and shrinks; one the user moved or sized stays where the user put it from then on.
TEST_F(ToolboxTest, FollowersKeepTheirSharesUntilTheUserMovesThem) {
  Window top = Toolbox::NewWindow(Rect{0, 0, 800, 400}, "Command", true, Toolbox::kDocumentWindow,
                                  true, nullptr);
  Window bottom = Toolbox::NewWindow(Rect{0, 400, 800, 600}, "List", true, Toolbox::kDocumentWindow,
                                     true, nullptr);
  Toolbox::FollowFrame(top);
  Toolbox::FollowFrame(bottom);
  auto resize = [this](std::int32_t width, std::int32_t height) {
    Toolbox::PlatformMessage sized;
    sized.kind = Toolbox::PlatformMessage::Kind::FrameSized;
    sized.where = Point{width, height};
    backend.Inject(sized);
    while (backend.Pump(false)) {}
  };
  resize(1200, 900);
  EXPECT_EQ(Toolbox::GetWindowRect(top), (Rect{0, 0, 1200, 600}));
  EXPECT_EQ(Toolbox::GetWindowRect(bottom), (Rect{0, 600, 1200, 900}));
  // Many changes gather no rounding: back at the first size, the first places.
  resize(777, 555);
  resize(800, 600);
  EXPECT_EQ(Toolbox::GetWindowRect(top), (Rect{0, 0, 800, 400}));
  EXPECT_EQ(Toolbox::GetWindowRect(bottom), (Rect{0, 400, 800, 600}));

  // The user drags the List window: it stays, the Command window goes on following.
  Toolbox::PlatformMessage drag;
  drag.kind = Toolbox::PlatformMessage::Kind::Moved;
  drag.place = true;
  drag.windowTitle = "List";
  drag.where = Point{100, 450};
  drag.size = Point{300, 100};
  backend.Inject(drag);
  while (backend.Pump(false)) {}
  ASSERT_EQ(Toolbox::GetWindowRect(bottom), (Rect{100, 450, 400, 550}));
  resize(1600, 1200);
  EXPECT_EQ(Toolbox::GetWindowRect(top), (Rect{0, 0, 1600, 800}));
  EXPECT_EQ(Toolbox::GetWindowRect(bottom), (Rect{100, 450, 400, 550}));
  // A window that goes follows no more, and one that takes its record is not moved.
  Toolbox::DisposeWindow(top);
  resize(800, 600);
  EXPECT_EQ(Toolbox::GetWindowRect(bottom), (Rect{100, 450, 400, 550}));
}

TEST(GeometryTest, RectangleArithmetic) {
  Rect r{10, 10, 20, 20};
  Toolbox::InsetRect(r, 6, 0);
  EXPECT_EQ(r, Rect{});
  Rect s;
  EXPECT_FALSE(Toolbox::SectRect(Rect{0, 0, 10, 10}, Rect{10, 0, 20, 10}, s));
  EXPECT_TRUE(s.Empty());
  EXPECT_TRUE(Toolbox::SectRect(Rect{0, 0, 10, 10}, Rect{5, -5, 20, 8}, s));
  EXPECT_EQ(s, (Rect{5, 0, 10, 8}));
  EXPECT_TRUE(Toolbox::PtInRect(Point{0, 9}, Rect{0, 0, 10, 10}));
  EXPECT_FALSE(Toolbox::PtInRect(Point{10, 0}, Rect{0, 0, 10, 10}));
}

} // namespace
