#include "platform/Forms.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

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
