#include "store/Lines.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <limits>
#include <string>

#include "base/Strings.h"

namespace Lines {

namespace {

using Buffer::BufferKind;

constexpr std::int64_t kGrowStep = 256; // lines; the array's first size
// The most lines an array can hold while its size still fits a heap allocation.
constexpr std::int64_t kMaxArrayLines =
    (std::numeric_limits<std::int32_t>::max() - 4096) / static_cast<std::int64_t>(sizeof(char*));

// A text's data, in its own heap.
struct LineTable {
  char** lines; // nullptr until the first line
  std::int32_t capacity;
  std::int32_t used;
  std::int32_t limit;
  bool modified;
  Form form;
};

// A line's entry in the table: its characters (nullptr for an empty line), whose blocks
// are granule-aligned, with its LineEnd in the low bits.
constexpr std::uintptr_t kEndBits = 15;

char* CharsOf(char* entry) {
  return reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(entry) & ~kEndBits);
}
LineEnd EndBits(const char* entry) {
  return static_cast<LineEnd>(reinterpret_cast<std::uintptr_t>(entry) & kEndBits);
}
char* Entry(char* line, LineEnd end) {
  return reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(line) |
                                 static_cast<std::uintptr_t>(end));
}
void SetEnd(char*& entry, LineEnd end) { entry = Entry(CharsOf(entry), end); }

LineTable* TableOf(Ref b) {
  if (b == nullptr || b->kind != BufferKind::Text) return nullptr;
  return static_cast<LineTable*>(b->data);
}

// The table of a text, created when it has none; made tells whether this call created
// it, so that a failing operation can give it back.
LineTable* MakeTable(Ref b, bool& made) {
  made = false;
  if (b == nullptr || b->kind != BufferKind::Text) return nullptr;
  if (b->data != nullptr) return static_cast<LineTable*>(b->data);
  auto* t = static_cast<LineTable*>(Buffer::Allocate(b, sizeof(LineTable)));
  if (t == nullptr) return nullptr;
  *t = LineTable{nullptr, 0, 0, kMaxLimit, false, Form{}};
  Buffer::SetData(b, t, sizeof *t);
  made = true;
  return t;
}

void DropTable(Ref b, bool made) {
  if (!made) return;
  void* t = b->data;
  Buffer::Deallocate(b, sizeof(LineTable), t);
  Buffer::SetData(b, nullptr, 0);
}

std::int32_t ArrayBytes(std::int64_t lines) {
  return static_cast<std::int32_t>(lines * static_cast<std::int64_t>(sizeof(char*)));
}

void FreeArray(Ref b, char** lines, std::int64_t capacity) {
  void* p = lines;
  Buffer::Deallocate(b, ArrayBytes(capacity), p);
}

void FreeLine(Ref b, char* entry) {
  char* const line = CharsOf(entry);
  if (line == nullptr) return;
  void* p = line;
  Buffer::Deallocate(b, static_cast<std::int32_t>(std::strlen(line) + 1), p);
}

// A copy of the n characters at s in b's heap, nullptr for none; false when memory
// runs out.
bool NewLine(Ref b, const char* s, std::size_t n, char*& line) {
  line = nullptr;
  if (n == 0) return true;
  if (n >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;
  line = static_cast<char*>(Buffer::Allocate(b, static_cast<std::int32_t>(n + 1)));
  if (line == nullptr) return false;
  assert((reinterpret_cast<std::uintptr_t>(line) & kEndBits) == 0);
  std::memcpy(line, s, n);
  line[n] = 0;
  return true;
}

bool NewLine(Ref b, Chars s, char*& line) { return NewLine(b, s.p, Strings::Length(s), line); }

// The new capacity for n more lines: at least 256 more, and at least double, so that a
// text of many lines is not copied again for every 256 of them. 0 when no array that
// large can be allocated.
std::int64_t GrownCapacity(const LineTable* t, std::int64_t n) {
  const std::int64_t needed = std::int64_t{t->used} + n;
  const std::int64_t step = (n + kGrowStep - 1) / kGrowStep * kGrowStep;
  const std::int64_t capacity =
      std::min(std::max(2 * std::int64_t{t->capacity}, t->capacity + step), kMaxArrayLines);
  return capacity >= needed ? capacity : 0;
}

// A new array of capacity references in b's heap, or nullptr.
char** NewArray(Ref b, std::int64_t capacity) {
  if (capacity == 0) return nullptr;
  return static_cast<char**>(Buffer::Allocate(b, ArrayBytes(capacity)));
}

struct State {
  // The modules that follow texts, in the order they began to.
  std::array<ChangeProc, kMaxFollowers> followers{};
};
State state;

void Changed(Ref b, Change change, std::int32_t first, std::int32_t count) {
  for (ChangeProc proc : state.followers)
    if (proc != nullptr) proc(b, change, first, count);
}

bool Within(const char* p, char* entry) {
  const char* const line = CharsOf(entry);
  return line != nullptr && p >= line && p <= line + std::strlen(line);
}

} // namespace

