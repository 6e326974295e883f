#include "store/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/Charset.h"
#include "base/Strings.h"
#include "store/Lines.h"

namespace FileSystem {

namespace {

using base::kPathHigh;
constexpr char kSeparator = '/';
constexpr char kLoadImage[] = "/Shell/Load.tmp";
constexpr char kStoreImage[] = "/Shell/Store.tmp";
// The most bytes of a file that a load or store image holds at a time.
constexpr std::int64_t kImageChunk = 1 << 20;

struct State {
  bool initialised = false;
  std::string currentDirectory; // always ends in "/", at most kPathHigh characters
  std::string startDirectory;
  std::int32_t lastResult = kNoError;
  char fileType[4] = {'?', '?', '?', '?'};
  std::int32_t lineEndMode = 2;
  bool loadViaImage = true;
  bool softLineEnds = false;
  std::int32_t editorLineWidth = 255;
  BusyCursorProc busyCursor = nullptr;
  bool decoding = true;                     // loads decode UTF-8; off: a byte a character
  LoadNotice loadNotice = LoadNotice::None; // of the latest text load
  unsigned temporarySerial = 0;             // names the temporary files of replacements
  std::set<std::string> swept;              // directories whose leftover temporary files are gone
  timespec processStart{};                  // when this process started, read at the first sweep
};

State state;

bool Fail(std::int32_t code) {
  state.lastResult = code;
  return false;
}

bool Succeed() {
  state.lastResult = kNoError;
  return true;
}

bool IsNameSeparator(char c) { return c == '/' || c == ':' || c == '\\'; }

std::string DirectoryPart(const std::string& path) {
  const auto last = path.rfind(kSeparator);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The code for a failed platform call on path. A missing file is told apart from a
// missing directory on the way to it.
std::int32_t FromErrno(int error, const std::string& path) {
  switch (error) {
  case ENOENT: {
    const std::string dir = DirectoryPart(path);
    return dir.empty() || Exists(dir) ? kFileNotFound : kDirectoryNotFound;
  }
  case ENOTDIR:
    return kDirectoryNotFound;
  case EMFILE:
  case ENFILE:
    return kTooManyFiles;
  case EACCES:
  case EPERM:
  case EISDIR:
    return kAccessDenied;
  case EROFS:
    return kWriteProtected;
  case ENOSPC:
  case EDQUOT:
    return kDiskFull;
  case ENAMETOOLONG:
  case EINVAL:
    return kBadName;
  case EEXIST:
    return kDuplicateName;
  default:
    return -error;
  }
}

bool FailErrno(const std::string& path) { return Fail(FromErrno(errno, path)); }

// The process's working directory ending in "/", as the workstation names it; "" when
// it does not fit a path.
std::string WorkingDirectory() {
  char cwd[kPathHigh + 1];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return std::string();
  std::string dir = Charset::FromHostName(cwd);
  if (dir.back() != kSeparator) dir.push_back(kSeparator);
  return dir.size() <= kPathHigh ? dir : std::string();
}

// Removes the last levels directory levels of dir (which ends in "/"); false when
// that climbs above the root.
bool RemoveLevels(std::string& dir, std::size_t levels) {
  for (std::size_t i = 0; i < levels; ++i) {
    if (dir.size() <= 1) return false;
    dir.pop_back();
    dir.erase(dir.rfind(kSeparator) + 1);
  }
  return true;
}

// The workstation's separators turned into the host's, with a leading "::" as "../".
std::string ConvertSeparators(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 1);
  if (name.starts_with("::")) {
    out = "../";
    name.remove_prefix(2);
  }
  for (char c : name) out += IsNameSeparator(c) ? kSeparator : c;
  return out;
}

// The number of dots before the first separator, when the name starts with dots
// followed by a separator; otherwise 0.
std::size_t DotPrefix(const std::string& name) {
  const std::size_t dots = name.find_first_not_of('.');
  return dots != std::string::npos && dots > 0 && name[dots] == kSeparator ? dots : 0;
}

std::string WithoutFinalSeparator(const std::string& dir) {
  return dir.size() > 1 ? dir.substr(0, dir.size() - 1) : std::string();
}

// The path of a name, as the workstation names it (rules in the header).
std::string PathOf(std::string_view name) {
  if (name.empty()) return state.currentDirectory;
  if (name[0] == kSeparator) return std::string(name);
  const std::string converted = ConvertSeparators(name);
  if (const std::size_t dots = DotPrefix(converted)) {
    std::string dir = state.currentDirectory;
    if (!RemoveLevels(dir, dots - 1)) return converted;
    return dir + converted.substr(dots + 1);
  }
  if (converted.starts_with("//")) return converted;
  if (converted[0] == kSeparator) return WithoutFinalSeparator(state.currentDirectory) + converted;
  return state.currentDirectory + converted;
}

std::string PathOf(Chars name) { return PathOf(std::string_view(name.p, Strings::Length(name))); }

// The host's bytes of the path of a name: what the system calls get.
std::string HostPath(Chars name) { return Charset::HostName(PathOf(name)); }

// The directory a loaded buffer remembers: up to and including the path's last
// separator. A directory too long for filePath is not remembered at all, since a cut
// path would name another directory.
void SetLoadedFilePath(Buffer::Ref b, const std::string& path) {
  std::string dir = Charset::FromHostName(DirectoryPart(path));
  if (dir.empty()) dir = state.currentDirectory;
  if (dir.size() > kPathHigh) dir.clear();
  Buffer::SetFilePath(b, Chars(dir));
}

// The bytes of a line end mode (0 CR, 1 CR LF, 2 LF, any other value CR).
std::string_view ModeEnd(std::int32_t mode) {
  switch (mode) {
  case 1:
    return "\r\n";
  case 2:
    return "\n";
  default:
    return "\r";
  }
}

std::string_view StoreLineEnd() { return ModeEnd(state.lineEndMode); }

// Writes all of iov, retrying short writes; written counts the bytes that went out.
bool WriteAll(int fd, iovec* iov, int count, std::size_t& written) {
  while (count > 0 && iov->iov_len == 0) ++iov, --count;
  while (count > 0) {
    const ssize_t r = ::writev(fd, iov, std::min(count, IOV_MAX));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) {
      errno = ENOSPC;
      return false;
    }
    written += std::size_t(r);
    std::size_t left = std::size_t(r);
    while (count > 0 && left >= iov->iov_len) left -= iov->iov_len, ++iov, --count;
    if (count > 0) {
      iov->iov_base = static_cast<char*>(iov->iov_base) + left;
      iov->iov_len -= left;
    }
  }
  return true;
}

// Reads up to size bytes, retrying short reads until end of file.
ssize_t ReadAll(int fd, char* p, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t r = ::read(fd, p + got, size - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += std::size_t(r);
  }
  return ssize_t(got);
}

bool CheckOpen(const File& f) { return f.open || Fail(kFileNotOpen); }

// Restores the file type when a store ends, however it ends.
struct TypeGuard {
  char saved[4];
  explicit TypeGuard(const char (&type)[5]) {
    std::memcpy(saved, state.fileType, 4);
    std::memcpy(state.fileType, type, 4);
  }
  ~TypeGuard() { std::memcpy(state.fileType, saved, 4); }
};

struct BusyGuard {
  BusyGuard() {
    if (state.busyCursor) state.busyCursor(true);
  }
  ~BusyGuard() {
    if (state.busyCursor) state.busyCursor(false);
  }
};

bool OpenPath(const std::string& path, std::int32_t mode, File& f) {
  if (f.open) return Fail(kUserError);
  const bool read = mode & kRead, write = mode & kWrite;
  if (mode < 0 || mode > 63 || (!read && !write) || ((mode & (kCreate | kTruncate)) && !write))
    return Fail(kUserError);
  int flags = (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY) | O_CLOEXEC | O_NOCTTY;
  if (mode & kCreate) flags |= O_CREAT;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return FailErrno(path);
  auto refuse = [fd](std::int32_t code) {
    ::close(fd);
    return Fail(code);
  };
  struct stat st;
  if (::fstat(fd, &st) != 0) return refuse(FromErrno(errno, path));
  if (S_ISDIR(st.st_mode)) return refuse(kAccessDenied);
  const bool exclusive = write && !(mode & kShared);
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK)
    return refuse(exclusive ? kFileLocked : kAlreadyOpen);
  // Emptied only once the lock is held, so a file open elsewhere keeps its contents.
  if ((mode & (kCreate | kTruncate)) && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0)
    return refuse(FromErrno(errno, path));
  if ((mode & kAtEnd) && ::lseek(fd, 0, SEEK_END) < 0 && S_ISREG(st.st_mode))
    return refuse(FromErrno(errno, path));
  f = File{fd, mode, true};
  return Succeed();
}

