// The command module `c`: the shell's commands as procedures, which the command text (a
// Modula-2 module importing c) calls, and which the menus call directly. Each writes
// its listing to the List text and window; a failure writes one error line (also on the
// editor's message line) and changes nothing.
#pragma once

#include "base/Chars.h"
#include "store/Buffer.h"

namespace c {

using base::Chars;

void ldir(Chars path); // the entries of a directory
void list();           // the entries of the current directory
void cdir(Chars path); // makes a directory (an existing one is accepted)
void sdir(Chars path); // makes it the current directory
void del(Chars path);  // deletes a buffer (Shell::Delete)
void rename(Chars oldPath, Chars newPath);
void store(Chars path);   // a text or block into the host file of its name
void tload(Chars path);   // a new text from the host file of its name
void bload(Chars path);   // a block from the host file of its name
void comp(Chars path);    // compiles a text and installs its object
void execute(Chars name); // runs the body of a Ready module of the system library
// The arguments of the next execute: words between blanks, quotes grouping.
void args(Chars text);
void ssymbol(Chars path); // the directory of symbol files
void sobject(Chars path); // the directory of object modules
void slib(Chars path);    // the current library; a new one when the path names nothing
void libload(Chars path); // installs an object module into the current library
void libuload(Chars name);
void libinfo(Chars name); // a module's imports and importers
void mlist();             // the modules of the current library
void conflicts();         // what keeps modules of the current library from running
void mem();               // memory of the store and of the machine
void cd(Chars dir);       // the current host directory
void quit();

} // namespace c

namespace Shell {

using base::Chars;

// Whether the workstation holds b: a directory or library the shell works in, a text
// or heap its windows live in, the Notebook's text, the programs' heap while a program
// runs, a dialog's items, the tool tips' help file, the macros of a running program.
// Such a buffer is neither deleted nor renamed by the shell's commands.
bool InUse(Buffer::Ref b);
// Deletes a buffer as the shell does: the command text is built anew, the list text
// cleared; any other buffer loses its window and Windows-menu entry first. False, with
// nothing changed, for a buffer in use and for one the store keeps: the root, the
// current directory and a directory with entries.
[[nodiscard]] bool Delete(Buffer::Ref b);
// Renames a buffer and moves every shell reference to it; the command and list texts
// and a name that does not change keep the buffer as it is. The new record, or nullptr
// (a buffer in use, or the store refused).
Buffer::Ref Rename(Buffer::Ref b, Chars newPath);

// The shell's own modules for compiled code (c first) into the system library, and the
// store told which buffers the shell holds.
void RegisterProgramModules();
// The rest of the shell start once its windows exist: the program's modules registered,
// the compiler interface in its start state, the editor initialised with F12 to compile.
void StartCommands();

} // namespace Shell
