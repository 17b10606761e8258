// Pasting a CGI script into a CGI page beside QScintilla, and how the time grows with the lines.
//
// The page is 1,000 lines of the program's sample CGI script (Perl printing an HTML
// here-document with a style sheet and a script in it) over and over; 5,000 and 20,000 lines of
// the same script are pasted at its top, in an editor of 800 x 600 shown offscreen, and the
// repaint that follows (one pass of the event loop) counts. CPU time, best of 5 runs per side,
// each from the same page, caret and clipboard.
//   us: the window's CGI highlighter (Perl, with the here-documents coloured as HTML pages, their
//       script and style elements as JavaScript and CSS); the block on the clipboard as plain
//       text, PasteFromClipboard with the default options at the start of line 1: the lines go
//       in, the ranges are scanned again once from the first line until they agree with the
//       page below, the screen at the caret (the end of the block) is painted.
//   QScintilla: its Perl lexer, which colours here-documents (not the HTML in them); the UTF-8
//       twin of the page and block, paste() at the start of line 1: it inserts the text as one
//       undo action and styles what it paints, lazily, as it does for its users.
// Both ratios are ours / QScintilla's; the growth divides the time of 20,000 lines by that of
// 5,000 (4 is linear).
#include <benchmark/benchmark.h>
#include <qscilexerperl.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <QClipboard>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/EderHighlighters.h"
#include "app/EderWindow.h"
#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"

namespace {

using namespace rid;

constexpr int kPageLines = 1000;

// Count lines of the sample CGI script over and over, each followed by CR LF (a block), or each
// but the last (a page).
std::string CgiLines(size_t Count, bool Block = true) {
  static const std::string script = SampleScript();
  static const std::vector<std::string_view> lines = bench::SplitLines(script);
  std::string s;
  for (size_t i = 0; i < Count; ++i) {
    std::string_view l = lines[i % lines.size()];
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    (s += l) += "\r\n";
  }
  if (!Block) s.resize(s.size() - 2);
  return s;
}

struct TOurs {
  TEderHighlighters Highlighters;
  TRidEder Ed{nullptr};
  TOurs() {
    Ed.SetBounds(0, 0, 800, 600);
    Ed.SetHighlighter(Highlighters.ForFileName("page.cgi"));
    Ed.Show();
  }
  ~TOurs() { Ed.SetHighlighter(nullptr); }
  void Reset(const std::string& Page) {
    Ed.GetLines()->LoadFromBytes(Page);
    Ed.ClearUndo();
    Ed.SetCaretXY({1, 1});
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
  QsciLexerPerl Lexer;
  TPeer() {
    Sci.setUtf8(true);
    Sci.setLexer(&Lexer);
    Sci.resize(800, 600);
    Sci.show();
  }
  void Reset(const std::string& Utf8) {
    Sci.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, Utf8.c_str());
    Sci.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    Sci.setCursorPosition(0, 0);
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

// The paste of Lines lines, best of 5 in CPU seconds.
double OursPaste(size_t Lines) {
  const std::string page = CgiLines(kPageLines, false);
  Clipboard()->SetAsText(CgiLines(Lines));
  return bench::BestTimeAfter([&] { Ours->Reset(page); }, [&] { return Ours->Paste(); }, 5,
                              bench::CpuSeconds);
}

double PeerPaste(size_t Lines) {
  const std::string page = SjisToUtf8(CgiLines(kPageLines, false)),
                    block = SjisToUtf8(CgiLines(Lines));
  QApplication::clipboard()->setText(QString::fromUtf8(block.data(), block.size()));
  return bench::BestTimeAfter([&] { Peer->Reset(page); }, [&] { return Peer->Paste(); }, 5,
                              bench::CpuSeconds);
}

void Sizes(benchmark::internal::Benchmark* B) {
  B->Arg(5000)->Arg(20000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

void BM_CgiPaste(benchmark::State& State) {
  for (auto _ : State) State.SetIterationTime(OursPaste(State.range(0)));
}
BENCHMARK(BM_CgiPaste)->Apply(Sizes);

void BM_QScintillaPerlPaste(benchmark::State& State) {
  for (auto _ : State) State.SetIterationTime(PeerPaste(State.range(0)));
}
BENCHMARK(BM_QScintillaPerlPaste)->Apply(Sizes);

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

  const size_t sizes[] = {5000, 20000};
  double us[2], them[2];
  for (int k = 0; k < 2; ++k) {
    const int want = kPageLines + static_cast<int>(sizes[k]);
    us[k] = OursPaste(sizes[k]);
    const bool oursDone = Ours->Ed.GetLines()->GetCount() == want;
    them[k] = PeerPaste(sizes[k]);
    const bool peerDone = Peer->Sci.lines() == want;
    std::printf(
        "paste of %zu lines of a CGI script at the top of a %d-line CGI page, CPU time, best of"
        " 5: us (CGI highlighter) %.1f ms%s, QScintilla (Perl lexer) %.1f ms%s, ratio"
        " us/QScintilla %.2f\n",
        sizes[k], kPageLines, us[k] * 1e3, oursDone ? "" : " [not the lines pasted]", them[k] * 1e3,
        peerDone ? "" : " [not the lines pasted]", us[k] / them[k]);
  }
  std::printf("growth from 5,000 to 20,000 lines (4 is linear): us %.1f, QScintilla %.1f\n",
              us[1] / us[0], them[1] / them[0]);
  return 0;
}
