#include "highlighters/RidHighlighterPython.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "highlighters/keywords/RidHighlighterPythonKeywords.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using P = TRidPythonRid;
using test::TTokenCase;

test::THighlighterFactory PythonFactory() {
  return [] { return std::make_unique<TRidPythonRid>(nullptr); };
}

// 表 and ソ end in a backslash.
const std::string kHyo = "\x95\x5C", kSo = "\x83\x5C";

const TTokenCase kCases[] = {
    // Words: the two lists match exactly; "__name__" is a system name
    {2,
     "None none print Print",
     {{"None", P::tkNonKeyword},
      {" ", P::tkSpace},
      {"none", P::tkIdentifier},
      {" ", P::tkSpace},
      {"print", P::tkKey},
      {" ", P::tkSpace},
      {"Print", P::tkIdentifier}},
     2},
    {2,
     "__init__ ___x__ __x___ __future__ __a__",
     {{"__init__", P::tkSystemDefined},
      {" ", P::tkSpace},
      {"___x__", P::tkIdentifier},
      {" ", P::tkSpace},
      {"__x___", P::tkIdentifier},
      {" ", P::tkSpace},
      {"__future__", P::tkNonKeyword},
      {" ", P::tkSpace},
      {"__a__", P::tkSystemDefined}},
     2},
    // String prefixes belong to the string
    {2,
     "r'\\d' ur x",
     {{"r'\\d'", P::tkString},
      {" ", P::tkSpace},
      {"ur", P::tkIdentifier},
      {" ", P::tkSpace},
      {"x", P::tkIdentifier}},
     2},
    {2,
     "u'a'UR\"b\"Ur'c'ru'd'",
     {{"u'a'", P::tkString},
      {"UR\"b\"", P::tkString},
      {"Ur'c'", P::tkString},
      {"ru", P::tkIdentifier},
      {"'d'", P::tkString}},
     2},
    // Single-line strings: a backslash escapes; a final one carries the string on, its quote
    // in the range
    {2,
     "'a\\'b' \"c\\\\\" d",
     {{"'a\\'b'", P::tkString},
      {" ", P::tkSpace},
      {"\"c\\\\\"", P::tkString},
      {" ", P::tkSpace},
      {"d", P::tkIdentifier}},
     2},
    {2,
     "x = 'abc\\",
     {{"x", P::tkIdentifier},
      {" ", P::tkSpace},
      {"=", P::tkSymbol},
      {" ", P::tkSpace},
      {"'abc\\", P::tkString}},
     5},
    {2, "\"abc\\", {{"\"abc\\", P::tkString}}, 6},
    {2, "'a\\\r\n", {{"'a\\", P::tkString}, {"\r\n", P::tkSpace}}, 5},
    {2, "'abc\\\\", {{"'abc\\\\", P::tkString}}, 2},
    {2, "'open", {{"'open", P::tkString}}, 2},
    {5,
     "def' + x",
     {{"def'", P::tkString},
      {" ", P::tkSpace},
      {"+", P::tkSymbol},
      {" ", P::tkSpace},
      {"x", P::tkIdentifier}},
     2},
    {5, "def", {{"def", P::tkString}}, 2},
    {5, "de\\", {{"de\\", P::tkString}}, 5},
    {5, "", {}, 5},
    {6, "a'b\" c", {{"a'b\"", P::tkString}, {" ", P::tkSpace}, {"c", P::tkIdentifier}}, 2},
    {5, "a\"b' c", {{"a\"b'", P::tkString}, {" ", P::tkSpace}, {"c", P::tkIdentifier}}, 2},
    {5, "\\'x'", {{"\\'x'", P::tkString}}, 2},
    // Triple-quoted strings go on over lines; an escaped quote does not close them
    {2, "\"\"\"doc", {{"\"\"\"doc", P::tkTripleQuoted}}, 4},
    {2,
     "'''a''' b",
     {{"'''a'''", P::tkTripleQuoted}, {" ", P::tkSpace}, {"b", P::tkIdentifier}},
     2},
    {4,
     "abc\"\"\" x",
     {{"abc\"\"\"", P::tkTripleQuoted}, {" ", P::tkSpace}, {"x", P::tkIdentifier}},
     2},
    {4, "a\\\"\"\"b\"\"\"", {{"a\\\"\"\"b\"\"\"", P::tkTripleQuoted}}, 2},
    {4, "a\\\\\"\"\"x", {{"a\\\\\"\"\"", P::tkTripleQuoted}, {"x", P::tkIdentifier}}, 2},
    {3, "it's \"\"\" '''", {{"it's \"\"\" '''", P::tkTripleQuoted}}, 2},
    {3, "\r\n", {{"\r\n", P::tkSpace}}, 3},
    {4, "a\\", {{"a\\", P::tkTripleQuoted}}, 4},
    // Python reads characters: a trail byte that looks like a backslash escapes nothing
    {2,
     "\"" + kHyo + "\" x",
     {{"\"" + kHyo + "\"", P::tkString}, {" ", P::tkSpace}, {"x", P::tkIdentifier}},
     2},
    {2, "\"\"\"" + kHyo + "\"\"\"", {{"\"\"\"" + kHyo + "\"\"\"", P::tkTripleQuoted}}, 2},
    {3, kSo + "'''", {{kSo + "'''", P::tkTripleQuoted}}, 2},
    {2, "'" + kHyo, {{"'" + kHyo, P::tkString}}, 2},
    {2, "'" + kSo + "\\", {{"'" + kSo + "\\", P::tkString}}, 5},
    {5, kHyo + "'", {{kHyo + "'", P::tkString}}, 2},
    // Comments, symbols and the rest
    {2,
     "x # 'c \"\"\"",
     {{"x", P::tkIdentifier}, {" ", P::tkSpace}, {"# 'c \"\"\"", P::tkComment}},
     2},
    {2, "a...b", {{"a", P::tkIdentifier}, {"...", P::tkSymbol}, {"b", P::tkIdentifier}}, 2},
    {2,
     "<=<>< >=> ==!=",
     {{"<=", P::tkSymbol},
      {"<>", P::tkSymbol},
      {"<", P::tkSymbol},
      {" ", P::tkSpace},
      {">=", P::tkSymbol},
      {">", P::tkSymbol},
      {" ", P::tkSpace},
      {"=", P::tkSymbol},
      {"=", P::tkSymbol},
      {"!", P::tkSymbol},
      {"=", P::tkSymbol}},
     2},
    {2,
     "$?@" + kHyo + "\x7F\x81",
     {{"$", P::tkUnknown},
      {"?", P::tkUnknown},
      {"@", P::tkUnknown},
      {kHyo, P::tkUnknown},
      {"\x7F", P::tkUnknown},
      {"\x81", P::tkUnknown}},
     2},
    // A range of no meaning scans as code and stays
    {0, "'''x", {{"'''x", P::tkTripleQuoted}}, 3},
    {0, "x", {{"x", P::tkIdentifier}}, 0},
};

