#include "editor/RidEderWordWrap.h"

#include <gtest/gtest.h>

#include <random>

#include "editor/RidEderMiscClasses.h"
#include "editor/RidEderTextBuffer.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

// An editor stand-in: a line buffer whose change events reach the wrap engine.
class TLinesEditor : public IRidWordWrapEditor {
 public:
  TLinesEditor() {
    Lines.OnLinesInserted = TLinesChangeEvent(this, &TLinesEditor::Inserted);
    Lines.OnLinesDeleted = TLinesChangeEvent(this, &TLinesEditor::Deleted);
    Lines.OnLinesReplaced = TLinesChangeEvent(this, &TLinesEditor::Replaced);
  }
  int32_t GetLineCount() override { return Lines.GetCount(); }
  std::string GetExpandedString(int32_t Index) override { return Lines.GetExpandedString(Index); }
  int32_t GetCharsInWindow() override { return Chars; }
  TRidCharSet GetIdentChars() override { return Ident; }

  void Inserted(TObject*, int32_t Index, int32_t Count) {
    if (Wrap) Delta += Wrap->LinesInserted(Index, Count);
  }
  void Deleted(TObject*, int32_t Index, int32_t Count) {
    if (Wrap) Delta -= Wrap->LinesDeleted(Index, Count);
  }
  void Replaced(TObject*, int32_t Index, int32_t Count) {
    if (Wrap) Delta += Wrap->LinesPutted(Index, Count);
  }

  TRidEderStringList Lines;
  int32_t Chars = 80;
  TRidCharSet Ident = TRidCharSet::Range(33, 255);
  TRidWordWrapPlugin* Wrap = nullptr;
  int32_t Delta = 0;
};

std::vector<int> Rows(const std::string& Line, int32_t Chars,
                      TRidCharSet Ident = TRidCharSet::Range(33, 255)) {
  TLinesEditor ed;
  ed.Chars = Chars;
  ed.Ident = Ident;
  ed.Lines.Add(Line);
  TRidWordWrapPlugin wrap(&ed);
  return std::vector<int>(wrap.RowLengths().begin(), wrap.RowLengths().end());
}

// Row ends fall on character starts, walking the expanded line from its start (a lead byte takes
// the next byte only when that can trail).
void ExpectWholeCharacters(const std::string& Line, const std::vector<uint8_t>& RowLengths,
                           size_t First, size_t Count) {
  size_t end = 0;
  std::vector<bool> starts(Line.size() + 1, false);
  for (size_t i = 0; i < Line.size();) {
    starts[i] = true;
    const bool pair = IsDBCSLeadByte(Line[i]) && i + 1 < Line.size() &&
                      IsDBCSTrailByte(static_cast<uint8_t>(Line[i + 1]));
    i += pair ? 2 : 1;
  }
  starts[Line.size()] = true;
  for (size_t r = First; r < First + Count; ++r) {
    end += RowLengths[r];
    ASSERT_LE(end, Line.size());
    EXPECT_TRUE(starts[end]) << "row ends inside a character at " << end;
  }
  EXPECT_EQ(end, Line.size());
}

TEST(WordWrap, RowLengthLimitsFollowTheWindow) {
  TLinesEditor ed;
  ed.Lines.Add("x");
  struct {
    int chars, max, min;
  } cases[] = {{80, 80, 54}, {2, 2, 2}, {300, 255, 170}, {1, 1, 1}, {3, 3, 2}};
  for (auto c : cases) {
    ed.Chars = c.chars;
    TRidWordWrapPlugin wrap(&ed);
    EXPECT_EQ(wrap.GetMaxRowLength(), c.max) << c.chars;
    EXPECT_EQ(wrap.GetMinRowLength(), c.min) << c.chars;
  }
}

