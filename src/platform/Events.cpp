#include "platform/Events.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>
#include <string>

#include "base/Charset.h"
#include "platform/Signals.h"

namespace Events {

using Toolbox::PlatformMessage;
using Toolbox::Point;
using Toolbox::Window;

namespace {

constexpr std::uint32_t kSlotMask = kQueueSlots - 1;
// The platform's extended-key flag in the raw key data of a key-down record.
constexpr std::uint32_t kExtendedKey = 1u << 24;
constexpr std::uint32_t kLiveModifiers = kAltKey | kShiftKey | kCapsLock | kOptionKey | kControlKey;
// Button flags of the platform in the message of a MouseDown.
constexpr std::uint32_t kButtonShift = 4;
constexpr std::uint32_t kButtonControl = 8;

// Virtual key codes this module looks at.
constexpr std::uint32_t kVkCancel = 3; // Break
constexpr std::uint32_t kVkBack = 8;
constexpr std::uint32_t kVkReturn = 13;
constexpr std::uint32_t kVkShift = 16;
constexpr std::uint32_t kVkControl = 17;
constexpr std::uint32_t kVkAlt = 18;
constexpr std::uint32_t kVk6 = 54;
constexpr std::uint32_t kVkF4 = 115;
constexpr std::uint32_t kVkF6 = 117;
constexpr std::uint32_t kVkF10 = 121;
constexpr std::uint32_t kVkMinus = 189;

// The keypad's keys as the platform reports them with Num Lock off, and their own codes.
struct KeypadKey {
  std::uint32_t navigation;
  std::uint32_t keypad;
};
constexpr KeypadKey kKeypadKeys[] = {
    {12, 101}, // Clear -> keypad 5
    {33, 105}, // Page Up -> keypad 9
    {34, 99},  // Page Down -> keypad 3
    {35, 97},  // End -> keypad 1
    {36, 103}, // Home -> keypad 7
    {37, 100}, // Left -> keypad 4
    {38, 104}, // Up -> keypad 8
    {39, 102}, // Right -> keypad 6
    {40, 98},  // Down -> keypad 2
    {45, 96},  // Insert -> keypad 0
    {46, 110}, // Delete -> keypad point
};

// Scroll requests of the platform and the part codes of scroll records.
enum ScrollRequest : int {
  LineUp = 0,
  LineDown = 1,
  PageUp = 2,
  PageDown = 3,
  ThumbPosition = 4,
  ThumbTrack = 5,
  Top = 6,
  Bottom = 7,
  EndScroll = 8,
};

std::uint32_t PartCode(std::uint32_t request) {
  switch (request) {
  case LineUp:
    return kLineUp;
  case LineDown:
    return kLineDown;
  case PageUp:
    return kPageUp;
  case PageDown:
    return kPageDown;
  case ThumbPosition:
    return kThumbPosition;
  case EndScroll:
    return kEndScroll;
  default:
    return 0;
  }
}

struct State {
  EventRecord* ring = nullptr;
  std::uint32_t read = 0;
  std::uint32_t write = 0;
  // The record being filled for the message in hand.
  EventRecord staging;
  // The last key-down was posted as a virtual key (or consumed): its character goes.
  bool dropCharacter = false;
  Point mouse;
  bool buttonDown = false;
  bool moving = false;
  ScrollProc horizontal = nullptr;
  ScrollProc vertical = nullptr;
  MenuSelectProc menuSelect = nullptr;
  DropProc drop = nullptr;
  SimpleProc frameClose = nullptr;
  SimpleProc endSession = nullptr;
  SimpleProc quit = nullptr;
  SimpleProc quitWhileRunning = nullptr;
  PaintProc paint = nullptr;
  KeyClaimProc claim = nullptr;
  IdleProc idle = nullptr;
  int watchInterrupt = 0; // watches on: a program may run inside a learned macro
  bool interrupted = false;
};
State state;

// A step of the idle work; true when there is more to do at once.
bool Idle() { return state.idle != nullptr && state.idle(); }

std::uint32_t Next(std::uint32_t position) { return (position + 1) & kSlotMask; }
bool Empty() { return state.read == state.write; }
bool Full() { return Next(state.write) == state.read; }

std::uint32_t LiveKeyState() {
  return Toolbox::HasBackend() ? Toolbox::TheBackend().KeyState() & kLiveModifiers : 0;
}

std::uint32_t KeypadCode(std::uint32_t vkey) {
  for (const KeypadKey& k : kKeypadKeys) {
    if (k.navigation == vkey) return k.keypad;
  }
  return vkey;
}

void Normalise(EventRecord& r) {
  switch (r.what) {
  case MouseDown: {
    std::uint32_t m = 0;
    if (r.detail == RightButton) m |= kOptionKey;
    if (r.detail == MiddleButton) m |= kShiftKey;
    if (r.message & kButtonControl) m |= kControlKey;
    if (r.message & kButtonShift) m |= kShiftKey;
    r.modifiers = m | LiveKeyState();
    break;
  }
  case KeyDown:
    if (r.detail == VirtualKey && (r.modifiers & kExtendedKey) == 0)
      r.message = KeypadCode(r.message);
    r.modifiers = LiveKeyState();
    break;
  case WindowEvent:
    if (r.detail == VScrollDetail || r.detail == HScrollDetail) {
      r.modifiers = (r.modifiers & 0xFFFF0000u) | PartCode(r.modifiers & 0xFFFFu);
    }
    break;
  default:
    break;
  }
}

// Skips records removed by a flush at the read position.
void SkipDeleted() {
  while (!Empty() && state.ring[state.read].what == DeletedEvent) state.read = Next(state.read);
}

void Post(const PlatformMessage& m, std::uint32_t what, Window w, std::uint32_t detail,
          std::uint32_t message = 0, Point where = {}, std::uint32_t modifiers = 0) {
  state.staging = EventRecord{what, m.time, where.h, where.v, message, modifiers, w, detail};
  PostEvent(state.staging);
}

void PostWindowEvent(const PlatformMessage& m, std::uint32_t detail, Point where = {}) {
  if (m.window != nullptr) Post(m, WindowEvent, m.window, detail, 0, where);
}

void PostMenuCommand(const PlatformMessage& m, std::uint32_t command) {
  if (state.watchInterrupt > 0 && state.quitWhileRunning != nullptr &&
      command == Toolbox::QuitMenuCommand()) {
    state.quitWhileRunning();
    return;
  }
  const std::uint32_t menu = (command >> 8) & 0xFF;
  const std::uint32_t item = command & 0xFF;
  Post(m, WindowEvent, nullptr, MenuDetail, menu * 65536 + item);
}

// The window a key belongs to: the one it was typed in, else the front window.
Window KeyWindow(const PlatformMessage& m) {
  return m.window != nullptr ? m.window : Toolbox::FrontWindow();
}

// From the window after the given one in the stacking order, the first visible other
// window comes to front.
void BringNextToFront(const PlatformMessage& m, Window given) {
  const std::vector<Window> order = Toolbox::Windows();
  const std::size_t n = order.size();
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (order[i] == given) start = i + 1;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const Window w = order[(start + i) % n];
    if (w == given || !Toolbox::IsVisible(w)) continue;
    Toolbox::SelectWindow(w);
    Post(m, WindowEvent, w, FrontDetail);
    return;
  }
}

// Keys that arrive as virtual keys (detail 11); all others arrive as characters only.
bool IsVirtualKey(std::uint32_t vkey, std::uint32_t keyState, bool extended) {
  if (vkey == 0) return false; // a key the platform has no code for
  if (vkey == 12 || (vkey >= 33 && vkey <= 40) || vkey == 45 || vkey == 46 ||
      (vkey >= 96 && vkey <= 107) || (vkey >= 109 && vkey <= 120) || (vkey >= 122 && vkey <= 126)) {
    return true;
  }
  if (vkey == kVkReturn && extended) return true;
  if ((keyState & kControlKey) == 0) return false;
  if (vkey == kVkShift || vkey == kVkControl || vkey == kVkAlt || vkey == kVkBack ||
      (vkey >= 219 && vkey <= 221)) {
    return false;
  }
  if ((keyState & kShiftKey) != 0 && (vkey == kVk6 || vkey == kVkMinus)) return false;
  return vkey < 64 || vkey >= 91;
}

// The command key of an accelerator: letters and digits.
char AcceleratorKey(std::uint32_t vkey) {
  const bool letter = vkey >= 'A' && vkey <= 'Z';
  const bool digit = vkey >= '0' && vkey <= '9';
  return letter || digit ? static_cast<char>(vkey) : 0;
}

bool CommandEnabled(std::uint32_t command) {
  const Toolbox::Menu* menu = Toolbox::GetMenu(static_cast<std::int32_t>(command >> 8));
  return (Toolbox::ItemState(menu, static_cast<std::int32_t>(command & 0xFF)) & 1) != 0;
}

// The command of a script's "Title/Item": the first menu of the bar titled Title, its first
// item whose text begins with Item (both without regard to case); 0 when there is none.
std::uint32_t CommandOfPath(const std::string& path) {
  const std::size_t slash = path.find('/');
  if (slash == std::string::npos) return 0;
  auto caseless = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  const std::string title = path.substr(0, slash), item = path.substr(slash + 1);
  for (const Toolbox::Menu* menu : Toolbox::MenuBar()) {
    if (menu->title.size() != title.size() ||
        !std::equal(title.begin(), title.end(), menu->title.begin(), caseless))
      continue;
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
      const std::string& text = menu->items[i].text;
      if (text.size() >= item.size() &&
          std::equal(item.begin(), item.end(), text.begin(), caseless))
        return Toolbox::MenuCommand(static_cast<std::uint32_t>(menu->id),
                                    static_cast<std::uint32_t>(i + 1));
    }
    return 0;
  }
  return 0;
}

