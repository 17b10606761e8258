#include "highlighters/RidHighlighterXML.h"

#include <string_view>

namespace rid {

namespace {

using X = TRidXMLRid;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Element Name", {fsBold}, clMaroon},
    {"Attribute Name", {}, clMaroon},
    {"Namespace Attribute Name", {}, clRed},
    {"Attribute Value", {fsBold}, clNavy},
    {"Namespace Attribute Value", {fsBold}, clRed},
    {"Text", {fsBold}, clBlack},
    {"CDATA Section", {fsItalic}, clOlive},
    {"Entity Reference", {fsBold}, clBlue},
    {"Processing Instruction", {}, clBlue},
    {"Comment", {fsBold, fsItalic}, clGray, clSilver},
    {"DOCTYPE Section", {fsItalic}, clBlue},
    {"Whitespace", {}},
    {"Symbol", {}, clBlue},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {3, 7,  1,  6, 9, 0, 7, 12, -1, 8, 3,
                                 7, 11, 12, 5, 4, 7, 2, 12, 4,  7, 10};

constexpr char kSampleSource[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<!DOCTYPE root [\r\n"
    "  ]>\r\n"
    "<!-- Comment -->\r\n"
    "<root version=\"&test;\">\r\n"
    "  <![CDATA[ **CDATA section** ]]>\r\n"
    "</root>";

constexpr TRidCharSet kLatinLetters = TRidCharSet::Range(0xC0, 0xD6) +
                                      TRidCharSet::Range(0xD8, 0xF6) +
                                      TRidCharSet::Range(0xF8, 0xFF);
constexpr TRidCharSet kAsciiName = TRidCharSet::Of("-.:_") + TRidCharSet::Range('0', '9') +
                                   TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
// A name's characters: the ASCII ones and every double-byte character (its lead byte takes
// its trail along).
constexpr TRidCharSet kNameChars =
    kAsciiName + TRidCharSet::Range(0x81, 0x9F) + TRidCharSet::Range(0xE0, 0xFC);
constexpr TRidCharSet kTextStops = TRidCharSet::Range(0, 31) + TRidCharSet::Of("&<");
// An entity reference runs over bytes above 32 to its ";".
constexpr TRidCharSet kEntityStops = TRidCharSet::Range(0, 32) + TRidCharSet{';'};
constexpr TRidCharSet kEqualStops = TRidCharSet{0, 10, 13} + TRidCharSet::Of("/\"'");

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "XML",
    .DefaultFilter = "XML Files (*.xml;*.xsd;*.xsl;*.xslt;*.dtd)|*.xml;*.xsd;*.xsl;*.xslt;*.dtd",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kAsciiName - TRidCharSet{':'} + kLatinLetters,
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {9, 1, 0, -1, 11, 12},
    .NullKind = X::tkNull,
    .SpaceKind = X::tkSpace,
    .UnknownKind = X::tkText,  // a NUL byte inside the line
};

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidXMLRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidXMLRid> TRidXMLRid::ScanTable =
    SharedScanTable<TRidXMLRid>(TBlankRun::brTabStarts)
        .OnRange(33, 255, &X::InTagProc)
        .On('<', &X::OpenTagProc)
        .On('>', &X::CloseTagProc);

const TRidHighlighterClass& TRidXMLRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidXMLRid(AOwner); }};
  return c;
}

TRidXMLRid::TRidXMLRid(TComponent* AOwner) : TRidScanHighlighter(AOwner, kLanguage) {}

void TRidXMLRid::Next() {
  do {
    FTokenStart = FRunPos;
    Scan();
  } while (FRunPos == FTokenStart && FTokenKind != tkNull);
}

void TRidXMLRid::Scan() {
  switch (FRange) {
    case rsCDATA:
      return MarkedProc(tkCDATA, ']');
    case rsComment:
      return CommentProc();
    case rsProcessingInstruction:
      return MarkedProc(tkProcessingInstruction, '?');
    case rsText:
      return TextProc();
    case rsDocType:
    case rsDocTypeSquareBraces:
      return DocTypeProc();
    default:
      Dispatch();
  }
}

void TRidXMLRid::OpenTagProc() {
  ++FRunPos;
  if (Cur() == '/') ++FRunPos;
  const std::string_view rest(FLineText + FRunPos, static_cast<size_t>(FLineLen - FRunPos));
  struct TOpener {
    std::string_view Text;
    uint8_t Kind, Range;
  };
  static constexpr TOpener kOpeners[] = {
      {"!--", tkSymbol, rsComment},
      {"!DOCTYPE", tkDocType, rsDocType},
      {"![CDATA[", tkCDATA, rsCDATA},
      {"!", tkSymbol, rsElement},
      {"?", tkProcessingInstruction, rsProcessingInstruction},
  };
  for (const TOpener& o : kOpeners) {
    if (rest.starts_with(o.Text)) {
      FTokenKind = o.Kind;
      FRange = o.Range;
      FRunPos += static_cast<int32_t>(o.Text.size());
      return;
    }
  }
  FTokenKind = tkSymbol;
  FRange = rsElement;
}

void TRidXMLRid::CloseTagProc() {
  FTokenKind = tkSymbol;
  FRange = rsText;
  ++FRunPos;
}

