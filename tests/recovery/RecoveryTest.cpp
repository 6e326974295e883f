// Recovery files: their format (a round trip, each damage told apart), the journal that
// keeps every modified text's file up to date whatever the edits and however far its copy
// has come, the files going when texts are stored, deleted or discarded, and the offer of
// what a workstation that ended left behind.
#include "recovery/Recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/headless/HeadlessBackend.h"
#include "recovery/RecoveryFile.h"
#include "store/Lines.h"

namespace {

using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

std::string Encoded(const RecoveryFile::Header& h, const Texts& lines) {
  std::string out;
  RecoveryFile::AppendHeader(h, out);
  for (const std::string& line : lines) RecoveryFile::AppendLine(line, out);
  RecoveryFile::AppendEnd(out);
  return out;
}

TEST(RecoveryFileTest, RoundTripAndEachDamageToldApart) {
  const RecoveryFile::Header h{"/User/A b", "/home/x:\ny/", 1765112431, 4, 2, 1, true, false};
  const Texts lines = {"first", "",
                       std::string("\n\r\xff"
                                   "end",
                                   6),
                       std::string(300, 'z')};
  const std::string good = Encoded(h, lines);
  RecoveryFile::Text text;
  std::string reason;
  ASSERT_TRUE(RecoveryFile::Read(good, text, reason)) << reason;
  EXPECT_EQ(text.header.name, h.name);
  EXPECT_EQ(text.header.directory, h.directory);
  EXPECT_EQ(text.header.changed, h.changed);
  EXPECT_EQ(text.header.coding, 2);
  EXPECT_EQ(text.header.lineEnd, 1);
  EXPECT_TRUE(text.header.byteOrderMark);
  EXPECT_FALSE(text.header.softLineEnds);
  EXPECT_EQ(text.lines, lines);

  // Cut short anywhere, the file is refused.
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(RecoveryFile::Read(good.substr(0, n), text, reason)) << n;
  const struct {
    std::string bytes;
    const char* reason;
  } bad[] = {
      {"VELMARIN RECOVERY 2\n", "not a recovery file"},
      {good + "x", "no proper end"},
      {Encoded({"/A", "", 0, 1}, {std::string("a\0b", 3)}), "damaged or missing line 1"},
      {Encoded({"/A", "", 0, 3}, {"one"}), "damaged or missing line 2"},
      {Encoded({"", "", 0, 0}, {}), "damaged heading"},
      {Encoded({"/A", "", 0, -1}, {}), "damaged heading"},
      {Encoded({"/A", "", 0, 0, 3}, {}), "damaged heading"},
      {Encoded({"/A", "", 0, 0, 0, 5}, {}), "damaged heading"},
      {"VELMARIN RECOVERY 1\nname 99999999999999999999:x\n", "damaged heading"},
      {"VELMARIN RECOVERY 1\nname 2:/A\ndirectory 0:\nchanged 1\nlines 400000000\nend\n",
       "damaged or missing line 1"},
  };
  ASSERT_TRUE(RecoveryFile::Read("VELMARIN RECOVERY 1\nname 2:/A\ndirectory 0:\nchanged 1\n"
                                 "lines 1\n1:a\nend\n",
                                 text, reason))
      << reason;
  EXPECT_EQ(text.header.coding, 0);
  EXPECT_EQ(text.header.lineEnd, -1);
  for (const auto& b : bad) {
    EXPECT_FALSE(RecoveryFile::Read(b.bytes, text, reason)) << b.reason;
    EXPECT_EQ(reason, b.reason);
  }
}

class RecoveryTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Headless::StartPlatform(backend));
    Buffer::Testing::Reset();
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
    dir = fs::temp_directory_path() / ("velmarin-recovery-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ASSERT_TRUE(Recovery::Start(dir.string()));
  }
  void TearDown() override {
    Recovery::Stop(true);
    fs::remove_all(dir);
    Headless::StopPlatform();
  }

  static Buffer::Ref Text(const std::string& path, const Texts& lines, bool modified = true) {
    Buffer::Ref b = Buffer::Create(base::CharsOf(path), Buffer::BufferKind::Text);
    EXPECT_NE(b, nullptr);
    for (const std::string& line : lines) EXPECT_TRUE(Lines::Append(b, base::CharsOf(line)));
    Lines::SetModified(b, modified);
    return b;
  }
  static Texts LinesOf(Buffer::Ref b) {
    Texts t;
    for (std::int32_t n = 1; n <= Lines::Count(b); ++n) t.emplace_back(Lines::View(b, n));
    return t;
  }
  RecoveryFile::Text Read(const std::string& file) const {
    std::ifstream in(dir / file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RecoveryFile::Text text;
    std::string reason;
    EXPECT_TRUE(RecoveryFile::Read(bytes, text, reason)) << file << ": " << reason;
    return text;
  }
  // The texts the journal's files hold, by name, once it has written what it has.
  std::map<std::string, RecoveryFile::Text> Files() {
    EXPECT_TRUE(Recovery::Testing::Settle(10));
    std::map<std::string, RecoveryFile::Text> texts;
    for (const std::string& file : Recovery::Testing::OwnFiles()) {
      RecoveryFile::Text t = Read(file);
      texts[t.header.name] = std::move(t);
    }
    return texts;
  }
  std::map<std::string, Texts> Journaled() {
    std::map<std::string, Texts> texts;
    for (auto& [name, t] : Files()) texts[name] = t.lines;
    return texts;
  }
  // A file of a workstation that ended, as its journal would have left it.
  void LeaveFile(const std::string& file, const RecoveryFile::Header& h, const Texts& lines) {
    std::ofstream(dir / file, std::ios::binary) << Encoded(h, lines);
  }

  Headless::HeadlessBackend backend;
  fs::path dir;
};

