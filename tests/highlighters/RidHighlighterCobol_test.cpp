#include "highlighters/RidHighlighterCobol.h"

#include <gtest/gtest.h>

#include <map>

#include "highlighters/keywords/RidHighlighterCobolKeywords.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"
#include "tests/highlighters/LanguageCorpora.h"

namespace rid {
namespace {

using C = TRidCobolRid;
using test::TTokenCase;

struct TColumns {
  int32_t AreaA = 7, AreaB = 11, CodeEnd = 71;
};

test::THighlighterFactory CobolFactory(TColumns Columns = {}) {
  return [Columns] {
    auto h = std::make_unique<TRidCobolRid>(nullptr);
    h->SetCodeEndPos(Columns.CodeEnd);
    h->SetAreaAStartPos(Columns.AreaA);
    h->SetAreaBStartPos(Columns.AreaB);
    return h;
  };
}

const std::string kHyo = "\x95\x5C";
// The sequence number area and a blank indicator, so that code starts in area A.
const std::string kSeq = "000100", kSeqBlank = "000100 ";
// Blanks up to area B.
const std::string kB = "000100     ";
// A literal from area A whose closing quote stands right at the code end.
const std::string kClosedAtEnd = kSeqBlank + "\"" + std::string(63, 'A') + "\"";

const TTokenCase kCases[] = {
    // The areas before the code
    {0, "000100* text", {{kSeq, C::tkSequence}, {"*", C::tkIndicator}, {" text", C::tkComment}}, 0},
    {0,
     kSeq + "*" + std::string(65, 'x') + "TAGAREA",
     {{kSeq, C::tkSequence},
      {"*", C::tkIndicator},
      {std::string(65, 'x'), C::tkComment},
      {"TAGAREA", C::tkTagArea}},
     0},
    {0,
     "000200D    DISPLAY X",
     {{"000200", C::tkSequence}, {"D", C::tkIndicator}, {"    DISPLAY X", C::tkDebugLines}},
     0},
    {0,
     "000300/ page",
     {{"000300", C::tkSequence}, {"/", C::tkIndicator}, {" page", C::tkComment}},
     0},
    {0,
     "000400d    x",
     {{"000400", C::tkSequence},
      {"d", C::tkIndicator},
      {"    ", C::tkSpace},
      {"x", C::tkIdentifier}},
     0},
    {0, "0001", {{"0001", C::tkSequence}}, 0},
    // Area A names; a keyword takes its point along
    {0,
     "       SOME SECTION.",
     {{"      ", C::tkSequence},
      {" ", C::tkIndicator},
      {"SOME", C::tkAIdentifier},
      {" ", C::tkSpace},
      {"SECTION.", C::tkKey}},
     0},
    {0,
     kB + "accept x SKIP4 skip1",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"accept", C::tkKey},
      {" ", C::tkSpace},
      {"x", C::tkIdentifier},
      {" ", C::tkSpace},
      {"SKIP4", C::tkPreprocessor},
      {" ", C::tkSpace},
      {"skip1", C::tkPreprocessor}},
     0},
    // LABEL is a keyword right before RECORD, a preprocessor word elsewhere
    {0,
     kB + "LABEL  records LABEL X",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"LABEL", C::tkKey},
      {"  ", C::tkSpace},
      {"records", C::tkKey},
      {" ", C::tkSpace},
      {"LABEL", C::tkPreprocessor},
      {" ", C::tkSpace},
      {"X", C::tkIdentifier}},
     0},
    {0,
     kB + "TRUE false ZEROS HIGH-VALUES DISPLAY-0",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"TRUE", C::tkBoolean},
      {" ", C::tkSpace},
      {"false", C::tkBoolean},
      {" ", C::tkSpace},
      {"ZEROS", C::tkString},
      {" ", C::tkSpace},
      {"HIGH-VALUES", C::tkString},
      {" ", C::tkSpace},
      {"DISPLAY-0", C::tkKey}},
     0},
    // Numbers
    {0,
     kB + "1.5 1.33E02 2E+5 0001 3-4 .5 1. x",
     {{kSeq, C::tkSequence}, {" ", C::tkIndicator},    {"    ", C::tkSpace}, {"1.5", C::tkNumber},
      {" ", C::tkSpace},     {"1.33E02", C::tkNumber}, {" ", C::tkSpace},    {"2E+5", C::tkNumber},
      {" ", C::tkSpace},     {"0001", C::tkNumber},    {" ", C::tkSpace},    {"3", C::tkNumber},
      {"-", C::tkUnknown},   {"4", C::tkNumber},       {" ", C::tkSpace},    {".5", C::tkNumber},
      {" ", C::tkSpace},     {"1", C::tkNumber},       {".", C::tkUnknown},  {" ", C::tkSpace},
      {"x", C::tkIdentifier}},
     0},
    // Literals with their prefixes; a doubled quote closes one and opens the next
    {0,
     kB + "\"abc\" 'd''e' X\"0D\" G\"t\" x'41' X Y",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"\"abc\"", C::tkString},
      {" ", C::tkSpace},
      {"'d'", C::tkString},
      {"'e'", C::tkString},
      {" ", C::tkSpace},
      {"X\"0D\"", C::tkString},
      {" ", C::tkSpace},
      {"G\"t\"", C::tkString},
      {" ", C::tkSpace},
      {"x'41'", C::tkString},
      {" ", C::tkSpace},
      {"X", C::tkIdentifier},
      {" ", C::tkSpace},
      {"Y", C::tkIdentifier}},
     0},
    {0,
     kB + "\"" + kHyo + "\"",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"\"" + kHyo + "\"", C::tkString}},
     0},
    // Pseudo-text; "====" closes at its third byte
    {0,
     kB + "==TEXT== = ====",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"==TEXT==", C::tkString},
      {" ", C::tkSpace},
      {"=", C::tkUnknown},
      {" ", C::tkSpace},
      {"===", C::tkString},
      {"=", C::tkUnknown}},
     0},
    {0,
     kB + "== A",
     {{kSeq, C::tkSequence}, {" ", C::tkIndicator}, {"    ", C::tkSpace}, {"== A", C::tkString}},
     3},
    {3,
     kB + "B==.",
     {{kSeq, C::tkSequence}, {" ", C::tkIndicator}, {"    B==", C::tkString}, {".", C::tkUnknown}},
     0},
    // A literal closed right at the code end goes on only after a "-" and a doubled quote
    {0,
     kClosedAtEnd,
     {{kSeq, C::tkSequence}, {" ", C::tkIndicator}, {kClosedAtEnd.substr(7), C::tkString}},
     4},
    {4,
     "000200-    \"\"MORE\".",
     {{"000200", C::tkSequence},
      {"-", C::tkIndicator},
      {"    \"\"MORE\"", C::tkString},
      {".", C::tkUnknown}},
     0},
    {5,
     "000200-  ''x' y",
     {{"000200", C::tkSequence},
      {"-", C::tkIndicator},
      {"  ''x'", C::tkString},
      {" ", C::tkSpace},
      {"y", C::tkIdentifier}},
     0},
    {4,
     "000200-    \"X\"",
     {{"000200", C::tkSequence},
      {"-", C::tkIndicator},
      {"    ", C::tkSpace},
      {"\"X\"", C::tkString}},
     0},
    {4,
     "000200     X",
     {{"000200", C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"X", C::tkIdentifier}},
     0},
    {4, "0002", {{"0002", C::tkSequence}}, 4},
    {4, "", {}, 4},
    // A literal open at the code end goes on from its quote on the next line
    {0,
     kSeqBlank + "\"" + std::string(70, 'A'),
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"\"" + std::string(64, 'A'), C::tkString},
      {std::string(6, 'A'), C::tkTagArea}},
     1},
    {1,
     "000200-    \"REST\".",
     {{"000200", C::tkSequence},
      {"-", C::tkIndicator},
      {"    \"REST\"", C::tkString},
      {".", C::tkUnknown}},
     0},
    {2,
     "000200-    x",
     {{"000200", C::tkSequence}, {"-", C::tkIndicator}, {"    x", C::tkString}},
     2},
    {0,
     kSeqBlank + std::string(64, 'x') + "\"",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {std::string(64, 'x'), C::tkAIdentifier},
      {"\"", C::tkString}},
     1},
    // A word stops at the code end
    {0,
     kSeqBlank + std::string(70, 'A'),
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {std::string(65, 'A'), C::tkAIdentifier},
      {std::string(5, 'A'), C::tkTagArea}},
     0},
    // Blanks run over line breaks; Shift-JIS characters stay whole, in the sequence area too
    {0,
     kB + "A \t\r\nB",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {"A", C::tkIdentifier},
      {" \t\r\n", C::tkSpace},
      {"B", C::tkIdentifier}},
     0},
    {0, "00001" + kHyo + "X", {{"00001" + kHyo, C::tkSequence}, {"X", C::tkAIdentifier}}, 0},
    {0,
     kB + kHyo + "_\x81",
     {{kSeq, C::tkSequence},
      {" ", C::tkIndicator},
      {"    ", C::tkSpace},
      {kHyo, C::tkUnknown},
      {"_", C::tkUnknown},
      {"\x81", C::tkUnknown}},
     0},
};

