// Code page 932 to UTF-8, the drawing and clipboard road, beside glibc iconv on the same text.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/Locale.h"

namespace {

// About 4 MB of Japanese program text: kanji, hiragana, katakana, half-width kana, ASCII words
// and CR LF line breaks.
const std::string& JapaneseText() {
  static const std::string text = [] {
    std::string s;
    uint32_t seed = 2024;
    auto next = [&](uint32_t n) {
      seed = seed * 1664525 + 1013904223;
      return (seed >> 8) % n;
    };
    auto trail = [&](uint32_t base) {
      uint32_t t = base + next(0xFC - base);
      return static_cast<char>(t == 0x7F ? 0x80 : t);
    };
    while (s.size() < 4 * 1024 * 1024) {
      for (int words = 2 + next(8); words > 0; --words) {
        switch (next(5)) {
          case 0:  // kanji of JIS level 1
            for (int k = 1 + next(4); k > 0; --k)
              s += {static_cast<char>(0x89 + next(14)), trail(0x40)};
            break;
          case 1:  // hiragana
            for (int k = 1 + next(6); k > 0; --k)
              s += {'\x82', static_cast<char>(0x9F + next(0x53))};
            break;
          case 2:  // katakana
            for (int k = 1 + next(6); k > 0; --k)
              s += {'\x83', static_cast<char>(0x40 + next(0x3F))};
            break;
          case 3:  // half-width kana
            for (int k = 1 + next(4); k > 0; --k) s += static_cast<char>(0xA6 + next(0x3A));
            break;
          default:
            for (int k = 1 + next(8); k > 0; --k) s += static_cast<char>('a' + next(26));
            s += next(2) ? " = " : "(); ";
        }
      }
      s += "\r\n";
    }
    return s;
  }();
  return text;
}

std::string IconvToUtf8(iconv_t Cd, const std::string& In) {
  std::string out(In.size() * 3, '\0');
  char* ip = const_cast<char*>(In.data());
  char* op = out.data();
  size_t il = In.size(), ol = out.size();
  iconv(Cd, nullptr, nullptr, nullptr, nullptr);
  iconv(Cd, &ip, &il, &op, &ol);
  out.resize(out.size() - ol);
  return out;
}

void BM_SjisToUtf8_Ours(benchmark::State& State) {
  const std::string& text = JapaneseText();
  for (auto _ : State) benchmark::DoNotOptimize(rid::SjisToUtf8(text));
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * text.size()));
}
BENCHMARK(BM_SjisToUtf8_Ours)->Unit(benchmark::kMillisecond);

void BM_SjisToUtf8_Iconv(benchmark::State& State) {
  const std::string& text = JapaneseText();
  iconv_t cd = iconv_open("UTF-8", "CP932");
  for (auto _ : State) benchmark::DoNotOptimize(IconvToUtf8(cd, text));
  iconv_close(cd);
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * text.size()));
}
BENCHMARK(BM_SjisToUtf8_Iconv)->Unit(benchmark::kMillisecond);

// Best of a few runs, in seconds.
template <typename F>
double BestTime(F&& Run) {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Run());
    best = std::min(best,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const std::string& text = JapaneseText();
  iconv_t cd = iconv_open("UTF-8", "CP932");
  const std::string theirs = IconvToUtf8(cd, text);
  const bool same = rid::SjisToUtf8(text) == theirs;
  const double ours = BestTime([&] { return rid::SjisToUtf8(text); });
  const double iconvTime = BestTime([&] { return IconvToUtf8(cd, text); });
  iconv_close(cd);
  std::printf("932 to UTF-8 on %zu bytes: us %.2f ms, iconv %.2f ms, same output: %s\n",
              text.size(), ours * 1e3, iconvTime * 1e3, same ? "yes" : "NO");
  std::printf("ratio us/iconv: %.3f\n", ours / iconvTime);
  return same ? 0 : 1;
}
