#include "windows/ANSITerm.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

#include "base/Strings.h"
#include "store/Buffer.h"
#include "windows/KeyEvents.h"

namespace ANSITerm {

using Toolbox::Rect;
using Toolbox::Window;

namespace {

// Records are given back to the heap without running a destructor.
static_assert(std::is_trivially_destructible_v<TextWindow>);

constexpr char kHeapPath[] = "/Shell/ANSITerm.Heap";
constexpr char kTag[] = "ANSI";
constexpr std::int32_t kLeftMargin = 5;
constexpr std::int32_t kRightMargin = 2;
constexpr std::int32_t kTopMargin = 3;
constexpr std::int32_t kBottomMargin = 0;
constexpr std::int32_t kNoRowLimit = 32767;
// The cursor stays within this many rows and columns, so that pixel positions computed
// from it cannot overflow.
constexpr std::int32_t kFarthest = 32767;
// The message band takes the left half of the bottom strip, the horizontal scroll bar
// the right half; a band narrower than this takes the whole strip instead.
constexpr std::int32_t kMinBandWidth = 120;
// Windows of this kind and above (tool windows) have no message band.
constexpr int kFirstBandlessKind = 15;

struct State {
  bool initialised = false;
  int caretStyle = kBlockCaret;
  std::uint32_t nextBlink = 0;
  Buffer::Ref heap = nullptr;
  TextWindow* command = nullptr;
  std::int32_t shellRows = 0;
  std::int32_t shellColumns = 0;
  std::int32_t scrollStep = 3;
};
State state;

std::int32_t Clamp(std::int64_t v, std::int64_t low, std::int64_t high) {
  return static_cast<std::int32_t>(std::clamp(v, low, high));
}

// Makes the terminal's window the current port, drawing in the terminal's text mode.
void Focus(const TextWindow* t) {
  Toolbox::SetPort(t->window);
  Toolbox::TextMode(t->textMode);
}

std::int32_t ScrollBarSpace(const TextWindow* t) { return t->hasScrollBars ? kScrollBarWidth : 0; }

// The right edge of the text area: everything left of the vertical scroll bar, so that
// text drawn past the last column is erased and moved with its line.
std::int32_t AreaRight(const TextWindow* t) { return t->content.right - ScrollBarSpace(t); }

std::int32_t RowTop(const TextWindow* t, std::int32_t row) {
  return t->textTop + row * t->lineHeight;
}

// A cell's rectangle begins one pixel left of its glyph, in the column the bar caret
// takes, so that erasing or moving a cell takes its caret along.
std::int32_t CellLeft(const TextWindow* t, std::int32_t column) {
  return t->textLeft + column * t->charWidth - 1;
}

Rect CellsRect(const TextWindow* t, std::int32_t row, std::int32_t column, std::int32_t count) {
  const std::int32_t left = CellLeft(t, column);
  return Rect{left, RowTop(t, row), left + count * t->charWidth, RowTop(t, row + 1)};
}

// Rows first .. last - 1, the whole width of the text area.
Rect LinesRect(const TextWindow* t, std::int32_t first, std::int32_t last) {
  return Rect{CellLeft(t, 0), RowTop(t, first), AreaRight(t), RowTop(t, last)};
}

// Erases with the background of the text mode: inverse video erases to the ink colour.
void EraseArea(const TextWindow* t, const Rect& r) {
  if (t->textMode == Toolbox::kTextInverse) {
    Toolbox::FillRect(r, Toolbox::Pattern::Black);
  } else {
    Toolbox::EraseRect(r);
  }
}

void ScrollLines(const TextWindow* t, std::int32_t first, std::int32_t last, std::int32_t lines) {
  Toolbox::ScrollRect(LinesRect(t, first, last), 0, lines * t->lineHeight);
}

// ---- The caret: drawn by inversion, so drawing it twice removes it ----

Rect CaretRect(const TextWindow* t, int style) {
  Rect r = CellsRect(t, t->row, t->column, 1);
  if (style == kBarCaret) r.right = r.left + 1;
  return r;
}

void HideCaret(TextWindow* t) {
  if (!t->caretShown) return;
  Toolbox::SetPort(t->window);
  Toolbox::InvertRect(CaretRect(t, t->caretStyle));
  t->caretShown = false;
}

void ShowCaret(TextWindow* t) {
  if (t->caretShown) return;
  t->caretStyle = state.caretStyle;
  Toolbox::SetPort(t->window);
  Toolbox::InvertRect(CaretRect(t, t->caretStyle));
  t->caretShown = true;
}

void Blink(TextWindow* t) {
  if (!t->caretEnabled) return;
  const std::uint32_t now = Toolbox::TickCount();
  if (static_cast<std::int32_t>(now - state.nextBlink) < 0) return;
  state.nextBlink = now + Toolbox::GetCaretTime();
  if (t->caretShown) {
    HideCaret(t);
  } else if (!KeyEvents::ApplicationInactive()) {
    ShowCaret(t);
  }
}

// ---- Layout ----

bool UsesBand(const TextWindow* t) {
  return t->hasScrollBars && t->window->kind < kFirstBandlessKind;
}

std::int32_t HorizontalBarLeft(const TextWindow* t) {
  return UsesBand(t) ? t->content.left + t->content.Width() / 2 : t->content.left;
}

bool BandBesideBar(const TextWindow* t) {
  return HorizontalBarLeft(t) - t->content.left >= kMinBandWidth;
}

Rect BandRect(const TextWindow* t) {
  const Rect& c = t->content;
  const std::int32_t right = BandBesideBar(t) ? HorizontalBarLeft(t) : c.right - kScrollBarWidth;
  return Rect{c.left, c.bottom - kMessageBandHeight, right, c.bottom};
}

Rect VerticalBarRect(const TextWindow* t) {
  const Rect& c = t->content;
  return Rect{c.right - kScrollBarWidth, c.top, c.right, c.bottom - kScrollBarWidth};
}

Rect HorizontalBarRect(const TextWindow* t) {
  const Rect& c = t->content;
  return Rect{HorizontalBarLeft(t), c.bottom - kScrollBarWidth, c.right - kScrollBarWidth,
              c.bottom};
}

void PlaceScrollBars(const TextWindow* t) {
  if (t->vertical != nullptr) Toolbox::MoveScrollBar(t->vertical, VerticalBarRect(t));
  if (t->horizontal != nullptr) {
    Toolbox::MoveScrollBar(t->horizontal, HorizontalBarRect(t));
    // A band that needs the whole strip covers the bar.
    Toolbox::ShowScrollBar(t->horizontal, !UsesBand(t) || BandBesideBar(t));
  }
}

void FollowCommandTerminal(const TextWindow* t) {
  state.shellRows = t->rows;
  state.shellColumns = t->columns;
  state.scrollStep = std::min(state.scrollStep, std::max(1, t->rows / 3));
}

std::int32_t ColumnsIn(const TextWindow* t, std::int32_t width) {
  return Clamp((width - 1) / t->charWidth, 0, kMaxColumns);
}

void Layout(TextWindow* t) {
  Toolbox::SetPort(t->window);
  Toolbox::GetFontInfo(t->font);
  t->lineHeight = std::max(1, t->font.ascent + t->font.descent);
  t->charWidth = std::max(1, Toolbox::CharWidth('M'));
  t->content = Toolbox::GetPortRect(t->window);
  t->textLeft = t->content.left + kLeftMargin;
  t->rightMargin = kRightMargin + ScrollBarSpace(t);
  t->textTop = t->content.top + kTopMargin + (t->firstRow - 1) * t->lineHeight;
  t->bottomMargin = kBottomMargin + ScrollBarSpace(t);
  t->rows = std::max(0, (t->content.bottom - t->bottomMargin - t->textTop) / t->lineHeight);
  t->columns = ColumnsIn(t, t->content.right - t->rightMargin - t->textLeft);
  t->rowLimit = std::min(t->rowLimit, t->rows);
  if (t == state.command) FollowCommandTerminal(t);
}

// ---- What the message line shows ----

bool OnMessageLine(const TextWindow* t) { return t->savedTop != -1 && t->row == 0; }

void ClearMessage(TextWindow* t) {
  std::memset(t->message, 0, sizeof t->message);
  std::memset(t->messageInverse, 0, sizeof t->messageInverse);
}

void RememberText(TextWindow* t, std::int32_t column, const char* text, std::int32_t count) {
  if (!OnMessageLine(t)) return;
  const bool inverse = t->textMode == Toolbox::kTextInverse;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t c = column + i;
    if (c < 0 || c > kMaxColumns) continue;
    t->message[c] = text[i];
    t->messageInverse[c] = inverse;
  }
}

// Cells from .. to - 1 become blank; in inverse video they stay inked.
void ForgetText(TextWindow* t, std::int32_t from, std::int32_t to) {
  if (!OnMessageLine(t)) return;
  const bool inverse = t->textMode == Toolbox::kTextInverse;
  for (std::int32_t c = std::max(from, 0); c < std::min(to, kMaxColumns + 1); ++c) {
    t->message[c] = inverse ? ' ' : 0;
    t->messageInverse[c] = inverse;
  }
}

// Moves the cells from column on by count (right when positive); vacated cells are blank.
void ShiftText(TextWindow* t, std::int32_t column, std::int32_t count) {
  if (!OnMessageLine(t)) return;
  char text[kMaxColumns + 1];
  bool inverse[kMaxColumns + 1];
  std::memcpy(text, t->message, sizeof text);
  std::memcpy(inverse, t->messageInverse, sizeof inverse);
  for (std::int32_t c = std::max(column, 0); c <= kMaxColumns; ++c) {
    const std::int32_t from = c - count;
    const bool inside = from >= column && from >= 0 && from <= kMaxColumns;
    t->message[c] = inside ? text[from] : 0;
    t->messageInverse[c] = inside && inverse[from];
  }
}

// The top of the message line: the band, or the terminal's last row.
std::int32_t MessageTop(const TextWindow* t) {
  if (UsesBand(t)) return BandRect(t).top;
  const std::int32_t top = t->savedTop != -1 ? t->savedTop : t->textTop;
  return top + std::max(0, t->rows - 1) * t->lineHeight;
}

Rect MessageRect(const TextWindow* t) {
  if (UsesBand(t)) return BandRect(t);
  const std::int32_t top = MessageTop(t);
  return Rect{CellLeft(t, 0), top, AreaRight(t), top + t->lineHeight};
}

} // namespace

