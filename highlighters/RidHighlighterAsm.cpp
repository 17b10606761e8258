#include "highlighters/RidHighlighterAsm.h"

#include <array>
#include <string_view>

#include "highlighters/keywords/RidHighlighterAsmKeywords.h"

namespace rid {

namespace {

using A = TRidAsmRid;

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 2, -1, 3, 4, 5, 6};

constexpr char kSampleSource[] =
    "; x86 assembly sample source\r\n"
    "  CODE\tSEGMENT\tBYTE PUBLIC\r\n"
    "    ASSUME\tCS:CODE\r\n"
    "\r\n"
    "    PUSH SS\r\n"
    "    POP DS\r\n"
    "    MOV AX, AABBh\r\n"
    "    MOV\tBYTE PTR ES:[DI], 255\r\n"
    "    JMP SHORT AsmEnd\r\n"
    "\r\n"
    "  welcomeMsg DB 'Hello World', 0\r\n"
    "\r\n"
    "  AsmEnd:\r\n"
    "    MOV AX, 0\r\n"
    "\r\n"
    "  CODE\tENDS\r\n"
    "END";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kDigits = TRidCharSet::Range('0', '9');
constexpr TRidCharSet kWordChars = kLetters + kDigits + TRidCharSet{'_'};
constexpr TRidCharSet kNumberSet =
    kDigits + TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f') + TRidCharSet::Of(".Hh");
// The values of the keyword hash, and what a mnemonic compares by: letters 1 to 26 in either
// case, digits 27 to 36, every other byte ("_" too) 0.
constexpr std::array<uint8_t, 256> kHashValues = [] {
  std::array<uint8_t, 256> v{};
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<uint8_t>(c - 'A' + 1);
  for (int c = '0'; c <= '9'; ++c) v[c] = static_cast<uint8_t>(c - '0' + 27);
  return v;
}();

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "x86 Assembly",
    .DefaultFilter = "x86 Assembly Files (*.asm)|*.asm",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = kWordChars + TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kPlainAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 2, 5, 4, 6},
    .NullKind = A::tkNull,
    .SpaceKind = A::tkSpace,
    .UnknownKind = A::tkIdentifier,
};

constexpr TRidOperatorForms kSymbols(std::to_array<std::string_view>(
    {"&", "(", ")", "*", "+", "-", ".", ":", "=", "^", "{", "}", "<=", "<>", "<", ">=", ">"}));

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidAsmRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidAsmRid> TRidAsmRid::ScanTable =
    SharedScanTable<TRidAsmRid>()
        .On(kSymbols.FirstBytes(), &A::SymbolProc)
        .On("#;", &A::LineCommentProc)
        .On('/', &A::SlashProc)
        .On("\"'", &A::StringProc)
        .On(kDigits, &A::NumberProc)
        .On(kLetters + TRidCharSet{'_'}, &A::IdentProc);

const TRidHighlighterClass& TRidAsmRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidAsmRid(AOwner); }};
  return c;
}

TRidAsmRid::TRidAsmRid(TComponent* AOwner) : TRidPlainScanHighlighter(AOwner, kLanguage) {
  EnumKeywords(tkKey, std::string(keywords::RidHighlighterAsm::kMnemonics), GetIdentChars(),
               TEnumKeywordEvent(this, &TRidAsmRid::AddKeyword));
}

uint32_t TRidAsmRid::KeywordHash(std::string_view AWord, int32_t& ALength) {
  uint32_t hash = 0;
  size_t i = 0;
  for (; i < AWord.size() && kWordChars.Contains(AWord[i]); ++i)
    hash = hash * 7 + kHashValues[static_cast<uint8_t>(AWord[i])];
  ALength = static_cast<int32_t>(i);
  return hash & 1023;
}

void TRidAsmRid::AddKeyword(const std::string& AKeyword, int32_t AKind) {
  int32_t length = 0;
  FKeywords.Put(KeywordHash(AKeyword, length), std::make_unique<TRidHashEntry>(AKeyword, AKind));
}

void TRidAsmRid::Next() {
  FTokenStart = FRunPos;
  (this->*ScanTable[Cur()])();
}

void TRidAsmRid::SlashProc() {
  if (Ahead(1) == '/') return LineCommentProc();
  SymbolProc();
}

// To the same quote on this line; three quotes in a row open one string.
void TRidAsmRid::StringProc() {
  FTokenKind = tkString;
  StringRun(TEscape::esNone, true);
}

void TRidAsmRid::NumberProc() { RunAfterFirst(tkNumber, kNumberSet); }

// The chain is ordered by length: shorter entries are passed over, a longer one ends the walk.
void TRidAsmRid::IdentProc() {
  int32_t length = 0;
  const uint32_t hash =
      KeywordHash({FLineText + FRunPos, static_cast<size_t>(FLineLen - FRunPos)}, length);
  FTokenKind = tkIdentifier;
  for (const TRidHashEntry* e = FKeywords.Get(hash); e && e->GetKeyLen() <= length;
       e = e->GetNext()) {
    if (e->GetKeyLen() < length) continue;
    const std::string& key = e->GetKeyword();
    int32_t i = 0;
    while (i < length && kHashValues[static_cast<uint8_t>(key[i])] ==
                             kHashValues[static_cast<uint8_t>(FLineText[FRunPos + i])])
      ++i;
    if (i == length) {
      FTokenKind = static_cast<uint8_t>(e->GetKind());
      break;
    }
  }
  FRunPos += length;  // the hash took every word byte
}

void TRidAsmRid::SymbolProc() { OperatorRun(kSymbols, tkSymbol); }

}  // namespace rid
