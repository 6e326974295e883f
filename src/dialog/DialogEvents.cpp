// The dialog event step: window events, the current dialog, the item handler with its
// shortcut search across dialogs, TAB focus, the hit test with moving and resizing of
// items, the modal loop and the event trace.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/DialogInternal.h"
#include "platform/Events.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "windows/Graphics.h"
#include "windows/KeyEvents.h"

namespace Dialog {

using namespace Internal;
using namespace KeyEvents;

namespace {

using base::kLineHigh;
constexpr char kTraceFile[] = "WriteKey.On";
constexpr char kTraceCharacter[] = "KeyCharacter  :   ";
constexpr const char* kTraceWindowEvents[] = {
    "KeyMouse      :   ", "KeyDoubleMouse:   ", "KeyTripleMouse:   ", "KeyMouseStillDown:",
    "KeyDeactivate :   ", "KeyActivate   :   ", "KeyUpdate     :   ", "KeyWindow     :   ",
    "KeyMoved      :   ", "KeyIconize    :   ", "KeyResized    :   ", "KeyWindowClose:   ",
};
constexpr char kTraceOS[] = "KeyOSEvent    :   ";
constexpr char kTraceKey[] = "Key: ";
constexpr char kTraceChar[] = ",   Char:";
constexpr char kTraceSeparator[] = ",  ";
constexpr char kTraceWindow[] = "wind:";
constexpr char kTraceUpdate[] = "ProcUpdate: ";
constexpr const char* kModifierNames[] = {" command", " shift", " caps", " option", " control"};

// Clicks closer than this (the sum of the horizontal and vertical distances) and within
// the platform's double-click time make double and triple clicks.
constexpr std::int64_t kClickSlop = 6;
// A corner square of this size (4 for sides shorter than 24 pixels) resizes an item.
constexpr std::int32_t kCorner = 8;
constexpr std::int32_t kSmallCorner = 4;
constexpr std::int32_t kSmallSide = 24;
// Items within the old rectangle grown by this much move along with a control-drag.
constexpr std::int32_t kAlongSlop = 2;

enum class Search { None, NotHandled, Handled };

bool HasModifier(std::uint8_t m, std::uint8_t bit) { return (m & bit) != 0; }

// The window's number in the trace: its place from the front, from 1.
std::int32_t WindowNumber(Toolbox::Window w) {
  const std::vector<Toolbox::Window> all = Toolbox::Windows();
  const auto at = std::find(all.begin(), all.end(), w);
  return at == all.end() ? 0 : static_cast<std::int32_t>(at - all.begin()) + 1;
}

void Trace(std::uint8_t code, char ch, std::uint8_t modifiers, Toolbox::Window w) {
  char line[kLineHigh + 1];
  const auto number = static_cast<std::int32_t>(static_cast<unsigned char>(ch));
  if (code == KeyCharacter) {
    Strings::Assign(line, kTraceCharacter);
    const char c[2] = {ch, 0};
    Strings::Append(line, c);
  } else if (code >= KeyMouse && code <= KeyWindowClose) {
    Strings::Assign(line, base::CharsOf(kTraceWindowEvents[code - KeyMouse]));
    NumberOut::AppendInt(number, line, 0);
    Strings::Append(line, kTraceSeparator);
    if (const DialogRecord* d = DialogOf(w)) {
      Strings::Append(line, d->name);
    } else {
      Strings::Append(line, kTraceWindow);
      NumberOut::AppendInt(WindowNumber(w), line, 0);
    }
  } else if (code == KeyOSEvent) {
    Strings::Assign(line, kTraceOS);
    NumberOut::AppendInt(number, line, 0);
  } else {
    Strings::Assign(line, kTraceKey);
    NumberOut::AppendInt(code, line, 0);
    Strings::Append(line, kTraceChar);
    NumberOut::AppendInt(number, line, 0);
  }
  for (int bit = 0; bit < 5; ++bit)
    if (HasModifier(modifiers, static_cast<std::uint8_t>(1 << bit)))
      Strings::Append(line, base::CharsOf(kModifierNames[bit]));
  TextIO::WriteLine(line);
}

// A click in a dialog's window after a click near it in time and place counts on: a
// double click, then a triple click, then a click again.
std::uint8_t CountClick(Toolbox::Window w, Point where, std::uint32_t when) {
  State& s = S();
  const std::int64_t moved =
      (std::int64_t{where.h} - s.clickWhere.h) + (std::int64_t{where.v} - s.clickWhere.v);
  const bool near = w == s.clickWindow && std::llabs(moved) < kClickSlop &&
                    when - s.clickTime < Toolbox::GetDoubleTime();
  std::uint8_t code = KeyMouse;
  if (near && s.clickCode == KeyMouse) code = KeyDoubleMouse;
  if (near && s.clickCode == KeyDoubleMouse) code = KeyTripleMouse;
  s.clickWindow = w;
  s.clickWhere = where;
  s.clickTime = when;
  s.clickCode = code;
  return code;
}

void Activate(DialogRecord& d) {
  d.active = true;
  if (d.activated) return;
  d.activated = true;
  if (d.procs.activate != nullptr) d.procs.activate(d);
}

void SavePlacement(DialogRecord& d) {
  if (!d.open || !Toolbox::IsWindow(d.window)) return;
  const Rect frame = Toolbox::GetWindowRect(d.window);
  if (!d.iconized && !frame.Empty()) {
    d.normal.rect = frame;
    d.items[0]->rect = Rect{0, 0, frame.Width(), frame.Height()};
  } else {
    d.iconizedPlacement.rect = frame;
  }
}

bool IsArrayFocus(DialogRecord& d) {
  return d.focus >= 1 && d.focus <= d.highest && d.items[d.focus]->kind == ItemKind::Array &&
         Active(d, d.focus);
}

// The array kind's operations are empty: it takes no key.
bool ArrayKey(DialogRecord& d, std::uint8_t, char, std::uint8_t) {
  const auto item = d.focus;
  if (!BeforeAction(d, item)) return true;
  AfterAction(d, item);
  return false;
}

// Which key of the item matches: 1 the first, 2 a list's second, 0 none.
int MatchingKey(DialogRecord& d, std::int32_t index, std::uint8_t code, char ch,
                std::uint8_t modifiers, Point where) {
  if (!d.open || d.items == nullptr || index < 1 || index > d.highest) return 0;
  const DialogItem& item = *d.items[index];
  // Control with a letter types its control character; the key is the letter.
  const char letter =
      HasModifier(modifiers, kModControl) && ch >= 1 && ch <= 26 ? static_cast<char>(ch + 64) : ch;
  auto matches = [&](std::uint8_t keyCode, char keyChar) {
    if (keyCode < 2 || code != keyCode) return false;
    if (keyCode >= KeyMouse && keyCode <= KeyMouseStillDown)
      return &d == &Current() && Toolbox::PtInRect(where, item.rect);
    if (item.anyModifier) return code != KeyCharacter || Strings::Cap(letter) == keyChar;
    if ((modifiers & 0x1F) != item.keyModifiers) return false;
    return code != KeyCharacter || ch == keyChar ||
           (letter != ch && Strings::Cap(letter) == Strings::Cap(keyChar));
  };
  if (matches(item.keyCode, item.keyChar)) return 1;
  if (IsList(item.kind) && matches(item.area.list.code2, item.area.list.key2)) return 2;
  return 0;
}

// Whether the list entry can be stepped onto: enabled and no separator.
bool Steppable(DialogRecord& d, std::int32_t index, std::int32_t entry) {
  if (!ListEntryEnabled(d, index, entry)) return false;
  char text[kLineHigh + 1];
  Toolbox::GetItemText(d.items[index]->area.list.menu, entry, text);
  return !Strings::Equal(text, "-");
}

void StepList(DialogRecord& d, std::int32_t index, int direction) {
  DialogItem& item = *d.items[index];
  const std::int32_t count = item.area.list.count;
  for (std::int32_t next = ListIndex(item) + direction; next >= 0 && next < count;
       next += direction) {
    if (!Steppable(d, index, next + 1)) continue;
    Capture(item);
    SetListIndex(item, next);
    DrawItem(d, index);
    const auto i = static_cast<std::int16_t>(index);
    RunAction(d, i);
    ItemChanged(d, i);
    Record(d, i);
    return;
  }
}

Search ShortcutIn(DialogRecord& d, std::uint8_t code, char ch, std::uint8_t modifiers) {
  if (!d.open || d.items == nullptr) return Search::None;
  for (std::int32_t index = std::min<std::int32_t>(d.highestKey, d.highest); index >= 1; --index) {
    const int key = MatchingKey(d, index, code, ch, modifiers, S().where);
    if (key == 0 || !Active(d, index)) continue;
    DialogItem& item = *d.items[index];
    const auto i = static_cast<std::int16_t>(index);
    if (item.frontOnly && !d.active) return Search::NotHandled;
    if (PreAction(d, i)) return Search::NotHandled;
    if (!BeforeAction(d, i)) return Search::Handled;
    switch (item.kind) {
    case ItemKind::Button:
    case ItemKind::Switch:
      ItemHit(i, false, ch, modifiers, false, false, 0, 0);
      break;
    case ItemKind::MultiCheck:
      break;
    case ItemKind::Drag:
    case ItemKind::EditText: {
      const std::int16_t old = d.focus;
      d.focus = i;
      if (old != i) DrawItem(d, old);
      ItemHit(i, false, ch, modifiers, true, false, 0, 0);
      break;
    }
    case ItemKind::TrueFalse:
    case ItemKind::HighLow:
    case ItemKind::List:
      if (item.area.list.code2 >= 2) {
        StepList(d, index, key == 1 ? -1 : 1);
        break;
      }
      ItemHit(i, false, ch, modifiers, false, false, 0, 0);
      break;
    default:
      ItemHit(i, false, ch, modifiers, false, false, 0, 0);
      break;
    }
    AfterAction(d, i);
    return Search::Handled;
  }
  return Search::None;
}

// The current dialog first, then every other known dialog (made current for its search).
bool Shortcuts(std::uint8_t code, char ch, std::uint8_t modifiers) {
  State& s = S();
  DialogRecord* first = s.current;
  if (ShortcutIn(*first, code, ch, modifiers) == Search::Handled) return true;
  for (DialogRecord* d = s.known; d != nullptr; d = d->next) {
    if (d == first) continue;
    s.current = d;
    if (ShortcutIn(*d, code, ch, modifiers) == Search::Handled) return true;
  }
  s.current = first;
  s.acting.code = code;
  s.acting.ch = ch;
  s.acting.modifiers = modifiers;
  Record(*first, -1);
  return false;
}

bool FocusMove(DialogRecord& d) {
  if (IsArrayFocus(d)) return ArrayKey(d, KeyCharacter, 9, 0);
  const std::int32_t n = d.highest + 1;
  for (std::int32_t k = 1; k <= n; ++k) {
    const std::int32_t index = (d.focus + k) % n;
    const ItemKind kind = d.items[index]->kind;
    if ((kind != ItemKind::Drag && kind != ItemKind::EditText) || !Active(d, index)) continue;
    const auto i = static_cast<std::int16_t>(index);
    if (PreAction(d, i)) return false;
    const std::int16_t old = d.focus;
    d.focus = i;
    DrawItem(d, old);
    DrawItem(d, i);
    ItemHit(i, false, 9, 0, true, true, 0, 0);
    return true;
  }
  return false;
}

// Waits until the button is released; whether the pointer is then inside r.
bool ReleasedInside(DialogRecord& d, const Rect& r) {
  while (Events::StillDown()) WaitMessage();
  return Toolbox::PtInRect(Mouse(d), r);
}

// The grey outline of a rectangle being dragged, drawn by inversion (a second time
// takes it away).
void Outline(const Rect& r) {
  Toolbox::PenMode(Toolbox::PenModeKind::Invert);
  Toolbox::PenPat(Toolbox::Pattern::Gray);
  Toolbox::FrameRect(r);
  Toolbox::PenNormal();
}

bool MoveItem(DialogRecord& d, std::int32_t index, Point start, bool along) {
  DialogItem& item = *d.items[index];
  const auto i = static_cast<std::int16_t>(index);
  if (d.procs.mayMove != nullptr && !d.procs.mayMove(d, i)) return true;
  const Rect old = item.rect;
  const std::int32_t cornerH = old.Width() < kSmallSide ? kSmallCorner : kCorner;
  const std::int32_t cornerV = old.Height() < kSmallSide ? kSmallCorner : kCorner;
  const bool resize = start.h >= old.right - cornerH && start.v >= old.bottom - cornerV;
  const Rect area = Toolbox::GetPortRect(d.window);
  auto placed = [&](Point p) {
    const std::int32_t dh = p.h - start.h, dv = p.v - start.v;
    Rect r = old;
    if (resize) {
      r.right = std::max(r.left + 4, old.right + dh);
      r.bottom = std::max(r.top + 4, old.bottom + dv);
      return r;
    }
    const std::int32_t h = std::clamp(old.left + dh, 0, std::max(0, area.right - old.Width()));
    const std::int32_t v = std::clamp(old.top + dv, 0, std::max(0, area.bottom - old.Height()));
    Toolbox::OffsetRect(r, h - old.left, v - old.top);
    return r;
  };
  Rect r = old;
  {
    Drawing drawing(d);
    Outline(r);
    while (Events::StillDown()) {
      WaitMessage();
      const Rect next = placed(Mouse(d));
      if (next == r) continue;
      Outline(r);
      r = next;
      Outline(r);
    }
    const Rect last = placed(Mouse(d));
    Outline(r);
    r = last;
  }
  if (r == old) return true;
  {
    Drawing drawing(d);
    Toolbox::RGBBackColor(d.items[0]->backCol);
    Rect erase = old;
    if (item.frame == DefaultButtonFrame) Toolbox::InsetRect(erase, -3, -3);
    Toolbox::EraseRect(erase);
  }
  const std::int32_t dh = r.left - old.left, dv = r.bottom - old.bottom;
  item.rect = r;
  if (item.kind == ItemKind::CheckBox || item.kind == ItemKind::MultiCheck)
    Toolbox::OffsetRect(item.area.check.box, dh, dv);
  if (along) {
    Rect grown = old;
    Toolbox::InsetRect(grown, -kAlongSlop, -kAlongSlop);
    for (std::int32_t k = 1; k <= d.highest; ++k) {
      DialogItem& other = *d.items[k];
      Rect inside;
      if (k == index || !Toolbox::SectRect(other.rect, grown, inside) || !(inside == other.rect))
        continue;
      Toolbox::OffsetRect(other.rect, r.left - old.left, r.top - old.top);
      if (other.kind == ItemKind::CheckBox || other.kind == ItemKind::MultiCheck)
        Toolbox::OffsetRect(other.area.check.box, r.left - old.left, r.top - old.top);
    }
  }
  ItemChanged(d, i);
  DrawDialog(d);
  return true;
}

bool HitTest(DialogRecord& d, Point p, std::uint8_t modifiers, bool isDouble) {
  const bool option = HasModifier(modifiers, kModOption);
  const bool control = HasModifier(modifiers, kModControl);
  const bool shift = HasModifier(modifiers, kModShift);
  if ((option || control) && !d.configurable) return false;
  const bool anyShown = control && shift;
  const bool downwards = (option && control) || (control && shift);
  auto qualifies = [&](std::int32_t i) {
    const DialogItem& item = *d.items[i];
    return (anyShown || Shown(d, i)) && (option || control || item.enabled) &&
           Toolbox::PtInRect(p, item.rect);
  };
  std::int32_t index = 0;
  if (downwards) {
    for (std::int32_t i = d.highest; i >= 1 && index == 0; --i)
      if (qualifies(i)) index = i;
  } else {
    for (std::int32_t i = 1; i <= d.highest && index == 0; ++i)
      if (qualifies(i)) index = i;
  }
  if (index == 0) return false;
  if (option) return MoveItem(d, index, p, control);
  DialogItem& item = *d.items[index];
  const auto i = static_cast<std::int16_t>(index);
  if (item.value == nullptr) return false;
  if ((control || !HasTrait(item.kind, kTraitTracks)) && !ReleasedInside(d, item.rect)) return true;
  if (control) {
    if ((d.procs.mayConfigure == nullptr || d.procs.mayConfigure(d, i)) && S().configure != nullptr)
      S().configure(d, i, p);
    return true;
  }
  if (PreAction(d, i)) return true;
  if (!item.executable || !item.enabled) return false;
  S().fromClick = true;
  const bool done = ItemHit(i, isDouble, 0, modifiers, isDouble || option || shift, true, p.h, p.v);
  S().fromClick = false;
  if (!done && item.pressed) {
    item.pressed = false;
    DrawItem(d, index);
  }
  return true;
}

} // namespace

namespace Internal {

bool ClaimsKey(char key) {
  for (DialogRecord* d = S().known; d != nullptr; d = d->next) {
    if (!d->open || d->items == nullptr) continue;
    for (std::int32_t i = std::min<std::int32_t>(d->highestKey, d->highest); i >= 1; --i) {
      const DialogItem& item = *d->items[i];
      if (!item.anyModifier || !Active(*d, i) || (item.frontOnly && !d->active)) continue;
      if (item.keyCode == KeyCharacter && Strings::Cap(item.keyChar) == key) return true;
      if (IsList(item.kind) && item.area.list.code2 == KeyCharacter &&
          Strings::Cap(item.area.list.key2) == key)
        return true;
    }
  }
  return false;
}

void Deactivate(DialogRecord& d) {
  d.active = false;
  if (!d.activated) return;
  d.activated = false;
  if (d.procs.deactivate != nullptr) d.procs.deactivate(d);
}

void SyncActivation() {
  const Toolbox::Window front = Toolbox::FrontWindow();
  for (DialogRecord* d = S().known; d != nullptr; d = d->next) {
    if (d->open && d->shown && d->window == front)
      Activate(*d);
    else
      Deactivate(*d);
  }
}

Point Mouse(DialogRecord& d) {
  Point p;
  Drawing drawing(d);
  Events::GetMouse(p);
  return p;
}

void WaitMessage() {
  if (!Events::PumpOnce(false)) Events::PumpOnce(true);
}

} // namespace Internal

bool MatchesKey(DialogRecord& d, std::int32_t index, std::uint8_t code, char ch,
                std::uint8_t modifiers, Point where) {
  return MatchingKey(d, index, code, ch, modifiers, where) != 0 && Active(d, index);
}

bool HandleItems(DialogRecord& d, std::uint8_t code, char ch, std::uint8_t modifiers) {
  switch (code) {
  case KeyNone:
  case KeyHandled:
  case KeyTripleMouse:
  case KeyMouseStillDown:
    return false;
  case KeyCharacter:
    if (modifiers == 0 && ch == 9) return FocusMove(d);
    if (modifiers == 0 && ch == 13 && IsArrayFocus(d)) return ArrayKey(d, code, ch, modifiers);
    return Shortcuts(code, ch, modifiers);
  case KeyCursorUp:
  case KeyCursorDown:
  case KeyCursorLeft:
  case KeyCursorRight:
    if (IsArrayFocus(d)) return ArrayKey(d, code, ch, modifiers);
    return Shortcuts(code, ch, modifiers);
  case KeyEnter: {
    const std::int16_t f = d.focus;
    if (f < 1 || f > d.highest || !Active(d, f) || !BeforeAction(d, f)) return false;
    if (d.items[f]->kind == ItemKind::Array) return ArrayKey(d, code, ch, modifiers);
    Capture(*d.items[f]);
    RunAction(d, f);
    ItemChanged(d, f);
    Record(d, f);
    return true;
  }
  case KeyMouse:
  case KeyDoubleMouse:
    if (KeyEvents::LastWindow() != d.window) return false;
    return HitTest(d, S().where, modifiers, code == KeyDoubleMouse);
  case KeyDeactivate:
    Deactivate(d);
    return true;
  case KeyActivate:
    Activate(d);
    return true;
  case KeyUpdate:
    DrawDialog(d);
    return true;
  case KeyMoved:
    SavePlacement(d);
    return true;
  case KeyIconize:
    d.iconized = true;
    if (d.open) Toolbox::SetWTitle(d.window, d.name);
    return true;
  case KeyResized:
    if (d.iconized) {
      d.iconized = false;
      if (d.open) Toolbox::SetWTitle(d.window, d.items[0]->text);
    }
    SavePlacement(d);
    return true;
  case KeyWindowClose:
    if (d.procs.mayClose != nullptr && !d.procs.mayClose(d, 0)) return true;
    Deactivate(d);
    if (d.open) Toolbox::HideWindow(d.window);
    d.shown = false;
    Record(d, 0);
    return true;
  case KeyMenu:
    Record(d, -2);
    return true;
  default:
    return Shortcuts(code, ch, modifiers);
  }
}

bool EventStep() {
  Init();
  State& s = S();
  s.pushedBack = false;
  RunIdle();
  SyncActivation();
  std::uint8_t code = KeyNone, modifiers = 0;
  char ch = 0;
  KeyEvents::GetKey(s.keyTerminal != nullptr ? s.keyTerminal() : nullptr, code, modifiers, ch);
  if (s.tip != nullptr) s.tip(code, modifiers, code == KeyNone ? nullptr : KeyEvents::LastWindow());
  if (code == KeyNone) return false;
  const Toolbox::Window w = KeyEvents::LastWindow();
  DialogRecord* eventDialog = DialogOf(w);
  Point where;
  std::uint32_t when = 0;
  KeyEvents::LastPlace(where, when);
  if (code == KeyMouse && eventDialog != nullptr) code = CountClick(w, where, when);
  if (w != nullptr && Toolbox::IsWindow(w)) {
    const Rect frame = Toolbox::GetWindowRect(w);
    s.where = Point{where.h - frame.left, where.v - frame.top};
  }
  s.code = code;
  if (s.trace) Trace(code, ch, modifiers, w);
  // Keys and clicks belong to the dialog of the window they come from, whichever dialog a
  // shortcut found behind the front one made current before; a modal dialog keeps them.
  const bool modalFront = s.current->modal && s.current->shown && s.current->open;
  if (eventDialog != nullptr && !modalFront && code >= KeyCharacter && code <= KeyMouseStillDown)
    s.current = eventDialog;

  switch (code) {
  case KeyDeactivate:
  case KeyWindowClose:
  case KeyUpdate:
  case KeyMoved:
  case KeyIconize:
  case KeyResized:
    if (eventDialog != nullptr) s.current = eventDialog;
    break;
  case KeyWindow:
    if (s.current->shown && s.current->modal && s.current->active) {
      Toolbox::SelectWindow(s.current->window);
      return true;
    }
    [[fallthrough]];
  case KeyActivate:
    if (eventDialog != nullptr) {
      if (s.current != eventDialog) Deactivate(*s.current);
      s.current = eventDialog;
      if (eventDialog->iconized) {
        eventDialog->iconized = false;
        Toolbox::SetWTitle(eventDialog->window, eventDialog->items[0]->text);
      }
    }
    break;
  default:
    break;
  }
  if (s.eventHook != nullptr) s.eventHook(code, ch, modifiers, w);
  if (eventDialog == nullptr && w != nullptr) {
    if (s.windowProc != nullptr && s.windowProc(w, code, ch, modifiers)) return true;
    // Clicks and window events of other windows are theirs; a plot's close box closes it.
    if (code >= KeyMouse && code <= KeyWindowClose) {
      if (code == KeyWindowClose) Graphics::CloseByUser(w);
      SyncActivation();
      return true;
    }
  }
  DialogRecord& d = *s.current;
  if (d.open) {
    if (d.procs.eventBefore != nullptr) d.procs.eventBefore(d, code, ch, modifiers);
    bool handled = false;
    if (code > KeyHandled) handled = HandleItems(d, code, ch, modifiers);
    if (handled && (code < KeyDeactivate || code == KeyWindowClose)) ++s.acted;
    DialogRecord& after = *s.current;
    if (!handled && after.procs.unhandledKey != nullptr)
      after.procs.unhandledKey(after, code, ch, modifiers);
    if (after.procs.eventAfter != nullptr) after.procs.eventAfter(after, code, ch, modifiers);
  }
  SyncActivation();
  return true;
}

bool Poll(std::uint32_t ms) {
  Init();
  State& s = S();
  const std::uint32_t acted = s.acted;
  const std::uint32_t start = Toolbox::TickCount();
  for (;;) {
    RunIdle();
    if (s.acted != acted) return true;
    // Control+C while a program polls: the key-event layer ends its run.
    if (s.pushedBack || Events::QueuedCount() > 0 || Events::InterruptPending()) {
      EventStep();
      if (s.acted != acted) return true;
      continue;
    }
    if (Events::PumpOnce(false)) continue;
    if (Toolbox::TickCount() - start >= ms) return false;
    // Waits for the next platform message (the frame's timer sends one at least), only
    // with nothing queued, so that a driver typing into the program sees each key
    // handled before it types the next. The command-line runner has no user to wait
    // for (its text output is the console): there the time only passes.
    if (TextIO::Console())
      Toolbox::Delay(1);
    else
      WaitMessage();
  }
}

bool UpdateWindow(Toolbox::Window w) {
  DialogRecord* d = DialogOf(w);
  if (d == nullptr) return false;
  if (S().trace) {
    char line[kLineHigh + 1];
    Strings::Assign(line, kTraceUpdate);
    Strings::Append(line, d->name);
    TextIO::WriteLine(line);
  }
  DrawDialog(*d);
  return true;
}

void RunModal(Toolbox::Window w, DialogRecord& d, DialogProc procedure, const bool& done) {
  Init();
  S().current = &d;
  FileSystem::File f;
  const bool marker = FileSystem::Open(kTraceFile, FileSystem::kRead, f);
  if (marker) FileSystem::Close(f);
  S().trace = marker;
  if (w != nullptr && Toolbox::IsWindow(w)) Toolbox::SelectWindow(w);
  // Counted down however the loop ends (a program's procedure may end its run). A loop
  // run from the action of a click takes its own keys and clicks: the click that
  // started it is the outer action's again afterwards.
  struct Modal {
    bool fromClick = S().fromClick;
    Modal() {
      ++S().modal;
      S().fromClick = false;
    }
    ~Modal() {
      --S().modal;
      S().fromClick = fromClick;
    }
  } modal;
  while (!done) {
    EventStep();
    if (procedure != nullptr) procedure(d);
  }
}

} // namespace Dialog
