// The editor control and the program beside QScintilla with its Perl lexer.
//
// Opening a 100 MB file to the first painted 1024x768 screen with line numbers, each side in a
// process of its own, best of 5 runs per side, on two files: a Japanese-heavy CGI script and a
// source-like module (mostly ASCII, some Japanese comments and strings).
//   us: read the Shift-JIS file into one buffer of its size, which the lines keep; attach the
//       Perl highlighter (it carries nothing from line to line, so no range scan); paint.
//   QScintilla: a QsciScintilla reads the UTF-8 twin through its own read(), as its window does
//       (SCI_SETTEXT, then the undo buffer emptied); its lexer styles only what the first paint
//       shows; paint.
// The program: `rideder FILE` from its start to its first painted window, beside a minimal
// QsciScintilla window program (qsci_window) of the same size on the UTF-8 twin; offscreen, and
// under a real X server: the one of DISPLAY, or else an Xvfb of its own. Best of 5 runs each.
// A character typed at the top with its repaint, in 1,000 and 1,000,000 lines: ours only, since
// the point is that the cost does not follow the file's length.
// Keys in 1,000 and 1,000,000 lines, beside QScintilla, both repainting what changed after each
// key (best of 20 per side):
//   a keystroke at the top: us CommandProcessor(ecChar, 'x') then ecDeleteLastChar; QScintilla
//     the same keys as QKeyEvents ("x", then Backspace);
//   Enter in the middle of line 1: us ecLineBreak then the ecDeleteLastChar that joins the lines;
//     QScintilla Return then Backspace.
//   us: the Perl highlighter attached, Update() paints the rows the change invalidated; the peer
//     holds the UTF-8 twin with its Perl lexer and paints on the update request its key posted.
// Repainting a screen of highlighted text: both sides, each screen styled before the first run.
// Bracket matching in a 100,000-line Perl CGI script: "{" on line 1 whose partner is the last
// line, and an unmatched "(" on line 1, which makes both sides walk the whole file; best of 5.
//   us: the Perl highlighter attached; the lines holding neither bracket byte are passed over,
//       the others walked by character and tokenized once to skip strings and comments.
//   QScintilla: SCI_BRACEMATCH at the same place, its whole text styled before timing (the
//       bracket counts only when its style is the opening one's).
#include <benchmark/benchmark.h>
#include <qscilexerperl.h>
#include <qsciscintilla.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "highlighters/RidHighlighterPerl.h"
#include "platform/Classes.h"
#include "platform/Locale.h"
#include "tests/XSession.h"

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

// A Perl module as most source is: ASCII code, a few Japanese comments and strings.
const char* const ModuleUtf8 =
    "package Board::Store;\n"
    "use strict;\n"
    "use warnings;\n"
    "use Fcntl qw(:flock SEEK_SET);\n"
    "\n"
    "# 投稿の保存と読み出し\n"
    "our $VERSION = '1.04';\n"
    "my $MAX_POSTS = 200;\n"
    "\n"
    "sub new {\n"
    "    my ($class, %args) = @_;\n"
    "    my $self = { file => $args{file} || 'bbs.log', max => $args{max} || $MAX_POSTS };\n"
    "    return bless $self, $class;\n"
    "}\n"
    "\n"
    "sub load {\n"
    "    my ($self) = @_;\n"
    "    open(my $fh, '<', $self->{file}) or return ();\n"
    "    flock($fh, LOCK_SH);\n"
    "    my @posts;\n"
    "    while (my $line = <$fh>) {\n"
    "        chomp $line;\n"
    "        next unless length $line;\n"
    "        my ($time, $name, $body) = split /\\t/, $line, 3;\n"
    "        push @posts, { time => $time, name => $name, body => $body };\n"
    "    }\n"
    "    close($fh);\n"
    "    return @posts;\n"
    "}\n"
    "\n"
    "sub save {\n"
    "    my ($self, %post) = @_;\n"
    "    die \"名前がありません\\n\" unless defined $post{name};\n"
    "    open(my $fh, '>>', $self->{file}) or die \"cannot open $self->{file}: $!\";\n"
    "    flock($fh, LOCK_EX);\n"
    "    printf $fh \"%d\\t%s\\t%s\\n\", time, $post{name}, $post{body};\n"
    "    close($fh);\n"
    "    return 1;\n"
    "}\n"
    "\n"
    "sub trim {\n"
    "    my ($self) = @_;\n"
    "    my @posts = $self->load;\n"
    "    return if @posts <= $self->{max};  # 上限以内なら何もしない\n"
    "    splice(@posts, 0, @posts - $self->{max});\n"
    "    open(my $fh, '>', $self->{file}) or die \"cannot write $self->{file}: $!\";\n"
    "    print $fh join(\"\\t\", @$_{qw(time name body)}), \"\\n\" for @posts;\n"
    "    close($fh);\n"
    "}\n"
    "\n"
    "1;\n"
    "\n";

