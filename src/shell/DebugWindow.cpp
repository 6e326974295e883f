#include "shell/DebugWindow.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "base/Strings.h"
#include "debug/Inspect.h"
#include "debug/Session.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/Margins.h"
#include "editwin/ShellStart.h"
#include "platform/Alerts.h"
#include "shell/Breakpoints.h"
#include "shell/Compile.h"
#include "store/Lines.h"
#include "windows/KeyEvents.h"

namespace DebugWindow {

namespace {

using Vm::Debug::Resume;
using StopRecord = Vm::Debug::Stop;

constexpr char kDirectory[] = "/Debug";
constexpr char kPath[] = "/Debug/Debug";
constexpr std::size_t kPage = 50;       // elements of an array unfolded at a time
constexpr std::size_t kMaxFrames = 100; // calls listed; a deeper chain says how many more

constexpr char kStoppedRefusal[] = "A run is stopped: Continue (F6) or Stop (Shift+F6) it first.";
constexpr char kNoStop[] = "No run is stopped.";
constexpr char kNotAText[] = "Breakpoints go on the lines of a program's text.";
constexpr char kOnlyWhileStopped[] = "Values change only while a run is stopped.";

// A variable, a field or an element as the window shows it; unfolded ones hold their
// fields or elements read so far.
struct Node {
  Inspect::Value value;
  std::string designator; // how the program names it: r.next, a[3]
  bool open = false;
  std::vector<Node> children;
};

enum class RowKind : std::uint8_t { Text, Frame, Value, More };
// What the window's line offers to F9.
struct Row {
  RowKind kind = RowKind::Text;
  std::size_t frame = 0;
  Node* node = nullptr;
};

struct State {
  bool installed = false;
  const StopRecord* stop = nullptr; // while a run waits in Front
  std::optional<Resume> resume;
  bool running = false;
  std::size_t frame = 0; // the chosen frame
  std::vector<Node> locals;
  std::vector<Node> globals;
  std::vector<Row> rows; // one a line of the window's text
  void (*menuProc)() = nullptr;
};
State state;

void MenusChanged() {
  if (state.menuProc != nullptr) state.menuProc();
}

void Message(const std::string& text) { Editor::ShowEditMessage(base::CharsOf(text)); }

// The stop or trap the window shows: the stop a run waits at, else the last trap until
// the next run.
const StopRecord* Shown() {
  if (state.stop != nullptr) return state.stop;
  if (state.running) return nullptr;
  const StopRecord& trap = Vm::Debug::LastTrap();
  return trap.frames.empty() ? nullptr : &trap;
}

const Vm::Debug::Frame* ChosenFrame() {
  const StopRecord* s = Shown();
  if (s == nullptr || s->frames.empty()) return nullptr;
  return &s->frames[std::min(state.frame, s->frames.size() - 1)];
}

std::string Place(const Vm::Position& p) {
  std::string text = p.module;
  if (!p.procedure.empty()) text += "." + p.procedure;
  if (p.line > 0) text += ", line " + std::to_string(p.line);
  return text;
}

std::string Designator(const std::string& outer, const std::string& name) {
  return !name.empty() && name.front() == '[' ? outer + name : outer + "." + name;
}

std::vector<Node> NodesOf(const std::vector<Inspect::Value>& values, const std::string& outer) {
  std::vector<Node> nodes;
  for (const Inspect::Value& v : values)
    nodes.push_back(Node{v, outer.empty() ? v.name : Designator(outer, v.name), false, {}});
  return nodes;
}

// The variables of the chosen frame, all folded.
void LoadValues() {
  state.locals.clear();
  state.globals.clear();
  if (const Vm::Debug::Frame* f = ChosenFrame()) {
    state.locals = NodesOf(Inspect::Locals(*f), "");
    state.globals = NodesOf(Inspect::Globals(*f), "");
  }
}

// The next page of a record's fields or an array's elements.
void LoadMore(Node& n) {
  std::vector<Node> more =
      NodesOf(Inspect::Children(n.value, n.children.size(), kPage), n.designator);
  n.children.insert(n.children.end(), more.begin(), more.end());
}

// ---- The window's text ----

void AddRow(std::vector<std::string>& lines, std::string text, Row row = {}) {
  lines.push_back(std::move(text));
  state.rows.push_back(row);
}

void AddNodes(std::vector<std::string>& lines, std::vector<Node>& nodes, std::size_t depth) {
  const std::string indent(2 + 2 * depth, ' ');
  for (Node& n : nodes) {
    const char* fold = n.value.children == 0 ? "  " : n.open ? "- " : "+ ";
    AddRow(lines, indent + fold + n.value.name + ": " + n.value.type + " = " + n.value.text,
           Row{RowKind::Value, 0, &n});
    if (!n.open) continue;
    AddNodes(lines, n.children, depth + 1);
    if (n.children.size() < n.value.children)
      AddRow(lines,
             indent + "    ... " + std::to_string(n.value.children - n.children.size()) +
                 " more (F9 shows them)",
             Row{RowKind::More, 0, &n});
  }
}

std::string Status(const StopRecord* s) {
  if (s == nullptr)
    return state.running ? "Running." : "No run stopped. F9 sets a breakpoint on a text's line.";
  switch (s->reason) {
  case Vm::Debug::Reason::Breakpoint:
    return "Stopped at a breakpoint.";
  case Vm::Debug::Reason::Step:
    return "Stopped after a step.";
  case Vm::Debug::Reason::Trap:
    break;
  }
  return "Run-time error: " + s->message;
}

void AddWatches(std::vector<std::string>& lines, const Vm::Debug::Frame* f) {
  const std::vector<std::string>& watches = Session::Watches();
  AddRow(lines, "Watches:");
  if (watches.empty()) {
    AddRow(lines, "  (none: Debug > Watch... adds one)");
    return;
  }
  const std::vector<std::string> values =
      f != nullptr ? Session::WatchLines(*f) : std::vector<std::string>{};
  for (std::size_t i = 0; i < watches.size(); ++i)
    AddRow(lines, "  " + (i < values.size() ? values[i] : watches[i]));
}

std::vector<std::string> Render() {
  std::vector<std::string> lines;
  state.rows.clear();
  const StopRecord* s = Shown();
  AddRow(lines, Status(s));
  const Vm::Debug::Frame* f = ChosenFrame();
  if (f != nullptr) {
    AddRow(lines, "");
    AddRow(lines, "Calls (F9 on one shows its line and variables):");
    const std::size_t shown = std::min(s->frames.size(), kMaxFrames);
    for (std::size_t i = 0; i < shown; ++i)
      AddRow(lines, (i == state.frame ? "> " : "  ") + Place(s->frames[i].where),
             Row{RowKind::Frame, i, nullptr});
    if (s->frames.size() > shown)
      AddRow(lines, "  ... " + std::to_string(s->frames.size() - shown) + " more calls");
    AddRow(lines, "");
    AddRow(lines, "Parameters and locals of " +
                      Place(Vm::Position{f->where.module, f->where.procedure, {}, 0}) + ":");
    if (state.locals.empty()) AddRow(lines, "  (none)");
    AddNodes(lines, state.locals, 0);
    AddRow(lines, "");
    AddRow(lines, "Globals of " + f->where.module + ":");
    if (state.globals.empty()) AddRow(lines, "  (none)");
    AddNodes(lines, state.globals, 0);
  }
  AddRow(lines, "");
  AddWatches(lines, f);
  return lines;
}

Buffer::Ref Existing() { return Buffer::Find(kPath); }

// The window's text anew from the state; the cursor stays on its line.
void Refresh() {
  const Buffer::Ref b = Existing();
  if (b == nullptr) return;
  const std::vector<std::string> lines = Render();
  Lines::Delete(b, 1, Lines::Count(b));
  for (const std::string& line : lines)
    if (!Lines::Append(b, line)) break;
  Lines::SetModified(b, false);
  if (Editor::EditedText() == b) {
    const std::int32_t line = std::min(Editor::TextCursor().line, Lines::Count(b));
    Editor::ShowCursorAt(std::max(1, line), 1);
  }
  // Drawn now: at a stop the run waits before the editor's key is done.
  EditWindows::DrawChanged();
}

// The frame's line in its text, marked as the line the run stands on.
void ShowFrameLine(const Vm::Position& where) {
  const Buffer::Ref b = Buffer::Find(base::CharsOf(where.source));
  if (b == nullptr || Buffer::KindOf(b) != Buffer::BufferKind::Text || where.line < 1) {
    Breakpoints::SetCurrentLine(nullptr, 0);
    Message("The text of " + where.module + " is not in the store.");
    return;
  }
  Breakpoints::SetCurrentLine(b, where.line);
  Compile::ShowLine(b, where.line);
}

// The trap's innermost frame marked in its text, without showing it.
void MarkTrapLine() {
  const StopRecord* s = Shown();
  Buffer::Ref b = nullptr;
  std::int32_t line = 0;
  if (s != nullptr && !s->frames.empty()) {
    const Vm::Position& where = s->frames.front().where;
    b = Buffer::Find(base::CharsOf(where.source));
    line = where.line;
  }
  Breakpoints::SetCurrentLine(
      b != nullptr && Buffer::KindOf(b) == Buffer::BufferKind::Text ? b : nullptr, line);
}

void Resuming(Resume how) {
  if (state.stop == nullptr) {
    Message(kNoStop);
    return;
  }
  state.resume = how;
}

// The breakpoints of all texts to the session, for the runs to come and the one under way;
// those it has already keep their passes of this run.
void SendBreakpoints() {
  std::vector<Session::Breakpoint> points = Breakpoints::ForRun();
  for (Session::Breakpoint& p : points)
    for (const Session::Breakpoint& had : Session::Breakpoints())
      if (had.file == p.file && had.line == p.line) p.hits = had.hits;
  Session::SetBreakpoints(std::move(points));
}

// The text being edited and the cursor's line, when breakpoints can go there.
bool BreakpointPlace(Buffer::Ref& text, std::int32_t& line) {
  text = Editor::EditedText();
  if (text == nullptr || IsDebugText(text) || text == Shell::ListText()) {
    Message(kNotAText);
    return false;
  }
  line = Editor::TextCursor().line;
  return true;
}

void ChangeValue(Node& n) {
  const Vm::Debug::Frame* f = ChosenFrame();
  if (state.stop == nullptr || f == nullptr) {
    Message(kOnlyWhileStopped);
    return;
  }
  char answer[base::kLineHigh + 1];
  Strings::Assign(answer, base::CharsOf(n.value.text));
  const std::string prompt = "New value of " + n.designator + " (" + n.value.type + "):";
  if (!Alerts::AskString(base::CharsOf(prompt), answer)) return;
  const std::string error = Inspect::Assign(*f, n.designator, answer);
  if (!error.empty()) {
    Message(error);
    return;
  }
  const Inspect::Result now = Inspect::Evaluate(*f, n.designator);
  if (now.ok) n.value.text = now.value.text;
  Refresh();
  Message(n.designator + " = " + n.value.text);
}

// The debugger's function keys in the editor.
bool DebugKey(std::uint8_t code, std::uint8_t modifiers) {
  const bool shift = (modifiers & KeyEvents::kModShift) != 0;
  switch (code) {
  case KeyEvents::KeyF9:
    if (IsDebugText(Editor::EditedText()))
      ChooseRow();
    else
      ToggleBreakpoint();
    return true;
  case KeyEvents::KeyF6:
    if (shift)
      Stop();
    else
      Continue();
    return true;
  case KeyEvents::KeyF10:
    StepOver();
    return true;
  case KeyEvents::KeyF11:
    if (shift)
      StepOut();
    else
      StepInto();
    return true;
  default:
    return false;
  }
}

// One event of the workstation while a run waits: the texts take keys, the menus work.
void WaitStep() {
  std::uint8_t kind = 0;
  char ch = 0;
  std::uint8_t modifiers = 0;
  Editor::ReadEditKey(kind, ch, modifiers);
  if (!Editor::HandleEditKey(kind, ch, modifiers)) Editor::EnterFrontWindow();
}

} // namespace

void Init() {
  if (state.installed) return;
  state.installed = true;
  Breakpoints::Init();
  Margins::SetMarkProc(Breakpoints::Colour);
  Editor::SetDebugKeyProc(DebugKey);
  Session::Start(Front);
}

void ToggleBreakpoint() {
  Buffer::Ref text = nullptr;
  std::int32_t line = 0;
  if (!BreakpointPlace(text, line)) return;
  const bool set = Breakpoints::Toggle(text, line);
  SendBreakpoints();
  Margins::DrawCurrent();
  Message((set ? "Breakpoint set on line " : "Breakpoint cleared on line ") + std::to_string(line) +
          ".");
  MenusChanged();
}

void Condition() {
  Buffer::Ref text = nullptr;
  std::int32_t line = 0;
  if (!BreakpointPlace(text, line)) return;
  const Breakpoints::Mark* m = Breakpoints::Find(text, line);
  if (m == nullptr) {
    Message("No breakpoint on line " + std::to_string(line) + ": F9 sets one.");
    return;
  }
  char condition[base::kLineHigh + 1];
  char count[40];
  Strings::Assign(condition, base::CharsOf(m->condition));
  Strings::Assign(count, base::CharsOf(std::to_string(m->hitCount)));
  if (!Alerts::AskTwoStrings("Stop only where this is TRUE (empty: always):", condition,
                             "Stop from this pass on (0: the first):", count))
    return;
  std::int64_t hits = 0;
  const std::string_view typed(count);
  const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), hits);
  if (error != std::errc{} || end != typed.data() + typed.size() || hits < 0) {
    Message("The hit count is a whole number from 0, not \"" + std::string(typed) + "\".");
    return;
  }
  static_cast<void>(Breakpoints::SetCondition(text, line, condition, hits));
  SendBreakpoints();
  Message(condition[0] == 0 ? "The breakpoint stops whenever the run passes."
                            : "The breakpoint stops where " + std::string(condition) + ".");
}

