#include "shell/Commands.h"

#include <algorithm>
#include <cstdio>

#include "base/NumberOut.h"
#include "base/Strings.h"
#include "dialog/Dialog.h"
#include "dialog/Help.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/ShellStart.h"
#include "macros/Macros.h"
#include "modules/Definitions.h"
#include "modules/Modules.h"
#include "modules/NativeModules.h"
#include "platform/Startup.h"
#include "programs/ProgramModules.h"
#include "shell/Breakpoints.h"
#include "shell/Compile.h"
#include "shell/FileCommands.h"
#include "store/FileSystem.h"
#include "store/Lines.h"
#include "textio/TextIO.h"
#include "tools/Notebook.h"
#include "vm/Heap.h"
#include "vm/Vm.h"

namespace c {

namespace {

using Buffer::BufferKind;
using Buffer::Ref;

using base::kLineHigh, base::kPathHigh;
constexpr std::int32_t kFilePathColumn = 54;
constexpr int kConflictLines = 101;

// One line being built.
struct Line {
  char s[kLineHigh + 1] = {};
  Line() = default;
  explicit Line(Chars text) { Strings::Assign(s, text); }
  Line& operator<<(Chars text) {
    Strings::Append(s, text);
    return *this;
  }
  Line& operator<<(const char* text) { return *this << base::CharsOf(text); }
  Line& Number(std::int64_t value, int width) {
    char n[24];
    std::snprintf(n, sizeof n, "%*lld", width, static_cast<long long>(value));
    return *this << n;
  }
  void PadTo(std::size_t column) {
    while (Strings::Length(s) < column && Strings::Length(s) < kLineHigh) Strings::Append(s, " ");
  }
};

void List(Chars text) { Shell::WriteList(text); }
void Error(Chars text, Chars more = {}) { Shell::WriteCommandError(text, more); }

bool IsKind(Ref b, BufferKind kind) { return b != nullptr && Buffer::KindOf(b) == kind; }

// The leaf of a path: the name of the host file a buffer goes to and comes from.
void LeafOf(Chars path, char (&leaf)[kPathHigh + 1]) {
  const std::size_t n = Strings::Length(path);
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (path[i] == '/') start = i + 1;
  Strings::Assign(leaf, Chars(path.p + start, n - start));
}

// The directory at path for sdir, ssymbol and sobject, or nullptr with the command's
// message.
Ref Directory(Chars command, Chars path) {
  const Ref d = Buffer::Find(path);
  if (d == nullptr) {
    Error((Line(command) << " - No such directory.").s);
    return nullptr;
  }
  if (!IsKind(d, BufferKind::Directory)) {
    Error((Line(command) << " - Buffer is not a directory.").s);
    return nullptr;
  }
  return d;
}

void ListingLine(Ref b) {
  Line line;
  std::int32_t segmentBytes = 0, segments = 0, freeBytes = 0, freeRanges = 0;
  Buffer::HeapInfo(b, segmentBytes, segments, freeBytes, freeRanges);
  if (segmentBytes > 0)
    line.Number(segmentBytes / 1024, 6) << "kb  ";
  else
    line << "          ";
  switch (Buffer::KindOf(b)) {
  case BufferKind::Block:
    line << "                Block  ";
    break;
  case BufferKind::Directory:
    line << "            Directory  ";
    break;
  case BufferKind::Heap:
    line.Number(freeBytes / 1024, 6) << "kb Free    Heap  ";
    break;
  case BufferKind::Text:
    line.Number(Lines::Count(b), 6) << " Lines     Text  ";
    break;
  case BufferKind::Library:
    line << "              Library  ";
    break;
  default:
    line << "              Unknown  ";
    break;
  }
  char name[kPathHigh + 1];
  Buffer::FullName(b, name);
  line << name;
  char filePath[kPathHigh + 1];
  if (Buffer::KindOf(b) == BufferKind::Text) {
    Buffer::GetFilePath(b, filePath);
    if (filePath[0] != 0) {
      line.PadTo(kFilePathColumn);
      line << "  " << filePath;
    }
  }
  List(line.s);
}

void Listing(Ref dir) {
  if (Buffer::EntryCount(dir) == 0) {
    List("        directory is empty.");
    return;
  }
  Buffer::ForEach(dir, ListingLine);
}

const char* StateWord(Modules::ModuleState s) {
  switch (s) {
  case Modules::ModuleState::Loaded:
    return "  Loaded    ";
  case Modules::ModuleState::Linked:
    return "  Linked    ";
  case Modules::ModuleState::Ready:
    return "  Ready     ";
  case Modules::ModuleState::External:
    return "  External  ";
  default:
    return "  Known     ";
  }
}

// The link states of libinfo: not loaded, key conflict, resolved.
const char* LinkWord(Modules::LinkStatus s) {
  switch (s) {
  case Modules::LinkStatus::KeyConflict:
    return "Loaded:  ";
  case Modules::LinkStatus::Resolved:
    return "Linked:  ";
  default:
    return "Known:   ";
  }
}

Ref CurrentLibrary() { return Shell::CurrentLibrary(); }

} // namespace

void ldir(Chars path) {
  const Ref d = Buffer::Find(path);
  if (d == nullptr) {
    Error("ldir - No such directory.");
    return;
  }
  if (!IsKind(d, BufferKind::Directory)) {
    Error("ldir - Buffer is not a directory.");
    return;
  }
  Listing(d);
}

void list() {
  List("");
  List("Current Buffer listing:");
  Listing(Buffer::Current());
}

void cdir(Chars path) {
  if (Buffer::Open(path, BufferKind::Directory) == nullptr)
    Error("cdir - Unable to create directory.");
}

void sdir(Chars path) {
  if (const Ref d = Directory("sdir", path)) Buffer::SetCurrent(d);
}

void del(Chars path) {
  const Ref b = Buffer::Find(path);
  if (b == nullptr) {
    Error("del - Buffer does not exist.");
    return;
  }
  if (Shell::Delete(b)) return;
  if (Shell::InUse(b))
    Error("del - Buffer is in use.");
  else
    Error("del - Buffer could not be deleted.");
}

void rename(Chars oldPath, Chars newPath) {
  const Ref b = Buffer::Find(oldPath);
  if (b == nullptr) {
    Error("rename - OldName buffer does not exist.");
    return;
  }
  if (b != Shell::CommandText() && b != Shell::ListText() && Shell::InUse(b)) {
    Error("rename - Buffer is in use.");
    return;
  }
  if (Shell::Rename(b, newPath) == nullptr) Error("rename - Buffer could not be renamed.");
}

void store(Chars path) {
  const Ref b = Buffer::Find(path);
  if (b == nullptr) {
    Error("store - Input buffer not found.");
    return;
  }
  char file[kPathHigh + 1];
  LeafOf(path, file);
  std::int32_t result = 0;
  if (IsKind(b, BufferKind::Block))
    result = FileSystem::StoreBlock(b, file);
  else if (IsKind(b, BufferKind::Text))
    result = FileSystem::StoreText(b, file);
  else {
    Error("store - Cannot store this type of buffer.");
    return;
  }
  if (result < 0) {
    char reason[kLineHigh + 1];
    FileSystem::ErrorText(result, reason);
    Error("store - Failure: ", reason);
  }
}

void tload(Chars path) {
  if (Buffer::Find(path) != nullptr) {
    Error("tload - Buffer already exists.");
    return;
  }
  Ref b = Buffer::Create(path, BufferKind::Text);
  if (b == nullptr) {
    Error("tload - Unable to create output buffer.");
    return;
  }
  char file[kPathHigh + 1];
  LeafOf(path, file);
  const std::int32_t result = FileSystem::LoadText(file, b);
  char reason[kLineHigh + 1];
  if (result < 0) {
    Buffer::Delete(b);
    FileSystem::ErrorText(result, reason);
    Error("tload - Failure: ", reason);
    return;
  }
  FileSystem::LoadNoticeText(FileSystem::LastLoadNotice(), reason);
  if (reason[0] != 0) Error("tload - ", reason);
}

void bload(Chars path) {
  // The block replaces a buffer of that name, but not one the workstation holds or a
  // window shows.
  if (const Ref old = Buffer::Find(path);
      old != nullptr && (Shell::InUse(old) || EditWindows::Shown(old))) {
    Error("bload - Buffer is in use.");
    return;
  }
  Ref b = Buffer::Create(path, BufferKind::Block);
  if (b == nullptr) {
    Error("bload - Unable to create output buffer.");
    return;
  }
  char file[kPathHigh + 1];
  LeafOf(path, file);
  const std::int32_t result = FileSystem::LoadBlock(file, b);
  if (result < 0) {
    Buffer::Delete(b);
    char reason[kLineHigh + 1];
    FileSystem::ErrorText(result, reason);
    Error("bload - Failure: ", reason);
  }
}

void comp(Chars path) { Compile::CompileNamed(path); }

void execute(Chars name) { Compile::RunModule(name); }

void args(Chars text) {
  std::vector<std::string> words;
  if (!ProgramModules::SplitArguments(base::ToString(text), words)) {
    Error("args - Quote not closed: ", text);
    return;
  }
  Compile::SetNextArguments(std::move(words));
}

void ssymbol(Chars path) {
  if (const Ref d = Directory("ssymbol", path)) Shell::SetSymbolDirectory(d);
}

void sobject(Chars path) {
  if (const Ref d = Directory("sobject", path)) Shell::SetObjectDirectory(d);
}

void slib(Chars path) {
  Ref b = Buffer::Find(path);
  if (b == nullptr) {
    b = Buffer::Create(path, BufferKind::Library);
    if (b == nullptr) {
      Error("slib - Unable to create library buffer.");
      return;
    }
  }
  if (!IsKind(b, BufferKind::Library)) {
    Error("slib - Specified buffer is not a library buffer.");
    return;
  }
  Shell::SetCurrentLibrary(b);
}

void libload(Chars path) {
  Ref object = Buffer::Find(path);
  if (!IsKind(object, BufferKind::Block)) {
    Error("libload - Object module not found.");
    return;
  }
  if (Modules::Install(CurrentLibrary(), object) == nullptr) {
    Error("libload - Module load failed.");
    return;
  }
  Buffer::Delete(object);
}

void libuload(Chars name) {
  const Modules::Ref m = Modules::Find(CurrentLibrary(), name);
  if (m == nullptr) {
    Error("libuload - Module not found in library.");
    return;
  }
  Modules::Unload(m);
}

void libinfo(Chars name) {
  const Modules::Ref m = Modules::Find(CurrentLibrary(), name);
  if (m == nullptr) {
    Error("libinfo - Module not found: ", name);
    return;
  }
  Modules::ForEachImport(m, [](Modules::Ref, Modules::Ref imported, Modules::LinkStatus s) {
    char n[17];
    Modules::Name(imported, n);
    List((Line("   Import    ") << LinkWord(s) << n).s);
  });
  Modules::ForEachImporter(m, [](Modules::Ref importer, Modules::Ref, Modules::LinkStatus s) {
    char n[17];
    Modules::Name(importer, n);
    List((Line("   Importer  ") << LinkWord(s) << n).s);
  });
}

void mlist() {
  List("");
  List("Module list:");
  // Addresses are the host's: 16 hexadecimal digits.
  List("  state               address    size  name");
  List("  -----------|----------------|-------|-----------");
  Modules::ForEach(CurrentLibrary(), [](Modules::Ref m) {
    const Modules::ModuleInfo info = Modules::Info(m);
    char name[17];
    Modules::Name(m, name);
    Line line;
    if (info.state == Modules::ModuleState::Known) {
      line << "  Known     "
           << "                       ";
    } else {
      char address[24];
      std::snprintf(address, sizeof address, "%16llX",
                    static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(info.table)));
      line << StateWord(info.state) << address;
      if (info.state == Modules::ModuleState::External)
        line << "       ";
      else
        line.Number(std::int64_t{info.codeSize} + info.imageSize, 7);
    }
    List((line << "  " << name).s);
  });
}

