#include "output/RidEderPrintPreview.h"

#include <gtest/gtest.h>

#include <QImage>

#include "highlighters/RidHighlighterPerl.h"
#include "output/RidEderPrint.h"
#include "platform/Forms.h"
#include "platform/Locale.h"
#include "platform/Printers.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

bool IsInk(QRgb P) { return qGray(P) < 100; }

class PrintPreview : public ::testing::Test {
 protected:
  void SetUp() override {
    Printer()->SetPrinterIndex(0);
    TStringList lines;
    for (int i = 0; i < 400; ++i)
      lines.Add(Utf8ToSjis("my $x" + std::to_string(i) + " = \"表ソ能!\"; # コメント {} \\ <>&"));
    Job.SetLines(&lines);
    Job.SetHighlighter(&Perl);
    Job.GetHeader().Add("$PAGENUM$/$PAGECOUNT$", nullptr, taRightJustify, 1);
    Preview.SetAlign(alNone);
    Preview.SetBounds(0, 0, 600, 800);
    Preview.HandleNeeded();
    Preview.SetRidEderPrint(&Job);
    Preview.OnPreviewPage = TPreviewPageEvent(this, &PrintPreview::PageShown);
  }
  void PageShown(TObject*, int32_t Page) { Shown.push_back(Page); }
  QImage Shot(const char* Name) {
    Preview.Update();
    const QImage image = Preview.Picture();
    image.save(QString::fromStdString((test::ArtifactDir() / Name).string()));
    return image;
  }
  TRect Sheet() const {
    const TPoint o = Preview.GetVirtualOffset(), s = Preview.GetScrollPosition();
    const int32_t top = Preview.GetScaleMode() == pscWholePage ? 0 : s.Y;
    return Bounds(o.X + s.X, o.Y + top, Preview.GetPageWidth(), Preview.GetPageHeight());
  }
  TScrollInfo Bar(int32_t Which) {
    TScrollInfo si;
    si.fMask = SIF_ALL;
    Preview.GetScrollInfo(Which, si);
    return si;
  }
  void Scroll(uint32_t Msg, uint16_t Code) { Preview.Perform(Msg, Code, 0); }

  TRidPerlRid Perl{nullptr};
  TRidEderPrint Job{nullptr};
  TRidEderPrintPreview Preview{nullptr};
  std::vector<int32_t> Shown;
};

TEST_F(PrintPreview, WholePageFitsTheHeightCentredWithShadowAndText) {
  Preview.SetBounds(0, 0, 1200, 700);
  Preview.SetScaleMode(pscWholePage);
  Preview.UpdatePreview();
  const int32_t cw = Preview.ClientWidth(), ch = Preview.ClientHeight();
  EXPECT_EQ(Preview.GetPageHeight(), ch - 26);
  TRidEderPrinterInfo& pi = Job.GetPrinterInfo();
  EXPECT_EQ(Preview.GetPageWidth(), MulDiv(ch - 26, pi.GetPhysicalWidth(), pi.GetPhysicalHeight()));
  EXPECT_EQ(Preview.GetVirtualOffset().X, 12 + (cw - Preview.GetPageWidth() - 26) / 2);
  const QImage shot = Shot("preview-whole.png");
  const TRect s = Sheet();
  const QRgb background = ColorToQRgb(clAppWorkSpace);
  EXPECT_EQ(shot.pixel(3, 3), background);
  EXPECT_EQ(shot.pixel(s.Left - 3, s.Top + 20), background);
  EXPECT_TRUE(IsInk(shot.pixel(s.Left, s.Top + 20)));                  // the sheet's border
  EXPECT_EQ(shot.pixel(s.Right, s.Top + 40), qRgb(0x80, 0x80, 0x80));  // shadow
  EXPECT_EQ(shot.pixel(s.Left + 40, s.Bottom), qRgb(0x80, 0x80, 0x80));
  EXPECT_EQ(shot.pixel(s.Left + 5, s.Top + 5), qRgb(255, 255, 255));  // paper
  int ink = 0;
  for (int y = s.Top + 2; y < s.Bottom - 2; ++y)
    for (int x = s.Left + 2; x < s.Right - 2; ++x) ink += qGray(shot.pixel(x, y)) < 200;
  EXPECT_GT(ink, 500);  // text on the page
  // The vertical bar pages.
  const TScrollInfo v = Bar(SB_VERT);
  EXPECT_EQ(v.nMin, 1);
  EXPECT_EQ(v.nMax, Preview.GetPageCount());
  EXPECT_EQ(v.nPage, 1u);
  EXPECT_FALSE(Preview.ScrollBarVisible(SB_HORZ));
}

