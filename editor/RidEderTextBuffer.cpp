#include "editor/RidEderTextBuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace rid {

static_assert(sizeof(TRidEderStringRec) <= 16, "a line record stays small: files have millions");

namespace {

constexpr const char* SInvalidStringListIndex = "Invalid stringlist index %d";
constexpr const char* SCapacityBelowCount = "Stringlist capacity cannot be smaller than count";

// Brackets a change with BeginUpdate / EndUpdate, also when an exception passes.
using UpdateGuard = TStringsUpdate;

// The number of line breaks in [p, e): CR, LF and CR LF each count once.
size_t CountBreaks(const char* p, const char* e) {
  size_t n = 0;
#ifdef __SSE2__
  // Each byte lane counts the bytes that end a line: LF, or CR not followed by LF. The lanes
  // are summed before they can overflow.
  const __m128i CR = _mm_set1_epi8('\r'), LF = _mm_set1_epi8('\n'), Zero = _mm_setzero_si128();
  while (e - p > 16) {
    __m128i Lanes = Zero;
    for (int k = 0; k < 255 && e - p > 16; ++k, p += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i Next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
      const __m128i Ends = _mm_or_si128(
          _mm_cmpeq_epi8(a, LF), _mm_andnot_si128(_mm_cmpeq_epi8(Next, LF), _mm_cmpeq_epi8(a, CR)));
      Lanes = _mm_sub_epi8(Lanes, Ends);
    }
    const __m128i Sums = _mm_sad_epu8(Lanes, Zero);
    n += static_cast<size_t>(_mm_cvtsi128_si64(Sums)) +
         static_cast<size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(Sums, Sums)));
  }
#endif
  for (; p < e; ++p)
    if (*p == '\n' || (*p == '\r' && !(p + 1 < e && p[1] == '\n'))) ++n;
  return n;
}

// The first CR or LF in [p, e), or e; Tab tells whether a tab comes before it, so that a
// loaded line without one has its display length at once.
const char* FindBreak(const char* p, const char* e, bool& Tab) {
  Tab = false;
#ifdef __SSE2__
  const __m128i CR = _mm_set1_epi8('\r'), LF = _mm_set1_epi8('\n'), HT = _mm_set1_epi8('\t');
  for (; e - p >= 16; p += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned m = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(a, CR), _mm_cmpeq_epi8(a, LF))));
    const unsigned t = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, HT)));
    if (m) {
      Tab = Tab || (t & ((m & (~m + 1)) - 1)) != 0;
      return p + std::countr_zero(m);
    }
    Tab = Tab || t != 0;
  }
#endif
  for (; p < e && *p != '\r' && *p != '\n'; ++p) Tab = Tab || *p == '\t';
  return p;
}

// A line longer than the 32-bit positions can reach is refused before anything changes.
void RefuseOverlongLine(size_t Length) {
  if (Length > static_cast<size_t>(INT32_MAX))
    throw ERidEderStringList(
        FormatStr("A line of %zu bytes; a line may have at most %d bytes", Length, INT32_MAX));
}

// A range a record holds itself; any other lives in the record's extra.
bool FitsRecord(TRidRange Range) {
  constexpr TRidRange Half = TRidRange{1} << (TRidEderStringRec::kRangeBits - 1);
  return Range >= -Half && Range < Half;
}

