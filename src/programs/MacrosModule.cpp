#include "programs/MacrosModule.h"

#include <algorithm>
#include <cstring>

#include "macros/MacroFile.h"
#include "macros/Macros.h"
#include "modules/Definitions.h"
#include "programs/DialogModule.h"
#include "vm/Vm.h"

namespace MacrosModule {

namespace {

using Native::Call;

std::int32_t Int(const Call& c, int i) { return static_cast<std::int32_t>(c.args[i]); }
std::int16_t Item(const Call& c, int i) {
  return static_cast<std::int16_t>(std::clamp(Int(c, i), 0, 32767));
}
bool Bool(const Call& c, int i) { return (c.args[i] & 0xFF) != 0; }

void InitProc(Call& c) {
  const char id = static_cast<char>(c.args[0] & 0xFF);
  Dialog::DialogRecord* d = id != 0 ? MacroFile::FindDialog(id) : nullptr;
  Macros::DialogItems items;
  items.delay = Item(c, 3);
  items.delayLamp = Item(c, 4);
  items.further = Item(c, 5);
  items.relative = Item(c, 6);
  items.record = Item(c, 7);
  items.firstMacro = Item(c, 8);
  items.lastMacro = Item(c, 9);
  // A dialog named by its character must be open.
  c.result = (id == 0 || d != nullptr) && Macros::Init(d, Int(c, 1), Int(c, 2), items) ? 1 : 0;
}
void ExecuteProc(Call& c) { Macros::Execute(Int(c, 0)); }
void ToggleRecordingProc(Call&) { Macros::ToggleRecording(); }
void RecordingProc(Call& c) { c.result = Macros::Recording() ? 1 : 0; }
void ExecutingProc(Call& c) { c.result = Macros::Executing() ? 1 : 0; }
void StopExecutingProc(Call&) { Macros::StopExecuting(); }
void DeleteLastEntryProc(Call&) { Macros::DeleteLastEntry(); }
void ClearMacroProc(Call& c) { Macros::ClearMacro(Int(c, 0)); }
void ClearProc(Call&) { Macros::Clear(); }
void AssignProc(Call& c) { c.result = Macros::Assign(Int(c, 0)) ? 1 : 0; }
void SetExecuteWhileRecordingProc(Call& c) { Macros::SetExecuteWhileRecording(Bool(c, 0)); }
void SetProtocolProc(Call& c) { Macros::SetProtocol(Bool(c, 0)); }
void ModifiedProc(Call& c) { c.result = Macros::Modified() ? 1 : 0; }
void StoreProc(Call& c) { c.result = Macros::Save(c.Text(0)) ? 1 : 0; }
void LoadProc(Call& c) { c.result = Macros::Load(c.Text(0), Bool(c, 2)) ? 1 : 0; }
void ListProc(Call&) { Macros::List(); }

} // namespace

Native::ModuleSpec Spec() {
  return Native::ModuleSpec{
      "Macros",
      Modules::Key{{0x4D41, 0x0001, 0x0001}},
      Definitions::Text("Macros"),
      {
          {"Init", InitProc, "vvvvvvvvvv:v"},
          {"Execute", ExecuteProc, "v"},
          {"ToggleRecording", ToggleRecordingProc, ""},
          {"Recording", RecordingProc, ":v"},
          {"Executing", ExecutingProc, ":v"},
          {"StopExecuting", StopExecutingProc, ""},
          {"DeleteLastEntry", DeleteLastEntryProc, ""},
          {"ClearMacro", ClearMacroProc, "v"},
          {"Clear", ClearProc, ""},
          {"Assign", AssignProc, "v:v"},
          {"SetExecuteWhileRecording", SetExecuteWhileRecordingProc, "v"},
          {"SetProtocol", SetProtocolProc, "v"},
          {"Modified", ModifiedProc, ":v"},
          {"Store", StoreProc, "a:v"},
          {"Load", LoadProc, "av:v"},
          {"List", ListProc, ""},
      },
  };
}

void Add() { Native::Add(Spec()); }

} // namespace MacrosModule
