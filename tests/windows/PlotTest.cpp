#include "windows/Plot.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "GraphicsTesting.h"

namespace {

using Graphics::ColumnPair;
using Graphics::GraphPort;

class PlotTest : public GraphicsFixture {
protected:
  // A port 514 x 202 pixels whose world windows (0 .. 1 across, 0 .. 200 up) put world
  // x at pixel 1 + 512 x and a value v on row 201 - v, exactly.
  GraphPort* Exact() {
    Open(514, 202);
    Graphics::SetWorld(0, 0, 1, 200);
    Graphics::SetWorld2(0, 0, 1, 200);
    return Graphics::CurrentGraphPort();
  }
  // Values in 0 .. 199 that change from sample to sample.
  template <typename T> static std::vector<T> Noise(std::size_t n) {
    std::vector<T> v(n);
    std::uint32_t x = 12345;
    for (T& s : v) {
      x = x * 1664525u + 1013904223u;
      s = static_cast<T>((x >> 16) % 200);
    }
    return v;
  }
  std::vector<ColumnPair> Pairs(const GraphPort* p) const {
    return std::vector<ColumnPair>(p->columns, p->columns + p->usedPairs);
  }
  // The pairs of per-column smallest and largest values, columns of samples [first,
  // last) as columnOf tells.
  template <typename T, typename ColumnOf>
  static std::vector<ColumnPair> Direct(const std::vector<T>& s, ColumnOf columnOf) {
    std::vector<ColumnPair> pairs;
    std::vector<T> lo, hi;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const std::size_t c = columnOf(i);
      if (c >= lo.size()) {
        lo.resize(c + 1, s[i]);
        hi.resize(c + 1, s[i]);
      }
      lo[c] = std::min(lo[c], s[i]);
      hi[c] = std::max(hi[c], s[i]);
    }
    for (std::size_t c = 0; c < lo.size(); ++c)
      pairs.push_back(ColumnPair{static_cast<std::int16_t>(201 - lo[c]),
                                 static_cast<std::int16_t>(201 - hi[c])});
    return pairs;
  }
  template <typename T> void CompareReducedForms() {
    GraphPort* p = Exact();
    // 2048 samples a pixel: blocks of 2048.
    const std::vector<T> many = Noise<T>(1 << 20);
    Plot::PlotTrace(p, 0, 1, many.data(), static_cast<std::int32_t>(many.size()), true, false);
    EXPECT_FALSE(p->sparse);
    EXPECT_EQ(p->firstPixelX, 1);
    EXPECT_EQ(Pairs(p), Direct(many, [](std::size_t i) { return i / 2048; }));
    EXPECT_EQ(Lines().size(), 512u);
    // 128 samples a pixel: a column holds the samples within half a pixel of it.
    const std::vector<T> fewer = Noise<T>(1 << 16);
    Plot::PlotTrace(p, 0, 1, fewer.data(), static_cast<std::int32_t>(fewer.size()), true, false);
    EXPECT_EQ(Pairs(p), Direct(fewer, [](std::size_t i) { return (i + 64) / 128; }));
  }
};

TEST_F(PlotTest, ReducedFormsAgreeWithAPerColumnMinMax) {
  CompareReducedForms<std::int16_t>();
  CompareReducedForms<std::int32_t>();
  CompareReducedForms<float>();
  CompareReducedForms<double>();
}

TEST_F(PlotTest, AMillionSamplesOverFiveHundredColumnsDrawOneSegmentPerColumn) {
  Open(500, 202);
  GraphPort* p = Graphics::CurrentGraphPort();
  const std::vector<double> noise = Noise<double>(1000000);
  Plot::PlotTrace(p, 0, 1, noise.data(), 1000000, true, false);
  EXPECT_LE(Lines().size(), 500u);
  EXPECT_GE(Lines().size(), 490u);
}

