#pragma once
#include "platform/Imm.h"
#include "platform/StdCtrls.h"
#include "platform/SystemIme.h"
#include "tests/TestSupport.h"

namespace rid::test {

// How long the input-method tests wait (safety nets, see kWaitSeconds): for mozc to convert
// what was typed, and for fcitx5 to report a status asked for.
constexpr int kInputMethodWaitMs = kWaitSeconds * 1000;
constexpr int kInputMethodStateWaitMs = kWaitSeconds * 1000;

// Gives the control the keyboard focus; true once Qt has told fcitx5 so and fcitx5 has an input
// context focused (in a session whose only client is this process: the control's).
inline bool FocusForInputMethod(TWinControl& Control) {
  Control.ClientWidget()->activateWindow();
  Control.SetFocus();
  return WaitUntil(
      [&] { return Control.InputContext()->InputMethodFocus && SystemImeOpen().has_value(); },
      kInputMethodWaitMs);
}

// A memo as a window of its own on an input-method session's screen (EnterInputMethodSession):
// it shows what the input method and the keyboard deliver as WM_CHAR bytes.
class TScreenMemo {
 public:
  explicit TScreenMemo(int32_t Left) {
    FMemo.SetBounds(Left, 10, 300, 120);
    FMemo.Show();
  }
  TMemo& Memo() { return FMemo; }
  HWND Window() { return &FMemo; }
  bool Focus() { return FocusForInputMethod(FMemo); }

 private:
  TMemo FMemo{nullptr};
};

}  // namespace rid::test
