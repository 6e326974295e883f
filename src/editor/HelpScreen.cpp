// The key assignment screen: the control and GOLD keys, the keypad with the plain label
// of each key above its GOLD label, and the mouse, in a window of its own until the next
// key or click.
#include <algorithm>
#include <cstring>
#include <string>

#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "platform/Toolbox.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

namespace Editor {

namespace {

// The window's outer top left, 12 and 10 pixels into the frame's client area; its caption
// takes the room above the content, as for the shell's windows.
constexpr std::int32_t kLeft = 12;
constexpr std::int32_t kTop = 10;
constexpr std::int32_t kCaptionRoom = 32;
constexpr std::int32_t kMaxWidth = 660;
constexpr std::int32_t kMaxHeight = 424;
constexpr char kWindowTitle[] = "Help";
constexpr char kTitle[] = "Editor Key Assignments:";
// Right of the title, over the keypad: where a newcomer finds the walkthrough.
constexpr char kHelpMenu[] = "Help: First Ten Minutes, Library Modules";
constexpr char kContinue[] = " Strike any key or click the mouse to continue... ";

// The left column from row 2; the GOLD M and GOLD T entries show the modes.
constexpr const char* kKeys[] = {
    "Insert     GOLD",
    "Control/H  Beginning of line",
    "Control/J  Delete previous word",
    "Control/U  Delete to beginning of line",
    "Control/W  Rewrite screen",
    "GOLD C     Clear paste buffer",
    "GOLD D     Delete buffer",
    "GOLD E     Set edit buffer",
    "GOLD F     Find",
    "GOLD L     Learn macro",
    nullptr, // GOLD M
    "GOLD R     Read from a buffer",
    "GOLD S     Stop learning macro",
    nullptr, // GOLD T
    "GOLD W     Write to a buffer",
    "GOLD X     Execute macro",
};
constexpr int kMultiEntry = 10;
constexpr int kAlignEntry = 13;
constexpr const char* kMultiOn = "GOLD M     toggle: one / MULTI windows";
constexpr const char* kMultiOff = "GOLD M     toggle: ONE / multi windows";
constexpr const char* kAlignOn = "GOLD T     Toggle: fix / ALIGN TAB";
constexpr const char* kAlignOff = "GOLD T     Toggle: FIX / align TAB";

// The keypad, right of the list from row 2: each key's plain label over its GOLD label,
// both from the editor's key tables. Between the rows of keys lie their borders.
constexpr int kKeypadColumn = 41;
constexpr int kKeyWidth = 9;
constexpr std::uint8_t kNumLock = 0;   // no editor key: its own label
constexpr std::uint8_t kLowerHalf = 1; // the lower half of a key two rows high
constexpr std::uint8_t kNoKey = 0xFF;  // past the row's last key
struct KeyCell {
  std::uint8_t code = kNoKey;
  int keys = 1; // 2: a key two keys wide
};
struct KeyRow {
  const char* border; // above the row
  KeyCell cells[4];
};
constexpr KeyRow kKeyRows[] = {
    {"+---------+---------+---------+---------+",
     {{kNumLock},
      {KeyEvents::KeyKeypadDivide},
      {KeyEvents::KeyKeypadMultiply},
      {KeyEvents::KeyKeypadMinus}}},
    {"+---------+---------+---------+---------+",
     {{KeyEvents::KeyKeypad7},
      {KeyEvents::KeyKeypad8},
      {KeyEvents::KeyKeypad9},
      {KeyEvents::KeyKeypadPlus}}},
    {"+---------+---------+---------+         |",
     {{KeyEvents::KeyKeypad4}, {KeyEvents::KeyKeypad5}, {KeyEvents::KeyKeypad6}, {kLowerHalf}}},
    {"+---------+---------+---------+---------+",
     {{KeyEvents::KeyKeypad1},
      {KeyEvents::KeyKeypad2},
      {KeyEvents::KeyKeypad3},
      {KeyEvents::KeyEnter}}},
    {"+---------+---------+---------+         |",
     {{KeyEvents::KeyKeypad0, 2}, {KeyEvents::KeyKeypadPoint}, {kLowerHalf}}},
};
constexpr char kBottomBorder[] = "+-------------------+---------+---------+";
constexpr int kKeypadRows = 3 * static_cast<int>(std::size(kKeyRows)) + 1;
// A key without a GOLD binding.
constexpr char kNoGoldBinding[] = "----";

// The label centred in the cell, an odd space after it.
std::string Centred(const char* label, int width) {
  const int length = static_cast<int>(std::strlen(label));
  const int left = std::max(0, (width - length) / 2);
  std::string cell(static_cast<std::size_t>(left), ' ');
  cell += label;
  cell.resize(static_cast<std::size_t>(width), ' ');
  return cell;
}

// Row i of the keypad picture.
std::string KeypadRow(int i) {
  if (i == kKeypadRows - 1) return kBottomBorder;
  const KeyRow& row = kKeyRows[i / 3];
  if (i % 3 == 0) return row.border;
  const bool gold = i % 3 == 2;
  std::string text = "|";
  for (const KeyCell& cell : row.cells) {
    if (cell.code == kNoKey) break;
    const char* label = "";
    if (cell.code == kNumLock) {
      label = gold ? "lock" : "num.";
    } else if (cell.code != kLowerHalf) {
      const KeyLabels labels = LabelsOf(cell.code);
      label = gold ? (labels.gold != nullptr ? labels.gold : kNoGoldBinding)
                   : (labels.plain != nullptr ? labels.plain : "");
    }
    text += Centred(label, cell.keys * (kKeyWidth + 1) - 1) + "|";
  }
  return text;
}
// Below the keypad.
constexpr const char* kFunctionKeys[] = {
    "F2         Paste line",
    "F3         Cut line",
    "F4         Copy line",
};
// Left of the function keys, below the list: the keys of writing and running programs.
constexpr const char* kProgramKeys[] = {
    "F5 / F7    Command window / List window",
    "F12        Compile (command text: run)",
    "c.execute(\"Name\")  runs a program",
};
// Across the whole width, below both columns.
constexpr const char* kMouse[] = {
    "Mouse:     single  click   position cursor and remove text selection",
    "           double  click   select word",
    "           triple  click   select line",
    "           shift + click   expand text selection",
    "           drag            expand text selection",
    "           click or drag   in first or last line will scroll screen up or down.",
};
constexpr int kListRow = 2;
constexpr int kFunctionRow = kListRow + kKeypadRows;
constexpr int kMouseRow = kFunctionRow + static_cast<int>(std::size(kFunctionKeys));
static_assert(std::size(kProgramKeys) == std::size(kFunctionKeys));

// Writes text at (row, column) when the row is a text row; what does not fit is cut.
void Put(ANSITerm::TextWindow* t, int row, int column, const char* text) {
  const std::int32_t textRows = t->rows - 1; // the last row is the message line
  if (row > textRows || column > t->columns) return;
  std::string shown(text);
  shown.resize(
      std::min<std::size_t>(shown.size(), static_cast<std::size_t>(t->columns - column + 1)));
  ANSITerm::GotoRowCol(t, row, column);
  ANSITerm::WriteString(t, base::CharsOf(shown));
}

void Draw(ANSITerm::TextWindow* t) {
  const EditorState& e = State();
  ANSITerm::ClearTerminal(t);
  Put(t, 1, 1, kTitle);
  Put(t, 1, kKeypadColumn, kHelpMenu);
  for (int i = 0; i < static_cast<int>(std::size(kKeys)); ++i) {
    const char* text = kKeys[i];
    if (i == kMultiEntry) text = e.multipleWindows ? kMultiOn : kMultiOff;
    if (i == kAlignEntry) text = e.fixedTabs ? kAlignOff : kAlignOn;
    Put(t, kListRow + i, 1, text);
  }
  for (int i = 0; i < kKeypadRows; ++i) Put(t, kListRow + i, kKeypadColumn, KeypadRow(i).c_str());
  for (int i = 0; i < static_cast<int>(std::size(kFunctionKeys)); ++i) {
    Put(t, kFunctionRow + i, kKeypadColumn, kFunctionKeys[i]);
    Put(t, kFunctionRow + i, 1, kProgramKeys[i]);
  }
  for (int i = 0; i < static_cast<int>(std::size(kMouse)); ++i) Put(t, kMouseRow + i, 1, kMouse[i]);
  ANSITerm::BeginMessageLine(t);
  ANSITerm::SetInverse(t, 1);
  ANSITerm::WriteString(t, kContinue);
  ANSITerm::SetInverse(t, 0);
  ANSITerm::EndMessageLine(t);
  ANSITerm::FlushOutput(t);
}

} // namespace

void HelpScreen() {
  EditorState& e = State();
  const Toolbox::Rect client = Toolbox::FrameClientRect();
  Toolbox::Rect r{kLeft, kTop + kCaptionRoom, kLeft + kMaxWidth, kTop + kCaptionRoom + kMaxHeight};
  if (!client.Empty()) {
    r.right = std::max(r.left + 1, std::min(r.right, client.right - kLeft));
    r.bottom = std::max(r.top + 1, std::min(r.bottom, client.bottom - kTop));
    // Over the editor's window, below its caption rather than on it.
    r = Toolbox::ClearOfCaptions(Toolbox::kToolWindow, r);
  }
  Toolbox::Window w =
      Toolbox::NewWindow(r, kWindowTitle, true, Toolbox::kToolWindow, false, nullptr);
  if (w == nullptr) return;
  ANSITerm::TextWindow* t = ANSITerm::NewTerminal(false, w);
  if (t == nullptr) {
    Toolbox::DisposeWindow(w);
    return;
  }
  ANSITerm::TextWindow* const savedTerminal = e.terminal;
  const std::int32_t savedWidth = e.width;
  const std::int32_t savedRows = e.rows;
  const std::int32_t savedMargin = e.scrollMargin;
  e.terminal = t;
  e.width = t->columns;
  e.rows = std::max(1, t->rows - 1);
  e.helpShowing = true;
  Draw(t);
  for (;;) {
    std::uint8_t kind = 0;
    char ch = 0;
    std::uint8_t modifiers = 0;
    ReadEditKey(kind, ch, modifiers);
    if (kind == KeyEvents::KeyNone || kind == KeyEvents::KeyHandled ||
        kind == KeyEvents::KeyDeactivate || kind == KeyEvents::KeyActivate) {
      continue;
    }
    if (kind == KeyEvents::KeyUpdate) {
      Draw(t);
      continue;
    }
    break;
  }
  e.helpShowing = false;
  e.terminal = savedTerminal;
  e.width = savedWidth;
  e.rows = savedRows;
  e.scrollMargin = savedMargin;
  ANSITerm::DisposeTerminal(t);
  Toolbox::DisposeWindow(w);
  if (e.current != nullptr) {
    EditWindows::SaveWindowState();
    EditWindows::EnterBuffer(e.current);
    if (e.window != nullptr) Toolbox::SelectWindow(e.window);
    RedrawScreen();
  }
}

} // namespace Editor
