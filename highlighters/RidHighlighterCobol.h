#pragma once
#include <cstdint>
#include <string_view>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Fixed-format COBOL, where a byte's meaning depends on its column: the sequence number area,
// the indicator column (comment, debugging and continuation lines), areas A and B, and the tag
// area past the code. Literals and pseudo-text go on over line ends in the range. Columns are
// 0-based byte positions.
class TRidCobolRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidCobolRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,
    tkAIdentifier = 2,  // a name that starts in area A
    tkPreprocessor = 3,
    tkKey = 4,
    tkBoolean = 5,
    tkNull = 6,
    tkNumber = 7,
    tkSpace = 8,
    tkString = 9,  // also pseudo-text and figurative constants
    tkSequence = 10,
    tkIndicator = 11,
    tkTagArea = 12,
    tkDebugLines = 13,
    tkUnknown = 14,
  };
  // The keyword class of "LABEL": a keyword before "RECORD", a preprocessor word elsewhere.
  static constexpr uint8_t kwLabel = 255;
  enum TRangeState : uint8_t {
    rsUnknown = 0,
    rsQuoteString = 1,       // inside "..."
    rsApostString = 2,       // inside '...'
    rsPseudoText = 3,        // inside ==...==
    rsQuoteStringMayBe = 4,  // "..." closed right at the code end: a continuation may go on
    rsApostStringMayBe = 5,  // the same for '...'
  };

  explicit TRidCobolRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  // Starts a line with no indicator seen: the line before may have stopped after its own.
  void SetLine(std::string_view NewValue, int32_t LineNumber) override;
  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsUnknown; }

  // The columns, kept in order: AreaAStartPos <= AreaBStartPos <= CodeEndPos. The indicator
  // column is the one before area A; the sequence number area lies before it.
  int32_t GetAreaAStartPos() const { return FAreaAStartPos; }
  int32_t GetAreaBStartPos() const { return FAreaBStartPos; }
  int32_t GetCodeEndPos() const { return FCodeEndPos; }
  void SetAreaAStartPos(int32_t Value);
  void SetAreaBStartPos(int32_t Value);
  void SetCodeEndPos(int32_t Value);

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetAreaAIdentifierAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetPreprocessorAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetBooleanAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetSequenceAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetIndicatorAttri() const { return Attri(10); }
  TRidHighlighterAttributes* GetTagAreaAttri() const { return Attri(11); }
  TRidHighlighterAttributes* GetDebugLinesAttri() const { return Attri(12); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  static const TScanTable<TRidCobolRid> ScanTable;

  // The first position past the code on this line.
  int32_t CodeLimit() const { return FCodeEndPos < FLineLen ? FCodeEndPos + 1 : FLineLen; }
  uint8_t Delimiter() const;
  bool ContinuesDoubledQuote() const;
  bool RecordFollows(int32_t APos) const;

  void AreaProc();
  void IndicatorProc();
  void CommentLineProc(uint8_t AKind);  // a comment or debugging line
  void TagAreaProc();
  void LiteralContinueProc();
  void LiteralStartProc();
  void LiteralEndProc();
  void PointProc();
  void NumberProc();
  void WordProc();

  const TRidKeywordTable& FKeywords;
  int32_t FAreaAStartPos = 7;
  int32_t FAreaBStartPos = 11;
  int32_t FCodeEndPos = 71;
  uint8_t FRange = rsUnknown;
  uint8_t FIndicator = 0;  // '*', '/', 'D' or 0
};

}  // namespace rid
