// The application module: the program's main procedure, which runs the keypad editor
// on the Command window and on whichever edit window comes to front, until Quit.
#pragma once

#include <string>
#include <vector>

namespace Application {

// Installs the main procedure into the start-up layer; called before Startup::Run.
void Init();
// Whether the shell gets the compiler at its start (true unless switched off first).
void UseCompiler(bool on);
// The host files Main opens in edit windows once the Command window is there.
void OpenAtStart(std::vector<std::string> paths);
// Offers the recovery of what an ended workstation left behind, opens the files asked
// for, then edits the command text and the text of each window brought to front, until
// Quit.
void Main();

} // namespace Application