// Every kind of change, at random places, some of them while the journal's copy of the
// text is still being made: the file holds the text exactly.
TEST_F(RecoveryTest, TheFileFollowsEveryChangeOfTheText) {
  Texts model;
  for (int i = 0; i < 5000; ++i) model.push_back("line " + std::to_string(i));
  Buffer::Ref b = Text("/User/Big", model);
  Lines::Form form;
  form.coding = Charset::Coding::Bytes;
  form.lineEnd = 0;
  ASSERT_TRUE(Lines::SetForm(b, form));
  std::mt19937 random(7);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  for (int step = 0; step < 3000; ++step) {
    if (step % 10 == 0) static_cast<void>(Recovery::Idle());
    const auto count = static_cast<std::int32_t>(model.size());
    const std::int32_t at = pick(count) + 1;
    const std::string text = "step " + std::to_string(step);
    switch (pick(5)) {
    case 0:
      ASSERT_TRUE(Lines::Set(b, at, base::CharsOf(text)));
      model[at - 1] = text;
      break;
    case 1: {
      const std::int32_t n = pick(2500) + 1;
      ASSERT_TRUE(Lines::Insert(b, at, n));
      model.insert(model.begin() + at - 1, n, "");
      break;
    }
    case 2: {
      const std::int32_t n = std::min(pick(2500) + 1, count - 1);
      Lines::Delete(b, at, n);
      model.erase(model.begin() + at - 1, model.begin() + std::min(count, at - 1 + n));
      break;
    }
    default:
      ASSERT_TRUE(Lines::Append(b, base::CharsOf(text)));
      model.push_back(text);
      break;
    }
    ASSERT_EQ(static_cast<std::size_t>(Lines::Count(b)), model.size());
  }
  EXPECT_EQ(Journaled(), (std::map<std::string, Texts>{{"/User/Big", model}}));
  // The form of its file goes with it.
  const RecoveryFile::Header h = Files()["/User/Big"].header;
  EXPECT_EQ(h.coding, 1);
  EXPECT_EQ(h.lineEnd, 0);
}

// Only the user's modified texts have files: the command text and texts outside /Shell.
// A file goes when its text is stored, deleted, or discarded at the end; a rename gives
// it the new name.
TEST_F(RecoveryTest, FilesComeAndGoWithModifiedTexts) {
  Buffer::Ref command = Buffer::Find("/Shell/Command");
  ASSERT_TRUE(Lines::Append(command, "MODULE Command;"));
  Lines::SetModified(command, true);
  Buffer::Ref a = Text("/User/A", {"a"});
  Buffer::SetFilePath(a, "/home/ann/");
  Text("/User/Kept", {"k"}, false);
  Text("/Shell/Notebook", {"n"});
  ASSERT_NE(Buffer::Create("/Proj", Buffer::BufferKind::Directory), nullptr);
  Buffer::Ref b = Text("/Proj/B", {"b1", "b2"});
  EXPECT_EQ(Journaled(), (std::map<std::string, Texts>{{"/Shell/Command", {"MODULE Command;"}},
                                                       {"/User/A", {"a"}},
                                                       {"/Proj/B", {"b1", "b2"}}}));
  EXPECT_EQ(Files()["/User/A"].header.directory, "/home/ann/");

  Lines::SetModified(command, false); // stored
  b = Buffer::Rename(b, "/User/B2");
  ASSERT_NE(b, nullptr);
  Buffer::Delete(a);
  EXPECT_EQ(Journaled(), (std::map<std::string, Texts>{{"/User/B2", {"b1", "b2"}}}));
  Recovery::Stop(true);
  EXPECT_TRUE(fs::is_empty(dir));
  ASSERT_TRUE(Recovery::Start(dir.string()));
}

