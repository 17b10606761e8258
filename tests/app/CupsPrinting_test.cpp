// Printing on CUPS queues of a scheduler the test runs itself, from the command line and from
// the window's print dialog: what the queue prints is what --print-pdf writes, and a queue that
// cannot take the job is named with the reason CUPS gives.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>

#include "app/EderPrinting.h"
#include "app/EderWindow.h"
#include "platform/Locale.h"
#include "platform/Printers.h"
#include "tests/CupsServer.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

constexpr const char* kClosedReason = "closed for the test";
constexpr const char* kJammedReason = "paper jam in tray 2";

struct TRun {
  int Code = -1;
  std::string Out;  // standard output and error
};

// A page's ink in cells of 2 mm, 0 to 255. The queue's Ghostscript draws the glyphs again (as
// Type 3 fonts, a little heavier), so pixels at their edges differ; a cell's ink differs only
// when lines, words or characters do.
struct TInk {
  int Width = 0, Height = 0;
  std::vector<int> Cells;
};
constexpr int kCellPixels = 6;  // at 75 dpi

std::vector<TInk> PagesInk(const std::string& Pdf, const std::filesystem::path& Dir) {
  std::filesystem::create_directories(Dir);
  test::RunTool("pdftoppm -q -r 75 -gray -png " + test::ShellQuoted(Pdf) + " " +
                test::ShellQuoted((Dir / "p").string()));
  std::vector<std::filesystem::path> files(std::filesystem::directory_iterator(Dir), {});
  std::sort(files.begin(), files.end());  // p-1 ... p-9, or p-01 ... p-12: numbered alike
  std::vector<TInk> pages;
  for (const auto& f : files) {
    const QImage page(QString::fromStdString(f.string()));
    TInk& ink = pages.emplace_back();
    ink.Width = page.width() / kCellPixels;
    ink.Height = page.height() / kCellPixels;
    ink.Cells.resize(size_t(ink.Width) * ink.Height);
    for (int y = 0; y < ink.Height * kCellPixels; ++y)
      for (int x = 0; x < ink.Width * kCellPixels; ++x)
        ink.Cells[size_t(y / kCellPixels) * ink.Width + x / kCellPixels] +=
            255 - qGray(page.pixel(x, y));
    for (int& c : ink.Cells) c /= kCellPixels * kCellPixels;
  }
  std::filesystem::remove_all(Dir);
  return pages;
}

// The cells whose ink differs by more than a fifth of the scale: none for the same page, a few
// hundred for two pages of this test's file.
int DifferingCells(const TInk& A, const TInk& B) {
  if (A.Width != B.Width || A.Height != B.Height) return INT32_MAX;
  int differ = 0;
  for (size_t i = 0; i < A.Cells.size(); ++i) differ += std::abs(A.Cells[i] - B.Cells[i]) > 51;
  return differ;
}

class CupsPrinting : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { Server.reset(); }

  void SetUp() override {
    RID_NEED_(test::TCupsServer::Missing());
    RID_NEED_TOOL("pdftoppm", "poppler-utils");
    RID_NEED_TOOL("pdfinfo", "poppler-utils");
    // Once for the whole program: the printer list is read once, as the program starts.
    if (!Server) {
      Server = std::make_unique<test::TCupsServer>();
      if (Server->Ok()) {
        for (const char* q : {"rid-pdf", "PDF", "rid-closed", "rid-jammed", "rid-gone"})
          Server->AddPdfQueue(q);
        Server->Run("cupsreject -r " + test::ShellQuoted(kClosedReason) + " rid-closed");
        Server->Run("cupsdisable -r " + test::ShellQuoted(kJammedReason) + " rid-jammed");
      }
    }
    ASSERT_TRUE(Server->Ok()) << Server->Error();
    setenv("RIDEDER_REGISTRY", (Dir / "registry.ini").c_str(), 1);
    // The "!" after 能: Perl reads its trail byte as "\", which takes the next byte. Lines of
    // many lengths give each page a shape of its own.
    std::string script;
    for (int i = 1; i <= 200; ++i) {
      std::string text;
      for (int n = i * i * 7 % 11; n > 0; --n) text += "表ソ能!";
      script += "my $v" + std::to_string(i) + " = \"" + text + "\";\t# コメント {} \\ <>&\n";
    }
    Perl = (Dir / "掲示板.cgi").string();
    test::WriteFileBytes(Perl, Utf8ToSjis(script));
    std::filesystem::remove_all(Server->Output());
    std::filesystem::create_directories(Server->Output());
  }
  void TearDown() override { unsetenv("RIDEDER_REGISTRY"); }

  TRun Rideder(const std::string& Args, const std::string& Env = "") {
    TRun r;
    r.Out = test::RunTool(Env + " " + std::string(RID_BUILD_DIR) + "/rideder " + Args + " 2>&1", {},
                          &r.Code);
    return r;
  }
  int Pages(const std::string& Pdf) {
    std::smatch m;
    const std::string info = test::RunTool("pdfinfo " + test::ShellQuoted(Pdf));
    return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
  }
  // The PDF the queue printed once its jobs are done; "" (and a failure) when there is none.
  std::string Printed(const std::string& Queue) {
    if (!Server->WaitForJobs(Queue)) {
      ADD_FAILURE() << "the jobs of " << Queue << " did not finish" << Server->Log();
      return {};
    }
    std::vector<std::filesystem::path> files(std::filesystem::directory_iterator(Server->Output()),
                                             {});
    if (files.size() != 1) {
      ADD_FAILURE() << Queue << " printed " << files.size() << " files" << Server->Log();
      return {};
    }
    const std::string pdf = (Dir / ("from-" + Queue + ".pdf")).string();
    std::filesystem::rename(files[0], pdf);
    return pdf;
  }
  // The queue's pages are --print-pdf's with the same options, Pages of them.
  void ExpectPrintedAsPdf(const std::string& Queue, const std::string& Options, int Pages) {
    const std::string printed = Printed(Queue);
    ASSERT_FALSE(printed.empty());
    // The document holds the copies: the queue asked for more would print them squared.
    EXPECT_EQ(Server->LastJobCopies(Queue), 1);
    const std::string pdf = (Dir / "reference.pdf").string();
    const TRun r = Rideder("--print-pdf " + pdf + " " + Options + " " + Perl);
    ASSERT_EQ(r.Code, 0) << r.Out;
    EXPECT_EQ(this->Pages(pdf), Pages);
    const std::vector<TInk> want = PagesInk(pdf, Dir / "want");
    const std::vector<TInk> got = PagesInk(printed, Dir / "got");
    ASSERT_EQ(got.size(), size_t(Pages));
    for (size_t i = 0; i < want.size(); ++i)
      EXPECT_LE(DifferingCells(got[i], want[i]), 10) << "page " << i + 1;
  }

  static inline std::unique_ptr<test::TCupsServer> Server;
  test::TempDir Dir;
  std::string Perl;
};

