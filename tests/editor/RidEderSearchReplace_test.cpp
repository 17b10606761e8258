// Search and replace in the editor control: the range, the prompt, replace-all with its progress
// window, undo, the failure path, and whole files against perl.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <sstream>

#include "editor/Progress.h"
#include "editor/RidEder.h"
#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"
#include "platform/Forms.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

const std::string A = "\x83\x41";   // ア
const std::string Di = "\x83\x61";  // ヂ
const std::string So = "\x83\x5c";  // ソ

// Options from letters: c match case, w whole word, b backwards, e entire scope, s selected
// text only, r replace, a replace all, p prompt.
TRidSearchOptions Flags(std::string_view Letters) {
  TRidSearchOptions o;
  for (char c : Letters)
    o.Include(static_cast<TRidSearchOption>(std::string_view("cwbesrap").find(c)));
  return o;
}

// An editor with both engines; text goes in and out as file bytes with LF breaks.
struct TSearchEder {
  TRidEder Ed{nullptr};
  TRidEderSearch Plain{nullptr};
  TRidEderRegexSearch Regex{nullptr};
  std::string Answers;  // what the prompt answers, in order: y replace, n skip, a all, c cancel
  int Asked = 0;
  std::vector<TBufferCoord> AskedAt;

  explicit TSearchEder(const std::string& Text = {}) {
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
    Load(Text);
    Ed.SetSearchEngine(&Plain);
  }
  void Load(const std::string& Text) {
    Ed.GetLines()->LoadFromBytes(Text);
    Ed.ClearUndo();
  }
  std::string Text() const { return Ed.GetLines()->SaveToBytes(); }
  void Answer(const std::string& Letters) {
    Answers = Letters;
    Ed.OnReplaceText = [this](TObject*, const std::string&, const std::string&, int32_t Line,
                              int32_t Column, TRidReplaceAction& Action) {
      AskedAt.push_back({Column, Line});
      const char c = Asked < static_cast<int>(Answers.size()) ? Answers[Asked] : '-';
      ++Asked;
      if (c == 'y') Action = raReplace;
      if (c == 'n') Action = raSkip;
      if (c == 'a') Action = raReplaceAll;
      if (c == 'c') Action = raCancel;
    };
  }
  void Select(TRidSelectionMode Mode, TBufferCoord B, TBufferCoord E) {
    Ed.SetSelectionMode(Mode);
    Ed.SetCaretXY(E);
    Ed.SetBlockBegin(B);
    Ed.SetBlockEnd(E);
  }
};

// A selection made before the call, the caret at its end; Mode smNormal from (1,1) to (1,1):
// none.
struct TSelection {
  TRidSelectionMode Mode = smNormal;
  TBufferCoord Begin{1, 1}, End{1, 1};
  bool Any() const { return !(Begin == TBufferCoord{1, 1} && End == TBufferCoord{1, 1}); }
};

struct ReplaceCase {
  const char* Name;
  std::string Text, Search, Replace;
  std::string Options;  // Flags' letters, and x for the regular-expression engine
  TSelection Selection;
  std::string Answers;  // empty: no OnReplaceText; "-": a handler that answers nothing
  int32_t WantCount;
  std::string WantText;
  int32_t WantCaretChar, WantCaretLine;  // 0: not checked
  bool WantBeep;
};

TEST(RidEderSearchReplace, RangeModesPromptsAndCounts) {
  const TSelection none;
  // clang-format off
  const std::vector<ReplaceCase> cases = {
      {"empty pattern", "aaa", "", "b", "ea", none, "", 0, "aaa", 0, 0, false},
      {"a by bb, three times", "aaa", "a", "bb", "ea", none, "", 3, "bbbbbb", 7, 1, true},
      {"backwards needs no offset", "ab ab\nab", "ab", "x", "eab", none, "", 3, "x x\nx", 0, 0, true},
      {"a search selects the first hit", "xx ab ab", "ab", "", "e", none, "", 1, "xx ab ab", 6, 1, false},
      {"backwards the last, caret at its start", "ab ab", "b", "", "be", none, "", 1, "ab ab", 5, 1, false},
      {"from the caret forwards", "ab ab\nab", "ab", "x", "a", {smNormal, {2, 1}, {2, 1}}, "", 2, "ab x\nx", 0, 0, true},
      {"from the caret backwards", "ab ab", "ab", "x", "ab", {smNormal, {4, 1}, {4, 1}}, "", 1, "x ab", 0, 0, true},
      {"a hit ending on the range's end", "abab", "ab", "x", "sa", {smNormal, {1, 1}, {3, 1}}, "", 1, "xab", 0, 0, true},
      {"a hit starting on the range's start", "abab", "ab", "x", "sa", {smNormal, {3, 1}, {5, 1}}, "", 1, "abx", 0, 0, true},
      {"a hit across the range's end", "abab", "ab", "x", "sa", {smNormal, {1, 1}, {4, 1}}, "", 1, "xab", 0, 0, true},
      {"a line selection searches whole lines", "ab ab\nab ab\nab", "ab", "x", "sa", {smLine, {4, 1}, {2, 2}}, "", 4, "x x\nx x\nab", 0, 0, true},
      {"a column selection keeps to its columns", "abab\nabab\nabab", "ab", "x", "sa", {smColumn, {3, 1}, {5, 2}}, "", 2, "abx\nabx\nabab", 0, 0, true},
      {"prompt answers", "a a a a", "a", "b", "eap", none, "ynyc", 4, "b a b a", 0, 0, false},
      {"all at the second prompt", "a a\na", "a", "b", "eap", none, "na", 3, "a b\nb", 0, 0, true},
      {"one replacement, then stop", "a a", "a", "b", "er", none, "", 1, "b a", 2, 1, false},
      {"prompt without a handler replaces", "a a", "a", "b", "eap", none, "", 2, "b b", 0, 0, true},
      {"a handler that answers nothing cancels", "a a", "a", "b", "eap", none, "-", 1, "a a", 0, 0, false},
      {"a skipped hit leaves the caret at its end", "ab a", "ab", "b", "erp", none, "n", 1, "ab a", 3, 1, false},
      {"line breaks in the replacement", "ab ab\nab", "ab", "1\n2", "ea", none, "", 3, "1\n2 1\n2\n1\n2", 2, 5, true},
      {"line breaks keep the range's end", "ab ab\nab ab", "ab", "x\ny", "sa", {smNormal, {1, 1}, {3, 2}}, "", 3, "x\ny x\ny\nx\ny ab", 0, 0, true},
      {"no lines", "", "a", "b", "ea", none, "", 0, "", 0, 0, true},
      {"whole word", "ab abc ab", "ab", "x", "eaw", none, "", 2, "x abc x", 0, 0, true},
      {"A inside a katakana", A + "A", "A", "B", "eac", none, "", 1, A + "B", 0, 0, true},
      {"a folded katakana is not another", Di + A, A, "x", "ea", none, "", 1, Di + "x", 0, 0, true},
      {"backslash inside so", So + "\\", "\\", "/", "ea", none, "", 1, So + "/", 0, 0, true},
      {"regex .* replaced as perl does", "abc", ".*", "X", "eax", none, "", 2, "XX", 0, 0, true},
      {"regex groups", "a1 b2", "(\\w)(\\d)", "$2$1", "eax", none, "", 2, "1a 2b", 0, 0, true},
      {"regex line start", "aa\naa", "^a", "b", "eax", none, "", 2, "ba\nba", 0, 0, true},
  };
  // clang-format on
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TSearchEder s(c.Text);
    if (c.Options.find('x') != std::string::npos) s.Ed.SetSearchEngine(&s.Regex);
    if (!c.Answers.empty()) s.Answer(c.Answers);
    if (c.Selection.Any()) s.Select(c.Selection.Mode, c.Selection.Begin, c.Selection.End);
    const uint32_t beeps = MessageBeepCount();
    const std::string options = c.Options.substr(0, c.Options.find('x'));
    EXPECT_EQ(s.Ed.SearchReplace(c.Search, c.Replace, Flags(options)), c.WantCount);
    EXPECT_EQ(s.Text(), c.WantText);
    if (c.WantCaretChar > 0) {
      EXPECT_EQ(s.Ed.GetCaretXY(), (TBufferCoord{c.WantCaretChar, c.WantCaretLine}));
    }
    EXPECT_EQ(MessageBeepCount() - beeps, c.WantBeep ? 1u : 0u);
    EXPECT_EQ(s.Ed.GetPaintLock(), 0);
    EXPECT_EQ(s.Ed.GetUndoList().GetBlockCount(), 0);
  }
}

