#include "tools/Settings.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/ByteOrder.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/ShellStart.h"
#include "platform/Alerts.h"
#include "platform/Checks.h"
#include "platform/Toolbox.h"
#include "store/FileSystem.h"
#include "windows/ANSITerm.h"

namespace Settings {

using Toolbox::Rect;

namespace {

using base::kPathHigh;
constexpr std::size_t kTitleHigh = 39;
constexpr std::size_t kReasonHigh = 127;
constexpr std::size_t kMessageHigh = 255;
constexpr std::size_t kFontNameHigh = 63;
constexpr int kMaxClients = 8;

constexpr char kTypeTagText[] = "PREF";
constexpr char kSettingsExtension[] = ".Settings";
constexpr char kMacroExtension[] = ".mac";
constexpr char kAsideSuffix[] = ".damaged";
constexpr int kMaxAsideNumber = 99;
constexpr char kCourier[] = "Courier New";
// The macro file's version follows its type, padded to 8 bytes.
constexpr std::size_t kMacroVersionAt = 8;

// The line ends of the settings byte: the file system's modes themselves.
constexpr std::uint8_t kLineEndsCR = 0;
constexpr std::uint8_t kLineEndsLF = 2;

constexpr Rect kDefaultWindow{20, 46, 536, 472};
// A window rectangle read from a file is used only when it is at least this big and
// meets the frame's client area, so that no setting can lose the Command window.
constexpr std::int32_t kMinWindowWidth = 64;
constexpr std::int32_t kMinWindowHeight = 48;
constexpr std::int32_t kMaxCoordinate = 32767;
constexpr std::int32_t kMinFontSize = 4;
constexpr std::int32_t kMaxFontSize = 127;

// What the alerts about the files say.
constexpr char kNotUsed[] = "\" is not used: ";
constexpr char kKeptAs[] = ". It was kept as \"";
constexpr char kKeptAsEnd[] = "\"; ";
constexpr char kNotRenamed[] = ". It could not be renamed (";
constexpr char kNotRenamedEnd[] = ") and the next save replaces it; ";
constexpr char kHolds[] = "it holds ";
constexpr char kBytesNot[] = " bytes, not ";
constexpr char kUnreadable[] = "it cannot be read (";
constexpr char kNotSettings[] = "it is not of type PREF";
constexpr char kNotMacros[] = "it is not of type MACR";
constexpr char kFormatIs[] = "its format number is ";
constexpr char kVersionIs[] = "its version is ";
constexpr char kNot[] = ", not ";
constexpr char kBadSlot[] = "a macro slot in it is damaged";
constexpr char kCannotWrite[] = "Cannot write ";

// The two files as the alerts name them, and what follows a refusal.
struct FileKind {
  const char* what;
  const char* outcome;
  bool reported; // a refused file could not be renamed and was told about
};

struct State {
  bool initialised = false;
  SettingsRecord live;
  Client clients[kMaxClients];
  int clientCount = 0;
  FileKind settingsFile{"Settings file", "the default settings apply.", false};
  FileKind macroFile{"Macro file", "the macro slots are empty.", false};
  // What was refused before the shell's windows existed, told once they do.
  std::vector<std::string> untold;
  Startup::Proc enterCommandWindow = nullptr;
};

State state;

// ---- Where the files live ----

// $XDG_CONFIG_HOME/velmarin/, else ~/.config/velmarin/; "" (the current directory) when
// neither names an absolute directory.
std::string ConfigDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/velmarin/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/velmarin/";
  return {};
}

// "<title><extension>" in the configuration directory; in the current directory when
// that path is too long.
void FileName(Chars extension, VarChars path) {
  char title[kTitleHigh + 1] = {};
  Startup::GetApplicationTitle(title);
  if (title[0] == 0) Toolbox::LoadResourceString(0, title);
  const std::string leaf = base::ToString(title) + base::ToString(extension);
  const std::string full = ConfigDirectory() + leaf;
  Strings::Assign(path, full.size() <= path.high ? full : leaf);
}

// The directory of a file about to be written, made when missing. Failures show when the
// file is written.
void MakeDirectoryOf(Chars path) {
  const std::filesystem::path dir = std::filesystem::path(base::ToString(path)).parent_path();
  if (dir.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(dir, error);
}

// The part of a path after its last "/".
std::string LeafOf(Chars path) {
  const std::string s = base::ToString(path);
  const std::size_t slash = s.rfind('/');
  return slash == std::string::npos ? s : s.substr(slash + 1);
}

// ---- Refused files ----

// Renames a refused file to "<path>.damaged", or "<path>.damaged.N" when that exists;
// aside receives the new name. 0, or the file system's code of the failure.
std::int32_t KeepAside(Chars path, VarChars aside) {
  for (int n = 0; n <= kMaxAsideNumber; ++n) {
    std::string name = base::ToString(path) + kAsideSuffix;
    if (n > 0) name += "." + std::to_string(n);
    if (name.size() > aside.high) return FileSystem::kBadName;
    Strings::Assign(aside, name);
    if (FileSystem::Rename(path, aside)) return FileSystem::kNoError;
    if (FileSystem::Result() != FileSystem::kDuplicateName) return FileSystem::Result();
  }
  return FileSystem::kDuplicateName;
}

// A refusal in the List and on the message line, where it waits for the user without
// stopping the start; before the shell's windows exist it waits for them.
void Tell(Chars message) {
  if (Shell::CommandTerminal() == nullptr) {
    state.untold.push_back(base::ToString(message));
    return;
  }
  Shell::WriteError(message);
}

void TellUntold() {
  const std::vector<std::string> untold = std::move(state.untold);
  state.untold.clear();
  for (const std::string& message : untold) Tell(message);
}

// The Command window entered, the refusals of the start are told.
void EnterCommandWindowAndTell() {
  if (state.enterCommandWindow != nullptr) state.enterCommandWindow();
  TellUntold();
}

// Keeps the file aside and tells the user once: which file, what is wrong with it,
// where it went and what is used instead.
void Refuse(FileKind& kind, Chars path, Chars reason) {
  char aside[kPathHigh + 1] = {};
  const std::int32_t result = KeepAside(path, aside);
  const bool kept = result == FileSystem::kNoError;
  char error[kReasonHigh + 1] = {};
  FileSystem::ErrorText(result, error);
  // A file that stayed in place is refused again by every later read: it is told once.
  const bool told = kind.reported;
  kind.reported = !kept;
  if (told) return;
  char message[kMessageHigh + 1] = {};
  Strings::Assign(message, base::CharsOf(kind.what));
  Strings::Append(message, " \"");
  Strings::Append(message, path);
  Strings::Append(message, kNotUsed);
  Strings::Append(message, reason);
  if (kept) {
    Strings::Append(message, kKeptAs);
    Strings::Append(message, LeafOf(aside));
    Strings::Append(message, kKeptAsEnd);
  } else {
    Strings::Append(message, kNotRenamed);
    Strings::Append(message, error);
    Strings::Append(message, kNotRenamedEnd);
  }
  Strings::Append(message, base::CharsOf(kind.outcome));
  Tell(message);
}

// Reads at most size bytes of a file; what follows them is not looked at. True with the
// image when it was read; false with an empty reason when it is missing, with the reason
// when it could not be read.
bool ReadImage(Chars path, std::size_t size, std::string& image, VarChars reason) {
  Strings::Clear(reason);
  image.assign(size, '\0');
  auto count = static_cast<std::int32_t>(image.size());
  const bool whole = FileSystem::ReadWhole(path, count, std::span<char>(image));
  const std::int32_t result = FileSystem::Result();
  // A longer file fills the room and is reported as a user error.
  if (whole || (result == FileSystem::kUserError && static_cast<std::size_t>(count) == size)) {
    image.resize(static_cast<std::size_t>(count));
    return true;
  }
  if (result == FileSystem::kFileNotFound || result == FileSystem::kDirectoryNotFound) return false;
  char error[kReasonHigh + 1] = {};
  FileSystem::ErrorText(result, error);
  Strings::Assign(reason, kUnreadable);
  Strings::Append(reason, error);
  Strings::Append(reason, ")");
  return false;
}

void WrongLengthReason(std::size_t length, std::size_t size, VarChars reason) {
  Strings::Assign(reason, kHolds);
  NumberOut::AppendInt(static_cast<std::int32_t>(length), reason, 0);
  Strings::Append(reason, kBytesNot);
  NumberOut::AppendInt(static_cast<std::int32_t>(size), reason, 0);
}

void WrongNumberReason(Chars what, std::int32_t found, std::int32_t wanted, VarChars reason) {
  Strings::Assign(reason, what);
  NumberOut::AppendInt(found, reason, 0);
  Strings::Append(reason, kNot);
  NumberOut::AppendInt(wanted, reason, 0);
}

// Writes an image durably; an alert tells why when it fails.
bool WriteImage(Chars path, std::string_view image) {
  MakeDirectoryOf(path);
  auto count = static_cast<std::int32_t>(image.size());
  if (FileSystem::WriteWhole(path, count, image)) return true;
  char text[kMessageHigh + 1] = {};
  Strings::Assign(text, kCannotWrite);
  Strings::Append(text, LeafOf(path));
  Alerts::FileErrorMessage(text);
  return false;
}

// ---- Applying ----

// The Command window's font and size from r, when the current port is its window; the
// terminal is laid out anew and drawn. An unknown font or an odd size is not used.
void ApplyCommandFont(const SettingsRecord& r) {
  const Toolbox::Window w = EditWindows::CommandWindow();
  ANSITerm::TextWindow* t = EditWindows::CommandTerminal();
  if (w == nullptr || t == nullptr || Toolbox::CurrentWindow() != w) return;
  const std::int32_t font = r.Int32(kCommandFont);
  const std::int32_t size = r.Int32(kCommandFontSize);
  char name[kFontNameHigh + 1] = {};
  Toolbox::FontName(font, name);
  if (name[0] == 0 || size < kMinFontSize || size > kMaxFontSize) return;
  if (w->port.fontNumber == font && w->port.fontSize == size) return;
  Toolbox::TextFont(font);
  Toolbox::TextSize(size);
  t->needsRedraw = true;
  ANSITerm::Relayout(t);
  if (t->resize != nullptr) t->resize(t);
}

bool Placeable(const Rect& r) {
  for (const std::int32_t c : {r.left, r.top, r.right, r.bottom}) {
    if (c < -kMaxCoordinate || c > kMaxCoordinate) return false;
  }
  if (r.Width() < kMinWindowWidth || r.Height() < kMinWindowHeight) return false;
  const Rect client = Toolbox::FrameClientRect();
  Rect common;
  return client.Empty() || Toolbox::SectRect(client, r, common);
}

void RestorePort(const Toolbox::Port& previous) {
  if (previous.window != nullptr && Toolbox::IsWindow(previous.window))
    Toolbox::SetPort(previous.window);
  if (previous.offscreen != nullptr) Toolbox::SetPortOffscreen(previous.offscreen);
}

void SaveAtEnd() { static_cast<void>(SaveSettings()); }
void SaveMacroFileForStore() { static_cast<void>(SaveMacroFile()); }

} // namespace

// ---- The record ----

std::uint8_t SettingsRecord::Byte(std::size_t at) const {
  assert(at < kRecordSize);
  return bytes[at];
}
void SettingsRecord::SetByte(std::size_t at, std::uint8_t value) {
  assert(at < kRecordSize);
  bytes[at] = value;
}
std::int16_t SettingsRecord::Int16(std::size_t at) const {
  assert(at + 2 <= kRecordSize);
  return static_cast<std::int16_t>(ByteOrder::Get16(bytes.data() + at));
}
void SettingsRecord::SetInt16(std::size_t at, std::int16_t value) {
  assert(at + 2 <= kRecordSize);
  ByteOrder::Put16(bytes.data() + at, static_cast<std::uint16_t>(value));
}
std::int32_t SettingsRecord::Int32(std::size_t at) const {
  assert(at + 4 <= kRecordSize);
  return static_cast<std::int32_t>(ByteOrder::Get32(bytes.data() + at));
}
void SettingsRecord::SetInt32(std::size_t at, std::int32_t value) {
  assert(at + 4 <= kRecordSize);
  ByteOrder::Put32(bytes.data() + at, static_cast<std::uint32_t>(value));
}
double SettingsRecord::Real(std::size_t at) const {
  assert(at + 8 <= kRecordSize);
  return std::bit_cast<double>(ByteOrder::Get64(bytes.data() + at));
}
void SettingsRecord::SetReal(std::size_t at, double value) {
  assert(at + 8 <= kRecordSize);
  ByteOrder::Put64(bytes.data() + at, std::bit_cast<std::uint64_t>(value));
}
Rect SettingsRecord::RectAt(std::size_t at) const {
  return Rect{Int32(at), Int32(at + 4), Int32(at + 8), Int32(at + 12)};
}
void SettingsRecord::SetRect(std::size_t at, const Rect& r) {
  SetInt32(at, r.left);
  SetInt32(at + 4, r.top);
  SetInt32(at + 8, r.right);
  SetInt32(at + 12, r.bottom);
}

// ---- The module ----

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  FileSystem::Init();
  NumberOut::Init();
  Toolbox::Init();
  Checks::Init();
  Alerts::Init();
  ANSITerm::Init();
  EditWindows::Init();
  Shell::Init();
  DefaultSettings(state.live);
}