void conflicts() {
  List("");
  List("State and Conflicts of Modules:");
  int lines = 0;
  bool anyLoaded = false;
  bool tooMany = false;
  auto write = [&](Chars text) {
    if (lines >= kConflictLines) {
      tooMany = true;
      return;
    }
    List(text);
    ++lines;
  };
  Modules::ForEach(CurrentLibrary(), [&](Modules::Ref m) {
    if (tooMany || Modules::Info(m).state != Modules::ModuleState::Loaded) return;
    anyLoaded = true;
    char name[17];
    Modules::Name(m, name);
    write((Line("  Module loaded but not linked:   ") << name).s);
    Modules::ForEachImport(m, [&](Modules::Ref, Modules::Ref imported, Modules::LinkStatus s) {
      if (s == Modules::LinkStatus::Resolved) return;
      char n[17];
      Modules::Name(imported, n);
      write((Line(s == Modules::LinkStatus::NotLoaded ? "  Imported module not loaded:    "
                                                      : "  Imported module key conflict:  ")
             << n)
                .s);
    });
  });
  if (tooMany)
    List("   too many conflicts!");
  else if (!anyLoaded)
    List("   no conflicts.");
}

void mem() {
  std::int64_t allocated = 0, allocated2 = 0, available = 0;
  Buffer::MemoryInfo(allocated, allocated2, available);
  List("");
  List("kbytes:  allocated    free");
  Line line("  Buffer ");
  line.Number(std::max<std::int64_t>(0, allocated) / 1024, 8);
  line.Number(std::max<std::int64_t>(0, available) / 1024, 8);
  List(line.s);
}

