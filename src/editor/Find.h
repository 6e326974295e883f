// Find and replace in the current buffer: FIND, fndnxt, FndSel, REPLACE, SUBS and the
// line-number search. The replacement text is always the paste buffer.
#pragma once

#include <cstdint>

namespace Find {

// Finds the search string count times in the direction, or goes to the line whose
// number it holds; "Search string not found" ends an executing learned macro.
void FindNext(std::int32_t count);
// True when the search string starts exactly at the cursor.
bool MatchAtCursor();
// GOLD F / GOLD keypad "*": asks "Find: " and finds.
void FindPrompt(std::int32_t count);
// GOLD keypad "/": the select range's text becomes the search string; finds it.
void FindSelection(std::int32_t count);
// GOLD keypad 9.
void Replace(std::int32_t count);
// GOLD "enter".
void Substitute(std::int32_t count);

} // namespace Find
