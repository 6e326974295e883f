#include "editwin/ShellStart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../store/StoreTesting.h"
#include "editwin/EditWindows.h"
#include "editwin/EditorState.h"
#include "platform/Events.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "windows/ANSITerm.h"

using StoreTesting::LinesOf;
using Texts = std::vector<std::string>;

namespace {

std::string Title(Toolbox::Window w) {
  char title[300];
  Toolbox::GetWTitle(w, title);
  return title;
}

// An empty temporary host directory, current while a test runs.
class HostDirectoryTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmarin-shell-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(dir)));
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void WriteHostFile(const std::string& name, const std::string& contents) const {
    std::ofstream(dir + "/" + name, std::ios::binary) << contents;
  }
  Texts Template() const {
    return {"MODULE Command; (* Version 0.1 *)",
            "                (* Path: " + dir + "/ *)",
            "",
            "IMPORT c;",
            "",
            "BEGIN",
            "",
            "",
            "",
            "END Command."};
  }

  Headless::HeadlessBackend backend;
  std::string dir;
};

// The shell started on the headless backend.
class ShellStartTest : public HostDirectoryTest {
protected:
  void SetUp() override {
    HostDirectoryTest::SetUp();
    ASSERT_TRUE(Headless::StartPlatform(backend));
  }
  void TearDown() override {
    Headless::StopPlatform();
    HostDirectoryTest::TearDown();
  }
  void Start() {
    ASSERT_EQ(Shell::CreateShell(), Startup::ShellStart::Ok);
    ASSERT_TRUE(Shell::OpenShellWindows());
    Shell::EnterCommandWindow();
  }
};

// The store's start tree (tested with the store) and the heaps of the graphics and the
// terminals.
TEST_F(ShellStartTest, CreateShellMakesTheTreeAndTheHeaps) {
  ASSERT_EQ(Shell::CreateShell(), Startup::ShellStart::Ok);
  for (const char* heap : {"/Shell/Graphics.Heap", "/Shell/ANSITerm.Heap"}) {
    const Buffer::Ref b = Buffer::Find(base::CharsOf(heap));
    ASSERT_NE(b, nullptr) << heap;
    EXPECT_EQ(b->kind, Buffer::BufferKind::Heap) << heap;
  }
  EXPECT_EQ(Shell::CommandText(), Buffer::Find("/Shell/Command"));
  EXPECT_EQ(Shell::ListText(), Buffer::Find("/Shell/List"));
  EXPECT_EQ(Shell::CurrentLibrary(), Buffer::Find("/SystemLibrary"));
  EXPECT_EQ(Shell::SystemLibrary(), Shell::CurrentLibrary());
  EXPECT_EQ(Shell::SymbolDirectory(), Buffer::Find("/Symbol"));
  EXPECT_EQ(Shell::ObjectDirectory(), Buffer::Find("/Object"));
}

TEST_F(ShellStartTest, CreateShellFailsCleanlyWhenMemoryRunsOut) {
  std::int64_t n = 0;
  for (;; ++n) {
    Buffer::Testing::Reset();
    Buffer::Testing::FailSystemBlockAfter(n);
    const Startup::ShellStart result = Shell::CreateShell();
    Buffer::Testing::FailSystemBlockAfter(-1);
    ASSERT_EQ(Buffer::Testing::CheckStore(), "") << n;
    if (result == Startup::ShellStart::Ok) break;
    ASSERT_LT(n, 200);
  }
  EXPECT_GT(n, 2);
  EXPECT_NE(Buffer::Find("/Shell/ANSITerm.Heap"), nullptr);
}

TEST_F(ShellStartTest, WithoutAHostFileTheCommandTextIsTheTemplate) {
  Start();
  EXPECT_EQ(LinesOf(Shell::CommandText()), Template());
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({""}));

  // The Command window shows it, the cursor inside the module body.
  const Toolbox::Window w = Shell::CommandWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Title(w), "Command");
  EXPECT_EQ(Toolbox::FrontWindow(), w);
  const Texts expected = Template();
  for (int row = 0; row < 10; ++row) EXPECT_EQ(backend.Row(w, row), expected[row]) << row;
  EXPECT_EQ(backend.Row(w, 10), "");
  const Editor::EditorState& e = Editor::State();
  EXPECT_EQ(e.current, Shell::CommandText());
  EXPECT_EQ(e.cursor, (Editor::Position{8, 1}));
  std::int32_t row = 0;
  std::int32_t column = 0;
  ANSITerm::GetRowCol(Shell::CommandTerminal(), row, column);
  EXPECT_EQ(row, 8);
  EXPECT_EQ(column, 1);
}

TEST_F(ShellStartTest, AHostFileCommandGetsFreshFirstLines) {
  WriteHostFile("Command", "MODULE Old; (* 0.0 *)\n(* Path: /elsewhere/ *)\nIMPORT c;\nBEGIN\n"
                           "  c.ldir(\"/\");\nEND Command.\n");
  Start();
  const Texts expected = Template();
  EXPECT_EQ(LinesOf(Shell::CommandText()), Texts({expected[0], expected[1], "IMPORT c;", "BEGIN",
                                                  "  c.ldir(\"/\");", "END Command."}));
  EXPECT_EQ(Editor::State().cursor, (Editor::Position{4, 1}));
  EXPECT_EQ(backend.Row(Shell::CommandWindow(), 4), "  c.ldir(\"/\");");
}