TEST(RidEderSearchReplace, AHitIsSelectedAndReplacedAsTextInEverySelectionMode) {
  for (TRidSelectionMode mode : {smNormal, smLine, smColumn}) {
    SCOPED_TRACE(static_cast<int>(mode));
    TSearchEder s("ab cd\nef");
    s.Ed.SetSelectionMode(mode);
    ASSERT_EQ(s.Ed.SearchReplace("cd", "", Flags("e")), 1);
    EXPECT_EQ(s.Ed.GetSelText(), "cd");
    ASSERT_EQ(s.Ed.SearchReplace("cd", "x", Flags("er")), 1);
    EXPECT_EQ(s.Text(), "ab x\nef");
  }
}

// Replace, one hit at a time, inside a selection: what is left of the selection stays selected,
// so that the next Replace goes on inside it, and the walk ends as replacing all of the
// selection at once does.
TEST(RidEderSearchReplace, AWalkOfReplacementsStaysInsideTheSelection) {
  struct Case {
    const char* Name;
    std::string Text, Search, Replace;
    std::string Options;  // besides s and r
    TSelection Selection;
    int32_t WantReplaced;
    std::string WantText;
  };
  // clang-format off
  const Case cases[] = {
      {"a longer replacement", "a a b a", "a", "bb", "", {smNormal, {1, 1}, {6, 1}}, 2, "bb bb b a"},
      {"the last hit at the selection's end", "a a b a", "a", "bb", "", {smNormal, {1, 1}, {4, 1}}, 2, "bb bb b a"},
      {"a replacement as long as the hit", "a a b a", "a", "c", "", {smNormal, {1, 1}, {6, 1}}, 2, "c c b a"},
      {"a shorter replacement", "ab ab ab ab", "ab", "x", "", {smNormal, {1, 1}, {9, 1}}, 3, "x x x ab"},
      {"a replacement holding the pattern", "a a a", "a", "aa", "", {smNormal, {1, 1}, {4, 1}}, 2, "aa aa a"},
      {"over lines", "a a\nb a\na", "a", "bb", "", {smNormal, {3, 1}, {4, 2}}, 2, "a bb\nb bb\na"},
      {"a replacement holding a line break", "a a\na", "a", "x\ny", "", {smNormal, {1, 1}, {4, 1}}, 2, "x\ny x\ny\na"},
      {"backwards", "a a b a", "a", "bb", "b", {smNormal, {1, 1}, {6, 1}}, 2, "bb bb b a"},
      {"whole lines", "a a\nb a\na", "a", "bb", "", {smLine, {2, 1}, {1, 2}}, 3, "bb bb\nb bb\na"},
      {"whole lines, a replacement holding the pattern", "a a\na", "a", "aa", "", {smLine, {1, 1}, {2, 1}}, 2, "aa aa\na"},
      {"columns", "a a a\na a a\na a a", "a", "bb", "", {smColumn, {3, 1}, {4, 2}}, 2, "a bb a\na bb a\na a a"},
      {"columns, two hits a row", "a a a\na a a\na a a", "a", "c", "", {smColumn, {2, 1}, {6, 2}}, 4, "a c c\na c c\na a a"},
      {"columns backwards", "a a a\na a a\na a a", "a", "bb", "b", {smColumn, {3, 2}, {4, 3}}, 2, "a a a\na bb a\na bb a"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TSearchEder walk(c.Text);
    walk.Select(c.Selection.Mode, c.Selection.Begin, c.Selection.End);
    int32_t replaced = 0;
    while (walk.Ed.SelAvail() && replaced < 10 &&
           walk.Ed.SearchReplace(c.Search, c.Replace, Flags("sr" + c.Options)) > 0)
      ++replaced;
    EXPECT_EQ(replaced, c.WantReplaced);
    EXPECT_EQ(walk.Text(), c.WantText);
    TSearchEder all(c.Text);
    all.Select(c.Selection.Mode, c.Selection.Begin, c.Selection.End);
    EXPECT_EQ(all.Ed.SearchReplace(c.Search, c.Replace, Flags("sa" + c.Options)), c.WantReplaced);
    EXPECT_EQ(all.Text(), c.WantText) << "replacing all";
  }
}

TEST(RidEderSearchReplace, ColumnSelectionRefusesALineBreakBeforeAnyChange) {
  TSearchEder s("abab\nabab");
  s.Select(smColumn, {1, 1}, {3, 2});
  EXPECT_THROW(s.Ed.SearchReplace("ab", "x\ny", Flags("sa")), ERidEderError);
  EXPECT_EQ(s.Text(), "abab\nabab");
  EXPECT_FALSE(s.Ed.CanUndo());
  EXPECT_EQ(s.Ed.SearchReplace("ab", "x\ny", Flags("s")), 1);  // finding is fine
}

TEST(RidEderSearchReplace, NeedsAnEngineAndForgetsAFreedOne) {
  TSearchEder s("abc");
  auto engine = std::make_unique<TRidEderSearch>(nullptr);
  s.Ed.SetSearchEngine(engine.get());
  EXPECT_EQ(s.Ed.SearchReplace("b", "", Flags("e")), 1);
  engine.reset();
  EXPECT_EQ(s.Ed.GetSearchEngine(), nullptr);
  try {
    s.Ed.SearchReplace("b", "", Flags("e"));
    ADD_FAILURE() << "no error";
  } catch (const ERidEderError& e) {
    EXPECT_STREQ(e.what(), "No search engine has been assigned");
  }
}

// Empty when A and B are equal, else their first differing line.
std::string FirstDifference(const std::string& A, const std::string& B) {
  if (A == B) return {};
  size_t at = 0, line = 1;
  while (at < A.size() && at < B.size() && A[at] == B[at]) line += A[at++] == '\n';
  auto lineOf = [&](const std::string& S) {
    const size_t from = S.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t start = from == std::string::npos || at == 0 ? 0 : from + 1;
    return testing::PrintToString(S.substr(start, S.find('\n', at) - start));
  };
  return "line " + std::to_string(line) + ": " + lineOf(A) + " against " + lineOf(B);
}

// Columns past 1,024 are positions inside a long line like any other: a replace-all there
// replaces each hit once and undoes byte for byte, and Find Next moves on past a hit there.
TEST(RidEderSearchReplace, LongLinesAreReplacedAndWalkedLikeShortOnes) {
  const std::string line = std::string(1020, 'b') + std::string(10, 'a');
  std::string replaced = std::string(1020, 'b');
  for (int k = 0; k < 10; ++k) replaced += "<a>";
  TSearchEder s(line + "\n");
  EXPECT_EQ(s.Ed.SearchReplace("a", "<a>", Flags("cear")), 10);
  EXPECT_EQ(s.Text(), replaced + "\n");
  s.Ed.Undo();
  EXPECT_EQ(s.Text(), line + "\n");

  TSearchEder find(std::string(1100, 'b') + "a\nxa\n");
  find.Ed.SetCaretXY({1, 1});
  ASSERT_EQ(find.Ed.SearchReplace("a", "", Flags("c")), 1);
  EXPECT_EQ(find.Ed.GetBlockBegin(), (TBufferCoord{1101, 1}));
  ASSERT_EQ(find.Ed.SearchReplace("a", "", Flags("c")), 1);
  EXPECT_EQ(find.Ed.GetBlockBegin(), (TBufferCoord{2, 2}));
  EXPECT_EQ(find.Ed.SearchReplace("a", "", Flags("c")), 0);
  // Find Previous alike from the end.
  find.Ed.SetCaretXY({3, 2});
  ASSERT_EQ(find.Ed.SearchReplace("a", "", Flags("cb")), 1);
  EXPECT_EQ(find.Ed.GetBlockBegin(), (TBufferCoord{2, 2}));
  ASSERT_EQ(find.Ed.SearchReplace("a", "", Flags("cb")), 1);
  EXPECT_EQ(find.Ed.GetBlockBegin(), (TBufferCoord{1101, 1}));
  EXPECT_EQ(find.Ed.GetCaretXY(), (TBufferCoord{1101, 1}));
  EXPECT_EQ(find.Ed.SearchReplace("a", "", Flags("cb")), 0);
}

// Text with double-byte characters whose second bytes look like the letters searched, and lead
// bytes without a trail byte.
std::string RandomText(std::mt19937& Rng, int Lines) {
  static const std::vector<std::string> pieces = {"a", "b", "ab", "A",        " ",    "\\", "\x81 ",
                                                  A,   Di,  So,   "\x95\x5c", "\xb1", "1",  "\x83"};
  std::string s;
  for (int i = 0; i < Lines; ++i) {
    for (int k = Rng() % 30; k > 0; --k) s += pieces[Rng() % pieces.size()];
    s += '\n';
  }
  return s;
}

// Lines of 1 to 5,000 bytes, many past the 1,024 columns a caret may go beyond a line's end,
// with double-byte characters whose second bytes are 5C, 40 and 7C, and lead bytes without a
// trail byte.
std::string LongLines(std::mt19937& Rng, int Lines) {
  static const std::vector<std::string> pieces = {
      "a", "b", "A",        "\\",       "@",        "|",        " ", "\x81 ",
      "1", So,  "\x95\x5c", "\x81\x40", "\x83\x40", "\x83\x7c", A,   "\x83"};
  std::string s;
  for (int i = 0; i < Lines; ++i) {
    const size_t bytes = 1 + Rng() % 5000;
    std::string line;
    while (line.size() < bytes) line += pieces[Rng() % pieces.size()];
    s += line + '\n';
  }
  return s;
}

// One to three whole characters of Text, from a character start.
std::string PieceOf(std::mt19937& Rng, std::string_view Text) {
  TRidCharStarts starts(Text);
  size_t at = 0;
  for (size_t skip = Rng() % Text.size(); at < Text.size() && skip > 0; --skip)
    at = starts.NextAfter(at);
  size_t end = at;
  for (int n = 1 + Rng() % 3; n > 0 && end < Text.size() && Text[end] != '\n'; --n)
    end = starts.NextAfter(end);
  if (end == at) return "a";
  return std::string(Text.substr(at, end - at));
}

// The same characters as a regular expression that matches them literally.
std::string Escaped(std::string_view Piece) {
  std::string re;
  TRidCharStarts starts(Piece);
  for (size_t at = 0; at < Piece.size(); at = starts.NextAfter(at)) {
    const size_t next = starts.NextAfter(at);
    if (next == at + 1 && std::strchr("\\|.*+?()[]{}^$", Piece[at])) re += '\\';
    re.append(Piece.substr(at, next - at));
  }
  return re;
}

struct Hit {
  TBufferCoord Begin, End;
  bool operator==(const Hit&) const = default;
};

// Replace-all over long Shift-JIS lines with either engine gives what replacing the engine's own
// hits line by line gives; one undo brings back the loaded bytes and one redo the replaced ones.
TEST(RidEderSearchReplace, ReplaceAllOfLongLinesEqualsReplacingEachLinesHits) {
  std::mt19937 rng(29);
  const std::vector<std::string> replacements = {"", "Z", "\x93\xfa", "<>", "Z\nz"};
  for (int round = 0; round < 24; ++round) {
    const bool regex = round % 2;
    const std::string text = LongLines(rng, 1 + rng() % 5);
    const std::string piece = PieceOf(rng, text);
    const std::string pattern = regex ? Escaped(piece) : piece;
    const std::string replacement = replacements[rng() % replacements.size()];
    const std::string options = rng() % 2 ? "c" : "";
    SCOPED_TRACE(testing::Message() << "round " << round << " pattern "
                                    << testing::PrintToString(pattern) << " options " << options);
    // The model: each line's hits from a second engine set up alike, replaced from the left.
    TRidEderSearch plain(nullptr);
    TRidEderRegexSearch re(nullptr);
    TRidEderSearchCustom& engine = regex ? static_cast<TRidEderSearchCustom&>(re) : plain;
    engine.SetOptions(Flags(options));
    engine.SetPattern(pattern);
    std::string want;
    int32_t hits = 0;
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find('\n', at);
      const std::string_view line = std::string_view(text).substr(at, end - at);
      size_t from = 0;
      for (int32_t i = 0, n = engine.FindAll(line); i < n; ++i, ++hits) {
        want.append(line.substr(from, engine.MatchPos(i) - 1 - from));
        want += replacement;
        from = engine.MatchPos(i) - 1 + engine.MatchLength(i);
      }
      want.append(line.substr(from));
      want += '\n';
      at = end + 1;
    }
    TSearchEder s(text);
    if (regex) s.Ed.SetSearchEngine(&s.Regex);
    EXPECT_EQ(s.Ed.SearchReplace(pattern, replacement, Flags("ea" + options)), hits);
    ASSERT_EQ(FirstDifference(s.Text(), want), "");
    s.Ed.Undo();
    ASSERT_EQ(FirstDifference(s.Text(), text), "");
    s.Ed.Redo();
    ASSERT_EQ(FirstDifference(s.Text(), want), "");
  }
}