TEST(CobolHighlighter, ScansTheListedCases) { test::CheckTokenCases(CobolFactory(), kCases); }

// The same rules at other columns: area A from 1 (the indicator in the first column), area B
// from 3, the code to 20.
TEST(CobolHighlighter, ColumnsCanBeMoved) {
  const TTokenCase cases[] = {
      {0, "*x", {{"*", C::tkIndicator}, {"x", C::tkComment}}, 0},
      {0,
       " AB XY",
       {{" ", C::tkIndicator},
        {"AB", C::tkAIdentifier},
        {" ", C::tkSpace},
        {"XY", C::tkIdentifier}},
       0},
      {0,
       " " + std::string(25, 'A'),
       {{" ", C::tkIndicator},
        {std::string(20, 'A'), C::tkAIdentifier},
        {std::string(5, 'A'), C::tkTagArea}},
       0},
      {0,
       " \"" + std::string(18, 'q') + "\"",
       {{" ", C::tkIndicator}, {"\"" + std::string(18, 'q') + "\"", C::tkString}},
       4},
      {4, "- \"\"z\"", {{"-", C::tkIndicator}, {" \"\"z\"", C::tkString}}, 0},
  };
  test::CheckTokenCases(CobolFactory({1, 3, 20}), cases);
}

// The columns stay in order whatever is set, in the order they are set.
TEST(CobolHighlighter, ColumnSettersKeepTheAreasInOrder) {
  struct TStep {
    char Which;
    int32_t Value;
    TColumns After;
  };
  const std::vector<TStep> steps = {
      {'A', 12, {11, 11, 71}}, {'B', 15, {11, 15, 71}}, {'E', 10, {11, 15, 15}},
      {'B', 3, {11, 11, 15}},  {'B', 40, {11, 15, 15}}, {'A', 2, {2, 15, 15}},
      {'E', 80, {2, 15, 80}},  {'B', 5, {2, 5, 80}},
  };
  TRidCobolRid h(nullptr);
  EXPECT_EQ(h.GetAreaAStartPos(), 7);
  EXPECT_EQ(h.GetAreaBStartPos(), 11);
  EXPECT_EQ(h.GetCodeEndPos(), 71);
  for (const TStep& s : steps) {
    if (s.Which == 'A') h.SetAreaAStartPos(s.Value);
    if (s.Which == 'B') h.SetAreaBStartPos(s.Value);
    if (s.Which == 'E') h.SetCodeEndPos(s.Value);
    EXPECT_EQ(h.GetAreaAStartPos(), s.After.AreaA) << s.Which << s.Value;
    EXPECT_EQ(h.GetAreaBStartPos(), s.After.AreaB) << s.Which << s.Value;
    EXPECT_EQ(h.GetCodeEndPos(), s.After.CodeEnd) << s.Which << s.Value;
  }
}

