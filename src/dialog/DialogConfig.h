// The dialog configuration: a control-click on an item of a configurable dialog opens
// the modal dialog "Dialog Configuration" ("ModConfig") for that item, item 0 standing
// for the dialog itself. It edits a working copy of the item (rectangle, text position,
// text, unit, Length, Digits, font, size, style, alignment, number format, flags,
// shortcut keys and colours) and applies it to the live item on "Update" and "Done";
// "Goto Item" switches to another item of the dialog, "WMF" writes the dialog's drawing
// as a picture. The result can be kept with Dialog::Store.
#pragma once

#include <cstdint>

#include "dialog/Dialog.h"

namespace DialogConfig {

using Dialog::Chars;
using Dialog::DialogRecord;
using Dialog::VarChars;

// The module body: the configuration becomes the framework's configure procedure.
void Init();

// Configures item itemIndex of d (0: the dialog) until "Done", "Cancel" or the close
// box; position is the click that asked for it, local to d's window.
void Open(DialogRecord& d, std::int16_t itemIndex, Dialog::Point position);
// The configuration dialog while it is open, else nullptr.
DialogRecord* Configuration();
// The dialog and item configured (nullptr and 0 while closed).
DialogRecord* Configured();
std::int16_t ConfiguredItem();

// The short name of a key: the held modifiers ("sh-" unless the key is an upper-case
// letter, "com-", "cap-", "op-", "ctr-"), then the key ("a", "space", "esc", "return",
// "ctr-" and the letter of a control character, "up", "nu 7", "F3", "p-down", ...).
void ShortKeyName(std::uint8_t code, char ch, std::uint8_t modifiers, VarChars name);

// Draws the open dialog into a picture and writes it to hostPath as a metafile and, with
// the extension ".svg", as the toolbox's picture: 0, or a negative file system code.
std::int32_t SavePictures(DialogRecord& d, Chars hostPath);

} // namespace DialogConfig
