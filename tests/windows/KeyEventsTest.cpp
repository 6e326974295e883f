#include "windows/KeyEvents.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "windows/ANSITerm.h"

using ANSITerm::TextWindow;
using Toolbox::PlatformMessage;
using Toolbox::Point;
using Toolbox::Rect;
using Toolbox::Window;
using namespace KeyEvents;

namespace {

constexpr std::uint32_t kControl = Events::kControlKey;
constexpr std::uint32_t kShift = Events::kShiftKey;
constexpr std::uint32_t kStart = 200000; // a time well after the backend's clock starts

struct Key {
  int key = 0;
  int modifiers = 0;
  int ch = 0;
  friend bool operator==(const Key&, const Key&) = default;
};

void PrintTo(const Key& k, std::ostream* os) {
  *os << "{" << k.key << ", " << k.modifiers << ", " << k.ch << "}";
}

class KeyEventsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Headless::StartPlatform(backend));
    Buffer::Init();
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
    ASSERT_TRUE(ANSITerm::InitTerminals());
    w = Toolbox::NewWindow(Rect{10, 10, 410, 410}, "T", true, Toolbox::kDocumentWindow, true,
                           nullptr);
    t = ANSITerm::NewTerminal(false, w);
    ASSERT_NE(t, nullptr);
    Collect(); // the new window's activation
  }
  void TearDown() override {
    ANSITerm::DisposeTerminal(t);
    Headless::StopPlatform();
  }

  bool Next(Key& k) {
    std::uint8_t key = 0, modifiers = 0;
    char ch = 0;
    const bool produced = GetKey(t, key, modifiers, ch);
    k = Key{key, modifiers, static_cast<unsigned char>(ch)};
    return produced;
  }

  // Every key event produced until the script and the queue are empty.
  std::vector<Key> Collect() {
    std::vector<Key> keys;
    while (Events::QueuedCount() > 0 || backend.Pump(false)) {
      Key k;
      if (Next(k)) keys.push_back(k);
    }
    return keys;
  }

  std::vector<int> Codes() {
    std::vector<int> codes;
    for (const Key& k : Collect()) codes.push_back(k.key);
    return codes;
  }

  // Near the left edge of a cell (1-based), in the window's coordinates.
  static Point CellPoint(int row, int column) {
    return Point{5 + (column - 1) * 8 + 1, 3 + (row - 1) * 16 + 8};
  }

  Headless::HeadlessBackend backend;
  Window w = nullptr;
  TextWindow* t = nullptr;
};

TEST_F(KeyEventsTest, FourQuickClicksGiveClickDoubleTripleClick) {
  const Point p = CellPoint(3, 4);
  for (std::uint32_t i = 0; i < 4; ++i) {
    backend.InjectButtonDown(w, p, 1, kStart + 300 * i);
    backend.InjectButtonUp(w, p, kStart + 300 * i + 50);
  }
  EXPECT_EQ(Codes(), (std::vector<int>{KeyMouse, KeyDoubleMouse, KeyTripleMouse, KeyMouse}));
}

TEST_F(KeyEventsTest, DoubleClickAllowsASmallSumOfDisplacements) {
  const struct {
    int dh, dv, second;
  } cases[] = {
      {10, -10, KeyDoubleMouse}, {10, 10, KeyMouse}, {-3, -2, KeyDoubleMouse}, {3, 3, KeyMouse}};
  std::uint32_t time = kStart;
  for (const auto& c : cases) {
    const Point p = CellPoint(5, 10);
    backend.InjectClick(w, p, 1, time);
    backend.InjectClick(w, Point{p.h + c.dh, p.v + c.dv}, 1, time + 200);
    EXPECT_EQ(Codes(), (std::vector<int>{KeyMouse, c.second})) << c.dh << "," << c.dv;
    time += 10000;
  }
}

TEST_F(KeyEventsTest, ClickCellIsTheNearestCharacterBoundary) {
  const struct {
    Point where;
    bool block;
    int row, column;
  } cases[] = {
      {{5 + 3 * 8 + 2, 3 + 2 * 16 + 1}, false, 3, 4},  // left half of the fourth cell
      {{5 + 3 * 8 + 5, 3 + 2 * 16 + 15}, false, 3, 5}, // right half
      {{5 + 3 * 8 + 5, 3 + 2 * 16 + 15}, true, 3, 4},  // block selection: the cell itself
      {{1, 1}, false, 0, 1},                           // above the text
  };
  std::uint32_t time = kStart;
  for (const auto& c : cases) {
    SetBlockSelection(c.block);
    backend.InjectClick(w, c.where, 1, time += 10000);
    Collect();
    std::int32_t row = 0, column = 0;
    ANSITerm::GetClickCell(t, row, column);
    EXPECT_EQ(row, c.row) << c.where.h << "," << c.where.v;
    EXPECT_EQ(column, c.column) << c.where.h << "," << c.where.v;
  }
}

