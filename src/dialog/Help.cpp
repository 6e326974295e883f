// Tool tips: the help file read into "HelpFileBuffer" and split in place into titles
// and texts, the size of each tip measured with the tips' font in the tip window's
// port (long texts wrapped into lines), and the tip window shown next to the mouse by
// the null events of the dialogs' event step.
#include "dialog/Help.h"

#include <algorithm>
#include <cstring>

#include "base/Charset.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/DialogInternal.h"
#include "platform/Alerts.h"
#include "platform/Events.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "windows/KeyEvents.h"

namespace Help {

using namespace Dialog;
using namespace Dialog::Internal;
using namespace KeyEvents;

namespace {

constexpr char kBufferName[] = "HelpFileBuffer";
constexpr char kShellDirectory[] = "/Shell/";
constexpr char kRootDirectory[] = "/";
constexpr char kFontTag[] = "FONT:";
constexpr char kWindowName[] = "Help";
constexpr char kNoBuffer[] = "HelpFile - Unable to create output buffer.";
constexpr char kEmpty[] = "HelpFile - file is empty.";
constexpr char kNoAddress[] = "HelpFile - Unable to address output buffer.";
constexpr char kNoWindow[] = "HelpFile - window could not be created.";
constexpr char kUnexpected[] = "HelpFile - unexpected error.";
constexpr char kLoading[] = "Loading \"";
constexpr char kLoadingEnd[] = "\"";
constexpr char kFileEmpty[] = ": file is empty.";
constexpr char kTooMany[] = " ## Error: too many tool tips ## ";
constexpr char kLinePrefix[] = "HelpFile line ";
constexpr char kNoSeparator[] = ": no \";\" after the item address";
constexpr char kPositionX[] = "x = ";
constexpr char kPositionY[] = ",  y = ";

constexpr std::size_t kFontHigh = 39;
constexpr std::size_t kTitleHigh = 127;
constexpr std::size_t kTextHigh = 511;
using base::kLineHigh, base::kPathHigh;
constexpr std::int32_t kTipSize = 10;
constexpr std::int32_t kDefaultFont = 1;
// The tip window: its default size in points, the room around texts, the widest text
// that sets the width of its own, the largest window, and the title's height.
constexpr std::int32_t kDefaultWidth = 96, kDefaultHeight = 28;
constexpr std::int32_t kMargin = 6;
constexpr std::int32_t kOwnWidth = 144;
constexpr std::int32_t kMaxSize = 400;
constexpr std::int32_t kDialogMargin = 18;
constexpr std::int32_t kWrapRoom = 32;
constexpr std::int32_t kTitleHeight = 14;
// The window lies this far right of and below the mouse.
constexpr std::int32_t kRight = 18, kBelow = 4;
constexpr std::uint32_t kShowTime = 10000;

enum Items : std::int16_t { kTitle = 1, kText = 2, kItems = kText };

struct State {
  bool initialised = false;
  bool on = false;
  bool loaded = false;
  MarkProc mark = nullptr;
  Buffer::Ref buffer = nullptr;
  Tip tips[kMaxTips + 1] = {};
  std::int32_t count = 0;
  char fontName[kFontHigh + 1] = {};
  std::int32_t font = -1;
  DialogRecord window;
  DialogItem* items[kItems + 1] = {};
  bool made = false;
  char title[kTitleHigh + 1] = {};
  char text[kTextHigh + 1] = {};
  // The last test: where the mouse was, whether control was held, until when the tip shows.
  Point last{-32768, -32768};
  bool lastControl = false;
  bool shown = false;
  std::uint32_t deadline = 0;
  // The dialog that was current when the event step took its last event.
  DialogRecord* before = nullptr;
};
State state;

void Report(Chars a, Chars b = Chars(), Chars c = Chars()) {
  char line[kLineHigh + 1];
  Strings::Assign(line, a);
  Strings::Append(line, b);
  Strings::Append(line, c);
  Alerts::Message(line);
}

void LoadingReport(Chars name, Chars rest) {
  char text[kLineHigh + 1];
  Strings::Assign(text, kLoading);
  Strings::Append(text, name);
  Strings::Append(text, kLoadingEnd);
  Report(text, rest);
}

std::int32_t FontOfTips() { return state.font >= 0 ? state.font : kDefaultFont; }

// The text the title item shows; the text's lines are drawn by its frame procedure.
void DrawTipText(DialogRecord& d, std::int16_t index) {
  Drawing drawing(d);
  if (!drawing.Ok()) return;
  const DialogItem& item = *d.items[index];
  UseItemFont(item);
  Toolbox::TextMode(Toolbox::kTextOr);
  Toolbox::FontInfo fi;
  Toolbox::GetFontInfo(fi);
  const std::int32_t lineHeight = fi.ascent + fi.descent + fi.leading;
  const Rect& r = item.rect;
  const Rect clip = Toolbox::CurrentState().clip;
  Rect inside;
  Toolbox::SectRect(clip, r, inside);
  Toolbox::ClipRect(inside);
  std::int32_t y = r.top + fi.ascent;
  for (const char* p = state.text; *p != 0;) {
    const char* end = std::strchr(p, '\r');
    const std::size_t n = end != nullptr ? std::size_t(end - p) : std::strlen(p);
    Toolbox::MoveTo(r.left, y);
    Toolbox::DrawString(std::string_view(p, n));
    y += lineHeight;
    p = end != nullptr ? end + 1 : p + n;
  }
  Toolbox::ClipRect(clip);
  Toolbox::TextMode(Toolbox::kTextCopy);
}

void Layout(DialogRecord& d) {
  DefineItemStyled(d, kTitle, ItemKind::Text, "Title", false, "", 3, 15, kMaxSize, kTitleHeight, 0,
                   0, static_cast<std::uint16_t>(FontOfTips()), kTipSize, kBold, Alignment::Left,
                   false, 0xFFFF, 0xFFFF, 0xE0E0);
  BindText(d, kTitle, state.title, kTitleHigh);
  DefineItemStyled(d, kText, ItemKind::Text, "Text", false, "", 3, 16 + 387, kMaxSize, 387, 0, 0,
                   static_cast<std::uint16_t>(FontOfTips()), kTipSize, 0, Alignment::Left, false,
                   0xFFFF, 0xFFFF, 0xE0E0);
  SetItemProcs(d, kText, nullptr, nullptr, nullptr, DrawTipText);
  d.items[0]->backCol = RGBColor{0xFFFF, 0xFFFF, 0xE0E0};
}

// The tip window's own events (its updates) make it current for the event step; the
// dialog the user works with becomes current again, so that its clicks stay its own.
void GiveBack(DialogRecord&, std::uint8_t, char, std::uint8_t) {
  if (state.before != nullptr && state.before != &state.window) SetCurrent(*state.before);
}

// The tip window, made at 1,1 with the default size on first use; hidden.
bool MakeWindow() {
  DialogRecord& d = state.window;
  if (state.made && d.open) return true;
  if (!state.made) {
    if (!Dialog::Init(d, state.items, kItems, false, false, kWindowName, kWindowName,
                      static_cast<std::uint16_t>(FontOfTips()), kTipSize, kItems, 1,
                      1 + kDefaultHeight, kDefaultWidth, kDefaultHeight, 0))
      return false;
    DialogProcs procs;
    procs.eventAfter = GiveBack;
    SetProcs(d, procs, 0);
    state.made = true;
  }
  WindowOptions options;
  options.visible = false;
  options.closeBox = false;
  options.floating = true;
  // The tip window never takes the events of the dialog the user works with.
  DialogRecord& current = Current();
  const bool open = Dialog::Open(d, Toolbox::kPlainWindow, Layout, nullptr, false, options, false);
  SetCurrent(current);
  return open;
}

void Hide() {
  if (state.shown && state.window.open) Toolbox::HideWindow(state.window.window);
  if (state.window.open) state.window.shown = false;
  state.shown = false;
}

// ---- Measuring ----

struct Measure {
  std::int32_t font;
  std::int32_t Width(std::string_view s, bool bold) const {
    Toolbox::TextFont(font);
    Toolbox::TextSize(kTipSize);
    Toolbox::TextFace(bold ? kBold : 0);
    return Toolbox::TextWidth(s);
  }
  // The height that shows the title and lines of text whole: a platform font may have
  // lines taller than the window's usual room allows for.
  std::int32_t Fitting(std::int32_t height, std::int32_t lines) const {
    return std::min(kMaxSize, std::max(height, TitleHeight() + 4 + lines * LineHeight()));
  }
  std::int32_t LineHeight(bool bold = false) const {
    Toolbox::TextFont(font);
    Toolbox::TextSize(kTipSize);
    Toolbox::TextFace(bold ? kBold : 0);
    Toolbox::FontInfo fi;
    Toolbox::GetFontInfo(fi);
    return fi.ascent + fi.descent + fi.leading;
  }
  // The title's line: its bold face whole, at least the title item's height.
  std::int32_t TitleHeight() const { return std::max(kTitleHeight, LineHeight(true)); }
};

// Breaks text at blanks into lines of at most width pixels (CR at each break when write
// is set); the number of lines and the widest.
std::int32_t Wrap(char* text, std::int32_t width, bool write, const Measure& m,
                  std::int32_t& widest) {
  std::int32_t lines = 1;
  widest = 0;
  std::size_t start = 0, n = std::strlen(text);
  while (start < n) {
    // The longest run of words from start that fits; a word alone always does.
    std::size_t end = start, fitted = start;
    while (end < n) {
      std::size_t next = end;
      while (next < n && text[next] == ' ') ++next;
      while (next < n && text[next] != ' ') ++next;
      if (fitted > start && m.Width(std::string_view(text + start, next - start), false) > width)
        break;
      fitted = end = next;
    }
    widest = std::max(widest, m.Width(std::string_view(text + start, fitted - start), false));
    if (fitted >= n) break;
    std::size_t blank = fitted;
    while (blank < n && text[blank] == ' ') ++blank;
    if (blank >= n) break;
    if (write) text[fitted] = '\r';
    start = blank;
    ++lines;
  }
  return lines;
}

// The width of the dialog an item belongs to.
std::int32_t DialogWidth(const DialogRecord& d) {
  if (d.open && Toolbox::IsWindow(d.window)) return Toolbox::GetPortRect(d.window).Width();
  return d.normal.rect.Width();
}

void SizeTip(Tip& tip, char* text, const DialogRecord& d, const Measure& m) {
  std::int32_t width = kDefaultWidth;
  const std::int32_t titleWidth = m.Width(tip.title, true) + kMargin;
  width = std::max(width, titleWidth);
  const std::int32_t textWidth = m.Width(text, false) + kMargin;
  if (textWidth <= kOwnWidth && textWidth > width) width = textWidth;
  if (textWidth <= std::min(width, kMaxSize)) {
    // One line: the window scaled, and never narrower than the line.
    tip.width = std::min(kMaxSize, std::max(Scaled(width), textWidth));
    tip.height = m.Fitting(Scaled(kDefaultHeight), 1);
    return;
  }
  // The text wraps at blanks within the limit; the window is as wide as its widest line
  // (and the title), so that no line is cut.
  const std::int32_t limit =
      std::max(kDefaultWidth, std::min(DialogWidth(d) - kDialogMargin, kMaxSize));
  width = std::min(width, limit);
  std::int32_t widest = 0;
  for (std::int32_t steps = 0;
       width < limit && Wrap(text, width - kMargin, false, m, widest) > steps + 1; ++steps)
    width = std::min(limit, width + std::max(1, width / 4));
  const std::int32_t lines = Wrap(text, width - kMargin, true, m, widest);
  tip.width = std::min(kMaxSize, std::max(widest + kMargin, titleWidth));
  tip.height = m.Fitting(std::min(kMaxSize, (lines - 1) * m.LineHeight() + kWrapRoom), lines);
}

// ---- Reading the file ----

// The item an address names: a dialog's identifier, then two characters later the
// item's name or number.
DialogItem* Addressed(Chars address, DialogRecord*& dialog) {
  const std::size_t n = Strings::Length(address);
  if (n < 3 || address[0] == '@') return nullptr;
  char name[sizeof(DialogItem::name)];
  Strings::Assign(name, Chars(address.p + 2, n - 2));
  Strings::StripTrailing(name, ' ');
  const char id = Strings::Cap(address[0]);
  for (DialogRecord* d = Known(); d != nullptr; d = d->next) {
    if (d == &state.window || d->idChar == 0 || Strings::Cap(d->idChar) != id) continue;
    bool digits = name[0] != 0;
    std::int32_t number = 0;
    for (const char* p = name; *p != 0 && digits; ++p) {
      digits = *p >= '0' && *p <= '9';
      number = std::min(number * 10 + (*p - '0'), 99999);
    }
    for (std::int32_t i = 1; i <= d->highest; ++i) {
      if (digits ? i == number : Strings::Equal(d->items[i]->name, name)) {
        dialog = d;
        return d->items[i];
      }
    }
  }
  return nullptr;
}

void ClearTipNumbers() {
  for (DialogRecord* d = Known(); d != nullptr; d = d->next)
    for (std::int32_t i = 0; d->items != nullptr && i <= d->highest; ++i) d->items[i]->tip = 0;
}

// The file into the buffer with a zero after its last byte; false after an alert.
bool ReadFile(Chars fileName, char*& data, std::int32_t& size) {
  FileSystem::File f;
  std::int64_t length = 0;
  if (!FileSystem::Open(fileName, FileSystem::kRead, f)) {
    char reason[kLineHigh + 1] = ": ";
    char error[kLineHigh + 1];
    FileSystem::ErrorText(FileSystem::Result(), error);
    Strings::Append(reason, error);
    LoadingReport(fileName, reason);
    return false;
  }
  bool ok = FileSystem::Size(f, length) && length >= 0 && length < INT32_MAX;
  std::int32_t code = ok ? 0 : FileSystem::Result();
  size = ok ? static_cast<std::int32_t>(length) : 0;
  data = nullptr;
  if (ok && size > 0) {
    data = static_cast<char*>(Buffer::AllocateData(state.buffer, size + 1));
    std::int32_t count = size;
    if (data != nullptr) {
      ok = FileSystem::Read(f, count, std::span<char>(data, std::size_t(size)));
      if (!ok) code = FileSystem::Result();
      size = ok ? count : 0;
      data[size] = 0;
    }
  }
  static_cast<void>(FileSystem::Close(f));
  if (!ok) {
    char reason[kLineHigh + 1] = ": ";
    char error[kLineHigh + 1];
    FileSystem::ErrorText(code != 0 ? code : FileSystem::kUserError, error);
    Strings::Append(reason, error);
    LoadingReport(fileName, reason);
    return false;
  }
  if (size == 0) {
    Report(kEmpty);
    return false;
  }
  if (data == nullptr) {
    Report(kNoAddress);
    return false;
  }
  // A help file written in UTF-8 of the set holds those characters (no longer than
  // their UTF-8); any other is taken a byte a character.
  std::string text;
  if (Charset::FromHostText(std::string_view(data, std::size_t(size)), text) ==
      Charset::Coding::Utf8) {
    std::copy(text.begin(), text.end(), data);
    size = static_cast<std::int32_t>(text.size());
    data[size] = 0;
  }
  return true;
}

// The next line from at: zero-terminated in place; at moves past its end.
char* NextLine(char* data, std::int32_t size, std::int32_t& at) {
  if (at >= size) return nullptr;
  char* line = data + at;
  std::int32_t end = at;
  while (end < size && data[end] != '\r' && data[end] != '\n') ++end;
  at = end;
  if (at < size) {
    const char first = data[at];
    data[at++] = 0;
    if (at < size && (data[at] == '\r' || data[at] == '\n') && data[at] != first) data[at++] = 0;
  }
  return line;
}

void ReportLine(std::int32_t number, Chars what) {
  char line[kLineHigh + 1];
  Strings::Assign(line, kLinePrefix);
  NumberOut::AppendInt(number, line, 0);
  Strings::Append(line, what);
  TextIO::WriteLine(line);
}

void ReadTips(char* data, std::int32_t size) {
  std::int32_t at = 0, number = 0;
  char* line = nullptr;
  // The first line may name the font.
  if (size >= 5 && std::strncmp(data, kFontTag, 5) == 0) {
    line = NextLine(data, size, at);
    ++number;
    const char* face = line + 5;
    while (*face == ' ') ++face;
    Strings::Assign(state.fontName, base::CharsOf(face));
    const std::int32_t font = Toolbox::FontNumber(state.fontName);
    if (font >= 0) state.font = font;
  }
  const Measure m{FontOfTips()};
  while ((line = NextLine(data, size, at)) != nullptr) {
    ++number;
    char* first = std::strchr(line, ';');
    if (first == nullptr) {
      if (line[0] != 0) ReportLine(number, kNoSeparator);
      continue;
    }
    *first = 0;
    char* title = first + 1;
    char* text = std::strchr(title, ';');
    if (text != nullptr)
      *text++ = 0;
    else
      text = title + std::strlen(title);
    DialogRecord* dialog = nullptr;
    DialogItem* item = Addressed(base::CharsOf(line), dialog);
    if (item == nullptr) continue;
    if (state.count == kMaxTips) {
      TextIO::WriteLine(kTooMany);
      break;
    }
    // Titles and texts longer than the tip window's items are cut.
    if (std::strlen(title) > kTitleHigh) title[kTitleHigh] = 0;
    if (std::strlen(text) > kTextHigh) text[kTextHigh] = 0;
    Tip& tip = state.tips[++state.count];
    tip = Tip{title, text, 0, 0};
    item->tip = static_cast<std::uint16_t>(state.count);
    SizeTip(tip, text, *dialog, m);
  }
}

// ---- Showing tips ----

DialogRecord* DialogAt(Point global) {
  for (Toolbox::Window w : Toolbox::Windows()) {
    if (!Toolbox::IsVisible(w) || !Toolbox::PtInRect(global, Toolbox::GetWindowRect(w))) continue;
    DialogRecord* d = DialogOf(w);
    return d != &state.window ? d : nullptr;
  }
  return nullptr;
}

void Show(DialogRecord& d, std::int32_t index, bool control, Point global) {
  if (!MakeWindow()) return;
  const DialogItem& item = *d.items[index];
  std::int32_t width = 0, height = 0;
  if (control) {
    const Rect frame = Toolbox::GetWindowRect(d.window);
    const char id[3] = {Strings::Cap(d.idChar), ' ', 0};
    Strings::Assign(state.title, id);
    Strings::Append(state.title, item.name);
    Strings::Append(state.title, " (");
    NumberOut::AppendInt(index, state.title, 0);
    Strings::Append(state.title, ")");
    Strings::Assign(state.text, kPositionX);
    NumberOut::AppendInt(global.h - frame.left, state.text, 0);
    Strings::Append(state.text, kPositionY);
    NumberOut::AppendInt(global.v - frame.top, state.text, 0);
    Drawing drawing(state.window);
    const Measure m{FontOfTips()};
    width = std::max({kDefaultWidth, m.Width(state.title, true) + kMargin,
                      m.Width(state.text, false) + kMargin});
    width = std::min(kMaxSize, Scaled(width));
    height = m.Fitting(Scaled(kDefaultHeight), 1);
  } else {
    const Tip& tip = state.tips[item.tip];
    Strings::Assign(state.title, base::CharsOf(tip.title));
    Strings::Assign(state.text, base::CharsOf(tip.text));
    width = tip.width;
    height = tip.height;
  }
  DialogRecord& h = state.window;
  // The items draw in the font the tips were measured in (a help file's FONT: line may
  // have named it after the window was made).
  h.items[kTitle]->font = h.items[kText]->font = static_cast<std::uint16_t>(FontOfTips());
  std::int32_t titleHeight = kTitleHeight;
  {
    Drawing drawing(h);
    titleHeight = Measure{FontOfTips()}.TitleHeight();
  }
  h.items[kTitle]->rect = Rect{3, 1, width - 3, 1 + titleHeight};
  h.items[kText]->rect = Rect{3, 2 + titleHeight, width - 3, height - 2};
  const Rect client = Toolbox::FrameClientRect();
  std::int32_t left = global.h + kRight, top = global.v + kBelow;
  if (left + width > client.right) left = global.h - kRight - width;
  if (top + height > client.bottom) top = global.v - kBelow - height;
  Toolbox::MoveWindow(h.window, left, top, false);
  Toolbox::SizeWindow(h.window, width, height);
  Toolbox::ShowWindow(h.window);
  Toolbox::RaiseWindow(h.window);
  h.shown = true;
  DrawDialog(h);
  state.shown = true;
  state.deadline = Toolbox::TickCount() + kShowTime;
}

// A null event: a new mouse position or control state looks for the item under the
// mouse; an unchanged one hides the tip once its time is over.
void Test() {
  Point global;
  Events::GetMouse(global);
  Toolbox::LocalToGlobal(global);
  const bool control = (KeyEvents::CurrentModifiers() & kModControl) != 0;
  if (global == state.last && control == state.lastControl) {
    if (state.shown && static_cast<std::int32_t>(Toolbox::TickCount() - state.deadline) >= 0)
      Hide();
    return;
  }
  state.last = global;
  state.lastControl = control;
  DialogRecord* d = DialogAt(global);
  if (d != nullptr && d->items != nullptr) {
    const Rect frame = Toolbox::GetWindowRect(d->window);
    const Point local{global.h - frame.left, global.v - frame.top};
    for (std::int32_t i = 1; i <= d->highest; ++i) {
      const DialogItem& item = *d->items[i];
      const bool candidate =
          control ? Shown(*d, i) : item.tip >= 1 && item.tip <= state.count && Shown(*d, i);
      if (candidate && Toolbox::PtInRect(local, item.rect)) {
        Show(*d, i, control, global);
        return;
      }
    }
  }
  Hide();
}

void Forget() {
  Point global;
  Events::GetMouse(global);
  Toolbox::LocalToGlobal(global);
  state.last = global;
  state.lastControl = (KeyEvents::CurrentModifiers() & kModControl) != 0;
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Dialog::Init();
  SetTipProc(TipEvent);
}

void SetMarkProc(MarkProc proc) { state.mark = proc; }

void SetTipsOn(bool on) {
  Init();
  state.on = on;
  if (!on) {
    Hide();
    state.last = Point{-32768, -32768};
    state.lastControl = false;
  }
  if (state.mark != nullptr) state.mark(on);
}

void Toggle() { SetTipsOn(!state.on); }
bool TipsOn() { return state.on; }
bool Loaded() { return state.loaded; }

bool Load(Chars fileName) {
  Init();
  Hide();
  state.loaded = false;
  state.count = 0;
  ClearTipNumbers();
  if (state.buffer != nullptr) Buffer::Delete(state.buffer);
  char path[kPathHigh + 1];
  Strings::Assign(path, Buffer::Find(kShellDirectory) != nullptr ? Chars(kShellDirectory)
                                                                 : Chars(kRootDirectory));
  Strings::Append(path, kBufferName);
  if (Buffer::Ref old = Buffer::Find(path)) Buffer::Delete(old);
  state.buffer = Buffer::Create(path, Buffer::BufferKind::Block);
  if (state.buffer == nullptr) {
    Report(kNoBuffer);
    return false;
  }
  char* data = nullptr;
  std::int32_t size = 0;
  if (!ReadFile(fileName, data, size)) return false;
  if (!MakeWindow()) {
    Report(kNoWindow);
    return false;
  }
  {
    Drawing drawing(state.window);
    if (!drawing.Ok()) {
      Report(kUnexpected);
      return false;
    }
    ReadTips(data, size);
  }
  if (state.count == 0) {
    LoadingReport(fileName, kFileEmpty);
    return false;
  }
  state.loaded = true;
  return true;
}

void Close() {
  Init();
  Hide();
  if (state.buffer != nullptr) Buffer::Delete(state.buffer);
  state.buffer = nullptr;
  state.loaded = false;
  state.count = 0;
  ClearTipNumbers();
  if (state.made) Dialog::Dispose(state.window);
  state.made = false;
  SetTipsOn(false);
}

void TipEvent(std::uint8_t code, std::uint8_t, Toolbox::Window w) {
  state.before = &Current();
  if (!state.on) return;
  // Showing, moving and sizing the tip window brings events of its own.
  if (w != nullptr && state.made && w == state.window.window) return;
  if (ModalRunning()) {
    Hide();
    return;
  }
  switch (code) {
  case KeyNone:
    Test();
    break;
  case KeyHandled:
  case KeyDeactivate:
  case KeyActivate:
  case KeyUpdate:
    break;
  default:
    Hide();
    Forget();
    break;
  }
}

std::int32_t TipCount() { return state.count; }
const Tip* TipAt(std::int32_t number) {
  return number >= 1 && number <= state.count ? &state.tips[number] : nullptr;
}
std::int32_t TipFont() { return state.font; }
DialogRecord* TipWindow() { return state.made ? &state.window : nullptr; }
bool TipShown() { return state.shown; }
const char* ShownTitle() { return state.title; }
const char* ShownText() { return state.text; }

std::int32_t Scaled(double points) { return Round(points * Scale()); }

} // namespace Help
