#include "highlighters/RidHighlighterPHP.h"

#include <array>
#include <span>
#include <string_view>

#include "highlighters/keywords/RidHighlighterPHPKeywords.h"

namespace rid {

namespace {

using P = TRidPHPRid;
using keywords::RidHighlighterPHP::kKeywords;

constexpr auto kAttributes = PlainAttributesAnd({"Variable", {}});

// Attribute index per token kind (the null kind has none; unknown bytes look like identifiers).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 3, 4, 5, 6, 1, 7};

constexpr char kSampleSource[] =
    "// Syntax highlighting\r\n"
    "function printNumber()\r\n"
    "{\r\n"
    "  $number = 1234;\r\n"
    "  print \"The number is $number\";\r\n"
    "  for ($i = 0; $i <= $number; $i++)\r\n"
    "  {\r\n"
    "    $x++;\r\n"
    "    $x--;\r\n"
    "    $x += 1.0;\r\n"
    "  }\r\n"
    "}";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kIdentTable = kLetters + kDigits + TRidCharSet{'_'};
constexpr TRidCharSet kNumberSet = kDigits + TRidCharSet::Of("-.LXlx") +
                                   TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
constexpr std::array<uint8_t, 256> kHashValues = [] {
  std::array<uint8_t, 256> v{};
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<uint8_t>(c - 'A' + 1);
  v['_'] = 31;
  return v;
}();
constexpr int32_t kTableSize = 207;

constexpr uint64_t WordHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) h += kHashValues[static_cast<uint8_t>(c)];
  return h;
}

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "PHP",
    .DefaultFilter = "PHP Files (*.php;*.php3;*.phtml;*.inc)|*.php;*.php3;*.phtml;*.inc",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kIdentTable + TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 2, 5, 4, 6},
    .NullKind = P::tkNull,
    .SpaceKind = P::tkSpace,
    .UnknownKind = P::tkUnknown,
};

constexpr TRidOperatorForms kOperators(std::to_array<std::string_view>(
    {"!=",  "!",  "%=", "%", "&&", "&=", "&", "*=", "*",  "++", "+=", "+", "--", "-=", "->", "-",
     "<<=", "<<", "<=", "<", "==", "=>", "=", ">=", ">>", ">",  "^=", "^", "||", "|=", "|"}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidPHPRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidPHPRid> TRidPHPRid::ScanTable =
    SharedScanTable<TRidPHPRid>()
        .On(kOperators.FirstBytes(), &P::OperatorProc)
        .On("\"'", &P::QuoteProc)
        .On('#', &P::LineCommentProc)
        .On('$', &P::DollarProc)
        .On("(),.:;?@[]{}~", &P::SymbolProc)
        .On('/', &P::SlashProc)
        .OnRange('0', '9', &P::NumberProc)
        .OnRange('A', 'Z', &P::IdentProc)
        .OnRange('a', 'z', &P::IdentProc)
        .On('_', &P::IdentProc);

const TRidKeywordTable& TRidPHPRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, kTableSize, WordHash, kHashValues.data());
  return table;
}

const TRidHighlighterClass& TRidPHPRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidPHPRid(AOwner); }};
  return c;
}

TRidPHPRid::TRidPHPRid(TComponent* AOwner)
    : TRidPlainScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidPHPRid::Next() {
  // A string ends before an embedded variable even where nothing of it came first; that empty
  // token is not passed on.
  do {
    FTokenStart = FRunPos;
    switch (FRange) {
      case rsSingleQuoted:
      case rsDoubleQuoted:
        StringProc();
        break;
      case rsComment:
        CommentProc();
        break;
      case rsVariable:
        VariableProc();
        break;
      default:
        if (FRunPos < FLineLen) FRange = rsCode;  // an empty line keeps even this range
        Dispatch();
    }
  } while (FRunPos == FTokenStart && FTokenKind != tkNull);
}

void TRidPHPRid::QuoteProc() {
  FRange = Cur() == '"' ? rsDoubleQuoted : rsSingleQuoted;
  ++FRunPos;
  StringProc();
}

void TRidPHPRid::DollarProc() {
  FTokenKind = tkVariable;
  ++FRunPos;
  SkipSet(kIdentTable);
}

void TRidPHPRid::SlashProc() {
  switch (Ahead(1)) {
    case '*':
      FTokenKind = tkComment;
      FRange = rsComment;
      FRunPos += 2;
      if (RunToClose("*/", kLineStops)) FRange = rsCode;
      return;
    case '/':
      return LineCommentProc();
    default:
      FTokenKind = tkSymbol;
      FRunPos += Ahead(1) == '=' ? 2 : 1;
  }
}

