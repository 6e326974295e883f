// Learned macros: ReadEditKey records the keys typed between GOLD L and GOLD S and plays
// them back for GOLD X, below the dispatcher, which executes them as if typed.
#include "base/Strings.h"
#include "editor/Editor.h"
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
// Keys a macro plays between two looks at what the user typed: often enough that
// Control+C stops it at once, rarely enough to cost nothing.
constexpr std::int32_t kKeysBetweenLooks = 64;

struct Local {
  // The key ReadEditKey delivered last went into the recording.
  bool lastRecorded = false;
  std::int32_t keysSinceLook = 0;
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

} // namespace

void ReadEditKey(std::uint8_t& kind, char& ch, std::uint8_t& modifiers) {
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

} // namespace Editor
