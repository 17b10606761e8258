#include "highlighters/RidHighlighterSQL.h"

#include <array>
#include <string_view>

#include "highlighters/keywords/RidHighlighterSQLKeywords.h"

namespace rid {

namespace {

using S = TRidSQLRid;
namespace kw = keywords::RidHighlighterSQL;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {fsItalic}},
    {"Conditional Comment", {fsItalic}},
    {"Data Type", {fsBold}},
    {"Default Packages", {fsBold}},
    {"Delimited Identifier", {}},
    {"Exception", {fsItalic}},
    {"Function", {fsBold}},
    {"Identifier", {}},
    {"Reserved Word", {fsBold}},
    {"Number", {}},
    {"PL/SQL Reserved Word", {fsBold}},
    {"Space", {}},
    {"SQL*Plus Command", {fsBold}},
    {"String", {}},
    {"Symbol", {}},
    {"Table Name", {}},
    {"Variable", {}},
};
// clang-format on

// Attribute index per token kind (the null kind has none; unknown bytes look like identifiers).
constexpr int8_t kKindAttri[] = {0, 2, 3, 5, 6, 7, 8, -1, 9, 11, 10, 12, 13, 14, 15, 7, 16, 1, 4};

// The comma texts of each dialect with the kind their words get, in loading order.
struct TKeywordText {
  TSQLDialect Dialect;
  uint8_t Kind;
  std::string_view Text;
};
constexpr TKeywordText kKeywordTexts[] = {
    {sqlStandard, S::tkKey, kw::kStandardReserved},
    {sqlInterbase6, S::tkDatatype, kw::kInterbase6DataType},
    {sqlInterbase6, S::tkFunction, kw::kInterbase6Function},
    {sqlInterbase6, S::tkKey, kw::kInterbase6Reserved},
    {sqlMSSQL7, S::tkKey, kw::kMSSQL7Reserved},
    {sqlMSSQL7, S::tkDatatype, kw::kMSSQL7DataType},
    {sqlMSSQL7, S::tkFunction, kw::kMSSQL7Function},
    {sqlMySQL, S::tkKey, kw::kMySQLReserved},
    {sqlMySQL, S::tkDatatype, kw::kMySQLDataType},
    {sqlMySQL, S::tkFunction, kw::kMySQLFunction},
    {sqlOracle, S::tkKey, kw::kOracleReserved},
    {sqlOracle, S::tkDatatype, kw::kOracleDataType},
    {sqlOracle, S::tkException, kw::kOracleException},
    {sqlOracle, S::tkFunction, kw::kOracleFunction},
    {sqlOracle, S::tkComment, kw::kOracleComment},
    {sqlOracle, S::tkDefaultPackage, kw::kOracleDefaultPackage},
    {sqlOracle, S::tkPLSQL, kw::kOraclePLSQL},
    {sqlOracle, S::tkSQLPlus, kw::kOracleSQLPlus},
    {sqlSybase, S::tkKey, kw::kSybaseReserved},
    {sqlIngres, S::tkDatatype, kw::kIngresDataType},
    {sqlIngres, S::tkKey, kw::kIngresReserved},
    {sqlIngres, S::tkFunction, kw::kIngresFunction},
    {sqlMSSQL2K, S::tkKey, kw::kMSSQL2KReserved},
    {sqlMSSQL2K, S::tkDatatype, kw::kMSSQL2KDataType},
    {sqlMSSQL2K, S::tkFunction, kw::kMSSQL2KFunction},
};
// By dialect.
constexpr std::string_view kSamples[] = {
    kw::kStandardSample, kw::kInterbase6Sample, kw::kMSSQL7Sample, kw::kMySQLSample,
    kw::kOracleSample,   kw::kSybaseSample,     kw::kIngresSample, kw::kMSSQL2KSample,
};

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
// The bytes of a keyword or identifier and their values in its hash; the servers (MS SQL 7 and
// 2000) add "@" for their "@@" functions.
constexpr TRidCharSet kStandardIdent = kLetters + kDigits + TRidCharSet::Of("_#$");
constexpr TRidCharSet kServerIdent = kStandardIdent + TRidCharSet{'@'};
constexpr std::array<uint8_t, 256> kStandardHashValues = [] {
  std::array<uint8_t, 256> v{};
  v['_'] = 1;
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<uint8_t>(c - 'A' + 2);
  return v;
}();
constexpr std::array<uint8_t, 256> kServerHashValues = [] {
  std::array<uint8_t, 256> v = kStandardHashValues;
  v['@'] = 28;
  return v;
}();
constexpr TRidCharSet kNumberSet = kDigits + TRidCharSet::Of("-.");
constexpr TRidCharSet kLatinLetters = TRidCharSet::Range(0xC0, 0xD6) +
                                      TRidCharSet::Range(0xD8, 0xF6) +
                                      TRidCharSet::Range(0xF8, 0xFF);

