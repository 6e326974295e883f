// The command module c, the shell's own texts and libraries, and compiling, loading and
// running through the compiler interface (with a stand-in compiler).
#include "shell/Commands.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "../editor/EditorFixture.h"
#include "ObjectWriter.h"
#include "editwin/EditWindows.h"
#include "editwin/Menus.h"
#include "modules/Modules.h"
#include "shell/Compile.h"
#include "shell/ShellMenus.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "tools/Notebook.h"
#include "vm/Heap.h"

namespace {

using ObjectWriter::Import;
using ObjectWriter::ObjectModule;

class CommandsTest : public EditorFixture {
protected:
  Startup::Proc StartProc() const override { return Shell::StartCommands; }
  void SetUp() override {
    EditorFixture::SetUp();
    Shell::ClearList();
  }
  // The List text's lines after the first (the empty one ClearList leaves).
  static Texts Listed() {
    Texts lines = LinesOf(Shell::ListText());
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
  static std::string LastListed() {
    const Texts lines = Listed();
    return lines.empty() ? "" : lines.back();
  }
  static Modules::Ref InstallObject(const ObjectModule& m, Buffer::Ref library) {
    Buffer::Ref object = ObjectWriter::ObjectBuffer(ObjectWriter::Write(m).bytes, "/User/obj");
    return object == nullptr ? nullptr : Modules::Install(library, object);
  }
};

TEST_F(CommandsTest, FailuresWriteOneErrorLineAndChangeNothing) {
  MakeText({"abc"}, "/User/Text");
  const struct {
    std::function<void()> call;
    const char* line;
  } cases[] = {
      {[] { c::ldir("/Nope"); }, "ldir - No such directory."},
      {[] { c::ldir("/Shell/Command"); }, "ldir - Buffer is not a directory."},
      {[] { c::sdir("/Nope"); }, "sdir - No such directory."},
      {[] { c::ssymbol("/User/Text"); }, "ssymbol - Buffer is not a directory."},
      {[] { c::del("/Nope"); }, "del - Buffer does not exist."},
      {[] { c::rename("/Nope", "/User/x"); }, "rename - OldName buffer does not exist."},
      {[] { c::store("/Nope"); }, "store - Input buffer not found."},
      {[] { c::store("/User"); }, "store - Cannot store this type of buffer."},
      {[] { c::tload("/User/Text"); }, "tload - Buffer already exists."},
      {[] { c::slib("/User/Text"); }, "slib - Specified buffer is not a library buffer."},
      {[] { c::libload("/User/Text"); }, "libload - Object module not found."},
      {[] { c::libuload("Nope"); }, "libuload - Module not found in library."},
      {[] { c::libinfo("Nope"); }, "libinfo - Module not found: Nope"},
      {[] { c::execute("Nope"); }, "execute - Could not find module: Nope"},
      {[] { c::comp("/Nope"); }, "comp - Source module does not exist: /Nope"},
      {[] { c::comp("/User/Text"); }, "comp - Compiler not available !"},
      {[] { c::cd("/no/such/dir"); }, "directory not found: /no/such/dir"},
      {[] { c::rename("/User/Text", "/Nope/x"); }, "rename - Buffer could not be renamed."},
      // The buffers the shell holds stay where they are, and so do the current
      // directory and a directory with entries.
      {[] { c::rename("/Symbol", "/Sym2"); }, "rename - Buffer is in use."},
      {[] { c::rename("/SystemLibrary", "/Lib2"); }, "rename - Buffer is in use."},
      {[] { c::del("/Symbol"); }, "del - Buffer is in use."},
      {[] { c::del("/Object"); }, "del - Buffer is in use."},
      {[] { c::del("/SystemLibrary"); }, "del - Buffer is in use."},
      {[] { c::del("/User/Lib"); }, "del - Buffer is in use."},
      {[] { c::del("/User/Here"); }, "del - Buffer is in use."},
      {[] { c::del("/User"); }, "del - Buffer could not be deleted."},
  };
  c::slib("/User/Lib");
  c::cdir("/User/Here");
  c::sdir("/User/Here");
  for (const auto& c : cases) {
    Shell::ClearList();
    c.call();
    EXPECT_EQ(Listed(), Texts{c.line});
    EXPECT_EQ(Message(), c.line);
  }
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Text")), Texts({"abc"}));
  for (const char* kept : {"/Symbol", "/Object", "/SystemLibrary", "/User/Lib", "/User/Here"})
    EXPECT_NE(Buffer::Find(base::CharsOf(kept)), nullptr) << kept;
}

// Message lines are cut at 80 characters, lines with a number at 160.
TEST_F(CommandsTest, MessageLinesAreCut) {
  const std::string path = "/User/" + std::string(150, 'p');
  const struct {
    std::function<void()> call;
    std::string line;
  } cases[] = {
      {[&] { c::comp(base::CharsOf(path)); }, "comp - Source module does not exist: " + path},
      {[&] { c::cd(base::CharsOf(path)); }, "directory not found: " + path},
      {[&] { c::libinfo(base::CharsOf(std::string(100, 'm'))); },
       "libinfo - Module not found: " + std::string(100, 'm')},
  };
  for (const auto& c : cases) {
    Shell::ClearList();
    c.call();
    EXPECT_EQ(Listed(), Texts{c.line.substr(0, 80)});
    EXPECT_EQ(Message(), c.line.substr(0, 80));
  }
  Shell::ClearList();
  Shell::WriteErrorNumber(base::CharsOf(std::string(200, 'n')), 7);
  EXPECT_EQ(Listed(), Texts{std::string(160, 'n')});
}

// The command text's path line follows c.cd when the command text is shown; the text
// keeps its modified flag.
TEST_F(CommandsTest, PathLineFollowsTheHostDirectoryWhenTheCommandTextIsShown) {
  char dir[] = "/tmp/velmarin-path-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  Buffer::Ref command = Shell::CommandText();
  const bool modified = Lines::Modified(command);
  c::cd(dir);
  Type("F5");
  EXPECT_EQ(LinesOf(command)[1], "                (* Path: " + std::string(dir) + "/ *)");
  EXPECT_EQ(ScreenRow(2), LinesOf(command)[1]);
  EXPECT_EQ(Lines::Modified(command), modified);
  ASSERT_TRUE(FileSystem::ChangeDirectory(""));
  rmdir(dir);
}

// del and rename of every buffer under /Shell and of every text a window shows: what the
// workstation holds is refused with one line and stays; the rest goes (or moves), the
// windows that showed it let go first, and the workstation goes on working with it
// gone (the sanitizers watch the memory).
TEST_F(CommandsTest, BuffersTheWorkstationHoldsAreInUse) {
  ASSERT_TRUE(Notebook::Open(Notebook::kDefaultFrame, true));
  ASSERT_NE(Heap::Allocate(16), 0u);
  Edit({"one", "two"}, "/User/Shown");
  Type("KPDOT KP2 KP6 UP GOLD KP6"); // the paste buffer
  // The undo texts, there while an undo can be had.
  MakeText({"u"}, "/Shell/Edit.Undo1");
  MakeText({"u"}, "/Shell/Edit.Undo2");
  const Buffer::Ref own = MakeText({"own"}, "/User/Own");
  ASSERT_TRUE(EditWindows::OpenBufferWindow(own, EditWindows::Placement::Automatic));
  Edit({"shown"}, "/User/Shown");

  const std::set<std::string> held = {"/Shell/ANSITerm.Heap", "/Shell/Graphics.Heap",
                                      "/Shell/Notebook", "/Shell/ScratchHeap"};
  const std::set<std::string> free = {"/Shell/Edit.Paste", "/Shell/Edit.Undo1", "/Shell/Edit.Undo2",
                                      "/Shell/Program.Heap"};
  std::set<std::string> found;
  Buffer::ForEach(Buffer::Find("/Shell/"), [&](Buffer::Ref b) {
    char name[300];
    Buffer::FullName(b, name);
    if (b != Shell::CommandText() && b != Shell::ListText()) found.insert(name);
  });
  std::set<std::string> all = held;
  all.insert(free.begin(), free.end());
  ASSERT_EQ(found, all); // a new buffer in /Shell needs its place in this table

  // What the workstation does with its buffers; none of it may touch a deleted one.
  const auto work = [&](const std::string& what) {
    Notebook::Show();
    TextIO::WriteString("logged");
    TextIO::WriteLn();
    Shell::WriteList("listed");
    EXPECT_NE(Heap::Allocate(16), 0u) << what;
    Type("F5 'x' GOLD KP6 GOLD KPMINUS F1 RETURN");
    ASSERT_TRUE(Buffer::Testing::CheckStore().empty()) << what << Buffer::Testing::CheckStore();
  };
  for (const std::string& path : held) {
    c::del(path);
    EXPECT_EQ(LastListed(), "del - Buffer is in use.") << path;
    c::rename(path, path + "2");
    EXPECT_EQ(LastListed(), "rename - Buffer is in use.") << path;
    c::bload(path);
    EXPECT_EQ(LastListed(), "bload - Buffer is in use.") << path;
    EXPECT_NE(Buffer::Find(path), nullptr) << path;
    work(path);
  }
  for (const std::string& path : free) {
    c::rename(path, path + "2");
    EXPECT_EQ(Buffer::Find(path), nullptr) << path;
    c::del(path + "2");
    EXPECT_EQ(Buffer::Find(path + "2"), nullptr) << path;
    work(path);
  }
  // A text in its own window, and the text the Command window shows.
  c::rename("/User/Own", "/User/Own2");
  EXPECT_TRUE(EditWindows::HasOwnWindow(Buffer::Find("/User/Own2")));
  c::del("/User/Own2");
  EXPECT_EQ(EditWindows::OwnWindowCount(), 0);
  work("/User/Own");
  Edit({"shown"}, "/User/Shown");
  c::rename("/User/Shown", "/User/Shown2");
  EXPECT_EQ(E().current, Buffer::Find("/User/Shown2"));
  c::bload("/User/Shown2");
  EXPECT_EQ(LastListed(), "bload - Buffer is in use.");
  c::del("/User/Shown2");
  EXPECT_EQ(Buffer::Find("/User/Shown2"), nullptr);
  EXPECT_EQ(E().current, Shell::CommandText());
  work("/User/Shown");
}

TEST_F(CommandsTest, DirectoryListings) {
  c::cdir("/Empty");
  c::ldir("/Empty");
  EXPECT_EQ(Listed(), Texts({"        directory is empty."}));
  Shell::ClearList();
  Buffer::Ref t = MakeText({"one", "two"}, "/Empty/Text");
  Buffer::SetFilePath(t, "/home/user/");
  c::cdir("/Empty/Sub");
  c::ldir("/Empty");
  ASSERT_EQ(Listed().size(), 2u);
  EXPECT_EQ(Listed()[0], "                      Directory  /Empty/Sub");
  const std::string text = Listed()[1];
  EXPECT_EQ(text.substr(10, 23), "     2 Lines     Text  ");
  EXPECT_EQ(text.substr(33, 11), "/Empty/Text");
  EXPECT_EQ(text.substr(54), "  /home/user/");
  EXPECT_EQ(text.substr(0, 10).find("kb  "), 6u);
  Shell::ClearList();
  c::mem();
  ASSERT_EQ(Listed().size(), 3u);
  EXPECT_EQ(Listed()[1], "kbytes:  allocated    free");
  EXPECT_EQ(Listed()[2].substr(0, 9), "  Buffer ");
  EXPECT_EQ(Listed()[2].size(), 25u);
}

TEST_F(CommandsTest, ShellTextsAreRebuiltClearedAndNeverRenamed) {
  Buffer::Ref command = Shell::CommandText();
  const Texts start = LinesOf(command);
  Lines::Set(command, 7, "c.ldir('/');");
  c::rename("/Shell/Command", "/User/Other");
  EXPECT_EQ(Buffer::Find("/User/Other"), nullptr);
  EXPECT_EQ(Listed(), Texts{});
  c::del("/Shell/Command");
  EXPECT_EQ(LinesOf(command), start);
  Shell::WriteList("a line");
  c::del("/Shell/List");
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({""}));
}

TEST_F(CommandsTest, LoadingAndStoringFiles) {
  char dir[] = "/tmp/velmarin-commands-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  ASSERT_TRUE(FileSystem::ChangeDirectory(dir));
  MakeText({"alpha", "beta"}, "/User/Notes");
  c::store("/User/Notes");
  c::tload("/User/Notes2"); // no such file: the buffer goes again
  EXPECT_EQ(LastListed().rfind("tload - Failure: ", 0), 0u) << LastListed();
  EXPECT_EQ(Buffer::Find("/User/Notes2"), nullptr);
  Buffer::Ref old = Buffer::Find("/User/Notes");
  Buffer::Delete(old);
  c::tload("/User/Notes");
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Notes")), Texts({"alpha", "beta"}));
  c::bload("/User/Notes"); // replaces the text
  EXPECT_EQ(Buffer::KindOf(Buffer::Find("/User/Notes")), Buffer::BufferKind::Block);
  std::remove((std::string(dir) + "/Notes").c_str());
  ASSERT_TRUE(FileSystem::ChangeDirectory(""));
  rmdir(dir);
}

TEST_F(CommandsTest, LibrariesAndTheirListings) {
  c::slib("/User/Lib");
  ASSERT_EQ(Buffer::KindOf(Shell::CurrentLibrary()), Buffer::BufferKind::Library);
  EXPECT_EQ(Shell::CurrentLibrary(), Buffer::Find("/User/Lib"));
  c::mlist();
  EXPECT_EQ(Listed().size(), 4u); // the header alone
  // The system library holds the command module (and the other program modules) as the
  // program's own; c sorts last, after the capitals.
  c::slib("/SystemLibrary");
  Shell::ClearList();
  c::mlist();
  ASSERT_GE(Listed().size(), 5u);
  const std::string external = Listed().back();
  EXPECT_EQ(external.substr(0, 12), "  External  ");
  EXPECT_EQ(external.substr(12 + 16), "         c");

  // A module waiting for 120 others: 101 lines, then the listing gives up.
  c::slib("/User/Lib");
  ObjectModule waiting{.name = "Waiting"};
  for (int i = 0; i < 120; ++i) waiting.imports.push_back(Import{"M" + std::to_string(i), {}});
  ASSERT_NE(InstallObject(waiting, Shell::CurrentLibrary()), nullptr);
  Shell::ClearList();
  c::conflicts();
  const Texts lines = Listed();
  ASSERT_EQ(lines.size(), 2u + 101u + 1u);
  EXPECT_EQ(lines[2], "  Module loaded but not linked:   Waiting");
  EXPECT_EQ(lines[3], "  Imported module not loaded:    M0");
  EXPECT_EQ(lines.back(), "   too many conflicts!");
  Shell::ClearList();
  c::libinfo("M5");
  EXPECT_EQ(Listed(), Texts({"   Importer  Known:   Waiting"}));
  c::libuload("Waiting");
  Shell::ClearList();
  c::conflicts();
  EXPECT_EQ(LastListed(), "   no conflicts.");
}

// ---- The compiler interface with a stand-in compiler ----

ObjectModule compiled;
int bodiesRun = 0;

bool FailAtLine2(Buffer::Ref) {
  Compile::CompilerInterface& c = Compile::Interface();
  c.errorLine = 2;
  c.errorColumn = 3;
  Strings::Assign(c.message, "END expected");
  return false;
}

bool Produce(Buffer::Ref) {
  Buffer::Ref object =
      ObjectWriter::ObjectBuffer(ObjectWriter::Write(compiled).bytes, "/Object/x.obj");
  Compile::Interface().object = object;
  return true;
}

TEST_F(CommandsTest, F12CompilesLoadsAndRunsThroughTheInterface) {
  Edit({"MODULE M;", "BEGIN x", "END M."});
  Type("F12");
  EXPECT_EQ(Message(), "Compiler not available !");
  EXPECT_EQ(Lines(), Texts({"MODULE M;", "BEGIN x", "END M."}));

  Compile::CompilerInterface& face = Compile::Interface();
  face.available = true;
  face.compile = FailAtLine2;
  Type("F12");
  EXPECT_EQ(Message(), "END expected");
  EXPECT_EQ(Cursor(), (Editor::Position{2, 3}));

  face.compile = Produce;
  compiled = ObjectModule{.name = "M"};
  Type("F12");
  EXPECT_EQ(Message(), "Successful compilation and load.");
  EXPECT_NE(Modules::Find(Shell::CurrentLibrary(), "M"), nullptr);

  // The command text runs its module each time F12 compiles it; it imports c.
  Compile::SetCodeRunner([](Modules::Ref, Modules::Address) { ++bodiesRun; });
  compiled = ObjectModule{.name = "Command", .imports = {Import{"c", {}}}};
  Type("F5 F12 F12");
  EXPECT_EQ(bodiesRun, 2);
  compiled = ObjectModule{.name = "Command", .imports = {Import{"Missing", {}}}};
  Type("F12");
  EXPECT_EQ(Message(), "Module 'Command' is not ready to run: it needs Missing.");
  Compile::SetCodeRunner(nullptr);
}

// The Module menu's Execute runs the module just compiled and loaded, and asks before
// it runs a second one while one runs.
TEST_F(CommandsTest, ModuleMenuExecutesTheModuleCompiledLast) {
  Compile::CompilerInterface& face = Compile::Interface();
  face.available = true;
  face.compile = Produce;
  ShellMenus::SetUp();
  const std::int32_t module = ShellMenus::Menu(ShellMenus::kModule);
  auto choose = [module](std::int32_t item) {
    Menus::MenuCommand(static_cast<std::uint32_t>(module * 65536 + item));
  };
  auto itemText = [module](std::int32_t item) {
    char text[80];
    Menus::GetItemText(module, item, text);
    return std::string(text);
  };
  EXPECT_EQ(itemText(15), "Execute Same");
  choose(15);
  EXPECT_EQ(Message(), "No module to execute.");

  Edit({"MODULE M;", "END M."});
  compiled = ObjectModule{.name = "M"};
  Type("F12");
  EXPECT_EQ(itemText(15), "Execute \"M\"");
  static int runs = 0;
  static std::function<void()> duringRun;
  runs = 0;
  Compile::SetCodeRunner([](Modules::Ref, Modules::Address) {
    ++runs;
    if (std::function<void()> f = std::exchange(duringRun, nullptr)) f();
  });
  choose(15);
  EXPECT_EQ(runs, 1);

  // While M runs: No keeps to the one run, Yes runs another inside it.
  for (const int answer : {2, 1}) {
    runs = 0;
    duringRun = [&] {
      EXPECT_TRUE(Menus::GetCheck(module, 15));
      EXPECT_FALSE(Menus::IsEnabled(module, 13)); // nothing compiles while a module runs
      backend.AnswerAlert(answer);
      choose(15);
    };
    choose(15);
    EXPECT_EQ(runs, answer == 1 ? 2 : 1) << answer;
    ASSERT_FALSE(backend.AlertLog().empty());
    EXPECT_EQ(backend.AlertLog().back(), "Execute an additional user process?");
  }
  EXPECT_FALSE(Menus::GetCheck(module, 15));
  EXPECT_TRUE(Menus::IsEnabled(module, 13));

  // Execute Module... asks for the name, which Execute then keeps.
  backend.AnswerStrings(true, {"Command"});
  choose(17);
  EXPECT_EQ(Message(), "execute - Could not find module: Command");
  EXPECT_EQ(itemText(15), "Execute \"Command\"");
  Compile::SetCodeRunner(nullptr);
}

} // namespace