// A file being replaced: the new contents go to a temporary file beside the target,
// which is renamed over it only when everything was written. While that runs the old
// file is held locked, so that no one else opens it for writing meanwhile.
struct Replacement {
  std::string target;
  std::string temporary;
  int oldLock = -1;

  ~Replacement() {
    if (oldLock >= 0) ::close(oldLock);
  }
};

// ---- temporary files of replacements
//
// A replacement writes ".velmarin-PID-SERIAL.tmp" beside its target and holds a lock on
// it while it writes. A store that is killed midway leaves that file behind, so the
// first replacement of a run in a directory removes the leftovers of earlier runs
// there. A file goes only when no one can be writing it: its name is exactly one that
// a replacement writes (no other file is ever touched), it is a regular file last
// changed before this process started, no process PID exists, and no one holds its
// lock. A writer that still runs keeps its file by any one of these: its process
// exists, it wrote since this process started, or it holds the lock (which also covers
// writers in another PID namespace that share the directory). A PID the system has
// given to a new process only keeps a leftover until a later run.

// The name of a temporary file of a replacement by process pid.
std::string TemporaryName(long pid, unsigned serial) {
  char leaf[64];
  std::snprintf(leaf, sizeof leaf, ".velmarin-%ld-%u.tmp", pid, serial);
  return leaf;
}

// The writer's PID in the name of a temporary file, or 0 for a name of another form.
pid_t TemporaryWriter(std::string_view name) {
  constexpr std::string_view prefix = ".velmarin-";
  if (!name.starts_with(prefix)) return 0;
  const char* const end = name.data() + name.size();
  long pid = 0;
  unsigned serial = 0;
  const auto [dash, pidError] = std::from_chars(name.data() + prefix.size(), end, pid);
  if (pidError != std::errc() || dash == end || *dash != '-') return 0;
  const auto [tail, serialError] = std::from_chars(dash + 1, end, serial);
  // Only the very name a replacement writes: no other spelling of the numbers.
  if (serialError != std::errc() || pid <= 0 || pid > INT_MAX || TemporaryName(pid, serial) != name)
    return 0;
  return pid_t(pid);
}

// When this process started, on the wall clock: its start in clock ticks after boot
// (field 22 of /proc/self/stat) set against the boot clock. {0, 0} when the system
// does not tell, which makes no file old enough to be a leftover.
timespec ProcessStart() {
  std::FILE* f = std::fopen("/proc/self/stat", "r");
  if (f == nullptr) return {};
  char line[1024];
  const std::size_t n = std::fread(line, 1, sizeof line - 1, f);
  std::fclose(f);
  line[n] = 0;
  // The command name may hold anything; the fields after it are separated by spaces.
  const char* p = std::strrchr(line, ')');
  for (int field = 2; field < 22 && p != nullptr; ++field) p = std::strchr(p + 1, ' ');
  const long hz = ::sysconf(_SC_CLK_TCK);
  timespec now{}, boot{};
  if (p == nullptr || hz <= 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0 ||
      ::clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
    return {};
  const unsigned long long ticks = std::strtoull(p, nullptr, 10);
  constexpr std::int64_t kNano = 1'000'000'000;
  const std::int64_t age = (std::int64_t(boot.tv_sec) * kNano + boot.tv_nsec) -
                           std::int64_t(ticks) * kNano / std::int64_t(hz);
  const std::int64_t start = std::int64_t(now.tv_sec) * kNano + now.tv_nsec - age;
  return start > 0 ? timespec{time_t(start / kNano), long(start % kNano)} : timespec{};
}

bool Before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Removes the temporary files that earlier runs left in dir (rules above), once per
// directory and run.
void SweepLeftovers(const std::string& dir) {
  if (state.swept.empty()) state.processStart = ProcessStart();
  if (!state.swept.insert(dir).second) return;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return;
  const int dirFd = ::dirfd(d);
  while (const dirent* e = ::readdir(d)) {
    const pid_t writer = TemporaryWriter(e->d_name);
    if (writer == 0 || ::kill(writer, 0) == 0 || errno != ESRCH) continue;
    const int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    // The name must still denote the file that was checked and locked when it goes.
    struct stat st, named;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && Before(st.st_mtim, state.processStart) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == st.st_dev && named.st_ino == st.st_ino)
      ::unlinkat(dirFd, e->d_name, 0);
    ::close(fd);
  }
  ::closedir(d);
}

