#include "app/LineDebugger.h"

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "debug/Inspect.h"
#include "debug/Session.h"
#include "textio/TextIO.h"
#include "vm/Debug.h"
#include "vm/Vm.h"

namespace LineDebugger {

namespace {

using Vm::Debug::Resume;

constexpr const char* kPrompt = "(debug) ";
constexpr int kListLines = 10;

struct State {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::string mainFile;
  const std::function<void()>* run = nullptr;
  bool stopped = false; // it waits for the user's commands
  bool ending = false;  // the user ends it
  bool rerun = false;   // and starts it again
  bool quit = false;
  std::vector<Vm::Debug::Frame> frames; // of the stop, or of the trap that ended the run
  std::size_t selected = 0;
  std::vector<int> numbers; // of the session's breakpoints, in their order
  int nextNumber = 1;
  std::string last; // the command an empty line repeats
  std::map<std::string, std::vector<std::string>> sources;
  std::string listFile; // where list goes on
  int listNext = 0;
};
State state;

void Say(const std::string& text) {
  std::fputs(text.c_str(), state.out);
  std::fputc('\n', state.out);
}

std::string Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

// A whole number of text; false when text is not one.
bool Number(const std::string& text, long& n) {
  if (text.empty() || text.size() > 9) return false;
  for (const char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  n = std::stol(text);
  return true;
}

std::string LastName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

const std::vector<std::string>& SourceLines(const std::string& path) {
  auto [at, fresh] = state.sources.try_emplace(path);
  if (fresh) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (file && std::getline(file, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      at->second.push_back(line);
    }
  }
  return at->second;
}

std::string SourceOf(const Vm::Debug::Frame& f) {
  return f.where.source.empty() ? f.where.module + ".mod" : f.where.source;
}

// "Module.Procedure at FILE:LINE".
std::string Where(const Vm::Debug::Frame& f) {
  std::string text = f.where.module;
  if (!f.where.procedure.empty()) text += "." + f.where.procedure;
  return text + " at " + LastName(SourceOf(f)) + ":" + std::to_string(f.where.line);
}

void ListLine(const std::string& path, int line) {
  const std::vector<std::string>& lines = SourceLines(path);
  if (line >= 1 && static_cast<std::size_t>(line) <= lines.size())
    Say(std::to_string(line) + "\t" + lines[static_cast<std::size_t>(line) - 1]);
}

void List(const std::string& path, int first) {
  const std::vector<std::string>& lines = SourceLines(path);
  if (lines.empty()) {
    Say("The source text " + LastName(path) + " cannot be read.");
    return;
  }
  if (first < 1) first = 1;
  if (static_cast<std::size_t>(first) > lines.size()) {
    Say("Line number " + std::to_string(first) + " out of range; " + LastName(path) + " has " +
        std::to_string(lines.size()) + " lines.");
    return;
  }
  for (int l = first; l < first + kListLines; ++l) ListLine(path, l);
  state.listFile = path;
  state.listNext = first + kListLines;
}

// The selected frame shown as the user meets it: where, then its line of source text.
void ShowFrame(const std::string& head) {
  const Vm::Debug::Frame& f = state.frames[state.selected];
  Say(head + Where(f));
  ListLine(SourceOf(f), f.where.line);
  state.listFile = SourceOf(f);
  state.listNext = f.where.line - kListLines / 2;
}

std::string FrameHead(std::size_t i) { return "#" + std::to_string(i) + "  "; }

void ShowDisplays() {
  if (state.frames.empty()) return;
  const std::vector<std::string> lines = Session::WatchLines(state.frames[state.selected]);
  for (std::size_t i = 0; i < lines.size(); ++i) Say(std::to_string(i + 1) + ": " + lines[i]);
}

// The index of breakpoint number text in the session's list; -1 (said) when there is none.
int IndexOf(const std::string& text) {
  long n = 0;
  if (!Number(text, n)) {
    Say("Bad breakpoint number \"" + text + "\".");
    return -1;
  }
  for (std::size_t i = 0; i < state.numbers.size(); ++i)
    if (state.numbers[i] == n) return static_cast<int>(i);
  Say("No breakpoint number " + text + ".");
  return -1;
}

void Break(const std::string& args) {
  std::string location = args, condition;
  const std::size_t ifAt = args.find(" if ");
  if (ifAt != std::string::npos) {
    location = Trim(args.substr(0, ifAt));
    condition = Trim(args.substr(ifAt + 4));
  }
  std::string file = state.mainFile, lineText = location;
  const std::size_t colon = location.rfind(':');
  if (colon != std::string::npos) {
    file = Trim(location.substr(0, colon));
    lineText = Trim(location.substr(colon + 1));
  }
  long line = 0;
  if (file.empty() || !Number(lineText, line) || line < 1) {
    Say("break needs FILE:LINE or LINE, with \"if CONDITION\" after it when wanted.");
    return;
  }
  std::vector<Session::Breakpoint> points = Session::Breakpoints();
  points.push_back({file, static_cast<std::int32_t>(line), condition, 0, 0});
  Session::SetBreakpoints(points);
  const int number = state.nextNumber++;
  state.numbers.push_back(number);
  const std::int32_t placed = Vm::Debug::PlacedLine(points.size() - 1);
  Say("Breakpoint " + std::to_string(number) + " at " + file + ":" +
      (placed != 0 ? std::to_string(placed) : std::to_string(line) + " (pending)"));
}

void Condition(const std::string& args) {
  const std::size_t space = args.find(' ');
  const int index = IndexOf(args.substr(0, space));
  if (index < 0) return;
  std::vector<Session::Breakpoint> points = Session::Breakpoints();
  points[static_cast<std::size_t>(index)].condition =
      space == std::string::npos ? "" : Trim(args.substr(space));
  if (points[static_cast<std::size_t>(index)].condition.empty())
    Say("Breakpoint " + std::to_string(state.numbers[static_cast<std::size_t>(index)]) +
        " now unconditional.");
  Session::SetBreakpoints(points);
}

void Ignore(const std::string& args) {
  const std::size_t space = args.find(' ');
  long count = 0;
  if (space == std::string::npos || !Number(Trim(args.substr(space)), count)) {
    Say("ignore needs a breakpoint number and a count.");
    return;
  }
  const int index = IndexOf(args.substr(0, space));
  if (index < 0) return;
  std::vector<Session::Breakpoint> points = Session::Breakpoints();
  Session::Breakpoint& b = points[static_cast<std::size_t>(index)];
  b.hitCount = b.hits + count + 1;
  const std::string number = std::to_string(state.numbers[static_cast<std::size_t>(index)]);
  Say(count == 0 ? "Will stop next time breakpoint " + number + " is reached."
                 : "Will ignore next " + std::to_string(count) + " crossings of breakpoint " +
                       number + ".");
  Session::SetBreakpoints(points);
}

void Delete(const std::string& args) {
  std::vector<Session::Breakpoint> points = Session::Breakpoints();
  if (args.empty()) {
    points.clear();
    state.numbers.clear();
  } else {
    std::istringstream words(args);
    std::string word;
    while (words >> word) {
      const int index = IndexOf(word);
      if (index < 0) return;
      points.erase(points.begin() + index);
      state.numbers.erase(state.numbers.begin() + index);
      Session::SetBreakpoints(points);
    }
  }
  Session::SetBreakpoints(points);
}

void InfoBreakpoints() {
  const std::vector<Session::Breakpoint>& points = Session::Breakpoints();
  if (points.empty()) {
    Say("No breakpoints.");
    return;
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Session::Breakpoint& b = points[i];
    const std::int32_t placed = Vm::Debug::PlacedLine(i);
    std::string text =
        std::to_string(state.numbers[i]) + "  " + b.file + ":" +
        (placed != 0 ? std::to_string(placed) : std::to_string(b.line) + " (pending)") + "  hits " +
        std::to_string(b.hits);
    if (!b.condition.empty()) text += "  if " + b.condition;
    if (b.hitCount > b.hits + 1) text += "  ignore next " + std::to_string(b.hitCount - b.hits - 1);
    Say(text);
  }
}

void Variables(const std::vector<Inspect::Value>& values, const char* none) {
  if (values.empty()) Say(none);
  for (const Inspect::Value& v : values) Say(v.name + " = " + v.text);
}

bool NeedFrame() {
  if (!state.frames.empty()) return true;
  Say("No stack.");
  return false;
}

bool NeedStop() {
  if (state.stopped) return true;
  Say("The program is not being run.");
  return false;
}

void RunProgram();

// Carries out one command; true when the run stopped goes on, as resume says.
bool Command(const std::string& text, Resume& resume) {
  const std::size_t space = text.find(' ');
  const std::string verb = text.substr(0, space);
  const std::string args = space == std::string::npos ? "" : Trim(text.substr(space));
  if (verb == "break" || verb == "b") {
    Break(args);
  } else if (verb == "condition") {
    Condition(args);
  } else if (verb == "ignore") {
    Ignore(args);
  } else if (verb == "delete" || verb == "d") {
    Delete(args);
  } else if (verb == "info" || verb == "i") {
    if (args == "breakpoints" || args == "break" || args == "b")
      InfoBreakpoints();
    else if (args == "locals" && NeedFrame())
      Variables(Inspect::Locals(state.frames[state.selected]), "No locals.");
    else if (args == "globals" && NeedFrame())
      Variables(Inspect::Globals(state.frames[state.selected]), "No globals.");
    else if (args != "locals" && args != "globals")
      Say("info needs breakpoints, locals or globals.");
  } else if (verb == "run" || verb == "r") {
    if (!state.stopped) {
      RunProgram();
      return false;
    }
    state.rerun = state.ending = true;
    resume = Resume::Stop;
    return true;
  } else if (verb == "next" || verb == "n" || verb == "step" || verb == "s" || verb == "continue" ||
             verb == "c") {
    if (!NeedStop()) return false;
    resume = verb[0] == 'n'   ? Resume::StepOver
             : verb[0] == 's' ? Resume::StepInto
                              : Resume::Continue;
    return true;
  } else if (verb == "finish") {
    if (!NeedStop()) return false;
    if (state.frames.size() < 2) {
      Say("\"finish\" not meaningful in the outermost frame.");
      return false;
    }
    resume = Resume::StepOut;
    return true;
  } else if (verb == "print" || verb == "p") {
    if (args.empty()) {
      Say("print needs an expression.");
    } else if (NeedFrame()) {
      const Inspect::Result r = Inspect::Evaluate(state.frames[state.selected], args);
      Say(r.ok ? args + " = " + r.value.text : r.error);
    }
  } else if (verb == "set") {
    const std::size_t at = args.find(' ');
    const std::string what = args.substr(0, at);
    const std::string rest = at == std::string::npos ? "" : args.substr(at);
    const std::size_t equals = rest.find('=');
    if ((what != "var" && what != "variable") || equals == std::string::npos) {
      Say("set needs var VARIABLE = VALUE.");
    } else if (NeedFrame()) {
      const std::string error =
          Inspect::Assign(state.frames[state.selected], Trim(rest.substr(0, equals)),
                          Trim(rest.substr(equals + 1)));
      if (!error.empty()) Say(error);
    }
  } else if (verb == "display") {
    if (!args.empty()) {
      std::vector<std::string> watches = Session::Watches();
      watches.push_back(args);
      Session::SetWatches(watches);
    }
    ShowDisplays();
  } else if (verb == "bt" || verb == "backtrace" || verb == "where") {
    if (NeedFrame())
      for (std::size_t i = 0; i < state.frames.size(); ++i)
        Say(FrameHead(i) + Where(state.frames[i]));
  } else if (verb == "frame" || verb == "f" || verb == "up" || verb == "down") {
    if (!NeedFrame()) return false;
    long n = static_cast<long>(state.selected);
    if (verb == "up") {
      if (state.selected + 1 >= state.frames.size()) {
        Say("Initial frame selected; you cannot go up.");
        return false;
      }
      ++n;
    } else if (verb == "down") {
      if (state.selected == 0) {
        Say("Bottom (innermost) frame selected; you cannot go down.");
        return false;
      }
      --n;
    } else if (!args.empty() &&
               (!Number(args, n) || static_cast<std::size_t>(n) >= state.frames.size())) {
      Say("No frame " + args + ".");
      return false;
    }
    state.selected = static_cast<std::size_t>(n);
    ShowFrame(FrameHead(state.selected));
  } else if (verb == "list" || verb == "l") {
    long n = 0;
    if (!args.empty() && !Number(args, n)) {
      Say("list needs a line number.");
    } else if (n > 0) {
      List(state.listFile.empty() ? state.mainFile : state.listFile,
           static_cast<int>(n) - kListLines / 2);
    } else {
      List(state.listFile.empty() ? state.mainFile : state.listFile, state.listNext);
    }
  } else if (verb == "quit" || verb == "q") {
    state.quit = true;
    if (!state.stopped) return false;
    state.ending = true;
    resume = Resume::Stop;
    return true;
  } else {
    Say("Undefined command: \"" + verb + "\".");
  }
  return false;
}

// Reads the next command; false at the end of the input.
bool Read(std::string& command) {
  std::fputs(kPrompt, state.out);
  std::fflush(state.out);
  std::string line;
  int c;
  while ((c = std::fgetc(state.in)) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF && line.empty()) {
    std::fputc('\n', state.out);
    return false;
  }
  command = Trim(line);
  // An empty line repeats a command that goes on: next, step, continue, finish, list.
  if (command.empty()) {
    command = state.last;
  } else {
    const std::string verb = command.substr(0, command.find(' '));
    const bool repeats = verb == "next" || verb == "n" || verb == "step" || verb == "s" ||
                         verb == "continue" || verb == "c" || verb == "finish" || verb == "list" ||
                         verb == "l";
    state.last = repeats ? verb : "";
  }
  return true;
}

// Commands until one goes on with the run; at the end of the input the run ends.
Resume Commands() {
  std::string command;
  while (Read(command)) {
    Resume resume = Resume::Continue;
    if (!command.empty() && Command(command, resume)) return resume;
    if (state.quit) break;
  }
  state.quit = true;
  state.ending = state.stopped;
  return Resume::Stop;
}

Resume OnStop(const Vm::Debug::Stop& stop) {
  TextIO::EndLine();
  std::fflush(state.out);
  state.frames = stop.frames;
  state.selected = 0;
  if (state.frames.empty()) return Resume::Continue;
  if (!stop.message.empty()) Say(stop.message);
  std::string head;
  if (stop.reason == Vm::Debug::Reason::Breakpoint) {
    const auto index = static_cast<std::size_t>(stop.breakpoint);
    head = "Breakpoint " +
           (index < state.numbers.size() ? std::to_string(state.numbers[index]) : "?") + ", ";
  }
  ShowFrame(head);
  ShowDisplays();
  state.stopped = true;
  const Resume resume = Commands();
  state.stopped = false;
  state.frames.clear();
  return resume;
}

void RunProgram() {
  do {
    state.rerun = state.ending = false;
    state.frames.clear();
    state.selected = 0;
    (*state.run)();
    if (state.ending) continue;
    if (Vm::LastRunTrapped()) {
      state.frames = Vm::Debug::LastTrap().frames;
      Say("Program stopped: " + Vm::LastReport().message);
      if (!state.frames.empty()) ShowFrame("");
    } else {
      Say("The program ended.");
    }
  } while (state.rerun && !state.quit);
  state.ending = false;
}

} // namespace

void Run(std::FILE* in, std::FILE* out, const std::string& mainFile,
         const std::function<void()>& run) {
  state = State{};
  state.in = in;
  state.out = out;
  state.mainFile = mainFile;
  state.run = &run;
  Session::SetBreakpoints({});
  Session::SetWatches({});
  Session::Start(OnStop);
  std::string command;
  while (!state.quit && Read(command)) {
    Resume resume;
    if (!command.empty()) Command(command, resume);
  }
  Session::Start(nullptr);
  Session::SetBreakpoints({});
  std::fflush(out);
}

bool EndingRun() { return state.ending; }

} // namespace LineDebugger
