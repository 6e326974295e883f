#include "macros/Macros.h"

#include <algorithm>
#include <cstring>

#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editwin/Menus.h"
#include "macros/MacroFile.h"
#include "macros/MacroText.h"
#include "platform/Alerts.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"
#include "textio/TextIO.h"

namespace Macros {

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;
using Dialog::ValueType;

using base::kLineHigh;
constexpr std::size_t kAskedNameHigh = 20;
constexpr std::uint32_t kBlinkPeriod = 500;
constexpr std::uint32_t kBlinkDelay = 2000;
constexpr std::int32_t kCallDepth = 64 * kEntries;
constexpr char kHeapName[] = "MacrosHeap";

// The messages.
constexpr char kTooMany[] = "Macros initialization failed: too many macros!";
constexpr char kNoWorkspace[] = "Macros initialization failed: workspace could not be allocated!";
constexpr char kNoBuffer[] = "Macros initialization failed: buffer could not be allocated!";
constexpr char kCannotStart[] = " ## Cannot start recording while a macro is executing ## ";
constexpr char kAskIndex[] = "Enter index of macro to store :";
constexpr char kAskIndexFull[] = "Buffer is full: index of macro to store :";
constexpr char kIndexLabel[] = "      Macro Index [1..";
constexpr char kContinue[] = "Do you want to continue to record this macro?";
constexpr char kAbortButton[] = "Abort";
constexpr char kContinueButton[] = "Continue";
constexpr char kStartText[] = "Start of MACRO recording: ";
constexpr char kEndText[] = "End of MACRO recording. ";
constexpr char kStop[] = "STOP";
constexpr char kRecordFull[] = "Cannot record anymore, because the record buffer is full!";
constexpr char kChoice[] = "You selected a macro during macro recording:";
constexpr char kChoiceAssign[] = "Assign and name recorded macro";
constexpr char kChoiceCopy[] = "Copy contents of macro";
constexpr char kChoiceCall[] = "Record call to macro itself";
constexpr char kOverflow[] = "Macro Buffer overflow: Copying of macro failed!";
constexpr char kEmptyRecording[] = "Macro Recording is empty!";
constexpr char kCyclic[] =
    "CYCLIC REFERENCE - ignored: This macro has already been called during the recording!";
constexpr char kCallsItself[] = "WARNING:    This macro would call itself.  Do you want to record "
                                "it as last entry, or ignore it?";
constexpr char kLastEntry[] = "Last entry";
constexpr char kIgnore[] = "Ignore";
constexpr char kAskName[] = "Give a NAME to this macro:";
constexpr char kNameEmpty[] = "Macro name cannot be empty!";
constexpr char kStored[] = "MACRO stored in: \"";
constexpr char kDeleted[] = "Deleted last entry. ";
constexpr char kIllegalIndex[] = " ## Cannot execute macro: illegal macro index ## ";
constexpr char kAlreadyExecuting[] = " ## Cannot execute macro: a macro is already executing ## ";
constexpr char kSourceUnknown[] = " ## Source dialog not known ## ";
constexpr char kRecursive[] = "  ## recursive macro call: skipped ## ";
constexpr char kPlaybackAborted[] = "Macros playback aborted.";
constexpr char kMacrosEmpty[] = "  ## Macros are empty ##  ";
constexpr char kSaveAs[] = "SAVE macros as:";
constexpr char kLoadPrompt[] = "Macros to LOAD:";
constexpr char kPattern[] = "*.mac";

struct Frame {
  std::int32_t macro;
  std::int32_t entry;
};

struct State {
  bool ready = false;
  Buffer::Ref heap = nullptr;
  MacroSlot* slots = nullptr;
  std::int32_t highest = 0;
  std::int32_t version = 0;
  DialogRecord* dialog = nullptr;
  DialogItems items;
  char recordText[Dialog::kNameHigh + 1] = {};
  std::int32_t count = 0; // entries in the recording buffer
  bool recording = false;
  bool playing = false;
  bool executeWhileRecording = true;
  bool protocol = false;
  bool readOnlyText = false;
  bool relative = false;
  bool skipNext = false;
  // The dialog action (item and time) that started the recording; item 0: none.
  std::int16_t startedItem = 0;
  std::uint32_t startedTime = 0;
  bool modified = false;
  std::int32_t current = 0;
  std::int32_t entry = 0;
  Frame stack[kCallDepth] = {};
  std::int32_t depth = 0;
  bool running[kMaxMacros + 1] = {};
  bool waiting = false;
  std::uint32_t waitEnd = 0;
  std::uint32_t nextBlink = 0;
  bool blinkOn = false;
  std::int32_t menu = 0;
  // The macro file velmarin --run plays.
  char startFile[kLineHigh + 1] = {};
  std::int32_t startNumber = 0;
};
State state;

std::uint32_t Now() { return Toolbox::TickCount(); }

void Line(Chars text) { TextIO::WriteLine(text); }

MacroSlot& Recording0() { return state.slots[0]; }

// The Macros dialog while it is open. Its owner may have closed and freed it: only a
// dialog still known is looked at.
DialogRecord* MacrosDialogOpen() {
  for (DialogRecord* d = Dialog::Known(); d != nullptr && state.dialog != nullptr; d = d->next)
    if (d == state.dialog) return d->open && d->items != nullptr ? d : nullptr;
  return nullptr;
}

DialogItem* MacrosItem(std::int16_t index) {
  DialogRecord* d = MacrosDialogOpen();
  return d != nullptr && index >= 1 && index <= d->highest ? d->items[index] : nullptr;
}

// The macro whose button is item of d, or 0.
std::int32_t MacroOfButton(const DialogRecord& d, std::int16_t item) {
  if (&d != state.dialog || state.items.firstMacro < 1) return 0;
  if (item < state.items.firstMacro || item > state.items.lastMacro) return 0;
  const std::int32_t k = item - state.items.firstMacro + 1;
  return k <= state.highest ? k : 0;
}

// ---- The Macros dialog's items ----

void SetRecordText(Chars text) {
  DialogItem* item = MacrosItem(state.items.record);
  if (item == nullptr) return;
  Strings::Assign(item->text, text);
  Dialog::DrawItem(*state.dialog, state.items.record);
}

void RestoreRecordButton() {
  state.blinkOn = false;
  SetRecordText(state.recordText);
}

void ShowButton(std::int32_t k) {
  const std::int16_t index = static_cast<std::int16_t>(state.items.firstMacro + k - 1);
  DialogItem* item =
      state.items.firstMacro >= 1 && index <= state.items.lastMacro ? MacrosItem(index) : nullptr;
  if (item == nullptr) return;
  Strings::Assign(item->text, state.slots[k].name);
  item->inverted = EntryCount(state.slots[k]) == 0;
  Dialog::DrawItem(*state.dialog, index);
}

void ShowButtons() {
  for (std::int32_t k = 1; k <= state.highest; ++k) ShowButton(k);
}

// ---- Prompts ----

// The macro index the user gives; 0 after Cancel.
std::int32_t AskIndex(const char* prompt) {
  char text[kLineHigh + 1];
  Strings::Assign(text, base::CharsOf(prompt));
  Strings::Append(text, "\n");
  Strings::Append(text, kIndexLabel);
  NumberOut::AppendInt(state.highest, text, 0);
  Strings::Append(text, "]");
  for (;;) {
    char answer[40] = {};
    if (!Alerts::AskString(text, answer)) return 0;
    std::size_t pos = 0;
    std::int32_t k = 0;
    if (NumberIn::ScanInt(answer, pos, k) && k >= 1 && k <= state.highest) return k;
    Alerts::AlertBeep();
  }
}

void EndRecording() {
  if (!state.recording) return;
  state.recording = false;
  Dialog::SetRecordHook(nullptr);
  Dialog::SetExecute(true);
  TextIO::EndLine();
  Line(kEndText);
  if (!Executing()) RestoreRecordButton();
  UpdateMenu();
}

// Asks for the index to store the recording in; Cancel asks whether to go on recording.
void StoreOrContinue(const char* prompt) {
  for (;;) {
    const std::int32_t k = AskIndex(prompt);
    if (k != 0) {
      if (Assign(k)) return;
      continue;
    }
    if (Alerts::ThreeButtonAlert(kContinue, kAbortButton, kContinueButton, "", 2) == 2) return;
    EndRecording();
    return;
  }
}

void Protocol(const MacroEntry& e) {
  if (!state.protocol) return;
  char line[MacroFile::kLineHigh + 1];
  if (MacroFile::EntryLine(e, line) == MacroFile::Line::Written) Line(line);
}

bool Append(const MacroEntry& e) { return AppendEntry(e); }

void CopyMacro(std::int32_t k) {
  const MacroSlot& s = state.slots[k];
  for (std::int32_t i = 0; i < EntryCount(s); ++i) {
    if (!Append(s.entries[i])) {
      Alerts::Message(kOverflow);
      break;
    }
  }
  if (state.count >= kRecordable) StoreOrContinue(kAskIndexFull);
}

// The value an item holds now, as an entry keeps it.
double ItemValue(const DialogItem& item) {
  return IsListKind(item.kind) ? Dialog::ListIndex(item) : Dialog::ValueOf(item);
}

void Capture(DialogRecord& d, std::int16_t item, bool relative, MacroEntry& e) {
  const Dialog::Acting& a = Dialog::ActingItem();
  e = EmptyEntry();
  e.idChar = d.idChar;
  e.item = item;
  e.code = a.code;
  e.ch = a.ch;
  e.modifiers = a.modifiers;
  if (item == kMenuEntry) {
    e.idChar = kMenuId;
    e.menu = Menus::LastMenu();
    SetMenuItem(e, Menus::LastItem());
    MacroFile::GetMenuTitle(e.menu, e.text);
    return;
  }
  if (item < 1) return;
  const DialogItem& it = *d.items[item];
  e.anyModifier = it.anyModifier;
  const ValueType type = EntryType(it);
  if (type == ValueType::String) {
    if (it.value != nullptr)
      Strings::Assign(e.text, Chars(static_cast<const char*>(it.value), it.length));
    return;
  }
  if (it.value == nullptr) return;
  const bool list = IsListKind(it.kind);
  double value = ItemValue(it);
  if (relative && type != ValueType::Boolean) value -= Dialog::ValueAt(a.value, it.valueType, list);
  SetEntryValue(e, type, value);
  if (list) SetEntrySecond(e, Dialog::ListSecond(it));
}

// Puts the value the item had before the action back (recording without executing).
void PutBack(DialogRecord& d, std::int16_t item) {
  DialogItem& it = *d.items[item];
  const Dialog::Acting& a = Dialog::ActingItem();
  if (it.value == nullptr) return;
  if (it.valueType == ValueType::String) {
    if (it.kind == ItemKind::EditText || it.kind == ItemKind::Text ||
        it.kind == ItemKind::FramedText)
      Strings::Assign(VarChars(static_cast<char*>(it.value), it.length), a.text);
  } else {
    const std::int32_t size = Dialog::ValueSize(it.valueType, IsListKind(it.kind));
    if (size > 0) std::memcpy(it.value, a.value, static_cast<std::size_t>(size));
  }
  Dialog::DrawItem(d, item);
}

void MacroButtonChoice(DialogRecord& d, std::int16_t item, std::int32_t k) {
  switch (Alerts::ThreeButtonAlert(kChoice, kChoiceAssign, kChoiceCopy, kChoiceCall, 0)) {
  case 1:
    static_cast<void>(Assign(k));
    return;
  case 2:
    CopyMacro(k);
    return;
  case 3: {
    MacroEntry e;
    Capture(d, item, false, e);
    static_cast<void>(Append(e));
    if (state.count >= kRecordable) StoreOrContinue(kAskIndexFull);
    return;
  }
  default:
    return;
  }
}

// ---- Playback ----

void StopPlayback() {
  state.playing = false;
  state.current = 0;
  state.entry = 0;
  state.depth = 0;
  std::fill(std::begin(state.running), std::end(state.running), false);
  Dialog::SetPlayback(false);
  if (!state.recording && !Executing()) RestoreRecordButton();
  UpdateMenu();
}

void Return() {
  state.running[state.current] = false;
  if (state.depth == 0) {
    StopPlayback();
    return;
  }
  const Frame f = state.stack[--state.depth];
  state.current = f.macro;
  state.entry = f.entry;
}

// Sets a list's index and second value as an entry says.
void ApplyList(DialogRecord& d, std::int16_t index, const MacroEntry& e, bool relative) {
  DialogItem& it = *d.items[index];
  Dialog::ListArea& l = it.area.list;
  const std::int32_t count = l.menu != nullptr ? Toolbox::CountItems(l.menu) : 0;
  std::int32_t to = static_cast<std::int32_t>(EntryValue(e, ValueType::Char));
  std::uint16_t second = EntrySecond(e);
  if (relative) {
    const std::int32_t old = Dialog::ListIndex(it);
    to = std::clamp(old + to, 0, std::max(0, count - 1));
    if (!Dialog::ListEntryEnabled(d, index, to + 1)) {
      const std::int32_t further = to + (old <= to ? 1 : -1);
      if (further >= 0 && further < count) to = further;
    }
    second = static_cast<std::uint16_t>(second | Dialog::ListSecond(it));
  } else if (!Dialog::ListEntryEnabled(d, index, to + 1)) {
    return;
  }
  Dialog::SetValue(it, to);
  if (l.second != nullptr)
    std::memcpy(l.second, &second, sizeof second);
  else
    l.ownSecond = second;
}

void ApplyItem(DialogRecord& d, std::int16_t index, const MacroEntry& e, bool relative) {
  if (!Dialog::MayApply(d, index)) return;
  DialogItem& it = *d.items[index];
  const ValueType type = EntryType(it);
  if (IsListKind(it.kind)) {
    ApplyList(d, index, e, relative);
  } else if (type == ValueType::String) {
    Strings::Assign(VarChars(static_cast<char*>(it.value), it.length), e.text);
  } else if (type == ValueType::Boolean) {
    Dialog::SetValue(it, e.value[0] != 0 ? 1 : 0);
  } else if (type == ValueType::Char) {
    double v = EntryValue(e, type);
    // A character raised past the last code stays at it.
    if (relative) v = std::clamp(Dialog::ValueOf(it) + v, 0.0, 255.0);
    Dialog::SetValue(it, v);
  } else {
    const double v = EntryValue(e, type);
    Dialog::SetValue(it, relative ? Dialog::ValueOf(it) + v : v);
  }
  Dialog::Applied(d, index);
}

// ---- The idle work ----

void WaitAction(DialogRecord& d, std::int16_t item) {
  const double seconds = Dialog::ValueOf(*d.items[item]);
  if (seconds <= 0) return;
  state.waiting = true;
  state.waitEnd = Now() + static_cast<std::uint32_t>(std::min(seconds, 86400.0) * 1000);
  if (DialogItem* lamp = MacrosItem(state.items.delayLamp)) {
    lamp->pressed = true;
    Dialog::DrawItem(*state.dialog, state.items.delayLamp);
  }
}

void EndWait() {
  state.waiting = false;
  if (DialogItem* lamp = MacrosItem(state.items.delayLamp)) {
    lamp->pressed = false;
    Dialog::DrawItem(*state.dialog, state.items.delayLamp);
  }
  if (MacrosItem(state.items.delay) != nullptr) Dialog::DrawItem(*state.dialog, state.items.delay);
  if (!Executing() && !state.recording) RestoreRecordButton();
}

void RecordButtonAction(DialogRecord&, std::int16_t) { ToggleRecording(); }
void RelativeAction(DialogRecord&, std::int16_t) { ArmRelative(); }
void MacroButtonAction(DialogRecord& d, std::int16_t item) {
  if (state.recording) return; // the recorder offers its choice
  if (const std::int32_t k = MacroOfButton(d, item)) Execute(k);
}

void InstallItemProcs() {
  DialogRecord* d = MacrosDialogOpen();
  if (d == nullptr) d = state.dialog;
  if (d == nullptr || d->items == nullptr) return;
  auto set = [d](std::int16_t index, Dialog::ItemProc action) {
    if (DialogItem* item = Dialog::Item(*d, index))
      Dialog::SetItemProcs(*d, index, action, item->change, item->background, item->frame);
  };
  set(state.items.record, RecordButtonAction);
  set(state.items.relative, RelativeAction);
  set(state.items.delay, WaitAction);
  for (std::int32_t i = state.items.firstMacro; i >= 1 && i <= state.items.lastMacro; ++i)
    set(static_cast<std::int16_t>(i), MacroButtonAction);
  if (DialogItem* record = Dialog::Item(*d, state.items.record))
    Strings::Assign(state.recordText, record->text);
}

void PlayStartFile() {
  char file[kLineHigh + 1];
  Strings::Assign(file, state.startFile);
  state.startFile[0] = 0;
  if (!state.ready) {
    std::int32_t version = 0;
    if (!MacroFile::ReadVersion(file, version)) version = 0;
    if (!Init(nullptr, version, kMaxMacros, DialogItems{})) return;
  }
  if (Load(file, true)) Execute(state.startNumber);
}

// ---- The menu ----

enum MenuItemNumber {
  kLoadItem = 1,
  kSaveItem,
  kListItem,
  kRecordItem,
  kStopItem,
  kDeleteLastItem,
  kExecuteWhileRecordingItem,
  kProtocolItem,
  kReadOnlyItem,
  kOpenEditorItem,
  kMergeTextItem,
  kSaveTextItem,
  kSeparatorItem,
  kFirstExecuteItem
};

void LoadCommand() {
  char name[kLineHigh + 1] = {};
  if (Toolbox::AskFileName(1, kLoadPrompt, kPattern, name)) static_cast<void>(Load(name, true));
}
void SaveCommand() {
  char name[kLineHigh + 1] = {};
  if (Toolbox::AskFileName(2, kSaveAs, kPattern, name)) static_cast<void>(Save(name));
}
void ListCommand() { List(); }
void StopCommand() { StopExecuting(); }
void ExecuteWhileRecordingCommand() { SetExecuteWhileRecording(!state.executeWhileRecording); }
void ProtocolCommand() { SetProtocol(!state.protocol); }
void ReadOnlyCommand() { SetReadOnlyText(!state.readOnlyText); }
void OpenEditorCommand() { MacroText::OpenEditor(); }
void MergeTextCommand() { MacroText::MergeCommand(); }
void SaveTextCommand() { MacroText::SaveCommand(); }
void ExecuteCommand() { Execute(Menus::LastItem() - kFirstExecuteItem + 1); }

void BuildMenu() {
  if (state.menu != 0) Menus::DeleteMenu(state.menu);
  Menus::NewMenu(state.menu, "Macros");
  if (state.menu == 0) return;
  struct Entry {
    const char* text;
    Menus::Proc proc;
  };
  static constexpr Entry kEntries[] = {
      {"Load...", LoadCommand},
      {"Save...", SaveCommand},
      {"List", ListCommand},
      {"Start Recording", ToggleRecording},
      {"Stop Executing", StopCommand},
      {"Delete Last Entry", DeleteLastEntry},
      {"Execute while Recording", ExecuteWhileRecordingCommand},
      {"Protocol to Notebook", ProtocolCommand},
      {"Read-only Macro Text", ReadOnlyCommand},
      {"Open Macros Editor", OpenEditorCommand},
      {"Merge Macros Text...", MergeTextCommand},
      {"Save Macros Text...", SaveTextCommand},
  };
  std::int32_t n = 0;
  for (const Entry& e : kEntries) {
    Menus::AppendItem(state.menu, base::CharsOf(e.text));
    Menus::SetProcedure(state.menu, ++n, e.proc);
  }
  Menus::AppendItem(state.menu, "-");
  // The menu holds 31 items: the first macros get "Execute" entries.
  const std::int32_t shown = std::min(state.highest, Menus::kMaxItem - kSeparatorItem);
  for (std::int32_t k = 1; k <= shown; ++k) {
    Menus::AppendItem(state.menu, "Execute");
    Menus::SetProcedure(state.menu, kSeparatorItem + k, ExecuteCommand);
  }
  Menus::InsertIntoBar(state.menu);
}

} // namespace

