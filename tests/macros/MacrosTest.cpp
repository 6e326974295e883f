// Macros on the headless backend: recording item actions, keys and menu selections from
// real events, the macro file's lines, reading damaged files, playback with calls, and
// the macro text statements.
#include <cstring>
#include <fstream>
#include <sstream>

#include "../dialog/DialogTesting.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditorState.h"
#include "editwin/Menus.h"
#include "macros/MacroFile.h"
#include "macros/MacroText.h"
#include "macros/Macros.h"
#include "store/Lines.h"

namespace {

using Dialog::ItemKind;
using Dialog::ValueType;

// The panel the macros act on, and the Macros dialog.
enum PanelItem { kStart = 1, kPump, kGain, kName, kMode, kLong, kPanelItems = kLong };
enum MacrosItem { kRecord = 1, kRelative, kWait, kLamp, kFirstMacro, kLastMacro = 7 };

bool start = false, pump = false, longSwitch = false;
double gain = 1.0;
char name[24] = "tank 1";
std::int32_t mode = 1;
std::uint8_t lastKey = 0;
int menuRuns = 0;

void Unhandled(Dialog::DialogRecord&, std::uint8_t code, char, std::uint8_t) { lastKey = code; }
void MenuGo() { ++menuRuns; }

class MacrosTest : public DialogFixture {
public:
  void SetUp() override {
    DialogFixture::SetUp();
    start = pump = longSwitch = false;
    gain = 1.0;
    std::strcpy(name, "tank 1");
    mode = 1;
    lastKey = 0;
    menuRuns = 0;
    Make(panel, panelItems, "Panel", false, kPanelItems);
    Dialog::DialogProcs procs;
    procs.unhandledKey = Unhandled;
    Dialog::SetProcs(panel, procs, 'P');
    Open(panel, PanelLayout);
    Make(macros, macrosItems, "Macros", false, kLastMacro);
    Dialog::SetProcs(macros, Dialog::DialogProcs{}, 'M');
    Open(macros, MacrosLayout);
    Menus::NewMenu(tools, "Tools");
    Menus::AppendItem(tools, "Go");
    Menus::SetProcedure(tools, 1, MenuGo);
    Menus::InsertIntoBar(tools);
    Macros::DialogItems items;
    items.record = kRecord;
    items.relative = kRelative;
    items.delay = kWait;
    items.delayLamp = kLamp;
    items.firstMacro = kFirstMacro;
    items.lastMacro = kLastMacro;
    ASSERT_TRUE(Macros::Init(&macros, 4, 3, items));
    MacroText::Reset();
  }
  void TearDown() override {
    Macros::Release();
    // The menu manager outlives the fixture's toolbox: the test's menu goes with it.
    Menus::DeleteMenu(tools);
    DialogFixture::TearDown();
  }

