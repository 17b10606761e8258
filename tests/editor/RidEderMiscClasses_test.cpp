#include "editor/RidEderMiscClasses.h"

#include <gtest/gtest.h>

#include <QImage>
#include <random>
#include <sstream>

#include "tests/TestSupport.h"

namespace rid {
namespace {

struct TCounter {
  int Count = 0;
  void Changed(TObject*) { ++Count; }
  TNotifyEvent Event() { return TNotifyEvent(this, &TCounter::Changed); }
};

TEST(Gutter, FormatsLineNumbersAsPrintf) {
  RID_NEED_TOOL("printf", "coreutils");
  struct Case {
    int digits;
    bool zeros, zeroStart;
    int start, line;
  };
  const Case cases[] = {
      {4, false, false, 1, 7},   {4, true, false, 1, 7},   {4, true, false, 1, 12345},
      {2, false, false, 1, 123}, {12, true, false, 1, 1},  {3, false, true, 1, 1},
      {3, true, true, 1, 1},     {4, false, false, 10, 1}, {5, true, false, 10, 995},
      {6, true, false, 0, 1},    {2, true, false, 1, 5}};
  std::string script, ours;
  for (const Case& c : cases) {
    TRidGutter g;
    g.SetDigitCount(c.digits);
    g.SetLeadingZeros(c.zeros);
    g.SetLineNumberStart(c.start);
    if (c.zeroStart) g.SetZeroStart(true);
    ours += g.FormatLineNumber(c.line) + "\n";
    const int shown = g.GetZeroStart() ? c.line - 1 : c.start > 1 ? c.line + c.start - 1 : c.line;
    script += std::string("printf '%") + (c.zeros ? "0" : "") + "*d\\n' " +
              std::to_string(g.GetAutoSizeDigitCount()) + " " + std::to_string(shown) + ";";
  }
  EXPECT_EQ(ours, test::RunTool(script));
}

TEST(Gutter, LineNumberStartDecidesZeroStart) {
  TRidGutter g;
  g.SetLineNumberStart(0);
  EXPECT_TRUE(g.GetZeroStart());
  EXPECT_EQ(g.FormatLineNumber(1), "   0");
  g.SetLineNumberStart(10);
  EXPECT_FALSE(g.GetZeroStart());
  EXPECT_EQ(g.FormatLineNumber(1), "  10");
  g.SetLineNumberStart(-4);
  EXPECT_EQ(g.GetLineNumberStart(), 0);
  EXPECT_TRUE(g.GetZeroStart());
  // A zero start set by hand wins over a start above 1.
  g.SetLineNumberStart(10);
  g.SetZeroStart(true);
  EXPECT_EQ(g.FormatLineNumber(1), "   0");
}

TEST(Gutter, AutoSizeCountsTheDigitsOfTheLargestNumber) {
  TRidGutter g;
  TCounter changes;
  g.OnChange = changes.Event();
  g.AutoSizeDigitCount(12345);  // not all of Visible, AutoSize, ShowLineNumbers
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 4);
  g.SetShowLineNumbers(true);
  g.SetAutoSize(true);
  changes.Count = 0;
  g.AutoSizeDigitCount(12345);
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 5);
  EXPECT_EQ(g.RealGutterWidth(8), 16 + 2 + 40 + 2);
  g.AutoSizeDigitCount(12345);
  EXPECT_EQ(changes.Count, 1);
  g.AutoSizeDigitCount(10);
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 4);  // never below DigitCount
  g.SetLineNumberStart(99991);              // shows 99991 .. 100000 for ten lines
  g.AutoSizeDigitCount(10);
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 6);
  g.SetLineNumberStart(0);  // zero start: 10000 lines show 0 .. 9999
  g.AutoSizeDigitCount(10000);
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 4);
  // A start near the top of the integer range: numbers past 32 bits are counted and shown.
  g.SetLineNumberStart(2147483647);
  g.AutoSizeDigitCount(3);
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 10);
  EXPECT_EQ(g.FormatLineNumber(3), "2147483649");
  g.SetLineNumberStart(0);
  g.SetVisible(false);
  EXPECT_EQ(g.RealGutterWidth(8), 0);
  g.AutoSizeDigitCount(1000000);
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 4);
  g.SetVisible(true);
  g.SetShowLineNumbers(false);
  EXPECT_EQ(g.RealGutterWidth(8), 30);
}

