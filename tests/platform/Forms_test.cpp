#include "platform/Forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <functional>

#include "platform/Locale.h"
#include "platform/WidgetBridge.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

bool WaitFor(const std::function<bool()>& Done, int Ms = test::kWaitSeconds * 1000) {
  QElapsedTimer t;
  t.start();
  while (!Done() && t.elapsed() < Ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return Done();
}

TEST(Forms, TimerTicksOnTheEventLoopAndStops) {
  TTimer t(nullptr);
  int ticks = 0;
  t.SetInterval(5);
  t.OnTimer = [&](TObject*) { ++ticks; };
  EXPECT_TRUE(WaitFor([&] { return ticks >= 2; }));
  t.SetEnabled(false);
  const int now = ticks;
  test::ProcessEventsPast(20);
  EXPECT_EQ(ticks, now);
  // An exception from a tick is reported, not thrown through the event loop.
  std::string reported;
  Application()->OnException = [&](TObject*, const std::exception& e) { reported = e.what(); };
  t.OnTimer = [](TObject*) { throw Exception("tick failed"); };
  t.SetEnabled(true);
  EXPECT_TRUE(WaitFor([&] { return !reported.empty(); }));
  Application()->OnException = nullptr;
  EXPECT_EQ(reported, "tick failed");
}

TEST(Forms, ScreenCursorOverridesEveryWindow) {
  Screen()->SetCursor(crHourGlass);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  Screen()->SetCursor(crDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Screen()->Cursors(crIBeam), crIBeam);
  EXPECT_GT(Screen()->GetPixelsPerInch(), 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXDRAG), 4);
  EXPECT_GT(GetSystemMetrics(SM_CYVSCROLL), 0);
  uint32_t lines = 0;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
  EXPECT_EQ(lines, 3u);
}

TEST(Forms, HintWindowShowsTextWhereAsked) {
  THintWindow hint(nullptr);
  const std::string text = "Top Line: 1234";
  const TRect r = hint.CalcHintRect(200, text);
  EXPECT_EQ(r.Left, 0);
  EXPECT_GT(r.Width(), 20);
  EXPECT_LE(r.Width(), 206);
  EXPECT_GT(hint.CalcHintRect(200, std::string(300, 'W')).Width(), 0);
  EXPECT_LE(hint.CalcHintRect(200, std::string(300, 'W')).Width(), 206);
  hint.ActivateHint(Bounds(50, 60, r.Width(), r.Height()), text);
  ASSERT_TRUE(hint.HandleAllocated());
  EXPECT_TRUE(hint.Bridge()->isVisible());
  EXPECT_EQ(hint.Bridge()->geometry().topLeft(), QPoint(50, 60));
  hint.Update();
  const QImage pic = hint.Picture();
  int ink = 0;
  for (int x = 3; x < pic.width() - 3; ++x)
    for (int y = 3; y < pic.height() - 3; ++y)
      ink += (pic.pixel(x, y) & 0xFFFFFF) != (ColorToQRgb(clInfoBk) & 0xFFFFFF);
  EXPECT_GT(ink, 10);
  hint.ReleaseHandle();
  EXPECT_FALSE(hint.HandleAllocated());
}

TEST(Forms, AFramelessFormStaysOnTopWhereItIsPut) {
  TCustomForm form(nullptr);
  int shows = 0;
  form.OnShow = [&](TObject*) {
    EXPECT_FALSE(form.HandleAllocated() && form.Bridge()->isVisible());  // before it shows
    ++shows;
  };
  form.SetBorderStyle(bsNone);
  form.SetFormStyle(fsStayOnTop);
  form.SetClientSize(150, 17);
  form.SetBounds(40, 30, 150, 17);
  EXPECT_FALSE(form.GetVisible());
  form.Show();
  ASSERT_TRUE(form.HandleAllocated());
  QWidget* w = form.Bridge();
  EXPECT_TRUE(w->isWindow());
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(w->geometry(), QRect(40, 30, 150, 17));
  EXPECT_EQ(form.ClientToScreen(Point(1, 2)), Point(41, 32));
  form.Hide();
  EXPECT_FALSE(w->isVisible());
  form.Show();
  EXPECT_EQ(shows, 2);
}

