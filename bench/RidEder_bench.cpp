// The editor control beside QScintilla with its Perl lexer: opening a large Shift-JIS Perl file
// to the first painted screen (time and memory), a one-character edit at the top of a long file,
// and repainting a full screen of highlighted text.
#include <benchmark/benchmark.h>
#include <qscilexerperl.h>
#include <qsciscintilla.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "highlighters/RidHighlighterPerl.h"
#include "platform/Locale.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// One screenful of a CGI script with Japanese comments, strings and a here-document.
const char* const CgiUtf8 =
    "#!/usr/bin/perl\n"
    "# 掲示板スクリプト：投稿の受付と一覧の表示\n"
    "use strict;\n"
    "use warnings;\n"
    "use CGI;\n"
    "\n"
    "my $q = CGI->new;\n"
    "my $title = \"ひとこと掲示板\";  # 画面の見出し\n"
    "my %errors = (name => '名前を入力してください', body => '本文が空です');\n"
    "\n"
    "sub read_posts {\n"
    "    my ($file) = @_;\n"
    "    open(my $fh, '<', $file) or die \"ログを開けません: $!\";\n"
    "    my @posts = map { chomp; [split /\\t/] } <$fh>;  # 一行一件\n"
    "    close($fh);\n"
    "    return reverse @posts;\n"
    "}\n"
    "\n"
    "sub escape_html {\n"
    "    my $s = shift;\n"
    "    $s =~ s/&/&amp;/g; $s =~ s/</&lt;/g; $s =~ s/>/&gt;/g;  # 記号の置き換え\n"
    "    return $s;\n"
    "}\n"
    "\n"
    "if ($q->param('mode') eq 'post') {\n"
    "    my $name = $q->param('name') || '名無しさん';\n"
    "    my $body = $q->param('body');\n"
    "    print $q->header(-charset => 'Shift_JIS'), $errors{body} unless length $body;\n"
    "    open(my $out, '>>', 'bbs.log') or die \"書き込めません\";\n"
    "    printf $out \"%s\\t%s\\t%d\\n\", $name, $body, time;  # 名前、本文、時刻\n"
    "}\n"
    "\n"
    "print $q->header(-charset => 'Shift_JIS');\n"
    "print <<\"HTML\";\n"
    "<html><head><title>$title</title></head>\n"
    "<body><h1>$title</h1><p>ご自由にお書きください。全角　空白も使えます。</p>\n"
    "HTML\n"
    "for my $p (read_posts('bbs.log')) {\n"
    "    my ($n, $b, $t) = map { escape_html($_) } @$p;\n"
    "    print qq{<div class=\"post\"><b>$n</b> さんの投稿（$t）<br>$b</div>\\n};\n"
    "}\n"
    "print \"</body></html>\\n\";\n"
    "\n";

// The script in Shift-JIS with CR LF, repeated to Bytes or to Lines lines, whichever comes first.
std::string PerlCgi(size_t Bytes, size_t Lines) {
  std::string unit;
  for (char c : rid::Utf8ToSjis(CgiUtf8)) {
    if (c == '\n') unit += '\r';
    unit += c;
  }
  std::string s;
  size_t lines = 0;
  for (size_t start = 0; s.size() < Bytes && lines < Lines;) {
    const size_t end = unit.find('\n', start);
    s.append(unit, start, end + 1 - start);
    ++lines;
    start = end + 1 == unit.size() ? 0 : end + 1;
  }
  return s;
}

size_t BenchMegabytes() {
  const char* v = std::getenv("RID_BENCH_MB");
  const long mb = v ? std::atol(v) : 0;
  return mb > 0 ? static_cast<size_t>(mb) : 100;
}

// Written once into the temp folder and reused by later runs of the same size, with its UTF-8
// twin for the peer, which cannot show Shift-JIS under Qt 6.
std::filesystem::path BigFile() {
  const size_t bytes = BenchMegabytes() << 20;
  const auto dir = std::filesystem::temp_directory_path() / "rid_bench";
  std::filesystem::create_directories(dir);
  const auto path = dir / ("cgi_" + std::to_string(BenchMegabytes()) + "mb.pl");
  auto twin = path;
  twin += ".utf8";
  std::error_code ec, ec2;
  if (std::filesystem::file_size(path, ec) + 4096 < bytes || ec ||
      std::filesystem::file_size(twin, ec2) == 0 || ec2) {
    const std::string text = PerlCgi(bytes, SIZE_MAX);
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    const std::string utf8 = rid::SjisToUtf8(text);
    std::ofstream(twin, std::ios::binary)
        .write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
  }
  return path;
}

std::string ReadFile(const std::filesystem::path& P) {
  std::ifstream in(P, std::ios::binary);
  std::ostringstream o;
  o << in.rdbuf();
  return o.str();
}