// A text whose size, lines or line count the 32-bit positions cannot reach is refused whole,
// before anything changes.
void RefuseOverlongLines(const char* p, const char* End, size_t Lines) {
  if (static_cast<size_t>(End - p) > UINT32_MAX)
    throw ERidEderStringList(
        FormatStr("The text has %td bytes; at most %u can be loaded", End - p, UINT32_MAX));
  if (Lines > static_cast<size_t>(INT32_MAX))
    throw ERidEderStringList(
        FormatStr("The text has %zu lines; at most %d can be loaded", Lines, INT32_MAX));
  if (End - p <= kMaxLineLength) return;  // no line can be longer
  for (size_t line = 1; p < End; ++line) {
    bool tab;
    const char* e = FindBreak(p, End, tab);
    if (e - p > kMaxLineLength)
      throw ERidEderStringList(
          FormatStr("Line %zu is %td bytes long; a line may have at most %d bytes", line, e - p,
                    kMaxLineLength));
    if (e == End) break;
    p = e + (e + 1 < End && e[0] == '\r' && e[1] == '\n' ? 2 : 1);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TRidEderStringList

TRidEderStringList::TRidEderStringList() : FConvertTabsProc(GetBestConvertTabsProcEx(8)) {}

TRidEderStringList::~TRidEderStringList() {
  // No change events while the list goes away.
  OnChange.Clear();
  OnChanging.Clear();
  FreeAll();
}

void TRidEderStringList::SetLineText(TRidEderStringRec& r, std::string_view S) {
  RefuseOverlongLine(S.size());
  // The new storage is filled before the old goes: S may be a view of this very line.
  std::unique_ptr<char[]> Own;
  if (!S.empty()) {
    Own = std::make_unique_for_overwrite<char[]>(S.size());
    std::memcpy(Own.get(), S.data(), S.size());
  } else if (!r.FHasExtra) {
    r.FLength = 0;
    return;
  }
  TLineExtra& Extra = ExtraOf(r);
  FreeOwnText(r);
  Extra.FText = Own.release();
  r.FOwnText = Extra.FText != nullptr;
  r.FLength = static_cast<uint32_t>(S.size());
}

void TRidEderStringList::FreeOwnText(const TRidEderStringRec& r) {
  if (r.FOwnText) std::unique_ptr<char[]>(const_cast<char*>(FExtras[r.FStart].FText)).reset();
}

TRidEderStringList::TLineExtra& TRidEderStringList::ExtraOf(TRidEderStringRec& r) {
  if (!r.FHasExtra) {
    uint32_t Slot;
    if (FFreeExtras.empty()) {
      Slot = static_cast<uint32_t>(FExtras.size());
      FExtras.emplace_back();
    } else {
      Slot = FFreeExtras.back();
      FFreeExtras.pop_back();
    }
    FExtras[Slot] = TLineExtra{ViewOf(r).data(), nullptr, r.FRange};
    r.FStart = Slot;
    r.FHasExtra = true;
  }
  return FExtras[r.FStart];
}

void TRidEderStringList::FreeRecord(TRidEderStringRec& r) {
  if (r.FHasExtra) {
    FreeOwnText(r);
    FExtras[r.FStart] = TLineExtra{};
    FFreeExtras.push_back(r.FStart);
  }
  r = TRidEderStringRec{};
}

void TRidEderStringList::FreeAll() {
  for (size_t i = 0; i < FGap; ++i) FreeOwnText(FRecs[i]);
  for (size_t i = FGap + FGapLen; i < FRecs.size(); ++i) FreeOwnText(FRecs[i]);
  std::vector<TRidEderStringRec>().swap(FRecs);
  FGap = FGapLen = 0;
  FBlock.reset();
  std::vector<TLineExtra>().swap(FExtras);
  std::vector<uint32_t>().swap(FFreeExtras);
}

void TRidEderStringList::ListIndexOutOfBounds(int32_t Index) const {
  throw ERidEderStringList(FormatStr(SInvalidStringListIndex, Index));
}

std::string TRidEderStringList::Get(int32_t Index) const { return std::string(GetView(Index)); }

std::string_view TRidEderStringList::GetView(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return {};
  return ViewOf(Rec(Index));
}

TObject* TRidEderStringList::GetObject(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return nullptr;
  const TRidEderStringRec& r = Rec(Index);
  return r.FHasExtra ? FExtras[r.FStart].FObject : nullptr;
}

std::string TRidEderStringList::GetTextStr() const {
  const int32_t Count = GetCount();
  if (Count == 0) return {};
  size_t Size = 0;
  for (int32_t i = 0; i < Count; ++i) Size += Rec(i).FLength + 2;
  std::string Result;
  Result.reserve(Size);
  for (int32_t i = 0; i < Count; ++i) {
    Result += ViewOf(Rec(i));
    Result += "\r\n";
  }
  Result.resize(Size - 2);
  return Result;
}

void TRidEderStringList::Put(int32_t Index, const std::string& S) {
  if (Index == GetCount()) {
    Add(S);
    return;
  }
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  TRidEderStringRec& r = Rec(Index);
  SetLineText(r, S);
  UncountRecord(r);
  r.FExpandedLength = -1;
  CountLine(Index);
  if (OnLinesReplaced) OnLinesReplaced(this, Index, 1);
}

void TRidEderStringList::PutObject(int32_t Index, TObject* AObject) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  TRidEderStringRec& r = Rec(Index);
  if (AObject || r.FHasExtra) ExtraOf(r).FObject = AObject;
}

void TRidEderStringList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < GetCount()) throw EStringListError(SCapacityBelowCount);
  if (static_cast<size_t>(NewCapacity) != FRecs.size()) Rebuild(NewCapacity);
}

void TRidEderStringList::SetUpdateState(bool Updating) {
  if (Updating) {
    if (OnChanging) OnChanging(this);
  } else {
    if (OnChange) OnChange(this);
  }
}

void TRidEderStringList::Rebuild(size_t Slots) {
  // The gap stays where it is and takes every free slot.
  const size_t Tail = FRecs.size() - FGap - FGapLen;
  std::vector<TRidEderStringRec> New(Slots);
  std::move(FRecs.begin(), FRecs.begin() + FGap, New.begin());
  std::move(FRecs.end() - Tail, FRecs.end(), New.end() - Tail);
  FGapLen = Slots - FGap - Tail;
  FRecs.swap(New);
}

void TRidEderStringList::MoveGap(size_t To) {
  if (FGapLen == 0) {
    // Nothing to move (and a record must not be moved onto itself).
  } else if (To < FGap) {
    std::move_backward(FRecs.begin() + To, FRecs.begin() + FGap, FRecs.begin() + FGap + FGapLen);
  } else if (To > FGap) {
    std::move(FRecs.begin() + FGap + FGapLen, FRecs.begin() + To + FGapLen, FRecs.begin() + FGap);
  }
  FGap = To;
}

void TRidEderStringList::OpenGap(int32_t Index, size_t NumLines) {
  if (FGapLen < NumLines) {
    // 16 records at a time while small, then a quarter more.
    const size_t Cap = FRecs.size();
    const size_t Grown = Cap <= 64 ? Cap + 16 : Cap + Cap / 4;
    Rebuild(std::max(GetCount() + NumLines, Grown));
  }
  MoveGap(Index);
}

void TRidEderStringList::EraseRecords(int32_t Index, size_t NumLines) {
  MoveGap(Index);
  for (size_t i = 0; i < NumLines; ++i) {
    UncountRecord(FRecs[FGap + FGapLen + i]);
    FreeRecord(FRecs[FGap + FGapLen + i]);
  }
  FGapLen += NumLines;
}

