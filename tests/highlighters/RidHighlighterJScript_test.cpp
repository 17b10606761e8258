#include "highlighters/RidHighlighterJScript.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>

#include "highlighters/keywords/RidHighlighterJScriptKeywords.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using J = TRidJScriptRid;
using test::TTokenCase;

test::THighlighterFactory JsFactory() {
  return [] { return std::make_unique<TRidJScriptRid>(nullptr); };
}

// Characters whose trail byte is a backslash (表 ソ 能), one whose trail is "}" (マ).
const std::string kHyo = "\x95\x5C", kSo = "\x83\x5C", kNou = "\x94\x5C", kMa = "\x83\x7D";

const TTokenCase kCases[] = {
    // Comments
    {0, "/**/x", {{"/**/", J::tkComment}, {"x", J::tkIdentifier}}, 0},
    {0, "/*/", {{"/*/", J::tkComment}}, 1},
    {0, "a /* b", {{"a", J::tkIdentifier}, {" ", J::tkSpace}, {"/* b", J::tkComment}}, 1},
    {1, "b */ c", {{"b */", J::tkComment}, {" ", J::tkSpace}, {"c", J::tkIdentifier}}, 0},
    {1, "*/c", {{"*/", J::tkComment}, {"c", J::tkIdentifier}}, 0},
    {1, "\r\n", {{"\r", J::tkComment}, {"\n", J::tkComment}}, 1},
    {1, "x\r\n", {{"x", J::tkComment}, {"\r", J::tkComment}, {"\n", J::tkComment}}, 1},
    {0, "// c " + kMa, {{"// c " + kMa, J::tkComment}}, 0},
    {0,
     "a/=b/c",
     {{"a", J::tkIdentifier},
      {"/=", J::tkSymbol},
      {"b", J::tkIdentifier},
      {"/", J::tkSymbol},
      {"c", J::tkIdentifier}},
     0},
    {1, "/* " + kMa + "*/", {{"/* " + kMa + "*/", J::tkComment}}, 0},
    // Strings: an odd run of backslashes escapes; a trail byte is no backslash
    {0, R"("a\"b";)", {{R"("a\"b")", J::tkString}, {";", J::tkSymbol}}, 0},
    {0, R"("a\\";)", {{R"("a\\")", J::tkString}, {";", J::tkSymbol}}, 0},
    {0, R"("a\\\"b";)", {{R"("a\\\"b")", J::tkString}, {";", J::tkSymbol}}, 0},
    {0, "\"" + kHyo + "\";", {{"\"" + kHyo + "\"", J::tkString}, {";", J::tkSymbol}}, 0},
    {0,
     "'" + kSo + "'+'" + kNou + "\\''",
     {{"'" + kSo + "'", J::tkString}, {"+", J::tkSymbol}, {"'" + kNou + "\\''", J::tkString}},
     0},
    {0, "\"open", {{"\"open", J::tkString}}, 0},
    {0, "\"a\\", {{"\"a\\", J::tkString}}, 0},
    {0, "\"a\\\rb", {{"\"a\\", J::tkString}, {"\r", J::tkSpace}, {"b", J::tkIdentifier}}, 0},
    {0, "\"\"\"a\" b", {{"\"\"\"a\"", J::tkString}, {" ", J::tkSpace}, {"b", J::tkIdentifier}}, 0},
    {0, "\"\" 'x'", {{"\"\"", J::tkString}, {" ", J::tkSpace}, {"'x'", J::tkString}}, 0},
    // Keywords are compared by case
    {0,
     "Null null NULL onLoad",
     {{"Null", J::tkNonReservedKey},
      {" ", J::tkSpace},
      {"null", J::tkKey},
      {" ", J::tkSpace},
      {"NULL", J::tkIdentifier},
      {" ", J::tkSpace},
      {"onLoad", J::tkEvent}},
     0},
    // Unknown bytes
    {0,
     "$x@#",
     {{"$", J::tkUnknown}, {"x", J::tkIdentifier}, {"@", J::tkUnknown}, {"#", J::tkUnknown}},
     0},
    {0,
     kMa + "\xB1" + "x\x81",
     {{kMa, J::tkUnknown}, {"\xB1", J::tkUnknown}, {"x", J::tkIdentifier}, {"\x81", J::tkUnknown}},
     0},
    // Operators
    {0,
     "a>=b",
     {{"a", J::tkIdentifier}, {">", J::tkSymbol}, {"=", J::tkSymbol}, {"b", J::tkIdentifier}},
     0},
    {0,
     "&&=||=->...--%=*",
     {{"&&", J::tkSymbol},
      {"=", J::tkSymbol},
      {"||", J::tkSymbol},
      {"=", J::tkSymbol},
      {"->", J::tkSymbol},
      {"...", J::tkSymbol},
      {"--", J::tkSymbol},
      {"%=", J::tkSymbol},
      {"*", J::tkSymbol}},
     0},
    // Numbers
    {0,
     "1.5 0x1F 1e5",
     {{"1.5", J::tkNumber},
      {" ", J::tkSpace},
      {"0x1F", J::tkNumber},
      {" ", J::tkSpace},
      {"1", J::tkNumber},
      {"e5", J::tkIdentifier}},
     0},
    {0,
     "1..2",
     {{"1", J::tkNumber}, {".", J::tkSymbol}, {".", J::tkSymbol}, {"2", J::tkNumber}},
     0},
    {0,
     "0xg 00x1 1.2.3 12ab",
     {{"0", J::tkNumber},
      {"xg", J::tkIdentifier},
      {" ", J::tkSpace},
      {"00", J::tkNumber},
      {"x1", J::tkIdentifier},
      {" ", J::tkSpace},
      {"1.2.3", J::tkNumber},
      {" ", J::tkSpace},
      {"12", J::tkNumber},
      {"ab", J::tkIdentifier}},
     0},
    // Ranges of no meaning scan as code
    {7, "a", {{"a", J::tkIdentifier}}, 7},
};

