#include "platform/Forms.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QInputEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/WidgetBridge.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// TApplication, TScreen

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

void TApplication::ProcessMessages() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {

// Keeps the user's input events that arrive while it lives and posts them again at its end,
// in their order.
class TInputHold : public QObject {
 public:
  TInputHold() { qApp->installEventFilter(this); }
  ~TInputHold() override {
    qApp->removeEventFilter(this);
    for (auto& [receiver, event] : FHeld)
      if (receiver) QCoreApplication::postEvent(receiver, event.release());
  }

 protected:
  bool eventFilter(QObject* Receiver, QEvent* E) override {
    if (!dynamic_cast<QInputEvent*>(E) && E->type() != QEvent::InputMethod) return false;
    FHeld.emplace_back(QPointer<QObject>(Receiver), std::unique_ptr<QEvent>(E->clone()));
    return true;
  }

 private:
  std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> FHeld;
};

}  // namespace

void TApplication::ProcessPaintMessages() {
  if (!qApp) return;
  TInputHold hold;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TApplication::GetActive() const {
  return qApp && QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void TApplication::HandleException(const std::exception& E) {
  if (OnException) {
    try {
      OnException(this, E);
      return;
    } catch (const std::exception&) {
      // Telling failed (out of memory, say): the error stream still can.
    }
  }
  std::fprintf(stderr, "%s\n", E.what());
}

bool TGuardedApplication::notify(QObject* Receiver, QEvent* E) {
  bool handled = false;
  Guarded([&] { handled = QApplication::notify(Receiver, E); });
  return handled;
}

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

void TScreen::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  const TCursor old = FCursor;
  FCursor = Value;
  if (!qApp) return;
  const QCursor cursor(static_cast<Qt::CursorShape>(QtCursorShape(Value)));
  if (old == crDefault)
    QGuiApplication::setOverrideCursor(cursor);
  else if (Value == crDefault)
    QGuiApplication::restoreOverrideCursor();
  else
    QGuiApplication::changeOverrideCursor(cursor);
}

int32_t TScreen::GetPixelsPerInch() const {
  const QScreen* s = qApp ? QGuiApplication::primaryScreen() : nullptr;
  return s ? qRound(s->logicalDotsPerInchY()) : 96;
}

int32_t TScreen::GetWidth() const {
  const QScreen* s = qApp ? QGuiApplication::primaryScreen() : nullptr;
  return s ? s->geometry().width() : 1024;
}

int32_t TScreen::GetHeight() const {
  const QScreen* s = qApp ? QGuiApplication::primaryScreen() : nullptr;
  return s ? s->geometry().height() : 768;
}

TApplication* Application() {
  static TApplication app(nullptr);
  return &app;
}

TScreen* Screen() {
  static TScreen screen(nullptr);
  return &screen;
}

// ---------------------------------------------------------------------------------------------
// THintWindow

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  FColor = clInfoBk;
  Font().SetColor(clInfoText);
}

THintWindow::~THintWindow() { DestroyHandle(); }

