// The keypad editor's state: one editor in the program, so one record, reached through
// Editor::State(). The edit-window layer saves the per-buffer part of it into each text
// buffer's window state and loads it back when a buffer is entered; the key dispatch
// works on the rest.
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "store/Buffer.h"

namespace ANSITerm {
struct TextWindow;
}

namespace Toolbox {
struct WindowObject;
}

namespace Editor {

// A place in a text: line and column, both from 1. A line end is the position one
// after the line's last character.
struct Position {
  std::int32_t line = 1;
  std::int32_t column = 1;
  friend bool operator==(const Position&, const Position&) = default;
};

enum class Direction : std::uint8_t { Backup = 0, Advance = 1 };

inline constexpr int kTextHigh = 255;        // search string, message, deleted word and line
inline constexpr int kMacroKeys = 512;       // keys of the learned macro
inline constexpr int kFunctionKeySlots = 40; // indexed by key code; F1..F15 are 25..39

enum class MacroState : std::uint8_t { None = 0, Executing = 1, Learning = 2 };

// One recorded key, in the order the macro file keeps it.
struct MacroKey {
  std::uint8_t modifiers = 0;
  std::uint8_t code = 0;
  char ch = 0;
};

// The Learn menu's numbered slots, as the macro file keeps them (1572 bytes each).
inline constexpr int kMacroSlots = 9;
inline constexpr int kMacroNameHigh = 31;
struct MacroSlot {
  std::int32_t length = 1; // recorded keys + 1, as LearnedMacro; 1 is an empty slot
  char name[kMacroNameHigh + 1] = {};
  MacroKey keys[kMacroKeys] = {};
};

struct LearnedMacro {
  MacroState state = MacroState::None;
  MacroKey keys[kMacroKeys] = {};
  std::int32_t index = 1;   // the next key to record or replay, from 1
  std::int32_t length = 1;  // recorded keys + 1; 1 is no macro
  std::int32_t repeats = 0; // executions still to run
};

// A procedure another module installs on a function key: (repeat count, GOLD pressed).
using FunctionKeyProc = void (*)(std::int32_t count, bool gold);

struct EditorState {
  Buffer::Ref current = nullptr;    // the text being edited
  Buffer::Ref editBuffer = nullptr; // the last one entered other than Command and List
  ANSITerm::TextWindow* terminal = nullptr;
  Toolbox::WindowObject* window = nullptr;

  // The per-buffer part, kept in each buffer's window state while it is not current.
  Position cursor;
  std::int32_t desiredColumn = 1; // kept over vertical moves
  std::int32_t topLine = 1;       // the line in the first text row
  std::int32_t leftOffset = 0;    // columns scrolled off to the left
  std::int32_t rows = 0;          // text rows of the screen
  std::int32_t width = 0;         // columns of the screen
  std::int32_t scrollMargin = 1;
  bool selectActive = false;
  Position anchor; // the fixed end of the select range; the cursor is the moving end

  std::int32_t tabWidth = 3;
  bool fixedTabs = false; // false: "Align TAB" aligns to the previous line
  Direction direction = Direction::Advance;
  char searchString[kTextHigh + 1] = {};
  bool lineNumberSearch = false;
  bool showPosition = false;
  char message[kTextHigh + 1] = {};
  bool messageShowing = false;
  bool goldPending = false;
  std::int32_t repeatCount = 1;
  bool countTyping = false;
  char deletedWord[kTextHigh + 1] = {};
  bool deletedWordBreak = false; // the deleted word was a line break
  char deletedLine[kTextHigh + 1] = {};
  bool deletedLineBreak = false;
  LearnedMacro macro;
  bool showWhileExecuting = true;
  bool helpShowing = false; // the key assignment screen is up: the text is not drawn
  FunctionKeyProc functionKeys[kFunctionKeySlots] = {};

  // Read from the settings.
  bool keypadLayout = true;
  bool multipleWindows = false;
  std::int32_t settingsMargin = 1; // replaces a saved margin below 1
};

// The one editor state: the editor's own and the edit-window layer's, which keeps the
// per-buffer part of it with each text. Every other module asks for what it means below.
EditorState& State();
// Every field back to its start value (the editor's module body runs this).
void InitState();

// ---- What the rest of the workstation asks of the editor ----

// The text being edited (nullptr before the shell started).
Buffer::Ref EditedText();
// The terminal and the window the editor draws on.
ANSITerm::TextWindow* EditTerminal();
Toolbox::WindowObject* EditWindow();
// The shell's start: the editor draws on the Command window.
void SetEditWindow(Toolbox::WindowObject* window, ANSITerm::TextWindow* terminal);
// A text was renamed (to its moved record) or deleted (to nullptr): what the editor holds
// of it follows.
void TextMoved(Buffer::Ref from, Buffer::Ref to);

// The cursor of the text being edited, and the fixed end of its select range while one
// is open.
Position TextCursor();
bool Selecting();
Position SelectAnchor();
// Sets the cursor of the text being edited, the view scrolled so that it shows there when
// the text is drawn next; nothing is drawn.
void SetCursor(Position p);

std::int32_t TabWidth();
// The position display on the message line (the Options menu's check mark).
bool PositionShown();
void SetPositionShown(bool on);
// The search string of find and replace.
const char* SearchString();
void SetSearchString(base::Chars text);

} // namespace Editor
