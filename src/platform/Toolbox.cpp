#include "platform/Toolbox.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <unistd.h>

#include "base/Charset.h"
#include "base/Strings.h"
#include "platform/Backend.h"
#include "platform/Events.h"

namespace Toolbox {

namespace {

inline constexpr std::size_t kFontNameLength = 32;
// Font numbers handed out from 25 up; the table stops growing at this many entries.
inline constexpr std::size_t kMaxFonts = 256;
inline constexpr std::int32_t kFirstFreeFont = 25;

struct FontEntry {
  std::int32_t number;
  std::string name;
};

struct StartFont {
  std::int32_t number;
  const char* name;
};
constexpr StartFont kStartFonts[] = {
    {0, "System"},           {1, "MS Sans"},  {2, "Times New Roman"},
    {3, "MS Sans"},          {4, "FixedSys"}, {16, "Times New Roman"},
    {20, "Times New Roman"}, {21, "Arial"},   {22, "Courier New"},
};

// Classic colour numbers and their colours.
struct ClassicColor {
  std::int32_t number;
  RGBColor color;
};
constexpr ClassicColor kClassicColors[] = {
    {30, {0xFFFF, 0xFFFF, 0xFFFF}}, {33, {0, 0, 0}},       {69, {0xFFFF, 0xFFFF, 0}},
    {137, {0xFFFF, 0, 0xFFFF}},     {205, {0xFFFF, 0, 0}}, {273, {0, 0xFFFF, 0xFFFF}},
    {341, {0, 0xFFFF, 0}},          {409, {0, 0, 0xFFFF}},
};

struct ResourceString {
  int id;
  const char* text;
};
constexpr ResourceString kResourceStrings[] = {
    {0, "Velmarin"},
    {1, "Version 0.1"},
};

// A command key: Control + key (upper case) runs the menu command.
struct Accelerator {
  char key;
  std::uint32_t command;
};

// The text a command key appends to its item.
constexpr std::string_view kCommandKeyText = "\tCtrl+";

struct State {
  bool initialised = false;
  std::vector<std::unique_ptr<WindowObject>> windows;
  std::vector<std::unique_ptr<ScrollBar>> scrollBars;
  std::uint32_t nextScrollRef = 1;
  Port port;
  PortState noPort; // the state drawing uses while no port is current
  std::vector<FontEntry> fonts;
  std::int32_t nextFont = kFirstFreeFont;
  std::vector<std::unique_ptr<Menu>> menus;
  std::vector<Menu*> bar;
  std::vector<Accelerator> accelerators;
  std::int32_t hilitedMenu = 0;
  std::vector<std::unique_ptr<Polygon>> polygons;
  Polygon* openPoly = nullptr;
  std::vector<std::unique_ptr<Picture>> pictures;
  Picture* openPicture = nullptr;
  std::vector<std::unique_ptr<Offscreen>> offscreens;
  std::vector<std::unique_ptr<Printer>> printers;
  char alertText[base::kLineHigh + 1] = {};
  CursorShape shape = CursorShape::Arrow;
  bool forced = false;
  CursorShape forcedShape = CursorShape::Arrow;
  CursorShape shownShape = CursorShape::Arrow;
  int cursorLevel = 0; // below 0 while hidden
  bool clipboardOwned = false;
  // Windows laid out over the client area that keep their proportions of it while the
  // user leaves them where they were put.
  struct Follower {
    Window window;
    Rect placed; // the content rectangle the window was given
    Rect outer;  // its decorations' rectangle then
    Rect client; // the client area then
  };
  std::vector<Follower> followers;
};
State state;
Backend* installed = nullptr;

std::string Text(Chars s) { return base::ToString(s); }

template <typename T> void Release(std::vector<std::unique_ptr<T>>& owner, const T* item) {
  std::erase_if(owner, [item](const std::unique_ptr<T>& p) { return p.get() == item; });
}

template <typename T> bool Owns(const std::vector<std::unique_ptr<T>>& owner, const T* item) {
  return std::any_of(owner.begin(), owner.end(),
                     [item](const std::unique_ptr<T>& p) { return p.get() == item; });
}

// ---- Drawing ----

DrawCommand Command(DrawCommand::Op op, DrawCommand::Verb verb = DrawCommand::Verb::Frame) {
  DrawCommand c;
  c.op = op;
  c.verb = verb;
  c.state = CurrentState();
  return c;
}

void Record(const DrawCommand& cmd) {
  if (state.openPicture != nullptr) state.openPicture->commands.push_back(cmd);
}

void Render(Port port, const DrawCommand& cmd) {
  if ((port.window != nullptr || port.offscreen != nullptr || port.printer != nullptr) &&
      installed != nullptr) {
    installed->Draw(port, cmd);
  }
}

// Draws into the current port and into the open picture.
void Emit(const DrawCommand& cmd) {
  Record(cmd);
  Render(state.port, cmd);
}

void Shape(DrawCommand::Op op, DrawCommand::Verb verb, const Rect& r,
           Pattern fill = Pattern::Black) {
  DrawCommand c = Command(op, verb);
  c.rect = r;
  c.fillPattern = fill;
  Emit(c);
}

void RoundShape(DrawCommand::Verb verb, const Rect& r, std::int32_t ow, std::int32_t oh,
                Pattern fill = Pattern::Black) {
  DrawCommand c = Command(DrawCommand::Op::RoundRect, verb);
  c.rect = r;
  c.a = Point{ow, oh};
  c.fillPattern = fill;
  Emit(c);
}

// Maps a coordinate of a picture's frame onto the rectangle it is drawn into.
std::int32_t Scale(std::int32_t x, std::int32_t from0, std::int32_t fromSize, std::int32_t to0,
                   std::int32_t toSize) {
  if (fromSize == 0) return to0 + (x - from0);
  return to0 + static_cast<std::int32_t>(std::int64_t{x - from0} * toSize / fromSize);
}

std::int32_t ScaleSize(std::int32_t d, std::int32_t fromSize, std::int32_t toSize) {
  return fromSize == 0 ? d : static_cast<std::int32_t>(std::int64_t{d} * toSize / fromSize);
}

Point MapPoint(Point p, const Rect& from, const Rect& to) {
  return Point{Scale(p.h, from.left, from.Width(), to.left, to.Width()),
               Scale(p.v, from.top, from.Height(), to.top, to.Height())};
}

Rect MapRect(const Rect& r, const Rect& from, const Rect& to) {
  const Point tl = MapPoint(Point{r.left, r.top}, from, to);
  const Point br = MapPoint(Point{r.right, r.bottom}, from, to);
  return Rect{tl.h, tl.v, br.h, br.v};
}

// A command of a picture as it is when the picture is drawn into dst.
DrawCommand MapCommand(DrawCommand c, const Rect& frame, const Rect& dst) {
  c.rect = MapRect(c.rect, frame, dst);
  switch (c.op) {
  case DrawCommand::Op::Line:
  case DrawCommand::Op::Text:
    c.a = MapPoint(c.a, frame, dst);
    c.b = MapPoint(c.b, frame, dst);
    break;
  case DrawCommand::Op::RoundRect:
  case DrawCommand::Op::Scroll:
    c.a = Point{ScaleSize(c.a.h, frame.Width(), dst.Width()),
                ScaleSize(c.a.v, frame.Height(), dst.Height())};
    break;
  case DrawCommand::Op::Poly:
  case DrawCommand::Op::Segments:
    for (Point& p : c.points) p = MapPoint(p, frame, dst);
    break;
  default:
    break;
  }
  return c;
}

// ---- Menus ----

void BarChanged() {
  if (installed != nullptr) installed->MenuBarChanged();
}

// A menu of the bar, or one that may hang under an item of one, changed.
void Touched(const Menu* menu) {
  if (menu->inBar || !state.bar.empty()) BarChanged();
}

bool HasItem(const Menu* menu, std::int32_t item) {
  return menu != nullptr && item >= 1 && item <= CountItems(menu);
}

MenuItem& Item(Menu* menu, std::int32_t item) {
  return menu->items[static_cast<std::size_t>(item - 1)];
}

std::int32_t MenuOf(std::uint32_t command) { return static_cast<std::int32_t>(command >> 8); }
std::int32_t ItemOf(std::uint32_t command) { return static_cast<std::int32_t>(command & 0xFF); }

void StripCommandKey(std::string& text) {
  const std::size_t n = kCommandKeyText.size() + 1;
  if (text.size() >= n && text.compare(text.size() - n, n - 1, kCommandKeyText) == 0) {
    text.resize(text.size() - n);
  }
}

// Removes the accelerators that match, and their text from the items they belonged to.
template <typename Pred> void RemoveAccelerators(Pred match) {
  for (const Accelerator& a : state.accelerators) {
    if (!match(a)) continue;
    Menu* menu = GetMenu(MenuOf(a.command));
    if (HasItem(menu, ItemOf(a.command))) {
      StripCommandKey(Item(menu, ItemOf(a.command)).text);
      Touched(menu);
    }
  }
  std::erase_if(state.accelerators, match);
}

// Keeps the accelerators of a menu on their items when items before them come or go.
void ShiftAccelerators(std::int32_t menuId, std::int32_t fromItem, std::int32_t delta) {
  for (Accelerator& a : state.accelerators) {
    if (MenuOf(a.command) == menuId && ItemOf(a.command) >= fromItem) {
      a.command = MenuCommand(static_cast<std::uint32_t>(menuId),
                              static_cast<std::uint32_t>(ItemOf(a.command) + delta));
    }
  }
}

// ---- Pointer ----

void ApplyCursor(CursorShape shape) {
  if (shape == state.shownShape) return;
  state.shownShape = shape;
  if (installed != nullptr) installed->SetCursorShape(shape);
}

} // namespace

// ---- Backend ----

void InstallBackend(Backend* backend) { installed = backend; }

Backend& TheBackend() {
  if (installed == nullptr) {
    std::fputs("Velmarin: the toolbox is used before a backend was installed\n", stderr);
    std::abort();
  }
  return *installed;
}

bool HasBackend() { return installed != nullptr; }

void Backend::Delay(std::uint32_t ms) {
  const std::uint32_t start = TickCount();
  while (TickCount() - start < ms) {
    if (!Pump(false)) Pump(true);
  }
}

// ---- Start and end ----

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  for (const StartFont& f : kStartFonts) state.fonts.push_back(FontEntry{f.number, f.name});
  state.nextFont = kFirstFreeFont;
}