void TRidEderStringList::CountLength(int32_t Length, int32_t Delta) {
  if (Length < kDenseLengths) {
    if (static_cast<size_t>(Length) >= FShortCounts.size()) FShortCounts.resize(Length + 1);
    FShortCounts[Length] += Delta;
    FShortTop = std::max(FShortTop, Length);
    return;
  }
  auto At = FLongCounts.try_emplace(Length, 0).first;
  At->second += Delta;
  if (At->second == 0) FLongCounts.erase(At);
}

void TRidEderStringList::CountLine(int32_t Index) {
  if (FLengthsCounted) CountLength(GetExpandedStringLength(Index), 1);
}

void TRidEderStringList::UncountRecord(const TRidEderStringRec& r) {
  if (FLengthsCounted) CountLength(r.FExpandedLength, -1);
}

void TRidEderStringList::ForgetLengths() {
  FLengthsCounted = false;
  FShortCounts.clear();
  FShortTop = 0;
  FLongCounts.clear();
}

void TRidEderStringList::InsertItem(int32_t Index, std::string S) {
  OpenGap(Index, 1);
  FRecs[FGap] = TRidEderStringRec{};
  SetLineText(FRecs[FGap], S);
  CloseGap(1);
  CountLine(Index);
}

int32_t TRidEderStringList::Add(const std::string& S) {
  UpdateGuard Update(this);
  int32_t Index = GetCount();
  InsertItem(Index, S);
  FireInserted(Index, 1);
  return Index;
}

void TRidEderStringList::AddStrings(TStrings* Strings) {
  const int32_t n = Strings->GetCount();
  if (n <= 0) return;
  UpdateGuard Update(this);
  const int32_t First = GetCount();
  if (static_cast<size_t>(First) + n > FRecs.size()) SetCapacity(((First + n + 15) / 16) * 16);
  OpenGap(First, n);
  int32_t Filled = 0;
  try {
    for (; Filled < n; ++Filled) {
      TRidEderStringRec& r = FRecs[FGap + Filled];
      r = TRidEderStringRec{};
      SetLineText(r, Strings->Get(Filled));
      if (TObject* Object = Strings->GetObject(Filled)) ExtraOf(r).FObject = Object;
    }
  } catch (...) {
    // The lines made so far were never in the list: they go with what they own.
    for (int32_t i = 0; i <= Filled && i < n; ++i) FreeRecord(FRecs[FGap + i]);
    throw;
  }
  CloseGap(n);
  for (int32_t i = First; i < First + n; ++i) CountLine(i);
  FireInserted(First, n);
}

void TRidEderStringList::Clear() {
  // Told also of an empty list: a clear, as a load, starts a page anew, and its listeners forget
  // what they held of the empty page (an undo list of edits that left it empty).
  UpdateGuard Update(this);
  FreeAll();
  if (OnListCleared) OnListCleared(this);
  ForgetLengths();
}

void TRidEderStringList::Delete(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  EraseRecords(Index, 1);
  if (OnLinesDeleted) OnLinesDeleted(this, Index, 1);
}

void TRidEderStringList::DeleteLines(int32_t Index, int32_t NumLines) {
  if (NumLines <= 0) return;
  if (Index < 0 || Index > GetCount()) ListIndexOutOfBounds(Index);
  NumLines = std::min(NumLines, GetCount() - Index);
  // Nothing deleted, nothing to announce: listeners expect at least one line.
  if (NumLines == 0) return;
  {
    UpdateGuard Update(this);
    EraseRecords(Index, NumLines);
  }
  if (OnLinesDeleted) OnLinesDeleted(this, Index, NumLines);
}

void TRidEderStringList::Exchange(int32_t Index1, int32_t Index2) {
  if (Index1 < 0 || Index1 >= GetCount()) ListIndexOutOfBounds(Index1);
  if (Index2 < 0 || Index2 >= GetCount()) ListIndexOutOfBounds(Index2);
  UpdateGuard Update(this);
  if (Index1 != Index2) std::swap(Rec(Index1), Rec(Index2));
}

void TRidEderStringList::Insert(int32_t Index, const std::string& S) {
  if (Index < 0 || Index > GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  InsertItem(Index, S);
  FireInserted(Index, 1);
}

void TRidEderStringList::InsertLines(int32_t Index, int32_t NumLines) {
  if (Index < 0 || Index > GetCount()) ListIndexOutOfBounds(Index);
  if (NumLines <= 0) return;
  UpdateGuard Update(this);
  OpenGap(Index, NumLines);
  std::fill_n(FRecs.begin() + FGap, NumLines, TRidEderStringRec{});
  CloseGap(NumLines);
  for (int32_t i = Index; i < Index + NumLines; ++i) CountLine(i);
  FireInserted(Index, NumLines);
}

uint8_t TRidEderStringList::GetLineBreak(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  return Rec(Index).FBreak;
}

void TRidEderStringList::SetLineBreak(int32_t Index, uint8_t Value) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  Rec(Index).FBreak = Value <= lbsCR ? Value : lbsCRLF;
}

TRidRange TRidEderStringList::GetRange(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return 0;
  if (OnRangeNeeded) return OnRangeNeeded(const_cast<TRidEderStringList*>(this), Index);
  return GetStoredRange(Index);
}

void TRidEderStringList::PutRange(int32_t Index, TRidRange ARange) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  StoreRange(Index, ARange);
}

TRidRange TRidEderStringList::GetStoredRange(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return 0;
  const TRidEderStringRec& r = Rec(Index);
  return r.FHasExtra ? FExtras[r.FStart].FRange : r.FRange;
}