TEST(PythonHighlighter, ScansTheListedCases) { test::CheckTokenCases(PythonFactory(), kCases); }

// The number scanner's state machine: decimal, octal, hexadecimal, float and imaginary numbers,
// and malformed ones, which take the letters, digits and points after them along.
const TTokenCase kNumbers[] = {
    {2, "0 123", {{"0", P::tkNumber}, {" ", P::tkSpace}, {"123", P::tkNumber}}, 2},
    {2,
     "0x1fL 0XFF 0x",
     {{"0x1fL", P::tkHex},
      {" ", P::tkSpace},
      {"0XFF", P::tkHex},
      {" ", P::tkSpace},
      {"0x", P::tkHex}},
     2},
    {2,
     "017 0777L 00",
     {{"017", P::tkOct},
      {" ", P::tkSpace},
      {"0777L", P::tkOct},
      {" ", P::tkSpace},
      {"00", P::tkOct}},
     2},
    {2,
     "3.14 1e-5 2j .5 1. 0.5",
     {{"3.14", P::tkFloat},
      {" ", P::tkSpace},
      {"1e-5", P::tkFloat},
      {" ", P::tkSpace},
      {"2j", P::tkFloat},
      {" ", P::tkSpace},
      {".5", P::tkFloat},
      {" ", P::tkSpace},
      {"1.", P::tkFloat},
      {" ", P::tkSpace},
      {"0.5", P::tkFloat}},
     2},
    {2,
     "1E+10 0e5 1.5j .5e-3 09.5 018",
     {{"1E+10", P::tkFloat},
      {" ", P::tkSpace},
      {"0e5", P::tkFloat},
      {" ", P::tkSpace},
      {"1.5j", P::tkFloat},
      {" ", P::tkSpace},
      {".5e-3", P::tkFloat},
      {" ", P::tkSpace},
      {"09.5", P::tkFloat},
      {" ", P::tkSpace},
      {"018", P::tkUnknown}},
     2},
    {2,
     "08 1e 123L 1.2.3",
     {{"08", P::tkUnknown},
      {" ", P::tkSpace},
      {"1e", P::tkUnknown},
      {" ", P::tkSpace},
      {"123L", P::tkUnknown},
      {" ", P::tkSpace},
      {"1.2.3", P::tkUnknown}},
     2},
    {2,
     "1e+ 0x1fj 1.5L 1_000 0o17 1e5e5 12abc",
     {{"1e+", P::tkUnknown},
      {" ", P::tkSpace},
      {"0x1fj", P::tkUnknown},
      {" ", P::tkSpace},
      {"1.5L", P::tkUnknown},
      {" ", P::tkSpace},
      {"1_000", P::tkUnknown},
      {" ", P::tkSpace},
      {"0o17", P::tkUnknown},
      {" ", P::tkSpace},
      {"1e5e5", P::tkUnknown},
      {" ", P::tkSpace},
      {"12abc", P::tkUnknown}},
     2},
    // "..." ends a number, or makes one bad after "0" and a big digit
    {2, "1...2", {{"1", P::tkNumber}, {"...", P::tkSymbol}, {"2", P::tkNumber}}, 2},
    {2,
     "1..x 08... 1j2",
     {{"1..x", P::tkUnknown},
      {" ", P::tkSpace},
      {"08...", P::tkUnknown},
      {" ", P::tkSpace},
      {"1j", P::tkFloat},
      {"2", P::tkNumber}},
     2},
    {2, "1.5...", {{"1.5", P::tkFloat}, {"...", P::tkSymbol}}, 2},
    {2,
     ". .. x.y",
     {{".", P::tkSymbol},
      {" ", P::tkSpace},
      {".", P::tkSymbol},
      {".", P::tkSymbol},
      {" ", P::tkSpace},
      {"x", P::tkIdentifier},
      {".", P::tkSymbol},
      {"y", P::tkIdentifier}},
     2},
};

