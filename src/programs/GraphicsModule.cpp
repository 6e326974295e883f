#include "programs/GraphicsModule.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "base/Strings.h"
#include "editwin/Menus.h"
#include "modules/Definitions.h"
#include "platform/Alerts.h"
#include "store/FileSystem.h"
#include "vm/Trap.h"
#include "windows/Graphics.h"
#include "windows/Plot.h"

namespace GraphicsModule {

namespace {

using Graphics::GraphPort;
using Graphics::GraphWindow;
using Native::Call;

constexpr char kInvalidWindow[] = "invalid graphics window";
constexpr char kInvalidPort[] = "invalid graphics port";
constexpr char kNoPort[] = "no graphics port";
constexpr char kBeyondArray[] = "sample count beyond the array";

constexpr char kMenuTitle[] = "Graphics";
constexpr char kSaveItem[] = "Save Picture...";
constexpr char kCloseItem[] = "Close Window";
constexpr char kSavePrompt[] = "Save Picture";
constexpr char kSavePattern[] = "*.png *.svg";
constexpr char kProposedName[] = "Picture.png";
constexpr char kNotSaved[] = "Picture not saved: ";
using base::kPathHigh;
constexpr std::size_t kMessageHigh = 255;

// ---- Parameter words ----

std::int32_t Int(const Call& c, int i) { return static_cast<std::int32_t>(c.args[i]); }
std::uint32_t Card(const Call& c, int i) { return static_cast<std::uint32_t>(c.args[i]); }
bool Bool(const Call& c, int i) { return (c.args[i] & 0xFF) != 0; }
double Real(const Call& c, int i) { return std::bit_cast<double>(c.args[i]); }

template <typename T> void Store(const Call& c, int i, T value) {
  std::memcpy(reinterpret_cast<void*>(c.args[i]), &value, sizeof value);
}
void ResultReal(Call& c, double v) { c.result = std::bit_cast<std::uint64_t>(v); }

// Handles are the records' ids, which are never used again: a closed window's handle
// finds nothing.
std::uint32_t Id(std::uint64_t handle) {
  return handle <= UINT32_MAX ? static_cast<std::uint32_t>(handle) : 0;
}

GraphWindow* WindowOf(std::uint64_t handle) {
  GraphWindow* w = Id(handle) != 0 ? Graphics::FindWindow(Id(handle)) : nullptr;
  if (w == nullptr) Vm::Trap(kInvalidWindow);
  return w;
}

GraphPort* PortOf(std::uint64_t handle) {
  GraphPort* p = Id(handle) != 0 ? Graphics::FindPort(Id(handle)) : nullptr;
  if (p == nullptr) Vm::Trap(kInvalidPort);
  return p;
}

// The drawing procedures need a current port.
void NeedPort() {
  if (Graphics::CurrentGraphPort() == nullptr) Vm::Trap(kNoPort);
}

// The first count elements of the open array at word i (its address, then HIGH), an
// array of T or, with bytes, of bytes holding T's. A byte array that is not aligned
// for T is copied into aligned.
template <typename T>
const T* Elements(const Call& c, int i, std::uint32_t count, bool bytes, std::vector<T>& aligned) {
  const std::uint64_t high = c.args[i + 1];
  const std::uint64_t elements = bytes ? (high + 1) / sizeof(T) : high + 1;
  if (count > elements) Vm::Trap(kBeyondArray);
  const auto address = static_cast<std::uintptr_t>(c.args[i]);
  if (address % alignof(T) == 0) return reinterpret_cast<const T*>(address);
  aligned.resize(count);
  std::memcpy(aligned.data(), reinterpret_cast<const void*>(address), count * sizeof(T));
  return aligned.data();
}

std::int32_t Count(std::uint32_t count) {
  return static_cast<std::int32_t>(std::min<std::uint32_t>(count, INT32_MAX));
}

// ---- The Graphics menu ----

std::int32_t menu = 0;

GraphWindow* FrontGraphWindow() {
  const std::vector<GraphWindow*> windows = Graphics::GraphWindows();
  return windows.empty() ? nullptr : windows.front();
}

// The menu goes with the last graphics window.
void MenuFollows() {
  if (menu != 0 && Graphics::GraphWindows().empty()) Menus::DeleteMenu(menu);
}

void SaveItem() {
  GraphWindow* w = FrontGraphWindow();
  if (w == nullptr) return;
  char name[kPathHigh + 1];
  Strings::Assign(name, kProposedName);
  if (!Toolbox::AskFileName(2, kSavePrompt, kSavePattern, name)) return;
  const std::int32_t code = Graphics::SavePicture(w, name);
  if (code == 0) return;
  char message[kMessageHigh + 1];
  char reason[kMessageHigh + 1];
  FileSystem::ErrorText(code, reason);
  Strings::Assign(message, kNotSaved);
  Strings::Append(message, reason);
  Alerts::Message(message);
}

void CloseItem() {
  GraphWindow* w = FrontGraphWindow();
  Graphics::DisposeGraphWindow(w);
  MenuFollows();
}

// The window's close box: as the menu's Close Window.
void UserClose(GraphWindow* w) {
  Graphics::DisposeGraphWindow(w);
  MenuFollows();
}

void ShowMenu() {
  Graphics::SetUserCloseProc(UserClose);
  if (menu != 0) return;
  Menus::NewMenu(menu, kMenuTitle);
  if (menu == 0) return;
  Menus::AppendItem(menu, kSaveItem);
  Menus::AppendItem(menu, kCloseItem);
  Menus::SetProcedure(menu, 1, SaveItem);
  Menus::SetProcedure(menu, 2, CloseItem);
  Menus::InsertIntoBar(menu);
  Menus::UpdateMenus(true);
}

// ---- Windows and ports ----

void OpenWindow(Call& c) {
  Graphics::WindowSpec spec;
  spec.title = c.Text(0);
  const std::int32_t left = Int(c, 2), top = Int(c, 3);
  spec.bounds =
      Toolbox::Rect{left, top, left + std::max(0, Int(c, 4)), top + std::max(0, Int(c, 5))};
  GraphWindow* w = Graphics::NewGraphWindow(spec);
  c.result = w != nullptr ? w->id : 0;
  if (w != nullptr) ShowMenu();
}

void CloseWindow(Call& c) {
  std::uint64_t handle = 0;
  std::memcpy(&handle, reinterpret_cast<const void*>(c.args[0]), sizeof handle);
  GraphWindow* w = WindowOf(handle);
  Graphics::DisposeGraphWindow(w);
  Store<std::uint64_t>(c, 0, 0);
  MenuFollows();
}

void WindowPortProc(Call& c) { c.result = Graphics::WindowPort(WindowOf(c.args[0]))->id; }

void NewViewportProc(Call& c) {
  GraphPort* p = Graphics::NewViewport(PortOf(c.args[0]), Int(c, 1), Int(c, 2), Int(c, 3),
                                       Int(c, 4), Bool(c, 5));
  c.result = p != nullptr ? p->id : 0;
}

void FrameViewportProc(Call& c) {
  Graphics::FrameViewport(PortOf(c.args[0]), Int(c, 1), Int(c, 2));
}
void SetGraphPortProc(Call& c) { Graphics::SetGraphPort(PortOf(c.args[0])); }

// ---- World windows and drawing ----

void SetWorldProc(Call& c) {
  NeedPort();
  Graphics::SetWorld(Real(c, 0), Real(c, 1), Real(c, 2), Real(c, 3));
}
void SetWorld2Proc(Call& c) {
  NeedPort();
  Graphics::SetWorld2(Real(c, 0), Real(c, 1), Real(c, 2), Real(c, 3));
}

void WorldToPixelProc(Call& c) {
  NeedPort();
  std::int32_t h = 0, v = 0;
  Graphics::WorldToPixel(Real(c, 0), Real(c, 1), h, v);
  Store(c, 2, h);
  Store(c, 3, v);
}

void PixelToWorldProc(Call& c) {
  NeedPort();
  double x = 0, y = 0;
  Graphics::PixelToWorld(Int(c, 0), Int(c, 1), x, y);
  Store(c, 2, x);
  Store(c, 3, y);
}

void WorldLineProc(Call& c) {
  NeedPort();
  Graphics::WorldLine(Real(c, 0), Real(c, 1), Real(c, 2), Real(c, 3));
}
void WorldMarkerProc(Call& c) {
  NeedPort();
  Graphics::WorldMarker(Real(c, 0), Real(c, 1));
}
void SetMarkerKindProc(Call& c) {
  NeedPort();
  Graphics::SetMarkerKind(Int(c, 0));
}
void SetMarkerSizeProc(Call& c) {
  NeedPort();
  Graphics::SetMarkerSize(Int(c, 0));
}
void FrameWorldRectProc(Call& c) {
  NeedPort();
  Graphics::FrameWorldRect(Real(c, 0), Real(c, 1), Real(c, 2), Real(c, 3));
}
void PaintWorldRectProc(Call& c) {
  NeedPort();
  Graphics::PaintWorldRect(Real(c, 0), Real(c, 1), Real(c, 2), Real(c, 3));
}
void EraseViewportProc(Call&) {
  NeedPort();
  Graphics::EraseViewport();
}
void WorldCircleProc(Call& c) {
  NeedPort();
  Graphics::WorldCircle(Real(c, 0), Real(c, 1), Real(c, 2));
}
void TextAtProc(Call& c) {
  NeedPort();
  Graphics::TextAt(Real(c, 0), Real(c, 1), c.Text(2));
}
void WorldTextHeightProc(Call& c) {
  NeedPort();
  ResultReal(c, Graphics::WorldTextHeight());
}
void WorldTextWidthProc(Call& c) {
  NeedPort();
  ResultReal(c, Graphics::WorldTextWidth(c.Text(0)));
}
void ScrollWorldProc(Call& c) {
  NeedPort();
  Graphics::ScrollWorld(Real(c, 0), Real(c, 1), Real(c, 2), Real(c, 3), Real(c, 4), Real(c, 5));
}

void RectInViewProc(Call& c) {
  NeedPort();
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  const bool inside = Graphics::RectInView(Real(c, 0), Real(c, 1), Real(c, 2), Real(c, 3), left,
                                           top, right, bottom);
  Store(c, 4, left);
  Store(c, 5, top);
  Store(c, 6, right);
  Store(c, 7, bottom);
  c.result = inside ? 1 : 0;
}

void SetColorProc(Call& c) {
  NeedPort();
  Graphics::SetColor(Int(c, 0));
}
void SetBackColorProc(Call& c) {
  NeedPort();
  Graphics::SetBackColor(Int(c, 0));
}
void SetRGBColorProc(Call& c) {
  NeedPort();
  auto part = [&c](int i) {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(Card(c, i), 0xFFFF));
  };
  Graphics::SetRGBColor(Toolbox::RGBColor{part(0), part(1), part(2)});
}
void SetPenSizeProc(Call& c) {
  NeedPort();
  Graphics::SetPenSize(Int(c, 0));
}
void SetTextSizeProc(Call& c) {
  NeedPort();
  Graphics::SetTextSize(Int(c, 0));
}
void SetTextBackgroundProc(Call& c) {
  NeedPort();
  Graphics::SetTextBackground(Bool(c, 0));
}
void DrawAxesProc(Call& c) {
  NeedPort();
  Graphics::DrawAxes(Bool(c, 0));
}

void SavePictureProc(Call& c) {
  c.result = Graphics::SavePicture(WindowOf(c.args[0]), c.Text(1)) == 0 ? 1 : 0;
}

// ---- Plots: (port, xStart, xExtent, samples, count, ...) and (port, x, y, count, finish) ----

template <typename T, bool kBytes> void TraceProc(Call& c) {
  GraphPort* p = PortOf(c.args[0]);
  std::vector<T> aligned;
  const T* s = Elements<T>(c, 3, Card(c, 5), kBytes, aligned);
  Plot::PlotTrace(p, Real(c, 1), Real(c, 2), s, Count(Card(c, 5)), Bool(c, 6), Bool(c, 7));
}

template <typename T, bool kBytes> void StepsProc(Call& c) {
  GraphPort* p = PortOf(c.args[0]);
  std::vector<T> aligned;
  const T* s = Elements<T>(c, 3, Card(c, 5), kBytes, aligned);
  Plot::PlotSteps(p, Real(c, 1), Real(c, 2), s, Count(Card(c, 5)), Bool(c, 6));
}

template <typename T, bool kBytes, bool kMarkers> void XYProc(Call& c) {
  GraphPort* p = PortOf(c.args[0]);
  const std::uint32_t count = Card(c, 5);
  std::vector<T> alignedX, alignedY;
  const T* x = Elements<T>(c, 1, count, kBytes, alignedX);
  const T* y = Elements<T>(c, 3, count, kBytes, alignedY);
  if (kMarkers)
    Plot::PlotXYMarkers(p, x, y, Count(count), Bool(c, 6));
  else
    Plot::PlotXY(p, x, y, Count(count), Bool(c, 6));
}

// The marker kinds of the definition, by the numbers Graphics draws them.
constexpr const char* kMarkerNames[Graphics::kMarkerKinds] = {"Dot",     "Plus",  "Star",
                                                              "Diamond", "Cross", "Square"};

// The constants of the definition: the colour table's names and the marker kinds.
std::vector<Native::Constant> Constants() {
  std::vector<Native::Constant> constants;
  for (std::int32_t i = 0; i < Graphics::ColorCount(); ++i)
    constants.push_back({Graphics::ColorName(i).p, i});
  for (int i = 0; i < Graphics::kMarkerKinds; ++i) constants.push_back({kMarkerNames[i], i});
  return constants;
}

} // namespace

