#include "output/RidEderPrint.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <random>
#include <regex>

#include "editor/RidEder.h"
#include "foundation/libStr.h"
#include "foundation/libYear.h"
#include "highlighters/RidHighlighterPerl.h"
#include "platform/Locale.h"
#include "platform/Printers.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

std::string Sjis(const char* Utf8) { return Utf8ToSjis(Utf8); }

bool IsCharStart(std::string_view Text, int32_t Offset) {
  for (size_t i = 0; i < Text.size(); i += CharLenAt(Text, i)) {
    if (static_cast<int32_t>(i) >= Offset) return static_cast<int32_t>(i) == Offset;
  }
  return Offset == static_cast<int32_t>(Text.size());
}

// The rows a line is cut into.
std::vector<std::string_view> Rows(std::string_view Text, int32_t MaxCol) {
  std::vector<std::string_view> rows;
  int32_t start = 0;
  for (int32_t b : WrapLine(Text, MaxCol)) {
    rows.push_back(Text.substr(start, b - start));
    start = b;
  }
  rows.push_back(Text.substr(start));
  return rows;
}

// Random Shift-JIS text: ASCII words and break characters, double-byte characters (with trail
// bytes that look like "\", "|", "{" and letters), half-width katakana.
std::string RandomLine(std::mt19937& Rng, int32_t MaxLength) {
  static const std::vector<std::string> pieces = {
      "a",        "Z",        "9",        " ",        "\t",       ",",        "-",
      ")",        ".",        ";",        "$",        "{",        "}",        "<",
      ">",        "&",        "\x95\x5c", "\x83\x5c", "\x94\x5c", "\x83\x7b", "\x83\x7d",
      "\x82\xa0", "\x88\x9f", "\xb1",     "\xdf",     "abcdefgh"};
  std::string s;
  const int32_t length = std::uniform_int_distribution<int32_t>(0, MaxLength)(Rng);
  while (static_cast<int32_t>(s.size()) < length)
    s += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(Rng)];
  return s;
}

// What the wrap does while each break it finds keeps rows short: after the last break
// character that fits; the byte at which a row overflowed is not taken for the next break.
std::vector<int32_t> ModelBreaks(std::string_view Text, int32_t MaxCol, std::string_view Set) {
  std::vector<int32_t> breaks;
  int32_t last = 0, skip = 0;
  const int32_t len = static_cast<int32_t>(Text.size());
  while (len - last > MaxCol) {
    int32_t best = 0;
    for (int32_t i = std::max(last, skip) + 1; i <= last + MaxCol; ++i)
      if (Set.find(Text[i - 1]) != std::string_view::npos) best = i;
    if (!best) return {};
    breaks.push_back(best);
    skip = last + MaxCol + 1;
    last = best;
  }
  return breaks;
}

TEST(PrintWrap, RowsKeepEveryByteFitAndNeverSplitACharacter) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomLine(rng, 400);
    const int32_t maxCol = std::uniform_int_distribution<int32_t>(1, 100)(rng);
    const auto rows = Rows(line, maxCol);
    std::string joined;
    for (std::string_view r : rows) {
      joined.append(r);
      ASSERT_FALSE(r.empty() && rows.size() > 1);
      const bool oneWideChar = r.size() == 2 && CharLenAt(r, 0) == 2;
      ASSERT_TRUE(static_cast<int32_t>(r.size()) <= maxCol || oneWideChar)
          << maxCol << " " << ::testing::PrintToString(line);
    }
    ASSERT_EQ(joined, line);
    for (int32_t b : WrapLine(line, maxCol)) ASSERT_TRUE(IsCharStart(line, b)) << b;
    // Where breaks alone make short rows, they are taken at the last break that fits.
    auto model = ModelBreaks(line, maxCol, "\t ,-");
    if (model.empty() && line.find_first_of("\t ,-") == std::string::npos)
      model = ModelBreaks(line, maxCol, ").;");
    if (!model.empty()) {
      ASSERT_EQ(WrapLine(line, maxCol), model) << ::testing::PrintToString(line);
    }
  }
}

