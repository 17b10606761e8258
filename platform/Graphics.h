#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"
#include "platform/Types.h"

class QPainter;
class QPaintDevice;
class QImage;
class QFont;
class QRawFont;

namespace rid {

// ---------------------------------------------------------------------------------------------
// Logical fonts. A font is described by a record of 60 bytes laid out as the system's ANSI
// logical font, so records compare bytewise; the face name is code page 932 bytes, zero-filled.

constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint8_t SHIFTJIS_CHARSET = 128;
constexpr uint8_t DEFAULT_PITCH = 0;
constexpr uint8_t FIXED_PITCH = 1;
constexpr uint8_t VARIABLE_PITCH = 2;
constexpr int32_t FW_DONTCARE = 0;
constexpr int32_t FW_NORMAL = 400;
constexpr int32_t FW_BOLD = 700;
constexpr int32_t LF_FACESIZE = 32;

struct TLogFont {
  int32_t lfHeight = 0;  // < 0: character (em) height in pixels; > 0: cell height
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;
  int32_t lfOrientation = 0;
  int32_t lfWeight = FW_NORMAL;
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = DEFAULT_CHARSET;
  uint8_t lfOutPrecision = 0;
  uint8_t lfClipPrecision = 0;
  uint8_t lfQuality = 0;
  uint8_t lfPitchAndFamily = DEFAULT_PITCH;
  char lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(TLogFont) == 60, "the logical-font record is 60 bytes");

// Copies a code page 932 face name into the record, cut at a character boundary, zero-filled.
void SetLogFontFaceName(TLogFont& LogFont, std::string_view Face);

// A realised font: made once per distinct record for the life of the process (never freed by
// the caller), so handles compare equal exactly when the records do.
class TFontHandle;
using HFONT = const TFontHandle*;
HFONT CreateFontIndirect(const TLogFont& LogFont);
// The record a handle was made from.
TLogFont GetFontLogFont(HFONT Font);

// The installed family that draws a face name (code page 932): "Courier New", "ＭＳ ゴシック"
// and the other faces the editor names map to IPA families; an installed face stays itself.
std::string SubstituteFontFace(std::string_view Face, uint8_t Pitch);
// The Qt font a record describes (pixel sized, no hinting, no kerning).
QFont QFontFromLogFont(const TLogFont& LogFont);

struct TTextMetric {
  int32_t tmHeight = 0;
  int32_t tmAscent = 0;
  int32_t tmDescent = 0;
  int32_t tmInternalLeading = 0;
  int32_t tmExternalLeading = 0;
  int32_t tmAveCharWidth = 0;
  int32_t tmMaxCharWidth = 0;
  int32_t tmWeight = 0;
  int32_t tmOverhang = 0;
  uint8_t tmItalic = 0;
  uint8_t tmUnderlined = 0;
  uint8_t tmStruckOut = 0;
  uint8_t tmPitchAndFamily = 0;
  uint8_t tmCharSet = 0;
};

struct TABC {
  int32_t abcA = 0;
  uint32_t abcB = 0;
  int32_t abcC = 0;
};

// Language information flag of a double-byte font.
constexpr uint32_t GCP_DBCS = 0x0006;

// ---------------------------------------------------------------------------------------------
// Font, brush and pen objects. Each fires OnChange when a property really changes.

enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

class TFont : public TPersistent {
 public:
  RID_CLASS_NAME(TFont)
  TFont();
  // Copies name, height, pixels per inch, style, colour, charset and pitch from another TFont.
  void Assign(TPersistent* Source) override;

