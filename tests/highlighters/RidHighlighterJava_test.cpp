#include "highlighters/RidHighlighterJava.h"

#include <gtest/gtest.h>

#include <map>

#include "highlighters/keywords/RidHighlighterJavaKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using J = TRidJavaRid;
using test::TTokenCase;

test::THighlighterFactory JavaFactory() {
  return [] { return std::make_unique<TRidJavaRid>(nullptr); };
}

// 表 and ソ end in a backslash, マ in "}"; E0 7B is a character whose trail is "{".
const std::string kHyo = "\x95\x5C", kSo = "\x83\x5C", kMa = "\x83\x7D", kE07B = "\xE0\x7B";

const TTokenCase kCases[] = {
    // Comments: "/**" documents unless it is the empty "/**/"
    {3, "/**/x", {{"/**/", J::tkComment}, {"x", J::tkIdentifier}}, 3},
    {3, "/** a", {{"/** a", J::tkDocument}}, J::rsDocument},
    {3, "/***/", {{"/***/", J::tkDocument}}, 3},
    {J::rsDocument,
     "b */ c",
     {{"b */", J::tkDocument}, {" ", J::tkSpace}, {"c", J::tkIdentifier}},
     3},
    {J::rsComment, "*/", {{"*/", J::tkComment}}, 3},
    {J::rsComment,
     kMa + " */ " + kMa,
     {{kMa + " */", J::tkComment}, {" ", J::tkSpace}, {kMa, J::tkUnknown}},
     3},
    {3, "/*/", {{"/*/", J::tkComment}}, J::rsComment},
    {3, "//" + kHyo, {{"//" + kHyo, J::tkComment}}, 3},
    {3,
     "a/=b/c",
     {{"a", J::tkIdentifier},
      {"/=", J::tkSymbol},
      {"b", J::tkIdentifier},
      {"/", J::tkSymbol},
      {"c", J::tkIdentifier}},
     3},
    // Strings and characters end on their line, at their own quote
    {3, R"("a\"b";)", {{R"("a\"b")", J::tkString}, {";", J::tkSymbol}}, 3},
    {3,
     "\"" + kHyo + "\" '" + kSo + "'",
     {{"\"" + kHyo + "\"", J::tkString}, {" ", J::tkSpace}, {"'" + kSo + "'", J::tkString}},
     3},
    {3, R"('\'' x)", {{R"('\'')", J::tkString}, {" ", J::tkSpace}, {"x", J::tkIdentifier}}, 3},
    {3, "\"open", {{"\"open", J::tkString}}, 3},
    {3,
     "\"\"\"a\" '''",
     {{"\"\"\"a\"", J::tkString}, {" ", J::tkSpace}, {"''", J::tkString}, {"'", J::tkString}},
     3},
    // A backslash as the last byte ends the token at the line end
    {3, "\"abc\\", {{"\"abc\\", J::tkString}}, 3},
    {3, "'\\", {{"'\\", J::tkString}}, 3},
    // Reserved words by case; "$" and Latin-1 letters in identifiers
    {3,
     "If if a$b\xC0\xD6",
     {{"If", J::tkIdentifier},
      {" ", J::tkSpace},
      {"if", J::tkKey},
      {" ", J::tkSpace},
      {"a$b\xC0\xD6", J::tkIdentifier}},
     3},
    // An identifier takes a lead byte's trail along, even a trail that is no identifier byte
    {3, "x" + kE07B + ";", {{"x" + kE07B, J::tkIdentifier}, {";", J::tkSymbol}}, 3},
    {3,
     kE07B + "\xF7\x40" + kHyo,
     {{kE07B, J::tkIdentifier}, {"\xF7\x40", J::tkUnknown}, {kHyo, J::tkUnknown}},
     3},
    // Numbers
    {3,
     ".5 .x 1..2",
     {{".5", J::tkNumber},
      {" ", J::tkSpace},
      {".", J::tkSymbol},
      {"x", J::tkIdentifier},
      {" ", J::tkSpace},
      {"1", J::tkNumber},
      {".", J::tkSymbol},
      {".2", J::tkNumber}},
     3},
    {3, "0x1FL 1e-5f", {{"0x1FL", J::tkNumber}, {" ", J::tkSpace}, {"1e-5f", J::tkNumber}}, 3},
    // Symbols take their longest form; "@" and "#" are invalid
    {3, ">>>=>>>>>=", {{">>>=", J::tkSymbol}, {">>>", J::tkSymbol}, {">>=", J::tkSymbol}}, 3},
    {3,
     "@Override #",
     {{"@", J::tkInvalidSymbol},
      {"Override", J::tkIdentifier},
      {" ", J::tkSpace},
      {"#", J::tkInvalidSymbol}},
     3},
    {3, "\\`~", {{"\\", J::tkUnknown}, {"`", J::tkUnknown}, {"~", J::tkSymbol}}, 3},
    // Any range but the comments is plain code
    {255, "x", {{"x", J::tkIdentifier}}, 3},
    {0, "/*", {{"/*", J::tkComment}}, J::rsComment},
};

TEST(JavaHighlighter, ScansTheListedCases) { test::CheckTokenCases(JavaFactory(), kCases); }

