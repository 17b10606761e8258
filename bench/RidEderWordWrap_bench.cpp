// Word wrap at 80 columns beside QScintilla wrapping by character, on 1,000,000 lines of Perl-like
// Shift-JIS text (the peer gets its UTF-8 twin: it cannot show Shift-JIS under Qt 6).
//
// Each side is an editor shown offscreen, IPAGothic 10 pt, tabs of 8, line numbers of 7 digits
// and nothing else in its margin, 600 pixels high and just wide enough for 80 columns, and does
// what it does for its own users to show the result of the same action:
//   us: a TRidEder with word wrap on (our wrap counts columns, a full-width character two, and
//       breaks before a blank in the last third of a row);
//   QScintilla: SC_WRAP_CHAR (it measures every line with the font's glyphs).
// Opening: the text goes into the editor with wrap on, then the first screen is painted. Us:
// the lines adopt the bytes (as the window opens a file) and the control wraps every line at
// once. QScintilla: SCI_SETTEXT without an undo copy, then SC_WRAP_CHAR turned on (its quicker
// order: with wrap on before, SCI_SETTEXT itself lays out lines, some 45 us each, before
// anything is painted); it wraps the lines it shows when it paints and the rest in idle time.
// So each side is timed to its first screen painted, and apart from that to every line wrapped
// (QScintilla's idle wrapping run to its end through the event loop; ours the same figure as
// its first screen). As information, the same opening with wrap off on both sides.
// A keystroke: "x" typed at the start of line 1 and taken back with Backspace, each a key event
// to the editor followed by one repaint of the shown screen (the pair is timed). Ours goes through
// the control's command: the line buffer, an undo item and the wrap update; QScintilla inserts
// with its undo on and re-wraps the line when it paints (without the repaint it would not have
// wrapped it yet, so neither side goes without). Line 1 holds 80 columns, so the row count
// changes with each key; also within a row (line 1 of 10 columns), and in the first 1,000
// lines, whose figure beside the 1,000,000 lines' shows whether the cost follows the length.
// Best of 5 runs per side for opening, of 20 for a keystroke; the ratio is ours / QScintilla's.
#include <benchmark/benchmark.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <QKeyEvent>
#include <climits>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "bench/BenchSupport.h"
#include "editor/RidEder.h"
#include "platform/Locale.h"

namespace {

using namespace rid;

constexpr int kColumns = 80;
constexpr int kHeight = 600;

// Count lines of random Perl-like words, blanks, tabs and Japanese, LF after each but the last;
// the first line is First.
std::string Text(int Count, const std::string& First) {
  std::mt19937 rng(1);
  static const char* words[] = {
      "print", "$x", " ",     "\t", "\x82\xa0\x82\xa2", "=", "foo_bar", ";", "\x8a\xbf\x8e\x9a",
      "(",     ")",  "return"};
  std::string s = First;
  for (int i = 1; i < Count; ++i) {
    s += '\n';
    const int n = std::uniform_int_distribution<int>(0, 40)(rng);
    for (int k = 0; k < n; ++k) s += words[rng() % std::size(words)];
  }
  return s;
}

// Counts the paints a widget receives.
class TPaints : public QObject {
 public:
  explicit TPaints(QWidget* W) { W->installEventFilter(this); }
  int Count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* E) override {
    if (E->type() == QEvent::Paint) ++Count;
    return false;
  }
};

// One repaint of what changed: the update requests the change posted.
void Repaint() { QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); }

void Press(QWidget* W, int Key, const QString& Text = {}) {
  QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
  QApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
  QApplication::sendEvent(W, &release);
}