constexpr char kFilter[] = "SQL Files (*.sql)|*.sql";

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "SQL",
    .DefaultFilter = kFilter,
    .SampleSource = {},  // by dialect
    .IdentChars = kLetters + kDigits + TRidCharSet{'_'} + kLatinLetters,
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 7, 8, 13, 11, 14},
    .NullKind = S::tkNull,
    .SpaceKind = S::tkSpace,
    .UnknownKind = S::tkUnknown,
};

constexpr TRidOperatorForms kSymbols(std::to_array<std::string_view>(
    {"!=",  "!",  "%=", "%", "*=", "*",  "^=", "^",  "&&", "&=", "&",  "++", "+=", "+",
     "<<=", "<<", "<=", "<", "==", "=>", "=",  ">=", ">>", ">",  "||", "|=", "|",  "(",
     ")",   ",",  ".",  ";", "?",  "]",  "{",  "}",  "~",  "-",  "[",  "/=", "/"}));

// ASCII letters match in either case; every other byte only itself.
bool SameWord(std::string_view A, std::string_view B) {
  for (size_t i = 0; i < A.size(); ++i) {
    uint8_t a = static_cast<uint8_t>(A[i]), b = static_cast<uint8_t>(B[i]);
    if (a >= 'a' && a <= 'z') a -= 32;
    if (b >= 'a' && b <= 'z') b -= 32;
    if (a != b) return false;
  }
  return true;
}

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidSQLRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidSQLRid> TRidSQLRid::ScanTable =
    SharedScanTable<TRidSQLRid>()
        .On(kSymbols.FirstBytes(), &S::SymbolProc)
        .On('"', &S::QuoteProc)
        .On('#', &S::HashProc)
        .On('\'', &S::StringProc)
        .On('-', &S::MinusProc)
        .On('/', &S::SlashProc)
        .On(kDigits, &S::NumberProc)
        .On(":@", &S::VariableProc)
        .On(kLetters + TRidCharSet{'_'}, &S::IdentProc)
        .On('[', &S::BracketProc)
        .On('`', &S::BackquoteProc);

const TRidHighlighterClass& TRidSQLRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidSQLRid(AOwner); }};
  return c;
}

TRidSQLRid::TRidSQLRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage),
      FIdentTable(&kStandardIdent),
      FHashValues(kStandardHashValues.data()) {
  FTableNames.OnChange = TNotifyEvent(this, &TRidSQLRid::TableNamesChanged);
  RebuildKeywords();
}

void TRidSQLRid::Assign(TPersistent* Source) {
  TRidScanHighlighter::Assign(Source);
  if (auto* sql = dynamic_cast<TRidSQLRid*>(Source)) SetSQLDialect(sql->FDialect);
}

TRidCharSet TRidSQLRid::GetIdentChars() const {
  TRidCharSet chars = kLanguage.IdentChars;
  if (IsServer()) chars.Include('@');
  if (FDialect == sqlOracle) chars = chars + TRidCharSet::Of("#$");
  return chars;
}

std::string TRidSQLRid::GetSampleSource() const {
  return std::string(kSamples[static_cast<size_t>(FDialect)]);
}

void TRidSQLRid::SetSQLDialect(TSQLDialect Value) {
  if (Value == FDialect) return;
  FDialect = Value;
  RebuildKeywords();
}

void TRidSQLRid::SetTableNames(TStrings* Value) {
  if (Value)
    FTableNames.Assign(Value);
  else {
    TStringsUpdate update(&FTableNames);  // an empty list rebuilds too
    FTableNames.Clear();
  }
}

void TRidSQLRid::RebuildKeywords() {
  FKeywords.Clear();
  FIdentTable = IsServer() ? &kServerIdent : &kStandardIdent;
  FHashValues = IsServer() ? kServerHashValues.data() : kStandardHashValues.data();
  TRidCharSet split = GetIdentChars();
  if (FDialect == sqlStandard) split.Include('-');  // so "end-exec" stays one (dead) entry
  const TEnumKeywordEvent add(this, &TRidSQLRid::AddKeyword);
  for (const TKeywordText& t : kKeywordTexts)
    if (t.Dialect == FDialect) EnumKeywords(t.Kind, std::string(t.Text), split, add);
  // A table name that is a keyword keeps the keyword's kind; a repeated name is added once.
  for (int32_t i = 0; i < FTableNames.Count(); ++i) {
    const std::string name = FTableNames[i];
    int32_t length = 0;
    bool known = false;
    for (const TRidHashEntry* e = FKeywords.Get(KeywordHash(name, length)); e && !known;
         e = e->GetNext())
      known = AnsiSameText(e->GetKeyword(), name);
    if (!known) AddKeyword(name, tkTableName);
  }
  AttributeChanged(this);
}

void TRidSQLRid::AddKeyword(const std::string& AKeyword, int32_t AKind) {
  int32_t length = 0;
  FKeywords.Put(KeywordHash(AKeyword, length), std::make_unique<TRidHashEntry>(AKeyword, AKind));
}