TEST(WordWrap, WrapsAtBreakBytesAndWholeCharacters) {
  const TRidCharSet letters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
  EXPECT_EQ(Rows(std::string(100, 'a'), 80, letters), (std::vector<int>{80, 20}));
  EXPECT_EQ(Rows(std::string(79, 'a') + " " + std::string(30, 'b'), 80),
            (std::vector<int>{79, 31}));
  // A double-byte character whose lead byte is the row's 80th byte moves whole.
  EXPECT_EQ(Rows(std::string(79, 'a') + "\x82\xa0" + "b", 80), (std::vector<int>{79, 3}));
  EXPECT_EQ(Rows("", 80), (std::vector<int>{0}));
  EXPECT_EQ(Rows(std::string(80, 'a'), 80), (std::vector<int>{80}));
  // A break byte only counts in the last third of the row.
  EXPECT_EQ(Rows("ab cdefgh", 6), (std::vector<int>{6, 3}));
  EXPECT_EQ(Rows("abcde fgh", 6), (std::vector<int>{5, 4}));
  // A tab expands to tab bytes, which are break bytes: the last one in reach begins the row.
  EXPECT_EQ(Rows("abcde\tx", 6), (std::vector<int>{6, 3}));
}

TEST(WordWrap, TrailBytesThatLookLikeBreakBytesDoNotSplit) {
  // 0x5C and 0x40 are break bytes here and trail bytes of ソ (83 5C) and 　 (81 40).
  const TRidCharSet ident = TRidCharSet::Range('a', 'z');
  const std::string line =
      "abcd\x83\x5c\x81\x40"
      "efgh\x83\x5c";
  for (int w = 1; w <= 12; ++w) {
    TLinesEditor ed;
    ed.Chars = w;
    ed.Ident = ident;
    ed.Lines.Add(line);
    TRidWordWrapPlugin wrap(&ed);
    ExpectWholeCharacters(line, wrap.RowLengths(), 0, wrap.RowLengths().size());
  }
}

TEST(WordWrap, OneColumnWindowTakesWholeDoubleByteCharacters) {
  EXPECT_EQ(Rows("\x82\xa0\x82\xa2"
                 "a",
                 1),
            (std::vector<int>{2, 2, 1}));
  EXPECT_EQ(Rows("a\x82\xa0", 1), (std::vector<int>{1, 2}));
  // The end of such a last row is a column of its own, not the character's second byte.
  TLinesEditor ed;
  ed.Chars = 1;
  ed.Lines.Add("a\x82\xa0");
  TRidWordWrapPlugin wrap(&ed);
  EXPECT_EQ(wrap.DisplayToBufferPos({3, 2}), BufferCoord(4, 1));
  EXPECT_EQ(wrap.DisplayToBufferPos({9, 2}), BufferCoord(4, 1));
  EXPECT_EQ(wrap.BufferToDisplayPos({4, 1}), DisplayCoord(3, 2));
}

TEST(WordWrap, TwoColumnWindowGrowsRowsBeyondTheReserve) {
  EXPECT_EQ(Rows("a\x82\xa0"
                 "b",
                 2),
            (std::vector<int>{1, 2, 1}));
  std::string many;
  for (int i = 0; i < 300; ++i) many += "a\x82\xa0";
  EXPECT_EQ(Rows(many, 2).size(), 600u);
}

