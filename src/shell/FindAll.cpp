#include "shell/FindAll.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/Chars.h"
#include "base/Charset.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/ShellStart.h"
#include "platform/Alerts.h"
#include "store/Buffer.h"
#include "store/Lines.h"

namespace FindAll {

namespace {

using base::Chars;
using Buffer::Ref;

constexpr char kSearchFor[] = "Search for:";
constexpr char kReplaceAllPrompt[] = "Replace All:";
constexpr char kBy[] = "by:";
constexpr char kPasteNil[] = "PasteBuffer = NIL!";
constexpr char kLine[] = "   line: ";
constexpr char kAndMore[] = "   and more... ";
constexpr char kTooLong[] = " not replaced: line too long";
constexpr char kLeft[] = "   not replaced: ";
constexpr char kReplacedIn[] = "Search string replaced in ";
constexpr char kFoundIn[] = "Search string found in ";
constexpr char kModules[] = " module(s).";

constexpr std::int32_t kListedHits = 19; // hits listed by line; the next one says "and more"
using base::kLineHigh;                   // the longest line a replacement may make
constexpr std::size_t kNone = std::string_view::npos;

// A plain case-sensitive search for one pattern in one line at a time. With SSE2 the
// pattern's first and last characters are compared at 16 positions at once and the rest
// only where both agree; a line too short for that, or a machine without it, is looked
// through one position at a time. A pattern of one character is memchr's.
class Pattern {
public:
  explicit Pattern(std::string_view p) : p_(p) {
#if defined(__SSE2__)
    if (!p.empty()) {
      first_ = _mm_set1_epi8(p.front());
      last_ = _mm_set1_epi8(p.back());
    }
#endif
  }

  std::size_t Size() const { return p_.size(); }

  // The first occurrence in text at or after from, or kNone.
  std::size_t Find(std::string_view text, std::size_t from) const {
    const std::size_t m = p_.size();
    const std::size_t n = text.size();
    if (m == 0 || n < m || from > n - m) return kNone;
    const char* s = text.data();
    const std::size_t last = n - m; // the last position an occurrence can start at
    std::size_t i = from;
    if (m == 1) {
      const void* hit = std::memchr(s + i, p_[0], n - i);
      return hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - s) : kNone;
    }
#if defined(__SSE2__)
    if (last >= 15) {
      // Every load stays inside the line: the block at i reads up to s[i + m + 14].
      for (; i + 15 <= last; i += 16) {
        const std::size_t at = Block(s, i, ~0u);
        if (at != kNone) return at;
      }
      // The positions left over: one block ending at the last position, without those
      // already looked at.
      return i > last ? kNone : Block(s, last - 15, ~0u << (i - (last - 15)));
    }
#endif
    const char head = p_.front();
    const char tail = p_.back();
    for (; i <= last; ++i) {
      if (s[i] == head && s[i + m - 1] == tail && std::memcmp(s + i, p_.data(), m) == 0) return i;
    }
    return kNone;
  }

private:
#if defined(__SSE2__)
  // The first occurrence starting at one of the positions i..i+15 that keep is set for.
  std::size_t Block(const char* s, std::size_t i, unsigned keep) const {
    const std::size_t m = p_.size();
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + m - 1));
    const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(a, first_), _mm_cmpeq_epi8(b, last_));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(both)) & keep;
    while (mask != 0) {
      const auto bit = static_cast<std::size_t>(__builtin_ctz(mask));
      if (std::memcmp(s + i + bit + 1, p_.data() + 1, m - 2) == 0) return i + bit;
      mask &= mask - 1;
    }
    return kNone;
  }

  __m128i first_ = _mm_setzero_si128();
  __m128i last_ = _mm_setzero_si128();
#endif
  std::string_view p_;
};

// One run of Find All or Replace All.
struct Run {
  bool replace = false;
  char search[kLineHigh + 1] = {};
  char replacement[kLineHigh + 1] = {};
  std::int32_t modules = 0; // buffers with hits
};

// The characters of a text (which has no terminator when it fills its array).
std::string_view ViewOf(Chars text) { return std::string_view(text.p, Strings::Length(text)); }

void ListHit(std::int32_t line, bool left) {
  char text[kLineHigh + 1];
  Strings::Assign(text, kLine);
  NumberOut::AppendInt(line, text, 0);
  if (left) Strings::Append(text, kTooLong);
  Shell::WriteList(text);
}

// Counts a hit of buffer b; false when the listing of the buffer is full, which ends
// Find All's search of it.
bool CountHit(Run& run, Ref b, std::int32_t& hits, std::int32_t line, bool left) {
  if (++hits == 1) {
    char name[sizeof Buffer::Record::name + 1];
    Buffer::LeafName(b, name);
    Shell::WriteList(name);
    ++run.modules;
  }
  if (hits <= kListedHits) {
    ListHit(line, left);
    return true;
  }
  if (hits == kListedHits + 1) Shell::WriteList(kAndMore);
  return false;
}

