#include "editor/RidEder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPaintEngine>
#include <functional>
#include <random>

#include "editor/RidEderSearch.h"
#include "platform/Forms.h"
#include "platform/Imm.h"
#include "platform/Locale.h"
#include "platform/WidgetBridge.h"
#include "tests/FileFaults.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

// Whether 1-based column Col of S is the second byte of a double-byte character: a lead byte
// followed by a trail byte, walking from the line start.
bool OnTrail(const std::string& S, int32_t Col) {
  const int32_t n = static_cast<int32_t>(S.size());
  int32_t i = 1;
  while (i < Col && i <= n)
    i += IsDBCSLeadByte(S[i - 1]) && i < n && IsDBCSTrailByte(static_cast<uint8_t>(S[i])) ? 2 : 1;
  return i > Col && Col <= n;
}

// A small language: words are keywords (red), digits numbers (blue), the rest symbols; the
// range is the depth of open braces, so an edit can change the ranges of following lines.
// Stuck mode returns empty tokens forever.
class TTestHighlighter : public TRidCustomHighlighter {
 public:
  explicit TTestHighlighter(TComponent* AOwner) : TRidCustomHighlighter(AOwner) {
    FKey = AddAttribute(std::make_unique<TRidHighlighterAttributes>("Key"));
    FKey->SetForeground(clRed);
    FNum = AddAttribute(std::make_unique<TRidHighlighterAttributes>("Number"));
    FNum->SetForeground(clBlue);
    FSpace = AddAttribute(std::make_unique<TRidHighlighterAttributes>("Space"));
    FSym = AddAttribute(std::make_unique<TRidHighlighterAttributes>("Symbol"));
  }
  TRidHighlighterAttributes* GetDefaultAttribute(int32_t Index) const override {
    return Index == 4 ? FSpace : Index == 2 ? FKey : nullptr;
  }
  bool GetEol() const override { return !Stuck && FRun >= FLine.size() && FTokLen == 0; }
  std::string GetToken() const override { return std::string(GetTokenView()); }
  std::string_view GetTokenView() const override { return FLine.substr(FPos, FTokLen); }
  TRidHighlighterAttributes* GetTokenAttribute() const override { return FAttr; }
  int32_t GetTokenKind() const override { return 0; }
  int32_t GetTokenPos() const override { return static_cast<int32_t>(FPos); }
  TRidRange GetRange() const override { return FDepth; }
  void SetRange(TRidRange Value) override { FDepth = Value; }
  void ResetRange() override { FDepth = 0; }
  bool KeepsLineState() const override { return !NoState; }
  void SetLine(std::string_view NewValue, int32_t) override {
    ++LinesSet;
    FLine = NewValue;
    if (StopAt && FLine.find(StopAt) != std::string_view::npos)
      FLine = FLine.substr(0, FLine.find(StopAt));
    FRun = 0;
    FTokLen = 0;
    Next();
  }
  void Next() override {
    if (Stuck) return;
    FPos = FRun;
    if (FRun >= FLine.size()) {
      FTokLen = 0;
      return;
    }
    auto kind = [](char c) {
      if (std::isalpha(static_cast<unsigned char>(c))) return 1;
      if (std::isdigit(static_cast<unsigned char>(c))) return 2;
      if (c == ' ' || c == '\t') return 3;
      return 0;
    };
    int k = kind(FLine[FRun]);
    size_t e = FRun + (IsDBCSLeadByte(FLine[FRun]) && FRun + 1 < FLine.size() ? 2 : 1);
    if (k != 0)
      while (e < FLine.size() && kind(FLine[e]) == k) ++e;
    for (size_t i = FRun; i < e && !NoState; ++i) {
      if (FLine[i] == '{') ++FDepth;
      if (FLine[i] == '}' && FDepth > 0) --FDepth;
    }
    FAttr = k == 1 ? FKey : k == 2 ? FNum : k == 3 ? FSpace : FSym;
    FTokLen = e - FRun;
    FRun = e;
  }
  bool Stuck = false;
  char StopAt = 0;       // the line ends here for the highlighter, as if it gave up
  bool NoState = false;  // braces are not counted: nothing is carried from line to line
  int LinesSet = 0;
  TRidHighlighterAttributes *FKey, *FNum, *FSpace, *FSym;

 private:
  std::string_view FLine;
  size_t FRun = 0, FPos = 0, FTokLen = 0;
  TRidRange FDepth = 0;
  TRidHighlighterAttributes* FAttr = nullptr;
};

// An editor with a window of a known size.
struct TShownEder {
  TRidEder Ed{nullptr};
  explicit TShownEder(int W = 400, int H = 240) {
    Ed.SetBounds(0, 0, W, H);
    Ed.Show();
    Ed.Update();
  }
  QImage Paint() {
    Ed.Invalidate();
    Ed.Update();
    return Ed.Picture();
  }
};

uint32_t Rgb(TColor C) {
  C = ColorToRGB(C);
  return (uint32_t(GetRValue(C)) << 16) | (uint32_t(GetGValue(C)) << 8) | GetBValue(C);
}

// Pixels of about colour C (glyph edges are smoothed, so text pixels are rarely exact).
int CountColour(const QImage& Img, const QRect& R, TColor C) {
  int n = 0;
  QRect r = R.intersected(Img.rect());
  const QColor want(Rgb(C));
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      QColor c(Img.pixel(x, y));
      n += std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
               std::abs(c.blue() - want.blue()) <=
           90;
    }
  return n;
}

// Pixels tinted green like the blank marks (text in black and grey has no tint).
int CountGreenTint(const QImage& Img, const QRect& R) {
  int n = 0;
  QRect r = R.intersected(Img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      QColor c(Img.pixel(x, y));
      n += c.green() - c.red() >= 40 && c.green() - c.blue() >= 40;
    }
  return n;
}

// --- construction and properties

TEST(RidEder, HasItsDefaultsAfterConstruction) {
  TRidEder ed(nullptr);
  EXPECT_EQ(ed.GetOptions().ToBits(), 0x026C0192u);
  EXPECT_EQ(ed.Font().GetName(), "Courier New");
  EXPECT_EQ(ed.Font().GetSize(), 10);
  EXPECT_EQ(ed.GetTabWidth(), 8);
  EXPECT_EQ(ed.GetRightEdge(), 80);
  EXPECT_EQ(ed.GetRightEdgeColor(), clSilver);
  EXPECT_EQ(ed.GetGutterWidth(), 30);
  EXPECT_EQ(ed.GetRawBlockBegin(), BufferCoord(1, 1));
  EXPECT_EQ(ed.GetRawBlockEnd(), BufferCoord(1, 1));
  EXPECT_EQ(ed.GetCaretXY(), BufferCoord(1, 1));
  EXPECT_FALSE(ed.GetUndoList().CanUndo());
  EXPECT_FALSE(ed.GetRedoList().CanUndo());
  EXPECT_EQ(ed.GetActiveLineColor(), clNone);
  EXPECT_EQ(ed.GetMaxScrollWidth(), 1024);
  EXPECT_TRUE(ed.GetInsertMode());
  EXPECT_EQ(ed.GetInsertCaret(), ctVerticalLine);
  EXPECT_EQ(ed.GetOverwriteCaret(), ctBlock);
  EXPECT_EQ(ed.GetWidth(), 200);
  EXPECT_EQ(ed.GetHeight(), 150);
  EXPECT_EQ(ed.GetCursor(), crIBeam);
  EXPECT_GT(ed.GetCharWidth(), 0);
  EXPECT_GT(ed.GetLineHeight(), 0);
  EXPECT_TRUE(ed.GetWantReturns());
  EXPECT_FALSE(ed.GetWantTabs());
  EXPECT_FALSE(ed.GetWordWrap());
  EXPECT_GT(ed.GetKeystrokes().GetCount(), 0);
  EXPECT_FALSE(ed.GetScrollTimer().GetEnabled());
  EXPECT_EQ(ed.GetScrollTimer().GetInterval(), 100u);
  EXPECT_EQ(ed.Font().GetCharset(), 1);
  EXPECT_EQ(ed.GetColor(), clWindow);
  EXPECT_EQ(ed.GetMaxUndo(), 1024);
  EXPECT_EQ(ed.GetScrollBarsStyle(), ssBoth);
  EXPECT_EQ(ed.GetBorderStyle(), bsSingle);
  EXPECT_EQ(ed.GetSelectionMode(), smNormal);
  EXPECT_EQ(ed.GetActiveSelectionMode(), smNormal);
  EXPECT_EQ(ed.GetScrollHintColor(), clInfoBk);
  EXPECT_EQ(ed.GetScrollHintFormat(), shfTopLineOnly);
  EXPECT_EQ(ed.GetSelectedColor().GetBackground(), clHighlight);
  EXPECT_EQ(ed.GetSelectedColor().GetForeground(), clHighlightText);
  EXPECT_EQ(ed.GetExtraLineSpacing(), 0);
  EXPECT_EQ(ed.GetTopLine(), 1);
  EXPECT_EQ(ed.GetLeftChar(), 1);
  EXPECT_EQ(ed.GetHighlighter(), nullptr);
  EXPECT_EQ(ed.GetSearchEngine(), nullptr);
  EXPECT_FALSE(ed.GetShowEndMarks());
  EXPECT_FALSE(ed.GetHideSelection());
  EXPECT_FALSE(ed.GetReadOnly());
  EXPECT_FALSE(ed.GetModified());
  EXPECT_FALSE(ed.GetAlwaysShowCaret());
  EXPECT_EQ(ed.GetLines()->GetCount(), 0);
}

TEST(RidEder, NestedPaintLocksReportStatusOnceAtTheOutermostUnlock) {
  TShownEder s;
  s.Ed.GetLines()->SetTextStr("abc\r\ndef\r\nghi");
  std::vector<uint32_t> seen;
  s.Ed.OnStatusChange = [&](TObject*, TRidStatusChanges c) { seen.push_back(c.ToBits()); };
  s.Ed.IncPaintLock();
  s.Ed.IncPaintLock();
  s.Ed.SetCaretXY({2, 2});
  s.Ed.DecPaintLock();
  EXPECT_TRUE(seen.empty());
  s.Ed.SetBlockEnd({3, 3});
  s.Ed.DecPaintLock();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], 2u | 4u | 128u);
  EXPECT_THROW(s.Ed.DecPaintLock(), EAssertionFailed);
}

