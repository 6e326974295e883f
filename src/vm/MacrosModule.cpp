#include "vm/MacrosModule.h"

#include <algorithm>
#include <cstring>

#include "macros/MacroFile.h"
#include "macros/Macros.h"
#include "vm/DialogModule.h"
#include "vm/Vm.h"

namespace MacrosModule {

namespace {

using Native::Call;

constexpr char kDefinition[] = R"(DEFINITION MODULE Macros;
  (* Macros: the user's actions on the program's dialogs recorded, stored as numbered,
     named macros, played back and kept in macro files (".mac"). The program gives its
     Macros dialog by its identifier character (SetProcs of Dialog) and the numbers of
     that dialog's items: a delay item (a number of seconds) with its lamp, a further
     item, a "relative" switch, the Record button and one button per macro, from
     firstMacro to lastMacro; 0 for an item it has not. The framework drives those
     items: Record starts and stops a recording, a macro button plays its macro. Init
     fails when no open dialog has that character (0C: no Macros dialog). *)
  PROCEDURE Init(dialog: CHAR; fileVersion, highest, delay, delayLamp, further, relative,
                 record, firstMacro, lastMacro: INTEGER): BOOLEAN;
  PROCEDURE Execute(index: INTEGER);
  PROCEDURE ToggleRecording;
  PROCEDURE Recording(): BOOLEAN;
  (* a macro plays, a wait of the delay item or a macro text runs *)
  PROCEDURE Executing(): BOOLEAN;
  PROCEDURE StopExecuting;
  PROCEDURE DeleteLastEntry;
  PROCEDURE ClearMacro(index: INTEGER);
  PROCEDURE Clear;
  (* the recorded actions stored in macro index after asking for its name *)
  PROCEDURE Assign(index: INTEGER): BOOLEAN;
  PROCEDURE SetExecuteWhileRecording(on: BOOLEAN);
  PROCEDURE SetProtocol(on: BOOLEAN);
  (* a macro stored since the last Store or Load *)
  PROCEDURE Modified(): BOOLEAN;
  PROCEDURE Store(file: ARRAY OF CHAR): BOOLEAN;
  PROCEDURE Load(file: ARRAY OF CHAR; verbose: BOOLEAN): BOOLEAN;
  PROCEDURE List;
END Macros.
)";

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
      kDefinition,
      {
          {"Init", InitProc, 10},
          {"Execute", ExecuteProc, 1},
          {"ToggleRecording", ToggleRecordingProc, 0},
          {"Recording", RecordingProc, 0},
          {"Executing", ExecutingProc, 0},
          {"StopExecuting", StopExecutingProc, 0},
          {"DeleteLastEntry", DeleteLastEntryProc, 0},
          {"ClearMacro", ClearMacroProc, 1},
          {"Clear", ClearProc, 0},
          {"Assign", AssignProc, 1},
          {"SetExecuteWhileRecording", SetExecuteWhileRecordingProc, 1},
          {"SetProtocol", SetProtocolProc, 1},
          {"Modified", ModifiedProc, 0},
          {"Store", StoreProc, 2},
          {"Load", LoadProc, 3},
          {"List", ListProc, 0},
      },
  };
}

void Add() { Native::Add(Spec()); }

} // namespace MacrosModule
