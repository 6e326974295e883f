#include "macros/MacroFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "base/Charset.h"
#include "base/NumberIn.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editwin/Menus.h"
#include "platform/Alerts.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "windows/KeyEvents.h"

namespace MacroFile {

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;
using Dialog::NumberFormat;
using Dialog::ValueType;
using namespace KeyEvents;

constexpr std::size_t kReadHigh = 1023; // a longer line comes in pieces
constexpr std::size_t kMessageHigh = 511;
constexpr std::int32_t kIntegerColumns = 11;
constexpr std::int32_t kIndexColumns = 3;
constexpr std::int32_t kSecondColumns = 5;
constexpr std::size_t kVersionColumn = 10;
constexpr std::int32_t kFirstMenu = 2;

constexpr char kChar[] = "Char  ";
constexpr char kCode[] = "Code ";
constexpr char kAny[] = " any";
constexpr char kBack[] = " back";
constexpr const char* kModifierWords[] = {" command", " shift", " caps", " option", " control"};
constexpr char kTrue[] = "  TRUE";
constexpr char kFalse[] = "  FALSE";
constexpr char kKey[] = "KEY ";
constexpr char kSecondKey[] = "KEY2 ";
constexpr char kTitleSeparator[] = " : ";

// The names of key codes 3..47 as the key writer gives them.
constexpr const char* kKeyNames[] = {
    "CursorUp", "CursorDown", "CursorLeft", "CursorRight", "Numeric0",     "Numeric1", "Numeric2",
    "Numeric3", "Numeric4",   "Numeric5",   "Numeric6",    "Numeric7",     "Numeric8", "Numeric9",
    "Enter",    "Numeric-",   "Numeric+",   "Numeric.",    "NumericClear", "Numeric=", "Numeric/",
    "Numeric*", "F1",         "F2",         "F3",          "F4",           "F5",       "F6",
    "F7",       "F8",         "F9",         "F10",         "F11",          "F12",      "F13",
    "F14",      "F15",        "HOME",       "END",         "PageUp",       "PageDown", "Help",
    "Insert",   "DeleteLeft", "DeleteRight"};
constexpr std::uint8_t kFirstNamedKey = KeyCursorUp;
static_assert(std::size(kKeyNames) == KeyDeleteRight - KeyCursorUp + 1);

// The messages.
constexpr char kSaveError1[] = "Error saving '";
constexpr char kSaveError2[] = "':   ";
constexpr char kKeyDialogClosed[] = "a key entry's dialog is not open";
constexpr char kReadError1[] = "Error reading '";
constexpr char kReadError2[] = "':  ";
constexpr char kNotMacroFile1[] = "Not a macro file: \"";
constexpr char kNotMacroFile2[] = "\".";
constexpr char kConflict1[] = "Version conflict in Macro file: ";
constexpr char kConflict2[] = "   required: ";
constexpr char kConflict3[] = "   in file: \"";
constexpr char kConflict4[] = "\"";
constexpr char kLoadAnyway[] = "Load anyway";
constexpr char kCancel[] = "Cancel";
constexpr char kIndexError[] = "Error converting macro index!";
constexpr char kLineReport[] = "Macro file line ";
// What is wrong with a line that yields no entry.
constexpr char kNotAnEntry[] = "not an entry";
constexpr char kDialogNotOpen[] = "dialog not open";
constexpr char kItemNotKnown[] = "item not known";
constexpr char kValueMissing[] = "value missing";
constexpr char kValueNotReadable[] = "value not readable";
constexpr char kKeyNotReadable[] = "key not readable";
constexpr char kMenuNotKnown[] = "menu not known";
constexpr char kMenuItemNotKnown[] = "menu item not known";
constexpr char kTooManyEntries[] = "too many entries";
constexpr char kOutsideMacros[] = "macro index outside the macros";
constexpr char kBeforeFirstMacro[] = "entry before the first macro";

bool Blank(char c) { return c == ' ' || c == '\t'; }
bool Letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool Digit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char At(Chars s, std::size_t i) { return i <= s.high ? s[i] : 0; }
void SkipBlanks(Chars s, std::size_t& pos) {
  while (Blank(At(s, pos))) ++pos;
}

void AppendChar(VarChars s, char c) {
  const char t[2] = {c, 0};
  Strings::Append(s, t);
}

// Blanks up to column (a text already there or beyond gets two).
void PadTo(VarChars s, std::size_t column) {
  std::size_t n = Strings::Length(s);
  if (n >= column) {
    Strings::Append(s, "  ");
    return;
  }
  while (n < column && n < s.high) {
    s[n++] = ' ';
    s[n] = 0;
  }
}

// Without surrounding blanks.
Chars Trimmed(Chars s, char* buffer, std::size_t high) {
  std::size_t from = 0, to = Strings::Length(s);
  while (from < to && Blank(s[from])) ++from;
  while (to > from && Blank(s[to - 1])) --to;
  const std::size_t n = std::min(to - from, high);
  std::memcpy(buffer, s.p + from, n);
  buffer[n] = 0;
  return Chars(buffer, high);
}

bool Valued(ItemKind k) {
  switch (k) {
  case ItemKind::Switch:
  case ItemKind::RadioButton:
  case ItemKind::CheckBox:
  case ItemKind::MultiCheck:
  case ItemKind::Drag:
  case ItemKind::EditText:
  case ItemKind::List:
  case ItemKind::Pane:
    return true;
  default:
    return false;
  }
}

std::int32_t RoundInt(double v) {
  if (std::isnan(v)) return 0;
  const double r = v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
  return static_cast<std::int32_t>(std::clamp(r, -2147483648.0, 2147483647.0));
}

// A number in the item's format in width places (the format's own width when 0).
void AppendNumber(const DialogItem& item, double v, VarChars text, int width) {
  const int length = width > 0 ? width : std::max<int>(1, std::min<int>(item.length, 60));
  const int digits = std::min<int>(item.digits, 30);
  switch (item.format) {
  case NumberFormat::Integer:
    NumberOut::AppendInt(RoundInt(v), text, length);
    break;
  case NumberFormat::Hexadecimal:
    NumberOut::AppendHex(static_cast<std::uint32_t>(RoundInt(v)), text, length);
    break;
  case NumberFormat::Fixed:
    NumberOut::AppendFixed(v, text, std::max(length, digits + 2), digits);
    break;
  case NumberFormat::Scientific:
    NumberOut::AppendReal(v, text, std::max(length, digits + 7));
    break;
  case NumberFormat::Engineering:
    NumberOut::AppendEng(v, text, std::max(length, std::max(6, digits + 4)));
    break;
  }
}

void AppendValue(DialogRecord& d, std::int16_t index, const MacroEntry& e, VarChars line) {
  const DialogItem& item = *d.items[index];
  const ValueType type = Macros::EntryType(item);
  const double v = Macros::EntryValue(e, type);
  switch (type) {
  case ValueType::Real64:
  case ValueType::Real32:
    AppendNumber(item, v * item.factor, line, 0);
    Strings::Append(line, item.unit);
    break;
  case ValueType::Int32:
  case ValueType::Int16:
    if (item.format == NumberFormat::Hexadecimal)
      NumberOut::AppendHex(static_cast<std::uint32_t>(RoundInt(v)), line, kIntegerColumns);
    else
      NumberOut::AppendInt(RoundInt(v), line, kIntegerColumns);
    Strings::Append(line, item.unit);
    break;
  case ValueType::Set16:
    if (item.format == NumberFormat::Hexadecimal)
      NumberOut::AppendHex(static_cast<std::uint32_t>(RoundInt(v)), line, kIntegerColumns);
    else
      AppendNumber(item, v, line, std::max<int>(kIntegerColumns, item.length + 1));
    break;
  case ValueType::Boolean:
    Strings::Append(line, v != 0 ? Chars(kTrue) : Chars(kFalse));
    break;
  case ValueType::Char: {
    const std::int32_t n = RoundInt(v);
    NumberOut::AppendInt(n, line, kIndexColumns);
    if (!Macros::IsListKind(item.kind)) break;
    const std::uint16_t second = Macros::EntrySecond(e);
    if (item.kind == ItemKind::List && second != 0) {
      Strings::Append(line, "(");
      NumberOut::AppendInt(second, line, kSecondColumns);
      Strings::Append(line, ")");
    }
    if (n >= 0) {
      char entry[kLineHigh + 1];
      Dialog::GetListEntryText(d, index, n + 1, entry);
      Strings::Append(line, "; ");
      Strings::Append(line, entry);
    }
    break;
  }
  case ValueType::String: {
    const char quote = std::strchr(e.text, '"') != nullptr ? '\'' : '"';
    AppendChar(line, quote);
    Strings::Append(line, e.text);
    AppendChar(line, quote);
    break;
  }
  }
}

// ---- Menus by title ----

void MenuTitle(std::int32_t menu, VarChars title) {
  Strings::Clear(title);
  if (menu < kFirstMenu || menu > Menus::kMaxMenu || Menus::CountItems(menu) == 0) return;
  if (const Toolbox::Menu* m = Toolbox::GetMenu(menu))
    Strings::Assign(title, base::CharsOf(m->title.c_str()));
}

std::int32_t MenuOf(const MacroEntry& e) {
  char t[kLineHigh + 1];
  MenuTitle(e.menu, t);
  if (t[0] != 0 && Strings::Equal(t, e.text)) return e.menu;
  return MenuWithTitle(e.text);
}

// ---- Reading values ----

bool ReadNumber(Chars s, std::size_t& pos, NumberFormat format, double& v) {
  switch (format) {
  case NumberFormat::Integer: {
    std::int32_t i = 0;
    const bool ok = NumberIn::ScanInt(s, pos, i);
    v = i;
    return ok;
  }
  case NumberFormat::Hexadecimal: {
    SkipBlanks(s, pos);
    std::uint32_t h = 0;
    const bool ok = TextIO::ScanHex(s, pos, h);
    v = static_cast<std::int32_t>(h);
    return ok;
  }
  case NumberFormat::Engineering:
    return NumberIn::ScanRealSI(s, pos, v);
  default:
    return NumberIn::ScanReal(s, pos, v);
  }
}

bool ReadBoolean(Chars s, std::size_t pos, double& v) {
  SkipBlanks(s, pos);
  char word[16] = {};
  std::size_t n = 0;
  while (n + 1 < sizeof word && (Letter(At(s, pos)) || Digit(At(s, pos))))
    word[n++] = Strings::Cap(s[pos++]);
  for (const char* t : {"TRUE", "HIGH", "1"})
    if (Strings::Equal(word, base::CharsOf(t))) return v = 1, true;
  for (const char* f : {"FALSE", "LOW", "0"})
    if (Strings::Equal(word, base::CharsOf(f))) return v = 0, true;
  return false;
}

// A string between double or single quotes (to the last one of its kind).
bool ReadString(Chars s, std::size_t pos, VarChars text) {
  SkipBlanks(s, pos);
  const char quote = At(s, pos);
  if (quote != '"' && quote != '\'') return false;
  const std::size_t from = pos + 1;
  std::size_t to = Strings::Length(s);
  while (to > from && s[to - 1] != quote) --to;
  if (to == from) to = Strings::Length(s) + 1; // no closing quote: to the end
  Strings::Assign(text, Chars(s.p + from, to - from - 1));
  if (to - from - 1 <= text.high) text[to - from - 1] = 0;
  return true;
}

const char* ReadValue(DialogRecord& d, std::int16_t index, Chars value, MacroEntry& e) {
  DialogItem& item = *d.items[index];
  const bool list = Macros::IsListKind(item.kind);
  std::size_t pos = 0;
  SkipBlanks(value, pos);
  if (At(value, pos) == 0) {
    if (Valued(item.kind)) return kValueMissing;
    // Without a value: a button is pressed, another item acts with what it holds.
    if (item.kind == ItemKind::Button) {
      Macros::SetEntryValue(e, Macros::EntryType(item), 1);
    } else if (item.valueType == ValueType::String) {
      if (item.value != nullptr)
        Strings::Assign(e.text, Chars(static_cast<const char*>(item.value), item.length));
    } else if (item.value != nullptr) {
      Macros::SetEntryValue(e, Macros::EntryType(item), Dialog::ValueOf(item));
      if (list) Macros::SetEntrySecond(e, Dialog::ListSecond(item));
    }
    return nullptr;
  }
  double v = 0;
  const ValueType type = Macros::EntryType(item);
  switch (type) {
  case ValueType::Real64:
  case ValueType::Real32:
    if (!ReadNumber(value, pos, item.format, v)) return kValueNotReadable;
    if (item.factor != 0) v /= item.factor;
    break;
  case ValueType::Int32:
  case ValueType::Int16:
    if (!ReadNumber(value, pos,
                    item.format == NumberFormat::Hexadecimal ? NumberFormat::Hexadecimal
                                                             : NumberFormat::Integer,
                    v))
      return kValueNotReadable;
    break;
  case ValueType::Set16:
    if (!ReadNumber(value, pos, item.format, v)) return kValueNotReadable;
    break;
  case ValueType::Boolean:
    if (!ReadBoolean(value, pos, v)) return kValueNotReadable;
    break;
  case ValueType::Char: {
    if (!ReadNumber(value, pos, NumberFormat::Integer, v)) return kValueNotReadable;
    SkipBlanks(value, pos);
    if (list && At(value, pos) == '(') {
      ++pos;
      std::int32_t second = 0;
      if (!NumberIn::ScanInt(value, pos, second)) return kValueNotReadable;
      Macros::SetEntrySecond(e, static_cast<std::uint16_t>(second));
    }
    break;
  }
  case ValueType::String:
    return ReadString(value, pos, e.text) ? nullptr : kValueNotReadable;
  }
  Macros::SetEntryValue(e, type, v);
  return nullptr;
}

// The named macro item of d that the text at pos starts with (the longest name, any
// case); its index, pos moved past the name.
std::int16_t FindItem(DialogRecord& d, Chars s, std::size_t& pos) {
  std::int16_t best = 0;
  std::size_t bestLength = 0;
  SkipBlanks(s, pos);
  for (std::int32_t i = 1; i <= d.highest; ++i) {
    const DialogItem& item = *d.items[i];
    if (!item.macro) continue;
    char name[Dialog::kNameHigh + 1];
    const Chars n = Trimmed(item.name, name, Dialog::kNameHigh);
    const std::size_t length = Strings::Length(n);
    if (length == 0 || length <= bestLength) continue;
    if (Strings::CompareN(Chars(s.p + pos, s.high >= pos ? s.high - pos : 0), n, length, length,
                          true) != 0)
      continue;
    const char after = At(s, pos + length);
    if (after != 0 && !Blank(after)) continue;
    best = static_cast<std::int16_t>(i);
    bestLength = length;
  }
  pos += bestLength;
  return best;
}

Parsed ParseItemEntry(Chars s, std::size_t pos, MacroEntry& e, const char*& why) {
  DialogRecord* d = FindDialog(s[pos]);
  if (d == nullptr) {
    why = kDialogNotOpen;
    return Parsed::DialogUnknown;
  }
  ++pos;
  const std::int16_t index = FindItem(*d, s, pos);
  if (index == 0) {
    why = kItemNotKnown;
    return Parsed::NoEntry;
  }
  const DialogItem& item = *d->items[index];
  e.idChar = d->idChar;
  e.item = index;
  e.anyModifier = item.anyModifier;
  SkipBlanks(s, pos);
  const Chars rest(s.p + pos, s.high >= pos ? s.high - pos : 0);
  const bool second = Strings::CompareN(rest, kSecondKey, 5, 5, true) == 0;
  if (second || Strings::CompareN(rest, kKey, 4, 4, true) == 0) {
    std::size_t at = second ? 5 : 4;
    e.keyAssignment = true;
    e.secondKey = second;
    if (!ReadKey(rest, at, e.code, e.ch, e.modifiers, e.anyModifier, e.forward)) {
      why = kKeyNotReadable;
      return Parsed::NoEntry;
    }
    return Parsed::Entry;
  }
  why = ReadValue(*d, index, rest, e);
  return why == nullptr ? Parsed::Entry : Parsed::NoEntry;
}

Parsed ParseMenuEntry(Chars s, std::size_t pos, MacroEntry& e, const char*& why) {
  ++pos;
  SkipBlanks(s, pos);
  const std::size_t from = pos;
  while (At(s, pos) != 0 && At(s, pos) != '"') ++pos;
  if (At(s, pos) != '"' || pos == from) {
    why = kNotAnEntry;
    return Parsed::NoEntry;
  }
  std::size_t to = pos;
  while (to > from && Blank(s[to - 1])) --to;
  char title[kLineHigh + 1];
  Strings::Assign(title, Chars(s.p + from, to - from - 1));
  if (to - from <= kLineHigh) title[to - from] = 0;
  char text[kLineHigh + 1];
  if (!ReadString(s, pos, text)) {
    why = kNotAnEntry;
    return Parsed::NoEntry;
  }
  const std::int32_t menu = MenuWithTitle(title);
  if (menu == 0) {
    why = kMenuNotKnown;
    return Parsed::NoEntry;
  }
  std::int32_t item = 0;
  if (text[0] == '#') {
    std::size_t at = 1;
    if (!NumberIn::ScanInt(text, at, item) || item < 1 || item > Menus::CountItems(menu)) item = 0;
  }
  for (std::int32_t i = 1; item == 0 && i <= Menus::CountItems(menu); ++i) {
    char t[kLineHigh + 1];
    Menus::GetItemText(menu, i, t);
    if (Strings::EqualCaseless(t, text)) item = i;
  }
  if (item == 0) {
    why = kMenuItemNotKnown;
    return Parsed::NoEntry;
  }
  e.idChar = Macros::kMenuId;
  e.item = Macros::kMenuEntry;
  e.menu = menu;
  Strings::Assign(e.text, title);
  Macros::SetMenuItem(e, item);
  return Parsed::Entry;
}

// ---- Files ----

void AppendLine(std::string& image, Chars line) {
  image.append(line.p, Strings::Length(line));
  switch (FileSystem::LineEndMode()) {
  case 1:
    image += "\r\n";
    break;
  case 2:
    image += '\n';
    break;
  default:
    image += '\r';
    break;
  }
}

void FileAlert(Chars first, Chars name, Chars second, Chars reason) {
  char message[kMessageHigh + 1];
  Strings::Assign(message, first);
  Strings::Append(message, name);
  Strings::Append(message, second);
  Strings::Append(message, reason);
  Alerts::Message(message);
}

void ErrorText(VarChars text) { FileSystem::ErrorText(FileSystem::Result(), text); }

void ReportLine(std::int32_t number, const char* why, Chars line) {
  char report[kMessageHigh + 1];
  Strings::Assign(report, kLineReport);
  NumberOut::AppendInt(number, report, 0);
  Strings::Append(report, ": ");
  Strings::Append(report, base::CharsOf(why));
  Strings::Append(report, ": ");
  Strings::Append(report, line);
  TextIO::WriteLine(report);
}

// The image of the macros: false when a key entry's dialog is not open.
bool Image(std::int32_t version, const MacroSlot* slots, std::int32_t highest, std::string& image) {
  char line[kLineHigh + 1];
  HeaderLine(version, line);
  AppendLine(image, line);
  for (std::int32_t k = 1; k <= highest; ++k) {
    const MacroSlot& s = slots[k];
    const std::int32_t n = Macros::EntryCount(s);
    if (n == 0) continue;
    TitleLine(k, s, line);
    AppendLine(image, line);
    for (std::int32_t i = 0; i < n; ++i) {
      switch (EntryLine(s.entries[i], line)) {
      case Line::Written:
        AppendLine(image, line);
        break;
      case Line::DialogUnknown:
        if (s.entries[i].item == Macros::kKeyEntry) return false;
        break;
      case Line::Skipped:
        break;
      }
    }
  }
  return true;
}

} // namespace

