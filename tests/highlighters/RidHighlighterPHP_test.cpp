#include "highlighters/RidHighlighterPHP.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "highlighters/keywords/RidHighlighterPHPKeywords.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using P = TRidPHPRid;
using test::TTokenCase;

test::THighlighterFactory PhpFactory() {
  return [] { return std::make_unique<TRidPHPRid>(nullptr); };
}

// 表 and ソ end in a backslash byte, ボ in "{", マ in "}".
const std::string kHyo = "\x95\x5C", kSo = "\x83\x5C", kBo = "\x83\x7B", kMa = "\x83\x7D";

const TTokenCase kCases[] = {
    // Embedded variables
    {0,
     "\"a $b c\";",
     {{"\"a ", P::tkString}, {"$b", P::tkVariable}, {" c\"", P::tkString}, {";", P::tkSymbol}},
     0},
    {0, "\"{$a->b}\"", {{"\"", P::tkString}, {"{$a->b}", P::tkVariable}, {"\"", P::tkString}}, 0},
    {0,
     "\"${a} $a[0]$a['k'] $a[$b] $a->b->c[1]\"",
     {{"\"", P::tkString},
      {"${a}", P::tkVariable},
      {" ", P::tkString},
      {"$a[0]", P::tkVariable},
      {"$a['k']", P::tkVariable},
      {" ", P::tkString},
      {"$a", P::tkVariable},
      {"[", P::tkString},
      {"$b", P::tkVariable},
      {"] ", P::tkString},
      {"$a->b->c[1]", P::tkVariable},
      {"\"", P::tkString}},
     0},
    {0,
     "\"$a[b[c]] $a[b $a[\"",
     {{"\"", P::tkString},
      {"$a[b[c]]", P::tkVariable},
      {" ", P::tkString},
      {"$a", P::tkVariable},
      {"[b ", P::tkString},
      {"$a", P::tkVariable},
      {"[\"", P::tkString}},
     0},
    {0,
     "\"{$a{$b}}x\"",
     {{"\"", P::tkString}, {"{$a{$b}}", P::tkVariable}, {"x\"", P::tkString}},
     0},
    {0, "\"\\$a \\{$b} a\\\\\";", {{"\"\\$a \\{$b} a\\\\\"", P::tkString}, {";", P::tkSymbol}}, 0},
    {0,
     "'$a' '\\'' 'x",
     {{"'$a'", P::tkString},
      {" ", P::tkSpace},
      {"'\\''", P::tkString},
      {" ", P::tkSpace},
      {"'x", P::tkString}},
     1},
    {2, "$x", {{"$x", P::tkVariable}}, 2},
    {2, "", {}, 2},
    {2, "\r\nab\"", {{"\r\n", P::tkSpace}, {"ab\"", P::tkString}}, 0},
    {0, "\"ab\r\n", {{"\"ab\r", P::tkString}, {"\n", P::tkSpace}}, 2},
    // Strings read bytes: a trail byte 5C escapes the quote after it
    {0, "\"" + kHyo + "\";", {{"\"" + kHyo + "\";", P::tkString}}, 2},
    {0, "'" + kSo + "''", {{"'" + kSo + "''", P::tkString}}, 0},
    // ... but a variable starts only on a brace of its own
    {0,
     "\"" + kBo + "$x" + kMa + "\"",
     {{"\"" + kBo, P::tkString}, {"$x", P::tkVariable}, {kMa + "\"", P::tkString}},
     0},
    {0,
     "\"{" + kBo + "$x}\"",
     {{"\"{" + kBo, P::tkString}, {"$x", P::tkVariable}, {"}\"", P::tkString}},
     0},
    {0,
     "\"{$a['" + kMa + "']}\"",
     {{"\"", P::tkString}, {"{$a['" + kMa + "']}", P::tkVariable}, {"\"", P::tkString}},
     0},
    // A stored range of an embedded variable without one: the string goes on
    {4, "abc", {{"abc", P::tkString}}, 2},
    {4, "x\"y", {{"x\"", P::tkString}, {"y", P::tkIdentifier}}, 0},
    {4, "$a b", {{"$a", P::tkVariable}, {" b", P::tkString}}, 2},
    {4, "{$a", {{"{$a", P::tkVariable}}, 2},
    {4, "$", {{"$", P::tkVariable}}, 2},
    {9, "a", {{"a", P::tkIdentifier}}, 0},
    // Comments
    {0, "/* a", {{"/* a", P::tkComment}}, 3},
    {3, "b */ c", {{"b */", P::tkComment}, {" ", P::tkSpace}, {"c", P::tkIdentifier}}, 0},
    {3, "\r\n", {{"\r\n", P::tkSpace}}, 3},
    {0, "# c ?>", {{"# c ?>", P::tkComment}}, 0},
    {0, "a// c", {{"a", P::tkIdentifier}, {"// c", P::tkComment}}, 0},
    {0, "/*/ x", {{"/*/ x", P::tkComment}}, 3},
    // Words, numbers, symbols
    {0,
     "ECHO Echo echoes __FILE__",
     {{"ECHO", P::tkKey},
      {" ", P::tkSpace},
      {"Echo", P::tkKey},
      {" ", P::tkSpace},
      {"echoes", P::tkIdentifier},
      {" ", P::tkSpace},
      {"__FILE__", P::tkKey}},
     0},
    {0,
     "1..5 0x1F 1-2 3.5L",
     {{"1", P::tkNumber},
      {".", P::tkSymbol},
      {".", P::tkSymbol},
      {"5", P::tkNumber},
      {" ", P::tkSpace},
      {"0x1F", P::tkNumber},
      {" ", P::tkSpace},
      {"1-2", P::tkNumber},
      {" ", P::tkSpace},
      {"3.5L", P::tkNumber}},
     0},
    {0,
     ">>=<<=->!==",
     {{">>", P::tkSymbol},
      {"=", P::tkSymbol},
      {"<<=", P::tkSymbol},
      {"->", P::tkSymbol},
      {"!=", P::tkSymbol},
      {"=", P::tkSymbol}},
     0},
    {0,
     "<?php ?>",
     {{"<", P::tkSymbol},
      {"?", P::tkSymbol},
      {"php", P::tkIdentifier},
      {" ", P::tkSpace},
      {"?", P::tkSymbol},
      {">", P::tkSymbol}},
     0},
    {0, kMa + "\\`", {{kMa, P::tkUnknown}, {"\\", P::tkUnknown}, {"`", P::tkUnknown}}, 0},
    {0, "$a$", {{"$a", P::tkVariable}, {"$", P::tkVariable}}, 0},
};

