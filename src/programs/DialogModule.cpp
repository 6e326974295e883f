#include "programs/DialogModule.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Strings.h"
#include "dialog/Dialog.h"
#include "modules/Definitions.h"
#include "platform/Toolbox.h"
#include "textio/TextIO.h"
#include "vm/Trap.h"
#include "vm/Vm.h"
#include "windows/KeyEvents.h"

namespace DialogModule {

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Native::Call;

constexpr char kInvalidDialog[] = "invalid dialog";
constexpr char kInvalidAddress[] = "invalid variable address";
constexpr char kInvalidProcedure[] = "invalid procedure";
constexpr char kInvalidType[] = "invalid value type";
constexpr std::int64_t kMaxItems = 32766;

// The indices of the procedures of SetProcs.
enum DialogProcIndex {
  kPreAction,
  kItemChanged,
  kActivate,
  kDeactivate,
  kBefore,
  kUnhandled,
  kAfter,
  kDrawn,
  kMayClose,
  kMayMove,
  kMayConfigure,
  kDialogProcs
};
enum ItemProcIndex { kAction, kChange, kBackground, kFrame, kItemProcs };

// A dialog of a program: the record, its items and the program's procedure values.
struct ProgramDialog {
  std::uint32_t id = 0;
  DialogRecord record;
  std::vector<DialogItem*> items;
  std::array<std::uint64_t, kDialogProcs> procs{};
  std::vector<std::array<std::uint64_t, kItemProcs>> itemProcs;
  std::uint64_t layout = 0, setup = 0, idle = 0;
  std::uint64_t done = 0; // RunModal's flag
  bool finished = false;
  bool closed = false; // closed by the program while the framework still held it
};

struct State {
  std::vector<std::unique_ptr<ProgramDialog>> dialogs;
  std::uint32_t nextId = 1;
  int busy = 0; // calls that run the framework's event handling, and with it the program's
};
State state;

void Purge() {
  for (const auto& p : state.dialogs)
    if (p->closed) Dialog::Dispose(p->record);
  std::erase_if(state.dialogs, [](const auto& p) { return p->closed; });
}

// Around the calls that may call the program back: a dialog the program closes from one
// of its procedures stays in memory until the framework has let go of it.
class Busy {
public:
  Busy() { ++state.busy; }
  ~Busy() {
    if (--state.busy == 0) Purge();
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
};

// ---- Parameter words ----

std::int32_t Int(const Call& c, int i) { return static_cast<std::int32_t>(c.args[i]); }
std::uint16_t Color(const Call& c, int i) {
  return static_cast<std::uint16_t>(
      std::min<std::uint32_t>(static_cast<std::uint32_t>(c.args[i]), 0xFFFF));
}
bool Bool(const Call& c, int i) { return (c.args[i] & 0xFF) != 0; }
char Char(const Call& c, int i) { return static_cast<char>(c.args[i] & 0xFF); }
double Real(const Call& c, int i) { return std::bit_cast<double>(c.args[i]); }
template <typename T> void Store(const Call& c, int i, T value) {
  std::memcpy(reinterpret_cast<void*>(c.args[i]), &value, sizeof value);
}
std::int16_t Index16(std::int32_t i) {
  return static_cast<std::int16_t>(std::clamp<std::int32_t>(i, -32768, 32767));
}

ProgramDialog* Find(std::uint64_t handle) {
  for (const auto& p : state.dialogs)
    if (p->id == handle && !p->closed) return p.get();
  return nullptr;
}

ProgramDialog& Of(const Call& c, int i) {
  ProgramDialog* p = c.args[i] != 0 ? Find(c.args[i]) : nullptr;
  if (p == nullptr || p->items.empty()) Vm::Trap(kInvalidDialog);
  return *p;
}

ProgramDialog* Owner(const DialogRecord& d) {
  for (const auto& p : state.dialogs)
    if (&p->record == &d) return p.get();
  return nullptr;
}

// The command-line runner has no user (its text output is the console): nothing that
// waits for one may start there.
bool NoUser() { return TextIO::Console(); }

std::uint64_t Procedure(const Call& c, int i) {
  const std::uint64_t v = c.args[i];
  if (v != 0 && !Vm::IsCompiledEntry(v) && Native::ProcedureOf(v) == nullptr)
    Vm::Trap(kInvalidProcedure);
  return v;
}

void CheckAddress(std::uint64_t address, std::uint64_t size) {
  if (!Vm::IsProgramAddress(address, size)) Vm::Trap(kInvalidAddress);
}

std::uint64_t Call0(std::uint64_t proc) { return proc != 0 ? Vm::CallProcedure(proc, {}) : 0; }
std::uint64_t Call1(std::uint64_t proc, std::int64_t a) {
  const std::uint64_t args[] = {static_cast<std::uint64_t>(a)};
  return proc != 0 ? Vm::CallProcedure(proc, args) : 0;
}

// ---- The procedures the framework calls, calling the program's ----

std::uint64_t DialogProcOf(DialogRecord& d, int which) {
  ProgramDialog* p = Owner(d);
  return p != nullptr ? p->procs[static_cast<std::size_t>(which)] : 0;
}
std::uint64_t ItemProcOf(DialogRecord& d, std::int16_t item, int which) {
  ProgramDialog* p = Owner(d);
  if (p == nullptr || item < 0 || static_cast<std::size_t>(item) >= p->itemProcs.size()) return 0;
  return p->itemProcs[static_cast<std::size_t>(item)][static_cast<std::size_t>(which)];
}

void ItemAction(DialogRecord& d, std::int16_t i) { Call0(ItemProcOf(d, i, kAction)); }
void ItemChange(DialogRecord& d, std::int16_t i) { Call1(ItemProcOf(d, i, kChange), i); }
void ItemBackground(DialogRecord& d, std::int16_t i) { Call0(ItemProcOf(d, i, kBackground)); }
void ItemFrame(DialogRecord& d, std::int16_t i) { Call1(ItemProcOf(d, i, kFrame), i); }

bool Veto(DialogRecord& d, int which, std::int16_t i) {
  return (Call1(DialogProcOf(d, which), i) & 0xFF) != 0;
}
bool PreAction(DialogRecord& d, std::int16_t i) { return Veto(d, kPreAction, i); }
bool MayClose(DialogRecord& d, std::int16_t i) { return Veto(d, kMayClose, i); }
bool MayMove(DialogRecord& d, std::int16_t i) { return Veto(d, kMayMove, i); }
bool MayConfigure(DialogRecord& d, std::int16_t i) { return Veto(d, kMayConfigure, i); }
void ItemChanged(DialogRecord& d, std::int16_t i) { Call1(DialogProcOf(d, kItemChanged), i); }
void Activate(DialogRecord& d) { Call0(DialogProcOf(d, kActivate)); }
void Deactivate(DialogRecord& d) { Call0(DialogProcOf(d, kDeactivate)); }
void Drawn(DialogRecord& d) { Call0(DialogProcOf(d, kDrawn)); }
void KeyCall(DialogRecord& d, int which, std::uint8_t code, char ch, std::uint8_t modifiers) {
  const std::uint64_t proc = DialogProcOf(d, which);
  if (proc == 0) return;
  const std::uint64_t args[] = {code, static_cast<std::uint8_t>(ch), modifiers};
  Vm::CallProcedure(proc, args);
}
void Before(DialogRecord& d, std::uint8_t code, char ch, std::uint8_t m) {
  KeyCall(d, kBefore, code, ch, m);
}
void Unhandled(DialogRecord& d, std::uint8_t code, char ch, std::uint8_t m) {
  KeyCall(d, kUnhandled, code, ch, m);
}
void After(DialogRecord& d, std::uint8_t code, char ch, std::uint8_t m) {
  KeyCall(d, kAfter, code, ch, m);
}
void Layout(DialogRecord& d) {
  if (ProgramDialog* p = Owner(d)) Call0(p->layout);
}
void Setup(DialogRecord& d) {
  if (ProgramDialog* p = Owner(d)) Call0(p->setup);
}
void ModalStep(DialogRecord& d) {
  ProgramDialog* p = Owner(d);
  if (p == nullptr) return;
  Call0(p->idle);
  p->finished = *reinterpret_cast<const volatile std::uint8_t*>(p->done) != 0;
}

void InstallProcs(ProgramDialog& p) {
  Dialog::DialogProcs procs;
  auto given = [&p](int which) { return p.procs[static_cast<std::size_t>(which)] != 0; };
  if (given(kPreAction)) procs.preAction = PreAction;
  if (given(kItemChanged)) procs.itemChanged = ItemChanged;
  if (given(kActivate)) procs.activate = Activate;
  if (given(kDeactivate)) procs.deactivate = Deactivate;
  if (given(kBefore)) procs.eventBefore = Before;
  if (given(kUnhandled)) procs.unhandledKey = Unhandled;
  if (given(kAfter)) procs.eventAfter = After;
  if (given(kDrawn)) procs.drawn = Drawn;
  if (given(kMayClose)) procs.mayClose = MayClose;
  if (given(kMayMove)) procs.mayMove = MayMove;
  if (given(kMayConfigure)) procs.mayConfigure = MayConfigure;
  Dialog::SetProcs(p.record, procs, p.record.idChar);
}

void Dispose(ProgramDialog& p) {
  Dialog::Dispose(p.record);
  p.items.clear();
}

// ---- The procedures ----

void InitProc(Call& c) {
  const std::int64_t highest = Int(c, 9);
  if (highest < 0 || highest > kMaxItems) {
    c.result = 0;
    return;
  }
  auto p = std::make_unique<ProgramDialog>();
  p->items.assign(static_cast<std::size_t>(highest + 1), nullptr);
  if (!Dialog::Init(p->record, p->items.data(), static_cast<std::int16_t>(highest), Bool(c, 1),
                    Bool(c, 2), c.Text(3), c.Text(5), static_cast<std::uint16_t>(Int(c, 7)),
                    static_cast<std::uint16_t>(Int(c, 8)), static_cast<std::int16_t>(highest),
                    Int(c, 10), Int(c, 11), Int(c, 12), Int(c, 13), Index16(Int(c, 14)))) {
    Store<std::uint64_t>(c, 0, 0);
    c.result = 0;
    return;
  }
  p->itemProcs.assign(p->items.size(), {});
  p->id = state.nextId++;
  Store<std::uint64_t>(c, 0, p->id);
  state.dialogs.push_back(std::move(p));
  c.result = 1;
}

void FontNumberProc(Call& c) {
  c.result = static_cast<std::uint64_t>(std::max(0, Toolbox::FontNumber(c.Text(0))));
}

void DefineItemProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  Dialog::DefineItem(p.record, Int(c, 1),
                     static_cast<Dialog::ItemKind>(std::clamp(Int(c, 2), 0, 255)), c.Text(3),
                     Bool(c, 5), c.Text(6), Int(c, 8), Int(c, 9), Int(c, 10), Int(c, 11));
  if (Int(c, 1) >= 1 && static_cast<std::size_t>(Int(c, 1)) < p.itemProcs.size())
    p.itemProcs[static_cast<std::size_t>(Int(c, 1))] = {};
}

void DefineItemStyledProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  Dialog::DefineItemStyled(
      p.record, Int(c, 1), static_cast<Dialog::ItemKind>(std::clamp(Int(c, 2), 0, 255)), c.Text(3),
      Bool(c, 5), c.Text(6), Int(c, 8), Int(c, 9), Int(c, 10), Int(c, 11), Index16(Int(c, 12)),
      Index16(Int(c, 13)), static_cast<std::uint16_t>(Int(c, 14)),
      static_cast<std::uint16_t>(Int(c, 15)), static_cast<std::uint8_t>(Int(c, 16)),
      static_cast<Dialog::Alignment>(std::clamp(Int(c, 17), 0, 3)), Bool(c, 18), Color(c, 19),
      Color(c, 20), Color(c, 21));
  if (Int(c, 1) >= 1 && static_cast<std::size_t>(Int(c, 1)) < p.itemProcs.size())
    p.itemProcs[static_cast<std::size_t>(Int(c, 1))] = {};
}

void BindTextProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  if (Dialog::Item(p.record, Int(c, 1)) == nullptr) return;
  const std::uint64_t high = std::min<std::uint64_t>(c.args[3], 0xFFFF);
  CheckAddress(c.args[2], high + 1);
  Dialog::BindText(p.record, Int(c, 1), reinterpret_cast<char*>(c.args[2]),
                   static_cast<std::uint16_t>(high));
}

void BindValueProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  DialogItem* item = Dialog::Item(p.record, Int(c, 1));
  if (item == nullptr) return;
  const std::int32_t type = Int(c, 3);
  if (type < 0 || type > 6) Vm::Trap(kInvalidType);
  const auto t = static_cast<Dialog::ValueType>(type);
  const bool list = item->kind == Dialog::ItemKind::TrueFalse ||
                    item->kind == Dialog::ItemKind::HighLow || item->kind == Dialog::ItemKind::List;
  CheckAddress(c.args[2], static_cast<std::uint64_t>(Dialog::ValueSize(t, list)));
  Dialog::BindValue(p.record, Int(c, 1), reinterpret_cast<void*>(c.args[2]), t);
}

void BindTogglesProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  if (Dialog::Item(p.record, Int(c, 1)) == nullptr) return;
  CheckAddress(c.args[2], 2);
  Dialog::BindToggles(p.record, Int(c, 1), reinterpret_cast<std::uint16_t*>(c.args[2]),
                      Index16(Int(c, 3)));
}

void SetNumberProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  const std::int32_t type = Int(c, 5);
  if (type < 0 || type > 6) Vm::Trap(kInvalidType);
  DialogItem* item = Dialog::Item(p.record, Int(c, 1));
  if (item == nullptr) return;
  // The variable bound must have room for the new type.
  if (item->value != item->slot) {
    const bool list = item->kind == Dialog::ItemKind::TrueFalse ||
                      item->kind == Dialog::ItemKind::HighLow ||
                      item->kind == Dialog::ItemKind::List;
    CheckAddress(
        reinterpret_cast<std::uint64_t>(item->value),
        static_cast<std::uint64_t>(Dialog::ValueSize(static_cast<Dialog::ValueType>(type), list)));
  }
  Dialog::SetNumber(p.record, Int(c, 1), c.Text(2),
                    static_cast<Dialog::NumberFormat>(std::clamp(Int(c, 4), 0, 4)),
                    static_cast<Dialog::ValueType>(type),
                    static_cast<std::uint16_t>(std::clamp(Int(c, 6), 0, 255)),
                    static_cast<std::uint16_t>(std::clamp(Int(c, 7), 0, 30)), Real(c, 8),
                    Real(c, 9), Real(c, 10), Real(c, 11), Bool(c, 12),
                    static_cast<std::uint8_t>(Int(c, 13)));
}

