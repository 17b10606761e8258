#include "editor/RidTextDrawer.h"

#include <gtest/gtest.h>

#include <QImage>

#include "tests/TestSupport.h"

namespace rid {
namespace {

std::unique_ptr<TFont> MakeFont(const char* Name, int32_t Height, TFontStyles Style = {}) {
  auto f = std::make_unique<TFont>();
  f->SetName(Name);
  f->SetHeight(Height);
  f->SetStyle(Style);
  return f;
}

// Counts the fonts it makes, to see which style variants are shared.
class TCountingStock : public TheFontStock {
 public:
  using TheFontStock::TheFontStock;
  int Created = 0;

 protected:
  HFONT CreateStyledFont(TFontStyles Style) override {
    ++Created;
    return TheFontStock::CreateStyledFont(Style);
  }
};

TFontStyles StyleOf(int Index) { return TFontStyles::FromBits(static_cast<uint32_t>(Index)); }

TEST(FontCache, EqualFontsShareOneRecord) {
  auto plain = MakeFont("IPAGothic", -15);
  auto italic = MakeFont("IPAGothic", -15, {fsItalic, fsUnderline});
  auto bigger = MakeFont("IPAGothic", -21);
  const int32_t before = GetFontsInfoManager().GetCount();
  TheFontStock a(plain.get());
  auto b = std::make_unique<TheFontStock>(italic.get());
  TheFontStock c(bigger.get());
  EXPECT_EQ(GetFontsInfoManager().GetCount(), before + 2);
  ASSERT_EQ(a.GetFontsInfo(), b->GetFontsInfo());
  EXPECT_NE(a.GetFontsInfo(), c.GetFontsInfo());
  EXPECT_EQ(a.GetFontsInfo()->RefCount, 2);
  // Giving the same font again keeps one reference per stock.
  a.SetBaseFont(italic.get());
  EXPECT_EQ(a.GetFontsInfo()->RefCount, 2);

  b.reset();
  EXPECT_EQ(a.GetFontsInfo()->RefCount, 1);
  EXPECT_NE(a.GetFontData(0)->Handle, nullptr);  // still locked by the other stock
  EXPECT_EQ(GetFontsInfoManager().GetCount(), before + 2);
}

TEST(FontCache, StyleVariantsAreCreatedOnce) {
  auto font = MakeFont("IPAGothic", -17);
  TCountingStock a(font.get());
  TCountingStock b(font.get());
  for (int pass = 0; pass < 2; ++pass)
    for (int s = 0; s < 16; ++s) a.SetStyle(StyleOf(s));
  EXPECT_EQ(a.Created, 15);  // the plain variant was made while setting the base font
  for (int s = 0; s < 16; ++s) b.SetStyle(StyleOf(s));
  EXPECT_EQ(b.Created, 0);
  for (int s = 0; s < 16; ++s) EXPECT_NE(a.GetFontData(s)->Handle, nullptr) << s;
  EXPECT_EQ(a.GetFontData(1)->Handle, b.GetFontData(1)->Handle);

  // Handles go when the last lock goes and come back on demand.
  a.DeactivateFontsInfo();
  EXPECT_NE(a.GetFontData(3)->Handle, nullptr);
  b.DeactivateFontsInfo();
  EXPECT_EQ(a.GetFontData(3)->Handle, nullptr);
  a.SetStyle(StyleOf(3));
  EXPECT_EQ(a.Created, 16);
  EXPECT_NE(a.GetFontHandle(), nullptr);
}

TEST(FontCache, DoubleByteAdvanceIsTwoCellsForAJapaneseFixedFont) {
  RID_NEED_FONT("IPAGothic", "fonts-ipafont-gothic");
  RID_NEED_FONT("IPAPGothic", "fonts-ipafont-gothic");
  RID_NEED_FONT("DejaVu Sans Mono", "fonts-dejavu-core");
  auto gothic = MakeFont("IPAGothic", -16);
  TheFontStock japanese(gothic.get());
  EXPECT_TRUE(japanese.IsDBCSFont());
  ASSERT_GT(japanese.GetCharAdvance(), 0);
  EXPECT_EQ(japanese.GetDBCSAdvance(), 2 * japanese.GetCharAdvance());
  EXPECT_GE(japanese.GetCharHeight(), 16);

  // A proportional Japanese font: its full-width glyphs are not two equal wide cells.
  auto proportional = MakeFont("IPAPGothic", -16);
  TheFontStock narrowCells(proportional.get());
  EXPECT_TRUE(narrowCells.IsDBCSFont());
  EXPECT_EQ(narrowCells.GetDBCSAdvance(), MaxInt);

  auto latin = MakeFont("DejaVu Sans Mono", -16);
  TheFontStock western(latin.get());
  EXPECT_FALSE(western.IsDBCSFont());
  EXPECT_EQ(western.GetDBCSAdvance(), 0);
}

TEST(FontCache, MissingFontsAreRefused) {
  EXPECT_THROW(TheFontStock(nullptr), EheFontStockException);
  auto font = MakeFont("IPAGothic", -16);
  TheFontStock stock(font.get());
  try {
    stock.SetBaseFont(nullptr);
    FAIL();
  } catch (const EheFontStockException& e) {
    EXPECT_STREQ(e.what(), "SetBaseFont: 'Value' must be specified.");
  }
  EXPECT_THROW(TheTextDrawer({}, nullptr), EheTextDrawerException);
  TheTextDrawer drawer({}, font.get());
  EXPECT_THROW(drawer.SetBaseFont(nullptr), EheTextDrawerException);
}

// An image with a canvas on it.
struct TSurface {
  explicit TSurface(int W = 240, int H = 24) : Image(W, H, QImage::Format_RGB32) {
    Image.fill(Qt::white);
    Canvas.SetDevice(&Image);
    Canvas.SetBkMode(TRANSPARENT);
  }
  const QImage& Read() {
    Canvas.FreeHandle();
    return Image;
  }
  QImage Image;
  TCanvas Canvas;
};

TEST(TextDrawer, DistanceArrayGrowsInBlocksOf64AndFollowsTheCellWidth) {
  auto font = MakeFont("IPAGothic", -16);
  TheTextDrawer drawer({}, font.get());
  TSurface s;
  const TRect r = Rect(0, 0, 240, 24);
  drawer.BeginDrawing(&s.Canvas);
  drawer.ExtTextOut(0, 0, 0, r, std::string(10, 'a'));
  EXPECT_EQ(drawer.GetETODist().size(), 64u);
  drawer.ExtTextOut(0, 0, 0, r, std::string(100, 'a'));
  EXPECT_EQ(drawer.GetETODist().size(), 128u);
  drawer.ExtTextOut(0, 0, 0, r, std::string(128, 'a'));
  EXPECT_EQ(drawer.GetETODist().size(), 128u);
  drawer.ExtTextOut(0, 0, 0, r, std::string(129, 'a'));
  EXPECT_EQ(drawer.GetETODist().size(), 192u);
  const int32_t cell = drawer.GetCharWidth();
  for (int32_t d : drawer.GetETODist()) ASSERT_EQ(d, cell);

  // A new character extra must not leave the old distances in place.
  drawer.SetCharExtra(3);
  EXPECT_EQ(drawer.GetCharWidth(), cell + 3);
  drawer.ExtTextOut(0, 0, 0, r, std::string(10, 'a'));
  for (int32_t d : drawer.GetETODist()) ASSERT_EQ(d, cell + 3);
  drawer.SetBaseStyle({fsBold});
  EXPECT_TRUE(drawer.GetETODist().empty());
  drawer.EndDrawing();
}

TEST(TextDrawer, DrawingBracketsNestAndRestoreTheContext) {
  auto font = MakeFont("IPAGothic", -16);
  TheTextDrawer drawer({}, font.get());
  TSurface s, other;
  s.Canvas.SetTextColor(clRed);
  drawer.SetForeColor(clBlue);
  drawer.BeginDrawing(&s.Canvas);
  drawer.BeginDrawing(&s.Canvas);
  EXPECT_EQ(s.Canvas.GetTextColor(), clBlue);
  EXPECT_THROW(drawer.BeginDrawing(&other.Canvas), EAssertionFailed);
  drawer.SetForeColor(clLime);
  EXPECT_EQ(s.Canvas.GetTextColor(), clLime);
  drawer.EndDrawing();
  EXPECT_EQ(s.Canvas.GetCurrentFont(), drawer.GetFontStock().GetFontHandle());
  drawer.EndDrawing();
  EXPECT_EQ(s.Canvas.GetTextColor(), clRed);
  EXPECT_THROW(drawer.EndDrawing(), EAssertionFailed);
  EXPECT_THROW(drawer.BeginDrawing(nullptr), EAssertionFailed);
  drawer.BeginDrawing(&other.Canvas);
  drawer.EndDrawing();
}

// Pixels that differ clearly between two images.
int DifferentPixels(const QImage& A, const QImage& B) {
  int n = 0;
  for (int y = 0; y < A.height(); ++y)
    for (int x = 0; x < A.width(); ++x) {
      const QRgb a = A.pixel(x, y), b = B.pixel(x, y);
      if (std::abs(qRed(a) - qRed(b)) > 80 || std::abs(qGreen(a) - qGreen(b)) > 80 ||
          std::abs(qBlue(a) - qBlue(b)) > 80)
        ++n;
    }
  return n;
}

int InkColumns(const QImage& Img, int From, int To) {
  int n = 0;
  for (int x = From; x < To; ++x)
    for (int y = 0; y < Img.height(); ++y)
      if (qGray(Img.pixel(x, y)) < 128) {
        ++n;
        break;
      }
  return n;
}

// Drawing a run through the drawer must give the picture of drawing each character alone at
// its cell: every byte advances one cell whatever the style and the font's own advances.
TEST(TextDrawer, EveryCharacterSitsInItsCellInEveryStyle) {
  RID_NEED_FONT("IPAGothic", "fonts-ipafont-gothic");
  RID_NEED_FONT("IPAPGothic", "fonts-ipafont-gothic");
  const std::string text =
      "Mi\x82\xa0W_\x83\x5c"
      "a";  // M i あ W _ ソ a: 9 bytes
  const int cells[] = {0, 1, 2, 4, 5, 6, 8};
  const int lengths[] = {1, 1, 2, 1, 1, 2, 1};
  QImage sheet(260, 24 * 32, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  int row = 0;
  for (const char* face : {"IPAGothic", "IPAPGothic"}) {
    auto font = MakeFont(face, -16);
    TheTextDrawer drawer({}, font.get());
    drawer.SetForeColor(clBlack);
    drawer.SetCharExtra(face[3] == 'P' ? 2 : 0);
    const int cw = drawer.GetCharWidth();
    ASSERT_GT(cw, 0);
    for (int style = 0; style < 16; ++style, ++row) {
      drawer.SetStyle(StyleOf(style));
      TSurface run, single;
      const TRect r = Rect(0, 0, 240, 24);
      drawer.BeginDrawing(&run.Canvas);
      drawer.ExtTextOut(4, 2, 0, r, text);
      drawer.EndDrawing();
      drawer.BeginDrawing(&single.Canvas);
      size_t at = 0;
      for (size_t i = 0; i < std::size(cells); ++i) {
        drawer.ExtTextOut(4 + cells[i] * cw, 2, 0, r, text.substr(at, lengths[i]));
        at += lengths[i];
      }
      drawer.EndDrawing();
      const QImage& a = run.Read();
      EXPECT_LE(DifferentPixels(a, single.Read()), 3) << face << " style " << style;
      // In the fixed font the double-byte glyph is one glyph over both of its cells.
      if ((style & 12) == 0 && face[3] != 'P') {
        EXPECT_GT(InkColumns(a, 4 + 2 * cw + 1, 4 + 3 * cw), 0) << face << " style " << style;
        EXPECT_GT(InkColumns(a, 4 + 3 * cw, 4 + 4 * cw - 1), 0) << face << " style " << style;
      }
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 240; ++x) sheet.setPixel(x + 10, row * 24 + y, a.pixel(x, y));
    }
  }
  sheet.save(QString::fromStdString((test::ArtifactDir() / "TextDrawer_styles.png").string()));
}

}  // namespace
}  // namespace rid
