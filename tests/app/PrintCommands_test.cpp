// The print modes of the command line, run as a user runs them.
#include <gtest/gtest.h>

#include <QImage>
#include <regex>
#include <sstream>

#include "app/EderPrintSettings.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

struct TRun {
  int Code = -1;
  std::string Out;  // standard output and error
};

class PrintCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    RID_NEED_TOOL("pdfinfo", "poppler-utils");
    RID_NEED_TOOL("pdftotext", "poppler-utils");
    RID_NEED_TOOL("pdftoppm", "poppler-utils");
    // The "!" after 能: Perl reads its trail byte as "\", which takes the next byte.
    std::string script;
    for (int i = 1; i <= 200; ++i)
      script += "my $v" + std::to_string(i) + " = \"表ソ能!\";\t# コメント {} \\ <>&\n";
    Perl = (Dir / "掲示板.cgi").string();
    test::WriteFileBytes(Perl, Utf8ToSjis(script));
  }
  TRun Run(const std::string& Args) {
    TRun r;
    r.Out = test::RunTool(std::string(RID_BUILD_DIR) + "/rideder " + Args + " 2>&1", {}, &r.Code);
    return r;
  }
  std::string Pdf(const std::string& Name = "out.pdf") { return (Dir / Name).string(); }
  std::string Info(const std::string& File) { return test::RunTool("pdfinfo '" + File + "'"); }
  int Pages(const std::string& File) {
    std::smatch m;
    const std::string info = Info(File);
    return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
  }
  std::string Text(const std::string& File) {
    return test::RunTool("pdftotext -layout '" + File + "' -");
  }
  test::TempDir Dir;
  std::string Perl;
};

TEST_F(PrintCommands, PrintsAFileToPdfWithTheDefaultHeader) {
  const TRun r = Run("--print-pdf " + Pdf() + " " + Perl);
  ASSERT_EQ(r.Code, 0) << r.Out;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.Out, m, std::regex("pages=(\\d+)\n")));
  const int pages = std::stoi(m[1]);
  EXPECT_EQ(Pages(Pdf()), pages);
  EXPECT_GT(pages, 1);
  EXPECT_NE(Info(Pdf()).find("595 x 842 pts (A4)"), std::string::npos);
  const std::string text = Text(Pdf());
  // The title is the file name without folder and extension; the page number and count right.
  EXPECT_NE(text.find("掲示板"), std::string::npos);
  EXPECT_EQ(text.find("掲示板.cgi"), std::string::npos);
  EXPECT_NE(text.find("1/" + std::to_string(pages)), std::string::npos);
  EXPECT_NE(text.find("my $v200 = \"表ソ能!\";"), std::string::npos);
}

TEST_F(PrintCommands, OptionsShapeTheJob) {
  const TRun r = Run("--print-pdf " + Pdf() +
                     " --title 'Bulletin' --header '' --header 'L|C $PAGENUM$|R' --footer "
                     "'|$PAGECOUNT$|' --roman --line-numbers --line-offset 5 --no-wrap "
                     "--page-offset 1 --pages 2-3 --copies 2 " +
                     Perl);
  ASSERT_EQ(r.Code, 0) << r.Out;
  EXPECT_EQ(Pages(Pdf()), 4);  // two pages, twice
  const std::string text = Text(Pdf());
  EXPECT_EQ(text.find("Bulletin"), std::string::npos);  // the header has no title now
  EXPECT_NE(text.find("C III"), std::string::npos);     // page 2 shown as III
  EXPECT_NE(text.find("C IV"), std::string::npos);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, std::regex("\\n *(\\d+): my \\$v(\\d+) ")));
  EXPECT_EQ(std::stoi(m[1]), std::stoi(m[2]) + 5);  // numbered from the offset
  EXPECT_GT(std::stoi(m[2]), 20);                   // page 1 was not printed
  // The --margin text; the switches after it still count.
  const TRun margin =
      Run("--print-pdf " + Pdf("m.pdf") +
          " --margin '60,60,25,25,15,15,2,2,0.5,0,0/0,0,1,0,0,0,0'" + " --line-numbers " + Perl);
  ASSERT_EQ(margin.Code, 0) << margin.Out;
  EXPECT_NE(Text(Pdf("m.pdf")).find("1: my $v1"), std::string::npos);
}

