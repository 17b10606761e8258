// The editor control with the Perl highlighter: stored ranges and painted pictures.
#include <gtest/gtest.h>

#include <QImage>
#include <random>

#include "editor/RidEder.h"
#include "highlighters/RidHighlighterPerl.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

const char* const ScriptUtf8 =
    "#!/usr/bin/perl\n"
    "# 日本語のコメント：表示の確認\n"
    "use strict;\n"
    "my $msg = \"こんにちは、世界\";  # 挨拶\n"
    "print <<\"END\";\n"
    "ヒアドキュメントの中　全角空白\n"
    "END\n"
    "my @list = map { $_ * 2 } (1 .. 10);\n"
    "=pod\n"
    "説明の段落はここに書きます。長い行は折り返して表示されることを確かめるための文章です。\n"
    "=cut\n"
    "sub greet { my ($name) = @_; return \"やあ、$name さん\"; }\n"
    "print greet('太郎'), \"\\n\";\n";

std::string Script() { return Utf8ToSjis(ScriptUtf8); }

void ExpectRangesOfFreshScan(TRidEder& Ed, const std::string& Where) {
  TRidPerlRid fresh(nullptr);
  fresh.ResetRange();
  for (int32_t i = 0; i < Ed.Lines()->GetCount(); ++i) {
    std::string s = Ed.Lines()->Get(i);
    fresh.SetLine(s, i);
    fresh.NextToEol();
    ASSERT_EQ(Ed.GetLines()->GetRange(i), fresh.GetRange()) << Where << " line " << i;
  }
}

TEST(RidEderPerl, StoredRangesEqualAFreshScanAfterRandomEdits) {
  TRidEder ed(nullptr);
  TRidPerlRid perl(nullptr);
  ed.SetText(Script());
  ed.SetHighlighter(&perl);
  ExpectRangesOfFreshScan(ed, "attached");
  const std::string pieces[] = {
      "=pod", "=cut", "print <<EOT;",      "EOT", "my $s = \"open", "close\";", "# c", "q{",
      "}",    "",     Utf8ToSjis("表\\示")};
  std::mt19937 rng(11);
  for (int step = 0; step < 400; ++step) {
    TStrings* lines = ed.Lines();
    const int n = lines->GetCount();
    const int i = n ? static_cast<int>(rng() % n) : 0;
    const std::string& p = pieces[rng() % std::size(pieces)];
    switch (rng() % 5) {
      case 0:
        lines->Insert(i, p);
        break;
      case 1:
        if (n > 1) lines->Delete(i);
        break;
      case 2:
        ed.SetCaretXY({1, i + 1});
        ed.SetSelText(p + "\r\n");
        break;
      default:
        if (n)
          lines->Put(i, p + lines->Get(i));
        else
          lines->Add(p);
    }
    ExpectRangesOfFreshScan(ed, "step " + std::to_string(step));
    if (HasFatalFailure()) return;
  }
  ed.SetHighlighter(nullptr);
}

struct TPerlEder {
  TRidPerlRid Perl{nullptr};
  TRidEder Ed{nullptr};
  explicit TPerlEder(int W, int H) {
    Perl.GetDefaultAttribute(0)->SetForeground(clGreen);   // comments
    Perl.GetDefaultAttribute(2)->SetForeground(clNavy);    // keywords
    Perl.GetDefaultAttribute(3)->SetForeground(clMaroon);  // strings
    Ed.SetBounds(0, 0, W, H);
    Ed.GetGutter().SetShowLineNumbers(true);
    Ed.SetText(Script());
    Ed.SetHighlighter(&Perl);
    Ed.Show();
  }
  ~TPerlEder() { Ed.SetHighlighter(nullptr); }
  QImage Paint(const char* Name) {
    Ed.Invalidate();
    Ed.Update();
    QImage img = Ed.Picture();
    img.save(QString::fromStdString((test::ArtifactDir() / Name).string()));
    return img;
  }
};

int CountNear(const QImage& Img, const QRect& R, QColor Want) {
  int n = 0;
  const QRect r = R.intersected(Img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      QColor c(Img.pixel(x, y));
      n += std::abs(c.red() - Want.red()) + std::abs(c.green() - Want.green()) +
               std::abs(c.blue() - Want.blue()) <=
           90;
    }
  return n;
}

TEST(RidEderPerl, PaintsCommentsKeywordsAndStringsInTheirColours) {
  TPerlEder p(640, 320);
  const QImage img = p.Paint("rideder-perl.png");
  const int lh = p.Ed.GetLineHeight(), cw = p.Ed.GetCharWidth();
  auto row = [&](int line, int c1, int c2) {
    return QRect(p.Ed.ColumnToXValue(c1), (line - 1) * lh, (c2 - c1 + 1) * cw, lh);
  };
  EXPECT_GT(CountNear(img, row(2, 1, 20), QColor(0, 128, 0)), 10);   // the comment line
  EXPECT_GT(CountNear(img, row(3, 1, 3), QColor(0, 0, 128)), 5);     // "use"
  EXPECT_GT(CountNear(img, row(4, 11, 26), QColor(128, 0, 0)), 10);  // the string
  EXPECT_EQ(CountNear(img, row(3, 1, 3), QColor(0, 128, 0)), 0);
}

