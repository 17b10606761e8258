#include "platform/Printers.h"

#include <QBuffer>
#include <QDir>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <string>

#include "platform/Locale.h"

namespace rid {

namespace {

constexpr int kPdfResolution = 600;
constexpr const char* kPdfPrinter = "PDF";

}  // namespace

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
    p.setOutputFormat(QPrinter::NativeFormat);
    p.setPrinterName(QString::fromStdString(SjisToUtf8(Printers()->Get(FPrinterIndex))));
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

QPagedPaintDevice& TPrinter::Device() {
  if (FPdfWriter) return *FPdfWriter;
  return *FPrinter;
}

void TPrinter::BeginDoc() {
  if (FPrinting) throw EPrinter("Printing in progress");
  const QString title = QString::fromStdString(SjisToUtf8(FTitle));
  FPrinter->setDocName(title);
  FPrinter->setCopyCount(FCopies);
  if (FPrinterIndex == 0) {
    // Made in memory and saved whole at EndDoc, so an aborted or failed job leaves an older
    // file of that name as it was; a file that cannot be written is refused before the work.
    if (!FPdfOutput) {
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
  }
  FPainter = std::make_unique<QPainter>();
  if (!FPainter->begin(&Device())) {
    EndJob();
    throw EPrinter("Cannot start printing to printer \"" +
                   SjisToUtf8(Printers()->Get(FPrinterIndex)) + "\"");
  }
  FCanvas->BeginPainter(FPainter.get(), Rect(0, 0, GetPageWidth(), GetPageHeight()));
  FPrinting = true;
  FAborted = false;
  FPageNumber = 1;
}

void TPrinter::NewPage() {
  if (!FPrinting) throw EPrinter("Printer is not currently printing");
  if (!Device().newPage()) throw EPrinter("Cannot start a new page");
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
  const QByteArray pdf = FPdf ? FPdf->data() : QByteArray();
  EndJob();
  if (!ok) throw EPrinter("Printing failed");
  if (pdf.isEmpty()) return;
  const std::string_view bytes(pdf.constData(), static_cast<size_t>(pdf.size()));
  if (FPdfOutput)
    FPdfOutput(bytes);
  else
    SaveBytesToFileAtomic(OutputFile(), bytes);
}

void TPrinter::Abort() {
  if (!FPrinting) return;
  if (!FPdfWriter) FPrinter->abort();
  FCanvas->EndPainter();
  EndJob();
  FAborted = true;
}

TPrinter* Printer() {
  static TPrinter printer;
  return &printer;
}

}  // namespace rid