// A lead byte before a blank is a character of its own: the blank is found and replaced, and
// the lead byte stays, also where it then forms a character with the byte after the blank.
TEST(RidEderSearchReplace, ALeadByteBeforeABlankLeavesTheBlankToTheSearch) {
  const struct {
    std::string Text, With, Want;
    int32_t Count;
  } cases[] = {
      {"\x81 a\n\x81 ", "x", "\x81xa\n\x81x", 2},
      {"a \x81 \x95\x5c b", "",
       "a\x81\x95\x5c"
       "b",
       3},
      {"\x81 \x83\x40 \x81 (", "", "\x81\x83\x40\x81(", 3},
  };
  for (const auto& c : cases)
    for (bool regex : {false, true}) {
      SCOPED_TRACE(testing::PrintToString(c.Text) + (regex ? " regular expression" : " plain"));
      TSearchEder s(c.Text);
      if (regex) s.Ed.SetSearchEngine(&s.Regex);
      EXPECT_EQ(s.Ed.SearchReplace(" ", c.With, Flags("ea")), c.Count);
      EXPECT_EQ(s.Text(), c.Want);
    }
}

// Find Next from the end of each hit and Find Previous from its start meet every hit of
// FindAll once, in order.
TEST(RidEderSearchReplace, FindNextAndPreviousVisitEveryHitInOrder) {
  std::mt19937 rng(3);
  for (int round = 0; round < 40; ++round) {
    TSearchEder s(round % 3 == 2 ? LongLines(rng, 3) : RandomText(rng, 12));
    const bool regex = round % 2;
    if (regex) s.Ed.SetSearchEngine(&s.Regex);
    const std::string pattern = regex
                                    ? std::vector<std::string>{"a+", "[A\\\\]", "b|1"}[rng() % 3]
                                    : std::vector<std::string>{"a", "A", "ab", "\\", A}[rng() % 5];
    TRidEderSearchCustom& engine = *s.Ed.GetSearchEngine();
    engine.SetOptions(Flags(round % 4 < 2 ? "c" : ""));
    engine.SetPattern(pattern);
    std::vector<Hit> want;
    for (int32_t line = 1; line <= s.Ed.Lines()->GetCount(); ++line)
      for (int32_t i = 0, n = engine.FindAll(s.Ed.Lines()->Get(line - 1)); i < n; ++i)
        want.push_back(
            {{engine.MatchPos(i), line}, {engine.MatchPos(i) + engine.MatchLength(i), line}});
    const std::string options = round % 4 < 2 ? "c" : "";
    std::vector<Hit> forward, backward;
    // A walk that sticks on a hit stops one step past the hits there are.
    s.Ed.SetCaretXY({1, 1});
    while (forward.size() <= want.size() && s.Ed.SearchReplace(pattern, "", Flags(options)) == 1)
      forward.push_back({s.Ed.GetBlockBegin(), s.Ed.GetBlockEnd()});
    const int32_t last = s.Ed.Lines()->GetCount();
    s.Ed.SetCaretXY({static_cast<int32_t>(s.Ed.Lines()->Get(last - 1).size()) + 1, last});
    while (backward.size() <= want.size() &&
           s.Ed.SearchReplace(pattern, "", Flags(options + "b")) == 1)
      backward.insert(backward.begin(), {s.Ed.GetBlockBegin(), s.Ed.GetBlockEnd()});
    EXPECT_EQ(forward, want) << pattern;
    EXPECT_EQ(backward, want) << pattern;
  }
}

