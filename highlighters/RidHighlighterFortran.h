#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Fortran source. No state carries from one line to the next; keywords hash and match as Visual
// Basic's do, in any case. A "C", "c" or "*" in the first column makes the line a comment.
class TRidFortranRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidFortranRid)
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
  };

  explicit TRidFortranRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  bool KeepsLineState() const override { return false; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(6); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  static const TScanTable<TRidFortranRid> ScanTable;

  void StarProc();
  void StringProc();
  void DotProc();
  void NumberProc();
  void IdentProc();
  void SymbolProc();

  const TRidKeywordTable& FKeywords;
};

}  // namespace rid
