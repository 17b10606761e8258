// Bracket matching against a character-walk model, and the ten bookmarks.
#include <gtest/gtest.h>

#include <random>

#include "editor/RidEder.h"
#include "platform/Locale.h"

namespace rid {
namespace {

const std::string Ni = "\x93\xfa";     // 日
const std::string Cho = "\x81\x5b";    // ー: its trail byte is "["
const std::string De = "\x83\x66";     // デ
const std::string Ta = "\x83\x5e";     // タ
const std::string Ke = "\x83\x50";     // ケ: its trail byte is not a bracket
const std::string Kakko = "\x81\x69";  // （: a full-width bracket, not one of ours

struct TEder {
  TRidEder Ed{nullptr};
  TEder() {
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
  }
};

// The partner by a plain walk: every character of every line in order, no highlighter.
TBufferCoord ModelMatch(const std::vector<std::string>& Lines, TBufferCoord P) {
  static const std::string brackets = "()[]{}<>";
  struct TChar {
    TBufferCoord At;
    char C;
  };
  std::vector<TChar> chars;
  for (size_t l = 0; l < Lines.size(); ++l) {
    const std::string& s = Lines[l];
    for (size_t i = 0; i < s.size();) {
      // A lead byte pairs with a trail byte only; before "(" it is a character of its own.
      const bool pair = IsDBCSLeadByte(s[i]) && i + 1 < s.size() &&
                        IsDBCSTrailByte(static_cast<uint8_t>(s[i + 1]));
      chars.push_back({{int32_t(i + 1), int32_t(l + 1)}, pair ? '\0' : s[i]});
      i += pair ? 2 : 1;
    }
  }
  size_t at = 0;
  while (at < chars.size() && !(chars[at].At == P)) ++at;
  if (at == chars.size()) return {0, 0};  // outside, or on a trail byte
  const size_t k = brackets.find(chars[at].C);
  if (chars[at].C == '\0' || k == std::string::npos) return {0, 0};
  const char open = brackets[k], close = brackets[k ^ 1];
  int level = 1;
  for (size_t i = at; k % 2 == 0 ? ++i < chars.size() : i-- > 0;) {
    if (chars[i].C == open) ++level;
    if (chars[i].C == close && --level == 0) return chars[i].At;
  }
  return {0, 0};
}

TEST(RidEderBracket, MatchesAPlainCharacterWalk) {
  const std::string pieces[] = {"(",
                                ")",
                                "[",
                                "]",
                                "{",
                                "}",
                                "<",
                                ">",
                                "a",
                                " ",
                                Ni,
                                Cho,
                                De,
                                Ta,
                                Ke,
                                Kakko,
                                "\x83\x5b" /* ロ */,
                                "\x83\x5d" /* ン */,
                                "\x83\x7b" /* ボ */,
                                "\x83\x7d" /* ミ */,
                                "\x81" /* a lead byte: "(", ")", "<", ">" cannot trail */};
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> lines(1 + rng() % 5);
    std::string text;
    for (std::string& l : lines) {
      for (int n = rng() % 10; n > 0; --n) l += pieces[rng() % std::size(pieces)];
      text += (text.empty() && &l == &lines[0] ? "" : "\r\n") + l;
    }
    TEder s;
    s.Ed.SetText(text);
    for (int32_t l = 1; l <= static_cast<int32_t>(lines.size()); ++l)
      for (int32_t c = 0; c <= static_cast<int32_t>(lines[l - 1].size()) + 1; ++c)
        ASSERT_EQ(s.Ed.GetMatchingBracketEx({c, l}), ModelMatch(lines, {c, l}))
            << "seed " << seed << " at " << c << "," << l << " in " << testing::PrintToString(text);
  }
}

TEST(RidEderBracket, JapaneseTextAroundBrackets) {
  struct Case {
    const char* Name;
    std::string Text;
    TBufferCoord From, Want;
  };
  // clang-format off
  const Case cases[] = {
      // 5B 83 66 81 5B 83 5E 5D: the walk back must not take the trail byte of ー for "[".
      {"back over the trail byte of a long vowel", "[" + De + Cho + Ta + "]", {8, 1}, {1, 1}},
      {"forward over it", "[" + De + Cho + Ta + "]", {1, 1}, {8, 1}},
      {"a start on a trail byte is no bracket", Cho + "]", {2, 1}, {0, 0}},
      {"nesting over lines", "(a(" + Ni + ")\r\n" + Cho + ")", {1, 1}, {3, 2}},
      {"the seven-byte case", "(a(b)c)", {1, 1}, {7, 1}},
      {"no partner", "(" + Ni + "(", {1, 1}, {0, 0}},
      {"not a bracket", "abc", {2, 1}, {0, 0}},
      {"outside the line", "()", {3, 1}, {0, 0}},
      {"far into a long line", "(" + std::string(3000, 'a') + ")", {1, 1}, {3002, 1}},
      {"back from far into a long line", "(" + std::string(3000, 'a') + ")", {3002, 1}, {1, 1}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    s.Ed.SetText(c.Text);
    EXPECT_EQ(s.Ed.GetMatchingBracketEx(c.From), c.Want);
    s.Ed.SetCaretXY(c.From);
    s.Ed.FindMatchingBracket();
    EXPECT_EQ(s.Ed.GetCaretXY(), c.Want.Char ? c.Want : c.From);
  }
}

// Records what the bookmark events saw and does what it is told with the offered mark.
struct TBookmarkHandler {
  enum { Keep, Veto, Replace } Place = Keep;
  int Placed = 0, Cleared = 0;
  TRidEderMark* Replacement = nullptr;
  void OnPlace(TObject*, TRidEderMark*& Mark) {
    ++Placed;
    if (Place == Veto) Mark = nullptr;
    if (Place == Replace) Mark = Replacement = new TRidEderMark();
  }
  void OnClear(TObject*, TRidEderMark*&) { ++Cleared; }
};

TEST(RidEderBookmark, SetMoveVetoClearAndFollowTheText) {
  TEder s;
  TBookmarkHandler h;
  s.Ed.OnPlaceBookmark = TPlaceMarkEvent(&h, &TBookmarkHandler::OnPlace);
  s.Ed.OnClearBookmark = TPlaceMarkEvent(&h, &TBookmarkHandler::OnClear);
  s.Ed.SetText("a" + Ni + "b\r\nline 2\r\nline 3\r\nline 4");
  int32_t x = 0, y = 0;

  s.Ed.SetBookMark(3, 2, 1);
  ASSERT_TRUE(s.Ed.GetBookMark(3, x, y));
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, 1);
  EXPECT_TRUE(s.Ed.GetMarks().GetItem(0)->GetInternalImage());
  // Setting it elsewhere moves it: the old one is cleared once.
  s.Ed.SetBookMark(3, 1, 4);
  EXPECT_EQ(h.Cleared, 1);
  EXPECT_EQ(s.Ed.GetMarks().GetCount(), 1);
  ASSERT_TRUE(s.Ed.GetBookMark(3, x, y));
  EXPECT_EQ(y, 4);

  // A veto leaves the old mark; a replacement is kept as that bookmark.
  h.Place = TBookmarkHandler::Veto;
  s.Ed.SetBookMark(3, 1, 2);
  ASSERT_TRUE(s.Ed.GetBookMark(3, x, y));
  EXPECT_EQ(y, 4);
  h.Place = TBookmarkHandler::Replace;
  s.Ed.SetBookMark(5, 1, 2);
  EXPECT_TRUE(s.Ed.IsBookmark(5));
  EXPECT_EQ(s.Ed.GetMarks().IndexOf(h.Replacement), 1);
  h.Place = TBookmarkHandler::Keep;

  // Numbers outside 0..9 and lines outside the text do nothing.
  const int placed = h.Placed;
  for (int32_t n : {-1, 10}) {
    s.Ed.SetBookMark(n, 1, 1);
    s.Ed.ClearBookMark(n);
    s.Ed.GotoBookMark(n);
  }
  s.Ed.SetBookMark(0, 1, 0);
  s.Ed.SetBookMark(0, 1, 5);
  EXPECT_EQ(h.Placed, placed);
  EXPECT_FALSE(s.Ed.IsBookmark(0));

  // Marks follow inserted and deleted lines.
  s.Ed.SetCaretXY({1, 1});
  s.Ed.SetSelText("new\r\nnew\r\n");
  ASSERT_TRUE(s.Ed.GetBookMark(3, x, y));
  EXPECT_EQ(y, 6);
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({1, 4});
  s.Ed.SetSelText("");
  ASSERT_TRUE(s.Ed.GetBookMark(3, x, y));
  EXPECT_EQ(y, 3);

  // Going to a mark: the caret never stops inside a character the line has gained since.
  s.Ed.SetBookMark(1, 3, 1);
  s.Ed.SetCaretXY({1, 1});
  s.Ed.SetLineText("x" + Ni + "y");
  s.Ed.SetCaretXY({1, 3});
  s.Ed.GotoBookMark(1);
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(4, 1));
  EXPECT_FALSE(s.Ed.SelAvail());
  // A mark below the text is not gone to.
  s.Ed.SetBookMark(2, 1, 3);
  s.Ed.SetText("one line");
  s.Ed.GotoBookMark(2);
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(1, 1));

  const int cleared = h.Cleared;
  s.Ed.ClearBookMark(3);
  EXPECT_EQ(h.Cleared, cleared + 1);
  EXPECT_FALSE(s.Ed.IsBookmark(3));
  s.Ed.ClearBookMark(3);
  EXPECT_EQ(h.Cleared, cleared + 1);
}

}  // namespace
}  // namespace rid
