// The regular-expression search engine: hits on character starts only, the case option, and
// replacement with the hit's own groups and context.
#include "editor/RidEderRegexSearch.h"

#include <gtest/gtest.h>

#include <utility>

namespace rid {
namespace {

const std::string A = "\x83\x41";    // ア
const std::string So = "\x83\x5c";   // ソ
const std::string Hyo = "\x95\x5c";  // 表
const std::string Po = "\x83\x7c";   // ポ

using Hit = std::pair<int32_t, int32_t>;  // position, length

std::vector<Hit> Hits(TRidEderRegexSearch& E, std::string_view Line) {
  std::vector<Hit> out;
  for (int32_t i = 0, n = E.FindAll(Line); i < n; ++i)
    out.push_back({E.MatchPos(i), E.MatchLength(i)});
  return out;
}

TRidSearchOptions Opts(bool MatchCase) {
  TRidSearchOptions o;
  if (MatchCase) o.Include(ssoMatchCase);
  o.Include(ssoWholeWord);  // ignored by this engine
  return o;
}

struct RegexCase {
  const char* Name;
  std::string Pattern;
  bool MatchCase;
  std::string Line;
  std::vector<Hit> Want;
};

TEST(RidEderRegexSearch, KeepsHitsOnCharacterStarts) {
  const std::vector<RegexCase> cases = {
      {"case off finds upper case", "a", false, "bAa", {{2, 1}, {3, 1}}},
      {"match case", "a", true, "bAa", {{3, 1}}},
      {"whole word is not this engine's", "ab", true, "xabx", {{2, 2}}},
      {"A inside a katakana is dropped", "A", true, A + "A", {{3, 1}}},
      {"backslashes inside so and hyo", "\\\\", true, So + Hyo + "\\", {{5, 1}}},
      {"a bar inside po", "\\|", true, Po + "|", {{3, 1}}},
      {"a match ending inside a character", ".", true, A + "b", {{3, 1}}},
      {"a class of second bytes", "[A\\\\]+", true, So + "A\\" + A, {{3, 2}}},
      {"empty matches between characters", "x*", true, A + "b", {{1, 0}, {3, 0}, {4, 0}}},
      {"a double-byte literal", A, true, "b" + A + A, {{2, 2}, {4, 2}}},
      {"a line start once", "^.", true, "ab", {{1, 1}}},
      {"word boundaries", "\\bfoo\\b", true, "a foo.afoo", {{3, 3}}},
      {"a lone lead byte at the line end", "\\x83$", true, "ab\x83", {{3, 1}}},
      {"groups", "(\\w)(\\d)", true, "a1 b2", {{1, 2}, {4, 2}}},
  };
  for (const RegexCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRidEderRegexSearch e(nullptr);
    e.SetOptions(Opts(c.MatchCase));
    e.SetPattern(c.Pattern);
    EXPECT_EQ(Hits(e, c.Line), c.Want);
  }
}

TEST(RidEderRegexSearch, ReplacesAHitWithItsOwnGroupsAndContext) {
  TRidEderRegexSearch e(nullptr);
  e.SetOptions(Opts(false));
  e.SetPattern("(\\w)(\\d)");
  ASSERT_EQ(e.FindAll("a1 B2"), 2);
  EXPECT_EQ(e.ReplaceMatch(1, "B2", "$2$1"), "2B");
  EXPECT_EQ(e.ReplaceMatch(0, "a1", "<$&>"), "<a1>");
  // The isolated text would match twice; the hit itself is one match.
  e.SetPattern(".*");
  ASSERT_EQ(e.FindAll("abc"), 2);
  EXPECT_EQ(e.Replace("abc", "X"), "XX");
  EXPECT_EQ(e.ReplaceMatch(0, "abc", "X"), "X");
  EXPECT_EQ(e.ReplaceMatch(1, "", "X"), "X");
  // "^" and "\b" see the line the hit was found in.
  e.SetPattern("\\bo");
  ASSERT_EQ(e.FindAll("foo o"), 1);
  EXPECT_EQ(e.MatchPos(0), 5);
  EXPECT_EQ(e.ReplaceMatch(0, "o", "[$&]"), "[o]");
  EXPECT_EQ(e.GetPattern(), "\\bo");
  EXPECT_THROW(e.MatchPos(1), EListError);
  EXPECT_THROW(e.MatchLength(-1), EListError);
}

TEST(RidEderRegexSearch, AFaultyExpressionRaisesAtFirstUse) {
  TRidEderRegexSearch e(nullptr);
  e.SetPattern("a(b");
  EXPECT_THROW(e.FindAll("ab"), ERidRegExpr);
}

}  // namespace
}  // namespace rid
