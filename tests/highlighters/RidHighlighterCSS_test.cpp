#include "highlighters/RidHighlighterCSS.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "highlighters/keywords/RidHighlighterCSSKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using C = TRidCssRid;
using test::TTokenCase;

test::THighlighterFactory CssFactory() {
  return [] { return std::make_unique<TRidCssRid>(nullptr); };
}

// Shift-JIS characters whose trail bytes are "{" (ボ, ＋) and "}" (マ).
const std::string kBo = "\x83\x7B", kPlus = "\x81\x7B", kMa = "\x83\x7D";

const TTokenCase kCases[] = {
    // Blocks, properties and values
    {C::rsBlock,
     "color: red blue;",
     {{"color", C::tkProperty},
      {":", C::tkSymbol},
      {" ", C::tkSpace},
      {"red blue", C::tkValue},
      {";", C::tkSymbol}},
     C::rsAfterSemicolon},
    // The value rule holds: after the number the value runs to the end.
    {C::rsBlock,
     "font-size: 12pt Arial",
     {{"font-size", C::tkProperty},
      {":", C::tkSymbol},
      {" ", C::tkSpace},
      {"12", C::tkNumber},
      {"pt Arial", C::tkValue}},
     C::rsBlock},
    {C::rsBlock,
     "COLOR:x; colour:y",
     {{"COLOR", C::tkProperty},
      {":", C::tkSymbol},
      {"x", C::tkValue},
      {";", C::tkSymbol},
      {" ", C::tkSpace},
      {"colour", C::tkUndefProperty},
      {":", C::tkSymbol},
      {"y", C::tkValue}},
     C::rsBlock},
    {C::rsBlock,
     "color/x z-index",
     {{"color/x", C::tkProperty}, {" ", C::tkSpace}, {"z-index", C::tkProperty}},
     C::rsBlock},
    {C::rsBlock, "a,b}", {{"a,b", C::tkUndefProperty}, {"}", C::tkSymbol}}, C::rsSelector},
    {C::rsBlock,
     "a ,b}",
     {{"a", C::tkUndefProperty},
      {" ", C::tkSpace},
      {",", C::tkSymbol},
      {"b", C::tkValue},
      {"}", C::tkSymbol}},
     C::rsSelector},
    // Selectors are one token up to the brace, blanks included
    {C::rsSelector, "body h1 {", {{"body h1 ", C::tkKey}, {"{", C::tkSymbol}}, C::rsBlock},
    {C::rsSelector, "a} b{", {{"a} b", C::tkKey}, {"{", C::tkSymbol}}, C::rsBlock},
    {C::rsSelector, "\ta", {{"\t", C::tkSpace}, {"a", C::tkKey}}, C::rsSelector},
    // Colours and numbers
    {C::rsBlock,
     "#00F #ff9900 #xyz",
     {{"#00F", C::tkColor},
      {" ", C::tkSpace},
      {"#ff9900", C::tkColor},
      {" ", C::tkSpace},
      {"#", C::tkColor},
      {"xyz", C::tkUndefProperty}},
     C::rsBlock},
    {C::rsBlock,
     "1..2 .5",
     {{"1", C::tkNumber}, {"..2", C::tkNumber}, {" ", C::tkSpace}, {".5", C::tkNumber}},
     C::rsBlock},
    // Strings, without escapes
    {C::rsBlock, "\"a\\\"b", {{"\"a\\\"", C::tkString}, {"b", C::tkUndefProperty}}, C::rsBlock},
    {C::rsBlock, "\"open", {{"\"open", C::tkString}}, C::rsBlock},
    // Comments keep the range they return to in their own range
    {C::rsBlock,
     "color /* x",
     {{"color", C::tkProperty}, {" ", C::tkSpace}, {"/* x", C::tkComment}},
     10},
    {10,
     "y */ a",
     {{"y */", C::tkComment}, {" ", C::tkSpace}, {"a", C::tkUndefProperty}},
     C::rsBlock},
    {C::rsValue, "/*", {{"/*", C::tkComment}}, 13},
    {13, "*/x", {{"*/", C::tkComment}, {"x", C::tkValue}}, C::rsBlock},
    {C::rsSelector,
     "a /* b */ c {",
     {{"a ", C::tkKey}, {"/* b */", C::tkComment}, {" c ", C::tkKey}, {"{", C::tkSymbol}},
     C::rsBlock},
    {C::rsComment, "x */ y", {{"x */", C::tkComment}, {" y", C::tkKey}}, C::rsSelector},
    {11, "x */y", {{"x */", C::tkComment}, {"y", C::tkKey}}, C::rsSelector},
    {C::rsBlock, "/*/", {{"/*/", C::tkComment}}, 10},
    {1, "/* x", {{"/* x", C::tkComment}}, C::rsComment},
    {C::rsBlock,
     "/ /*\r\n",
     {{"/", C::tkSymbol}, {" ", C::tkSpace}, {"/*", C::tkComment}, {"\r\n", C::tkComment}},
     10},
    // Trail bytes that look like braces belong to their character
    {C::rsSelector,
     kBo + " " + kMa + "{",
     {{kBo + " " + kMa, C::tkKey}, {"{", C::tkSymbol}},
     C::rsBlock},
    {C::rsValue,
     kMa + kBo + ";",
     {{kMa + kBo, C::tkValue}, {";", C::tkSymbol}},
     C::rsAfterSemicolon},
    {C::rsBlock,
     kPlus + "x:" + kMa + "}",
     {{kPlus + "x", C::tkUndefProperty}, {":", C::tkSymbol}, {kMa, C::tkValue}, {"}", C::tkSymbol}},
     C::rsSelector},
    {C::rsValue, "a\x83", {{"a\x83", C::tkValue}}, C::rsBlock},
};

