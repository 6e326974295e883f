// Key events of text windows. Text windows do not read event records: they ask for the
// next key event of their window and get three bytes, a key code, the modifier byte
// and a character. Mouse clicks, window changes and updates arrive through the same
// call as key codes 48..61, so one loop per window handles everything.
#pragma once

#include <cstdint>

#include "platform/Events.h"
#include "platform/Toolbox.h"

namespace ANSITerm {
struct TextWindow;
}

namespace KeyEvents {

// The key codes.
enum KeyCode : std::uint8_t {
  KeyNone = 0,
  KeyHandled = 1, // consumed: a scroll bar was handled or a window procedure ran
  KeyCharacter = 2,
  KeyCursorUp = 3,
  KeyCursorDown = 4,
  KeyCursorLeft = 5,
  KeyCursorRight = 6,
  KeyKeypad0 = 7, // keypad digits 7..16, in keypad application mode only
  KeyKeypad1 = 8,
  KeyKeypad2 = 9,
  KeyKeypad3 = 10,
  KeyKeypad4 = 11,
  KeyKeypad5 = 12,
  KeyKeypad6 = 13,
  KeyKeypad7 = 14,
  KeyKeypad8 = 15,
  KeyKeypad9 = 16,
  KeyEnter = 17, // keypad Enter
  KeyKeypadMinus = 18,
  KeyKeypadPlus = 19,
  KeyKeypadPoint = 20,
  KeyKeypadClear = 21,
  KeyKeypadEqual = 22,
  KeyKeypadDivide = 23,
  KeyKeypadMultiply = 24,
  KeyF1 = 25, // Ctrl+1; the F1 key gives KeyHelp
  KeyF2 = 26, // also Ctrl+2; Ctrl+3 .. Ctrl+9 give F3 .. F9
  KeyF3 = 27,
  KeyF4 = 28,
  KeyF5 = 29,
  KeyF6 = 30,
  KeyF7 = 31,
  KeyF8 = 32,
  KeyF9 = 33,
  KeyF10 = 34,
  KeyF11 = 35,
  KeyF12 = 36,
  KeyF13 = 37,
  KeyF14 = 38,
  KeyF15 = 39,
  KeyHome = 40,
  KeyEnd = 41,
  KeyPageUp = 42,
  KeyPageDown = 43,
  KeyHelp = 44, // F1, Ctrl+/
  KeyInsert = 45,
  KeyDeleteLeft = 46,  // Backspace, Ctrl+Backspace (Ctrl+H is character 8)
  KeyDeleteRight = 47, // Delete, Ctrl+Delete
  KeyMouse = 48,       // button pressed; the click cell is in the terminal
  KeyDoubleMouse = 49,
  KeyTripleMouse = 50,
  KeyMouseStillDown = 51, // button held while the pointer moves
  KeyDeactivate = 52,     // the window lost the keyboard focus
  KeyActivate = 53,       // the window got it
  KeyUpdate = 54,         // char 1: this window needs redrawing, 0: another one
  KeyWindow = 55,         // a window was brought to front
  KeyMoved = 56,
  KeyIconize = 57,
  KeyResized = 58,
  KeyWindowClose = 59,
  KeyMenu = 60,    // a menu command was received and has already run
  KeyOSEvent = 61, // the application was activated (char 1) or deactivated (char 0)
};

// The modifier byte: the event records' modifier bits shifted down by 8.
inline constexpr std::uint8_t kModCommand = 1; // Alt
inline constexpr std::uint8_t kModShift = 2;
inline constexpr std::uint8_t kModCapsLock = 4;
inline constexpr std::uint8_t kModOption = 8; // Windows key; right button held
inline constexpr std::uint8_t kModControl = 16;

// Runs a menu command (menu number * 65536 + item) as soon as it is taken from the
// queue; installed by the menus.
using MenuCommandProc = void (*)(std::uint32_t command);

// The module body.
void Init();
// Forgets the last and the pushed-back key event and stops mouse tracking.
void Reset();

// The next key event for the text window (nullptr for a window that is no terminal).
// True when an event was produced; key, modifiers and ch are 0 otherwise.
bool GetKey(ANSITerm::TextWindow* t, std::uint8_t& key, std::uint8_t& modifiers, char& ch);
// Whether a pushed-back key exists or a record other than a null event is queued;
// with the queue empty it waits for the next platform message (one timer tick at most).
bool KeyPressed();
// Pushes the last key event back: the next GetKey returns it (one event at most).
void UngetKey();
// Unless the last key was KeyUpdate, forgets the last and the pushed-back key; then
// flushes the event queue (which keeps its update records).
void FlushKeys();
// The modifier byte of the live key state; right button held adds 8, middle button 2.
std::uint8_t CurrentModifiers();
// The key code and character of a KeyDown record; appMode selects the keypad's
// application codes over its characters.
void TranslateKey(const Events::EventRecord& r, bool appMode, std::uint8_t& key, char& ch);

// The global keypad-mode switch (on at start): keypad application mode needs both it
// and the terminal's own flag.
void SetKeypadMode(bool on);
bool KeypadMode();
// Set from the application's activate events; the shell clears it at start.
bool ApplicationInactive();
void SetApplicationInactive(bool inactive);
void SetMenuCommandProc(MenuCommandProc proc);
// While a program runs: what a key read does when the user asked for an interrupt
// (Control+C) while the program waited for a key — the running program's run ends
// there. nullptr: nothing.
void SetInterruptProc(void (*proc)());
// In block-selection mode a click selects the cell under the pointer rather than the
// nearest character boundary.
void SetBlockSelection(bool on);

// The last key event's code and window.
std::uint8_t LastKey();
Toolbox::Window LastWindow();
// Where (frame client coordinates) and when the record of the last key event happened:
// the place and time of a click.
void LastPlace(Toolbox::Point& where, std::uint32_t& when);

} // namespace KeyEvents