// The painter stops at the last visible column: a line it left after the indicator of a
// comment line must not make the next line a comment line.
TEST(CobolHighlighter, ALineStartsWithNoIndicator) {
  TRidCobolRid h(nullptr);
  for (const char* indicator : {"*", "/", "D"}) {
    h.ResetRange();
    const std::string comment = std::string("000100") + indicator + " comment";
    h.SetLine(comment, 0);
    ASSERT_EQ(h.GetTokenKind(), C::tkSequence);
    h.Next();
    ASSERT_EQ(h.GetTokenKind(), C::tkIndicator);
    const std::string next = "000200     MOVE X";
    h.SetLine(next, 1);
    std::vector<int32_t> kinds;
    for (; !h.GetEol(); h.Next()) kinds.push_back(h.GetTokenKind());
    EXPECT_EQ(kinds, (std::vector<int32_t>{C::tkSequence, C::tkIndicator, C::tkSpace, C::tkKey,
                                           C::tkSpace, C::tkIdentifier}))
        << indicator;
    EXPECT_EQ(h.GetRange(), C::rsUnknown);
  }
}

TEST(CobolHighlighter, KeywordsHaveTheirCountsKindsAndTableShape) {
  std::map<int, int> counts;
  std::vector<TRidKeyword> words;
  for (const TRidKeyword& k : keywords::RidHighlighterCobol::kKeywords) {
    ++counts[k.Kind];
    if (k.Kind != C::kwLabel) words.push_back(k);
  }
  EXPECT_EQ(counts, (std::map<int, int>{{C::tkKey, 563},
                                        {C::tkPreprocessor, 18},
                                        {C::kwLabel, 1},
                                        {C::tkBoolean, 2},
                                        {C::tkString, 13}}));
  EXPECT_EQ(C::KeywordTable().TableSize(), 209);
  EXPECT_EQ(C::KeywordTable().LargestHash(), 208u);
  test::CheckKeywordsScanInAnyCase(CobolFactory(), words, 0, kB);
}

