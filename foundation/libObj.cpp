#include "foundation/libObj.h"

namespace rid {

namespace {
constexpr uint16_t kKeyReturn = 13, kKeyUp = 38, kKeyDown = 40;
}  // namespace

void ReplaceCursor(TComponent* Owner, TCursor OldCursor, TCursor NewCursor) {
  if (!Owner) return;
  for (int32_t i = 0; i < Owner->ComponentCount(); ++i)
    if (auto* control = dynamic_cast<TControl*>(Owner->Components(i));
        control && control->GetCursor() == OldCursor)
      control->SetCursor(NewCursor);
}

void SetChildShowHint(TWinControl* Parent, bool Value) {
  if (!Parent) return;
  for (int32_t i = 0; i < Parent->ControlCount(); ++i) Parent->Controls(i)->SetShowHint(Value);
}

void SetEditMargins(TWinControl* Edit, int32_t Left, int32_t Top) {
  if (!Edit) return;
  TRect r = Edit->GetClientRect();
  r.Left += Left;
  r.Right -= Left;
  r.Top += Top;
  r.Bottom -= Top;
  Edit->Perform(EM_SETRECT, 0, reinterpret_cast<intptr_t>(&r));
}

void SelectMsImeForEdits(TWinControl* Form) {}

void ArrowKeyStep(int32_t Min, int32_t Max, int32_t& Index, uint16_t& Key, bool& Forward) {
  if (Key == kKeyReturn || Key == kKeyDown) {
    Forward = true;
    if (Index < Max)
      ++Index;
    else
      Key = 0;
  } else if (Key == kKeyUp) {
    Forward = false;
    if (Index > Min)
      --Index;
    else
      Key = 0;
  }
}

}  // namespace rid