// Opens the temporary file of a replacement of path as f.
bool BeginReplace(const std::string& path, Replacement& r, File& f) {
  r.target = path;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Replace the file the link points at, not the link.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      r.target = real;
      std::free(real);
    }
  }
  const bool hadOld = ::stat(r.target.c_str(), &st) == 0;
  if (hadOld) {
    if (S_ISDIR(st.st_mode)) return Fail(kAccessDenied);
    // Only regular files are replaced; devices and pipes are written in place.
    if (!S_ISREG(st.st_mode)) return OpenPath(r.target, kWrite + kCreate + kTruncate, f);
    if (::access(r.target.c_str(), W_OK) != 0) return FailErrno(r.target);
    r.oldLock = ::open(r.target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (r.oldLock >= 0 && ::flock(r.oldLock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
      return Fail(kFileLocked);
  }
  const std::string dir = DirectoryPart(r.target);
  SweepLeftovers(dir);
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    r.temporary = dir + TemporaryName(long(::getpid()), ++state.temporarySerial);
    fd = ::open(r.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) {
      r.temporary.clear();
      return FailErrno(r.target);
    }
  }
  if (fd < 0) {
    r.temporary.clear();
    return Fail(kDirectoryFull);
  }
  // Tells a sweep of another process that the file is being written (see above).
  ::flock(fd, LOCK_EX | LOCK_NB);
  if (hadOld) {
    // Keep the owner and the permissions of the file being replaced where allowed.
    [[maybe_unused]] const int owner = ::fchown(fd, st.st_uid, st.st_gid);
    ::fchmod(fd, st.st_mode & 07777);
  }
  f = File{fd, kWrite + kCreate + kTruncate, true};
  return Succeed();
}

// Flushes what was written to fd to the disk. A file that the system cannot flush
// (EINVAL: its file system has no such thing) has nothing to flush.
bool Sync(int fd) {
  while (::fsync(fd) != 0) {
    if (errno == EINVAL) return true;
    if (errno != EINTR) return false;
  }
  return true;
}

// Flushes the directory dir, so that a rename in it lasts. A directory this process
// may not read cannot be opened to be flushed; its stores go on without.
std::int32_t SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return kNoError;
  const bool ok = Sync(fd);
  const int error = errno;
  ::close(fd);
  return ok ? kNoError : FromErrno(error, dir);
}

// Finishes a replacement. When ok, the temporary file is flushed to the disk, renamed
// over the target, and the directory flushed, so that after a crash the target holds
// either its old contents or all of the new ones; when anything before the rename
// fails, the temporary file is removed and the target left alone. Returns the result;
// a failed flush of the directory is reported although the target is replaced.
std::int32_t EndReplace(Replacement& r, File& f, bool ok) {
  std::int32_t result = ok ? kNoError : state.lastResult;
  if (result == kNoError && f.open && !r.temporary.empty() && !Sync(f.handle))
    result = FromErrno(errno, r.target);
  if (f.open && !Close(f) && result == kNoError) result = state.lastResult;
  if (r.temporary.empty()) return state.lastResult = result;
  if (result == kNoError && ::rename(r.temporary.c_str(), r.target.c_str()) != 0)
    result = FromErrno(errno, r.target);
  if (result != kNoError) {
    ::unlink(r.temporary.c_str());
    return state.lastResult = result;
  }
  return state.lastResult = SyncDirectory(DirectoryPart(r.target));
}

// Replaces the file at path by size bytes of data.
std::int32_t WriteReplacing(const std::string& path, const char* data, std::size_t size) {
  Replacement r;
  File f;
  if (!BeginReplace(path, r, f)) return EndReplace(r, f, false);
  iovec iov{const_cast<char*>(data), size};
  std::size_t written = 0;
  const bool ok = WriteAll(f.handle, &iov, 1, written) || FailErrno(r.target);
  return EndReplace(r, f, ok);
}

std::int32_t LoadBlockPath(const std::string& path, Buffer::Ref block) {
  Buffer::BufferKind kind = Buffer::BufferKind::Heap;
  void* data = nullptr;
  std::int32_t dataSize = 0;
  Buffer::GetInfo(block, kind, data, dataSize);
  if (block == nullptr || kind != Buffer::BufferKind::Block || data != nullptr)
    return state.lastResult = kUserError;
  File f;
  if (!OpenPath(path, kRead, f)) return state.lastResult;
  std::int64_t size = 0;
  std::int32_t result = Size(f, size) ? kNoError : state.lastResult;
  if (result == kNoError && size > INT32_MAX) result = kUserError;
  if (result == kNoError && size > 0) {
    char* p = static_cast<char*>(Buffer::AllocateData(block, std::int32_t(size)));
    std::int32_t count = std::int32_t(size);
    if (p == nullptr)
      result = kUserError;
    else if (!Read(f, count, {p, std::size_t(size)}))
      result = state.lastResult;
    else if (count != size)
      result = kEndOfFile; // the file shrank while it was read
  }
  if (!Close(f) && result == kNoError) result = state.lastResult;
  if (result != kNoError) return state.lastResult = result;
  SetLoadedFilePath(block, path);
  state.lastResult = kNoError;
  return std::int32_t(size);
}

// What a load makes of a file's bytes: characters decoded from UTF-8 (Coding::Utf8),
// one character a byte, or the bytes of UTF-8 kept as they are.
using Charset::Coding;
using Lines::LineEnd;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The line ends of a file being loaded: the first one is the text's line end, and a
// line that ends otherwise says how.
struct FileLineEnds {
  std::int32_t textEnd = -1; // the line end mode of the text's line end; -1: none yet

  // The LineEnd of a line that ended with the line end of mode (0 CR, 1 CR LF, 2 LF).
  LineEnd For(std::int32_t mode) {
    if (textEnd < 0) textEnd = mode;
    return mode == textEnd ? LineEnd::Text : LineEnd(std::int32_t(LineEnd::CR) + mode);
  }
};

// Splits a file's bytes into lines, given in pieces of any size (a CR at the end of one
// piece and an LF at the start of the next are one line end). Each line remembers how
// it ended, relative to the text's line end (the first one in the file), so that a
// store writes the file back as it was. Decoding stops at the first byte that is no
// UTF-8 or the first character outside the set (Undecodable); the load then splits the
// file again in another coding. A UTF-8 byte order mark at the start is left out of the
// text and kept in its form.
class Splitter {
public:
  Splitter(Buffer::Ref text, Coding coding)
      : text(text), coding(coding), soft(state.softLineEnds),
        limit(std::size_t(soft ? std::min(kLoadLineLimit, state.editorLineWidth) : kLoadLineLimit)),
        bomDone(coding == Coding::Bytes) {}

  // False when a line could not be appended, or a decode found what it cannot decode.
  bool Feed(std::string_view piece) {
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (!bomDone && p < end) {
      if (*p != kByteOrderMark[bomMatched]) {
        bomDone = true;
        const std::size_t matched = std::exchange(bomMatched, 0);
        if (!Split(kByteOrderMark.data(), kByteOrderMark.data() + matched)) return false;
        break;
      }
      ++p;
      bomDone = ++bomMatched == kByteOrderMark.size();
    }
    return Split(p, end);
  }

