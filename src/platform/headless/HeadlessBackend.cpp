#include "platform/headless/HeadlessBackend.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "platform/Events.h"
#include "platform/KeyScript.h"
#include "platform/Startup.h"

namespace Headless {

namespace {

// Virtual keys of the modifiers and mouse buttons, for KeyIsDown.
constexpr std::uint32_t kVkLeftButton = 1, kVkRightButton = 2, kVkMiddleButton = 4;
constexpr std::uint32_t kVkShift = 16, kVkControl = 17, kVkAlt = 18, kVkCapsLock = 20;
constexpr std::uint32_t kVkLeftWin = 91, kVkRightWin = 92;
constexpr std::uint32_t kVkNumLock = 144, kVkScrollLock = 145;
constexpr std::uint32_t kVkReturn = 13, kVkEscape = 27, kVkUp = 38, kVkDown = 40;
constexpr std::uint32_t kVkLeftShift = 160, kVkRightShift = 161;
constexpr std::uint32_t kVkLeftControl = 162, kVkRightControl = 163;
constexpr std::uint32_t kVkLeftAlt = 164, kVkRightAlt = 165;

std::int32_t FloorDiv(std::int32_t a, std::int32_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

std::int32_t CeilDiv(std::int32_t a, std::int32_t b) { return -FloorDiv(-a, b); }

// Cells count as covered by a rectangle when their centre lies inside it.
struct CellRange {
  int row0, row1, col0, col1; // inclusive; empty when row0 > row1 or col0 > col1
};

CellRange Covered(const Rect& r, int rows, int cols) {
  return CellRange{
      std::max(0, CeilDiv(r.top - kLineHeight / 2, kLineHeight)),
      std::min(rows - 1, FloorDiv(r.bottom - 1 - kLineHeight / 2, kLineHeight)),
      std::max(0, CeilDiv(r.left - kCharWidth / 2, kCharWidth)),
      std::min(cols - 1, FloorDiv(r.right - 1 - kCharWidth / 2, kCharWidth)),
  };
}

bool CellVisible(const Rect& clip, int row, int col) {
  return Toolbox::PtInRect(
      Point{col * kCharWidth + kCharWidth / 2, row * kLineHeight + kLineHeight / 2}, clip);
}

const char* OpName(DrawCommand::Op op) {
  static constexpr const char* kNames[] = {"Line",     "Rect",    "RoundRect", "Oval",
                                           "Arc",      "Poly",    "Text",      "Scroll",
                                           "CopyBits", "Picture", "Segments",  "Control"};
  return kNames[static_cast<int>(op)];
}

const char* VerbName(DrawCommand::Verb verb) {
  static constexpr const char* kNames[] = {"Frame", "Paint", "Erase", "Invert", "Fill"};
  return kNames[static_cast<int>(verb)];
}

} // namespace

HeadlessBackend::HeadlessBackend(const Config& config)
    : config_(config), clock_(config.startTime) {}

HeadlessBackend::~HeadlessBackend() {
  if (Toolbox::HasBackend() && &Toolbox::TheBackend() == this) Toolbox::InstallBackend(nullptr);
}

// ---- The script ----

void HeadlessBackend::Inject(const PlatformMessage& message) { script_.push_back(message); }

void HeadlessBackend::Inject(const std::vector<PlatformMessage>& messages) {
  script_.insert(script_.end(), messages.begin(), messages.end());
}

void HeadlessBackend::InjectKey(std::uint32_t vkey, std::uint32_t keyState, bool extended,
                                std::uint32_t time) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::KeyDown;
  m.vkey = vkey;
  m.keyState = keyState;
  m.extended = extended;
  m.time = time;
  Inject(m);
}

void HeadlessBackend::InjectChar(char ch, std::uint32_t keyState, std::uint32_t time) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::Character;
  m.ch = ch;
  m.keyState = keyState;
  m.time = time;
  Inject(m);
}

void HeadlessBackend::InjectButtonDown(Window w, Point local, int button, std::uint32_t time,
                                       std::uint32_t buttonFlags) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::ButtonDown;
  m.window = w;
  m.where = ToFrame(w, local);
  m.button = button;
  m.buttonFlags = buttonFlags;
  m.time = time;
  Inject(m);
}

