#include "app/EderWords.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <numeric>

#include "platform/Locale.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace rid {

namespace {

// Up to eight bytes of P as a number (zero-filled); Avail bytes may be read from P.
[[gnu::always_inline]] inline uint64_t Load(const char* P, size_t N, size_t Avail) {
  uint64_t v = 0;
  if (Avail < 8) {
    if (N > 0) std::memcpy(&v, P, std::min<size_t>(N, 8));
    return v;
  }
  std::memcpy(&v, P, 8);
  return N >= 8 ? v : v & ((uint64_t(1) << (8 * N)) - 1);
}

// The hash of N bytes at P, read eight at a time; Avail (at least N) bytes may be read from P.
// The result does not depend on Avail.
[[gnu::always_inline]] inline uint64_t BytesHash(const char* P, size_t N, size_t Avail) {
  uint64_t h = N * 0x9E3779B97F4A7C15ull;
  if (N <= 8) {
    h ^= Load(P, N, Avail);
  } else {
    for (size_t i = 0; i + 8 < N; i += 8) h = (h ^ Load(P + i, 8, 8)) * 0xFF51AFD7ED558CCDull;
    h ^= Load(P + N - 8, 8, 8);
  }
  h = (h ^ (h >> 33)) * 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 29);
}

// What a byte starts: nothing of a word, a single-byte word character or a double-byte one.
enum TByteKind : uint8_t { bkOther, bkWord, bkLead };

// Which of up to 64 bytes are word characters or of lead kind, and which are of lead kind.
struct TKindBits {
  uint64_t Word, Lead;
};

TKindBits KindBits(const uint8_t* P, size_t N, const uint8_t* Kinds) {
  uint64_t word = 0, lead = 0;
  for (size_t j = 0; j < N; ++j) {
    const uint8_t kind = Kinds[P[j]];
    word |= uint64_t{kind != bkOther} << j;
    lead |= uint64_t{kind == bkLead} << j;
  }
  return {word, lead};
}

#if defined(__x86_64__)
// The same with the whole table looked up for 64 bytes at once, its halves by the bytes' low
// seven bits, then chosen by the high bit; no byte past N is read.
[[gnu::target("avx512bw,avx512vbmi")]] TKindBits KindBitsVbmi(const uint8_t* P, size_t N,
                                                              const uint8_t* Kinds) {
  const __mmask64 valid = N >= 64 ? ~uint64_t{0} : (uint64_t{1} << N) - 1;
  const __m512i bytes = _mm512_maskz_loadu_epi8(valid, P);
  const __m512i low =
      _mm512_permutex2var_epi8(_mm512_loadu_si512(Kinds), bytes, _mm512_loadu_si512(Kinds + 64));
  const __m512i high = _mm512_permutex2var_epi8(_mm512_loadu_si512(Kinds + 128), bytes,
                                                _mm512_loadu_si512(Kinds + 192));
  const __m512i kinds = _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
  return {_mm512_test_epi8_mask(kinds, kinds) & valid,
          _mm512_cmpeq_epi8_mask(kinds, _mm512_set1_epi8(bkLead)) & valid};
}
#endif

using TKindBitsOf = TKindBits (*)(const uint8_t*, size_t, const uint8_t*);

TKindBitsOf KindBitsHere() {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi"))
    return KindBitsVbmi;
#endif
  return KindBits;
}

const TKindBitsOf kKindBits = KindBitsHere();

// The second bytes of the double-byte characters among 64 bytes, given those of lead kind and
// Carry, 1 when the first byte is a second one; Carry becomes that for the next 64. In a run of
// lead-kind bytes, characters start at the run's first byte and every second byte after it (from
// its second byte when the run starts with a second byte): adding the runs' first bits clears
// the runs that start at even places, which tells them from those that start at odd places.
uint64_t SecondBytes(uint64_t Leads, uint64_t& Carry) {
  constexpr uint64_t even = 0x5555555555555555ull;
  const uint64_t starts = Leads & ~(Leads << 1) & ~Carry;
  const uint64_t evenRuns = Leads & ~(Leads + (starts & even));
  const uint64_t firsts = (evenRuns & even) | (Leads & ~evenRuns & ~even);
  const uint64_t seconds = firsts << 1 | Carry;
  Carry = firsts >> 63;
  return seconds;
}