TEST(RidEder, EachSetterReportsOnceWithItsBit) {
  TShownEder s;
  s.Ed.GetLines()->SetTextStr("one\r\ntwo");
  std::vector<uint32_t> seen;
  s.Ed.OnStatusChange = [&](TObject*, TRidStatusChanges c) { seen.push_back(c.ToBits()); };
  auto expectOnce = [&](auto op, uint32_t bits, const char* what) {
    seen.clear();
    op();
    ASSERT_EQ(seen.size(), 1u) << what;
    EXPECT_EQ(seen[0], bits) << what;
  };
  expectOnce([&] { s.Ed.SetInsertMode(false); }, 32, "insert mode");
  expectOnce([&] { s.Ed.SetReadOnly(true); }, 256, "read-only");
  expectOnce([&] { s.Ed.SetModified(true); }, 64, "modified");
  expectOnce([&] { s.Ed.SetCaretXY({3, 2}); }, 2 | 4 | 128, "caret");
  expectOnce([&] { s.Ed.SetSelectionMode(smColumn); }, 128, "selection mode");
  expectOnce([&] { s.Ed.SelectAll(); }, 2 | 128, "select all");
  // A value already held changes nothing and reports nothing.
  seen.clear();
  s.Ed.SetInsertMode(false);
  s.Ed.SetReadOnly(true);
  EXPECT_TRUE(seen.empty());
}

// Setters that repaint part of the control ask for just that part.
TEST(RidEder, SettersRepaintOnlyWhatTheyChange) {
  struct TRecordingEder : TRidEder {
    using TRidEder::TRidEder;
    std::vector<TRect> Rects;
    void InvalidateRect(const TRect& R, bool Erase) override {
      Rects.push_back(R);
      TRidEder::InvalidateRect(R, Erase);
    }
  } ed(nullptr);
  ed.SetBounds(0, 0, 400, 240);
  ed.Show();
  ed.Update();
  ed.GetLines()->SetTextStr("one\r\ntwo\r\nthree\r\nfour");
  const int lh = ed.GetLineHeight();
  ed.SetCaretXY({1, 3});
  ed.Rects.clear();
  ed.SetActiveLineColor(clYellow);
  ASSERT_EQ(ed.Rects.size(), 1u);
  EXPECT_EQ(ed.Rects[0].Top, 2 * lh);
  EXPECT_EQ(ed.Rects[0].Bottom, 3 * lh);
  EXPECT_GE(ed.Rects[0].Left, ed.GetGutterWidth());

  ed.SetRightEdge(20);
  ed.Rects.clear();
  ed.SetRightEdgeColor(clRed);
  ASSERT_EQ(ed.Rects.size(), 1u);
  const int32_t edge = 20 * ed.GetCharWidth() + ed.GetTextOffset();
  EXPECT_LE(ed.Rects[0].Left, edge);
  EXPECT_GT(ed.Rects[0].Right, edge);
  EXPECT_LE(ed.Rects[0].Right - ed.Rects[0].Left, 2);
  EXPECT_EQ(ed.Rects[0].Bottom, ed.ClientHeight());

  ed.SetBlockBegin({1, 2});
  ed.SetBlockEnd({2, 2});
  ed.Rects.clear();
  ed.SetHideSelection(true);
  ASSERT_FALSE(ed.Rects.empty());
  for (const TRect& r : ed.Rects) {
    EXPECT_EQ(r.Top, lh);
    EXPECT_EQ(r.Bottom, 2 * lh);
  }
  ed.Rects.clear();
  ed.SetHideSelection(true);
  ed.SetActiveLineColor(clYellow);
  ed.SetRightEdgeColor(clRed);
  EXPECT_TRUE(ed.Rects.empty());
}

TEST(RidEder, SettersTakeEffectAtOnce) {
  TShownEder s;
  s.Ed.SetTabWidth(0);
  EXPECT_EQ(s.Ed.GetTabWidth(), 1);
  s.Ed.SetTabWidth(1000);
  EXPECT_EQ(s.Ed.GetTabWidth(), 256);
  EXPECT_EQ(s.Ed.GetLines()->GetTabWidth(), 256) << s.Ed.GetTabWidth();
  s.Ed.SetTabWidth(4);
  s.Ed.GetLines()->SetTextStr("\tx");
  EXPECT_EQ(s.Ed.BufferToDisplayPos({2, 1}).Column, 5);

  s.Ed.GetUndoList().AddChange(urInsert, {1, 1}, {2, 1}, "", smNormal);
  s.Ed.SetMaxUndo(-1);
  EXPECT_EQ(s.Ed.GetMaxUndo(), 1024);
  s.Ed.SetMaxUndo(0);
  EXPECT_EQ(s.Ed.GetMaxUndo(), 0);
  EXPECT_FALSE(s.Ed.GetUndoList().CanUndo());

  s.Ed.SetMaxScrollWidth(0);
  EXPECT_EQ(s.Ed.GetMaxScrollWidth(), 1);
  s.Ed.SetMaxScrollWidth(MaxInt);
  EXPECT_EQ(s.Ed.GetMaxScrollWidth(), MaxInt - 1);

  int32_t h = s.Ed.GetLineHeight();
  s.Ed.SetExtraLineSpacing(3);
  EXPECT_EQ(s.Ed.GetLineHeight(), h + 3);

  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoDropFiles});
  EXPECT_TRUE(s.Ed.GetAcceptFiles());

  // Without eoScrollPastEol the caret is pulled back to the line end at once.
  s.Ed.GetLines()->SetTextStr("abc");
  s.Ed.SetCaretXY({50, 1});
  EXPECT_EQ(s.Ed.GetCaretX(), 50);
  s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoScrollPastEol});
  EXPECT_EQ(s.Ed.GetCaretX(), 4);

  s.Ed.GetGutter().SetShowLineNumbers(true);
  EXPECT_GT(s.Ed.GetGutterWidth(), 0);
  EXPECT_EQ(s.Ed.GetTextOffset(), s.Ed.GetGutterWidth() + 2);
}

TEST(RidEder, ProportionalFontsAreReplacedByFixedPitchOnes) {
  RID_NEED_FONT("DejaVu Sans", "fonts-dejavu-core");
  RID_NEED_FONT("DejaVu Sans Mono", "fonts-dejavu-core");
  TShownEder s;
  s.Ed.GetGutter().SetShowLineNumbers(true);
  s.Ed.GetGutter().SetUseFontStyle(false);  // numbers in the text's font
  s.Ed.SetText("1\r\n2\r\n3");
  const int32_t gutter = s.Ed.GetGutterWidth();
  TFont prop;
  prop.SetName("DejaVu Sans");
  prop.SetSize(20);
  prop.SetColor(clMaroon);
  prop.SetStyle({fsBold});
  s.Ed.SetFont(prop);
  EXPECT_EQ(s.Ed.Font().GetPitch(), fpFixed);
  EXPECT_EQ(s.Ed.Font().GetName(), "DejaVu Sans");
  EXPECT_EQ(s.Ed.Font().GetSize(), 20);
  EXPECT_EQ(s.Ed.Font().GetColor(), clMaroon);
  EXPECT_EQ(s.Ed.Font().GetStyle(), TFontStyles{fsBold});
  // The gutter's numbers are measured again in the larger font.
  EXPECT_GT(s.Ed.GetGutterWidth(), gutter);

  TFont mono;
  mono.SetName("DejaVu Sans Mono");
  mono.SetSize(9);
  s.Ed.SetFont(mono);
  EXPECT_EQ(s.Ed.Font().GetName(), "DejaVu Sans Mono");
  EXPECT_EQ(s.Ed.Font().GetPitch(), fpDefault);
  EXPECT_EQ(s.Ed.Font().GetSize(), 9);
  EXPECT_LT(s.Ed.GetGutterWidth(), gutter + 1);
}

TEST(RidEder, ScrollBarsSetterShowsAndHidesTheBarsAtOnce) {
  TShownEder s;
  std::string text;
  for (int i = 0; i < 100; ++i) text += std::string(200, 'x') + "\r\n";
  s.Ed.SetText(text);
  EXPECT_TRUE(s.Ed.ScrollBarVisible(SB_HORZ));
  EXPECT_TRUE(s.Ed.ScrollBarVisible(SB_VERT));
  s.Ed.SetScrollBars(ssVertical);
  EXPECT_FALSE(s.Ed.ScrollBarVisible(SB_HORZ));
  EXPECT_TRUE(s.Ed.ScrollBarVisible(SB_VERT));
  s.Ed.SetScrollBars(ssHorizontal);
  EXPECT_TRUE(s.Ed.ScrollBarVisible(SB_HORZ));
  EXPECT_FALSE(s.Ed.ScrollBarVisible(SB_VERT));
  const int32_t lines = s.Ed.GetLinesInWindow();
  s.Ed.SetScrollBars(ssNone);
  EXPECT_FALSE(s.Ed.ScrollBarVisible(SB_HORZ));
  EXPECT_FALSE(s.Ed.ScrollBarVisible(SB_VERT));
  EXPECT_GE(s.Ed.GetLinesInWindow(), lines);  // the room of the bar goes to the text
  s.Ed.SetScrollBars(ssBoth);
  EXPECT_TRUE(s.Ed.ScrollBarVisible(SB_HORZ));
  // Word wrap has no horizontal bar whatever the setting.
  s.Ed.SetWordWrap(true);
  EXPECT_FALSE(s.Ed.ScrollBarVisible(SB_HORZ));
  EXPECT_TRUE(s.Ed.ScrollBarVisible(SB_VERT));
}

