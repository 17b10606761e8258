#include "platform/Forms.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QInputEvent>
#include <QPointer>
#include <QScreen>
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

void TApplication::HandleException(const std::exception& E) {
  if (OnException) {
    OnException(this, E);
    return;
  }
  std::fprintf(stderr, "%s\n", E.what());
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

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  FVisible = false;
  SetBorderStyle(bsSingle);
  if (LiveForms().empty()) qAddPostRoutine(DestroyFormWindows);
  LiveForms().push_back(this);
}

TCustomForm::~TCustomForm() {
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

// The frame is the window's own, not a border drawn inside it.
void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.Style &= ~WS_BORDER;
  Params.ExStyle &= ~WS_EX_CLIENTEDGE;
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  Qt::WindowFlags flags = Qt::Window;
  if (GetBorderStyle() == bsNone) flags |= Qt::FramelessWindowHint;
  if (FFormStyle == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  Bridge()->setWindowFlags(flags);
  Bridge()->Relayout();
  if (FVisible) Bridge()->show();
}

void TCustomForm::VisibleChanged() {
  if (FVisible) DoShow();
  TWinControl::VisibleChanged();
  if (FVisible && Bridge()) Bridge()->raise();
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
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