  static void PanelLayout(Dialog::DialogRecord& d) {
    Dialog::DefineItem(d, kStart, ItemKind::Button, "start", true, "Start", 10, 30, 60, 20);
    Dialog::BindValue(d, kStart, &start, ValueType::Boolean);
    Dialog::DefineItem(d, kPump, ItemKind::Switch, "pump", true, "Pump", 80, 30, 60, 20);
    Dialog::BindValue(d, kPump, &pump, ValueType::Boolean);
    Dialog::DefineItem(d, kGain, ItemKind::Drag, "gain", true, "", 10, 60, 60, 20);
    Dialog::BindValue(d, kGain, &gain, ValueType::Real64);
    Dialog::SetNumber(d, kGain, "", Dialog::NumberFormat::Fixed, ValueType::Real64, 5, 2, 0.05, 0,
                      10, 1, false, 0);
    Dialog::DefineItem(d, kName, ItemKind::EditText, "name", true, "", 80, 60, 100, 20);
    Dialog::BindText(d, kName, name, sizeof name - 1);
    Dialog::DefineItem(d, kMode, ItemKind::List, "mode", true, "", 10, 90, 100, 20);
    Dialog::InitList(d, kMode, 0, "");
    for (const char* e : {"slow", "medium", "fast"})
      Dialog::AddListEntry(d, kMode, base::CharsOf(e));
    Dialog::BindValue(d, kMode, &mode, ValueType::Int32);
    Dialog::DefineItem(d, kLong, ItemKind::Switch, "backwash valve", true, "B", 120, 90, 60, 20);
    Dialog::BindValue(d, kLong, &longSwitch, ValueType::Boolean);
  }
  static void MacrosLayout(Dialog::DialogRecord& d) {
    Dialog::DefineItem(d, kRecord, ItemKind::Button, "record", false, "Record", 10, 30, 60, 20);
    Dialog::DefineItem(d, kRelative, ItemKind::Switch, "relative", true, "rel", 80, 30, 60, 20);
    Dialog::DefineItem(d, kWait, ItemKind::Drag, " Wait", true, "", 150, 30, 60, 20);
    Dialog::SetNumber(d, kWait, "", Dialog::NumberFormat::Fixed, ValueType::Real64, 5, 1, 0.1, 0,
                      60, 1, false, 0);
    Dialog::DefineItem(d, kLamp, ItemKind::FramedBool, "lamp", false, "", 220, 30, 20, 20);
    for (int k = kFirstMacro; k <= kLastMacro; ++k)
      Dialog::DefineItem(d, k, ItemKind::Button, "m" + std::to_string(k - kFirstMacro + 1), true,
                         "empty", 10 + 70 * (k - kFirstMacro), 60, 60, 20);
  }

