// The replace-all progress window: its shape, its bar, and where it goes.
#include "editor/Progress.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "editor/RidEder.h"
#include "platform/WidgetBridge.h"

namespace rid {
namespace {

TEST(Progress, AFramelessBarOnTopThatStartsAtItsBeginning) {
  TfrmProgress form(nullptr);
  EXPECT_EQ(form.GetWidth(), 150);
  EXPECT_EQ(form.GetHeight(), 17);
  EXPECT_EQ(form.PGB->GetMin(), 0);
  EXPECT_EQ(form.PGB->GetMax(), 10);
  form.PGB->SetRange(3, 9);
  form.PGB->SetPosition(7);
  form.Show();
  EXPECT_EQ(form.PGB->GetPosition(), 3);  // 0, kept in the range
  EXPECT_TRUE(form.Bridge()->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(form.Bridge()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form.PGB->GetBoundsRect(), Rect(0, 0, 150, 17));
  form.PGB->SetPosition(8);
  form.Hide();
  form.Show();
  EXPECT_EQ(form.PGB->GetPosition(), 3);
}

// Next to the control (an editor without a parent is its own place), inside the screen; with
// no control at all, inside the screen too.
TEST(Progress, PlacedNextToTheControlInsideTheScreen) {
  TfrmProgress form(nullptr);
  const TRect screen = Rect(0, 0, Screen()->GetWidth(), Screen()->GetHeight());
  auto inside = [&] {
    return form.GetLeft() >= 0 && form.GetTop() >= 0 && form.GetLeft() + 150 <= screen.Right &&
           form.GetTop() + 17 <= screen.Bottom;
  };
  form.PlaceNearCaret(nullptr);
  EXPECT_TRUE(inside());
  TRidEder ed(nullptr);
  ed.SetBounds(200, 150, 400, 240);
  ed.Show();
  form.PlaceNearCaret(&ed);
  const TPoint origin = ed.ClientToScreen(Point(0, 0));
  EXPECT_EQ(form.GetLeft(), origin.X + 12);
  EXPECT_EQ(form.GetTop(), origin.Y - 16 + 17 / 2 + 2);
  ed.SetBounds(screen.Right - 20, screen.Bottom - 10, 400, 240);
  form.PlaceNearCaret(&ed);
  EXPECT_TRUE(inside());
}

}  // namespace
}  // namespace rid
