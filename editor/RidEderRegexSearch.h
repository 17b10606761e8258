#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderMiscClasses.h"
#include "editor/RidRegExpr.h"

namespace rid {

// The regular-expression search engine: an adapter over TRidRegExpr that keeps the matches
// starting and ending on character starts. Whole word is not used; match case off sets the
// expression's modifier i.
class TRidEderRegexSearch : public TRidEderSearchCustom {
 public:
  RID_CLASS_NAME(TRidEderRegexSearch)
  explicit TRidEderRegexSearch(TComponent* AOwner);
  ~TRidEderRegexSearch() override;

  std::string GetPattern() override { return FRegex->GetExpression(); }
  void SetPattern(const std::string& Value) override { FRegex->SetExpression(Value); }
  // EListError outside 0 .. MatchCount - 1.
  int32_t MatchLength(int32_t AIndex) override;
  int32_t MatchPos(int32_t AIndex) override;
  int32_t MatchCount() override { return static_cast<int32_t>(FPositions.size()); }
  void SetOptions(TRidSearchOptions Value) override;
  int32_t FindAll(std::string_view NewText) override;
  // Every match of the expression in AOccurrence alone replaced by the expanded template.
  std::string Replace(const std::string& AOccurrence, const std::string& AReplacement) override;
  // The template expanded with match AIndex as found in its line, so "^", "\b" and empty
  // matches see the context they were found in.
  std::string ReplaceMatch(int32_t AIndex, const std::string& AOccurrence,
                           const std::string& AReplacement) override;
  TRidRegExpr& RegExpr() { return *FRegex; }

 private:
  int32_t CheckedIndex(int32_t AIndex) const;

  std::unique_ptr<TRidRegExpr> FRegex;
  std::vector<int32_t> FPositions;
  std::vector<int32_t> FLengths;
  std::string FLine;          // the line of the last FindAll: the expression reads it in place
  bool FLineIsInput = false;  // FRegex still holds FLine as its input
};

}  // namespace rid
