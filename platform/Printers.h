#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Classes.h"
#include "platform/Graphics.h"

class QBuffer;
class QPainter;
class QPdfWriter;
class QPrinter;

namespace rid {

class EPrinter : public Exception {
 public:
  using Exception::Exception;
};

enum TPrinterOrientation { poPortrait, poLandscape };

// The printer: a PDF printer (always there, the first) and the system's CUPS queues. Sizes and
// offsets are device pixels at the printer's resolution; the canvas draws on the page with its
// origin at the printable area's corner, as on a printer's device context. A job is made in
// memory as a PDF, on the queue's paper for a queue. When it ends it replaces FileName (by
// default <title>.pdf in the working folder), through SaveBytesToFileAtomic as every save, or
// goes to the queue as one job; an aborted or failed job leaves no partial file, an older file
// of that name untouched and nothing in the queue.
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

  // EPrinter when a job is already running, the output cannot be written or the queue cannot
  // take a job now (the reason, CUPS's for a queue).
  void BeginDoc();
  void NewPage();
  // Finishes the job and writes the PDF or sends it to the queue (EPrinter with the save's
  // error, or the reason CUPS refused the job); after Abort (or without a job) it does nothing.
  void EndDoc();
  // Stops the job; a partial PDF is removed, and nothing goes to a queue.
  void Abort();
  TCanvas& Canvas() { return *FCanvas; }

 private:
  void Configure();
  std::string OutputFile() const;
  std::string QueueName();  // the current printer's name, in UTF-8
  void EndJob();
  std::unique_ptr<QPrinter> FPrinter;      // the paper and its printable area
  std::unique_ptr<QBuffer> FPdf;           // the job's document
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

// Why the CUPS queue Name (UTF-8) cannot take a job now, naming it and giving CUPS's reason: it
// does not exist, takes no jobs, is stopped, or no print service answers. "" when it can.
std::string PrintQueueProblem(const std::string& Name);

}  // namespace rid
