// The keypad editor on the headless backend, started as the shell starts it: the
// Command window with the command text, the List window, the editor initialised. A test
// puts lines into a text buffer, types a key script and reads the text, the cursor, the
// message line and the screen grid.
//
//   Edit({"MODULE M;", "END M."});
//   Type("GOLD 1 2 KP3 'abc' RETURN");
//   EXPECT_EQ(Lines(), ...);
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/EditorState.h"
#include "editwin/ShellStart.h"
#include "platform/Events.h"
#include "platform/KeyScript.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

class EditorFixture : public ::testing::Test {
public:
  using Texts = std::vector<std::string>;

  EditorFixture() : backend(Settings()) {}

  void SetUp() override {
    waiting = nullptr;
    ASSERT_TRUE(Headless::StartPlatform(backend));
    Shell::SetEditorStartProc(StartProc());
    ASSERT_EQ(Shell::CreateShell(), Startup::ShellStart::Ok);
    ASSERT_TRUE(Shell::OpenShellWindows());
    Shell::EnterCommandWindow();
  }

  // What runs once the shell's windows exist: the editor's start, or a whole shell's.
  virtual Startup::Proc StartProc() const { return Editor::Init; }

  void TearDown() override {
    waiting = nullptr;
    Headless::StopPlatform();
  }

  // ---- Set-up ----

  // A text buffer at path holding lines (replacing one of that name), shown in the
  // Command window and current, the cursor at (1, 1) and no select range.
  Buffer::Ref Edit(const Texts& lines, std::string_view path = "/User/Test") {
    // The buffer replaced must not keep the editor's view of its old text.
    const Buffer::Ref old = Buffer::Find(base::CharsOf(path));
    if (old != nullptr && old == E().current) EditWindows::ShowBuffer(nullptr, 0);
    Buffer::Ref b = MakeText(lines, path);
    EditWindows::ShowBuffer(b, EditWindows::kRefresh | EditWindows::kActivate);
    return b;
  }

  // Lines "line 1" .. "line n".
  static Texts Numbered(int n) {
    Texts t;
    for (int i = 1; i <= n; ++i) t.push_back("line " + std::to_string(i));
    return t;
  }

  static void SetSearch(const char* text) {
    Strings::Assign(E().searchString, base::CharsOf(text));
  }
  static std::string Search() { return E().searchString; }

  // A text buffer at path holding lines, not entered.
  static Buffer::Ref MakeText(const Texts& lines, std::string_view path) {
    Buffer::Ref b = Buffer::Create(base::CharsOf(path), Buffer::BufferKind::Text);
    EXPECT_NE(b, nullptr) << path;
    for (const std::string& line : lines) EXPECT_TRUE(Lines::Append(b, line)) << line;
    return b;
  }

  // ---- Typing ----

  // Types a key script (platform/KeyScript.h: "GOLD 7 KP4 'abc' RETURN") and runs the
  // editor on it until every key is consumed.
  void Type(std::string_view script) {
    std::vector<Toolbox::PlatformMessage> messages;
    std::string error;
    ASSERT_TRUE(KeyScript::Parse(script, messages, error)) << error;
    backend.Inject(messages);
    Run();
  }

  // Adds the keys of a script to the injected messages without running the editor: for
  // the action of WhenWaiting.
  void Inject(std::string_view script) {
    std::vector<Toolbox::PlatformMessage> messages;
    std::string error;
    ASSERT_TRUE(KeyScript::Parse(script, messages, error)) << error;
    backend.Inject(messages);
  }

  // Runs action once, the next time the editor waits for a key after the injected keys
  // ran out: to look at what it shows while it waits (a question, the help screen) and
  // to Inject the keys that go on.
  void WhenWaiting(std::function<void()> action) {
    waiting = std::move(action);
    backend.SetOutOfInputProc([] {
      std::function<void()> action = std::move(waiting);
      waiting = nullptr;
      if (action) action();
    });
  }

  // One key with a modifier state the key scripts cannot write (2048: the Windows key,
  // the editor's option).
  void TypeKey(std::uint32_t vkey, std::uint32_t keyState, bool extended, int ch = -1) {
    std::vector<Toolbox::PlatformMessage> messages;
    KeyScript::AppendMessages(KeyScript::KeyPress{vkey, extended, keyState, ch}, messages);
    backend.Inject(messages);
    Run();
  }

  // Runs the editor as the application's main loop does (a window event hands control
  // to the front window's buffer) until the injected messages and a running learned
  // macro are used up, or afterKey, called after every key, returns false.
  // The editor waiting for a key the script does not hold ends the run.
  void Run(const std::function<bool()>& afterKey = nullptr) {
    Startup::RunToEnd([&] {
      while (Busy()) {
        std::uint8_t kind = 0;
        std::uint8_t modifiers = 0;
        char ch = 0;
        Editor::ReadEditKey(kind, ch, modifiers);
        if (!Editor::HandleEditKey(kind, ch, modifiers)) Editor::EnterFrontWindow();
        if (afterKey && !afterKey()) return;
      }
    });
  }

