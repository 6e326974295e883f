// The in-memory backend the tests run on: deterministic and without a display.
//
// Every character is 8 pixels wide and a line 16 high (ascent 12, descent 4) in every
// font, on the screen and on the printer's pages. Each window keeps a character grid
// that text drawing, erasing, painting, inverting and scrolling keep up to date, so a
// test can read what the screen shows; every drawing operation also goes into a
// display list, and what is drawn on the printer's pages into the printed documents.
// Platform messages come from a script that the test injects; time is a virtual clock
// in milliseconds. Standard dialogs take their answers from queues; a dialog asked
// without a scripted answer is cancelled (a three-button alert takes its default
// button) and noted. A pop-up menu without an answer takes the script's keys.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Backend.h"

namespace Headless {

using Toolbox::DrawCommand;
using Toolbox::PlatformMessage;
using Toolbox::Point;
using Toolbox::Rect;
using Toolbox::Window;

inline constexpr std::int32_t kCharWidth = 8;
inline constexpr std::int32_t kAscent = 12;
inline constexpr std::int32_t kDescent = 4;
inline constexpr std::int32_t kLineHeight = kAscent + kDescent;
// The period of the frame's timer while the program waits with nothing injected.
inline constexpr std::uint32_t kTimerPeriod = 55;

struct Config {
  std::int32_t frameWidth = 800; // the frame's client area
  std::int32_t frameHeight = 600;
  Rect screen{0, 0, 1280, 1024};
  double dpi = 96.0;
  std::uint32_t startTime = 100000; // TickCount at start
  std::uint32_t step = 10;          // ms the clock moves for a message without a time
  int idleLimit = 100;              // timer ticks in a row with nothing injected
  std::uint32_t doubleClickTime = 500;
  std::uint32_t caretTime = 530;
  // The printer: 8 by 10.5 inches of printable area at 72 units per inch.
  bool printer = true;
  Rect printerPage{0, 0, 576, 756};
  std::int32_t printerResolution = 72;
};

// One page that was printed: the drawing done on it, in order (the display list has it
// too).
struct PrintedPage {
  std::vector<DrawCommand> commands;
};
struct PrintedDocument {
  std::string title;
  std::vector<PrintedPage> pages;
  bool ended = false;
};

// One entry of the display list.
struct Drawn {
  Toolbox::Port port;
  DrawCommand command;
};

// One cell of a window's character grid.
struct Cell {
  char ch = ' ';
  bool inverse = false;
};

class HeadlessBackend : public Toolbox::Backend {
public:
  explicit HeadlessBackend(const Config& config = Config{});
  // Uninstalls itself when it is the installed backend.
  ~HeadlessBackend() override;
  HeadlessBackend(const HeadlessBackend&) = delete;
  HeadlessBackend& operator=(const HeadlessBackend&) = delete;

  // ---- The script of platform messages ----
  // A message with time 0 gets the clock advanced by the step when it is dispatched;
  // one with a time sets the clock to it (the clock never goes back).
  void Inject(const PlatformMessage& message);
  void Inject(const std::vector<PlatformMessage>& messages);
  void InjectKey(std::uint32_t vkey, std::uint32_t keyState = 0, bool extended = false,
                 std::uint32_t time = 0);
  void InjectChar(char ch, std::uint32_t keyState = 0, std::uint32_t time = 0);
  // Mouse positions are local to w (frame client coordinates when w is nullptr).
  void InjectButtonDown(Window w, Point local, int button = 1, std::uint32_t time = 0,
                        std::uint32_t buttonFlags = 0);
  void InjectButtonUp(Window w, Point local, std::uint32_t time = 0);
  void InjectClick(Window w, Point local, int button = 1, std::uint32_t time = 0);
  void InjectMouseMove(Window w, Point local, std::uint32_t time = 0);
  void InjectTimer(std::uint32_t time = 0);
  void InjectMenuCommand(std::uint32_t menuCommand, std::uint32_t time = 0);
  void InjectScroll(Toolbox::ScrollBar* bar, int request, std::int32_t thumb = 0);
  // Messages injected and not yet dispatched.
  std::size_t Pending() const { return script_.size(); }
  // Called when the program waits and the script is empty for idleLimit timer ticks.
  // It may inject more messages and return; otherwise the run ends (Startup::Terminate):
  // a test runs its script under Startup::RunToEnd.
  void SetOutOfInputProc(void (*proc)()) { outOfInput_ = proc; }
  // A modifier state that holds under every message (Caps Lock on, say).
  void SetKeyState(std::uint32_t keyState) { heldKeyState_ = keyState; }
  // Toggle state of Num Lock (144) and Scroll Lock (145).
  void SetToggle(std::uint32_t vkey, bool on);
  void SetDateTime(const Toolbox::DateTime& t) { dateTime_ = t; }