void HeadlessBackend::InjectButtonUp(Window w, Point local, std::uint32_t time) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::ButtonUp;
  m.window = w;
  m.where = ToFrame(w, local);
  m.time = time;
  Inject(m);
}

void HeadlessBackend::InjectClick(Window w, Point local, int button, std::uint32_t time) {
  InjectButtonDown(w, local, button, time);
  InjectButtonUp(w, local, time);
}

void HeadlessBackend::InjectMouseMove(Window w, Point local, std::uint32_t time) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::MouseMove;
  m.window = w;
  m.where = ToFrame(w, local);
  m.time = time;
  Inject(m);
}

void HeadlessBackend::InjectTimer(std::uint32_t time) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::Timer;
  m.time = time;
  Inject(m);
}

void HeadlessBackend::InjectMenuCommand(std::uint32_t menuCommand, std::uint32_t time) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::MenuCommand;
  m.menuCommand = menuCommand;
  m.time = time;
  Inject(m);
}

void HeadlessBackend::InjectScroll(Toolbox::ScrollBar* bar, int request, std::int32_t thumb) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::Scroll;
  m.scrollBar = bar;
  m.window = bar != nullptr ? bar->window : nullptr;
  m.vertical = bar != nullptr && bar->vertical;
  m.request = request;
  m.thumb = thumb;
  Inject(m);
}

void HeadlessBackend::SetToggle(std::uint32_t vkey, bool on) {
  if (vkey == kVkNumLock) numLock_ = on;
  if (vkey == kVkScrollLock) scrollLock_ = on;
}

// ---- Pumping ----

