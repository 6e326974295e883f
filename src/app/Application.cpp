#include "app/Application.h"

#include "platform/Events.h"
#include "platform/Startup.h"
#include "shell/ShellStart.h"

namespace Application {

namespace {
bool initialised = false;
} // namespace

void Init() {
  if (initialised) return;
  initialised = true;
  Startup::SetApplicationMain(Main);
  Shell::InstallStartupHooks();
}

void Main() {
  // Quit ends the run through Terminate, which never returns here.
  for (;;) {
    Events::EventRecord event;
    (void)Events::GetNextEvent(0xFFFF, event);
  }
}

} // namespace Application
