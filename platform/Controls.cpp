#include "platform/Controls.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>

#include "platform/Forms.h"
#include "platform/Imm.h"
#include "platform/WidgetBridge.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// Process-wide input state: keys, capture, caret, cursor, the drag session.

namespace {

std::array<bool, 256> gKeyDown{};
HWND gCapture = nullptr;
QPointer<QWidget> gCursorWidget;
HCURSOR gCurrentCursor = crDefault;
std::vector<TWidgetBridge*> gBridges;

struct TCaretState {
  HWND Owner = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  TPoint Pos;
  int32_t HideCount = 1;
  bool BlinkOn = true;
  uint32_t BlinkTime = 530;
  QTimer* Timer = nullptr;  // parented to the application
} gCaret;

struct TDragSession {
  TControl* Source = nullptr;
  bool Active = false;
  TPoint Start;
  int32_t Threshold = 5;
  TWinControl* Target = nullptr;
  bool Accepted = false;
  bool CursorPushed = false;
} gDrag;

void RepaintCaret() {
  if (gCaret.Owner && gCaret.Owner->Bridge())
    gCaret.Owner->Bridge()->Client()->update(
        QRect(gCaret.Pos.X, gCaret.Pos.Y, std::max(1, gCaret.Width), std::max(1, gCaret.Height)));
}

void RestartBlink() {
  gCaret.BlinkOn = true;
  if (!qApp) return;
  if (!gCaret.Timer) {
    gCaret.Timer = new QTimer(qApp);
    QObject::connect(gCaret.Timer, &QTimer::timeout, [] {
      gCaret.BlinkOn = !gCaret.BlinkOn;
      RepaintCaret();
    });
  }
  if (gCaret.BlinkTime > 0)
    gCaret.Timer->start(static_cast<int>(gCaret.BlinkTime));
  else
    gCaret.Timer->stop();
}

TWinControl* FindDragTarget(TPoint Screen) {
  TWinControl* best = nullptr;
  int bestDepth = -1;
  for (TWidgetBridge* b : gBridges) {
    QWidget* client = b->Client();
    if (!b->Control() || !client->isVisible()) continue;
    const QPoint local = client->mapFromGlobal(QPoint(Screen.X, Screen.Y));
    if (!client->rect().contains(local)) continue;
    int depth = 0;
    for (QWidget* w = client; w; w = w->parentWidget()) ++depth;
    if (depth > bestDepth) {
      best = b->Control();
      bestDepth = depth;
    }
  }
  return best;
}

bool SendDragOver(TWinControl* Target, TPoint Screen, TDragState State) {
  const TPoint p = Target->ScreenToClient(Screen);
  bool accept = Target->OnDragOver.Assigned();
  Guarded([&] { Target->DragOver(gDrag.Source, p.X, p.Y, State, accept); });
  return accept;
}

void ShowDragCursor() {
  if (!qApp) return;
  const TCursor c = gDrag.Accepted && gDrag.Source ? gDrag.Source->GetDragCursor() : crNoDrop;
  const QCursor cursor(static_cast<Qt::CursorShape>(QtCursorShape(c)));
  if (gDrag.CursorPushed) {
    QGuiApplication::changeOverrideCursor(cursor);
  } else {
    QGuiApplication::setOverrideCursor(cursor);
    gDrag.CursorPushed = true;
  }
}

void FinishDrag(bool Drop, TPoint Screen) {
  TDragSession s = gDrag;
  gDrag = TDragSession{};
  if (s.CursorPushed && qApp) QGuiApplication::restoreOverrideCursor();
  if (!s.Source) return;
  TWinControl* target = (Drop && s.Active && s.Accepted) ? s.Target : nullptr;
  if (s.Target && !target) {
    gDrag.Source = s.Source;  // the leave notice still names the source
    SendDragOver(s.Target, Screen, dsDragLeave);
    gDrag.Source = nullptr;
  }
  TPoint p = s.Source->ScreenToClient(Screen);
  if (target) {
    p = target->ScreenToClient(Screen);
    Guarded([&] { target->DragDrop(s.Source, p.X, p.Y); });
  }
  Guarded([&] { s.Source->DoEndDrag(target, p.X, p.Y); });
}

TShiftState ButtonsAndKeys(uintptr_t Keys) { return KeysToShiftState(Keys); }

}  // namespace