std::int32_t MenuWithTitle(Chars title) {
  char t[kLineHigh + 1];
  for (std::int32_t m = kFirstMenu; m <= Menus::kMaxMenu; ++m) {
    MenuTitle(m, t);
    if (t[0] != 0 && Strings::Equal(t, title)) return m;
  }
  return 0;
}

void GetMenuTitle(std::int32_t menu, VarChars title) { MenuTitle(menu, title); }

void Init() {
  NumberOut::Init();
  NumberIn::Init();
  Dialog::Init();
  Menus::Init();
  TextIO::Init();
  FileSystem::Init();
}

DialogRecord* FindDialog(char id) {
  if (id == 0) return nullptr;
  for (DialogRecord* d = Dialog::Known(); d != nullptr; d = d->next)
    if (d->open && d->items != nullptr && Strings::Cap(d->idChar) == Strings::Cap(id)) return d;
  return nullptr;
}

// ---- Key descriptions ----

void KeyDescription(std::uint8_t code, char ch, std::uint8_t modifiers, bool any, bool forward,
                    VarChars text) {
  Strings::Clear(text);
  const auto c = static_cast<unsigned char>(ch);
  if (code == KeyCharacter) {
    Strings::Assign(text, kChar);
    if (c == 13) {
      Strings::Append(text, "RETURN");
    } else if (c == 27) {
      Strings::Append(text, "ESC");
    } else if (c == 32) {
      Strings::Append(text, "SPACE");
    } else if (c >= 1 && c <= 26) {
      Strings::Append(text, "\"^");
      AppendChar(text, static_cast<char>(c + 64));
      Strings::Append(text, "\"");
    } else if (c < 32 || c == 127) {
      NumberOut::AppendInt(c, text, 0);
    } else {
      const char quote = c == '"' ? '\'' : '"';
      AppendChar(text, quote);
      AppendChar(text, ch);
      AppendChar(text, quote);
    }
  } else if (code >= kFirstNamedKey && code <= KeyDeleteRight) {
    Strings::Assign(text, base::CharsOf(kKeyNames[code - kFirstNamedKey]));
  } else {
    Strings::Assign(text, kCode);
    NumberOut::AppendInt(code, text, 0);
  }
  if (any) {
    Strings::Append(text, kAny);
  } else {
    for (int bit = 0; bit < 5; ++bit)
      if ((modifiers & (1u << bit)) != 0) Strings::Append(text, base::CharsOf(kModifierWords[bit]));
  }
  if (!forward) Strings::Append(text, kBack);
}

