#pragma once
#include <cstdint>

#include "platform/Controls.h"

namespace rid {

// Small helpers that dialogs call when they are created or when a key is pressed.

// Every control owned by Owner whose cursor is OldCursor gets NewCursor.
void ReplaceCursor(TComponent* Owner, TCursor OldCursor, TCursor NewCursor);
// Sets the show-hint flag of every direct child control of Parent.
void SetChildShowHint(TWinControl* Parent, bool Value);
// Sets the text rectangle of a multi-line edit (EM_SETRECT) to its client rectangle inset by
// Left on the left and right and by Top at the top and bottom.
void SetEditMargins(TWinControl* Edit, int32_t Left, int32_t Top);
// Nothing to do: every edit takes the input method as it is.
void SelectMsImeForEdits(TWinControl* Form);
// A key handler for a column of numbered fields: Enter (13) or Down (40) step Index forward up
// to Max, Up (38) back down to Min; at either end the key is swallowed (Key := 0). Forward
// tells the direction of the last step key. Other keys are left alone.
void ArrowKeyStep(int32_t Min, int32_t Max, int32_t& Index, uint16_t& Key, bool& Forward);

}  // namespace rid
