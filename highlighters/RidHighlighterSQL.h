#pragma once
#include <cstdint>
#include <string>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterScanner.h"

namespace rid {

// The SQL dialects, in the order of the published property.
enum class TSQLDialect : uint8_t {
  sqlStandard,
  sqlInterbase6,
  sqlMSSQL7,
  sqlMySQL,
  sqlOracle,
  sqlSybase,
  sqlIngres,
  sqlMSSQL2K,
};
using enum TSQLDialect;

// SQL in eight dialects. The keywords of the dialect (and the user's table names) are chains of
// words by hash, rebuilt from the dialect's comma texts whenever the dialect or the table names
// change; the dialect also decides how "#", backquotes, "[", ":", "@", "/*!" and backslashes in
// strings scan. Block comments and strings carry over line ends.
class TRidSQLRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidSQLRid)
  enum TTokenKind : uint8_t {
    tkComment = 0,
    tkDatatype = 1,
    tkDefaultPackage = 2,
    tkException = 3,
    tkFunction = 4,
    tkIdentifier = 5,
    tkKey = 6,
    tkNull = 7,
    tkNumber = 8,
    tkSpace = 9,
    tkPLSQL = 10,
    tkSQLPlus = 11,
    tkString = 12,
    tkSymbol = 13,
    tkTableName = 14,
    tkUnknown = 15,
    tkVariable = 16,
    tkConditionalComment = 17,
    tkDelimitedIdentifier = 18,
  };
  enum TRangeState : uint8_t {
    rsUnknown = 0,
    rsComment = 1,
    rsString = 2,
    rsConditionalComment = 3,  // MySQL's "/*! ... */"
  };

  explicit TRidSQLRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();

  // From another SQL highlighter the dialect too (its table names stay).
  void Assign(TPersistent* Source) override;
  void Next() override;
  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = static_cast<uint8_t>(Value); }
  void ResetRange() override { FRange = rsUnknown; }
  TRidCharSet GetIdentChars() const override;
  std::string GetSampleSource() const override;
  // True for the data types, default packages, exceptions, functions and reserved words of the
  // dialect, in any case.
  bool IsKeyword(const std::string& AKeyword) const override;

  TSQLDialect GetSQLDialect() const { return FDialect; }
  // A different dialect rebuilds the keywords and repaints with the highlighter as sender, so
  // editors scan their ranges again.
  void SetSQLDialect(TSQLDialect Value);
  // Copies the names (nullptr: none) and rebuilds once; every change of the list rebuilds.
  void SetTableNames(TStrings* Value);
  TStrings* GetTableNames() { return &FTableNames; }

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetConditionalCommentAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetDataTypeAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetDefaultPackageAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetDelimitedIdentifierAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetExceptionAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetFunctionAttri() const { return Attri(6); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(7); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(8); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(9); }
  TRidHighlighterAttributes* GetPLSQLAttri() const { return Attri(10); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(11); }
  TRidHighlighterAttributes* GetSQLPlusAttri() const { return Attri(12); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(13); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(14); }
  TRidHighlighterAttributes* GetTableNameAttri() const { return Attri(15); }
  TRidHighlighterAttributes* GetVariableAttri() const { return Attri(16); }

  // The keyword chains in force, for checks of their shape.
  const TRidHashEntryList& Keywords() const { return FKeywords; }

 private:
  static const TScanTable<TRidSQLRid> ScanTable;

  bool IsServer() const { return FDialect == sqlMSSQL7 || FDialect == sqlMSSQL2K; }
  void Dispatch() { (this->*ScanTable[Cur()])(); }
  void RebuildKeywords();
  void TableNamesChanged(TObject* Sender) { RebuildKeywords(); }
  void AddKeyword(const std::string& AKeyword, int32_t AKind);
  // The hash of the identifier run at AWord, and its length.
  uint32_t KeywordHash(std::string_view AWord, int32_t& ALength) const;
  // The kind of the identifier run at AWord (tkIdentifier when no keyword), and its length.
  uint8_t Lookup(std::string_view AWord, int32_t& ALength) const;

  void IdentProc();
  void VariableProc();
  void NumberProc();
  void StringProc();
  void CommentProc();
  void SlashProc();
  void MinusProc();
  void HashProc();
  void QuoteProc();  // a delimited identifier in double quotes
  void BracketProc();
  void BackquoteProc();
  void SymbolProc();

  TRidHashEntryList FKeywords;
  TStringList FTableNames;
  TSQLDialect FDialect = sqlStandard;
  uint8_t FRange = rsUnknown;
  const TRidCharSet* FIdentTable;
  const uint8_t* FHashValues;
};

}  // namespace rid
