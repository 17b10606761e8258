#include "editor/RidRegExpr.h"

#include <gtest/gtest.h>
#include <time.h>

#include <string>
#include <vector>

namespace rid {
namespace {

// "pos,len" of every match found by Exec then ExecNext.
std::string AllMatches(TRidRegExpr& r, const std::string& input) {
  std::string out;
  if (r.Exec(input)) {
    do {
      if (!out.empty()) out += ' ';
      out += std::to_string(r.MatchPos(0)) + "," + std::to_string(r.MatchLen(0));
    } while (r.ExecNext());
  }
  return out;
}

std::string AllMatches(const std::string& expr, const std::string& input,
                       const std::string& mods = "") {
  TRidRegExpr r;
  for (char c : mods) {
    const std::string letters = "irsgmx";
    const bool off = c >= 'A' && c <= 'Z';
    r.SetModifier(static_cast<int32_t>(letters.find(static_cast<char>(tolower(c)))) + 1, !off);
  }
  r.SetExpression(expr);
  return AllMatches(r, input);
}

// "pos,len" of group n after the first match, or "none".
std::string Group(const std::string& expr, const std::string& input, int n) {
  TRidRegExpr r;
  r.SetExpression(expr);
  if (!r.Exec(input)) return "none";
  return std::to_string(r.MatchPos(n)) + "," + std::to_string(r.MatchLen(n));
}

// The error an expression raises on compile, as "code pos message".
std::string CompileError(const std::string& expr, bool cyrillic = true) {
  TRidRegExpr r;
  r.SetModifier(remR, cyrillic);
  r.SetExpression(expr);
  try {
    r.Compile();
  } catch (const ERidRegExpr& e) {
    return std::to_string(e.ErrorCode) + " " + std::to_string(e.CompilerErrorPos) + " " + e.Message;
  }
  return "ok";
}

int ErrorCodeOf(const std::string& expr) {
  const std::string e = CompileError(expr);
  return e == "ok" ? 0 : std::stoi(e);
}

TEST(RidRegExpr, CompileErrorsCarryCodePositionAndMessage) {
  EXPECT_EQ(CompileError("[abc"), "113 4 TRidRegExpr(comp): Unmatched [] (pos 4)");
  EXPECT_EQ(CompileError("a{2,1}"),
            "124 5 TRidRegExpr(comp): BRACE Min Param Greater then Max (pos 5)");
  struct Case {
    const char* Expr;
    int Code;
  } cases[] = {
      {"a{123456789}", 122}, {"[z-a]", 109}, {"[", 113},      {"x**", 107},      {"*x", 115},
      {"(a", 103},           {"a)", 104},    {"\\x4", 111},   {"\\x{123}", 112}, {"\\xG0", 108},
      {"a\\", 116},          {"[a\\", 110},  {"(?#abc", 125}, {"(?q)", 127},     {"(?i", 127},
      {"(a?)*", 106},        {"(a|)+", 106}, {"^*", 106},     {"\\b{2}", 106},   {"a(?#c)*", 106},
      {"(?:a)", 127},        {"(?=a)", 127}, {"a|*", 115},    {"a{2}{3}", 107},  {"()", 0},
      {"a{,3}", 0},          {"a{3", 0},     {"(a?)?", 0},    {"[]a]", 0},       {"[a-]", 0},
      {"(?Ir)a", 0},         {"\\x{}", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorCodeOf(c.Expr), c.Code) << c.Expr;
  // 14 groups are accepted, the 15th "(" is refused.
  std::string groups;
  for (int i = 0; i < 14; ++i) groups += "(a)";
  EXPECT_EQ(ErrorCodeOf(groups), 0);
  EXPECT_EQ(ErrorCodeOf(groups + "(a)"), 102);
  // The range 0xE0-0xDF is both Cyrillic lists with r, an error without.
  EXPECT_EQ(ErrorCodeOf("[\\xE0-\\xDF]"), 0);
  EXPECT_EQ(std::stoi(CompileError("[\\xE0-\\xDF]", false)), 109);
}

TEST(RidRegExpr, ErrorTextsAndProgramLessCalls) {
  TRidRegExpr r;
  EXPECT_EQ(r.ErrorMsg(1013), "Unknown error");
  EXPECT_EQ(r.ErrorMsg(1015), "TRidRegExpr(exec): Loop Without LoopEntry !");
  EXPECT_EQ(r.ErrorMsg(128),
            "TRidRegExpr(comp): LinePairedSeparator must countain two different chars or no "
            "chars at all");
  try {
    r.Compile();
    FAIL();
  } catch (const ERidRegExpr& e) {
    EXPECT_EQ(e.ErrorCode, 1003);
    EXPECT_EQ(e.Message, "TRidRegExpr(exec): Not Assigned Expression Property");
  }
  EXPECT_THROW(r.GetModifier(7), ERidRegExpr);
  EXPECT_EQ(r.LastError(), 1013);
  EXPECT_THROW(r.SetLinePairedSeparator("\r\r"), ERidRegExpr);
  EXPECT_THROW(r.SetLinePairedSeparator("x"), ERidRegExpr);
  r.SetExpression("a");
  try {
    r.ExecNext();
    FAIL();
  } catch (const ERidRegExpr& e) {
    EXPECT_EQ(e.ErrorCode, 1007);
  }
  EXPECT_THROW(r.ExecPos(1), ERidRegExpr);  // no input stored: 1005
  EXPECT_EQ(r.LastError(), 1005);
  ASSERT_TRUE(r.Exec("xa"));
  try {
    r.ExecPos(0);
    FAIL();
  } catch (const ERidRegExpr& e) {
    EXPECT_EQ(e.Message, "TRidRegExpr(exec): Offset Must Be Greater Then 0");
    EXPECT_EQ(e.CompilerErrorPos, 0);
  }
}

TEST(RidRegExpr, LiteralsQuantifiersAndClasses) {
  EXPECT_EQ(AllMatches("abc*", "abccc ab"), "1,5 7,2");  // "*" binds to "c" alone
  EXPECT_EQ(AllMatches("(ab)*c", "ababc"), "1,5");
  EXPECT_EQ(AllMatches("(ab)*?c", "ababc"), "1,5");
  EXPECT_EQ(AllMatches("a{,3}", "aa{,3}"), "2,5");  // not a quantifier: literal text
  EXPECT_EQ(AllMatches("a{3", "a{3"), "1,3");
  EXPECT_EQ(AllMatches("a{2,3}", "aaaa a aa"), "1,3 8,2");
  EXPECT_EQ(AllMatches("a{2,3}?", "aaaa"), "1,2 3,2");
  EXPECT_EQ(AllMatches("[]a]+", "x]a]y"), "2,3");
  EXPECT_EQ(AllMatches("[a-]+", "b-a-c"), "2,3");
  EXPECT_EQ(AllMatches("[a-\\d]+", "x-a9y"), "2,3");
  EXPECT_EQ(AllMatches("[^abc]", "abcd"), "4,1");
  EXPECT_EQ(AllMatches("\\d+\\D", "a12b"), "2,3");
  EXPECT_EQ(AllMatches("\\w+", "ab_1 c"), "1,4 6,1");
  EXPECT_EQ(AllMatches("\\s\\S", "a b\tc"), "2,2 4,2");
  EXPECT_EQ(AllMatches("[\\D]", "1D"), "2,1");  // \D in a class is the letter D
  EXPECT_EQ(AllMatches("\\x41\\x{42}\\t", "AB\t"), "1,3");
  EXPECT_EQ(AllMatches("\\z\\0", "z0"), "1,2");  // unknown escapes are the letters
  EXPECT_EQ(AllMatches("a b # note", "ab", "x"), "1,2");
  EXPECT_EQ(AllMatches("a*", "bbb"), "1,0 2,0 3,0 4,0");
  EXPECT_EQ(AllMatches("x*?y", "xxy"), "1,3");
  EXPECT_EQ(AllMatches("a.c", "a\rc"), "1,3");
  EXPECT_EQ(AllMatches("a.c", "a\rc a\nc abc", "S"), "9,3");
}

TEST(RidRegExpr, ModifiersInlineAndGreedOff) {
  EXPECT_EQ(AllMatches("(?i)abc", "xABC"), "2,3");
  EXPECT_EQ(AllMatches("(a(?i)b)c", "aBc aBC"), "1,3");
  EXPECT_EQ(AllMatches("a(?-s).", "a\nab"), "3,2");
  EXPECT_EQ(AllMatches("a+", "aaa", "G"), "1,1 2,1 3,1");  // g off: every quantifier lazy
  EXPECT_EQ(AllMatches("a+?", "aaa", "G"), "1,1 2,1 3,1");
  EXPECT_EQ(AllMatches("[a-c]+", "xBcA", "i"), "2,3");
  EXPECT_EQ(AllMatches("(a)\\1", "aA", "i"), "1,2");
  int32_t mods = 0;
  EXPECT_TRUE(TRidRegExpr::ParseModifiers("iS-mX", mods));
  EXPECT_EQ(mods, 1 | 4);
  EXPECT_FALSE(TRidRegExpr::ParseModifiers("iq", mods));
  // A modifier change recompiles at the next run.
  TRidRegExpr r;
  r.SetExpression("abc");
  EXPECT_FALSE(r.Exec("ABC"));
  r.SetModifier(remI, true);
  EXPECT_TRUE(r.Exec("ABC"));
}

TEST(RidRegExpr, CyrillicRangeExtension) {
  EXPECT_EQ(AllMatches("[\\xE0-\\xFF]", "\xB8"), "1,1");
  EXPECT_EQ(AllMatches("[\\xE0-\\xFF]", "\xB8", "R"), "");
  EXPECT_EQ(AllMatches("[\\xC0-\\xDF]", "\xA8"), "1,1");
}

TEST(RidRegExpr, AnchorsLinesAndWordBoundaries) {
  EXPECT_EQ(AllMatches("^b", "b\nb"), "1,1");
  EXPECT_EQ(AllMatches("^b", "b\r\nb\nb\rb", "m"), "1,1 4,1 6,1 8,1");
  EXPECT_EQ(AllMatches("^\n", "\r\n", "m"), "");  // never between CR and LF
  EXPECT_EQ(AllMatches("a$", "a\r\na", "m"), "1,1 4,1");
  EXPECT_EQ(AllMatches("$", "ab"), "3,0");
  EXPECT_EQ(AllMatches("\\Aa|b\\Z", "aab"), "1,1 3,1");
  EXPECT_EQ(AllMatches("\\bfoo\\b", "a foo."), "3,3");
  EXPECT_EQ(AllMatches("\\bfoo\\b", "afoo"), "");
  EXPECT_EQ(AllMatches("\\Bo\\B", "foo o"), "2,1");
  EXPECT_EQ(AllMatches("\\b\x82", " \x82\xA0"), "");  // a byte above 0x7F is never a word byte
  // Inline m: the first-byte set must include the line separators.
  EXPECT_EQ(AllMatches("(?m)$", "ab\ncd"), "3,0 6,0");
  EXPECT_EQ(AllMatches("(?m)^$", "a\n\nb"), "3,0");
  TRidRegExpr r;
  r.SetLinePairedSeparator("");
  r.SetLineSeparators("|");
  r.SetModifier(remM, true);
  r.SetExpression("^x");
  EXPECT_EQ(AllMatches(r, "x|x\nx"), "1,1 3,1");
}

TEST(RidRegExpr, ExecPosAndExecNextOffsets) {
  TRidRegExpr r;
  r.SetExpression("a*");
  ASSERT_TRUE(r.Exec("bb"));
  EXPECT_TRUE(r.ExecPos(3));
  EXPECT_EQ(r.MatchPos(0), 3);
  EXPECT_EQ(r.MatchLen(0), 0);
  EXPECT_FALSE(r.ExecPos(4));
  EXPECT_EQ(r.MatchPos(0), -1);
  r.SetExpression("(a)|b");
  ASSERT_TRUE(r.Exec("b"));
  EXPECT_EQ(r.MatchPos(1), -1);
  EXPECT_EQ(r.MatchPos(0), 1);
  EXPECT_EQ(r.MatchPos(15), -1);
  // The input ends at its first NUL.
  r.SetExpression("b");
  EXPECT_FALSE(r.Exec(std::string("a\0b", 3)));
}

TEST(RidRegExpr, SubstituteTemplates) {
  TRidRegExpr r;
  r.SetExpression("(a)(b)");
  ASSERT_TRUE(r.Exec("xab"));
  EXPECT_EQ(r.Substitute("$1-$2"), "a-b");
  EXPECT_EQ(r.Substitute("\\$1"), "$1");
  EXPECT_EQ(r.Substitute("$15"), "");
  EXPECT_EQ(r.Substitute("cost $"), "cost $");
  EXPECT_EQ(r.Substitute("[$&|${&}|${2}|$0]"), "[ab|ab|b|ab]");
  EXPECT_EQ(r.Substitute("${1"), "${1");
  EXPECT_EQ(r.Substitute("$99999999999999999999x$00001"), "xa");  // saturates, no wrap
  EXPECT_EQ(r.Substitute("\\n\\"), "n\\");
  EXPECT_EQ(r.Substitute(""), "");
  // The trail byte 0x5C of a double-byte character is not an escape.
  EXPECT_EQ(r.Substitute("\x95\x5C$1"),
            "\x95\x5C"
            "a");
  // A lead byte before "$" is no character: the reference still counts.
  EXPECT_EQ(r.Substitute("\x81$1"),
            "\x81"
            "a");
}

TEST(RidRegExpr, ReplaceAll) {
  TRidRegExpr r;
  r.SetExpression("a*");
  EXPECT_EQ(r.Replace("bb", "-"), "-b-b-");
  r.SetExpression("(\\w+)@(\\w+)");
  EXPECT_EQ(r.Replace("x a@b, c@d.", "$2 at $1", true), "x b at a, d at c.");
  EXPECT_EQ(r.Replace("x a@b", "$2", false), "x $2");
  r.SetExpression("q");
  EXPECT_EQ(r.Replace("abc", "z"), "abc");
}

TEST(RidRegExpr, CaseFoldingKeepsDoubleByteCharactersIntact) {
  // 0x83 0x41 and 0x83 0x61 are different characters whose trail bytes look like "A" and "a".
  EXPECT_EQ(AllMatches("\x83\x41", "\x83\x61 \x83\x41", "i"), "4,2");
  EXPECT_EQ(AllMatches("x\x83\x41", "X\x83\x61", "i"), "");
  EXPECT_EQ(AllMatches("(\x83\x41)\\1", "\x83\x41\x83\x61\x83\x41\x83\x41", "i"), "5,4");
  // A trail byte that equals a metacharacter is part of its character, not syntax.
  EXPECT_EQ(AllMatches("\x95\x5C+", "\x95\x5C\x95\x5C"), "1,4");
  EXPECT_EQ(AllMatches("[\x95\x5C]", "\x5C"), "1,1");
  // Matching itself is byte-wise: a class or "." can match a lone trail byte.
  EXPECT_EQ(AllMatches("A", "\x83\x41"), "2,1");
  // A range may end at a double-byte character: its trail byte is a member, not an escape.
  EXPECT_EQ(AllMatches("[a-\x83\x5C]+", "b\x5C"), "1,2");
  // A lead byte without a trail byte after it is a byte of its own: the syntax after it holds.
  EXPECT_EQ(AllMatches("x\x81+", "x\x81\x81 "), "1,3");
  EXPECT_EQ(AllMatches("[\xE0-\xFF]", "\xB8"), "1,1");
  EXPECT_EQ(AllMatches("(\x81)", "\x81"), "1,1");
}

// Faults of the original design, built soundly.
TEST(RidRegExpr, CountedLoopsRestoreTheirStateOnFailure) {
  EXPECT_EQ(AllMatches("(a|ab){1,2}c", "abac"), "1,4");
  EXPECT_EQ(Group("(a|ab){1,2}c", "abac", 1), "3,1");
  EXPECT_EQ(AllMatches("(a|ab){2}?c", "aabc"), "1,4");
  EXPECT_EQ(AllMatches("((a|ab){1,2}){2}c", "aababc"), "1,6");
  EXPECT_EQ(AllMatches("(ab|a)+?c", "aabc"), "1,4");
}

TEST(RidRegExpr, QuantifiedBackReferences) {
  EXPECT_EQ(AllMatches("(ab)\\1*abc", "abababc"), "1,7");
  EXPECT_EQ(AllMatches("(a?)\\1*x", "bbbx"), "4,1");
  EXPECT_EQ(AllMatches("(a?)(\\1)*x", "x"), "1,1");
  EXPECT_EQ(AllMatches("(a?)(\\1){2,}x", "aaax"), "1,4");
  EXPECT_EQ(AllMatches("(a)\\1{2}", "aaaa"), "1,3");
  EXPECT_EQ(AllMatches("(a{0,2})*b", "aaab c"), "1,4");
}

TEST(RidRegExpr, LoopBodiesThatCanBeEmptyDoNotHideMatchStarts) {
  EXPECT_EQ(AllMatches("(b{0,}){1,}", "xb"), "1,0 2,1 3,0");
  EXPECT_EQ(AllMatches("(\\x41{0,}?A{0}){1,}", "c"), "1,0 2,0");
  EXPECT_EQ(AllMatches("([.]{0,2}){3}?x", "ax"), "2,1");
  EXPECT_EQ(AllMatches("a\\x00", "a"), "");  // a literal NUL never matches the input's end
}

TEST(RidRegExpr, BackReferenceToAnOpenGroupUsesTheLastCompletedCapture) {
  EXPECT_EQ(Group("(a|b\\1)+", "aba", 1), "2,2");
  EXPECT_EQ(AllMatches("(a|b\\1)+", "aba"), "1,3");
  EXPECT_EQ(AllMatches("(c(a|b\\2))+", "cacbacba"), "1,5");
}

TEST(RidRegExpr, LongLinesDoNotExhaustTheStack) {
  const std::string line(1 << 20, 'a');
  EXPECT_EQ(AllMatches("(a|b)*", line),
            "1," + std::to_string(1 << 20) + " " + std::to_string((1 << 20) + 1) + ",0");
  EXPECT_EQ(AllMatches("(a|b)+?$", line.substr(0, 100000)), "1,100000");
  EXPECT_EQ(AllMatches("(\\w+\\s?)*x", std::string(100000, 'a') + "x"), "1,100001");
}

// The CPU time this thread has used, in seconds: what the work costs, however busy the machine.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

TEST(RidRegExpr, WorkBudgetStopsCatastrophicPatterns) {
  const double start = ThreadCpuSeconds();
  TRidRegExpr r;
  r.SetExpression("(a+)+b");
  try {
    r.Exec(std::string(40, 'a') + "!b");
    FAIL() << "expected the budget to run out";
  } catch (const ERidRegExpr& e) {
    EXPECT_EQ(e.ErrorCode, reeMatchBudgetExceeded);
    EXPECT_EQ(e.Message, "TRidRegExpr(exec): Search Stopped, Expression Too Complex For This Text");
  }
  EXPECT_EQ(r.MatchPos(0), -1);
  EXPECT_LT(ThreadCpuSeconds() - start, 5.0);  // a safety net: the budget counts steps
  // The object stays usable.
  r.SetExpression("a+b");
  EXPECT_TRUE(r.Exec("aab"));
}

// Unit repeated to n bytes, then the tail.
std::string Repeated(const std::string& unit, size_t n, const std::string& tail = "") {
  std::string s;
  while (s.size() < n) s += unit;
  return s + tail;
}

// "pos" of the first match, "none", or "error CODE".
std::string FirstMatchOrError(TRidRegExpr& r, const std::string& input) {
  try {
    return r.Exec(input) ? std::to_string(r.MatchPos(0)) : "none";
  } catch (const ERidRegExpr& e) {
    return "error " + std::to_string(e.ErrorCode);
  }
}

TEST(RidRegExpr, BackReferencesAreChargedByTheBytesTheyCompare) {
  // Every start compares ever longer groups: cubic in the subject unless each compared byte
  // counts against the budget.
  struct Case {
    const char* Expr;
    bool Caseless;
    const char* Unit;
    const char* Tail;
  } cases[] = {{"(a*)\\1b", false, "a", "caab"}, {"(a*)\\1x", true, "aA", "!aAx"}};
  for (const Case& c : cases) {
    TRidRegExpr r;
    r.SetModifier(remI, c.Caseless);
    r.SetExpression(c.Expr);
    EXPECT_EQ(FirstMatchOrError(r, Repeated(c.Unit, 200, c.Tail)), "202") << c.Expr;
    EXPECT_EQ(FirstMatchOrError(r, Repeated(c.Unit, 1500, c.Tail)), "error 1016") << c.Expr;
  }
}

TEST(RidRegExpr, AWalkOverAllMatchesSharesOneBudget) {
  // Each search alone is cheap, but every start backs off over the rest of the run: walking all
  // matches is quadratic and must stop, however it walks.
  const std::string input(5000, 'a');
  TRidRegExpr r;
  r.SetExpression("a*[ab]c|a");
  try {
    r.Replace(input, "x");
    FAIL() << "expected the walk's budget to run out";
  } catch (const ERidRegExpr& e) {
    EXPECT_EQ(e.ErrorCode, reeMatchBudgetExceeded);
  }
  int32_t found = 0;
  auto walk = [&](auto&& next) {
    try {
      for (bool ok = r.Exec(input); ok; ok = next()) ++found;
      return std::string("end");
    } catch (const ERidRegExpr& e) {
      return "error " + std::to_string(e.ErrorCode);
    }
  };
  EXPECT_EQ(walk([&] { return r.ExecNext(); }), "error 1016");
  EXPECT_GT(found, 0);
  found = 0;
  EXPECT_EQ(walk([&] { return r.ExecPos(r.MatchPos(0) + 1); }), "error 1016");
  // Going back begins a new walk.
  EXPECT_TRUE(r.ExecPos(1));
  EXPECT_EQ(r.MatchPos(0), 1);
  EXPECT_EQ(r.MatchLen(0), 1);
}

TEST(RidRegExpr, RepeatsFollowedByWhatTheyCannotTakeAreWalkedInLinearTime) {
  // Giving back a byte of the run can never let what follows match: such a repeat is tried at
  // its full count only, and a run is counted once for all the starts inside it.
  struct Case {
    const char* Expr;
    const char* Unit;
    const char* Replaced;
  } cases[] = {{"a*[bc]|a", "a", "x"},
               {"[0-9]+px|[0-9]", "7", "x"},
               {"\\w+\\(|\\w", "ab_", "x"},
               {"a*?[bc]|a", "a", "x"},
               {"[^\"]*\"|.", "a", "x"}};
  for (const Case& c : cases) {
    TRidRegExpr r;
    r.SetExpression(c.Expr);
    const std::string input = Repeated(c.Unit, 100000);
    EXPECT_EQ(r.Replace(input, c.Replaced), std::string(input.size(), 'x')) << c.Expr;
  }
  // Backing off still finds what a later byte allows.
  EXPECT_EQ(AllMatches("a*ab|a", "aaab"), "1,4");
  EXPECT_EQ(AllMatches("[a-c]*c|x", "abcabd"), "1,3");
  EXPECT_EQ(AllMatches("a{2,3}?b|a", "aaab"), "1,4");
}

// An alternative is tried only where its first byte can begin it; the order still decides.
TEST(RidRegExpr, AlternativesAreTriedWhereTheyCanBegin) {
  EXPECT_EQ(AllMatches("while|return|foreach|for", "for foreach"), "1,3 5,7");
  EXPECT_EQ(AllMatches("(^|,)a", "a,a,ba"), "1,1 2,2");
  EXPECT_EQ(AllMatches("(|b)c", "c bc"), "1,1 3,2");
  EXPECT_EQ(AllMatches("(x|\\b)a|b", "ba a"), "1,1 4,1");
  EXPECT_EQ(AllMatches("(c|C)at|dog", "Cat dOG", "i"), "1,3 5,3");
}

TEST(RidRegExpr, LongAlternationsCompile) {
  std::string expr;
  for (int i = 0; i < 65536; ++i) expr += "a|";
  expr += "b";
  EXPECT_EQ(AllMatches(expr, "cba"), "2,1 3,1");
}

// ExecView searches the caller's text in place, as Exec searches its copy: the view's end is the
// input's end even when more bytes follow it in memory, and its first NUL ends it too.
TEST(RidRegExpr, ExecViewFindsWhatExecFinds) {
  const char* const patterns[] = {"c$", "c\\Z", "cX", "c\\b", "(?m)c$", "c.",
                                  "a*", "\\w+", "^b", "\r$",  "(?m)^",  "[^a]*"};
  const std::string inputs[] = {"abc", "ab\r", "cb c", "", "a\r\nbc", std::string("bc\0c", 4)};
  for (const char* pattern : patterns) {
    for (const std::string& input : inputs) {
      for (int32_t offset = 1; offset <= static_cast<int32_t>(input.size()) + 2; ++offset) {
        TRidRegExpr copy, view;
        copy.SetExpression(pattern);
        view.SetExpression(pattern);
        std::string expected, got;
        copy.Exec(input);
        for (bool ok = copy.ExecPos(offset); ok; ok = copy.ExecNext()) {
          expected += std::to_string(copy.MatchPos(0)) + "," + copy.Match(0) + " ";
        }
        const std::string memory = input + "Xc\n";  // bytes past the view that must not count
        for (bool ok = view.ExecView(std::string_view(memory.data(), input.size()), offset); ok;
             ok = view.ExecNext()) {
          got += std::to_string(view.MatchPos(0)) + "," + view.Match(0) + " ";
        }
        EXPECT_EQ(got, expected) << pattern << " on [" << input << "] from " << offset;
      }
    }
  }
  // Substitute reads the caller's text too.
  TRidRegExpr r;
  r.SetExpression("(\\w+)=(\\w+)");
  const std::string line = "x key=value y";
  ASSERT_TRUE(r.ExecView(line, 3));
  EXPECT_EQ(r.Substitute("$2=$1"), "value=key");
  EXPECT_FALSE(r.ExecView(std::string_view(), 1));
  EXPECT_FALSE(r.ExecView(line, 20));
}

TEST(RidRegExpr, LoopStackHoldsTenNestedLoops) {
  auto nested = [](int n) {
    std::string e;
    for (int i = 0; i < n; ++i) e += "(";
    e += "a";
    for (int i = 0; i < n; ++i) e += "){1,2}";
    return e;
  };
  TRidRegExpr r;
  r.SetExpression(nested(10));
  EXPECT_TRUE(r.Exec("a"));
  r.SetExpression(nested(11));
  try {
    r.Exec("a");
    FAIL();
  } catch (const ERidRegExpr& e) {
    EXPECT_EQ(e.Message, "TRidRegExpr(exec): Loop Stack Exceeded");
  }
}

TEST(RidRegExpr, ExpressionAndSettingsChangesRecompile) {
  TRidRegExpr r;
  r.SetExpression("\\w+");
  EXPECT_EQ(AllMatches(r, "ab-cd"), "1,2 4,2");
  r.SetWordChars("abcd-");
  EXPECT_EQ(AllMatches(r, "ab-cd"), "1,5");
  r.SetExpression("");
  EXPECT_EQ(r.GetExpression(), "");
  try {
    r.Exec("x");
    FAIL();
  } catch (const ERidRegExpr& e) {
    EXPECT_EQ(e.ErrorCode, 100);
  }
  r.SetExpression("b");
  EXPECT_TRUE(r.Exec("ab"));
  EXPECT_EQ(r.Match(0), "b");
}

// The start-position filters (line starts, leading and required literals) must find exactly
// what a search trying every position finds: a leading comment node switches them off.
TEST(RidRegExpr, StartFiltersFindWhatAnUnfilteredSearchFinds) {
  const std::string far(70000, 'x');  // longer than any look-ahead window of the filters
  const std::string inputs[] = {
      "#include a\r\n  #include b\n\t#include c\r#include d\n\r#include e",
      "\r\n#include\r\r\n\n#include",
      "  #includ\n#include// c //\r\n// d\n/// e // f",
      far + "\n#include " + far + "NoSuchIdentifierHere\r" + far + "\r\n  #include // g",
      far + "NoSuchIdentifierHer" + "\n" + far + "Ident1 Ident22\x82\xA0Ident",
      std::string("#include\n#in\0clude\n#include", 27),
  };
  const char* const patterns[] = {"^\\s*#include",
                                  "^",
                                  "^$",
                                  "^#?",
                                  "NoSuchIdentifierHere",
                                  "Ident\\w*",
                                  "//[^\n]*$",
                                  "//",
                                  "include$",
                                  "(^)\n",
                                  "^(\\s*)(#)",
                                  "\\s*#include",
                                  "\\A\\s*#\\w",
                                  "[A-Za-z_]\\w*\\s",
                                  "\\bc\\b",
                                  "INCLUDE\\s*\\w"};
  struct TSetting {
    const char* Separators;
    const char* Pair;
  };
  const TSetting settings[] = {
      {"\r\n", "\r\n"}, {"\n", ""}, {"", "\r\n"}, {"\n\r\x0b\x0c\x1c\x1d", "\r\n"}};
  for (const TSetting& setting : settings) {
    for (const char* pattern : patterns) {
      for (const std::string& input : inputs) {
        for (bool caseless : {false, true}) {
          TRidRegExpr filtered, plain;
          for (TRidRegExpr* r : {&filtered, &plain}) {
            r->SetLineSeparators(setting.Separators);
            r->SetLinePairedSeparator(setting.Pair);
            r->SetModifier(remM, true);
            r->SetModifier(remI, caseless);
          }
          filtered.SetExpression(pattern);
          plain.SetExpression(std::string("(?#c)") + pattern);
          std::string expected, got;
          for (auto [r, out] : {std::pair{&plain, &expected}, std::pair{&filtered, &got}}) {
            for (bool found = r->Exec(input); found; found = r->ExecNext()) {
              for (int n = 0; n < 3; ++n) {
                *out += std::to_string(r->MatchPos(n)) + "," + std::to_string(r->MatchLen(n)) + " ";
              }
            }
          }
          EXPECT_EQ(got, expected) << pattern << " separators " << setting.Separators;
        }
      }
    }
  }
}

}  // namespace
}  // namespace rid
