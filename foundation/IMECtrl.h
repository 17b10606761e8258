#pragma once
#include <cstdint>

#include "platform/Imm.h"

namespace rid {

// Wanted input-method states of a window.
enum TImeMode : int32_t {
  imDisable = 0,
  imClose = 1,
  imOpen = 2,
  imDontCare = 3,
  imSAlpha = 4,  // half-width alphanumeric
  imAlpha = 5,   // full-width alphanumeric
  imHira = 6,    // hiragana
  imSKata = 7,   // half-width katakana
  imKata = 8,    // full-width katakana
};

// Puts the window's input method into Mode: imDisable turns it off for the window (plain typing
// still reaches the window, only composition stops); imDontCare leaves it alone; the others
// turn it on and close it, open it, or open it in a conversion mode. Without a window or an
// input context nothing happens.
void SetImeMode(HWND Window, int32_t Mode);

}  // namespace rid