  // Appends the last line when it is not empty; false as Feed.
  bool Finish() {
    if (!bomDone) {
      // The file is shorter than a byte order mark and began like one.
      bomDone = true;
      if (!Split(kByteOrderMark.data(), kByteOrderMark.data() + bomMatched)) return false;
      bomMatched = 0;
    }
    if (afterCR) {
      afterCR = false;
      if (!EmitEnded(0)) return false;
    }
    if (reader.Pending()) return Stop();
    return n == 0 || Emit(n, LineEnd::None);
  }

  bool Undecodable() const { return undecodable; }
  std::int64_t ZeroBytes() const { return zeroBytes; }
  Lines::Form Form() const {
    return Lines::Form{coding, std::int8_t(ends.textEnd), bomMatched == kByteOrderMark.size(),
                       soft};
  }

private:
  bool Split(const char* p, const char* const end) {
    if (afterCR && p < end) {
      afterCR = false;
      const bool lf = *p == '\n';
      if (lf) ++p;
      if (!EmitEnded(lf ? 1 : 0)) return false;
    }
    if (reader.Pending() && p < end && !Decode(p, end)) return false;
    const bool decoding = coding == Coding::Utf8;
    while (p < end) {
      // A run of ordinary characters, as far as the line has room.
      const char* const stop = p + std::min(std::size_t(end - p), limit - n);
      const char* q = decoding ? OrdinaryRun<true>(p, stop) : OrdinaryRun<false>(p, stop);
      if (n == 0 && !soft && q + 1 < end && (*q == '\n' || *q == '\r')) {
        // The whole line lies in the piece: it goes to the text from there.
        const std::int32_t mode = *q == '\n' ? 2 : q[1] == '\n' ? 1 : 0;
        if (!Lines::Append(text, p, std::size_t(q - p), ends.For(mode))) return false;
        p = q + (mode == 1 ? 2 : 1);
        continue;
      }
      std::memcpy(line + n, p, std::size_t(q - p));
      n += std::size_t(q - p);
      p = q;
      if (p == end) break;
      const char c = *p;
      if (c == '\n' || c == '\r') {
        if (c == '\r' && p + 1 == end) {
          afterCR = true; // its LF may start the next piece
          return true;
        }
        const std::int32_t mode = c == '\n' ? 2 : p[1] == '\n' ? 1 : 0;
        p += mode == 1 ? 2 : 1;
        if (!EmitEnded(mode)) return false;
      } else if (c == 0) {
        ++p;
        ++zeroBytes;
      } else if (n == limit) {
        if (!Break(c)) return false;
      } else if (!Decode(p, end)) {
        return false;
      }
    }
    return true;
  }

  // Decodes the character at p (or completes one that the last piece cut).
  bool Decode(const char*& p, const char* end) {
    // Latin-1's letters and signs, the most frequent, without the reader.
    const unsigned char lead = static_cast<unsigned char>(*p);
    if ((lead == 0xC3 || lead == 0xC2) && !reader.Pending() && end - p >= 2) {
      const unsigned char next = static_cast<unsigned char>(p[1]);
      if ((next & 0xC0) == 0x80 && (lead == 0xC3 || next >= 0xA0)) {
        line[n++] = char(((lead & 0x1F) << 6) | (next & 0x3F));
        p += 2;
        return true;
      }
    }
    char ch;
    switch (reader.Read(p, end, ch)) {
    case Charset::Utf8Reader::Step::Character:
      line[n++] = ch;
      return true;
    case Charset::Utf8Reader::Step::Partial:
      return true;
    default:
      return Stop();
    }
  }

  bool Stop() {
    undecodable = true;
    return false;
  }

  // The first byte from p on that is 0, LF or CR (or from 128 up while decoding), or
  // stop; eight bytes at a time.
  template <bool decoding> static const char* OrdinaryRun(const char* p, const char* stop) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    auto hasZero = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    constexpr std::uint64_t high = decoding ? highs : 0;
    while (stop - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if ((w & high) | hasZero(w) | hasZero(w ^ (ones * '\n')) | hasZero(w ^ (ones * '\r'))) break;
      p += 8;
    }
    while (p < stop && *p != 0 && *p != '\n' && *p != '\r' && !(decoding && (*p & 0x80))) ++p;
    return p;
  }

  bool EmitEnded(std::int32_t mode) {
    if (soft) line[n++] = kSoftLineEnd;
    const std::size_t length = n;
    n = 0;
    return Emit(length, ends.For(mode));
  }

  // The line is full and next follows: break it after the last space or "\" from the
  // third character on, else where it is (in kept UTF-8, before the character that
  // next would cut); the rest starts the next line.
  bool Break(char next) {
    std::size_t keep = n;
    for (std::size_t i = n; i-- > 2;) {
      if (line[i] == ' ' || line[i] == '\\') {
        keep = i + 1;
        break;
      }
    }
    if (keep == n && coding == Coding::Utf8Bytes && Charset::IsContinuation(next)) {
      std::size_t lead = n;
      while (lead > 0 && Charset::IsContinuation(line[lead - 1])) --lead;
      if (lead > 1) keep = lead - 1;
    }
    if (!Emit(keep, LineEnd::None)) return false;
    std::memmove(line, line + keep, n - keep);
    n -= keep;
    return true;
  }

  bool Emit(std::size_t length, LineEnd end) { return Lines::Append(text, line, length, end); }

  Buffer::Ref text;
  Coding coding;
  bool soft;
  std::size_t limit;
  char line[kLoadLineLimit + 2]; // room for the soft line end after a full line
  std::size_t n = 0;
  bool afterCR = false;
  FileLineEnds ends;
  bool bomDone;
  std::size_t bomMatched = 0;
  Charset::Utf8Reader reader;
  bool undecodable = false;
  std::int64_t zeroBytes = 0;
};

// Reads a file from the offset on in pieces of at most chunk bytes into data, handing
// each to take; stops when take answers false. The file's result (kNoError at its end).
template <typename Take>
std::int32_t ReadPieces(File& f, std::int64_t from, char* data, std::int32_t chunk, Take take) {
  if (!SetPosition(f, 0, from)) return state.lastResult;
  for (std::int32_t count = chunk; chunk > 0; count = chunk) {
    if (!Read(f, count, {data, std::size_t(chunk)}))
      return state.lastResult == kEndOfFile ? kNoError : state.lastResult;
    if (!take(std::string_view(data, std::size_t(count)))) break;
  }
  return kNoError;
}

bool StartsWithByteOrderMark(File& f) {
  char head[3];
  std::int32_t count = 3;
  return SetPosition(f, 0, 0) && Read(f, count, head) && count == 3 &&
         std::string_view(head, 3) == kByteOrderMark;
}

