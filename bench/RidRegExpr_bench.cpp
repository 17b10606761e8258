// Typical editor searches (literals, words, classes, alternations, anchored lines) over a few
// megabytes of generated source text: our engine beside PCRE2 (interpreter, no JIT) and
// Oniguruma on the same patterns. Every engine must find the same number of matches; the table
// at the end gives our time divided by each peer's.
#include <benchmark/benchmark.h>
#define PCRE2_CODE_UNIT_WIDTH 8
#include <oniguruma.h>
#include <pcre2.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "editor/RidRegExpr.h"

namespace {

struct TSearch {
  const char* Name;
  const char* Pattern;
  bool IgnoreCase;
  bool Lines;  // "^" and "$" at line breaks
};

const TSearch kSearches[] = {
    {"literal", "ResultCount", false, false},
    {"rare_literal", "NoSuchIdentifierHere", false, false},
    {"word", "\\bint\\b", false, false},
    {"caseless", "select", true, false},
    {"digits", "[0-9]+", false, false},
    {"identifier_call", "[A-Za-z_]\\w*\\(", false, false},
    {"alternation", "while|return|switch", false, false},
    {"anchored_line", "^\\s*#include", false, true},
    {"line_end_comment", "//[^\\n]*$", false, true},
    {"quoted", "\"[^\"\\n]*\"", false, false},
};

const std::string& Text() {
  static const std::string text = [] {
    static const char* const kLines[] = {
        "  int ResultCount = Compute(value, 42);",
        "  if (index > limit) return FALSE;",
        "#include \"editor/RidEder.h\"",
        "  while (p < end && *p != '\\0') ++p;  // scan to the end",
        "  switch (Kind) { case 1: break; default: return; }",
        "  std::string name = \"select * from table\";",
        "  // \x83\x52\x83\x81\x83\x93\x83\x67: \x93\xfa\x96\x7b\x8c\xea\x82\xcc\x90\xe0\x96\xbe",
        "  for (int i = 0; i < 100; ++i) Total += Items[i].Width;",
        "  SELECT Name, Value FROM Settings WHERE Id = 7;",
        "",
        "void TRidExample::SetTabWidth(int32_t Value) {",
        "}",
    };
    std::mt19937 rng(7);
    std::string t;
    while (t.size() < (4u << 20)) {
      t += kLines[rng() % (sizeof kLines / sizeof kLines[0])];
      t += '\n';
    }
    return t;
  }();
  return text;
}

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

void BM_Rid(benchmark::State& state, TSearch s) {
  rid::TRidRegExpr r;
  r.SetModifier(rid::remI, s.IgnoreCase);
  r.SetModifier(rid::remM, s.Lines);
  r.SetExpression(s.Pattern);
  long count = 0;
  for (auto _ : state) {
    count = 0;
    for (bool found = r.Exec(Text()); found; found = r.ExecNext()) ++count;
    benchmark::DoNotOptimize(count);
  }
  CheckCount(s.Name, "rid", count);
  state.SetBytesProcessed(int64_t(state.iterations()) * Text().size());
  state.counters["matches"] = count;
}

void BM_Pcre2(benchmark::State& state, TSearch s) {
  int err;
  PCRE2_SIZE errOffset;
  uint32_t options = (s.IgnoreCase ? PCRE2_CASELESS : 0) | (s.Lines ? PCRE2_MULTILINE : 0);
  pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(s.Pattern), PCRE2_ZERO_TERMINATED,
                                 options, &err, &errOffset, nullptr);
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(Text().data());
  const PCRE2_SIZE len = Text().size();
  long count = 0;
  for (auto _ : state) {
    count = 0;
    PCRE2_SIZE offset = 0;
    while (offset <= len && pcre2_match(re, subject, len, offset, 0, md, nullptr) >= 0) {
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
      ++count;
      offset = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
    }
    benchmark::DoNotOptimize(count);
  }
  CheckCount(s.Name, "pcre2", count);
  state.SetBytesProcessed(int64_t(state.iterations()) * Text().size());
  pcre2_match_data_free(md);
  pcre2_code_free(re);
}

void BM_Onig(benchmark::State& state, TSearch s) {
  static bool initialised = false;
  if (!initialised) {
    OnigEncoding encs[] = {ONIG_ENCODING_ASCII};
    onig_initialize(encs, 1);
    initialised = true;
  }
  regex_t* re;
  OnigErrorInfo info;
  const auto* pat = reinterpret_cast<const OnigUChar*>(s.Pattern);
  // Ruby syntax: "^" and "$" are line anchors; other searches contain neither.
  onig_new(&re, pat, pat + strlen(s.Pattern),
           s.IgnoreCase ? ONIG_OPTION_IGNORECASE : ONIG_OPTION_NONE, ONIG_ENCODING_ASCII,
           ONIG_SYNTAX_RUBY, &info);
  OnigRegion* region = onig_region_new();
  const auto* start = reinterpret_cast<const OnigUChar*>(Text().data());
  const auto* end = start + Text().size();
  long count = 0;
  for (auto _ : state) {
    count = 0;
    const OnigUChar* from = start;
    while (from <= end && onig_search(re, start, end, from, end, region, ONIG_OPTION_NONE) >= 0) {
      ++count;
      const OnigUChar* b = start + region->beg[0];
      const OnigUChar* e = start + region->end[0];
      from = e > b ? e : e + 1;
    }
    benchmark::DoNotOptimize(count);
  }
  CheckCount(s.Name, "onig", count);
  state.SetBytesProcessed(int64_t(state.iterations()) * Text().size());
  onig_region_free(region, 1);
  onig_free(re);
}

// Keeps every run's time so the ratios can be printed after the console output.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration)
        Times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> Times;
};

}  // namespace

int main(int argc, char** argv) {
  for (const TSearch& s : kSearches) {
    benchmark::RegisterBenchmark((std::string("rid/") + s.Name).c_str(), BM_Rid, s);
    benchmark::RegisterBenchmark((std::string("pcre2/") + s.Name).c_str(), BM_Pcre2, s);
    benchmark::RegisterBenchmark((std::string("onig/") + s.Name).c_str(), BM_Onig, s);
  }
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printf("\n%-18s %10s %10s %10s   %s\n", "search", "matches", "rid/pcre2", "rid/onig",
         "(time ratio; below 1 = we are faster)");
  for (const TSearch& s : kSearches) {
    const auto rid = reporter.Times.find(std::string("rid/") + s.Name);
    const auto pcre = reporter.Times.find(std::string("pcre2/") + s.Name);
    const auto onig = reporter.Times.find(std::string("onig/") + s.Name);
    if (rid == reporter.Times.end() || pcre == reporter.Times.end() ||
        onig == reporter.Times.end()) {
      continue;
    }
    printf("%-18s %10ld %10.2f %10.2f\n", s.Name, gCounts[s.Name], rid->second / pcre->second,
           rid->second / onig->second);
  }
  benchmark::Shutdown();
  return 0;
}