void cd(Chars dir) {
  if (FileSystem::ChangeDirectory(dir)) return;
  const std::int32_t result = FileSystem::Result();
  if (result == FileSystem::kDirectoryNotFound) {
    Error("directory not found: ", dir);
    return;
  }
  char reason[kLineHigh + 1];
  FileSystem::ErrorText(result, reason);
  Error("cd failed: ", reason);
}

void quit() { Startup::CallQuitProcedure(); }

} // namespace c

namespace Shell {

namespace {

using base::kPathHigh;

// The buffers the shell and the workstation's windows hold for as long as they run;
// the store refuses to delete, rename or empty them, whoever asks.
bool HeldByShell(Buffer::Ref b) {
  return b == SymbolDirectory() || b == ObjectDirectory() || b == SystemLibrary() ||
         b == CurrentLibrary() || b == Buffer::Current() || b == CommandText() || b == ListText() ||
         b == ScratchHeap() || b == TerminalHeap() || b == GraphicsHeap() ||
         b == Notebook::LogBuffer() || b == TextIO::LogBuffer() ||
         (Vm::Running() && b == Buffer::Find(Heap::kPath));
}

bool LeafIs(Buffer::Ref b, const char* name) {
  char leaf[kPathHigh + 1];
  Buffer::LeafName(b, leaf);
  return Strings::Equal(leaf, base::CharsOf(name));
}

// The buffers of tools that come and go: their owners release them themselves, the
// user's commands may not.
bool HeldByTools(Buffer::Ref b) {
  for (const Dialog::DialogRecord* d = Dialog::Known(); d != nullptr; d = d->next)
    if (b == d->itemBuffer) return true;
  return (Help::Loaded() && LeafIs(b, "HelpFileBuffer")) ||
         (Macros::Ready() && LeafIs(b, "MacrosHeap"));
}

// What the store deletes: not the root, not a buffer the shell holds, and of the
// directories neither the current one nor one with entries.
bool Deletable(Buffer::Ref b) {
  if (b == Buffer::Root() || HeldByShell(b)) return false;
  return Buffer::KindOf(b) != Buffer::BufferKind::Directory ||
         (b != Buffer::Current() && Buffer::EntryCount(b) == 0);
}

// ---- c for compiled code ----

// Native procedures taking nothing, one text or two texts.
template <void (*F)()> void Plain(Native::Call&) { F(); }
template <void (*F)(Chars)> void OneText(Native::Call& call) { F(call.Text(0)); }
template <void (*F)(Chars, Chars)> void TwoTexts(Native::Call& call) {
  F(call.Text(0), call.Text(2));
}

Native::ModuleSpec CommandModule() {
  return Native::ModuleSpec{
      "c",
      Modules::Key{{0x6301, 0x0001, 0x0001}},
      Definitions::Text("c"),
      {
          {"ldir", OneText<c::ldir>, "a"},
          {"list", Plain<c::list>, ""},
          {"cdir", OneText<c::cdir>, "a"},
          {"sdir", OneText<c::sdir>, "a"},
          {"del", OneText<c::del>, "a"},
          {"rename", TwoTexts<c::rename>, "aa"},
          {"store", OneText<c::store>, "a"},
          {"tload", OneText<c::tload>, "a"},
          {"bload", OneText<c::bload>, "a"},
          {"comp", OneText<c::comp>, "a"},
          {"execute", OneText<c::execute>, "a"},
          {"ssymbol", OneText<c::ssymbol>, "a"},
          {"sobject", OneText<c::sobject>, "a"},
          {"slib", OneText<c::slib>, "a"},
          {"libload", OneText<c::libload>, "a"},
          {"libuload", OneText<c::libuload>, "a"},
          {"libinfo", OneText<c::libinfo>, "a"},
          {"mlist", Plain<c::mlist>, ""},
          {"conflicts", Plain<c::conflicts>, ""},
          {"mem", Plain<c::mem>, ""},
          {"cd", OneText<c::cd>, "a"},
          {"quit", Plain<c::quit>, ""},
          {"args", OneText<c::args>, "a"},
      },
  };
}

} // namespace

bool InUse(Buffer::Ref b) { return Buffer::InUse(b) || HeldByTools(b); }

bool Delete(Buffer::Ref b) {
  if (b == nullptr) return true;
  if (b == CommandText()) {
    BuildCommandText();
    return true;
  }
  if (b == ListText()) {
    ClearList();
    return true;
  }
  if (Shell::InUse(b) || !Deletable(b)) return false;
  EditWindows::CloseBufferWindow(b);
  if (EditWindows::CommandWindowBuffer() == b || Editor::EditedText() == b)
    EditWindows::ShowBuffer(CommandText(), EditWindows::kRefresh);
  Editor::TextMoved(b, nullptr);
  Breakpoints::TextMoved(b, nullptr);
  char leaf[kPathHigh + 1];
  Buffer::LeafName(b, leaf);
  EditWindows::RemoveFromWindowsMenu(leaf);
  Buffer::Delete(b);
  return b == nullptr;
}

Buffer::Ref Rename(Buffer::Ref b, Chars newPath) {
  if (b == nullptr || b == CommandText() || b == ListText()) return b;
  if (HeldByTools(b)) return nullptr;
  char oldName[kPathHigh + 1];
  Buffer::FullName(b, oldName);
  if (Strings::Equal(oldName, newPath)) return b;
  char oldLeaf[kPathHigh + 1];
  Buffer::LeafName(b, oldLeaf);
  const bool hadWindow = EditWindows::HasOwnWindow(b);
  if (Editor::EditedText() == b) EditWindows::SaveWindowState();
  const Buffer::Ref moved = Buffer::Rename(b, newPath);
  if (moved == nullptr) return nullptr;
  Editor::TextMoved(b, moved);
  Breakpoints::TextMoved(b, moved);
  EditWindows::MovedBuffer(b, moved);
  char newLeaf[kPathHigh + 1];
  Buffer::LeafName(moved, newLeaf);
  if (!Strings::Equal(oldLeaf, newLeaf)) {
    EditWindows::RemoveFromWindowsMenu(oldLeaf);
    if (hadWindow) EditWindows::AddToWindowsMenu(newLeaf);
  }
  if (Buffer::KindOf(moved) == Buffer::BufferKind::Text) Lines::SetModified(moved, true);
  return moved;
}

void StartCommands() {
  // From here on Quit knows the modified texts and stores them.
  FileCommands::InstallQuitProcs();
  RegisterProgramModules();
  Compile::Reset();
  Editor::Init();
  Compile::InstallFunctionKey();
}

void RegisterProgramModules() {
  Buffer::AddInUse(HeldByShell);
  Native::Add(CommandModule());
  ProgramModules::AddAll();
  static_cast<void>(Native::RegisterAll(SystemLibrary()));
}

} // namespace Shell