// Showing or hiding a bar changes the text's room; however narrow the window, the bars settle:
// a bar is hidden only when the text fits the room it leaves, and a further update changes
// nothing. Each row runs in a child, so that a control that never settles (and overflows its
// stack) fails its row alone.
TEST(RidEder, ScrollBarsSettleInANarrowWindow) {
  for (bool wrap : {true, false}) {
    for (int width : {1, 8, 20, 30, 40, 44, 46, 48, 50, 52, 54, 56, 60, 64, 72, 80}) {
      SCOPED_TRACE(testing::Message() << width << " px" << (wrap ? ", wrapped" : ""));
      const std::string result = test::MessageInChild([&] {
        TShownEder s(width, 120);
        s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoHideShowScrollbars});
        s.Ed.SetWordWrap(wrap);
        s.Ed.SetText(std::string(24, 'x') + "\r\nabcdefghijklmnopqrstuvwxyz\r\n\x93\xfa\x96\x7b");
        const bool shown[] = {s.Ed.ScrollBarVisible(SB_HORZ), s.Ed.ScrollBarVisible(SB_VERT)};
        if (!shown[1] && s.Ed.VerticalScrollMax() > s.Ed.GetLinesInWindow())
          throw Exception("the vertical bar is hidden while rows lie below the view");
        if (!shown[0] && !wrap && s.Ed.HorizontalScrollMax() > s.Ed.GetCharsInWindow())
          throw Exception("the horizontal bar is hidden while columns lie beyond the view");
        s.Ed.UpdateScrollBars();
        if (s.Ed.ScrollBarVisible(SB_HORZ) != shown[0] ||
            s.Ed.ScrollBarVisible(SB_VERT) != shown[1])
          throw Exception("the bars changed again");
      });
      EXPECT_EQ(result, "(no exception)");
    }
  }
}

// The arrows are disabled only when the view cannot move that way; with eoScrollPastEof the
// rows past the end count, so a text that just fits can still scroll down.
TEST(RidEder, ScrollArrowsFollowWhereTheViewCanMove) {
  TShownEder s;
  const int32_t rows = s.Ed.GetLinesInWindow();
  ASSERT_GT(rows, 2);
  std::string text;
  for (int i = 0; i < rows; ++i) text += "x\r\n";
  text += "x";  // rows + 1 lines: one more than fits
  s.Ed.SetText(text);
  auto o = s.Ed.GetOptions() + TRidEderorOptions{eoDisableScrollArrows};
  s.Ed.SetOptions(o);
  EXPECT_TRUE(s.Ed.ScrollBarEnabled(SB_VERT));
  s.Ed.Perform(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(s.Ed.GetTopLine(), 2);

  s.Ed.Lines()->Delete(s.Ed.Lines()->GetCount() - 1);  // now the text just fits
  s.Ed.SetTopLine(1);
  EXPECT_FALSE(s.Ed.ScrollBarEnabled(SB_VERT));
  s.Ed.Perform(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(s.Ed.GetTopLine(), 1);

  s.Ed.SetOptions(o + TRidEderorOptions{eoScrollPastEof});
  EXPECT_TRUE(s.Ed.ScrollBarEnabled(SB_VERT));
  s.Ed.Perform(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(s.Ed.GetTopLine(), 2);
  s.Ed.SetTopLine(s.Ed.DisplayLineCount());
  EXPECT_EQ(s.Ed.GetTopLine(), rows);

  // Horizontally the same: a line that fits disables both arrows unless eoScrollPastEol.
  s.Ed.SetOptions(o - TRidEderorOptions{eoScrollPastEol});
  s.Ed.SetText("short");
  EXPECT_FALSE(s.Ed.ScrollBarEnabled(SB_HORZ));
  s.Ed.SetText(std::string(s.Ed.GetCharsInWindow() + 5, 'y'));
  EXPECT_TRUE(s.Ed.ScrollBarEnabled(SB_HORZ));
  s.Ed.Perform(WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(s.Ed.GetLeftChar(), 2);

  // Without eoDisableScrollArrows a text that fits still greys its bar out.
  s.Ed.SetOptions(o - TRidEderorOptions{eoDisableScrollArrows, eoScrollPastEof});
  s.Ed.SetText("a\r\nb");
  EXPECT_FALSE(s.Ed.ScrollBarEnabled(SB_VERT));
}

std::string Trimmed(std::string S) {
  while (!S.empty() && static_cast<uint8_t>(S.back()) <= ' ') S.pop_back();
  return S;
}

TEST(RidEder, DesignedTextFollowsTheNameWhileItStillShowsIt) {
  TRidEder ed(nullptr);
  ed.SetName("RidEder1");
  EXPECT_EQ(ed.GetText(), "");  // not designing
  ed.SetDesigning(true);
  ed.SetText("RidEder1 \r\n");
  ed.SetName("Source");
  EXPECT_EQ(Trimmed(ed.GetText()), "Source");
  ed.SetText("my text");
  ed.SetName("Other");
  EXPECT_EQ(Trimmed(ed.GetText()), "my text");
  ed.SetText("Other");
  ed.BeginLoading();
  ed.SetName("Loaded");
  EXPECT_EQ(Trimmed(ed.GetText()), "Other");
}

TEST(RidEder, IndentationHelpers) {
  TRidEder ed(nullptr);
  EXPECT_EQ(ed.LeftSpacesEx("\t x", true), 9);
  EXPECT_EQ(ed.LeftSpacesEx("\t x", false), 2);
  ed.SetTabWidth(4);
  ed.SetOptions(ed.GetOptions() - TRidEderorOptions{eoTabsToSpaces});
  EXPECT_EQ(ed.GetLeftSpacing(10, true), "\t\t  ");
  ed.SetOptions(ed.GetOptions() - TRidEderorOptions{eoAutoIndent});
  EXPECT_EQ(ed.LeftSpacesEx("\t x", true), 0);
  EXPECT_EQ(ed.GetLeftSpacing(10, true), "\t\t  ");
  ed.SetOptions(ed.GetOptions() + TRidEderorOptions{eoTabsToSpaces});
  EXPECT_EQ(ed.GetLeftSpacing(10, true), std::string(10, ' '));
  EXPECT_EQ(TrimTrailingSpaces("a b \t "), "a b");
  EXPECT_TRUE(StringIsBlank(" \t"));
  EXPECT_FALSE(StringIsBlank(" x"));
}

// --- caret and selection

TEST(RidEder, SelectionEndsNeverRestOnTrailBytesInAnyMode) {
  TShownEder s;
  // Trail bytes that look like ASCII: 5C '\', 40 '@', 7C '|'.
  const std::string lines[] = {"a\x95\x5c\x83\x40z", "\x83\x7c\x82\xa0\tb", "", "xyz\x88\x9f"};
  s.Ed.GetLines()->SetTextStr(lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n" + lines[3]);
  for (TRidSelectionMode mode : {smNormal, smLine, smColumn}) {
    s.Ed.SetSelectionMode(mode);
    for (int32_t line = 1; line <= 4; ++line) {
      for (int32_t col = 1; col <= 9; ++col) {
        s.Ed.SetBlockBegin({1, 1});
        s.Ed.SetBlockEnd({col, line});
        TBufferCoord e = s.Ed.GetRawBlockEnd();
        EXPECT_FALSE(OnTrail(lines[e.Line - 1], e.Char)) << mode << " " << col << "," << line;
        // A display position never yields a trail byte either.
        s.Ed.SetInternalDisplayXY({col, line});
        EXPECT_FALSE(OnTrail(lines[s.Ed.GetCaretY() - 1], s.Ed.GetCaretX()));
      }
    }
  }
  // Character indexes inside a double-byte character select it whole.
  s.Ed.SetSelectionMode(smNormal);
  s.Ed.SetSelStart(2);
  EXPECT_FALSE(OnTrail(lines[0], s.Ed.GetCaretX()));
  s.Ed.SetSelLength(2);
  EXPECT_FALSE(OnTrail(lines[0], s.Ed.GetCaretX()));
  EXPECT_FALSE(OnTrail(lines[0], s.Ed.GetRawBlockEnd().Char));
}

TEST(RidEder, SelectionQueries) {
  TShownEder s;
  s.Ed.GetLines()->SetTextStr("abcdef\r\nghijkl\r\nmnopqr");
  s.Ed.SetSelectionMode(smColumn);
  s.Ed.SetBlockBegin({3, 1});
  s.Ed.SetBlockEnd({3, 3});
  EXPECT_FALSE(s.Ed.SelAvail());  // zero width
  s.Ed.SetBlockEnd({5, 3});
  EXPECT_TRUE(s.Ed.SelAvail());
  EXPECT_EQ(s.Ed.GetSelText(), "cd\r\nij\r\nop");
  EXPECT_TRUE(s.Ed.IsPointInSelection({4, 2}));
  EXPECT_FALSE(s.Ed.IsPointInSelection({5, 2}));
  s.Ed.SetSelectionMode(smNormal);
  s.Ed.SetBlockBegin({5, 3});
  s.Ed.SetBlockEnd({2, 1});
  EXPECT_EQ(s.Ed.GetBlockBegin(), BufferCoord(2, 1));
  EXPECT_EQ(s.Ed.GetSelText(), "bcdef\r\nghijkl\r\nmnop");
  s.Ed.SetSelText("X\r\nY");
  EXPECT_EQ(s.Ed.GetText(), "aX\r\nYqr");
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(2, 2));
  s.Ed.SelectAll();
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(4, 2));
  EXPECT_EQ(s.Ed.GetSelLength(), 7);
  // A selection by index going backwards.
  s.Ed.GetLines()->SetTextStr("0123456789abcdef");
  s.Ed.SetSelStart(10);
  s.Ed.SetSelLength(-2);
  EXPECT_EQ(s.Ed.GetSelStart(), 8);
  EXPECT_EQ(s.Ed.GetSelLength(), 2);
  EXPECT_EQ(s.Ed.GetCaretX(), 9);
}

TEST(RidEder, ColumnSelectionIsReplacedRowByRow) {
  TShownEder s;
  s.Ed.SetText("abcdef\r\n\x93\xfa\x96\x7bxy\r\nab");
  s.Ed.SetSelectionMode(smColumn);
  s.Ed.SetBlockBegin({2, 1});
  s.Ed.SetBlockEnd({6, 3});
  s.Ed.SetSelText("12\r\n34\r\n56\r\n78");
  // Row 2 starts inside a double-byte character: the whole character stays, and the
  // insertion goes after it.
  EXPECT_EQ(s.Ed.GetText(),
            "a12f\r\n\x93\xfa"
            "34y\r\na56\r\n 78");
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(4, 4));
  EXPECT_TRUE(s.Ed.GetUndoList().CanUndo());
}

TEST(RidEder, ClearSelectionDeletesOnlyASelection) {
  TShownEder s;
  s.Ed.SetText("abc\r\ndef");
  s.Ed.SetCaretXY({2, 1});
  s.Ed.ClearSelection();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\ndef");
  s.Ed.SetBlockBegin({2, 1});
  s.Ed.SetBlockEnd({2, 2});
  s.Ed.ClearSelection();
  EXPECT_EQ(s.Ed.GetText(), "aef");
  EXPECT_FALSE(s.Ed.SelAvail());
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(2, 1));
}

TEST(RidEder, StandardEditActionsWorkAndAreEnabledOnlyWhenTheyCan) {
  TShownEder s;
  s.Ed.SetText("abc def");
  TEditCut cut(nullptr);
  TEditCopy copy(nullptr);
  TEditPaste paste(nullptr);
  TEditDelete del(nullptr);
  TEditUndo undo(nullptr);
  TEditSelectAll all(nullptr);
  TComponent other(nullptr);
  // Without the focus the actions are left as they are.
  cut.SetEnabled(false);
  EXPECT_FALSE(s.Ed.UpdateAction(&cut));
  EXPECT_FALSE(cut.GetEnabled());
  s.Ed.SetFocus();
  QApplication::processEvents();
  // SetFocus activates the shown window, so the focus comes on every platform.
  ASSERT_TRUE(s.Ed.Focused());
  EXPECT_TRUE(s.Ed.UpdateAction(&cut));
  EXPECT_FALSE(cut.GetEnabled());  // nothing selected
  EXPECT_TRUE(s.Ed.UpdateAction(&undo));
  EXPECT_FALSE(undo.GetEnabled());
  EXPECT_TRUE(s.Ed.UpdateAction(&all));
  EXPECT_TRUE(all.GetEnabled());
  EXPECT_FALSE(s.Ed.UpdateAction(&other));

  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({4, 1});
  for (TEditAction* a : std::initializer_list<TEditAction*>{&cut, &copy, &del}) {
    s.Ed.UpdateAction(a);
    EXPECT_TRUE(a->GetEnabled()) << a->ClassName();
  }
  EXPECT_TRUE(s.Ed.ExecuteAction(&cut));
  EXPECT_EQ(s.Ed.GetText(), " def");
  s.Ed.UpdateAction(&paste);
  EXPECT_TRUE(paste.GetEnabled());
  s.Ed.UpdateAction(&undo);
  EXPECT_TRUE(undo.GetEnabled());
  EXPECT_TRUE(s.Ed.ExecuteAction(&paste));
  EXPECT_EQ(s.Ed.GetText(), "abc def");
  EXPECT_TRUE(s.Ed.ExecuteAction(&all));
  EXPECT_TRUE(s.Ed.ExecuteAction(&del));
  EXPECT_EQ(s.Ed.GetText(), "");
  EXPECT_TRUE(s.Ed.ExecuteAction(&undo));
  EXPECT_EQ(s.Ed.GetText(), "abc def");
  EXPECT_FALSE(s.Ed.ExecuteAction(&other));
}

TEST(RidEder, ScrollingFollowsTheCaret) {
  TShownEder s;
  s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoScrollPastEol});
  std::string text;
  for (int i = 1; i <= 300; ++i) text += std::string(i % 7 == 0 ? 300 : 20, 'a' + i % 26) + "\r\n";
  s.Ed.SetText(text);
  ASSERT_GT(s.Ed.GetLinesInWindow(), 3);
  s.Ed.SetCaretXY({1, 200});
  EXPECT_TRUE(s.Ed.IsCaretInView());
  EXPECT_EQ(s.Ed.GetTopLine(), 200 - s.Ed.GetLinesInWindow() + 1);
  s.Ed.SetCaretXY({1, 10});
  EXPECT_EQ(s.Ed.GetTopLine(), 10);
  s.Ed.SetCaretXY({250, 14});
  EXPECT_TRUE(s.Ed.IsCaretInView());
  EXPECT_EQ(s.Ed.GetLeftChar(), 250 - s.Ed.GetCharsInWindow() + 1);
  s.Ed.GotoLineAndCenter(150);
  EXPECT_EQ(s.Ed.GetTopLine(), 150 - (s.Ed.GetLinesInWindow() - 1) / 2);
  EXPECT_EQ(s.Ed.GetLeftChar(), 1);
  // The top line stops where the last line fills the window, unless eoScrollPastEof.
  s.Ed.SetTopLine(100000);
  EXPECT_EQ(s.Ed.GetTopLine(), s.Ed.DisplayLineCount() - s.Ed.GetLinesInWindow() + 1);
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoScrollPastEof});
  s.Ed.SetTopLine(100000);
  EXPECT_EQ(s.Ed.GetTopLine(), s.Ed.DisplayLineCount());
  // Scroll messages.
  s.Ed.Perform(WM_VSCROLL, SB_TOP);
  EXPECT_EQ(s.Ed.GetTopLine(), 1);
  s.Ed.Perform(WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(s.Ed.GetTopLine(), 1 + s.Ed.GetLinesInWindow());
  s.Ed.Perform(WM_VSCROLL, SB_LINEUP);
  EXPECT_EQ(s.Ed.GetTopLine(), s.Ed.GetLinesInWindow());
}