  Macros::MacroSlot& Slot(int k) { return Macros::Slots()[k]; }
  void Play() {
    for (int i = 0; i < 10000 && Macros::Playing(); ++i) Macros::Step();
  }
  // A macro entry on a panel item with the variable's present value.
  Macros::MacroEntry ItemEntry(int item) {
    Macros::MacroEntry e = Macros::EmptyEntry();
    e.idChar = 'P';
    e.item = static_cast<std::int16_t>(item);
    const Dialog::DialogItem& it = *panelItems[item];
    Macros::SetEntryValue(e, Macros::EntryType(it), Dialog::ValueOf(it));
    return e;
  }
  // A click on an item of a dialog brought to the front first.
  void ClickIn(Dialog::DialogRecord& d, int item) {
    Toolbox::SelectWindow(d.window);
    while (Events::PumpOnce(false)) {}
    Run();
    Click(d, item);
  }
  std::string Read(const std::string& file) {
    std::ifstream in(dir + "/" + file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void WriteFile(const std::string& file, const std::string& text) {
    std::ofstream(dir + "/" + file) << text;
  }

  Dialog::DialogRecord panel, macros;
  Dialog::DialogItem* panelItems[kPanelItems + 1] = {};
  Dialog::DialogItem* macrosItems[kLastMacro + 1] = {};
  std::int32_t tools = 0;
};

TEST_F(MacrosTest, RecordedActionsWriteReadBackAndPlay) {
  Macros::ToggleRecording();
  ASSERT_TRUE(Macros::Recording());
  ClickIn(panel, kPump);
  ClickIn(panel, kStart);
  Dialog::SetCurrent(panel);
  Type("F5");
  Menus::MenuCommand(static_cast<std::uint32_t>(tools) * 65536u + 1);
  Macros::RecordAction(panel, -2);
  gain = 5;
  Macros::RecordAction(panel, kGain);
  std::strcpy(name, "say \"hi\"");
  Macros::RecordAction(panel, kName);
  mode = 2;
  Macros::RecordAction(panel, kMode);
  longSwitch = true;
  Macros::RecordAction(panel, kLong);
  EXPECT_EQ(Macros::RecordedCount(), 8);
  backend.AnswerStrings(true, {"2"});
  backend.AnswerStrings(true, {"demo"});
  Macros::ToggleRecording();
  EXPECT_FALSE(Macros::Recording());
  EXPECT_STREQ(Slot(2).name, "demo");
  EXPECT_STREQ(macrosItems[kFirstMacro + 1]->text, "demo");
  EXPECT_NE(Output().find("MACRO stored in: \"demo\"."), std::string::npos);

  ASSERT_TRUE(Macros::Save("panel.txt"));
  EXPECT_EQ(Read("panel.mac"), "MACRO-FILE          4\n"
                               "  2 : demo\n"
                               "  P  pump            TRUE\n"
                               "  P  start\n"
                               "  p  F5\n"
                               "  @  Tools         \"Go\"\n"
                               "  P  gain            5.00\n"
                               "  P  name          'say \"hi\"'\n"
                               "  P  mode            2; fast\n"
                               "  P  backwash valve    TRUE\n");
  const Macros::MacroSlot saved = Slot(2);
  Macros::Clear();
  ASSERT_TRUE(Macros::Load("panel.mac", true));
  ASSERT_EQ(Macros::EntryCount(Slot(2)), 8);
  for (int i = 0; i < 8; ++i) {
    const Macros::MacroEntry &a = saved.entries[i], &b = Slot(2).entries[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(a.item, b.item);
    EXPECT_EQ(a.idChar, b.idChar);
    EXPECT_EQ(0, std::memcmp(a.value, b.value, 8));
    if (a.item != Macros::kKeyEntry) {
      EXPECT_STREQ(a.text, b.text);
    } else {
      EXPECT_EQ(a.code, b.code);
    }
  }

  pump = start = longSwitch = false;
  gain = 1;
  mode = 0;
  menuRuns = 0;
  Macros::Execute(2);
  Play();
  EXPECT_TRUE(pump);
  EXPECT_TRUE(start);
  EXPECT_EQ(lastKey, KeyEvents::KeyF5);
  EXPECT_EQ(menuRuns, 1);
  EXPECT_DOUBLE_EQ(gain, 5);
  EXPECT_STREQ(name, "say \"hi\"");
  EXPECT_EQ(mode, 2);
  EXPECT_TRUE(longSwitch);
}

TEST_F(MacrosTest, KeyDescriptionsBothWays) {
  struct Case {
    std::uint8_t code;
    char ch;
    std::uint8_t modifiers;
    bool any, forward;
    const char* text;
  };
  const Case cases[] = {
      {KeyEvents::KeyCharacter, 'a', 0, false, true, "Char  \"a\""},
      {KeyEvents::KeyCharacter, 13, 0, false, true, "Char  RETURN"},
      {KeyEvents::KeyCharacter, 3, 16, false, true, "Char  \"^C\" control"},
      {KeyEvents::KeyCharacter, '"', 0, false, true, "Char  '\"'"},
      {KeyEvents::KeyCursorUp, 0, 2 | 16, false, false, "CursorUp shift control back"},
      {KeyEvents::KeyF15, 0, 0, true, true, "F15 any"},
      {KeyEvents::KeyDeleteRight, 0, 1 | 4 | 8, false, true, "DeleteRight command caps option"},
  };
  for (const Case& c : cases) {
    char text[128];
    MacroFile::KeyDescription(c.code, c.ch, c.modifiers, c.any, c.forward, text);
    EXPECT_STREQ(text, c.text);
    std::uint8_t code = 0, modifiers = 0;
    char ch = 0;
    bool any = false, forward = true;
    std::size_t pos = 0;
    ASSERT_TRUE(MacroFile::ReadKey(base::CharsOf(c.text), pos, code, ch, modifiers, any, forward))
        << c.text;
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(ch, c.ch);
    EXPECT_EQ(modifiers, c.modifiers);
    EXPECT_EQ(any, c.any);
    EXPECT_EQ(forward, c.forward);
  }
  std::uint8_t code = 0, modifiers = 0;
  char ch = 0;
  bool any = false, forward = true;
  std::size_t pos = 0;
  ASSERT_TRUE(MacroFile::ReadKey("'Q'", pos, code, ch, modifiers, any, forward));
  EXPECT_EQ(modifiers, KeyEvents::kModShift);
  pos = 0;
  ASSERT_TRUE(MacroFile::ReadKey("char 65 shift", pos, code, ch, modifiers, any, forward));
  EXPECT_EQ(ch, 'A');
  pos = 0;
  EXPECT_FALSE(MacroFile::ReadKey("Numeric11", pos, code, ch, modifiers, any, forward));
}

TEST_F(MacrosTest, DamagedFilesKeepWhatCanBeRead) {
  WriteFile("other.mac", "MACRO-FILE  x\n");
  EXPECT_FALSE(Macros::Load("missing.mac", true));
  WriteFile("bad.mac", "NOT A MACRO FILE\n");
  EXPECT_FALSE(Macros::Load("bad.mac", true));
  // Version 3 where 4 is wanted: Cancel keeps the macros, "Load anyway" reads.
  WriteFile("v3.mac", "MACRO-FILE          3\n"
                      "  1 : first;a comment\n"
                      "  P  pump               TRUE\n"
                      "  P  nosuchitem         TRUE\n"
                      "  Q  pump               TRUE\n"
                      "  P  gain              abc\n"
                      "  p  Numeric99\n"
                      "garbage without form\n"
                      " 70 : outside\n"
                      "  P  pump               FALSE\n"
                      "  3 : third\n"
                      "  @  Nomenu             \"Go\"\n"
                      "  P  gain              2.50\n");
  backend.AnswerThreeButtons(2);
  EXPECT_FALSE(Macros::Load("v3.mac", false));
  backend.AnswerThreeButtons(1);
  EXPECT_TRUE(Macros::Load("v3.mac", true));
  EXPECT_STREQ(Slot(1).name, "first");
  EXPECT_STREQ(Slot(1).comment, "a comment");
  EXPECT_EQ(Macros::EntryCount(Slot(1)), 1);
  EXPECT_STREQ(Slot(2).name, "empty");
  EXPECT_EQ(Macros::EntryCount(Slot(3)), 1);
  const std::string out = Output();
  EXPECT_NE(out.find("Macro file line 4: item not known"), std::string::npos);
  EXPECT_NE(out.find("Macro file line 9: macro index outside the macros"), std::string::npos);
  // A title line whose index is no number ends the reading, keeping what came before.
  WriteFile("index.mac", "MACRO-FILE          4\n  1 : one\n  P  pump               TRUE\n"
                         " x7 : broken\n  3 : three\n  P  pump               TRUE\n");
  EXPECT_FALSE(Macros::Load("index.mac", true));
  EXPECT_EQ(Macros::EntryCount(Slot(1)), 1);
  EXPECT_EQ(Macros::EntryCount(Slot(3)), 0);
}

TEST_F(MacrosTest, CallsTailCallsAndRecursion) {
  // Macro 1 switches pump on; macro 2 calls macro 1 and then sets gain; macro 3 calls
  // itself in the middle (skipped) and at its end (it loops until stopped).
  pump = true;
  Slot(1).entries[0] = ItemEntry(kPump);
  Macros::MacroEntry call1 = Macros::EmptyEntry();
  call1.idChar = 'M';
  call1.item = kFirstMacro;
  Macros::MacroEntry call3 = call1;
  call3.item = kFirstMacro + 2;
  gain = 7;
  Slot(2).entries[0] = call1;
  Slot(2).entries[1] = ItemEntry(kGain);
  gain = 2;
  Slot(3).entries[0] = call3;
  Slot(3).entries[1] = ItemEntry(kGain);
  Slot(3).entries[2] = call3;
  pump = false;
  gain = 0;
  Macros::Execute(2);
  Play();
  EXPECT_TRUE(pump);
  EXPECT_DOUBLE_EQ(gain, 7);

  Macros::Execute(3);
  for (int i = 0; i < 100; ++i) Macros::Step();
  EXPECT_TRUE(Macros::Playing());
  EXPECT_DOUBLE_EQ(gain, 2);
  Macros::Execute(1);
  EXPECT_NE(Output().find("Cannot execute macro: a macro is already executing"), std::string::npos);
  Macros::StopExecuting();
  EXPECT_FALSE(Macros::Playing());
  const std::string out = Output();
  EXPECT_NE(out.find("recursive macro call: skipped"), std::string::npos);
  EXPECT_NE(out.find("Macros playback aborted."), std::string::npos);
  Macros::Execute(9);
  EXPECT_NE(Output().find("Cannot execute macro: illegal macro index"), std::string::npos);
}

TEST_F(MacrosTest, RelativeEntriesAddTheChange) {
  Macros::ToggleRecording();
  ClickIn(macros, kRelative);
  gain = 1.5;
  Macros::RecordAction(panel, kGain);
  // Deleting the last entry also skips the next action.
  Macros::DeleteLastEntry();
  EXPECT_EQ(Macros::RecordedCount(), 1);
  Dialog::SetCurrent(panel);
  ASSERT_TRUE(Dialog::ItemHit(kPump, false, 0, 0, false, true, 0, 0));
  EXPECT_EQ(Macros::RecordedCount(), 1);
  Macros::MacroEntry e = Macros::EmptyEntry();
  e.idChar = 'P';
  e.item = kMode;
  Macros::SetEntryValue(e, ValueType::Char, 5);
  ASSERT_TRUE(Macros::AppendEntry(e));
  backend.AnswerStrings(true, {"1"});
  backend.AnswerStrings(true, {"rel"});
  Macros::ToggleRecording();
  ASSERT_EQ(Macros::EntryCount(Slot(1)), 2);
  // Played back, the relative switch arms the mode's entry: 0 + 5 is held to the last
  // list entry. Without it, index 5 lies outside the list and is not taken.
  mode = 0;
  Macros::Execute(1);
  Play();
  EXPECT_EQ(mode, 2);
  mode = 0;
  EXPECT_TRUE(Macros::Perform(e));
  EXPECT_EQ(mode, 0);
  // The switch clicked before a macro is played makes its first entry relative: +1 from
  // "medium" is "fast".
  Macros::SetEntryValue(e, ValueType::Char, 1);
  Slot(2).entries[0] = e;
  mode = 1;
  ClickIn(macros, kRelative);
  Macros::Execute(2);
  Play();
  EXPECT_EQ(mode, 2);
}

TEST_F(MacrosTest, TheRecordButtonAndItsShortcutStartAndStopARecording) {
  Dialog::SetItemKey(macros, kRecord, KeyEvents::KeyCharacter, 'R', 0, true, false);
  for (bool execute : {true, false}) {
    Macros::SetExecuteWhileRecording(execute);
    Dialog::SetCurrent(panel);
    Type("r");
    EXPECT_TRUE(Macros::Recording()) << execute;
    Type("r");
    EXPECT_FALSE(Macros::Recording()) << execute;
    ClickIn(macros, kRecord);
    EXPECT_TRUE(Macros::Recording()) << execute;
    ClickIn(macros, kRecord);
    EXPECT_FALSE(Macros::Recording()) << execute;
  }
}

// A window the user brings to the front in the editor ends the dialogs' playback mode.
TEST_F(MacrosTest, AWindowBroughtForwardEndsTheDialogsPlaybackMode) {
  Dialog::SetPlayback(true);
  std::uint8_t kind = KeyEvents::KeyWindow, modifiers = 0;
  char ch = 0;
  EXPECT_FALSE(Editor::HandleEditKey(kind, ch, modifiers));
  EXPECT_FALSE(Dialog::Playback());
}

TEST_F(MacrosTest, AClosedMacrosDialogIsLeftAlone) {
  Dialog::Close(macros);
  EXPECT_EQ(Macros::MacrosDialog(), nullptr);
  Macros::ToggleRecording();
  Macros::RecordAction(panel, kPump);
  backend.AnswerStrings(true, {"1"});
  backend.AnswerStrings(true, {"after"});
  Macros::ToggleRecording();
  EXPECT_STREQ(Slot(1).name, "after");
  Macros::Execute(1);
  Play();
  EXPECT_FALSE(Macros::Playing());
}

TEST_F(MacrosTest, RecordingWithoutExecutingPutsTheValueBack) {
  Macros::SetExecuteWhileRecording(false);
  Macros::ToggleRecording();
  EXPECT_FALSE(Dialog::Execute());
  ClickIn(panel, kPump);
  EXPECT_FALSE(pump);
  EXPECT_EQ(Macros::EntryCount(Slot(0)), 1);
  EXPECT_EQ(Slot(0).entries[0].value[0], 1);
  // Cancel the index, then "Abort": nothing is stored.
  backend.AnswerStrings(false);
  backend.AnswerThreeButtons(1);
  Macros::ToggleRecording();
  EXPECT_FALSE(Macros::Recording());
  EXPECT_TRUE(Dialog::Execute());
  EXPECT_EQ(Macros::EntryCount(Slot(1)), 0);
}

TEST_F(MacrosTest, FullRecordingAsksAndCopyStopsAtTheLimit) {
  // Macro 1 holds 30 entries; 40 recorded entries and a copy of it stop at 64.
  for (int i = 0; i < 30; ++i) Slot(1).entries[i] = ItemEntry(kPump);
  Macros::ToggleRecording();
  for (int i = 0; i < 40; ++i) Macros::RecordAction(panel, kPump);
  backend.AnswerThreeButtons(2);           // "Copy contents of macro"
  backend.AnswerStrings(true, {"3"});      // Buffer is full: index
  backend.AnswerStrings(true, {"copied"}); // its name
  ClickIn(macros, kFirstMacro);
  EXPECT_FALSE(Macros::Recording());
  EXPECT_EQ(Macros::EntryCount(Slot(3)), 64);
  Macros::ToggleRecording();
  backend.AnswerStrings(false);
  backend.AnswerThreeButtons(2); // Continue
  for (int i = 0; i < 64; ++i) Macros::RecordAction(panel, kPump);
  EXPECT_TRUE(Macros::Recording());
  Macros::RecordAction(panel, kPump);
  EXPECT_EQ(Macros::RecordedCount(), 64);
  // A macro that calls macro 2 before its end cannot be stored in macro 2.
  backend.AnswerThreeButtons(1);
  EXPECT_FALSE(Macros::Assign(0));
}

TEST_F(MacrosTest, AssigningACallOfItself) {
  Macros::ToggleRecording();
  ClickIn(panel, kPump);
  backend.AnswerThreeButtons(3); // record the call of macro 2
  ClickIn(macros, kFirstMacro + 1);
  ClickIn(panel, kPump);
  EXPECT_EQ(Macros::RecordedCount(), 3);
  EXPECT_FALSE(Macros::Assign(2)); // the call is not the last entry
  backend.AnswerStrings(true, {""});
  backend.AnswerStrings(true, {"ok"});
  EXPECT_TRUE(Macros::Assign(1));
  const std::string out = Output();
  EXPECT_NE(out.find("Start of MACRO recording: "), std::string::npos);
  EXPECT_NE(out.find("End of MACRO recording. "), std::string::npos);
}

TEST_F(MacrosTest, MacroTextStatements) {
  Macros::SetProtocol(true);
  EXPECT_FALSE(MacroText::InterpretLine("TARGET Z", false));
  EXPECT_NE(Output().find("TARGET: missing or wrong target character"), std::string::npos);
  EXPECT_FALSE(MacroText::InterpretLine("TARGETP", false));
  EXPECT_NE(Output().find("TARGET: missing space after command"), std::string::npos);
  EXPECT_TRUE(MacroText::InterpretLine("END", false));
  EXPECT_FALSE(MacroText::InterpretLine("BEGIN 9", true));
  EXPECT_NE(Output().find("New Macro Definition: illegal macro index!"), std::string::npos);

  EXPECT_TRUE(MacroText::InterpretLine("target p", false));
  EXPECT_NE(Output().find("Macros target window: \"p\" -> Panel"), std::string::npos);
  EXPECT_TRUE(MacroText::InterpretLine("TARGET P", false));
  EXPECT_TRUE(MacroText::InterpretLine("gain 3.25", false));
  EXPECT_DOUBLE_EQ(gain, 3.25);
  EXPECT_NE(Output().find("MACRO:   P  gain            3.25"), std::string::npos);
  EXPECT_TRUE(MacroText::InterpretLine("TARGET", false));
  EXPECT_FALSE(MacroText::InterpretLine("  M   Wait              2.0", false));
  EXPECT_NE(Output().find("\" Wait\" valid only in macro definition!"), std::string::npos);

  // A definition in a run: BEGIN..END takes one step.
  Buffer::Ref text = MacroText::Text();
  ASSERT_NE(text, nullptr);
  for (const char* l : {"BEGIN 2 : two;set up", "  P  pump TRUE", "  P  gain 4.5", "END"})
    ASSERT_TRUE(Lines::Append(text, base::CharsOf(l)));
  ASSERT_TRUE(MacroText::RunRange(text, 3, 1, 6, 0));
  MacroText::Step();
  EXPECT_FALSE(MacroText::Running());
  EXPECT_STREQ(Slot(2).name, "two");
  EXPECT_STREQ(Slot(2).comment, "set up");
  EXPECT_EQ(Macros::EntryCount(Slot(2)), 2);

  // A range that ends inside a block defines nothing and leaves the definition open;
  // the next line run outside a block closes it with a failure.
  ASSERT_TRUE(MacroText::RunRange(text, 3, 1, 4, 0));
  MacroText::Step();
  EXPECT_NE(Output().find("Fewer \"END\" than \"BEGIN\" statements!"), std::string::npos);
  EXPECT_EQ(Macros::EntryCount(Slot(3)), 0);
  EXPECT_TRUE(MacroText::Defining());
  EXPECT_FALSE(MacroText::InterpretLine("  P  pump FALSE", false));
  EXPECT_NE(Output().find("\"END\" not inside text selection!"), std::string::npos);
  EXPECT_FALSE(MacroText::Defining());

  // ENTER in the editor runs the selection: from its start to before the cursor.
  Editor::EditorState& editor = Editor::State();
  editor.current = text;
  editor.selectActive = true;
  editor.anchor = Editor::Position{4, 1};
  editor.cursor = Editor::Position{5, 1};
  pump = false;
  ASSERT_TRUE(MacroText::RunSelection());
  MacroText::Step();
  EXPECT_TRUE(pump);
  EXPECT_FALSE(MacroText::Running());
  editor.current = nullptr;

  // ESC aborts a run.
  ASSERT_TRUE(MacroText::RunRange(text, 4, 1, 5, 0));
  Macros::StopExecuting();
  EXPECT_FALSE(MacroText::Running());
  EXPECT_NE(Output().find("Macros interpreter aborted."), std::string::npos);
  // Recording excludes the interpreter.
  Macros::ToggleRecording();
  EXPECT_FALSE(MacroText::InterpretLine("  P  pump TRUE", false));
  EXPECT_NE(Output().find("Cannot start macro interpreter while a macro is recording"),
            std::string::npos);
}

TEST_F(MacrosTest, InitLimitsAndEntryLineColumns) {
  Macros::Release();
  EXPECT_FALSE(Macros::Init(nullptr, 1, 65, Macros::DialogItems{}));
  EXPECT_FALSE(Macros::Ready());
  ASSERT_TRUE(Macros::Init(nullptr, 1, 64, Macros::DialogItems{}));
  // A name of 13 characters puts the value in column 19; 14 or more, two blanks after it.
  Strings::Assign(panelItems[kLong]->name, "thirteen_char");
  char line[256];
  longSwitch = true;
  ASSERT_EQ(MacroFile::EntryLine(ItemEntry(kLong), line), MacroFile::Line::Written);
  EXPECT_STREQ(line, "  P  thirteen_char   TRUE");
  Strings::Assign(panelItems[kLong]->name, "fourteen_chars");
  ASSERT_EQ(MacroFile::EntryLine(ItemEntry(kLong), line), MacroFile::Line::Written);
  EXPECT_STREQ(line, "  P  fourteen_chars    TRUE");
}

} // namespace
