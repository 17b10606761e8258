#include "output/RidEderPrintHeaderFooter.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "editor/RidEderMiscProcs.h"
#include "foundation/libYear.h"
#include "output/RidEderPrintMargins.h"
#include "platform/Locale.h"

namespace rid {

namespace {

constexpr std::pair<int32_t, const char*> kRoman[] = {
    {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
    {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};

// The text before the first "/" (all of it when none); Text keeps what follows.
std::string_view CutField(std::string_view& Text) {
  const size_t slash = Text.find('/');
  const std::string_view field = Text.substr(0, slash);
  Text = slash == std::string_view::npos ? std::string_view() : Text.substr(slash + 1);
  return field;
}

bool ReadInt(std::string_view Text, int32_t& Value) {
  int32_t v = 0;
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), v);
  if (Text.empty() || ec != std::errc() || end != Text.data() + Text.size()) return false;
  Value = v;
  return true;
}

int32_t IntOr(std::string_view Text, int32_t Default) {
  int32_t v = Default;
  ReadInt(Text, v);
  return v;
}

// Resolutions and point sizes no font reaches: their product, a font's pixel height, would
// overflow, and the item would not read back as it was written.
constexpr int32_t kMaxPixelsPerInch = 10000;
constexpr int32_t kMaxPoints = 10000;

// A number within Min..Max; Default when the field is none or out of that range.
int32_t IntIn(std::string_view Text, int32_t Min, int32_t Max, int32_t Default) {
  const int32_t v = IntOr(Text, Default);
  return v >= Min && v <= Max ? v : Default;
}

// Saves the canvas font, pen, brush and text alignment; restores them at scope end.
class TCanvasObjectsGuard {
 public:
  explicit TCanvasObjectsGuard(TCanvas& ACanvas) : FCanvas(ACanvas) {
    FFont.Assign(&ACanvas.Font());
    FPen.Assign(&ACanvas.Pen());
    FBrush.Assign(&ACanvas.Brush());
    FAlign = ACanvas.GetTextAlign();
  }
  ~TCanvasObjectsGuard() {
    FCanvas.Font().Assign(&FFont);
    FCanvas.Pen().Assign(&FPen);
    FCanvas.Brush().Assign(&FBrush);
    FCanvas.SetTextAlign(FAlign);
  }
  TCanvasObjectsGuard(const TCanvasObjectsGuard&) = delete;
  TCanvasObjectsGuard& operator=(const TCanvasObjectsGuard&) = delete;

