#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// PHP source (without the page around it: "<?" and "?>" are symbols). Strings and block
// comments go on over line ends; inside double-quoted strings the embedded variables are tokens
// of their own. Strings are read byte by byte, as php reads Shift-JIS source (a trail byte 5C
// escapes the quote after it), but no token starts or ends inside a character.
class TRidPHPRid : public TRidPlainScanHighlighter {
 public:
  RID_CLASS_NAME(TRidPHPRid)
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
    tkVariable = 9,
  };
  enum TRangeState : uint8_t {
    rsCode = 0,
    rsSingleQuoted = 1,
    rsDoubleQuoted = 2,
    rsComment = 3,
    rsVariable = 4,  // an embedded variable comes next
  };

  explicit TRidPHPRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsCode; }

  // The published attribute beside the plain seven.
  TRidHighlighterAttributes* GetVariableAttri() const { return Attri(7); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  static const TScanTable<TRidPHPRid> ScanTable;

  void Dispatch() { (this->*ScanTable[Cur()])(); }
  void QuoteProc();
  void DollarProc();
  void SlashProc();
  void CommentProc();
  void NumberProc();
  void IdentProc();
  void SymbolProc();
  void OperatorProc();
  void StringProc();
  void VariableProc();
  void BracedVariable();
  void PlainVariable();
  // Whether an odd run of backslashes stands right before APos (trail bytes 5C count).
  bool Escaped(int32_t APos) const;

  const TRidKeywordTable& FKeywords;
  uint8_t FRange = rsCode;
};

}  // namespace rid
