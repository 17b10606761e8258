// The words a completion offers: the distinct words of the text, sorted without ASCII case,
// read again by line content after edits.
#include "app/EderWords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "platform/Locale.h"

namespace rid {
namespace {

const TRidCharSet Ident = TRidCharSet::Range('0', '9') + TRidCharSet::Range('A', 'Z') +
                          TRidCharSet::Range('a', 'z') + TRidCharSet{'_'};

std::vector<std::string> Words(const std::string& Text, TBufferCoord Caret = {0, 0}) {
  TRidEderStringList lines;
  lines.SetTextStr(Text);
  return DistinctWords(lines, Ident, Caret);
}

TEST(EderWords, OffersTheDistinctWordsSortedWithoutCase) {
  const std::string De = "\x83\x66\x81\x5B\x83\x5E", Hyo = "\x95\x5C";  // データ, 表
  struct Case {
    const char* Name;
    std::string Text;
    TBufferCoord Caret;
    std::vector<std::string> Want;
  };
  const Case cases[] = {
      {"sorted without case, bytes between equals",
       "cherry Banana apple banana apple",
       {0, 0},
       {"apple", "Banana", "banana", "cherry"}},
      {"punctuation splits", "a.b(c)+d_e", {0, 0}, {"a", "b", "c", "d_e"}},
      {"double-byte characters are word characters",
       "x=" + De + "(" + Hyo + "1)",
       {0, 0},
       {"x", De, Hyo + "1"}},
      {"shorter first", "abc ab abcd", {0, 0}, {"ab", "abc", "abcd"}},
      {"the word at the caret is left out", "print pri\r\npri", {10, 1}, {"pri", "print"}},
      {"... inside it too", "prXint print", {3, 1}, {"print"}},
      {"... and right before it", "print", {1, 1}, {}},
      {"not another line's", "pri\r\npri", {4, 2}, {"pri"}},
      {"nothing", " \t()\r\n\r\n", {1, 1}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Words(c.Text, c.Caret), c.Want) << c.Name;
}

// The distinct words of Text by a plain walk over its characters, sorted as the index sorts.
std::vector<std::string> ModelWords(const std::string& Text) {
  std::set<std::string> model;
  std::string word;
  for (size_t i = 0; i <= Text.size();) {
    const bool dbcs = i + 1 < Text.size() && IsDBCSLeadByte(Text[i]);
    if (i < Text.size() && (dbcs || Ident.Contains(Text[i]))) {
      word.append(Text, i, dbcs ? 2 : 1);
      i += dbcs ? 2 : 1;
      continue;
    }
    if (!word.empty()) model.insert(word);
    word.clear();
    ++i;
  }
  std::vector<std::string> want(model.begin(), model.end());
  std::stable_sort(want.begin(), want.end(), [](const std::string& A, const std::string& B) {
    return AnsiCompareText(A, B) < 0;
  });
  return want;
}

std::string RandomText(std::mt19937& Rng, const std::vector<std::string>& Pieces, int Most) {
  std::string text;
  for (int k = std::uniform_int_distribution<int>(0, Most)(Rng); k > 0; --k)
    text += Pieces[std::uniform_int_distribution<size_t>(0, Pieces.size() - 1)(Rng)];
  return text;
}

// Random Shift-JIS text: the words agree with a plain walk over its characters.
TEST(EderWords, WordsAgreeWithAWalkOverTheCharacters) {
  std::mt19937 rng(21);
  const std::vector<std::string> pieces = {
      "a",  "B",        "_",        "z9",       " ",        "\t",   "(",
      ".",  "\x83\x5C", "\x81\x5B", "\x95\x5C", "\x82\xA0", "\xB1", "\x88\x9F",
      "Ab", "aB",       "\x83\x41", "\x83\x61", "\r\n"};
  for (int round = 0; round < 200; ++round) {
    const std::string text = RandomText(rng, pieces, 60);
    EXPECT_EQ(Words(text), ModelWords(text)) << text;
  }
}

// Long lines of long words that share their first sixteen bytes or so, double-byte characters
// across any offset: words running over any length of line, and ties between sort keys broken
// as a full comparison breaks them.
TEST(EderWords, LongWordsAndLinesAgreeWithAWalkOverTheCharacters) {
  std::mt19937 rng(33);
  const std::string kana = "\x83\x66\x81\x5B\x83\x5E";  // three double-byte characters
  const std::vector<std::string> starts = {"abcdefghijklmno",   "ABCDEFGHIJKLMNOP",
                                           "abcdefghijklmnopq", kana + kana + "ab",
                                           "a" + kana + kana,   kana + kana + "abc"};
  const std::vector<std::string> pieces = {"a", "B", "b", "_", "\x83\x61", "\x95\x5C", "\x83\x5C"};
  for (int round = 0; round < 100; ++round) {
    std::string text;
    for (int k = std::uniform_int_distribution<int>(0, 120)(rng); k > 0; --k) {
      if (rng() % 3 == 0) text += starts[rng() % starts.size()];
      text += RandomText(rng, pieces, 4);
      text += rng() % 9 == 0 ? "\r\n" : rng() % 2 == 0 ? " " : "";
    }
    EXPECT_EQ(Words(text), ModelWords(text)) << text;
  }
}

// Long runs of double-byte characters whose second byte could start one too, beside single bytes,
// across the places where the bytes are classed a block at a time: each character's second byte
// is found however long the run and wherever it starts.
TEST(EderWords, RunsOfLeadLikeBytesAgreeWithAWalkOverTheCharacters) {
  std::mt19937 rng(45);
  const std::vector<std::string> pieces = {"\x88\x9F", "\x81\x81", "\xE0\xFC", "\x9F\xE0",
                                           "\x81\x40", "\x83\x41", "a",        "_",
                                           " ",        "(",        "\xB1",     "\xE0\x80"};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    for (int line = std::uniform_int_distribution<int>(1, 4)(rng); line > 0; --line) {
      text += std::string(rng() % 3, 'x') + RandomText(rng, pieces, 160) + "\r\n";
      for (int k = std::uniform_int_distribution<int>(0, 90)(rng); k > 0; --k)
        text += pieces[rng() % 4];
      text += "\r\n";
    }
    EXPECT_EQ(Words(text), ModelWords(text)) << text;
  }
}

// The index read again after random edits gives what reading the text afresh gives.
TEST(EderWords, ReadingAgainAfterEditsGivesWhatAFreshReadingGives) {
  std::mt19937 rng(7);
  const std::vector<std::string> pieces = {"ab",       "ab",       "cd", "x",  " ",  "(",
                                           "\x83\x5C", "\x95\x5C", "Ab", "aB", "_1", "\x82\xA0"};
  auto randomLine = [&] {
    std::string line;
    for (int k = std::uniform_int_distribution<int>(0, 6)(rng); k > 0; --k)
      line += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(rng)];
    return line;
  };
  const TRidCharSet other = Ident - TRidCharSet{'_'};
  for (int round = 0; round < 20; ++round) {
    TRidEderStringList lines;
    for (int i = 0; i < 30; ++i) lines.Add(randomLine());
    TWordIndex index;
    uint64_t version = 0;
    std::vector<std::string> last;
    for (int step = 0; step < 60; ++step) {
      const int32_t n = lines.GetCount();
      const int32_t at = std::uniform_int_distribution<int32_t>(0, std::max(n - 1, 0))(rng);
      switch (rng() % 4) {
        case 0:
          if (n > 0) lines.Put(at, randomLine());
          break;
        case 1:
          lines.Insert(at, randomLine());
          break;
        case 2:
          if (n > 0) lines.Delete(at);
          break;
        default:
          if (n > 0) lines.Insert(at, lines.Get(at));
          break;
      }
      const TRidCharSet& chars = step % 17 == 16 ? other : Ident;
      const TBufferCoord caret{static_cast<int32_t>(rng() % 8) + 1,
                               static_cast<int32_t>(rng() % (lines.GetCount() + 1))};
      const std::vector<std::string_view>& got = index.Words(lines, chars, caret);
      const std::vector<std::string> want = DistinctWords(lines, chars, caret);
      ASSERT_EQ(std::vector<std::string>(got.begin(), got.end()), want) << round << " " << step;
      // The version moves whenever the words do.
      if (want != last) {
        EXPECT_NE(index.Version(), version);
      }
      version = index.Version();
      last = want;
    }
  }
}

}  // namespace
}  // namespace rid