uint32_t TRidSQLRid::KeywordHash(std::string_view AWord, int32_t& ALength) const {
  uint32_t hash = 0;
  size_t i = 0;
  for (; i < AWord.size() && FIdentTable->Contains(AWord[i]); ++i)
    hash = hash * 2 + FHashValues[static_cast<uint8_t>(AWord[i])];
  ALength = static_cast<int32_t>(i);
  return hash & 0xFF;
}

uint8_t TRidSQLRid::Lookup(std::string_view AWord, int32_t& ALength) const {
  const uint32_t hash = KeywordHash(AWord, ALength);
  const std::string_view word = AWord.substr(0, static_cast<size_t>(ALength));
  for (const TRidHashEntry* e = FKeywords.Get(hash); e; e = e->GetNext()) {
    if (e->GetKeyLen() > ALength) break;
    if (e->GetKeyLen() == ALength && SameWord(e->GetKeyword(), word))
      return static_cast<uint8_t>(e->GetKind());
  }
  return tkIdentifier;
}

bool TRidSQLRid::IsKeyword(const std::string& AKeyword) const {
  int32_t length = 0;
  const uint8_t kind = Lookup(AKeyword, length);
  if (length == 0 || static_cast<size_t>(length) != AKeyword.size()) return false;
  switch (kind) {
    case tkDatatype:
    case tkDefaultPackage:
    case tkException:
    case tkFunction:
    case tkKey:
    case tkPLSQL:
      return true;
    default:
      return false;
  }
}

void TRidSQLRid::Next() {
  FTokenStart = FRunPos;
  switch (FRange) {
    case rsComment:
    case rsConditionalComment:
      return CommentProc();
    case rsString:
      return StringProc();
    default:
      Dispatch();
  }
}

void TRidSQLRid::IdentProc() {
  int32_t length = 0;
  FTokenKind = Lookup({FLineText + FRunPos, static_cast<size_t>(FLineLen - FRunPos)}, length);
  FRunPos += length;
  if (FTokenKind == tkComment) RunUntil(kLineStops);  // Oracle's REM comments out the line
}

void TRidSQLRid::VariableProc() {
  const uint8_t first = Cur();
  if (IsServer() && first == '@' && Ahead(1) == '@') return IdentProc();
  if ((first == '@' && (FDialect == sqlMySQL || FDialect == sqlOracle)) ||
      (first == ':' && FDialect != sqlOracle && FDialect != sqlIngres))
    return SymbolProc();
  FTokenKind = tkVariable;
  ++FRunPos;
  SkipSet(*FIdentTable);
}

void TRidSQLRid::NumberProc() {
  FTokenKind = tkNumber;
  NumberRun(kNumberSet);
}

void TRidSQLRid::StringProc() {
  // A string goes on over line ends; only the opening quote is not a character of its text.
  if (FRange == rsString) {
    if (IsLineStop(Cur())) return Dispatch();
  } else {
    ++FRunPos;
  }
  FTokenKind = tkString;
  FRange = rsString;
  // MySQL escapes with backslashes, an odd run of them escaping the quote.
  const TEscape escape = FDialect == sqlMySQL ? TEscape::esBackslash : TEscape::esNone;
  if (RunQuoted('\'', escape, kLineStops) == TQuoteEnd::qeClosed) FRange = rsUnknown;
}

void TRidSQLRid::CommentProc() {
  const uint8_t kind = FRange == rsConditionalComment ? tkConditionalComment : tkComment;
  if (ContinueToClose("*/", kind)) FRange = rsUnknown;
}

void TRidSQLRid::SlashProc() {
  if (Ahead(1) != '*') return SymbolProc();
  const bool conditional = FDialect == sqlMySQL && Ahead(2) == '!';
  FTokenKind = conditional ? tkConditionalComment : tkComment;
  FRange = conditional ? rsConditionalComment : rsComment;
  FRunPos += 2;  // "/*/" does not close
  if (RunToClose("*/", kLineStops)) FRange = rsUnknown;
}

void TRidSQLRid::MinusProc() {
  if (Ahead(1) != '-') return SymbolProc();
  FTokenKind = tkComment;
  RunUntil(kLineStops);
}

void TRidSQLRid::HashProc() {
  if (FDialect != sqlMySQL) return UnknownProc();
  FTokenKind = tkComment;
  RunUntil(kLineStops);
}

void TRidSQLRid::QuoteProc() {
  FTokenKind = tkDelimitedIdentifier;
  ++FRunPos;
  RunQuoted('"', TEscape::esDoubled, kLineStops);
}

void TRidSQLRid::BracketProc() {
  if (!IsServer()) return SymbolProc();
  FTokenKind = tkDelimitedIdentifier;
  ++FRunPos;
  RunQuoted(']', TEscape::esDoubled, kLineStops);
}

void TRidSQLRid::BackquoteProc() {
  if (FDialect != sqlMySQL) return UnknownProc();
  FTokenKind = tkDelimitedIdentifier;
  ++FRunPos;
  RunQuoted('`', TEscape::esDoubled, kLineStops);
}

void TRidSQLRid::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

}  // namespace rid
