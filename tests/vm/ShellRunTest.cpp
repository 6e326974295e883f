// The road of F12 in the workstation: the command text compiled, installed and run, its
// listing in the List; a run-time error reported in the List and an alert, the
// workstation going on, and the next F12 on the line of the error.
#include "app/Runner.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "../editor/EditorFixture.h"
#include "LargeModule.h"
#include "platform/Checks.h"
#include "programs/ProgramModules.h"
#include "shell/Commands.h"
#include "shell/Compile.h"
#include "store/FileSystem.h"

namespace {

void StartShell() {
  Shell::StartCommands();
  Runner::Install(true);
}

class ShellRunTest : public EditorFixture {
protected:
  Startup::Proc StartProc() const override { return StartShell; }

  void SetCommandText(const Texts& lines) {
    Buffer::Ref command = Shell::CommandText();
    Lines::Delete(command, 1, Lines::Count(command));
    for (const std::string& line : lines) ASSERT_TRUE(Lines::Append(command, line));
    EditWindows::ShowBuffer(command, EditWindows::kRefresh | EditWindows::kActivate);
  }
  static Texts ListTail(std::size_t n) {
    const Texts lines = LinesOf(Shell::ListText());
    return Texts(lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end());
  }
};

TEST_F(ShellRunTest, F12RunsTheCommandTextAndItsListingAppears) {
  ASSERT_TRUE(Compile::Interface().available);
  ASSERT_NE(Buffer::Create("/User/Sub", Buffer::BufferKind::Directory), nullptr);
  SetCommandText({"MODULE Command; IMPORT c; BEGIN c.ldir(\"/User\"); END Command."});
  Type("F12");
  EXPECT_EQ(ListTail(1), Texts({"                      Directory  /User/Sub"}));
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{});
}

TEST_F(ShellRunTest, ATrapIsReportedAndF12FindsItsLine) {
  MakeText({"MODULE Bad;", "VAR a: ARRAY [0..3] OF INTEGER; i: INTEGER;", "BEGIN", "  i := 4;",
            "  a[i] := 1", "END Bad."},
           "/User/Bad.mod");
  SetCommandText({"MODULE Command; IMPORT c; BEGIN c.comp(\"/User/Bad.mod\"); c.execute(\"Bad\") "
                  "END Command."});
  Type("F12");
  EXPECT_EQ(ListTail(3), Texts({"Run-time error: index out of range", "  in Bad, line 5",
                                "  called from Command, line 1"}));
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{"index out of range"});
  // The workstation goes on; F12 now shows the line of the error, once.
  Type("F12");
  EXPECT_EQ(E().current, Buffer::Find("/User/Bad.mod"));
  EXPECT_EQ(Cursor().line, 5);
}

// BREAK in a check alert that a command raised ends the run of the command text with
// its report, once the command has returned its failure; the workstation goes on, and
// nothing after the command ran.
TEST_F(ShellRunTest, BreakInACheckAlertEndsTheRunNotTheWorkstation) {
  Checks::Init();
  Checks::SetCheckOutputHandles(true);
  backend.AnswerThreeButtons(3);
  SetCommandText({"MODULE Command; IMPORT c; BEGIN", "c.cdir(\"/Nope/X\");",
                  "c.ldir(\"/User\") END Command."});
  Type("F12");
  EXPECT_EQ(ListTail(3), Texts({"cdir - Unable to create directory.",
                                "Run-time error: BREAK called.", "  in Command, line 2"}));
  EXPECT_EQ(backend.AlertLog(),
            (std::vector<std::string>{"Output handle/adr Error!", "BREAK called."}));
  Checks::SetCheckOutputHandles(false);
  Type("'x'");
  const Texts lines = LinesOf(Shell::CommandText());
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find('x') != std::string::npos; }));
}

// c.args gives the next execute its arguments (blanks separate, quotes group); the run
// takes them. A quote not closed is refused, and the arguments stay as they were.
TEST_F(ShellRunTest, ArgsGivesTheNextExecuteItsArguments) {
  MakeText({"MODULE Show;",
            "FROM Args IMPORT Narg, GetArg; FROM InOut IMPORT WriteString, WriteLn;",
            "VAR i: CARDINAL; a: ARRAY [0..31] OF CHAR;", "BEGIN", "  FOR i := 0 TO Narg() - 1 DO",
            "    IF GetArg(a, i) THEN WriteString('['); WriteString(a); WriteString(']') END",
            "  END;", "  WriteLn", "END Show."},
           "/User/Show.mod");
  SetCommandText({"MODULE Command; IMPORT c; BEGIN c.comp(\"/User/Show.mod\");",
                  "c.args(\"one  'two  words' x'y z'\"); c.execute(\"Show\"); c.execute(\"Show\");",
                  "c.args(\"kept\"); c.args(\"a 'b\"); c.execute(\"Show\") END Command."});
  Type("F12");
  EXPECT_EQ(ListTail(4), Texts({"[Show][one][two  words][xy z]", "[Show]",
                                "args - Quote not closed: a 'b", "[Show][kept]"}));
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{});
}

