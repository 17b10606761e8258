// Printing 100,000 lines of Shift-JIS Perl to a PDF, beside QScintilla's QsciPrinter, our
// pagination alone on 100,000, 1,000,000 and 2,000,000 lines, and one 4 MB line beside the same
// 4 MB in short lines.
//
// The work on each side, in the same run, on the same text (the peer gets it as UTF-8, which is
// what it shows under Qt 6): an A4 PDF at 600 dpi with the same printable area, IPAGothic 10 pt,
// no line numbers, long lines wrapped by character (ours at break characters, else every row),
// each token in its Perl colour and style. We keep a highlighter range per line, lay out the
// pages on a character grid and draw each token's run once; the peer styles the document with
// its Perl lexer (lazily, once, as it does for its own users) and lays out and draws every
// page with Scintilla's FormatRange. Both print the loaded document again on each run, so both
// keep their styling between runs. The best of five runs per side is printed, and the ratio.
//
// The long line: 4 MB of Japanese program text (kanji, kana, ASCII words, "();" and " = ")
// printed as its short lines and as one line (the breaks made blanks), both highlighted as Perl
// and wrapped, each printed whole by our job (best of five). A line is wrapped and highlighted
// once however many pages it spans, so the ratio stays near 1.
#include <benchmark/benchmark.h>
#include <qscilexerperl.h>
#include <qsciprinter.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <cstdio>
#include <filesystem>
#include <random>

#include "bench/BenchSupport.h"
#include "highlighters/RidHighlighterPerl.h"
#include "output/RidEderPrint.h"
#include "platform/Locale.h"
#include "platform/Printers.h"

