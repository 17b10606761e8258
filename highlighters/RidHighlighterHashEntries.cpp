#include "highlighters/RidHighlighterHashEntries.h"

#include <algorithm>
#include <numeric>

#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// Keyword chains

void EnumKeywords(int32_t AKind, const std::string& AKeywords, const TRidCharSet& AIdentChars,
                  const TEnumKeywordEvent& AKeywordProc) {
  if (!AKeywordProc || AKeywords.empty()) return;
  const size_t n = AKeywords.size();
  auto ident = [&](size_t i) {
    return i < n && AIdentChars.Contains(static_cast<uint8_t>(AKeywords[i]));
  };
  size_t i = 0;
  for (;;) {
    while (i < n && !ident(i)) ++i;
    if (i >= n) return;
    const size_t start = i;
    while (ident(i)) ++i;
    AKeywordProc(AKeywords.substr(start, i - start), AKind);
    // One separator byte; the list ends when it, or the byte after it, is the end.
    if (i >= n || i + 1 >= n) return;
    ++i;
  }
}

TRidHashEntry::TRidHashEntry(std::string AKey, int32_t AKind)
    : FKeyLen(static_cast<int32_t>(AKey.size())), FKeyword(std::move(AKey)), FKind(AKind) {}

void TRidHashEntry::AddEntry(std::unique_ptr<TRidHashEntry>& AHead,
                             std::unique_ptr<TRidHashEntry> ANewEntry) {
  if (!ANewEntry) return;
  // Check the whole chain first, so a refused keyword leaves it as it was.
  for (const TRidHashEntry* e = AHead.get(); e; e = e->FNext.get())
    if (AnsiSameText(e->FKeyword, ANewEntry->FKeyword))
      throw ERidHashEntryError(FormatStr("Keyword \"%s\" already in list", e->FKeyword.c_str()));
  // Insert before the first entry that is longer; equal lengths keep the order of adding.
  std::unique_ptr<TRidHashEntry>* slot = &AHead;
  while (*slot && (*slot)->FKeyLen <= ANewEntry->FKeyLen) slot = &(*slot)->FNext;
  ANewEntry->FNext = std::move(*slot);
  *slot = std::move(ANewEntry);
}

const TRidHashEntry* TRidHashEntryList::Get(int64_t AHashKey) const {
  if (AHashKey < 0 || AHashKey >= static_cast<int64_t>(FItems.size())) return nullptr;
  return FItems[static_cast<size_t>(AHashKey)].get();
}

void TRidHashEntryList::Put(int64_t AHashKey, std::unique_ptr<TRidHashEntry> AEntry) {
  if (AHashKey < 0) return;  // no keyword hashes below 0; nothing to keep
  if (AHashKey >= static_cast<int64_t>(FItems.size())) FItems.resize(AHashKey + 1);
  TRidHashEntry::AddEntry(FItems[static_cast<size_t>(AHashKey)], std::move(AEntry));
}

// ---------------------------------------------------------------------------------------------
// Keyword table

TRidKeywordTable::TRidKeywordTable(std::span<const TRidKeyword> AWords, int32_t ATableSize,
                                   THashFunc AHash, const uint8_t* AFold)
    : FSlots(static_cast<size_t>(ATableSize) + 1, 0), FHash(AHash), FFold(AFold) {
  std::vector<uint64_t> hashes;
  hashes.reserve(AWords.size());
  for (const TRidKeyword& k : AWords) {
    hashes.push_back(AHash(k.Word));
    RID_ASSERT(hashes.back() < static_cast<uint64_t>(ATableSize));
  }
  // Counting sort by hash, keeping the list order inside a slot.
  for (uint64_t h : hashes) ++FSlots[h + 1];
  std::partial_sum(FSlots.begin(), FSlots.end(), FSlots.begin());
  FEntries.resize(AWords.size());
  std::vector<uint32_t> next(FSlots.begin(), FSlots.end() - 1);
  for (size_t i = 0; i < AWords.size(); ++i) FEntries[next[hashes[i]]++] = AWords[i];
}

bool TRidKeywordTable::Same(const char* A, const char* B, int32_t ALength) const {
  if (!FFold) return std::equal(A, A + ALength, B);
  for (int32_t i = 0; i < ALength; ++i)
    if (FFold[static_cast<uint8_t>(A[i])] != FFold[static_cast<uint8_t>(B[i])]) return false;
  return true;
}

int32_t TRidKeywordTable::LargestSlot() const {
  uint32_t most = 0;
  for (size_t h = 0; h + 1 < FSlots.size(); ++h) most = std::max(most, FSlots[h + 1] - FSlots[h]);
  return static_cast<int32_t>(most);
}

uint64_t TRidKeywordTable::LargestHash() const {
  for (size_t h = FSlots.size() - 1; h > 0; --h)
    if (FSlots[h] != FSlots[h - 1]) return h - 1;
  return 0;
}

}  // namespace rid
