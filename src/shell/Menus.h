// The shell's menu bar as far as it exists yet: a File menu whose Quit item carries
// Ctrl+Q, so that Quit works from the keyboard and through the frame's close box.
// FIXME: the menu manager with its numbered slots, the Edit and Learn menus and the
// shell's command menus replace this when the menus are built.
#pragma once

#include <cstdint>

namespace Menus {

inline constexpr std::int32_t kFileMenu = 2;
inline constexpr std::int32_t kQuitItem = 1;

// Builds the bar (start-up step 52) and makes the menu layer execute menu commands.
void SetUpMenus();
// Executes the menu command of a menu event: menu × 65536 + item.
void MenuCommand(std::uint32_t command);

} // namespace Menus
