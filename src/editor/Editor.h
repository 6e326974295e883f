// The keypad editor: one dispatcher for every key, mouse action and window event of an
// edit window, a GOLD prefix key with repeat counts, the select range, paste buffer and
// undo, find, and learned key macros. It edits the current buffer of EditorState on
// the terminal of its edit window: text rows plus one message line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Chars.h"
#include "editwin/EditorState.h"

namespace Editor {

using base::Chars;
using base::VarChars;

// Undo kinds and the text the Edit menu's first item shows for each.
enum class UndoKind : std::uint8_t {
  None = 0,        // "Can't Undo"
  Typing = 1,      // "Undo Typing"
  Paste = 2,       // "Undo Paste"
  Copy = 3,        // "Undo Copy"
  Cut = 4,         // "Undo Cut"
  Clear = 5,       // "Undo Clear"
  CaseAtEnd = 6,   // "Undo Change Case": cursor at the range's end
  CaseAtStart = 7, //   cursor at its start
  CaseBefore = 8,  //   cursor before its start
  Delete = 9,      // "Undo Delete"
  DeleteBack = 10, // requests only; stored as Delete
  DeleteFwd = 11,  //   likewise
  UndoUndo = 12,   // "Undo last Undo"
};

// The module body: every field of the state to its start value, undo kind none.
void Init();

// Reads keys and executes them until HandleEditKey answers false.
void EditLoop();
// After EditLoop returned for a window event: enters the buffer the front window shows
// (the command text or the edited buffer in the Command window, an own window's buffer)
// when that is not the current one, so that the next EditLoop edits it.
void EnterFrontWindow();
// The next key: from the terminal, or from the learned macro while one executes;
// keyboard keys are recorded while one is learned.
void ReadEditKey(std::uint8_t& kind, char& ch, std::uint8_t& modifiers);
// Executes one key; false when the key handed control away (window events).
bool HandleEditKey(std::uint8_t& kind, char& ch, std::uint8_t& modifiers);

// The message line: inverse video, cut to the width with "|" as the last kept character.
void ShowEditMessage(Chars text);
void ClearEditMessage();
// What the message line shows: the message while one shows, else the status (the
// position display or nothing).
void MessageLineText(VarChars text);
// Asks question on the message line and reads the answer with the line-input editor.
// True when a keyboard key (code below 48) ended the input; the ending key is returned.
bool PromptLine(Chars question, VarChars answer, std::uint8_t& endKind, char& endChar,
                std::uint8_t& endModifiers);

// Moves the cursor, scrolling the view so that margin lines stay between the cursor
// and the top or bottom edge.
void PlaceCursor(std::int32_t line, std::int32_t column, std::int32_t margin);
// Moves the cursor of the text being edited to (line, column), or back into view, with the
// scroll margin of the settings.
void ShowCursorAt(std::int32_t line, std::int32_t column);
void ShowCursor();
// Redraws the visible part of the text between two positions (either order).
void RedrawRange(std::int32_t line1, std::int32_t column1, std::int32_t line2,
                 std::int32_t column2);
// Clears the terminal and redraws every text row and the message line.
void RedrawScreen();
// Deletes the text between the cursor and (line, column), leaves the cursor at the
// earlier one and repairs the screen.
void DeleteToPosition(std::int32_t line, std::int32_t column);
// Inserts the text of source at the cursor count times, the cursor after it, applying
// the line capacity rule and repairing the screen.
void InsertBufferAtCursor(Buffer::Ref source, std::int32_t count);

// Undo: every editing command calls BeginUndo before it changes the text.
void BeginUndo(UndoKind kind);
UndoKind CurrentUndoKind();
void SetUndoKind(UndoKind kind);
// The Edit menu's first item text for the current undo kind.
void UndoMenuText(VarChars text);
// GOLD "!": swaps the text between the undo start and the cursor with the saved text.
void Undo();
// HandleEditKey's check before every key: the undo kind becomes none when the undo
// record belongs to another buffer than the current one.
void CheckUndoOwner();
// Shows a menu text; the Edit menu installs one to retitle its first item whenever the
// undo kind changes (nullptr: none).
using UndoMenuProc = void (*)(Chars text);
void SetUndoMenuProc(UndoMenuProc proc);

// The paste buffer's path in the store.
inline constexpr char kPasteBufferPath[] = "/Shell/Edit.Paste";
// Paste buffer: imports the clipboard, then pastes count times (PASTE).
void PasteCount(std::int32_t count);
// Makes the paste buffer anew holding text as its one line and exports it.
void SetPasteLine(Chars text);
// The paste buffer's lines to the clipboard (CR LF between lines, a 0 byte after).
void ExportPasteBuffer();
// A new paste buffer from the clipboard text.
void ImportPasteBuffer();

// Closes the select range, redrawing it without highlight.
void ResetSelect();
// Opens the select range at the cursor (anchor := cursor).
void OpenSelect();
// Select All: the whole text selected, the cursor at its end.
void SelectAll();
// The line capacity rule: before n lines are inserted, drops lines from the top of the
// buffer when its limit would be reached; true when lines were dropped (the caller
// then redraws the whole screen).
bool MakeRoomForLines(std::int32_t n);
// Whether the lines a count's work adds to b could ever fit in it; when not, the message
// line says so and the command must change nothing (rather than drop the whole text
// and then fail).
bool CountFits(Buffer::Ref b, std::int64_t lines);

// ---- Delete commands (registers and undo records as their keys promise) ----
void DeleteChars(std::int32_t count, bool forward); // "delete" / "backspace"
void DeleteWords(std::int32_t count, bool forward); // del w / delete previous word
void DeleteLines(std::int32_t count);               // del l: to the start of the next line
void DeleteToLineEnd(std::int32_t count);           // DEL EOL
void DeleteToLineStart(std::int32_t count);         // Control/U, ESC
void DeleteSelectRange();                           // "backspace"/"delete" with a range; Clear
void UndeleteLine(std::int32_t count);              // UND L
void UndeleteWord(std::int32_t count);              // UND W
void ChangeCase(std::int32_t count);                // CHNGCASE

// ---- Paste buffer commands ----
void CutToPaste();                      // keypad 6: range to the paste buffer, without undo
void AppendToPaste();                   // keypad 9
void CutWithUndo();                     // GOLD "@" (menu Cut)
void CopyToPaste();                     // GOLD "#" (menu Copy)
void PasteWithUndo(std::int32_t count); // GOLD "$" (menu Paste)
void ClearPasteBuffer();                // GOLD C

// The key assignment screen ("help", keypad "/"): shown in a window of its own until
// the next key or click.
void HelpScreen();

// A key's labels on the key assignment screen: those of its plain and its GOLD binding
// (nullptr where it has none).
struct KeyLabels {
  const char* plain;
  const char* gold;
};
KeyLabels LabelsOf(std::uint8_t code);

// A function key's work without the key: its procedure in the function-key table, else
// the editor's own (the menus' Command, List and User Window items, Compile).
void FunctionKeyCommand(std::uint8_t code, std::int32_t count);
// Makes b the buffer being edited: in its own window when multiple windows are on (or
// it has one), else in the Command window; the undo kind becomes none.
void EditText(Buffer::Ref b);

// F12 without a procedure in the function-key table: the shell's compile (and run);
// without one F12 says "Compiler not available !".
void SetCompileKey(void (*proc)());
// The function keys the editor leaves free (F6, F9, F10, F11, with Shift too) offered to
// the debugger, which the shell installs: true when it took the key; otherwise the
// editor says the key is undefined.
using DebugKeyProc = bool (*)(std::uint8_t code, std::uint8_t modifiers);
void SetDebugKeyProc(DebugKeyProc proc);
// Whether a text may not be changed (the definitions of the library the shell shows): the
// editor then takes in it only the keys that move, find, select and copy, and refuses
// the others with a message. Installed by the shell; without one every text is open.
using ReadOnlyProc = bool (*)(Buffer::Ref text);
void SetReadOnlyProc(ReadOnlyProc proc);
// True, with the message and a beep, when the text being edited is read-only: for the
// commands that would change it from elsewhere (the Edit menu, compiling).
bool RefuseReadOnly();
// Called when a window event brings a window to the front (KeyWindow): the dialog layer
// installs one that clears its macro playback flag (nullptr: none).
using WindowProc = void (*)();
void SetWindowProc(WindowProc proc);
// Offered every key before the editor takes it (the macro editor's ENTER and ESC); true
// when the filter took the key.
using KeyFilter = bool (*)(std::uint8_t kind, char ch, std::uint8_t modifiers);
void SetKeyFilter(KeyFilter filter);

// ---- The Edit menu's find and replace commands (items 9 to 13) ----
// Each first sets the direction from the shift key (held: backup) and, while a macro is
// learned, appends the keys that repeat it.
void FindDialogCommand();    // "Find...": the Find dialog, then find next
void FindSame();             // "Find Same": find next with the search string
void FindSelection();        // "Find Selection...": FndSel
void ReplaceDialogCommand(); // "Replace...": the Replace dialog, then find, replace or replace all
void ReplaceSame();          // "Replace Same": replace once

// Learned macros.
void Learn();
void StopLearning();
void ExecuteMacro(std::int32_t count);
// Ends an executing macro at once (a failed search); redraws when it was not shown.
void AbortMacro();
// Appends a key to the macro being learned (Edit-menu commands).
void AppendMacroKey(std::uint8_t code, char ch);

// ---- The Learn menu's macro slots and the macro file's image ----

// The macro file: "MACR" padded to 8 bytes, the version, then the nine slots.
inline constexpr std::size_t kMacroSlotSize = 1572;
inline constexpr std::size_t kMacroFileSize = 14160;
inline constexpr std::int32_t kMacroFileVersion = 500;
// Learn menu items: 1 Learn, 2 Stop, 3 Execute, 5..13 the slots, 15 Store, 16 show.
inline constexpr std::int32_t kFirstSlotItem = 5;
inline constexpr std::int32_t kShowWhileExecutingItem = 16;

// What a macro file image was found to be.
enum class MacroFileCheck : std::uint8_t {
  Accepted,
  WrongLength,  // not 14160 bytes
  WrongType,    // no "MACR" at its start
  WrongVersion, // not version 500
  BadSlot,      // a slot's length outside 1..513, or a recorded key no keyboard types
};

// Every slot empty (length 1, no name); the last used slot 1.
void ResetMacroSlots();
// Slot n (1..9); slot 1 for any other n.
const MacroSlot& GetMacroSlot(std::int32_t n);
// Takes the slots from a macro file image when it is accepted; otherwise every slot is
// empty afterwards and the result says what was wrong.
MacroFileCheck ReadMacroImage(std::string_view image);
// The image of the slots as the macro file holds it (kMacroFileSize bytes).
std::string MacroImage();

// Learn menu Execute: the learned macro once, played to its end here.
void MenuExecute();
// Learn menu items 5..13: the macro of slot n (1..9) becomes the learned one and runs.
void ExecuteSlot(std::int32_t n);
// Learn menu Store: asks for a slot and keeps the learned macro there with a name, or
// clears the slot when nothing is learned; then the Learn menu and the macro file follow.
void StoreMacro();
// Learn menu item 16: screen updates while a macro executes, on or off.
void ToggleShowWhileExecuting();
// What a Learn menu item shows: for items 5..13 the slot's name (or "Macro n") and
// enabled when the slot holds at least three keys; for item 16 an empty text (the item
// keeps its own) and the check mark. False for the items this does not describe.
bool LearnMenuItem(std::int32_t item, VarChars text, bool& enabled, bool& checked);
// Called whenever the slots or the check mark change: the menu manager installs one that
// sets the Learn menu's items from LearnMenuItem and refreshes the menus' enabling.
using LearnProc = void (*)();
void SetLearnMenuProc(LearnProc proc);
// Called after Store changed a slot: the settings module installs the macro file's write.
void SetSaveMacroFileProc(LearnProc proc);

} // namespace Editor