TEST(RidEderPerl, ScreenshotsOfWrappedAndSelectedText) {
  TPerlEder p(360, 420);
  p.Ed.SetWordWrap(true);
  p.Ed.SetActiveLineColor(TColor(0xE0FFFF));
  p.Ed.SetCaretXY({1, 4});
  p.Ed.SetBlockBegin({5, 4});
  p.Ed.SetBlockEnd({9, 6});
  p.Ed.SetOptions(p.Ed.GetOptions() + TRidEderorOptions{eoShowSpecialChars});
  const QImage img = p.Paint("rideder-perl-wrapped.png");
  EXPECT_GT(p.Ed.DisplayLineCount(), p.Ed.Lines()->GetCount());
  QColor hl(ColorToRGB(clHighlight) & 0xFF, (ColorToRGB(clHighlight) >> 8) & 0xFF,
            (ColorToRGB(clHighlight) >> 16) & 0xFF);
  const int selected = CountNear(img, QRect(p.Ed.GetGutterWidth(), 0, 360, 420), hl);
  EXPECT_GT(selected, 100);
  p.Ed.SetSelectionMode(smColumn);
  p.Ed.SetWordWrap(false);
  p.Ed.SetBlockBegin({3, 2});
  p.Ed.SetBlockEnd({12, 7});
  const QImage col = p.Paint("rideder-perl-column.png");
  const int cw = p.Ed.GetCharWidth(), lh = p.Ed.GetLineHeight();
  for (int line = 3; line <= 6; ++line) {
    auto cell = [&](int c) {
      return QRect(p.Ed.ColumnToXValue(c) + 1, (line - 1) * lh + 1, cw - 2, lh - 2);
    };
    EXPECT_EQ(CountNear(col, cell(1), hl), 0) << line;
    EXPECT_GT(CountNear(col, cell(4), hl), 0) << line;
    EXPECT_EQ(CountNear(col, cell(14), hl), 0) << line;
  }
}

// Brackets the highlighter shows as string or comment text do not count; the token lookup
// reports what covers a position.
TEST(RidEderPerl, BracketsInStringsAndCommentsAreSkipped) {
  struct Case {
    const char* Name;
    const char* Utf8;
    TBufferCoord From, Want;
  };
  // clang-format off
  const Case cases[] = {
      {"a closing bracket in a string", "if ($x eq \")\") { f(1); }", {4, 1}, {14, 1}},
      {"and back over it", "if ($x eq \")\") { f(1); }", {14, 1}, {4, 1}},
      {"a brace in a comment", "sub f {  # }\n  return 1;\n}", {7, 1}, {1, 3}},
      {"a bracket in single quotes", "my @a = ('[', 2);  # 括弧（[）", {9, 1}, {16, 1}},
      {"a square bracket after Japanese text", "my $s = \"日本\"; $a[1]", {19, 1}, {21, 1}},
      {"no partner outside the string", "print \"(\";", {8, 1}, {0, 0}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TRidEder ed(nullptr);
    TRidPerlRid perl(nullptr);
    ed.SetText(Utf8ToSjis(c.Utf8));
    ed.SetHighlighter(&perl);
    EXPECT_EQ(ed.GetMatchingBracketEx(c.From), c.Want);
    ed.SetHighlighter(nullptr);
  }
  TRidEder ed(nullptr);
  TRidPerlRid perl(nullptr);
  ed.SetText("# note\r\nprint 'a(b';");
  std::string token;
  TRidHighlighterAttributes* attri = nullptr;
  int32_t kind = 0, start = 0;
  EXPECT_FALSE(ed.GetHighlighterAttriAtRowCol({2, 1}, token, attri));  // no highlighter
  ed.SetHighlighter(&perl);
  ASSERT_TRUE(ed.GetHighlighterAttriAtRowColEx({9, 2}, token, kind, start, attri));
  EXPECT_EQ(token, "'a(b'");
  EXPECT_EQ(start, 7);
  EXPECT_EQ(attri, perl.GetDefaultAttribute(3));
  ASSERT_TRUE(ed.GetHighlighterAttriAtRowCol({3, 1}, token, attri));
  EXPECT_EQ(attri, perl.GetDefaultAttribute(0));
  EXPECT_FALSE(ed.GetHighlighterAttriAtRowCol({20, 2}, token, attri));
  ed.SetHighlighter(nullptr);
}

}  // namespace
}  // namespace rid
