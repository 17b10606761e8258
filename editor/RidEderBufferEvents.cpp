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

// After line Index changed: rescans while the stored ranges change. Lines not yet scanned are
// left to the read that needs them; when the rescan reaches them still changing, everything
// below may look different and the result is the last line.
int32_t TCustomRidEder::ScanFrom(int32_t Index) {
  if (!FHighlighter || Index >= FLines->GetCount()) return Index;
  if (!FHighlighter->KeepsLineState() || Index >= FRangesKnown) return Index;
  if (Index == 0)
    FHighlighter->ResetRange();
  else
    FHighlighter->SetRange(FLines->GetStoredRange(Index - 1));
  for (;;) {
    ScanLine(Index);
    TRidRange range = FHighlighter->GetRange();
    if (range == FLines->GetStoredRange(Index)) break;
    FLines->StoreRange(Index, range);
    ++Index;
    if (Index == FLines->GetCount()) {
      --Index;
      break;
    }
    if (Index == FRangesKnown) return FLines->GetCount() - 1;
  }
  return Index;
}

void TCustomRidEder::ScanRanges() { FRangesKnown = 0; }

TRidRange TCustomRidEder::RangeNeeded(TObject*, int32_t Index) {
  if (!FHighlighter) return FLines->GetStoredRange(Index);
  // Nothing carried from line to line: every range is the one a scan starts with.
  if (!FHighlighter->KeepsLineState()) return 0;
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
  FRangesKnown = 0;
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
  // The lines below the deleted ones keep what is known of them.
  if (Index < FRangesKnown) FRangesKnown = std::max(Index, FRangesKnown - Count);
  if (FHighlighter && FLines->GetCount() > 0) ScanFrom(Index);
  if (GetWordWrap()) FWordWrapPlugin->LinesDeleted(Index, Count);
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
  // The lines below the new ones keep what is known of them; the new ones are scanned here.
  if (Index < FRangesKnown) FRangesKnown += Count;
  if (FHighlighter && FLines->GetCount() > 0) {
    int32_t last = Index;
    do {
      last = ScanFrom(last) + 1;
    } while (last <= Index + Count - 1 && last < FLines->GetCount());
  }
  if (GetWordWrap()) FWordWrapPlugin->LinesInserted(Index, Count);
  InvalidateLines(Index + 1, MaxInt);
  InvalidateGutterLines(Index + 1, MaxInt);
  GrowMaxScrollWidth(Index);
}

void TCustomRidEder::ListPutted(TObject*, int32_t Index, int32_t Count) {
  int32_t last = Index + 1;
  if (GetWordWrap()) {
    if (FWordWrapPlugin->LinesPutted(Index, Count) != 0) {
      last = MaxInt;
      InvalidateGutterLines(Index + 1, last);
    }
  }
  if (FHighlighter) last = std::max(last, ScanFrom(Index) + 1);
  InvalidateLines(Index + 1, last);
  GrowMaxScrollWidth(Index);
}

}  // namespace rid
