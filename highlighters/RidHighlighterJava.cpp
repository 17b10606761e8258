#include "highlighters/RidHighlighterJava.h"

#include <array>
#include <string_view>

#include "highlighters/keywords/RidHighlighterJavaKeywords.h"

namespace rid {

namespace {

using J = TRidJavaRid;
using keywords::RidHighlighterJava::kKeywords;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {fsItalic}},
    {"Documentation", {fsItalic}},
    {"Identifier", {}},
    {"Invalid Symbol", {}},
    {"Reserved Word", {fsBold}},
    {"Number", {}},
    {"Space", {}, clWindow},
    {"String", {}},
    {"Symbol", {}},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 2, 3, 4, -1, 5, 6, 7, 8, 3};

constexpr char kSampleSource[] =
    "/* Java syntax highlighting */\r\n"
    "import java.util.*;\r\n"
    "\r\n"
    "/** Example class */\r\n"
    "public class Sample {\r\n"
    "  public static void main(String[] args) {\r\n"
    "    int i = 0;\r\n"
    "    for(i = 0; i < 10; i++)\r\n"
    "      System.out.println(\"Hello world\");\r\n"
    "  }\r\n"
    "}";

constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
// Identifiers: ASCII letters, digits, "$", "_" and the Latin-1 letters, whose range holds the
// Shift-JIS lead bytes E0-FC (but F7) too.
constexpr TRidCharSet kIdentTable = TRidCharSet::Of("$_") + kDigits + TRidCharSet::Range('A', 'Z') +
                                    TRidCharSet::Range('a', 'z') + TRidCharSet::Range(0xC0, 0xD6) +
                                    TRidCharSet::Range(0xD8, 0xF6) + TRidCharSet::Range(0xF8, 0xFF);
constexpr TRidCharSet kIdentStart = kIdentTable - kDigits;
constexpr TRidCharSet kNumberSet = TRidCharSet::Of("-.LXlx") + kDigits +
                                   TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
constexpr int32_t kTableSize = 173;

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Java",
    .DefaultFilter = "Java Files (*.java)|*.java",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kIdentTable,
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 2, 4, 7, 6, 8},
    .NullKind = J::tkNull,
    .SpaceKind = J::tkSpace,
    .UnknownKind = J::tkUnknown,
};

constexpr TRidOperatorForms kSymbols(std::to_array<std::string_view>(
    {"!=",  "!",  "%=", "%",  "&&", "&=", "&", "(",   ")",  "*=", "*",  "++", "+=", "+",    ",",
     "--",  "-=", "-",  "/=", "/",  ":",  ";", "<<=", "<<", "<=", "<",  "==", "=",  ">>>=", ">>>",
     ">>=", ">>", ">=", ">",  "?",  "[",  "]", "^=",  "^",  "{",  "|=", "||", "|",  "}",    "~"}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidJavaRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidJavaRid> TRidJavaRid::ScanTable =
    SharedScanTable<TRidJavaRid>()
        .On(kSymbols.FirstBytes(), &J::SymbolProc)
        .On("\"'", &J::StringProc)
        .On("#@", &J::InvalidProc)
        .On(kIdentStart, &J::IdentProc)
        .On('.', &J::DotProc)
        .On('/', &J::SlashProc)
        .OnRange('0', '9', &J::NumberProc);

const TRidKeywordTable& TRidJavaRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, kTableSize, LetterSumHash);
  return table;
}

const TRidHighlighterClass& TRidJavaRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidJavaRid(AOwner); }};
  return c;
}

TRidJavaRid::TRidJavaRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidJavaRid::Next() {
  FTokenStart = FRunPos;
  if (FRange == rsComment || FRange == rsDocument) return CommentProc();
  if (FRunPos < FLineLen) FRange = rsUnknown;  // an empty line keeps even a range of no meaning
  (this->*ScanTable[Cur()])();
}

void TRidJavaRid::CommentProc() {
  if (ContinueToClose("*/", FRange == rsComment ? tkComment : tkDocument)) FRange = rsUnknown;
}

void TRidJavaRid::SlashProc() {
  if (Ahead(1) == '/') {
    FTokenKind = tkComment;
    return RunUntil(kLineStops);
  }
  if (Ahead(1) != '*') return SymbolProc();
  // "/**" opens a documentation comment, but "/**/" is an empty ordinary one.
  const bool document = Ahead(2) == '*' && Ahead(3) != '/';
  FTokenKind = document ? tkDocument : tkComment;
  FRange = document ? rsDocument : rsComment;
  FRunPos += document ? 3 : 2;
  if (RunToClose("*/", kLineStops)) FRange = rsUnknown;
}

void TRidJavaRid::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esBackslash, Cur() == '"');  // '"""' opens a string, "'''" does not
}

void TRidJavaRid::IdentProc() {
  const int32_t start = FRunPos;
  SkipChars(kIdentTable);
  FTokenKind =
      FKeywords.Find({FLineText + start, static_cast<size_t>(FRunPos - start)}, tkIdentifier);
}

void TRidJavaRid::NumberProc() {
  FTokenKind = tkNumber;
  NumberRun(kNumberSet);
}

void TRidJavaRid::DotProc() {
  if (kDigits.Contains(Ahead(1))) return NumberProc();
  FTokenKind = tkSymbol;
  ++FRunPos;
}

void TRidJavaRid::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

void TRidJavaRid::InvalidProc() {
  FTokenKind = tkInvalidSymbol;
  ++FRunPos;
}

}  // namespace rid
