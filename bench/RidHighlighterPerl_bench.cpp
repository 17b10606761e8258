// Perl highlighting of several megabytes of installed Perl modules, beside QScintilla's Perl
// lexer styling the same text in an offscreen editor widget.
#include <benchmark/benchmark.h>
#include <qscilexerperl.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchSupport.h"
#include "highlighters/RidHighlighterPerl.h"

namespace {

// About 4 MB of real Perl: the installed modules, in a fixed order.
const std::string& PerlText() {
  static const std::string text = [] {
    std::vector<std::filesystem::path> files;
    for (const char* root : {"/usr/share/perl", "/usr/lib/x86_64-linux-gnu/perl"}) {
      std::error_code ec;
      for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
           !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".pm") files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::string s;
    for (const auto& f : files) {
      std::ifstream in(f, std::ios::binary);
      std::ostringstream o;
      o << in.rdbuf();
      s += o.str();
      if (s.size() >= 4 * 1024 * 1024) break;
    }
    return s;
  }();
  return text;
}

std::vector<std::string_view> Lines(const std::string& Text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find('\n', start);
    if (end == std::string::npos) end = Text.size();
    lines.push_back(std::string_view(Text).substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// What the painter does: every token of every line with its attribute.
size_t ScanOurs(rid::TRidPerlRid& H, const std::vector<std::string_view>& ALines) {
  size_t work = 0;
  for (size_t i = 0; i < ALines.size(); ++i) {
    H.SetLine(ALines[i], static_cast<int32_t>(i));
    for (; !H.GetEol(); H.Next()) {
      work += H.GetTokenView().size() + static_cast<size_t>(H.GetTokenKind());
      benchmark::DoNotOptimize(H.GetTokenAttribute());
    }
  }
  return work;
}

struct TPeer {
  QsciScintilla Editor;
  QsciLexerPerl Lexer;
  TPeer() {
    Editor.SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, 932);
    Editor.setLexer(&Lexer);
    Editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, PerlText().c_str());
  }
  // Styles the whole document from scratch.
  long Colourise() {
    Editor.SendScintilla(QsciScintillaBase::SCI_CLEARDOCUMENTSTYLE);
    Editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    return Editor.SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED);
  }
};

void BM_PerlHighlight_Ours(benchmark::State& State) {
  const auto lines = Lines(PerlText());
  rid::TRidPerlRid h(nullptr);
  for (auto _ : State) benchmark::DoNotOptimize(ScanOurs(h, lines));
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * PerlText().size()));
}
BENCHMARK(BM_PerlHighlight_Ours)->Unit(benchmark::kMillisecond);

void BM_PerlHighlight_QScintilla(benchmark::State& State) {
  TPeer peer;
  for (auto _ : State) benchmark::DoNotOptimize(peer.Colourise());
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * PerlText().size()));
}
BENCHMARK(BM_PerlHighlight_QScintilla)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const auto lines = Lines(PerlText());
  rid::TRidPerlRid h(nullptr);
  TPeer peer;
  const double ours = rid::bench::BestTime([&] { return ScanOurs(h, lines); });
  const double theirs = rid::bench::BestTime([&] { return peer.Colourise(); });
  const long styled = peer.Colourise();
  std::printf(
      "Perl highlighting of %zu bytes in %zu lines: us %.2f ms, QScintilla %.2f ms"
      " (styled %ld bytes)\n",
      PerlText().size(), lines.size(), ours * 1e3, theirs * 1e3, styled);
  std::printf("ratio us/QScintilla: %.3f (below 1: faster than the peer)\n", ours / theirs);
  return 0;
}
