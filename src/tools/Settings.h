// The settings file and the macro file of the learned key macros.
//
// The shell's preferences are one record of 11848 little-endian bytes, kept in memory as
// the live settings and written whole to "<title>.Settings" (type "PREF", format number
// 855). Loading copies a file's record over the live one and applies a few values to the
// modules that own them; saving collects those values back first. The learned macros'
// nine slots go to "<title>.mac" (type "MACR", version 500; the image is the editor's).
//
// Both files live in the user's configuration directory: $XDG_CONFIG_HOME/velmarin, else
// ~/.config/velmarin (made when a file is written), else the current directory. A missing
// file means the defaults; of a longer file the first record counts and the rest is not
// looked at. A file that is there but cannot be used (too short, wrong type, format
// number, unreadable) is refused with one message naming it and what is wrong, in the
// List and on the message line (those of the start once the Command window is entered);
// it is renamed aside to "<name>.damaged" (or "<name>.damaged.N") so that no later save
// replaces it, and the defaults apply. Files are written through the store's durable
// write: a temporary file, flushed, renamed over the old one.
//
// Other modules keep their own fields in the record (the printing settings, the
// compiler's, from offset kFurther on): they register a Client whose procedures fill in
// their defaults, take their values from a loaded record and put them back before a save.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/Chars.h"
#include "platform/Geometry.h"
#include "platform/Startup.h"

namespace Settings {

using base::Chars;
using base::VarChars;

inline constexpr std::size_t kRecordSize = 11848;
inline constexpr std::int32_t kFormatNumber = 855;

// Offsets of the fields, in file order; sizes in the comments. The meaning of the reals,
// integers and flags known only by their defaults is left to their future owners: they
// are kept and written back unchanged.
inline constexpr std::size_t kTypeTag = 0;          // 4: "PREF"
inline constexpr std::size_t kFormat = 8;           // 4: 855
inline constexpr std::size_t kCommandRect = 12;     // 16: left, top, right, bottom
inline constexpr std::size_t kReal1 = 32;           // 8 each: 0.05, 0.05, 0.125, 0.05
inline constexpr std::size_t kReal2 = 40;           //
inline constexpr std::size_t kReal3 = 48;           //
inline constexpr std::size_t kReal4 = 56;           //
inline constexpr std::size_t kInteger1 = 64;        // 4: 12
inline constexpr std::size_t kFont1 = 68;           // 4: "Courier New"
inline constexpr std::size_t kScrollStep = 72;      // 4: 3
inline constexpr std::size_t kCommandFont = 76;     // 4: "Courier New"
inline constexpr std::size_t kCommandFontSize = 80; // 4: 10
inline constexpr std::size_t kWindowSetting = 84;   // 4: 3, the shell's window setting
inline constexpr std::size_t kInteger2 = 88;        // 4: 1500
inline constexpr std::size_t kTwoIntegers = 92;     // 8: 400, 400
inline constexpr std::size_t kInteger3 = 100;       // 4: 256
inline constexpr std::size_t kMicroChar = 104;      // 1: the micro sign; 0 keeps it
inline constexpr std::size_t kCaretStyle = 105;     // 1: 1 bar, 2 block
inline constexpr std::size_t kFlags1 = 106;         // 3: 1, 1, 1
inline constexpr std::size_t kLineEnds = 109;       // 1: 0 CR, 1 CR LF, 2 LF
inline constexpr std::size_t kWindowFlag = 110;     // 1: 0, the shell's window flag
inline constexpr std::size_t kFlags2 = 111;         // 2: 0, 0
inline constexpr std::size_t kFlags3 = 114;         // 2: 1, 1
inline constexpr std::size_t kCheckInput = 116;     // 1: 1, input handles checked
inline constexpr std::size_t kCheckOutput = 117;    // 1: 1, output handles checked
inline constexpr std::size_t kListRect = 120;       // 16: as the Command window
inline constexpr std::size_t kListFont = 136;       // 2: as kCommandFont
inline constexpr std::size_t kListFontSize = 138;   // 2: as kCommandFontSize
inline constexpr std::size_t kSecondWindow = 140;   // 20: a copy of 120..139
inline constexpr std::size_t kThirdWindow = 160;    // 20: a copy of 120..139
inline constexpr std::size_t kFurther = 180;        // 11668: the other modules' settings
inline constexpr std::size_t kWindowBlockSize = 20;

// The record's bytes with typed little-endian access at an offset. Access past the end
// of the record is a fault of the caller's offsets.
struct SettingsRecord {
  std::array<std::uint8_t, kRecordSize> bytes{};

