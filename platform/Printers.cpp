#include "platform/Printers.h"

#include <cups/cups.h>

#include <QBuffer>
#include <QDir>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <memory>
#include <string>

#include "platform/Locale.h"

namespace rid {

namespace {

// Every job is laid out at this resolution: a queue is sent the same PDF as a file gets.
constexpr int kPdfResolution = 600;
constexpr const char* kPdfPrinter = "PDF";

using TIppResponse = std::unique_ptr<ipp_t, decltype(&ippDelete)>;

std::string CannotPrintOn(const std::string& Queue, const std::string& Why) {
  return "Cannot print on \"" + Queue + "\": " + Why;
}

// CUPS's words for its last failure. When the scheduler is not reached they are those of a
// failed socket call ("Bad file descriptor"): saying where it was looked for tells more.
std::string CupsFailure() {
  if (cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
    return "no print service answers at " + std::string(cupsServer());
  return cupsLastErrorString();
}

// A queue listed as NAME/INSTANCE is the queue NAME with options of its own.
std::string QueueOf(const std::string& Printer) { return Printer.substr(0, Printer.find('/')); }

// The queue's state: whether it takes jobs, whether it is stopped and why.
TIppResponse QueueState(const std::string& Queue) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", Queue.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  static const char* const kWanted[] = {"printer-is-accepting-jobs", "printer-state",
                                        "printer-state-message"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                int(std::size(kWanted)), nullptr, kWanted);
  return TIppResponse(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"), ippDelete);
}

// Sends a finished document to the queue as one job, to be printed Copies times; the job is
// withdrawn when it does not arrive whole.
void SendToQueue(const std::string& Queue, const std::string& Title, int32_t Copies,
                 std::string_view Pdf) {
  const char* queue = Queue.c_str();
  std::string name = "copies", count = std::to_string(Copies);
  cups_option_t copies{name.data(), count.data()};
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue, Title.c_str(), Copies > 1, &copies);
  if (job == 0) throw EPrinter(CannotPrintOn(Queue, CupsFailure()));
  const bool sent =
      cupsStartDocument(CUPS_HTTP_DEFAULT, queue, job, Title.c_str(), CUPS_FORMAT_PDF, 1) ==
          HTTP_STATUS_CONTINUE &&
      cupsWriteRequestData(CUPS_HTTP_DEFAULT, Pdf.data(), Pdf.size()) == HTTP_STATUS_CONTINUE &&
      cupsFinishDocument(CUPS_HTTP_DEFAULT, queue) <= IPP_STATUS_OK_CONFLICTING;
  if (sent) return;
  const std::string why = CupsFailure();
  cupsCancelJob2(CUPS_HTTP_DEFAULT, queue, job, 0);
  throw EPrinter(CannotPrintOn(Queue, why));
}

}  // namespace

std::string PrintQueueProblem(const std::string& Name) {
  const std::string queue = QueueOf(Name);
  const TIppResponse state = QueueState(queue);
  if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) return CannotPrintOn(queue, CupsFailure());
  const char* message = ippGetString(
      ippFindAttribute(state.get(), "printer-state-message", IPP_TAG_ZERO), 0, nullptr);
  const std::string why = message && *message ? std::string(" (") + message + ")" : "";
  ipp_attribute_t* accepting =
      ippFindAttribute(state.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
  if (accepting && !ippGetBoolean(accepting, 0))
    return CannotPrintOn(queue, "it is not accepting jobs" + why);
  // A stopped queue would take the job and hold it until someone starts the queue again.
  if (ippGetInteger(ippFindAttribute(state.get(), "printer-state", IPP_TAG_ENUM), 0) ==
      IPP_PSTATE_STOPPED)
    return CannotPrintOn(queue, "it is stopped" + why);
  return {};
}

TPrinter::TPrinter()
    : FPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      FCanvas(std::make_unique<TCanvas>()) {
  Configure();
}

TPrinter::~TPrinter() {
  if (FPrinting) Abort();
}

TStrings* TPrinter::Printers() {
  if (!FPrinters) {
    FPrinters = std::make_unique<TStringList>();
    FPrinters->Add(kPdfPrinter);
    for (const QString& name : QPrinterInfo::availablePrinterNames())
      FPrinters->Add(Utf8ToSjis(name.toStdString()));
  }
  return FPrinters.get();
}

void TPrinter::SetPrinterIndex(int32_t Value) {
  if (FPrinting) throw EPrinter("Printing in progress");
  if (Value < 0) Value = 0;
  if (Value >= Printers()->Count()) throw EPrinter("Printer index out of range");
  FPrinterIndex = Value;
  Configure();
}

void TPrinter::SetOrientation(TPrinterOrientation Value) {
  if (FPrinting) throw EPrinter("Printing in progress");
  FOrientation = Value;
  Configure();
}

