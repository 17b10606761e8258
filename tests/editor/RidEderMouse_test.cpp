// The editor under the mouse: clicks, selections, the gutter, auto-scroll, dropped files and
// text dragged within one editor and between two, driven by the window's own mouse events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <functional>
#include <random>

#include "editor/RidEder.h"
#include "platform/Forms.h"
#include "platform/Locale.h"
#include "platform/WidgetBridge.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

bool OnTrail(std::string_view S, int32_t Col) { return IsTrailByteAt(S, Col); }

// A shown editor driven through its window; the scroll timer only ticks when a test says so.
struct TMouseEder {
  TRidEder Ed{nullptr};
  explicit TMouseEder(const std::string& Text, int Left = 0, int W = 400, int H = 240) {
    Ed.SetBounds(Left, 0, W, H);
    Ed.Show();
    Ed.SetText(Text);
    Ed.GetScrollTimer().SetInterval(10'000'000);
    Ed.Update();
  }
  int Cw() { return Ed.GetCharWidth(); }
  int Lh() { return Ed.GetLineHeight(); }
  // Just right of the left edge of a buffer column's cell, halfway down its row.
  QPoint At(int32_t Col, int32_t Line) {
    const TDisplayCoord d = Ed.BufferToDisplayPos({Col, Line});
    return QPoint(Ed.ColumnToXValue(d.Column) + 1, (d.Row - Ed.GetTopLine()) * Lh() + Lh() / 2);
  }
  // The mouse goes to P (the system's cursor too), then the event arrives.
  void Send(QEvent::Type T, QPoint P, Qt::MouseButton B, Qt::MouseButtons Bs,
            Qt::KeyboardModifiers M = Qt::NoModifier) {
    QWidget* w = Ed.ClientWidget();
    const QPointF global = w->mapToGlobal(QPointF(P));
    QCursor::setPos(global.toPoint());
    QApplication::processEvents();
    QMouseEvent e(T, QPointF(P), global, B, Bs, M);
    QApplication::sendEvent(w, &e);
  }
  void Press(QPoint P, Qt::KeyboardModifiers M = Qt::NoModifier,
             Qt::MouseButton B = Qt::LeftButton) {
    Send(QEvent::MouseButtonPress, P, B, B, M);
  }
  void Move(QPoint P, Qt::KeyboardModifiers M = Qt::NoModifier) {
    Send(QEvent::MouseMove, P, Qt::NoButton, Qt::LeftButton, M);
  }
  void Release(QPoint P, Qt::KeyboardModifiers M = Qt::NoModifier,
               Qt::MouseButton B = Qt::LeftButton) {
    Send(QEvent::MouseButtonRelease, P, B, Qt::NoButton, M);
  }
  void Click(QPoint P, Qt::KeyboardModifiers M = Qt::NoModifier) {
    Press(P, M);
    Release(P, M);
  }
  void DoubleClick(QPoint P) {
    Click(P);
    Send(QEvent::MouseButtonDblClick, P, Qt::LeftButton, Qt::LeftButton);
    Release(P);
  }
  void Tick() { Ed.GetScrollTimer().OnTimer(&Ed.GetScrollTimer()); }
  std::string Bytes() { return Ed.GetLines()->SaveToBytes(); }
  std::pair<TBufferCoord, TBufferCoord> Sel() { return {Ed.GetBlockBegin(), Ed.GetBlockEnd()}; }
};

const std::string Nihon = "\x93\xfa\x96\x7b";  // 日本: 93 FA 96 7B

// --- pixels

TEST(RidEderMouse, NearestRowColumnRoundsToTheNearerCellEdge) {
  TMouseEder s("x");
  // The halfway cases below need an even cell width.
  for (int size = 9; s.Cw() % 2 != 0 && size < 20; ++size) s.Ed.Font().SetSize(size);
  ASSERT_EQ(s.Cw() % 2, 0);
  const int cw = s.Cw(), lh = s.Lh(), left = s.Ed.GetGutterWidth() + 2;
  struct {
    int X, Y;
    TDisplayCoord Want;
  } const rows[] = {
      {left, 0, {1, 1}},
      {left + cw / 2 - 1, 0, {1, 1}},
      {left + cw / 2, 0, {1, 1}},            // half of 0.5: to even
      {left + cw + cw / 2, 0, {3, 1}},       // 1.5: to even
      {left + 2 * cw + cw / 2, lh, {3, 2}},  // 2.5: to even
      {left + cw / 2 + 1, 2 * lh - 1, {2, 2}},
      {0, -5, {1, 1}},
      // Below the last whole row: the last whole row.
      {left, 1000 * lh, {1, s.Ed.GetLinesInWindow()}},
  };
  for (const auto& r : rows)
    EXPECT_EQ(s.Ed.PixelsToNearestRowColumn(r.X, r.Y), r.Want) << r.X << "," << r.Y;
  s.Ed.SetLeftChar(5);
  EXPECT_EQ(s.Ed.PixelsToNearestRowColumn(left + cw - 1, 0), (TDisplayCoord{6, 1}));
}

