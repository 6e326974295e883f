#include "platform/Startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <optional>
#include <string>
#include <vector>

#include "base/Strings.h"
#include "platform/Alerts.h"
#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"

using Texts = std::vector<std::string>;
using Kind = Toolbox::PlatformMessage::Kind;

namespace {

// Counts the frame's creation and destruction, so that a test sees the shutdown run once.
class CountingBackend : public Headless::HeadlessBackend {
public:
  bool CreateFrame(const std::string& title, std::int32_t width, std::int32_t height) override {
    ++created;
    return HeadlessBackend::CreateFrame(title, width, height);
  }
  void DestroyFrame() override {
    ++destroyed;
    HeadlessBackend::DestroyFrame();
  }
  int created = 0;
  int destroyed = 0;
};

// The procedures a test installs are plain procedures: they reach the test through these.
CountingBackend* backend = nullptr;
std::vector<std::string> trail;

void Note(const std::string& what) { trail.push_back(what); }

std::string CommandLine() {
  char text[1100] = {};
  Startup::GetCommandLine(text);
  return text;
}

Toolbox::PlatformMessage Message(Kind kind, std::vector<std::string> files = {}) {
  Toolbox::PlatformMessage m;
  m.kind = kind;
  m.files = std::move(files);
  return m;
}

// Takes events until the injected messages are used up; notes that the program is
// still running afterwards.
void ConsumeInjected() {
  Events::EventRecord r;
  while (backend->Pending() > 0) Events::GetNextEvent(0, r);
  Note("still running");
}

class StartupTest : public ::testing::Test {
protected:
  void SetUp() override {
    backend = &platform;
    trail.clear();
    platform.SetOutOfInputProc(Startup::Terminate);
  }
  int Run(const std::string& commandLine = "velmarin") {
    return Startup::Run(platform, Startup::Chars(commandLine));
  }

