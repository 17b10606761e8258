#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Keys.h"
#include "platform/Types.h"

namespace rid {

// Menu shortcuts: a virtual key in the low byte with the modifier bits scShift, scCtrl, scAlt.
TShortCut ShortCut(uint16_t Key, TShiftState Shift);
// Splits a shortcut into its key and the Shift, Ctrl and Alt members of the shift state.
void ShortCutToKey(TShortCut AShortCut, uint16_t& Key, TShiftState& Shift);
// "Shift+Ctrl+Alt+<key name>"; empty for 0 and for a key without a name.
std::string ShortCutToText(TShortCut AShortCut);
// The reverse of ShortCutToText, modifiers in any order and case; 0 when the text is not one.
TShortCut TextToShortCut(std::string_view Text);

}  // namespace rid
