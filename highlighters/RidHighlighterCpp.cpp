#include "highlighters/RidHighlighterCpp.h"

#include <array>
#include <string_view>

#include "highlighters/RidHighlighterIdeSchemes.h"
#include "highlighters/keywords/RidHighlighterCppKeywords.h"

namespace rid {

namespace {

using C = TRidCppRid;
using keywords::RidHighlighterCpp::kKeywords;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Assembler", {}},
    {"Comment", {fsItalic}},
    {"Identifier", {}},
    {"Illegal Char", {}},
    {"Reserved Word", {fsBold}},
    {"Number", {}},
    {"Character", {}},
    {"Float", {}},
    {"Hexadecimal", {}},
    {"Octal", {}},
    {"Space", {}, clWindow},
    {"String", {}},
    {"Symbol", {}},
    {"Preprocessor", {}},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 13, 2, 4, -1, 5, 10, 11, 12, 3, 6, 7, 8, 9};

constexpr char kSampleSource[] =
    "// Syntax Highlighting\r\n"
    "void __fastcall TForm1::Button1Click(TObject *Sender)\r\n"
    "{\r\n"
    "  int number = 123456;\r\n"
    "  char c = 'a';\r\n"
    "  Caption = \"The number is \" + IntToStr(i);\r\n"
    "  for (int i = 0; i <= number; i++)\r\n"
    "  {\r\n"
    "    x -= 0xff;\r\n"
    "    x -= 023;\r\n"
    "    x += 1.0;\r\n"
    "    x += @; /* illegal character */\r\n"
    "  }\r\n"
    "  #ifdef USE_ASM\r\n"
    "    asm\r\n"
    "    {\r\n"
    "      ASM MOV AX, 0x1234\r\n"
    "      ASM MOV i, AX\r\n"
    "    }\r\n"
    "  #endif\r\n"
    "}";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kIdentTable = kLetters + kDigits + TRidCharSet{'_'};
constexpr TRidCharSet kHexDigits =
    kDigits + TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
// The bytes a number scan looks at.
constexpr TRidCharSet kNumberBytes = kHexDigits + TRidCharSet::Of("+-.LlUuXx");
constexpr int32_t kTableSize = 207;

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "C/C++",
    .DefaultFilter = "C/C++ Files (*.c;*.cpp;*.h;*.hpp)|*.c;*.cpp;*.h;*.hpp",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kIdentTable + TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {1, 2, 4, 11, 10, 12},
    .NullKind = C::tkNull,
    .SpaceKind = C::tkSpace,
    .UnknownKind = C::tkUnknown,
};

constexpr TRidOperatorForms kSymbols(std::to_array<std::string_view>(
    {"!=", "!",  "%=", "%",  "&&", "&=",  "&",  "(",  ")", ",",  "?", "[",  "]",  "~",
     "*=", "*",  "++", "+=", "+",  "--",  "-=", "->", "-", "/=", "/", "::", ":",  "<<=",
     "<<", "<=", "<",  "==", "=",  ">>=", ">>", ">=", ">", "^=", "^", "|=", "||", "|"}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidCppRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidCppRid> TRidCppRid::ScanTable =
    SharedScanTable<TRidCppRid>()
        .On(kSymbols.FirstBytes(), &C::SymbolProc)
        .On('"', &C::StringProc)
        .On('#', &C::HashProc)
        .On('\'', &C::CharProc)
        .On('.', &C::DotProc)
        .On('/', &C::SlashProc)
        .On(kDigits, &C::NumberProc)
        .On(';', &C::SemicolonProc)
        .On('@', &C::InvalidProc)
        .On(kLetters + TRidCharSet{'_'}, &C::IdentProc)
        .On('{', &C::BraceOpenProc)
        .On('}', &C::BraceCloseProc);

const TRidKeywordTable& TRidCppRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, kTableSize, LetterSumHash);
  return table;
}

const TRidHighlighterClass& TRidCppRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capUserSettings, capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidCppRid(AOwner); }};
  return c;
}

TRidCppRid::TRidCppRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidCppRid::EnumUserSettings(TStrings* Settings) { EnumIdeVersions("C++Builder", Settings); }

bool TRidCppRid::UseUserSettings(int32_t SettingIndex) {
  const TRidIdeEntry entries[] = {
      {"Assembler", "Plain text", {GetAsmAttri()}},
      {"Comment", {}, {GetCommentAttri()}},
      {"Identifier", {}, {GetIdentifierAttri()}},
      {"Illegal Char", {}, {GetInvalidAttri()}},
      {"Reserved word", {}, {GetKeyAttri()}},
      {"Integer", {}, {GetNumberAttri()}},
      {"Float", {}, {GetFloatAttri()}},
      {"Hex", {}, {GetHexAttri()}},
      {"Octal", {}, {GetOctalAttri()}},
      {"Whitespace", {}, {GetSpaceAttri()}},
      {"String", {}, {GetStringAttri()}},
      {"Character", {}, {GetCharAttri()}},
      {"Symbol", {}, {GetSymbolAttri()}},
      {"Preprocessor", {}, {GetDirecAttri()}},
  };
  return LoadIdeScheme("C++Builder", SettingIndex, "1", entries);
}

