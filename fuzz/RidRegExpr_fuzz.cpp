// Compiles a random expression under random modifiers and runs it over random input: Exec,
// ExecNext to the end, ExecPos, Substitute and Replace. Errors must be ERidRegExpr; match
// positions must lie inside the input; the work budget bounds the time of every search.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/RidRegExpr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const uint8_t mods = Data[0];
  const size_t patLen = Data[1] % 64;
  Data += 2;
  Size -= 2;
  const size_t split = patLen < Size ? patLen : Size;
  const std::string pattern(reinterpret_cast<const char*>(Data), split);
  const std::string input(reinterpret_cast<const char*>(Data + split), Size - split);

  rid::TRidRegExpr r;
  for (int m = 1; m <= 6; ++m) r.SetModifier(m, (mods >> (m - 1)) & 1);
  if (mods & 0x40) r.SetLinePairedSeparator("");
  if (mods & 0x80) r.SetLineSeparators("\n");
  try {
    r.SetExpression(pattern);
    int32_t len = static_cast<int32_t>(std::string(input.c_str()).size());
    int rounds = 0;
    for (bool found = r.Exec(input); found && rounds < 1000; found = r.ExecNext(), ++rounds) {
      const int32_t pos = r.MatchPos(0);
      const int32_t mlen = r.MatchLen(0);
      if (pos < 1 || mlen < 0 || pos + mlen > len + 1) abort();
      for (int g = 1; g < 15; ++g) {
        const int32_t gp = r.MatchPos(g);
        const int32_t gl = r.MatchLen(g);
        if (gp != -1 && (gp < 1 || gl < 0 || gp + gl > len + 1)) abort();
      }
      r.Substitute("<$&|$1|${2}|\\$3>");
    }
    if (len > 0) r.ExecPos(1 + static_cast<int32_t>(mods) % len);
    r.Replace(input, "[$0]", true);
  } catch (const rid::ERidRegExpr&) {
  }
  return 0;
}
