// Macros: numbered, named lists of user actions on dialog items, keys and menus that are
// recorded through the dialog framework's record hook and played back one entry per step
// from the event loop, with calls from one macro to another.
//
// The program that uses macros supplies a Macros dialog (a Record button, one button per
// macro, a "relative" switch, a delay item with its lamp); the recorder drives those
// items. Slot 0 is the recording buffer, slots 1..highest the macros, all in the buffer
// "MacrosHeap".
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "dialog/Dialog.h"
#include "macros/MacroEntry.h"

namespace Macros {

// The items of the Macros dialog that the recorder drives; 0 for an item it lacks.
struct DialogItems {
  std::int16_t delay = 0;
  std::int16_t delayLamp = 0;
  std::int16_t further = 0;
  std::int16_t relative = 0;
  std::int16_t record = 0;
  std::int16_t firstMacro = 0;
  std::int16_t lastMacro = 0;
};

// Resets the state and allocates highest + 1 slots in "MacrosHeap": false after an alert
// (too many macros, no workspace, no buffer), leaving macros unusable. dialog may be
// nullptr (no Macros dialog). Installs the idle step and the Macros menu.
[[nodiscard]] bool Init(Dialog::DialogRecord* dialog, std::int32_t fileVersion,
                        std::int32_t highest, const DialogItems& items);
// Stops everything, removes the menu and releases "MacrosHeap" (the end of a run).
void Release();
bool Ready();

std::int32_t Highest();
std::int32_t FileVersion();
MacroSlot* Slots(); // slots 0..Highest(); nullptr before Init
Dialog::DialogRecord* MacrosDialog();

bool Recording();
bool Executing(); // a playback, a wait or a macro text run is going on
bool Playing();   // a playback only

// ---- Recording ----
// Starts a recording, or stops it (asking for the index to store); while a macro plays,
// a wait or a macro text runs, stops them all instead.
void ToggleRecording();
// The record hook: captures the action of item (-1 a key, -2 a menu command) of d.
void RecordAction(Dialog::DialogRecord& d, std::int16_t item);
void DeleteLastEntry();
// Stores the recording in macro k after asking for its name: false when nothing was
// stored.
bool Assign(std::int32_t k);
// Empties macro k (its button shows "empty" inverted); Clear empties all.
void ClearMacro(std::int32_t k);
void Clear();
// Copies the recording buffer's entries to macro k (with its name and comment when
// withName): false for an index outside 1..Highest().
bool Store(std::int32_t k, bool withName);
// Appends an entry to the recording buffer (64 at most): false when it is full.
bool AppendEntry(const MacroEntry& e);
// The number of entries in the recording buffer.
std::int32_t RecordedCount();

// ---- Playback ----
void Execute(std::int32_t k);
// Performs the next entry of the running macro.
void Step();
// Stops playback and a macro text run, with "Macros playback aborted." /
// "Macros interpreter aborted." on the text output.
void StopExecuting();
// The idle work of the event loop: one playback step when no wait is going on, the
// macro text interpreter's step, the end of a wait and the Record button's blinking.
void Idle();
// Applies one entry to its dialog as playback does (calls of macros are not followed):
// false with a report when its dialog is not known.
bool Perform(const MacroEntry& e);
// Relative mode for the next performed or recorded action.
void ArmRelative();
// True while a wait started by the delay item lasts.
bool Waiting();

// ---- Options ----
void SetExecuteWhileRecording(bool on);
bool ExecuteWhileRecording();
void SetProtocol(bool on);
bool Protocol();
void SetReadOnlyText(bool on);
bool ReadOnlyText();
bool Modified();

// ---- Files ----
// "Save..." and "Load..." with a given name (".mac" put in place of an extension).
bool Save(Chars fileName);
bool Load(Chars fileName, bool verbose);
void List();

// ---- The menu "Macros" ----
// Rebuilds the menu's texts, check marks and the "Execute" entries.
void UpdateMenu();
std::int32_t Menu();

// A report framed by "##" marks on the text output, with a beep.
void Report(Chars text);

// A macro file played once the program's dialogs are open (velmarin --run --macro): the
// file is read at the first idle step after Init (or, without Init, after a dialog
// opened, with 64 macros and the file's own version) and macro number is executed.
void SetStartMacro(Chars fileName, std::int32_t number);

} // namespace Macros
