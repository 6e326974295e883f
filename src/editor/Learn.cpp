// Learned macros: ReadEditKey records the keys typed between GOLD L and GOLD S and plays
// them back for GOLD X, below the dispatcher, which executes them as if typed. The Learn
// menu keeps learned macros in nine numbered, named slots, whose image the macro file holds.
#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "platform/Alerts.h"
#include "platform/Events.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

namespace Editor {

namespace {

constexpr char kLearning[] = "Learning a macro ...";
constexpr char kStopped[] = "Stop learning a macro.";
constexpr char kNotLearning[] = "No macro definition in progress.";
constexpr char kNotWhileLearning[] = "Macro execution not allowed in macro definition.  Ignored.";
constexpr char kNoMacro[] = "No macro defined.";
constexpr char kInterrupted[] = "Interrupted.";
constexpr char kStillActive[] = "Macro not loaded: a Macro is still active!";
constexpr char kStillRecorded[] = "Cannot store Macro: a Macro is still being recorded!";
constexpr char kStillExecuting[] = "Cannot store Macro: a Macro is still executing!";
constexpr char kAskIndex[] = "Macro index [1..9]: ";
constexpr char kAskClear[] = "Macro to clear [1..9]:";
constexpr char kAskName[] = "Macro name: ";
constexpr char kSlotText[] = "Macro ";
constexpr char kSavedStart[] = "Macro \"";
constexpr char kSavedMiddle[] = "\" saved in buffer ";
constexpr char kClearedStart[] = "Macro[";
constexpr char kClearedEnd[] = "] cleared.";
// The macro file's header: the type padded to 8 bytes, then the version.
constexpr char kMacroFileType[] = "MACR";
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kSlotsAt = 12;
constexpr std::size_t kNameAt = 4;
constexpr std::size_t kKeysAt = 36;
static_assert(kKeysAt + 3 * kMacroKeys == kMacroSlotSize);
static_assert(kSlotsAt + kMacroSlots * kMacroSlotSize == kMacroFileSize);
// A slot's keys are used when it holds at least three: anything shorter is no macro.
constexpr std::int32_t kUsableLength = 4;
// Keys a macro plays between two looks at what the user typed: often enough that
// Control+C stops it at once, rarely enough to cost nothing.
constexpr std::int32_t kKeysBetweenLooks = 64;

struct Local {
  // The key ReadEditKey delivered last went into the recording.
  bool lastRecorded = false;
  std::int32_t keysSinceLook = 0;
  MacroSlot slots[kMacroSlots];
  std::int32_t lastSlot = 1;
  LearnProc learnMenu = nullptr;
  LearnProc saveMacroFile = nullptr;
};
Local local;

LearnedMacro& Macro() { return State().macro; }

void Record(std::uint8_t modifiers, std::uint8_t code, char ch) {
  LearnedMacro& m = Macro();
  if (m.index > kMacroKeys) return;
  m.keys[m.index - 1] = MacroKey{modifiers, code, ch};
  ++m.index;
}

bool IsGold(const MacroKey& k) { return k.code == KeyEvents::KeyInsert; }
bool IsDigit(const MacroKey& k) {
  return k.code == KeyEvents::KeyCharacter && k.ch >= '0' && k.ch <= '9';
}

// The refused GOLD X leaves the recording: the X and the GOLD keys and count digits
// before it, so that a replay does not run the next key with GOLD.
void DropRefusedExecute() {
  LearnedMacro& m = Macro();
  if (!local.lastRecorded || m.index <= 1) return;
  std::int32_t end = m.index - 1; // the X
  std::int32_t start = end;
  for (std::int32_t i = end - 1; i >= 1; --i) {
    const MacroKey& k = m.keys[i - 1];
    if (IsGold(k)) {
      start = i;
    } else if (!IsDigit(k)) {
      break;
    }
  }
  m.index = start;
  local.lastRecorded = false;
}

// A macro that ran unseen leaves the screen as it was before: it is drawn whole.
void Finished() {
  LearnedMacro& m = Macro();
  m.state = MacroState::None;
  Events::WatchInterrupt(false);
  if (!State().showWhileExecuting) RedrawScreen();
}

void Call(LearnProc proc) {
  if (proc != nullptr) proc();
}

// Asks for a slot number until the answer is one from 1 to 9; false when cancelled.
bool AskSlot(Chars prompt, std::int32_t& slot) {
  constexpr std::size_t kAnswerHigh = 39;
  for (;;) {
    char answer[kAnswerHigh + 1] = {};
    NumberOut::AppendInt(local.lastSlot, answer, 0);
    if (!Alerts::AskString(prompt, answer)) return false;
    std::size_t pos = 0;
    std::int32_t n = 0;
    const bool number = NumberIn::ScanInt(answer, pos, n);
    while (pos <= kAnswerHigh && answer[pos] == ' ') ++pos;
    if (number && (pos > kAnswerHigh || answer[pos] == 0) && n >= 1 && n <= kMacroSlots) {
      slot = n;
      return true;
    }
    Alerts::AlertBeep();
  }
}

void ClearSlots() {
  for (MacroSlot& s : local.slots) s = MacroSlot{};
  local.lastSlot = 1;
}

// Recorded keys come only from the keyboard (codes below the mouse's).
bool SlotUsable(const MacroSlot& s) {
  if (s.length < 1 || s.length > kMacroKeys + 1) return false;
  for (std::int32_t i = 0; i + 1 < s.length; ++i) {
    if (s.keys[i].code >= KeyEvents::KeyMouse) return false;
  }
  return true;
}

// The slots of an image, all or none.
MacroFileCheck TakeSlots(std::string_view image) {
  if (image.size() != kMacroFileSize) return MacroFileCheck::WrongLength;
  if (image.substr(0, 4) != kMacroFileType) return MacroFileCheck::WrongType;
  if (static_cast<std::int32_t>(ByteOrder::Get32(image.data() + kVersionAt)) != kMacroFileVersion)
    return MacroFileCheck::WrongVersion;
  MacroSlot slots[kMacroSlots];
  for (int n = 0; n < kMacroSlots; ++n) {
    const char* p = image.data() + kSlotsAt + n * kMacroSlotSize;
    MacroSlot& s = slots[n];
    s.length = static_cast<std::int32_t>(ByteOrder::Get32(p));
    std::memcpy(s.name, p + kNameAt, kMacroNameHigh);
    s.name[kMacroNameHigh] = 0;
    for (int k = 0; k < kMacroKeys; ++k) {
      const char* key = p + kKeysAt + 3 * k;
      s.keys[k] =
          MacroKey{static_cast<std::uint8_t>(key[0]), static_cast<std::uint8_t>(key[1]), key[2]};
    }
    if (!SlotUsable(s)) return MacroFileCheck::BadSlot;
  }
  std::copy(std::begin(slots), std::end(slots), local.slots);
  return MacroFileCheck::Accepted;
}

} // namespace

void ReadEditKey(std::uint8_t& kind, char& ch, std::uint8_t& modifiers) {
  // What commands changed in texts that windows show is drawn before the editor waits.
  EditWindows::DrawChanged();
  LearnedMacro& m = Macro();
  local.lastRecorded = false;
  if (m.state == MacroState::Executing) {
    if (++local.keysSinceLook >= kKeysBetweenLooks) {
      local.keysSinceLook = 0;
      if (Events::Interrupted()) {
        // What the macro did so far stays; it runs no further, and a GOLD it played
        // last does not wait for the user's next key.
        Finished();
        State().goldPending = false;
        State().repeatCount = 1;
        ShowEditMessage(kInterrupted);
        kind = KeyEvents::KeyNone;
        ch = 0;
        modifiers = 0;
        return;
      }
    }
    if (m.index < m.length) {
      const MacroKey& k = m.keys[m.index - 1];
      ++m.index;
      kind = k.code;
      ch = k.ch;
      modifiers = k.modifiers;
      return;
    }
    // A macro without its closing GOLD S (stopped from the menu, or cut at 512 keys)
    // runs once and ends with a null key.
    Finished();
    kind = KeyEvents::KeyNone;
    ch = 0;
    modifiers = 0;
    return;
  }
  ANSITerm::TextWindow* t = State().terminal;
  if (t != nullptr) {
    ANSITerm::ReadKey(t, kind, modifiers, ch);
  } else {
    while (!KeyEvents::GetKey(nullptr, kind, modifiers, ch)) {}
  }
  // Keyboard keys are recorded; clicks and window events are not.
  if (m.state == MacroState::Learning && kind >= KeyEvents::KeyCharacter &&
      kind < KeyEvents::KeyMouse && m.index <= kMacroKeys) {
    Record(modifiers, kind, ch);
    local.lastRecorded = true;
  }
}

void Learn() {
  LearnedMacro& m = Macro();
  SetUndoKind(UndoKind::None);
  m.state = MacroState::Learning;
  m.index = 1;
  ShowEditMessage(kLearning);
}

void StopLearning() {
  LearnedMacro& m = Macro();
  SetUndoKind(UndoKind::None);
  switch (m.state) {
  case MacroState::Learning:
    // The recorded GOLD and S stay: they end every run of the macro.
    m.state = MacroState::None;
    m.length = m.index;
    ShowEditMessage(kStopped);
    break;
  case MacroState::Executing:
    if (--m.repeats <= 0) {
      Finished();
    } else {
      m.index = 1;
    }
    break;
  case MacroState::None:
    ShowEditMessage(kNotLearning);
    break;
  }
}

void ExecuteMacro(std::int32_t count) {
  LearnedMacro& m = Macro();
  SetUndoKind(UndoKind::None);
  if (m.state == MacroState::Learning) {
    ShowEditMessage(kNotWhileLearning);
    DropRefusedExecute();
  } else if (m.length > 1) {
    m.state = MacroState::Executing;
    m.index = 1;
    m.repeats = count;
    local.keysSinceLook = 0;
    Events::WatchInterrupt(true);
  } else {
    ShowEditMessage(kNoMacro);
  }
}

void AbortMacro() {
  if (Macro().state == MacroState::Executing) Finished();
}

void AppendMacroKey(std::uint8_t code, char ch) {
  if (Macro().state == MacroState::Learning) Record(0, code, ch);
}

// ---- The Learn menu's macro slots ----

void ResetMacroSlots() {
  ClearSlots();
  Call(local.learnMenu);
}

const MacroSlot& GetMacroSlot(std::int32_t n) {
  return local.slots[n >= 1 && n <= kMacroSlots ? n - 1 : 0];
}

MacroFileCheck ReadMacroImage(std::string_view image) {
  ClearSlots();
  const MacroFileCheck check = TakeSlots(image);
  Call(local.learnMenu);
  return check;
}

std::string MacroImage() {
  std::string image(kMacroFileSize, '\0');
  std::memcpy(image.data(), kMacroFileType, 4);
  ByteOrder::Put32(image.data() + kVersionAt, kMacroFileVersion);
  for (int n = 0; n < kMacroSlots; ++n) {
    char* p = image.data() + kSlotsAt + n * kMacroSlotSize;
    const MacroSlot& s = local.slots[n];
    ByteOrder::Put32(p, static_cast<std::uint32_t>(s.length));
    std::memcpy(p + kNameAt, s.name, sizeof s.name);
    for (int k = 0; k < kMacroKeys; ++k) {
      char* key = p + kKeysAt + 3 * k;
      key[0] = static_cast<char>(s.keys[k].modifiers);
      key[1] = static_cast<char>(s.keys[k].code);
      key[2] = s.keys[k].ch;
    }
  }
  return image;
}

void MenuExecute() {
  LearnedMacro& m = Macro();
  if (m.state == MacroState::Learning) {
    // A menu command is no key of the recording: nothing is taken off it.
    ShowEditMessage(kNotWhileLearning);
    return;
  }
  if (m.length <= 1) {
    ShowEditMessage(kNoMacro);
    return;
  }
  ExecuteMacro(1);
  while (m.state != MacroState::None) {
    std::uint8_t kind = 0;
    char ch = 0;
    std::uint8_t modifiers = 0;
    ReadEditKey(kind, ch, modifiers);
    if (!HandleEditKey(kind, ch, modifiers)) break;
  }
}

void ExecuteSlot(std::int32_t n) {
  LearnedMacro& m = Macro();
  if (n < 1 || n > kMacroSlots) return;
  if (m.state != MacroState::None) {
    ShowEditMessage(kStillActive);
    return;
  }
  local.lastSlot = n;
  const MacroSlot& s = local.slots[n - 1];
  std::copy(std::begin(s.keys), std::end(s.keys), m.keys);
  m.index = s.length;
  m.length = s.length;
  MenuExecute();
}

void StoreMacro() {
  LearnedMacro& m = Macro();
  if (m.state == MacroState::Learning) {
    ShowEditMessage(kStillRecorded);
    return;
  }
  if (m.state == MacroState::Executing) {
    ShowEditMessage(kStillExecuting);
    return;
  }
  ClearEditMessage();
  const bool learned = m.length > 1;
  std::int32_t n = 0;
  if (!AskSlot(learned ? Chars(kAskIndex) : Chars(kAskClear), n)) return;
  local.lastSlot = n;
  MacroSlot& s = local.slots[n - 1];
  std::copy(std::begin(m.keys), std::end(m.keys), s.keys);
  s.length = learned ? std::clamp(m.index, 1, kMacroKeys + 1) : 1;
  char message[kTextHigh + 1] = {};
  if (learned) {
    static_cast<void>(Alerts::AskString(kAskName, s.name));
    Strings::Assign(message, kSavedStart);
    Strings::Append(message, s.name);
    Strings::Append(message, kSavedMiddle);
    NumberOut::AppendInt(n, message, 0);
  } else {
    Strings::Clear(s.name);
    Strings::Assign(message, kClearedStart);
    NumberOut::AppendInt(n, message, 0);
    Strings::Append(message, kClearedEnd);
  }
  ShowEditMessage(message);
  Call(local.learnMenu);
  Call(local.saveMacroFile);
}

void ToggleShowWhileExecuting() {
  State().showWhileExecuting = !State().showWhileExecuting;
  Call(local.learnMenu);
}

bool LearnMenuItem(std::int32_t item, VarChars text, bool& enabled, bool& checked) {
  Strings::Clear(text);
  enabled = true;
  checked = false;
  if (item == kShowWhileExecutingItem) {
    checked = State().showWhileExecuting;
    return true;
  }
  const std::int32_t n = item - kFirstSlotItem + 1;
  if (n < 1 || n > kMacroSlots) return false;
  const MacroSlot& s = local.slots[n - 1];
  enabled = s.length >= kUsableLength;
  if (s.name[0] != 0) {
    Strings::Assign(text, s.name);
  } else {
    Strings::Assign(text, kSlotText);
    NumberOut::AppendInt(n, text, 0);
  }
  return true;
}

void SetLearnMenuProc(LearnProc proc) { local.learnMenu = proc; }
void SetSaveMacroFileProc(LearnProc proc) { local.saveMacroFile = proc; }

} // namespace Editor
