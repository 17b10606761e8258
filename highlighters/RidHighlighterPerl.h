#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Perl source, the language of the CGI scripts the editor is for. No state carries from one
// line to the next; strings are read byte by byte, as perl reads Shift-JIS source.
class TRidPerlRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidPerlRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,
    tkKey = 2,
    tkNull = 3,
    tkNumber = 4,
    tkOperator = 5,
    tkPragma = 6,
    tkSpace = 7,
    tkString = 8,
    tkSymbol = 9,
    tkUnknown = 10,
    tkVariable = 11,
  };

  explicit TRidPerlRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  // Every Perl token ends on its own line.
  bool KeepsLineState() const override { return false; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetInvalidAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetOperatorAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetPragmaAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetVariableAttri() const { return Attri(10); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  using TScanProc = void (TRidPerlRid::*)();
  static const TScanTable<TRidPerlRid> ScanTable;

  void CommentProc();
  void StringInterpProc();
  void StringLiteralProc();
  void IdentProc();
  void WordProc();
  void NumberProc();
  void SymbolProc();
  void OperatorProc();

  const TRidKeywordTable& FKeywords;
};

}  // namespace rid
