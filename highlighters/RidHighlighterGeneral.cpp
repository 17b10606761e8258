#include "highlighters/RidHighlighterGeneral.h"

#include <string_view>

#include "platform/Registry.h"

namespace rid {

namespace {

using G = TRidGeneralRid;

constexpr auto kAttributes = PlainAttributesAnd({"Preprocessor", {}});

// Attribute index per token kind (the null kind has none; unknown bytes look like symbols).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 3, 7, 4, 5, 6, 6};

constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kWordChars =
    kDigits + TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z') + TRidCharSet{'_'};
constexpr TRidCharSet kHexDigits =
    kDigits + TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
constexpr TRidCharSet kNumberSet = kDigits + TRidCharSet::Of(".Ee");
// What closes the comment of each range.
constexpr std::string_view kClose[] = {{}, "*)", "}", "*/"};

constexpr char kKeyWordsValue[] = "KeyWords";

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "General",
    .DefaultFilter = {},
    .SampleSource = {},
    .IdentChars = TRidCharSet::Range(33, 255),  // until the user chooses
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 2, 5, 4, 6},
    .NullKind = G::tkNull,
    .SpaceKind = G::tkSpace,
    .UnknownKind = G::tkUnknown,
};

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidGeneralRid::Class());

}  // namespace

constexpr TRidGeneralRid::TTable TRidGeneralRid::MakeScanTable(uint8_t AQuote) {
  return SharedScanTable<TRidGeneralRid>()
      .On('#', &G::HashProc)
      .On('$', &G::HexProc)
      .On('(', &G::RoundOpenProc)
      .On('/', &G::SlashProc)
      .On(kDigits, &G::NumberProc)
      .On(';', &G::SemicolonProc)
      .On('{', &G::BraceOpenProc)
      .On(kWordChars - kDigits, &G::IdentProc)
      .On(AQuote, &G::StringProc);
}
const TRidGeneralRid::TTable TRidGeneralRid::SingleQuoteTable = MakeScanTable('\'');
const TRidGeneralRid::TTable TRidGeneralRid::DoubleQuoteTable = MakeScanTable('"');

const TRidHighlighterClass& TRidGeneralRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidGeneralRid(AOwner); }};
  return c;
}

TRidGeneralRid::TRidGeneralRid(TComponent* AOwner)
    : TRidPlainScanHighlighter(AOwner, kLanguage),
      FScanTable(&SingleQuoteTable),
      FIdentChars(kLanguage.IdentChars) {
  FKeyWords.SetSorted(true);
  FKeyWords.SetDuplicates(dupIgnore);
}

void TRidGeneralRid::SetComments(TCommentStyles Value) {
  if (Value == FComments) return;
  FComments = Value;
  AttributeChanged(this);
}

void TRidGeneralRid::SetDetectPreprocessor(bool Value) {
  if (Value == FDetectPreprocessor) return;
  FDetectPreprocessor = Value;
  AttributeChanged(this);
}

void TRidGeneralRid::SetStringDelim(TStringDelim Value) {
  FScanTable = Value == sdDoubleQuote ? &DoubleQuoteTable : &SingleQuoteTable;
}

std::string TRidGeneralRid::GetIdentifierChars() const {
  std::string chars;
  for (int b = 0; b < 256 && chars.size() < 255; ++b)
    if (FIdentChars.Contains(static_cast<uint8_t>(b))) chars += static_cast<char>(b);
  return chars;
}

void TRidGeneralRid::SetIdentifierChars(const std::string& Value) {
  FIdentChars = TRidCharSet::Of(Value);
  SetWordBreakChars(GetWordBreakChars() - FIdentChars);
}

void TRidGeneralRid::SetKeyWords(TStrings* Value) {
  if (Value) {
    TStringsUpdate update(Value);
    for (int32_t i = 0; i < Value->Count(); ++i) {
      const std::string item = Value->Get(i);
      const std::string upper = AnsiUpperCase(item);
      if (upper != item) Value->SetStrings(i, upper);
    }
    FKeyWords.Assign(Value);
  } else {
    FKeyWords.Clear();
  }
  AttributeChanged(nullptr);
}

bool TRidGeneralRid::IsKeyword(const std::string& AKeyword) const { return HoldsWord(AKeyword); }

