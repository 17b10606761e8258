#include "highlighters/RidHighlighterFortran.h"

#include <gtest/gtest.h>

#include <map>

#include "highlighters/keywords/RidHighlighterFortranKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"
#include "tests/highlighters/LanguageCorpora.h"

namespace rid {
namespace {

using F = TRidFortranRid;
using test::TTokenCase;

test::THighlighterFactory FortranFactory() {
  return [] { return std::make_unique<TRidFortranRid>(nullptr); };
}

const std::string kHyo = "\x95\x5C";

const TTokenCase kCases[] = {
    // Comment lines by their first column
    {0, "C     comment 'x", {{"C     comment 'x", F::tkComment}}, 0},
    {0, "c", {{"c", F::tkComment}}, 0},
    {0, "*     comment", {{"*     comment", F::tkComment}}, 0},
    {0, "CALL X", {{"CALL X", F::tkComment}}, 0},  // free form misread, as intended
    {0,
     "      CALL X",
     {{"      ", F::tkSpace}, {"CALL", F::tkKey}, {" ", F::tkSpace}, {"X", F::tkIdentifier}},
     0},
    {0, " C", {{" ", F::tkSpace}, {"C", F::tkIdentifier}}, 0},
    {0,
     "X = A * B",
     {{"X", F::tkIdentifier},
      {" ", F::tkSpace},
      {"=", F::tkSymbol},
      {" ", F::tkSpace},
      {"A", F::tkIdentifier},
      {" ", F::tkSpace},
      {"*", F::tkSymbol},
      {" ", F::tkSpace},
      {"B", F::tkIdentifier}},
     0},
    {0, "x ! c 'y", {{"x", F::tkIdentifier}, {" ", F::tkSpace}, {"! c 'y", F::tkComment}}, 0},
    // Dotted operators in any case, with their closing point
    {0,
     "IF (A .eq. B) THEN",
     {{"IF", F::tkKey},
      {" ", F::tkSpace},
      {"(", F::tkSymbol},
      {"A", F::tkIdentifier},
      {" ", F::tkSpace},
      {".eq.", F::tkSymbol},
      {" ", F::tkSpace},
      {"B", F::tkIdentifier},
      {")", F::tkSymbol},
      {" ", F::tkSpace},
      {"THEN", F::tkKey}},
     0},
    {0,
     ".TRUE..false..AND..Not..Or.",
     {{".TRUE.", F::tkSymbol},
      {".false.", F::tkSymbol},
      {".AND.", F::tkSymbol},
      {".Not.", F::tkSymbol},
      {".Or.", F::tkSymbol}},
     0},
    {0,
     ".EQ .x.",
     {{".", F::tkSymbol},
      {"EQ", F::tkIdentifier},
      {" ", F::tkSpace},
      {".", F::tkSymbol},
      {"x", F::tkIdentifier},
      {".", F::tkSymbol}},
     0},
    // Keywords in any case, the misspelt one too
    {0,
     "END End end",
     {{"END", F::tkKey},
      {" ", F::tkSpace},
      {"End", F::tkKey},
      {" ", F::tkSpace},
      {"end", F::tkKey}},
     0},
    {0,
     "stucture structure ends",
     {{"stucture", F::tkKey},
      {" ", F::tkSpace},
      {"structure", F::tkKey},
      {" ", F::tkSpace},
      {"ends", F::tkIdentifier}},
     0},
    // Numbers stop before a range; "1.eq.2" reads as the number "1.e"
    {0, "1.5E3 0x1F", {{"1.5E3", F::tkNumber}, {" ", F::tkSpace}, {"0x1F", F::tkNumber}}, 0},
    {0, "1..", {{"1", F::tkNumber}, {".", F::tkSymbol}, {".", F::tkSymbol}}, 0},
    {0,
     "1.eq.2",
     {{"1.e", F::tkNumber}, {"q", F::tkIdentifier}, {".", F::tkSymbol}, {"2", F::tkNumber}},
     0},
    {0, "1d0", {{"1", F::tkNumber}, {"d0", F::tkIdentifier}}, 0},
    // Strings to the same quote on the line; only '"' skips two of three opening quotes
    {0, "'it''s'", {{"'it'", F::tkString}, {"'s'", F::tkString}}, 0},
    {0, "\"\"\"a\" x", {{"\"\"\"a\"", F::tkString}, {" ", F::tkSpace}, {"x", F::tkIdentifier}}, 0},
    {0, "'''a'", {{"''", F::tkString}, {"'a'", F::tkString}}, 0},
    {0, "'open", {{"'open", F::tkString}}, 0},
    {0, "'" + kHyo + "'", {{"'" + kHyo + "'", F::tkString}}, 0},
    // Operators by their longest listed form
    {0,
     "<<=<<<=<>>=>>>===",
     {{"<<=", F::tkSymbol},
      {"<<", F::tkSymbol},
      {"<=", F::tkSymbol},
      {"<", F::tkSymbol},
      {">>=", F::tkSymbol},
      {">>", F::tkSymbol},
      {">=", F::tkSymbol},
      {"==", F::tkSymbol}},
     0},
    {0,
     "%()+,-/;",
     {{"%", F::tkSymbol},
      {"(", F::tkSymbol},
      {")", F::tkSymbol},
      {"+", F::tkSymbol},
      {",", F::tkSymbol},
      {"-", F::tkSymbol},
      {"/", F::tkSymbol},
      {";", F::tkSymbol}},
     0},
    {0,
     "#$&:?@[\\]^`{",
     {{"#", F::tkUnknown},
      {"$", F::tkUnknown},
      {"&", F::tkUnknown},
      {":", F::tkUnknown},
      {"?", F::tkUnknown},
      {"@", F::tkUnknown},
      {"[", F::tkUnknown},
      {"\\", F::tkUnknown},
      {"]", F::tkUnknown},
      {"^", F::tkUnknown},
      {"`", F::tkUnknown},
      {"{", F::tkUnknown}},
     0},
    {0, kHyo + "\x81", {{kHyo, F::tkUnknown}, {"\x81", F::tkUnknown}}, 0},
};

TEST(FortranHighlighter, ScansTheListedCases) { test::CheckTokenCases(FortranFactory(), kCases); }

TEST(FortranHighlighter, KeywordsHaveTheirCountAndTableShape) {
  EXPECT_EQ(std::size(keywords::RidHighlighterFortran::kKeywords), 50u);
  EXPECT_EQ(F::KeywordTable().TableSize(), 146);
  EXPECT_EQ(F::KeywordTable().LargestHash(), 145u);
  test::CheckKeywordsScanInAnyCase(FortranFactory(), keywords::RidHighlighterFortran::kKeywords, 0,
                                   " ");
}

TEST(FortranHighlighter, AttributesAndLanguageData) {
  TRidFortranRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 7);
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetDefaultAttribute(3), h.GetStringAttri());
  EXPECT_EQ(h.GetDefaultAttribute(5), h.GetSymbolAttri());
  EXPECT_EQ(h.GetLanguageName(), "Fortran");
  EXPECT_EQ(h.GetDefaultFilter(), "Fortran Files (*.for)|*.for");
  EXPECT_EQ(h.GetSampleSource(), "");
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {F::tkComment, h.GetCommentAttri()}, {F::tkIdentifier, h.GetIdentifierAttri()},
      {F::tkKey, h.GetKeyAttri()},         {F::tkNumber, h.GetNumberAttri()},
      {F::tkSpace, h.GetSpaceAttri()},     {F::tkString, h.GetStringAttri()},
      {F::tkSymbol, h.GetSymbolAttri()},   {F::tkUnknown, h.GetIdentifierAttri()}};
  test::CheckAttributesByKind(h, "C c\n      x = 'a' + 1 ! c\n      END $", byKind);
}

