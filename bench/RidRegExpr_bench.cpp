// Searching as an editor does: every line of a real source file (the Perl modules installed
// with perl, about 4 MB, converted to Shift-JIS) is handed to the engine on its own, and all the
// matches in the line are walked. Every side does the same work per line:
// - rid: ExecView on the line in place, then ExecNext until no match is left;
// - rid_exec: the same with Exec, which copies the line first: what a caller pays without
//   ExecView;
// - pcre2: pcre2_match (the interpreter, no JIT) from the line's start, then again after each
//   match (one byte further after an empty one), with one match-data block made beforehand;
// - pcre2_jit: the same with the pattern also compiled to machine code (pcre2_jit_compile,
//   PCRE2_JIT_COMPLETE), which pcre2_match then runs: PCRE2 at its fastest, which our engine,
//   an interpreter, does not try to be;
// - onig: onig_search on the line likewise (ASCII encoding, Ruby syntax), one region made
//   beforehand.
// Patterns are compiled once, before timing. Every side must find the same number of matches.
// After Google Benchmark's runs, a table gives each side's best of five runs over the whole
// file, in CPU time (the machine may be shared), and our time divided by each peer's.
#include <benchmark/benchmark.h>
#define PCRE2_CODE_UNIT_WIDTH 8
#include <oniguruma.h>
#include <pcre2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "editor/RidRegExpr.h"
#include "platform/Locale.h"

namespace {

struct TSearch {
  const char* Name;
  const char* Pattern;
  bool IgnoreCase;
};

// What a user of the editor types into the search box on Perl source.
const TSearch kSearches[] = {
    {"literal", "return", false},
    {"rare_literal", "NoSuchIdentifierHere", false},
    {"word", "\\bmy\\b", false},
    {"caseless", "error", true},
    {"digits", "[0-9]+", false},
    {"variable", "\\$\\w+", false},
    {"identifier_call", "[A-Za-z_]\\w*\\(", false},
    {"alternation", "while|return|foreach", false},
    {"anchored_line", "^\\s*sub\\s", false},
    {"line_end_comment", "#[^\\n]*$", false},
    {"quoted", "\"[^\"\\n]*\"", false},
    {"doubled_word", "\\b(\\w+)\\s+\\1\\b", false},
};

// The file's lines, converted to Shift-JIS, without their line breaks.
const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = [] {
    const std::string sjis = rid::Utf8ToSjis(rid::bench::InstalledPerlModules());
    std::vector<std::string> out;
    for (std::string_view line : rid::bench::SplitLines(sjis)) {
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      out.emplace_back(line);
    }
    return out;
  }();
  return lines;
}

size_t TextBytes() {
  size_t n = 0;
  for (const std::string& line : Lines()) n += line.size() + 1;
  return n;
}

// One engine with one compiled pattern; Count walks every match of every line.
class TRid {
 public:
  TRid(const TSearch& s, bool copy) : FCopy(copy) {
    FR.SetModifier(rid::remI, s.IgnoreCase);
    FR.SetExpression(s.Pattern);
    FR.Compile();
  }
  long Count() {
    long count = 0;
    for (const std::string& line : Lines()) {
      for (bool found = FCopy ? FR.Exec(line) : FR.ExecView(line); found; found = FR.ExecNext()) {
        ++count;
      }
    }
    return count;
  }

 private:
  rid::TRidRegExpr FR;
  bool FCopy;
};

class TPcre2 {
 public:
  TPcre2(const TSearch& s, bool jit) {
    int err;
    PCRE2_SIZE errOffset;
    FRe = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(s.Pattern), PCRE2_ZERO_TERMINATED,
                        s.IgnoreCase ? PCRE2_CASELESS : 0, &err, &errOffset, nullptr);
    if (FRe == nullptr) {
      fprintf(stderr, "pcre2 refuses %s\n", s.Pattern);
      exit(1);
    }
    if (jit && pcre2_jit_compile(FRe, PCRE2_JIT_COMPLETE) != 0) {
      fprintf(stderr, "pcre2 has no JIT for %s (libpcre2-8-0 built without it?)\n", s.Pattern);
      exit(1);
    }
    FMd = pcre2_match_data_create_from_pattern(FRe, nullptr);
  }
  ~TPcre2() {
    pcre2_match_data_free(FMd);
    pcre2_code_free(FRe);
  }
  long Count() {
    long count = 0;
    for (const std::string& line : Lines()) {
      const auto* subject = reinterpret_cast<PCRE2_SPTR>(line.data());
      const PCRE2_SIZE len = line.size();
      PCRE2_SIZE offset = 0;
      while (offset <= len && pcre2_match(FRe, subject, len, offset, 0, FMd, nullptr) >= 0) {
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(FMd);
        ++count;
        offset = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
      }
    }
    return count;
  }

 private:
  pcre2_code* FRe;
  pcre2_match_data* FMd;
};

