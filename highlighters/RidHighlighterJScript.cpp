#include "highlighters/RidHighlighterJScript.h"

#include <array>
#include <span>
#include <string_view>

#include "highlighters/keywords/RidHighlighterJScriptKeywords.h"

namespace rid {

namespace {

using J = TRidJScriptRid;
using keywords::RidHighlighterJScript::kKeywords;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {fsItalic}},
    {"Identifier", {}},
    {"Reserved Word", {fsBold}},
    {"Non-reserved Keyword", {}},
    {"Event", {}},
    {"Number", {}},
    {"Space", {}},
    {"String", {}},
    {"Symbol", {}},
};
// clang-format on

// Attribute index per token kind (the null kind has none; unknown bytes look like identifiers).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 5, 6, 7, 8, 1, 3, 4};

constexpr char kSampleSource[] =
    "// Syntax highlighting\r\n"
    "function printNumber()\r\n"
    "{\r\n"
    "  var number = 1234;\r\n"
    "  var x;\r\n"
    "  document.write(\"The number is \" + number);\r\n"
    "  for (var i = 0; i <= number; i++)\r\n"
    "  {\r\n"
    "    x++;\r\n"
    "    x--;\r\n"
    "    x += 1.0;\r\n"
    "  }\r\n"
    "  i += @; // illegal character\r\n"
    "}\r\n"
    "body.onLoad = printNumber;";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kHexLetters = TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
constexpr TRidCharSet kIdentTable = kLetters + kDigits + TRidCharSet{'_'};
constexpr int32_t kTableSize = 253;

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "JavaScript",
    .DefaultFilter = "Javascript Files (*.js)|*.js",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kIdentTable + TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 2, 7, 6, 8},
    .NullKind = J::tkNull,
    .SpaceKind = J::tkSpace,
    .UnknownKind = J::tkUnknown,
};

constexpr TRidOperatorForms kOperators(
    std::to_array<std::string_view>({"%=", "%", "*=", "*", "&&", "&=", "&", "++", "+=", "+", "--",
                                     "-=", "->", "-", "|=", "||", "|", "...", "."}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidJScriptRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidJScriptRid> TRidJScriptRid::ScanTable =
    SharedScanTable<TRidJScriptRid>()
        .On("!(),:;<=>?[]{}~", &J::SymbolProc)
        .On("\"'", &J::StringProc)
        .On(kOperators.FirstBytes(), &J::OperatorProc)
        .On('/', &J::SlashProc)
        .OnRange('0', '9', &J::NumberProc)
        .OnRange('A', 'Z', &J::IdentProc)
        .OnRange('a', 'z', &J::IdentProc)
        .On('_', &J::IdentProc);

const TRidKeywordTable& TRidJScriptRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, kTableSize, LetterValueHash);
  return table;
}

const TRidHighlighterClass& TRidJScriptRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidJScriptRid(AOwner); }};
  return c;
}

TRidJScriptRid::TRidJScriptRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidJScriptRid::Next() {
  FTokenStart = FRunPos;
  if (FRange == rsANSI)
    CommentContinueProc();
  else
    (this->*ScanTable[Cur()])();
}

void TRidJScriptRid::CommentContinueProc() {
  if (FRunPos >= FLineLen) {
    FTokenKind = tkNull;
    return;
  }
  FTokenKind = tkComment;
  // The first character is the comment's, even a line break; "*/" there closes at once.
  if (Cur() == '*' && Ahead(1) == '/') {
    FRunPos += 2;
    FRange = rsUnknown;
    return;
  }
  StepChar();
  if (RunToClose("*/", kLineStops)) FRange = rsUnknown;
}

void TRidJScriptRid::SlashProc() {
  switch (Ahead(1)) {
    case '*':
      // The "*" of the opener never closes: "/*/" stays open.
      FTokenKind = tkComment;
      FRange = rsANSI;
      FRunPos += 2;
      if (RunToClose("*/", kLineStops)) FRange = rsUnknown;
      return;
    case '/':
      FTokenKind = tkComment;
      RunUntil(kLineStops);
      return;
    case '=':
      FTokenKind = tkSymbol;
      FRunPos += 2;
      return;
    default:
      FTokenKind = tkSymbol;
      ++FRunPos;
  }
}

void TRidJScriptRid::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esBackslash, true);  // three quotes in a row open one string
}

void TRidJScriptRid::NumberProc() {
  FTokenKind = tkNumber;
  const int32_t start = FRunPos;
  bool hex = false;
  ++FRunPos;
  for (;;) {
    const uint8_t b = Cur();
    if (kDigits.Contains(b) || (b == '.' && Ahead(1) != '.') || (hex && kHexLetters.Contains(b))) {
      ++FRunPos;
    } else if ((b == 'x' || b == 'X') && FRunPos == start + 1 && At(start) == '0' &&
               (kDigits + kHexLetters).Contains(Ahead(1))) {
      hex = true;
      ++FRunPos;
    } else {
      return;
    }
  }
}

void TRidJScriptRid::IdentProc() {
  const uint64_t hash = HashRun(FRunPos, kIdentTable, kLetterValues.data());
  FTokenKind = FKeywords.Find(hash, FLineText + FWordStart, FWordLength, tkIdentifier);
  FRunPos += FWordLength;
}

void TRidJScriptRid::SymbolProc() {
  FTokenKind = tkSymbol;
  ++FRunPos;
}

void TRidJScriptRid::OperatorProc() { OperatorRun(kOperators, tkSymbol); }

}  // namespace rid
