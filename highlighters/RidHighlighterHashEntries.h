#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderTypes.h"
#include "platform/Classes.h"
#include "platform/Delegate.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// Keyword chains by hash value, for the languages that keep their keywords as comma lists.

using TEnumKeywordEvent = Delegate<void(const std::string& AKeyword, int32_t AKind)>;

// Calls AKeywordProc for every run of identifier characters in AKeywords, in order.
void EnumKeywords(int32_t AKind, const std::string& AKeywords, const TRidCharSet& AIdentChars,
                  const TEnumKeywordEvent& AKeywordProc);

class ERidHashEntryError : public Exception {
 public:
  using Exception::Exception;
};

// One keyword of a chain; the chain is ordered by KeyLen, equal lengths in the order added.
class TRidHashEntry : public TObject {
 public:
  RID_CLASS_NAME(TRidHashEntry)
  TRidHashEntry(std::string AKey, int32_t AKind);

  // Adds ANewEntry to the chain that starts at AHead (which may become its new head). A
  // keyword equal to one of the chain (ASCII case-insensitive) raises ERidHashEntryError; the
  // chain then stays as it was and ANewEntry is freed.
  static void AddEntry(std::unique_ptr<TRidHashEntry>& AHead,
                       std::unique_ptr<TRidHashEntry> ANewEntry);

  const TRidHashEntry* GetNext() const { return FNext.get(); }
  int32_t GetKeyLen() const { return FKeyLen; }
  const std::string& GetKeyword() const { return FKeyword; }
  int32_t GetKind() const { return FKind; }

 private:
  std::unique_ptr<TRidHashEntry> FNext;  // owned: a head frees its whole chain
  int32_t FKeyLen;
  std::string FKeyword;
  int32_t FKind;
};

class TRidHashEntryList {
 public:
  // The chain head at AHashKey; nullptr for a negative or too large key.
  const TRidHashEntry* Get(int64_t AHashKey) const;
  // Grows the list to hold AHashKey and adds the entry to the chain there.
  void Put(int64_t AHashKey, std::unique_ptr<TRidHashEntry> AEntry);
  void Clear() { FItems.clear(); }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

 private:
  std::vector<std::unique_ptr<TRidHashEntry>> FItems;
};

// ---------------------------------------------------------------------------------------------
// Keyword tables: a language's keywords with their kinds, by hash value, and the hashes and
// word order they are built with.

// A keyword of a language's data tables with the token kind it gets.
struct TRidKeyword {
  std::string_view Word;
  uint8_t Kind;
};

// Keywords by hash value: one slot per value, a few exact (or folded) comparisons per lookup.
class TRidKeywordTable {
 public:
  using THashFunc = uint64_t (*)(std::string_view AWord);
  // AFold (256 bytes) maps both sides before comparing; nullptr compares bytes exactly.
  TRidKeywordTable(std::span<const TRidKeyword> AWords, int32_t ATableSize, THashFunc AHash,
                   const uint8_t* AFold = nullptr);

  // The kind of the word, ANotFound when no keyword of slot AHash matches or the hash lies
  // outside the table.
  uint8_t Find(uint64_t AHash, const char* AWord, int32_t ALength, uint8_t ANotFound) const {
    if (AHash >= FSlots.size() - 1) return ANotFound;
    for (uint32_t i = FSlots[AHash], e = FSlots[AHash + 1]; i < e; ++i) {
      const TRidKeyword& k = FEntries[i];
      if (k.Word.size() == static_cast<size_t>(ALength) && Same(k.Word.data(), AWord, ALength))
        return k.Kind;
    }
    return ANotFound;
  }
  // The same, hashing the word with the table's own hash.
  uint8_t Find(std::string_view AWord, uint8_t ANotFound) const {
    return Find(FHash(AWord), AWord.data(), static_cast<int32_t>(AWord.size()), ANotFound);
  }
  int32_t TableSize() const { return static_cast<int32_t>(FSlots.size() - 1); }
  int32_t LargestSlot() const;
  uint64_t LargestHash() const;

 private:
  bool Same(const char* A, const char* B, int32_t ALength) const;
  std::vector<uint32_t> FSlots;  // slot h holds FEntries[FSlots[h] .. FSlots[h + 1])
  std::vector<TRidKeyword> FEntries;
  THashFunc FHash;
  const uint8_t* FFold;
};

// The values of the letter hash of JavaScript, Visual Basic and Fortran: A-Z and a-z 1 to 26, "_"
// 31, every other byte 0. Visual Basic and Fortran compare their keywords by these values too,
// so letters match in any case and a digit any digit.
inline constexpr std::array<uint8_t, 256> kLetterValues = [] {
  std::array<uint8_t, 256> v{};
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<uint8_t>(c - 'A' + 1);
  v['_'] = 31;
  return v;
}();
constexpr uint64_t LetterValueHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) h += kLetterValues[static_cast<uint8_t>(c)];
  return h;
}

// The one order word lists are sorted and searched in: bytes, ASCII letters taken as upper case.
constexpr uint8_t AsciiUpper(char C) {
  const auto b = static_cast<uint8_t>(C);
  return b >= 'a' && b <= 'z' ? b - 32 : b;
}
constexpr bool UpperLess(std::string_view A, std::string_view B) {
  return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(),
                                      [](char x, char y) { return AsciiUpper(x) < AsciiUpper(y); });
}

// The byte-sum hash most languages use.
constexpr uint64_t ByteSumHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) h += static_cast<uint8_t>(c);
  return h;
}

// The case-sensitive letter hash of the C family: A-Z add 1 to 26, a-z 2 to 27, other bytes
// nothing.
constexpr uint64_t LetterSumHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 'A' && b <= 'Z')
      h += b - 'A' + 1;
    else if (b >= 'a' && b <= 'z')
      h += b - 'a' + 2;
  }
  return h;
}

}  // namespace rid