void ClearAllBreakpoints() {
  for (const Buffer::Ref text : Breakpoints::ClearAll()) EditWindows::RedrawBuffer(text, 0);
  SendBreakpoints();
  Message("Every breakpoint is cleared.");
  MenusChanged();
}

void Continue() { Resuming(Resume::Continue); }
void StepInto() { Resuming(Resume::StepInto); }
void StepOver() { Resuming(Resume::StepOver); }
void StepOut() { Resuming(Resume::StepOut); }
void Stop() { Resuming(Resume::Stop); }

// Where the Debug window opens: over the List window, below the texts, so that the line
// a run stands on stays in sight.
Toolbox::Rect Where() { return Shell::ListWindowRect(Toolbox::FrameClientRect()); }

Buffer::Ref Text() {
  if (const Buffer::Ref b = Existing()) return b;
  if (Buffer::Open(kDirectory, Buffer::BufferKind::Directory) == nullptr) return nullptr;
  return Buffer::Create(kPath, Buffer::BufferKind::Text);
}

bool IsDebugText(Buffer::Ref b) { return b != nullptr && b == Existing(); }

void Show() {
  const Buffer::Ref b = Text();
  if (b == nullptr) return;
  Refresh();
  static_cast<void>(EditWindows::OpenBufferWindow(b, EditWindows::Placement::Given, Where()));
  Editor::EditText(b);
}