TEST(JavaHighlighter, KeywordsHaveTheirCountAndTableShape) {
  const TRidKeywordTable& t = TRidJavaRid::KeywordTable();
  EXPECT_EQ(std::size(keywords::RidHighlighterJava::kKeywords), 52u);
  EXPECT_EQ(t.TableSize(), 173);
  EXPECT_EQ(t.LargestHash() + 1, uint64_t(t.TableSize()));
  test::CheckKeywordsScan(JavaFactory(), keywords::RidHighlighterJava::kKeywords);
}

TEST(JavaHighlighter, AttributesAndLanguageData) {
  TRidJavaRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 9);
  EXPECT_EQ(h.GetDocumentAttri()->GetName(), "Documentation");
  EXPECT_EQ(h.GetDocumentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetSpaceAttri()->GetForeground(), clWindow);
  EXPECT_EQ(h.GetInvalidAttri()->GetName(), "Invalid Symbol");
  EXPECT_EQ(h.GetDefaultAttribute(2), h.GetKeyAttri());
  EXPECT_EQ(h.GetDefaultAttribute(6), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "Java");
  EXPECT_EQ(h.GetDefaultFilter(), "Java Files (*.java)|*.java");
  EXPECT_TRUE(h.GetIdentChars().Contains('$'));
  EXPECT_FALSE(h.GetIdentChars().Contains(uint8_t(0xD7)));
  EXPECT_EQ(h.GetRange(), J::rsUnknown);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {J::tkComment, h.GetCommentAttri()},
      {J::tkDocument, h.GetDocumentAttri()},
      {J::tkIdentifier, h.GetIdentifierAttri()},
      {J::tkInvalidSymbol, h.GetInvalidAttri()},
      {J::tkKey, h.GetKeyAttri()},
      {J::tkNumber, h.GetNumberAttri()},
      {J::tkSpace, h.GetSpaceAttri()},
      {J::tkString, h.GetStringAttri()},
      {J::tkSymbol, h.GetSymbolAttri()},
      {J::tkUnknown, h.GetInvalidAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource() + "\r\n/** d */ /* c */ x if 1 \"s\" ; @ \\",
                              byKind);
}

const std::vector<TRidRange> kAllRanges = {1, 2, 3, 0, 7};

TEST(JavaHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(JavaFactory(), test::RandomByteLines(31, 500, 80), kAllRanges);
}

TEST(JavaHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"/*", "*/", "/**", "//",   "\"", "'",  "\\", "@",   "$x",
                                           "if", ".5", "..",  ">>>=", "\t", "\r", "\n", "\xE0"};
  test::CheckConformance(JavaFactory(), test::ShiftJisLines(37, 500, 24, pieces), kAllRanges);
}

const char* const kJdkSources = "/usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip";

TEST(JavaHighlighter, TheJdkSourcesScanCleanly) {
  RID_NEED_FILE(kJdkSources, "openjdk-17-source");
  RID_NEED_TOOL("unzip", "unzip");
  test::TempDir dir;
  // A fixed sample: the java.util classes from A to L, one file.
  const std::string text =
      test::RunTool(std::string("unzip -p ") + kJdkSources + " 'java.base/java/util/[A-L]*.java'");
  ASSERT_GT(text.size(), 1000000u);
  test::WriteFileBytes(dir / "sample.java", text);
  test::CheckInstalledFiles(JavaFactory(), {dir / "sample.java"});
}

// javac reading Shift-JIS (MS932) closes these literals and comments where we close them: each
// is one token of ours, and the class holding them all compiles.
TEST(JavaHighlighter, ShiftJisLiteralsCloseWhereJavacClosesThem) {
  RID_NEED_TOOL("javac", "openjdk-17-jdk-headless");
  const std::string so = kSo, hyo = kHyo, ma = kMa;
  const std::pair<std::string, int32_t> fixtures[] = {
      {"\"" + hyo + "\"", J::tkString},      {"\"" + so + "\\\"" + hyo + "\"", J::tkString},
      {"'" + so + "'", J::tkString},         {"'\\\\'", J::tkString},
      {"\"\\\\" + hyo + "\"", J::tkString},  {"/* " + ma + " */", J::tkComment},
      {"/** " + hyo + " */", J::tkDocument}, {"\"\"", J::tkString},
  };
  std::string source = "class T {\n";
  int n = 0;
  for (const auto& [text, kind] : fixtures) {
    // A literal stands as the value; a comment before it.
    const std::string line =
        "  Object v" + std::to_string(n++) + " = " + text + (kind == J::tkString ? ";" : " null;");
    bool found = false;
    for (const auto& t : test::ScanCheckedLine(*JavaFactory()(), line, J::rsUnknown, nullptr))
      found |= t.Text == text && t.Kind == kind;
    EXPECT_TRUE(found) << test::Printable(text) << " is not one token";
    source += line + "\n";
  }
  source += "}\n";
  test::TempDir dir;
  test::WriteFileBytes(dir / "T.java", source);
  int code = -1;
  const std::string out = test::RunTool("javac -encoding MS932 -d '" + dir.Path().string() + "' '" +
                                            (dir / "T.java").string() + "' 2>&1",
                                        {}, &code);
  EXPECT_EQ(code, 0) << out;
}

}  // namespace
}  // namespace rid
