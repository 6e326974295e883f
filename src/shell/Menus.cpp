#include "shell/Menus.h"

#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "windows/KeyEvents.h"

namespace Menus {

void SetUpMenus() {
  Toolbox::Menu* file = Toolbox::NewMenu(kFileMenu, "File");
  if (file == nullptr) return;
  Toolbox::AppendItem(file, "Quit");
  Toolbox::SetItemCmd(file, kQuitItem, 'Q');
  Toolbox::InsertMenu(file, 0);
  Toolbox::DrawMenuBar();
  KeyEvents::SetMenuCommandProc(MenuCommand);
  Startup::SetShutdownRequestProc(Startup::QuitCommand);
}

void MenuCommand(std::uint32_t command) {
  const std::uint32_t menu = command / 65536;
  const std::uint32_t item = command % 65536;
  if (menu == kFileMenu && item == kQuitItem) Startup::CallQuitProcedure();
}

} // namespace Menus
