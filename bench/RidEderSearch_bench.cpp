// Search and replace over Shift-JIS program text with Japanese words.
//
// Searching 10 MB: we run FindAll of the plain engine on every line of a loaded buffer, for a
// rare literal and for one with about 100,000 hits, with and without match case. Beside it
// `LC_ALL=C grep -F -c` (with -i when case is ignored) reads the same file from the page cache
// and counts the lines that hold the literal (the process start included), and QScintilla finds
// every hit in a UTF-8 twin of the text as a find-all written for its users does: the target
// (SCI_SETTARGETRANGE) runs from past the previous hit to the end of the document and
// SCI_SEARCHINTARGET finds the next hit in it; nothing is selected or scrolled to.
//
// Replacing: SearchReplace replaces every hit in an editor window (offscreen), one undo step for
// all, with the plain engine and with a regular expression with a group. Its whole call is
// timed. The headlines measure it beside QScintilla at its best on the same 1 MB text, its
// change notifications off (SCI_SETMODEVENTMASK 0, so that no SCN_MODIFIED handling runs):
//   - the target loop, as a replace-all written for its users does: the target runs from past
//     the previous hit to the end, each hit is replaced in place (SCI_REPLACETARGET,
//     SCI_REPLACETARGETRE for the expression) and the search goes on past the replacement, all
//     in one undo action. It runs on the Shift-JIS bytes themselves (code page 932) and on a
//     UTF-8 twin; the faster of the two is the headline, named by what it ran on. On the bytes
//     its expression search also finds hits that start on a trail byte: those are passed over;
//   - the one-pass form, on the Shift-JIS bytes: the hits are found without changing anything
//     (the literal by a plain byte search over its document, the expression by its own search,
//     the group through SCI_GETTAG) and a hit that starts on a trail byte is passed over, as our
//     search and its own plain search do; the new text is built beside the document, and one
//     SCI_REPLACETARGET over the whole document puts it in, one undo action.
// Every form's text must equal ours byte for byte, and one undo must bring back the original;
// the line says so when not. The same is checked on 2,000 lines whose trail bytes look like the
// pattern. As information: the byte-only one-pass form, which keeps the hits that start on a
// trail byte (on the 1 MB text it gives the same text only because no trail byte there starts
// the word), the loop on the other code, and the target loop with the notifications on, as its
// users get it: the widget's own work on each SCN_MODIFIED is almost all of its time (about a
// minute a run, so the whole benchmark takes some twelve minutes).
// On 10 MB, `perl -pi -e 's/.../.../g'` rewrites a copy of the whole file (no undo): its
// start-up, reading, writing and its loop over the lines are all timed. Loading the text is not
// timed on any side. Also timed: the time per hit of the control's own Replace All on 1, 10 and
// 100 MB of the same text, one undo of the 10 MB replacement, and every `print` of a 100 MB Perl
// script replaced by PRINTED (two million hits), in processes of their own: by the control's own
// Replace All, with its one undo and redo and the peak memory after loading and after replacing,
// and by the program through its Replace dialog (the file opened in its window, offscreen, the
// dialog's Replace All clicked).
//
// Each time is the best of five runs per side; each ratio is ours over the peer's (below 1:
// faster).
#include <benchmark/benchmark.h>
#include <qsciscintilla.h>
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "app/EderWindow.h"
#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"
#include "platform/Classes.h"
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
  // UTF-8, or else the bytes as they are in code page 932.
  explicit TPeer(bool Utf8 = true) : Sjis(!Utf8) {
    Editor.setUtf8(Utf8);
    if (!Utf8) Editor.SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, 932);
    Editor.resize(800, 600);
  }
  void SetText(const std::string& Utf8) {
    Editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, Utf8.c_str());
    Editor.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  }
  int64_t FindAll(const char* Pattern, bool MatchCase) {
    Editor.SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS,
                         MatchCase ? QsciScintillaBase::SCFIND_MATCHCASE : 0);
    const long end = Editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    int64_t hits = 0;
    for (long from = 0; Next(Pattern, from, end) >= 0; ++hits)
      from = Editor.SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
    return hits;
  }
  int64_t ReplaceAll(const char* Pattern, bool Regex, const char* Replacement, bool Quiet) {
    using Base = QsciScintillaBase;
    const long mask = Editor.SendScintilla(Base::SCI_GETMODEVENTMASK);
    if (Quiet) Editor.SendScintilla(Base::SCI_SETMODEVENTMASK, 0UL);
    // POSIX syntax, so that "(" groups as in the other programs.
    const int flags =
        Base::SCFIND_MATCHCASE | (Regex ? Base::SCFIND_REGEXP | Base::SCFIND_POSIX : 0);
    Editor.SendScintilla(Base::SCI_SETSEARCHFLAGS, flags);
    long end = Editor.SendScintilla(Base::SCI_GETLENGTH);
    // Over code page 932 its expression search also finds hits that start on a trail byte (its
    // plain search does not): those are passed over.
    const bool wholeCharacters = Regex && Sjis;
    const auto next = [&](long From) {
      const auto find = [&](long At) { return Next(Pattern, At, end); };
      return wholeCharacters ? NextStartingACharacter(find, From) : find(From);
    };
    int64_t hits = 0;
    Editor.beginUndoAction();
    for (long from = 0; next(from) >= 0; ++hits) {
      const long found = Editor.SendScintilla(Base::SCI_GETTARGETEND) -
                         Editor.SendScintilla(Base::SCI_GETTARGETSTART);
      const long put =
          Editor.SendScintilla(Regex ? Base::SCI_REPLACETARGETRE : Base::SCI_REPLACETARGET,
                               static_cast<uintptr_t>(-1), Replacement);
      from = Editor.SendScintilla(Base::SCI_GETTARGETEND);
      end += put - found;
    }
    Editor.endUndoAction();
    Editor.SendScintilla(Base::SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
    return hits;
  }
  // The one-pass form, quiet: the hits found (a literal by a plain byte search, an expression by
  // its own search), with WholeCharacters those that start on a trail byte passed over; the new
  // text built beside the document (a replacement's \1 to \9 from the hit's groups), and one
  // target over the whole document replaced by it in one undo action.
  int64_t ReplaceAllOnePass(const char* Pattern, bool Regex, const char* Replacement,
                            bool WholeCharacters) {
    using Base = QsciScintillaBase;
    const long mask = Editor.SendScintilla(Base::SCI_GETMODEVENTMASK);
    Editor.SendScintilla(Base::SCI_SETMODEVENTMASK, 0UL);
    const int flags =
        Base::SCFIND_MATCHCASE | (Regex ? Base::SCFIND_REGEXP | Base::SCFIND_POSIX : 0);
    Editor.SendScintilla(Base::SCI_SETSEARCHFLAGS, flags);
    const long end = Editor.SendScintilla(Base::SCI_GETLENGTH);
    const char* doc =
        reinterpret_cast<const char*>(Editor.SendScintilla(Base::SCI_GETCHARACTERPOINTER));
    std::string text;
    text.reserve(static_cast<size_t>(end) + end / 8);
    int64_t hits = 0;
    long copied = 0;
    // A literal is found by a plain byte search, faster than its own.
    const std::string_view bytes(doc, static_cast<size_t>(end));
    const auto find = [&](long From) {
      if (Regex) return Next(Pattern, From, end);
      const size_t at = bytes.find(Pattern, static_cast<size_t>(From));
      return at == std::string_view::npos ? -1L : static_cast<long>(at);
    };
    const auto next = [&](long From) {
      return WholeCharacters ? NextStartingACharacter(find, From) : find(From);
    };
    for (long from = 0, start; (start = next(from)) >= 0; ++hits) {
      from = Regex ? Editor.SendScintilla(Base::SCI_GETTARGETEND)
                   : start + static_cast<long>(std::strlen(Pattern));
      text.append(doc + copied, static_cast<size_t>(start - copied));
      copied = from;
      for (const char* r = Replacement; *r; ++r) {
        if (Regex && r[0] == '\\' && r[1] >= '1' && r[1] <= '9') {
          char group[256] = "";
          Editor.SendScintilla(Base::SCI_GETTAG, static_cast<unsigned long>(*++r - '0'), group);
          text += group;
        } else {
          text += *r;
        }
      }
    }
    text.append(doc + copied, static_cast<size_t>(end - copied));
    Editor.beginUndoAction();
    Editor.SendScintilla(Base::SCI_SETTARGETRANGE, 0UL, end);
    Editor.SendScintilla(Base::SCI_REPLACETARGET, static_cast<uintptr_t>(text.size()),
                         text.c_str());
    Editor.endUndoAction();
    Editor.SendScintilla(Base::SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
    return hits;
  }
  std::string Text() {
    using Base = QsciScintillaBase;
    const long length = Editor.SendScintilla(Base::SCI_GETLENGTH);
    return std::string(
        reinterpret_cast<const char*>(Editor.SendScintilla(Base::SCI_GETCHARACTERPOINTER)),
        static_cast<size_t>(length));
  }
  // Quiet: an undo is only checked, never timed, and a change notification for each of a loop's
  // replacements would take about a minute.
  void Undo() {
    using Base = QsciScintillaBase;
    const long mask = Editor.SendScintilla(Base::SCI_GETMODEVENTMASK);
    Editor.SendScintilla(Base::SCI_SETMODEVENTMASK, 0UL);
    Editor.SendScintilla(Base::SCI_UNDO);
    Editor.SendScintilla(Base::SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
  }

 private:
  // The first hit Find gives from From on that starts a character; -1 when there is none. From
  // is always where a character starts: at the end of the last hit, or just past a trail byte.
  template <typename F>
  long NextStartingACharacter(F&& Find, long From) {
    long at = Find(From);
    while (at >= 0 && IsTrailByteAt(Range(From, at + 1), static_cast<int32_t>(at - From + 1)))
      at = Find(From = at + 1);
    return at;
  }
  // The document's bytes from From to To; the gap is moved only when it lies between them.
  std::string_view Range(long From, long To) {
    const auto* bytes = reinterpret_cast<const char*>(Editor.SendScintilla(
        QsciScintillaBase::SCI_GETRANGEPOINTER, static_cast<unsigned long>(From), To - From));
    return {bytes, static_cast<size_t>(To - From)};
  }
  // The next hit from From on, the target set to it; -1 when there is none.
  long Next(const char* Pattern, long From, long End) {
    Editor.SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, static_cast<unsigned long>(From),
                         End);
    return Editor.SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET,
                                static_cast<uintptr_t>(std::strlen(Pattern)), Pattern);
  }
  const bool Sjis;
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

// One form of the peer's replace-all: its best time over five runs on a fresh copy of Text, its
// hits, and whether its text was Want (ours) and one undo gave back Text.
struct TPeerRun {
  double Seconds = 0;
  int64_t Hits = 0;
  bool SameText = false;
  bool Undone = false;
};

template <typename R>
TPeerRun TimePeer(TPeer& Peer, const std::string& Text, const std::string& Want, R&& Replace) {
  TPeerRun run;
  run.Seconds =
      BestPerUnit([&] { Peer.SetText(Text); }, [&] { return (run.Hits = Replace(Peer)) >= 0; });
  run.SameText = Peer.Text() == Want;
  Peer.Undo();
  run.Undone = Peer.Text() == Text;
  return run;
}

// "N hits", marked where the run did not do what ours did.
std::string Outcome(const TPeerRun& Run) {
  return std::to_string(Run.Hits) + " hits" +
         (Run.SameText ? "" : ", [its text differs from ours]") +
         (Run.Undone ? "" : ", [one undo did not restore the original]");
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
          " QScintilla %6.1f ms (%lld hits); ratio ours/grep %.2f (goal <= %s),"
          " ours/QScintilla %.3f (goal <= 0.5)\n",
          pattern, matchCase ? "match case" : "any case", static_cast<long long>(ours), t * 1e3,
          grep * 1e3, static_cast<long long>(grepLines), sci * 1e3, static_cast<long long>(theirs),
          t / grep, pattern == Frequent ? "1.5" : "2", t / sci);
    }
  }
}

