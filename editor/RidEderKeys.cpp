// Keys, input-method results, the wheel and the focus: each reaches the text as a command
// through CommandProcessor. An input-method result is one ecImeStr; the characters the system
// sends again for it afterwards are dropped by count.
#include <algorithm>
#include <cstdlib>

#include "editor/RidEder.h"
#include "platform/Imm.h"

namespace rid {

namespace {

// The shift keys a binding can name (the mouse buttons held are not part of a key).
TShiftState KeyShift(TShiftState Shift) {
  TShiftState s;
  for (TShiftStateItem v : {ssShift, ssAlt, ssCtrl})
    if (Shift.Contains(v)) s.Include(v);
  return s;
}

// Keys that may start a two-key shortcut: the ones of the main keyboard, not the modifiers.
constexpr uint16_t FirstChordKey = 0x1E, LastChordKey = 0x91;

}  // namespace

void TCustomRidEder::WndProc(TMessage& Message) {
  // Alt+Backspace runs its binding from the key-down; its character must not beep.
  if (Message.Msg == WM_SYSCHAR && Message.WParam == VK_BACK && (Message.LParam & KF_ALTDOWN_BIT)) {
    Message.Msg = 0;
    return;
  }
  // A lead byte waiting for its trail byte stays where it was typed: a press, which may move the
  // caret, select or take the focus, puts it in first.
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      PutPendingLeadByte();
      break;
  }
  TCustomControl::WndProc(Message);
}

bool TCustomRidEder::InputMessage(TMessage& Message) {
  switch (Message.Msg) {
    case WM_IME_COMPOSITION:
      WMImeComposition(Message);
      return true;
    case WM_IME_NOTIFY:
      WMImeNotify(Message);
      return true;
    case WM_KILLFOCUS:
      WMKillFocus(Message);
      return true;
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FWantTabs ? DLGC_WANTTAB : 0) |
                       (FWantReturns ? DLGC_WANTALLKEYS : 0);
      return true;
    case CM_WANTSPECIALKEY:
      Message.Result =
          IsBoundKey(static_cast<uint16_t>(Message.WParam), KeyboardStateToShiftState());
      return true;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return true;
    case WM_CANCELMODE:
      return true;
    case WM_MOUSEWHEEL:
      if (ComponentState().Contains(csDesigning)) return false;
      WMMouseWheel(Message);
      return true;
    default:
      return false;
  }
}

// --- keys

bool TCustomRidEder::IsBoundKey(uint16_t Code, TShiftState Shift) const {
  Shift = KeyShift(Shift);
  if (FLastKey != 0 && FKeystrokes->IndexOfKeys(FLastKey, FLastShift, Code, Shift) >= 0)
    return true;
  for (int32_t i = 0; i < FKeystrokes->GetCount(); ++i) {
    const TRidEderKeyStroke& k = *FKeystrokes->GetItem(i);
    if (k.GetKey() == Code && k.GetShift() == Shift) return true;  // alone or first of two
  }
  return false;
}

TRidEderorCommand TCustomRidEder::TranslateKeyCode(uint16_t Code, TShiftState Shift, void*&) {
  Shift = KeyShift(Shift);
  TRidEderorCommand command = ecNone;
  int32_t i = FKeystrokes->IndexOfKeys(FLastKey, FLastShift, Code, Shift);
  if (i < 0) i = FKeystrokes->IndexOfKey(Code, Shift);
  if (i >= 0) command = FKeystrokes->GetItem(i)->GetCommand();
  if (command == ecNone && Code >= FirstChordKey && Code <= LastChordKey) {
    FLastKey = Code;
    FLastShift = Shift;
  } else {
    FLastKey = 0;
    FLastShift = {};
  }
  return command;
}

void TCustomRidEder::KeyDown(uint16_t& Key, TShiftState Shift) {
  const std::weak_ptr<const char> alive = AliveToken();
  TCustomControl::KeyDown(Key, Shift);
  if (alive.expired()) return;
  FKbdHandler->ExecuteKeyDown(this, Key, Shift);
  if (alive.expired()) return;
  void* data = nullptr;
  const TRidEderorCommand command = TranslateKeyCode(Key, Shift, data);
  if (command == ecNone) {
    FStateFlags &= ~sfIgnoreNextChar;
    return;
  }
  Key = 0;
  FStateFlags |= sfIgnoreNextChar;
  CommandProcessor(command, '\0', data);
}

