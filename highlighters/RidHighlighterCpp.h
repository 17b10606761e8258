#pragma once
#include <cstdint>
#include <string_view>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// C and C++, with the Borland extensions. Preprocessor lines start with "#" as their first
// non-blank byte and go on over a final backslash; strings too; inline assembler (asm, _asm,
// __asm, with or without a braced block) is reported as assembler; numbers are told apart as
// decimal, octal, hexadecimal, floating-point or malformed. Colour schemes of an installed
// C++Builder IDE can be imported.
class TRidCppRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidCppRid)
  enum TTokenKind : uint8_t {
    tkAsm = 0,
    tkComment = 1,
    tkDirective = 2,
    tkIdentifier = 3,
    tkKey = 4,
    tkNull = 5,
    tkNumber = 6,
    tkSpace = 7,
    tkString = 8,
    tkSymbol = 9,
    tkUnknown = 10,  // an illegal character or a malformed number
    tkChar = 11,
    tkFloat = 12,
    tkHex = 13,
    tkOctal = 14,
  };
  // The keyword data's mark for the words that open an asm statement (reported as tkKey).
  static constexpr uint8_t kwAsm = 255;
  enum TRangeState : uint8_t {
    rsUnknown = 0,
    rsAnsiC = 1,          // /* */
    rsAnsiCAsm = 2,       // /* */ in an asm statement
    rsAnsiCAsmBlock = 3,  // /* */ in an asm block
    rsAsm = 4,            // an asm statement, to ";"
    rsAsmBlock = 5,       // an asm block, to "}"
    rsDirectiveComment = 7,
    rsMultiLineString = 10,
    rsMultiLineDirective = 11,
  };

  explicit TRidCppRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void SetLine(std::string_view NewValue, int32_t LineNumber) override;
  void Next() override;
  // Inside inline assembler a token other than a comment or space is assembler.
  int32_t GetTokenKind() const override;
  TRidHighlighterAttributes* GetTokenAttribute() const override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsUnknown; }
  THighlighterCapabilities GetCapabilities() const override {
    return {capUserSettings, capRegistry};
  }
  // The installed C++Builder versions, and the import of one's colour scheme (all or nothing).
  void EnumUserSettings(TStrings* Settings) override;
  bool UseUserSettings(int32_t SettingIndex) override;

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetAsmAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetDirecAttri() const { return Attri(13); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetInvalidAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetFloatAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetHexAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetOctalAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(10); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(11); }
  TRidHighlighterAttributes* GetCharAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(12); }

  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();

 private:
  static const TScanTable<TRidCppRid> ScanTable;

  void Scan();
  bool ReportsAsm() const;
  void CommentProc();
  void CommentRun();  // to the end of the comment or of the line
  void DirectiveRun();
  void HashProc();
  void DirectiveProc();
  void StringProc();
  void StringContinueProc();
  void CharProc();
  void SlashProc();
  void DotProc();
  void NumberProc();
  void IdentProc();
  void SemicolonProc();
  void BraceOpenProc();
  void BraceCloseProc();
  void SymbolProc();
  void InvalidProc();

  const TRidKeywordTable& FKeywords;
  uint8_t FRange = rsUnknown;
  bool FAsmStart = false;       // the token opened the asm statement or block
  bool FDirectiveLine = false;  // the line's first non-blank byte is "#"
};

}  // namespace rid
