#include "highlighters/RidHighlighterPas.h"

#include <array>
#include <string_view>

#include "highlighters/RidHighlighterIdeSchemes.h"
#include "highlighters/keywords/RidHighlighterPasKeywords.h"

namespace rid {

namespace {

using P = TRidPasRid;
using keywords::RidHighlighterPas::kKeywords;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Assembler", {}},
    {"Comment", {fsItalic}},
    {"Preprocessor", {fsItalic}},
    {"Identifier", {}},
    {"Reserved Word", {fsBold}},
    {"Number", {}},
    {"Float", {}},
    {"Hexadecimal", {}},
    {"Space", {}},
    {"String", {}},
    {"Character", {}},
    {"Symbol", {}},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 3, 4, -1, 5, 8, 9, 11, 11, 6, 7, 2, 10};

constexpr char kSampleSource[] =
    "{ Syntax highlighting }\r\n"
    "procedure TForm1.Button1Click(Sender: TObject);\r\n"
    "var\r\n"
    "  Number, I, X: Integer;\r\n"
    "begin\r\n"
    "  Number := 123456;\r\n"
    "  Caption := 'The Number is' + #32 + IntToStr(Number);\r\n"
    "  for I := 0 to Number do\r\n"
    "  begin\r\n"
    "    Inc(X);\r\n"
    "    Dec(X);\r\n"
    "    X := X + 1.0;\r\n"
    "    X := X - $5E;\r\n"
    "  end;\r\n"
    "  {$R+}\r\n"
    "  asm\r\n"
    "    mov AX, 1234H\r\n"
    "    mov Number, AX\r\n"
    "  end;\r\n"
    "  {$R-}\r\n"
    "end;";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kIdentTable = kLetters + kDigits + TRidCharSet{'_'};
constexpr TRidCharSet kHexDigits =
    kDigits + TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
constexpr int32_t kTableSize = 192;

// A word's letters add their place in the alphabet; the table compares letters in any case.
constexpr uint64_t LetterHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) h += static_cast<uint8_t>(c) & 31;
  return h;
}
constexpr std::array<uint8_t, 256> kFold = [] {
  std::array<uint8_t, 256> f{};
  for (int b = 0; b < 256; ++b) f[b] = static_cast<uint8_t>(b >= 'a' && b <= 'z' ? b - 32 : b);
  return f;
}();

// When a word of each class is reserved, and what it does to the range.
struct TWordRule {
  TDelphiVersion Since;
  bool PackageOnly;
  uint16_t InRanges;  // bit r: reserved only in range r; none: everywhere
  int8_t SetsRange;   // or -1
};
constexpr uint16_t InProperty = 1 << P::rsProperty, InExports = 1 << P::rsExports;
constexpr TWordRule kRules[] = {
    /* wcPlain */ {dvDelphi1, false, 0, -1},
    /* wcAsm */ {dvDelphi1, false, 0, P::rsAsm},
    /* wcEnd */ {dvDelphi1, false, 0, P::rsUnknown},
    /* wcProperty */ {dvDelphi1, false, 0, P::rsProperty},
    /* wcExports */ {dvDelphi1, false, 0, P::rsExports},
    /* wcDelphi2 */ {dvDelphi2, false, 0, -1},
    /* wcDelphi3 */ {dvDelphi3, false, 0, -1},
    /* wcDelphi4 */ {dvDelphi4, false, 0, -1},
    /* wcDelphi6 */ {dvDelphi6, false, 0, -1},
    /* wcDelphi8 */ {dvDelphi8, false, 0, -1},
    /* wcPackage */ {dvDelphi1, true, 0, -1},
    /* wcPropertySpec */ {dvDelphi1, false, InProperty, -1},
    /* wcPropertySpecDelphi3 */ {dvDelphi3, false, InProperty, -1},
    /* wcPropertySpecDelphi4 */ {dvDelphi4, false, InProperty, -1},
    /* wcPropertyOrExports */ {dvDelphi1, false, InProperty | InExports, -1},
    /* wcExportsSpec */ {dvDelphi1, false, InExports, -1},
};
static_assert(std::size(kRules) == P::wcNone);

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Object Pascal",
    .DefaultFilter = "Pascal Files (*.pas;*.pp;*.dpr;*.dpk;*.inc)|*.pas;*.pp;*.dpr;*.dpk;*.inc",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kIdentTable + TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {1, 3, 4, 9, 8, 11},
    .NullKind = P::tkNull,
    .SpaceKind = P::tkSpace,
    .UnknownKind = P::tkUnknown,
};

