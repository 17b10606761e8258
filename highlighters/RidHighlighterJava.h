#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Java source. Documentation comments have a kind of their own; "@" and "#" are flagged. A
// string or character literal ends on its own line; comments carry over line ends.
class TRidJavaRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidJavaRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkDocument = 1,
    tkIdentifier = 2,
    tkInvalidSymbol = 3,
    tkKey = 4,
    tkNull = 5,
    tkNumber = 6,
    tkSpace = 7,
    tkString = 8,
    tkSymbol = 9,
    tkUnknown = 10,
  };
  enum TRangeState : uint8_t {
    rsComment = 1,
    rsDocument = 2,
    rsUnknown = 3,  // plain code; any other value counts as this
  };

  explicit TRidJavaRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsUnknown; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetDocumentAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetInvalidAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(8); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  static const TScanTable<TRidJavaRid> ScanTable;

  void CommentProc();
  void SlashProc();
  void StringProc();
  void IdentProc();
  void NumberProc();
  void DotProc();
  void SymbolProc();
  void InvalidProc();

  const TRidKeywordTable& FKeywords;
  uint8_t FRange = rsUnknown;
};

}  // namespace rid