void Shutdown() {
  if (installed != nullptr) {
    for (const auto& bar : state.scrollBars) installed->DestroyScrollBar(bar.get());
    for (const auto& w : state.windows) {
      installed->DestroyWindow(w.get());
      Events::FlushWindowEvents(w.get());
    }
    for (const auto& o : state.offscreens) installed->DestroyOffscreen(o.get());
    for (const auto& p : state.printers) installed->DestroyPrinter(p.get());
  }
  const bool hadBar = !state.bar.empty();
  state = State{};
  if (hadBar) BarChanged();
}

// ---- Windows ----

Window NewWindow(const Rect& bounds, Chars title, bool visible, int kind, bool closeBox,
                 void* refCon) {
  auto object = std::make_unique<WindowObject>();
  object->kind = kind;
  object->refCon = refCon;
  Events::SetMoving(true);
  void* handle =
      TheBackend().CreateWindow(object.get(), bounds, Text(title), kind, closeBox, visible);
  Events::SetMoving(false);
  if (handle == nullptr) return nullptr;
  object->handle = handle;
  state.windows.push_back(std::move(object));
  return state.windows.back().get();
}

void DisposeWindow(Window& w) {
  if (w == nullptr || !Owns(state.windows, w)) {
    w = nullptr;
    return;
  }
  while (!w->scrollBars.empty()) {
    ScrollBar* bar = w->scrollBars.back();
    DisposeScrollBar(bar);
  }
  if (state.port.window == w) state.port = Port{};
  StopFollowing(w);
  TheBackend().DestroyWindow(w);
  // After the platform window is gone, so that records posted while it was being
  // destroyed (focus changes) go too.
  Events::FlushWindowEvents(w);
  Release(state.windows, w);
  w = nullptr;
}

bool IsWindow(const WindowObject* w) { return w != nullptr && Owns(state.windows, w); }

void ShowWindow(Window w) {
  if (w != nullptr) TheBackend().ShowWindow(w, true);
}

void HideWindow(Window w) {
  if (w != nullptr) TheBackend().ShowWindow(w, false);
}

void SelectWindow(Window w) {
  if (w != nullptr) TheBackend().SelectWindow(w);
}

void RaiseWindow(Window w) {
  if (w != nullptr) TheBackend().RaiseWindow(w);
}

void FlushWindow(Window w) {
  if (w != nullptr) TheBackend().FlushWindow(w);
}

Window FrontWindow() { return installed != nullptr ? installed->FrontWindow() : nullptr; }

std::vector<Window> Windows() {
  return installed != nullptr ? installed->Windows() : std::vector<Window>{};
}

void SetWTitle(Window w, Chars title) {
  if (w != nullptr) TheBackend().SetTitle(w, Text(title));
}

void GetWTitle(Window w, VarChars title) {
  if (w == nullptr) {
    Strings::Clear(title);
    return;
  }
  Strings::Assign(title, Chars(TheBackend().Title(w)));
}

void MoveWindow(Window w, std::int32_t h, std::int32_t v, bool front) {
  if (w == nullptr) return;
  TheBackend().MoveWindow(w, Point{h, v});
  if (front) TheBackend().SelectWindow(w);
}

void SizeWindow(Window w, std::int32_t width, std::int32_t height) {
  if (w != nullptr) TheBackend().SizeWindow(w, std::max(width, 0), std::max(height, 0));
}

Rect GetWindowRect(Window w) { return w != nullptr ? TheBackend().ContentRect(w) : Rect{}; }

