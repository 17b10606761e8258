#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// TeX and LaTeX text. Control sequences, "%" comments, the "$" math switch, braces and square
// brackets are told by their bytes; everything else is text. A Shift-JIS character is one text
// token, and inside a control sequence its trail byte is never TeX syntax.
class TRidTeXRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidTeXRid)
  enum TTokenKind : uint8_t {
    tkBrace = 0,
    tkBracket = 1,
    tkNull = 2,
    tkSpace = 3,
    tkText = 4,
    tkComment = 5,
    tkControlSequence = 6,
    tkMathMode = 7,
  };

  explicit TRidTeXRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  bool KeepsLineState() const override { return false; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetTextAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetControlSequenceAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetMathmodeAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetBraceAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetBracketAttri() const { return Attri(5); }

 private:
  static const TScanTable<TRidTeXRid> ScanTable;

  void ControlSequenceProc();
  void OneByteProc();
};

}  // namespace rid