TEST(PrintWrap, ALongRunAfterTheOnlyBlankIsCutNotLost) {
  std::string run;
  for (int i = 0; i < 60; ++i) run += Sjis("表ソ能");
  const std::string line = "# " + run;  // one early blank, then 360 bytes without a break
  const auto rows = Rows(line, 40);
  EXPECT_EQ(rows[0], "# ");
  std::string joined;
  for (auto r : rows) {
    EXPECT_LE(r.size(), 40u);
    joined.append(r);
  }
  EXPECT_EQ(joined, line);
  // An odd width: the cut moves back one byte rather than split a character.
  EXPECT_EQ(Rows(run, 5)[0].size(), 4u);
  EXPECT_EQ(Rows(run, 1)[0].size(), 2u);  // a row holds at least one character
  EXPECT_TRUE(WrapLine("abc", 3).empty());
  EXPECT_EQ(WrapLine("a,b,c,d", 0), WrapLine("a,b,c,d", 1));
}

// A document of random lines, each row-counted as the job counts them.
struct TLayoutCase {
  std::vector<std::string> Lines;
  double Top, Bottom, Left, Right;
  std::string FontName;
  int32_t Points;
  bool Wrap, LineNumbers;
};

TLayoutCase RandomLayout(std::mt19937& Rng) {
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(Rng);
  };
  TLayoutCase c;
  const int32_t lines = pick(0, 300);
  for (int32_t i = 0; i < lines; ++i)
    c.Lines.push_back(RandomLine(Rng, pick(0, 3) == 0 ? 3000 : 120));
  c.Top = pick(0, 150);
  c.Bottom = pick(0, 150);
  c.Left = pick(0, 120);
  c.Right = pick(0, 120);
  if (pick(0, 9) == 0) c.Left = 200;            // narrower than one character
  if (pick(0, 9) == 0) c.Top = c.Bottom = 146;  // lower than one row
  static const char* fonts[] = {"Courier New", "IPAGothic", "IPAPGothic", "MS Mincho"};
  c.FontName = fonts[pick(0, 3)];
  c.Points = pick(4, 30);
  c.Wrap = pick(0, 3) != 0;
  c.LineNumbers = pick(0, 1) == 1;
  return c;
}

void Apply(const TLayoutCase& C, TRidEderPrint& P) {
  TStringList lines;
  for (const auto& l : C.Lines) lines.Add(l);
  P.SetLines(&lines);
  P.GetMargins().SetTop(C.Top);
  P.GetMargins().SetBottom(C.Bottom);
  P.GetMargins().SetLeft(C.Left);
  P.GetMargins().SetRight(C.Right);
  P.GetFont().SetName(C.FontName);
  P.GetFont().SetSize(C.Points);
  P.SetWrap(C.Wrap);
  P.SetLineNumbers(C.LineNumbers);
}

