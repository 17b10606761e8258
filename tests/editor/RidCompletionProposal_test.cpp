// The completion pop-up and proposal: the formatted-text commands, painting them, and the list
// and the proposal on shown editors driven by real key, mouse and wheel events.
#include "editor/RidCompletionProposal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Locale.h"
#include "platform/Menus.h"
#include "platform/WidgetBridge.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

// Double-byte characters whose trail byte is an ASCII character of the markup or of a word
// scan: 表 95 5C and ソ 83 5C and 能 94 5C ("\"), ー 81 5B ("["), ボ 83 7B ("{"), ポ 83 7C ("|").
const std::string Hyo = "\x95\x5C", So = "\x83\x5C", No = "\x94\x5C", Bar = "\x81\x5B";
const std::string Bo = "\x83\x7B", Po = "\x83\x7C";

// --- the formatted-text commands

TFormatChunk Text(const std::string& S) { return {S, fkText, 0, {}}; }
TFormatChunk Color(TColor C) { return {"", fkColor, C, {}}; }
TFormatChunk Style(char S, int32_t A) { return {"", fkStyle, 0, {S, A}}; }
TFormatChunk Column() { return {"", fkColumn, 0, {}}; }
TFormatChunk HSpace(int32_t N) { return {"", fkHSpace, N, {}}; }
TFormatChunk Image(int32_t N) { return {"", fkImage, N, {}}; }

std::vector<TFormatChunk> Parse(const std::string& S, bool* Ok = nullptr,
                                TFormatChunkKinds Strip = {}) {
  TFormatChunkList list;
  const bool ok = ParseFormatChunks(S, list, Strip);
  if (Ok) *Ok = ok;
  std::vector<TFormatChunk> v;
  for (int32_t i = 0; i < list.Count(); ++i) v.push_back(list.Chunks(i));
  return v;
}

TEST(RidCompletionMarkup, ParsesCommandsIntoChunks) {
  struct Case {
    const char* Name;
    std::string In;
    std::vector<TFormatChunk> Want;
    bool Ok;
  };
  const Case cases[] = {
      {"plain text", "abc", {Text("abc")}, true},
      {"a doubled backslash is one", "a\\\\b", {Text("a\\b")}, true},
      {"a colour by name", "a\\COLOR{clRed}b", {Text("a"), Color(clRed), Text("b")}, true},
      {"names ignore case", "\\color{CLHIGHLIGHT}", {Color(clHighlight)}, true},
      {"a colour by number", "\\COLOR{255}\\COLOR{$FF0000}", {Color(255), Color(0xFF0000)}, true},
      {"a colour that is neither is skipped", "a\\COLOR{reddish}b", {Text("a"), Text("b")}, false},
      {"space and image", "\\HSPACE{12}x\\IMAGE{3}", {HSpace(12), Text("x"), Image(3)}, true},
      {"space that is no integer", "a\\HSPACE{1.5}b", {Text("a"), Text("b")}, false},
      {"space too large for an integer", "\\HSPACE{99999999999}b", {Text("b")}, false},
      {"image that is no integer", "\\IMAGE{x}b", {Text("b")}, false},
      {"styles",
       "\\STYLE{+B}x\\STYLE{-b}y\\style{~U}\\STYLE{~s}\\STYLE{+i}",
       {Style('B', 1), Text("x"), Style('B', -1), Text("y"), Style('U', 0), Style('S', 0),
        Style('I', 1)},
       true},
      {"a style without its action", "\\STYLE{B}x", {Text("x")}, false},
      {"a style of no letter", "\\STYLE{+X}x\\STYLE{+BI}", {Text("x")}, false},
      {"columns", "a\\COLUMN{}b", {Text("a"), Column(), Text("b")}, true},
      {"a column with a parameter", "a\\COLUMN{x}b", {Text("a"), Text("b")}, false},
      {"an unknown command", "\\BOGUS{1}rest", {Text("rest")}, false},
      {"no closing brace drops the rest", "a\\COLOR{red", {Text("a")}, true},
      {"no opening brace drops the rest", "a\\COLOR red}b", {Text("a")}, true},
      {"a backslash at the end", "ab\\", {Text("ab")}, true},
      {"表 is text", Hyo + "示", {Text(Hyo + "示")}, true},
      {"ソ before a command",
       So + "ース\\COLOR{clRed}x",
       {Text(So + "ース"), Color(clRed), Text("x")},
       true},
      {"能 at the end", "x" + No, {Text("x" + No)}, true},
      {"ボ in a name is no brace", "\\ST" + Bo + "YLE{+B}x", {Text("x")}, false},
      {"ボ and ポ in a parameter are no braces", "\\HSPACE{" + Po + "5}x", {Text("x")}, false},
      {"a lead byte at the very end", "ab\x82", {Text("ab\x82")}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    bool ok = !c.Ok;
    EXPECT_EQ(Parse(c.In, &ok), c.Want);
    EXPECT_EQ(ok, c.Ok);
  }
}

TEST(RidCompletionMarkup, LeavesOutTheKindsAsked) {
  const std::string in = "a\\COLOR{clRed}b\\STYLE{+B}\\COLUMN{}\\HSPACE{2}\\IMAGE{1}c";
  EXPECT_EQ(Parse(in, nullptr, {fkColor}),
            (std::vector<TFormatChunk>{Text("a"), Text("b"), Style('B', 1), Column(), HSpace(2),
                                       Image(1), Text("c")}));
  EXPECT_EQ(Parse(in, nullptr, {fkColor, fkStyle, fkColumn, fkHSpace, fkImage}),
            (std::vector<TFormatChunk>{Text("a"), Text("b"), Text("c")}));
  EXPECT_EQ(
      Parse(in, nullptr, {fkText}),
      (std::vector<TFormatChunk>{Color(clRed), Style('B', 1), Column(), HSpace(2), Image(1)}));
}

TEST(RidCompletionMarkup, StripFormattingKeepsTheText) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"\\STYLE{+B}print\\STYLE{-B}(\\COLOR{clGray}x\\COLOR{clBlack})", "print(x)"},
      {"a\\\\b\\BOGUS{1}c", "a\\bc"},
      {"\\COLUMN{}function\\COLUMN{}" + Hyo + "示", "function" + Hyo + "示"},
      {"cut\\HSPACE{", "cut"},
      {"", ""},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(StripFormatting(in), want) << in;
}

