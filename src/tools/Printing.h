// Printing of text buffers: the whole current buffer, or the lines of the editor's select
// range, page by page on the platform's printer. Each page is drawn through the graphics
// layer on the printer's port: a window and a port record built on the printer from the
// heap of the print job, their font and size set before every page.
//
// The page margins, the font, its size and the wrapping of long lines live in the
// settings record. A print job is one at a time: a record in a heap buffer "/Shell/PrJ"
// followed by the tick count, from the first step of a command to its end. The platform's
// printer itself is kept from one job to the next, so that the page chosen in the printer
// setup is the one the next print uses.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include "platform/Toolbox.h"
#include "store/Buffer.h"
#include "tools/Settings.h"

namespace Printing {

// The print settings in the settings record (its further settings), in file order.
inline constexpr std::size_t kTopMargin = Settings::kFurther; // 8: 0.08 of the height
inline constexpr std::size_t kBottomMargin = kTopMargin + 8;  // 8: 0.08 of the height
inline constexpr std::size_t kLeftMargin = kTopMargin + 16;   // 8: 0.125 of the width
inline constexpr std::size_t kRightMargin = kTopMargin + 24;  // 8: 0.1 of the width
inline constexpr std::size_t kTextSize = kTopMargin + 32;     // 4: 12 points
inline constexpr std::size_t kTextFont = kTopMargin + 36;     // 4: 22, "Courier New"
inline constexpr std::size_t kTextWrapping = kTopMargin + 40; // 1: 1, long lines wrap
inline constexpr std::size_t kSettingsEnd = kTopMargin + 41;

// A last line or column beyond every text: the whole of it.
inline constexpr std::int32_t kWhole = INT32_MAX;

// The alerts.
inline constexpr char kInitFailed[] = "Printer initialization failed.";
inline constexpr char kOnlyText[] = "Only text buffers can be printed.";
inline constexpr char kNoPort[] = "Printer port is NIL!";

// The module body: the print settings become a client of the settings record (before
// start-up fills in the settings' defaults).
void Init();

// The print settings as the settings record holds them, and back.
Toolbox::PrintMargins CurrentSettings();
void StoreSettings(const Toolbox::PrintMargins& m);
// The correction every printing command starts with: a text size below 1 puts all seven
// settings back to their defaults, a size of 1 to 3 becomes 4.
void CorrectSettings();
// Whether the margins dialog was confirmed since the start.
bool MarginsChosen();

// ---- The File menu's commands ----
// Printer setup: the platform's page setup dialog.
void PrinterSetup();
// The margins dialog; true when it was confirmed (the settings then hold what it showed).
bool Margins();
// Prints the editor's current buffer, or its select range when one is open, after the
// page setup (the first time), the print dialog and the margins dialog (until one was
// confirmed); a cancelled dialog ends the command.
void Print();
// Print for the whole of b (the Notebook's Print).
void PrintText(Buffer::Ref b);

// The engine: lines firstLine to lastLine of b, the first from firstColumn, the last up
// to (not including) lastColumn, with the font and size. Alerts "Only text buffers can be
// printed." for a buffer that is no text. Uses the command's job, or a job of its own when
// no command runs. Returns the pages printed: 0 for an empty range or when the printer or
// the document could not be had.
std::int32_t PrintBufferRange(Buffer::Ref b, std::int32_t firstLine, std::int32_t firstColumn,
                              std::int32_t lastLine, std::int32_t lastColumn,
                              std::int32_t fontNumber, std::int32_t fontSize);

} // namespace Printing