// The progress window shows while the rest is replaced, and user input waits until the end.
TEST(RidEderSearchReplace, ReplaceAllShowsProgressAndLeavesTypedKeysQueued) {
  TSearchEder s("a\nb\na\na\nb");
  int keys = 0;
  s.Ed.OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++keys; };
  bool shownDuringRun = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout,
                   [&] { shownDuringRun |= frmProgress && frmProgress->GetVisible(); });
  s.Ed.OnReplaceText = [&](TObject*, const std::string&, const std::string&, int32_t, int32_t,
                           TRidReplaceAction& Action) {
    ++s.Asked;
    QApplication::postEvent(s.Ed.ClientWidget(),
                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier));
    watch.start(0);
    Action = raReplaceAll;
  };
  EXPECT_EQ(s.Ed.SearchReplace("a", "c", Flags("eap")), 3);
  watch.stop();
  EXPECT_EQ(s.Asked, 1);
  EXPECT_EQ(s.Text(), "c\nb\nc\nc\nb");
  EXPECT_EQ(keys, 0);
  EXPECT_TRUE(shownDuringRun);
  ASSERT_NE(frmProgress, nullptr);
  EXPECT_FALSE(frmProgress->GetVisible());
  EXPECT_EQ(frmProgress->PGB->GetMin(), 1);
  EXPECT_EQ(frmProgress->PGB->GetMax(), 5);
  EXPECT_EQ(frmProgress->PGB->GetPosition(), 4);
  EXPECT_EQ(s.Ed.GetCursor(), crIBeam);
  EXPECT_EQ(Screen()->GetCursor(), crDefault);
  QApplication::processEvents();
  EXPECT_EQ(keys, 1);
  // One undo step for the run from "all" on.
  s.Ed.Undo();
  EXPECT_EQ(s.Text(), "a\nb\na\na\nb");
}

// A search that fails half way (the engine's work budget, or a handler that throws) still
// hides the window, gives back both cursors and the locks; one undo restores the file.
TEST(RidEderSearchReplace, AFailureHalfWayReleasesEverything) {
  const std::string text = "ab\nab\n" + std::string(40, 'a') + "c b\nab";
  for (bool budget : {true, false}) {
    SCOPED_TRACE(budget ? "work budget" : "throwing handler");
    TSearchEder s(text);
    s.Ed.SetSearchEngine(&s.Regex);
    int32_t lastTransient = -1;
    s.Ed.OnPaintTransient = [&](TObject*, TCanvas*, int32_t Type) { lastTransient = Type; };
    s.Ed.SetCursor(crHandPoint);
    s.Answer(budget ? "a" : "yt");
    if (!budget) {
      s.Ed.OnReplaceText = [&](TObject*, const std::string&, const std::string&, int32_t, int32_t,
                               TRidReplaceAction& Action) {
        if (s.Asked++ > 0) throw Exception("handler failed");
        Action = raReplace;
      };
    }
    try {
      s.Ed.SearchReplace(budget ? "(a+)+b" : "ab", "x", Flags("eap"));
      ADD_FAILURE() << "no error";
    } catch (const ERidRegExpr& e) {
      EXPECT_TRUE(budget);
      EXPECT_EQ(e.ErrorCode, reeMatchBudgetExceeded);
    } catch (const Exception& e) {
      EXPECT_FALSE(budget);
      EXPECT_STREQ(e.what(), "handler failed");
    }
    EXPECT_NE(s.Text(), text);  // something was replaced before the failure
    EXPECT_EQ(s.Ed.GetPaintLock(), 0);
    EXPECT_EQ(s.Ed.GetUndoList().GetBlockCount(), 0);
    EXPECT_EQ(lastTransient, 1);
    EXPECT_EQ(s.Ed.GetCursor(), crHandPoint);
    EXPECT_EQ(Screen()->GetCursor(), crDefault);
    if (frmProgress) {
      EXPECT_FALSE(frmProgress->GetVisible());
    }
    s.Ed.Undo();
    EXPECT_EQ(s.Text(), text);
  }
}

// With the default undo limit of 1024 items, one undo takes back a replace-all of 100,000 hits
// byte for byte, and one redo repeats it.
TEST(RidEderSearchReplace, OneUndoRevertsAHundredThousandReplacements) {
  std::string text;
  for (int line = 0; line < 1000; ++line) {
    for (int k = 0; k < 100; ++k) text += k % 7 ? "ab " : A + "ab";
    text += "\n";
  }
  TSearchEder s(text);
  ASSERT_EQ(s.Ed.GetMaxUndo(), 1024);
  ASSERT_EQ(s.Ed.SearchReplace("ab", "xyz", Flags("ea")), 100000);
  const std::string replaced = s.Text();
  s.Ed.Undo();
  EXPECT_EQ(s.Text(), text);
  EXPECT_FALSE(s.Ed.CanUndo());
  s.Ed.Redo();
  EXPECT_EQ(s.Text(), replaced);
  EXPECT_FALSE(s.Ed.CanRedo());
}

// A file's lines with the break after each ("" after the last).
std::vector<std::pair<std::string, std::string>> LinesAndBreaks(const std::string& Text) {
  std::vector<std::pair<std::string, std::string>> lines(1);
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] != '\r' && Text[i] != '\n') {
      lines.back().first += Text[i];
      continue;
    }
    lines.back().second = Text.compare(i, 2, "\r\n") == 0 ? "\r\n" : std::string(1, Text[i]);
    i += lines.back().second.size() - 1;
    lines.emplace_back();
  }
  return lines;
}