// F12 on a program compiles and loads first the modules it imports that are not loaded,
// or whose text changed since: from the store's current directory, else from the host
// directory. A module still missing is named; an error in an import shows in its text.
TEST_F(ShellRunTest, F12BuildsTheModulesAProgramImports) {
  MakeText({"DEFINITION MODULE Stock;", "PROCEDURE Count(): INTEGER;", "END Stock."},
           "/User/Stock.def");
  MakeText({"IMPLEMENTATION MODULE Stock;", "PROCEDURE Count(): INTEGER;", "BEGIN RETURN 7",
            "END Count;", "END Stock."},
           "/User/Stock.mod");
  char dir[] = "/tmp/velmarin-f12-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string host = std::string(dir) + "/";
  std::ofstream(host + "Shelf.def") << "DEFINITION MODULE Shelf;\nVAR size: INTEGER;\nEND Shelf.\n";
  std::ofstream(host + "Shelf.mod")
      << "IMPLEMENTATION MODULE Shelf;\nBEGIN size := 3\nEND Shelf.\n";
  ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(dir)));
  const Buffer::Ref main =
      Edit({"MODULE Main;", "IMPORT Stock, Shelf; FROM InOut IMPORT WriteInt, WriteLn;",
            "BEGIN WriteInt(Stock.Count() * Shelf.size, 0); WriteLn END Main."},
           "/User/Main.mod");
  Type("F12");
  EXPECT_EQ(Message(), "Successful compilation and load.");
  for (const char* name : {"Stock", "Shelf", "Main"})
    EXPECT_EQ(Modules::Info(Modules::Find(Shell::SystemLibrary(), base::CharsOf(name))).state,
              Modules::ModuleState::Ready)
        << name;
  EXPECT_NE(Buffer::Find("/User/Shelf.mod"), nullptr); // loaded from the host as a text
  SetCommandText({"MODULE Command; IMPORT c; BEGIN c.execute(\"Main\") END Command."});
  Type("F12");
  EXPECT_EQ(ListTail(1), Texts({"21"}));
  // Stock's text changes: the next F12 on Main compiles it again.
  Buffer::Ref stock = Buffer::Find("/User/Stock.mod");
  ASSERT_TRUE(Lines::Set(stock, 3, "BEGIN RETURN 10"));
  EditWindows::ShowBuffer(main, EditWindows::kActivate);
  Type("F12");
  SetCommandText({"MODULE Command; IMPORT c; BEGIN c.execute(\"Main\") END Command."});
  Type("F12");
  EXPECT_EQ(ListTail(1), Texts({"30"}));
  // An import with an error: its text shows the error. One without a text: named.
  MakeText({"DEFINITION MODULE Broken;", "END Broken."}, "/User/Broken.def");
  MakeText({"IMPLEMENTATION MODULE Broken;", "BEGIN x := 1", "END Broken."}, "/User/Broken.mod");
  MakeText({"DEFINITION MODULE Absent;", "END Absent."}, "/User/Absent.def");
  Edit({"MODULE Uses;", "IMPORT Broken;", "END Uses."}, "/User/Uses.mod");
  Type("F12");
  EXPECT_EQ(E().current, Buffer::Find("/User/Broken.mod"));
  EXPECT_EQ(Cursor().line, 2);
  EXPECT_EQ(Message(), "undeclared identifier: x");
  SetCommandText({"MODULE Command; IMPORT Absent; END Command."});
  Type("F12");
  EXPECT_EQ(Message(), "Module 'Command' is not ready to run: it needs Absent.");
  for (const char* file : {"Shelf.def", "Shelf.mod"}) unlink((host + file).c_str());
  rmdir(dir);
  ASSERT_TRUE(FileSystem::ChangeDirectory(""));
}

// Control+C while a program waits for a key ends its run like an interrupt while it
// computes; the workstation goes on.
TEST_F(ShellRunTest, ControlCEndsAProgramWaitingForAKey) {
  SetCommandText({"MODULE Command; IMPORT InOut; VAR ch: CHAR;",
                  "BEGIN InOut.WriteString('waiting'); InOut.Read(ch); InOut.WriteString('read')",
                  "END Command."});
  Type("F12 C-c");
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{"Interrupted."});
  // The workstation takes keys again.
  Type("'x'");
  bool typed = false;
  for (const std::string& line : LinesOf(Shell::CommandText()))
    typed = typed || line.find('x') != std::string::npos;
  EXPECT_TRUE(typed);
}

// A module of 50,000 lines in the workstation: compiled from its text into the current
// library, linked to the command text that imports it, run; mlist lists it with its size.
TEST_F(ShellRunTest, AFiftyThousandLineModuleCompilesLinksAndRuns) {
  const LargeModule::Module huge = LargeModule::Make("Huge", 50000);
  const auto lines = [](const std::string& text) {
    Texts t;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) t.push_back(line);
    return t;
  };
  MakeText(lines(huge.definition), "/User/Huge.def");
  MakeText(lines(huge.implementation), "/User/Huge.mod");
  SetCommandText({"MODULE Command; IMPORT c; BEGIN c.comp(\"/User/Huge.mod\") END Command."});
  Type("F12");
  SetCommandText({"MODULE Command; IMPORT c, Huge;", "BEGIN",
                  "  IF Huge.Total() # " + std::to_string(huge.total) + " THEN HALT END;",
                  "  c.mlist", "END Command."});
  Type("F12");
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{});
  const Modules::ModuleInfo info = Modules::Info(Modules::Find(Shell::SystemLibrary(), "Huge"));
  ASSERT_EQ(info.state, Modules::ModuleState::Ready);
  std::string listed;
  for (const std::string& line : LinesOf(Shell::ListText()))
    if (line.size() > 6 && line.substr(line.size() - 6) == "  Huge") listed = line;
  EXPECT_EQ(listed.substr(0, 12), "  Ready     ");
  EXPECT_EQ(listed.substr(28, 7), std::to_string(info.codeSize + info.imageSize));
}

} // namespace
