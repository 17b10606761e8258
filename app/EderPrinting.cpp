#include "app/EderPrinting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/ControlHost.h"
#include "app/EderPrintSettings.h"
#include "app/EderStatus.h"
#include "platform/Forms.h"
#include "platform/Locale.h"
#include "platform/Printers.h"

namespace rid {

namespace {

constexpr const char* kLinesHint =
    "One line of text per line: LEFT|CENTRE|RIGHT, with $TITLE$, $PAGENUM$, $PAGECOUNT$, "
    "$DATE$, $TIME$";

QString FromSjis(const std::string& S) { return QString::fromStdString(SjisToUtf8(S)); }

// The file a page prints to by default: its own name with .pdf.
std::filesystem::path DefaultPdf(const TEderPage& Page) {
  std::filesystem::path pdf = Page.FileName.empty() ? "untitled" : Page.FileName;
  return pdf.replace_extension(".pdf");
}

QString JoinLines(const std::vector<std::string>& Lines) {
  QStringList list;
  for (const std::string& l : Lines) list << QString::fromStdString(l);
  return list.join('\n');
}

std::vector<std::string> SplitLines(const QString& Text) {
  std::vector<std::string> lines;
  for (const QString& l : Text.split('\n')) lines.push_back(l.toStdString());
  return lines;
}

// Replaces Part's items only when the lines were edited, so items read from the settings keep
// their fonts.
void TakeLines(THeaderFooter& Part, const QString& Text) {
  if (Text == JoinLines(HeaderFooterLines(Part))) return;
  SetHeaderFooterLines(Part, SplitLines(Text));
}

}  // namespace

// --- the print dialog

TEderPrintDialog::TEderPrintDialog(TRidEderPrint& AJob, TEderPage& APage, QWidget* AParent)
    : QDialog(AParent), FJob(AJob), FPage(APage) {
  setWindowTitle("Print");
  auto* form = new QFormLayout(this);

  FPrinter = new QComboBox(this);
  TStrings* printers = Printer()->Printers();
  for (int32_t i = 0; i < printers->Count(); ++i) FPrinter->addItem(FromSjis(printers->Get(i)));
  FPrinter->setCurrentIndex(Printer()->GetPrinterIndex());
  form->addRow("&Printer:", FPrinter);

  auto* fileRow = new QHBoxLayout;
  FFile = new QLineEdit(QFile::decodeName(DefaultPdf(FPage).c_str()), this);
  auto* browse = new QToolButton(this);
  browse->setText("...");
  connect(browse, &QToolButton::clicked, this, GuardedSlot([this] {
            const QString name = QFileDialog::getSaveFileName(this, "Print to PDF", FFile->text(),
                                                              "PDF files (*.pdf)");
            if (!name.isEmpty()) FFile->setText(name);
          }));
  fileRow->addWidget(FFile);
  fileRow->addWidget(browse);
  form->addRow("Output file:", fileRow);
  connect(FPrinter, &QComboBox::currentIndexChanged, this, &TEderPrintDialog::PrinterChanged);
  PrinterChanged(FPrinter->currentIndex());

  const int count = FJob.GetPageCount();
  auto* pages = new QHBoxLayout;
  FAll = new QCheckBox("&All", this);
  FAll->setChecked(true);
  FFrom = new QSpinBox(this);
  FTo = new QSpinBox(this);
  for (QSpinBox* s : {FFrom, FTo}) {
    s->setRange(1, count);
    s->setEnabled(false);
  }
  FTo->setValue(count);
  connect(FAll, &QCheckBox::toggled, this, [this](bool All) {
    FFrom->setEnabled(!All);
    FTo->setEnabled(!All);
  });
  pages->addWidget(FAll);
  pages->addWidget(new QLabel("from", this));
  pages->addWidget(FFrom);
  pages->addWidget(new QLabel("to", this));
  pages->addWidget(FTo);
  form->addRow("Pages:", pages);

  FCopies = new QSpinBox(this);
  FCopies->setRange(1, 999);
  FCopies->setValue(FJob.GetCopies());
  form->addRow("&Copies:", FCopies);

  auto option = [&](const char* Text, bool Checked) {
    auto* box = new QCheckBox(Text, this);
    box->setChecked(Checked);
    form->addRow(box);
    return box;
  };
  FLineNumbers = option("&Line numbers", FJob.GetLineNumbers());
  FWrap = option("&Wrap long lines", FJob.GetWrap());
  FHighlight = option("&Highlight", FJob.GetHighlight());
  FColors = option("C&olours", FJob.GetColors());
  FSelection = option("&Selection only", false);
  FSelection->setVisible(FPage.Eder->SelAvail());

  FHeader = new QPlainTextEdit(JoinLines(HeaderFooterLines(FJob.GetHeader())), this);
  FFooter = new QPlainTextEdit(JoinLines(HeaderFooterLines(FJob.GetFooter())), this);
  for (QPlainTextEdit* e : {FHeader, FFooter}) {
    e->setToolTip(kLinesHint);
    e->setFixedHeight(3 * e->fontMetrics().lineSpacing() + 12);
  }
  form->addRow("H&eader:", FHeader);
  form->addRow("Foo&ter:", FFooter);
  form->addRow(new QLabel(kLinesHint, this));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  buttons->addButton("&Print", QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, GuardedSlot([this] { Accept(); }));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

void TEderPrintDialog::PrinterChanged(int Index) { FFile->setEnabled(Index == 0); }

std::string TEderPrintDialog::Apply() {
  TPrinter& printer = *Printer();
  printer.SetPrinterIndex(std::max(0, FPrinter->currentIndex()));
  if (printer.GetPrinterIndex() == 0) {
    if (FFile->text().trimmed().isEmpty()) return "No output file is given.";
    printer.SetFileName(QFile::encodeName(FFile->text()).toStdString());
  }
  try {
    TakeLines(FJob.GetHeader(), FHeader->toPlainText());
    TakeLines(FJob.GetFooter(), FFooter->toPlainText());
  } catch (const EConvertError& e) {
    return e.Message;
  }
  FJob.SetCopies(FCopies->value());
  FJob.SetLineNumbers(FLineNumbers->isChecked());
  FJob.SetWrap(FWrap->isChecked());
  FJob.SetHighlight(FHighlight->isChecked());
  FJob.SetColors(FColors->isChecked());
  FJob.SetSelectedOnly(FSelection->isVisibleTo(this) && FSelection->isChecked());
  return {};
}

std::string TEderPrintDialog::PrintNow() {
  const std::string error = Apply();
  if (!error.empty()) return error;
  FSettingsProblem = SavePrintSettings(FJob);
  try {
    if (FAll->isChecked())
      FJob.Print();
    else
      FJob.PrintRange(FFrom->value(), FTo->value());
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

void TEderPrintDialog::Accept() {
  const std::string error = PrintNow();
  if (error.empty()) {
    accept();
  } else {
    QMessageBox::critical(this, "Print", QString::fromLocal8Bit(error));
  }
}

// --- the preview window

TEderPreviewWindow::TEderPreviewWindow(TRidEderPrint& AJob, std::function<void()> APrint,
                                       QWidget* AParent)
    : QDialog(AParent), FPreview(std::make_unique<TRidEderPrintPreview>(nullptr)) {
  setWindowTitle("Print Preview");
  TRidEderPrintPreview& p = *FPreview;
  p.SetRidEderPrint(&AJob);
  p.SetScaleMode(pscWholePage);
  p.OnPreviewPage = TPreviewPageEvent(this, &TEderPreviewWindow::PageShown);
  p.OnScaleChange = TNotifyEvent(this, &TEderPreviewWindow::ScaleChanged);

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QToolBar(this);
  auto command = [&](const char* Text, const char* Name, QKeySequence Key,
                     std::function<void()> Run) {
    QAction* a = bar->addAction(Text, this, GuardedSlot(std::move(Run)));
    a->setObjectName(Name);
    if (!Key.isEmpty()) a->setShortcut(Key);
  };
  command("First", "FirstPage", QKeySequence(Qt::CTRL | Qt::Key_Home), [&p] { p.FirstPage(); });
  command("Previous", "PreviousPage", QKeySequence(Qt::Key_PageUp), [&p] { p.PreviousPage(); });
  command("Next", "NextPage", QKeySequence(Qt::Key_PageDown), [&p] { p.NextPage(); });
  command("Last", "LastPage", QKeySequence(Qt::CTRL | Qt::Key_End), [&p] { p.LastPage(); });
  bar->addSeparator();
  command("Whole page", "WholePage", {}, [&p] { p.SetScaleMode(pscWholePage); });
  command("Page width", "PageWidth", {}, [&p] { p.SetScaleMode(pscPageWidth); });
  FPercent = new QSpinBox(this);
  FPercent->setRange(10, 1000);
  FPercent->setSingleStep(10);
  FPercent->setSuffix(" %");
  FPercent->setValue(p.GetScalePercent());
  connect(FPercent, &QSpinBox::valueChanged, this, [&p](int Value) {
    Guarded([&] {
      if (Value != p.GetScalePercent() || p.GetScaleMode() != pscUserScaled)
        p.SetScalePercent(Value);
    });
  });
  bar->addWidget(FPercent);
  bar->addSeparator();
  command("Print...", "Print", {}, [this, APrint] {
    APrint();
    FPreview->UpdatePreview();
  });
  layout->addWidget(bar);
  layout->addWidget(new TControlHost(FPreview.get(), this), 1);
  FPageLabel = new QLabel(this);
  layout->addWidget(FPageLabel);
  resize(700, 900);
  p.UpdatePreview();
}

TEderPreviewWindow::~TEderPreviewWindow() = default;

void TEderPreviewWindow::PageShown(TObject*, int32_t PageNumber) {
  FPageLabel->setText(QString::asprintf(SPreviewScrollHint, PageNumber) +
                      QString(" / %1").arg(FPreview->GetPageCount()));
}

void TEderPreviewWindow::ScaleChanged(TObject*) {
  const QSignalBlocker quiet(FPercent);
  FPercent->setValue(FPreview->GetScalePercent());
}

// --- the window's printing

TEderPrinting::TEderPrinting(QMainWindow* AWindow, std::function<TEderPage&()> ACurrentPage)
    : FWindow(AWindow),
      FCurrentPage(std::move(ACurrentPage)),
      FJob(std::make_unique<TRidEderPrint>(nullptr)),
      FSettingsProblems(LoadPrintSettings(*FJob)) {}

TEderPrinting::~TEderPrinting() {
  delete FPreviewWindow;  // it shows the job
}

void TEderPrinting::AddActions(QMenu& FileMenu) {
  QAction* print = FileMenu.addAction("&Print...", GuardedSlot([this] { ShowPrintDialog(); }));
  print->setObjectName("Print");
  print->setShortcut(QKeySequence::Print);
  QAction* preview = FileMenu.addAction("Print Pre&view", GuardedSlot([this] { ShowPreview(); }));
  preview->setObjectName("PrintPreview");
}

TRidEderPrint& TEderPrinting::PrepareJob() {
  TEderPage& page = FCurrentPage();
  FJob->SetRidEder(*page.Eder);
  const std::string stem = std::filesystem::path(page.FileName).stem().string();
  FJob->SetTitle(Utf8ToSjis(stem.empty() ? "untitled" : stem));
  return *FJob;
}

void TEderPrinting::ShowPrintDialog() {
  PrepareJob();
  TEderPrintDialog dialog(*FJob, FCurrentPage(), FWindow);
  dialog.exec();
  if (!dialog.SettingsProblem().empty())
    SayProblem(FWindow, QString::fromLocal8Bit(dialog.SettingsProblem()));
}

void TEderPrinting::ShowPreview() {
  PrepareJob();
  if (!FPreviewWindow) {
    FPreviewWindow = new TEderPreviewWindow(
        *FJob, [this] { ShowPrintDialog(); }, FWindow);
    FPreviewWindow->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(FPreviewWindow, &QObject::destroyed, [this] { FPreviewWindow = nullptr; });
  } else {
    FPreviewWindow->Preview().UpdatePreview();
  }
  FPreviewWindow->show();
  FPreviewWindow->raise();
}

}  // namespace rid
