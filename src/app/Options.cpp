#include "app/Options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "macros/Macros.h"

namespace Options {

namespace {

enum class Id {
  Help,
  Version,
  Run,
  Macro,
  MacroNumber,
  Screenshot,
  Keys,
  Dump,
  Geometry,
  NoCompiler,
  NoJit,
  Debug,
  ReadyTime,
  Platform
};

struct Option {
  Id id;
  const char* name;
  const char* value; // the argument's name in the usage; nullptr: it takes none
  const char* help;
};

// The options in the order the usage lists them.
constexpr Option kOptions[] = {
    {Id::Help, "--help", nullptr, "print this help and exit"},
    {Id::Version, "--version", nullptr, "print the version and exit"},
    {Id::Run, "--run", "PROGRAM.mod",
     "compile PROGRAM.mod and the modules beside it that it imports, run it without a "
     "window (text output on standard output, input from standard input) and exit with "
     "its status; the words that are no options are the program's arguments (module "
     "Args), and \"--\" goes before those that begin with \"-\""},
    {Id::Macro, "--macro", "FILE.mac",
     "with --run: play a macro of FILE.mac once the program's dialogs are open"},
    {Id::MacroNumber, "--macro-number", "N", "the macro --macro plays, 1 to 64 (else 1)"},
    {Id::Screenshot, "--screenshot", "FILE.png",
     "save the frame window as PNG once the --keys are typed, then end; with --run, save "
     "the front window the program leaves when it ends (further windows as FILE-2.png, "
     "FILE-3.png, ...)"},
    {Id::Keys, "--keys", "KEYS",
     "type a key script once start-up is over, e.g. \"'hello' RETURN F12\" (the README "
     "lists the key names)"},
    {Id::Dump, "--dump", "FILE",
     "once the keys are typed, write the lines of the text being edited and then the "
     "message line to FILE, then end"},
    {Id::Geometry, "--geometry", "FILE",
     "once the keys are typed, write the size of the frame's client area and the place of "
     "each window in it to FILE, then end"},
    {Id::NoCompiler, "--no-compiler", nullptr, "start the workstation without its compiler"},
    {Id::NoJit, "--no-jit", nullptr,
     "run compiled programs in the interpreter alone, not translated into the processor's "
     "code"},
    {Id::Debug, "--debug", nullptr,
     "with --run: run the program under the line-mode debugger, whose commands (break, "
     "run, next, step, finish, continue, print, bt, quit, ...) come from standard input"},
    {Id::ReadyTime, "--ready-time", nullptr,
     "print \"ready-ms N\", the milliseconds until the user can type, then end"},
    {Id::Platform, "-platform", "NAME",
     "Qt's platform plugin: offscreen runs without a display (--run always draws off "
     "screen). Qt's other options (-display, -style, ...) are handed to Qt too"},
};

// Qt's own options besides -platform, with whether each takes an argument; Qt reads them
// with one dash or two.
struct QtOption {
  const char* name;
  bool value;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"session", true},
    {"display", true},
    {"geometry", true},
    {"style", true},
    {"stylesheet", true},
    {"name", true},
    {"title", true},
    {"visual", true},
    {"reverse", false},
    {"widgetcount", false},
    {"sync", false},
    {"nograb", false},
    {"dograb", false},
    {"qmljsdebugger", true},
};

constexpr const char* kSynopsis[] = {
    "Usage: velmarin [OPTION]... [FILE]...",
    "  or:  velmarin --run PROGRAM.mod [OPTION]... [ARG]...",
};
constexpr const char* kDescription =
    "Velmarin, a workstation for Modula-2 programs: starts the workstation and opens "
    "each FILE in an edit window; with --run, compiles and runs a program from the shell.";
constexpr const char* kEpilogue[] = {
    "Exit status:",
    "  0   done",
    "  1   the program stopped with a run-time error (the report on standard error),",
    "      or the workstation could not start (no display) or write what was asked",
    "  2   a compile error, as FILE:LINE:COLUMN: error: MESSAGE on standard error",
    "  64  a usage error: an unknown option, a missing or bad argument",
    "  66  a file to run or open is missing, a directory or unreadable",
    "",
    "Environment:",
    "  XDG_CONFIG_HOME     the settings are kept in $XDG_CONFIG_HOME/velmarin",
    "                      (else in ~/.config/velmarin)",
    "  VELMARIN_PRINT_PDF  Print writes this PDF file without the printing dialogs",
    "",
    "The README's \"first ten minutes\" walk through writing, compiling and running a",
    "program; F1 in the workstation shows the editor's keys.",
};

constexpr int kHelpColumn = 26;
constexpr int kWidth = 79;

const Option* Find(std::string_view name) {
  for (const Option& o : kOptions)
    if (name == o.name) return &o;
  return nullptr;
}

// Qt's option named by arg (one dash or two, "=value" allowed), or nullptr.
const QtOption* FindQt(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return nullptr;
  arg.remove_prefix(arg[1] == '-' ? 2 : 1);
  arg = arg.substr(0, arg.find('='));
  for (const QtOption& o : kQtOptions)
    if (arg == o.name) return &o;
  return nullptr;
}

// Writes text from the current column (at) on, wrapped at the width, continued at indent.
void Wrapped(std::FILE* out, std::string_view text, int at, int indent) {
  while (!text.empty()) {
    std::size_t room = static_cast<std::size_t>(kWidth - at);
    std::size_t cut = text.size();
    if (cut > room) {
      cut = text.rfind(' ', room);
      if (cut == std::string_view::npos || cut == 0) cut = room;
    }
    std::fprintf(out, "%.*s\n", static_cast<int>(cut), text.data());
    text.remove_prefix(cut);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty()) std::fprintf(out, "%*s", indent, "");
    at = indent;
  }
}