void PostSystemKeyF10(const PlatformMessage& m) { Post(m, KeyDown, m.window, VirtualKey, kVkF10); }

bool Claimed(const PlatformMessage& m) { return KeyClaimed(AcceleratorKey(m.vkey)); }

// An Alt combination a dialog item claims: the platform gives it no character, so its
// letter (lower case unless Shift is held) or digit arrives as one.
void PostClaimedSystemKey(const PlatformMessage& m) {
  char ch = AcceleratorKey(m.vkey);
  if (ch >= 'A' && ch <= 'Z' && (m.keyState & kShiftKey) == 0)
    ch = static_cast<char>(ch - 'A' + 'a');
  Post(m, KeyDown, m.window, CharacterKey, static_cast<std::uint32_t>(ch));
}

void KeyDownMessage(const PlatformMessage& m) {
  state.dropCharacter = true;
  const std::uint32_t keys = m.keyState;
  const bool control = (keys & kControlKey) != 0;
  const bool controlAlone = control && (keys & (kShiftKey | kAltKey)) == 0;
  if (state.watchInterrupt > 0 && (m.vkey == kVkCancel || (controlAlone && m.vkey == 'C'))) {
    state.interrupted = true;
    return;
  }
  // The frame's accelerator table sees the key first; Control alone selects it.
  if (controlAlone && !Claimed(m)) {
    const char key = AcceleratorKey(m.vkey);
    const std::uint32_t command = key != 0 ? Toolbox::AcceleratorFor(key) : 0;
    if (command != 0) {
      // A disabled item's key does nothing, as choosing the item would not.
      if (CommandEnabled(command)) PostMenuCommand(m, command);
      return;
    }
  }
  if (control && m.vkey == kVkF4) {
    if (const Window w = KeyWindow(m); w != nullptr) Post(m, WindowEvent, w, CloseDetail);
    return;
  }
  if (control && m.vkey == kVkF6) {
    BringNextToFront(m, KeyWindow(m));
    return;
  }
  if (m.vkey == kVkF10) {
    PostSystemKeyF10(m);
    return;
  }
  if (!IsVirtualKey(m.vkey, keys, m.extended)) {
    state.dropCharacter = false;
    return;
  }
  Post(m, KeyDown, m.window, VirtualKey, m.vkey, {}, m.extended ? kExtendedKey : 0);
}