  CountingBackend platform;
};

TEST_F(StartupTest, CommandLineIsCutAt1023Characters) {
  EXPECT_EQ(Run(std::string(2000, 'x')), 0);
  EXPECT_EQ(CommandLine(), std::string(1023, 'x'));
  EXPECT_EQ(platform.created, 1);
  EXPECT_EQ(platform.destroyed, 1);
}

struct ArgumentCase {
  const char* name;
  const char* line;
  const char* key;
  bool found;
  const char* word;
};

class CommandArgumentTest : public StartupTest,
                            public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(CommandArgumentTest, ReturnsTheWholeWordHoldingTheKey) {
  const ArgumentCase& c = GetParam();
  Run(c.line);
  char word[64] = "unchanged";
  EXPECT_EQ(Startup::GetCommandArgument(word, base::CharsOf(c.key)), c.found);
  if (c.found) {
    EXPECT_STREQ(word, c.word);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandArgumentTest,
    ::testing::Values(ArgumentCase{"KeyStartsWord", "prog -Xabc def", "-x", true, "-Xabc"},
                      ArgumentCase{"KeyAbsent", "prog -Xabc def", "-Y", false, ""},
                      ArgumentCase{"KeyEndsLine", "prog def -x", "-X", true, "-x"},
                      ArgumentCase{"CommaSeparates", "one,two three", "TWO", true, "two"},
                      ArgumentCase{"QuotedName", "\"/home/me/a b.mod\", -q", ".MOD", true,
                                   "/home/me/a b.mod"},
                      ArgumentCase{"EmptyKey", "prog -Xabc def", "", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, DroppedFilesJoinTheCommandLineOneAtATime) {
  // Dispatched while the start-up drains the platform's messages.
  platform.Inject(Message(Kind::DropFiles, {"/tmp/a.mod"}));
  Startup::SetApplicationMain([] {
    Note(CommandLine());
    backend->Inject(Message(Kind::DropFiles, {"/tmp/b.def"}));
    backend->Inject(Message(Kind::DropFiles, {"/tmp/c", "/tmp/d"}));
    backend->Inject(Message(Kind::DropFiles, {"/" + std::string(300, 'n')}));
    while (Events::PumpOnce(false)) {}
    Note(CommandLine());
  });
  EXPECT_EQ(Run(""), 0);
  EXPECT_EQ(trail, (Texts{"\"/tmp/a.mod\"", "\"/tmp/a.mod\", \"/tmp/b.def\""}));
  EXPECT_EQ(platform.AlertLog(), (Texts{"One file at a time, please."}));
  // The name too long to keep whole is refused with a beep, not cut.
  EXPECT_EQ(std::count(platform.SoundLog().begin(), platform.SoundLog().end(), "Beep 1"), 1);
}

struct QuitCase {
  const char* name;
  int modified;
  std::vector<int> answers;
  std::optional<int> saveResult; // none: no save procedure installed
  bool ends;
};

QuitCase quitCase;
int saves = 0;
int commandWindow = 0;
int listWindow = 0;
void* output = nullptr;

class QuitTest : public StartupTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitTest, AsksOnlyForModifiedTextAndKeepsTheOutputWindowWhenItGoesOn) {
  quitCase = GetParam();
  saves = 0;
  for (int answer : quitCase.answers) platform.AnswerAlert(answer);
  Startup::SetModifiedCountProc([]() -> std::int32_t { return quitCase.modified; });
  if (quitCase.saveResult) {
    Startup::SetSaveModifiedProc([]() -> std::int32_t {
      ++saves;
      output = &listWindow; // saving reports into the List window
      return *quitCase.saveResult;
    });
  }
  Alerts::SetOutputWindowProcs([] { return output; }, [](void* w) { output = w; });
  Startup::SetApplicationMain([] {
    output = &commandWindow;
    Startup::CallQuitProcedure();
    Note(output == &commandWindow ? "running, output kept" : "running, output lost");
  });

  EXPECT_EQ(Run(), 0);
  if (quitCase.ends) {
    EXPECT_TRUE(trail.empty());
  } else {
    EXPECT_EQ(trail, (Texts{"running, output kept"}));
  }
  EXPECT_EQ(platform.destroyed, 1);
  const auto& alerts = platform.AlertLog();
  if (quitCase.modified == 0) {
    EXPECT_TRUE(alerts.empty());
  } else {
    ASSERT_FALSE(alerts.empty());
    EXPECT_EQ(alerts[0], "Quitting Velmarin:\r\rSave Modified Text ?");
  }
  if (alerts.size() > 1) {
    EXPECT_EQ(alerts[1], "An error occurred while saving files. QUIT anyway ?");
    EXPECT_NE(std::find(platform.SoundLog().begin(), platform.SoundLog().end(), "Beep 3"),
              platform.SoundLog().end());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, QuitTest,
    ::testing::Values(QuitCase{"NothingModified", 0, {}, 0, true},
                      QuitCase{"No", 2, {Alerts::kNo}, 0, true},
                      QuitCase{"YesSaved", 2, {Alerts::kYes}, 0, true},
                      QuitCase{"YesFailedQuitAnyway", 2, {Alerts::kYes, Alerts::kYes}, 1, true},
                      QuitCase{"YesFailedStay", 2, {Alerts::kYes, Alerts::kNo}, 1, false},
                      QuitCase{"YesSaveCancelled", 2, {Alerts::kYes}, -1, false},
                      QuitCase{"Cancel", 2, {Alerts::kCancel}, 0, false},
                      QuitCase{"NoWayToSave", 1, {Alerts::kYes, Alerts::kNo}, std::nullopt, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, ClosingTheFrameRunsTheCtrlQItem) {
  Startup::SetApplicationMain([] {
    Toolbox::Menu* file = Toolbox::NewMenu(3, "File");
    Toolbox::InsertMenu(file, 0);
    Toolbox::AppendItem(file, "Open");
    Toolbox::AppendItem(file, "Quit");
    Toolbox::SetItemCmd(file, 2, 'Q');
    backend->Inject(Message(Kind::FrameClose));
    Events::EventRecord r;
    do {
      Events::GetNextEvent(0, r);
    } while (r.what != Events::WindowEvent || r.detail != Events::MenuDetail);
    Note("menu command " + std::to_string(r.message));
  });
  Run();
  EXPECT_EQ(trail, (Texts{"menu command " + std::to_string(3 * 65536 + 2)}));
}

class EndingMessageTest : public StartupTest, public ::testing::WithParamInterface<Kind> {};

Kind endingKind;

// The frame's close box without a Ctrl+Q item, and the platform's demand to end.
TEST_P(EndingMessageTest, EndsAtOnceWithOneShutdown) {
  endingKind = GetParam();
  Startup::SetApplicationMain([] {
    backend->Inject(Message(endingKind));
    ConsumeInjected();
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(trail.empty());
  EXPECT_EQ(platform.destroyed, 1);
  EXPECT_FALSE(platform.FrameExists());
}

INSTANTIATE_TEST_SUITE_P(Messages, EndingMessageTest,
                         ::testing::Values(Kind::FrameClose, Kind::Quit));

bool settingsReadable = false;

// Every part of the start-up announces itself; the splash window is read at step 52.
Startup::ShellHooks NotingHooks(bool settingsRead) {
  Startup::ShellHooks hooks;
  hooks.initSound = [] { Note("sound"); };
  settingsReadable = settingsRead;
  hooks.initShellState = [] {
    Note("shell state");
    return settingsReadable;
  };
  hooks.installScrollProcs = [] { Note("scroll procedures"); };
  hooks.createShell = [] {
    Note("shell buffers");
    return Startup::ShellStart::Ok;
  };
  // The shell's window opens in front of the splash, which must stay on top.
  hooks.openShellWindows = [] {
    Note("shell windows");
    Toolbox::NewWindow({10, 10, 400, 300}, "Command", true, Toolbox::kDocumentWindow, true,
                       nullptr);
  };
  hooks.setUpMenus = [] {
    std::string shown;
    for (const std::string& row : backend->Screen(Toolbox::Windows().front())) shown += row + "\n";
    Note(shown.find("Initializing Velmarin...") != std::string::npos &&
                 shown.find("52") != std::string::npos
             ? "menus, splash at 52"
             : "menus, splash shows:\n" + shown);
  };
  hooks.readSettings = [] { Note("settings again"); };
  hooks.enterCommandWindow = [] { Note("command window"); };
  return hooks;
}

TEST_F(StartupTest, MainBodyRunsModulesThenStartupSequenceInOrder) {
  Startup::SetModuleBody(Startup::MainImport::Settings, [] { Note("Settings"); });
  Startup::SetModuleBody(Startup::MainImport::AnsiTerm, [] { Note("AnsiTerm"); });
  Startup::SetModuleBody(Startup::MainImport::FileCommands, [] { Note("FileCommands"); });
  Startup::SetShellHooks(NotingHooks(true));
  Startup::SetApplicationMain(
      [] { Note(Toolbox::Windows().size() == 1 ? "main, splash closed" : "main, splash open"); });
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(trail,
            (Texts{"AnsiTerm", "FileCommands", "Settings", "sound", "shell state",
                   "scroll procedures", "shell buffers", "shell windows", "menus, splash at 52",
                   "settings again", "command window", "main, splash closed"}));
  EXPECT_EQ(platform.FrameTitle(), "Velmarin");
}

TEST_F(StartupTest, SettingsAreReadAgainOnlyAfterTheFirstReadSucceeded) {
  Startup::SetShellHooks(NotingHooks(false));
  Run();
  EXPECT_EQ(trail, (Texts{"sound", "shell state", "scroll procedures", "shell buffers",
                          "shell windows", "menus, splash at 52", "command window"}));
}

struct ShellFailure {
  const char* name;
  Startup::ShellStart start;
  const char* message; // nullptr: the run goes on without the shell windows
};

class ShellStartTest : public StartupTest, public ::testing::WithParamInterface<ShellFailure> {};

Startup::ShellStart shellStart;

TEST_P(ShellStartTest, MissingHeapsEndTheRunWithTheirMessage) {
  shellStart = GetParam().start;
  Startup::ShellHooks hooks;
  hooks.createShell = [] { return shellStart; };
  hooks.openShellWindows = [] { Note("shell windows"); };
  Startup::SetShellHooks(hooks);
  Startup::SetApplicationMain([] { Note("main"); });
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(platform.destroyed, 1);
  if (GetParam().message == nullptr) {
    EXPECT_EQ(trail, (Texts{"main"}));
    EXPECT_TRUE(platform.AlertLog().empty());
  } else {
    EXPECT_TRUE(trail.empty());
    EXPECT_EQ(platform.AlertLog(), (Texts{GetParam().message}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ShellStartTest,
    ::testing::Values(
        ShellFailure{"NoBuffers", Startup::ShellStart::NoBuffers, nullptr},
        ShellFailure{"NoGraphics", Startup::ShellStart::NoGraphics, "Graphics not initialized!"},
        ShellFailure{"NoTerminal", Startup::ShellStart::NoTerminal, "ANSITerm not initialized!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, FloatingPointIsResetBeforeTheInfinitiesAreProbed) {
  Startup::ShellHooks hooks;
  hooks.initSound = [] {
    // A library left rounding upward and division by zero trapping; step 56 would
    // end the process if step 55 did not undo this.
    std::fesetround(FE_UPWARD);
    feenableexcept(FE_DIVBYZERO | FE_OVERFLOW);
  };
  Startup::SetShellHooks(hooks);
  Startup::SetApplicationMain([] {
    Note(std::fegetround() == FE_TONEAREST ? "to nearest" : "other rounding");
    Note(fegetexcept() == 0 ? "masked" : "trapping");
  });
  Run();
  EXPECT_EQ(trail, (Texts{"to nearest", "masked"}));
}

TEST(FrameSizeTest, ScalesWithTheDpiAndStaysInsideTheScreen) {
  EXPECT_EQ(Startup::FrameSize(96.0, {0, 0, 1920, 1080}), (Toolbox::Point{816, 624}));
  EXPECT_EQ(Startup::FrameSize(72.0, {0, 0, 1920, 1080}), (Toolbox::Point{612, 468}));
  EXPECT_EQ(Startup::FrameSize(96.0, {0, 0, 800, 600}), (Toolbox::Point{760, 570}));
}

} // namespace
