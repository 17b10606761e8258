#include "foundation/IMECtrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "platform/Controls.h"
#include "platform/WidgetBridge.h"
#include "tests/ScreenMemo.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

// A window that notes the characters it receives.
class TTypingTarget : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::string Typed;
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_CHAR) Typed += static_cast<char>(Message.WParam);
    TWinControl::WndProc(Message);
  }
};

struct TImeState {
  bool Enabled, Open;
  uint32_t Conversion;
};

TImeState StateOf(HWND Window) {
  HIMC imc = ImmGetContext(Window);
  EXPECT_NE(imc, nullptr);
  uint32_t conversion = 0, sentence = 0;
  ImmGetConversionStatus(imc, &conversion, &sentence);
  TImeState state{WINNLSGetEnableStatus(Window), ImmGetOpenStatus(imc), conversion};
  ImmReleaseContext(Window, imc);
  return state;
}

void Prepare(HWND Window, bool Open, uint32_t Conversion) {
  WINNLSEnableIME(Window, true);
  HIMC imc = ImmGetContext(Window);
  ImmSetOpenStatus(imc, Open);
  ImmSetConversionStatus(imc, Conversion, 0);
  ImmReleaseContext(Window, imc);
}

TEST(SetImeMode, SetsOpenStatusAndConversionByMode) {
  TWinControl control(nullptr);
  HWND wnd = control.GetHandle();
  // Each mode from a half-width katakana, closed start: the mode's bits replace
  // native, katakana and full shape whatever they were; other bits stay.
  const uint32_t other = 0x0010;
  const struct {
    int32_t Mode;
    bool Open;
    uint32_t Conversion;
  } cases[] = {{imClose, false, other | 3}, {imOpen, true, other | 3}, {imSAlpha, true, other},
               {imAlpha, true, other | 8},  {imHira, true, other | 9}, {imSKata, true, other | 3},
               {imKata, true, other | 11}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Mode);
    Prepare(wnd, c.Mode == imClose, other | IME_CMODE_NATIVE | IME_CMODE_KATAKANA);
    SetImeMode(wnd, c.Mode);
    TImeState s = StateOf(wnd);
    EXPECT_TRUE(s.Enabled);
    EXPECT_EQ(s.Open, c.Open);
    EXPECT_EQ(s.Conversion, c.Conversion);
  }
  Prepare(wnd, false, 3);
  SetImeMode(wnd, imDontCare);
  SetImeMode(wnd, 9);
  SetImeMode(wnd, -1);
  TImeState s = StateOf(wnd);
  EXPECT_FALSE(s.Open);
  EXPECT_EQ(s.Conversion, 3u);
  SetImeMode(nullptr, imHira);  // no window: nothing
}

TEST(SetImeMode, DisableStopsCompositionButNotPlainTyping) {
  TTypingTarget control(nullptr);
  control.SetBounds(0, 0, 200, 100);
  HWND wnd = control.GetHandle();
  SetImeMode(wnd, imDisable);
  EXPECT_FALSE(WINNLSGetEnableStatus(wnd));
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
  for (QWidget* w : QApplication::allWidgets())
    if (auto* bridge = qobject_cast<TWidgetBridge*>(w); bridge && bridge->Control() == &control) {
      QApplication::sendEvent(bridge->Client(), &press);
      QApplication::sendEvent(bridge->Client(), &release);
    }
  EXPECT_EQ(control.Typed, "a");
  SetImeMode(wnd, imOpen);
  EXPECT_TRUE(WINNLSGetEnableStatus(wnd));
}

// --- through a real input method: fcitx5 with mozc, in a session of its own

using test::kInputMethodStateWaitMs;
using test::kInputMethodWaitMs;
using test::TScreenMemo;

// Types "nihongo", space and Return and gives the bytes the memo got.
std::string TypeNihongo(test::TXSession& X, TMemo& Memo, const std::string& Expected) {
  Memo.SetText("");
  X.TypeText("nihongo");
  X.PressKeys("space Return");
  test::WaitUntil([&] { return Memo.GetText() == Expected; }, kInputMethodWaitMs);
  return Memo.GetText();
}

const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語
const std::string kTypedPlain = "nihongo \r\n";

TEST(SetImeMode, TheInputMethodOpensAndClosesByTheModeTable) {
  if (!test::EnterInputMethodSession()) return;
  TScreenMemo memo(10);
  ASSERT_TRUE(memo.Focus()) << "fcitx5 never saw the window's input context";
  // What the controller reports after each mode, from both starting states.
  const struct {
    int32_t Mode;
    bool Open;
  } table[] = {{imOpen, true},  {imClose, false},   {imHira, true},   {imClose, false},
               {imKata, true},  {imSAlpha, true},   {imClose, false}, {imAlpha, true},
               {imSKata, true}, {imDontCare, true}, {imClose, false}, {imDontCare, false}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.Mode);
    SetImeMode(memo.Window(), row.Mode);
    EXPECT_TRUE(
        test::WaitUntil([&] { return SystemImeOpen() == row.Open; }, kInputMethodStateWaitMs))
        << "fcitx5 reports " << (SystemImeOpen() == true ? "open" : "closed");
    HIMC imc = ImmGetContext(memo.Window());
    EXPECT_EQ(ImmGetOpenStatus(imc), row.Open);
    ImmReleaseContext(memo.Window(), imc);
  }
}

TEST(SetImeMode, KeysTypeJapaneseThroughTheOpenInputMethodOnly) {
  if (!test::EnterInputMethodSession()) return;
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  TScreenMemo memo(10);
  ASSERT_TRUE(memo.Focus()) << "fcitx5 never saw the window's input context";
  SetImeMode(memo.Window(), imHira);
  EXPECT_EQ(TypeNihongo(x, memo.Memo(), kNihongo), kNihongo);
  SetImeMode(memo.Window(), imClose);
  EXPECT_EQ(TypeNihongo(x, memo.Memo(), kTypedPlain), kTypedPlain);
  // Disabled, the window takes the keys as they come even though mozc is on; enabled again,
  // mozc converts again.
  SetImeMode(memo.Window(), imOpen);
  SetImeMode(memo.Window(), imDisable);
  EXPECT_EQ(TypeNihongo(x, memo.Memo(), kTypedPlain), kTypedPlain);
  SetImeMode(memo.Window(), imOpen);
  EXPECT_EQ(TypeNihongo(x, memo.Memo(), kNihongo), kNihongo);

  // A window without the focus keeps its status for its next focus, and fcitx5 keeps each
  // window's. At a window's first focus fcitx5 has no context for it yet: the status waits for
  // the second, rather than reach the window focused before.
  TScreenMemo fresh(350);
  SetImeMode(fresh.Window(), imOpen);
  SetImeMode(memo.Window(), imClose);
  ASSERT_TRUE(fresh.Focus());
  EXPECT_EQ(TypeNihongo(x, fresh.Memo(), kTypedPlain), kTypedPlain);
  ASSERT_TRUE(memo.Focus());
  EXPECT_EQ(TypeNihongo(x, memo.Memo(), kTypedPlain), kTypedPlain);
  ASSERT_TRUE(fresh.Focus());
  EXPECT_EQ(TypeNihongo(x, fresh.Memo(), kNihongo), kNihongo);
  ASSERT_TRUE(memo.Focus());
  EXPECT_EQ(TypeNihongo(x, memo.Memo(), kTypedPlain), kTypedPlain);
}

}  // namespace
}  // namespace rid
