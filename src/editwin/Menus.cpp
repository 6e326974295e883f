#include "editwin/Menus.h"

#include <array>
#include <cstring>

#include "base/Strings.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "windows/KeyEvents.h"

namespace Menus {

namespace {

constexpr std::size_t kTitleHigh = 79;
constexpr std::size_t kTextHigh = 79;
constexpr std::int32_t kFirstFree = 2;

struct Slot {
  Toolbox::Menu* handle = nullptr;
  char title[kTitleHigh + 1] = {};
  std::array<Proc, kMaxItem + 1> procedure{};
  std::array<bool, kMaxItem + 1> active{};
  std::array<char, kMaxItem + 1> key{};
  std::array<std::uint8_t, kMaxItem + 1> level{};
  std::array<bool, kMaxItem + 1> checked{};
  bool isSubmenu = false;
  bool inBar = false;
};

struct State {
  bool initialised = false;
  std::array<Slot, kMaxMenu + 1> slots{};
  std::int32_t lock = 0;
  std::uint8_t level = 0;
  std::int32_t fileMenu = 0;
  std::int32_t lockMenu = 0;
  std::int32_t firstLockable = 0;
  std::int32_t lastMenu = 0;
  std::int32_t lastItem = 0;
  bool running = false;
  FilterProc filter = nullptr;
  Proc about = nullptr;
  std::array<Proc, kMaxItem + 1> applicationItems{}; // after the about item
  Proc setUp = nullptr;
};
State state;

Slot* SlotOf(std::int32_t menu) {
  if (menu < 1 || menu > kMaxMenu) return nullptr;
  Slot& s = state.slots[static_cast<std::size_t>(menu)];
  return s.handle != nullptr ? &s : nullptr;
}

bool ValidItem(std::int32_t item) { return item >= 1 && item <= kMaxItem; }

bool IsSeparator(Chars text) { return text[0] == '-'; }

// Whether the lock and the level let the item be chosen.
bool Allowed(std::int32_t menu, const Slot& s, std::int32_t item) {
  if (!s.active[static_cast<std::size_t>(item)] ||
      s.level[static_cast<std::size_t>(item)] > state.level)
    return false;
  switch (state.lock) {
  case 0:
    return true;
  case 1:
    if (menu == state.fileMenu && menu != 0) return item == Toolbox::CountItems(s.handle);
    if (menu == state.lockMenu && menu != 0) return item < state.firstLockable;
    return false;
  default:
    return false;
  }
}

void ShowEnabled(std::int32_t menu, Slot& s, std::int32_t item) {
  if (Allowed(menu, s, item))
    Toolbox::EnableItem(s.handle, item);
  else
    Toolbox::DisableItem(s.handle, item);
}

// The text shown for an item: its text and, with a key, the key's name after a tab.
void ShowText(Slot& s, std::int32_t item, Chars text) {
  Toolbox::SetItemText(s.handle, item, text);
  const char key = s.key[static_cast<std::size_t>(item)];
  if (key != 0 && key != kSubmenuKey) Toolbox::SetItemCmd(s.handle, item, key);
}

// The items from `from` on move by delta places (+1 after an insertion, -1 after a
// removal), with their flags.
void Shift(Slot& s, std::int32_t from, int delta) {
  auto move = [&](auto& a) {
    if (delta > 0) {
      for (std::int32_t i = kMaxItem; i > from; --i)
        a[static_cast<std::size_t>(i)] = a[static_cast<std::size_t>(i - 1)];
      a[static_cast<std::size_t>(from)] = {};
    } else {
      for (std::int32_t i = from; i < kMaxItem; ++i)
        a[static_cast<std::size_t>(i)] = a[static_cast<std::size_t>(i + 1)];
      a[kMaxItem] = {};
    }
  };
  move(s.procedure);
  move(s.active);
  move(s.key);
  move(s.level);
  move(s.checked);
}

void BasicSetUp() {
  std::int32_t file = 0;
  NewMenu(file, "File");
  AppendItem(file, "Quit");
  SetProcedure(file, 1, Startup::CallQuitProcedure);
  SetKey(file, 1, 'Q');
  SetFileMenu(file);
  InsertIntoBar(file);
  UpdateMenus(true);
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Toolbox::Init();
}

void NewMenu(std::int32_t& menu, Chars title) {
  Init();
  menu = 0;
  for (std::int32_t i = kFirstFree; i <= kMaxMenu; ++i) {
    Slot& s = state.slots[static_cast<std::size_t>(i)];
    if (s.handle != nullptr) continue;
    s = Slot{};
    Strings::Assign(s.title, title);
    s.handle = Toolbox::NewMenu(i, s.title);
    if (s.handle == nullptr) return;
    menu = i;
    return;
  }
}

void AppendItem(std::int32_t& menu, Chars text) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || Toolbox::CountItems(s->handle) >= kMaxItem) return;
  Toolbox::AppendItem(s->handle, text);
  const std::int32_t item = Toolbox::CountItems(s->handle);
  s->procedure[static_cast<std::size_t>(item)] = nullptr;
  s->active[static_cast<std::size_t>(item)] = false;
  if (IsSeparator(text)) Toolbox::DisableItem(s->handle, item);
}

