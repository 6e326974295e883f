// The shell's file commands. For now the two that Quit needs: counting the modified
// texts and storing them, so that no edit is lost when the program ends.
//
// The texts that count are the command text and every text buffer outside the shell's
// own directory "/Shell" (whose list, paste and undo texts are the shell's working
// copies, not the user's files).
#pragma once

#include <cstdint>

#include "store/Buffer.h"

namespace FileCommands {

// The module body.
void Init();

// The number of modified texts that hold lines.
std::int32_t CountModified();
// Quit's store: an empty line to the List window, then for every modified text the
// question "Save modified file : "PATH" ?" (Yes, No, Cancel); Yes stores it into its
// file (its file directory and its name; the command text into "Command" of the start
// directory), with "store PATH" on the message line and " - FAILED: " and the reason as
// an error line when that fails. The number of failures, or -1 when the user cancelled
// and nothing failed.
std::int32_t StoreModified();
// The host path a text is stored into: its file directory followed by its name.
void FilePathOf(Buffer::Ref text, base::VarChars path);

// Installs both as the procedures Quit counts and saves with.
void InstallQuitProcs();

} // namespace FileCommands