// ---- Set-up ----

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  Toolbox::Init();
  KeyEvents::Init();
}

bool InitTerminals() {
  Init();
  state.caretStyle = kBlockCaret;
  KeyEvents::SetKeypadMode(true);
  KeyEvents::Reset();
  Events::SetScrollProcs(HorizontalScroll, VerticalScroll);
  state.heap = Buffer::Open(kHeapPath, Buffer::BufferKind::Heap);
  return state.heap != nullptr;
}

TextWindow* NewTerminal(bool hasScrollBars, Window window) {
  Init();
  if (window == nullptr || state.heap == nullptr) return nullptr;
  void* block = Buffer::Allocate(state.heap, sizeof(TextWindow));
  if (block == nullptr) return nullptr;
  TextWindow* t = new (block) TextWindow{};
  std::memcpy(t->kind, kTag, sizeof kTag);
  t->window = window;
  Toolbox::SetPort(window);
  t->port = Toolbox::GetPort();
  t->scale = 1.0;
  t->caretEnabled = true;
  t->caretStyle = state.caretStyle;
  t->needsRedraw = true;
  t->keypadApplication = true;
  t->hasScrollBars = hasScrollBars;
  t->clickRow = 1;
  t->clickColumn = 1;
  t->firstRow = 1;
  t->rowLimit = kNoRowLimit;
  t->savedTop = -1;
  state.nextBlink = 0;
  window->refCon = t;
  SetInverse(t, 0);
  Layout(t);
  if (hasScrollBars) {
    t->vertical = Toolbox::NewScrollBar(window, VerticalBarRect(t), true);
    t->horizontal = Toolbox::NewScrollBar(window, HorizontalBarRect(t), false);
    PlaceScrollBars(t);
  }
  return t;
}

