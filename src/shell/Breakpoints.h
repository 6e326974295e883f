// The breakpoints of the texts: kept by line with each text, moved with its edits,
// dropped with a deleted line or text, kept between runs and compilations, and handed
// to the debugging session before each run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "debug/Session.h"
#include "store/Buffer.h"

namespace Breakpoints {

struct Mark {
  std::int32_t line = 0;
  std::string condition;     // "": the run stops whenever it passes
  std::int64_t hitCount = 0; // 0: from the first pass
};

// Follows the changes of every text from now on.
void Init();

// Sets a breakpoint on line of text, or clears the one there; true when one is set now.
bool Toggle(Buffer::Ref text, std::int32_t line);
// The breakpoint on line of text, or nullptr.
const Mark* Find(Buffer::Ref text, std::int32_t line);
// The condition and hit count of the breakpoint on line; false when there is none.
bool SetCondition(Buffer::Ref text, std::int32_t line, const std::string& condition,
                  std::int64_t hitCount);
// The breakpoints of text by line.
std::vector<Mark> Of(Buffer::Ref text);
// The breakpoints of all texts.
std::size_t Count();
// Clears every breakpoint; the texts that had some.
std::vector<Buffer::Ref> ClearAll();
// A text was renamed (to its new record) or deleted (to nullptr).
void TextMoved(Buffer::Ref from, Buffer::Ref to);

// The line a run stands on, marked beside it (nullptr: none); it moves with edits too.
void SetCurrentLine(Buffer::Ref text, std::int32_t line);
// The mark's colour beside line of b (a classic colour number, 0 for none): the current
// line blue, a breakpoint red. The margins' mark procedure.
std::int32_t Colour(Buffer::Ref b, std::int32_t line);

// Every breakpoint, each named by its text's path as the compiler records the source of
// the module compiled from it.
std::vector<Session::Breakpoint> ForRun();

} // namespace Breakpoints
