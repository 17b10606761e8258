#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderMiscClasses.h"

namespace rid {

// The plain-text search engine: a Horspool search that looks one byte beyond the window, with
// a case-folding table and a whole-word rule. Hits start and end on character starts; case
// folding changes single-byte ASCII letters only, so the bytes of a double-byte character
// compare exactly.
class TRidEderSearch : public TRidEderSearchCustom {
 public:
  RID_CLASS_NAME(TRidEderSearch)
  explicit TRidEderSearch(TComponent* AOwner);

  std::string GetPattern() override { return FPattern; }
  void SetPattern(const std::string& Value) override;
  // The pattern's length, for every index.
  int32_t MatchLength(int32_t AIndex) override;
  // 0 outside 0 .. MatchCount - 1.
  int32_t MatchPos(int32_t AIndex) override;
  int32_t MatchCount() override { return static_cast<int32_t>(FResults.size()); }
  void SetOptions(TRidSearchOptions Value) override;
  // Raises "Pattern is empty" for an empty pattern.
  int32_t FindAll(std::string_view NewText) override;
  // The replacement, unchanged.
  std::string Replace(const std::string& AOccurrence, const std::string& AReplacement) override;

 private:
  void MakeTranslationTable(bool CaseSensitive);
  void InitSkipTable();
  // Whether the pattern lies at 0-based Window of the text, byte by byte.
  bool PatternAt(size_t Window) const;
  bool IsWholeWord(size_t Window, TRidCharStarts& Starts) const;
  bool IsHit(size_t Window, TRidCharStarts& Starts) const;

  bool FTableCaseSensitive = false;  // the case sensitivity FTranslate was built for
  std::array<uint8_t, 256> FTranslate{};
  std::array<bool, 256> FDelimiters{};  // neither alphanumeric nor "_"
  std::string_view FText;               // the line of the running FindAll
  std::string FPattern;
  std::string FPatternTranslated;
  std::vector<uint8_t> FExact;   // pattern bytes that are second bytes of a character
  bool FEndsInLeadByte = false;  // the pattern's last byte is a lead byte without its second
  int32_t FLookAt = 0;
  int32_t FPatLen = 0;
  std::array<int32_t, 256> FShift{};
  bool FCaseSensitive = false;
  bool FWholeWord = false;
  std::vector<int32_t> FResults;
  bool FShiftInitialized = false;
};

}  // namespace rid