  // ---- What the screen shows (rows and columns from 0) ----
  // The row's characters without trailing blanks; empty outside the grid.
  std::string Row(Window w, int row) const;
  bool Inverse(Window w, int row, int col) const;
  std::vector<std::string> Screen(Window w) const;
  const std::vector<Drawn>& DisplayList() const { return displayList_; }
  void ClearDisplayList() { displayList_.clear(); }
  bool FrameExists() const { return frameExists_; }
  const std::string& FrameTitle() const { return frameTitle_; }
  int MenuBarChanges() const { return menuBarChanges_; }
  Toolbox::CursorShape Cursor() const { return cursor_; }
  bool CursorShown() const { return cursorShown_; }

  // ---- Scripted answers of the standard dialogs, taken in order ----
  void AnswerAlert(int answer) { alertAnswers_.push_back(answer); }
  void AnswerThreeButtons(int answer) { threeButtonAnswers_.push_back(answer); }
  void AnswerStrings(bool ok, std::vector<std::string> answers = {});
  void AnswerFileName(bool ok, std::string name = {});
  void AnswerColor(bool ok, Toolbox::RGBColor color = {});
  void AnswerFont(bool ok, std::string face = {}, std::int32_t size = 0, std::int32_t style = 0);
  void AnswerPopUp(std::int32_t item) { popUpAnswers_.push_back(item); }
  // The Find and Replace dialogs: the button pressed and what the dialog then shows;
  // an unset field keeps its preset value.
  struct FindAnswer {
    int button = Toolbox::kFindCancel;
    std::optional<std::string> search = std::nullopt;
    std::optional<std::string> replacement = std::nullopt;
    std::optional<bool> backwards = std::nullopt;
    std::optional<bool> lineNumbers = std::nullopt;
  };
  void AnswerFind(FindAnswer answer) { findAnswers_.push_back(std::move(answer)); }
  // What the last Find or Replace dialog was shown with.
  struct FindShown {
    Toolbox::FindDialogKind kind = Toolbox::FindDialogKind::Find;
    std::string search;
    std::string replacement;
    bool backwards = false;
    bool lineNumbers = false;
  };
  const FindShown& LastFindDialog() const { return lastFind_; }
  // The texts of the alerts shown, in order.
  const std::vector<std::string>& AlertLog() const { return alertLog_; }
  // The dialogs asked without a scripted answer, as "Alert 132: text", "AskStrings", ...
  const std::vector<std::string>& Unanswered() const { return unanswered_; }
  // The prompts and filter of the last file dialog.
  const std::string& LastFilePrompt() const { return lastFilePrompt_; }
  const std::string& LastFileFilter() const { return lastFileFilter_; }
  // Beeps and tones: "Beep 3", "PlayTone 440 0.5", "StopTone".
  const std::vector<std::string>& SoundLog() const { return soundLog_; }
  // Another program takes the clipboard.
  void SetForeignClipboard(const std::string& text);

  // ---- Printing ----
  // The page setup and print dialogs, and the margins dialog: OK with what it then
  // shows (what it was shown with when not given; its font by the face's name), or Cancel.
  void AnswerPageSetup(bool ok) { pageSetupAnswers_.push_back(ok); }
  void AnswerPrint(bool ok) { printAnswers_.push_back(ok); }
  void AnswerMargins(bool ok, std::optional<Toolbox::PrintMargins> margins = std::nullopt,
                     std::string face = {});
  // What the last margins dialog was shown with, and the face of its font.
  const Toolbox::PrintMargins& LastMarginsShown() const { return lastMargins_; }
  const std::string& LastMarginsFace() const { return lastMarginsFace_; }
  // Whether the platform has a printer (Config::printer).
  void SetPrinter(bool installed) { config_.printer = installed; }
  // The progress dialog's Cancel is pressed once pages pages have been begun (-1: never).
  void CancelPrintingAfter(int pages) { cancelAfter_ = pages; }
  const std::vector<PrintedDocument>& Printed() const { return printed_; }

  // ---- Toolbox::Backend ----
  bool CreateFrame(const std::string& title, std::int32_t width, std::int32_t height) override;
  void DestroyFrame() override;
  void SetFrameTitle(const std::string& title) override { frameTitle_ = title; }
  Rect FrameClientRect() override;
  Rect ScreenRect() override { return config_.screen; }
  double LogicalDpi() override { return config_.dpi; }

