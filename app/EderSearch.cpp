#include "app/EderSearch.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "platform/Forms.h"
#include "platform/Locale.h"

namespace rid {

namespace {

template <class TWidget>
TWidget* Named(TWidget* W, const char* Name) {
  W->setObjectName(Name);
  return W;
}

}  // namespace

TSearchDialog::TSearchDialog(bool AReplace, QWidget* AParent)
    : QDialog(AParent), FReplace(AReplace) {
  setWindowTitle(AReplace ? "Replace" : "Find");
  auto* fields = new QFormLayout;
  FPattern = Named(new QLineEdit, "pattern");
  fields->addRow("Find &what:", FPattern);
  if (AReplace) {
    FReplacement = Named(new QLineEdit, "replacement");
    fields->addRow("Replace w&ith:", FReplacement);
  }
  FMatchCase = Named(new QCheckBox("Match &case"), "matchCase");
  FWholeWord = Named(new QCheckBox("Whole w&ord"), "wholeWord");
  FRegex = Named(new QCheckBox("Regular e&xpression"), "regex");
  FBackwards = Named(new QCheckBox("&Backwards"), "backwards");
  FSelectedOnly = Named(new QCheckBox("&Selected text only"), "selectedOnly");
  auto* options = new QVBoxLayout;
  for (QCheckBox* box : {FMatchCase, FWholeWord, FRegex, FBackwards, FSelectedOnly})
    options->addWidget(box);
  if (AReplace) {
    FPrompt = Named(new QCheckBox("&Prompt on replace"), "prompt");
    options->addWidget(FPrompt);
  }
  auto* scope = new QGroupBox("Origin");
  auto* scopeLayout = new QVBoxLayout(scope);
  FFromCaret = Named(new QRadioButton("From the care&t"), "fromCaret");
  FEntireText = Named(new QRadioButton("&Entire text"), "entireText");
  FFromCaret->setChecked(true);
  scopeLayout->addWidget(FFromCaret);
  scopeLayout->addWidget(FEntireText);
  connect(FRegex, &QCheckBox::toggled, FWholeWord,
          [this](bool On) { FWholeWord->setEnabled(!On); });

  auto* buttons = new QVBoxLayout;
  if (AReplace) {
    FReplaceOne = Named(new QPushButton("&Replace"), "replace");
    FReplaceAll = Named(new QPushButton("Replace &All"), "replaceAll");
    FReplaceOne->setDefault(true);
    buttons->addWidget(FReplaceOne);
    buttons->addWidget(FReplaceAll);
  } else {
    FFind = Named(new QPushButton("&Find"), "find");
    FFind->setDefault(true);
    buttons->addWidget(FFind);
  }
  auto* close = Named(new QPushButton("Close"), "close");
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
  buttons->addWidget(close);
  buttons->addStretch();

  auto* left = new QVBoxLayout;
  left->addLayout(fields);
  auto* row = new QHBoxLayout;
  row->addLayout(options);
  row->addWidget(scope);
  left->addLayout(row);
  auto* top = new QHBoxLayout(this);
  top->addLayout(left);
  top->addLayout(buttons);
}

TSearchRequest TSearchDialog::Request() const {
  TSearchRequest r;
  r.Pattern = FPattern->text();
  if (FReplacement) r.Replacement = FReplacement->text();
  r.Regex = FRegex->isChecked();
  if (FMatchCase->isChecked()) r.Options.Include(ssoMatchCase);
  if (FWholeWord->isChecked() && !r.Regex) r.Options.Include(ssoWholeWord);
  if (FBackwards->isChecked()) r.Options.Include(ssoBackwards);
  if (FEntireText->isChecked()) r.Options.Include(ssoEntireScope);
  if (FSelectedOnly->isChecked()) r.Options.Include(ssoSelectedOnly);
  return r;
}

bool TSearchDialog::Prompt() const { return FPrompt && FPrompt->isChecked(); }

void TSearchDialog::FocusPattern() {
  FPattern->setFocus();
  FPattern->selectAll();
}

// ---------------------------------------------------------------------------------------------
// TEderSearch

namespace {

// Dialog text in Shift-JIS; false when a character has no Shift-JIS form (it would be "?").
bool ToSjis(const QString& Text, std::string& Sjis) {
  size_t lost = 0;
  Sjis = Utf8ToSjis(Text.toStdString(), &lost);
  return lost == 0;
}

QString FromSjis(const std::string& Sjis) { return QString::fromStdString(SjisToUtf8(Sjis)); }

// Where Find Next or Previous goes on from an empty hit at P: one character further.
TBufferCoord StepOver(TRidEder& Ed, TBufferCoord P, bool Backwards) {
  const std::string line = Ed.Lines()->Get(P.Line - 1);
  const int32_t len = static_cast<int32_t>(line.size());
  if (!Backwards) {
    if (P.Char <= len) return {P.Char + (IsTrailByteAt(line, P.Char + 1) ? 2 : 1), P.Line};
    return P.Line < Ed.Lines()->GetCount() ? TBufferCoord{1, P.Line + 1} : P;
  }
  if (P.Char > 1) return {P.Char - (IsTrailByteAt(line, P.Char - 1) ? 2 : 1), P.Line};
  if (P.Line == 1) return P;
  return {static_cast<int32_t>(Ed.Lines()->Get(P.Line - 2).size()) + 1, P.Line - 1};
}

}  // namespace

TEderSearch::TEderSearch(QMainWindow* AWindow, std::function<TRidEder&()> ACurrentEder)
    : FWindow(AWindow),
      FCurrentEder(std::move(ACurrentEder)),
      FPlain(std::make_unique<TRidEderSearch>(nullptr)),
      FRegex(std::make_unique<TRidEderRegexSearch>(nullptr)) {
  QMenu* menu = FWindow->menuBar()->addMenu("&Search");
  auto add = [&](const char* Text, const QKeySequence& Key, std::function<void()> Run) {
    QAction* a = menu->addAction(Text);
    a->setShortcut(Key);
    QObject::connect(a, &QAction::triggered, FWindow, GuardedSlot(std::move(Run)));
  };
  add("&Find...", QKeySequence(Qt::CTRL | Qt::Key_F), [this] { ShowDialog(false); });
  add("Find &Next", QKeySequence(Qt::Key_F3), [this] { FindAgain(false); });
  add("Find &Previous", QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindAgain(true); });
  add("&Replace...", QKeySequence(Qt::CTRL | Qt::Key_R), [this] { ShowDialog(true); });
}