TEST_F(PrintCommands, ColoursComeFromTheAttributesGiven) {
  const TRun r =
      Run("--print-pdf " + Pdf() + " --colors --attr 'Comment:#FF0000::b' --pages 1-1 " + Perl);
  ASSERT_EQ(r.Code, 0) << r.Out;
  test::RunTool("pdftoppm -r 100 -png -f 1 -l 1 '" + Pdf() + "' '" + (Dir / "p").string() + "'");
  const QImage image(QString::fromStdString((Dir / "p-1.png").string()));
  ASSERT_FALSE(image.isNull());
  int red = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      red += c.red() > 180 && c.green() < 90 && c.blue() < 90;
    }
  EXPECT_GT(red, 50);
}

TEST_F(PrintCommands, PreviewPngShowsThePageAsked) {
  const std::string png = (Dir / "p.png").string();
  TRun r = Run("--preview-png " + png + " --page 3 --scale 50 --size 300x400 " + Perl);
  ASSERT_EQ(r.Code, 0) << r.Out;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.Out, m, std::regex("page=3 pages=(\\d+)\n"))) << r.Out;
  const std::string pages = m[1];
  const QImage small(QString::fromStdString(png));
  EXPECT_EQ(small.size(), QSize(300, 400));
  r = Run("--preview-png " + png + " --page " + pages + " " + Perl);
  ASSERT_EQ(r.Code, 0) << r.Out;
  EXPECT_NE(r.Out.find("page=" + pages + " pages=" + pages), std::string::npos);
  const QImage whole(QString::fromStdString(png));
  EXPECT_EQ(whole.size(), QSize(800, 1000));
  whole.save(QString::fromStdString((test::ArtifactDir() / "cli-preview.png").string()));
  int ink = 0;
  for (int y = 0; y < whole.height(); y += 2)
    for (int x = 0; x < whole.width(); x += 2) ink += qGray(whole.pixel(x, y)) < 100;
  EXPECT_GT(ink, 200);
}

TEST_F(PrintCommands, FailuresExitWithOneAndKeepTheOlderOutput) {
  test::WriteFileBytes(Pdf(), "older");
  struct Case {
    std::string Args;
    const char* Message;
  };
  const Case cases[] = {
      {"--print-pdf " + Pdf() + " --pages 99-100 " + Perl, "--pages 99-100: the document has"},
      {"--print-pdf " + Pdf() + " " + (Dir / "missing.pl").string(), "missing.pl"},
      {"--print-pdf " + (Dir / "no" / "such.pdf").string() + " " + Perl, "such.pdf"},
      {"--print no-such-queue " + Perl, "no-such-queue"},
  };
  for (const Case& c : cases) {
    const TRun r = Run(c.Args);
    EXPECT_EQ(r.Code, 1) << c.Args << "\n" << r.Out;
    EXPECT_NE(r.Out.find(c.Message), std::string::npos) << r.Out;
  }
  EXPECT_EQ(test::ReadFileBytes(Pdf()), "older");
  EXPECT_FALSE(std::filesystem::exists(Dir / "no"));
}