TEST(PrintLayout, PagesHoldWholeRowsInOrderAndTheScreenCountsAsThePrinter) {
  Printer()->SetPrinterIndex(0);
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    const TLayoutCase c = RandomLayout(rng);
    TRidEderPrint p(nullptr);
    Apply(c, p);
    const std::vector<TPageLine> pages = p.GetPages();  // laid out on the screen's canvas
    SCOPED_TRACE(testing::Message() << "round " << round << ", " << c.Lines.size() << " lines, "
                                    << c.FontName << " " << c.Points);
    const TRidEderPrintMargins& m = p.GetMargins();
    const int32_t perPage = (m.PBottom - m.PTop) / p.GetLineHeight();
    const int32_t capacity = std::max(1, perPage);
    ASSERT_GE(p.GetMaxCol(), 1);
    // Every row of every line, in order, page after page.
    std::vector<TPageLine> rows;
    for (int32_t i = 0; i < p.GetLines()->Count(); ++i) {
      const std::string line = p.GetLines()->Get(i);  // tabs expanded
      const int32_t n = c.Wrap ? static_cast<int32_t>(WrapLine(line, p.GetMaxCol()).size()) + 1 : 1;
      for (int32_t r = 0; r < n; ++r) rows.push_back({i, r});
    }
    std::vector<int32_t> rowsOfLine(p.GetLines()->Count());
    for (const TPageLine& r : rows) ++rowsOfLine[r.Line];
    ASSERT_FALSE(pages.empty());
    ASSERT_EQ(pages[0], (TPageLine{0, 0}));
    size_t at = 0;
    for (size_t pg = 0; pg < pages.size(); ++pg) {
      // Rows are in order, so the next page's first row lies after this page's.
      const size_t end = pg + 1 < pages.size()
                             ? std::find(rows.begin() + at, rows.end(), pages[pg + 1]) - rows.begin()
                             : rows.size();
      ASSERT_LT(at, std::max<size_t>(end, 1)) << "page " << pg + 1 << " is empty";
      ASSERT_LE(end, rows.size()) << "page " << pg + 2 << " starts on no row";
      const int32_t onPage = static_cast<int32_t>(end - at);
      ASSERT_LE(onPage, capacity);
      if (perPage >= 1) {
        ASSERT_LE(m.PTop + onPage * p.GetLineHeight(), m.PBottom);
      }
      // A line that fits on a page is never split over two.
      if (at < rows.size() && rows[at].Row > 0) {
        ASSERT_GT(rowsOfLine[rows[at].Line], capacity);
      }
      at = end;
    }
    ASSERT_EQ(at, rows.size());
    // The printer's canvas lays out the same pages.
    p.GetPrinterInfo().UpdatePrinter();
    p.InitPrint(Printer()->Canvas());
    ASSERT_EQ(p.GetPages(), pages);
  }
}

