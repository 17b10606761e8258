#include "highlighters/RidHighlighterVB.h"

#include <array>
#include <string_view>

#include "highlighters/keywords/RidHighlighterVBKeywords.h"

namespace rid {

namespace {

using B = TRidVBScanner;

constexpr char kSampleSource[] =
    "' Syntax highlighting\r\n"
    "Function PrintNumber\r\n"
    "  Dim Number\r\n"
    "  Dim X\r\n"
    "\r\n"
    "  Number = 123456\r\n"
    "  Response.Write \"The number is \" & number\r\n"
    "\r\n"
    "  For I = 0 To Number\r\n"
    "    X = X + &h4c\r\n"
    "    X = X - &o8\r\n"
    "    X = X + 1.0\r\n"
    "  Next\r\n"
    "\r\n"
    "  I = I + @;  ' illegal character\r\n"
    "End Function";

constexpr TRidLanguageSpec kLanguage =
    B::Language("Visual Basic", "Visual Basic Files (*.bas)|*.bas",
                {kSampleSource, sizeof kSampleSource - 1}, B::tkUnknown);

constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kWordChars =
    kDigits + TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z') + TRidCharSet{'_'};
constexpr TRidCharSet kNumberSet = kDigits + TRidCharSet::Of(".Ee");

constexpr TRidOperatorForms kSymbols(
    std::to_array<std::string_view>({"&", "(", ")", "*", "+", ",",  "-",  ".", "/",  ":",
                                     ";", "=", "^", "{", "}", "<=", "<>", "<", ">=", ">"}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidVBRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidVBScanner> TRidVBScanner::ScanTable =
    SharedScanTable<TRidVBScanner>()
        .On(kSymbols.FirstBytes(), &B::SymbolProc)
        .On('\'', &B::LineCommentProc)
        .On("\"#", &B::StringProc)
        .On(kDigits, &B::NumberProc)
        .On(kWordChars - kDigits, &B::IdentProc);

TRidVBScanner::TRidVBScanner(TComponent* AOwner, const TRidLanguageSpec& ALanguage,
                             const TRidKeywordTable& AKeywords)
    : TRidPlainScanHighlighter(AOwner, ALanguage), FKeywords(AKeywords) {}

void TRidVBScanner::Next() {
  FTokenStart = FRunPos;
  (this->*ScanTable[Cur()])();
}

// A string ends at the next quote, so a doubled quote starts another; three quotes in a row
// open one. A date literal runs from "#" to "#".
void TRidVBScanner::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esNone, Cur() == '"');
}

void TRidVBScanner::NumberProc() { RunAfterFirst(tkNumber, kNumberSet); }

void TRidVBScanner::IdentProc() {
  const uint64_t hash = HashRun(FRunPos, kWordChars, kLetterValues.data());
  FTokenKind = FKeywords.Find(hash, FLineText + FWordStart, FWordLength, tkIdentifier);
  if (FTokenKind == tkComment) return LineCommentProc();  // "rem": the comment starts at the word
  FRunPos += FWordLength;
}

void TRidVBScanner::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

const TRidKeywordTable& TRidVBRid::KeywordTable() {
  static const TRidKeywordTable table(keywords::RidHighlighterVB::kKeywords, kKeywordSlots,
                                      LetterValueHash, kLetterValues.data());
  return table;
}

const TRidHighlighterClass& TRidVBRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidVBRid(AOwner); }};
  return c;
}

TRidVBRid::TRidVBRid(TComponent* AOwner) : TRidVBScanner(AOwner, kLanguage, KeywordTable()) {}

}  // namespace rid