  const std::string& GetName() const { return FName; }
  void SetName(const std::string& Value);
  // Height in pixels: negative for the character height (as from a point size).
  int32_t GetHeight() const { return FHeight; }
  void SetHeight(int32_t Value);
  // Size in points at PixelsPerInch: Height = -MulDiv(Size, PixelsPerInch, 72).
  int32_t GetSize() const;
  void SetSize(int32_t Value);
  // Changing the resolution keeps Height (set Size again to keep the point size).
  int32_t GetPixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int32_t Value) { FPixelsPerInch = Value > 0 ? Value : 96; }
  TFontStyles GetStyle() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TFontCharset GetCharset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  TFontPitch GetPitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);

  // The record and its realised handle (style bits included).
  TLogFont GetLogFont() const;
  HFONT GetHandle() const { return CreateFontIndirect(GetLogFont()); }
  // Takes name, height, style, charset and pitch from a record (Windows' "Handle :=").
  void SetLogFont(const TLogFont& LogFont);

  TNotifyEvent OnChange;

 private:
  void Changed();
  std::string FName = "MS Sans Serif";
  int32_t FHeight = -11;
  int32_t FPixelsPerInch = 96;
  TFontStyles FStyle;
  TColor FColor = clWindowText;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TPersistent {
 public:
  RID_CLASS_NAME(TBrush)
  void Assign(TPersistent* Source) override;
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle GetStyle() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  TNotifyEvent OnChange;

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TPersistent {
 public:
  RID_CLASS_NAME(TPen)
  void Assign(TPersistent* Source) override;
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t Value);
  TPenStyle GetStyle() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  TNotifyEvent OnChange;

 private:
  TColor FColor = clBlack;
  int32_t FWidth = 1;
  TPenStyle FStyle = psSolid;
};

// ---------------------------------------------------------------------------------------------
// The canvas: GDI drawing over a QPainter on a widget's picture, an image or a printer.

// ExtTextOut options.
constexpr uint32_t ETO_OPAQUE = 0x0002;
constexpr uint32_t ETO_CLIPPED = 0x0004;
// Background modes.
constexpr int32_t TRANSPARENT = 1;
constexpr int32_t OPAQUE = 2;
// Text alignment (SetTextAlign).
constexpr uint32_t TA_LEFT = 0;
constexpr uint32_t TA_RIGHT = 2;
constexpr uint32_t TA_CENTER = 6;
constexpr uint32_t TA_TOP = 0;
constexpr uint32_t TA_BOTTOM = 8;
constexpr uint32_t TA_BASELINE = 24;
// Mapping modes.
constexpr int32_t MM_TEXT = 1;
constexpr int32_t MM_ANISOTROPIC = 8;
// Device capabilities.
constexpr int32_t HORZRES = 8;
constexpr int32_t VERTRES = 10;
constexpr int32_t LOGPIXELSX = 88;
constexpr int32_t LOGPIXELSY = 90;
constexpr int32_t PHYSICALWIDTH = 110;
constexpr int32_t PHYSICALHEIGHT = 111;
constexpr int32_t PHYSICALOFFSETX = 112;
constexpr int32_t PHYSICALOFFSETY = 113;
// Clip region results.
constexpr int32_t NULLREGION = 1;
constexpr int32_t SIMPLEREGION = 2;
constexpr int32_t COMPLEXREGION = 3;

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  constexpr bool operator==(const TSize&) const = default;
};

// What a device tells about itself beyond its size (printers fill in the physical page).
struct TDeviceCaps {
  int32_t LogPixelsX = 96;
  int32_t LogPixelsY = 96;
  int32_t PhysicalWidth = 0;  // 0: the device size
  int32_t PhysicalHeight = 0;
  int32_t PhysicalOffsetX = 0;
  int32_t PhysicalOffsetY = 0;
};

class TBitmap;
class TCanvas;
using HDC = TCanvas*;

// A canvas draws through a QPainter that it either owns (begun on a device on first use) or
// borrows (a paint cycle hands it over with BeginPainter). All coordinates are logical; the
// window/viewport mapping turns them into device pixels. SaveDC/RestoreDC keep the GDI state
// (selected font, colours, modes, clip, mapping, pen position).
class TCanvas : public TPersistent {
 public:
  RID_CLASS_NAME(TCanvas)
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The device the canvas paints on when it needs a painter; the painter begins lazily.
  void SetDevice(QPaintDevice* Device);
  QPaintDevice* GetDevice() const { return FDevice; }
  // Borrows an active painter (a paint cycle); Clip (device pixels) bounds every drawing.
  void BeginPainter(QPainter* Painter, const TRect& Clip);
  void EndPainter();
  // Ends a painter the canvas owns (the device may then be read or resized).
  void FreeHandle();
  bool HandleAllocated() const { return FPainter != nullptr; }
  // The painter, begun on the device when needed; null without a device.
  QPainter* RequirePainter();
  void SetDeviceCaps(const TDeviceCaps& Caps) { FCaps = Caps; }

