#include "tools/Notebook.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/Menus.h"
#include "platform/Alerts.h"
#include "platform/Dates.h"
#include "platform/Startup.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "textio/TextIO.h"
#include "tools/Printing.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

namespace Notebook {

namespace {

using ANSITerm::TextWindow;
using Toolbox::Rect;

using base::kNameHigh, base::kPathHigh, base::kLineHigh;
constexpr std::int32_t kFontNumber = 22; // "Courier New"
constexpr std::int32_t kStandardSize = 10;
// The shell's zoom steps.
constexpr std::int32_t kZoomSizes[] = {7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32};
constexpr std::int32_t kNumberWidth = 5; // line numbers up to the longest log's

constexpr char kSavingFailed[] = "Saving Failed: ";
constexpr char kNoTemporaryBuffer[] = "Unable to create temporary buffer.";
constexpr char kMergeFailed[] = "Merge failed";
constexpr char kMergedFile[] = "Merged file: ";

// The menu's items whose check marks or texts follow the options.
struct Items {
  std::int32_t clearWhenSaved = 0;
  std::int32_t setLength = 0;
  std::int32_t lineNumbers = 0;
  std::int32_t bufferedOutput = 0;
};

struct State {
  bool initialised = false;
  Buffer::Ref log = nullptr;
  Toolbox::Window window = nullptr;
  TextWindow* terminal = nullptr;
  char name[kNameHigh + 1] = {};
  char fileName[kPathHigh + 1] = {};
  std::int32_t maxLines = kStartLength;
  bool clearWhenSaved = false;
  bool lineNumbers = false;
  std::int32_t endOfLine = 2;
  bool fileFormatItem = false;
  bool openItem = false;
  std::int32_t menu = 0;
  std::int32_t endOfLineMenu = 0;
  Items items;
  Frame frame = kDefaultFrame;
  std::int32_t topLine = 1;
  bool follow = true;   // the view shows the log's end as it grows
  bool pending = false; // lines were logged since the view was drawn
  KeyHook hook = nullptr;
};
State state;

enum class MergeResult { Merged, NoBuffer, ReadFailed };

std::int32_t SizeOf(std::int32_t percent) {
  return static_cast<std::int32_t>(std::lround(kStandardSize * percent / 100.0));
}

// "Notebook_" and the date and time of the moment: 2024/01/15 09:30:00.
void MakeName() {
  char date[Dates::kDateHigh + 1];
  Dates::DateToText(Dates::Now(), date, true, false);
  Strings::Assign(state.name, "Notebook_");
  Strings::Append(state.name, date);
}

// The name plus ".txt", with "-" for the characters that separate directories in a file
// name ("/" and ":" of the date and time), so that the file lies in the current directory.
void DefaultFileName(VarChars file) {
  Strings::Assign(file, state.name);
  for (std::size_t i = 0; i < Strings::Length(file); ++i)
    if (file[i] == '/' || file[i] == ':' || file[i] == '\\') file[i] = '-';
  Strings::Append(file, ".txt");
}

// The first line the view may show: the one that puts the last line in the last row.
std::int32_t LastTop() {
  const std::int32_t rows = state.terminal != nullptr ? std::max(1, state.terminal->rows) : 1;
  return std::max(1, Lines::Count(state.log) - rows + 1);
}

void ScrollTo(std::int32_t top) {
  state.topLine = std::clamp(top, 1, LastTop());
  state.follow = state.topLine >= LastTop();
  Redraw();
}

std::int32_t Page() {
  return state.terminal != nullptr ? std::max(1, state.terminal->rows - 1) : 1;
}

void UpdateProc(TextWindow*) { Redraw(); }

void ScrollProc(TextWindow*, bool vertical, std::uint32_t part, std::int32_t thumb) {
  if (!vertical) return;
  switch (part) {
  case Events::kLineUp:
    ScrollTo(state.topLine - 1);
    break;
  case Events::kLineDown:
    ScrollTo(state.topLine + 1);
    break;
  case Events::kPageUp:
    ScrollTo(state.topLine - Page());
    break;
  case Events::kPageDown:
    ScrollTo(state.topLine + Page());
    break;
  case Events::kThumbPosition:
    ScrollTo(thumb);
    break;
  default:
    break;
  }
}

// A line was logged: the view is drawn again when the window is next updated.
void Logged() {
  state.pending = true;
  if (state.window != nullptr && Toolbox::IsVisible(state.window))
    Toolbox::MarkForUpdate(state.window, Toolbox::GetPortRect(state.window));
}

void Hide() {
  TextIO::EndLine();
  RemoveMenu();
  Toolbox::HideWindow(state.window);
  // The text being edited takes over.
  if (Toolbox::Window w = Editor::EditWindow(); w != nullptr && Toolbox::IsVisible(w))
    Toolbox::SelectWindow(w);
}

void ShowChecks() {
  Menus::SetCheck(state.menu, state.items.clearWhenSaved, state.clearWhenSaved);
  Menus::SetCheck(state.menu, state.items.lineNumbers, state.lineNumbers);
  Menus::SetCheck(state.menu, state.items.bufferedOutput, TextIO::Logging());
  for (std::int32_t mode = 0; mode < 3; ++mode)
    Menus::SetCheck(state.endOfLineMenu, mode + 1, mode == state.endOfLine);
}

void LengthText(base::VarChars text) {
  Strings::Assign(text, "Set Length... (");
  NumberOut::AppendInt(state.maxLines, text, 0);
  Strings::Append(text, ")");
}

MergeResult MergeFile(Chars file, bool withHeader) {
  Buffer::Ref temp = Buffer::Create(kMergePath, Buffer::BufferKind::Text);
  if (temp == nullptr) {
    Alerts::Message(kNoTemporaryBuffer);
    return MergeResult::NoBuffer;
  }
  if (FileSystem::LoadText(file, temp) != FileSystem::kNoError) {
    Buffer::Delete(temp);
    return MergeResult::ReadFailed;
  }
  TextIO::EndLine();
  if (withHeader) {
    char header[kLineHigh + 1];
    Strings::Assign(header, kMergedFile);
    Strings::Append(header, file);
    static_cast<void>(Lines::Append(state.log, kMergeSeparator));
    static_cast<void>(Lines::Append(state.log, header));
  }
  static_cast<void>(Lines::AppendText(state.log, temp));
  Buffer::Delete(temp);
  Logged();
  return MergeResult::Merged;
}

// ---- The menu's procedures ----

void SaveItem() { static_cast<void>(Save()); }
void SaveAsItem() { static_cast<void>(SaveAs()); }
void MergeItem() {
  char file[kPathHigh + 1] = {};
  if (!Toolbox::AskFileName(1, "Merge to Notebook:", "*.txt", file)) return;
  if (MergeFile(file, true) == MergeResult::ReadFailed) Alerts::Message(kMergeFailed);
}
void PrintItem() {
  TextIO::EndLine();
  Printing::PrintText(state.log);
}
void ClearWhenSavedItem() { SetClearWhenSaved(!state.clearWhenSaved); }
void LineNumbersItem() { SetLineNumbers(!state.lineNumbers); }
void BufferedOutputItem() { SetBufferedOutput(!TextIO::Logging()); }
template <std::int32_t Mode> void EndOfLineItem() { SetEndOfLine(Mode); }

std::int32_t Add(const char* text, Menus::Proc proc) {
  Menus::AppendItem(state.menu, base::CharsOf(text));
  const std::int32_t item = Menus::CountItems(state.menu);
  if (proc != nullptr) Menus::SetProcedure(state.menu, item, proc);
  return item;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  Toolbox::Init();
  Alerts::Init();
  Menus::Init();
  TextIO::Init();
  Printing::Init();
}

// ---- Opening ----

Rect Placement(const Frame& frame, double scale, const Rect& client) {
  auto scaled = [scale](std::int32_t x) {
    return static_cast<std::int32_t>(std::lround(x * scale));
  };
  const std::int32_t width = scaled(frame.width), height = scaled(frame.height);
  Rect r{scaled(frame.left), scaled(frame.top), 0, 0};
  r.right = r.left + width;
  r.bottom = r.top + height;
  if (client.Width() < 100 || client.Height() < 100) return r;
  const Rect area{client.left + scaled(4), client.top + scaled(6), client.right,
                  client.bottom - scaled(44)};
  const std::int32_t w = std::min(width, area.Width()), h = std::min(height, area.Height());
  r.left = std::clamp(r.left, area.left, std::max(area.left, area.right - w));
  r.top = std::clamp(r.top, area.top, std::max(area.top, area.bottom - h));
  r.right = r.left + w;
  r.bottom = r.top + h;
  return r;
}

namespace {

// The window at the Notebook's frame, hidden until it is shown.
bool MakeWindow() {
  // Over the windows already open, their captions left in view.
  const Rect r = Toolbox::ClearOfCaptions(
      Toolbox::kDocumentWindow,
      Placement(state.frame, Startup::ScreenScale(), Toolbox::FrameClientRect()));
  const Toolbox::Port saved = Toolbox::GetPort();
  state.window = Toolbox::NewWindow(r, state.name, false, Toolbox::kDocumentWindow, true, nullptr);
  if (state.window != nullptr) {
    Toolbox::SetPort(state.window);
    Toolbox::TextFont(kFontNumber);
    Toolbox::TextSize(kStandardSize);
    state.terminal = ANSITerm::NewTerminal(true, state.window);
    if (state.terminal == nullptr) Toolbox::DisposeWindow(state.window);
  }
  Toolbox::SetPort(saved.window);
  if (state.window == nullptr) return false;
  state.terminal->caretEnabled = false;
  ANSITerm::SetWindowProcs(state.terminal, UpdateProc, UpdateProc, nullptr);
  ANSITerm::SetScrollProc(state.terminal, ScrollProc);
  return true;
}

} // namespace

bool Open(const Frame& frame, bool show) {
  Init();
  if (state.log == nullptr) {
    MakeName();
    state.log = Buffer::Create(kLogPath, Buffer::BufferKind::Text);
    if (state.log == nullptr) return false;
    Lines::SetLimit(state.log, state.maxLines);
    state.frame = frame.width > 0 && frame.height > 0 ? frame : kDefaultFrame;
    TextIO::SetLogBuffer(state.log);
    TextIO::SetLogHook(Logged);
  }
  if (!show || Toolbox::IsVisible(state.window)) return true;
  if (state.window == nullptr && !MakeWindow()) return false;
  Toolbox::ShowWindow(state.window);
  Redraw();
  return true;
}

bool IsOpen() { return state.log != nullptr; }

void Show() {
  if (!Open(Frame{}, true)) return;
  Toolbox::SelectWindow(state.window);
  Redraw();
}

Buffer::Ref LogBuffer() { return state.log; }
Toolbox::Window NotebookWindow() { return state.window; }
void Name(VarChars name) { Strings::Assign(name, state.name); }
void FileName(VarChars name) { Strings::Assign(name, state.fileName); }
void SetFileName(Chars name) { Strings::Assign(state.fileName, name); }

// ---- The commands ----

bool Save() {
  if (state.log == nullptr) return false;
  if (state.fileName[0] == 0) DefaultFileName(state.fileName);
  const std::int32_t mode = FileSystem::LineEndMode();
  FileSystem::SetLineEndMode(state.endOfLine);
  const std::int32_t result = FileSystem::StoreText(state.log, state.fileName);
  FileSystem::SetLineEndMode(mode);
  if (result != FileSystem::kNoError) {
    char text[kLineHigh + 1];
    char reason[kLineHigh + 1];
    Strings::Assign(text, kSavingFailed);
    FileSystem::ErrorText(result, reason);
    Strings::Append(text, reason);
    Alerts::AlertBeep();
    Alerts::Message(text);
    return false;
  }
  if (state.clearWhenSaved) Clear();
  return true;
}

bool SaveAs() {
  char file[kPathHigh + 1];
  Strings::Assign(file, state.fileName);
  if (file[0] == 0) DefaultFileName(file);
  if (!Toolbox::AskFileName(2, "SAVE Notebook AS:", "*.txt", file)) return false;
  SetFileName(file);
  return Save();
}

bool Merge(Chars file, bool withHeader) {
  return state.log != nullptr && MergeFile(file, withHeader) == MergeResult::Merged;
}

void Clear() {
  TextIO::EndLine();
  Lines::Delete(state.log, 1, Lines::Count(state.log));
  state.topLine = 1;
  state.follow = true;
  Redraw();
}

void SetLength() {
  const std::int32_t now = state.maxLines;
  const std::int32_t answer = Alerts::AskInt("Maximal Lines in Notebook:", now);
  if (answer != now) SetMaxLines(answer);
}

void SetMaxLines(std::int32_t lines) {
  state.maxLines = std::clamp(lines, kMinLength, kMaxLength);
  if (state.log != nullptr) Lines::SetLimit(state.log, state.maxLines);
  char text[40];
  LengthText(text);
  Menus::SetItemText(state.menu, state.items.setLength, text);
  Redraw();
}

std::int32_t MaxLines() { return state.maxLines; }

void SetClearWhenSaved(bool on) {
  state.clearWhenSaved = on;
  ShowChecks();
}
bool ClearWhenSaved() { return state.clearWhenSaved; }

void SetLineNumbers(bool on) {
  state.lineNumbers = on;
  ShowChecks();
  Redraw();
}
bool LineNumbers() { return state.lineNumbers; }

void SetBufferedOutput(bool on) {
  if (on && state.log != nullptr) TextIO::SetLogBuffer(state.log);
  TextIO::SetLogging(on);
  ShowChecks();
}
bool BufferedOutput() { return TextIO::Logging(); }

void SetEndOfLine(std::int32_t mode) {
  if (mode < 0 || mode > 2) return;
  state.endOfLine = mode;
  ShowChecks();
}
std::int32_t EndOfLine() { return state.endOfLine; }

namespace {

void SetTextSize(std::int32_t size) {
  if (state.terminal == nullptr || size == state.window->port.fontSize) return;
  state.window->port.fontSize = size;
  ANSITerm::Relayout(state.terminal);
  Redraw();
}

} // namespace

void FontSize() {
  if (state.window == nullptr) return;
  const std::int32_t now =
      static_cast<std::int32_t>(std::lround(state.window->port.fontSize * 100.0 / kStandardSize));
  const std::int32_t answer = Alerts::AskInt("Text Size in % (60..120):", now);
  if (answer == now) return;
  SetTextSize(SizeOf(std::clamp(answer, kMinPercent, kMaxPercent)));
}

void ZoomIn() {
  if (state.window == nullptr) return;
  const std::int32_t now = state.window->port.fontSize;
  for (const std::int32_t s : kZoomSizes) {
    if (s > now) {
      SetTextSize(s);
      return;
    }
  }
}

void ZoomOut() {
  if (state.window == nullptr) return;
  const std::int32_t now = state.window->port.fontSize;
  std::int32_t next = now;
  for (const std::int32_t s : kZoomSizes)
    if (s < now) next = s;
  SetTextSize(next);
}

// ---- The menu ----

void SetMenuExtras(bool fileFormat, bool openNotebook) {
  state.fileFormatItem = fileFormat;
  state.openItem = openNotebook;
}

void InsertMenu() {
  RemoveMenu();
  Menus::NewMenu(state.menu, "Notebook");
  if (state.menu == 0) return;
  Add("Save", SaveItem);
  Add("Save As...", SaveAsItem);
  Add("Merge...", MergeItem);
  Add("Print...", PrintItem);
  Add("-", nullptr);
  state.items.clearWhenSaved = Add("Clear when Saved", ClearWhenSavedItem);
  Add("Clear", Clear);
  char text[40];
  LengthText(text);
  state.items.setLength = Add(text, SetLength);
  state.items.lineNumbers = Add("Line Numbers", LineNumbersItem);
  state.items.bufferedOutput = Add("Buffered Output", BufferedOutputItem);
  Add("-", nullptr);
  Add("Font Size...", FontSize);
  if (state.fileFormatItem) {
    const std::int32_t item = Add("File Format", nullptr);
    Menus::NewMenu(state.endOfLineMenu, "EndOfLine");
    Menus::AppendItem(state.endOfLineMenu, base::CharsOf(kEndOfLineItems[0]));
    Menus::AppendItem(state.endOfLineMenu, base::CharsOf(kEndOfLineItems[1]));
    Menus::AppendItem(state.endOfLineMenu, base::CharsOf(kEndOfLineItems[2]));
    Menus::SetProcedure(state.endOfLineMenu, 1, EndOfLineItem<0>);
    Menus::SetProcedure(state.endOfLineMenu, 2, EndOfLineItem<1>);
    Menus::SetProcedure(state.endOfLineMenu, 3, EndOfLineItem<2>);
    Menus::AttachSubmenu(state.endOfLineMenu, state.menu, item);
  }
  Add("-", nullptr);
  Add("Zoom In", ZoomIn);
  Add("Zoom Out", ZoomOut);
  if (state.openItem) Add("Open Notebook", Show);
  ShowChecks();
  Menus::InsertIntoBar(state.menu);
  Menus::UpdateMenus(true);
}

void RemoveMenu() {
  if (state.menu == 0) return;
  Menus::DeleteMenu(state.endOfLineMenu);
  Menus::DeleteMenu(state.menu);
  state.items = Items{};
  Toolbox::DrawMenuBar();
}

std::int32_t MenuNumber() { return state.menu; }

// ---- The window's keys ----

void SetKeyHook(KeyHook hook) { state.hook = hook; }

bool HandleKey(std::uint8_t key, std::uint8_t modifiers, char ch) {
  using namespace KeyEvents;
  if (state.hook != nullptr) state.hook(key, modifiers, ch);
  if (key >= KeyF4 && key <= KeyF15) return true;
  // Mouse and window keys carry their window; a window of another's coming to front
  // hands control to it.
  const bool windowKey = key >= KeyMouse && key <= KeyWindowClose;
  if (windowKey && ANSITerm::EventWindow() != state.window)
    return key != KeyActivate && key != KeyWindow;
  switch (key) {
  case KeyWindowClose:
    Hide();
    return false;
  case KeyActivate:
  case KeyWindow:
    TextIO::EndLine();
    break;
  default:
    if (state.pending) Redraw();
    break;
  }
  switch (key) {
  case KeyCursorUp:
    ScrollTo(state.topLine - 1);
    break;
  case KeyCursorDown:
    ScrollTo(state.topLine + 1);
    break;
  case KeyPageUp:
    ScrollTo(state.topLine - Page());
    break;
  case KeyPageDown:
    ScrollTo(state.topLine + Page());
    break;
  case KeyHome:
    ScrollTo(1);
    break;
  case KeyEnd:
    ScrollTo(LastTop());
    break;
  case KeyUpdate:
  case KeyResized:
    Redraw();
    break;
  case KeyDeactivate:
    TextIO::EndLine();
    // The menu goes with the Notebook's place in front, not with the frame's activation:
    // a dialog of the Notebook's own deactivates the frame, which the platform need not
    // activate again when the dialog closes.
    if (Toolbox::FrontWindow() != state.window) RemoveMenu();
    break;
  case KeyActivate:
  case KeyWindow:
    InsertMenu();
    Redraw();
    break;
  default:
    break;
  }
  return true;
}

void Run() {
  if (state.window == nullptr || !Toolbox::IsVisible(state.window) ||
      Toolbox::FrontWindow() != state.window)
    return;
  // The Notebook takes over: the activation went to the loop that ran before.
  TextIO::EndLine();
  InsertMenu();
  ANSITerm::ShowActive(state.terminal, true);
  Redraw();
  for (;;) {
    std::uint8_t key = 0;
    std::uint8_t modifiers = 0;
    char ch = 0;
    ANSITerm::ReadKey(state.terminal, key, modifiers, ch);
    if (!HandleKey(key, modifiers, ch)) break;
  }
  RemoveMenu();
}

void Redraw() {
  TextWindow* t = state.terminal;
  if (t == nullptr || !Toolbox::IsVisible(state.window)) return;
  state.pending = false;
  const Toolbox::Port saved = Toolbox::GetPort();
  const std::int32_t count = Lines::Count(state.log);
  state.topLine = state.follow ? LastTop() : std::clamp(state.topLine, 1, LastTop());
  ANSITerm::ClearTerminal(t);
  const auto columns = static_cast<std::size_t>(std::max(0, t->columns));
  for (std::int32_t row = 1; row <= t->rows; ++row) {
    const std::int32_t line = state.topLine + row - 1;
    if (line > count) break;
    std::string shown;
    if (state.lineNumbers) {
      char number[16] = {};
      NumberOut::AppendInt(line, number, kNumberWidth);
      shown = number;
      shown += ' ';
    }
    shown += Lines::View(state.log, line);
    if (shown.size() > columns) shown.resize(columns);
    if (shown.empty()) continue;
    ANSITerm::GotoRowCol(t, row, 1);
    ANSITerm::WriteString(t, shown);
  }
  ANSITerm::FlushOutput(t);
  Toolbox::SetScrollRange(t->vertical, 1, LastTop());
  Toolbox::SetScrollValue(t->vertical, state.topLine);
  if (saved.window != nullptr) Toolbox::SetPort(saved.window);
}

} // namespace Notebook
