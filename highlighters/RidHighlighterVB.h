#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// The Visual Basic scanner, which VBScript shares rule for rule: no state carries from one line
// to the next; keywords match in any case, and "rem" comments out the rest of its line. The
// two languages differ only in their keywords, the kind of an unknown character and their
// language data.
class TRidVBScanner : public TRidPlainScanHighlighter {
 public:
  RID_CLASS_NAME(TRidVBScanner)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,
    tkKey = 2,
    tkNull = 3,
    tkNumber = 4,
    tkSpace = 5,
    tkString = 6,  // also date literals
    tkSymbol = 7,
    tkUnknown = 8,
  };

  void Next() override;
  bool KeepsLineState() const override { return false; }

  static constexpr int32_t kKeywordSlots = 134;
  // Attribute index per token kind (the null kind has none; unknown characters look like
  // identifiers).
  static constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 3, 4, 5, 6, 1};
  // The data of one of the two languages; the rest they share.
  static constexpr TRidLanguageSpec Language(std::string_view AName, std::string_view AFilter,
                                             std::string_view ASample, uint8_t AUnknownKind) {
    return {
        .LanguageName = AName,
        .DefaultFilter = AFilter,
        .SampleSource = ASample,
        .IdentChars = TRidCharSet::Range('0', '9') + TRidCharSet::Range('A', 'Z') +
                      TRidCharSet::Range('a', 'z') + TRidCharSet{'_'} +
                      TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                      TRidCharSet::Range(0xF8, 0xFF),
        .Attributes = kPlainAttributes,
        .KindAttri = kKindAttri,
        .DefaultAttri = {0, 1, 2, 5, 4, 6},
        .NullKind = tkNull,
        .SpaceKind = tkSpace,
        .UnknownKind = AUnknownKind,
    };
  }

 protected:
  TRidVBScanner(TComponent* AOwner, const TRidLanguageSpec& ALanguage,
                const TRidKeywordTable& AKeywords);

 private:
  static const TScanTable<TRidVBScanner> ScanTable;

  void StringProc();
  void NumberProc();
  void IdentProc();
  void SymbolProc();

  const TRidKeywordTable& FKeywords;
};

// Visual Basic source; its unknown characters are kind 8.
class TRidVBRid final : public TRidVBScanner {
 public:
  RID_CLASS_NAME(TRidVBRid)
  explicit TRidVBRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();
  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();
};

}  // namespace rid