  // --- objects; changing them re-selects font, brush and pen, as the framework's canvas does
  TFont& Font() { return FFont; }
  TBrush& Brush() { return FBrush; }
  TPen& Pen() { return FPen; }
  void SetFont(TFont& Value) { FFont.Assign(&Value); }
  TPoint GetPenPos() const { return FState.PenPos; }
  void SetPenPos(TPoint Value) { FState.PenPos = Value; }

  // --- framework drawing
  void FillRect(const TRect& R);
  void FrameRect(const TRect& R);
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void MoveTo(int32_t X, int32_t Y) { FState.PenPos = {X, Y}; }
  void LineTo(int32_t X, int32_t Y);  // the end point itself is not drawn
  void TextOut(int32_t X, int32_t Y, std::string_view Text);
  void TextRect(const TRect& R, int32_t X, int32_t Y, std::string_view Text);
  int32_t TextWidth(std::string_view Text);
  int32_t TextHeight(std::string_view Text);
  TSize TextExtent(std::string_view Text);
  // Draws a bitmap with its top-left at (X, Y); a transparent bitmap leaves its mask colour out.
  void Draw(int32_t X, int32_t Y, TBitmap& Bitmap);
  void StretchDraw(const TRect& R, TBitmap& Bitmap);
  // The clip box in logical coordinates (the whole device when nothing clips).
  TRect GetClipRect();
  TRect ClipRect() { return GetClipRect(); }

  // --- GDI on this device context
  HFONT SelectObject(HFONT Font);
  HFONT GetCurrentFont() const { return FState.Font; }
  TColor SetTextColor(TColor Color);
  TColor GetTextColor() const { return FState.TextColor; }
  TColor SetBkColor(TColor Color);
  TColor GetBkColor() const { return FState.BkColor; }
  int32_t SetBkMode(int32_t Mode);
  int32_t GetBkMode() const { return FState.BkMode; }
  int32_t SetTextCharacterExtra(int32_t Extra);
  int32_t GetTextCharacterExtra() const { return FState.CharExtra; }
  uint32_t SetTextAlign(uint32_t Align);
  uint32_t GetTextAlign() const { return FState.TextAlign; }
  // Text in code page 932 bytes. Dx (one entry per byte) gives each byte's advance; a
  // double-byte character is one glyph at its lead byte's position, advancing by both
  // entries. Without Dx each character advances by its own width plus the character extra.
  // ETO_OPAQUE fills Rect with the background colour; ETO_CLIPPED clips the text to it.
  bool ExtTextOut(int32_t X, int32_t Y, uint32_t Options, const TRect* Rect,
                  std::string_view Text, const int32_t* Dx = nullptr);
  bool GetTextExtentPoint32(std::string_view Text, TSize& Size);
  bool GetTextMetrics(TTextMetric& Metric);
  // ABC widths of one character code: a byte (0..255) or a double-byte code (lead << 8 | trail).
  // False for a code that is no character (a lone lead byte, an unassigned pair).
  bool GetCharABCWidths(uint32_t Code, TABC& Abc);
  uint32_t GetFontLanguageInfo();
  int32_t GetDeviceCaps(int32_t Index);

  int32_t SaveDC();
  // Restores the state saved by SaveDC number Saved (negative: relative to the last).
  bool RestoreDC(int32_t Saved);
  int32_t IntersectClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
  int32_t ExcludeClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
  // A rectangle in logical coordinates, or null to drop the clip set on this canvas.
  int32_t SelectClipRect(const TRect* Rect);

  int32_t SetMapMode(int32_t Mode);
  int32_t GetMapMode() const { return FState.MapMode; }
  bool SetWindowExtEx(int32_t X, int32_t Y, TSize* Old = nullptr);
  bool SetViewportExtEx(int32_t X, int32_t Y, TSize* Old = nullptr);
  bool SetWindowOrgEx(int32_t X, int32_t Y, TPoint* Old = nullptr);
  bool SetViewportOrgEx(int32_t X, int32_t Y, TPoint* Old = nullptr);
  TPoint LPtoDP(TPoint P) const;
  TPoint DPtoLP(TPoint P) const;