TEST(RidCompletionMarkup, BoldParameterWrapsOneItem) {
  struct Case {
    std::string In;
    int32_t Index;
    std::string Want;
  };
  const std::string on = "\\style{~B}";
  const Case cases[] = {
      {"a, b, c", 1, "a " + on + "b" + on + " c"},
      {"a,b,c", 0, on + "a" + on + " b c"},
      {"a b", 1, "a " + on + "b" + on},
      {"\"x y\",z", 0, on + "x y" + on + " z"},
      {"\"say \"\"hi\"\"\",b", 1, "say \"hi\" " + on + "b" + on},
      {"a,,b", 1, "a " + on + on + " b"},  // ",," holds an empty item
      {"a,", 1, "a " + on + on},           // so does a comma at the end
      {"a,b", 5, "a b"},
      {"a,b", -1, "a b"},
      {Hyo + "," + So, 1, Hyo + " " + on + So + on},
      {"", 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BoldParameter(c.In, c.Index), c.Want) << c.In;
}

// --- painting, compared with the same text drawn piece by piece with the fonts set by hand

QRgb Rgb(TColor C) { return ColorToQRgb(C) & 0xFFFFFF; }

// What a piece of an item looks like: its text, or an image when Image >= 0, from X.
struct TPiece {
  std::string Text;
  TFontStyles Style;
  TColor Colour = clBlack;
  int32_t X = -1;  // -1: right after the piece before
  int32_t Image = -1;
};

QImage DrawOn(const std::function<void(TCanvas&)>& Draw) {
  QImage img(700, 24, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  TCanvas c;
  c.Font().SetColor(clBlack);
  c.BeginPainter(&p, Rect(0, 0, img.width(), img.height()));
  Draw(c);
  c.EndPainter();
  return img;
}

int32_t Width(const std::string& S, TFontStyles Style = {}) {
  TCanvas m;
  m.Font().SetStyle(Style);
  return m.TextWidth(S);
}

QImage Reference(const std::vector<TPiece>& Pieces, TImageList* Images = nullptr) {
  return DrawOn([&](TCanvas& c) {
    int32_t x = 0;
    c.Brush().SetStyle(bsClear);
    for (const TPiece& p : Pieces) {
      if (p.X >= 0) x = p.X;
      if (p.Image >= 0) {
        Images->Draw(c, x, 0, p.Image);
        x += Images->GetWidth();
        continue;
      }
      c.Font().SetStyle(p.Style);
      c.Font().SetColor(p.Colour);
      c.TextOut(x, 0, p.Text);
      x += c.TextWidth(p.Text);
    }
  });
}

TEST(RidCompletionMarkup, PaintsStylesAndColours) {
  struct Case {
    const char* Name;
    std::string In;
    bool Selected;
    std::vector<TPiece> Want;
  };
  const TFontStyles b{fsBold}, i{fsItalic}, u{fsUnderline}, us{fsUnderline, fsStrikeOut};
  const Case cases[] = {
      {"bold on and off", "\\STYLE{+B}x\\STYLE{-B}y", false, {{"x", b}, {"y"}}},
      {"a toggle twice restores", "\\STYLE{~I}a\\STYLE{~I}b", false, {{"a", i}, {"b"}}},
      {"styles add up",
       "\\STYLE{+U}a\\STYLE{+S}b\\STYLE{-U}c",
       false,
       {{"a", u}, {"b", us}, {"c", {fsStrikeOut}}}},
      {"removing what is not there",
       "\\STYLE{-B}a\\STYLE{+B}\\STYLE{+B}b",
       false,
       {{"a"}, {"b", b}}},
      {"a colour", "a\\COLOR{clRed}b", false, {{"a"}, {"b", {}, clRed}}},
      {"no colour on a selected row", "a\\COLOR{clRed}b", true, {{"a"}, {"b"}}},
      {"bad numbers are skipped", "a\\HSPACE{x}b\\COLOR{$GG}c\\IMAGE{}d", false, {{"abcd"}}},
      {"Japanese", Hyo + "示\\STYLE{+B}" + So + "ー", false, {{Hyo + "示"}, {So + "ー", b}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TFontStyles after;
    TColor colour = clNone;
    const QImage got = DrawOn([&](TCanvas& cv) {
      DrawFormattedText(cv, Rect(0, 0, 700, 24), c.In, c.Selected, nullptr, nullptr);
      after = cv.Font().GetStyle();
      colour = cv.Font().GetColor();
    });
    EXPECT_TRUE(got == Reference(c.Want));
    // The canvas font comes back as it was.
    EXPECT_TRUE(after.Empty());
    EXPECT_EQ(colour, clBlack);
  }
}

TEST(RidCompletionMarkup, PlacesColumnsSpacesAndImages) {
  TProposalColumns columns(nullptr);
  columns.Add()->SetDefaultFontStyle({fsBold});
  columns.Add()->SetBiggestWord("WW");
  TImageList images(nullptr);
  images.SetSize(16, 16);
  TBitmap bmp;
  bmp.SetSize(16, 16);
  bmp.Canvas().Brush().SetColor(clBlue);
  bmp.Canvas().FillRect(Rect(0, 0, 16, 16));
  images.Add(bmp);
  const int32_t col1 = Width("CONSTRUCTOR ", {fsBold});
  const int32_t col2 = col1 + Width("WW ");
  const int32_t a = Width("a");
  struct Case {
    const char* Name;
    std::string In;
    TProposalColumns* Columns;
    TImageList* Images;
    std::vector<TPiece> Want;
    int32_t End;
  };
  const Case cases[] = {
      // x in column 0 (bold), b in column 1 (plain), c past the last column, d after c.
      {"columns",
       "x\\COLUMN{}b\\COLUMN{}c\\COLUMN{}d",
       &columns,
       &images,
       {{"x", {fsBold}}, {"b", {}, clBlack, col1}, {"c", {}, clBlack, col2}, {"d"}},
       col2 + Width("cd")},
      {"no columns: column commands do nothing",
       "x\\COLUMN{}b",
       nullptr,
       nullptr,
       {{"xb"}},
       Width("xb")},
      {"a space",
       "a\\HSPACE{20}b",
       nullptr,
       nullptr,
       {{"a"}, {"b", {}, clBlack, a + 20}},
       a + 20 + Width("b")},
      {"a negative space",
       "a\\HSPACE{-3}b",
       nullptr,
       nullptr,
       {{"a"}, {"b", {}, clBlack, a - 3}},
       a - 3 + Width("b")},
      {"an image",
       "a\\IMAGE{0}b",
       nullptr,
       &images,
       {{"a"}, {"", {}, clBlack, -1, 0}, {"b"}},
       a + 16 + Width("b")},
      {"an image the list lacks", "a\\IMAGE{5}b", nullptr, &images, {{"ab"}}, Width("ab")},
      {"no image list", "a\\IMAGE{0}b", nullptr, nullptr, {{"ab"}}, Width("ab")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const QImage got = DrawOn([&](TCanvas& cv) {
      DrawFormattedText(cv, Rect(0, 0, 700, 24), c.In, false, c.Columns, c.Images);
    });
    EXPECT_TRUE(got == Reference(c.Want, &images));
    TCanvas m;
    EXPECT_EQ(MeasureFormattedText(m, c.In, c.Columns, c.Images), c.End);
  }
  // Painting stops once past the right edge; measuring never overflows.
  const QImage cut = DrawOn([&](TCanvas& cv) {
    DrawFormattedText(cv, Rect(0, 0, a + 1, 24), "a\\STYLE{+B}b\\HSPACE{1}c", false, nullptr,
                      nullptr);
  });
  EXPECT_TRUE(cut == Reference({{"a"}, {"b", {fsBold}}}));
  TCanvas m;
  EXPECT_EQ(MeasureFormattedText(m, "\\HSPACE{2147483647}\\HSPACE{99}x", nullptr, nullptr), MaxInt);
}

// --- the list and the proposal on a shown editor

std::string Utf8(const std::string& Sjis) { return SjisToUtf8(Sjis); }

bool WaitFor(const std::function<bool()>& Done, int Ms = test::kWaitSeconds * 1000) {
  QElapsedTimer t;
  t.start();
  while (!Done() && t.elapsed() < Ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
  return Done();
}

// An editor with a proposal bound to it; keys go where the user's keys go: to the editor.
struct TSetup {
  std::vector<std::string> Log;  // outlives the proposal, which may cancel as it goes
  std::unique_ptr<TRidEder> Owned = std::make_unique<TRidEder>(nullptr);
  TRidEder& Ed = *Owned;
  TRidCompletionProposal P{nullptr};
  TRidBaseCompletionProposalForm& F = *P.GetForm();

  TSetup(const std::string& Text, const std::vector<std::string>& Items,
         TBufferCoord Caret = {0, 0}) {
    Ed.SetBounds(20, 20, 400, 240);
    Ed.Show();
    Ed.SetFocus();
    Ed.SetText(Text);
    const int32_t last = Ed.GetLines()->Count();
    Ed.SetCaretXY(
        Caret.Line
            ? Caret
            : TBufferCoord{static_cast<int32_t>(Ed.Lines()->Get(last - 1).size()) + 1, last});
    P.AddEditor(&Ed);
    for (const std::string& i : Items) P.GetItemList()->Add(i);
    P.OnCodeCompletion = [this](TObject*, std::string& V, TShiftState, int32_t I, char E) {
      Log.push_back("complete " + V + " " + std::to_string(I) + " " + std::to_string(int(E)));
    };
    P.OnAfterCodeCompletion = [this](TObject*, const std::string& V, TShiftState, int32_t I, char) {
      Log.push_back("after " + V + " " + std::to_string(I));
    };
    P.OnCancelled = [this](TObject*) { Log.push_back("cancelled"); };
    F.OnChange = [this](TObject*, int32_t I) { Log.push_back("change " + std::to_string(I)); };
  }
  QWidget* Keys() { return Ed.ClientWidget(); }
  void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) { QTest::keyClick(Keys(), K, M); }
  void Type(const std::string& Ascii) {
    for (char c : Ascii) QTest::keyClick(Keys(), c);
  }
  // A key of a keyboard that types Text (a key without a code of its own).
  void TypeKey(const std::string& Sjis) {
    const QString text = QString::fromStdString(Utf8(Sjis));
    QKeyEvent down(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(Keys(), &down);
  }
  void Commit(const std::string& Sjis) {
    QInputMethodEvent e;
    e.setCommitString(QString::fromStdString(Utf8(Sjis)));
    QApplication::sendEvent(Keys(), &e);
  }
  void Open() { Key(Qt::Key_Space, Qt::ControlModifier); }
  bool Shown() const { return F.GetVisible(); }
  std::string Line(int32_t Line = 0) {
    return Ed.Lines()->Get(Line ? Line - 1 : Ed.GetCaretY() - 1);
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> r;
    for (int32_t i = 0; i < F.ShownCount(); ++i) r.push_back(F.ShownItem(i));
    return r;
  }
  std::string Selected() const { return F.ShownItem(F.GetPosition()); }
  void Wheel(int Delta, Qt::KeyboardModifiers M = Qt::NoModifier) {
    QWidget* w = F.ClientWidget();
    const QPointF at(10, 10);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, Delta), Qt::NoButton, M,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
  }
  void Click(int32_t Y, bool Double = false) {
    QWidget* w = F.ClientWidget();
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(10, Y));
    if (Double) QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(10, Y));
  }
};

TEST(RidCompletionProposal, CtrlSpaceOpensTheListForTheWordBeforeTheCaret) {
  TSetup s("x = pri", {"abs", "print", "printf", "private", "return"});
  EXPECT_EQ(s.P.GetShortCut(), ShortCut(VK_SPACE, {ssCtrl}));
  EXPECT_EQ(s.P.GetOptions().ToBits(), 0x684u);
  s.Open();
  ASSERT_TRUE(s.Shown());
  EXPECT_EQ(s.F.GetTypedText(), "pri");
  EXPECT_EQ(s.Rows(), (std::vector<std::string>{"print", "printf", "private"}));
  EXPECT_EQ(s.Selected(), "print");
  EXPECT_EQ(s.P.GetWordStart(), 5);
  EXPECT_EQ(s.F.GetTargetEditor(), &s.Ed);
  // The editor keeps the keyboard: the list is shown without taking it.
  EXPECT_EQ(QApplication::focusWidget(), s.Keys());
  EXPECT_TRUE(s.F.Bridge()->testAttribute(Qt::WA_ShowWithoutActivating));
  // It opens just below the caret.
  const TPoint caret = s.Ed.ClientToScreen(s.Ed.RowColumnToPixels(s.Ed.GetDisplayXY()));
  EXPECT_EQ(s.F.GetLeft(), caret.X);
  EXPECT_EQ(s.F.GetTop(), caret.Y + s.Ed.GetLineHeight());
  EXPECT_EQ(s.F.GetWidth(), 260);
  EXPECT_EQ(s.F.GetNbLinesInWindow(), 8);
}

TEST(RidCompletionProposal, TheNextLetterAfterCtrlSpaceReachesTheList) {
  TSetup s("x = pr", {"print", "private", "proc"});
  s.Open();
  ASSERT_TRUE(s.Shown());
  s.Type("i");
  EXPECT_EQ(s.F.GetTypedText(), "pri");
  EXPECT_EQ(s.Line(), "x = pri");
  EXPECT_EQ(s.Rows(), (std::vector<std::string>{"print", "private"}));
  // Closed again, the next letter reaches the editor.
  s.Key(Qt::Key_Escape);
  EXPECT_FALSE(s.Shown());
  s.Type("n");
  EXPECT_EQ(s.Line(), "x = prin");
  // A shortcut that types a character has that character swallowed, and only that one.
  s.P.SetShortCut(ShortCut(VK_SPACE, {ssShift}));
  s.Key(Qt::Key_Space, Qt::ShiftModifier);
  ASSERT_TRUE(s.Shown());
  EXPECT_EQ(s.Line(), "x = prin");
  s.Key(Qt::Key_Escape);
  s.Type("t");
  EXPECT_EQ(s.Line(), "x = print");
  // No shortcut: Ctrl+Space opens nothing.
  s.P.SetShortCut(0);
  s.Open();
  EXPECT_FALSE(s.Shown());
}

TEST(RidCompletionProposal, FiltersInTheFourComparisonModesFoldingAsciiOnly) {
  const std::string A = "\x83\x41", Mi = "\x83\x61";  // ア and ミ: trail bytes "A" and "a"
  const std::vector<std::string> items = {"print",   "Printer", "pr" + Hyo, "\x82\x90\x82\x92",
                                          "PRIVATE", "prXint",  A + "x",    Mi + "y",
                                          "p"};
  struct Case {
    TRidCompletionOptions Options;
    std::string Typed;
    std::vector<std::string> Want;
  };
  const TRidCompletionOptions ansi{scoAnsiStrings, scoLimitToMatchedText};
  const TRidCompletionOptions ordinal{scoLimitToMatchedText};
  const TRidCompletionOptions cs{scoCaseSensitive};
  const std::vector<std::string> folded = {"print", "Printer", "pr" + Hyo, "PRIVATE", "prXint"};
  const std::vector<std::string> exact = {"print", "pr" + Hyo, "prXint"};
  const Case cases[] = {
      {ansi, "pr", folded},
      {ordinal, "pr", folded},
      {ansi + cs, "pr", exact},
      {ordinal + cs, "pr", exact},
      {ansi, "PRI", {"print", "Printer", "PRIVATE"}},
      {ansi + cs, "PRI", {"PRIVATE"}},
      {ansi, "pr" + Hyo, {"pr" + Hyo}},
      // The trail bytes of ア and ミ differ only in ASCII case; the characters are not equal.
      {ansi, Mi, {Mi + "y"}},
      {ordinal, A, {A + "x"}},
      {ansi, "", items},
      {ordinal, "zz", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Typed + " " + std::to_string(c.Options.ToBits()));
    TSetup s("", items);
    s.P.SetOptions(c.Options);
    s.F.SetTypedText(c.Typed);
    EXPECT_EQ(s.Rows(), c.Want);
    EXPECT_EQ(s.F.GetPosition(), 0);
  }
  // Without limiting, the list stays whole and the first match is selected.
  TSetup s("", items);
  s.P.SetOptions({scoAnsiStrings});
  s.F.ResetShownList();
  s.F.SetTypedText("PRI");
  EXPECT_EQ(s.F.ShownCount(), static_cast<int32_t>(items.size()));
  EXPECT_EQ(s.Selected(), "print");
  s.F.SetTypedText("PRIV");
  EXPECT_EQ(s.Selected(), "PRIVATE");
  s.F.SetTypedText("zz");
  EXPECT_EQ(s.F.GetPosition(), 0);
}

TEST(RidCompletionProposal, ReportsItemIndexesWhenLimitedAndRowsOtherwise) {
  const std::vector<std::string> items = {"alpha", "beta", "betamax", "gamma"};
  {
    TSetup s("bet", items);
    s.Open();
    EXPECT_EQ(s.Rows(), (std::vector<std::string>{"beta", "betamax"}));
    EXPECT_EQ(s.F.ReportedIndex(0), 1);
    s.Key(Qt::Key_Down);
    s.Type("am");
    EXPECT_EQ(s.Log, (std::vector<std::string>{"change 2", "change 1", "change 2"}));
    s.Key(Qt::Key_Return);
    EXPECT_EQ(s.Line(), "betamax");
    EXPECT_EQ(s.Log.at(3), "complete betamax 2 0");
  }
  {
    TSetup s("bet", items);
    s.P.SetOptions(TRidCompletionOptions::FromBits(RidDefaultCompletionOptions) -
                   TRidCompletionOptions{scoLimitToMatchedText});
    s.Open();
    EXPECT_EQ(s.F.ShownCount(), 4);
    EXPECT_EQ(s.Selected(), "beta");
    EXPECT_EQ(s.F.ReportedIndex(s.F.GetPosition()), 1);
    s.Key(Qt::Key_Down);
    s.Key(Qt::Key_Down);
    EXPECT_EQ(s.Log, (std::vector<std::string>{"change 2", "change 3"}));
    s.Key(Qt::Key_Tab);
    EXPECT_EQ(s.Line(), "gamma");
  }
  {
    // The insert list, parallel to the items: with limiting through the item's index.
    TSetup s("bet", items);
    for (const std::string& i : items) s.P.GetInsertList()->Add(i + "()");
    s.P.SetOptions(s.P.GetOptions() + TRidCompletionOptions{scoUseInsertList});
    s.Open();
    s.Key(Qt::Key_Down);
    s.Key(Qt::Key_Return);
    EXPECT_EQ(s.Line(), "betamax()");
  }
}

TEST(RidCompletionProposal, KeysMoveTheSelection) {
  std::vector<std::string> items;
  for (int i = 0; i < 20; ++i)
    items.push_back("w" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  TSetup s("w", items);
  s.Open();
  ASSERT_TRUE(s.Shown());
  struct Step {
    Qt::Key Key;
    Qt::KeyboardModifiers Mods;
    int32_t Want;
    int32_t Top;  // the first row shown
  };
  const Step steps[] = {
      {Qt::Key_Down, Qt::NoModifier, 1, 0},       {Qt::Key_PageDown, Qt::NoModifier, 9, 2},
      {Qt::Key_PageDown, Qt::NoModifier, 17, 10}, {Qt::Key_PageDown, Qt::NoModifier, 19, 12},
      {Qt::Key_Down, Qt::NoModifier, 19, 12},     {Qt::Key_Up, Qt::NoModifier, 18, 12},
      {Qt::Key_Home, Qt::NoModifier, 0, 0},       {Qt::Key_End, Qt::NoModifier, 19, 12},
      {Qt::Key_PageUp, Qt::NoModifier, 11, 11},   {Qt::Key_PageUp, Qt::NoModifier, 3, 3},
      {Qt::Key_PageUp, Qt::NoModifier, 0, 0},     {Qt::Key_Down, Qt::ControlModifier, 19, 12},
      {Qt::Key_Up, Qt::ControlModifier, 0, 0},
  };
  for (const Step& st : steps) {
    s.Key(st.Key, st.Mods);
    EXPECT_EQ(s.F.GetPosition(), st.Want) << st.Key;
    EXPECT_EQ(s.F.GetScrollbar()->GetPosition(), st.Top) << st.Key;
  }
  EXPECT_EQ(s.Line(), "w");  // none of them reached the editor
  EXPECT_EQ(s.Ed.GetCaretXY(), (TBufferCoord{2, 1}));
  // The scroll bar covers the rows that do not fit.
  EXPECT_EQ(s.F.GetScrollbar()->GetMax(), 12);
  EXPECT_TRUE(s.F.GetScrollbar()->GetEnabled());
  s.Type("1");
  EXPECT_EQ(s.F.ShownCount(), 10);
  EXPECT_EQ(s.F.GetScrollbar()->GetMax(), 2);
  s.Type("5");
  EXPECT_EQ(s.F.ShownCount(), 1);
  EXPECT_FALSE(s.F.GetScrollbar()->GetEnabled());
  // Page Down with fewer rows than fit selects the last row.
  s.Key(Qt::Key_Backspace);
  s.Key(Qt::Key_Backspace);
  s.Type("0");
  s.Key(Qt::Key_Down);
  s.Key(Qt::Key_Down);
  s.Key(Qt::Key_PageDown);
  EXPECT_EQ(s.Selected(), "w09");
}

TEST(RidCompletionProposal, TheWheelMovesTheSelection) {
  std::vector<std::string> items;
  for (int i = 0; i < 30; ++i) items.push_back("v" + std::to_string(100 + i));
  TSetup s("v", items);
  s.Open();
  s.Wheel(-120);
  EXPECT_EQ(s.F.GetPosition(), 3);  // three lines a notch
  s.Wheel(-60);
  EXPECT_EQ(s.F.GetPosition(), 3);
  s.Wheel(-60);
  EXPECT_EQ(s.F.GetPosition(), 6);  // two half notches make one
  s.Wheel(120);
  EXPECT_EQ(s.F.GetPosition(), 3);  // a positive turn goes up
  s.Wheel(-120, Qt::ControlModifier);
  EXPECT_EQ(s.F.GetPosition(), 11);  // a page with Ctrl
  s.Wheel(360);
  EXPECT_EQ(s.F.GetPosition(), 2);
  s.Wheel(1200);
  EXPECT_EQ(s.F.GetPosition(), 0);
}

TEST(RidCompletionProposal, AClickSelectsARowButNeverTheTitle) {
  TSetup s("w", {"w1", "w2", "w3", "w4"});
  s.P.SetTitle("Words");
  s.Open();
  const int32_t top = s.F.TitleHeight(), rh = s.F.RowHeight();
  ASSERT_GT(top, 0);
  s.Click(top + 2 * rh + 1);
  EXPECT_EQ(s.Selected(), "w3");
  s.Click(top - 2);  // on the title
  EXPECT_EQ(s.F.GetPosition(), 2);
  s.Click(top + 6 * rh);  // below the last row
  EXPECT_EQ(s.F.GetPosition(), 2);
  s.Click(top + rh + 1, true);  // a double click accepts
  EXPECT_FALSE(s.Shown());
  EXPECT_EQ(s.Line(), "w2");
}

TEST(RidCompletionProposal, AListWithoutRowsSelectsNothing) {
  TSetup s("w", {"w1", "w2", "w3", "w4", "w5"});
  s.Open();
  s.Key(Qt::Key_End);
  EXPECT_EQ(s.F.GetPosition(), 4);
  s.Type("x");  // nothing matches "wx"
  ASSERT_TRUE(s.Shown());
  EXPECT_EQ(s.F.ShownCount(), 0);
  for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown}) {
    s.Key(k);
    EXPECT_EQ(s.F.GetPosition(), 0) << k;
    EXPECT_EQ(s.F.ReportedIndex(s.F.GetPosition()), -1);
  }
  s.Click(s.F.RowHeight() + 2);
  EXPECT_EQ(s.F.ReportedIndex(s.F.GetPosition()), -1);
  // Accepting then keeps the text and reports no item.
  s.Log.clear();
  s.Key(Qt::Key_Return);
  EXPECT_EQ(s.Line(), "wx");
  EXPECT_EQ(s.Log, (std::vector<std::string>{"complete wx -1 0", "after wx -1"}));
  EXPECT_FALSE(s.Shown());
}

TEST(RidCompletionProposal, ResizingSnapsToWholeRowsAndIsRemembered) {
  TSetup s("w", {"w1", "w2", "w3", "w4", "w5", "w6", "w7", "w8", "w9", "w10"});
  s.P.SetTitle("Words");
  s.Open();
  const int32_t frame = GetSystemMetrics(SM_CYSIZEFRAME), rh = s.F.RowHeight();
  const int32_t th = s.F.TitleHeight();
  EXPECT_EQ(s.F.GetHeight(), 8 * rh + th + 2 * frame);
  EXPECT_EQ(s.F.ClientHeight(), 8 * rh + th);
  // Drag the bottom right corner down by two rows and a half, and to the right.
  QWidget* w = s.F.Bridge();
  const QPoint from = w->mapToGlobal(QPoint(s.F.GetWidth() - 1, s.F.GetHeight() - 1));
  auto mouse = [&](QEvent::Type T, QPoint G, Qt::MouseButtons B) {
    QMouseEvent e(T, w->mapFromGlobal(G), G, T == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  B, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  const QPoint by(30, 2 * rh + rh / 2);
  mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
  mouse(QEvent::MouseMove, from + by, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, from + by, Qt::NoButton);
  // The rows that fit in the new height (frames included, as the system's sizing measures).
  const int32_t rows = (8 * rh + 2 * frame + by.y()) / rh;
  EXPECT_GE(rows, 10);
  EXPECT_EQ(s.F.GetHeight(), rows * rh + th + 2 * frame);
  EXPECT_EQ(s.F.ClientHeight(), rows * rh + th);
  EXPECT_EQ(s.F.GetNbLinesInWindow(), rows);
  EXPECT_EQ(s.F.GetWidth(), 290);
  EXPECT_FALSE(s.F.GetScrollbar()->GetEnabled());  // all ten rows fit now
  // Upwards to less than one row: one row stays.
  const QPoint bottom = w->mapToGlobal(QPoint(40, s.F.GetHeight() - 1));
  mouse(QEvent::MouseButtonPress, bottom, Qt::LeftButton);
  mouse(QEvent::MouseMove, bottom - QPoint(0, 20 * rh), Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, bottom - QPoint(0, 20 * rh), Qt::NoButton);
  EXPECT_EQ(s.F.GetNbLinesInWindow(), 1);
  EXPECT_EQ(s.F.GetHeight(), rh + th + 2 * frame);
  // Closing hands the size back to the proposal, so the next list opens as large.
  s.Key(Qt::Key_Escape);
  EXPECT_EQ(s.P.GetNbLinesInWindow(), 1);
  EXPECT_EQ(s.P.GetWidth(), 290);
  s.Open();
  EXPECT_EQ(s.F.GetHeight(), rh + th + 2 * frame);
  EXPECT_EQ(s.F.GetWidth(), 290);
}

// The edge cases of accepting and cancelling, each on its own editor.
TEST(RidCompletionProposal, AcceptsAndCancelsAsTheUserExpects) {
  const std::string De = "\x83\x66\x81\x5B\x83\x5E";  // データ: ー's trail byte is "["
  struct Case {
    const char* Name;
    std::string Text;
    TBufferCoord Caret;
    std::vector<std::string> Items;
    std::function<void(TSetup&)> Setup;
    std::function<void(TSetup&)> Act;
    std::string WantLine;
    TBufferCoord WantCaret;
    bool WantShown;
    std::string WantLog;  // the events, joined by "|"
  };
  const auto enter = [](TSetup& s) { s.Key(Qt::Key_Return); };
  const Case cases[] = {
      {"Enter completes the word before the caret",
       "x = pri",
       {8, 1},
       {"print", "private"},
       nullptr,
       enter,
       "x = print",
       {10, 1},
       false,
       "complete print 0 0|after print 0"},
      {"Tab replaces the whole word around the caret",
       "prXint",
       {3, 1},
       {"print"},
       nullptr,
       [](TSetup& s) { s.Key(Qt::Key_Tab); },
       "print",
       {6, 1},
       false,
       "complete print 0 0|after print 0"},
      {"( completes up to the caret and is typed after",
       "prXint",
       {3, 1},
       {"print"},
       nullptr,
       [](TSetup& s) { s.Type("("); },
       "print(Xint",
       {7, 1},
       false,
       "complete print 0 40|after print 0"},
      {"without end-character completion ( only closes the list",
       "prXint",
       {3, 1},
       {"print"},
       [](TSetup& s) {
         s.P.SetOptions(s.P.GetOptions() - TRidCompletionOptions{scoEndCharCompletion});
       },
       [](TSetup& s) { s.Type("("); },
       "pr(Xint",
       {4, 1},
       false,
       "complete pr 0 40|after pr 0"},
      {"a space completes and is typed",
       "pr",
       {3, 1},
       {"print"},
       nullptr,
       [](TSetup& s) { s.Type(" "); },
       "print ",
       {7, 1},
       false,
       "complete print 0 0|after print 0"},
      {"a typed letter filters and is typed",
       "pr",
       {3, 1},
       {"print", "proc"},
       nullptr,
       [](TSetup& s) {
         s.Type("o");
         EXPECT_EQ(s.Rows(), std::vector<std::string>{"proc"});
       },
       "pro",
       {4, 1},
       true,
       "change 1"},
      {"Escape cancels",
       "pr",
       {3, 1},
       {"print"},
       nullptr,
       [](TSetup& s) { s.Key(Qt::Key_Escape); },
       "pr",
       {3, 1},
       false,
       "cancelled"},
      {"Back-space with nothing typed deletes and cancels",
       "a ",
       {3, 1},
       {"print"},
       nullptr,
       [](TSetup& s) { s.Key(Qt::Key_Backspace); },
       "a",
       {2, 1},
       false,
       "cancelled"},
      {"Back-space drops a character of both",
       "x " + De,
       {9, 1},
       {De + "ベース", "データ"},
       nullptr,
       [&](TSetup& s) {
         EXPECT_EQ(s.F.GetTypedText(), De);
         s.Key(Qt::Key_Backspace);
         EXPECT_EQ(s.F.GetTypedText(), De.substr(0, 4));
       },
       "x " + De.substr(0, 4),
       {7, 1},
       true,
       "change 0"},
      {"Left drops a character, Right takes it back whole",
       "x " + De,
       {9, 1},
       {De},
       nullptr,
       [&](TSetup& s) {
         s.Key(Qt::Key_Left);
         EXPECT_EQ(s.F.GetTypedText(), De.substr(0, 4));
         EXPECT_EQ(s.Ed.GetCaretX(), 7);
         s.Key(Qt::Key_Left);
         EXPECT_EQ(s.F.GetTypedText(), De.substr(0, 2));
         s.Key(Qt::Key_Right);
         EXPECT_EQ(s.F.GetTypedText(), De.substr(0, 4));
         EXPECT_EQ(s.Ed.GetCaretX(), 7);
       },
       "x " + De,
       {7, 1},
       true,
       "change 0|change 0|change 0"},
      {"Right onto an end of token cancels",
       "ab(c",
       {3, 1},
       {"abc"},
       nullptr,
       [](TSetup& s) { s.Key(Qt::Key_Right); },
       "ab(c",
       {4, 1},
       false,
       "cancelled"},
      {"Delete deletes after the caret",
       "abXY",
       {3, 1},
       {"abc"},
       nullptr,
       [](TSetup& s) { s.Key(Qt::Key_Delete); },
       "abY",
       {3, 1},
       true,
       ""},
      {"{ closes the list and is typed",
       "ab",
       {3, 1},
       {"abc"},
       nullptr,
       [](TSetup& s) { s.Type("{"); },
       "ab{",
       {4, 1},
       false,
       "cancelled"},
      {"a half-width kana closes the list and is typed",
       "ab",
       {3, 1},
       {"abc"},
       nullptr,
       [](TSetup& s) { s.TypeKey("\xB1"); },
       "ab\xB1",
       {4, 1},
       false,
       "cancelled"},
      {"a double-byte character reaches the editor whole",
       "ab",
       {3, 1},
       {"abc"},
       nullptr,
       [](TSetup& s) { s.TypeKey(Hyo); },
       "ab" + Hyo,
       {5, 1},
       false,
       "cancelled"},
      {"an input-method result reaches the editor whole",
       "ab",
       {3, 1},
       {"abc"},
       nullptr,
       [](TSetup& s) { s.Commit(So + No); },
       "ab" + So + No,
       {7, 1},
       false,
       "cancelled"},
      {"the word before the caret walks characters",
       "x " + De,
       {9, 1},
       {De + "1", "a"},
       nullptr,
       enter,
       "x " + De + "1",
       {10, 1},
       false,
       "complete " + De + "1 0 0|after " + De + "1 0"},
      {"past the line end the word is empty",
       "ab",
       {6, 1},
       {"print"},
       [](TSetup& s) {
         s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoScrollPastEol});
         s.Ed.SetCaretXY({6, 1});
       },
       [](TSetup& s) {
         EXPECT_EQ(s.F.GetTypedText(), "");
         EXPECT_TRUE(s.P.GetCaretBeyondLine());
         EXPECT_EQ(s.P.GetWordStart(), 6);
         s.Key(Qt::Key_Return);
       },
       "ab   print",
       {11, 1},
       false,
       "complete print 0 0|after print 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TSetup s(c.Text, c.Items, c.Caret);
    if (c.Setup) c.Setup(s);
    s.Open();
    ASSERT_TRUE(s.Shown());
    s.Log.clear();
    c.Act(s);
    EXPECT_EQ(s.Line(1), c.WantLine);
    EXPECT_EQ(s.Ed.GetCaretXY(), c.WantCaret);
    EXPECT_EQ(s.Shown(), c.WantShown);
    std::string log;
    for (const std::string& l : s.Log) log += (log.empty() ? "" : "|") + l;
    EXPECT_EQ(log, c.WantLog);
    if (!c.WantShown) {
      EXPECT_FALSE(s.Ed.SelAvail());
    }
  }
}

TEST(RidCompletionProposal, ACompletionUndoesInOneStep) {
  TSetup s("x = pri", {"print"});
  s.Open();
  s.Key(Qt::Key_Return);
  EXPECT_EQ(s.Line(), "x = print");
  EXPECT_FALSE(s.Ed.SelAvail());
  s.Ed.Undo();
  EXPECT_EQ(s.Line(), "x = pri");
  s.Ed.Redo();
  EXPECT_EQ(s.Line(), "x = print");
}

// Typed keys before and after it undo apart from it, and it never undoes in part.
TEST(RidCompletionProposal, ACompletionUndoesWholeAndApartFromTheKeysAround) {
  TSetup s("print ", {"$foobar", "$food"});
  s.Type("$fo");
  s.Open();
  s.Key(Qt::Key_Return);
  s.Type(";");
  EXPECT_EQ(s.Line(), "print $foobar;");
  const std::pair<Qt::KeyboardModifiers, std::string> steps[] = {
      {Qt::ControlModifier, "print $foobar"},
      {Qt::ControlModifier, "print $fo"},
      {Qt::ControlModifier | Qt::ShiftModifier, "print $foobar"},
      {Qt::ControlModifier | Qt::ShiftModifier, "print $foobar;"},
  };
  for (const auto& [keys, want] : steps) {
    s.Key(Qt::Key_Z, keys);
    EXPECT_EQ(s.Line(), want);
  }
}

TEST(RidCompletionProposal, AReadOnlyEditorGetsNoCodeList) {
  TSetup s("x = pri", {"print"});
  s.Ed.SetReadOnly(true);
  s.Open();
  EXPECT_FALSE(s.Shown());
  s.P.OpenAtCaret(&s.Ed);
  EXPECT_FALSE(s.Shown());
  // An editor it does not serve gets nothing either.
  TRidEder other(nullptr);
  s.P.OpenAtCaret(&other);
  EXPECT_FALSE(s.Shown());
  // A list opened before the editor became read-only puts nothing in.
  s.Ed.SetReadOnly(false);
  s.Open();
  ASSERT_TRUE(s.Shown());
  s.Ed.SetReadOnly(true);
  s.Key(Qt::Key_Return);
  EXPECT_FALSE(s.Shown());
  EXPECT_EQ(s.Line(), "x = pri");
  EXPECT_FALSE(s.Ed.GetModified());
  EXPECT_FALSE(s.Ed.GetUndoList().CanUndo());
}

TEST(RidCompletionProposal, ADotOpensTheListAfterTheTimer) {
  TSetup s("obj", {"member", "method"});
  s.P.SetOptions(s.P.GetOptions() + TRidCompletionOptions{scoUseBuiltInTimer});
  s.P.SetTimerInterval(30);
  s.Type(".");
  EXPECT_FALSE(s.Shown());
  ASSERT_TRUE(WaitFor([&] { return s.Shown(); }));
  EXPECT_EQ(s.Line(), "obj.");
  EXPECT_EQ(s.F.ShownCount(), 2);
  s.Type("me");  // the first letter after the timer opened the list is the user's
  EXPECT_EQ(s.Line(), "obj.me");
  EXPECT_EQ(s.Rows(), (std::vector<std::string>{"member", "method"}));
  s.Key(Qt::Key_Escape);
  // Another key before the tick stops the timer.
  s.Type(".x");
  test::ProcessEventsPast(150);
  EXPECT_FALSE(s.Shown());
  // A dot typed into the open list completes, is typed, and opens the list again.
  s.Ed.SetText("x = me");
  s.Ed.SetCaretXY({7, 1});
  s.Open();
  ASSERT_TRUE(s.Shown());
  s.Type(".");
  EXPECT_EQ(s.Line(), "x = member.");
  EXPECT_TRUE(s.Shown());
  EXPECT_EQ(s.F.GetTypedText(), "");
  EXPECT_EQ(s.F.ShownCount(), 2);
}

TEST(RidCompletionProposal, OpensAboveTheLineNearTheBottomOfTheScreen) {
  TSetup s("x = pri", {"print"});
  const int32_t screenH = Screen()->GetHeight(), screenW = Screen()->GetWidth();
  s.Ed.SetBounds(screenW - 300, screenH - 60, 300, 60);
  s.Open();
  ASSERT_TRUE(s.Shown());
  const TPoint caret = s.Ed.ClientToScreen(s.Ed.RowColumnToPixels(s.Ed.GetDisplayXY()));
  EXPECT_EQ(s.F.GetTop(), caret.Y - s.F.GetHeight() - 2);
  EXPECT_LE(s.F.GetTop() + s.F.GetHeight(), caret.Y);
  EXPECT_EQ(s.F.GetLeft(), screenW - 260 - 5);
}

TEST(RidCompletionProposal, HintsFollowTheCaret) {
  TSetup s("f(", {"int a, int b"});
  s.P.SetDefaultType(ctParams);
  s.P.OpenAtCaret(&s.Ed);
  ASSERT_TRUE(s.Shown());
  EXPECT_EQ(s.F.GetDisplayType(), ctParams);
  EXPECT_FALSE(s.F.GetScrollbar()->GetVisible());
  const int32_t left = s.F.GetLeft();
  s.Type("1");  // a hint keeps no keys: they reach the editor
  EXPECT_EQ(s.Line(), "f(1");
  ASSERT_TRUE(s.Shown());
  EXPECT_EQ(s.F.GetLeft(), left + s.Ed.GetCharWidth());
  s.Key(Qt::Key_Escape);
  EXPECT_FALSE(s.Shown());
  // A plain hint closes with the next command.
  s.P.SetDefaultType(ctHint);
  s.P.OpenAtCaret(&s.Ed);
  ASSERT_TRUE(s.Shown());
  s.Key(Qt::Key_Left);
  EXPECT_FALSE(s.Shown());
  EXPECT_EQ(s.Ed.GetCaretX(), 3);
}

TEST(RidCompletionProposal, AnEditorThatGoesTakesTheListWithIt) {
  {
    TSetup s("x = pri", {"print"});
    s.Open();
    ASSERT_TRUE(s.Shown());
    s.Log.clear();
    s.Owned.reset();
    EXPECT_FALSE(s.Shown());
    EXPECT_EQ(s.F.GetTargetEditor(), nullptr);
    EXPECT_EQ(s.P.EditorsCount(), 0);
    EXPECT_EQ(s.Log, std::vector<std::string>{"cancelled"});
  }
  {
    // The timer started by a dot ticks after its editor has gone: nothing opens.
    TSetup s("obj", {"member"});
    s.P.SetOptions(s.P.GetOptions() + TRidCompletionOptions{scoUseBuiltInTimer});
    s.P.SetTimerInterval(20);
    s.Type(".");
    s.Owned.reset();
    test::ProcessEventsPast(80);
    EXPECT_FALSE(s.Shown());
    EXPECT_EQ(s.F.GetTargetEditor(), nullptr);
  }
  {
    // Removing an editor forgets it the same way.
    TSetup s("pr", {"print"});
    s.P.SetEditor(&s.Ed);
    s.Open();
    ASSERT_TRUE(s.Shown());
    s.P.SetEditor(nullptr);
    EXPECT_FALSE(s.Shown());
    EXPECT_EQ(s.F.GetTargetEditor(), nullptr);
    EXPECT_EQ(s.P.EditorsCount(), 0);
    s.Open();
    EXPECT_FALSE(s.Shown());
  }
}

// The keys typed while a list's character is being handed to the editor wait their turn.
TEST(RidCompletionProposal, TypingIntoTheListRunsNoOtherInput) {
  TSetup s("pr", {"print", "proc"});
  s.Open();
  QApplication::postEvent(s.Keys(),
                          new QKeyEvent(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c"));
  QTest::keyClick(s.Keys(), 'o');
  EXPECT_EQ(s.Line(), "pro");
  EXPECT_EQ(s.F.GetTypedText(), "pro");
  QApplication::processEvents();
  EXPECT_EQ(s.Line(), "proc");
  EXPECT_EQ(s.F.GetTypedText(), "proc");
}

TEST(RidCompletionProposal, ClickingElsewhereClosesTheList) {
  TSetup s("x = pri", {"print"});
  s.Open();
  ASSERT_TRUE(s.Shown());
  QTest::mouseClick(s.Keys(), Qt::LeftButton, {}, QPoint(5, 5));
  QApplication::processEvents();
  EXPECT_FALSE(s.Shown());
  s.Type("n");  // where the click put the caret
  EXPECT_EQ(s.Line(), "nx = pri");
}

TEST(RidCompletionProposal, PaintsTheTitleAndTheSelectedRow) {
  TSetup s("w", {"w1", "w2", "w3"});
  s.P.SetTitle("Words");
  s.Open();
  s.Key(Qt::Key_Down);
  s.F.Update();
  const QImage pic = s.F.Picture();
  const int32_t th = s.F.TitleHeight(), rh = s.F.RowHeight();
  auto at = [&](int X, int Y) { return pic.pixel(X, Y) & 0xFFFFFF; };
  EXPECT_EQ(at(1, 2), Rgb(clBtnFace));
  EXPECT_EQ(at(1, th - 1), Rgb(clBtnShadow));
  EXPECT_EQ(at(1, th + rh / 2), Rgb(clWindow));
  EXPECT_EQ(at(1, th + rh + rh / 2), Rgb(clHighlight));
  EXPECT_EQ(at(1, th + 3 * rh + 2), Rgb(clWindow));
  int ink = 0;
  for (int x = 2; x < 60; ++x)
    for (int y = th + rh; y < th + 2 * rh; ++y) ink += at(x, y) != Rgb(clHighlight);
  EXPECT_GT(ink, 5);
}

}  // namespace
}  // namespace rid
