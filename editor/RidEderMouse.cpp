// The mouse: clicks and drags that place the caret and select, word selection, gutter clicks,
// the start of a text drag, the auto-scroll timer, dropped files and mouse enter and leave.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "editor/RidEder.h"
#include "platform/Forms.h"

namespace rid {

namespace {

// Scroll steps for a mouse at P beside [Low, High): negative before, positive from High on.
int32_t ScrollDelta(int32_t P, int32_t Low, int32_t High, int32_t Unit) {
  if (P < Low) return (P - Low) / Unit - 1;
  if (P >= High) return (P - High) / Unit + 1;
  return 0;
}

}  // namespace

// --- pixels and positions

TDisplayCoord TCustomRidEder::PixelsToNearestRowColumn(int32_t X, int32_t Y) {
  // The last row only counts while it is whole.
  const int32_t bottom = std::max(FLinesInWindow * FTextHeight - 1, 0);
  if (Y > bottom) Y = bottom;
  const double cells = (double(X) - FGutterWidth - 2) / std::max(FCharWidth, 1);
  const int64_t col = int64_t(FLeftChar) + int64_t(std::nearbyint(cells));  // halves to even
  const int64_t row = int64_t(FTopLine) + Y / std::max(FTextHeight, 1);
  return {static_cast<int32_t>(std::clamp<int64_t>(col, 1, MaxInt)),
          static_cast<int32_t>(std::clamp<int64_t>(row, 1, MaxInt))};
}

TPoint TCustomRidEder::RowColumnToPixels(const TDisplayCoord& RowCol) {
  const int64_t y = (int64_t(RowCol.Row) - FTopLine) * FTextHeight;
  return Point(ColumnToXValue(RowCol.Column),
               static_cast<int32_t>(std::clamp<int64_t>(y, -(int64_t(1) << 30), 1 << 30)));
}

TPoint TCustomRidEder::GetCaretScreenPoint() {
  return ClientToScreen(RowColumnToPixels(GetDisplayXY()));
}

TDisplayCoord TCustomRidEder::NearestCharBoundary(int32_t X, int32_t Y) {
  TDisplayCoord p = PixelsToNearestRowColumn(X, Y);
  p.Row = std::clamp(p.Row, 1, std::max(DisplayLineCount(), 1));
  const TBufferCoord b = DisplayToBufferPosRaw(p);
  if (b.Line < 1 || b.Line > FLines->GetCount() ||
      !IsTrailByteAt(FLines->GetView(b.Line - 1), b.Char))
    return p;
  // Rounding met the middle of a double-byte character: the nearer of its two edges.
  const int64_t middle = int64_t(p.Column - FLeftChar) * FCharWidth + FGutterWidth + 2;
  p.Column += X < middle ? -1 : 1;
  return p;
}

void TCustomRidEder::ComputeCaret(int32_t X, int32_t Y) {
  SetInternalDisplayXY(NearestCharBoundary(X, Y));
}

// --- clicks

void TCustomRidEder::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TBufferCoord oldBegin = FBlockBegin, oldEnd = FBlockEnd;
  const bool wasSelected = Button == mbLeft && SelAvail();
  if (wasSelected) {
    FMouseDownX = X;
    FMouseDownY = Y;
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft && Shift.Contains(ssDouble)) return;  // DblClick has done it
  FKbdHandler->ExecuteMouseDown(this, Button, Shift, X, Y);
  const auto inSelection = [&] {
    return IsPointInSelection(DisplayToBufferPos(PixelsToRowColumn(X, Y)));
  };
  if (Button == mbRight) {
    if (!FOptions.Contains(eoRightMouseMovesCursor) || (SelAvail() && inSelection())) return;
    InvalidateSelection();
    FBlockEnd = FBlockBegin;
    ComputeCaret(X, Y);
  } else if (Button == mbLeft) {
    ComputeCaret(X, Y);
    FBlockBegin = oldBegin;
    FBlockEnd = oldEnd;
    SetMouseCapture(true);
    FStateFlags &= ~sfWaitForDragging;
    if (wasSelected && FOptions.Contains(eoDragDropEditing) && X >= FGutterWidth + 2 &&
        FActiveSelectionMode == smNormal && inSelection()) {
      FStateFlags |= sfWaitForDragging;  // the selection stays until the press ends
    } else if (!(FStateFlags & sfDblClicked)) {
      if (Shift.Contains(ssShift)) {
        SetBlockEnd(GetCaretXY());
      } else {
        if (FOptions.Contains(eoAltSetsColumnMode) && FActiveSelectionMode != smLine)
          SetSelectionMode(Shift.Contains(ssAlt) ? smColumn : smNormal);
        SetBlockBegin(GetCaretXY());
      }
    }
  }
  if (X < FGutterWidth + 2) {
    if (Button == mbRight)
      DoOnGutterClick(Button, X, Y);
    else if (Button == mbLeft)
      FStateFlags |= sfPossibleGutterClick;  // fires on release
  }
  SetFocus();
  TWinControl::SetFocus();  // the window itself, also when a pop-up of the focus list took it
}