void DisposeTerminal(TextWindow*& t) {
  if (t == nullptr) return;
  const std::vector<Window> windows = Toolbox::Windows();
  // A window disposed first has taken its scroll bars along and must not be drawn in.
  if (std::find(windows.begin(), windows.end(), t->window) != windows.end()) {
    HideCaret(t);
    Toolbox::DisposeScrollBar(t->vertical);
    Toolbox::DisposeScrollBar(t->horizontal);
    if (t->window->refCon == t) t->window->refCon = nullptr;
  }
  if (state.command == t) state.command = nullptr;
  t->kind[0] = 0;
  void* block = t;
  Buffer::Deallocate(state.heap, sizeof(TextWindow), block);
  t = nullptr;
}

// ---- Output ----

void WriteString(TextWindow* t, Chars text) {
  if (t == nullptr) return;
  const std::size_t length = Strings::Length(text);
  for (std::size_t i = 0; i < length; ++i) {
    if (t->pendingCount == kPendingSize) FlushOutput(t);
    char c = text[i];
    if (c == '\t') {
      c = '_';
    } else if (static_cast<unsigned char>(c) < 32) {
      c = 8;
    }
    t->pending[t->pendingCount++] = c;
  }
}

void FlushOutput(TextWindow* t) {
  if (t == nullptr) return;
  Focus(t);
  HideCaret(t);
  if (t->pendingCount == 0) return;
  Toolbox::MoveTo(t->textLeft + t->column * t->charWidth, RowTop(t, t->row) + t->font.ascent);
  Toolbox::TextUtf8(t->utf8Text && !OnMessageLine(t));
  Toolbox::DrawString(std::string_view(t->pending, static_cast<std::size_t>(t->pendingCount)));
  Toolbox::TextUtf8(false);
  RememberText(t, t->column, t->pending, t->pendingCount);
  t->column = Clamp(std::int64_t{t->column} + t->pendingCount, 0, kFarthest);
  t->pendingCount = 0;
}

