#pragma once
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "editor/RidEder.h"
#include "editor/RidEderMiscClasses.h"
#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"

class QCheckBox;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QRadioButton;

namespace rid {

// What a search asks for, as the user typed it.
struct TSearchRequest {
  QString Pattern;
  QString Replacement;
  bool Regex = false;
  TRidSearchOptions Options;  // match case, whole word, backwards, scope, selected text only
};

// The Find dialog, or with a replacement the Replace dialog. It stays open beside the text;
// its buttons say what to run. Whole word is not offered for regular expressions.
class TSearchDialog : public QDialog {
 public:
  TSearchDialog(bool AReplace, QWidget* AParent);
  TSearchRequest Request() const;
  // Prompt before each replacement.
  bool Prompt() const;
  bool IsReplace() const { return FReplace; }
  QPushButton* FindButton() const { return FFind; }           // Find dialog
  QPushButton* ReplaceButton() const { return FReplaceOne; }  // Replace dialog
  QPushButton* ReplaceAllButton() const { return FReplaceAll; }
  void FocusPattern();

 private:
  bool FReplace;
  QLineEdit* FPattern;
  QLineEdit* FReplacement = nullptr;
  QCheckBox* FMatchCase;
  QCheckBox* FWholeWord;
  QCheckBox* FRegex;
  QCheckBox* FBackwards;
  QCheckBox* FSelectedOnly;
  QCheckBox* FPrompt = nullptr;
  QRadioButton* FFromCaret;
  QRadioButton* FEntireText;
  QPushButton* FFind = nullptr;
  QPushButton* FReplaceOne = nullptr;
  QPushButton* FReplaceAll = nullptr;
};

// The window's Search menu: Find... (Ctrl+F), Find Next (F3), Find Previous (Shift+F3) and
// Replace... (Ctrl+R) on the current editor, with one engine of each kind, the dialogs, the
// prompt before a replacement and the outcome in the status bar.
class TEderSearch {
 public:
  TEderSearch(QMainWindow* AWindow, std::function<TRidEder&()> ACurrentEder);
  ~TEderSearch();
  // Lets the editor ask before each replacement.
  void Attach(TRidEder& AEder);
  TSearchDialog* FindDialog() const { return FFindDialog; }
  TSearchDialog* ReplaceDialog() const { return FReplaceDialog; }
  void ShowDialog(bool AReplace);
  void FindAgain(bool Backwards);

 private:
  void Find();
  void Replace(bool All);
  // The number of hits, or nothing when the search could not run (the status bar says why).
  std::optional<int32_t> Run(const TSearchRequest& R, TRidSearchOptions Options);
  void AskReplace(const std::string& ASearch, TRidReplaceAction& Action);
  void Say(const QString& Text);

  QMainWindow* FWindow;
  std::function<TRidEder&()> FCurrentEder;
  std::unique_ptr<TRidEderSearch> FPlain;
  std::unique_ptr<TRidEderRegexSearch> FRegex;
  TSearchDialog* FFindDialog = nullptr;     // owned by the window
  TSearchDialog* FReplaceDialog = nullptr;  // owned by the window
  std::optional<TSearchRequest> FLast;      // what Find Next and Previous repeat
  TBufferCoord FEmptyHit{0, 0};             // where the last hit found nothing wide
  int32_t FSkipped = 0;
  bool FCancelled = false;
};

}  // namespace rid
