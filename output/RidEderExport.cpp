#include "output/RidEderExport.h"

#include <algorithm>
#include <limits>

#include "platform/Clipboard.h"
#include "platform/Locale.h"

namespace rid {

namespace {

constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();
constexpr const char* kUntitled = "Untitled";
constexpr int32_t kWhitespaceAttri = 4;  // GetDefaultAttribute index

void SetDefaultFont(TFont& Font) {
  Font.SetName("Courier New");
  Font.SetSize(10);
  Font.SetColor(clWindowText);
  Font.SetStyle({});
}

struct TTokenLook {
  TColor Background = clNone;
  TColor Foreground = clNone;
  TFontStyles Style;
};

TTokenLook LookOf(const TRidHighlighterAttributes* Attri) {
  if (!Attri) return {};
  return {Attri->GetBackground(), Attri->GetForeground(), Attri->GetStyle()};
}

}  // namespace

TColor ValidatedColor(TColor AColor, TColor Default) {
  return ColorToRGB(AColor == clNone ? Default : AColor);
}

TRidCustomExporter::TRidCustomExporter(TComponent* AOwner)
    : TComponent(AOwner), FClipboardFormat(CF_TEXT), FFont(std::make_unique<TFont>()) {
  SetDefaultFont(*FFont);
  for (int b = 0; b < 256; ++b) FSpecial[b] = IsDBCSLeadByte(static_cast<uint8_t>(b));
  TRidCustomExporter::Clear();
  FTitle = kUntitled;
}

TRidCustomExporter::~TRidCustomExporter() { SetHighlighter(nullptr); }

void TRidCustomExporter::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent == FHighlighter) FHighlighter = nullptr;
  TComponent::Notification(AComponent, Operation);
}

void TRidCustomExporter::Clear() {
  FBuffer.clear();
  FLastStyle = {};
  FLastBackground = clWindow;
  FLastForeground = clWindowText;
}

void TRidCustomExporter::SetExportAsText(bool Value) {
  if (FExportAsText == Value) return;
  FExportAsText = Value;
  Clear();
}

void TRidCustomExporter::SetFont(const TFont* Value) {
  if (Value)
    FFont->Assign(const_cast<TFont*>(Value));
  else
    SetDefaultFont(*FFont);
}

void TRidCustomExporter::SetHighlighter(TRidCustomHighlighter* Value) {
  if (FHighlighter == Value) return;
  if (FHighlighter) FHighlighter->RemoveFreeNotification(this);
  FHighlighter = Value;
  if (FHighlighter) FHighlighter->FreeNotification(this);
  Clear();
  TakeWhitespaceBackground();
}

void TRidCustomExporter::SetTitle(const std::string& Value) {
  FTitle = Value.empty() ? kUntitled : Value;
}

void TRidCustomExporter::SetUseBackground(bool Value) {
  FUseBackground = Value;
  TakeWhitespaceBackground();
}

void TRidCustomExporter::TakeWhitespaceBackground() {
  if (!FUseBackground || !FHighlighter) return;
  if (TRidHighlighterAttributes* ws = FHighlighter->GetDefaultAttribute(kWhitespaceAttri))
    FColor = ws->GetBackground();
}

void TRidCustomExporter::SaveToFile(const std::string& FileName) {
  SaveBytesToFileAtomic(FileName, FBuffer);
}

void TRidCustomExporter::SetReplacement(char Byte, std::string Text) {
  const auto b = static_cast<uint8_t>(Byte);
  FSpecial[b] = !Text.empty() || IsDBCSLeadByte(b);
  FReplaceReserved[b] = std::move(Text);
}

void TRidCustomExporter::ReplaceMBCS(uint8_t Lead, uint8_t Trail, std::string& Out) {
  Out += static_cast<char>(Lead);
  Out += static_cast<char>(Trail);
}

void TRidCustomExporter::ReplaceLeadByteAlone(uint8_t Lead, std::string& Out) {
  Out += static_cast<char>(Lead);
}

std::string TRidCustomExporter::ReplaceReservedChars(std::string_view Token) {
  std::string out;
  ReplaceReservedChars(Token, out);
  return out;
}

