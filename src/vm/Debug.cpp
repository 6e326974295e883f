#include "vm/Debug.h"

#include <algorithm>
#include <climits>
#include <map>

namespace Vm::Debug {

const LineStart* PlaceLine(const std::vector<LineStart>& starts, std::int32_t line) {
  const LineStart* first = nullptr;
  for (const LineStart& s : starts)
    if (s.line == line && (first == nullptr || s.word < first->word)) first = &s;
  if (first != nullptr) return first;
  // The innermost procedure whose lines enclose the line: a nested procedure's lines lie
  // before its outer procedure's statements, so the narrowest span is the one.
  std::map<std::int32_t, std::pair<std::int32_t, std::int32_t>> spans; // by procedure
  for (const LineStart& s : starts) {
    const auto at = spans.try_emplace(s.procedure, s.line, s.line).first;
    at->second.first = std::min(at->second.first, s.line);
    at->second.second = std::max(at->second.second, s.line);
  }
  std::int32_t procedure = -1;
  std::int64_t span = INT64_MAX;
  for (const auto& [p, lines] : spans) {
    if (lines.first <= line && line <= lines.second && lines.second - lines.first < span)
      procedure = p, span = lines.second - lines.first;
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