bool TRidCppRid::ReportsAsm() const {
  if ((FRange != rsAsm && FRange != rsAsmBlock) || FAsmStart) return false;
  return FTokenKind != tkComment && FTokenKind != tkNull && FTokenKind != tkSpace;
}

int32_t TRidCppRid::GetTokenKind() const {
  return ReportsAsm() ? int32_t(tkAsm) : int32_t(FTokenKind);
}

TRidHighlighterAttributes* TRidCppRid::GetTokenAttribute() const {
  return ReportsAsm() ? GetAsmAttri() : TRidScanHighlighter::GetTokenAttribute();
}

void TRidCppRid::SetLine(std::string_view NewValue, int32_t LineNumber) {
  size_t first = 0;
  while (first < NewValue.size() && static_cast<uint8_t>(NewValue[first]) <= 32) ++first;
  FDirectiveLine = first < NewValue.size() && NewValue[first] == '#';
  TRidScanHighlighter::SetLine(NewValue, LineNumber);
}

void TRidCppRid::Next() {
  // A continued directive may stop before a comment at once; that empty token is not passed on.
  do {
    FAsmStart = false;
    FTokenStart = FRunPos;
    Scan();
  } while (FRunPos == FTokenStart && FTokenKind != tkNull);
}

void TRidCppRid::Scan() {
  switch (FRange) {
    case rsAnsiC:
    case rsAnsiCAsm:
    case rsAnsiCAsmBlock:
    case rsDirectiveComment:
      return CommentProc();
    case rsMultiLineString:
      return StringContinueProc();
    case rsMultiLineDirective:
      return DirectiveProc();
    default:
      (this->*ScanTable[Cur()])();
  }
}

void TRidCppRid::CommentProc() {
  if (IsLineStop(Cur())) return (this->*ScanTable[Cur()])();
  FTokenKind = tkComment;
  CommentRun();
}

void TRidCppRid::CommentRun() {
  if (!RunToClose("*/", kLineStops)) return;
  switch (FRange) {
    case rsAnsiCAsm:
      FRange = rsAsm;
      break;
    case rsAnsiCAsmBlock:
      FRange = rsAsmBlock;
      break;
    case rsDirectiveComment:
      FRange = FRunPos < FLineLen ? rsMultiLineDirective : rsUnknown;
      break;
    default:
      FRange = rsUnknown;
  }
}

// The rest of a directive: to a comment, the end of the line, or a final backslash that
// carries it on.
void TRidCppRid::DirectiveRun() {
  while (FRunPos < FLineLen && !IsLineStop(Cur())) {
    if (Cur() == '/' && Ahead(1) == '/') {
      FRange = rsUnknown;
      return;
    }
    if (Cur() == '/' && Ahead(1) == '*') {
      FRange = rsDirectiveComment;
      return;
    }
    if (Cur() == '\\' && FRunPos + 1 == FLineLen) {
      ++FRunPos;
      FRange = rsMultiLineDirective;
      return;
    }
    StepChar();
  }
}

void TRidCppRid::HashProc() {
  if (!FDirectiveLine) return InvalidProc();
  FTokenKind = tkDirective;
  ++FRunPos;
  DirectiveRun();
}

void TRidCppRid::DirectiveProc() {
  if (IsLineStop(Cur())) return (this->*ScanTable[Cur()])();
  FTokenKind = tkDirective;
  FRange = rsUnknown;
  DirectiveRun();
}

void TRidCppRid::StringProc() {
  FTokenKind = tkString;
  ++FRunPos;
  if (RunQuoted('"', TEscape::esBackslash, kLineStops) == TQuoteEnd::qeEscapedLineEnd)
    FRange = rsMultiLineString;
}

void TRidCppRid::StringContinueProc() {
  if (IsLineStop(Cur())) return (this->*ScanTable[Cur()])();
  FTokenKind = tkString;
  FRange = rsUnknown;
  if (RunQuoted('"', TEscape::esBackslash, kLineStops) == TQuoteEnd::qeEscapedLineEnd)
    FRange = rsMultiLineString;
}

void TRidCppRid::CharProc() {
  FTokenKind = tkChar;
  ++FRunPos;
  RunQuoted('\'', TEscape::esBackslash, kLineStops);
}

void TRidCppRid::SlashProc() {
  if (Ahead(1) == '/') {
    FTokenKind = tkComment;
    return RunUntil(kLineStops);
  }
  if (Ahead(1) != '*') return SymbolProc();
  FTokenKind = tkComment;
  FRange = FRange == rsAsm ? rsAnsiCAsm : FRange == rsAsmBlock ? rsAnsiCAsmBlock : rsAnsiC;
  FRunPos += 2;
  CommentRun();
}

