// Search and replace over 10 MB of Shift-JIS program text with Japanese words.
//
// Searching: we run FindAll of the plain engine on every line of a loaded buffer, for a rare
// literal and for one with about 100,000 hits, with and without match case. Beside it
// `LC_ALL=C grep -F -c` (with -i when case is ignored) reads the same file from the page cache
// and counts the lines that hold the literal (the process start included), and QScintilla runs
// its findFirst/findNext loop over a UTF-8 twin of the text, selecting each hit as its find
// does.
//
// Replacing: SearchReplace replaces all 100,000 hits in an editor window (offscreen), one undo
// step for all, with the plain engine and with a regular expression with a group. Beside it
// `perl -pi -e 's/.../.../g'` rewrites a copy of the file (no undo), and QScintilla runs its
// findFirst/replace/findNext loop in one undo action. Each replacement costs QScintilla time in
// proportion to the size of the document (about 3.5 ms at 1 MB), so 100,000 of them in 10 MB
// would take hours: its loop runs for two seconds on the 10 MB text and its time for all the
// hits is projected from that rate, and the output says so. Loading the text is not timed on
// either side. Also timed: the time per hit on 1 MB and 10 MB of the same text, and one undo of
// the 10 MB replacement.
//
// Each time is the best of five runs; each ratio is ours over the peer's (below 1: faster).
#include <benchmark/benchmark.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"
#include "platform/Locale.h"