// What the peer is asked to replace, in its own syntax (\1 for a group).
struct TPeerJob {
  const char* Pattern;
  bool Regex;
  const char* Replacement;
};

auto TargetLoop(const TPeerJob& Job, bool Quiet) {
  return [=](TPeer& P) { return P.ReplaceAll(Job.Pattern, Job.Regex, Job.Replacement, Quiet); };
}

auto OnePass(const TPeerJob& Job, bool WholeCharacters) {
  return [=](TPeer& P) {
    return P.ReplaceAllOnePass(Job.Pattern, Job.Regex, Job.Replacement, WholeCharacters);
  };
}

// The peer's target loop run on the Shift-JIS bytes and on the UTF-8 copy; Best is the faster.
struct TLoopRuns {
  TPeerRun Sjis, Utf8;
  const TPeerRun& Best() const { return Sjis.Seconds <= Utf8.Seconds ? Sjis : Utf8; }
  const TPeerRun& Other() const { return &Best() == &Sjis ? Utf8 : Sjis; }
  const char* BestName() const { return &Best() == &Sjis ? "CP932 bytes" : "UTF-8 copy"; }
  const char* OtherName() const { return &Best() == &Sjis ? "UTF-8 copy" : "CP932 bytes"; }
};

TLoopRuns TimeLoops(TPeer& Utf8Peer, TPeer& SjisPeer, const std::string& Sjis,
                    const std::string& Want, const TPeerJob& Job) {
  return {TimePeer(SjisPeer, Sjis, Want, TargetLoop(Job, true)),
          TimePeer(Utf8Peer, SjisToUtf8(Sjis), SjisToUtf8(Want), TargetLoop(Job, true))};
}

