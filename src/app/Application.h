// The application module: the program's main procedure, which runs the keypad editor
// on the Command window and on whichever edit window comes to front, until Quit.
#pragma once

namespace Application {

// Installs the main procedure into the start-up layer; called before Startup::Run.
void Init();
// Whether the shell gets the compiler at its start (true unless switched off first).
void UseCompiler(bool on);
// Offers the recovery of what an ended workstation left behind, then edits the command
// text and the text of each window brought to front, until Quit.
void Main();

} // namespace Application