// Calls Do(start, length) for each word of Line. The bytes are classed 64 at a time into bit
// masks, without a branch per byte (one would mispredict at each word's ends); words start and
// end where the mask of word bytes changes.
template <class F>
void ForEachWord(std::string_view Line, const uint8_t* Kinds, F Do) {
  const auto* b = reinterpret_cast<const uint8_t*>(Line.data());
  const size_t n = Line.size();
  size_t start = 0;
  bool open = false;   // whether the bytes so far end inside a word
  uint64_t carry = 0;  // whether they end inside a double-byte character
  for (size_t from = 0; from < n; from += 64) {
    const size_t m = std::min<size_t>(64, n - from);
    const TKindBits kinds = kKindBits(b + from, m, Kinds);
    uint64_t word = kinds.Word | SecondBytes(kinds.Lead, carry);
    if (m < 64) word &= (uint64_t{1} << m) - 1;
    for (uint64_t edges = word ^ (word << 1 | open); edges != 0; edges &= edges - 1) {
      const size_t at = from + static_cast<size_t>(std::countr_zero(edges));
      if (open) Do(start, at - start);
      start = at;
      open = !open;
    }
  }
  if (open) Do(start, n - start);
}

// The first sixteen bytes of W with single-byte letters in upper case, as two numbers that
// order as AnsiCompareText does, and the character start up to which they hold all of W.
struct TSortKey {
  std::pair<uint64_t, uint64_t> Bytes;
  uint32_t Rest;
};

TSortKey SortKey(std::string_view W) {
  uint8_t bytes[16] = {};
  size_t i = 0;
  for (; i < W.size() && i < 16; ++i) {
    uint8_t b = static_cast<uint8_t>(W[i]);
    if (IsDBCSLeadByte(b) && i + 1 < W.size()) {
      bytes[i] = b;
      if (++i < 16) bytes[i] = static_cast<uint8_t>(W[i]);
      continue;
    }
    bytes[i] = b >= 'a' && b <= 'z' ? static_cast<uint8_t>(b - ('a' - 'A')) : b;
  }
  uint64_t high = 0, low = 0;
  for (int k = 0; k < 8; ++k) high = high << 8 | bytes[k];
  for (int k = 8; k < 16; ++k) low = low << 8 | bytes[k];
  return {{high, low}, static_cast<uint32_t>(i == 17 ? 15 : i)};  // 17: a character at 15
}

}  // namespace

// A distinct line content: its hash and length (trusted to tell contents apart), where its words
// are in FLineWords, and how many lines held it in the text last read.
struct TWordIndex::TLine {
  uint64_t Hash;
  uint32_t Length;
  uint32_t Begin;
  uint32_t Size;
  int32_t Count;
};

// A word of a line read for the first time, still to be looked up.
struct TWordIndex::TOccurrence {
  std::string_view Word;
  uint64_t Hash;
};

// Numbers stored by 64-bit hash and length, in open addressing; the caller tells which of the
// numbers under one hash and length it means.
class TWordIndex::TSlots {
 public:
  TSlots() : FSlots(1 << 12) {}
  // The number under Hash and Length that Same accepts; -1 when there is none.
  template <class TSame>
  int64_t Find(uint64_t Hash, size_t Length, TSame Same) const {
    const size_t mask = FSlots.size() - 1;
    for (size_t i = Hash & mask;; i = (i + 1) & mask) {
      const TSlot& s = FSlots[i];
      if (s.Value == kFree) return -1;
      if (s.Hash == Hash && s.Length == Length && Same(s.Value)) return s.Value;
    }
  }
  // The tables outgrow the cache: callers ask for a slot some lookups before they need it.
  void Prefetch(uint64_t Hash) const { __builtin_prefetch(&FSlots[Hash & (FSlots.size() - 1)]); }
  void Add(uint64_t Hash, size_t Length, uint32_t Value) {
    if (2 * (FCount + 1) > FSlots.size()) {
      std::vector<TSlot> old(FSlots.size() * 4);  // fewer moves of every number
      old.swap(FSlots);
      for (const TSlot& s : old)
        if (s.Value != kFree) Place(s);
    }
    Place({Hash, static_cast<uint32_t>(Length), Value});
    ++FCount;
  }

 private:
  static constexpr uint32_t kFree = UINT32_MAX;
  struct TSlot {
    uint64_t Hash = 0;
    uint32_t Length = 0;
    uint32_t Value = kFree;
  };
  void Place(const TSlot& S) {
    const size_t mask = FSlots.size() - 1;
    size_t i = S.Hash & mask;
    while (FSlots[i].Value != kFree) i = (i + 1) & mask;
    FSlots[i] = S;
  }
  std::vector<TSlot> FSlots;
  size_t FCount = 0;
};

// How far ahead of its lookup a hash is taken and its slot fetched.
constexpr size_t kAhead = 8;

TWordIndex::TWordIndex() { Reset({}); }

TWordIndex::~TWordIndex() = default;

