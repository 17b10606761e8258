#include "editor/RidEderTextBuffer.h"

#include <algorithm>
#include <cstring>

namespace rid {

namespace {

constexpr const char* SInvalidStringListIndex = "Invalid stringlist index %d";
constexpr const char* SCapacityBelowCount = "Stringlist capacity cannot be smaller than count";

// Brackets a change with BeginUpdate / EndUpdate, also when an exception passes.
using UpdateGuard = TStringsUpdate;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TRidEderStringList

TRidEderStringList::TRidEderStringList() : FConvertTabsProc(GetBestConvertTabsProcEx(8)) {}

TRidEderStringList::~TRidEderStringList() {
  // No change events while the list goes away.
  OnChange.Clear();
  OnChanging.Clear();
}

void TRidEderStringList::ListIndexOutOfBounds(int32_t Index) const {
  throw ERidEderStringList(FormatStr(SInvalidStringListIndex, Index));
}

std::string TRidEderStringList::Get(int32_t Index) const {
  return std::string(GetView(Index));
}

std::string_view TRidEderStringList::GetView(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return {};
  return FList[Index].FString;
}

TObject* TRidEderStringList::GetObject(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return nullptr;
  return FList[Index].FObject;
}

std::string TRidEderStringList::GetTextStr() const {
  if (FList.empty()) return {};
  size_t Size = 0;
  for (const TRidEderStringRec& r : FList) Size += r.FString.size() + 2;
  std::string Result;
  Result.reserve(Size - 2);
  for (const TRidEderStringRec& r : FList) {
    Result += r.FString;
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
  FIndexOfLongestLine = -1;
  TRidEderStringRec& r = FList[Index];
  r.FFlags = lfLengthUnknown;
  r.FExpandedLength = -1;
  r.FString = S;
  if (OnLinesReplaced) OnLinesReplaced(this, Index, 1);
}

void TRidEderStringList::PutObject(int32_t Index, TObject* AObject) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  FList[Index].FObject = AObject;
}

void TRidEderStringList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < GetCount()) throw EStringListError(SCapacityBelowCount);
  if (static_cast<size_t>(NewCapacity) > FList.capacity()) {
    FList.reserve(NewCapacity);
  } else if (static_cast<size_t>(NewCapacity) < FList.capacity()) {
    std::vector<TRidEderStringRec> Smaller;
    Smaller.reserve(NewCapacity);
    std::move(FList.begin(), FList.end(), std::back_inserter(Smaller));
    FList.swap(Smaller);
  }
}

void TRidEderStringList::SetUpdateState(bool Updating) {
  if (Updating) {
    if (OnChanging) OnChanging(this);
  } else {
    if (OnChange) OnChange(this);
  }
}

void TRidEderStringList::Grow(size_t Needed) {
  size_t Cap = FList.capacity();
  if (Needed <= Cap) return;
  // 16 records at a time while small, then a quarter more.
  size_t Grown = Cap <= 64 ? Cap + 16 : Cap + Cap / 4;
  FList.reserve(std::max(Needed, Grown));
}

void TRidEderStringList::InsertItem(int32_t Index, std::string S) {
  Grow(FList.size() + 1);
  FIndexOfLongestLine = -1;
  TRidEderStringRec r;
  r.FString = std::move(S);
  FList.insert(FList.begin() + Index, std::move(r));
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
  FIndexOfLongestLine = -1;
  UpdateGuard Update(this);
  const int32_t First = GetCount();
  if (static_cast<size_t>(First) + n > FList.capacity())
    SetCapacity(((First + n + 15) / 16) * 16);
  for (int32_t i = 0; i < n; ++i) {
    TRidEderStringRec r;
    r.FString = Strings->Get(i);
    r.FObject = Strings->GetObject(i);
    FList.push_back(std::move(r));
  }
  FireInserted(First, n);
}

