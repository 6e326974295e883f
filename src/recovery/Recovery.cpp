#include "recovery/Recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "base/Strings.h"
#include "platform/Alerts.h"
#include "recovery/RecoveryFile.h"
#include "store/Lines.h"

namespace Recovery {

namespace {

using Buffer::Ref;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kQuiet = 300ms;     // a text is written once it has rested this long,
constexpr auto kLongest = 1000ms;  // or this long after a change it still waits for
constexpr auto kScanEvery = 200ms; // how often the texts are looked over
constexpr auto kSlice = 150us;     // the most one Idle call copies
constexpr std::int32_t kChunkLines = 512;
constexpr std::int32_t kCopyStep = 64; // lines copied between looks at the clock
constexpr std::size_t kWriteBlock = 1 << 20;
constexpr char kExtension[] = ".rec";
constexpr char kCommandText[] = "/Shell/Command";
constexpr char kShellDirectory[] = "/Shell/";
using base::kPathHigh;

// ---- The copy of a text ----

using Chunk = std::vector<std::string>;
using Chunks = std::vector<std::shared_ptr<Chunk>>;

// A text's lines in pieces of about kChunkLines; a snapshot shares the pieces, and a
// change copies only the piece it touches while a snapshot still holds it.
class Mirror {
public:
  std::int32_t Size() const { return size_; }
  Chunks Snapshot() const { return chunks_; }

  // count lines of text from its line `from` (1-based) before line `at` (0-based).
  void Insert(std::int32_t at, Ref text, std::int32_t from, std::int32_t count) {
    auto [i, offset] = Locate(at);
    if (i == chunks_.size()) {
      chunks_.push_back(std::make_shared<Chunk>());
      offset = 0;
    }
    Chunk& c = Own(i);
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count));
    for (std::int32_t n = 0; n < count; ++n) lines.emplace_back(Lines::View(text, from + n));
    c.insert(c.begin() + offset, std::make_move_iterator(lines.begin()),
             std::make_move_iterator(lines.end()));
    size_ += count;
    Split(i);
  }
  void Replace(std::int32_t at, std::string_view line) {
    const auto [i, offset] = Locate(at);
    Own(i)[offset].assign(line);
  }
  void Erase(std::int32_t at, std::int32_t count) {
    auto [i, offset] = Locate(at);
    while (count > 0 && i < chunks_.size()) {
      Chunk& c = Own(i);
      const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), c.size() - offset);
      c.erase(c.begin() + offset, c.begin() + offset + n);
      count -= static_cast<std::int32_t>(n);
      size_ -= static_cast<std::int32_t>(n);
      if (c.empty()) {
        chunks_.erase(chunks_.begin() + i);
      } else {
        ++i;
      }
      offset = 0;
    }
  }

private:
  // The piece holding line at (0-based) and the place in it; at the end, the last
  // piece while it has room, else one past the pieces.
  std::pair<std::size_t, std::size_t> Locate(std::int32_t at) const {
    std::size_t rest = static_cast<std::size_t>(at);
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
      const std::size_t n = chunks_[i]->size();
      if (rest < n || (rest == n && i + 1 == chunks_.size() && n < 2 * kChunkLines))
        return {i, rest};
      rest -= n;
    }
    return {chunks_.size(), 0};
  }
  Chunk& Own(std::size_t i) {
    if (chunks_[i].use_count() > 1) {
      chunks_[i] = std::make_shared<Chunk>(*chunks_[i]);
    } else {
      // The writer's last look at the piece comes before this change of it.
      std::atomic_thread_fence(std::memory_order_acquire);
    }
    return *chunks_[i];
  }
  // A piece grown past twice its size becomes pieces of kChunkLines.
  void Split(std::size_t i) {
    Chunk& c = *chunks_[i];
    if (c.size() <= 2 * kChunkLines) return;
    Chunks pieces;
    for (std::size_t from = 0; from < c.size(); from += kChunkLines) {
      const std::size_t to = std::min(c.size(), from + kChunkLines);
      pieces.push_back(std::make_shared<Chunk>(std::make_move_iterator(c.begin() + from),
                                               std::make_move_iterator(c.begin() + to)));
    }
    chunks_.erase(chunks_.begin() + i);
    chunks_.insert(chunks_.begin() + i, pieces.begin(), pieces.end());
  }

  Chunks chunks_;
  std::int32_t size_ = 0;
};

