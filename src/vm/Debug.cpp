#include "vm/Debug.h"

#include <utility>

namespace Vm::Debug {

namespace {
struct State {
  StopProc stopProc = nullptr;
  std::vector<LineBreak> points;
};
State state;
} // namespace

void SetStopProc(StopProc proc) { state.stopProc = proc; }
bool Stopped() { return false; }
void SetBreakpoints(std::vector<LineBreak> points) { state.points = std::move(points); }
std::int32_t PlacedLine(std::size_t) { return 0; }

} // namespace Vm::Debug
