// Keyboard macros beside QScintilla's QsciMacro.
//
// Playing 10,000 recorded keys (letters, line breaks, and moves by character, line, line start
// and end) into a 100,000-line Japanese program text from its middle line, and, to show how
// each side scales, into its first 1,000 lines; best of 5 runs per side, each from the same text
// and caret, both editors shown offscreen, and the repaint that follows (one pass of the event
// loop) counted. Each side records the keys from the same key presses in the 1,000-line copy;
// only playing is timed, and the texts after it must be equal.
//   us: the recorder's events (one a key) played through the editor's command processor, as
//       its playback key does; the caret set to move as QScintilla's does (never past a line's
//       end, End to the very end, up and down keep their column); the undo list records every
//       step; the repaints that moves up and down ask for wait under the playback's paint lock
//       and come once, at its end.
//   QScintilla: QsciMacro::play of its recording of the same keys (it keeps a run of typed
//       text as one message, each move as one), IPAGothic so that full-width characters are two
//       columns as ours are; its undo buffer records every step; it repaints once at the end.
//       The headline ratio is against it at its best: its change notifications off
//       (SCI_SETMODEVENTMASK 0, so that no SCN_MODIFIED handling runs) while it plays. With
//       them on, as its users get it, most of its time is the widget's own work on each change;
//       that figure is printed as information.
// Saving and loading: the recording of the keys repeated to 0.25, 0.5, 1 and 2 MB, loaded from
// and saved to memory, best of 5 each, to show that the time is linear; a 1 MB file saved
// (atomically, flushed to disk) and loaded; beside QsciMacro's load and save of its own
// recording of the same keys repeated as often (its text form).
#include <benchmark/benchmark.h>
#include <qscimacro.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "editor/RidMacroRecorder.h"
#include "platform/Locale.h"

namespace {

using namespace rid;

constexpr int kLines = 100000;
constexpr int kKeys = 10000;

// The 100,000 lines, Shift-JIS.
const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    for (std::string_view l : bench::SplitLines(bench::JapaneseProgramText())) {
      if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
      out.emplace_back(l);
      if (static_cast<int>(out.size()) == kLines) break;
    }
    while (static_cast<int>(out.size()) < kLines) out.push_back(out[out.size() % 1000]);
    return out;
  }();
  return lines;
}

// Key I of the sequence: mostly letters, a move every 7th key, a line break every 50th.
QKeyEvent KeyAt(int I, QEvent::Type Type) {
  static const Qt::Key moves[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,
                                  Qt::Key_Down, Qt::Key_Home,  Qt::Key_End};
  if (I % 50 == 49) return QKeyEvent(Type, Qt::Key_Return, Qt::NoModifier, "\r");
  if (I % 7 == 6) return QKeyEvent(Type, moves[(I / 7) % 6], Qt::NoModifier);
  const char letter = static_cast<char>('a' + I % 26);
  return QKeyEvent(Type, Qt::Key_A + I % 26, Qt::NoModifier, QString(QChar(letter)));
}

void PressKeys(QWidget* Target) {
  for (int i = 0; i < kKeys; ++i) {
    QKeyEvent press = KeyAt(i, QEvent::KeyPress), release = KeyAt(i, QEvent::KeyRelease);
    QApplication::sendEvent(Target, &press);
    QApplication::sendEvent(Target, &release);
  }
}

// Our side: an editor over the first LineCount lines, the caret on the middle one.
struct TOurs {
  TRidEder Ed{nullptr};
  TRidMacroRecorder Recorder{nullptr};
  int LineCount;
  explicit TOurs(int ALineCount) : LineCount(ALineCount) {
    Ed.SetBounds(0, 0, 800, 600);
    // The caret moves as QScintilla's does: never past a line's end, End to the very end, and
    // up and down keep the column they started from.
    TRidEderorOptions options = Ed.GetOptions();
    options.Exclude(eoScrollPastEol);
    options.Exclude(eoEnhanceEndKey);
    options.Include(eoKeepCaretX);
    Ed.SetOptions(options);
    Ed.Show();
    Recorder.AddEditor(&Ed);
  }
  void Reset() {
    Ed.GetLines()->BeginUpdate();
    Ed.GetLines()->Clear();
    for (int i = 0; i < LineCount; ++i) Ed.GetLines()->Add(Lines()[i]);
    Ed.GetLines()->EndUpdate();
    Ed.ClearUndo();
    Ed.SetCaretXY({1, LineCount / 2});
    QApplication::processEvents();
  }
  void Record() {
    Reset();
    Recorder.RecordMacro(&Ed);
    PressKeys(Ed.ClientWidget());
    Recorder.Stop();
  }
  int Play() {
    Recorder.PlaybackMacro(&Ed);
    QApplication::processEvents();
    return Ed.GetLines()->GetCount();
  }
  std::vector<std::string> Text() {
    std::vector<std::string> out;
    for (int i = 0; i < Ed.GetLines()->GetCount(); ++i) out.push_back(Ed.GetLines()->Get(i));
    return out;
  }
};