// A modified text the journal follows. The copy holds the text's first lines (all of
// them once complete); changes beyond them need nothing, the copying reaches them.
struct Track {
  Ref text = nullptr;
  std::uint64_t serial = 0;
  Mirror copy;
  bool dirty = true;    // changed since its last snapshot
  bool written = false; // its file exists or is on its way
  Clock::time_point firstChange{}, lastChange{};
  std::time_t changedAt = 0;
  bool Complete() const { return copy.Size() == Lines::Count(text); }
};

// ---- The writer ----

struct Job {
  bool remove = false;
  std::uint64_t serial = 0;
  RecoveryFile::Header header;
  Chunks chunks;
};

struct State {
  bool started = false;
  std::string directory;
  std::string id; // this workstation's: process number and a random tag
  int lock = -1;
  std::uint64_t nextSerial = 1;
  std::vector<std::unique_ptr<Track>> tracks;
  Clock::time_point lastScan{};
  bool idling = false;

  std::thread writer;
  std::mutex mutex; // guards the fields below
  std::condition_variable wake;
  std::deque<Job> jobs;
  bool writing = false;      // the writer works on a job
  std::uint64_t written = 0; // files the writer has written
  int failure = 0;           // the error of the writer's last write that failed, 0 after one
                             // that succeeded
  bool failureShown = false; // the user was told of it
  bool stopping = false;
  bool final = false; // the main thread writes the last files: the writer renames nothing
};

// Never destroyed: a program that ends without Stop (exit from anywhere) must not end
// with the writer's thread still joinable.
State& state = *new State;

std::string FileOf(const std::string& id, std::uint64_t serial) {
  return state.directory + "/" + id + "-" + std::to_string(serial) + kExtension;
}
std::string LockOf(const std::string& id) { return state.directory + "/" + id + ".lock"; }