void TRidCppRid::DotProc() {
  if (kDigits.Contains(Ahead(1))) return NumberProc();
  FTokenKind = tkSymbol;
  FRunPos += Ahead(1) == '.' && Ahead(2) == '.' ? 3 : 1;
}

void TRidCppRid::NumberProc() {
  const int32_t start = FRunPos;
  // Whether a byte of ASet stands in the number from its start up to (not with) APos.
  auto earlier = [&](int32_t APos, const TRidCharSet& ASet) {
    for (int32_t i = start; i < APos; ++i)
      if (ASet.Contains(At(i))) return true;
    return false;
  };
  const bool leadingZero = At(start) == '0';
  FTokenKind = tkNumber;
  for (; kNumberBytes.Contains(Cur()); ++FRunPos) {
    const uint8_t b = Cur(), before = At(FRunPos - 1), after = Ahead(1);
    const bool hex = FTokenKind == tkHex, isFloat = FTokenKind == tkFloat;
    switch (b) {
      case '.':
        if (after == '.') goto endBefore;  // a range: 1..2
        if (hex) {
          FTokenKind = tkUnknown;
          return;
        }
        FTokenKind = tkFloat;
        break;
      case '+':
      case '-':
        if (!isFloat || (before != 'e' && before != 'E')) return;
        if (!kDigits.Contains(after) && after != '+' && after != '-') {
          ++FRunPos;
          FTokenKind = tkUnknown;
          return;
        }
        break;
      case 'a':
      case 'b':
      case 'c':
      case 'd':
      case 'A':
      case 'B':
      case 'C':
      case 'D':
        if (!hex) goto endBefore;
        break;
      case 'e':
      case 'E':
        if (hex) break;
        if (!kDigits.Contains(before)) goto endBefore;
        if (earlier(FRunPos, TRidCharSet::Of("eE"))) {
          FTokenKind = tkUnknown;
          return;
        }
        if (!kDigits.Contains(after) && after != '+' && after != '-') goto endBefore;
        FTokenKind = tkFloat;
        break;
      case 'f':
      case 'F':
        if (hex) break;
        if (earlier(FRunPos, TRidCharSet::Of("fF"))) {
          FTokenKind = tkUnknown;
          return;
        }
        if (isFloat && (before == 'l' || before == 'L')) goto endBefore;
        FTokenKind = tkFloat;
        break;
      case 'l':
      case 'L':
        // "LL" is one suffix: the byte just before does not count.
        if (earlier(FRunPos - 1, TRidCharSet::Of("lL"))) {
          FTokenKind = tkUnknown;
          return;
        }
        if (isFloat && (before == 'f' || before == 'F')) goto endBefore;
        break;
      case 'u':
      case 'U':
        if (isFloat) goto endBefore;
        if (earlier(FRunPos, TRidCharSet::Of("uU"))) {
          FTokenKind = tkUnknown;
          return;
        }
        break;
      case 'x':
      case 'X':
        if (FRunPos == start + 1 && leadingZero && kHexDigits.Contains(after)) {
          FTokenKind = tkHex;
          break;
        }
        if (!kIdentTable.Contains(after) && (At(start + 1) == 'x' || At(start + 1) == 'X')) {
          ++FRunPos;
          FTokenKind = tkUnknown;
          return;
        }
        goto endBefore;
      case '8':
      case '9':
        if (FRunPos > start && leadingZero && !hex && !isFloat) FTokenKind = tkUnknown;
        break;
      default:  // 0-7
        if (FRunPos == start + 1 && leadingZero) FTokenKind = tkOctal;
    }
  }
endBefore:
  // A letter or "_" right after the number makes it malformed.
  if (kLetters.Contains(Cur()) || Cur() == '_') FTokenKind = tkUnknown;
}

void TRidCppRid::IdentProc() {
  const int32_t start = FRunPos;
  SkipSet(kIdentTable);
  const uint8_t kind =
      FKeywords.Find({FLineText + start, static_cast<size_t>(FRunPos - start)}, tkIdentifier);
  if (kind == kwAsm) {
    FRange = rsAsm;
    FAsmStart = true;
    FTokenKind = tkKey;
    return;
  }
  FTokenKind = kind;
}

void TRidCppRid::SemicolonProc() {
  if (FRange == rsAsm) FRange = rsUnknown;
  SymbolProc();
}

void TRidCppRid::BraceOpenProc() {
  if (FRange == rsAsm) {
    FRange = rsAsmBlock;
    FAsmStart = true;
  }
  SymbolProc();
}

void TRidCppRid::BraceCloseProc() {
  if (FRange == rsAsmBlock) FRange = rsUnknown;
  SymbolProc();
}

void TRidCppRid::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

void TRidCppRid::InvalidProc() {
  FTokenKind = tkUnknown;
  ++FRunPos;
}

}  // namespace rid
