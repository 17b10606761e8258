#include "highlighters/RidHighlighterHtml.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "highlighters/keywords/RidHighlighterHtmlKeywords.h"

namespace rid {

namespace {

using H = TRidHTMLRid;
using keywords::RidHighlighterHtml::kEntities;
using keywords::RidHighlighterHtml::kTagNames;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {}},
    {"Identifier", {fsBold}},
    {"Reserved Word", {fsBold}, TColor(0x00FF0080)},
    {"Space", {}},
    {"Symbol", {fsBold}},
    {"Text", {}},
    {"Unknown Word", {fsBold}, clRed},
    {"Value", {}, TColor(0x00FF8000)},
    {"Escape Ampersand", {fsBold}, clLime},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {8, 0, 1, 2, -1, 3, 4, 5, 6, 7};

constexpr char kSampleSource[] =
    "<!-- Syntax highlighting -->\r\n"
    "<html>\r\n"
    "<body bgcolor=\"red\">\r\n"
    "  <form name=\"frmLogin\" action=\"doSomething.cgi\">\r\n"
    "    <input name=\"user\" value='any\r\n"
    "value'>\r\n"
    "  </form>\r\n"
    "  <invalid>Text with &copy; entity</invalid>\r\n"
    "</body>\r\n"
    "</html>";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kHexDigits =
    kDigits + TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
// The bytes of a tag name's first part, and their values in its hash.
constexpr TRidCharSet kTagLetters = kLetters + TRidCharSet::Of("!/");
constexpr std::array<uint8_t, 256> kHashValues = [] {
  std::array<uint8_t, 256> v{};
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<uint8_t>(c - 'A' + 1);
  v['!'] = 123;
  v['/'] = 122;
  return v;
}();
constexpr int32_t kTableSize = 251;
// Where names and unquoted values end.
constexpr TRidCharSet kNameStops = TRidCharSet::Range(0, 32) + TRidCharSet::Of("\"=>");
constexpr TRidCharSet kValueStops = TRidCharSet::Range(0, 32) + TRidCharSet{'>'};

// The hash of a tag name: the values of its letters (and ! and /), then of its digits.
constexpr uint64_t TagHash(std::string_view AWord) {
  uint64_t h = 0;
  size_t i = 0;
  for (; i < AWord.size() && kTagLetters.Contains(AWord[i]); ++i)
    h += kHashValues[static_cast<uint8_t>(AWord[i])];
  for (; i < AWord.size() && kDigits.Contains(AWord[i]); ++i) h += AWord[i] - '0';
  return h;
}

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "HTML",
    .DefaultFilter = "HTML Documents (*.htm;*.html)|*.htm;*.html",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kDigits + kLetters + TRidCharSet{'_'} + TRidCharSet::Range(0xC0, 0xD6) +
                  TRidCharSet::Range(0xD8, 0xF6) + TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 2, -1, 3, 4},
    .NullKind = H::tkNull,
    .SpaceKind = H::tkSpace,
    .UnknownKind = H::tkText,  // a NUL byte inside the line
};

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidHTMLRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidHTMLRid> TRidHTMLRid::ScanTable =
    SharedScanTable<TRidHTMLRid>(TBlankRun::brTabStarts)
        .OnRange(33, 255, &H::NameProc)
        .On('<', &H::TagOpenProc)
        .On('>', &H::TagCloseProc)
        .On('=', &H::EqualProc)
        .On("\"'", &H::ValueProc)
        .On('&', &H::AmpersandProc);

const TRidKeywordTable& TRidHTMLRid::KeywordTable() {
  static const TRidKeywordTable table(kTagNames, kTableSize, TagHash, kHashValues.data());
  return table;
}

std::span<const std::string_view> TRidHTMLRid::Entities() { return kEntities; }

const TRidHighlighterClass& TRidHTMLRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidHTMLRid(AOwner); }};
  return c;
}

TRidHTMLRid::TRidHTMLRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidHTMLRid::SetLine(std::string_view NewValue, int32_t LineNumber) {
  FEntityIndex = -1;
  TRidScanHighlighter::SetLine(NewValue, LineNumber);
}

void TRidHTMLRid::Next() {
  // An empty token (the text before an entity, a tag name without letters) is not passed on;
  // the range it set decides the token that follows.
  do {
    FTokenStart = FRunPos;
    switch (FRange) {
      case rsComment:
        CommentProc();
        break;
      case rsText:
        TextProc();
        break;
      case rsSingleQuoted:
      case rsDoubleQuoted:
        if (IsLineStop(Cur()))
          Dispatch();
        else
          ValueProc();
        break;
      default:
        Dispatch();
    }
  } while (FRunPos == FTokenStart && FTokenKind != tkNull);
}

void TRidHTMLRid::TagOpenProc() {
  ++FRunPos;
  if (Cur() == '!' && Ahead(1) == '-' && Ahead(2) == '-') {
    FRunPos += 3;
    FTokenKind = tkComment;
    FRange = rsComment;
  } else {
    FTokenKind = tkSymbol;
    FRange = rsAfterLess;
  }
}

void TRidHTMLRid::TagCloseProc() {
  ++FRunPos;
  FTokenKind = tkSymbol;
  FRange = rsText;
}