void NoteKeyState(uint16_t VirtualKey, bool Down) { gKeyDown[VirtualKey & 0xFF] = Down; }

void NoteModifiers(Qt::KeyboardModifiers Modifiers) {
  gKeyDown[VK_SHIFT] = Modifiers & Qt::ShiftModifier;
  gKeyDown[VK_CONTROL] = Modifiers & Qt::ControlModifier;
  gKeyDown[VK_MENU] = Modifiers & Qt::AltModifier;
}

void NoteButtons(Qt::MouseButtons Buttons) {
  gKeyDown[VK_LBUTTON] = Buttons & Qt::LeftButton;
  gKeyDown[VK_RBUTTON] = Buttons & Qt::RightButton;
  gKeyDown[VK_MBUTTON] = Buttons & Qt::MiddleButton;
}

bool DragInProgress() { return gDrag.Source != nullptr; }

void DragMouseMove(TPoint Screen) {
  if (!gDrag.Source) return;
  if (!gDrag.Active) {
    if (std::abs(Screen.X - gDrag.Start.X) < gDrag.Threshold &&
        std::abs(Screen.Y - gDrag.Start.Y) < gDrag.Threshold)
      return;
    gDrag.Active = true;
  }
  TWinControl* t = FindDragTarget(Screen);
  if (t != gDrag.Target) {
    if (gDrag.Target) SendDragOver(gDrag.Target, Screen, dsDragLeave);
    gDrag.Target = t;
    gDrag.Accepted = t && gDrag.Source && SendDragOver(t, Screen, dsDragEnter);
  } else if (t) {
    gDrag.Accepted = SendDragOver(t, Screen, dsDragMove);
  }
  if (gDrag.Source) ShowDragCursor();
}

void DragMouseUp(TPoint Screen) {
  if (!gDrag.Source) return;
  DragMouseMove(Screen);
  FinishDrag(true, Screen);
}

bool CaretOverlay(const TWinControl* Control, QRect& Rect) {
  if (gCaret.Owner != Control || gCaret.HideCount > 0 || !gCaret.BlinkOn || gCaret.Width <= 0 ||
      gCaret.Height <= 0)
    return false;
  Rect = QRect(gCaret.Pos.X, gCaret.Pos.Y, gCaret.Width, gCaret.Height);
  return true;
}

void NoteCursorWidget(QWidget* Widget) { gCursorWidget = Widget; }

void WindowDestroyed(TWinControl* Control) {
  if (gCaret.Owner == Control) gCaret.Owner = nullptr;
  if (gCapture == Control) gCapture = nullptr;
  if (gDrag.Target == Control) gDrag.Target = nullptr;
  if (Control->Bridge() && gCursorWidget == Control->Bridge()->Client()) gCursorWidget = nullptr;
}

TShiftState KeysToShiftState(uintptr_t Keys) {
  TShiftState s;
  if (Keys & MK_SHIFT) s.Include(ssShift);
  if (Keys & MK_CONTROL) s.Include(ssCtrl);
  if (Keys & MK_LBUTTON) s.Include(ssLeft);
  if (Keys & MK_RBUTTON) s.Include(ssRight);
  if (Keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyboardStateToShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  if (GetKeyState(VK_LBUTTON) < 0) s.Include(ssLeft);
  if (GetKeyState(VK_RBUTTON) < 0) s.Include(ssRight);
  if (GetKeyState(VK_MBUTTON) < 0) s.Include(ssMiddle);
  return s;
}

int QtCursorShape(TCursor Cursor) {
  switch (Cursor) {
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait: return Qt::WaitCursor;
    case crDrag: return Qt::DragMoveCursor;
    case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
  }
}

// ---------------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  FFont.OnChange = TNotifyEvent(this, &TControl::FontChange);
}

TControl::~TControl() {
  if (gDrag.Source == this) {
    if (gDrag.CursorPushed && qApp) QGuiApplication::restoreOverrideCursor();
    gDrag = TDragSession{};
  }
  if (FParent) FParent->RemoveControl(this);
}

void TControl::WndProc(TMessage& Message) { Dispatch(Message); }
void TControl::Dispatch(TMessage& Message) { DefaultHandler(Message); }
void TControl::DefaultHandler(TMessage&) {}

