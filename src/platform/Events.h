// The event queue: platform messages become 32-byte event records in a ring of 255
// usable slots, which the key-event layer and a few direct users read.
#pragma once

#include <cstdint>

#include "platform/Backend.h"
#include "platform/Geometry.h"

namespace Events {

enum EventKind : std::uint32_t {
  NullEvent = 0,
  MouseDown = 1,
  MouseUp = 2,
  KeyDown = 3,
  AutoKey = 5, // never posted; readers take it like KeyDown
  UpdateEvent = 6,
  ActivateEvent = 9,
  WindowEvent = 10,
  DeletedEvent = 11,
};

// detail values.
enum Detail : std::uint32_t {
  LeftButton = 1,
  MiddleButton = 2,
  RightButton = 3,
  CharacterKey = 0,
  VirtualKey = 11,
  MenuDetail = 4,
  MovedDetail = 5,
  SizedDetail = 6,
  MinimisedDetail = 7,
  CloseDetail = 8,
  VScrollDetail = 9,
  HScrollDetail = 10,
  FrontDetail = 12,
  FocusInDetail = 13,
  FocusOutDetail = 14,
};

// Modifier bits of event records.
inline constexpr std::uint32_t kAltKey = 256;
inline constexpr std::uint32_t kShiftKey = 512;
inline constexpr std::uint32_t kCapsLock = 1024;
inline constexpr std::uint32_t kOptionKey = 2048;
inline constexpr std::uint32_t kControlKey = 4096;

// Scroll part codes in the low 16 bits of modifiers.
inline constexpr std::uint32_t kLineUp = 20, kLineDown = 21, kPageUp = 22, kPageDown = 23;
inline constexpr std::uint32_t kThumbPosition = 129, kEndScroll = 130;

struct EventRecord {
  std::uint32_t what = 0;
  std::uint32_t when = 0;
  std::int32_t whereH = 0;
  std::int32_t whereV = 0;
  std::uint32_t message = 0;
  std::uint32_t modifiers = 0;
  Toolbox::Window window = nullptr;
  std::uint32_t detail = 0;
};

inline constexpr int kQueueSlots = 256; // 255 usable

// Allocates the ring; false when memory is short (the caller ends the program).
bool InitEventQueue();
void FreeEventQueue();
void PostEvent(const EventRecord& record);
// The oldest live record; pumps (blocking) while the queue is empty. True when what != 0.
bool GetNextEvent(std::uint32_t mask, EventRecord& record);
// A copy of the oldest live record, removing a NullEvent at the head.
bool EventAvail(std::uint32_t mask, EventRecord& record);
// Marks every queued record except UpdateEvent records as deleted.
void FlushEvents(std::uint32_t mask, std::uint32_t stopMask);
void FlushWindowEvents(Toolbox::Window w);
bool HasEvent(Toolbox::Window w, std::uint32_t kind);
// Number of live records queued.
int QueuedCount();
bool StillDown();
bool ButtonAfterFlush();
void GetMouse(Toolbox::Point& p);
void SetMouse(Toolbox::Point p);
std::uint32_t GetDoubleTime();
std::uint32_t TickCount();
std::uint32_t GetCaretTime();
bool KeyIsDown(std::uint32_t vkey);

// Scroll-bar procedures of text windows: (bar, part code 20..23).
using ScrollProc = void (*)(Toolbox::ScrollBar* bar, std::uint32_t part);
void SetScrollProcs(ScrollProc horizontal, ScrollProc vertical);
using MenuSelectProc = void (*)(std::int32_t item);
void SetMenuSelectProc(MenuSelectProc proc);
// Hooks of the start-up layer: dropped files, frame close and end of session.
using DropProc = void (*)(const std::vector<std::string>& files);
using SimpleProc = void (*)();
void SetDropProc(DropProc proc);
void SetFrameCloseProc(SimpleProc proc);
void SetEndSessionProc(SimpleProc proc);
void SetQuitProc(SimpleProc proc); // the platform demands the end at once
// Quit chosen (its menu item, its key or the frame's close box) while a watch is on: the
// procedure decides at once, while what runs goes on, instead of the command waiting in
// the queue until the run ends.
void SetQuitWhileRunningProc(SimpleProc proc);
// The update procedure of windows that paint themselves at once (dialogs, terminals):
// true when it painted w, so that no UpdateEvent is posted.
using PaintProc = bool (*)(Toolbox::Window w);
void SetPaintProc(PaintProc proc);
// A letter or digit key held with Control or Alt that a higher layer takes as its own (an
// item of a dialog whose shortcut comes with any modifier): true keeps the key from the
// accelerator table and the platform, and it arrives as its character.
using KeyClaimProc = bool (*)(char key);
void SetKeyClaimProc(KeyClaimProc proc);
// Whether the letter or digit key (upper case) is claimed so: a backend keeps it from the
// platform's own keys (the menu titles' mnemonics) too.
bool KeyClaimed(char key);
// Suppresses move and size records while a window is being created or moved.
void SetMoving(bool moving);

// The window procedure: turns one platform message into event records. Called by the
// backends while they pump; offers key messages to the accelerator table first.
void Dispatch(const Toolbox::PlatformMessage& message);

// Pumps one platform message when one is waiting, else returns false.
bool PumpOnce(bool wait);

// Work done in small steps while the program waits for input: before a reader of the
// queue waits for a platform message, and at every tick of the platform's timer (also
// while a platform dialog runs). It returns true when it has more to do at once.
using IdleProc = bool (*)();
void SetIdleProc(IdleProc proc);
// The platform's timer ticked (the backend calls it from its timer, in whatever loop
// runs): a signal's request to end is carried out, then a step of the idle work.
void TimerTick();

// While a watch is on (a learned macro or a program runs), Control+C and Break do not
// reach the program as keys: they ask for what runs to be interrupted. Watches nest: a
// program run from a learned macro ends its own watch, not the macro's.
void WatchInterrupt(bool on);
// Handles what the platform has waiting (without waiting for more) and tells whether
// the user asked for an interrupt since the watch began or this was last asked.
bool Interrupted();
// Whether an interrupt was asked for and not yet taken by Interrupted.
bool InterruptPending();
// Whether a watch is on: a program or a learned macro runs.
bool Watching();

} // namespace Events