TEST(RidEderMouse, RowColumnToPixelsAndTheCaretOnTheScreen) {
  TMouseEder s("abc\r\ndef\r\nghi");
  const int cw = s.Cw(), lh = s.Lh(), left = s.Ed.GetGutterWidth() + 2;
  EXPECT_EQ(s.Ed.RowColumnToPixels({1, 1}), Point(left, 0));
  EXPECT_EQ(s.Ed.RowColumnToPixels({3, 2}), Point(left + 2 * cw, lh));
  for (int c = 1; c <= 6; ++c)
    for (int r = 1; r <= 3; ++r) {
      const TPoint p = s.Ed.RowColumnToPixels({c, r});
      EXPECT_EQ(s.Ed.PixelsToNearestRowColumn(p.X, p.Y), (TDisplayCoord{c, r}));
      EXPECT_EQ(s.Ed.PixelsToRowColumn(p.X, p.Y), (TDisplayCoord{c, r}));
    }
  s.Ed.SetCaretXY({3, 2});
  const TPoint want = s.Ed.ClientToScreen(Point(left + 2 * cw, lh));
  EXPECT_EQ(s.Ed.GetCaretScreenPoint(), want);
}

// --- clicks

TEST(RidEderMouse, AClickPutsTheCaretOnTheNearestCharacterBoundary) {
  // "a日b" then a tab line; tab width 4.
  TMouseEder s("a" + Nihon.substr(0, 2) + "b\r\n\tx\r\nlast");
  s.Ed.SetTabWidth(4);
  const int cw = s.Cw(), lh = s.Lh();
  const auto x = [&](double Col) { return int(s.Ed.ColumnToXValue(1) + (Col - 1) * cw); };
  struct {
    double Col;  // in cells from the text's left edge (1 = column 1's left edge)
    int Row;
    TBufferCoord Want;
  } const rows[] = {
      {1.2, 1, {1, 1}},
      {1.7, 1, {2, 1}},
      // 日 covers cells 2 and 3: its left half goes before it, its right half after it.
      {2.4, 1, {2, 1}},
      {2.9, 1, {2, 1}},
      {3.1, 1, {4, 1}},
      {3.6, 1, {4, 1}},
      {4.2, 1, {4, 1}},
      {5.3, 1, {5, 1}},
      {9.1, 1, {9, 1}},  // past the end of the line (eoScrollPastEol)
      // The tab covers cells 1-4.
      {2.2, 2, {1, 2}},
      {4.8, 2, {2, 2}},
      {5.2, 2, {2, 2}},
      {5.6, 2, {3, 2}},
      // Below the text: its last line.
      {1.2, 9, {1, 3}},
  };
  for (const auto& r : rows) {
    s.Click(QPoint(x(r.Col), (r.Row - 1) * lh + lh / 2));
    EXPECT_EQ(s.Ed.GetCaretXY(), r.Want) << r.Col << "," << r.Row;
    EXPECT_FALSE(s.Ed.SelAvail());
  }
}

// Property: clicks and drags anywhere over Japanese text, with and without Shift, never leave the
// caret or a selection end inside a character.
TEST(RidEderMouse, MousePositionsAreNeverOnATrailByte) {
  const std::string line = Utf8ToSjis("aアｱ日本語\tx表示ー");
  TMouseEder s(line + "\r\n" + Utf8ToSjis("ソ") + line + "\r\n\t" + Nihon);
  s.Ed.SetTabWidth(3);
  std::mt19937 rng(7);
  const int width = s.Ed.ClientWidth(), height = 3 * s.Lh() + 4;
  const auto onTrail = [&](TBufferCoord P) {
    return P.Line >= 1 && P.Line <= s.Ed.Lines()->GetCount() &&
           OnTrail(s.Ed.GetLines()->GetView(P.Line - 1), P.Char);
  };
  for (int i = 0; i < 150; ++i) {
    const QPoint a(int(rng() % width), int(rng() % height));
    const QPoint b(int(rng() % width), int(rng() % height));
    const Qt::KeyboardModifiers keys = rng() % 2 ? Qt::ShiftModifier : Qt::NoModifier;
    s.Press(a, keys);
    s.Move(b, keys);
    s.Release(b, keys);
    EXPECT_FALSE(onTrail(s.Ed.GetCaretXY())) << i;
    EXPECT_FALSE(onTrail(s.Ed.GetBlockBegin())) << i;
    EXPECT_FALSE(onTrail(s.Ed.GetBlockEnd())) << i;
  }
}

