#include "highlighters/RidHighlighterVBScript.h"

#include <gtest/gtest.h>

#include <map>

#include "highlighters/RidHighlighterVB.h"
#include "highlighters/keywords/RidHighlighterVBScriptKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"
#include "tests/highlighters/LanguageCorpora.h"

namespace rid {
namespace {

using B = TRidVBScanner;
using test::TTokenCase;

test::THighlighterFactory VBScriptFactory() {
  return [] { return std::make_unique<TRidVBScriptRid>(nullptr); };
}

// The Visual Basic scanner with VBScript's words; unknown characters are identifiers.
const TTokenCase kCases[] = {
    {0, "rem x", {{"rem x", B::tkComment}}, 0},
    {0, "REM", {{"REM", B::tkComment}}, 0},
    {0, "elseif ELSEIF", {{"elseif", B::tkKey}, {" ", B::tkSpace}, {"ELSEIF", B::tkKey}}, 0},
    {0,
     "Response document",
     {{"Response", B::tkIdentifier}, {" ", B::tkSpace}, {"document", B::tkIdentifier}},
     0},
    // Words of Visual Basic only
    {0,
     "abs DateAdd",
     {{"abs", B::tkIdentifier}, {" ", B::tkSpace}, {"DateAdd", B::tkIdentifier}},
     0},
    {0,
     "\x95\x5C@x",
     {{"\x95\x5C", B::tkIdentifier}, {"@", B::tkIdentifier}, {"x", B::tkIdentifier}},
     0},
    {0,
     "\"a\"\"b\" 'c",
     {{"\"a\"", B::tkString}, {"\"b\"", B::tkString}, {" ", B::tkSpace}, {"'c", B::tkComment}},
     0},
};

TEST(VBScriptHighlighter, ScansTheListedCases) { test::CheckTokenCases(VBScriptFactory(), kCases); }

TEST(VBScriptHighlighter, KeywordsHaveTheirCountsKindsAndTableShape) {
  std::map<int, int> counts;
  for (const TRidKeyword& k : keywords::RidHighlighterVBScript::kKeywords) ++counts[k.Kind];
  EXPECT_EQ(counts, (std::map<int, int>{{B::tkKey, 84}, {B::tkComment, 1}}));
  EXPECT_EQ(TRidVBScriptRid::KeywordTable().TableSize(), 134);
  EXPECT_EQ(TRidVBScriptRid::KeywordTable().LargestHash(), 133u);  // "property"
  test::CheckKeywordsScanInAnyCase(VBScriptFactory(), keywords::RidHighlighterVBScript::kKeywords);
}

TEST(VBScriptHighlighter, AttributesAndLanguageData) {
  TRidVBScriptRid h(nullptr);
  TRidVBRid vb(nullptr);
  ASSERT_EQ(h.GetAttribCount(), vb.GetAttribCount());
  for (int32_t i = 0; i < h.GetAttribCount(); ++i) {
    EXPECT_EQ(h.GetAttribute(i)->GetName(), vb.GetAttribute(i)->GetName());
    EXPECT_EQ(h.GetAttribute(i)->GetStyle(), vb.GetAttribute(i)->GetStyle());
  }
  EXPECT_EQ(h.GetLanguageName(), "MS VBScript");
  EXPECT_EQ(h.ClassName(), "TRidVBScriptRid");
  EXPECT_EQ(h.GetDefaultFilter(), "VBScript Files (*.vbs)|*.vbs");
  EXPECT_FALSE(h.IsFilterStored());
  EXPECT_EQ(h.GetSampleSource(),
            "' Syntax highlighting\r\nfunction printNumber()\r\n  number = 12345\r\n"
            "  document.write(\"The number is \" + number)\r\n  for i = 0 to 10\r\n"
            "    x = x + 1.0\r\n  next\r\nend function");
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {B::tkComment, h.GetCommentAttri()}, {B::tkIdentifier, h.GetIdentifierAttri()},
      {B::tkKey, h.GetKeyAttri()},         {B::tkNumber, h.GetNumberAttri()},
      {B::tkSpace, h.GetSpaceAttri()},     {B::tkString, h.GetStringAttri()},
      {B::tkSymbol, h.GetSymbolAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource(), byKind);
}

// Both classes are registered, each under its own name.
TEST(VBScriptHighlighter, BothLanguagesAreRegisteredClasses) {
  TRidHighlighterList& list = GetPlaceableHighlighters();
  ASSERT_GE(list.IndexOf(&TRidVBScriptRid::Class()), 0);
  ASSERT_GE(list.IndexOf(&TRidVBRid::Class()), 0);
  EXPECT_EQ(TRidVBScriptRid::Class().LanguageName, "MS VBScript");
  std::unique_ptr<TRidCustomHighlighter> made(TRidVBScriptRid::Class().Create(nullptr));
  EXPECT_EQ(made->ClassName(), "TRidVBScriptRid");
}

TEST(VBScriptHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"\"", "'", "#", "Rem", "ElseIf", "<>", "1.", "\r"};
  test::CheckConformance(VBScriptFactory(), test::ShiftJisLines(71, 400, 24, pieces), {0});
}

TEST(VBScriptHighlighter, LibreOfficeBasicLibrariesScanCleanly) {
  const auto modules = test::BasicModules();
  ASSERT_FALSE(modules.empty()) << "no Basic libraries: install libreoffice-common";
  test::CheckTexts(VBScriptFactory(), modules);
}

}  // namespace
}  // namespace rid