TEST(Gutter, SettersClampStoreChangesOnlyAndNotifyOnce) {
  TRidGutter g;
  TCounter changes;
  g.OnChange = changes.Event();
  g.SetDigitCount(20);
  EXPECT_EQ(g.GetDigitCount(), 12);
  EXPECT_EQ(g.GetAutoSizeDigitCount(), 12);
  g.SetDigitCount(1);
  EXPECT_EQ(g.GetDigitCount(), 2);
  g.SetGradientSteps(1);
  EXPECT_EQ(g.GetGradientSteps(), 2);
  g.SetLeftOffset(-5);
  g.SetRightOffset(-1);
  g.SetWidth(-3);
  EXPECT_EQ(g.GetLeftOffset() + g.GetRightOffset() + g.GetWidth(), 0);
  EXPECT_EQ(changes.Count, 6);
  g.SetWidth(0);
  g.SetDigitCount(2);
  g.SetColor(g.GetColor());
  EXPECT_EQ(changes.Count, 6);
  g.GetFont().SetSize(12);
  EXPECT_EQ(changes.Count, 7);
}

TEST(Gutter, DefaultsAndAssign) {
  TRidGutter a;
  EXPECT_EQ(a.GetBorderStyle(), gbsMiddle);
  EXPECT_EQ(a.GetColor(), clBtnFace);
  EXPECT_EQ(a.GetBorderColor(), clWindow);
  EXPECT_EQ(a.GetFont().GetName(), "Courier New");
  EXPECT_EQ(a.GetFont().GetSize(), 8);
  EXPECT_TRUE(a.GetVisible() && a.GetUseFontStyle());
  EXPECT_EQ(a.GetGradientEndColor(), clBtnFace);

  TRidGutter b;
  b.SetShowLineNumbers(true);
  b.SetAutoSize(true);
  b.AutoSizeDigitCount(1234567);
  b.SetLeadingZeros(true);
  b.SetCursor(5);
  b.GetFont().SetSize(11);
  b.SetGradientSteps(9);
  TCounter changes;
  a.OnChange = changes.Event();
  a.Assign(&b);
  EXPECT_EQ(changes.Count, 1);
  EXPECT_EQ(a.GetAutoSizeDigitCount(), 7);
  EXPECT_TRUE(a.GetLeadingZeros());
  EXPECT_EQ(a.GetCursor(), crRidDefault);
  EXPECT_EQ(a.GetFont().GetSize(), 11);
  EXPECT_EQ(a.GetGradientSteps(), 9);
  b.GetFont().SetSize(14);  // the font was copied, not shared
  EXPECT_EQ(a.GetFont().GetSize(), 11);
  TRidSelectedColor colors;
  EXPECT_THROW(a.Assign(&colors), EConvertError);
}

TEST(SelectedColor, DefaultsAssignAndChanges) {
  TRidSelectedColor a, b;
  EXPECT_EQ(a.GetBackground(), clHighlight);
  EXPECT_EQ(a.GetForeground(), clHighlightText);
  TCounter changes;
  a.OnChange = changes.Event();
  a.SetBackground(clHighlight);
  EXPECT_EQ(changes.Count, 0);
  b.SetForeground(clRed);
  a.Assign(&b);
  EXPECT_EQ(a.GetForeground(), clRed);
  EXPECT_EQ(changes.Count, 1);
}

class TOwnerProbe : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* Removed = nullptr;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == opRemove) Removed = AComponent;
    TComponent::Notification(AComponent, Operation);
  }
};

TEST(BookMarkOpt, DefaultsAndImageListNotification) {
  TOwnerProbe owner(nullptr);
  TRidBookMarkOpt opt(&owner);
  EXPECT_TRUE(opt.GetDrawBookmarksFirst() && opt.GetEnableKeys() && opt.GetGlyphsVisible());
  EXPECT_EQ(opt.GetLeftMargin(), 2);
  EXPECT_EQ(opt.GetXoffset(), 12);
  TCounter changes;
  opt.OnChange = changes.Event();
  auto images = std::make_unique<TImageList>(nullptr);
  opt.SetBookmarkImages(images.get());
  opt.SetBookmarkImages(images.get());
  opt.SetXoffset(12);
  EXPECT_EQ(changes.Count, 1);
  TImageList* dying = images.get();
  images.reset();
  EXPECT_EQ(owner.Removed, dying);
}