void TRidEderStringList::StoreRange(int32_t Index, TRidRange ARange) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  TRidEderStringRec& r = Rec(Index);
  if (!r.FHasExtra && FitsRecord(ARange))
    r.FRange = static_cast<int32_t>(ARange);
  else
    ExtraOf(r).FRange = ARange;
}

int32_t TRidEderStringList::ExpandLine(int32_t Index, std::string* Expanded) {
  TRidEderStringRec& r = Rec(Index);
  const std::string_view Text = ViewOf(r);
  if (Text.empty()) {
    r.FExpandedLength = 0;
    r.FHasTabs = false;
    if (Expanded) Expanded->clear();
    return 0;
  }
  bool HasTabs;
  if (!Expanded && FConvertTabsProc != &ConvertTabsSingleEx) {
    // Only the length is wanted: measure without building the text.
    int32_t Before;
    HasTabs = FindFirstTab(Text, Before);
    r.FExpandedLength =
        HasTabs ? ExpandedLength(Text, FTabWidth) : static_cast<int32_t>(Text.size());
  } else {
    std::string Result = FConvertTabsProc(Text, FTabWidth, HasTabs);
    r.FExpandedLength = static_cast<int32_t>(Result.size());
    if (Expanded) *Expanded = std::move(Result);
  }
  r.FHasTabs = HasTabs;
  return r.FExpandedLength;
}

std::string TRidEderStringList::GetExpandedString(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) return {};
  const TRidEderStringRec& r = Rec(Index);
  if (r.FExpandedLength >= 0 && !r.FHasTabs) return std::string(ViewOf(r));
  std::string Result;
  ExpandLine(Index, &Result);
  return Result;
}

int32_t TRidEderStringList::GetExpandedStringLength(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) return 0;
  if (Rec(Index).FExpandedLength < 0) return ExpandLine(Index, nullptr);
  return Rec(Index).FExpandedLength;
}

bool TRidEderStringList::HasTabs(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) return false;
  if (Rec(Index).FExpandedLength < 0) ExpandLine(Index, nullptr);
  return Rec(Index).FHasTabs;
}

int32_t TRidEderStringList::GetLengthOfLongestLine() {
  if (!FLengthsCounted) {
    FLengthsCounted = true;
    for (int32_t i = 0; i < GetCount(); ++i) CountLine(i);
  }
  if (!FLongCounts.empty()) return FLongCounts.rbegin()->first;
  while (FShortTop > 0 && FShortCounts[FShortTop] == 0) --FShortTop;
  return FShortTop;
}

void TRidEderStringList::SetTabWidth(int32_t Value) {
  // A width of 0 would divide by zero in the expansion; the editor keeps 1..256 as well.
  Value = ClampInteger(Value, 1, 256);
  if (Value == FTabWidth) return;
  FTabWidth = Value;
  FConvertTabsProc = GetBestConvertTabsProcEx(Value);
  ForgetLengths();
  for (TRidEderStringRec& r : FRecs) {  // free records too: harmless
    r.FExpandedLength = -1;
    r.FHasTabs = false;
  }
}

// --- loading and saving

void TRidEderStringList::LoadFromFile(const std::string& FileName) {
  AdoptBytes(LoadBytesFromFile(FileName));  // a regular file only, read once into the block
}

void TRidEderStringList::BeginLoad(size_t ExpectedLines) {
  Clear();
  FreeAll();  // the records of an emptied list as well
  FLineBreakStyle = lbsCRLF;
  FMixedBreaks = false;
  FRecs.reserve(ExpectedLines);
}

void TRidEderStringList::AddLoadedLine(const char* p, const char* End, uint8_t Break, bool Tab) {
  const int32_t Index = GetCount();
  TRidEderStringRec r;
  r.FStart = static_cast<uint32_t>(p - FBlock->data());
  r.FLength = static_cast<uint32_t>(End - p);
  r.FBreak = Break;
  if (!Tab) r.FExpandedLength = static_cast<int32_t>(r.FLength);
  FRecs.push_back(r);
  FGap = FRecs.size();
  CountLine(Index);
  FireInserted(Index, 1);
}

// Adds the lines of [p, End): CR, LF and CR LF each end one line.
void TRidEderStringList::SplitBlock(const char* p, const char* End) {
  if (p == End) return;
  bool SawCR = false, SawLF = false, SawCRLF = false;
  const char Last = End[-1];
  while (p < End) {
    bool Tab;
    const char* LineEnd = FindBreak(p, End, Tab);
    if (LineEnd == End) {
      AddLoadedLine(p, End, lbsCRLF, Tab);
      break;
    }
    uint8_t Break = lbsLF;
    const char* Next = LineEnd + 1;
    if (*LineEnd == '\n') {
      SawLF = true;
    } else if (Next < End && *Next == '\n') {
      ++Next;
      SawCRLF = true;
      Break = lbsCRLF;
    } else {
      SawCR = true;
      Break = lbsCR;
    }
    AddLoadedLine(p, LineEnd, Break, Tab);
    p = Next;
  }
  if (!FFinalLineBreak && (Last == '\r' || Last == '\n')) AddLoadedLine(End, End, lbsCRLF, false);
  // A single kind of break gives its style; anything else (or none) CR LF.
  const int Kinds = int(SawCR) + int(SawLF) + int(SawCRLF);
  FLineBreakStyle = Kinds == 1 && SawCR ? lbsCR : Kinds == 1 && SawLF ? lbsLF : lbsCRLF;
  FMixedBreaks = Kinds > 1;
}