TEST(WordWrap, PositionsMapBetweenBufferAndDisplay) {
  TLinesEditor ed;
  ed.Chars = 10;
  ed.Lines.Add(std::string(25, 'a'));  // rows 10, 10, 5
  ed.Lines.Add("");                    // row 4
  ed.Lines.Add("abc");                 // row 5
  TRidWordWrapPlugin wrap(&ed);
  ASSERT_EQ(wrap.RowCount(), 5);
  EXPECT_EQ(wrap.BufferToDisplayPos({1, 1}), (TDisplayCoord{1, 1}));
  EXPECT_EQ(wrap.BufferToDisplayPos({10, 1}), (TDisplayCoord{10, 1}));
  EXPECT_EQ(wrap.BufferToDisplayPos({11, 1}), (TDisplayCoord{1, 2}));
  EXPECT_EQ(wrap.BufferToDisplayPos({26, 1}), (TDisplayCoord{6, 3}));
  EXPECT_EQ(wrap.BufferToDisplayPos({30, 1}), (TDisplayCoord{10, 3}));  // past the end
  EXPECT_EQ(wrap.BufferToDisplayPos({1, 2}), (TDisplayCoord{1, 4}));
  EXPECT_EQ(wrap.BufferToDisplayPos({3, 5}), (TDisplayCoord{3, 7}));  // below the text
  EXPECT_EQ(wrap.DisplayToBufferPos({1, 2}), (TBufferCoord{11, 1}));
  EXPECT_EQ(wrap.DisplayToBufferPos({40, 1}), (TBufferCoord{11, 1}));  // row length + 1
  EXPECT_EQ(wrap.DisplayToBufferPos({40, 3}), (TBufferCoord{31, 1}));  // last row: max + 1
  EXPECT_EQ(wrap.DisplayToBufferPos({2, 5}), (TBufferCoord{2, 3}));
  EXPECT_EQ(wrap.DisplayToBufferPos({4, 8}), (TBufferCoord{4, 6}));
  for (int c = 1; c <= 25; ++c)
    EXPECT_EQ(wrap.DisplayToBufferPos(wrap.BufferToDisplayPos({c, 1})), (TBufferCoord{c, 1}));
}

TEST(WordWrap, RowLengthOutsideTheRowsIsAListError) {
  TLinesEditor ed;
  ed.Lines.Add("abc");
  TRidWordWrapPlugin wrap(&ed);
  EXPECT_EQ(wrap.GetRowLength(1), 3);
  try {
    wrap.GetRowLength(2);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(std::string(e.what()), FormatStr(SRidListIndexError, 2));
    EXPECT_EQ(SjisToUtf8(e.what()), "リストのインデックスが範囲を超えています (2)");
  }
  EXPECT_THROW(wrap.GetRowLength(0), EListError);
}

TEST(WordWrap, NeedsAnEditorAndAWidth) {
  EXPECT_THROW(TRidWordWrapPlugin(nullptr), Exception);
  TLinesEditor ed;
  ed.Chars = 0;
  ed.Lines.Add("abc");
  TRidWordWrapPlugin wrap(&ed);
  EXPECT_EQ(wrap.RowCount(), 0);
  EXPECT_EQ(wrap.LinesInserted(0, 1), 0);
  ed.Chars = 5;
  wrap.DisplayChanged();
  EXPECT_EQ(wrap.RowCount(), 1);
}

std::string RandomText(std::mt19937& Rng) {
  static const char* pieces[] = {"a",        "b",        "Z", " ",        "\t",
                                 "_",        "x1",       ".", "\x82\xa0", "\x83\x5c",
                                 "\x81\x40", "\x88\x9f", "@", "\x81 ",    "\x83"};
  std::string s;
  const int n = std::uniform_int_distribution<int>(0, 40)(Rng);
  for (int i = 0; i < n; ++i) s += pieces[Rng() % std::size(pieces)];
  return s;
}