void TCustomRidEder::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (GetMouseCapture() && (FStateFlags & sfWaitForDragging)) {
    if (std::abs(FMouseDownX - X) >= GetSystemMetrics(SM_CXDRAG) ||
        std::abs(FMouseDownY - Y) >= GetSystemMetrics(SM_CYDRAG)) {
      FStateFlags &= ~sfWaitForDragging;
      BeginDrag(false);
    }
  } else if (Shift.Contains(ssLeft) && GetMouseCapture()) {
    ComputeScroll(X, Y);
    TDisplayCoord p = NearestCharBoundary(X, Y);
    // While the view scrolls that way, the timer moves the caret along it.
    if (FScrollDeltaX != 0) p.Column = GetDisplayX();
    if (FScrollDeltaY != 0) p.Row = GetDisplayY();
    InternalSetCaretXY(DisplayToBufferPos(p));
    SetBlockEnd(GetCaretXY());
  }
}

void TCustomRidEder::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  FKbdHandler->ExecuteMouseUp(this, Button, Shift, X, Y);
  FScrollTimer->SetEnabled(false);
  if (Button == mbRight && Shift == TShiftState{ssRight} && GetPopupMenu()) return;
  SetMouseCapture(false);
  if ((FStateFlags & sfPossibleGutterClick) && X < FGutterWidth && Button != mbRight) {
    DoOnGutterClick(Button, X, Y);
  } else if ((FStateFlags & sfWaitForDragging) && !(FStateFlags & sfDblClicked)) {
    // A press inside the selection that never became a drag places the caret.
    ComputeCaret(X, Y);
    if (!Shift.Contains(ssShift)) SetBlockBegin(GetCaretXY());
    SetBlockEnd(GetCaretXY());
    FStateFlags &= ~sfWaitForDragging;
  }
  FStateFlags &= ~(sfDblClicked | sfPossibleGutterClick);
}

void TCustomRidEder::DblClick() {
  TPoint p;
  GetCursorPos(p);
  p = ScreenToClient(p);
  if (p.X < FGutterWidth + 2) {
    TCustomControl::DblClick();
    return;
  }
  if (!FOptions.Contains(eoNoSelection)) SetWordBlock(GetCaretXY());
  TCustomControl::DblClick();
  FStateFlags |= sfDblClicked;
  SetMouseCapture(false);
}