void TRidHTMLRid::EqualProc() {
  ++FRunPos;
  FTokenKind = tkSymbol;
  FRange = rsAfterEqual;
}

void TRidHTMLRid::CommentProc() {
  if (IsLineStop(Cur())) return Dispatch();
  FTokenKind = tkComment;
  // "-->": the two dashes may belong to an earlier token of the line, even to the opener.
  while (!IsLineStop(Cur())) {
    if (Cur() == '>' && FRunPos >= 2 && At(FRunPos - 1) == '-' && At(FRunPos - 2) == '-') {
      ++FRunPos;
      FRange = rsText;
      return;
    }
    StepChar();
  }
}

void TRidHTMLRid::TextProc() {
  const uint8_t first = Cur();
  if (first < 32 || first == '<') return Dispatch();
  FTokenKind = tkText;
  // No trail byte is below 32, "<" or "&": the walk may go byte by byte.
  for (;;) {
    const uint8_t b = Cur();
    if (b < 32 || b == '<') return;
    if (b == '&') {
      if (Ahead(1) == '#') {
        const int32_t amp = FRunPos;
        FEntityIndex = -1;
        SkipNumericReference();
        if (Cur() == ';') {
          FRunPos = amp;
          FRange = rsAmpersand;
        }
        return;  // without ";" the digits stay text
      }
      const int32_t entity = EntityAt(FRunPos);
      if (entity >= 0) {
        FEntityIndex = entity;
        FRange = rsAmpersand;
        return;
      }
    }
    ++FRunPos;
  }
}

void TRidHTMLRid::SkipNumericReference() {
  FRunPos += 2;
  if (Cur() == 'x' || Cur() == 'X') {
    ++FRunPos;
    SkipSet(kHexDigits);
  } else {
    SkipSet(kDigits);
  }
}

int32_t TRidHTMLRid::EntityAt(int32_t APos) const {
  // Every entity is "&", letters and digits, ";": the first that matches is the only one.
  static const std::vector<std::pair<std::string_view, int32_t>> byName = [] {
    std::vector<std::pair<std::string_view, int32_t>> v;
    for (size_t i = 0; i < std::size(kEntities); ++i)
      v.emplace_back(kEntities[i].substr(1, kEntities[i].size() - 2), static_cast<int32_t>(i));
    std::sort(v.begin(), v.end());
    return v;
  }();
  int32_t end = APos + 1;
  while (kLetters.Contains(At(end)) || kDigits.Contains(At(end))) ++end;
  if (At(end) != ';' || end == APos + 1) return -1;
  const std::string_view name(FLineText + APos + 1, static_cast<size_t>(end - APos - 1));
  const auto it = std::lower_bound(byName.begin(), byName.end(), std::pair(name, int32_t(-1)));
  return it != byName.end() && it->first == name ? it->second : -1;
}

void TRidHTMLRid::AmpersandProc() {
  switch (FRange) {
    case rsAmpersand:
      if (FEntityIndex >= 0 && FEntityIndex < static_cast<int32_t>(std::size(kEntities))) {
        FTokenKind = tkAmpersand;
        FRunPos += static_cast<int32_t>(kEntities[FEntityIndex].size());
      } else if (Ahead(1) == '#') {
        SkipNumericReference();
        FTokenKind = Cur() == ';' ? tkAmpersand : tkText;
        if (Cur() == ';') ++FRunPos;
      } else {
        // Only a stored range leads here: the "&" is text.
        FTokenKind = tkText;
        ++FRunPos;
      }
      FEntityIndex = -1;
      FRange = rsText;
      return;
    case rsAfterLess:
      ++FRunPos;
      FTokenKind = tkText;
      FRange = rsText;
      return;
    default:
      NameProc();
  }
}

void TRidHTMLRid::NameProc() {
  switch (FRange) {
    case rsAfterLess: {
      FRange = rsTag;
      uint64_t hash = 0;
      int32_t i = FRunPos;
      while (kTagLetters.Contains(At(i))) hash += kHashValues[At(i++)];
      while (kDigits.Contains(At(i))) hash += At(i++) - '0';
      const int32_t length = i - FRunPos;
      FTokenKind = hash >= kTableSize
                       ? uint8_t(tkIdentifier)
                       : FKeywords.Find(hash, FLineText + FRunPos, length, tkUndefKey);
      FRunPos = i;
      return;
    }
    case rsAfterEqual:
      FRange = rsTag;
      FTokenKind = tkValue;
      StepChar();
      RunUntil(kValueStops);
      return;
    default:
      FTokenKind = tkIdentifier;
      StepChar();
      RunUntil(kNameStops);
  }
}

void TRidHTMLRid::ValueProc() {
  uint8_t quote;
  switch (FRange) {
    case rsSingleQuoted:
      quote = '\'';
      break;
    case rsDoubleQuoted:
      quote = '"';
      break;
    case rsAfterEqual:
      quote = Cur();
      FRange = quote == '"' ? rsDoubleQuoted : rsSingleQuoted;
      ++FRunPos;
      break;
    default:
      return NameProc();
  }
  FTokenKind = tkValue;
  if (RunQuoted(quote, TEscape::esNone, kLineStops) == TQuoteEnd::qeClosed) FRange = rsTag;
}

}  // namespace rid