TEST(WordWrap, IncrementalTablesEqualAFullRewrap) {
  std::mt19937 rng(8);
  for (int width : {1, 2, 3, 4, 7, 13, 80}) {
    TLinesEditor ed;
    ed.Chars = width;
    ed.Ident = TRidCharSet::Range('0', '9') + TRidCharSet::Range('A', 'Z') +
               TRidCharSet::Range('a', 'z') + TRidCharSet{'_'};
    for (int i = 0; i < 5; ++i) ed.Lines.Add(RandomText(rng));
    TRidWordWrapPlugin wrap(&ed);
    ed.Wrap = &wrap;
    for (int step = 0; step < 300; ++step) {
      const int count = ed.Lines.GetCount();
      const int before = wrap.RowCount();
      ed.Delta = 0;
      switch (rng() % 5) {
        case 0:
          ed.Lines.Insert(static_cast<int32_t>(rng() % (count + 1)), RandomText(rng));
          break;
        case 1:
          if (count > 0) ed.Lines.Delete(static_cast<int32_t>(rng() % count));
          break;
        case 2:
          if (count > 0) {
            const int at = static_cast<int32_t>(rng() % count);
            ed.Lines.DeleteLines(at, 1 + static_cast<int32_t>(rng() % 3));
          }
          break;
        case 3: {
          const int at = static_cast<int32_t>(rng() % (count + 1));
          ed.Lines.InsertLines(at, 1 + static_cast<int32_t>(rng() % 3));
          for (int i = at; i < ed.Lines.GetCount() && i < at + 3; ++i)
            ed.Lines.Put(i, RandomText(rng));
          break;
        }
        default:
          if (count > 0) ed.Lines.Put(static_cast<int32_t>(rng() % count), RandomText(rng));
      }
      ASSERT_EQ(wrap.RowCount() - before, ed.Delta) << "reported row change";
      TRidWordWrapPlugin full(&ed);
      ASSERT_EQ(wrap.GetLineCount(), full.GetLineCount());
      ASSERT_EQ(wrap.LineOffsets(), full.LineOffsets()) << "width " << width << " step " << step;
      ASSERT_EQ(wrap.RowLengths(), full.RowLengths()) << "width " << width << " step " << step;
    }
    for (int i = 0; i < ed.Lines.GetCount(); ++i) {
      const int first = i ? wrap.LineOffsets()[i - 1] : 0;
      ExpectWholeCharacters(ed.Lines.GetExpandedString(i), wrap.RowLengths(), first,
                            wrap.LineOffsets()[i] - first);
    }
    ed.Wrap = nullptr;
  }
}

// The incremental tables equal a full rewrap, the lookups agree with them in every row, and the
// blocks cover the lines without an empty one.
void ExpectSameAsFullRewrap(TLinesEditor& Ed, TRidWordWrapPlugin& Wrap, const std::string& What) {
  TRidWordWrapPlugin full(&Ed);
  ASSERT_EQ(Wrap.GetLineCount(), Ed.Lines.GetCount()) << What;
  ASSERT_EQ(Wrap.LineOffsets(), full.LineOffsets()) << What;
  ASSERT_EQ(Wrap.RowLengths(), full.RowLengths()) << What;
  ASSERT_EQ(Wrap.RowCount(), static_cast<int>(full.RowLengths().size())) << What;
  int lines = 0;
  for (int n : Wrap.BlockLineCounts()) {
    EXPECT_GT(n, 0) << What;
    lines += n;
  }
  EXPECT_EQ(lines, Ed.Lines.GetCount()) << What;
  const std::vector<int32_t> offsets = Wrap.LineOffsets();
  const std::vector<uint8_t> lengths = Wrap.RowLengths();
  for (int i = 0, row = 0; i < static_cast<int>(offsets.size()); ++i) {
    ASSERT_EQ(Wrap.BufferToDisplayPos({1, i + 1}), (TDisplayCoord{1, row + 1})) << What << i;
    for (; row < offsets[i]; ++row) {
      ASSERT_EQ(Wrap.GetRowLength(row + 1), lengths[row]) << What << " row " << row;
      ASSERT_EQ(Wrap.DisplayToBufferPos({1, row + 1}).Line, i + 1) << What << " row " << row;
    }
  }
}