constexpr TRidOperatorForms kSymbols(std::to_array<std::string_view>(
    {"(.", "(", ".)", "..", ".", ":=", ":", ">=", ">", "<=", "<>", "<", "@@", "@", "!", "\"",
     "%",  "&", ")",  "*",  "+", ",",  "-", "=",  "?", "[",  "\\", "]", "^",  "`", "}", "~"}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidPasRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidPasRid> TRidPasRid::ScanTable =
    SharedScanTable<TRidPasRid>()
        .On(kSymbols.FirstBytes(), &P::SymbolProc)
        .On('#', &P::CharProc)
        .On('$', &P::HexProc)
        .On('\'', &P::StringProc)
        .On('(', &P::RoundOpenProc)
        .On('/', &P::SlashProc)
        .On(kDigits, &P::NumberProc)
        .On(';', &P::SemicolonProc)
        .On('{', &P::BraceOpenProc)
        .On(kLetters + TRidCharSet{'_'}, &P::IdentProc);

const TRidKeywordTable& TRidPasRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, kTableSize, LetterHash, kFold.data());
  return table;
}

const TRidHighlighterClass& TRidPasRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capUserSettings, capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidPasRid(AOwner); }};
  return c;
}

TRidPasRid::TRidPasRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidPasRid::SetDelphiVersion(TDelphiVersion Value) {
  if (Value == FDelphiVersion) return;
  FDelphiVersion = Value;
  if (Value < dvDelphi3) FPackageSource = false;
  AttributeChanged(this);
}

void TRidPasRid::SetPackageSource(bool Value) {
  if (Value == FPackageSource) return;
  FPackageSource = Value;
  if (Value && FDelphiVersion < dvDelphi3) FDelphiVersion = dvDelphi3;
  AttributeChanged(this);
}

void TRidPasRid::EnumUserSettings(TStrings* Settings) { EnumIdeVersions("Delphi", Settings); }

bool TRidPasRid::UseUserSettings(int32_t SettingIndex) {
  const TRidIdeEntry entries[] = {
      {"Assembler", {}, {GetAsmAttri()}},
      {"Comment", {}, {GetCommentAttri(), GetDirectiveAttri()}},
      {"Identifier", {}, {GetIdentifierAttri()}},
      {"Reserved word", {}, {GetKeyAttri()}},
      {"Number", {}, {GetNumberAttri(), GetFloatAttri(), GetHexAttri()}},
      {"Whitespace", {}, {GetSpaceAttri()}},
      {"String", {}, {GetStringAttri(), GetCharAttri()}},
      {"Symbol", {}, {GetSymbolAttri()}},
  };
  return LoadIdeScheme("Delphi", SettingIndex, "23", entries);
}

bool TRidPasRid::ReportsAsm() const {
  if (FRange != rsAsm || FAsmStart) return false;
  return FTokenKind != tkComment && FTokenKind != tkNull && FTokenKind != tkSpace &&
         FTokenKind != tkDirec;
}

int32_t TRidPasRid::GetTokenKind() const {
  return ReportsAsm() ? int32_t(tkAsm) : int32_t(FTokenKind);
}

TRidHighlighterAttributes* TRidPasRid::GetTokenAttribute() const {
  return ReportsAsm() ? GetAsmAttri() : TRidScanHighlighter::GetTokenAttribute();
}

