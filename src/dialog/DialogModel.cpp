// The dialog model: records, items and their templates, lists, panes, opening and
// closing, and reading and writing the items' variables.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/DialogInternal.h"
#include "editor/Editor.h"
#include "editwin/ShellStart.h"
#include "platform/Alerts.h"
#include "platform/Startup.h"
#include "textio/TextIO.h"
#include "windows/ANSITerm.h"
#include "windows/KeyEvents.h"

namespace Dialog {

using namespace Internal;

namespace {

constexpr char kTag[] = "DIAL";
constexpr char kBufferSuffix[] = "DialBuffer";
constexpr char kShellDirectory[] = "/Shell/";
constexpr std::size_t kBufferNameHigh = 63;
constexpr std::size_t kMessageHigh = 255;
constexpr std::size_t kStoreNameLength = 32;

constexpr char kBufferExists1[] = "Dialog buffer \"";
constexpr char kBufferExists2[] = "\" already exists!";
constexpr char kAlreadyOpen1[] = "Cannot initialize \"";
constexpr char kAlreadyOpen2[] = "\": already open!";
constexpr char kIdTaken1[] = "IDchar \"";
constexpr char kIdTaken2[] = "\" (";
constexpr char kIdTaken3[] = ") is already taken: ";
constexpr char kIdLine[] = "   ";
constexpr char kIdArrow[] = " -> ";

constexpr const char* kKindNames[] = {
#define DIALOG_KIND_WORD(name, code, word, traits) word,
    DIALOG_ITEM_KINDS(DIALOG_KIND_WORD)
#undef DIALOG_KIND_WORD
};
constexpr std::uint8_t kKindTraits[] = {
#define DIALOG_KIND_TRAITS(name, code, word, traits) traits,
    DIALOG_ITEM_KINDS(DIALOG_KIND_TRAITS)
#undef DIALOG_KIND_TRAITS
};
constexpr char kIllegal[] = "illegal";

// The entries a true/false and a high/low list get when the program gives none.
constexpr const char* kTrueFalse[] = {"FALSE", "TRUE"};
constexpr const char* kHighLow[] = {"LOW", "HIGH"};
// The collapsed window's width in points.
constexpr double kIconWidth = 136.0;
constexpr std::int32_t kMinWidth = 20, kMinHeight = 10;

State state;

// "High Col": the back colour made darker when it is light, lighter when it is dark.
RGBColor Highlight(RGBColor c) {
  const std::uint32_t sum = std::uint32_t{c.red} + c.green + c.blue;
  auto shift = [sum](std::uint16_t x) {
    return static_cast<std::uint16_t>(sum > 3u * 32768u ? x * 3 / 4 : x + (65535 - x) / 2);
  };
  return RGBColor{shift(c.red), shift(c.green), shift(c.blue)};
}

// Where the dialogs' item buffers live: the shell's directory when there is one.
void BufferPath(Chars bufferName, VarChars path) {
  Strings::Clear(path);
  if (Buffer::Find(kShellDirectory) != nullptr) Strings::Assign(path, kShellDirectory);
  Strings::Append(path, bufferName);
}

void InitTemplate(DialogRecord& d, DialogItem& t, std::uint16_t font, std::uint16_t size) {
  std::memset(static_cast<void*>(&t), 0, sizeof t);
  t.executable = true;
  t.enabled = true;
  t.font = font;
  t.size = size;
  t.format = NumberFormat::Fixed;
  t.length = 3;
  t.digits = 1;
  t.lineHeight = static_cast<std::uint16_t>(size * 13 / 10);
  t.frontOnly = true;
  t.value = t.slot;
  t.factor = 1.0;
  t.spare[2] = 1;
  t.backCol = d.window != nullptr ? d.window->port.backColor : kSystemBackColor;
}

Rect ScaledRect(const Rect& r, double f) {
  const std::int32_t width = r.Width(), height = r.Height();
  Rect s;
  s.left = Round(r.left * f);
  s.top = Round(r.top * f);
  s.right = s.left + Round(width * f);
  s.bottom = s.top + Round(height * f);
  return s;
}

void ScaleItems(DialogRecord& d, double f) {
  for (std::int32_t i = 1; i <= d.highest; ++i) {
    DialogItem& item = *d.items[i];
    item.rect = ScaledRect(item.rect, f);
    item.positionX = static_cast<std::int16_t>(Round(item.positionX * f));
    item.positionY = static_cast<std::int16_t>(Round(item.positionY * f));
    if (item.kind == ItemKind::CheckBox || item.kind == ItemKind::MultiCheck)
      item.area.check.box = ScaledRect(item.area.check.box, f);
    if (item.kind == ItemKind::Pane) item.paneOrigin = Round(item.paneOrigin * f);
  }
}

void RemoveKnown(DialogRecord& d) {
  for (DialogRecord** p = &state.known; *p != nullptr; p = &(*p)->next) {
    if (*p == &d) {
      *p = d.next;
      break;
    }
  }
  d.next = nullptr;
}

template <typename T> T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T> void StoreAt(void* p, T v) { std::memcpy(p, &v, sizeof v); }

double Clamp(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

void DisposeSurfaces(DialogRecord& d) {
  for (std::int32_t i = 1; i <= d.highest; ++i) {
    DialogItem& item = *d.items[i];
    if (item.kind == ItemKind::Offscreen || item.kind == ItemKind::GWindow)
      Toolbox::DisposeOffscreen(item.area.surface.surface);
  }
}

} // namespace

// ---- Shared helpers ----

void Internal::FitWindow(Rect& r, int kind) {
  r = Toolbox::FitInFrame(kind, r, Point{kMinWidth, kMinHeight});
}

namespace Internal {

State& S() { return state; }

bool Dark(const RGBColor& c) { return std::uint32_t{c.red} + c.green + c.blue <= kInversionLimit; }

double Scale() { return state.scale > 0 ? state.scale : Startup::ScreenScale(); }

std::int32_t Round(double v) {
  if (std::isnan(v)) return 0;
  const double r = v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
  return static_cast<std::int32_t>(
      Clamp(r, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void AssignPadded(char* dst, std::size_t size, Chars src) {
  std::memset(dst, 0, size);
  Strings::Assign(VarChars(dst, size - 1), src);
}

bool IsList(ItemKind k) { return HasTrait(k, kTraitList); }

bool Unbound(const DialogItem& item) { return item.value == item.slot; }

void CopyTemplate(DialogRecord& d, std::int32_t index) {
  DialogItem& item = *d.items[index];
  const DialogItem& t = *d.items[0];
  std::memcpy(static_cast<void*>(&item), &t, sizeof item);
  if (t.value == t.slot) item.value = item.slot;
}

bool PreAction(DialogRecord& d, std::int16_t item) {
  return d.procs.preAction != nullptr && d.procs.preAction(d, item);
}
void ItemChanged(DialogRecord& d, std::int16_t item) {
  if (d.procs.itemChanged != nullptr) d.procs.itemChanged(d, item);
}
bool BeforeAction(DialogRecord& d, std::int16_t item) {
  return state.before == nullptr || state.before(d, item);
}
void AfterAction(DialogRecord& d, std::int16_t item) {
  if (state.after != nullptr) state.after(d, item);
}
void Record(DialogRecord& d, std::int16_t item) {
  if (state.record != nullptr) state.record(d, item);
}
void RunAction(DialogRecord& d, std::int16_t item) {
  if (!state.execute || item < 1 || item > d.highest) return;
  if (ItemProc action = d.items[item]->action) action(d, item);
}

Drawing::Drawing(DialogRecord& d)
    : saved_(Toolbox::GetPort()), ok_(d.open && Toolbox::IsWindow(d.window)) {
  if (ok_) Toolbox::SetPort(d.window);
}
Drawing::~Drawing() {
  if (!ok_) return;
  if (saved_.window != nullptr && Toolbox::IsWindow(saved_.window))
    Toolbox::SetPort(saved_.window);
  else if (saved_.window == nullptr && saved_.offscreen != nullptr)
    Toolbox::SetPortOffscreen(saved_.offscreen);
}

void Highlighted(Chars text) {
  TextIO::EndLine();
  // The terminal TextIO writes on: the List's while output goes there, else the
  // editor's (the Command window's while no other text is edited).
  ANSITerm::TextWindow* t = TextIO::OutputToList() ? Shell::ListTerminal() : nullptr;
  if (t == nullptr) t = Shell::CommandTerminal();
  if (t != nullptr && !TextIO::Console()) ANSITerm::SetInverse(t, 1);
  TextIO::WriteString(text);
  if (t != nullptr && !TextIO::Console()) ANSITerm::SetInverse(t, 0);
  TextIO::WriteLn();
  Alerts::AlertBeep();
}

void RunIdle() {
  if (state.idle == nullptr || state.idling) return;
  state.idling = true;
  state.idle();
  state.idling = false;
}

void Capture(DialogItem& item) {
  Acting& a = state.acting;
  std::memset(a.value, 0, sizeof a.value);
  a.text[0] = 0;
  a.second = IsList(item.kind) ? ListSecond(item) : 0;
  if (item.valueType == ValueType::String) {
    if (item.kind == ItemKind::Text || item.kind == ItemKind::FramedText ||
        item.kind == ItemKind::EditText)
      Strings::Assign(a.text, Chars(static_cast<const char*>(item.value), item.length));
    return;
  }
  const std::int32_t size = ValueSize(item.valueType, IsList(item.kind));
  if (item.value != nullptr && size > 0) std::memcpy(a.value, item.value, size);
}

void SetListIndex(DialogItem& item, std::int32_t index) { SetValue(item, index); }

void SetListSecond(DialogItem& item, std::uint16_t second) {
  ListArea& l = item.area.list;
  if (l.second != nullptr)
    StoreAt(l.second, second);
  else
    l.ownSecond = second;
}

} // namespace Internal

// ---- Names ----

Chars KindName(std::uint8_t kind) {
  return kind < std::size(kKindNames) ? base::CharsOf(kKindNames[kind]) : Chars(kIllegal);
}

bool HasTrait(ItemKind kind, KindTrait trait) {
  const auto k = static_cast<std::size_t>(kind);
  return k < std::size(kKindTraits) && (kKindTraits[k] & trait) != 0;
}

std::int32_t ValueSize(ValueType type, bool list) {
  switch (type) {
  case ValueType::Real64:
    return 8;
  case ValueType::Real32:
  case ValueType::Int32:
    return 4;
  case ValueType::Int16:
  case ValueType::Set16:
    return 2;
  case ValueType::Boolean:
    return 1;
  case ValueType::Char:
    return list ? 2 : 1;
  default:
    return 0;
  }
}

// ---- The module ----

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  Toolbox::Init();
  KeyEvents::Init();
  TextIO::Init();
  NumberOut::Init();
  // A window the user brings to the front ends what playback was doing in a dialog.
  Editor::SetWindowProc([] { SetPlayback(false); });
}

void BufferName(Chars name, VarChars bufferName) {
  char cut[kStoreNameLength + 1];
  Strings::Assign(cut, name);
  Strings::Assign(bufferName, cut);
  Strings::Append(bufferName, kBufferSuffix);
  for (std::size_t i = 0; i <= bufferName.high && bufferName[i] != 0; ++i)
    if (bufferName[i] == '/' || bufferName[i] == ' ') bufferName[i] = '_';
}

bool Init(DialogRecord& d, DialogItem** items, std::int16_t itemsHigh, bool configurable,
          bool storable, Chars title, Chars name, std::uint16_t font, std::uint16_t size,
          std::int16_t highest, std::int32_t left, std::int32_t bottom, std::int32_t width,
          std::int32_t height, std::int16_t version) {
  Init();
  const Chars dialogName = Strings::Length(name) > 0 ? name : title;
  char bufferName[kBufferNameHigh + 1];
  BufferName(dialogName, bufferName);
  char path[kBufferNameHigh + 1 + sizeof kShellDirectory];
  BufferPath(bufferName, path);
  char message[kMessageHigh + 1];
  if (Buffer::Find(path) != nullptr) {
    Strings::Assign(message, kBufferExists1);
    Strings::Append(message, bufferName);
    Strings::Append(message, kBufferExists2);
    Alerts::Message(message);
    return false;
  }
  if (d.open) {
    Strings::Assign(message, kAlreadyOpen1);
    Strings::Append(message, dialogName);
    Strings::Append(message, kAlreadyOpen2);
    Alerts::Message(message);
    return false;
  }
  if (items == nullptr || highest < 0 || highest > itemsHigh) return false;
  RemoveKnown(d);
  d = DialogRecord{};
  d.highest = highest;
  d.configurable = configurable;
  d.storable = storable;
  d.version = version;
  d.items = items;
  for (std::int32_t i = 0; i <= itemsHigh; ++i) items[i] = nullptr;
  Buffer::Ref buffer = Buffer::Create(path, Buffer::BufferKind::Heap);
  if (buffer == nullptr) return false;
  const std::int64_t bytes = std::int64_t{highest + 1} * std::int64_t{sizeof(DialogItem)};
  void* memory = bytes <= std::numeric_limits<std::int32_t>::max()
                     ? Buffer::Allocate(buffer, static_cast<std::int32_t>(bytes))
                     : nullptr;
  if (memory == nullptr) {
    Buffer::Delete(buffer);
    d.items = nullptr;
    return false;
  }
  d.itemBuffer = buffer;
  auto* records = static_cast<DialogItem*>(memory);
  for (std::int32_t i = 0; i <= highest; ++i) items[i] = &records[i];
  d.normal.rect = Rect{left, bottom - height, left + width, bottom};
  if (d.normal.rect.top > d.normal.rect.bottom) std::swap(d.normal.rect.top, d.normal.rect.bottom);
  InitTemplate(d, *items[0], font, size);
  for (std::int32_t i = 1; i <= highest; ++i) CopyTemplate(d, i);
  AssignPadded(items[0]->text, sizeof items[0]->text, title);
  Strings::Assign(d.name, dialogName);
  return true;
}

void DefineItem(DialogRecord& d, std::int32_t index, ItemKind kind, Chars name, bool macro,
                Chars text, std::int32_t left, std::int32_t bottom, std::int32_t width,
                std::int32_t height) {
  if (d.items == nullptr || index < 1 || index > d.highest) return;
  // A list defined again (a layout run once more) gets a new menu: the old one goes.
  if (IsList(d.items[index]->kind)) Toolbox::DisposeMenu(d.items[index]->area.list.menu);
  CopyTemplate(d, index);
  DialogItem& item = *d.items[index];
  item.visible = true;
  item.kind = kind;
  item.macro = macro;
  item.rect = Rect{left, bottom - height, left + width, bottom};
  AssignPadded(item.name, sizeof item.name, name);
  AssignPadded(item.text, sizeof item.text, text);
  item.inverted = Dark(item.backCol);
  switch (kind) {
  case ItemKind::Button:
    item.frame = ButtonFrame;
    [[fallthrough]];
  case ItemKind::Drag2:
    item.alignment = Alignment::Center;
    item.positionY = 0;
    break;
  case ItemKind::Switch:
  case ItemKind::FramedBool:
    item.alignment = Alignment::Center;
    item.positionY = 0;
    item.executable = kind == ItemKind::Switch;
    item.area.highCol = Highlight(item.backCol);
    break;
  case ItemKind::CheckBox:
  case ItemKind::MultiCheck: {
    item.positionX = 3;
    item.positionY = 0;
    item.digits = 1;
    const std::int32_t h = std::abs(item.rect.bottom - item.rect.top);
    const std::int32_t size = h >= 15 ? 14 : h < 13 ? 9 : 11;
    const std::int32_t half = h >= 15 ? 6 : h < 13 ? 3 : 4;
    const std::int32_t centre = (item.rect.top + item.rect.bottom) / 2;
    CheckArea& c = item.area.check;
    c.box.left = item.rect.left + 3;
    c.box.right = c.box.left + 2 * half;
    c.box.top = centre - half;
    c.box.bottom = centre + half;
    c.boxSize = static_cast<std::uint16_t>(size);
    c.boxSize2 = static_cast<std::uint16_t>(size + 1);
    break;
  }
  case ItemKind::Text:
  case ItemKind::FramedText:
    item.executable = false;
    break;
  case ItemKind::FramedNumber:
    AssignPadded(item.area.text, sizeof item.area.text, text);
    item.executable = false;
    break;
  case ItemKind::Drag:
    item.area.drag.pixelsPerStep = 2;
    item.area.drag.runLength = 50;
    item.area.drag.rateFactor = 0.25;
    item.area.drag.initialRate = 0;
    break;
  case ItemKind::TrueFalse:
  case ItemKind::HighLow:
  case ItemKind::List:
    item.alignment = Alignment::Center;
    item.area.list.count = 0;
    item.area.list.key2 = 0;
    item.area.list.code2 = 0;
    item.length = kind == ItemKind::TrueFalse ? 6 : kind == ItemKind::HighLow ? 5 : 79;
    item.digits = kind == ItemKind::HighLow ? 4 : 5;
    break;
  case ItemKind::EditText:
    item.clearOnEdit = false;
    break;
  case ItemKind::Offscreen:
  case ItemKind::GWindow:
  case ItemKind::User:
    item.executable = kind == ItemKind::User;
    item.area.highCol = Highlight(item.backCol);
    break;
  case ItemKind::Pane:
    item.alignment = Alignment::Center;
    item.positionY = 0;
    item.executable = true;
    break;
  default:
    break;
  }
}

void DefineItemStyled(DialogRecord& d, std::int32_t index, ItemKind kind, Chars name, bool macro,
                      Chars text, std::int32_t left, std::int32_t bottom, std::int32_t width,
                      std::int32_t height, std::int16_t x, std::int16_t y, std::uint16_t font,
                      std::uint16_t size, std::uint8_t style, Alignment alignment, bool inverted,
                      std::uint16_t red, std::uint16_t green, std::uint16_t blue) {
  DefineItem(d, index, kind, name, macro, text, left, bottom, width, height);
  DialogItem* item = Item(d, index);
  if (item == nullptr) return;
  item->positionX = x;
  item->positionY = y;
  item->font = font;
  item->size = size;
  item->lineHeight = static_cast<std::uint16_t>(size * 13 / 10);
  item->style = style;
  item->alignment = alignment;
  item->inverted = inverted;
  item->backCol = RGBColor{red, green, blue};
  if (alignment != Alignment::Left && x == 0 && y != 0) item->positionX = 3;
}

void BindText(DialogRecord& d, std::int32_t index, char* variable, std::uint16_t high) {
  DialogItem* item = Item(d, index);
  if (item == nullptr) return;
  if (item->kind != ItemKind::Text && item->kind != ItemKind::FramedText &&
      item->kind != ItemKind::EditText)
    return;
  item->valueType = ValueType::String;
  if (variable == nullptr) {
    item->value = item->text;
    item->length = kNameHigh;
  } else {
    item->value = variable;
    item->length = high;
  }
}

void BindValue(DialogRecord& d, std::int32_t index, void* variable, ValueType type) {
  DialogItem* item = Item(d, index);
  if (item == nullptr || type == ValueType::String) return;
  item->valueType = type;
  item->value = variable != nullptr ? variable : item->slot;
}

void SetNumber(DialogRecord& d, std::int32_t index, Chars unit, NumberFormat format, ValueType type,
               std::uint16_t length, std::uint16_t digits, double step, double minimum,
               double maximum, double factor, bool fine, std::uint8_t option) {
  DialogItem* item = Item(d, index);
  if (item == nullptr) return;
  AssignPadded(item->unit, sizeof item->unit, unit);
  item->format = format;
  item->valueType = type;
  item->length = length < kNameHigh ? static_cast<std::uint16_t>(length + 1) : length;
  item->digits = digits;
  item->numberOption = option;
  if (factor != 0) item->factor = factor;
  if (item->kind == ItemKind::Drag || item->kind == ItemKind::Array) {
    item->minimum = minimum;
    item->maximum = maximum;
  }
  if (item->kind == ItemKind::Drag) {
    DragArea& a = item->area.drag;
    a.step = step;
    a.initialRate = fine ? 0.1 : 0;
    a.direction = 0;
    a.reversed = false;
  }
}

void SetItemKey(DialogRecord& d, std::int32_t index, std::uint8_t code, char ch,
                std::uint8_t modifiers, bool anyModifier, bool frontOnly) {
  DialogItem* item = Item(d, index);
  if (item == nullptr) return;
  if (anyModifier) {
    modifiers = 0;
    if (code == KeyEvents::KeyCharacter) ch = Strings::Cap(ch);
  }
  item->keyCode = code;
  item->keyChar = ch;
  item->keyModifiers = static_cast<std::uint8_t>(modifiers & 0x1F);
  item->anyModifier = anyModifier;
  item->frontOnly = frontOnly;
  if (code != 0 && index > d.highestKey) d.highestKey = static_cast<std::int16_t>(index);
  const bool pressable = item->kind == ItemKind::Button || item->kind == ItemKind::Switch;
  if (index == 1 && pressable && ch == 13 && (item->frame == nullptr || item->frame == ButtonFrame))
    item->frame = DefaultButtonFrame;
}

void SetSecondKey(DialogRecord& d, std::int32_t index, std::uint8_t code, char ch) {
  DialogItem* item = Item(d, index);
  if (item == nullptr || !IsList(item->kind)) return;
  item->area.list.code2 = code;
  item->area.list.key2 =
      item->anyModifier && code == KeyEvents::KeyCharacter ? Strings::Cap(ch) : ch;
  if (code != 0 && index > d.highestKey) d.highestKey = static_cast<std::int16_t>(index);
}

void SetDrag2(DialogRecord& d, std::int32_t index, std::int16_t horizontal, std::int16_t vertical) {
  DialogItem* item = Item(d, index);
  if (item == nullptr || item->kind != ItemKind::Drag2) return;
  item->area.drag2.horizontal = horizontal;
  item->area.drag2.vertical = vertical;
}

void BindToggles(DialogRecord& d, std::int32_t index, std::uint16_t* variable, std::int16_t first) {
  DialogItem* item = Item(d, index);
  if (item == nullptr || !IsList(item->kind)) return;
  item->area.list.second = variable;
  item->area.list.firstToggle = first;
}

void SetProcs(DialogRecord& d, const DialogProcs& procs, char idChar) {
  d.procs = procs;
  d.idChar = idChar;
  if (idChar == 0) return;
  bool taken = false;
  for (const DialogRecord* k = state.known; k != nullptr; k = k->next)
    taken = taken || (k != &d && Strings::Cap(k->idChar) == Strings::Cap(idChar));
  if (!taken) return;
  TextIO::SetLogging(true);
  char line[kMessageHigh + 1];
  const char id[2] = {idChar, 0};
  Strings::Assign(line, kIdTaken1);
  Strings::Append(line, id);
  Strings::Append(line, kIdTaken2);
  Strings::Append(line, d.name);
  Strings::Append(line, kIdTaken3);
  TextIO::WriteLine(line);
  for (const DialogRecord* k = state.known; k != nullptr; k = k->next) {
    if (k->idChar == 0) continue;
    const char other[2] = {k->idChar, 0};
    Strings::Assign(line, kIdLine);
    Strings::Append(line, other);
    Strings::Append(line, kIdArrow);
    Strings::Append(line, k->name);
    TextIO::WriteLine(line);
  }
}

void SetItemProcs(DialogRecord& d, std::int32_t index, ItemProc action, ItemProc change,
                  ItemProc background, ItemProc frame) {
  DialogItem* item = Item(d, index);
  if (item == nullptr) return;
  item->action = action;
  item->change = change;
  item->background = background;
  // Without a frame procedure a button keeps its own frame, the default button its heavier one.
  if (frame == nullptr && item->frame == DefaultButtonFrame) frame = DefaultButtonFrame;
  item->frame = frame != nullptr ? frame : item->kind == ItemKind::Button ? ButtonFrame : nullptr;
}

void SetPaneRect(DialogRecord& d, std::int32_t index, std::int32_t left, std::int32_t width,
                 std::int32_t height) {
  DialogItem* item = Item(d, index);
  if (item == nullptr || item->kind != ItemKind::Pane) return;
  item->rect = Rect{left, item->paneOrigin, left + width, item->paneOrigin + height};
}

void SetPane(DialogRecord& d, std::int16_t pane, std::int32_t first, std::int32_t last) {
  if (d.items == nullptr) return;
  last = std::min<std::int32_t>(last, d.highest);
  for (std::int32_t i = std::max(first, 1); i <= last; ++i) d.items[i]->pane = pane;
}

void SelectPane(DialogRecord& d, std::int16_t pane) {
  d.pane = pane;
  if (d.open) DrawDialog(d);
}

// ---- Opening and closing ----

bool Open(DialogRecord& d, int windowKind, DialogProc layout, DialogProc setup, bool load,
          const WindowOptions& options, bool modal) {
  Init();
  if (d.items == nullptr) return false;
  if (layout != nullptr) layout(d);
  if (load && !Load(d, Chars(), false) && layout != nullptr) layout(d);
  if (setup != nullptr) setup(d);
  if (d.open) return true;
  d.iconized = false;
  d.focus = 0;
  d.pane = 0;
  d.modal = modal;
  d.windowKind = windowKind;
  d.options = options;
  Rect& r = d.normal.rect;
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  d.items[0]->rect = r;
  const double s = Scale();
  r = ScaledRect(r, s);
  FitWindow(r, windowKind);
  d.iconizedPlacement = d.normal;
  d.iconizedPlacement.rect.right = d.iconizedPlacement.rect.left + Round(kIconWidth * s);
  d.iconizedPlacement.rect.bottom = d.iconizedPlacement.rect.top + 1;
  d.window =
      Toolbox::NewWindow(r, d.items[0]->text, options.visible, windowKind, options.closeBox, &d);
  if (d.window == nullptr) return false;
  if (options.floating) d.window->flags |= Toolbox::kFloatingFlag;
  d.open = true;
  d.shown = options.visible;
  std::memcpy(d.tag, kTag, sizeof kTag);
  state.current = &d;
  d.window->port.backColor = d.items[0]->backCol;
  if (std::abs(s - 1.0) > 0.01) ScaleItems(d, s);
  for (std::int32_t i = d.highest; i >= 1; --i) {
    DialogItem& item = *d.items[i];
    if (IsList(item.kind)) {
      // "truefalse" and "highlow" have their two entries without InitList.
      if (item.kind != ItemKind::List && item.area.list.menu == nullptr)
        item.area.list.menu = Toolbox::NewMenu(state.nextMenuId++, "");
      if (item.kind != ItemKind::List && item.area.list.menu != nullptr &&
          Toolbox::CountItems(item.area.list.menu) == 0) {
        for (const char* entry : item.kind == ItemKind::TrueFalse ? kTrueFalse : kHighLow)
          Toolbox::AppendItem(item.area.list.menu, base::CharsOf(entry));
      }
      item.area.list.count = static_cast<std::int16_t>(Toolbox::CountItems(item.area.list.menu));
    } else if (item.kind == ItemKind::Array) {
      d.focus = static_cast<std::int16_t>(i);
    } else if (item.kind == ItemKind::Offscreen || item.kind == ItemKind::GWindow) {
      // The surface shows in the window: it need not be larger.
      item.area.surface.surface =
          Toolbox::NewOffscreen(std::clamp(item.rect.Width(), 1, std::max(1, r.Width())),
                                std::clamp(item.rect.Height(), 1, std::max(1, r.Height())));
    }
    if (item.keyCode >= 2 && i > d.highestKey) d.highestKey = static_cast<std::int16_t>(i);
  }
  RemoveKnown(d);
  d.next = state.known;
  state.known = &d;
  Events::SetKeyClaimProc(ClaimsKey);
  if (options.visible) Toolbox::SelectWindow(d.window);
  DrawDialog(d);
  return true;
}

void Close(DialogRecord& d) {
  RemoveKnown(d);
  if (state.current == &d) state.current = &state.dummy;
  if (!d.open) return;
  if (d.items != nullptr) DisposeSurfaces(d);
  // A window made later at the same place in memory is another: no click counts on.
  if (state.clickWindow == d.window) state.clickWindow = nullptr;
  if (Toolbox::IsWindow(d.window)) Toolbox::DisposeWindow(d.window);
  d.window = nullptr;
  d.open = false;
  d.shown = false;
  d.active = false;
  d.activated = false;
  d.tag[0] = 0;
}

void Dispose(DialogRecord& d) {
  Close(d);
  if (d.items != nullptr) {
    for (std::int32_t i = 0; i <= d.highest; ++i) {
      if (d.items[i] != nullptr && IsList(d.items[i]->kind))
        Toolbox::DisposeMenu(d.items[i]->area.list.menu);
      d.items[i] = nullptr;
    }
  }
  if (d.itemBuffer != nullptr) Buffer::Delete(d.itemBuffer);
  d.itemBuffer = nullptr;
  d.items = nullptr;
  d.highest = 0;
}

// ---- Lists ----

namespace {
DialogItem* ListItem(DialogRecord& d, std::int32_t index) {
  DialogItem* item = Item(d, index);
  return item != nullptr && IsList(item->kind) ? item : nullptr;
}
DialogItem* ListEntry(DialogRecord& d, std::int32_t index, std::int32_t entry) {
  DialogItem* item = ListItem(d, index);
  if (item == nullptr || item->area.list.menu == nullptr || entry < 1 ||
      entry > Toolbox::CountItems(item->area.list.menu))
    return nullptr;
  return item;
}
} // namespace

void InitList(DialogRecord& d, std::int32_t index, std::int32_t labelItem, Chars title) {
  DialogItem* item = ListItem(d, index);
  if (item == nullptr) return;
  ListArea& l = item->area.list;
  if (l.menu == nullptr) l.menu = Toolbox::NewMenu(state.nextMenuId++, title);
  char unit[kUnitHigh + 1];
  Strings::Assign(unit, title);
  AssignPadded(item->unit, sizeof item->unit, unit);
  if (labelItem >= 0 && labelItem <= d.highest) l.label = static_cast<std::int16_t>(labelItem);
}

void AddListEntry(DialogRecord& d, std::int32_t index, Chars text) {
  DialogItem* item = ListItem(d, index);
  if (item == nullptr || item->area.list.menu == nullptr) return;
  Toolbox::AppendItem(item->area.list.menu, text[0] == '-' ? Chars("-") : text);
  item->area.list.count = static_cast<std::int16_t>(Toolbox::CountItems(item->area.list.menu));
}

void SetListEntryText(DialogRecord& d, std::int32_t index, std::int32_t entry, Chars text) {
  DialogItem* item = ListEntry(d, index, entry);
  if (item == nullptr) return;
  Toolbox::SetItemText(item->area.list.menu, entry, Strings::Length(text) == 0 ? Chars(" ") : text);
}

void EnableListEntry(DialogRecord& d, std::int32_t index, std::int32_t entry, bool enable) {
  DialogItem* item = ListEntry(d, index, entry);
  if (item == nullptr) return;
  if (enable)
    Toolbox::EnableItem(item->area.list.menu, entry);
  else
    Toolbox::DisableItem(item->area.list.menu, entry);
}

bool ListEntryEnabled(DialogRecord& d, std::int32_t index, std::int32_t entry) {
  DialogItem* item = ListEntry(d, index, entry);
  return item != nullptr && (Toolbox::ItemState(item->area.list.menu, entry) & 1) != 0;
}

void GetListEntryText(DialogRecord& d, std::int32_t index, std::int32_t entry, VarChars text) {
  Strings::Clear(text);
  DialogItem* item = ListEntry(d, index, entry);
  if (item == nullptr) return;
  char whole[kMessageHigh + 1];
  Toolbox::GetItemText(item->area.list.menu, entry, whole);
  const std::size_t limit = item->length > 0 ? item->length - 1u : 0u;
  if (Strings::Length(whole) > limit) whole[limit] = 0;
  const auto blank = [](char c) { return c == ' ' || c == static_cast<char>(202); };
  std::size_t from = 0, to = Strings::Length(whole);
  while (from < to && blank(whole[from])) ++from;
  while (to > from && blank(whole[to - 1])) --to;
  whole[to] = 0;
  Strings::Assign(text, Chars(whole + from, to - from));
  Strings::Append(text, item->unit);
}

// ---- State and values ----

DialogItem* Item(DialogRecord& d, std::int32_t index) {
  if (d.items == nullptr || index < 1 || index > d.highest) return nullptr;
  return d.items[index];
}

bool Shown(const DialogRecord& d, std::int32_t index) {
  if (d.items == nullptr || index < 0 || index > d.highest) return false;
  const DialogItem& item = *d.items[index];
  return item.visible && (item.pane == 0 || item.pane == d.pane);
}

bool Active(const DialogRecord& d, std::int32_t index) {
  if (!Shown(d, index)) return false;
  const DialogItem& item = *d.items[index];
  return item.executable && item.enabled;
}

double ValueOf(const DialogItem& item) {
  return item.value != nullptr ? ValueAt(item.value, item.valueType, IsList(item.kind)) : 0;
}

double ValueAt(const void* p, ValueType type, bool list) {
  switch (type) {
  case ValueType::Real64:
    return Load<double>(p);
  case ValueType::Real32:
    return Load<float>(p);
  case ValueType::Int32:
    return Load<std::int32_t>(p);
  case ValueType::Int16:
    return Load<std::int16_t>(p);
  case ValueType::Set16:
    return Load<std::uint16_t>(p);
  case ValueType::Boolean:
    return Load<std::uint8_t>(p) != 0 ? 1 : 0;
  case ValueType::Char:
    return list ? Load<std::uint16_t>(p) : Load<std::uint8_t>(p);
  default:
    return 0;
  }
}

void SetValue(DialogItem& item, double value) {
  void* p = item.value;
  if (p == nullptr || std::isnan(value)) return;
  switch (item.valueType) {
  case ValueType::Real64:
    StoreAt(p, value);
    break;
  case ValueType::Real32:
    StoreAt(p, static_cast<float>(value));
    break;
  case ValueType::Int32:
    StoreAt(p, Round(value));
    break;
  case ValueType::Int16:
    StoreAt(p, static_cast<std::int16_t>(Clamp(Round(value), -32768, 32767)));
    break;
  case ValueType::Set16:
    StoreAt(p, static_cast<std::uint16_t>(Clamp(Round(value), 0, 65535)));
    break;
  case ValueType::Boolean:
    StoreAt(p, static_cast<std::uint8_t>(value != 0 ? 1 : 0));
    break;
  case ValueType::Char:
    if (IsList(item.kind))
      StoreAt(p, static_cast<std::uint16_t>(Clamp(Round(value), 0, 65535)));
    else
      StoreAt(p, static_cast<std::uint8_t>(Clamp(Round(value), 0, 255)));
    break;
  default:
    break;
  }
}

std::int32_t ListIndex(const DialogItem& item) { return Round(ValueOf(item)); }

std::uint16_t ListSecond(const DialogItem& item) {
  const ListArea& l = item.area.list;
  return l.second != nullptr ? Load<std::uint16_t>(l.second) : l.ownSecond;
}

Toolbox::Offscreen* Surface(DialogRecord& d, std::int32_t index) {
  DialogItem* item = Item(d, index);
  if (item == nullptr || !d.open ||
      (item->kind != ItemKind::Offscreen && item->kind != ItemKind::GWindow))
    return nullptr;
  return item->area.surface.surface;
}

// ---- Hooks and switches ----

void SetBeforeActionHook(BeforeHook hook) { state.before = hook; }
void SetAfterActionHook(AfterHook hook) { state.after = hook; }
void SetRecordHook(AfterHook hook) { state.record = hook; }
void SetEventHook(EventHook hook) { state.eventHook = hook; }
void SetIdleHook(IdleHook hook) { state.idle = hook; }
void Report(Chars text) { Highlighted(text); }

bool MayApply(DialogRecord& d, std::int16_t item) {
  if (!d.open || !Active(d, item) || PreAction(d, item) || !BeforeAction(d, item)) return false;
  return d.items[item]->value != nullptr;
}

void Applied(DialogRecord& d, std::int16_t item) {
  DialogItem& it = *d.items[item];
  DrawItem(d, item);
  if (state.execute) {
    if ((it.kind == ItemKind::Button || it.kind == ItemKind::Switch) && Shown(d, item)) {
      it.pressed = true;
      DrawItem(d, item);
      it.pressed = false;
      DrawItem(d, item);
    }
    RunAction(d, item);
  }
  AfterAction(d, item);
  ItemChanged(d, item);
  // A played action counts as the user's for a program that polls.
  ++state.acted;
}
void SetWindowEventProc(WindowEventProc proc) { state.windowProc = proc; }
void SetKeyTerminalProc(KeyTerminalProc proc) { state.keyTerminal = proc; }
void SetConfigureProc(ConfigureProc proc) { state.configure = proc; }
void SetTipProc(TipProc proc) { state.tip = proc; }
bool ModalRunning() { return state.modal > 0; }
void SetExecute(bool on) { state.execute = on; }
bool Execute() { return state.execute; }
void SetPlayback(bool on) { state.playback = on; }
bool Playback() { return state.playback; }
void SetTrace(bool on) { state.trace = on; }
bool Tracing() { return state.trace; }
const Acting& ActingItem() { return state.acting; }
bool LastResult() { return state.lastResult; }

DialogRecord& Current() { return *state.current; }
void SetCurrent(DialogRecord& d) { state.current = &d; }
DialogRecord* Known() { return state.known; }

DialogRecord* DialogOf(Toolbox::Window w) {
  if (w == nullptr) return nullptr;
  for (DialogRecord* k = state.known; k != nullptr; k = k->next)
    if (k->window == w && k->open) return k;
  return nullptr;
}

namespace Testing {
void SetScreenScale(double scale) { state.scale = scale; }
} // namespace Testing

} // namespace Dialog
