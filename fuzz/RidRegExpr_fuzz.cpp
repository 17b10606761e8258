// Compiles an expression of up to 4 KB under random modifiers and walks all its matches in a
// subject of up to 16 KB, built by repeating a short unit and ending with a tail, as ExecView does
// (in place, on a buffer holding exactly the subject, so a read past its end is caught) and, for
// subjects up to 4 KB, as Exec does on its copy. The walks must agree step by step, errors
// included; every match must lie inside the subject, after the previous one; Replace must give
// what the walk implies. Errors must be ERidRegExpr; the work budget bounds every walk's time.
//
// Input: modifier byte, expression length (2 bytes), subject length (3 bytes), unit length
// (1 byte), then the expression, the unit and the tail.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "editor/RidRegExpr.h"

namespace {

constexpr size_t kMaxExpression = 4096;
// Walks that spend their whole budget take a tenth of a second or so under the sanitizers, not
// seconds: subjects of a few kilobytes, and a base a sixty-fourth of the editor's, so that the
// share per byte still counts.
constexpr size_t kMaxSubject = 1 << 14;
constexpr int64_t kWorkBase = rid::TRidRegExpr::kWorkBase / 64;

struct TStep {
  bool Found = false;
  int32_t Error = 0;
};

template <typename F>
TStep Step(F&& Search) {
  TStep s;
  try {
    s.Found = Search();
  } catch (const rid::ERidRegExpr& e) {
    s.Error = e.ErrorCode;
  }
  return s;
}

void Require(bool Ok) {
  if (!Ok) abort();
}

void Setup(rid::TRidRegExpr& R, uint8_t Mods, const std::string& Expression) {
  R.SetWorkBase(kWorkBase);
  for (int m = 1; m <= 6; ++m) R.SetModifier(m, (Mods >> (m - 1)) & 1);
  if (Mods & 0x40) R.SetLinePairedSeparator("");
  if (Mods & 0x80) R.SetLineSeparators("\n");
  R.SetExpression(Expression);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 7) return 0;
  const uint8_t mods = Data[0];
  size_t exprLen = (Data[1] | Data[2] << 8) % (kMaxExpression + 1);
  const size_t runLen = (Data[3] | Data[4] << 8 | Data[5] << 16) % (kMaxSubject + 1);
  size_t unitLen = Data[6];
  Data += 7;
  Size -= 7;
  exprLen = std::min(exprLen, Size);
  const std::string expression(reinterpret_cast<const char*>(Data), exprLen);
  Data += exprLen;
  Size -= exprLen;
  unitLen = std::min(unitLen, Size);
  const std::string unit(reinterpret_cast<const char*>(Data), unitLen);
  const std::string tail(reinterpret_cast<const char*>(Data + unitLen), Size - unitLen);
  std::string subject;
  if (!unit.empty()) {
    subject.reserve(runLen + tail.size());
    while (subject.size() < runLen) subject.append(unit, 0, runLen - subject.size());
  }
  subject += tail;
  const std::unique_ptr<char[]> exact(new char[subject.size()]);
  std::copy(subject.begin(), subject.end(), exact.get());
  const std::string_view view(exact.get(), subject.size());
  const std::string_view input = view.substr(0, std::string_view(subject.c_str()).size());
  const int32_t len = static_cast<int32_t>(input.size());

  // Up to this size, the two walks are compared step by step and Replace is checked against
  // them; beyond it, only the in-place walk runs, so that a walk that spends its whole budget
  // stays within the time an input may take under the sanitizers.
  constexpr size_t kCompared = 4 * 1024;
  // Each step of a walk is cheap for the engine but not under the fuzzer's comparison tracing:
  // a walk stops after this many matches (the budget stops a hopeless one far earlier).
  constexpr int kMaxSteps = 100000;
  const bool compare = subject.size() <= kCompared;
  rid::TRidRegExpr copy, inPlace;
  Setup(copy, mods, expression);
  Setup(inPlace, mods, expression);
  std::string replaced;  // what Replace must give, built from the walk
  int32_t prevEnd = 1;
  int32_t minStart = 1;
  TStep a;
  TStep b = Step([&] { return inPlace.ExecView(view); });
  if (compare) a = Step([&] { return copy.Exec(subject); });
  int round = 0;
  for (;; ++round) {
    Require(!compare || (a.Found == b.Found && a.Error == b.Error));
    if (!b.Found || round == kMaxSteps) break;
    const int32_t pos = inPlace.MatchPos(0);
    const int32_t mlen = inPlace.MatchLen(0);
    Require(pos >= minStart && mlen >= 0 && pos + mlen <= len + 1);
    for (int g = 0; g < 15; ++g) {
      const int32_t gp = inPlace.MatchPos(g);
      const int32_t gl = inPlace.MatchLen(g);
      Require(!compare || (gp == copy.MatchPos(g) && gl == copy.MatchLen(g)));
      Require(gp == -1 || (gp >= 1 && gl >= 0 && gp + gl <= len + 1));
    }
    if (compare) {
      if (round < 16) {
        Require(copy.Substitute("<$&|$1|${2}|\\$3>") == inPlace.Substitute("<$&|$1|${2}|\\$3>"));
      }
      replaced.append(input.substr(prevEnd - 1, pos - prevEnd));
      replaced += '[';
      replaced.append(input.substr(pos - 1, mlen));
      replaced += ']';
    }
    prevEnd = pos + mlen;
    minStart = mlen > 0 ? prevEnd : prevEnd + 1;
    b = Step([&] { return inPlace.ExecNext(); });
    if (compare) a = Step([&] { return copy.ExecNext(); });
  }
  // An error stops Replace's walk as well.
  if (!compare || b.Error != 0 || round == kMaxSteps) return 0;
  if (prevEnd - 1 < len) replaced.append(input.substr(prevEnd - 1));
  // The same walk, so it cannot fail where the walk did not.
  Require(copy.Replace(subject, "[$0]", true) == replaced);
  if (len > 0) Step([&] { return inPlace.ExecPos(1 + static_cast<int32_t>(mods) % len); });
  return 0;
}
