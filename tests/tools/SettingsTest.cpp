// The settings file and the macro file on the headless backend, in a configuration
// directory of the test's own: every live value through a save and a load, the damaged
// files kept aside, the micro sign, the List window's rectangle, and the whole start-up
// with Quit.
#include "tools/Settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../editor/EditorFixture.h"
#include "base/ByteOrder.h"
#include "base/NumberOut.h"
#include "platform/Checks.h"
#include "platform/Startup.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

namespace {

namespace fs = std::filesystem;
using Settings::SettingsRecord;
using Toolbox::Rect;

std::string ReadHostFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteHostFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string Image(const SettingsRecord& r) {
  return std::string(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
}

SettingsRecord Defaults() {
  SettingsRecord r;
  Settings::DefaultSettings(r);
  return r;
}

// XDG_CONFIG_HOME points at a fresh directory while it lives.
struct ConfigDirectory {
  ConfigDirectory() {
    char pattern[] = "/tmp/velmarin-config-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    setenv("XDG_CONFIG_HOME", pattern, 1);
  }
  ~ConfigDirectory() { fs::remove_all(root); }
  fs::path SettingsFile() const { return root / "velmarin" / "Velmarin.Settings"; }
  fs::path MacroFile() const { return root / "velmarin" / "Velmarin.mac"; }
  fs::path root;
};

void Place(Toolbox::Window w, const Rect& r) {
  Toolbox::SizeWindow(w, r.Width(), r.Height());
  Toolbox::MoveWindow(w, r.left, r.top, false);
}

class SettingsTest : public EditorFixture {
protected:
  static std::string LastListed() {
    const Texts lines = LinesOf(Shell::ListText());
    return lines.empty() ? std::string() : lines.back();
  }
  ConfigDirectory config;
};

// Every value the settings carry goes from the live modules into the file and back,
// with a client's field and the fields nobody interprets.
TEST_F(SettingsTest, SavedValuesComeBackOnLoad) {
  static std::int32_t clientValue = 0;
  ASSERT_TRUE(Settings::AddClient(
      {[](SettingsRecord& r) { r.SetInt32(Settings::kFurther, 11); },
       [](const SettingsRecord& r) { clientValue = r.Int32(Settings::kFurther); },
       [](SettingsRecord& r) { r.SetInt32(Settings::kFurther, clientValue); }}));
  EXPECT_EQ(Defaults().Int32(Settings::kFurther), 11);
  Settings::Record().SetReal(Settings::kReal3, 0.5);
  const Rect command{30, 50, 500, 400};
  const Rect list{40, 440, 600, 580};
  Place(Shell::CommandWindow(), command);
  Place(Shell::ListWindow(), list);
  FileSystem::SetLineEndMode(1);
  ANSITerm::SetScrollStep(5);
  ANSITerm::SetCaretStyle(ANSITerm::kBarCaret);
  Shell::SetWindowSetting(7);
  Shell::SetWindowFlag(true);
  Checks::SetCheckInputHandles(true);
  Checks::SetCheckOutputHandles(false);
  NumberOut::SetMicroChar('u');
  clientValue = 42;
  ASSERT_TRUE(Settings::SaveSettings());
  const std::string image = ReadHostFile(config.SettingsFile());
  ASSERT_EQ(image.size(), Settings::kRecordSize);
  EXPECT_EQ(image.substr(0, 4), "PREF");
  EXPECT_EQ(ByteOrder::Get32(image.data() + Settings::kFormat), 855u);

  FileSystem::SetLineEndMode(2);
  ANSITerm::SetScrollStep(2);
  ANSITerm::SetCaretStyle(ANSITerm::kBlockCaret);
  Shell::SetWindowSetting(3);
  Shell::SetWindowFlag(false);
  Checks::SetCheckInputHandles(false);
  Checks::SetCheckOutputHandles(true);
  NumberOut::SetMicroChar('m');
  clientValue = 0;
  Settings::Record() = Defaults();
  ASSERT_TRUE(Settings::LoadSettings(false));
  EXPECT_EQ(FileSystem::LineEndMode(), 1);
  EXPECT_EQ(ANSITerm::ScrollStep(), 5);
  EXPECT_EQ(ANSITerm::CaretStyle(), ANSITerm::kBarCaret);
  EXPECT_EQ(Shell::WindowSetting(), 7);
  EXPECT_TRUE(Shell::WindowFlag());
  EXPECT_TRUE(Checks::CheckInputHandles());
  EXPECT_FALSE(Checks::CheckOutputHandles());
  EXPECT_EQ(NumberOut::MicroChar(), 'u');
  EXPECT_EQ(clientValue, 42);
  const SettingsRecord& r = Settings::Record();
  EXPECT_EQ(r.RectAt(Settings::kCommandRect), command);
  EXPECT_EQ(r.RectAt(Settings::kListRect), list);
  EXPECT_EQ(r.Real(Settings::kReal3), 0.5);
  EXPECT_EQ(r.Int32(Settings::kInteger2), 1500);
  EXPECT_EQ(r.RectAt(Settings::kThirdWindow), (Rect{20, 46, 536, 472}));
}

// A file that is there but cannot be used is refused with one message naming it and what
// is wrong (in the List and on the message line, never in an alert), kept under a new
// name, and the defaults apply; a missing file is silently the defaults, and the next
// save leaves the kept files alone. Of a longer file the first record counts.
TEST_F(SettingsTest, DamagedSettingsFilesAreKeptAsideAndTheDefaultsApply) {
  SettingsRecord bar = Defaults();
  bar.SetByte(Settings::kCaretStyle, ANSITerm::kBarCaret);
  const std::string good = Image(bar);
  SettingsRecord old = bar;
  old.SetInt32(Settings::kFormat, 854);
  const struct {
    std::string image;
    std::string reason;
    std::string aside;
  } cases[] = {
      {Image(old), "its format number is 854, not 855", ".damaged"},
      {good.substr(0, 100), "it holds 100 bytes, not 11848", ".damaged.1"},
      {"PREX" + good.substr(4), "it is not of type PREF", ".damaged.2"},
  };
  const fs::path file = config.SettingsFile();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    WriteHostFile(file, c.image);
    ANSITerm::SetCaretStyle(ANSITerm::kBarCaret);
    Shell::ClearList();
    EXPECT_FALSE(Settings::LoadSettings(false));
    EXPECT_EQ(ANSITerm::CaretStyle(), ANSITerm::kBlockCaret);
    const std::string told = "Settings file \"" + file.string() + "\" is not used: " + c.reason +
                             ". It was kept as \"Velmarin.Settings" + c.aside +
                             "\"; the default settings apply.";
    EXPECT_EQ(LinesOf(Shell::ListText()), Texts({"", told}));
    EXPECT_EQ(Message(), told);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadHostFile(file.string() + c.aside), c.image);
  }
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{});
  Shell::ClearList();
  EXPECT_FALSE(Settings::LoadSettings(false));
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({""}));
  ASSERT_TRUE(Settings::SaveSettings());
  EXPECT_EQ(ReadHostFile(file.string() + ".damaged"), Image(old));
  for (const std::string& longer : {good + "\n", good + good}) {
    WriteHostFile(file, longer);
    ANSITerm::SetCaretStyle(ANSITerm::kBlockCaret);
    EXPECT_TRUE(Settings::LoadSettings(false));
    EXPECT_EQ(ANSITerm::CaretStyle(), ANSITerm::kBarCaret);
    EXPECT_EQ(ReadHostFile(file), longer);
  }
  EXPECT_EQ(LinesOf(Shell::ListText()), Texts({""}));
}