// The oracle of a replace-all in lines First..Last of a file: each line's hits found at its
// character starts from the left, none overlapping, and replaced; a file with one kind of break
// saves the new breaks as that kind, and Trim takes the blanks off the end of each row of a
// changed line (of a line whose hits were only deleted, only where the caret may stand past a
// line's end, PastEol). Hits receives their number.
std::string ModelReplaceAll(const std::string& Text, const std::string& Pattern,
                            const std::string& With, int32_t First, int32_t Last, bool Trim,
                            bool PastEol, int32_t& Hits) {
  auto lines = LinesAndBreaks(Text);
  std::set<std::string> kinds;
  for (const auto& l : lines)
    if (!l.second.empty()) kinds.insert(l.second);
  const bool mixed = kinds.size() > 1;
  const std::string style = kinds.size() == 1 ? *kinds.begin() : "\r\n";
  Hits = 0;
  std::string out;
  for (int32_t n = 1; n <= static_cast<int32_t>(lines.size()); ++n) {
    const auto& [line, lineBreak] = lines[n - 1];
    std::string replaced;
    int32_t found = 0;
    TRidCharStarts starts(line);
    for (size_t at = 0; at < line.size();) {
      if (line.compare(at, Pattern.size(), Pattern) == 0) {
        replaced += With;
        at += Pattern.size();
        ++found;
      } else {
        const size_t next = starts.NextAfter(at);
        replaced.append(line, at, next - at);
        at = next;
      }
    }
    if (found == 0 || n < First || n > Last) {
      out += line + (mixed ? lineBreak : lineBreak.empty() ? "" : style);
      continue;
    }
    Hits += found;
    auto rows = LinesAndBreaks(replaced);
    for (size_t r = 0; r < rows.size(); ++r) {
      std::string row = rows[r].first;
      if (Trim && (PastEol || !With.empty())) row.erase(row.find_last_not_of(" \t") + 1);
      const std::string rowBreak = r + 1 < rows.size() ? rows[r].second : lineBreak;
      out += row + (mixed || rowBreak.empty() ? rowBreak : style);
    }
  }
  return out;
}

// Lines of characters whose second bytes look like letters, lead bytes without a second byte,
// blanks at their ends, joined by breaks of one kind or of mixed kinds.
std::string MixedText(std::mt19937& Rng) {
  static const std::vector<std::string> pieces = {"a", "b", "ab", " ",        "\t",    "\\",
                                                  A,   Di,  So,   "\x95\x5c", "\x81 ", "\x83"};
  static const char* breaks[] = {"\r\n", "\n", "\r"};
  const int style = Rng() % 4;  // 3: mixed
  std::string s;
  for (int n = 1 + Rng() % 12; n > 0; --n) {
    for (int k = Rng() % 12; k > 0; --k) s += pieces[Rng() % pieces.size()];
    if (n > 1 || Rng() % 2) s += breaks[style == 3 ? Rng() % 3 : style];
  }
  return s;
}

// Replace All leaves its result as the oracle says, undoes in one step to the saved bytes and
// clears Modified there, also past a small undo limit; redo repeats it.
TEST(RidEderSearchReplace, ReplaceAllUndoesInOneStepToTheSavedBytes) {
  std::mt19937 rng(34);
  const std::vector<std::string> patterns = {"a", "ab", " ", "\\", A, A + "b", "b" + So, "\x81 "};
  const std::vector<std::string> withs = {"", "Z", " ", "\x93\xfa", "x\ny", "\r\n", "y \rz\r\n"};
  for (int round = 0; round < 400; ++round) {
    TSearchEder s(MixedText(rng));
    const bool regex = rng() % 2, trim = rng() % 2, lines = rng() % 3 == 0, pastEol = rng() % 2;
    const int32_t limit = std::vector<int32_t>{1024, 1, 2}[rng() % 3];
    const std::string pattern = patterns[rng() % patterns.size()];
    const std::string with = withs[rng() % withs.size()];
    std::string options = std::string("ca") + (rng() % 2 ? "b" : "");
    if (regex) s.Ed.SetSearchEngine(&s.Regex);
    if (trim) s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoTrimTrailingSpaces});
    if (!pastEol) s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoScrollPastEol});
    s.Ed.SetMaxUndo(limit);
    // An edit, then the save.
    const std::string original = s.Text();
    s.Ed.SetCaretXY({1, 1});
    s.Ed.CommandProcessor(ecChar, 'z', nullptr);
    s.Ed.SetModified(false);
    const std::string saved = s.Text();
    const int32_t count = s.Ed.Lines()->GetCount();
    int32_t first = 1, last = count;
    if (lines) {
      first = 1 + rng() % count;
      last = first + rng() % (count - first + 1);
      // Whole lines, whatever the columns (past the end of an empty line).
      const auto length = static_cast<int32_t>(s.Ed.Lines()->Get(last - 1).size());
      s.Select(smLine, {1, first}, {std::max(2, length + 1), last});
      options += "s";
    } else {
      options += "e";
    }
    SCOPED_TRACE(testing::Message()
                 << "round " << round << " text " << testing::PrintToString(saved) << " pattern "
                 << testing::PrintToString(pattern) << " with " << testing::PrintToString(with)
                 << " options " << options << (trim ? " trim" : "")
                 << (pastEol ? "" : " no-past-eol") << " limit " << limit << " lines " << first
                 << " to " << last);
    int32_t hits = 0;
    const std::string want =
        ModelReplaceAll(saved, pattern, with, first, last, trim, pastEol, hits);
    EXPECT_EQ(s.Ed.SearchReplace(regex ? Escaped(pattern) : pattern, with, Flags(options)), hits);
    ASSERT_EQ(s.Text(), want);
    EXPECT_EQ(s.Ed.GetModified(), hits > 0);
    if (hits == 0) continue;
    s.Ed.Undo();
    ASSERT_EQ(s.Text(), saved);
    EXPECT_FALSE(s.Ed.GetModified());
    s.Ed.Redo();
    ASSERT_EQ(s.Text(), want);
    EXPECT_TRUE(s.Ed.GetModified());
    EXPECT_FALSE(s.Ed.CanRedo());
    s.Ed.Undo();
    EXPECT_EQ(s.Text(), saved);
    EXPECT_FALSE(s.Ed.GetModified());
    if (limit < 1024) continue;
    s.Ed.Undo();  // the step before is still there
    EXPECT_EQ(s.Text(), original);
    EXPECT_TRUE(s.Ed.GetModified());
  }
}

// ---------------------------------------------------------------------------------------------
// Replace All against the same run answering Replace at each hit.

// What a person sees after a run: its count (-1 when it raised an error), the text, the `*`,
// whether it added an undo step, the bookmarks, the caret, the selection and the view.
struct TRunOutcome {
  int32_t Count = 0;
  std::string Error;  // of a run that raised one
  std::string Before, Text;
  bool Modified = false, AddedStep = false;
  std::vector<std::pair<int32_t, int32_t>> Marks;  // line and column of bookmarks 0 to 2
  TBufferCoord Caret, BlockBegin, BlockEnd;
  int32_t TopLine = 0;
  TRidSelectionMode ActiveMode = smNormal;
};

// Everything but the bytes, in words.
std::string Describe(const TRunOutcome& O) {
  std::ostringstream out;
  auto coord = [&](const TBufferCoord& P) -> std::ostream& {
    return out << P.Char << "," << P.Line;
  };
  out << "count " << O.Count << " " << O.Error << (O.Modified ? " modified" : "")
      << (O.AddedStep ? " a step" : "") << " marks";
  for (const auto& [line, col] : O.Marks) coord({col, line}) << " ";
  out << " caret ";
  coord(O.Caret) << " selection ";
  coord(O.BlockBegin) << "-";
  coord(O.BlockEnd) << " mode " << static_cast<int>(O.ActiveMode) << " top line " << O.TopLine;
  return out.str();
}

// One random round: a text saved after an edit, the state of the editor before the run, and
// the run's search.
struct TWalkRound {
  std::string Text, Search, Replace, Options;  // Flags' letters without a, p
  bool Regex = false, Trim = false, PastEof = false, Overwrite = false;
  bool PastEol = true;  // the editor's default
  int32_t Limit = 1024;
  int32_t AllAfter = -1;  // Replace All after answering Replace this often (-1: without asking)
  TSelection Selection;
  TBufferCoord Caret{1, 1};
  int32_t TopLine = 1;
  std::vector<TBufferCoord> Marks;
};