namespace {

// Help > Library Modules lists the modules and opens the definition the user names: a
// read-only text, which keys and the Edit menu only move through, select and copy.
TEST_F(CommandsTest, LibraryModulesOpensADefinitionReadOnly) {
  ShellMenus::SetUp();
  const auto choose = [](std::int32_t menu, std::int32_t item) {
    Menus::MenuCommand(static_cast<std::uint32_t>(menu * 65536 + item));
  };
  backend.AnswerStrings(true, {"Nope"});
  choose(Menus::kApplicationMenu, 4);
  EXPECT_EQ(Message(), "Library Modules - No such module: Nope");
  backend.AnswerStrings(true, {"Args"});
  choose(Menus::kApplicationMenu, 4);
  const Buffer::Ref b = Buffer::Find("/Library/Args.def");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(E().current, b);
  const Texts before = LinesOf(b);
  EXPECT_EQ(before.front(), "DEFINITION MODULE Args;");
  EXPECT_EQ(before.back(), "END Args.");
  Type("F4 'x' RETURN BACKSPACE F2 GOLD KP6 F12");
  EXPECT_EQ(Message(), "This text is read-only.");
  choose(ShellMenus::Menu(ShellMenus::kEdit), 5);  // Paste
  choose(ShellMenus::Menu(ShellMenus::kEdit), 16); // Strip TABs
  EXPECT_EQ(LinesOf(b), before);
  EXPECT_FALSE(Lines::Modified(b));
  Type("DOWN DOWN KP2");
  EXPECT_EQ(Cursor().line, 3);
  // Another text takes every key again.
  Edit({"x"});
  Type("'y'");
  EXPECT_EQ(Lines(), Texts({"yx"}));
}

} // namespace