intptr_t TControl::Perform(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  if (FParent) FParent->RemoveControl(this);
  FParent = AParent;
  if (FParent) FParent->InsertControl(this);
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  BoundsChanged();
}

void TControl::SetAlign(TAlign Value) {
  FAlign = Value;
  if (FParent) FParent->RealignChildren();
}

TRect TControl::GetClientRect() { return Rect(0, 0, FWidth, FHeight); }

TPoint TControl::ClientToScreen(TPoint P) {
  const TPoint p = Point(P.X + FLeft, P.Y + FTop);
  return FParent ? FParent->ClientToScreen(p) : p;
}

TPoint TControl::ScreenToClient(TPoint P) {
  const TPoint origin = ClientToScreen(Point(0, 0));
  return Point(P.X - origin.X, P.Y - origin.Y);
}

void TControl::SetVisible(bool Value) {
  // Showing again is how a window gets made and shown, so it is never skipped.
  if (Value == FVisible && !Value) return;
  FVisible = Value;
  VisibleChanged();
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Invalidate();
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Invalidate();
}

void TControl::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  auto* w = dynamic_cast<TWinControl*>(this);
  if (w && w->Bridge() && gCursorWidget == w->Bridge()->Client())
    Perform(WM_SETCURSOR, reinterpret_cast<uintptr_t>(w), MAKELONG(HTCLIENT, WM_MOUSEMOVE));
}

void TControl::SetPopupMenu(TComponent* Value) {
  if (Value == FPopupMenu) return;
  if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = Value;
  if (FPopupMenu) FPopupMenu->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
  TComponent::Notification(AComponent, Operation);
}

bool TControl::GetMouseCapture() const { return gCapture && gCapture == this; }

void TControl::SetMouseCapture(bool Value) {
  auto* w = dynamic_cast<TWinControl*>(this);
  if (!w) return;
  if (Value)
    SetCapture(w);
  else if (gCapture == w)
    ReleaseCapture();
}

void TControl::BeginDrag(bool Immediate, int32_t Threshold) {
  if (gDrag.Source) return;
  gDrag = TDragSession{};
  gDrag.Source = this;
  // The session takes the mouse: the release ends the drag, not a press of the control.
  if (gCapture) ReleaseCapture();
  GetCursorPos(gDrag.Start);
  gDrag.Threshold = Threshold < 0 ? 5 : Threshold;
  if (Immediate) {
    gDrag.Active = true;
    DragMouseMove(gDrag.Start);
  }
}

bool TControl::Dragging() const { return gDrag.Source == this; }

void TControl::EndDrag(bool Drop) {
  if (gDrag.Source != this) return;
  TPoint p;
  GetCursorPos(p);
  FinishDrag(Drop, p);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::Resize() {
  if (OnResize) OnResize(this);
}
void TControl::DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
  if (OnDragOver) OnDragOver(this, Source, X, Y, State, Accept);
}
void TControl::DragDrop(TObject* Source, int32_t X, int32_t Y) {
  if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}
void TControl::DoEndDrag(TObject* Target, int32_t X, int32_t Y) {
  if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

void TControl::FontChange(TObject*) {
  FontChanged();
  Invalidate();
}

// ---------------------------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  DestroyHandle();
  for (TControl* c : std::vector<TControl*>(FControls)) c->SetParent(nullptr);
}

void TWinControl::InsertControl(TControl* C) {
  FControls.push_back(C);
  if (auto* w = dynamic_cast<TWinControl*>(C); w && HandleAllocated() && w->GetVisible())
    w->HandleNeeded();
  RealignChildren();
}

void TWinControl::RemoveControl(TControl* C) {
  if (auto* w = dynamic_cast<TWinControl*>(C)) w->DestroyHandle();
  FControls.erase(std::remove(FControls.begin(), FControls.end(), C), FControls.end());
}

void TWinControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  DestroyHandle();
  TControl::SetParent(AParent);
}

HWND TWinControl::GetHandle() {
  HandleNeeded();
  return this;
}

void TWinControl::HandleNeeded() {
  if (FBridge) return;
  if (FParent) FParent->HandleNeeded();
  if (!FBridge) CreateWnd();
}

void TWinControl::DestroyHandle() {
  if (FBridge) DestroyWnd();
}

