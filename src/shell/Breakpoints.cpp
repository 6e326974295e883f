#include "shell/Breakpoints.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/Chars.h"
#include "base/Strings.h"
#include "store/Lines.h"

namespace Breakpoints {

namespace {

constexpr std::int32_t kRed = 205;
constexpr std::int32_t kBlue = 409;

struct State {
  bool following = false;
  std::map<Buffer::Ref, std::vector<Mark>> texts; // each text's marks, by line
  Buffer::Ref current = nullptr;                  // the line a run stands on
  std::int32_t currentLine = 0;
};
State state;

// Keeps the marks with the lines they stand on: lines inserted above push them down,
// lines deleted above pull them up, a deleted line takes its mark along.
void OnChange(Buffer::Ref b, Lines::Change change, std::int32_t first, std::int32_t count) {
  if (b == state.current && change != Lines::Change::Replaced && state.currentLine >= first) {
    if (change == Lines::Change::Inserted)
      state.currentLine += count;
    else if (state.currentLine >= first + count)
      state.currentLine -= count;
    else
      state.current = nullptr;
  }
  const auto it = state.texts.find(b);
  if (it == state.texts.end() || change == Lines::Change::Replaced || count <= 0) return;
  std::vector<Mark>& marks = it->second;
  if (change == Lines::Change::Inserted) {
    for (Mark& m : marks)
      if (m.line >= first) m.line += count;
    return;
  }
  std::erase_if(marks, [&](const Mark& m) { return m.line >= first && m.line < first + count; });
  for (Mark& m : marks)
    if (m.line >= first + count) m.line -= count;
  if (marks.empty()) state.texts.erase(it);
}

Mark* Lookup(Buffer::Ref text, std::int32_t line) {
  const auto it = state.texts.find(text);
  if (it == state.texts.end()) return nullptr;
  const auto m = std::find_if(it->second.begin(), it->second.end(),
                              [line](const Mark& k) { return k.line == line; });
  return m != it->second.end() ? &*m : nullptr;
}

// The texts of the store: a record whose text went another way than Delete and Rename
// (a directory deleted with it) is not followed further.
void AddTexts(Buffer::Ref dir, std::set<Buffer::Ref>& texts) {
  Buffer::ForEach(dir, [&texts](Buffer::Ref b) {
    if (Buffer::KindOf(b) == Buffer::BufferKind::Directory)
      AddTexts(b, texts);
    else if (Buffer::KindOf(b) == Buffer::BufferKind::Text)
      texts.insert(b);
  });
}

} // namespace

void Init() {
  if (state.following) return;
  state.following = Lines::Follow(OnChange);
}

bool Toggle(Buffer::Ref text, std::int32_t line) {
  if (text == nullptr || line < 1) return false;
  Init();
  std::vector<Mark>& marks = state.texts[text];
  const auto at =
      std::find_if(marks.begin(), marks.end(), [line](const Mark& m) { return m.line == line; });
  if (at != marks.end()) {
    marks.erase(at);
    if (marks.empty()) state.texts.erase(text);
    return false;
  }
  marks.insert(std::upper_bound(marks.begin(), marks.end(), line,
                                [](std::int32_t l, const Mark& m) { return l < m.line; }),
               Mark{line, {}, 0});
  return true;
}

const Mark* Find(Buffer::Ref text, std::int32_t line) { return Lookup(text, line); }

bool SetCondition(Buffer::Ref text, std::int32_t line, const std::string& condition,
                  std::int64_t hitCount) {
  Mark* m = Lookup(text, line);
  if (m == nullptr) return false;
  m->condition = condition;
  m->hitCount = std::max<std::int64_t>(0, hitCount);
  return true;
}

std::vector<Mark> Of(Buffer::Ref text) {
  const auto it = state.texts.find(text);
  return it != state.texts.end() ? it->second : std::vector<Mark>{};
}

std::size_t Count() {
  std::size_t n = 0;
  for (const auto& [text, marks] : state.texts) n += marks.size();
  return n;
}

std::vector<Buffer::Ref> ClearAll() {
  std::vector<Buffer::Ref> texts;
  for (const auto& [text, marks] : state.texts) texts.push_back(text);
  state.texts.clear();
  return texts;
}

void TextMoved(Buffer::Ref from, Buffer::Ref to) {
  if (from == state.current) state.current = to;
  const auto it = state.texts.find(from);
  if (it == state.texts.end() || from == to) return;
  std::vector<Mark> marks = std::move(it->second);
  state.texts.erase(it);
  if (to != nullptr) state.texts[to] = std::move(marks);
}

void SetCurrentLine(Buffer::Ref text, std::int32_t line) {
  Init();
  state.current = line > 0 ? text : nullptr;
  state.currentLine = line;
}

std::int32_t Colour(Buffer::Ref b, std::int32_t line) {
  if (b == state.current && line == state.currentLine) return kBlue;
  return Lookup(b, line) != nullptr ? kRed : 0;
}

std::vector<Session::Breakpoint> ForRun() {
  std::vector<Session::Breakpoint> points;
  std::set<Buffer::Ref> texts;
  AddTexts(Buffer::Root(), texts);
  std::erase_if(state.texts, [&texts](const auto& entry) { return !texts.contains(entry.first); });
  for (const auto& [text, marks] : state.texts) {
    char path[base::kLineHigh + 1];
    Buffer::FullName(text, path);
    for (const Mark& m : marks)
      points.push_back(Session::Breakpoint{path, m.line, m.condition, m.hitCount, 0});
  }
  return points;
}

} // namespace Breakpoints