// Replaces the lines with those of Block, which the records then point into.
void TRidEderStringList::LoadBlock(std::unique_ptr<std::string> Block) {
  const char* p = Block->data();
  const char* End = p + Block->size();
  const size_t lines = p == End ? 0 : CountBreaks(p, End) + 1;
  RefuseOverlongLines(p, End, lines);
  UpdateGuard Update(this);
  BeginLoad(lines);
  FBlock = std::move(Block);
  SplitBlock(p, End);
}

void TRidEderStringList::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  LoadBlock(std::make_unique<std::string>(Stream->ReadRest()));
}

void TRidEderStringList::LoadFromBytes(std::string_view Data) {
  LoadBlock(std::make_unique<std::string>(Data));
}

void TRidEderStringList::AdoptBytes(std::string&& Data) {
  LoadBlock(std::make_unique<std::string>(std::move(Data)));
}

void TRidEderStringList::LoadFromPieces(const std::vector<std::string_view>& Pieces) {
  size_t Size = 0;
  for (std::string_view Piece : Pieces) Size += Piece.size();
  auto Block = std::make_unique<std::string>();
  Block->reserve(Size);
  for (std::string_view Piece : Pieces) Block->append(Piece);
  LoadBlock(std::move(Block));
}

size_t TRidEderStringList::SavedSize() const {
  const int32_t Count = GetCount();
  size_t Total = 0;
  for (int32_t i = 0; i < Count; ++i) {
    Total += Rec(i).FLength;
    if (i + 1 < Count || FFinalLineBreak) Total += BreakOf(Rec(i)).size();
  }
  return Total;
}

std::string_view TRidEderStringList::BreakOf(const TRidEderStringRec& r) const {
  return LineBreakText(FMixedBreaks ? r.FBreak : FLineBreakStyle);
}

void TRidEderStringList::SaveInto(char* d) const {
  const int32_t Count = GetCount();
  for (int32_t i = 0; i < Count; ++i) {
    const std::string_view s = ViewOf(Rec(i));
    if (!s.empty()) std::memcpy(d, s.data(), s.size());
    d += s.size();
    if (i + 1 < Count || FFinalLineBreak) {
      std::string_view b = BreakOf(Rec(i));
      std::memcpy(d, b.data(), b.size());
      d += b.size();
    }
  }
}

std::string TRidEderStringList::SaveToBytes() const {
  std::string Result;
  if (GetCount() == 0) return Result;
  Result.resize(SavedSize());
  SaveInto(Result.data());
  return Result;
}

void TRidEderStringList::SaveToStream(TStream* Stream) {
  TRidEderFileWriter Writer(*Stream);
  Writer.SetLineBreakStyle(FLineBreakStyle);
  const int32_t Last = GetCount() - 1;
  for (int32_t i = 0; i <= Last; ++i) {
    const TRidEderStringRec& r = Rec(i);
    if (FMixedBreaks) Writer.SetLineBreakStyle(r.FBreak);
    if (i < Last || FFinalLineBreak)
      Writer.WriteLine(ViewOf(r));
    else
      Writer.Write(ViewOf(r));
  }
  Writer.Flush();
}

void TRidEderStringList::SaveToFile(const std::string& FileName) {
  SaveToFileAtomic(FileName, [this](TStream& Out) { SaveToStream(&Out); });
}

// ---------------------------------------------------------------------------------------------
// TRidEderFiler, TRidEderFileWriter

std::string_view LineBreakText(uint8_t Style) {
  static constexpr std::string_view Breaks[3] = {"\r\n", "\n", "\r"};
  return Breaks[Style == lbsLF || Style == lbsCR ? Style : lbsCRLF];
}

TRidEderFiler::TRidEderFiler() : FBuffer(std::make_unique_for_overwrite<char[]>(kBufferSize)) {}

TRidEderFileWriter::~TRidEderFileWriter() {
  try {
    Flush();
  } catch (const std::exception&) {
    // Raised by the save's own Flush already, or the save is failing anyway.
  }
}

void TRidEderFileWriter::Flush() {
  if (FBufPos == 0) return;
  const size_t Used = std::exchange(FBufPos, 0);
  FStream.WriteBuffer(std::string_view(FBuffer.get(), Used));
}

void TRidEderFileWriter::Write(std::string_view Bytes) {
  if (FBufPos + Bytes.size() > kBufferSize) {
    Flush();
    if (Bytes.size() > kBufferSize) {
      FStream.WriteBuffer(Bytes);
      return;
    }
  }
  if (!Bytes.empty()) std::memcpy(FBuffer.get() + FBufPos, Bytes.data(), Bytes.size());
  FBufPos += Bytes.size();
}

void TRidEderFileWriter::WriteLine(std::string_view Bytes) {
  Write(Bytes);
  Write(LineBreakText(FLineBreakStyle));
}

// ---------------------------------------------------------------------------------------------
// TRidLineEdits

size_t FindLineBreak(std::string_view S, size_t From, size_t& Length, uint8_t& Kind) {
  size_t at = From;
  while (at < S.size() && S[at] != '\r' && S[at] != '\n') ++at;
  if (at >= S.size()) return std::string_view::npos;
  Length = 1;
  Kind = S[at] == '\n' ? lbsLF : lbsCR;
  if (S[at] == '\r' && at + 1 < S.size() && S[at + 1] == '\n') {
    Length = 2;
    Kind = lbsCRLF;
  }
  return at;
}

void TRidLineEdits::BeginLine(int32_t Index) { FLines.push_back({Index, 0}); }

