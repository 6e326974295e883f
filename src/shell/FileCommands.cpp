#include "shell/FileCommands.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/Charset.h"
#include "base/NumberOut.h"
#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/ShellStart.h"
#include "platform/Alerts.h"
#include "platform/Dates.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "recovery/Recovery.h"
#include "shell/Commands.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "tools/Printing.h"
#include "tools/Settings.h"
#include "windows/KeyEvents.h"

namespace FileCommands {

namespace {

using Buffer::BufferKind;
using Buffer::Ref;

using base::kPathHigh, base::kNameHigh, base::kLineHigh;
constexpr int kStopBeep = 3;
constexpr int kYes = 1, kNo = 2, kCancel = 3;

// The checksum setting's byte in the settings record: 1 on, 0 off.
constexpr std::size_t kChecksumSetting = Printing::kSettingsEnd;

bool initialised = false;
bool checksums = false;

void ApplyChecksumSetting(const Settings::SettingsRecord& r) {
  checksums = r.Byte(kChecksumSetting) != 0;
}
void CollectChecksumSetting(Settings::SettingsRecord& r) {
  r.SetByte(kChecksumSetting, checksums ? 1 : 0);
}

// ---- texts ----

struct Text {
  char s[kLineHigh + 1] = {};
  Text() = default;
  explicit Text(Chars t) { Strings::Assign(s, t); }
  explicit Text(const char* t) { Strings::Assign(s, base::CharsOf(t)); }
  Text& operator<<(Chars t) {
    Strings::Append(s, t);
    return *this;
  }
  Text& operator<<(const char* t) { return *this << base::CharsOf(t); }
  Text& operator<<(std::int64_t n) {
    char d[24];
    std::snprintf(d, sizeof d, "%lld", static_cast<long long>(n));
    return *this << d;
  }
};

void Message(Chars text) { Editor::ShowEditMessage(text); }
void Log(Chars text) { Shell::WriteList(text); }
void Alert(Chars text) {
  Toolbox::SetAlertText(text);
  Toolbox::Alert(Toolbox::kAlertOk);
}
void ErrorText(std::int32_t code, char (&reason)[kLineHigh + 1]) {
  FileSystem::ErrorText(code, reason);
}

bool ShiftHeld() { return (KeyEvents::CurrentModifiers() & KeyEvents::kModShift) != 0; }

bool IsText(Ref b) { return b != nullptr && Buffer::KindOf(b) == BufferKind::Text; }
bool IsShellText(Ref b) {
  return b != nullptr && (b == Shell::CommandText() || b == Shell::ListText());
}
bool IsShellName(Chars name) {
  return Strings::Equal(name, "Command") || Strings::Equal(name, "List");
}

// The leaf of a host path and its directory (ending in "/").
void SplitPath(Chars path, VarChars dir, VarChars leaf) {
  const std::size_t n = Strings::Length(path);
  std::size_t cut = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (path[i] == '/') cut = i + 1;
  Strings::Assign(dir, Chars(path.p, cut == 0 ? 0 : cut - 1));
  if (cut == 0)
    Strings::Clear(dir);
  else {
    char d[kPathHigh + 1] = {};
    std::memcpy(d, path.p, std::min(cut, kPathHigh));
    Strings::Assign(dir, d);
  }
  Strings::Assign(leaf, Chars(path.p + cut, n - cut));
  if (n - cut == 0) Strings::Clear(leaf);
}

std::string CurrentDirectory() {
  char d[kPathHigh + 1];
  FileSystem::CurrentDirectory(d);
  return d;
}

void Enter(Ref b) { Editor::EditText(b); }

// ---- the name check ----

bool HasIllegal(Chars name) {
  for (std::size_t i = 0; i < Strings::Length(name); ++i)
    if (name[i] == '/' || name[i] == ':') return true;
  return false;
}

// ---- directories of the host ----

// The regular files of a host directory, in the order the file system lists them; the
// directory and the names in the workstation's characters.
std::vector<std::string> FilesOf(const std::string& dir) {
  std::vector<std::string> files;
  const std::string host = Charset::HostName(dir);
  DIR* d = ::opendir(host.empty() ? "." : host.c_str());
  if (d == nullptr) return files;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::stat((host + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
      files.push_back(Charset::FromHostName(name));
  }
  ::closedir(d);
  return files;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(Charset::HostName(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// ---- loading ----

enum class LoadOutcome { Loaded, ShellBuffer, Exists, NoBuffer, Failed };

// Loads the host file into a new text of the current directory named name; the reason
// of a failure in reason, or what the load has to tell about a text it loaded.
LoadOutcome LoadInto(Chars file, Chars name, Ref& made, char (&reason)[kLineHigh + 1]) {
  made = nullptr;
  if (IsShellName(name)) return LoadOutcome::ShellBuffer;
  if (Buffer::Find(name) != nullptr) return LoadOutcome::Exists;
  made = Buffer::Create(name, BufferKind::Text);
  if (made == nullptr) return LoadOutcome::NoBuffer;
  const std::int32_t result = FileSystem::LoadText(file, made);
  if (result < 0) {
    ErrorText(result, reason);
    Buffer::Delete(made);
    return LoadOutcome::Failed;
  }
  FileSystem::LoadNoticeText(FileSystem::LastLoadNotice(), reason);
  return LoadOutcome::Loaded;
}

// Load (file, new name): the message "Load 'FILE'[' as 'NAME]" and the outcome. The
// buffer when it was loaded.
Ref Load(Chars file, Chars newName) {
  char dir[kPathHigh + 1], leaf[kPathHigh + 1];
  SplitPath(file, dir, leaf);
  char name[kPathHigh + 1];
  Strings::Assign(name, Strings::Length(newName) > 0 ? newName : Chars(leaf));
  Text m("Load '");
  m << file;
  if (Strings::Length(newName) > 0) m << "' as '" << newName;
  if (!CheckName(name, false)) return nullptr;
  Ref made = nullptr;
  char reason[kLineHigh + 1] = {};
  switch (LoadInto(file, name, made, reason)) {
  case LoadOutcome::ShellBuffer:
    Message("Cannot open a Shell buffer!");
    return nullptr;
  case LoadOutcome::Exists:
    Message((m << "': Buffer already exists.").s);
    return nullptr;
  case LoadOutcome::NoBuffer:
    Message((m << "': Unable to create text buffer.").s);
    return nullptr;
  case LoadOutcome::Failed:
    Message((m << "' - Failed: " << reason).s);
    return nullptr;
  case LoadOutcome::Loaded:
    break;
  }
  // What the load has to tell comes first, where the message line shows it.
  Message(reason[0] != 0 ? (Text(reason) << ": '" << file << "'").s : (m << "'").s);
  return made;
}

// The file dialog of a command that may repeat with Shift: the title in capitals then.
bool AskFile(int mode, const char* title, const char* shiftedTitle, bool shifted, Chars button,
             VarChars path) {
  return Toolbox::AskFileName(mode, base::CharsOf(shifted ? shiftedTitle : title), "*", path,
                              button);
}

// A question with one answer field; false on Cancel.
bool Ask(Chars question, VarChars answer) { return Alerts::AskString(question, answer); }

// ---- storing ----

// Stores b into path; the file system's result.
std::int32_t StoreAt(Ref b, Chars path) { return FileSystem::StoreText(b, path); }

// ---- the modified-module test ----

bool Matches(Chars name, const char* pattern) {
  return Strings::Position(name, base::CharsOf(pattern), 0) >= 0 || [&] {
    // "?" stands for any one character.
    const std::size_t n = Strings::Length(name), m = std::strlen(pattern);
    for (std::size_t i = 0; i + m <= n; ++i) {
      bool all = true;
      for (std::size_t j = 0; j < m && all; ++j)
        all = pattern[j] == '?' || pattern[j] == name[i + j];
      if (all) return true;
    }
    return false;
  }();
}

bool IsModuleName(Chars name) {
  return Matches(name, "DE?") || Matches(name, "MO?") || Matches(name, "BA?");
}

enum class Test { Skip, Save, Cancel };

// Whether a buffer is to be saved: modified, or (with checksums) holding a wrong one;
// with ask, the user decides. found notes that a modified module was met.
Test ModifiedTest(Ref b, Chars path, bool ask, bool withChecksum, bool& found) {
  char name[kNameHigh + 1];
  Buffer::LeafName(b, name);
  const bool checking = withChecksum && checksums && IsModuleName(name);
  const bool modified = Lines::Modified(b);
  const bool wrongSum = checking && Checksum(b) != StoredChecksum(b);
  if (!modified && !wrongSum) return Test::Skip;
  found = true;
  if (ask) {
    Text q(modified ? "Save modified file :" : "Save file (wrong checksum):");
    q << " \"" << path << "\" ?";
    // Only Yes stores; Escape answers Cancel.
    switch (Alerts::ThreeButtonAlert(q.s, "Yes", "No", "Cancel", kYes, kCancel)) {
    case kYes:
      break;
    case kNo:
      return Test::Skip;
    default:
      return Test::Cancel;
    }
  }
  if (checking) WriteChecksumLine(b);
  return Test::Save;
}

// The user's texts: the command text first, then every text buffer of the tree outside
// the shell's directory, depth first in name order; the recovery journal follows the
// same texts.
void ForEachText(const std::function<void(Ref)>& proc) { Recovery::ForEachUserText(proc); }

bool HoldsStorage(Ref b) { return Lines::Count(b) > 0; }

// ---- text clean-up ----

// Writes line n back; false (and nothing changed) when it cannot be.
bool Put(Ref b, std::int32_t n, const std::string& text) {
  return Lines::Set(b, n, base::CharsOf(text));
}

} // namespace

void Init() {
  if (initialised) return;
  initialised = true;
  Buffer::Init();
  FileSystem::Init();
  static_cast<void>(Settings::AddClient({nullptr, ApplyChecksumSetting, CollectChecksumSetting}));
}

bool CheckName(VarChars name, bool mayAsk) {
  Init();
  for (;;) {
    const std::size_t n = Strings::Length(name);
    if (n == 0) {
      Alerts::AlertBeep();
      Alert("EMPTY NAME !");
      return false;
    }
    if (name[0] == '.') {
      Alerts::AlertBeep();
      if (!Ask("Name cannot begin with \".\":", name)) return false;
      continue;
    }
    if (n < kNameHigh + 1) {
      if (!HasIllegal(name)) return true;
      Alerts::AlertBeep();
      if (!mayAsk) {
        Alert((Text("Illegal character(s) (\"/\" \":\") in name \"") << Chars(name) << "\"").s);
        return false;
      }
      if (!Ask("New Name (without \"/\" \":\"):", name)) return false;
      continue;
    }
    name[kNameHigh] = 0;
    Alerts::AlertBeep();
    if (!Ask("Too long: max 31 chars. New name:", name)) return false;
  }
}

void Create() {
  Init();
  const bool shifted = ShiftHeld();
  do {
    char path[kPathHigh + 1] = {};
    if (!AskFile(2, "Create File:", "CREATE File:", shifted, "Create", path)) return;
    char dir[kPathHigh + 1], name[kPathHigh + 1];
    SplitPath(path, dir, name);
    if (!CheckName(name, true)) return;
    if (Ref old = Buffer::Find(name)) {
      Text q("\"");
      q << Chars(name) << "\" already exists !";
      if (Alerts::ThreeButtonAlert(q.s, "Replace", "Cancel", "", 2) != 1) return;
      if (IsShellText(old)) return;
      if (!Shell::Delete(old)) {
        Message((Text("Could not create buffer: ") << Chars(name)).s);
        return;
      }
    }
    Ref b = Buffer::Create(name, BufferKind::Text);
    if (b == nullptr || !Lines::Append(b, "")) {
      Message((Text("Could not create buffer: ") << Chars(name)).s);
      return;
    }
    // The file is to go where the user chose it.
    Buffer::SetFilePath(b, dir[0] != 0 ? Chars(dir) : Chars(CurrentDirectory()));
    Lines::SetModified(b, false);
    Enter(b);
  } while (shifted);
}

void Open() {
  Init();
  const bool shifted = ShiftHeld();
  do {
    char path[kPathHigh + 1] = {};
    if (!AskFile(1, "Open File", "OPEN File", shifted, "Open", path)) return;
    Ref b = Load(path, {});
    if (b == nullptr) return;
    Enter(b);
  } while (shifted);
}

bool OpenFile(Chars path) {
  Init();
  Ref b = Load(path, {});
  if (b == nullptr) return false;
  static_cast<void>(EditWindows::OpenBufferWindow(b, EditWindows::Placement::Automatic));
  Enter(b);
  return true;
}

void OpenAndRename() {
  Init();
  const bool shifted = ShiftHeld();
  do {
    char path[kPathHigh + 1] = {};
    if (!AskFile(1, "Open File and Rename:", "OPEN File and Rename:", shifted, "Open", path))
      return;
    char name[kPathHigh + 1] = {};
    const Text q = Text("Open '") << Chars(path) << "' As:";
    for (;;) {
      if (!Ask(q.s, name)) return;
      if (name[0] != 0) break;
      Alerts::AlertBeep();
    }
    Ref b = Load(path, name);
    if (b == nullptr) return;
    Lines::SetModified(b, true);
    Enter(b);
  } while (shifted);
}

void LoadAll() {
  Init();
  const std::string saved = CurrentDirectory();
  char dir[kPathHigh + 1] = {};
  Strings::Assign(dir, Chars(saved));
  if (!Toolbox::AskFileName(4, "Directory from which to load:", "*.*", dir, "Load All")) return;
  std::string host = base::ToString(dir);
  if (!host.empty() && host.back() != '/') host += '/';
  std::int32_t loaded = 0, errors = 0;
  for (const std::string& file : FilesOf(host)) {
    char name[kPathHigh + 1];
    Strings::Assign(name, Chars(file));
    if (!CheckName(name, true)) continue;
    Text line("Load \"");
    line << Chars(file) << "\"";
    if (file != base::ToString(name)) line << " as \"" << Chars(name) << "\"";
    char reason[kLineHigh + 1] = {};
    Ref made = nullptr;
    const std::string path = host + file;
    bool failed = true;
    switch (LoadInto(Chars(path), name, made, reason)) {
    case LoadOutcome::ShellBuffer:
      line << "- Cannot load a Shell buffer!";
      break;
    case LoadOutcome::Exists:
      line << "- Buffer already exists.";
      break;
    case LoadOutcome::NoBuffer:
      line << "- Unable to create text buffer.";
      break;
    case LoadOutcome::Failed:
      line << "- Failed: " << reason;
      break;
    case LoadOutcome::Loaded:
      failed = false;
      if (reason[0] != 0) line << " - " << reason;
      break;
    }
    ++loaded;
    if (failed) ++errors;
    Message(line.s);
    Log(line.s);
  }
  static_cast<void>(FileSystem::ChangeDirectory(Chars(saved)));
  if (errors > 0) {
    Text t("ERROR(s) while loading: only ");
    t << std::int64_t{loaded - errors} << " out of " << std::int64_t{loaded} << " modules loaded.";
    Log(t.s);
    Alert(t.s);
  } else {
    Message((Text("All ") << std::int64_t{loaded} << " modules loaded.").s);
  }
}

void Close() {
  Init();
  Editor::ClearEditMessage();
  Ref b = Editor::EditedText();
  if (b == nullptr) return;
  if (EditWindows::HasOwnWindow(b))
    EditWindows::CloseBufferWindow(b);
  else if (b != Shell::CommandText())
    EditWindows::ShowBuffer(Shell::CommandText(), EditWindows::kRefresh | EditWindows::kActivate);
}

bool Save() {
  Init();
  Ref b = Editor::EditedText();
  char name[kPathHigh + 1] = {};
  if (b != nullptr) Buffer::LeafName(b, name);
  if (!IsText(b)) {
    Message((Text("Save:   ") << Chars(name) << "   - buffer not found.").s);
    return false;
  }
  char path[kPathHigh + 1];
  FilePathOf(b, path);
  const std::int32_t result = StoreAt(b, path);
  if (result < 0) {
    char reason[kLineHigh + 1];
    ErrorText(result, reason);
    const Text t = Text("Save:   ") << Chars(path) << "   - Failure: " << reason;
    Message(t.s);
    Alert(t.s);
    return false;
  }
  Message((Text("Saved:   ") << Chars(path)).s);
  return true;
}

void SaveAs() {
  Init();
  Ref b = Editor::EditedText();
  if (!IsText(b)) return;
  char name[kPathHigh + 1];
  Buffer::LeafName(b, name);
  char path[kPathHigh + 1];
  FilePathOf(b, path);
  if (!Toolbox::AskFileName(2, (Text("SAVE '") << Chars(name) << "' AS:").s, "*", path)) return;
  char dir[kPathHigh + 1], leaf[kPathHigh + 1];
  SplitPath(path, dir, leaf);
  if (IsShellText(b)) {
    if (StoreAt(b, path) < 0) Alert((Text("Error saving \"") << Chars(leaf) << "\"").s);
    return;
  }
  if (!Strings::Equal(leaf, name)) {
    if (!CheckName(leaf, true)) return;
    if (Ref other = Buffer::Find(leaf); other != nullptr && other != b) {
      const Text q = Text("Buffer '")
                     << Chars(leaf) << "' already exists.  Replace it and continue?";
      if (!Alerts::Ask(q.s, false)) return;
      if (IsShellText(other)) return;
      if (!Shell::Delete(other)) {
        Alert("Buffer NOT SAVED: could not rename!");
        return;
      }
    }
    Ref moved = Shell::Rename(b, leaf);
    if (moved == nullptr) {
      Alert("Buffer NOT SAVED: could not rename!");
      return;
    }
    b = moved;
  }
  Buffer::SetFilePath(b, dir);
  Enter(b);
  Save();
}

void Revert() {
  Init();
  const bool shifted = ShiftHeld();
  do {
    Ref current = Editor::EditedText();
    char path[kPathHigh + 1] = {};
    if (IsText(current)) FilePathOf(current, path);
    if (!AskFile(1, "Revert To File:", "REVERT To File:", shifted, "Revert", path)) return;
    char dir[kPathHigh + 1], name[kPathHigh + 1];
    SplitPath(path, dir, name);
    if (IsShellName(name)) return;
    char state[sizeof(Buffer::Record::windowState) + 1] = {};
    bool hadWindow = false;
    if (Ref old = Buffer::Find(name)) {
      if (IsShellText(old)) return;
      hadWindow = EditWindows::HasOwnWindow(old);
      if (Shell::InUse(old)) {
        Message((Text("Revert '") << Chars(name) << "': Buffer is in use.").s);
        return;
      }
      // Leaving the text and closing its window keep its cursor, view, selection and
      // window rectangle in its window state; only then is the state taken.
      if (Editor::EditedText() == old) EditWindows::ShowBuffer(Shell::CommandText(), 0);
      EditWindows::CloseBufferWindow(old);
      Buffer::GetWindowState(old, state);
      if (!Shell::Delete(old)) {
        Message((Text("Revert '") << Chars(name) << "': Buffer is in use.").s);
        return;
      }
    }
    Ref b = Load(path, {});
    if (b == nullptr) {
      Editor::RedrawScreen();
      return;
    }
    // The window state comes back: cursor, view and selection as they were.
    Buffer::SetWindowState(b, Chars(state, sizeof state - 1));
    EditWindows::WindowState ws = EditWindows::GetState(b);
    ws.windowStamp = 0;
    ws.window = nullptr;
    ws.terminal = nullptr;
    EditWindows::PutState(b, ws);
    if (hadWindow)
      static_cast<void>(EditWindows::OpenBufferWindow(b, EditWindows::Placement::Automatic));
    Enter(b);
    Editor::ShowCursor();
  } while (shifted);
}

void Rename() {
  Init();
  const bool shifted = ShiftHeld();
  do {
    Ref b = Editor::EditedText();
    if (b == nullptr) return;
    if (IsShellText(b)) {
      Alert("Shell buffers cannot be renamed!");
      return;
    }
    char name[kPathHigh + 1];
    Buffer::LeafName(b, name);
    const Text q = Text(shifted ? "RENAME: '" : "Rename: '") << Chars(name) << "' to:";
    char answer[kPathHigh + 1];
    Strings::Assign(answer, name);
    if (!Ask(q.s, answer)) return;
    Ref moved = Shell::Rename(b, answer);
    if (moved == nullptr) {
      Alert("Buffer could not be renamed!");
      return;
    }
    Enter(moved);
  } while (shifted);
}

void SetDirectory() {
  Init();
  char dir[kPathHigh + 1] = {};
  Strings::Assign(dir, Chars(CurrentDirectory()));
  if (!Toolbox::AskFileName(4, "SET Directory:", "*", dir)) return;
  if (!FileSystem::ChangeDirectory(dir)) {
    char reason[kLineHigh + 1];
    ErrorText(FileSystem::Result(), reason);
    Message((Text("SET Directory - ") << reason).s);
  }
}

void SaveGroup(int mode) {
  Init();
  static const char* const kQuestions[] = {
      "SAVE DE?- and MO?-modules ?", "SAVE all DE?-modules ?", "SAVE all MO?-modules ?", "", "",
      "SAVE all modified modules ?"};
  const std::string dir = CurrentDirectory();
  if (mode != 4) {
    Text q(mode == 3 ? "SAVE all modules EXISTING on: \"" : kQuestions[mode]);
    if (mode == 3) q << Chars(dir) << "\" ?";
    if (!Alerts::Ask(q.s, true)) return;
  }
  Log("");
  std::int32_t saved = 0, errors = 0;
  bool cancelled = false, found = false;
  Toolbox::ForceCursorShape(true, Toolbox::CursorShape::Busy);
  Buffer::ForEach(Buffer::Current(), [&](Ref b) {
    if (cancelled || !IsText(b) || !HoldsStorage(b)) return;
    char name[kNameHigh + 1];
    Buffer::LeafName(b, name);
    const std::size_t n = Strings::Length(name);
    if (n > 0 && name[n - 1] == '_') return;
    char path[kPathHigh + 1];
    FilePathOf(b, path);
    switch (mode) {
    case 0:
      if (!Matches(name, "MO?") && !Matches(name, "DE?")) return;
      break;
    case 1:
      if (!Matches(name, "DE?")) return;
      break;
    case 2:
      if (!Matches(name, "MO?")) return;
      break;
    case 3: {
      const std::string file = dir + base::ToString(name);
      if (!FileExists(file)) return;
      Strings::Assign(path, Chars(file));
      break;
    }
    default:
      switch (ModifiedTest(b, path, mode == 4, true, found)) {
      case Test::Skip:
        return;
      case Test::Cancel:
        cancelled = true;
        return;
      case Test::Save:
        break;
      }
      break;
    }
    Text line("store ");
    line << Chars(path);
    Message(line.s);
    const std::int32_t result = StoreAt(b, path);
    ++saved;
    if (result < 0) {
      char reason[kLineHigh + 1];
      ErrorText(result, reason);
      line << " - Failure: " << reason;
      Shell::WriteError(line.s);
      ++errors;
    } else {
      Log(line.s);
    }
  });
  Toolbox::ForceCursorShape(false, Toolbox::CursorShape::Arrow);
  static const char* const kKinds[] = {" DE?- and MO?-", " DE?-", " MO?-", " ", " ", " "};
  if (saved > 0) {
    Text t;
    if (errors > 0)
      t << "ERROR(s) while saving: only " << std::int64_t{saved - errors} << " out of "
        << std::int64_t{saved};
    else if (mode != 4)
      t << "All " << std::int64_t{saved};
    t << kKinds[mode] << "modules saved.";
    if (errors > 0)
      Alert(t.s);
    else
      Message(t.s);
  } else if (!cancelled) {
    if (mode <= 3)
      Message("No matching modules found.");
    else if (!found)
      Message("No modified modules found.");
  }
}

void ChecksumDirectory() {
  Init();
  char dir[kPathHigh + 1] = {};
  Strings::Assign(dir, Chars(CurrentDirectory()));
  if (!Toolbox::AskFileName(4, "Set file directory:", "*", dir)) return;
  std::string host = base::ToString(dir);
  if (!host.empty() && host.back() != '/') host += '/';
  for (const std::string& file : FilesOf(host)) {
    Text line("'");
    line << Chars(file) << "' - CheckSum:";
    Ref b = Buffer::Find(Chars(file));
    if (!IsText(b)) {
      Log((line << "  buffer not found.").s);
      continue;
    }
    const std::uint32_t sum = Checksum(b);
    const std::uint32_t stored = StoredChecksum(b);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%9X", sum);
    line << hex;
    if (stored != sum) {
      std::snprintf(hex, sizeof hex, "%9X", stored);
      line << ";  previous:" << hex;
      WriteChecksumLine(b);
    }
    Log(line.s);
  }
}

void StripTabs() {
  Init();
  Ref b = Editor::EditedText();
  if (!IsText(b)) return;
  Message("Stripping TABs... ");
  const std::int32_t width = std::max(1, Editor::TabWidth());
  std::int64_t tabs = 0;
  for (std::int32_t n = 1; n <= Lines::Count(b); ++n) {
    const std::string_view line = Lines::View(b, n);
    if (line.find('\t') == std::string_view::npos) continue;
    std::string out;
    for (char c : line) {
      if (c != '\t') {
        out += c;
        continue;
      }
      ++tabs;
      // Blanks up to the next stop, at least one, while the line stays below 256.
      do {
        out += ' ';
      } while (out.size() % static_cast<std::size_t>(width) != 0 && out.size() < kLineHigh);
    }
    if (out.size() > kLineHigh) out.resize(kLineHigh);
    if (!Put(b, n, out)) {
      Message("Error while stripping TABs!");
      return;
    }
  }
  Message((Text("TABs stripped: ") << tabs).s);
}

void StripMarks() {
  Init();
  Ref b = Editor::EditedText();
  if (!IsText(b)) return;
  // A text that keeps UTF-8 as it is holds pieces of characters there, never marks.
  const bool marksHeld = !Charset::HoldsUtf8(Lines::CodingOf(b));
  auto isMark = [marksHeld](unsigned char c) {
    return marksHeld &&
           ((c >= 162 && c <= 166) || c == 170 || c == 176 || c == 187 || c == 188 || c == 193);
  };
  std::int64_t marks = 0;
  bool changed = false;
  for (std::int32_t n = 1; n <= Lines::Count(b); ++n) {
    const std::string_view line = Lines::View(b, n);
    std::string out;
    for (char c : line) {
      if (isMark(static_cast<unsigned char>(c)))
        ++marks;
      else
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.size() > 3 && out.back() == ';' && out[out.size() - 2] == ' ')
      out.erase(out.size() - 2, 1);
    if (out == line) continue;
    changed = true;
    if (!Put(b, n, out)) {
      Alert("StripMarks - error: could not replace line.");
      return;
    }
  }
  if (marks > 0) {
    Message((Text() << marks << " marks removed.").s);
  } else if (!changed) {
    Message("StripMarks - no marks found.");
  }
}

std::int32_t CountModified() {
  Init();
  std::int32_t n = 0;
  ForEachText([&n](Ref b) {
    if (Lines::Modified(b) && HoldsStorage(b)) ++n;
  });
  return n;
}

std::int32_t StoreModified() {
  Init();
  Log("");
  std::int32_t failures = 0;
  bool cancelled = false, found = false;
  ForEachText([&](Ref b) {
    if (cancelled || !HoldsStorage(b)) return;
    char path[kPathHigh + 1];
    FilePathOf(b, path);
    switch (ModifiedTest(b, path, true, false, found)) {
    case Test::Skip:
      return;
    case Test::Cancel:
      cancelled = true;
      return;
    case Test::Save:
      break;
    }
    Text line("store ");
    line << Chars(path);
    Message(line.s);
    const std::int32_t result = StoreAt(b, path);
    if (result == FileSystem::kNoError) return;
    char reason[kLineHigh + 1];
    ErrorText(result, reason);
    Shell::WriteError((line << " - FAILED: " << reason).s);
    ++failures;
  });
  return cancelled && failures == 0 ? -1 : failures;
}

void InstallQuitProcs() {
  Startup::SetModifiedCountProc(CountModified);
  Startup::SetSaveModifiedProc(StoreModified);
}

void FilePathOf(Ref text, VarChars path) {
  char leaf[kPathHigh + 1];
  Buffer::GetFilePath(text, path);
  Buffer::LeafName(text, leaf);
  Strings::Append(path, leaf);
}

void SetChecksums(bool on) {
  Init();
  checksums = on;
}
bool Checksums() { return checksums; }

namespace {

constexpr char kChecksumStart[] = "(* Checksum: "; // a checksum line begins so
constexpr char kChecksumLabel[] = "(* Checksum:";

bool IsChecksumLine(std::string_view line) {
  return line.size() >= 15 && line.substr(0, sizeof kChecksumStart - 1) == kChecksumStart;
}

} // namespace

std::uint32_t Checksum(Ref b) {
  if (b == nullptr) {
    Log("CheckSum - Input buffer not found.");
    return 0;
  }
  if (!IsText(b)) {
    Log("CheckSum - Cannot process this type of buffer.");
    return 0;
  }
  std::uint32_t sum = 0;
  const std::int32_t count = Lines::Count(b);
  const std::int32_t first = count >= 1 && IsChecksumLine(Lines::View(b, 1)) ? 2 : 1;
  for (std::int32_t n = first; n <= count; ++n) {
    const std::string_view line = Lines::View(b, n);
    sum += 13;
    for (std::size_t i = 0; i + 4 <= line.size(); i += 4) {
      const auto* p = reinterpret_cast<const unsigned char*>(line.data() + i);
      sum += std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
             (std::uint32_t{p[3]} << 24);
    }
  }
  return sum;
}

std::uint32_t StoredChecksum(Ref b) {
  if (!IsText(b) || Lines::Count(b) < 1) return 0;
  const std::string_view line = Lines::View(b, 1);
  if (!IsChecksumLine(line)) return 0;
  std::size_t i = 12;
  while (i < line.size() && line[i] == ' ') ++i;
  std::uint32_t value = 0;
  for (; i < line.size() && line[i] != ' '; ++i) {
    const char c = line[i];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

void WriteChecksumLine(Ref b) {
  if (!IsText(b)) return;
  if (Lines::Count(b) >= 1 && IsChecksumLine(Lines::View(b, 1))) Lines::Delete(b, 1, 1);
  const std::uint32_t sum = Checksum(b);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%11X", sum);
  char date[40], time[20];
  const Dates::TimeValue now = Dates::Now();
  Dates::DateToText(now, date, false, false);
  Dates::TimeToText(now, time);
  Text line(kChecksumLabel);
  line << hex << "  -  " << date << " " << time << " *)";
  if (Lines::Insert(b, 1, 1)) static_cast<void>(Lines::Set(b, 1, line.s));
}

} // namespace FileCommands