// ---- The cursor ----

void CursorUp(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  t->row = Clamp(std::int64_t{t->row} - n, 0, kFarthest);
}

void CursorDown(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  t->row = Clamp(std::int64_t{t->row} + n, 0, kFarthest);
}

void CursorLeft(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  t->column = Clamp(std::int64_t{t->column} - n, 0, kFarthest);
}

void CursorRight(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  t->column = Clamp(std::int64_t{t->column} + n, 0, kFarthest);
}

void GotoRowCol(TextWindow* t, std::int32_t row, std::int32_t column) {
  if (t == nullptr) return;
  FlushOutput(t);
  t->row = Clamp(row, 1, std::max(1, t->rowLimit)) - 1;
  t->column = Clamp(column, 1, std::max(1, t->columns)) - 1;
}

void GetRowCol(TextWindow* t, std::int32_t& row, std::int32_t& column) {
  row = 0;
  column = 0;
  if (t == nullptr) return;
  FlushOutput(t);
  row = t->row + 1;
  column = t->column + 1;
}

void Index(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (t->row + 1 >= t->rowLimit) {
    ScrollLines(t, 0, t->rowLimit, -1);
  } else {
    ++t->row;
  }
}

void ReverseIndex(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (t->row < 1) {
    ScrollLines(t, 0, t->rowLimit, 1);
  } else {
    --t->row;
  }
}

void NewLine(TextWindow* t) {
  if (t == nullptr) return;
  Index(t);
  t->column = 0;
}

// ---- Lines and characters ----

void InsertLines(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (n < 1 || t->row >= t->rowLimit) return;
  ScrollLines(t, t->row, t->rowLimit, std::min(n, t->rowLimit - t->row));
}

void DeleteLines(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (n < 1 || t->row >= t->rowLimit) return;
  ScrollLines(t, t->row, t->rowLimit, -std::min(n, t->rowLimit - t->row));
  t->column = 0;
}

namespace {

void ShiftLineRest(TextWindow* t, std::int32_t n) {
  const Rect r{CellLeft(t, t->column), RowTop(t, t->row), AreaRight(t), RowTop(t, t->row + 1)};
  Toolbox::ScrollRect(r, n * t->charWidth, 0);
  ShiftText(t, t->column, n);
}

} // namespace

void InsertChars(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (n < 1 || t->column >= t->columns) return;
  ShiftLineRest(t, std::min(n, kMaxColumns + 1));
}

void DeleteChars(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (n < 1 || t->column >= t->columns) return;
  ShiftLineRest(t, -std::min(n, kMaxColumns + 1));
}

void EraseChars(TextWindow* t, std::int32_t n) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (n < 1) return;
  n = std::min(n, kFarthest);
  EraseArea(t, CellsRect(t, t->row, t->column, n));
  ForgetText(t, t->column, t->column + n);
}