bool TakesRunOnly(Id id) { return id == Id::Macro || id == Id::MacroNumber || id == Id::Debug; }
bool WorkstationOnly(Id id) {
  return id == Id::Keys || id == Id::Dump || id == Id::Geometry || id == Id::NoCompiler ||
         id == Id::ReadyTime;
}

} // namespace

bool Parse(int argc, char** argv, CommandLine& line, std::string& error) {
  line = CommandLine{};
  line.qtArguments.emplace_back(argc > 0 ? argv[0] : "velmarin");
  std::vector<Id> given;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "--name=value" is "--name value".
    std::string value;
    bool inlineValue = false;
    if (arg.starts_with("--") && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg.resize(arg.find('='));
      inlineValue = true;
    }
    const Option* o = Find(arg);
    if (o == nullptr || o->id == Id::Platform) {
      const QtOption* qt = FindQt(argv[i]);
      if (qt == nullptr) {
        error = "unknown option " + arg + " (velmarin --help lists the options)";
        return false;
      }
      line.qtArguments.emplace_back(argv[i]);
      const bool joined = std::strchr(argv[i], '=') != nullptr;
      if (qt->value && !joined) {
        if (i + 1 >= argc) {
          error = arg + " needs an argument";
          return false;
        }
        line.qtArguments.emplace_back(argv[++i]);
      }
      if (std::string_view(qt->name) == "platform") line.platformGiven = true;
      continue;
    }
    if (o->value == nullptr && inlineValue) {
      error = arg + " takes no argument";
      return false;
    }
    if (o->value != nullptr && !inlineValue) {
      if (i + 1 >= argc) {
        error = arg + " needs " + o->value;
        return false;
      }
      value = argv[++i];
    }
    given.push_back(o->id);
    switch (o->id) {
    case Id::Help:
      line.help = true;
      break;
    case Id::Version:
      line.version = true;
      break;
    case Id::Run:
      if (value.empty()) {
        error = "--run needs PROGRAM.mod";
        return false;
      }
      line.run = value;
      break;
    case Id::Macro:
      line.macro = value;
      break;
    case Id::MacroNumber: {
      char* end = nullptr;
      errno = 0;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != 0 || errno != 0 || n < 1 || n > Macros::kMaxMacros) {
        error = "--macro-number needs a number from 1 to " + std::to_string(Macros::kMaxMacros);
        return false;
      }
      line.macroNumber = static_cast<int>(n);
      break;
    }
    case Id::Screenshot:
      line.screenshot = value;
      break;
    case Id::Keys:
      line.keys = value;
      line.haveKeys = true;
      break;
    case Id::Dump:
      line.dump = value;
      break;
    case Id::Geometry:
      line.geometry = value;
      break;
    case Id::NoCompiler:
      line.noCompiler = true;
      break;
    case Id::NoJit:
      line.noJit = true;
      break;
    case Id::Debug:
      line.debug = true;
      break;
    case Id::ReadyTime:
      line.readyTime = true;
      break;
    case Id::Platform:
      break; // handed to Qt above
    }
  }
  if (line.help || line.version) return true;
  for (const Id id : given) {
    const char* name = nullptr;
    for (const Option& o : kOptions)
      if (o.id == id) name = o.name;
    if (line.run.empty() && TakesRunOnly(id)) {
      error = std::string(name) + " goes with --run";
      return false;
    }
    if (!line.run.empty() && WorkstationOnly(id)) {
      error = std::string(name) + " does not go with --run";
      return false;
    }
  }
  if (line.debug && !line.screenshot.empty()) {
    error = "--debug does not go with --screenshot";
    return false;
  }
  if (line.macro.empty() && std::find(given.begin(), given.end(), Id::MacroNumber) != given.end()) {
    error = "--macro-number goes with --macro";
    return false;
  }
  return true;
}

void PrintUsage(std::FILE* out) {
  for (const char* s : kSynopsis) std::fprintf(out, "%s\n", s);
  Wrapped(out, kDescription, 0, 0);
  std::fprintf(out, "\nOptions:\n");
  for (const Option& o : kOptions) {
    std::string head = std::string("  ") + o.name;
    if (o.value != nullptr) head += std::string(" ") + o.value;
    std::fprintf(out, "%s", head.c_str());
    int at = static_cast<int>(head.size());
    if (at > kHelpColumn - 2) {
      std::fprintf(out, "\n");
      at = 0;
    }
    std::fprintf(out, "%*s", kHelpColumn - at, "");
    Wrapped(out, o.help, kHelpColumn, kHelpColumn);
  }
  std::fprintf(out, "\n");
  for (const char* s : kEpilogue) std::fprintf(out, "%s\n", s);
}

bool CheckInputFile(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = path + (errno == ENOENT || errno == ENOTDIR
                        ? ": no such file"
                        : ": cannot be read (" + std::string(std::strerror(errno)) + ")");
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = path + ": is a directory";
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": cannot be read (" + std::string(std::strerror(errno)) + ")";
    return false;
  }
  ::close(fd);
  return true;
}

} // namespace Options