  bool Pump(bool wait) override;
  std::uint32_t TickCount() override { return clock_; }
  void GetDateTime(Toolbox::DateTime& t) override { t = dateTime_; }
  std::uint32_t DoubleClickTime() override { return config_.doubleClickTime; }
  std::uint32_t CaretTime() override { return config_.caretTime; }
  bool KeyIsDown(std::uint32_t vkey) override;
  std::uint32_t KeyState() override { return keyState_; }
  Point MousePosition() override { return mouse_; }
  void SetMousePosition(Point p) override { mouse_ = p; }
  bool ButtonDown() override { return buttonDown_; }
  void Delay(std::uint32_t ms) override { clock_ += ms; }

  void* CreateWindow(Window w, const Rect& bounds, const std::string& title, int kind,
                     bool closeBox, bool visible) override;
  void DestroyWindow(Window w) override;
  void ShowWindow(Window w, bool shown) override;
  void SelectWindow(Window w) override;
  void RaiseWindow(Window w) override;
  void FlushWindow(Window) override {}
  Window FrontWindow() override;
  std::vector<Window> Windows() override;
  void SetTitle(Window w, const std::string& title) override;
  std::string Title(Window w) override;
  void MoveWindow(Window w, Point topLeft) override;
  void SizeWindow(Window w, std::int32_t width, std::int32_t height) override;
  Rect ContentRect(Window w) override;
  bool IsVisible(Window w) override;
  void Invalidate(Window w, const Rect& r, bool on) override;

  void* CreateScrollBar(Window w, Toolbox::ScrollBar* bar, const Rect& bounds,
                        bool vertical) override;
  void DestroyScrollBar(Toolbox::ScrollBar*) override {}
  void UpdateScrollBar(Toolbox::ScrollBar*) override {}

  void Draw(Toolbox::Port port, const DrawCommand& cmd) override;
  std::int32_t TextWidth(const Toolbox::PortState& state, std::string_view text) override;
  Toolbox::FontInfo GetFontInfo(const Toolbox::PortState& state) override;
  void* CreateOffscreen(Toolbox::Offscreen* o, std::int32_t width, std::int32_t height) override;
  void DestroyOffscreen(Toolbox::Offscreen*) override {}
  // Writes the picture as text, whatever the file's extension: a line "Picture LEFT TOP
  // RIGHT BOTTOM" (the frame), then one line per drawing operation: "OP VERB LEFT TOP
  // RIGHT BOTTOM AH AV BH BV RED GREEN BLUE N" (operation and verb as the DrawCommand
  // names them, its rectangle, points a and b, the pen's 16-bit colour, the number of
  // further points), the N points "H V", then a space and the text drawn.
  std::int32_t SavePicture(const Toolbox::Picture& pic, const std::string& hostPath) override;

  void SetCursorShape(Toolbox::CursorShape shape) override { cursor_ = shape; }
  void ShowCursor(bool shown) override { cursorShown_ = shown; }

  void MenuBarChanged() override { ++menuBarChanges_; }
  std::int32_t PopUpMenu(const Toolbox::Menu& menu, Point where) override;

  int MessageBox(const std::string& text, int code) override;
  int ThreeButtonAlert(const std::string& text, const std::string labels[3],
                       int defaultButton) override;
  bool AskStrings(const std::vector<std::string>& prompts,
                  std::vector<std::string>& answers) override;
  int FindDialog(Toolbox::FindDialogKind kind, std::string& search, std::string& replacement,
                 bool& backwards, bool& lineNumbers) override;
  bool ChooseColor(const std::string& prompt, Toolbox::RGBColor& color) override;
  bool ChooseFont(std::string& face, std::int32_t& size, std::int32_t& style) override;
  bool AskFileName(int mode, const std::string& prompt, const std::string& filter,
                   std::string& name) override;

  void SetClipboardText(const std::string& text) override;
  bool GetClipboardText(std::string& text) override;
  bool ClipboardOwned() override { return clipboardOwned_; }

  void Beep(int kind) override;
  void PlayTone(double frequency, double volume) override;
  void StopTone() override;