TEST(RidEderMouse, ShiftAndAltClicksExtendOrSelectColumns) {
  TMouseEder s("0123456789\r\nabcdefghij\r\nABCDEFGHIJ");
  s.Click(s.At(3, 1));
  s.Click(s.At(5, 2), Qt::ShiftModifier);
  EXPECT_EQ(s.Sel(), std::make_pair(BufferCoord(3, 1), BufferCoord(5, 2)));
  s.Click(s.At(2, 3), Qt::ShiftModifier);  // from the same anchor
  EXPECT_EQ(s.Sel(), std::make_pair(BufferCoord(3, 1), BufferCoord(2, 3)));
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(2, 3));
  // Without the option Alt is no column selection.
  s.Press(s.At(2, 1), Qt::AltModifier);
  s.Move(s.At(4, 3), Qt::AltModifier);
  s.Release(s.At(4, 3), Qt::AltModifier);
  EXPECT_EQ(s.Ed.GetActiveSelectionMode(), smNormal);
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoAltSetsColumnMode});
  s.Click(s.At(1, 2));  // not a press on the selection, which would drag it
  s.Press(s.At(2, 1), Qt::AltModifier);
  s.Move(s.At(4, 3), Qt::AltModifier);
  s.Release(s.At(4, 3), Qt::AltModifier);
  EXPECT_EQ(s.Ed.GetSelectionMode(), smColumn);
  EXPECT_EQ(s.Ed.GetSelText(), "12\r\nbc\r\nBC");
  s.Click(s.At(1, 1));  // a plain click goes back to normal selections
  EXPECT_EQ(s.Ed.GetSelectionMode(), smNormal);
}

TEST(RidEderMouse, PressingInsideTheSelectionWaitsForADrag) {
  TMouseEder s("one two three\r\nfour");
  s.Ed.SetCaretAndSelection({8, 1}, {5, 1}, {8, 1});
  // Released where it was pressed: the selection goes, the caret stays at the click.
  s.Click(s.At(6, 1));
  EXPECT_FALSE(s.Ed.SelAvail());
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(6, 1));
  // Moved past the drag distance: a drag of the kept selection.
  s.Ed.SetCaretAndSelection({8, 1}, {5, 1}, {8, 1});
  s.Press(s.At(6, 1));
  EXPECT_TRUE(s.Ed.SelAvail());
  s.Move(s.At(6, 1) + QPoint(2, 0));
  EXPECT_FALSE(s.Ed.Dragging());
  s.Move(s.At(6, 1) + QPoint(GetSystemMetrics(SM_CXDRAG) + 1, 0));
  EXPECT_TRUE(s.Ed.Dragging());
  EXPECT_EQ(GetCapture(), nullptr);  // the drag took the mouse
  s.Ed.EndDrag(false);
  EXPECT_EQ(s.Sel(), std::make_pair(BufferCoord(5, 1), BufferCoord(8, 1)));
  // A press outside the selection, or with drag editing off, selects afresh.
  s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoDragDropEditing});
  s.Press(s.At(6, 1));
  s.Move(s.At(12, 1));
  s.Release(s.At(12, 1));
  EXPECT_FALSE(s.Ed.Dragging());
  EXPECT_EQ(s.Sel(), std::make_pair(BufferCoord(6, 1), BufferCoord(12, 1)));
}

TEST(RidEderMouse, ADoubleClickSelectsTheWordAndTheReleaseKeepsIt) {
  TMouseEder s("say " + Nihon + " go now");
  s.DoubleClick(s.At(2, 1));
  EXPECT_EQ(s.Ed.GetSelText(), "say");
  s.DoubleClick(s.At(10, 1) + QPoint(1, 0));
  EXPECT_EQ(s.Ed.GetSelText(), "go");
  EXPECT_EQ(GetCapture(), nullptr);
  s.DoubleClick(s.At(7, 1) + QPoint(1, 0));
  EXPECT_EQ(s.Ed.GetSelText(), Nihon);
  // Moving after the double click does not select on.
  s.Move(s.At(14, 1));
  EXPECT_EQ(s.Ed.GetSelText(), Nihon);
  // In the gutter a double click selects nothing.
  s.Ed.SetCaretXY({1, 1});
  s.DoubleClick(QPoint(3, s.Lh() / 2));
  EXPECT_FALSE(s.Ed.SelAvail());
}