TEST_F(SettingsTest, MicroSignZeroKeepsTheCurrentOne) {
  NumberOut::SetMicroChar('u');
  SettingsRecord r = Defaults();
  r.SetByte(Settings::kMicroChar, 0);
  Settings::ApplySettings(r, false);
  EXPECT_EQ(NumberOut::MicroChar(), 'u');
  r.SetByte(Settings::kMicroChar, 'm');
  Settings::ApplySettings(r, false);
  EXPECT_EQ(NumberOut::MicroChar(), 'm');
}

TEST_F(SettingsTest, SavingWithTheListWindowClosedKeepsItsRectangle) {
  const Rect before{40, 440, 600, 580};
  Settings::Record().SetRect(Settings::kListRect, before);
  EditWindows::CloseBufferWindow(Shell::ListText());
  ASSERT_EQ(Shell::ListWindow(), nullptr);
  ASSERT_TRUE(Settings::SaveSettings());
  SettingsRecord saved;
  ASSERT_EQ(Settings::ReadSettingsImage(ReadHostFile(config.SettingsFile()), saved),
            Settings::SettingsCheck::Accepted);
  EXPECT_EQ(saved.RectAt(Settings::kListRect), before);
}

// Store writes the macro file, which loads back into the slots; a damaged one is kept
// aside and leaves the slots empty.
TEST_F(SettingsTest, MacroFileFollowsStoreAndIsRefusedWhenDamaged) {
  Startup::ShellHooks hooks;
  Settings::InstallStartupHooks(hooks);
  Edit({""});
  Type("GOLD L 'ab' GOLD S");
  backend.AnswerStrings(true, {"4"});
  backend.AnswerStrings(true, {"greet"});
  Editor::StoreMacro();
  std::string image = ReadHostFile(config.MacroFile());
  ASSERT_EQ(image.size(), Editor::kMacroFileSize);
  Editor::ResetMacroSlots();
  EXPECT_TRUE(Settings::LoadMacroFile());
  EXPECT_STREQ(Editor::GetMacroSlot(4).name, "greet");

  ByteOrder::Put32(image.data() + 8, 499);
  WriteHostFile(config.MacroFile(), image);
  EXPECT_FALSE(Settings::LoadMacroFile());
  EXPECT_EQ(Editor::GetMacroSlot(4).length, 1);
  EXPECT_EQ(LastListed(), "Macro file \"" + config.MacroFile().string() +
                              "\" is not used: its version is 499, not 500. It was kept as "
                              "\"Velmarin.mac.damaged\"; the macro slots are empty.");
  EXPECT_EQ(ReadHostFile(config.MacroFile().string() + ".damaged"), image);
}

