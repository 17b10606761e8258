#include "output/RidEderPrintMargins.h"

#include <gtest/gtest.h>

#include "output/RidEderPrinterInfo.h"
#include "platform/Graphics.h"
#include "platform/Printers.h"

namespace rid {
namespace {

struct TPixels {
  int32_t Left, Right, Top, Bottom, Header, Footer, LeftIndent, RightIndent, Internal, Gutter;
  bool operator==(const TPixels&) const = default;
};

TPixels PixelsOf(const TRidEderPrintMargins& M) {
  return {M.PLeft,
          M.PRight,
          M.PTop,
          M.PBottom,
          M.PHeader,
          M.PFooter,
          M.PLeftHFTextIndent,
          M.PRightHFTextIndent,
          M.PHFInternalMargin,
          M.PGutter};
}

TEST(PrinterInfo, DefaultsAreA4At300DpiAndMillimetresCountFromThePaperEdge) {
  TRidEderPrinterInfo pi;
  pi.FillDefault();
  EXPECT_EQ(pi.GetPhysicalWidth(), 2481);
  EXPECT_EQ(pi.GetPhysicalHeight(), 3507);
  EXPECT_EQ(pi.GetPrintableWidth(), 2358);
  EXPECT_EQ(pi.GetPrintableHeight(), 3407);
  EXPECT_EQ(pi.GetLeftGutter() + pi.GetRightGutter(), 2481 - 2358);
  EXPECT_EQ(pi.GetXPixPrInch(), 300);
  EXPECT_FLOAT_EQ(pi.GetYPixPrmm(), 300 / 25.4f);
  EXPECT_EQ(pi.PixFromLeft(25), 230);   // 295.3 - 65
  EXPECT_EQ(pi.PixFromRight(15), 119);  // 177.2 - 58
  EXPECT_EQ(pi.PixFromTop(0), -50);
  EXPECT_EQ(pi.PixFromBottom(10), 68);
}

TEST(PrinterInfo, ReadsThePdfPrinterAtItsResolution) {
  Printer()->SetPrinterIndex(0);
  TRidEderPrinterInfo pi;
  EXPECT_EQ(pi.GetXPixPrInch(), 600);  // read on first use
  EXPECT_EQ(pi.GetPhysicalWidth(), Printer()->GetDeviceCaps(PHYSICALWIDTH));
  EXPECT_NEAR(pi.GetPhysicalWidth(), 595 * 600 / 72.0, 1.5);  // A4 as a PDF page: 595 x 842 pt
  EXPECT_NEAR(pi.GetPhysicalHeight(), 842 * 600 / 72.0, 1.5);
  EXPECT_EQ(pi.GetPrintableWidth(), Printer()->GetPageWidth());
  EXPECT_EQ(pi.GetLeftGutter(), Printer()->GetDeviceCaps(PHYSICALOFFSETX));
  EXPECT_EQ(pi.GetLeftGutter() + pi.GetPrintableWidth() + pi.GetRightGutter(),
            pi.GetPhysicalWidth());
  EXPECT_EQ(pi.GetTopGutter() + pi.GetPrintableHeight() + pi.GetBottomGutter(),
            pi.GetPhysicalHeight());
}

TEST(PrintMargins, ShowsMillimetresInEveryUnitAndStoresTheInverse) {
  struct Case {
    TUnitSystem Unit;
    double Written;  // Left written in Unit
    double MM;       // what is stored
  };
  const Case cases[] = {
      {usMM, 30, 30}, {usCM, 2.5, 25}, {usInch, 1, 25.4}, {muThousandthsOfInches, 500, 12.7}};
  for (const Case& c : cases) {
    TRidEderPrintMargins m;
    m.SetUnitSystem(c.Unit);
    m.SetLeft(c.Written);
    EXPECT_DOUBLE_EQ(m.GetLeft(), c.Written);
    m.SetUnitSystem(usMM);  // the stored value does not change with the unit
    EXPECT_NEAR(m.GetLeft(), c.MM, 1e-9) << c.Unit;
  }
  TRidEderPrintMargins m;
  m.SetUnitSystem(usInch);
  m.SetLeft(1);
  m.SetUnitSystem(usCM);
  EXPECT_NEAR(m.GetLeft(), 2.54, 1e-12);
  m.SetUnitSystem(muThousandthsOfInches);
  EXPECT_NEAR(m.GetTop(), 1000 * 25 / 25.4, 1e-9);
}

TEST(PrintMargins, AsStringRoundTripsElevenItemsAndRefusesFewerOrNonNumbers) {
  TRidEderPrintMargins m;
  EXPECT_EQ(m.GetAsString(), "25,15,25,25,15,15,2,2,0.5,0,0");
  for (const char* text : {"10,20,30,40,5,6,1.5,2.25,0.125,7,1", "0,0,0,0,0,0,0,0,0,0,0",
                           "25.4,15,25,25,15,15,2,2,0.5,12.7,1"}) {
    TRidEderPrintMargins r;
    r.SetAsString(text);
    EXPECT_EQ(r.GetAsString(), text);
  }
  // Values made by unit conversions keep a short text.
  m.SetUnitSystem(usInch);
  m.SetLeft(1);
  EXPECT_EQ(m.GetAsString().substr(0, 5), "25.4,");
  const std::string before = m.GetAsString();
  EXPECT_THROW(m.SetAsString("10,20,30,40,5,6,1,2,0.5,7"), EStringListError);
  EXPECT_THROW(m.SetAsString("10,20,x,40,5,6,1,2,0.5,7,1"), EConvertError);
  EXPECT_THROW(m.SetAsString("10,20,,40,5,6,1,2,0.5,7,1"), EConvertError);
  EXPECT_EQ(m.GetAsString(), before);
  m.SetAsString(" 10 ,20,30,40,5,6,1,2,0.5,7,yes,extra");
  EXPECT_EQ(m.GetAsString(), "10,20,30,40,5,6,1,2,0.5,7,0");  // mirrored only for "1"
}

TEST(PrintMargins, InitPageGivesThePixelsOfEachPage) {
  TRidEderPrinterInfo pi;
  pi.FillDefault();
  TCanvas canvas;
  canvas.Font().SetName("Courier New");
  canvas.Font().SetSize(10);
  struct Case {
    const char* Name;
    double Gutter;
    bool Mirror;
    int32_t Page;
    TPixels Expected;
  };
  const Case cases[] = {
      {"defaults", 0, false, 1, {230, 2239, 245, 3162, 127, 3280, 254, 2215, 6, 0}},
      {"gutter on the left", 10, false, 1, {348, 2239, 245, 3162, 127, 3280, 372, 2215, 6, 118}},
      {"mirrored odd page", 10, true, 3, {348, 2239, 245, 3162, 127, 3280, 372, 2215, 6, 118}},
      {"mirrored even page", 10, true, 2, {112, 2003, 245, 3162, 127, 3280, 136, 1979, 6, 118}},
  };
  for (const Case& c : cases) {
    TRidEderPrintMargins m;
    m.SetGutter(c.Gutter);
    m.SetMirrorMargins(c.Mirror);
    m.InitPage(canvas, c.Page, 10, false, false, pi);
    EXPECT_EQ(PixelsOf(m), c.Expected) << c.Name;
  }
  // Numbers inside the text area push it right by the widest one.
  TRidEderPrintMargins m;
  m.InitPage(canvas, 1, 1000, false, true, pi);
  EXPECT_EQ(m.PLeft, 230 + canvas.TextWidth("1000: "));
  EXPECT_EQ(m.PLeftHFTextIndent, m.PLeft + 24);
  m.InitPage(canvas, 1, 1000, true, true, pi);
  EXPECT_EQ(m.PLeft, 230);
}

TEST(PrintMargins, AssignCopiesValuesAndReportsAChange) {
  TRidEderPrintMargins a, b;
  int changes = 0;
  struct Counter {
    int* N;
    void Changed(TObject*) { ++*N; }
  } counter{&changes};
  b.OnChange = TNotifyEvent(&counter, &Counter::Changed);
  a.SetAsString("1,2,3,4,5,6,7,8,9,10,1");
  a.SetUnitSystem(usCM);
  b.Assign(&a);
  EXPECT_EQ(b.GetAsString(), a.GetAsString());
  EXPECT_EQ(b.GetUnitSystem(), usCM);
  EXPECT_EQ(changes, 1);
  b.Assign(&a);
  b.SetLeft(0.1);  // cm: 1 mm, as it was
  EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace rid