TEST_F(ShellStartTest, AOneLineHostFileGetsBothFirstLines) {
  WriteHostFile("Command", "only line\n");
  Start();
  const Texts expected = Template();
  EXPECT_EQ(LinesOf(Shell::CommandText()), Texts({expected[0], expected[1]}));
  EXPECT_EQ(Editor::State().cursor, (Editor::Position{1, 1}));
}

TEST_F(ShellStartTest, WindowsLieInsideTheFrameTheListBelowTheCommandWindow) {
  Start();
  const Toolbox::Rect client = Toolbox::FrameClientRect();
  const Toolbox::Rect command = Toolbox::GetWindowRect(Shell::CommandWindow());
  ASSERT_NE(Shell::ListWindow(), nullptr);
  const Toolbox::Rect list = Toolbox::GetWindowRect(Shell::ListWindow());
  EXPECT_EQ(Title(Shell::ListWindow()), "List");
  for (const Toolbox::Rect& r : {command, list}) {
    EXPECT_GE(r.left, client.left);
    EXPECT_GE(r.top, client.top + 24); // room for the caption
    EXPECT_LE(r.right, client.right);
    EXPECT_LE(r.bottom, client.bottom);
  }
  EXPECT_GE(list.top, command.bottom + 24);
  EXPECT_GT(command.Height(), list.Height());
  EXPECT_GE(Editor::State().rows, 20);
  EXPECT_EQ(EditWindows::OwnWindowCount(), 0);
}

TEST_F(ShellStartTest, WriteListGoesToTheListTextAndWindow) {
  Start();
  const Toolbox::Window w = Shell::ListWindow();
  Shell::WriteList("first");
  Shell::WriteListNumber("count: ", -42);
  Shell::WriteListReal("value:", 1234.567);
  Shell::WriteList(std::string(300, 'z'));
  const Texts lines = LinesOf(Shell::ListText());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(Texts(lines.begin(), lines.begin() + 4),
            Texts({"", "first", "count: -42", "value: 1.2345670E+03"}));
  EXPECT_EQ(lines[4], std::string(256, 'z'));
  EXPECT_EQ(backend.Row(w, 1), "first");
  EXPECT_EQ(backend.Row(w, 2), "count: -42");
  EXPECT_EQ(backend.Row(w, 3), "value: 1.2345670E+03");
  const std::int32_t width = Shell::ListTerminal()->columns;
  EXPECT_EQ(backend.Row(w, 4), std::string(width - 1, 'z') + "|");

  // A full window scrolls: the newest line stays in view, as a redraw would show it.
  for (int i = 0; i < 30; ++i) Shell::WriteListNumber("line ", i);
  const std::vector<std::string> shown = backend.Screen(w);
  EXPECT_NE(std::find(shown.begin(), shown.end(), "line 29"), shown.end());
  const Texts before = shown;
  EditWindows::DrawChanged();
  EXPECT_EQ(backend.Screen(w), before);
  EditWindows::RedrawBuffer(Shell::ListText(), EditWindows::kRefresh);
  EXPECT_EQ(backend.Screen(w), before);
}

TEST_F(ShellStartTest, WriteErrorAlsoShowsOnTheMessageLine) {
  Start();
  Shell::WriteError("sdir - No such directory.");
  EXPECT_EQ(LinesOf(Shell::ListText()).back(), "sdir - No such directory.");
  const Texts screen = backend.Screen(Shell::CommandWindow());
  const auto line = std::find(screen.begin(), screen.end(), "sdir - No such directory.");
  ASSERT_NE(line, screen.end());
  EXPECT_TRUE(backend.Inverse(Shell::CommandWindow(), static_cast<int>(line - screen.begin()), 0));

  // An installed message line takes the text instead.
  static std::string shown;
  Shell::SetMessageProc([](base::Chars text) { shown = base::ToString(text); });
  Shell::WriteErrorNumber("execute - code ", 7);
  EXPECT_EQ(shown, "execute - code 7");
  EXPECT_EQ(LinesOf(Shell::ListText()).back(), "execute - code 7");
}

TEST_F(ShellStartTest, ClearListKeepsOneEmptyLine) {
  Start();
  for (int i = 0; i < 5; ++i) Shell::WriteList("text");
  Shell::ClearList();
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({""}));
  for (const std::string& row : backend.Screen(Shell::ListWindow())) EXPECT_EQ(row, "");
}

TEST_F(ShellStartTest, OutputWithTheListWindowClosedGoesToTheTextOnly) {
  Start();
  EditWindows::CloseBufferWindow(Shell::ListText());
  EXPECT_EQ(Shell::ListWindow(), nullptr);
  Shell::WriteList("kept");
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({"", "kept"}));
  EXPECT_EQ(Editor::State().current, Shell::CommandText());
}

// The hooks run the whole start inside the program's start-up sequence.
TEST_F(HostDirectoryTest, StartupRunsTheShellStartThroughTheHooks) {
  static Headless::HeadlessBackend* screen = nullptr;
  static Texts commandRows;
  screen = &backend;
  Shell::InstallStartupHooks();
  Startup::SetApplicationMain([] {
    for (int row = 0; row < 10; ++row)
      commandRows.push_back(screen->Row(Shell::CommandWindow(), row));
  });
  EXPECT_EQ(Startup::Run(backend, "velmarin"), 0);
  EXPECT_EQ(commandRows, Template());
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({""}));
}

} // namespace