// ---- Set-up ----

bool Init(DialogRecord* dialog, std::int32_t fileVersion, std::int32_t highest,
          const DialogItems& items) {
  Release();
  MacroFile::Init();
  if (highest >= kEntries || highest < 0) {
    Alerts::Message(kTooMany);
    return false;
  }
  Buffer::Ref old = Buffer::Find(kHeapName);
  if (old != nullptr) Buffer::Delete(old);
  state.heap = Buffer::Create(kHeapName, Buffer::BufferKind::Heap);
  if (state.heap == nullptr) {
    Alerts::Message(kNoWorkspace);
    return false;
  }
  const auto bytes =
      static_cast<std::int32_t>(sizeof(MacroSlot) * static_cast<std::size_t>(highest + 1));
  void* memory = Buffer::Allocate(state.heap, bytes);
  if (memory == nullptr) {
    Alerts::Message(kNoBuffer);
    Buffer::Delete(state.heap);
    return false;
  }
  state.slots = static_cast<MacroSlot*>(memory);
  for (std::int32_t k = 0; k <= highest; ++k) EmptySlot(state.slots[k]);
  state.highest = highest;
  state.version = fileVersion;
  state.dialog = dialog;
  state.items = items;
  if (dialog != nullptr && dialog->items != nullptr) {
    state.items.lastMacro = static_cast<std::int16_t>(
        std::min<std::int32_t>({items.lastMacro, items.firstMacro + highest - 1, 32767}));
  }
  state.ready = true;
  InstallItemProcs();
  ShowButtons();
  Dialog::SetIdleHook(Idle);
  BuildMenu();
  UpdateMenu();
  return true;
}

