#pragma once
#include <cstdint>
#include <string>

#include "highlighters/RidHighlighterScanner.h"
#include "platform/Types.h"

namespace rid {

enum class TCommentStyle : uint8_t {
  csAnsiStyle,  // (* *)
  csPasStyle,   // { }
  csCStyle,     // /* */
  csAsmStyle,   // ; to the end of the line
  csBasStyle,   // ; to the end of the line
  csCPPStyle,   // //
};
using enum TCommentStyle;
using TCommentStyles = TSet<TCommentStyle, 6>;

enum class TStringDelim : uint8_t { sdSingleQuote, sdDoubleQuote };
using enum TStringDelim;

// Text of no particular language: the comment styles, string delimiter and keywords its user
// chooses, numbers, and "#" preprocessor lines if asked. The program colours the files no other
// highlighter claims with it. Its comments step by character, so a trail byte never closes one.
class TRidGeneralRid : public TRidPlainScanHighlighter {
 public:
  RID_CLASS_NAME(TRidGeneralRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkIdentifier = 1,
    tkKey = 2,
    tkNull = 3,
    tkNumber = 4,
    tkPreprocessor = 5,
    tkSpace = 6,
    tkString = 7,
    tkSymbol = 8,
    tkUnknown = 9,
  };
  enum TRangeState : uint8_t {
    rsAnsi = 1,      // inside (* *)
    rsPasStyle = 2,  // inside { }
    rsCStyle = 3,    // inside /* */
    rsUnknown = 4,
  };

  explicit TRidGeneralRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsUnknown; }
  TRidCharSet GetIdentChars() const override { return FIdentChars; }
  // It has no filter of its own: whatever the user sets is stored.
  bool IsFilterStored() const override { return true; }
  // True for a word of the keyword list, in any case.
  bool IsKeyword(const std::string& AKeyword) const override;
  // The keyword list from the value "KeyWords" (items separated by CR LF), then the attributes.
  bool LoadFromRegistry(HKEY RootKey, const std::string& Key) override;
  bool SaveToRegistry(HKEY RootKey, const std::string& Key) override;

  TCommentStyles GetComments() const { return FComments; }
  // A different set repaints, with the highlighter as sender.
  void SetComments(TCommentStyles Value);
  bool GetDetectPreprocessor() const { return FDetectPreprocessor; }
  void SetDetectPreprocessor(bool Value);
  TStringDelim GetStringDelim() const {
    return FScanTable == &DoubleQuoteTable ? sdDoubleQuote : sdSingleQuote;
  }
  // Rebuilds the dispatch, without a repaint.
  void SetStringDelim(TStringDelim Value);
  // Every byte of the identifier set in ascending order, at most 255 of them.
  std::string GetIdentifierChars() const;
  // The identifier set becomes the bytes of Value, and leaves the word-break set. The scanner's
  // identifiers stay letters, digits and "_".
  void SetIdentifierChars(const std::string& Value);
  TStrings* GetKeyWords() { return &FKeyWords; }
  // Upper-cases the items of Value in place, takes them as the keywords and repaints.
  void SetKeyWords(TStrings* Value);

  // The published attribute beside the plain seven.
  TRidHighlighterAttributes* GetPreprocessorAttri() const { return Attri(7); }

 private:
  using TTable = TScanTable<TRidGeneralRid>;
  static const TTable SingleQuoteTable;
  static const TTable DoubleQuoteTable;
  static constexpr TTable MakeScanTable(uint8_t AQuote);

  bool HoldsWord(std::string_view AWord) const;
  void OpenComment(uint8_t ARange, int32_t AOpenerLength);
  void CommentContinueProc();
  void RoundOpenProc();
  void BraceOpenProc();
  void SlashProc();
  void SemicolonProc();
  void HashProc();
  void HexProc();
  void NumberProc();
  void IdentProc();
  void StringProc();
  void SymbolProc();

  TStringList FKeyWords;
  const TTable* FScanTable;
  TCommentStyles FComments;
  TRidCharSet FIdentChars;
  bool FDetectPreprocessor = false;
  uint8_t FRange = rsUnknown;
};

}  // namespace rid
