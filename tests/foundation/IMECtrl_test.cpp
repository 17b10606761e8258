#include "foundation/IMECtrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "platform/Controls.h"
#include "platform/WidgetBridge.h"

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

}  // namespace
}  // namespace rid
