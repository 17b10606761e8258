#include "highlighters/RidHighlighterPython.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "highlighters/keywords/RidHighlighterPythonKeywords.h"

namespace rid {

namespace {

using P = TRidPythonRid;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {fsItalic}, clGray},
    {"Identifier", {}},
    {"Reserved Word", {fsBold}},
    {"Non-reserved Keyword", {fsBold}, clNavy},
    {"System Functions and Variables", {fsBold}},
    {"Number", {}, clBlue},
    {"Hexadecimal", {}, clBlue},
    {"Octal", {}, clBlue},
    {"Float", {}, clBlue},
    {"Space", {}},
    {"String", {}, clBlue},
    {"Documentation", {}, clTeal},
    {"Symbol", {}},
    {"Syntax Error", {}, clRed},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 5, 9, 10, 12, 3, 11, 4, 6, 7, 8, 13};

constexpr char kSampleSource[] =
    "#!/usr/local/bin/python\r\n"
    "import string, sys\r\n"
    "\"\"\" If no arguments were given, print a helpful message \"\"\"\r\n"
    "if len(sys.argv)==1:\r\n"
    "    print 'Usage: celsius temp1 temp2 ...'\r\n"
    "    sys.exit(0)";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kWordChars = kLetters + kDigits + TRidCharSet{'_'};
// What a malformed number takes along.
constexpr TRidCharSet kBadNumberChars = kWordChars + TRidCharSet{'.'};

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Python",
    .DefaultFilter = "Python Files (*.py)|*.py",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kWordChars + TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    // Strings, so that bracket matching passes over them, and identifiers.
    .DefaultAttri = {0, 1, 2, 10, 9, 12},
    .NullKind = P::tkNull,
    .SpaceKind = P::tkSpace,
    .UnknownKind = P::tkUnknown,
};

constexpr TRidOperatorForms kSymbols(std::to_array<std::string_view>(
    {"!",  "%", "&", "(", ")", "*", "+", ",", "-",  "/",  ":", ";",  "=", "[",
     "\\", "]", "^", "`", "{", "|", "}", "~", "<=", "<>", "<", ">=", ">"}));

constexpr bool KeywordLess(const TRidKeyword& A, const TRidKeyword& B) {
  return UpperLess(A.Word, B.Word);
}
// Both lists in one, sorted: a word is looked up in any case and taken only as it is written.
constexpr auto kSortedKeywords = [] {
  using keywords::RidHighlighterPython::kKeywords;
  std::array<TRidKeyword, std::size(kKeywords)> words{};
  std::copy(std::begin(kKeywords), std::end(kKeywords), words.begin());
  std::sort(words.begin(), words.end(), KeywordLess);
  return words;
}();
static_assert(std::adjacent_find(kSortedKeywords.begin(), kSortedKeywords.end(),
                                 [](const TRidKeyword& A, const TRidKeyword& B) {
                                   return !KeywordLess(A, B);
                                 }) == kSortedKeywords.end(),
              "no two words are equal in any case");

uint8_t KeywordKind(std::string_view AWord) {
  const auto it = std::lower_bound(
      kSortedKeywords.begin(), kSortedKeywords.end(), AWord,
      [](const TRidKeyword& A, std::string_view B) { return UpperLess(A.Word, B); });
  if (it != kSortedKeywords.end() && it->Word == AWord) return it->Kind;
  return P::tkIdentifier;
}

// "__name__": two underscores, a name that neither starts nor ends with one, two underscores.
bool IsSystemName(std::string_view W) {
  const size_t n = W.size();
  return n >= 5 && W[0] == '_' && W[1] == '_' && W[2] != '_' && W[n - 1] == '_' &&
         W[n - 2] == '_' && W[n - 3] != '_';
}

