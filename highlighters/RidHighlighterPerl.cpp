#include "highlighters/RidHighlighterPerl.h"

#include <array>

#include "highlighters/keywords/RidHighlighterPerlKeywords.h"

namespace rid {

namespace {

using P = TRidPerlRid;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {fsItalic}},
    {"Identifier", {}},
    {"Illegal Char", {}},
    {"Reserved Word", {fsBold}},
    {"Number", {}},
    {"Operator", {}},
    {"Pragma", {fsBold}},
    {"Space", {}, clWindow},
    {"String", {}},
    {"Symbol", {}},
    {"Variable", {fsBold}},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 3, -1, 4, 5, 6, 7, 8, 9, 2, 10};

constexpr char kSampleSource[] =
    "#!/bin/perl\r\n"
    "require \"cgi-lib.pl\";\r\n"
    "use sigtrap;\r\n"
    "do 'envars.pl';\r\n"
    "$_ = $password1;\r\n"
    "sub WriteBack {\r\n"
    "        while ($_ ne \"fred\") {\r\n"
    "                sleep 5;\r\n"
    "        }\r\n"
    "}\r\n";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kIdentTable = kLetters + TRidCharSet::Range('0', '9') + TRidCharSet{'_'};
// The bytes a keyword hash walks: the identifier bytes and the sigils.
constexpr TRidCharSet kHashSet = kIdentTable + TRidCharSet::Of("$%@");
constexpr TRidCharSet kNumberSet = TRidCharSet::Of("-._xX") + TRidCharSet::Range('0', '9') +
                                   TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
// What makes "$" and the next byte one punctuation variable ($_, $1, $@ ...).
constexpr TRidCharSet kDollarPunct =
    TRidCharSet::Range(0x21, 0x2B) + TRidCharSet::Range(0x2D, 0x40) + TRidCharSet::Of("[\\]_`|~");
constexpr TRidCharSet kCaretVars = TRidCharSet::Of("ADFILPTWX");

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Perl",
    .DefaultFilter = "Perl Files (*.pl;*.pm;*.cgi)|*.pl;*.pm;*.cgi",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = TRidCharSet::Of("$%@_") + TRidCharSet::Range('0', '9') + kLetters +
                  TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 3, 8, 7, 9},
    .NullKind = P::tkNull,
    .SpaceKind = P::tkSpace,
    .UnknownKind = P::tkUnknown,
};

using keywords::RidHighlighterPerl::kKeywords;

constexpr TRidOperatorForms kOperators(std::to_array<std::string_view>(
    {"!=", "!~", "!",  "&&=", "&&", "&=", "&",  "**=", "**",  "*=",  "*",  "++", "+=", "+",
     "--", "-=", "->", "-",   "/=", "/",  "::", ":",   "<<=", "<=>", "<<", "<=", "<",  "==",
     "=>", "=~", "=",  ">>=", ">>", ">=", ">",  "^=",  "^",   "||=", "||", "|=", "|"}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidPerlRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidPerlRid> TRidPerlRid::ScanTable =
    SharedScanTable<TRidPerlRid>()
        .On('#', &P::CommentProc)
        .On('"', &P::StringInterpProc)
        .On('\'', &P::StringLiteralProc)
        .On("$%@_", &P::IdentProc)
        .OnRange('A', 'Z', &P::IdentProc)
        .OnRange('a', 'z', &P::IdentProc)
        .On('.', &P::NumberProc)
        .OnRange('0', '9', &P::NumberProc)
        .On("(),;?[\\]{}~", &P::SymbolProc)
        .On(kOperators.FirstBytes(), &P::OperatorProc);

const TRidKeywordTable& TRidPerlRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, 2168, ByteSumHash);
  return table;
}

const TRidHighlighterClass& TRidPerlRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidPerlRid(AOwner); }};
  return c;
}

TRidPerlRid::TRidPerlRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidPerlRid::Next() {
  FTokenStart = FRunPos;
  (this->*ScanTable[Cur()])();
}

void TRidPerlRid::CommentProc() {
  FTokenKind = tkComment;
  do ++FRunPos;
  while (!IsLineStop(Cur()));
}

void TRidPerlRid::StringInterpProc() {
  FTokenKind = tkString;
  if (Ahead(1) == '"' && Ahead(2) == '"') FRunPos += 2;
  do {
    const uint8_t b = Cur();
    if (IsLineStop(b)) break;
    if (b == '\\' && Ahead(1) == '"') {
      // An odd run of backslashes escapes the quote; a trail byte 0x5C counts, as in perl.
      int32_t run = 0;
      for (int32_t i = FRunPos; i >= 0 && At(i) == '\\'; --i) ++run;
      if (run & 1) ++FRunPos;
    }
    ++FRunPos;
  } while (Cur() != '"');
  if (Cur() != 0) ++FRunPos;  // the closing quote, or the LF or CR that ended it
}

void TRidPerlRid::StringLiteralProc() {
  FTokenKind = tkString;
  do ++FRunPos;
  while (!IsLineStop(Cur()) && Cur() != '\'');
  if (Cur() != 0) ++FRunPos;
}

void TRidPerlRid::IdentProc() {
  const uint8_t first = Cur();
  const uint8_t next = Ahead(1);
  switch (first) {
    case '$':
      if (kDollarPunct.Contains(next)) {
        FTokenKind = tkVariable;
        FRunPos += 2;
        return;
      }
      if (next == '^') {
        const uint8_t name = Ahead(2);
        if (kCaretVars.Contains(name) || IsLineStop(name)) {
          FTokenKind = tkVariable;
          FRunPos += IsLineStop(name) ? 2 : 3;
          return;
        }
      }
      break;
    case '%':
    case 'x':
      if (IsLineStop(next) || next == '=') {
        FTokenKind = tkSymbol;
        FRunPos += next == '=' ? 2 : 1;
        return;
      }
      break;
  }
  WordProc();
}

void TRidPerlRid::WordProc() {
  const uint64_t hash = HashRun(FRunPos, kHashSet);
  FTokenKind = FKeywords.Find(hash, FLineText + FWordStart, FWordLength, tkIdentifier);
  FRunPos += FWordLength;
  SkipSet(kIdentTable);
}

void TRidPerlRid::NumberProc() {
  if (Cur() == '.') {
    const uint8_t next = Ahead(1);
    int32_t len = 0;
    if (kLetters.Contains(next) || next == '_')
      len = 1;  // the concatenation dot before a word
    else if (next == '.')
      len = Ahead(2) == '.' ? 3 : 2;
    else if (next == '=')
      len = 2;
    if (len) {
      FTokenKind = tkSymbol;
      FRunPos += len;
      return;
    }
  }
  FTokenKind = tkNumber;
  ++FRunPos;
  for (;;) {
    const uint8_t b = Cur();
    if (!kNumberSet.Contains(b)) break;
    if (b == '.' && Ahead(1) == '.') break;  // a range: 1..10
    if (b == '-' && Ahead(1) != 'e' && Ahead(1) != 'E') break;
    ++FRunPos;
  }
}

void TRidPerlRid::SymbolProc() {
  FTokenKind = tkSymbol;
  ++FRunPos;
}

void TRidPerlRid::OperatorProc() { OperatorRun(kOperators, tkSymbol); }

}  // namespace rid