namespace {

// A character between quotes at pos: code 2, shift for an upper-case letter, control
// for '^' and a letter.
bool ReadQuoted(Chars s, std::size_t& pos, char& ch, std::uint8_t& modifiers) {
  const char quote = At(s, pos);
  if (quote != '"' && quote != '\'') return false;
  const char c = At(s, pos + 1);
  if (c == '^' && Letter(At(s, pos + 2)) && At(s, pos + 3) == quote) {
    ch = static_cast<char>(Strings::Cap(s[pos + 2]) - 64);
    modifiers |= kModControl;
    pos += 4;
    return true;
  }
  if (c == 0 || At(s, pos + 2) != quote) return false;
  ch = c;
  if (c >= 'A' && c <= 'Z') modifiers |= kModShift;
  pos += 3;
  return true;
}

// The next word (up to a blank or a quote) in upper case.
void Word(Chars s, std::size_t& pos, VarChars word) {
  SkipBlanks(s, pos);
  std::size_t n = 0;
  while (At(s, pos) != 0 && !Blank(At(s, pos)) && At(s, pos) != '"' && At(s, pos) != '\'') {
    if (n < word.high) word[n++] = Strings::Cap(s[pos]);
    ++pos;
  }
  word[n] = 0;
}

bool CharacterWord(Chars word, char& ch) {
  if (Strings::Equal(word, "RETURN")) return ch = 13, true;
  if (Strings::Equal(word, "SPACE")) return ch = 32, true;
  if (Strings::Equal(word, "ESC")) return ch = 27, true;
  return false;
}

} // namespace

