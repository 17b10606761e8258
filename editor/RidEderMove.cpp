// Caret moves by character and by row, Home and End. Every target is a character start; under
// word wrap a caret that reached the end of a row is shown there (the end-of-row flag) although
// its position is the start of the next row.
#include <algorithm>

#include "editor/RidEder.h"

namespace rid {

namespace {

int32_t Len(std::string_view S) { return static_cast<int32_t>(S.size()); }

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

}  // namespace

void TCustomRidEder::MoveCaretAndSelection(const TBufferCoord& Before, const TBufferCoord& After,
                                           bool SelectionCommand) {
  EndUndoGroup();
  TRidPaintLock lock(*this);
  if (SelectionCommand) {
    if (!SelAvail()) SetBlockBegin(Before);
    SetBlockEnd(After);
  } else {
    SetBlockBegin(After);
  }
  InternalSetCaretXY(After);
}

void TCustomRidEder::SetCaretAndSelection(const TBufferCoord& Caret, const TBufferCoord& BlockBegin,
                                          const TBufferCoord& BlockEnd) {
  const TRidSelectionMode mode = FActiveSelectionMode;
  TRidPaintLock lock(*this);
  InternalSetCaretXY(Caret);
  SetBlockBegin(BlockBegin);
  SetBlockEnd(BlockEnd);
  // The ends were placed in the selection mode's terms: a normal selection's lie in the text.
  SetActiveSelectionMode(mode);
}

void TCustomRidEder::ShowCaretAtRowEnd(int32_t Row) {
  if (!GetWordWrap()) return;
  const TDisplayCoord d = BufferToDisplayPos(GetCaretXY());
  if (d.Column != 1 || d.Row == Row || FCaretX == 1) return;
  FCaretAtEndOfRow = true;
  FStateFlags |= sfCaretChanged;
  UpdateLastCaretX();
}

void TCustomRidEder::MoveCaretHorz(int32_t DX, bool SelectionCommand) {
  const TBufferCoord caret = GetCaretXY();
  TRidPaintLock lock(*this);
  if (GetWordWrap() && DX != 0) {
    const TDisplayCoord d = BufferToDisplayPos(caret);
    // Across a row end the caret stops once at the end of the row it leaves or enters.
    if (DX > 0 && FCaretAtEndOfRow) {
      FCaretAtEndOfRow = false;
      FStateFlags |= sfCaretChanged;
      UpdateLastCaretX();
      return;
    }
    if (DX < 0 && !FCaretAtEndOfRow && d.Column == 1 && caret.Char >= 2) {
      FCaretAtEndOfRow = true;
      FStateFlags |= sfCaretChanged;
      UpdateLastCaretX();
      return;
    }
  }
  const int32_t count = FLines->GetCount();
  const std::string_view line =
      caret.Line <= count ? FLines->GetView(caret.Line - 1) : std::string_view();
  const bool pastEol = FOptions.Contains(eoScrollPastEol);
  TBufferCoord target = caret;
  if (!pastEol && DX < 0 && caret.Char == 1 && caret.Line > 1) {
    target = {Len(FLines->GetView(caret.Line - 2)) + 1, caret.Line - 1};
  } else if (!pastEol && DX > 0 && caret.Char > Len(line) && caret.Line < count) {
    target = {1, caret.Line + 1};
  } else {
    int64_t x = std::max<int64_t>(int64_t(caret.Char) + DX, 1);
    if (!pastEol && DX > 0) x = std::min<int64_t>(x, Len(line) + 1);
    target.Char = static_cast<int32_t>(std::min<int64_t>(x, MaxInt));
    // A double-byte character is crossed whole.
    if (IsTrailByteAt(line, target.Char)) target.Char += DX > 0 ? 1 : -1;
  }
  const int32_t row = GetDisplayXY().Row;
  MoveCaretAndSelection(caret, target, SelectionCommand);
  if (DX > 0 && target.Line == caret.Line) ShowCaretAtRowEnd(row);
}

void TCustomRidEder::MoveCaretVert(int32_t DY, bool SelectionCommand) {
  const TDisplayCoord d = GetDisplayXY();
  const int64_t rows = std::max(DisplayLineCount(), 1);
  int64_t wanted = int64_t(d.Row) + DY;
  wanted = DY >= 0 ? std::min(wanted, rows) : std::max<int64_t>(wanted, 1);
  const int32_t row = static_cast<int32_t>(wanted);
  const bool keepX = FOptions.Contains(eoKeepCaretX);
  TBufferCoord target =
      DisplayToBufferPosRaw({row != d.Row && keepX ? FLastCaretX : d.Column, row});
  if (row != d.Row) {
    // A column that had to step left off a character is taken back on the next row.
    if (FSteppedOffTrailByte && !keepX) ++target.Char;
    const std::string_view line = LineView(target.Line);
    FSteppedOffTrailByte = IsTrailByteAt(line, target.Char);
    if (FSteppedOffTrailByte) --target.Char;
  }
  // The move keeps the remembered column, and the step off a trail byte with it.
  const int32_t lastCaretX = FLastCaretX;
  const bool stepped = FSteppedOffTrailByte;
  {
    TRidPaintLock lock(*this);
    MoveCaretAndSelection(GetCaretXY(), target, SelectionCommand);
    ShowCaretAtRowEnd(row);
  }
  FLastCaretX = lastCaretX;
  FSteppedOffTrailByte = stepped;
}

void TCustomRidEder::DoHomeKey(bool Selection) {
  const TBufferCoord caret = GetCaretXY();
  const std::string_view line = LineView(caret.Line);
  const TDisplayCoord d = GetDisplayXY();
  const int32_t firstRow = LineToRow(caret.Line);
  TBufferCoord target{1, caret.Line};
  if (FOptions.Contains(eoEnhanceHomeKey) && d.Row == firstRow) {
    // Alternates between column 1 and the first non-blank of the line's first row.
    int32_t rowEnd = Len(line);
    if (GetWordWrap() && BufferToDisplayPos({Len(line) + 1, caret.Line}).Row > firstRow)
      rowEnd = DisplayToBufferPos({1, firstRow + 1}).Char - 1;
    int32_t first = 1;
    while (first <= rowEnd && IsBlank(line[first - 1])) ++first;
    if (IsTrailByteAt(line, first)) ++first;
    if (caret.Char > first || caret.Char == 1) target.Char = first;
  } else if (GetWordWrap()) {
    target = DisplayToBufferPos({1, d.Row});
  }
  MoveCaretAndSelection(caret, target, Selection);
}

void TCustomRidEder::DoEndKey(bool Selection) {
  const TBufferCoord caret = GetCaretXY();
  const std::string_view line = LineView(caret.Line);
  const int32_t len = Len(line);
  const TDisplayCoord d = GetDisplayXY();
  const int32_t lastRow = BufferToDisplayPos({len + 1, caret.Line}).Row;
  TBufferCoord target{len + 1, caret.Line};
  if (FOptions.Contains(eoEnhanceEndKey) && d.Row == lastRow) {
    // Alternates between the end of the text and the end of the line with its blanks.
    int32_t last = len;
    while (last > 0 && IsBlank(line[last - 1])) --last;
    ++last;
    if (GetWordWrap()) last = std::max(last, DisplayToBufferPos({1, d.Row}).Char);
    if (IsTrailByteAt(line, last)) ++last;
    if (caret.Char != last) target.Char = last;
  } else if (GetWordWrap() && d.Row <= DisplayLineCount()) {  // none below the text's end
    const int32_t column = std::min(FWordWrapPlugin->GetRowLength(d.Row), FCharsInWindow) + 1;
    target = DisplayToBufferPos({column, d.Row});
  }
  TRidPaintLock lock(*this);
  MoveCaretAndSelection(caret, target, Selection);
  ShowCaretAtRowEnd(d.Row);
}

}  // namespace rid
