// main(): reads the command line (app/Options.h, whose table --help prints) before Qt
// starts, then either runs a program from the shell (--run) or starts Qt and runs the
// workstation on the Qt backend.
//
// --run compiles the program and the modules beside it that it imports and runs it
// (app/Runner.h): on the headless backend, or, with --screenshot, on the Qt backend with
// its windows drawn off screen and no user to wait for; the windows it leaves are saved
// when its body ends. --macro plays a macro of a macro file against the program's
// dialogs once they are open (macros/Macros.h).
// The workstation opens the files named on the command line in edit windows; --keys
// types a key script (platform/KeyScript.h) once start-up is over; --screenshot saves the
// frame window as PNG once those keys are consumed (at once without --keys) and ends the
// program; --dump then writes the lines of the text being edited to FILE (LF line ends),
// and the message line last as "message: " and its text; --geometry then writes the
// client area's size and the frames of the windows to FILE; --ready-time prints
// "ready-ms N", N the milliseconds from process start (or from VELMARIN_T0, seconds since
// the epoch) to the moment the user can type: start-up is over, the Command window shows
// the command text and the editor waits for its first key. The program ends there (with
// --screenshot, saving the frame as it is then).
#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/Options.h"
#include "app/Runner.h"
#include "base/Charset.h"
#include "editor/Editor.h"
#include "jit/Jit.h"
#include "macros/Macros.h"
#include "platform/KeyScript.h"
#include "platform/Signals.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "platform/qt/QtBackend.h"
#include "recovery/Recovery.h"
#include "store/Lines.h"

namespace {

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

// The command line as the program sees it: the arguments joined by blanks, those
// holding blanks in quotes.
std::string JoinArguments(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) {
    if (!line.empty()) line += ' ';
    if (a.empty() || a.find_first_of(" \t") != std::string::npos)
      line += '"' + a + '"';
    else
      line += a;
  }
  return line;
}

// The text being edited, one line each, then the message line's text; in UTF-8.
bool WriteDump(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const Buffer::Ref b = Editor::EditedText();
  const Charset::Coding coding = Lines::CodingOf(b);
  for (std::int32_t n = 1; n <= Lines::Count(b); ++n) {
    const std::string line = Charset::Utf8Of(coding, Lines::View(b, n));
    if (!line.empty()) std::fwrite(line.data(), 1, line.size(), f);
    std::fputc('\n', f);
  }
  char message[Editor::kTextHigh + 1];
  Editor::MessageLineText(message);
  std::fprintf(f, "message: %s\n", Charset::ToUtf8(message).c_str());
  const bool written = std::ferror(f) == 0;
  return std::fclose(f) == 0 && written;
}

// Fontconfig reads its configuration and font caches when the first font is asked for
// (the frame's menu bar): milliseconds of work that needs nothing of Qt. A worker does it
// while QApplication connects to the display, which mostly waits for the display server;
// Qt's own call then finds it done. Nothing is started where the process has no
// fontconfig (Qt loads it with its GUI library on this platform).
std::jthread LoadFontConfiguration() {
  using Init = int (*)();
  const auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"));
  if (init == nullptr) return {};
  return std::jthread([init] { init(); });
}

// For the tests of recovery: with VELMARIN_TEST_CRASH set, SIGUSR1 makes the program
// write through a null pointer, a crash as a fault in its own code would be.
void CrashOnUsr1() {
  if (std::getenv("VELMARIN_TEST_CRASH") == nullptr) return;
  std::signal(SIGUSR1, [](int) {
    static volatile std::uintptr_t nowhere = 0;
    *reinterpret_cast<volatile int*>(nowhere) = 0;
  });
}

// One line on standard error; the exit status.
int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "velmarin: %s\n", message.c_str());
  return status;
}

// Qt's options as QApplication takes them: it keeps argc and argv for its lifetime.
struct QtArguments {
  explicit QtArguments(const std::vector<std::string>& args) : words(args) {
    for (std::string& w : words) pointers.push_back(w.data());
    pointers.push_back(nullptr);
    count = static_cast<int>(words.size());
  }
  std::vector<std::string> words;
  std::vector<char*> pointers;
  int count = 0;
};