TEST(PythonHighlighter, NumbersFollowTheStateMachine) {
  test::CheckTokenCases(PythonFactory(), kNumbers);
}

TEST(PythonHighlighter, KeywordsHaveTheirCountsAndMatchExactly) {
  std::map<int, int> counts;
  for (const TRidKeyword& k : keywords::RidHighlighterPython::kKeywords) ++counts[k.Kind];
  EXPECT_EQ(counts, (std::map<int, int>{{P::tkKey, 29}, {P::tkNonKeyword, 66}}));
  EXPECT_EQ(P::KeywordList().size(), 95u);
  EXPECT_TRUE(std::is_sorted(
      P::KeywordList().begin(), P::KeywordList().end(),
      [](const TRidKeyword& A, const TRidKeyword& B) { return UpperLess(A.Word, B.Word); }));
  test::CheckKeywordsScan(PythonFactory(), keywords::RidHighlighterPython::kKeywords, 2);
  // Another case is no keyword.
  std::vector<std::string> others;
  for (const TRidKeyword& k : keywords::RidHighlighterPython::kKeywords) {
    const std::string upper = AnsiUpperCase(k.Word), lower = AnsiLowerCase(k.Word);
    others.push_back(upper != k.Word ? upper : lower);
  }
  std::vector<TRidKeyword> identifiers;
  for (const std::string& w : others)
    if (w != "__FUTURE__" && w != "__IMPORT__") identifiers.push_back({w, P::tkIdentifier});
  identifiers.push_back({"__FUTURE__", P::tkSystemDefined});
  test::CheckKeywordsScan(PythonFactory(), identifiers, 2);
}

