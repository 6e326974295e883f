// Loading and storing large texts, against the host's own tools in the same run.
//
// The data are source-like texts of 1M, 2M and 4M lines (0 to 99 characters each,
// about 50 MB per million lines), generated from a fixed seed into
// $TMPDIR/velmarin-loadstore/ on the first run and reused afterwards. Each iteration
// loads into a fresh buffer and deletes it. After the benchmarks a summary prints the
// ratios against their goals:
//   LoadText / `wc -l`             at most 25 (stretch 12)
//   LoadText / vector<string>      at most 1.0 (fresh processes: also on the 4M text)
//   LoadText 4M / LoadText 2M      at most 2.2
//   StoreText / std::ofstream      at most 1.2 (the store also flushes the file to disk)
//   peak memory / file size        at most 2.5
// The load ratios are given twice: for the repeated loads of the benchmark loop, and
// for the first load of a fresh process (which also gives the peak resident size; the
// median of three processes). A fresh process takes all of its memory from the system
// anew, so the vector<string> baseline of the 4M text is measured in fresh processes
// too, taking turns with the loads so that each meets the same conditions.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

#include "SourceFiles.h"
#include "store/Buffer.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMillion = 1'000'000;
constexpr char kPeakChildVariable[] = "VELMARIN_LOADSTORE_PEAK";
constexpr char kVectorChildVariable[] = "VELMARIN_LOADSTORE_VECTOR";

// Seconds per iteration of every run of each benchmark (one per repetition), for the
// summary, which takes their median.
std::map<std::string, std::vector<double>> secondsPerIteration;

struct Timer {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  void Record(benchmark::State& state, const std::string& name) const {
    if (state.iterations() == 0) return;
    const std::chrono::duration<double> total = std::chrono::steady_clock::now() - start;
    secondsPerIteration[name].push_back(total.count() / double(state.iterations()));
  }
};

std::string Key(const char* what, std::int64_t lines) {
  return std::string(what) + "/" + std::to_string(lines / kMillion) + "M";
}

using base::Chars;

void LoadInto(const std::string& file, Buffer::Ref& text) {
  text = Buffer::Create("/User/Bench", Buffer::BufferKind::Text);
  if (text == nullptr || FileSystem::LoadText(Chars(file), text) != FileSystem::kNoError)
    std::abort();
}

void BM_LoadText(benchmark::State& state) {
  const std::string file = SourceFiles::Path(state.range(0));
  Timer timer;
  for (auto _ : state) {
    Buffer::Ref text;
    LoadInto(file, text);
    benchmark::DoNotOptimize(Lines::Count(text));
    Buffer::Delete(text);
  }
  timer.Record(state, Key("LoadText", state.range(0)));
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fs::file_size(file)));
}

int Run(std::vector<const char*> argv) {
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv.data()), environ) != 0)
    std::abort();
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

void BM_WcL(benchmark::State& state) {
  const std::string file = SourceFiles::Path(state.range(0));
  Timer timer;
  for (auto _ : state) Run({"wc", "-l", file.c_str()});
  timer.Record(state, Key("wc -l", state.range(0)));
}

std::vector<std::string> ReadVector(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

void BM_VectorOfLines(benchmark::State& state) {
  const std::string file = SourceFiles::Path(state.range(0));
  Timer timer;
  for (auto _ : state) {
    std::vector<std::string> lines = ReadVector(file);
    benchmark::DoNotOptimize(lines.data());
  }
  timer.Record(state, Key("vector<string>", state.range(0)));
}

void BM_StoreText(benchmark::State& state) {
  const std::string file = SourceFiles::Path(state.range(0));
  const std::string out = (SourceFiles::Directory() / "stored.mod").string();
  Buffer::Ref text;
  LoadInto(file, text);
  Timer timer;
  for (auto _ : state)
    if (FileSystem::StoreText(text, Chars(out)) != FileSystem::kNoError) std::abort();
  timer.Record(state, Key("StoreText", state.range(0)));
  Buffer::Delete(text);
  if (fs::file_size(out) != fs::file_size(file)) std::abort();
  fs::remove(out);
}

void BM_OfstreamLines(benchmark::State& state) {
  const std::vector<std::string> lines = ReadVector(SourceFiles::Path(state.range(0)));
  const std::string out = (SourceFiles::Directory() / "written.mod").string();
  Timer timer;
  for (auto _ : state) {
    std::ofstream stream(out, std::ios::binary);
    for (const std::string& line : lines) stream << line << '\n';
  }
  timer.Record(state, Key("ofstream", state.range(0)));
  fs::remove(out);
}

BENCHMARK(BM_LoadText)
    ->Arg(kMillion)
    ->Arg(2 * kMillion)
    ->Arg(4 * kMillion)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_WcL)->Arg(2 * kMillion)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_VectorOfLines)
    ->Arg(2 * kMillion)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_StoreText)
    ->Arg(2 * kMillion)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_OfstreamLines)
    ->Arg(2 * kMillion)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

long MaxRssBytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

// In a fresh process: the time of one LoadText, the growth of the peak resident size
// over it, and the bytes the store holds afterwards. Printed as three numbers.
int PeakChild(const char* file) {
  Buffer::Init();
  Buffer::ShellTree tree;
  if (!Buffer::ShellStart(tree)) return 1;
  const long before = MaxRssBytes();
  const auto start = std::chrono::steady_clock::now();
  Buffer::Ref text;
  LoadInto(file, text);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const long after = MaxRssBytes();
  std::int64_t allocated, allocated2, available;
  Buffer::MemoryInfo(allocated, allocated2, available);
  std::printf("%.6f %ld %lld\n", seconds.count(), after - before,
              static_cast<long long>(allocated));
  return 0;
}

