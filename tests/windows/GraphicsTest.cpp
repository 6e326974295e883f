#include "windows/Graphics.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "GraphicsTesting.h"

namespace {

using Graphics::GraphPort;

class GraphicsTest : public GraphicsFixture {};

TEST_F(GraphicsTest, WorldCornersLieOnePixelInsideTheViewport) {
  Open();
  std::int32_t h = 0, v = 0;
  Graphics::WorldToPixel(0, 0, h, v);
  EXPECT_EQ(Point(h, v), (Point{1, 101}));
  Graphics::WorldToPixel(1, 1, h, v);
  EXPECT_EQ(Point(h, v), (Point{101, 1}));
  double x = 0, y = 0;
  Graphics::PixelToWorld(51, 51, x, y);
  EXPECT_NEAR(x, 0.5, 1e-12);
  EXPECT_NEAR(y, 0.5, 1e-12);
  // The second world window starts at -32767 .. 32767, and an empty one is refused.
  const Graphics::Transform& t2 = Graphics::CurrentGraphPort()->transform2;
  EXPECT_NEAR((-32767 + t2.xOffset) * t2.xScale, 1, 1e-9);
  EXPECT_NEAR((32767 + t2.yOffset) * t2.yScale, 1, 1e-9);
  Graphics::SetWorld(0, 0, 0, 1);
  Graphics::WorldToPixel(1, 1, h, v);
  EXPECT_EQ(Point(h, v), (Point{101, 1}));
}

TEST_F(GraphicsTest, MarkersOfEachKindAndTheRefusedKind) {
  Open();
  const std::vector<std::vector<Segment>> shapes = {
      {{{50, 50}, {51, 50}}},
      {{{46, 50}, {54, 50}}, {{50, 46}, {50, 54}}},
      {{{46, 50}, {54, 50}}, {{48, 46}, {52, 54}}, {{48, 54}, {52, 46}}},
      {{{46, 50}, {50, 46}}, {{50, 46}, {54, 50}}, {{54, 50}, {50, 54}}, {{50, 54}, {46, 50}}},
      {{{47, 47}, {53, 53}}, {{47, 53}, {53, 47}}},
      {{{47, 47}, {53, 47}}, {{53, 47}, {53, 53}}, {{53, 53}, {47, 53}}, {{47, 53}, {47, 47}}},
  };
  for (int kind = 0; kind < Graphics::kMarkerKinds; ++kind) {
    backend.ClearDisplayList();
    Graphics::SetMarkerKind(kind);
    Graphics::WorldMarker(0.49, 0.51); // pixel (50, 50); size 4
    EXPECT_EQ(Lines(), shapes[kind]) << "kind " << kind;
  }
  backend.ClearDisplayList();
  Graphics::SetMarkerKind(6);
  Graphics::SetMarkerSize(-1);
  Graphics::WorldMarker(0.49f, 0.51f);
  EXPECT_EQ(Lines(), shapes[5]);
}

TEST_F(GraphicsTest, ShapesLinesAndTextLandWhereTheTransformPutsThem) {
  Open();
  Graphics::WorldCircle(0.5, 0.5, 0);
  Graphics::WorldCircle(0.5, 0.5, std::nan(""));
  EXPECT_TRUE(backend.DisplayList().empty());
  Graphics::WorldCircle(0.5, 0.5, 0.1);
  Graphics::FrameWorldRect(1, 0, 0, 1);
  Graphics::WorldLine(0.0, 0.0, 1.0, 1.0);
  Graphics::TextAt(0.5, 0.5, "abc");
  const auto& list = backend.DisplayList();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].command.rect, (Rect{41, 41, 62, 62}));
  EXPECT_EQ(list[1].command.rect, (Rect{1, 1, 102, 102}));
  EXPECT_EQ((Segment{list[2].command.a, list[2].command.b}), (Segment{{1, 101}, {101, 1}}));
  EXPECT_EQ(list[3].command.a, (Point{51, 51}));
  EXPECT_EQ(list[3].command.text, "abc");
  // Headless text: 8 pixels a character, 16 a line, 100 pixels a world unit.
  EXPECT_DOUBLE_EQ(Graphics::WorldTextHeight(), 0.16);
  EXPECT_DOUBLE_EQ(Graphics::WorldTextWidth("abc"), 0.24);
}

