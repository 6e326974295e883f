// The colour picker: a modal dialog of the framework whose "user" item holds the grid
// of the palette's colours (row 0 at the bottom), or the platform's colour chooser.
#include "dialog/ColorPicker.h"

#include <algorithm>
#include <cmath>

#include "base/Strings.h"
#include "dialog/DialogInternal.h"
#include "platform/Alerts.h"
#include "store/FileSystem.h"
#include "windows/Graphics.h"
#include "windows/KeyEvents.h"

namespace ColorPicker {

using namespace Dialog;
using namespace Dialog::Internal;
using namespace KeyEvents;

namespace {

constexpr char kMarker[] = "Win32Col.On";
constexpr char kName[] = "ColorPicker";
constexpr char kTitle[] = "Color Picker";
// The buttons' face: the desktop's proportional one, as the configuration's.
constexpr std::int32_t kFont = 1;

// The sixteen colours of the marker file's palette.
constexpr RGBColor kSixteen[16] = {
    {0, 0, 0},
    {32768, 0, 0},
    {0, 32768, 0},
    {32768, 32768, 0},
    {0, 0, 32768},
    {32768, 0, 32768},
    {0, 32768, 32768},
    {32768, 32768, 32768},
    {49152, 49152, 49152},
    {65535, 0, 0},
    {0, 65535, 0},
    {65535, 65535, 0},
    {0, 0, 65535},
    {65535, 0, 65535},
    {0, 65535, 65535},
    {65535, 65535, 65535},
};

enum Items : std::int16_t { kDone = 1, kCancel, kPicker, kGrid, kSpare, kItems = kSpare };

// The grid item's world: row 0 at the bottom, a margin around the cells.
constexpr double kXMin = -0.06, kXMax = 1.06, kYMin = -0.176, kYMax = 1.0;
// The frame around a cell, and the room between frame and colour.
constexpr std::int32_t kFrameWidth = 2;
constexpr std::int32_t kCellGap = 2;
constexpr RGBColor kHighlight{0, 0, 0};
constexpr std::int32_t kDefaultPlace = 80;
constexpr std::int32_t kBelowTop = 3;

struct State {
  bool initialised = false;
  bool option = false; // the marker file exists
  std::vector<RGBColor> screen;
  DialogRecord dialog;
  DialogItem* items[kItems + 1] = {};
  bool made = false;
  // The pick in hand.
  struct Request {
    DialogRecord* owner = nullptr;
    RGBColor* colour = nullptr;
    RGBColor entry;
    ChangedProc changed = nullptr;
  } pick;
  Grid grid{2, 2, 1};
  std::int32_t selected = 0;
  bool done = false;
  bool kept = false;
};
State state;

std::int32_t Nearest(const RGBColor* colours, std::int32_t n, const RGBColor& c) {
  std::int32_t best = 0;
  std::int64_t bestDistance = -1;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int64_t dr = std::int64_t{colours[i].red} - c.red,
                       dg = std::int64_t{colours[i].green} - c.green,
                       db = std::int64_t{colours[i].blue} - c.blue;
    const std::int64_t distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

// The nearest of the sixteen colours, by the levels of blue, green and red in turn.
std::int32_t NearestOfSixteen(const RGBColor& c) {
  const std::uint32_t r = c.red, g = c.green, b = c.blue;
  if (b >= 40961) {
    if (b < 57345) return 8;
    if (g < 32769) return r < 32769 ? 12 : 13;
    return r < 32769 ? 14 : 15;
  }
  if (b >= 16385) {
    if (g < 16385) return r < 16385 ? 4 : 5;
    return r < 16385 ? 6 : 7;
  }
  if (g >= 57345) return r < 32769 ? 10 : 11;
  if (g >= 16385) return r < 16385 ? 2 : 3;
  if (r < 57345) return r > 16384 ? 1 : 0;
  return 9;
}

void Changed() {
  if (state.pick.changed == nullptr) return;
  DialogRecord& before = Current();
  DialogRecord& owner = state.pick.owner != nullptr ? *state.pick.owner : before;
  SetCurrent(owner);
  state.pick.changed(owner);
  SetCurrent(before);
}

// ---- The grid ----

Rect CellRect(const Rect& area, std::int32_t i) {
  const Grid& g = state.grid;
  const std::int32_t col = i % g.cols, row = i / g.cols;
  auto x = [&](double wx) {
    return area.left + Round((wx - kXMin) / (kXMax - kXMin) * area.Width());
  };
  auto y = [&](double wy) {
    return area.bottom - Round((wy - kYMin) / (kYMax - kYMin) * area.Height());
  };
  return Rect{x(double(col) / g.cols), y(double(row + 1) / g.rows), x(double(col + 1) / g.cols),
              y(double(row) / g.rows)};
}

void DrawCell(std::int32_t i, bool selected) {
  if (i < 0 || i >= state.grid.n) return;
  DialogRecord& d = state.dialog;
  Drawing drawing(d);
  if (!drawing.Ok()) return;
  const DialogItem& item = *d.items[kGrid];
  Rect r = CellRect(item.rect, i);
  Toolbox::PenNormal();
  Toolbox::PenSize(kFrameWidth, kFrameWidth);
  Toolbox::RGBForeColor(selected ? kHighlight : item.backCol);
  Toolbox::FrameRect(r);
  Toolbox::PenNormal();
  Toolbox::InsetRect(r, kFrameWidth + kCellGap, kFrameWidth + kCellGap);
  if (r.Empty()) return;
  Toolbox::RGBForeColor(ColorOf(i));
  Toolbox::PaintRect(r);
}

void DrawGrid(DialogRecord&, std::int16_t) {
  for (std::int32_t i = 0; i < state.grid.n; ++i) DrawCell(i, i == state.selected);
}

void Select(std::int32_t i) {
  i = Selected(state.grid, i);
  const std::int32_t old = state.selected;
  state.selected = i;
  DrawCell(old, false);
  DrawCell(i, true);
  *state.pick.colour = ColorOf(i);
  Changed();
}

// ---- The buttons and the grid's clicks ----

void Finish(bool kept) {
  state.kept = kept;
  state.done = true;
}

void Cancel() {
  *state.pick.colour = state.pick.entry;
  Changed();
  Finish(false);
}

void DoneAction(DialogRecord&, std::int16_t) { Finish(true); }
void CancelAction(DialogRecord&, std::int16_t) { Cancel(); }

void PickerAction(DialogRecord&, std::int16_t) {
  RGBColor c = *state.pick.colour;
  if (!Toolbox::ChooseColor(kTitle, c)) {
    Cancel();
    return;
  }
  *state.pick.colour = c;
  Changed();
  Finish(true);
}

// A click on the grid selects the cell under it; keys and macros do nothing here.
void GridAction(DialogRecord& d, std::int16_t) {
  if (!S().fromClick) return;
  const Rect& r = d.items[kGrid]->rect;
  if (r.Width() <= 0 || r.Height() <= 0) return;
  const Point p = S().where;
  const double x = kXMin + double(p.h - r.left) / r.Width() * (kXMax - kXMin);
  const double y = kYMin + double(r.bottom - p.v) / r.Height() * (kYMax - kYMin);
  if (x < 0 || x > 1 || y < 0 || y > 1) return;
  const Grid& g = state.grid;
  const auto i =
      g.n >= 3 ? static_cast<std::int32_t>(std::floor(g.cols * x) + std::floor(g.rows * y) * g.cols)
               : static_cast<std::int32_t>(std::floor(2 * x) + 2 * std::floor(2 * y));
  Select(i);
}

// ---- The dialog's procedures ----

void EventBefore(DialogRecord&, std::uint8_t code, char, std::uint8_t) {
  const std::int32_t i = state.selected, cols = state.grid.cols;
  switch (code) {
  case KeyCursorUp:
    Select(i + cols);
    break;
  case KeyCursorDown:
    Select(i - cols);
    break;
  case KeyCursorLeft:
    Select(i - 1);
    break;
  case KeyCursorRight:
    Select(i + 1);
    break;
  default:
    break;
  }
}

// A window event the items do not take ends the picker as "Cancel"; bringing another
// window forward only beeps.
void Unhandled(DialogRecord&, std::uint8_t code, char, std::uint8_t) {
  if (state.done || code < KeyActivate) return;
  if (code == KeyWindow)
    Alerts::AlertBeep();
  else
    Cancel();
}

bool MayClose(DialogRecord&, std::int16_t) {
  Cancel();
  return false;
}

// Other dialogs' window events make them current; the picker takes the keys again.
void KeepCurrent(DialogRecord& d) { SetCurrent(d); }

void Layout(DialogRecord& d) {
  d.normal.rect = Rect{0, 0, 306, 200};
  DefineItem(d, kDone, ItemKind::Button, "Done", false, "Done", 205, 194, 80, 17);
  SetItemKey(d, kDone, KeyCharacter, 13, 0, false, true);
  DefineItem(d, kCancel, ItemKind::Button, "Cancel", false, "Cancel", 109, 194, 80, 17);
  SetItemKey(d, kCancel, KeyCharacter, 27, 0, false, true);
  DefineItem(d, kPicker, ItemKind::Button, "Picker", false, "Picker", 17, 194, 80, 17);
  DefineItem(d, kGrid, ItemKind::User, "Grid", false, "", 0, 177, 306, 177);
  d.items[kGrid]->backCol = kSystemBackColor;
  DefineItem(d, kSpare, ItemKind::User, "", false, "", 0, 1, 1, 1);
  SetItemProcs(d, kDone, DoneAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kCancel, CancelAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kPicker, PickerAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kGrid, GridAction, nullptr, nullptr, DrawGrid);
}

bool MakeDialog() {
  if (state.made) return true;
  DialogRecord& d = state.dialog;
  if (!Dialog::Init(d, state.items, kItems, false, false, kTitle, kName, kFont, 10, kItems, 0, 200,
                    306, 200, 0))
    return false;
  DialogProcs procs;
  procs.eventBefore = EventBefore;
  procs.unhandledKey = Unhandled;
  procs.mayClose = MayClose;
  SetProcs(d, procs, 0);
  state.made = true;
  return true;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Dialog::Init();
  FileSystem::File f;
  state.option = FileSystem::Open(kMarker, FileSystem::kRead, f);
  if (state.option) FileSystem::Close(f);
}

bool UsesPalette() {
  Init();
  return state.option || !state.screen.empty();
}

std::int32_t PaletteSize() {
  Init();
  if (state.option) return 16;
  if (!state.screen.empty()) return static_cast<std::int32_t>(state.screen.size());
  return Graphics::ColorCount();
}

RGBColor ColorOf(std::int32_t index) {
  Init();
  if (state.option) return index >= 0 && index < 16 ? kSixteen[index] : RGBColor{};
  if (!state.screen.empty())
    return index >= 0 && std::size_t(index) < state.screen.size() ? state.screen[std::size_t(index)]
                                                                  : RGBColor{};
  return Graphics::ColorOf(index);
}

std::int32_t IndexOf(const RGBColor& colour) {
  Init();
  if (state.option) return NearestOfSixteen(colour);
  if (!state.screen.empty())
    return Nearest(state.screen.data(), static_cast<std::int32_t>(state.screen.size()), colour);
  std::vector<RGBColor> table;
  for (std::int32_t i = 0; i < Graphics::ColorCount(); ++i) table.push_back(Graphics::ColorOf(i));
  return Nearest(table.data(), static_cast<std::int32_t>(table.size()), colour);
}

Grid GridOf(std::int32_t n) {
  if (n <= 2) return Grid{2, 2, 1};
  const auto cols = static_cast<std::int32_t>(std::floor(std::sqrt(double(n)) + 0.5));
  return Grid{n, cols, (n + cols - 1) / cols};
}

std::int32_t Selected(const Grid& g, std::int32_t i) {
  i = ((i % g.n) + g.n) % g.n;
  const std::int32_t col = std::min(i % g.cols, g.cols - 1);
  const std::int32_t row = std::min(i / g.cols, g.rows - 1);
  return col + g.cols * row;
}

bool Pick(DialogRecord* owner, RGBColor& colour, std::int32_t left, std::int32_t top,
          ChangedProc changed) {
  Init();
  if (left < 1) left = kDefaultPlace;
  if (top < 1) top = kDefaultPlace;
  // A pick started from a procedure the picker calls goes to the platform's chooser.
  const bool nested = state.pick.colour != nullptr;
  const State::Request outer = state.pick;
  state.pick = State::Request{owner, &colour, colour, changed};
  state.done = false;
  state.kept = false;
  bool kept = false;
  if (nested || !UsesPalette() || !MakeDialog()) {
    RGBColor c = colour;
    kept = Toolbox::ChooseColor(kTitle, c);
    colour = kept ? c : state.pick.entry;
    Changed();
  } else {
    DialogRecord& d = state.dialog;
    state.grid = GridOf(PaletteSize());
    state.selected = Selected(state.grid, IndexOf(colour));
    WindowOptions options;
    if (Open(d, Toolbox::kCaptionWindow, Layout, nullptr, false, options, true)) {
      Rect r = Toolbox::GetWindowRect(d.window);
      Toolbox::OffsetRect(r, left - r.left, top + kBelowTop - r.top);
      FitWindow(r, Toolbox::kCaptionWindow);
      Toolbox::MoveWindow(d.window, r.left, r.top, true);
      RunModal(d.window, d, KeepCurrent, state.done);
      Close(d);
      kept = state.kept;
    }
  }
  if (owner != nullptr && owner->open) SetCurrent(*owner);
  state.pick = outer;
  return kept;
}

namespace Testing {
void SetScreenPalette(const std::vector<RGBColor>& palette) {
  Init();
  state.screen = palette;
}
void SetMarker(bool on) {
  Init();
  state.option = on;
}
} // namespace Testing

} // namespace ColorPicker
