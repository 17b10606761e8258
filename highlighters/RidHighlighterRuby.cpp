#include "highlighters/RidHighlighterRuby.h"

#include <algorithm>
#include <string_view>

#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/keywords/RidHighlighterRubyKeywords.h"

namespace rid {

namespace {

using R = TRidRubyRid;
using keywords::RidHighlighterRuby::kReservedWords;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {}, clMaroon},
    {"Identifier", {}},
    {"Reserved Word", {}, clBlue},
    {"Second Reserved Word", {}},
    {"Number", {}, clGreen},
    {"Space", {}},
    {"String", {}, clPurple},
    {"Symbol", {}, clBlue},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 4, 3, 5, 6, 7, 7};

constexpr char kSampleSource[] =
    "# Factorial\r\n"
    "def fact(n)\r\n"
    "  if n == 0\r\n"
    "    1\r\n"
    "  else\r\n"
    "    n * fact(n-1)\r\n"
    "  end\r\n"
    "end\r\n"
    "print fact(ARGV[0].to_i), \"\\n\"";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kIdentTable = kLetters + kDigits + TRidCharSet{'_'};
constexpr TRidCharSet kNumberSet = kDigits + TRidCharSet::Of(".Ee");

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Ruby",
    .DefaultFilter = "Ruby Files (*.rb;*.rbw)|*.rb;*.rbw",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = TRidCharSet::Range(33, 255),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 2, 6, 5, -1},
    .NullKind = R::tkNull,
    .SpaceKind = R::tkSpace,
    .UnknownKind = R::tkUnknown,
};

// Both word lists are sorted and searched in the kit's UpperLess order.
static_assert(std::is_sorted(std::begin(kReservedWords), std::end(kReservedWords), UpperLess));

template <class TList>
bool Holds(const TList& AList, std::string_view AWord) {
  const auto it = std::lower_bound(std::begin(AList), std::end(AList), AWord, UpperLess);
  return it != std::end(AList) && !UpperLess(AWord, *it);
}

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidRubyRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidRubyRid> TRidRubyRid::ScanTable =
    SharedScanTable<TRidRubyRid>()
        .On("\"'", &R::StringProc)
        .On('#', &R::LineCommentProc)
        .On("(/;<{", &R::SymbolProc)
        .On(kDigits, &R::NumberProc)
        .On(kLetters + TRidCharSet{'_'}, &R::IdentProc);

const TRidHighlighterClass& TRidRubyRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidRubyRid(AOwner); }};
  return c;
}

TRidRubyRid::TRidRubyRid(TComponent* AOwner) : TRidScanHighlighter(AOwner, kLanguage) {}

bool TRidRubyRid::IsKeyword(const std::string& AKeyword) const {
  return Holds(kReservedWords, AKeyword);
}

void TRidRubyRid::SetSecondKeyWords(TStrings* AList) {
  FSecondKeyWords.clear();
  if (AList) {
    TStringsUpdate update(AList);
    for (int32_t i = 0; i < AList->Count(); ++i) {
      const std::string upper = AnsiUpperCase(AList->Get(i));
      if (upper != AList->Get(i)) AList->SetStrings(i, upper);
      FSecondKeyWords.push_back(upper);
    }
  }
  std::sort(FSecondKeyWords.begin(), FSecondKeyWords.end(), UpperLess);
  FSecondKeyWords.erase(std::unique(FSecondKeyWords.begin(), FSecondKeyWords.end(),
                                    [](const std::string& A, const std::string& B) {
                                      return !UpperLess(A, B) && !UpperLess(B, A);
                                    }),
                        FSecondKeyWords.end());
  AttributeChanged(this);
}

void TRidRubyRid::Next() {
  FTokenStart = FRunPos;
  (this->*ScanTable[Cur()])();
}

void TRidRubyRid::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esNone, true);
}

void TRidRubyRid::NumberProc() {
  FTokenKind = tkNumber;
  NumberRun(kNumberSet);
}

void TRidRubyRid::IdentProc() {
  const int32_t start = FRunPos;
  SkipSet(kIdentTable);
  const std::string_view word(FLineText + start, static_cast<size_t>(FRunPos - start));
  if (Holds(kReservedWords, word))
    FTokenKind = tkKey;
  else if (!FSecondKeyWords.empty() && Holds(FSecondKeyWords, word))
    FTokenKind = tkSecondKey;
  else
    FTokenKind = tkIdentifier;
}

void TRidRubyRid::SymbolProc() {
  FTokenKind = tkSymbol;
  ++FRunPos;
}

}  // namespace rid
