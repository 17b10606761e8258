#include "app/ControlHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QtTest/QTest>
#include <functional>
#include <vector>

#include "editor/RidEder.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

// Records every widget that is shown as a window of its own.
class TWindowShows : public QObject {
 public:
  TWindowShows() { qApp->installEventFilter(this); }
  ~TWindowShows() override { qApp->removeEventFilter(this); }
  std::vector<QWidget*> Shown;

 protected:
  bool eventFilter(QObject* O, QEvent* E) override {
    if (E->type() == QEvent::Show)
      if (auto* w = qobject_cast<QWidget*>(O); w && w->isWindow()) Shown.push_back(w);
    return false;
  }
};

// A hosted editor's window is made inside its place: it never flashes up as a window of its
// own (which a person sees, and which a tool looking for the program's window may take for it),
// also when a change of its window style makes the window again.
TEST(ControlHost, AHostedControlNeverShowsAsAWindowOfItsOwn) {
  QWidget place;
  TRidEder ed(nullptr);  // its window goes before the place that holds it
  place.resize(300, 200);
  place.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&place, test::kWaitSeconds * 1000));
  const std::vector<std::pair<const char*, std::function<void()>>> remakes = {
      {"hosted", [] {}},
      {"border style changed", [&] { ed.SetBorderStyle(bsSingle); }},
      {"scroll bars changed", [&] { ed.SetScrollBars(ssNone); }},
      {"window made again", [&] { ed.RecreateWnd(); }},
  };
  TWindowShows shows;
  auto* host = new TControlHost(&ed, &place);
  host->resize(place.size());
  host->show();
  for (const auto& [name, remake] : remakes) {
    SCOPED_TRACE(name);
    remake();
    QApplication::processEvents();
    EXPECT_EQ(shows.Shown, std::vector<QWidget*>{});
    ASSERT_NE(ed.Bridge(), nullptr);
    EXPECT_EQ(ed.Bridge()->parentWidget(), host);
    EXPECT_FALSE(ed.Bridge()->isWindow());
    EXPECT_TRUE(ed.Bridge()->isVisible());
    EXPECT_EQ(ed.Bridge()->geometry(), host->rect());
  }
}

}  // namespace
}  // namespace rid