TEST_F(PrintCommands, BadOptionValuesAreUsageErrors) {
  const std::string png = (Dir / "p.png").string();
  for (const std::string& args :
       {"--print-pdf " + Pdf() + " --pages x " + Perl,
        "--print-pdf " + Pdf() + " --copies 0 " + Perl,
        "--print-pdf " + Pdf() + " --header 'a|b|c|d' " + Perl,
        "--print-pdf " + Pdf() + " --margin 1,2,3 " + Perl,
        "--print-pdf " + Pdf() + " --tab-width 0 " + Perl,
        "--preview-png " + png + " --scale big " + Perl,
        "--preview-png " + png + " --size 0x5 " + Perl,
        "--print-pdf " + Pdf() + " --page 2 " + Perl, "--print-pdf " + Pdf()}) {
    const TRun r = Run(args);
    EXPECT_EQ(r.Code, 2) << args << "\n" << r.Out;
  }
  EXPECT_FALSE(std::filesystem::exists(Pdf()));
  EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(PrintCommands, StartFromTheDefaultsNotTheWindowsSavedChoices) {
  // What the window keeps after a print with line numbers and its own header and footer.
  const std::string registry = (Dir / "registry.ini").string();
  setenv("RIDEDER_REGISTRY", registry.c_str(), 1);
  TRidEderPrint saved(nullptr);
  saved.SetLineNumbers(true);
  SetHeaderFooterLines(saved.GetHeader(), {"SAVED HEADER"});
  SetHeaderFooterLines(saved.GetFooter(), {"SAVED FOOTER"});
  SavePrintSettings(saved);
  TRidEderPrint window(nullptr);
  LoadPrintSettings(window);
  const TRun r = Run("--print-pdf " + Pdf() + " --pages 1-1 " + Perl);
  unsetenv("RIDEDER_REGISTRY");
  ASSERT_TRUE(window.GetLineNumbers());  // the window would print with them
  ASSERT_EQ(r.Code, 0) << r.Out;
  const std::string text = Text(Pdf());
  EXPECT_EQ(text.find("SAVED"), std::string::npos) << text;
  EXPECT_NE(text.find("掲示板"), std::string::npos);  // the default header's title
  EXPECT_NE(text.find("my $v1 ="), std::string::npos);
  EXPECT_EQ(text.find("1: my $v1"), std::string::npos);
}

TEST_F(PrintCommands, TextFilesPrintWithTheGeneralHighlighter) {
  const std::string txt = (Dir / "notes.txt").string();
  test::WriteFileBytes(txt, "\xef\xbb\xbfUTF-8 で書いた メモ\n");  // read as the window reads it
  const TRun r = Run("--print-pdf " + Pdf() + " --font 'IPAGothic:20' " + txt);
  ASSERT_EQ(r.Code, 0) << r.Out;
  EXPECT_NE(r.Out.find("pages=1"), std::string::npos);
  EXPECT_NE(Text(Pdf()).find("UTF-8 で書いた メモ"), std::string::npos);
}

// Every line of a failed run's messages is ours: nothing of Qt's own logging gets through.
void ExpectOnlyOurMessages(const std::string& Out) {
  std::istringstream lines(Out);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.starts_with("rideder: ") || line.starts_with("usage: ") ||
                line.starts_with("       rideder") || line.starts_with("         ") ||
                line.starts_with("OPTIONS"))
        << line;
}

TEST_F(PrintCommands, MarginsThatLeaveNoTextAreaAreUsageErrorsNamingTheOption) {
  const std::string rest = ",15,15,2,2,0.5,0,0/1,0,1,0,0,0,0";
  struct TCase {
    std::string Margin;  // --margin, or a --font when it starts with "font "
    int Code;
    const char* Says;
  };
  const TCase cases[] = {
      {"xyz", 2, "1 of the 11 items before \"/\""},
      {"1,2,3", 2, "3 of the 11 items before \"/\""},
      {"25,15,25,25,15,15,2,2,0.5,0,0", 2, "no \"/\" and 7 flags after the margins"},
      {"25,15,25,25,15,15,2,2,0.5,0,0/1,0,1", 2, "3 of the 7 flags after \"/\""},
      {"a,15,25,25" + rest, 2, "'a' is not a valid floating point value"},
      {"-1e9,-1e9,-1e9,-1e9,0,0,0,0,0,0,0/0,0,1,0,0,0,0", 2, "leaves no text area"},
      {"1e9,1e9,1e9,1e9,1e9,1e9,1e9,1e9,1e9,1e9,0/0,0,1,0,0,0,0", 2, "leaves no text area"},
      {"1e300,15,25,25" + rest, 2, "leaves no text area"},
      {"105,105,25,25" + rest, 2, "leaves no text area"},  // A4 is 210 mm wide
      {"25,15,150,147" + rest, 2, "leaves no text area"},  // and 297 mm high
      {"-10,15,25,25" + rest, 2, "leaves no text area"},   // off the paper
      {"25,15,25,-1" + rest, 2, "leaves no text area"},
      {"font IPAGothic:1000", 2, "--font is larger than the text area"},
      {"0,0,0,0" + rest, 0, ""},  // the text area reaches the paper's edges
      {"100,100,130,130" + rest, 0, ""},
  };
  for (const char* mode : {"--print-pdf", "--preview-png"}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(mode) + " " + c.Margin);
      const std::string option = c.Margin.starts_with("font ")
                                     ? "--font '" + c.Margin.substr(5) + "'"
                                     : "--margin '" + c.Margin + "'";
      const TRun r = Run(std::string(mode) + " " + Pdf() + " " + option + " " + Perl);
      EXPECT_EQ(r.Code, c.Code) << r.Out;
      EXPECT_NE(r.Out.find(c.Says), std::string::npos) << r.Out;
      if (c.Code == 2) {
        EXPECT_NE(r.Out.find(option.substr(0, option.find(' '))), std::string::npos);
      }
      ExpectOnlyOurMessages(c.Code ? r.Out : "");
      EXPECT_EQ(std::filesystem::exists(Pdf()), c.Code == 0);
      std::filesystem::remove(Pdf());
    }
  }
}

