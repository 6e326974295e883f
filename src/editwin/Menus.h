// The menu manager: the menus of the bar are numbered slots (1 the application menu,
// 2..50 handed out), each item carrying a procedure, an enable flag, a check mark, a key
// equivalent and a level. Choosing an item calls its procedure. A client's menu variable
// holds its slot number (0: no menu); every operation does nothing for a number outside
// 1..50, an empty slot or an item outside 1..31.
//
// Lock: 0 none, 1 everything but Quit (the File menu's last item) and the items of a
// registered lock menu before its first lockable item, 2 everything. An item is enabled
// while it is active (has a procedure), the lock allows it and its level is not above
// the global menu level.
#pragma once

#include <cstdint>

#include "base/Chars.h"

namespace Menus {

using base::Chars;
using base::VarChars;
using Proc = void (*)();

inline constexpr std::int32_t kMaxMenu = 50;
inline constexpr std::int32_t kMaxItem = 31;
inline constexpr char kSubmenuKey = 27; // the key field of an item that opens a submenu

// The shell's menus.
inline constexpr std::int32_t kApplicationMenu = 1;

void Init();

void NewMenu(std::int32_t& menu, Chars title);
// Appends an item (31 at most); a text beginning with "-" is a separator.
void AppendItem(std::int32_t& menu, Chars text);
void InsertItemAfter(std::int32_t& menu, std::int32_t item, Chars text);
// Removes the item; later items move up one place with their procedures and flags.
void RemoveItem(std::int32_t& menu, std::int32_t item);
std::int32_t CountItems(std::int32_t menu);
void SetProcedure(std::int32_t& menu, std::int32_t item, Proc proc);
void SetItemText(std::int32_t& menu, std::int32_t item, Chars text);
void GetItemText(std::int32_t menu, std::int32_t item, VarChars text);
void SetCheck(std::int32_t& menu, std::int32_t item, bool on);
bool GetCheck(std::int32_t menu, std::int32_t item);
void Enable(std::int32_t& menu, std::int32_t item, bool on);
bool IsEnabled(std::int32_t menu, std::int32_t item);
// Control + the character chooses the item.
void SetKey(std::int32_t& menu, std::int32_t item, char key);
void SetLevel(std::int32_t& menu, std::int32_t item, std::uint8_t level);
void SetGlobalLevel(std::uint8_t level);
void AttachSubmenu(std::int32_t& menu, std::int32_t& parent, std::int32_t item);
void InsertIntoBar(std::int32_t& menu);
// Removes the menu from the bar, frees its slot and sets menu to 0.
void DeleteMenu(std::int32_t& menu);

void LockMenus(std::int32_t& old, bool keepQuit, bool redraw);
void RestoreMenus(std::int32_t& old, bool redraw);
std::int32_t Lock();
// Under lock 1 the items of menu before firstLockable stay available.
void SetLockMenu(std::int32_t menu, std::int32_t firstLockable);
void SetFileMenu(std::int32_t menu);
std::int32_t FileMenu();
// Recomputes every item's enabled state and redraws the bar when asked.
void UpdateMenus(bool redraw);

// The menu command of a menu event: menu × 65536 + item.
void MenuCommand(std::uint32_t command);
// Asked before a chosen item's procedure runs; false keeps it from running.
using FilterProc = bool (*)(std::int32_t menu, std::int32_t item);
void SetFilter(FilterProc filter);
// The application menu's command (the about box): its first item, and any item that has
// no procedure of its own.
void SetAboutProc(Proc proc);
// The procedure of a later item of the application menu (2 .. kMaxItem).
void SetApplicationItemProc(std::int32_t item, Proc proc);
std::int32_t LastMenu();
std::int32_t LastItem();
bool CommandRunning();

// The bar at start-up step 52: the setup the shell installs, else a File menu with Quit
// on Control+Q.
void SetUpMenus();
void SetSetUpProc(Proc proc);

} // namespace Menus
