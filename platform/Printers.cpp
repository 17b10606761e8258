#include "platform/Printers.h"

#include <unistd.h>

#include <QDir>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <filesystem>
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

void TPrinter::BeginDoc() {
  if (FPrinting) throw EPrinter("Printing in progress");
  FPrinter->setDocName(QString::fromStdString(SjisToUtf8(FTitle)));
  FPrinter->setCopyCount(FCopies);
  FJobFile.clear();
  FTargetFile.clear();
  if (FPrinterIndex == 0) {
    // The job is written beside the output and renamed over it at EndDoc, so an aborted or
    // failed job leaves an older file of that name as it was.
    FTargetFile = OutputFile();
    const std::filesystem::path target(FTargetFile);
    FJobFile = (target.parent_path() /
                ("." + target.filename().string() + "." + std::to_string(::getpid()) + ".part"))
                   .string();
    FPrinter->setOutputFileName(QString::fromStdString(FJobFile));
  }
  FPainter = std::make_unique<QPainter>();
  if (!FPainter->begin(FPrinter.get())) {
    FPainter.reset();
    RemoveJobFile();
    throw EPrinter("Cannot start printing to \"" +
                   (FTargetFile.empty() ? std::string("printer") : FTargetFile) + "\"");
  }
  FCanvas->BeginPainter(FPainter.get(), Rect(0, 0, GetPageWidth(), GetPageHeight()));
  FPrinting = true;
  FAborted = false;
  FPageNumber = 1;
}

void TPrinter::NewPage() {
  if (!FPrinting) throw EPrinter("Printer is not currently printing");
  if (!FPrinter->newPage()) throw EPrinter("Cannot start a new page");
  ++FPageNumber;
}

void TPrinter::EndDoc() {
  if (!FPrinting) return;
  FCanvas->EndPainter();
  const bool ok = FPainter->end();
  FPainter.reset();
  FPrinting = false;
  FPageNumber = 0;
  if (!ok) {
    RemoveJobFile();
    throw EPrinter("Printing failed");
  }
  if (!FJobFile.empty()) {
    std::error_code ec;
    std::filesystem::rename(FJobFile, FTargetFile, ec);
    if (ec) {
      RemoveJobFile();
      throw EPrinter("Cannot write \"" + FTargetFile + "\": " + ec.message());
    }
    FJobFile.clear();
  }
}

void TPrinter::RemoveJobFile() {
  if (FJobFile.empty()) return;
  std::error_code ec;
  std::filesystem::remove(FJobFile, ec);
  FJobFile.clear();
}

void TPrinter::Abort() {
  if (!FPrinting) return;
  FPrinter->abort();
  FCanvas->EndPainter();
  if (FPainter->isActive()) FPainter->end();
  FPainter.reset();
  FPrinting = false;
  FAborted = true;
  FPageNumber = 0;
  RemoveJobFile();
}

TPrinter* Printer() {
  static TPrinter printer;
  return &printer;
}

}  // namespace rid