std::ostream& operator<<(std::ostream& Out, const TWalkRound& R) {
  Out << "text " << testing::PrintToString(R.Text) << " search " << testing::PrintToString(R.Search)
      << " with " << testing::PrintToString(R.Replace) << " options " << R.Options
      << (R.Regex ? " regex" : "") << (R.Trim ? " trim" : "") << (R.PastEof ? " past-eof" : "")
      << (R.PastEol ? "" : " no-past-eol") << (R.Overwrite ? " overwrite" : "") << " all after "
      << R.AllAfter << " limit " << R.Limit << " caret " << R.Caret.Char << "," << R.Caret.Line
      << " top " << R.TopLine;
  if (R.Selection.Any())
    Out << " selection " << static_cast<int>(R.Selection.Mode) << " " << R.Selection.Begin.Char
        << "," << R.Selection.Begin.Line << "-" << R.Selection.End.Char << ","
        << R.Selection.End.Line;
  for (const TBufferCoord& m : R.Marks) Out << " mark " << m.Char << "," << m.Line;
  return Out;
}

// The editor of a round, in its state before the run: the text loaded, edited and saved; its
// bytes then.
std::string SetUp(TSearchEder& S, const TWalkRound& R) {
  if (R.Regex) S.Ed.SetSearchEngine(&S.Regex);
  TRidEderorOptions options = S.Ed.GetOptions();
  if (R.Trim) options += TRidEderorOptions{eoTrimTrailingSpaces};
  if (R.PastEof) options += TRidEderorOptions{eoScrollPastEof};
  if (!R.PastEol) options -= TRidEderorOptions{eoScrollPastEol};
  S.Ed.SetOptions(options);
  S.Ed.SetInsertMode(!R.Overwrite);
  S.Ed.SetMaxUndo(R.Limit);
  if (!R.Text.empty() && !R.Trim) {  // (an empty text keeps no line; an edited line is trimmed)
    S.Ed.SetCaretXY({1, 1});
    S.Ed.CommandProcessor(ecChar, 'z', nullptr);
    S.Ed.CommandProcessor(ecDeleteLastChar, 0, nullptr);
  }
  S.Ed.SetModified(false);
  for (size_t k = 0; k < R.Marks.size(); ++k)
    S.Ed.SetBookMark(static_cast<int32_t>(k), R.Marks[k].Char, R.Marks[k].Line);
  if (R.Selection.Any())
    S.Select(R.Selection.Mode, R.Selection.Begin, R.Selection.End);
  else
    S.Ed.SetCaretXY(R.Caret);
  S.Ed.SetTopLine(R.TopLine);
  return S.Text();
}

TRunOutcome Outcome(TSearchEder& S) {
  TRunOutcome o;
  o.Text = S.Text();
  o.Modified = S.Ed.GetModified();
  for (int32_t k = 0; k < 3; ++k) {
    int32_t x = 0, y = 0;
    if (S.Ed.GetBookMark(k, x, y)) o.Marks.push_back({y, x});
  }
  o.Caret = S.Ed.GetCaretXY();
  o.BlockBegin = S.Ed.GetBlockBegin();
  o.BlockEnd = S.Ed.GetBlockEnd();
  o.TopLine = S.Ed.GetTopLine();
  o.ActiveMode = S.Ed.GetActiveSelectionMode();
  return o;
}

// The change number of the newest undo step (0 without one): a step added changes it, also where
// the undo limit drops the one before.
int32_t NewestChange(TSearchEder& S) {
  const TRidEderUndoItem* item = S.Ed.GetUndoList().PeekItem();
  return item ? item->GetChangeNumber() : 0;
}

// The round's run one by one, answering Replace at every hit, or all at once: without asking,
// or after answering Replace at the first hits.
TRunOutcome RunRound(TSearchEder& S, const TWalkRound& R, bool OneByOne) {
  const std::string before = SetUp(S, R);
  std::string letters = "ap";
  if (OneByOne)
    S.Ed.OnReplaceText = [&S](TObject*, const std::string&, const std::string&, int32_t, int32_t,
                              TRidReplaceAction& Action) {
      ++S.Asked;
      Action = raReplace;
    };
  else if (R.AllAfter >= 0)
    S.Answer(std::string(R.AllAfter, 'y') + "a");
  else
    letters = "a";
  const int32_t newest = NewestChange(S);
  int32_t count = -1;
  std::string error;
  try {
    count = S.Ed.SearchReplace(R.Search, R.Replace, Flags(R.Options + letters));
  } catch (const Exception& e) {
    error = e.what();
  }
  TRunOutcome o = Outcome(S);
  o.Count = count;
  o.Error = error;
  o.Before = before;
  o.AddedStep = NewestChange(S) != newest;
  return o;
}

// Characters whose second bytes are in the ASCII range (ソ 表 能 ａ, '@' seconds), lead bytes
// without a second byte, blanks and letters, in 0 to 70 lines joined by breaks of one kind or
// mixed.
std::string WalkText(std::mt19937& Rng) {
  static const std::vector<std::string> pieces = {
      "a",        "b",        "ab",    " ",    "\t",       "\\",       "@",
      "$",        A,          Di,      So,     "\x95\x5c", "\x94\x5c", "\x82\x81",
      "\x81\x40", "\x83\x40", "\x81 ", "\x83", "\x93\xfa"};
  static const char* breaks[] = {"\r\n", "\n", "\r"};
  if (Rng() % 12 == 0) return "";
  const int style = Rng() % 4;  // 3: mixed
  std::string s;
  for (int n = Rng() % 3 == 0 ? 1 + Rng() % 70 : 1 + Rng() % 8; n > 0; --n) {
    for (int k = Rng() % 10; k > 0; --k) s += pieces[Rng() % pieces.size()];
    if (n > 1 || Rng() % 2) s += breaks[style == 3 ? Rng() % 3 : style];
  }
  return s;
}

TBufferCoord SomewhereIn(std::mt19937& Rng, TRidEder& Ed) {
  const int32_t lines = std::max(1, Ed.Lines()->GetCount());
  const int32_t line = 1 + Rng() % lines;
  const int32_t length =
      Ed.Lines()->GetCount() ? static_cast<int32_t>(Ed.Lines()->Get(line - 1).size()) : 0;
  return {1 + static_cast<int32_t>(Rng() % (length + 2)), line};
}