// Page Page of P drawn on Canvas over a picture of the sheet at an eighth of the printer's
// resolution, as the preview draws it.
QImage DrawnPage(TRidEderPrint& P, TCanvas& Canvas, int32_t Page) {
  TRidEderPrinterInfo& pi = P.GetPrinterInfo();
  const int32_t pw = pi.GetPhysicalWidth(), ph = pi.GetPhysicalHeight();
  QImage image(pw / 8, ph / 8, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  Canvas.BeginPainter(&painter, Rect(0, 0, image.width(), image.height()));
  Canvas.SetMapMode(MM_ANISOTROPIC);
  Canvas.SetWindowExtEx(pw, ph);
  Canvas.SetViewportExtEx(image.width(), image.height());
  Canvas.SetViewportOrgEx(pi.GetLeftGutter() / 8, pi.GetTopGutter() / 8);
  P.PrintToCanvas(Canvas, Page);
  Canvas.EndPainter();
  painter.end();
  return image;
}

TEST(PrintLayout, EveryPageOfALineOverManyPagesDrawsAsAFreshJobDrawsIt) {
  // A string opened on the line before, then code and strings in one long line, each kind of
  // token in a colour of its own: its pages differ in colour and style from row to row.
  std::mt19937 rng(3);
  std::string huge = Sjis("表\" ") + "; ";
  static const char* pieces[] = {"$x = 1;", " foo(2, 3);", " \"s表\"", "  ",
                                 " 'q\\''", " qw/a b/",    " 42"};
  while (huge.size() < 30000) huge += Sjis(pieces[std::uniform_int_distribution<int>(0, 6)(rng)]);
  const std::vector<std::string> lines = {"print \"open", huge, "1;"};
  TRidPerlRid perl(nullptr);
  for (int32_t i = 0; i < perl.GetAttribCount(); ++i)
    perl.GetAttribute(i)->SetForeground(static_cast<TColor>(0x203040 * (i + 1) & 0xC0C0C0));
  const auto job = [&](TRidEderPrint& P) {
    TStringList list;
    for (const auto& l : lines) list.Add(l);
    P.SetLines(&list);
    P.SetHighlighter(&perl);
    P.SetColors(true);
    P.GetFont().SetSize(9);
  };
  TRidEderPrint shown(nullptr);
  job(shown);
  const int32_t count = shown.GetPageCount();
  ASSERT_GE(count, 4);
  std::vector<int32_t> order;
  for (int32_t page = count; page >= 1; --page) order.push_back(page);
  order.insert(order.end(), {2, 1, 3, 3, count});
  TCanvas canvas;  // one canvas: the job keeps its layout from page to page
  for (int32_t page : order) {
    SCOPED_TRACE(page);
    TRidEderPrint fresh(nullptr);
    job(fresh);
    TCanvas own;
    const QImage expected = DrawnPage(fresh, own, page);
    int ink = 0;
    for (int y = 0; y < expected.height(); ++y)
      for (int x = 0; x < expected.width(); ++x) ink += qGray(expected.pixel(x, y)) < 128;
    ASSERT_GT(ink, page == 1 || page == count ? 0 : 1000);  // the long line fills the others
    ASSERT_EQ(DrawnPage(shown, canvas, page), expected);
    if (page == 2)
      expected.save(
          QString::fromStdString((test::ArtifactDir() / "long-line-page-2.png").string()));
  }
  // Colours come from the attributes as they are when a page is drawn.
  shown.SetColors(false);
  TRidEderPrint plain(nullptr);
  job(plain);
  plain.SetColors(false);
  TCanvas own;
  EXPECT_EQ(DrawnPage(shown, canvas, 2), DrawnPage(plain, own, 2));
}

TEST(PrintJob, TabsThatWouldMakeALineTooLongBecomeBlanks) {
  TRidEderPrint p(nullptr);
  p.SetTabWidth(256);
  TStringList lines;
  lines.Add("a\tb");
  lines.Add(std::string(kMaxLineLength / 256 + 1, '\t'));  // past the longest line expanded
  p.SetLines(&lines);
  EXPECT_EQ(p.GetLines()->Get(0), "a" + std::string(255, ' ') + "b");
  EXPECT_EQ(p.GetLines()->Get(1), std::string(kMaxLineLength / 256 + 1, ' '));
}

TEST(PrintJob, MarginTextRoundTripsAndRefusesTooFewFlags) {
  TRidEderPrint p(nullptr);
  EXPECT_EQ(p.GetMargin(), "25,15,25,25,15,15,2,2,0.5,0,0/1,0,1,0,0,0,0");
  const std::string all = "10,11,12,13,14,15,1,2,0.25,3,1/1,1,1,1,1,1,1";
  p.SetMargin(all + "  ");
  EXPECT_EQ(p.GetMargin(), all);
  EXPECT_TRUE(p.GetLineNumbersInMargin());
  EXPECT_TRUE(p.GetFooter().GetMirrorPosition());
  p.SetMargin("25,15,25,25,15,15,2,2,0.5,0,0/0,0,0,0,0,0,0");
  EXPECT_FALSE(p.GetWrap());
  EXPECT_FALSE(p.GetHighlight());
  const std::string before = p.GetMargin();
  EXPECT_THROW(p.SetMargin("10,11,12,13,14,15,1,2,0.25,3,1/1,1,1,1,1,1"), EStringListError);
  EXPECT_THROW(p.SetMargin("10,11,12,13,14,15,1,2,0.25,3,1"), EStringListError);
  EXPECT_THROW(p.SetMargin("10,11,12/1,1,1,1,1,1,1"), EStringListError);
  EXPECT_EQ(p.GetMargin(), before);
}

// --- through the PDF printer

// A Shift-JIS Perl script with tabs, 表 ソ 能, markup characters, and a line taller than a page.
std::vector<std::string> PerlScript() {
  std::vector<std::string> lines = {Sjis("#!/usr/bin/perl"), Sjis("# 表示する ソース 能力 {x}")};
  for (int i = 0; i < 150; ++i) {
    lines.push_back(Sjis("my $v") + std::to_string(i) + Sjis(" = \"表<b>&amp;</b>ソ\\n\";\t# ") +
                    Sjis("能") + std::string(size_t(i % 7), '\t') + "{" + std::to_string(i) +
                    "} \\ <tag> & end");
    if (i == 70) {
      std::string huge = "print '";
      for (int k = 0; k < 1400; ++k) huge += Sjis("表ソ") + std::to_string(k % 10) + " ";
      lines.push_back(huge + "';");
    }
  }
  lines.push_back("__END__");
  return lines;
}

std::string NoBlanks(std::string_view Utf8) {
  std::string s;
  for (char c : Utf8)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') s += c;
  return s;
}

class PrintPdf : public ::testing::Test {
 protected:
  void SetUp() override {
    RID_NEED_TOOL("pdftotext", "poppler-utils");
    RID_NEED_TOOL("pdfinfo", "poppler-utils");
    RID_NEED_TOOL("pdftoppm", "poppler-utils");
    Printer()->SetPrinterIndex(0);
    Pdf = (Dir / "out.pdf").string();
    Printer()->SetFileName(Pdf);
    Job.SetTitle("Script");
    Job.GetHeader().Clear();
    Job.GetFooter().Clear();
    Lines = PerlScript();
    TStringList list;
    for (const auto& l : Lines) list.Add(l);
    Job.SetLines(&list);
    Job.SetHighlighter(&Perl);
  }
  std::string Text(const std::string& Options = "-layout") {
    return test::RunTool("pdftotext " + Options + " '" + Pdf + "' -");
  }
  int Pages() {
    const std::string info = test::RunTool("pdfinfo '" + Pdf + "'");
    std::smatch m;
    return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
  }
  struct TWord {
    int Page;
    double XMax, YMin, YMax;
    std::string Text;
  };
  std::vector<TWord> Words() {
    const std::string html = Text("-bbox-layout");
    std::vector<TWord> words;
    int page = 0;
    static const std::regex item(
        "<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
        "yMax=\"([\\d.]+)\">([^<]*)</word>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), item);
         it != std::sregex_iterator(); ++it) {
      if ((*it)[1].length() == 0) {
        ++page;
        continue;
      }
      words.push_back(
          {page, std::stod((*it)[3]), std::stod((*it)[2]), std::stod((*it)[4]), (*it)[5]});
    }
    return words;
  }
  // A pixel position of the printable area in PDF points.
  double Points(int32_t Pixels, bool Vertical) {
    TRidEderPrinterInfo& pi = Job.GetPrinterInfo();
    return (Pixels + (Vertical ? pi.GetTopGutter() : pi.GetLeftGutter())) * 72.0 / 600;
  }
  std::string DocumentText() const {
    std::string all;
    for (const auto& l : Lines) all += SjisToUtf8(l);
    return NoBlanks(all);
  }

  test::TempDir Dir;
  std::string Pdf;
  TRidPerlRid Perl{nullptr};
  TRidEderPrint Job{nullptr};
  std::vector<std::string> Lines;
};

TEST_F(PrintPdf, EveryCharacterIsPrintedInOrderAndNoRowCrossesTheBottomMargin) {
  Job.GetFooter().Add("FOOTER $PAGENUM$", nullptr, taCenter, 1);
  Job.Print();
  const int pages = Pages();
  EXPECT_EQ(pages, Job.GetPageCount());
  std::string body = Text();
  body = std::regex_replace(body, std::regex("FOOTER \\d+"), "");
  EXPECT_EQ(NoBlanks(body), DocumentText());
  const auto& m = Job.GetMargins();
  const double top = Points(m.PTop, true), bottom = Points(m.PBottom, true);
  const double right = Points(m.PRight, false);
  int footers = 0;
  for (const auto& w : Words()) {
    if (w.Text == "FOOTER") {
      ++footers;
      EXPECT_GE(w.YMin, Points(m.PFooter, true) - 0.5);
      continue;
    }
    if (w.YMin >= Points(m.PFooter, true)) continue;  // the footer's page number
    EXPECT_GE(w.YMin, top - 0.5) << w.Text;
    EXPECT_LE(w.YMax, bottom + 0.5) << w.Text << " on page " << w.Page;
    EXPECT_LE(w.XMax, right + 0.5) << w.Text;
  }
  EXPECT_EQ(footers, pages);
  // The line taller than a page goes on over the next.
  EXPECT_GT(pages, 3);
  EXPECT_NE(std::find_if(Job.GetPages().begin(), Job.GetPages().end(),
                         [](const TPageLine& p) { return p.Row > 0; }),
            Job.GetPages().end());
}

TEST_F(PrintPdf, HeaderAndFooterCarryTheirMacrosOnEveryPage) {
  SetClock([] { return EncodeDate(2024, 5, 6) + EncodeTime(7, 8, 9, 0); });
  Job.GetHeader().Add("$TITLE$", nullptr, taLeftJustify, 1);
  Job.GetHeader().Add("$PAGENUM$/$PAGECOUNT$", nullptr, taRightJustify, 1);
  Job.GetFooter().Add("$DATETIME$", nullptr, taLeftJustify, 1);
  Job.GetFooter().Add("$pagenum$", nullptr, taRightJustify, 1);
  Job.GetFooter().SetRomanNumbers(true);
  Job.SetPageOffset(10);
  Job.Print();
  SetClock(nullptr);
  const std::string text = Text();
  const int pages = Pages();
  ASSERT_GT(pages, 2);
  size_t pos = 0;
  for (int page = 1; page <= pages; ++page) {
    pos = text.find("Script", pos);
    ASSERT_NE(pos, std::string::npos) << page;
    const std::string number = std::to_string(page + 10) + "/" + std::to_string(pages);
    EXPECT_NE(text.find(number, pos), std::string::npos) << number;
    EXPECT_NE(text.find("2024/05/06 07:08:09", pos), std::string::npos);
    EXPECT_NE(text.find(IntToRoman(page + 10), pos), std::string::npos);
    pos = text.find('\f', pos);
  }
}

TEST_F(PrintPdf, LineNumbersCountFromTheOffsetAndWithoutWrapRowsStopAtTheRightMargin) {
  Job.SetLineNumbers(true);
  Job.SetLineOffset(10);
  Job.SetWrap(false);
  Job.PrintRange(1, 1);
  EXPECT_EQ(Pages(), 1);
  const std::string text = Text();
  std::istringstream rows(text);
  std::string row;
  int expected = 11;
  const double right = Points(Job.GetMargins().PRight, false);
  while (std::getline(rows, row) && expected < 20) {
    if (row.find_first_not_of(" ") == std::string::npos) continue;
    const std::string number = std::to_string(expected) + ":";
    EXPECT_EQ(row.substr(row.find_first_not_of(' '), number.size()), number) << row;
    ++expected;
  }
  for (const auto& w : Words()) EXPECT_LE(w.XMax, right + 0.5) << w.Text;
  // Each row is the start of its line, cut at a character.
  const std::string first = NoBlanks(SjisToUtf8(Lines[3].substr(0, Job.GetMaxCol())));
  EXPECT_NE(NoBlanks(text).find(first), std::string::npos);
}

TEST_F(PrintPdf, WithoutWrapARowIsCutBeforeACharacterThatDoesNotFit) {
  std::string run;
  for (int i = 0; i < 300; ++i) run += Sjis("表");
  for (const std::string& line : {"x" + run, run}) {
    TStringList list;
    list.Add(line);
    Job.SetLines(&list);
    Job.SetWrap(false);
    Job.Print();
    const int32_t fit = static_cast<int32_t>(line.size() - run.size());
    const int32_t wide = (Job.GetMaxCol() - fit) / 2;  // whole 表 that fit after the "x"
    EXPECT_EQ(NoBlanks(Text()), SjisToUtf8(line.substr(0, size_t(fit + 2 * wide))))
        << Job.GetMaxCol();
  }
}

TEST_F(PrintPdf, CopiesRepeatTheRangeAndARangeOutsideTheDocumentIsCut) {
  const int32_t count = Job.GetPageCount();
  ASSERT_GE(count, 3);
  Job.SetCopies(2);
  Printer()->SetCopies(3);
  Job.PrintRange(2, 3);
  EXPECT_EQ(Pages(), 4);
  EXPECT_EQ(Printer()->GetCopies(), 1);  // a queue asked for copies too would square them
  Job.SetCopies(1);
  Job.PrintRange(0, count + 5);  // from the first page to the last
  EXPECT_EQ(Pages(), count);
  Job.PrintRange(count, 999);
  EXPECT_EQ(Pages(), 1);
  // An empty range starts no job: the last output stays.
  const std::string before = test::ReadFileBytes(Pdf);
  for (auto [from, to] : {std::pair{count + 1, count + 2}, {3, 2}, {0, 0}}) {
    bool started = false;
    struct Watch {
      bool* Started;
      void Status(TObject*, TRidPrintStatus, int32_t, bool&) { *Started = true; }
    } watch{&started};
    Job.OnPrintStatus = TPrintStatusEvent(&watch, &Watch::Status);
    Job.PrintRange(from, to);
    Job.OnPrintStatus = {};
    EXPECT_FALSE(started) << from << "-" << to;
  }
  EXPECT_EQ(test::ReadFileBytes(Pdf), before);
}

TEST_F(PrintPdf, AnAbortFromTheStatusEventLeavesNoFile) {
  struct Stop {
    int Pages = 0;
    void Status(TObject*, TRidPrintStatus S, int32_t, bool& Abort) {
      if (S == psNewPage && ++Pages == 2) Abort = true;
    }
  } stop;
  Job.OnPrintStatus = TPrintStatusEvent(&stop, &Stop::Status);
  Job.Print();
  EXPECT_FALSE(std::filesystem::exists(Pdf));
  EXPECT_FALSE(Job.GetPrinting());
  EXPECT_FALSE(Printer()->GetPrinting());
}

TEST_F(PrintPdf, ColoursAppearOnlyWithColors) {
  for (int32_t i = 0; i < Perl.GetAttribCount(); ++i) {
    if (Perl.GetAttribute(i)->GetName() == "Comment") Perl.GetAttribute(i)->SetForeground(clRed);
    if (Perl.GetAttribute(i)->GetName() == "String") Perl.GetAttribute(i)->SetBackground(clLime);
  }
  auto count = [&](bool Colors) {
    Job.SetColors(Colors);
    Job.PrintRange(1, 1);
    const std::string png = (Dir / "p").string();
    test::RunTool("pdftoppm -r 40 -png -f 1 -l 1 '" + Pdf + "' '" + png + "'");
    QImage image(QString::fromStdString(png + "-1.png"));
    EXPECT_FALSE(image.isNull());
    std::pair<int, int> n{0, 0};
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (c.red() > 180 && c.green() < 90 && c.blue() < 90) ++n.first;
        if (c.green() > 200 && c.red() < 90 && c.blue() < 90) ++n.second;
      }
    return n;
  };
  const auto with = count(true);
  const auto without = count(false);
  EXPECT_GT(with.first, 20);
  EXPECT_GT(with.second, 200);
  EXPECT_EQ(without.first, 0);
  EXPECT_EQ(without.second, 0);
}

