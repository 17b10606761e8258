// Keeping the control in step with its line buffer: highlighter ranges, word wrap, repaints.
#include <algorithm>

#include "editor/RidEder.h"

namespace rid {

// Brings the highlighter to the end of line Index, from the range it is given before the line.
// Two empty tokens in a row before the end would never end (painting stops there too).
void TCustomRidEder::ScanLine(int32_t Index) {
  FHighlighter->SetLine(FLines->GetView(Index), Index);
  for (int empty = 0; !FHighlighter->GetEol(); FHighlighter->Next()) {
    empty = FHighlighter->GetTokenView().empty() ? empty + 1 : 0;
    if (empty > 1) throw ERidEder(SHighlighterLoops);
  }
}

namespace {

// What a stale line stores: what a new line holds, and no highlighter's range.
constexpr TRidRange kStaleRange = RidRangeUnscanned;

}  // namespace

// From line Index, a stale line, rescans until a line that is not stale ends in the range
// stored for it, and returns that line. Lines not yet scanned are left to the read that needs
// them: when the rescan reaches them still changing, everything below may look different and
// the result is the last line.
int32_t TCustomRidEder::ScanFrom(int32_t Index) {
  if (Index == 0)
    FHighlighter->ResetRange();
  else
    FHighlighter->SetRange(FLines->GetStoredRange(Index - 1));
  for (;;) {
    ScanLine(Index);
    const TRidRange range = FHighlighter->GetRange();
    const TRidRange stored = FLines->GetStoredRange(Index);
    if (range == stored && stored != kStaleRange) return Index;
    FLines->StoreRange(Index, range);
    if (++Index == FLines->GetCount()) return Index - 1;
    if (Index == FRangesKnown) return FLines->GetCount() - 1;
  }
}

void TCustomRidEder::ScanRanges() {
  FRangesKnown = 0;
  FStaleFirst = FStaleLast = -1;
}

bool TCustomRidEder::KeepsRanges() const { return FHighlighter && FHighlighter->KeepsLineState(); }

void TCustomRidEder::MarkStale(int32_t Index, int32_t Count) {
  const int32_t last = std::min(Index + Count, FRangesKnown) - 1;
  if (!KeepsRanges() || last < Index) return;
  for (int32_t i = Index; i <= last; ++i) FLines->StoreRange(i, kStaleRange);
  FStaleFirst = FStaleFirst < 0 ? Index : std::min(FStaleFirst, Index);
  FStaleLast = std::max(FStaleLast, last);
}

int32_t TCustomRidEder::NextStale(int32_t From, int32_t Last) const {
  while (From <= Last && FLines->GetStoredRange(From) != kStaleRange) ++From;
  return From;
}

// One rescan from the first stale line: each run of changed lines is scanned on until it agrees
// with the lines below, and the lines between the runs, which agree, are skipped.
void TCustomRidEder::RescanStale() {
  if (FStaleFirst < 0) return;
  const int32_t first = FStaleFirst;
  const int32_t last = std::min(FStaleLast, FRangesKnown - 1);
  FStaleFirst = FStaleLast = -1;
  if (!KeepsRanges() || last < first) return;
  int32_t reached = first;
  try {
    for (int32_t i = first; i <= last; i = NextStale(reached + 1, last)) reached = ScanFrom(i);
  } catch (const Exception&) {
    // Ends of edits run in destructors: a highlighter that loops is left to the read that needs
    // these ranges, which reports it.
    FRangesKnown = std::min(FRangesKnown, first);
    reached = MaxInt;
  }
  InvalidateLines(first + 1, reached == MaxInt ? MaxInt : reached + 1);
}

void TCustomRidEder::RescanStaleUnlessEditing() {
  if (FPaintLock == 0 && !(FStateFlags & sfLinesChanging)) RescanStale();
}

TRidRange TCustomRidEder::RangeNeeded(TObject*, int32_t Index) {
  if (!FHighlighter) return FLines->GetStoredRange(Index);
  // Nothing carried from line to line: every range is the one a scan starts with.
  if (!FHighlighter->KeepsLineState()) return 0;
  if (FStaleFirst >= 0 && Index >= FStaleFirst) RescanStale();
  if (Index >= FRangesKnown) {
    if (FRangesKnown == 0)
      FHighlighter->ResetRange();
    else
      FHighlighter->SetRange(FLines->GetStoredRange(FRangesKnown - 1));
    for (int32_t i = FRangesKnown; i <= Index; ++i) {
      ScanLine(i);
      FLines->StoreRange(i, FHighlighter->GetRange());
    }
    FRangesKnown = Index + 1;
  }
  return FLines->GetStoredRange(Index);
}

void TCustomRidEder::ListCleared(TObject*) {
  ScanRanges();
  if (GetWordWrap()) FWordWrapPlugin->Reset();
  ClearUndo();
  FInvalidateRect = TRect{};
  Invalidate();
  FCaretX = FCaretY = 1;
  FBlockBegin = FBlockEnd = {1, 1};
  FTopLine = 1;
  FLeftChar = 1;
  SetTextOffsetFromLeftChar();
  UpdateLastCaretX();
  FStateFlags |= sfCaretChanged | sfScrollbarChanged;
  StatusChanged({scAll});
}

void TCustomRidEder::ListDeleted(TObject*, int32_t Index, int32_t Count) {
  if (FTrimAfterEdit) FTrimAfterEdit->LinesDeleted(Index, Count);
  // The lines below the deleted ones keep what is known of them; the line after them may now
  // start in another range.
  for (int32_t* line : {&FRangesKnown, &FStaleFirst, &FStaleLast})
    if (*line > Index) *line = std::max(Index, *line - Count);
  MarkStale(Index, 1);
  if (GetWordWrap()) FWordWrapPlugin->LinesDeleted(Index, Count);
  RescanStaleUnlessEditing();
  InvalidateLines(Index + 1, MaxInt);
  InvalidateGutterLines(Index + 1, MaxInt);
}

void TCustomRidEder::GrowMaxScrollWidth(int32_t Index) {
  if (!FOptions.Contains(eoAutoSizeMaxScrollWidth) || Index >= FLines->GetCount()) return;
  int32_t len = FLines->GetExpandedStringLength(Index);
  if (len > FMaxScrollWidth) SetMaxScrollWidth(len);
}

void TCustomRidEder::ListInserted(TObject*, int32_t Index, int32_t Count) {
  if (FTrimAfterEdit) FTrimAfterEdit->LinesInserted(Index, Count);
  // The lines below the new ones keep what is known of them.
  if (Index < FRangesKnown) FRangesKnown += Count;
  if (FStaleFirst >= Index) FStaleFirst += Count;
  if (FStaleLast >= Index) FStaleLast += Count;
  MarkStale(Index, Count);
  if (GetWordWrap()) FWordWrapPlugin->LinesInserted(Index, Count);
  RescanStaleUnlessEditing();
  InvalidateLines(Index + 1, MaxInt);
  InvalidateGutterLines(Index + 1, MaxInt);
  GrowMaxScrollWidth(Index);
}

void TCustomRidEder::ListPutted(TObject*, int32_t Index, int32_t Count) {
  int32_t last = Index + Count;
  if (GetWordWrap()) {
    if (FWordWrapPlugin->LinesPutted(Index, Count) != 0) {
      last = MaxInt;
      InvalidateGutterLines(Index + 1, last);
    }
  }
  MarkStale(Index, Count);
  RescanStaleUnlessEditing();
  InvalidateLines(Index + 1, last);
  GrowMaxScrollWidth(Index);
}

}  // namespace rid