TEST(PhpHighlighter, ScansTheListedCases) { test::CheckTokenCases(PhpFactory(), kCases); }

TEST(PhpHighlighter, KeywordsHaveTheirCountAndTableShape) {
  EXPECT_EQ(std::size(keywords::RidHighlighterPHP::kKeywords), 56u);
  EXPECT_EQ(P::KeywordTable().TableSize(), 207);
  EXPECT_EQ(P::KeywordTable().LargestHash(), 206u);
  test::CheckKeywordsScan(PhpFactory(), keywords::RidHighlighterPHP::kKeywords);
  std::vector<std::string> upper;
  for (const TRidKeyword& k : keywords::RidHighlighterPHP::kKeywords) {
    std::string w(k.Word);
    for (char& c : w) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    upper.push_back(w);
  }
  std::vector<TRidKeyword> upperWords;
  for (const std::string& w : upper) upperWords.push_back({w, P::tkKey});
  test::CheckKeywordsScan(PhpFactory(), upperWords);
}

TEST(PhpHighlighter, AttributesAndLanguageData) {
  TRidPHPRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 8);
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetDefaultAttribute(3), h.GetStringAttri());
  EXPECT_EQ(h.GetDefaultAttribute(5), h.GetSymbolAttri());
  EXPECT_EQ(h.GetLanguageName(), "PHP");
  EXPECT_EQ(h.GetDefaultFilter(),
            "PHP Files (*.php;*.php3;*.phtml;*.inc)|*.php;*.php3;*.phtml;*.inc");
  const std::string sample = h.GetSampleSource();
  EXPECT_EQ(test::SplitLines(sample).size(), 12u);
  EXPECT_NE(sample.back(), '\n');
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {P::tkComment, h.GetCommentAttri()},  {P::tkIdentifier, h.GetIdentifierAttri()},
      {P::tkKey, h.GetKeyAttri()},          {P::tkNumber, h.GetNumberAttri()},
      {P::tkSpace, h.GetSpaceAttri()},      {P::tkString, h.GetStringAttri()},
      {P::tkSymbol, h.GetSymbolAttri()},    {P::tkUnknown, h.GetIdentifierAttri()},
      {P::tkVariable, h.GetVariableAttri()}};
  std::set<int32_t> seen;
  h.SetLine("# c\n$x = \"a $b\" + 1 . foo(); echo `", 0);
  for (; !h.GetEol(); h.Next()) {
    seen.insert(h.GetTokenKind());
    EXPECT_EQ(h.GetTokenAttribute(), byKind.at(h.GetTokenKind())) << h.GetToken();
  }
  EXPECT_EQ(seen.size(), byKind.size());
}

