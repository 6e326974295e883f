// The Notebook on the headless backend, opened as the workstation opens it: its
// placement, the log's maximum, saving, merging, the menu with its check marks, and the
// window's keys run as the application's main loop runs them.
#include "tools/Notebook.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../editor/EditorFixture.h"
#include "editwin/Menus.h"
#include "platform/Startup.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"

namespace {

namespace fs = std::filesystem;
using Toolbox::Rect;

class NotebookTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    char pattern[] = "/tmp/velmarin-notebook-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_TRUE(Notebook::Open(Notebook::kDefaultFrame, true));
    KeyEvents::SetMenuCommandProc(Menus::MenuCommand);
  }
  void TearDown() override {
    fs::remove_all(dir);
    EditorFixture::TearDown();
  }

  static Texts Log() { return LinesOf(Notebook::LogBuffer()); }
  static void Write(int from, int to) {
    for (int i = from; i <= to; ++i) TextIO::WriteLine("line " + std::to_string(i));
  }
  std::string File(const std::string& name) const { return (dir / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Chooses an item of the Notebook's menu (or of another menu) as the platform would.
  void Choose(std::int32_t item, std::int32_t menu = Notebook::MenuNumber()) {
    backend.InjectMenuCommand(
        Toolbox::MenuCommand(static_cast<std::uint32_t>(menu), static_cast<std::uint32_t>(item)));
    RunLikeTheApplication();
  }
  static std::string ItemText(std::int32_t item, std::int32_t menu = Notebook::MenuNumber()) {
    char text[80];
    Menus::GetItemText(menu, item, text);
    return text;
  }
  static bool InBar(const char* title) {
    for (const Toolbox::Menu* m : Toolbox::MenuBar())
      if (m->title == title) return true;
    return false;
  }
  // The application's loop, until the injected messages are used up: the Notebook's
  // keys while it is in front, else the editor's; a key that hands control away enters
  // the buffer in front.
  void RunLikeTheApplication() {
    Startup::RunToEnd([&] {
      while (Busy()) {
        Notebook::Run();
        std::uint8_t kind = 0, modifiers = 0;
        char ch = 0;
        Editor::ReadEditKey(kind, ch, modifiers);
        if (!Editor::HandleEditKey(kind, ch, modifiers)) Editor::EnterFrontWindow();
      }
    });
  }

  fs::path dir;
};

TEST_F(NotebookTest, OpensOnceNamedAfterTheDateAndPlacedInTheFrame) {
  char name[40];
  Notebook::Name(name);
  // The date as the dates module writes it; the file name has no directory in it.
  EXPECT_EQ(std::string(name), "Notebook_2024/01/15 09:30:00");
  char title[40];
  Toolbox::GetWTitle(Notebook::NotebookWindow(), title);
  EXPECT_EQ(std::string(title), name);
  const Toolbox::Window first = Notebook::NotebookWindow();
  EXPECT_TRUE(Notebook::Open(Notebook::Frame{0, 0, 100, 100}, true));
  EXPECT_EQ(Notebook::NotebookWindow(), first);

  const Rect client{0, 0, 800, 600};
  // Scaled by 1.5; the inset of 4, 6 and 44 points is 6, 9 and 66 pixels.
  EXPECT_EQ(Notebook::Placement({10, 20, 100, 50}, 1.5, client), (Rect{15, 30, 165, 105}));
  EXPECT_EQ(Notebook::Placement({0, 0, 100, 50}, 1.5, client), (Rect{6, 9, 156, 84}));
  EXPECT_EQ(Notebook::Placement({500, 380, 100, 50}, 1.5, client), (Rect{650, 459, 800, 534}));
  EXPECT_EQ(Notebook::Placement({0, 0, 1000, 1000}, 1.0, client), (Rect{4, 6, 800, 556}));
  // A client area too small to fit into leaves the scaled frame as it is.
  EXPECT_EQ(Notebook::Placement({10, 20, 100, 50}, 1.5, Rect{0, 0, 99, 600}),
            (Rect{15, 30, 165, 105}));
}

TEST_F(NotebookTest, SetLengthIsClampedAndKeepsTheLogWithinIt) {
  Notebook::InsertMenu();
  EXPECT_EQ(ItemText(8), "Set Length... (1000)");
  const struct {
    const char* answer;
    std::int32_t length;
  } cases[] = {{"50", 100}, {"20000", 10000}, {"10000", 10000}, {"250", 250}};
  for (const auto& c : cases) {
    backend.AnswerStrings(true, {c.answer});
    Notebook::SetLength();
    EXPECT_EQ(Notebook::MaxLines(), c.length) << c.answer;
  }
  EXPECT_EQ(backend.Unanswered(), std::vector<std::string>{});
  EXPECT_EQ(ItemText(8), "Set Length... (250)");

  // The log drops its first lines beyond the maximum.
  Notebook::SetMaxLines(100);
  Notebook::SetBufferedOutput(true);
  Write(1, 150);
  const Texts log = Log();
  ASSERT_EQ(log.size(), 100u);
  EXPECT_EQ(log.front(), "line 51");
  EXPECT_EQ(log.back(), "line 150");
}

TEST_F(NotebookTest, SaveWritesTheLineEndsAndClearsOnlyWhenItSucceeded) {
  Notebook::SetBufferedOutput(true);
  Write(1, 2);
  Notebook::SetClearWhenSaved(true);
  Notebook::SetEndOfLine(1);

  // A directory that is not there: the Notebook keeps its lines.
  Notebook::SetFileName(File("missing/log.txt"));
  EXPECT_FALSE(Notebook::Save());
  EXPECT_EQ(Log(), (Texts{"line 1", "line 2"}));
  char reason[80];
  FileSystem::ErrorText(FileSystem::kDirectoryNotFound, reason);
  EXPECT_EQ(backend.AlertLog(),
            (std::vector<std::string>{"Saving Failed: " + std::string(reason)}));

  Notebook::SetFileName(File("log.txt"));
  EXPECT_TRUE(Notebook::Save());
  EXPECT_EQ(Read(File("log.txt")), "line 1\r\nline 2\r\n");
  EXPECT_EQ(Log(), Texts{});

  // Without a file name Save writes the name plus ".txt" in the current directory, with
  // "-" for the date's and time's separators.
  ASSERT_TRUE(FileSystem::ChangeDirectory(dir.string()));
  Notebook::SetFileName("");
  Write(3, 3);
  EXPECT_TRUE(Notebook::Save());
  EXPECT_EQ(Read(File("Notebook_2024-01-15 09-30-00.txt")), "line 3\r\n");
}

TEST_F(NotebookTest, MergeAppendsTheFileWithOrWithoutItsHeader) {
  std::ofstream(File("three.txt")) << "one\ntwo\nthree\n";
  TextIO::WriteLine("before");
  ASSERT_TRUE(Notebook::Merge(File("three.txt"), true));
  EXPECT_EQ(Log(), (Texts{Notebook::kMergeSeparator, "Merged file: " + File("three.txt"), "one",
                          "two", "three"}));
  ASSERT_TRUE(Notebook::Merge(File("three.txt"), false));
  EXPECT_EQ(Log().size(), 8u);
  EXPECT_FALSE(Notebook::Merge(File("none.txt"), true));
  EXPECT_EQ(Log().size(), 8u);
  EXPECT_EQ(Buffer::Find(Notebook::kMergePath), nullptr);

  // The menu's Merge asks for the file and says when it could not be read.
  Notebook::InsertMenu();
  backend.AnswerFileName(true, File("none.txt"));
  Choose(3);
  EXPECT_EQ(backend.LastFilePrompt(), "Merge to Notebook:");
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{"Merge failed"});
}