bool AddClient(const Client& client) {
  if (state.clientCount >= kMaxClients) return false;
  state.clients[state.clientCount++] = client;
  return true;
}

SettingsRecord& Record() {
  Init();
  return state.live;
}

void DefaultSettings(SettingsRecord& r) {
  Init();
  r = SettingsRecord{};
  std::memcpy(r.bytes.data() + kTypeTag, kTypeTagText, 4);
  r.SetInt32(kFormat, kFormatNumber);
  r.SetRect(kCommandRect, kDefaultWindow);
  r.SetReal(kReal1, 0.05);
  r.SetReal(kReal2, 0.05);
  r.SetReal(kReal3, 0.125);
  r.SetReal(kReal4, 0.05);
  r.SetInt32(kInteger1, 12);
  const std::int32_t courier = Toolbox::FontNumber(kCourier);
  r.SetInt32(kFont1, courier);
  r.SetInt32(kScrollStep, 3);
  r.SetInt32(kCommandFont, courier);
  r.SetInt32(kCommandFontSize, 10);
  r.SetInt32(kWindowSetting, 3);
  r.SetInt32(kInteger2, 1500);
  r.SetInt32(kTwoIntegers, 400);
  r.SetInt32(kTwoIntegers + 4, 400);
  r.SetInt32(kInteger3, 256);
  r.SetByte(kMicroChar, static_cast<std::uint8_t>(NumberOut::MicroChar()));
  r.SetByte(kCaretStyle, ANSITerm::kBlockCaret);
  for (std::size_t i = 0; i < 3; ++i) r.SetByte(kFlags1 + i, 1);
  r.SetByte(kLineEnds, kLineEndsLF);
  r.SetByte(kFlags3, 1);
  r.SetByte(kFlags3 + 1, 1);
  r.SetByte(kCheckInput, 1);
  r.SetByte(kCheckOutput, 1);
  r.SetRect(kListRect, kDefaultWindow);
  r.SetInt16(kListFont, static_cast<std::int16_t>(courier));
  r.SetInt16(kListFontSize, 10);
  std::memcpy(r.bytes.data() + kSecondWindow, r.bytes.data() + kListRect, kWindowBlockSize);
  std::memcpy(r.bytes.data() + kThirdWindow, r.bytes.data() + kListRect, kWindowBlockSize);
  for (int i = 0; i < state.clientCount; ++i) {
    if (state.clients[i].defaults != nullptr) state.clients[i].defaults(r);
  }
}