void TWordIndex::Reset(const TRidCharSet& WordChars) {
  FWordChars = WordChars;
  for (int b = 0; b < 256; ++b)
    FKinds[b] = IsDBCSLeadByte(static_cast<uint8_t>(b))       ? bkLead
                : WordChars.Contains(static_cast<uint8_t>(b)) ? bkWord
                                                              : bkOther;
  FChars.clear();
  FWordStarts.assign(1, 0);
  FWordCounts.clear();
  FLines.clear();
  FSeen.clear();
  FLineWords.clear();
  FWordSlots = std::make_unique<TSlots>();
  FLineSlots = std::make_unique<TSlots>();
  FLiveWords = 0;
  FSortedStale = true;
}

const std::vector<std::string_view>& TWordIndex::Words(const TRidEderStringList& Lines,
                                                       const TRidCharSet& WordChars,
                                                       TBufferCoord Caret) {
  // Words that are in no line any more are let go once they outnumber the others.
  if (!(WordChars == FWordChars) || FWordCounts.size() > 2 * FLiveWords + 4096) Reset(WordChars);
  ReadLines(Lines);
  Recount();
  const int64_t excluded = OnlyAtCaret(Lines, Caret);
  if (!FSortedStale && excluded == FExcluded) return FOut;
  if (FSortedStale) Sort();
  FExcluded = excluded;
  FOut.clear();
  for (uint32_t id : FSorted)
    if (id != excluded) FOut.push_back(Word(id));
  ++FVersion;
  return FOut;
}

// A line met for the first time has its words read at once, while its bytes are at hand (the
// lines of one content may lie far apart); the words wait in a batch, to be looked up ahead as
// lines are.
void TWordIndex::ReadLines(const TRidEderStringList& Lines) {
  struct TAhead {
    std::string_view Text;
    uint64_t Hash;
  };
  TAhead ahead[kAhead];
  const auto n = static_cast<size_t>(Lines.GetCount());
  auto take = [&](size_t I) {
    const std::string_view text = Lines.GetView(static_cast<int32_t>(I));
    ahead[I % kAhead] = {text, BytesHash(text.data(), text.size(), text.size())};
    FLineSlots->Prefetch(ahead[I % kAhead].Hash);
  };
  for (size_t i = 0; i < n && i < kAhead; ++i) take(i);
  if (FLines.empty()) {
    FLines.reserve(n);
    FSeen.reserve(n);
  }
  std::vector<TOccurrence> batch;
  for (size_t i = 0; i < n; ++i) {
    const TAhead line = ahead[i % kAhead];
    if (i + kAhead < n) take(i + kAhead);
    const int64_t found =
        FLineSlots->Find(line.Hash, line.Text.size(), [](uint32_t) { return true; });
    if (found >= 0)
      ++FSeen[static_cast<size_t>(found)];
    else
      AddLine(line.Text, line.Hash, batch);
  }
  Intern(batch);
}

void TWordIndex::AddLine(std::string_view Line, uint64_t Hash, std::vector<TOccurrence>& Batch) {
  const auto begin = static_cast<uint32_t>(FLineWords.size() + Batch.size());
  ForEachWord(Line, FKinds, [&](size_t Start, size_t Length) {
    Batch.push_back(
        {Line.substr(Start, Length), BytesHash(Line.data() + Start, Length, Line.size() - Start)});
  });
  const auto size = static_cast<uint32_t>(FLineWords.size() + Batch.size() - begin);
  FLineSlots->Add(Hash, Line.size(), static_cast<uint32_t>(FLines.size()));
  FLines.push_back({Hash, static_cast<uint32_t>(Line.size()), begin, size, 0});
  FSeen.push_back(1);
  if (Batch.size() >= 1024) Intern(Batch);
}

void TWordIndex::Intern(std::vector<TOccurrence>& Batch) {
  for (size_t i = 0; i < Batch.size(); ++i) {
    if (i + kAhead < Batch.size()) FWordSlots->Prefetch(Batch[i + kAhead].Hash);
    FLineWords.push_back(Intern(Batch[i].Word, Batch[i].Hash));
  }
  Batch.clear();
}

uint32_t TWordIndex::Intern(std::string_view Word, uint64_t Hash) {
  const int64_t found = FWordSlots->Find(Hash, Word.size(), [&](uint32_t K) {
    return std::memcmp(FChars.data() + FWordStarts[K], Word.data(), Word.size()) == 0;
  });
  if (found >= 0) return static_cast<uint32_t>(found);
  const auto id = static_cast<uint32_t>(FWordCounts.size());
  FChars.append(Word);
  FWordStarts.push_back(static_cast<uint32_t>(FChars.size()));
  FWordCounts.push_back(0);
  FWordSlots->Add(Hash, Word.size(), id);
  return id;
}

int64_t TWordIndex::Find(std::string_view Word) const {
  const uint64_t h = BytesHash(Word.data(), Word.size(), Word.size());
  return FWordSlots->Find(h, Word.size(), [&](uint32_t K) { return this->Word(K) == Word; });
}

