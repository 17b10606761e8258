#pragma once
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/EderPage.h"
#include "app/EderPrinting.h"
#include "app/EderSearch.h"

class QMenu;
class QTabWidget;

namespace rid {

class TRidCustomExporter;

// The Perl CGI script shown when no file is given, in Shift-JIS.
std::string SampleScript();

// The program window: one editor per file, on tabs when there are several, coloured by the
// highlighter its extension chooses; the Highlighter menu chooses another for the shown one.
class TEderWindow : public QMainWindow {
 public:
  // Raises the file's read error when a file cannot be read.
  explicit TEderWindow(const std::vector<std::string>& Files);
  ~TEderWindow() override;
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TRidEder& Eder(int Index) { return *FPages.at(Index)->Eder; }
  QTabWidget* Tabs() const { return FTabs; }
  TEderHighlighters& Highlighters() { return *FHighlighters; }
  // The editor of the page shown.
  TRidEder& CurrentEder();
  TEderSearch& Search() { return *FSearch; }
  TEderPrinting& Printing() { return *FPrinting; }
  // The page shown: the current tab's.
  TEderPage& CurrentPage();
  // The current page's text coloured as shown, saved atomically to FileName, titled by the
  // page's file name. Raises the save error.
  void ExportCurrentPage(TRidCustomExporter& E, const std::string& FileName);

  QMenu* HighlighterMenu() const { return FHighlighterMenu; }

 protected:
  // The shown page's editor takes the keyboard as the window opens.
  void showEvent(QShowEvent* E) override;

 private:
  void FocusCurrentEditor();
  // Typed or committed characters the editors cannot hold are left out; the status line says
  // how many.
  void ReportInputLost(TWinControl* Control, int32_t Count);
  void AddPage(std::unique_ptr<TEderPage> Page);
  void AddHighlighterMenu();
  // The shown page gets the highlighter of a display name; the menu checks the one it has.
  void SetPageHighlighter(const std::string& AName);
  void ShowPageHighlighter();
  void CreateMenus();
  // File > Export as ...: asks for a file name with the exporter's filter, then exports.
  void AskExport(TRidCustomExporter& E, const char* Extension);

  std::unique_ptr<TEderHighlighters> FHighlighters;  // outlives the pages that use them
  std::vector<std::unique_ptr<TEderPage>> FPages;
  QTabWidget* FTabs = nullptr;
  std::unique_ptr<TEderSearch> FSearch;
  std::unique_ptr<TEderPrinting> FPrinting;
  QMenu* FHighlighterMenu = nullptr;
};

}  // namespace rid