void Release() {
  char startFile[kLineHigh + 1];
  Strings::Assign(startFile, state.startFile);
  const std::int32_t startNumber = state.startNumber;
  if (!state.ready) {
    state = State{};
    Strings::Assign(state.startFile, startFile);
    state.startNumber = startNumber;
    return;
  }
  StopExecuting();
  EndRecording();
  MacroText::Abort();
  if (state.menu != 0) Menus::DeleteMenu(state.menu);
  Dialog::SetIdleHook(nullptr);
  Buffer::Ref heap = state.heap;
  if (heap != nullptr && Buffer::Find(kHeapName) == heap) Buffer::Delete(heap);
  state = State{};
  Strings::Assign(state.startFile, startFile);
  state.startNumber = startNumber;
}

bool Ready() { return state.ready; }
std::int32_t Highest() { return state.highest; }
std::int32_t FileVersion() { return state.version; }
MacroSlot* Slots() { return state.ready ? state.slots : nullptr; }
DialogRecord* MacrosDialog() { return MacrosDialogOpen(); }
bool Recording() { return state.recording; }
bool Playing() { return state.playing; }
bool Executing() { return state.playing || state.waiting || MacroText::Running(); }
bool Waiting() { return state.waiting; }
std::int32_t RecordedCount() { return state.count; }

