// Programs that build dialogs, run as velmarin --run runs them: the example control
// panel ends by itself without a user, procedures of the program are called back, and
// handles and variable addresses are checked.
#include "app/Runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "dialog/Dialog.h"
#include "dialog/Help.h"
#include "store/Buffer.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string Contents(std::FILE* f) {
  std::string s;
  std::rewind(f);
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) s += static_cast<char>(c);
  return s;
}

Outcome RunProgram(const std::string& path) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Outcome r;
  r.status = Runner::RunFile(path, {}, in, out, err);
  r.out = Contents(out);
  r.err = Contents(err);
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  return r;
}

// The program text written to a file of its own; its path.
std::string Program(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + name + ".mod";
  std::ofstream(path) << text;
  return path;
}

TEST(DialogProgramTest, TheControlPanelEndsByItselfWithoutAUser) {
  const Outcome r = RunProgram(VELMARIN_EXAMPLES_DIR "/ControlPanel.mod");
  EXPECT_EQ(r.status, Runner::kDone) << r.err;
  EXPECT_EQ(r.out, "pump off light on  gain  1.00  name 'tank 1'  mode medium\n"
                   "Nobody acted: the panel closes.\n");
  EXPECT_EQ(Dialog::Known(), nullptr);
}

TEST(DialogProgramTest, ProceduresAreCalledBackAndHandlesChecked) {
  const Outcome r = RunProgram(Program("Callbacks", R"(MODULE Callbacks;
IMPORT Dialog;
FROM SYSTEM IMPORT ADR;
FROM TextIO IMPORT WriteString, WriteInt, WriteFixed, WriteLn;
VAR d: Dialog.Handle; count: INTEGER; on: BOOLEAN; result: REAL;
PROCEDURE Pressed; BEGIN INC(count) END Pressed;
PROCEDURE Quit; BEGIN Dialog.Close(d) END Quit;
BEGIN
  count := 0; on := FALSE; result := 0.0;
  IF Dialog.Init(d, FALSE, FALSE, "Callbacks", "", 0, 10, 3, 10, 200, 200, 150, 0) THEN
    Dialog.DefineItem(d, 1, Dialog.Button, "b", FALSE, "Press", 10, 30, 80, 20);
    Dialog.SetItemProcs(d, 1, Pressed, NIL, NIL, NIL);
    Dialog.DefineItem(d, 2, Dialog.Switch, "s", FALSE, "On", 10, 60, 80, 20);
    Dialog.BindValue(d, 2, ADR(on), Dialog.BooleanValue);
    Dialog.DefineItem(d, 3, Dialog.Button, "q", FALSE, "Quit", 10, 90, 80, 20);
    Dialog.SetItemProcs(d, 3, Quit, NIL, NIL, NIL);
    IF Dialog.Open(d, Dialog.DocumentWindow, NIL, NIL, FALSE, TRUE, TRUE, FALSE, FALSE) THEN
      IF Dialog.ItemHit(d, 1, FALSE, 0C, 0, FALSE, TRUE, 0, 0) THEN WriteString("hit ") END;
      IF Dialog.ItemHit(d, 2, FALSE, 0C, 0, FALSE, TRUE, 0, 0) THEN WriteString("switched ") END;
      WriteInt(count, 1);
      IF on THEN WriteString(" on") END;
      IF Dialog.CheckNumber("250", 0.0, 100.0, 1.0, result, Dialog.IntegerFormat, FALSE) THEN
        WriteFixed(result, 7, 1)
      END;
      (* The dialog closes from its own procedure, inside ItemHit. *)
      IF Dialog.ItemHit(d, 3, FALSE, 0C, 0, FALSE, TRUE, 0, 0) THEN WriteString(" quit") END;
      WriteLn;
      Dialog.Redraw(d, 0)
    END
  END
END Callbacks.
)"));
  EXPECT_EQ(r.out, "hit switched 1 on  100.0 quit\n");
  EXPECT_EQ(r.status, Runner::kTrapped);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "Run-time error: invalid dialog");
}

TEST(DialogProgramTest, OnlyGlobalVariablesAreBoundAndTheDialogGoesWithTheRun) {
  const Outcome r = RunProgram(Program("Local", R"(MODULE Local;
IMPORT Dialog;
FROM SYSTEM IMPORT ADR;
VAR d: Dialog.Handle; global: INTEGER;
PROCEDURE Bind;
VAR local: INTEGER;
BEGIN
  Dialog.BindValue(d, 1, ADR(global), Dialog.IntegerValue);
  Dialog.BindValue(d, 1, ADR(local), Dialog.IntegerValue)
END Bind;
BEGIN
  IF Dialog.Init(d, FALSE, FALSE, "Local", "", 0, 10, 1, 10, 100, 100, 100, 0) THEN
    Dialog.DefineItem(d, 1, Dialog.Drag, "x", FALSE, "", 10, 30, 50, 20);
    IF Dialog.Open(d, Dialog.DocumentWindow, NIL, NIL, FALSE, TRUE, TRUE, FALSE, FALSE) THEN
      Bind
    END
  END
END Local.
)"));
  EXPECT_EQ(r.status, Runner::kTrapped);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "Run-time error: invalid variable address");
  EXPECT_NE(r.err.find("Local.Bind, line 9"), std::string::npos) << r.err;
  EXPECT_EQ(Dialog::Known(), nullptr);
  EXPECT_EQ(Buffer::Find("/Shell/LocalDialBuffer"), nullptr);
}

TEST(DialogProgramTest, ProgramsReachTheColourTablesAndTheTips) {
  const std::string dir = ::testing::TempDir();
  std::ofstream(dir + "Tips.hlp") << "T go;Go;Starts it.\nT 9;Nine;No such item.\n";
  const Outcome r = RunProgram(Program("Tips", R"(MODULE Tips;
IMPORT Dialog, ColorPicker, ToolTips;
FROM TextIO IMPORT WriteString, WriteInt, WriteLn;
VAR d: Dialog.Handle; red, green, blue: CARDINAL;
BEGIN
  ColorPicker.ColorOf(-1, red, green, blue);
  WriteInt(red + green + blue, 1);
  WriteInt(ORD(ColorPicker.UsesPalette()), 2);
  red := 65535; green := 0; blue := 0;
  IF NOT ColorPicker.Pick(NIL, red, green, blue, 0, 0, NIL) THEN WriteString(" unchanged ") END;
  WriteInt(red, 1);
  IF Dialog.Init(d, FALSE, FALSE, "Tips", "", 0, 10, 1, 10, 100, 100, 100, 0) THEN
    Dialog.SetProcs(d, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, "T");
    Dialog.DefineItem(d, 1, Dialog.Button, "go", FALSE, "Go", 10, 30, 50, 20);
    IF Dialog.Open(d, Dialog.DocumentWindow, NIL, NIL, FALSE, TRUE, TRUE, FALSE, FALSE) THEN
      IF ToolTips.LoadHelp("Tips.hlp") THEN WriteString(" loaded") END;
      ToolTips.SetToolTips(TRUE);
      IF ToolTips.ToolTipsOn() THEN WriteString(" on") END
    END
  END;
  WriteLn
END Tips.
)"));
  EXPECT_EQ(r.status, Runner::kDone) << r.err;
  // Without a user Pick is FALSE at once and the colour stays.
  EXPECT_EQ(r.out, "0 0 unchanged 65535 loaded on\n");
  // The help goes with the run: the tip window, its buffer and the tips being on.
  EXPECT_EQ(Dialog::Known(), nullptr);
  EXPECT_FALSE(Help::Loaded());
  EXPECT_FALSE(Help::TipsOn());
}

} // namespace
