// The world of the macro fuzz targets: a dialog 'F' with a switch, a drag, a list, an
// edit field and a macro button, a Macros dialog 'M' of it, a menu "Tools", and macros
// initialised with three slots. Inputs go in as a macro file or as macro text lines.
#pragma once

#include "../../dialog/fuzz/FuzzPlatform.h"
#include "dialog/Dialog.h"
#include "editwin/Menus.h"
#include "macros/Macros.h"

namespace MacroFuzz {

using Dialog::ItemKind;
using Dialog::ValueType;

constexpr std::int16_t kHighest = 6;

inline void Go() {}

struct World {
  Headless::HeadlessBackend backend;
  Dialog::DialogRecord d;
  Dialog::DialogItem* items[kHighest + 1] = {};
  std::string path;
  bool on = false;
  double gain = 1;
  std::int32_t mode = 0;
  char name[16] = {};
  std::int32_t menu = 0;

  World() {
    path = StartFuzzPlatform(backend, "Fuzz.mac");
    if (!Dialog::Init(d, items, kHighest, false, false, "Fuzz", "Fuzz", 0, 10, kHighest, 10, 210,
                      300, 200, 0))
      std::abort();
    const ItemKind kinds[] = {ItemKind::Switch,   ItemKind::Drag,   ItemKind::List,
                              ItemKind::EditText, ItemKind::Button, ItemKind::Drag};
    const char* names[] = {"switch", "drag", "list", "edit", "macro", " Wait"};
    for (int i = 1; i <= kHighest; ++i)
      Dialog::DefineItem(d, i, kinds[i - 1], base::CharsOf(names[i - 1]), true,
                         base::CharsOf(names[i - 1]), 10, 30 * i, 100, 20);
    Dialog::BindValue(d, 1, &on, ValueType::Boolean);
    Dialog::BindValue(d, 2, &gain, ValueType::Real64);
    Dialog::InitList(d, 3, 0, "");
    Dialog::AddListEntry(d, 3, "a");
    Dialog::AddListEntry(d, 3, "b");
    Dialog::BindValue(d, 3, &mode, ValueType::Int32);
    Dialog::BindText(d, 4, name, sizeof name - 1);
    Dialog::SetProcs(d, Dialog::DialogProcs{}, 'F');
    if (!Dialog::Open(d, Toolbox::kDocumentWindow, nullptr, nullptr, false, Dialog::WindowOptions{},
                      false))
      std::abort();
    Menus::NewMenu(menu, "Tools");
    Menus::AppendItem(menu, "Go");
    Menus::SetProcedure(menu, 1, Go);
    Macros::DialogItems macroItems;
    macroItems.firstMacro = macroItems.lastMacro = 5;
    macroItems.delay = 6;
    if (!Macros::Init(&d, 4, 3, macroItems)) std::abort();
  }

  // Plays whatever the macros hold for a bounded number of steps: a macro that calls
  // itself at its end runs forever.
  void Play() {
    for (std::int32_t k = 1; k <= Macros::Highest(); ++k) {
      Macros::Execute(k);
      for (int i = 0; i < 500 && Macros::Playing(); ++i) Macros::Step();
      Macros::StopExecuting();
    }
    backend.ClearDisplayList();
  }
};

} // namespace MacroFuzz