  // Whether a key is still to come: injected messages, queued events, a pushed-back key
  // or a learned macro that executes.
  bool Busy() const {
    return backend.Pending() > 0 || Events::QueuedCount() > 0 ||
           E().macro.state == Editor::MacroState::Executing || KeyEvents::KeyPressed();
  }

  // ---- The mouse, in cells of the editor's terminal (row and column from 1) ----

  // keyState in event-record form: 512 Shift, 256 Alt (the editor's command), 4096 Control.
  // clicks quick clicks in a row: 2 a double click, 3 a triple click.
  void Click(int row, int column, std::uint32_t keyState = 0, int clicks = 1) {
    for (int i = 0; i < clicks; ++i) {
      backend.Inject(Mouse(Toolbox::PlatformMessage::Kind::ButtonDown, row, column, keyState));
      backend.Inject(Mouse(Toolbox::PlatformMessage::Kind::ButtonUp, row, column, keyState));
    }
    Run();
  }
  // Presses the button at one cell, moves to another with it held, and releases it.
  void Drag(int row, int column, int toRow, int toColumn, std::uint32_t keyState = 0) {
    backend.Inject(Mouse(Toolbox::PlatformMessage::Kind::ButtonDown, row, column, keyState));
    backend.Inject(Mouse(Toolbox::PlatformMessage::Kind::MouseMove, toRow, toColumn, keyState));
    backend.InjectTimer();
    backend.InjectTimer();
    backend.Inject(Mouse(Toolbox::PlatformMessage::Kind::ButtonUp, toRow, toColumn, keyState));
    Run();
  }

  // ---- What the editor holds and shows ----

  static Editor::EditorState& E() { return Editor::State(); }
  static Texts Lines() { return LinesOf(E().current); }
  static Texts LinesOf(Buffer::Ref b) {
    Texts texts;
    for (std::int32_t n = 1; n <= Lines::Count(b); ++n) texts.emplace_back(Lines::View(b, n));
    return texts;
  }
  static Editor::Position Cursor() { return E().cursor; }
  // The text of the message line as the editor holds it (the screen may cut it).
  static std::string Message() {
    char text[Editor::kTextHigh + 1];
    Editor::MessageLineText(text);
    return text;
  }
  // Text row n (from 1) of the editor's screen, without trailing blanks.
  std::string ScreenRow(int row) const { return backend.Row(E().window, row - 1); }
  // The text rows of the editor's screen.
  Texts Screen() const {
    Texts rows;
    for (int row = 1; row <= E().rows; ++row) rows.push_back(ScreenRow(row));
    return rows;
  }
  // Whether the cell at text row and column (from 1) is shown in inverse video.
  bool Inverse(int row, int column) const {
    return backend.Inverse(E().window, row - 1, column - 1);
  }
  // The message line as the screen shows it, and whether its cell at a column (from 1)
  // is in inverse video.
  std::string MessageRow() const {
    return E().terminal == nullptr ? std::string() : backend.Row(E().window, MessageGridRow());
  }
  bool MessageInverse(int column) const {
    return backend.Inverse(E().window, MessageGridRow(), column - 1);
  }
  // The terminal cursor (row, column from 1).
  static Editor::Position TerminalCursor() {
    std::int32_t row = 0;
    std::int32_t column = 0;
    ANSITerm::GetRowCol(E().terminal, row, column);
    return Editor::Position{row, column};
  }

  // A mouse message at a cell of the editor's terminal (row and column from 1).
  Toolbox::PlatformMessage Mouse(Toolbox::PlatformMessage::Kind kind, int row, int column,
                                 std::uint32_t keyState) const {
    const ANSITerm::TextWindow* t = E().terminal;
    const Toolbox::Rect r = Toolbox::GetWindowRect(E().window);
    Toolbox::PlatformMessage m;
    m.kind = kind;
    m.window = E().window;
    m.where = Toolbox::Point{r.left + t->textLeft + (column - 1) * t->charWidth,
                             r.top + t->textTop + (row - 1) * t->lineHeight + t->lineHeight / 2};
    m.button = kind == Toolbox::PlatformMessage::Kind::MouseMove ? 0 : 1;
    m.keyState = keyState;
    return m;
  }

  Headless::HeadlessBackend backend;

private:
  // The grid row of the message line: the band beside the scroll bar or the last row.
  static int MessageGridRow() {
    const ANSITerm::TextWindow* t = E().terminal;
    const bool band = t->hasScrollBars && t->window->kind < 15;
    return band ? (t->content.bottom - ANSITerm::kMessageBandHeight) / Headless::kLineHeight
                : t->rows - 1;
  }

  static inline std::function<void()> waiting;

  // A short idle limit: a script that ends while the editor waits ends the run at once.
  static Headless::Config Settings() {
    Headless::Config c;
    c.idleLimit = 2;
    return c;
  }
};