bool AppendEntry(const MacroEntry& e) {
  if (!state.ready || state.count >= kRecordable) return false;
  Recording0().entries[state.count++] = e;
  if (state.count < kEntries) Recording0().entries[state.count] = EmptyEntry();
  Protocol(e);
  return true;
}

// ---- Recording ----

void ToggleRecording() {
  if (!state.ready) return;
  if (Executing()) {
    StopExecuting();
    EndRecording();
    return;
  }
  if (state.recording) {
    if (state.count >= 1)
      StoreOrContinue(kAskIndex);
    else
      EndRecording();
    return;
  }
  if (state.playing) {
    Report(kCannotStart);
    return;
  }
  state.recording = true;
  state.startedItem = Dialog::ActingItem().item;
  state.startedTime = Dialog::ActingItem().time;
  state.count = 0;
  state.skipNext = false;
  Recording0().entries[0] = EmptyEntry();
  Dialog::SetRecordHook(RecordAction);
  Dialog::SetExecute(state.executeWhileRecording);
  TextIO::EndLine();
  Line(kStartText);
  state.nextBlink = Now();
  UpdateMenu();
}

void RecordAction(DialogRecord& d, std::int16_t item) {
  if (!state.recording || !state.ready) return;
  if (item < kMenuEntry || item == 0 || item > d.highest) return;
  if (item == kMenuEntry && (Menus::LastMenu() == 0 || Menus::LastItem() == 0 ||
                             (Menus::LastMenu() == state.menu && Menus::LastItem() == kRecordItem)))
    return;
  const bool macrosDialog = &d == state.dialog && state.dialog != nullptr;
  if (macrosDialog && item == state.items.record) {
    // Without execution the button's action did not run, unless it was the action that
    // started this recording (execution is switched off only from then on).
    const Dialog::Acting& a = Dialog::ActingItem();
    const bool started =
        a.item == item && a.item == state.startedItem && a.time == state.startedTime;
    if (!Dialog::Execute() && !started) ToggleRecording();
    return;
  }
  if (state.count >= kRecordable) {
    Alerts::Message(kRecordFull);
    return;
  }
  if (const std::int32_t k = MacroOfButton(d, item)) {
    MacroButtonChoice(d, item, k);
    return;
  }
  const bool relativeSwitch = macrosDialog && item == state.items.relative;
  if (relativeSwitch && !Dialog::Execute()) state.relative = true;
  if (state.skipNext) {
    state.skipNext = false;
    return;
  }
  const bool relative = state.relative && !relativeSwitch;
  if (!relativeSwitch) state.relative = false;
  MacroEntry e;
  Capture(d, item, relative, e);
  static_cast<void>(Append(e));
  if (!state.executeWhileRecording && item >= 1) PutBack(d, item);
  if (state.count >= kRecordable) StoreOrContinue(kAskIndexFull);
}

