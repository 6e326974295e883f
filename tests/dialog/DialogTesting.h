// Dialogs on the headless backend: a test builds a dialog, injects clicks, drags and
// keys at its items, runs the event step until they are used up, and reads the bound
// variables, the reports on the text output and the alerts.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "dialog/Dialog.h"
#include "platform/Events.h"
#include "platform/KeyScript.h"
#include "platform/Startup.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "windows/KeyEvents.h"

class DialogFixture : public ::testing::Test {
public:
  using Kind = Toolbox::PlatformMessage::Kind;
  static constexpr int kHighest = 12;

  DialogFixture() : backend(Settings()) {}

  void SetUp() override {
    ASSERT_TRUE(Headless::StartPlatform(backend));
    Buffer::Init();
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
    output = std::tmpfile();
    TextIO::SetConsoleFiles(nullptr, output);
    TextIO::SetConsole(true);
    Dialog::Testing::SetScreenScale(1.0);
    char pattern[] = "/tmp/dialogtestXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(dir)));
  }

  void TearDown() override {
    for (Dialog::DialogRecord* d : made) Dialog::Dispose(*d);
    TextIO::SetConsole(false);
    TextIO::SetConsoleFiles(nullptr, nullptr);
    std::fclose(output);
    Headless::StopPlatform();
    std::system(("rm -rf " + dir).c_str());
  }

  // A dialog named name with highest items (all undefined), 400 x 300 points at (20, 50).
  void Make(Dialog::DialogRecord& d, Dialog::DialogItem** items, const char* name,
            bool configurable = false, std::int16_t highest = kHighest, std::int16_t version = 0) {
    ASSERT_TRUE(Dialog::Init(d, items, highest, configurable, true, base::CharsOf(name),
                             base::CharsOf(name), 0, 10, highest, 20, 350, 400, 300, version));
    made.push_back(&d);
  }
  void Open(Dialog::DialogRecord& d, Dialog::DialogProc layout = nullptr) {
    ASSERT_TRUE(Dialog::Open(d, Toolbox::kDocumentWindow, layout, nullptr, false,
                             Dialog::WindowOptions{}, false));
    // The focus changes and paints the new window brings.
    while (Events::PumpOnce(false)) {}
    Run();
  }

  // Runs the event step until the injected messages and the queue are used up.
  void Run() {
    Startup::RunToEnd([&] {
      while (backend.Pending() > 0 || Events::QueuedCount() > 0) Dialog::EventStep();
    });
  }
  void Type(const std::string& script) {
    std::vector<Toolbox::PlatformMessage> messages;
    std::string error;
    ASSERT_TRUE(KeyScript::Parse(script, messages, error)) << error;
    backend.Inject(messages);
    Run();
  }
  // A mouse message at a point of the dialog's window, at a time (0: the next step).
  void Mouse(const Dialog::DialogRecord& d, Kind kind, Toolbox::Point p, std::uint32_t time = 0,
             std::uint32_t keyState = 0, int button = 1) {
    Toolbox::PlatformMessage m;
    m.kind = kind;
    m.window = d.window;
    const Toolbox::Rect frame = Toolbox::GetWindowRect(d.window);
    m.where = Toolbox::Point{frame.left + p.h, frame.top + p.v};
    m.button = kind == Kind::MouseMove ? 0 : button;
    m.time = time;
    m.keyState = keyState;
    backend.Inject(m);
  }
  static Toolbox::Point Centre(Dialog::DialogRecord& d, int index) {
    const Toolbox::Rect& r = d.items[index]->rect;
    return Toolbox::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // A click at the item's centre, then the keys of a script (what an edit it starts takes).
  // Clicks a second apart make no double clicks.
  void Click(Dialog::DialogRecord& d, int index, const std::string& keys = "") {
    const std::uint32_t t = NextTime();
    Mouse(d, Kind::ButtonDown, Centre(d, index), t);
    Mouse(d, Kind::ButtonUp, Centre(d, index), t + 10);
    Type(keys);
  }
  // A time a second after the last one asked for.
  std::uint32_t NextTime() { return time += 1000; }

  // What was written on the text output.
  std::string Output() {
    std::fflush(output);
    std::rewind(output);
    std::string text;
    for (int c = std::getc(output); c != EOF; c = std::getc(output)) text += static_cast<char>(c);
    return text;
  }

  Headless::HeadlessBackend backend;
  std::FILE* output = nullptr;
  std::string dir;
  std::vector<Dialog::DialogRecord*> made;
  std::uint32_t time = 150000;

private:
  static Headless::Config Settings() {
    Headless::Config c;
    c.idleLimit = 2;
    return c;
  }
};

// The modal tools (the configuration, the colour picker): the user's steps run whenever
// the tool waits for input; a step that only looks is followed by the next at once.
class ModalFixture : public DialogFixture {
public:
  void SetUp() override {
    DialogFixture::SetUp();
    steps.clear();
    running = this;
    backend.SetOutOfInputProc(NextStep);
  }

  // Runs the tool with the steps; false when it waited for more than they gave.
  bool Modal(std::vector<std::function<void()>> given, const std::function<void()>& tool) {
    for (auto& s : given) steps.push_back(std::move(s));
    if (Startup::RunToEnd(tool)) return true;
    ADD_FAILURE() << steps.size() << " steps left; the output: " << Output();
    return false;
  }
  // A click on an item, delivered next; keys of a script, delivered next.
  void Press(Dialog::DialogRecord& d, int index) {
    const std::uint32_t t = NextTime();
    Mouse(d, Kind::ButtonDown, Centre(d, index), t);
    Mouse(d, Kind::ButtonUp, Centre(d, index), t + 10);
  }
  void Keys(const std::string& script) {
    std::vector<Toolbox::PlatformMessage> messages;
    std::string error;
    ASSERT_TRUE(KeyScript::Parse(script, messages, error)) << error;
    backend.Inject(messages);
  }

private:
  static void NextStep() {
    while (!running->steps.empty() && running->backend.Pending() == 0) {
      const std::function<void()> step = running->steps.front();
      running->steps.pop_front();
      step();
    }
  }
  static inline ModalFixture* running = nullptr;
  std::deque<std::function<void()>> steps;
};