  void* CreatePrinter(Toolbox::Printer* p) override;
  bool PageSetupDialog(Toolbox::Printer* p) override;
  bool PrintDialog(Toolbox::Printer* p) override;
  bool MarginsDialog(Toolbox::PrintMargins& m, std::string& face) override;
  bool BeginDocument(Toolbox::Printer* p, const std::string& title) override;
  bool BeginPage(Toolbox::Printer* p) override;
  void EndPage(Toolbox::Printer* p) override;
  void EndDocument(Toolbox::Printer* p) override;

private:
  struct Win {
    Window window = nullptr;
    Rect bounds;
    std::string title;
    bool visible = false;
    bool needsPaint = false;
    int rows = 0;
    int cols = 0;
    std::vector<Cell> cells;
  };
  struct StringsAnswer {
    bool ok = false;
    std::vector<std::string> answers;
  };
  struct FileAnswer {
    bool ok = false;
    std::string name;
  };
  struct ColorAnswer {
    bool ok = false;
    Toolbox::RGBColor color;
  };
  struct FontAnswer {
    bool ok = false;
    std::string face;
    std::int32_t size = 0;
    std::int32_t style = 0;
  };
  struct MarginsAnswer {
    bool ok = false;
    std::optional<Toolbox::PrintMargins> margins;
    std::string face;
  };
  // A pop-up menu without a scripted answer takes the script's keys: DOWN and UP move
  // over the enabled entries, RETURN chooses, ESC and anything else cancel (0).
  std::int32_t MenuByKeys(const Toolbox::Menu& menu);
  // The answer to a dialog from a queue of booleans; unscripted: Cancel, noted.
  bool Answer(std::deque<bool>& answers, const char* dialog);

  Win* Find(Window w) const;
  Point ToFrame(Window w, Point local) const;
  // The front-most shown window of the title (case ignored), or nullptr.
  Window Titled(const std::string& title) const;
  void Resize(Win& win, std::int32_t width, std::int32_t height);
  // Queues focus changes when the front window is no longer the one it was.
  void FrontChanged(Window before);
  void Generate(PlatformMessage::Kind kind, Window w, Point where = {});
  void DispatchInput(PlatformMessage m);
  void DrawOnGrid(Win& win, const DrawCommand& cmd);

  Config config_;
  std::uint32_t clock_;
  std::deque<PlatformMessage> script_;
  // Messages the platform makes of the program's own calls (moves, focus changes).
  std::deque<PlatformMessage> generated_;
  int idleTicks_ = 0;
  void (*outOfInput_)() = nullptr;
  std::uint32_t heldKeyState_ = 0;
  std::uint32_t keyState_ = 0;
  std::uint32_t downKey_ = 0;    // the key of the last key-down until the next input
  std::uint32_t downButton_ = 0; // the virtual key of the button held
  bool numLock_ = false;
  bool scrollLock_ = false;
  Point mouse_;
  bool buttonDown_ = false;
  Toolbox::DateTime dateTime_{2024, 1, 15, 9, 30, 0, 0, 1};

  bool frameExists_ = false;
  std::string frameTitle_;
  std::vector<std::unique_ptr<Win>> windows_;
  std::vector<Win*> order_; // front first
  std::vector<Drawn> displayList_;
  int menuBarChanges_ = 0;
  Toolbox::CursorShape cursor_ = Toolbox::CursorShape::Arrow;
  bool cursorShown_ = true;

  std::deque<int> alertAnswers_;
  std::deque<int> threeButtonAnswers_;
  std::deque<StringsAnswer> stringsAnswers_;
  std::deque<FileAnswer> fileAnswers_;
  std::deque<ColorAnswer> colorAnswers_;
  std::deque<FontAnswer> fontAnswers_;
  std::deque<std::int32_t> popUpAnswers_;
  std::deque<FindAnswer> findAnswers_;
  FindShown lastFind_;
  std::vector<std::string> alertLog_;
  std::vector<std::string> unanswered_;
  std::string lastFilePrompt_;
  std::string lastFileFilter_;
  std::vector<std::string> soundLog_;

  std::string clipboard_;
  bool clipboardOwned_ = false;

  std::deque<bool> pageSetupAnswers_;
  std::deque<bool> printAnswers_;
  std::deque<MarginsAnswer> marginsAnswers_;
  Toolbox::PrintMargins lastMargins_;
  std::string lastMarginsFace_;
  int cancelAfter_ = -1;
  bool pageOpen_ = false;
  std::vector<PrintedDocument> printed_;
};

// Installs backend and starts the toolbox and the event queue, as every test of
// drawing or events needs; false when the queue cannot be had. StopPlatform undoes it.
bool StartPlatform(Toolbox::Backend& backend);
void StopPlatform();

} // namespace Headless