TEST_F(PrintPreview, PageWidthAndPercentScaleWithScrollBars) {
  Preview.SetScaleMode(pscPageWidth);
  Preview.UpdatePreview();
  EXPECT_EQ(Preview.GetPageWidth(), Preview.ClientWidth() - 26);
  Shot("preview-width.png");
  EXPECT_FALSE(Preview.ScrollBarVisible(SB_HORZ));
  EXPECT_EQ(Bar(SB_VERT).nMax, Preview.GetPageHeight() + 26 - 1);
  EXPECT_EQ(static_cast<int32_t>(Bar(SB_VERT).nPage), Preview.ClientHeight());

  int scaleChanges = 0;
  struct Count {
    int* N;
    void Changed(TObject*) { ++*N; }
  } count{&scaleChanges};
  Preview.OnScaleChange = TNotifyEvent(&count, &Count::Changed);
  Preview.SetScalePercent(200);
  EXPECT_EQ(Preview.GetScaleMode(), pscUserScaled);
  EXPECT_EQ(scaleChanges, 1);
  const int32_t dpi = Screen()->GetPixelsPerInch();
  TRidEderPrinterInfo& pi = Job.GetPrinterInfo();
  EXPECT_EQ(Preview.GetPageWidth(), MulDiv(MulDiv(pi.GetPhysicalWidth(), dpi, 600), 200, 100));
  EXPECT_NEAR(Preview.GetPageWidth(), 2 * 8.27 * dpi, 3);  // twice the paper's size
  EXPECT_TRUE(Preview.ScrollBarVisible(SB_HORZ));
  EXPECT_EQ(Bar(SB_HORZ).nMax, Preview.GetPageWidth() + 26 - 1);
  Shot("preview-200.png");

  const int32_t ch = Preview.ClientHeight(), cw = Preview.ClientWidth();
  Scroll(WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(Preview.GetScrollPosition().Y, -(ch / 2));
  EXPECT_EQ(Bar(SB_VERT).nPos, ch / 2);
  Preview.Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(static_cast<uint16_t>(-120)) << 16, 0);
  EXPECT_EQ(Preview.GetScrollPosition().Y, -(ch / 2) - 120);
  Scroll(WM_VSCROLL, SB_BOTTOM);
  EXPECT_EQ(Preview.GetScrollPosition().Y, ch - (Preview.GetPageHeight() + 26));
  Scroll(WM_VSCROLL, SB_LINEDOWN);  // already at the end
  EXPECT_EQ(Preview.GetScrollPosition().Y, ch - (Preview.GetPageHeight() + 26));
  Scroll(WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(Preview.GetScrollPosition().X, -(cw / 10));
  Scroll(WM_HSCROLL, SB_LEFT);
  Scroll(WM_HSCROLL, SB_LINELEFT);
  EXPECT_EQ(Preview.GetScrollPosition().X, 0);
  const QImage shot = Shot("preview-200-scrolled.png");
  const TRect s = Sheet();
  EXPECT_TRUE(IsInk(shot.pixel(s.Left, Preview.ClientHeight() - 30)));  // the left border
}

TEST_F(PrintPreview, NavigationStopsAtBothEnds) {
  Preview.SetScaleMode(pscWholePage);
  Preview.UpdatePreview();
  const int32_t count = Preview.GetPageCount();
  ASSERT_GT(count, 3);
  Shown.clear();
  Preview.PreviousPage();
  Preview.NextPage();
  Preview.LastPage();
  Preview.NextPage();
  Preview.FirstPage();
  EXPECT_EQ(Shown, (std::vector<int32_t>{1, 2, count, count, 1}));
  Scroll(WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(Preview.GetPageNumber(), 2);
  EXPECT_EQ(Bar(SB_VERT).nPos, 2);
  Scroll(WM_VSCROLL, SB_BOTTOM);
  EXPECT_EQ(Preview.GetPageNumber(), count);
  Scroll(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(Preview.GetPageNumber(), count);
  Scroll(WM_VSCROLL, SB_TOP);
  Scroll(WM_VSCROLL, SB_LINEUP);
  EXPECT_EQ(Preview.GetPageNumber(), 1);
  Preview.Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(static_cast<uint16_t>(-240)) << 16, 0);
  EXPECT_EQ(Preview.GetPageNumber(), 3);
  // Dragging the thumb shows the page in a hint.
  TScrollInfo si;
  si.fMask = SIF_TRACKPOS;
  Preview.SetTrackPos(SB_VERT, 2);
  Scroll(WM_VSCROLL, SB_THUMBTRACK);
  EXPECT_EQ(Preview.GetPageNumber(), 2);
  Scroll(WM_VSCROLL, SB_ENDSCROLL);
}

TEST_F(PrintPreview, ShowsThePagesThePrinterPrints) {
  test::TempDir dir;
  Printer()->SetFileName((dir / "p.pdf").string());
  Preview.UpdatePreview();
  const int32_t previewed = Preview.GetPageCount();
  Preview.Print();
  RID_NEED_TOOL("pdfinfo", "poppler-utils");
  const std::string info = test::RunTool("pdfinfo '" + (dir / "p.pdf").string() + "'");
  EXPECT_NE(info.find("Pages: " + std::string(11 - std::to_string(previewed).size(), ' ') +
                      std::to_string(previewed) + "\n"),
            std::string::npos)
      << info;
}

TEST_F(PrintPreview, AShrunkDocumentTinyWindowOrScaleStillGiveAPage) {
  Preview.SetScaleMode(pscWholePage);
  Preview.UpdatePreview();
  Preview.LastPage();
  TStringList one;
  one.Add("x");
  Job.SetLines(&one);
  Preview.UpdatePreview();
  EXPECT_EQ(Preview.GetPageNumber(), 1);
  Shot("preview-shrunk.png");
  Preview.SetBounds(0, 0, 20, 20);
  Preview.UpdatePreview();
  EXPECT_GE(Preview.GetPageWidth(), 1);
  EXPECT_GE(Preview.GetPageHeight(), 1);
  Preview.Update();
  for (int32_t percent : {0, -50, 1, 2000000000}) {
    Preview.SetBounds(0, 0, 300, 300);
    Preview.SetScalePercent(percent);
    EXPECT_GE(Preview.GetPageWidth(), 1) << percent;
    EXPECT_GE(Preview.GetPageHeight(), 1) << percent;
    EXPECT_GT(Preview.GetVirtualOffset().X, 0) << percent;
    Preview.Update();
  }
}

TEST_F(PrintPreview, WithoutAJobOnlyTheBackgroundIsPainted) {
  {
    TRidEderPrint gone(nullptr);
    Preview.SetRidEderPrint(&gone);
  }
  EXPECT_EQ(Preview.GetRidEderPrint(), nullptr);
  Preview.UpdatePreview();
  Preview.Invalidate();
  const QImage shot = Shot("preview-empty.png");
  const QRgb background = ColorToQRgb(clAppWorkSpace);
  for (int y = 0; y < shot.height(); y += 17)
    for (int x = 0; x < shot.width(); x += 13) ASSERT_EQ(shot.pixel(x, y), background);
}

}  // namespace
}  // namespace rid