void TRidPHPRid::CommentProc() {
  if (ContinueToClose("*/", tkComment)) FRange = rsCode;
}

void TRidPHPRid::NumberProc() {
  FTokenKind = tkNumber;
  NumberRun(kNumberSet);
}

void TRidPHPRid::IdentProc() {
  const uint64_t hash = HashRun(FRunPos, kIdentTable, kHashValues.data());
  FTokenKind = FKeywords.Find(hash, FLineText + FWordStart, FWordLength, tkIdentifier);
  FRunPos += FWordLength;
}

void TRidPHPRid::SymbolProc() {
  FTokenKind = tkSymbol;
  ++FRunPos;
}

void TRidPHPRid::OperatorProc() { OperatorRun(kOperators, tkSymbol); }

bool TRidPHPRid::Escaped(int32_t APos) const {
  int32_t run = 0;
  while (APos - run > 0 && At(APos - run - 1) == '\\') ++run;
  return run & 1;
}

void TRidPHPRid::StringProc() {
  if (IsLineStop(Cur()) && FRunPos == FTokenStart) return Dispatch();
  FTokenKind = tkString;
  const uint8_t quote = FRange == rsSingleQuoted ? '\'' : '"';
  // The bytes are read one by one; the character starts are found beside them (the positions
  // asked about only grow), so a brace can be told from a trail byte.
  int32_t walk = FTokenStart;
  auto startsChar = [&](int32_t APos) {
    while (walk < APos) walk += CharLen(walk);
    return walk == APos;
  };
  for (uint8_t b = Cur(); !IsLineStop(b); b = Cur()) {
    if (b == quote && !Escaped(FRunPos)) break;
    if (b == '$' && quote == '"' && (Ahead(1) == '{' || kIdentTable.Contains(Ahead(1)))) {
      // "{$": the variable starts at the brace, when the brace is a character of its own.
      if (FRunPos > FTokenStart && At(FRunPos - 1) == '{' && startsChar(FRunPos - 1)) --FRunPos;
      if (!Escaped(FRunPos)) {
        FRange = rsVariable;
        return;
      }
      if (Cur() == '{') ++FRunPos;
    }
    ++FRunPos;
  }
  if (Cur() == quote) FRange = rsCode;
  if (Cur() != 0) ++FRunPos;  // the quote, or the CR or LF that ended it
}

void TRidPHPRid::VariableProc() {
  if (FRunPos >= FLineLen) {  // an empty line keeps the range
    FTokenKind = tkNull;
    return;
  }
  const bool bracedAtBrace = Cur() == '{' && Ahead(1) == '$';
  FRange = rsDoubleQuoted;                                  // the string goes on after the variable
  if (!bracedAtBrace && Cur() != '$') return StringProc();  // only a stored range leads here
  FTokenKind = tkVariable;
  if (bracedAtBrace) {
    FRunPos += 2;
    return BracedVariable();
  }
  ++FRunPos;
  if (Cur() == '{') {
    ++FRunPos;
    return BracedVariable();
  }
  PlainVariable();
}

void TRidPHPRid::BracedVariable() {
  int32_t depth = 1;
  for (uint8_t b = Cur(); b != 0; b = Cur()) {
    StepChar();
    if (b == '{') ++depth;
    if (b == '}' && --depth == 0) return;
  }
}

void TRidPHPRid::PlainVariable() {
  // The name, then subscripts and member arrows as long as each is whole: ['key'], [name] or
  // [0] (brackets may nest), ->name.
  SkipSet(kIdentTable);
  int32_t p = FRunPos;
  int32_t open = 0;
  for (;;) {
    if (At(p) == '[' && At(p + 1) == '\'') {
      int32_t q = p + 2;
      while (At(q) != 0 && At(q) != '\'') q += CharLen(q);
      if (At(q) != '\'' || At(q + 1) != ']') return;
      FRunPos = p = q + 2;
      continue;
    }
    if (At(p) == '[') {
      ++open;
      ++p;
    } else if (At(p) == '-' && At(p + 1) == '>') {
      p += 2;
    } else {
      return;
    }
    if (!kIdentTable.Contains(At(p))) return;
    while (kIdentTable.Contains(At(p))) ++p;
    while (open > 0 && At(p) == ']') {
      ++p;
      --open;
    }
    if (open == 0) FRunPos = p;
  }
}

}  // namespace rid