TEST(CobolHighlighter, AttributesAndLanguageData) {
  TRidCobolRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 13);
  struct TAttri {
    TRidHighlighterAttributes* Attri;
    const char* Name;
    TColor Foreground;
    TFontStyles Style;
  };
  const TAttri attris[] = {
      {h.GetCommentAttri(), "Comment", clGray, {fsItalic}},
      {h.GetIdentifierAttri(), "Identifier", clNone, {}},
      {h.GetAreaAIdentifierAttri(), "Area A Identifier", clTeal, {fsBold}},
      {h.GetPreprocessorAttri(), "Preprocessor", clMaroon, {}},
      {h.GetKeyAttri(), "Reserved Word", clNone, {fsBold}},
      {h.GetNumberAttri(), "Number", clGreen, {}},
      {h.GetBooleanAttri(), "Boolean value", clGreen, {}},
      {h.GetSpaceAttri(), "Space", clNone, {}},
      {h.GetStringAttri(), "String", clBlue, {}},
      {h.GetSequenceAttri(), "Sequence Number Area", clGray, {}},
      {h.GetIndicatorAttri(), "Indicator Area", clRed, {}},
      {h.GetTagAreaAttri(), "Tag Area", clMaroon, {}},
      {h.GetDebugLinesAttri(), "Debugging Lines", clGray, {}},
  };
  for (const TAttri& a : attris) {
    EXPECT_EQ(a.Attri->GetName(), a.Name);
    EXPECT_EQ(a.Attri->GetForeground(), a.Foreground) << a.Name;
    EXPECT_EQ(a.Attri->GetStyle(), a.Style) << a.Name;
  }
  EXPECT_EQ(h.GetDefaultAttribute(2), h.GetKeyAttri());
  EXPECT_EQ(h.GetDefaultAttribute(5), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "COBOL");
  EXPECT_EQ(h.GetDefaultFilter(), "COBOL Files (*.cbl;*.cob)|*.cbl;*.cob");
  EXPECT_EQ(h.GetIdentChars(), TRidCharSet::Range('0', '9') + TRidCharSet::Range('A', 'Z') +
                                   TRidCharSet::Range('a', 'z') + TRidCharSet{'-'});

  // The sample: 81 lines numbered in six digits, every kind of token in it.
  const std::string sample = h.GetSampleSource();
  const auto lines = test::SplitLines(sample);
  ASSERT_EQ(lines.size(), 81u);
  for (size_t k = 0; k < lines.size(); ++k) {
    char number[8];
    std::snprintf(number, sizeof number, "%06zu", (k + 1) * 100);
    EXPECT_EQ(lines[k].substr(0, 6), number);
  }
  for (const char* said :
       {"Sequence number area", "Indicator area", "Tag area", "Area A identifiers", "Keywords",
        "Booleans", "Numbers", "Strings", "Figurative constants", "Continued literals",
        "Debugging lines", "Preprocessor words", "Pseudo-text", "Not supported",
        "start with a digit", "comment entries"})
    EXPECT_NE(sample.find(said), std::string::npos) << said;
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {C::tkComment, h.GetCommentAttri()},
      {C::tkIdentifier, h.GetIdentifierAttri()},
      {C::tkAIdentifier, h.GetAreaAIdentifierAttri()},
      {C::tkPreprocessor, h.GetPreprocessorAttri()},
      {C::tkKey, h.GetKeyAttri()},
      {C::tkBoolean, h.GetBooleanAttri()},
      {C::tkNumber, h.GetNumberAttri()},
      {C::tkSpace, h.GetSpaceAttri()},
      {C::tkString, h.GetStringAttri()},
      {C::tkSequence, h.GetSequenceAttri()},
      {C::tkIndicator, h.GetIndicatorAttri()},
      {C::tkTagArea, h.GetTagAreaAttri()},
      {C::tkDebugLines, h.GetDebugLinesAttri()},
      {C::tkUnknown, h.GetIdentifierAttri()}};
  test::CheckAttributesByKind(h, sample, byKind);
}

