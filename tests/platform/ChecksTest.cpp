#include "platform/Checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Startup.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"

namespace {

using Texts = std::vector<std::string>;

class CountingBackend : public Headless::HeadlessBackend {
public:
  void DestroyFrame() override {
    ++destroyed;
    HeadlessBackend::DestroyFrame();
  }
  int destroyed = 0;
};

std::vector<std::string> trail;

void Note(const std::string& what) { trail.push_back(what); }

// Runs main as the application inside the whole start-up and shutdown.
class ChecksTest : public ::testing::Test {
protected:
  void SetUp() override {
    trail.clear();
    platform.SetOutOfInputProc(Startup::Terminate);
  }
  int Run(Startup::Proc main) {
    Startup::SetApplicationMain(main);
    return Startup::Run(platform, "velmarin");
  }

  CountingBackend platform;
};

struct TrapCase {
  const char* name;
  Startup::Proc trap;
  const char* message;
};

class TrapTest : public ChecksTest, public ::testing::WithParamInterface<TrapCase> {};

Startup::Proc trap = nullptr;

TEST_P(TrapTest, ShowsTheMessageAndShutsDownOnce) {
  trap = GetParam().trap;
  EXPECT_EQ(Run([] {
              trap();
              Note("went on after the trap");
            }),
            0);
  EXPECT_TRUE(trail.empty());
  EXPECT_EQ(platform.AlertLog(), (Texts{GetParam().message}));
  EXPECT_EQ(platform.destroyed, 1);
}

INSTANTIATE_TEST_SUITE_P(Traps, TrapTest,
                         ::testing::Values(TrapCase{"CaseError", Checks::CaseError, "Case error."},
                                           TrapCase{"FunctionReturnError",
                                                    Checks::FunctionReturnError,
                                                    "Function return error."},
                                           TrapCase{"Halt", Checks::Halt, "HALT called."},
                                           TrapCase{"Break", Checks::Break, "BREAK called."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChecksTest, NilPointerBreaksOffAndOthersPass) {
  Run([] {
    static const int value = 0;
    Checks::CheckPointer(&value);
    Note("good pointer passed");
    Checks::CheckPointer(nullptr);
    Note("went on after NIL");
  });
  EXPECT_EQ(trail, (Texts{"good pointer passed"}));
  EXPECT_EQ(platform.AlertLog(), (Texts{"Pointer is NIL!", "BREAK called."}));
}

TEST_F(ChecksTest, NoCheckStopsFurtherAlertsOfThatKindAndContinueDoesNot) {
  platform.AnswerThreeButtons(2); // output: No Check
  platform.AnswerThreeButtons(1); // input: Continue
  platform.AnswerThreeButtons(2); // input: No Check
  Run([] {
    Checks::SetCheckOutputHandles(true);
    Checks::SetCheckInputHandles(true);
    Checks::CheckOutputHandle();
    Checks::CheckOutputHandle();
    for (int i = 0; i < 3; ++i) Note(Checks::CheckInputHandle(nullptr) ? "bad" : "good");
    int handle = 0;
    Note(Checks::CheckInputHandle(&handle) ? "bad" : "good");
    Note(Checks::CheckOutputHandles() || Checks::CheckInputHandles() ? "checking" : "not checking");
  });
  EXPECT_EQ(trail, (Texts{"bad", "bad", "bad", "good", "not checking"}));
  EXPECT_EQ(platform.AlertLog(),
            (Texts{"Output handle/adr Error!", "Input handle = NIL!", "Input handle = NIL!"}));
}

// BREAK outside a run is Quit: with nothing modified the program ends at once.
TEST_F(ChecksTest, BufferStoreFailuresReachTheCheckAlert) {
  platform.AnswerThreeButtons(2);
  platform.AnswerThreeButtons(3);
  Run([] {
    Buffer::SetChecks(true, true);
    Note(Buffer::Allocate(nullptr, 16) == nullptr ? "refused" : "allocated");
    Note(Checks::CheckInputHandles() ? "input on" : "input off");
    static_cast<void>(Buffer::Allocate(nullptr, 16)); // silent now
    Checks::CheckOutputHandle();                      // answered BREAK
    Note("went on after BREAK");
  });
  EXPECT_EQ(trail, (Texts{"refused", "input off"}));
  EXPECT_EQ(platform.AlertLog(), (Texts{"Input handle = NIL!", "Output handle/adr Error!"}));
}

// With a modified text Quit asks first, and Cancel (or Escape) keeps the program, the
// failed operation returning its failure.
TEST_F(ChecksTest, BreakOutsideARunAsksQuitsQuestion) {
  platform.AnswerThreeButtons(3);
  platform.AnswerAlert(2); // "Save Modified Text ?": Cancel
  Startup::SetModifiedCountProc([] { return std::int32_t{1}; });
  Run([] {
    Buffer::SetChecks(true, true);
    Note(Buffer::Create("/Nope/x", Buffer::BufferKind::Text) == nullptr ? "refused" : "made");
    Note("went on after BREAK");
  });
  Startup::SetModifiedCountProc(nullptr);
  EXPECT_EQ(trail, (Texts{"refused", "went on after BREAK"}));
  ASSERT_EQ(platform.AlertLog().size(), 2u);
  EXPECT_EQ(platform.AlertLog()[0], "Output handle/adr Error!");
  EXPECT_NE(platform.AlertLog()[1].find("Save Modified Text ?"), std::string::npos);
}

TEST_F(ChecksTest, EndOfRunClearsBothSwitches) {
  Run([] {
    Checks::SetCheckOutputHandles(true);
    Checks::SetCheckInputHandles(true);
  });
  EXPECT_FALSE(Checks::CheckOutputHandles());
  EXPECT_FALSE(Checks::CheckInputHandles());
}

} // namespace