bool ReadKey(Chars s, std::size_t& pos, std::uint8_t& code, char& ch, std::uint8_t& modifiers,
             bool& any, bool& forward) {
  code = 0;
  ch = 0;
  modifiers = 0;
  any = false;
  forward = true;
  SkipBlanks(s, pos);
  char word[32];
  if (ReadQuoted(s, pos, ch, modifiers)) {
    code = KeyCharacter;
  } else {
    Word(s, pos, word);
    if (word[0] == 0) return false;
    if (Strings::Equal(word, "CHAR")) {
      code = KeyCharacter;
      SkipBlanks(s, pos);
      if (!ReadQuoted(s, pos, ch, modifiers)) {
        std::int32_t n = 0;
        std::size_t at = pos;
        if (NumberIn::ScanInt(s, at, n)) {
          if (n < 0 || n > 255) return false;
          ch = static_cast<char>(n);
          pos = at;
        } else {
          Word(s, pos, word);
          if (!CharacterWord(word, ch)) return false;
        }
      }
    } else if (Strings::Equal(word, "CODE")) {
      std::int32_t n = 0;
      if (!NumberIn::ScanInt(s, pos, n) || n < 0 || n > 255) return false;
      code = static_cast<std::uint8_t>(n);
    } else if (CharacterWord(word, ch)) {
      code = KeyCharacter;
    } else {
      for (std::size_t k = 0; k < std::size(kKeyNames) && code == 0; ++k) {
        char name[32];
        Strings::UpperCopy(base::CharsOf(kKeyNames[k]), name);
        if (Strings::Equal(word, name)) code = static_cast<std::uint8_t>(kFirstNamedKey + k);
      }
      if (code == 0) return false;
    }
  }
  for (;;) {
    SkipBlanks(s, pos);
    if (At(s, pos) == 0) return true;
    Word(s, pos, word);
    bool known = false;
    for (int bit = 0; bit < 5 && !known; ++bit) {
      char name[16];
      Strings::UpperCopy(base::CharsOf(kModifierWords[bit] + 1), name);
      if (Strings::Equal(word, name)) {
        modifiers |= static_cast<std::uint8_t>(1u << bit);
        known = true;
      }
    }
    if (known) continue;
    if (Strings::Equal(word, "ANY")) {
      any = true;
    } else if (Strings::Equal(word, "BACK")) {
      forward = false;
    } else {
      return false;
    }
  }
}