TEST(RidEder, VerticalThumbLandsWhereTheBarShowsOnLargeFiles) {
  TShownEder s;
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "x\r\n";
  s.Ed.SetText(text);
  for (bool pastEof : {false, true}) {
    auto o = s.Ed.GetOptions();
    s.Ed.SetOptions(pastEof ? o + TRidEderorOptions{eoScrollPastEof}
                            : o - TRidEderorOptions{eoScrollPastEof});
    for (int32_t top : {1000, 50000, 90000}) {
      s.Ed.SetTopLine(top);
      TScrollInfo si;
      si.fMask = SIF_ALL;
      ASSERT_TRUE(s.Ed.GetScrollInfo(SB_VERT, si));
      EXPECT_EQ(si.nMax, 32767);
      s.Ed.SetTrackPos(SB_VERT, si.nPos);
      s.Ed.Perform(WM_VSCROLL, SB_THUMBTRACK | (uint32_t(si.nPos) << 16));
      // Scaling rounds to a few lines; a wrong maximum would miss by up to a window.
      EXPECT_NEAR(s.Ed.GetTopLine(), top, 4) << pastEof;
      EXPECT_TRUE(s.Ed.GetIsScrolling());
      s.Ed.Perform(WM_VSCROLL, SB_ENDSCROLL);
      EXPECT_FALSE(s.Ed.GetIsScrolling());
    }
  }
}

TEST(RidEder, HugeColumnsStayWithinPixelRange) {
  TShownEder s;
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoScrollPastEol, eoAutoSizeMaxScrollWidth});
  s.Ed.SetText("abc\r\ndef");
  s.Ed.SetCaretXY({MaxInt - 10, 1});
  EXPECT_GT(s.Ed.GetLeftChar(), 1000000000);
  EXPECT_GE(s.Ed.ColumnToXValue(1), -(1 << 30));
  EXPECT_LE(s.Ed.ColumnToXValue(MaxInt), 1 << 30);
  s.Paint();  // must neither overflow nor crash
  s.Ed.SetLeftChar(MaxInt);
  s.Paint();
  s.Ed.SetLeftChar(1);
  EXPECT_EQ(s.Ed.GetTextOffset(), s.Ed.GetGutterWidth() + 2);
}

// A position inside a line's text is never clamped, however long the line; MaxScrollWidth only
// limits how far past a line's end the caret and the selection may go (eoScrollPastEol).
TEST(RidEder, PositionsInsideLongLinesAreNeverClamped) {
  struct Case {
    const char* Name;
    std::function<void(TRidEder&)> Do;
    TBufferCoord WantCaret, WantBegin, WantEnd;
    bool PastEnd = false;  // asks for a column past a line's end, where word wrap sets no limit
  };
  const TBufferCoord any{0, 0};  // not checked
  // Line 1: 3,000 bytes; line 2: "ab"; line 3: a tab and 1,999 bytes (2,006 columns at width 8).
  const std::string tabbed = "\t" + std::string(1999, 'c');
  // clang-format off
  const Case cases[] = {
      {"caret at the end of a long line", [](TRidEder& E) { E.SetCaretXY({3001, 1}); },
       {3001, 1}, {3001, 1}, {3001, 1}},
      {"caret past it stops one past the text or the width", [](TRidEder& E) { E.SetCaretXY({9000, 1}); },
       {3001, 1}, any, any, true},
      {"caret past a short line stops at the width", [](TRidEder& E) { E.SetCaretXY({2000, 2}); },
       {1025, 2}, any, any, true},
      {"the width counts the expanded length", [](TRidEder& E) { E.SetCaretXY({9000, 3}); },
       {2008, 3}, any, any, true},
      {"normal selection inside the long line", [](TRidEder& E) {
         E.SetBlockBegin({1500, 1}); E.SetBlockEnd({2999, 1}); },
       any, {1500, 1}, {2999, 1}},
      {"column selection ends keep their columns on the long line", [](TRidEder& E) {
         E.SetSelectionMode(smColumn); E.SetBlockBegin({2500, 1}); E.SetBlockEnd({2600, 1}); },
       any, {2500, 1}, {2600, 1}},
      {"column selection ends past a short line stop at the width", [](TRidEder& E) {
         E.SetSelectionMode(smColumn); E.SetBlockBegin({2500, 1}); E.SetBlockEnd({2600, 2}); },
       any, {2500, 1}, {1025, 2}, true},
      {"select all", [](TRidEder& E) { E.SelectAll(); }, {2001, 3}, {1, 1}, {2001, 3}},
      {"word at a far column", [](TRidEder& E) { E.SetWordBlock({2000, 1}); },
       {3001, 1}, {1, 1}, {3001, 1}},
      {"character index far into the line", [](TRidEder& E) { E.SetSelStart(2500); },
       {2501, 1}, {2501, 1}, {2501, 1}},
      {"selection length far into the line", [](TRidEder& E) {
         E.SetCaretXY({10, 1}); E.SetBlockBegin({10, 1}); E.SetSelLength(2000); },
       {2010, 1}, {10, 1}, {2010, 1}},
  };
  // clang-format on
  for (bool wrap : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.Name << (wrap ? " wrapped" : ""));
      TShownEder s;
      s.Ed.SetText(std::string(3000, 'a') + "\r\nab\r\n" + tabbed);
      s.Ed.SetWordWrap(wrap);
      c.Do(s.Ed);
      if (wrap && c.PastEnd) continue;
      if (c.WantCaret.Line > 0) {
        EXPECT_EQ(s.Ed.GetCaretXY(), c.WantCaret);
      }
      if (c.WantBegin.Line > 0) {
        EXPECT_EQ(s.Ed.GetBlockBegin(), c.WantBegin);
      }
      if (c.WantEnd.Line > 0) {
        EXPECT_EQ(s.Ed.GetBlockEnd(), c.WantEnd);
      }
    }
  }
}