void THintWindow::CreateWnd() {
  TCustomControl::CreateWnd();
  if (Bridge())
    Bridge()->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

TRect THintWindow::CalcHintRect(int32_t MaxWidth, const std::string& AHint) {
  TCanvas measure;
  measure.SetFont(Font());
  const TSize s = measure.TextExtent(AHint);
  const int32_t width = std::min(s.cx, std::max(0, MaxWidth));
  return Rect(0, 0, width + 6, s.cy + 4);
}

void THintWindow::ActivateHint(const TRect& R, const std::string& AHint) {
  FCaption = AHint;
  SetBounds(R.Left, R.Top, R.Width(), R.Height());
  SetVisible(true);
  HandleNeeded();
  Invalidate();
  if (Bridge()) Bridge()->raise();
}

void THintWindow::ReleaseHandle() {
  SetVisible(false);
  DestroyHandle();
}

void THintWindow::Paint() {
  TCanvas& c = Canvas();
  const TRect r = GetClientRect();
  c.Brush().SetColor(clInfoBk);
  c.FillRect(r);
  c.Brush().SetColor(clBlack);
  c.FrameRect(r);
  c.SetFont(Font());
  c.Brush().SetStyle(bsClear);
  c.TextOut(3, 2, FCaption);
}

// ---------------------------------------------------------------------------------------------
// TCustomForm

namespace {

// The forms alive: their windows go before the application object, which Qt needs. Kept to
// the very end, since forms owned by the application die among the static objects.
std::vector<TCustomForm*>& LiveForms() {
  static auto* forms = new std::vector<TCustomForm*>;
  return *forms;
}

void DestroyFormWindows() {
  for (TCustomForm* f : LiveForms()) f->DestroyHandle();
}

}  // namespace

// While a pop-up stands for the active window: what would deactivate a real one, before the
// press goes on to the window it activates, as the system does.
class TPopupWatch : public QObject {
 public:
  explicit TPopupWatch(TCustomForm* AForm) : FForm(AForm) {}
  ~TPopupWatch() override { Stop(); }
  void Start() { qApp->installEventFilter(this); }
  // Also from inside the filter itself.
  void Stop() {
    if (qApp) qApp->removeEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* Watched, QEvent* E) override {
    switch (E->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::NonClientAreaMouseButtonPress: {
        auto* w = qobject_cast<QWidget*>(Watched);
        const QWidget* own = FForm->HandleAllocated() ? FForm->Bridge()->window() : nullptr;
        if (w && w->window() != own) Guarded([this] { FForm->Deactivate(); });
        break;
      }
      case QEvent::ApplicationDeactivate:
        Guarded([this] { FForm->Deactivate(); });
        break;
      default:
        break;
    }
    return false;
  }

 private:
  TCustomForm* FForm;
};

TCustomForm::TCustomForm(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  SetBorderStyle(bsSingle);
  if (LiveForms().empty()) qAddPostRoutine(DestroyFormWindows);
  LiveForms().push_back(this);
}

TCustomForm::~TCustomForm() {
  FPopupWatch.reset();
  auto& forms = LiveForms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  DestroyHandle();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (Value == FFormStyle) return;
  FFormStyle = Value;
  RecreateWnd();
}

void TCustomForm::SetClientSize(int32_t AWidth, int32_t AHeight) {
  SetBounds(FLeft, FTop, AWidth, AHeight);
}

void TCustomForm::Activate() {
  FActive = true;
  if (qApp) {
    if (!FPopupWatch) FPopupWatch = std::make_unique<TPopupWatch>(this);
    FPopupWatch->Start();
  }
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  FActive = false;
  if (FPopupWatch) FPopupWatch->Stop();
  if (OnDeactivate) OnDeactivate(this);
}

// The frame of a top-level window is the window system's, or a pop-up's own.
void TCustomForm::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style &= ~WS_BORDER;
  Params.ExStyle &= ~WS_EX_CLIENTEDGE;
}