// With RID_BENCH_SAVE set, the first screens go to the temp folder to be looked at.
void SaveIfAsked(const QImage& Img, const char* Name) {
  if (!std::getenv("RID_BENCH_SAVE")) return;
  const auto path = std::filesystem::temp_directory_path() / "rid_bench" / Name;
  Img.save(QString::fromStdString(path.string()));
}

// Resident and peak resident set of this process, in bytes.
struct TMem {
  double Rss = 0, Hwm = 0;
};
TMem ReadMem() {
  TMem m;
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) m.Rss = std::atof(line.c_str() + 6) * 1024;
    if (line.rfind("VmHWM:", 0) == 0) m.Hwm = std::atof(line.c_str() + 6) * 1024;
  }
  return m;
}

// Colours like the peer's: comments, keywords and strings drawn in their own colours.
void Colour(rid::TRidPerlRid& Perl) {
  Perl.GetDefaultAttribute(0)->SetForeground(rid::clGreen);
  Perl.GetDefaultAttribute(2)->SetForeground(rid::clNavy);
  Perl.GetDefaultAttribute(3)->SetForeground(rid::clMaroon);
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct TOpenResult {
  double Seconds = 0, RssGrowth = 0, PeakGrowth = 0;
  long Lines = 0;
};

// Reads the Shift-JIS file and shows its first screen, painted; run in a process of its own.
TOpenResult OpenOurs(const std::filesystem::path& P) {
  TOpenResult r;
  const TMem before = ReadMem();
  const double t0 = Now();
  auto ed = std::make_unique<rid::TRidEder>(nullptr);
  auto perl = std::make_unique<rid::TRidPerlRid>(nullptr);
  Colour(*perl);
  ed->SetBounds(0, 0, kWidth, kHeight);
  ed->GetGutter().SetShowLineNumbers(true);
  {
    const std::string bytes = ReadFile(P);
    ed->GetLines()->LoadFromBytes(bytes);
  }
  ed->SetHighlighter(perl.get());
  ed->Show();
  ed->Invalidate();
  ed->Update();
  const QImage img = ed->Picture();
  r.Seconds = Now() - t0;
  SaveIfAsked(img, "open_ours.png");
  const TMem after = ReadMem();
  r.RssGrowth = after.Rss - before.Rss;
  r.PeakGrowth = after.Hwm - before.Hwm;
  r.Lines = ed->Lines()->GetCount();
  ed->SetHighlighter(nullptr);
  return r;
}

// The same with the peer reading the UTF-8 twin.
TOpenResult OpenPeer(const std::filesystem::path& P) {
  TOpenResult r;
  const TMem before = ReadMem();
  const double t0 = Now();
  auto editor = std::make_unique<QsciScintilla>();
  auto lexer = std::make_unique<QsciLexerPerl>();
  editor->resize(kWidth, kHeight);
  editor->setMarginLineNumbers(0, true);
  editor->setMarginWidth(0, "00000000");
  editor->setLexer(lexer.get());
  editor->setUtf8(true);
  {
    auto twin = P;
    twin += ".utf8";
    const std::string bytes = ReadFile(twin);
    editor->SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, bytes.c_str());
  }
  editor->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
  editor->show();
  QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  editor->render(&img);
  r.Seconds = Now() - t0;
  SaveIfAsked(img, "open_qscintilla.png");
  const TMem after = ReadMem();
  r.RssGrowth = after.Rss - before.Rss;
  r.PeakGrowth = after.Hwm - before.Hwm;
  r.Lines = editor->lines();
  return r;
}

// Runs Open in a child process with its own application so neither side's memory pollutes the
// other's figure.
template <typename F>
TOpenResult InChild(F&& Open, int argc, char** argv) {
  int fds[2];
  if (pipe(fds) != 0) std::abort();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    TOpenResult r;
    {
      QApplication app(argc, argv);
      r = Open();
    }
    if (write(fds[1], &r, sizeof r) != sizeof r) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  TOpenResult r;
  if (read(fds[0], &r, sizeof r) != sizeof r) r.Seconds = -1;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return r;
}

// A shown, painted control over Text with the Perl highlighter.
struct TOurs {
  rid::TRidPerlRid Perl{nullptr};
  rid::TRidEder Ed{nullptr};
  explicit TOurs(const std::string& Text) {
    Colour(Perl);
    Ed.SetBounds(0, 0, kWidth, kHeight);
    Ed.GetGutter().SetShowLineNumbers(true);
    Ed.GetLines()->LoadFromBytes(Text);
    Ed.SetHighlighter(&Perl);
    Ed.Show();
    Ed.Invalidate();
    Ed.Update();
  }
  ~TOurs() { Ed.SetHighlighter(nullptr); }
  // Typing one character at the top, then taking it back, each with its repaint.
  int TypeAtTop() {
    Ed.SetCaretXY({1, 1});
    Ed.SetSelText("x");
    Ed.Update();
    Ed.SetBlockBegin({1, 1});
    Ed.SetBlockEnd({2, 1});
    Ed.SetSelText("");
    Ed.Update();
    return Ed.Lines()->GetCount();
  }
  int Repaint() {
    Ed.Invalidate();
    Ed.Update();
    return Ed.GetTopLine();
  }
};