// The horizontal range covers the longest line: the bar, the right end and a dragged thumb all
// reach the end of a 3,000-column line, which then shows its last characters.
TEST(RidEder, TheViewScrollsToTheEndOfTheLongestLine) {
  struct Case {
    const char* Name;
    TRidEderorOptions Add, Remove;
    int32_t MaxScrollWidth;
    int32_t WantMax;
    bool Grows = false;  // the range grows as the view scrolls on
  };
  const TRidEderorOptions pastEol{eoScrollPastEol}, autoSize{eoAutoSizeMaxScrollWidth};
  const Case cases[] = {
      {"past the line end", {}, {}, 1024, 3000},
      {"past the line end, a wider width", {}, {}, 4000, 4000},
      {"only to the line end", {}, pastEol, 1024, 3000},
      {"a width that grows", autoSize, {}, 1024, 3000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TShownEder s;
    s.Ed.SetOptions(s.Ed.GetOptions() + c.Add - c.Remove);
    s.Ed.SetMaxScrollWidth(c.MaxScrollWidth);
    s.Ed.SetText("short\r\n" + std::string(2997, ' ') + "XYZ\r\nshort");
    const int32_t chars = s.Ed.GetCharsInWindow();
    ASSERT_GT(chars, 10);
    EXPECT_EQ(s.Ed.HorizontalScrollMax(), c.WantMax);
    TScrollInfo si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(s.Ed.GetScrollInfo(SB_HORZ, si));
    EXPECT_EQ(si.nMax, c.WantMax);
    const int32_t last = c.WantMax - chars + 1;
    s.Ed.Perform(WM_HSCROLL, SB_RIGHT);
    EXPECT_EQ(s.Ed.GetLeftChar(), last);
    s.Ed.Perform(WM_HSCROLL, SB_LEFT);
    s.Ed.SetTrackPos(SB_HORZ, last);
    s.Ed.Perform(WM_HSCROLL, SB_THUMBTRACK | (uint32_t(last) << 16));
    EXPECT_EQ(s.Ed.GetLeftChar(), last);
    s.Ed.Perform(WM_HSCROLL, SB_LINERIGHT);
    EXPECT_EQ(s.Ed.GetLeftChar(), c.Grows ? last + 1 : last);
    // The caret at the line's end brings the end into view.
    s.Ed.Perform(WM_HSCROLL, SB_LEFT);
    s.Ed.SetCaretXY({3001, 2});
    EXPECT_TRUE(s.Ed.IsCaretInView());
    // Only "XYZ" has ink: the cells of columns 2998-3000, none in the blanks before them.
    const QImage img = s.Paint();
    const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
    const int32_t row = (2 - s.Ed.GetTopLine()) * lh;
    const QRect xyz(s.Ed.ColumnToXValue(2998), row, 3 * cw, lh);
    const QRect blanks(s.Ed.GetGutterWidth() + 2, row, xyz.left() - s.Ed.GetGutterWidth() - 2, lh);
    ASSERT_GT(xyz.left(), s.Ed.GetGutterWidth());
    ASSERT_LE(xyz.right(), s.Ed.ClientWidth());
    EXPECT_GT(xyz.width() * xyz.height() - CountColour(img, xyz, clWindow), 10);
    EXPECT_EQ(CountColour(img, blanks, clWindow), blanks.width() * blanks.height());
  }
}

// --- positions

TEST(RidEder, BufferAndDisplayPositionsConvertBothWays) {
  TShownEder s;
  s.Ed.SetTabWidth(4);
  s.Ed.SetText("\tab\r\n\x93\xfa\x96\x7b\tq\r\nplain");
  EXPECT_EQ(s.Ed.BufferToDisplayPos({2, 1}), DisplayCoord(5, 1));
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(s.Ed.DisplayToBufferPos({c, 1}), BufferCoord(1, 1));
  EXPECT_EQ(s.Ed.DisplayToBufferPos({5, 1}), BufferCoord(2, 1));
  // The second half of a double-byte character maps to the byte after it.
  EXPECT_EQ(s.Ed.DisplayToBufferPos({2, 2}), BufferCoord(3, 2));
  EXPECT_EQ(s.Ed.BufferToDisplayPos({5, 2}), DisplayCoord(5, 2));
  EXPECT_EQ(s.Ed.BufferToDisplayPos({6, 2}), DisplayCoord(9, 2));
  // Past the end every byte counts one column.
  EXPECT_EQ(s.Ed.BufferToDisplayPos({10, 3}), DisplayCoord(10, 3));
  EXPECT_EQ(s.Ed.DisplayToBufferPos({10, 3}), BufferCoord(10, 3));

  s.Ed.SetText("ab\r\nabcde\r\nx");
  EXPECT_EQ(s.Ed.RowColToCharIndex({1, 3}), 11);
  EXPECT_EQ(s.Ed.CharIndexToRowCol(11), BufferCoord(1, 3));
  EXPECT_EQ(s.Ed.CharIndexToRowCol(100), BufferCoord(1, 4));
}

TEST(RidEder, WrappedPositionsRoundTrip) {
  TShownEder s(200, 240);
  s.Ed.SetTabWidth(4);
  std::string line;
  for (int i = 0; i < 12; ++i)
    line += i % 3 == 0 ? "\x82\xa0\x82\xa2 " : i % 3 == 1 ? "word\t" : "ab ";
  std::string more;
  for (int i = 0; i < 40; ++i) more += "\r\nfiller";
  s.Ed.SetText(line + "\r\nshort\r\n" + line + more);
  s.Ed.SetWordWrap(true);
  ASSERT_TRUE(s.Ed.GetWordWrap());
  ASSERT_GT(s.Ed.DisplayLineCount(), 3);
  EXPECT_EQ(s.Ed.GetLeftChar(), 1);
  for (int32_t l = 1; l <= 3; ++l) {
    std::string text = s.Ed.GetLines()->Get(l - 1);
    for (int32_t c = 1; c <= static_cast<int32_t>(text.size()) + 1; ++c) {
      if (OnTrail(text, c)) continue;
      TDisplayCoord d = s.Ed.BufferToDisplayPos({c, l});
      EXPECT_LE(d.Column, s.Ed.GetCharsInWindow() + 1);
      TBufferCoord back = s.Ed.DisplayToBufferPos(d);
      // A column inside a tab maps back to the tab.
      if (c <= static_cast<int32_t>(text.size()) && text[c - 1] == '\t' && back.Char != c) continue;
      EXPECT_EQ(back, BufferCoord(c, l)) << c << "," << l;
    }
  }
  EXPECT_EQ(s.Ed.RowToLine(s.Ed.LineToRow(2)), 2);
  EXPECT_EQ(s.Ed.LineToRow(3), s.Ed.LineToRow(2) + 1);
  // Switching keeps the same buffer line at the top.
  s.Ed.SetTopLine(s.Ed.LineToRow(2));
  s.Ed.SetWordWrap(false);
  EXPECT_EQ(s.Ed.GetTopLine(), 2);
}

TEST(RidEder, WordsAreFoundByCharacterNeverInsideADoubleByteCharacter) {
  TShownEder s;
  // "表" is 95 5C: its trail byte looks like a backslash, a word break.
  s.Ed.SetText("foo bar_1(x)\r\n\x95\x5c\x8e\xa6 end");
  EXPECT_EQ(s.Ed.GetWordAtRowCol({6, 1}), "bar_1");
  EXPECT_EQ(s.Ed.WordStartEx({7, 1}), BufferCoord(5, 1));
  EXPECT_EQ(s.Ed.WordEndEx({5, 1}), BufferCoord(10, 1));
  EXPECT_EQ(s.Ed.GetWordAtRowCol({3, 2}), "\x95\x5c\x8e\xa6");
  EXPECT_EQ(s.Ed.WordStartEx({4, 2}), BufferCoord(1, 2));
  s.Ed.SetWordBlock({2, 2});
  EXPECT_EQ(s.Ed.GetSelText(), "\x95\x5c\x8e\xa6");
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(5, 2));
  s.Ed.SetWordBlock({40, 1});
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(13, 1));
}

TEST(RidEder, ViewChangesReportTheirBitsAndPlaceTheImeWindowAtTheCaret) {
  TShownEder s;
  std::string text;
  for (int i = 0; i < 200; ++i) text += std::string(300, 'q') + "\r\n";
  s.Ed.SetText(text);
  std::vector<uint32_t> seen;
  s.Ed.OnStatusChange = [&](TObject*, TRidStatusChanges c) { seen.push_back(c.ToBits()); };
  s.Ed.SetTopLine(20);
  s.Ed.SetLeftChar(30);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], 16u);
  EXPECT_EQ(seen[1], 8u);
  s.Ed.SetAlwaysShowCaret(true);
  s.Ed.SetCaretXY({35, 22});
  TCompositionForm cf = ImmGetContext(s.Ed.GetHandle())->CompositionWindow;
  EXPECT_EQ(cf.dwStyle, CFS_POINT);
  EXPECT_EQ(cf.ptCurrentPos.X, s.Ed.ColumnToXValue(35) - 1);
  EXPECT_EQ(cf.ptCurrentPos.Y, 2 * s.Ed.GetLineHeight() + 1);
  // Dragging the thumb shows the top line in the shared hint.
  s.Ed.SetTrackPos(SB_VERT, 50);
  s.Ed.Perform(WM_VSCROLL, SB_THUMBTRACK | (50u << 16));
  EXPECT_EQ(s.Ed.GetTopLine(), 50);
  bool found = false;
  for (int32_t i = 0; i < Application()->ComponentCount(); ++i)
    if (auto* h = dynamic_cast<THintWindow*>(Application()->Components(i)))
      found = found || h->GetCaption() == "Top Line: 50";
  EXPECT_TRUE(found);
  s.Ed.Perform(WM_VSCROLL, SB_ENDSCROLL);
}