// ---- Lines ----

void HeaderLine(std::int32_t version, VarChars line) {
  Strings::Assign(line, kHeader);
  NumberOut::AppendInt(version, line, kIntegerColumns);
}

void TitleLine(std::int32_t index, const MacroSlot& slot, VarChars line) {
  Strings::Clear(line);
  NumberOut::AppendInt(index, line, kIndexColumns);
  Strings::Append(line, kTitleSeparator);
  Strings::Append(line, slot.name);
  if (slot.comment[0] != 0) {
    Strings::Append(line, ";");
    Strings::Append(line, slot.comment);
  }
}

Line EntryLine(const MacroEntry& e, VarChars line) {
  Strings::Assign(line, "  ");
  if (e.item == Macros::kMenuEntry) {
    AppendChar(line, Macros::kMenuId);
    Strings::Append(line, "  ");
    Strings::Append(line, e.text);
    PadTo(line, kValueColumn);
    const std::int32_t menu = MenuOf(e);
    const std::int32_t item = Macros::MenuItem(e);
    char text[kLineHigh + 1] = {};
    if (menu != 0) Menus::GetItemText(menu, item, text);
    if (text[0] == 0) {
      Strings::Assign(text, "#");
      NumberOut::AppendInt(item, text, 0);
    }
    Strings::Append(line, "\"");
    Strings::Append(line, text);
    Strings::Append(line, "\"");
    return Line::Written;
  }
  DialogRecord* d = FindDialog(e.idChar);
  if (e.item == Macros::kKeyEntry) {
    if (d == nullptr) return Line::DialogUnknown;
    AppendChar(line, Lower(e.idChar));
    Strings::Append(line, "  ");
    char key[kLineHigh + 1];
    KeyDescription(e.code, e.ch, e.modifiers, e.anyModifier, e.forward, key);
    Strings::Append(line, key);
    return Line::Written;
  }
  if (d == nullptr) return Line::DialogUnknown;
  if (e.item < 1 || e.item > d->highest) return Line::Skipped;
  const DialogItem& item = *d->items[e.item];
  char name[Dialog::kNameHigh + 1];
  Strings::Assign(name, item.name);
  if (!item.macro || name[0] == 0) return Line::Skipped;
  AppendChar(line, Strings::Cap(e.idChar));
  Strings::Append(line, "  ");
  Strings::Append(line, name);
  if (e.keyAssignment) {
    PadTo(line, kValueColumn);
    Strings::Append(line, e.secondKey ? Chars(kSecondKey) : Chars(kKey));
    char key[kLineHigh + 1];
    KeyDescription(e.code, e.ch, e.modifiers, e.anyModifier, e.forward, key);
    Strings::Append(line, key);
    return Line::Written;
  }
  if (!Valued(item.kind)) return Line::Written;
  PadTo(line, kValueColumn);
  AppendValue(*d, e.item, e, line);
  return Line::Written;
}

