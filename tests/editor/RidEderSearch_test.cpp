// The plain search engine: a table of the traps of Shift-JIS text, a property test against a
// small reference model, and grep's offsets on a whole file.
#include "editor/RidEderSearch.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/TestSupport.h"

namespace rid {
namespace {

const std::string A = "\x83\x41";    // ア: its second byte is "A"
const std::string Di = "\x83\x61";   // ヂ: its second byte is "a"
const std::string So = "\x83\x5c";   // ソ: its second byte is a backslash
const std::string Hyo = "\x95\x5c";  // 表
const std::string No = "\x94\x5c";   // 能
const std::string Po = "\x83\x7c";   // ポ: its second byte is "|"
const std::string Bar = "\x81\x5b";  // ー: its second byte is "["
const std::string Kana = "\xb1";     // half-width ｱ, a word byte

std::vector<int32_t> Hits(TRidEderSearchCustom& E, std::string_view Line) {
  std::vector<int32_t> out;
  for (int32_t i = 0, n = E.FindAll(Line); i < n; ++i) out.push_back(E.MatchPos(i));
  return out;
}

TRidSearchOptions Opts(bool MatchCase, bool WholeWord) {
  TRidSearchOptions o;
  if (MatchCase) o.Include(ssoMatchCase);
  if (WholeWord) o.Include(ssoWholeWord);
  return o;
}

struct FindCase {
  const char* Name;
  std::string Pattern;
  bool MatchCase, WholeWord;
  std::string Line;
  std::vector<int32_t> Want;
};

TEST(RidEderSearch, FindsWholeCharactersOnly) {
  const std::string longPattern = std::string(300, 'x') + "yz";
  const std::vector<FindCase> cases = {
      {"case folded", "abc", false, false, "xABCx abc", {2, 7}},
      {"match case", "abc", true, false, "xABCx abc", {7}},
      {"no overlap", "aa", false, false, "aaaa", {1, 3}},
      {"whole word after an underscore word", "ab", false, true, "ab_c ab", {6}},
      {"whole word in parentheses", "ab", false, true, "(ab)", {2}},
      {"pattern longer than the line", "abcdef", false, false, "abc", {}},
      {"pattern over 255 bytes", longPattern, true, false, "x" + longPattern + "y", {2}},
      {"pattern over 255 bytes, a byte short",
       longPattern,
       true,
       false,
       std::string(300, 'x') + "y",
       {}},
      {"A is not the second byte of a katakana", "A", true, false, A + "A" + A, {3}},
      {"a folded never meets a second byte", "a", false, false, A + Di + "a", {5}},
      {"katakana folded is not another katakana", A, false, false, Di + A, {3}},
      {"a katakana with a letter folds the letter only",
       A + "b",
       false,
       false,
       Di + "B" + A + "B",
       {4}},
      {"backslash inside so, hyo and no", "\\", true, false, So + Hyo + No + "\\", {7}},
      {"bar inside po", "|", true, false, Po + "|", {3}},
      {"bracket inside the long vowel", "[", true, false, Bar + "[", {3}},
      {"a double-byte pattern at an odd offset", So, true, false, "a" + So + So, {2, 4}},
      {"second half of one and first of the next", "\x5c\x83", true, false, So + So, {}},
      {"a lone lead byte at the line end", "\x83", true, false, "ab\x83", {3}},
      {"a pattern ending in a lead byte takes no second byte",
       "x\x83",
       true,
       false,
       "x" + A + "x\x83",
       {4}},
      {"a lead byte before a byte that cannot follow it", "x\x83", true, false, "x\x83 ", {1}},
      {"a double-byte neighbour is a delimiter", "ab", false, true, A + "ab" + Hyo, {3}},
      {"a half-width kana is a word byte", "ab", false, true, Kana + "ab ab" + Kana, {}},
      {"digits are word bytes", "ab", false, true, "1ab ab", {5}},
      {"a NUL is searched like any byte",
       std::string("b\0c", 3),
       true,
       false,
       std::string("ab\0cd", 5),
       {2}},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRidEderSearch e(nullptr);
    e.SetOptions(Opts(c.MatchCase, c.WholeWord));
    e.SetPattern(c.Pattern);
    EXPECT_EQ(Hits(e, c.Line), c.Want);
    for (int32_t i = 0; i < e.MatchCount(); ++i)
      EXPECT_EQ(e.MatchLength(i), static_cast<int32_t>(c.Pattern.size()));
  }
}

TEST(RidEderSearch, KeepsTablesUntilPatternOrCaseChanges) {
  TRidEderSearch e(nullptr);
  e.SetPattern("");
  EXPECT_THROW(e.FindAll("abc"), Exception);
  try {
    e.FindAll("abc");
  } catch (const Exception& x) {
    EXPECT_STREQ(x.what(), "Pattern is empty");
  }
  e.SetPattern("Ab");
  EXPECT_EQ(Hits(e, "ab AB"), (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(e.MatchPos(2), 0);
  EXPECT_EQ(e.MatchPos(-1), 0);
  e.SetOptions(Opts(true, false));
  EXPECT_EQ(Hits(e, "ab AB Ab"), (std::vector<int32_t>{7}));
  e.SetPattern("B");
  EXPECT_EQ(Hits(e, "ab AB Ab"), (std::vector<int32_t>{5}));
  e.SetOptions(Opts(false, false));
  EXPECT_EQ(Hits(e, "ab AB"), (std::vector<int32_t>{2, 5}));
  EXPECT_EQ(e.GetPattern(), "B");
  EXPECT_EQ(e.Replace("b", "$1"), "$1");
}

// The reference: at each character start from the end of the last hit, the pattern's
// characters against the text's, one by one; single-byte ones folded when asked.
std::vector<int32_t> ModelHits(std::string_view Line, std::string_view Pattern, bool MatchCase,
                               bool WholeWord) {
  auto chars = [](std::string_view S) {
    std::vector<std::string_view> out;
    TRidCharStarts starts(S);
    for (size_t at = 0; at < S.size();) {
      const size_t next = starts.NextAfter(at);
      out.push_back(S.substr(at, next - at));
      at = next;
    }
    return out;
  };
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  auto isWord = [](std::string_view c) {
    const uint8_t b = static_cast<uint8_t>(c[0]);
    return c.size() == 1 && (std::isalnum(b) || b == '_' || (b >= 0xA6 && b <= 0xDF));
  };
  const auto text = chars(Line), pat = chars(Pattern);
  std::vector<int32_t> out;
  size_t offset = 0;
  for (size_t i = 0; i < text.size(); offset += text[i].size(), ++i) {
    if (!out.empty() && offset < out.back() - 1 + Pattern.size()) continue;
    if (i + pat.size() > text.size()) break;
    bool same = true;
    for (size_t k = 0; k < pat.size() && same; ++k) {
      const std::string_view t = text[i + k], p = pat[k];
      same = t.size() == p.size() &&
             (t.size() == 1 && !MatchCase ? lower(t[0]) == lower(p[0]) : t == p);
    }
    if (!same) continue;
    if (WholeWord && ((i > 0 && isWord(text[i - 1])) ||
                      (i + pat.size() < text.size() && isWord(text[i + pat.size()]))))
      continue;
    out.push_back(static_cast<int32_t>(offset + 1));
  }
  return out;
}

// Lines of letters, digits, blanks, kana and double-byte characters whose second byte looks
// like "A", "\", "a" or "|".
std::string RandomLine(std::mt19937& Rng, size_t Chars) {
  static const std::vector<std::string> pieces = {
      "a", "A", "b", "B", "_", " ", "1", "\\",       "|",        Kana,
      A,   Di,  So,  Hyo, No,  Po,  Bar, "\x83\x42", "\x82\xa0", "\x83"};
  std::string s;
  for (size_t i = 0; i < Chars; ++i) s += pieces[Rng() % pieces.size()];
  return s;
}

TEST(RidEderSearch, AgreesWithAReferenceOnRandomShiftJisLines) {
  std::mt19937 rng(17);
  TRidEderSearch e(nullptr);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomLine(rng, rng() % 24);
    std::string pattern;
    if (!line.empty() && rng() % 4 != 0) {
      // A piece of the line, which may cut a character.
      const size_t from = rng() % line.size();
      pattern = line.substr(from, 1 + rng() % std::min<size_t>(6, line.size() - from));
    } else {
      pattern = RandomLine(rng, 1 + rng() % 3);
    }
    for (char& c : pattern)
      if (std::isalpha(static_cast<unsigned char>(c)) && rng() % 3 == 0) c ^= 0x20;
    const bool matchCase = rng() % 2, wholeWord = rng() % 3 == 0;
    e.SetOptions(Opts(matchCase, wholeWord));
    e.SetPattern(pattern);
    ASSERT_EQ(Hits(e, line), ModelHits(line, pattern, matchCase, wholeWord))
        << "round " << round << " case " << matchCase << " word " << wholeWord;
  }
}

// grep reports every occurrence; ours are exactly those on character starts.
TEST(RidEderSearch, HitsAreGrepsOffsetsOnCharacterStarts) {
  RID_NEED_TOOL("grep", "grep");
  std::mt19937 rng(5);
  std::vector<std::string> lines;
  std::string file;
  for (int i = 0; i < 3000; ++i) {
    lines.push_back(RandomLine(rng, rng() % 40));
    file += lines.back() + "\n";
  }
  test::TempDir dir;
  test::WriteFileBytes(dir / "text", file);
  for (const std::string pattern : {"A", "\\"}) {
    SCOPED_TRACE(pattern);
    const std::string out = test::RunTool("LC_ALL=C grep -o -b -F -e '" + pattern + "' '" +
                                          (dir / "text").string() + "'");
    std::vector<size_t> grep;
    for (size_t at = 0; at < out.size(); at = out.find('\n', at) + 1)
      grep.push_back(std::stoul(out.substr(at)));
    ASSERT_GT(grep.size(), 1000u);
    std::vector<size_t> ours, onStarts;
    TRidEderSearch e(nullptr);
    e.SetOptions(Opts(true, false));
    e.SetPattern(pattern);
    size_t lineStart = 0;
    for (const std::string& line : lines) {
      for (int32_t col : Hits(e, line)) ours.push_back(lineStart + col - 1);
      TRidCharStarts starts(line);
      for (size_t g : grep)
        if (g >= lineStart && g < lineStart + line.size() && starts.IsStart(g - lineStart))
          onStarts.push_back(g);
      lineStart += line.size() + 1;
    }
    EXPECT_LT(ours.size(), grep.size());  // the text holds trail bytes that look like the pattern
    EXPECT_EQ(ours, onStarts);
  }
}

}  // namespace
}  // namespace rid
