#include "vm/Debug.h"

#include <algorithm>
#include <climits>

namespace Vm::Debug {

const LineStart* PlaceLine(const std::vector<LineStart>& starts, std::int32_t line) {
  const LineStart* first = nullptr;
  for (const LineStart& s : starts)
    if (s.line == line && (first == nullptr || s.word < first->word)) first = &s;
  if (first != nullptr) return first;
  // The innermost procedure whose lines enclose the line: a nested procedure's lines lie
  // before its outer procedure's statements, so the narrowest span is the one.
  std::int32_t procedure = -1;
  std::int64_t span = INT64_MAX;
  for (const LineStart& s : starts) {
    std::int32_t low = INT32_MAX, high = INT32_MIN;
    for (const LineStart& t : starts) {
      if (t.procedure != s.procedure) continue;
      low = std::min(low, t.line);
      high = std::max(high, t.line);
    }
    if (low <= line && line <= high && high - low < span)
      procedure = s.procedure, span = high - low;
  }
  const LineStart* next = nullptr;
  for (const LineStart& s : starts) {
    if (s.line <= line || (procedure >= 0 && s.procedure != procedure)) continue;
    if (next == nullptr || s.line < next->line || (s.line == next->line && s.word < next->word))
      next = &s;
  }
  return next;
}

} // namespace Vm::Debug