TEST(RidEderMouse, RightButtonMovesTheCaretOnlyWhenAsked) {
  TMouseEder s("one two three");
  s.Ed.SetCaretAndSelection({8, 1}, {5, 1}, {8, 1});
  const auto right = [&](QPoint P) {
    s.Press(P, Qt::NoModifier, Qt::RightButton);
    s.Release(P, Qt::NoModifier, Qt::RightButton);
  };
  right(s.At(11, 1));
  EXPECT_EQ(s.Sel(), std::make_pair(BufferCoord(5, 1), BufferCoord(8, 1)));
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoRightMouseMovesCursor});
  right(s.At(6, 1));  // inside the selection: kept
  EXPECT_EQ(s.Sel(), std::make_pair(BufferCoord(5, 1), BufferCoord(8, 1)));
  right(s.At(11, 1));
  EXPECT_FALSE(s.Ed.SelAvail());
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(11, 1));
}

// Window activation arrives through the event loop.
bool WaitFor(const std::function<bool()>& Done) {
  QElapsedTimer t;
  t.start();
  while (!Done() && t.elapsed() < test::kWaitSeconds * 1000)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  return Done();
}

TEST(RidEderMouse, TheEditorTakesTheFocusWhenClicked) {
  TMouseEder a("first"), b("second", 420);
  a.Ed.SetFocus();
  ASSERT_TRUE(WaitFor([&] { return a.Ed.Focused(); }));
  b.Click(b.At(3, 1));
  EXPECT_TRUE(WaitFor([&] { return b.Ed.Focused(); }));
  EXPECT_FALSE(a.Ed.Focused());
}

// A lead byte typed alone, waiting for the next key, goes in where it was typed before a press
// moves the caret, also where the keyboard comes to the editor only after the press.
TEST(RidEderMouse, ALeadByteWaitingStaysWhereItWasTypedWhenAClickMovesTheCaret) {
  TMouseEder other("first"), s("ab");
  other.Ed.SetFocus();
  ASSERT_TRUE(WaitFor([&] { return other.Ed.Focused(); }));
  s.Ed.SetCaretXY({3, 1});
  s.Ed.CommandProcessor(ecChar, '\x8a', nullptr);
  QWidget* w = s.Ed.ClientWidget();
  const QPointF at(s.At(2, 1));
  for (const bool press : {true, false}) {  // at once, as a window not yet active gets them
    QMouseEvent e(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at,
                  w->mapToGlobal(at), Qt::LeftButton, press ? Qt::LeftButton : Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  EXPECT_TRUE(WaitFor([&] { return s.Ed.Focused(); }));
  EXPECT_EQ(s.Bytes(), "ab\x8a");
  EXPECT_EQ(s.Ed.GetCaretXY(), (TBufferCoord{2, 1}));
  s.Ed.CommandProcessor(ecChar, 'x', nullptr);
  EXPECT_EQ(s.Bytes(), "axb\x8a");
}

// --- the gutter

TEST(RidEderMouse, GutterClicksNameTheLineAndTheMark) {
  TMouseEder s("a\r\nb\r\nc");
  std::vector<std::tuple<TMouseButton, int32_t, TRidEderMark*>> seen;
  s.Ed.OnGutterClick = [&](TObject*, TMouseButton B, int32_t, int32_t, int32_t Line,
                           TRidEderMark* M) { seen.emplace_back(B, Line, M); };
  TRidEderMark* first = s.Ed.GetMarks().Add(std::make_unique<TRidEderMark>());
  first->SetLine(2);
  TRidEderMark* second = s.Ed.GetMarks().Add(std::make_unique<TRidEderMark>());
  second->SetLine(2);
  const int xo = s.Ed.GetBookMarkOptions().GetXoffset(), lh = s.Lh();
  struct {
    int X, Row;
    int32_t Line;
    TRidEderMark* Mark;
  } const rows[] = {
      {1, 1, 1, nullptr},          {xo - 1, 2, 2, first}, {xo, 2, 2, second},
      {2 * xo + 1, 2, 2, nullptr}, {1, 3, 3, nullptr},
  };
  ASSERT_LT(2 * xo + 1, s.Ed.GetGutterWidth());
  for (const auto& r : rows) {
    seen.clear();
    const QPoint p(r.X, (r.Row - 1) * lh + 1);
    s.Press(p);
    EXPECT_TRUE(seen.empty()) << "a left click fires on release";
    s.Release(p);
    ASSERT_EQ(seen.size(), 1u) << r.X << "," << r.Row;
    EXPECT_EQ(seen[0], std::make_tuple(mbLeft, r.Line, r.Mark)) << r.X << "," << r.Row;
  }
  // Below the last line, or released outside the gutter: nothing.
  seen.clear();
  s.Click(QPoint(1, 5 * lh));
  s.Press(QPoint(1, 1));
  s.Release(s.At(2, 1));
  EXPECT_TRUE(seen.empty());
  // The right button fires at the press (when it moves the caret at all).
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoRightMouseMovesCursor});
  s.Press(QPoint(1, lh + 1), Qt::NoModifier, Qt::RightButton);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_tuple(mbRight, 2, first));
  s.Release(QPoint(1, lh + 1), Qt::NoModifier, Qt::RightButton);
  EXPECT_EQ(seen.size(), 1u);
}