Parsed ParseEntryLine(Chars s, MacroEntry& e, const char*& why) {
  e = Macros::EmptyEntry();
  why = kNotAnEntry;
  std::size_t pos = 0;
  SkipBlanks(s, pos);
  const char c = At(s, pos);
  if (c == Macros::kMenuId) return ParseMenuEntry(s, pos, e, why);
  if (c >= 'A' && c <= 'Z') return ParseItemEntry(s, pos, e, why);
  if (c >= 'a' && c <= 'z') {
    ++pos;
    e.idChar = c;
    e.item = Macros::kKeyEntry;
    if (FindDialog(c) != nullptr) e.idChar = FindDialog(c)->idChar;
    if (!ReadKey(s, pos, e.code, e.ch, e.modifiers, e.anyModifier, e.forward)) {
      why = kKeyNotReadable;
      e = Macros::EmptyEntry();
      return Parsed::NoEntry;
    }
    return Parsed::Entry;
  }
  return Parsed::NoEntry;
}

// ---- Files ----

// The next line of a macro file: the characters of a line that is UTF-8 of the set,
// else its bytes (files written before macro files were UTF-8).
template <std::size_t N>
bool ReadFileLine(FileSystem::File& f, std::int32_t& count, char (&line)[N]) {
  if (!FileSystem::ReadLine(f, count, line)) return false;
  std::string text;
  if (Charset::FromHostText(std::string_view(line, std::size_t(count)), text) ==
      Charset::Coding::Utf8) {
    Strings::Assign(line, base::CharsOf(text));
    count = static_cast<std::int32_t>(Strings::Length(line));
  }
  return true;
}