// Every form of the peer beside ours where trail bytes look like the pattern: 2,000 lines of
// 表示\ソース\能, whose 表, ソ and 能 end in the byte of the backslash, each backslash replaced
// by a slash.
void ReportSameWork(TEderRun& Run, TPeer& Utf8Peer, TPeer& SjisPeer) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += Utf8ToSjis("表示\\ソース\\能\r\n");
  for (const TPeerJob& job : {TPeerJob{"\\", false, "/"}, TPeerJob{"\\\\", true, "/"}}) {
    Run.Load(text);
    const int32_t ours = Run.ReplaceAll(job.Pattern, job.Regex, "/");
    const std::string want = Run.Ed.GetLines()->SaveToBytes();
    const TLoopRuns loops = TimeLoops(Utf8Peer, SjisPeer, text, want, job);
    const TPeerRun whole = TimePeer(SjisPeer, text, want, OnePass(job, true));
    const TPeerRun bytes = TimePeer(SjisPeer, text, want, OnePass(job, false));
    std::printf(
        "same work, %-5s where trail bytes look like the pattern (2,000 lines of 表示\\ソース\\能,"
        " \\ by /): ours %d hits; QScintilla's one pass %s, its target loop on CP932 bytes %s, on"
        " the UTF-8 copy %s; as information, the byte-only one pass %s\n",
        job.Regex ? "regex" : "plain", ours, Outcome(whole).c_str(), Outcome(loops.Sjis).c_str(),
        Outcome(loops.Utf8).c_str(), Outcome(bytes).c_str());
  }
}

