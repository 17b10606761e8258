#include "highlighters/RidHighlighterCSS.h"

#include <array>

#include "highlighters/keywords/RidHighlighterCSSKeywords.h"

namespace rid {

namespace {

using C = TRidCssRid;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {}},
    {"Property", {fsBold}},
    {"Reserved Word", {fsBold}, TColor(0x00FF0080)},
    {"Undefined Property", {fsBold}, TColor(0x00FF0080)},
    {"Space", {}},
    {"Color Value", {}},
    {"Number", {}},
    {"String", {}},
    {"Symbol", {}},
    {"Text", {}},
    {"Value", {}, TColor(0x00FF8000)},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 4, 7, 8, 9, 3, 10, 5, 6};

constexpr char kSampleSource[] =
    "/* Syntax Highlighting */\r\n"
    "body { font-family: Tahoma, Verdana, Arial, sans-serif; font-size: 8pt }\r\n"
    "H1 { font-size: 18pt; color: #000099; made-up-property: 1 }";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kHexDigits =
    kDigits + TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
constexpr TRidCharSet kNameLetters = kLetters + TRidCharSet{'-'};
constexpr std::array<uint8_t, 256> kHashValues = [] {
  std::array<uint8_t, 256> v{};
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<uint8_t>(c - 'A' + 1);
  v['!'] = 123;
  v['/'] = 122;
  return v;
}();
// Where selectors, values and names end.
constexpr TRidCharSet kSelectorStops = TRidCharSet::Range(0, 31) + TRidCharSet::Of("/{");
constexpr TRidCharSet kValueStops = TRidCharSet{0, 10, 13} + TRidCharSet::Of(",;}");
constexpr TRidCharSet kNameStops = TRidCharSet::Range(0, 32) + TRidCharSet::Of("\":;}");

// The hash of a name: the values of its letters (hyphens add nothing), then of its digits.
// Sets ALength to the bytes hashed.
uint64_t NameHash(std::string_view AWord, int32_t& ALength) {
  uint64_t h = 0;
  size_t i = 0;
  for (; i < AWord.size() && kNameLetters.Contains(AWord[i]); ++i)
    h += kHashValues[static_cast<uint8_t>(AWord[i])];
  for (; i < AWord.size() && kDigits.Contains(AWord[i]); ++i) h += AWord[i] - '0';
  ALength = static_cast<int32_t>(i);
  return h;
}

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Cascading Style Sheet",
    .DefaultFilter = "Cascading Stylesheets (*.css)|*.css",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kDigits + kLetters + TRidCharSet::Of("-_"),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, -1, 2, 7, 4, -1},
    .NullKind = C::tkNull,
    .SpaceKind = C::tkSpace,
    .UnknownKind = C::tkText,  // a NUL byte inside the line
};

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidCssRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidCssRid> TRidCssRid::ScanTable =
    SharedScanTable<TRidCssRid>(TBlankRun::brTabStarts)
        .OnRange(33, 255, &C::NameProc)
        .On('"', &C::StringProc)
        .On('#', &C::ColorProc)
        .On(",:;{}", &C::SymbolProc)
        .On('/', &C::SlashProc)
        .On('.', &C::NumberProc)
        .OnRange('0', '9', &C::NumberProc);

const TRidHighlighterClass& TRidCssRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidCssRid(AOwner); }};
  return c;
}

TRidCssRid::TRidCssRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(std::make_unique<TRidHashEntryList>()) {
  EnumKeywords(tkProperty, std::string(keywords::RidHighlighterCSS::kPropertyText), GetIdentChars(),
               TEnumKeywordEvent(this, &TRidCssRid::AddKeyword));
}

TRidCssRid::~TRidCssRid() = default;

void TRidCssRid::AddKeyword(const std::string& AKeyword, int32_t AKind) {
  int32_t length = 0;
  FKeywords->Put(static_cast<int64_t>(NameHash(AKeyword, length)),
                 std::make_unique<TRidHashEntry>(AKeyword, AKind));
}

void TRidCssRid::Next() {
  FTokenStart = FRunPos;
  if (InComment())
    CommentProc();
  else if (FRange == rsSelector)
    SelectorProc();
  else
    Dispatch();
}

void TRidCssRid::SelectorProc() {
  if (kSelectorStops.Contains(Cur())) return Dispatch();
  FTokenKind = tkKey;
  RunUntil(kSelectorStops);
}

void TRidCssRid::SymbolProc() {
  FTokenKind = tkSymbol;
  switch (Cur()) {
    case ';':
      FRange = rsAfterSemicolon;
      break;
    case '{':
      FRange = rsBlock;
      break;
    case '}':
      FRange = rsSelector;
      break;
    default:  // "," and ":"
      FRange = rsValue;
  }
  ++FRunPos;
}

void TRidCssRid::SlashProc() {
  ++FRunPos;
  if (Cur() != '*') {
    FTokenKind = tkSymbol;
    return;
  }
  // The comment keeps the range it returns to; one opened in a range of no meaning returns to
  // the selectors.
  FTokenKind = tkComment;
  FRange = FRange >= rsBlock && FRange <= rsValue ? rsCommentFrom + FRange : rsComment;
  ++FRunPos;
  if (!IsLineStop(Cur())) CommentProc();
}

void TRidCssRid::CommentProc() {
  if (FRunPos >= FLineLen) {
    FTokenKind = tkNull;
    return;
  }
  FTokenKind = tkComment;
  if (RunToClose("*/", {})) FRange = FRange == rsComment ? rsSelector : FRange - rsCommentFrom;
}

void TRidCssRid::StringProc() {
  FTokenKind = tkString;
  ++FRunPos;
  RunQuoted('"', TEscape::esNone, kLineStops);
}

void TRidCssRid::ColorProc() {
  FTokenKind = tkColor;
  ++FRunPos;
  SkipSet(kHexDigits);
}

void TRidCssRid::NumberProc() {
  FTokenKind = tkNumber;
  ++FRunPos;
  for (;;) {
    const uint8_t b = Cur();
    if (kDigits.Contains(b) || (b == '.' && Ahead(1) != '.'))
      ++FRunPos;
    else
      break;
  }
}

void TRidCssRid::NameProc() {
  if (FRange == rsValue) {
    FRange = rsBlock;
    FTokenKind = tkValue;
    RunUntil(kValueStops);
    return;
  }
  FTokenKind = static_cast<uint8_t>(PropertyKind());
  StepChar();
  RunUntil(kNameStops);
}

int32_t TRidCssRid::PropertyKind() {
  int32_t length = 0;
  const std::string_view rest(FLineText + FRunPos, static_cast<size_t>(FLineLen - FRunPos));
  const uint64_t hash = NameHash(rest, length);
  for (const TRidHashEntry* e = FKeywords->Get(static_cast<int64_t>(hash)); e; e = e->GetNext()) {
    if (length < e->GetKeyLen()) break;
    if (length > e->GetKeyLen()) continue;
    bool same = true;
    for (int32_t i = 0; i < length && same; ++i)
      same = kHashValues[static_cast<uint8_t>(rest[i])] ==
             kHashValues[static_cast<uint8_t>(e->GetKeyword()[i])];
    if (same) return e->GetKind();
  }
  return tkUndefProperty;
}

}  // namespace rid
