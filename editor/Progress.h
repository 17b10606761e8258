#pragma once
#include "platform/Forms.h"

namespace rid {

// The small progress window a replace-all shows: no frame, always on top, a client area of
// 150 x 17 filled by the bar.
class TfrmProgress : public TCustomForm {
 public:
  RID_CLASS_NAME(TfrmProgress)
  explicit TfrmProgress(TComponent* AOwner);
  // OnShow: the bar starts at its beginning each time.
  void FormShow(TObject* Sender);
  // Places the window next to the caret of Control (of Control's window when the caret is
  // elsewhere) inside Control's top-level window and the screen, then lets the screen catch up
  // without taking the user's input. A null Control places it inside the screen.
  void PlaceNearCaret(TWinControl* Control);

  TProgressBar* PGB;  // owned by the form
};

// The one progress window, made on first use and kept.
extern TfrmProgress* frmProgress;

}  // namespace rid