class TOurs {
 public:
  TOurs() {
    Ed.GetGutter().SetShowLineNumbers(true);
    Ed.GetGutter().SetDigitCount(7);
    Ed.SetTabWidth(8);
    Ed.SetBounds(0, 0, 800, kHeight);
    Ed.Show();
    QApplication::processEvents();
    // The text area holds 80 columns and a part of one, as the peer's does.
    for (int i = 0; i < 5 && Ed.GetCharsInWindow() != kColumns; ++i) {
      Ed.SetBounds(0, 0, Ed.GetWidth() + (kColumns - Ed.GetCharsInWindow()) * Ed.GetCharWidth(),
                   kHeight);
      QApplication::processEvents();
    }
    Paints = std::make_unique<TPaints>(Ed.ClientWidget());
  }
  bool Fits() { return Ed.GetCharsInWindow() == kColumns; }
  void SetWrap(bool On) { Ed.SetWordWrap(On); }
  // Untimed: an empty editor, everything painted.
  void Close() {
    Ed.GetLines()->Clear();
    Ed.ClearUndo();
    QApplication::processEvents();
  }
  long Open(std::string&& Sjis) {
    Ed.GetLines()->AdoptBytes(std::move(Sjis));
    Repaint();
    return Rows();
  }
  void CaretHome() {
    Ed.SetCaretXY({1, 1});
    QApplication::processEvents();
  }
  QWidget* KeyTarget() { return Ed.ClientWidget(); }
  long Rows() { return Ed.DisplayLineCount(); }
  // The row at which 0-based line Line begins, 1-based.
  long RowOf(int Line) { return Ed.LineToRow(Line + 1); }

  TRidEder Ed{nullptr};
  std::unique_ptr<TPaints> Paints;
};

class TPeer {
 public:
  using Sci = QsciScintillaBase;

  TPeer() {
    Editor.setUtf8(true);
    Send(Sci::SCI_STYLESETFONT, Sci::STYLE_DEFAULT, "IPAGothic");
    Send(Sci::SCI_STYLESETSIZE, Sci::STYLE_DEFAULT, 10L);
    Send(Sci::SCI_STYLECLEARALL);
    Editor.setMarginLineNumbers(0, true);
    Editor.setMarginWidth(0, "0000000");
    for (unsigned long m = 1; m < 5; ++m) Send(Sci::SCI_SETMARGINWIDTHN, m, 0L);
    Send(Sci::SCI_SETMARGINLEFT, 0UL, 0L);
    Send(Sci::SCI_SETMARGINRIGHT, 0UL, 0L);
    Send(Sci::SCI_SETTABWIDTH, 8UL);
    Editor.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Editor.resize(800, kHeight);
    Editor.show();
    QApplication::processEvents();
    // Half a column of slack: 80 columns fit, 81 do not.
    const long ascii =
        Send(Sci::SCI_TEXTWIDTH, Sci::STYLE_DEFAULT, std::string(kColumns, '0').c_str());
    const long half = Send(Sci::SCI_TEXTWIDTH, Sci::STYLE_DEFAULT, "0") / 2;
    std::string kanji;
    for (int i = 0; i < kColumns / 2; ++i) kanji += "\xe6\xbc\xa2";
    FullWidthIsTwo = Send(Sci::SCI_TEXTWIDTH, Sci::STYLE_DEFAULT, kanji.c_str()) == ascii;
    const int chrome = Editor.width() - Editor.viewport()->width();
    const long margin = Send(Sci::SCI_GETMARGINWIDTHN, 0UL);
    Editor.resize(static_cast<int>(ascii + half + margin) + chrome, kHeight);
    QApplication::processEvents();
    Paints = std::make_unique<TPaints>(Editor.viewport());
  }
  bool Fits() { return FullWidthIsTwo; }
  void SetWrap(bool On) { Wrap = On; }
  // Untimed: an empty editor, everything painted and no idle work left.
  void Close() {
    Send(Sci::SCI_SETWRAPMODE, Sci::SC_WRAP_NONE);
    Send(Sci::SCI_SETUNDOCOLLECTION, 0UL);
    Send(Sci::SCI_CLEARALL);
    Send(Sci::SCI_SETUNDOCOLLECTION, 1UL);
    Send(Sci::SCI_EMPTYUNDOBUFFER);
    QApplication::processEvents();
  }
  // Wrap is turned on once the text is in: the quicker order (see the top).
  long Open(const std::string& Utf8) {
    Send(Sci::SCI_SETUNDOCOLLECTION, 0UL);
    Send(Sci::SCI_SETTEXT, 0UL, Utf8.c_str());
    Send(Sci::SCI_SETUNDOCOLLECTION, 1UL);
    Send(Sci::SCI_EMPTYUNDOBUFFER);
    if (Wrap) Send(Sci::SCI_SETWRAPMODE, Sci::SC_WRAP_CHAR);
    Repaint();
    return Rows();
  }
  // The event loop run until every line is wrapped: until the rows reach Rows, or until they
  // have not changed for 100 passes.
  long WrapInIdleTime(long Rows = LONG_MAX) {
    long rows = this->Rows();
    for (int still = 0; rows < Rows && still < 100;) {
      QApplication::processEvents();
      const long now = this->Rows();
      still = now == rows ? still + 1 : 0;
      rows = now;
    }
    return rows;
  }
  // Untimed: every line wrapped at once, as a move to the end of the document needs.
  long WrapAllNow() {
    Send(Sci::SCI_DOCUMENTEND);
    const long rows = Rows();
    Send(Sci::SCI_DOCUMENTSTART);
    QApplication::processEvents();
    return rows;
  }
  void CaretHome() {
    Send(Sci::SCI_GOTOPOS, 0UL);
    QApplication::processEvents();
  }
  QWidget* KeyTarget() { return &Editor; }
  // The display lines as wrapped so far: a line not yet wrapped counts as one.
  long Rows() {
    const unsigned long last = static_cast<unsigned long>(Send(Sci::SCI_GETLINECOUNT) - 1);
    return Send(Sci::SCI_VISIBLEFROMDOCLINE, last) + Send(Sci::SCI_WRAPCOUNT, last);
  }
  long RowOf(int Line) { return Send(Sci::SCI_VISIBLEFROMDOCLINE, Line) + 1; }

