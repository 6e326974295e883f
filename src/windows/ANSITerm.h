// The ANSI terminal window: a platform window used as a character terminal with a
// cursor. The control functions of a VT100-class terminal (cursor movement, insert and
// delete of lines and characters, erasing, index and reverse index, keypad modes) are
// procedures here, not escape sequences. The editor, the Command and List windows and
// running programs write through it and read keys through it (KeyEvents).
//
// Terminal records live in the buffer store's heap "/Shell/ANSITerm.Heap". A terminal's
// window carries the record in its refCon; the record begins with the kind tag "ANSI",
// which is how the key-event layer and the window dispatch recognise terminals.
//
// Every operation takes the record first and does nothing when it is nullptr. Rows and
// columns given to or returned by the operations are 1-based; the record's own row and
// column fields are 0-based. Every operation that moves the cursor or draws first hides
// the caret and draws the pending characters.
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "platform/Backend.h"
#include "platform/Events.h"
#include "platform/Toolbox.h"

namespace ANSITerm {

using base::Chars;

struct TextWindow;

// The update, resize and third procedures of a terminal, called by the key-event layer.
using WindowProc = void (*)(TextWindow* t);
// The owner's answer to the terminal's scroll bars: part is a scroll part code of the
// event records (20..23 line and page, 129 thumb position, 130 end of scroll); thumb is
// the thumb's position for 129.
using ScrollProc = void (*)(TextWindow* t, bool vertical, std::uint32_t part, std::int32_t thumb);

inline constexpr int kPendingSize = 256;
inline constexpr std::int32_t kMaxColumns = 255;
// The platform's scroll-bar width in pixels: the bars of a terminal and the margins
// kept for them.
inline constexpr std::int32_t kScrollBarWidth = 15;
// The message band at the bottom of a window with scroll bars.
inline constexpr std::int32_t kMessageBandHeight = 14;
// Caret styles.
inline constexpr int kBarCaret = 1;
inline constexpr int kBlockCaret = 2;

struct TextWindow {
  char kind[8];           // "ANSI"; the first character is cleared on disposal
  Toolbox::Port port;     // the drawing port (the window's own)
  Toolbox::Window window; // the owning window object
  WindowProc update;      // redraws the window's contents
  WindowProc resize;      // follows a change of the window's size
  WindowProc third;       // kept for the owner
  double scale;           // 1.0 at creation
  std::int32_t clickH;    // position of the last click, frame coordinates
  std::int32_t clickV;
  Toolbox::Rect content;             // the window's content in its own coordinates
  Toolbox::FontInfo font;            // the metrics of the window's font
  char pending[kPendingSize];        // characters written but not yet drawn
  std::uint32_t doubleClickDeadline; // ms; 0 when no click can become a double click
  std::int32_t pendingCount;
  std::int32_t lineHeight; // ascent + descent
  std::int32_t charWidth;  // width of "M"
  std::int32_t textMode;   // Toolbox::kTextCopy or Toolbox::kTextInverse
  std::int32_t row;        // cursor, 0-based
  std::int32_t column;
  std::int32_t rows;     // visible rows
  std::int32_t columns;  // at most 255
  std::int32_t clickRow; // cell of the last click, 1-based
  std::int32_t clickColumn;
  std::int32_t textLeft;
  std::int32_t rightMargin;
  std::int32_t textTop;
  std::int32_t bottomMargin;
  std::int32_t firstRow; // the rows in use: the text begins firstRow - 1 lines down
  std::int32_t rowLimit; // and Index scrolls at rowLimit (at most rows)
  std::int32_t savedTop; // the message line's save area; -1 while no message line is open
  std::int32_t savedRow;
  std::int32_t savedColumn;
  bool needsRedraw;
  bool caretShown;
  bool caretEnabled;
  bool keypadApplication;
  bool hasScrollBars;