TEST_F(GraphicsTest, DrawingRestoresThePortItFound) {
  Toolbox::Window other = Toolbox::NewWindow(Rect{300, 300, 400, 400}, "Other", true,
                                             Toolbox::kDocumentWindow, true, nullptr);
  Open();
  Toolbox::SetPort(other);
  Graphics::SetColor(Graphics::ColorNumber("red"));
  Graphics::SetPenSize(2);
  Graphics::WorldLine(0.0, 0.0, 1.0, 1.0);
  EXPECT_EQ(Toolbox::CurrentWindow(), other);
  const Toolbox::DrawCommand& line = backend.DisplayList().back().command;
  EXPECT_EQ(line.state.foreColor, Graphics::ColorOf(2));
  EXPECT_EQ(line.state.penSize, (Point{2, 2}));
  EXPECT_EQ(line.state.clip, (Rect{0, 0, 102, 102}));
  EXPECT_EQ(Graphics::ColorNumber("Purple"), 9);
  EXPECT_EQ(Graphics::ColorNumber("mauve"), -1);
}

TEST_F(GraphicsTest, BoundsAreOrderedAndKeptInsideTheFrame) {
  struct Case {
    Rect in;
    std::int32_t font;
    Rect out;
    std::int32_t fontOut;
  };
  // The headless frame's client area is 800 x 600.
  const Case cases[] = {
      {{100, 100, 300, 200}, 12, {100, 100, 300, 200}, 12},
      {{300, 200, 100, 100}, 2, {100, 100, 300, 200}, 6},
      {{-50, 0, 900, 700}, 60, {0, 23, 799, 599}, 48},
      {{100, 100, 105, 102}, 12, {100, 100, 120, 110}, 12},
      {{790, 595, 795, 598}, 12, {779, 589, 799, 599}, 12},
  };
  for (const Case& c : cases) {
    Rect r = c.in;
    std::int32_t font = c.font;
    Graphics::LimitBounds(r, font);
    EXPECT_EQ(r, c.out);
    EXPECT_EQ(font, c.fontOut);
  }
  Graphics::WindowSpec spec;
  spec.bounds = Rect{-10, -10, 50, 50};
  Graphics::GraphWindow* w = Graphics::NewGraphWindow(spec);
  EXPECT_EQ(Toolbox::GetWindowRect(w->window), (Rect{0, 23, 50, 50}));
}

TEST_F(GraphicsTest, ViewportsTakeTheParentsSettingsAndTheirOwnTransform) {
  Graphics::GraphWindow* w = Open(202, 202);
  GraphPort* parent = Graphics::CurrentGraphPort();
  Graphics::SetWorld(0, 0, 10, 10);
  Graphics::SetMarkerKind(3);
  Graphics::SetColor(4);
  GraphPort* v = Graphics::NewViewport(parent, 100, 202, 102, 0, false);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(Graphics::CurrentGraphPort(), v);
  EXPECT_EQ(parent->latestViewport, v);
  EXPECT_EQ(v->top, 0);
  EXPECT_EQ(v->bottom, 102);
  EXPECT_EQ(v->markerKind, 3);
  EXPECT_EQ(v->foreColor, Graphics::ColorOf(4));
  EXPECT_EQ(v->clip, (Rect{100, 0, 202, 102}));
  std::int32_t h = 0, vv = 0;
  Graphics::WorldToPixel(0, 0, h, vv);
  EXPECT_EQ(Point(h, vv), (Point{101, 101}));
  Graphics::FrameViewport(v, 1, 2);
  EXPECT_EQ(backend.DisplayList().back().command.rect, (Rect{101, 2, 201, 100}));
  // A closed window's ports are gone with it.
  Graphics::DisposeGraphWindow(w);
  EXPECT_FALSE(Graphics::IsGraphPort(v));
  EXPECT_EQ(Graphics::CurrentGraphPort(), nullptr);
}