TEST(FortranHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(FortranFactory(), test::RandomByteLines(73, 500, 80), {0});
}

TEST(FortranHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"'",  "\"", "\"\"\"", "!",   ".EQ.", ".",  "..",
                                           "1.", "C",  "*",      "<<=", "end",  "\r", "\n"};
  test::CheckConformance(FortranFactory(), test::ShiftJisLines(79, 500, 24, pieces), {0});
}

// gfortran's module sources and the Fortran files of CMake's modules.
TEST(FortranHighlighter, InstalledFortranSourcesScanCleanly) {
  std::vector<std::filesystem::path> files =
      test::InstalledFiles({"/usr/lib/gcc/x86_64-linux-gnu"}, {".f90"}, "gfortran");
  for (const auto& entry : std::filesystem::directory_iterator("/usr/share"))
    if (entry.path().filename().string().starts_with("cmake-"))
      for (const auto& f :
           test::InstalledFiles({entry.path().c_str()}, {".f", ".f90", ".F"}, "cmake-data"))
        files.push_back(f);
  test::CheckInstalledFiles(FortranFactory(), files);
}

// Generated fixed-form programs are Fortran to gfortran and scan cleanly here, with Japanese
// comment lines mixed in.
TEST(FortranHighlighter, GeneratedFixedFormProgramsCompileAndScanCleanly) {
  RID_NEED_TOOL("gfortran", "gfortran");
  test::TempDir dir;
  std::vector<std::pair<std::string, std::string>> texts;
  std::string files;
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const std::string source = test::FixedFormFortran(seed, 1 + seed % 6);
    const std::string name = "gen" + std::to_string(seed) + ".f";
    test::WriteFileBytes(dir / name, source);
    files += " " + (dir / name).string();
    texts.emplace_back(name, source + Utf8ToSjis("C     日本語の注釈：表示の確認\n"));
  }
  int code = -1;
  const std::string errors =
      test::RunTool("gfortran -fsyntax-only -ffixed-form" + files + " 2>&1", {}, &code);
  EXPECT_EQ(code, 0) << errors;
  test::CheckTexts(FortranFactory(), texts);
}

}  // namespace
}  // namespace rid