  QsciScintilla Editor;
  std::unique_ptr<TPaints> Paints;
  bool FullWidthIsTwo = false;
  bool Wrap = false;

 private:
  template <typename... A>
  long Send(unsigned int Msg, A... Args) {
    return Editor.SendScintilla(Msg, Args...);
  }
};

// "x" typed at the caret, then Backspace, each with one repaint; the rows after each.
template <typename Side>
std::pair<long, long> Keystroke(Side& S) {
  Press(S.KeyTarget(), Qt::Key_X, "x");
  Repaint();
  const long typed = S.Rows();
  Press(S.KeyTarget(), Qt::Key_Backspace);
  Repaint();
  return {typed, S.Rows()};
}

struct TResult {
  double Seconds = 0;
  bool Ok = true;  // every run painted, and wrapped as asked
};

// Opening Text (Shift-JIS for us, UTF-8 for the peer), best of 5; Ok when every run painted and
// the first screen's lines were wrapped (with Wrap on) or not (off).
template <typename Side>
TResult TimeOpen(Side& S, const std::string& Text, bool Wrap) {
  TResult r;
  std::string copy;
  S.Close();
  S.SetWrap(Wrap);
  int paints = 0;
  r.Seconds = bench::BestTimeAfter(
      [&] {
        S.Close();
        copy = Text;
        paints = S.Paints->Count;
      },
      [&] {
        const long rows = S.Open(std::move(copy));
        r.Ok = r.Ok && S.Paints->Count > paints;
        return rows;
      });
  // Some of the 40 lines at the top take two rows or more.
  r.Ok = r.Ok && (S.RowOf(40) > 41) == Wrap;
  return r;
}

// Untimed: Text opened with wrap on.
template <typename Side>
void Reopen(Side& S, const std::string& Text) {
  S.Close();
  S.SetWrap(true);
  S.Open(std::string(Text));
  QApplication::processEvents();
}

// The keystroke pair on line 1, best of 20; Ok when every key was painted and changed the rows
// by Change (the typed key; the Backspace takes it back).
template <typename Side>
TResult TimeKeystroke(Side& S, long Change) {
  TResult r;
  S.CaretHome();
  const long rows = S.Rows();
  const auto [typed, back] = Keystroke(S);
  r.Ok = typed == rows + Change && back == rows;
  int paints = 0;
  r.Seconds = bench::BestTimeAfter(
      [&] {
        S.CaretHome();
        paints = S.Paints->Count;
      },
      [&] {
        const long result = Keystroke(S).second;
        r.Ok = r.Ok && S.Paints->Count >= paints + 2;
        return result;
      },
      20);
  r.Ok = r.Ok && S.Rows() == rows;
  return r;
}

const char* Flag(bool Ok) { return Ok ? "" : " [not painted or not wrapped as asked]"; }