TEST(WordWrap, EditsAcrossBlockBoundariesKeepTheTables) {
  std::mt19937 rng(21);
  TLinesEditor ed;
  ed.Chars = 7;
  TRidWordWrapPlugin wrap(&ed);
  ed.Wrap = &wrap;
  auto check = [&](const std::string& What, int RowsBefore) {
    EXPECT_EQ(wrap.RowCount() - RowsBefore, ed.Delta) << What << ": reported row change";
    ExpectSameAsFullRewrap(ed, wrap, What);
    ed.Delta = 0;
  };
  auto fill = [&](int At, int Count) {
    const int before = wrap.RowCount();
    ed.Lines.InsertLines(At, Count);
    for (int i = At; i < At + Count; ++i) ed.Lines.Put(i, RandomText(rng));
    check("insert " + std::to_string(Count) + " at " + std::to_string(At), before);
  };
  auto erase = [&](int At, int Count) {
    const int before = wrap.RowCount();
    ed.Lines.DeleteLines(At, Count);
    check("delete " + std::to_string(Count) + " at " + std::to_string(At), before);
  };

  // Shorter than a block, then many blocks, each line typed on its own.
  fill(0, 10);
  EXPECT_EQ(wrap.BlockLineCounts().size(), 1u);
  const int rows = wrap.RowCount();
  for (int i = 0; i < 1500; ++i)
    ed.Lines.Insert(static_cast<int32_t>(rng() % (ed.Lines.GetCount() + 1)), RandomText(rng));
  check("typed lines", rows);
  const size_t blocks = wrap.BlockLineCounts().size();
  EXPECT_GT(blocks, 3u);

  // Cuts and pastes that end inside blocks, at their edges and past several whole blocks.
  std::vector<int> counts = wrap.BlockLineCounts();
  const int edge = counts[0] + counts[1];  // the first line of the third block
  erase(edge - 1, 2);
  erase(edge - 1, 1);
  erase(0, counts[0]);
  erase(5, 700);
  fill(3, 1200);
  fill(ed.Lines.GetCount(), 600);  // at the end

  // Lines replaced over a stretch of blocks, growing and shrinking the rows.
  for (int len : {60, 0, 3}) {
    const int before = wrap.RowCount();
    ed.Wrap = nullptr;
    for (int i = 100; i < 1300; ++i) ed.Lines.Put(i, std::string(len, 'x'));
    ed.Wrap = &wrap;
    ed.Delta = wrap.LinesPutted(100, 1200);
    check("replace with " + std::to_string(len) + " bytes", before);
  }

  // A line of more rows than a block holds, and its neighbours edited.
  const int big = 200;
  {
    const int before = wrap.RowCount();
    ed.Lines.Put(big, std::string(70000, 'y'));
    check("long line", before);
  }
  fill(big, 1);
  fill(big + 2, 1);
  erase(big - 1, 1);
  erase(big + 1, 1);
  {
    const int before = wrap.RowCount();
    ed.Lines.Put(big, "short");
    check("long line shortened", before);
  }

  // Down to one line, nothing, and back.
  erase(1, ed.Lines.GetCount() - 1);
  EXPECT_EQ(wrap.BlockLineCounts().size(), 1u);
  erase(0, 1);
  EXPECT_EQ(wrap.RowCount(), 0);
  EXPECT_TRUE(wrap.BlockLineCounts().empty());
  fill(0, 3);
  fill(0, 2000);
  erase(0, ed.Lines.GetCount());
  ed.Wrap = nullptr;
}

TEST(WordWrap, AsciiLinesWithoutBreaksWrapAsFold) {
  RID_NEED_TOOL("fold", "coreutils");
  std::mt19937 rng(3);
  for (int width : {1, 2, 5, 17, 80, 255}) {
    TLinesEditor ed;
    ed.Chars = width;
    std::string input;
    for (int i = 0; i < 40; ++i) {
      std::string line;
      const int n = std::uniform_int_distribution<int>(0, 600)(rng);
      for (int k = 0; k < n; ++k) line += static_cast<char>(33 + rng() % 94);
      ed.Lines.Add(line);
      input += line + "\n";
    }
    TRidWordWrapPlugin wrap(&ed);
    std::string ours;
    int row = 0;
    for (int i = 0; i < ed.Lines.GetCount(); ++i) {
      const std::string line = ed.Lines.Get(i);
      size_t at = 0;
      for (; row < wrap.LineOffsets()[i]; ++row) {
        ours += line.substr(at, wrap.RowLengths()[row]) + "\n";
        at += wrap.RowLengths()[row];
      }
    }
    EXPECT_EQ(ours, test::RunTool("fold -b -w " + std::to_string(width), input)) << width;
  }
}

}  // namespace
}  // namespace rid
