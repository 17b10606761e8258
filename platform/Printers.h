#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Classes.h"
#include "platform/Graphics.h"

class QBuffer;
class QPagedPaintDevice;
class QPainter;
class QPdfWriter;
class QPrinter;

namespace rid {

class EPrinter : public Exception {
 public:
  using Exception::Exception;
};

enum TPrinterOrientation { poPortrait, poLandscape };

// The printer: a PDF printer (always there, the first) and the system's printers. Sizes and
// offsets are device pixels at the printer's resolution; the canvas draws on the page with its
// origin at the printable area's corner, as on a printer's device context. A PDF job is made
// in memory and replaces FileName (by default <title>.pdf in the working folder) when it ends,
// through SaveBytesToFileAtomic as every save; an aborted or failed job leaves no partial file
// and an older file of that name untouched.
class TPrinter : public TObject {
 public:
  RID_CLASS_NAME(TPrinter)
  TPrinter();
  ~TPrinter() override;
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // Printer names; index 0 is "PDF".
  TStrings* Printers();
  int32_t GetPrinterIndex() const { return FPrinterIndex; }
  void SetPrinterIndex(int32_t Value);
  const std::string& GetFileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }
  // Where a PDF job's document goes when it ends instead of FileName; empty: to FileName.
  using TPdfOutput = std::function<void(std::string_view Pdf)>;
  void SetPdfOutput(TPdfOutput Value) { FPdfOutput = std::move(Value); }
  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  TPrinterOrientation GetOrientation() const { return FOrientation; }
  void SetOrientation(TPrinterOrientation Value);
  int32_t GetCopies() const { return FCopies; }
  void SetCopies(int32_t Value) { FCopies = Value < 1 ? 1 : Value; }

  // The printable area.
  int32_t GetPageWidth();
  int32_t GetPageHeight();
  int32_t GetPageNumber() const { return FPageNumber; }
  bool GetPrinting() const { return FPrinting; }
  bool GetAborted() const { return FAborted; }
  // LOGPIXELSX/Y, HORZRES/VERTRES, PHYSICALWIDTH/HEIGHT, PHYSICALOFFSETX/Y.
  int32_t GetDeviceCaps(int32_t Index);

  // EPrinter when a job is already running or the output cannot be written (its reason).
  void BeginDoc();
  void NewPage();
  // Finishes the job and writes a PDF (the save's error when that fails); after Abort (or
  // without a job) it does nothing.
  void EndDoc();
  // Stops the job; a partial PDF is removed.
  void Abort();
  TCanvas& Canvas() { return *FCanvas; }

 private:
  void Configure();
  std::string OutputFile() const;
  QPagedPaintDevice& Device();
  void EndJob();
  std::unique_ptr<QPrinter> FPrinter;
  std::unique_ptr<QBuffer> FPdf;           // a PDF job's document
  std::unique_ptr<QPdfWriter> FPdfWriter;  // draws it
  std::unique_ptr<QPainter> FPainter;
  std::unique_ptr<TCanvas> FCanvas;
  std::unique_ptr<TStringList> FPrinters;
  int32_t FPrinterIndex = 0;
  std::string FFileName;
  std::string FTitle;
  TPdfOutput FPdfOutput;
  TPrinterOrientation FOrientation = poPortrait;
  int32_t FCopies = 1;
  int32_t FPageNumber = 0;
  bool FPrinting = false;
  bool FAborted = false;
};

TPrinter* Printer();

}  // namespace rid
