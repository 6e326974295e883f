#include "macros/MacroEntry.h"

#include <cmath>
#include <cstring>

#include "base/Strings.h"

namespace Macros {

namespace {

template <typename T> T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T> void StoreAt(void* p, T v) { std::memcpy(p, &v, sizeof v); }

double Rounded(double v, double lo, double hi) {
  if (std::isnan(v)) return 0;
  const double r = v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
  return r < lo ? lo : r > hi ? hi : r;
}

} // namespace

MacroEntry EmptyEntry() {
  MacroEntry e;
  std::memset(static_cast<void*>(&e), 0, sizeof e);
  e.forward = true;
  return e;
}

void EmptySlot(MacroSlot& s) {
  std::memset(static_cast<void*>(&s), 0, sizeof s);
  for (MacroEntry& e : s.entries) e = EmptyEntry();
  Strings::Assign(s.name, kEmptyName);
}

std::int32_t EntryCount(const MacroSlot& s) {
  std::int32_t n = 0;
  while (n < kEntries && s.entries[n].item != 0) ++n;
  return n;
}

bool IsListKind(Dialog::ItemKind kind) {
  return kind == Dialog::ItemKind::List || kind == Dialog::ItemKind::TrueFalse ||
         kind == Dialog::ItemKind::HighLow;
}

Dialog::ValueType EntryType(const Dialog::DialogItem& item) {
  return IsListKind(item.kind) ? Dialog::ValueType::Char : item.valueType;
}

double EntryValue(const MacroEntry& e, Dialog::ValueType type) {
  // Characters and list indices are signed 16 bits in an entry, whatever the variable
  // has: a relative entry holds a change, which may be negative.
  if (type == Dialog::ValueType::Char) return Load<std::int16_t>(e.value);
  return Dialog::ValueAt(e.value, type, false);
}

void SetEntryValue(MacroEntry& e, Dialog::ValueType type, double v) {
  using Dialog::ValueType;
  switch (type) {
  case ValueType::Real64:
    StoreAt(e.value, v);
    break;
  case ValueType::Real32:
    StoreAt(e.value, static_cast<float>(v));
    break;
  case ValueType::Int32:
    StoreAt(e.value, static_cast<std::int32_t>(Rounded(v, -2147483648.0, 2147483647.0)));
    break;
  case ValueType::Int16:
    StoreAt(e.value, static_cast<std::int16_t>(Rounded(v, -32768, 32767)));
    break;
  case ValueType::Set16:
    // A relative change of a set is kept as its 16 bits (read back signed when added).
    StoreAt(e.value, static_cast<std::uint16_t>(
                         static_cast<std::int32_t>(Rounded(v, -32768, 65535)) & 0xFFFF));
    break;
  case ValueType::Char:
    StoreAt(e.value, static_cast<std::int16_t>(Rounded(v, -32768, 32767)));
    break;
  case ValueType::Boolean:
    e.value[0] = v != 0 ? 1 : 0;
    break;
  default:
    break;
  }
}

std::uint16_t EntrySecond(const MacroEntry& e) { return Load<std::uint16_t>(e.value + 2); }
void SetEntrySecond(MacroEntry& e, std::uint16_t second) { StoreAt(e.value + 2, second); }

std::int32_t MenuItem(const MacroEntry& e) { return Load<std::int32_t>(e.value); }
void SetMenuItem(MacroEntry& e, std::int32_t item) { StoreAt(e.value, item); }

} // namespace Macros