void TRidEderStringList::Clear() {
  if (!FList.empty()) {
    UpdateGuard Update(this);
    std::vector<TRidEderStringRec>().swap(FList);
    if (OnListCleared) OnListCleared(this);
  }
  FIndexOfLongestLine = -1;
}

void TRidEderStringList::Delete(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  FList.erase(FList.begin() + Index);
  FIndexOfLongestLine = -1;
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
    FList.erase(FList.begin() + Index, FList.begin() + Index + NumLines);
    // The cached longest line may have gone or moved.
    FIndexOfLongestLine = -1;
  }
  if (OnLinesDeleted) OnLinesDeleted(this, Index, NumLines);
}

void TRidEderStringList::Exchange(int32_t Index1, int32_t Index2) {
  if (Index1 < 0 || Index1 >= GetCount()) ListIndexOutOfBounds(Index1);
  if (Index2 < 0 || Index2 >= GetCount()) ListIndexOutOfBounds(Index2);
  UpdateGuard Update(this);
  std::swap(FList[Index1], FList[Index2]);
  if (FIndexOfLongestLine == Index1)
    FIndexOfLongestLine = Index2;
  else if (FIndexOfLongestLine == Index2)
    FIndexOfLongestLine = Index1;
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
  Grow(FList.size() + NumLines);
  FList.insert(FList.begin() + Index, static_cast<size_t>(NumLines), TRidEderStringRec{});
  // The cached longest line may have moved.
  FIndexOfLongestLine = -1;
  FireInserted(Index, NumLines);
}

TRidRange TRidEderStringList::GetRange(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return 0;
  return FList[Index].FRange;
}

void TRidEderStringList::PutRange(int32_t Index, TRidRange ARange) {
  if (Index < 0 || Index >= GetCount()) ListIndexOutOfBounds(Index);
  UpdateGuard Update(this);
  FList[Index].FRange = ARange;
}

int32_t TRidEderStringList::ExpandLine(int32_t Index, std::string* Expanded) {
  TRidEderStringRec& r = FList[Index];
  if (r.FString.empty()) {
    r.FExpandedLength = 0;
    r.FFlags = lfNoTabs;
    if (Expanded) Expanded->clear();
    return 0;
  }
  bool HasTabs;
  if (!Expanded && FConvertTabsProc != &ConvertTabsSingleEx) {
    // Only the length is wanted: measure without building the text.
    int32_t Before;
    HasTabs = FindFirstTab(r.FString, Before);
    r.FExpandedLength = HasTabs ? ExpandedLength(r.FString, FTabWidth)
                                : static_cast<int32_t>(r.FString.size());
  } else {
    std::string Result = FConvertTabsProc(r.FString, FTabWidth, HasTabs);
    r.FExpandedLength = static_cast<int32_t>(Result.size());
    if (Expanded) *Expanded = std::move(Result);
  }
  r.FFlags = HasTabs ? lfHasTabs : lfNoTabs;
  return r.FExpandedLength;
}

std::string TRidEderStringList::GetExpandedString(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) return {};
  if (FList[Index].FFlags & lfNoTabs) return FList[Index].FString;
  std::string Result;
  ExpandLine(Index, &Result);
  return Result;
}

int32_t TRidEderStringList::GetExpandedStringLength(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) return 0;
  if (FList[Index].FFlags & lfLengthUnknown) return ExpandLine(Index, nullptr);
  return FList[Index].FExpandedLength;
}

int32_t TRidEderStringList::GetLengthOfLongestLine() {
  if (FIndexOfLongestLine < 0) {
    int32_t Best = 0;
    for (int32_t i = 0; i < GetCount(); ++i) {
      int32_t Len = (FList[i].FFlags & lfLengthUnknown) ? ExpandLine(i, nullptr)
                                                        : FList[i].FExpandedLength;
      if (Len > Best) {
        Best = Len;
        FIndexOfLongestLine = i;
      }
    }
  }
  if (FIndexOfLongestLine >= 0 && FIndexOfLongestLine < GetCount())
    return FList[FIndexOfLongestLine].FExpandedLength;
  return 0;
}