Rect GetPortRect(Window w) {
  const Rect r = GetWindowRect(w);
  return Rect{0, 0, r.Width(), r.Height()};
}

void MarkForUpdate(Window w, const Rect& r) {
  if (w != nullptr) TheBackend().Invalidate(w, r, true);
}

void UnmarkForUpdate(Window w, const Rect& r) {
  if (w != nullptr) TheBackend().Invalidate(w, r, false);
}

bool IsVisible(Window w) { return w != nullptr && TheBackend().IsVisible(w); }

void LocalToGlobal(Point& p) {
  if (state.port.window == nullptr) return;
  const Rect r = GetWindowRect(state.port.window);
  p.h += r.left;
  p.v += r.top;
}

void GlobalToLocal(Point& p) {
  if (state.port.window == nullptr) return;
  const Rect r = GetWindowRect(state.port.window);
  p.h -= r.left;
  p.v -= r.top;
}

Rect FrameClientRect() { return installed != nullptr ? installed->FrameClientRect() : Rect{}; }

Rect FitInFrame(int kind, Rect r, Point minimum) {
  const Rect room = FrameRoom(kind);
  const std::int32_t width = std::clamp(r.Width(), minimum.h, std::max(minimum.h, room.Width()));
  const std::int32_t height = std::clamp(r.Height(), minimum.v, std::max(minimum.v, room.Height()));
  const std::int32_t left = std::clamp(r.left, room.left, std::max(room.left, room.right - width));
  const std::int32_t top = std::clamp(r.top, room.top, std::max(room.top, room.bottom - height));
  return Rect{left, top, left + width, top + height};
}

void KeepInFrame(Window w) {
  if (!IsWindow(w)) return;
  const Rect r = GetWindowRect(w);
  const Rect fitted = FitInFrame(w->kind, r);
  if (fitted.left != r.left || fitted.top != r.top) MoveWindow(w, fitted.left, fitted.top, false);
  if (fitted.Width() != r.Width() || fitted.Height() != r.Height())
    SizeWindow(w, fitted.Width(), fitted.Height());
}

namespace {

// The shown windows with a caption (a tip floats over the others without one).
std::vector<Window> CaptionedWindows() {
  std::vector<Window> shown;
  for (Window w : Windows())
    if (IsVisible(w) && w->kind != kPlainWindow && (w->flags & kFloatingFlag) == 0)
      shown.push_back(w);
  return shown;
}

Rect MarginsOf(int kind) { return installed != nullptr ? installed->WindowMargins(kind) : Rect{}; }

// The window's content with its decorations around it.
Rect Outer(int kind, const Rect& content) {
  const Rect m = MarginsOf(kind);
  return Rect{content.left - m.left, content.top - m.top, content.right + m.right,
              content.bottom + m.bottom};
}

// The caption of a shown window: the part of its decorations above its content.
Rect Caption(Window w) {
  const Rect content = GetWindowRect(w);
  const Rect outer = Outer(w->kind, content);
  return Rect{outer.left, outer.top, outer.right, content.top};
}

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// How far a cascade steps: a caption's height, so that each caption stays in view.
constexpr std::int32_t kMinCascadeStep = 16;

} // namespace

Rect CascadePlace(int kind, const Rect& wanted, std::int32_t first) {
  const Rect room = FrameRoom(kind);
  const std::int32_t step = std::max(kMinCascadeStep, MarginsOf(kind).top);
  const std::vector<Window> shown = CaptionedWindows();
  auto taken = [&shown](Point p) {
    for (Window w : shown) {
      const Rect r = GetWindowRect(w);
      if (std::abs(r.left - p.h) < 2 && std::abs(r.top - p.v) < 2) return true;
    }
    return false;
  };
  // The steps from first on where the window keeps at least half its size; then the
  // cascade starts again at the top left of wanted.
  std::vector<Point> steps;
  for (std::int32_t k = first; steps.size() < 64; ++k) {
    const Point p{wanted.left + k * step, wanted.top + k * step};
    if (p.h + wanted.Width() / 2 > room.right || p.v + wanted.Height() / 2 > room.bottom) break;
    steps.push_back(p);
  }
  for (std::int32_t k = 0; k < first && steps.size() < 128; ++k)
    steps.push_back(Point{wanted.left + k * step, wanted.top + k * step});
  Point at{wanted.left + first * step, wanted.top + first * step};
  for (const Point& p : steps) {
    if (!taken(p)) {
      at = p;
      break;
    }
  }
  Rect r = wanted;
  OffsetRect(r, at.h - r.left, at.v - r.top);
  // Shrunk at the right and bottom rather than moved back over the window it steps from.
  r.right = std::min(r.right, std::max(r.left + 1, room.right));
  r.bottom = std::min(r.bottom, std::max(r.top + 1, room.bottom));
  return FitInFrame(kind, r);
}

Rect ClearOfCaptions(int kind, const Rect& wanted) {
  const Rect room = FrameRoom(kind);
  const Rect start = FitInFrame(kind, wanted);
  const std::vector<Window> shown = CaptionedWindows();
  // The tops to try: where it is, and just below each caption under it.
  std::vector<std::int32_t> tops{start.top};
  for (Window w : shown) {
    const std::int32_t below = Caption(w).bottom + MarginsOf(kind).top;
    if (below > start.top && below + start.Height() <= room.bottom) tops.push_back(below);
  }
  std::sort(tops.begin(), tops.end());
  auto covered = [&](std::int32_t top) {
    Rect r = start;
    OffsetRect(r, 0, top - r.top);
    const Rect outer = Outer(kind, r);
    int n = 0;
    for (Window w : shown) n += Overlap(outer, Caption(w)) ? 1 : 0;
    return n;
  };
  std::int32_t best = start.top;
  int fewest = covered(best);
  for (std::int32_t top : tops) {
    const int n = covered(top);
    if (n < fewest || (n == fewest && fewest > 0)) {
      best = top;
      fewest = n;
    }
    if (fewest == 0) break;
  }
  Rect r = start;
  OffsetRect(r, 0, best - r.top);
  return r;
}

namespace {

// The content of a window of the kind inside outer (its decorations' rectangle), at least
// a pixel each way; a window of a fixed size keeps the size it has where it fits.
Rect ContentIn(int kind, const Rect& outer, const Rect& now) {
  const Rect m = MarginsOf(kind);
  Rect content{outer.left + m.left, outer.top + m.top, outer.right - m.right,
               outer.bottom - m.bottom};
  if (kind != kDocumentWindow) {
    content.right = content.left + std::min(now.Width(), content.Width());
    content.bottom = content.top + std::min(now.Height(), content.Height());
  }
  content.right = std::max(content.right, content.left + 1);
  content.bottom = std::max(content.bottom, content.top + 1);
  return content;
}

// Gives w the content that fits inside outer as a user's drag would, and has it follow
// the frame.
void PlaceIn(Window w, const Rect& outer) {
  const Rect now = GetWindowRect(w);
  const Rect content = ContentIn(w->kind, outer, now);
  if (!(now == content)) TheBackend().ArrangeWindow(w, content);
  FollowFrame(w);
}

// x of a span from..from+length, taken to the same proportion of the span to..to+toLength.
std::int32_t Scaled(std::int32_t x, std::int32_t from, std::int32_t length, std::int32_t to,
                    std::int32_t toLength) {
  if (length <= 0) return to + (x - from);
  const std::int64_t offset = static_cast<std::int64_t>(x - from) * toLength;
  return to + static_cast<std::int32_t>((2 * offset + length) / (2 * length));
}

} // namespace

