// The shell's file commands: they move texts between host files and the buffer store
// and work on the editor's current buffer or on the buffers of the store's current
// directory. Each asks through the platform's file and question dialogs, reports on the
// editor's message line and logs a line per module to the List window. The current file
// directory is the host directory of FileSystem (where file dialogs start and group saves
// look).
//
// The texts that Quit counts and stores are the command text and every text buffer
// outside the shell's own directory "/Shell" (whose list, paste and undo texts are the
// shell's working copies, not the user's files).
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "store/Buffer.h"

namespace FileCommands {

using base::Chars;
using base::VarChars;

// The module body: the checksum setting becomes a client of the settings record.
void Init();

// The name check of every command that makes a buffer from a file name: repeated until
// the name is acceptable (true) or the user cancels (false); with mayAsk the user may
// correct the name in a question, else a bad name is refused with an alert.
bool CheckName(VarChars name, bool mayAsk);

// The menu commands. Create, Open, Open and Rename, Revert and Rename repeat after each
// success while Shift was held when they were chosen.
void Create();
void Open();
// Open without the dialog: loads the host file at path into a text of its name and edits
// it in a window of its own; false, with the reason on the message line, when it cannot.
bool OpenFile(Chars path);
void OpenAndRename();
void LoadAll();
void Close();
bool Save(); // true when the store succeeded
void SaveAs();
void Revert();
void Rename();
void SetDirectory();
// Save Group: mode 0 DE?- and MO?-modules, 1 DE?-modules, 2 MO?-modules, 3 modules
// existing on the file directory, 4 modified modules with a question per module, 5
// modified modules without.
void SaveGroup(int mode);
void ChecksumDirectory();
void StripTabs();
void StripMarks();

// Quit's count and store of the modified texts. StoreModified asks "Save modified file :
// "PATH" ?" (Yes, No, Cancel) per text; the number of failures, or -1 when cancelled
// without failures.
std::int32_t CountModified();
std::int32_t StoreModified();
void InstallQuitProcs();

// The host path a text is stored into: its file directory followed by its name.
void FilePathOf(Buffer::Ref text, VarChars path);

// Checksums of Modula-2 source texts, for DE?-, MO?- and BA?-modules when switched on:
// the group saves write checksum lines and save a module whose checksum is wrong. The
// setting is kept in the settings record (after the print settings), off by default.
void SetChecksums(bool on);
bool Checksums();
// The sum over the text's lines (from line 2 when line 1 is a checksum line) of 13 per
// line and each whole group of four characters read as a little-endian number, mod 2^32.
// 0 with a List line for a buffer that is no text or none.
std::uint32_t Checksum(Buffer::Ref b);
// The checksum line 1 holds, 0 when it holds none.
std::uint32_t StoredChecksum(Buffer::Ref b);
// Replaces (or inserts) line 1 by a checksum line with the checksum and the date.
void WriteChecksumLine(Buffer::Ref b);

} // namespace FileCommands