void ReportReplace(TPeer& Peer) {
  TEderRun run;
  TPeer sjisPeer(false);
  ReportSameWork(run, Peer, sjisPeer);
  const std::string text1 = MakeText(1);
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
    int64_t ours = 0, ours1 = 0;
    const double t = TimeReplaceAll(run, Text10(), c.Pattern, c.Regex, c.Replacement, ours);
    const double perl = TimePerlReplace(c.Perl);
    const double t1 = TimeReplaceAll(run, text1, c.Pattern, c.Regex, c.Replacement, ours1);
    const std::string oursText = run.Ed.GetLines()->SaveToBytes();
    const TPeerJob job{c.Pattern, c.Regex, c.PeerReplacement};
    const TLoopRuns loops = TimeLoops(Peer, sjisPeer, text1, oursText, job);
    const TPeerRun whole = TimePeer(sjisPeer, text1, oursText, OnePass(job, true));
    const TPeerRun bytes = TimePeer(sjisPeer, text1, oursText, OnePass(job, false));
    const TPeerRun loud =
        TimePeer(Peer, SjisToUtf8(text1), SjisToUtf8(oursText), TargetLoop(job, false));
    std::printf(
        "replace all, %-18s 10 MB %lld hits: ours %7.1f ms, perl -pi (a whole-file rewrite:"
        " start-up, reading, writing and a line-by-line loop) %7.1f ms; ratio ours/perl %.2f"
        " (goal <= 3)\n",
        c.Name, static_cast<long long>(ours), t * 1e3, perl * 1e3, t / perl);
    std::printf(
        "replace all, %-18s  1 MB %lld hits: ours %6.1f ms beside QScintilla without its change"
        " notifications: the target loop on its %s %6.1f ms (%s), ratio %.2f (goal <= 1); the one"
        " pass skipping hits on trail bytes %5.1f ms (%s), ratio %.2f (goal <= 2); as information,"
        " the target loop on its %s %6.1f ms (%s), ratio %.2f; the byte-only one pass (hits that"
        " start on a trail byte kept) %5.1f ms (%s), ratio %.2f; the target loop on the UTF-8 copy"
        " with its notifications %7.1f ms (%s), ratio %.2g\n",
        c.Name, static_cast<long long>(ours1), t1 * 1e3, loops.BestName(),
        loops.Best().Seconds * 1e3, Outcome(loops.Best()).c_str(), t1 / loops.Best().Seconds,
        whole.Seconds * 1e3, Outcome(whole).c_str(), t1 / whole.Seconds, loops.OtherName(),
        loops.Other().Seconds * 1e3, Outcome(loops.Other()).c_str(), t1 / loops.Other().Seconds,
        bytes.Seconds * 1e3, Outcome(bytes).c_str(), t1 / bytes.Seconds, loud.Seconds * 1e3,
        Outcome(loud).c_str(), t1 / loud.Seconds);
  }

  // Growth: the same text at 1, 10 and 100 MB.
  int64_t hits1 = 0, hits10 = 0, hits100 = 0;
  const double t1 = TimeReplaceAll(run, MakeText(1), Frequent, false, "Pin", hits1);
  const double t100 = TimeReplaceAll(run, MakeText(100), Frequent, false, "Pin", hits100);
  const double t10 = TimeReplaceAll(run, Text10(), Frequent, false, "Pin", hits10);
  std::printf(
      "replace all per hit, the control's own Replace All: 1 MB %.3f us (%lld hits), 10 MB"
      " %.3f us (%lld hits), 100 MB %.3f us (%lld hits); ratio 100 MB / 1 MB %.2f (goal <= 1.2)\n",
      t1 / hits1 * 1e6, static_cast<long long>(hits1), t10 / hits10 * 1e6,
      static_cast<long long>(hits10), t100 / hits100 * 1e6, static_cast<long long>(hits100),
      (t100 / hits100) / (t1 / hits1));

  // One undo of the whole 10 MB replacement (the last run above left it on the undo list).
  const double u0 = bench::WallSeconds();
  run.Ed.Undo();
  const double undo = bench::WallSeconds() - u0;
  const bool restored = run.Ed.GetLines()->SaveToBytes() == Text10();
  std::printf("one undo of %lld replacements in 10 MB: %.1f ms%s\n", static_cast<long long>(hits10),
              undo * 1e3, restored ? "" : " [the text was not restored]");
}