void EraseLineEnd(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  Rect r = LinesRect(t, t->row, t->row + 1);
  r.left = CellLeft(t, t->column);
  EraseArea(t, r);
  ForgetText(t, t->column, kMaxColumns + 1);
}

void EraseLineStart(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  Rect r = LinesRect(t, t->row, t->row + 1);
  r.right = CellLeft(t, t->column + 1);
  EraseArea(t, r);
  ForgetText(t, 0, t->column + 1);
}

void EraseLine(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  EraseArea(t, LinesRect(t, t->row, t->row + 1));
  ForgetText(t, 0, kMaxColumns + 1);
  t->column = 0;
}

void EraseScreenEnd(TextWindow* t) {
  if (t == nullptr) return;
  EraseLineEnd(t);
  if (t->row + 1 < t->rowLimit) EraseArea(t, LinesRect(t, t->row + 1, t->rowLimit));
}

void EraseScreenStart(TextWindow* t) {
  if (t == nullptr) return;
  EraseLineStart(t);
  if (t->row > 0) EraseArea(t, LinesRect(t, 0, std::min(t->row, t->rowLimit)));
}

void ClearTerminal(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  if (t->needsRedraw) Relayout(t);
  Focus(t);
  const Rect& c = t->content;
  EraseArea(t, Rect{c.left, c.top, AreaRight(t), c.bottom - ScrollBarSpace(t)});
  if (!UsesBand(t)) ClearMessage(t);
  t->row = 0;
  t->column = 0;
  t->needsRedraw = false;
}

// ---- Modes and settings of a terminal ----

void KeypadApplication(TextWindow* t) {
  if (t != nullptr) t->keypadApplication = true;
}

void KeypadNumeric(TextWindow* t) {
  if (t != nullptr) t->keypadApplication = false;
}

void SetInverse(TextWindow* t, std::int32_t on) {
  if (t == nullptr) return;
  // What was written before the change keeps the mode it was written in.
  FlushOutput(t);
  t->textMode = on == 1 || on == 2 ? Toolbox::kTextInverse : Toolbox::kTextCopy;
  Focus(t);
}

void SetUtf8Text(TextWindow* t, bool on) {
  if (t != nullptr) t->utf8Text = on;
}

void GetSize(TextWindow* t, std::int32_t& rows, std::int32_t& columns) {
  rows = t != nullptr ? t->rows : 0;
  columns = t != nullptr ? t->columns : 0;
}

void GetClickCell(TextWindow* t, std::int32_t& row, std::int32_t& column) {
  row = t != nullptr ? t->clickRow : 0;
  column = t != nullptr ? t->clickColumn : 0;
}

void SetWindowProcs(TextWindow* t, WindowProc update, WindowProc resize, WindowProc third) {
  if (t == nullptr) return;
  t->update = update;
  t->resize = resize;
  t->third = third;
}

void SetScrollProc(TextWindow* t, ScrollProc proc) {
  if (t != nullptr) t->scroll = proc;
}

// ---- Keys ----

void ReadKey(TextWindow* t, std::uint8_t& key, std::uint8_t& modifiers, char& ch) {
  key = 0;
  modifiers = 0;
  ch = 0;
  if (t == nullptr) return;
  FlushOutput(t);
  if (t->caretEnabled && !KeyEvents::ApplicationInactive()) {
    ShowCaret(t);
    state.nextBlink = Toolbox::TickCount() + Toolbox::GetCaretTime();
  }
  while (!KeyEvents::GetKey(t, key, modifiers, ch)) Blink(t);
}

Window EventWindow() {
  const std::uint8_t key = KeyEvents::LastKey();
  const Window w = KeyEvents::LastWindow();
  const bool windowEvent = key >= KeyEvents::KeyMouse && key <= KeyEvents::KeyWindowClose;
  return windowEvent && Toolbox::IsWindow(w) ? w : nullptr;
}

void BringToFront(TextWindow* t) {
  if (t != nullptr) Toolbox::SelectWindow(t->window);
}

// ---- The message line ----

