// Tool tips and help files. A help file names items of dialogs and gives each a title
// and a text; loading it attaches a tip number to each named item. While tool tips are
// on, the small window "Help" shows the tip of the item the mouse rests on, next to the
// mouse, for ten seconds; with the control key held it shows, for any visible item, the
// item's address and the mouse position instead, which tells the names for the file.
//
// The file: an optional first line "FONT:" and a face name (the tips' font), then one
// line per tip: address ";" title ";" text. The address is a dialog's one-letter
// identifier, a blank, and the item's name or number ("P pump", "P 2"); a line whose
// address begins with '@' or names no item of an open dialog is skipped. Lines end with
// CR, LF, CR LF or LF CR. The file stays in the Block buffer "HelpFileBuffer" while the
// tips are in use.
#pragma once

#include <cstdint>

#include "dialog/Dialog.h"

namespace Help {

using Dialog::Chars;

inline constexpr std::int32_t kMaxTips = 2000;

// One tip: title and text (in the loaded file's buffer; line breaks of a wrapped text
// are CR) and the size of the tip window in pixels.
struct Tip {
  const char* title;
  const char* text;
  std::int32_t width;
  std::int32_t height;
};

// The module body: the tips take every event of the dialogs' event step.
void Init();

// Flips tool tips on or off; off hides the tip window. The menu mark follows.
void Toggle();
void SetTipsOn(bool on);
bool TipsOn();
// Loads the help file: false after an alert (the tips of an earlier file are gone then).
bool Load(Chars fileName);
bool Loaded();
// Releases the file's buffer and the tip window; tips go off.
void Close();

// The shell's menu mark of tool tips.
using MarkProc = void (*)(bool on);
void SetMarkProc(MarkProc proc);

// The dialog framework's events (code KeyNone: a null event) while tool tips are on.
void TipEvent(std::uint8_t code, std::uint8_t modifiers, Toolbox::Window w);

// The loaded tips, numbered from 1 (nullptr outside 1..TipCount), and the tips' font
// number (-1 while unset).
std::int32_t TipCount();
const Tip* TipAt(std::int32_t number);
std::int32_t TipFont();
// The tip window's dialog once it exists, else nullptr; whether it shows now.
Dialog::DialogRecord* TipWindow();
bool TipShown();
// The title and text the tip window shows (or showed last).
const char* ShownTitle();
const char* ShownText();
// A length in points times the screen's scale, rounded half away from zero.
std::int32_t Scaled(double points);

} // namespace Help
