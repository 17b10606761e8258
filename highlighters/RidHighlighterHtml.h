#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// HTML documents: tags with their attribute names and values, comments, text and character
// entities. The range says where the scanner stands (text, comment, tag, value); comments and
// quoted values go on over line ends.
class TRidHTMLRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidHTMLRid)
  enum TTokenKind : uint8_t {
    tkAmpersand = 0,
    tkComment = 1,
    tkIdentifier = 2,
    tkKey = 3,
    tkNull = 4,
    tkSpace = 5,
    tkSymbol = 6,
    tkText = 7,
    tkUndefKey = 8,
    tkValue = 9,
  };
  enum TRangeState : uint8_t {
    rsAmpersand = 0,  // an entity starts at the scan position
    rsComment = 1,
    rsAfterLess = 2,  // a tag name is expected
    rsTag = 3,        // attribute names
    rsText = 4,
    rsAfterEqual = 6,  // a value is expected
    rsSingleQuoted = 7,
    rsDoubleQuoted = 8,
  };

  explicit TRidHTMLRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  void SetLine(std::string_view NewValue, int32_t LineNumber) override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsText; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetAndAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetTextAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetUndefKeyAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetValueAttri() const { return Attri(7); }

  // The tag-name table and the entities in the order they are tried, for checks of their shape.
  static const TRidKeywordTable& KeywordTable();
  static std::span<const std::string_view> Entities();

 private:
  static const TScanTable<TRidHTMLRid> ScanTable;

  void Dispatch() { (this->*ScanTable[Cur()])(); }
  void TagOpenProc();
  void TagCloseProc();
  void EqualProc();
  void CommentProc();
  void TextProc();
  void NameProc();
  void ValueProc();
  void AmpersandProc();
  // Steps over "#" and the decimal digits, or "#x" and the hexadecimal ones, from FRunPos.
  void SkipNumericReference();
  // The entity spelt at APos ("&name;"): its index in the list, or -1.
  int32_t EntityAt(int32_t APos) const;

  const TRidKeywordTable& FKeywords;
  uint8_t FRange = rsText;
  int32_t FEntityIndex = -1;
};

}  // namespace rid
