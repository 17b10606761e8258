#include "app/EderWindow.h"

#include <QResizeEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "foundation/JConv.h"
#include "platform/Locale.h"
#include "platform/WidgetBridge.h"

namespace rid {

namespace {

// Gives an editor's window the size of the place it is shown in.
class TEderHost : public QWidget {
 public:
  TEderHost(TRidEder* AEder, QWidget* AParent) : QWidget(AParent), FEder(AEder) {
    FEder->HandleNeeded();
    FEder->Bridge()->setParent(this);
    FEder->SetBounds(0, 0, width(), height());
    FEder->Bridge()->show();
    setFocusProxy(FEder->ClientWidget());
  }

 protected:
  void resizeEvent(QResizeEvent* E) override {
    FEder->SetBounds(0, 0, E->size().width(), E->size().height());
  }

 private:
  TRidEder* FEder;
};

constexpr const char* SampleUtf8 = R"(#!/usr/bin/perl
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
<html><head><title>掲示板</title></head>
<body>
<h1>ようこそ　掲示板へ</h1>
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
)";

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
    setCentralWidget(new TEderHost(FPages[0]->Eder.get(), this));
  } else {
    FTabs = new QTabWidget(this);
    for (auto& p : FPages) {
      std::string name = std::filesystem::path(p->FileName).filename().string();
      FTabs->addTab(new TEderHost(p->Eder.get(), FTabs), QString::fromLocal8Bit(name));
    }
    setCentralWidget(FTabs);
  }
  std::string title = FPages.size() == 1 && !FPages[0]->FileName.empty()
                          ? FPages[0]->FileName + " - rideder"
                          : std::string("rideder");
  setWindowTitle(QString::fromLocal8Bit(title));
  FSearch = std::make_unique<TEderSearch>(this, [this]() -> TRidEder& { return CurrentEder(); });
  for (auto& p : FPages) FSearch->Attach(*p->Eder);
  resize(800, 600);
}

TRidEder& TEderWindow::CurrentEder() {
  return Eder(FTabs ? std::max(0, FTabs->currentIndex()) : 0);
}

TEderWindow::~TEderWindow() {
  // The editors' windows go before the Qt children that hold them.
  for (auto& p : FPages) {
    p->Eder->SetHighlighter(nullptr);
    p->Eder.reset();
  }
}

void TEderWindow::AddPage(std::unique_ptr<TEderPage> Page) {
  Page->Eder->GetGutter().SetShowLineNumbers(true);
  FPages.push_back(std::move(Page));
}

}  // namespace rid