void AddWatch() {
  static char expression[base::kLineHigh + 1] = "";
  if (!Alerts::AskString("Watch (an expression; one watched already goes):", expression) ||
      expression[0] == 0)
    return;
  std::vector<std::string> watches = Session::Watches();
  const auto at = std::find(watches.begin(), watches.end(), std::string(expression));
  if (at != watches.end())
    watches.erase(at);
  else
    watches.emplace_back(expression);
  Session::SetWatches(std::move(watches));
  Refresh();
}

void ChooseRow() {
  const std::int32_t line = Editor::TextCursor().line;
  if (line < 1 || static_cast<std::size_t>(line) > state.rows.size()) return;
  const Row row = state.rows[static_cast<std::size_t>(line - 1)];
  switch (row.kind) {
  case RowKind::Frame: {
    state.frame = row.frame;
    LoadValues();
    Refresh();
    if (const Vm::Debug::Frame* f = ChosenFrame()) ShowFrameLine(f->where);
    return;
  }
  case RowKind::Value:
    if (row.node->value.children == 0) {
      ChangeValue(*row.node);
      return;
    }
    row.node->open = !row.node->open;
    if (row.node->open && row.node->children.empty()) LoadMore(*row.node);
    Refresh();
    return;
  case RowKind::More:
    LoadMore(*row.node);
    Refresh();
    return;
  case RowKind::Text:
    Message("F9 on a call chooses it; on a variable it unfolds it or changes its value.");
    return;
  }
}