const std::vector<TRidRange> kAllRanges = {0, 1, 2, 3, 4, 5, 6};

TEST(CobolHighlighter, RandomBytesKeepTheScannerRules) {
  const auto lines = test::RandomByteLines(109, 500, 100);
  test::CheckConformance(CobolFactory(), lines, kAllRanges);
  test::CheckConformance(CobolFactory({1, 3, 20}), lines, kAllRanges);
}

TEST(CobolHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {
      "000100", "      -", "      *", "      D", "\"",    "'", "==",   "=",    "X\"",
      "LABEL",  "RECORD",  ".5",      "1E+",     "SKIP1", "-", "    ", "\r\n", "\t"};
  const auto lines = test::ShiftJisLines(113, 500, 40, pieces);
  test::CheckConformance(CobolFactory(), lines, kAllRanges);
  test::CheckConformance(CobolFactory({1, 3, 20}), lines, kAllRanges);
}

TEST(CobolHighlighter, GnuCobolCopybooksScanCleanly) {
  test::CheckInstalledFiles(
      CobolFactory(), test::InstalledFiles({"/usr/share/gnucobol/copy"}, {".cpy"}, "gnucobol3"));
}

// Generated fixed-format programs are COBOL to cobc and scan cleanly here, with Japanese comment
// lines and literals mixed in.
TEST(CobolHighlighter, GeneratedProgramsCompileAndScanCleanly) {
  RID_NEED_TOOL("cobc", "gnucobol3");
  test::TempDir dir;
  std::vector<std::pair<std::string, std::string>> texts;
  std::string files;
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const std::string source = test::FixedFormCobol(seed, 1 + seed % 7);
    const std::string name = "gen" + std::to_string(seed) + ".cbl";
    test::WriteFileBytes(dir / name, source);
    files += " " + (dir / name).string();
    texts.emplace_back(name, source + Utf8ToSjis("000000* 日本語の注釈：表示の確認\n"
                                                 "000000     DISPLAY \"ソース表示\".\n"));
  }
  int code = -1;
  const std::string errors = test::RunTool("cobc -fsyntax-only" + files + " 2>&1", {}, &code);
  EXPECT_EQ(code, 0) << errors;
  test::CheckTexts(CobolFactory(), texts);
}

}  // namespace
}  // namespace rid
