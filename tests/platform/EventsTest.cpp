#include "platform/Events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"

using Events::EventRecord;
using Toolbox::Point;
using Toolbox::Rect;
using Toolbox::Window;

namespace {

constexpr std::uint32_t kControl = Events::kControlKey;
constexpr std::uint32_t kShift = Events::kShiftKey;

class EventsTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Headless::StartPlatform(backend)); }
  void TearDown() override { Headless::StopPlatform(); }

  // Dispatches everything the backend has, then takes every queued record.
  std::vector<EventRecord> Run() {
    while (backend.Pump(false)) {}
    std::vector<EventRecord> records;
    EventRecord r;
    while (Events::QueuedCount() > 0) {
      Events::GetNextEvent(0, r);
      records.push_back(r);
    }
    return records;
  }

  Window NewWindow(const Rect& bounds) {
    Window w = Toolbox::NewWindow(bounds, "W", true, Toolbox::kDocumentWindow, true, nullptr);
    Run(); // the focus change of the new window
    return w;
  }

  static EventRecord Key(std::uint32_t message, std::uint32_t detail = Events::CharacterKey) {
    EventRecord r;
    r.what = Events::KeyDown;
    r.message = message;
    r.detail = detail;
    return r;
  }

  Headless::HeadlessBackend backend;
};

TEST_F(EventsTest, QueueHoldsAtMost255Records) {
  for (std::uint32_t i = 0; i < 256; ++i) Events::PostEvent(Key(i));
  EXPECT_EQ(Events::QueuedCount(), 255);
  Events::PostEvent(Key(1000));
  EXPECT_EQ(Events::QueuedCount(), 255);

  EventRecord r;
  ASSERT_TRUE(Events::GetNextEvent(0, r));
  EXPECT_EQ(r.message, 0u);
  Events::PostEvent(Key(1000));
  std::vector<EventRecord> rest = Run();
  ASSERT_EQ(rest.size(), 255u);
  EXPECT_EQ(rest[253].message, 254u);
  EXPECT_EQ(rest[254].message, 1000u);
}

TEST_F(EventsTest, NullEventOnlyEntersAnEmptyQueue) {
  backend.InjectTimer();
  backend.InjectChar('a');
  backend.InjectTimer();
  std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].what, Events::NullEvent);
  EXPECT_EQ(records[1].what, Events::KeyDown);
}

TEST_F(EventsTest, PaintRequestsForOneWindowLeaveOneUpdate) {
  Window a = NewWindow(Rect{0, 0, 100, 100});
  Window b = NewWindow(Rect{0, 0, 100, 100});
  Toolbox::PlatformMessage paint;
  paint.kind = Toolbox::PlatformMessage::Kind::Paint;
  paint.window = a;
  backend.Inject(paint);
  backend.Inject(paint);
  paint.window = b;
  backend.Inject(paint);
  std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].window, a);
  EXPECT_EQ(records[1].window, b);
  EXPECT_EQ(records[1].what, Events::UpdateEvent);
}

TEST_F(EventsTest, FlushesMarkRecordsInPlace) {
  Window a = NewWindow(Rect{0, 0, 100, 100});
  Window b = NewWindow(Rect{0, 0, 100, 100});
  Events::PostEvent(Key('x'));
  EventRecord update;
  update.what = Events::UpdateEvent;
  update.window = a;
  Events::PostEvent(update);
  EventRecord close;
  close.what = Events::WindowEvent;
  close.detail = Events::CloseDetail;
  close.window = b;
  Events::PostEvent(close);

  Events::FlushWindowEvents(b);
  EXPECT_FALSE(Events::HasEvent(b, Events::WindowEvent));
  EXPECT_EQ(Events::QueuedCount(), 2);
  Events::FlushEvents(0xFFFF, 0);
  std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].what, Events::UpdateEvent);
}

TEST_F(EventsTest, EventAvailRemovesOnlyANullEventAtTheHead) {
  EventRecord null;
  Events::PostEvent(null);
  EventRecord r;
  EXPECT_FALSE(Events::EventAvail(0, r));
  EXPECT_EQ(Events::QueuedCount(), 0);

  Events::PostEvent(Key('k'));
  EXPECT_TRUE(Events::EventAvail(0, r));
  EXPECT_TRUE(Events::EventAvail(0, r));
  EXPECT_EQ(r.message, static_cast<std::uint32_t>('k'));
  EXPECT_EQ(Events::QueuedCount(), 1);
}