// --- auto-scroll

TEST(RidEderMouse, ComputeScrollStepsByWholeCellsOutsideTheText) {
  TMouseEder s("x");
  const int cw = s.Cw(), lh = s.Lh(), gw = s.Ed.GetGutterWidth();
  const int right = gw + s.Ed.GetCharsInWindow() * cw;
  const int bottom = s.Ed.GetLinesInWindow() * lh;
  s.Press(s.At(1, 1));  // the mouse is captured
  struct {
    int X, Y;
    bool Runs;
  } const rows[] = {
      {gw + 5, 5, false},          {gw - 3 * cw, 5, true}, {right, 5, true},
      {right - 1, 5, false},       {gw + 5, -1, true},     {gw + 5, bottom + 2 * lh, true},
      {gw + 5, bottom - 1, false},
  };
  for (const auto& r : rows) {
    s.Ed.ComputeScroll(r.X, r.Y);
    EXPECT_EQ(s.Ed.GetScrollTimer().GetEnabled(), r.Runs) << r.X << "," << r.Y;
  }
  s.Release(s.At(1, 1));
  EXPECT_FALSE(s.Ed.GetScrollTimer().GetEnabled());
  s.Ed.ComputeScroll(gw - 3 * cw, 5);  // not captured, not dragging
  EXPECT_FALSE(s.Ed.GetScrollTimer().GetEnabled());
}

std::string NumberedLines(int N, int Width = 1) {
  std::string t;
  for (int i = 1; i <= N; ++i)
    t += std::string(Width, char('a' + i % 26)) + std::to_string(i) + (i < N ? "\r\n" : "");
  return t;
}

TEST(RidEderMouse, HoldingTheMouseBelowScrollsAndSelectsTickByTick) {
  TMouseEder s(NumberedLines(100));
  const int lines = s.Ed.GetLinesInWindow(), lh = s.Lh();
  s.Press(s.At(1, 2));
  // Two rows below the text: three rows a tick.
  const QPoint below(s.At(1, 1).x(), lines * lh + 2 * lh + 1);
  s.Move(below);
  EXPECT_TRUE(s.Ed.GetScrollTimer().GetEnabled());
  EXPECT_EQ(s.Ed.GetTopLine(), 1);
  s.Tick();
  EXPECT_EQ(s.Ed.GetTopLine(), 4);
  EXPECT_EQ(s.Ed.GetCaretY(), 4 + lines - 1);
  EXPECT_EQ(s.Sel(), std::make_pair(BufferCoord(1, 2), BufferCoord(1, 4 + lines - 1)));
  s.Tick();
  EXPECT_EQ(s.Ed.GetTopLine(), 7);
  // With Shift down, a page per step.
  NoteModifiers(Qt::ShiftModifier);
  s.Tick();
  NoteModifiers(Qt::NoModifier);
  EXPECT_EQ(s.Ed.GetTopLine(), 7 + 3 * lines);
  EXPECT_EQ(s.Ed.GetBlockEnd(), BufferCoord(1, 7 + 4 * lines - 1));
  // Back inside: the timer stops; the release keeps the selection.
  const QPoint inside(s.At(2, 1).x(), 2 * lh + lh / 2);
  s.Move(inside);
  EXPECT_FALSE(s.Ed.GetScrollTimer().GetEnabled());
  s.Release(inside);
  EXPECT_EQ(s.Ed.GetBlockBegin(), BufferCoord(1, 2));
  EXPECT_EQ(s.Ed.GetBlockEnd(), BufferCoord(2, 7 + 3 * lines + 2));
}

