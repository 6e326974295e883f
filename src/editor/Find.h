// Find and replace in the current buffer: FIND, fndnxt, FndSel, REPLACE, SUBS, the
// line-number search and the Edit menu's replace loop. The replacement text is always the
// paste buffer.
#pragma once

#include <cstdint>

namespace Find {

// Finds the search string count times in the direction, or goes to the line whose
// number it holds; "Search string not found" ends an executing learned macro. False
// after a message.
bool FindNext(std::int32_t count);
// True when the search string starts exactly at the cursor.
bool MatchAtCursor();
// The characters the search string takes in the current text.
std::int32_t MatchLength();
// GOLD F / GOLD keypad "*": asks "Find: " and finds.
void FindPrompt(std::int32_t count);
// GOLD keypad "/": the select range's text becomes the search string; finds it.
void FindSelection(std::int32_t count);
// GOLD keypad 9.
void Replace(std::int32_t count);
// GOLD "enter".
void Substitute(std::int32_t count);
// The menu's replace loop: with a match at the cursor, the match is replaced by the paste
// buffer and the next one found; without, the next one is found first. With all it goes
// on until no match is left in the direction.
void ReplaceLoop(bool all);

} // namespace Find
