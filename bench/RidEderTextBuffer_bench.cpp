// Loading and saving a 100 MB Shift-JIS file through the line buffer, beside `cat` of the same
// file to /dev/null (the memory-bandwidth bound), with the memory the lines take.
//   us: LoadFromFile reads the file into one buffer of its size and splits it into lines
//       (freeing the lines is not timed); SaveToFile writes them back beside the file through
//       the 16 KiB file writer, syncs and renames it over the old one.
//   cat: reads the file and writes it to /dev/null, its start included.
// The memory a save needs beyond the loaded lines (peak resident size less the size before),
// for SaveToFile and for the program's save in EUC-JP and UTF-8 (converted block by block),
// beside the same saves made from one string of the whole text (what saving did before the
// file writer: SaveToBytes, the whole conversion, then SaveBytesToFileAtomic).
// After Google Benchmark's runs, the best of 5 runs per side and the ratio of loading to cat.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "app/EderSave.h"
#include "bench/BenchSupport.h"
#include "editor/RidEderTextBuffer.h"
#include "foundation/JConv.h"

namespace {

namespace fs = std::filesystem;
constexpr size_t kFileSize = 100u << 20;

// Lines of 0..120 bytes: ASCII, double-byte characters and some tabs, CR LF breaks.
const std::string& BenchFile() {
  static const std::string Path = [] {
    fs::path p = fs::temp_directory_path() / "rideder_bench_sjis_100mb.txt";
    std::error_code ec;
    if (fs::exists(p, ec) && fs::file_size(p, ec) >= kFileSize) return p.string();
    std::ofstream Out(p, std::ios::binary | std::ios::trunc);
    std::mt19937 Rng(2024);
    std::string Chunk;
    size_t Written = 0;
    while (Written < kFileSize) {
      Chunk.clear();
      while (Chunk.size() < (1u << 20)) {
        const size_t Len = Rng() % 121;
        const size_t Start = Chunk.size();
        while (Chunk.size() - Start < Len) {
          const unsigned r = Rng() % 100;
          if (r < 70) {
            Chunk += static_cast<char>(' ' + Rng() % 95);
          } else if (r < 95) {
            Chunk += static_cast<char>(0x88 + Rng() % 0x18);
            unsigned t = 0x40 + Rng() % 0xBC;
            if (t == 0x7F) t = 0x80;
            Chunk += static_cast<char>(t);
          } else {
            Chunk += '\t';
          }
        }
        Chunk += "\r\n";
      }
      Out.write(Chunk.data(), static_cast<std::streamsize>(Chunk.size()));
      Written += Chunk.size();
    }
    return p.string();
  }();
  return Path;
}

size_t FileBytes() { return static_cast<size_t>(fs::file_size(BenchFile())); }

// Resident and peak resident memory of this process in bytes.
size_t StatusValue(const char* Key) {
  std::ifstream In("/proc/self/status");
  std::string Line;
  while (std::getline(In, Line))
    if (Line.rfind(Key, 0) == 0) return std::stoull(Line.substr(std::strlen(Key))) * 1024;
  return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::string CatToDevNull() { return "cat '" + BenchFile() + "' > /dev/null"; }

void BM_CatToDevNull(benchmark::State& State) {
  const std::string Cmd = CatToDevNull();
  for (auto _ : State)
    if (std::system(Cmd.c_str()) != 0) State.SkipWithError("cat failed");
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * FileBytes()));
}

void BM_LoadFromFile(benchmark::State& State) {
  int64_t Lines = 0;
  for (auto _ : State) {
    auto L = std::make_unique<rid::TRidEderStringList>();
    L->LoadFromFile(BenchFile());
    Lines = L->GetCount();
    benchmark::DoNotOptimize(Lines);
    State.PauseTiming();  // freeing the lines is not part of loading
    L.reset();
    State.ResumeTiming();
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * FileBytes()));
  State.counters["lines"] = static_cast<double>(Lines);
}

void BM_SaveToFile(benchmark::State& State) {
  rid::TRidEderStringList L;
  L.LoadFromFile(BenchFile());
  const std::string Out = BenchFile() + ".out";
  for (auto _ : State) L.SaveToFile(Out);
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * FileBytes()));
  std::error_code ec;
  fs::remove(Out, ec);
}

// One line break typed in the middle of the big file: a line inserted and one replaced.
void BM_InsertLineInBigFile(benchmark::State& State) {
  rid::TRidEderStringList L;
  L.LoadFromFile(BenchFile());
  int32_t Where = L.GetCount() / 2;
  for (auto _ : State) {
    L.Insert(Where, "inserted line");
    L.Put(Where + 1, "changed");
    Where = (Where + 997) % (L.GetCount() - 1);
  }
}

// The longest line of the big file, as the horizontal scroll range asks for it: the first time
// (every line measured and counted by length), and after its longest line shrank and grew back,
// which must not measure the file again.
void BM_LongestLineFirstTime(benchmark::State& State) {
  rid::TRidEderStringList L;
  L.LoadFromFile(BenchFile());
  for (auto _ : State) {
    State.PauseTiming();
    L.SetTabWidth(L.GetTabWidth() == 8 ? 4 : 8);  // forgets every length
    State.ResumeTiming();
    benchmark::DoNotOptimize(L.GetLengthOfLongestLine());
  }
}