TEST(RidEder, InvalidationsDuringABufferChangeAreCollectedAndSentAtItsEnd) {
  TShownEder s;
  s.Ed.SetText("a\r\nb\r\nc\r\nd");
  s.Ed.Update();
  ASSERT_TRUE(s.Ed.Bridge()->Pending().isEmpty());
  s.Ed.Lines()->BeginUpdate();
  s.Ed.InvalidateLine(2);
  s.Ed.InvalidateGutterLine(4);
  EXPECT_TRUE(s.Ed.Bridge()->Pending().isEmpty());
  s.Ed.Lines()->EndUpdate();
  const QRect pending = s.Ed.Bridge()->Pending().boundingRect();
  const int lh = s.Ed.GetLineHeight();
  EXPECT_LE(pending.top(), lh);
  EXPECT_GE(pending.bottom(), 4 * lh - 1);
  EXPECT_EQ(pending.left(), 0);
}

TEST(RidEder, NestedTransientPairsFireOnlyAtTheOuterLevel) {
  TShownEder s;
  std::vector<int> types;
  s.Ed.OnPaintTransient = [&](TObject*, TCanvas*, int32_t t) { types.push_back(t); };
  s.Ed.DoOnPaintTransientEx(0, true);
  s.Ed.DoOnPaintTransientEx(0, true);
  s.Ed.DoOnPaintTransientEx(1, true);
  s.Ed.DoOnPaintTransientEx(1, true);
  EXPECT_EQ(types, (std::vector<int>{0, 1}));
}

TEST(RidEder, SpecialLinesPaintTheirSelectionInTheirColoursExchanged) {
  TShownEder s(300, 100);
  s.Ed.SetText("abcdefgh\r\nabcdefgh");
  s.Ed.OnSpecialLineColors = [](TObject*, int32_t line, bool& special, TColor& fg, TColor& bg) {
    if (line != 1) return;
    special = true;
    fg = clYellow;
    bg = clGreen;
  };
  s.Ed.SetBlockBegin({3, 1});
  s.Ed.SetBlockEnd({6, 1});
  QImage img = s.Paint();
  const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
  auto cell = [&](int col, int row) {
    return QRect(s.Ed.ColumnToXValue(col) + 1, (row - 1) * lh + 1, cw - 2, lh - 2);
  };
  EXPECT_GT(CountColour(img, cell(1, 1), clGreen), 0);
  EXPECT_GT(CountColour(img, cell(4, 1), clYellow), 15);  // selected: exchanged
  EXPECT_EQ(CountColour(img, cell(4, 2), clYellow), 0);
}

TEST(RidEder, MarksFollowInsertedAndDeletedLines) {
  TRidEder ed(nullptr);
  std::vector<TRidEderMark*> m;
  for (int line : {5, 6, 9}) {
    auto mark = std::make_unique<TRidEderMark>();
    mark->SetLine(line);
    m.push_back(ed.GetMarks().Add(std::move(mark)));
  }
  ed.DoLinesDeleted(5, 3);
  EXPECT_EQ(m[0]->GetLine(), 5);
  EXPECT_EQ(m[1]->GetLine(), 5);
  EXPECT_EQ(m[2]->GetLine(), 6);
  ed.DoLinesInserted(6, 2);
  EXPECT_EQ(m[2]->GetLine(), 8);
  m[2]->SetBookmarkNumber(3);
  int32_t x = 0, y = 0;
  EXPECT_TRUE(ed.GetBookMark(3, x, y));
  EXPECT_EQ(y, 8);
  EXPECT_FALSE(ed.IsBookmark(4));
}

// --- the mouse

// Puts the mouse at client point P and lets the window choose its cursor.
Qt::CursorShape HoverAt(TRidEder& Ed, QPoint P) {
  QWidget* w = Ed.ClientWidget();
  QCursor::setPos(w->mapToGlobal(P));
  QMouseEvent e(QEvent::MouseMove, QPointF(P), w->mapToGlobal(QPointF(P)), Qt::NoButton,
                Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
  return w->cursor().shape();
}

TEST(RidEder, MouseCursorFollowsGutterSelectionAndHandlers) {
  TShownEder s;
  s.Ed.SetText("hello world\r\nsecond line");
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({6, 1});
  const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
  auto at = [&](int col, int row) {
    return QPoint(s.Ed.ColumnToXValue(col) + cw / 2, (row - 1) * lh + lh / 2);
  };
  s.Ed.GetGutter().SetCursor(crHandPoint);
  EXPECT_EQ(HoverAt(s.Ed, QPoint(2, 2)), Qt::PointingHandCursor);
  EXPECT_EQ(HoverAt(s.Ed, at(3, 1)), Qt::ArrowCursor);  // a selection that can be dragged
  EXPECT_EQ(HoverAt(s.Ed, at(8, 1)), Qt::IBeamCursor);
  EXPECT_EQ(HoverAt(s.Ed, at(3, 2)), Qt::IBeamCursor);
  s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoDragDropEditing});
  EXPECT_EQ(HoverAt(s.Ed, at(3, 1)), Qt::IBeamCursor);

  TBufferCoord seen;
  s.Ed.OnMouseCursor = [&](TObject*, const TBufferCoord& P, TCursor& C) {
    seen = P;
    C = crCross;
  };
  EXPECT_EQ(HoverAt(s.Ed, at(4, 2)), Qt::CrossCursor);
  EXPECT_EQ(seen, BufferCoord(4, 2));
  s.Ed.OnMouseCursor = nullptr;
  // A global cursor (a long operation) is left alone.
  Screen()->SetCursor(crHourGlass);
  EXPECT_EQ(HoverAt(s.Ed, at(8, 1)), Qt::WaitCursor);
  Screen()->SetCursor(crDefault);
}

TEST(RidEder, PositionOfTheMouseInsideTheClientAreaOnly) {
  TShownEder s;
  s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoScrollPastEol});
  s.Ed.SetText("ab\x93\xfa\r\n\tx");
  s.Ed.SetTabWidth(4);
  const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
  QWidget* w = s.Ed.ClientWidget();
  auto mouseAt = [&](int x, int y, TBufferCoord& p) {
    QCursor::setPos(w->mapToGlobal(QPoint(x, y)));
    return s.Ed.GetPositionOfMouse(p);
  };
  TBufferCoord p;
  ASSERT_TRUE(mouseAt(s.Ed.ColumnToXValue(2) + 1, 1, p));
  EXPECT_EQ(p, BufferCoord(2, 1));
  // The second half of a double-byte character is never a position.
  ASSERT_TRUE(mouseAt(s.Ed.ColumnToXValue(4) + 1, 1, p));
  EXPECT_EQ(p, BufferCoord(5, 1));
  // Inside a tab: the tab's byte.
  ASSERT_TRUE(mouseAt(s.Ed.ColumnToXValue(3) + 1, lh + 1, p));
  EXPECT_EQ(p, BufferCoord(1, 2));
  ASSERT_TRUE(mouseAt(s.Ed.ColumnToXValue(5) + cw / 2, lh + 1, p));
  EXPECT_EQ(p, BufferCoord(2, 2));
  p = BufferCoord(7, 7);
  EXPECT_FALSE(mouseAt(-1, 5, p));
  EXPECT_FALSE(mouseAt(5, -1, p));
  EXPECT_FALSE(mouseAt(s.Ed.ClientWidth(), 5, p));
  EXPECT_FALSE(mouseAt(5, s.Ed.ClientHeight(), p));
  EXPECT_EQ(p, BufferCoord(7, 7));
}

// --- painting

TEST(RidEder, PaintsTokensSelectionActiveLineAndGutter) {
  TShownEder s(500, 200);
  TTestHighlighter hl(nullptr);
  s.Ed.SetHighlighter(&hl);
  s.Ed.GetGutter().SetShowLineNumbers(true);
  s.Ed.SetText("word 12345\r\nother 99\r\nthird line");
  s.Ed.SetActiveLineColor(clYellow);
  s.Ed.SetCaretXY({1, 2});
  const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
  QImage img = s.Paint();
  auto cell = [&](int col, int row) {
    return QRect(s.Ed.ColumnToXValue(col), (row - 1) * lh, cw * 1, lh);
  };
  EXPECT_GT(CountColour(img, cell(1, 1).united(cell(4, 1)), clRed), 5);    // keyword
  EXPECT_GT(CountColour(img, cell(6, 1).united(cell(10, 1)), clBlue), 5);  // number
  EXPECT_EQ(CountColour(img, cell(6, 1).united(cell(10, 1)), clRed), 0);
  // The caret line is yellow, the others white.
  EXPECT_GT(CountColour(img, cell(20, 2), clYellow), cw * lh / 2);
  EXPECT_EQ(CountColour(img, cell(20, 1), clYellow), 0);
  // Line numbers sit in the gutter.
  int ink = 0;
  QRect gutter(0, 0, s.Ed.GetGutterWidth() - 3, lh * 3);
  for (int y = gutter.top(); y <= gutter.bottom(); ++y)
    for (int x = gutter.left(); x <= gutter.right(); ++x) ink += qGray(img.pixel(x, y)) < 100;
  EXPECT_GT(ink, 10);
  // A selection is painted in the selection colours, inside its columns only.
  s.Ed.SetBlockBegin({2, 3});
  s.Ed.SetBlockEnd({5, 3});
  img = s.Paint();
  EXPECT_GT(CountColour(img, cell(3, 3), clHighlight), cw * lh / 3);
  EXPECT_EQ(CountColour(img, cell(7, 3), clHighlight), 0);
  EXPECT_EQ(CountColour(img, cell(1, 3), clHighlight), 0);
  // The right edge at column 80 is out of sight; move it into view.
  s.Ed.SetRightEdge(30);
  img = s.Paint();
  EXPECT_GT(CountColour(img, QRect(30 * cw + s.Ed.GetTextOffset(), 0, 1, lh * 5), clSilver),
            lh * 3);
  s.Ed.SetHighlighter(nullptr);
}

// A paint device that records what is drawn on it: filled rectangles with their brush colour,
// lines and texts with their pen colour, images with their target rectangle.
class TRecordingDevice : public QPaintDevice {
 public:
  struct TOp {
    char Kind;  // 'F' fill, 'L' line, 'T' text, 'I' image
    QRectF R;
    QRgb Colour;
  };
  TRecordingDevice(int W, int H) : FW(W), FH(H), FEngine(this) {}
  QPaintEngine* paintEngine() const override { return &FEngine; }
  std::vector<TOp> Ops;

