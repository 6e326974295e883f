// The debugger in the workstation's windows on the headless backend: breakpoints that
// follow their text, F9 and its mark in the margin, the Debug window after a trap, and
// the workstation while a run waits at a stop.
#include "shell/DebugWindow.h"

#include <algorithm>

#include "../editor/EditorFixture.h"
#include "app/Runner.h"
#include "debug/Session.h"
#include "editwin/Menus.h"
#include "shell/Breakpoints.h"
#include "shell/Commands.h"
#include "shell/Compile.h"
#include "shell/ShellMenus.h"

namespace {

void StartShell() {
  Shell::StartCommands();
  Runner::Install(true);
  ShellMenus::SetUp();
}

std::vector<std::int32_t> MarkedLines(Buffer::Ref text) {
  std::vector<std::int32_t> lines;
  for (const Breakpoints::Mark& m : Breakpoints::Of(text)) lines.push_back(m.line);
  return lines;
}

class DebugWindowTest : public EditorFixture {
protected:
  Startup::Proc StartProc() const override { return StartShell; }

  void TearDown() override {
    static_cast<void>(Breakpoints::ClearAll());
    EditorFixture::TearDown();
  }

  void SetCommandText(const Texts& lines) {
    Buffer::Ref command = Shell::CommandText();
    Lines::Delete(command, 1, Lines::Count(command));
    for (const std::string& line : lines) ASSERT_TRUE(Lines::Append(command, line));
    EditWindows::ShowBuffer(command, EditWindows::kRefresh | EditWindows::kActivate);
  }

  // A module whose procedure writes past its array, run from the command text: the trap
  // is in Put at line 5, called from the body at line 8.
  Buffer::Ref RunIntoATrap() {
    Buffer::Ref bad =
        MakeText({"MODULE Bad;", "VAR a: ARRAY [0..3] OF INTEGER;", "PROCEDURE Put(i: INTEGER);",
                  "BEGIN", "  a[i] := 1", "END Put;", "BEGIN", "  Put(4)", "END Bad."},
                 "/User/Bad.mod");
    SetCommandText({"MODULE Command; IMPORT c; BEGIN c.comp(\"/User/Bad.mod\"); c.execute(\"Bad\") "
                    "END Command."});
    Type("F12");
    return bad;
  }

  // The margin's last drawing beside text row `row` of the edit window: the colour of a
  // bar painted there (its red part, 0 to 255), 0 when it was erased last, -1 when
  // nothing was drawn there.
  int MarginAt(int row) const {
    const ANSITerm::TextWindow* t = E().terminal;
    const std::int32_t top = t->textTop + (row - 1) * t->lineHeight;
    int seen = -1;
    for (const Headless::Drawn& d : backend.DisplayList()) {
      const Toolbox::DrawCommand& c = d.command;
      if (d.port.window != t->window || c.op != Toolbox::DrawCommand::Op::Rect ||
          c.rect.left != t->content.left || c.rect.right > t->textLeft - 1 ||
          c.rect.top > top + 1 || c.rect.bottom < top + t->lineHeight - 1)
        continue;
      if (c.verb == Toolbox::DrawCommand::Verb::Erase) seen = 0;
      if (c.verb == Toolbox::DrawCommand::Verb::Paint) seen = c.state.foreColor.red >> 8;
    }
    return seen;
  }
};

// Lines inserted or deleted above a breakpoint move it; deleting its line deletes it;
// a changed line keeps it. Renaming the text takes the marks along, deleting it drops
// them, and the run gets each with its text's path, condition and hit count.
TEST_F(DebugWindowTest, BreakpointsFollowTheirText) {
  Buffer::Ref b = MakeText(Numbered(10), "/User/Sort.mod");
  for (const std::int32_t line : {3, 5, 8}) EXPECT_TRUE(Breakpoints::Toggle(b, line));
  ASSERT_TRUE(Lines::Insert(b, 1, 2));
  EXPECT_EQ(MarkedLines(b), (std::vector<std::int32_t>{5, 7, 10}));
  Lines::Delete(b, 7, 1);
  ASSERT_TRUE(Lines::Set(b, 5, "changed"));
  Lines::Delete(b, 1, 2);
  EXPECT_EQ(MarkedLines(b), (std::vector<std::int32_t>{3, 7}));
  EXPECT_FALSE(Breakpoints::Toggle(b, 3));
  EXPECT_TRUE(Breakpoints::SetCondition(b, 7, "i > 2", 3));
  EXPECT_FALSE(Breakpoints::SetCondition(b, 4, "i > 2", 3));

  const Buffer::Ref moved = Shell::Rename(b, "/User/Sorted.mod");
  ASSERT_NE(moved, nullptr);
  const std::vector<Session::Breakpoint> points = Breakpoints::ForRun();
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].file, "/User/Sorted.mod");
  EXPECT_EQ(points[0].line, 7);
  EXPECT_EQ(points[0].condition, "i > 2");
  EXPECT_EQ(points[0].hitCount, 3);
  ASSERT_TRUE(Shell::Delete(moved));
  EXPECT_EQ(Breakpoints::Count(), 0u);
}

