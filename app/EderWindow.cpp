#include "app/EderWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/ControlHost.h"
#include "app/EderExport.h"
#include "app/EderSave.h"
#include "app/EderStatus.h"
#include "foundation/JConv.h"
#include "highlighters/RidHighlighterSQL.h"
#include "highlighters/uHighlighterProcs.h"
#include "output/RidExportHTML.h"
#include "output/RidExportRTF.h"
#include "platform/Forms.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "platform/WidgetBridge.h"

namespace rid {

namespace {

constexpr const char* SampleUtf8 = R"sample(#!/usr/bin/perl
# 簡易掲示板 CGI スクリプト（サンプル）
use strict;
use warnings;
use CGI;

my $q = CGI->new;
my $datafile = './bbs.dat';
my $max = 50;    # 保存する最大件数

print $q->header(-type => 'text/html', -charset => 'Shift_JIS');

if ($q->param('mode') eq 'write') {
    my $name = $q->param('name') || '名無しさん';
    my $body = $q->param('body');
    $body =~ s/&/&amp;/g;
    $body =~ s/</&lt;/g;
    open(my $fh, '>>', $datafile) or die "書き込めません: $!";
    print $fh join("\t", time, $name, $body), "\n";
    close($fh);
}

open(my $in, '<', $datafile) or die "読み込めません: $!";
my @lines = reverse <$in>;
close($in);
splice(@lines, $max) if @lines > $max;

print <<"HTML";
<html><head><title>掲示板</title>
<style type="text/css">
body { background-color: #FFFFEE; font-size: 10pt }
h1 { color: #336699; border-bottom: 1px solid }
</style>
<script type="text/javascript">
function check(form) {
  if (form.body.value == "") { alert("本文を書いてください"); return false; }
  return confirm("書き込みますか？");
}
</script>
</head>
<body>
<h1>ようこそ　掲示板へ</h1>
<form method="post" onSubmit="return check(this)">
<input type="hidden" name="mode" value="write">
名前 <input type="text" name="name"> 本文 <input type="text" name="body">
<input type="submit" value="書き込む">
</form>
HTML

foreach my $line (@lines) {
    chomp $line;
    my ($t, $name, $body) = split /\t/, $line;
    printf "<p><b>%s</b>: %s</p>\n", $name, $body;
}

print "</body></html>\n";

=pod

=head1 説明

投稿を新しい順に表示します。

=cut
)sample";

// The SQL dialects as the Highlighter menu names them, in the order of TSQLDialect.
constexpr const char* kSqlDialectNames[] = {
    "&Standard SQL", "&Interbase 6", "MS SQL Server &7", "&MySQL",
    "&Oracle",       "S&ybase",      "I&ngres",          "MS SQL Server &2000"};
static_assert(std::size(kSqlDialectNames) == static_cast<size_t>(sqlMSSQL2K) + 1);

// "Text (*.txt)|*.txt|All (*)|*" as a file dialog takes it: the descriptions, which name their
// patterns, one per entry.
QString DialogFilter(const std::string& Filter) {
  QStringList entries;
  const QStringList parts = QString::fromLocal8Bit(Filter).split('|');
  for (qsizetype i = 0; i < parts.size(); i += 2) entries << parts[i];
  return entries.join(";;");
}

}  // namespace

std::string SampleScript() { return Utf8ToSjis(SampleUtf8); }

TEderWindow::TEderWindow(const std::vector<std::string>& Files)
    : FHighlighters(std::make_unique<TEderHighlighters>()) {
  // One tab per text; the tab bar shows once there are two.
  FTabs = new QTabWidget(this);
  FTabs->setTabBarAutoHide(true);
  FTabs->setTabsClosable(true);
  FTabs->setDocumentMode(true);
  setCentralWidget(FTabs);
  connect(FTabs, &QTabWidget::currentChanged, this, GuardedSlot([this] { UpdateTitles(); }));
  connect(FTabs, &QTabWidget::tabCloseRequested, this,
          [this](int Index) { Guarded([&] { ClosePage(Index); }); });
  if (Files.empty()) {
    auto sample = NewPage({}, SampleScript(), FHighlighters->ForFileName("sample.cgi"));
    sample->Eder->GetLines()->SetLineBreakStyle(lbsCRLF);  // saved as a Shift-JIS file
    AddPage(std::move(sample));
  } else {
    OpenFiles(Files);
  }
  FTabs->setCurrentIndex(0);
  AddHighlighterMenu();
  FPrinting =
      std::make_unique<TEderPrinting>(this, [this]() -> TEderPage& { return CurrentPage(); });
  CreateMenus();  // File and Edit, before the Search menu
  FSearch = std::make_unique<TEderSearch>(this, [this]() -> TRidEder& { return CurrentEder(); });
  FCompletion =
      std::make_unique<TEderCompletion>(FEditMenu, [this]() -> TRidEder& { return CurrentEder(); });
  FMacros = std::make_unique<TEderMacros>(this, [this]() -> TRidEder& { return CurrentEder(); });
  for (auto& p : FPages) AttachTools(*p->Eder);
  setAcceptDrops(true);
  qApp->installEventFilter(this);
  UpdateTitles();
  connect(FTabs, &QTabWidget::currentChanged, this, GuardedSlot([this] { FocusCurrentEditor(); }));
  Application()->OnInputLost = TInputLostEvent(this, &TEderWindow::ReportInputLost);
  Application()->OnException = TExceptionEvent(this, &TEderWindow::ReportException);
  resize(800, 600);
  ReportSettings();
  if (!FOpenProblems.empty())
    QTimer::singleShot(0, this, GuardedSlot([this] { ShowOpenProblems(); }));
}

bool TEderWindow::TryOpen(const std::string& FileName, std::vector<std::string>& Problems) {
  try {
    AddPage(LoadPage(FileName, *FHighlighters));
  } catch (const std::exception& e) {
    Problems.push_back(e.what());  // one file that cannot be opened keeps no other out
    return false;
  }
  if (std::string warning = ConversionWarning(*FPages.back()); !warning.empty())
    Problems.push_back(std::move(warning));
  return true;
}

void TEderWindow::OpenFiles(const std::vector<std::string>& Files) {
  for (const std::string& f : Files) TryOpen(f, FOpenProblems);
  if (FPages.empty()) {
    std::string all;
    for (const std::string& p : FOpenProblems) all += (all.empty() ? "" : "\n") + p;
    throw Exception(all);
  }
}

std::string TEderWindow::SettingsProblem() {
  const std::string why = TRegistry().SkipReason();
  return why.empty()
             ? why
             : "Settings file skipped, the defaults are used and nothing is written to it: " + why;
}

QString TEderWindow::SettingsProblems() const {
  if (const std::string skipped = SettingsProblem(); !skipped.empty())
    return QString::fromLocal8Bit(skipped);
  QStringList said;
  if (!FKeySettings.Problems().empty()) {
    QStringList bindings;
    for (const std::string& p : FKeySettings.Problems())
      bindings << QString::fromStdString(SjisToUtf8(p));
    said << QString("Key bindings skipped in %1: %2")
                .arg(QFile::decodeName(RegistryFileName().c_str()), bindings.join("; "));
  }
  for (const std::string& p : FPrinting->SettingsProblems()) said << QString::fromStdString(p);
  for (const std::string* p : {&FCompletion->KeyProblem(), &FMacros->KeyProblem()})
    if (!p->empty()) said << QString::fromStdString(*p);
  return said.join("; ");
}

void TEderWindow::ReportSettings() {
  if (const QString said = SettingsProblems(); !said.isEmpty()) SayProblem(this, said);
}

void TEderWindow::ReportException(TObject*, const std::exception& E) {
  SayProblem(this, QString::fromLocal8Bit(E.what()));
}

void TEderWindow::ShowOpenProblems() {
  QStringList lines;
  for (const std::string& p : FOpenProblems) lines << QString::fromLocal8Bit(p);
  auto* box =
      new QMessageBox(QMessageBox::Warning, "rideder", lines.join("\n"), QMessageBox::Ok, this);
  box->setObjectName("OpenProblems");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

TEderPage& TEderWindow::CurrentPage() { return *FPages.at(std::max(0, FTabs->currentIndex())); }

TRidEder& TEderWindow::CurrentEder() { return *CurrentPage().Eder; }

void TEderWindow::showEvent(QShowEvent* E) {
  QMainWindow::showEvent(E);
  activateWindow();  // with no window manager, the window takes the input focus itself
  Guarded([this] { FocusCurrentEditor(); });
}

void TEderWindow::FocusCurrentEditor() { CurrentEder().SetFocus(); }

void TEderWindow::ReportInputLost(TWinControl*, int32_t Count) {
  statusBar()->showMessage(QString("%1 character(s) without a Shift-JIS form left out").arg(Count));
}

TEderWindow::~TEderWindow() {
  qApp->removeEventFilter(this);
  if (Application()->OnInputLost == TInputLostEvent(this, &TEderWindow::ReportInputLost))
    Application()->OnInputLost = nullptr;
  if (Application()->OnException == TExceptionEvent(this, &TEderWindow::ReportException))
    Application()->OnException = nullptr;
  // The editors' windows go before the Qt children that hold them.
  for (auto& p : FPages) {
    p->Eder->SetHighlighter(nullptr);
    p->Eder.reset();
  }
}

void TEderWindow::AddHighlighterMenu() {
  FHighlighterMenu = menuBar()->addMenu("&Highlighter");
  auto* group = new QActionGroup(FHighlighterMenu);
  for (const std::string& name : FHighlighters->Names()) {
    QAction* a = FHighlighterMenu->addAction(QString::fromStdString(SjisToUtf8(name)));
    a->setCheckable(true);
    group->addAction(a);
    connect(a, &QAction::triggered, this, GuardedSlot([this, name] { SetPageHighlighter(name); }));
  }
  FHighlighterMenu->addSeparator();
  FDialectMenu = FHighlighterMenu->addMenu("SQL &Dialect");
  auto* dialects = new QActionGroup(FDialectMenu);
  for (size_t i = 0; i < std::size(kSqlDialectNames); ++i) {
    QAction* a = FDialectMenu->addAction(kSqlDialectNames[i]);
    a->setCheckable(true);
    dialects->addAction(a);
    connect(a, &QAction::triggered, this, GuardedSlot([this, i] {
              if (auto* sql = dynamic_cast<TRidSQLRid*>(CurrentPage().Highlighter))
                sql->SetSQLDialect(static_cast<TSQLDialect>(i));
            }));
  }
  connect(FHighlighterMenu, &QMenu::aboutToShow, this,
          GuardedSlot([this] { ShowPageHighlighter(); }));
}

void TEderWindow::SetPageHighlighter(const std::string& AName) {
  TEderPage& page = CurrentPage();
  page.Highlighter = FHighlighters->ByName(AName);
  page.Eder->SetHighlighter(page.Highlighter);
}

void TEderWindow::ShowPageHighlighter() {
  const std::string current = CurrentPage().Highlighter
                                  ? SjisToUtf8(GetHighlighterName(CurrentPage().Highlighter))
                                  : std::string();
  for (QAction* a : FHighlighterMenu->actions()) a->setChecked(a->text().toStdString() == current);
  // The dialects only while the page is coloured as SQL.
  auto* sql = dynamic_cast<TRidSQLRid*>(CurrentPage().Highlighter);
  FDialectMenu->menuAction()->setVisible(sql != nullptr);
  if (sql) FDialectMenu->actions().at(static_cast<int>(sql->GetSQLDialect()))->setChecked(true);
}

void TEderWindow::AddPage(std::unique_ptr<TEderPage> Page) {
  TRidEder& ed = *Page->Eder;
  FKeySettings.ApplyTo(ed.GetKeystrokes());
  ed.GetGutter().SetShowLineNumbers(true);
  ed.OnCopyFormats = AddRichCopyFormats;
  ed.OnStatusChange = [this](TObject*, TRidStatusChanges Changes) {
    if (Changes.Contains(scModified) || Changes.Contains(scAll)) UpdateTitles();
  };
  if (FSearch) AttachTools(ed);  // (the first pages come before the tools)
  FPages.push_back(std::move(Page));
  FTabs->addTab(new TControlHost(&ed, FTabs), QString());
}

void TEderWindow::AttachTools(TRidEder& Ed) {
  FSearch->Attach(Ed);
  FCompletion->Attach(Ed);
  FMacros->Attach(Ed);
}

QString TEderWindow::PageName(const TEderPage& Page) const {
  return Page.FileName.empty() ? QString("sample") : QFile::decodeName(Page.FileName.c_str());
}

void TEderWindow::UpdateTitles() {
  for (int i = 0; i < PageCount(); ++i) {
    const TEderPage& p = *FPages[i];
    const QString mark = p.Eder->GetModified() ? "*" : "";
    FTabs->setTabText(i, mark + QFileInfo(PageName(p)).fileName());
  }
  if (FPages.empty()) return;
  const TEderPage& current = CurrentPage();
  const QString mark = current.Eder->GetModified() ? "*" : "";
  setWindowTitle(current.FileName.empty() ? mark + "rideder"
                                          : mark + PageName(current) + " - rideder");
}

void TEderWindow::SaveCurrentPage() {
  SavePage(this, CurrentPage());
  UpdateTitles();  // a new name, or the modified mark gone
}

void TEderWindow::ClosePage(int Index) {
  if (PageCount() == 1) {  // the last page goes with the window
    close();
    return;
  }
  TEderPage& page = *FPages.at(Index);
  if (!MayClosePage(this, page)) return;
  QWidget* host = FTabs->widget(Index);
  page.Eder->SetHighlighter(nullptr);
  page.Eder.reset();  // its window goes before the host that holds it
  FPages.erase(FPages.begin() + Index);
  FTabs->removeTab(Index);
  delete host;
  UpdateTitles();
}

void TEderWindow::OpenDroppedFiles(const std::vector<std::string>& Files) {
  std::vector<std::string> problems;
  for (const std::string& f : Files)
    if (TryOpen(f, problems)) FTabs->setCurrentIndex(PageCount() - 1);
  QStringList said;
  for (const std::string& p : problems) said << QString::fromLocal8Bit(p);
  if (!said.isEmpty()) statusBar()->showMessage(said.join("; "));
  UpdateTitles();
}

void TEderWindow::dragEnterEvent(QDragEnterEvent* E) {
  if (E->mimeData()->hasUrls()) E->acceptProposedAction();
}

void TEderWindow::dropEvent(QDropEvent* E) {
  // The names as the system spells them, as on the command line: any file opens.
  std::vector<std::string> names;
  for (const QUrl& url : E->mimeData()->urls())
    if (url.isLocalFile()) names.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  E->acceptProposedAction();
  Guarded([&] { OpenDroppedFiles(names); });
}

void TEderWindow::closeEvent(QCloseEvent* E) {
  // What cannot be asked about keeps the window open, with the text.
  bool mayClose = false;
  Guarded([&] {
    mayClose = std::all_of(FPages.begin(), FPages.end(),
                           [this](auto& Page) { return MayClosePage(this, *Page); });
  });
  if (mayClose)
    E->accept();
  else
    E->ignore();
}

bool TEderWindow::eventFilter(QObject* Watched, QEvent* E) {
  // While text is dragged, resting on a tab shows its page, so that the text can be dropped
  // there; the release ends the drag wherever it lands.
  if (!DragInProgress()) return QMainWindow::eventFilter(Watched, E);
  if (E->type() == QEvent::MouseMove) {
    const QPoint global = static_cast<QMouseEvent*>(E)->globalPosition().toPoint();
    QTabBar* bar = FTabs->tabBar();
    const int i = bar->isVisible() ? bar->tabAt(bar->mapFromGlobal(global)) : -1;
    if (i >= 0 && i != FTabs->currentIndex()) FTabs->setCurrentIndex(i);
  } else if (E->type() == QEvent::MouseButtonRelease) {
    auto* m = static_cast<QMouseEvent*>(E);
    NoteModifiers(m->modifiers());
    NoteButtons(m->buttons());
    const QPoint global = m->globalPosition().toPoint();
    Guarded([&] { DragMouseUp(Point(global.x(), global.y())); });
    return true;
  }
  return QMainWindow::eventFilter(Watched, E);
}

void TEderWindow::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* save = file->addAction("&Save", GuardedSlot([this] { SaveCurrentPage(); }));
  save->setObjectName("Save");
  save->setShortcut(QKeySequence::Save);
  file->addSeparator();
  QAction* rtf = file->addAction("Export as &RTF...", GuardedSlot([this] {
                                   TRidExporterRTF e(nullptr);
                                   AskExport(e, ".rtf");
                                 }));
  rtf->setObjectName("ExportRtf");
  QAction* html = file->addAction("Export as &HTML...", GuardedSlot([this] {
                                    TRidExporterHTML e(nullptr);
                                    AskExport(e, ".html");
                                  }));
  html->setObjectName("ExportHtml");
  file->addSeparator();
  FPrinting->AddActions(*file);

  // The Edit commands take the editor's command road, so that hooks and a macro recording see
  // them; their keys go to the editor itself while it binds them (CM_WANTSPECIALKEY).
  QMenu* edit = FEditMenu = menuBar()->addMenu("&Edit");
  const auto command = [&](const char* Text, const char* Name, QKeySequence Key,
                           TRidEderorCommand Command) {
    QAction* a = edit->addAction(Text, GuardedSlot([this, Command] {
                                   CurrentEder().CommandProcessor(Command, '\0', nullptr);
                                 }));
    a->setObjectName(Name);
    a->setShortcut(Key);
  };
  command("Select &All", "SelectAll", QKeySequence::SelectAll, ecSelectAll);
  command("&Copy", "Copy", QKeySequence::Copy, ecCopy);
}

void TEderWindow::ExportCurrentPage(TRidCustomExporter& E, const std::string& FileName) {
  TEderPage& page = CurrentPage();
  E.SetTitle(DocumentTitle(page.FileName));
  ExportHighlighted(E, page.Eder->Lines(), page.Highlighter);
  E.SaveToFile(FileName);
}

void TEderWindow::AskExport(TRidCustomExporter& E, const char* Extension) {
  const TEderPage& page = CurrentPage();
  std::filesystem::path suggested = page.FileName.empty() ? "untitled" : page.FileName;
  suggested.replace_extension(Extension);
  const QString name = QFileDialog::getSaveFileName(
      this, QString::fromStdString("Export as " + E.GetFormatName()),
      QFile::decodeName(suggested.c_str()), DialogFilter(E.GetDefaultFilter()));
  if (name.isEmpty()) return;
  try {
    ExportCurrentPage(E, QFile::encodeName(name).toStdString());
  } catch (const std::exception& e) {
    QMessageBox::critical(this, "rideder", QString::fromLocal8Bit(e.what()));
  }
}

}  // namespace rid