std::int32_t Count(Ref b) {
  const LineTable* t = TableOf(b);
  return t == nullptr ? 0 : t->used;
}

std::string_view View(Ref b, std::int32_t n) {
  const LineTable* t = TableOf(b);
  if (t == nullptr || n < 1 || n > t->used) return {};
  const char* const line = CharsOf(t->lines[n - 1]);
  return line == nullptr ? std::string_view() : std::string_view(line);
}

void Get(Ref b, std::int32_t n, VarChars s) {
  const std::string_view line = View(b, n);
  const std::size_t k = std::min(line.size(), s.size());
  std::copy_n(line.data(), k, s.p);
  if (k < s.size()) s[k] = 0;
}

std::int32_t Length(Ref b, std::int32_t n) { return static_cast<std::int32_t>(View(b, n).size()); }

bool Set(Ref b, std::int32_t n, Chars s) {
  LineTable* t = TableOf(b);
  if (t == nullptr || n < 1 || n > t->used) return false;
  char* line;
  if (!NewLine(b, s, line)) return false;
  const LineEnd end = EndBits(t->lines[n - 1]);
  FreeLine(b, t->lines[n - 1]);
  t->lines[n - 1] = Entry(line, end);
  t->modified = true;
  Changed(b, Change::Replaced, n, 1);
  return true;
}

bool Append(Ref b, Chars s) { return Append(b, s.p, Strings::Length(s)); }

bool Append(Ref b, const char* s, std::size_t length) {
  // A line added after one without a line end starts a line of its own.
  LineTable* t = TableOf(b);
  const bool joined =
      t != nullptr && t->used > 0 && EndBits(t->lines[t->used - 1]) == LineEnd::None;
  if (joined) SetEnd(t->lines[t->used - 1], LineEnd::Text);
  if (Append(b, s, length, LineEnd::Text)) return true;
  if (joined) SetEnd(t->lines[t->used - 1], LineEnd::None);
  return false;
}

bool Append(Ref b, const char* s, std::size_t length, LineEnd end) {
  bool made;
  LineTable* t = MakeTable(b, made);
  if (t == nullptr) return false;
  std::string copy;
  if (t->used > 0 && t->used >= t->limit) {
    // The text loses line 1 first; a string that lies in that line is read before.
    if (Within(s, t->lines[0])) {
      copy.assign(s, length);
      s = copy.data();
    }
    Delete(b, 1, 1);
  }
  // The array and the line are both obtained before anything changes, so that a
  // failure leaves the text as it was.
  char** grown = nullptr;
  std::int64_t capacity = 0;
  if (t->used == t->capacity) {
    capacity = GrownCapacity(t, 1);
    grown = NewArray(b, capacity);
    if (grown == nullptr) {
      DropTable(b, made);
      return false;
    }
  }
  char* line;
  if (!NewLine(b, s, length, line)) {
    if (grown != nullptr) FreeArray(b, grown, capacity);
    DropTable(b, made);
    return false;
  }
  if (grown != nullptr) {
    std::copy(t->lines, t->lines + t->used, grown);
    FreeArray(b, t->lines, t->capacity);
    t->lines = grown;
    t->capacity = static_cast<std::int32_t>(capacity);
    t->modified = true;
  }
  t->lines[t->used++] = Entry(line, end);
  Changed(b, Change::Inserted, t->used, 1);
  return true;
}

bool AppendText(Ref b, Ref from) {
  const Charset::Coding fromCoding = CodingOf(from), toCoding = CodingOf(b);
  std::string line;
  for (std::int32_t n = 1; n <= Count(from); ++n) {
    line.clear();
    Charset::Recode(fromCoding, toCoding, View(from, n), line);
    if (!Append(b, line.data(), line.size())) return false;
  }
  return true;
}

LineEnd EndOf(Ref b, std::int32_t n) {
  const LineTable* t = TableOf(b);
  if (t == nullptr || n < 1 || n > t->used) return LineEnd::Text;
  return EndBits(t->lines[n - 1]);
}

