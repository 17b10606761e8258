#include "highlighters/RidHighlighterVB.h"

#include <gtest/gtest.h>

#include <map>

#include "highlighters/keywords/RidHighlighterVBKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"
#include "tests/highlighters/LanguageCorpora.h"

namespace rid {
namespace {

using B = TRidVBScanner;
using test::TTokenCase;

test::THighlighterFactory VBFactory() {
  return [] { return std::make_unique<TRidVBRid>(nullptr); };
}

// 表 ends in a backslash, ゾ in "]".
const std::string kHyo = "\x95\x5C", kZo = "\x83\x5D";

const TTokenCase kCases[] = {
    // "rem" in any case comments out the rest of the line from the word on
    {0, "REM text", {{"REM text", B::tkComment}}, 0},
    {0, "Rem text", {{"Rem text", B::tkComment}}, 0},
    {0, "rem", {{"rem", B::tkComment}}, 0},
    {0, "x rem 'y", {{"x", B::tkIdentifier}, {" ", B::tkSpace}, {"rem 'y", B::tkComment}}, 0},
    {0, "remark", {{"remark", B::tkIdentifier}}, 0},
    {0, "' c \"x", {{"' c \"x", B::tkComment}}, 0},
    {0, "x'c\r\n", {{"x", B::tkIdentifier}, {"'c", B::tkComment}, {"\r\n", B::tkSpace}}, 0},
    {0, "DIM x", {{"DIM", B::tkKey}, {" ", B::tkSpace}, {"x", B::tkIdentifier}}, 0},
    {0,
     "a_1 _x dim1",
     {{"a_1", B::tkIdentifier},
      {" ", B::tkSpace},
      {"_x", B::tkIdentifier},
      {" ", B::tkSpace},
      {"dim1", B::tkIdentifier}},
     0},
    // Numbers; "&h" is no prefix here
    {0, "&h4c", {{"&", B::tkSymbol}, {"h4c", B::tkIdentifier}}, 0},
    {0, "1.5E3 1..2", {{"1.5E3", B::tkNumber}, {" ", B::tkSpace}, {"1..2", B::tkNumber}}, 0},
    // Strings end at the next quote; three quotes open one
    {0, "\"a\"\"b\"", {{"\"a\"", B::tkString}, {"\"b\"", B::tkString}}, 0},
    {0, "\"\"\"\"", {{"\"\"\"\"", B::tkString}}, 0},
    {0, "\"\"\"a\" b", {{"\"\"\"a\"", B::tkString}, {" ", B::tkSpace}, {"b", B::tkIdentifier}}, 0},
    {0, "\"a\\\" b", {{"\"a\\\"", B::tkString}, {" ", B::tkSpace}, {"b", B::tkIdentifier}}, 0},
    {0, "\"open", {{"\"open", B::tkString}}, 0},
    {0, "\"" + kHyo + "\"x", {{"\"" + kHyo + "\"", B::tkString}, {"x", B::tkIdentifier}}, 0},
    // Date literals
    {0,
     "#1/1/2000# x",
     {{"#1/1/2000#", B::tkString}, {" ", B::tkSpace}, {"x", B::tkIdentifier}},
     0},
    {0, "#open", {{"#open", B::tkString}}, 0},
    // Operators: the listed two-byte forms
    {0,
     "<=<><>=>=<",
     {{"<=", B::tkSymbol},
      {"<>", B::tkSymbol},
      {"<>", B::tkSymbol},
      {"=", B::tkSymbol},
      {">=", B::tkSymbol},
      {"<", B::tkSymbol}},
     0},
    {0,
     "=>&(){}^:;,.",
     {{"=", B::tkSymbol},
      {">", B::tkSymbol},
      {"&", B::tkSymbol},
      {"(", B::tkSymbol},
      {")", B::tkSymbol},
      {"{", B::tkSymbol},
      {"}", B::tkSymbol},
      {"^", B::tkSymbol},
      {":", B::tkSymbol},
      {";", B::tkSymbol},
      {",", B::tkSymbol},
      {".", B::tkSymbol}},
     0},
    // Unknown characters, a Shift-JIS one whole
    {0,
     "!$%?@[\\]`|~",
     {{"!", B::tkUnknown},
      {"$", B::tkUnknown},
      {"%", B::tkUnknown},
      {"?", B::tkUnknown},
      {"@", B::tkUnknown},
      {"[", B::tkUnknown},
      {"\\", B::tkUnknown},
      {"]", B::tkUnknown},
      {"`", B::tkUnknown},
      {"|", B::tkUnknown},
      {"~", B::tkUnknown}},
     0},
    {0,
     kHyo + kZo + "x\x81",
     {{kHyo, B::tkUnknown}, {kZo, B::tkUnknown}, {"x", B::tkIdentifier}, {"\x81", B::tkUnknown}},
     0},
    // No range of its own
    {5, "x", {{"x", B::tkIdentifier}}, 0},
};

TEST(VBHighlighter, ScansTheListedCases) { test::CheckTokenCases(VBFactory(), kCases); }

TEST(VBHighlighter, KeywordsHaveTheirCountsKindsAndTableShape) {
  std::map<int, int> counts;
  for (const TRidKeyword& k : keywords::RidHighlighterVB::kKeywords) ++counts[k.Kind];
  EXPECT_EQ(counts, (std::map<int, int>{{B::tkKey, 213}, {B::tkComment, 1}}));
  EXPECT_EQ(TRidVBRid::KeywordTable().TableSize(), 134);
  EXPECT_EQ(TRidVBRid::KeywordTable().LargestHash(), 133u);  // "property"
  test::CheckKeywordsScanInAnyCase(VBFactory(), keywords::RidHighlighterVB::kKeywords);
}

TEST(VBHighlighter, AttributesAndLanguageData) {
  TRidVBRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 7);
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetKeyAttri()->GetName(), "Reserved Word");
  TRidHighlighterAttributes* defaults[] = {h.GetCommentAttri(), h.GetIdentifierAttri(),
                                           h.GetKeyAttri(),     h.GetStringAttri(),
                                           h.GetSpaceAttri(),   h.GetSymbolAttri()};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(h.GetDefaultAttribute(i), defaults[i]) << i;
  EXPECT_EQ(h.GetDefaultAttribute(6), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "Visual Basic");
  EXPECT_EQ(h.GetDefaultFilter(), "Visual Basic Files (*.bas)|*.bas");
  EXPECT_FALSE(h.IsFilterStored());
  EXPECT_FALSE(h.KeepsLineState());
  EXPECT_TRUE(h.GetIdentChars().Contains(uint8_t(0xC0)));
  EXPECT_FALSE(h.GetIdentChars().Contains(uint8_t(0xD7)));
  EXPECT_EQ(test::SplitLines(h.GetSampleSource()).size(), 16u);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {B::tkComment, h.GetCommentAttri()}, {B::tkIdentifier, h.GetIdentifierAttri()},
      {B::tkKey, h.GetKeyAttri()},         {B::tkNumber, h.GetNumberAttri()},
      {B::tkSpace, h.GetSpaceAttri()},     {B::tkString, h.GetStringAttri()},
      {B::tkSymbol, h.GetSymbolAttri()},   {B::tkUnknown, h.GetIdentifierAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource(), byKind);
}

TEST(VBHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(VBFactory(), test::RandomByteLines(61, 500, 80), {0});
}

TEST(VBHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"\"", "\"\"\"", "'", "#",  "rem", "Rem ", "dim",
                                           "<",  "<>",     ">", "1.", "&h",  "\r",   "\n"};
  test::CheckConformance(VBFactory(), test::ShiftJisLines(67, 500, 24, pieces), {0});
}

TEST(VBHighlighter, LibreOfficeBasicLibrariesScanCleanly) {
  const auto modules = test::BasicModules();
  ASSERT_FALSE(modules.empty()) << "no Basic libraries: install libreoffice-common";
  test::CheckTexts(VBFactory(), modules);
}

}  // namespace
}  // namespace rid
