// The shell's file commands with the platform's dialogs answered from a script.
#include "shell/FileCommands.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../editor/EditorFixture.h"
#include "shell/Commands.h"
#include "store/FileSystem.h"

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
  Edit({"a\xA2" "b ;", "plain"});
  FileCommands::StripMarks();
  EXPECT_EQ(Lines(), Texts({"ab;", "plain"}));
  EXPECT_EQ(Message(), "1 marks removed.");
  FileCommands::StripMarks();
  EXPECT_EQ(Message(), "StripMarks - no marks found.");
}

TEST_F(FileCommandsTest, OpeningUtf8BeyondTheSetSaysSoAndSavingKeepsEveryByte) {
  // "π ≈ 3.14" in a file named "Größe.mod": the name is the workstation's characters.
  const std::string bytes = "(* Gr\xC3\xB6\xC3\x9F" "e \xCF\x80 \xE2\x89\x88 3.14 *)\r\n";
  File("Gr\xC3\xB6\xC3\x9F" "e.mod", bytes);
  backend.AnswerFileName(true, (dir / "Gr\xC3\xB6\xC3\x9F" "e.mod").string());
  FileCommands::Open();
  ASSERT_NE(Buffer::Find("/User/Gr\xF6\xDF" "e.mod"), nullptr);
  EXPECT_EQ(Message(), "UTF-8 beyond Windows-1252 kept as bytes: '" + dir.string() +
                           "/Gr\xF6\xDF" "e.mod'");
  Type("GOLD KP5 GOLD 4 KP3 GOLD 2 0 GOLD KP1 GOLD KP4 RETURN 'X'");
  ASSERT_TRUE(FileCommands::Save());
  std::ifstream in(dir / "Gr\xC3\xB6\xC3\x9F" "e.mod", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "(* GR\xC3\xB6\xC3\x9F" "E \xCF\x80 \xE2\x89\x88 3.14 *)\r\nX\r\n")
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

} // namespace