TEST_F(PrintPdf, MarginsWiderThanThePageStillPrintEveryCharacterOnePerRow) {
  Job.GetMargins().SetLeft(110);
  Job.GetMargins().SetRight(110);  // nothing left of the paper's width
  Job.GetMargins().SetTop(150);
  Job.GetMargins().SetBottom(150);  // nor of its height
  TStringList list;
  list.Add(Sjis("表a能"));
  list.Add("");
  Job.SetLines(&list);
  Job.Print();
  EXPECT_EQ(Job.GetMaxCol(), 1);
  EXPECT_EQ(Pages(), 4);  // 表, a, 能, the empty line: a row each, a page each
  EXPECT_EQ(NoBlanks(Text()), NoBlanks("表a能"));
}

TEST_F(PrintPdf, RowsLongerThanAThousandBytesPrintWhole) {
  Printer()->SetOrientation(poLandscape);
  Job.GetFont().SetSize(1);
  TStringList list;
  std::string line;
  for (int i = 0; i < 3000; ++i) line += static_cast<char>('a' + i % 26);
  list.Add(line);
  Job.SetLines(&list);
  Job.Print();
  Printer()->SetOrientation(poPortrait);
  EXPECT_GT(Job.GetMaxCol(), 1024);
  EXPECT_EQ(NoBlanks(Text("-raw")), line);
}