void TRidEderStringList::SetTabWidth(int32_t Value) {
  // A width of 0 would divide by zero in the expansion; the editor keeps 1..256 as well.
  Value = ClampInteger(Value, 1, 256);
  if (Value == FTabWidth) return;
  FTabWidth = Value;
  FConvertTabsProc = GetBestConvertTabsProcEx(Value);
  FIndexOfLongestLine = -1;
  for (TRidEderStringRec& r : FList) {
    r.FExpandedLength = -1;
    r.FFlags = lfLengthUnknown;
  }
}

// --- loading and saving

void TRidEderStringList::LoadFromFile(const std::string& FileName) {
  LoadFromBytes(LoadBytesFromFile(FileName));
}

void TRidEderStringList::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  const int64_t Size = Stream->GetSize();
  std::string Data;
  Data.resize(static_cast<size_t>(Size));
  for (int64_t Done = 0; Done < Size;) {
    int32_t Chunk = static_cast<int32_t>(std::min<int64_t>(Size - Done, 1 << 30));
    Stream->ReadBuffer(Data.data() + Done, Chunk);
    Done += Chunk;
  }
  LoadFromBytes(Data);
}

void TRidEderStringList::LoadFromBytes(std::string_view Data) {
  UpdateGuard Update(this);
  Clear();
  FLineBreakStyle = lbsCRLF;
  FMixedBreaks = false;
  if (Data.empty()) return;
  const char* const Begin = Data.data();
  const char* const End = Begin + Data.size();

  // Count the lines first so that the records are allocated once.
  size_t Breaks = static_cast<size_t>(std::count(Begin, End, '\n'));
  for (const char* p = Begin; (p = static_cast<const char*>(std::memchr(p, '\r', End - p)));) {
    ++p;
    if (p == End || *p != '\n') ++Breaks;  // CR alone; CR LF was counted with its LF
  }
  FList.reserve(Breaks + 1);

  // The next CR and LF are remembered, so each byte is searched once whatever the style.
  const char* NextCR = nullptr;
  const char* NextLF = nullptr;
  auto Find = [End](const char* From, char c) {
    const char* p = static_cast<const char*>(std::memchr(From, c, End - From));
    return p ? p : End;
  };
  bool SawCR = false, SawLF = false;
  bool SawCRLF = false;
  const char* p = Begin;
  while (p < End) {
    if (!NextCR || NextCR < p) NextCR = Find(p, '\r');
    if (!NextLF || NextLF < p) NextLF = Find(p, '\n');
    const char* LineEnd = std::min(NextCR, NextLF);
    const int32_t Index = GetCount();
    TRidEderStringRec r;
    r.FString.assign(p, LineEnd);
    p = LineEnd;
    bool CR = false, LF = false;
    if (p < End && *p == '\r') {
      CR = true;
      ++p;
    }
    if (p < End && *p == '\n') {
      LF = true;
      ++p;
    }
    r.FBreak = CR && !LF ? lbsCR : LF && !CR ? lbsLF : lbsCRLF;
    SawCR |= CR && !LF;
    SawLF |= LF && !CR;
    SawCRLF |= CR && LF;
    FList.push_back(std::move(r));
    FireInserted(Index, 1);
  }
  if (!FFinalLineBreak && (Data.back() == '\r' || Data.back() == '\n')) {
    FList.emplace_back();
    FireInserted(GetCount() - 1, 1);
  }
  FIndexOfLongestLine = -1;
  // Style as the breaks seen decide: a single kind gives its style, anything else CR LF.
  const int Kinds = int(SawCR) + int(SawLF) + int(SawCRLF);
  if (Kinds == 1 && SawCR)
    FLineBreakStyle = lbsCR;
  else if (Kinds == 1 && SawLF)
    FLineBreakStyle = lbsLF;
  else
    FLineBreakStyle = lbsCRLF;
  FMixedBreaks = Kinds > 1;
}

