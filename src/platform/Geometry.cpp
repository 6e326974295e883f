#include "platform/Geometry.h"

#include <algorithm>

namespace Toolbox {

void SetRect(Rect& r, std::int32_t left, std::int32_t top, std::int32_t right,
             std::int32_t bottom) {
  r = Rect{left, top, right, bottom};
}

void OffsetRect(Rect& r, std::int32_t dh, std::int32_t dv) {
  r.left += dh;
  r.right += dh;
  r.top += dv;
  r.bottom += dv;
}

void InsetRect(Rect& r, std::int32_t dh, std::int32_t dv) {
  r.left += dh;
  r.right -= dh;
  r.top += dv;
  r.bottom -= dv;
  if (r.Empty()) r = Rect{};
}

bool SectRect(const Rect& a, const Rect& b, Rect& result) {
  const Rect s{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
  result = s.Empty() ? Rect{} : s;
  return !s.Empty();
}

bool EqualRect(const Rect& a, const Rect& b) { return a == b; }

bool PtInRect(Point p, const Rect& r) {
  return p.h >= r.left && p.h < r.right && p.v >= r.top && p.v < r.bottom;
}

} // namespace Toolbox
