#include "editor/Progress.h"

#include <algorithm>

namespace rid {

TfrmProgress* frmProgress = nullptr;

TfrmProgress::TfrmProgress(TComponent* AOwner) : TCustomForm(AOwner) {
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetClientSize(150, 17);
  PGB = new TProgressBar(this);
  PGB->SetParent(this);
  PGB->SetAlign(alClient);
  PGB->SetRange(0, 10);
  OnShow = TNotifyEvent(this, &TfrmProgress::FormShow);
}

void TfrmProgress::FormShow(TObject*) { PGB->SetPosition(0); }

namespace {

bool IsWithin(TWinControl* Inner, TWinControl* Outer) {
  for (TWinControl* w = Inner; w; w = w->GetParent())
    if (w == Outer) return true;
  return false;
}

// The caret's screen point when the focused window inside Control owns it, else the top-left
// corner of Control's client area.
TPoint CaretPoint(TWinControl* Control) {
  TPoint caret;
  HWND focus = GetFocus();
  if (focus && IsWithin(focus, Control) && GetCaretPos(caret)) return focus->ClientToScreen(caret);
  return Control->ClientToScreen(Point(0, 0));
}

}  // namespace

void TfrmProgress::PlaceNearCaret(TWinControl* Control) {
  const int32_t w = GetWidth(), h = GetHeight();
  TPoint p =
      Control ? CaretPoint(Control) : Point(Screen()->GetWidth() / 2, Screen()->GetHeight() / 2);
  p = PopupPlacement(Control, p, w, h);
  const int32_t left = std::clamp(p.X + 12, 0, std::max(0, Screen()->GetWidth() - w));
  const int32_t top = std::clamp(p.Y - 16 + h / 2 + 2, 0, std::max(0, Screen()->GetHeight() - h));
  SetBounds(left, top, w, h);
  Application()->ProcessPaintMessages();
}

}  // namespace rid