  // Records the control painting its whole client area on this device.
  void Record(TCustomControl& C) {
    Ops.clear();
    QPainter p(this);
    TCanvas* canvas = C.PaintCanvas();
    canvas->BeginPainter(&p, Bounds(0, 0, FW, FH));
    C.PaintWindow(*canvas);
    canvas->EndPainter();
  }
  // The colour of the last fill that covers the point.
  uint32_t FillAt(double X, double Y) const {
    for (auto it = Ops.rbegin(); it != Ops.rend(); ++it)
      if (it->Kind == 'F' && it->R.contains(X, Y)) return it->Colour & 0xFFFFFF;
    return 0xFFFFFFFF;
  }
  std::vector<TOp> Find(char Kind, TColor C) const {
    std::vector<TOp> r;
    for (const TOp& o : Ops)
      if (o.Kind == Kind && (o.Colour & 0xFFFFFF) == Rgb(C)) r.push_back(o);
    return r;
  }

 protected:
  int metric(PaintDeviceMetric M) const override {
    switch (M) {
      case PdmWidth:
        return FW;
      case PdmHeight:
        return FH;
      case PdmWidthMM:
        return FW * 254 / 960;
      case PdmHeightMM:
        return FH * 254 / 960;
      case PdmNumColors:
        return INT_MAX;
      case PdmDepth:
        return 32;
      case PdmDevicePixelRatio:
        return 1;
      case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
      default:
        return 96;
    }
  }

 private:
  class TEngine : public QPaintEngine {
   public:
    explicit TEngine(TRecordingDevice* D) : QPaintEngine(AllFeatures), FD(D) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& S) override {
      if (S.state() & DirtyPen) FPen = S.pen().color().rgb();
      if (S.state() & DirtyBrush) FBrush = S.brush().color().rgb();
    }
    void drawRects(const QRectF* R, int N) override {
      for (int i = 0; i < N; ++i) FD->Ops.push_back({'F', R[i], FBrush});
    }
    void drawRects(const QRect* R, int N) override {
      for (int i = 0; i < N; ++i) FD->Ops.push_back({'F', QRectF(R[i]), FBrush});
    }
    void drawLines(const QLineF* L, int N) override {
      for (int i = 0; i < N; ++i) FD->Ops.push_back({'L', QRectF(L[i].p1(), L[i].p2()), FPen});
    }
    void drawLines(const QLine* L, int N) override {
      for (int i = 0; i < N; ++i)
        FD->Ops.push_back({'L', QRectF(QPointF(L[i].p1()), QPointF(L[i].p2())), FPen});
    }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF& P, const QTextItem&) override {
      FD->Ops.push_back({'T', QRectF(P, QSizeF()), FPen});
    }
    void drawPixmap(const QRectF& R, const QPixmap&, const QRectF&) override {
      FD->Ops.push_back({'I', R, 0});
    }
    void drawImage(const QRectF& R, const QImage&, const QRectF&,
                   Qt::ImageConversionFlags) override {
      FD->Ops.push_back({'I', R, 0});
    }
    Type type() const override { return User; }

   private:
    TRecordingDevice* FD;
    QRgb FPen = 0, FBrush = 0;
  };
  int FW, FH;
  mutable TEngine FEngine;
};

TEST(RidEder, PaintsOnARecordingCanvas) {
  TShownEder s(500, 200);
  TTestHighlighter hl(nullptr);
  s.Ed.SetHighlighter(&hl);
  s.Ed.GetGutter().SetShowLineNumbers(true);
  s.Ed.SetText("word 12345\r\nx\ty\x81\x40z\r\nthird line \x82\xA0\x82\xA0");
  s.Ed.SetActiveLineColor(clYellow);
  s.Ed.SetCaretXY({1, 1});
  s.Ed.SetBlockBegin({2, 3});
  s.Ed.SetBlockEnd({5, 3});
  s.Ed.SetRightEdge(30);
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoShowSpecialChars});
  auto mark = std::make_unique<TRidEderMark>();
  mark->SetLine(2);
  mark->SetVisible(true);
  mark->SetImageIndex(1);
  mark->SetInternalImage(true);
  s.Ed.GetMarks().Add(std::move(mark));
  const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
  auto x = [&](int col) { return double(s.Ed.ColumnToXValue(col)); };
  TRecordingDevice dev(500, 200);
  dev.Record(s.Ed);

  // Tokens are written in their attribute colours.
  EXPECT_FALSE(dev.Find('T', clRed).empty());
  EXPECT_FALSE(dev.Find('T', clBlue).empty());
  // The active line is filled yellow up to the right side; other rows are not.
  bool activeToRight = false;
  for (const auto& o : dev.Find('F', clYellow)) {
    EXPECT_LT(o.R.top(), lh);
    activeToRight |= o.R.right() >= 500 - 1;
  }
  EXPECT_TRUE(activeToRight);
  // The selection is one piece exactly over columns 2..4 of row 3.
  const auto sel = dev.Find('F', clHighlight);
  ASSERT_FALSE(sel.empty());
  EXPECT_EQ(sel.front().R.left(), x(2));
  for (int col = 1; col <= 8; ++col)
    EXPECT_EQ(dev.FillAt(x(col) + cw / 2, 2 * lh + lh / 2),
              Rgb(col >= 2 && col <= 4 ? clHighlight : clWhite))
        << col;
  // Marks: the space and full-width-space marks, the tab mark, the line ends and the end.
  EXPECT_GE(dev.Find('T', TColor(0xBBFFBB)).size(), 3u);
  EXPECT_EQ(dev.Find('T', TColor(0x99FF99)).size(), 1u);
  EXPECT_EQ(dev.Find('T', TColor(0xFFCCCC)).size(), 3u);
  // The right edge runs at column 30 through every row and below the text.
  double edgeRows = 0;
  for (const auto& o : dev.Find('L', clSilver)) {
    EXPECT_EQ(o.R.left(), 30 * cw + s.Ed.GetTextOffset());
    edgeRows += o.R.height();
  }
  EXPECT_GE(edgeRows, 200 - 1);
  // Line numbers are written in the gutter, the bookmark image drawn on its row.
  int gutterFills = 0;
  for (const auto& o : dev.Ops)
    gutterFills += o.Kind == 'F' && o.R.right() <= s.Ed.GetGutterWidth() && o.R.height() == lh;
  EXPECT_GE(gutterFills, 3);
  bool markOnRow2 = false;
  for (const auto& o : dev.Ops) markOnRow2 |= o.Kind == 'I' && o.R.top() == lh;
  EXPECT_TRUE(markOnRow2);
  // A row whose first column is the trail byte of a double-byte character starts the
  // character one column to the left.
  s.Ed.SetHighlighter(nullptr);
  s.Ed.SetLeftChar(13);
  dev.Record(s.Ed);
  bool whole = false;
  for (const auto& o : dev.Ops)
    whole |= o.Kind == 'F' && o.R.top() == 2 * lh && o.R.left() == x(12);
  EXPECT_TRUE(whole);
  s.Ed.SetHighlighter(nullptr);
}

TEST(RidEder, ColumnSelectionPaintsOnlyItsColumns) {
  struct TCase {
    bool Highlighted;
    bool Marks;
  };
  for (TCase c : {TCase{false, false}, TCase{true, false}, TCase{true, true}}) {
    TShownEder s(400, 120);
    TTestHighlighter hl(nullptr);
    if (c.Highlighted) s.Ed.SetHighlighter(&hl);
    if (c.Marks) s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoShowSpecialChars});
    s.Ed.SetText("my abcdefghij\r\nxy abcdefghij\r\nuv abcdefghij");
    s.Ed.SetSelectionMode(smColumn);
    s.Ed.SetBlockBegin({3, 1});
    s.Ed.SetBlockEnd({7, 3});
    QImage img = s.Paint();
    const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
    for (int row = 1; row <= 3; ++row) {
      auto cell = [&](int col) {
        return QRect(s.Ed.ColumnToXValue(col) + 1, (row - 1) * lh + 1, cw - 2, lh - 2);
      };
      for (int col : {1, 2, 8, 12}) EXPECT_EQ(CountColour(img, cell(col), clHighlight), 0) << row;
      for (int col : {3, 4, 6}) EXPECT_GT(CountColour(img, cell(col), clHighlight), 0) << row;
    }
    s.Ed.SetHighlighter(nullptr);
  }
}

TEST(RidEder, DrawsDoubleByteCharactersWhole) {
  TShownEder s(300, 100);
  s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoScrollPastEol});
  s.Ed.SetText(
      "\x93\xfa\x96\x7b\x8c\xea\x93\xfa\x96\x7b\x8c\xea\x93\xfa\x96\x7b\x8c\xea"
      "\x93\xfa\x96\x7b\x8c\xea\x93\xfa\x96\x7b\x8c\xea\x93\xfa\x96\x7b\x8c\xea"
      "\x93\xfa\x96\x7b\x8c\xea\x93\xfa\x96\x7b\x8c\xea");
  const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
  // The first visible column is the second half of a character: its right half shows.
  s.Ed.SetLeftChar(2);
  QImage img = s.Paint();
  int ink = 0;
  for (int y = 0; y < lh; ++y)
    for (int x = s.Ed.GetGutterWidth() + 2; x < s.Ed.GetGutterWidth() + 2 + cw; ++x)
      ink += (img.pixel(x, y) & 0xFFFFFF) != Rgb(clWindow);
  EXPECT_GT(ink, 3);
}

TEST(RidEder, FullWidthSpaceMarkOnlyOnRealFullWidthSpaces) {
  TShownEder s(300, 100);
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoShowSpecialChars});
  const int lh = s.Ed.GetLineHeight();
  // "ａ@" holds the bytes 81 40 across its characters; only the real one gets a mark.
  s.Ed.SetText("\x82\x81\x40x\r\nx\x81\x40x");
  QImage img = s.Paint();
  const int cw = s.Ed.GetCharWidth();
  QRect row1(s.Ed.ColumnToXValue(1), 0, 4 * cw, lh);
  QRect row2(s.Ed.ColumnToXValue(1), lh, 4 * cw, lh);
  EXPECT_EQ(CountGreenTint(img, row1), 0);
  EXPECT_GT(CountGreenTint(img, row2), 3);
}