// What a whole file is as UTF-8, a byte order mark at its start left out.
Charset::Utf8Kind ClassifyFile(File& f, char* data, std::int32_t chunk, std::int32_t& result) {
  using Charset::Utf8Kind;
  using Step = Charset::Utf8Reader::Step;
  Charset::Utf8Reader reader;
  Utf8Kind kind = Utf8Kind::Ascii;
  const std::int64_t from = StartsWithByteOrderMark(f) ? std::int64_t(kByteOrderMark.size()) : 0;
  result = ReadPieces(f, from, data, chunk, [&](std::string_view piece) {
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (p < end) {
      if (!(*p & 0x80) && !reader.Pending()) {
        ++p;
        continue;
      }
      char ch;
      const Step step = reader.Read(p, end, ch);
      if (step == Step::Invalid) {
        kind = Utf8Kind::Invalid;
        return false;
      }
      if (step != Step::Partial)
        kind = std::max(kind, step == Step::Beyond ? Utf8Kind::BeyondSet : Utf8Kind::InSet);
    }
    return true;
  });
  return reader.Pending() ? Utf8Kind::Invalid : kind;
}

// Splits the file (read through data) into text in coding; false when the split
// stopped (memory, or what a decode cannot decode).
std::int32_t SplitFile(File& f, char* data, std::int32_t chunk, Splitter& splitter) {
  bool ok = true;
  std::int32_t result = ReadPieces(
      f, 0, data, chunk, [&](std::string_view piece) { return ok = splitter.Feed(piece); });
  if (result == kNoError && ok) ok = splitter.Finish();
  return result == kNoError && !ok ? kUserError : result;
}

// Removes the lines a split made before it stopped.
void Restart(Buffer::Ref text) { Lines::Delete(text, 1, Lines::Count(text)); }

// What the latest text load found worth telling the user.
void NoteLoad(const Splitter& splitter) {
  state.loadNotice = splitter.Form().coding == Coding::Utf8Bytes ? LoadNotice::KeptUtf8
                     : splitter.ZeroBytes() > 0                  ? LoadNotice::ZeroBytes
                                                                 : LoadNotice::None;
}

// Loads a text through an image in "/Shell/Load.tmp" that holds at most kImageChunk
// bytes of the file at a time, each piece split into lines while it is fresh. The file
// is decoded as UTF-8 while it can be; otherwise it is split again, as kept UTF-8 or a
// byte a character. False when no image buffer can be had (the text is then loaded
// line by line); result is the load's result otherwise. An empty file leaves filePath
// and modified alone.
bool LoadTextViaImage(const std::string& path, Buffer::Ref text, std::int32_t& result) {
  if (Buffer::Find("/Shell/") == nullptr || Buffer::Find(kLoadImage) == text) return false;
  File f;
  std::int64_t size = 0;
  if (!OpenPath(path, kRead, f) || !Size(f, size)) {
    result = state.lastResult;
    if (f.open) Close(f);
    return true;
  }
  const std::int32_t chunk = std::int32_t(std::min<std::int64_t>(size, kImageChunk));
  Buffer::Ref image = chunk > 0 ? Buffer::Create(kLoadImage, Buffer::BufferKind::Block) : nullptr;
  char* data = image != nullptr ? static_cast<char*>(Buffer::AllocateData(image, chunk)) : nullptr;
  if (chunk > 0 && data == nullptr) {
    Buffer::Delete(image);
    Close(f);
    return false;
  }
  Splitter decoder(text, state.decoding ? Coding::Utf8 : Coding::Bytes);
  result = SplitFile(f, data, chunk, decoder);
  Splitter* used = &decoder;
  std::optional<Splitter> other;
  if (decoder.Undecodable()) {
    Restart(text);
    // Kept as UTF-8 when it is UTF-8 at all.
    const Coding coding = ClassifyFile(f, data, chunk, result) == Charset::Utf8Kind::Invalid
                              ? Coding::Bytes
                              : Coding::Utf8Bytes;
    if (result == kNoError) {
      other.emplace(text, coding);
      result = SplitFile(f, data, chunk, *other);
      used = &*other;
    }
  }
  if (!Close(f) && result == kNoError) result = state.lastResult;
  Buffer::Delete(image);
  if (!Lines::SetForm(text, used->Form()) && result == kNoError) result = kUserError;
  NoteLoad(*used);
  if (result == kNoError && size > 0) {
    SetLoadedFilePath(text, path);
    Lines::SetModified(text, false);
  }
  return true;
}

// Line by line: the whole file is read once to find its coding, then in lines of at
// most kLoadLineLimit bytes, each decoded on its own; a line cut there ends before a
// UTF-8 character it would cut. Each line remembers its line end, which ReadLine
// consumed: the bytes it moved past the line.
std::int32_t LoadTextByLines(const std::string& path, Buffer::Ref text) {
  File f;
  if (!OpenPath(path, kRead, f)) return state.lastResult;
  std::int32_t result = kNoError;
  char line[kLoadLineLimit + 1];
  Coding coding = Coding::Bytes;
  bool bom = false;
  if (state.decoding) {
    std::vector<char> data(std::size_t(1) << 16);
    const Charset::Utf8Kind kind = ClassifyFile(f, data.data(), std::int32_t(data.size()), result);
    coding = kind == Charset::Utf8Kind::Invalid     ? Coding::Bytes
             : kind == Charset::Utf8Kind::BeyondSet ? Coding::Utf8Bytes
                                                    : Coding::Utf8;
    bom = coding != Coding::Bytes && StartsWithByteOrderMark(f);
    if (result == kNoError && !SetPosition(f, 0, bom ? std::int64_t(kByteOrderMark.size()) : 0))
      result = state.lastResult;
  }
  std::string decoded;
  FileLineEnds ends;
  std::int64_t zeroBytes = 0;
  while (result == kNoError) {
    std::int32_t count = kLoadLineLimit;
    const off_t start = ::lseek(f.handle, 0, SEEK_CUR);
    if (!ReadLine(f, count, line)) {
      result = state.lastResult == kEndOfFile ? kNoError : state.lastResult;
      break;
    }
    LineEnd end = LineEnd::None;
    char ender = 0;
    switch (::lseek(f.handle, 0, SEEK_CUR) - start - count) {
    case 2:
      end = ends.For(1);
      break;
    case 1:
      if (::pread(f.handle, &ender, 1, start + count) == 1 && ender != 0)
        end = ends.For(ender == '\r' ? 0 : 2);
      else
        end = LineEnd::Text, ++zeroBytes;
      break;
    }
    std::string_view piece(line, std::size_t(count));
    if (coding != Coding::Bytes && count == kLoadLineLimit) {
      for (std::size_t back = 1; back <= 3; ++back) {
        const char b = piece[piece.size() - back];
        if (Charset::IsContinuation(b)) continue;
        if (Charset::SequenceLength(b) > back) {
          piece.remove_suffix(back);
          if (!SetPosition(f, 1, -std::int64_t(back))) result = state.lastResult;
        }
        break;
      }
    }
    if (coding == Coding::Utf8) {
      decoded.clear();
      Charset::FromUtf8(piece, decoded);
      piece = decoded;
    }
    if (result == kNoError && !Lines::Append(text, piece.data(), piece.size(), end))
      result = kUserError;
  }
  if (!Lines::SetForm(text, Lines::Form{coding, std::int8_t(ends.textEnd), bom}) &&
      result == kNoError)
    result = kUserError;
  state.loadNotice = coding == Coding::Utf8Bytes ? LoadNotice::KeptUtf8
                     : zeroBytes > 0             ? LoadNotice::ZeroBytes
                                                 : LoadNotice::None;
  if (result == kNoError) Lines::SetModified(text, false);
  if (!Close(f) && result == kNoError) result = state.lastResult;
  SetLoadedFilePath(text, path);
  return state.lastResult = result;
}