void TRidCustomExporter::ReplaceReservedChars(std::string_view Token, std::string& Out) {
  const size_t n = Token.size();
  size_t i = 0;
  while (i < n) {
    // Runs of bytes that stay as they are go in one piece.
    size_t run = i;
    while (run < n && !FSpecial[static_cast<uint8_t>(Token[run])]) ++run;
    Out.append(Token.data() + i, run - i);
    if (run == n) break;
    i = run;
    const auto b = static_cast<uint8_t>(Token[i]);
    if (!FReplaceReserved[b].empty()) {
      Out += FReplaceReserved[b];
      i += 1;
    } else if (i + 1 < n && IsDBCSTrailByte(static_cast<uint8_t>(Token[i + 1]))) {
      ReplaceMBCS(b, static_cast<uint8_t>(Token[i + 1]), Out);
      i += 2;
    } else {
      // A lead byte that makes no character: the byte after it is a character of its own.
      ReplaceLeadByteAlone(b, Out);
      i += 1;
    }
  }
}

void TRidCustomExporter::SetTokenAttribute(TRidHighlighterAttributes* Attri) {
  const TTokenLook look = LookOf(Attri);
  const TColor background = ValidatedColor(look.Background, FColor);
  const TColor foreground = ValidatedColor(look.Foreground, FFont->GetColor());
  if (FFirstAttribute) {
    FFirstAttribute = false;
    FLastBackground = background;
    FLastForeground = foreground;
    FLastStyle = look.Style;
    // Compared with the colours as stored: a system colour counts as a change.
    FormatBeforeFirstAttribute(FUseBackground && FLastBackground != FColor,
                               FFont->GetColor() != FLastForeground, look.Style);
    return;
  }
  const bool backgroundChanged = FUseBackground && background != FLastBackground;
  const bool foregroundChanged = foreground != FLastForeground;
  if (!backgroundChanged && !foregroundChanged && look.Style == FLastStyle) return;
  FormatAttributeDone(backgroundChanged, foregroundChanged, FLastStyle - look.Style);
  const TFontStyles begun = look.Style - FLastStyle;
  FLastBackground = background;
  FLastForeground = foreground;
  FLastStyle = look.Style;
  FormatAttributeInit(backgroundChanged, foregroundChanged, begun);
}

[[noreturn]] void TRidCustomExporter::AbortExport() {
  // The previous document must not pass for this one.
  Clear();
  Abort();
}

void TRidCustomExporter::ExportAll(TStrings* ALines) {
  if (ALines && FHighlighter &&
      (ALines->GetCount() == 0 || (ALines->GetCount() == 1 && ALines->Get(0).empty()))) {
    ExportLines(ALines, {1, 1}, {1, 1}, true);
    return;
  }
  ExportRange(ALines, {1, 1}, {kMaxInt, kMaxInt});
}

void TRidCustomExporter::ExportRange(TStrings* ALines, TPoint Start, TPoint Stop) {
  if (!ALines || !FHighlighter) AbortExport();
  const int32_t count = ALines->GetCount();
  if (Start.Y < 1) Start = {1, 1};
  if (count == 0 || Start.Y > count || Start.Y > Stop.Y) AbortExport();
  Stop.Y = std::max(1, std::min(Stop.Y, count));
  const auto lengthPlusOne = [&](int32_t Line) {
    return static_cast<int32_t>(std::min<size_t>(ALines->Get(Line - 1).size(), kMaxInt - 1)) + 1;
  };
  Stop.X = std::max(1, std::min(Stop.X, lengthPlusOne(Stop.Y)));
  Start.X = std::max(1, std::min(Start.X, lengthPlusOne(Start.Y)));
  if (Start.Y == Stop.Y && Start.X >= Stop.X) AbortExport();
  ExportLines(ALines, Start, Stop, false);
}

void TRidCustomExporter::ExportLines(TStrings* ALines, TPoint Start, TPoint Stop, bool Empty) {
  Clear();
  FBuffer.reserve(std::max<size_t>(4096, static_cast<size_t>(Stop.Y - Start.Y) * 128));
  FHighlighter->ResetRange();
  FFirstAttribute = true;
  for (int32_t i = Start.Y; !Empty && i <= Stop.Y; ++i) {
    const std::string line = ALines->Get(i - 1);
    std::string_view text = line;
    if (i == Stop.Y) text = text.substr(0, static_cast<size_t>(Stop.X - 1));
    if (i == Start.Y && Start.X > 1) text.remove_prefix(static_cast<size_t>(Start.X - 1));
    FHighlighter->SetLine(text, i);
    for (; !FHighlighter->GetEol(); FHighlighter->Next()) {
      FToken.clear();
      ReplaceReservedChars(FHighlighter->GetTokenView(), FToken);
      SetTokenAttribute(FHighlighter->GetTokenAttribute());
      FormatToken(FToken);
    }
    FormatNewLine();
  }
  if (!FFirstAttribute) FormatAfterLastAttribute();
  // The header may depend on the body (the RTF colour table), so it is made last.
  InsertData(GetHeader());
  AddData(GetFooter());
}

}  // namespace rid