void ScrollMessage(const PlatformMessage& m) {
  if (m.request == ThumbTrack || m.request == Top || m.request == Bottom) return;
  Toolbox::ScrollBar* bar = m.scrollBar;
  const ScrollProc proc = m.vertical ? state.vertical : state.horizontal;
  if (m.request >= LineUp && m.request <= PageDown && proc != nullptr && bar != nullptr) {
    proc(bar, PartCode(static_cast<std::uint32_t>(m.request)));
    return;
  }
  const Window w = bar != nullptr ? bar->window : m.window;
  if (w == nullptr) return;
  const std::uint32_t raw = (static_cast<std::uint32_t>(m.thumb) << 16) |
                            (static_cast<std::uint32_t>(m.request) & 0xFFFFu);
  Post(m, WindowEvent, w, m.vertical ? VScrollDetail : HScrollDetail, bar != nullptr ? bar->ref : 0,
       {}, raw);
}

} // namespace

bool InitEventQueue() {
  if (state.ring == nullptr) {
    state.ring = new (std::nothrow) EventRecord[kQueueSlots]();
    if (state.ring == nullptr) return false;
  }
  for (int i = 0; i < kQueueSlots; ++i) state.ring[i] = EventRecord{};
  state.read = 0;
  state.write = 0;
  return true;
}

void FreeEventQueue() {
  delete[] state.ring;
  state = State{};
}

