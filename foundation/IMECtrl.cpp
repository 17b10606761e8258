#include "foundation/IMECtrl.h"

namespace rid {

namespace {

// The conversion bits that the modes from imSAlpha on set, after clearing these three.
constexpr uint32_t kModeBits = IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE;
constexpr uint32_t kConversionOf[] = {
    0,                                                            // imSAlpha
    IME_CMODE_FULLSHAPE,                                          // imAlpha
    IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE,                       // imHira
    IME_CMODE_NATIVE | IME_CMODE_KATAKANA,                        // imSKata
    IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE,  // imKata
};

}  // namespace

void SetImeMode(HWND Window, int32_t Mode) {
  if (!Window || Mode == imDontCare || Mode < imDisable || Mode > imKata) return;
  if (Mode == imDisable) {
    WINNLSEnableIME(Window, false);
    return;
  }
  WINNLSEnableIME(Window, true);
  HIMC imc = ImmGetContext(Window);
  if (!imc) return;
  uint32_t conversion = 0, sentence = 0;
  ImmGetConversionStatus(imc, &conversion, &sentence);
  if (Mode == imClose) {
    ImmSetOpenStatus(imc, false);
  } else if (Mode == imOpen) {
    ImmSetOpenStatus(imc, true);
  } else {
    ImmSetOpenStatus(imc, true);
    ImmGetConversionStatus(imc, &conversion, &sentence);
    conversion = (conversion & ~kModeBits) | kConversionOf[Mode - imSAlpha];
  }
  ImmSetConversionStatus(imc, conversion, sentence);
  ImmReleaseContext(Window, imc);
}

}  // namespace rid
