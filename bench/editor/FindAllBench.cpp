// Find All and Replace All against the host tools a user would otherwise pick, in the
// same run and over the same texts:
//   Find All of an absent pattern    / `grep -F -r -c PATTERN DIR > OUT`   goal at most 1.0
//   Replace All of 400,000 hits      / `sed 's/A/B/g' DIR/* > OUT`          goal at most 1.0
// once over 200 texts of 10,000 lines each (a directory of the store, and the directory of
// their files), once over one text of 2,000,000 lines.
//
// The texts are source-like lines of 0 to 99 characters; every fifth line holds the word
// "zebra" once (400,000 in each set), nothing else holds it or "giraffe". They are
// generated from a fixed seed into $TMPDIR/velmarin-findall/ on the first run and loaded
// into the store once. Each Replace All iteration replaces "zebra" by "okapi" or back,
// so every iteration makes 400,000 replacements. The shell runs on the headless backend
// with its List window open, so the listing is part of the time. After the benchmarks
// a summary prints the median seconds and the ratios against the goals.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "../store/SourceFiles.h"
#include "editor/Editor.h"
#include "editwin/ShellStart.h"
#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"
#include "shell/FindAll.h"
#include "store/Buffer.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kTexts = 200;
constexpr std::int64_t kTextLines = 10'000;
constexpr std::int64_t kBigLines = 2'000'000;
constexpr std::int64_t kHits = 400'000;
constexpr char kAbsent[] = "giraffe";
constexpr char kWord[] = "zebra";
constexpr char kOther[] = "okapi";

// Seconds per iteration of every repetition of each benchmark, for the summary.
std::map<std::string, std::vector<double>> secondsPerIteration;

struct Timer {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  void Record(benchmark::State& state, const std::string& name) const {
    if (state.iterations() == 0) return;
    const std::chrono::duration<double> total = std::chrono::steady_clock::now() - start;
    secondsPerIteration[name].push_back(total.count() / double(state.iterations()));
  }
};

// 0: the 200 texts, 1: the big one.
std::string SetName(std::int64_t set) { return set == 0 ? "200x10k" : "1x2M"; }

// A folder for each generation of the texts, so that none written differently is reused.
fs::path DataDirectory() { return fs::temp_directory_path() / "velmarin-findall" / "v2"; }

// Source-like lines from a fixed seed, the word in every fifth; the same seed gives the
// same file.
void WriteText(const fs::path& path, std::int64_t lines, std::uint64_t seed) {
  SourceFiles::Write(path, lines, seed, false, [](std::int64_t i, std::string& line) {
    if (i % 5 == 0) line.insert(line.size() / 2, std::string(" ") + kWord + " ");
  });
}

// The files of a set, generated when missing.
std::vector<std::string> Files(std::int64_t set) {
  const fs::path dir = DataDirectory() / SetName(set);
  std::vector<std::string> files;
  const int count = set == 0 ? kTexts : 1;
  fs::create_directories(dir);
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "T%03d.mod", i);
    const fs::path path = dir / name;
    if (!fs::exists(path))
      WriteText(path, set == 0 ? kTextLines : kBigLines,
                0x5eed'f1d0'0000'0000ULL + std::uint64_t(i));
    files.push_back(path.string());
  }
  return files;
}

// The shell on the headless backend, each set of texts loaded into a directory of its own.
struct World {
  Headless::HeadlessBackend backend;
  Buffer::Ref dirs[2] = {};

  World() {
    Toolbox::InstallBackend(&backend);
    Toolbox::Init();
    static_cast<void>(Events::InitEventQueue());
    Shell::SetEditorStartProc(Editor::Init);
    static_cast<void>(Shell::CreateShell());
    static_cast<void>(Shell::OpenShellWindows());
    Shell::EnterCommandWindow();
    FileSystem::SetLoadViaImage(true);
    for (std::int64_t set = 0; set < 2; ++set) {
      const std::string dir = "/User/" + SetName(set);
      dirs[set] = Buffer::Create(base::Chars(dir), Buffer::BufferKind::Directory);
      if (dirs[set] == nullptr) std::abort();
      for (const std::string& file : Files(set)) {
        const std::string path = dir + "/" + fs::path(file).stem().string();
        const Buffer::Ref text = Buffer::Create(base::Chars(path), Buffer::BufferKind::Text);
        if (text == nullptr ||
            FileSystem::LoadText(base::Chars(file), text) != FileSystem::kNoError)
          std::abort();
        hits[set] += Occurrences(text);
      }
      if (hits[set] != kHits) std::abort();
    }
  }

  std::int64_t hits[2] = {};

  static std::int64_t Occurrences(Buffer::Ref text) {
    std::int64_t n = 0;
    for (std::int32_t line = 1; line <= Lines::Count(text); ++line)
      if (Lines::View(text, line).find(kWord) != std::string_view::npos) ++n;
    return n;
  }
};

World& TheWorld() {
  static World world;
  return world;
}