TEST(JScriptHighlighter, ScansTheListedCases) { test::CheckTokenCases(JsFactory(), kCases); }

TEST(JScriptHighlighter, KeywordsHaveTheirCountsKindsAndTableShape) {
  std::map<int, int> counts;
  for (const TRidKeyword& k : keywords::RidHighlighterJScript::kKeywords) ++counts[k.Kind];
  EXPECT_EQ(counts,
            (std::map<int, int>{{J::tkKey, 63}, {J::tkNonReservedKey, 316}, {J::tkEvent, 20}}));
  EXPECT_EQ(J::KeywordTable().TableSize(), 253);
  EXPECT_EQ(J::KeywordTable().LargestHash(), 252u);
  test::CheckKeywordsScan(JsFactory(), keywords::RidHighlighterJScript::kKeywords);
}

TEST(JScriptHighlighter, AttributesAndLanguageData) {
  TRidJScriptRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 9);
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetNonReservedKeyAttri()->GetName(), "Non-reserved Keyword");
  EXPECT_EQ(h.GetEventAttri()->GetName(), "Event");
  EXPECT_EQ(h.GetDefaultAttribute(3), h.GetStringAttri());
  EXPECT_EQ(h.GetDefaultAttribute(4), h.GetSpaceAttri());
  EXPECT_EQ(h.GetLanguageName(), "JavaScript");
  EXPECT_EQ(h.GetDefaultFilter(), "Javascript Files (*.js)|*.js");
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {J::tkComment, h.GetCommentAttri()},
      {J::tkIdentifier, h.GetIdentifierAttri()},
      {J::tkKey, h.GetKeyAttri()},
      {J::tkNumber, h.GetNumberAttri()},
      {J::tkSpace, h.GetSpaceAttri()},
      {J::tkString, h.GetStringAttri()},
      {J::tkSymbol, h.GetSymbolAttri()},
      {J::tkUnknown, h.GetIdentifierAttri()},
      {J::tkNonReservedKey, h.GetNonReservedKeyAttri()},
      {J::tkEvent, h.GetEventAttri()}};
  std::set<int32_t> seen;
  const std::string sample = h.GetSampleSource();
  EXPECT_EQ(test::SplitLines(sample).size(), 15u);
  TRidRange range = 0;
  for (std::string_view line : test::SplitLines(sample)) {
    h.SetRange(range);
    h.SetLine(line, 0);
    for (; !h.GetEol(); h.Next()) {
      seen.insert(h.GetTokenKind());
      EXPECT_EQ(h.GetTokenAttribute(), byKind.at(h.GetTokenKind())) << h.GetToken();
    }
    range = h.GetRange();
  }
  EXPECT_EQ(seen.size(), byKind.size());
}

const std::vector<TRidRange> kAllRanges = {0, 1, 2, 255};

TEST(JScriptHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(JsFactory(), test::RandomByteLines(31, 500, 80), kAllRanges);
}

TEST(JScriptHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"\"", "'",  "\\", "\\\"", "/*", "*/",     "//",
                                           "/",  "*",  "0x", "1.",   "..", "onLoad", "null",
                                           "\r", "\n", "\t", "&&",   "|"};
  test::CheckConformance(JsFactory(), test::ShiftJisLines(37, 500, 24, pieces), kAllRanges);
}