void TRidPasRid::Next() {
  FAsmStart = false;
  FTokenStart = FRunPos;
  switch (FRange) {
    case rsAnsi:
    case rsAnsiAsm:
      return AnsiProc();
    case rsBor:
    case rsBorAsm:
    case rsDirective:
    case rsDirectiveAsm:
      return BorProc();
    default:
      (this->*ScanTable[Cur()])();
  }
}

void TRidPasRid::AnsiProc() {
  if (ContinueToClose("*)", tkComment)) FRange = FRange == rsAnsiAsm ? rsAsm : rsUnknown;
}

void TRidPasRid::BorProc() {
  const bool directive = FRange == rsDirective || FRange == rsDirectiveAsm;
  if (ContinueToClose("}", directive ? tkDirec : tkComment))
    FRange = FRange == rsBorAsm || FRange == rsDirectiveAsm ? rsAsm : rsUnknown;
}

void TRidPasRid::RoundOpenProc() {
  if (Ahead(1) != '*') return SymbolProc();
  FTokenKind = tkComment;
  FRange = FRange == rsAsm ? rsAnsiAsm : rsAnsi;
  FRunPos += 2;  // "(*)" does not close
  if (!IsLineStop(Cur())) AnsiProc();
}

void TRidPasRid::BraceOpenProc() {
  const bool inAsm = FRange == rsAsm;
  if (Ahead(1) == '$')
    FRange = inAsm ? rsDirectiveAsm : rsDirective;
  else
    FRange = inAsm ? rsBorAsm : rsBor;
  BorProc();
}

void TRidPasRid::SlashProc() {
  if (Ahead(1) != '/' || FDelphiVersion == dvDelphi1) return SymbolProc();
  FTokenKind = tkComment;
  RunUntil(kLineStops);
}

void TRidPasRid::SemicolonProc() {
  if (FRange == rsProperty || FRange == rsExports) FRange = rsUnknown;
  FTokenKind = tkSymbol;
  ++FRunPos;
}

void TRidPasRid::NumberProc() {
  FTokenKind = tkNumber;
  ++FRunPos;
  for (;;) {
    const uint8_t b = Cur();
    if (b == 'e' || b == 'E') {
      FTokenKind = tkFloat;
    } else if (b == '.') {
      if (Ahead(1) == '.') return;  // a range: 1..2
      FTokenKind = tkFloat;
    } else if (b == '+' || b == '-') {
      const uint8_t before = At(FRunPos - 1);
      if (FTokenKind != tkFloat || (before != 'e' && before != 'E')) return;
    } else if (!kDigits.Contains(b)) {
      return;
    }
    ++FRunPos;
  }
}

void TRidPasRid::HexProc() {
  FTokenKind = tkHex;
  ++FRunPos;
  SkipSet(kHexDigits);
}

void TRidPasRid::CharProc() {
  FTokenKind = tkChar;
  ++FRunPos;
  SkipSet(kHexDigits + TRidCharSet{'$'});
}

void TRidPasRid::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esDoubled);
}

bool TRidPasRid::TakeWord(uint8_t AClass) {
  if (AClass >= wcNone) return false;
  const TWordRule& rule = kRules[AClass];
  if (FDelphiVersion < rule.Since || (rule.PackageOnly && !FPackageSource)) return false;
  if (rule.InRanges && !(FRange < 16 && (rule.InRanges >> FRange) & 1)) return false;
  if (rule.SetsRange >= 0) FRange = static_cast<uint8_t>(rule.SetsRange);
  FAsmStart = AClass == wcAsm;
  return true;
}

void TRidPasRid::IdentProc() {
  // The letters are the word; a digit or "_" right after them makes it no keyword ("If1").
  const int32_t start = FRunPos;
  SkipSet(kLetters);
  uint8_t wordClass = wcNone;
  if (!kDigits.Contains(Cur()) && Cur() != '_')
    wordClass = FKeywords.Find({FLineText + start, static_cast<size_t>(FRunPos - start)}, wcNone);
  SkipSet(kIdentTable);
  FTokenKind = TakeWord(wordClass) ? tkKey : tkIdentifier;
}

void TRidPasRid::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

}  // namespace rid
