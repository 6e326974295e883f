// The platform underneath the toolbox. Two backends implement it: the Qt backend
// (the real GUI) and the headless backend (deterministic, for tests).
//
// A backend turns what happens on the platform into PlatformMessages and hands each
// to Events::Dispatch while it pumps; it renders the DrawCommands the toolbox gives
// it into a window's or an off-screen bitmap's pixels, and answers the standard
// dialogs. Everything that must behave the same on both (ports, pens, fonts by number,
// menus and the accelerator table, the event queue) lives above it.
//
// Texts cross this interface in the workstation's characters (Windows-1252, see
// base/Charset.h); host file names (hostPath, the file dialog's name, dropped files) and
// the clipboard's text in UTF-8, as the desktop has them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Toolbox.h"

namespace Toolbox {

// What the platform reports; the event queue turns these into event records.
struct PlatformMessage {
  enum class Kind : std::uint8_t {
    KeyDown,       // vkey, extended; keyState as it is with this key down
    SysKeyDown,    // F10 and Alt combinations
    Character,     // ch (after KeyDown, as the platform translates keys)
    ButtonDown,    // button 1..3 at where (frame client), buttonFlags
    ButtonUp,      // where
    MouseMove,     // where
    Timer,         // the 55 ms frame timer
    Paint,         // window needs painting (the backing image is not enough)
    Close,         // close box of window
    FocusIn,       // window got the keyboard focus
    FocusOut,      // window lost it
    Moved,         // where = new position
    Sized,         // where = new width and height; sizeType 0 restored, 1 minimised, 2 maximised
    ActivateClick, // a click that activates window (not the front window)
    NextWindow,    // the platform's next-window command
    Scroll,        // scrollBar, vertical, request (0 line up .. 8 end), thumb
    FrameActivate, // the application became active (deactivated = false) or inactive
    FrameClose,    // close request on the frame window
    MenuCommand,   // menuCommand (item in bits 0-7, menu in 8-15)
    MenuSelect,    // menuCommand while the user moves through a menu
    DropFiles,     // files
    EndSession,    // the user's log-on ends
    Quit,          // the platform asks the program to end at once
    ClipboardText, // a script's text that another program puts on the clipboard (text)
    FrameSized,    // the frame's client area is now where (width, height); a script's asks
                   // the frame's window to take that size (the frame, decorations and all)
  };
  Kind kind = Kind::Timer;
  Window window = nullptr; // nullptr: the frame window
  std::uint32_t time = 0;  // TickCount of the message
  Point where;
  std::uint32_t vkey = 0;
  bool extended = false;
  char ch = 0;
  int button = 0;
  std::uint32_t buttonFlags = 0; // 4 Shift, 8 Control held with the click
  // Live modifier state in event-record form: 256 Alt, 512 Shift, 1024 Caps Lock on,
  // 2048 Windows key, 4096 Control.
  std::uint32_t keyState = 0;
  int sizeType = 0;
  bool deactivated = false;
  ScrollBar* scrollBar = nullptr;
  bool vertical = false;
  int request = 0;
  std::int32_t thumb = 0;
  std::uint32_t menuCommand = 0;
  // A script's menu command names its item instead, "Title/Item": found among the menus
  // of the bar when it is delivered (menuCommand 0).
  std::string menuPath;
  std::vector<std::string> files;
  std::string text; // ClipboardText: UTF-8
  // A script's mouse message whose where is local to the window in front when it is
  // delivered (the backend sets window and where then), or, when windowTitle is given, to
  // the window of that title (compared without regard to case).
  bool frontLocal = false;
  std::string windowTitle;
  // A script's pause (kind Timer): the program runs for waitMs milliseconds before the
  // script goes on, with the modifiers of keyState held meanwhile.
  std::uint32_t waitMs = 0;
  // A script's FrameClose that stands for the frame's window destroyed from outside
  // (by a window manager), not for a click on its close box.
  bool destroyed = false;
  // A script's Moved with a size: the user moves the window (the one in front, or the one
  // of windowTitle) so that its content lies at where, and sizes it to size.
  bool place = false;
  Point size;
};

// One drawing operation in a port, with the port state it is drawn with.
struct DrawCommand {
  enum class Op : std::uint8_t {
    Line,      // from a to b with the pen
    Rect,      // rect
    RoundRect, // rect, ovalWidth/ovalHeight in a
    Oval,      // rect
    Arc,       // rect, start/arc angles in a
    Poly,      // points
    Text,      // text at a (baseline), advancing
    Scroll,    // rect moved by a (dh, dv), uncovered part erased
    CopyBits,  // from source port srcRect to rect
    Picture,   // a recorded picture drawn into rect
    Segments,  // lines from points[2i] to points[2i+1] with the pen
    Control,   // the chrome of a control in rect: kind in control, state bits in controlState
  };
  enum class Verb : std::uint8_t { Frame, Paint, Erase, Invert, Fill };
  Op op = Op::Line;
  Verb verb = Verb::Frame;
  Pattern fillPattern = Pattern::Black;
  Rect rect;
  Point a, b;
  std::vector<Point> points;
  std::string text;
  PortState state; // pen, colours, font, text mode and clip as they were
  Port source;     // for CopyBits
  Rect srcRect;
  const Picture* picture = nullptr;
  ControlKind control = ControlKind::PushButton;
  std::uint32_t controlState = 0;
};

struct Picture {
  Rect frame;
  std::vector<DrawCommand> commands;
};

class Backend {
public:
  virtual ~Backend() = default;