// A signal's end writes every modified text at once, without waiting for the quiet
// time or the writer.
TEST_F(RecoveryTest, WriteAllNowWritesAtOnce) {
  Text("/User/A", {"a"});
  Recovery::WriteAllNow();
  ASSERT_EQ(Recovery::Testing::OwnFiles().size(), 1u);
  EXPECT_EQ(Read(Recovery::Testing::OwnFiles()[0]).lines, Texts({"a"}));
}

// The files of a workstation that ended are offered one by one: Recover makes the text
// again, modified and journaled by this workstation; Discard removes the file; Later and
// Escape keep it. A workstation that still runs (it holds its lock) is left alone, and a
// damaged file is put aside with a message.
TEST_F(RecoveryTest, WhatAnEndedWorkstationLeftIsOffered) {
  LeaveFile("1_dead-1.rec", {"/User/Notes", "/home/ann/", 1765112431, 2, 2, 1}, {"one", "two"});
  LeaveFile("1_dead-2.rec", {"/Shell/Command", "/home/ann/", 1765112431, 1}, {"MODULE C;"});
  LeaveFile("1_dead-3.rec", {"/Deep/Dir/T", "", 1, 1}, {"t"});
  LeaveFile("1_dead-4.rec", {"/User/Gone", "", 1, 1}, {"g"});
  LeaveFile("1_dead-5.rec", {"/User/Later", "", 1, 1}, {"l"});
  LeaveFile("1_dead-6.rec", {"/User/Escaped", "", 1, 1}, {"e"});
  std::ofstream(dir / "1_dead-7.rec") << "VELMARIN RECOVERY 1\nname 2:/X";
  LeaveFile("2_live-1.rec", {"/User/Live", "", 1, 1}, {"x"});
  const int live = ::open((dir / "2_live.lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(live, LOCK_EX | LOCK_NB), 0);
  Text("/User/Notes", {"already here"}, false);

  for (int answer : {1, 1, 1, 2, 3, 0}) backend.AnswerThreeButtons(answer);
  const std::vector<Buffer::Ref> recovered = Recovery::Offer();
  ASSERT_EQ(recovered.size(), 3u);
  EXPECT_EQ(
      backend.AlertLog().front(),
      std::string("Recover the text /User/Notes ?\r\rFile: /home/ann/Notes\rLast change: ") + [] {
        char t[40];
        const std::time_t s = 1765112431;
        std::strftime(t, sizeof t, "%Y/%m/%d %H:%M:%S", std::localtime(&s));
        return std::string(t);
      }());
  EXPECT_EQ(backend.AlertLog().back(), "The recovery file 1_dead-7.rec is damaged (damaged "
                                       "heading) and is kept as 1_dead-7.rec.damaged.");
  // The text of that name stays; the recovered one takes a name beside it.
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Notes")), Texts({"already here"}));
  EXPECT_EQ(recovered[0], Buffer::Find("/User/Notes~2"));
  EXPECT_EQ(LinesOf(recovered[0]), Texts({"one", "two"}));
  EXPECT_TRUE(Lines::Modified(recovered[0]));
  char path[300];
  Buffer::GetFilePath(recovered[0], path);
  EXPECT_STREQ(path, "/home/ann/");
  EXPECT_EQ(recovered[1], Buffer::Find("/Shell/Command"));
  EXPECT_EQ(LinesOf(recovered[1]), Texts({"MODULE C;"}));
  EXPECT_EQ(LinesOf(Buffer::Find("/Deep/Dir/T")), Texts({"t"}));
  // A text of UTF-8 kept as bytes comes back so: storing it must not encode it again.
  const Lines::Form form = Lines::GetForm(recovered[0]);
  EXPECT_EQ(form.coding, Charset::Coding::Utf8Bytes);
  EXPECT_EQ(form.lineEnd, 1);
  EXPECT_EQ(Lines::GetForm(recovered[1]).coding, Charset::Coding::Utf8);

  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind("1_dead", 0) == 0 ||
        e.path().filename().string().rfind("2_", 0) == 0)
      left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Texts{"1_dead-5.rec", "1_dead-6.rec", "1_dead-7.rec.damaged", "1_dead.lock",
                         "2_live-1.rec", "2_live.lock"}));
  // This workstation journals what it recovered.
  EXPECT_EQ(Recovery::Testing::OwnFiles().size(), 3u);
  ::close(live);
}

} // namespace
