#include "output/RidEderPrintPreview.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "output/RidEderPrint.h"

namespace rid {

namespace {

constexpr int32_t kBorder = 12;        // round the sheet
constexpr int32_t kVirtualExtra = 26;  // added to each dimension of the page
constexpr int32_t kShadow = 2;
constexpr TColor kShadowColor = 0x808080;
// Paper aspect (height : width) without a job.
constexpr int32_t kAspectHeight = 141, kAspectWidth = 100;
// The largest sheet, so that sizes and scroll positions stay far from overflowing.
constexpr int64_t kMaxPage = 1 << 24;

int32_t PageSide(int64_t Value) {
  return static_cast<int32_t>(std::clamp<int64_t>(Value, 1, kMaxPage));
}

// A * B / C rounded, in 64 bits.
int64_t MulDiv64(int64_t A, int64_t B, int64_t C) {
  if (C == 0) return 0;
  const int64_t n = A * B;
  return (n >= 0 ? n + C / 2 : n - C / 2) / C;
}

}  // namespace

TRidEderPrintPreview::TRidEderPrintPreview(TComponent* AOwner) : TCustomControl(AOwner) {
  SetAlign(alClient);
  SetColor(clAppWorkSpace);
  TWinControl::SetBorderStyle(bsSingle);
  TWinControl::SetScrollBars(ssBoth);
  SetBounds(0, 0, 200, 120);
}

TRidEderPrintPreview::~TRidEderPrintPreview() {
  SetRidEderPrint(nullptr);
  DestroyHandle();
}

void TRidEderPrintPreview::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FRidEderPrint) {
    FRidEderPrint = nullptr;
    Invalidate();
  }
}

void TRidEderPrintPreview::SetRidEderPrint(TRidEderPrint* Value) {
  if (Value == FRidEderPrint) return;
  if (FRidEderPrint) FRidEderPrint->RemoveFreeNotification(this);
  FRidEderPrint = Value;
  if (FRidEderPrint) FRidEderPrint->FreeNotification(this);
}