void TWinControl::SetParentWindow(QWidget* Value) {
  FParentWindow = Value;
  if (!FBridge || FParent) return;
  FBridge->setParent(Value);  // a top-level until now: made again inside Value
  if (FVisible) FBridge->show();
}

void TWinControl::RecreateWnd() {
  if (!FBridge) return;
  DestroyHandle();
  HandleNeeded();
}

QWidget* TWinControl::ClientWidget() const { return FBridge ? FBridge->Client() : nullptr; }

void TWinControl::CreateParams(TCreateParams& Params) {
  if (FBorderStyle == bsSingle) {
    if (FCtl3D)
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      Params.Style |= WS_BORDER;
  }
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  QWidget* parent = FParent && FParent->FBridge ? FParent->FBridge->Client() : FParentWindow.get();
  FBars[0].Shown = params.Style & WS_HSCROLL;
  FBars[1].Shown = params.Style & WS_VSCROLL;
  FBars[0].Styled = FBars[0].Shown;
  FBars[1].Styled = FBars[1].Shown;
  FBridge = new TWidgetBridge(this, parent, params);
  gBridges.push_back(FBridge);
  FBridge->Client()->setAcceptDrops(FAcceptFiles);
  FBridge->ApplyScrollBar(SB_HORZ);
  FBridge->ApplyScrollBar(SB_VERT);
  FBridge->Relayout();
  if (FVisible && FBridge) FBridge->show();
  UpdateChildHandles();
}

void TWinControl::UpdateChildHandles() {
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->GetVisible()) w->HandleNeeded();
}

void TWinControl::DestroyWnd() {
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  FreeCanvasHandle();
  WindowDestroyed(this);
  FInputContext.reset();
  TWidgetBridge* b = FBridge;
  gBridges.erase(std::remove(gBridges.begin(), gBridges.end(), b), gBridges.end());
  FBridge = nullptr;
  b->Detach();
  // A window cannot go while one of its own events is being handled.
  if (b->Dispatching()) {
    b->hide();
    b->deleteLater();
  } else {
    delete b;
  }
}

void TWinControl::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TWinControl::SetCtl3D(bool Value) {
  if (Value == FCtl3D) return;
  FCtl3D = Value;
  RecreateWnd();
}

void TWinControl::SetScrollBars(TScrollStyle Value) {
  if (Value == FScrollBars) return;
  FScrollBars = Value;
  RecreateWnd();
}

void TWinControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TWinControl::BoundsChanged() {
  if (FBridge) FBridge->Relayout();
}

void TWinControl::VisibleChanged() {
  if (FVisible) {
    if (!FParent || FParent->HandleAllocated()) HandleNeeded();
    if (FBridge) FBridge->show();
  } else if (FBridge) {
    FBridge->hide();
  }
}

void TWinControl::RealignChildren() {
  const TRect r = GetClientRect();
  for (TControl* c : FControls)
    if (c->GetAlign() == alClient) c->SetBounds(0, 0, r.Width(), r.Height());
}

int32_t FrameWidth(const TCreateParams& Params) {
  if (Params.ExStyle & WS_EX_CLIENTEDGE) return 2;
  if (Params.Style & WS_THICKFRAME) return GetSystemMetrics(SM_CYSIZEFRAME);
  return (Params.Style & (WS_BORDER | WS_DLGFRAME)) ? 1 : 0;
}

TRect TWinControl::GetClientRect() {
  if (FBridge) return FBridge->ClientRect();
  TCreateParams params;
  CreateParams(params);
  const int32_t border = FrameWidth(params);
  const int32_t sb = GetSystemMetrics(SM_CXVSCROLL);
  const int32_t w = FWidth - 2 * border - ((params.Style & WS_VSCROLL) ? sb : 0);
  const int32_t h = FHeight - 2 * border - ((params.Style & WS_HSCROLL) ? sb : 0);
  return Rect(0, 0, std::max(0, w), std::max(0, h));
}

TPoint TWinControl::ClientToScreen(TPoint P) {
  if (!FBridge) return TControl::ClientToScreen(P);
  const QPoint g = FBridge->Client()->mapToGlobal(QPoint(P.X, P.Y));
  return Point(g.x(), g.y());
}

TPoint TWinControl::ScreenToClient(TPoint P) {
  if (!FBridge) return TControl::ScreenToClient(P);
  const QPoint l = FBridge->Client()->mapFromGlobal(QPoint(P.X, P.Y));
  return Point(l.x(), l.y());
}