// --- a 100 MB Perl script, replaced in a process of its own, whose peak memory is its own

// Part of a CGI script, `print` seven times.
const char* const CgiUtf8 =
    "#!/usr/bin/perl\n"
    "# 掲示板スクリプト：投稿の受付と一覧の表示\n"
    "use strict; print;\n"
    "my $q = CGI->new;\n"
    "print $q->header(-charset => 'Shift_JIS');\n"
    "print \"<html><head><title>$title</title></head>\\n\";\n"
    "print \"<body><h1>$title</h1>\\n\";\n"
    "for my $p (@posts) {\n"
    "    print qq{<div class=\"post\"><b>$n</b> さんの投稿</div>\\n};\n"
    "    print \"<hr>\\n\";\n"
    "}\n"
    "print \"</body></html>\\n\";\n";

// The script repeated to 100 MB, Shift-JIS with CR LF.
std::filesystem::path PerlFile() {
  std::string unit;
  for (char c : Utf8ToSjis(CgiUtf8)) {
    if (c == '\n') unit += '\r';
    unit += c;
  }
  std::string text;
  text.reserve((100 << 20) + unit.size());
  while (text.size() < (100 << 20)) text += unit;
  const auto path = WorkDir() / "big.pl";
  WriteFile(path, text);
  return path;
}

long PeakMegabytes() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// The control's own Replace All, in a child: File opened as the program opens a file, every print
// replaced by PRINTED, one undo and one redo. Prints hits, milliseconds of each, the peak after
// loading and after replacing, and whether the undo gave back the file and cleared Modified.
int ReplaceInFile(const char* File) {
  TEderRun run;
  run.Ed.GetLines()->LoadFromFile(File);
  run.Ed.ClearUndo();
  run.Ed.SetModified(false);
  QApplication::processEvents();
  const long loaded = PeakMegabytes();
  double t0 = bench::WallSeconds();
  const int32_t hits = run.ReplaceAll("print", false, "PRINTED");
  const double replace = bench::WallSeconds() - t0;
  const long replaced = PeakMegabytes();
  t0 = bench::WallSeconds();
  run.Ed.Undo();
  const double undo = bench::WallSeconds() - t0;
  const bool saved = !run.Ed.GetModified();
  t0 = bench::WallSeconds();
  run.Ed.Redo();
  const double redo = bench::WallSeconds() - t0;
  run.Ed.Undo();
  const bool restored = run.Ed.GetLines()->SaveToBytes() == LoadBytesFromFile(File);
  std::printf("%d %.1f %.1f %.1f %ld %ld %d\n", hits, replace * 1e3, undo * 1e3, redo * 1e3, loaded,
              replaced, saved && restored);
  return 0;
}