void TRidEderPrintPreview::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_HSCROLL | WS_VSCROLL;
  if (GetBorderStyle() == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TRidEderPrintPreview::CreateWnd() {
  TCustomControl::CreateWnd();
  SizeChanged();
}

void TRidEderPrintPreview::Resize() {
  TCustomControl::Resize();
  SizeChanged();
}

void TRidEderPrintPreview::SetScaleMode(TRidPreviewScale Value) {
  if (Value == FScaleMode) return;
  FScaleMode = Value;
  FScrollPosition = {};
  SizeChanged();
  if (OnScaleChange) OnScaleChange(this);
  Invalidate();
}

void TRidEderPrintPreview::SetScalePercent(int32_t Value) {
  if (Value != FScalePercent) {
    FScaleMode = pscUserScaled;
    FScalePercent = Value;
    FScrollPosition = {};
    SizeChanged();
    Invalidate();
  } else {
    FScaleMode = pscUserScaled;
  }
  if (OnScaleChange) OnScaleChange(this);
}

void TRidEderPrintPreview::SetPageBGColor(TColor Value) {
  if (Value == FPageBGColor) return;
  FPageBGColor = Value;
  Invalidate();
}

int32_t TRidEderPrintPreview::GetPageCount() const {
  return FRidEderPrint ? FRidEderPrint->GetPageCount() : 0;
}

int32_t TRidEderPrintPreview::PaperWidth() const {
  return FRidEderPrint ? FRidEderPrint->GetPrinterInfo().GetPhysicalWidth() : kAspectWidth;
}

int32_t TRidEderPrintPreview::PaperHeight() const {
  return FRidEderPrint ? FRidEderPrint->GetPrinterInfo().GetPhysicalHeight() : kAspectHeight;
}

void TRidEderPrintPreview::UpdatePreview() {
  if (FRidEderPrint) {
    FRidEderPrint->GetPrinterInfo().UpdatePrinter();
    FRidEderPrint->InitPrint(Canvas());
  }
  // The document may have shrunk under the page shown.
  FPageNumber = std::clamp(FPageNumber, 1, std::max(1, GetPageCount()));
  SizeChanged();
  Invalidate();
  if (OnPreviewPage) OnPreviewPage(this, FPageNumber);
}

void TRidEderPrintPreview::Print() {
  if (!FRidEderPrint) return;
  FRidEderPrint->Print();
  UpdatePreview();
}

void TRidEderPrintPreview::SetPageNumber(int32_t Page) {
  FPageNumber = std::clamp(Page, 1, std::max(1, GetPageCount()));
  PageChanged();
}

void TRidEderPrintPreview::PageChanged() {
  if (FScaleMode == pscWholePage) UpdateScrollbars();
  if (OnPreviewPage) OnPreviewPage(this, FPageNumber);
  Invalidate();
}

void TRidEderPrintPreview::SizeChanged() {
  if (!HandleAllocated() || !FRidEderPrint) return;
  const int64_t cw = ClientWidth(), ch = ClientHeight();
  const int64_t pw = PaperWidth(), ph = PaperHeight();
  int64_t w = 0, h = 0;
  switch (FScaleMode) {
    case pscWholePage: {
      w = cw - kVirtualExtra;
      h = ch - kVirtualExtra;
      const int64_t byHeight = MulDiv64(h, pw, ph);
      if (byHeight < w)
        w = byHeight;
      else
        h = MulDiv64(w, ph, pw);
      break;
    }
    case pscPageWidth:
      w = cw - kVirtualExtra;
      h = MulDiv64(w, ph, pw);
      break;
    case pscUserScaled: {
      TRidEderPrinterInfo& pi = FRidEderPrint->GetPrinterInfo();
      const int64_t screen = Screen()->GetPixelsPerInch();
      w = MulDiv64(MulDiv64(pw, screen, pi.GetXPixPrInch()), FScalePercent, 100);
      h = MulDiv64(MulDiv64(ph, screen, pi.GetYPixPrInch()), FScalePercent, 100);
      break;
    }
  }
  FPageWidth = PageSide(w);
  FPageHeight = PageSide(h);
  FVirtualSize = {FPageWidth + kVirtualExtra, FPageHeight + kVirtualExtra};
  FVirtualOffset = {kBorder + static_cast<int32_t>(std::max<int64_t>(0, cw - FVirtualSize.X) / 2),
                    kBorder + static_cast<int32_t>(std::max<int64_t>(0, ch - FVirtualSize.Y) / 2)};
  FScrollPosition = {};
  UpdateScrollbars();
}

void TRidEderPrintPreview::UpdateScrollbars() {
  if (!HandleAllocated()) return;
  TScrollInfo si;
  si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  if (FScaleMode == pscWholePage) {
    ShowScrollBar(SB_HORZ, false);
    si.nMin = 1;
    si.nMax = std::max(1, GetPageCount());
    si.nPage = 1;
    si.nPos = FPageNumber;
    SetScrollInfo(SB_VERT, si, true);
    return;
  }
  if (FScaleMode == pscUserScaled) {
    ShowScrollBar(SB_HORZ, true);
    si.nMax = FVirtualSize.X - 1;
    si.nPage = static_cast<uint32_t>(std::max(0, ClientWidth()));
    si.nPos = -FScrollPosition.X;
    SetScrollInfo(SB_HORZ, si, true);
  } else {
    ShowScrollBar(SB_HORZ, false);
  }
  si.nMin = 0;
  si.nMax = FVirtualSize.Y - 1;
  si.nPage = static_cast<uint32_t>(std::max(0, ClientHeight()));
  si.nPos = -FScrollPosition.Y;
  SetScrollInfo(SB_VERT, si, true);
}

void TRidEderPrintPreview::ScrollTo(int32_t X, int32_t Y) {
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  X = std::clamp(X, std::min(0, cw - FVirtualSize.X), 0);
  Y = std::clamp(Y, std::min(0, ch - FVirtualSize.Y), 0);
  const int32_t dx = X - FScrollPosition.X, dy = Y - FScrollPosition.Y;
  if (dx == 0 && dy == 0) return;
  FScrollPosition = {X, Y};
  UpdateScrollbars();
  if (std::abs(dx) <= cw / 2 && std::abs(dy) <= ch / 2) {
    ScrollWindow(dx, dy);
    Update();
  } else {
    Invalidate();
  }
}

int32_t TRidEderPrintPreview::TrackPos(int32_t Bar) const {
  TScrollInfo si;
  si.fMask = SIF_TRACKPOS;
  GetScrollInfo(Bar, si);
  return si.nTrackPos;
}

void TRidEderPrintPreview::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_VSCROLL:
      WMVScroll(Message);
      return;
    case WM_HSCROLL:
      WMHScroll(Message);
      return;
    case WM_MOUSEWHEEL:
      WMMouseWheel(Message);
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;  // Paint covers everything
    default:
      TCustomControl::Dispatch(Message);
  }
}

void TRidEderPrintPreview::WMVScroll(TMessage& Message) {
  Message.Result = 0;
  const uint16_t code = static_cast<uint16_t>(Message.WParam & 0xFFFF);
  if (FScaleMode == pscWholePage) {
    if (!FRidEderPrint) return;
    switch (code) {
      case SB_LINEUP:
      case SB_PAGEUP:
        FPageNumber = std::max(1, FPageNumber - 1);
        break;
      case SB_LINEDOWN:
      case SB_PAGEDOWN:
        FPageNumber = std::min(std::max(1, GetPageCount()), FPageNumber + 1);
        break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK:
        FPageNumber = std::clamp(TrackPos(SB_VERT), 1, std::max(1, GetPageCount()));
        if (FShowScrollHint) ShowPageHint();
        break;
      case SB_TOP:
        FPageNumber = 1;
        break;
      case SB_BOTTOM:
        FPageNumber = std::max(1, GetPageCount());
        break;
      case SB_ENDSCROLL:
        if (FHintWindow) FHintWindow->ReleaseHandle();
        break;
      default:
        return;
    }
    PageChanged();
    return;
  }
  const int32_t ch = ClientHeight();
  int32_t y = FScrollPosition.Y;
  switch (code) {
    case SB_LINEUP:
      y += ch / 10;
      break;
    case SB_LINEDOWN:
      y -= ch / 10;
      break;
    case SB_PAGEUP:
      y += ch / 2;
      break;
    case SB_PAGEDOWN:
      y -= ch / 2;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      y = -TrackPos(SB_VERT);
      break;
    case SB_TOP:
      y = 0;
      break;
    case SB_BOTTOM:
      y = ch - FVirtualSize.Y;
      break;
    default:
      return;
  }
  ScrollTo(FScrollPosition.X, y);
}

