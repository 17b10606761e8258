#pragma once
#include <cstdint>
#include <memory>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Cascading style sheets: selectors, rule blocks with property names and values, comments. The
// range says whether the scanner stands among selectors, in a block or after a colon; a comment
// that goes on over line ends keeps in its range the range it returns to.
class TRidCssRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidCssRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkProperty = 1,
    tkKey = 2,  // selector text
    tkNull = 3,
    tkSpace = 4,
    tkString = 5,
    tkSymbol = 6,
    tkText = 7,
    tkUndefProperty = 8,
    tkValue = 9,
    tkColor = 10,
    tkNumber = 11,
  };
  enum TRangeState : uint8_t {
    rsComment = 0,         // a comment that returns to the selectors
    rsBlock = 2,           // a property is expected
    rsSelector = 3,        // outside any block
    rsAfterSemicolon = 4,  // a property is expected
    rsValue = 5,           // after ":" or ","
    // rsCommentFrom + s: a comment opened in range s (2 to 5), which returns to it.
    rsCommentFrom = 8,
  };

  explicit TRidCssRid(TComponent* AOwner);
  ~TRidCssRid() override;
  static const TRidHighlighterClass& Class();

  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsSelector; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetPropertyAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetColorAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetTextAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetValueAttri() const { return Attri(10); }
  TRidHighlighterAttributes* GetUndefPropertyAttri() const { return Attri(3); }

  // The property names by hash, for checks of their shape.
  const TRidHashEntryList& Keywords() const { return *FKeywords; }

 private:
  static const TScanTable<TRidCssRid> ScanTable;

  bool InComment() const { return FRange == rsComment || (FRange >= 10 && FRange <= 13); }
  void Dispatch() { (this->*ScanTable[Cur()])(); }
  void AddKeyword(const std::string& AKeyword, int32_t AKind);
  void SelectorProc();
  void SlashProc();
  void CommentProc();
  void StringProc();
  void ColorProc();
  void NumberProc();
  void NameProc();
  void SymbolProc();
  int32_t PropertyKind();

  std::unique_ptr<TRidHashEntryList> FKeywords;
  uint8_t FRange = rsSelector;
};

}  // namespace rid