std::string TRidEderStringList::SaveToBytes() const {
  if (FList.empty()) return {};
  static constexpr std::string_view Breaks[3] = {"\r\n", "\n", "\r"};
  auto BreakOf = [this](const TRidEderStringRec& r) {
    uint8_t Style = FMixedBreaks ? r.FBreak : FLineBreakStyle;
    return Breaks[Style == lbsLF || Style == lbsCR ? Style : lbsCRLF];
  };
  const size_t Last = FList.size() - 1;
  size_t Total = 0;
  for (size_t i = 0; i <= Last; ++i) {
    Total += FList[i].FString.size();
    if (i < Last || FFinalLineBreak) Total += BreakOf(FList[i]).size();
  }
  std::string Result;
  Result.resize(Total);
  char* d = Result.data();
  for (size_t i = 0; i <= Last; ++i) {
    const std::string& s = FList[i].FString;
    std::memcpy(d, s.data(), s.size());
    d += s.size();
    if (i < Last || FFinalLineBreak) {
      std::string_view b = BreakOf(FList[i]);
      std::memcpy(d, b.data(), b.size());
      d += b.size();
    }
  }
  return Result;
}

void TRidEderStringList::SaveToStream(TStream* Stream) {
  std::string Data = SaveToBytes();
  for (size_t Done = 0; Done < Data.size();) {
    int32_t Chunk = static_cast<int32_t>(std::min<size_t>(Data.size() - Done, 1 << 30));
    Stream->WriteBuffer(Data.data() + Done, Chunk);
    Done += Chunk;
  }
}

void TRidEderStringList::SaveToFile(const std::string& FileName) {
  SaveBytesToFileAtomic(FileName, SaveToBytes());
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

void TRidEderUndoList::AddChange(TRidChangeReason AReason, const TBufferCoord& AStart,
                                 const TBufferCoord& AEnd, const std::string& ChangeText,
                                 TRidSelectionMode SelMode) {
  if (FLockCount > 0) return;
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
  PushItem(std::move(Item));
}

void TRidEderUndoList::PushItem(std::unique_ptr<TRidEderUndoItem> Item) {
  if (!Item) return;
  const bool GroupBreak = Item->FChangeReason == urGroupBreak;
  FItems.push_back(std::move(Item));
  EnsureMaxEntries();
  if (!GroupBreak && OnAddedUndo) OnAddedUndo(this);
}

std::unique_ptr<TRidEderUndoItem> TRidEderUndoList::PopItem() {
  if (FItems.empty()) return nullptr;
  std::unique_ptr<TRidEderUndoItem> Item = std::move(FItems.back());
  FItems.pop_back();
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
}

void TRidEderUndoList::SetMaxUndoActions(int32_t Value) {
  if (Value < 0) Value = 0;
  if (Value == FMaxUndoActions) return;
  FMaxUndoActions = Value;
  EnsureMaxEntries();
}

void TRidEderUndoList::EnsureMaxEntries() {
  if (static_cast<int32_t>(FItems.size()) <= FMaxUndoActions) return;
  FFullUndoImpossible = true;
  FItems.erase(FItems.begin(), FItems.end() - FMaxUndoActions);
}

void TRidEderUndoList::MarkSavePoint(bool Unmodified) {
  if (Unmodified) {
    FSavePoint = FItems.empty() ? 0 : FItems.back()->FChangeNumber;
  } else if (IsAtSavePoint()) {
    FSavePoint = -1;
  }
}

bool TRidEderUndoList::IsAtSavePoint() const {
  return FItems.empty() ? FSavePoint == 0 : FItems.back()->FChangeNumber == FSavePoint;
}

void TRidEderUndoList::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TRidEderUndoList*>(Source);
  if (!Src) return TPersistent::Assign(Source);
  if (Src == this) return;
  Clear();
  FItems.reserve(Src->FItems.size());
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
  FInsideUndo = Src->FInsideUndo;
}

}  // namespace rid
