// The print modes of the command line: --print-pdf, --print and --preview-png.
#include <QBuffer>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "app/CommandLine.h"
#include "app/EderPrintSettings.h"
#include "output/RidEderPrint.h"
#include "output/RidEderPrintPreview.h"
#include "platform/Locale.h"
#include "platform/Printers.h"
#include "platform/WidgetBridge.h"

namespace rid {

namespace {

constexpr const char* kMarginForm =
    "L,R,T,B,HEADER,FOOTER,HF LEFT,HF RIGHT,HF INNER,GUTTER,MIRROR/WRAP,COLORS,HIGHLIGHT,NUMBERS,"
    "NUMBERS IN MARGIN,HEADER MIRROR,FOOTER MIRROR";

// Why a --margin text was refused: what it lacks, or the item that is no number.
std::string MarginProblem(const std::string& Text, const Exception& Error) {
  std::string why = Error.Message;
  if (dynamic_cast<const EStringListError*>(&Error)) {
    const auto items = [](std::string_view S) { return std::count(S.begin(), S.end(), ',') + 1; };
    const size_t slash = Text.find('/');
    const std::string_view margins = std::string_view(Text).substr(0, slash);
    if (items(margins) < 11)
      why = std::to_string(items(margins)) + " of the 11 items before \"/\"";
    else if (slash == std::string::npos)
      why = "no \"/\" and 7 flags after the margins";
    else
      why = std::to_string(items(std::string_view(Text).substr(slash + 1))) +
            " of the 7 flags after \"/\"";
  }
  return "--margin takes " + std::string(kMarginForm) + " (millimetres; 0 or 1 for the rest): \"" +
         Text + "\": " + why;
}

// The job as the options describe it, on FILE's text, highlighter and editor font.
void Configure(TRidEderPrint& P, TCliJob& Job) {
  const TCliArgs& a = Job.Args();
  TRidEder& eder = *Job.Page().Eder;
  P.SetRidEder(eder);
  if (a.Has("--tab-width")) {
    P.SetTabWidth(a.Int("--tab-width", 8, 1, 256));
    P.SetLines(eder.GetLines());
  }
  Job.ApplyFont(P.GetFont());
  P.SetTitle(Job.Title());
  if (a.Has("--margin")) {
    try {
      P.SetMargin(a.Value("--margin"));
    } catch (const Exception& e) {
      throw ECliUsage(MarginProblem(a.Value("--margin"), e));
    }
  }
  if (a.Has("--no-wrap")) P.SetWrap(false);
  if (a.Has("--no-highlight")) P.SetHighlight(false);
  if (a.Has("--colors")) P.SetColors(true);
  if (a.Has("--line-numbers")) P.SetLineNumbers(true);
  if (a.Has("--numbers-in-margin")) P.SetLineNumbersInMargin(true);
  P.SetLineOffset(a.Int("--line-offset", 0, -1000000000, 1000000000));
  P.SetPageOffset(a.Int("--page-offset", 0, -1000000000, 1000000000));
  P.SetCopies(a.Int("--copies", 1, 1, 999));
  try {
    SetHeaderFooterLines(P.GetHeader(), a.Has("--header")
                                            ? a.Values("--header")
                                            : std::vector<std::string>{kDefaultHeaderLine});
    SetHeaderFooterLines(P.GetFooter(), a.Values("--footer"));
  } catch (const EConvertError& e) {
    throw ECliUsage(e.Message);
  }
  P.GetHeader().SetRomanNumbers(a.Has("--roman"));
  P.GetFooter().SetRomanNumbers(a.Has("--roman"));
}

// The document's page count, once its layout shows the options leave room for text.
int32_t CheckedPageCount(TRidEderPrint& P, const TCliArgs& A) {
  const int32_t count = P.GetPageCount();
  if (!P.HasTextArea()) {
    if (A.Has("--margin"))
      throw ECliUsage("--margin leaves no text area on the page for a character of the font: \"" +
                      A.Value("--margin") + "\"");
    throw ECliUsage("--font is larger than the text area of the page: \"" + A.Value("--font") +
                    "\"");
  }
  return count;
}

// The same error for every page number that the document does not reach.
[[noreturn]] void NoSuchPages(std::string_view Option, const std::string& Value, int32_t Count) {
  throw Exception(std::string(Option) + " " + Value + ": the document has " +
                  std::to_string(Count) + (Count == 1 ? " page" : " pages"));
}

// Prints the pages --pages names on the current printer; reports the document's page count.
int PrintJob(TCliJob& Job) {
  TRidEderPrint p(nullptr);
  Configure(p, Job);
  int32_t from = 1, to = INT32_MAX;
  const std::string pages = Job.Args().Value("--pages");
  if (!pages.empty() && (!ParseCliPair(pages, '-', from, to) || from < 1 || from > to))
    throw ECliUsage("--pages takes FROM-TO, 1 <= FROM <= TO: \"" + pages + "\"");
  p.GetPrinterInfo().UpdatePrinter();
  const int32_t count = CheckedPageCount(p, Job.Args());
  if (from > count) NoSuchPages("--pages", pages, count);
  p.PrintRange(from, std::min(to, count));
  std::fprintf(Job.Report(), "pages=%d\n", count);
  return 0;
}

}  // namespace

const std::vector<TCliOption>& PrintCliOptions() {
  static const std::vector<TCliOption> options = {
      {"--tab-width", "N"},    {"--line-numbers", ""},
      {"--line-offset", "N"},  {"--numbers-in-margin", ""},
      {"--no-wrap", ""},       {"--no-highlight", ""},
      {"--colors", ""},        {"--header", "'L|C|R'"},
      {"--footer", "'L|C|R'"}, {"--roman", ""},
      {"--margin", "TEXT"},    {"--pages", "FROM-TO"},
      {"--copies", "N"},       {"--page-offset", "N"},
  };
  return options;
}

const std::vector<TCliOption>& PreviewCliOptions() {
  static const std::vector<TCliOption> options = [] {
    std::vector<TCliOption> o = PrintCliOptions();
    o.insert(o.end(), {{"--page", "N"}, {"--scale", "whole|width|PERCENT"}, {"--size", "WxH"}});
    return o;
  }();
  return options;
}

int RunPrintPdf(TCliJob& Job) {
  TPrinter& printer = *Printer();
  printer.SetPrinterIndex(0);
  // The document goes where every mode's output goes.
  struct TOutputGuard {
    TPrinter& P;
    ~TOutputGuard() { P.SetPdfOutput({}); }
  } guard{printer};
  printer.SetPdfOutput([&Job](std::string_view Pdf) { Job.WriteOutput(Pdf); });
  return PrintJob(Job);
}

int RunPrintQueue(TCliJob& Job) {
  TPrinter& printer = *Printer();
  const std::string& queue = Job.Args().Target;
  const std::string name = Utf8ToSjis(queue);
  TStrings& names = *printer.Printers();
  // From the second: the PDF printer is the first, and a queue may be called "PDF" too.
  for (int32_t i = 1; i < names.Count(); ++i) {
    if (names.Get(i) != name) continue;
    printer.SetPrinterIndex(i);
    return PrintJob(Job);
  }
  const std::string problem = PrintQueueProblem(queue);
  throw Exception(problem.empty() ? "unknown printer \"" + queue + "\"" : problem);
}

int RunPreviewPng(TCliJob& Job) {
  const TCliArgs& a = Job.Args();
  TRidEderPrint p(nullptr);
  Configure(p, Job);
  int32_t width = 800, height = 1000;
  if (a.Has("--size") && (!ParseCliPair(a.Value("--size"), 'x', width, height) || width < 1 ||
                          height < 1 || width > 10000 || height > 10000))
    throw ECliUsage("--size takes WxH (1 to 10000 each): \"" + a.Value("--size") + "\"");
  TRidEderPrintPreview preview(nullptr);
  preview.SetAlign(alNone);
  preview.SetBounds(0, 0, width, height);
  preview.HandleNeeded();
  preview.SetRidEderPrint(&p);
  const std::string scale = a.Value("--scale", "whole");
  if (scale == "whole") {
    preview.SetScaleMode(pscWholePage);
  } else if (scale == "width") {
    preview.SetScaleMode(pscPageWidth);
  } else {
    preview.SetScalePercent(a.Int("--scale", 100, 1, 10000));
  }
  preview.UpdatePreview();
  const int32_t page = a.Int("--page", 1, 1, INT32_MAX);
  if (page > CheckedPageCount(p, a)) NoSuchPages("--page", a.Value("--page"), p.GetPageCount());
  preview.SetPageNumber(page);
  preview.Update();
  const QImage shot = preview.Bridge()->grab().toImage();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!shot.save(&buffer, "PNG")) throw Exception("cannot make the picture");
  Job.WriteOutput(std::string_view(png.constData(), size_t(png.size())));
  std::fprintf(Job.Report(), "page=%d pages=%d\n", preview.GetPageNumber(), preview.GetPageCount());
  return 0;
}

}  // namespace rid
