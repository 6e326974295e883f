// The Notebook: the workstation's log. A terminal window shows the log buffer
// "/Shell/Notebook", a text of at most 100..10000 lines (1000 at start) that drops its
// first line when full. While "Buffered Output" is on, the text output's logging is on
// and every finished output line (programs', traces, reports) is appended to it. The
// Notebook has a menu of its own, in the bar while its window is the active one: saving,
// merging, printing, clearing and its display options.
//
// Its name, the window title, is "Notebook_" and the date and time of its opening as the
// dates module writes them (2024/01/15 09:30:00). The default file name is the name with
// "-" for the "/" and ":" that would separate directories, and ".txt".
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace Notebook {

using base::Chars;
using base::VarChars;

inline constexpr std::int32_t kMinLength = 100;
inline constexpr std::int32_t kMaxLength = 10000;
inline constexpr std::int32_t kStartLength = 1000;
// "Font Size..." asks for the text size in percent of the shell's 10 points.
inline constexpr std::int32_t kMinPercent = 60;
inline constexpr std::int32_t kMaxPercent = 120;
inline constexpr char kLogPath[] = "/Shell/Notebook";
inline constexpr char kMergePath[] = "/Shell/NotebookMerge";
// The line written before a merged file's header.
inline constexpr char kMergeSeparator[] =
    "(* ============================================================ *)";
// The end-of-line entries of the submenu "EndOfLine", by line-end mode (0 CR, 1 CR LF,
// 2 LF).
inline constexpr const char* kEndOfLineItems[] = {
    "end of line = CR (MacOS_9)", "end of line = CR+LF (Windows)", "end of line = LF (UNIX)"};

// Where the window goes, in points: scaled to the screen and fitted into the frame.
struct Frame {
  std::int32_t left = 0, top = 0, width = 0, height = 0;
};
// At the right of the frame, beside the Command window's text.
inline constexpr Frame kDefaultFrame{290, 30, 320, 260};

// Called with every key event of the Notebook window before the Notebook handles it:
// the macro recorder's event hook.
using KeyHook = void (*)(std::uint8_t key, std::uint8_t modifiers, char ch);

// The module body: nothing open, options off, LF line ends, the start length.
void Init();

// Creates the Notebook once: names it and makes the log buffer the text output's log;
// its window goes to frame (an empty one takes the default), placed as Placement says
// with the screen's scale. A later call only shows the window when asked. The window is
// made when it is first shown, so that a hidden Notebook costs the start-up nothing.
// False when the buffer or the window could not be had.
[[nodiscard]] bool Open(const Frame& frame, bool show);
bool IsOpen();
// "Open Notebook": shows the window and brings it to front, opening it first.
void Show();
// The window's content rectangle for a frame in points: scaled by scale and fitted
// into client inset by 4, 6 and 44 scaled points at the left, top and bottom; a client
// area below 100 pixels either way leaves the scaled frame as it is.
Toolbox::Rect Placement(const Frame& frame, double scale, const Toolbox::Rect& client);

Buffer::Ref LogBuffer();
// nullptr until the window was first shown.
Toolbox::Window NotebookWindow();
void Name(VarChars name);
// The file Save writes; empty until the first save or Save As.
void FileName(VarChars name);
void SetFileName(Chars name);

// ---- The commands ----
// Writes the log to the file name (the name plus ".txt" when empty) with the chosen line
// ends; a failure alerts "Saving Failed: " with the file system's text. With "Clear when
// Saved" a successful save empties the Notebook. False when the save failed.
bool Save();
// Asks "SAVE Notebook AS:" for a "*.txt" file, then Save; false when cancelled or failed.
bool SaveAs();
// Appends the lines of the file, after the separating line and "Merged file: " with the
// file's name when withHeader. False when the file could not be read (the Notebook is as
// it was) or the temporary buffer not made ("Unable to create temporary buffer.").
bool Merge(Chars file, bool withHeader);
// Ends the current output line and empties the log.
void Clear();
// Asks "Maximal Lines in Notebook:" with the present maximum; a changed answer is
// clamped to 100..10000 and becomes the maximum.
void SetLength();
void SetMaxLines(std::int32_t lines);
std::int32_t MaxLines();
// The options and their menu check marks.
void SetClearWhenSaved(bool on);
bool ClearWhenSaved();
void SetLineNumbers(bool on);
bool LineNumbers();
// Switches the text output's logging (off: the current line ends first).
void SetBufferedOutput(bool on);
bool BufferedOutput();
// 0 CR, 1 CR LF, 2 LF; others are ignored.
void SetEndOfLine(std::int32_t mode);
std::int32_t EndOfLine();
// Asks for the text size in percent (60..120) and draws the window with it.
void FontSize();
// The shell's zoom steps applied to the Notebook window.
void ZoomIn();
void ZoomOut();

// ---- The menu ----
// Whether the menu holds "File Format" and "Open Notebook" (the program asks for them).
void SetMenuExtras(bool fileFormat, bool openNotebook);
// The menu built anew (its check marks from the options) and inserted into the bar, or
// taken out of it; MenuNumber is its menu manager's number, 0 while it is out.
void InsertMenu();
void RemoveMenu();
std::int32_t MenuNumber();

// ---- The window's keys ----
void SetKeyHook(KeyHook hook);
// One key event while the Notebook window is in front. F4 to F15 are ignored; the close
// box hides the window; activation ends the current output line and brings the menu and
// the view; deactivation ends the line and takes the menu away once another window is
// in front (a dialog of the Notebook's own leaves it); the cursor and page keys
// scroll. False when the key hands control to another window (the Notebook was hidden or
// another window came to front).
bool HandleKey(std::uint8_t key, std::uint8_t modifiers, char ch);
// While the Notebook window is the visible front window: takes its keys until control
// goes to another window. Returns at once otherwise.
void Run();
// Draws the view: the log's last lines while it follows the end, with line numbers when
// they are on.
void Redraw();

} // namespace Notebook