void PostEvent(const EventRecord& record) {
  if (state.ring == nullptr || Full()) return;
  if (record.what == NullEvent && !Empty()) return;
  if (record.what == UpdateEvent && HasEvent(record.window, UpdateEvent)) return;
  EventRecord& slot = state.ring[state.write];
  slot = record;
  Normalise(slot);
  state.write = Next(state.write);
}

bool GetNextEvent(std::uint32_t, EventRecord& record) {
  for (;;) {
    if (state.ring == nullptr) break;
    SkipDeleted();
    if (!Empty()) {
      record = state.ring[state.read];
      state.read = Next(state.read);
      return record.what != NullEvent;
    }
    if (!Toolbox::HasBackend()) break;
    Toolbox::TheBackend().Pump(!Idle());
  }
  record = EventRecord{};
  return false;
}

bool EventAvail(std::uint32_t, EventRecord& record) {
  for (;;) {
    if (state.ring == nullptr) break;
    SkipDeleted();
    if (!Empty()) {
      record = state.ring[state.read];
      if (record.what == NullEvent) state.read = Next(state.read);
      return record.what != NullEvent;
    }
    if (!Toolbox::HasBackend()) break;
    Toolbox::TheBackend().Pump(!Idle());
  }
  record = EventRecord{};
  return false;
}

void FlushEvents(std::uint32_t, std::uint32_t) {
  for (std::uint32_t i = state.read; i != state.write; i = Next(i)) {
    if (state.ring[i].what != UpdateEvent) state.ring[i].what = DeletedEvent;
  }
}

void FlushWindowEvents(Window w) {
  for (std::uint32_t i = state.read; i != state.write; i = Next(i)) {
    if (state.ring[i].window == w) state.ring[i].what = DeletedEvent;
  }
}

bool HasEvent(Window w, std::uint32_t kind) {
  for (std::uint32_t i = state.read; i != state.write; i = Next(i)) {
    if (state.ring[i].window == w && state.ring[i].what == kind) return true;
  }
  return false;
}

int QueuedCount() {
  int n = 0;
  for (std::uint32_t i = state.read; i != state.write; i = Next(i)) {
    if (state.ring[i].what != DeletedEvent) ++n;
  }
  return n;
}

bool StillDown() {
  PumpOnce(false);
  return state.buttonDown;
}

bool ButtonAfterFlush() {
  FlushEvents(0, 0);
  return state.buttonDown;
}

void GetMouse(Point& p) {
  p = Toolbox::HasBackend() ? Toolbox::TheBackend().MousePosition() : state.mouse;
  Toolbox::GlobalToLocal(p);
}

void SetMouse(Point p) {
  Toolbox::LocalToGlobal(p);
  state.mouse = p;
  if (Toolbox::HasBackend()) Toolbox::TheBackend().SetMousePosition(p);
}

std::uint32_t GetDoubleTime() { return Toolbox::GetDoubleTime(); }
std::uint32_t TickCount() { return Toolbox::TickCount(); }
std::uint32_t GetCaretTime() { return Toolbox::GetCaretTime(); }

bool KeyIsDown(std::uint32_t vkey) {
  return Toolbox::HasBackend() && Toolbox::TheBackend().KeyIsDown(vkey);
}

void SetScrollProcs(ScrollProc horizontal, ScrollProc vertical) {
  state.horizontal = horizontal;
  state.vertical = vertical;
}

void SetMenuSelectProc(MenuSelectProc proc) { state.menuSelect = proc; }
void SetDropProc(DropProc proc) { state.drop = proc; }
void SetFrameCloseProc(SimpleProc proc) { state.frameClose = proc; }
void SetEndSessionProc(SimpleProc proc) { state.endSession = proc; }
void SetQuitProc(SimpleProc proc) { state.quit = proc; }
void SetPaintProc(PaintProc proc) { state.paint = proc; }
void SetQuitWhileRunningProc(SimpleProc proc) { state.quitWhileRunning = proc; }
void SetKeyClaimProc(KeyClaimProc proc) { state.claim = proc; }
bool KeyClaimed(char key) { return key != 0 && state.claim != nullptr && state.claim(key); }
void SetMoving(bool moving) { state.moving = moving; }

