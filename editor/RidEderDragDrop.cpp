// The editor as the target of a text drag from an editor (itself or another).
#include <algorithm>

#include "editor/RidEder.h"

namespace rid {

bool TCustomRidEder::MovesOnDrop(const TCustomRidEder& Source) const {
  if (Source.GetReadOnly()) return false;  // its text is copied, never taken away
  const TShiftState keys = KeyboardStateToShiftState();
  return &Source == this ? !keys.Contains(ssCtrl) : keys.Contains(ssShift);
}

void TCustomRidEder::DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State,
                              bool& Accept) {
  TCustomControl::DragOver(Source, X, Y, State, Accept);
  auto* source = dynamic_cast<TCustomRidEder*>(Source);
  if (!source || GetReadOnly()) return;
  Accept = true;
  // The cursor shows what a drop here would do.
  source->SetDragCursor(MovesOnDrop(*source) ? crDrag : crMultiDrag);
  if (source != this) {
    PutPendingLeadByte();  // where it was typed, before the caret follows the mouse
    ComputeCaret(X, Y);
    return;
  }
  if (State == dsDragLeave) {
    ComputeCaret(FMouseDownX, FMouseDownY);
    return;
  }
  // Within the view; outside it the timer scrolls the caret along.
  TDisplayCoord p = NearestCharBoundary(X, Y);
  p.Column = std::clamp(p.Column, FLeftChar, std::max(FLeftChar + FCharsInWindow - 1, FLeftChar));
  p.Row = std::clamp(p.Row, FTopLine, std::max(FTopLine + FLinesInWindow - 1, FTopLine));
  InternalSetCaretXY(DisplayToBufferPos(p));
  ComputeScroll(X, Y);
}

void TCustomRidEder::DragDrop(TObject* Source, int32_t X, int32_t Y) {
  auto* source = dynamic_cast<TCustomRidEder*>(Source);
  if (GetReadOnly() || !source || !source->SelAvail()) {
    TCustomControl::DragDrop(Source, X, Y);
    return;
  }
  TRidPaintLock lock(*this);
  TCustomControl::DragDrop(Source, X, Y);
  ComputeCaret(X, Y);
  TBufferCoord drop = GetCaretXY();
  const bool same = source == this;
  const bool move = MovesOnDrop(*source);
  const TBufferCoord b = source->GetBlockBegin(), e = source->GetBlockEnd();
  if (same) {
    // The selection's own edges count as inside for a move, outside for a copy.
    const bool inside = move ? !BufferCoordBefore(drop, b) && !BufferCoordBefore(e, drop)
                             : BufferCoordBefore(b, drop) && BufferCoordBefore(drop, e);
    if (inside) return;
  }
  {
    TRidUndoBlock block(*this);
    const std::string text = source->GetSelText();
    if (move) {
      source->SetSelText("");
      if (same && BufferCoordBefore(e, drop)) {
        // The removed text stood before the drop point.
        if (drop.Line == e.Line) drop.Char -= e.Char - b.Char;
        drop.Line -= e.Line - b.Line;
      }
    }
    TTempOption pastEol(*this, eoScrollPastEol, true);
    SetCaretXY(drop);
    // Recorded with an empty text, as every insertion is: undo takes the dropped text away.
    ReplaceSelectionRecorded(smNormal, text, same ? urDragDropInsert : urInsert);
  }
  // The dropped text selected, the caret at its start; through the command road, so hooks and
  // a macro recording see it.
  CommandProcessor(ecSelGotoXY, '\0', &drop);
}

void TCustomRidEder::DoEndDrag(TObject* Target, int32_t X, int32_t Y) {
  FScrollTimer->SetEnabled(false);
  TCustomControl::DoEndDrag(Target, X, Y);
}

}  // namespace rid
