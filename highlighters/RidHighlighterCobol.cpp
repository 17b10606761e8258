#include "highlighters/RidHighlighterCobol.h"

#include <array>

#include "highlighters/keywords/RidHighlighterCobolKeywords.h"

namespace rid {

namespace {

using C = TRidCobolRid;
namespace kw = keywords::RidHighlighterCobol;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {fsItalic}, clGray},
    {"Identifier", {}},
    {"Area A Identifier", {fsBold}, clTeal},
    {"Preprocessor", {}, clMaroon},
    {"Reserved Word", {fsBold}},
    {"Number", {}, clGreen},
    {"Boolean value", {}, clGreen},
    {"Space", {}},
    {"String", {}, clBlue},
    {"Sequence Number Area", {}, clGray},
    {"Indicator Area", {}, clRed},
    {"Tag Area", {}, clMaroon},
    {"Debugging Lines", {}, clGray},
};
// clang-format on

// Attribute index per token kind (the null kind has none; unknown bytes look like identifiers).
constexpr int8_t kKindAttri[] = {0, 1, 2, 3, 4, 6, -1, 5, 7, 8, 9, 10, 11, 12, 1};

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
// The bytes of a word after its first letter, and what follows a word into its token.
constexpr TRidCharSet kWordChars = kLetters + kDigits + TRidCharSet{'-'};
constexpr TRidCharSet kIdentTable = kWordChars + TRidCharSet{'.'};
constexpr int32_t kTableSize = 209;

// The hash adds letters as 1 to 26 in either case and "-" as -19; words compare by the same
// values, so a digit matches any digit.
constexpr std::array<int8_t, 256> kHashValues = [] {
  std::array<int8_t, 256> v{};
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<int8_t>(c - 'A' + 1);
  v['-'] = -19;
  return v;
}();
constexpr std::array<uint8_t, 256> kCompareValues = [] {
  std::array<uint8_t, 256> v{};
  for (int b = 0; b < 256; ++b) v[b] = static_cast<uint8_t>(kHashValues[b]);
  return v;
}();
constexpr uint64_t KeywordHash(std::string_view AWord) {
  int64_t h = 0;
  for (char c : AWord) h += kHashValues[static_cast<uint8_t>(c)];
  return static_cast<uint64_t>(h);  // every listed word hashes into the table
}

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "COBOL",
    .DefaultFilter = "COBOL Files (*.cbl;*.cob)|*.cbl;*.cob",
    .SampleSource = kw::kSampleSource,
    .IdentChars = kWordChars,
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 4, 8, 7, -1},
    .NullKind = C::tkNull,
    .SpaceKind = C::tkSpace,
    .UnknownKind = C::tkUnknown,
};

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidCobolRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidCobolRid> TRidCobolRid::ScanTable =
    SharedScanTable<TRidCobolRid>(TBlankRun::brThroughLineBreaks)
        .On("\"'=", &C::LiteralStartProc)
        .On('.', &C::PointProc)
        .On(kDigits, &C::NumberProc)
        .On(kLetters, &C::WordProc);

const TRidKeywordTable& TRidCobolRid::KeywordTable() {
  static const TRidKeywordTable table(kw::kKeywords, kTableSize, KeywordHash,
                                      kCompareValues.data());
  return table;
}

const TRidHighlighterClass& TRidCobolRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidCobolRid(AOwner); }};
  return c;
}

TRidCobolRid::TRidCobolRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidCobolRid::SetAreaAStartPos(int32_t Value) {
  FAreaAStartPos = Value < FAreaBStartPos ? Value : FAreaBStartPos;
}

void TRidCobolRid::SetAreaBStartPos(int32_t Value) {
  FAreaBStartPos = Value < FAreaAStartPos ? FAreaAStartPos
                   : Value > FCodeEndPos  ? FCodeEndPos
                                          : Value;
}

void TRidCobolRid::SetCodeEndPos(int32_t Value) {
  FCodeEndPos = Value > FAreaBStartPos ? Value : FAreaBStartPos;
}

void TRidCobolRid::SetLine(std::string_view NewValue, int32_t LineNumber) {
  FIndicator = 0;
  TRidScanHighlighter::SetLine(NewValue, LineNumber);
}

// The columns first: the areas before area A, a comment or debugging line, the tag area, a
// literal going on from the line before; then the byte.
void TRidCobolRid::Next() {
  FTokenStart = FRunPos;
  if (FRunPos < FAreaAStartPos) return AreaProc();
  if (FIndicator == '*' || FIndicator == '/') return CommentLineProc(tkComment);
  if (FIndicator == 'D') return CommentLineProc(tkDebugLines);
  if (FRunPos > FCodeEndPos) return TagAreaProc();
  if (FRange >= rsQuoteString && FRange <= rsApostStringMayBe) return LiteralContinueProc();
  FRange = rsUnknown;
  (this->*ScanTable[Cur()])();
}

uint8_t TRidCobolRid::Delimiter() const {
  switch (FRange) {
    case rsQuoteString:
    case rsQuoteStringMayBe:
      return '"';
    case rsPseudoText:
      return '=';
    default:
      return '\'';
  }
}

void TRidCobolRid::AreaProc() {
  if (IsLineStop(Cur())) return LineStopProc();
  const int32_t indicator = FAreaAStartPos - 1;
  if (FRunPos == indicator) return IndicatorProc();
  FTokenKind = tkSequence;
  do StepChar();
  while (FRunPos < indicator && !IsLineStop(Cur()));
}

