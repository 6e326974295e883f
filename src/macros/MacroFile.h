// Macro files and the macro-text line form: one header line "MACRO-FILE" with the file
// version, then for every macro with entries a title line ("  1 : name;comment") and
// one line per entry. Entry lines begin with two blanks, the dialog character and two
// blanks: an item entry has the dialog's IDchar in upper case, the item's name padded to
// column 19 and its value; a key entry the IDchar in lower case and the key's
// description; a menu entry "@", the menu's title padded to column 19 and the item's
// text in double quotes. The same lines go to the text output as the recorder's protocol
// and are what the macro text interpreter reads.
//
// Item entries are written and read against the open dialogs: an item is found by its
// name among the dialog's macro items, and its value is written and read by its kind,
// value type, number format, factor and unit.
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "dialog/Dialog.h"
#include "macros/MacroEntry.h"

namespace MacroFile {

using base::Chars;
using base::VarChars;
using Macros::MacroEntry;
using Macros::MacroSlot;

inline constexpr char kHeader[] = "MACRO-FILE";
inline constexpr char kExtension[] = ".mac";
// Where an item entry's value and a menu entry's item text begin.
inline constexpr std::size_t kValueColumn = 19;
using base::kLineHigh;

// The module body.
void Init();

// The open dialog whose IDchar is id (compared upper case), or nullptr.
Dialog::DialogRecord* FindDialog(char id);

// The menu (2..50) whose title is title, or 0; a menu's title ("" for none).
std::int32_t MenuWithTitle(Chars title);
void GetMenuTitle(std::int32_t menu, VarChars title);

// ---- Key descriptions ("Char  \"a\" shift", "F5 control", "Enter back") ----
void KeyDescription(std::uint8_t code, char ch, std::uint8_t modifiers, bool any, bool forward,
                    VarChars text);
// Reads a key description at text[pos..] (any case); pos moves past it. False, with
// nothing certain in the results, when the text is no key description.
[[nodiscard]] bool ReadKey(Chars text, std::size_t& pos, std::uint8_t& code, char& ch,
                           std::uint8_t& modifiers, bool& any, bool& forward);

// ---- Lines ----
void HeaderLine(std::int32_t version, VarChars line);
void TitleLine(std::int32_t index, const MacroSlot& slot, VarChars line);
enum class Line { Written, Skipped, DialogUnknown };
// The line of an entry: Skipped for an item that is no named macro item, DialogUnknown
// when the entry's dialog is not open.
Line EntryLine(const MacroEntry& e, VarChars line);
enum class Parsed { Entry, NoEntry, DialogUnknown };
// The entry an entry line describes. NoEntry (why says what is wrong) for a line that
// describes none, DialogUnknown when its dialog is not open.
Parsed ParseEntryLine(Chars line, MacroEntry& e, const char*& why);

// ---- Files ----
// Writes the macros 1..highest that have entries: false after the alert "Error saving".
bool Write(Chars fileName, std::int32_t version, const MacroSlot* slots, std::int32_t highest);
// Reads a macro file into slots 1..highest (emptied first); the version must match or be
// accepted by the user. With verbose, every line that yields no entry is reported on the
// text output with its number and what is wrong with it. False when the file could not
// be opened, is no macro file, its version was refused or a title line is unreadable;
// what was read is kept.
bool Read(Chars fileName, std::int32_t version, bool verbose, MacroSlot* slots,
          std::int32_t highest);
// The version of a macro file; false when it is none.
bool ReadVersion(Chars fileName, std::int32_t& version);
// The text of the macros to the text output, logged for the Notebook.
void List(std::int32_t version, const MacroSlot* slots, std::int32_t highest);
// The name with any extension of its last component replaced by ".mac".
void MacName(VarChars name);

} // namespace MacroFile
