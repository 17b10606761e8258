#include "output/RidEderExport.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"
#include "tests/output/FakeHighlighter.h"

namespace rid {
namespace {

using test::TRidFakeRid;

// Writes the hook calls as marks: [F..] before the first attribute, [D..] done, [I..] init,
// [L] after the last, "/" a new line; k = background changed, f = foreground changed, then the
// styles BIUS. A double-byte character is <lead trail>, a lead byte alone <lead>.
class TRecordingExporter : public TRidCustomExporter {
 public:
  explicit TRecordingExporter(TComponent* AOwner) : TRidCustomExporter(AOwner) {
    SetReplacement('\\', "\\\\");
    SetReplacement('<', "&lt;");
  }

 protected:
  void FormatAttributeDone(bool Bg, bool Fg, TFontStyles S) override { Mark('D', Bg, Fg, S); }
  void FormatAttributeInit(bool Bg, bool Fg, TFontStyles S) override { Mark('I', Bg, Fg, S); }
  void FormatAfterLastAttribute() override { AddData("[L]"); }
  void FormatBeforeFirstAttribute(bool Bg, bool Fg, TFontStyles S) override {
    Mark('F', Bg, Fg, S);
  }
  void FormatNewLine() override { AddData("/"); }
  std::string GetFooter() override { return "$"; }
  std::string GetHeader() override { return "^"; }
  void ReplaceMBCS(uint8_t Lead, uint8_t Trail, std::string& Out) override {
    Out += FormatStr("<%02x%02x>", Lead, Trail);
  }
  void ReplaceLeadByteAlone(uint8_t Lead, std::string& Out) override {
    Out += FormatStr("<%02x>", Lead);
  }

