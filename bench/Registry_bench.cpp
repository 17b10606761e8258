// The settings file with a key nested N levels deep, as a hand-made or hostile file may hold
// one, beside QSettings (Qt's own settings store, in its INI format) holding the same key.
//
// Each side stores one other value in its file and writes it back, as the window does when it
// prints: ours is TRegistry on a .reg-style file ("[HKEY_CURRENT_USER\d\d...\d]" and a value),
// QSettings a file it wrote itself with the value "d/d/.../d/v". BM_ times storing again with
// the file already read (a second print). The lines after them start from a copy of the file
// that neither side has read (the first print), each run in a child process of its own: the
// best of 5 times, and the peak memory above the child's start as bytes per byte of the file.
// For N = 30,000 and 100,000. The goal is a peak within 256 times the file's size (a store that
// recursed or copied the path per level needed 1 GB at 30,000).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSettings>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/BenchSupport.h"
#include "platform/Registry.h"

namespace {

using namespace rid;

const std::filesystem::path& Folder() {
  static const std::filesystem::path dir = bench::RunFolder("rid-registry");
  return dir;
}

std::filesystem::path OurFile(int32_t N) {
  return Folder() / ("deep-" + std::to_string(N) + ".ini");
}
std::filesystem::path PeerFile(int32_t N) {
  return Folder() / ("qsettings-" + std::to_string(N) + ".ini");
}

void MakeFiles(int32_t N) {
  if (std::filesystem::exists(OurFile(N))) return;
  std::string path, key;
  for (int32_t i = 0; i < N; ++i) path += "\\d";
  for (int32_t i = 0; i < N; ++i) key += "d/";
  std::ofstream(OurFile(N), std::ios::binary)
      << "[HKEY_CURRENT_USER" << path << "]\n\"v\"=\"end\"\n";
  QSettings peer(QString::fromStdString(PeerFile(N).string()), QSettings::IniFormat);
  peer.setValue(QString::fromStdString(key + "v"), "end");
  peer.sync();
}

// Both sides: store another value in File and write it back. A new value each time, so that
// each run writes.
int Ours(const std::filesystem::path& File) {
  static int run = 0;
  setenv("RIDEDER_REGISTRY", File.c_str(), 1);
  TRegistry r;
  r.OpenKey("\\Software\\rideder\\Print", true);
  r.WriteInteger("Run", ++run);
  r.CloseKey();
  return run;
}

int Peer(const std::filesystem::path& File) {
  static int run = 0;
  QSettings peer(QString::fromStdString(File.string()), QSettings::IniFormat);
  peer.setValue("Software/rideder/Print/Run", ++run);
  peer.sync();
  return run;
}

void BM_Ours(benchmark::State& State) {
  const auto n = static_cast<int32_t>(State.range(0));
  MakeFiles(n);
  for (auto _ : State) benchmark::DoNotOptimize(Ours(OurFile(n)));
}
BENCHMARK(BM_Ours)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_QSettings(benchmark::State& State) {
  const auto n = static_cast<int32_t>(State.range(0));
  MakeFiles(n);
  for (auto _ : State) benchmark::DoNotOptimize(Peer(PeerFile(n)));
}
BENCHMARK(BM_QSettings)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

struct TChildRun {
  double Seconds = -1;
  long PeakGrowth = -1;  // bytes above the child's start
};

// Run in a child: its time, and the peak memory above what the child had at its start.
TChildRun InChild(const std::function<void()>& Run) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    struct rusage start {
    }, end{};
    getrusage(RUSAGE_SELF, &start);
    const double t0 = bench::WallSeconds();
    Run();
    TChildRun run{bench::WallSeconds() - t0, 0};
    getrusage(RUSAGE_SELF, &end);
    run.PeakGrowth = (end.ru_maxrss - start.ru_maxrss) * 1024;
    (void)!write(fds[1], &run, sizeof run);
    _exit(0);
  }
  close(fds[1]);
  TChildRun run;
  if (read(fds[0], &run, sizeof run) != sizeof run) run = {};
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return run;
}

// The best time of 5 first prints, and the peak memory of one, on a copy of File that the
// process has not read before (each store keeps the files it read).
TChildRun FirstRuns(const std::filesystem::path& File, const std::function<void()>& Run) {
  TChildRun best;
  for (int i = 0; i < 5; ++i) {
    const TChildRun run = InChild([&] {
      std::filesystem::copy_file(File, Folder() / "first.ini",
                                 std::filesystem::copy_options::overwrite_existing);
      Run();
    });
    if (best.Seconds < 0 || run.Seconds < best.Seconds) best.Seconds = run.Seconds;
    best.PeakGrowth = std::max(best.PeakGrowth, run.PeakGrowth);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  bool met = true;
  const std::filesystem::path first = Folder() / "first.ini";
  for (const int32_t n : {30000, 100000}) {
    MakeFiles(n);
    const TChildRun ours = FirstRuns(OurFile(n), [&] { Ours(first); });
    const TChildRun peer = FirstRuns(PeerFile(n), [&] { Peer(first); });
    const auto ourSize = static_cast<double>(std::filesystem::file_size(OurFile(n)));
    const auto peerSize = static_cast<double>(std::filesystem::file_size(PeerFile(n)));
    std::printf(
        "%d levels, first print, best of 5: ours %.1f ms, QSettings %.1f ms "
        "(ours / QSettings %.2f); peak memory: ours %.1f MB for %.0f KB (%.0f per byte), "
        "QSettings %.1f MB for %.0f KB (%.0f per byte)\n",
        n, ours.Seconds * 1e3, peer.Seconds * 1e3, ours.Seconds / peer.Seconds,
        ours.PeakGrowth / 1e6, ourSize / 1e3, ours.PeakGrowth / ourSize, peer.PeakGrowth / 1e6,
        peerSize / 1e3, peer.PeakGrowth / peerSize);
    met = met && ours.PeakGrowth >= 0 && ours.PeakGrowth <= 256 * ourSize;
  }
  std::printf("goal: peak memory within 256 times the file's size: %s\n", met ? "met" : "NOT met");
  std::filesystem::remove_all(Folder());
  return met ? 0 : 1;
}
