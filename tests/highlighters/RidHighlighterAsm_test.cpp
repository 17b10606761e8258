#include "highlighters/RidHighlighterAsm.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "highlighters/keywords/RidHighlighterAsmKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using A = TRidAsmRid;
using test::TTokenCase;

test::THighlighterFactory AsmFactory() {
  return [] { return std::make_unique<TRidAsmRid>(nullptr); };
}

const std::string kHyo = "\x95\x5C";

const TTokenCase kCases[] = {
    {0,
     "MOV AX, 0FFh",
     {{"MOV", A::tkKey},
      {" ", A::tkSpace},
      {"AX", A::tkIdentifier},
      {",", A::tkIdentifier},
      {" ", A::tkSpace},
      {"0FFh", A::tkNumber}},
     0},
    {0,
     "AABBh 1.5 0x10",
     {{"AABBh", A::tkIdentifier},
      {" ", A::tkSpace},
      {"1.5", A::tkNumber},
      {" ", A::tkSpace},
      {"0", A::tkNumber},
      {"x10", A::tkIdentifier}},
     0},
    // Digits compare by value
    {0,
     "f2xm1 F2XM1 f2xm2",
     {{"f2xm1", A::tkKey},
      {" ", A::tkSpace},
      {"F2XM1", A::tkKey},
      {" ", A::tkSpace},
      {"f2xm2", A::tkIdentifier}},
     0},
    {0,
     "movs int3 _start",
     {{"movs", A::tkKey},
      {" ", A::tkSpace},
      {"int3", A::tkIdentifier},
      {" ", A::tkSpace},
      {"_start", A::tkIdentifier}},
     0},
    {0,
     "mov [bx], 1",
     {{"mov", A::tkKey},
      {" ", A::tkSpace},
      {"[", A::tkIdentifier},
      {"bx", A::tkIdentifier},
      {"]", A::tkIdentifier},
      {",", A::tkIdentifier},
      {" ", A::tkSpace},
      {"1", A::tkNumber}},
     0},
    // Comments
    {0, "; text 'x", {{"; text 'x", A::tkComment}}, 0},
    {0, "# text", {{"# text", A::tkComment}}, 0},
    {0, "x // text", {{"x", A::tkIdentifier}, {" ", A::tkSpace}, {"// text", A::tkComment}}, 0},
    {0, "/x", {{"/", A::tkSymbol}, {"x", A::tkIdentifier}}, 0},
    // Strings to the same quote; three quotes in a row open one
    {0,
     "'Hello World', 0",
     {{"'Hello World'", A::tkString},
      {",", A::tkIdentifier},
      {" ", A::tkSpace},
      {"0", A::tkNumber}},
     0},
    {0,
     "'''a' \"\"\"\"",
     {{"'''a'", A::tkString}, {" ", A::tkSpace}, {"\"\"\"\"", A::tkString}},
     0},
    {0, "\"a'b\" 'open", {{"\"a'b\"", A::tkString}, {" ", A::tkSpace}, {"'open", A::tkString}}, 0},
    {0, "'" + kHyo + "'", {{"'" + kHyo + "'", A::tkString}}, 0},
    // Operators
    {0,
     "<=<>< >=> =&()*+-.:^{}",
     {{"<=", A::tkSymbol},
      {"<>", A::tkSymbol},
      {"<", A::tkSymbol},
      {" ", A::tkSpace},
      {">=", A::tkSymbol},
      {">", A::tkSymbol},
      {" ", A::tkSpace},
      {"=", A::tkSymbol},
      {"&", A::tkSymbol},
      {"(", A::tkSymbol},
      {")", A::tkSymbol},
      {"*", A::tkSymbol},
      {"+", A::tkSymbol},
      {"-", A::tkSymbol},
      {".", A::tkSymbol},
      {":", A::tkSymbol},
      {"^", A::tkSymbol},
      {"{", A::tkSymbol},
      {"}", A::tkSymbol}},
     0},
    // Everything else is an identifier, a Shift-JIS character whole
    {0,
     "!$%?@\\`|~",
     {{"!", A::tkIdentifier},
      {"$", A::tkIdentifier},
      {"%", A::tkIdentifier},
      {"?", A::tkIdentifier},
      {"@", A::tkIdentifier},
      {"\\", A::tkIdentifier},
      {"`", A::tkIdentifier},
      {"|", A::tkIdentifier},
      {"~", A::tkIdentifier}},
     0},
    {0,
     kHyo + "x\x81",
     {{kHyo, A::tkIdentifier}, {"x", A::tkIdentifier}, {"\x81", A::tkIdentifier}},
     0},
    {0,
     "  CODE\tSEGMENT\r\n",
     {{"  ", A::tkSpace},
      {"CODE", A::tkIdentifier},
      {"\t", A::tkSpace},
      {"SEGMENT", A::tkIdentifier},
      {"\r\n", A::tkSpace}},
     0},
};

