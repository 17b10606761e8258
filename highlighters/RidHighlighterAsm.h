#pragma once
#include <cstdint>
#include <string>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// x86 assembly source. No state carries from one line to the next. The mnemonics are one comma
// text, chained by hash into a TRidHashEntryList as the highlighter is made; they match in any
// case.
class TRidAsmRid : public TRidPlainScanHighlighter {
 public:
  RID_CLASS_NAME(TRidAsmRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,  // also every character no rule names
    tkKey = 2,
    tkNull = 3,
    tkNumber = 4,
    tkSpace = 5,
    tkString = 6,
    tkSymbol = 7,
  };

  explicit TRidAsmRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  bool KeepsLineState() const override { return false; }

  // The mnemonic chains, for checks of their shape.
  const TRidHashEntryList& Keywords() const { return FKeywords; }
  // The hash of the word at the start of AWord (its identifier characters), in 0 .. 1023; the
  // word's length in ALength.
  static uint32_t KeywordHash(std::string_view AWord, int32_t& ALength);

 private:
  static const TScanTable<TRidAsmRid> ScanTable;

  void AddKeyword(const std::string& AKeyword, int32_t AKind);

  void SlashProc();
  void StringProc();
  void NumberProc();
  void IdentProc();
  void SymbolProc();

  TRidHashEntryList FKeywords;
};

}  // namespace rid