void Dispatch(const PlatformMessage& m) {
  using Kind = PlatformMessage::Kind;
  // A message about a window or scroll bar that is gone (the platform may report a
  // focus change while it takes a window down) has nobody to go to: its record would
  // name freed memory.
  if (m.window != nullptr && !Toolbox::IsWindow(m.window)) return;
  if (m.scrollBar != nullptr && !Toolbox::IsScrollBar(m.scrollBar)) return;
  switch (m.kind) {
  case Kind::KeyDown:
    KeyDownMessage(m);
    break;
  case Kind::SysKeyDown:
    // Alt combinations belong to the platform; only F10 reaches the program.
    state.dropCharacter = true;
    if (m.vkey == kVkF10)
      PostSystemKeyF10(m);
    else if ((m.keyState & kControlKey) == 0 && Claimed(m))
      PostClaimedSystemKey(m);
    break;
  case Kind::Character:
    if (state.dropCharacter) {
      state.dropCharacter = false;
      break;
    }
    Post(m, KeyDown, m.window, CharacterKey,
         static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(m.ch))));
    break;
  case Kind::ButtonDown:
    state.mouse = m.where;
    if (m.window == nullptr || m.button < 1 || m.button > 3) break;
    state.buttonDown = true;
    Post(m, MouseDown, m.window, static_cast<std::uint32_t>(m.button), m.buttonFlags, m.where);
    break;
  case Kind::ButtonUp:
    state.mouse = m.where;
    state.buttonDown = false;
    Post(m, MouseUp, m.window, 0, 0, m.where);
    break;
  case Kind::MouseMove:
    state.mouse = m.where;
    Toolbox::AdjustCursor(m.where);
    break;
  case Kind::Timer:
    Post(m, NullEvent, Toolbox::FrontWindow(), 0, 0, state.mouse);
    break;
  case Kind::Paint:
    if (m.window == nullptr || (state.paint != nullptr && state.paint(m.window))) break;
    Post(m, UpdateEvent, m.window, 0);
    break;
  case Kind::Close:
    PostWindowEvent(m, CloseDetail);
    break;
  case Kind::FocusIn:
    PostWindowEvent(m, FocusInDetail);
    break;
  case Kind::FocusOut:
    PostWindowEvent(m, FocusOutDetail);
    break;
  case Kind::Moved:
    if (!state.moving) PostWindowEvent(m, MovedDetail, m.where);
    break;
  case Kind::Sized:
    if (!state.moving) PostWindowEvent(m, m.sizeType == 1 ? MinimisedDetail : SizedDetail, m.where);
    break;
  case Kind::ActivateClick:
    PostWindowEvent(m, FrontDetail);
    break;
  case Kind::NextWindow:
    BringNextToFront(m, KeyWindow(m));
    break;
  case Kind::Scroll:
    ScrollMessage(m);
    break;
  case Kind::FrameActivate:
    Post(m, ActivateEvent, Toolbox::FrontWindow(), 0, m.deactivated ? 1 : 0);
    break;
  case Kind::FrameClose:
    if (state.frameClose != nullptr) state.frameClose();
    break;
  case Kind::MenuCommand:
    if (m.menuCommand != 0) {
      PostMenuCommand(m, m.menuCommand);
    } else if (const std::uint32_t command = CommandOfPath(m.menuPath);
               command != 0 && CommandEnabled(command)) {
      PostMenuCommand(m, command);
    }
    break;
  case Kind::MenuSelect:
    if (state.menuSelect != nullptr)
      state.menuSelect(static_cast<std::int32_t>(m.menuCommand & 0xFF));
    break;
  case Kind::DropFiles:
    if (state.drop != nullptr) {
      // The host's names, in the workstation's characters.
      std::vector<std::string> files;
      for (const std::string& f : m.files) files.push_back(Charset::FromHostName(f));
      state.drop(files);
    }
    break;
  case Kind::EndSession:
    if (state.endSession != nullptr) state.endSession();
    break;
  case Kind::ClipboardText:
    // The backends put it on their clipboards before it would come here.
    break;
  case Kind::FrameSized:
    Toolbox::FrameResized();
    break;
  case Kind::Quit:
    // The platform ends the program at once; the start-up layer may end it its own way.
    if (state.quit == nullptr) std::exit(0);
    state.quit();
    break;
  }
}

bool PumpOnce(bool wait) { return Toolbox::HasBackend() && Toolbox::TheBackend().Pump(wait); }

void SetIdleProc(IdleProc proc) { state.idle = proc; }

void TimerTick() {
  Signals::Poll();
  static_cast<void>(Idle());
}

void WatchInterrupt(bool on) {
  if (on) {
    if (state.watchInterrupt++ == 0) state.interrupted = false;
  } else if (state.watchInterrupt > 0 && --state.watchInterrupt == 0) {
    state.interrupted = false;
  }
}

bool InterruptPending() { return state.interrupted; }
bool Watching() { return state.watchInterrupt > 0; }

bool Interrupted() {
  PumpOnce(false);
  const bool asked = state.interrupted;
  state.interrupted = false;
  return asked;
}

} // namespace Events