// The last line the List text got.
std::string LastListed() {
  const Buffer::Ref list = Shell::ListText();
  return std::string(Lines::View(list, Lines::Count(list)));
}

void BM_FindAll(benchmark::State& state) {
  World& w = TheWorld();
  Buffer::SetCurrent(w.dirs[state.range(0)]);
  Timer timer;
  for (auto _ : state) {
    w.backend.AnswerStrings(true, {kAbsent});
    FindAll::FindAll();
  }
  timer.Record(state, "FindAll/" + SetName(state.range(0)));
  if (LastListed() != "Search string found in 0 module(s).")
    state.SkipWithError(LastListed().c_str());
}

void BM_ReplaceAll(benchmark::State& state) {
  World& w = TheWorld();
  Buffer::SetCurrent(w.dirs[state.range(0)]);
  // Replacing the word and then its replacement gives every iteration the same work.
  bool forth = true;
  Timer timer;
  for (auto _ : state) {
    w.backend.AnswerStrings(true, {forth ? kWord : kOther, forth ? kOther : kWord});
    FindAll::ReplaceAll();
    forth = !forth;
  }
  timer.Record(state, "ReplaceAll/" + SetName(state.range(0)));
  if (!forth) {
    // The texts get their word back, untimed.
    w.backend.AnswerStrings(true, {kOther, kWord});
    FindAll::ReplaceAll();
  }
  const std::string expected = state.range(0) == 0 ? "Search string replaced in 200 module(s)."
                                                   : "Search string replaced in 1 module(s).";
  if (LastListed() != expected) state.SkipWithError(LastListed().c_str());
}

// Runs a host tool with its output to a file; false when it failed.
bool Run(std::vector<std::string> args, const std::string& out) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  const bool spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!spawned) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status);
}

void BM_Grep(benchmark::State& state) {
  const std::vector<std::string> files = Files(state.range(0));
  const std::string out = (DataDirectory() / "grep.out").string();
  // grep -r over the directory of the 200 texts; the big text is the one file.
  const std::string target =
      state.range(0) == 0 ? fs::path(files[0]).parent_path().string() : files[0];
  Timer timer;
  for (auto _ : state)
    if (!Run({"grep", "-F", "-r", "-c", kAbsent, target}, out)) state.SkipWithError("grep failed");
  timer.Record(state, "grep/" + SetName(state.range(0)));
}

void BM_Sed(benchmark::State& state) {
  const std::vector<std::string> files = Files(state.range(0));
  const std::string out = (DataDirectory() / "sed.out").string();
  std::vector<std::string> args = {"sed", std::string("s/") + kWord + "/" + kOther + "/g"};
  args.insert(args.end(), files.begin(), files.end());
  Timer timer;
  for (auto _ : state)
    if (!Run(args, out)) state.SkipWithError("sed failed");
  timer.Record(state, "sed/" + SetName(state.range(0)));
  fs::remove(out);
}

#define FIND_ALL_BENCH(name)                                                                       \
  BENCHMARK(name)                                                                                  \
      ->Arg(0)                                                                                     \
      ->Arg(1)                                                                                     \
      ->Unit(benchmark::kMillisecond)                                                              \
      ->UseRealTime()                                                                              \
      ->MinTime(1.0)                                                                               \
      ->Repetitions(5)                                                                             \
      ->ReportAggregatesOnly(true)

FIND_ALL_BENCH(BM_FindAll);
FIND_ALL_BENCH(BM_Grep);
FIND_ALL_BENCH(BM_ReplaceAll);
FIND_ALL_BENCH(BM_Sed);

double Median(const std::string& key) {
  const auto it = secondsPerIteration.find(key);
  if (it == secondsPerIteration.end()) return 0.0;
  std::vector<double> runs = it->second;
  std::sort(runs.begin(), runs.end());
  const std::size_t n = runs.size();
  return n % 2 == 1 ? runs[n / 2] : (runs[n / 2 - 1] + runs[n / 2]) / 2;
}

void Summary() {
  std::printf("\nFind All and Replace All against the host tools (median ms per run):\n");
  for (std::int64_t set = 0; set < 2; ++set) {
    const std::string s = SetName(set);
    const struct {
      const char* what;
      std::string ours, theirs;
    } pairs[] = {{"FindAll / grep -F -r -c", "FindAll/" + s, "grep/" + s},
                 {"ReplaceAll / sed s///g", "ReplaceAll/" + s, "sed/" + s}};
    for (const auto& p : pairs) {
      const double ours = Median(p.ours);
      const double theirs = Median(p.theirs);
      if (ours <= 0 || theirs <= 0) continue;
      std::printf("  %-8s %-24s %8.1f / %8.1f = %5.2f  goal <= 1.0  %s\n", s.c_str(), p.what,
                  ours * 1000, theirs * 1000, ours / theirs, ours <= theirs ? "met" : "MISSED");
    }
  }
}

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Summary();
  return 0;
}