  std::uint8_t Byte(std::size_t at) const;
  void SetByte(std::size_t at, std::uint8_t value);
  std::int16_t Int16(std::size_t at) const;
  void SetInt16(std::size_t at, std::int16_t value);
  std::int32_t Int32(std::size_t at) const;
  void SetInt32(std::size_t at, std::int32_t value);
  double Real(std::size_t at) const;
  void SetReal(std::size_t at, double value);
  Toolbox::Rect RectAt(std::size_t at) const;
  void SetRect(std::size_t at, const Toolbox::Rect& r);
  friend bool operator==(const SettingsRecord&, const SettingsRecord&) = default;
};

// What a settings file image was found to be.
enum class SettingsCheck : std::uint8_t { Accepted, WrongLength, WrongType, WrongFormat };

// A module that keeps fields in the record. Every procedure may be empty.
struct Client {
  void (*defaults)(SettingsRecord& r) = nullptr;    // fills in its fields of a cleared record
  void (*apply)(const SettingsRecord& r) = nullptr; // takes its values from loaded settings
  void (*collect)(SettingsRecord& r) = nullptr;     // puts its live values back before a save
};

// The module body: the live settings are the defaults.
void Init();
// Registers a client (8 at most); false when there is no room.
bool AddClient(const Client& client);

// The live settings.
SettingsRecord& Record();

// Clears the record and fills in the defaults, the clients' included.
void DefaultSettings(SettingsRecord& r);
// Checks a settings file image and copies it into r only when it is accepted.
SettingsCheck ReadSettingsImage(std::string_view image, SettingsRecord& r);
// Reads the settings file (its first record) into r; true only when it is accepted. A
// missing file leaves r alone; a refused one is renamed aside with a message.
[[nodiscard]] bool ReadSettings(SettingsRecord& r);
// Copies r into the live settings and applies it (below); with fonts also the Command
// window's font and size, when the current port is the Command window.
void ApplySettings(const SettingsRecord& r, bool withFonts);
// Defaults, then the file: applies what was read and answers true, or applies the
// defaults and answers false.
bool LoadSettings(bool withFonts);
// LoadSettings with fonts on the Command window, which then goes to the rectangle read
// when that differs from where it is.
void LoadAndPlaceSettings();
// Puts the live values into the live settings: the Command window's rectangle, the
// shell's window setting and flag, scroll step, caret style, line ends, micro sign, the
// handle checks, the List window's rectangle while it is open, the clients' fields.
void CollectSettings();
// Collects, then writes the settings file; false (after an alert) when that failed.
bool SaveSettings();

// Reads the macro file into the editor's slots; every slot is empty when it is missing
// or refused (renamed aside with a message). True when it was read and accepted.
bool LoadMacroFile();
// Writes the slots to the macro file; false (after an alert) when that failed.
bool SaveMacroFile();

// The host paths of the two files; empty when they do not fit a path.
void SettingsFileName(VarChars path);
void MacroFileName(VarChars path);

// ShellInit's part: slots and settings to their defaults, then the macro file and the
// settings file read (without fonts); true when the settings file was read.
bool InitShellState();
// Puts InitShellState, the second read of start-up step 54 (LoadAndPlaceSettings) and
// the save at the end of a run into hooks, and after the hook that enters the Command
// window the messages of the files refused at the start; the module body goes into the
// main module's Settings slot; installs the macro file's write for the editor's Store.
void InstallStartupHooks(Startup::ShellHooks& hooks);

} // namespace Settings