// The windows a program run from the shell leaves, saved when its body ends: the front
// one as the file asked for, the others numbered behind it.
struct Screenshot {
  QtUi::QtBackend* backend = nullptr;
  QString file;
  bool ok = true;
};
Screenshot runShot;

QString NumberedFile(const QString& file, int n) {
  const QFileInfo info(file);
  const QString suffix = info.suffix();
  if (suffix.isEmpty()) return file + QStringLiteral("-%1").arg(n);
  return file.left(file.size() - suffix.size() - 1) + QStringLiteral("-%1.").arg(n) + suffix;
}

void SaveRunWindows() {
  std::vector<Toolbox::Window> shown;
  for (Toolbox::Window w : Toolbox::Windows())
    if (Toolbox::IsVisible(w)) shown.push_back(w);
  if (shown.empty()) {
    runShot.ok = false;
    std::fprintf(stderr, "velmarin: the program left no window for the screenshot %s\n",
                 runShot.file.toLocal8Bit().constData());
    return;
  }
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const QString file =
        i == 0 ? runShot.file : NumberedFile(runShot.file, static_cast<int>(i + 1));
    const QImage image =
        runShot.backend->PortImage(Toolbox::Port{shown[i], nullptr, &shown[i]->port});
    if (image.isNull() || !image.save(file, "PNG")) {
      runShot.ok = false;
      std::fprintf(stderr, "velmarin: cannot write the screenshot %s\n",
                   file.toLocal8Bit().constData());
    }
  }
}

// Standard error of a program run from the shell carries its compile errors and trap
// reports: Qt's notes about the off-screen platform stay out of it, its errors not.
void QtErrorsOnly(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "velmarin: %s\n", message.toLocal8Bit().constData());
}

// --run: the program, on the headless backend, or drawn off screen for a screenshot.
int RunProgram(const Options::CommandLine& line) {
  std::string error;
  if (!Options::CheckInputFile(line.run, error)) return Fail(error, Options::kNoInput);
  if (!line.macro.empty()) {
    if (!Options::CheckInputFile(line.macro, error)) return Fail(error, Options::kNoInput);
    // The runner works in the program's directory.
    char* real = realpath(line.macro.c_str(), nullptr);
    if (real == nullptr) return Fail(line.macro + ": no such file", Options::kNoInput);
    Macros::SetStartMacro(base::CharsOf(real), line.macroNumber);
    std::free(real);
  }
  if (line.debug) return Runner::DebugFile(line.run, line.words, stdin, stdout, stderr);
  if (line.screenshot.empty()) return Runner::RunFile(line.run, line.words);

  std::vector<std::string> qt = line.qtArguments;
  if (!line.platformGiven) qt.insert(qt.begin() + 1, {"-platform", "offscreen"});
  QtArguments arguments(qt);
  qInstallMessageHandler(QtErrorsOnly);
  QApplication app(arguments.count, arguments.pointers.data());
  QtUi::QtBackend backend;
  backend.SetUnattended(true);
  char title[40];
  Toolbox::LoadResourceString(0, title);
  const Toolbox::Point size = Startup::FrameSize(backend.LogicalDpi(), backend.ScreenRect());
  if (!backend.CreateFrame(title, size.h, size.v)) return Fail("no frame window", 1);
  // The runner works in the program's directory; the file is named from the caller's.
  runShot = Screenshot{
      &backend, QFileInfo(QString::fromLocal8Bit(line.screenshot.c_str())).absoluteFilePath(),
      true};
  const int code = Runner::RunFile(line.run, line.words, backend, SaveRunWindows);
  // The windows the program left go before the frame that holds them.
  Toolbox::Shutdown();
  backend.DestroyFrame();
  return code == Runner::kDone && !runShot.ok ? 1 : code;
}

bool HaveDisplay(const Options::CommandLine& line) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return true;
  }
  return line.platformGiven;
}