void SyncDirectory() {
  const int fd = ::open(state.directory.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes a recovery file through a temporary one (suffix), flushed before it takes the
// file's name: a file is always whole or the one before. lines(out, flush) appends the
// lines and calls flush between blocks; rename(temporary) gives it the file's name (false
// when it does not). 0, or the error that stopped the write (-1: not renamed).
template <typename LinesProc, typename RenameProc>
int WriteFile(const std::string& path, const char* suffix, const RecoveryFile::Header& h,
              LinesProc lines, RenameProc rename) {
  const std::string temporary = path + suffix;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  int error = 0;
  const auto check = [&error](bool ok) {
    if (!ok && error == 0) error = errno != 0 ? errno : EIO;
  };
  std::string out;
  out.reserve(kWriteBlock + 4096);
  RecoveryFile::AppendHeader(h, out);
  const auto flush = [&] {
    if (out.size() < kWriteBlock || error != 0) return;
    check(WriteAll(fd, out));
    out.clear();
  };
  lines(out, flush);
  RecoveryFile::AppendEnd(out);
  if (error == 0) check(WriteAll(fd, out));
  if (error == 0) check(::fsync(fd) == 0);
  check(::close(fd) == 0);
  if (error == 0 && !rename(temporary)) error = -1;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  SyncDirectory();
  return 0;
}

void Perform(const Job& job) {
  const std::string path = FileOf(state.id, job.serial);
  if (job.remove) {
    std::lock_guard guard(state.mutex);
    if (!state.final) ::unlink(path.c_str());
    return;
  }
  const int error = WriteFile(
      path, ".tmp", job.header,
      [&](std::string& out, const auto& flush) {
        for (const auto& chunk : job.chunks) {
          for (const std::string& line : *chunk) RecoveryFile::AppendLine(line, out);
          flush();
        }
      },
      [&](const std::string& temporary) {
        std::lock_guard guard(state.mutex);
        return !state.final && ::rename(temporary.c_str(), path.c_str()) == 0;
      });
  std::lock_guard guard(state.mutex);
  if (error == 0) ++state.written;
  // A file not renamed because the last files are being written is no failure.
  if (!state.final) state.failure = std::max(error, 0);
}

void WriterLoop() {
  std::unique_lock lock(state.mutex);
  for (;;) {
    state.wake.wait(lock, [] { return state.stopping || !state.jobs.empty(); });
    if (state.jobs.empty()) return;
    Job job = std::move(state.jobs.front());
    state.jobs.pop_front();
    state.writing = true;
    lock.unlock();
    Perform(job);
    lock.lock();
    state.writing = false;
    state.wake.notify_all();
  }
}

// A job for the writer; a newer snapshot of a file replaces one still waiting.
void Give(Job job) {
  {
    std::lock_guard guard(state.mutex);
    auto waiting = std::find_if(state.jobs.begin(), state.jobs.end(), [&](const Job& j) {
      return j.serial == job.serial && !j.remove && !job.remove;
    });
    if (waiting != state.jobs.end())
      *waiting = std::move(job);
    else
      state.jobs.push_back(std::move(job));
  }
  state.wake.notify_all();
}

// ---- Following the texts ----

RecoveryFile::Header HeaderOf(Ref text, std::time_t changedAt) {
  char name[kPathHigh + 1];
  char directory[kPathHigh + 1];
  Buffer::FullName(text, name);
  Buffer::GetFilePath(text, directory);
  RecoveryFile::Header h;
  h.name = name;
  h.directory = directory;
  h.changed = static_cast<std::int64_t>(changedAt);
  const Lines::Form form = Lines::GetForm(text);
  h.coding = static_cast<std::int64_t>(form.coding);
  h.lineEnd = form.lineEnd;
  h.byteOrderMark = form.byteOrderMark;
  h.softLineEnds = form.softLineEnds;
  h.lines = Lines::Count(text);
  return h;
}

Track* TrackOf(Ref b) {
  for (const auto& t : state.tracks)
    if (t->text == b) return t.get();
  return nullptr;
}

void Touch(Track& t) {
  const Clock::time_point now = Clock::now();
  if (!t.dirty) t.firstChange = now;
  t.dirty = true;
  t.lastChange = now;
  t.changedAt = std::time(nullptr);
}

void Drop(Ref b) {
  const auto it = std::find_if(state.tracks.begin(), state.tracks.end(),
                               [b](const auto& t) { return t->text == b; });
  if (it == state.tracks.end()) return;
  if ((*it)->written) {
    // Once the last files are written the writer does nothing more.
    if (state.final)
      ::unlink(FileOf(state.id, (*it)->serial).c_str());
    else
      Give(Job{true, (*it)->serial, {}, {}});
  }
  state.tracks.erase(it);
}

void OnChange(Ref b, Lines::Change change, std::int32_t first, std::int32_t count) {
  if (state.tracks.empty()) return;
  Track* t = TrackOf(b);
  if (t == nullptr) return;
  const std::int32_t have = t->copy.Size();
  switch (change) {
  case Lines::Change::Inserted:
    // Inside the copy, or right after a copy that was complete before.
    if (first <= have || (first == have + 1 && have == Lines::Count(b) - count))
      t->copy.Insert(first - 1, b, first, count);
    break;
  case Lines::Change::Replaced:
    for (std::int32_t n = first; n < first + count && n <= have; ++n)
      t->copy.Replace(n - 1, Lines::View(b, n));
    break;
  case Lines::Change::Deleted:
    if (first <= have) t->copy.Erase(first - 1, std::min(count, have - first + 1));
    break;
  }
  Touch(*t);
}

void OnRelease(Ref b, Ref moved) {
  if (moved == nullptr) {
    Drop(b);
    return;
  }
  if (Track* t = TrackOf(b)) {
    t->text = moved;
    Touch(*t); // the file names the text anew
  }
}

bool Journaled(Ref b) { return Lines::Modified(b) && Lines::Count(b) > 0; }

// The texts that became modified are followed from now on; those no longer modified
// (stored) lose their file.
void Scan() {
  std::vector<Ref> gone;
  for (const auto& t : state.tracks)
    if (!Journaled(t->text)) gone.push_back(t->text);
  for (Ref b : gone) Drop(b);
  ForEachUserText([](Ref b) {
    if (!Journaled(b) || TrackOf(b) != nullptr) return;
    auto t = std::make_unique<Track>();
    t->text = b;
    t->serial = state.nextSerial++;
    Touch(*t);
    state.tracks.push_back(std::move(t));
  });
}

// Copies lines of incomplete texts until the slice is used; true when some remain.
bool CopySome(Clock::time_point deadline) {
  bool more = false;
  for (const auto& t : state.tracks) {
    while (!t->Complete()) {
      if (Clock::now() >= deadline) {
        more = true;
        break;
      }
      const std::int32_t have = t->copy.Size();
      const std::int32_t n = std::min(kCopyStep, Lines::Count(t->text) - have);
      t->copy.Insert(have, t->text, have + 1, n);
    }
  }
  return more;
}

void HandOver(Clock::time_point now, bool all) {
  for (const auto& t : state.tracks) {
    if (!t->dirty || !t->Complete()) continue;
    if (!all && now - t->lastChange < kQuiet && now - t->firstChange < kLongest) continue;
    t->dirty = false;
    t->written = true;
    Give(Job{false, t->serial, HeaderOf(t->text, t->changedAt), t->copy.Snapshot()});
  }
}

// A write that failed is told once on the message line: the texts are not safe then,
// and the user may make room on the disk.
void ReportFailure() {
  int failure = 0;
  {
    std::lock_guard guard(state.mutex);
    if (state.failure == 0) state.failureShown = false;
    if (state.failure == 0 || state.failureShown) return;
    state.failureShown = true;
    failure = state.failure;
  }
  Alerts::ShowErrorLine(base::CharsOf("Recovery file not written in " + state.directory + ": " +
                                      std::strerror(failure)));
}

bool Pending() {
  for (const auto& t : state.tracks)
    if (t->dirty || !t->Complete()) return true;
  std::lock_guard guard(state.mutex);
  return state.writing || !state.jobs.empty();
}

// ---- Offering the files of workstations that ended ----

bool ReadWhole(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes.clear();
  char block[65536];
  ssize_t n;
  while ((n = ::read(fd, block, sizeof block)) > 0)
    bytes.append(block, static_cast<std::size_t>(n));
  ::close(fd);
  return n == 0;
}

std::string LastChangeText(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  char text[40] = "?";
  if (localtime_r(&t, &local) != nullptr)
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  return text;
}

std::string LeafOf(const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// A text buffer for a recovered text: the command text itself, else a new text of that
// name (its directories made), or of the name followed by "~2", "~3", ... when one exists.
Ref PlaceFor(const std::string& name) {
  if (name == kCommandText) {
    Ref b = Buffer::Find(kCommandText);
    if (b != nullptr) Lines::Delete(b, 1, Lines::Count(b));
    return b;
  }
  std::string path = name.front() == '/' ? name : "/" + name;
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (Buffer::Open(path.substr(0, slash), Buffer::BufferKind::Directory) == nullptr) {
      path = "/User/" + LeafOf(path); // no directory of that name can be had
      break;
    }
  }
  std::string candidate = path;
  for (int n = 2; Buffer::Find(candidate) != nullptr && n < 100; ++n) {
    const std::string suffix = "~" + std::to_string(n);
    const std::string leaf = LeafOf(path);
    candidate =
        path.substr(0, path.size() - leaf.size()) + leaf.substr(0, 31 - suffix.size()) + suffix;
  }
  if (Buffer::Find(candidate) != nullptr) return nullptr;
  return Buffer::Create(candidate, Buffer::BufferKind::Text);
}

// Writes b's file at once, from the store, on this thread.
bool WriteNow(Track& t) {
  const RecoveryFile::Header h = HeaderOf(t.text, t.changedAt);
  const Ref text = t.text;
  const bool ok =
      0 == WriteFile(
               FileOf(state.id, t.serial), ".now", h,
               [text](std::string& out, const auto& flush) {
                 const std::int32_t count = Lines::Count(text);
                 for (std::int32_t n = 1; n <= count; ++n) {
                   RecoveryFile::AppendLine(Lines::View(text, n), out);
                   if (n % 4096 == 0) flush();
                 }
               },
               [&](const std::string& temporary) {
                 return ::rename(temporary.c_str(), FileOf(state.id, t.serial).c_str()) == 0;
               });
  t.written = t.written || ok;
  return ok;
}

// Makes the text of a file a modified text of this workstation, journaled already;
// nullptr when no buffer could be had.
Ref Recover(const RecoveryFile::Text& recovered) {
  Ref b = PlaceFor(recovered.header.name);
  if (b == nullptr) return nullptr;
  for (const std::string& line : recovered.lines) {
    if (!Lines::Append(b, base::CharsOf(line))) {
      if (b != Buffer::Find(kCommandText)) Buffer::Delete(b);
      return nullptr;
    }
  }
  Buffer::SetFilePath(b, base::CharsOf(recovered.header.directory));
  // Stored as its file was loaded: a text of UTF-8 kept as bytes must not be encoded
  // again, a Latin-1 text stays Latin-1.
  const RecoveryFile::Header& h = recovered.header;
  Lines::Form form;
  form.coding = static_cast<Charset::Coding>(h.coding);
  form.lineEnd = static_cast<std::int8_t>(h.lineEnd);
  form.byteOrderMark = h.byteOrderMark;
  form.softLineEnds = h.softLineEnds;
  static_cast<void>(Lines::SetForm(b, form));
  Lines::SetModified(b, true);
  if (!state.started) return b;
  Drop(b);
  auto t = std::make_unique<Track>();
  t->text = b;
  t->serial = state.nextSerial++;
  t->changedAt = static_cast<std::time_t>(recovered.header.changed);
  t->copy.Insert(0, b, 1, Lines::Count(b));
  t->dirty = false;
  if (!WriteNow(*t)) return nullptr;
  state.tracks.push_back(std::move(t));
  return b;
}

enum class Answer { Recover = 1, Discard = 2, Later = 3 };

Answer Ask(const RecoveryFile::Header& h) {
  std::string question = "Recover the text " + h.name + " ?\r\rFile: " + h.directory +
                         LeafOf(h.name) + "\rLast change: " + LastChangeText(h.changed);
  const int answer =
      Alerts::ThreeButtonAlert(base::CharsOf(question), "Recover", "Discard", "Later", 1, 3);
  return static_cast<Answer>(answer);
}

// The files of one workstation that ended, offered one by one; those recovered added.
void OfferFiles(const std::vector<std::string>& files, std::vector<Ref>& recovered) {
  for (const std::string& file : files) {
    const std::string path = state.directory + "/" + file;
    std::string bytes, reason;
    RecoveryFile::Text text;
    if (!ReadWhole(path, bytes)) continue;
    if (!RecoveryFile::Read(bytes, text, reason)) {
      // Kept where the user can look at it; never offered again.
      ::rename(path.c_str(), (path + ".damaged").c_str());
      Alerts::Message(base::CharsOf("The recovery file " + file + " is damaged (" + reason +
                                    ") and is kept as " + file + ".damaged."));
      continue;
    }
    switch (Ask(text.header)) {
    case Answer::Recover:
      if (Ref b = Recover(text)) {
        recovered.push_back(b);
        ::unlink(path.c_str());
      } else {
        Alerts::Message(base::CharsOf("The text " + text.header.name +
                                      " could not be recovered; its file is kept."));
      }
      break;
    case Answer::Discard:
      ::unlink(path.c_str());
      break;
    case Answer::Later:
      break;
    }
  }
}

// The recovery files of the directory (or, with suffix, the temporary files a write
// cut short left behind), by the workstation that wrote them.
std::map<std::string, std::vector<std::string>> FilesByWorkstation(const char* suffix = "") {
  const std::string extension = std::string(kExtension) + suffix;
  std::map<std::string, std::vector<std::string>> files;
  DIR* d = ::opendir(state.directory.c_str());
  if (d == nullptr) return files;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() <= extension.size() || !name.ends_with(extension)) continue;
    const std::size_t dash = name.find_last_of('-');
    if (dash == std::string::npos || dash == 0) continue;
    files[name.substr(0, dash)].push_back(name);
  }
  ::closedir(d);
  for (auto& [id, names] : files) std::sort(names.begin(), names.end());
  return files;
}

