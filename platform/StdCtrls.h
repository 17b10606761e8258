#pragma once
#include <string>

#include "platform/Controls.h"

namespace rid {

// A multi-line edit as the dialogs use it: the text (code page 932, lines joined by CR LF)
// drawn line by line inside the formatting rectangle. Typed characters go to the end of the
// text: Enter starts a line, Backspace removes the last character (both bytes of a
// double-byte one). EM_SETRECT sets the formatting rectangle and EM_GETRECT reads it; a
// change of size sets it back to the client area, as the system's edit control does.
class TMemo : public TCustomControl {
 public:
  RID_CLASS_NAME(TMemo)
  explicit TMemo(TComponent* AOwner);
  ~TMemo() override;

  const std::string& GetText() const { return FText; }
  void SetText(const std::string& Value);

  void Dispatch(TMessage& Message) override;
  void KeyPress(char& Key) override;
  void Resize() override;

 protected:
  void Paint() override;

 private:
  TRect FormatRect();

  std::string FText;
  bool FHasFormatRect = false;  // false: the client area
  TRect FFormatRect;
};

}  // namespace rid