TEST(PythonHighlighter, AttributesAndLanguageData) {
  TRidPythonRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 14);
  EXPECT_EQ(h.GetCommentAttri()->GetForeground(), clGray);
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetNonKeyAttri()->GetName(), "Non-reserved Keyword");
  EXPECT_EQ(h.GetNonKeyAttri()->GetForeground(), clNavy);
  EXPECT_EQ(h.GetSystemAttri()->GetName(), "System Functions and Variables");
  EXPECT_EQ(h.GetDocStringAttri()->GetForeground(), clTeal);
  EXPECT_EQ(h.GetErrorAttri()->GetName(), "Syntax Error");
  EXPECT_EQ(h.GetErrorAttri()->GetForeground(), clRed);
  for (TRidHighlighterAttributes* a : {h.GetNumberAttri(), h.GetHexAttri(), h.GetOctalAttri(),
                                       h.GetFloatAttri(), h.GetStringAttri()})
    EXPECT_EQ(a->GetForeground(), clBlue) << a->GetName();
  // Strings for bracket matching, and identifiers.
  TRidHighlighterAttributes* defaults[] = {h.GetCommentAttri(), h.GetIdentifierAttri(),
                                           h.GetKeyAttri(),     h.GetStringAttri(),
                                           h.GetSpaceAttri(),   h.GetSymbolAttri()};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(h.GetDefaultAttribute(i), defaults[i]) << i;
  EXPECT_EQ(h.GetLanguageName(), "Python");
  EXPECT_EQ(h.GetDefaultFilter(), "Python Files (*.py)|*.py");
  h.ResetRange();
  EXPECT_EQ(h.GetRange(), P::rsNone);
  EXPECT_EQ(test::SplitLines(h.GetSampleSource()).size(), 6u);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {P::tkComment, h.GetCommentAttri()},
      {P::tkIdentifier, h.GetIdentifierAttri()},
      {P::tkKey, h.GetKeyAttri()},
      {P::tkNumber, h.GetNumberAttri()},
      {P::tkSpace, h.GetSpaceAttri()},
      {P::tkString, h.GetStringAttri()},
      {P::tkSymbol, h.GetSymbolAttri()},
      {P::tkNonKeyword, h.GetNonKeyAttri()},
      {P::tkTripleQuoted, h.GetDocStringAttri()},
      {P::tkSystemDefined, h.GetSystemAttri()},
      {P::tkHex, h.GetHexAttri()},
      {P::tkOct, h.GetOctalAttri()},
      {P::tkFloat, h.GetFloatAttri()},
      {P::tkUnknown, h.GetErrorAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource() + "\r\n__x__ 0x1 017 1.5 08 None", byKind);
}

const std::vector<TRidRange> kAllRanges = {2, 3, 4, 5, 6, 0};

TEST(PythonHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(PythonFactory(), test::RandomByteLines(103, 500, 80), kAllRanges);
}

