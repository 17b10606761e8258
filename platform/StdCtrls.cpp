#include "platform/StdCtrls.h"

#include "platform/Locale.h"

namespace rid {

namespace {

// Where the last character of Text starts, walking from the start of its last line so a
// trail byte is never taken for a character.
size_t LastCharacterStart(const std::string& Text) {
  const size_t lineStart = Text.rfind('\n') == std::string::npos ? 0 : Text.rfind('\n') + 1;
  size_t last = lineStart;
  for (size_t i = lineStart; i < Text.size(); i += (IsDBCSLeadByte(Text[i]) ? 2 : 1)) last = i;
  return last;
}

}  // namespace

TMemo::TMemo(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBorderStyle(bsSingle);
  SetColor(clWindow);
}

TMemo::~TMemo() { DestroyHandle(); }

void TMemo::SetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  Invalidate();
}

TRect TMemo::FormatRect() { return FHasFormatRect ? FFormatRect : GetClientRect(); }

void TMemo::Dispatch(TMessage& Message) {
  if (Message.Msg == EM_SETRECT) {
    const auto* r = reinterpret_cast<const TRect*>(Message.LParam);
    FHasFormatRect = r != nullptr;
    if (r) FFormatRect = *r;
    Invalidate();
    return;
  }
  if (Message.Msg == EM_GETRECT) {
    if (auto* r = reinterpret_cast<TRect*>(Message.LParam)) *r = FormatRect();
    return;
  }
  TCustomControl::Dispatch(Message);
}

void TMemo::KeyPress(char& Key) {
  TCustomControl::KeyPress(Key);
  if (Key == '\r') {
    FText += "\r\n";
  } else if (Key == '\b') {
    // A line break goes whole, CR and LF together.
    if (FText.ends_with("\r\n"))
      FText.resize(FText.size() - 2);
    else if (!FText.empty())
      FText.resize(LastCharacterStart(FText));
  } else if ((static_cast<uint8_t>(Key) >= 0x20 && Key != 0x7F) || Key == '\t') {
    FText += Key;
  } else {
    return;
  }
  Invalidate();
}

void TMemo::Resize() {
  FHasFormatRect = false;
  TCustomControl::Resize();
}

void TMemo::Paint() {
  TCanvas& c = Canvas();
  c.Brush().SetColor(GetColor());
  c.FillRect(c.GetClipRect());
  c.SetFont(Font());
  c.Font().SetColor(clWindowText);
  c.Brush().SetStyle(bsClear);
  const TRect area = FormatRect();
  const int32_t lineHeight = c.TextHeight("Ag");
  int32_t y = area.Top;
  for (size_t start = 0; start <= FText.size() && y < area.Bottom; y += lineHeight) {
    size_t end = FText.find("\r\n", start);
    if (end == std::string::npos) end = FText.size();
    c.TextRect(area, area.Left, y, std::string_view(FText).substr(start, end - start));
    start = end + 2;
  }
}

}  // namespace rid
