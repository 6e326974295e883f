#include "platform/Alerts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/FileSystem.h"

namespace {

using Texts = std::vector<std::string>;

int commandWindow = 0;
int otherWindow = 0;
void* output = nullptr;

// A platform whose dialogs leave the shell writing into another window, as a window
// activated under an alert would.
class MeddlingBackend : public Headless::HeadlessBackend {
public:
  int MessageBox(const std::string& text, int code) override {
    output = &otherWindow;
    return HeadlessBackend::MessageBox(text, code);
  }
  bool AskStrings(const std::vector<std::string>& prompts,
                  std::vector<std::string>& answers) override {
    output = &otherWindow;
    return HeadlessBackend::AskStrings(prompts, answers);
  }
};

class AlertsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Toolbox::InstallBackend(&platform);
    Toolbox::Init();
    Alerts::Init();
    output = &commandWindow;
    Alerts::SetOutputWindowProcs([] { return output; }, [](void* w) { output = w; });
  }
  void TearDown() override {
    Toolbox::Shutdown();
    Toolbox::InstallBackend(nullptr);
  }

  MeddlingBackend platform;
};

TEST_F(AlertsTest, AskIntReadsTheLeadingInteger) {
  platform.AnswerStrings(true, {"12abc"});
  platform.AnswerStrings(true, {"abc"});
  platform.AnswerStrings(false, {"99"});
  platform.AnswerStrings(true); // the default's own text comes back
  EXPECT_EQ(Alerts::AskInt("Count:", 5), 12);
  EXPECT_EQ(Alerts::AskInt("Count:", 5), 5);
  EXPECT_EQ(Alerts::AskInt("Count:", 5), 5);
  EXPECT_EQ(Alerts::AskInt("Count:", -42), -42);
}

TEST_F(AlertsTest, AskRealTakesSiPrefixesButOnlyWholeAnswers) {
  for (const char* answer : {"2k", "1.5e3", "2x", "2 k"}) platform.AnswerStrings(true, {answer});
  platform.AnswerStrings(true);
  platform.AnswerStrings(true);
  EXPECT_EQ(Alerts::AskReal("Value:", 7.0), 2000.0);
  EXPECT_EQ(Alerts::AskReal("Value:", 7.0), 1500.0);
  EXPECT_EQ(Alerts::AskReal("Value:", 7.0), 7.0);
  EXPECT_EQ(Alerts::AskReal("Value:", 7.0), 2000.0);
  // The defaults as shown read back as themselves.
  EXPECT_EQ(Alerts::AskReal("Value:", 1234.5), 1234.5);
  EXPECT_EQ(Alerts::AskFixed("Value:", 2.5, 3), 2.5);
}

struct AnswerCase {
  const char* name;
  int platformAnswer;
  int yesNoCancel;
  int yesNo;
};

class AnswerMappingTest : public AlertsTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerMappingTest, PlatformAnswersBecomeYesCancelNo) {
  const AnswerCase& c = GetParam();
  platform.AnswerAlert(c.platformAnswer);
  platform.AnswerAlert(c.platformAnswer);
  platform.AnswerAlert(c.platformAnswer);
  EXPECT_EQ(Alerts::AskYesNoCancel("Save?", Alerts::kYes), c.yesNoCancel);
  EXPECT_EQ(Alerts::AskYesNo("Save?", Alerts::kYes), c.yesNo);
  EXPECT_EQ(Alerts::Ask("Save?", true), c.yesNo == Alerts::kYes);
}

// 2 is also what the close box answers.
INSTANTIATE_TEST_SUITE_P(Answers, AnswerMappingTest,
                         ::testing::Values(AnswerCase{"Yes", 1, Alerts::kYes, Alerts::kYes},
                                           AnswerCase{"CancelOrCloseBox", 2, Alerts::kCancel,
                                                      Alerts::kNo},
                                           AnswerCase{"No", 3, Alerts::kNo, Alerts::kNo},
                                           AnswerCase{"Other", 0, Alerts::kCancel, Alerts::kNo}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AlertsTest, DefaultAnswerChoosesTheAlert) {
  Alerts::AskYesNoCancel("a", Alerts::kYes);
  Alerts::AskYesNoCancel("b", Alerts::kNo);
  Alerts::AskYesNoCancel("c", Alerts::kCancel);
  Alerts::AskYesNoCancel("d", 0);
  Alerts::AskYesNo("e", Alerts::kYes);
  Alerts::AskYesNo("f", Alerts::kCancel);
  Alerts::Ask("g", false);
  Alerts::Message("h");
  Alerts::Note("i", "j", "k", "l");
  EXPECT_EQ(platform.Unanswered(),
            (Texts{"Alert 134: a", "Alert 135: b", "Alert 136: c", "Alert 136: d", "Alert 133: e",
                   "Alert 132: f", "Alert 132: g", "Alert 131: h", "Alert 160: ijkl"}));
}

TEST_F(AlertsTest, PromptsRestoreTheOutputWindowAndStopSound) {
  platform.AnswerStrings(true, {"x"});
  Alerts::Message("m");
  EXPECT_EQ(output, &commandWindow);
  char answer[8] = "";
  EXPECT_TRUE(Alerts::AskString("Name:", answer));
  EXPECT_EQ(output, &commandWindow);
  EXPECT_EQ(platform.SoundLog(), (Texts{"StopTone", "StopTone"}));
}

TEST_F(AlertsTest, AnswersAreCutToTheirArraysAndCancelKeepsThem) {
  platform.AnswerStrings(true, {"a rather long answer"});
  platform.AnswerStrings(false, {"ignored"});
  char answer[8] = "old";
  EXPECT_TRUE(Alerts::AskString("Name:", answer));
  EXPECT_STREQ(answer, "a rathe");
  EXPECT_FALSE(Alerts::AskString("Name:", answer));
  EXPECT_STREQ(answer, "a rathe");

  Alerts::Message(std::string(400, 'm'));
  EXPECT_EQ(platform.AlertLog().back(), std::string(255, 'm'));
}

TEST_F(AlertsTest, FileErrorMessageAddsTheLastFileSystemError) {
  EXPECT_FALSE(FileSystem::ChangeDirectory("/no/such/directory/here"));
  Alerts::FileErrorMessage("Cannot enter");
  EXPECT_EQ(platform.AlertLog(), (Texts{"Cannot enter: directory not found"}));
  EXPECT_EQ(platform.SoundLog(), (Texts{"StopTone", "Beep 1", "StopTone"}));
}

} // namespace