// The number scanner's states and what each does with the byte it meets.
enum TNumberState : uint8_t { nsDecimal, nsFraction, nsZeroThenBig, nsHex, nsOctal, nsExponent };
enum TNumberByte : uint8_t {
  nbOctal,
  nbBigDigit,
  nbE,
  nbJ,
  nbL,
  nbHexLetter,
  nbDot,
  nbLetter,
  nbOther
};
enum TNumberStep : uint8_t {
  stTake,
  stEnd,        // before the byte
  stTakeEnd,    // after the byte
  stImaginary,  // after the byte, a float
  stBad,
  stExponent,
  stToZeroThenBig,
  stDot,          // a fraction follows, unless "..." does
  stFractionDot,  // "..." ends the number, any other point makes it bad
  stZeroDot,      // "..." makes it bad, any other point starts a fraction
};
// clang-format off
constexpr TNumberStep kSteps[6][9] = {
    //              0-7     8-9              E/e         J/j          L/l        A-F        .              letter  other
    /* decimal */  {stTake, stTake,          stExponent, stImaginary, stBad,     stBad,     stDot,         stBad,  stEnd},
    /* fraction */ {stTake, stTake,          stExponent, stImaginary, stBad,     stBad,     stFractionDot, stBad,  stEnd},
    /* 0 8-9 */    {stTake, stTake,          stExponent, stImaginary, stBad,     stBad,     stZeroDot,     stBad,  stBad},
    /* hex */      {stTake, stTake,          stTake,     stBad,       stTakeEnd, stTake,    stFractionDot, stBad,  stEnd},
    /* octal */    {stTake, stToZeroThenBig, stExponent, stImaginary, stTakeEnd, stBad,     stDot,         stBad,  stEnd},
    /* exponent */ {stTake, stTake,          stBad,      stImaginary, stBad,     stBad,     stFractionDot, stBad,  stEnd},
};
// clang-format on

constexpr TNumberByte NumberByte(uint8_t B) {
  if (B >= '0' && B <= '7') return nbOctal;
  if (B == '8' || B == '9') return nbBigDigit;
  if (B == '.') return nbDot;
  if (!kLetters.Contains(B)) return B == '_' ? nbLetter : nbOther;
  switch (B | 0x20) {
    case 'e':
      return nbE;
    case 'j':
      return nbJ;
    case 'l':
      return nbL;
    default:
      return (B | 0x20) <= 'f' ? nbHexLetter : nbLetter;
  }
}

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidPythonRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidPythonRid> TRidPythonRid::ScanTable =
    SharedScanTable<TRidPythonRid>()
        .On(kSymbols.FirstBytes(), &P::SymbolProc)
        .On('#', &P::LineCommentProc)
        .On("\"'", &P::StringProc)
        .On('.', &P::NumberProc)
        .On(kDigits, &P::NumberProc)
        .On(kLetters + TRidCharSet{'_'}, &P::WordProc)
        .On("Rr", &P::RawProc)
        .On("Uu", &P::UnicodeProc);

std::span<const TRidKeyword> TRidPythonRid::KeywordList() { return kSortedKeywords; }

const TRidHighlighterClass& TRidPythonRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidPythonRid(AOwner); }};
  return c;
}

TRidPythonRid::TRidPythonRid(TComponent* AOwner) : TRidScanHighlighter(AOwner, kLanguage) {}

void TRidPythonRid::Next() {
  FTokenStart = FRunPos;
  switch (FRange) {
    case rsLongSingle:
    case rsLongDouble:
      return LongStringContinueProc();
    case rsContinuedSingle:
    case rsContinuedDouble:
      return ContinuedStringProc();
    default:
      (this->*ScanTable[Cur()])();
  }
}

// A string from its quote: three quotes open one that goes on over line ends; a single-line
// string whose line ends in an escaping backslash goes on to the next line. A backslash escapes
// the character after it.
void TRidPythonRid::StringProc() {
  const bool single = Cur() == '\'';
  if (Ahead(1) == Cur() && Ahead(2) == Cur()) {
    FTokenKind = tkTripleQuoted;
    FRange = single ? rsLongSingle : rsLongDouble;
    FRunPos += 3;
    if (RunToClose(single ? "'''" : "\"\"\"", kLineStops, true)) FRange = rsNone;
    return;
  }
  FTokenKind = tkString;
  const TQuoteEnd end = StringRun(TEscape::esBackslash);
  if (end == TQuoteEnd::qeEscapedLineEnd || end == TQuoteEnd::qeEscapedStop)
    FRange = single ? rsContinuedSingle : rsContinuedDouble;
}

void TRidPythonRid::LongStringContinueProc() {
  if (ContinueToClose(FRange == rsLongSingle ? "'''" : "\"\"\"", tkTripleQuoted, true))
    FRange = rsNone;
}