TEST(PythonHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"'",  "\"", "'''", "\"\"\"", "\\", "\\'",
                                           "r'", "u",  "#",   "0x",     "1.", "...",
                                           "1e", "08", "__",  "\r",     "\n", "\t"};
  test::CheckConformance(PythonFactory(), test::ShiftJisLines(107, 500, 24, pieces), kAllRanges);
}

std::vector<std::filesystem::path> PythonModules() {
  return test::SampledFiles(
      test::InstalledFiles({"/usr/lib/python3", "/usr/lib/python3.11"}, {".py"}, "python3"), 25);
}

TEST(PythonHighlighter, InstalledModulesScanCleanly) {
  test::CheckInstalledFiles(PythonFactory(), PythonModules());
}

// Python's own tokenizer reads the files (converted to code page 932 with a coding cookie) and
// prints where its comments, strings and numbers stand, in bytes; the lines where the language
// has grown beyond ours (b and f prefixes, 0o and 0b numbers, underscores) are left out.
constexpr char kTokenizeScript[] = R"(
import io, sys, tokenize, token
COOKIE = b"# -*- coding: cp932 -*-\n"
for n, src in enumerate(sys.argv[2:]):
    raw = open(src, 'rb').read()
    try:
        data = raw if raw.startswith(COOKIE) else COOKIE + raw.decode('utf-8').encode('cp932')
    except UnicodeError:
        continue
    if b'\r' in data:
        continue
    try:
        toks = list(tokenize.tokenize(io.BytesIO(data).readline))
    except (tokenize.TokenError, SyntaxError):
        continue
    if any(t.type == token.ERRORTOKEN for t in toks):
        continue
    path = f"{sys.argv[1]}/{n}.py"
    open(path, 'wb').write(data)
    lines = data.decode('cp932').split('\n')
    col = lambda row, c: len(lines[row - 1][:c].encode('cp932'))
    print("F", path)
    for t in toks:
        name, s = token.tok_name[t.type], t.string
        cls = {'COMMENT': 'C', 'STRING': 'S', 'NUMBER': 'N'}.get(name)
        newer = name.startswith('FSTRING') or (
            cls == 'S' and any(c in 'bBfF' for c in s[:s.find(s[-1])])) or (
            cls == 'N' and ('_' in s or s[:2].lower() in ('0o', '0b')))
        if newer:
            print("X", t.start[0] - 1, t.end[0] - 1)
        elif cls:
            print("T", cls, t.start[0] - 1, col(*t.start), t.end[0] - 1, col(*t.end))
)";

// A file's bytes as classes (C comment, S string, N number, O the rest) per line, and where
// tokens of the first three start.
struct TClassMap {
  std::vector<std::string> Classes;
  std::set<std::tuple<size_t, size_t, char>> Starts;
};

char ClassOf(int32_t AKind) {
  switch (AKind) {
    case P::tkComment:
      return 'C';
    case P::tkString:
    case P::tkTripleQuoted:
      return 'S';
    case P::tkNumber:
    case P::tkHex:
    case P::tkOct:
    case P::tkFloat:
      return 'N';
    default:
      return 'O';
  }
}

TClassMap OurClasses(const std::vector<std::string_view>& ALines) {
  TClassMap map;
  TRidPythonRid h(nullptr);
  TRidRange range = P::rsNone;
  for (size_t k = 0; k < ALines.size(); ++k) {
    std::string classes(ALines[k].size(), 'O');
    const bool continued = range != P::rsNone;
    for (const auto& t : test::ScanCheckedLine(h, ALines[k], range, &range)) {
      const char c = ClassOf(t.Kind);
      std::fill_n(classes.begin() + t.Pos, t.Text.size(), c);
      if (c != 'O' && !(continued && t.Pos == 0)) map.Starts.insert({k, t.Pos, c});
    }
    map.Classes.push_back(classes);
  }
  return map;
}

