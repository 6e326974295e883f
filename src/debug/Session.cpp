#include "debug/Session.h"

#include <utility>

namespace Session {

namespace {
struct State {
  Front front = nullptr;
  std::vector<Breakpoint> points;
  std::vector<std::string> watches;
};
State state;
} // namespace

void Start(Front front) { state.front = front; }
void SetBreakpoints(std::vector<Breakpoint> points) { state.points = std::move(points); }
const std::vector<Breakpoint>& Breakpoints() { return state.points; }
void SetWatches(std::vector<std::string> expressions) { state.watches = std::move(expressions); }
const std::vector<std::string>& Watches() { return state.watches; }
std::vector<std::string> WatchLines(const Vm::Debug::Frame&) { return {}; }

} // namespace Session
