#include "highlighters/RidHighlighterHashEntries.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace rid {
namespace {

// ---------------------------------------------------------------------------------------------
// Keyword lists and chains

std::vector<std::string> Enum(const std::string& List) {
  std::vector<std::string> got;
  EnumKeywords(3, List, TRidCharSet::Range('a', 'z') + TRidCharSet::Range('A', 'Z'),
               [&](const std::string& Word, int32_t Kind) {
                 EXPECT_EQ(Kind, 3);
                 got.push_back(Word);
               });
  return got;
}

TEST(EnumKeywords, SplitsCommaListsIntoRunsOfIdentifierBytes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Enum("A,B,C"), (V{"A", "B", "C"}));
  EXPECT_EQ(Enum("alpha,,beta, gamma"), (V{"alpha", "beta", "gamma"}));
  EXPECT_EQ(Enum("alpha,"), (V{"alpha"}));
  EXPECT_EQ(Enum(",,x"), (V{"x"}));
  EXPECT_EQ(Enum(""), V{});
  EXPECT_EQ(Enum(",;,"), V{});
  EnumKeywords(1, "a,b", TRidCharSet::Range('a', 'z'), nullptr);  // no callback: nothing
}

std::vector<std::string> Chain(const TRidHashEntry* Head) {
  std::vector<std::string> words;
  for (; Head; Head = Head->GetNext()) words.push_back(Head->GetKeyword());
  return words;
}

TEST(HashEntryList, ChainsKeepLengthOrderAndAddingOrder) {
  TRidHashEntryList list;
  for (const char* w : {"abc", "ab", "abcd", "xy"})
    list.Put(5, std::make_unique<TRidHashEntry>(w, 1));
  EXPECT_EQ(Chain(list.Get(5)), (std::vector<std::string>{"ab", "xy", "abc", "abcd"}));
  EXPECT_EQ(list.Count(), 6);
  EXPECT_EQ(list.Get(0), nullptr);
  EXPECT_EQ(list.Get(6), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  EXPECT_EQ(list.Get(5)->GetKeyLen(), 2);
}

TEST(HashEntryList, RefusesAKeywordTwiceWhateverItsCase) {
  TRidHashEntryList list;
  list.Put(1, std::make_unique<TRidHashEntry>("FROM", 1));
  list.Put(1, std::make_unique<TRidHashEntry>("SELECT", 2));
  try {
    list.Put(1, std::make_unique<TRidHashEntry>("Select", 3));
    FAIL() << "no exception";
  } catch (const ERidHashEntryError& e) {
    EXPECT_EQ(e.Message, "Keyword \"SELECT\" already in list");
  }
  EXPECT_EQ(Chain(list.Get(1)), (std::vector<std::string>{"FROM", "SELECT"}));
  EXPECT_EQ(list.Get(1)->GetNext()->GetKind(), 2);
}

// ---------------------------------------------------------------------------------------------
// Keyword table

constexpr uint64_t FirstByteHash(std::string_view W) { return static_cast<uint8_t>(W[0]) - 'a'; }

TEST(KeywordTable, FindsEveryWordOfASharedSlot) {
  constexpr TRidKeyword words[] = {{"if", 2}, {"in", 3}, {"int", 4}, {"zz", 5}};
  const TRidKeywordTable t(words, 26, FirstByteHash);
  EXPECT_EQ(t.LargestSlot(), 3);
  EXPECT_EQ(t.LargestHash(), 25u);
  EXPECT_EQ(t.Find(FirstByteHash("if"), "if", 2, 1), 2);
  EXPECT_EQ(t.Find(FirstByteHash("in"), "in", 2, 1), 3);
  EXPECT_EQ(t.Find(FirstByteHash("int"), "int", 3, 1), 4);
  EXPECT_EQ(t.Find(FirstByteHash("it"), "it", 2, 1), 1);
  EXPECT_EQ(t.Find("int", 1), 4);  // hashed with the table's own hash
  EXPECT_EQ(t.Find("inT", 1), 1);
  EXPECT_EQ(t.Find(FirstByteHash("IF"), "IF", 2, 1), 1);  // exact compare by default
  // A hash outside the table is never looked up, whatever the word spells.
  EXPECT_EQ(t.Find(26, "if", 2, 1), 1);
  EXPECT_EQ(t.Find(~uint64_t(0), "if", 2, 1), 1);
}

TEST(KeywordTable, ComparesThroughAFoldTable) {
  static const auto fold = [] {
    std::array<uint8_t, 256> f{};
    for (int b = 0; b < 256; ++b) f[b] = (b >= 'A' && b <= 'Z') ? b + 32 : b;
    return f;
  }();
  constexpr TRidKeyword words[] = {{"begin", 2}};
  const TRidKeywordTable t(words, 26, FirstByteHash, fold.data());
  EXPECT_EQ(t.Find(1, "BeGiN", 5, 0), 2);
  EXPECT_EQ(t.Find(1, "BeGiX", 5, 0), 0);
}

}  // namespace
}  // namespace rid
