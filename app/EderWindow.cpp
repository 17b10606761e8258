#include "app/EderWindow.h"

#include <QActionGroup>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/ControlHost.h"
#include "app/EderExport.h"
#include "foundation/JConv.h"
#include "highlighters/uHighlighterProcs.h"
#include "output/RidExportHTML.h"
#include "output/RidExportRTF.h"
#include "platform/Forms.h"
#include "platform/Locale.h"
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
  if (Files.empty()) {
    AddPage(NewPage({}, SampleScript(), FHighlighters->ForFileName("sample.cgi")));
  } else {
    for (const std::string& f : Files) AddPage(LoadPage(f, *FHighlighters));
  }
  if (FPages.size() == 1) {
    setCentralWidget(new TControlHost(FPages[0]->Eder.get(), this));
  } else {
    FTabs = new QTabWidget(this);
    for (auto& p : FPages) {
      std::string name = std::filesystem::path(p->FileName).filename().string();
      FTabs->addTab(new TControlHost(p->Eder.get(), FTabs), QString::fromLocal8Bit(name));
    }
    setCentralWidget(FTabs);
  }
  AddHighlighterMenu();
  std::string title = FPages.size() == 1 && !FPages[0]->FileName.empty()
                          ? FPages[0]->FileName + " - rideder"
                          : std::string("rideder");
  setWindowTitle(QString::fromLocal8Bit(title));
  FPrinting =
      std::make_unique<TEderPrinting>(this, [this]() -> TEderPage& { return CurrentPage(); });
  CreateMenus();  // File and Edit, before the Search menu
  FSearch = std::make_unique<TEderSearch>(this, [this]() -> TRidEder& { return CurrentEder(); });
  for (auto& p : FPages) FSearch->Attach(*p->Eder);
  if (FTabs) connect(FTabs, &QTabWidget::currentChanged, this, [this] { FocusCurrentEditor(); });
  Application()->OnInputLost = TInputLostEvent(this, &TEderWindow::ReportInputLost);
  resize(800, 600);
}

TEderPage& TEderWindow::CurrentPage() {
  return *FPages.at(FTabs ? std::max(0, FTabs->currentIndex()) : 0);
}

TRidEder& TEderWindow::CurrentEder() { return *CurrentPage().Eder; }

void TEderWindow::showEvent(QShowEvent* E) {
  QMainWindow::showEvent(E);
  activateWindow();  // with no window manager, the window takes the input focus itself
  FocusCurrentEditor();
}

void TEderWindow::FocusCurrentEditor() { CurrentEder().SetFocus(); }

void TEderWindow::ReportInputLost(TWinControl*, int32_t Count) {
  statusBar()->showMessage(QString("%1 character(s) without a Shift-JIS form left out").arg(Count));
}

TEderWindow::~TEderWindow() {
  if (Application()->OnInputLost == TInputLostEvent(this, &TEderWindow::ReportInputLost))
    Application()->OnInputLost = nullptr;
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
    connect(a, &QAction::triggered, this, [this, name] { SetPageHighlighter(name); });
  }
  connect(FHighlighterMenu, &QMenu::aboutToShow, this, [this] { ShowPageHighlighter(); });
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
}

void TEderWindow::AddPage(std::unique_ptr<TEderPage> Page) {
  Page->Eder->GetGutter().SetShowLineNumbers(true);
  Page->Eder->OnCopyFormats = AddRichCopyFormats;
  FPages.push_back(std::move(Page));
}

void TEderWindow::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* rtf = file->addAction("Export as &RTF...", [this] {
    TRidExporterRTF e(nullptr);
    AskExport(e, ".rtf");
  });
  rtf->setObjectName("ExportRtf");
  QAction* html = file->addAction("Export as &HTML...", [this] {
    TRidExporterHTML e(nullptr);
    AskExport(e, ".html");
  });
  html->setObjectName("ExportHtml");
  file->addSeparator();
  FPrinting->AddActions(*file);

  QMenu* edit = menuBar()->addMenu("&Edit");
  QAction* all = edit->addAction("Select &All", [this] { CurrentEder().SelectAll(); });
  all->setObjectName("SelectAll");
  all->setShortcut(QKeySequence::SelectAll);
  QAction* copy = edit->addAction("&Copy", [this] { CurrentEder().CopyToClipboard(); });
  copy->setObjectName("Copy");
  copy->setShortcut(QKeySequence::Copy);
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
