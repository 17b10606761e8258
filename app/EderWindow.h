#pragma once
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "editor/RidEder.h"

class QTabWidget;

namespace rid {

// One opened text: its name, its editor and the highlighter that colours it.
struct TEderPage {
  std::string FileName;  // empty for the embedded sample
  std::unique_ptr<TRidCustomHighlighter> Highlighter;
  std::unique_ptr<TRidEder> Eder;
};

// Shift-JIS text of a file's bytes, whatever Japanese code they are in.
std::string BytesToSjis(const std::string& Bytes);
// Whether a file name gets the Perl colours (until highlighters are chosen by extension).
bool IsPerlFileName(const std::string& FileName);
// The Perl CGI script shown when no file is given, in Shift-JIS.
std::string SampleScript();

// The program window: one editor per file, on tabs when there are several.
class TEderWindow : public QMainWindow {
 public:
  // Raises the file's read error when a file cannot be read.
  explicit TEderWindow(const std::vector<std::string>& Files);
  ~TEderWindow() override;
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TRidEder& Eder(int Index) { return *FPages.at(Index)->Eder; }
  QTabWidget* Tabs() const { return FTabs; }

 private:
  void AddPage(const std::string& FileName, const std::string& Sjis, bool Perl);

  std::vector<std::unique_ptr<TEderPage>> FPages;
  QTabWidget* FTabs = nullptr;
};

}  // namespace rid
