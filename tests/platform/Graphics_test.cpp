#include "platform/Graphics.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/Locale.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

const std::string kGothic = Utf8ToSjis("ＭＳ ゴシック");
const std::string kA = Utf8ToSjis("あ");  // 82 A0

// A white image with a canvas on it.
struct TImageCanvas {
  explicit TImageCanvas(int W = 200, int H = 40) : Image(W, H, QImage::Format_RGB32) {
    Image.fill(Qt::white);
    Canvas.SetDevice(&Image);
  }
  const QImage& Done() {
    Canvas.FreeHandle();
    return Image;
  }
  QImage Image;
  TCanvas Canvas;
};

// Columns [X0, X1) that hold a non-white pixel.
int InkIn(const QImage& Img, int X0, int X1) {
  int ink = 0;
  for (int x = std::max(0, X0); x < std::min(X1, Img.width()); ++x)
    for (int y = 0; y < Img.height(); ++y)
      if ((Img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++ink;
  return ink;
}

TFont GothicFont(int Height, TFontStyles Style = {}) {
  TFont f;
  f.SetName(kGothic);
  f.SetHeight(Height);
  f.SetCharset(SHIFTJIS_CHARSET);
  f.SetPitch(fpFixed);
  f.SetStyle(Style);
  return f;
}

TEST(Graphics, FacesOfTheEditorMapToInstalledJapaneseFamilies) {
  RID_NEED_FONT("IPAGothic", "fonts-ipafont-gothic");
  RID_NEED_FONT("IPAPGothic", "fonts-ipafont-gothic");
  RID_NEED_FONT("IPAMincho", "fonts-ipafont-mincho");
  RID_NEED_FONT("IPAPMincho", "fonts-ipafont-mincho");
  EXPECT_EQ(SubstituteFontFace("Courier New", FIXED_PITCH), "IPAGothic");
  EXPECT_EQ(SubstituteFontFace(kGothic, FIXED_PITCH), "IPAGothic");
  EXPECT_EQ(SubstituteFontFace(Utf8ToSjis("ＭＳ 明朝"), FIXED_PITCH), "IPAMincho");
  EXPECT_EQ(SubstituteFontFace("ms sans serif", DEFAULT_PITCH), "IPAPGothic");
  EXPECT_EQ(SubstituteFontFace("No Such Face", FIXED_PITCH), "IPAGothic");
  EXPECT_EQ(SubstituteFontFace("Times New Roman", VARIABLE_PITCH), "IPAPMincho");
}

TEST(Graphics, FontRecordsAreRealisedOncePerRecordAndStyle) {
  TFont a = GothicFont(-16), b = GothicFont(-16);
  EXPECT_EQ(a.GetHandle(), b.GetHandle());
  b.SetStyle({fsBold});
  EXPECT_NE(a.GetHandle(), b.GetHandle());
  EXPECT_EQ(GetFontLogFont(b.GetHandle()).lfWeight, FW_BOLD);
  // Bytes after the face's terminator do not split a font.
  TLogFont lf = a.GetLogFont();
  lf.lfFaceName[LF_FACESIZE - 2] = 'x';
  EXPECT_EQ(CreateFontIndirect(lf), a.GetHandle());
}

TEST(Graphics, FontSizeAndHeightFollowTheResolution) {
  TFont f;
  int changes = 0;
  f.OnChange = [&](TObject*) { ++changes; };
  f.SetSize(10);
  EXPECT_EQ(f.GetHeight(), -13);
  EXPECT_EQ(f.GetSize(), 10);
  f.SetSize(10);
  EXPECT_EQ(changes, 1);
  f.SetPixelsPerInch(600);
  f.SetSize(10);
  EXPECT_EQ(f.GetHeight(), -83);
  // A long face name is cut at a character boundary, never inside a double-byte character.
  TLogFont lf;
  std::string face = "a";
  for (int i = 0; i < 20; ++i) face += kA;
  SetLogFontFaceName(lf, face);
  EXPECT_EQ(std::string(lf.lfFaceName), face.substr(0, 31));
}

TEST(Graphics, MetricsOfTheFixedJapaneseFont) {
  TCanvas c;
  TFont f = GothicFont(-16);
  c.SetFont(f);
  TTextMetric tm;
  ASSERT_TRUE(c.GetTextMetrics(tm));
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  EXPECT_GE(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmAveCharWidth, 8);
  EXPECT_GE(tm.tmMaxCharWidth, 16);
  EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
  EXPECT_EQ(tm.tmOverhang, 0);
  EXPECT_EQ(c.GetFontLanguageInfo(), GCP_DBCS);

  TABC m, a, b;
  ASSERT_TRUE(c.GetCharABCWidths('M', m));
  EXPECT_EQ(m.abcA + int32_t(m.abcB) + m.abcC, 8);
  ASSERT_TRUE(c.GetCharABCWidths(0x82A0, a));
  EXPECT_EQ(a.abcA + int32_t(a.abcB) + a.abcC, 16);
  // A pair the code page lacks measures as the default character, full width.
  ASSERT_TRUE(c.GetCharABCWidths(0x8201, b));
  EXPECT_EQ(b.abcA + int32_t(b.abcB) + b.abcC, 16);
  EXPECT_FALSE(c.GetCharABCWidths(0x82, a));  // a lone lead byte is no character
  EXPECT_FALSE(c.GetCharABCWidths(0x4142, a));
  EXPECT_EQ(c.TextWidth("ab" + kA), 32);
  EXPECT_EQ(c.TextHeight("W"), tm.tmHeight);
  c.SetTextCharacterExtra(2);
  EXPECT_EQ(c.TextWidth("ab" + kA), 38);
}

TEST(Graphics, ExtTextOutPutsEachByteGlyphInItsCell) {
  for (TFontStyles style : {TFontStyles{}, TFontStyles{fsBold}}) {
    TImageCanvas ic;
    TFont f = GothicFont(-16, style);
    ic.Canvas.SetFont(f);
    const std::string text = "W" + kA + "W";
    const int32_t dx[] = {10, 10, 10, 10};
    ic.Canvas.SetBkMode(TRANSPARENT);
    ASSERT_TRUE(ic.Canvas.ExtTextOut(20, 5, 0, nullptr, text, dx));
    const QImage& img = ic.Done();
    EXPECT_EQ(InkIn(img, 0, 20), 0);
    EXPECT_GT(InkIn(img, 20, 30), 0) << "W in the first cell";
    // The double-byte glyph spans the two cells of its bytes.
    EXPECT_GT(InkIn(img, 30, 40), 0);
    EXPECT_GT(InkIn(img, 40, 50), 0);
    EXPECT_GT(InkIn(img, 50, 60), 0) << "W in the fourth cell";
    EXPECT_EQ(InkIn(img, 61, 200), 0) << "bold keeps the cell width";
  }
}

TEST(Graphics, BoldDrawsHeavierInTheSameCells) {
  auto ink = [](TFontStyles style) {
    TImageCanvas ic;
    TFont f = GothicFont(-16, style);
    ic.Canvas.SetFont(f);
    const int32_t dx[] = {8, 8, 8, 8};
    ic.Canvas.ExtTextOut(0, 0, 0, nullptr, "MMMM", dx);
    return std::make_pair(InkIn(ic.Done(), 0, 33), InkIn(ic.Image, 33, 200));
  };
  const auto normal = ink({});
  const auto bold = ink({fsBold});
  EXPECT_GT(bold.first, normal.first);
  EXPECT_EQ(bold.second, 0);
}

TEST(Graphics, OpaqueRectangleAndClippingOptions) {
  TImageCanvas ic;
  TFont f = GothicFont(-16);
  ic.Canvas.SetFont(f);
  ic.Canvas.SetBkColor(clBlue);
  ic.Canvas.SetBkMode(TRANSPARENT);
  const TRect r = Rect(10, 0, 30, 20);
  ic.Canvas.ExtTextOut(10, 0, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWW");
  const QImage& img = ic.Done();
  EXPECT_EQ(img.pixel(11, 19) & 0xFFFFFF, 0x0000FFu);  // filled with the background colour
  EXPECT_EQ(InkIn(img, 30, 200), 0);                   // clipped to the rectangle
  EXPECT_EQ(img.pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);

  // Opaque mode fills the text cells; transparent leaves the background.
  TImageCanvas o;
  o.Canvas.SetFont(f);
  o.Canvas.SetBkColor(clRed);
  o.Canvas.SetBkMode(OPAQUE);
  o.Canvas.TextOut(0, 0, "  ");
  EXPECT_EQ(o.Done().pixel(15, 2) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(o.Image.pixel(17, 2) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(Graphics, SaveAndRestoreKeepTheDeviceContextState) {
  TImageCanvas ic(100, 100);
  TCanvas& c = ic.Canvas;
  TFont f = GothicFont(-16);
  c.SetFont(f);
  const HFONT base = c.GetCurrentFont();
  const int32_t saved = c.SaveDC();
  TFont bold = GothicFont(-16, {fsBold});
  c.SelectObject(bold.GetHandle());
  c.SetTextColor(clRed);
  c.IntersectClipRect(0, 0, 10, 10);
  EXPECT_EQ(c.GetClipRect(), Rect(0, 0, 10, 10));
  c.Brush().SetColor(clBlack);
  c.FillRect(Rect(0, 0, 50, 50));
  ASSERT_TRUE(c.RestoreDC(saved));
  EXPECT_EQ(c.GetCurrentFont(), base);
  EXPECT_EQ(c.GetTextColor(), ColorToRGB(clWindowText));
  EXPECT_EQ(c.GetClipRect(), Rect(0, 0, 100, 100));
  const QImage& img = ic.Done();
  EXPECT_EQ(img.pixel(5, 5) & 0xFFFFFF, 0u);
  EXPECT_EQ(img.pixel(20, 20) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_FALSE(c.RestoreDC(5));
}

TEST(Graphics, AnisotropicMappingScalesLogicalUnits) {
  TImageCanvas ic(100, 100);
  TCanvas& c = ic.Canvas;
  c.SetMapMode(MM_ANISOTROPIC);
  c.SetWindowExtEx(1000, 1000);
  c.SetViewportExtEx(50, 50);
  c.SetViewportOrgEx(10, 10);
  EXPECT_EQ(c.LPtoDP(Point(1000, 500)), Point(60, 35));
  EXPECT_EQ(c.DPtoLP(Point(60, 35)), Point(1000, 500));
  c.IntersectClipRect(0, 0, 600, 600);  // device 10..40
  c.Brush().SetColor(clBlack);
  c.FillRect(Rect(0, 0, 1000, 1000));
  const QImage& img = ic.Done();
  EXPECT_EQ(img.pixel(12, 12) & 0xFFFFFF, 0u);
  EXPECT_EQ(img.pixel(45, 45) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(img.pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(Graphics, LinesFramesAndRectangles) {
  TImageCanvas ic(50, 50);
  TCanvas& c = ic.Canvas;
  c.Pen().SetColor(clBlack);
  c.MoveTo(0, 0);
  c.LineTo(10, 0);  // the end point is left for the next line
  c.Brush().SetColor(clRed);
  c.FrameRect(Rect(20, 20, 30, 30));
  c.Brush().SetColor(clLime);
  c.Rectangle(0, 35, 10, 45);
  const QImage& img = ic.Done();
  EXPECT_EQ(img.pixel(9, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(img.pixel(10, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(c.GetPenPos(), Point(10, 0));
  EXPECT_EQ(img.pixel(20, 25) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(img.pixel(29, 25) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(img.pixel(25, 25) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(img.pixel(0, 40) & 0xFFFFFF, 0u);         // pen outline
  EXPECT_EQ(img.pixel(5, 40) & 0xFFFFFF, 0x00FF00u);  // brush inside
  EXPECT_EQ(img.pixel(10, 40) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(Graphics, TransparentBitmapsAndImageListsLeaveTheMaskOut) {
  TBitmap bmp;
  bmp.SetSize(4, 4);
  bmp.Canvas().Brush().SetColor(clLime);
  bmp.Canvas().FillRect(Rect(0, 0, 4, 4));
  bmp.Canvas().Brush().SetColor(clRed);
  bmp.Canvas().FillRect(Rect(1, 1, 3, 3));
  bmp.SetTransparent(true);
  EXPECT_EQ(bmp.GetTransparentColor(), clLime);  // the bottom-left pixel by default

  TImageCanvas ic(20, 20);
  ic.Canvas.Draw(2, 2, bmp);
  TImageList list(nullptr);
  list.SetSize(4, 4);
  EXPECT_EQ(list.AddMasked(bmp, clLime), 0);
  list.Draw(ic.Canvas, 10, 10, 0);
  list.Draw(ic.Canvas, 10, 10, 7);  // no such image: nothing
  const QImage& img = ic.Done();
  EXPECT_EQ(img.pixel(2, 2) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(img.pixel(3, 3) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(img.pixel(10, 10) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(img.pixel(12, 12) & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
}  // namespace rid