void TRidLineEdits::AddHit(int32_t Pos, std::string_view Old, std::string_view New) {
  FHits.push_back({Pos, static_cast<int32_t>(Old.size()), static_cast<int32_t>(New.size())});
  FBytes.append(Old);
  FBytes.append(New);
  ++FLines.back().Hits;
  FCaretHit = FHits.size() - 1;
}

void TRidLineEdits::Reverse() {
  std::reverse(FLines.begin(), FLines.end());
  std::reverse(FHits.begin(), FHits.end());
  // Each hit's bytes now read new then old, both backwards: turning them round puts them back.
  std::reverse(FBytes.begin(), FBytes.end());
  size_t at = 0;
  for (const THit& h : FHits) {
    const size_t n = static_cast<size_t>(h.OldLen) + h.NewLen;
    std::reverse(FBytes.begin() + at, FBytes.begin() + at + n);
    at += n;
  }
  if (!FHits.empty()) FCaretHit = FHits.size() - 1 - FCaretHit;
  FWalkedUp = true;
}

void TRidLineEdits::TLine::After(std::string_view Before, TRows& Out) const {
  Out.Text.clear();
  Out.Ends.clear();
  Out.Breaks.clear();
  Out.Added.clear();
  Out.CaretRow = -1;
  size_t from = 0, rowStart = 0;
  const char* b = Bytes;
  for (size_t k = 0; k < Hits.size(); ++k) {
    const THit& h = Hits[k];
    // (Clamped, so that a line changed behind the undo list's back cannot make it fail.)
    const size_t at = std::clamp<size_t>(h.Pos, from, Before.size());
    Out.Text.append(Before.substr(from, at - from));
    const std::string_view text(b + h.OldLen, static_cast<size_t>(h.NewLen));
    b += static_cast<size_t>(h.OldLen) + h.NewLen;
    const TRows::TAdded added{static_cast<int32_t>(Out.Ends.size()), Out.Text.size() > rowStart,
                              h.Pos > 0, 0};
    size_t piece = 0, length = 0;
    uint8_t kind = lbsCRLF;
    for (size_t at; (at = FindLineBreak(text, piece, length, kind)) != std::string_view::npos;) {
      Out.Text.append(text.substr(piece, at - piece));
      Out.Ends.push_back(rowStart = Out.Text.size());
      Out.Breaks.push_back(static_cast<char>(kind));
      piece = at + length;
    }
    Out.Text.append(text.substr(piece));
    if (static_cast<size_t>(added.Row) < Out.Ends.size())
      Out.Added.push_back({added.Row, added.Inside, added.InsideBefore,
                           static_cast<int32_t>(Out.Ends.size()) - added.Row});
    if (HasCaret && k == CaretHit) {
      Out.CaretRow = static_cast<int32_t>(Out.Ends.size());
      Out.CaretCol = static_cast<int32_t>(Out.Text.size() - rowStart);
    }
    from = std::min(at + h.OldLen, Before.size());
  }
  Out.Text.append(Before.substr(from));
  Out.Ends.push_back(Out.Text.size());
}

void TRidLineEdits::TLine::Before(std::string_view After, std::string& Out) const {
  Out.clear();
  size_t from = 0;
  int64_t shift = 0;  // how far the new texts so far moved the line's bytes
  const char* b = Bytes;
  for (const THit& h : Hits) {
    const size_t at = std::clamp<size_t>(static_cast<size_t>(h.Pos + shift), from, After.size());
    Out.append(After.substr(from, at - from));
    Out.append(b, static_cast<size_t>(h.OldLen));
    b += static_cast<size_t>(h.OldLen) + h.NewLen;
    from = std::min(at + h.NewLen, After.size());
    shift += h.NewLen - h.OldLen;
  }
  Out.append(After.substr(from));
}

std::string TRidLineEdits::TLine::BreakKinds() const {
  std::string kinds;
  const char* b = Bytes;
  for (const THit& h : Hits) {
    const std::string_view text(b + h.OldLen, static_cast<size_t>(h.NewLen));
    b += static_cast<size_t>(h.OldLen) + h.NewLen;
    size_t length = 0;
    uint8_t kind = lbsCRLF;
    for (size_t at = 0; (at = FindLineBreak(text, at, length, kind)) != std::string_view::npos;
         at += length)
      kinds.push_back(static_cast<char>(kind));
  }
  return kinds;
}

// ---------------------------------------------------------------------------------------------
// TRidEderUndoItem

void TRidEderUndoItem::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TRidEderUndoItem*>(Source);
  if (!Src) return TPersistent::Assign(Source);
  FChangeReason = Src->FChangeReason;
  FChangeSelMode = Src->FChangeSelMode;
  FChangeStartPos = Src->FChangeStartPos;
  FChangeEndPos = Src->FChangeEndPos;
  FChangeStr = Src->FChangeStr;
  FChangeNumber = Src->FChangeNumber;
  FChangeBreaks = Src->FChangeBreaks;
  FTrimmed = Src->FTrimmed;
  FLineEdits = Src->FLineEdits;
}

// ---------------------------------------------------------------------------------------------
// TRidEderUndoList

TRidEderUndoList::TRidEderUndoList() = default;
TRidEderUndoList::~TRidEderUndoList() = default;

void TRidEderUndoList::AdvanceChangeNumber() {
  // Wraps like a 32-bit counter but never yields 0, the "no block" number.
  FNextChangeNumber = static_cast<int32_t>(static_cast<uint32_t>(FNextChangeNumber) + 1u);
  if (FNextChangeNumber == 0) FNextChangeNumber = 1;
}