void FollowFrame(Window w) {
  if (!IsWindow(w)) return;
  StopFollowing(w);
  const Rect placed = GetWindowRect(w);
  state.followers.push_back(State::Follower{w, placed, Outer(w->kind, placed), FrameClientRect()});
}

void StopFollowing(Window w) {
  std::erase_if(state.followers, [w](const State::Follower& f) { return f.window == w; });
}

void FrameResized() {
  const Rect client = FrameClientRect();
  if (client.Empty()) return;
  // The user's moves since a window was put in place end its following.
  std::erase_if(state.followers, [](const State::Follower& f) {
    return !IsWindow(f.window) || !(GetWindowRect(f.window) == f.placed);
  });
  for (State::Follower& f : state.followers) {
    // Always from the first placement, so that no rounding gathers over many changes.
    const Rect outer{
        Scaled(f.outer.left, f.client.left, f.client.Width(), client.left, client.Width()),
        Scaled(f.outer.top, f.client.top, f.client.Height(), client.top, client.Height()),
        Scaled(f.outer.right, f.client.left, f.client.Width(), client.left, client.Width()),
        Scaled(f.outer.bottom, f.client.top, f.client.Height(), client.top, client.Height())};
    const Rect content = ContentIn(f.window->kind, outer, f.placed);
    if (!(content == f.placed)) TheBackend().ArrangeWindow(f.window, content);
    f.placed = GetWindowRect(f.window);
  }
}

void TileWindows() {
  const std::vector<Window> windows = CaptionedWindows();
  const Rect client = FrameClientRect();
  const auto n = static_cast<std::int32_t>(windows.size());
  if (n == 0 || client.Empty()) return;
  // A grid as near square as may be, filled row by row; the last row's tiles share its
  // whole width, so that no part of the area stays empty.
  std::int32_t columns = 1;
  while (columns * columns < n) ++columns;
  const std::int32_t rows = (n + columns - 1) / columns;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t row = i / columns;
    const std::int32_t column = i % columns;
    const std::int32_t inRow = row < rows - 1 ? columns : n - columns * (rows - 1);
    const Rect tile{client.left + column * client.Width() / inRow,
                    client.top + row * client.Height() / rows,
                    client.left + (column + 1) * client.Width() / inRow,
                    client.top + (row + 1) * client.Height() / rows};
    PlaceIn(windows[static_cast<std::size_t>(i)], tile);
  }
}

void CascadeWindows() {
  std::vector<Window> windows = CaptionedWindows();
  const Rect client = FrameClientRect();
  const auto n = static_cast<std::int32_t>(windows.size());
  if (n == 0 || client.Empty()) return;
  // Back first, so that the front window ends at the last step, on top.
  std::reverse(windows.begin(), windows.end());
  const std::int32_t step = std::max(kMinCascadeStep, MarginsOf(kDocumentWindow).top);
  // Every window the same size, as large as the steps leave room for but never below two
  // thirds of the area; where the steps would go past its edge they start again.
  const std::int32_t width = std::max(client.Width() - (n - 1) * step, client.Width() * 2 / 3);
  const std::int32_t height = std::max(client.Height() - (n - 1) * step, client.Height() * 2 / 3);
  const std::int32_t steps =
      1 + std::max(0, std::min(client.Width() - width, client.Height() - height) / step);
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t k = i % steps;
    const Rect outer{client.left + k * step, client.top + k * step, client.left + k * step + width,
                     client.top + k * step + height};
    PlaceIn(windows[static_cast<std::size_t>(i)], outer);
  }
}

Rect FrameRoom(int kind) {
  const Rect client = FrameClientRect();
  const Rect m = installed != nullptr ? installed->WindowMargins(kind) : Rect{};
  return Rect{client.left + m.left, client.top + m.top, client.right - m.right,
              client.bottom - m.bottom};
}

// ---- Scroll bars ----

ScrollBar* NewScrollBar(Window w, const Rect& bounds, bool vertical) {
  if (w == nullptr) return nullptr;
  auto bar = std::make_unique<ScrollBar>();
  bar->ref = state.nextScrollRef++;
  bar->window = w;
  bar->bounds = bounds;
  bar->vertical = vertical;
  bar->handle = TheBackend().CreateScrollBar(w, bar.get(), bounds, vertical);
  if (bar->handle == nullptr) return nullptr;
  w->scrollBars.push_back(bar.get());
  state.scrollBars.push_back(std::move(bar));
  return state.scrollBars.back().get();
}

ScrollBar* FindScrollBar(std::uint32_t ref) {
  for (const auto& bar : state.scrollBars) {
    if (bar->ref == ref) return bar.get();
  }
  return nullptr;
}

void DisposeScrollBar(ScrollBar*& bar) {
  if (bar == nullptr || !Owns(state.scrollBars, bar)) {
    bar = nullptr;
    return;
  }
  std::erase(bar->window->scrollBars, bar);
  TheBackend().DestroyScrollBar(bar);
  Release(state.scrollBars, bar);
  bar = nullptr;
}

bool IsScrollBar(const ScrollBar* bar) { return bar != nullptr && Owns(state.scrollBars, bar); }

void SetScrollRange(ScrollBar* bar, std::int32_t minimum, std::int32_t maximum) {
  if (bar == nullptr) return;
  bar->minimum = minimum;
  bar->maximum = maximum;
  if (minimum <= maximum) bar->value = std::clamp(bar->value, minimum, maximum);
  TheBackend().UpdateScrollBar(bar);
}

void SetScrollValue(ScrollBar* bar, std::int32_t value) {
  if (bar == nullptr) return;
  bar->value = bar->minimum <= bar->maximum ? std::clamp(value, bar->minimum, bar->maximum) : value;
  TheBackend().UpdateScrollBar(bar);
}

std::int32_t GetScrollValue(ScrollBar* bar) { return bar != nullptr ? bar->value : 0; }

void ShowScrollBar(ScrollBar* bar, bool shown) {
  if (bar == nullptr) return;
  bar->shown = shown;
  TheBackend().UpdateScrollBar(bar);
}

void MoveScrollBar(ScrollBar* bar, const Rect& bounds) {
  if (bar == nullptr) return;
  bar->bounds = bounds;
  TheBackend().UpdateScrollBar(bar);
}

// ---- The current port ----

void SetPort(Window w) { state.port = w != nullptr ? Port{w, nullptr, &w->port} : Port{}; }