void TWinControl::Dispatch(TMessage& M) {
  const int32_t x = GET_X_LPARAM(M.LParam), y = GET_Y_LPARAM(M.LParam);
  switch (M.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      uint16_t key = static_cast<uint16_t>(M.WParam);
      KeyDown(key, KeyboardStateToShiftState());
      if (key != 0) DefaultHandler(M);
      return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      uint16_t key = static_cast<uint16_t>(M.WParam);
      KeyUp(key, KeyboardStateToShiftState());
      if (key != 0) DefaultHandler(M);
      return;
    }
    case WM_CHAR: {
      char c = static_cast<char>(M.WParam);
      KeyPress(c);
      if (c != 0) DefaultHandler(M);
      return;
    }
    case WM_LBUTTONDOWN:
      SetMouseCapture(true);
      MouseDown(mbLeft, ButtonsAndKeys(M.WParam), x, y);
      return;
    case WM_RBUTTONDOWN: MouseDown(mbRight, ButtonsAndKeys(M.WParam), x, y); return;
    case WM_MBUTTONDOWN: MouseDown(mbMiddle, ButtonsAndKeys(M.WParam), x, y); return;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      const TMouseButton b = M.Msg == WM_LBUTTONDBLCLK   ? mbLeft
                             : M.Msg == WM_RBUTTONDBLCLK ? mbRight
                                                         : mbMiddle;
      if (b == mbLeft) SetMouseCapture(true);
      // The double click first, then the press that carries ssDouble.
      DblClick();
      MouseDown(b, ButtonsAndKeys(M.WParam) + TShiftState{ssDouble}, x, y);
      return;
    }
    case WM_MOUSEMOVE: MouseMove(ButtonsAndKeys(M.WParam), x, y); return;
    case WM_LBUTTONUP:
      MouseUp(mbLeft, ButtonsAndKeys(M.WParam), x, y);
      if (GetMouseCapture()) SetMouseCapture(false);
      return;
    case WM_RBUTTONUP: MouseUp(mbRight, ButtonsAndKeys(M.WParam), x, y); return;
    case WM_MBUTTONUP: MouseUp(mbMiddle, ButtonsAndKeys(M.WParam), x, y); return;
    case WM_SIZE:
      RealignChildren();
      Resize();
      return;
    case WM_SETFOCUS: DoEnter(); return;
    case WM_KILLFOCUS: DoExit(); return;
    case CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    default: DefaultHandler(M); return;
  }
}

void TWinControl::DefaultHandler(TMessage& M) {
  switch (M.Msg) {
    case WM_IME_COMPOSITION:
      // As the system does: the result comes again, byte by byte, as characters.
      if ((M.LParam & GCS_RESULTSTR) && FInputContext) {
        const std::string bytes = FInputContext->ResultStr;
        for (char b : bytes) Perform(WM_CHAR, static_cast<uint8_t>(b), 1);
      }
      return;
    case WM_SETCURSOR:
      if (LOWORD(static_cast<uintptr_t>(M.LParam)) == HTCLIENT) {
        const TCursor c = Screen()->GetCursor() != crDefault ? Screen()->GetCursor() : FCursor;
        ::rid::SetCursor(c == crDefault ? crArrow : c);
        M.Result = 1;
      }
      return;
    default: return;
  }
}