struct TPeer {
  QsciScintilla Editor;
  QsciLexerPerl Lexer;
  QImage Image{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
  explicit TPeer(const std::string& Text) {
    Editor.resize(kWidth, kHeight);
    Editor.setMarginLineNumbers(0, true);
    Editor.setMarginWidth(0, "00000000");
    Editor.setLexer(&Lexer);
    Editor.setUtf8(true);
    Editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, rid::SjisToUtf8(Text).c_str());
    Editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    Editor.show();
    Editor.render(&Image);
  }
  int Repaint() {
    Editor.render(&Image);
    return Image.width();
  }
};

const std::string& ScreenText() {
  static const std::string text = PerlCgi(SIZE_MAX, 2000);
  return text;
}

void BM_Edit_Ours_1000Lines(benchmark::State& State) {
  TOurs ours(PerlCgi(SIZE_MAX, 1000));
  for (auto _ : State) benchmark::DoNotOptimize(ours.TypeAtTop());
}
BENCHMARK(BM_Edit_Ours_1000Lines)->Unit(benchmark::kMicrosecond);

void BM_Repaint_Ours(benchmark::State& State) {
  TOurs ours(ScreenText());
  for (auto _ : State) benchmark::DoNotOptimize(ours.Repaint());
}
BENCHMARK(BM_Repaint_Ours)->Unit(benchmark::kMicrosecond);

void BM_Repaint_QScintilla(benchmark::State& State) {
  TPeer peer(ScreenText());
  for (auto _ : State) benchmark::DoNotOptimize(peer.Repaint());
}
BENCHMARK(BM_Repaint_QScintilla)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  constexpr double MB = 1024.0 * 1024.0;

  // Opening, each side in its own process, before this process has an application.
  const auto path = BigFile();
  const double size = static_cast<double>(std::filesystem::file_size(path));
  auto twin = path;
  twin += ".utf8";
  const double twinSize = static_cast<double>(std::filesystem::file_size(twin));
  const TOpenResult ours = InChild([&] { return OpenOurs(path); }, argc, argv);
  const TOpenResult peer = InChild([&] { return OpenPeer(path); }, argc, argv);
  std::printf(
      "Open %.0f MB Shift-JIS Perl (%ld lines) to the first painted screen: us %.2f s, resident"
      " +%.0f MB (peak +%.0f MB); QScintilla on its %.1f MB UTF-8 twin %.2f s (%ld lines),"
      " resident +%.0f MB (peak +%.0f MB)\n",
      size / MB, ours.Lines, ours.Seconds, ours.RssGrowth / MB, ours.PeakGrowth / MB,
      twinSize / MB, peer.Seconds, peer.Lines, peer.RssGrowth / MB, peer.PeakGrowth / MB);
  std::printf("ratio us/QScintilla: time %.3f, resident %.3f, peak %.3f (below 1: better)\n",
              ours.Seconds / peer.Seconds, ours.RssGrowth / peer.RssGrowth,
              ours.PeakGrowth / peer.PeakGrowth);
  std::fflush(stdout);

  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // One character typed at the top: the cost must not follow the file's length.
  double small = 0, large = 0;
  {
    TOurs s(PerlCgi(SIZE_MAX, 1000));
    small = rid::bench::BestTime([&] { return s.TypeAtTop(); }, 20) / 2;
  }
  {
    const double t0 = Now();
    TOurs l(PerlCgi(SIZE_MAX, 1000000));
    const double setup = Now() - t0;
    large = rid::bench::BestTime([&] { return l.TypeAtTop(); }, 20) / 2;
    std::printf("(1,000,000-line control set up in %.2f s)\n", setup);
  }
  std::printf(
      "One character typed at the top with range upkeep and repaint: 1,000 lines %.1f us,"
      " 1,000,000 lines %.1f us\n",
      small * 1e6, large * 1e6);
  std::printf("ratio 1,000,000/1,000 lines: %.2f (near 1: independent of the file's length)\n",
              large / small);

  // A full screen of highlighted text, repainted.
  TOurs o(ScreenText());
  TPeer p(ScreenText());
  const double oursPaint = rid::bench::BestTime([&] { return o.Repaint(); }, 20);
  const double peerPaint = rid::bench::BestTime([&] { return p.Repaint(); }, 20);
  std::printf("Repaint of a %dx%d screen of highlighted Perl: us %.2f ms, QScintilla %.2f ms\n",
              kWidth, kHeight, oursPaint * 1e3, peerPaint * 1e3);
  std::printf("ratio us/QScintilla: %.3f (below 1: faster than the peer)\n",
              oursPaint / peerPaint);
  return 0;
}