void TCustomRidEder::DoOnGutterClick(TMouseButton Button, int32_t X, int32_t Y) {
  if (!OnGutterClick) return;
  const int32_t line = RowToLine(PixelsToRowColumn(X, Y).Row);
  if (line > FLines->GetCount()) return;
  TRidEderMark* mark = nullptr;
  int32_t offset = 0;
  for (TRidEderMark* m : FMarkList->GetMarksForLine(line)) {
    if (!m) break;
    offset += FBookMarkOpt->GetXoffset();
    if (X < offset) {
      mark = m;
      break;
    }
  }
  OnGutterClick(this, Button, X, Y, line, mark);
}

// --- auto-scroll

void TCustomRidEder::ComputeScroll(int32_t X, int32_t Y) {
  if (!GetMouseCapture() && !Dragging()) {
    FScrollTimer->SetEnabled(false);
    return;
  }
  TRect r = Bounds(FGutterWidth, 0, FCharsInWindow * FCharWidth, FLinesInWindow * FTextHeight);
  if (GetBorderStyle() == bsNone) InflateRect(r, -2, -2);
  FScrollDeltaX = ScrollDelta(X, r.Left, r.Right, std::max(FCharWidth, 1));
  FScrollDeltaY = ScrollDelta(Y, r.Top, r.Bottom, std::max(FTextHeight, 1));
  FScrollTimer->SetEnabled(FScrollDeltaX != 0 || FScrollDeltaY != 0);
}

void TCustomRidEder::ScrollTimerHandler(TObject*) {
  TPoint p;
  GetCursorPos(p);
  p = ScreenToClient(p);
  const int32_t rows = std::max(DisplayLineCount(), 1);
  TDisplayCoord c = PixelsToRowColumn(p.X, p.Y);
  c.Row = std::clamp(c.Row, 1, rows);
  if (FScrollDeltaX != 0) {
    SetLeftChar(
        static_cast<int32_t>(std::clamp<int64_t>(int64_t(FLeftChar) + FScrollDeltaX, 1, MaxInt)));
    c.Column = FLeftChar;
    if (FScrollDeltaX > 0) c.Column += FCharsInWindow;
  }
  if (FScrollDeltaY != 0) {
    // Shift scrolls by pages.
    const int64_t step =
        GetKeyState(VK_SHIFT) < 0 ? int64_t(FScrollDeltaY) * FLinesInWindow : FScrollDeltaY;
    SetTopLine(static_cast<int32_t>(std::clamp<int64_t>(FTopLine + step, 1, MaxInt)));
    c.Row = FTopLine;
    if (FScrollDeltaY > 0) c.Row += FLinesInWindow - 1;
    c.Row = std::clamp(c.Row, 1, rows);
  }
  const TBufferCoord to = DisplayToBufferPos(c);
  if (!(to == GetCaretXY())) {
    TRidPaintLock lock(*this);
    InternalSetCaretXY(to);
    if (GetMouseCapture()) SetBlockEnd(GetCaretXY());
  }
  ComputeScroll(p.X, p.Y);
}

// --- messages

void TCustomRidEder::WMDropFiles(TMessage& Msg) {
  const HDROP drop = reinterpret_cast<HDROP>(Msg.WParam);
  if (OnDropFiles) {
    // Whole names, however long.
    TStringList files;
    for (uint32_t i = 0; i < DragQueryFileCount(drop); ++i) files.Add(DragQueryFile(drop, i));
    TPoint p;
    DragQueryPoint(drop, p);
    OnDropFiles(this, p.X, p.Y, &files);
  }
  Msg.Result = 0;
  DragFinish(drop);
}

void TCustomRidEder::WMCaptureChanged(TMessage& Msg) {
  FScrollTimer->SetEnabled(false);
  TCustomControl::Dispatch(Msg);
}

void TCustomRidEder::MouseEnterLeave(TMessage& Msg) {
  TCustomControl::Dispatch(Msg);
  const TMouseMoveEvent& event = Msg.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave;
  if (!event) return;
  TPoint p;
  GetCursorPos(p);
  p = ScreenToClient(p);
  event(this, KeyboardStateToShiftState(), p.X, p.Y);
}

}  // namespace rid
