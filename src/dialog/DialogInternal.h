// The dialog framework's state and the helpers its sources share; not for other modules.
#pragma once

#include <cstdint>

#include "dialog/Dialog.h"

namespace Dialog::Internal {

struct State {
  bool initialised = false;
  DialogRecord dummy; // current when no dialog is
  DialogRecord* current = &dummy;
  DialogRecord* known = nullptr; // newest first
  Acting acting;
  bool lastResult = false;
  BeforeHook before = nullptr;
  AfterHook after = nullptr;
  AfterHook record = nullptr;
  EventHook eventHook = nullptr;
  IdleHook idle = nullptr;
  bool idling = false; // the idle hook is running (it may poll itself)
  WindowEventProc windowProc = nullptr;
  KeyTerminalProc keyTerminal = nullptr;
  ConfigureProc configure = nullptr;
  TipProc tip = nullptr;
  int modal = 0; // modal loops running
  bool execute = true;
  bool playback = false;
  bool trace = false;
  double scale = 0; // the tests' ScreenScale; 0: Startup's
  // The key event in hand and where its click was (local to its window).
  std::uint8_t code = 0;
  Point where;
  bool fromClick = false;
  // The last click, for double clicks in dialog windows.
  Toolbox::Window clickWindow = nullptr;
  Point clickWhere;
  std::uint32_t clickTime = 0;
  std::uint8_t clickCode = 0;
  std::uint32_t acted = 0; // item actions and taken keys so far (Poll's answer)
  bool pushedBack = false; // a key event was pushed back for the next step
  bool erased = false;     // the whole dialog was erased in its back colour just now
  std::int32_t nextMenuId = 1000;
};
State& S();

double Scale();
// round(v), half away from zero, limited to 32 bits.
std::int32_t Round(double v);
// Fills the rest of a character array with zeros after its text.
void AssignPadded(char* dst, std::size_t size, Chars src);
bool IsList(ItemKind k);
// A back colour dark enough for light text: its components add up to 78000 at most.
bool Dark(const RGBColor& c);
// The item's own slot is its variable.
bool Unbound(const DialogItem& item);
// Copies the template item 0 over item index, pointing its variable at its own slot.
void CopyTemplate(DialogRecord& d, std::int32_t index);
// The procedures with their defaults.
bool PreAction(DialogRecord& d, std::int16_t item);
void ItemChanged(DialogRecord& d, std::int16_t item);
bool BeforeAction(DialogRecord& d, std::int16_t item);
void AfterAction(DialogRecord& d, std::int16_t item);
void Record(DialogRecord& d, std::int16_t item);
void RunAction(DialogRecord& d, std::int16_t item);
// The item's boolean state, and the value change of a press (button TRUE, switch and
// check box toggled, radio button set, multicheck cycled, pane selected).
bool IsOn(DialogRecord& d, std::int32_t index);
void Press(DialogRecord& d, std::int32_t index);
// The dialog's window as the current port, and the previous port back.
class Drawing {
public:
  explicit Drawing(DialogRecord& d);
  ~Drawing();
  Drawing(const Drawing&) = delete;
  Drawing& operator=(const Drawing&) = delete;
  bool Ok() const { return ok_; }

private:
  Toolbox::Port saved_;
  bool ok_;
};
// Sets up the port for the item's text: font, size, style and colours.
void UseItemFont(const DialogItem& item);
// Writes the text in inverse video on the text output, ends the line and beeps.
void Highlighted(Chars text);
// Takes the activation of every known dialog from the front window: the activate and
// deactivate procedures run once each way.
void SyncActivation();
// Whether an active item of an open dialog has the letter or digit key as a shortcut
// that comes with any modifier (Control and Alt then reach it rather than the menus).
bool ClaimsKey(char key);
void Deactivate(DialogRecord& d);
// A window's content rectangle (frame client coordinates) moved and cut so that the
// window of the kind lies within the frame's client area, its caption and borders too.
void FitWindow(Rect& r, int kind);
// The pointer, local to the dialog's window.
Point Mouse(DialogRecord& d);
// Waits for the next platform message (the frame's timer gives one at least).
void WaitMessage();
// The number of a list entry the variable holds, and storing an index.
void SetListIndex(DialogItem& item, std::int32_t index);
void SetListSecond(DialogItem& item, std::uint16_t second);
// The idle hook, never nested.
void RunIdle();
// Captures the item's value into the acting record.
void Capture(DialogItem& item);

} // namespace Dialog::Internal
