// Macro text: lines in the form of macro files (dialog actions, key events, menu
// selections) run one statement at a time, plus the statements that define macros
// (BEGIN index : name;comment ... END) and choose the dialog that lines without a dialog
// character act on (TARGET c). The text lives in the buffer "MacroEditor", whose default
// file is "Macros.mac"; a run goes over a range of its lines, one line per step of the
// event loop, a whole BEGIN...END block in one step.
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "store/Buffer.h"

namespace MacroText {

using base::Chars;
using base::VarChars;

inline constexpr char kBufferName[] = "MacroEditor";
inline constexpr char kDefaultFile[] = "Macros.mac";

// One statement; inBlock tells that the line belongs to a BEGIN...END block of the range
// being run. False stops the run.
bool InterpretLine(Chars line, bool inBlock);

// Starts running lines first..last of text (columns from 1; lastColumn 0: to the end of
// the last line). False (with a beep) while a run is going on.
bool RunRange(Buffer::Ref text, std::int32_t firstLine, std::int32_t firstColumn,
              std::int32_t lastLine, std::int32_t lastColumn);
// Runs the editor text's current line (the whole text of the line).
bool Run(std::int32_t line);
void Step();
// Ends a run with "Macros interpreter aborted." on the text output.
void Abort();
bool Running();
bool Defining();
// The target dialog character, 0 for none.
char Target();
// Back to the start state: no run, no definition, no target.
void Reset();

// ---- The editor text ----
// The text buffer, made with its two comment lines when it does not exist.
Buffer::Ref Text();
// Opens the text's window, edited by the editor; there ENTER runs the selection (or the
// cursor's line) and ESC aborts a run. With "Read-only Macro Text" only cursor movement,
// paging, selecting and digits reach the editor.
void OpenEditor();
// Runs the editor's selection, or the cursor's line without one; false when nothing ran.
bool RunSelection();
// Write the text to a file (".mac" appended): false after "Macro is empty!" or
// "Saving Failed:".
bool SaveText(Chars fileName);
// Inserts a file's lines at the end of the text: false after "Merge failed".
bool MergeText(Chars fileName);
// Replaces the text by a file's ("Revert failed" on failure).
bool LoadText(Chars fileName);
void SaveCommand();
void MergeCommand();

} // namespace MacroText