void InsertItemAfter(std::int32_t& menu, std::int32_t item, Chars text) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item) || !ValidItem(item + 1) ||
      Toolbox::CountItems(s->handle) >= kMaxItem || item > Toolbox::CountItems(s->handle))
    return;
  Toolbox::InsertItem(s->handle, text, item);
  Shift(*s, item + 1, +1);
  if (IsSeparator(text)) Toolbox::DisableItem(s->handle, item + 1);
}

void RemoveItem(std::int32_t& menu, std::int32_t item) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item) || item > Toolbox::CountItems(s->handle)) return;
  Toolbox::DeleteItem(s->handle, item);
  Shift(*s, item, -1);
}

std::int32_t CountItems(std::int32_t menu) {
  const Slot* s = SlotOf(menu);
  return s != nullptr ? Toolbox::CountItems(s->handle) : 0;
}

void SetProcedure(std::int32_t& menu, std::int32_t item, Proc proc) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item)) return;
  s->procedure[static_cast<std::size_t>(item)] = proc;
  s->active[static_cast<std::size_t>(item)] = proc != nullptr;
  if (item <= Toolbox::CountItems(s->handle)) ShowEnabled(menu, *s, item);
}

void SetItemText(std::int32_t& menu, std::int32_t item, Chars text) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item)) return;
  char t[kTextHigh + 1];
  Strings::Assign(t, text);
  ShowText(*s, item, t);
}

void GetItemText(std::int32_t menu, std::int32_t item, VarChars text) {
  Strings::Clear(text);
  const Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item)) return;
  char t[kTextHigh + 1 + 16];
  Toolbox::GetItemText(s->handle, item, t);
  // The key's name after the tab is the platform's, not part of the text.
  if (char* tab = std::strchr(t, '\t')) *tab = 0;
  Strings::Assign(text, t);
}

void SetCheck(std::int32_t& menu, std::int32_t item, bool on) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item)) return;
  s->checked[static_cast<std::size_t>(item)] = on;
  Toolbox::CheckItem(s->handle, item, on);
}

bool GetCheck(std::int32_t menu, std::int32_t item) {
  const Slot* s = SlotOf(menu);
  return s != nullptr && ValidItem(item) && s->checked[static_cast<std::size_t>(item)];
}

void Enable(std::int32_t& menu, std::int32_t item, bool on) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item)) return;
  s->active[static_cast<std::size_t>(item)] =
      on && s->procedure[static_cast<std::size_t>(item)] != nullptr;
  if (item <= Toolbox::CountItems(s->handle)) ShowEnabled(menu, *s, item);
}

bool IsEnabled(std::int32_t menu, std::int32_t item) {
  const Slot* s = SlotOf(menu);
  return s != nullptr && ValidItem(item) && item <= Toolbox::CountItems(s->handle) &&
         Allowed(menu, *s, item);
}

void SetKey(std::int32_t& menu, std::int32_t item, char key) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item)) return;
  s->key[static_cast<std::size_t>(item)] = key;
  if (key != kSubmenuKey) Toolbox::SetItemCmd(s->handle, item, key);
}

void SetLevel(std::int32_t& menu, std::int32_t item, std::uint8_t level) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || !ValidItem(item)) return;
  s->level[static_cast<std::size_t>(item)] = level;
}

void SetGlobalLevel(std::uint8_t level) { state.level = level; }

void AttachSubmenu(std::int32_t& menu, std::int32_t& parent, std::int32_t item) {
  Slot* s = SlotOf(menu);
  Slot* p = SlotOf(parent);
  if (s == nullptr || p == nullptr || !ValidItem(item) || menu == parent) return;
  s->isSubmenu = true;
  p->key[static_cast<std::size_t>(item)] = kSubmenuKey;
  Toolbox::SetItemSubmenu(p->handle, item, menu);
}

