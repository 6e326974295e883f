#include "debug/Session.h"

#include <utility>

#include "debug/Inspect.h"

namespace Session {

namespace {
struct State {
  Front front = nullptr;
  std::vector<Breakpoint> points;
  std::vector<std::string> watches;
};
State state;

// Whether the run stops at breakpoint b in frame: its condition TRUE and its count
// reached; error receives why a condition could not be evaluated (the run then stops).
bool Stops(Breakpoint& b, const Vm::Debug::Frame& frame, std::string& error) {
  if (!b.condition.empty()) {
    const Inspect::Result r = Inspect::Evaluate(frame, b.condition);
    if (!r.ok) {
      error = "The condition " + b.condition + " cannot be evaluated: " + r.error;
      return true;
    }
    if (r.value.type != "BOOLEAN") {
      error = "The condition " + b.condition + " is not a BOOLEAN but " + r.value.type + ".";
      return true;
    }
    if (r.value.text != "TRUE") return false;
  }
  ++b.hits;
  return b.hits >= b.hitCount;
}

Vm::Debug::Resume OnStop(const Vm::Debug::Stop& stop) {
  const auto index = static_cast<std::size_t>(stop.breakpoint);
  if (stop.reason == Vm::Debug::Reason::Breakpoint && index < state.points.size() &&
      !stop.frames.empty()) {
    std::string error;
    if (!Stops(state.points[index], stop.frames.front(), error)) return Vm::Debug::Resume::Continue;
    if (!error.empty()) {
      Vm::Debug::Stop failed = stop;
      failed.message = error;
      return state.front(failed);
    }
  }
  return state.front(stop);
}
} // namespace

void Start(Front front) {
  state.front = front;
  Vm::Debug::SetStopProc(front != nullptr ? OnStop : nullptr);
}

void SetBreakpoints(std::vector<Breakpoint> points) {
  state.points = std::move(points);
  std::vector<Vm::Debug::LineBreak> lines;
  for (const Breakpoint& b : state.points) lines.push_back({b.file, b.line});
  Vm::Debug::SetBreakpoints(std::move(lines));
}

const std::vector<Breakpoint>& Breakpoints() { return state.points; }
void SetWatches(std::vector<std::string> expressions) { state.watches = std::move(expressions); }
const std::vector<std::string>& Watches() { return state.watches; }

std::vector<std::string> WatchLines(const Vm::Debug::Frame& frame) {
  std::vector<std::string> lines;
  for (const std::string& w : state.watches) {
    const Inspect::Result r = Inspect::Evaluate(frame, w);
    lines.push_back(r.ok ? w + " = " + r.value.text : w + ": " + r.error);
  }
  return lines;
}

} // namespace Session