TWalkRound RandomWalkRound(std::mt19937& Rng) {
  static const std::vector<std::string> plain = {"a", "ab",     " ",     "\\",   "@",
                                                 A,   "b" + So, "\x81 ", "\x83", "$"};
  static const std::vector<std::string> regexes = {"^",  "$",           "x*",     "^ *",  "a|",
                                                   ".",  "a+",          "(a)|b",  "\\\\", " +$",
                                                   "b*", "(\\w)(\\d)?", "[@\\\\]"};
  static const std::vector<std::string> withs = {
      "",     "Z",         "\x93\xfa",   "x\ny",
      "\r\n", "y \rz\r\n", "\x83",       "x\x83",
      "$1",   "<$&>",      "\x83\x5c\n", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13"};
  TWalkRound r;
  r.Text = WalkText(Rng);
  r.Regex = Rng() % 2;
  r.Search = r.Regex ? regexes[Rng() % regexes.size()] : plain[Rng() % plain.size()];
  r.Replace = withs[Rng() % withs.size()];
  r.Trim = Rng() % 2;
  r.PastEof = Rng() % 4 == 0;
  r.PastEol = Rng() % 2 == 0;
  r.Overwrite = Rng() % 4 == 0;
  if (Rng() % 4 == 0) r.AllAfter = Rng() % 4;
  r.Limit = std::vector<int32_t>{1024, 1, 2, 7}[Rng() % 4];
  r.Options =
      std::string(Rng() % 2 ? "c" : "") + (Rng() % 5 == 0 ? "w" : "") + (Rng() % 2 ? "b" : "");
  TSearchEder probe(r.Text);
  r.Caret = SomewhereIn(Rng, probe.Ed);
  r.TopLine = 1 + Rng() % std::max(1, probe.Ed.Lines()->GetCount());
  for (int k = Rng() % 4; k > 0; --k) r.Marks.push_back(SomewhereIn(Rng, probe.Ed));
  switch (Rng() % 5) {
    case 0:
    case 1:
      r.Options += "e";
      break;
    case 2:
      break;  // from the caret
    default: {
      r.Options += "s";
      const TRidSelectionMode modes[] = {smNormal, smLine, smColumn};
      r.Selection.Mode = modes[Rng() % 3];
      TBufferCoord b = SomewhereIn(Rng, probe.Ed), e = SomewhereIn(Rng, probe.Ed);
      if (e.Line < b.Line || (e.Line == b.Line && e.Char < b.Char)) std::swap(b, e);
      r.Selection.Begin = b;
      r.Selection.End = e;
    }
  }
  return r;
}

// Replacing all at once leaves what answering Replace at each hit leaves: the same count, text,
// `*`, undo step, marks, caret, selection and view; one undo of it gives the saved bytes back.
TEST(RidEderSearchReplace, ReplaceAllLeavesWhatReplacingEachHitLeaves) {
  std::mt19937 rng(38);
  for (int round = 0; round < 3000; ++round) {
    const TWalkRound r = RandomWalkRound(rng);
    SCOPED_TRACE(testing::Message() << "round " << round << " " << r);
    TSearchEder walk(r.Text), all(r.Text);
    const TRunOutcome oneByOne = RunRound(walk, r, true), atOnce = RunRound(all, r, false);
    EXPECT_EQ(Describe(atOnce), Describe(oneByOne));
    EXPECT_EQ(FirstDifference(atOnce.Text, oneByOne.Text), "");
    EXPECT_EQ(walk.Asked, std::max(0, oneByOne.Count));
    if (r.Limit == 1024) {
      // Each replacement undoes exactly, back to the text loaded.
      for (int steps = 0; walk.Ed.CanUndo() && steps <= 2 * oneByOne.Count + 4; ++steps)
        walk.Ed.Undo();
      EXPECT_EQ(walk.Text(), TSearchEder(r.Text).Text());
    }
    if (!atOnce.Modified || r.AllAfter >= 0) continue;  // asked first: a step for each answer
    all.Ed.Undo();
    EXPECT_EQ(all.Text(), atOnce.Before);
    EXPECT_FALSE(all.Ed.GetModified());
  }
}

// Cases where replacing all at once once left something else than the walk hit by hit: both
// leave what the row says, and the same as each other.
TEST(RidEderSearchReplace, ReplaceAllAndTheWalkAgreeWhereTheyOnceDiffered) {
  const std::string b59 = [] {
    std::string s;
    for (int k = 0; k < 59; ++k) s += "b\n";
    return s;
  }();
  std::string lines13;
  for (int k = 1; k <= 13; ++k) lines13 += std::to_string(k) + (k < 13 ? "\n" : "");
  struct Case {
    const char* Name;
    TWalkRound Round;
    int32_t WantCount;
    std::string WantText;
    bool WantModified;
    std::vector<int32_t> WantMarkLines;  // of the marks Round sets, in order
    int32_t WantBottomLine;              // the last line in view; 0: not checked
    TBufferCoord WantCaret{0, 0};        // 0: not checked
  };
  auto round = [](std::string Text, std::string Search, std::string With, std::string Options,
                  bool Regex) {
    TWalkRound r;
    r.Text = std::move(Text);
    r.Search = std::move(Search);
    r.Replace = std::move(With);
    r.Options = std::move(Options);
    r.Regex = Regex;
    return r;
  };
  auto trimmed = [](TWalkRound R) {
    R.Trim = true;
    return R;
  };
  auto kept = [](TWalkRound R) {  // trimmed, and the caret kept within the line
    R.Trim = true;
    R.PastEol = false;
    return R;
  };
  auto marked = [](TWalkRound R, std::vector<TBufferCoord> Marks) {
    R.Marks = std::move(Marks);
    return R;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"^ by nothing", round("ab\nc\n", "^", "", "e", true), 3, "ab\nc\n", false},
      {"$ by nothing", round("ab\nc", "$", "", "e", true), 2, "ab\nc", false},
      {"x* by nothing", round("ab", "x*", "", "e", true), 3, "ab", false},
      {"^ * by nothing", round("ab", "^ *", "", "e", true), 1, "ab", false},
      {"a| by nothing", round("bc", "a|", "", "e", true), 3, "bc", false},
      {"$1 without a group", round("ab", "x*", "$1", "e", true), 3, "ab", false},
      {"no trim of an unchanged line", trimmed(round("aa\\  \r\n", "^", "", "e", true)), 2, "aa\\  \r\n", false},
      {"empty hits and a real one", trimmed(round("a  \r\n", "a|x*", "", "e", true)), 5, "\r\n", true},
      {"an empty text backwards, a break", round("", "^", "x\ny", "b", true), 1, "x\r\ny", true},
      {"an empty text backwards, a*", round("", "a*", "\r\n", "b", true), 1, "\r\n", true},
      {"a 13-line replacement at the end", round(b59 + "a\nb\nb", "a", lines13, "e", false), 1,
       b59 + lines13 + "\nb\nb", true, {}, 72},
      {"marks after a backwards run adding lines", marked(round("aa\nc", "a", "x\n", "eb", false), {{1, 1}, {1, 2}}),
       2, "x\nx\n\nc", true, {2, 4}},
      {"marks, a line break for each", marked(round("aa", "a", "\n", "eb", false), {{1, 1}}), 2, "\r\n\r\n", true, {2}},
      {"marks, forwards", marked(round("aa\nc", "a", "x\n", "e", false), {{1, 1}, {1, 2}}), 2, "x\nx\n\nc", true, {3, 4}},
      {"a lone lead byte before the replaced, backwards", round("\x83\x24", ".", "\x93\xfa", "eb", true), 2,
       "\x93\xfa\x93\xfa", true},
      {"a replacement ending in a lead byte, forwards", round("ab", ".", "x\x83", "e", true), 2, "x\x83x\x83", true},
      {"a replacement ending in a lead byte before an empty hit", round("ab", "a|", "x\x83", "e", true), 3,
       "x\x83x\x83" "bx\x83", true},
      {"trailing blanks between hits of a line", trimmed(round("p\t", "x*", "Z", "e", true)), 3, "ZpZ\tZ", true},
      // Trimming is that of a single edit: a deletion trims only where the caret may stand past
      // the line's end; the hits of a line are replaced with its blanks, and then trimmed; the
      // caret keeps the column where the blanks ended, also past the columns a caret may
      // otherwise go beyond a line's end, so that a word typed next keeps the blank before it.
      {"a deletion leaves the blanks, the caret within lines", kept(round("x a \r\ny", "a", "", "e", false)), 1,
       "x  \r\ny", true, {}, 0, {3, 1}},
      {"a deletion trims, the caret past line ends", trimmed(round("x a \r\ny", "a", "", "e", false)), 1, "x\r\ny",
       true, {}, 0, {3, 1}},
      {"a deletion before a blank", kept(round("a ", "a", "", "e", false)), 1, " ", true, {}, 0, {1, 1}},
      {"a lone lead byte deleted after a tab, backwards", kept(round("\t\x81", "\x81", "", "eb", false)), 1, "\t",
       true, {}, 0, {2, 1}},
      {"blanks by blanks, backwards", kept(round("\t  ", " ", "  ", "eb", false)), 2, "", true, {}, 0, {11, 1}},
      {"blanks by broken blanks, backwards, marks", kept(marked(round("\t  ", " ", "  \r\n  ", "eb", false),
       {{1, 1}, {1, 2}})), 2, "\r\n\r\n", true, {1}, 0, {3, 2}},
      {"blanks by broken blanks, backwards, marks below", kept(marked(round("\t  \r\nz", " ", "  \r\n  ", "eb", false),
       {{1, 1}, {1, 2}})), 2, "\r\n\r\n\r\nz", true, {1, 4}, 0, {3, 2}},
      {"the end of a long line, the caret within lines", kept(round(std::string(1021, 'q') + " ", "[ \t]+$", "uvw ",
       "e", true)), 1, std::string(1021, 'q') + "uvw", true, {}, 0, {1026, 1}},
      {"the end of a long line, the caret past line ends", trimmed(round(std::string(1021, 'q') + " ", "[ \t]+$",
       "uvw ", "e", true)), 1, std::string(1021, 'q') + "uvw", true, {}, 0, {1026, 1}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TSearchEder walk(c.Round.Text), all(c.Round.Text);
    const TRunOutcome oneByOne = RunRound(walk, c.Round, true),
                      atOnce = RunRound(all, c.Round, false);
    EXPECT_EQ(Describe(atOnce), Describe(oneByOne));
    EXPECT_EQ(atOnce.Text, oneByOne.Text);
    EXPECT_EQ(atOnce.Count, c.WantCount);
    EXPECT_EQ(atOnce.Error, "");
    EXPECT_EQ(atOnce.Text, c.WantText);
    EXPECT_EQ(atOnce.Modified, c.WantModified);
    EXPECT_EQ(atOnce.AddedStep, c.WantModified);
    std::vector<int32_t> markLines;
    for (const auto& [line, col] : atOnce.Marks) markLines.push_back(line);
    EXPECT_EQ(markLines, c.WantMarkLines);
    if (c.WantBottomLine > 0) {
      EXPECT_EQ(atOnce.TopLine + all.Ed.GetLinesInWindow() - 1, c.WantBottomLine);
    }
    if (c.WantCaret.Char > 0) {
      EXPECT_EQ(atOnce.Caret, c.WantCaret);
    }
    if (!c.WantModified) continue;
    // Undo and redo of the one step give the bytes and the marks back.
    all.Ed.Undo();
    EXPECT_EQ(all.Text(), atOnce.Before);
    all.Ed.Redo();
    EXPECT_EQ(all.Text(), c.WantText);
    EXPECT_EQ(Outcome(all).Marks, atOnce.Marks);
  }
}

// ---------------------------------------------------------------------------------------------
// Whole files against perl.

// The replace-all of the editor and perl's on the same file.
std::string PerlReplace(const std::string& Program, const std::string& Input, const std::string& Re,
                        const std::string& Replacement) {
  setenv("RID_RE", Re.c_str(), 1);
  setenv("RID_REPL", Replacement.c_str(), 1);
  return test::RunTool("perl -pe '" + Program + "'", Input);
}

std::string EderReplace(const std::string& Input, const std::string& Search,
                        const std::string& Replacement, const std::string& Options, bool Regex) {
  TSearchEder s(Input);
  if (Regex) s.Ed.SetSearchEngine(&s.Regex);
  s.Ed.SearchReplace(Search, Replacement, Flags("ea" + Options));
  return s.Text();
}

// Perl tries the pattern at character starts only: it walks whole characters first.
const std::string Walker =
    "\\G(?:(?>[\\x81-\\x9F\\xE0-\\xFC][\\x40-\\x7E\\x80-\\xFC]|[\\x00-\\xFF]))*?\\K";

// The pattern as a perl expression of its bytes; single-byte letters as [xX] when folding.
std::string PerlBytes(std::string_view Pattern, bool Fold) {
  std::string re;
  TRidCharStarts starts(Pattern);
  for (size_t at = 0; at < Pattern.size(); at = starts.NextAfter(at)) {
    const size_t next = starts.NextAfter(at);
    const char c = Pattern[at];
    if (Fold && next == at + 1 && std::isalpha(static_cast<unsigned char>(c))) {
      re += std::string("[") + static_cast<char>(std::tolower(c)) +
            static_cast<char>(std::toupper(c)) + "]";
      continue;
    }
    for (size_t k = at; k < next; ++k) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<uint8_t>(Pattern[k]));
      re += hex;
    }
  }
  return re;
}

