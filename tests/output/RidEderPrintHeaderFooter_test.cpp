#include "output/RidEderPrintHeaderFooter.h"

#include <gtest/gtest.h>

#include <QImage>

#include "editor/RidEderMiscProcs.h"
#include "output/RidEderPrintMargins.h"
#include "platform/Locale.h"

namespace rid {
namespace {

const std::string kHyo = "\x95\x5c";  // 表: trail byte "\"
const std::string kSo = "\x83\x5c";   // ソ
const std::string kNou = "\x94\x5c";  // 能

TEST(HeaderFooter, ExpandsMacrosInAnyCase) {
  struct Case {
    std::string Text;
    bool Roman;
    std::string Expected;
  };
  const Case cases[] = {
      {"Page $PAGENUM$ of $PAGECOUNT$", false, "Page 3 of 12"},
      {"Page $PAGENUM$ of $PAGECOUNT$", true, "Page III of XII"},
      {"$pagenum$/$PageCount$", false, "3/12"},
      {"$FOO$", false, "$FOO$"},
      {"100$", false, "100$"},
      {"$X$PAGENUM$", false, "$X3"},  // an unknown word's closing "$" opens the next
      {"$$PAGENUM$$", false, "$3$"},
      {"$TITLE$ - $DATE$ $TIME$", false, "T - 2024/05/06 07:08:09"},
      {"[$DATETIME$] [$TIMEDATE$]", false, "[2024/05/06 07:08:09] [07:08:09 2024/05/06]"},
      {kHyo + "$PAGENUM$" + kSo + "$", false, kHyo + "3" + kSo + "$"},
      {"   ", false, ""},
      {"", false, ""},
      {" $PAGENUM$ ", false, " 3 "},
  };
  for (const Case& c : cases) {
    THeaderFooterItem item;
    item.SetText(c.Text);
    EXPECT_EQ(item.GetText(12, 3, c.Roman, "T", "07:08:09", "2024/05/06"), c.Expected) << c.Text;
  }
}

TEST(HeaderFooter, WritesRomanNumerals) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, ""},    {1, "I"},    {4, "IV"},         {9, "IX"},           {14, "XIV"},   {40, "XL"},
      {90, "XC"}, {400, "CD"}, {1994, "MCMXCIV"}, {3999, "MMMCMXCIX"}, {4000, "MMMM"}};
  for (const auto& [n, roman] : cases) EXPECT_EQ(IntToRoman(n), roman) << n;
}

TEST(HeaderFooter, AsStringKeepsItemsWithEscapesTrailBytesAndRenumberedLines) {
  THeader h;
  TFont bold;
  bold.SetName(Utf8ToSjis("ＭＳ ゴシック") + kHyo);
  bold.SetSize(14);
  bold.SetColor(0x123456);
  bold.SetStyle({fsBold, fsUnderline});
  bold.SetCharset(SHIFTJIS_CHARSET);
  h.Add("a/b\\c", nullptr, taLeftJustify, 1);
  h.Add(kHyo + kSo + kNou + "/" + kSo + "\\", &bold, taCenter, 3);
  h.Add("$PAGENUM$//\\\\", nullptr, taRightJustify, 3);
  const std::string text = h.GetAsString();
  EXPECT_EQ(h.Get(1).GetLineNumber(), 2);  // 1, 3, 3 are written as 1, 2, 2
  EXPECT_EQ(h.Get(2).GetLineNumber(), 2);

  TFooter f;
  f.SetAsString(text);
  ASSERT_EQ(f.Count(), 3);
  for (int32_t i = 0; i < 3; ++i) {
    THeaderFooterItem& a = h.Get(i);
    THeaderFooterItem& b = f.Get(i);
    EXPECT_EQ(b.GetText(), a.GetText());
    EXPECT_EQ(b.GetLineNumber(), a.GetLineNumber());
    EXPECT_EQ(b.GetAlignment(), a.GetAlignment());
    EXPECT_EQ(b.GetFont().GetName(), a.GetFont().GetName());
    EXPECT_EQ(b.GetFont().GetSize(), a.GetFont().GetSize());
    EXPECT_EQ(b.GetFont().GetHeight(), a.GetFont().GetHeight());
    EXPECT_EQ(b.GetFont().GetColor(), a.GetFont().GetColor());
    EXPECT_EQ(b.GetFont().GetStyle(), a.GetFont().GetStyle());
    EXPECT_EQ(b.GetFont().GetCharset(), a.GetFont().GetCharset());
  }
  EXPECT_EQ(f.GetAsString(), text);
  f.SetAsString("");
  EXPECT_EQ(f.Count(), 0);
  EXPECT_EQ(f.GetAsString(), "");
}

