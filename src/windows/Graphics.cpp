#include "windows/Graphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "platform/Backend.h"

namespace Graphics {

namespace {

// Records are given back to the heap without running a destructor.
static_assert(std::is_trivially_destructible_v<GraphWindow>);
static_assert(std::is_trivially_destructible_v<GraphPort>);

constexpr char kHeapPath[] = "/Shell/Graphics.Heap";
constexpr char kWindowTag[4] = {'W', 'I', 'N', 'D'};
constexpr char kPortTag[4] = {'G', 'R', 'A', 'F'};

// Window bounds: the menu bar's height (the room a caption takes above the content),
// the smallest window and the font sizes a window description may give.
constexpr std::int32_t kMenuBarHeight = 20;
constexpr std::int32_t kMinWidth = 20;
constexpr std::int32_t kMinHeight = 10;
constexpr std::int32_t kMinFontSize = 6;
constexpr std::int32_t kMaxFontSize = 48;

constexpr World kDefaultWorld{0, 0, 1, 1};
constexpr World kDefaultWorld2{-32767, -32767, 32767, 32767};
constexpr double kFarPixel = 1 << 20;

// A window's picture holds at most this many operations; beyond, saving takes the
// window's pixels instead (a program that animates without erasing).
constexpr std::size_t kMaxRecorded = 100000;

// Axes: ticks stick out this far, labels keep this much room per step.
constexpr std::int32_t kTickLength = 4;
constexpr std::int32_t kLabelGap = 3;
constexpr std::int32_t kPixelsPerXStep = 80;
constexpr std::int32_t kPixelsPerYStep = 40;
constexpr std::int32_t kMaxTicks = 1000;
constexpr std::size_t kLabelHigh = 39;
constexpr std::int32_t kGridColor = 12; // light gray
constexpr std::int32_t kAxesColor = 0;  // black

struct NamedColor {
  const char* name;
  RGBColor color;
};
constexpr NamedColor kColors[] = {
    {"Black", {0, 0, 0}},
    {"White", {0xFFFF, 0xFFFF, 0xFFFF}},
    {"Red", {0xE0E0, 0x1010, 0x1010}},
    {"Green", {0x0000, 0x9999, 0x0000}},
    {"Blue", {0x0000, 0x3333, 0xDDDD}},
    {"Cyan", {0x0000, 0xBBBB, 0xCCCC}},
    {"Magenta", {0xCCCC, 0x0000, 0xCCCC}},
    {"Yellow", {0xEEEE, 0xCCCC, 0x0000}},
    {"Orange", {0xFFFF, 0x8080, 0x0000}},
    {"Purple", {0x7070, 0x2020, 0xA0A0}},
    {"Brown", {0x8B8B, 0x4545, 0x1313}},
    {"Gray", {0x8080, 0x8080, 0x8080}},
    {"LightGray", {0xD8D8, 0xD8D8, 0xD8D8}},
    {"DarkRed", {0x8B8B, 0x0000, 0x0000}},
    {"DarkGreen", {0x0000, 0x6464, 0x0000}},
    {"DarkBlue", {0x0000, 0x0000, 0x8B8B}},
};
constexpr std::int32_t kColorCount = static_cast<std::int32_t>(std::size(kColors));

struct State {
  bool initialised = false;
  Buffer::Ref heap = nullptr;
  GraphPort* current = nullptr;
  GraphWindow* windows = nullptr; // newest first
  std::uint32_t nextId = 1;
  CloseProc userClose = nullptr;
};
State state;

bool ValidWorld(double xMin, double yMin, double xMax, double yMax) {
  return std::isfinite(xMin) && std::isfinite(yMin) && std::isfinite(xMax) && std::isfinite(yMax) &&
         xMax != xMin && yMax != yMin;
}

void Relayout(GraphPort* p) {
  p->transform = TransformOf(p->left, p->right, p->top, p->bottom, p->world);
  p->transform2 = TransformOf(p->left, p->right, p->top, p->bottom, p->world2);
}

Point ToPixel(const GraphPort* p, double x, double y) {
  const Transform& t = p->transform;
  return Point{RoundPixel((x + t.xOffset) * t.xScale), RoundPixel((y + t.yOffset) * t.yScale)};
}

// The viewport as a rectangle with its sides in order.
Rect Area(const GraphPort* p) {
  return Rect{std::min(p->left, p->right), std::min(p->top, p->bottom), std::max(p->left, p->right),
              std::max(p->top, p->bottom)};
}

// The rectangle of two converted corners with both corner pixels inside.
Rect CornerRect(Point a, Point b) {
  return Rect{std::min(a.h, b.h), std::min(a.v, b.v), std::max(a.h, b.h) + 1,
              std::max(a.v, b.v) + 1};
}

bool Inside(const Rect& inner, const Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

Toolbox::PenModeKind PenModeOf(std::uint8_t mode) {
  switch (mode) {
  case 1:
    return Toolbox::PenModeKind::Xor;
  case 2:
  case 3:
    return Toolbox::PenModeKind::Invert;
  default:
    return Toolbox::PenModeKind::Copy;
  }
}

void LosePicture(GraphWindow* w) {
  w->picture->commands.clear();
  w->picture->commands.shrink_to_fit();
  w->pictureLost = true;
}

// An opaque fill of r hides everything drawn before it when it covers the window: the
// picture starts again there (and tells the pixels again after it was lost).
void Covering(GraphPort* p, const Rect& r) {
  GraphWindow* w = p->window;
  const Rect content = Toolbox::GetPortRect(w->window);
  const Rect clip = p->setUp ? p->clip : content;
  if (p->penMode != 0 || !Inside(content, r) || !Inside(content, clip)) return;
  w->picture->commands.clear();
  w->pictureLost = false;
}

GraphPort* NewPort(GraphWindow* w) {
  void* block = Buffer::Allocate(state.heap, sizeof(GraphPort));
  if (block == nullptr) return nullptr;
  auto* p = new (block) GraphPort{};
  std::memcpy(p->kind, kPortTag, sizeof kPortTag);
  p->window = w;
  p->id = state.nextId++;
  p->next = w->port;
  w->port = p;
  // Text goes over what is drawn, without a box of the background around it.
  p->textMode = Toolbox::kTextOr;
  return p;
}

void FreePort(GraphWindow* w, GraphPort* p) {
  if (state.current == p) state.current = nullptr;
  if (p->columns != nullptr) {
    void* columns = p->columns;
    Buffer::Deallocate(w->heap, p->columnCapacity * std::int32_t{sizeof(ColumnPair)}, columns);
  }
  p->kind[0] = 0;
  void* block = p;
  Buffer::Deallocate(w->heap, sizeof(GraphPort), block);
}

GraphPort* Current() { return IsGraphPort(state.current) ? state.current : nullptr; }

// Markers are drawn s pixels from their centre: the marker size times the window's scale.
std::int32_t MarkerReach(const GraphPort* p) {
  return RoundPixel(p->markerSize * p->window->scale);
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  Toolbox::Init();
  NumberOut::Init();
}

bool InitGraphics() {
  Init();
  state.heap = Buffer::Open(kHeapPath, Buffer::BufferKind::Heap);
  return state.heap != nullptr;
}

// ---- Windows and ports ----

void LimitBounds(Rect& b, std::int32_t& fontSize, int kind) {
  fontSize = std::clamp(fontSize, kMinFontSize, kMaxFontSize);
  if (b.left > b.right) std::swap(b.left, b.right);
  if (b.top > b.bottom) std::swap(b.top, b.bottom);
  // The window's caption and borders stay in the client area too.
  const Rect room = Toolbox::FrameRoom(kind);
  const Rect area{room.left,
                  std::max(room.top, Toolbox::FrameClientRect().top + kMenuBarHeight + 3),
                  room.right - 1, room.bottom - 1};
  b.left = std::max(b.left, area.left);
  b.top = std::max(b.top, area.top);
  b.right = std::min(b.right, area.right);
  b.bottom = std::min(b.bottom, area.bottom);
  if (b.right - b.left < kMinWidth) {
    b.right = b.left + kMinWidth;
    if (b.right > area.right) {
      b.right = area.right;
      b.left = b.right - kMinWidth;
    }
  }
  if (b.bottom - b.top < kMinHeight) {
    b.bottom = b.top + kMinHeight;
    if (b.bottom > area.bottom) {
      b.bottom = area.bottom;
      b.top = b.bottom - kMinHeight;
    }
  }
}

GraphWindow* NewGraphWindow(const WindowSpec& spec) {
  Init();
  if (state.heap == nullptr && !InitGraphics()) return nullptr;
  Rect bounds = spec.bounds;
  std::int32_t fontSize = spec.fontSize;
  LimitBounds(bounds, fontSize, spec.kind);
  void* block = Buffer::Allocate(state.heap, sizeof(GraphWindow));
  if (block == nullptr) return nullptr;
  auto* w = new (block) GraphWindow{};
  std::memcpy(w->kind, kWindowTag, sizeof kWindowTag);
  w->heap = state.heap;
  w->windowKind = spec.kind;
  w->scale = 1.0;
  w->bounds = bounds;
  w->window = Toolbox::NewWindow(bounds, spec.title, spec.visible, spec.kind, spec.closeBox, w);
  GraphPort* p = w->window != nullptr ? NewPort(w) : nullptr;
  if (p == nullptr) {
    Toolbox::DisposeWindow(w->window);
    Buffer::Deallocate(state.heap, sizeof(GraphWindow), block);
    return nullptr;
  }
  w->id = state.nextId++;
  const Rect content = Toolbox::GetPortRect(w->window);
  p->left = content.left;
  p->right = content.right;
  p->top = content.top;
  p->bottom = content.bottom;
  p->world = kDefaultWorld;
  p->world2 = kDefaultWorld2;
  Relayout(p);
  p->textFont = spec.fontNumber;
  p->textSize = fontSize;
  p->penSize = 1;
  p->markerSize = kDefaultMarkerSize;
  p->foreColor = w->window->port.foreColor;
  p->backColor = w->window->port.backColor;
  p->markerSpacing = kDefaultMarkerSpacing;
  p->finish = ShowAtOnce;
  // The window's own picture, made without ending a recording that may be going on.
  Toolbox::Picture* before = Toolbox::SetRecording(nullptr);
  w->picture = Toolbox::OpenPicture(content);
  Toolbox::SetRecording(before);
  w->next = state.windows;
  state.windows = w;
  state.current = p;
  return w;
}

void DisposeGraphWindow(GraphWindow*& w) {
  if (!IsGraphWindow(w)) {
    w = nullptr;
    return;
  }
  for (GraphWindow** link = &state.windows; *link != nullptr; link = &(*link)->next) {
    if (*link == w) {
      *link = w->next;
      break;
    }
  }
  for (GraphPort* p = w->port; p != nullptr;) {
    GraphPort* next = p->next;
    FreePort(w, p);
    p = next;
  }
  Toolbox::KillPicture(w->picture);
  w->window->refCon = nullptr;
  Toolbox::DisposeWindow(w->window);
  w->kind[0] = 0;
  void* block = w;
  Buffer::Deallocate(w->heap, sizeof(GraphWindow), block);
  w = nullptr;
}

GraphWindow* NewPrinterWindow(Buffer::Ref heap, Toolbox::Printer* printer, std::int32_t fontNumber,
                              std::int32_t fontSize) {
  Init();
  if (printer == nullptr) return nullptr;
  void* block = Buffer::Allocate(heap, sizeof(GraphWindow));
  if (block == nullptr) return nullptr;
  auto* w = new (block) GraphWindow{};
  std::memcpy(w->kind, kWindowTag, sizeof kWindowTag);
  w->heap = heap;
  w->scale = 1.0;
  w->bounds = printer->page;
  w->pictureLost = true; // a page is not kept as a picture
  w->printer = printer;
  w->id = state.nextId++;
  void* portBlock = Buffer::Allocate(heap, sizeof(GraphPort));
  if (portBlock == nullptr) return w;
  auto* p = new (portBlock) GraphPort{};
  std::memcpy(p->kind, kPortTag, sizeof kPortTag);
  p->window = w;
  p->id = state.nextId++;
  w->port = p;
  p->left = printer->page.left;
  p->right = printer->page.right;
  p->top = printer->page.top;
  p->bottom = printer->page.bottom;
  p->world = kDefaultWorld;
  p->world2 = kDefaultWorld2;
  Relayout(p);
  p->textFont = fontNumber;
  p->textSize = fontSize;
  p->penSize = 1;
  p->markerSize = kDefaultMarkerSize;
  p->foreColor = RGBColor{0, 0, 0};
  p->backColor = RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
  p->markerSpacing = kDefaultMarkerSpacing;
  return w;
}

void DisposePrinterWindow(GraphWindow*& w) {
  if (w == nullptr || w->printer == nullptr) return;
  if (w->port != nullptr) FreePort(w, w->port);
  w->kind[0] = 0;
  void* block = w;
  Buffer::Deallocate(w->heap, sizeof(GraphWindow), block);
  w = nullptr;
}

bool IsGraphWindow(const GraphWindow* w) {
  for (const GraphWindow* x = state.windows; x != nullptr; x = x->next)
    if (x == w) return true;
  return false;
}

bool IsGraphPort(const GraphPort* p) {
  if (p == nullptr) return false;
  for (const GraphWindow* w = state.windows; w != nullptr; w = w->next)
    for (const GraphPort* x = w->port; x != nullptr; x = x->next)
      if (x == p) return true;
  return false;
}

bool CloseByUser(Toolbox::Window window) {
  GraphWindow* w = GraphWindowOf(window);
  if (w == nullptr) return false;
  if (state.userClose != nullptr)
    state.userClose(w);
  else
    DisposeGraphWindow(w);
  return true;
}

void SetUserCloseProc(CloseProc proc) { state.userClose = proc; }

GraphWindow* GraphWindowOf(Toolbox::Window window) {
  for (GraphWindow* w = state.windows; w != nullptr; w = w->next)
    if (w->window == window) return w;
  return nullptr;
}

GraphPort* WindowPort(GraphWindow* w) {
  if (!IsGraphWindow(w)) return nullptr;
  // The window's own port is the oldest, last in the list.
  GraphPort* own = w->port;
  while (own->next != nullptr) own = own->next;
  return own;
}

GraphWindow* FindWindow(std::uint32_t id) {
  for (GraphWindow* w = state.windows; w != nullptr; w = w->next)
    if (w->id == id) return w;
  return nullptr;
}

GraphPort* FindPort(std::uint32_t id) {
  for (GraphWindow* w = state.windows; w != nullptr; w = w->next)
    for (GraphPort* p = w->port; p != nullptr; p = p->next)
      if (p->id == id) return p;
  return nullptr;
}

std::vector<GraphWindow*> GraphWindows() {
  std::vector<GraphWindow*> result;
  for (Toolbox::Window window : Toolbox::Windows())
    if (GraphWindow* w = GraphWindowOf(window)) result.push_back(w);
  return result;
}

void MoveGraphWindow(GraphWindow* w, Rect bounds) {
  if (!IsGraphWindow(w)) return;
  std::int32_t fontSize = w->port->textSize;
  LimitBounds(bounds, fontSize, w->windowKind);
  Toolbox::MoveWindow(w->window, bounds.left, bounds.top, false);
  Toolbox::SizeWindow(w->window, bounds.Width(), bounds.Height());
  w->bounds = bounds;
  GraphPort* own = WindowPort(w);
  const Rect content = Toolbox::GetPortRect(w->window);
  own->left = content.left;
  own->right = content.right;
  own->top = content.top;
  own->bottom = content.bottom;
  own->setUp = false;
  Relayout(own);
  w->redraw = true;
}

GraphPort* NewViewport(GraphPort* parent, std::int32_t left, std::int32_t right, std::int32_t top,
                       std::int32_t bottom, bool share) {
  if (!IsGraphPort(parent)) return nullptr;
  const GraphPort copy = *parent;
  GraphPort* p = NewPort(parent->window);
  if (p == nullptr) return nullptr;
  if (top > bottom) std::swap(top, bottom);
  p->left = left;
  p->right = right;
  p->top = top;
  p->bottom = bottom;
  p->world = copy.world;
  p->world2 = copy.world2;
  Relayout(p);
  p->textFont = copy.textFont;
  p->textSize = copy.textSize;
  p->textFace = copy.textFace;
  p->textMode = copy.textMode;
  p->penSize = copy.penSize;
  p->penMode = copy.penMode;
  p->markerSize = copy.markerSize;
  p->markerKind = copy.markerKind;
  p->colorIndex = copy.colorIndex;
  p->foreColor = copy.foreColor;
  p->backColor = copy.backColor;
  p->markerSpacing = copy.markerSpacing;
  p->finish = copy.finish;
  p->shared = share;
  if (!share) {
    p->clip = Area(p);
    p->setUp = true;
  }
  parent->latestViewport = p;
  state.current = p;
  return p;
}

void FrameViewport(GraphPort* p, std::int32_t dh, std::int32_t dv) {
  if (!IsGraphPort(p)) return;
  const Rect a = Area(p);
  Drawing d(p);
  Toolbox::FrameRect(Rect{a.left + dh, a.top + dv, a.right - dh, a.bottom - dv});
}

void SetGraphPort(GraphPort* p) { state.current = IsGraphPort(p) ? p : nullptr; }

GraphPort* CurrentGraphPort() { return Current(); }

// ---- World windows and transforms ----

Transform TransformOf(std::int32_t left, std::int32_t right, std::int32_t top, std::int32_t bottom,
                      const World& w) {
  Transform t;
  t.xScale = (static_cast<double>(right) - left - 2) / (w.xMax - w.xMin);
  t.xOffset = (left + 1) / t.xScale - w.xMin;
  t.yScale = -((static_cast<double>(bottom) - top - 2) / (w.yMax - w.yMin));
  t.yOffset = (bottom - 1) / t.yScale - w.yMin;
  return t;
}

void SetWorld(double xMin, double yMin, double xMax, double yMax) {
  GraphPort* p = Current();
  if (p == nullptr || !ValidWorld(xMin, yMin, xMax, yMax)) return;
  p->world = World{xMin, yMin, xMax, yMax};
  Relayout(p);
}

void SetWorld2(double xMin, double yMin, double xMax, double yMax) {
  GraphPort* p = Current();
  if (p == nullptr || !ValidWorld(xMin, yMin, xMax, yMax)) return;
  p->world2 = World{xMin, yMin, xMax, yMax};
  Relayout(p);
}

std::int32_t RoundPixel(double v) {
  if (!(v > -kFarPixel)) return -static_cast<std::int32_t>(kFarPixel);
  if (v >= kFarPixel) return static_cast<std::int32_t>(kFarPixel);
  return static_cast<std::int32_t>(std::round(v));
}

void WorldToPixel(double x, double y, std::int32_t& h, std::int32_t& v) {
  const GraphPort* p = Current();
  const Point pt = p != nullptr ? ToPixel(p, x, y) : Point{};
  h = pt.h;
  v = pt.v;
}

void PixelToWorld(std::int32_t h, std::int32_t v, double& x, double& y) {
  const GraphPort* p = Current();
  if (p == nullptr) {
    x = y = 0;
    return;
  }
  x = h / p->transform.xScale - p->transform.xOffset;
  y = v / p->transform.yScale - p->transform.yOffset;
}

// ---- Drawing ----

Drawing::Drawing(GraphPort* p)
    : savedPort_(Toolbox::GetPort()), savedPicture_(nullptr), window_(p->window) {
  GraphWindow* w = p->window;
  if (w->printer != nullptr)
    Toolbox::SetPortPrinter(w->printer);
  else
    Toolbox::SetPort(w->window);
  if (!p->setUp) {
    p->clip = w->printer != nullptr ? w->printer->page : Toolbox::GetPortRect(w->window);
    p->setUp = true;
  }
  Toolbox::PenNormal();
  // Lines and circles are smooth; plots and markers (segments) stay on whole pixels.
  Toolbox::SmoothDrawing(true);
  Toolbox::PenMode(PenModeOf(p->penMode));
  Toolbox::TextFont(p->textFont);
  Toolbox::TextSize(p->textSize);
  Toolbox::TextFace(p->textFace);
  Toolbox::TextMode(p->textMode);
  Toolbox::RGBForeColor(p->foreColor);
  Toolbox::RGBBackColor(p->backColor);
  Toolbox::PenSize(p->penSize, p->penSize);
  Toolbox::ClipRect(p->clip);
  savedPicture_ = Toolbox::SetRecording(w->pictureLost ? nullptr : w->picture);
}

Drawing::~Drawing() {
  Toolbox::SetRecording(savedPicture_);
  if (!window_->pictureLost && window_->picture->commands.size() > kMaxRecorded)
    LosePicture(window_);
  if (savedPort_.offscreen != nullptr)
    Toolbox::SetPortOffscreen(savedPort_.offscreen);
  else if (savedPort_.printer != nullptr)
    Toolbox::SetPortPrinter(savedPort_.printer);
  else
    Toolbox::SetPort(savedPort_.window);
}

ColumnPair* ColumnBuffer(GraphPort* p, std::int32_t count) {
  if (count <= p->columnCapacity) return p->columns;
  constexpr auto kPairSize = static_cast<std::int32_t>(sizeof(ColumnPair));
  if (count > INT32_MAX / kPairSize) return nullptr;
  void* block = Buffer::Allocate(p->window->heap, count * kPairSize);
  if (block == nullptr) return nullptr;
  if (p->columns != nullptr) {
    void* old = p->columns;
    Buffer::Deallocate(p->window->heap, p->columnCapacity * kPairSize, old);
  }
  p->columns = static_cast<ColumnPair*>(block);
  p->columnCapacity = count;
  return p->columns;
}

void ShowAtOnce(GraphPort* p) {
  if (IsGraphPort(p)) Toolbox::FlushWindow(p->window->window);
}

void WorldLine(double x1, double y1, double x2, double y2) {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const Point a = ToPixel(p, x1, y1), b = ToPixel(p, x2, y2);
  Drawing d(p);
  Toolbox::MoveTo(a.h, a.v);
  Toolbox::LineTo(b.h, b.v);
}

void WorldLine(float x1, float y1, float x2, float y2) {
  WorldLine(static_cast<double>(x1), static_cast<double>(y1), static_cast<double>(x2),
            static_cast<double>(y2));
}

void AppendMarker(std::vector<Point>& e, int kind, std::int32_t s, std::int32_t x, std::int32_t y) {
  const std::int32_t h = (3 * s) / 4;
  const std::int32_t half = s / 2;
  auto segment = [&e](std::int32_t h1, std::int32_t v1, std::int32_t h2, std::int32_t v2) {
    e.push_back(Point{h1, v1});
    e.push_back(Point{h2, v2});
  };
  switch (kind) {
  case 0: // dot
    segment(x, y, x + 1, y);
    break;
  case 1: // plus
    segment(x - s, y, x + s, y);
    segment(x, y - s, x, y + s);
    break;
  case 2: // star
    segment(x - s, y, x + s, y);
    segment(x - half, y - s, x + half, y + s);
    segment(x - half, y + s, x + half, y - s);
    break;
  case 3: // diamond
    segment(x - s, y, x, y - s);
    segment(x, y - s, x + s, y);
    segment(x + s, y, x, y + s);
    segment(x, y + s, x - s, y);
    break;
  case 4: // cross
    segment(x - h, y - h, x + h, y + h);
    segment(x - h, y + h, x + h, y - h);
    break;
  case 5: // square
    segment(x - h, y - h, x + h, y - h);
    segment(x + h, y - h, x + h, y + h);
    segment(x + h, y + h, x - h, y + h);
    segment(x - h, y + h, x - h, y - h);
    break;
  default:
    break;
  }
}

void WorldMarker(double x, double y) {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const Point c = ToPixel(p, x, y);
  std::vector<Point> ends;
  AppendMarker(ends, p->markerKind, MarkerReach(p), c.h, c.v);
  Drawing d(p);
  Toolbox::DrawSegments(ends);
}

void WorldMarker(float x, float y) { WorldMarker(static_cast<double>(x), static_cast<double>(y)); }

void SetMarkerKind(std::int32_t kind) {
  if (GraphPort* p = Current(); p != nullptr && kind >= 0 && kind < kMarkerKinds)
    p->markerKind = static_cast<std::uint8_t>(kind);
}

void SetMarkerSize(std::int32_t size) {
  if (GraphPort* p = Current(); p != nullptr && size >= 0) p->markerSize = size;
}

void FrameWorldRect(double x1, double y1, double x2, double y2) {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const Rect r = CornerRect(ToPixel(p, x1, y1), ToPixel(p, x2, y2));
  Drawing d(p);
  Toolbox::FrameRect(r);
}

void PaintWorldRect(double x1, double y1, double x2, double y2) {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const Rect r = CornerRect(ToPixel(p, x1, y1), ToPixel(p, x2, y2));
  Covering(p, r);
  Drawing d(p);
  Toolbox::PaintRect(r);
}

void EraseViewport() {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const Rect r = Area(p);
  Covering(p, r);
  Drawing d(p);
  Toolbox::EraseRect(r);
}

void WorldCircle(double x, double y, double r) {
  GraphPort* p = Current();
  if (p == nullptr || !(r > 0)) return;
  const std::int32_t radius = RoundPixel(std::fabs(r * p->transform.yScale));
  if (radius <= 0) return;
  const Point c = ToPixel(p, x, y);
  Drawing d(p);
  Toolbox::FrameOval(Rect{c.h - radius, c.v - radius, c.h + radius + 1, c.v + radius + 1});
}

void TextAt(double x, double y, Chars text) {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const Point at = ToPixel(p, x, y);
  Drawing d(p);
  Toolbox::MoveTo(at.h, at.v);
  Toolbox::DrawText(text);
}

double WorldTextHeight() {
  GraphPort* p = Current();
  if (p == nullptr) return 0;
  Toolbox::FontInfo info;
  {
    Drawing d(p);
    Toolbox::GetFontInfo(info);
  }
  return (info.ascent + info.descent + info.leading) / std::fabs(p->transform.yScale);
}

double WorldTextWidth(Chars text) {
  GraphPort* p = Current();
  if (p == nullptr) return 0;
  std::int32_t width = 0;
  {
    Drawing d(p);
    width = Toolbox::TextWidth(std::string_view(text.p, Strings::Length(text)));
  }
  return width / std::fabs(p->transform.xScale);
}

void ScrollWorld(double x1, double y1, double x2, double y2, double x, double y) {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const Point corner = ToPixel(p, x1, y1);
  const Point target = ToPixel(p, x, y);
  const Rect from = CornerRect(corner, ToPixel(p, x2, y2));
  const std::int32_t dh = target.h - corner.h, dv = target.v - corner.v;
  Rect to = from;
  Toolbox::OffsetRect(to, dh, dv);
  if ((dh == 0 && dv == 0) || !Inside(to, Area(p))) return;
  // Scrolling the union moves the rectangle's pixels onto the target and erases what
  // they leave; the pixels around them in the union move along, out of it.
  const Rect both{std::min(from.left, to.left), std::min(from.top, to.top),
                  std::max(from.right, to.right), std::max(from.bottom, to.bottom)};
  {
    Drawing d(p);
    Toolbox::ScrollRect(both, dh, dv);
  }
  // The picture would have to keep pixels to replay that.
  LosePicture(p->window);
}

bool RectInView(double x1, double y1, double x2, double y2, std::int32_t& left, std::int32_t& top,
                std::int32_t& right, std::int32_t& bottom) {
  GraphPort* p = Current();
  if (p == nullptr) {
    left = top = right = bottom = 0;
    return false;
  }
  const Point a = ToPixel(p, x1, y1), b = ToPixel(p, x2, y2);
  left = std::min(a.h, b.h);
  right = std::max(a.h, b.h);
  top = std::min(a.v, b.v);
  bottom = std::max(a.v, b.v);
  const Rect area = Area(p);
  return left >= area.left && right < area.right && top >= area.top && bottom < area.bottom;
}

// ---- Pen, text and colours ----

void SetPenSize(std::int32_t size) {
  if (GraphPort* p = Current(); p != nullptr && size >= 0) p->penSize = size;
}

void SetPenMode(std::int32_t mode) {
  if (GraphPort* p = Current(); p != nullptr && mode >= 0 && mode <= 3)
    p->penMode = static_cast<std::uint8_t>(mode);
}

void SetTextFont(std::int32_t number) {
  if (GraphPort* p = Current()) p->textFont = number;
}

void SetTextSize(std::int32_t size) {
  if (GraphPort* p = Current(); p != nullptr && size > 0) p->textSize = size;
}

void SetTextFace(std::int32_t face) {
  if (GraphPort* p = Current()) p->textFace = static_cast<std::uint8_t>(face);
}

void SetTextBackground(bool on) {
  if (GraphPort* p = Current())
    p->textMode = static_cast<std::uint8_t>(on ? Toolbox::kTextCopy : Toolbox::kTextOr);
}

std::int32_t ColorCount() { return kColorCount; }

RGBColor ColorOf(std::int32_t index) {
  return index >= 0 && index < kColorCount ? kColors[index].color : RGBColor{};
}

Chars ColorName(std::int32_t index) {
  return index >= 0 && index < kColorCount ? base::CharsOf(kColors[index].name) : Chars();
}

std::int32_t ColorNumber(Chars name) {
  for (std::int32_t i = 0; i < kColorCount; ++i)
    if (Strings::EqualCaseless(name, base::CharsOf(kColors[i].name))) return i;
  return -1;
}

void SetColor(std::int32_t index) {
  GraphPort* p = Current();
  if (p == nullptr || index < 0 || index >= kColorCount) return;
  p->colorIndex = static_cast<std::uint8_t>(index);
  p->foreColor = kColors[index].color;
}

void SetBackColor(std::int32_t index) {
  GraphPort* p = Current();
  if (p != nullptr && index >= 0 && index < kColorCount) p->backColor = kColors[index].color;
}

void SetRGBColor(const RGBColor& color) {
  if (GraphPort* p = Current()) p->foreColor = color;
}

// ---- Axes ----

double NiceStep(double range, std::int32_t maxSteps) {
  if (!(range > 0) || !std::isfinite(range)) return 0;
  const double raw = range / std::max(1, maxSteps);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / magnitude;
  constexpr double kSlack = 1 + 1e-9; // 0.3 / 0.1 is a hair above 3
  const double nice = norm <= kSlack ? 1 : norm <= 2 * kSlack ? 2 : norm <= 5 * kSlack ? 5 : 10;
  return nice * magnitude;
}

void TickLabel(double value, double step, base::VarChars label) {
  Strings::Clear(label);
  if (std::fabs(value) < step * 1e-6) value = 0; // no "-0" from rounding
  const double exponent = std::floor(std::log10(step) + 1e-9);
  if (exponent >= 6 || exponent <= -5 || std::fabs(value) >= 1e9) {
    NumberOut::AppendReal(value, label, 10);
  } else {
    const int decimals = exponent < 0 ? static_cast<int>(-exponent) : 0;
    NumberOut::AppendFixed(value, label, static_cast<int>(std::min<std::size_t>(label.high, 30)),
                           decimals);
  }
  Strings::StripLeading(label, ' ');
}

namespace {

// The tick values of [lo, hi] at multiples of step, at most kMaxTicks of them.
template <typename Proc> void ForEachTick(double lo, double hi, double step, Proc proc) {
  if (!(step > 0)) return;
  const double first = std::ceil(lo / step - 1e-9);
  const double last = std::floor(hi / step + 1e-9);
  for (double k = first; k <= last && k - first < kMaxTicks; k += 1) proc(k * step);
}

} // namespace

void DrawAxes(bool grid) {
  GraphPort* p = Current();
  if (p == nullptr) return;
  const World& w = p->world;
  const Point lowCorner = ToPixel(p, w.xMin, w.yMin);
  const Point highCorner = ToPixel(p, w.xMax, w.yMax);
  const std::int32_t h0 = lowCorner.h, v0 = lowCorner.v; // where the axes meet
  const double xLo = std::min(w.xMin, w.xMax), xHi = std::max(w.xMin, w.xMax);
  const double yLo = std::min(w.yMin, w.yMax), yHi = std::max(w.yMin, w.yMax);
  const double xStep = NiceStep(xHi - xLo, std::abs(highCorner.h - h0) / kPixelsPerXStep);
  const double yStep = NiceStep(yHi - yLo, std::abs(highCorner.v - v0) / kPixelsPerYStep);

  Drawing d(p);
  // Labels stand outside the world window, in the rest of the window.
  Toolbox::ClipRect(Toolbox::GetPortRect(p->window->window));
  Toolbox::FontInfo font;
  Toolbox::GetFontInfo(font);
  char label[kLabelHigh + 1];
  auto width = [&label] {
    return Toolbox::TextWidth(std::string_view(label, Strings::Length(label)));
  };

  if (grid) {
    Toolbox::RGBForeColor(ColorOf(kGridColor));
    ForEachTick(xLo, xHi, xStep, [&](double x) {
      const std::int32_t h = ToPixel(p, x, w.yMin).h;
      Toolbox::MoveTo(h, v0);
      Toolbox::LineTo(h, highCorner.v);
    });
    ForEachTick(yLo, yHi, yStep, [&](double y) {
      const std::int32_t v = ToPixel(p, w.xMin, y).v;
      Toolbox::MoveTo(h0, v);
      Toolbox::LineTo(highCorner.h, v);
    });
  }
  // The axes, ticks and labels in their own colour, whatever the port draws with.
  Toolbox::RGBForeColor(ColorOf(kAxesColor));
  Toolbox::MoveTo(h0, v0);
  Toolbox::LineTo(highCorner.h, v0);
  Toolbox::MoveTo(h0, v0);
  Toolbox::LineTo(h0, highCorner.v);
  // Ticks point away from the world window: down from the x axis, left of the y axis.
  const std::int32_t down = v0 >= highCorner.v ? 1 : -1;
  const std::int32_t outward = h0 <= highCorner.h ? -1 : 1;
  ForEachTick(xLo, xHi, xStep, [&](double x) {
    const std::int32_t h = ToPixel(p, x, w.yMin).h;
    Toolbox::MoveTo(h, v0);
    Toolbox::LineTo(h, v0 + down * kTickLength);
    TickLabel(x, xStep, label);
    const std::int32_t base = down > 0 ? v0 + kTickLength + kLabelGap + font.ascent
                                       : v0 - kTickLength - kLabelGap - font.descent;
    Toolbox::MoveTo(h - width() / 2, base);
    Toolbox::DrawText(label);
  });
  ForEachTick(yLo, yHi, yStep, [&](double y) {
    const std::int32_t v = ToPixel(p, w.xMin, y).v;
    Toolbox::MoveTo(h0, v);
    Toolbox::LineTo(h0 + outward * kTickLength, v);
    TickLabel(y, yStep, label);
    const std::int32_t gap = kTickLength + kLabelGap;
    const std::int32_t left = outward < 0 ? h0 - gap - width() : h0 + gap;
    Toolbox::MoveTo(left, v + (font.ascent - font.descent) / 2);
    Toolbox::DrawText(label);
  });
}

// ---- Pictures ----

std::int32_t SavePicture(GraphWindow* w, Chars hostPath) {
  constexpr std::int32_t kNoWindow = -1;
  if (!IsGraphWindow(w)) return kNoWindow;
  const Rect frame = Toolbox::GetPortRect(w->window);
  if (!w->pictureLost) {
    w->picture->frame = frame;
    return Toolbox::SavePicture(w->picture, hostPath);
  }
  // What the window shows, taken from its pixels.
  Toolbox::Picture pixels;
  pixels.frame = frame;
  Toolbox::DrawCommand copy;
  copy.op = Toolbox::DrawCommand::Op::CopyBits;
  copy.source = Toolbox::Port{w->window, nullptr, &w->window->port};
  copy.srcRect = frame;
  copy.rect = frame;
  copy.state = w->window->port;
  copy.state.clip = frame;
  pixels.commands.push_back(copy);
  return Toolbox::SavePicture(&pixels, hostPath);
}

} // namespace Graphics