TEST_F(PrintPdf, SelectedOnlyPrintsTheEditorsBlockInEachMode) {
  TRidEder ed(nullptr);
  ed.SetText(Sjis("0123表ソ能abc\r\n\tXY表ソ能xyz\r\nlast line"));
  struct Case {
    TRidSelectionMode Mode;
    std::string Expected;  // empty: the editor's block
  };
  const Case cases[] = {
      {smNormal, "3表ソ能abcXY表ソ"},
      {smLine, "0123表ソ能abcXY表ソ能xyz"},
      {smColumn, ""},
  };
  for (const Case& c : cases) {
    ed.SetSelectionMode(c.Mode);
    ed.SetBlockBegin({4, 1});
    ed.SetBlockEnd({8, 2});
    const std::string expected =
        c.Expected.empty() ? NoBlanks(SjisToUtf8(ed.GetSelText())) : c.Expected;
    Job.SetRidEder(ed);
    Job.SetSelectedOnly(true);
    Job.Print();
    EXPECT_EQ(NoBlanks(Text()), expected) << c.Mode;
  }
  ed.SetBlockEnd({4, 1});  // nothing selected: nothing printed
  Job.SetRidEder(ed);
  std::filesystem::remove(Pdf);
  Job.Print();
  EXPECT_FALSE(std::filesystem::exists(Pdf));
}

TEST_F(PrintPdf, ThePreviewCanvasDrawsAnyPageNumberWithinTheDocument) {
  const int32_t count = Job.GetPageCount();
  QImage image(400, 600, QImage::Format_RGB32);
  TCanvas canvas;
  canvas.SetDevice(&image);
  std::vector<int32_t> drawn;
  struct Watch {
    std::vector<int32_t>* Pages;
    void Status(TObject*, TRidPrintStatus, int32_t Page, bool&) { Pages->push_back(Page); }
  } watch{&drawn};
  Job.OnPrintStatus = TPrintStatusEvent(&watch, &Watch::Status);
  for (int32_t page : {0, -5, 1, count, count + 1, 1000}) Job.PrintToCanvas(canvas, page);
  EXPECT_EQ(drawn, (std::vector<int32_t>{1, 1, 1, count, count, count}));
  // The document shrinks under the page: the last page is drawn.
  TStringList one;
  one.Add("x");
  Job.SetLines(&one);
  drawn.clear();
  Job.PrintToCanvas(canvas, count);
  EXPECT_EQ(drawn, (std::vector<int32_t>{1}));
  canvas.FreeHandle();
}

}  // namespace
}  // namespace rid
