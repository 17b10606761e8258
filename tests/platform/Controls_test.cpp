#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>
#include <functional>

#include "platform/Forms.h"
#include "platform/Imm.h"
#include "platform/Locale.h"
#include "platform/WidgetBridge.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

// A control that records the messages and calls reaching it and paints rows whose colour
// depends on the row's document position (so scrolled pixels can be checked).
class TTestControl : public TCustomControl {
 public:
  explicit TTestControl(TComponent* AOwner = nullptr) : TCustomControl(AOwner) {
    SetBounds(10, 10, 200, 120);
  }
  ~TTestControl() override { DestroyHandle(); }

  void WndProc(TMessage& M) override {
    Log.push_back(M);
    TCustomControl::WndProc(M);
  }
  void Dispatch(TMessage& M) override {
    if (M.Msg == WM_GETDLGCODE) {
      M.Result = DLGC_WANTTAB | DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    }
    if (M.Msg == WM_DROPFILES) {
      HDROP drop = reinterpret_cast<HDROP>(M.WParam);
      for (uint32_t i = 0; i < DragQueryFileCount(drop); ++i)
        Dropped.push_back(DragQueryFile(drop, i));
      Rejected = drop->Rejected;
      DragQueryPoint(drop, DropPoint);
      return;
    }
    if (M.Msg == WM_IME_COMPOSITION && (M.LParam & GCS_RESULTSTR)) {
      HIMC imc = ImmGetContext(this);
      const int32_t n = ImmGetCompositionStringA(imc, GCS_RESULTSTR, nullptr, 0);
      std::string s(static_cast<size_t>(std::max(0, n)), '\0');
      ImmGetCompositionStringA(imc, GCS_RESULTSTR, s.data(), static_cast<uint32_t>(s.size()));
      ImmReleaseContext(this, imc);
      ImeResults.push_back(s);
      DefaultHandler(M);  // the system's default: the bytes come again as WM_CHAR
      return;
    }
    TCustomControl::Dispatch(M);
  }
  void KeyDown(uint16_t& Key, TShiftState Shift) override {
    Keys.push_back({Key, Shift});
    TCustomControl::KeyDown(Key, Shift);
  }
  void KeyPress(char& Key) override {
    Chars.push_back(Key);
    TCustomControl::KeyPress(Key);
  }
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override {
    Calls.push_back("down" + std::string(Shift.Contains(ssDouble) ? "+double" : "") + " " +
                    std::to_string(X) + "," + std::to_string(Y));
  }
  void DblClick() override { Calls.push_back("dblclick"); }
  void DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) override {
    Calls.push_back("over " + std::to_string(State));
    Accept = Source != this;
  }
  void DragDrop(TObject* Source, int32_t X, int32_t Y) override {
    Calls.push_back("drop " + std::to_string(X) + "," + std::to_string(Y));
  }
  void DoEndDrag(TObject* Target, int32_t X, int32_t Y) override {
    Calls.push_back(Target ? "end on target" : "end nowhere");
  }
  void Paint() override {
    TCanvas& c = Canvas();
    Clips.push_back(c.GetClipRect());
    if (Painter) {
      Painter(c);
      return;
    }
    const TRect clip = c.GetClipRect();
    for (int32_t y = clip.Top; y < clip.Bottom; ++y) {
      c.Brush().SetColor(RowColor(y + TopRow));
      c.FillRect(Rect(clip.Left, y, clip.Right, y + 1));
    }
  }
  static TColor RowColor(int32_t DocRow) { return RGB(uint8_t(DocRow * 7), uint8_t(DocRow), 90); }

  int Count(uint32_t Msg) const {
    int n = 0;
    for (const auto& m : Log) n += m.Msg == Msg;
    return n;
  }
  std::vector<TMessage> Only(std::initializer_list<uint32_t> Msgs) const {
    std::vector<TMessage> out;
    for (const auto& m : Log)
      for (uint32_t x : Msgs)
        if (m.Msg == x) out.push_back(m);
    return out;
  }

  std::vector<TMessage> Log;
  std::vector<std::pair<uint16_t, TShiftState>> Keys;
  std::string Chars;
  std::vector<std::string> ImeResults;
  std::vector<std::string> Calls;
  std::vector<TRect> Clips;
  int32_t TopRow = 0;
  std::vector<std::string> Dropped, Rejected;
  TPoint DropPoint;
  std::function<void(TCanvas&)> Painter;
};