// The line for one case; false when a side was flagged.
bool Report(const char* What, const TResult& Us, const TResult& Peer, double Scale,
            const char* Unit) {
  std::printf("%s: us %.1f %s%s, QScintilla %.1f %s%s; ratio us/QScintilla %.3f\n", What,
              Us.Seconds * Scale, Unit, Flag(Us.Ok), Peer.Seconds * Scale, Unit, Flag(Peer.Ok),
              Us.Seconds / Peer.Seconds);
  return Us.Ok && Peer.Ok;
}

// The first Count lines of Text.
std::string Head(const std::string& Text, int Count) {
  size_t at = 0;
  for (int i = 0; i < Count && at != std::string::npos; ++i) at = Text.find('\n', at + 1);
  return Text.substr(0, at);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  constexpr int kLines = 1000000;
  const std::string full = Text(kLines, std::string(kColumns, 'a'));
  const std::string fullUtf8 = SjisToUtf8(full);
  TOurs ours;
  TPeer peer;
  if (!ours.Fits() || !peer.Fits()) {
    std::printf("the editors do not show 80 columns (us %d, QScintilla full-width %s)\n",
                ours.Ed.GetCharsInWindow(), peer.FullWidthIsTwo ? "two columns" : "not two");
    return 1;
  }

  // Opening.
  const TResult oursOpen = TimeOpen(ours, full, true);
  const TResult peerOpen = TimeOpen(peer, fullUtf8, true);
  const long oursRows = ours.Rows();
  // QScintilla's rows once its idle wrapping is done, then the time to that from the start.
  const long peerRows = peer.WrapInIdleTime();
  const bool peerAllWrapped = peer.WrapAllNow() == peerRows;
  TResult peerWhole;
  peerWhole.Seconds = bench::BestTimeAfter([&] { peer.Close(); },
                                           [&] {
                                             peer.Open(fullUtf8);
                                             const long rows = peer.WrapInIdleTime(peerRows);
                                             peerWhole.Ok = peerWhole.Ok && rows == peerRows;
                                             return rows;
                                           });
  peerWhole.Ok = peerWhole.Ok && peerAllWrapped;
  std::printf(
      "%d lines wrapped at 80 columns: us %ld rows, QScintilla %ld rows%s (it breaks anywhere,"
      " we before a blank in a row's last third)\n",
      kLines, oursRows, peerRows, peerAllWrapped ? "" : " [its idle wrapping did not finish]");
  bool ok =
      Report("open with wrap on, to the first screen painted (best of 5; we wrap every line here)",
             oursOpen, peerOpen, 1e3, "ms");
  ok &= Report(
      "open with wrap on, to every line wrapped (best of 5; QScintilla's idle wrapping to its"
      " end, ours the same figure as above)",
      oursOpen, peerWhole, 1e3, "ms");
  const TResult oursPlain = TimeOpen(ours, full, false);
  const TResult peerPlain = TimeOpen(peer, fullUtf8, false);
  ok &= Report("as information, open with wrap off, to the first screen painted (best of 5)",
               oursPlain, peerPlain, 1e3, "ms");

  // Keystrokes.
  struct TCase {
    const char* Name;
    std::string Sjis;
    long Change;
  };
  const TCase cases[] = {
      {"keystroke pair at the top of 1,000,000 lines, row count changes", full, 1},
      {"keystroke pair at the top of 1,000,000 lines, within a row",
       std::string(10, 'a') + full.substr(kColumns), 0},
      {"keystroke pair at the top of 1,000 lines, row count changes", Head(full, 1000), 1}};
  TResult keys[3][2];
  for (int i = 0; i < 3; ++i) {
    const TCase& c = cases[i];
    Reopen(ours, c.Sjis);
    Reopen(peer, SjisToUtf8(c.Sjis));
    peer.WrapInIdleTime();
    keys[i][0] = TimeKeystroke(ours, c.Change);
    keys[i][1] = TimeKeystroke(peer, c.Change);
    ok &= Report(c.Name, keys[i][0], keys[i][1], 1e6, "us");
  }
  std::printf(
      "keystroke pair, 1,000,000 lines / 1,000 lines (near 1: the cost does not follow the"
      " length): us %.2f, QScintilla %.2f\n",
      keys[0][0].Seconds / keys[2][0].Seconds, keys[0][1].Seconds / keys[2][1].Seconds);
  std::printf(
      "(\"x\" typed at the start of line 1 and taken back with Backspace, each with one repaint of"
      " the shown screen, best of 20; the ratio is below 1 when we are faster)\n");
  return ok ? 0 : 1;
}
