// Keeping the control in step with its line buffer: highlighter ranges, word wrap, repaints.
#include <algorithm>

#include "editor/RidEder.h"

namespace rid {

int32_t TCustomRidEder::ScanFrom(int32_t Index) {
  if (!FHighlighter || Index >= FLines->GetCount()) return Index;
  if (Index == 0)
    FHighlighter->ResetRange();
  else
    FHighlighter->SetRange(FLines->GetRange(Index - 1));
  for (;;) {
    std::string_view line = FLines->GetView(Index);
    FHighlighter->SetLine(line, Index);
    FHighlighter->NextToEol();
    TRidRange range = FHighlighter->GetRange();
    if (range == FLines->GetRange(Index)) break;
    FLines->PutRange(Index, range);
    ++Index;
    if (Index == FLines->GetCount()) {
      --Index;
      break;
    }
  }
  return Index;
}

void TCustomRidEder::ScanRanges() {
  if (!FHighlighter || FLines->GetCount() == 0) return;
  FHighlighter->ResetRange();
  for (int32_t i = 0; i < FLines->GetCount(); ++i) {
    FHighlighter->SetLine(FLines->GetView(i), i);
    FHighlighter->NextToEol();
    FLines->PutRange(i, FHighlighter->GetRange());
  }
}

void TCustomRidEder::ListCleared(TObject*) {
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
