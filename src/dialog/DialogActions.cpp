// Item actions: pressing, dragging numbers with the mouse, editing texts and numbers in
// place, the pop-up menus of lists, and the number check.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/DialogInternal.h"
#include "platform/Alerts.h"
#include "platform/Events.h"
#include "textio/TextIO.h"
#include "windows/KeyEvents.h"

namespace Dialog {

using namespace Internal;
using namespace KeyEvents;

namespace {

constexpr std::size_t kFieldHigh = 159; // a number edited as text
using base::kLineHigh;
constexpr std::uint32_t kSamplePeriod = 100; // ms between the samples of a drag
constexpr std::int32_t kMinRunLength = 20;
constexpr std::int32_t kMenuAbove = 12; // a list's menu opens this far above the item
constexpr std::int32_t kCaretWidth = 1;
constexpr char kRangeStart[] = "Number must be >= ";
constexpr char kRangeMiddle[] = " and <= ";
constexpr char kRangeEnd[] = " !";

std::int32_t FloorDiv(std::int32_t a, std::int32_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The accumulated pixels of the drag in hand, per item.
struct DragState {
  std::int32_t pixels = 0;
};

// One change by pixels of a "drag" item (upwards positive); whether its value changed.
bool ChangeDrag(DialogRecord& d, std::int16_t index, std::int32_t pixels, DragState& state) {
  if (index < 1 || index > d.highest) return false;
  DialogItem& item = *d.items[index];
  if (item.kind != ItemKind::Drag || item.valueType == ValueType::Set16 ||
      item.valueType == ValueType::String)
    return false;
  DragArea& a = item.area.drag;
  const std::int32_t pps = a.pixelsPerStep > 0 ? a.pixelsPerStep : 1;
  const std::int32_t before = state.pixels;
  state.pixels += pixels;
  const std::int32_t s = FloorDiv(state.pixels, pps) - FloorDiv(before, pps);
  if (s == 0) return false;
  if (a.direction == 0 || a.direction > 3) {
    a.direction = 1;
    a.rate = a.initialRate;
    if (a.runLength < kMinRunLength) a.runLength = kMinRunLength;
  }
  if (a.direction == 1) {
    a.direction = s < 0 ? 3 : 2;
    a.steps = 0;
  } else if ((a.direction == 2) == (s > 0)) {
    if (std::abs(a.steps) < a.runLength)
      a.steps = static_cast<std::int16_t>(std::clamp(a.steps + s, -32768, 32767));
    else
      a.rate = a.initialRate;
  } else {
    a.rate *= a.rateFactor;
    a.steps = static_cast<std::int16_t>(std::clamp(s, -32768, 32767));
    a.direction = s < 0 ? 3 : 2;
  }
  const double old = ValueOf(item);
  double value = old;
  if (item.valueType == ValueType::Boolean) {
    if (s > 1) value = 1;
    if (s < -1) value = 0;
  } else {
    double increment = std::max(std::abs(value * a.rate), a.step) * s;
    if (a.rate < 0) increment = -increment;
    value += a.reversed ? -increment : increment;
    if (item.minimum < item.maximum) {
      if (value <= item.minimum) {
        value = item.minimum;
      } else if (value >= item.maximum) {
        value = item.maximum;
      } else if (a.step != 0) {
        const double q = value / a.step;
        value = (q < 0 ? -std::floor(-q + 0.5) : std::floor(q + 0.5)) * a.step;
      }
    } else if (a.step != 0) {
      const double q = value / a.step;
      value = (q < 0 ? -std::floor(-q + 0.5) : std::floor(q + 0.5)) * a.step;
    }
  }
  SetValue(item, value);
  if (item.change != nullptr) item.change(d, index);
  DrawItem(d, index);
  if (S().eventHook != nullptr) S().eventHook(S().code, 0, 0, d.window);
  return ValueOf(item) != old;
}

// ---- The field editor of editing in place ----

struct Field {
  char text[kFieldHigh + 1] = {};
  std::size_t length = 0;
  std::size_t limit = kFieldHigh;
  std::size_t caret = 0;
  bool replace = true; // the first character typed replaces the preset text
};

void DrawField(DialogRecord& d, const DialogItem& item, const Field& f) {
  Drawing drawing(d);
  if (!drawing.Ok()) return;
  const Rect& r = item.rect;
  Toolbox::PenNormal();
  Toolbox::RGBBackColor(item.backCol);
  Toolbox::EraseRect(r);
  Toolbox::DrawControl(Toolbox::ControlKind::LineEdit, r, Toolbox::kControlFocused);
  UseItemFont(item);
  Toolbox::RGBForeColor(RGBColor{0, 0, 0});
  Toolbox::RGBBackColor(RGBColor{0xFFFF, 0xFFFF, 0xFFFF});
  Toolbox::FontInfo fi;
  Toolbox::GetFontInfo(fi);
  Rect inner = r;
  Toolbox::InsetRect(inner, 3, 1);
  // The text scrolls so that the caret stays in view.
  std::size_t from = 0;
  while (from < f.caret &&
         Toolbox::TextWidth(std::string_view(f.text + from, f.caret - from)) > inner.Width() - 2)
    ++from;
  const std::int32_t base = r.top + (r.Height() - fi.ascent - fi.descent) / 2 + fi.ascent;
  const Rect clip = Toolbox::CurrentState().clip;
  Rect inside;
  Toolbox::SectRect(clip, inner, inside);
  Toolbox::ClipRect(inside);
  Toolbox::TextMode(Toolbox::kTextOr);
  Toolbox::MoveTo(inner.left, base);
  Toolbox::DrawString(std::string_view(f.text + from, f.length - from));
  const std::int32_t x =
      inner.left + Toolbox::TextWidth(std::string_view(f.text + from, f.caret - from));
  if (f.replace && f.length > 0) {
    Toolbox::InvertRect(Rect{inner.left, base - fi.ascent, x, base + fi.descent});
  } else {
    Toolbox::PaintRect(Rect{x, base - fi.ascent, x + kCaretWidth, base + fi.descent});
  }
  Toolbox::TextMode(Toolbox::kTextCopy);
  Toolbox::ClipRect(clip);
}

enum class Ending { Commit, Cancel };

// Edits f until a key ends it: RETURN, TAB, Enter or a click commit (the TAB and the
// click are then handled by the event step), ESC and the other ending keys cancel.
Ending RunField(DialogRecord& d, const DialogItem& item, Field& f) {
  DrawField(d, item, f);
  for (;;) {
    std::uint8_t code = KeyNone, modifiers = 0;
    char ch = 0;
    KeyEvents::GetKey(nullptr, code, modifiers, ch);
    if (!d.open) return Ending::Cancel;
    switch (code) {
    case KeyNone:
    case KeyHandled:
    case KeyMouseStillDown:
    case KeyMenu:
      continue;
    case KeyUpdate:
      if (DialogRecord* other = DialogOf(KeyEvents::LastWindow())) DrawDialog(*other);
      DrawField(d, item, f);
      continue;
    case KeyCharacter:
      if (ch == 13 || ch == 9) {
        if (ch == 9) {
          KeyEvents::UngetKey();
          S().pushedBack = true;
        }
        return Ending::Commit;
      }
      if (ch == 27) return Ending::Cancel;
      if (static_cast<unsigned char>(ch) < 32) continue;
      if (f.replace) {
        f.length = f.caret = 0;
        f.text[0] = 0;
      }
      f.replace = false;
      if (f.length >= f.limit) {
        Alerts::AlertBeep();
        continue;
      }
      std::memmove(f.text + f.caret + 1, f.text + f.caret, f.length - f.caret);
      f.text[f.caret++] = ch;
      f.text[++f.length] = 0;
      break;
    case KeyDeleteLeft:
    case KeyDeleteRight: {
      if (f.replace) {
        f.length = f.caret = 0;
        f.text[0] = 0;
        f.replace = false;
        break;
      }
      const bool left = code == KeyDeleteLeft;
      if (left ? f.caret == 0 : f.caret >= f.length) break;
      if (left) --f.caret;
      std::memmove(f.text + f.caret, f.text + f.caret + 1, f.length - f.caret);
      --f.length;
      break;
    }
    case KeyCursorLeft:
      f.replace = false;
      if (f.caret > 0) --f.caret;
      break;
    case KeyCursorRight:
      f.replace = false;
      if (f.caret < f.length) ++f.caret;
      break;
    case KeyHome:
      f.replace = false;
      f.caret = 0;
      break;
    case KeyEnd:
      f.replace = false;
      f.caret = f.length;
      break;
    case KeyEnter:
      return Ending::Commit;
    case KeyMouse:
    case KeyDoubleMouse:
    case KeyTripleMouse:
      KeyEvents::UngetKey();
      S().pushedBack = true;
      return Ending::Commit;
    default:
      // Window events end the edit unaccepted and go to the event step.
      if (code >= KeyDeactivate) {
        KeyEvents::UngetKey();
        S().pushedBack = true;
      }
      return Ending::Cancel;
    }
    DrawField(d, item, f);
  }
}

bool IsNumberText(Chars text, NumberFormat mode, double& value) {
  std::size_t pos = 0;
  bool ok = false;
  switch (mode) {
  case NumberFormat::Integer: {
    std::int32_t i = 0;
    ok = NumberIn::ScanInt(text, pos, i);
    value = i;
    break;
  }
  case NumberFormat::Hexadecimal: {
    while (pos <= text.high && text[pos] == ' ') ++pos;
    std::uint32_t h = 0;
    ok = TextIO::ScanHex(text, pos, h);
    value = h;
    break;
  }
  case NumberFormat::Engineering:
    ok = NumberIn::ScanRealSI(text, pos, value);
    break;
  default:
    ok = NumberIn::ScanReal(text, pos, value);
    break;
  }
  while (pos <= text.high && text[pos] == ' ') ++pos;
  return ok && (pos > text.high || text[pos] == 0);
}

// Commits the text of a number item; false when the value stays.
bool CommitNumber(DialogItem& item, Chars text, Chars before) {
  if (Strings::Length(text) == 0 || Strings::Equal(text, before)) return false;
  if (item.valueType == ValueType::Boolean) {
    switch (Strings::Cap(text[0])) {
    case 'F':
    case 'L':
      SetValue(item, 0);
      return true;
    case 'H':
    case 'T':
      SetValue(item, 1);
      return true;
    default:
      Alerts::AlertBeep();
      return false;
    }
  }
  double result = 0;
  if (!CheckNumber(text, item.minimum, item.maximum, item.factor, result, item.format, false))
    return false;
  SetValue(item, result);
  return true;
}

void AppendBound(VarChars text, double bound, bool integer) {
  if (integer)
    NumberOut::AppendInt(Round(bound), text, 0);
  else
    NumberOut::AppendFixed(bound, text, 5, 2);
}

// The press of a button, switch, check box or the like: pressed while the button is held
// over it; the value changes when it is released inside (at once without a click).
bool PressItem(DialogRecord& d, std::int16_t index) {
  DialogItem& item = *d.items[index];
  item.pressed = true;
  DrawItem(d, index);
  bool inside = true;
  if (S().fromClick) {
    while (Events::StillDown()) {
      WaitMessage();
      const bool now = Toolbox::PtInRect(Mouse(d), item.rect);
      if (now == inside) continue;
      inside = now;
      item.pressed = inside;
      DrawItem(d, index);
    }
    inside = Toolbox::PtInRect(Mouse(d), item.rect);
  }
  item.pressed = false;
  if (!inside) {
    DrawItem(d, index);
    return false;
  }
  Press(d, index);
  DrawItem(d, index);
  ItemChanged(d, index);
  RunAction(d, index);
  Record(d, index);
  return true;
}

} // namespace

bool CheckNumber(Chars text, double minimum, double maximum, double factor, double& result,
                 NumberFormat mode, bool strict) {
  double value = 0;
  if (!IsNumberText(text, mode, value)) return false;
  if (factor != 0) value /= factor;
  if (minimum >= maximum || (value >= minimum && value <= maximum)) {
    result = value;
    return true;
  }
  if (!strict) {
    result = value < minimum ? minimum : maximum;
    return true;
  }
  const bool integer = mode == NumberFormat::Integer || mode == NumberFormat::Hexadecimal;
  char line[kLineHigh + 1];
  Strings::Assign(line, kRangeStart);
  AppendBound(line, minimum, integer);
  Strings::Append(line, kRangeMiddle);
  AppendBound(line, maximum, integer);
  Strings::Append(line, kRangeEnd);
  Highlighted(line);
  return false;
}

bool DragValues(std::int16_t item, std::int16_t horizontalItem, std::int16_t verticalItem) {
  DialogRecord& d = Current();
  if (!d.open || item < 1 || item > d.highest) return false;
  DragState horizontal, vertical;
  bool changed = false;
  Point previous = S().fromClick ? S().where : Mouse(d);
  // The pointer is hidden while it drags, and shown again however the drag ends (a
  // procedure of a program may end its run).
  struct HiddenCursor {
    HiddenCursor() { Toolbox::HideCursor(); }
    ~HiddenCursor() { Toolbox::ShowCursor(); }
  } hidden;
  std::uint32_t next = Toolbox::TickCount() + kSamplePeriod;
  for (;;) {
    const bool down = Events::StillDown();
    if (down && static_cast<std::int32_t>(Toolbox::TickCount() - next) < 0) {
      WaitMessage();
      continue;
    }
    // Measured from the last sample rather than by putting the pointer back, which not
    // every platform allows.
    const Point p = Mouse(d);
    if (verticalItem != 0 && p.v != previous.v)
      changed = ChangeDrag(d, verticalItem, previous.v - p.v, vertical) || changed;
    if (horizontalItem != 0 && p.h != previous.h)
      changed = ChangeDrag(d, horizontalItem, p.h - previous.h, horizontal) || changed;
    previous = p;
    if (!down) break;
    next = Toolbox::TickCount() + kSamplePeriod;
  }
  for (std::int16_t i : {horizontalItem, verticalItem})
    if (i >= 1 && i <= d.highest && d.items[i]->kind == ItemKind::Drag)
      d.items[i]->area.drag.direction = 0;
  // A click that moved nothing changed nothing.
  if (changed) ItemChanged(d, item);
  RunAction(d, item);
  Record(d, item);
  return true;
}

bool EditItem(std::int16_t index) {
  DialogRecord& d = Current();
  if (!d.open || index < 1 || index > d.highest) return false;
  DialogItem& item = *d.items[index];
  const std::int16_t old = d.focus;
  d.focus = index;
  if (old != index) DrawItem(d, old);
  Capture(item);
  Field f;
  char before[kFieldHigh + 1];
  const bool text = item.kind == ItemKind::EditText;
  if (text) {
    f.limit = std::min<std::size_t>(item.length, kFieldHigh);
    char* variable = item.valueType == ValueType::String ? static_cast<char*>(item.value) : nullptr;
    if (item.clearOnEdit && variable != nullptr) variable[0] = 0;
    if (variable != nullptr && !item.clearOnEdit)
      Strings::Assign(VarChars(f.text, f.limit), Chars(variable, item.length));
    else if (variable == nullptr)
      Strings::Assign(VarChars(f.text, f.limit), item.text);
  } else {
    DisplayText(d, index, VarChars(f.text, kFieldHigh));
    // The unit is shown, not edited.
    const std::size_t n = Strings::Length(f.text), u = Strings::Length(item.unit);
    if (u > 0 && n >= u && Strings::Equal(Chars(f.text + n - u, u), item.unit)) f.text[n - u] = 0;
    Strings::StripLeading(f.text, ' ');
    Strings::StripTrailing(f.text, ' ');
  }
  f.length = f.caret = Strings::Length(f.text);
  Strings::Assign(before, f.text);
  const Ending ending = RunField(d, item, f);
  bool changed = false;
  if (ending == Ending::Commit) {
    if (text) {
      if (item.valueType == ValueType::String && item.value != nullptr)
        Strings::Assign(VarChars(static_cast<char*>(item.value), item.length), f.text);
      else
        AssignPadded(item.text, sizeof item.text, f.text);
      changed = true;
    } else {
      changed = CommitNumber(item, f.text, before);
    }
  }
  DrawItem(d, index);
  if (ending == Ending::Commit) {
    if (changed) ItemChanged(d, index);
    RunAction(d, index);
    Record(d, index);
  }
  return ending == Ending::Commit;
}

bool PopUpList(std::int16_t index) {
  DialogRecord& d = Current();
  if (!d.open || index < 1 || index > d.highest || !IsList(d.items[index]->kind)) return false;
  DialogItem& item = *d.items[index];
  ListArea& l = item.area.list;
  if (l.menu == nullptr) return false;
  const std::int16_t label = l.label;
  if (label >= 1 && label <= d.highest) {
    d.items[label]->pressed = true;
    d.items[label]->inverted = !d.items[label]->inverted;
    DrawItem(d, label);
  }
  {
    Drawing drawing(d);
    Toolbox::RGBBackColor(item.backCol);
    Toolbox::EraseRect(item.rect);
  }
  l.count = static_cast<std::int16_t>(Toolbox::CountItems(l.menu));
  const std::int32_t present = ListIndex(item);
  const std::uint16_t second = ListSecond(item);
  auto mark = [&](bool on) {
    for (std::int32_t e = 1; e <= l.count; ++e) {
      bool checked = e == present + 1;
      const std::int32_t bit = e - l.firstToggle;
      if (l.firstToggle > 0 && bit >= 0 && bit <= 15) checked = ((second >> bit) & 1) != 0;
      Toolbox::CheckItem(l.menu, e, on && checked);
    }
  };
  mark(true);
  Point at{item.rect.left, item.rect.top - kMenuAbove + item.positionY};
  {
    Drawing drawing(d);
    Toolbox::LocalToGlobal(at);
  }
  const std::int32_t r = Toolbox::PopUpMenu(l.menu, at);
  mark(false);
  Capture(item);
  const bool cancelled = r < 1 || r > l.count;
  bool changed = false;
  if (!cancelled) {
    const std::int32_t bit = r - l.firstToggle;
    if (l.firstToggle > 0 && bit >= 0 && bit <= 15) {
      SetListSecond(item, static_cast<std::uint16_t>(second ^ (1u << bit)));
      changed = true;
    } else {
      changed = r - 1 != present;
      SetListIndex(item, r - 1);
    }
  }
  DrawItem(d, index);
  if (changed) ItemChanged(d, index);
  if ((S().execute && changed) || item.programAction || cancelled) {
    if (ItemProc action = item.action) action(d, index);
  }
  Record(d, index);
  if (label >= 1 && label <= d.highest) {
    d.items[label]->pressed = false;
    d.items[label]->inverted = !d.items[label]->inverted;
    DrawItem(d, label);
  }
  DrawItem(d, index);
  return true;
}

bool ItemHit(std::int16_t index, bool isDouble, char ch, std::uint8_t modifiers, bool edit,
             bool withHooks, std::int32_t x, std::int32_t y) {
  DialogRecord& d = Current();
  if (!d.open || d.items == nullptr || index < 1 || index > d.highest) return false;
  DialogItem& item = *d.items[index];
  if (!item.executable || !item.enabled) return false;
  if (withHooks && !BeforeAction(d, index)) return false;
  State& s = S();
  s.acting.item = index;
  s.acting.code = s.code;
  s.acting.ch = ch;
  s.acting.modifiers = modifiers;
  s.acting.time = Toolbox::TickCount();
  Capture(item);
  if (s.fromClick) s.where = Point{x, y};
  bool done = false;
  if (HasTrait(item.kind, kTraitPressed)) {
    done = PressItem(d, index);
  } else if (IsList(item.kind)) {
    if (s.fromClick && d.window == Toolbox::FrontWindow()) {
      done = PopUpList(index);
    } else {
      RunAction(d, index);
      Record(d, index);
      done = true;
    }
  } else {
    switch (item.kind) {
    case ItemKind::Text:
    case ItemKind::FramedText:
    case ItemKind::FramedNumber:
    case ItemKind::Offscreen:
    case ItemKind::GWindow:
    case ItemKind::User:
      done = !s.fromClick || Toolbox::PtInRect(Mouse(d), item.rect);
      if (done) {
        RunAction(d, index);
        Record(d, index);
      }
      break;
    case ItemKind::Drag:
      if (item.programAction) {
        if (item.action != nullptr) item.action(d, index);
        done = true;
      } else if (isDouble || edit || item.textEntry || s.playback || !s.fromClick) {
        done = EditItem(index);
      } else {
        done = DragValues(index, 0, index);
      }
      break;
    case ItemKind::Drag2:
      if (!s.playback)
        done = DragValues(index, item.area.drag2.horizontal, item.area.drag2.vertical);
      break;
    case ItemKind::EditText:
      done = EditItem(index);
      break;
    default:
      break;
    }
  }
  if (withHooks) AfterAction(d, index);
  s.acting.item = 0;
  s.lastResult = done;
  if (done) ++s.acted;
  return done;
}

} // namespace Dialog
