// A graphics window on the headless backend and the lines its drawing left in the
// display list, for the tests of Graphics and Plot.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/Backend.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "windows/Graphics.h"

using Toolbox::Point;
using Toolbox::Rect;

struct Segment {
  Point a, b;
  friend bool operator==(const Segment&, const Segment&) = default;
};

inline void PrintTo(const Segment& s, std::ostream* os) {
  *os << "(" << s.a.h << "," << s.a.v << ")-(" << s.b.h << "," << s.b.v << ")";
}

class GraphicsFixture : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Headless::StartPlatform(backend));
    Buffer::Init();
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
    ASSERT_TRUE(Graphics::InitGraphics());
  }
  // No window, current port or buffer stays for the next test in the same process.
  void TearDown() override {
    for (Graphics::GraphWindow* w : Graphics::GraphWindows()) Graphics::DisposeGraphWindow(w);
    Headless::StopPlatform();
    Buffer::Testing::Reset();
  }

  // A window whose content (and port) is width x height pixels, its port current.
  Graphics::GraphWindow* Open(int width = 102, int height = 102) {
    Graphics::WindowSpec spec;
    spec.bounds = Rect{0, 30, width, 30 + height};
    Graphics::GraphWindow* w = Graphics::NewGraphWindow(spec);
    EXPECT_NE(w, nullptr);
    backend.ClearDisplayList();
    return w;
  }

  // The lines drawn since the display list was last cleared, one per line or segment.
  std::vector<Segment> Lines() const {
    std::vector<Segment> lines;
    for (const Headless::Drawn& d : backend.DisplayList()) {
      if (d.command.op == Toolbox::DrawCommand::Op::Line)
        lines.push_back({d.command.a, d.command.b});
      if (d.command.op == Toolbox::DrawCommand::Op::Segments)
        for (std::size_t i = 0; i + 1 < d.command.points.size(); i += 2)
          lines.push_back({d.command.points[i], d.command.points[i + 1]});
    }
    return lines;
  }

  Headless::HeadlessBackend backend;
};