void TWinControl::SetFocus() {
  HandleNeeded();
  if (!FBridge) return;
  QWidget* client = FBridge->Client();
  QWidget* top = client->window();
  if (top->isVisible() && !top->isActiveWindow()) QApplication::setActiveWindow(top);
  client->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const { return FBridge && FBridge->Client()->hasFocus(); }

bool TWinControl::CanFocus() const { return FVisible && FEnabled; }

void TWinControl::Invalidate() { InvalidateRect(nullptr, false); }

void TWinControl::InvalidateRect(const TRect* R, bool) {
  if (!FBridge) return;
  if (R) {
    if (IsRectEmpty(*R)) return;
    FBridge->InvalidatePicture(QRegion(R->Left, R->Top, R->Width(), R->Height()));
  } else {
    FBridge->InvalidatePicture(FBridge->Client()->rect());
  }
}

void TWinControl::Update() {
  if (!FBridge) return;
  const QRect box = FBridge->Pending().boundingRect();
  if (box.isEmpty()) return;
  FBridge->FlushPaint();
  if (FBridge) FBridge->Present(box, true);
}

void TWinControl::ScrollWindow(int32_t DX, int32_t DY, const TRect* R, const TRect* Clip) {
  if (!FBridge) return;
  QRect area = FBridge->Client()->rect();
  if (R) area &= QRect(R->Left, R->Top, R->Width(), R->Height());
  if (Clip) area &= QRect(Clip->Left, Clip->Top, Clip->Width(), Clip->Height());
  FBridge->ScrollPicture(DX, DY, area);
}

int32_t TWinControl::SetScrollInfo(int32_t Bar, const TScrollInfo& Info, bool) {
  if (Bar != SB_HORZ && Bar != SB_VERT) return 0;
  TBarState& s = FBars[Bar];
  TScrollInfo& si = s.Info;
  if (Info.fMask & SIF_RANGE) {
    si.nMin = Info.nMin;
    si.nMax = std::max(Info.nMin, Info.nMax);
  }
  if (Info.fMask & SIF_PAGE) si.nPage = Info.nPage;
  if (Info.fMask & SIF_POS) si.nPos = Info.nPos;
  const int64_t range = int64_t(si.nMax) - si.nMin + 1;
  if (si.nPage > range) si.nPage = static_cast<uint32_t>(range);
  const int32_t maxPos =
      std::max<int32_t>(si.nMin, si.nMax - std::max<int32_t>(int32_t(si.nPage) - 1, 0));
  si.nPos = std::clamp(si.nPos, si.nMin, maxPos);
  si.nTrackPos = si.nPos;
  if ((Info.fMask & (SIF_RANGE | SIF_PAGE)) && s.Styled) {
    const bool needed = si.nPage == 0 ? si.nMax > si.nMin : range > int64_t(si.nPage);
    const bool shown = s.Shown;
    s.Active = needed;
    s.Shown = needed || (Info.fMask & SIF_DISABLENOSCROLL);
    if (FBridge && shown != s.Shown) FBridge->Relayout();
  }
  if (FBridge) FBridge->ApplyScrollBar(Bar);
  return si.nPos;
}

bool TWinControl::GetScrollInfo(int32_t Bar, TScrollInfo& Info) const {
  if (Bar != SB_HORZ && Bar != SB_VERT) return false;
  const TScrollInfo& si = FBars[Bar].Info;
  const uint32_t mask = Info.fMask ? Info.fMask : SIF_ALL;
  if (mask & SIF_RANGE) {
    Info.nMin = si.nMin;
    Info.nMax = si.nMax;
  }
  if (mask & SIF_PAGE) Info.nPage = si.nPage;
  if (mask & SIF_POS) Info.nPos = si.nPos;
  if (mask & SIF_TRACKPOS) Info.nTrackPos = si.nTrackPos;
  return true;
}

int32_t TWinControl::SetScrollPos(int32_t Bar, int32_t Pos, bool Redraw) {
  const int32_t old = GetScrollPos(Bar);
  TScrollInfo si;
  si.fMask = SIF_POS;
  si.nPos = Pos;
  SetScrollInfo(Bar, si, Redraw);
  return old;
}

int32_t TWinControl::GetScrollPos(int32_t Bar) const {
  return (Bar == SB_HORZ || Bar == SB_VERT) ? FBars[Bar].Info.nPos : 0;
}

bool TWinControl::ShowScrollBar(int32_t Bar, bool Show) {
  bool changed = false;
  for (int32_t b : {SB_HORZ, SB_VERT}) {
    if (Bar != b && Bar != SB_BOTH) continue;
    changed |= FBars[b].Shown != Show;
    FBars[b].Shown = Show;
    FBars[b].Styled = Show;
  }
  if (FBridge && changed) FBridge->Relayout();
  return true;
}

bool TWinControl::EnableScrollBar(int32_t Bar, uint32_t Arrows) {
  for (int32_t b : {SB_HORZ, SB_VERT}) {
    if (Bar != b && Bar != SB_BOTH) continue;
    FBars[b].Disabled = Arrows & ESB_DISABLE_BOTH;
    if (FBridge) FBridge->ApplyScrollBar(b);
  }
  return true;
}

bool TWinControl::ScrollBarVisible(int32_t Bar) const {
  return (Bar == SB_HORZ || Bar == SB_VERT) && FBars[Bar].Shown;
}

bool TWinControl::ScrollBarEnabled(int32_t Bar) const {
  const TBarState& s = FBars[Bar == SB_VERT ? 1 : 0];
  return FEnabled && s.Active && s.Disabled != ESB_DISABLE_BOTH;
}

void TWinControl::SetTrackPos(int32_t Bar, int32_t Pos) {
  if (Bar == SB_HORZ || Bar == SB_VERT) FBars[Bar].Info.nTrackPos = Pos;
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}
void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}
void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}
void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

