// Key scripts: keys written as text ("GOLD KP7 'abc' RETURN C-q") turned into the
// platform messages that typing them produces, for the driver of the real program
// and for tests on the headless backend.
//
// Tokens are separated by blanks. A script in UTF-8 (as a shell gives it) types the
// characters of the workstation's set that its texts hold (others as "?"); any other
// script types a character a byte.
//   'text' or "text"   types each character; the quote that opens the text is typed
//                      inside it by doubling it ('it''s' types it's)
//   CLIPBOARD'text'    puts text on the desktop's clipboard, as another program would
//   a single character a letter or digit typed as itself (a types a, A types A)
//   key names          RETURN (ENTER), TAB, ESC, BACKSPACE, SPACE, DELETE,
//                      INSERT (GOLD), HOME, END, PGUP, PGDN, UP, DOWN, LEFT, RIGHT,
//                      F1..F15, KP0..KP9, KPENTER, KPMINUS, KPPLUS, KPDOT, KPDIV, KPMUL
//   prefixes           C- (Control), S- (Shift), A- (Alt) before a key name or a
//                      letter or digit, in any number: C-q, S-RIGHT, C-S-END
//   actions            CLICK (a click in the middle of the front window), CLICK@X,Y
//                      (a click at X,Y of the front window's content), DCLICK and
//                      DCLICK@X,Y (a double click), DRAG@X,Y,DX,DY (the button pressed
//                      at X,Y, moved by DX,DY and released there), MOVE@X,Y (the
//                      pointer moves there); each of these with "Title:" before X
//                      (CLICK@Control_Panel:30,40) acts on the window of that title
//                      (case ignored, '_' for a blank) instead of the front one;
//                      WAIT@MS (nothing is typed for MS milliseconds, up to 600000,
//                      while the program runs: timers, tool tips, the macro delay; a
//                      WAIT that comes while a compiled program computes lets it compute,
//                      and the keys after it are typed into it as it computes);
//                      CLOSEBOX (the front window's close box), FRAMECLOSE (the frame's),
//                      FRAMEDESTROY (the frame's window destroyed, as a window manager
//                      may do it, without asking), RESIZE@W,H (the frame's window
//                      resized to W by H pixels, as a window manager does it),
//                      PLACE@X,Y,W,H and PLACE@Title:X,Y,W,H (the user drags the window
//                      in front, or the one of the title, so that its content lies at
//                      X,Y of the frame's client area, W wide and H high),
//                      MENU@Title/Item (the item of the bar's menu Title whose text
//                      begins with Item, both without regard to case, '_' for a blank;
//                      nothing when there is none or it is disabled)
// Key names and prefixes are read without regard to case; a letter after a prefix
// names its key (C-q and C-Q are the same key). The prefixes also go before the mouse
// actions and WAIT, which then hold those keys (C-CLICK@..., C-WAIT@1500).
//
// Pop-up menus and the platform's own dialogs, questions and the boxes they open in
// turn take the script's keys (UP, DOWN, RETURN, ESC, text) while they are open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Backend.h"

namespace KeyScript {

// One key press as the platform reports it: the virtual key with its extended flag,
// the modifier state in event-record form (256 Alt, 512 Shift, 1024 Caps Lock,
// 4096 Control) and the character the key translates into (-1: none).
// The position of a script's CLICK: the backend puts it in the middle of the window
// in front when the click is delivered (script messages name no window).
inline constexpr Toolbox::Point kFrontCentre{-32768, -32768};

struct KeyPress {
  std::uint32_t vkey = 0;
  bool extended = false;
  std::uint32_t keyState = 0;
  int ch = -1;
};

// The messages of one key press: KeyDown, or SysKeyDown when Alt is held without
// Control and for F10; then a Character for the key's character, unless it is a
// system key.
void AppendMessages(const KeyPress& key, std::vector<Toolbox::PlatformMessage>& out);

// The character a key gives with the modifiers of keyState on a US keyboard, as the
// platform translates it: Control with a letter gives the control character, Control
// with most other keys nothing. -1 for keys without a character.
int KeyCharacter(std::uint32_t vkey, std::uint32_t keyState);

// The key that types c on a US keyboard and whether Shift is needed for it; false
// for characters no key types (those are typed as a character alone, with key 0).
bool KeyForCharacter(char c, std::uint32_t& vkey, bool& shift);

// Parses a script into the messages of its keys, appended to out. On a bad script
// returns false with error naming the token (its number from 1 and its text) and why;
// out is then unchanged.
[[nodiscard]] bool Parse(std::string_view script, std::vector<Toolbox::PlatformMessage>& out,
                         std::string& error);

} // namespace KeyScript
