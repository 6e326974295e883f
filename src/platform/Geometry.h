// Points, rectangles and colours of the toolbox, and their arithmetic.
#pragma once

#include <cstdint>

namespace Toolbox {

struct Point {
  std::int32_t h = 0;
  std::int32_t v = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct RGBColor {
  std::uint16_t red = 0;
  std::uint16_t green = 0;
  std::uint16_t blue = 0;
  friend bool operator==(const RGBColor&, const RGBColor&) = default;
};

void SetRect(Rect& r, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
void OffsetRect(Rect& r, std::int32_t dh, std::int32_t dv);
// Moves each side inward by (dh, dv); an empty result becomes (0, 0, 0, 0).
void InsetRect(Rect& r, std::int32_t dh, std::int32_t dv);
// The intersection; false (and an empty rectangle) when a and b do not meet.
bool SectRect(const Rect& a, const Rect& b, Rect& result);
bool EqualRect(const Rect& a, const Rect& b);
// A point is inside when left <= h < right and top <= v < bottom.
bool PtInRect(Point p, const Rect& r);

} // namespace Toolbox