// The same figures for reading the file into a vector<string> in a fresh process.
int VectorChild(const char* file) {
  const long before = MaxRssBytes();
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> lines = ReadVector(file);
  benchmark::DoNotOptimize(lines.data());
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %ld 0\n", seconds.count(), MaxRssBytes() - before);
  return 0;
}

struct ChildFigures {
  double seconds = 0, peak = 0, held = 0;
};

// Runs a child (PeakChild or VectorChild, chosen by variable) for file in a new copy
// of this program.
bool RunChildOnce(const char* variable, const std::string& file, ChildFigures& figures) {
  const std::string setting = std::string(variable) + "=" + file;
  const std::string command = "env '" + setting + "' /proc/" + std::to_string(getpid()) + "/exe";
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return false;
  long long p = 0, h = 0;
  const bool ok = std::fscanf(child, "%lf %lld %lld", &figures.seconds, &p, &h) == 3;
  pclose(child);
  figures.peak = double(p);
  figures.held = double(h);
  return ok;
}

// A kind of fresh process and the figures of its runs.
struct ChildRuns {
  const char* variable;
  std::string file;
  std::vector<ChildFigures> runs;

  // The median time of the runs and the largest peak among them.
  ChildFigures Median() const {
    std::vector<ChildFigures> sorted = runs;
    std::sort(sorted.begin(), sorted.end(),
              [](const ChildFigures& a, const ChildFigures& b) { return a.seconds < b.seconds; });
    ChildFigures figures = sorted[sorted.size() / 2];
    for (const ChildFigures& run : sorted) figures.peak = std::max(figures.peak, run.peak);
    return figures;
  }
};

// Three rounds in which each kind of child runs once. The time a fresh process takes
// varies with how quickly the host finds memory for it, and with what the processes
// before it left behind; taking turns gives every kind the same conditions.
bool RunChildren(std::vector<ChildRuns>& kinds) {
  for (int round = 0; round < 3; ++round) {
    for (ChildRuns& kind : kinds) {
      ChildFigures figures;
      if (!RunChildOnce(kind.variable, kind.file, figures)) return false;
      kind.runs.push_back(figures);
    }
  }
  return true;
}

void Summary() {
  auto seconds = [](const std::string& key) {
    const auto it = secondsPerIteration.find(key);
    if (it == secondsPerIteration.end()) return 0.0;
    std::vector<double> runs = it->second;
    std::sort(runs.begin(), runs.end());
    const std::size_t n = runs.size();
    return n % 2 == 1 ? runs[n / 2] : (runs[n / 2 - 1] + runs[n / 2]) / 2;
  };
  auto line = [](const char* what, double ratio, double goal, double stretch) {
    if (ratio <= 0) return;
    std::printf("  %-34s %7.2f  goal <= %.1f%s  %s\n", what, ratio, goal,
                stretch > 0 ? (" (stretch <= " + std::to_string(int(stretch)) + ")").c_str() : "",
                ratio <= goal ? "met" : "MISSED");
  };
  const double load2 = seconds("LoadText/2M");
  std::printf("\nLoad and store, 2M lines (ratios of median seconds per iteration):\n");
  if (seconds("wc -l/2M") > 0) line("LoadText / wc -l", load2 / seconds("wc -l/2M"), 25, 12);
  if (seconds("vector<string>/2M") > 0)
    line("LoadText / vector<string>", load2 / seconds("vector<string>/2M"), 1.0, 0);
  if (load2 > 0) line("LoadText 4M / LoadText 2M", seconds("LoadText/4M") / load2, 2.2, 0);
  if (seconds("ofstream/2M") > 0)
    line("StoreText / ofstream", seconds("StoreText/2M") / seconds("ofstream/2M"), 1.2, 0);
  // The first load of a fresh process, which meets a store that has never freed memory.
  std::vector<ChildRuns> kinds = {{kPeakChildVariable, SourceFiles::Path(2 * kMillion), {}},
                                  {kPeakChildVariable, SourceFiles::Path(4 * kMillion), {}},
                                  {kVectorChildVariable, SourceFiles::Path(4 * kMillion), {}}};
  if (RunChildren(kinds)) {
    const ChildFigures two = kinds[0].Median(), four = kinds[1].Median();
    const ChildFigures vector4 = kinds[2].Median();
    const double size = double(fs::file_size(SourceFiles::Path(2 * kMillion)));
    std::printf("First load in a fresh process (median of 3): 2M %.0f ms, 4M %.0f ms, "
                "vector<string> 4M %.0f ms\n",
                two.seconds * 1000, four.seconds * 1000, vector4.seconds * 1000);
    if (seconds("wc -l/2M") > 0)
      line("fresh LoadText / wc -l", two.seconds / seconds("wc -l/2M"), 25, 12);
    if (seconds("vector<string>/2M") > 0)
      line("fresh LoadText / vector<string>", two.seconds / seconds("vector<string>/2M"), 1.0, 0);
    line("fresh LoadText 4M / fresh vector 4M", four.seconds / vector4.seconds, 1.0, 0);
    line("fresh LoadText 4M / 2M", four.seconds / two.seconds, 2.2, 0);
    line("peak resident growth / file size", two.peak / size, 2.5, 0);
    line("(store bytes + 1 MB image) / file size", (two.held + double(1 << 20)) / size, 2.5, 0);
  }
}

} // namespace

int main(int argc, char** argv) {
  if (const char* file = std::getenv(kPeakChildVariable)) return PeakChild(file);
  if (const char* file = std::getenv(kVectorChildVariable)) return VectorChild(file);
  Buffer::Init();
  Buffer::ShellTree tree;
  if (!Buffer::ShellStart(tree)) return 1;
  FileSystem::SetLoadViaImage(true);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Summary();
  return 0;
}
