// Pasting many lines beside QScintilla, and how the time grows with the lines pasted.
//
// A block of 10,000, 20,000, 40,000 and 80,000 lines of Japanese program text, each line ending
// in blanks (two spaces, a tab, or a tab and a space, in turn), is pasted above line 500 of a
// 1,000-line file held by an editor shown offscreen; the repaint that follows (one pass of the
// event loop) counts. Best of 5 runs per side, each from the same text and caret, in wall time
// and, apart, in this process's CPU time (steadier on a machine that other work shares).
//   us: the block on the clipboard as our own line-mode block (as another editor of ours puts
//       it there); PasteFromClipboard with the default options and "trim trailing spaces" on,
//       the caret on line 500: the lines go in above it, each line's trailing blanks are
//       trimmed and each trim is recorded as an undo item of its own, the paste one undo step.
//   QScintilla: the UTF-8 twin of the block on the clipboard as plain text, its caret at the
//       start of line 500 of the UTF-8 twin of the file, paste(): it inserts the text as it is
//       (it has no trimming) as one undo action.
// The growth line divides the time of 80,000 lines by that of 10,000: 8 is linear. As
// information, ours only: the same line-mode paste with trimming off; with trimming on, the
// growth of the line-mode paste, of a normal-mode paste of the block at the start of line 500
// and of a column-mode paste of its rows at column 3 of a file as long as the block, each with
// one undo and one redo of it; and a 20 MB line-mode block.
#include <benchmark/benchmark.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <QClipboard>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"

namespace {

using namespace rid;

constexpr int kFileLines = 1000;
constexpr int kCaretLine = 500;

// The lines of the Japanese program text, as many as asked for (repeated when it has fewer).
std::vector<std::string> TextLines(size_t Count) {
  static const std::vector<std::string> all = [] {
    std::vector<std::string> out;
    for (std::string_view l : bench::SplitLines(bench::JapaneseProgramText())) {
      if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
      out.emplace_back(l);
    }
    return out;
  }();
  std::vector<std::string> out;
  for (size_t i = 0; i < Count; ++i) out.push_back(all[i % all.size()]);
  return out;
}

// Count lines with trailing blanks, each followed by CR LF.
std::string Block(size_t Count) {
  static const char* const blanks[] = {"  ", "\t", "\t "};
  std::string s;
  const std::vector<std::string> lines = TextLines(Count);
  for (size_t i = 0; i < lines.size(); ++i) (s += lines[i]) += std::string(blanks[i % 3]) + "\r\n";
  return s;
}

// Count lines of the program text as a file, CR LF after each but the last.
std::string File(size_t Count) {
  std::string s;
  for (const std::string& l : TextLines(Count)) (s += l) += "\r\n";
  s.resize(s.size() - 2);
  return s;
}

// Our block on the clipboard, in Mode, beside its plain text, as our copy places it.
void PutOurBlock(const std::string& Text, TRidSelectionMode Mode) {
  TClipboard* clip = Clipboard();
  clip->Open();
  clip->Clear();
  clip->SetAsText(Text);
  clip->SetBuffer(RidEderClipboardFormat(), std::string(1, static_cast<char>(Mode)) + Text + '\0');
  clip->Close();
}

struct TOurs {
  TRidEder Ed{nullptr};
  TOurs() {
    Ed.SetBounds(0, 0, 800, 600);
    Ed.Show();
  }
  // The file loaded, the options set, the caret placed, nothing to undo.
  void Reset(const std::string& Text, bool Trim, TBufferCoord Caret) {
    TRidEderorOptions options = Ed.GetOptions();
    if (Trim)
      options.Include(eoTrimTrailingSpaces);
    else
      options.Exclude(eoTrimTrailingSpaces);
    Ed.SetOptions(options);
    Ed.GetLines()->LoadFromBytes(Text);
    Ed.ClearUndo();
    Ed.SetCaretXY(Caret);
    QApplication::processEvents();
  }
  int Paste() {
    Ed.PasteFromClipboard();
    QApplication::processEvents();
    return Ed.GetLines()->GetCount();
  }
};

struct TPeer {
  QsciScintilla Sci;
  TPeer() {
    Sci.setUtf8(true);
    Sci.resize(800, 600);
    Sci.show();
  }
  void Reset(const std::string& Utf8) {
    Sci.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, Utf8.c_str());
    Sci.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    Sci.setCursorPosition(kCaretLine - 1, 0);
    QApplication::processEvents();
  }
  int Paste() {
    Sci.paste();
    QApplication::processEvents();
    return Sci.lines();
  }
};

TOurs* Ours;
TPeer* Peer;

// Our line-mode paste of Lines lines, trimming on or off; best of 5 on Clock.
double OursLinePaste(size_t Lines, bool Trim, double (*Clock)() = bench::WallSeconds) {
  const std::string file = File(kFileLines), block = Block(Lines);
  PutOurBlock(block, smLine);
  const auto reset = [&] { Ours->Reset(file, Trim, {1, kCaretLine}); };
  return bench::BestTimeAfter(
      reset, [&] { return Ours->Paste(); }, 5, Clock);
}

double PeerPaste(size_t Lines, double (*Clock)() = bench::WallSeconds) {
  const std::string file = SjisToUtf8(File(kFileLines)), block = SjisToUtf8(Block(Lines));
  QApplication::clipboard()->setText(QString::fromUtf8(block.data(), block.size()));
  return bench::BestTimeAfter([&] { Peer->Reset(file); }, [&] { return Peer->Paste(); }, 5, Clock);
}

