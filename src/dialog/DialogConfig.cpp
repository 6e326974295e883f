// The dialog configuration: the dialog "ModConfig" of 48 items, the working copy of the
// configured item it edits, applying the fields to the item, choosing another item,
// capturing shortcut keys, live colours through the colour picker, and the dialog's
// drawing as a metafile.
#include "dialog/DialogConfig.h"

#include <algorithm>
#include <cstring>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/ColorPicker.h"
#include "dialog/DialogInternal.h"
#include "dialog/Metafile.h"
#include "platform/Alerts.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "windows/KeyEvents.h"

namespace DialogConfig {

using namespace Dialog;
using namespace Dialog::Internal;
using namespace KeyEvents;

namespace {

constexpr char kName[] = "ModConfig";
constexpr char kTitle[] = "Dialog Configuration";
constexpr char kConfigure[] = "Configure: \"";
constexpr char kUnnamed[] = "unnamed";
constexpr char kMacroMark[] = ",macro";
constexpr char kConversion1[] = "## Error converting \"";
constexpr char kConversion2[] = "\" to index of target item. ## ";
constexpr char kNotFound1[] = "#  Error: Item with name \"";
constexpr char kNotFound2[] = "\" not found. ## ";
constexpr char kNewKey[] = "New key: ";
constexpr char kMenuKey[] = "Menu Keys cannot be assigned.";
constexpr char kPressKey[] = "press a key";
constexpr char kFontPrefix[] = "Font:  ";
constexpr char kPicturePrompt[] = "Name of picture file:";
constexpr char kPicturePattern[] = "*.WMF";
constexpr char kPictureName[] = "Dialog";
constexpr char kPictureExtension[] = ".WMF";
constexpr char kSvgExtension[] = ".svg";
constexpr char kStoring[] = "Error storing '";
constexpr char kErrorMiddle[] = "':   ";

using base::kLineHigh, base::kPathHigh;
constexpr std::size_t kKeyNameHigh = 31;
// The configuration's window lies this far right of and below the click.
constexpr std::int32_t kBesideClick = 16;
// The colour picker lies this far right of the configuration's window.
constexpr std::int32_t kBesideWindow = 4;

enum Item : std::int16_t {
  kDone = 1,
  kCancel,
  kUpdate,
  kHighCol,
  kBackCol,
  kTarget,
  kGotoLabel,
  kLeft,
  kLeftLabel,
  kBottom,
  kBottomLabel,
  kWidth,
  kWidthLabel,
  kHeight,
  kHeightLabel,
  kPositionX,
  kPositionXLabel,
  kPositionY,
  kPositionYLabel,
  kRectLabel,
  kPositionLabel,
  kText,
  kTextLabel,
  kUnit,
  kLength,
  kLengthLabel,
  kDigits,
  kDigitsLabel,
  kFont,
  kSize,
  kSizeLabel,
  kStyle,
  kSecondKey,
  kFirstKey,
  kKeyLabel,
  kExecutable,
  kVisible,
  kEnabled,
  kInteger,
  kEngineering = kInteger + 4,
  kFrontOnly,
  kAnyModifier,
  kAlignment,
  kInverted,
  kWmf,
  kItems = kWmf,
};

constexpr const char* kStyleEntries[] = {"Text Style:", "   bold",   "   italic",   "   underline",
                                         "   outline",  "   shadow", "   condense", "   extend"};
constexpr const char* kAlignments[] = {"left", "center", "right", "last"};
constexpr const char* kFormats[] = {"integer", "hexadecimal", "fixed", "scientific", "engineering"};
// The first style entry that toggles a style bit.
constexpr std::int16_t kFirstStyleToggle = 2;

// The fields copied in and out of the working copy.
struct Fields {
  char target[80];
  char text[80];
  char unit[8];
  std::int32_t left, bottom, width, height;
  std::int32_t positionX, positionY;
  std::int32_t length, digits, size;
  std::int32_t styleIndex;
  std::uint16_t styleBits;
  std::int32_t format;
  std::int32_t alignment;
};

struct State {
  bool initialised = false;
  DialogRecord dialog;
  DialogItem* items[kItems + 1] = {};
  bool made = false;
  bool running = false;
  bool done = false;
  DialogRecord* target = nullptr; // the dialog configured
  std::int16_t index = 0;
  DialogItem work;  // the working copy
  RGBColor backCol; // the item's colours when it was loaded (Cancel restores them)
  RGBColor highCol;
  Fields fields{};
  std::int16_t capturing = 0; // the key item waiting for a key
};
State state;

// Cuts a file name's extension (after the last '.' of its last component).
void CutExtension(VarChars name) {
  for (std::size_t i = Strings::Length(name); i > 0 && name[i - 1] != '/'; --i) {
    if (name[i - 1] == '.') {
      name[i - 1] = 0;
      return;
    }
  }
}

bool WithLength(ItemKind k) {
  return HasTrait(k, kTraitFormat) || k == ItemKind::TrueFalse || k == ItemKind::HighLow;
}
bool LosesText(ItemKind k) {
  return k == ItemKind::Drag || IsList(k) || k == ItemKind::Array || k == ItemKind::User;
}

DialogItem& Field(std::int16_t i) { return *state.dialog.items[i]; }

void SetShown(std::int16_t i, bool visible) {
  DialogItem& item = Field(i);
  if (item.visible == visible) return;
  item.visible = visible;
  DrawItem(state.dialog, i);
}

void SetEnabled(std::int16_t i, bool enabled) {
  DialogItem& item = Field(i);
  if (item.enabled == enabled) return;
  item.enabled = enabled;
  DrawItem(state.dialog, i);
}

// The configured item's rectangle as the fields show it: the window frame for item 0.
Rect ItemRect() {
  DialogRecord& d = *state.target;
  if (state.index == 0)
    return d.open && Toolbox::IsWindow(d.window) ? Toolbox::GetWindowRect(d.window) : d.normal.rect;
  return d.items[state.index]->rect;
}

void SavePlacement(DialogRecord& d) {
  if (!d.open || d.iconized || !Toolbox::IsWindow(d.window)) return;
  const Rect frame = Toolbox::GetWindowRect(d.window);
  if (frame.Empty()) return;
  d.normal.rect = frame;
  d.items[0]->rect = Rect{0, 0, frame.Width(), frame.Height()};
}

void SetTitle() {
  char title[kLineHigh + 1];
  if (state.index == 0) {
    Strings::Assign(title, kTitle);
  } else {
    const DialogRecord& d = *state.target;
    const DialogItem& item = *d.items[state.index];
    Strings::Assign(title, kConfigure);
    if (item.name[0] != 0) {
      if (d.idChar != 0) {
        const char id[3] = {Strings::Cap(d.idChar), ' ', 0};
        Strings::Append(title, id);
      }
      Strings::Append(title, item.name);
    } else {
      Strings::Append(title, kUnnamed);
    }
    Strings::Append(title, "\" (");
    Strings::Append(title, KindName(static_cast<std::uint8_t>(item.kind)));
    if (item.macro) Strings::Append(title, kMacroMark);
    Strings::Append(title, ")");
  }
  AssignPadded(Field(0).text, sizeof Field(0).text, title);
  if (state.dialog.open) Toolbox::SetWTitle(state.dialog.window, title);
}

void FontButtonText() {
  char face[64];
  Toolbox::FontFamily(state.work.font, face);
  char text[kLineHigh + 1];
  Strings::Assign(text, kFontPrefix);
  Strings::Append(text, face);
  AssignPadded(Field(kFont).text, sizeof Field(kFont).text, text);
}

// The working copy's fields into the configuration's items.
void LoadFields() {
  DialogRecord& d = *state.target;
  DialogItem& item = *d.items[state.index];
  state.work = item;
  state.backCol = item.backCol;
  state.highCol = item.area.highCol;
  Fields& f = state.fields;
  const DialogItem& w = state.work;
  const ItemKind kind = w.kind;
  if (w.name[0] != 0) {
    Strings::Assign(f.target, w.name);
  } else {
    Strings::Clear(f.target);
    NumberOut::AppendInt(state.index, f.target, 0);
  }
  const Rect r = ItemRect();
  f.left = r.left;
  f.bottom = r.bottom;
  f.width = r.Width();
  f.height = r.Height();
  f.positionX = w.positionX;
  f.positionY = w.positionY;
  const bool boundText =
      HasTrait(kind, kTraitText) && !Unbound(w) && w.valueType == ValueType::String;
  if (boundText)
    Strings::Assign(f.text, Chars(static_cast<const char*>(w.value), w.length));
  else
    Strings::Assign(f.text, w.text);
  Strings::Assign(f.unit, w.unit);
  const bool lengths = state.index != 0 && WithLength(kind);
  f.length = lengths ? w.length : 0;
  f.digits = lengths ? w.digits : 0;
  f.size = w.size;
  f.styleIndex = 0;
  f.styleBits = w.style & 0x7F;
  f.format = static_cast<std::int32_t>(w.format);
  f.alignment = static_cast<std::int32_t>(w.alignment);
  FontButtonText();
  // What the kind has: colours, number formats, lengths, a second key.
  SetShown(kBackCol, d.open);
  SetShown(kHighCol, state.index != 0 && HasTrait(kind, kTraitHighCol));
  for (std::int16_t i = kInteger; i <= kEngineering; ++i)
    SetShown(i, state.index != 0 && HasTrait(kind, kTraitFormat));
  SetEnabled(kLength, lengths);
  SetEnabled(kDigits, lengths);
  SetShown(kSecondKey, state.index != 0 && IsList(kind));
  SetTitle();
  DrawDialog(state.dialog);
}

// The fields into the configured item (and the working copy).
void Apply() {
  DialogRecord& d = *state.target;
  if (d.items == nullptr) return;
  const std::int16_t index = state.index;
  DialogItem& item = *d.items[index];
  DialogItem& w = state.work;
  const Fields& f = state.fields;
  if (Field(kInteger).visible) w.format = static_cast<NumberFormat>(std::clamp(f.format, 0, 4));
  const Rect old = index == 0 ? ItemRect() : item.rect;
  const Rect r{f.left, f.bottom - f.height, f.left + f.width, f.bottom};
  w.rect = r;
  if (w.kind == ItemKind::CheckBox || w.kind == ItemKind::MultiCheck)
    Toolbox::OffsetRect(w.area.check.box, r.left - old.left, r.bottom - old.bottom);
  AssignPadded(w.text, sizeof w.text, f.text);
  char unit[kUnitHigh + 1];
  Strings::Assign(unit, f.unit);
  AssignPadded(w.unit, sizeof w.unit, unit);
  w.positionX = static_cast<std::int16_t>(std::clamp(f.positionX, -32768, 32767));
  w.positionY = static_cast<std::int16_t>(std::clamp(f.positionY, -32768, 32767));
  w.size = static_cast<std::uint16_t>(std::clamp(f.size, 1, 255));
  w.lineHeight = static_cast<std::uint16_t>(w.size * 13 / 10);
  w.style = static_cast<std::uint8_t>(f.styleBits & 0x7F);
  w.alignment = static_cast<Alignment>(std::clamp(f.alignment, 0, 3));
  if (Field(kLength).enabled) {
    w.length = static_cast<std::uint16_t>(std::clamp(f.length, 0, 79));
    w.digits = static_cast<std::uint16_t>(std::clamp(f.digits, 0, 20));
  }
  if (w.anyModifier) {
    w.keyModifiers = 0;
    if (w.keyCode == KeyCharacter) w.keyChar = Strings::Cap(w.keyChar);
    if (IsList(w.kind) && w.area.list.code2 == KeyCharacter)
      w.area.list.key2 = Strings::Cap(w.area.list.key2);
  }
  // The working copy goes into the item; its value and pressed state stay the item's.
  DialogItem copy = w;
  std::memcpy(copy.slot, item.slot, sizeof copy.slot);
  copy.pressed = item.pressed;
  if (IsList(copy.kind)) copy.area.list.count = item.area.list.count;
  item = copy;
  item.enabled = w.enabled && w.visible;
  state.work.enabled = item.enabled;
  if (LosesText(item.kind)) std::memset(item.text, 0, sizeof item.text);
  if (HasTrait(item.kind, kTraitText) && !Unbound(item) && item.valueType == ValueType::String)
    Strings::Assign(VarChars(static_cast<char*>(item.value), item.length), f.text);
  if (item.kind == ItemKind::FramedNumber)
    AssignPadded(item.area.text, sizeof item.area.text, f.text);
  const std::uint8_t code2 = IsList(item.kind) ? item.area.list.code2 : 0;
  if ((item.keyCode >= 2 || code2 >= 2) && index > d.highestKey) d.highestKey = index;
  state.backCol = item.backCol;
  state.highCol = item.area.highCol;
  if (index == 0) {
    // The dialog's rectangle is its window's frame.
    item.rect = Rect{0, 0, r.Width(), r.Height()};
    d.normal.rect = r;
    if (d.open && Toolbox::IsWindow(d.window)) {
      Toolbox::MoveWindow(d.window, r.left, r.top, false);
      Toolbox::SizeWindow(d.window, r.Width(), r.Height());
      d.window->port.backColor = item.backCol;
      if (!d.iconized) Toolbox::SetWTitle(d.window, item.text);
    }
  }
  ItemChanged(d, index);
  DrawDialog(d);
  // The checkboxes show the working copy, which may have changed ("enabled").
  DrawItem(state.dialog, kEnabled);
}

// The item the text of "Goto Item" names: an index (digits) or a name, ignoring case.
bool TargetItem(std::int16_t& index) {
  char text[sizeof state.fields.target];
  Strings::Assign(text, state.fields.target);
  Strings::StripLeading(text, ' ');
  Strings::StripTrailing(text, ' ');
  const DialogRecord& d = *state.target;
  char line[kLineHigh + 1];
  if (text[0] == 0) {
    index = state.index;
    return true;
  }
  if (text[0] >= '0' && text[0] <= '9') {
    std::int32_t n = 0;
    bool ok = true;
    for (const char* p = text; *p != 0 && ok; ++p) {
      ok = *p >= '0' && *p <= '9';
      n = std::min(n * 10 + (*p - '0'), 99999);
    }
    if (ok && n <= d.highest) {
      index = static_cast<std::int16_t>(n);
      return true;
    }
    Strings::Assign(line, kConversion1);
    Strings::Append(line, text);
    Strings::Append(line, kConversion2);
    Highlighted(line);
    return false;
  }
  for (std::int16_t i = 0; i <= d.highest; ++i) {
    if (Strings::EqualCaseless(d.items[i]->name, text)) {
      index = i;
      return true;
    }
  }
  Strings::Assign(line, kNotFound1);
  Strings::Append(line, text);
  Strings::Append(line, kNotFound2);
  Highlighted(line);
  return false;
}

// "Update" and "Goto Item": the item shown gets the fields; another item is shown next,
// after the current one got its edits.
void GotoItem() {
  std::int16_t index = 0;
  if (!TargetItem(index)) return;
  Apply();
  if (index == state.index) return;
  state.index = index;
  LoadFields();
}

// ---- Colours ----

void LiveColour(DialogRecord& d, bool high) {
  if (d.items == nullptr) return;
  DialogItem& item = *d.items[state.index];
  if (high) {
    item.area.highCol = state.work.area.highCol;
  } else {
    item.backCol = state.work.backCol;
    if (state.index == 0 && d.open) d.window->port.backColor = item.backCol;
  }
  if (state.index == 0)
    DrawDialog(d);
  else
    DrawItem(d, state.index);
}
void BackChanged(DialogRecord& d) { LiveColour(d, false); }
void HighChanged(DialogRecord& d) { LiveColour(d, true); }

void PickColour(bool high) {
  DialogRecord& d = *state.target;
  Rect beside = Toolbox::GetWindowRect(state.dialog.window);
  RGBColor& colour = high ? state.work.area.highCol : state.work.backCol;
  DialogItem* item = state.index != 0 ? d.items[state.index] : nullptr;
  // The item is shown lit while its "High Col" is chosen.
  const bool pressed = item != nullptr && item->pressed;
  if (high && item != nullptr) {
    item->pressed = true;
    DrawItem(d, state.index);
  }
  static_cast<void>(ColorPicker::Pick(&d, colour, beside.right + kBesideWindow, beside.top,
                                      high ? HighChanged : BackChanged));
  if (high && item != nullptr && d.items != nullptr) {
    item->pressed = pressed;
    DrawItem(d, state.index);
  }
  // The configuration takes the user's clicks and keys again.
  SetCurrent(state.dialog);
  if (state.dialog.open) Toolbox::SelectWindow(state.dialog.window);
}

// ---- Keys ----

// The key an item of the configuration shows: the first key, or a list's second one.
void KeyName(std::int16_t which, VarChars name) {
  const DialogItem& w = state.work;
  if (which == kFirstKey)
    ShortKeyName(w.keyCode, w.keyChar, w.keyModifiers, name);
  else
    ShortKeyName(IsList(w.kind) ? w.area.list.code2 : 0, IsList(w.kind) ? w.area.list.key2 : 0, 0,
                 name);
}

void DrawKey(DialogRecord& d, std::int16_t which) {
  Drawing drawing(d);
  if (!drawing.Ok()) return;
  const DialogItem& item = *d.items[which];
  Toolbox::DrawControl(Toolbox::ControlKind::Frame, item.rect, 0);
  char name[kKeyNameHigh + 1];
  if (state.capturing == which)
    Strings::Assign(name, kPressKey);
  else
    KeyName(which, name);
  const std::string_view text(name, Strings::Length(name));
  if (text.empty()) return;
  UseItemFont(item);
  Toolbox::TextMode(Toolbox::kTextOr);
  Toolbox::FontInfo fi;
  Toolbox::GetFontInfo(fi);
  const Rect& r = item.rect;
  Toolbox::MoveTo((r.left + r.right - Toolbox::TextWidth(text)) / 2,
                  r.top + (r.Height() - fi.ascent - fi.descent) / 2 + fi.ascent);
  Toolbox::DrawString(text);
  Toolbox::TextMode(Toolbox::kTextCopy);
}

void Store(std::int16_t which, std::uint8_t code, char ch, std::uint8_t modifiers) {
  DialogItem& w = state.work;
  if (w.anyModifier) {
    modifiers = 0;
    if (code == KeyCharacter) ch = Strings::Cap(ch);
  }
  if (which == kFirstKey) {
    w.keyCode = code;
    w.keyChar = ch;
    w.keyModifiers = static_cast<std::uint8_t>(modifiers & 0x1F);
  } else if (IsList(w.kind)) {
    w.area.list.code2 = code;
    w.area.list.key2 = ch;
  }
  char line[kLineHigh + 1];
  Strings::Assign(line, kNewKey);
  char name[kKeyNameHigh + 1];
  ShortKeyName(code, ch, which == kFirstKey ? modifiers : 0, name);
  Strings::Append(line, name);
  TextIO::WriteLine(line);
}

// A click on a key item waits for the key to take: a click or a window event ends the
// wait without one, a menu's key is refused.
void CaptureKey(DialogRecord& d, std::int16_t which) {
  state.capturing = which;
  DrawItem(d, which);
  for (bool waiting = true; waiting && d.open;) {
    std::uint8_t code = KeyNone, modifiers = 0;
    char ch = 0;
    KeyEvents::GetKey(nullptr, code, modifiers, ch);
    switch (code) {
    case KeyNone:
    case KeyHandled:
    case KeyMouseStillDown:
      break;
    case KeyUpdate:
      if (DialogRecord* other = DialogOf(KeyEvents::LastWindow())) DrawDialog(*other);
      break;
    case KeyMenu:
      Alerts::Message(kMenuKey);
      waiting = false;
      break;
    default:
      if (code >= KeyMouse) {
        KeyEvents::UngetKey();
        S().pushedBack = true;
      } else {
        Store(which, code, ch, modifiers);
      }
      waiting = false;
      break;
    }
  }
  state.capturing = 0;
  DrawItem(d, which);
}

// ---- The buttons ----

void Finish() { state.done = true; }

void Cancel() {
  DialogRecord& d = *state.target;
  if (d.items != nullptr) {
    // Colours chosen live and not yet applied go back.
    DialogItem& item = *d.items[state.index];
    item.backCol = state.backCol;
    item.area.highCol = state.highCol;
    if (state.index == 0 && d.open) d.window->port.backColor = item.backCol;
    DrawDialog(d);
  }
  Finish();
}

void DoneAction(DialogRecord&, std::int16_t) {
  Apply();
  Finish();
}
void CancelAction(DialogRecord&, std::int16_t) { Cancel(); }
void UpdateAction(DialogRecord&, std::int16_t) { GotoItem(); }
void HighAction(DialogRecord&, std::int16_t) { PickColour(true); }
void BackAction(DialogRecord&, std::int16_t) { PickColour(false); }

void FontAction(DialogRecord&, std::int16_t) {
  // The chooser starts on the family the item is shown in; choosing that family again
  // keeps the item's own face name (a classic one stays in the dialog file).
  char shown[64], face[64];
  Toolbox::FontFamily(state.work.font, shown);
  Strings::Assign(face, shown);
  std::int32_t size = state.fields.size, style = state.fields.styleBits;
  if (!Toolbox::ChooseFont(face, size, style)) return;
  const std::int32_t number =
      Strings::Equal(face, shown) ? state.work.font : Toolbox::FontNumber(face);
  if (number >= 0) state.work.font = static_cast<std::uint16_t>(number);
  if (size > 0) state.fields.size = std::clamp(size, 5, 48);
  state.fields.styleBits = static_cast<std::uint16_t>(
      (state.fields.styleBits & ~std::uint16_t{kBold | kItalic | kUnderline}) |
      (style & (kBold | kItalic | kUnderline)));
  FontButtonText();
  DrawDialog(state.dialog);
}

void KeyAction(DialogRecord& d, std::int16_t which) { CaptureKey(d, which); }

void WmfAction(DialogRecord&, std::int16_t) {
  char name[kPathHigh + 1];
  Strings::Assign(name, kPictureName);
  Strings::Append(name, kPictureExtension);
  if (!Toolbox::AskFileName(2, kPicturePrompt, kPicturePattern, name)) return;
  CutExtension(name);
  Strings::Append(name, kPictureExtension);
  char path[kPathHigh + 1];
  if (!FileSystem::HostName(name, path)) Strings::Assign(path, name);
  const std::int32_t result = SavePictures(*state.target, path);
  SetCurrent(state.dialog);
  if (result == 0) return;
  char line[kLineHigh + 1], reason[kLineHigh + 1];
  FileSystem::ErrorText(result, reason);
  Strings::Assign(line, kStoring);
  Strings::Append(line, name);
  Strings::Append(line, kErrorMiddle);
  Strings::Append(line, reason);
  Alerts::Message(line);
}

// "Goto Item" is also taken when its text is committed, except by a click on "Update",
// which goes to the target itself: one action, one report.
void TargetAction(DialogRecord& d, std::int16_t) {
  const std::uint8_t key = KeyEvents::LastKey();
  if (S().pushedBack && (key == KeyMouse || key == KeyDoubleMouse) &&
      KeyEvents::LastWindow() == d.window) {
    Point where;
    std::uint32_t when = 0;
    KeyEvents::LastPlace(where, when);
    const Rect frame = Toolbox::GetWindowRect(d.window);
    if (Toolbox::PtInRect(Point{where.h - frame.left, where.v - frame.top}, d.items[kUpdate]->rect))
      return;
  }
  GotoItem();
}

// ---- The configuration dialog ----

bool MayClose(DialogRecord&, std::int16_t) {
  Cancel();
  return false;
}

// Other dialogs' window events make them current; the configuration takes the keys
// again, and ends when the configured dialog went away.
void Step(DialogRecord& d) {
  if (state.target == nullptr || !state.target->open || state.target->items == nullptr) {
    state.done = true;
    return;
  }
  SetCurrent(d);
}

void Number(DialogRecord& d, std::int16_t i, std::int32_t* variable, double minimum,
            double maximum) {
  BindValue(d, i, variable, ValueType::Int32);
  SetNumber(d, i, "", NumberFormat::Integer, ValueType::Int32, 7, 7, 1, minimum, maximum, 1, false,
            0);
}

void Label(DialogRecord& d, std::int16_t i, Chars text, std::int32_t left, std::int32_t bottom,
           std::int32_t width) {
  DefineItem(d, i, ItemKind::Text, "", false, text, left, bottom, width, 16);
}

void Check(DialogRecord& d, std::int16_t i, Chars text, std::int32_t left, std::int32_t bottom,
           bool* field) {
  DefineItem(d, i, ItemKind::CheckBox, text, false, text, left, bottom, 110, 16);
  BindValue(d, i, field, ValueType::Boolean);
}

void Layout(DialogRecord& d) {
  d.normal.rect = Rect{0, 0, 490, 172};
  Fields& f = state.fields;
  DialogItem& w = state.work;
  DefineItem(d, kDone, ItemKind::Button, "Done", false, "Done", 403, 160, 68, 18);
  SetItemKey(d, kDone, KeyCharacter, 13, 0, false, true);
  DefineItem(d, kCancel, ItemKind::Button, "Cancel", false, "Cancel", 324, 160, 68, 18);
  SetItemKey(d, kCancel, KeyCharacter, 27, 0, false, true);
  DefineItem(d, kUpdate, ItemKind::Button, "Update", false, "Update", 249, 160, 68, 18);
  SetItemKey(d, kUpdate, KeyCharacter, 'U', 0, true, true);
  DefineItem(d, kHighCol, ItemKind::Button, "High Col", false, "High Col", 276, 132, 70, 18);
  DefineItem(d, kBackCol, ItemKind::Button, "Back Col", false, "Back Col", 276, 111, 70, 18);
  DefineItem(d, kTarget, ItemKind::EditText, "Goto Item", false, "", 156, 158, 84, 16);
  BindText(d, kTarget, f.target, sizeof f.target - 1);
  Label(d, kGotoLabel, "Goto Item", 83, 158, 70);
  const struct {
    std::int16_t item;
    const char* name;
    const char* label;
    std::int32_t left, labelLeft, bottom;
    std::int32_t* variable;
    double minimum, maximum;
  } numbers[] = {
      {kLeft, "Rect l", "l:", 104, 81, 24, &f.left, -4000, 4000},
      {kBottom, "Rect b", "b:", 175, 151, 24, &f.bottom, -4000, 4000},
      {kWidth, "Rect w", "w:", 246, 223, 24, &f.width, -4000, 4000},
      {kHeight, "Rect h", "h:", 317, 294, 24, &f.height, -4000, 4000},
      {kPositionX, "Position l", "l:", 104, 81, 45, &f.positionX, 0, 1000},
      {kPositionY, "Position b", "b:", 175, 151, 45, &f.positionY, 0, 1000},
  };
  for (const auto& n : numbers) {
    DefineItem(d, n.item, ItemKind::Drag, base::CharsOf(n.name), false, "", n.left, n.bottom, 40,
               16);
    Number(d, n.item, n.variable, n.minimum, n.maximum);
    Label(d, static_cast<std::int16_t>(n.item + 1), base::CharsOf(n.label), n.labelLeft, n.bottom,
          19);
  }
  Label(d, kRectLabel, "Rect", 10, 24, 66);
  Label(d, kPositionLabel, "Position", 10, 45, 66);
  DefineItem(d, kText, ItemKind::EditText, "Text", false, "", 84, 66, 110, 16);
  BindText(d, kText, f.text, sizeof f.text - 1);
  Label(d, kTextLabel, "Text", 10, 66, 76);
  DefineItem(d, kUnit, ItemKind::EditText, "Unit", false, "", 204, 66, 50, 16);
  BindText(d, kUnit, f.unit, sizeof f.unit - 1);
  DefineItem(d, kLength, ItemKind::Drag, "Length", false, "", 84, 87, 50, 16);
  Number(d, kLength, &f.length, 0, 79);
  Label(d, kLengthLabel, "Length", 10, 87, 76);
  DefineItem(d, kDigits, ItemKind::Drag, "Digits", false, "", 204, 87, 50, 16);
  Number(d, kDigits, &f.digits, 0, 20);
  Label(d, kDigitsLabel, "Digits", 144, 87, 52);
  DefineItem(d, kFont, ItemKind::Button, "Font", false, "", 10, 108, 124, 16);
  FontButtonText();
  DefineItem(d, kSize, ItemKind::Drag, "Size", false, "", 204, 108, 50, 16);
  Number(d, kSize, &f.size, 5, 48);
  Label(d, kSizeLabel, "Size", 144, 108, 52);
  DefineItem(d, kStyle, ItemKind::List, "Text Style", false, "", 11, 129, 123, 16);
  InitList(d, kStyle, 0, "");
  for (const char* entry : kStyleEntries) AddListEntry(d, kStyle, base::CharsOf(entry));
  BindValue(d, kStyle, &f.styleIndex, ValueType::Int32);
  BindToggles(d, kStyle, &f.styleBits, kFirstStyleToggle);
  DefineItem(d, kSecondKey, ItemKind::User, "Second Key", false, "", 255, 129, 66, 16);
  DefineItem(d, kFirstKey, ItemKind::User, "Key", false, "", 188, 129, 66, 16);
  Label(d, kKeyLabel, "Key", 144, 129, 52);
  Check(d, kExecutable, "executable", 372, 23, &w.executable);
  Check(d, kVisible, "visible", 372, 38, &w.visible);
  Check(d, kEnabled, "enabled", 372, 53, &w.enabled);
  for (std::int16_t i = kInteger; i <= kEngineering; ++i) {
    const char* text = kFormats[i - kInteger];
    DefineItem(d, i, ItemKind::RadioButton, base::CharsOf(text), false, base::CharsOf(text), 372,
               72 + 15 * (i - kInteger), 110, 16);
    BindValue(d, i, &f.format, ValueType::Int32);
  }
  Check(d, kFrontOnly, "front only", 261, 76, &w.frontOnly);
  Check(d, kAnyModifier, "any modifier", 261, 91, &w.anyModifier);
  DefineItem(d, kAlignment, ItemKind::List, "Alignment", false, "", 281, 43, 76, 14);
  InitList(d, kAlignment, 0, "");
  for (const char* entry : kAlignments) AddListEntry(d, kAlignment, base::CharsOf(entry));
  BindValue(d, kAlignment, &f.alignment, ValueType::Int32);
  Check(d, kInverted, "inverted", 261, 61, &w.inverted);
  DefineItem(d, kWmf, ItemKind::Button, "WMF", false, "WMF", 8, 160, 68, 18);
  SetItemProcs(d, kDone, DoneAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kCancel, CancelAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kUpdate, UpdateAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kHighCol, HighAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kBackCol, BackAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kTarget, TargetAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kFont, FontAction, nullptr, nullptr, nullptr);
  SetItemProcs(d, kSecondKey, KeyAction, nullptr, nullptr, DrawKey);
  SetItemProcs(d, kFirstKey, KeyAction, nullptr, nullptr, DrawKey);
  SetItemProcs(d, kWmf, WmfAction, nullptr, nullptr, nullptr);
}

bool MakeDialog() {
  if (state.made) return true;
  DialogRecord& d = state.dialog;
  if (!Dialog::Init(d, state.items, kItems, false, false, kTitle, kName, 1, 10, kItems, 0, 172, 490,
                    172, 0))
    return false;
  DialogProcs procs;
  procs.mayClose = MayClose;
  SetProcs(d, procs, 0);
  state.made = true;
  return true;
}

void Configure(DialogRecord& d, std::int16_t item, Point where) { Open(d, item, where); }

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Dialog::Init();
  ColorPicker::Init();
  SetConfigureProc(Configure);
}

void Open(DialogRecord& d, std::int16_t itemIndex, Point position) {
  Init();
  if (state.running || d.items == nullptr || itemIndex < 0 || itemIndex > d.highest ||
      &d == &state.dialog || !MakeDialog())
    return;
  SavePlacement(d);
  state.target = &d;
  state.index = itemIndex;
  state.done = false;
  state.running = true;
  state.work = *d.items[itemIndex];
  DialogRecord& c = state.dialog;
  WindowOptions options;
  if (Dialog::Open(c, Toolbox::kCaptionWindow, Layout, nullptr, false, options, true)) {
    Rect r = Toolbox::GetWindowRect(c.window);
    Point at = position;
    if (d.open && Toolbox::IsWindow(d.window)) {
      const Rect frame = Toolbox::GetWindowRect(d.window);
      at = Point{frame.left + position.h + kBesideClick, frame.top + position.v + kBesideClick};
    }
    Toolbox::OffsetRect(r, at.h - r.left, at.v - r.top);
    FitWindow(r, Toolbox::kCaptionWindow);
    Toolbox::MoveWindow(c.window, r.left, r.top, true);
    LoadFields();
    RunModal(c.window, c, Step, state.done);
    Close(c);
  }
  state.running = false;
  state.target = nullptr;
  state.index = 0;
  if (d.open) {
    SetCurrent(d);
    if (Toolbox::IsWindow(d.window)) Toolbox::SelectWindow(d.window);
  }
}

DialogRecord* Configuration() { return state.running ? &state.dialog : nullptr; }
DialogRecord* Configured() { return state.running ? state.target : nullptr; }
std::int16_t ConfiguredItem() { return state.running ? state.index : 0; }

void ShortKeyName(std::uint8_t code, char ch, std::uint8_t modifiers, VarChars name) {
  Strings::Clear(name);
  const bool upperLetter = code == KeyCharacter && ch >= 'A' && ch <= 'Z';
  if ((modifiers & kModShift) != 0 && !upperLetter) Strings::Append(name, "sh-");
  if ((modifiers & kModCommand) != 0) Strings::Append(name, "com-");
  if ((modifiers & kModCapsLock) != 0) Strings::Append(name, "cap-");
  if ((modifiers & kModOption) != 0) Strings::Append(name, "op-");
  const bool control = (modifiers & kModControl) != 0;
  if (control) Strings::Append(name, "ctr-");
  static constexpr const char* kNames[] = {
      "up",    "down", "left", "right", "nu 0",   "nu 1",  "nu 2", "nu 3",      "nu 4",
      "nu 5",  "nu 6", "nu 7", "nu 8",  "nu 9",   "enter", "nu -", "nu +",      "nu .",
      "clear", "nu =", "nu /", "nu *",  "F1",     "F2",    "F3",   "F4",        "F5",
      "F6",    "F7",   "F8",   "F9",    "F10",    "F11",   "F12",  "F13",       "F14",
      "F15",   "home", "end",  "p-up",  "p-down", "help",  "ins",  "backspace", "delete"};
  static_assert(std::size(kNames) == KeyDeleteRight - KeyCursorUp + 1);
  if (code == KeyCharacter) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 32) {
      Strings::Append(name, "space");
    } else if (c == 27) {
      Strings::Append(name, "esc");
    } else if (c == 13) {
      Strings::Append(name, "return");
    } else if (c != 0 && c < 32) {
      if (!control) Strings::Append(name, "ctr-");
      const char letter[2] = {static_cast<char>(c + 64), 0};
      Strings::Append(name, letter);
    } else if (c != 0) {
      const char one[2] = {ch, 0};
      Strings::Append(name, one);
    }
  } else if (code >= KeyCursorUp && code <= KeyDeleteRight) {
    Strings::Append(name, base::CharsOf(kNames[code - KeyCursorUp]));
  }
}

std::int32_t SavePictures(DialogRecord& d, Chars hostPath) {
  if (!d.open || !Toolbox::IsWindow(d.window)) return FileSystem::kUserError;
  // Recorded apart from any picture a graphics window keeps of its drawing.
  Toolbox::Picture* before = Toolbox::SetRecording(nullptr);
  Toolbox::Picture* pic = Toolbox::OpenPicture(Toolbox::GetPortRect(d.window));
  DrawDialog(d);
  Toolbox::ClosePicture();
  Toolbox::SetRecording(before);
  std::int32_t result = Metafile::Write(*pic, hostPath);
  if (result == 0) {
    char svg[kPathHigh + 1];
    Strings::Assign(svg, hostPath);
    CutExtension(svg);
    Strings::Append(svg, kSvgExtension);
    result = Toolbox::SavePicture(pic, svg);
  }
  Toolbox::KillPicture(pic);
  return result;
}

} // namespace DialogConfig
