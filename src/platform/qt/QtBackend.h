// The toolbox on Qt 6 Widgets: a QMainWindow frame whose client area is a QMdiArea,
// child windows as QMdiSubWindows painting from QImage backing stores, QMenuBar menus,
// QMessageBox alerts and the standard dialogs.
//
// Qt's event handlers only collect PlatformMessages; Pump hands them to
// Events::Dispatch afterwards, outside Qt's own call chain, so that whatever the
// program does with an event (even ending through Terminate) never unwinds through Qt.
//
// The driver: key messages set with SetInjectedKeys are typed one key at a time
// whenever the program waits for input (and into pop-up menus, modal dialogs and the
// boxes these open while they are open); a pause lets the program run that long; with a
// screenshot file set, the frame is saved as PNG once they are all consumed and the
// program ends. Unattended, the program's waits take no time.
//
// Printing goes to a QPrinter, which prints to PDF where no printer is installed. With
// the environment variable VELMARIN_PRINT_PDF set to a file name, the printer prints to
// that PDF file and the page setup and print dialogs answer OK without showing: the way
// a driven run or a test prints.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"

class QDialog;
class QTimer;
class QWidget;

namespace QtUi {

class Fonts;

class QtBackend : public Toolbox::Backend {
public:
  // A QApplication must exist.
  QtBackend();
  ~QtBackend() override;

  // ---- The driver ----
  // Key messages (as KeyScript::Parse makes them) to type once start-up is over.
  void SetInjectedKeys(std::vector<Toolbox::PlatformMessage> keys);
  void SetScreenshotFile(const QString& path);
  // With the screenshot, "client W H" and a line "window LEFT TOP RIGHT BOTTOM TITLE" for
  // each shown window (its frame, front first, in the client area's coordinates) go to
  // this file.
  void SetGeometryFile(const QString& path);
  // False when the screenshot was asked for and could not be written.
  bool ScreenshotSucceeded() const;
  // Prints "ready-ms N" on stdout, N the milliseconds from t0Ms (a CLOCK_REALTIME
  // time) to the moment the user can type: the program waits for input and the front
  // window's canvas has painted what the program drew into it. Then saves the
  // screenshot, if one is set, and ends the process at once.
  void ReportReady(double t0Ms);

  // No user: whenever the program waits with nothing to do, its time passes at once (to
  // the timer's next tick, or the whole of a Delay), as a program run from the shell
  // without a window finds it.
  void SetUnattended(bool on);

  // A copy of the pixels of a window's or an off-screen port (null when it has none).
  QImage PortImage(const Toolbox::Port& port) const;

  // ---- Toolbox::Backend ----
  bool CreateFrame(const std::string& title, std::int32_t width, std::int32_t height) override;
  void DestroyFrame() override;
  void SetFrameTitle(const std::string& title) override;
  Toolbox::Rect FrameClientRect() override;
  Toolbox::Rect ScreenRect() override;
  double LogicalDpi() override;

  bool Pump(bool wait) override;
  std::uint32_t TickCount() override;
  void Delay(std::uint32_t ms) override;
  void GetDateTime(Toolbox::DateTime& t) override;
  std::uint32_t DoubleClickTime() override;
  std::uint32_t CaretTime() override;
  bool KeyIsDown(std::uint32_t vkey) override;
  std::uint32_t KeyState() override;
  Toolbox::Point MousePosition() override;
  void SetMousePosition(Toolbox::Point p) override;
  bool ButtonDown() override;

  void* CreateWindow(Toolbox::Window w, const Toolbox::Rect& bounds, const std::string& title,
                     int kind, bool closeBox, bool visible) override;
  void DestroyWindow(Toolbox::Window w) override;
  void ShowWindow(Toolbox::Window w, bool shown) override;
  void SelectWindow(Toolbox::Window w) override;
  void RaiseWindow(Toolbox::Window w) override;
  void FlushWindow(Toolbox::Window w) override;
  Toolbox::Window FrontWindow() override;
  std::vector<Toolbox::Window> Windows() override;
  void SetTitle(Toolbox::Window w, const std::string& title) override;
  std::string Title(Toolbox::Window w) override;
  void MoveWindow(Toolbox::Window w, Toolbox::Point topLeft) override;
  void SizeWindow(Toolbox::Window w, std::int32_t width, std::int32_t height) override;
  void ArrangeWindow(Toolbox::Window w, const Toolbox::Rect& content) override;
  Toolbox::Rect ContentRect(Toolbox::Window w) override;
  Toolbox::Rect WindowMargins(int kind) override;
  bool IsVisible(Toolbox::Window w) override;
  void Invalidate(Toolbox::Window w, const Toolbox::Rect& r, bool on) override;

  void* CreateScrollBar(Toolbox::Window w, Toolbox::ScrollBar* bar, const Toolbox::Rect& bounds,
                        bool vertical) override;
  void DestroyScrollBar(Toolbox::ScrollBar* bar) override;
  void UpdateScrollBar(Toolbox::ScrollBar* bar) override;

  void Draw(Toolbox::Port port, const Toolbox::DrawCommand& cmd) override;
  std::int32_t TextWidth(const Toolbox::PortState& state, std::string_view text) override;
  Toolbox::FontInfo GetFontInfo(const Toolbox::PortState& state) override;
  std::string FontFamily(const std::string& face) override;
  void* CreateOffscreen(Toolbox::Offscreen* o, std::int32_t width, std::int32_t height) override;
  void DestroyOffscreen(Toolbox::Offscreen* o) override;
  // Writes the picture as SVG when the file name ends in ".svg", else as PNG.
  std::int32_t SavePicture(const Toolbox::Picture& pic, const std::string& hostPath) override;

  void SetCursorShape(Toolbox::CursorShape shape) override;
  void ShowCursor(bool shown) override;

  void MenuBarChanged() override;
  std::int32_t PopUpMenu(const Toolbox::Menu& menu, Toolbox::Point where) override;

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
  void SetFileDialogButton(const std::string& label) override;

  void SetClipboardText(const std::string& text) override;
  bool GetClipboardText(std::string& text) override;

  void Beep(int kind) override;
  void PlayTone(double frequency, double volume) override;
  void StopTone() override;

  void* CreatePrinter(Toolbox::Printer* p) override;
  void DestroyPrinter(Toolbox::Printer* p) override;
  bool PageSetupDialog(Toolbox::Printer* p) override;
  bool PrintDialog(Toolbox::Printer* p) override;
  bool MarginsDialog(Toolbox::PrintMargins& m, std::string& face) override;
  bool BeginDocument(Toolbox::Printer* p, const std::string& title) override;
  bool BeginPage(Toolbox::Printer* p) override;
  void EndPage(Toolbox::Printer* p) override;
  void EndDocument(Toolbox::Printer* p) override;
  std::int32_t PrinterTextWidth(Toolbox::Printer* p, const Toolbox::PortState& state,
                                std::string_view text) override;
  Toolbox::FontInfo PrinterFontInfo(Toolbox::Printer* p, const Toolbox::PortState& state) override;

  // The implementation's state and its widgets; public for the widget classes of
  // the source file.
  struct State;

private:
  // With a script running, a timer that types its keys into what Qt runs its own loop
  // for (owner: a dialog or a pop-up menu) while that loop runs.
  void StartFeeder(QTimer& feeder, QWidget& owner);
  int RunModal(QDialog& dialog);
  // The faces of a printer's pages, at its resolution.
  Fonts& PrinterFonts(Toolbox::Printer* p);
  std::unique_ptr<State> s_;
};

} // namespace QtUi
