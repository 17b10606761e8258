#include "editor/RidTextDrawer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rid {

namespace {

// Two full-width reference characters of code page 932: あ and the ideographic space.
constexpr uint32_t DBCSReference1 = 0x82A0;
constexpr uint32_t DBCSReference2 = 0x8140;

// The screen context that fonts are measured on (never drawn on).
TCanvas* ScreenDC() {
  static TCanvas* dc = new TCanvas;
  return dc;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TheFontsInfoManager

TheFontsInfoManager& GetFontsInfoManager() {
  // Records may be held by objects that outlive static destruction: never destroyed.
  static TheFontsInfoManager* manager = new TheFontsInfoManager;
  return *manager;
}

TLogFont TheFontsInfoManager::GetFontKey(TFont* AFont) {
  TLogFont lf = AFont->GetLogFont();
  lf.lfItalic = 0;
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 0;
  const size_t n = strnlen(lf.lfFaceName, LF_FACESIZE);
  std::memset(lf.lfFaceName + n, 0, LF_FACESIZE - n);
  return lf;
}

std::unique_ptr<TheSharedFontsInfo> TheFontsInfoManager::CreateFontsInfo(TFont* ABaseFont,
                                                                         const TLogFont& LF) {
  auto info = std::make_unique<TheSharedFontsInfo>();
  info->BaseFont = std::make_unique<TFont>();
  info->BaseFont->Assign(ABaseFont);
  info->BaseLF = LF;
  TCanvas* dc = ScreenDC();
  const int32_t saved = dc->SaveDC();
  dc->SelectObject(CreateFontIndirect(LF));
  info->IsDBCSFont = (dc->GetFontLanguageInfo() & GCP_DBCS) != 0;
  dc->RestoreDC(saved);
  return info;
}

TheSharedFontsInfo* TheFontsInfoManager::GetFontsInfo(TFont* ABaseFont) {
  RID_ASSERT(ABaseFont != nullptr);
  const TLogFont key = GetFontKey(ABaseFont);
  TheSharedFontsInfo* found = nullptr;
  for (const auto& info : FFontsInfo) {
    if (std::memcmp(&info->BaseLF, &key, sizeof key) == 0) {
      found = info.get();
      break;
    }
  }
  if (!found) {
    FFontsInfo.push_back(CreateFontsInfo(ABaseFont, key));
    found = FFontsInfo.back().get();
  }
  ++found->RefCount;
  return found;
}

void TheFontsInfoManager::ReleaseFontsInfo(TheSharedFontsInfo* pFontsInfo) {
  RID_ASSERT(pFontsInfo != nullptr);
  RID_ASSERT_MSG(pFontsInfo->LockCount < pFontsInfo->RefCount,
                 "Call DeactivateFontsInfo before calling this.");
  if (pFontsInfo->RefCount > 1) {
    --pFontsInfo->RefCount;
    return;
  }
  auto it = std::find_if(FFontsInfo.begin(), FFontsInfo.end(),
                         [&](const auto& p) { return p.get() == pFontsInfo; });
  RID_ASSERT(it != FFontsInfo.end());
  FFontsInfo.erase(it);
}

void TheFontsInfoManager::LockFontsInfo(TheSharedFontsInfo* pFontsInfo) { ++pFontsInfo->LockCount; }

void TheFontsInfoManager::UnlockFontsInfo(TheSharedFontsInfo* pFontsInfo) {
  RID_ASSERT(pFontsInfo->LockCount > 0);
  if (--pFontsInfo->LockCount == 0) DestroyFontHandles(pFontsInfo);
}

void TheFontsInfoManager::DestroyFontHandles(TheSharedFontsInfo* pFontsInfo) {
  for (auto& data : pFontsInfo->FontsData) data.Handle = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TheFontStock

TheFontStock::TheFontStock(TFont* InitialFont) { SetBaseFont(InitialFont); }

TheFontStock::~TheFontStock() { ReleaseFontsInfo(); }

void TheFontStock::ReleaseFontsInfo() {
  if (!FpInfo) return;
  DeactivateFontsInfo();
  GetFontsInfoManager().ReleaseFontsInfo(FpInfo);
  FpInfo = nullptr;
  FpCrntFontData = nullptr;
}

void TheFontStock::DeactivateFontsInfo() {
  if (!FUsingFontHandles) return;
  FUsingFontHandles = false;
  GetFontsInfoManager().UnlockFontsInfo(FpInfo);
}

HDC TheFontStock::InternalGetDC() {
  if (FDCRefCount == 0) FDC = ScreenDC();
  ++FDCRefCount;
  return FDC;
}

void TheFontStock::InternalReleaseDC(HDC Value) {
  RID_ASSERT(FDCRefCount > 0 && Value == FDC);
  if (--FDCRefCount == 0) FDC = nullptr;
}

HFONT TheFontStock::CreateStyledFont(TFontStyles Style) {
  TLogFont lf = FBaseLF;
  lf.lfWeight = Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = Style.Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = Style.Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = Style.Contains(fsStrikeOut) ? 1 : 0;
  return CreateFontIndirect(lf);
}

int32_t TheFontStock::CalcFontAdvance(HDC DC, int32_t* pCharHeight, int32_t* pDBCharAdvance) {
  TTextMetric tm;
  DC->GetTextMetrics(tm);
  TABC abc;
  const bool hasABC = DC->GetCharABCWidths('M', abc);
  if (!hasABC) {
    abc.abcA = 0;
    abc.abcB = static_cast<uint32_t>(tm.tmAveCharWidth);
    abc.abcC = 0;
    tm.tmOverhang = 0;
  }
  const int32_t advance = abc.abcA + static_cast<int32_t>(abc.abcB) + abc.abcC + tm.tmOverhang;
  if (pCharHeight) *pCharHeight = std::abs(tm.tmHeight);
  if (pDBCharAdvance) {
    *pDBCharAdvance = MaxInt;
    TABC w1, w2;
    if (FpInfo->IsDBCSFont && tm.tmCharSet == SHIFTJIS_CHARSET && hasABC &&
        DC->GetCharABCWidths(DBCSReference1, w1) && DC->GetCharABCWidths(DBCSReference2, w2)) {
      const int32_t width1 = w1.abcA + static_cast<int32_t>(w1.abcB) + w1.abcC;
      const int32_t width2 = w2.abcA + static_cast<int32_t>(w2.abcB) + w2.abcC;
      if (width1 * 2 > advance * 3 && width1 == width2) *pDBCharAdvance = width1;
    }
  }
  return advance;
}

int32_t TheFontStock::GetCharAdvance() const { return FpCrntFontData->CharAdv; }
int32_t TheFontStock::GetCharHeight() const { return FpCrntFontData->CharHeight; }
int32_t TheFontStock::GetDBCSAdvance() const { return FpCrntFontData->DBCharAdv; }

TheFontData* TheFontStock::GetFontData(int32_t idx) {
  RID_ASSERT(idx >= 0 && idx < 16);
  return &FpInfo->FontsData[static_cast<size_t>(idx)];
}

void TheFontStock::SetBaseFont(TFont* Value) {
  if (!Value) throw EheFontStockException("SetBaseFont: 'Value' must be specified.");
  TheSharedFontsInfo* info = GetFontsInfoManager().GetFontsInfo(Value);
  if (info == FpInfo) {
    GetFontsInfoManager().ReleaseFontsInfo(info);
    return;
  }
  ReleaseFontsInfo();
  FpInfo = info;
  FBaseLF = info->BaseLF;
  SetStyle(Value->GetStyle());
}

void TheFontStock::SetStyle(TFontStyles Value) {
  const int32_t idx = FontStyleIndex(Value);
  RID_ASSERT(idx <= 15);
  if (!FUsingFontHandles) {
    GetFontsInfoManager().LockFontsInfo(FpInfo);
    FUsingFontHandles = true;
  }
  TheFontData* data = GetFontData(idx);
  // An entry whose handles were dropped since it was last current is made again.
  if (data == FpCrntFontData && data->Handle) return;
  FpCrntFontData = data;
  if (data->Handle) {
    FCrntFont = data->Handle;
    return;
  }
  FCrntFont = CreateStyledFont(Value);
  HDC dc = InternalGetDC();
  const int32_t saved = dc->SaveDC();
  dc->SelectObject(FCrntFont);
  data->CharAdv =
      CalcFontAdvance(dc, &data->CharHeight, FpInfo->IsDBCSFont ? &data->DBCharAdv : nullptr);
  data->Handle = FCrntFont;
  dc->RestoreDC(saved);
  InternalReleaseDC(dc);
}

// ---------------------------------------------------------------------------------------------
// TheTextDrawer

namespace {

TFont* RequireBaseFont(TFont* Value) {
  if (!Value) throw EheTextDrawerException("SetBaseFont: 'Value' must be specified.");
  return Value;
}

}  // namespace

TheTextDrawer::TheTextDrawer(TFontStyles CalcExtentBaseStyle, TFont* BaseFont)
    : FFontStock(std::make_unique<TheFontStock>(RequireBaseFont(BaseFont))),
      FCalcExtentBaseStyle(CalcExtentBaseStyle) {
  SetBaseFont(BaseFont);
}

TheTextDrawer::~TheTextDrawer() = default;

int32_t TheTextDrawer::GetCharWidth() const { return FBaseCharWidth + FCharExtra; }
int32_t TheTextDrawer::GetCharHeight() const { return FBaseCharHeight; }

void TheTextDrawer::ReleaseETODist() {
  FETODist.clear();
  FETODist.shrink_to_fit();
}

void TheTextDrawer::AfterStyleSet() {
  const HFONT font = FFontStock->GetFontHandle();
  if (font == FCrntFont) return;
  FCrntFont = font;
  if (FDC) FDC->SelectObject(FCrntFont);
}

void TheTextDrawer::DoSetCharExtra(int32_t Value) {
  if (FDC) FDC->SetTextCharacterExtra(Value);
}

void TheTextDrawer::BeginDrawing(HDC DC) {
  if (FDC == DC) {
    RID_ASSERT(FDC != nullptr);
  } else {
    RID_ASSERT(FDC == nullptr && DC != nullptr && FDrawingCount == 0);
    FDC = DC;
    FSaveDC = DC->SaveDC();
    FDC->SelectObject(FCrntFont);
    FDC->SetTextColor(ColorToRGB(FColor));
    FDC->SetBkColor(ColorToRGB(FBkColor));
    DoSetCharExtra(FCharExtra);
  }
  ++FDrawingCount;
}

void TheTextDrawer::EndDrawing() {
  RID_ASSERT(FDrawingCount >= 1);
  if (--FDrawingCount > 0) return;
  if (FDC) FDC->RestoreDC(FSaveDC);
  FSaveDC = 0;
  FDC = nullptr;
}

void TheTextDrawer::TextOut(int32_t X, int32_t Y, std::string_view Text) {
  RID_ASSERT(FDC != nullptr);
  FDC->ExtTextOut(X, Y, 0, nullptr, Text, nullptr);
}

void TheTextDrawer::ExtTextOut(int32_t X, int32_t Y, uint32_t fuOptions, const TRect& ARect,
                               std::string_view Text) {
  RID_ASSERT(FDC != nullptr);
  const size_t length = Text.size();
  if (FETODist.size() < length) {
    // Grown in blocks so that later runs of similar length reuse it.
    const size_t size = length / 64 * 64 + 64;
    FETODist.resize(size, GetCharWidth());
  }
  FDC->ExtTextOut(X, Y, fuOptions, &ARect, Text, FETODist.data());
}

void TheTextDrawer::SetBaseFont(TFont* Value) {
  RequireBaseFont(Value);
  ReleaseETODist();
  FFontStock->SetBaseFont(Value);
  FFontStock->SetStyle(FCalcExtentBaseStyle);
  FBaseCharWidth = FFontStock->GetCharAdvance();
  FBaseCharHeight = FFontStock->GetCharHeight();
  SetStyle(Value->GetStyle());
}

void TheTextDrawer::SetBaseStyle(TFontStyles Value) {
  if (FCalcExtentBaseStyle == Value) return;
  FCalcExtentBaseStyle = Value;
  ReleaseETODist();
  FFontStock->SetStyle(Value);
  FBaseCharWidth = FFontStock->GetCharAdvance();
  FBaseCharHeight = FFontStock->GetCharHeight();
}

void TheTextDrawer::SetStyle(TFontStyles Value) {
  FFontStock->SetStyle(Value);
  AfterStyleSet();
}

void TheTextDrawer::SetForeColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  if (FDC) FDC->SetTextColor(ColorToRGB(Value));
}

void TheTextDrawer::SetBackColor(TColor Value) {
  if (FBkColor == Value) return;
  FBkColor = Value;
  if (FDC) FDC->SetBkColor(ColorToRGB(Value));
}

void TheTextDrawer::SetCharExtra(int32_t Value) {
  if (FCharExtra == Value) return;
  FCharExtra = Value;
  // The distances hold the cell width with the extra: filled ones would be stale.
  ReleaseETODist();
  DoSetCharExtra(Value);
}

void TheTextDrawer::ReleaseTemporaryResources() { FFontStock->DeactivateFontsInfo(); }

}  // namespace rid