TEST(RidEderSearchReplace, PlainReplaceAllOfAsciiMatchesPerl) {
  RID_NEED_TOOL("perl", "perl");
  std::mt19937 rng(11);
  std::string text;
  for (int i = 0; i < 2000; ++i) {
    for (int k = rng() % 60; k > 0; --k) text += "abAB .$\\*+?x"[rng() % 12];
    text += "\n";
  }
  for (int round = 0; round < 12; ++round) {
    std::string pattern;
    for (int k = 1 + rng() % 3; k > 0; --k) pattern += "abAB .$\\*+?"[rng() % 11];
    const std::string replacement = round % 3 ? "<$1&>" : "";
    const bool matchCase = round % 2;
    SCOPED_TRACE(pattern + (matchCase ? " case" : " nocase"));
    EXPECT_EQ(FirstDifference(EderReplace(text, pattern, replacement, matchCase ? "c" : "", false),
                              PerlReplace(matchCase ? "s/\\Q$ENV{RID_RE}\\E/$ENV{RID_REPL}/g"
                                                    : "s/\\Q$ENV{RID_RE}\\E/$ENV{RID_REPL}/gi",
                                          text, pattern, replacement)),
              "");
  }
}

TEST(RidEderSearchReplace, PlainReplaceAllOfShiftJisMatchesPerlWalkingCharacters) {
  RID_NEED_TOOL("perl", "perl");
  std::mt19937 rng(13);
  const std::string text = RandomText(rng, 3000);
  const std::vector<std::string> patterns = {"A", "a", "\\", "ab", A, A + "b", "b" + So, "1 "};
  for (const std::string& pattern : patterns) {
    for (bool matchCase : {true, false}) {
      for (const std::string replacement : {"", "x", "Z\nz"}) {
        SCOPED_TRACE(pattern + (matchCase ? " case " : " nocase ") + replacement);
        EXPECT_EQ(
            FirstDifference(EderReplace(text, pattern, replacement, matchCase ? "c" : "", false),
                            PerlReplace("s/$ENV{RID_RE}/$ENV{RID_REPL}/g", text,
                                        Walker + PerlBytes(pattern, !matchCase), replacement)),
            "");
      }
    }
  }
}

TEST(RidEderSearchReplace, RegexReplaceAllWithGroupsMatchesPerlWalkingCharacters) {
  RID_NEED_TOOL("perl", "perl");
  std::mt19937 rng(19);
  const std::string text = RandomText(rng, 3000);
  struct RegexOracle {
    std::string Ours, OursTemplate, Perl, PerlTemplate;
  };
  const std::vector<RegexOracle> cases = {
      {"([Aa])(b*)", "$2-$1", "([Aa])(b*)", "$2-$1"},
      {"(ab|A)1", "<$1>", "(ab|A)1", "<$1>"},
      {"\\\\+", "/", "\\\\+", "/"},
      {"^(b+)", "$1$1", "^(b+)", "$1$1"},
      {"(1) ", "[$&]", "(1) ", "[$&]"},
  };
  for (const RegexOracle& c : cases) {
    SCOPED_TRACE(c.Ours);
    setenv("RID_RE", (Walker + "(?:" + c.Perl + ")").c_str(), 1);
    const std::string perl =
        test::RunTool("perl -pe 's{$ENV{RID_RE}}{" + c.PerlTemplate + "}g'", text);
    EXPECT_EQ(FirstDifference(EderReplace(text, c.Ours, c.OursTemplate, "c", true), perl), "");
  }
}

}  // namespace
}  // namespace rid