void SetItemKeyProc(Call& c) {
  Dialog::SetItemKey(Of(c, 0).record, Int(c, 1),
                     static_cast<std::uint8_t>(std::clamp(Int(c, 2), 0, 255)), Char(c, 3),
                     static_cast<std::uint8_t>(Int(c, 4)), Bool(c, 5), Bool(c, 6));
}

void SetSecondKeyProc(Call& c) {
  Dialog::SetSecondKey(Of(c, 0).record, Int(c, 1),
                       static_cast<std::uint8_t>(std::clamp(Int(c, 2), 0, 255)), Char(c, 3));
}

void SetDrag2Proc(Call& c) {
  Dialog::SetDrag2(Of(c, 0).record, Int(c, 1), Index16(Int(c, 2)), Index16(Int(c, 3)));
}

void SetProcsProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  for (int i = 0; i < kDialogProcs; ++i) p.procs[static_cast<std::size_t>(i)] = Procedure(c, 1 + i);
  p.record.idChar = Char(c, 12);
  InstallProcs(p);
}

void SetItemProcsProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  const std::int32_t index = Int(c, 1);
  if (Dialog::Item(p.record, index) == nullptr) return;
  auto& procs = p.itemProcs[static_cast<std::size_t>(index)];
  for (int i = 0; i < kItemProcs; ++i) procs[static_cast<std::size_t>(i)] = Procedure(c, 2 + i);
  Dialog::SetItemProcs(p.record, index, procs[kAction] != 0 ? ItemAction : nullptr,
                       procs[kChange] != 0 ? ItemChange : nullptr,
                       procs[kBackground] != 0 ? ItemBackground : nullptr,
                       procs[kFrame] != 0 ? ItemFrame : nullptr);
}

void SetPaneRectProc(Call& c) {
  Dialog::SetPaneRect(Of(c, 0).record, Int(c, 1), Int(c, 2), Int(c, 3), Int(c, 4));
}
void SetPaneProc(Call& c) {
  Dialog::SetPane(Of(c, 0).record, Index16(Int(c, 1)), Int(c, 2), Int(c, 3));
}
void SelectPaneProc(Call& c) {
  const Busy busy;
  Dialog::SelectPane(Of(c, 0).record, Index16(Int(c, 1)));
}

void SetEnabledProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  if (DialogItem* item = Dialog::Item(p.record, Int(c, 1))) {
    item->enabled = Bool(c, 2);
    Dialog::DrawItem(p.record, Int(c, 1));
  }
}

void SetVisibleProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  if (DialogItem* item = Dialog::Item(p.record, Int(c, 1))) {
    item->visible = Bool(c, 2);
    Dialog::DrawItem(p.record, Int(c, 1));
  }
}

void SetTextProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  if (DialogItem* item = Dialog::Item(p.record, Int(c, 1))) {
    Strings::Assign(item->text, c.Text(2));
    Dialog::DrawItem(p.record, Int(c, 1));
  }
}

void OpenProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  const Busy busy;
  p.layout = Procedure(c, 2);
  p.setup = Procedure(c, 3);
  Dialog::WindowOptions options;
  options.visible = Bool(c, 5);
  options.closeBox = Bool(c, 6);
  options.floating = Bool(c, 7);
  const bool open =
      Dialog::Open(p.record, Int(c, 1), Layout, Setup, Bool(c, 4), options, Bool(c, 8));
  p.layout = p.setup = 0;
  c.result = open ? 1 : 0;
}

void CloseProc(Call& c) {
  std::uint64_t handle = 0;
  std::memcpy(&handle, reinterpret_cast<const void*>(c.args[0]), sizeof handle);
  ProgramDialog* p = handle != 0 ? Find(handle) : nullptr;
  if (p == nullptr) Vm::Trap(kInvalidDialog);
  Store<std::uint64_t>(c, 0, 0);
  if (state.busy > 0) {
    Dialog::Close(p->record);
    p->closed = true;
    return;
  }
  Dispose(*p);
  std::erase_if(state.dialogs, [p](const auto& q) { return q.get() == p; });
}

void ShownProc(Call& c) {
  const DialogRecord& d = Of(c, 0).record;
  c.result = d.open && d.shown ? 1 : 0;
}

void RedrawProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  const Busy busy;
  if (Int(c, 1) == 0)
    Dialog::DrawDialog(p.record);
  else
    Dialog::DrawItem(p.record, Int(c, 1));
}

void InitListProc(Call& c) { Dialog::InitList(Of(c, 0).record, Int(c, 1), Int(c, 2), c.Text(3)); }
void AddListEntryProc(Call& c) { Dialog::AddListEntry(Of(c, 0).record, Int(c, 1), c.Text(2)); }
void SetListEntryTextProc(Call& c) {
  Dialog::SetListEntryText(Of(c, 0).record, Int(c, 1), Int(c, 2), c.Text(3));
}
void EnableListEntryProc(Call& c) {
  Dialog::EnableListEntry(Of(c, 0).record, Int(c, 1), Int(c, 2), Bool(c, 3));
}
void ListEntryEnabledProc(Call& c) {
  c.result = Dialog::ListEntryEnabled(Of(c, 0).record, Int(c, 1), Int(c, 2)) ? 1 : 0;
}
void GetListEntryTextProc(Call& c) {
  Dialog::GetListEntryText(Of(c, 0).record, Int(c, 1), Int(c, 2), c.VarText(3));
}

void ItemHitProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  const Busy busy;
  const DialogItem* item = Dialog::Item(p.record, Int(c, 1));
  const bool edits = item != nullptr && (item->kind == Dialog::ItemKind::EditText ||
                                         item->kind == Dialog::ItemKind::Drag);
  if (NoUser() && edits) {
    c.result = 0;
    return;
  }
  Dialog::SetCurrent(p.record);
  c.result = Dialog::ItemHit(Index16(Int(c, 1)), Bool(c, 2), Char(c, 3),
                             static_cast<std::uint8_t>(Int(c, 4)), Bool(c, 5), Bool(c, 6),
                             Int(c, 7), Int(c, 8))
                 ? 1
                 : 0;
}

void CheckNumberProc(Call& c) {
  double result = 0;
  std::memcpy(&result, reinterpret_cast<const void*>(c.args[5]), sizeof result);
  const bool ok = Dialog::CheckNumber(
      c.Text(0), Real(c, 2), Real(c, 3), Real(c, 4), result,
      static_cast<Dialog::NumberFormat>(std::clamp(Int(c, 6), 0, 4)), Bool(c, 7));
  Store(c, 5, result);
  c.result = ok ? 1 : 0;
}