class TOnig {
 public:
  explicit TOnig(const TSearch& s) {
    static bool initialised = false;
    if (!initialised) {
      OnigEncoding encs[] = {ONIG_ENCODING_ASCII};
      onig_initialize(encs, 1);
      initialised = true;
    }
    OnigErrorInfo info;
    const auto* pat = reinterpret_cast<const OnigUChar*>(s.Pattern);
    if (onig_new(&FRe, pat, pat + strlen(s.Pattern),
                 s.IgnoreCase ? ONIG_OPTION_IGNORECASE : ONIG_OPTION_NONE, ONIG_ENCODING_ASCII,
                 ONIG_SYNTAX_RUBY, &info) != ONIG_NORMAL) {
      fprintf(stderr, "oniguruma refuses %s\n", s.Pattern);
      exit(1);
    }
    FRegion = onig_region_new();
  }
  ~TOnig() {
    onig_region_free(FRegion, 1);
    onig_free(FRe);
  }
  long Count() {
    long count = 0;
    for (const std::string& line : Lines()) {
      const auto* start = reinterpret_cast<const OnigUChar*>(line.data());
      const auto* end = start + line.size();
      const OnigUChar* from = start;
      while (from <= end &&
             onig_search(FRe, start, end, from, end, FRegion, ONIG_OPTION_NONE) >= 0) {
        ++count;
        const OnigUChar* b = start + FRegion->beg[0];
        const OnigUChar* e = start + FRegion->end[0];
        from = e > b ? e : e + 1;
      }
    }
    return count;
  }

 private:
  regex_t* FRe;
  OnigRegion* FRegion;
};

std::map<std::string, long> gCounts;

void CheckCount(const std::string& search, const char* engine, long count) {
  const auto it = gCounts.find(search);
  if (it == gCounts.end()) {
    gCounts[search] = count;
  } else if (it->second != count) {
    fprintf(stderr, "%s: %s found %ld matches, expected %ld\n", search.c_str(), engine, count,
            it->second);
    exit(1);
  }
}

template <typename TEngine, typename... TArgs>
void BM_Search(benchmark::State& state, TSearch s, const char* engine, TArgs... args) {
  TEngine e(s, args...);
  long count = 0;
  for (auto _ : state) {
    count = e.Count();
    benchmark::DoNotOptimize(count);
  }
  CheckCount(s.Name, engine, count);
  state.SetBytesProcessed(int64_t(state.iterations()) * TextBytes());
  state.counters["matches"] = count;
}

}  // namespace

int main(int argc, char** argv) {
  for (const TSearch& s : kSearches) {
    const std::string name = s.Name;
    benchmark::RegisterBenchmark(("rid/" + name).c_str(), BM_Search<TRid, bool>, s, "rid", false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("rid_exec/" + name).c_str(), BM_Search<TRid, bool>, s, "rid_exec",
                                 true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("pcre2/" + name).c_str(), BM_Search<TPcre2, bool>, s, "pcre2",
                                 false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("pcre2_jit/" + name).c_str(), BM_Search<TPcre2, bool>, s,
                                 "pcre2_jit", true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("onig/" + name).c_str(), BM_Search<TOnig>, s, "onig")
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  printf("\n%zu lines, %zu bytes; each engine called once per line. Best of 5 runs, CPU ms:\n",
         Lines().size(), TextBytes());
  printf("%-17s %8s %8s %8s %8s %9s %8s %9s %9s %9s\n", "search", "matches", "rid", "rid_exec",
         "pcre2", "pcre2_jit", "onig", "rid/pcre2", "rid/jit", "rid/onig");
  for (const TSearch& s : kSearches) {
    TRid rid(s, false), ridExec(s, true);
    TPcre2 pcre(s, false), pcreJit(s, true);
    TOnig onig(s);
    const long count = rid.Count();
    CheckCount(s.Name, "rid", count);
    CheckCount(s.Name, "rid_exec", ridExec.Count());
    CheckCount(s.Name, "pcre2", pcre.Count());
    CheckCount(s.Name, "pcre2_jit", pcreJit.Count());
    CheckCount(s.Name, "onig", onig.Count());
    const double tRid = rid::bench::BestCpuTime([&] { return rid.Count(); });
    const double tExec = rid::bench::BestCpuTime([&] { return ridExec.Count(); });
    const double tPcre = rid::bench::BestCpuTime([&] { return pcre.Count(); });
    const double tJit = rid::bench::BestCpuTime([&] { return pcreJit.Count(); });
    const double tOnig = rid::bench::BestCpuTime([&] { return onig.Count(); });
    printf("%-17s %8ld %8.2f %8.2f %8.2f %9.2f %8.2f %9.2f %9.2f %9.2f\n", s.Name, count,
           tRid * 1e3, tExec * 1e3, tPcre * 1e3, tJit * 1e3, tOnig * 1e3, tRid / tPcre, tRid / tJit,
           tRid / tOnig);
  }
  printf("(ratio below 1: we are faster)\n");
  return 0;
}
