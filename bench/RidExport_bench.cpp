// Export of 10 MB of Shift-JIS Perl (the installed Perl modules with Japanese comments and
// strings added) to HTML beside GNU source-highlight, and to RTF beside highlight, on the same
// file in the same run. Each side does the whole job a user asks of it: read the file, colour
// it, write the document to a file. Ours: read the bytes, split them into the editor's line
// buffer, export with the Perl highlighter, save atomically (with its flush to disk). The peers
// run as the programs a user starts: `source-highlight --src-lang=perl --out-format=html` and
// `highlight -S perl -O rtf` (Debian's source-highlight writes no RTF).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "editor/RidEderTextBuffer.h"
#include "highlighters/RidHighlighterPerl.h"
#include "output/RidExportHTML.h"
#include "output/RidExportRTF.h"

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path dir = rid::bench::RunFolder("rid-export-bench");
  return dir;
}

// 10 MB of real Perl; every fourth line gets a Japanese comment, every seventh a Japanese
// string, so about a fifth of the bytes are double-byte characters.
const std::filesystem::path& Script() {
  static const std::filesystem::path file = [] {
    const std::string& japanese = rid::bench::JapaneseProgramText();
    size_t jp = 0;
    const auto japaneseLine = [&] {
      const size_t end = japanese.find("\r\n", jp);
      std::string s = japanese.substr(jp, end - jp);
      jp = end + 2 < japanese.size() ? end + 2 : 0;
      return s;
    };
    std::string text;
    size_t n = 0;
    for (const auto& m : rid::bench::PerlModuleFiles()) {
      std::ifstream in(m, std::ios::binary);
      for (std::string line; std::getline(in, line) && text.size() < 10'000'000; ++n) {
        if (n % 4 == 0) line += "  # " + japaneseLine();
        if (n % 7 == 0) line = "my $s = \"" + japaneseLine() + "\";";
        text += line + "\n";
      }
      if (text.size() >= 10'000'000) break;
    }
    const auto path = Folder() / "script.pl";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }();
  return file;
}

size_t ExportOurs(rid::TRidCustomExporter& E, const std::filesystem::path& Out) {
  rid::TRidEderStringList lines;
  lines.LoadFromBytes(rid::LoadBytesFromFile(Script().string()));
  E.ExportAll(&lines);
  E.SaveToFile(Out.string());
  return static_cast<size_t>(E.GetBufferSize());
}

int RunPeer(const std::string& Command) {
  return std::system((Command + " >/dev/null 2>&1").c_str());
}

std::string SourceHighlight() {
  return "source-highlight --src-lang=perl --out-format=html -i '" + Script().string() + "' -o '" +
         (Folder() / "peer.html").string() + "'";
}

std::string Highlight() {
  return "highlight -S perl -O rtf -i '" + Script().string() + "' -o '" +
         (Folder() / "peer.rtf").string() + "'";
}

struct TOurs {
  rid::TRidPerlRid Perl{nullptr};
  rid::TRidExporterHTML Html{nullptr};
  rid::TRidExporterRTF Rtf{nullptr};
  TOurs() {
    Html.SetHighlighter(&Perl);
    Rtf.SetHighlighter(&Perl);
  }
};

void BM_ExportHtml_Ours(benchmark::State& State) {
  TOurs ours;
  for (auto _ : State) benchmark::DoNotOptimize(ExportOurs(ours.Html, Folder() / "ours.html"));
  State.SetBytesProcessed(
      static_cast<int64_t>(State.iterations() * std::filesystem::file_size(Script())));
}
BENCHMARK(BM_ExportHtml_Ours)->Unit(benchmark::kMillisecond);

void BM_ExportRtf_Ours(benchmark::State& State) {
  TOurs ours;
  for (auto _ : State) benchmark::DoNotOptimize(ExportOurs(ours.Rtf, Folder() / "ours.rtf"));
  State.SetBytesProcessed(
      static_cast<int64_t>(State.iterations() * std::filesystem::file_size(Script())));
}
BENCHMARK(BM_ExportRtf_Ours)->Unit(benchmark::kMillisecond);

void BM_ExportHtml_SourceHighlight(benchmark::State& State) {
  for (auto _ : State) benchmark::DoNotOptimize(RunPeer(SourceHighlight()));
}
BENCHMARK(BM_ExportHtml_SourceHighlight)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ExportRtf_Highlight(benchmark::State& State) {
  for (auto _ : State) benchmark::DoNotOptimize(RunPeer(Highlight()));
}
BENCHMARK(BM_ExportRtf_Highlight)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  for (const char* tool : {"source-highlight", "highlight"}) {
    if (std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) != 0) {
      std::fprintf(stderr, "%s is missing: install the package %s\n", tool, tool);
      return 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  TOurs ours;
  const double html =
      rid::bench::BestTime([&] { return ExportOurs(ours.Html, Folder() / "ours.html"); });
  const double sh = rid::bench::BestTime([&] { return RunPeer(SourceHighlight()); });
  const double rtf =
      rid::bench::BestTime([&] { return ExportOurs(ours.Rtf, Folder() / "ours.rtf"); });
  const double hl = rid::bench::BestTime([&] { return RunPeer(Highlight()); });
  const auto size = std::filesystem::file_size(Script());
  std::printf("HTML export of %ju bytes: us %.1f ms, source-highlight %.1f ms\n",
              static_cast<uintmax_t>(size), html * 1e3, sh * 1e3);
  std::printf("ratio us/source-highlight: %.3f (below 0.5: at least twice as fast)\n", html / sh);
  std::printf("RTF export of %ju bytes: us %.1f ms, highlight %.1f ms\n",
              static_cast<uintmax_t>(size), rtf * 1e3, hl * 1e3);
  std::printf("ratio us/highlight: %.3f (below 0.5: at least twice as fast)\n", rtf / hl);
  std::error_code ec;
  std::filesystem::remove_all(Folder(), ec);
  return 0;
}