// The peer over the UTF-8 twin, in a fixed-pitch font whose full-width characters are two
// columns, as ours are, so that moves up and down land on the same characters.
struct TPeer {
  QsciScintilla Sci;
  QsciMacro Macro{&Sci};
  std::string Utf8;
  bool Quiet = false;  // play with the change notifications off
  explicit TPeer(int LineCount) {
    for (int i = 0; i < LineCount; ++i) Utf8 += Lines()[i] + "\n";
    Utf8 = SjisToUtf8(Utf8);
    Sci.setUtf8(true);
    Sci.SendScintilla(QsciScintillaBase::SCI_STYLESETFONT, QsciScintillaBase::STYLE_DEFAULT,
                      "IPAGothic");
    Sci.SendScintilla(QsciScintillaBase::SCI_STYLECLEARALL);
    Sci.resize(800, 600);
    Sci.show();
  }
  void Reset() {
    Sci.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, Utf8.c_str());
    Sci.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    Sci.setCursorPosition(static_cast<int>(std::count(Utf8.begin(), Utf8.end(), '\n')) / 2 - 1, 0);
    QApplication::processEvents();
  }
  void Record() {
    Reset();
    Macro.startRecording();
    PressKeys(&Sci);
    Macro.endRecording();
  }
  int Play() {
    const long mask = Sci.SendScintilla(QsciScintillaBase::SCI_GETMODEVENTMASK);
    if (Quiet) Sci.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0UL);
    Macro.play();
    Sci.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
    QApplication::processEvents();
    return Sci.lines();
  }
  std::vector<std::string> Text() {
    const std::string sjis = Utf8ToSjis(Sci.text().toStdString());
    std::vector<std::string> out;
    for (std::string_view l : bench::SplitLines(sjis)) out.emplace_back(l);
    return out;
  }
};

template <typename TSide>
double BestPlay(TSide& Side) {
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    Side.Reset();
    const double t0 = bench::WallSeconds();
    benchmark::DoNotOptimize(Side.Play());
    best = std::min(best, bench::WallSeconds() - t0);
  }
  return best;
}

// A recording repeated until it holds at least Bytes: the count, then the events again and again.
std::string Repeated(const std::string& Recording, size_t Bytes) {
  const std::string events = Recording.substr(4);
  const size_t times = (Bytes + events.size() - 1) / events.size();
  uint32_t one = 0;
  for (int i = 0; i < 4; ++i)
    one |= static_cast<uint32_t>(static_cast<uint8_t>(Recording[i])) << (8 * i);
  const uint32_t count = static_cast<uint32_t>(times * one);
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>(count >> (8 * i));
  for (size_t i = 0; i < times; ++i) s += events;
  return s;
}

void LoadBytes(TRidMacroRecorder& R, const std::string& Bytes) {
  TMemoryStream in;
  in.WriteBuffer(Bytes);
  in.SetPosition(0);
  R.LoadFromStream(&in);
}

double BestSaveLoad(TRidMacroRecorder& R, const std::string& Bytes) {
  return bench::BestTime([&] {
    LoadBytes(R, Bytes);
    TMemoryStream out;
    R.SaveToStream(&out);
    return out.GetSize();
  });
}