TEST(RidEderMouse, HoldingTheMouseLeftOrRightScrollsColumns) {
  TMouseEder s(std::string(300, 'x') + "\r\n" + std::string(300, 'y'));
  const int cw = s.Cw(), gw = s.Ed.GetGutterWidth(), chars = s.Ed.GetCharsInWindow();
  s.Press(s.At(5, 1));
  s.Move(QPoint(gw + chars * cw + cw / 2, s.Lh() / 2));  // half a cell right of the text
  // A column a tick, and the caret just right of the view brings one more into it.
  s.Tick();
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(2 + chars, 1));
  EXPECT_EQ(s.Ed.GetLeftChar(), 3);
  s.Tick();
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(4 + chars, 1));
  EXPECT_EQ(s.Ed.GetLeftChar(), 5);
  // Three cells left of the text: four columns a tick.
  s.Ed.SetLeftChar(20);
  s.Move(QPoint(gw - 3 * cw, s.Lh() / 2));
  s.Tick();
  EXPECT_EQ(s.Ed.GetLeftChar(), 16);
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(16, 1));
  EXPECT_EQ(s.Ed.GetBlockBegin(), BufferCoord(5, 1));
  // Losing the capture stops the timer.
  EXPECT_TRUE(s.Ed.GetScrollTimer().GetEnabled());
  ReleaseCapture();
  EXPECT_FALSE(s.Ed.GetScrollTimer().GetEnabled());
}

// --- messages

TEST(RidEderMouse, DroppedFilesArriveWholeWithTheDropPoint) {
  TMouseEder s("x");
  std::vector<std::string> names;
  TPoint at;
  s.Ed.OnDropFiles = [&](TObject*, int32_t X, int32_t Y, TStrings* Files) {
    for (int32_t i = 0; i < Files->GetCount(); ++i) names.push_back(Files->Get(i));
    at = Point(X, Y);
  };
  TDropFiles drop;
  drop.Files = {"/tmp/" + std::string(600, 'n') + ".txt", Utf8ToSjis("/tmp/日本語.txt")};
  drop.Point = Point(17, 29);
  EXPECT_EQ(s.Ed.Perform(WM_DROPFILES, reinterpret_cast<uintptr_t>(&drop)), 0);
  EXPECT_EQ(names, drop.Files);
  EXPECT_EQ(at, Point(17, 29));
  // Registered for dropped files only with eoDropFiles.
  EXPECT_FALSE(s.Ed.GetAcceptFiles());
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoDropFiles});
  EXPECT_TRUE(s.Ed.GetAcceptFiles());
  s.Ed.RecreateWnd();
  EXPECT_TRUE(s.Ed.ClientWidget()->acceptDrops());
}

TEST(RidEderMouse, EnterAndLeaveTellTheShiftStateAndThePosition) {
  TMouseEder s("x");
  std::vector<std::pair<TShiftState, TPoint>> seen;
  s.Ed.OnMouseEnter = [&](TObject*, TShiftState Shift, int32_t X, int32_t Y) {
    seen.emplace_back(Shift, Point(X, Y));
  };
  s.Ed.OnMouseLeave = s.Ed.OnMouseEnter;
  QCursor::setPos(s.Ed.ClientWidget()->mapToGlobal(QPoint(40, 12)));
  QApplication::processEvents();
  seen.clear();
  NoteModifiers(Qt::ControlModifier);
  s.Ed.Perform(CM_MOUSEENTER);
  NoteModifiers(Qt::NoModifier);
  s.Ed.Perform(CM_MOUSELEAVE);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, TShiftState{ssCtrl});
  EXPECT_EQ(seen[0].second, Point(40, 12));
  EXPECT_EQ(seen[1].first, TShiftState{});
}

// --- dragging text