TEST_F(PrintCommands, APageOutsideTheDocumentIsTheSameErrorForPagesAndPage) {
  const std::string one = (Dir / "one.pl").string();
  test::WriteFileBytes(one, "1;\n");
  const std::string png = (Dir / "p.png").string();
  struct TCase {
    std::string Args;
    int Code;
    const char* Says;
  };
  const TCase cases[] = {
      {"--print-pdf " + Pdf() + " --pages 2-3", 1, "--pages 2-3: the document has 1 page\n"},
      {"--preview-png " + png + " --page 99", 1, "--page 99: the document has 1 page\n"},
      {"--preview-png " + png + " --page 2", 1, "--page 2: the document has 1 page\n"},
      {"--print-pdf " + Pdf() + " --pages 1-99", 0, "pages=1"},  // cut to the document
      {"--preview-png " + png + " --page 1", 0, "page=1 pages=1"},
      {"--print-pdf " + Pdf() + " --pages 3-1", 2, "--pages takes FROM-TO"},
      {"--print-pdf " + Pdf() + " --pages 0-1", 2, "--pages takes FROM-TO"},
      {"--preview-png " + png + " --page 0", 2, "--page takes a number from 1"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args);
    const TRun r = Run(c.Args + " " + one);
    EXPECT_EQ(r.Code, c.Code) << r.Out;
    EXPECT_NE(r.Out.find(c.Says), std::string::npos) << r.Out;
    if (c.Code) {
      ExpectOnlyOurMessages(r.Out);
      EXPECT_FALSE(std::filesystem::exists(Pdf()) || std::filesystem::exists(png));
    }
    std::filesystem::remove(Pdf());
    std::filesystem::remove(png);
  }
}

TEST_F(PrintCommands, AFullDiskIsToldWithTheSystemsReasonAndKeepsTheOlderOutput) {
  test::WriteFileBytes(Pdf(), "older");
  // Files may not grow past 16 KB, and the write says so rather than the signal ending it.
  for (const std::string mode : {"--print-pdf", "--export-html", "--preview-png"}) {
    SCOPED_TRACE(mode);
    TRun r;
    r.Out = test::RunTool("trap '' XFSZ; ulimit -f 16; " + std::string(RID_BUILD_DIR) +
                              "/rideder " + mode + " " + Pdf() + " " + Perl + " 2>&1",
                          {}, &r.Code);
    EXPECT_EQ(r.Code, 1) << r.Out;
    EXPECT_NE(r.Out.find("rideder: Cannot write file \"" + Pdf() + "\". File too large"),
              std::string::npos)
        << r.Out;
    ExpectOnlyOurMessages(r.Out);
    EXPECT_EQ(test::ReadFileBytes(Pdf()), "older");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()), {}), 2);
  }
}

}  // namespace
}  // namespace rid