bool Stopped() { return state.stop != nullptr || Vm::Debug::Stopped(); }

bool RefuseWhileStopped() {
  if (!Stopped()) return false;
  Message(kStoppedRefusal);
  return true;
}

void RunBegins() {
  state.running = true;
  state.frame = 0;
  LoadValues();
  Breakpoints::SetCurrentLine(nullptr, 0);
  Session::SetBreakpoints(Breakpoints::ForRun()); // a new run passed none yet
  Refresh();
}

void RunEnded() {
  state.running = false;
  state.frame = 0;
  LoadValues();
  MarkTrapLine();
  Refresh();
  MenusChanged();
}

Resume Front(const Vm::Debug::Stop& stop) {
  // A stop while one is shown (a body the stopped workstation ran) goes on.
  if (state.stop != nullptr || stop.frames.empty()) return Resume::Continue;
  struct Leave {
    ~Leave() {
      state.stop = nullptr;
      state.resume.reset();
      state.locals.clear();
      state.globals.clear();
      Breakpoints::SetCurrentLine(nullptr, 0);
      if (std::uncaught_exceptions() > 0) return;
      Refresh();
      MenusChanged();
    }
  } leave;
  state.stop = &stop;
  state.resume.reset();
  state.frame = 0;
  LoadValues();
  const Buffer::Ref window = Text();
  Refresh();
  if (window != nullptr && !EditWindows::HasOwnWindow(window))
    static_cast<void>(EditWindows::OpenOwnWindow(window, EditWindows::Placement::Given, Where()));
  ShowFrameLine(stop.frames.front().where);
  Message(Status(&stop) + " " + Place(stop.frames.front().where) +
          ": F6 goes on, F10 steps over, F11 into, Shift+F6 stops.");
  MenusChanged();
  while (!state.resume) WaitStep();
  return *state.resume;
}

void SetMenuProc(void (*proc)()) { state.menuProc = proc; }

} // namespace DebugWindow