  // Kept by this module beyond the fields above.
  int caretStyle;                 // the style the shown caret was drawn in
  ScrollProc scroll;              // nullptr: scroll requests do nothing
  Toolbox::ScrollBar* vertical;   // right edge; nullptr without scroll bars
  Toolbox::ScrollBar* horizontal; // bottom edge, right of the message band
  std::int32_t savedShellColumns; // the shell's column count before the message line
  // What the message line shows, so that RedrawMessageLine can paint it again.
  char message[kMaxColumns + 1];
  bool messageInverse[kMaxColumns + 1];
  bool utf8Text; // the text rows show a text that keeps UTF-8 (not the message line)
};

// The module body: caret style and keypad switch at their start values.
void Init();
// Block caret, keypad switch on, key state reset; finds or creates the heap
// "/Shell/ANSITerm.Heap". False when the heap cannot be had (the caller ends the
// program with "ANSITerm not initialized!").
[[nodiscard]] bool InitTerminals();

// A new terminal on window (with scroll bars when asked), laid out from the window's
// font; nullptr when the heap is full or there is no window. The window's refCon
// becomes the record.
[[nodiscard]] TextWindow* NewTerminal(bool hasScrollBars, Toolbox::Window window);
// Hides the caret, removes the scroll bars, clears the tag and the window's refCon,
// frees the record and sets t to nullptr.
void DisposeTerminal(TextWindow*& t);

// Appends to the pending output: TAB shows as "_", any other character below 32 as
// character 8. When 256 characters are pending they are drawn first.
void WriteString(TextWindow* t, Chars text);
// Draws the pending characters at the cursor and advances the column by their number.
void FlushOutput(TextWindow* t);

void CursorUp(TextWindow* t, std::int32_t n);    // not above row 1
void CursorDown(TextWindow* t, std::int32_t n);  // not limited
void CursorLeft(TextWindow* t, std::int32_t n);  // not left of column 1
void CursorRight(TextWindow* t, std::int32_t n); // not limited
// Row limited to 1 .. row limit, column to 1 .. columns.
void GotoRowCol(TextWindow* t, std::int32_t row, std::int32_t column);
void GetRowCol(TextWindow* t, std::int32_t& row, std::int32_t& column);
// Line feed: at the row limit the text area scrolls up one line and the row stays.
void Index(TextWindow* t);
// Reverse line feed: on the first row the text area scrolls down one line.
void ReverseIndex(TextWindow* t);
void NewLine(TextWindow* t);
// The lines from the cursor row down move down (up) by n; DeleteLines goes to column 1.
void InsertLines(TextWindow* t, std::int32_t n);
void DeleteLines(TextWindow* t, std::int32_t n);
// The rest of the cursor line moves right (left) by n characters.
void InsertChars(TextWindow* t, std::int32_t n);
void DeleteChars(TextWindow* t, std::int32_t n);
// Erases n cells from the cursor.
void EraseChars(TextWindow* t, std::int32_t n);
void EraseLineEnd(TextWindow* t);     // cursor cell to the end of the line
void EraseLineStart(TextWindow* t);   // line start to the cursor cell
void EraseLine(TextWindow* t);        // the whole line; column 1
void EraseScreenEnd(TextWindow* t);   // EraseLineEnd and every line below
void EraseScreenStart(TextWindow* t); // EraseLineStart and every line above
// Erases the text area and homes the cursor, laying the window out again first when
// it needs redrawing.
void ClearTerminal(TextWindow* t);
void KeypadApplication(TextWindow* t);
void KeypadNumeric(TextWindow* t);
// 1 or 2: inverse video; anything else: normal text.
void SetInverse(TextWindow* t, std::int32_t on);
// The text rows show a text that keeps UTF-8 as it is: each character is drawn in the
// cell of its first byte (Toolbox::TextUtf8); the message line shows the set's.
void SetUtf8Text(TextWindow* t, bool on);
void GetSize(TextWindow* t, std::int32_t& rows, std::int32_t& columns);
void GetClickCell(TextWindow* t, std::int32_t& row, std::int32_t& column);
void SetWindowProcs(TextWindow* t, WindowProc update, WindowProc resize, WindowProc third);
void SetScrollProc(TextWindow* t, ScrollProc proc);
// Shows the caret (when enabled and the application is active), then waits for the
// next key event of the window, blinking the caret meanwhile.
void ReadKey(TextWindow* t, std::uint8_t& key, std::uint8_t& modifiers, char& ch);
// The window of the last key event when that key was a mouse or window key (48..59).
Toolbox::Window EventWindow();
void BringToFront(TextWindow* t);

// ---- The message line ----
// A terminal with scroll bars on a window of kind below 15 uses a band 14 pixels high
// at the bottom of the window, left of the horizontal scroll bar; any other terminal
// uses its own last row. Between Begin and End the cursor writes on that line from
// (1, 1); End puts back the cursor and the text area.
void BeginMessageLine(TextWindow* t);
void EndMessageLine(TextWindow* t);
// Paints the message line again with what was last written on it.
void RedrawMessageLine(TextWindow* t);

// ---- Used by the key-event layer ----
// The terminal whose record w's refCon holds, or nullptr.
TextWindow* TerminalOf(Toolbox::Window w);
// Reads the window's content and font again and lays the terminal out (first row 1,
// row limit at the rows); moves the scroll bars.
void Relayout(TextWindow* t);
// Shows the window as the active window or not (an inactive window shows no caret).
void ShowActive(TextWindow* t, bool active);
// A scroll-bar record (WindowEvent 9 or 10) for a terminal's bar: calls the terminal's
// scroll procedure; false when the bar belongs to no terminal.
bool HandleScrollEvent(const Events::EventRecord& r);
// The scroll procedures installed into the event queue by InitTerminals: line and
// page requests of a terminal's bars go straight to the terminal's scroll procedure.
void HorizontalScroll(Toolbox::ScrollBar* bar, std::uint32_t part);
void VerticalScroll(Toolbox::ScrollBar* bar, std::uint32_t part);

// ---- Module settings the shell and editor share ----
// 1 bar, 2 block (the settings' caret style); other values are ignored.
void SetCaretStyle(int style);
int CaretStyle();
// Marks the Command window's terminal (nullptr: none). The shell's row and column
// counts follow its layout, and the scroll step is kept to a third of its rows.
void SetCommandTerminal(TextWindow* t);
TextWindow* CommandTerminal();
std::int32_t ShellRows();
std::int32_t ShellColumns();
// Lines moved by one scroll step of the text windows (3 at start).
void SetScrollStep(std::int32_t lines);
std::int32_t ScrollStep();

} // namespace ANSITerm
