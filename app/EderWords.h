#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderTextBuffer.h"
#include "editor/RidEderTypes.h"

namespace rid {

// The distinct words of a text, for completing words: runs of single bytes of a word-character
// set and of double-byte characters, sorted without ASCII case (bytes decide between words that
// differ only in case).
//
// The index remembers the words of each line by the line's content (known by a 64-bit hash and
// its length), so reading a text again after an edit costs one pass over its lines plus the
// reading of the lines that changed.
class TWordIndex {
 public:
  TWordIndex();
  ~TWordIndex();
  // The words of Lines now, without the occurrence on line Caret.Line that the caret (1-based
  // column) is in, at the start of or just after. Valid until the next call.
  const std::vector<std::string_view>& Words(const TRidEderStringList& Lines,
                                             const TRidCharSet& WordChars, TBufferCoord Caret);
  // Changes whenever Words gives a different list (and at times when it does not).
  uint64_t Version() const { return FVersion; }

 private:
  struct TLine;
  struct TOccurrence;
  class TSlots;
  void Reset(const TRidCharSet& WordChars);
  // Counts each line under its content, reading the words of the contents met for the first time.
  void ReadLines(const TRidEderStringList& Lines);
  void AddLine(std::string_view Line, uint64_t Hash, std::vector<TOccurrence>& Batch);
  void Intern(std::vector<TOccurrence>& Batch);
  uint32_t Intern(std::string_view Word, uint64_t Hash);
  std::string_view Word(uint32_t Id) const {
    return {FChars.data() + FWordStarts[Id], FWordStarts[Id + 1] - FWordStarts[Id]};
  }
  // The number of Word, or -1 when it was never met.
  int64_t Find(std::string_view Word) const;
  void Count(uint32_t Id, int64_t Delta);
  void Recount();
  // The word the caret touches, when the caret's occurrence is its only one.
  int64_t OnlyAtCaret(const TRidEderStringList& Lines, TBufferCoord Caret) const;
  void Sort();

  uint8_t FKinds[256];
  TRidCharSet FWordChars;
  std::string FChars;                 // the words' bytes, one after another
  std::vector<uint32_t> FWordStarts;  // where each word starts in FChars, and where the last ends
  std::vector<int64_t> FWordCounts;   // occurrences in the text last read
  size_t FLiveWords = 0;              // words with occurrences
  std::vector<TLine> FLines;          // distinct line contents
  std::vector<int32_t> FSeen;         // how many lines hold each in the text being read
  std::vector<uint32_t> FLineWords;   // the words of each, one run per line content
  std::unique_ptr<TSlots> FWordSlots, FLineSlots;
  std::vector<uint32_t> FSorted;  // the numbers of the words in the text, in order
  bool FSortedStale = true;
  int64_t FExcluded = -1;
  std::vector<std::string_view> FOut;
  uint64_t FVersion = 0;
};

// The words of Lines read once (see TWordIndex::Words).
std::vector<std::string> DistinctWords(const TRidEderStringList& Lines,
                                       const TRidCharSet& WordChars, TBufferCoord Caret);

}  // namespace rid
