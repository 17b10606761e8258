// Code conversion and detection beside glibc iconv and nkf on the same text; prints the ratio of
// our time to each peer's at the end (below 1 means we are faster). Each side converts the whole
// text in memory into a new buffer (nkf: a file to /dev/null, its start included). Besides the
// Japanese-heavy text, UTF-8 to Shift-JIS runs on real Perl source (the modules that come with
// perl), mostly ASCII as most source is.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "bench/BenchSupport.h"
#include "foundation/JCode.h"
#include "foundation/JConv.h"

namespace {

const std::string& Sjis() { return rid::bench::JapaneseProgramText(); }
const std::string& Euc() {
  static const std::string s = rid::SjisToEuc(Sjis());
  return s;
}
const std::string& Jis() {
  static const std::string s = rid::SjisToJis(Sjis());
  return s;
}
const std::string& Utf8() {
  static const std::string s = rid::SjisToUtf8(Sjis());
  return s;
}
const std::string& Utf16LE() {
  static const std::string s = rid::ConvertToUtf16LE(Sjis()).substr(2);
  return s;
}

// Detection reads until a byte decides: ASCII all through, the deciding EUC-JP pair at the end.
const std::string& AsciiThenEuc() {
  static const std::string s = [] {
    std::string t;
    while (t.size() < 4 * 1024 * 1024) t += "my $line = <STDIN>; print \"$line\\n\";\r\n";
    return t + "\xA4\xA2\xF0\xA1";
  }();
  return s;
}

// About 4 MB of the Perl modules installed with perl, in UTF-8 with only characters that have
// a Shift-JIS form (others become '?'), so that iconv converts it all.
const std::string& PerlSourceUtf8() {
  static const std::string s = [] {
    std::string t;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it("/usr/share/perl", ec), end;
         !ec && it != end && t.size() < 4 * 1024 * 1024; it.increment(ec)) {
      if (it->path().extension() != ".pm") continue;
      std::ifstream in(it->path(), std::ios::binary);
      t.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (t.size() < 1024 * 1024) {
      std::fprintf(stderr,
                   "JCode_bench: too few Perl modules under /usr/share/perl (package perl)\n");
      std::exit(1);
    }
    return rid::SjisToUtf8(rid::Utf8ToSjis(t));
  }();
  return s;
}

// The text in a file for nkf, removed at exit.
std::string FileOf(const std::string& Name, const std::string& Bytes) {
  static std::map<std::string, std::string> files;
  auto it = files.find(Name);
  if (it != files.end()) return it->second;
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("jcode_bench_" + std::to_string(getpid()) + "_" + Name))
                               .string();
  std::ofstream(path, std::ios::binary) << Bytes;
  files[Name] = path;
  static struct Cleanup {
    ~Cleanup() {
      for (auto& [name, path] : files) std::filesystem::remove(path);
    }
  } cleanup;
  return path;
}

template <typename F>
void Ours(benchmark::State& State, const std::string& In, F Convert) {
  for (auto _ : State) benchmark::DoNotOptimize(Convert(In));
  State.SetBytesProcessed(int64_t(State.iterations() * In.size()));
}

void WithIconv(benchmark::State& State, const std::string& In, const char* To, const char* From,
               size_t Factor) {
  iconv_t cd = iconv_open(To, From);
  if (cd == reinterpret_cast<iconv_t>(-1)) return State.SkipWithError("iconv_open failed");
  for (auto _ : State) benchmark::DoNotOptimize(rid::bench::Iconv(cd, In, Factor));
  iconv_close(cd);
  State.SetBytesProcessed(int64_t(State.iterations() * In.size()));
}

void WithNkf(benchmark::State& State, const std::string& Name, const std::string& In,
             const std::string& Options) {
  const std::string command = "nkf " + Options + " '" + FileOf(Name, In) + "' > /dev/null";
  for (auto _ : State)
    if (std::system(command.c_str()) != 0) return State.SkipWithError("nkf failed");
  State.SetBytesProcessed(int64_t(State.iterations() * In.size()));
}

#define RID_BENCH(Name, Body) \
  BENCHMARK_CAPTURE(Body, Name, 0)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)