TEST_F(NotebookTest, MenuEntriesAndTheirCheckMarks) {
  Notebook::SetMenuExtras(true, true);
  Notebook::SetLineNumbers(true);
  Notebook::InsertMenu();
  Texts items;
  for (std::int32_t i = 1; i <= Menus::CountItems(Notebook::MenuNumber()); ++i)
    items.push_back(ItemText(i));
  EXPECT_EQ(items,
            (Texts{"Save", "Save As...", "Merge...", "Print...", "-", "Clear when Saved", "Clear",
                   "Set Length... (1000)", "Line Numbers", "Buffered Output", "-", "Font Size...",
                   "File Format", "-", "Zoom In", "Zoom Out", "Open Notebook"}));
  EXPECT_TRUE(Menus::GetCheck(Notebook::MenuNumber(), 9));
  EXPECT_FALSE(Menus::GetCheck(Notebook::MenuNumber(), 6));

  // Buffered Output switches the logging; switching it off ends the line being written.
  Choose(10);
  EXPECT_TRUE(TextIO::Logging());
  EXPECT_TRUE(Menus::GetCheck(Notebook::MenuNumber(), 10));
  TextIO::WriteString("half a line");
  Choose(10);
  EXPECT_FALSE(TextIO::Logging());
  EXPECT_FALSE(Menus::GetCheck(Notebook::MenuNumber(), 10));
  EXPECT_EQ(Log(), Texts{"half a line"});

  // The submenu "EndOfLine" checks the chosen line end.
  const Toolbox::Menu* file = Toolbox::GetMenu(Notebook::MenuNumber());
  ASSERT_NE(file, nullptr);
  const std::int32_t endOfLine = file->items[12].submenu;
  EXPECT_EQ(Toolbox::GetMenu(endOfLine)->title, "EndOfLine");
  Choose(1, endOfLine);
  EXPECT_EQ(Notebook::EndOfLine(), 0);
  EXPECT_EQ(ItemText(1, endOfLine), "end of line = CR (MacOS_9)");
  EXPECT_TRUE(Menus::GetCheck(endOfLine, 1));
  EXPECT_FALSE(Menus::GetCheck(endOfLine, 3));

  // Clear, and the Font Size answer clamped to 60..120 percent of 10 points.
  Choose(7);
  EXPECT_EQ(Log(), Texts{});
  backend.AnswerStrings(true, {"200"});
  Choose(12);
  EXPECT_EQ(Notebook::NotebookWindow()->port.fontSize, 12);
  Choose(16); // Zoom Out
  EXPECT_EQ(Notebook::NotebookWindow()->port.fontSize, 11);
}