// Compares the classes and token starts of every file tokenize read with ours; how many files.
size_t CompareWithTokenize(const std::vector<std::filesystem::path>& AFiles,
                           const test::TempDir& ADir) {
  test::WriteFileBytes(ADir / "tokens.py", kTokenizeScript);
  std::string args;
  for (const auto& f : AFiles) args += " " + f.string();
  const std::string out =
      test::RunTool("python3 " + (ADir / "tokens.py").string() + " " + ADir.Path().string() + args);
  std::istringstream in(out);
  size_t files = 0;
  std::string tag;
  std::string text;
  std::vector<std::string_view> lines;
  TClassMap theirs, ours;
  std::set<size_t> excluded;
  auto compare = [&] {
    if (lines.empty() && text.empty()) return;
    ours = OurClasses(lines);
    for (size_t k = 0; k < lines.size(); ++k) {
      if (excluded.count(k)) continue;
      EXPECT_EQ(ours.Classes[k], theirs.Classes[k])
          << "line " << k + 1 << " \"" << test::Printable(lines[k]) << "\"";
    }
    std::erase_if(ours.Starts, [&](const auto& S) { return excluded.count(std::get<0>(S)) > 0; });
    std::erase_if(theirs.Starts, [&](const auto& S) { return excluded.count(std::get<0>(S)) > 0; });
    EXPECT_EQ(ours.Starts, theirs.Starts);
    ++files;
  };
  while (in >> tag && !::testing::Test::HasFailure()) {
    if (tag == "F") {
      compare();
      std::string path;
      in >> path;
      text = test::ReadFileBytes(path);
      lines = test::SplitLines(text);
      theirs = {};
      for (std::string_view l : lines) theirs.Classes.emplace_back(l.size(), 'O');
      excluded.clear();
    } else if (tag == "X") {
      size_t first = 0, last = 0;
      in >> first >> last;
      for (size_t k = first; k <= last; ++k) excluded.insert(k);
    } else {
      char c = 0;
      size_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
      in >> c >> r1 >> c1 >> r2 >> c2;
      theirs.Starts.insert({r1, c1, c});
      for (size_t r = r1; r <= r2 && r < theirs.Classes.size(); ++r) {
        const size_t from = r == r1 ? c1 : 0, to = r == r2 ? c2 : theirs.Classes[r].size();
        std::fill(theirs.Classes[r].begin() + from, theirs.Classes[r].begin() + to, c);
      }
    }
  }
  if (!::testing::Test::HasFailure()) compare();
  return files;
}

TEST(PythonHighlighter, CommentsStringsAndNumbersStandWhereTokenizeFindsThem) {
  RID_NEED_TOOL("python3", "python3");
  const auto modules = test::EveryNth(PythonModules(), 2);
  test::TempDir dir;
  const size_t compared = CompareWithTokenize(modules, dir);
  EXPECT_GT(compared, modules.size() / 2);
}

// Japanese text before the closing quotes, in every kind of string, and in comments.
TEST(PythonHighlighter, ShiftJisStringsCloseWhereTokenizeClosesThem) {
  RID_NEED_TOOL("python3", "python3");
  test::TempDir dir;
  const std::string source =
      "# -*- coding: cp932 -*-\n"
      "a = \"表\" + 'ソ' + u\"能\" + r'表'  # ソ\n"
      "b = \"\"\"表\"\"\"\n"
      "c = '''ソ\n"
      "表\n"
      "ソ'''\n"
      "d = \"表\\\n"
      "ソ\"\n"
      "e = ('表示', \"ソース\", 1.5, 0x1F, 2j)\n"
      "f = \"\"\"能\\\"\"\"表\"\"\"\n";
  test::WriteFileBytes(dir / "fixture.py", Utf8ToSjis(source));
  EXPECT_EQ(CompareWithTokenize({dir / "fixture.py"}, dir), 1u);
}

}  // namespace
}  // namespace rid