std::unique_ptr<TRidEderUndoItem> TRidEderUndoList::NewItem(TRidChangeReason AReason,
                                                            const TBufferCoord& AStart,
                                                            const TBufferCoord& AEnd,
                                                            const std::string& ChangeText,
                                                            TRidSelectionMode SelMode) {
  auto Item = std::make_unique<TRidEderUndoItem>();
  Item->FChangeReason = AReason;
  Item->FChangeSelMode = SelMode;
  Item->FChangeStartPos = AStart;
  Item->FChangeEndPos = AEnd;
  Item->FChangeStr = ChangeText;
  if (FBlockChangeNumber != 0) {
    Item->FChangeNumber = FBlockChangeNumber;
  } else {
    Item->FChangeNumber = FNextChangeNumber;
    AdvanceChangeNumber();
  }
  return Item;
}

void TRidEderUndoList::AddChange(TRidChangeReason AReason, const TBufferCoord& AStart,
                                 const TBufferCoord& AEnd, const std::string& ChangeText,
                                 TRidSelectionMode SelMode, const std::string& Breaks) {
  if (FLockCount > 0) return;
  std::unique_ptr<TRidEderUndoItem> Item = NewItem(AReason, AStart, AEnd, ChangeText, SelMode);
  Item->FChangeBreaks = Breaks;
  PushItem(std::move(Item));
}

void TRidEderUndoList::AddTrim(const TBufferCoord& AStart, const TBufferCoord& AEnd,
                               const std::string& Blanks) {
  if (FLockCount > 0) return;
  std::unique_ptr<TRidEderUndoItem> Item = NewItem(urDeleteBefore, AStart, AEnd, Blanks, smNormal);
  Item->FTrimmed = true;
  PushItem(std::move(Item));
}

void TRidEderUndoList::AddLineEdits(std::shared_ptr<const TRidLineEdits> Edits,
                                    const TBufferCoord& AStart, const TBufferCoord& AEnd) {
  if (FLockCount > 0) return;
  std::unique_ptr<TRidEderUndoItem> Item = NewItem(urLineEdits, AStart, AEnd, {}, smNormal);
  Item->FLineEdits = std::move(Edits);
  PushItem(std::move(Item));
}

void TRidEderUndoList::PushItem(std::unique_ptr<TRidEderUndoItem> Item) {
  if (!Item) return;
  const bool GroupBreak = Item->FChangeReason == urGroupBreak;
  const bool Trim = Item->FTrimmed;
  FItems.push_back(std::move(Item));
  const size_t top = FItems.size() - 1;
  const bool SameGroup = top > 0 && FItems[top - 1]->FChangeNumber == FItems[top]->FChangeNumber;
  if (!SameGroup)
    FGroupBegin = static_cast<int32_t>(top);
  else if (FGroupBegin < 0)
    FGroupBegin = static_cast<int32_t>(GroupBegin(top));
  // A break stays with the step under it, and so does a change that joins it. A second change
  // of a group takes the group's first out of the run it joined: the step begins there. (The
  // steps under it are settled, so trimming keeps no more than the limit.)
  if (top == 0 || (!GroupBreak && !JoinsBelow(top)))
    FStepBegin = static_cast<int32_t>(top);
  else if (SameGroup && !GroupBreak && !Trim && FStepBegin >= 0)
    FStepBegin = FGroupBegin;
  EnsureMaxEntries();
  if (!GroupBreak && OnAddedUndo) OnAddedUndo(this);
}

std::unique_ptr<TRidEderUndoItem> TRidEderUndoList::PopItem() {
  if (FItems.empty()) return nullptr;
  std::unique_ptr<TRidEderUndoItem> Item = std::move(FItems.back());
  FItems.pop_back();
  FStepBegin = -1;  // what is left may join what was under the item
  if (FGroupBegin >= ItemCount()) FGroupBegin = -1;
  return Item;
}

TRidEderUndoItem* TRidEderUndoList::PeekItem() const {
  return FItems.empty() ? nullptr : FItems.back().get();
}

void TRidEderUndoList::BeginBlock() {
  ++FBlockCount;
  FBlockChangeNumber = FNextChangeNumber;
}

void TRidEderUndoList::EndBlock() {
  if (FBlockCount <= 0) return;
  if (--FBlockCount > 0) return;
  const int32_t Closed = FBlockChangeNumber;
  FBlockChangeNumber = 0;
  AdvanceChangeNumber();
  if (!FItems.empty() && FItems.back()->FChangeNumber == Closed && OnAddedUndo) OnAddedUndo(this);
}

void TRidEderUndoList::AddGroupBreak() {
  if (LastChangeReason() != urGroupBreak) AddChange(urGroupBreak, {}, {}, {}, smNormal);
}

TRidChangeReason TRidEderUndoList::LastChangeReason() const {
  return FItems.empty() ? urNothing : FItems.back()->FChangeReason;
}

void TRidEderUndoList::Clear() {
  FItems.clear();
  FFullUndoImpossible = false;
  FDroppedNumber = 0;
  FStepBegin = FGroupBegin = -1;
}

void TRidEderUndoList::SetMaxUndoActions(int32_t Value) {
  if (Value < 0) Value = 0;
  if (Value == FMaxUndoActions) return;
  FMaxUndoActions = Value;
  EnsureMaxEntries();
}