TEST_F(PlotTest, EqualValuesShowTwoPixelsInEveryColumn) {
  Open(500, 202);
  GraphPort* p = Graphics::CurrentGraphPort();
  for (std::int32_t count : {100000, 1000000}) { // the walk and the blocks
    backend.ClearDisplayList();
    const std::vector<float> flat(static_cast<std::size_t>(count), 0.5f);
    Plot::PlotTrace(p, 0, 1, flat.data(), count, true, false);
    const std::vector<Segment> lines = Lines();
    ASSERT_FALSE(lines.empty());
    for (const Segment& s : lines) {
      EXPECT_EQ(s.a.h, s.b.h);
      EXPECT_EQ(s.a.v, 101);
      EXPECT_EQ(s.b.v, 102);
    }
  }
}

TEST_F(PlotTest, RowsAreClampedAt32766) {
  GraphPort* p = Exact();
  const double far[] = {1e9, -1e9};
  Plot::PlotTrace(p, 0, 1, far, 2, true, false);
  ASSERT_TRUE(p->sparse);
  EXPECT_EQ(p->columns[0].b, -32766);
  EXPECT_EQ(p->columns[1].b, 32766);
}

TEST_F(PlotTest, ClippingAtTheStartAndTheFarEdge) {
  GraphPort* p = Exact();
  const std::vector<std::int32_t> s = Noise<std::int32_t>(1024);
  // One pixel a sample from world x -0.25: sample 127 falls on the left edge.
  Plot::PlotTrace(p, -0.25, 2, s.data(), 1024, true, false);
  ASSERT_TRUE(p->sparse);
  const std::vector<Segment> lines = Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().a, (Point{0, 201 - s[127]}));
  EXPECT_EQ(p->usedPairs, 515); // cut at the right edge, not all 897 left
  backend.ClearDisplayList();
  Plot::PlotTrace(p, 1.5, 2, s.data(), 1024, true, true);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(PlotTest, OnePixelPerSampleIsALineNotAColumn) {
  GraphPort* p = Exact();
  const double s[] = {10, 20};
  Plot::PlotTrace(p, 0, 2.0 / 512, s, 2, true, false);
  EXPECT_TRUE(p->sparse);
  EXPECT_EQ(Lines(), (std::vector<Segment>{{{1, 191}, {2, 181}}}));
}

TEST_F(PlotTest, ReducedMarkersFallOnEverySpacingThColumn) {
  GraphPort* p = Exact();
  Graphics::SetMarkerKind(1);
  const std::vector<std::int16_t> s = Noise<std::int16_t>(1 << 20);
  Plot::PlotTrace(p, 0, 1, s.data(), 1 << 20, false, true);
  const std::vector<Segment> lines = Lines();
  ASSERT_EQ(lines.size(), 2u * 52); // columns 0, 10, ..., 510
  const std::int32_t middle = (p->columns[0].a + p->columns[0].b) / 2;
  EXPECT_EQ(lines[0], (Segment{{1 - 4, middle}, {1 + 4, middle}}));
  EXPECT_EQ(lines[2].a.h, 11 - 4);
}

int finished = 0;

TEST_F(PlotTest, StepsPolylinesAndMarkers) {
  GraphPort* p = Exact();
  Plot::SetFinishProc(p, [](GraphPort*) { ++finished; });
  const double steps[] = {0, 100, 50};
  Plot::PlotSteps(p, 0, 3 * 4.0 / 512, steps, 3, true);
  EXPECT_EQ(
      Lines(),
      (std::vector<Segment>{
          {{1, 201}, {5, 201}}, {{5, 201}, {5, 101}}, {{5, 101}, {9, 101}}, {{9, 101}, {9, 151}}}));
  backend.ClearDisplayList();
  const std::int32_t x[] = {0, 1}, y[] = {0, 200};
  Plot::PlotXY(p, x, y, 2, false);
  EXPECT_EQ(Lines(), (std::vector<Segment>{{{1, 201}, {513, 1}}}));
  backend.ClearDisplayList();
  Plot::PlotXYMarkers(p, x, y, 0, true);
  EXPECT_TRUE(Lines().empty());
  Plot::PlotXYMarkers(p, x, y, 1, true);
  EXPECT_EQ(Lines(), (std::vector<Segment>{{{1, 201}, {2, 201}}}));
  EXPECT_EQ(finished, 2);
}

} // namespace