void FindIn(Run& run, Ref b, const Pattern& pattern) {
  std::int32_t hits = 0;
  const std::int32_t count = Lines::Count(b);
  for (std::int32_t n = 1; n <= count; ++n) {
    const std::string_view line = Lines::View(b, n);
    for (std::size_t at = pattern.Find(line, 0); at != kNone;
         at = pattern.Find(line, at + pattern.Size())) {
      if (!CountHit(run, b, hits, n, false)) return;
    }
  }
}

// Replaces every occurrence in b by with; true when a line changed.
bool ReplaceIn(Run& run, Ref b, const Pattern& pattern, std::string_view with, std::string& built) {
  const std::size_t m = pattern.Size();
  std::int32_t hits = 0;
  std::int32_t left = 0;
  bool changed = false;
  const std::int32_t count = Lines::Count(b);
  for (std::int32_t n = 1; n <= count; ++n) {
    const std::string_view line = Lines::View(b, n);
    std::size_t at = pattern.Find(line, 0);
    if (at == kNone) continue;
    built.clear();
    std::size_t from = 0;
    std::int32_t replaced = 0;
    for (; at != kNone; at = pattern.Find(line, from)) {
      built.append(line, from, at - from);
      from = at + m;
      const std::size_t after = line.size() - from;
      const bool fits = with.size() <= m || built.size() + with.size() + after <= kLineHigh;
      if (fits) {
        built.append(with);
        ++replaced;
      } else {
        built.append(line, at, m);
        ++left;
      }
      static_cast<void>(CountHit(run, b, hits, n, !fits));
    }
    if (replaced == 0) continue;
    built.append(line, from);
    if (Lines::Set(b, n, Chars(built))) {
      changed = true;
    } else {
      left += replaced; // out of memory: the line stays as it was
    }
  }
  if (left > 0) Shell::WriteListNumber(kLeft, left);
  return changed;
}

// The final line: to the List and the message line.
void Report(const Run& run) {
  char text[kLineHigh + 1];
  Strings::Assign(text, run.replace ? Chars(kReplacedIn) : Chars(kFoundIn));
  NumberOut::AppendInt(run.modules, text, 0);
  Strings::Append(text, kModules);
  Shell::WriteError(text);
}

bool PasteHolds(Chars text) {
  const Ref paste = Buffer::Find(Editor::kPasteBufferPath);
  return paste != nullptr && Lines::Count(paste) == 1 && Lines::View(paste, 1) == ViewOf(text);
}

void Search(bool replace) {
  Run run;
  run.replace = replace;
  Editor::ImportPasteBuffer();
  Editor::ClearEditMessage();
  Strings::Assign(run.search, base::CharsOf(Editor::SearchString()));
  const Ref paste = Buffer::Find(Editor::kPasteBufferPath);
  std::string first;
  Charset::Recode(Lines::CodingOf(paste), Charset::Coding::Utf8, Lines::View(paste, 1), first);
  Strings::Assign(run.replacement, Chars(first));
  const bool answered =
      replace ? Alerts::AskTwoStrings(kReplaceAllPrompt, run.search, kBy, run.replacement)
              : Alerts::AskString(kSearchFor, run.search);
  if (!answered || run.search[0] == 0) return;
  Editor::SetSearchString(run.search);
  // Find All leaves the paste buffer as the clipboard gave it: cutting it to its first
  // line would lose the rest.
  if (replace) {
    Editor::SetPasteLine(run.replacement);
    if (!PasteHolds(run.replacement)) {
      Alerts::Message(kPasteNil);
      return;
    }
  }
  std::string heading = replace ? "Replace All '" : "Find All '";
  heading += ViewOf(run.search);
  if (replace) {
    heading += "' with '";
    heading += ViewOf(run.replacement);
  }
  heading += "':";
  Shell::WriteList(Chars(heading));

  // A text that keeps UTF-8 as it is is searched for the search string's UTF-8, which
  // matches whole characters only, and gets the replacement's.
  const Pattern pattern(ViewOf(run.search));
  const std::string utf8Search = Charset::ToUtf8(ViewOf(run.search));
  const std::string utf8With = Charset::ToUtf8(ViewOf(run.replacement));
  const Pattern utf8Pattern(utf8Search);
  std::string built;
  built.reserve(kLineHigh + 1);
  bool changed = false;
  const Ref dir = Buffer::Current();
  const std::int32_t entries = Buffer::EntryCount(dir);
  for (std::int32_t i = 0; i < entries; ++i) {
    const Ref b = Buffer::Entry(dir, i);
    // The List text is where the hits go: searching it would find its own heading.
    if (b == nullptr || Buffer::KindOf(b) != Buffer::BufferKind::Text || b->data == nullptr ||
        b == Shell::ListText())
      continue;
    const bool utf8 = Charset::HoldsUtf8(Lines::CodingOf(b));
    if (!replace) {
      FindIn(run, b, utf8 ? utf8Pattern : pattern);
    } else if (utf8 ? ReplaceIn(run, b, utf8Pattern, utf8With, built)
                    : ReplaceIn(run, b, pattern, ViewOf(run.replacement), built)) {
      changed = true;
    }
  }
  // The undo record may point into a changed line.
  if (changed) Editor::SetUndoKind(Editor::UndoKind::None);
  Report(run);
}

} // namespace

void FindAll() { Search(false); }

void ReplaceAll() { Search(true); }

} // namespace FindAll