SettingsCheck ReadSettingsImage(std::string_view image, SettingsRecord& r) {
  if (image.size() != kRecordSize) return SettingsCheck::WrongLength;
  if (image.substr(kTypeTag, 4) != kTypeTagText) return SettingsCheck::WrongType;
  if (static_cast<std::int32_t>(ByteOrder::Get32(image.data() + kFormat)) != kFormatNumber)
    return SettingsCheck::WrongFormat;
  std::memcpy(r.bytes.data(), image.data(), kRecordSize);
  return SettingsCheck::Accepted;
}

bool ReadSettings(SettingsRecord& r) {
  Init();
  char path[kPathHigh + 1];
  SettingsFileName(path);
  std::string image;
  char reason[kReasonHigh + 1];
  if (ReadImage(path, kRecordSize, image, reason)) {
    switch (ReadSettingsImage(image, r)) {
    case SettingsCheck::Accepted:
      state.settingsFile.reported = false;
      return true;
    case SettingsCheck::WrongLength:
      WrongLengthReason(image.size(), kRecordSize, reason);
      break;
    case SettingsCheck::WrongType:
      Strings::Assign(reason, kNotSettings);
      break;
    case SettingsCheck::WrongFormat:
      WrongNumberReason(kFormatIs,
                        static_cast<std::int32_t>(ByteOrder::Get32(image.data() + kFormat)),
                        kFormatNumber, reason);
      break;
    }
  }
  if (reason[0] == 0) {
    // No file: the defaults, without a word.
    state.settingsFile.reported = false;
    return false;
  }
  Refuse(state.settingsFile, path, reason);
  return false;
}