TEST(HeaderFooter, FieldsThatAreNoNumbersTakeTheDefaults) {
  THeader h;
  // text/charset/colour/height/name/pitch/ppi/size/style/line/alignment
  THeaderFooterItem item;
  item.SetAsString("x/cs/red/tall/Face/p/dpi/big/s/l/a", h.GetDefaultFont());
  const TFont& d = h.GetDefaultFont();
  EXPECT_EQ(item.GetText(), "x");
  EXPECT_EQ(item.GetFont().GetCharset(), d.GetCharset());
  EXPECT_EQ(item.GetFont().GetColor(), d.GetColor());
  EXPECT_EQ(item.GetFont().GetPitch(), d.GetPitch());
  EXPECT_EQ(item.GetFont().GetPixelsPerInch(), d.GetPixelsPerInch());
  EXPECT_EQ(item.GetFont().GetStyle(), d.GetStyle());
  EXPECT_EQ(item.GetFont().GetName(), "Face");
  EXPECT_EQ(item.GetFont().GetSize(), 0);
  EXPECT_EQ(item.GetLineNumber(), 0);
  EXPECT_EQ(item.GetAlignment(), 0);
  // A resolution and size whose pixel height overflows: the defaults, and the text that is
  // written then reads back as itself.
  item.SetAsString("x/1/0/1/Face/0/333333/3331666/0/1/0", d);
  EXPECT_EQ(item.GetFont().GetPixelsPerInch(), d.GetPixelsPerInch());
  EXPECT_EQ(item.GetFont().GetSize(), 0);
  for (const char* text : {"x/1/0/1/F/0/333333/3331666/0/1/0", "x/1/0/1/F/0/1/50/0/1/0",
                           "x/1/0/1/F/0/10000/-10000/0/1/0", "x/1/0/1/F/0/-7/9/0/1/0"}) {
    THeaderFooterItem once, twice;
    once.SetAsString(text, d);
    twice.SetAsString(once.GetAsString(), d);
    EXPECT_EQ(twice.GetAsString(), once.GetAsString()) << text;
  }
  // Short texts leave the rest to the defaults too; a whole header of them loads.
  h.SetAsString("only");
  ASSERT_EQ(h.Count(), 1);
  EXPECT_EQ(h.Get(0).GetText(), "only");
  h.SetAsString(EncodeString("a\\./1/2/3/4/5/6/7/8/9/7"));
  ASSERT_EQ(h.Count(), 1);
  EXPECT_EQ(h.Get(0).GetText(), "a/");
  EXPECT_EQ(h.Get(0).GetAlignment(), 7);  // kept; printed as left
}

// A header drawn on a 1000 x 300 picture with the margins set by hand.
class HeaderPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    Image = QImage(1000, 300, QImage::Format_RGB32);
    Image.fill(Qt::white);
    Canvas.SetDevice(&Image);
    Margins.PLeft = 10;
    Margins.PRight = 990;
    Margins.PHeader = 200;
    Margins.PFooter = 100;
    Margins.PLeftHFTextIndent = 20;
    Margins.PRightHFTextIndent = 980;
    Margins.PHFInternalMargin = 2;
  }
  void Draw(THeaderFooter& Part, int32_t Page) {
    Part.InitPrint(Canvas, 9, "T", &Margins);
    Part.Print(Canvas, Page);
    Canvas.FreeHandle();
  }
  // The columns holding dark pixels between rows Y1 and Y2.
  std::pair<int, int> InkColumns(int Y1, int Y2) const {
    int first = -1, last = -1;
    for (int x = 0; x < Image.width(); ++x)
      for (int y = Y1; y < Y2; ++y)
        if (qGray(Image.pixel(x, y)) < 128) {
          if (first < 0) first = x;
          last = x;
          break;
        }
    return {first, last};
  }
  QImage Image;
  TCanvas Canvas;
  TRidEderPrintMargins Margins;
};