TEST(RidEder, StuckHighlighterStopsThePaintOnceAndTheWindowStaysUsable) {
  TShownEder s;
  TTestHighlighter hl(nullptr);
  s.Ed.SetText("abc def\r\nsecond line\r\nthird");
  s.Ed.SetHighlighter(&hl);
  hl.Stuck = true;
  EXPECT_NO_THROW(s.Paint());
  EXPECT_EQ(s.Ed.GetLastPaintError(), "The highlighter seems to be in an infinite loop");
  EXPECT_TRUE(s.Ed.Bridge()->Pending().isEmpty());
  EXPECT_NO_THROW(s.Paint());
  EXPECT_EQ(s.Ed.GetPaintErrorCount(), 2);
  // A range read that needs a scan reports the loop instead of hanging.
  EXPECT_THROW(s.Ed.GetLines()->GetRange(2), ERidEder);
  hl.Stuck = false;
  s.Ed.SetHighlighter(nullptr);
}

TEST(RidEder, TextAfterWhereTheHighlighterStopsIsPaintedPlain) {
  TShownEder s(400, 120);
  TTestHighlighter hl(nullptr);
  hl.StopAt = ';';
  s.Ed.SetText("abc;def 123");
  s.Ed.SetHighlighter(&hl);
  const int cw = s.Ed.GetCharWidth(), lh = s.Ed.GetLineHeight();
  auto cells = [&](int c1, int c2, int row) {
    return QRect(s.Ed.ColumnToXValue(c1), (row - 1) * lh, (c2 - c1 + 1) * cw, lh);
  };
  auto dark = [&](const QImage& img, QRect r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += qGray(img.pixel(x, y)) < 100;
    return n;
  };
  QImage img = s.Paint();
  EXPECT_GT(CountColour(img, cells(1, 3, 1), clRed), 5);
  EXPECT_GT(dark(img, cells(5, 11, 1)), 10);  // "def 123" in the font colour
  EXPECT_EQ(CountColour(img, cells(9, 11, 1), clBlue), 0);

  // Wrapped: every row after the stop shows its own part of the rest.
  s.Ed.SetBounds(0, 0, s.Ed.GetGutterWidth() + 2 + 8 * cw + 20, 120);
  s.Ed.SetText("ab;" + std::string(30, 'z'));
  s.Ed.SetWordWrap(true);
  ASSERT_GT(s.Ed.DisplayLineCount(), 2);
  img = s.Paint();
  for (int row = 1; row <= 3; ++row) EXPECT_GT(dark(img, cells(1, 6, row)), 10) << row;
  s.Ed.SetHighlighter(nullptr);
}

TEST(RidEder, WrappedGutterPaintsRowsAboveTheWindowWithOffsetZero) {
  TShownEder s(160, 120);
  s.Ed.SetText(std::string(400, 'a') + "\r\nb\r\nc");
  s.Ed.SetWordWrap(true);
  ASSERT_GT(s.Ed.LineToRow(2), 5);
  s.Ed.SetTopLine(3);
  std::vector<std::pair<int, int>> calls;
  s.Ed.OnGutterPaint = [&](TObject*, int32_t line, int32_t x, int32_t) {
    calls.emplace_back(line, x);
  };
  auto mark = std::make_unique<TRidEderMark>();
  mark->SetLine(1);
  mark->SetVisible(true);
  mark->SetImageIndex(1);
  mark->SetInternalImage(true);
  s.Ed.GetMarks().Add(std::move(mark));
  s.Paint();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].first, 1);
  EXPECT_EQ(calls[0].second, 0);
}

// --- ranges

TEST(RidEder, StoredRangesEqualAFreshScanAfterRandomEdits) {
  TRidEder ed(nullptr);
  TTestHighlighter hl(nullptr);
  ed.SetHighlighter(&hl);
  ed.SetText("a {\r\nb\r\n}\r\nc { {\r\nd }\r\ne");
  std::mt19937 rng(7);
  const char* pieces[] = {"{", "}", "x", "{ y }", "", "}}"};
  for (int step = 0; step < 300; ++step) {
    TStrings* lines = ed.Lines();
    int n = lines->GetCount();
    int i = n ? static_cast<int>(rng() % n) : 0;
    switch (rng() % 5) {
      case 0:
        lines->Insert(i, pieces[rng() % 6]);
        break;
      case 1:
        if (n > 1) lines->Delete(i);
        break;
      case 2:
        // Edits under one paint lock: a line below, then a paste above it.
        ed.BeginUpdate();
        if (n) lines->Put(n - 1, lines->Get(n - 1) + pieces[rng() % 6]);
        ed.SetCaretXY({1, i + 1});
        ed.SetSelText(std::string(pieces[rng() % 6]) + "\r\n" + pieces[rng() % 6] + "\r\n");
        ed.EndUpdate();
        break;
      default:
        if (n)
          lines->Put(i, lines->Get(i) + pieces[rng() % 6]);
        else
          lines->Add("x");
    }
    TTestHighlighter fresh(nullptr);
    fresh.ResetRange();
    for (int k = 0; k < ed.Lines()->GetCount(); ++k) {
      std::string s = ed.Lines()->Get(k);
      fresh.SetLine(s, k);
      fresh.NextToEol();
      ASSERT_EQ(ed.GetLines()->GetRange(k), fresh.GetRange()) << "step " << step << " line " << k;
    }
  }
  ed.SetHighlighter(nullptr);
}

// The ranges a fresh highlighter reaches after each line of Ed.
std::vector<TRidRange> FullScan(TRidEder& Ed, bool NoState) {
  TTestHighlighter fresh(nullptr);
  fresh.NoState = NoState;
  std::vector<TRidRange> ranges;
  for (int k = 0; k < Ed.Lines()->GetCount(); ++k) {
    fresh.SetLine(Ed.GetLines()->GetView(k), k);
    fresh.NextToEol();
    ranges.push_back(fresh.GetRange());
  }
  return ranges;
}

// A large file painted only to its first screen: opening scans no further than that screen,
// and ranges read at random lines, also below edits made above lines never scanned and after a
// replace-all and its undo, equal a full scan; with a highlighter that carries state from line
// to line and one that carries none.
TEST(RidEder, RangesReadOnDemandEqualAFullScan) {
  for (bool noState : {false, true}) {
    SCOPED_TRACE(noState ? "no line state" : "line state");
    TShownEder s;
    TTestHighlighter hl(nullptr);
    TRidEderSearch engine(nullptr);
    s.Ed.SetSearchEngine(&engine);
    TRidSearchOptions replaceAll;
    replaceAll.Include(ssoEntireScope);
    replaceAll.Include(ssoReplaceAll);
    hl.NoState = noState;
    std::mt19937 rng(11);
    const char* pieces[] = {"{", "}", "x", "{ y }", "", "}}", "{{"};
    std::string text;
    for (int i = 0; i < 6000; ++i) text += std::string("a ") + pieces[rng() % 7] + "\r\n";
    s.Ed.GetLines()->LoadFromBytes(text);
    s.Ed.SetHighlighter(&hl);
    s.Paint();
    EXPECT_LT(hl.LinesSet, 100) << "opening scans only what the first screen shows";
    std::vector<TRidRange> expected = FullScan(s.Ed, noState);
    for (int step = 0; step < 300; ++step) {
      TRidEderStringList* lines = s.Ed.GetLines();
      const int n = lines->GetCount();
      const int i = static_cast<int>(rng() % n);
      switch (rng() % 6) {
        case 0:
          lines->Insert(i, pieces[rng() % 7]);
          break;
        case 1:
          lines->Delete(i);
          break;
        case 2:
          lines->Put(i, lines->Get(i) + pieces[rng() % 7]);
          break;
        case 3:
          // Never by more of a pattern's own characters: the text stays as large.
          if (s.Ed.SearchReplace(pieces[rng() % 4], pieces[2 + rng() % 3], replaceAll) > 0 &&
              rng() % 2)
            s.Ed.Undo();
          break;
        default: {
          const int k = static_cast<int>(rng() % n);
          ASSERT_EQ(lines->GetRange(k), expected[k]) << "step " << step << " line " << k;
          continue;
        }
      }
      expected = FullScan(s.Ed, noState);
    }
    if (noState) {
      EXPECT_LT(hl.LinesSet, 1000) << "no scan needed without line state";
    }
    for (int k = s.Ed.Lines()->GetCount() - 1; k >= 0; k -= 97)
      ASSERT_EQ(s.Ed.GetLines()->GetRange(k), expected[k]) << "line " << k;
    s.Ed.SetHighlighter(nullptr);
  }
}

TEST(RidEder, ClearingTheBufferResetsView) {
  TShownEder s;
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line\r\n";
  s.Ed.SetText(text);
  s.Ed.SetCaretXY({3, 80});
  s.Ed.GetUndoList().AddChange(urInsert, {1, 1}, {2, 1}, "", smNormal);
  std::vector<uint32_t> seen;
  s.Ed.OnStatusChange = [&](TObject*, TRidStatusChanges c) { seen.push_back(c.ToBits()); };
  s.Ed.Lines()->Clear();
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(1, 1));
  EXPECT_EQ(s.Ed.GetTopLine(), 1);
  EXPECT_FALSE(s.Ed.GetUndoList().CanUndo());
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(seen[0] & 1u);
}

TEST(RidEder, TrailBytesAreTheSecondBytesOfCharactersWalkedFromTheLineStart) {
  std::mt19937 rng(8);
  // Lead bytes before bytes that can trail and before bytes that cannot (a blank, a tab, 7F, FD).
  const char bytes[] = {'a',    '\\',   'A',    '\x81', '\x83', '\x9f', '\xe0',
                        '\xfc', '\x40', '\xa6', ' ',    '\t',   '\x7f', '\xfd'};
  for (int round = 0; round < 3000; ++round) {
    std::string line;
    for (int n = rng() % 12; n > 0; --n) line += bytes[rng() % std::size(bytes)];
    for (int32_t col = 1; col <= static_cast<int32_t>(line.size()) + 1; ++col)
      ASSERT_EQ(IsTrailByteAt(line, col), OnTrail(line, col))
          << testing::PrintToString(line) << col;
  }
}

}  // namespace
}  // namespace rid