TEderSearch::~TEderSearch() = default;

void TEderSearch::Attach(TRidEder& AEder) {
  AEder.OnReplaceText = [this](TObject*, const std::string& ASearch, const std::string&, int32_t,
                               int32_t, TRidReplaceAction& Action) { AskReplace(ASearch, Action); };
}

void TEderSearch::ShowDialog(bool AReplace) {
  TSearchDialog*& dialog = AReplace ? FReplaceDialog : FFindDialog;
  if (!dialog) {
    dialog = new TSearchDialog(AReplace, FWindow);
    if (AReplace) {
      QObject::connect(dialog->ReplaceButton(), &QPushButton::clicked,
                       GuardedSlot([this] { Replace(false); }));
      QObject::connect(dialog->ReplaceAllButton(), &QPushButton::clicked,
                       GuardedSlot([this] { Replace(true); }));
    } else {
      QObject::connect(dialog->FindButton(), &QPushButton::clicked,
                       GuardedSlot([this] { Find(); }));
    }
  }
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  dialog->FocusPattern();
}

void TEderSearch::Say(const QString& Text) { FWindow->statusBar()->showMessage(Text); }

std::optional<int32_t> TEderSearch::Run(const TSearchRequest& R, TRidSearchOptions Options) {
  std::string pattern, replacement;
  if (!ToSjis(R.Pattern, pattern) || !ToSjis(R.Replacement, replacement)) {
    Say("Not searched: the text holds a character that Shift-JIS cannot hold");
    return std::nullopt;
  }
  TRidEder& ed = FCurrentEder();
  // Nothing selected is nothing to search: a walk of Replace has used up its selection.
  if (Options.Contains(ssoSelectedOnly) && !ed.SelAvail()) return 0;
  ed.SetSearchEngine(R.Regex ? static_cast<TRidEderSearchCustom*>(FRegex.get()) : FPlain.get());
  FSkipped = 0;
  FCancelled = false;
  try {
    const int32_t hits = ed.SearchReplace(pattern, replacement, Options);
    FEmptyHit = hits > 0 && !ed.SelAvail() ? ed.GetCaretXY() : TBufferCoord{0, 0};
    return hits;
  } catch (const Exception& e) {
    Say(FromSjis(e.what()));
    return std::nullopt;
  }
}

void TEderSearch::Find() {
  FLast = FFindDialog->Request();
  const std::optional<int32_t> hits = Run(*FLast, FLast->Options);
  if (!hits) return;
  Say(*hits ? QString() : "Not found");
  if (*hits) FFindDialog->hide();
}

void TEderSearch::Replace(bool All) {
  FLast = FReplaceDialog->Request();
  TRidSearchOptions options = FLast->Options;
  options.Include(All ? ssoReplaceAll : ssoReplace);
  if (FReplaceDialog->Prompt()) options.Include(ssoPrompt);
  const std::optional<int32_t> hits = Run(*FLast, options);
  if (!hits) return;
  const int32_t replaced = *hits - FSkipped - (FCancelled ? 1 : 0);
  Say(*hits ? QString("%1 replaced").arg(replaced) : QString("Not found"));
}

// From the end of the selection forwards or its start backwards, so that going back and forth
// never meets one hit twice.
void TEderSearch::FindAgain(bool Backwards) {
  if (!FLast) return ShowDialog(false);
  TRidEder& ed = FCurrentEder();
  const TBufferCoord begin = ed.GetBlockBegin(), end = ed.GetBlockEnd(), caret = ed.GetCaretXY();
  TBufferCoord from = Backwards ? begin : end;
  if (from == FEmptyHit) from = StepOver(ed, from, Backwards);
  ed.SetCaretXY(from);
  TRidSearchOptions options;
  for (TRidSearchOption o : {ssoMatchCase, ssoWholeWord})
    if (FLast->Options.Contains(o)) options.Include(o);
  if (Backwards) options.Include(ssoBackwards);
  const std::optional<int32_t> hits = Run(*FLast, options);
  if (hits.value_or(0) == 0) {
    // The last hit stays selected.
    ed.SetCaretXY(caret);
    ed.SetBlockBegin(begin);
    ed.SetBlockEnd(end);
  }
  if (hits) Say(*hits ? QString() : "Not found");
}

void TEderSearch::AskReplace(const std::string& ASearch, TRidReplaceAction& Action) {
  QMessageBox box(QMessageBox::Question, "Replace",
                  QString("Replace this occurrence of \"%1\"?").arg(FromSjis(ASearch)),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll | QMessageBox::Cancel,
                  FWindow);
  box.setObjectName("replacePrompt");
  switch (box.exec()) {
    case QMessageBox::Yes:
      Action = raReplace;
      break;
    case QMessageBox::No:
      Action = raSkip;
      ++FSkipped;
      break;
    case QMessageBox::YesToAll:
      Action = raReplaceAll;
      break;
    default:
      Action = raCancel;
      FCancelled = true;
  }
}

}  // namespace rid
