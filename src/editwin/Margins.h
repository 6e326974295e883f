// Marks in the left margin of the text windows: a coloured bar beside a line (a
// breakpoint, the line where a run stands), in the strip left of the first column that
// text never covers, so that a mark never moves the text.
#pragma once

#include <cstdint>

#include "store/Buffer.h"

namespace ANSITerm {
struct TextWindow;
}

namespace Margins {

// The colour of the mark beside line of b as a classic colour number (Toolbox::ForeColor),
// 0 for none. Installed by the debugger; without one no text has marks.
using MarkProc = std::int32_t (*)(Buffer::Ref b, std::int32_t line);
void SetMarkProc(MarkProc proc);

// Paints the margin of the rows of t that show b from topLine on: a bar where a line has
// a mark, the background elsewhere. A terminal that showed no mark and shows none is
// left alone.
void Draw(ANSITerm::TextWindow* t, Buffer::Ref b, std::int32_t topLine, std::int32_t rows);
// The same for the editor's current text in its window.
void DrawCurrent();

} // namespace Margins
