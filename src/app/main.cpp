// main(): starts Qt, reads the driver's options and runs the program on the Qt backend.
//
//   velmarin [Qt options] [--keys "KEYS"] [--screenshot FILE] [--dump FILE]
//            [--ready-time] [--no-compiler] [--version] [arguments of the program...]
//   velmarin --run FILE.mod [--macro FILE.mac [--macro-number N]] [ARGS...]
//
// --run compiles FILE.mod and the modules beside it that it imports and runs it without
// a window (vm/Runner.h): exit status 0, 1 after a run-time error, 2 after a compile
// error. --macro plays macro N (default 1) of a macro file against the program's dialogs
// once they are open (macros/Macros.h). --no-compiler starts the workstation without its compiler.
// --keys types a key script (platform/KeyScript.h) once start-up is over;
// --screenshot saves the frame window as PNG once those keys are consumed (at once
// without --keys) and ends the program; --dump then writes the lines of the text being
// edited to FILE (LF line ends), and the message line last as "message: " and its text;
// --ready-time prints "ready-ms N", N the milliseconds from process start (or from
// VELMARIN_T0, seconds since the epoch) to the moment the user can type: start-up is
// over, the Command window shows the command text and the editor waits for its first
// key. The program ends there (with --screenshot, saving the frame as it is then). The
// remaining arguments make the program's command line.
#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "base/Charset.h"
#include "editor/Editor.h"
#include "platform/KeyScript.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "platform/qt/QtBackend.h"
#include "store/Lines.h"
#include "macros/Macros.h"
#include "vm/Runner.h"

namespace {

constexpr int kUsageExit = 2;

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
  const Buffer::Ref b = Editor::State().current;
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

int Usage(const char* message) {
  std::fprintf(stderr, "velmarin: %s\n", message);
  return kUsageExit;
}

} // namespace

int main(int argc, char** argv) {
  // The command-line runner needs no display: it runs before Qt starts.
  if (argc >= 2 && std::strcmp(argv[1], "--run") == 0) {
    if (argc < 3) return Usage("--run needs a file");
    int next = 3;
    std::string macro;
    long number = 1;
    while (next < argc && (std::strcmp(argv[next], "--macro") == 0 ||
                           std::strcmp(argv[next], "--macro-number") == 0)) {
      if (next + 1 >= argc) return Usage("--macro needs a file, --macro-number a number");
      if (argv[next][7] == 0) {
        macro = argv[next + 1];
      } else {
        char* end = nullptr;
        number = std::strtol(argv[next + 1], &end, 10);
        if (*end != 0 || number < 1 || number > Macros::kMaxMacros)
          return Usage("--macro-number needs a number from 1 to 64");
      }
      next += 2;
    }
    if (!macro.empty()) {
      // The runner works in the program's directory.
      char* real = realpath(macro.c_str(), nullptr);
      if (real == nullptr) return Usage("the macro file cannot be found");
      Macros::SetStartMacro(base::CharsOf(real), static_cast<std::int32_t>(number));
      std::free(real);
    }
    return Runner::RunFile(argv[2], std::vector<std::string>(argv + next, argv + argc));
  }
  double t0 = NowMs();
  if (const char* given = std::getenv("VELMARIN_T0"); given != nullptr && *given != 0)
    t0 = std::strtod(given, nullptr) * 1000.0;
  std::jthread fontConfiguration = LoadFontConfiguration();
  QApplication app(argc, argv); // takes Qt's own options (-platform offscreen) out of argv
  if (fontConfiguration.joinable()) fontConfiguration.join();

  std::string keys;
  bool haveKeys = false;
  QString screenshot;
  std::string dump;
  bool readyTime = false;
  std::vector<std::string> programArgs;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--keys") == 0 || std::strcmp(a, "--screenshot") == 0 ||
        std::strcmp(a, "--dump") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "velmarin: %s needs a value\n", a);
        return kUsageExit;
      }
      if (a[2] == 'k') {
        keys = argv[++i];
        haveKeys = true;
      } else if (a[2] == 'd') {
        dump = argv[++i];
      } else {
        screenshot = QString::fromLocal8Bit(argv[++i]);
      }
    } else if (std::strcmp(a, "--ready-time") == 0) {
      readyTime = true;
    } else if (std::strcmp(a, "--no-compiler") == 0) {
      Application::UseCompiler(false);
    } else if (std::strcmp(a, "--version") == 0) {
      char title[40];
      char version[80];
      Toolbox::LoadResourceString(0, title);
      Toolbox::LoadResourceString(1, version);
      std::printf("%s %s\n", title, version);
      return 0;
    } else {
      programArgs.emplace_back(a);
    }
  }

  QtUi::QtBackend backend;
  if (haveKeys) {
    std::vector<Toolbox::PlatformMessage> messages;
    std::string error;
    if (!KeyScript::Parse(keys, messages, error)) return Usage(error.c_str());
    backend.SetInjectedKeys(std::move(messages));
  }
  // The backend ends a driven run once the keys are consumed and the screenshot is
  // saved; a dump alone takes one it throws away. The directory is made only then: a
  // run that ends at once (--ready-time) would leave it behind.
  std::optional<QTemporaryDir> scratch;
  if (screenshot.isEmpty() && !dump.empty()) {
    scratch.emplace();
    if (!scratch->isValid()) return Usage("no temporary directory for --dump");
    screenshot = scratch->filePath(QStringLiteral("dump.png"));
  }
  if (!screenshot.isEmpty()) backend.SetScreenshotFile(screenshot);
  if (readyTime) backend.ReportReady(t0);

  Application::Init();
  // The arguments name host files: in the workstation's characters.
  const std::string commandLine = Charset::FromHostName(JoinArguments(programArgs));
  const int code = Startup::Run(backend, base::Chars(commandLine));
  if (code == 0 && !backend.ScreenshotSucceeded()) return 1;
  // The buffer store outlives the run: the text is still there to be written.
  if (!dump.empty() && !WriteDump(dump)) {
    std::fprintf(stderr, "velmarin: cannot write the dump %s\n", dump.c_str());
    return 1;
  }
  return code;
}
