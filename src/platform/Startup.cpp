#include "platform/Startup.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/NumberOut.h"
#include "base/RealMath.h"
#include "base/Strings.h"
#include "platform/Alerts.h"
#include "platform/Checks.h"
#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace Startup {

namespace {

using Toolbox::Point;
using Toolbox::Rect;

constexpr std::size_t kCommandLineHigh = 1023;
constexpr std::size_t kTitleHigh = 39;
constexpr std::size_t kQuitTextHigh = 79;
constexpr std::size_t kSplashTextHigh = 49;
constexpr std::size_t kFileNameHigh = 259;
constexpr std::size_t kKeyHigh = 15;
constexpr std::size_t kWordHigh = 255;

// The frame window in logical units; a logical unit is dpi × 0.0125 pixels.
constexpr double kFrameWidth = 680.0;
constexpr double kFrameHeight = 520.0;
constexpr double kFrameScale = 0.0125;

// The splash window and what it shows, in splash units (ScreenScale pixels each).
constexpr Rect kSplashBounds{140, 102, 478, 328};
constexpr Point kSplashMessageAt{10, 216};
constexpr Point kSplashStepAt{270, 216};
constexpr int kSplashMessageStyle = Toolbox::kItalic | Toolbox::kUnderline;

constexpr int kStopBeep = 3;
constexpr char kStopAndQuit[] = "A program is running. Stop it and QUIT ?";
constexpr int kMainLoopStep = 32;
constexpr int kImports = static_cast<int>(MainImport::Count);

// The private signal by which Terminate returns to the exit point; only Run catches it.
struct TerminateSignal {};

std::array<Proc, kImports> DefaultBodies() {
  std::array<Proc, kImports> bodies{};
  bodies[static_cast<int>(MainImport::Buffer)] = Buffer::Init;
  bodies[static_cast<int>(MainImport::RealMath)] = RealMath::Init;
  return bodies;
}

struct State {
  char commandLine[kCommandLineHigh + 1] = {};
  char title[kTitleHigh + 1] = {};
  bool running = false; // inside Run: Terminate returns to its exit point
  int exitCode = 0;
  bool mainInitialised = false;
  Proc applicationMain = nullptr;
  Proc quitProcedure = nullptr;
  double screenScale = 1.0;
  Toolbox::Window splash = nullptr;
  bool settingsRead = false;
  std::array<Proc, kImports> bodies = DefaultBodies();
  ShellHooks hooks;
  CountProc modifiedCount = nullptr;
  CountProc saveModified = nullptr;
  Proc shutdownRequest = nullptr;
};

State state;

void Call(Proc proc) {
  if (proc != nullptr) proc();
}

// A splash coordinate in pixels, rounded half away from zero.
std::int32_t Scaled(std::int32_t units) {
  return static_cast<std::int32_t>(std::lround(units * state.screenScale));
}

Rect Scaled(const Rect& r) {
  return {Scaled(r.left), Scaled(r.top), Scaled(r.right), Scaled(r.bottom)};
}

// A failure while the platform starts: the message, then the way out with exit code 1.
[[noreturn]] void StartFailure(Chars message) {
  state.exitCode = 1;
  if (Strings::Length(message) > 0) {
    Toolbox::SetAlertText(message);
    Toolbox::Alert(Toolbox::kAlertOk);
  }
  Terminate();
}

// ---- Platform requests ----

// The frame's close box runs the Ctrl+Q menu item when there is one, so that Quit goes
// through the menu path; without one the program ends at once.
void FrameClose() {
  const std::uint32_t quitCommand = Toolbox::QuitMenuCommand();
  if (quitCommand == 0) Terminate();
  Toolbox::PlatformMessage message;
  message.kind = Toolbox::PlatformMessage::Kind::MenuCommand;
  message.time = Toolbox::TickCount();
  message.menuCommand = quitCommand;
  Events::Dispatch(message);
}

void EndSession() { Call(state.shutdownRequest); }

// Quit while a program runs: the user is asked before it is stopped; Quit then goes its
// usual way, and the program runs on when it is answered No or cancelled.
void QuitWhileRunning() {
  if (Alerts::Ask(kStopAndQuit, false)) Call(state.quitProcedure);
}

// The platform demands the end: the orderly shutdown runs and the exit code is 0.
void PlatformQuit() { Terminate(); }

// One dropped file joins the command line as a quoted item. A name that would be cut,
// or an item that no longer fits, is refused with a beep rather than leaving a broken
// item behind.
void DropFiles(const std::vector<std::string>& files) {
  if (files.size() > 1) {
    Alerts::Message("One file at a time, please.");
    return;
  }
  if (files.empty()) return;
  const std::string& name = files.front();
  const bool first = state.commandLine[0] == 0;
  const std::size_t itemLength = (first ? 1 : 3) + name.size() + 1;
  if (name.size() > kFileNameHigh ||
      Strings::Length(state.commandLine) + itemLength > kCommandLineHigh) {
    Alerts::AlertBeep();
    return;
  }
  Strings::Append(state.commandLine, first ? Chars("\"") : Chars(", \""));
  Strings::Append(state.commandLine, name);
  Strings::Append(state.commandLine, "\"");
}

// ---- Splash window ----

void DrawLogo() {
  Toolbox::PenNormal();
  Toolbox::FrameRoundRect(Scaled(Rect{12, 12, 326, 186}), Scaled(18), Scaled(18));
  // A wave over a baseline: the shape of a signal trace on a workbench.
  Toolbox::PenSize(Scaled(3), Scaled(3));
  Toolbox::MoveTo(Scaled(36), Scaled(100));
  constexpr Point kWave[] = {{60, 48}, {84, 150}, {108, 48}, {132, 150}, {156, 100}};
  for (const Point p : kWave) Toolbox::LineTo(Scaled(p.h), Scaled(p.v));
  Toolbox::PenNormal();
  Toolbox::MoveTo(Scaled(36), Scaled(160));
  Toolbox::LineTo(Scaled(156), Scaled(160));
  Toolbox::TextFont(Toolbox::FontNumber("Times New Roman"));
  Toolbox::TextSize(Scaled(24));
  Toolbox::TextFace(Toolbox::kBold);
  Toolbox::MoveTo(Scaled(176), Scaled(110));
  Toolbox::DrawText(state.title);
}

void OpenSplash(Chars message) {
  state.splash = Toolbox::NewWindow(Scaled(kSplashBounds), state.title, true, Toolbox::kPlainWindow,
                                    false, nullptr);
  if (state.splash == nullptr) return;
  Toolbox::SetPort(state.splash);
  DrawLogo();
  Toolbox::TextFont(Toolbox::FontNumber("Arial"));
  Toolbox::TextSize(12);
  Toolbox::TextFace(kSplashMessageStyle);
  Toolbox::MoveTo(Scaled(kSplashMessageAt.h), Scaled(kSplashMessageAt.v));
  Toolbox::DrawText(message);
  Toolbox::FlushWindow(state.splash);
}

void CloseSplash() {
  if (state.splash != nullptr) Toolbox::DisposeWindow(state.splash);
}

// ---- The main module's body ----

// The shell main module's own state and the splash window.
void ShellInit() {
  state.quitProcedure = QuitCommand;
  // The key-event layer's application-inactive flag is the shell's to clear (CreateShell).
  state.splash = nullptr;
  state.screenScale = Toolbox::LogicalDpi() * 0.9 / 72.0;
  state.settingsRead = state.hooks.initShellState != nullptr ? state.hooks.initShellState() : false;
  char message[kSplashTextHigh + 1] = "Initializing ";
  Strings::Append(message, state.title);
  Strings::Append(message, "...");
  OpenSplash(message);
}

// Step 51: the shell's buffers, the graphics and terminal heaps, the shell windows.
void CreateShell() {
  if (state.hooks.createShell == nullptr) return;
  switch (state.hooks.createShell()) {
  case ShellStart::NoBuffers:
    return;
  case ShellStart::NoGraphics:
    TerminateWithMessage("Graphics not initialized!");
  case ShellStart::NoTerminal:
    TerminateWithMessage("ANSITerm not initialized!");
  case ShellStart::Ok:
    break;
  }
  Call(state.hooks.openShellWindows);
}

// Masked floating-point exceptions and rounding to nearest, whatever the platform or a
// library left behind.
void ResetFloatingPoint() {
  std::fesetenv(FE_DFL_ENV);
  std::fesetround(FE_TONEAREST);
}

// With masked exceptions both results are infinities and nothing traps.
void ProbeInfinities() {
  volatile double zero = 0.0;
  volatile double largest = std::numeric_limits<double>::max();
  volatile double quotient = 1.0 / zero;
  volatile double square = largest * largest;
  static_cast<void>(quotient);
  static_cast<void>(square);
}

void StartupSequence() {
  Call(state.hooks.initSound);
  ShellInit();
  StartupStep(49);
  RealMath::SetNotANumbers();
  Call(state.hooks.installScrollProcs);
  StartupStep(50);
  StartupStep(51);
  CreateShell();
  StartupStep(52);
  Call(state.hooks.setUpMenus);
  StartupStep(53);
  if (state.settingsRead) {
    StartupStep(54);
    Call(state.hooks.readSettings);
  }
  StartupStep(55);
  ResetFloatingPoint();
  StartupStep(56);
  ProbeInfinities();
}

// The shell's end of a run (the settings saved) while the checks still hold their
// values; then the checks are switched off and the sound stopped before the program ends.
// The recovery files go when the user decided about every modified text (discard).
[[noreturn]] void EndOfRun(bool discard) {
  Call(state.hooks.endOfRun);
  if (discard) Call(state.hooks.discardRecovery);
  Checks::SetCheckOutputHandles(false);
  Checks::SetCheckInputHandles(false);
  Toolbox::StopTone();
  Terminate();
}

void MainBody() {
  if (state.mainInitialised) return;
  state.mainInitialised = true;
  for (const Proc body : state.bodies) Call(body);
  StartupSequence();
  StartupStep(kMainLoopStep);
  CloseSplash();
  Call(state.hooks.enterCommandWindow);
  Call(state.applicationMain);
  EndOfRun(true);
}

// ---- Entry and exit ----

void StartPlatform(Toolbox::Backend& backend, bool& queue, bool& frame) {
  Toolbox::InstallBackend(&backend);
  Toolbox::Init();
  Checks::Init();
  Alerts::Init();
  if (!Events::InitEventQueue()) StartFailure("Out of memory.");
  queue = true;
  Events::SetDropProc(DropFiles);
  Events::SetFrameCloseProc(FrameClose);
  Events::SetQuitWhileRunningProc(QuitWhileRunning);
  Events::SetEndSessionProc(EndSession);
  Events::SetQuitProc(PlatformQuit);
  if (state.title[0] == 0) Toolbox::LoadResourceString(0, state.title);
  const Point size = FrameSize(backend.LogicalDpi(), backend.ScreenRect());
  // The backend tells the user itself why it has no frame (no timer, no display).
  if (!backend.CreateFrame(base::ToString(state.title), size.h, size.v)) StartFailure({});
  frame = true;
}

// Runs once, whichever way the program ends.
void Shutdown(Toolbox::Backend& backend, bool queue, bool frame) {
  Events::SetDropProc(nullptr);
  Events::SetFrameCloseProc(nullptr);
  Events::SetQuitWhileRunningProc(nullptr);
  Events::SetEndSessionProc(nullptr);
  Events::SetQuitProc(nullptr);
  state.splash = nullptr;
  Toolbox::Shutdown();
  if (frame) backend.DestroyFrame();
  if (queue) Events::FreeEventQueue();
}

} // namespace