void SetPortOffscreen(Offscreen* o) {
  state.port = o != nullptr ? Port{nullptr, o, &o->state} : Port{};
}

Port GetPort() { return state.port; }

Window CurrentWindow() { return state.port.window; }

PortState& CurrentState() { return state.port.state != nullptr ? *state.port.state : state.noPort; }

// ---- Pen and lines ----

void MoveTo(std::int32_t h, std::int32_t v) { CurrentState().pen = Point{h, v}; }

void Move(std::int32_t dh, std::int32_t dv) {
  Point& pen = CurrentState().pen;
  MoveTo(pen.h + dh, pen.v + dv);
}

void LineTo(std::int32_t h, std::int32_t v) {
  PortState& s = CurrentState();
  const Point to{h, v};
  if (state.openPoly != nullptr) {
    // While a polygon is open the pen's lines become its points and are not drawn.
    if (state.openPoly->points.empty()) state.openPoly->points.push_back(s.pen);
    state.openPoly->points.push_back(to);
  } else {
    DrawCommand c = Command(DrawCommand::Op::Line);
    c.a = s.pen;
    c.b = to;
    Emit(c);
  }
  s.pen = to;
}

void Line(std::int32_t dh, std::int32_t dv) {
  const Point pen = CurrentState().pen;
  LineTo(pen.h + dh, pen.v + dv);
}

void DrawSegments(const std::vector<Point>& ends) {
  if (ends.size() < 2) return;
  DrawCommand c = Command(DrawCommand::Op::Segments);
  c.points.assign(ends.begin(),
                  ends.begin() + static_cast<std::ptrdiff_t>(ends.size() & ~std::size_t{1}));
  Emit(c);
  CurrentState().pen = c.points.back();
}

Point GetPen() { return CurrentState().pen; }

void PenSize(std::int32_t width, std::int32_t height) {
  CurrentState().penSize = Point{width, height};
}

void PenMode(PenModeKind mode) { CurrentState().penMode = mode; }

void PenPat(Pattern pattern) { CurrentState().penPattern = pattern; }

void PenNormal() {
  PortState& s = CurrentState();
  s.penSize = Point{1, 1};
  s.penMode = PenModeKind::Copy;
  s.penPattern = Pattern::Black;
}

void SmoothDrawing(bool on) { CurrentState().smooth = on; }

// ---- Colours ----

namespace {
RGBColor Classic(std::int32_t number) {
  for (const ClassicColor& c : kClassicColors) {
    if (c.number == number) return c.color;
  }
  return RGBColor{0, 0, 0};
}
} // namespace

void ForeColor(std::int32_t classic) { CurrentState().foreColor = Classic(classic); }
void BackColor(std::int32_t classic) { CurrentState().backColor = Classic(classic); }
void RGBForeColor(const RGBColor& c) { CurrentState().foreColor = c; }
void RGBBackColor(const RGBColor& c) { CurrentState().backColor = c; }

// ---- Shapes ----

using Op = DrawCommand::Op;
using Verb = DrawCommand::Verb;

void FrameRect(const Rect& r) { Shape(Op::Rect, Verb::Frame, r); }
void PaintRect(const Rect& r) { Shape(Op::Rect, Verb::Paint, r); }
void EraseRect(const Rect& r) { Shape(Op::Rect, Verb::Erase, r); }
void InvertRect(const Rect& r) { Shape(Op::Rect, Verb::Invert, r); }
void FillRect(const Rect& r, Pattern p) { Shape(Op::Rect, Verb::Fill, r, p); }

void FrameRoundRect(const Rect& r, std::int32_t ow, std::int32_t oh) {
  RoundShape(Verb::Frame, r, ow, oh);
}
void PaintRoundRect(const Rect& r, std::int32_t ow, std::int32_t oh) {
  RoundShape(Verb::Paint, r, ow, oh);
}
void EraseRoundRect(const Rect& r, std::int32_t ow, std::int32_t oh) {
  RoundShape(Verb::Erase, r, ow, oh);
}
void InvertRoundRect(const Rect& r, std::int32_t ow, std::int32_t oh) {
  RoundShape(Verb::Invert, r, ow, oh);
}
void FillRoundRect(const Rect& r, std::int32_t ow, std::int32_t oh, Pattern p) {
  RoundShape(Verb::Fill, r, ow, oh, p);
}

void FrameOval(const Rect& r) { Shape(Op::Oval, Verb::Frame, r); }
void PaintOval(const Rect& r) { Shape(Op::Oval, Verb::Paint, r); }
void EraseOval(const Rect& r) { Shape(Op::Oval, Verb::Erase, r); }
void InvertOval(const Rect& r) { Shape(Op::Oval, Verb::Invert, r); }
void FillOval(const Rect& r, Pattern p) { Shape(Op::Oval, Verb::Fill, r, p); }

namespace {
void ArcShape(Verb verb, const Rect& r, std::int32_t startAngle, std::int32_t arcAngle) {
  DrawCommand c = Command(Op::Arc, verb);
  c.rect = r;
  c.a = Point{startAngle, arcAngle};
  Emit(c);
}

void PolyShape(Verb verb, const Polygon* poly) {
  if (poly == nullptr) return;
  DrawCommand c = Command(Op::Poly, verb);
  c.points = poly->points;
  Emit(c);
}
} // namespace

void FrameArc(const Rect& r, std::int32_t startAngle, std::int32_t arcAngle) {
  ArcShape(Verb::Frame, r, startAngle, arcAngle);
}
void PaintArc(const Rect& r, std::int32_t startAngle, std::int32_t arcAngle) {
  ArcShape(Verb::Paint, r, startAngle, arcAngle);
}

// ---- Polygons ----

Polygon* OpenPoly() {
  state.polygons.push_back(std::make_unique<Polygon>());
  state.openPoly = state.polygons.back().get();
  return state.openPoly;
}

void ClosePoly() { state.openPoly = nullptr; }

void KillPoly(Polygon*& poly) {
  if (poly == state.openPoly) state.openPoly = nullptr;
  Release(state.polygons, static_cast<const Polygon*>(poly));
  poly = nullptr;
}

void FramePoly(const Polygon* poly) { PolyShape(Verb::Frame, poly); }
void PaintPoly(const Polygon* poly) { PolyShape(Verb::Paint, poly); }

void ClipRect(const Rect& r) { CurrentState().clip = r; }

void ScrollRect(const Rect& r, std::int32_t dh, std::int32_t dv) {
  DrawCommand c = Command(Op::Scroll);
  c.rect = r;
  c.a = Point{dh, dv};
  Emit(c);
}

// ---- Text ----

void DrawText(Chars text) { DrawString(std::string_view(text.p, Strings::Length(text))); }

void DrawString(std::string_view text) {
  if (text.empty()) return;
  DrawCommand c = Command(Op::Text);
  c.a = CurrentState().pen;
  c.text = std::string(text);
  Emit(c);
  CurrentState().pen.h += TextWidth(text);
}