TEST_F(KeyEventsTest, StillDownRepeatsWhenTheCellChangesOrAtTheEdgeRows) {
  const struct {
    int row, dh;
    std::vector<int> codes;
  } cases[] = {
      {5, 1, {KeyMouse}},                     // same cell
      {5, 16, {KeyMouse, KeyMouseStillDown}}, // two cells to the right
      {1, 0, {KeyMouse, KeyMouseStillDown}},  // the first row repeats without moving
  };
  std::uint32_t time = kStart;
  for (const auto& c : cases) {
    const Point p = CellPoint(c.row, 10);
    backend.InjectButtonDown(w, p, 1, time += 10000);
    backend.InjectMouseMove(w, Point{p.h + c.dh, p.v});
    backend.InjectTimer();
    backend.InjectTimer();
    backend.InjectButtonUp(w, Point{p.h + c.dh, p.v});
    EXPECT_EQ(Codes(), c.codes) << "row " << c.row << " moved " << c.dh;
  }
}

TEST_F(KeyEventsTest, KeypadFollowsTheKeypadMode) {
  // 101 is keypad 5 with Num Lock on; with it off the platform reports Clear (12).
  for (const std::uint32_t vkey : {101u, 12u}) {
    SCOPED_TRACE(vkey);
    ANSITerm::KeypadApplication(t);
    backend.InjectKey(vkey);
    backend.InjectChar('5'); // the platform's character for the key is dropped
    EXPECT_EQ(Collect(), (std::vector<Key>{{KeyKeypad5, 0, 0}}));

    ANSITerm::KeypadNumeric(t);
    backend.InjectKey(vkey);
    EXPECT_EQ(Collect(), (std::vector<Key>{{KeyCharacter, 0, '5'}}));
  }
  ANSITerm::KeypadApplication(t);
  SetKeypadMode(false);
  backend.InjectKey(101);
  EXPECT_EQ(Collect(), (std::vector<Key>{{KeyCharacter, 0, '5'}}));
}

TEST_F(KeyEventsTest, ControlDigitIsAFunctionKey) {
  backend.InjectKey('2', kControl);
  backend.InjectKey('A', kShift);
  backend.InjectChar('A', kShift);
  EXPECT_EQ(Collect(), (std::vector<Key>{{KeyF2, kModControl, 0}, {KeyCharacter, kModShift, 'A'}}));
}

TEST_F(KeyEventsTest, TranslateKey) {
  const std::uint32_t V = Events::VirtualKey, C = Events::CharacterKey;
  const struct {
    std::uint32_t detail, message, modifiers;
    bool app;
    int key, ch;
  } cases[] = {
      {V, '1', kControl, true, KeyF1, 0},
      {V, '2', kControl, true, KeyF2, 0},
      {V, '9', kControl, true, KeyF9, 0},
      {V, 112, 0, true, KeyHelp, 0}, // F1
      {V, 113, 0, true, KeyF2, 0},
      {V, 126, 0, true, KeyF15, 0},
      {V, 191, kControl, true, KeyHelp, 0},
      {V, 46, kControl, true, KeyDeleteRight, 0},
      {V, 46, 0, true, KeyDeleteRight, 0},
      {V, 3, 0, true, KeyCharacter, 27}, // Break
      {V, 33, 0, true, KeyPageUp, 0},
      {V, 34, 0, true, KeyPageDown, 0},
      {V, 35, 0, true, KeyEnd, 0},
      {V, 36, 0, true, KeyHome, 0},
      {V, 37, 0, true, KeyCursorLeft, 0},
      {V, 38, 0, true, KeyCursorUp, 0},
      {V, 39, 0, true, KeyCursorRight, 0},
      {V, 40, 0, true, KeyCursorDown, 0},
      {V, 45, 0, true, KeyInsert, 0},
      {V, 13, 0, true, KeyEnter, 0},
      {V, 13, 0, false, KeyCharacter, 13},
      {V, 96, 0, true, KeyKeypad0, 0},
      {V, 105, 0, false, KeyCharacter, '9'},
      {V, 109, 0, true, KeyKeypadMinus, 0},
      {V, 107, 0, false, KeyCharacter, '+'},
      {V, 110, 0, true, KeyKeypadPoint, 0},
      {V, 106, 0, false, KeyKeypadMultiply, 0},
      {V, 111, 0, false, KeyKeypadDivide, 0},
      {V, 188, kControl, true, KeyCharacter, 188}, // Ctrl+, has no code of its own
      {C, 8, 0, true, KeyDeleteLeft, 0},           // Backspace
      {C, 8, kControl, true, KeyCharacter, 8},     // Ctrl+H: the line start
      {C, 127, kControl, true, KeyDeleteLeft, 0},  // Ctrl+Backspace
      {C, 28, 0, true, KeyCursorLeft, 0},
      {C, 29, 0, true, KeyCursorRight, 0},
      {C, 30, 0, true, KeyCursorUp, 0},
      {C, 31, 0, true, KeyCursorDown, 0},
      {C, 'a', 0, true, KeyCharacter, 'a'},
      {C, 0xFFFFFFE9, 0, true, KeyCharacter, 0xE9}, // sign-extended Latin-1
  };
  for (const auto& c : cases) {
    Events::EventRecord r;
    r.what = Events::KeyDown;
    r.detail = c.detail;
    r.message = c.message;
    r.modifiers = c.modifiers;
    std::uint8_t key = 0;
    char ch = 0;
    TranslateKey(r, c.app, key, ch);
    EXPECT_EQ(key, c.key) << c.detail << ":" << c.message;
    EXPECT_EQ(static_cast<unsigned char>(ch), c.ch) << c.detail << ":" << c.message;
  }
}