TEST_F(EventsTest, KeysArriveAsCharactersOrVirtualKeys) {
  const std::uint32_t V = Events::VirtualKey, C = Events::CharacterKey;
  struct Case {
    std::uint32_t vkey, keyState;
    bool extended;
    int ch; // the platform's character after the key, -1 for none
    std::uint32_t detail, message;
  };
  const Case cases[] = {
      // The keypad keeps its codes whatever Num Lock; the cursor block is extended.
      {38, 0, false, -1, V, 104},   // keypad 8 with Num Lock off
      {104, 0, false, -1, V, 104},  // keypad 8 with Num Lock on
      {38, 0, true, -1, V, 38},     // Up of the cursor block
      {46, 0, false, -1, V, 110},   // keypad point
      {12, 0, false, -1, V, 101},   // keypad 5
      {36, 0, true, -1, V, 36},     // Home of the cursor block
      {13, 0, true, -1, V, 13},     // keypad Enter
      {13, 0, false, 13, C, 13},    // the main Enter key arrives as its character
      {110, 0, false, '.', V, 110}, // keypad point with Num Lock on: its '.' goes
      // Control: letters give control characters, digits and some signs are keys.
      {'A', kControl, false, 1, C, 1},
      {'Z', kControl, false, 'c', C, 'c'},
      {'1', kControl, false, '1', V, 49},
      {'5', kControl, false, 'c', V, '5'},
      {191, kControl, false, 'c', V, 191},         // Ctrl+/
      {219, kControl, false, 'c', C, 'c'},         // Ctrl+[ is ESC as a character
      {8, kControl, false, 'c', C, 'c'},           // Ctrl+Backspace
      {54, kControl | kShift, false, 'c', C, 'c'}, // Ctrl+^
      {54, kControl, false, 'c', V, 54},           // Ctrl+6
      {189, kControl | kShift, false, 'c', C, 'c'},
      {121, 0, false, 'c', V, 121},      // F10 is the system key 121
      {108, 0, false, 'c', C, 'c'},      // the separator key
      {0, kControl, false, 'c', C, 'c'}, // a key without a code still gives its character
  };
  for (const Case& c : cases) {
    backend.InjectKey(c.vkey, c.keyState, c.extended);
    if (c.ch >= 0) backend.InjectChar(static_cast<char>(c.ch), c.keyState);
    const std::vector<EventRecord> records = Run();
    ASSERT_EQ(records.size(), 1u) << c.vkey;
    EXPECT_EQ(records[0].detail, c.detail) << c.vkey;
    EXPECT_EQ(records[0].message, c.message) << c.vkey;
    EXPECT_EQ(records[0].modifiers, c.keyState) << c.vkey;
  }
  // A character with no key before it comes sign-extended from 8 bits; modifiers come
  // from the live key state.
  backend.InjectChar(static_cast<char>(0xE9));
  backend.SetKeyState(Events::kCapsLock);
  backend.InjectKey(38, kShift, true);
  const std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].message, 0xFFFFFFE9u);
  EXPECT_EQ(records[1].modifiers, kShift | Events::kCapsLock);
}

TEST_F(EventsTest, ControlF4ClosesAndControlF6BringsTheNextWindow) {
  Window a = NewWindow(Rect{0, 0, 100, 100});
  Window b = NewWindow(Rect{10, 10, 110, 110});
  ASSERT_EQ(Toolbox::FrontWindow(), b);

  backend.InjectKey(115, kControl);
  std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].what, Events::WindowEvent);
  EXPECT_EQ(records[0].detail, Events::CloseDetail);
  EXPECT_EQ(records[0].window, b);

  backend.InjectKey(117, kControl);
  records = Run();
  EXPECT_EQ(Toolbox::FrontWindow(), a);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0].detail, Events::FrontDetail);
  EXPECT_EQ(records[0].window, a);
}

TEST_F(EventsTest, ScrollRequestsBecomePartCodes) {
  const std::uint32_t parts[] = {20, 21, 22, 23, 129, 0, 0, 0, 130, 0};
  for (std::uint32_t request = 0; request < 10; ++request) {
    EventRecord r;
    r.what = Events::WindowEvent;
    r.detail = Events::VScrollDetail;
    r.modifiers = (77u << 16) | request;
    Events::PostEvent(r);
    Events::GetNextEvent(0, r);
    EXPECT_EQ(r.modifiers, (77u << 16) | parts[request]) << request;
  }
}

std::vector<std::uint32_t> scrolled;
void VerticalScroll(Toolbox::ScrollBar*, std::uint32_t part) { scrolled.push_back(part); }