void ApplySettings(const SettingsRecord& r, bool withFonts) {
  Init();
  state.live = r;
  const SettingsRecord& s = state.live;
  const std::uint8_t lineEnds = s.Byte(kLineEnds);
  FileSystem::SetLineEndMode(lineEnds <= kLineEndsLF ? lineEnds : kLineEndsLF);
  Shell::SetWindowSetting(s.Int32(kWindowSetting));
  ANSITerm::SetScrollStep(s.Int32(kScrollStep));
  ANSITerm::SetCaretStyle(s.Byte(kCaretStyle));
  Shell::SetWindowFlag(s.Byte(kWindowFlag) != 0);
  Checks::SetCheckInputHandles(s.Byte(kCheckInput) != 0);
  Checks::SetCheckOutputHandles(s.Byte(kCheckOutput) != 0);
  NumberOut::SetMicroChar(static_cast<char>(s.Byte(kMicroChar)));
  if (withFonts) ApplyCommandFont(s);
  for (int i = 0; i < state.clientCount; ++i) {
    if (state.clients[i].apply != nullptr) state.clients[i].apply(s);
  }
}

bool LoadSettings(bool withFonts) {
  Init();
  SettingsRecord r;
  DefaultSettings(r);
  const bool read = ReadSettings(r);
  ApplySettings(r, withFonts);
  return read;
}