TEST_F(KeyEventsTest, UngetKeyReturnsTheLastKeyOnce) {
  backend.InjectChar('a');
  backend.InjectChar('b');
  Key k;
  ASSERT_TRUE(Next(k));
  EXPECT_EQ(k.ch, 'a');
  UngetKey();
  EXPECT_TRUE(KeyPressed());
  ASSERT_TRUE(Next(k));
  EXPECT_EQ(k.ch, 'a');
  ASSERT_TRUE(Next(k));
  EXPECT_EQ(k.ch, 'b');
  EXPECT_TRUE(Collect().empty());
}

TEST_F(KeyEventsTest, FlushKeysKeepsAPendingUpdate) {
  Toolbox::MarkForUpdate(w, Rect{0, 0, 10, 10});
  Key k;
  ASSERT_TRUE(Next(k));
  EXPECT_EQ(k, (Key{KeyUpdate, 0, 1}));
  backend.InjectChar('x');
  backend.Pump(false);
  UngetKey();
  FlushKeys();
  ASSERT_TRUE(Next(k));
  EXPECT_EQ(k, (Key{KeyUpdate, 0, 1}));
  EXPECT_TRUE(Collect().empty());

  backend.InjectChar('y');
  ASSERT_TRUE(Next(k));
  backend.InjectChar('z');
  backend.Pump(false);
  UngetKey();
  FlushKeys();
  EXPECT_TRUE(Collect().empty());
}

int updates = 0;
int resizes = 0;

TEST_F(KeyEventsTest, WindowEventsRunTheTerminalsProcedures) {
  Toolbox::SizeWindow(w, 400, 200);
  EXPECT_EQ(Codes(), (std::vector<int>{KeyResized}));
  std::int32_t rows = 0, columns = 0;
  ANSITerm::GetSize(t, rows, columns);
  EXPECT_EQ(rows, 12);

  ANSITerm::SetWindowProcs(
      t, [](TextWindow*) { ++updates; }, [](TextWindow*) { ++resizes; }, nullptr);
  Toolbox::MarkForUpdate(w, Rect{0, 0, 10, 10});
  Toolbox::SizeWindow(w, 400, 300);
  EXPECT_EQ(Codes(), (std::vector<int>{KeyHandled, KeyHandled}));
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(resizes, 1);
  ANSITerm::GetSize(t, rows, columns);
  EXPECT_EQ(rows, 18);
}

std::vector<std::uint32_t> menuCommands;

TEST_F(KeyEventsTest, MenuCommandsRunAtOnceAndCloseNamesTheWindow) {
  SetMenuCommandProc([](std::uint32_t command) { menuCommands.push_back(command); });
  backend.InjectMenuCommand(Toolbox::MenuCommand(3, 2));
  PlatformMessage close;
  close.kind = PlatformMessage::Kind::Close;
  close.window = w;
  backend.Inject(close);
  EXPECT_EQ(Codes(), (std::vector<int>{KeyMenu, KeyWindowClose}));
  EXPECT_EQ(menuCommands, (std::vector<std::uint32_t>{3 * 65536 + 2}));
  EXPECT_EQ(ANSITerm::EventWindow(), w);
}

TEST_F(KeyEventsTest, ApplicationActivationIsReportedAndRemembered) {
  PlatformMessage m;
  m.kind = PlatformMessage::Kind::FrameActivate;
  m.deactivated = true;
  backend.Inject(m);
  EXPECT_EQ(Collect(), (std::vector<Key>{{KeyOSEvent, 0, 0}}));
  EXPECT_TRUE(ApplicationInactive());
  m.deactivated = false;
  backend.Inject(m);
  EXPECT_EQ(Collect(), (std::vector<Key>{{KeyOSEvent, 0, 1}}));
  EXPECT_FALSE(ApplicationInactive());
  // Without the platform's word that it is active again, a key typed into it says so.
  m.deactivated = true;
  backend.Inject(m);
  Collect();
  ASSERT_TRUE(ApplicationInactive());
  backend.InjectChar('x');
  Collect();
  EXPECT_FALSE(ApplicationInactive());
}

TEST_F(KeyEventsTest, CurrentModifiersReadTheLiveState) {
  backend.SetKeyState(kShift | Events::kCapsLock | kControl);
  backend.InjectButtonDown(w, CellPoint(2, 2), 3);
  backend.Pump(false);
  EXPECT_EQ(CurrentModifiers(), kModShift | kModCapsLock | kModControl | kModOption);
}

} // namespace