// F9 sets a breakpoint on the cursor's line, drawn as a red bar in the margin that moves
// with the line; F9 again clears it. The List takes none. The Debug menu's Condition...
// and Clear All Breakpoints are on while there are breakpoints.
TEST_F(DebugWindowTest, F9MarksTheLineInTheMargin) {
  Buffer::Ref b = Edit(Numbered(6), "/User/Sort.mod");
  const std::int32_t debug = ShellMenus::Menu(ShellMenus::kDebug);
  EXPECT_FALSE(Menus::IsEnabled(debug, 2)); // Condition... and Clear All need a breakpoint
  EXPECT_FALSE(Menus::IsEnabled(debug, 3));
  Type("DOWN F9");
  EXPECT_EQ(MarkedLines(b), std::vector<std::int32_t>{2});
  EXPECT_EQ(Message(), "Breakpoint set on line 2.");
  EXPECT_TRUE(Menus::IsEnabled(debug, 2));
  EXPECT_TRUE(Menus::IsEnabled(debug, 3));
  EXPECT_EQ(MarginAt(2), 0xFF);
  EXPECT_EQ(MarginAt(1), 0);
  Type("UP RETURN");
  EXPECT_EQ(MarkedLines(b), std::vector<std::int32_t>{3});
  EXPECT_EQ(MarginAt(3), 0xFF);
  EXPECT_EQ(MarginAt(2), 0);
  Type("DOWN F9");
  EXPECT_EQ(Breakpoints::Count(), 0u);
  EXPECT_EQ(MarginAt(3), 0);
  EXPECT_FALSE(Menus::IsEnabled(debug, 3));

  EditWindows::ShowBuffer(Shell::ListText(), EditWindows::kActivate);
  Type("F9");
  EXPECT_EQ(Message(), "Breakpoints go on the lines of a program's text.");
  EXPECT_EQ(Breakpoints::Count(), 0u);
}

// Condition... gives the breakpoint on the cursor's line its condition and hit count,
// which the session gets; a hit count that is no whole number from 0 changes nothing.
// Watch... adds an expression to the Debug window's watches; named again, it goes.
TEST_F(DebugWindowTest, ConditionsAndWatchesReachTheSession) {
  Buffer::Ref b = Edit(Numbered(4), "/User/Sort.mod");
  DebugWindow::Condition();
  EXPECT_EQ(Message(), "No breakpoint on line 1: F9 sets one.");
  Type("DOWN F9");
  backend.AnswerStrings(true, {"i > 2", "3"});
  DebugWindow::Condition();
  ASSERT_EQ(Session::Breakpoints().size(), 1u);
  EXPECT_EQ(Session::Breakpoints()[0].condition, "i > 2");
  EXPECT_EQ(Session::Breakpoints()[0].hitCount, 3);
  backend.AnswerStrings(true, {"", "-1"});
  DebugWindow::Condition();
  EXPECT_EQ(Message(), "The hit count is a whole number from 0, not \"-1\".");
  EXPECT_EQ(Breakpoints::Find(b, 2)->condition, "i > 2");

  DebugWindow::Show();
  for (const char* watch : {"count", "ORD(ch)"}) {
    backend.AnswerStrings(true, {watch});
    DebugWindow::AddWatch();
  }
  backend.AnswerStrings(true, {"count"});
  DebugWindow::AddWatch();
  EXPECT_EQ(Session::Watches(), std::vector<std::string>{"ORD(ch)"});
  const Texts rows = LinesOf(DebugWindow::Text());
  EXPECT_EQ(Texts(rows.end() - 2, rows.end()), Texts({"Watches:", "  ORD(ch)"}));
}