void Send(QWidget* W, QEvent* E) { QCoreApplication::sendEvent(W, E); }

void Key(TWinControl& C, int K, Qt::KeyboardModifiers M = Qt::NoModifier, const QString& T = {}) {
  QKeyEvent press(QEvent::KeyPress, K, M, T);
  Send(C.ClientWidget(), &press);
}

void KeyUp(TWinControl& C, int K, Qt::KeyboardModifiers M = Qt::NoModifier) {
  QKeyEvent release(QEvent::KeyRelease, K, M);
  Send(C.ClientWidget(), &release);
}

void Mouse(TWinControl& C, QEvent::Type T, QPoint P, Qt::MouseButton B, Qt::MouseButtons Bs,
           Qt::KeyboardModifiers M = Qt::NoModifier) {
  const QPointF global = C.ClientWidget()->mapToGlobal(QPointF(P));
  QMouseEvent e(T, QPointF(P), global, B, Bs, M);
  Send(C.ClientWidget(), &e);
}

void Commit(TWinControl& C, const QString& Text) {
  QInputMethodEvent e;
  e.setCommitString(Text);
  Send(C.ClientWidget(), &e);
}

bool WaitFor(const std::function<bool()>& Done, int Ms = test::kWaitSeconds * 1000) {
  QElapsedTimer t;
  t.start();
  while (!Done() && t.elapsed() < Ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return Done();
}

QImage Grab(TWinControl& C) { return C.ClientWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

TEST(Controls, TypedKeysArriveAsKeyDownThenCharacterBytes) {
  TTestControl c;
  c.Show();
  Key(c, Qt::Key_A, Qt::NoModifier, "a");
  Key(c, Qt::Key_Shift, Qt::ShiftModifier);
  Key(c, Qt::Key_A, Qt::ShiftModifier, "A");
  Key(c, Qt::Key_Return, Qt::NoModifier, "\r");
  Key(c, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
  Key(c, Qt::Key_Backspace, Qt::NoModifier, "\b");
  Key(c, Qt::Key_Tab, Qt::NoModifier, "\t");  // the control asks for tabs
  Key(c, Qt::Key_Left);
  Key(c, Qt::Key_Control, Qt::ControlModifier);
  Key(c, Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
  Key(c, Qt::Key_F1);
  Key(c, Qt::Key_BracketLeft, Qt::NoModifier, "[");

  const std::vector<std::pair<uint16_t, TShiftState>> keys = {
      {'A', {}},          {VK_SHIFT, {ssShift}}, {'A', {ssShift}}, {VK_RETURN, {}},
      {VK_ESCAPE, {}},    {VK_BACK, {}},         {VK_TAB, {}},     {VK_LEFT, {}},
      {VK_CONTROL, {ssCtrl}}, {'C', {ssCtrl}},   {VK_F1, {}},      {VK_OEM_4, {}}};
  EXPECT_EQ(c.Keys, keys);
  EXPECT_EQ(c.Chars, std::string("aA\r\x1b\b\t\x03["));
  // Each character follows its own key-down.
  const auto seq = c.Only({WM_KEYDOWN, WM_CHAR});
  ASSERT_GE(seq.size(), 2u);
  EXPECT_EQ(seq[0].Msg, WM_KEYDOWN);
  EXPECT_EQ(seq[1].Msg, WM_CHAR);
  EXPECT_EQ(seq[1].WParam, uintptr_t('a'));

  // Ctrl+letter types its control character even when the system gives no text for it, and
  // other Ctrl combinations type nothing.
  c.Chars.clear();
  Key(c, Qt::Key_Z, Qt::ControlModifier);
  Key(c, Qt::Key_BracketRight, Qt::ControlModifier);
  Key(c, Qt::Key_1, Qt::ControlModifier, "1");
  EXPECT_EQ(c.Chars, std::string("\x1a\x1d"));

  KeyUp(c, Qt::Key_Control);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(c.Log.back().Msg, WM_KEYUP);
  EXPECT_EQ(c.Log.back().WParam, uintptr_t(VK_CONTROL));
  EXPECT_NE(c.Log.back().LParam & KF_UP_BIT, 0);
}

TEST(Controls, AltKeysAreSystemKeysAndModifierStateIsTracked) {
  TTestControl c;
  c.Show();
  Key(c, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);
  KeyUp(c, Qt::Key_Control);
  EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
  c.Log.clear();
  Key(c, Qt::Key_X, Qt::AltModifier, "x");
  Key(c, Qt::Key_Backspace, Qt::AltModifier, "\b");
  const auto seq = c.Only({WM_SYSKEYDOWN, WM_SYSCHAR, WM_KEYDOWN, WM_CHAR});
  ASSERT_EQ(seq.size(), 4u);
  EXPECT_EQ(seq[0].Msg, WM_SYSKEYDOWN);
  EXPECT_EQ(seq[0].WParam, uintptr_t('X'));
  EXPECT_NE(seq[0].LParam & KF_ALTDOWN_BIT, 0);
  EXPECT_EQ(seq[1].Msg, WM_SYSCHAR);
  EXPECT_EQ(seq[1].WParam, uintptr_t('x'));
  EXPECT_EQ(seq[3].Msg, WM_SYSCHAR);
  EXPECT_EQ(seq[3].WParam, uintptr_t(8));
  KeyUp(c, Qt::Key_Alt);
}

TEST(Controls, JapaneseTakesTheInputMethodRoadThenEchoesTheBytes) {
  TTestControl c;
  c.Show();
  const std::string nihon = Utf8ToSjis("日本");
  Commit(c, QString::fromUtf8("日本"));
  ASSERT_EQ(c.ImeResults, std::vector<std::string>{nihon});
  EXPECT_EQ(c.Chars, nihon);  // the default handling's echo, byte by byte
  const auto seq = c.Only({WM_IME_COMPOSITION, WM_CHAR});
  ASSERT_EQ(seq.size(), 5u);
  EXPECT_EQ(seq[0].Msg, WM_IME_COMPOSITION);
  EXPECT_EQ(seq[0].LParam & GCS_RESULTSTR, GCS_RESULTSTR);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(seq[i + 1].WParam, uint8_t(nihon[i]));
  // The result string is only there while its message is handled.
  EXPECT_EQ(ImmGetCompositionStringA(ImmGetContext(&c), GCS_RESULTSTR, nullptr, 0), 0);

  // A double-byte character typed without an input method goes the same way; ASCII does not.
  c.ImeResults.clear();
  c.Chars.clear();
  QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("ア"));
  Send(c.ClientWidget(), &typed);
  Commit(c, "ab");
  EXPECT_EQ(c.ImeResults, (std::vector<std::string>{Utf8ToSjis("ア"), "ab"}));
  EXPECT_EQ(c.Chars, Utf8ToSjis("ア") + "ab");
  // Half-width katakana is one byte and stays a plain character.
  c.ImeResults.clear();
  QKeyEvent kana(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("ｱ"));
  Send(c.ClientWidget(), &kana);
  EXPECT_TRUE(c.ImeResults.empty());
  EXPECT_EQ(c.Chars.back(), '\xB1');
}

// What the application's handler raises while typed or committed text reaches a control ends at
// its OnException, never in Qt (whose event loop would end the program), and the characters
// that have a Shift-JIS form still arrive.
TEST(Controls, WhatAnInputHandlerRaisesIsReportedAndNeverReachesQt) {
  TTestControl c;
  c.Show();
  std::vector<std::string> reported;
  Application()->OnException = [&](TObject*, const std::exception& e) {
    reported.push_back(e.what());
  };
  Application()->OnInputLost = [](TWinControl*, int32_t) { throw Exception("input lost"); };
  const struct {
    const char* What;
    std::function<void()> Input;
  } inputs[] = {
      {"a key", [&] { Key(c, 0, Qt::NoModifier, QString::fromUtf8("a\U0001F600")); }},
      {"a commit", [&] { Commit(c, QString::fromUtf8("a\U0001F600")); }},
  };
  for (const auto& i : inputs) {
    SCOPED_TRACE(i.What);
    reported.clear();
    c.Chars.clear();
    EXPECT_NO_THROW(i.Input());
    EXPECT_EQ(reported, std::vector<std::string>{"input lost"});
    EXPECT_EQ(c.Chars, "a");
  }
  Application()->OnInputLost = nullptr;
  Application()->OnException = nullptr;
}

TEST(Controls, PreeditIsDrawnAtTheCompositionPositionOverThePicture) {
  TTestControl c;
  c.Painter = [](TCanvas& cv) {
    cv.Brush().SetColor(clWhite);
    cv.FillRect(cv.GetClipRect());
  };
  c.Show();
  c.Update();
  TCompositionForm form;
  form.dwStyle = CFS_POINT;
  form.ptCurrentPos = Point(40, 30);
  ImmSetCompositionWindow(ImmGetContext(&c), &form);
  QList<QInputMethodEvent::Attribute> attrs;
  QInputMethodEvent e(QString::fromUtf8("にほん"), attrs);
  Send(c.ClientWidget(), &e);
  EXPECT_EQ(ImmGetContext(&c)->CompStr, Utf8ToSjis("にほん"));
  const QImage shown = Grab(c);
  int ink = 0;
  for (int x = 40; x < 100; ++x)
    for (int y = 30; y < 50; ++y) ink += (shown.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_GT(ink, 20);
  int inkElsewhere = 0;
  for (int x = 0; x < 38; ++x)
    for (int y = 0; y < 28; ++y) inkElsewhere += (shown.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_EQ(inkElsewhere, 0);
  const QImage picture = c.Picture();
  EXPECT_EQ(picture.pixel(45, 40) & 0xFFFFFF, 0xFFFFFFu);  // not in the painted picture
}

TEST(Controls, WheelStepsArriveInHundredTwentieths) {
  TTestControl c;
  c.Show();
  for (int delta : {120, -240, 40}) {
    QWheelEvent e(QPointF(5, 5), c.ClientWidget()->mapToGlobal(QPointF(5, 5)), QPoint(),
                  QPoint(0, delta), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    Send(c.ClientWidget(), &e);
  }
  const auto wheel = c.Only({WM_MOUSEWHEEL});
  ASSERT_EQ(wheel.size(), 3u);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[0].WParam), 120);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[1].WParam), -240);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[2].WParam), 40);
  EXPECT_EQ(LOWORD(wheel[0].WParam) & MK_CONTROL, MK_CONTROL);
}