TEST(Forms, ProgressBarKeepsItsPositionInRangeAndPaintsIt) {
  TCustomForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetClientSize(100, 12);
  TProgressBar bar(nullptr);
  bar.SetParent(&form);
  bar.SetAlign(alClient);
  struct Step {
    const char* Name;
    std::function<void()> Do;
    int32_t Min, Max, Position;
  };
  const std::vector<Step> steps = {
      {"range", [&] { bar.SetRange(10, 20); }, 10, 20, 10},
      {"above", [&] { bar.SetPosition(25); }, 10, 20, 20},
      {"below", [&] { bar.SetPosition(-3); }, 10, 20, 10},
      {"max under min takes min", [&] { bar.SetMax(5); }, 5, 5, 5},
      {"min over max takes max", [&] { bar.SetMin(8); }, 8, 8, 8},
      {"reversed range", [&] { bar.SetRange(30, 1); }, 30, 30, 30},
      {"half way", [&] { bar.SetRange(0, 10), bar.SetPosition(5); }, 0, 10, 5},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.Name);
    s.Do();
    EXPECT_EQ(bar.GetMin(), s.Min);
    EXPECT_EQ(bar.GetMax(), s.Max);
    EXPECT_EQ(bar.GetPosition(), s.Position);
  }
  form.Show();
  bar.Update();
  const QImage pic = bar.Picture();
  const QRgb done = ColorToQRgb(clHighlight) & 0xFFFFFF;
  EXPECT_EQ(pic.pixel(10, 6) & 0xFFFFFF, done);
  EXPECT_EQ(pic.pixel(45, 6) & 0xFFFFFF, done);
  EXPECT_NE(pic.pixel(55, 6) & 0xFFFFFF, done);
  EXPECT_NE(pic.pixel(90, 6) & 0xFFFFFF, done);
  bar.SetPosition(10);  // shown at once: the operations it follows keep the event loop waiting
  EXPECT_EQ(bar.Picture().pixel(90, 6) & 0xFFFFFF, done);
}

// Paints and timers go on; keys and the mouse wait for the next full turn of the event loop.
TEST(Forms, PaintPumpLeavesUserInputQueued) {
  QWidget target;
  int keys = 0, clicks = 0, others = 0;
  struct Counter : QObject {
    int *Keys, *Clicks, *Others;
    bool eventFilter(QObject*, QEvent* E) override {
      if (E->type() == QEvent::KeyPress) ++*Keys;
      if (E->type() == QEvent::MouseButtonPress) ++*Clicks;
      if (E->type() == QEvent::User) ++*Others;
      return false;
    }
  } counter;
  counter.Keys = &keys;
  counter.Clicks = &clicks;
  counter.Others = &others;
  target.installEventFilter(&counter);
  QApplication::postEvent(&target, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
  QApplication::postEvent(&target, new QEvent(QEvent::User));
  QApplication::postEvent(&target,
                          new QMouseEvent(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1),
                                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  bool ticked = false;
  QTimer::singleShot(0, [&] { ticked = true; });
  Application()->ProcessPaintMessages();
  EXPECT_EQ(others, 1);
  EXPECT_TRUE(ticked);
  EXPECT_EQ(keys, 0);
  EXPECT_EQ(clicks, 0);
  Application()->ProcessMessages();
  EXPECT_EQ(keys, 1);
  EXPECT_EQ(clicks, 1);
}

// A pop-up tool window as the completion list makes one: a sizing frame that snaps the height
// to multiples of 10 pixels while it is dragged.
class TPopup : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
  uint32_t Frame = WS_THICKFRAME;
  std::vector<uintptr_t> Edges;
  int Deactivations = 0;
  void Deactivate() override {
    TCustomForm::Deactivate();
    ++Deactivations;
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomForm::CreateParams(Params);
    Params.Style = WS_POPUP | Frame;
    Params.ExStyle = WS_EX_TOOLWINDOW;
  }
  void Dispatch(TMessage& M) override {
    if (M.Msg == WM_SIZING) {
      Edges.push_back(M.WParam);
      auto* r = reinterpret_cast<TRect*>(M.LParam);
      r->Bottom = r->Top + (r->Height() + 9) / 10 * 10;
      return;
    }
    TCustomForm::Dispatch(M);
  }
};

// Global is where the mouse is on the screen; the window may move under it.
void SendMouse(QWidget* W, QEvent::Type T, QPoint Global, Qt::MouseButtons Buttons) {
  QMouseEvent e(T, QPointF(W->mapFromGlobal(Global)), QPointF(Global),
                T == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Buttons, Qt::NoModifier);
  QApplication::sendEvent(W, &e);
}

TEST(Forms, APopupShowsWithoutTakingTheKeyboardAndDrawsItsFrame) {
  TCustomForm main(nullptr);
  main.SetBounds(10, 10, 200, 100);
  main.Show();
  main.SetFocus();
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  struct Case {
    uint32_t Frame;
    int32_t Width;
  };
  for (const Case& c :
       {Case{WS_THICKFRAME, GetSystemMetrics(SM_CYSIZEFRAME)}, Case{WS_DLGFRAME, 1}, Case{0, 0}}) {
    TPopup popup(nullptr);
    popup.Frame = c.Frame;
    popup.SetBounds(50, 60, 120, 80);
    popup.Show();
    ASSERT_TRUE(popup.HandleAllocated());
    EXPECT_TRUE(popup.Bridge()->isVisible());
    EXPECT_TRUE(popup.Bridge()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(popup.Bridge()->geometry(), QRect(50, 60, 120, 80));
    EXPECT_EQ(popup.GetClientRect(), Rect(0, 0, 120 - 2 * c.Width, 80 - 2 * c.Width));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), focus);
  }
}