void LoadAndPlaceSettings() {
  Init();
  const Toolbox::Window w = EditWindows::CommandWindow();
  const Toolbox::Port previous = Toolbox::GetPort();
  if (w != nullptr) Toolbox::SetPort(w);
  static_cast<void>(LoadSettings(true));
  const Rect wanted = state.live.RectAt(kCommandRect);
  if (w != nullptr && Placeable(wanted) && !(Toolbox::GetWindowRect(w) == wanted)) {
    Toolbox::HideWindow(w);
    Toolbox::SizeWindow(w, wanted.Width(), wanted.Height());
    Toolbox::MoveWindow(w, wanted.left, wanted.top, false);
    Toolbox::ShowWindow(w);
  }
  RestorePort(previous);
}

void CollectSettings() {
  Init();
  SettingsRecord& r = state.live;
  std::memcpy(r.bytes.data() + kTypeTag, kTypeTagText, 4);
  r.SetInt32(kFormat, kFormatNumber);
  if (const Toolbox::Window w = EditWindows::CommandWindow())
    r.SetRect(kCommandRect, Toolbox::GetWindowRect(w));
  r.SetInt32(kWindowSetting, Shell::WindowSetting());
  r.SetInt32(kScrollStep, ANSITerm::ScrollStep());
  r.SetByte(kCaretStyle, static_cast<std::uint8_t>(ANSITerm::CaretStyle()));
  // Any mode the file system does not know writes CR.
  const std::int32_t mode = FileSystem::LineEndMode();
  r.SetByte(kLineEnds, mode >= kLineEndsCR && mode <= kLineEndsLF ? static_cast<std::uint8_t>(mode)
                                                                  : kLineEndsCR);
  r.SetByte(kWindowFlag, Shell::WindowFlag() ? 1 : 0);
  r.SetByte(kMicroChar, static_cast<std::uint8_t>(NumberOut::MicroChar()));
  r.SetByte(kCheckInput, Checks::CheckInputHandles() ? 1 : 0);
  r.SetByte(kCheckOutput, Checks::CheckOutputHandles() ? 1 : 0);
  if (const Toolbox::Window list = EditWindows::ListWindow())
    r.SetRect(kListRect, Toolbox::GetWindowRect(list));
  for (int i = 0; i < state.clientCount; ++i) {
    if (state.clients[i].collect != nullptr) state.clients[i].collect(r);
  }
}

