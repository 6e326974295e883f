// The shell's menu bar: the File, Edit, Module, Debug, Learn, Options and Windows menus
// (the menu manager's numbers 2 to 8, Debug the last) with their texts and keys, each item wired to
// its command, Quit last in the File menu on Control+Q, and an application menu with the about box.
// Built at start-up step 52.
#pragma once

#include <cstdint>

namespace ShellMenus {

// The menu numbers the shell's menus get.
inline constexpr std::int32_t kFile = 2;
inline constexpr std::int32_t kEdit = 3;
inline constexpr std::int32_t kModule = 4;
inline constexpr std::int32_t kLearn = 5;
inline constexpr std::int32_t kOptions = 6;
inline constexpr std::int32_t kWindows = 7;
inline constexpr std::int32_t kDebug = 8;

// Builds and wires the bar; installed as the menu manager's set-up.
void SetUp();
// The menu manager's number of a shell menu (kFile .. kDebug), for the items that
// modules above the shell add to it.
std::int32_t& Menu(std::int32_t shellNumber);
// The texts, enabling and check marks that follow state elsewhere (the undo kind, the
// Learn slots, the module to execute), then the bar redrawn.
void Refresh();

} // namespace ShellMenus