void SjisToEuc_ours(benchmark::State& S, int) {
  Ours(S, Sjis(), [](auto& T) { return rid::SjisToEuc(T); });
}
void SjisToEuc_iconv(benchmark::State& S, int) { WithIconv(S, Sjis(), "EUC-JP-MS", "CP932", 2); }
void SjisToEuc_nkf(benchmark::State& S, int) { WithNkf(S, "sjis", Sjis(), "-S -e -x"); }
void EucToSjis_ours(benchmark::State& S, int) {
  Ours(S, Euc(), [](auto& T) { return rid::EucToSjis(T); });
}
void EucToSjis_iconv(benchmark::State& S, int) { WithIconv(S, Euc(), "CP932", "EUC-JP-MS", 1); }
void EucToSjis_nkf(benchmark::State& S, int) { WithNkf(S, "euc", Euc(), "-E -s -x"); }
void SjisToJis_ours(benchmark::State& S, int) {
  Ours(S, Sjis(), [](auto& T) { return rid::SjisToJis(T); });
}
void SjisToJis_nkf(benchmark::State& S, int) { WithNkf(S, "sjis", Sjis(), "-S -j"); }
void JisToSjis_ours(benchmark::State& S, int) {
  Ours(S, Jis(), [](auto& T) { return rid::JisToSjis(T); });
}
void JisToSjis_nkf(benchmark::State& S, int) { WithNkf(S, "jis", Jis(), "-J -s"); }
void SjisToUtf8_ours(benchmark::State& S, int) {
  Ours(S, Sjis(), [](auto& T) { return rid::SjisToUtf8(T); });
}
void SjisToUtf8_iconv(benchmark::State& S, int) { WithIconv(S, Sjis(), "UTF-8", "CP932", 3); }
void SjisToUtf8_nkf(benchmark::State& S, int) { WithNkf(S, "sjis", Sjis(), "-S -w -x"); }
void Utf8ToSjis_ours(benchmark::State& S, int) {
  Ours(S, Utf8(), [](auto& T) { return rid::Utf8ToSjis(T); });
}
void Utf8ToSjis_iconv(benchmark::State& S, int) { WithIconv(S, Utf8(), "CP932", "UTF-8", 1); }
void Utf8ToSjis_nkf(benchmark::State& S, int) { WithNkf(S, "utf8", Utf8(), "-W -s -x"); }
void PerlUtf8ToSjis_ours(benchmark::State& S, int) {
  Ours(S, PerlSourceUtf8(), [](auto& T) { return rid::Utf8ToSjis(T); });
}
void PerlUtf8ToSjis_iconv(benchmark::State& S, int) {
  WithIconv(S, PerlSourceUtf8(), "CP932", "UTF-8", 1);
}
void SjisToUtf16_ours(benchmark::State& S, int) {
  Ours(S, Sjis(), [](auto& T) { return rid::ConvertToUtf16LE(T); });
}
void SjisToUtf16_iconv(benchmark::State& S, int) { WithIconv(S, Sjis(), "UTF-16LE", "CP932", 2); }
void Utf16ToSjis_ours(benchmark::State& S, int) {
  Ours(S, Utf16LE(), [](auto& T) { return rid::Utf16ToSjis(T, false); });
}
void Utf16ToSjis_iconv(benchmark::State& S, int) {
  WithIconv(S, Utf16LE(), "CP932", "UTF-16LE", 1);
}
void Detect_ours(benchmark::State& S, int) {
  Ours(S, AsciiThenEuc(), [](auto& T) { return rid::DetectCharCode(T); });
}
void Detect_nkf(benchmark::State& S, int) { WithNkf(S, "ascii", AsciiThenEuc(), "--guess"); }

RID_BENCH(Euc, SjisToEuc_ours);
RID_BENCH(Euc, SjisToEuc_iconv);
RID_BENCH(Euc, SjisToEuc_nkf);
RID_BENCH(Euc, EucToSjis_ours);
RID_BENCH(Euc, EucToSjis_iconv);
RID_BENCH(Euc, EucToSjis_nkf);
RID_BENCH(Jis, SjisToJis_ours);
RID_BENCH(Jis, SjisToJis_nkf);
RID_BENCH(Jis, JisToSjis_ours);
RID_BENCH(Jis, JisToSjis_nkf);
RID_BENCH(Utf8, SjisToUtf8_ours);
RID_BENCH(Utf8, SjisToUtf8_iconv);
RID_BENCH(Utf8, SjisToUtf8_nkf);
RID_BENCH(Utf8, Utf8ToSjis_ours);
RID_BENCH(Utf8, Utf8ToSjis_iconv);
RID_BENCH(Utf8, Utf8ToSjis_nkf);
RID_BENCH(Utf8, PerlUtf8ToSjis_ours);
RID_BENCH(Utf8, PerlUtf8ToSjis_iconv);
RID_BENCH(Utf16, SjisToUtf16_ours);
RID_BENCH(Utf16, SjisToUtf16_iconv);
RID_BENCH(Utf16, Utf16ToSjis_ours);
RID_BENCH(Utf16, Utf16ToSjis_iconv);
RID_BENCH(Detect, Detect_ours);
RID_BENCH(Detect, Detect_nkf);

// Keeps the best real time per iteration of the runs, keyed by "<operation>_<who>".
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& Reports) override {
    ConsoleReporter::ReportRuns(Reports);
    for (const Run& r : Reports) {
      if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
      std::string name = r.benchmark_name();
      name = name.substr(0, name.find('/'));
      const auto [it, added] = Times.emplace(name, r.GetAdjustedRealTime());
      if (!added) it->second = std::min(it->second, r.GetAdjustedRealTime());
    }
  }
  std::map<std::string, double> Times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf(
      "\nours / peer (best of 5 runs each, time ratio; below 1 is faster), %zu bytes of"
      " Shift-JIS; Perl source %zu bytes of UTF-8:\n",
      Sjis().size(), PerlSourceUtf8().size());
  for (const auto& [name, time] : reporter.Times) {
    const size_t cut = name.rfind('_');
    if (name.substr(cut + 1) != "ours") continue;
    const std::string op = name.substr(0, cut);
    for (const char* peer : {"iconv", "nkf"}) {
      auto it = reporter.Times.find(op + "_" + peer);
      if (it != reporter.Times.end())
        std::printf("  %-12s vs %-5s %6.3f\n", op.c_str(), peer, time / it->second);
    }
  }
  benchmark::Shutdown();
  return 0;
}
