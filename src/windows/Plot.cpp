#include "windows/Plot.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "platform/Toolbox.h"

namespace Plot {

namespace {

using Graphics::ColumnPair;
using Graphics::Transform;
using Toolbox::Point;

// At least this many pixels per sample (a hair below one) draws the samples as points.
constexpr double kSparse = 0.9997;
// From this many samples per pixel on, a column's samples are taken as one block.
constexpr double kBlockForm = 512;
constexpr std::int32_t kFarPixel = 32766;
// Ends handed to the toolbox at a time, so that a long trace needs no list of its size.
constexpr std::size_t kBatch = 8192;

template <typename T> const Transform& TransformFor(const GraphPort* p) {
  if constexpr (std::is_integral_v<T>)
    return p->transform2;
  else
    return p->transform;
}

std::int32_t Clamped(double v) {
  if (v >= kFarPixel || v != v) return kFarPixel;
  if (v < -kFarPixel) return -kFarPixel;
  return static_cast<std::int32_t>(std::round(v));
}

// A value's pixel row, 32766 at most and -32766 at least (not a number: 32766).
template <typename T> std::int16_t Row(T value, const Transform& t) {
  return static_cast<std::int16_t>(Clamped((value + t.yOffset) * t.yScale));
}

std::int32_t Column(double x) { return Clamped(x); }

// The vector operations of the block form. Min(x, acc) is x < acc ? x : acc and Max(x,
// acc) is x > acc ? x : acc, lane by lane, as the walk compares (SSE2's minps and maxps
// keep their second operand when the first is not a number).
struct Int16Ops {
  using T = std::int16_t;
  using V = __m128i;
  static constexpr std::size_t kLanes = 8;
  static V Load(const T* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void Store(T* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static V Splat(T x) { return _mm_set1_epi16(x); }
  static V Min(V x, V acc) { return _mm_min_epi16(x, acc); }
  static V Max(V x, V acc) { return _mm_max_epi16(x, acc); }
};

struct Int32Ops {
  using T = std::int32_t;
  using V = __m128i;
  static constexpr std::size_t kLanes = 4;
  static V Load(const T* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void Store(T* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static V Splat(T x) { return _mm_set1_epi32(x); }
  static V Select(V mask, V a, V b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
  }
  static V Min(V x, V acc) { return Select(_mm_cmplt_epi32(x, acc), x, acc); }
  static V Max(V x, V acc) { return Select(_mm_cmpgt_epi32(x, acc), x, acc); }
};

struct FloatOps {
  using T = float;
  using V = __m128;
  static constexpr std::size_t kLanes = 4;
  static V Load(const T* p) { return _mm_loadu_ps(p); }
  static void Store(T* p, V v) { _mm_storeu_ps(p, v); }
  static V Splat(T x) { return _mm_set1_ps(x); }
  static V Min(V x, V acc) { return _mm_min_ps(x, acc); }
  static V Max(V x, V acc) { return _mm_max_ps(x, acc); }
};

struct DoubleOps {
  using T = double;
  using V = __m128d;
  static constexpr std::size_t kLanes = 2;
  static V Load(const T* p) { return _mm_loadu_pd(p); }
  static void Store(T* p, V v) { _mm_storeu_pd(p, v); }
  static V Splat(T x) { return _mm_set1_pd(x); }
  static V Min(V x, V acc) { return _mm_min_pd(x, acc); }
  static V Max(V x, V acc) { return _mm_max_pd(x, acc); }
};

template <typename T> struct OpsOf;
template <> struct OpsOf<std::int16_t> : Int16Ops {};
template <> struct OpsOf<std::int32_t> : Int32Ops {};
template <> struct OpsOf<float> : FloatOps {};
template <> struct OpsOf<double> : DoubleOps {};

// Four accumulators of each kind, so that the loads and compares of one step overlap.
template <typename Ops>
void VectorMinMax(const typename Ops::T* s, std::size_t n, typename Ops::T& lo,
                  typename Ops::T& hi) {
  using T = typename Ops::T;
  constexpr std::size_t kLanes = Ops::kLanes;
  constexpr std::size_t kStep = 4 * kLanes;
  T l = s[0], h = s[0];
  std::size_t i = 0;
  if (n >= kStep) {
    auto l0 = Ops::Splat(l), l1 = l0, l2 = l0, l3 = l0;
    auto h0 = l0, h1 = l0, h2 = l0, h3 = l0;
    for (; i + kStep <= n; i += kStep) {
      const auto a = Ops::Load(s + i), b = Ops::Load(s + i + kLanes);
      const auto c = Ops::Load(s + i + 2 * kLanes), d = Ops::Load(s + i + 3 * kLanes);
      l0 = Ops::Min(a, l0);
      l1 = Ops::Min(b, l1);
      l2 = Ops::Min(c, l2);
      l3 = Ops::Min(d, l3);
      h0 = Ops::Max(a, h0);
      h1 = Ops::Max(b, h1);
      h2 = Ops::Max(c, h2);
      h3 = Ops::Max(d, h3);
    }
    T lanes[kLanes];
    Ops::Store(lanes, Ops::Min(Ops::Min(l1, l0), Ops::Min(l3, l2)));
    for (T x : lanes)
      if (x < l) l = x;
    Ops::Store(lanes, Ops::Max(Ops::Max(h1, h0), Ops::Max(h3, h2)));
    for (T x : lanes)
      if (x > h) h = x;
  }
  for (; i < n; ++i) {
    if (s[i] < l) l = s[i];
    if (s[i] > h) h = s[i];
  }
  lo = l;
  hi = h;
}

bool Usable(const GraphPort* p) { return Graphics::IsGraphPort(p); }

std::int32_t MarkerReach(const GraphPort* p) {
  return Graphics::RoundPixel(p->markerSize * p->window->scale);
}

// Segments handed to the toolbox in batches.
class Segments {
public:
  Segments() { ends_.reserve(kBatch + 16); }
  ~Segments() { Flush(); }
  Segments(const Segments&) = delete;
  Segments& operator=(const Segments&) = delete;
  void Add(std::int32_t h1, std::int32_t v1, std::int32_t h2, std::int32_t v2) {
    ends_.push_back(Point{h1, v1});
    ends_.push_back(Point{h2, v2});
    if (ends_.size() >= kBatch) Flush();
  }
  void Marker(const GraphPort* p, std::int32_t h, std::int32_t v) {
    Graphics::AppendMarker(ends_, p->markerKind, MarkerReach(p), h, v);
    if (ends_.size() >= kBatch) Flush();
  }
  void Flush() {
    Toolbox::DrawSegments(ends_);
    ends_.clear();
  }

private:
  std::vector<Point> ends_;
};

void Finish(GraphPort* p, bool finish) {
  if (finish && Usable(p) && p->finish != nullptr) p->finish(p);
}

// Each pair of a reduced trace reaches its neighbour, so that the columns join up.
void Join(ColumnPair* pairs, std::int32_t used) {
  for (std::int32_t i = 0; i + 1 < used; ++i) {
    const ColumnPair& c = pairs[i];
    ColumnPair& n = pairs[i + 1];
    if (c.a < n.b)
      n.b = static_cast<std::int16_t>(c.a + 1);
    else if (c.b > n.a)
      n.a = static_cast<std::int16_t>(c.b - 1);
  }
}

void DrawPairs(GraphPort* p, const ColumnPair* pairs, std::int32_t used, bool lines, bool markers) {
  Graphics::Drawing d(p);
  Segments out;
  if (p->sparse) {
    if (lines)
      for (std::int32_t i = 1; i < used; ++i)
        out.Add(pairs[i - 1].a, pairs[i - 1].b, pairs[i].a, pairs[i].b);
    if (markers)
      for (std::int32_t i = 0; i < used; ++i) out.Marker(p, pairs[i].a, pairs[i].b);
    return;
  }
  const std::int32_t step = p->increasing ? 1 : -1;
  if (lines) {
    // Drawn one pixel beyond the second value, so that equal values show two pixels.
    for (std::int32_t i = 0; i < used; ++i) {
      const std::int32_t x = p->firstPixelX + i * step;
      const std::int32_t a = pairs[i].a, b = pairs[i].b;
      out.Add(x, a, x, b < a ? b - 1 : b + 1);
    }
  }
  if (markers && p->markerSpacing > 0)
    for (std::int32_t i = 0; i < used; i += p->markerSpacing)
      out.Marker(p, p->firstPixelX + i * step, (pairs[i].a + pairs[i].b) / 2);
}

} // namespace

template <Sample T> void MinMax(const T* samples, std::size_t n, T& smallest, T& largest) {
  VectorMinMax<OpsOf<T>>(samples, n, smallest, largest);
}

template <Sample T>
void PlotTrace(GraphPort* p, double xStart, double xExtent, const T* s, std::int32_t count,
               bool lines, bool markers) {
  if (!Usable(p) || s == nullptr || count < 2) return;
  const Transform& t = TransformFor<T>(p);
  const double perSample = xExtent * t.xScale / count; // pixels
  double x = (xStart + t.xOffset) * t.xScale;
  if (!std::isfinite(perSample) || !std::isfinite(x)) return;
  const double perPixel = 1 / std::fabs(perSample);
  const std::int64_t samplesPerPixel =
      perPixel >= count ? count : std::max<std::int64_t>(1, std::llround(perPixel));
  const bool sparse = std::fabs(perSample) >= kSparse;
  const bool increasing = perSample >= 0;

  // Clipping: a trace starting beyond the far edge draws nothing; one starting before
  // the near edge skips the samples that fall before it.
  const double nearEdge = increasing ? p->left : p->right;
  const double farEdge = increasing ? p->right : p->left;
  auto beyond = [increasing](double a, double b) { return increasing ? a > b : a < b; };
  if (beyond(x, farEdge)) return;
  if (beyond(nearEdge, x)) {
    const double skip = std::round((nearEdge - x) / perSample);
    if (!(skip < count)) return;
    const auto k = static_cast<std::int32_t>(skip);
    s += k;
    count -= k;
    x += k * perSample;
  }
  if (sparse && beyond(count * perSample + x, farEdge)) {
    const double cut = std::round((farEdge - x) / perSample) + 2;
    if (cut < count) count = static_cast<std::int32_t>(std::max(cut, 0.0));
  }
  if (count < 2) return;

  const std::int32_t columns = std::abs(p->right - p->left) + 1;
  ColumnPair* pairs = Graphics::ColumnBuffer(p, columns);
  if (pairs == nullptr) return;
  std::int32_t used = 0;
  p->firstPixelX = Column(x);
  if (sparse) {
    pairs[used++] = ColumnPair{static_cast<std::int16_t>(Column(x)), Row(s[0], t)};
    for (std::int32_t i = 1; i < count && used < columns; ++i) {
      x += perSample;
      pairs[used++] = ColumnPair{static_cast<std::int16_t>(Column(x)), Row(s[i], t)};
    }
  } else if (static_cast<double>(samplesPerPixel) < kBlockForm) {
    // Walking the samples: a pair is stored each time x passes a column boundary. The
    // last sample joins the pair of the column it falls in, which is stored last.
    const double step = increasing ? 1 : -1;
    double boundary = p->firstPixelX + step / 2;
    T lo = s[0], hi = s[0];
    for (std::int32_t i = 1; i < count && used < columns; ++i) {
      x += perSample;
      if (increasing ? x >= boundary : x <= boundary) {
        pairs[used++] = ColumnPair{Row(lo, t), Row(hi, t)};
        boundary += step;
        lo = hi = s[i];
      } else {
        if (s[i] < lo) lo = s[i];
        if (s[i] > hi) hi = s[i];
      }
    }
    if (used < columns) pairs[used++] = ColumnPair{Row(lo, t), Row(hi, t)};
  } else {
    // Blocks of samplesPerPixel samples: no position arithmetic per sample.
    for (std::int64_t start = 0; start < count && used < columns; start += samplesPerPixel) {
      const auto n =
          static_cast<std::size_t>(std::min<std::int64_t>(samplesPerPixel, count - start));
      T lo, hi;
      MinMax(s + start, n, lo, hi);
      pairs[used++] = ColumnPair{Row(lo, t), Row(hi, t)};
    }
  }
  if (!sparse) Join(pairs, used);

  p->usedPairs = used;
  p->sparse = sparse;
  p->increasing = increasing;
  p->drawLines = lines;
  p->drawMarkers = markers;
  DrawPairs(p, pairs, used, lines, markers);
}

template <Sample T>
void PlotSteps(GraphPort* p, double xStart, double xExtent, const T* s, std::int32_t count,
               bool finish) {
  if (!Usable(p) || s == nullptr || count < 2) return;
  const Transform& t = TransformFor<T>(p);
  double x = (xStart + t.xOffset) * t.xScale;
  const double dx = xExtent * t.xScale / count;
  {
    Graphics::Drawing d(p);
    Segments out;
    std::int32_t h = Column(x), v = Row(s[0], t);
    for (std::int32_t i = 1; i < count; ++i) {
      x += dx;
      const std::int32_t nh = Column(x), nv = Row(s[i], t);
      out.Add(h, v, nh, v);
      out.Add(nh, v, nh, nv);
      h = nh;
      v = nv;
    }
  }
  Finish(p, finish);
}

template <Sample T>
void PlotXY(GraphPort* p, const T* x, const T* y, std::int32_t count, bool finish) {
  if (!Usable(p) || x == nullptr || y == nullptr || count < 2) return;
  const Transform& t = TransformFor<T>(p);
  {
    Graphics::Drawing d(p);
    Segments out;
    std::int32_t h = Column((x[0] + t.xOffset) * t.xScale), v = Row(y[0], t);
    for (std::int32_t i = 1; i < count; ++i) {
      const std::int32_t nh = Column((x[i] + t.xOffset) * t.xScale), nv = Row(y[i], t);
      out.Add(h, v, nh, nv);
      h = nh;
      v = nv;
    }
  }
  Finish(p, finish);
}

template <Sample T>
void PlotXYMarkers(GraphPort* p, const T* x, const T* y, std::int32_t count, bool finish) {
  if (!Usable(p) || x == nullptr || y == nullptr || count < 1) return;
  const Transform& t = TransformFor<T>(p);
  {
    Graphics::Drawing d(p);
    Segments out;
    for (std::int32_t i = 0; i < count; ++i)
      out.Marker(p, Column((x[i] + t.xOffset) * t.xScale), Row(y[i], t));
  }
  Finish(p, finish);
}

template <Sample T> void PlotSamples(GraphPort* p, const T* samples, std::int32_t count) {
  PlotTrace(p, 0.0, static_cast<double>(count), samples, count, true, false);
}

void SetFinishProc(GraphPort* p, Graphics::FinishProc proc) {
  if (Usable(p)) p->finish = proc;
}

void SetMarkerSpacing(GraphPort* p, std::int32_t spacing) {
  if (Usable(p) && spacing >= 0) p->markerSpacing = spacing;
}

#define VELMARIN_PLOT_INSTANTIATE(T)                                                               \
  template void MinMax<T>(const T*, std::size_t, T&, T&);                                          \
  template void PlotTrace<T>(GraphPort*, double, double, const T*, std::int32_t, bool, bool);      \
  template void PlotSteps<T>(GraphPort*, double, double, const T*, std::int32_t, bool);            \
  template void PlotXY<T>(GraphPort*, const T*, const T*, std::int32_t, bool);                     \
  template void PlotXYMarkers<T>(GraphPort*, const T*, const T*, std::int32_t, bool);              \
  template void PlotSamples<T>(GraphPort*, const T*, std::int32_t);
VELMARIN_PLOT_INSTANTIATE(std::int16_t)
VELMARIN_PLOT_INSTANTIATE(std::int32_t)
VELMARIN_PLOT_INSTANTIATE(float)
VELMARIN_PLOT_INSTANTIATE(double)
#undef VELMARIN_PLOT_INSTANTIATE

} // namespace Plot
