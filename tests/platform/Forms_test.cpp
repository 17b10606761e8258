#include "platform/Forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <functional>

#include "platform/Locale.h"
#include "platform/WidgetBridge.h"

namespace rid {
namespace {

bool WaitFor(const std::function<bool()>& Done, int Ms = 2000) {
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
  QElapsedTimer wait;
  wait.start();
  while (wait.elapsed() < 20) Application()->ProcessMessages();
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