void DeleteLastEntry() {
  state.skipNext = true;
  if (state.count == 0 || !state.ready) return;
  Recording0().entries[--state.count] = EmptyEntry();
  Line(kDeleted);
}

bool Store(std::int32_t k, bool withName) {
  if (!state.ready || k < 1 || k > state.highest) return false;
  MacroSlot& to = state.slots[k];
  std::memcpy(static_cast<void*>(to.entries), Recording0().entries, sizeof to.entries);
  if (withName) {
    Strings::Assign(to.name, Recording0().name);
    Strings::Assign(to.comment, Recording0().comment);
  }
  state.modified = true;
  ShowButton(k);
  UpdateMenu();
  return true;
}

bool Assign(std::int32_t k) {
  if (!state.ready || k < 1 || k > state.highest) return false;
  const std::int32_t n = EntryCount(Recording0());
  if (n == 0) {
    Alerts::Message(kEmptyRecording);
    return false;
  }
  const std::int16_t button = static_cast<std::int16_t>(state.items.firstMacro + k - 1);
  const DialogRecord* macros = MacrosDialogOpen();
  for (std::int32_t i = 0; macros != nullptr && state.items.firstMacro >= 1 && i < n; ++i) {
    const MacroEntry& e = Recording0().entries[i];
    if (e.item != button || Strings::Cap(e.idChar) != Strings::Cap(macros->idChar)) continue;
    if (i != n - 1) {
      Alerts::Message(kCyclic);
      return false;
    }
    if (Alerts::ThreeButtonAlert(kCallsItself, kLastEntry, kIgnore, "", 1) != 1) return false;
  }
  MacroSlot& to = state.slots[k];
  char name[kNameHigh + 1] = {};
  if (!Strings::Equal(to.name, kEmptyName)) Strings::Assign(name, to.name);
  for (;;) {
    char answer[kAskedNameHigh + 1] = {};
    Strings::Assign(answer, name);
    if (!Alerts::AskString(kAskName, answer)) return false;
    Strings::StripLeading(answer, ' ');
    Strings::StripTrailing(answer, ' ');
    if (answer[0] != 0) {
      Strings::Assign(name, answer);
      break;
    }
    Alerts::Message(kNameEmpty);
  }
  if (!Strings::Equal(name, to.name)) to.comment[0] = 0;
  Strings::Assign(Recording0().name, name);
  Strings::Assign(Recording0().comment, to.comment);
  static_cast<void>(Store(k, true));
  EndRecording();
  char line[kLineHigh + 1];
  Strings::Assign(line, kStored);
  Strings::Append(line, name);
  Strings::Append(line, "\".");
  Line(line);
  return true;
}