  // The frame window: created once at start-up with the title and the size in pixels.
  virtual bool CreateFrame(const std::string& title, std::int32_t width, std::int32_t height) = 0;
  virtual void DestroyFrame() = 0;
  virtual void SetFrameTitle(const std::string& title) = 0;
  virtual Rect FrameClientRect() = 0;
  virtual Rect ScreenRect() = 0;
  virtual double LogicalDpi() = 0;

  // Takes platform messages and hands each to Events::Dispatch. With wait, blocks until
  // at least one message was handled; without, handles what is waiting. Returns
  // whether any message was handled.
  virtual bool Pump(bool wait) = 0;
  virtual std::uint32_t TickCount() = 0;
  virtual void GetDateTime(DateTime& t) = 0;
  virtual std::uint32_t DoubleClickTime() = 0;
  virtual std::uint32_t CaretTime() = 0;
  // Toggle state of Caps Lock (20), Num Lock (144), Scroll Lock (145); pressed state else.
  virtual bool KeyIsDown(std::uint32_t vkey) = 0;
  // The live modifier state in event-record form (see PlatformMessage::keyState).
  virtual std::uint32_t KeyState() = 0;
  virtual Point MousePosition() = 0; // frame client coordinates
  virtual void SetMousePosition(Point p) = 0;
  virtual bool ButtonDown() = 0;

  // Windows: bounds is the content rectangle in frame client coordinates.
  virtual void* CreateWindow(Window w, const Rect& bounds, const std::string& title, int kind,
                             bool closeBox, bool visible) = 0;
  virtual void DestroyWindow(Window w) = 0;
  virtual void ShowWindow(Window w, bool shown) = 0;
  virtual void SelectWindow(Window w) = 0;
  // Puts w above the other windows without activating it.
  virtual void RaiseWindow(Window w) = 0;
  // Shows what was drawn into w on the screen now, not when the program next waits.
  virtual void FlushWindow(Window w) = 0;
  virtual Window FrontWindow() = 0;
  virtual std::vector<Window> Windows() = 0; // front first
  virtual void SetTitle(Window w, const std::string& title) = 0;
  virtual std::string Title(Window w) = 0;
  virtual void MoveWindow(Window w, Point topLeft) = 0;
  virtual void SizeWindow(Window w, std::int32_t width, std::int32_t height) = 0;
  virtual Rect ContentRect(Window w) = 0; // frame client coordinates
  // Moves and sizes w as a user's drag would, so that its owner hears of it as of the
  // user's: Moved and Sized messages follow (the backends send none for MoveWindow and
  // SizeWindow on their own, or always send them).
  virtual void ArrangeWindow(Window w, const Rect& content) {
    MoveWindow(w, Point{content.left, content.top});
    SizeWindow(w, content.Width(), content.Height());
  }
  // The room the decorations of a window of the kind (Toolbox::kDocumentWindow, ...)
  // take around its content: left, top, right and bottom in pixels.
  virtual Rect WindowMargins(int kind) {
    static_cast<void>(kind);
    return {};
  }
  virtual bool IsVisible(Window w) = 0;
  // Asks for a Paint message for the area (or withdraws the request).
  virtual void Invalidate(Window w, const Rect& r, bool on) = 0;

  virtual void* CreateScrollBar(Window w, ScrollBar* bar, const Rect& bounds, bool vertical) = 0;
  virtual void DestroyScrollBar(ScrollBar* bar) = 0;
  virtual void UpdateScrollBar(ScrollBar* bar) = 0; // range, value, shown, bounds