void DrawChar(char c) { DrawString(std::string_view(&c, 1)); }

std::int32_t TextWidth(std::string_view text) {
  if (text.empty()) return 0;
  if (state.port.printer != nullptr)
    return TheBackend().PrinterTextWidth(state.port.printer, CurrentState(), text);
  return TheBackend().TextWidth(CurrentState(), text);
}

std::int32_t CharWidth(char c) { return TextWidth(std::string_view(&c, 1)); }

void GetFontInfo(FontInfo& info) {
  info = state.port.printer != nullptr
             ? TheBackend().PrinterFontInfo(state.port.printer, CurrentState())
             : TheBackend().GetFontInfo(CurrentState());
}

void TextFont(std::int32_t number) { CurrentState().fontNumber = number; }
void TextSize(std::int32_t size) { CurrentState().fontSize = size; }
void TextFace(std::int32_t style) { CurrentState().fontStyle = style; }
void TextMode(std::int32_t mode) { CurrentState().textMode = mode; }
void TextUtf8(bool on) { CurrentState().utf8Text = on; }

std::int32_t FontNumber(Chars name) {
  Init();
  char face[kFontNameLength + 1];
  Strings::Assign(face, name);
  if (face[0] == 0) return 0; // no name: the system font
  for (const FontEntry& f : state.fonts) {
    if (Strings::EqualCaseless(Chars(f.name), face)) return f.number;
  }
  if (state.fonts.size() >= kMaxFonts) return -1;
  state.fonts.push_back(FontEntry{state.nextFont, face});
  return state.nextFont++;
}

void FontName(std::int32_t number, VarChars name) {
  Init();
  for (const FontEntry& f : state.fonts) {
    if (f.number == number) {
      Strings::Assign(name, Chars(f.name));
      return;
    }
  }
  Strings::Clear(name);
}

void FontFamily(std::int32_t number, VarChars family) {
  FontName(number, family);
  if (family[0] == 0 || installed == nullptr) return;
  Strings::Assign(family, Chars(installed->FontFamily(Text(family))));
}

// ---- Pictures ----

Picture* OpenPicture(const Rect& frame) {
  state.pictures.push_back(std::make_unique<Picture>());
  state.openPicture = state.pictures.back().get();
  state.openPicture->frame = frame;
  return state.openPicture;
}

void ClosePicture() { state.openPicture = nullptr; }

Picture* SetRecording(Picture* pic) {
  Picture* before = state.openPicture;
  state.openPicture = pic;
  return before;
}

void DrawPicture(const Picture* pic, const Rect& dst) {
  if (pic == nullptr) return;
  // A picture drawn while another is recorded is copied into it, so that the recording
  // does not depend on the drawn picture living on.
  if (state.openPicture != nullptr && state.openPicture != pic) {
    for (const DrawCommand& c : pic->commands) Record(MapCommand(c, pic->frame, dst));
  }
  DrawCommand c = Command(Op::Picture);
  c.rect = dst;
  c.picture = pic;
  Render(state.port, c);
}

void KillPicture(Picture*& pic) {
  if (pic == state.openPicture) state.openPicture = nullptr;
  Release(state.pictures, static_cast<const Picture*>(pic));
  pic = nullptr;
}

std::int32_t SavePicture(const Picture* pic, Chars hostPath) {
  if (pic == nullptr) return -1;
  return TheBackend().SavePicture(*pic, Charset::HostName(Text(hostPath)));
}

// ---- Off-screen bitmaps ----

Offscreen* NewOffscreen(std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return nullptr;
  auto o = std::make_unique<Offscreen>();
  o->width = width;
  o->height = height;
  o->handle = TheBackend().CreateOffscreen(o.get(), width, height);
  if (o->handle == nullptr) return nullptr;
  state.offscreens.push_back(std::move(o));
  return state.offscreens.back().get();
}

void DisposeOffscreen(Offscreen*& o) {
  if (o == nullptr || !Owns(state.offscreens, o)) {
    o = nullptr;
    return;
  }
  if (state.port.offscreen == o) state.port = Port{};
  TheBackend().DestroyOffscreen(o);
  Release(state.offscreens, o);
  o = nullptr;
}

// FIXME: block transfers are not recorded into an open picture; it would need a copy
// of the source's pixels.
void CopyBits(Port src, Port dst, const Rect& srcRect, const Rect& dstRect) {
  DrawCommand c;
  c.op = Op::CopyBits;
  c.state = dst.state != nullptr ? *dst.state : PortState{};
  c.source = src;
  c.srcRect = srcRect;
  c.rect = dstRect;
  Render(dst, c);
}

namespace {
// The current port's own rectangle cut by its clip rectangle.
Rect VisibleArea() {
  Rect area;
  if (state.port.window != nullptr) {
    area = GetPortRect(state.port.window);
  } else if (state.port.offscreen != nullptr) {
    area = Rect{0, 0, state.port.offscreen->width, state.port.offscreen->height};
  } else if (state.port.printer != nullptr) {
    area = state.port.printer->page;
  } else {
    return Rect{};
  }
  Rect visible;
  SectRect(area, CurrentState().clip, visible);
  return visible;
}
} // namespace

bool PtVisible(Point p) { return PtInRect(p, VisibleArea()); }

bool RectVisible(const Rect& r) {
  Rect ignored;
  return SectRect(r, VisibleArea(), ignored);
}

// ---- Controls ----

void DrawControl(ControlKind kind, const Rect& r, std::uint32_t controlState) {
  DrawCommand c = Command(Op::Control);
  c.rect = r;
  c.control = kind;
  c.controlState = controlState;
  Emit(c);
}

// ---- Printing ----

Printer* NewPrinter() {
  if (installed == nullptr) return nullptr;
  auto p = std::make_unique<Printer>();
  p->handle = installed->CreatePrinter(p.get());
  if (p->handle == nullptr) return nullptr;
  state.printers.push_back(std::move(p));
  return state.printers.back().get();
}

void DisposePrinter(Printer*& p) {
  if (p == nullptr || !Owns(state.printers, p)) {
    p = nullptr;
    return;
  }
  if (p->documentOpen) EndDocument(p);
  if (state.port.printer == p) state.port = Port{};
  TheBackend().DestroyPrinter(p);
  Release(state.printers, p);
  p = nullptr;
}

bool IsPrinter(const Printer* p) { return p != nullptr && Owns(state.printers, p); }

bool PageSetupDialog(Printer* p) {
  return IsPrinter(p) && !p->documentOpen && TheBackend().PageSetupDialog(p);
}

bool PrintDialog(Printer* p) {
  return IsPrinter(p) && !p->documentOpen && TheBackend().PrintDialog(p);
}

bool MarginsDialog(PrintMargins& m) {
  char face[kFontNameLength + 1];
  FontName(m.fontNumber, face);
  std::string name = face;
  PrintMargins shown = m;
  if (!TheBackend().MarginsDialog(shown, name)) return false;
  // Another face gets its number; one the table cannot take keeps the font shown.
  shown.fontNumber = m.fontNumber;
  if (name != face && !name.empty()) {
    const std::int32_t number = FontNumber(Chars(name));
    if (number >= 0) shown.fontNumber = number;
  }
  m = shown;
  return true;
}