// A literal closed right at the code end goes on only on a continuation line whose code starts
// with the doubled quote; any other line that reaches the indicator column ends it.
void TRidCobolRid::IndicatorProc() {
  FTokenKind = tkIndicator;
  const uint8_t b = Cur();
  if (b == '*' || b == '/' || b == 'D') FIndicator = b;
  StepChar();
  if ((FRange == rsQuoteStringMayBe || FRange == rsApostStringMayBe) &&
      (b != '-' || !ContinuesDoubledQuote()))
    FRange = rsUnknown;
}

bool TRidCobolRid::ContinuesDoubledQuote() const {
  int32_t i = FRunPos;
  while (At(i) == ' ' || At(i) == '\t') ++i;
  const uint8_t quote = Delimiter();
  return At(i) == quote && At(i + 1) == quote && i + 1 <= FCodeEndPos;
}

void TRidCobolRid::CommentLineProc(uint8_t AKind) {
  FIndicator = 0;
  if (IsLineStop(Cur())) return LineStopProc();
  FTokenKind = AKind;
  do StepChar();
  while (FRunPos <= FCodeEndPos && !IsLineStop(Cur()));
}

void TRidCobolRid::TagAreaProc() {
  if (IsLineStop(Cur())) return LineStopProc();
  FTokenKind = tkTagArea;
  RunUntil(kLineStops);
}

// A literal or pseudo-text open at the end of the line before: on this line its text starts at
// its delimiter (a doubled quote after a literal closed right at the code end).
void TRidCobolRid::LiteralContinueProc() {
  if (IsLineStop(Cur())) return LineStopProc();
  if (FRange == rsPseudoText) return LiteralEndProc();
  FTokenKind = tkString;
  const uint8_t quote = Delimiter();
  for (;;) {
    if (IsLineStop(Cur()) || FRunPos > FCodeEndPos) return;
    if (Cur() == quote) break;
    StepChar();
  }
  ++FRunPos;
  if (FRange == rsQuoteStringMayBe || FRange == rsApostStringMayBe) {
    FRange -= 3;
    if (!IsLineStop(Cur())) StepChar();  // the second quote of the pair
  }
  LiteralEndProc();
}

// A literal, with its prefix when it has one ("X" or "G"), or pseudo-text after "==".
void TRidCobolRid::LiteralStartProc() {
  const uint8_t b = Cur();
  if (b == '=') {
    if (Ahead(1) != '=') return UnknownProc();
    FRange = rsPseudoText;
    ++FRunPos;
  } else {
    FRange = b == '"' ? rsQuoteString : rsApostString;
  }
  ++FRunPos;
  LiteralEndProc();
}

// To the closing delimiter within the code, or open at its end or the line's. A quote that
// closes right at the code end may be the first of a doubled quote the next line goes on with.
void TRidCobolRid::LiteralEndProc() {
  FTokenKind = tkString;
  const uint8_t quote = Delimiter();
  while (FRunPos <= FCodeEndPos && !IsLineStop(Cur())) {
    if (Cur() == quote && (FRange != rsPseudoText || At(FRunPos - 1) == '=')) {
      const bool atEnd = FRunPos == FCodeEndPos && FRange != rsPseudoText;
      FRange = atEnd ? FRange + 3 : rsUnknown;
      ++FRunPos;
      return;
    }
    StepChar();
  }
}

void TRidCobolRid::PointProc() {
  const uint8_t next = Ahead(1);
  if (FRunPos < FCodeEndPos && (kDigits.Contains(next) || next == 'E' || next == 'e'))
    return NumberProc();
  UnknownProc();
}

// Digits with a point, an exponent and its sign where each may stand, within the code.
void TRidCobolRid::NumberProc() {
  FTokenKind = tkNumber;
  ++FRunPos;
  for (; FRunPos <= FCodeEndPos; ++FRunPos) {
    const uint8_t b = Cur(), before = At(FRunPos - 1), after = Ahead(1);
    bool take;
    switch (b) {
      case 'E':
      case 'e':
        take = kDigits.Contains(before) || before == '.';
        break;
      case '.':
        take = kDigits.Contains(after) || after == 'E' || after == 'e';
        break;
      case '+':
      case '-':
        take = before == 'E' || before == 'e';
        break;
      default:
        take = kDigits.Contains(b);
    }
    if (!take) return;
  }
}

bool TRidCobolRid::RecordFollows(int32_t APos) const {
  int32_t i = APos;
  while (At(i) == ' ' || At(i) == '\t') ++i;
  return i + 6 <= CodeLimit() && AnsiSameText({FLineText + i, 6}, "RECORD");
}

// A word within the code, a trailing point in its token; "X" or "G" right before a quote is the
// prefix of a literal.
void TRidCobolRid::WordProc() {
  const uint8_t b = Cur();
  if ((b == 'G' || b == 'X' || b == 'g' || b == 'x') && FRunPos < FCodeEndPos &&
      (Ahead(1) == '"' || Ahead(1) == '\'')) {
    ++FRunPos;
    return LiteralStartProc();
  }
  const int64_t hash = HashRun(FRunPos, kWordChars, kHashValues.data(), CodeLimit());
  uint8_t kind = tkIdentifier;
  if (hash >= 0)
    kind = FKeywords.Find(static_cast<uint64_t>(hash), FLineText + FWordStart, FWordLength,
                          tkIdentifier);
  if (kind == kwLabel) kind = RecordFollows(FWordStart + FWordLength) ? tkKey : tkPreprocessor;
  if (kind == tkIdentifier && FWordStart < FAreaBStartPos) kind = tkAIdentifier;
  FTokenKind = kind;
  FRunPos += FWordLength;
  while (FRunPos < CodeLimit() && kIdentTable.Contains(Cur())) ++FRunPos;
}

}  // namespace rid
