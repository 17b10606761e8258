#include "editor/RidEderSearch.h"

#include <cstring>

#include "platform/Locale.h"

namespace rid {

TRidEderSearch::TRidEderSearch(TComponent* AOwner) : TRidEderSearchCustom(AOwner) {
  MakeTranslationTable(false);
  for (int b = 0; b < 256; ++b)
    FDelimiters[b] = !IsCharAlphaNumericA(static_cast<uint8_t>(b)) && b != '_';
}

void TRidEderSearch::SetPattern(const std::string& Value) {
  if (Value == FPattern) return;
  FPattern = Value;
  FShiftInitialized = false;
}

int32_t TRidEderSearch::MatchLength(int32_t) { return static_cast<int32_t>(FPattern.size()); }

int32_t TRidEderSearch::MatchPos(int32_t AIndex) {
  return AIndex >= 0 && AIndex < MatchCount() ? FResults[AIndex] : 0;
}

void TRidEderSearch::SetOptions(TRidSearchOptions Value) {
  FCaseSensitive = Value.Contains(ssoMatchCase);
  FWholeWord = Value.Contains(ssoWholeWord);
  if (FCaseSensitive != FTableCaseSensitive) MakeTranslationTable(FCaseSensitive);
}

std::string TRidEderSearch::Replace(const std::string&, const std::string& AReplacement) {
  return AReplacement;
}

void TRidEderSearch::MakeTranslationTable(bool CaseSensitive) {
  for (int b = 0; b < 256; ++b) FTranslate[b] = static_cast<uint8_t>(b);
  if (!CaseSensitive) CharLowerBuffA(reinterpret_cast<char*>(FTranslate.data()), FTranslate.size());
  FTableCaseSensitive = CaseSensitive;
  FShiftInitialized = false;
}

void TRidEderSearch::InitSkipTable() {
  const size_t m = FPattern.size();
  if (m == 0) throw Exception("Pattern is empty");
  FPatLen = static_cast<int32_t>(m);
  FPatternTranslated.resize(m);
  for (size_t j = 0; j < m; ++j)
    FPatternTranslated[j] = static_cast<char>(FTranslate[static_cast<uint8_t>(FPattern[j])]);
  // The pattern's own characters: their second bytes compare exactly.
  FExact.assign(m, 0);
  FEndsInLeadByte = false;
  TRidCharStarts starts(FPattern);
  for (size_t j = 0; j < m; j = starts.NextAfter(j)) {
    if (starts.NextAfter(j) == j + 2) FExact[j + 1] = 1;
    FEndsInLeadByte = j == m - 1 && IsDBCSLeadByte(FPattern[j]);
  }
  FShift.fill(FPatLen + 1);
  for (size_t j = 0; j < m; ++j)
    FShift[static_cast<uint8_t>(FPatternTranslated[j])] = static_cast<int32_t>(m - j);
  const char last = FPatternTranslated[m - 1];
  FLookAt = FPatLen;
  for (size_t d = 1; d < m; ++d) {
    if (FPatternTranslated[m - 1 - d] == last) {
      FLookAt = static_cast<int32_t>(d);
      break;
    }
  }
  FShiftInitialized = true;
}

bool TRidEderSearch::PatternAt(size_t Window) const {
  const char* t = FText.data() + Window;
  if (FTableCaseSensitive) return std::memcmp(t, FPattern.data(), FPattern.size()) == 0;
  for (size_t j = 0; j < FPattern.size(); ++j) {
    const uint8_t b = static_cast<uint8_t>(t[j]);
    if (FExact[j] ? b != static_cast<uint8_t>(FPattern[j])
                  : FTranslate[b] != static_cast<uint8_t>(FPatternTranslated[j]))
      return false;
  }
  return true;
}

// A double-byte character next to the hit is a delimiter; so is the start or end of the line.
bool TRidEderSearch::IsWholeWord(size_t Window, TRidCharStarts& Starts) const {
  if (Window > 0) {
    const size_t prev = Starts.PrevStart();
    if (Window - prev == 1 && !FDelimiters[static_cast<uint8_t>(FText[prev])]) return false;
  }
  const size_t end = Window + FPattern.size();
  return end >= FText.size() || FDelimiters[static_cast<uint8_t>(FText[end])];
}

// The text's characters inside a hit mirror the pattern's, so the hit ends on a character
// start unless the pattern ends in a lead byte that takes the text's next byte.
bool TRidEderSearch::IsHit(size_t Window, TRidCharStarts& Starts) const {
  if (!PatternAt(Window) || !Starts.IsStart(Window)) return false;
  const size_t end = Window + FPattern.size();
  if (FEndsInLeadByte && end < FText.size() && IsDBCSTrailByte(static_cast<uint8_t>(FText[end])))
    return false;
  return !FWholeWord || IsWholeWord(Window, Starts);
}

int32_t TRidEderSearch::FindAll(std::string_view NewText) {
  FResults.clear();
  if (!FShiftInitialized) InitSkipTable();
  const size_t n = NewText.size(), m = FPattern.size();
  if (n < m) return 0;
  FText = NewText;
  TRidCharStarts starts(NewText);
  const uint8_t* t = reinterpret_cast<const uint8_t*>(NewText.data());
  const uint8_t first = static_cast<uint8_t>(FPatternTranslated[0]);
  const uint8_t last = static_cast<uint8_t>(FPatternTranslated[m - 1]);
  // The run position is the text byte under the pattern's last byte; the search after a hit
  // starts a full pattern length further, so hits never overlap. The first byte is compared
  // here, so that most windows that only end alike cost no call.
  size_t run = m - 1;
  while (run < n) {
    if (FTranslate[t[run]] == last) {
      const size_t window = run + 1 - m;
      if (FTranslate[t[window]] == first && IsHit(window, starts)) {
        FResults.push_back(static_cast<int32_t>(window + 1));
        run += m;
        continue;
      }
      run += FLookAt;
      if (run >= n) break;
      run += FShift[FTranslate[t[run]]] - 1;
    } else {
      // The byte after the window decides the shift; past the line end it reads as 0.
      run += FShift[FTranslate[run + 1 < n ? t[run + 1] : 0]];
    }
  }
  FText = {};
  return MatchCount();
}

}  // namespace rid