bool SaveSettings() {
  CollectSettings();
  char path[kPathHigh + 1];
  SettingsFileName(path);
  const SettingsRecord& r = state.live;
  return WriteImage(
      path, std::string_view(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size()));
}

// ---- The macro file ----

bool LoadMacroFile() {
  Init();
  char path[kPathHigh + 1];
  MacroFileName(path);
  std::string image;
  char reason[kReasonHigh + 1];
  if (!ReadImage(path, Editor::kMacroFileSize, image, reason)) {
    Editor::ResetMacroSlots();
    if (reason[0] == 0) {
      state.macroFile.reported = false;
    } else {
      Refuse(state.macroFile, path, reason);
    }
    return false;
  }
  switch (Editor::ReadMacroImage(image)) {
  case Editor::MacroFileCheck::Accepted:
    state.macroFile.reported = false;
    return true;
  case Editor::MacroFileCheck::WrongLength:
    WrongLengthReason(image.size(), Editor::kMacroFileSize, reason);
    break;
  case Editor::MacroFileCheck::WrongType:
    Strings::Assign(reason, kNotMacros);
    break;
  case Editor::MacroFileCheck::WrongVersion:
    WrongNumberReason(kVersionIs,
                      static_cast<std::int32_t>(ByteOrder::Get32(image.data() + kMacroVersionAt)),
                      Editor::kMacroFileVersion, reason);
    break;
  case Editor::MacroFileCheck::BadSlot:
    Strings::Assign(reason, kBadSlot);
    break;
  }
  Refuse(state.macroFile, path, reason);
  return false;
}

bool SaveMacroFile() {
  Init();
  char path[kPathHigh + 1];
  MacroFileName(path);
  return WriteImage(path, Editor::MacroImage());
}

void SettingsFileName(VarChars path) { FileName(kSettingsExtension, path); }
void MacroFileName(VarChars path) { FileName(kMacroExtension, path); }

// ---- Start-up ----

bool InitShellState() {
  Init();
  Editor::ResetMacroSlots();
  DefaultSettings(state.live);
  static_cast<void>(LoadMacroFile());
  return LoadSettings(false);
}

void InstallStartupHooks(Startup::ShellHooks& hooks) {
  hooks.initShellState = InitShellState;
  hooks.readSettings = LoadAndPlaceSettings;
  hooks.endOfRun = SaveAtEnd;
  if (hooks.enterCommandWindow != EnterCommandWindowAndTell) {
    state.enterCommandWindow = hooks.enterCommandWindow;
    hooks.enterCommandWindow = EnterCommandWindowAndTell;
  }
  Startup::SetModuleBody(Startup::MainImport::Settings, Init);
  Editor::SetSaveMacroFileProc(SaveMacroFileForStore);
}

} // namespace Settings
