#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// XML documents: a state machine over the range that tells apart element names, attribute names
// and values, namespace declarations (attribute names holding "xmlns"), entity references in
// text and values, comments, CDATA sections, processing instructions and DOCTYPE declarations
// with their internal subset. Every construct may go on over line ends.
class TRidXMLRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidXMLRid)
  enum TTokenKind : uint8_t {
    tkAposAttrValue = 0,
    tkAposEntityRef = 1,
    tkAttribute = 2,
    tkCDATA = 3,
    tkComment = 4,
    tkElement = 5,
    tkEntityRef = 6,
    tkEqual = 7,
    tkNull = 8,
    tkProcessingInstruction = 9,
    tkQuoteAttrValue = 10,
    tkQuoteEntityRef = 11,
    tkSpace = 12,
    tkSymbol = 13,
    tkText = 14,
    tknsAposAttrValue = 15,
    tknsAposEntityRef = 16,
    tknsAttribute = 17,
    tknsEqual = 18,
    tknsQuoteAttrValue = 19,
    tknsQuoteEntityRef = 20,
    tkDocType = 21,
  };
  enum TRangeState : uint8_t {
    rsAposAttrValue = 0,
    rsAPosEntityRef = 1,
    rsAttribute = 2,
    rsCDATA = 3,
    rsComment = 4,
    rsElement = 5,
    rsEntityRef = 6,
    rsEqual = 7,
    rsProcessingInstruction = 8,
    rsQuoteAttrValue = 9,
    rsQuoteEntityRef = 10,
    rsText = 11,
    rsnsAposAttrValue = 12,
    rsnsAPosEntityRef = 13,
    rsnsEqual = 14,
    rsnsQuoteAttrValue = 15,
    rsnsQuoteEntityRef = 16,
    rsDocType = 17,
    rsDocTypeSquareBraces = 18,
  };

  explicit TRidXMLRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  // Empty tokens (an attribute name that is not there, the text before "&", a value before its
  // closing quote) are not passed on; the ranges they set are kept.
  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsText; }

  // Stored and published, but no scanning step reads it.
  bool GetWantBracesParsed() const { return FWantBracesParsed; }
  void SetWantBracesParsed(bool Value) { FWantBracesParsed = Value; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetElementAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetAttributeAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetNamespaceAttributeAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetAttributeValueAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetNamespaceAttributeValueAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetTextAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetCDATAAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetEntityRefAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetProcessingInstructionAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetDocTypeAttri() const { return Attri(10); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(11); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(12); }

 private:
  static const TScanTable<TRidXMLRid> ScanTable;

  void Dispatch() { (this->*ScanTable[Cur()])(); }
  void Scan();
  void OpenTagProc();
  void CloseTagProc();
  void InTagProc();
  void ElementProc();
  void AttributeProc();
  void EqualProc();
  void ValueProc(uint8_t AQuote, uint8_t AKind, uint8_t AEntityRange);
  void EntityProc(uint8_t AKind, uint8_t ANextRange);
  void TextProc();
  void CommentProc();
  // A processing instruction or CDATA section up to ">" after AMark ("?" or "]").
  void MarkedProc(uint8_t AKind, uint8_t AMark);
  void DocTypeProc();

  uint8_t FRange = rsText;
  bool FWantBracesParsed = false;
};

}  // namespace rid
