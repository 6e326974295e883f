// Dialog files: a 512-byte header and one 312-byte record per item, little-endian, with
// the layout and look of the items (not their values). Items are matched by name when
// reading, so that a program may add, remove and renumber items between versions.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Strings.h"
#include "dialog/DialogInternal.h"
#include "platform/Alerts.h"
#include "store/FileSystem.h"

namespace Dialog {

using namespace Internal;
using ByteOrder::Get16;
using ByteOrder::Get32;
using ByteOrder::Get64;
using ByteOrder::Put16;
using ByteOrder::Put32;
using ByteOrder::Put64;

namespace {

constexpr std::int32_t kHeaderLength = 512;
constexpr std::int32_t kRecordLength = 312;
constexpr std::int32_t kReadLimit = 512; // bytes of a record read; the rest is skipped
constexpr std::uint16_t kFormat = 1;
constexpr std::uint8_t kProcessor = 1;
using base::kPathHigh;
constexpr std::size_t kMessageHigh = 255;
constexpr char kExtension[] = ".dia";
constexpr char kFileType[] = "DIAL";

constexpr char kNoBuffer[] = "Error: no buffer allocated!";
constexpr char kNotStorable[] = "Error: this dialog cannot be stored!";
constexpr char kNotReadable[] = "Error: dialog not setup to be read!";
constexpr char kStoring[] = "Error storing '";
constexpr char kLoading[] = "Error loading '";
constexpr char kErrorMiddle[] = "':   ";
constexpr char kHeaderConflict[] = "Header Length conflict";
constexpr char kCpuConflict[] = "Version conflict (wrong CPU)";
constexpr char kVersionConflict[] = "Version conflict";
constexpr char kConflictLoading[] = " loading \"";
constexpr char kConflictEnd[] = "\":";
constexpr char kConflictAborted[] = "\" loading aborted.";
constexpr char kLoad[] = "Load";
constexpr char kAbort[] = "Abort";

// Header offsets.
constexpr int kVersion32 = 0, kHeaderLengthAt = 4, kRecordLengthAt = 8, kVersion16 = 12,
              kFormatAt = 14, kProcessorAt = 16, kIconizedAt = 17, kNormalAt = 24, kIconAt = 44;
// Record offsets.
constexpr int kName = 0, kKeyChar = 80, kKeyCode = 81, kExecutable = 82, kVisible = 83,
              kEnabled = 84, kTextEntry = 85, kText = 86, kUnit = 166, kPositionX = 174,
              kPositionY = 176, kFont = 178, kSize = 180, kStyle = 183, kAlignment = 184,
              kInverted = 185, kNumberFormat = 186, kOption = 187, kAnyModifier = 188,
              kLength = 190, kDigits = 192, kLineHeight = 194, kKeyModifiers = 196,
              kFrontOnly = 197, kBackCol = 198, kFactor = 208, kRect = 216, kKindArea = 232;
constexpr int kBoxSize = 248, kBoxSize2 = 250, kBoxState = 252;

// Coordinates are scaled by f on the way out (1 / ScreenScale) and, into an open
// dialog, by the scale on the way in; f near 1 leaves them alone.
bool Scales(double f) { return std::abs(f - 1.0) > 0.001; }

std::int32_t ScaleValue(std::int32_t v, double f) { return Scales(f) ? Round(v * f) : v; }

Rect ScaleRect(const Rect& r, double f) {
  if (!Scales(f)) return r;
  Rect s;
  s.left = Round(r.left * f);
  s.top = Round(r.top * f);
  s.right = s.left + Round(r.Width() * f);
  s.bottom = s.top + Round(r.Height() * f);
  return s;
}

void PutRect(std::uint8_t* p, const Rect& r) {
  Put32(p, static_cast<std::uint32_t>(r.left));
  Put32(p + 4, static_cast<std::uint32_t>(r.top));
  Put32(p + 8, static_cast<std::uint32_t>(r.right));
  Put32(p + 12, static_cast<std::uint32_t>(r.bottom));
}

Rect GetRect(const std::uint8_t* p) {
  return Rect{static_cast<std::int32_t>(Get32(p)), static_cast<std::int32_t>(Get32(p + 4)),
              static_cast<std::int32_t>(Get32(p + 8)), static_cast<std::int32_t>(Get32(p + 12))};
}

void PutColor(std::uint8_t* p, const RGBColor& c) {
  Put16(p, c.red);
  Put16(p + 2, c.green);
  Put16(p + 4, c.blue);
}

RGBColor GetColor(const std::uint8_t* p) { return RGBColor{Get16(p), Get16(p + 2), Get16(p + 4)}; }

void PutDouble(std::uint8_t* p, double v) { Put64(p, std::bit_cast<std::uint64_t>(v)); }
double GetDouble(const std::uint8_t* p) { return std::bit_cast<double>(Get64(p)); }

// A character array of the record: zero-terminated within its size, zero-padded.
void PutText(std::uint8_t* p, std::size_t size, const char* text) {
  std::memset(p, 0, size);
  const std::size_t n = std::min(Strings::Length(Chars(text, size - 1)), size - 1);
  std::memcpy(p, text, n);
}
void GetText(char* text, std::size_t size, const std::uint8_t* p) {
  std::memcpy(text, p, size);
  text[size - 1] = 0;
}

void PutPlacement(std::uint8_t* p, const Placement& placement, double f) {
  PutRect(p, ScaleRect(placement.rect, f));
  Put32(p + 16, static_cast<std::uint32_t>(placement.layer));
}

Placement GetPlacement(const std::uint8_t* p) {
  return Placement{GetRect(p), static_cast<std::int32_t>(Get32(p + 16))};
}

// The record of an item, its coordinates scaled by f.
void ToRecord(const DialogItem& item, std::uint8_t* r, double f) {
  std::memset(r, 0, kRecordLength);
  PutText(r + kName, sizeof item.name, item.name);
  r[kKeyChar] = static_cast<std::uint8_t>(item.keyChar);
  r[kKeyCode] = item.keyCode;
  r[kExecutable] = item.executable;
  r[kVisible] = item.visible;
  r[kEnabled] = item.enabled;
  r[kTextEntry] = item.textEntry;
  PutText(r + kText, sizeof item.text, item.text);
  PutText(r + kUnit, sizeof item.unit, item.unit);
  Put16(r + kPositionX, static_cast<std::uint16_t>(ScaleValue(item.positionX, f)));
  Put16(r + kPositionY, static_cast<std::uint16_t>(ScaleValue(item.positionY, f)));
  Put16(r + kFont, item.font);
  Put16(r + kSize, item.size);
  r[kStyle] = item.style;
  r[kAlignment] = static_cast<std::uint8_t>(item.alignment);
  r[kInverted] = item.inverted;
  r[kNumberFormat] = static_cast<std::uint8_t>(item.format);
  r[kOption] = item.numberOption;
  r[kAnyModifier] = item.anyModifier;
  Put16(r + kLength, HasTrait(item.kind, kTraitSavedLength) ? item.length : 0);
  Put16(r + kDigits, item.digits);
  Put16(r + kLineHeight, item.lineHeight);
  r[kKeyModifiers] = item.keyModifiers;
  r[kFrontOnly] = item.frontOnly;
  PutColor(r + kBackCol, item.backCol);
  PutDouble(r + kFactor, item.factor);
  PutRect(r + kRect, ScaleRect(item.rect, f));
  std::uint8_t* k = r + kKindArea;
  if (HasTrait(item.kind, kTraitHighCol)) {
    PutColor(k, item.area.highCol);
  } else if (item.kind == ItemKind::CheckBox || item.kind == ItemKind::MultiCheck) {
    const CheckArea& c = item.area.check;
    PutRect(k, ScaleRect(c.box, f));
    Put16(r + kBoxSize, static_cast<std::uint16_t>(
                            Scales(f) ? static_cast<std::int32_t>(c.boxSize * f) : c.boxSize));
    Put16(r + kBoxSize2, static_cast<std::uint16_t>(ScaleValue(c.boxSize2, f)));
    r[kBoxState] = c.boxState[0];
    r[kBoxState + 1] = c.boxState[1];
  } else if (item.kind == ItemKind::FramedNumber) {
    PutText(k, sizeof item.area.text, item.area.text);
  } else if (item.kind == ItemKind::Drag) {
    const DragArea& a = item.area.drag;
    PutDouble(k, a.step);
    PutDouble(k + 8, a.initialRate);
    PutDouble(k + 16, a.rate);
    PutDouble(k + 24, a.rateFactor);
    Put16(k + 32, static_cast<std::uint16_t>(a.steps));
    Put16(k + 34, static_cast<std::uint16_t>(a.pixelsPerStep));
    Put16(k + 36, static_cast<std::uint16_t>(a.runLength));
    k[38] = a.direction;
    k[39] = a.reversed;
  } else if (item.kind == ItemKind::Drag2) {
    Put16(k, static_cast<std::uint16_t>(item.area.drag2.horizontal));
    Put16(k + 2, static_cast<std::uint16_t>(item.area.drag2.vertical));
  } else if (IsList(item.kind)) {
    k[0] = static_cast<std::uint8_t>(item.area.list.key2);
    k[1] = item.area.list.code2;
  }
}

// The record's contents into the item, which keeps its kind, variable and procedures;
// coordinates scaled by f.
void FromRecord(DialogItem& item, const std::uint8_t* r, double f) {
  GetText(item.name, sizeof item.name, r + kName);
  item.keyChar = static_cast<char>(r[kKeyChar]);
  item.keyCode = r[kKeyCode];
  item.executable = r[kExecutable] != 0;
  item.visible = r[kVisible] != 0;
  item.enabled = r[kEnabled] != 0;
  item.textEntry = r[kTextEntry] != 0;
  GetText(item.text, sizeof item.text, r + kText);
  GetText(item.unit, sizeof item.unit, r + kUnit);
  item.positionX =
      static_cast<std::int16_t>(ScaleValue(static_cast<std::int16_t>(Get16(r + kPositionX)), f));
  item.positionY =
      static_cast<std::int16_t>(ScaleValue(static_cast<std::int16_t>(Get16(r + kPositionY)), f));
  item.font = Get16(r + kFont);
  item.size = Get16(r + kSize);
  item.style = r[kStyle];
  item.alignment = static_cast<Alignment>(std::min<std::uint8_t>(r[kAlignment], 3));
  item.inverted = r[kInverted] != 0;
  item.format = static_cast<NumberFormat>(std::min<std::uint8_t>(r[kNumberFormat], 4));
  item.numberOption = r[kOption];
  item.anyModifier = r[kAnyModifier] != 0;
  if (HasTrait(item.kind, kTraitSavedLength)) item.length = Get16(r + kLength);
  item.digits = Get16(r + kDigits);
  item.lineHeight = Get16(r + kLineHeight);
  item.keyModifiers = static_cast<std::uint8_t>(r[kKeyModifiers] & 0x1F);
  item.frontOnly = r[kFrontOnly] != 0;
  item.backCol = GetColor(r + kBackCol);
  const double factor = GetDouble(r + kFactor);
  item.factor = std::isfinite(factor) && factor != 0 ? factor : 1.0;
  item.rect = ScaleRect(GetRect(r + kRect), f);
  const std::uint8_t* k = r + kKindArea;
  if (HasTrait(item.kind, kTraitHighCol)) {
    item.area.highCol = GetColor(k);
  } else if (item.kind == ItemKind::CheckBox || item.kind == ItemKind::MultiCheck) {
    CheckArea& c = item.area.check;
    c.box = ScaleRect(GetRect(k), f);
    c.boxSize = static_cast<std::uint16_t>(ScaleValue(Get16(r + kBoxSize), f));
    c.boxSize2 = static_cast<std::uint16_t>(ScaleValue(Get16(r + kBoxSize2), f));
    c.boxState[0] = r[kBoxState];
    c.boxState[1] = r[kBoxState + 1];
  } else if (item.kind == ItemKind::FramedNumber) {
    GetText(item.area.text, sizeof item.area.text, k);
  } else if (item.kind == ItemKind::Drag) {
    DragArea& a = item.area.drag;
    auto finite = [](double v, double otherwise) { return std::isfinite(v) ? v : otherwise; };
    a.step = finite(GetDouble(k), 0);
    a.initialRate = finite(GetDouble(k + 8), 0);
    a.rate = finite(GetDouble(k + 16), 0);
    a.rateFactor = finite(GetDouble(k + 24), 0.25);
    a.steps = static_cast<std::int16_t>(Get16(k + 32));
    a.pixelsPerStep = static_cast<std::int16_t>(Get16(k + 34));
    a.runLength = static_cast<std::int16_t>(Get16(k + 36));
    a.direction = k[38];
    a.reversed = k[39] != 0;
  } else if (item.kind == ItemKind::Drag2) {
    item.area.drag2.horizontal = static_cast<std::int16_t>(Get16(k));
    item.area.drag2.vertical = static_cast<std::int16_t>(Get16(k + 2));
  } else if (IsList(item.kind)) {
    item.area.list.key2 = static_cast<char>(k[0]);
    item.area.list.code2 = k[1];
  }
}

void Report(Chars start, Chars name, std::int32_t code) {
  char reason[kMessageHigh + 1];
  FileSystem::ErrorText(code, reason);
  char message[kMessageHigh + 1];
  Strings::Assign(message, start);
  Strings::Append(message, name);
  Strings::Append(message, kErrorMiddle);
  Strings::Append(message, reason);
  Alerts::Message(message);
}

// The last component of a path.
Chars LeafOf(const char* path) {
  const char* leaf = path;
  for (const char* p = path; *p != 0; ++p)
    if (*p == '/' || *p == ':' || *p == '\\') leaf = p + 1;
  return Chars(leaf, Strings::Length(Chars(leaf, kPathHigh)));
}

// Asks about a conflict: true to load on ("Load"), false to abort.
bool Conflict(Chars conflict, const char* path, bool offerLoad) {
  char message[kMessageHigh + 1];
  Strings::Assign(message, conflict);
  Strings::Append(message, kConflictLoading);
  Strings::Append(message, LeafOf(path));
  Strings::Append(message, kConflictEnd);
  if (!offerLoad) {
    Strings::Append(message, kConflictAborted);
    Toolbox::ThreeButtonAlert(message, kAbort, "", "", 1);
    return false;
  }
  return Toolbox::ThreeButtonAlert(message, kLoad, kAbort, "", 2) == 1;
}

// The item after previous whose name is name, else the first from item 1 (exact
// comparison of the 80-character names); 0 when none.
std::int32_t Matching(DialogRecord& d, const char* name, std::int32_t previous) {
  auto same = [&](std::int32_t i) { return std::memcmp(d.items[i]->name, name, 80) == 0; };
  for (std::int32_t i = previous + 1; i <= d.highest; ++i)
    if (same(i)) return i;
  for (std::int32_t i = 1; i <= previous && i <= d.highest; ++i)
    if (same(i)) return i;
  return 0;
}

void ApplyPlacement(DialogRecord& d) {
  if (!d.open || !Toolbox::IsWindow(d.window)) return;
  if (d.iconized) {
    Toolbox::SetWTitle(d.window, d.name);
    return;
  }
  Rect r = d.normal.rect;
  FitWindow(r, d.windowKind);
  Toolbox::MoveWindow(d.window, r.left, r.top, false);
  Toolbox::SizeWindow(d.window, r.Width(), r.Height());
  Toolbox::SetWTitle(d.window, d.items[0]->text);
  const Rect frame = Toolbox::GetWindowRect(d.window);
  if (!frame.Empty()) {
    d.normal.rect = frame;
    d.items[0]->rect = Rect{0, 0, frame.Width(), frame.Height()};
  }
}

} // namespace

void FileName(const DialogRecord& d, VarChars fileName) {
  if (Strings::Length(fileName) > 0) return;
  char name[kPathHigh + 1];
  Strings::Assign(name, d.name);
  Strings::Append(name, kExtension);
  std::size_t out = 0;
  for (std::size_t i = 0; name[i] != 0; ++i) {
    const char c = name[i];
    if (c == '/' || c == ':' || c == '\\') continue;
    name[out++] = c == ' ' ? '_' : c;
  }
  name[out] = 0;
  Strings::Assign(fileName, name);
}

bool Store(DialogRecord& d, Chars fileName) {
  char name[kPathHigh + 1];
  Strings::Assign(name, fileName);
  FileName(d, name);
  if (d.itemBuffer == nullptr || d.items == nullptr) {
    Alerts::Message(kNoBuffer);
    return false;
  }
  if (!d.storable) {
    Alerts::Message(kNotStorable);
    return false;
  }
  if (d.open && Toolbox::IsWindow(d.window)) {
    const Rect frame = Toolbox::GetWindowRect(d.window);
    if (!d.iconized && !frame.Empty()) {
      d.normal.rect = frame;
      d.items[0]->rect = Rect{0, 0, frame.Width(), frame.Height()};
    } else {
      d.iconizedPlacement.rect = frame;
    }
  }
  const double f = 1.0 / Scale();
  std::vector<char> image(kHeaderLength + std::size_t(d.highest + 1) * kRecordLength, 0);
  auto* h = reinterpret_cast<std::uint8_t*>(image.data());
  Put32(h + kVersion32, static_cast<std::uint32_t>(std::int32_t{d.version}));
  Put32(h + kHeaderLengthAt, kHeaderLength);
  Put32(h + kRecordLengthAt, kRecordLength);
  Put16(h + kVersion16, static_cast<std::uint16_t>(d.version));
  Put16(h + kFormatAt, kFormat);
  h[kProcessorAt] = kProcessor;
  h[kIconizedAt] = d.iconized;
  PutPlacement(h + kNormalAt, d.normal, f);
  PutPlacement(h + kIconAt, d.iconizedPlacement, f);
  for (std::int32_t i = 0; i <= d.highest; ++i)
    ToRecord(*d.items[i], h + kHeaderLength + std::size_t(i) * kRecordLength, f);
  char type[5];
  FileSystem::GetType(type);
  FileSystem::SetType(kFileType);
  auto count = static_cast<std::int32_t>(image.size());
  const bool ok = FileSystem::WriteWhole(name, count, image);
  const std::int32_t code = FileSystem::Result();
  FileSystem::SetType(type);
  if (!ok) {
    Report(kStoring, name, code);
    return false;
  }
  return true;
}

bool Load(DialogRecord& d, Chars fileName, bool verbose) {
  if (d.itemBuffer == nullptr || d.items == nullptr) {
    if (verbose) Alerts::Message(kNoBuffer);
    return false;
  }
  char name[kPathHigh + 1];
  Strings::Assign(name, fileName);
  FileName(d, name);
  if (!d.storable) {
    if (verbose) Alerts::Message(kNotReadable);
    return false;
  }
  FileSystem::File file;
  if (!FileSystem::Open(name, FileSystem::kRead, file)) {
    if (!verbose) return true;
    Report(kLoading, name, FileSystem::Result());
    return false;
  }
  std::int32_t failure = FileSystem::kNoError;
  std::uint8_t header[kHeaderLength];
  std::int32_t count = kHeaderLength;
  bool ok =
      FileSystem::Read(file, count, std::span(reinterpret_cast<char*>(header), sizeof header));
  if (!ok || count < kHeaderLength) {
    failure = ok ? FileSystem::kEndOfFile : FileSystem::Result();
    ok = false;
  }
  bool asked = false;
  if (ok && static_cast<std::int32_t>(Get32(header + kHeaderLengthAt)) != kHeaderLength) {
    ok = Conflict(kHeaderConflict, name, false);
    asked = true;
  } else if (ok && header[kProcessorAt] != kProcessor) {
    ok = Conflict(kCpuConflict, name, false);
    asked = true;
  } else if (ok && d.version != 0 &&
             d.version != static_cast<std::int16_t>(Get16(header + kVersion16))) {
    ok = Conflict(kVersionConflict, name, true);
    asked = !ok;
  }
  const auto recordLength = static_cast<std::int32_t>(Get32(header + kRecordLengthAt));
  if (ok && recordLength <= 0) {
    failure = FileSystem::kUserError;
    ok = false;
  }
  bool first = false;
  if (ok) {
    d.version = static_cast<std::int16_t>(Get16(header + kVersion16));
    d.iconized = header[kIconizedAt] != 0;
    d.normal = GetPlacement(header + kNormalAt);
    d.iconizedPlacement = GetPlacement(header + kIconAt);
    // Into an open dialog the layout comes scaled to the screen, as Open scales it.
    const double f = d.open ? Scale() : 1.0;
    if (d.open) {
      d.normal.rect = ScaleRect(d.normal.rect, f);
      d.iconizedPlacement.rect = ScaleRect(d.iconizedPlacement.rect, f);
    }
    const std::int32_t take = std::min(recordLength, kReadLimit);
    std::uint8_t record[kReadLimit];
    std::int32_t previous = 0;
    for (;;) {
      count = take;
      if (!FileSystem::Read(file, count,
                            std::span(reinterpret_cast<char*>(record), sizeof record)) ||
          count < take)
        break;
      if (recordLength > kReadLimit && !FileSystem::SetPosition(file, 1, recordLength - kReadLimit))
        break;
      std::int32_t index = 0;
      if (first) {
        char recordName[80] = {};
        std::memcpy(recordName, record, std::min<std::int32_t>(take, 80));
        recordName[79] = 0;
        index = Matching(d, recordName, previous);
        if (index == 0) continue;
        previous = index;
      }
      // A record shorter than the table keeps the item's own values beyond its end.
      std::uint8_t full[kRecordLength];
      ToRecord(*d.items[index], full, 1.0 / f);
      std::memcpy(full, record, std::min<std::int32_t>(take, kRecordLength));
      FromRecord(*d.items[index], full, f);
      first = true;
    }
    if (!first) failure = FileSystem::kEndOfFile;
  }
  FileSystem::Close(file);
  if (ok && first) {
    ApplyPlacement(d);
    if (d.open) DrawDialog(d);
    return true;
  }
  if (verbose && !asked) Report(kLoading, name, failure);
  return false;
}

} // namespace Dialog
