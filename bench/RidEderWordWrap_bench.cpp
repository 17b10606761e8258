// Word wrap of a 1,000,000-line file, and the re-wrap one keystroke at its top costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "editor/RidEderTextBuffer.h"
#include "editor/RidEderWordWrap.h"

namespace {

using namespace rid;

class TBigFile : public IRidWordWrapEditor {
 public:
  TBigFile() {
    std::mt19937 rng(1);
    static const char* words[] = {
        "print", "$x", " ",     "\t", "\x82\xa0\x82\xa2", "=", "foo_bar", ";", "\x8a\xbf\x8e\x9a",
        "(",     ")",  "return"};
    Lines.BeginUpdate();
    for (int i = 0; i < 1000000; ++i) {
      std::string line;
      const int n = std::uniform_int_distribution<int>(0, 40)(rng);
      for (int k = 0; k < n; ++k) line += words[rng() % std::size(words)];
      Lines.Add(line);
    }
    Lines.EndUpdate();
  }
  int32_t GetLineCount() override { return Lines.GetCount(); }
  std::string GetExpandedString(int32_t Index) override { return Lines.GetExpandedString(Index); }
  int32_t GetCharsInWindow() override { return 80; }
  TRidCharSet GetIdentChars() override { return TRidCharSet::Range(33, 255); }
  TRidEderStringList Lines;
};

TBigFile& File() {
  static TBigFile* file = new TBigFile;
  return *file;
}

TRidWordWrapPlugin& Wrap() {
  static TRidWordWrapPlugin* wrap = new TRidWordWrapPlugin(&File());
  return *wrap;
}

// One keystroke on line 0: a character typed or taken back. Typing across the row boundary
// changes the row count, so the tables behind the line shift too.
void Keystroke(int Step, bool CrossRow = true) {
  std::string line((CrossRow ? 80 : 10) + Step % 2, 'a');
  File().Lines.Put(0, line);
  benchmark::DoNotOptimize(Wrap().LinesPutted(0, 1));
}

void BM_WrapWholeFile(benchmark::State& state) {
  for (auto _ : state) {
    Wrap().Reset();
    benchmark::DoNotOptimize(Wrap().RowCount());
  }
  state.counters["rows"] = Wrap().RowCount();
}
BENCHMARK(BM_WrapWholeFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_KeystrokeAtTop(benchmark::State& state) {
  int step = 0;
  for (auto _ : state) Keystroke(step++);
}
BENCHMARK(BM_KeystrokeAtTop)->Unit(benchmark::kMicrosecond);

void BM_KeystrokeWithinRow(benchmark::State& state) {
  int step = 0;
  for (auto _ : state) Keystroke(step++, false);
}
BENCHMARK(BM_KeystrokeWithinRow)->Unit(benchmark::kMicrosecond);

double Median(bool CrossRow) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> times;
  for (int i = 0; i < 200; ++i) {
    const auto t0 = Clock::now();
    Keystroke(i, CrossRow);
    times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double Seconds(std::chrono::steady_clock::duration D) {
  return std::chrono::duration<double>(D).count();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  using Clock = std::chrono::steady_clock;
  auto t0 = Clock::now();
  Wrap().Reset();
  const double full = Seconds(Clock::now() - t0);
  const double key = Median(true);
  const double within = Median(false);
  std::printf("whole wrap of %d lines (%d rows): %.1f ms\n", File().GetLineCount(),
              Wrap().RowCount(), full * 1e3);
  std::printf("one keystroke at the top, row count changes (median): %.1f us (1/%.0f)\n", key * 1e6,
              full / key);
  std::printf("one keystroke at the top, within a row (median): %.2f us (1/%.0f)\n", within * 1e6,
              full / within);
  return key * 100 < full ? 0 : 1;
}