TEST_F(NotebookTest, TheWindowShowsTheLogsEndAndTakesItsKeysWhileInFront) {
  Notebook::SetLineNumbers(true);
  Notebook::SetBufferedOutput(true);
  Write(1, 40);
  Notebook::Show();
  Inject("F5 UP");
  RunLikeTheApplication();
  // The Notebook's menu is in the bar while its window is the active one; F5 did not
  // bring the Command window, the cursor key scrolled the view up by a line.
  EXPECT_TRUE(InBar("Notebook"));
  const Toolbox::Window w = Notebook::NotebookWindow();
  const ANSITerm::TextWindow* t = ANSITerm::TerminalOf(w);
  ASSERT_GT(t->rows, 2);
  EXPECT_EQ(backend.Row(w, t->rows - 1), "   39 line 39");
  EXPECT_EQ(backend.Row(w, 0),
            "   " + std::to_string(40 - t->rows) + " line " + std::to_string(40 - t->rows));

  // Its close box hides it, takes the menu away and hands control to the editor.
  Inject("CLOSEBOX 'x'");
  RunLikeTheApplication();
  EXPECT_FALSE(Toolbox::IsVisible(w));
  EXPECT_FALSE(InBar("Notebook"));
  const Texts text = Lines();
  EXPECT_NE(std::find(text.begin(), text.end(), "x"), text.end()) << "typed into the text";
}

} // namespace
