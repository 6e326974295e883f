// The records of macros: one recorded action (an item action, a key no item took, a
// menu selection) and one numbered macro of such entries with its name and comment, as
// the recorder, the macro files and the macro text interpreter share them; and the value
// of an entry read and written by the item's value type.
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "dialog/Dialog.h"

namespace Macros {

using base::Chars;
using base::VarChars;

inline constexpr std::int32_t kMaxMacros = 64;  // the highest macro index Init takes
inline constexpr std::int32_t kEntries = 65;    // entries of a slot, numbered 0..64
inline constexpr std::int32_t kRecordable = 64; // entries a recording or definition holds
using base::kNameHigh;
inline constexpr std::size_t kCommentHigh = 95;
inline constexpr std::size_t kStringHigh = 79;
// The item index of key entries and menu entries; 0 ends the list.
inline constexpr std::int16_t kKeyEntry = -1;
inline constexpr std::int16_t kMenuEntry = -2;
// The IDchar of menu entries: "@" stands for the menus.
inline constexpr char kMenuId = '@';
inline constexpr char kEmptyName[] = "empty";

// One recorded action. The value follows the item's value type: a 64-bit real (0), a
// 32-bit real (1), a 32-bit integer (2), a 16-bit integer (3, 4), a boolean byte (5), a
// 16-bit number (6: a character code or a list index, a list's second value after it);
// a string (7) is in text. A menu entry holds the item number as a 32-bit integer, the
// menu's title in text and its number in menu.
struct MacroEntry {
  alignas(8) std::uint8_t value[8];
  char text[kStringHigh + 1];
  std::int32_t menu;
  std::int16_t item; // 1.. an item; kKeyEntry; kMenuEntry; 0 ends the list
  std::uint8_t modifiers;
  std::uint8_t code;
  char ch;
  char idChar;        // the dialog's; kMenuId for a menu entry
  bool anyModifier;   // the item's; of a key assignment: any modifier
  bool forward;       // of a key entry (false: written " back"); of an assignment: front only
  bool keyAssignment; // the entry sets the item's shortcut instead of acting
  bool secondKey;     // the assignment is for the second key of a list
};

// One macro: name, comment and its entries up to the first whose item is 0. Slot 0 is
// the recording buffer.
struct MacroSlot {
  char name[kNameHigh + 1];
  char comment[kCommentHigh + 1];
  MacroEntry entries[kEntries];
};

// A cleared entry: item 0, forward.
MacroEntry EmptyEntry();
// Every entry of the slot cleared, the name "empty" and no comment.
void EmptySlot(MacroSlot& s);
// The entries before the end mark.
std::int32_t EntryCount(const MacroSlot& s);
bool IsListKind(Dialog::ItemKind kind);
// How an entry holds the item's value: a list's index as a 16-bit number with its second
// value after it, whatever the variable's type; otherwise the item's value type.
Dialog::ValueType EntryType(const Dialog::DialogItem& item);

// The entry's value as a number, read by the value type (a list's index for lists).
double EntryValue(const MacroEntry& e, Dialog::ValueType type);
// Stores a number by the value type, integers rounded half away from zero and held to
// their range.
void SetEntryValue(MacroEntry& e, Dialog::ValueType type, double value);
// The second value of a list entry of type 6.
std::uint16_t EntrySecond(const MacroEntry& e);
void SetEntrySecond(MacroEntry& e, std::uint16_t second);
// The menu item number of a menu entry.
std::int32_t MenuItem(const MacroEntry& e);
void SetMenuItem(MacroEntry& e, std::int32_t item);

} // namespace Macros