bool BeginDocument(Printer* p, Chars title) {
  if (!IsPrinter(p) || p->documentOpen) return false;
  if (!TheBackend().BeginDocument(p, Text(title))) return false;
  p->documentOpen = true;
  p->pages = 0;
  return true;
}

bool BeginPage(Printer* p) {
  if (!IsPrinter(p) || !p->documentOpen || !TheBackend().BeginPage(p)) return false;
  ++p->pages;
  return true;
}

void EndPage(Printer* p) {
  if (IsPrinter(p) && p->documentOpen) TheBackend().EndPage(p);
}

void EndDocument(Printer* p) {
  if (!IsPrinter(p) || !p->documentOpen) return;
  TheBackend().EndDocument(p);
  p->documentOpen = false;
}

void SetPortPrinter(Printer* p) {
  state.port = p != nullptr ? Port{nullptr, nullptr, &p->state, p} : Port{};
}

// ---- Pointer ----

void SetCursorShape(CursorShape shape) {
  state.shape = shape;
  if (!state.forced) ApplyCursor(shape);
}

void ForceCursorShape(bool on, CursorShape shape) {
  state.forced = on && shape != CursorShape::Arrow;
  state.forcedShape = shape;
  ApplyCursor(CurrentCursorShape());
}

CursorShape CurrentCursorShape() { return state.forced ? state.forcedShape : state.shape; }

void AdjustCursor(Point where) {
  if (state.forced) {
    ApplyCursor(state.forcedShape);
    return;
  }
  const Window front = FrontWindow();
  const bool overFront = front != nullptr && PtInRect(where, GetWindowRect(front));
  ApplyCursor(overFront ? state.shape : CursorShape::Arrow);
}

void ShowCursor() {
  if (state.cursorLevel < 0 && ++state.cursorLevel == 0) TheBackend().ShowCursor(true);
}

void HideCursor() {
  if (state.cursorLevel-- == 0) TheBackend().ShowCursor(false);
}

// ---- Menus ----

Menu* NewMenu(std::int32_t menuId, Chars title) {
  auto menu = std::make_unique<Menu>();
  menu->id = menuId;
  menu->title = Text(title);
  state.menus.push_back(std::move(menu));
  return state.menus.back().get();
}

void InsertMenu(Menu* menu, std::int32_t beforeId) {
  if (menu == nullptr || menu->inBar) return;
  auto at = std::find_if(state.bar.begin(), state.bar.end(),
                         [beforeId](const Menu* m) { return beforeId != 0 && m->id == beforeId; });
  state.bar.insert(at, menu);
  menu->inBar = true;
  BarChanged();
}

void DeleteMenu(std::int32_t menuId) {
  auto at = std::find_if(state.bar.begin(), state.bar.end(),
                         [menuId](const Menu* m) { return m->id == menuId; });
  if (at == state.bar.end()) return;
  (*at)->inBar = false;
  state.bar.erase(at);
  BarChanged();
}

void DisposeMenu(Menu*& menu) {
  if (menu == nullptr || !Owns(state.menus, menu)) {
    menu = nullptr;
    return;
  }
  const std::int32_t id = menu->id;
  std::erase_if(state.accelerators, [id](const Accelerator& a) { return MenuOf(a.command) == id; });
  const bool inBar = menu->inBar;
  std::erase(state.bar, menu);
  Release(state.menus, static_cast<const Menu*>(menu));
  menu = nullptr;
  if (inBar) BarChanged();
}

Menu* GetMenu(std::int32_t menuId) {
  for (const auto& m : state.menus) {
    if (m->id == menuId) return m.get();
  }
  return nullptr;
}

void DrawMenuBar() { BarChanged(); }

void AppendItem(Menu* menu, Chars text) {
  if (menu == nullptr) return;
  menu->items.push_back(MenuItem{Text(text)});
  Touched(menu);
}

void InsertItem(Menu* menu, Chars text, std::int32_t afterItem) {
  if (menu == nullptr) return;
  const std::int32_t at = std::clamp(afterItem, 0, CountItems(menu));
  menu->items.insert(menu->items.begin() + at, MenuItem{Text(text)});
  ShiftAccelerators(menu->id, at + 1, 1);
  Touched(menu);
}

void DeleteItem(Menu* menu, std::int32_t item) {
  if (!HasItem(menu, item)) return;
  const std::uint32_t command =
      MenuCommand(static_cast<std::uint32_t>(menu->id), static_cast<std::uint32_t>(item));
  std::erase_if(state.accelerators,
                [command](const Accelerator& a) { return a.command == command; });
  menu->items.erase(menu->items.begin() + (item - 1));
  ShiftAccelerators(menu->id, item + 1, -1);
  Touched(menu);
}

std::int32_t CountItems(const Menu* menu) {
  return menu != nullptr ? static_cast<std::int32_t>(menu->items.size()) : 0;
}

void SetItemText(Menu* menu, std::int32_t item, Chars text) {
  if (!HasItem(menu, item)) return;
  Item(menu, item).text = Text(text);
  Touched(menu);
}

void GetItemText(const Menu* menu, std::int32_t item, VarChars text) {
  if (!HasItem(menu, item)) {
    Strings::Clear(text);
    return;
  }
  Strings::Assign(text, Chars(menu->items[static_cast<std::size_t>(item - 1)].text));
}

void CheckItem(Menu* menu, std::int32_t item, bool checked) {
  if (!HasItem(menu, item)) return;
  Item(menu, item).checked = checked;
  Touched(menu);
}

void EnableItem(Menu* menu, std::int32_t item) {
  if (!HasItem(menu, item)) return;
  Item(menu, item).enabled = true;
  Touched(menu);
}

void DisableItem(Menu* menu, std::int32_t item) {
  if (!HasItem(menu, item)) return;
  Item(menu, item).enabled = false;
  Touched(menu);
}

std::int32_t ItemState(const Menu* menu, std::int32_t item) {
  if (!HasItem(menu, item)) return 0;
  const MenuItem& i = menu->items[static_cast<std::size_t>(item - 1)];
  return (i.enabled ? 1 : 0) | (i.checked ? 2 : 0);
}

void SetItemCmd(Menu* menu, std::int32_t item, char key) {
  if (!HasItem(menu, item)) return;
  const std::uint32_t command =
      MenuCommand(static_cast<std::uint32_t>(menu->id), static_cast<std::uint32_t>(item));
  const char upper = Strings::Cap(key);
  // One item per key and one key per item: whatever held either goes, text included.
  RemoveAccelerators(
      [&](const Accelerator& a) { return a.command == command || (key != 0 && a.key == upper); });
  if (key != 0) {
    state.accelerators.push_back(Accelerator{upper, command});
    Item(menu, item).text += std::string(kCommandKeyText) + key;
  }
  Touched(menu);
}

