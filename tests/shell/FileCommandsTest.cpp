// The shell's file commands with the platform's dialogs answered from a script.
#include "shell/FileCommands.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "../editor/EditorFixture.h"
#include "editwin/Menus.h"
#include "shell/Commands.h"
#include "shell/ShellMenus.h"
#include "store/FileSystem.h"
#include "tools/Settings.h"

namespace {

class FileCommandsTest : public EditorFixture {
protected:
  Startup::Proc StartProc() const override { return Shell::StartCommands; }
  void SetUp() override {
    EditorFixture::SetUp();
    dir = std::filesystem::temp_directory_path() / ("velmarin-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(dir.string())));
  }
  void TearDown() override {
    static_cast<void>(FileSystem::ChangeDirectory(""));
    std::filesystem::remove_all(dir);
    EditorFixture::TearDown();
  }
  void File(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  std::filesystem::path dir;
};

TEST_F(FileCommandsTest, Checksums) {
  Buffer::Ref abc = MakeText({"abc"}, "/User/ABC");
  EXPECT_EQ(FileCommands::Checksum(abc), 13u);
  Buffer::Ref abcd = MakeText({"abcd"}, "/User/ABCD");
  EXPECT_EQ(FileCommands::Checksum(abcd), 13u + 0x64636261u);
  // The checksum line does not count: writing it keeps the sum.
  FileCommands::WriteChecksumLine(abcd);
  const std::string line(Lines::View(abcd, 1));
  EXPECT_EQ(line.rfind("(* Checksum:   6463626E  -  ", 0), 0u) << line;
  EXPECT_EQ(FileCommands::Checksum(abcd), 13u + 0x64636261u);
  EXPECT_EQ(FileCommands::StoredChecksum(abcd), 13u + 0x64636261u);
  EXPECT_EQ(FileCommands::StoredChecksum(abc), 0u);
}

TEST_F(FileCommandsTest, StripTabsAndMarks) {
  Edit({"\tx", "ab\tx"});
  FileCommands::StripTabs();
  EXPECT_EQ(Lines(), Texts({"   x", "ab x"}));
  EXPECT_EQ(Message(), "TABs stripped: 2");
  Edit({"a\xA2"
        "b ;",
        "plain"});
  FileCommands::StripMarks();
  EXPECT_EQ(Lines(), Texts({"ab;", "plain"}));
  EXPECT_EQ(Message(), "1 marks removed.");
  FileCommands::StripMarks();
  EXPECT_EQ(Message(), "StripMarks - no marks found.");
}

TEST_F(FileCommandsTest, OpeningUtf8BeyondTheSetSaysSoAndSavingKeepsEveryByte) {
  // "π ≈ 3.14" in a file named "Größe.mod": the name is the workstation's characters.
  const std::string bytes = "(* Gr\xC3\xB6\xC3\x9F"
                            "e \xCF\x80 \xE2\x89\x88 3.14 *)\r\n";
  File("Gr\xC3\xB6\xC3\x9F"
       "e.mod",
       bytes);
  backend.AnswerFileName(true, (dir / "Gr\xC3\xB6\xC3\x9F"
                                      "e.mod")
                                   .string());
  FileCommands::Open();
  ASSERT_NE(Buffer::Find("/User/Gr\xF6\xDF"
                         "e.mod"),
            nullptr);
  EXPECT_EQ(Message(), "UTF-8 beyond Windows-1252 kept as bytes: '" + dir.string() +
                           "/Gr\xF6\xDF"
                           "e.mod'");
  Type("GOLD KP5 GOLD 4 KP3 GOLD 2 0 GOLD KP1 GOLD KP4 RETURN 'X'");
  ASSERT_TRUE(FileCommands::Save());
  std::ifstream in(dir / "Gr\xC3\xB6\xC3\x9F"
                         "e.mod",
                   std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "(* GR\xC3\xB6\xC3\x9F"
                  "E \xCF\x80 \xE2\x89\x88 3.14 *)\r\nX\r\n")
      << "only the letters of ASCII changed case; the line end is the file's";
}

TEST_F(FileCommandsTest, NamesAreCheckedAndCorrected) {
  char name[64] = "abcdefghijabcdefghijabcdefghijabcdefghij"; // 40 characters
  backend.AnswerStrings(true, {"short"});
  EXPECT_TRUE(FileCommands::CheckName(name, true));
  EXPECT_STREQ(name, "short");
  char bad[64] = "a/b";
  EXPECT_FALSE(FileCommands::CheckName(bad, false));
  ASSERT_FALSE(backend.AlertLog().empty());
  EXPECT_EQ(backend.AlertLog().back(), "Illegal character(s) (\"/\" \":\") in name \"a/b\"");
  char empty[8] = "";
  EXPECT_FALSE(FileCommands::CheckName(empty, true));
  EXPECT_EQ(backend.AlertLog().back(), "EMPTY NAME !");
}

TEST_F(FileCommandsTest, LoadAllOpenAndSaveGroups) {
  File("one.mod", "MODULE one;\nEND one.\n");
  File("two.mod", "x\n");
  MakeText({"old"}, "/User/two.mod");
  backend.AnswerFileName(true, dir.string());
  FileCommands::LoadAll();
  EXPECT_EQ(LinesOf(Buffer::Find("/User/one.mod")), Texts({"MODULE one;", "END one."}));
  EXPECT_EQ(LinesOf(Buffer::Find("/User/two.mod")), Texts({"old"}));
  bool refused = false;
  for (const std::string& l : LinesOf(Shell::ListText()))
    refused = refused || l == "Load \"two.mod\"- Buffer already exists.";
  EXPECT_TRUE(refused);
  EXPECT_EQ(backend.AlertLog().back(), "ERROR(s) while loading: only 1 out of 2 modules loaded.");

  // Open, change, save: the file holds the change.
  File("three.txt", "abc\n");
  backend.AnswerFileName(true, (dir / "three.txt").string());
  FileCommands::Open();
  ASSERT_EQ(Lines(), Texts({"abc"}));
  Type("'X'");
  EXPECT_TRUE(FileCommands::Save());
  std::ifstream in(dir / "three.txt");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "Xabc\n");

  // Nothing of the current directory exists beside it under these names.
  MakeText({"z"}, "/User/nowhere.mod");
  std::filesystem::remove(dir / "one.mod");
  std::filesystem::remove(dir / "two.mod");
  std::filesystem::remove(dir / "three.txt");
  backend.AnswerAlert(1);
  FileCommands::SaveGroup(3);
  EXPECT_EQ(Message(), "No matching modules found.");
}

// Revert loads the file again and the text keeps its cursor.
TEST_F(FileCommandsTest, RevertKeepsTheCursor) {
  File("rev.txt", "one\ntwo\nthree\n");
  backend.AnswerFileName(true, (dir / "rev.txt").string());
  FileCommands::Open();
  Type("DOWN DOWN RIGHT RIGHT 'x'");
  ASSERT_EQ(Lines(), Texts({"one", "two", "thxree"}));
  backend.AnswerFileName(true, (dir / "rev.txt").string());
  FileCommands::Revert();
  Type("'Q'");
  EXPECT_EQ(Lines(), Texts({"one", "two", "thrQee"}));
}

// The Options menu's Checksums, kept in the settings: on, a group save of modified
// modules also asks about a module whose checksum is wrong and writes its checksum line;
// off, it leaves such a module alone.
TEST_F(FileCommandsTest, ChecksumSettingDecidesTheGroupSaves) {
  ShellMenus::SetUp();
  const std::int32_t options = ShellMenus::Menu(ShellMenus::kOptions);
  const std::uint32_t checksumsItem = static_cast<std::uint32_t>(options * 65536 + 15);
  Buffer::Ref mod =
      MakeText({"(* Checksum:          1  -  2024/01/15 09:30:00 *)", "MODULE MOa;", "END MOa."},
               "/User/MOa.mod");
  Buffer::SetFilePath(mod, base::CharsOf(dir.string() + "/"));
  Lines::SetModified(mod, false);
  const std::string question =
      "Save file (wrong checksum): \"" + (dir / "MOa.mod").string() + "\" ?";
  backend.AnswerAlert(1);
  FileCommands::SaveGroup(5);
  EXPECT_EQ(Message(), "No modified modules found.");

  Menus::MenuCommand(checksumsItem);
  EXPECT_TRUE(FileCommands::Checksums());
  EXPECT_TRUE(Menus::GetCheck(options, 15));
  backend.AnswerAlert(1);
  FileCommands::SaveGroup(4);
  ASSERT_FALSE(backend.AlertLog().empty());
  EXPECT_EQ(backend.AlertLog().back(), question);
  char sum[16];
  std::snprintf(sum, sizeof sum, "%11X", FileCommands::Checksum(mod));
  std::ifstream in(dir / "MOa.mod");
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.rfind("(* Checksum:" + std::string(sum) + "  -  ", 0), 0u) << first;