int Run(Toolbox::Backend& backend, Chars commandLine) {
  Strings::Assign(state.commandLine, commandLine);
  state.exitCode = 0;
  state.running = true;
  bool queue = false;
  bool frame = false;
  try {
    StartPlatform(backend, queue, frame);
    while (Events::PumpOnce(false)) {}
    MainBody();
  } catch (const TerminateSignal&) {
    // The exit point: whatever was under way is abandoned.
  }
  state.running = false;
  Shutdown(backend, queue, frame);
  return state.exitCode;
}

void Terminate() {
  if (state.running) throw TerminateSignal{};
  // No exit point to return to: nothing was started that a shutdown could undo.
  std::exit(EXIT_FAILURE);
}

bool RunToEnd(const std::function<void()>& body) {
  if (state.running) {
    body();
    return true;
  }
  state.running = true;
  try {
    body();
  } catch (const TerminateSignal&) {
    state.running = false;
    return false;
  }
  state.running = false;
  return true;
}

void TerminateWithMessage(Chars message) {
  if (Strings::Length(message) > 0) {
    Alerts::AlertBeep();
    Alerts::Message(message);
  }
  Toolbox::StopTone();
  Terminate();
}

void StartupStep(int step) {
  if (state.splash == nullptr) return;
  const Toolbox::Port previous = Toolbox::GetPort();
  Toolbox::SetPort(state.splash);
  Toolbox::TextFont(Toolbox::FontNumber("Courier New"));
  Toolbox::TextSize(10);
  Toolbox::TextFace(0);
  Toolbox::FontInfo info;
  Toolbox::GetFontInfo(info);
  const Point at{Scaled(kSplashStepAt.h), Scaled(kSplashStepAt.v)};
  Toolbox::EraseRect(
      {at.h, at.v - info.ascent, at.h + Toolbox::TextWidth("0000"), at.v + info.descent});
  char number[12] = {};
  NumberOut::AppendInt(step, number, 0);
  Toolbox::MoveTo(at.h, at.v);
  Toolbox::DrawText(number);
  // The windows made at step 51 open in front; the splash stays above them, and each
  // step shows at once, since the program does not wait for input before the main loop.
  Toolbox::RaiseWindow(state.splash);
  Toolbox::FlushWindow(state.splash);
  if (previous.window != nullptr) Toolbox::SetPort(previous.window);
  if (previous.offscreen != nullptr) Toolbox::SetPortOffscreen(previous.offscreen);
}