// Drags from a press at From in A to a release at To in B, by way of a point a row lower, so
// that the drag is under way wherever it ends.
void Drag(TMouseEder& A, QPoint From, TMouseEder& B, QPoint To,
          Qt::KeyboardModifiers M = Qt::NoModifier) {
  A.Press(From, M);
  const QPoint started = From + QPoint(GetSystemMetrics(SM_CXDRAG) + 2, 0);
  A.Move(started, M);
  ASSERT_TRUE(A.Ed.Dragging());
  A.Move(started + QPoint(0, A.Lh()), M);
  QWidget* a = A.Ed.ClientWidget();
  const auto inA = [&](QPoint P) { return a->mapFromGlobal(B.Ed.ClientWidget()->mapToGlobal(P)); };
  A.Move(inA(To), M);
  A.Release(inA(To), M);
  EXPECT_FALSE(A.Ed.Dragging());
  EXPECT_EQ(GetCapture(), nullptr);
}

// A drop, then undo and redo, byte for byte, in every editor involved.
struct TDropCase {
  const char* Name;
  TBufferCoord SelBegin, SelEnd, Drop;
  Qt::KeyboardModifiers Keys;
  const char* After;
  TBufferCoord Selected[2];           // of the dropped text, in the target
  const char* SourceAfter = nullptr;  // of another editor
};

void ExpectDropsAndUndoes(TMouseEder& Source, TMouseEder& Target, const TDropCase& C) {
  SCOPED_TRACE(C.Name);
  const std::string sourceBefore = Source.Bytes(), targetBefore = Target.Bytes();
  Source.Ed.SetCaretAndSelection(C.SelEnd, C.SelBegin, C.SelEnd);
  Drag(Source, Source.At(C.SelBegin.Char, C.SelBegin.Line) + QPoint(Source.Cw() / 2, 0), Target,
       Target.At(C.Drop.Char, C.Drop.Line), C.Keys);
  const bool same = &Source == &Target;
  EXPECT_EQ(Target.Bytes(), C.After);
  if (same && std::string(C.After) == targetBefore) return;  // nothing dropped
  EXPECT_EQ(Target.Sel(), std::make_pair(C.Selected[0], C.Selected[1]));
  EXPECT_EQ(Target.Ed.GetCaretXY(), C.Selected[0]);
  const std::string sourceAfter = Source.Bytes();
  if (C.SourceAfter) {
    EXPECT_EQ(sourceAfter, C.SourceAfter);
  }
  Target.Ed.Undo();
  if (!same) Source.Ed.Undo();
  EXPECT_EQ(Target.Bytes(), targetBefore);
  EXPECT_EQ(Source.Bytes(), sourceBefore);
  Target.Ed.Redo();
  if (!same) Source.Ed.Redo();
  EXPECT_EQ(Target.Bytes(), C.After);
  EXPECT_EQ(Source.Bytes(), sourceAfter);
  Target.Ed.Undo();
  if (!same) Source.Ed.Undo();
  EXPECT_EQ(Target.Bytes(), targetBefore);
  EXPECT_EQ(Source.Bytes(), sourceBefore);
}

TEST(RidEderMouse, DragAndDropWithinOneEditorMovesOrCopiesAndUndoesExactly) {
  const std::string text = "abcdef\r\nghij\r\nklmnop";
  const TDropCase cases[] = {
      {"move forward on the line",
       {2, 1},
       {4, 1},
       {6, 1},
       {},
       "adebcf\r\nghij\r\nklmnop",
       {{4, 1}, {6, 1}}},
      {"move back", {4, 1}, {6, 1}, {2, 1}, {}, "adebcf\r\nghij\r\nklmnop", {{2, 1}, {4, 1}}},
      {"move to another line",
       {2, 1},
       {4, 1},
       {3, 3},
       {},
       "adef\r\nghij\r\nklbcmnop",
       {{3, 3}, {5, 3}}},
      {"copy with Ctrl",
       {2, 1},
       {4, 1},
       {3, 2},
       Qt::ControlModifier,
       "abcdef\r\nghbcij\r\nklmnop",
       {{3, 2}, {5, 2}}},
      // After a selection over lines, on its last line: the column shifts too.
      {"move after a multi-line selection, on its last line",
       {5, 1},
       {3, 2},
       {4, 2},
       {},
       "abcdief\r\nghj\r\nklmnop",
       {{6, 1}, {3, 2}}},
      {"move after a multi-line selection, below it",
       {5, 1},
       {3, 2},
       {2, 3},
       {},
       "abcdij\r\nkef\r\nghlmnop",
       {{2, 2}, {3, 3}}},
      // The selection's edges: inside for a move, outside for a copy.
      {"move onto the start", {2, 1}, {4, 1}, {2, 1}, {}, "abcdef\r\nghij\r\nklmnop", {}},
      {"move onto the end", {2, 1}, {4, 1}, {4, 1}, {}, "abcdef\r\nghij\r\nklmnop", {}},
      {"move inside", {2, 1}, {5, 1}, {3, 1}, {}, "abcdef\r\nghij\r\nklmnop", {}},
      {"copy onto the start",
       {2, 1},
       {4, 1},
       {2, 1},
       Qt::ControlModifier,
       "abcbcdef\r\nghij\r\nklmnop",
       {{2, 1}, {4, 1}}},
      {"copy onto the end",
       {2, 1},
       {4, 1},
       {4, 1},
       Qt::ControlModifier,
       "abcbcdef\r\nghij\r\nklmnop",
       {{4, 1}, {6, 1}}},
      {"copy inside", {2, 1}, {5, 1}, {3, 1}, Qt::ControlModifier, "abcdef\r\nghij\r\nklmnop", {}},
      {"move past the end of a line",
       {1, 2},
       {3, 2},
       {9, 1},
       {},
       "abcdef  gh\r\nij\r\nklmnop",
       {{9, 1}, {11, 1}}},
  };
  for (const TDropCase& c : cases) {
    TMouseEder s(text);
    ExpectDropsAndUndoes(s, s, c);
  }
}