  // The setting goes into the settings record and comes back from it.
  Settings::CollectSettings();
  const Settings::SettingsRecord saved = Settings::Record();
  Menus::MenuCommand(checksumsItem);
  EXPECT_FALSE(FileCommands::Checksums());
  Settings::ApplySettings(saved, false);
  EXPECT_TRUE(FileCommands::Checksums());
}

// Quit's question per modified text: Yes stores, No passes it over, and Escape (a box
// ended without a button) is Cancel: nothing more is stored and Quit goes back.
TEST_F(FileCommandsTest, SaveModifiedFileTakesEscapeAsCancel) {
  for (const char* name : {"a.txt", "b.txt"}) {
    Buffer::Ref b = MakeText({"text"}, std::string("/User/") + name);
    Buffer::SetFilePath(b, base::CharsOf(dir.string() + "/"));
    Lines::SetModified(b, true);
  }
  EXPECT_EQ(FileCommands::CountModified(), 2);
  backend.AnswerThreeButtons(0);
  EXPECT_EQ(FileCommands::StoreModified(), -1);
  EXPECT_FALSE(std::filesystem::exists(dir / "a.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "b.txt"));
  EXPECT_EQ(FileCommands::CountModified(), 2);

  backend.AnswerThreeButtons(2); // No: a.txt stays as it is
  backend.AnswerThreeButtons(1); // Yes
  EXPECT_EQ(FileCommands::StoreModified(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "a.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "b.txt"));
  EXPECT_EQ(FileCommands::CountModified(), 1);
}

} // namespace