// Utf8Unit in Shift-JIS with CR LF, repeated to Bytes or to Lines lines, whichever comes first.
std::string Repeated(const char* Utf8Unit, size_t Bytes, size_t Lines) {
  std::string unit;
  for (char c : rid::Utf8ToSjis(Utf8Unit)) {
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

std::string PerlCgi(size_t Bytes, size_t Lines) { return Repeated(CgiUtf8, Bytes, Lines); }

size_t BenchMegabytes() {
  const char* v = std::getenv("RID_BENCH_MB");
  const long mb = v ? std::atol(v) : 0;
  return mb > 0 ? static_cast<size_t>(mb) : 100;
}

std::filesystem::path Twin(const std::filesystem::path& P) {
  auto twin = P;
  twin += ".utf8";
  return twin;
}

// Written once into the temp folder and reused by later runs of the same size, with its UTF-8
// twin for the peer, which cannot show Shift-JIS under Qt 6.
std::filesystem::path BigFile(const std::string& Name, const char* Utf8Unit) {
  const size_t bytes = BenchMegabytes() << 20;
  const auto dir = std::filesystem::temp_directory_path() / "rid_bench";
  std::filesystem::create_directories(dir);
  const auto path = dir / (Name + "_" + std::to_string(BenchMegabytes()) + "mb.pl");
  std::error_code ec, ec2;
  if (std::filesystem::file_size(path, ec) + 4096 < bytes || ec ||
      std::filesystem::file_size(Twin(path), ec2) == 0 || ec2) {
    const std::string text = Repeated(Utf8Unit, bytes, SIZE_MAX);
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    const std::string utf8 = rid::SjisToUtf8(text);
    std::ofstream(Twin(path), std::ios::binary)
        .write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
  }
  return path;
}

// With RID_BENCH_SAVE set, the first screens go to the temp folder to be looked at.
void SaveIfAsked(const QImage& Img, const std::string& Name) {
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
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct TOpenResult {
  double Seconds = 0, RssGrowth = 0, PeakGrowth = 0;
  long Lines = 0;
};

// Reads the Shift-JIS file and shows its first screen, painted.
TOpenResult OpenOurs(const std::filesystem::path& P, const std::string& Shot) {
  TOpenResult r;
  const TMem before = ReadMem();
  const double t0 = Now();
  auto ed = std::make_unique<rid::TRidEder>(nullptr);
  auto perl = std::make_unique<rid::TRidPerlRid>(nullptr);
  Colour(*perl);
  ed->SetBounds(0, 0, kWidth, kHeight);
  ed->GetGutter().SetShowLineNumbers(true);
  ed->GetLines()->AdoptBytes(rid::LoadBytesFromFile(P.string()));
  ed->SetHighlighter(perl.get());
  ed->Show();
  ed->Invalidate();
  ed->Update();
  const QImage img = ed->Picture();
  r.Seconds = Now() - t0;
  SaveIfAsked(img, Shot);
  const TMem after = ReadMem();
  r.RssGrowth = after.Rss - before.Rss;
  r.PeakGrowth = after.Hwm - before.Hwm;
  r.Lines = ed->Lines()->GetCount();
  ed->SetHighlighter(nullptr);
  return r;
}

// The same with the peer reading the UTF-8 twin as its window does.
TOpenResult OpenPeer(const std::filesystem::path& P, const std::string& Shot) {
  TOpenResult r;
  const TMem before = ReadMem();
  const double t0 = Now();
  auto editor = std::make_unique<QsciScintilla>();
  auto lexer = std::make_unique<QsciLexerPerl>();
  editor->resize(kWidth, kHeight);
  editor->setMarginLineNumbers(0, true);
  editor->setMarginWidth(0, "00000000");
  editor->setUtf8(true);
  editor->setLexer(lexer.get());
  {
    QFile file(QString::fromStdString(Twin(P).string()));
    if (!file.open(QIODevice::ReadOnly) || !editor->read(&file)) std::abort();
  }
  editor->show();
  QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  editor->render(&img);
  r.Seconds = Now() - t0;
  SaveIfAsked(img, Shot);
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

// The best of Runs child runs: the shortest time and the smallest memory figures.
template <typename F>
TOpenResult BestInChild(F&& Open, int argc, char** argv, int Runs = 5) {
  TOpenResult best;
  for (int i = 0; i < Runs; ++i) {
    const TOpenResult r = InChild(Open, argc, argv);
    if (r.Seconds < 0) std::abort();
    if (i == 0 || r.Seconds < best.Seconds) best.Seconds = r.Seconds;
    if (i == 0 || r.RssGrowth < best.RssGrowth) best.RssGrowth = r.RssGrowth;
    if (i == 0 || r.PeakGrowth < best.PeakGrowth) best.PeakGrowth = r.PeakGrowth;
    best.Lines = r.Lines;
  }
  return best;
}

constexpr double MB = 1024.0 * 1024.0;

void CompareOpening(const std::string& Name, const char* Utf8Unit, int argc, char** argv) {
  const auto path = BigFile(Name, Utf8Unit);
  const double size = static_cast<double>(std::filesystem::file_size(path));
  const double twinSize = static_cast<double>(std::filesystem::file_size(Twin(path)));
  const TOpenResult ours =
      BestInChild([&] { return OpenOurs(path, "open_" + Name + "_ours.png"); }, argc, argv);
  const TOpenResult peer =
      BestInChild([&] { return OpenPeer(path, "open_" + Name + "_qscintilla.png"); }, argc, argv);
  std::printf(
      "Open %.0f MB Shift-JIS %s (%ld lines) to the first painted screen, best of 5: us %.3f s,"
      " resident +%.0f MB (peak +%.0f MB); QScintilla reading its %.1f MB UTF-8 twin %.3f s"
      " (%ld lines), resident +%.0f MB (peak +%.0f MB)\n",
      size / MB, Name.c_str(), ours.Lines, ours.Seconds, ours.RssGrowth / MB, ours.PeakGrowth / MB,
      twinSize / MB, peer.Seconds, peer.Lines, peer.RssGrowth / MB, peer.PeakGrowth / MB);
  std::printf(
      "ratio us/QScintilla (%s): time %.3f, resident %.3f, peak %.3f (below 1: better);"
      " our peak/our resident %.2f, our resident/file %.2f\n",
      Name.c_str(), ours.Seconds / peer.Seconds, ours.RssGrowth / peer.RssGrowth,
      ours.PeakGrowth / peer.PeakGrowth, ours.PeakGrowth / ours.RssGrowth, ours.RssGrowth / size);
  std::fflush(stdout);
}

struct TProgramRun {
  double Seconds = 1e9;
  double PeakBytes = 0;
};

// Program FILE from its start to its first painted window (the program ends itself there), on
// the Qt platform Platform; the best of Runs.
TProgramRun TimeProgram(const char* Program, const std::string& File, const char* Platform,
                        int Runs = 5) {
  TProgramRun best;
  for (int i = 0; i < Runs; ++i) {
    const double t0 = Now();
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("RID_EXIT_AFTER_PAINT", "1", 1);
      setenv("QT_QPA_PLATFORM", Platform, 1);
      execl(Program, Program, File.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = Now() - t0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::printf("%s %s failed (status %d)\n", Program, File.c_str(), status);
      std::exit(1);
    }
    best.Seconds = std::min(best.Seconds, seconds);
    best.PeakBytes = std::max(best.PeakBytes, usage.ru_maxrss * 1024.0);
  }
  return best;
}

void CompareProgram(const std::string& Name, const char* Utf8Unit, const char* Platform) {
  const auto path = BigFile(Name, Utf8Unit);
  const TProgramRun ours = TimeProgram(RID_PROGRAM, path.string(), Platform);
  const TProgramRun peer = TimeProgram(RID_PEER_PROGRAM, Twin(path).string(), Platform);
  std::printf(
      "Program start to its first painted window (%s, %s), best of 5: rideder %.3f s (peak"
      " %.0f MB), minimal QsciScintilla window on the UTF-8 twin %.3f s (peak %.0f MB); ratio"
      " %.3f (below 1: faster)\n",
      Name.c_str(), Platform, ours.Seconds, ours.PeakBytes / MB, peer.Seconds, peer.PeakBytes / MB,
      ours.Seconds / peer.Seconds);
  std::fflush(stdout);
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

// A key as each side's users press it, with the repaint that follows.
struct TKeyOurs : TOurs {
  using TOurs::TOurs;
  void Run(rid::TRidEderorCommand Command, char AChar = 0) {
    Ed.CommandProcessor(Command, AChar, nullptr);
    Ed.Update();
    QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  }
  int KeystrokeAtTop() {
    Ed.SetCaretXY({1, 1});
    Run(rid::ecChar, 'x');
    Run(rid::ecDeleteLastChar);
    return Ed.Lines()->GetCount();
  }
  int EnterInLine1() {
    Ed.SetCaretXY({8, 1});
    Run(rid::ecLineBreak);
    Run(rid::ecDeleteLastChar);
    return Ed.Lines()->GetCount();
  }
};

struct TKeyPeer : TPeer {
  // Shown and exposed, so that its updates are painted.
  explicit TKeyPeer(const std::string& Text) : TPeer(Text) { QApplication::processEvents(); }
  void Press(int Key, const QString& Text = {}) {
    QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(&Editor, &press);
    QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(&Editor, &release);
    QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  }
  int KeystrokeAtTop() {
    Editor.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0UL);
    Press(Qt::Key_X, "x");
    Press(Qt::Key_Backspace);
    return Editor.lines();
  }
  int EnterInLine1() {
    Editor.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 7UL);
    Press(Qt::Key_Return, "\r");
    Press(Qt::Key_Backspace);
    return Editor.lines();
  }
};

// The text must come back as it was: each key pair undoes itself.
template <typename Side>
double TimeKeys(Side& S, int (Side::*Keys)()) {
  return rid::bench::BestTime([&] { return (S.*Keys)(); }, 20);
}

void CompareKeys() {
  struct TResult {
    double Ours, Peer;
  };
  TResult top[2], enter[2];
  const size_t lines[2] = {1000, 1000000};
  for (int i = 0; i < 2; ++i) {
    const std::string text = PerlCgi(SIZE_MAX, lines[i]);
    {
      TKeyOurs ours(text);
      const std::string before = ours.Ed.GetLines()->SaveToBytes();
      top[i].Ours = TimeKeys(ours, &TKeyOurs::KeystrokeAtTop);
      enter[i].Ours = TimeKeys(ours, &TKeyOurs::EnterInLine1);
      if (ours.Ed.GetLines()->SaveToBytes() != before) {
        std::printf("Keys: our text changed\n");
        std::exit(1);
      }
    }
    {
      TKeyPeer peer(text);
      const int count = peer.Editor.lines();
      top[i].Peer = TimeKeys(peer, &TKeyPeer::KeystrokeAtTop);
      enter[i].Peer = TimeKeys(peer, &TKeyPeer::EnterInLine1);
      if (peer.Editor.lines() != count) {
        std::printf("Keys: the peer's text changed\n");
        std::exit(1);
      }
    }
  }
  const auto report = [&](const char* Name, const TResult* R) {
    for (int i = 0; i < 2; ++i)
      std::printf(
          "%s, %zu lines, best of 20: us %.1f us, QScintilla %.1f us; ratio us/QScintilla"
          " %.3f (goal: at most 0.5)\n",
          Name, lines[i], R[i].Ours * 1e6, R[i].Peer * 1e6, R[i].Ours / R[i].Peer);
    std::printf("%s: ratio us 1,000,000/1,000 lines %.2f (goal: at most 1.2)\n", Name,
                R[1].Ours / R[0].Ours);
  };
  report("Keystroke at the top (x, Backspace) with repaint", top);
  report("Enter in the middle of line 1, then the joining Backspace, with repaint", enter);
  std::fflush(stdout);
}

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

// Open on line 1, whole copies of the script (so that its own brackets pair up) and blank lines
// to 100,000 lines, and Close alone on the last line unless it is 0.
std::string BracketFile(char Open, char Close) {
  const size_t unitLines = std::count(CgiUtf8, CgiUtf8 + std::strlen(CgiUtf8), '\n');
  const size_t lines = 100000, body = (lines - 2) / unitLines * unitLines;
  std::string s = std::string(1, Open) + "\r\n" + PerlCgi(SIZE_MAX, body);
  for (size_t i = body + 2; i < lines; ++i) s += "\r\n";
  return s + (Close ? std::string(1, Close) : std::string());
}

struct TBracketOurs {
  rid::TRidPerlRid Perl{nullptr};
  rid::TRidEder Ed{nullptr};
  explicit TBracketOurs(const std::string& Text) {
    Ed.GetLines()->LoadFromBytes(Text);
    Ed.SetHighlighter(&Perl);
    Ed.GetLines()->GetRange(Ed.Lines()->GetCount() - 1);  // ranges stored, as the peer's styles
  }
  ~TBracketOurs() { Ed.SetHighlighter(nullptr); }
  // The partner's line, 0 when there is none.
  int32_t Match() { return Ed.GetMatchingBracketEx({1, 1}).Line; }
};

struct TBracketPeer {
  QsciScintilla Editor;
  QsciLexerPerl Lexer;
  explicit TBracketPeer(const std::string& Text) {
    Editor.setUtf8(true);
    Editor.setLexer(&Lexer);
    Editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, rid::SjisToUtf8(Text).c_str());
    Editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
  }
  int32_t Match() {
    const long p = Editor.SendScintilla(QsciScintillaBase::SCI_BRACEMATCH, 0UL, 0L);
    return p < 0 ? 0 : Editor.SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, p) + 1;
  }
};

void CompareBracketMatch(const char* Name, char Open, char Close) {
  const std::string text = BracketFile(Open, Close);
  TBracketOurs ours(text);
  TBracketPeer peer(text);
  const int32_t want = Close ? ours.Ed.Lines()->GetCount() : 0;
  if (ours.Match() != want || peer.Match() != want) {
    std::printf("Bracket match %s: us line %d, QScintilla line %d, expected %d\n", Name,
                ours.Match(), peer.Match(), want);
    std::exit(1);
  }
  const double us = rid::bench::BestTime([&] { return ours.Match(); });
  const double them = rid::bench::BestTime([&] { return peer.Match(); });
  std::printf("Bracket match, %s in %d lines, best of 5: us %.2f ms, QScintilla %.2f ms\n", Name,
              ours.Ed.Lines()->GetCount(), us * 1e3, them * 1e3);
  std::printf("ratio us/QScintilla (%s): %.3f (goal: at most 0.5)\n", Name, us / them);
}

}  // namespace

int main(int argc, char** argv) {
  // Opening, each side in its own process, before this process has an application.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  CompareOpening("cgi", CgiUtf8, argc, argv);
  CompareOpening("module", ModuleUtf8, argc, argv);
  CompareProgram("cgi", CgiUtf8, "offscreen");
  CompareProgram("module", ModuleUtf8, "offscreen");
  {
    // The server of the tests, kept up (-noreset) while each timed program leaves.
    std::unique_ptr<rid::test::TXSession> xvfb;
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) {
      xvfb = std::make_unique<rid::test::TXSession>();
      if (!xvfb->Ok()) {
        std::printf("No X server: %s\n", xvfb->Error().c_str());
        return 1;
      }
      setenv("DISPLAY", xvfb->Display().c_str(), 1);
    }
    CompareProgram("cgi", CgiUtf8, "xcb");
    CompareProgram("module", ModuleUtf8, "xcb");
  }

  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  CompareKeys();

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
  std::printf("ratio us/QScintilla: %.3f (below 1: faster than the peer)\n", oursPaint / peerPaint);

  CompareBracketMatch("\"{\" with its partner on the last line", '{', '}');
  CompareBracketMatch("an unmatched \"(\"", '(', 0);
  return 0;
}