  // Drawing into a window's or an off-screen bitmap's pixels.
  virtual void Draw(Port port, const DrawCommand& cmd) = 0;
  virtual std::int32_t TextWidth(const PortState& state, std::string_view text) = 0;
  virtual FontInfo GetFontInfo(const PortState& state) = 0;
  // The family the backend draws a face of that name in.
  virtual std::string FontFamily(const std::string& face) { return face; }
  virtual void* CreateOffscreen(Offscreen* o, std::int32_t width, std::int32_t height) = 0;
  virtual void DestroyOffscreen(Offscreen* o) = 0;
  virtual std::int32_t SavePicture(const Picture& pic, const std::string& hostPath) = 0;

  virtual void SetCursorShape(CursorShape shape) = 0;
  virtual void ShowCursor(bool shown) = 0;

  // The menu bar changed (Toolbox::MenuBar() has the model): called on DrawMenuBar and
  // whenever a menu of the bar, its items or their states change.
  virtual void MenuBarChanged() = 0;
  virtual std::int32_t PopUpMenu(const Menu& menu, Point where) = 0;

  // Standard dialogs. MessageBox answers 1 Yes/OK, 2 Cancel/close box, 3 No.
  virtual int MessageBox(const std::string& text, int code) = 0;
  virtual int ThreeButtonAlert(const std::string& text, const std::string labels[3],
                               int defaultButton) = 0;
  // prompts and answers have one or two entries.
  virtual bool AskStrings(const std::vector<std::string>& prompts,
                          std::vector<std::string>& answers) = 0;
  // The Find or Replace dialog (Toolbox::FindDialog), preset with the texts and boxes;
  // returns the button's result and hands back what the dialog shows.
  virtual int FindDialog(FindDialogKind kind, std::string& search, std::string& replacement,
                         bool& backwards, bool& lineNumbers) = 0;
  virtual bool ChooseColor(const std::string& prompt, RGBColor& color) = 0;
  virtual bool ChooseFont(std::string& face, std::int32_t& size, std::int32_t& style) = 0;
  // filter: entries separated by ";;", each "name (patterns)"; the backend offers the
  // entry chosen last time first.
  virtual bool AskFileName(int mode, const std::string& prompt, const std::string& filter,
                           std::string& name) = 0;
  // The label of the accepting button of the next file dialog ("" for the platform's).
  virtual void SetFileDialogButton(const std::string& label) { static_cast<void>(label); }

  virtual void SetClipboardText(const std::string& text) = 0;
  virtual bool GetClipboardText(std::string& text) = 0;
  // Whether the text the program put last is still on the clipboard (another program
  // may have replaced it since).
  virtual bool ClipboardOwned() { return true; }

  virtual void Beep(int kind) = 0;
  virtual void PlayTone(double frequency, double volume) = 0;
  virtual void StopTone() = 0;

  // Printing; a backend without printers has none to give.
  // The platform's printer for p: sets its page and resolution; nullptr when none.
  virtual void* CreatePrinter(Printer*) { return nullptr; }
  virtual void DestroyPrinter(Printer*) {}
  virtual bool PageSetupDialog(Printer*) { return false; }
  virtual bool PrintDialog(Printer*) { return false; }
  // face names m.fontNumber, and afterwards what "Text Font" chose.
  virtual bool MarginsDialog(PrintMargins&, std::string&) { return false; }
  virtual bool BeginDocument(Printer*, const std::string&) { return false; }
  virtual bool BeginPage(Printer*) { return false; }
  virtual void EndPage(Printer*) {}
  virtual void EndDocument(Printer*) {}
  // Text measures at the printer's resolution; the screen's by default.
  virtual std::int32_t PrinterTextWidth(Printer*, const PortState& state, std::string_view text) {
    return TextWidth(state, text);
  }
  virtual FontInfo PrinterFontInfo(Printer*, const PortState& state) { return GetFontInfo(state); }

  // Waits ms milliseconds while taking and dispatching platform messages. The default
  // pumps until TickCount has advanced by ms.
  virtual void Delay(std::uint32_t ms);
};

// The backend in use; installed once before Toolbox::Init.
void InstallBackend(Backend* backend);
Backend& TheBackend();
bool HasBackend();

struct ScrollBar {
  void* handle = nullptr;
  std::uint32_t ref = 0; // the bar's reference in the message of scroll events
  Window window = nullptr;
  Rect bounds;
  bool vertical = false;
  bool shown = true;
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t value = 0;
};

struct Offscreen {
  void* handle = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  PortState state;
};

} // namespace Toolbox