TEST(Controls, MouseMessagesClicksCaptureAndCursor) {
  TTestControl c;
  c.SetCursor(crIBeam);
  c.Show();
  Mouse(c, QEvent::MouseMove, QPoint(7, 8), Qt::NoButton, Qt::NoButton);
  auto seq = c.Only({WM_SETCURSOR, WM_MOUSEMOVE});
  ASSERT_EQ(seq.size(), 2u);
  EXPECT_EQ(seq[0].Msg, WM_SETCURSOR);  // the cursor is chosen before the move arrives
  EXPECT_EQ(LOWORD(uintptr_t(seq[0].LParam)), HTCLIENT);
  EXPECT_EQ(c.ClientWidget()->cursor().shape(), Qt::IBeamCursor);
  EXPECT_EQ(GET_X_LPARAM(seq[1].LParam), 7);
  EXPECT_EQ(GET_Y_LPARAM(seq[1].LParam), 8);

  Mouse(c, QEvent::MouseButtonPress, QPoint(20, 30), Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(c.GetMouseCapture());
  EXPECT_LT(GetKeyState(VK_LBUTTON), 0);
  Mouse(c, QEvent::MouseButtonRelease, QPoint(20, 30), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(c.GetMouseCapture());
  EXPECT_EQ(c.Count(WM_CAPTURECHANGED), 1);
  Mouse(c, QEvent::MouseButtonDblClick, QPoint(21, 31), Qt::LeftButton, Qt::LeftButton);
  Mouse(c, QEvent::MouseButtonRelease, QPoint(21, 31), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(c.Calls, (std::vector<std::string>{"down 20,30", "dblclick", "down+double 21,31"}));
  const auto down = c.Only({WM_LBUTTONDOWN});
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].WParam & MK_LBUTTON, MK_LBUTTON);

  // Entering and leaving.
  int entered = 0, left = 0;
  c.OnMouseEnter = [&](TObject*) { ++entered; };
  c.OnMouseLeave = [&](TObject*) { ++left; };
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), c.ClientWidget()->mapToGlobal(QPointF(1, 1)));
  Send(c.ClientWidget(), &enter);
  QEvent leave(QEvent::Leave);
  Send(c.ClientWidget(), &leave);
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(c.Count(CM_MOUSEENTER), 1);

  // While captured, points outside the window arrive with negative coordinates.
  SetCapture(&c);
  Mouse(c, QEvent::MouseMove, QPoint(-5, -7), Qt::NoButton, Qt::LeftButton);
  const auto moves = c.Only({WM_MOUSEMOVE});
  EXPECT_EQ(GET_X_LPARAM(moves.back().LParam), -5);
  EXPECT_EQ(GET_Y_LPARAM(moves.back().LParam), -7);
  ReleaseCapture();

  // A popup menu reference is forgotten when the menu goes.
  {
    TComponent menu(nullptr);
    c.SetPopupMenu(&menu);
    EXPECT_EQ(c.GetPopupMenu(), &menu);
  }
  EXPECT_EQ(c.GetPopupMenu(), nullptr);

  // Capture moves between windows with a notice to the one that loses it.
  TTestControl other;
  other.Show();
  SetCapture(&c);
  c.Log.clear();
  SetCapture(&other);
  ASSERT_EQ(c.Count(WM_CAPTURECHANGED), 1);
  EXPECT_EQ(c.Log.back().LParam, reinterpret_cast<intptr_t>(&other));
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(Controls, InvalidationAndUpdatePaintWhatIsPending) {
  TTestControl c;
  c.Show();
  c.Update();
  ASSERT_EQ(c.Clips.size(), 1u);
  EXPECT_EQ(c.Clips[0], c.GetClientRect());
  c.Update();
  EXPECT_EQ(c.Clips.size(), 1u);  // nothing pending, nothing painted

  const TRect small = Rect(10, 10, 20, 20);
  c.InvalidateRect(&small, false);
  c.Clips.clear();
  c.Update();
  ASSERT_EQ(c.Clips.size(), 1u);
  EXPECT_EQ(c.Clips[0], Rect(10, 10, 20, 20));
  // Two pieces are painted once, clipped to their bounding box.
  const TRect a = Rect(0, 0, 5, 5), b = Rect(50, 40, 60, 45);
  c.InvalidateRect(&a);
  c.InvalidateRect(&b);
  c.Update();
  ASSERT_EQ(c.Clips.size(), 2u);
  EXPECT_EQ(c.Clips[1], Rect(0, 0, 60, 45));
  // Painting later, from the event loop.
  c.Invalidate();
  EXPECT_TRUE(WaitFor([&] { return c.Clips.size() == 3; }));
  // A paint that throws ends at the window boundary and leaves the region valid.
  c.Painter = [](TCanvas&) { throw Exception("paint failed"); };
  std::string reported;
  Application()->OnException = [&](TObject*, const std::exception& e) { reported = e.what(); };
  c.Invalidate();
  c.Update();
  Application()->OnException = nullptr;
  EXPECT_EQ(reported, "paint failed");
  c.Painter = nullptr;
  const size_t n = c.Clips.size();
  c.Update();
  EXPECT_EQ(c.Clips.size(), n);
}

