// The application module: the program's title and main procedure. Until the shell
// exists its main procedure only reads events, so the frame answers the platform
// (painting, Quit through the frame's close box) until the user quits.
#pragma once

namespace Application {

// Installs the main procedure into the start-up layer; called before Startup::Run.
void Init();
// Reads events until Quit ends the program.
void Main();

} // namespace Application