TEST(Marks, SettersRepaintTheLinesTheyTouch) {
  std::vector<int32_t> lines;
  auto record = [&](TRidEderMark*, int32_t Line) { lines.push_back(Line); };
  TRidEderMark mark{TRidEderMarkChangeEvent(record)};
  EXPECT_EQ(mark.GetBookmarkNumber(), -1);
  EXPECT_FALSE(mark.IsBookmark());
  mark.SetLine(4);  // invisible: nothing to repaint
  mark.SetImageIndex(2);
  EXPECT_TRUE(lines.empty());
  mark.SetVisible(true);
  mark.SetVisible(true);
  EXPECT_EQ(lines, (std::vector<int32_t>{4}));
  lines.clear();
  mark.SetLine(9);
  EXPECT_EQ(lines, (std::vector<int32_t>{4, 9}));
  lines.clear();
  mark.SetImageIndex(3);
  mark.SetInternalImage(true);
  mark.SetColumn(5);
  EXPECT_EQ(lines, (std::vector<int32_t>{9, 9}));
  lines.clear();
  mark.SetLine(0);
  EXPECT_EQ(lines, (std::vector<int32_t>{9}));
  mark.SetBookmarkNumber(3);
  EXPECT_TRUE(mark.IsBookmark());
}

TEST(Marks, ListOwnsMarksAndReturnsAtMost17PerLine) {
  TRidEderMarkList list;
  TCounter changes;
  list.OnChange = changes.Event();
  for (int i = 0; i < 20; ++i) {
    auto m = std::make_unique<TRidEderMark>();
    m->SetLine(i % 2 ? 3 : 5);
    m->SetColumn(i);
    list.Add(std::move(m));
  }
  list.Add(std::make_unique<TRidEderMark>())->SetLine(3);
  EXPECT_EQ(changes.Count, 21);
  const TRidEderMarks three = list.GetMarksForLine(3);
  for (size_t k = 0; k < 10; ++k) EXPECT_EQ(three[k]->GetColumn(), 2 * int(k) + 1);
  EXPECT_EQ(three[10]->GetColumn(), 0);
  EXPECT_EQ(three[11], nullptr);

  TRidEderMarkList crowded;
  for (int i = 0; i < 20; ++i) crowded.Add(std::make_unique<TRidEderMark>())->SetColumn(i);
  const TRidEderMarks zero = crowded.GetMarksForLine(0);
  EXPECT_EQ(zero[16]->GetColumn(), 16);
  EXPECT_EQ(list.GetMarksForLine(7)[0], nullptr);

  changes.Count = 0;
  list.Delete(0);
  EXPECT_EQ(changes.Count, 0);
  list.Remove(list.GetItem(0));
  EXPECT_EQ(changes.Count, 1);
  EXPECT_EQ(list.GetCount(), 19);
  TRidEderMark stranger;
  try {
    list.Remove(&stranger);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(std::string(e.what()), FormatStr(SRidListIndexError, -1));
  }
  list.ClearAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(changes.Count, 2);
}

// A bitmap whose row y has grey level 10 * y + 5.
std::unique_ptr<TBitmap> Stripes(int W, int H) {
  QImage img(W, H, QImage::Format_RGB32);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) img.setPixel(x, y, qRgb(10 * y + 5, 10 * y + 5, 10 * y + 5));
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetImage(img);
  return bmp;
}

struct TSurface {
  TSurface() : Image(40, 30, QImage::Format_RGB32) {
    Image.fill(Qt::white);
    Canvas.SetDevice(&Image);
  }
  const QImage& Read() {
    Canvas.FreeHandle();
    return Image;
  }
  QImage Image;
  TCanvas Canvas;
};

TEST(Glyph, TallGlyphsAreCroppedToTheirMiddleAndShortOnesCentred) {
  TRidGlyph glyph;
  EXPECT_EQ(glyph.GetWidth(), 0);
  TCounter changes;
  glyph.OnChange = changes.Event();
  glyph.SetGlyph(Stripes(3, 20).get());
  EXPECT_EQ(changes.Count, 1);
  EXPECT_EQ(glyph.GetWidth(), 3);
  TSurface tall;
  glyph.Draw(tall.Canvas, 1, 2, 16);
  const QImage& a = tall.Read();
  for (int y = 0; y < 16; ++y) EXPECT_EQ(qRed(a.pixel(1, 2 + y)), 10 * (y + 2) + 5) << y;
  EXPECT_EQ(a.pixel(1, 18), qRgb(255, 255, 255));

  glyph.SetGlyph(Stripes(3, 6).get());
  glyph.SetMaskColor(TColor(RGB(25, 25, 25)));  // row 2 is left out
  TSurface shortOne;
  glyph.Draw(shortOne.Canvas, 0, 0, 16);
  const QImage& b = shortOne.Read();
  EXPECT_EQ(b.pixel(0, 4), qRgb(255, 255, 255));
  EXPECT_EQ(qRed(b.pixel(0, 5)), 5);
  EXPECT_EQ(b.pixel(0, 7), qRgb(255, 255, 255));
  EXPECT_EQ(qRed(b.pixel(0, 10)), 55);
  EXPECT_EQ(b.pixel(0, 11), qRgb(255, 255, 255));
}