// A binary search in the order the list sorts in (ASCII letters in any case).
bool TRidGeneralRid::HoldsWord(std::string_view AWord) const {
  int32_t low = 0, high = FKeyWords.Count() - 1;
  while (low <= high) {
    const int32_t middle = (low + high) / 2;
    const int order = AnsiCompareText(FKeyWords.GetView(middle), AWord);
    if (order == 0) return true;
    if (order < 0)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return false;
}

bool TRidGeneralRid::LoadFromRegistry(HKEY RootKey, const std::string& Key) {
  {
    TRegistry reg;
    reg.SetRootKey(RootKey);
    if (!reg.OpenKeyReadOnly(Key)) return false;
    try {
      if (reg.ValueExists(kKeyWordsValue)) FKeyWords.SetText(reg.ReadString(kKeyWordsValue));
    } catch (const ERegistryException&) {
      return false;  // a value of the wrong type
    }
  }
  return TRidScanHighlighter::LoadFromRegistry(RootKey, Key);
}

bool TRidGeneralRid::SaveToRegistry(HKEY RootKey, const std::string& Key) {
  {
    TRegistry reg;
    reg.SetRootKey(RootKey);
    if (!reg.OpenKey(Key, true)) return false;
    reg.WriteString(kKeyWordsValue, FKeyWords.GetText());
  }
  return TRidScanHighlighter::SaveToRegistry(RootKey, Key);
}

void TRidGeneralRid::Next() {
  FTokenStart = FRunPos;
  if (FRange >= rsAnsi && FRange <= rsCStyle) return CommentContinueProc();
  (this->*(*FScanTable)[Cur()])();
}

void TRidGeneralRid::CommentContinueProc() {
  if (ContinueToClose(kClose[FRange], tkComment)) FRange = rsUnknown;
}

// A comment that opens here and goes on to AClose, over line ends in the range it sets.
void TRidGeneralRid::OpenComment(uint8_t ARange, int32_t AOpenerLength) {
  FTokenKind = tkComment;
  FRange = ARange;
  FRunPos += AOpenerLength;
  if (RunToClose(kClose[ARange], kLineStops)) FRange = rsUnknown;
}

// "(*" opens a comment ("(*)" does not close it); "(." is one symbol.
void TRidGeneralRid::RoundOpenProc() {
  if (!FComments.Contains(csAnsiStyle)) return SymbolProc();
  if (Ahead(1) == '*') return OpenComment(rsAnsi, 2);
  FTokenKind = tkSymbol;
  FRunPos += Ahead(1) == '.' ? 2 : 1;
}

void TRidGeneralRid::BraceOpenProc() {
  if (!FComments.Contains(csPasStyle)) return SymbolProc();
  OpenComment(rsPasStyle, 1);
}

void TRidGeneralRid::SlashProc() {
  if (Ahead(1) == '*' && FComments.Contains(csCStyle)) return OpenComment(rsCStyle, 2);
  if (Ahead(1) == '/' && FComments.Contains(csCPPStyle)) return LineCommentProc();
  SymbolProc();
}

// An assembler or Basic comment takes the rest of the line, line breaks too.
void TRidGeneralRid::SemicolonProc() {
  if (!FComments.Contains(csAsmStyle) && !FComments.Contains(csBasStyle)) return SymbolProc();
  FTokenKind = tkComment;
  RunUntil(TRidCharSet{0});
  FRange = rsUnknown;
}

// A preprocessor line, or (not looking for them) a character code such as #13.
void TRidGeneralRid::HashProc() {
  if (FDetectPreprocessor) {
    FTokenKind = tkPreprocessor;
    return RunUntil(kLineStops);
  }
  RunAfterFirst(tkString, kDigits);
}

void TRidGeneralRid::HexProc() { RunAfterFirst(tkNumber, kHexDigits); }

// Digits, points and exponents; an "x" goes on as a hexadecimal number, a ".." ends it.
void TRidGeneralRid::NumberProc() {
  FTokenKind = tkNumber;
  ++FRunPos;
  for (;; ++FRunPos) {
    const uint8_t b = Cur();
    if (b == 'x') return HexProc();
    if (!kNumberSet.Contains(b) || (b == '.' && Ahead(1) == '.')) return;
  }
}

void TRidGeneralRid::IdentProc() {
  const int32_t start = FRunPos;
  SkipSet(kWordChars);
  FTokenKind =
      HoldsWord({FLineText + start, static_cast<size_t>(FRunPos - start)}) ? tkKey : tkIdentifier;
}

// To the next delimiter on this line, which has no escapes; three in a row open one string.
void TRidGeneralRid::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esNone, true);
}

void TRidGeneralRid::SymbolProc() {
  FTokenKind = tkSymbol;
  ++FRunPos;
}

}  // namespace rid
