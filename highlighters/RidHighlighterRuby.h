#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Ruby scripts, lightly: comments, strings, numbers, reserved words and a second list of words
// the user gives, both found without regard to case. Nothing carries from line to line.
class TRidRubyRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidRubyRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,
    tkKey = 2,
    tkNull = 3,
    tkNumber = 4,
    tkSecondKey = 5,
    tkSpace = 6,
    tkString = 7,
    tkSymbol = 8,
    tkUnknown = 9,
  };

  explicit TRidRubyRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  // Kept when set from outside, but nothing the scanner does reads or changes it.
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = 0; }
  bool KeepsLineState() const override { return false; }
  // A reserved word, whatever its case.
  bool IsKeyword(const std::string& AKeyword) const override;

  // Upper-cases the strings of AList in place (the caller sees it), then keeps a sorted copy
  // without duplicates; nullptr clears the list.
  void SetSecondKeyWords(TStrings* AList);
  const std::vector<std::string>& GetSecondKeyWords() const { return FSecondKeyWords; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetSecondKeyAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(7); }

 private:
  static const TScanTable<TRidRubyRid> ScanTable;

  void StringProc();
  void NumberProc();
  void IdentProc();
  void SymbolProc();

  std::vector<std::string> FSecondKeyWords;  // upper case, sorted by the search's comparison
  uint8_t FRange = 0;
};

}  // namespace rid
