// Code page 932 to UTF-8, the drawing and clipboard road, beside glibc iconv on the same text.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/BenchSupport.h"
#include "platform/Locale.h"

namespace {

void BM_SjisToUtf8_Ours(benchmark::State& State) {
  const std::string& text = rid::bench::JapaneseProgramText();
  for (auto _ : State) benchmark::DoNotOptimize(rid::SjisToUtf8(text));
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * text.size()));
}
BENCHMARK(BM_SjisToUtf8_Ours)->Unit(benchmark::kMillisecond);

void BM_SjisToUtf8_Iconv(benchmark::State& State) {
  const std::string& text = rid::bench::JapaneseProgramText();
  iconv_t cd = iconv_open("UTF-8", "CP932");
  for (auto _ : State) benchmark::DoNotOptimize(rid::bench::Iconv(cd, text, 3));
  iconv_close(cd);
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * text.size()));
}
BENCHMARK(BM_SjisToUtf8_Iconv)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const std::string& text = rid::bench::JapaneseProgramText();
  iconv_t cd = iconv_open("UTF-8", "CP932");
  const std::string theirs = rid::bench::Iconv(cd, text, 3);
  const bool same = rid::SjisToUtf8(text) == theirs;
  const double ours = rid::bench::BestTime([&] { return rid::SjisToUtf8(text); });
  const double iconvTime = rid::bench::BestTime([&] { return rid::bench::Iconv(cd, text, 3); });
  iconv_close(cd);
  std::printf("932 to UTF-8 on %zu bytes: us %.2f ms, iconv %.2f ms, same output: %s\n",
              text.size(), ours * 1e3, iconvTime * 1e3, same ? "yes" : "NO");
  std::printf("ratio us/iconv: %.3f\n", ours / iconvTime);
  return same ? 0 : 1;
}