void TRidEderPrintPreview::WMHScroll(TMessage& Message) {
  Message.Result = 0;
  if (FScaleMode == pscWholePage) return;
  const int32_t cw = ClientWidth();
  int32_t x = FScrollPosition.X;
  switch (static_cast<uint16_t>(Message.WParam & 0xFFFF)) {
    case SB_LINELEFT:
      x += cw / 10;
      break;
    case SB_LINERIGHT:
      x -= cw / 10;
      break;
    case SB_PAGELEFT:
      x += cw / 2;
      break;
    case SB_PAGERIGHT:
      x -= cw / 2;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      x = -TrackPos(SB_HORZ);
      break;
    case SB_LEFT:
      x = 0;
      break;
    case SB_RIGHT:
      x = cw - FVirtualSize.X;
      break;
    default:
      return;
  }
  ScrollTo(x, FScrollPosition.Y);
}

void TRidEderPrintPreview::WMMouseWheel(TMessage& Message) {
  Message.Result = 0;
  FWheelAccumulator += GET_WHEEL_DELTA_WPARAM(Message.WParam);
  const int32_t steps = FWheelAccumulator / WHEEL_DELTA;
  if (steps == 0) return;
  FWheelAccumulator -= steps * WHEEL_DELTA;
  if (FScaleMode == pscWholePage) {
    // The whole page shows: a step turns the page.
    SetPageNumber(FPageNumber - steps);
    return;
  }
  ScrollTo(FScrollPosition.X, FScrollPosition.Y + steps * WHEEL_DELTA);
}

void TRidEderPrintPreview::ShowPageHint() {
  if (!FHintWindow) FHintWindow = std::make_unique<THintWindow>(nullptr);
  char text[32];
  std::snprintf(text, sizeof text, SPreviewScrollHint, FPageNumber);
  TRect r = FHintWindow->CalcHintRect(200, text);
  const TPoint p = ClientToScreen({ClientWidth() - r.Width() - 4, 10});
  OffsetRect(r, p.X, p.Y);
  FHintWindow->ActivateHint(r, text);
  FHintWindow->Update();
}

void TRidEderPrintPreview::Paint() {
  TCanvas& c = Canvas();
  const int32_t top = FScaleMode == pscWholePage ? 0 : FScrollPosition.Y;
  const TRect sheet =
      Bounds(FVirtualOffset.X + FScrollPosition.X, FVirtualOffset.Y + top, FPageWidth, FPageHeight);
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(GetColor());
  c.FillRect(c.GetClipRect());
  if (!FRidEderPrint) return;
  c.Brush().SetColor(kShadowColor);
  c.FillRect(Rect(sheet.Right, sheet.Top + kShadow, sheet.Right + kShadow, sheet.Bottom + kShadow));
  c.FillRect(
      Rect(sheet.Left + kShadow, sheet.Bottom, sheet.Right + kShadow, sheet.Bottom + kShadow));
  c.Pen().SetColor(clBlack);
  c.Pen().SetStyle(psSolid);
  c.Brush().SetColor(FPageBGColor);
  c.Rectangle(sheet);
  PaintSheet(c, sheet);
}

void TRidEderPrintPreview::PaintSheet(TCanvas& C, const TRect& Sheet) {
  TRidEderPrinterInfo& pi = FRidEderPrint->GetPrinterInfo();
  const int32_t pw = pi.GetPhysicalWidth(), ph = pi.GetPhysicalHeight();
  const int32_t saved = C.SaveDC();
  C.SetMapMode(MM_ANISOTROPIC);
  C.SetWindowExtEx(pw, ph);
  C.SetViewportExtEx(FPageWidth, FPageHeight);
  C.SetViewportOrgEx(Sheet.Left + MulDiv(pi.GetLeftGutter(), FPageWidth, pw),
                     Sheet.Top + MulDiv(pi.GetTopGutter(), FPageHeight, ph));
  C.IntersectClipRect(0, 0, pi.GetPrintableWidth(), pi.GetPrintableHeight());
  FRidEderPrint->PrintToCanvas(C, FPageNumber);
  C.RestoreDC(saved);
}

}  // namespace rid
