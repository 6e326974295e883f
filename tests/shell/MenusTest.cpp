// The menu manager: items with their procedures, flags and levels, locks, and the menu
// command that runs an item.
#include "editwin/Menus.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"

namespace {

std::string ran;

class MenusTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Headless::StartPlatform(backend));
    ran.clear();
    Menus::NewMenu(file, "File");
    Menus::NewMenu(edit, "Edit");
    for (const char* t : {"One", "Two", "Three", "Four", "Quit"})
      Menus::AppendItem(file, base::CharsOf(t));
    Menus::SetProcedure(file, 1, [] { ran += "1"; });
    Menus::SetProcedure(file, 3, [] { ran += "3"; });
    Menus::SetProcedure(file, 4, [] { ran += "4"; });
    Menus::SetProcedure(file, 5, [] { ran += "Q"; });
    Menus::SetFileMenu(file);
    Menus::AppendItem(edit, "Cut");
    Menus::SetProcedure(edit, 1, [] { ran += "C"; });
    Menus::InsertIntoBar(file);
    Menus::InsertIntoBar(edit);
    Menus::UpdateMenus(true);
  }
  void TearDown() override { Headless::StopPlatform(); }
  void Choose(std::int32_t menu, std::int32_t item) {
    Menus::MenuCommand(static_cast<std::uint32_t>(menu) * 65536 + static_cast<std::uint32_t>(item));
  }
  Headless::HeadlessBackend backend;
  std::int32_t file = 0, edit = 0;
};

TEST_F(MenusTest, ItemsRunTheirProceduresAndStayWithinLimits) {
  EXPECT_EQ(file, 2);
  EXPECT_EQ(edit, 3);
  Choose(file, 1);
  Choose(file, 2); // no procedure: nothing
  Choose(file, 40);
  Choose(49, 1); // no such menu
  EXPECT_EQ(ran, "1");
  EXPECT_EQ(Menus::LastItem(), 1);
  Menus::SetProcedure(file, 40, [] { ran += "!"; });
  // Removing item 3 moves item 4's procedure up.
  Menus::RemoveItem(file, 3);
  Choose(file, 3);
  EXPECT_EQ(ran, "14");
  std::int32_t full = 0;
  Menus::NewMenu(full, "Full");
  for (int i = 0; i < 32; ++i) Menus::AppendItem(full, "item");
  EXPECT_EQ(Menus::CountItems(full), 31);
  Menus::DeleteMenu(full);
  EXPECT_EQ(full, 0);
}

TEST_F(MenusTest, LevelsAndLocksDecideWhatCanBeChosen) {
  Menus::SetLevel(file, 1, 2);
  Menus::UpdateMenus(false);
  Choose(file, 1);
  EXPECT_EQ(ran, "");
  EXPECT_FALSE(Menus::IsEnabled(file, 1));
  Menus::SetGlobalLevel(2);
  Choose(file, 1);
  EXPECT_EQ(ran, "1");

  std::int32_t old = -1;
  Menus::LockMenus(old, true, true);
  EXPECT_EQ(old, 0);
  ran.clear();
  Choose(file, 1);
  Choose(edit, 1);
  Choose(file, 5); // Quit, the File menu's last item, stays
  EXPECT_EQ(ran, "Q");
  Menus::SetLockMenu(edit, 2);
  Menus::UpdateMenus(false);
  Choose(edit, 1);
  EXPECT_EQ(ran, "QC");
  std::int32_t inner = 0;
  Menus::LockMenus(inner, false, false);
  Choose(file, 5);
  EXPECT_EQ(ran, "QC");
  Menus::RestoreMenus(inner, false);
  Menus::RestoreMenus(old, false);
  EXPECT_TRUE(Menus::IsEnabled(edit, 1));
}

TEST_F(MenusTest, TextsChecksAndKeysReachTheBar) {
  Menus::SetKey(file, 5, 'Q');
  Menus::SetItemText(file, 5, "Quit Now");
  char text[80];
  Menus::GetItemText(file, 5, text);
  EXPECT_STREQ(text, "Quit Now");
  EXPECT_EQ(Toolbox::QuitMenuCommand(), Toolbox::MenuCommand(2, 5));
  Menus::SetCheck(edit, 1, true);
  EXPECT_TRUE(Menus::GetCheck(edit, 1));
  EXPECT_EQ(Toolbox::ItemState(Toolbox::GetMenu(edit), 1), 3);
  std::int32_t sub = 0;
  Menus::NewMenu(sub, "Sub");
  Menus::AttachSubmenu(sub, edit, 1);
  EXPECT_EQ(Toolbox::GetMenu(edit)->items[0].submenu, sub);
}

} // namespace