TEST(Controls, ScrollWindowMovesPixelsAndRepaintsOnlyTheUncoveredStrip) {
  TTestControl c;
  c.Show();
  c.Update();
  const TRect client = c.GetClientRect();
  c.TopRow = 10;
  c.ScrollWindow(0, -10);
  c.Clips.clear();
  c.Update();
  ASSERT_EQ(c.Clips.size(), 1u);
  EXPECT_EQ(c.Clips[0], Rect(0, client.Bottom - 10, client.Right, client.Bottom));
  const QImage pic = c.Picture();
  for (int y = 0; y < client.Bottom; y += 7)
    EXPECT_EQ(pic.pixel(3, y) & 0xFFFFFF, ColorToQRgb(TTestControl::RowColor(y + 10)) & 0xFFFFFF)
        << "row " << y;
  // A pending region moves with the pixels.
  const TRect r = Rect(0, 50, 10, 60);
  c.InvalidateRect(&r);
  c.TopRow = 5;
  c.ScrollWindow(0, 5);
  c.Clips.clear();
  c.Update();
  ASSERT_EQ(c.Clips.size(), 1u);
  EXPECT_EQ(c.Clips[0], Rect(0, 0, client.Right, 65));
}

TEST(Controls, ScrollBarsKeepInfoShowHideAndSendTheirCodes) {
  TTestControl c;
  c.SetScrollBars(ssBoth);
  c.Show();
  const int32_t fullWidth = c.GetClientRect().Width();
  TScrollInfo si;
  si.fMask = SIF_ALL;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 95;
  EXPECT_EQ(c.SetScrollInfo(SB_VERT, si), 90);  // the last page starts at 90
  TScrollInfo got;
  got.fMask = SIF_ALL;
  ASSERT_TRUE(c.GetScrollInfo(SB_VERT, got));
  EXPECT_EQ(got.nMax, 99);
  EXPECT_EQ(got.nPage, 10u);
  EXPECT_EQ(got.nPos, 90);
  EXPECT_TRUE(c.ScrollBarVisible(SB_VERT));

  // A range that fits hides the bar (the client grows, with WM_SIZE), unless asked to disable.
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMax = 5;
  si.nPage = 10;
  c.Log.clear();
  c.SetScrollInfo(SB_HORZ, si);
  EXPECT_FALSE(c.ScrollBarVisible(SB_HORZ));
  EXPECT_EQ(c.Count(WM_SIZE), 1);
  si.fMask |= SIF_DISABLENOSCROLL;
  c.SetScrollInfo(SB_VERT, si);
  EXPECT_TRUE(c.ScrollBarVisible(SB_VERT));
  EXPECT_FALSE(c.Bridge()->ScrollBar(SB_VERT)->isEnabled());
  c.ShowScrollBar(SB_VERT, false);
  EXPECT_EQ(c.GetClientRect().Width(), fullWidth + GetSystemMetrics(SM_CXVSCROLL));

  // Arrows and the thumb send scroll messages; the bar shows what the control sets.
  c.ShowScrollBar(SB_VERT, true);
  si.fMask = SIF_ALL;
  si.nMax = 99;
  si.nPos = 20;
  c.SetScrollInfo(SB_VERT, si);
  c.Log.clear();
  QScrollBar* bar = c.Bridge()->ScrollBar(SB_VERT);
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  auto v = c.Only({WM_VSCROLL});
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(LOWORD(v[0].WParam), SB_LINEDOWN);
  EXPECT_EQ(LOWORD(v[1].WParam), SB_ENDSCROLL);
  EXPECT_EQ(bar->value(), 20);
  c.Log.clear();
  bar->setSliderDown(true);
  bar->setSliderPosition(70);
  got.fMask = SIF_TRACKPOS;
  c.GetScrollInfo(SB_VERT, got);
  EXPECT_EQ(got.nTrackPos, 70);
  bar->setSliderDown(false);
  v = c.Only({WM_VSCROLL});
  ASSERT_GE(v.size(), 3u);
  EXPECT_EQ(LOWORD(v[0].WParam), SB_THUMBTRACK);
  EXPECT_EQ(HIWORD(v[0].WParam), 70);
  EXPECT_EQ(LOWORD(v[v.size() - 2].WParam), SB_THUMBPOSITION);
  EXPECT_EQ(LOWORD(v.back().WParam), SB_ENDSCROLL);
  c.EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
  EXPECT_FALSE(bar->isEnabled());
}