void PollProc(Call& c) {
  const Busy busy;
  c.result = Dialog::Poll(static_cast<std::uint32_t>(std::max(0, Int(c, 0)))) ? 1 : 0;
}

void RunModalProc(Call& c) {
  ProgramDialog& p = Of(c, 0);
  const Busy busy;
  p.idle = Procedure(c, 2);
  p.done = c.args[1];
  p.finished = *reinterpret_cast<const volatile std::uint8_t*>(p.done) != 0;
  if (NoUser()) return;
  const std::uint32_t id = p.id;
  Dialog::RunModal(p.record.window, p.record, ModalStep, p.finished);
  if (ProgramDialog* still = Find(id)) still->idle = 0;
}

void StoreProc(Call& c) { c.result = Dialog::Store(Of(c, 0).record, c.Text(1)) ? 1 : 0; }
void LoadProc(Call& c) { c.result = Dialog::Load(Of(c, 0).record, c.Text(1), Bool(c, 3)) ? 1 : 0; }
void FileNameProc(Call& c) { Dialog::FileName(Of(c, 0).record, c.VarText(1)); }
void TicksProc(Call& c) { c.result = Toolbox::TickCount(); }

// The constants of the definition, as the framework has them.
std::vector<Native::Constant> Constants() {
  using Dialog::ItemKind;
  using Dialog::ValueType;
  const auto n = [](auto v) { return static_cast<std::int64_t>(v); };
  return {
      {"NotKnown", n(ItemKind::NotKnown)},
      {"Button", n(ItemKind::Button)},
      {"Switch", n(ItemKind::Switch)},
      {"RadioButton", n(ItemKind::RadioButton)},
      {"CheckBox", n(ItemKind::CheckBox)},
      {"MultiCheck", n(ItemKind::MultiCheck)},
      {"Text", n(ItemKind::Text)},
      {"FramedText", n(ItemKind::FramedText)},
      {"FramedNumber", n(ItemKind::FramedNumber)},
      {"FramedBool", n(ItemKind::FramedBool)},
      {"Drag", n(ItemKind::Drag)},
      {"TrueFalse", n(ItemKind::TrueFalse)},
      {"HighLow", n(ItemKind::HighLow)},
      {"Drag2", n(ItemKind::Drag2)},
      {"EditText", n(ItemKind::EditText)},
      {"List", n(ItemKind::List)},
      {"Array", n(ItemKind::Array)},
      {"Offscreen", n(ItemKind::Offscreen)},
      {"GWindow", n(ItemKind::GWindow)},
      {"User", n(ItemKind::User)},
      {"Pane", n(ItemKind::Pane)},
      {"RealValue", n(ValueType::Real64)},
      {"Real32Value", n(ValueType::Real32)},
      {"IntegerValue", n(ValueType::Int32)},
      {"Integer16Value", n(ValueType::Int16)},
      {"Set16Value", n(ValueType::Set16)},
      {"BooleanValue", n(ValueType::Boolean)},
      {"CharValue", n(ValueType::Char)},
      {"IntegerFormat", n(Dialog::NumberFormat::Integer)},
      {"HexFormat", n(Dialog::NumberFormat::Hexadecimal)},
      {"FixedFormat", n(Dialog::NumberFormat::Fixed)},
      {"ScientificFormat", n(Dialog::NumberFormat::Scientific)},
      {"EngineeringFormat", n(Dialog::NumberFormat::Engineering)},
      {"AlignLeft", n(Dialog::Alignment::Left)},
      {"AlignCenter", n(Dialog::Alignment::Center)},
      {"AlignRight", n(Dialog::Alignment::Right)},
      {"AlignLast", n(Dialog::Alignment::Last)},
      {"Plain", 0},
      {"Bold", Dialog::kBold},
      {"Italic", Dialog::kItalic},
      {"Underline", Dialog::kUnderline},
      {"KeyCharacter", KeyEvents::KeyCharacter},
      {"CursorUp", KeyEvents::KeyCursorUp},
      {"CursorDown", KeyEvents::KeyCursorDown},
      {"CursorLeft", KeyEvents::KeyCursorLeft},
      {"CursorRight", KeyEvents::KeyCursorRight},
      {"Enter", KeyEvents::KeyEnter},
      {"Home", KeyEvents::KeyHome},
      {"End", KeyEvents::KeyEnd},
      {"PageUp", KeyEvents::KeyPageUp},
      {"PageDown", KeyEvents::KeyPageDown},
      {"CommandKey", KeyEvents::kModCommand},
      {"ShiftKey", KeyEvents::kModShift},
      {"OptionKey", KeyEvents::kModOption},
      {"ControlKey", KeyEvents::kModControl},
      {"PlainWindow", Toolbox::kPlainWindow},
      {"DocumentWindow", Toolbox::kDocumentWindow},
      // The numbers of the toolbox's start fonts "System", "MS Sans", "Times New Roman"
      // and "Courier New".
      {"SystemFont", 0},
      {"SansFont", 1},
      {"SerifFont", 2},
      {"FixedFont", 22},
  };
}

} // namespace

