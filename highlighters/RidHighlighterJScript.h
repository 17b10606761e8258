#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// JavaScript source. Only a block comment goes on over a line end. JavaScript is decoded text,
// so strings and comments step by character: a trail byte that looks like a backslash or a
// quote is part of its character.
class TRidJScriptRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidJScriptRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,
    tkKey = 2,
    tkNull = 3,
    tkNumber = 4,
    tkSpace = 5,
    tkString = 6,
    tkSymbol = 7,
    tkUnknown = 8,
    tkNonReservedKey = 9,
    tkEvent = 10,
  };
  enum TRangeState : uint8_t { rsUnknown = 0, rsANSI = 1 };  // rsANSI: inside /* */

  explicit TRidJScriptRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsUnknown; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetNonReservedKeyAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetEventAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(8); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  static const TScanTable<TRidJScriptRid> ScanTable;

  void CommentContinueProc();
  void SlashProc();
  void StringProc();
  void NumberProc();
  void IdentProc();
  void SymbolProc();
  void OperatorProc();

  const TRidKeywordTable& FKeywords;
  uint8_t FRange = rsUnknown;
};

}  // namespace rid