TEST(Controls, CaretBlinksAsAnOverlayNeverInThePicture) {
  TTestControl c;
  c.Painter = [](TCanvas& cv) {
    cv.Brush().SetColor(clWhite);
    cv.FillRect(cv.GetClipRect());
  };
  c.Show();
  c.Update();
  SetCaretBlinkTime(15);
  ASSERT_TRUE(CreateCaret(&c, 2, 16));
  SetCaretPos(30, 20);
  EXPECT_FALSE(CaretShowing());  // made hidden
  ShowCaret(&c);
  EXPECT_TRUE(CaretShowing());
  EXPECT_EQ(Grab(c).pixel(30, 25) & 0xFFFFFF, 0u);  // white inverted
  EXPECT_TRUE(WaitFor([] { return !CaretShowing(); }));
  EXPECT_EQ(Grab(c).pixel(30, 25) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_TRUE(WaitFor([] { return CaretShowing(); }));
  c.Invalidate();
  c.Update();
  EXPECT_EQ(c.Picture().pixel(30, 25) & 0xFFFFFF, 0xFFFFFFu);
  // Hides nest.
  HideCaret(&c);
  HideCaret(&c);
  ShowCaret(&c);
  EXPECT_FALSE(CaretShowing());
  ShowCaret(&c);
  EXPECT_TRUE(WaitFor([] { return CaretShowing(); }));
  TPoint p;
  EXPECT_TRUE(GetCaretPos(p));
  EXPECT_EQ(p, Point(30, 20));
  EXPECT_TRUE(DestroyCaret());
  EXPECT_FALSE(CaretShowing());
  EXPECT_FALSE(ShowCaret(&c));
  SetCaretBlinkTime(530);
}

TEST(Controls, FocusMessagesNameTheOtherWindow) {
  TTestControl a, b;
  b.SetLeft(300);
  a.Show();
  b.Show();
  a.SetFocus();
  ASSERT_TRUE(WaitFor([&] { return a.Focused(); }));
  EXPECT_EQ(GetFocus(), &a);
  EXPECT_EQ(a.Count(WM_SETFOCUS), 1);
  b.SetFocus();
  ASSERT_TRUE(WaitFor([&] { return b.Focused(); }));
  const auto kill = a.Only({WM_KILLFOCUS});
  ASSERT_EQ(kill.size(), 1u);
  EXPECT_EQ(kill[0].WParam, reinterpret_cast<uintptr_t>(&b));
}

TEST(Controls, DragBetweenControlsAsksTheTargetAndEndsAtTheSource) {
  TTestControl source, target;
  target.SetLeft(400);
  source.Show();
  target.Show();
  source.BeginDrag(false);
  EXPECT_TRUE(source.Dragging());
  const QPoint inTarget = target.ClientWidget()->mapToGlobal(QPoint(15, 25));
  const QPoint local = source.ClientWidget()->mapFromGlobal(inTarget);
  Mouse(source, QEvent::MouseMove, local, Qt::NoButton, Qt::LeftButton);
  Mouse(source, QEvent::MouseMove, local + QPoint(1, 0), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(target.Calls, (std::vector<std::string>{"over 0", "over 2"}));
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::DragMoveCursor);
  Mouse(source, QEvent::MouseButtonRelease, local + QPoint(1, 0), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(target.Calls.back(), "drop 16,25");
  EXPECT_EQ(source.Calls.back(), "end on target");
  EXPECT_FALSE(source.Dragging());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(source.Count(WM_LBUTTONUP), 0);  // the drag took the release
}

TEST(Controls, DroppedFileNamesArriveInShiftJisWithoutCapsOrMangling) {
  TTestControl c;
  c.Show();
  DragAcceptFiles(&c, true);
  EXPECT_TRUE(c.ClientWidget()->acceptDrops());
  const std::string longName = "/tmp/" + std::string(400, 'x') + ".txt";
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(longName)),
                QUrl::fromLocalFile(QString::fromUtf8("/tmp/日本語.txt")),
                QUrl::fromLocalFile(QString::fromUtf8("/tmp/😀.txt"))});
  QDragEnterEvent enter(QPoint(12, 34), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
  Send(c.ClientWidget(), &enter);
  QDropEvent drop(QPointF(12, 34), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
  Send(c.ClientWidget(), &drop);
  ASSERT_EQ(c.Count(WM_DROPFILES), 1);
  EXPECT_EQ(c.Dropped, (std::vector<std::string>{longName, Utf8ToSjis("/tmp/日本語.txt")}));
  EXPECT_EQ(c.Rejected, std::vector<std::string>{"/tmp/😀.txt"});
  EXPECT_EQ(c.DropPoint, Point(12, 34));
}

TEST(Controls, SizeMessagesFollowTheBoundsAndTheBorder) {
  TTestControl c;
  c.SetBorderStyle(bsSingle);
  c.Show();
  EXPECT_EQ(c.GetClientRect(), Rect(0, 0, 196, 116));  // a 2-pixel client edge
  c.Log.clear();
  c.SetBounds(0, 0, 300, 200);
  const auto size = c.Only({WM_SIZE});
  ASSERT_EQ(size.size(), 1u);
  EXPECT_EQ(LOWORD(uintptr_t(size[0].LParam)), 296);
  EXPECT_EQ(HIWORD(uintptr_t(size[0].LParam)), 196);
  // The picture keeps its pixels and only the new part is painted.
  c.Clips.clear();
  c.Update();
  ASSERT_EQ(c.Clips.size(), 1u);
  EXPECT_EQ(c.Clips[0], Rect(0, 0, 296, 196));
  c.DestroyHandle();
  EXPECT_FALSE(c.HandleAllocated());
  EXPECT_EQ(ImmGetContext(&c), nullptr);
  c.HandleNeeded();
  EXPECT_TRUE(c.HandleAllocated());
}

TEST(Controls, ScreenshotOfJapaneseTextInFourStyles) {
  TTestControl c;
  c.SetBorderStyle(bsSingle);
  c.SetScrollBars(ssBoth);
  c.SetBounds(0, 0, 420, 150);
  c.Painter = [](TCanvas& cv) {
    cv.Brush().SetColor(clWhite);
    cv.FillRect(cv.GetClipRect());
    const std::string text = Utf8ToSjis("日本語テキスト abc ｱｲｳ");
    const TFontStyles styles[] = {{}, {fsBold}, {fsItalic}, {fsUnderline, fsStrikeOut}};
    std::vector<int32_t> dx(text.size(), 9);
    for (int i = 0; i < 4; ++i) {
      TFont f;
      f.SetName(Utf8ToSjis("ＭＳ ゴシック"));
      f.SetHeight(-18);
      f.SetCharset(SHIFTJIS_CHARSET);
      f.SetStyle(styles[i]);
      f.SetColor(i == 0 ? clBlack : i == 1 ? clNavy : i == 2 ? clMaroon : clGreen);
      cv.SetFont(f);
      cv.SetBkColor(clWhite);
      cv.ExtTextOut(8, 6 + i * 26, ETO_OPAQUE, nullptr, text, dx.data());
    }
  };
  c.Show();
  c.Update();
  ASSERT_TRUE(CreateCaret(&c, 2, 18));
  SetCaretPos(8 + 9 * 7, 6);
  ShowCaret(&c);
  const QImage shot = c.Bridge()->grab().toImage();
  DestroyCaret();
  const auto path = test::ArtifactDir() / "platform-control-japanese-styles.png";
  ASSERT_TRUE(shot.save(QString::fromStdString(path.string())));
  EXPECT_GT(std::filesystem::file_size(path), 1000u);
}

}  // namespace
}  // namespace rid