Native::ModuleSpec Spec() {
  return Native::ModuleSpec{
      "Graphics",
      Modules::Key{{0x4701, 0x0001, 0x0001}},
      Definitions::Text("Graphics"),
      {
          {"OpenWindow", OpenWindow, "avvvv:v"},
          {"CloseWindow", CloseWindow, "V"},
          {"WindowPort", WindowPortProc, "v:v"},
          {"NewViewport", NewViewportProc, "vvvvvv:v"},
          {"FrameViewport", FrameViewportProc, "vvv"},
          {"SetGraphPort", SetGraphPortProc, "v"},
          {"SetWorld", SetWorldProc, "rrrr"},
          {"SetWorld2", SetWorld2Proc, "rrrr"},
          {"WorldToPixel", WorldToPixelProc, "rrVV"},
          {"PixelToWorld", PixelToWorldProc, "vvVV"},
          {"WorldLine", WorldLineProc, "rrrr"},
          {"WorldMarker", WorldMarkerProc, "rr"},
          {"SetMarkerKind", SetMarkerKindProc, "v"},
          {"SetMarkerSize", SetMarkerSizeProc, "v"},
          {"FrameWorldRect", FrameWorldRectProc, "rrrr"},
          {"PaintWorldRect", PaintWorldRectProc, "rrrr"},
          {"EraseViewport", EraseViewportProc, ""},
          {"WorldCircle", WorldCircleProc, "rrr"},
          {"TextAt", TextAtProc, "rra"},
          {"WorldTextHeight", WorldTextHeightProc, ":r"},
          {"WorldTextWidth", WorldTextWidthProc, "a:r"},
          {"ScrollWorld", ScrollWorldProc, "rrrrrr"},
          {"RectInView", RectInViewProc, "rrrrVVVV:v"},
          {"SetColor", SetColorProc, "v"},
          {"SetBackColor", SetBackColorProc, "v"},
          {"SetRGBColor", SetRGBColorProc, "vvv"},
          {"SetPenSize", SetPenSizeProc, "v"},
          {"SetTextSize", SetTextSizeProc, "v"},
          {"DrawAxes", DrawAxesProc, "v"},
          {"SavePicture", SavePictureProc, "va:v"},
          {"PlotTrace", TraceProc<double, false>, "vrravvv"},
          {"PlotTraceInt", TraceProc<std::int32_t, false>, "vrravvv"},
          {"PlotTraceShort", TraceProc<std::int16_t, true>, "vrravvv"},
          {"PlotTraceSingle", TraceProc<float, true>, "vrravvv"},
          {"PlotSteps", StepsProc<double, false>, "vrravv"},
          {"PlotStepsInt", StepsProc<std::int32_t, false>, "vrravv"},
          {"PlotStepsShort", StepsProc<std::int16_t, true>, "vrravv"},
          {"PlotStepsSingle", StepsProc<float, true>, "vrravv"},
          {"PlotXY", XYProc<double, false, false>, "vaavv"},
          {"PlotXYInt", XYProc<std::int32_t, false, false>, "vaavv"},
          {"PlotXYShort", XYProc<std::int16_t, true, false>, "vaavv"},
          {"PlotXYSingle", XYProc<float, true, false>, "vaavv"},
          {"PlotXYMarkers", XYProc<double, false, true>, "vaavv"},
          {"PlotXYMarkersInt", XYProc<std::int32_t, false, true>, "vaavv"},
          {"PlotXYMarkersShort", XYProc<std::int16_t, true, true>, "vaavv"},
          {"PlotXYMarkersSingle", XYProc<float, true, true>, "vaavv"},
          {"SetTextBackground", SetTextBackgroundProc, "v"},
      },
      nullptr,
      0,
      Constants(),
  };
}

void Add() { Native::Add(Spec()); }

} // namespace GraphicsModule