void ClearMacro(std::int32_t k) {
  if (!state.ready || k < 1 || k > state.highest) return;
  MacroSlot& s = state.slots[k];
  s.entries[0] = EmptyEntry();
  Strings::Assign(s.name, kEmptyName);
  ShowButton(k);
  UpdateMenu();
}

void Clear() {
  if (!state.ready) return;
  for (std::int32_t k = 1; k <= state.highest; ++k) EmptySlot(state.slots[k]);
  ShowButtons();
  UpdateMenu();
}

// ---- Playback ----

void Execute(std::int32_t k) {
  if (!state.ready || k < 1 || k > state.highest) {
    Report(kIllegalIndex);
    return;
  }
  if (state.recording) return;
  if (state.playing) {
    Report(kAlreadyExecuting);
    return;
  }
  state.depth = 0;
  std::fill(std::begin(state.running), std::end(state.running), false);
  state.current = k;
  state.entry = 0;
  state.running[k] = true;
  state.playing = true;
  // A click on the relative switch before still makes the first entry relative.
  state.nextBlink = Now() + kBlinkDelay;
  Dialog::SetPlayback(true);
  UpdateMenu();
}

void Step() {
  if (!state.playing) return;
  const MacroSlot& s = state.slots[state.current];
  if (state.entry >= kEntries || s.entries[state.entry].item == 0) {
    Return();
    return;
  }
  const MacroEntry e = s.entries[state.entry];
  DialogRecord* d = e.idChar == kMenuId ? nullptr : MacroFile::FindDialog(e.idChar);
  if (e.idChar != kMenuId && d == nullptr) {
    Report(kSourceUnknown);
    StopPlayback();
    return;
  }
  if (const std::int32_t j = d != nullptr ? MacroOfButton(*d, e.item) : 0) {
    const bool last = state.entry + 1 >= kEntries || s.entries[state.entry + 1].item == 0;
    if (last) {
      state.running[state.current] = false;
    } else if (state.running[j]) {
      Report(kRecursive);
      ++state.entry;
      return;
    } else {
      state.stack[state.depth++] = Frame{state.current, state.entry + 1};
    }
    state.current = j;
    state.entry = 0;
    state.running[j] = true;
    return;
  }
  ++state.entry;
  if (!Perform(e)) {
    StopPlayback();
    return;
  }
  // The outermost macro's last entry ends the playback in the same step, so that a
  // program which stops on that action finds the playback over.
  const bool atEnd =
      state.entry >= kEntries || state.slots[state.current].entries[state.entry].item == 0;
  if (state.playing && state.depth == 0 && atEnd) Return();
}