// True when the eight-byte words of s, and its rest, hold no byte from 128 up.
bool IsAscii(std::string_view s) {
  const char* p = s.data();
  const char* const end = p + s.size();
  std::uint64_t any = 0;
  for (; end - p >= 8; p += 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    any |= w;
  }
  for (; p < end; ++p) any |= std::uint8_t(*p);
  return (any & 0x8080808080808080ULL) == 0;
}

// The bytes a store writes for a line of a text of the coding: a Utf8 text's characters
// as UTF-8 (in scratch), any other text's as they are.
std::string_view Encoded(std::string_view line, Coding coding, std::string& scratch) {
  if (coding != Coding::Utf8 || IsAscii(line)) return line;
  scratch = Charset::ToUtf8(line);
  return scratch;
}

// The bytes that end a line of a text of the form.
std::string_view EndBytes(LineEnd end, const Lines::Form& form) {
  switch (end) {
  case LineEnd::None:
    return {};
  case LineEnd::CR:
  case LineEnd::CRLF:
  case LineEnd::LF:
    return ModeEnd(std::int32_t(end) - std::int32_t(LineEnd::CR));
  default:
    return form.lineEnd >= 0 ? ModeEnd(form.lineEnd) : StoreLineEnd();
  }
}

// Line by line every line is written as it is, with its line end.
std::int32_t StoreTextByLines(Buffer::Ref text, const std::string& path) {
  Replacement r;
  File f;
  bool ok = BeginReplace(path, r, f);
  const Lines::Form form = Lines::GetForm(text);
  if (ok && form.byteOrderMark) {
    std::int32_t count = std::int32_t(kByteOrderMark.size());
    ok = Write(f, count, kByteOrderMark);
  }
  const std::int32_t lines = Lines::Count(text);
  std::string scratch;
  for (std::int32_t i = 1; ok && i <= lines; ++i) {
    const std::string_view line = Encoded(Lines::View(text, i), form.coding, scratch);
    const std::string_view end = EndBytes(Lines::EndOf(text, i), form);
    std::int32_t count = std::int32_t(line.size()), endCount = std::int32_t(end.size());
    ok = Write(f, count, line) && Write(f, endCount, end);
  }
  const std::int32_t result = EndReplace(r, f, ok);
  if (result == kNoError) Lines::SetModified(text, false);
  return result;
}

// Stores a text through an image in "/Shell/Store.tmp": each line followed by its line
// end, with the soft line end rules. The image holds at most kImageChunk bytes at a
// time; each time it is full it is written and filled again, so that a large text
// needs no second copy of itself. False when no image buffer can be had (the text is
// then stored line by line); result is the store's result otherwise.
bool StoreTextViaImage(Buffer::Ref text, const std::string& path, std::int32_t& result) {
  if (Buffer::Find("/Shell/") == nullptr || Buffer::Find(kStoreImage) == text) return false;
  const Lines::Form form = Lines::GetForm(text);
  const std::int32_t lines = Lines::Count(text);
  // Enough for the text's characters and line ends, most often; encoded characters
  // that do not fit wait for the next round.
  std::int64_t size = form.byteOrderMark ? std::int64_t(kByteOrderMark.size()) : 0;
  for (std::int32_t i = 1; i <= lines && size < kImageChunk; ++i)
    size += Lines::Length(text, i) + 2;
  size = std::min<std::int64_t>(size, kImageChunk);
  Buffer::Ref image = nullptr;
  char* data = nullptr;
  if (size > 0) {
    image = Buffer::Create(kStoreImage, Buffer::BufferKind::Block);
    if (image == nullptr) return false;
    data = static_cast<char*>(Buffer::AllocateData(image, std::int32_t(size)));
    if (data == nullptr) {
      Buffer::Delete(image);
      return false;
    }
  }
  Replacement r;
  File f;
  bool ok = BeginReplace(path, r, f);
  std::size_t used = 0;
  auto flush = [&] {
    std::int32_t count = std::int32_t(used);
    ok = ok && (used == 0 || Write(f, count, {data, used}));
    used = 0;
  };
  auto put = [&](std::string_view bytes) {
    while (ok && !bytes.empty()) {
      const std::size_t n = std::min(bytes.size(), std::size_t(size) - used);
      std::memcpy(data + used, bytes.data(), n);
      used += n;
      bytes.remove_prefix(n);
      if (used == std::size_t(size)) flush();
    }
  };
  if (form.byteOrderMark) put(kByteOrderMark);
  // A final soft line end is a mark only with soft line ends, or in a text loaded with
  // them; anywhere else it is the user's character.
  const bool soft = state.softLineEnds, marks = soft || form.softLineEnds;
  std::string scratch;
  for (std::int32_t i = 1; ok && i <= lines; ++i) {
    std::string_view line = Lines::View(text, i);
    const bool marked = marks && !line.empty() && line.back() == kSoftLineEnd;
    if (marked) line.remove_suffix(1);
    put(Encoded(line, form.coding, scratch));
    if (!soft || marked || line.empty()) put(EndBytes(Lines::EndOf(text, i), form));
  }
  flush();
  result = EndReplace(r, f, ok);
  Buffer::Delete(image);
  return true;
}
} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  Buffer::Init();
  // A working directory too long for the workstation's paths leaves the root current.
  const std::string dir = WorkingDirectory();
  state.currentDirectory = state.startDirectory = dir.empty() ? std::string(1, kSeparator) : dir;
}

bool HostName(Chars name, VarChars path) {
  Init();
  const std::string host = PathOf(name);
  Strings::Assign(path, Chars(host));
  state.lastResult = host.size() <= path.high ? kNoError : kBadName;
  return state.lastResult == kNoError;
}