void TCustomForm::CreateWnd() {
  TCustomControl::CreateWnd();
  TCreateParams params;
  CreateParams(params);
  if (params.Style & WS_POPUP) return;  // its window is made as one
  Qt::WindowFlags flags = Qt::Window;
  if (GetBorderStyle() == bsNone) flags |= Qt::FramelessWindowHint;
  if (FFormStyle == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  Bridge()->setWindowFlags(flags);
  Bridge()->Relayout();
  if (FVisible) Bridge()->show();
}

void TCustomForm::VisibleChanged() {
  if (FVisible) DoShow();
  TCustomControl::VisibleChanged();
  if (FVisible && Bridge()) Bridge()->raise();
  if (FVisible) return;
  if (FActive) Deactivate();
  DoHide();
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

// ---------------------------------------------------------------------------------------------
// TProgressBar

TProgressBar::TProgressBar(TComponent* AOwner) : TCustomControl(AOwner) {
  FColor = clBtnFace;
  SetBounds(0, 0, 150, 16);
}

TProgressBar::~TProgressBar() { DestroyHandle(); }

void TProgressBar::SetMin(int32_t Value) { SetRange(Value, std::max(Value, FMax)); }

void TProgressBar::SetMax(int32_t Value) { SetRange(std::min(FMin, Value), Value); }

void TProgressBar::SetRange(int32_t AMin, int32_t AMax) {
  FMin = AMin;
  FMax = std::max(AMin, AMax);
  FPosition = std::clamp(FPosition, FMin, FMax);
  Changed();
}

void TProgressBar::SetPosition(int32_t Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == FPosition) return;
  FPosition = Value;
  Changed();
}

// The operations a bar shows do not let the event loop run, so it repaints at once, but only
// when its filled part grows or shrinks by a pixel.
void TProgressBar::Changed() {
  if (!HandleAllocated() || FilledWidth() == FPaintedWidth) return;
  Invalidate();
  Update();
}

int32_t TProgressBar::FilledWidth() {
  const int32_t inner = GetClientRect().Width() - 2;
  if (FMax <= FMin || inner <= 0) return 0;
  return static_cast<int32_t>((int64_t(FPosition) - FMin) * inner / (int64_t(FMax) - FMin));
}

void TProgressBar::Paint() {
  TCanvas& c = Canvas();
  const TRect r = GetClientRect();
  c.Brush().SetColor(FColor);
  c.FillRect(r);
  FPaintedWidth = FilledWidth();
  if (FPaintedWidth > 0) {
    c.Brush().SetColor(clHighlight);
    c.FillRect(Rect(1, 1, 1 + FPaintedWidth, r.Height() - 1));
  }
  c.Brush().SetColor(clBtnShadow);
  c.FrameRect(r);
}

TPoint PopupPlacement(TWinControl* Control, TPoint P, int32_t AWidth, int32_t AHeight) {
  TRect area = Rect(0, 0, Screen()->GetWidth(), Screen()->GetHeight());
  if (Control && Control->HandleAllocated()) {
    const QRect g = Control->Bridge()->window()->geometry();
    area = Rect(g.left(), g.top(), g.left() + g.width(), g.top() + g.height());
  }
  P.X = std::clamp(P.X, area.Left, std::max(area.Left, area.Right - AWidth));
  P.Y = std::clamp(P.Y, area.Top, std::max(area.Top, area.Bottom - AHeight));
  return P;
}

// ---------------------------------------------------------------------------------------------
// TScrollBar

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
}

TScrollBar::~TScrollBar() { DestroyHandle(); }

void TScrollBar::SetKind(TScrollBarKind Value) {
  if (Value == FKind) return;
  FKind = Value;
  SetBounds(FLeft, FTop, FHeight, FWidth);
  RecreateWnd();
}

int32_t TScrollBar::LastPosition() const {
  return FPageSize > 0 ? std::max(FMin, FMax - FPageSize + 1) : FMax;
}

void TScrollBar::SetParams(int32_t APosition, int32_t AMin, int32_t AMax) {
  FMin = AMin;
  FMax = std::max(AMin, AMax);
  const int32_t position = std::clamp(APosition, FMin, LastPosition());
  const bool changed = position != FPosition;
  FPosition = position;
  ShowOnBar();
  if (changed && OnChange) OnChange(this);
}

void TScrollBar::SetPageSize(int32_t Value) {
  FPageSize = std::max(0, Value);
  SetParams(FPosition, FMin, FMax);
}

void TScrollBar::SetLargeChange(int32_t Value) {
  FLargeChange = std::max(1, Value);
  ShowOnBar();
}

void TScrollBar::SetSmallChange(int32_t Value) {
  FSmallChange = std::max(1, Value);
  ShowOnBar();
}