namespace {

using namespace rid;

// Real Perl, with a Japanese comment or string on every third line, as Shift-JIS lines.
std::vector<std::string> PerlLines(size_t Count) {
  static const char* japanese[] = {"# 表示する ソース の 能力を 確かめる", " # 掲示板の書き込み",
                                   " print \"ようこそ　表ソ能\\n\";"};
  std::vector<std::string> lines;
  lines.reserve(Count);
  const auto source = bench::SplitLines(bench::InstalledPerlModules());
  for (size_t i = 0; lines.size() < Count; ++i) {
    std::string line(source[i % source.size()]);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (i % 3 == 0) line += japanese[i % 9 / 3];
    lines.push_back(Utf8ToSjis(line));
  }
  return lines;
}

std::filesystem::path Output(const char* Name) {
  return std::filesystem::temp_directory_path() / Name;
}

// Our side: the job on a loaded document, printed to the PDF printer.
struct TOurs {
  explicit TOurs(const std::vector<std::string>& Lines) {
    TStringList list;
    list.SetCapacity(static_cast<int32_t>(Lines.size()));
    for (const auto& l : Lines) list.Add(l);
    Job.SetLines(&list);
    Job.SetHighlighter(&Perl);
    Job.SetColors(true);
    Job.GetFont().SetName("IPAGothic");
    Job.GetFont().SetSize(10);
  }
  int32_t Print() {
    Printer()->SetPrinterIndex(0);
    Printer()->SetFileName(Output("rid-print-bench.pdf").string());
    Job.Print();
    return Job.GetPageCount();
  }
  TRidPerlRid Perl{nullptr};
  TRidEderPrint Job{nullptr};
};

// The peer: a QScintilla document with its Perl lexer, printed by QsciPrinter.
struct TPeer {
  explicit TPeer(const std::vector<std::string>& Lines) {
    std::string text;
    for (const auto& l : Lines) text += SjisToUtf8(l) + "\n";
    Editor.setUtf8(true);
    Lexer.setDefaultFont(QFont("IPAGothic", 10));
    Lexer.setFont(QFont("IPAGothic", 10));
    Editor.setLexer(&Lexer);
    Editor.setMarginWidth(0, 0);
    Editor.setMarginWidth(1, 0);
    Editor.setText(QString::fromStdString(text));
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setResolution(600);
    Printer.setPageSize(QPageSize(QPageSize::A4));
    // Our text area: 25 mm left, 15 mm right, 25 mm top and bottom from the paper's edge.
    Printer.setPageMargins(QMarginsF(25, 25, 15, 25), QPageLayout::Millimeter);
    Printer.setWrapMode(QsciScintilla::WrapCharacter);
    Printer.setColorMode(QPrinter::Color);
  }
  bool Print() {
    Printer.setOutputFileName(QString::fromStdString(Output("qsci-print-bench.pdf").string()));
    return Printer.printRange(&Editor) >= 0;
  }
  QsciScintilla Editor;
  QsciLexerPerl Lexer;
  QsciPrinter Printer{QPrinter::HighResolution};
};

// The pages of a PDF as pdfinfo reads them (poppler-utils); -1 when it cannot.
int PdfPages(const std::filesystem::path& Pdf) {
  FILE* p = popen(("pdfinfo '" + Pdf.string() + "' 2>/dev/null").c_str(), "r");
  if (!p) return -1;
  char line[256];
  int pages = -1;
  while (fgets(line, sizeof line, p))
    if (std::sscanf(line, "Pages: %d", &pages) == 1) break;
  pclose(p);
  return pages;
}

const std::vector<std::string>& Document() {
  static const std::vector<std::string> lines = PerlLines(100000);
  return lines;
}

void BM_PrintOurs(benchmark::State& state) {
  TOurs ours(Document());
  for (auto _ : state) benchmark::DoNotOptimize(ours.Print());
  state.counters["pages"] = ours.Job.GetPageCount();
}
BENCHMARK(BM_PrintOurs)->Unit(benchmark::kMillisecond)->Iterations(1);

// Pagination on the screen's canvas, as the preview and the page count do it.
double PaginationSeconds(size_t Count) {
  static const std::vector<std::string> big = PerlLines(2000000);
  TStringList list;
  for (size_t i = 0; i < Count; ++i) list.Add(big[i]);
  TRidEderPrint job(nullptr);
  job.SetLines(&list);
  return bench::BestCpuTime([&] {
    job.SetWrap(false);
    job.SetWrap(true);  // the layout is stale again
    return job.GetPageCount();
  });
}

// Our print of Lines, best of five, in seconds; Pages receives the page count.
double PrintSeconds(const std::vector<std::string>& Lines, int32_t& Pages) {
  TOurs job(Lines);
  return bench::BestTime([&] { return Pages = job.Print(); });
}

// The benchmark's 4 MB of Japanese text as its short lines, or joined into one line.
std::vector<std::string> JapaneseLines(bool OneLine) {
  std::vector<std::string> lines;
  for (std::string_view l : bench::SplitLines(bench::JapaneseProgramText())) {
    if (l.ends_with('\r')) l.remove_suffix(1);
    if (OneLine && !lines.empty())
      lines.back().append(" ").append(l);
    else
      lines.emplace_back(l);
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  TOurs ours(Document());
  TPeer peer(Document());
  int32_t pages = 0;
  const double us = bench::BestTime([&] { return pages = ours.Print(); });
  bool printed = true;
  const double them = bench::BestTime([&] { return printed = printed && peer.Print(); });
  std::printf(
      "print %zu lines of Shift-JIS Perl to an A4 PDF at 600 dpi, highlighted and "
      "wrapped (best of 5): us %.0f ms (%d pages), QsciPrinter %.0f ms (%d pages)%s\n",
      Document().size(), us * 1e3, pages, them * 1e3, PdfPages(Output("qsci-print-bench.pdf")),
      printed ? "" : " [it failed]");
  std::printf("ratio us/QsciPrinter: %.3f (goal: 0.5 or less)\n", us / them);

  // A line costs more once the line list no longer fits the cache; past that the time per
  // line stays flat, which the step from 1,000,000 to 2,000,000 lines shows.
  const double p100k = PaginationSeconds(100000);
  const double p1m = PaginationSeconds(1000000);
  const double p2m = PaginationSeconds(2000000);
  std::printf(
      "pagination alone (best of 5, CPU): 100,000 lines %.1f ms, 1,000,000 lines %.1f ms, "
      "2,000,000 lines %.1f ms (%.1f, %.1f and %.1f ns a line; 2,000,000 take %.2f times "
      "1,000,000: linear is 2)\n",
      p100k * 1e3, p1m * 1e3, p2m * 1e3, p100k * 1e4, p1m * 1e3, p2m * 5e2, p2m / p1m);

  int32_t shortPages = 0, longPages = 0;
  const double shortLines = PrintSeconds(JapaneseLines(false), shortPages);
  const double oneLine = PrintSeconds(JapaneseLines(true), longPages);
  std::printf(
      "print 4 MB of Japanese program text, highlighted and wrapped (best of 5): as short lines "
      "%.0f ms (%d pages), as one line %.0f ms (%d pages)\n",
      shortLines * 1e3, shortPages, oneLine * 1e3, longPages);
  std::printf("ratio one line/short lines: %.3f (linear: near 1)\n", oneLine / shortLines);
  std::filesystem::remove(Output("rid-print-bench.pdf"));
  std::filesystem::remove(Output("qsci-print-bench.pdf"));
  return printed ? 0 : 1;
}
