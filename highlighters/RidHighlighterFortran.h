#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Fortran source. No state carries from one line to the next; keywords hash and match as Visual
// Basic's do, in any case. A "C", "c" or "*" in the first column makes the line a comment.
class TRidFortranRid : public TRidPlainScanHighlighter {
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