TEST_F(EventsTest, ScrollBarsCallTheProcedureOrPostRecords) {
  Window w = NewWindow(Rect{0, 0, 200, 200});
  Toolbox::ScrollBar* bar = Toolbox::NewScrollBar(w, Rect{184, 0, 200, 200}, true);
  backend.InjectScroll(bar, 1); // line down, no procedure yet
  backend.InjectScroll(bar, 5); // thumb tracking is ignored
  std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].modifiers & 0xFFFF, Events::kLineDown);
  EXPECT_EQ(Toolbox::FindScrollBar(records[0].message), bar);

  scrolled.clear();
  Events::SetScrollProcs(nullptr, VerticalScroll);
  backend.InjectScroll(bar, 3);
  backend.InjectScroll(bar, 4, 12);
  records = Run();
  EXPECT_EQ(scrolled, std::vector<std::uint32_t>{Events::kPageDown});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].detail, Events::VScrollDetail);
  EXPECT_EQ(records[0].modifiers, (12u << 16) | Events::kThumbPosition);
}

TEST_F(EventsTest, CommandKeysPostMenuCommands) {
  Toolbox::Menu* file = Toolbox::NewMenu(3, "File");
  Toolbox::AppendItem(file, "Open");
  Toolbox::AppendItem(file, "Save");
  Toolbox::SetItemCmd(file, 2, 'S');

  backend.InjectKey('S', kControl);
  backend.InjectChar(19, kControl);
  std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].what, Events::WindowEvent);
  EXPECT_EQ(records[0].detail, Events::MenuDetail);
  EXPECT_EQ(records[0].message, 3u * 65536 + 2);

  // A disabled item's key does nothing; with Shift it is no command key.
  Toolbox::DisableItem(file, 2);
  backend.InjectKey('S', kControl);
  backend.InjectChar(19, kControl);
  backend.InjectKey('S', kControl | kShift);
  backend.InjectChar(19, kControl | kShift);
  records = Run();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].what, Events::KeyDown);
  EXPECT_EQ(records[0].message, 19u);
}

TEST_F(EventsTest, MouseButtonsAndTheNullEventPosition) {
  Window w = NewWindow(Rect{100, 50, 300, 250});
  backend.InjectButtonDown(w, Point{10, 20}, 3, 0, 8);
  std::vector<EventRecord> records = Run();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].what, Events::MouseDown);
  EXPECT_EQ(records[0].detail, Events::RightButton);
  EXPECT_EQ(records[0].whereH, 110);
  EXPECT_EQ(records[0].whereV, 70);
  EXPECT_EQ(records[0].modifiers, Events::kOptionKey | kControl);

  backend.InjectMouseMove(w, Point{30, 40});
  backend.InjectTimer();
  EXPECT_TRUE(Events::StillDown());
  EXPECT_TRUE(Events::StillDown());
  records = Run();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].what, Events::NullEvent);
  EXPECT_EQ(records[0].whereH, 130);
  EXPECT_EQ(records[0].window, w);

  Toolbox::SetPort(w);
  Point local;
  Events::GetMouse(local);
  EXPECT_EQ(local, (Point{30, 40}));

  backend.InjectButtonUp(w, Point{30, 40});
  EXPECT_FALSE(Events::StillDown());
}

TEST_F(EventsTest, FrameMessagesReachTheirHooks) {
  static int closes = 0;
  static std::vector<std::string> dropped;
  Events::SetFrameCloseProc([] { ++closes; });
  Events::SetDropProc([](const std::vector<std::string>& files) { dropped = files; });
  Toolbox::PlatformMessage m;
  m.kind = Toolbox::PlatformMessage::Kind::FrameClose;
  backend.Inject(m);
  m.kind = Toolbox::PlatformMessage::Kind::DropFiles;
  m.files = {"/tmp/a.mod"};
  backend.Inject(m);
  m.kind = Toolbox::PlatformMessage::Kind::FrameActivate;
  m.deactivated = true;
  backend.Inject(m);
  std::vector<EventRecord> records = Run();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(dropped, std::vector<std::string>{"/tmp/a.mod"});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].what, Events::ActivateEvent);
  EXPECT_EQ(records[0].message, 1u);
}

TEST_F(EventsTest, WaitingWithoutInputEndsTheScript) {
  backend.InjectChar('a');
  EventRecord r;
  ASSERT_TRUE(Events::GetNextEvent(0, r));
  const std::uint32_t before = Events::TickCount();
  int nulls = 0;
  EXPECT_FALSE(Startup::RunToEnd([&] {
    for (;;) {
      if (!Events::GetNextEvent(0, r)) ++nulls;
    }
  }));
  EXPECT_EQ(nulls, 100);
  EXPECT_EQ(Events::TickCount() - before, 100 * Headless::kTimerPeriod);
}

Headless::HeadlessBackend* refill = nullptr;
TEST_F(EventsTest, OutOfInputProcedureMayInjectMore) {
  refill = &backend;
  backend.SetOutOfInputProc([] {
    refill->InjectChar('z');
    refill->SetOutOfInputProc(nullptr);
  });
  EventRecord r;
  while (!Events::GetNextEvent(0, r)) {}
  EXPECT_EQ(r.message, static_cast<std::uint32_t>('z'));
}

} // namespace