bool Perform(const MacroEntry& e) {
  const bool relative = state.relative;
  state.relative = false;
  if (e.item == kMenuEntry) {
    const std::int32_t menu = MacroFile::MenuWithTitle(e.text);
    const std::int32_t item = MenuItem(e);
    if (menu != 0 && item >= 1 && item <= Menus::kMaxItem)
      Menus::MenuCommand(static_cast<std::uint32_t>(menu) * 65536u +
                         static_cast<std::uint32_t>(item));
    return true;
  }
  DialogRecord* d = e.idChar == kMenuId ? &Dialog::Current() : MacroFile::FindDialog(e.idChar);
  if (d == nullptr || !d->open || d->items == nullptr) {
    Report(kSourceUnknown);
    return false;
  }
  if (e.item == kKeyEntry) {
    if (d->procs.unhandledKey != nullptr) d->procs.unhandledKey(*d, e.code, e.ch, e.modifiers);
    return true;
  }
  if (e.item < 1 || e.item > d->highest) return true;
  if (e.keyAssignment) {
    if (e.secondKey)
      Dialog::SetSecondKey(*d, e.item, e.code, e.ch);
    else
      Dialog::SetItemKey(*d, e.item, e.code, e.ch, e.modifiers, e.anyModifier, e.forward);
    return true;
  }
  ApplyItem(*d, e.item, e, relative);
  if (d == state.dialog && e.item == state.items.relative) state.relative = true;
  return true;
}