TEST_F(HeaderPicture, WithoutItemsNothingIsDrawn) {
  THeader h;
  Draw(h, 1);
  EXPECT_EQ(h.GetFrameHeight(), -1);
  EXPECT_EQ(InkColumns(0, 300).first, -1);
}

TEST_F(HeaderPicture, LinesTakeTheTallestFontAndMirroringSwapsSides) {
  THeader h;
  TFont big;
  big.SetName("IPAGothic");
  big.SetHeight(-40);
  TFont small;
  small.SetName("IPAGothic");
  small.SetHeight(-16);
  h.Add("WWW", &small, taLeftJustify, 2);
  h.Add("W", &big, taRightJustify, 2);
  h.Add("WW", &small, taCenter, 5);
  h.SetMirrorPosition(true);
  h.SetFrameTypes({});
  Canvas.Font().Assign(&big);
  const int32_t bigH = Canvas.TextHeight("W");
  Canvas.Font().Assign(&small);
  const int32_t smallH = Canvas.TextHeight("W");
  Draw(h, 1);
  EXPECT_EQ(h.GetFrameHeight(), bigH + smallH + 2 * 2);
  const int top = 200 - h.GetFrameHeight();
  const auto firstLine = InkColumns(top, top + bigH);
  EXPECT_NEAR(firstLine.first, 20, 4);    // left item at the left indent
  EXPECT_NEAR(firstLine.second, 980, 4);  // right item ends at the right indent
  const auto secondLine = InkColumns(top + bigH + 2, 200);
  EXPECT_NEAR((secondLine.first + secondLine.second) / 2, 500, 4);  // centred
  // On an even page left and right change places; centred stays. An alignment no version
  // wrote is kept and drawn at the left indent on every page.
  for (int32_t alignment : {taLeftJustify, 7}) {
    THeader one;
    one.Add("WWW", &small, alignment, 1);
    one.SetMirrorPosition(true);
    for (int32_t page : {1, 2}) {
      Image.fill(Qt::white);
      Draw(one, page);
      const auto ink = InkColumns(0, 200);
      const bool right = alignment == taLeftJustify && page == 2;
      EXPECT_NEAR(right ? ink.second : ink.first, right ? 980 : 20, 4) << alignment << " " << page;
    }
  }
}

TEST_F(HeaderPicture, FramesAreALineABoxOrAShadedBox) {
  struct Case {
    TFrameTypes Frame;
    QRgb AboveLine;  // inside the frame, left of the text
    bool LineDrawn;
  };
  const Case cases[] = {{{ftLine}, qRgb(255, 255, 255), true},
                        {{ftShaded}, qRgb(0xC0, 0xC0, 0xC0), false},
                        {{ftBox, ftShaded}, qRgb(0xC0, 0xC0, 0xC0), true},
                        {{}, qRgb(255, 255, 255), false}};
  for (const Case& c : cases) {
    Image.fill(Qt::white);
    TFooter f;
    f.Add("x", nullptr, taRightJustify, 1);
    f.SetFrameTypes(c.Frame);
    Draw(f, 1);
    ASSERT_GT(f.GetFrameHeight(), 4);
    EXPECT_EQ(Image.pixel(15, 100 + f.GetFrameHeight() / 2), c.AboveLine);
    EXPECT_EQ(qGray(Image.pixel(500, 100)) < 128, c.LineDrawn);
    EXPECT_EQ(Image.pixel(500, 99), qRgb(255, 255, 255));  // nothing above the footer
  }
}

}  // namespace
}  // namespace rid
