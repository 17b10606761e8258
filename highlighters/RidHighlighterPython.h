#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// Python source. Triple-quoted strings and strings continued by a final backslash go on over
// line ends; the range holds which, and with which quote. Python reads decoded text, so strings
// step by character: a trail byte that looks like a backslash escapes nothing.
class TRidPythonRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidPythonRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,
    tkKey = 2,
    tkNull = 3,
    tkNumber = 4,
    tkSpace = 5,
    tkString = 6,
    tkSymbol = 7,
    tkNonKeyword = 8,
    tkTripleQuoted = 9,
    tkSystemDefined = 10,
    tkHex = 11,
    tkOct = 12,
    tkFloat = 13,
    tkUnknown = 14,
  };
  enum TRangeState : uint8_t {
    rsNone = 2,
    rsLongSingle = 3,       // inside '''
    rsLongDouble = 4,       // inside """
    rsContinuedSingle = 5,  // inside '...' continued by a final backslash
    rsContinuedDouble = 6,  // inside "..." continued the same way
  };

  explicit TRidPythonRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsNone; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetNonKeyAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetSystemAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetHexAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetOctalAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetFloatAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(10); }
  TRidHighlighterAttributes* GetDocStringAttri() const { return Attri(11); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(12); }
  TRidHighlighterAttributes* GetErrorAttri() const { return Attri(13); }

  // The reserved words and built-in names, sorted in the kit's UpperLess order.
  static std::span<const TRidKeyword> KeywordList();

 private:
  static const TScanTable<TRidPythonRid> ScanTable;

  void StringProc();
  void LongStringContinueProc();
  void ContinuedStringProc();
  void RawProc();
  void UnicodeProc();
  void WordProc();
  void NumberProc();
  void SymbolProc();

  uint8_t FRange = rsNone;
};

}  // namespace rid