bool ChangeDirectory(Chars nameChars) {
  Init();
  const std::string_view name(nameChars.p, Strings::Length(nameChars));
  std::string target;
  if (name.empty()) {
    target = state.startDirectory;
  } else if (name[0] == kSeparator) {
    target = std::string(name);
  } else {
    const std::string converted = ConvertSeparators(name);
    if (const std::size_t dots = DotPrefix(converted)) {
      target = state.currentDirectory;
      if (!RemoveLevels(target, dots - 1)) return Fail(kBadName);
      target += converted.substr(dots + 1);
    } else if (converted.starts_with("//")) {
      target = converted;
    } else if (converted[0] == kSeparator) {
      target = WithoutFinalSeparator(state.currentDirectory) + converted;
    } else {
      target = state.currentDirectory + converted;
    }
  }
  if (target.back() != kSeparator) target += kSeparator;
  if (::chdir(Charset::HostName(target).c_str()) != 0) {
    const int error = errno;
    return Fail(error == EACCES         ? kAccessDenied
                : error == ENAMETOOLONG ? kBadName
                                        : kDirectoryNotFound);
  }
  // The platform's own name of the directory, so "a/../b" and ".." come out plain.
  const std::string now = WorkingDirectory();
  if (now.empty()) {
    [[maybe_unused]] const int back = ::chdir(Charset::HostName(state.currentDirectory).c_str());
    return Fail(kBadName);
  }
  state.currentDirectory = now;
  return Succeed();
}

void CurrentDirectory(VarChars s) {
  Init();
  Strings::Assign(s, Chars(state.currentDirectory));
  state.lastResult = kNoError;
}

std::int32_t Result() { return state.lastResult; }

void ErrorText(std::int32_t code, VarChars s) {
  switch (code) {
#define VELMARIN_FILE_RESULT_TEXT(name, value, text)                                               \
  case value:                                                                                      \
    Strings::Assign(s, text);                                                                      \
    return;
    VELMARIN_FILE_RESULTS(VELMARIN_FILE_RESULT_TEXT)
#undef VELMARIN_FILE_RESULT_TEXT
  }
  const std::string text = "unknown error (" + std::to_string(code) + ")";
  Strings::Assign(s, Chars(text));
}

void GetType(VarChars type) {
  Init();
  Strings::Assign(type, Chars(state.fileType, 3));
}

void SetType(Chars type) {
  Init();
  Strings::Assign(VarChars(state.fileType, 3), type);
}

bool Open(Chars name, std::int32_t mode, File& f) {
  Init();
  return OpenPath(HostPath(name), mode, f);
}

bool Close(File& f) {
  if (!CheckOpen(f)) return false;
  const int r = ::close(f.handle);
  f = File{};
  return r == 0 || errno == EINTR ? Succeed() : Fail(FromErrno(errno, std::string()));
}

bool Read(File& f, std::int32_t& count, std::span<char> buffer) {
  const std::size_t room = std::min(std::size_t(std::max(count, 0)), buffer.size());
  count = 0;
  if (!CheckOpen(f)) return false;
  if (!(f.mode & kRead)) return Fail(kUserError);
  const ssize_t got = ReadAll(f.handle, buffer.data(), room);
  if (got < 0) return Fail(FromErrno(errno, std::string()));
  count = std::int32_t(got);
  return got > 0 ? Succeed() : Fail(kEndOfFile);
}

bool Write(File& f, std::int32_t& count, std::span<const char> data) {
  const std::size_t size = std::min(std::size_t(std::max(count, 0)), data.size());
  count = 0;
  if (!CheckOpen(f)) return false;
  if (!(f.mode & kWrite)) return Fail(kWritePermission);
  iovec iov{const_cast<char*>(data.data()), size};
  std::size_t written = 0;
  const bool ok = WriteAll(f.handle, &iov, 1, written);
  count = std::int32_t(written);
  return ok ? Succeed() : Fail(FromErrno(errno, std::string()));
}

bool Size(File& f, std::int64_t& size) {
  size = 0;
  if (!CheckOpen(f)) return false;
  struct stat st;
  if (::fstat(f.handle, &st) != 0) return Fail(FromErrno(errno, std::string()));
  size = st.st_size;
  return Succeed();
}

bool SetPosition(File& f, std::int32_t origin, std::int64_t offset) {
  if (!CheckOpen(f)) return false;
  if (origin < 0 || origin > 2) return Fail(kPositionBeforeStart);
  std::int64_t base = 0;
  if (origin == 1) {
    base = ::lseek(f.handle, 0, SEEK_CUR);
    if (base < 0) return Fail(kPositionError);
  } else if (origin == 2) {
    std::int64_t size;
    if (!Size(f, size)) return false;
    base = size;
  }
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) return Fail(-EOVERFLOW);
  if (target < 0) return Fail(kPositionBeforeStart);
  if (::lseek(f.handle, target, SEEK_SET) < 0) return Fail(FromErrno(errno, std::string()));
  return Succeed();
}

bool Delete(Chars name) {
  Init();
  const std::string path = HostPath(name);
  return ::unlink(path.c_str()) == 0 ? Succeed() : FailErrno(path);
}

bool Rename(Chars oldName, Chars newName) {
  Init();
  const std::string from = HostPath(oldName), to = HostPath(newName);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return Succeed();
  if (errno == EINVAL || errno == ENOSYS) {
    // A file system without the no-replace rename: look first.
    if (Exists(to)) return Fail(kDuplicateName);
    if (::rename(from.c_str(), to.c_str()) == 0) return Succeed();
  }
  const int error = errno;
  if (error == ENOENT && Exists(from)) return Fail(kDirectoryNotFound);
  return Fail(FromErrno(error, from));
}

bool ReadLine(File& f, std::int32_t& count, VarChars line) {
  const std::size_t room = std::min(std::size_t(std::max(count, 0)), line.size());
  count = 0;
  if (!CheckOpen(f)) return false;
  if (!(f.mode & kRead) || room == 0) return Fail(kUserError);
  const off_t start = ::lseek(f.handle, 0, SEEK_CUR);
  if (start < 0) return Fail(kPositionError);
  // One byte beyond the room tells whether a line of exactly that length ends there,
  // so that its line end is consumed with it instead of giving an empty line next.
  char extra = 0;
  iovec iov[2] = {{line.p, room}, {&extra, 1}};
  ssize_t got;
  do got = ::preadv(f.handle, iov, 2, start);
  while (got < 0 && errno == EINTR);
  if (got < 0) return Fail(FromErrno(errno, std::string()));
  if (got == 0) return Fail(kEndOfFile);
  const std::size_t n = std::size_t(got);
  auto byteAt = [&](std::size_t i) { return i < room ? line.p[i] : extra; };
  std::size_t end = 0;
  while (end < n && byteAt(end) != 0 && byteAt(end) != '\n' && byteAt(end) != '\r') ++end;
  std::size_t length, consumed;
  if (end < n) {
    length = end;
    consumed = end + 1;
    if (byteAt(end) == '\r') {
      char next = 0;
      if (end + 1 < n)
        next = byteAt(end + 1);
      else if (::pread(f.handle, &next, 1, start + off_t(end) + 1) != 1)
        next = 0;
      if (next == '\n') ++consumed;
    }
  } else {
    length = consumed = std::min(n, room);
  }
  if (length < line.size()) line.p[length] = 0;
  if (::lseek(f.handle, start + off_t(consumed), SEEK_SET) < 0) return Fail(kPositionError);
  count = std::int32_t(length);
  return Succeed();
}