// Removes the files of a workstation that no longer runs, or of this one at its end:
// its temporary files, and with all its recovery files and its lock.
void RemoveFilesOf(const std::string& id, bool all) {
  for (const char* suffix : {".tmp", ".now", ""}) {
    if (suffix[0] == 0 && !all) break;
    const auto files = FilesByWorkstation(suffix);
    if (const auto it = files.find(id); it != files.end())
      for (const std::string& file : it->second) ::unlink((state.directory + "/" + file).c_str());
  }
}

} // namespace

std::string DefaultDirectory() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/velmarin/recovery";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/state/velmarin/recovery";
}

bool Start(const std::string& directory) {
  if (state.started) return true;
  // Every directory on the way, readable by the user alone.
  for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
    const std::string part = directory.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  state.directory = directory;
  std::random_device random;
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08x", random());
  state.id = std::to_string(::getpid()) + "_" + tag;
  state.lock = ::open(LockOf(state.id).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (state.lock < 0 || ::flock(state.lock, LOCK_EX | LOCK_NB) != 0) {
    if (state.lock >= 0) ::close(state.lock);
    state.lock = -1;
    return false;
  }
  state.stopping = false;
  state.final = false;
  state.writer = std::thread(WriterLoop);
  Lines::Follow(OnChange);
  Buffer::SetReleaseProc(OnRelease);
  state.started = true;
  return true;
}

bool Started() { return state.started; }

void Stop(bool discard) {
  if (!state.started) return;
  Lines::Unfollow(OnChange);
  Buffer::SetReleaseProc(nullptr);
  {
    std::lock_guard guard(state.mutex);
    state.stopping = true;
    if (discard) state.jobs.clear();
  }
  state.wake.notify_all();
  state.writer.join();
  RemoveFilesOf(state.id, discard);
  ::unlink(LockOf(state.id).c_str());
  ::close(state.lock);
  state.tracks.clear();
  state.jobs.clear();
  state.lock = -1;
  state.started = false;
}

bool Idle() {
  if (!state.started || state.idling) return false;
  state.idling = true;
  const Clock::time_point now = Clock::now();
  if (now - state.lastScan >= kScanEvery) {
    state.lastScan = now;
    Scan();
  }
  const bool more = CopySome(now + kSlice);
  HandOver(now, false);
  ReportFailure();
  state.idling = false;
  return more;
}

void WriteAllNow() {
  if (!state.started) return;
  {
    std::lock_guard guard(state.mutex);
    state.final = true;
    state.jobs.clear();
  }
  Scan();
  for (const auto& t : state.tracks) static_cast<void>(WriteNow(*t));
}

std::vector<Ref> Offer() {
  std::vector<Ref> recovered;
  if (!state.started) return recovered;
  for (const auto& [id, files] : FilesByWorkstation()) {
    if (id == state.id) continue;
    // A workstation that still runs holds its lock.
    const int lock = ::open(LockOf(id).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) continue;
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
      ::close(lock);
      continue;
    }
    OfferFiles(files, recovered);
    RemoveFilesOf(id, false);
    if (FilesByWorkstation()[id].empty()) ::unlink(LockOf(id).c_str());
    ::close(lock);
  }
  return recovered;
}

void ForEachUserText(const std::function<void(Ref)>& proc) {
  const Ref command = Buffer::Find(kCommandText);
  if (command != nullptr) proc(command);
  const Ref shell = Buffer::Find(kShellDirectory);
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

namespace Testing {

bool Settle(double seconds) {
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  while (Clock::now() < end) {
    state.lastScan = {}; // look at the texts every time
    const bool more = Idle();
    if (!more && !Pending()) return true;
    if (!more) std::this_thread::sleep_for(1ms);
  }
  return false;
}

std::vector<std::string> OwnFiles() { return FilesByWorkstation()[state.id]; }

std::uint64_t FilesWritten() {
  std::lock_guard guard(state.mutex);
  return state.written;
}

} // namespace Testing

} // namespace Recovery