void InsertIntoBar(std::int32_t& menu) {
  Slot* s = SlotOf(menu);
  if (s == nullptr || s->inBar) return;
  s->inBar = true;
  Toolbox::InsertMenu(s->handle, 0);
}

void DeleteMenu(std::int32_t& menu) {
  Slot* s = SlotOf(menu);
  if (s == nullptr) {
    menu = 0;
    return;
  }
  Toolbox::DeleteMenu(menu);
  Toolbox::DisposeMenu(s->handle);
  if (state.fileMenu == menu) state.fileMenu = 0;
  if (state.lockMenu == menu) state.lockMenu = 0;
  *s = Slot{};
  menu = 0;
}

void LockMenus(std::int32_t& old, bool keepQuit, bool redraw) {
  old = state.lock;
  state.lock = keepQuit ? 1 : 2;
  UpdateMenus(redraw);
}

void RestoreMenus(std::int32_t& old, bool redraw) {
  state.lock = old;
  UpdateMenus(redraw);
}

std::int32_t Lock() { return state.lock; }

void SetLockMenu(std::int32_t menu, std::int32_t firstLockable) {
  state.lockMenu = menu;
  state.firstLockable = firstLockable;
}

void SetFileMenu(std::int32_t menu) { state.fileMenu = menu; }
std::int32_t FileMenu() { return state.fileMenu; }

void UpdateMenus(bool redraw) {
  for (std::int32_t menu = 1; menu <= kMaxMenu; ++menu) {
    Slot* s = SlotOf(menu);
    if (s == nullptr) continue;
    const std::int32_t n = Toolbox::CountItems(s->handle);
    for (std::int32_t item = 1; item <= n && item <= kMaxItem; ++item) {
      // A separator or an item opening a submenu keeps its own state.
      if (s->key[static_cast<std::size_t>(item)] == kSubmenuKey) continue;
      ShowEnabled(menu, *s, item);
    }
  }
  if (redraw) Toolbox::DrawMenuBar();
}

void MenuCommand(std::uint32_t command) {
  const auto menu = static_cast<std::int32_t>(command / 65536);
  const auto item = static_cast<std::int32_t>(command % 65536);
  if (menu == kApplicationMenu) {
    std::int32_t old = 0;
    LockMenus(old, false, true);
    const Proc proc = item > 1 && item <= kMaxItem
                          ? state.applicationItems[static_cast<std::size_t>(item)]
                          : nullptr;
    if (proc != nullptr)
      proc();
    else if (state.about != nullptr)
      state.about();
    RestoreMenus(old, true);
    Toolbox::HiliteMenu(0);
    return;
  }
  Slot* s = SlotOf(menu);
  if (s != nullptr && ValidItem(item) && item <= Toolbox::CountItems(s->handle) &&
      Allowed(menu, *s, item) && (state.filter == nullptr || state.filter(menu, item))) {
    state.lastMenu = menu;
    state.lastItem = item;
    const Proc proc = s->procedure[static_cast<std::size_t>(item)];
    const bool wasRunning = state.running;
    state.running = true;
    Toolbox::ForceCursorShape(true, Toolbox::CursorShape::Busy);
    proc();
    Toolbox::ForceCursorShape(false, Toolbox::CursorShape::Arrow);
    state.running = wasRunning;
  }
  Toolbox::HiliteMenu(0);
}

void SetFilter(FilterProc filter) { state.filter = filter; }
void SetAboutProc(Proc proc) { state.about = proc; }
void SetApplicationItemProc(std::int32_t item, Proc proc) {
  if (item > 1 && item <= kMaxItem) state.applicationItems[static_cast<std::size_t>(item)] = proc;
}
std::int32_t LastMenu() { return state.lastMenu; }
std::int32_t LastItem() { return state.lastItem; }
bool CommandRunning() { return state.running; }

void SetUpMenus() {
  Init();
  (state.setUp != nullptr ? state.setUp : BasicSetUp)();
  KeyEvents::SetMenuCommandProc(MenuCommand);
  Startup::SetShutdownRequestProc(Startup::QuitCommand);
}

void SetSetUpProc(Proc proc) { state.setUp = proc; }

} // namespace Menus