bool WriteLine(File& f, std::int32_t& count, Chars s) {
  const std::size_t size = std::min(std::size_t(std::max(count, 0)), s.size());
  count = 0;
  if (!CheckOpen(f)) return false;
  if (!(f.mode & kWrite)) return Fail(kWritePermission);
  const std::string_view end = StoreLineEnd();
  iovec iov[2] = {{const_cast<char*>(s.p), size}, {const_cast<char*>(end.data()), end.size()}};
  std::size_t written = 0;
  const bool ok = WriteAll(f.handle, iov, 2, written);
  count = std::int32_t(written);
  return ok ? Succeed() : Fail(FromErrno(errno, std::string()));
}

bool ReadWhole(Chars name, std::int32_t& count, std::span<char> buffer) {
  const std::size_t room = std::min(std::size_t(std::max(count, 0)), buffer.size());
  count = 0;
  File f;
  if (!Open(name, kRead, f)) return false;
  std::int64_t size = 0;
  bool ok = Size(f, size);
  std::int32_t want = std::int32_t(std::min<std::int64_t>(size, std::int64_t(room)));
  if (ok && want > 0) ok = Read(f, want, buffer);
  if (ok) count = want;
  const std::int32_t result = ok ? kNoError : state.lastResult;
  if (!Close(f) && ok) return false;
  if (!ok) return Fail(result);
  return count == size ? Succeed() : Fail(kUserError);
}

bool WriteWhole(Chars name, std::int32_t& count, std::span<const char> data) {
  Init();
  const std::size_t size = std::min(std::size_t(std::max(count, 0)), data.size());
  const std::int32_t result = WriteReplacing(HostPath(name), data.data(), size);
  count = result == kNoError ? std::int32_t(size) : 0;
  return result == kNoError;
}

std::int32_t LoadBlock(Chars name, Buffer::Ref block) {
  Init();
  return LoadBlockPath(HostPath(name), block);
}

std::int32_t LoadText(Chars name, Buffer::Ref text) {
  Init();
  if (Buffer::KindOf(text) != Buffer::BufferKind::Text || text == nullptr ||
      Lines::Count(text) != 0)
    return state.lastResult = kUserError;
  BusyGuard busy;
  const std::string path = HostPath(name);
  std::int32_t result;
  if (!state.loadViaImage || !LoadTextViaImage(path, text, result))
    return LoadTextByLines(path, text);
  return state.lastResult = result;
}

std::int32_t SplitImage(std::string_view image, Buffer::Ref text, std::size_t pieceSize) {
  Init();
  if (pieceSize == 0) pieceSize = std::max<std::size_t>(image.size(), 1);
  auto split = [&](Splitter& splitter) {
    bool ok = true;
    for (std::size_t at = 0; ok && at < image.size(); at += pieceSize)
      ok = splitter.Feed(image.substr(at, pieceSize));
    return ok && splitter.Finish();
  };
  Splitter decoder(text, state.decoding ? Coding::Utf8 : Coding::Bytes);
  bool ok = split(decoder);
  Splitter* used = &decoder;
  std::optional<Splitter> other;
  if (decoder.Undecodable()) {
    Restart(text);
    other.emplace(text, Charset::Classify(image) == Charset::Utf8Kind::Invalid ? Coding::Bytes
                                                                               : Coding::Utf8Bytes);
    ok = split(*other);
    used = &*other;
  }
  ok = Lines::SetForm(text, used->Form()) && ok;
  NoteLoad(*used);
  return state.lastResult = ok ? kNoError : kUserError;
}

std::int32_t StoreBlock(Buffer::Ref block, Chars name) {
  Init();
  if (block == nullptr || Buffer::KindOf(block) != Buffer::BufferKind::Block)
    return state.lastResult = kUserError;
  TypeGuard type("BINA");
  Buffer::BufferKind kind;
  void* data = nullptr;
  std::int32_t size = 0;
  Buffer::GetInfo(block, kind, data, size);
  if (data == nullptr) size = 0;
  return WriteReplacing(HostPath(name), static_cast<const char*>(data),
                        std::size_t(std::max(size, 0)));
}

std::int32_t StoreText(Buffer::Ref text, Chars name) {
  Init();
  if (text == nullptr || Buffer::KindOf(text) != Buffer::BufferKind::Text)
    return state.lastResult = kUserError;
  BusyGuard busy;
  TypeGuard type("TEXT");
  const std::string path = HostPath(name);
  std::int32_t result;
  if (!state.loadViaImage || !StoreTextViaImage(text, path, result))
    return StoreTextByLines(text, path);
  if (result == kNoError) Lines::SetModified(text, false);
  return state.lastResult = result;
}

void SetLineEndMode(std::int32_t mode) {
  Init();
  state.lineEndMode = mode;
}
std::int32_t LineEndMode() {
  Init();
  return state.lineEndMode;
}
void SetLoadViaImage(bool flag) {
  Init();
  state.loadViaImage = flag;
}
bool LoadViaImage() {
  Init();
  return state.loadViaImage;
}
void SetSoftLineEnds(bool flag) {
  Init();
  state.softLineEnds = flag;
}
bool SoftLineEnds() {
  Init();
  return state.softLineEnds;
}
void SetEditorLineWidth(std::int32_t columns) {
  Init();
  state.editorLineWidth = columns >= 1 && columns <= 255 ? columns : 255;
}
std::int32_t EditorLineWidth() {
  Init();
  return state.editorLineWidth;
}
void SetBusyCursor(BusyCursorProc proc) {
  Init();
  state.busyCursor = proc;
}

LoadNotice LastLoadNotice() { return state.loadNotice; }

void LoadNoticeText(LoadNotice notice, VarChars s) {
  switch (notice) {
  case LoadNotice::KeptUtf8:
    Strings::Assign(s, "UTF-8 beyond Windows-1252 kept as bytes");
    return;
  case LoadNotice::ZeroBytes:
    Strings::Assign(s, "0 bytes left out");
    return;
  default:
    Strings::Clear(s);
  }
}

namespace Testing {
void SetDecoding(bool on) {
  Init();
  state.decoding = on;
}
} // namespace Testing

} // namespace FileSystem
