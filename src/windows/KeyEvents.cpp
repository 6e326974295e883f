#include "windows/KeyEvents.h"

#include <cstdlib>

#include "windows/ANSITerm.h"

namespace KeyEvents {

using ANSITerm::TextWindow;
using Events::EventRecord;
using Toolbox::Point;
using Toolbox::Window;

namespace {

struct KeyEvent {
  std::uint8_t key = KeyNone;
  std::uint8_t modifiers = 0;
  char ch = 0;
  Window window = nullptr;
  Point where;            // of the record, frame client coordinates
  std::uint32_t when = 0; // of the record
};

struct State {
  bool initialised = false;
  KeyEvent last;
  KeyEvent pushed;
  bool hasPushed = false;
  bool tracking = false; // from a click until the button is released
  bool inactive = false;
  bool keypadMode = true;
  bool blockSelection = false;
  MenuCommandProc menuCommand = nullptr;
  void (*interrupt)() = nullptr;
};
State state;

// A click within this distance (the sum of the horizontal and vertical differences)
// of the last one may make a double click.
constexpr std::int64_t kClickSlop = 6;

// Virtual keys that TranslateKey looks at by name.
constexpr std::uint32_t kVkCancel = 3;
constexpr std::uint32_t kVkDelete = 46;
constexpr std::uint32_t kVk1 = 49;
constexpr std::uint32_t kVk9 = 57;
constexpr std::uint32_t kVkF2 = 113;
constexpr std::uint32_t kVkF15 = 126;
constexpr std::uint32_t kVkSlash = 191;
// The characters of Backspace and of Control+Backspace.
constexpr std::uint8_t kBackspace = 8;
constexpr std::uint8_t kControlBackspace = 127;
// Keys and buttons of the live modifier state.
constexpr std::uint32_t kVkRightButton = 2, kVkMiddleButton = 4;
constexpr std::uint32_t kVkShift = 16, kVkControl = 17, kVkAlt = 18, kVkCapsLock = 20;
constexpr std::uint32_t kVkLeftWindows = 91, kVkRightWindows = 92;

// The keypad: its code in application mode and its character in numeric mode.
struct KeypadKey {
  std::uint32_t vkey;
  std::uint8_t key;
  char ch;
};
constexpr KeypadKey kKeypadKeys[] = {
    {13, KeyEnter, 13}, // Enter arrives as a virtual key only from the keypad
    {96, KeyKeypad0, '0'},      {97, KeyKeypad1, '1'},      {98, KeyKeypad2, '2'},
    {99, KeyKeypad3, '3'},      {100, KeyKeypad4, '4'},     {101, KeyKeypad5, '5'},
    {102, KeyKeypad6, '6'},     {103, KeyKeypad7, '7'},     {104, KeyKeypad8, '8'},
    {105, KeyKeypad9, '9'},     {109, KeyKeypadMinus, '-'}, {107, KeyKeypadPlus, '+'},
    {110, KeyKeypadPoint, '.'},
};

// The other virtual keys with a code of their own (F2-F15 follow by arithmetic).
struct NamedKey {
  std::uint32_t vkey;
  std::uint8_t key;
};
constexpr NamedKey kNamedKeys[] = {
    {33, KeyPageUp},      {34, KeyPageDown},        {35, KeyEnd},
    {36, KeyHome},        {37, KeyCursorLeft},      {38, KeyCursorUp},
    {39, KeyCursorRight}, {40, KeyCursorDown},      {45, KeyInsert},
    {46, KeyDeleteRight}, {106, KeyKeypadMultiply}, {111, KeyKeypadDivide},
    {112, KeyHelp},
};

std::int32_t FloorDiv(std::int32_t a, std::int32_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void TranslateCharacter(std::uint8_t c, std::uint8_t& key, char& ch) {
  switch (c) {
  case 8:
    key = KeyDeleteLeft;
    break;
  case 28:
    key = KeyCursorLeft;
    break;
  case 29:
    key = KeyCursorRight;
    break;
  case 30:
    key = KeyCursorUp;
    break;
  case 31:
    key = KeyCursorDown;
    break;
  default:
    key = KeyCharacter;
    ch = static_cast<char>(c);
    break;
  }
}

Point ToLocal(Window w, Point p) {
  const Toolbox::Rect r = Toolbox::GetWindowRect(w);
  return Point{p.h - r.left, p.v - r.top};
}

// The cell under p (local coordinates): the nearest character boundary, or in
// block-selection mode the cell itself.
void SetClickCell(TextWindow* t, Point p) {
  const std::int32_t half = state.blockSelection ? 0 : t->charWidth / 2;
  t->clickRow = FloorDiv(p.v - t->textTop, t->lineHeight) + 1;
  t->clickColumn = FloorDiv(p.h - t->textLeft + half, t->charWidth) + 1;
}

// A click near the last one in the same window, before that window's deadline, counts
// on from the last key: a click after a click is a double click, after that a triple.
std::uint8_t CountClick(TextWindow* t, const EventRecord& r) {
  std::uint8_t key = KeyMouse;
  const std::int64_t moved =
      (std::int64_t{r.whereH} - t->clickH) + (std::int64_t{r.whereV} - t->clickV);
  const bool inTime =
      t->doubleClickDeadline != 0 && static_cast<std::int32_t>(r.when - t->doubleClickDeadline) < 0;
  if (r.window == Toolbox::FrontWindow() && inTime && std::llabs(moved) < kClickSlop) {
    if (state.last.key == KeyMouse) {
      key = KeyDoubleMouse;
      t->doubleClickDeadline = r.when + Events::GetDoubleTime();
    } else if (state.last.key == KeyDoubleMouse) {
      key = KeyTripleMouse;
      t->doubleClickDeadline = 0;
    }
  }
  t->clickH = r.whereH;
  t->clickV = r.whereV;
  return key;
}

void RestorePointer() {
  Point p;
  Events::GetMouse(p);
  Toolbox::LocalToGlobal(p);
  Toolbox::AdjustCursor(p);
}

// The first pass: keys, clicks, updates, activation and scroll bars.
std::uint8_t TranslateEvent(TextWindow* own, const EventRecord& r, char& ch) {
  TextWindow* t = ANSITerm::TerminalOf(r.window);
  switch (r.what) {
  case Events::MouseDown:
    state.tracking = true;
    if (t == nullptr) return KeyMouse;
    SetClickCell(t, ToLocal(r.window, Point{r.whereH, r.whereV}));
    return CountClick(t, r);
  case Events::KeyDown:
  case Events::AutoKey: {
    std::uint8_t key = KeyNone;
    TranslateKey(r, state.keypadMode && own != nullptr && own->keypadApplication, key, ch);
    return key;
  }
  case Events::UpdateEvent:
    ch = own != nullptr && r.window == own->window ? 1 : 0;
    if (t != nullptr) t->needsRedraw = true;
    return KeyUpdate;
  case Events::ActivateEvent:
    ch = state.inactive ? 0 : 1;
    if (state.inactive) {
      Toolbox::StopTone();
    } else {
      RestorePointer();
    }
    return KeyOSEvent;
  case Events::WindowEvent:
    if (r.detail == Events::VScrollDetail || r.detail == Events::HScrollDetail) {
      return ANSITerm::HandleScrollEvent(r) ? KeyHandled : KeyNone;
    }
    return KeyNone;
  default:
    return KeyNone;
  }
}

// A terminal's window changed place or size: it needs redrawing in a new layout.
void Changed(TextWindow* t) {
  if (t == nullptr) return;
  t->needsRedraw = true;
  ANSITerm::Relayout(t);
}

// The second pass: button releases and window events.
std::uint8_t TranslateWindowEvent(TextWindow* own, const EventRecord& r) {
  TextWindow* t = ANSITerm::TerminalOf(r.window);
  if (r.what == Events::MouseUp) {
    if (t == nullptr && r.window == nullptr) t = own;
    if (t != nullptr) t->doubleClickDeadline = r.when + Events::GetDoubleTime();
    state.tracking = false;
    return KeyNone;
  }
  if (r.what != Events::WindowEvent) return KeyNone;
  switch (r.detail) {
  case Events::MenuDetail:
    return KeyMenu;
  case Events::MovedDetail:
    Changed(t);
    return KeyMoved;
  case Events::SizedDetail:
    Changed(t);
    return KeyResized;
  case Events::MinimisedDetail:
    Changed(t);
    return KeyIconize;
  case Events::CloseDetail:
    return KeyWindowClose;
  case Events::FrontDetail:
    ANSITerm::ShowActive(t, true);
    return KeyWindow;
  case Events::FocusInDetail:
    return KeyActivate;
  case Events::FocusOutDetail:
    return KeyDeactivate;
  default:
    return KeyNone;
  }
}

// The window-event step for terminals: draws the active state, runs the update and
// resize procedures. A key whose procedure ran becomes KeyHandled.
void WindowEventStep(Window w, std::uint8_t& key) {
  TextWindow* t = ANSITerm::TerminalOf(w);
  if (t == nullptr) return;
  switch (key) {
  case KeyDeactivate:
    ANSITerm::ShowActive(t, false);
    break;
  case KeyActivate:
    ANSITerm::ShowActive(t, true);
    break;
  case KeyUpdate:
    if (t->update != nullptr) {
      t->update(t);
      key = KeyHandled;
    }
    break;
  case KeyIconize:
  case KeyResized:
    ANSITerm::Relayout(t);
    if (t->resize != nullptr) {
      t->resize(t);
      key = KeyHandled;
    }
    break;
  case KeyOSEvent:
    ANSITerm::ShowActive(t, !state.inactive);
    break;
  default:
    break;
  }
}

// While the button is held after a click in the front window: KeyMouseStillDown when
// the pointer moved to another cell, and always in the first and last row (where the
// owner scrolls).
std::uint8_t TrackMouse(const EventRecord& r) {
  if (!state.tracking || state.last.key != KeyMouse) return KeyNone;
  const Window w = state.last.window;
  if (w == nullptr || w != Toolbox::FrontWindow()) return KeyNone;
  if (!Events::StillDown()) {
    state.tracking = false;
    return KeyNone;
  }
  TextWindow* t = ANSITerm::TerminalOf(w);
  if (t == nullptr) return KeyMouseStillDown;
  Point where{r.whereH, r.whereV};
  if (r.what != Events::NullEvent) {
    Events::GetMouse(where);
    Toolbox::LocalToGlobal(where);
  }
  const std::int32_t row = t->clickRow;
  const std::int32_t column = t->clickColumn;
  SetClickCell(t, ToLocal(w, where));
  const bool unchanged = t->clickRow == row && t->clickColumn == column;
  if (t->clickRow > 1 && t->clickRow < t->rows && unchanged) return KeyNone;
  return KeyMouseStillDown;
}

// A window that was disposed after its event was queued or pushed back: nothing of it
// may be read any more.
bool Gone(Window w) { return w != nullptr && !Toolbox::IsWindow(w); }

KeyEvent NextEvent(TextWindow* own) {
  if (state.hasPushed) {
    state.hasPushed = false;
    KeyEvent e = state.pushed;
    if (Gone(e.window)) return KeyEvent{};
    WindowEventStep(e.window, e.key);
    state.last = e;
    return e;
  }
  EventRecord r;
  Events::GetNextEvent(0, r);
  // A program waiting for a key is interrupted here; its computing is by the machine.
  if (state.interrupt != nullptr && Events::InterruptPending()) state.interrupt();
  if (Gone(r.window)) return KeyEvent{};
  if (r.what == Events::WindowEvent && r.detail == Events::MenuDetail &&
      state.menuCommand != nullptr) {
    state.menuCommand(r.message);
  }
  if (r.what == Events::ActivateEvent) state.inactive = r.message != 0;
  // A key, a click or a window of ours taking the focus: the user is back in the
  // workstation, whether or not the platform said so (it does not always after a
  // dialog of its own closes).
  if (r.what == Events::KeyDown || r.what == Events::MouseDown ||
      (r.what == Events::WindowEvent && r.detail == Events::FocusInDetail)) {
    state.inactive = false;
  }

  KeyEvent e;
  e.window = r.window;
  e.where = Point{r.whereH, r.whereV};
  e.when = r.when;
  e.modifiers = static_cast<std::uint8_t>((r.modifiers >> 8) & 0x1F);
  e.key = TranslateEvent(own, r, e.ch);
  if (e.key == KeyNone) e.key = TranslateWindowEvent(own, r);
  if (e.key != KeyNone) {
    WindowEventStep(e.window, e.key);
    state.last = e;
    return e;
  }
  e.key = TrackMouse(r);
  return e;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Toolbox::Init();
  ANSITerm::Init();
}

void Reset() {
  state.last = KeyEvent{};
  state.pushed = KeyEvent{};
  state.hasPushed = false;
  state.tracking = false;
}

bool GetKey(TextWindow* t, std::uint8_t& key, std::uint8_t& modifiers, char& ch) {
  Init();
  if (t != nullptr) Toolbox::SetPort(t->window);
  const KeyEvent e = NextEvent(t);
  // The window-event step may have drawn in another window.
  if (t != nullptr) Toolbox::SetPort(t->window);
  key = e.key;
  modifiers = e.key != KeyNone ? e.modifiers : 0;
  ch = e.key != KeyNone ? e.ch : 0;
  return key != KeyNone;
}

bool KeyPressed() {
  if (state.hasPushed) return true;
  EventRecord r;
  return Events::EventAvail(0, r);
}

void UngetKey() {
  if (state.last.key == KeyNone) return;
  state.pushed = state.last;
  state.hasPushed = true;
}

void FlushKeys() {
  // A pending redraw survives the flush, as the queue keeps its update records.
  if (state.last.key != KeyUpdate) {
    state.pushed = KeyEvent{};
    state.hasPushed = false;
    state.last = KeyEvent{};
  }
  Events::FlushEvents(0, 0);
}

std::uint8_t CurrentModifiers() {
  std::uint8_t m = 0;
  if (Events::KeyIsDown(kVkShift)) m |= kModShift;
  if (Events::KeyIsDown(kVkCapsLock)) m |= kModCapsLock;
  if (Events::KeyIsDown(kVkControl)) m |= kModControl;
  if (Events::KeyIsDown(kVkAlt)) m |= kModCommand;
  if (Events::KeyIsDown(kVkLeftWindows) || Events::KeyIsDown(kVkRightWindows)) m |= kModOption;
  if (Events::KeyIsDown(kVkRightButton)) m |= kModOption;
  if (Events::KeyIsDown(kVkMiddleButton)) m |= kModShift;
  return m;
}

void TranslateKey(const EventRecord& r, bool appMode, std::uint8_t& key, char& ch) {
  key = KeyNone;
  ch = 0;
  if (r.detail == Events::VirtualKey) {
    const std::uint32_t vkey = r.message;
    if ((r.modifiers & Events::kControlKey) != 0) {
      if (vkey >= kVk1 && vkey <= kVk9) {
        key = static_cast<std::uint8_t>(vkey - kVk1 + KeyF1);
        return;
      }
      if (vkey == kVkSlash || vkey == kVkDelete) {
        key = vkey == kVkSlash ? KeyHelp : KeyDeleteRight;
        return;
      }
    }
    for (const KeypadKey& k : kKeypadKeys) {
      if (k.vkey != vkey) continue;
      if (appMode) {
        key = k.key;
      } else {
        key = KeyCharacter;
        ch = k.ch;
      }
      return;
    }
    if (vkey == kVkCancel) {
      key = KeyCharacter;
      ch = 27;
      return;
    }
    for (const NamedKey& k : kNamedKeys) {
      if (k.vkey == vkey) {
        key = k.key;
        return;
      }
    }
    if (vkey >= kVkF2 && vkey <= kVkF15) {
      key = static_cast<std::uint8_t>(vkey - kVkF2 + KeyF2);
      return;
    }
  }
  // Backspace types character 8 and Control+Backspace 127. Control+H types 8 as well,
  // but it is a key of its own (the line start), which the platform tells apart by
  // Control being held.
  const auto c = static_cast<std::uint8_t>(r.message & 0xFF);
  if ((r.modifiers & Events::kControlKey) != 0 && (c == kBackspace || c == kControlBackspace)) {
    key = c == kBackspace ? KeyCharacter : KeyDeleteLeft;
    ch = c == kBackspace ? static_cast<char>(c) : 0;
    return;
  }
  TranslateCharacter(c, key, ch);
}

void SetKeypadMode(bool on) { state.keypadMode = on; }
bool KeypadMode() { return state.keypadMode; }
bool ApplicationInactive() { return state.inactive; }
void SetApplicationInactive(bool inactive) { state.inactive = inactive; }
void SetMenuCommandProc(MenuCommandProc proc) { state.menuCommand = proc; }
void SetInterruptProc(void (*proc)()) { state.interrupt = proc; }
void SetBlockSelection(bool on) { state.blockSelection = on; }
std::uint8_t LastKey() { return state.last.key; }
Window LastWindow() { return state.last.window; }
void LastPlace(Point& where, std::uint32_t& when) {
  where = state.last.where;
  when = state.last.when;
}

} // namespace KeyEvents
