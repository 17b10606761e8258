#include "platform/Printers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Locale.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

TEST(Printers, PdfPrinterIsFirstWithA4Geometry) {
  TPrinter p;
  ASSERT_GE(p.Printers()->Count(), 1);
  EXPECT_EQ(p.Printers()->Get(0), "PDF");
  EXPECT_EQ(p.GetDeviceCaps(LOGPIXELSX), 600);
  EXPECT_EQ(p.GetDeviceCaps(LOGPIXELSY), 600);
  EXPECT_NEAR(p.GetDeviceCaps(PHYSICALWIDTH), 4961, 5);   // 210 mm (595 points)
  EXPECT_NEAR(p.GetDeviceCaps(PHYSICALHEIGHT), 7016, 5);  // 297 mm (842 points)
  EXPECT_NEAR(p.GetDeviceCaps(PHYSICALOFFSETX), 118, 1);  // 5 mm
  EXPECT_EQ(p.GetDeviceCaps(HORZRES), p.GetPageWidth());
  EXPECT_EQ(p.GetPageWidth(),
            p.GetDeviceCaps(PHYSICALWIDTH) - 2 * p.GetDeviceCaps(PHYSICALOFFSETX));
  // The canvas measures in printer pixels: 10 points at 600 dpi.
  p.Canvas().Font().SetSize(10);
  EXPECT_EQ(p.Canvas().Font().GetHeight(), -83);
  p.SetOrientation(poLandscape);
  EXPECT_GT(p.GetPageWidth(), p.GetPageHeight());
  EXPECT_THROW(p.SetPrinterIndex(p.Printers()->Count()), EPrinter);
}

TEST(Printers, TwoPageDocumentReadsBackWithPdfTools) {
  RID_NEED_TOOL("pdfinfo", "poppler-utils");
  RID_NEED_TOOL("pdftotext", "poppler-utils");
  test::TempDir dir;
  TPrinter p;
  p.SetFileName((dir / "job.pdf").string());
  p.SetTitle("Print check");
  p.BeginDoc();
  EXPECT_TRUE(p.GetPrinting());
  EXPECT_THROW(p.BeginDoc(), EPrinter);
  TFont f;
  f.SetPixelsPerInch(600);
  f.SetName(Utf8ToSjis("ＭＳ ゴシック"));
  f.SetSize(12);
  f.SetCharset(SHIFTJIS_CHARSET);
  p.Canvas().SetFont(f);
  p.Canvas().TextOut(100, 100, "First page " + Utf8ToSjis("日本語"));
  p.NewPage();
  EXPECT_EQ(p.GetPageNumber(), 2);
  p.Canvas().TextOut(100, 100, "Second page");
  p.EndDoc();
  EXPECT_FALSE(p.GetPrinting());

  int exit = 0;
  const std::string info = test::RunTool("pdfinfo '" + (dir / "job.pdf").string() + "'", "", &exit);
  ASSERT_EQ(exit, 0) << info;
  const size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << info;
  EXPECT_EQ(std::stoi(info.substr(pages + 6)), 2) << info;
  EXPECT_NE(info.find("Print check"), std::string::npos) << info;
  const std::string text =
      test::RunTool("pdftotext -layout '" + (dir / "job.pdf").string() + "' -", "", &exit);
  ASSERT_EQ(exit, 0);
  EXPECT_NE(text.find("First page 日本語"), std::string::npos) << text;
  EXPECT_NE(text.find("Second page"), std::string::npos) << text;
  EXPECT_LT(text.find("First page"), text.find('\f'));  // on page one
}

TEST(Printers, AbortLeavesNoPartialFile) {
  test::TempDir dir;
  TPrinter p;
  const auto file = dir / "partial.pdf";
  p.SetFileName(file.string());
  p.BeginDoc();
  p.Canvas().TextOut(10, 10, "never finished");
  p.NewPage();
  p.Abort();
  EXPECT_TRUE(p.GetAborted());
  EXPECT_FALSE(p.GetPrinting());
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_NO_THROW(p.EndDoc());  // nothing to end
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_THROW(p.NewPage(), EPrinter);

  // An older file of the name survives an aborted job, and is replaced by a finished one.
  test::WriteFileBytes(file.string(), "older");
  p.BeginDoc();
  p.Canvas().TextOut(10, 10, "never finished");
  p.Abort();
  EXPECT_EQ(test::ReadFileBytes(file.string()), "older");
  p.BeginDoc();
  p.Canvas().TextOut(10, 10, "finished");
  p.EndDoc();
  EXPECT_EQ(test::ReadFileBytes(file.string()).substr(0, 5), "%PDF-");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);  // no job file left beside it

  // An output that cannot be written fails at the start.
  p.SetFileName((dir / "no" / "such" / "folder.pdf").string());
  EXPECT_THROW(p.BeginDoc(), EPrinter);
  EXPECT_FALSE(p.GetPrinting());
}

}  // namespace
}  // namespace rid
