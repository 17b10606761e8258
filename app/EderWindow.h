#pragma once
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/EderCompletion.h"
#include "app/EderKeySettings.h"
#include "app/EderMacros.h"
#include "app/EderPage.h"
#include "app/EderPrinting.h"
#include "app/EderSearch.h"

class QMenu;
class QTabWidget;

namespace rid {

class TRidCustomExporter;

// The Perl CGI script shown when no file is given, in Shift-JIS.
std::string SampleScript();

// The program window: one editor per file, on tabs (the bar shows when there are several),
// coloured by the highlighter its extension chooses; the Highlighter menu chooses another for
// the shown one. Text drags between tabs by resting on the tab of the page to drop on. Every
// editor gets the key bindings of the settings (TEderKeySettings); the settings skipped, or the
// settings file itself when it cannot be used, are told on the status line and the standard
// error stream as the window opens. What a command or a handler raises is told there too, and
// the window goes on (it is the application's OnException while it lives).
class TEderWindow : public QMainWindow {
 public:
  // Opens every file it can; a file that cannot be opened, and the characters a file's
  // conversion replaced by '?', are told in OpenProblems and in a message box once the window
  // runs. Raises the problems when files were given and none could be opened.
  explicit TEderWindow(const std::vector<std::string>& Files);
  ~TEderWindow() override;
  int PageCount() const { return static_cast<int>(FPages.size()); }
  // One line for each file that could not be opened or opened with characters replaced.
  const std::vector<std::string>& OpenProblems() const { return FOpenProblems; }
  // Why the settings file is not used (see TRegistry::SkipReason), as the status line says it
  // when the window opens; "" when it is used.
  static std::string SettingsProblem();
  // What the status line says of the settings as the window opens: the file skipped, else one
  // line for the key bindings skipped and one for each other value not taken; "" for none.
  QString SettingsProblems() const;
  TRidEder& Eder(int Index) { return *FPages.at(Index)->Eder; }
  QTabWidget* Tabs() const { return FTabs; }
  TEderHighlighters& Highlighters() { return *FHighlighters; }
  // The editor of the page shown.
  TRidEder& CurrentEder();
  TEderSearch& Search() { return *FSearch; }
  TEderCompletion& Completion() { return *FCompletion; }
  TEderPrinting& Printing() { return *FPrinting; }
  TEderMacros& Macros() { return *FMacros; }
  // The page shown: the current tab's.
  TEderPage& CurrentPage();
  // The current page's text coloured as shown, saved atomically to FileName, titled by the
  // page's file name. Raises the save error.
  void ExportCurrentPage(TRidCustomExporter& E, const std::string& FileName);

  QMenu* HighlighterMenu() const { return FHighlighterMenu; }
  // The SQL dialects, a submenu of the Highlighter menu shown while the page is coloured as SQL.
  QMenu* DialectMenu() const { return FDialectMenu; }

  // Ctrl+S (File > Save).
  void SaveCurrentPage();
  // Closes a page, asking first to save it when it was changed; the last one closes the window.
  void ClosePage(int Index);
  // Opens dropped files (names as the system spells them) in new tabs; one status message names
  // each file that could not be opened and each conversion warning.
  void OpenDroppedFiles(const std::vector<std::string>& Files);

 protected:
  // Files dropped on the window open in new tabs.
  void dragEnterEvent(QDragEnterEvent* E) override;
  void dropEvent(QDropEvent* E) override;
  // Changed pages are offered for saving first.
  void closeEvent(QCloseEvent* E) override;
  bool eventFilter(QObject* Watched, QEvent* E) override;

 protected:
  // The shown page's editor takes the keyboard as the window opens.
  void showEvent(QShowEvent* E) override;

 private:
  void FocusCurrentEditor();
  // Typed or committed characters the editors cannot hold are left out; the status line says
  // how many.
  void ReportInputLost(TWinControl* Control, int32_t Count);
  // The application's OnException while the window lives.
  void ReportException(TObject* Sender, const std::exception& E);
  void AddPage(std::unique_ptr<TEderPage> Page);
  // Search, completion and macros for the editor of a new page.
  void AttachTools(TRidEder& Ed);
  // Adds a page for the file when it opens; adds to Problems why it did not, or what its
  // conversion replaced. True when it opened.
  bool TryOpen(const std::string& FileName, std::vector<std::string>& Problems);
  // Adds a page for each file that opens; notes the problems of the others.
  void OpenFiles(const std::vector<std::string>& Files);
  void ShowOpenProblems();
  void ReportSettings();
  // Window title and tab texts: the name, "*" while changed.
  void UpdateTitles();
  QString PageName(const TEderPage& Page) const;
  void AddHighlighterMenu();
  // The shown page gets the highlighter of a display name; the menu checks the one it has
  // (and, for SQL, its dialect).
  void SetPageHighlighter(const std::string& AName);
  void ShowPageHighlighter();
  void CreateMenus();
  // File > Export as ...: asks for a file name with the exporter's filter, then exports.
  void AskExport(TRidCustomExporter& E, const char* Extension);

  std::unique_ptr<TEderHighlighters> FHighlighters;  // outlives the pages that use them
  TEderKeySettings FKeySettings;
  std::vector<std::unique_ptr<TEderPage>> FPages;
  std::vector<std::string> FOpenProblems;  // see OpenProblems
  QTabWidget* FTabs = nullptr;
  std::unique_ptr<TEderSearch> FSearch;
  std::unique_ptr<TEderCompletion> FCompletion;
  QMenu* FEditMenu = nullptr;
  std::unique_ptr<TEderPrinting> FPrinting;
  std::unique_ptr<TEderMacros> FMacros;  // attached to every page's editor
  QMenu* FHighlighterMenu = nullptr;
  QMenu* FDialectMenu = nullptr;
};

}  // namespace rid