Native::ModuleSpec Spec() {
  return Native::ModuleSpec{
      "Dialog",
      Modules::Key{{0x4401, 0x0001, 0x0001}},
      Definitions::Text("Dialog"),
      {
          {"Init", InitProc, "Vvvaavvvvvvvv:v"},
          {"FontNumber", FontNumberProc, "a:v"},
          {"DefineItem", DefineItemProc, "vvvavavvvv"},
          {"DefineItemStyled", DefineItemStyledProc, "vvvavavvvvvvvvvvvvvv"},
          {"BindText", BindTextProc, "vvA"},
          {"BindValue", BindValueProc, "vvvv"},
          {"BindToggles", BindTogglesProc, "vvvv"},
          {"SetNumber", SetNumberProc, "vvavvvvrrrrvv"},
          {"SetItemKey", SetItemKeyProc, "vvvvvvv"},
          {"SetSecondKey", SetSecondKeyProc, "vvvv"},
          {"SetDrag2", SetDrag2Proc, "vvvv"},
          {"SetProcs", SetProcsProc, "vvvvvvvvvvvvv"},
          {"SetItemProcs", SetItemProcsProc, "vvvvvv"},
          {"SetPaneRect", SetPaneRectProc, "vvvvv"},
          {"SetPane", SetPaneProc, "vvvv"},
          {"SelectPane", SelectPaneProc, "vv"},
          {"SetEnabled", SetEnabledProc, "vvv"},
          {"SetVisible", SetVisibleProc, "vvv"},
          {"SetText", SetTextProc, "vva"},
          {"Open", OpenProc, "vvvvvvvvv:v"},
          {"Close", CloseProc, "V"},
          {"Shown", ShownProc, "v:v"},
          {"Redraw", RedrawProc, "vv"},
          {"InitList", InitListProc, "vvva"},
          {"AddListEntry", AddListEntryProc, "vva"},
          {"SetListEntryText", SetListEntryTextProc, "vvva"},
          {"EnableListEntry", EnableListEntryProc, "vvvv"},
          {"ListEntryEnabled", ListEntryEnabledProc, "vvv:v"},
          {"GetListEntryText", GetListEntryTextProc, "vvvA"},
          {"ItemHit", ItemHitProc, "vvvvvvvvv:v"},
          {"CheckNumber", CheckNumberProc, "arrrVvv:v"},
          {"Poll", PollProc, "v:v"},
          {"RunModal", RunModalProc, "vVv"},
          {"Store", StoreProc, "va:v"},
          {"Load", LoadProc, "vav:v"},
          {"FileName", FileNameProc, "vA"},
          {"Ticks", TicksProc, ":v"},
      },
      nullptr,
      0,
      Constants(),
  };
}

void DisposeAll() {
  for (const auto& p : state.dialogs) Dispose(*p);
  state.dialogs.clear();
  state.busy = 0;
}

Dialog::DialogRecord* RecordOf(std::uint64_t handle) {
  if (handle == 0) return nullptr;
  ProgramDialog* p = Find(handle);
  if (p == nullptr || p->items.empty()) Vm::Trap(kInvalidDialog);
  return &p->record;
}

void BeginCallbacks() { ++state.busy; }
void EndCallbacks() {
  if (--state.busy == 0) Purge();
}

void Add() { Native::Add(Spec()); }

} // namespace DialogModule