// After a trap the Debug window lists the calls, innermost first; F9 on a call shows
// its line in its text, marked as the line the run stood on. The window is read-only,
// and the next run forgets the trap.
TEST_F(DebugWindowTest, TheDebugWindowShowsTheCallsOfATrap) {
  Buffer::Ref bad = RunIntoATrap();
  DebugWindow::Show();
  ASSERT_EQ(E().current, DebugWindow::Text());
  const Texts rows = Lines();
  ASSERT_GE(rows.size(), 6u);
  EXPECT_EQ(Texts(rows.begin(), rows.begin() + 6),
            Texts({"Run-time error: index out of range", "",
                   "Calls (F9 on one shows its line and variables):", "> Bad.Put, line 5",
                   "  Bad, line 8", "  Command, line 1"}));
  EXPECT_EQ(Breakpoints::Colour(bad, 5), 409);
  Type("'x'");
  EXPECT_EQ(Lines()[0], "Run-time error: index out of range");

  Type("GOLD KP5 DOWN DOWN DOWN DOWN F9");
  EXPECT_EQ(E().current, bad);
  EXPECT_EQ(Cursor().line, 8);
  EXPECT_EQ(Breakpoints::Colour(bad, 8), 409);
  EXPECT_EQ(LinesOf(DebugWindow::Text())[4], "> Bad, line 8");

  SetCommandText({"MODULE Command; IMPORT c; BEGIN c.ldir(\"/User\") END Command."});
  Compile::SetTrapPosition("", 0);
  Type("F12");
  EXPECT_EQ(LinesOf(DebugWindow::Text())[0],
            "No run stopped. F9 sets a breakpoint on a text's line.");
  EXPECT_EQ(Breakpoints::Colour(bad, 8), 0);
}

// While a run waits at a stop the texts take keys, compiling and starting runs are
// refused, and Continue, the steps and Stop are on in the Debug menu; the key chosen
// says how the run goes on.
TEST_F(DebugWindowTest, WhileStoppedTheWorkstationWaitsForTheUsersChoice) {
  Buffer::Ref bad = RunIntoATrap();
  const std::int32_t debug = ShellMenus::Menu(ShellMenus::kDebug);
  EXPECT_FALSE(Menus::IsEnabled(debug, 5));
  Vm::Debug::Stop stop = Vm::Debug::LastTrap();
  ASSERT_FALSE(stop.frames.empty());
  stop.reason = Vm::Debug::Reason::Breakpoint;
  Compile::SetTrapPosition("", 0); // a run that stops has not trapped

  struct Seen {
    std::string compile, run;
    bool continueOn = false, stopOn = false;
  } seen;
  const auto front = [&](const char* keys) {
    Vm::Debug::Resume how = Vm::Debug::Resume::Continue;
    Inject(keys);
    WhenWaiting([&] {
      seen.compile = Message();
      seen.run = Compile::RunModule("Bad") ? "ran" : Message();
      seen.continueOn = Menus::IsEnabled(debug, 5);
      seen.stopOn = Menus::IsEnabled(debug, 9);
      Inject("S-F6");
    });
    EXPECT_TRUE(Startup::RunToEnd([&] { how = DebugWindow::Front(stop); }));
    return how;
  };
  EXPECT_EQ(front("'y' F12"), Vm::Debug::Resume::Stop);
  EXPECT_EQ(E().current, bad);
  EXPECT_EQ(LinesOf(bad)[4], "y  a[i] := 1");
  EXPECT_EQ(seen.compile, "A run is stopped: Continue (F6) or Stop (Shift+F6) it first.");
  EXPECT_EQ(seen.run, seen.compile);
  EXPECT_TRUE(seen.continueOn);
  EXPECT_TRUE(seen.stopOn);
  EXPECT_FALSE(DebugWindow::Stopped());
  EXPECT_FALSE(Menus::IsEnabled(debug, 5));
  EXPECT_TRUE(EditWindows::HasOwnWindow(DebugWindow::Text()));

  for (const auto& [keys, how] : {std::pair{"F6", Vm::Debug::Resume::Continue},
                                  {"F10", Vm::Debug::Resume::StepOver},
                                  {"F11", Vm::Debug::Resume::StepInto},
                                  {"S-F11", Vm::Debug::Resume::StepOut}}) {
    Inject(keys);
    Vm::Debug::Resume chosen = Vm::Debug::Resume::Stop;
    EXPECT_TRUE(Startup::RunToEnd([&] { chosen = DebugWindow::Front(stop); }));
    EXPECT_EQ(chosen, how) << keys;
  }
  Type("F6");
  EXPECT_EQ(Message(), "No run is stopped.");
}

} // namespace