TEST_F(GraphicsTest, ScrollAndRectInViewKeepToTheViewport) {
  Open();
  std::int32_t l = 0, t = 0, r = 0, b = 0;
  EXPECT_TRUE(Graphics::RectInView(0.5, 0, 0, 0.5, l, t, r, b));
  EXPECT_EQ((Rect{l, t, r, b}), (Rect{1, 51, 51, 101}));
  EXPECT_FALSE(Graphics::RectInView(-0.5, 0, 0, 0.5, l, t, r, b));
  Graphics::ScrollWorld(0.2, 0, 1, 1, 0.2, 0);  // nothing moves
  Graphics::ScrollWorld(0.2, 0, 1, 1, -0.5, 0); // the target leaves the viewport
  EXPECT_TRUE(backend.DisplayList().empty());
  Graphics::ScrollWorld(0.2, 0, 1, 1, 0, 0);
  ASSERT_EQ(backend.DisplayList().size(), 1u);
  const Toolbox::DrawCommand& scroll = backend.DisplayList()[0].command;
  EXPECT_EQ(scroll.op, Toolbox::DrawCommand::Op::Scroll);
  EXPECT_EQ(scroll.rect, (Rect{1, 1, 102, 102}));
  EXPECT_EQ(scroll.a, (Point{-20, 0}));
}

TEST_F(GraphicsTest, AxesHaveTicksAtNiceStepsAndLabels) {
  struct Step {
    double range;
    std::int32_t steps;
    double step;
  };
  for (const Step& s : {Step{10, 5, 2}, Step{1, 4, 0.5}, Step{7, 10, 1}, Step{0.3, 3, 0.1},
                        Step{450, 4, 200}, Step{0, 4, 0}})
    EXPECT_DOUBLE_EQ(Graphics::NiceStep(s.range, s.steps), s.step) << s.range;
  struct Label {
    double value, step;
    const char* text;
  };
  for (const Label& l : {Label{0.5, 0.5, "0.5"}, Label{-2, 1, "-2"}, Label{1e-17, 0.1, "0.0"},
                         Label{2e6, 1e6, "2.000E+06"}, Label{250, 50, "250"}}) {
    char text[40];
    Graphics::TickLabel(l.value, l.step, text);
    EXPECT_STREQ(text, l.text);
  }
  Open(402, 202);
  Graphics::SetWorld(0, -1, 4, 1);
  Graphics::DrawAxes(false);
  std::vector<std::string> labels;
  for (const Headless::Drawn& d : backend.DisplayList())
    if (d.command.op == Toolbox::DrawCommand::Op::Text) labels.push_back(d.command.text);
  EXPECT_EQ(labels, (std::vector<std::string>{"0", "1", "2", "3", "4", "-1.0", "-0.5", "0.0", "0.5",
                                              "1.0"}));
}

TEST_F(GraphicsTest, SavedPictureHoldsTheDrawingAsText) {
  Graphics::GraphWindow* w = Open();
  Graphics::WorldLine(0.0, 0.0, 1.0, 1.0);
  Graphics::WorldMarker(0.5, 0.5);
  const std::string path = testing::TempDir() + "graphics-picture.svg";
  ASSERT_EQ(Graphics::SavePicture(w, path), 0);
  std::ifstream in(path);
  std::string first, line, marker;
  std::getline(in, first);
  std::getline(in, line);
  std::getline(in, marker);
  EXPECT_EQ(first, "Picture 0 0 102 102");
  EXPECT_EQ(line, "Line Frame 0 0 0 0 1 101 101 1 0 0 0 0 ");
  EXPECT_EQ(marker, "Segments Frame 0 0 0 0 0 0 0 0 0 0 0 2 51 51 52 51 ");
  // After a scroll the picture is the window's pixels.
  Graphics::ScrollWorld(0.2, 0, 1, 1, 0, 0);
  ASSERT_EQ(Graphics::SavePicture(w, path), 0);
  std::ifstream again(path);
  std::getline(again, first);
  std::getline(again, line);
  EXPECT_EQ(line.substr(0, 14), "CopyBits Frame");
  // Covering the window with paint starts the picture again.
  Graphics::PaintWorldRect(-1, -1, 2, 2);
  ASSERT_EQ(Graphics::SavePicture(w, path), 0);
  std::ifstream third(path);
  std::getline(third, first);
  std::getline(third, line);
  EXPECT_EQ(line.substr(0, 30), "Rect Paint -99 -99 202 202 0 0");
  std::remove(path.c_str());
  EXPECT_LT(Graphics::SavePicture(w, "/nonexistent-dir/x.png"), 0);
}

} // namespace