void TWordIndex::Count(uint32_t Id, int64_t Delta) {
  int64_t& c = FWordCounts[Id];
  const bool was = c > 0;
  c += Delta;
  if (was == (c > 0)) return;
  FSortedStale = true;
  FLiveWords += c > 0 ? 1 : -1;
}

// Each line content counts its words as many times more or fewer as it has lines more or fewer
// than in the text read before; contents no line holds any more go once they are half of all.
void TWordIndex::Recount() {
  size_t dead = 0;
  for (size_t i = 0; i < FLines.size(); ++i) {
    TLine& l = FLines[i];
    if (FSeen[i] != l.Count)
      for (uint32_t k = 0; k < l.Size; ++k) Count(FLineWords[l.Begin + k], FSeen[i] - l.Count);
    l.Count = FSeen[i];
    FSeen[i] = 0;
    dead += l.Count == 0;
  }
  if (dead <= 1024 || 2 * dead <= FLines.size()) return;
  std::vector<TLine> lines;
  std::vector<uint32_t> words;
  FLineSlots = std::make_unique<TSlots>();
  for (const TLine& l : FLines) {
    if (l.Count == 0) continue;
    const auto begin = static_cast<uint32_t>(words.size());
    words.insert(words.end(), FLineWords.begin() + l.Begin, FLineWords.begin() + l.Begin + l.Size);
    FLineSlots->Add(l.Hash, l.Length, static_cast<uint32_t>(lines.size()));
    lines.push_back({l.Hash, l.Length, begin, l.Size, l.Count});
  }
  FLines.swap(lines);
  FSeen.assign(FLines.size(), 0);
  FLineWords.swap(words);
}

int64_t TWordIndex::OnlyAtCaret(const TRidEderStringList& Lines, TBufferCoord Caret) const {
  if (Caret.Line < 1 || Caret.Line > Lines.GetCount()) return -1;
  const std::string_view line = Lines.GetView(Caret.Line - 1);
  const size_t caret = static_cast<size_t>(std::max(Caret.Char, 1)) - 1;
  int64_t id = -1;
  ForEachWord(line, FKinds, [&](size_t Start, size_t Length) {
    if (Start <= caret && caret <= Start + Length) id = Find(line.substr(Start, Length));
  });
  return id >= 0 && FWordCounts[static_cast<size_t>(id)] == 1 ? id : -1;
}

void TWordIndex::Sort() {
  struct TEntry {
    TSortKey Key;
    uint32_t Id;
  };
  std::vector<TEntry> keyed;
  keyed.reserve(FLiveWords);
  for (uint32_t id = 0; id < FWordCounts.size(); ++id)
    if (FWordCounts[id] > 0) keyed.push_back({SortKey(Word(id)), id});
  // By key first, after a counting pass on the keys' first two bytes that leaves short runs to
  // sort; the words that share a key (long words with a common start) then by the rest, which
  // starts at the same character in both when the keys hold as much of them.
  auto bucket = [](const TEntry& E) { return E.Key.Bytes.first >> 48; };
  std::vector<uint32_t> ends(size_t(1) << 16);
  for (const TEntry& e : keyed) ++ends[bucket(e)];
  std::exclusive_scan(ends.begin(), ends.end(), ends.begin(), 0u);
  std::vector<TEntry> entries(keyed.size());
  for (const TEntry& e : keyed) entries[ends[bucket(e)]++] = e;
  for (size_t b = 0, begin = 0; b < ends.size(); begin = ends[b++])
    std::sort(entries.begin() + begin, entries.begin() + ends[b],
              [](const TEntry& A, const TEntry& B) { return A.Key.Bytes < B.Key.Bytes; });
  for (auto run = entries.begin(); run != entries.end();) {
    const auto end = std::find_if(run + 1, entries.end(),
                                  [&](const TEntry& E) { return E.Key.Bytes != run->Key.Bytes; });
    if (end - run > 1)
      std::sort(run, end, [&](const TEntry& A, const TEntry& B) {
        const std::string_view a = Word(A.Id), b = Word(B.Id);
        const size_t from = A.Key.Rest == B.Key.Rest ? A.Key.Rest : 0;
        const int c = AnsiCompareText(a.substr(from), b.substr(from));
        return c != 0 ? c < 0 : a < b;
      });
    run = end;
  }
  FSorted.clear();
  for (const TEntry& e : entries) FSorted.push_back(e.Id);
  FSortedStale = false;
}

std::vector<std::string> DistinctWords(const TRidEderStringList& Lines,
                                       const TRidCharSet& WordChars, TBufferCoord Caret) {
  TWordIndex index;
  const std::vector<std::string_view>& words = index.Words(Lines, WordChars, Caret);
  return std::vector<std::string>(words.begin(), words.end());
}

}  // namespace rid