TEST(JScriptHighlighter, InstalledScriptsScanCleanly) {
  auto files = test::InstalledFiles(
      {"/usr/share/javascript/jquery", "/usr/share/javascript/underscore",
       "/usr/share/nodejs/acorn/dist", "/usr/share/doc/python3.11/html/_static"},
      {".js"}, "libjs-jquery, libjs-underscore, node-acorn, python3-doc");
  test::CheckInstalledFiles(JsFactory(), files);
}

// Lines of the part of JavaScript both sides read alike: names, decimal and hexadecimal
// numbers, strings with escapes and Japanese text (some ending in a character whose trail byte
// is a backslash), comments, operators; no regular expressions, templates or exponents.
std::vector<std::string> SharedSubsetLines(uint32_t Seed, int Count) {
  const std::vector<std::string> inString = {"a",  "Z",  " ",  "\\\"", "\\'", "\\\\", "\\n", "表",
                                             "ソ", "能", "マ", "十",   "あ",  "ｱ",    "x y"};
  const std::vector<std::string> code = {
      "x", "foo", "var", "null", "onLoad", "=", "+", "(", ")", "[", "]", "{", "}", ";",
      ",", "&&",  "||",  "===",  "!",      "<", ">", "-", "*", "%", "?", ":", "."};
  const std::vector<std::string> numbers = {"0", "7", "42", "1.5", "0.25", "0x1F", "0XaB", "12"};
  std::mt19937 rng(Seed);
  std::vector<std::string> lines;
  for (int n = 0; n < Count; ++n) {
    std::string s;
    for (int t = rng() % 10; t > 0; --t) {
      switch (rng() % 6) {
        case 0:
        case 1:
          s += code[rng() % code.size()];
          break;
        case 2:
          s += numbers[rng() % numbers.size()];
          break;
        case 3: {
          const char q = rng() % 2 ? '"' : '\'';
          s += q;
          for (int k = rng() % 6; k > 0; --k) s += inString[rng() % inString.size()];
          s += q;
          break;
        }
        case 4:
          s += "/* " + inString[rng() % 9 + 6] + " */";
          break;
        default:
          s += "x" + std::to_string(rng() % 100);
      }
      s += " ";
    }
    if (rng() % 5 == 0) s += "// " + inString[rng() % inString.size()];
    lines.push_back(s);
  }
  return lines;
}

// acorn, the JavaScript parser, reads the comments, strings and numbers of those lines (decoded
// from Shift-JIS) as we do.
TEST(JScriptHighlighter, CommentsStringsAndNumbersAgreeWithAcorn) {
  RID_NEED_TOOL("node", "nodejs");
  RID_NEED_FILE("/usr/share/nodejs/acorn", "node-acorn");
  const std::vector<std::string> utf8 = SharedSubsetLines(41, 400);
  test::TempDir dir;
  std::string joined;
  for (const std::string& l : utf8) joined += l + "\n";
  test::WriteFileBytes(dir / "lines.txt", joined);
  test::WriteFileBytes(dir / "tokens.js", R"(
const acorn = require('/usr/share/nodejs/acorn');
const lines = require('fs').readFileSync(process.argv[2], 'utf8').split('\n');
lines.pop();
for (const line of lines) {
  const found = [];
  const onComment = (block, text, start, end) => found.push([start, line.slice(start, end)]);
  for (const t of acorn.tokenizer(line, {ecmaVersion: 2020, onComment})) {
    if (t.type.label === 'string' || t.type.label === 'num') found.push([t.start, line.slice(t.start, t.end)]);
  }
  found.sort((a, b) => a[0] - b[0]);
  console.log(JSON.stringify(found.map(x => x[1])));
}
)");
  const std::string out =
      test::RunTool("node " + (dir / "tokens.js").string() + " " + (dir / "lines.txt").string());
  ASSERT_FALSE(out.empty());
  std::istringstream in(out);
  TRidJScriptRid h(nullptr);
  size_t compared = 0;
  for (const std::string& line : utf8) {
    std::string theirs;
    ASSERT_TRUE(std::getline(in, theirs));
    std::string ours = "[";
    const std::string sjis = Utf8ToSjis(line);
    for (const auto& t : test::ScanCheckedLine(h, sjis, 0, nullptr)) {
      if (t.Kind != J::tkComment && t.Kind != J::tkString && t.Kind != J::tkNumber) continue;
      std::string json;
      for (char c : SjisToUtf8(t.Text)) {
        if (c == '"' || c == '\\') json += '\\';
        json += c;
      }
      ours += (ours.size() > 1 ? ",\"" : "\"") + json + "\"";
    }
    ours += "]";
    EXPECT_EQ(ours, theirs) << line;
    if (::testing::Test::HasFailure()) return;
    ++compared;
  }
  EXPECT_EQ(compared, utf8.size());
}

}  // namespace
}  // namespace rid