void TCustomRidEder::KeyPress(char& Key) {
  if (FImeCount > 0) {
    --FImeCount;  // the input-method result coming back byte by byte
    return;
  }
  if (FStateFlags & sfIgnoreNextChar) {
    FStateFlags &= ~sfIgnoreNextChar;  // the key-down ran a command already
    return;
  }
  const std::weak_ptr<const char> alive = AliveToken();
  TCustomControl::KeyPress(Key);
  if (alive.expired()) return;
  FKbdHandler->ExecuteKeyPress(this, Key);
  if (alive.expired()) return;
  CommandProcessor(ecChar, Key, nullptr);
}

// --- input method

void TCustomRidEder::WMImeComposition(TMessage& Msg) {
  const std::weak_ptr<const char> alive = AliveToken();
  if ((Msg.LParam & GCS_RESULTSTR) && HandleAllocated()) {
    HIMC imc = ImmGetContext(GetHandle());
    if (imc) {
      const int32_t n = ImmGetCompositionStringA(imc, GCS_RESULTSTR, nullptr, 0);
      // An error (negative) or an empty result is no result: nothing to insert or drop.
      FImeCount = std::max(n, 0);
      if (n > 0) {
        std::string result(static_cast<size_t>(n), '\0');
        const int32_t got =
            ImmGetCompositionStringA(imc, GCS_RESULTSTR, result.data(), static_cast<uint32_t>(n));
        result.resize(static_cast<size_t>(std::clamp(got, 0, n)));
        try {
          CommandProcessor(ecImeStr, '\0', result.data());
        } catch (...) {
          if (!alive.expired()) {
            FImeCount = 0;  // no echo follows a failure: the next keys are the user's
            ImmReleaseContext(GetHandle(), imc);
          }
          throw;
        }
      }
      if (alive.expired()) return;
      ImmReleaseContext(GetHandle(), imc);
    }
  }
  DefaultHandler(Msg);
}

void TCustomRidEder::WMImeNotify(TMessage& Msg) {
  if (Msg.WParam == IMN_SETOPENSTATUS && HandleAllocated()) {
    if (HIMC imc = ImmGetContext(GetHandle())) {
      const TLogFont font = Font().GetLogFont();
      ImmSetCompositionFontA(imc, &font);
      ImmReleaseContext(GetHandle(), imc);
    }
  }
  DefaultHandler(Msg);
}

// --- focus

void TCustomRidEder::SetFocus() {
  if (FFocusList.empty())
    TCustomControl::SetFocus();
  else
    FFocusList.back()->SetFocus();
}

void TCustomRidEder::RemoveFocusControl(TWinControl* AControl) {
  auto it = std::find(FFocusList.begin(), FFocusList.end(), AControl);
  if (it != FFocusList.end()) FFocusList.erase(it);
}

void TCustomRidEder::DoEnter() {
  const std::weak_ptr<const char> alive = AliveToken();
  TCustomControl::DoEnter();
  if (alive.expired()) return;
  CommandProcessor(ecGotFocus, '\0', nullptr);
  if (alive.expired()) return;
  InitializeCaret();
  if (FHideSelection && SelAvail()) InvalidateSelection();
}

void TCustomRidEder::WMKillFocus(TMessage& Msg) {
  const std::weak_ptr<const char> alive = AliveToken();
  DoExit();
  if (alive.expired()) return;
  CommandProcessor(ecLostFocus, '\0', nullptr);
  if (alive.expired()) return;
  // The focus may stay with the editor: a window of its focus list (the completion list).
  const auto* next = reinterpret_cast<TWinControl*>(Msg.WParam);
  const bool stays = next == this || (next && std::find(FFocusList.begin(), FFocusList.end(),
                                                        next) != FFocusList.end());
  if (stays || FAlwaysShowCaret) return;
  HideCaret();
  if (HandleAllocated()) DestroyCaret();
  if (FHideSelection && SelAvail()) InvalidateSelection();
}

// --- wheel

void TCustomRidEder::WMMouseWheel(TMessage& Msg) {
  Msg.Result = 1;
  DefaultHandler(Msg);
  int32_t rows = 3;
  if (Msg.WParam & MK_CONTROL) {
    rows = FOptions.Contains(eoHalfPageScroll) ? FLinesInWindow >> 1 : FLinesInWindow;
  } else {
    uint32_t lines = 3;
    SystemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    rows = lines > static_cast<uint32_t>(FLinesInWindow) ? FLinesInWindow
                                                         : static_cast<int32_t>(lines);
  }
  // Small deltas add up; each whole notch scrolls.
  FMouseWheelAccumulator += GET_WHEEL_DELTA_WPARAM(Msg.WParam);
  const int32_t notches = FMouseWheelAccumulator / WHEEL_DELTA;
  FMouseWheelAccumulator %= WHEEL_DELTA;
  if (notches != 0) SetTopLine(FTopLine - notches * rows);
  Update();
  if (OnScroll) OnScroll(this, sbVertical);
}

}  // namespace rid