TEST(Glyph, BuiltInImages) {
  TRidGlyph wrapped("RidEderWrapped", TColor(0x00FF00));
  ASSERT_GT(wrapped.GetWidth(), 0);
  TSurface s;
  wrapped.Draw(s.Canvas, 2, 2, 16);
  const QImage& img = s.Read();
  int ink = 0, green = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      ink += qGray(img.pixel(x, y)) < 160;
      green += img.pixel(x, y) == qRgb(0, 255, 0);
    }
  EXPECT_GT(ink, 5);
  EXPECT_EQ(green, 0);  // the key colour never shows
  EXPECT_EQ(LoadRidResourceBitmap("NoSuchImage"), nullptr);
  EXPECT_EQ(TRidGlyph("NoSuchImage", clRed).GetWidth(), 0);
  LoadRidResourceBitmap("ridederinternalimages")
      ->Image()
      .save(QString::fromStdString((test::ArtifactDir() / "RidEderInternalImages.png").string()));
}

TEST(InternalImage, DrawsOneCellOfTheSharedStrip) {
  TRidInternalImage marks("RidEderInternalImages", 10);
  TRidInternalImage again("RIDEDERINTERNALIMAGES", 10);
  EXPECT_EQ(marks.GetWidth(),
            (LoadRidResourceBitmap("RidEderInternalImages")->GetWidth() + 5) / 10);
  EXPECT_EQ(again.GetHeight(), marks.GetHeight());
  TSurface none;
  marks.DrawMark(none.Canvas, 10, 0, 0, 16);
  marks.DrawMark(none.Canvas, -1, 0, 0, 16);
  const QImage& blank = none.Read();
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(blank.pixel(x, y), qRgb(255, 255, 255));

  // Image 3 is the strip's fourth column, drawn opaquely and centred on a taller line.
  TSurface s;
  marks.DrawMark(s.Canvas, 3, 5, 0, 20);
  const QImage& img = s.Read();
  auto bitmap = LoadRidResourceBitmap("RidEderInternalImages");
  const QImage& strip = bitmap->Image();
  const int top = (20 - marks.GetHeight()) / 2;
  for (int y = 0; y < marks.GetHeight(); ++y)
    for (int x = 0; x < marks.GetWidth(); ++x)
      ASSERT_EQ(img.pixel(5 + x, top + y), strip.pixel(3 * marks.GetWidth() + x, y)) << x << y;
}

// Every question about character starts, asked in increasing order with jumps of any length,
// has the answer of a plain walk from the line start: also across runs of bytes that can both
// lead and trail, lone lead bytes, and lead bytes before bytes that cannot trail.
TEST(CharStarts, AnswersAsAWalkFromTheLineStart) {
  const uint8_t bytes[] = {'a',  ' ',  0x0A, 0x30, 0x40, 0x5C, 0x7C, 0x7F, 0x80,
                           0x81, 0x93, 0x9F, 0xA6, 0xE0, 0xFA, 0xFC, 0xFD, 0xFF};
  std::mt19937 rng(5);
  for (int round = 0; round < 400; ++round) {
    std::string line;
    const bool leadHeavy = round % 3 == 0;
    for (int n = rng() % 300; n > 0; --n)
      line += static_cast<char>(leadHeavy && rng() % 4 ? (rng() % 2 ? 0x93 : 0xFA)
                                                       : bytes[rng() % std::size(bytes)]);
    std::vector<bool> start(line.size() + 1, false);
    std::vector<size_t> before(line.size() + 1, std::string::npos);
    for (size_t at = 0, prev = std::string::npos; at <= line.size();) {
      start[at] = true;
      before[at] = prev;
      prev = at;
      const bool pair = at + 1 < line.size() && IsDBCSLeadByte(line[at]) &&
                        IsDBCSTrailByte(static_cast<uint8_t>(line[at + 1]));
      at += pair ? 2 : 1;
    }
    TRidCharStarts starts(line);
    for (size_t pos = rng() % 3; pos <= line.size(); pos += rng() % (rng() % 2 ? 4 : 80)) {
      SCOPED_TRACE(testing::Message() << "round " << round << " at " << pos);
      if (rng() % 2) {
        ASSERT_EQ(starts.IsStart(pos), start[pos]);
        if (start[pos]) {
          ASSERT_EQ(starts.PrevStart(), before[pos]);
        }
      } else if (pos < line.size()) {
        size_t next = pos + 1;
        while (!start[next]) ++next;
        ASSERT_EQ(starts.NextAfter(pos), next);
        pos = next;  // the walk is there now
      }
    }
  }
}

}  // namespace
}  // namespace rid