// The program's Replace All, in a child: File opened in the program's window (offscreen, the
// default settings), its Replace dialog filled in (print by PRINTED, match case, entire text) and
// its Replace All button clicked. Prints the milliseconds of the click and the count the status
// line gives.
int ReplaceInWindow(const char* File) {
  TEderWindow window({File});
  window.show();
  QApplication::processEvents();
  window.Search().ShowDialog(true);
  TSearchDialog* dialog = window.Search().ReplaceDialog();
  dialog->findChild<QLineEdit*>("pattern")->setText("print");
  dialog->findChild<QLineEdit*>("replacement")->setText("PRINTED");
  dialog->findChild<QCheckBox*>("matchCase")->setChecked(true);
  dialog->findChild<QRadioButton*>("entireText")->setChecked(true);
  QApplication::processEvents();
  const double t0 = bench::WallSeconds();
  dialog->ReplaceAllButton()->click();
  const double replace = bench::WallSeconds() - t0;
  std::printf("%d %.1f\n", window.statusBar()->currentMessage().split(' ').first().toInt(),
              replace * 1e3);
  return 0;
}

// Runs this program once with Option and File; Read takes its output, false when it is not there.
template <typename R>
void RunChild(const char* Option, const std::filesystem::path& File, R&& Read) {
  const std::string cmd = "'" + std::filesystem::read_symlink("/proc/self/exe").string() + "' " +
                          Option + " '" + File.string() + "'";
  FILE* out = popen(cmd.c_str(), "r");
  if (!out || !Read(out)) {
    std::fprintf(stderr, "the replacing process (%s) failed\n", Option);
    std::exit(1);
  }
  pclose(out);
}

void ReportPerlFile() {
  const auto file = PerlFile();
  // The program's settings file is left out: a fresh one in the run's folder.
  setenv("RIDEDER_REGISTRY", (WorkDir() / "registry.ini").c_str(), 1);
  double best[3] = {1e9, 1e9, 1e9}, dialogBest = 1e9;
  long loaded = 0, replaced = 0;
  int hits = 0, good = 1, dialogHits = 0;
  const auto readControl = [&](FILE* Out) {
    double t[3] = {0, 0, 0};
    int ok = 0;
    if (std::fscanf(Out, "%d %lf %lf %lf %ld %ld %d", &hits, &t[0], &t[1], &t[2], &loaded,
                    &replaced, &ok) != 7)
      return false;
    for (int k = 0; k < 3; ++k) best[k] = std::min(best[k], t[k]);
    good &= ok;
    return true;
  };
  const auto readDialog = [&](FILE* Out) {
    double t = 0;
    if (std::fscanf(Out, "%d %lf", &dialogHits, &t) != 2) return false;
    dialogBest = std::min(dialogBest, t);
    return true;
  };
  // Taking turns, so that both meet the same load from the rest of the machine.
  for (int run = 0; run < 5; ++run) {
    RunChild("--replace-in", file, readControl);
    RunChild("--replace-in-window", file, readDialog);
  }
  std::filesystem::remove(file);
  std::printf(
      "replace all print by PRINTED in a 100 MB Perl script, %d hits, best of 5: the control's own"
      " Replace All %.0f ms; one undo %.0f ms%s, one redo %.0f ms; peak memory %ld MB loaded,"
      " %ld MB after replacing; the program through its Replace dialog (Replace All clicked in its"
      " window, the Perl highlighter on) %.0f ms (%d replaced)%s\n",
      hits, best[0], best[1], good ? "" : " [it did not give back the saved file]", best[2], loaded,
      replaced, dialogBest, dialogHits, dialogHits == hits ? "" : " [not the control's count]");
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--replace-in") == 0) return ReplaceInFile(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--replace-in-window") == 0)
    return ReplaceInWindow(argv[2]);
  benchmark::Initialize(&argc, argv);
  Lines();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TPeer peer;
  ReportSearch(peer);
  ReportReplace(peer);
  ReportPerlFile();
  std::filesystem::remove_all(WorkDir());
  return 0;
}