TEST(AsmHighlighter, ScansTheListedCases) { test::CheckTokenCases(AsmFactory(), kCases); }

// The comma text holds 373 mnemonics; every one scans as a mnemonic in any case, chained into
// 312 slots of at most three.
TEST(AsmHighlighter, MnemonicsHaveTheirCountAndChains) {
  std::vector<std::string> words;
  EnumKeywords(A::tkKey, std::string(keywords::RidHighlighterAsm::kMnemonics),
               TRidAsmRid(nullptr).GetIdentChars(),
               TEnumKeywordEvent([&](const std::string& W, int32_t) { words.push_back(W); }));
  ASSERT_EQ(words.size(), 373u);
  EXPECT_NE(keywords::RidHighlighterAsm::kMnemonics.find(", movs,"), std::string_view::npos);
  std::vector<TRidKeyword> listed;
  for (const std::string& w : words) listed.push_back({w, A::tkKey});
  test::CheckKeywordsScanInAnyCase(AsmFactory(), listed);

  TRidAsmRid h(nullptr);
  int32_t slots = 0, longest = 0, entries = 0;
  for (int32_t i = 0; i < h.Keywords().Count(); ++i) {
    int32_t chain = 0;
    for (const TRidHashEntry* e = h.Keywords().Get(i); e; e = e->GetNext()) ++chain;
    slots += chain > 0;
    longest = std::max(longest, chain);
    entries += chain;
  }
  EXPECT_EQ(entries, 373);
  EXPECT_EQ(slots, 312);
  EXPECT_EQ(longest, 3);
  EXPECT_LE(h.Keywords().Count(), 1024);
}

// The hash keeps its low ten bits, computed without overflow, however long the word.
TEST(AsmHighlighter, LongWordsHashIntoTheTable) {
  int32_t length = 0;
  EXPECT_LT(TRidAsmRid::KeywordHash(std::string(100'000, 'z'), length), 1024u);
  EXPECT_EQ(length, 100'000);
  EXPECT_EQ(TRidAsmRid::KeywordHash("mov eax", length), TRidAsmRid::KeywordHash("MOV", length));
  EXPECT_EQ(length, 3);
  const TTokenCase cases[] = {
      {0,
       std::string(5000, 'x') + " mov",
       {{std::string(5000, 'x'), A::tkIdentifier}, {" ", A::tkSpace}, {"mov", A::tkKey}},
       0}};
  test::CheckTokenCases(AsmFactory(), cases);
}

TEST(AsmHighlighter, AttributesAndLanguageData) {
  TRidAsmRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 7);
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetDefaultAttribute(1), h.GetIdentifierAttri());
  EXPECT_EQ(h.GetLanguageName(), "x86 Assembly");
  EXPECT_EQ(h.GetDefaultFilter(), "x86 Assembly Files (*.asm)|*.asm");
  EXPECT_EQ(test::SplitLines(h.GetSampleSource()).size(), 17u);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {A::tkComment, h.GetCommentAttri()}, {A::tkIdentifier, h.GetIdentifierAttri()},
      {A::tkKey, h.GetKeyAttri()},         {A::tkNumber, h.GetNumberAttri()},
      {A::tkSpace, h.GetSpaceAttri()},     {A::tkString, h.GetStringAttri()},
      {A::tkSymbol, h.GetSymbolAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource(), byKind);
}

TEST(AsmHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(AsmFactory(), test::RandomByteLines(83, 500, 80), {0});
}

TEST(AsmHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"'",   "\"",   "'''", ";", "#", "//", "/",
                                           "mov", "0FFh", "[",   "]", ",", "\r", "\n"};
  test::CheckConformance(AsmFactory(), test::ShiftJisLines(89, 500, 24, pieces), {0});
}

// objdump's Intel-syntax listings of installed programs.
TEST(AsmHighlighter, DisassembledProgramsScanCleanly) {
  RID_NEED_TOOL("objdump", "binutils");
  std::vector<std::pair<std::string, std::string>> texts;
  for (const char* program : {"/usr/bin/true", "/usr/bin/gzip"})
    texts.emplace_back(
        program, test::RunTool(std::string("objdump -d -M intel --no-show-raw-insn ") + program));
  test::CheckTexts(AsmFactory(), texts);
}

}  // namespace
}  // namespace rid
