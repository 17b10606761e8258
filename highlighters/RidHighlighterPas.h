#pragma once
#include <cstdint>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// The Delphi versions whose words the highlighter knows, oldest first.
enum class TDelphiVersion : uint8_t {
  dvDelphi1,
  dvDelphi2,
  dvDelphi3,
  dvDelphi4,
  dvDelphi5,
  dvDelphi6,
  dvDelphi7,
  dvDelphi8,
  dvDelphi2005,
};
using enum TDelphiVersion;

// Object Pascal. Many words are reserved only in a context (property and exports declarations,
// package sources) or from a Delphi version on; asm blocks colour everything but comments,
// directives and space as assembler; comments, directives, asm blocks and the property and
// exports declarations carry over line ends. Colour schemes of an installed Delphi IDE can be
// imported.
class TRidPasRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidPasRid)
  enum TTokenKind : uint8_t {
    tkAsm = 0,
    tkComment = 1,
    tkIdentifier = 2,
    tkKey = 3,
    tkNull = 4,
    tkNumber = 5,
    tkSpace = 6,
    tkString = 7,
    tkSymbol = 8,
    tkUnknown = 9,
    tkFloat = 10,
    tkHex = 11,
    tkDirec = 12,
    tkChar = 13,
  };
  enum TRangeState : uint8_t {
    rsANil = 0,  // scanned like rsUnknown
    rsAnsi = 1,  // (* *)
    rsAnsiAsm = 2,
    rsAsm = 3,
    rsBor = 4,  // { }
    rsBorAsm = 5,
    rsProperty = 6,
    rsExports = 7,
    rsDirective = 8,  // {$ }
    rsDirectiveAsm = 9,
    rsUnknown = 10,  // plain code
  };
  // When a reserved word is one, and what it does to the range (the keyword data's classes).
  enum TWordClass : uint8_t {
    wcPlain,
    wcAsm,       // opens an asm block
    wcEnd,       // ends an asm block, a property declaration or an exports clause
    wcProperty,  // opens a property declaration
    wcExports,   // opens an exports clause
    wcDelphi2,
    wcDelphi3,
    wcDelphi4,
    wcDelphi6,
    wcDelphi8,
    wcPackage,
    wcPropertySpec,
    wcPropertySpecDelphi3,
    wcPropertySpecDelphi4,
    wcPropertyOrExports,
    wcExportsSpec,
    wcNone,  // not a listed word
  };

  explicit TRidPasRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  // Inside an asm block a token other than a comment, directive or space is assembler.
  int32_t GetTokenKind() const override;
  TRidHighlighterAttributes* GetTokenAttribute() const override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsUnknown; }
  THighlighterCapabilities GetCapabilities() const override {
    return {capUserSettings, capRegistry};
  }
  // The installed Delphi versions, and the import of one's colour scheme (all or nothing).
  void EnumUserSettings(TStrings* Settings) override;
  bool UseUserSettings(int32_t SettingIndex) override;

  // Both setters repaint with the highlighter as sender when the value changes, so editors scan
  // their ranges again. A version below Delphi 3 has no package sources; a package source needs
  // Delphi 3 at least.
  TDelphiVersion GetDelphiVersion() const { return FDelphiVersion; }
  void SetDelphiVersion(TDelphiVersion Value);
  bool GetPackageSource() const { return FPackageSource; }
  void SetPackageSource(bool Value);

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetAsmAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetDirectiveAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetFloatAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetHexAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetCharAttri() const { return Attri(10); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(11); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  static const TScanTable<TRidPasRid> ScanTable;

  bool ReportsAsm() const;
  // Whether a word of the class is reserved now; applies its effect when it is.
  bool TakeWord(uint8_t AClass);
  void AnsiProc();
  void BorProc();
  void RoundOpenProc();
  void BraceOpenProc();
  void SlashProc();
  void SemicolonProc();
  void NumberProc();
  void HexProc();
  void CharProc();
  void StringProc();
  void IdentProc();
  void SymbolProc();

  const TRidKeywordTable& FKeywords;
  uint8_t FRange = rsUnknown;
  bool FAsmStart = false;  // the token is the asm keyword that opened the block
  TDelphiVersion FDelphiVersion = dvDelphi2005;
  bool FPackageSource = true;
};

}  // namespace rid