TEST(RidEderMouse, DragAndDropBetweenEditorsCopiesOrMovesWithBothUndoLists) {
  const TDropCase cases[] = {
      {"copy", {2, 1}, {4, 1}, {3, 1}, {}, "xybcz\r\nw", {{3, 1}, {5, 1}}, "abcd\r\nEFG"},
      {"move with Shift",
       {2, 1},
       {4, 1},
       {1, 2},
       Qt::ShiftModifier,
       "xyz\r\nbcw",
       {{1, 2}, {3, 2}},
       "ad\r\nEFG"},
      {"copy over lines",
       {3, 1},
       {2, 2},
       {2, 2},
       {},
       "xyz\r\nwcd\r\nE",
       {{2, 2}, {2, 3}},
       "abcd\r\nEFG"},
      {"move over lines",
       {3, 1},
       {2, 2},
       {4, 1},
       Qt::ShiftModifier,
       "xyzcd\r\nE\r\nw",
       {{4, 1}, {2, 2}},
       "abFG"},
  };
  for (const TDropCase& c : cases) {
    TMouseEder source("abcd\r\nEFG"), target("xyz\r\nw", 420);
    ExpectDropsAndUndoes(source, target, c);
  }
}

TEST(RidEderMouse, DropsLandOnCharacterBoundaries) {
  TMouseEder s("ab" + Nihon + "cd");
  s.Ed.SetCaretAndSelection({9, 1}, {8, 1}, {9, 1});  // "d"
  // Onto the middle of 本 (columns 5-6), nearer its end.
  Drag(s, s.At(8, 1) + QPoint(2, 0), s, s.At(6, 1) + QPoint(2, 0), Qt::ControlModifier);
  EXPECT_EQ(s.Bytes(), "ab" + Nihon + "dcd");
  // Nearer its start.
  s.Ed.SetCaretAndSelection({2, 1}, {1, 1}, {2, 1});  // "a"
  Drag(s, s.At(1, 1) + QPoint(2, 0), s, s.At(6, 1) - QPoint(2, 0), Qt::ControlModifier);
  EXPECT_EQ(s.Bytes(), "ab" + Nihon.substr(0, 2) + "a" + Nihon.substr(2) + "dcd");
}

TEST(RidEderMouse, AReadOnlyEditorTakesNoDrop) {
  {
    TMouseEder source("abcd"), target("xyz", 420);
    target.Ed.SetReadOnly(true);
    source.Ed.SetCaretAndSelection({3, 1}, {1, 1}, {3, 1});
    Drag(source, source.At(1, 1) + QPoint(2, 0), target, target.At(2, 1), Qt::ShiftModifier);
    EXPECT_EQ(target.Bytes(), "xyz");
    EXPECT_EQ(source.Bytes(), "abcd");
  }
  // Nor does one give its text away: moved with Shift, it is copied.
  TMouseEder readOnly("abcd"), other("xyz", 420);
  readOnly.Ed.SetReadOnly(true);
  ExpectDropsAndUndoes(readOnly, other,
                       {"from a read-only editor",
                        {1, 1},
                        {3, 1},
                        {2, 1},
                        Qt::ShiftModifier,
                        "xabyz",
                        {{2, 1}, {4, 1}},
                        "abcd"});
  EXPECT_FALSE(readOnly.Ed.GetModified());
}

}  // namespace
}  // namespace rid