TEST_F(CupsPrinting, TheCommandLinePrintsOnAQueueWhatItPrintsToPdf) {
  struct TCase {
    const char* Queue;
    std::string Options;
    int Pages;  // of the job
  };
  const TCase cases[] = {
      {"rid-pdf", "", 4},
      {"rid-pdf", "--pages 2-3 --copies 2", 4},
      {"PDF", "--pages 3-3 --copies 3 --line-numbers", 3},  // a queue called as the PDF printer
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Queue) + " " + c.Options);
    const TRun r = Rideder("--print " + std::string(c.Queue) + " " + c.Options + " " + Perl);
    ASSERT_EQ(r.Code, 0) << r.Out;
    ExpectPrintedAsPdf(c.Queue, c.Options, c.Pages);
  }
}

TEST_F(CupsPrinting, TheWindowPrintsOnTheQueueChosenInItsDialog) {
  TEderWindow w({Perl});
  w.Printing().PrepareJob();
  {
    TEderPrintDialog d(w.Printing().Job(), w.CurrentPage(), &w);
    const int queue = d.PrinterBox()->findText("rid-pdf");
    ASSERT_GT(queue, 0);
    d.PrinterBox()->setCurrentIndex(queue);
    EXPECT_FALSE(d.OutputFile()->isEnabled());
    d.AllPages()->setChecked(false);
    d.FromPage()->setValue(2);
    d.ToPage()->setValue(4);
    d.Copies()->setValue(2);
    ASSERT_EQ(d.PrintNow(), "");
  }
  ExpectPrintedAsPdf("rid-pdf", "--pages 2-4 --copies 2", 6);
  EXPECT_FALSE(std::filesystem::exists(Dir / "掲示板.pdf"));
}

TEST_F(CupsPrinting, AnAbortedJobSendsNothingAndAFinishedOneTakesItsCopies) {
  TPrinter& p = *Printer();
  p.SetPrinterIndex(p.Printers()->IndexOf("rid-pdf"));
  ASSERT_GT(p.GetPrinterIndex(), 0);
  const std::string before = Server->Run("lpstat -W all -o rid-pdf");
  p.BeginDoc();
  p.Canvas().TextOut(100, 100, "never finished");
  p.NewPage();
  p.Abort();
  EXPECT_EQ(Server->Run("lpstat -W all -o rid-pdf"), before);
  p.SetCopies(3);  // the printer's own copies: the queue is asked for them
  p.BeginDoc();
  p.Canvas().TextOut(100, 100, "three times");
  p.EndDoc();
  p.SetCopies(1);
  EXPECT_EQ(Server->LastJobCopies("rid-pdf"), 3);
  const std::string printed = Printed("rid-pdf");
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(Pages(printed), 1);
}

TEST_F(CupsPrinting, AQueueThatCannotTakeTheJobIsNamedWithCupsReason) {
  TEderWindow w({Perl});
  w.Printing().PrepareJob();
  TEderPrintDialog d(w.Printing().Job(), w.CurrentPage(), &w);  // lists rid-gone
  Server->Run("lpadmin -x rid-gone");
  const std::string gone = "The printer or class does not exist.";
  struct TCase {
    std::string Queue;
    std::string Says;
    std::string Env = "";  // of the command line
  };
  const TCase cases[] = {
      {"rid-closed", "it is not accepting jobs (" + std::string(kClosedReason) + ")"},
      {"rid-jammed", "it is stopped (" + std::string(kJammedReason) + ")"},
      {"rid-gone", gone},
      {"no-such-queue", gone},
      {"rid-pdf", "no print service answers at " + (Dir / "none.sock").string(),
       "CUPS_SERVER=" + (Dir / "none.sock").string()},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Queue);
    const std::string says = "Cannot print on \"" + c.Queue + "\": " + c.Says;
    const TRun r = Rideder("--print " + c.Queue + " " + Perl, c.Env);
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "rideder: " + says + "\n");
    const int listed = d.PrinterBox()->findText(QString::fromStdString(c.Queue));
    if (listed > 0 && c.Env.empty()) {
      d.PrinterBox()->setCurrentIndex(listed);
      EXPECT_EQ(d.PrintNow(), says);
    }
  }
  // Nothing waits in the queues.
  EXPECT_EQ(Server->Run("lpstat -o"), "");
  EXPECT_TRUE(std::filesystem::is_empty(Server->Output()));
}

}  // namespace
}  // namespace rid