bool Write(Chars fileName, std::int32_t version, const MacroSlot* slots, std::int32_t highest) {
  Init();
  std::string image;
  if (!Image(version, slots, highest, image)) {
    FileAlert(kSaveError1, fileName, kSaveError2, kKeyDialogClosed);
    return false;
  }
  // A text file of the host: UTF-8.
  image = Charset::ToUtf8(image);
  std::int32_t count = static_cast<std::int32_t>(image.size());
  if (FileSystem::WriteWhole(fileName, count, image)) return true;
  char reason[kLineHigh + 1];
  ErrorText(reason);
  FileAlert(kSaveError1, fileName, kSaveError2, reason);
  return false;
}

bool ReadVersion(Chars fileName, std::int32_t& version) {
  Init();
  FileSystem::File f;
  if (!FileSystem::Open(fileName, FileSystem::kRead, f)) return false;
  char line[kReadHigh + 1] = {};
  std::int32_t count = kReadHigh;
  const bool ok =
      ReadFileLine(f, count, line) && Strings::CompareN(line, kHeader, 10, 10, false) == 0;
  FileSystem::Close(f);
  std::size_t pos = kVersionColumn;
  return ok && NumberIn::ScanInt(line, pos, version);
}

bool Read(Chars fileName, std::int32_t version, bool verbose, MacroSlot* slots,
          std::int32_t highest) {
  Init();
  FileSystem::File f;
  char reason[kLineHigh + 1];
  if (!FileSystem::Open(fileName, FileSystem::kRead, f)) {
    ErrorText(reason);
    FileAlert(kReadError1, fileName, kReadError2, reason);
    return false;
  }
  char line[kReadHigh + 1] = {};
  std::int32_t count = kReadHigh;
  if (!ReadFileLine(f, count, line) || Strings::CompareN(line, kHeader, 10, 10, false) != 0) {
    FileSystem::Close(f);
    if (verbose) FileAlert(kNotMacroFile1, fileName, "", kNotMacroFile2);
    return false;
  }
  std::size_t pos = kVersionColumn;
  std::int32_t fileVersion = 0;
  if (!NumberIn::ScanInt(line, pos, fileVersion) || fileVersion != version) {
    char message[kMessageHigh + 1];
    Strings::Assign(message, kConflict1);
    Strings::Append(message, "\n");
    Strings::Append(message, kConflict2);
    NumberOut::AppendInt(version, message, 0);
    Strings::Append(message, "\n");
    Strings::Append(message, kConflict3);
    if (Strings::Length(line) > kVersionColumn)
      Strings::Append(message, base::CharsOf(line + kVersionColumn));
    Strings::Append(message, kConflict4);
    if (Alerts::ThreeButtonAlert(message, kLoadAnyway, kCancel, "", 1) != 1) {
      FileSystem::Close(f);
      return false;
    }
  }
  for (std::int32_t k = 1; k <= highest; ++k) Macros::EmptySlot(slots[k]);
  bool ok = true;
  std::int32_t selected = 0; // 0 before the first title, -1 outside the macros
  std::int32_t entries = 0;
  for (std::int32_t number = 2;; ++number) {
    count = kReadHigh;
    if (!ReadFileLine(f, count, line)) break;
    if (Strings::Length(line) < 6) continue;
    std::size_t first = 0;
    SkipBlanks(line, first);
    if (line[first] == ';') continue;
    if (Digit(line[2])) {
      char digits[4] = {line[0], line[1], line[2], 0};
      std::size_t at = 0;
      std::int32_t index = 0;
      if (!NumberIn::ScanInt(digits, at, index) || at < 3) {
        Alerts::Message(kIndexError);
        ok = false;
        break;
      }
      if (index < 1 || index > highest) {
        selected = -1;
        if (verbose) ReportLine(number, kOutsideMacros, line);
        continue;
      }
      selected = index;
      entries = 0;
      MacroSlot& s = slots[index];
      Macros::EmptySlot(s);
      at = 3;
      while (Blank(line[at]) || line[at] == ':') ++at;
      const char* semicolon = std::strchr(line + at, ';');
      const std::size_t nameLength = semicolon != nullptr
                                         ? static_cast<std::size_t>(semicolon - (line + at))
                                         : std::strlen(line + at);
      char name[kReadHigh + 1];
      Strings::Assign(name, Chars(line + at, nameLength > 0 ? nameLength - 1 : 0));
      name[std::min(nameLength, kReadHigh)] = 0;
      Strings::StripTrailing(name, ' ');
      Strings::Assign(s.name, name);
      if (semicolon != nullptr) Strings::Assign(s.comment, base::CharsOf(semicolon + 1));
      continue;
    }
    if (selected <= 0) {
      if (selected == 0 && verbose) ReportLine(number, kBeforeFirstMacro, line);
      continue;
    }
    MacroEntry e;
    const char* why = nullptr;
    if (ParseEntryLine(line, e, why) != Parsed::Entry) {
      if (verbose) ReportLine(number, why, line);
      continue;
    }
    if (entries >= Macros::kEntries) {
      if (verbose) ReportLine(number, kTooManyEntries, line);
      continue;
    }
    slots[selected].entries[entries++] = e;
  }
  FileSystem::Close(f);
  for (std::int32_t k = 1; k <= highest; ++k)
    if (Macros::EntryCount(slots[k]) == 0) Strings::Assign(slots[k].name, Macros::kEmptyName);
  return ok;
}

void List(std::int32_t version, const MacroSlot* slots, std::int32_t highest) {
  Init();
  const bool logging = TextIO::Logging();
  TextIO::SetLogging(true);
  TextIO::EndLine();
  char line[kLineHigh + 1];
  HeaderLine(version, line);
  TextIO::WriteLine(line);
  for (std::int32_t k = 1; k <= highest; ++k) {
    const MacroSlot& s = slots[k];
    const std::int32_t n = Macros::EntryCount(s);
    if (n == 0) continue;
    TitleLine(k, s, line);
    TextIO::WriteLine(line);
    for (std::int32_t i = 0; i < n; ++i)
      if (EntryLine(s.entries[i], line) == Line::Written) TextIO::WriteLine(line);
  }
  TextIO::SetLogging(logging);
}

void MacName(VarChars name) {
  std::size_t n = Strings::Length(name);
  std::size_t start = n;
  while (start > 0 && name[start - 1] != '/') --start;
  for (std::size_t i = n; i > start; --i) {
    if (name[i - 1] == '.') {
      name[i - 1] = 0;
      break;
    }
  }
  Strings::Append(name, kExtension);
}

} // namespace MacroFile
