#pragma once
// Printing from the window: File > Print... (Ctrl+P) and File > Print Preview, over one print
// job filled from the page shown; the choices persist in the registry.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/EderPage.h"
#include "output/RidEderPrint.h"
#include "output/RidEderPrintPreview.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QSpinBox;

namespace rid {

// The print dialog: printer (PDF first, with its output file), pages, copies, the job's flags
// and the header and footer lines.
class TEderPrintDialog : public QDialog {
 public:
  // Shows Job's choices; "selection only" is offered when the page has a selection.
  TEderPrintDialog(TRidEderPrint& AJob, TEderPage& APage, QWidget* AParent);
  // Gives the job and the printer the dialog's choices, keeps them in the registry and prints.
  // Returns what went wrong ("" when the pages were printed); a settings file that cannot be
  // written does not stop the print (see SettingsProblem).
  std::string PrintNow();
  // What the last PrintNow could not keep in the settings file, and why (SavePrintSettings);
  // "" when it kept them all.
  const std::string& SettingsProblem() const { return FSettingsProblem; }

  QComboBox* PrinterBox() const { return FPrinter; }
  QLineEdit* OutputFile() const { return FFile; }
  QCheckBox* AllPages() const { return FAll; }
  QSpinBox* FromPage() const { return FFrom; }
  QSpinBox* ToPage() const { return FTo; }
  QSpinBox* Copies() const { return FCopies; }
  QCheckBox* LineNumbers() const { return FLineNumbers; }
  QCheckBox* Wrap() const { return FWrap; }
  QCheckBox* Highlight() const { return FHighlight; }
  QCheckBox* Colors() const { return FColors; }
  QCheckBox* SelectionOnly() const { return FSelection; }
  QPlainTextEdit* HeaderLines() const { return FHeader; }
  QPlainTextEdit* FooterLines() const { return FFooter; }

 private:
  // Job and printer take the dialog's choices; "" or what cannot be taken.
  std::string Apply();
  void PrinterChanged(int Index);
  void Accept();

  TRidEderPrint& FJob;
  TEderPage& FPage;
  std::string FSettingsProblem;
  QComboBox* FPrinter;
  QLineEdit* FFile;
  QCheckBox* FAll;
  QSpinBox* FFrom;
  QSpinBox* FTo;
  QSpinBox* FCopies;
  QCheckBox* FLineNumbers;
  QCheckBox* FWrap;
  QCheckBox* FHighlight;
  QCheckBox* FColors;
  QCheckBox* FSelection;
  QPlainTextEdit* FHeader;
  QPlainTextEdit* FFooter;
};

// The preview window: the job's pages in a TRidEderPrintPreview, with page and scale commands.
class TEderPreviewWindow : public QDialog {
 public:
  // Print asks how to print (the print dialog) and shows the job again afterwards.
  TEderPreviewWindow(TRidEderPrint& AJob, std::function<void()> APrint, QWidget* AParent);
  ~TEderPreviewWindow() override;
  TRidEderPrintPreview& Preview() { return *FPreview; }
  QLabel* PageLabel() const { return FPageLabel; }
  QSpinBox* Percent() const { return FPercent; }

 private:
  void PageShown(TObject* Sender, int32_t PageNumber);
  void ScaleChanged(TObject* Sender);

  std::unique_ptr<TRidEderPrintPreview> FPreview;  // goes before the widgets that show it
  QLabel* FPageLabel;
  QSpinBox* FPercent;
};

// The window's printing: the job, its menu items and windows. A settings file that cannot be
// written is told on the window's status line after printing.
class TEderPrinting {
 public:
  // Takes the stored choices (LoadPrintSettings).
  TEderPrinting(QMainWindow* AWindow, std::function<TEderPage&()> ACurrentPage);
  ~TEderPrinting();
  // Print... (Ctrl+P) and Print Preview.
  void AddActions(QMenu& FileMenu);
  // The job, filled from the page shown: its editor's text, highlighter, font and selection,
  // titled with its file name without folder and extension.
  TRidEderPrint& PrepareJob();
  TRidEderPrint& Job() { return *FJob; }
  // The stored choices that could not be used, one line each.
  const std::vector<std::string>& SettingsProblems() const { return FSettingsProblems; }
  void ShowPrintDialog();
  void ShowPreview();
  TEderPreviewWindow* PreviewWindow() const { return FPreviewWindow; }

 private:
  QMainWindow* FWindow;
  std::function<TEderPage&()> FCurrentPage;
  std::unique_ptr<TRidEderPrint> FJob;
  std::vector<std::string> FSettingsProblems;
  TEderPreviewWindow* FPreviewWindow = nullptr;  // owned by Qt; deleted when closed
};

}  // namespace rid
