// What decoding UTF-8 costs a load: a 4M-line text loaded as it is loaded now, against
// the same file loaded a byte a character (as every file was before texts knew UTF-8),
// in the same run. Two files: all ASCII, and UTF-8 with a word with accents on every
// line (see SourceFiles.h). Each iteration loads into a fresh buffer, checks the text
// (its line count, and that the accents were decoded) and deletes it. Goals, ratios of
// the median processor seconds per load (the machine's other work does not count):
//   ASCII   decoded / a byte a character   at most 1.1
//   accents decoded / a byte a character   at most 1.5
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "SourceFiles.h"
#include "store/Buffer.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

namespace {

constexpr std::int64_t kLines = 4'000'000;

std::map<std::string, std::vector<double>> secondsPerLoad;

// The processor time this process has used, user and system.
double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// range(0): 1 for the file with accents; range(1): 1 to decode.
void BM_Load(benchmark::State& state) {
  const bool accents = state.range(0) != 0, decoding = state.range(1) != 0;
  const std::string file = SourceFiles::Path(kLines, accents);
  FileSystem::Testing::SetDecoding(decoding);
  const Charset::Coding expected = decoding ? Charset::Coding::Utf8 : Charset::Coding::Bytes;
  const double start = ProcessSeconds();
  for (auto _ : state) {
    Buffer::Ref text = Buffer::Create("/User/Bench", Buffer::BufferKind::Text);
    if (text == nullptr || FileSystem::LoadText(base::Chars(file), text) != FileSystem::kNoError ||
        Lines::Count(text) != kLines || Lines::CodingOf(text) != expected)
      std::abort();
    Buffer::Delete(text);
  }
  if (state.iterations() > 0)
    secondsPerLoad[std::string(accents ? "accents" : "ascii") + (decoding ? "/decoded" : "/bytes")]
        .push_back((ProcessSeconds() - start) / double(state.iterations()));
  FileSystem::Testing::SetDecoding(true);
}

BENCHMARK(BM_Load)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

double Median(const std::string& key) {
  std::vector<double> runs = secondsPerLoad[key];
  if (runs.empty()) return 0;
  std::sort(runs.begin(), runs.end());
  const std::size_t n = runs.size();
  return n % 2 == 1 ? runs[n / 2] : (runs[n / 2 - 1] + runs[n / 2]) / 2;
}

void Summary() {
  std::printf("\nLoading 4M lines, decoded against a byte a character (median processor "
              "seconds):\n");
  for (const auto& [kind, goal] : {std::pair{"ascii", 1.1}, std::pair{"accents", 1.5}}) {
    const double bytes = Median(std::string(kind) + "/bytes");
    const double decoded = Median(std::string(kind) + "/decoded");
    if (bytes <= 0 || decoded <= 0) continue;
    const double ratio = decoded / bytes;
    std::printf("  %-8s %.0f ms / %.0f ms = %5.2f  goal <= %.1f  %s\n", kind, decoded * 1000,
                bytes * 1000, ratio, goal, ratio <= goal ? "met" : "MISSED");
  }
}

} // namespace

int main(int argc, char** argv) {
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