void TScrollBar::SetEnabled(bool Value) {
  TWinControl::SetEnabled(Value);
  ShowOnBar();
}

void TScrollBar::Scroll(TScrollCode ScrollCode, int32_t& ScrollPos) {
  if (OnScroll) OnScroll(this, ScrollCode, ScrollPos);
}

void TScrollBar::CreateWnd() {
  TWinControl::CreateWnd();
  FBar = new QScrollBar(FKind == sbVertical ? Qt::Vertical : Qt::Horizontal, ClientWidget());
  FBar->setFocusPolicy(Qt::NoFocus);
  QObject::connect(FBar, &QScrollBar::actionTriggered, FBar,
                   [this](int A) { Guarded([&] { BarAction(A); }); });
  BoundsChanged();
  ShowOnBar();
  FBar->show();
}

void TScrollBar::DestroyWnd() {
  FBar = nullptr;  // goes with the client widget
  TWinControl::DestroyWnd();
}

void TScrollBar::BoundsChanged() {
  TWinControl::BoundsChanged();
  if (FBar) FBar->setGeometry(0, 0, ClientWidth(), ClientHeight());
}

void TScrollBar::ShowOnBar() {
  if (!FBar) return;
  const QSignalBlocker block(FBar);
  FBar->setRange(FMin, LastPosition());
  FBar->setPageStep(FLargeChange);
  FBar->setSingleStep(FSmallChange);
  FBar->setValue(FPosition);
  FBar->setEnabled(FEnabled);
}

void TScrollBar::BarAction(int Action) {
  struct TStep {
    TScrollCode Code;
    int32_t Pos;
  };
  TStep step;
  switch (Action) {
    case QAbstractSlider::SliderSingleStepSub: step = {scLineUp, FPosition - FSmallChange}; break;
    case QAbstractSlider::SliderSingleStepAdd: step = {scLineDown, FPosition + FSmallChange}; break;
    case QAbstractSlider::SliderPageStepSub: step = {scPageUp, FPosition - FLargeChange}; break;
    case QAbstractSlider::SliderPageStepAdd: step = {scPageDown, FPosition + FLargeChange}; break;
    case QAbstractSlider::SliderToMinimum: step = {scTop, FMin}; break;
    case QAbstractSlider::SliderToMaximum: step = {scBottom, LastPosition()}; break;
    case QAbstractSlider::SliderMove: step = {scTrack, FBar->sliderPosition()}; break;
    default: return;
  }
  int32_t pos = std::clamp(step.Pos, FMin, LastPosition());
  QPointer<QScrollBar> bar(FBar);
  Scroll(step.Code, pos);
  SetPosition(pos);
  // The bar shows the position taken, not one of its own.
  if (bar) bar->setSliderPosition(FPosition);
}

// ---------------------------------------------------------------------------------------------
// TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FTimer(std::make_unique<QTimer>()) {
  QObject::connect(FTimer.get(), &QTimer::timeout, [this] {
    if (!OnTimer) return;
    try {
      OnTimer(this);
    } catch (const std::exception& e) {
      Application()->HandleException(e);
    }
  });
  UpdateTimer();
}

TTimer::~TTimer() { FTimer->stop(); }

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  FTimer->stop();
  if (FEnabled && FInterval > 0) FTimer->start(static_cast<int>(FInterval));
}

namespace {

class TFirstPaintExit : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::Paint && !FSeen) {
      FSeen = true;
      // Runs once the paint in progress is finished and flushed to the window.
      QTimer::singleShot(0, [] {
        std::fflush(nullptr);
        std::_Exit(0);
      });
    }
    return QObject::eventFilter(Watched, Event);
  }

 private:
  bool FSeen = false;
};

}  // namespace

void ExitAfterFirstPaintIfAsked() {
  if (!std::getenv("RID_EXIT_AFTER_PAINT") || !qApp) return;
  qApp->installEventFilter(new TFirstPaintExit(qApp));
}

}  // namespace rid