TEST(Forms, DraggingASizingFrameResizesThroughWMSizing) {
  TPopup popup(nullptr);
  popup.SetBounds(50, 60, 120, 80);
  popup.Show();
  QWidget* frame = popup.Bridge();
  struct Drag {
    const char* Name;
    QPoint From, By;
    uintptr_t Edge;
    TRect Want;
  };
  const Drag drags[] = {
      {"bottom edge, snapped", {60, 78}, {0, 27}, WMSZ_BOTTOM, Bounds(50, 60, 120, 110)},
      {"right edge", {118, 40}, {30, 0}, WMSZ_RIGHT, Bounds(50, 60, 150, 110)},
      {"bottom right corner", {148, 108}, {-20, 14}, WMSZ_BOTTOMRIGHT, Bounds(50, 60, 130, 130)},
      {"left edge moves the left", {1, 50}, {-10, 0}, WMSZ_LEFT, Bounds(40, 60, 140, 130)},
      {"top edge", {70, 2}, {0, 25}, WMSZ_TOP, Bounds(40, 85, 140, 110)},
      {"never smaller than the frame", {70, 108}, {0, -300}, WMSZ_BOTTOM, Bounds(40, 85, 140, 10)},
  };
  for (const Drag& d : drags) {
    SCOPED_TRACE(d.Name);
    popup.Edges.clear();
    const QPoint from = frame->mapToGlobal(d.From);
    SendMouse(frame, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(frame, QEvent::MouseMove, from + d.By / 2, Qt::LeftButton);
    SendMouse(frame, QEvent::MouseMove, from + d.By, Qt::LeftButton);
    SendMouse(frame, QEvent::MouseButtonRelease, from + d.By, Qt::NoButton);
    ASSERT_EQ(popup.Edges.size(), 2u);
    EXPECT_EQ(popup.Edges[0], d.Edge);
    EXPECT_EQ(popup.GetBoundsRect(), d.Want);
  }
  // Inside the frame nothing resizes.
  popup.SetBounds(50, 60, 120, 80);
  popup.Edges.clear();
  SendMouse(frame, QEvent::MouseButtonPress, frame->mapToGlobal(QPoint(60, 40)), Qt::LeftButton);
  SendMouse(frame, QEvent::MouseMove, frame->mapToGlobal(QPoint(60, 60)), Qt::LeftButton);
  EXPECT_TRUE(popup.Edges.empty());
}

TEST(Forms, AnActivatedPopupIsDeactivatedByAPressElsewhereOrByHiding) {
  TCustomForm other(nullptr);
  other.SetBounds(300, 10, 100, 100);
  other.Show();
  TPopup popup(nullptr);
  popup.SetBounds(50, 60, 120, 80);
  popup.Show();
  popup.Activate();
  EXPECT_TRUE(popup.GetActive());
  // A press on itself keeps it active.
  const QPoint inPopup = popup.ClientWidget()->mapToGlobal(QPoint(10, 10));
  const QPoint inOther = other.ClientWidget()->mapToGlobal(QPoint(10, 10));
  SendMouse(popup.ClientWidget(), QEvent::MouseButtonPress, inPopup, Qt::LeftButton);
  SendMouse(popup.ClientWidget(), QEvent::MouseButtonRelease, inPopup, Qt::NoButton);
  QApplication::processEvents();
  EXPECT_TRUE(popup.GetActive());
  // A press in another window deactivates it before the press gets there.
  int pressesSeen = 0;
  other.OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) {
    EXPECT_FALSE(popup.GetActive());
    ++pressesSeen;
  };
  SendMouse(other.ClientWidget(), QEvent::MouseButtonPress, inOther, Qt::LeftButton);
  SendMouse(other.ClientWidget(), QEvent::MouseButtonRelease, inOther, Qt::NoButton);
  QApplication::processEvents();
  EXPECT_EQ(pressesSeen, 1);
  EXPECT_FALSE(popup.GetActive());
  EXPECT_EQ(popup.Deactivations, 1);
  // Hiding deactivates as well; a hidden or inactive pop-up hears no more presses.
  popup.Activate();
  popup.Hide();
  EXPECT_EQ(popup.Deactivations, 2);
  SendMouse(other.ClientWidget(), QEvent::MouseButtonPress, inOther, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(popup.Deactivations, 2);
}

QScrollBar* BarOf(TScrollBar& S) { return S.ClientWidget()->findChild<QScrollBar*>(); }

// A pop-up whose resizing raises, as a handler of a control may.
class TRaisingPopup : public TPopup {
 public:
  using TPopup::TPopup;
  bool Raise = false;

 protected:
  void BoundsChanged() override {
    TPopup::BoundsChanged();
    if (Raise) throw Exception("resized");
  }
};

// What a handler raises while Qt hands the user's input to a scroll bar, to the watch of an
// active pop-up or to a sizing frame ends at the application's OnException, never in Qt (whose
// event loop would end the program with it).
TEST(Forms, WhatAHandlerRaisesIsReportedAndNeverReachesQt) {
  TCustomForm form(nullptr);  // a scroll bar's, and the window pressed outside the pop-up
  form.SetBounds(300, 10, 100, 200);
  TScrollBar bar(nullptr);
  bar.SetKind(sbVertical);
  bar.SetParent(&form);
  bar.SetBounds(0, 0, 16, 150);
  form.Show();
  TRaisingPopup popup(nullptr);
  popup.SetBounds(50, 60, 120, 80);
  popup.Show();
  std::vector<std::string> reported;
  Application()->OnException = [&](TObject*, const std::exception& e) {
    reported.push_back(e.what());
  };
  const QPoint outside = form.ClientWidget()->mapToGlobal(QPoint(50, 170));
  QWidget* frame = popup.Bridge();
  const QPoint edge = frame->mapToGlobal(QPoint(60, 78));
  const struct {
    const char* What;
    std::function<void()> Input;
    const char* Raised;
  } cases[] = {
      {"a scroll bar's action",
       [&] {
         bar.OnScroll = [](TObject*, TScrollCode, int32_t&) { throw Exception("scrolled"); };
         BarOf(bar)->triggerAction(QAbstractSlider::SliderPageStepAdd);
       },
       "scrolled"},
      {"a press that deactivates a pop-up",
       [&] {
         popup.OnDeactivate = [](TObject*) { throw Exception("deactivated"); };
         popup.Activate();
         SendMouse(form.ClientWidget(), QEvent::MouseButtonPress, outside, Qt::LeftButton);
         SendMouse(form.ClientWidget(), QEvent::MouseButtonRelease, outside, Qt::NoButton);
       },
       "deactivated"},
      {"dragging a sizing frame",
       [&] {
         popup.Raise = true;
         SendMouse(frame, QEvent::MouseButtonPress, edge, Qt::LeftButton);
         SendMouse(frame, QEvent::MouseMove, edge + QPoint(0, 20), Qt::LeftButton);
         SendMouse(frame, QEvent::MouseButtonRelease, edge + QPoint(0, 20), Qt::NoButton);
         popup.Raise = false;
       },
       "resized"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    reported.clear();
    EXPECT_NO_THROW(c.Input());
    EXPECT_EQ(reported, std::vector<std::string>{c.Raised});
  }
  Application()->OnException = nullptr;
}

TEST(Forms, ScrollBarKeepsItsPositionInRange) {
  TScrollBar bar(nullptr);
  int changes = 0;
  bar.OnChange = [&](TObject*) { ++changes; };
  struct Step {
    const char* Name;
    std::function<void()> Do;
    int32_t Min, Max, Position, Changes;
  };
  const std::vector<Step> steps = {
      {"defaults", [] {}, 0, 100, 0, 0},
      {"position", [&] { bar.SetPosition(40); }, 0, 100, 40, 1},
      {"the same again", [&] { bar.SetPosition(40); }, 0, 100, 40, 0},
      {"above the range", [&] { bar.SetPosition(500); }, 0, 100, 100, 1},
      {"a page keeps the last page", [&] { bar.SetPageSize(10); }, 0, 100, 91, 1},
      {"a shrinking maximum takes the position", [&] { bar.SetMax(20); }, 0, 20, 11, 1},
      {"no page", [&] { bar.SetPageSize(0); }, 0, 20, 11, 0},
      {"a range of nothing", [&] { bar.SetParams(5, 0, 0); }, 0, 0, 0, 1},
      {"max below min counts as min", [&] { bar.SetParams(3, 4, 2); }, 4, 4, 4, 1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.Name);
    changes = 0;
    s.Do();
    EXPECT_EQ(bar.GetMin(), s.Min);
    EXPECT_EQ(bar.GetMax(), s.Max);
    EXPECT_EQ(bar.GetPosition(), s.Position);
    EXPECT_EQ(changes, s.Changes);
  }
}

TEST(Forms, ScrollBarActionsReachOnScrollAndMoveTheBar) {
  TCustomForm form(nullptr);
  form.SetBounds(10, 10, 100, 200);
  TScrollBar bar(nullptr);
  bar.SetKind(sbVertical);
  bar.SetParent(&form);
  bar.SetBounds(0, 0, 16, 150);
  bar.SetParams(0, 0, 50);
  bar.SetLargeChange(10);
  bar.SetSmallChange(2);
  form.Show();
  ASSERT_TRUE(bar.HandleAllocated());
  QScrollBar* q = BarOf(bar);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->orientation(), Qt::Vertical);
  std::vector<std::pair<TScrollCode, int32_t>> seen;
  int32_t veto = -1;
  bar.OnScroll = [&](TObject*, TScrollCode Code, int32_t& Pos) {
    seen.emplace_back(Code, Pos);
    if (veto >= 0) Pos = veto;
  };
  struct Action {
    QAbstractSlider::SliderAction A;
    TScrollCode Code;
    int32_t Pos;
  };
  const Action actions[] = {
      {QAbstractSlider::SliderPageStepAdd, scPageDown, 10},
      {QAbstractSlider::SliderSingleStepAdd, scLineDown, 12},
      {QAbstractSlider::SliderSingleStepSub, scLineUp, 10},
      {QAbstractSlider::SliderToMaximum, scBottom, 50},
      {QAbstractSlider::SliderPageStepAdd, scPageDown, 50},
      {QAbstractSlider::SliderToMinimum, scTop, 0},
  };
  for (const Action& a : actions) {
    seen.clear();
    q->triggerAction(a.A);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, a.Code);
    EXPECT_EQ(seen[0].second, a.Pos);
    EXPECT_EQ(bar.GetPosition(), a.Pos);
    EXPECT_EQ(q->value(), a.Pos);
  }
  veto = 7;
  q->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(bar.GetPosition(), 7);
  EXPECT_EQ(q->value(), 7);
  bar.SetEnabled(false);
  EXPECT_FALSE(q->isEnabled());
}

TEST(Forms, PopupPlacementStaysInsideTheWindowOrTheScreen) {
  TCustomForm main(nullptr);
  main.SetBounds(100, 100, 300, 200);
  main.Show();
  const int32_t sw = Screen()->GetWidth(), sh = Screen()->GetHeight();
  struct Place {
    TWinControl* Control;
    TPoint P, Want;
  };
  const std::vector<Place> places = {
      {&main, Point(150, 150), Point(150, 150)},
      {&main, Point(0, 0), Point(100, 100)},
      {&main, Point(1000, 1000), Point(350, 280)},
      {nullptr, Point(-5, -5), Point(0, 0)},
      {nullptr, Point(sw + 10, sh + 10), Point(sw - 50, sh - 20)},
  };
  for (const Place& p : places) EXPECT_EQ(PopupPlacement(p.Control, p.P, 50, 20), p.Want);
}

}  // namespace
}  // namespace rid