void TRidXMLRid::InTagProc() {
  switch (FRange) {
    case rsAposAttrValue:
      return ValueProc('\'', tkAposAttrValue, rsAPosEntityRef);
    case rsnsAposAttrValue:
      return ValueProc('\'', tknsAposAttrValue, rsnsAPosEntityRef);
    case rsAPosEntityRef:
      return EntityProc(tkAposEntityRef, rsAposAttrValue);
    case rsnsAPosEntityRef:
      return EntityProc(tknsAposEntityRef, rsnsAposAttrValue);
    case rsAttribute:
      return AttributeProc();
    case rsElement:
      return ElementProc();
    case rsEntityRef:
      return EntityProc(tkEntityRef, rsText);
    case rsEqual:
    case rsnsEqual:
      return EqualProc();
    case rsQuoteAttrValue:
      return ValueProc('"', tkQuoteAttrValue, rsQuoteEntityRef);
    case rsnsQuoteAttrValue:
      return ValueProc('"', tknsQuoteAttrValue, rsnsQuoteEntityRef);
    case rsQuoteEntityRef:
      return EntityProc(tkQuoteEntityRef, rsQuoteAttrValue);
    case rsnsQuoteEntityRef:
      return EntityProc(tknsQuoteEntityRef, rsnsQuoteAttrValue);
    default:  // a range of no meaning (set from outside): text
      FRange = rsText;
      return TextProc();
  }
}

void TRidXMLRid::ElementProc() {
  if (Cur() == '/') ++FRunPos;
  SkipChars(kNameChars);
  FTokenKind = tkElement;
  FRange = rsAttribute;
}

void TRidXMLRid::AttributeProc() {
  if (Cur() == '"' || Cur() == '\'') {  // a value's closing quote, or a stray one
    FTokenKind = tkSymbol;
    ++FRunPos;
    return;
  }
  SkipChars(kNameChars);
  const std::string_view name(FLineText + FTokenStart, static_cast<size_t>(FRunPos - FTokenStart));
  const bool ns = name.find("xmlns") != std::string_view::npos;
  FTokenKind = ns ? tknsAttribute : tkAttribute;
  FRange = ns ? rsnsEqual : rsEqual;
}

void TRidXMLRid::EqualProc() {
  const bool ns = FRange == rsnsEqual;
  FTokenKind = ns ? tknsEqual : tkEqual;
  RunUntil(kEqualStops);
  switch (Cur()) {
    case '/':
      FTokenKind = tkSymbol;
      FRange = rsElement;
      break;
    case '"':
      FRange = ns ? rsnsQuoteAttrValue : rsQuoteAttrValue;
      break;
    case '\'':
      FRange = ns ? rsnsAposAttrValue : rsAposAttrValue;
      break;
    default:  // the end of the line
      return;
  }
  ++FRunPos;
}

void TRidXMLRid::ValueProc(uint8_t AQuote, uint8_t AKind, uint8_t AEntityRange) {
  FTokenKind = AKind;
  RunUntil(TRidCharSet{0, 10, 13, '&', AQuote});
  if (Cur() == '&')
    FRange = AEntityRange;
  else if (Cur() == AQuote)
    FRange = rsAttribute;  // the quote is scanned there, as a symbol
}

void TRidXMLRid::EntityProc(uint8_t AKind, uint8_t ANextRange) {
  FTokenKind = AKind;
  RunUntil(kEntityStops);
  if (Cur() == ';') ++FRunPos;
  FRange = ANextRange;
}

void TRidXMLRid::TextProc() {
  if (kTextStops.Contains(Cur()) && Cur() != '&') return Dispatch();
  FTokenKind = tkText;
  RunUntil(kTextStops);
  if (Cur() == '&') FRange = rsEntityRef;
}

void TRidXMLRid::CommentProc() {
  auto atClose = [this] { return Cur() == '-' && Ahead(1) == '-' && Ahead(2) == '>'; };
  if (atClose()) {
    FTokenKind = tkSymbol;
    FRange = rsText;
    FRunPos += 3;
    return;
  }
  if (IsLineStop(Cur())) return Dispatch();
  FTokenKind = tkComment;
  while (FRunPos < FLineLen && !IsLineStop(Cur()) && !atClose()) StepChar();
}

void TRidXMLRid::MarkedProc(uint8_t AKind, uint8_t AMark) {
  if (IsLineStop(Cur())) return Dispatch();
  FTokenKind = AKind;
  // The character before the first one is a byte of the opener, a line break or nothing
  // (column 0, where nothing marks the end).
  bool afterMark = At(FRunPos - 1) == AMark;
  while (FRunPos < FLineLen && !IsLineStop(Cur())) {
    const uint8_t b = Cur();
    if (b == '>' && afterMark) {
      ++FRunPos;
      FRange = rsText;
      return;
    }
    afterMark = b == AMark;
    StepChar();
  }
}

void TRidXMLRid::DocTypeProc() {
  if (IsLineStop(Cur())) return Dispatch();
  FTokenKind = tkDocType;
  if (FRange == rsDocTypeSquareBraces) {
    RunUntil(TRidCharSet{0, 10, 13, ']'});
    if (Cur() == ']') {
      ++FRunPos;
      FRange = rsDocType;
    }
    return;
  }
  RunUntil(TRidCharSet{0, 10, 13, '>', '['});
  if (Cur() == '>') {
    ++FRunPos;
    FRange = rsText;
  } else if (Cur() == '[') {
    ++FRunPos;
    RunUntil(TRidCharSet{0, 10, 13, ']'});
    if (Cur() == ']')
      ++FRunPos;
    else
      FRange = rsDocTypeSquareBraces;
  }
}

}  // namespace rid