// Loading and saving 1 MB of a letter typed and a move left, in memory.
void BM_LoadAndSave1MB(benchmark::State& state) {
  TRidMacroRecorder r(nullptr);
  const std::string letterAndLeft(
      "\x02\0\0\0\xff\x01"
      "a\x01\x01\0\x01",
      11);
  const std::string bytes = Repeated(letterAndLeft, 1 << 20);
  for (auto _ : state) benchmark::DoNotOptimize(BestSaveLoad(r, bytes));
}
BENCHMARK(BM_LoadAndSave1MB)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // Each side records the keys in a 1,000-line copy and plays them into that and into the
  // 100,000-line file; only playing is timed.
  TOurs smallOurs(1000), bigOurs(kLines);
  smallOurs.Record();
  TMemoryStream transfer;
  smallOurs.Recorder.SaveToStream(&transfer);
  transfer.SetPosition(0);
  bigOurs.Recorder.LoadFromStream(&transfer);
  TPeer smallPeer(1000), bigPeer(kLines);
  smallPeer.Record();
  bigPeer.Macro.load(smallPeer.Macro.save());
  const auto play = [](const char* Name, auto& Ours, auto& Peer) {
    const double us = BestPlay(Ours);
    const std::vector<std::string> ours = Ours.Text();
    Peer.Quiet = true;
    const double quiet = BestPlay(Peer);
    const bool quietSame = ours == Peer.Text();
    Peer.Quiet = false;
    const double loud = BestPlay(Peer);
    const bool loudSame = ours == Peer.Text();
    std::printf(
        "playing %d recorded keys into %s lines from the middle one, best of 5: us %.1f ms (%d"
        " events), QsciMacro::play without its change notifications %.1f ms%s; ratio"
        " us/QScintilla %.3f; as information, with its notifications %.1f ms%s, ratio %.3f\n",
        kKeys, Name, us * 1e3, Ours.Recorder.GetEventCount(), quiet * 1e3,
        quietSame ? "" : " [the texts differ]", us / quiet, loud * 1e3,
        loudSame ? "" : " [the texts differ]", us / loud);
    return us / quiet;
  };
  play("1,000", smallOurs, smallPeer);
  const double ratio = play("100,000", bigOurs, bigPeer);
  std::printf("goal: at most 0.5 in 100,000 lines: %s\n", ratio <= 0.5 ? "met" : "NOT met");

  // Saving and loading: the recording of the keys repeated to each size; the peer's own
  // recording of the same keys repeated as often.
  TMemoryStream keys;
  smallOurs.Recorder.SaveToStream(&keys);
  const std::string recording(keys.Bytes());
  const QString peerRecording = smallPeer.Macro.save();
  TRidMacroRecorder r(nullptr);
  double perMB[4];
  const double sizes[] = {0.25, 0.5, 1, 2};
  for (int i = 0; i < 4; ++i) {
    const std::string bytes = Repeated(recording, static_cast<size_t>(sizes[i] * (1 << 20)));
    const double t = BestSaveLoad(r, bytes);
    perMB[i] = t / (bytes.size() / 1048576.0);
    std::printf("load and save a %.2f MB macro in memory, best of 5: %.1f ms (%.1f ms a MB)\n",
                bytes.size() / 1048576.0, t * 1e3, perMB[i] * 1e3);
  }
  std::printf("linear: time a MB at 2 MB / at 0.25 MB = %.2f\n", perMB[3] / perMB[0]);

  const std::string file = (bench::RunFolder("macro-bench") / "one-mb.mcr").string();
  const std::string oneMB = Repeated(recording, 1 << 20);
  const size_t times = (oneMB.size() - 4) / (recording.size() - 4);
  LoadBytes(r, oneMB);
  const double save = bench::BestTime([&] {
    r.SaveToFile(file);
    return 0;
  });
  const double load = bench::BestTime([&] {
    r.LoadFromFile(file);
    return r.GetEventCount();
  });
  QStringList copies;
  for (size_t i = 0; i < times; ++i) copies << peerRecording;
  const QString peerText = copies.join(' ');
  QsciMacro peerMacro(&smallPeer.Sci);
  bool peerLoaded = true;
  const double peerLoadSave = bench::BestTime([&] {
    peerLoaded = peerMacro.load(peerText) && peerLoaded;
    return peerMacro.save().size();
  });
  const double inMemory = BestSaveLoad(r, oneMB);
  std::printf(
      "a 1 MB macro file (the keys %zu times, %d events), best of 5: save %.1f ms (flushed to"
      " disk), load %.1f ms; in memory %.1f ms beside QsciMacro load and save of its text for the"
      " same keys (%.1f MB) %.1f ms%s; ratio us/QsciMacro %.3f\n",
      times, r.GetEventCount(), save * 1e3, load * 1e3, inMemory * 1e3, peerText.size() / 1048576.0,
      peerLoadSave * 1e3, peerLoaded ? "" : " [it did not load]", inMemory / peerLoadSave);
  std::filesystem::remove_all(std::filesystem::path(file).parent_path());
  return 0;
}
