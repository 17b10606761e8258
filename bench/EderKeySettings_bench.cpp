// The window's start-up with many key bindings stored in the settings file: our own scaling,
// with no peer (no other program reads this file).
//
// The settings file holds N added two-key bindings (each pair of keys its own), N/4 removed
// ones (pairs the defaults do not have, so each is looked for and not found) and N/100 lines
// that are no binding (told on the status line). Timed, best of 5 each, for N = 5,000 and
// 40,000: reading the file into TEderKeySettings and opening the window on the sample script,
// which reads the settings, applies them to its editor and shows what it skipped. Start-up
// that is linear in N takes about 8 times as long for 40,000 as for 5,000. The growth is given
// in CPU time (steadier on a shared machine) beside the wall time, and only reported: a ratio
// of two times measured apart is noise on a busy machine, never a reason to fail.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/EderKeySettings.h"
#include "app/EderWindow.h"
#include "bench/BenchSupport.h"
#include "editor/RidEderKeyStrokeStore.h"
#include "platform/Menus.h"

namespace {

using namespace rid;

// The I-th pair of keys: Ctrl, Alt, Ctrl+Alt or Shift+Ctrl with a letter, digit or function
// key, then any of those keys with any shift state; 48 * 4 * 48 * 8 pairs.
std::string PairText(int32_t I, TRidEderorCommand Command) {
  static const std::vector<uint16_t> keys = [] {
    std::vector<uint16_t> k;
    for (uint16_t c = 'A'; c <= 'Z'; ++c) k.push_back(c);
    for (uint16_t c = '0'; c <= '9'; ++c) k.push_back(c);
    for (uint16_t f = 0x70; f < 0x70 + 12; ++f) k.push_back(f);  // F1 .. F12
    return k;
  }();
  const auto n = static_cast<int32_t>(keys.size());
  constexpr TShortCut kFirstShifts[] = {scCtrl, scAlt, scCtrl | scAlt, scShift | scCtrl};
  const TShortCut first = keys[I % n] | kFirstShifts[I / n % 4];
  const int32_t rest = I / (4 * n);
  const TShortCut second = keys[rest % n] | static_cast<TShortCut>((rest / n % 8) << 13);
  TRidEderKeyStrokes strokes;
  TRidEderKeyStroke* key = strokes.Add();
  uint16_t k;
  TShiftState shift;
  key->SetCommand(Command);
  ShortCutToKey(first, k, shift);
  key->SetKey(k);
  key->SetShift(shift);
  ShortCutToKey(second, k, shift);
  key->SetKey2(k);
  key->SetShift2(shift);
  return KeyStrokeToText(*key);
}

// The settings file with N stored bindings, as described above.
std::string SettingsFile(int32_t N) {
  std::string text = "[HKEY_CURRENT_USER\\Software\\rideder\\Editor\\RemovedKeystrokes]\n";
  for (int32_t i = 0; i < N / 4; ++i)
    text += "\"" + std::to_string(i + 1) + "\"=\"" + PairText(N + i, ecDeleteLine) + "\"\n";
  text += "[HKEY_CURRENT_USER\\Software\\rideder\\Editor\\AddedKeystrokes]\n";
  for (int32_t i = 0; i < N; ++i) {
    text += "\"" + std::to_string(i + 1) + "\"=\"" + PairText(i, ecUpperCase) + "\"\n";
    if (i % 100 == 0) text += "\"x" + std::to_string(i) + "\"=\"no binding\"\n";
  }
  return text;
}

const std::filesystem::path& Folder() {
  static const std::filesystem::path dir = bench::RunFolder("rid-keysettings");
  return dir;
}

void UseSettings(int32_t N) {
  const std::filesystem::path file = Folder() / ("registry-" + std::to_string(N) + ".ini");
  if (!std::filesystem::exists(file)) std::ofstream(file, std::ios::binary) << SettingsFile(N);
  setenv("RIDEDER_REGISTRY", file.c_str(), 1);
}

int32_t ReadSettings() {
  TEderKeySettings settings;
  TRidEderKeyStrokes keys;
  keys.ResetDefaults();
  settings.ApplyTo(keys);
  return keys.GetCount();
}

int32_t OpenWindow() {
  TEderWindow window({});
  return window.Eder(0).GetKeystrokes().GetCount();
}

void BM_ReadSettings(benchmark::State& State) {
  UseSettings(static_cast<int32_t>(State.range(0)));
  for (auto _ : State) benchmark::DoNotOptimize(ReadSettings());
}
BENCHMARK(BM_ReadSettings)->Arg(5000)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_OpenWindow(benchmark::State& State) {
  UseSettings(static_cast<int32_t>(State.range(0)));
  for (auto _ : State) benchmark::DoNotOptimize(OpenWindow());
}
BENCHMARK(BM_OpenWindow)->Arg(5000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  for (auto [name, run] : {std::pair{"reading the settings", &ReadSettings},
                           std::pair{"opening the window", &OpenWindow}}) {
    double wall[2], cpu[2];
    int32_t counts[2];
    for (int i = 0; i < 2; ++i) {
      UseSettings(i == 0 ? 5000 : 40000);
      counts[i] = run();
      wall[i] = bench::BestTime(run);
      cpu[i] = bench::BestCpuTime(run);
    }
    std::printf(
        "%s, best of 5: 5,000 bindings %.1f ms (CPU %.1f ms; %d keys), 40,000 bindings %.1f ms"
        " (CPU %.1f ms; %d keys); 40,000 / 5,000 = %.1f, in CPU time %.1f (linear: 8)\n",
        name, wall[0] * 1e3, cpu[0] * 1e3, counts[0], wall[1] * 1e3, cpu[1] * 1e3, counts[1],
        wall[1] / wall[0], cpu[1] / cpu[0]);
  }
  std::filesystem::remove_all(Folder());
  return 0;
}