void SetItemSubmenu(Menu* menu, std::int32_t item, std::int32_t submenuId) {
  if (!HasItem(menu, item)) return;
  Item(menu, item).submenu = submenuId;
  Touched(menu);
}

std::uint32_t AcceleratorFor(char key) {
  const char upper = Strings::Cap(key);
  for (const Accelerator& a : state.accelerators) {
    if (a.key == upper) return a.command;
  }
  return 0;
}

std::uint32_t QuitMenuCommand() { return AcceleratorFor('Q'); }

std::int32_t PopUpMenu(Menu* menu, Point p) {
  if (menu == nullptr || menu->items.empty()) return 0;
  const std::int32_t chosen = TheBackend().PopUpMenu(*menu, p);
  return chosen >= 1 && chosen <= CountItems(menu) ? chosen : 0;
}

void HiliteMenu(std::int32_t menuId) { state.hilitedMenu = menuId; }

void SetMenuSelectProc(MenuSelectProc proc) { Events::SetMenuSelectProc(proc); }

const std::vector<Menu*>& MenuBar() { return state.bar; }

// ---- Alerts and standard dialogs ----

void SetAlertText(Chars text) { Strings::Assign(state.alertText, text); }

int Alert(int code) {
  const int answer = TheBackend().MessageBox(state.alertText, code);
  return answer >= 1 && answer <= 3 ? answer : 0;
}

int ThreeButtonAlert(Chars text, Chars left, Chars middle, Chars right, int defaultButton,
                     int escapeButton) {
  const std::string labels[3] = {Text(left), Text(middle), Text(right)};
  defaultButton = std::clamp(defaultButton, 1, 3);
  const int answer = TheBackend().ThreeButtonAlert(Text(text), labels, defaultButton);
  if (answer >= 1 && answer <= 3) return answer;
  // Escape (or a box ended without a button).
  if (escapeButton >= 1 && escapeButton <= 3) return escapeButton;
  for (int i = 0; i < 3; ++i)
    if (labels[i] == "Cancel") return i + 1;
  return defaultButton;
}

namespace {
bool AskStrings(std::initializer_list<Chars> prompts, std::initializer_list<VarChars> answers) {
  std::vector<std::string> promptTexts;
  std::vector<std::string> answerTexts;
  for (Chars p : prompts) promptTexts.push_back(Text(p));
  for (VarChars a : answers) answerTexts.push_back(Text(a));
  const std::size_t count = answerTexts.size();
  if (!TheBackend().AskStrings(promptTexts, answerTexts)) return false;
  answerTexts.resize(count);
  std::size_t i = 0;
  for (VarChars a : answers) Strings::Assign(a, Chars(answerTexts[i++]));
  return true;
}
} // namespace

bool AskString(Chars prompt, VarChars answer) { return AskStrings({prompt}, {answer}); }

bool AskTwoStrings(Chars prompt1, VarChars answer1, Chars prompt2, VarChars answer2) {
  return AskStrings({prompt1, prompt2}, {answer1, answer2});
}

int FindDialog(FindDialogKind kind, VarChars search, VarChars replacement, bool& backwards,
               bool& lineNumbers) {
  std::string searchText = Text(search).substr(0, 255);
  std::string replacementText = Text(replacement).substr(0, 255);
  bool back = backwards;
  bool numbers = lineNumbers;
  const int answer = TheBackend().FindDialog(kind, searchText, replacementText, back, numbers);
  if (answer != kFindButton && answer != kFindReplaceAll && answer != kFindFindButton)
    return kFindCancel;
  Strings::Assign(search, Chars(searchText));
  Strings::Assign(replacement, Chars(replacementText));
  backwards = back;
  lineNumbers = numbers;
  return answer;
}

bool ChooseColor(Chars prompt, RGBColor& color) {
  return TheBackend().ChooseColor(Text(prompt), color);
}

bool ChooseFont(VarChars faceName, std::int32_t& size, std::int32_t& style) {
  std::string face = Text(faceName);
  if (!TheBackend().ChooseFont(face, size, style)) return false;
  Strings::Assign(faceName, Chars(face));
  return true;
}

bool AskFileName(int mode, Chars prompt, Chars pattern, VarChars name, Chars button) {
  TheBackend().SetFileDialogButton(Text(button));
  const bool chosen = AskFileName(mode, prompt, pattern, name);
  TheBackend().SetFileDialogButton({});
  return chosen;
}

bool AskFileName(int mode, Chars prompt, Chars pattern, VarChars name) {
  const std::string p = Text(pattern);
  std::string filter;
  if (!p.empty() && p != "*" && p != "*.*") filter = p + " (" + p + ");;";
  filter += "All Files (*.*)";
  // The backend's file dialog names host files in the host's UTF-8.
  std::string chosen = Charset::HostName(Text(name));
  if (!TheBackend().AskFileName(mode, Text(prompt), filter, chosen)) return false;
  Strings::Assign(name, Chars(Charset::FromHostName(chosen)));
  return true;
}

// ---- Clipboard ----

void ClearClipboard() {
  TheBackend().SetClipboardText(std::string());
  state.clipboardOwned = true;
}

void PutClipboardText(std::string_view text) {
  TheBackend().SetClipboardText(std::string(text));
  state.clipboardOwned = true;
}

bool GetClipboardText(std::string& text) {
  text.clear();
  return TheBackend().GetClipboardText(text) && !text.empty();
}

bool OwnsClipboard() { return state.clipboardOwned && TheBackend().ClipboardOwned(); }

// ---- Time ----

std::uint32_t TickCount() { return installed != nullptr ? installed->TickCount() : 0; }

void GetDateTime(DateTime& t) { TheBackend().GetDateTime(t); }

std::uint32_t GetDoubleTime() { return TheBackend().DoubleClickTime(); }

std::uint32_t GetCaretTime() { return TheBackend().CaretTime(); }

void Delay(std::uint32_t ms) { TheBackend().Delay(ms); }

// ---- Sound ----

void Beep(int kind) { TheBackend().Beep(kind); }

void PlayTone(double frequency, double volume) { TheBackend().PlayTone(frequency, volume); }

void StopTone() { TheBackend().StopTone(); }

// ---- Other ----

std::int64_t FreeMemory() {
  // The kernel's estimate of what can be had without swapping, else the free pages.
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[128];
    long long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
      if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) break;
    }
    std::fclose(f);
    if (kib >= 0) return static_cast<std::int64_t>(kib) * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  return pages > 0 && pageSize > 0 ? std::int64_t{pages} * pageSize : 0;
}

void LoadResourceString(int id, VarChars text) {
  for (const ResourceString& r : kResourceStrings) {
    if (r.id == id) {
      Strings::Assign(text, base::CharsOf(r.text));
      return;
    }
  }
  Strings::Clear(text);
}

double LogicalDpi() { return installed != nullptr ? installed->LogicalDpi() : 96.0; }

} // namespace Toolbox