TInputContext* TWinControl::InputContext() {
  if (!FBridge) return nullptr;
  if (!FInputContext) {
    FInputContext = std::make_unique<TInputContext>();
    FInputContext->Window = this;
  }
  return FInputContext.get();
}

void TWinControl::SetAcceptFiles(bool Value) {
  FAcceptFiles = Value;
  if (FBridge) FBridge->Client()->setAcceptDrops(Value);
}

// ---------------------------------------------------------------------------------------------
// TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() { DestroyHandle(); }

TCanvas& TCustomControl::Canvas() {
  if (!FPainting && Bridge()) {
    FCanvas->SetDevice(&Bridge()->Picture());
    Bridge()->Present(Bridge()->Client()->rect());
  }
  return *FCanvas;
}

QImage TCustomControl::Picture() {
  if (!Bridge()) return QImage();
  FreeCanvasHandle();
  return Bridge()->Picture().copy();
}

void TCustomControl::PaintWindow(TCanvas&) {
  struct TGuard {
    bool& Flag;
    ~TGuard() { Flag = false; }
  } guard{FPainting};
  FPainting = true;
  Paint();
}

void TCustomControl::FreeCanvasHandle() {
  if (!FPainting) FCanvas->FreeHandle();
}

void TCustomControl::Paint() {
  TCanvas& c = Canvas();
  c.Brush().SetColor(GetColor());
  c.FillRect(c.GetClipRect());
}

// ---------------------------------------------------------------------------------------------
// Services

void InvalidateRect(HWND Wnd, const TRect* R, bool Erase) {
  if (Wnd) Wnd->InvalidateRect(R, Erase);
}
void UpdateWindow(HWND Wnd) {
  if (Wnd) Wnd->Update();
}
void ScrollWindow(HWND Wnd, int32_t DX, int32_t DY, const TRect* Rect, const TRect* Clip) {
  if (Wnd) Wnd->ScrollWindow(DX, DY, Rect, Clip);
}
int32_t SetScrollInfo(HWND Wnd, int32_t Bar, const TScrollInfo& Info, bool Redraw) {
  return Wnd ? Wnd->SetScrollInfo(Bar, Info, Redraw) : 0;
}
bool GetScrollInfo(HWND Wnd, int32_t Bar, TScrollInfo& Info) {
  return Wnd && Wnd->GetScrollInfo(Bar, Info);
}
bool ShowScrollBar(HWND Wnd, int32_t Bar, bool Show) { return Wnd && Wnd->ShowScrollBar(Bar, Show); }
bool EnableScrollBar(HWND Wnd, int32_t Bar, uint32_t Arrows) {
  return Wnd && Wnd->EnableScrollBar(Bar, Arrows);
}

bool CreateCaret(HWND Wnd, int32_t Width, int32_t Height) {
  if (!Wnd || !Wnd->HandleAllocated()) return false;
  DestroyCaret();
  gCaret.Owner = Wnd;
  gCaret.Width = Width > 0 ? Width : 1;
  gCaret.Height = Height > 0 ? Height : 1;
  gCaret.Pos = Point(0, 0);
  gCaret.HideCount = 1;
  gCaret.BlinkOn = true;
  return true;
}

bool DestroyCaret() {
  if (!gCaret.Owner) return false;
  RepaintCaret();
  gCaret.Owner = nullptr;
  if (gCaret.Timer) gCaret.Timer->stop();
  return true;
}

bool SetCaretPos(int32_t X, int32_t Y) {
  if (!gCaret.Owner) return false;
  if (gCaret.Pos == Point(X, Y)) return true;
  RepaintCaret();
  gCaret.Pos = Point(X, Y);
  if (gCaret.HideCount == 0) RestartBlink();
  RepaintCaret();
  return true;
}