 private:
  TCanvas& FCanvas;
  TFont FFont;
  TPen FPen;
  TBrush FBrush;
  uint32_t FAlign;
};

}  // namespace

std::string IntToRoman(int32_t Value) {
  std::string s;
  for (const auto& [value, text] : kRoman) {
    for (; Value >= value; Value -= value) s += text;
  }
  return s;
}

// --- items

std::string THeaderFooterItem::GetText(int32_t NumPages, int32_t PageNum, bool Roman,
                                       const std::string& Title, const std::string& ATime,
                                       const std::string& ADate) const {
  const std::string_view text = FText;
  if (std::all_of(text.begin(), text.end(), [](char c) { return uint8_t(c) <= ' '; })) return {};
  const auto number = [Roman](int32_t N) { return Roman ? IntToRoman(N) : std::to_string(N); };
  std::string out;
  size_t i = 0;
  // "$" is below 0x40, never a trail byte, so the scan goes byte by byte.
  for (;;) {
    const size_t open = text.find('$', i);
    if (open == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    const size_t close = text.find('$', open + 1);
    if (close == std::string_view::npos) {
      i = open;
      break;
    }
    const std::string word = AnsiUpperCase(text.substr(open, close - open + 1));
    if (word == "$PAGENUM$") {
      out += number(PageNum);
    } else if (word == "$PAGECOUNT$") {
      out += number(NumPages);
    } else if (word == "$TITLE$") {
      out += Title;
    } else if (word == "$DATE$") {
      out += ADate;
    } else if (word == "$TIME$") {
      out += ATime;
    } else if (word == "$DATETIME$") {
      out += ADate + " " + ATime;
    } else if (word == "$TIMEDATE$") {
      out += ATime + " " + ADate;
    } else {
      // The closing "$" of an unknown word may open a macro.
      out.append(text.substr(open, close - open));
      i = close;
      continue;
    }
    i = close + 1;
  }
  out.append(text.substr(i));
  return out;
}

std::string THeaderFooterItem::GetAsString() const {
  const auto n = [](int64_t v) { return std::to_string(v) + "/"; };
  return EncodeString(FText) + "/" + n(FFont.GetCharset()) + n(FFont.GetColor()) +
         n(FFont.GetHeight()) + EncodeString(FFont.GetName()) + "/" + n(FFont.GetPitch()) +
         n(FFont.GetPixelsPerInch()) + n(FFont.GetSize()) + n(FFont.GetStyle().ToBits()) +
         n(FLineNumber) + std::to_string(FAlignment);
}

void THeaderFooterItem::SetAsString(const std::string& Value, const TFont& Defaults) {
  std::string_view s = Value;
  FText = DecodeString(CutField(s));
  const int32_t charset = IntOr(CutField(s), Defaults.GetCharset());
  const int32_t color = IntOr(CutField(s), Defaults.GetColor());
  const int32_t height = IntOr(CutField(s), Defaults.GetHeight());
  const std::string name = DecodeString(CutField(s));
  const int32_t pitch = IntOr(CutField(s), Defaults.GetPitch());
  const int32_t ppi = IntIn(CutField(s), 1, kMaxPixelsPerInch, Defaults.GetPixelsPerInch());
  const int32_t size = IntIn(CutField(s), -kMaxPoints, kMaxPoints, 0);
  const int32_t style = IntOr(CutField(s), static_cast<int32_t>(Defaults.GetStyle().ToBits()));
  FLineNumber = IntOr(CutField(s), 0);
  FAlignment = IntOr(CutField(s), 0);
  FFont.SetCharset(static_cast<TFontCharset>(charset));
  FFont.SetColor(color);
  FFont.SetHeight(height);
  FFont.SetName(name);
  FFont.SetPitch(pitch >= fpDefault && pitch <= fpFixed ? static_cast<TFontPitch>(pitch)
                                                        : Defaults.GetPitch());
  // The size is set last, at the resolution it was measured at.
  FFont.SetPixelsPerInch(ppi);
  FFont.SetSize(size);
  FFont.SetStyle(TFontStyles::FromBits(static_cast<uint32_t>(style)));
}

// --- header and footer

THeaderFooter::THeaderFooter(THeaderFooterType AType) : FType(AType) {
  FDefaultFont.SetName(
      "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e");  // ＭＳ Ｐゴシック
  FDefaultFont.SetSize(9);
  FDefaultFont.SetColor(clBlack);
}

THeaderFooter::~THeaderFooter() = default;

int32_t THeaderFooter::Add(const std::string& Text, TFont* AFont, int32_t Alignment,
                           int32_t LineNumber) {
  auto item = std::make_unique<THeaderFooterItem>();
  item->FText = Text;
  item->FFont.Assign(AFont ? AFont : &FDefaultFont);
  item->FAlignment = Alignment;
  item->FLineNumber = LineNumber;
  item->FIndex = Count();
  FItems.push_back(std::move(item));
  return Count() - 1;
}

void THeaderFooter::Clear() {
  FItems.clear();
  FLineInfo.clear();
  FFrameHeight = -1;
}

void THeaderFooter::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<THeaderFooter*>(Source);
  if (!src) return TPersistent::Assign(Source);
  if (src == this) return;
  Clear();
  FType = src->FType;
  FFrameTypes = src->FFrameTypes;
  FShadedColor = src->FShadedColor;
  FLineColor = src->FLineColor;
  for (const auto& i : src->FItems) Add(i->FText, &i->FFont, i->FAlignment, i->FLineNumber);
  FDefaultFont.Assign(&src->FDefaultFont);
  FRomanNumbers = src->FRomanNumbers;
  FMirrorPosition = src->FMirrorPosition;
}

void THeaderFooter::FixLines() {
  FLineInfo.clear();
  int32_t previous = -1;
  for (const auto& item : FItems) {
    if (FLineInfo.empty() || item->FLineNumber != previous) FLineInfo.emplace_back();
    previous = item->FLineNumber;
    item->FLineNumber = static_cast<int32_t>(FLineInfo.size());
  }
}

std::string THeaderFooter::GetAsString() {
  FixLines();
  std::string s;
  for (const auto& item : FItems) {
    if (!s.empty()) s += "/";
    s += EncodeString(item->GetAsString());
  }
  return s;
}

void THeaderFooter::SetAsString(const std::string& Value) {
  Clear();
  std::string_view rest = Value;
  while (!rest.empty()) {
    THeaderFooterItem item;
    item.SetAsString(DecodeString(CutField(rest)), FDefaultFont);
    Add(item.FText, &item.FFont, item.FAlignment, item.FLineNumber);
  }
}

void THeaderFooter::SetPixelsPerInch(int32_t Value) {
  for (auto& item : FItems) {
    const int32_t size = item->FFont.GetSize();
    item->FFont.SetPixelsPerInch(Value);
    item->FFont.SetSize(size);
  }
}

void THeaderFooter::InitPrint(TCanvas& ACanvas, int32_t NumPages, const std::string& Title,
                              TRidEderPrintMargins* Margins) {
  TCanvasObjectsGuard keep(ACanvas);
  FDate = GetDateStr();
  FTime = GetTimeStr(true);
  FNumPages = NumPages;
  FMargins = Margins;
  FTitle = Title;
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const auto& A, const auto& B) { return A->FLineNumber < B->FLineNumber; });
  for (size_t i = 0; i < FItems.size(); ++i) FItems[i]->FIndex = static_cast<int32_t>(i);
  FixLines();
  CalcHeight(ACanvas);
}