void TPrinter::Configure() {
  QPrinter& p = *FPrinter;
  if (FPrinterIndex == 0) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setResolution(kPdfResolution);
    p.setPageSize(QPageSize(QPageSize::A4));
    // A PDF has no unprintable border; keep one like a real printer's so layouts match.
    p.setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
  } else {
    // The queue gives the paper and its printable area; the job is a PDF all the same.
    p.setOutputFormat(QPrinter::NativeFormat);
    p.setPrinterName(QString::fromStdString(QueueName()));
    p.setResolution(kPdfResolution);
  }
  p.setPageOrientation(FOrientation == poLandscape ? QPageLayout::Landscape
                                                   : QPageLayout::Portrait);
  TDeviceCaps caps;
  caps.LogPixelsX = caps.LogPixelsY = p.resolution();
  const QPageLayout layout = p.pageLayout();
  const QRect full = layout.fullRectPixels(p.resolution());
  const QRect paint = layout.paintRectPixels(p.resolution());
  caps.PhysicalWidth = full.width();
  caps.PhysicalHeight = full.height();
  caps.PhysicalOffsetX = paint.left();
  caps.PhysicalOffsetY = paint.top();
  FCanvas->SetDeviceCaps(caps);
  FCanvas->Font().SetPixelsPerInch(p.resolution());
}

int32_t TPrinter::GetPageWidth() {
  return FPrinter->pageLayout().paintRectPixels(FPrinter->resolution()).width();
}

int32_t TPrinter::GetPageHeight() {
  return FPrinter->pageLayout().paintRectPixels(FPrinter->resolution()).height();
}

int32_t TPrinter::GetDeviceCaps(int32_t Index) {
  switch (Index) {
    case HORZRES:
      return GetPageWidth();
    case VERTRES:
      return GetPageHeight();
    default:
      return FCanvas->GetDeviceCaps(Index);
  }
}

std::string TPrinter::OutputFile() const {
  if (!FFileName.empty()) return FFileName;
  std::string base = SjisToUtf8(FTitle);
  for (char& c : base)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  if (base.empty()) base = "document";
  return (QDir::currentPath().toStdString() + "/" + base + ".pdf");
}

std::string TPrinter::QueueName() { return SjisToUtf8(Printers()->Get(FPrinterIndex)); }

void TPrinter::BeginDoc() {
  if (FPrinting) throw EPrinter("Printing in progress");
  const QString title = QString::fromStdString(SjisToUtf8(FTitle));
  // Made in memory and saved or sent whole at EndDoc, so an aborted or failed job leaves an
  // older file of that name as it was and sends nothing; an output that cannot take it is
  // refused before the work.
  if (FPrinterIndex != 0) {
    if (const std::string problem = PrintQueueProblem(QueueName()); !problem.empty())
      throw EPrinter(problem);
  } else if (!FPdfOutput) {
    try {
      CheckCanReplaceFile(OutputFile());
    } catch (const Exception& e) {
      throw EPrinter(e.Message);
    }
  }
  FPdf = std::make_unique<QBuffer>();
  FPdf->open(QIODevice::WriteOnly);
  FPdfWriter = std::make_unique<QPdfWriter>(FPdf.get());
  FPdfWriter->setResolution(FPrinter->resolution());
  FPdfWriter->setPageLayout(FPrinter->pageLayout());
  FPdfWriter->setTitle(title);
  FPainter = std::make_unique<QPainter>();
  if (!FPainter->begin(FPdfWriter.get())) {
    EndJob();
    throw EPrinter("Cannot start printing to printer \"" + QueueName() + "\"");
  }
  FCanvas->BeginPainter(FPainter.get(), Rect(0, 0, GetPageWidth(), GetPageHeight()));
  FPrinting = true;
  FAborted = false;
  FPageNumber = 1;
}

void TPrinter::NewPage() {
  if (!FPrinting) throw EPrinter("Printer is not currently printing");
  if (!FPdfWriter->newPage()) throw EPrinter("Cannot start a new page");
  ++FPageNumber;
}

void TPrinter::EndJob() {
  if (FPainter && FPainter->isActive()) FPainter->end();
  FPainter.reset();
  FPdfWriter.reset();
  FPdf.reset();
  FPrinting = false;
  FPageNumber = 0;
}

void TPrinter::EndDoc() {
  if (!FPrinting) return;
  FCanvas->EndPainter();
  const bool ok = FPainter->end();  // a PDF's end is written here
  const QByteArray pdf = FPdf->data();
  EndJob();
  if (!ok) throw EPrinter("Printing failed");
  const std::string_view bytes(pdf.constData(), static_cast<size_t>(pdf.size()));
  if (FPrinterIndex != 0)
    SendToQueue(QueueOf(QueueName()), SjisToUtf8(FTitle), FCopies, bytes);
  else if (FPdfOutput)
    FPdfOutput(bytes);
  else
    SaveBytesToFileAtomic(OutputFile(), bytes);
}

void TPrinter::Abort() {
  if (!FPrinting) return;
  FCanvas->EndPainter();
  EndJob();
  FAborted = true;
}

TPrinter* Printer() {
  static TPrinter printer;
  return &printer;
}

}  // namespace rid