void BeginMessageLine(TextWindow* t) {
  if (t == nullptr || t->savedTop != -1) return;
  FlushOutput(t);
  t->savedRow = t->row;
  t->savedColumn = t->column;
  t->savedTop = t->textTop;
  t->savedShellColumns = state.shellColumns;
  const Rect line = MessageRect(t);
  t->textTop = line.top;
  if (UsesBand(t)) state.shellColumns = ColumnsIn(t, line.right - t->textLeft);
  Toolbox::EraseRect(line);
  ClearMessage(t);
  t->row = 0;
  t->column = 0;
}

void EndMessageLine(TextWindow* t) {
  if (t == nullptr || t->savedTop == -1) return;
  FlushOutput(t);
  t->textTop = t->savedTop;
  t->row = t->savedRow;
  t->column = t->savedColumn;
  t->savedTop = -1;
  state.shellColumns = t->savedShellColumns;
}

void RedrawMessageLine(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  const Rect line = MessageRect(t);
  Toolbox::EraseRect(line);
  const std::int32_t baseline = line.top + t->font.ascent;
  std::int32_t c = 0;
  while (c <= kMaxColumns) {
    if (t->message[c] == 0) {
      ++c;
      continue;
    }
    std::int32_t end = c;
    while (end <= kMaxColumns && t->message[end] != 0 &&
           t->messageInverse[end] == t->messageInverse[c]) {
      ++end;
    }
    Toolbox::TextMode(t->messageInverse[c] ? Toolbox::kTextInverse : Toolbox::kTextCopy);
    Toolbox::MoveTo(t->textLeft + c * t->charWidth, baseline);
    Toolbox::DrawString(std::string_view(t->message + c, static_cast<std::size_t>(end - c)));
    c = end;
  }
  Toolbox::TextMode(t->textMode);
}

// ---- For the key-event layer ----

TextWindow* TerminalOf(Window w) {
  if (!Toolbox::IsWindow(w) || w->refCon == nullptr) return nullptr;
  auto* t = static_cast<TextWindow*>(w->refCon);
  return std::memcmp(t->kind, kTag, sizeof kTag) == 0 ? t : nullptr;
}

void Relayout(TextWindow* t) {
  if (t == nullptr) return;
  FlushOutput(t);
  t->firstRow = 1;
  t->rowLimit = kNoRowLimit;
  Layout(t);
  PlaceScrollBars(t);
}

void ShowActive(TextWindow* t, bool active) {
  if (t != nullptr && !active) HideCaret(t);
}

namespace {

TextWindow* OwnerOf(Toolbox::ScrollBar* bar) {
  if (bar == nullptr) return nullptr;
  TextWindow* t = TerminalOf(bar->window);
  return t != nullptr && (bar == t->vertical || bar == t->horizontal) ? t : nullptr;
}

void Scroll(Toolbox::ScrollBar* bar, std::uint32_t part, std::int32_t thumb) {
  TextWindow* t = OwnerOf(bar);
  if (t != nullptr && t->scroll != nullptr) t->scroll(t, bar->vertical, part, thumb);
}

} // namespace

bool HandleScrollEvent(const Events::EventRecord& r) {
  Toolbox::ScrollBar* bar = Toolbox::FindScrollBar(r.message);
  if (OwnerOf(bar) == nullptr) return false;
  Scroll(bar, r.modifiers & 0xFFFFu, static_cast<std::int32_t>(r.modifiers >> 16));
  return true;
}

void HorizontalScroll(Toolbox::ScrollBar* bar, std::uint32_t part) { Scroll(bar, part, 0); }
void VerticalScroll(Toolbox::ScrollBar* bar, std::uint32_t part) { Scroll(bar, part, 0); }

// ---- Module settings ----

void SetCaretStyle(int style) {
  if (style == kBarCaret || style == kBlockCaret) state.caretStyle = style;
}

int CaretStyle() { return state.caretStyle; }

void SetCommandTerminal(TextWindow* t) {
  state.command = t;
  if (t != nullptr) FollowCommandTerminal(t);
}

TextWindow* CommandTerminal() { return state.command; }
std::int32_t ShellRows() { return state.shellRows; }
std::int32_t ShellColumns() { return state.shellColumns; }

void SetScrollStep(std::int32_t lines) {
  state.scrollStep = std::max(1, lines);
  if (state.command != nullptr) FollowCommandTerminal(state.command);
}

std::int32_t ScrollStep() { return state.scrollStep; }

} // namespace ANSITerm
