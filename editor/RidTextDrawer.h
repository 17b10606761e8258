#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

namespace rid {

class EheFontStockException : public Exception {
 public:
  using Exception::Exception;
};

class EheTextDrawerException : public Exception {
 public:
  using Exception::Exception;
};

// One style variant of a font: its handle (null until first use) and measurements.
struct TheFontData {
  HFONT Handle = nullptr;
  int32_t CharAdv = 0;    // advance of one cell
  int32_t DBCharAdv = 0;  // advance of a double-byte character; MaxInt when it is not two
                          // equal full-width cells' worth, 0 for a font without them
  int32_t CharHeight = 0;
};

// The style set as an index 0..15: bold 1, italic 2, underline 4, strike-out 8.
inline int32_t FontStyleIndex(TFontStyles Style) { return static_cast<int32_t>(Style.ToBits()); }

// A font shared by every stock of the process that uses an equal font.
struct TheSharedFontsInfo {
  int32_t RefCount = 0;   // stocks using the record
  int32_t LockCount = 0;  // stocks holding its handles active
  std::unique_ptr<TFont> BaseFont;
  TLogFont BaseLF;  // the key: italic, underline and strike-out zeroed, face zero-filled
  bool IsDBCSFont = false;
  std::array<TheFontData, 16> FontsData;
};

// The process-wide list of shared font records. It lives until the process ends.
class TheFontsInfoManager {
 public:
  TheFontsInfoManager() = default;
  TheFontsInfoManager(const TheFontsInfoManager&) = delete;
  TheFontsInfoManager& operator=(const TheFontsInfoManager&) = delete;

  // The record of an equal font (created on first use), with one more reference.
  TheSharedFontsInfo* GetFontsInfo(TFont* ABaseFont);
  // Gives back a reference; the last one frees the record. The caller's lock must be gone.
  void ReleaseFontsInfo(TheSharedFontsInfo* pFontsInfo);
  void LockFontsInfo(TheSharedFontsInfo* pFontsInfo);
  // The last unlock drops the style handles; they are made again on demand.
  void UnlockFontsInfo(TheSharedFontsInfo* pFontsInfo);
  static TLogFont GetFontKey(TFont* AFont);
  int32_t GetCount() const { return static_cast<int32_t>(FFontsInfo.size()); }

 private:
  std::unique_ptr<TheSharedFontsInfo> CreateFontsInfo(TFont* ABaseFont, const TLogFont& LF);
  static void DestroyFontHandles(TheSharedFontsInfo* pFontsInfo);
  std::vector<std::unique_ptr<TheSharedFontsInfo>> FFontsInfo;
};

TheFontsInfoManager& GetFontsInfoManager();

// The 16 style variants of one editor's font, through the shared record.
class TheFontStock {
 public:
  explicit TheFontStock(TFont* InitialFont);
  virtual ~TheFontStock();
  TheFontStock(const TheFontStock&) = delete;
  TheFontStock& operator=(const TheFontStock&) = delete;

  virtual int32_t GetCharAdvance() const;
  virtual int32_t GetCharHeight() const;
  virtual int32_t GetDBCSAdvance() const;
  virtual TheFontData* GetFontData(int32_t idx);
  // Null raises EheFontStockException.
  virtual void SetBaseFont(TFont* Value);
  virtual void SetStyle(TFontStyles Value);
  // Gives back this stock's lock on the shared record.
  void DeactivateFontsInfo();

  TFont* GetBaseFont() const { return FpInfo->BaseFont.get(); }
  HFONT GetFontHandle() const { return FCrntFont; }
  TheSharedFontsInfo* GetFontsInfo() const { return FpInfo; }
  bool IsDBCSFont() const { return FpInfo->IsDBCSFont; }

 protected:
  // The screen measuring context, counted.
  virtual HDC InternalGetDC();
  virtual void InternalReleaseDC(HDC Value);
  virtual HFONT CreateStyledFont(TFontStyles Style);
  // Measures the font selected in DC; DBCharAdvance (when given) gets the double-byte advance.
  virtual int32_t CalcFontAdvance(HDC DC, int32_t* pCharHeight, int32_t* pDBCharAdvance);

 private:
  void ReleaseFontsInfo();

  HDC FDC = nullptr;
  int32_t FDCRefCount = 0;
  TheSharedFontsInfo* FpInfo = nullptr;
  bool FUsingFontHandles = false;
  TheFontData* FpCrntFontData = nullptr;
  HFONT FCrntFont = nullptr;
  TLogFont FBaseLF;
};

// Draws runs of bytes in cells of one width whatever the style, so columns line up.
class TheTextDrawer : public TObject {
 public:
  RID_CLASS_NAME(TheTextDrawer)
  // CalcExtentBaseStyle is the style whose advance fixes the cell width.
  TheTextDrawer(TFontStyles CalcExtentBaseStyle, TFont* BaseFont);
  ~TheTextDrawer() override;
  TheTextDrawer(const TheTextDrawer&) = delete;
  TheTextDrawer& operator=(const TheTextDrawer&) = delete;

  // Cell advance plus the character extra.
  virtual int32_t GetCharWidth() const;
  virtual int32_t GetCharHeight() const;
  // Nestable with the same context; the context's state is restored at the outermost end.
  virtual void BeginDrawing(HDC DC);
  virtual void EndDrawing();
  virtual void TextOut(int32_t X, int32_t Y, std::string_view Text);
  // Every byte advances one cell; a double-byte character is one glyph over two cells.
  virtual void ExtTextOut(int32_t X, int32_t Y, uint32_t fuOptions, const TRect& ARect,
                          std::string_view Text);
  // Null raises EheTextDrawerException.
  virtual void SetBaseFont(TFont* Value);
  virtual void SetBaseStyle(TFontStyles Value);
  virtual void SetStyle(TFontStyles Value);
  virtual void SetForeColor(TColor Value);
  virtual void SetBackColor(TColor Value);
  virtual void SetCharExtra(int32_t Value);
  virtual void ReleaseTemporaryResources();

  TFontStyles GetBaseStyle() const { return FCalcExtentBaseStyle; }
  int32_t GetCharExtra() const { return FCharExtra; }
  TColor GetForeColor() const { return FColor; }
  TColor GetBackColor() const { return FBkColor; }
  TheFontStock& GetFontStock() { return *FFontStock; }
  // The per-byte distances in use (grown in blocks of 64), for inspection.
  const std::vector<int32_t>& GetETODist() const { return FETODist; }

 protected:
  virtual void ReleaseETODist();
  virtual void AfterStyleSet();
  virtual void DoSetCharExtra(int32_t Value);

 private:
  HDC FDC = nullptr;
  int32_t FSaveDC = 0;
  std::unique_ptr<TheFontStock> FFontStock;
  TFontStyles FCalcExtentBaseStyle;
  int32_t FBaseCharWidth = 0;
  int32_t FBaseCharHeight = 0;
  HFONT FCrntFont = nullptr;
  std::vector<int32_t> FETODist;
  TColor FColor = clWindowText;
  TColor FBkColor = clWindow;
  int32_t FCharExtra = 0;
  int32_t FDrawingCount = 0;
};

}  // namespace rid
