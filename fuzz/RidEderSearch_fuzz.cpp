// A random line, pattern and options into both search engines. Every hit lies inside the line,
// starts and ends on character starts, comes after the one before it, and holds the pattern
// (the plain engine) or expands "$&" to its own text (the regular-expression engine).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"

namespace {

bool IsStart(std::string_view Line, size_t Pos) {
  rid::TRidCharStarts starts(Line);
  return starts.IsStart(Pos);
}

void CheckHits(rid::TRidEderSearchCustom& E, std::string_view Line, int32_t Count) {
  size_t lastStart = 0, lastEnd = 0;
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t pos = E.MatchPos(i), len = E.MatchLength(i);
    if (pos < 1 || len < 0 || static_cast<size_t>(pos - 1 + len) > Line.size()) abort();
    const size_t start = pos - 1, end = start + len;
    if (!IsStart(Line, start) || !IsStart(Line, end)) abort();
    if (i > 0 && (start < lastEnd || start <= lastStart)) abort();
    lastStart = start;
    lastEnd = end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const uint8_t flags = Data[0];
  const size_t patLen = std::min<size_t>(Data[1], Size - 2);
  const std::string pattern(reinterpret_cast<const char*>(Data + 2), patLen);
  const std::string line(reinterpret_cast<const char*>(Data + 2 + patLen), Size - 2 - patLen);
  rid::TRidSearchOptions options;
  if (flags & 1) options.Include(rid::ssoMatchCase);
  if (flags & 2) options.Include(rid::ssoWholeWord);

  if (!pattern.empty()) {
    rid::TRidEderSearch plain(nullptr);
    plain.SetOptions(options);
    plain.SetPattern(pattern);
    const int32_t n = plain.FindAll(line);
    CheckHits(plain, line, n);
    for (int32_t i = 0; i < n; ++i) {
      const std::string hit = line.substr(plain.MatchPos(i) - 1, pattern.size());
      if ((flags & 1) && hit != pattern) abort();
      if (rid::AnsiLowerCase(hit) != rid::AnsiLowerCase(pattern)) abort();
    }
  }

  rid::TRidEderRegexSearch regex(nullptr);
  regex.SetOptions(options);
  regex.SetPattern(pattern);
  try {
    const int32_t n = regex.FindAll(line);
    CheckHits(regex, line, n);
    for (int32_t i = 0; i < n && i < 64; ++i) {
      const std::string hit = line.substr(regex.MatchPos(i) - 1, regex.MatchLength(i));
      if (regex.ReplaceMatch(i, hit, "$&") != hit) abort();
      regex.ReplaceMatch(i, hit, "<$1|${2}>");
    }
  } catch (const rid::ERidRegExpr&) {
  }
  return 0;
}
