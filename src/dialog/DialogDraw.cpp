// Drawing the items of a dialog with the desktop's controls, and the texts they show.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/DialogInternal.h"
#include "platform/Backend.h"

namespace Dialog {

using namespace Internal;
using Toolbox::ControlKind;

namespace {

constexpr std::size_t kTextHigh = 255;
constexpr RGBColor kBlack{0, 0, 0};
constexpr RGBColor kWhite{0xFFFF, 0xFFFF, 0xFFFF};
constexpr RGBColor kGrey{0x8080, 0x8080, 0x8080};
constexpr RGBColor kFieldBack{0xFFFF, 0xFFFF, 0xFFFF};
// The room the default button's heavier frame takes around it.
constexpr std::int32_t kDefaultMargin = 3;
// Text inside framed items and fields keeps off the frame.
constexpr std::int32_t kInset = 3;
// The width of a pop-up list's arrow part.
constexpr std::int32_t kArrowWidth = 18;
// Text sizes above this (a damaged file's) are drawn at it.
constexpr std::int32_t kMaxTextSize = 127;
constexpr char kTrue[] = "TRUE";
constexpr char kFalse[] = "FALSE";

// The position of an item in the run of radio buttons around it (from 0), and the
// number of a pane item among the dialog's pane items (from 1).
std::int32_t RunStart(DialogRecord& d, std::int32_t index) {
  std::int32_t first = index;
  while (first > 1 && d.items[first - 1]->kind == ItemKind::RadioButton) --first;
  return first;
}
std::int32_t PaneNumber(DialogRecord& d, std::int32_t index) {
  std::int32_t n = 0;
  for (std::int32_t i = 1; i <= index; ++i)
    if (d.items[i]->kind == ItemKind::Pane) ++n;
  return n;
}

void StripBlanks(VarChars text) {
  Strings::StripLeading(text, ' ');
  Strings::StripTrailing(text, ' ');
}

void FormatNumber(const DialogItem& item, VarChars text) {
  Strings::Clear(text);
  const double v = ValueOf(item) * item.factor;
  if (item.valueType == ValueType::Boolean) {
    Strings::Assign(text, v != 0 ? Chars(kTrue) : Chars(kFalse));
  } else {
    const int length = std::max<int>(1, std::min<int>(item.length, 60));
    const int digits = std::min<int>(item.digits, 30);
    switch (item.format) {
    case NumberFormat::Integer:
      NumberOut::AppendInt(Round(v), text, length);
      break;
    case NumberFormat::Hexadecimal:
      NumberOut::AppendHex(static_cast<std::uint32_t>(Round(v)), text, length);
      break;
    case NumberFormat::Fixed:
      NumberOut::AppendFixed(v, text, std::max(length, digits + 2), digits);
      break;
    case NumberFormat::Scientific:
      NumberOut::AppendReal(v, text, digits + 7);
      break;
    case NumberFormat::Engineering:
      NumberOut::AppendEng(v, text, digits + 4 < 6 ? 6 : digits + 4);
      break;
    }
  }
  StripBlanks(text);
  Strings::Append(text, item.unit);
}

// The colour behind an item's text: its back colour, or the opposite of a light one when
// the item is inverted, so that its light text shows (an empty macro button).
RGBColor Paper(const DialogItem& item) {
  const RGBColor& b = item.backCol;
  if (!item.inverted || Dark(b)) return b;
  return RGBColor{static_cast<std::uint16_t>(0xFFFF - b.red),
                  static_cast<std::uint16_t>(0xFFFF - b.green),
                  static_cast<std::uint16_t>(0xFFFF - b.blue)};
}

RGBColor Ink(const DialogItem& item) {
  if (!item.enabled) return kGrey;
  return item.inverted ? kWhite : kBlack;
}

// Black or white, whichever stands out more on paper: text on a coloured fill stays
// readable whatever the colour (the relative luminance of sRGB decides).
RGBColor InkOn(const RGBColor& paper) {
  auto linear = [](std::uint16_t c) {
    const double v = c / 65535.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const double luminance =
      0.2126 * linear(paper.red) + 0.7152 * linear(paper.green) + 0.0722 * linear(paper.blue);
  // Equal contrast with black and white where (L + 0.05)² = 0.05 × 1.05.
  return luminance > 0.1791 ? kBlack : kWhite;
}

// The text at the item's position inside r by its alignment, clipped to r.
void DrawLabel(const DialogItem& item, const Rect& r, Chars text, const RGBColor& paper) {
  const std::size_t n = Strings::Length(text);
  if (n == 0) return;
  UseItemFont(item);
  if (item.enabled) Toolbox::RGBForeColor(InkOn(paper));
  Toolbox::RGBBackColor(paper);
  Toolbox::TextMode(Toolbox::kTextOr);
  const std::string_view s(text.p, n);
  const std::int32_t width = Toolbox::TextWidth(s);
  Toolbox::FontInfo f;
  Toolbox::GetFontInfo(f);
  std::int32_t x = r.left + item.positionX;
  switch (item.alignment) {
  case Alignment::Left:
    break;
  case Alignment::Center:
    x = (r.left + r.right - width) / 2 + item.positionX;
    break;
  case Alignment::Right:
  case Alignment::Last:
    // "last" keeps the end of a text too long for the item in view, "right" its start.
    x = r.right - width - item.positionX;
    if (item.alignment == Alignment::Right) x = std::max(x, r.left);
    break;
  }
  const std::int32_t y =
      r.top + (r.Height() - f.ascent - f.descent) / 2 + f.ascent + item.positionY;
  Toolbox::PortState& port = Toolbox::CurrentState();
  const Rect clip = port.clip;
  Rect inside;
  Toolbox::SectRect(clip, r, inside);
  Toolbox::ClipRect(inside);
  Toolbox::MoveTo(x, y);
  Toolbox::DrawString(s);
  Toolbox::ClipRect(clip);
  Toolbox::TextMode(Toolbox::kTextCopy);
}

std::uint32_t ControlState(const DialogItem& item, bool on) {
  std::uint32_t s = 0;
  if (item.pressed) s |= Toolbox::kControlPressed;
  if (on) s |= Toolbox::kControlOn;
  if (!item.enabled) s |= Toolbox::kControlDisabled;
  return s;
}

// A lamp: the inside of r in the item's "High Col".
void Light(const DialogItem& item, Rect r) {
  Toolbox::InsetRect(r, 3, 3);
  Toolbox::RGBForeColor(item.area.highCol);
  Toolbox::PaintRoundRect(r, 6, 6);
}

// A switch's indicator at the left of its button: lit in the item's "High Col" while the
// switch is on; while it is off, paler than the face, so that it differs from the usual
// "High Col", a darker shade of the face. Returns its rectangle.
Rect SwitchLamp(const DialogItem& item, const Rect& r, bool on, const RGBColor& face) {
  const std::int32_t size = std::clamp(r.Height() - 10, 6, 12);
  const std::int32_t left = r.left + std::clamp(r.Height() / 3, 4, 8);
  const std::int32_t top = (r.top + r.bottom - size) / 2;
  const Rect lamp{left, top, left + size, top + size};
  auto paler = [](std::uint16_t c) { return static_cast<std::uint16_t>(c + (0xFFFF - c) / 2); };
  const RGBColor unlit{paler(face.red), paler(face.green), paler(face.blue)};
  Toolbox::RGBForeColor(on ? item.area.highCol : unlit);
  Toolbox::PaintOval(lamp);
  Toolbox::RGBForeColor(kGrey);
  Toolbox::FrameOval(lamp);
  return lamp;
}

// The square indicator of a check box or radio button, centred on box.
Rect Indicator(const Rect& box, std::int32_t size) {
  const std::int32_t h = (box.left + box.right) / 2, v = (box.top + box.bottom) / 2;
  return Rect{h - size / 2, v - size / 2, h - size / 2 + size, v - size / 2 + size};
}

} // namespace

namespace Internal {

void UseItemFont(const DialogItem& item) {
  Toolbox::TextFont(item.font);
  Toolbox::TextSize(item.size > 0 ? std::min<std::int32_t>(item.size, kMaxTextSize) : 10);
  Toolbox::TextFace(item.style & (Toolbox::kBold | Toolbox::kItalic | Toolbox::kUnderline));
  Toolbox::RGBForeColor(Ink(item));
  Toolbox::RGBBackColor(item.backCol);
}

bool IsOn(DialogRecord& d, std::int32_t index) {
  DialogItem& item = *d.items[index];
  switch (item.kind) {
  case ItemKind::RadioButton:
    if (item.valueType == ValueType::Boolean || item.valueType == ValueType::Real64)
      return ValueOf(item) != 0;
    return Round(ValueOf(item)) == index - RunStart(d, index);
  case ItemKind::Pane:
    return d.pane == PaneNumber(d, index);
  default:
    return ValueOf(item) != 0;
  }
}

void Press(DialogRecord& d, std::int32_t index) {
  DialogItem& item = *d.items[index];
  switch (item.kind) {
  case ItemKind::Button:
    SetValue(item, 1);
    break;
  case ItemKind::Switch:
  case ItemKind::CheckBox:
  case ItemKind::FramedBool:
    SetValue(item, ValueOf(item) != 0 ? 0 : 1);
    break;
  case ItemKind::MultiCheck:
    if (item.valueType == ValueType::Boolean)
      SetValue(item, ValueOf(item) != 0 ? 0 : 1);
    else
      SetValue(item, (Round(ValueOf(item)) + 1) % 3);
    break;
  case ItemKind::RadioButton: {
    const std::int32_t first = RunStart(d, index);
    if (item.valueType == ValueType::Boolean || item.valueType == ValueType::Real64) {
      for (std::int32_t i = first; i <= d.highest && d.items[i]->kind == ItemKind::RadioButton;
           ++i) {
        if (i == index || d.items[i]->value == item.value) continue;
        SetValue(*d.items[i], 0);
        DrawItem(d, i);
      }
      SetValue(item, 1);
    } else {
      SetValue(item, index - first);
      for (std::int32_t i = first; i <= d.highest && d.items[i]->kind == ItemKind::RadioButton; ++i)
        if (i != index) DrawItem(d, i);
    }
    break;
  }
  case ItemKind::Pane:
    SelectPane(d, static_cast<std::int16_t>(PaneNumber(d, index)));
    break;
  default:
    break;
  }
}

} // namespace Internal

void ButtonFrame(DialogRecord&, std::int16_t) {
  // The bevel the platform draws for a button is its frame.
}

void DefaultButtonFrame(DialogRecord&, std::int16_t) {
  // Drawn with the bevel: the default button's state asks the platform for its frame.
}

void DisplayText(DialogRecord& d, std::int32_t index, VarChars text) {
  Strings::Clear(text);
  if (d.items == nullptr || index < 0 || index > d.highest) return;
  const DialogItem& item = *d.items[index];
  switch (item.kind) {
  case ItemKind::Text:
  case ItemKind::FramedText:
  case ItemKind::EditText:
    if (item.valueType == ValueType::String && item.value != nullptr)
      Strings::Assign(text, Chars(static_cast<const char*>(item.value), item.length));
    else
      Strings::Assign(text, item.text);
    break;
  case ItemKind::FramedNumber:
  case ItemKind::Drag:
  case ItemKind::Array:
    FormatNumber(item, text);
    break;
  case ItemKind::TrueFalse:
  case ItemKind::HighLow:
  case ItemKind::List:
    GetListEntryText(d, index, ListIndex(item) + 1, text);
    break;
  default:
    Strings::Assign(text, item.text);
    break;
  }
}

void DrawItem(DialogRecord& d, std::int32_t index) {
  if (!d.open || d.items == nullptr || index < 1 || index > d.highest) return;
  Drawing drawing(d);
  if (!drawing.Ok()) return;
  DialogItem& item = *d.items[index];
  const auto i = static_cast<std::int16_t>(index);
  const bool isDefault = item.frame == DefaultButtonFrame;
  Rect area = item.rect;
  if (isDefault) Toolbox::InsetRect(area, -kDefaultMargin, -kDefaultMargin);
  if (!Shown(d, index)) {
    Toolbox::RGBBackColor(d.items[0]->backCol);
    Toolbox::EraseRect(area);
    return;
  }
  if (item.background != nullptr) item.background(d, i);
  Toolbox::PenNormal();
  const RGBColor paper = Paper(item);
  Toolbox::RGBBackColor(paper);
  if (!S().erased || !(paper == d.items[0]->backCol)) Toolbox::EraseRect(area);
  char text[kTextHigh + 1];
  DisplayText(d, index, text);
  const Rect& r = item.rect;
  Rect inner = r;
  Toolbox::InsetRect(inner, kInset, 0);
  switch (item.kind) {
  case ItemKind::Button:
  case ItemKind::Drag2:
  case ItemKind::Pane: {
    std::uint32_t s = ControlState(item, item.kind == ItemKind::Pane && IsOn(d, index));
    if (isDefault) s |= Toolbox::kControlDefault;
    Toolbox::DrawControl(ControlKind::PushButton, r, s);
    DrawLabel(item, r, text, paper);
    break;
  }
  case ItemKind::Switch: {
    // A toggle button: sunk while on, with its lamp; the label beside the lamp.
    const bool on = IsOn(d, index);
    std::uint32_t s = ControlState(item, on);
    if (on) s |= Toolbox::kControlPressed;
    Toolbox::DrawControl(ControlKind::PushButton, r, s);
    const Rect lamp = SwitchLamp(item, r, on, paper);
    DrawLabel(item, Rect{lamp.right + 2, r.top, r.right - (lamp.left - r.left), r.bottom}, text,
              paper);
    break;
  }
  case ItemKind::FramedBool: {
    const bool on = IsOn(d, index);
    Toolbox::DrawControl(ControlKind::Frame, r, ControlState(item, on));
    if (on) Light(item, r);
    DrawLabel(item, r, text, on ? item.area.highCol : paper);
    break;
  }
  case ItemKind::RadioButton: {
    const std::int32_t size = std::clamp(r.Height() - 4, 9, 14);
    const Rect box = Indicator(Rect{r.left + 3, r.top, r.left + 3 + size, r.bottom}, size);
    Toolbox::DrawControl(ControlKind::RadioButton, box, ControlState(item, IsOn(d, index)));
    DrawLabel(item, Rect{box.right + 4, r.top, r.right, r.bottom}, text, paper);
    break;
  }
  case ItemKind::CheckBox:
  case ItemKind::MultiCheck: {
    const CheckArea& c = item.area.check;
    const Rect box = Indicator(c.box, std::max<std::int32_t>(c.boxSize, 6));
    std::uint32_t s = ControlState(item, false);
    const std::int32_t v = Round(ValueOf(item));
    if (v == 1 || (item.valueType == ValueType::Boolean && v != 0)) s |= Toolbox::kControlOn;
    if (v == 2 && item.kind == ItemKind::MultiCheck) s |= Toolbox::kControlMixed;
    Toolbox::DrawControl(ControlKind::CheckBox, box, s);
    DrawLabel(item, Rect{box.right, r.top, r.right, r.bottom}, text, paper);
    break;
  }
  case ItemKind::Text:
    DrawLabel(item, r, text, paper);
    break;
  case ItemKind::FramedText:
  case ItemKind::FramedNumber:
    Toolbox::DrawControl(ControlKind::Frame, r, ControlState(item, false));
    DrawLabel(item, inner, text, paper);
    break;
  case ItemKind::Drag:
  case ItemKind::EditText: {
    std::uint32_t s = ControlState(item, false);
    if (d.focus == index) s |= Toolbox::kControlFocused;
    Toolbox::DrawControl(ControlKind::LineEdit, r, s);
    DrawLabel(item, inner, text, kFieldBack);
    break;
  }
  case ItemKind::TrueFalse:
  case ItemKind::HighLow:
  case ItemKind::List: {
    Toolbox::DrawControl(ControlKind::ComboBox, r, ControlState(item, false));
    Rect field = inner;
    field.right = std::max(field.left, r.right - kArrowWidth);
    DrawLabel(item, field, text, paper);
    break;
  }
  case ItemKind::Array:
    Toolbox::DrawControl(ControlKind::Frame, r, ControlState(item, false));
    break;
  case ItemKind::Offscreen:
  case ItemKind::GWindow:
    if (Toolbox::Offscreen* o = item.area.surface.surface) {
      Toolbox::CopyBits(Toolbox::Port{nullptr, o, &o->state}, Toolbox::GetPort(),
                        Rect{0, 0, o->width, o->height}, r);
    }
    break;
  default:
    break;
  }
  if (item.frame != nullptr) item.frame(d, i);
  d.drawn = true;
}

void DrawDialog(DialogRecord& d) {
  if (!d.open || d.items == nullptr) return;
  {
    Drawing drawing(d);
    if (!drawing.Ok()) return;
    Toolbox::PenNormal();
    Toolbox::RGBBackColor(d.items[0]->backCol);
    Toolbox::EraseRect(Toolbox::GetPortRect(d.window));
  }
  S().erased = true;
  for (std::int32_t i = 1; i <= d.highest; ++i)
    if (Shown(d, i)) DrawItem(d, i);
  S().erased = false;
  if (d.procs.drawn != nullptr) d.procs.drawn(d);
}

} // namespace Dialog
