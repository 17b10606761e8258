#include "editor/RidEderRegexSearch.h"

namespace rid {

TRidEderRegexSearch::TRidEderRegexSearch(TComponent* AOwner)
    : TRidEderSearchCustom(AOwner), FRegex(std::make_unique<TRidRegExpr>()) {}

TRidEderRegexSearch::~TRidEderRegexSearch() = default;

int32_t TRidEderRegexSearch::CheckedIndex(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= static_cast<int32_t>(FPositions.size()))
    throw EListError(FormatStr(SRidListIndexError, AIndex));
  return AIndex;
}

int32_t TRidEderRegexSearch::MatchLength(int32_t AIndex) { return FLengths[CheckedIndex(AIndex)]; }

int32_t TRidEderRegexSearch::MatchPos(int32_t AIndex) { return FPositions[CheckedIndex(AIndex)]; }

void TRidEderRegexSearch::SetOptions(TRidSearchOptions Value) {
  FRegex->SetModifier(remI, !Value.Contains(ssoMatchCase));
}

int32_t TRidEderRegexSearch::FindAll(std::string_view NewText) {
  FPositions.clear();
  FLengths.clear();
  FLine.assign(NewText);
  FLineIsInput = true;
  TRidCharStarts starts(FLine);
  bool found = FRegex->ExecView(FLine);
  while (found) {
    const int32_t pos = FRegex->MatchPos(0), len = FRegex->MatchLen(0);
    const size_t start = static_cast<size_t>(pos - 1);
    bool whole = starts.IsStart(start);
    if (whole && len > 0) {
      TRidCharStarts ends = starts;
      whole = ends.IsStart(start + static_cast<size_t>(len));
    }
    if (whole) {
      FPositions.push_back(pos);
      FLengths.push_back(len);
    }
    // After a dropped or an empty match the search resumes at the next character start.
    if (whole && len > 0)
      found = FRegex->ExecNext();
    else
      found = FRegex->ExecPos(static_cast<int32_t>(starts.NextAfter(start)) + 1);
  }
  return MatchCount();
}

std::string TRidEderRegexSearch::Replace(const std::string& AOccurrence,
                                         const std::string& AReplacement) {
  FLineIsInput = false;
  return FRegex->Replace(AOccurrence, AReplacement, true);
}

std::string TRidEderRegexSearch::ReplaceMatch(int32_t AIndex, const std::string& AOccurrence,
                                              const std::string& AReplacement) {
  const int32_t pos = MatchPos(AIndex), len = MatchLength(AIndex);
  // While the expression still holds the line, the searches at its hits are one walk forward.
  const bool found = FLineIsInput ? FRegex->ExecPos(pos) : FRegex->ExecView(FLine, pos);
  FLineIsInput = true;
  if (found && FRegex->MatchPos(0) == pos && FRegex->MatchLen(0) == len)
    return FRegex->Substitute(AReplacement);
  return Replace(AOccurrence, AReplacement);
}

}  // namespace rid