// The line of a continued string: up to its quote, or on to the next line once more when the
// line ends in an escaping backslash.
void TRidPythonRid::ContinuedStringProc() {
  if (IsLineStop(Cur())) return LineStopProc();
  FTokenKind = tkString;
  const TQuoteEnd end =
      RunQuoted(FRange == rsContinuedSingle ? '\'' : '"', TEscape::esBackslash, kLineStops);
  if (end != TQuoteEnd::qeEscapedLineEnd && end != TQuoteEnd::qeEscapedStop) FRange = rsNone;
}

// "r" or "R" right before a quote: a raw string, its prefix part of the token.
void TRidPythonRid::RawProc() {
  if (Ahead(1) != '"' && Ahead(1) != '\'') return WordProc();
  ++FRunPos;
  StringProc();
}

// "u" or "U" before a quote, or before "r" or "R" and a quote: a string, the prefix its part.
void TRidPythonRid::UnicodeProc() {
  const uint8_t next = Ahead(1);
  if ((next == 'r' || next == 'R') && (Ahead(2) == '"' || Ahead(2) == '\'')) ++FRunPos;
  RawProc();
}

void TRidPythonRid::WordProc() {
  SkipSet(kWordChars);
  const std::string_view word(FLineText + FTokenStart, static_cast<size_t>(FRunPos - FTokenStart));
  FTokenKind = KeywordKind(word);
  if (FTokenKind == tkIdentifier && IsSystemName(word)) FTokenKind = tkSystemDefined;
}

// Decimal, octal, hexadecimal and float numbers and imaginary ones, told apart by a small state
// machine; a number that goes wrong takes the letters, digits and points after it along as one
// malformed token.
void TRidPythonRid::NumberProc() {
  FTokenKind = tkNumber;
  TNumberState state = nsDecimal;
  const uint8_t first = Cur();
  ++FRunPos;
  if (first == '.') {
    if (!kDigits.Contains(Cur())) {
      FTokenKind = tkSymbol;
      if (Cur() == '.' && Ahead(1) == '.') FRunPos += 2;
      return;
    }
    ++FRunPos;
    FTokenKind = tkFloat;
    state = nsFraction;
  } else if (first == '0') {
    const uint8_t b = Cur();
    if (b == 'x' || b == 'X') {
      FTokenKind = tkHex;
      state = nsHex;
    } else if (b == '.') {
      FTokenKind = tkFloat;
      state = nsFraction;
    } else if (b >= '0' && b <= '7') {
      FTokenKind = tkOct;
      state = nsOctal;
    } else if (b == '8' || b == '9') {
      FTokenKind = tkFloat;
      state = nsZeroThenBig;
    }
    if (state != nsDecimal) ++FRunPos;
  }
  const auto ellipsis = [this] { return Ahead(1) == '.' && Ahead(2) == '.'; };
  for (;;) {
    switch (kSteps[state][NumberByte(Cur())]) {
      case stTake:
        ++FRunPos;
        continue;
      case stEnd:
        return;
      case stTakeEnd:
        ++FRunPos;
        return;
      case stImaginary:
        ++FRunPos;
        FTokenKind = tkFloat;
        return;
      case stExponent:
        FTokenKind = tkFloat;
        state = nsExponent;
        ++FRunPos;
        if (Cur() == '+' || Cur() == '-') ++FRunPos;
        if (kDigits.Contains(Cur())) continue;
        break;  // bad
      case stToZeroThenBig:
        ++FRunPos;
        FTokenKind = tkFloat;
        state = nsZeroThenBig;
        continue;
      case stDot:
        if (ellipsis()) return;
        ++FRunPos;
        FTokenKind = tkFloat;
        state = nsFraction;
        continue;
      case stFractionDot:
        if (ellipsis()) return;
        break;  // bad
      case stZeroDot:
        if (ellipsis()) break;  // bad
        ++FRunPos;
        FTokenKind = tkFloat;
        state = nsFraction;
        continue;
      case stBad:
        break;
    }
    FTokenKind = tkUnknown;
    SkipSet(kBadNumberChars);
    return;
  }
}

void TRidPythonRid::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

}  // namespace rid