 private:
  void Mark(char Kind, bool Bg, bool Fg, TFontStyles S) {
    std::string m = {'[', Kind};
    if (Bg) m += 'k';
    if (Fg) m += 'f';
    const char* letters = "BIUS";
    for (int i = 0; i < 4; ++i)
      if (S.Contains(static_cast<TFontStyle>(i))) m += letters[i];
    AddData(m + "]");
  }
};

struct TRangeCase {
  const char* Name;
  std::vector<std::string> Lines;
  TPoint Start, Stop;  // Start.X 0: the whole text
  bool UseBackground;
  std::string Expected;  // empty: the export aborts
};

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

const TRangeCase kRangeCases[] = {
    {"middle of one line", {"abcdefgh"}, {3, 1}, {6, 1}, false, "^[Ff]cde/[L]$"},
    {"runs of other looks",
     {"ab 12", "#x"},
     {0, 0},
     {0, 0},
     false,
     "^[Ff]ab[Df][If] [Df][IfB]12/[DfB][If]#x/[L]$"},
    {"stop past the end is clipped", {"ab", "cd"}, {1, 1}, {50, 9}, false, "^[Ff]ab/cd/[L]$"},
    {"one-line range inside tokens", {"ab cd"}, {2, 1}, {4, 1}, false, "^[Ff]b[Df][If] /[L]$"},
    {"start column on the first line only", {"abc", "def"}, {3, 1}, {2, 2}, false, "^[Ff]c/d/[L]$"},
    {"start before the first line is (1, 1)", {"ab"}, {5, 0}, {2, 1}, false, "^[Ff]a/[L]$"},
    {"start at a negative line", {"ab"}, {1, -3}, {kMax, kMax}, false, "^[Ff]ab/[L]$"},
    {"equal looks make no format calls", {"ab+cd"}, {0, 0}, {0, 0}, false, "^[Ff]ab+cd/[L]$"},
    {"token ending in a lead byte",
     {"+\x95"
      "A"},
     {0, 0},
     {0, 0},
     false,
     "^[Ff]+<95>A/[L]$"},
    {"pair with a table byte as trail is whole",
     {"\x95\\\\"},
     {0, 0},
     {0, 0},
     false,
     "^[Ff]<955c>\\\\/[L]$"},
    {"lead byte before a byte that is no trail",
     {"\x95<b>"},
     {0, 0},
     {0, 0},
     false,
     "^[Ff]<95>&lt;b>/[L]$"},
    {"null attribute is the font colour",
     {"#x", "a"},
     {0, 0},
     {0, 0},
     false,
     "^[Ff]#x/[Df][If]a/[L]$"},
    {"background only with UseBackground",
     {"ab 1"},
     {0, 0},
     {0, 0},
     true,
     "^[Ff]ab[Df][If] [Dkf][IkfB]1/[L]$"},
    {"empty lines in a range", {"a", "", "b"}, {0, 0}, {0, 0}, false, "^[Ff]a//b/[L]$"},
    {"no lines", {}, {0, 0}, {0, 0}, false, "^$"},
    {"one empty line", {""}, {0, 0}, {0, 0}, false, "^$"},
    {"empty range", {"ab"}, {2, 1}, {2, 1}, false, ""},
    {"start after stop", {"ab"}, {1, 1}, {1, 0}, false, ""},
    {"start line after the text", {"ab"}, {1, 2}, {1, 3}, false, ""},
    {"empty range of no lines", {}, {1, 1}, {1, 1}, false, ""},
};

TEST(RidCustomExporter, ExportsRangesTokenByToken) {
  TRidFakeRid h(nullptr);
  for (const TRangeCase& c : kRangeCases) {
    SCOPED_TRACE(c.Name);
    TRecordingExporter e(nullptr);
    e.SetHighlighter(&h);
    e.SetUseBackground(c.UseBackground);
    TStringList lines;
    for (const std::string& l : c.Lines) lines.Add(l);
    // A document exported before must not survive an aborted export.
    TStringList previous;
    previous.Add("old");
    e.ExportAll(&previous);
    const bool all = c.Start.X == 0;
    if (c.Expected.empty()) {
      EXPECT_THROW(e.ExportRange(&lines, c.Start, c.Stop), EAbort);
      EXPECT_EQ(e.GetBuffer(), "");
      continue;
    }
    if (all)
      e.ExportAll(&lines);
    else
      e.ExportRange(&lines, c.Start, c.Stop);
    EXPECT_EQ(test::Printable(e.GetBuffer()), test::Printable(c.Expected));
    EXPECT_EQ(e.GetBufferSize(), static_cast<int32_t>(c.Expected.size()));
  }
}

TEST(RidCustomExporter, AbortsWithoutLinesOrHighlighterAndNeverSavesAStaleDocument) {
  TRidFakeRid h(nullptr);
  TRecordingExporter e(nullptr);
  TStringList lines;
  lines.Add("ab");
  EXPECT_THROW(e.ExportAll(&lines), EAbort);  // no highlighter
  e.SetHighlighter(&h);
  EXPECT_THROW(e.ExportAll(nullptr), EAbort);
  e.ExportAll(&lines);
  ASSERT_EQ(e.GetBuffer(), "^[Ff]ab/[L]$");

  test::TempDir dir;
  const auto file = dir / "out.txt";
  e.SaveToFile(file.string());
  EXPECT_EQ(test::ReadFileBytes(file), "^[Ff]ab/[L]$");
  EXPECT_THROW(e.ExportRange(&lines, {3, 1}, {3, 1}), EAbort);
  e.SaveToFile(file.string());
  EXPECT_EQ(test::ReadFileBytes(file), "");
  EXPECT_THROW(e.SaveToFile((dir / "no" / "such" / "folder").string()), Exception);
}

TEST(RidCustomExporter, ForgetsAFreedHighlighterAndTakesItsWhitespaceBackground) {
  TRecordingExporter e(nullptr);
  auto h = std::make_unique<TRidFakeRid>(nullptr);
  e.SetHighlighter(h.get());
  EXPECT_EQ(e.GetColor(), clWindow);
  e.SetUseBackground(true);
  EXPECT_EQ(e.GetColor(), clSilver);
  h.reset();
  EXPECT_EQ(e.GetHighlighter(), nullptr);
  e.SetTitle("");
  EXPECT_EQ(e.GetTitle(), "Untitled");
}

TEST(RidCustomExporter, PlainTextStandInExportsEachLineAsOneTokenWithoutAttribute) {
  TRidPlainTextHighlighter plain(nullptr);
  TRecordingExporter e(nullptr);
  e.SetHighlighter(&plain);
  TStringList lines;
  lines.Add("a b<c");
  lines.Add("");
  lines.Add("\x82\xa0");
  e.ExportAll(&lines);
  EXPECT_EQ(test::Printable(e.GetBuffer()), test::Printable("^[Ff]a b&lt;c//<82a0>/[L]$"));
}

}  // namespace
}  // namespace rid