TEST(CssHighlighter, ScansTheListedCases) { test::CheckTokenCases(CssFactory(), kCases); }

// A comment closed on a later line returns to the range it was opened in, whatever the same
// instance scanned in between.
TEST(CssHighlighter, ACommentsRangeAloneDecidesWhereItReturns) {
  TRidCssRid shared(nullptr);
  TRidRange afterOpen = 0, afterOther = 0, end = 0;
  test::ScanCheckedLine(shared, "a: b /* open", C::rsBlock, &afterOpen);
  test::ScanCheckedLine(shared, "/* other", C::rsSelector, &afterOther);
  EXPECT_NE(afterOpen, afterOther);
  const auto tokens = test::ScanCheckedLine(shared, "*/ color", afterOpen, &end);
  EXPECT_EQ(tokens.back().Kind, C::tkProperty);
  EXPECT_EQ(end, C::rsBlock);
}

TEST(CssHighlighter, PropertyListHasItsCountAndShape) {
  TRidCssRid h(nullptr);
  int32_t names = 0;
  size_t longest = 0;
  for (int32_t i = 0; i < h.Keywords().Count(); ++i) {
    size_t chain = 0;
    for (const TRidHashEntry* e = h.Keywords().Get(i); e; e = e->GetNext()) ++chain, ++names;
    longest = std::max(longest, chain);
  }
  EXPECT_EQ(names, 122);
  EXPECT_EQ(h.Keywords().Count(), 259);
  EXPECT_EQ(longest, 5u);
  std::vector<TRidKeyword> words;
  std::vector<std::string> storage;
  EnumKeywords(C::tkProperty, std::string(keywords::RidHighlighterCSS::kPropertyText),
               h.GetIdentChars(),
               TEnumKeywordEvent([&](const std::string& W, int32_t) { storage.push_back(W); }));
  ASSERT_EQ(storage.size(), 122u);
  for (const std::string& w : storage) words.push_back({w, C::tkProperty});
  test::CheckKeywordsScan(CssFactory(), words, C::rsBlock);
}

TEST(CssHighlighter, AttributesAndLanguageData) {
  TRidCssRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 11);
  EXPECT_EQ(h.GetPropertyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetKeyAttri()->GetForeground(), TColor(0x00FF0080));
  EXPECT_EQ(h.GetUndefPropertyAttri()->GetForeground(), TColor(0x00FF0080));
  EXPECT_EQ(h.GetUndefPropertyAttri()->GetName(), "Undefined Property");
  EXPECT_EQ(h.GetValueAttri()->GetForeground(), TColor(0x00FF8000));
  EXPECT_EQ(h.GetDefaultAttribute(1), nullptr);
  EXPECT_EQ(h.GetDefaultAttribute(3), h.GetStringAttri());
  EXPECT_EQ(h.GetDefaultAttribute(5), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "Cascading Style Sheet");
  EXPECT_EQ(h.GetDefaultFilter(), "Cascading Stylesheets (*.css)|*.css");
  EXPECT_EQ(h.GetRange(), C::rsSelector);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {C::tkComment, h.GetCommentAttri()},
      {C::tkProperty, h.GetPropertyAttri()},
      {C::tkKey, h.GetKeyAttri()},
      {C::tkSpace, h.GetSpaceAttri()},
      {C::tkString, h.GetStringAttri()},
      {C::tkSymbol, h.GetSymbolAttri()},
      {C::tkUndefProperty, h.GetUndefPropertyAttri()},
      {C::tkValue, h.GetValueAttri()},
      {C::tkColor, h.GetColorAttri()},
      {C::tkNumber, h.GetNumberAttri()}};
  std::set<int32_t> seen;
  TRidRange range = C::rsSelector;
  const std::string text = h.GetSampleSource() + "\r\np { q: \"s\" }";
  for (std::string_view line : test::SplitLines(text))
    for (const auto& t : test::ScanCheckedLine(h, line, range, &range)) seen.insert(t.Kind);
  EXPECT_EQ(seen.size(), byKind.size());
  h.SetLine("a{b:\"c\" #1 2/*d*/}", 0);
  for (; !h.GetEol(); h.Next())
    EXPECT_EQ(h.GetTokenAttribute(), byKind.at(h.GetTokenKind())) << h.GetToken();
}

const std::vector<TRidRange> kAllRanges = {0, 2, 3, 4, 5, 10, 11, 12, 13, 1, 7, 255};

TEST(CssHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(CssFactory(), test::RandomByteLines(23, 500, 80), kAllRanges);
}

TEST(CssHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"{",         "}",  ":",  ";",    ",",   "/*", "*/",
                                           "/",         "\"", "#",  "#0f0", "1.5", "..", "color",
                                           "font-size", "\t", "\r", "\n",   "-"};
  test::CheckConformance(CssFactory(), test::ShiftJisLines(29, 500, 24, pieces), kAllRanges);
}

TEST(CssHighlighter, InstalledStyleSheetsScanCleanly) {
  test::CheckInstalledFiles(
      CssFactory(),
      test::InstalledFiles({"/usr/share/doc/python3.11/html/_static"}, {".css"}, "python3-doc"));
}

}  // namespace
}  // namespace rid