void QuitCommand() {
  const Alerts::OutputWindow output = Alerts::CurrentOutputWindow();
  if (state.modifiedCount == nullptr || state.modifiedCount() < 1) EndOfRun(true);
  char question[kQuitTextHigh + 1] = "Quitting ";
  Strings::Append(question, state.title);
  Strings::Append(question, ":\r\rSave Modified Text ?");
  const int answer = Alerts::AskYesNoCancel(question, Alerts::kCancel);
  if (answer == Alerts::kNo) EndOfRun(true);
  if (answer == Alerts::kYes) {
    // Without a procedure to save them the texts cannot be saved: that is a failure,
    // not a reason to quit without asking.
    const std::int32_t failures = state.saveModified != nullptr ? state.saveModified() : 1;
    if (failures == 0) EndOfRun(true);
    if (failures > 0) {
      Alerts::AlertBeepKind(0, 0, kStopBeep);
      // The texts that could not be stored keep their recovery files for the next start.
      if (Alerts::Ask("An error occurred while saving files. QUIT anyway ?", false))
        EndOfRun(false);
    }
  }
  Alerts::SetCurrentOutputWindow(output);
}

bool GetCommandArgument(VarChars result, Chars key) {
  char line[kCommandLineHigh + 2] = {};
  char upperKey[kKeyHigh + 2] = {};
  Strings::UpperCopy(state.commandLine, VarChars(line, kCommandLineHigh));
  Strings::UpperCopy(key, VarChars(upperKey, kKeyHigh));
  const long found = Strings::Position(line, upperKey, 0);
  if (found < 0) return false;
  const std::size_t end = static_cast<std::size_t>(found) + Strings::Length(upperKey);

  char word[kWordHigh + 1] = {};
  std::size_t length = 0;
  std::size_t i = 0;
  bool quoted = false;
  bool atDelimiter = false;
  for (;;) {
    const char c = state.commandLine[i];
    if (c == 0) break;
    if (!quoted && (c == ' ' || c == ',')) {
      if (i >= end) {
        atDelimiter = true;
        break;
      }
      length = 0;
    } else if (c == '"') {
      if (quoted && i == end) {
        atDelimiter = true;
        break;
      }
      quoted = !quoted;
      length = 0;
    } else {
      word[length++] = c;
    }
    ++i;
    if (i > kCommandLineHigh || length >= kWordHigh) return false;
  }
  word[length] = 0;
  if (!atDelimiter && (quoted || i != end)) return false;
  Strings::Assign(result, word);
  return true;
}