bool Insert(Ref b, std::int32_t position, std::int32_t count) {
  if (b == nullptr || b->kind != BufferKind::Text) return false;
  if (count < 1) return true;
  if (position < 1 || position > Count(b) + 1) return false;
  bool made;
  LineTable* t = MakeTable(b, made);
  if (t == nullptr) return false;
  if (std::int64_t{t->used} + count > t->limit) {
    // Dropping count lines from the top must leave the insertion point in the text.
    if (position - 1 <= count) {
      DropTable(b, made);
      return false;
    }
    Delete(b, 1, count);
    position -= count;
  }
  const std::int32_t at = position - 1;
  if (std::int64_t{t->used} + count > t->capacity) {
    const std::int64_t capacity = GrownCapacity(t, count);
    char** grown = NewArray(b, capacity);
    if (grown == nullptr) {
      DropTable(b, made);
      return false;
    }
    std::copy(t->lines, t->lines + at, grown);
    std::fill(grown + at, grown + at + count, nullptr);
    std::copy(t->lines + at, t->lines + t->used, grown + at + count);
    FreeArray(b, t->lines, t->capacity);
    t->lines = grown;
    t->capacity = static_cast<std::int32_t>(capacity);
    t->modified = true;
  } else {
    std::copy_backward(t->lines + at, t->lines + t->used, t->lines + t->used + count);
    std::fill(t->lines + at, t->lines + at + count, nullptr);
  }
  t->used += count;
  if (at > 0 && EndBits(t->lines[at - 1]) == LineEnd::None) {
    SetEnd(t->lines[at - 1], LineEnd::Text);
    SetEnd(t->lines[at + count - 1], LineEnd::None);
  }
  Changed(b, Change::Inserted, position, count);
  return true;
}

void Delete(Ref b, std::int32_t first, std::int32_t count) {
  LineTable* t = TableOf(b);
  if (t == nullptr || first < 1 || first - 1 > t->used) return;
  const std::int32_t at = first - 1;
  const std::int32_t n = std::min(count, t->used - at);
  if (n < 1) return;
  if (at > 0 && EndBits(t->lines[at - 1]) == LineEnd::None)
    SetEnd(t->lines[at - 1], EndBits(t->lines[at + n - 1]));
  for (std::int32_t i = at; i < at + n; ++i) FreeLine(b, t->lines[i]);
  std::copy(t->lines + at + n, t->lines + t->used, t->lines + at);
  t->used -= n;
  t->modified = true;
  Changed(b, Change::Deleted, first, n);
}

void SetLimit(Ref b, std::int32_t lines) {
  if (lines < 2 || lines > kMaxLimit) lines = kMaxLimit;
  bool made;
  LineTable* t = MakeTable(b, made);
  if (t == nullptr) return;
  if (t->used > lines) Delete(b, 1, t->used - lines);
  t->limit = lines;
}

std::int32_t Limit(Ref b) {
  const LineTable* t = TableOf(b);
  return t == nullptr ? 0 : t->limit;
}

std::int32_t Capacity(Ref b) {
  if (b == nullptr || b->kind != BufferKind::Text) return 0;
  const LineTable* t = TableOf(b);
  const std::int64_t limit = t != nullptr ? t->limit : kMaxLimit;
  return static_cast<std::int32_t>(std::min(limit, kMaxArrayLines));
}

void SetModified(Ref b, bool flag) {
  bool made;
  LineTable* t = flag ? MakeTable(b, made) : TableOf(b);
  if (t != nullptr) t->modified = flag;
}

bool Follow(ChangeProc proc) {
  if (proc == nullptr) return false;
  for (ChangeProc& slot : state.followers)
    if (slot == proc) return true;
  for (ChangeProc& slot : state.followers)
    if (slot == nullptr) {
      slot = proc;
      return true;
    }
  return false;
}

void Unfollow(ChangeProc proc) {
  for (ChangeProc& slot : state.followers)
    if (slot == proc) slot = nullptr;
}

bool Modified(Ref b) {
  const LineTable* t = TableOf(b);
  return t != nullptr && t->modified;
}

Form GetForm(Ref b) {
  const LineTable* t = TableOf(b);
  return t == nullptr ? Form{} : t->form;
}

bool SetForm(Ref b, const Form& form) {
  bool made;
  LineTable* t = MakeTable(b, made);
  if (t != nullptr) t->form = form;
  return t != nullptr;
}

Charset::Coding CodingOf(Ref b) { return GetForm(b).coding; }

} // namespace Lines
