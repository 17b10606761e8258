#include "highlighters/RidHighlighterFortran.h"

#include <array>
#include <string_view>

#include "highlighters/keywords/RidHighlighterFortranKeywords.h"

namespace rid {

namespace {

using F = TRidFortranRid;
using keywords::RidHighlighterFortran::kKeywords;

// Attribute index per token kind (the null kind has none; unknown characters look like
// identifiers).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 3, 4, 5, 6, 1};

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kWordChars = kLetters + kDigits + TRidCharSet{'_'};
constexpr TRidCharSet kNumberSet = kDigits + TRidCharSet::Of(".EFXefx");
constexpr int32_t kTableSize = 146;

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Fortran",
    .DefaultFilter = "Fortran Files (*.for)|*.for",
    .SampleSource = {},
    .IdentChars = kWordChars + TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kPlainAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 2, 5, 4, 6},
    .NullKind = F::tkNull,
    .SpaceKind = F::tkSpace,
    .UnknownKind = F::tkUnknown,
};

constexpr TRidOperatorForms kSymbols(
    std::to_array<std::string_view>({"%", "(", ")", "+", ",", "-", "/", ";", "*", "==", "=",
                                     "<<=", "<<", "<=", "<", ">>=", ">>", ">=", ">"}));
// The operators written with points, whose letters match in any case.
constexpr std::string_view kDotted[] = {".GE.", ".GT.",  ".LE.",  ".LT.",   ".NE.",   ".EQ.",
                                        ".OR.", ".AND.", ".NOT.", ".TRUE.", ".FALSE."};

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidFortranRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidFortranRid> TRidFortranRid::ScanTable =
    SharedScanTable<TRidFortranRid>()
        .On(kSymbols.FirstBytes(), &F::SymbolProc)
        .On('*', &F::StarProc)
        .On('!', &F::LineCommentProc)
        .On("\"'", &F::StringProc)
        .On('.', &F::DotProc)
        .On(kDigits, &F::NumberProc)
        .On(kLetters + TRidCharSet{'_'}, &F::IdentProc);

const TRidKeywordTable& TRidFortranRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, kTableSize, LetterValueHash, kLetterValues.data());
  return table;
}

const TRidHighlighterClass& TRidFortranRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidFortranRid(AOwner); }};
  return c;
}

TRidFortranRid::TRidFortranRid(TComponent* AOwner)
    : TRidPlainScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidFortranRid::Next() {
  FTokenStart = FRunPos;
  (this->*ScanTable[Cur()])();
}

// In the first column a comment line; elsewhere multiplication.
void TRidFortranRid::StarProc() {
  if (FRunPos == 0) return LineCommentProc();
  SymbolProc();
}

// To the same quote on this line; a string of '"' that opens with three of them skips two.
void TRidFortranRid::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esNone, Cur() == '"');
}

void TRidFortranRid::DotProc() {
  FTokenKind = tkSymbol;
  for (std::string_view op : kDotted) {
    const auto size = static_cast<int32_t>(op.size());
    if (FRunPos + size <= FLineLen && AnsiSameText({FLineText + FRunPos, op.size()}, op)) {
      FRunPos += size;
      return;
    }
  }
  ++FRunPos;
}

void TRidFortranRid::NumberProc() {
  FTokenKind = tkNumber;
  NumberRun(kNumberSet);
}

void TRidFortranRid::IdentProc() {
  if (FRunPos == 0 && (Cur() == 'C' || Cur() == 'c')) return LineCommentProc();
  const uint64_t hash = HashRun(FRunPos, kWordChars, kLetterValues.data());
  FTokenKind = FKeywords.Find(hash, FLineText + FWordStart, FWordLength, tkIdentifier);
  FRunPos += FWordLength;
}

void TRidFortranRid::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

}  // namespace rid