void BM_LongestLineAfterItShrinks(benchmark::State& State) {
  rid::TRidEderStringList L;
  L.LoadFromFile(BenchFile());
  const int32_t Longest = L.GetLengthOfLongestLine();
  int32_t Index = 0;
  while (L.GetExpandedStringLength(Index) != Longest) ++Index;
  const std::string Text = L.Get(Index);
  for (auto _ : State) {
    L.Put(Index, Text.substr(0, Text.size() / 2));
    benchmark::DoNotOptimize(L.GetLengthOfLongestLine());
    L.Put(Index, Text);
    benchmark::DoNotOptimize(L.GetLengthOfLongestLine());
  }
}

// Memory per line: what stays resident with the lines loaded, and the peak while loading
// (which also holds the file's bytes once).
void BM_MemoryPerLine(benchmark::State& State) {
  for (auto _ : State) {
    State.PauseTiming();
    const size_t Before = StatusValue("VmRSS:");
    ResetPeak();
    State.ResumeTiming();
    rid::TRidEderStringList L;
    L.LoadFromFile(BenchFile());
    State.PauseTiming();
    const double Lines = L.GetCount();
    State.counters["resident_B_per_line"] = (StatusValue("VmRSS:") - Before) / Lines;
    State.counters["peak_B_per_line"] = (StatusValue("VmHWM:") - Before) / Lines;
    State.counters["text_B_per_line"] = FileBytes() / Lines;
    State.counters["record_B"] = sizeof(rid::TRidEderStringRec);
    State.ResumeTiming();
  }
}

// Megabytes a save needs beyond what the process held before it.
template <class F>
double SavePeakMB(F Save) {
  const size_t Before = StatusValue("VmRSS:");
  ResetPeak();
  Save();
  return (StatusValue("VmHWM:") - Before) / 1048576.0;
}

struct TSaveWay {
  const char* Name;
  rid::JCodeKind Code;
  bool Whole;  // from one string of the whole text, as saving did before the file writer
};
constexpr TSaveWay kSaveWays[] = {
    {"SaveToFile", rid::jcSjis, false},    {"whole Shift-JIS", rid::jcSjis, true},
    {"save in EUC-JP", rid::jcEuc, false}, {"whole EUC-JP", rid::jcEuc, true},
    {"save in UTF-8", rid::jcUtf8, false}, {"whole UTF-8", rid::jcUtf8, true},
};

void Save(rid::TRidEderStringList& L, const TSaveWay& Way, const std::string& Out) {
  if (!Way.Whole) {
    if (Way.Code == rid::jcSjis)
      L.SaveToFile(Out);
    else
      rid::SaveInCode(L, Way.Code, Out);
    return;
  }
  const std::string Text = L.SaveToBytes();
  if (Way.Code == rid::jcSjis)
    rid::SaveBytesToFileAtomic(Out, Text);
  else
    rid::SaveBytesToFileAtomic(
        Out, Way.Code == rid::jcEuc ? rid::SjisToEuc(Text) : rid::SjisToUtf8(Text));
}

void BM_SavePeakMemory(benchmark::State& State) {
  rid::TRidEderStringList L;
  L.LoadFromFile(BenchFile());
  const std::string Out = BenchFile() + ".out";
  for (auto _ : State) {
    State.PauseTiming();
    for (const TSaveWay& Way : kSaveWays)
      State.counters[std::string(Way.Name) + "_MB"] = SavePeakMB([&] { Save(L, Way, Out); });
    State.ResumeTiming();
  }
  std::error_code ec;
  fs::remove(Out, ec);
}

// Memory first, while the heap is fresh.
BENCHMARK(BM_MemoryPerLine)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_CatToDevNull)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_InsertLineInBigFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LongestLineFirstTime)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_LongestLineAfterItShrinks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SavePeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The best of 5 loads, each into a list of its own that is freed after the clock stops.
double BestLoad() {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    auto L = std::make_unique<rid::TRidEderStringList>();
    const double t0 = rid::bench::WallSeconds();
    L->LoadFromFile(BenchFile());
    best = std::min(best, rid::bench::WallSeconds() - t0);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const std::string cat = CatToDevNull();
  const double catTime = rid::bench::BestTime([&] { return std::system(cat.c_str()); });
  const double load = BestLoad();
  rid::TRidEderStringList L;
  L.LoadFromFile(BenchFile());
  const std::string out = BenchFile() + ".out";
  const double save = rid::bench::BestTime([&] {
    L.SaveToFile(out);
    return L.GetCount();
  });
  std::error_code ec;
  fs::remove(out, ec);
  const double mb = static_cast<double>(FileBytes()) / (1 << 20);
  std::printf(
      "%.0f MB, %d lines, best of 5: cat to /dev/null %.1f ms, LoadFromFile %.1f ms,"
      " SaveToFile %.1f ms\n",
      mb, L.GetCount(), catTime * 1e3, load * 1e3, save * 1e3);
  std::printf("ratio LoadFromFile/cat: %.2f\n", load / catTime);
  std::printf("memory a save of the %.0f MB needs beyond the lines:", mb);
  for (const TSaveWay& Way : kSaveWays)
    std::printf(" %s %.1f MB;", Way.Name, SavePeakMB([&] { Save(L, Way, out); }));
  std::printf("\n");
  fs::remove(out, ec);
  return 0;
}
