#include "platform/Forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>

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

}  // namespace
}  // namespace rid
