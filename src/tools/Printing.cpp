#include "tools/Printing.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/Charset.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "platform/Alerts.h"
#include "store/Lines.h"
#include "windows/Graphics.h"

namespace Printing {

namespace {

using Toolbox::PrintMargins;
using Toolbox::Rect;

constexpr PrintMargins kDefaults{0.125, 0.1, 0.08, 0.08, 22, 12, true};
constexpr std::int32_t kSmallestSize = 4;
using base::kLineHigh;
constexpr std::size_t kShortestPiece = 3;
constexpr char kFormFeed = 12;
constexpr char kJobPath[] = "/Shell/PrJ";

// The print job: its record lives in the heap buffer it names.
struct Job {
  bool documentOpen;
  Toolbox::Printer* printer;
  Graphics::GraphWindow* window; // the window and port records on the printer
  Buffer::Ref heap;
};
static_assert(std::is_trivially_destructible_v<Job>);

struct State {
  bool initialised = false;
  Job* job = nullptr;
  Toolbox::Printer* printer = nullptr; // kept from one job to the next
  bool setupDone = false;
  bool marginsChosen = false;
};
State state;

// Where the next line comes from: a line of the range and the column it goes on from
// (above 1 on the rest of a wrapped line or after a form feed).
struct Cursor {
  std::int32_t line;
  std::int32_t column;
};

struct Range {
  std::int32_t firstLine, firstColumn, lastLine, lastColumn;
};

void Defaults(Settings::SettingsRecord& r) {
  r.SetReal(kTopMargin, kDefaults.top);
  r.SetReal(kBottomMargin, kDefaults.bottom);
  r.SetReal(kLeftMargin, kDefaults.left);
  r.SetReal(kRightMargin, kDefaults.right);
  r.SetInt32(kTextSize, kDefaults.fontSize);
  r.SetInt32(kTextFont, kDefaults.fontNumber);
  r.SetByte(kTextWrapping, kDefaults.wrap ? 1 : 0);
}

// A margin as a fraction of a page side; a settings file may hold anything there.
double Fraction(double x) { return std::isfinite(x) ? std::clamp(x, 0.0, 1.0) : 0.0; }

void Alert(base::Chars text) {
  Alerts::AlertBeep();
  Alerts::Message(text);
}

// A job record in a new heap buffer "/Shell/PrJ<ticks>", the number increased until the
// name is free; nullptr when the buffer or the record cannot be had.
Job* NewJob() {
  std::uint32_t number = Toolbox::TickCount();
  char path[64];
  for (;; ++number) {
    Strings::Assign(path, kJobPath);
    NumberOut::AppendCard(number, path, 0);
    if (Buffer::Find(path) == nullptr) break;
  }
  Buffer::Ref heap = Buffer::Create(path, Buffer::BufferKind::Heap);
  if (heap == nullptr) return nullptr;
  void* block = Buffer::Allocate(heap, sizeof(Job));
  if (block == nullptr) {
    Buffer::Delete(heap);
    return nullptr;
  }
  return new (block) Job{false, nullptr, nullptr, heap};
}

void ReleaseJob() {
  Job* job = state.job;
  if (job == nullptr) return;
  state.job = nullptr;
  Graphics::DisposePrinterWindow(job->window);
  if (job->documentOpen) Toolbox::EndDocument(job->printer);
  Buffer::Ref heap = job->heap;
  Buffer::Delete(heap); // the record goes with its heap
}

// The job record and the printer, the settings corrected; false (after the alert) when
// either cannot be had.
bool EnsurePrinter() {
  if (state.job == nullptr) state.job = NewJob();
  CorrectSettings();
  if (!Toolbox::IsPrinter(state.printer)) state.printer = Toolbox::NewPrinter();
  if (state.job == nullptr || state.printer == nullptr) {
    ReleaseJob();
    Alert(kInitFailed);
    return false;
  }
  state.job->printer = state.printer;
  return true;
}

// The page with the margins taken off, each truncated to whole device units.
Rect PrintArea(const Rect& page, const PrintMargins& m) {
  const double width = page.Width();
  const double height = page.Height();
  return Rect{page.left + static_cast<std::int32_t>(width * Fraction(m.left)),
              page.top + static_cast<std::int32_t>(height * Fraction(m.top)),
              page.right - static_cast<std::int32_t>(width * Fraction(m.right)),
              page.bottom - static_cast<std::int32_t>(height * Fraction(m.bottom))};
}

// How much of text goes on one printed line of the width: the longest prefix that ends
// before a blank and fits, else the longest that fits; at least three characters.
std::size_t WrapPoint(std::string_view text, std::int32_t width) {
  std::size_t fits = 0;
  std::size_t hi = text.size();
  while (fits < hi) {
    const std::size_t mid = (fits + hi + 1) / 2;
    if (Toolbox::TextWidth(text.substr(0, mid)) <= width)
      fits = mid;
    else
      hi = mid - 1;
  }
  for (std::size_t p = std::min(fits, text.size() - 1); p >= kShortestPiece; --p)
    if (text[p] == ' ') return p;
  return std::max(fits, std::min(kShortestPiece, text.size()));
}

void NextLine(Cursor& at) {
  ++at.line;
  at.column = 1;
}

// Prints one page from at, which afterwards tells where the next page begins; true
// while the range has more to print.
bool PageStep(Buffer::Ref b, Graphics::GraphPort* port, const Rect& area, const Range& range,
              bool wrap, Cursor& at) {
  Graphics::Drawing drawing(port); // the port's font and size on the printer
  Toolbox::FontInfo font;
  Toolbox::GetFontInfo(font);
  const std::int32_t lineHeight = font.ascent + font.descent;
  if (lineHeight <= 0) return false;
  const std::int32_t linesPerPage = area.Height() / lineHeight - 1;
  if (linesPerPage <= 0) return false;
  std::int32_t v = area.top;
  // A text kept as UTF-8 prints the characters of the set its bytes hold.
  const Charset::Coding coding = Lines::CodingOf(b);
  std::string shown;
  for (std::int32_t printed = 0; at.line <= range.lastLine && printed < linesPerPage;) {
    const std::string_view line = Lines::View(b, at.line);
    std::size_t end = std::min(line.size(), kLineHigh + 1);
    if (at.line == range.lastLine)
      end = std::min(end, static_cast<std::size_t>(std::max(0, range.lastColumn - 1)));
    const std::size_t start = std::min(static_cast<std::size_t>(at.column - 1), end);
    const std::string_view text = line.substr(start, end - start);
    if (!text.empty() && text.front() == kFormFeed) {
      if (text.size() > 1)
        ++at.column;
      else
        NextLine(at);
      return at.line <= range.lastLine;
    }
    v += lineHeight;
    ++printed;
    if (text.empty()) {
      NextLine(at);
      continue;
    }
    std::size_t piece = text.size();
    if (wrap && Toolbox::TextWidth(text) > area.Width()) piece = WrapPoint(text, area.Width());
    Toolbox::MoveTo(area.left, v);
    shown.clear();
    Charset::Recode(coding, Charset::Coding::Utf8, text.substr(0, piece), shown);
    Toolbox::DrawString(shown);
    // The rest of a wrapped line goes on after the blank it was broken at.
    if (piece < text.size() && text[piece] == ' ') ++piece;
    if (piece < text.size())
      at.column += static_cast<std::int32_t>(piece);
    else
      NextLine(at);
  }
  return at.line <= range.lastLine;
}

// The document of the range on the job's printer; the pages printed.
std::int32_t PrintDocument(Buffer::Ref b, const Range& range, std::int32_t fontNumber,
                           std::int32_t fontSize) {
  Job& job = *state.job;
  Toolbox::Printer* printer = job.printer;
  char title[33];
  Buffer::LeafName(b, title);
  if (!Toolbox::BeginDocument(printer, title)) return 0;
  job.documentOpen = true;
  job.window = Graphics::NewPrinterWindow(job.heap, printer, fontNumber, fontSize);
  std::int32_t pages = 0;
  if (job.window != nullptr && job.window->port == nullptr) {
    Alerts::Message(kNoPort);
  } else if (job.window != nullptr) {
    const PrintMargins m = CurrentSettings();
    const Rect area = PrintArea(printer->page, m);
    Cursor at{range.firstLine, std::max(1, range.firstColumn)};
    if (Toolbox::BeginPage(printer)) {
      bool more = true;
      do {
        ++pages;
        more = PageStep(b, job.window->port, area, range, m.wrap, at);
        Toolbox::EndPage(printer);
      } while (more && Toolbox::BeginPage(printer));
    }
  }
  Graphics::DisposePrinterWindow(job.window);
  Toolbox::EndDocument(printer);
  job.documentOpen = false;
  return pages;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  // Only what start-up may run before the platform exists: the settings' defaults must
  // know the client before they are first filled in.
  Buffer::Init();
  static_cast<void>(Settings::AddClient({Defaults, nullptr, nullptr}));
}

// ---- Settings ----

PrintMargins CurrentSettings() {
  const Settings::SettingsRecord& r = Settings::Record();
  return PrintMargins{r.Real(kLeftMargin),       r.Real(kRightMargin), r.Real(kTopMargin),
                      r.Real(kBottomMargin),     r.Int32(kTextFont),   r.Int32(kTextSize),
                      r.Byte(kTextWrapping) != 0};
}

void StoreSettings(const PrintMargins& m) {
  Settings::SettingsRecord& r = Settings::Record();
  r.SetReal(kLeftMargin, m.left);
  r.SetReal(kRightMargin, m.right);
  r.SetReal(kTopMargin, m.top);
  r.SetReal(kBottomMargin, m.bottom);
  r.SetInt32(kTextFont, m.fontNumber);
  r.SetInt32(kTextSize, m.fontSize);
  r.SetByte(kTextWrapping, m.wrap ? 1 : 0);
}

void CorrectSettings() {
  Settings::SettingsRecord& r = Settings::Record();
  const std::int32_t size = r.Int32(kTextSize);
  if (size < 1)
    Defaults(r);
  else if (size < kSmallestSize)
    r.SetInt32(kTextSize, kSmallestSize);
}

bool MarginsChosen() { return state.marginsChosen; }

// ---- Commands ----

void PrinterSetup() {
  Init();
  if (!EnsurePrinter()) return;
  if (Toolbox::PageSetupDialog(state.printer)) state.setupDone = true;
  ReleaseJob();
}

bool Margins() {
  Init();
  CorrectSettings();
  PrintMargins m = CurrentSettings();
  if (!Toolbox::MarginsDialog(m)) return false;
  StoreSettings(m);
  CorrectSettings();
  state.marginsChosen = true;
  return true;
}

namespace {

// Print's dialogs; false (the job released) when one was cancelled.
bool PrintDialogs() {
  if (!EnsurePrinter()) return false;
  if (!state.setupDone) {
    if (!Toolbox::PageSetupDialog(state.printer)) {
      ReleaseJob();
      return false;
    }
    state.setupDone = true;
  }
  if (!Toolbox::PrintDialog(state.printer) || (!state.marginsChosen && !Margins())) {
    ReleaseJob();
    return false;
  }
  return true;
}

} // namespace

void Print() {
  Init();
  if (!PrintDialogs()) return;
  const PrintMargins m = CurrentSettings();
  if (Editor::Selecting()) {
    const EditWindows::Range r = EditWindows::SelectRange();
    static_cast<void>(PrintBufferRange(Editor::EditedText(), r.first.line, r.first.column,
                                       r.last.line, r.last.column, m.fontNumber, m.fontSize));
  } else {
    static_cast<void>(
        PrintBufferRange(Editor::EditedText(), 1, 1, kWhole, kWhole, m.fontNumber, m.fontSize));
  }
  ReleaseJob();
}

void PrintText(Buffer::Ref b) {
  Init();
  if (!PrintDialogs()) return;
  const PrintMargins m = CurrentSettings();
  static_cast<void>(PrintBufferRange(b, 1, 1, kWhole, kWhole, m.fontNumber, m.fontSize));
  ReleaseJob();
}

std::int32_t PrintBufferRange(Buffer::Ref b, std::int32_t firstLine, std::int32_t firstColumn,
                              std::int32_t lastLine, std::int32_t lastColumn,
                              std::int32_t fontNumber, std::int32_t fontSize) {
  Init();
  if (b == nullptr || Buffer::KindOf(b) != Buffer::BufferKind::Text) {
    Alerts::Message(kOnlyText);
    return 0;
  }
  const Range range{std::max(1, firstLine), firstColumn, std::min(lastLine, Lines::Count(b)),
                    lastColumn};
  if (range.lastLine < 1 || range.firstLine > range.lastLine) return 0;
  const bool ownJob = state.job == nullptr;
  if (ownJob && !EnsurePrinter()) return 0;
  const std::int32_t pages = PrintDocument(b, range, fontNumber, fontSize);
  if (ownJob) ReleaseJob();
  return pages;
}

} // namespace Printing