 private:
  struct TDCState;
  void ObjectChanged(TObject* Sender);
  void ApplyState();
  TRect DeviceRect() const;
  int32_t ClipResult();
  void DrawTextRun(QPainter& P, int32_t X, int32_t Y, std::string_view Text, const int32_t* Dx,
                   int32_t* Width);

  struct TDCState {
    HFONT Font = nullptr;
    TColor TextColor = clBlack;
    TColor BkColor = clWhite;
    int32_t BkMode = OPAQUE;
    int32_t CharExtra = 0;
    uint32_t TextAlign = TA_LEFT | TA_TOP;
    bool HasClip = false;
    std::vector<TRect> ClipRects;  // device pixels, disjoint: the clip set on this canvas
    int32_t MapMode = MM_TEXT;
    TPoint WindowOrg, ViewportOrg;
    TSize WindowExt{1, 1}, ViewportExt{1, 1};
    TPoint PenPos;
  };

  TFont FFont;
  TBrush FBrush;
  TPen FPen;
  TDCState FState;
  std::vector<TDCState> FSaved;
  QPaintDevice* FDevice = nullptr;
  QPainter* FPainter = nullptr;
  std::unique_ptr<QPainter> FOwnPainter;
  bool FHasBaseClip = false;
  TRect FBaseClip;  // device pixels: the paint cycle's update box
  TDeviceCaps FCaps;
};

// ---------------------------------------------------------------------------------------------
// Bitmaps and image lists.

class TBitmap : public TPersistent {
 public:
  RID_CLASS_NAME(TBitmap)
  TBitmap();
  ~TBitmap() override;
  void Assign(TPersistent* Source) override;

  int32_t GetWidth() const;
  int32_t GetHeight() const;
  void SetWidth(int32_t Value) { SetSize(Value, GetHeight()); }
  void SetHeight(int32_t Value) { SetSize(GetWidth(), Value); }
  // Keeps the pixels that still fit; new pixels are white.
  void SetSize(int32_t AWidth, int32_t AHeight);
  bool Empty() const { return GetWidth() == 0 || GetHeight() == 0; }

  // With Transparent on, pixels of TransparentColor are left out when the bitmap is drawn
  // (clDefault: the colour of the bottom-left pixel).
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool Value) { FTransparent = Value; }
  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor Value) { FTransparentColor = Value; }

  TCanvas& Canvas();
  // The pixels, with the canvas's painter ended first.
  const QImage& Image();
  void SetImage(const QImage& Image);
  // The image with mask-coloured pixels made fully transparent when Transparent is on.
  QImage MaskedImage();
  bool LoadFromFile(const std::string& FileName);

 private:
  std::unique_ptr<QImage> FImage;
  std::unique_ptr<TCanvas> FCanvas;
  bool FTransparent = false;
  TColor FTransparentColor = clDefault;
};

// Images of one size, each kept with its mask, drawn by index.
class TImageList : public TComponent {
 public:
  RID_CLASS_NAME(TImageList)
  explicit TImageList(TComponent* AOwner);
  ~TImageList() override;
  int32_t GetWidth() const { return FWidth; }
  int32_t GetHeight() const { return FHeight; }
  void SetSize(int32_t AWidth, int32_t AHeight);
  int32_t GetCount() const { return static_cast<int32_t>(FImages.size()); }
  // Adds an image (pixels of MaskColor transparent; clNone keeps every pixel); returns its index.
  int32_t AddMasked(TBitmap& Image, TColor MaskColor);
  int32_t Add(TBitmap& Image) { return AddMasked(Image, clNone); }
  void Clear();
  void Draw(TCanvas& Canvas, int32_t X, int32_t Y, int32_t Index, bool Enabled = true);
  TNotifyEvent OnChange;

 private:
  int32_t FWidth = 16;
  int32_t FHeight = 16;
  std::vector<std::unique_ptr<QImage>> FImages;
};

// Colour conversions shared by the platform units.
uint32_t ColorToQRgb(TColor Color);
// The colour a name of the colour table stands for ("clRed", "clHighlight", ...; ASCII case
// ignored); false for any other text.
bool IdentToColor(std::string_view Ident, TColor& Color);

}  // namespace rid