// The program's own start reads both files, the settings a second time once the windows
// exist (placing the Command window and setting its font), and Quit saves the settings.
TEST(SettingsStartTest, StartUpAppliesBothFilesAndQuitSavesTheSettings) {
  ConfigDirectory config;
  const Rect command{16, 40, 520, 400};
  SettingsRecord r = Defaults();
  r.SetRect(Settings::kCommandRect, command);
  r.SetInt32(Settings::kCommandFontSize, 12);
  r.SetByte(Settings::kCaretStyle, ANSITerm::kBarCaret);
  WriteHostFile(config.SettingsFile(), Image(r));
  Editor::ResetMacroSlots();
  std::string macros = Editor::MacroImage();
  macros.replace(12 + 3 * Editor::kMacroSlotSize + 4, 5, "greet");
  WriteHostFile(config.MacroFile(), macros);

  static Rect placed;
  static std::int32_t fontSize = 0;
  Headless::HeadlessBackend backend;
  Startup::ShellHooks hooks;
  Shell::InstallStartupHooks(hooks);
  Settings::InstallStartupHooks(hooks);
  Startup::SetShellHooks(hooks);
  Startup::SetApplicationMain([] {
    placed = Toolbox::GetWindowRect(Shell::CommandWindow());
    fontSize = Shell::CommandWindow()->port.fontSize;
    Startup::QuitCommand();
  });
  EXPECT_EQ(Startup::Run(backend, "velmarin"), 0);
  EXPECT_EQ(placed, command);
  EXPECT_EQ(fontSize, 12);
  EXPECT_EQ(ANSITerm::CaretStyle(), ANSITerm::kBarCaret);
  EXPECT_STREQ(Editor::GetMacroSlot(4).name, "greet");
  SettingsRecord saved;
  ASSERT_EQ(Settings::ReadSettingsImage(ReadHostFile(config.SettingsFile()), saved),
            Settings::SettingsCheck::Accepted);
  EXPECT_EQ(saved.RectAt(Settings::kCommandRect), command);
  EXPECT_EQ(saved.Byte(Settings::kCaretStyle), ANSITerm::kBarCaret);
  EXPECT_EQ(saved.Byte(Settings::kCheckOutput), 1);
}

// A file refused at the start waits for the Command window: its message is then in the
// List and on the message line, and no alert stops the start.
TEST(SettingsStartTest, AFileRefusedAtTheStartIsToldOnTheMessageLine) {
  ConfigDirectory config;
  WriteHostFile(config.SettingsFile(), std::string(100, 'x'));
  static std::string message, listed;
  Headless::HeadlessBackend backend;
  Shell::SetEditorStartProc(Editor::Init);
  Startup::ShellHooks hooks;
  Shell::InstallStartupHooks(hooks);
  Settings::InstallStartupHooks(hooks);
  Startup::SetShellHooks(hooks);
  Startup::SetApplicationMain([] {
    char text[Editor::kTextHigh + 1];
    Editor::MessageLineText(text);
    message = text;
    listed = Lines::View(Shell::ListText(), Lines::Count(Shell::ListText()));
    Startup::QuitCommand();
  });
  EXPECT_EQ(Startup::Run(backend, "velmarin"), 0);
  const std::string told = "Settings file \"" + config.SettingsFile().string() +
                           "\" is not used: it holds 100 bytes, not 11848. It was kept as "
                           "\"Velmarin.Settings.damaged\"; the default settings apply.";
  EXPECT_EQ(message, told);
  EXPECT_EQ(listed, told);
  EXPECT_EQ(backend.AlertLog(), std::vector<std::string>{});
}

} // namespace