bool GetCaretPos(TPoint& P) {
  if (!gCaret.Owner) return false;
  P = gCaret.Pos;
  return true;
}

bool ShowCaret(HWND Wnd) {
  if (!gCaret.Owner || (Wnd && Wnd != gCaret.Owner) || gCaret.HideCount == 0) return false;
  if (--gCaret.HideCount == 0) {
    RestartBlink();
    RepaintCaret();
  }
  return true;
}

bool HideCaret(HWND Wnd) {
  if (!gCaret.Owner || (Wnd && Wnd != gCaret.Owner)) return false;
  if (gCaret.HideCount++ == 0) RepaintCaret();
  return true;
}

uint32_t GetCaretBlinkTime() { return gCaret.BlinkTime; }

void SetCaretBlinkTime(uint32_t Milliseconds) {
  gCaret.BlinkTime = Milliseconds;
  if (gCaret.Owner && gCaret.HideCount == 0) RestartBlink();
}

bool CaretShowing() {
  QRect r;
  return gCaret.Owner && CaretOverlay(gCaret.Owner, r);
}

HWND SetCapture(HWND Wnd) {
  const HWND old = gCapture;
  if (old == Wnd) return old;
  gCapture = Wnd;
  if (old) old->Perform(WM_CAPTURECHANGED, 0, reinterpret_cast<intptr_t>(Wnd));
  return old;
}

bool ReleaseCapture() {
  const HWND old = gCapture;
  gCapture = nullptr;
  if (old) old->Perform(WM_CAPTURECHANGED, 0, 0);
  return true;
}

HWND GetCapture() { return gCapture; }

HWND GetFocus() {
  QWidget* w = QApplication::focusWidget();
  for (TWidgetBridge* b : gBridges)
    if (b->Client() == w) return b->Control();
  return nullptr;
}

HWND SetFocus(HWND Wnd) {
  const HWND old = GetFocus();
  if (Wnd) Wnd->SetFocus();
  return old;
}

int16_t GetKeyState(int32_t VirtualKey) {
  return gKeyDown[static_cast<size_t>(VirtualKey & 0xFF)] ? static_cast<int16_t>(-128) : 0;
}

bool GetCursorPos(TPoint& P) {
  const QPoint p = QCursor::pos();
  P = Point(p.x(), p.y());
  return true;
}

HCURSOR SetCursor(HCURSOR Cursor) {
  const HCURSOR old = gCurrentCursor;
  gCurrentCursor = Cursor;
  if (gCursorWidget)
    gCursorWidget->setCursor(QCursor(static_cast<Qt::CursorShape>(QtCursorShape(Cursor))));
  return old;
}

namespace {
uint32_t gBeeps = 0;
}  // namespace

void MessageBeep(uint32_t) {
  ++gBeeps;
  QApplication::beep();
}

uint32_t MessageBeepCount() { return gBeeps; }

uint32_t GetTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int32_t GetSystemMetrics(int32_t Index) {
  switch (Index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
      return qApp ? QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
    case SM_CXDRAG:
    case SM_CYDRAG:
    case SM_CXSIZEFRAME:
    case SM_CYSIZEFRAME: return 4;
    case SM_CXSCREEN: return Screen()->GetWidth();
    case SM_CYSCREEN: return Screen()->GetHeight();
    default: return 0;
  }
}

bool SystemParametersInfo(uint32_t Action, uint32_t, void* Param, uint32_t) {
  if (Action == SPI_GETWHEELSCROLLLINES && Param) {
    *static_cast<uint32_t*>(Param) = 3;
    return true;
  }
  return false;
}

void DragAcceptFiles(HWND Wnd, bool Accept) {
  if (Wnd) Wnd->SetAcceptFiles(Accept);
}

uint32_t DragQueryFileCount(HDROP Drop) {
  return Drop ? static_cast<uint32_t>(Drop->Files.size()) : 0;
}

std::string DragQueryFile(HDROP Drop, uint32_t Index) {
  if (!Drop || Index >= Drop->Files.size()) return {};
  return Drop->Files[Index];
}

bool DragQueryPoint(HDROP Drop, TPoint& P) {
  if (!Drop) return false;
  P = Drop->Point;
  return true;
}

}  // namespace rid