void TRidEderUndoList::EnsureMaxEntries() {
  if (ItemCount() <= FMaxUndoActions) return;
  if (FMaxUndoActions == 0) {  // no undo at all
    FDroppedNumber = FItems.back()->FChangeNumber;
    FItems.clear();
    FStepBegin = FGroupBegin = -1;
    FFullUndoImpossible = true;
    return;
  }
  while (ItemCount() > FMaxUndoActions && HasOlderSteps()) DropOldestStep();
  // A break left at the front marks the end of no step: an undo would take nothing back. The
  // text under it is the one it marked.
  while (HasOlderSteps() && FItems.front()->FChangeReason == urGroupBreak) DropFront(1);
}

// Whether anything lies under the step being recorded.
bool TRidEderUndoList::HasOlderSteps() {
  if (FStepBegin < 0) FStepBegin = NewestStepBegin();
  return FStepBegin > 0;
}

// The oldest step, whole: its items up to the first that one undo would not take back with them.
// Where one item joins the one under it is settled once an item that does not join lies above
// it, so the step dropped is the one undo would have taken back.
void TRidEderUndoList::DropOldestStep() {
  size_t count = 1;
  while (count < FItems.size() && JoinsBelow(count)) ++count;
  if (count == FItems.size()) {  // it is the step being recorded
    FStepBegin = 0;
    return;
  }
  DropFront(count);
}

void TRidEderUndoList::DropFront(size_t Count) {
  FFullUndoImpossible = true;
  FDroppedNumber = FItems[Count - 1]->FChangeNumber;
  FItems.erase(FItems.begin(), FItems.begin() + static_cast<ptrdiff_t>(Count));
  const auto shifted = [Count](int32_t Index) {
    return Index >= static_cast<int32_t>(Count) ? Index - static_cast<int32_t>(Count) : -1;
  };
  FStepBegin = shifted(FStepBegin);
  FGroupBegin = shifted(FGroupBegin);
}

// The index of the first item of the change group that holds the item at Index.
size_t TRidEderUndoList::GroupBegin(size_t Index) const {
  while (Index > 0 && FItems[Index - 1]->FChangeNumber == FItems[Index]->FChangeNumber) --Index;
  return Index;
}

int32_t TRidEderUndoList::NewestStepBegin() const {
  if (FItems.empty()) return 0;
  size_t i = FItems.size() - 1;
  if (i > 0 && FItems[i]->FChangeReason == urGroupBreak) --i;  // undo moves it off first
  while (i > 0 && JoinsBelow(i)) --i;
  return static_cast<int32_t>(i);
}

// Whether the item at Index undoes in one step with the one under it: both of one change group,
// or under grouping both changes recorded alone, of one reason that groups (the blanks an edit
// trimmed count as part of the edit).
bool TRidEderUndoList::JoinsBelow(size_t Index) const {
  const TRidEderUndoItem& above = *FItems[Index];
  if (above.FChangeNumber == FItems[Index - 1]->FChangeNumber) return true;
  const size_t edit = WithoutTrims(Index - 1);
  const TRidEderUndoItem& below = *FItems[edit];
  if (!FGroupUndo || above.FChangeReason != below.FChangeReason) return false;
  switch (above.FChangeReason) {
    case urIndent:
    case urUnindent:
    case urGroupBreak:
    case urLineEdits:
    case urPasteBegin:
    case urPasteEnd:
      return false;
    default:
      break;
  }
  // Alone under its number: a group (a completion, typing over a selection, a step redone)
  // undoes whole and alone. A break above a change, which undo moves off first, does not count.
  if (edit >= 1 && FItems[edit - 1]->FChangeNumber == below.FChangeNumber) return false;
  size_t next = Index + 1;
  while (next < FItems.size() &&
         (FItems[next]->FChangeReason == urGroupBreak ||
          (FItems[next]->FTrimmed && FItems[next]->FChangeNumber == above.FChangeNumber)))
    ++next;
  return next == FItems.size() || FItems[next]->FChangeNumber != above.FChangeNumber;
}

// The item at Index, or the edit under the trims at Index that share its group.
size_t TRidEderUndoList::WithoutTrims(size_t Index) const {
  while (Index > 0 && FItems[Index]->FTrimmed &&
         FItems[Index - 1]->FChangeNumber == FItems[Index]->FChangeNumber)
    --Index;
  return Index;
}

void TRidEderUndoList::MarkSavePoint(bool Unmodified) {
  if (Unmodified) {
    FSavePoint = FItems.empty() ? FDroppedNumber : FItems.back()->FChangeNumber;
  } else if (IsAtSavePoint()) {
    FSavePoint = -1;
  }
}

bool TRidEderUndoList::IsAtSavePoint() const {
  return (FItems.empty() ? FDroppedNumber : FItems.back()->FChangeNumber) == FSavePoint;
}

void TRidEderUndoList::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TRidEderUndoList*>(Source);
  if (!Src) return TPersistent::Assign(Source);
  if (Src == this) return;
  Clear();
  for (const auto& Item : Src->FItems) {
    auto Copy = std::make_unique<TRidEderUndoItem>();
    Copy->Assign(Item.get());
    FItems.push_back(std::move(Copy));
  }
  FBlockChangeNumber = Src->FBlockChangeNumber;
  FBlockCount = Src->FBlockCount;
  FFullUndoImpossible = Src->FFullUndoImpossible;
  FLockCount = Src->FLockCount;
  FMaxUndoActions = Src->FMaxUndoActions;
  FNextChangeNumber = Src->FNextChangeNumber;
  FDroppedNumber = Src->FDroppedNumber;
  FGroupUndo = Src->FGroupUndo;
  FInsideUndo = Src->FInsideUndo;
}

}  // namespace rid
