// The line-input editor: one line of at most 255 characters edited in a field of the
// editor's terminal, with insert and overwrite, a ten-line history, word deletion,
// restoring the preset text, and exchange with the paste buffer through the Edit menu.
#pragma once

#include <cstdint>

#include "base/Chars.h"

namespace LineInput {

using base::Chars;
using base::VarChars;

// Where the field is shown: on the editor's terminal at its cursor, or nowhere (a
// field drawn elsewhere, or a prompt answered by a learned macro that runs unseen).
enum class FieldKind : std::uint8_t { Terminal, Plain };

// The module body: empty history, insert mode, field width 79, no request.
void Init();
// Edits text in place at the terminal cursor, preset with its old value; returns when
// the input is done. Typing a character first replaces the preset answer. An input
// ended by a mouse or window event leaves text as it was.
void ReadLine(VarChars text);
void ReadLine(VarChars text, FieldKind kind);
// The key that ended the last input (a mouse or window event is put back for the
// caller and ends the input without accepting it).
void LastKey(std::uint8_t& kind, char& ch, std::uint8_t& modifiers);
// Columns available for the field.
void SetFieldWidth(std::int32_t width);
// Whether a line input runs (the Edit menu then sends Cut, Copy and Paste here), and
// the request: 1 paste, 2 cut, 3 copy.
bool Running();
void SetEditRequest(int request);

} // namespace LineInput
