#pragma once
// What several benchmarks share: the Japanese test text, real Perl source, and a best-of timer
// for the ratio lines.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace rid::bench {

// About 4 MB of Japanese program text: JIS level 1 kanji, hiragana, katakana, half-width kana,
// ASCII words and CR LF line breaks; every pair is a valid code page 932 character.
inline const std::string& JapaneseProgramText() {
  static const std::string text = [] {
    std::string s;
    uint32_t seed = 2024;
    auto next = [&](uint32_t n) {
      seed = seed * 1664525 + 1013904223;
      return (seed >> 8) % n;
    };
    auto trail = [&]() {
      const uint32_t t = 0x40 + next(0xFC - 0x40);
      return static_cast<char>(t == 0x7F ? 0x80 : t);
    };
    while (s.size() < 4 * 1024 * 1024) {
      for (int words = 2 + next(8); words > 0; --words) {
        switch (next(5)) {
          case 0:  // kanji of JIS level 1
            for (int k = 1 + next(4); k > 0; --k)
              s += {static_cast<char>(0x89 + next(14)), trail()};
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

// The files under Roots whose extension is one of Exts, in a fixed order.
inline std::vector<std::filesystem::path> FilesUnder(std::initializer_list<const char*> Roots,
                                                     std::initializer_list<std::string_view> Exts) {
  std::vector<std::filesystem::path> files;
  for (const char* root : Roots) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (std::find(Exts.begin(), Exts.end(), it->path().extension().string()) != Exts.end())
        files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The Perl modules installed with perl, in a fixed order.
inline std::vector<std::filesystem::path> PerlModuleFiles() {
  return FilesUnder({"/usr/share/perl", "/usr/lib/x86_64-linux-gnu/perl"}, {".pm"});
}

// About 4 MB of real Perl: the modules installed with perl, in a fixed order.
inline const std::string& InstalledPerlModules() {
  static const std::string text = [] {
    std::string s;
    for (const auto& f : PerlModuleFiles()) {
      std::ifstream in(f, std::ios::binary);
      std::ostringstream o;
      o << in.rdbuf();
      s += o.str();
      if (s.size() >= 4 * 1024 * 1024) break;
    }
    if (s.empty()) {
      fprintf(stderr, "no Perl modules found: install perl (scripts/setup-deps.sh)\n");
      exit(1);
    }
    return s;
  }();
  return text;
}

// The lines of Text without their LF.
inline std::vector<std::string_view> SplitLines(std::string_view Text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find('\n', start);
    if (end == std::string_view::npos) end = Text.size();
    lines.push_back(Text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// In converted by Cd, whose output is at most Factor bytes an input byte.
inline std::string Iconv(iconv_t Cd, const std::string& In, size_t Factor) {
  std::string out(In.size() * Factor + 16, '\0');
  char* ip = const_cast<char*>(In.data());
  char* op = out.data();
  size_t il = In.size(), ol = out.size();
  iconv(Cd, nullptr, nullptr, nullptr, nullptr);
  iconv(Cd, &ip, &il, &op, &ol);
  out.resize(out.size() - ol);
  return out;
}

// Seconds on a clock: the wall clock, or this process's CPU time.
inline double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
inline double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A folder of this run's own under the temporary folder, named Name and the process id, for
// the files a benchmark and its peer programs read and write.
inline std::filesystem::path RunFolder(const std::string& Name) {
  auto dir = std::filesystem::temp_directory_path() / (Name + "-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

// The best of a few runs of Run, each after an untimed Prepare, in seconds on Clock.
template <typename P, typename F>
double BestTimeAfter(P&& Prepare, F&& Run, int Runs = 5, double (*Clock)() = WallSeconds) {
  double best = 1e9;
  for (int i = 0; i < Runs; ++i) {
    Prepare();
    const double t0 = Clock();
    benchmark::DoNotOptimize(Run());
    best = std::min(best, Clock() - t0);
  }
  return best;
}

// The best of a few runs, in seconds on Clock.
template <typename F>
double BestTime(F&& Run, int Runs = 5, double (*Clock)() = WallSeconds) {
  return BestTimeAfter([] {}, std::forward<F>(Run), Runs, Clock);
}

// The same in CPU time: steadier than the wall clock for a single-threaded computation on a
// machine that other work shares.
template <typename F>
double BestCpuTime(F&& Run, int Runs = 5) {
  return BestTime(std::forward<F>(Run), Runs, CpuSeconds);
}

}  // namespace rid::bench
