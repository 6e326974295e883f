// The desktop toolbox the system is written against: windows of one frame, one
// current drawing port with a pen, text settings and colours, numbered menus, alerts
// answered by number, a text clipboard, time, sound and pointer shapes.
//
// The operations keep the toolbox's own state (ports, the font-name table, menus,
// the accelerator table) and hand the platform work to the installed backend
// (platform/Backend.h): the Qt backend on a desktop, the headless one in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Chars.h"
#include "platform/Geometry.h"

namespace Toolbox {

using base::Chars;
using base::VarChars;

// Window kinds of NewWindow.
inline constexpr int kDocumentWindow = 8; // caption, close box, sizing border, min/max boxes
inline constexpr int kCaptionWindow = 4;  // caption and minimise box
inline constexpr int kToolWindow = 16;    // caption only
inline constexpr int kPlainWindow = 0;    // a plain border

// Flag word bit of a floating window: while it is in front, others keep their place.
inline constexpr std::uint32_t kFloatingFlag = 16;

enum class PenModeKind : std::uint8_t { Copy = 0, Xor = 1, Invert = 2 };
// Patterns of pens and fills.
enum class Pattern : std::uint8_t { Black = 0, White, Gray, LightGray, DarkGray };
// Text modes: copy, and inverse video (background and foreground exchanged).
inline constexpr int kTextCopy = 0;
inline constexpr int kTextOr = 1; // the characters only, over what is drawn there
inline constexpr int kTextInverse = 4;
// Text style bits.
inline constexpr int kBold = 1;
inline constexpr int kItalic = 2;
inline constexpr int kUnderline = 4;

struct FontInfo {
  std::int32_t ascent = 0;
  std::int32_t descent = 0;
  std::int32_t widMax = 0;
  std::int32_t leading = 0;
};

// The drawing state of one port.
struct PortState {
  Point pen;
  Point penSize{1, 1};
  PenModeKind penMode = PenModeKind::Copy;
  Pattern penPattern = Pattern::Black;
  RGBColor foreColor{0, 0, 0};
  RGBColor backColor{0xFFFF, 0xFFFF, 0xFFFF};
  std::int32_t fontNumber = 22; // "Courier New"
  std::int32_t fontSize = 10;
  std::int32_t fontStyle = 0;
  std::int32_t textMode = kTextCopy;
  // Text kept as UTF-8 (a text with characters outside the set): each character is
  // drawn in the cell of its first byte, the cells of its other bytes stay blank.
  bool utf8Text = false;
  Rect clip{-32768, -32768, 32767, 32767};
  // Lines, ovals, arcs and polygons drawn smooth (antialiased) where the platform can;
  // otherwise, and always for rectangles and segments, on whole pixels.
  bool smooth = false;
};

struct ScrollBar;
struct Offscreen;
struct Printer;

// One window: the platform window, its port and the owner's reference value. The
// owner record a window belongs to (a terminal, a dialog) is reached through refCon;
// such records begin with a kind tag ("ANSI", "DIAL", "WIND").
struct WindowObject {
  void* handle = nullptr; // the backend's window
  PortState port;
  int kind = kPlainWindow;
  void* refCon = nullptr;
  std::uint32_t flags = 0;
  std::vector<ScrollBar*> scrollBars;
};
using Window = WindowObject*;

// A port is a window, an off-screen bitmap or the page a printer prints.
struct Port {
  Window window = nullptr;
  Offscreen* offscreen = nullptr;
  PortState* state = nullptr;
  Printer* printer = nullptr;
  friend bool operator==(const Port&, const Port&) = default;
};

// Start-up of the toolbox state: the font-name table, no menus, no quit command.
void Init();
// Shutdown: frees the font-name table, menus and every window.
void Shutdown();

// ---- Windows (positions and sizes in frame client coordinates) ----
// bounds is the content rectangle; nullptr when the platform gives no window.
Window NewWindow(const Rect& bounds, Chars title, bool visible, int kind, bool closeBox,
                 void* refCon);
// Flushes the window's queued events, destroys it and sets w to nullptr.
void DisposeWindow(Window& w);
// Whether w is a window NewWindow made and DisposeWindow has not yet destroyed; only
// such a window may be looked at (a disposed one's record is gone).
bool IsWindow(const WindowObject* w);
void ShowWindow(Window w);
void HideWindow(Window w);
void SelectWindow(Window w);
// Puts w above every other window without making it the active one (a splash over the
// windows that open beneath it).
void RaiseWindow(Window w);
// Shows what was drawn into w at once, while the program is busy and does not wait.
void FlushWindow(Window w);
// The front window, nullptr when none.
Window FrontWindow();
// Every window, front first.
std::vector<Window> Windows();
void SetWTitle(Window w, Chars title);
void GetWTitle(Window w, VarChars title);
void MoveWindow(Window w, std::int32_t h, std::int32_t v, bool front);
void SizeWindow(Window w, std::int32_t width, std::int32_t height);
// The content rectangle in frame client coordinates.
Rect GetWindowRect(Window w);
// The content rectangle in the window's own coordinates (0, 0, width, height).
Rect GetPortRect(Window w);
void MarkForUpdate(Window w, const Rect& r);
void UnmarkForUpdate(Window w, const Rect& r);
bool IsVisible(Window w);
// Frame client coordinates to the current port's and back.
void LocalToGlobal(Point& p);
void GlobalToLocal(Point& p);
// The frame's client area in its own coordinates.
Rect FrameClientRect();
// The part of the client area where the content of a window of the kind may lie with its
// caption and borders still inside the client area.
Rect FrameRoom(int kind);
// Moves w, and shrinks it where it must, so that it lies in its FrameRoom.
void KeepInFrame(Window w);
// The content rectangle r of a window of the kind moved, and shrunk where it must (to no
// less than the minimum size), so that it lies in the kind's FrameRoom.
Rect FitInFrame(int kind, Rect r, Point minimum = Point{1, 1});
// Where the workstation opens a window of the kind that it places itself: wanted moved
// by whole steps of a caption's height down and right (a cascade), from step first on,
// to the first step where no other shown window's content begins, and fitted into the
// frame (FitInFrame). A step whose window would keep less than half its size in the
// room starts the cascade again from the top left of wanted.
Rect CascadePlace(int kind, const Rect& wanted, std::int32_t first);
// Keeps w's proportions of the client area when the frame changes size, for as long as
// the user leaves it where it is now: a window laid out over the whole area.
void FollowFrame(Window w);
void StopFollowing(Window w);
// The frame's client area changed size: each window that follows the frame and is still
// where it was put takes its proportions of the new area; one the user has moved or sized
// since stays where the user put it and follows no more.
void FrameResized();
// Tile: the shown windows with a caption side by side over the client area without
// overlap, in rows of a grid as near square as may be, the front one at the top left.
// Cascade: the same windows at one size, each a caption's height below and right of the
// one behind it from the top left, each wholly inside the client area. The windows they
// place follow the frame (FollowFrame); a window of a fixed size keeps its size where it
// fits.
void TileWindows();
void CascadeWindows();
// Where a window of the kind and the size of wanted opens over the others without
// covering their captions: wanted fitted into the frame, then moved down below the
// captions it would cover, as far as the frame's room allows. Where every place covers
// one, the place that covers fewest (the lowest of equals), so that the caption of the
// window above it stays in view.
Rect ClearOfCaptions(int kind, const Rect& wanted);

// ---- Scroll bars ----
ScrollBar* NewScrollBar(Window w, const Rect& bounds, bool vertical);
// The scroll bar whose reference (ScrollBar::ref, the message of scroll events) is ref;
// nullptr when it no longer exists.
ScrollBar* FindScrollBar(std::uint32_t ref);
void DisposeScrollBar(ScrollBar*& bar);
// Whether bar is a scroll bar NewScrollBar made and that has not been disposed.
bool IsScrollBar(const ScrollBar* bar);
void SetScrollRange(ScrollBar* bar, std::int32_t minimum, std::int32_t maximum);
void SetScrollValue(ScrollBar* bar, std::int32_t value);
std::int32_t GetScrollValue(ScrollBar* bar);
void ShowScrollBar(ScrollBar* bar, bool shown);
void MoveScrollBar(ScrollBar* bar, const Rect& bounds);

// ---- The current port ----
void SetPort(Window w);
void SetPortOffscreen(Offscreen* o);
Port GetPort();
Window CurrentWindow();
PortState& CurrentState();

// ---- Pen and lines ----
void MoveTo(std::int32_t h, std::int32_t v);
void Move(std::int32_t dh, std::int32_t dv);
void LineTo(std::int32_t h, std::int32_t v);
void Line(std::int32_t dh, std::int32_t dv);
// Draws the lines from ends[2i] to ends[2i+1] with the pen, as LineTo would, in one
// operation (a plot's columns); the pen moves to the last end. Not recorded into an
// open polygon.
void DrawSegments(const std::vector<Point>& ends);
Point GetPen();
void PenSize(std::int32_t width, std::int32_t height);
void PenMode(PenModeKind mode);
void PenPat(Pattern pattern);
void PenNormal();
// Sets the port's smooth drawing (PortState::smooth).
void SmoothDrawing(bool on);

// ---- Colours ----
// Classic colour numbers: 30 white, 33 black, 69 yellow, 137 magenta, 205 red,
// 273 cyan, 341 green, 409 blue.
void ForeColor(std::int32_t classic);
void BackColor(std::int32_t classic);
void RGBForeColor(const RGBColor& c);
void RGBBackColor(const RGBColor& c);

// ---- Shapes ----
void FrameRect(const Rect& r);
void PaintRect(const Rect& r);
void EraseRect(const Rect& r);
void InvertRect(const Rect& r);
void FillRect(const Rect& r, Pattern p);
void FrameRoundRect(const Rect& r, std::int32_t ovalWidth, std::int32_t ovalHeight);
void PaintRoundRect(const Rect& r, std::int32_t ovalWidth, std::int32_t ovalHeight);
void EraseRoundRect(const Rect& r, std::int32_t ovalWidth, std::int32_t ovalHeight);
void InvertRoundRect(const Rect& r, std::int32_t ovalWidth, std::int32_t ovalHeight);
void FillRoundRect(const Rect& r, std::int32_t ovalWidth, std::int32_t ovalHeight, Pattern p);
void FrameOval(const Rect& r);
void PaintOval(const Rect& r);
void EraseOval(const Rect& r);
void InvertOval(const Rect& r);
void FillOval(const Rect& r, Pattern p);
// Arcs: angles in degrees, 0 at twelve o'clock, clockwise.
void FrameArc(const Rect& r, std::int32_t startAngle, std::int32_t arcAngle);
void PaintArc(const Rect& r, std::int32_t startAngle, std::int32_t arcAngle);

// ---- Polygons: OpenPoly starts recording the pen's lines, ClosePoly ends it ----
struct Polygon {
  std::vector<Point> points;
};
Polygon* OpenPoly();
void ClosePoly();
void KillPoly(Polygon*& poly);
void FramePoly(const Polygon* poly);
void PaintPoly(const Polygon* poly);

void ClipRect(const Rect& r);
// Moves the pixels of r by (dh, dv) and erases the uncovered part.
void ScrollRect(const Rect& r, std::int32_t dh, std::int32_t dv);

// ---- Text ----
// Draws at the pen position, baseline aligned; the pen moves to the end.
void DrawText(Chars text);
void DrawString(std::string_view text);
void DrawChar(char c);
std::int32_t TextWidth(std::string_view text);
std::int32_t CharWidth(char c);
void GetFontInfo(FontInfo& info);
void TextFont(std::int32_t number);
void TextSize(std::int32_t size);
void TextFace(std::int32_t style);
void TextMode(std::int32_t mode);
// Text drawn from now on in the current port is kept UTF-8 (PortState::utf8Text).
void TextUtf8(bool on);
// The number of a face name (a new one gets the next free number from 25); -1 when
// the table cannot grow.
std::int32_t FontNumber(Chars name);
void FontName(std::int32_t number, VarChars name);
// The family the desktop shows the font of the number in (the name it keeps may be a
// classic face that stands for one of the desktop's families).
void FontFamily(std::int32_t number, VarChars family);

// ---- Pictures: drawing recorded while a picture is open ----
struct Picture;
Picture* OpenPicture(const Rect& frame);
void ClosePicture();
void DrawPicture(const Picture* pic, const Rect& dst);
void KillPicture(Picture*& pic);
// Makes pic the picture drawing is recorded into (nullptr: none) and returns the one
// recorded into before; a window's drawing can so be kept apart from other recordings.
Picture* SetRecording(Picture* pic);
// Writes the picture to a host file; 0 or a negative file result.
std::int32_t SavePicture(const Picture* pic, Chars hostPath);

// ---- Off-screen bitmaps ----
Offscreen* NewOffscreen(std::int32_t width, std::int32_t height);
void DisposeOffscreen(Offscreen*& o);
// Copies pixels between ports (window or off-screen).
void CopyBits(Port src, Port dst, const Rect& srcRect, const Rect& dstRect);

bool PtVisible(Point p);
bool RectVisible(const Rect& r);

// ---- Controls: the desktop's own look for the items of dialogs ----
// DrawControl draws a control's chrome (its bevel, box, indicator or frame) in the
// platform's style, coloured from the port's back colour; the caller draws the text.
enum class ControlKind : std::uint8_t {
  PushButton,  // a command button's bevel
  CheckBox,    // a check box's indicator
  RadioButton, // a radio button's indicator
  Frame,       // a sunken panel
  LineEdit,    // an edit field
  ComboBox,    // a pop-up list with its arrow
};
// State bits of DrawControl.
inline constexpr std::uint32_t kControlPressed = 1; // held down
inline constexpr std::uint32_t kControlOn = 2;      // checked, switched on
inline constexpr std::uint32_t kControlMixed = 4;   // partly checked
inline constexpr std::uint32_t kControlDisabled = 8;
inline constexpr std::uint32_t kControlFocused = 16;
inline constexpr std::uint32_t kControlDefault = 32; // the default button
void DrawControl(ControlKind kind, const Rect& r, std::uint32_t state);

// ---- Pointer ----
enum class CursorShape : std::uint8_t { Arrow = 0, IBeam, Cross, Busy, Hand };
void SetCursorShape(CursorShape shape);
// A forced shape overrides the window's shape everywhere (the busy cursor); Arrow ends it.
void ForceCursorShape(bool on, CursorShape shape);
CursorShape CurrentCursorShape();
// Sets the pointer for a position in frame client coordinates: the current shape over
// the front window, the arrow elsewhere, the forced shape everywhere.
void AdjustCursor(Point where);
void ShowCursor();
void HideCursor();

// ---- Menus of the frame's menu bar; menus numbered by their owner, items from 1 ----
// A menu command: item in bits 0-7, menu number in bits 8-15.
inline constexpr std::uint32_t MenuCommand(std::uint32_t menu, std::uint32_t item) {
  return (menu << 8) | (item & 0xFF);
}
struct Menu;
Menu* NewMenu(std::int32_t menuId, Chars title);
// Adds the menu to the bar before the menu beforeId (0: at the end).
void InsertMenu(Menu* menu, std::int32_t beforeId);
void DeleteMenu(std::int32_t menuId);
void DisposeMenu(Menu*& menu);
Menu* GetMenu(std::int32_t menuId);
void DrawMenuBar();
void AppendItem(Menu* menu, Chars text);
void InsertItem(Menu* menu, Chars text, std::int32_t afterItem);
void DeleteItem(Menu* menu, std::int32_t item);
std::int32_t CountItems(const Menu* menu);
void SetItemText(Menu* menu, std::int32_t item, Chars text);
void GetItemText(const Menu* menu, std::int32_t item, VarChars text);
void CheckItem(Menu* menu, std::int32_t item, bool checked);
void EnableItem(Menu* menu, std::int32_t item);
void DisableItem(Menu* menu, std::int32_t item);
// Bit 0: enabled, bit 1: checked; 0 for an item that does not exist.
std::int32_t ItemState(const Menu* menu, std::int32_t item);
// Control + key runs the item (replacing an earlier item with that key) and
// "\tCtrl+<key>" is appended to its text; key Q makes it the frame's close command.
void SetItemCmd(Menu* menu, std::int32_t item, char key);
// The menu that opens from the item (0: none); the submenu need not be in the bar.
void SetItemSubmenu(Menu* menu, std::int32_t item, std::int32_t submenuId);
// The menu command that Control + key stands for (0 for none); keys compare caseless.
std::uint32_t AcceleratorFor(char key);
// The menu command of the item whose command key is Q (the frame's close command);
// 0 when no item has it.
std::uint32_t QuitMenuCommand();
// Shows the menu at p (frame client coordinates); the chosen item, 0 for none.
std::int32_t PopUpMenu(Menu* menu, Point p);
void HiliteMenu(std::int32_t menuId);
using MenuSelectProc = void (*)(std::int32_t item);
void SetMenuSelectProc(MenuSelectProc proc);

// The model of the bar, for the backends to show.
struct MenuItem {
  std::string text; // with "\tCtrl+X" appended for items with a command key
  bool enabled = true;
  bool checked = false;
  std::int32_t submenu = 0; // the menu that opens from this item; 0 for none
};
struct Menu {
  std::int32_t id = 0;
  std::string title;
  std::vector<MenuItem> items;
  bool inBar = false;
};
// The menus of the bar, left to right.
const std::vector<Menu*>& MenuBar();

// ---- Alerts and standard dialogs ----
// Message-box styles of Alert.
inline constexpr int kAlertOk = 131;
inline constexpr int kAlertYesNoDefaultNo = 132;
inline constexpr int kAlertYesNoDefaultYes = 133;
inline constexpr int kAlertYesNoCancelDefaultYes = 134;
inline constexpr int kAlertYesNoCancelDefaultNo = 135;
inline constexpr int kAlertYesNoCancelDefaultCancel = 136;
inline constexpr int kAlertOkPlain = 158;
inline constexpr int kAlertOkNoIcon = 160;
// The text of the next alert (cut to 255 characters).
void SetAlertText(Chars text);
// Shows the alert with the last text: 1 Yes/OK, 2 Cancel (and the close box), 3 No, 0 else.
int Alert(int code);
// Three buttons left to right answering 1, 2, 3; an empty label hides its button;
// defaultButton 1..3. Escape answers escapeButton (1..3), or without one the button
// labelled "Cancel", else the default button: Escape never chooses what Return would
// where a Cancel is offered.
int ThreeButtonAlert(Chars text, Chars left, Chars middle, Chars right, int defaultButton,
                     int escapeButton = 0);
// Dialog 150 (one prompt and edit line) and 153 (two); true for OK.
bool AskString(Chars prompt, VarChars answer);
bool AskTwoStrings(Chars prompt1, VarChars answer1, Chars prompt2, VarChars answer2);
// The Find dialog (title "Find": "Line to Find:" with the search text, the boxes "Search
// Backwards" and "Search Line Number") and the Replace dialog ("Replace": "Replace:" and
// "With:" with the two texts, "Search Backwards").
enum class FindDialogKind : std::uint8_t { Find, Replace };
// The results of their buttons.
inline constexpr int kFindButton = 1;      // "Find" (Find dialog), "Replace" (Replace dialog)
inline constexpr int kFindCancel = 2;      // "Cancel", the close box, Escape
inline constexpr int kFindReplaceAll = 10; // "Replace All"
inline constexpr int kFindFindButton = 11; // "Find" of the Replace dialog
// Shows the dialog preset with the texts (cut to 255 characters) and the boxes; any
// button but Cancel hands back what it shows. Returns the button's result.
int FindDialog(FindDialogKind kind, VarChars search, VarChars replacement, bool& backwards,
               bool& lineNumbers);
// The platform's colour and font choosers; true when the user chose.
bool ChooseColor(Chars prompt, RGBColor& color);
bool ChooseFont(VarChars faceName, std::int32_t& size, std::int32_t& style);
// Open (1), save (2) or directory (4) dialog; name holds the proposed and then the
// chosen host path; pattern such as "*.mac". The chosen filter is remembered.
bool AskFileName(int mode, Chars prompt, Chars pattern, VarChars name);
// The same with the accepting button labelled button ("Create", "Revert").
bool AskFileName(int mode, Chars prompt, Chars pattern, VarChars name, Chars button);

// ---- Printing ----
// The platform's printer and the port on the page it prints. Coordinates are device
// units (resolution per inch) from the top left of the printable area.
struct Printer {
  void* handle = nullptr;       // the backend's printer
  Rect page;                    // the printable area of a page
  std::int32_t resolution = 72; // device units per inch
  PortState state;
  bool documentOpen = false;
  std::int32_t pages = 0; // pages begun in the open document
};
// The platform's printer with its settings, or nullptr when there is none.
Printer* NewPrinter();
void DisposePrinter(Printer*& p);
bool IsPrinter(const Printer* p);
// The platform's page setup and print dialogs; true for OK (the page may change).
bool PageSetupDialog(Printer* p);
bool PrintDialog(Printer* p);
// What the margins dialog ("Set Margins") shows and gives back: the margins as fractions
// of the printable width ("Left Margin", "Right Margin") and height ("Top Margin",
// "Bottom Margin"), the font and size the button "Text Font" chooses, and the check box
// "Text Wrapping".
struct PrintMargins {
  double left = 0, right = 0, top = 0, bottom = 0;
  std::int32_t fontNumber = 22;
  std::int32_t fontSize = 12;
  bool wrap = true;
};
// True for OK, m then holding what the dialog showed; Cancel leaves m alone.
bool MarginsDialog(PrintMargins& m);
// Starts a document named title and shows the printing progress dialog ("Printing",
// "Hit cancel to stop printing:", "Cancel"); false when the platform cannot print.
bool BeginDocument(Printer* p, Chars title);
// Starts the next page, the printer's port drawing on it; false when the user cancelled
// in the progress dialog or the platform cannot go on.
bool BeginPage(Printer* p);
void EndPage(Printer* p);
// Ends the document, keeping the pages printed, and closes the progress dialog.
void EndDocument(Printer* p);
// Makes the printer's page the current port.
void SetPortPrinter(Printer* p);

// ---- Clipboard: the desktop's text, UTF-8 ----
void ClearClipboard();
void PutClipboardText(std::string_view text);
// The plain text on the clipboard (UTF-8); false when there is none.
bool GetClipboardText(std::string& text);
bool OwnsClipboard();

// ---- Time ----
struct DateTime {
  std::uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::uint16_t milliseconds = 0, weekday = 0;
};
// Milliseconds since the machine started.
std::uint32_t TickCount();
void GetDateTime(DateTime& t);
std::uint32_t GetDoubleTime();
std::uint32_t GetCaretTime();
// Waits ms milliseconds while taking and dispatching platform messages.
void Delay(std::uint32_t ms);

// ---- Sound ----
// 1 default, 2 question, 3 stop, 4 exclamation, 5 information, else the plain beep.
void Beep(int kind);
void PlayTone(double frequency, double volume);
void StopTone();

// ---- Other ----
// Available physical memory in bytes.
std::int64_t FreeMemory();
// String resources: 0 the title, 1 the version text.
void LoadResourceString(int id, VarChars text);
// The screen's logical pixels per inch.
double LogicalDpi();

} // namespace Toolbox