const std::vector<TRidRange> kAllRanges = {0, 1, 2, 3, 4, 5, 255};

TEST(PhpHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(PhpFactory(), test::RandomByteLines(43, 500, 80), kAllRanges);
}

TEST(PhpHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"\"", "'",  "\\", "$",  "$a", "{",  "}",  "{$",
                                           "${", "[",  "]",  "['", "']", "->", "/*", "*/",
                                           "#",  "//", "\r", "\n", "0x", ".."};
  test::CheckConformance(PhpFactory(), test::ShiftJisLines(47, 500, 24, pieces), kAllRanges);
}

// The sources php-pear installs, and a Shift-JIS source of our own.
std::vector<std::filesystem::path> PhpSources(const test::TempDir& Dir) {
  auto files = test::InstalledFiles({"/usr/share/php"}, {".php"}, "php-pear");
  const std::string sjis = Utf8ToSjis(
      "<?php\n"
      "// 日本語のコメント、表示の確認\n"
      "/* 複数行の\n   コメント */\n"
      "$name = \"名前：$user さん\";\n"
      "$msg = \"ボ{$a->b}マ {$list['キー']} $x[0]\";\n"
      "$path = 'C:\\\\予定表\\\\';\n"
      "$s = \"申し込み\\n\";\n"
      "$t = \"十$v能\";\n"
      "$u = '表'';\n"
      "echo \"ソ\\$x\" . '構'';\n"
      "$w = \"複数行の\n文字列 $y\n終わり\";\n"
      "?>\n");
  test::WriteFileBytes(Dir / "sjis.php", sjis);
  files.push_back(Dir / "sjis.php");
  return files;
}

TEST(PhpHighlighter, InstalledSourcesScanCleanly) {
  test::TempDir dir;
  test::CheckInstalledFiles(PhpFactory(), PhpSources(dir));
}

