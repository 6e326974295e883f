// Formatting and scanning of numbers, each beside the C library routine that does
// the nearest thing, so that changes can be judged as ratios to the baseline.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/NumberIn.h"
#include "base/NumberOut.h"

namespace {

constexpr std::int32_t kInts[] = {0, 7, -42, 123456, -2147483647, 99999};
constexpr double kReals[] = {0.0, 1234.567, -0.000123, 6.02214076e23, 1.0 / 3.0, -98765.4321};
const char* const kIntTexts[] = {"0", " 7", "-42", "123456", "-2147483", "99999"};
const char* const kRealTexts[] = {"0",     "1234.567",   "-1.23E-4", "6.02214076e23",
                                  ".3333", "-98765,4321"};
const char* const kSITexts[] = {"0",     "1.234567 k",  "-123u", "602.214076 Y",
                                ".3333", "-98.7654321k"};
constexpr std::size_t kCount = 6;

template <typename Append> void Format(benchmark::State& state, Append append) {
  char s[64];
  std::size_t i = 0;
  for (auto _ : state) {
    s[0] = 0;
    append(s, i);
    benchmark::DoNotOptimize(s);
    benchmark::ClobberMemory();
    i = (i + 1) % kCount;
  }
}

void BM_AppendInt(benchmark::State& state) {
  Format(state, [](char(&s)[64], std::size_t i) { NumberOut::AppendInt(kInts[i], s, 12); });
}
void BM_BaselineSnprintfInt(benchmark::State& state) {
  Format(state, [](char(&s)[64], std::size_t i) { std::snprintf(s, sizeof s, "%12d", kInts[i]); });
}
void BM_AppendReal(benchmark::State& state) {
  Format(state, [](char(&s)[64], std::size_t i) { NumberOut::AppendReal(kReals[i], s, 14); });
}
void BM_BaselineSnprintfE(benchmark::State& state) {
  Format(state,
         [](char(&s)[64], std::size_t i) { std::snprintf(s, sizeof s, "% .*E", 7, kReals[i]); });
}
void BM_AppendFixed(benchmark::State& state) {
  Format(state, [](char(&s)[64], std::size_t i) { NumberOut::AppendFixed(kReals[i], s, 16, 4); });
}
void BM_BaselineSnprintfF(benchmark::State& state) {
  Format(state,
         [](char(&s)[64], std::size_t i) { std::snprintf(s, sizeof s, "% .*f", 4, kReals[i]); });
}
void BM_AppendEng(benchmark::State& state) {
  Format(state, [](char(&s)[64], std::size_t i) { NumberOut::AppendEng(kReals[i], s, 12); });
}

template <typename Scan>
void Read(benchmark::State& state, const char* const (&texts)[kCount], Scan scan) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(scan(texts[i]));
    i = (i + 1) % kCount;
  }
}

void BM_ScanInt(benchmark::State& state) {
  Read(state, kIntTexts, [](const char* text) {
    std::size_t pos = 0;
    std::int32_t value = 0;
    return NumberIn::ScanInt(base::CharsOf(text), pos, value) ? value : 0;
  });
}
void BM_BaselineStrtol(benchmark::State& state) {
  Read(state, kIntTexts, [](const char* text) { return std::strtol(text, nullptr, 10); });
}
void BM_ScanReal(benchmark::State& state) {
  Read(state, kRealTexts, [](const char* text) {
    std::size_t pos = 0;
    double value = 0.0;
    return NumberIn::ScanReal(base::CharsOf(text), pos, value) ? value : 0.0;
  });
}
void BM_BaselineStrtod(benchmark::State& state) {
  Read(state, kRealTexts, [](const char* text) { return std::strtod(text, nullptr); });
}
void BM_ScanRealSI(benchmark::State& state) {
  Read(state, kSITexts, [](const char* text) {
    std::size_t pos = 0;
    double value = 0.0;
    return NumberIn::ScanRealSI(base::CharsOf(text), pos, value) ? value : 0.0;
  });
}

} // namespace

BENCHMARK(BM_AppendInt);
BENCHMARK(BM_BaselineSnprintfInt);
BENCHMARK(BM_AppendReal);
BENCHMARK(BM_BaselineSnprintfE);
BENCHMARK(BM_AppendFixed);
BENCHMARK(BM_BaselineSnprintfF);
BENCHMARK(BM_AppendEng);
BENCHMARK(BM_ScanInt);
BENCHMARK(BM_BaselineStrtol);
BENCHMARK(BM_ScanReal);
BENCHMARK(BM_BaselineStrtod);
BENCHMARK(BM_ScanRealSI);

int main(int argc, char** argv) {
  NumberIn::Init();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
