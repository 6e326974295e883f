// Find All and Replace All (Options menu items 11 and 12): one search string looked for
// in every text buffer of the current directory, case-sensitively and line by line, the
// hits reported in the List window: each buffer with hits by name, the line of its first
// 19 hits, "   and more... " at the 20th, and the number of buffers with hits at the end
// (also on the message line). The search string becomes the editor's; Replace All's
// replacement becomes the paste buffer.
//
// Replace All replaces every occurrence, listed or not, building each changed line once.
// A line never grows beyond 255 characters: an occurrence whose replacement would make it
// longer stays as it is, its hit is listed with " not replaced: line too long" when it is
// among the first 19, and the buffer's count of occurrences left is listed after its hits.
#pragma once

namespace FindAll {

// Asks "Search for:" and lists the hits; at the 20th hit of a buffer the search goes on
// with the next buffer. Cancel or an empty answer does nothing.
void FindAll();
// Asks "Replace All:" and "by:", replaces every occurrence and lists the hits; the paste
// buffer receives the replacement ("PasteBuffer = NIL!" when it cannot be made, and
// nothing is replaced then). Cancel or an empty search string does nothing.
void ReplaceAll();

} // namespace FindAll
