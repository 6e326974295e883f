#include "debug/Inspect.h"

namespace Inspect {

std::vector<Value> Locals(const Vm::Debug::Frame&) { return {}; }
std::vector<Value> Globals(const Vm::Debug::Frame&) { return {}; }
std::vector<Value> Children(const Value&, std::size_t, std::size_t) { return {}; }
Result Evaluate(const Vm::Debug::Frame&, std::string_view) {
  return {false, {}, "No symbol information."};
}
std::string Assign(const Vm::Debug::Frame&, std::string_view, std::string_view) {
  return "No symbol information.";
}

} // namespace Inspect