// 10,000 to 80,000 lines, each time the best of 5.
void GrowthSizes(benchmark::internal::Benchmark* B) {
  for (int64_t lines : {10000, 20000, 40000, 80000}) B->Arg(lines);
  B->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

void BM_LinePasteTrimmed(benchmark::State& State) {
  for (auto _ : State) State.SetIterationTime(OursLinePaste(State.range(0), true));
}
BENCHMARK(BM_LinePasteTrimmed)->Apply(GrowthSizes);

void BM_QScintillaPaste(benchmark::State& State) {
  for (auto _ : State) State.SetIterationTime(PeerPaste(State.range(0)));
}
BENCHMARK(BM_QScintillaPaste)->Apply(GrowthSizes);

// A paste in Mode with trimming on, then one undo and one redo of it, ours only: 10,000 and
// 80,000 lines, each time the best of 5.
void ReportOurGrowth(const char* Name, TRidSelectionMode Mode) {
  double paste[2], undo[2], redo[2];
  const size_t sizes[2] = {10000, 80000};
  for (int k = 0; k < 2; ++k) {
    std::string block = Block(sizes[k]);
    std::string file = File(kFileLines);
    TBufferCoord caret{1, kCaretLine};
    if (Mode == smColumn) {
      block.resize(block.size() - 2);  // rows, not lines
      file = File(sizes[k]);
      caret = {3, 1};
    }
    PutOurBlock(block, Mode);
    const auto reset = [&] { Ours->Reset(file, true, caret); };
    paste[k] = bench::BestTimeAfter(reset, [&] { return Ours->Paste(); });
    // Undone and redone in turn: each undo after a redo, each redo after an undo.
    const auto step = [&](void (TRidEder::*Step)()) {
      return [&, Step] {
        (Ours->Ed.*Step)();
        QApplication::processEvents();
        return Ours->Ed.GetLines()->GetCount();
      };
    };
    undo[k] = bench::BestTimeAfter(step(&TRidEder::Redo), step(&TRidEder::Undo));
    redo[k] = bench::BestTimeAfter(step(&TRidEder::Undo), step(&TRidEder::Redo));
  }
  std::printf(
      "%s paste with trimming on, ours, best of 5: 10,000 lines %.1f ms (undo %.1f ms, redo %.1f"
      " ms), 80,000 lines %.1f ms (undo %.1f ms, redo %.1f ms); growth %.1f (undo %.1f, redo"
      " %.1f; 8 is linear)\n",
      Name, paste[0] * 1e3, undo[0] * 1e3, redo[0] * 1e3, paste[1] * 1e3, undo[1] * 1e3,
      redo[1] * 1e3, paste[1] / paste[0], undo[1] / undo[0], redo[1] / redo[0]);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TOurs ours;
  TPeer peer;
  Ours = &ours;
  Peer = &peer;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const size_t sizes[] = {10000, 20000, 40000, 80000};
  double us[4], them[4], usCpu[4], themCpu[4];
  for (int k = 0; k < 4; ++k) {
    usCpu[k] = OursLinePaste(sizes[k], true, bench::CpuSeconds);
    themCpu[k] = PeerPaste(sizes[k], bench::CpuSeconds);
    us[k] = OursLinePaste(sizes[k], true);
    // Both hold the file's lines and the block's, ours the block's without their blanks.
    const int32_t want = kFileLines + static_cast<int32_t>(sizes[k]);
    const bool oursDone = Ours->Ed.GetLines()->GetCount() == want &&
                          Ours->Ed.GetLines()->Get(kCaretLine - 1) == TextLines(1)[0];
    them[k] = PeerPaste(sizes[k]);
    const bool peerDone = Peer->Sci.lines() == want;
    const double untrimmed = OursLinePaste(sizes[k], false);
    std::printf(
        "line-mode paste of %zu lines with trailing blanks above line %d of %d, best of 5: us"
        " (trimming on) %.1f ms%s, QScintilla paste() %.1f ms%s, ratio us/QScintilla %.2f; in"
        " CPU time us %.1f ms, QScintilla %.1f ms, ratio %.2f; as information, us with trimming"
        " off %.1f ms\n",
        sizes[k], kCaretLine, kFileLines, us[k] * 1e3, oursDone ? "" : " [not the lines pasted]",
        them[k] * 1e3, peerDone ? "" : " [not the lines pasted]", us[k] / them[k], usCpu[k] * 1e3,
        themCpu[k] * 1e3, usCpu[k] / themCpu[k], untrimmed * 1e3);
  }
  std::printf(
      "growth from 10,000 to 80,000 lines (8 is linear): us %.1f, QScintilla %.1f; in CPU time us"
      " %.1f, QScintilla %.1f; goal: ours at most 12 (CPU time): %s\n",
      us[3] / us[0], them[3] / them[0], usCpu[3] / usCpu[0], themCpu[3] / themCpu[0],
      usCpu[3] / usCpu[0] <= 12 ? "met" : "NOT met");
  ReportOurGrowth("line-mode", smLine);
  ReportOurGrowth("normal-mode", smNormal);
  ReportOurGrowth("column-mode", smColumn);

  // A 20 MB line-mode block, as another X client may offer it.
  const size_t perThousand = Block(1000).size();
  const size_t lines = ((20u << 20) + perThousand - 1) / perThousand * 1000;
  const double big = OursLinePaste(lines, true);
  std::printf("line-mode paste of 20 MB (%zu lines) with trimming on, ours, best of 5: %.0f ms\n",
              lines, big * 1e3);
  return 0;
}