// The workstation on the Qt backend.
int RunWorkstation(const Options::CommandLine& line) {
  std::vector<std::string> files;
  for (const std::string& word : line.words) {
    std::string error;
    if (!Options::CheckInputFile(word, error)) return Fail(error, Options::kNoInput);
    char* real = realpath(word.c_str(), nullptr);
    files.emplace_back(real != nullptr ? real : word);
    std::free(real);
  }
  if (!HaveDisplay(line))
    return Fail("no display to show the workstation on: start it on a desktop, under "
                "xvfb-run, or with -platform offscreen",
                1);
  // Before any thread starts: SIGTERM, SIGHUP and SIGINT end the workstation with the
  // recovery files of its modified texts written.
  Signals::Install();
  CrashOnUsr1();
  double t0 = NowMs();
  if (const char* given = std::getenv("VELMARIN_T0"); given != nullptr && *given != 0)
    t0 = std::strtod(given, nullptr) * 1000.0;
  std::jthread fontConfiguration = LoadFontConfiguration();
  QtArguments arguments(line.qtArguments);
  QApplication app(arguments.count, arguments.pointers.data());
  QGuiApplication::setDesktopFileName(QStringLiteral("velmarin"));
  if (fontConfiguration.joinable()) fontConfiguration.join();

  QtUi::QtBackend backend;
  if (line.haveKeys) {
    std::vector<Toolbox::PlatformMessage> messages;
    std::string error;
    if (!KeyScript::Parse(line.keys, messages, error)) return Fail(error, Options::kUsageError);
    backend.SetInjectedKeys(std::move(messages));
  }
  // The backend ends a driven run once the keys are consumed and the screenshot is
  // saved; a dump or the geometry alone takes one it throws away. The directory is made only then:
  // a run that ends at once (--ready-time) would leave it behind.
  QString screenshot = QString::fromLocal8Bit(line.screenshot.c_str());
  std::optional<QTemporaryDir> scratch;
  if (screenshot.isEmpty() && (!line.dump.empty() || !line.geometry.empty())) {
    scratch.emplace();
    if (!scratch->isValid()) return Fail("no temporary directory for --dump", 1);
    screenshot = scratch->filePath(QStringLiteral("dump.png"));
  }
  if (!screenshot.isEmpty()) backend.SetScreenshotFile(screenshot);
  if (!line.geometry.empty())
    backend.SetGeometryFile(QString::fromLocal8Bit(line.geometry.c_str()));
  if (line.readyTime) backend.ReportReady(t0);

  if (line.noCompiler) Application::UseCompiler(false);
  Application::OpenAtStart(files);
  Application::Init();
  // The arguments name host files: in the workstation's characters.
  const std::string commandLine = Charset::FromHostName(JoinArguments(files));
  const int code = Startup::Run(backend, base::Chars(commandLine));
  // A run the driver ended (screenshot, dump) ended as the user asked: it leaves nothing
  // to recover. Any other end that did not go through Quit keeps the files.
  Recovery::Stop(!screenshot.isEmpty());
  if (code == 0 && !backend.ScreenshotSucceeded()) return 1;
  // The buffer store outlives the run: the text is still there to be written.
  if (!line.dump.empty() && !WriteDump(line.dump))
    return Fail("cannot write the dump " + line.dump, 1);
  return code;
}

} // namespace

int main(int argc, char** argv) {
  Options::CommandLine line;
  std::string error;
  if (!Options::Parse(argc, argv, line, error)) return Fail(error, Options::kUsageError);
  if (line.help) {
    Options::PrintUsage(stdout);
    return 0;
  }
  if (line.version) {
    char title[40];
    char version[80];
    Toolbox::LoadResourceString(0, title);
    Toolbox::LoadResourceString(1, version);
    std::printf("%s %s\n", title, version);
    return 0;
  }
  // Programs run as the processor's code unless the interpreter alone is asked for.
  if (!line.noJit) Jit::Install();
  return line.run.empty() ? RunWorkstation(line) : RunProgram(line);
}