void SetApplicationMain(Proc proc) { state.applicationMain = proc; }

void SetApplicationTitle(Chars title) { Strings::Assign(state.title, title); }

void GetApplicationTitle(VarChars title) { Strings::Assign(title, state.title); }

void GetCommandLine(VarChars text) { Strings::Assign(text, state.commandLine); }

double ScreenScale() { return state.screenScale; }

void SetQuitProcedure(Proc proc) { state.quitProcedure = proc; }

void CallQuitProcedure() { Call(state.quitProcedure); }

Point FrameSize(double dpi, const Rect& screen) {
  const double scale = dpi * kFrameScale;
  const std::int32_t width = static_cast<std::int32_t>(std::lround(kFrameWidth * scale));
  const std::int32_t height = static_cast<std::int32_t>(std::lround(kFrameHeight * scale));
  const std::int32_t screenWidth = screen.Width();
  const std::int32_t screenHeight = screen.Height();
  return {std::min(width, screenWidth - screenWidth / 20),
          std::min(height, screenHeight - screenHeight / 20)};
}

void SetModuleBody(MainImport module, Proc body) {
  const int index = static_cast<int>(module);
  if (index >= 0 && index < kImports) state.bodies[index] = body;
}

void SetShellHooks(const ShellHooks& hooks) { state.hooks = hooks; }

void SetModifiedCountProc(CountProc proc) { state.modifiedCount = proc; }

void SetSaveModifiedProc(CountProc proc) { state.saveModified = proc; }

void SetShutdownRequestProc(Proc proc) { state.shutdownRequest = proc; }

bool EndSessionRequest() {
  if (state.shutdownRequest == nullptr) return true;
  try {
    state.shutdownRequest();
  } catch (const TerminateSignal&) {
    return true;
  }
  return false;
}

} // namespace Startup