// php's own tokenizer sorts the bytes of each source into comments, strings and variables as
// we do. Not compared: the page around the code, heredocs, the second and later "->name" of a
// variable in a string (php takes one) and the brackets of a subscript that is a variable.
TEST(PhpHighlighter, CommentsStringsAndVariablesAgreeWithPhp) {
  RID_NEED_TOOL("php", "php-cli");
  test::TempDir dir;
  const auto files = PhpSources(dir);
  test::WriteFileBytes(dir / "classes.php", R"PHP(<?php
// Prints, per source: "F name", then "start length class" for every token: C comment,
// S string, V variable, E string or variable, v variable or code ("$" of "$$a"), X not
// compared, O other code.
foreach (array_slice($argv, 1) as $file) {
  echo "F $file\n";
  $pos = 0; $inString = false; $skip = false; $braces = 0; $simple = false; $prev = null;
  foreach (token_get_all(file_get_contents($file)) as $t) {
    [$id, $text] = is_array($t) ? [$t[0], $t[1]] : [null, $t];
    $class = 'O';
    if ($id === T_START_HEREDOC) $skip = true;
    if ($skip || in_array($id, [T_INLINE_HTML, T_OPEN_TAG, T_OPEN_TAG_WITH_ECHO, T_CLOSE_TAG])) {
      $class = 'X';
    } elseif ($braces > 0) {
      $class = 'V';
      if ($text === '{' || $id === T_CURLY_OPEN || $id === T_DOLLAR_OPEN_CURLY_BRACES) $braces++;
      if ($text === '}') $braces--;
    } elseif ($id === T_CURLY_OPEN || $id === T_DOLLAR_OPEN_CURLY_BRACES) {
      $class = 'V'; $braces = 1;
    } elseif ($text === '"' && $id === null) {
      $class = 'S'; $inString = !$inString; $simple = false;
    } elseif ($text === '$' && $id === null) {
      $class = 'v';
    } elseif ($id === T_COMMENT || $id === T_DOC_COMMENT) {
      $class = 'C';
    } elseif ($id === T_CONSTANT_ENCAPSED_STRING || (!$inString && $id === T_ENCAPSED_AND_WHITESPACE)) {
      $class = 'S';
    } elseif ($id === T_VARIABLE) {
      $class = 'V'; $simple = $inString;
    } elseif ($inString && $id === T_ENCAPSED_AND_WHITESPACE) {
      $class = 'S';
      if ($simple && $prev === T_STRING && preg_match('/^(->\w+)+/', $text, $m)) {
        echo "$pos " . strlen($m[0]) . " E\n";
        $pos += strlen($m[0]); $text = substr($text, strlen($m[0]));
      }
      $simple = false;
    } elseif ($inString && $simple) {
      $class = ($text === '[' || $text === ']') && $prev !== T_NUM_STRING && $prev !== T_STRING ? 'E' : 'V';
      if ($text === ']' && ($prev === T_NUM_STRING || $prev === T_STRING)) $class = 'V';
    }
    if ($id === T_END_HEREDOC) $skip = false;
    if ($id !== T_WHITESPACE) $prev = $id;
    echo "$pos " . strlen($text) . " $class\n";
    $pos += strlen($text);
  }
}
)PHP");
  std::string args;
  for (const auto& f : files) args += " '" + f.string() + "'";
  const std::string out = test::RunTool("php " + (dir / "classes.php").string() + args);
  ASSERT_FALSE(out.empty());

  auto ourClass = [](int32_t Kind) {
    switch (Kind) {
      case P::tkComment:
        return 'C';
      case P::tkString:
        return 'S';
      case P::tkVariable:
        return 'V';
      default:
        return 'O';
    }
  };
  std::istringstream in(out);
  std::string text, theirs, ours;
  size_t compared = 0;
  auto compare = [&](const std::string& Name) {
    for (size_t i = 0; i < text.size(); ++i) {
      const char t = theirs[i], o = ours[i];
      if (t == 'X' || o == '-' || t == o || (t == 'E' && (o == 'S' || o == 'V')) ||
          (t == 'v' && (o == 'V' || o == 'O')))
        continue;
      const size_t lineStart = text.rfind('\n', i) + 1;
      ADD_FAILURE() << Name << " byte " << i << ": php " << t << ", ours " << o << " in \""
                    << test::Printable(text.substr(lineStart, text.find('\n', i) - lineStart))
                    << "\"";
      return;
    }
    compared += text.size();
  };
  std::string name;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("F ", 0) == 0) {
      if (!name.empty()) compare(name);
      if (::testing::Test::HasFailure()) return;
      name = line.substr(2);
      text = test::ReadFileBytes(name);
      theirs.assign(text.size(), 'O');
      // Ours, byte by byte; line breaks belong to no token ("-").
      ours.assign(text.size(), '-');
      TRidPHPRid h(nullptr);
      TRidRange range = 0;
      size_t offset = 0;
      for (std::string_view l : test::SplitLines(text)) {
        offset = static_cast<size_t>(l.data() - text.data());
        for (const auto& t : test::ScanCheckedLine(h, l, range, &range))
          std::fill_n(ours.begin() + offset + t.Pos, t.Text.size(), ourClass(t.Kind));
      }
      continue;
    }
    std::istringstream fields(line);
    size_t start = 0, length = 0;
    char cls = 'O';
    fields >> start >> length >> cls;
    if (start + length <= theirs.size()) std::fill_n(theirs.begin() + start, length, cls);
  }
  if (!name.empty()) compare(name);
  EXPECT_GT(compared, 100000u);
}

}  // namespace
}  // namespace rid