namespace {

using namespace rid;

void WriteFile(const std::filesystem::path& Path, const std::string& Bytes) {
  std::ofstream(Path, std::ios::binary)
      .write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

const char* const Frequent = "Needle";
const char* const Rare = "QuiteRareWord";

// About Megabytes of the Japanese program text with LF breaks; the frequent literal once about
// every 100 bytes, the rare one ten times.
std::string MakeText(size_t Megabytes) {
  const std::string& base = bench::JapaneseProgramText();
  const size_t size = Megabytes * 1024 * 1024;
  std::string s;
  s.reserve(size + size / 50);
  size_t from = 0, nextFrequent = 100, nextRare = size / 10;
  while (s.size() < size) {
    size_t end = base.find("\r\n", from);
    if (end == std::string::npos) {
      from = 0;
      continue;
    }
    s.append(base, from, end - from);
    from = end + 2;
    if (s.size() >= nextFrequent) {
      s += Frequent;
      nextFrequent += 100;
    }
    if (s.size() >= nextRare) {
      s += Rare;
      nextRare += size / 10;
    }
    s += '\n';
  }
  return s;
}

const std::string& Text10() {
  static const std::string text = MakeText(10);
  return text;
}

const std::filesystem::path& WorkDir() {
  static const std::filesystem::path dir = bench::RunFolder("rid-search-bench");
  return dir;
}

std::filesystem::path TextFile() {
  static const std::filesystem::path path = [] {
    auto p = WorkDir() / "text.txt";
    WriteFile(p, Text10());
    return p;
  }();
  return path;
}

TRidEderStringList& Lines() {
  static TRidEderStringList* lines = [] {
    auto* l = new TRidEderStringList;
    l->LoadFromBytes(Text10());
    return l;
  }();
  return *lines;
}

int64_t FindAllLines(TRidEderSearch& Engine) {
  int64_t hits = 0;
  for (int32_t i = 0, n = Lines().GetCount(); i < n; ++i)
    hits += Engine.FindAll(Lines().GetView(i));
  return hits;
}

TRidEderSearch& Engine(const char* Pattern, bool MatchCase) {
  static TRidEderSearch engine(nullptr);
  TRidSearchOptions options;
  if (MatchCase) options.Include(ssoMatchCase);
  engine.SetOptions(options);
  engine.SetPattern(Pattern);
  return engine;
}

void BM_FindAllFrequent(benchmark::State& state) {
  TRidEderSearch& e = Engine(Frequent, state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(FindAllLines(e));
}
BENCHMARK(BM_FindAllFrequent)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_FindAllRare(benchmark::State& state) {
  TRidEderSearch& e = Engine(Rare, state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(FindAllLines(e));
}
BENCHMARK(BM_FindAllRare)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// --- the peers

// grep's count goes to a file: with its output on /dev/null grep stops at the first match.
double GrepCount(const char* Pattern, bool MatchCase, int64_t& Lines) {
  const auto out = WorkDir() / "count";
  const std::string cmd = std::string("LC_ALL=C grep -F -c ") + (MatchCase ? "" : "-i ") + "-e " +
                          Pattern + " '" + TextFile().string() + "' >'" + out.string() + "'";
  const double best = bench::BestTime([&] { return std::system(cmd.c_str()); });
  std::ifstream in(out);
  if (!(in >> Lines)) {
    std::fprintf(stderr, "grep failed: install grep (scripts/setup-deps.sh)\n");
    std::exit(1);
  }
  std::filesystem::remove(out);
  return best;
}

class TPeer {
 public:
  TPeer() {
    Editor.setUtf8(true);
    Editor.resize(800, 600);
  }
  void SetText(const std::string& Utf8) {
    Editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, Utf8.c_str());
    Editor.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  }
  int64_t FindAll(const char* Pattern, bool MatchCase) {
    int64_t hits = 0;
    if (Editor.findFirst(Pattern, false, MatchCase, false, false, true, 0, 0)) {
      for (++hits; Editor.findNext(); ++hits) {
      }
    }
    return hits;
  }
  // Replaces until the hits run out or Seconds have passed; returns the hits replaced.
  int64_t ReplaceAll(const char* Pattern, bool Regex, const char* Replacement, double Seconds) {
    int64_t hits = 0;
    const double stop = bench::WallSeconds() + Seconds;
    Editor.beginUndoAction();
    // POSIX syntax, so that "(" groups as in the other programs.
    if (Editor.findFirst(Pattern, Regex, true, false, false, true, 0, 0, true, Regex)) {
      do {
        Editor.replace(Replacement);
        ++hits;
      } while (bench::WallSeconds() < stop && Editor.findNext());
    }
    Editor.endUndoAction();
    return hits;
  }

 private:
  QsciScintilla Editor;
};

// --- ours in an editor window

struct TEderRun {
  TRidEder Ed{nullptr};
  TRidEderSearch Plain{nullptr};
  TRidEderRegexSearch Regex{nullptr};
  TEderRun() {
    Ed.SetBounds(0, 0, 800, 600);
    Ed.Show();
  }
  void Load(const std::string& Text) {
    Ed.GetLines()->LoadFromBytes(Text);
    Ed.ClearUndo();
    Ed.SetCaretXY({1, 1});
  }
  int32_t ReplaceAll(const char* Pattern, bool IsRegex, const char* Replacement) {
    Ed.SetSearchEngine(IsRegex ? static_cast<TRidEderSearchCustom*>(&Regex) : &Plain);
    TRidSearchOptions o;
    o.Include(ssoMatchCase);
    o.Include(ssoReplaceAll);
    o.Include(ssoEntireScope);
    return Ed.SearchReplace(Pattern, Replacement, o);
  }
};

// The best over five runs of the time Run takes divided by the number it returns, each run
// after an untimed Prepare.
template <typename P, typename R>
double BestPerUnit(P&& Prepare, R&& Run) {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    Prepare();
    const double t0 = bench::WallSeconds();
    const double units = static_cast<double>(Run());
    if (units > 0) best = std::min(best, (bench::WallSeconds() - t0) / units);
  }
  return best;
}

// Replacing all in a fresh copy of Text; Hits receives the count.
double TimeReplaceAll(TEderRun& Run, const std::string& Text, const char* Pattern, bool IsRegex,
                      const char* Replacement, int64_t& Hits) {
  return BestPerUnit([&] { Run.Load(Text); },
                     [&] { return (Hits = Run.ReplaceAll(Pattern, IsRegex, Replacement)) >= 0; });
}

double TimePerlReplace(const std::string& Program) {
  const auto copy = WorkDir() / "perl.txt";
  const std::string cmd = "perl -pi -e '" + Program + "' '" + copy.string() + "'";
  return BestPerUnit([&] { WriteFile(copy, Text10()); },
                     [&] {
                       if (std::system(cmd.c_str()) == 0) return 1;
                       std::fprintf(stderr, "perl failed: install perl (scripts/setup-deps.sh)\n");
                       std::exit(1);
                     });
}

// The peer's best time per hit over five runs of at most two seconds each.
double PeerSecondsPerHit(TPeer& Peer, const std::string& Utf8, const char* Pattern, bool Regex,
                         const char* Replacement, int64_t& Hits) {
  return BestPerUnit([&] { Peer.SetText(Utf8); },
                     [&] { return Hits = Peer.ReplaceAll(Pattern, Regex, Replacement, 2.0); });
}

void ReportSearch(TPeer& Peer) {
  Peer.SetText(SjisToUtf8(Text10()));
  for (const char* pattern : {Rare, Frequent}) {
    for (bool matchCase : {true, false}) {
      TRidEderSearch& e = Engine(pattern, matchCase);
      int64_t ours = 0, grepLines = 0, theirs = 0;
      const double t = bench::BestTime([&] { return ours = FindAllLines(e); });
      const double grep = GrepCount(pattern, matchCase, grepLines);
      const double sci = bench::BestTime([&] { return theirs = Peer.FindAll(pattern, matchCase); });
      std::printf(
          "search %-13s %-10s %6lld hits: ours %5.1f ms, grep -F -c %5.1f ms (%lld lines),"
          " QScintilla %6.1f ms (%lld hits); ratio ours/grep %.2f (goal <= 2),"
          " ours/QScintilla %.3f (goal <= 0.5)\n",
          pattern, matchCase ? "match case" : "any case", static_cast<long long>(ours), t * 1e3,
          grep * 1e3, static_cast<long long>(grepLines), sci * 1e3, static_cast<long long>(theirs),
          t / grep, t / sci);
    }
  }
}

void ReportReplace(TPeer& Peer) {
  TEderRun run;
  const std::string utf8 = SjisToUtf8(Text10());
  struct Case {
    const char* Name;
    const char* Pattern;
    bool Regex;
    const char* Replacement;
    const char* Perl;
    const char* PeerReplacement;
  };
  const Case cases[] = {
      {"plain", Frequent, false, "Pin", "s/Needle/Pin/g", "Pin"},
      {"regex with a group", "Ne(e)dle", true, "P$1n", "s/Ne(e)dle/P$1n/g", "P\\1n"},
  };
  for (const Case& c : cases) {
    int64_t ours = 0, theirs = 0;
    const double t = TimeReplaceAll(run, Text10(), c.Pattern, c.Regex, c.Replacement, ours);
    const double perl = TimePerlReplace(c.Perl);
    const double perHit =
        PeerSecondsPerHit(Peer, utf8, c.Pattern, c.Regex, c.PeerReplacement, theirs);
    const double sci = perHit * static_cast<double>(ours);
    std::printf(
        "replace all, %-18s %lld hits: ours %7.1f ms, perl -pi %7.1f ms, QScintilla %.0f ms"
        " projected (%.2f ms a hit over its first %lld); ratio ours/perl %.2f (goal <= 3),"
        " ours/QScintilla %.5f (goal <= 0.5)\n",
        c.Name, static_cast<long long>(ours), t * 1e3, perl * 1e3, sci * 1e3, perHit * 1e3,
        static_cast<long long>(theirs), t / perl, t / sci);
  }

  // Growth: the same text at 1 MB and at 10 MB.
  int64_t hits1 = 0, hits10 = 0;
  const double t1 = TimeReplaceAll(run, MakeText(1), Frequent, false, "Pin", hits1);
  const double t10 = TimeReplaceAll(run, Text10(), Frequent, false, "Pin", hits10);
  std::printf(
      "replace all per hit: 1 MB %.3f us (%lld hits), 10 MB %.3f us (%lld hits); ratio %.2f"
      " (goal <= 1.2)\n",
      t1 / hits1 * 1e6, static_cast<long long>(hits1), t10 / hits10 * 1e6,
      static_cast<long long>(hits10), (t10 / hits10) / (t1 / hits1));

  // One undo of the whole 10 MB replacement (the last run above left it on the undo list).
  const double u0 = bench::WallSeconds();
  run.Ed.Undo();
  const double undo = bench::WallSeconds() - u0;
  const bool restored = run.Ed.GetLines()->SaveToBytes() == Text10();
  std::printf("one undo of %lld replacements in 10 MB: %.1f ms%s\n", static_cast<long long>(hits10),
              undo * 1e3, restored ? "" : " [the text was not restored]");
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Lines();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TPeer peer;
  ReportSearch(peer);
  ReportReplace(peer);
  std::filesystem::remove_all(WorkDir());
  return 0;
}