void HeadlessBackend::DispatchInput(PlatformMessage m) {
  using Kind = PlatformMessage::Kind;
  if (m.kind == Kind::ClipboardText) {
    SetForeignClipboard(m.text);
    return;
  }
  // A script's close box and clicks go to the window in front when they arrive.
  const bool frontClick = (m.kind == Kind::ButtonDown || m.kind == Kind::ButtonUp) &&
                          m.where == KeyScript::kFrontCentre;
  if (m.window == nullptr && (m.kind == Kind::Close || frontClick)) {
    m.window = FrontWindow();
    if (frontClick) {
      const Win* win = Find(m.window);
      const Rect r = win != nullptr ? win->bounds : Rect{};
      m.where = Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
  }
  if (m.kind == Kind::FrameSized) {
    // The frame has no decorations here: its size is its client area's.
    config_.frameWidth = m.where.h;
    config_.frameHeight = m.where.v;
  }
  if (m.kind == Kind::Moved && m.place && m.window == nullptr) {
    // A script's drag of a window: placed, then told as the platform tells a user's.
    const Window w = m.windowTitle.empty() ? FrontWindow() : Titled(m.windowTitle);
    if (w == nullptr) return;
    MoveWindow(w, m.where);
    SizeWindow(w, m.size.h, m.size.v);
    return;
  }
  if (m.frontLocal && m.window == nullptr) {
    m.window = m.windowTitle.empty() ? FrontWindow() : Titled(m.windowTitle);
    // A script's click on a window that is not there goes nowhere.
    if (m.window == nullptr) return;
    m.where = ToFrame(m.window, m.where);
  }
  if (m.kind == Kind::Timer && m.waitMs > 0) {
    // A script's pause: the frame's timer ticks through it with the keys held.
    const std::uint32_t tick = std::min(m.waitMs, kTimerPeriod);
    if (m.waitMs > tick) {
      PlatformMessage rest = m;
      rest.waitMs -= tick;
      script_.push_front(rest);
    }
    clock_ += tick;
    m.time = clock_;
  }
  if (m.time == 0) {
    clock_ += config_.step;
    m.time = clock_;
  } else {
    clock_ = std::max(clock_, m.time);
  }
  keyState_ = m.keyState | heldKeyState_;
  switch (m.kind) {
  case Kind::KeyDown:
  case Kind::SysKeyDown:
    downKey_ = m.vkey;
    break;
  case Kind::Character:
    break;
  case Kind::ButtonDown:
    mouse_ = m.where;
    buttonDown_ = true;
    downButton_ = m.button == 2 ? kVkMiddleButton : m.button == 3 ? kVkRightButton : kVkLeftButton;
    break;
  case Kind::ButtonUp:
    mouse_ = m.where;
    buttonDown_ = false;
    downButton_ = 0;
    break;
  case Kind::MouseMove:
    mouse_ = m.where;
    break;
  default:
    downKey_ = 0;
    break;
  }
  Events::Dispatch(m);
}

bool HeadlessBackend::Pump(bool wait) {
  if (!generated_.empty()) {
    PlatformMessage m = generated_.front();
    generated_.pop_front();
    m.time = clock_;
    Events::Dispatch(m);
    return true;
  }
  for (Win* win : order_) {
    if (!win->needsPaint) continue;
    win->needsPaint = false;
    PlatformMessage m;
    m.kind = PlatformMessage::Kind::Paint;
    m.window = win->window;
    m.time = clock_;
    Events::Dispatch(m);
    return true;
  }
  if (!script_.empty()) {
    const PlatformMessage m = script_.front();
    script_.pop_front();
    idleTicks_ = 0;
    DispatchInput(m);
    return true;
  }
  if (!wait) return false;
  if (idleTicks_ >= config_.idleLimit) {
    idleTicks_ = 0;
    if (outOfInput_ != nullptr) outOfInput_();
    if (script_.empty()) Startup::Terminate();
    return Pump(wait);
  }
  ++idleTicks_;
  clock_ += kTimerPeriod;
  keyState_ = heldKeyState_;
  downKey_ = 0;
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::Timer;
  m.time = clock_;
  m.keyState = keyState_;
  Events::Dispatch(m);
  return true;
}

bool HeadlessBackend::KeyIsDown(std::uint32_t vkey) {
  switch (vkey) {
  case kVkCapsLock:
    return (keyState_ & Events::kCapsLock) != 0;
  case kVkNumLock:
    return numLock_;
  case kVkScrollLock:
    return scrollLock_;
  case kVkShift:
  case kVkLeftShift:
  case kVkRightShift:
    return (keyState_ & Events::kShiftKey) != 0;
  case kVkControl:
  case kVkLeftControl:
  case kVkRightControl:
    return (keyState_ & Events::kControlKey) != 0;
  case kVkAlt:
  case kVkLeftAlt:
  case kVkRightAlt:
    return (keyState_ & Events::kAltKey) != 0;
  case kVkLeftWin:
  case kVkRightWin:
    return (keyState_ & Events::kOptionKey) != 0;
  case kVkLeftButton:
  case kVkRightButton:
  case kVkMiddleButton:
    return vkey == downButton_;
  default:
    return vkey != 0 && vkey == downKey_;
  }
}

// ---- The frame ----

bool HeadlessBackend::CreateFrame(const std::string& title, std::int32_t, std::int32_t) {
  frameExists_ = true;
  frameTitle_ = title;
  return true;
}

void HeadlessBackend::DestroyFrame() { frameExists_ = false; }

Rect HeadlessBackend::FrameClientRect() {
  return Rect{0, 0, config_.frameWidth, config_.frameHeight};
}

// ---- Windows ----

HeadlessBackend::Win* HeadlessBackend::Find(Window w) const {
  for (const auto& win : windows_) {
    if (win->window == w) return win.get();
  }
  return nullptr;
}

Window HeadlessBackend::Titled(const std::string& title) const {
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  for (const Win* win : order_)
    if (win->visible && win->title.size() == title.size() &&
        std::equal(title.begin(), title.end(), win->title.begin(), same))
      return win->window;
  return nullptr;
}

Point HeadlessBackend::ToFrame(Window w, Point local) const {
  if (const Win* win = Find(w)) return Point{local.h + win->bounds.left, local.v + win->bounds.top};
  return local;
}

void HeadlessBackend::Resize(Win& win, std::int32_t width, std::int32_t height) {
  win.bounds.right = win.bounds.left + width;
  win.bounds.bottom = win.bounds.top + height;
  const int rows = std::max(0, height / kLineHeight);
  const int cols = std::max(0, width / kCharWidth);
  std::vector<Cell> cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
  for (int r = 0; r < std::min(rows, win.rows); ++r) {
    for (int c = 0; c < std::min(cols, win.cols); ++c) {
      cells[static_cast<std::size_t>(r * cols + c)] =
          win.cells[static_cast<std::size_t>(r * win.cols + c)];
    }
  }
  win.rows = rows;
  win.cols = cols;
  win.cells = std::move(cells);
}

void HeadlessBackend::Generate(PlatformMessage::Kind kind, Window w, Point where) {
  PlatformMessage m;
  m.kind = kind;
  m.window = w;
  m.where = where;
  generated_.push_back(m);
}

void HeadlessBackend::FrontChanged(Window before) {
  const Window after = FrontWindow();
  if (after == before) return;
  if (before != nullptr && Find(before) != nullptr) {
    Generate(PlatformMessage::Kind::FocusOut, before);
  }
  if (after != nullptr) Generate(PlatformMessage::Kind::FocusIn, after);
}

void* HeadlessBackend::CreateWindow(Window w, const Rect& bounds, const std::string& title, int,
                                    bool, bool visible) {
  const Window before = FrontWindow();
  auto win = std::make_unique<Win>();
  win->window = w;
  win->bounds = bounds;
  win->title = title;
  win->visible = visible;
  Resize(*win, std::max(0, bounds.Width()), std::max(0, bounds.Height()));
  order_.insert(order_.begin(), win.get());
  windows_.push_back(std::move(win));
  FrontChanged(before);
  return windows_.back().get();
}

void HeadlessBackend::DestroyWindow(Window w) {
  Win* win = Find(w);
  if (win == nullptr) return;
  const Window before = FrontWindow();
  std::erase(order_, win);
  std::erase_if(windows_, [win](const std::unique_ptr<Win>& p) { return p.get() == win; });
  std::erase_if(generated_, [w](const PlatformMessage& m) { return m.window == w; });
  FrontChanged(before == w ? nullptr : before);
}

void HeadlessBackend::ShowWindow(Window w, bool shown) {
  Win* win = Find(w);
  if (win == nullptr || win->visible == shown) return;
  const Window before = FrontWindow();
  win->visible = shown;
  FrontChanged(before);
}

// Stacking only: the window does not take the focus, so no focus changes are reported.
void HeadlessBackend::RaiseWindow(Window w) {
  Win* win = Find(w);
  if (win == nullptr) return;
  std::erase(order_, win);
  order_.insert(order_.begin(), win);
}

void HeadlessBackend::SelectWindow(Window w) {
  Win* win = Find(w);
  if (win == nullptr) return;
  const Window before = FrontWindow();
  std::erase(order_, win);
  order_.insert(order_.begin(), win);
  FrontChanged(before);
}

// A floating window (a tool tip) lies above the others without taking the focus.
Window HeadlessBackend::FrontWindow() {
  for (const Win* win : order_) {
    if (win->visible && (win->window->flags & Toolbox::kFloatingFlag) == 0) return win->window;
  }
  return nullptr;
}

std::vector<Window> HeadlessBackend::Windows() {
  std::vector<Window> result;
  for (const Win* win : order_) result.push_back(win->window);
  return result;
}

void HeadlessBackend::SetTitle(Window w, const std::string& title) {
  if (Win* win = Find(w)) win->title = title;
}

std::string HeadlessBackend::Title(Window w) {
  const Win* win = Find(w);
  return win != nullptr ? win->title : std::string();
}

void HeadlessBackend::MoveWindow(Window w, Point topLeft) {
  Win* win = Find(w);
  if (win == nullptr || (win->bounds.left == topLeft.h && win->bounds.top == topLeft.v)) return;
  Toolbox::OffsetRect(win->bounds, topLeft.h - win->bounds.left, topLeft.v - win->bounds.top);
  Generate(PlatformMessage::Kind::Moved, w, topLeft);
}

void HeadlessBackend::SizeWindow(Window w, std::int32_t width, std::int32_t height) {
  Win* win = Find(w);
  if (win == nullptr || (win->bounds.Width() == width && win->bounds.Height() == height)) return;
  Resize(*win, width, height);
  Generate(PlatformMessage::Kind::Sized, w, Point{width, height});
}

Rect HeadlessBackend::ContentRect(Window w) {
  const Win* win = Find(w);
  return win != nullptr ? win->bounds : Rect{};
}

bool HeadlessBackend::IsVisible(Window w) {
  const Win* win = Find(w);
  return win != nullptr && win->visible;
}

void HeadlessBackend::Invalidate(Window w, const Rect& r, bool on) {
  Win* win = Find(w);
  if (win == nullptr) return;
  if (!on) {
    win->needsPaint = false;
  } else if (!r.Empty()) {
    win->needsPaint = true;
  }
}

void* HeadlessBackend::CreateScrollBar(Window, Toolbox::ScrollBar* bar, const Rect&, bool) {
  return bar;
}

// ---- Drawing ----

void HeadlessBackend::Draw(Toolbox::Port port, const DrawCommand& cmd) {
  displayList_.push_back(Drawn{port, cmd});
  if (port.printer != nullptr && pageOpen_) printed_.back().pages.back().commands.push_back(cmd);
  if (Win* win = Find(port.window)) DrawOnGrid(*win, cmd);
}

void HeadlessBackend::DrawOnGrid(Win& win, const DrawCommand& cmd) {
  using Op = DrawCommand::Op;
  using Verb = DrawCommand::Verb;
  const Rect& clip = cmd.state.clip;
  auto cell = [&win](int row, int col) -> Cell& {
    return win.cells[static_cast<std::size_t>(row * win.cols + col)];
  };

  if (cmd.op == Op::Text) {
    const int row = FloorDiv(cmd.a.v - kAscent, kLineHeight);
    const int col0 = FloorDiv(cmd.a.h, kCharWidth);
    if (row < 0 || row >= win.rows) return;
    for (std::size_t i = 0; i < cmd.text.size(); ++i) {
      const int col = col0 + static_cast<int>(i);
      if (col < 0 || col >= win.cols || !CellVisible(clip, row, col)) continue;
      cell(row, col) = Cell{cmd.text[i], cmd.state.textMode == Toolbox::kTextInverse};
    }
    return;
  }

  Rect area;
  if (!Toolbox::SectRect(cmd.rect, clip, area)) return;
  const CellRange range = Covered(area, win.rows, win.cols);

  if (cmd.op == Op::Scroll) {
    const int dr =
        (cmd.a.v >= 0 ? cmd.a.v + kLineHeight / 2 : cmd.a.v - kLineHeight / 2) / kLineHeight;
    const int dc =
        (cmd.a.h >= 0 ? cmd.a.h + kCharWidth / 2 : cmd.a.h - kCharWidth / 2) / kCharWidth;
    const std::vector<Cell> before = win.cells;
    for (int r = range.row0; r <= range.row1; ++r) {
      for (int c = range.col0; c <= range.col1; ++c) {
        const int sr = r - dr;
        const int sc = c - dc;
        const bool inside =
            sr >= range.row0 && sr <= range.row1 && sc >= range.col0 && sc <= range.col1;
        cell(r, c) = inside ? before[static_cast<std::size_t>(sr * win.cols + sc)] : Cell{};
      }
    }
    return;
  }

  if (cmd.op != Op::Rect && cmd.op != Op::RoundRect) return;
  if (cmd.verb == Verb::Frame) return;
  for (int r = range.row0; r <= range.row1; ++r) {
    for (int c = range.col0; c <= range.col1; ++c) {
      Cell& x = cell(r, c);
      switch (cmd.verb) {
      case Verb::Erase:
        x = Cell{};
        break;
      case Verb::Invert:
        x.inverse = !x.inverse;
        break;
      case Verb::Fill:
        // A white fill clears like erasing; the other patterns cover like painting.
        x = Cell{' ', cmd.fillPattern != Toolbox::Pattern::White};
        break;
      default:
        x = Cell{' ', true};
        break; // painted in the foreground colour
      }
    }
  }
}

std::int32_t HeadlessBackend::TextWidth(const Toolbox::PortState&, std::string_view text) {
  return static_cast<std::int32_t>(text.size()) * kCharWidth;
}

Toolbox::FontInfo HeadlessBackend::GetFontInfo(const Toolbox::PortState&) {
  return Toolbox::FontInfo{kAscent, kDescent, kCharWidth, 0};
}

void* HeadlessBackend::CreateOffscreen(Toolbox::Offscreen* o, std::int32_t, std::int32_t) {
  return o;
}

std::int32_t HeadlessBackend::SavePicture(const Toolbox::Picture& pic,
                                          const std::string& hostPath) {
  std::FILE* f = std::fopen(hostPath.c_str(), "w");
  if (f == nullptr) return errno == ENOENT ? -3 : errno == EACCES ? -5 : -errno;
  std::fprintf(f, "Picture %d %d %d %d\n", pic.frame.left, pic.frame.top, pic.frame.right,
               pic.frame.bottom);
  for (const DrawCommand& c : pic.commands) {
    const Toolbox::RGBColor& ink = c.state.foreColor;
    std::fprintf(f, "%s %s %d %d %d %d %d %d %d %d %u %u %u %zu", OpName(c.op), VerbName(c.verb),
                 c.rect.left, c.rect.top, c.rect.right, c.rect.bottom, c.a.h, c.a.v, c.b.h, c.b.v,
                 unsigned{ink.red}, unsigned{ink.green}, unsigned{ink.blue}, c.points.size());
    for (const Point& p : c.points) std::fprintf(f, " %d %d", p.h, p.v);
    std::fprintf(f, " %s\n", c.text.c_str());
  }
  const bool ok = std::fclose(f) == 0;
  return ok ? 0 : -5;
}

// ---- Reading the screen ----

std::string HeadlessBackend::Row(Window w, int row) const {
  const Win* win = Find(w);
  if (win == nullptr || row < 0 || row >= win->rows) return std::string();
  std::string text;
  for (int c = 0; c < win->cols; ++c)
    text += win->cells[static_cast<std::size_t>(row * win->cols + c)].ch;
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

bool HeadlessBackend::Inverse(Window w, int row, int col) const {
  const Win* win = Find(w);
  if (win == nullptr || row < 0 || row >= win->rows || col < 0 || col >= win->cols) return false;
  return win->cells[static_cast<std::size_t>(row * win->cols + col)].inverse;
}

std::vector<std::string> HeadlessBackend::Screen(Window w) const {
  std::vector<std::string> rows;
  if (const Win* win = Find(w)) {
    for (int r = 0; r < win->rows; ++r) rows.push_back(Row(w, r));
  }
  return rows;
}

// ---- Menus and dialogs ----

std::int32_t HeadlessBackend::PopUpMenu(const Toolbox::Menu& menu, Point) {
  if (popUpAnswers_.empty()) return MenuByKeys(menu);
  const std::int32_t item = popUpAnswers_.front();
  popUpAnswers_.pop_front();
  return item;
}

std::int32_t HeadlessBackend::MenuByKeys(const Toolbox::Menu& menu) {
  using Kind = PlatformMessage::Kind;
  const auto count = static_cast<std::int32_t>(menu.items.size());
  auto selectable = [&menu](std::int32_t i) {
    const std::string& text = menu.items[static_cast<std::size_t>(i - 1)].text;
    return menu.items[static_cast<std::size_t>(i - 1)].enabled && text != "-" &&
           text.rfind("(-", 0) != 0;
  };
  // From the entry reached (0: none) to the next selectable one in the direction, round
  // the ends as the platform's menus go.
  auto step = [&](std::int32_t at, std::int32_t direction) {
    for (std::int32_t k = 1; k <= count; ++k) {
      const std::int32_t i = ((at - 1 + direction * k) % count + count) % count + 1;
      if (selectable(i)) return i;
    }
    return at;
  };
  std::int32_t at = 0;
  while (!script_.empty() && count > 0) {
    const PlatformMessage m = script_.front();
    if (m.kind == Kind::ButtonUp) {
      // The release of the click that opened the menu.
      script_.pop_front();
      DispatchInput(m);
      continue;
    }
    if (m.kind != Kind::KeyDown && m.kind != Kind::Character) break;
    script_.pop_front();
    if (m.kind == Kind::Character) continue;
    if (m.vkey == kVkDown) at = step(at, 1);
    if (m.vkey == kVkUp) at = step(at == 0 ? count + 1 : at, -1);
    if (m.vkey == kVkReturn) return at;
    if (m.vkey == kVkEscape) return 0;
  }
  unanswered_.push_back("PopUpMenu " + menu.title);
  return 0;
}

int HeadlessBackend::MessageBox(const std::string& text, int code) {
  alertLog_.push_back(text);
  if (alertAnswers_.empty()) {
    unanswered_.push_back("Alert " + std::to_string(code) + ": " + text);
    return 2;
  }
  const int answer = alertAnswers_.front();
  alertAnswers_.pop_front();
  return answer;
}

int HeadlessBackend::ThreeButtonAlert(const std::string& text, const std::string[3],
                                      int defaultButton) {
  alertLog_.push_back(text);
  if (threeButtonAnswers_.empty()) {
    // Unscripted: the default button, as a user pressing Return would; never the
    // middle one by accident, which would switch a check off unnoticed.
    unanswered_.push_back("ThreeButtonAlert: " + text);
    return defaultButton;
  }
  const int answer = threeButtonAnswers_.front();
  threeButtonAnswers_.pop_front();
  return answer;
}

void HeadlessBackend::AnswerStrings(bool ok, std::vector<std::string> answers) {
  stringsAnswers_.push_back(StringsAnswer{ok, std::move(answers)});
}

void HeadlessBackend::AnswerFileName(bool ok, std::string name) {
  fileAnswers_.push_back(FileAnswer{ok, std::move(name)});
}

void HeadlessBackend::AnswerColor(bool ok, Toolbox::RGBColor color) {
  colorAnswers_.push_back(ColorAnswer{ok, color});
}

void HeadlessBackend::AnswerFont(bool ok, std::string face, std::int32_t size, std::int32_t style) {
  fontAnswers_.push_back(FontAnswer{ok, std::move(face), size, style});
}

bool HeadlessBackend::AskStrings(const std::vector<std::string>& prompts,
                                 std::vector<std::string>& answers) {
  if (stringsAnswers_.empty()) {
    unanswered_.push_back("AskStrings: " + (prompts.empty() ? std::string() : prompts.front()));
    return false;
  }
  const StringsAnswer a = stringsAnswers_.front();
  stringsAnswers_.pop_front();
  if (!a.ok) return false;
  for (std::size_t i = 0; i < a.answers.size() && i < answers.size(); ++i)
    answers[i] = a.answers[i];
  return true;
}

int HeadlessBackend::FindDialog(Toolbox::FindDialogKind kind, std::string& search,
                                std::string& replacement, bool& backwards, bool& lineNumbers) {
  lastFind_ = FindShown{kind, search, replacement, backwards, lineNumbers};
  if (findAnswers_.empty()) {
    unanswered_.push_back(kind == Toolbox::FindDialogKind::Find ? "FindDialog" : "ReplaceDialog");
    return Toolbox::kFindCancel;
  }
  const FindAnswer a = findAnswers_.front();
  findAnswers_.pop_front();
  if (a.button == Toolbox::kFindCancel) return a.button;
  search = a.search.value_or(search);
  replacement = a.replacement.value_or(replacement);
  backwards = a.backwards.value_or(backwards);
  lineNumbers = a.lineNumbers.value_or(lineNumbers);
  return a.button;
}

bool HeadlessBackend::ChooseColor(const std::string& prompt, Toolbox::RGBColor& color) {
  if (colorAnswers_.empty()) {
    unanswered_.push_back("ChooseColor: " + prompt);
    return false;
  }
  const ColorAnswer a = colorAnswers_.front();
  colorAnswers_.pop_front();
  if (a.ok) color = a.color;
  return a.ok;
}

bool HeadlessBackend::ChooseFont(std::string& face, std::int32_t& size, std::int32_t& style) {
  if (fontAnswers_.empty()) {
    unanswered_.push_back("ChooseFont");
    return false;
  }
  const FontAnswer a = fontAnswers_.front();
  fontAnswers_.pop_front();
  if (!a.ok) return false;
  face = a.face;
  size = a.size;
  style = a.style;
  return true;
}

bool HeadlessBackend::AskFileName(int mode, const std::string& prompt, const std::string& filter,
                                  std::string& name) {
  lastFilePrompt_ = prompt;
  lastFileFilter_ = filter;
  if (fileAnswers_.empty()) {
    unanswered_.push_back("AskFileName " + std::to_string(mode) + ": " + prompt);
    return false;
  }
  const FileAnswer a = fileAnswers_.front();
  fileAnswers_.pop_front();
  if (a.ok) name = a.name;
  return a.ok;
}

// ---- Clipboard and sound ----

void HeadlessBackend::SetClipboardText(const std::string& text) {
  clipboard_ = text;
  clipboardOwned_ = true;
}

bool HeadlessBackend::GetClipboardText(std::string& text) {
  text = clipboard_;
  return !clipboard_.empty();
}

void HeadlessBackend::SetForeignClipboard(const std::string& text) {
  clipboard_ = text;
  clipboardOwned_ = false;
}

void HeadlessBackend::Beep(int kind) { soundLog_.push_back("Beep " + std::to_string(kind)); }

void HeadlessBackend::PlayTone(double frequency, double volume) {
  char line[64];
  std::snprintf(line, sizeof line, "PlayTone %g %g", frequency, volume);
  soundLog_.push_back(line);
}

void HeadlessBackend::StopTone() { soundLog_.push_back("StopTone"); }

// ---- Printing ----

void* HeadlessBackend::CreatePrinter(Toolbox::Printer* p) {
  if (!config_.printer) return nullptr;
  p->page = config_.printerPage;
  p->resolution = config_.printerResolution;
  return p;
}

bool HeadlessBackend::Answer(std::deque<bool>& answers, const char* dialog) {
  if (answers.empty()) {
    unanswered_.push_back(dialog);
    return false;
  }
  const bool ok = answers.front();
  answers.pop_front();
  return ok;
}

bool HeadlessBackend::PageSetupDialog(Toolbox::Printer*) {
  return Answer(pageSetupAnswers_, "PageSetupDialog");
}

bool HeadlessBackend::PrintDialog(Toolbox::Printer*) {
  return Answer(printAnswers_, "PrintDialog");
}

void HeadlessBackend::AnswerMargins(bool ok, std::optional<Toolbox::PrintMargins> margins,
                                    std::string face) {
  marginsAnswers_.push_back(MarginsAnswer{ok, margins, std::move(face)});
}

bool HeadlessBackend::MarginsDialog(Toolbox::PrintMargins& m, std::string& face) {
  lastMargins_ = m;
  lastMarginsFace_ = face;
  if (marginsAnswers_.empty()) {
    unanswered_.push_back("MarginsDialog");
    return false;
  }
  const MarginsAnswer a = marginsAnswers_.front();
  marginsAnswers_.pop_front();
  if (!a.ok) return false;
  if (a.margins) m = *a.margins;
  if (!a.face.empty()) face = a.face;
  return true;
}

bool HeadlessBackend::BeginDocument(Toolbox::Printer*, const std::string& title) {
  printed_.push_back(PrintedDocument{title, {}, false});
  pageOpen_ = false;
  return true;
}

bool HeadlessBackend::BeginPage(Toolbox::Printer*) {
  PrintedDocument& doc = printed_.back();
  if (cancelAfter_ >= 0 && static_cast<int>(doc.pages.size()) >= cancelAfter_) return false;
  doc.pages.emplace_back();
  pageOpen_ = true;
  return true;
}

void HeadlessBackend::EndPage(Toolbox::Printer*) { pageOpen_ = false; }

void HeadlessBackend::EndDocument(Toolbox::Printer*) {
  printed_.back().ended = true;
  pageOpen_ = false;
}

bool StartPlatform(Toolbox::Backend& backend) {
  Toolbox::InstallBackend(&backend);
  Toolbox::Init();
  return Events::InitEventQueue();
}

void StopPlatform() {
  Events::FreeEventQueue();
  Toolbox::Shutdown();
  Toolbox::InstallBackend(nullptr);
}

} // namespace Headless