void ArmRelative() { state.relative = true; }

void StopExecuting() {
  if (MacroText::Running()) MacroText::Abort();
  if (state.playing) {
    TextIO::EndLine();
    Line(kPlaybackAborted);
    StopPlayback();
  }
  if (state.waiting) EndWait();
  if (state.ready && !state.recording) RestoreRecordButton();
  if (state.ready) UpdateMenu();
}

void Idle() {
  if (state.startFile[0] != 0 && (state.ready || Dialog::Known() != nullptr)) PlayStartFile();
  if (!state.ready) return;
  const std::uint32_t now = Now();
  if (state.waiting && static_cast<std::int32_t>(now - state.waitEnd) >= 0) EndWait();
  if (!state.waiting) {
    if (state.playing)
      Step();
    else if (MacroText::Running())
      MacroText::Step();
  }
  if ((state.recording || Executing()) && static_cast<std::int32_t>(now - state.nextBlink) >= 0) {
    state.blinkOn = !state.blinkOn;
    SetRecordText(state.blinkOn ? Chars(kStop) : Chars(state.recordText));
    state.nextBlink = now + kBlinkPeriod;
  }
}

// ---- Options ----

void SetExecuteWhileRecording(bool on) {
  state.executeWhileRecording = on;
  if (state.recording) Dialog::SetExecute(on);
  UpdateMenu();
}
bool ExecuteWhileRecording() { return state.executeWhileRecording; }
void SetProtocol(bool on) {
  state.protocol = on;
  UpdateMenu();
}
bool Protocol() { return state.protocol; }
void SetReadOnlyText(bool on) {
  state.readOnlyText = on;
  UpdateMenu();
}
bool ReadOnlyText() { return state.readOnlyText; }
bool Modified() { return state.modified; }

// ---- Files ----

bool Save(Chars fileName) {
  if (!state.ready) return false;
  bool any = false;
  for (std::int32_t k = 1; k <= state.highest && !any; ++k) any = EntryCount(state.slots[k]) > 0;
  if (!any) {
    Report(kMacrosEmpty);
    return false;
  }
  char name[kLineHigh + 1];
  Strings::Assign(name, fileName);
  MacroFile::MacName(name);
  if (!MacroFile::Write(name, state.version, state.slots, state.highest)) return false;
  state.modified = false;
  return true;
}

bool Load(Chars fileName, bool verbose) {
  if (!state.ready) return false;
  const bool ok = MacroFile::Read(fileName, state.version, verbose, state.slots, state.highest);
  EmptySlot(Recording0());
  state.count = 0;
  ShowButtons();
  UpdateMenu();
  return ok;
}

void List() {
  if (state.ready) MacroFile::List(state.version, state.slots, state.highest);
}

// ---- The menu ----

void UpdateMenu() {
  if (state.menu == 0) return;
  Menus::SetItemText(state.menu, kRecordItem,
                     state.recording ? "Stop Recording " : "Start Recording");
  Menus::SetCheck(state.menu, kExecuteWhileRecordingItem, state.executeWhileRecording);
  Menus::SetCheck(state.menu, kProtocolItem, state.protocol);
  Menus::SetCheck(state.menu, kReadOnlyItem, state.readOnlyText);
  const std::int32_t shown = Menus::CountItems(state.menu) - kSeparatorItem;
  for (std::int32_t k = 1; k <= shown && k <= state.highest; ++k) {
    char text[kLineHigh + 1];
    Strings::Assign(text, "Execute ");
    Strings::Append(text, state.slots[k].name);
    Menus::SetItemText(state.menu, kSeparatorItem + k, text);
  }
  Menus::UpdateMenus(true);
}

std::int32_t Menu() { return state.menu; }

void Report(Chars text) { Dialog::Report(text); }

void SetStartMacro(Chars fileName, std::int32_t number) {
  Strings::Assign(state.startFile, fileName);
  state.startNumber = number;
  Dialog::SetIdleHook(Idle);
}

} // namespace Macros