void THeaderFooter::CalcHeight(TCanvas& ACanvas) {
  if (FItems.empty()) {
    FFrameHeight = -1;
    return;
  }
  for (const auto& item : FItems) {
    ACanvas.Font().Assign(&item->FFont);
    TTextMetric tm;
    ACanvas.GetTextMetrics(tm);
    TLineInfo& line = FLineInfo[item->FLineNumber - 1];
    line.LineHeight = std::max(line.LineHeight, ACanvas.TextHeight("W"));
    line.MaxBaseLine = std::max(line.MaxBaseLine, tm.tmAscent);
  }
  FFrameHeight = 2 * FMargins->PHFInternalMargin;
  for (const TLineInfo& line : FLineInfo) FFrameHeight += line.LineHeight;
}

void THeaderFooter::DrawFrame(TCanvas& ACanvas) {
  const TRidEderPrintMargins& m = *FMargins;
  ACanvas.Pen().SetColor(FLineColor);
  ACanvas.Brush().SetColor(FShadedColor);
  ACanvas.Brush().SetStyle(FFrameTypes.Contains(ftShaded) ? bsSolid : bsClear);
  ACanvas.Pen().SetStyle(FFrameTypes.Contains(ftBox) ? psSolid : psClear);
  if (FFrameTypes.Contains(ftBox) || FFrameTypes.Contains(ftShaded)) {
    if (FType == hftHeader)
      ACanvas.Rectangle(m.PLeft, m.PHeader - FFrameHeight, m.PRight, m.PHeader);
    else
      ACanvas.Rectangle(m.PLeft, m.PFooter, m.PRight, m.PFooter + FFrameHeight);
  }
  if (FFrameTypes.Contains(ftLine)) {
    ACanvas.Pen().SetStyle(psSolid);
    const int32_t y = FType == hftHeader ? m.PHeader : m.PFooter;
    ACanvas.MoveTo(m.PLeft, y);
    ACanvas.LineTo(m.PRight, y);
  }
}

int32_t THeaderFooter::ItemX(TCanvas& ACanvas, const THeaderFooterItem& Item,
                             const std::string& Text, int32_t PageNum) const {
  int32_t alignment = Item.FAlignment;
  if (FMirrorPosition && PageNum % 2 == 0) {
    if (alignment == taLeftJustify)
      alignment = taRightJustify;
    else if (alignment == taRightJustify)
      alignment = taLeftJustify;
  }
  const TRidEderPrintMargins& m = *FMargins;
  switch (alignment) {
    case taRightJustify:
      return m.PRightHFTextIndent - ACanvas.TextWidth(Text);
    case taCenter:
      return (m.PLeftHFTextIndent + m.PRightHFTextIndent - ACanvas.TextWidth(Text)) / 2;
    default:  // left, and an alignment no version wrote
      return m.PLeftHFTextIndent;
  }
}

void THeaderFooter::Print(TCanvas& ACanvas, int32_t PageNum) {
  if (FFrameHeight <= 0 || !FMargins) return;
  TCanvasObjectsGuard keep(ACanvas);
  DrawFrame(ACanvas);
  ACanvas.Brush().SetStyle(bsClear);
  const TRidEderPrintMargins& m = *FMargins;
  int32_t y = (FType == hftHeader ? m.PHeader - FFrameHeight : m.PFooter) + m.PHFInternalMargin;
  int32_t line = 1;
  ACanvas.SetTextAlign(TA_BASELINE);
  for (const auto& item : FItems) {
    ACanvas.Font().Assign(&item->FFont);
    if (item->FLineNumber != line) {
      y += FLineInfo[line - 1].LineHeight;
      line = item->FLineNumber;
    }
    const std::string text = item->GetText(FNumPages, PageNum, FRomanNumbers, FTitle, FTime, FDate);
    if (text.empty()) continue;
    ACanvas.TextOut(ItemX(ACanvas, *item, text, PageNum), y + FLineInfo[line - 1].MaxBaseLine,
                    text);
  }
}

}  // namespace rid
