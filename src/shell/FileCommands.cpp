#include "shell/FileCommands.h"

#include <functional>

#include "base/Strings.h"
#include "platform/Alerts.h"
#include "platform/Startup.h"
#include "shell/ShellStart.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

namespace FileCommands {

namespace {

using Buffer::Ref;

constexpr std::size_t kPathHigh = 259;
constexpr std::size_t kLineHigh = 255;
constexpr int kYes = 1, kCancel = 3;

bool initialised = false;

// The user's texts: the command text first, then every text buffer of the tree outside
// the shell's directory, depth first in name order.
void ForEachText(const std::function<void(Ref)>& proc) {
  const Ref command = Shell::CommandText();
  if (command != nullptr) proc(command);
  const Ref shell = Buffer::Find("/Shell/");
  std::function<void(Ref)> visit = [&](Ref b) {
    if (b == shell) return;
    switch (Buffer::KindOf(b)) {
    case Buffer::BufferKind::Directory:
      Buffer::ForEach(b, visit);
      break;
    case Buffer::BufferKind::Text:
      if (b != command) proc(b);
      break;
    default:
      break;
    }
  };
  Buffer::ForEach(Buffer::Root(), visit);
}

bool NeedsSaving(Ref text) { return Lines::Modified(text) && Lines::Count(text) > 0; }

} // namespace

void Init() {
  if (initialised) return;
  initialised = true;
  Buffer::Init();
  FileSystem::Init();
}

std::int32_t CountModified() {
  Init();
  std::int32_t n = 0;
  ForEachText([&n](Ref b) {
    if (NeedsSaving(b)) ++n;
  });
  return n;
}

void FilePathOf(Ref text, base::VarChars path) {
  char leaf[kPathHigh + 1];
  Buffer::GetFilePath(text, path);
  Buffer::LeafName(text, leaf);
  Strings::Append(path, leaf);
}

std::int32_t StoreModified() {
  Init();
  Shell::WriteList("");
  std::int32_t failures = 0;
  bool cancelled = false;
  ForEachText([&](Ref b) {
    if (cancelled || !NeedsSaving(b)) return;
    char path[kPathHigh + 1];
    FilePathOf(b, path);
    char question[kLineHigh + 1] = "Save modified file : \"";
    Strings::Append(question, path);
    Strings::Append(question, "\" ?");
    const int answer = Alerts::ThreeButtonAlert(question, "Yes", "No", "Cancel", kYes);
    if (answer == kCancel) cancelled = true;
    if (answer != kYes) return;
    char line[kLineHigh + 1] = "store ";
    Strings::Append(line, path);
    Shell::ShowMessage(line);
    const std::int32_t result = FileSystem::StoreText(b, path);
    if (result == FileSystem::kNoError) return;
    char reason[kLineHigh + 1];
    FileSystem::ErrorText(result, reason);
    Strings::Append(line, " - FAILED: ");
    Strings::Append(line, reason);
    Shell::WriteError(line);
    ++failures;
  });
  return cancelled && failures == 0 ? -1 : failures;
}

void InstallQuitProcs() {
  Startup::SetModifiedCountProc(CountModified);
  Startup::SetSaveModifiedProc(StoreModified);
}

} // namespace FileCommands
