#include "highlighters/RidHighlighterTeX.h"

namespace rid {

namespace {

using T = TRidTeXRid;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {}, clTeal},
    {"Text", {}, clBlack},
    {"Math Mode", {fsBold}, clOlive},
    {"Space", {}, clNone, clWhite},
    {"TeX Command", {fsBold}, clBlue, clWhite},
    {"Square Bracket", {}, clPurple},
    {"Round Bracket", {fsBold}, clRed},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {6, 5, -1, 3, 1, 0, 4, 2};

constexpr char kSampleSource[] =
    "\\documentclass[a4paper]{article}\r\n"
    "% LaTeX sample source\r\n"
    "\\begin{document}\r\n"
    "Here is a formula: $ (2x + 3)*5y $\r\n"
    "\\end{document}";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
// What ends a control sequence: after its backslash, the one symbol it names ("\%"); later,
// before the symbol.
constexpr TRidCharSet kSymbols =
    TRidCharSet::Range('!', '/') + TRidCharSet::Range(':', '@') + TRidCharSet::Of("[]^{}~");

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "TeX",
    .DefaultFilter = "TeX Files (*.tex)|*.tex",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kLetters + kDigits + TRidCharSet{'_'},
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, -1, -1, -1, 3, -1},
    .NullKind = T::tkNull,
    .SpaceKind = T::tkSpace,
    .UnknownKind = T::tkText,  // text, one character a token
    .CommentKind = T::tkComment,
};

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidTeXRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidTeXRid> TRidTeXRid::ScanTable =
    SharedScanTable<TRidTeXRid>()
        .On("${}[]", &T::OneByteProc)
        .On('%', &T::LineCommentProc)
        .On('\\', &T::ControlSequenceProc);

const TRidHighlighterClass& TRidTeXRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidTeXRid(AOwner); }};
  return c;
}

TRidTeXRid::TRidTeXRid(TComponent* AOwner) : TRidScanHighlighter(AOwner, kLanguage) {}

void TRidTeXRid::Next() {
  FTokenStart = FRunPos;
  (this->*ScanTable[Cur()])();
}

void TRidTeXRid::OneByteProc() {
  switch (Cur()) {
    case '$':
      FTokenKind = tkMathMode;
      break;
    case '{':
    case '}':
      FTokenKind = tkBrace;
      break;
    default:
      FTokenKind = tkBracket;
  }
  ++FRunPos;
}

// From the backslash on, by character: a blank reached stops it at once; letters, the other
// characters and the bytes from 127 go on; digits and control bytes end it before them.
void TRidTeXRid::ControlSequenceProc() {
  FTokenKind = tkControlSequence;
  bool afterBackslash = false;
  do {
    const uint8_t b = Cur();
    if (b < ' ' || kDigits.Contains(b)) return;
    if (kSymbols.Contains(b)) {
      if (afterBackslash) ++FRunPos;
      return;
    }
    afterBackslash = b == '\\';
    StepChar();
  } while (Cur() != ' ');
}

}  // namespace rid
