// Replacing the selection in the three modes, the undo items it leaves, undo and redo, and the
// clipboard.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"
#include "tests/editor/EderScript.h"

namespace rid {
namespace {

// Whether 1-based column Col of S is the second byte of a double-byte character: a lead byte
// followed by a trail byte, walking from the line start.
bool OnTrail(std::string_view S, int32_t Col) {
  const int32_t n = static_cast<int32_t>(S.size());
  int32_t i = 1;
  while (i < Col && i <= n)
    i += IsDBCSLeadByte(S[i - 1]) && i < n && IsDBCSTrailByte(static_cast<uint8_t>(S[i])) ? 2 : 1;
  return i > Col && Col <= n;
}

struct TEder {
  TRidEder Ed{nullptr};
  TRidEderSearch Plain{nullptr};
  TRidEderRegexSearch Regex{nullptr};
  TEder() {
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
    Ed.SetSearchEngine(&Plain);
  }
  void Select(TRidSelectionMode Mode, TBufferCoord B, TBufferCoord E) {
    Ed.SetSelectionMode(Mode);
    Ed.SetCaretXY(E);
    Ed.SetBlockBegin(B);
    Ed.SetBlockEnd(E);
  }
  void UndoAll() {
    while (Ed.CanUndo()) Ed.Undo();
  }
  void RedoAll() {
    while (Ed.CanRedo()) Ed.Redo();
  }
};

const std::string Ni = "\x93\xfa";   // 日
const std::string Hon = "\x96\x7b";  // 本
const std::string Ka = "\x83\x4a";   // カ
const std::string Bs = "\x83\x5c";   // ソ: its trail byte is a backslash

struct EditCase {
  const char* Name;
  std::string Text;
  TRidSelectionMode Mode;
  TBufferCoord Begin, End;  // equal: no selection, the caret there
  std::string Value;
  std::string Want;
  TBufferCoord WantCaret;
};

void RunCases(const std::vector<EditCase>& Cases, TRidEderorOptions Options = {},
              bool Overwrite = false) {
  for (const EditCase& c : Cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    if (Options != TRidEderorOptions{}) s.Ed.SetOptions(Options);
    s.Ed.SetTabWidth(4);
    s.Ed.SetInsertMode(!Overwrite);
    s.Ed.SetText(c.Text);
    if (c.Begin == c.End) {
      s.Ed.SetSelectionMode(c.Mode);
      s.Ed.SetCaretXY(c.Begin);
    } else {
      s.Select(c.Mode, c.Begin, c.End);
    }
    s.Ed.SetSelText(c.Value);
    EXPECT_EQ(s.Ed.GetText(), c.Want);
    EXPECT_EQ(s.Ed.GetCaretXY(), c.WantCaret);
    EXPECT_FALSE(s.Ed.SelAvail());
    s.UndoAll();
    EXPECT_EQ(s.Ed.GetText(), c.Text) << "undo";
    s.RedoAll();
    EXPECT_EQ(s.Ed.GetText(), c.Want) << "redo";
  }
}

TEST(RidEderInsert, NormalModeReplacesAndInserts) {
  // clang-format off
  RunCases({
      {"middle", "abcd", smNormal, {3, 1}, {3, 1}, "XY", "abXYcd", {5, 1}},
      {"breaks of each kind", "abcd", smNormal, {3, 1}, {3, 1}, "1\r2\n3\r\n4",
       "ab1\r\n2\r\n3\r\n4cd", {2, 4}},
      {"trailing break", "abcd", smNormal, {3, 1}, {3, 1}, "X\r\n", "abX\r\ncd", {1, 2}},
      {"selection over lines", "abc\r\ndef\r\nghi", smNormal, {2, 1}, {2, 3}, "-",
       "a-hi", {3, 1}},
      {"delete only", "abc\r\ndef", smNormal, {3, 1}, {2, 2}, "", "abef", {3, 1}},
      {"past the line end pads", "ab", smNormal, {5, 1}, {5, 1}, "X", "ab  X", {6, 1}},
      {"double-byte text", "a" + Ni + "b", smNormal, {4, 1}, {4, 1}, Hon + "\r\n" + Bs,
       "a" + Ni + Hon + "\r\n" + Bs + "b", {3, 2}},
      {"selection of double-byte characters", Ni + Hon + Ka, smNormal, {3, 1}, {5, 1},
       Bs, Ni + Bs + Ka, {5, 1}},
  });
  // clang-format on
}

TEST(RidEderInsert, VirtualSpaceIndentsWithTabsUnlessTabsToSpaces) {
  TRidEderorOptions o =
      TRidEderorOptions::FromBits(RidDefaultOptions) - TRidEderorOptions{eoTabsToSpaces};
  // clang-format off
  RunCases({
               {"blank line", "", smNormal, {11, 1}, {11, 1}, "X", "\t\t  X", {6, 1}},
               {"blanks are rewritten", "  \r\nz", smNormal, {9, 1}, {9, 1}, "X",
                "\t\tX\r\nz", {4, 1}},
               {"text before the caret", "ab", smNormal, {6, 1}, {6, 1}, "X", "ab   X",
                {7, 1}},
           },
           o);
  // clang-format on
}

TEST(RidEderInsert, TrimTrailingSpacesKeepsTheCaretWhereTheBlanksEnded) {
  TEder s;
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoTrimTrailingSpaces});
  s.Ed.SetText("ab\r\ncd");
  s.Ed.SetCaretXY({3, 1});
  s.Ed.SetSelText("x  \r\ny  ");
  EXPECT_EQ(s.Ed.GetText(), "abx\r\ny\r\ncd");
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(4, 2));  // after the two trimmed blanks
}

TEST(RidEderInsert, LineModeWorksOnWholeLines) {
  // clang-format off
  RunCases({
      {"middle lines", "a\r\nb\r\nc\r\nd", smLine, {2, 2}, {1, 3}, "X\r\nY\r\n",
       "a\r\nX\r\nY\r\nd", {1, 4}},
      {"up to the last line leaves one line", "a\r\nb\r\nc", smLine, {1, 2}, {1, 3}, "",
       "a\r\n", {1, 2}},
      {"text without a final break fills that line", "a\r\nb\r\nc", smLine, {1, 2}, {1, 3},
       "X\r\nY", "a\r\nX\r\nY", {2, 3}},
      {"inserted above the caret line", "a\r\nb", smLine, {2, 2}, {2, 2}, "X\r\n",
       "a\r\nX\r\nb", {1, 3}},
      {"double-byte lines", Ni + "\r\n" + Hon, smLine, {3, 1}, {3, 1}, Bs + "\r\n",
       Bs + "\r\n" + Ni + "\r\n" + Hon, {1, 2}},
  });
  // clang-format on
}

TEST(RidEderInsert, LineModeOverwritesLinesButNeverTheLast) {
  // clang-format off
  RunCases({{"overwrite", "a\r\nb\r\nc", smLine, {1, 1}, {1, 1}, "X\r\nY\r\nZ\r\n",
             "X\r\nY\r\nZ\r\nc", {1, 4}}},
           {}, true);
  // clang-format on
}

TEST(RidEderInsert, ColumnModeWorksRowByRow) {
  // clang-format off
  RunCases({
      {"block", "abcd\r\nefgh\r\nijkl", smColumn, {2, 1}, {4, 3}, "12\r\n34\r\n56",
       "a12d\r\ne34h\r\ni56l", {4, 3}},
      {"drawn right to left", "abcd\r\nefgh", smColumn, {4, 1}, {2, 2}, "x\r\ny",
       "axd\r\neyh", {3, 2}},
      {"short lines are padded", "abcdef\r\nab", smColumn, {5, 1}, {5, 1},
       "X\r\nY\r\nZ", "abcdXef\r\nab  Y\r\n    Z", {6, 3}},
      {"below the last line", "ab", smColumn, {2, 1}, {2, 1}, "1\r\n2\r\n3",
       "a1b\r\n 2\r\n 3", {3, 3}},
      {"empty rows add no padding", "ab", smColumn, {4, 1}, {4, 1}, "X\r\n\r\nY",
       "ab X\r\n\r\n   Y", {5, 3}},
      {"insertion after a whole character", Ni + "x\r\nab", smColumn, {2, 1}, {2, 1},
       "1\r\n2", Ni + "1x\r\na2b", {3, 2}},
      {"deletion of half characters", "a" + Ni + "b\r\n" + Hon + "cd", smColumn, {2, 1},
       {3, 2}, "", "ab\r\n" + Hon + "cd", {2, 1}},
  });
  // clang-format on
}

TEST(RidEderInsert, InsertBlockReplacesAColumnBlock) {
  TEder s;
  s.Ed.SetText("abcd\r\n" + Ni + "cd\r\nx");
  s.Ed.InsertBlock({2, 1}, {3, 3}, "12\r\n34\r\n56", false);
  // Row 2 starts inside a character: it is kept whole and the row goes after it.
  EXPECT_EQ(s.Ed.GetText(), "a12cd\r\n" + Ni + "34cd\r\nx56");
  EXPECT_EQ(s.Ed.GetActiveSelectionMode(), smColumn);
  EXPECT_FALSE(s.Ed.GetUndoList().CanUndo());
}

// A column deletion or unindent that brings a lone lead byte next to a byte that can trail
// makes a new character there; undo still puts each row back where it was, and redo and undo
// again agree.
TEST(RidEderInsert, UndoPutsColumnRowsBackWhereALoneLeadByteMetTheByteAfterThem) {
  // Row 1: 81 before blanks, then 83 40. Row 2: the block's column falls on the trail of 93 FA.
  const std::string text = "\x81  \x83\x40\r\n\x93\xfa  x";
  for (bool unindent : {false, true}) {
    SCOPED_TRACE(unindent ? "unindent" : "deletion");
    TEder s;
    s.Ed.SetTabWidth(2);
    s.Ed.SetText(text);
    s.Select(smColumn, {2, 1}, {4, 2});
    if (unindent)
      s.Ed.DoBlockUnindent();
    else
      s.Ed.SetSelText("");
    const std::string after = s.Ed.GetText();
    EXPECT_EQ(after.substr(0, 3), "\x81\x83\x40");
    s.Ed.Undo();
    EXPECT_EQ(s.Ed.GetText(), text);
    s.Ed.Redo();
    EXPECT_EQ(s.Ed.GetText(), after);
    s.Ed.Undo();
    EXPECT_EQ(s.Ed.GetText(), text);
  }
}

TEST(RidEderInsert, RecordsTheItemsUndoNeeds) {
  TEder s;
  s.Ed.SetText("abc\r\ndef");
  s.Select(smNormal, {3, 2}, {2, 1});  // drawn backwards
  s.Ed.SetSelText("X\r\nY");
  TRidEderUndoList& u = s.Ed.GetUndoList();
  ASSERT_EQ(u.ItemCount(), 2);
  const TRidEderUndoItem* del = u.GetItem(0);
  EXPECT_EQ(del->GetChangeReason(), urDeleteCaretEnd);
  EXPECT_EQ(del->GetChangeStartPos(), BufferCoord(3, 2));  // the anchor, as drawn
  EXPECT_EQ(del->GetChangeEndPos(), BufferCoord(2, 1));
  EXPECT_EQ(del->GetChangeStr(), "bc\r\nde");
  const TRidEderUndoItem* ins = u.GetItem(1);
  EXPECT_EQ(ins->GetChangeReason(), urInsert);
  EXPECT_EQ(ins->GetChangeStartPos(), BufferCoord(2, 1));
  EXPECT_EQ(ins->GetChangeEndPos(), BufferCoord(2, 2));
  EXPECT_EQ(ins->GetChangeNumber(), del->GetChangeNumber());

  // Column rows record themselves, added lines with a break at the end of the line above.
  s.Ed.SetText("ab");
  s.Ed.SetSelectionMode(smColumn);
  s.Ed.SetCaretXY({3, 1});
  s.Ed.SetSelText("1\r\n2");
  ASSERT_EQ(u.ItemCount(), 3);
  EXPECT_EQ(u.GetItem(0)->GetChangeReason(), urInsertText);
  EXPECT_EQ(u.GetItem(1)->GetChangeReason(), urLineBreak);
  EXPECT_EQ(u.GetItem(1)->GetChangeStartPos(), BufferCoord(4, 1));
  EXPECT_EQ(u.GetItem(2)->GetChangeReason(), urInsertText);
  EXPECT_EQ(u.GetItem(2)->GetChangeStartPos(), BufferCoord(1, 2));  // padding included
  EXPECT_EQ(u.GetItem(2)->GetChangeEndPos(), BufferCoord(4, 2));
  EXPECT_EQ(u.GetItem(2)->GetChangeSelMode(), smColumn);
}

// Pieces of random text: ASCII, blanks, double-byte characters whose trail bytes look like
// ASCII (5C backslash, 40 at sign, 7C bar, letters, brackets), and lead bytes without a trail
// byte (before a blank, a tab, a line end, or whatever piece comes next). Each piece types as one
// command.
const std::string Pieces[] = {"a",
                              "b",
                              " ",
                              "\t",
                              "\\",
                              "|",
                              Ni,
                              Hon,
                              Ka,
                              Bs,
                              "\x95\x5c" /* 表 */,
                              "\x81\x40" /* full-width space */,
                              "\x83\x40" /* ァ */,
                              "\x83\x7c" /* ポ */,
                              "\x81\x5b" /* ー */,
                              "\x83"};

// Mostly short lines; one in eight up to 5,000 bytes, past the 1,024 columns a caret may go
// beyond a line's end and past 4,096.
std::string RandomLine(std::mt19937& Rng) {
  std::string s;
  const size_t bytes = Rng() % 8 == 0 ? 1 + Rng() % 5000 : 0;
  for (int n = Rng() % 6; n > 0 || s.size() < bytes; --n) s += Pieces[Rng() % std::size(Pieces)];
  for (int n = Rng() % 4 == 0 ? Rng() % 3 + 1 : 0; n > 0; --n) s += Rng() % 2 ? " " : "\t";
  return s;
}

// Lines joined by breaks of one kind or of mixed kinds, with or without a final break.
std::string RandomText(std::mt19937& Rng, int MaxLines) {
  static const char* Breaks[] = {"\r\n", "\n", "\r"};
  const int style = Rng() % 4;  // 3: mixed
  std::string s = RandomLine(Rng);
  const int lines = Rng() % MaxLines;
  for (int n = 0; n < lines; ++n) {
    s += Breaks[style == 3 ? Rng() % 3 : style];
    if (n + 1 < lines || Rng() % 3) s += RandomLine(Rng);
  }
  return s;
}

// A character start, or a column past the line's end; anywhere in a long line.
TBufferCoord RandomPos(std::mt19937& Rng, TRidEder& Ed) {
  int32_t line = 1 + Rng() % std::max(1, Ed.GetLines()->GetCount());
  const uint32_t length = static_cast<uint32_t>(Ed.GetLines()->GetView(line - 1).size());
  int32_t col = 1 + static_cast<int32_t>(Rng() % (length > 14 && Rng() % 2 ? length + 2 : 14));
  if (OnTrail(std::string(Ed.GetLines()->GetView(line - 1)), col)) --col;
  return {col, line};
}

// The caret, and the ends of a normal selection (column ends apply to every line as drawn).
void ExpectOffTrailBytes(TRidEder& Ed) {
  std::vector<TBufferCoord> points{Ed.GetCaretXY()};
  if (Ed.GetActiveSelectionMode() == smNormal) {
    points.push_back(Ed.GetRawBlockBegin());
    points.push_back(Ed.GetRawBlockEnd());
  }
  for (TBufferCoord p : points) {
    if (p.Line >= 1 && p.Line <= Ed.GetLines()->GetCount()) {
      EXPECT_FALSE(OnTrail(std::string(Ed.GetLines()->GetView(p.Line - 1)), p.Char))
          << p.Char << "," << p.Line;
    }
  }
}

// The bytes a save writes.
std::string Saved(TRidEder& Ed) { return Ed.GetLines()->SaveToBytes(); }

// Whether Text is one the file had.
bool WasAState(const std::vector<std::string>& States, const std::string& Text) {
  return std::find(States.begin(), States.end(), Text) != States.end();
}

// Options that change what an edit stores, chosen at random; grouping stays on, as the window
// has it.
TRidEderorOptions RandomOptions(std::mt19937& Rng, TRidEderorOptions O) {
  for (TRidEderorOption o : {eoTrimTrailingSpaces, eoTabsToSpaces, eoScrollPastEol, eoAutoIndent,
                             eoSmartTabs, eoSmartTabDelete})
    O = Rng() % 2 ? O + TRidEderorOptions{o} : O - TRidEderorOptions{o};
  return O;
}

TEST(RidEderInsert, UndoRestoresTheSavedBytesExactly) {
  struct Case {
    const char* Name;
    std::string Text;
    TRidEderorOptions Add;
    TRidSelectionMode Mode;
    TBufferCoord Begin, End;
    std::string Value;
  };
  const TRidEderorOptions trim{eoTrimTrailingSpaces};
  // clang-format off
  const Case cases[] = {
      {"trimmed blanks of a joined line", "a \r\nb\r\n", trim, smNormal, {1, 1}, {2, 2}, ""},
      {"trimmed blanks before a tab", "a \t\r\nbc\r\n", trim, smNormal, {4, 1}, {2, 2}, ""},
      {"column deletion trims", "ab \r\ncd\t\r\n", trim, smColumn, {1, 1}, {2, 2}, ""},
      {"inserted blanks are trimmed", "ab\r\ncd", trim, smNormal, {3, 1}, {3, 1}, "x \t\r\ny "},
      {"mixed breaks of a join", "a\nb\rc\r\n", {}, smNormal, {2, 1}, {1, 2}, ""},
      {"mixed breaks of a replacement", "a\nb\rc\r\nd", {}, smNormal, {1, 1}, {1, 4}, "x\ny"},
      {"mixed breaks of whole lines", "a\nb\rc\r\nd", {}, smLine, {1, 2}, {1, 4}, "x\r"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    s.Ed.SetOptions(s.Ed.GetOptions() + c.Add);
    s.Ed.GetLines()->LoadFromBytes(c.Text);
    s.Select(c.Mode, c.Begin, c.End);
    s.Ed.SetSelText(c.Value);
    const std::string edited = Saved(s.Ed);
    s.UndoAll();
    EXPECT_EQ(Saved(s.Ed), c.Text);
    s.RedoAll();
    EXPECT_EQ(Saved(s.Ed), edited);
  }
}

// N bytes of letters in a period of 26, so that text put back a few bytes off shows.
std::string Letters(size_t N, size_t From = 0) {
  std::string s;
  for (size_t i = From; i < From + N; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

// Long texts compared by where they first differ.
testing::AssertionResult SameBytes(const std::string& Got, const std::string& Want) {
  if (Got == Want) return testing::AssertionSuccess();
  const auto at = std::mismatch(Got.begin(), Got.end(), Want.begin(), Want.end());
  return testing::AssertionFailure() << "differ from byte " << at.first - Got.begin() << " of "
                                     << Got.size() << " (want " << Want.size() << ")";
}

// A column block may start past the end of its first line, beyond the 1,024 columns a caret
// may stand past a line's end: the edit takes the block's own columns, and undo puts every row
// back at them, without scrolling past line ends as with it.
TEST(RidEderInsert, UndoOfColumnEditsPastLineEndsPutsTheBytesBackWhereTheyWere) {
  enum TAction { Delete, Replace, ReplaceRows, Unindent, Indent, Cut };
  struct Case {
    const char* Name;
    std::vector<std::string> Lines;
    TBufferCoord Begin, End;
    TAction Action;
  };
  const std::string long1 = Letters(5000), long3 = Letters(5000, 7);
  const std::string blanksAt1990 = Letters(1990) + "    " + Letters(3000);
  // clang-format off
  const Case cases[] = {
      {"deleted, first line long", {long1, std::string(1981, ' '), long3}, {1991, 2}, {2237, 3}, Delete},
      {"replaced, first line long", {long1, std::string(1981, ' '), long3}, {1991, 2}, {2237, 3}, Replace},
      {"replaced by rows", {long1, std::string(1981, ' '), long3}, {1991, 2}, {2237, 3}, ReplaceRows},
      {"drawn upwards", {long1, std::string(1981, ' '), long3}, {2237, 3}, {1991, 2}, Delete},
      {"cut", {long1, std::string(1981, ' '), long3}, {1991, 2}, {2237, 3}, Cut},
      {"first line short", {"ab", Letters(3000)}, {1100, 1}, {1200, 2}, Delete},
      {"first line empty, replaced", {"", Letters(3000)}, {2000, 1}, {2001, 2}, Replace},
      {"rows past the end of a short line", {Letters(3000), "ab", Letters(3000, 3)}, {1500, 1}, {1600, 3}, Delete},
      {"all within 1,024 columns", {"ab", Letters(60)}, {10, 1}, {20, 2}, Delete},
      {"unindented", {"ab", blanksAt1990}, {1991, 1}, {1993, 2}, Unindent},
      {"indented", {"ab", Letters(3000)}, {1991, 1}, {1993, 2}, Indent},
  };
  // clang-format on
  for (const Case& c : cases) {
    for (bool pastEol : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.Name << (pastEol ? ", past line ends" : ""));
      TEder s;
      s.Ed.SetMaxUndo(std::numeric_limits<int32_t>::max());
      const TRidEderorOptions o = s.Ed.GetOptions();
      s.Ed.SetOptions(pastEol ? o + TRidEderorOptions{eoScrollPastEol}
                              : o - TRidEderorOptions{eoScrollPastEol});
      std::string text;
      for (const std::string& line : c.Lines) text += line + "\r\n";
      s.Ed.GetLines()->LoadFromBytes(text);
      s.Select(smColumn, c.Begin, c.End);
      const TBufferCoord b = s.Ed.GetBlockBegin(), e = s.Ed.GetBlockEnd();
      switch (c.Action) {
        case Delete:
          s.Ed.SetSelText("");
          break;
        case Replace:
          s.Ed.SetSelText("Q");
          break;
        case ReplaceRows:
          s.Ed.SetSelText("Q\r\nR");
          break;
        case Unindent:
          s.Ed.DoBlockUnindent();
          break;
        case Indent:
          s.Ed.DoBlockIndent();
          break;
        case Cut:
          s.Ed.CutToClipboard();
          break;
      }
      const std::string edited = Saved(s.Ed);
      if (edited == text) {  // past line ends the block starts at column 1,025 of "ab"
        EXPECT_TRUE(pastEol && c.Action == Unindent);
        continue;
      }
      if (c.Action == Delete && !pastEol) {
        // The block's own columns are gone from every line that reaches them.
        const int32_t c1 = std::min(b.Char, e.Char), c2 = std::max(b.Char, e.Char);
        std::string want;
        for (int32_t y = 1; y <= static_cast<int32_t>(c.Lines.size()); ++y) {
          std::string line = c.Lines[y - 1];
          if (y >= b.Line && y <= e.Line && static_cast<int32_t>(line.size()) >= c1)
            line.erase(c1 - 1, c2 - c1);
          want += line + "\r\n";
        }
        EXPECT_TRUE(SameBytes(edited, want));
      }
      for (int round = 0; round < 2; ++round) {
        s.Ed.Undo();
        EXPECT_TRUE(SameBytes(Saved(s.Ed), text)) << "undo " << round;
        s.Ed.Redo();
        EXPECT_TRUE(SameBytes(Saved(s.Ed), edited)) << "redo " << round;
      }
    }
  }
}

// The same for random column edits on lines shorter and longer than 1,024 columns, with blocks
// anywhere up to past the longest line's end, and the options that change what an edit stores.
TEST(RidEderInsert, UndoAndRedoOfRandomColumnEditsPastLineEndsGiveTheTextsBack) {
  const size_t lengths[] = {0, 2, 40, 1000, 1030, 1981, 2300, 5000};
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    TEder s;
    s.Ed.SetMaxUndo(std::numeric_limits<int32_t>::max());
    s.Ed.SetOptions(RandomOptions(rng, s.Ed.GetOptions()));
    std::string text;
    int32_t longest = 0;
    for (int n = 2 + rng() % 3; n > 0; --n) {
      const size_t length = lengths[rng() % std::size(lengths)];
      text += (rng() % 3 ? Letters(length, rng()) : std::string(length, ' ')) + "\r\n";
      longest = std::max(longest, static_cast<int32_t>(length));
    }
    s.Ed.GetLines()->LoadFromBytes(text);
    const int32_t lines = s.Ed.GetLines()->GetCount();
    const auto pos = [&] {
      return TBufferCoord{1 + static_cast<int32_t>(rng() % (longest + 20)),
                          1 + static_cast<int32_t>(rng() % lines)};
    };
    const TBufferCoord b = pos(), e = pos();
    s.Select(smColumn, b, e);
    switch (rng() % 5) {
      case 0:
        s.Ed.SetSelText(rng() % 2 ? "" : "Q\r\nR");
        break;
      case 1:
        s.Ed.DoBlockUnindent();
        break;
      case 2:
        s.Ed.DoBlockIndent();
        break;
      case 3:
        s.Ed.CutToClipboard();
        break;
      default:
        s.Ed.CopyToClipboard();
        s.Select(smColumn, e, e);
        s.Ed.PasteFromClipboard();
        break;
    }
    const std::string edited = Saved(s.Ed);
    for (int round = 0; s.Ed.CanUndo() && round < 2; ++round) {
      s.UndoAll();
      ASSERT_TRUE(SameBytes(Saved(s.Ed), text)) << "undo " << round;
      s.RedoAll();
      ASSERT_TRUE(SameBytes(Saved(s.Ed), edited)) << "redo " << round;
    }
  }
}

// The text as plain lines, and what the editing operations do to it in normal mode.
struct TModel {
  std::vector<std::string> Lines{""};
  bool Trim = false, PastEol = false;

  static std::vector<std::string> Split(std::string_view Text) {
    std::vector<std::string> lines{""};
    for (size_t i = 0; i < Text.size(); ++i) {
      if (Text[i] != '\r' && Text[i] != '\n') {
        lines.back() += Text[i];
        continue;
      }
      if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
      lines.emplace_back();
    }
    return lines;
  }
  std::string Join() const {
    std::string s;
    for (size_t i = 0; i < Lines.size(); ++i) s += (i ? "\r\n" : "") + Lines[i];
    return s;
  }
  void Load(const std::string& Text) { Lines = Split(Text); }
  size_t Offset(TBufferCoord P) const {
    size_t at = 0;
    for (int32_t i = 0; i + 1 < P.Line; ++i) at += Lines[i].size() + 2;
    return at + P.Char - 1;
  }
  void TrimLine(int32_t Line) {
    std::string& s = Lines.at(Line - 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  }
  // SetSelText: the lines it stores lose their trailing blanks; a join alone only when the
  // caret may stand past the line end.
  void Replace(TBufferCoord B, TBufferCoord E, const std::string& Value) {
    std::string s = Join();
    s.replace(Offset(B), Offset(E) - Offset(B), Value);
    Lines = Split(s);
    if (!Trim) return;
    if (!Value.empty()) {
      for (size_t i = 0; i < Split(Value).size(); ++i) TrimLine(B.Line + static_cast<int32_t>(i));
    } else if (PastEol && !(B == E)) {
      TrimLine(B.Line);
    }
  }
  void SetLine(int32_t Line, const std::string& Value) {
    std::vector<std::string> rows = Split(Value);
    Lines.erase(Lines.begin() + Line - 1);
    Lines.insert(Lines.begin() + Line - 1, rows.begin(), rows.end());
  }
};

// Single-byte letters in another case; a trail byte is never taken for a letter.
std::string CaseChanged(std::string_view Text, TRidEderorCommand Cmd) {
  std::string s(Text);
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsDBCSLeadByte(s[i]) && i + 1 < s.size()) {
      ++i;
      continue;
    }
    const bool upper = s[i] >= 'A' && s[i] <= 'Z', lower = s[i] >= 'a' && s[i] <= 'z';
    if ((Cmd == ecUpperCaseBlock || Cmd == ecToggleCaseBlock) && lower)
      s[i] -= 32;
    else if ((Cmd == ecLowerCaseBlock || Cmd == ecToggleCaseBlock) && upper)
      s[i] += 32;
  }
  return s;
}

// What the operation does to the model; false when the model does not follow it (other
// selection modes, virtual space), and it then takes the editor's text.
using TOperation = std::function<bool(TEder&, TModel&, std::mt19937&)>;

bool NormalSelection(TEder& S) { return S.Ed.GetActiveSelectionMode() == smNormal; }

int32_t LineLength(TEder& S, int32_t Line) {
  return Line <= S.Ed.GetLines()->GetCount()
             ? static_cast<int32_t>(S.Ed.GetLines()->GetView(Line - 1).size())
             : 0;
}

// Replacing the selection, or inserting at the caret inside the line.
bool Modelled(TEder& S) {
  return NormalSelection(S) &&
         (S.Ed.SelAvail() || S.Ed.GetCaretX() <= LineLength(S, S.Ed.GetCaretY()) + 1);
}

bool TypeText(TEder& S, TModel& M, std::mt19937& Rng) {
  const std::string value = Rng() % 4 == 0 ? std::string() : RandomText(Rng, 3);
  const bool modelled = Modelled(S);
  const TBufferCoord b = S.Ed.GetBlockBegin(), e = S.Ed.GetBlockEnd();
  S.Ed.SetSelText(value);
  if (modelled) M.Replace(b, e, value);
  return modelled;
}

bool Cut(TEder& S, TModel& M, std::mt19937& Rng) {
  const bool modelled = Modelled(S) && S.Ed.SelAvail();
  const TBufferCoord b = S.Ed.GetBlockBegin(), e = S.Ed.GetBlockEnd();
  if (Rng() % 2)
    S.Ed.CutToClipboard();
  else
    S.Ed.Perform(WM_CUT);
  if (modelled) M.Replace(b, e, "");
  return modelled;
}

bool Paste(TEder& S, TModel& M, std::mt19937& Rng) {
  if (Rng() % 3 == 0) {  // plain text from another program
    Clipboard()->Open();
    Clipboard()->Clear();
    Clipboard()->SetAsText(RandomText(Rng, 3));
    Clipboard()->Close();
  }
  std::string block;
  const bool own = Clipboard()->GetBuffer(RidEderClipboardFormat(), block);
  const std::string text = own ? block.substr(1, block.size() - 2) : Clipboard()->GetAsText();
  const bool modelled = Modelled(S) && (!own || block[0] == smNormal) &&
                        (own || S.Ed.SelAvail() || S.Ed.GetSelectionMode() == smNormal);
  const TBufferCoord b = S.Ed.GetBlockBegin(), e = S.Ed.GetBlockEnd();
  const bool nothingToPaste = !S.Ed.CanPaste();  // an empty clipboard leaves the text alone
  if (Rng() % 2)
    S.Ed.PasteFromClipboard();
  else
    S.Ed.Perform(WM_PASTE);
  if (modelled && !nothingToPaste) M.Replace(b, e, text);
  return modelled;
}

bool Clear(TEder& S, TModel& M, std::mt19937&) {
  const bool modelled = Modelled(S) && S.Ed.SelAvail();
  const TBufferCoord b = S.Ed.GetBlockBegin(), e = S.Ed.GetBlockEnd();
  S.Ed.Perform(WM_CLEAR);
  if (modelled) M.Replace(b, e, "");
  return modelled;
}

bool Copy(TEder& S, TModel&, std::mt19937&) {
  S.Ed.CopyToClipboard();
  return true;
}

// The lines a block command works on: a selection ending at column 1 leaves that line alone.
std::pair<int32_t, int32_t> BlockLines(TEder& S) {
  const TBufferCoord b = S.Ed.GetBlockBegin(), e = S.Ed.GetBlockEnd();
  return {b.Line, std::min(e.Char == 1 ? e.Line - 1 : e.Line, S.Ed.GetLines()->GetCount())};
}

bool Indent(TEder& S, TModel& M, std::mt19937&) {
  const bool modelled = NormalSelection(S) && S.Ed.SelAvail();
  const auto [first, last] = BlockLines(S);
  const std::string indent = S.Ed.GetOptions().Contains(eoTabsToSpaces)
                                 ? std::string(S.Ed.GetTabWidth(), ' ')
                                 : std::string("\t");
  S.Ed.DoBlockIndent();
  if (!modelled) return false;
  for (int32_t line = first; line <= last; ++line) {
    M.Lines[line - 1] = indent + M.Lines[line - 1];
    if (M.Trim) M.TrimLine(line);
  }
  return true;
}

bool Unindent(TEder& S, TModel& M, std::mt19937&) {
  const bool modelled = NormalSelection(S) && S.Ed.SelAvail();
  const auto [first, last] = BlockLines(S);
  const size_t tab = S.Ed.GetTabWidth();
  S.Ed.DoBlockUnindent();
  if (!modelled) return false;
  for (int32_t line = first; line <= last; ++line) {
    std::string& s = M.Lines[line - 1];
    size_t n = 0;
    if (!s.empty() && s[0] == '\t') {
      n = 1;
    } else {
      while (n < tab && n < s.size() && s[n] == ' ') ++n;
      if (n < tab && n < s.size() && s[n] == '\t') ++n;
    }
    s.erase(0, n);
  }
  return true;
}

bool ChangeCase(TEder& S, TModel& M, std::mt19937& Rng) {
  static const TRidEderorCommand commands[] = {ecUpperCaseBlock, ecLowerCaseBlock,
                                               ecToggleCaseBlock};
  const TRidEderorCommand cmd = commands[Rng() % 3];
  const bool modelled = NormalSelection(S) && S.Ed.SelAvail();
  const TBufferCoord b = S.Ed.GetBlockBegin(), e = S.Ed.GetBlockEnd();
  const std::string before = S.Ed.GetSelText();
  S.Ed.DoCaseChange(cmd);
  if (modelled) M.Replace(b, e, CaseChanged(before, cmd));
  // The selection comes back on the changed text (trimming may move its ends).
  if (modelled && !M.Trim) {
    EXPECT_EQ(S.Ed.GetSelText(), CaseChanged(before, cmd));
  }
  return modelled;
}

bool LineText(TEder& S, TModel& M, std::mt19937& Rng) {
  const std::string value = Rng() % 3 ? RandomLine(Rng) : RandomText(Rng, 2);
  const int32_t line = S.Ed.GetCaretY();
  S.Ed.SetLineText(value);
  M.SetLine(line, value);
  return true;
}

// Any step of a key script (EderScript.h): a command of the key-command table with its argument,
// the mouse as the window sends it, a save, or a text another program puts on the clipboard. One
// byte is typed a step, as a key types it, so that an undo has a text of before to land on.
bool RunCommand(TEder& S, TModel&, std::mt19937& Rng) {
  script::TStep step = script::DrawStep([&](uint32_t Bound) { return Rng() % Bound; });
  if (step.Command == ecChar) step.Text.resize(std::min<size_t>(step.Text.size(), 1));
  script::Perform(S.Ed, step);
  return false;
}

// Replace All of a character or two by a few that may hold breaks, with either engine, in the
// selection or not, backwards or not, now and then after the prompt's answer "all".
bool ReplaceAll(TEder& S, TModel&, std::mt19937& Rng) {
  const bool regex = Rng() % 2;
  const auto piece = [&] { return Pieces[Rng() % (std::size(Pieces) - 1)]; };  // no lone lead
  std::string pattern = piece() + (Rng() % 2 ? piece() : "");
  // Short, so that the text stays small however often it is replaced.
  static const char* breaks[] = {"", "", "\r\n", "\n", "\r"};
  std::string with;
  for (int n = Rng() % 3; n > 0; --n) with += piece() + breaks[Rng() % std::size(breaks)];
  if (regex) {
    std::string escaped;
    TRidCharStarts starts(pattern);
    for (size_t at = 0; at < pattern.size(); at = starts.NextAfter(at)) {
      if (std::string_view("\\|").find(pattern[at]) != std::string_view::npos) escaped += '\\';
      escaped.append(pattern, at, starts.NextAfter(at) - at);
    }
    pattern = escaped;
    std::erase(with, '$');
    S.Ed.SetSearchEngine(&S.Regex);
  } else {
    S.Ed.SetSearchEngine(&S.Plain);
  }
  TRidSearchOptions options;
  options.Include(ssoReplaceAll);
  options.Include(ssoMatchCase);
  if (Rng() % 2) options.Include(ssoBackwards);
  options.Include(Rng() % 2 ? ssoSelectedOnly : ssoEntireScope);
  if (Rng() % 4 == 0) options.Include(ssoPrompt);
  S.Ed.OnReplaceText = [](TObject*, const std::string&, const std::string&, int32_t, int32_t,
                          TRidReplaceAction& Action) { Action = raReplaceAll; };
  try {
    S.Ed.SearchReplace(pattern, with, options);
  } catch (const ERidEderError&) {
    // a replacement with a break refused in a column selection, before any change
  }
  S.Ed.OnReplaceText = {};
  return false;
}

// A text loaded in place of the page, as a file's bytes or set as a string, now and then into
// no lines with the caret left where it stood (past the line's end too): the page starts anew.
bool Load(TEder& S, TModel&, std::mt19937& Rng) {
  const std::string text = RandomText(Rng, 4);
  if (Rng() % 2) {
    const TBufferCoord caret = S.Ed.GetCaretXY();
    S.Ed.GetLines()->Clear();
    S.Ed.SetCaretXY(caret);
  }
  if (Rng() % 2)
    S.Ed.GetLines()->LoadFromBytes(text);
  else
    S.Ed.SetText(text);
  return false;
}

// Undone and redone as commands: nothing changes.
bool UndoRedoCommands(TEder& S, TModel&, std::mt19937&) {
  S.Ed.CommandProcessor(ecUndo, 0, nullptr);
  S.Ed.CommandProcessor(ecRedo, 0, nullptr);
  return false;
}

TEST(RidEderInsert, UndoAllRestoresAndRedoAllRepeatsRandomEdits) {
  const std::pair<TOperation, const char*> operations[] = {
      {TypeText, "type"},
      {TypeText, "type"},
      {Cut, "cut"},
      {Copy, "copy"},
      {Paste, "paste"},
      {Clear, "clear"},
      {Indent, "indent"},
      {Unindent, "unindent"},
      {ChangeCase, "case"},
      {LineText, "line text"},
      {RunCommand, "command"},
      {RunCommand, "command"},
      {RunCommand, "command"},
      {UndoRedoCommands, "undo and redo"},
      {ReplaceAll, "replace all"},
      {Load, "load"},
  };
  constexpr uint32_t Seeds = 150;
  for (uint32_t seed = 1; seed <= Seeds; ++seed) {
    std::mt19937 rng(seed);
    TEder s;
    // Every step stays undoable, however many items one records (a replace-all trims each of
    // the rows it makes as an item of its own).
    s.Ed.SetMaxUndo(std::numeric_limits<int32_t>::max());
    s.Ed.SetOptions(RandomOptions(rng, s.Ed.GetOptions()));
    s.Ed.SetTabWidth(1 + rng() % 8);
    s.Ed.SetInsertMode(rng() % 4 != 0);
    std::string original = RandomText(rng, 7);
    s.Ed.GetLines()->LoadFromBytes(original);
    ASSERT_EQ(Saved(s.Ed), original);
    TModel model;
    model.Trim = s.Ed.GetOptions().Contains(eoTrimTrailingSpaces);
    model.PastEol = s.Ed.GetOptions().Contains(eoScrollPastEol);
    model.Load(s.Ed.GetText());
    std::vector<std::string> states{original};
    for (int step = 0; step < 40; ++step) {
      auto mode = static_cast<TRidSelectionMode>(rng() % 3);
      TBufferCoord b = RandomPos(rng, s.Ed), e = RandomPos(rng, s.Ed);
      if (rng() % 3 == 0) e = b;
      s.Select(mode, b, e);
      const auto& [operation, name] = operations[rng() % std::size(operations)];
      const std::string before = Saved(s.Ed);
      SCOPED_TRACE(testing::Message()
                   << "seed " << seed << " step " << step << " " << name << " mode " << int(mode)
                   << " anchor " << s.Ed.GetRawBlockBegin().Char << ","
                   << s.Ed.GetRawBlockBegin().Line << " end " << s.Ed.GetRawBlockEnd().Char << ","
                   << s.Ed.GetRawBlockEnd().Line << " caret " << s.Ed.GetCaretX() << ","
                   << s.Ed.GetCaretY() << " before " << testing::PrintToString(before));
      const int32_t items = s.Ed.GetUndoList().ItemCount();
      if (operation(s, model, rng))
        ASSERT_EQ(s.Ed.GetText(), model.Join());
      else
        model.Load(s.Ed.GetText());
      ExpectOffTrailBytes(s.Ed);
      const std::string after = Saved(s.Ed);
      if (std::string_view(name) == "load") {  // the text loaded is the page's first
        ASSERT_FALSE(s.Ed.CanUndo());
        ASSERT_FALSE(s.Ed.CanRedo());
        original = after;
        states = {after};
        continue;
      }
      if (s.Ed.GetUndoList().ItemCount() == items) {
        ASSERT_EQ(after, before);
        continue;
      }
      // Grouping may join the step to the ones before it: undo lands on a text of before (a step
      // that was an undo itself may have left nothing to undo).
      if (s.Ed.CanUndo()) {
        s.Ed.Undo();
        ASSERT_TRUE(WasAState(states, Saved(s.Ed)));
        ExpectOffTrailBytes(s.Ed);
        s.Ed.Redo();
        ASSERT_EQ(Saved(s.Ed), after);
      }
      states.push_back(after);
    }
    // Where an undo of the script left steps to redo, redoing them all gives the newest text
    // (with a lead byte that waited when it came, which it put in); from there undoing k times
    // passes earlier texts in order, and redoing gives each back in turn.
    s.RedoAll();
    const std::string newest = Saved(s.Ed);
    std::vector<std::string> undone{newest};
    for (size_t k = rng() % states.size(); k > 0 && s.Ed.CanUndo(); --k) {
      s.Ed.Undo();
      ASSERT_TRUE(WasAState(states, Saved(s.Ed))) << "seed " << seed;
      undone.push_back(Saved(s.Ed));
    }
    for (undone.pop_back(); !undone.empty(); undone.pop_back()) {
      s.Ed.Redo();
      ASSERT_EQ(Saved(s.Ed), undone.back()) << "seed " << seed;
    }
    s.UndoAll();
    ASSERT_EQ(Saved(s.Ed), original) << "seed " << seed;
    s.RedoAll();
    ASSERT_EQ(Saved(s.Ed), newest) << "seed " << seed;
  }
}

// --- column edits as the window makes them: a block drawn with the keys (ecColumnSelect,
// ecGotoXY, ecSelGotoXY), then a paste, a block indent, typing, or a switch to normal or line
// selection before typing, with the editor's default options and without scrolling past line ends.

// The rows of a column block on the clipboard, as a copy in column mode leaves them.
void PutColumnBlock(const std::string& Rows) {
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->SetBuffer(CF_TEXT, Rows);
  Clipboard()->SetBuffer(RidEderClipboardFormat(),
                         std::string(1, static_cast<char>(smColumn)) + Rows + std::string(1, '\0'));
  Clipboard()->Close();
}

enum TColumnAction { caPaste, caIndent, caType, caNormalThenType, caLineThenType };
const char* const ColumnActionNames[] = {"paste", "indent", "type", "normal, type", "line, type"};

// What a column edit leaves, line by line.
struct TColumnModel : TModel {
  int32_t Length(int32_t Y) const { return static_cast<int32_t>(Lines[Y - 1].size()); }
  // Every row moves off a trail byte of its own line.
  int32_t OffTrail(int32_t Y, int32_t Col) const {
    return OnTrail(Lines[Y - 1], Col) ? Col + 1 : Col;
  }
  void DeleteColumns(int32_t C1, int32_t C2, int32_t Y1, int32_t Y2) {
    for (int32_t y = Y1; y <= Y2; ++y) {
      const int32_t a = OffTrail(y, C1), z = OffTrail(y, C2), n = Length(y);
      if (a - 1 < n) Lines[y - 1].erase(a - 1, std::min(z - a, n - (a - 1)));
    }
  }
  // The first row goes in where the caret can stand, the others at Col; short lines are padded
  // to the column, and rows below the last line become lines of their own.
  void InsertRows(int32_t Col, int32_t Y, const std::vector<std::string>& Rows) {
    for (size_t k = 0; k < Rows.size(); ++k) {
      const int32_t y = Y + static_cast<int32_t>(k);
      if (y > static_cast<int32_t>(Lines.size())) {
        Lines.push_back(Rows[k].empty() ? "" : std::string(Col - 1, ' ') + Rows[k]);
        continue;
      }
      if (Rows[k].empty()) continue;
      const int32_t at = OffTrail(y, k == 0 && !PastEol ? std::min(Col, Length(y) + 1) : Col);
      std::string& s = Lines[y - 1];
      if (static_cast<int32_t>(s.size()) < at - 1) s.resize(at - 1, ' ');
      s.insert(at - 1, Rows[k]);
    }
  }
  // A normal selection's end: within its line's text, never on a trail byte.
  TBufferCoord InText(TBufferCoord P) const {
    P.Char = std::min(P.Char, Length(P.Line) + 1);
    return {OffTrail(P.Line, P.Char), P.Line};
  }
  // Typing X without a selection: past the line's end after blanks, else after a character the
  // caret stands inside.
  void TypeAt(TBufferCoord Caret, const std::string& X) {
    std::string& s = Lines[Caret.Line - 1];
    if (Caret.Char > Length(Caret.Line) + 1) s.resize(Caret.Char - 1, ' ');
    s.insert(OffTrail(Caret.Line, Caret.Char) - 1, X);
  }

  // Anchor and End as the editor holds them, Caret where it stands.
  void Apply(TColumnAction Action, TBufferCoord Anchor, TBufferCoord End, TBufferCoord Caret,
             const std::string& Rows, int32_t TabWidth) {
    const TBufferCoord b = BufferCoordBefore(End, Anchor) ? End : Anchor;
    const TBufferCoord e = BufferCoordBefore(End, Anchor) ? Anchor : End;
    const int32_t c1 = std::min(b.Char, e.Char), c2 = std::max(b.Char, e.Char);
    switch (Action) {
      case caPaste:
      case caType:
        DeleteColumns(c1, c2, b.Line, e.Line);
        InsertRows(c1, b.Line, Split(Action == caType ? "X" : Rows));
        break;
      case caIndent: {
        // A block ending in column 1 leaves its last line alone.
        const int32_t last = e.Char == 1 ? e.Line - 1 : e.Line;
        InsertRows(c1, b.Line,
                   std::vector<std::string>(last - b.Line + 1, std::string(TabWidth, ' ')));
        break;
      }
      case caNormalThenType: {
        TBufferCoord nb = InText(Anchor), ne = InText(End);
        if (BufferCoordBefore(ne, nb)) std::swap(nb, ne);
        if (nb == ne)
          TypeAt(Caret, "X");
        else
          Replace(nb, ne, "X");
        break;
      }
      case caLineThenType:
        Lines.erase(Lines.begin() + b.Line - 1, Lines.begin() + e.Line);
        Lines.insert(Lines.begin() + b.Line - 1, "X");
        break;
    }
  }
};

// The window's keys on the editor.
struct TKeys {
  TRidEder& Ed;
  void Run(TRidEderorCommand Command, char Char = 0) {
    Ed.CommandProcessor(Command, Char, nullptr);
  }
  void Go(TRidEderorCommand Command, TBufferCoord P) { Ed.CommandProcessor(Command, 0, &P); }
  // Shift+Ctrl+C, a click at Anchor and a drag to End.
  void DrawColumns(TBufferCoord Anchor, TBufferCoord End) {
    Run(ecColumnSelect);
    Go(ecGotoXY, Anchor);
    Go(ecSelGotoXY, End);
  }
  void Act(TColumnAction Action, const std::string& Rows) {
    switch (Action) {
      case caPaste:
        PutColumnBlock(Rows);
        Run(ecPaste);
        break;
      case caIndent:
        Run(ecBlockIndent);
        break;
      case caNormalThenType:
      case caLineThenType:
        Run(Action == caNormalThenType ? ecNormalSelect : ecLineSelect);
        [[fallthrough]];
      case caType:
        Run(ecChar, 'X');
        break;
    }
  }
};

// Ctrl+Z gives the text back and takes the `*` away; Shift+Ctrl+Z does the edit again.
void ExpectOneStepBothWays(TRidEder& Ed, const std::string& Before, const std::string& After) {
  TKeys keys{Ed};
  for (int round = 0; round < 2; ++round) {
    keys.Run(ecUndo);
    EXPECT_EQ(Ed.GetText(), Before) << "undo " << round;
    EXPECT_FALSE(Ed.GetModified()) << "undo " << round;
    keys.Run(ecRedo);
    EXPECT_EQ(Ed.GetText(), After) << "redo " << round;
    EXPECT_TRUE(Ed.GetModified()) << "redo " << round;
  }
}

TRidEderorOptions WindowOptions(bool PastEol) {
  const TRidEderorOptions o = TRidEderorOptions::FromBits(RidDefaultOptions);
  return PastEol ? o + TRidEderorOptions{eoScrollPastEol} : o - TRidEderorOptions{eoScrollPastEol};
}

TEST(RidEderInsert, ColumnEditsOfBlocksPastLineEndsAndInsideCharactersGoWhereTheBlockIs) {
  const std::string a = "\x83\x41";  // ア: its second byte is 'A'
  struct Row {
    const char* Name;
    std::string Text;
    TBufferCoord Anchor, End;
    TColumnAction Action;
    std::string Rows;  // pasted
    bool PastEol;
    std::string Want;
  };
  const std::string alphabet = "abcd\r\ncdefghijklmnopqrstuvwxyz\r\nxyz\r\n";
  const std::string digits = "ab\r\n0123456789\r\n0123456789";
  const std::string eight(8, ' ');
  // clang-format off
  const Row rows[] = {
      // The block's start, as normal text, is right after "abcd".
      {"past a line's end, then normal", alphabet, {15, 1}, {5, 2}, caNormalThenType, "", true,
       "abcdXghijklmnopqrstuvwxyz\r\nxyz\r\n"},
      {"past a line's end, then normal, without past", alphabet, {15, 1}, {5, 2}, caNormalThenType, "", false,
       "abcdXghijklmnopqrstuvwxyz\r\nxyz\r\n"},
      {"past a line's end, then lines", alphabet, {15, 1}, {5, 2}, caLineThenType, "", true,
       "X\r\nxyz\r\n"},
      // Rows after the first at the block's column; the first where the caret can stand.
      {"pasted, starting past the first row's end", digits, {8, 3}, {6, 1}, caPaste, "X\r\nY\r\nZ", false,
       "abX\r\n01234Y789\r\n01234Z789"},
      {"pasted, starting past the first row's end, past", digits, {8, 3}, {6, 1}, caPaste, "X\r\nY\r\nZ", true,
       "ab   X\r\n01234Y789\r\n01234Z789"},
      {"indented", digits, {8, 3}, {6, 1}, caIndent, "", false,
       "ab" + eight + "\r\n01234" + eight + "56789\r\n01234" + eight + "56789"},
      {"indented, past", digits, {8, 3}, {6, 1}, caIndent, "", true,
       "ab   " + eight + "\r\n01234" + eight + "56789\r\n01234" + eight + "56789"},
      {"typed", digits, {8, 3}, {6, 1}, caType, "", false, "abX\r\n01234789\r\n01234789"},
      {"typed, past", digits, {8, 3}, {6, 1}, caType, "", true, "ab   X\r\n01234789\r\n01234789"},
      // Only the first row's column is the second byte of a character.
      {"pasted on a second byte", "x" + a + "yz\r\n0123456\r\n0123456", {5, 1}, {3, 3}, caPaste,
       "P\r\nQ\r\nR", false, "x" + a + "Pz\r\n01Q456\r\n01R456"},
      {"pasted on a second byte, past", "x" + a + "yz\r\n0123456\r\n0123456", {5, 1}, {3, 3}, caPaste,
       "P\r\nQ\r\nR", true, "x" + a + "Pz\r\n01Q456\r\n01R456"},
      {"indented on a second byte", "x" + a + "yz\r\n0123456\r\n0123456", {5, 1}, {3, 3}, caIndent,
       "", false, "x" + a + eight + "yz\r\n01" + eight + "23456\r\n01" + eight + "23456"},
      // Only a later row's.
      {"pasted on a later row's second byte", "0123456\r\nx" + a + "yz\r\n0123456", {3, 1}, {5, 3},
       caPaste, "P\r\nQ\r\nR", true, "01P456\r\nx" + a + "Qz\r\n01R456"},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    TEder s;
    s.Ed.SetOptions(WindowOptions(r.PastEol));
    s.Ed.GetLines()->LoadFromBytes(r.Text);
    const std::string before = s.Ed.GetText();
    TKeys keys{s.Ed};
    keys.DrawColumns(r.Anchor, r.End);
    keys.Act(r.Action, r.Rows);
    const std::string after = s.Ed.GetText();
    EXPECT_EQ(after, r.Want);
    ExpectOffTrailBytes(s.Ed);
    ExpectOneStepBothWays(s.Ed, before, after);
  }
}

// A selection an undo brings back keeps the mode it was drawn in, and becomes normal text of
// the lines (not columns past their ends) only with the next normal selection move or
// Shift+Ctrl+N; typing over it then undoes exactly.
TEST(RidEderInsert, SelectionsAnUndoBringsBackKeepTheirModeAndStayInTheText) {
  struct TKey {
    TRidEderorCommand Command;
    TBufferCoord At{0, 0};       // ecGotoXY, ecSelGotoXY
    char Char = 0;               // ecChar
    const char* Clip = nullptr;  // ecPaste: the column rows on the clipboard
  };
  const auto go = [](TBufferCoord P) { return TKey{ecGotoXY, P}; };
  const auto to = [](TBufferCoord P) { return TKey{ecSelGotoXY, P}; };
  const TKey typeX{ecChar, {0, 0}, 'X'};
  struct Script {
    const char* Name;
    std::string Text;
    std::vector<TKey> Keys;
    std::string Want;
    TRidEderorOptions Add = {};
  };
  const std::string alphabet = "abcd\r\ncdefghijklmnopqrstuvwxyz\r\nxyz";
  // clang-format off
  const Script scripts[] = {
      {"a column block, then Shift+Left", alphabet,
       {{ecColumnSelect}, go({15, 1}), to({5, 2}), typeX, {ecNormalSelect}, {ecUndo}, {ecSelLeft}, typeX},
       "abcdXfghijklmnopqrstuvwxyz\r\nxyz"},
      {"a column block, then Shift+Ctrl+N", alphabet,
       {{ecColumnSelect}, go({15, 1}), to({5, 2}), typeX, {ecNormalSelect}, {ecUndo}, {ecNormalSelect}, typeX},
       "abcdXghijklmnopqrstuvwxyz\r\nxyz"},
      {"a column block a paste replaced", alphabet,
       {{ecColumnSelect}, go({15, 1}), to({5, 2}), {ecPaste, {0, 0}, 0, "P\r\nQ"}, {ecUndo}, typeX},
       "abcdX\r\ncdefqrstuvwxyz\r\nxyz"},
      {"lines a case change's redo found selected", "ab\r\ncd\r\nef",
       {go({1, 1}), to({2, 1}), {ecUpperCaseBlock}, {ecUndo}, {ecLineSelect}, go({9, 1}), to({9, 2}),
        {ecRedo}, {ecUndo}, typeX},
       "X\r\nef"},
      // The indentation of the blank first line is trimmed away: all the text stays selected.
      {"an indent of normal text while the column mode is set", " \r\n\x95\x5c abba",
       {go({1, 1}), to({8, 2}), {ecChar, {0, 0}, 'y'}, {ecColumnSelect}, {ecUndo}, {ecBlockIndent}, typeX},
       "X", TRidEderorOptions{eoTrimTrailingSpaces}},
  };
  // clang-format on
  for (const Script& c : scripts) {
    SCOPED_TRACE(c.Name);
    TEder s;
    s.Ed.SetOptions(s.Ed.GetOptions() + c.Add);
    s.Ed.SetText(c.Text);
    for (const TKey& k : c.Keys) {
      if (k.Clip) PutColumnBlock(k.Clip);
      TBufferCoord at = k.At;
      s.Ed.CommandProcessor(k.Command, k.Char, at.Line > 0 ? &at : nullptr);
      ExpectOffTrailBytes(s.Ed);
      if (s.Ed.SelAvail() && s.Ed.GetActiveSelectionMode() == smNormal) {
        // A normal selection's ends are positions of the text.
        for (TBufferCoord p : {s.Ed.GetRawBlockBegin(), s.Ed.GetRawBlockEnd()})
          EXPECT_LE(p.Char, static_cast<int32_t>(s.Ed.GetLines()->GetView(p.Line - 1).size()) + 1);
      }
    }
    EXPECT_EQ(s.Ed.GetText(), c.Want);
    s.UndoAll();
    EXPECT_EQ(s.Ed.GetText(), c.Text);
    EXPECT_FALSE(s.Ed.GetModified());
    s.RedoAll();
    EXPECT_EQ(s.Ed.GetText(), c.Want);
  }
}

// Random lines of letters and characters whose second bytes look like ASCII, random blocks
// drawn with the keys anywhere up to past the longest line's end: every edit leaves what the
// model says, and undo and redo give the texts back as single steps.
TEST(RidEderInsert, ColumnEditsAgreeWithTheModelAndUndoAsOneStep) {
  const std::string pieces[] = {"a", "b", "c", " ", "\x83\x41", "\x95\x5c", "\x81\x40", "\x93\xfa"};
  for (uint32_t seed = 1; seed <= 500; ++seed) {
    std::mt19937 rng(seed);
    const bool pastEol = seed % 2;
    const auto action = static_cast<TColumnAction>(rng() % 5);
    std::string text, rows;
    int32_t longest = 0;
    const int32_t lineCount = 2 + rng() % 4;
    for (int32_t n = 0; n < lineCount; ++n) {
      std::string line;
      for (int k = rng() % 9; k > 0; --k) line += pieces[rng() % std::size(pieces)];
      longest = std::max(longest, static_cast<int32_t>(line.size()));
      text += (n ? "\r\n" : "") + line;
    }
    for (int k = 1 + rng() % 4; k > 0; --k) {
      if (!rows.empty()) rows += "\r\n";
      for (int n = 1 + rng() % 2; n > 0; --n) rows += pieces[rng() % std::size(pieces)];
    }
    TEder s;
    s.Ed.SetOptions(WindowOptions(pastEol));
    s.Ed.SetText(text);
    text = s.Ed.GetText();  // without a break after the last line
    TColumnModel model;
    model.PastEol = pastEol;
    model.Load(text);
    // Ends as a click gives them: never inside a character of their own line.
    const auto pos = [&] {
      TBufferCoord p{1 + static_cast<int32_t>(rng() % (longest + 5)),
                     1 + static_cast<int32_t>(rng() % model.Lines.size())};
      p.Char = model.OffTrail(p.Line, p.Char);
      return p;
    };
    TBufferCoord anchor = pos(), end = pos();
    if (anchor.Char == end.Char) ++end.Char;  // a block of some width
    TKeys keys{s.Ed};
    keys.DrawColumns(anchor, end);
    if (!s.Ed.SelAvail()) continue;  // the anchor went back to the end of a short line
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << " " << ColumnActionNames[action] << (pastEol ? ", past" : "")
                 << " text " << testing::PrintToString(text) << " rows "
                 << testing::PrintToString(rows) << " anchor " << s.Ed.GetRawBlockBegin().Char
                 << "," << s.Ed.GetRawBlockBegin().Line << " end " << s.Ed.GetRawBlockEnd().Char
                 << "," << s.Ed.GetRawBlockEnd().Line);
    model.Apply(action, s.Ed.GetRawBlockBegin(), s.Ed.GetRawBlockEnd(), s.Ed.GetCaretXY(), rows,
                s.Ed.GetTabWidth());
    keys.Act(action, rows);
    const std::string after = s.Ed.GetText();
    ASSERT_EQ(after, model.Join());
    ExpectOffTrailBytes(s.Ed);
    ExpectOneStepBothWays(s.Ed, text, after);
  }
}

std::string ClipboardBlock() {
  std::string block;
  Clipboard()->GetBuffer(RidEderClipboardFormat(), block);
  return block;
}

TEST(RidEderInsert, CopyPlacesTextAndTheModeBlock) {
  TEder s;
  s.Ed.SetText("ab" + Ni + "\r\ncdef\r\ng");
  s.Select(smNormal, {2, 1}, {3, 2});
  s.Ed.CopyToClipboard();
  EXPECT_EQ(Clipboard()->GetAsText(), "b" + Ni + "\r\ncd");
  EXPECT_EQ(ClipboardBlock(), std::string("\0b", 2) + Ni + "\r\ncd" + std::string(1, '\0'));

  // Short rows of a column copy keep their padding even when trailing blanks are trimmed.
  s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoTrimTrailingSpaces});
  s.Select(smColumn, {2, 1}, {4, 3});
  s.Ed.CopyToClipboard();
  EXPECT_EQ(Clipboard()->GetAsText(), "b" + Ni + "\r\nde\r\n  ");
  EXPECT_EQ(ClipboardBlock()[0], '\2');
  EXPECT_TRUE(s.Ed.GetOptions().Contains(eoTrimTrailingSpaces));

  // Line mode: a break after every line but the buffer's last.
  s.Select(smLine, {1, 1}, {1, 2});
  s.Ed.CopyToClipboard();
  EXPECT_EQ(Clipboard()->GetAsText(), "ab" + Ni + "\r\ncdef\r\n");
  s.Select(smLine, {1, 2}, {1, 3});
  s.Ed.CopyToClipboard();
  EXPECT_EQ(Clipboard()->GetAsText(), "cdef\r\ng");
}

TEST(RidEderInsert, PasteUsesTheCopiedModeAndUndoesInOneStep) {
  TEder s;
  s.Ed.SetText("one\r\ntwo\r\nthree");
  s.Select(smLine, {1, 1}, {2, 1});
  s.Ed.CopyToClipboard();
  // A line block goes in above the caret line whatever the current mode, replacing the
  // selection.
  s.Select(smNormal, {2, 3}, {4, 3});
  s.Ed.PasteFromClipboard();
  EXPECT_EQ(s.Ed.GetText(), "one\r\ntwo\r\none\r\ntee");
  s.Ed.Undo();
  EXPECT_EQ(s.Ed.GetText(), "one\r\ntwo\r\nthree");
  EXPECT_EQ(s.Ed.GetSelText(), "hr");
  EXPECT_FALSE(s.Ed.CanUndo());
  s.Ed.Redo();
  EXPECT_EQ(s.Ed.GetText(), "one\r\ntwo\r\none\r\ntee");
  EXPECT_FALSE(s.Ed.CanRedo());

  // A column block pads short lines and appends lines below the last.
  s.Ed.SetText("abc\r\nd");
  s.Select(smColumn, {1, 1}, {3, 2});
  s.Ed.CopyToClipboard();  // "ab", "d "
  s.Ed.SetSelectionMode(smNormal);
  s.Ed.SetCaretXY({4, 2});
  s.Ed.PasteFromClipboard();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\nd  ab\r\n   d ");
  s.Ed.Undo();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\nd");

  // Pasted over a line selection, the block's rows are undone as rows, not as whole lines.
  s.Ed.SetText("abc\r\nd\r\nkeep\r\nthis");
  s.Select(smColumn, {1, 1}, {3, 2});
  s.Ed.CopyToClipboard();
  s.Select(smLine, {1, 2}, {2, 2});
  s.Ed.PasteFromClipboard();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\nabkeep\r\nd this");
  s.Ed.Undo();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\nd\r\nkeep\r\nthis");

  // A paste that changes nothing leaves no step and keeps what can be redone.
  s.Ed.Redo();
  s.Ed.Undo();
  ASSERT_TRUE(s.Ed.CanRedo());
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->SetAsText("");
  Clipboard()->Close();
  s.Ed.SetSelectionMode(smNormal);
  s.Ed.SetCaretXY({1, 1});
  s.Ed.PasteFromClipboard();
  EXPECT_FALSE(s.Ed.CanUndo());
  EXPECT_TRUE(s.Ed.CanRedo());
}

// Our own block on the clipboard, as a copy in Mode places it.
void PutBlock(TRidSelectionMode Mode, const std::string& Text) {
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->SetAsText(Text);
  Clipboard()->SetBuffer(RidEderClipboardFormat(),
                         std::string(1, static_cast<char>(Mode)) + Text + '\0');
  Clipboard()->Close();
}

std::string WithoutTrailingBlanks(std::string S) {
  S.erase(S.find_last_not_of(" \t") + 1);
  return S;
}

// With trimming on, every line a paste writes loses its trailing blanks, whatever the block's
// mode, and the paste with its trims is one undo step; lines it does not write keep theirs.
TEST(RidEderInsert, PastesWithTrimmingTrimEveryLineTheyWrite) {
  struct Case {
    const char* Name;
    std::string Text;
    TRidSelectionMode Mode;  // of the block
    std::string Block;
    TBufferCoord Caret;
    std::string Want;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"lines above the caret line", "x \r\ny ", smLine, "a  \r\n\tb\t\r\n", {1, 2}, "x \r\na\r\n\tb\r\ny "},
      {"lines filling the empty last line", "x\r\n\r\n", smLine, "a \r\nb\t", {1, 2}, "x\r\na\r\nb"},
      {"text over a break", "xy  \r\nz ", smNormal, "p  \r\nq  ", {2, 1}, "xp\r\nq  y\r\nz "},
      {"rows into lines", "abcd\r\nef\r\ng ", smColumn, "  \r\n  ", {3, 1}, "ab  cd\r\nef\r\ng "},
      {"rows below the last line", "ab", smColumn, "1 \r\n  \r\nb \r\n", {3, 1}, "ab1\r\n\r\n  b\r\n"},
  };
  // clang-format on
  for (bool pastEol : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.Name << (pastEol ? "" : ", the caret within lines"));
      TEder s;
      TRidEderorOptions options = s.Ed.GetOptions() + TRidEderorOptions{eoTrimTrailingSpaces};
      s.Ed.SetOptions(pastEol ? options : options - TRidEderorOptions{eoScrollPastEol});
      s.Ed.SetText(c.Text);
      const std::string before = s.Ed.GetText();
      s.Ed.SetCaretXY(c.Caret);
      PutBlock(c.Mode, c.Block);
      s.Ed.PasteFromClipboard();
      EXPECT_EQ(s.Ed.GetText(), c.Want);
      EXPECT_TRUE(s.Ed.GetModified());
      s.Ed.Undo();
      EXPECT_EQ(s.Ed.GetText(), before);
      EXPECT_FALSE(s.Ed.CanUndo());
      EXPECT_FALSE(s.Ed.GetModified());
      s.Ed.Redo();
      EXPECT_EQ(s.Ed.GetText(), c.Want);
    }
  }
}

// Random line and column blocks of blank-ended rows pasted into blank-ended lines, against a
// model: the rows a paste writes, and only those, lose their trailing blanks.
TEST(RidEderInsert, LineAndColumnPastesTrimAsTheModelSays) {
  std::mt19937 rng(42);
  const auto row = [&] {
    static const char* const pieces[] = {"a", "b", " ", "\t", "\x93\xfa"};
    std::string r;
    for (int n = rng() % 5; n > 0; --n) r += pieces[rng() % std::size(pieces)];
    return r;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> lines(1 + rng() % 8), rows(1 + rng() % 12);
    for (auto& l : lines) l = row();
    for (auto& r : rows) r = row();
    const bool column = rng() % 2;
    const int32_t y = 1 + rng() % lines.size();
    const int32_t x = column ? 1 + rng() % 6 : 1;
    const auto joined = [](const std::vector<std::string>& Lines) {
      std::string s;
      for (size_t k = 0; k < Lines.size(); ++k) s += (k ? "\r\n" : "") + Lines[k];
      return s;
    };
    // Lines end in a break each, column rows have none after the last.
    const std::string text = joined(lines), block = joined(rows) + (column ? "" : "\r\n");
    SCOPED_TRACE(testing::Message() << "round " << round << " text " << testing::PrintToString(text)
                                    << (column ? " column " : " lines ")
                                    << testing::PrintToString(block) << " at " << x << "," << y);
    // The model. A column row goes in at byte column x (of a line without double-byte
    // characters: elsewhere a column inside one moves off it), an empty row leaves its line alone.
    std::vector<std::string> want = lines;
    if (column) {
      for (size_t k = 0; k < rows.size(); ++k) {
        const size_t at = y - 1 + k;
        if (at >= want.size()) {
          want.push_back(rows[k].empty() ? "" : std::string(x - 1, ' ') + rows[k]);
        } else if (!rows[k].empty()) {
          want[at].resize(std::max<size_t>(want[at].size(), x - 1), ' ');
          want[at].insert(x - 1, rows[k]);
        } else {
          continue;
        }
        want[at] = WithoutTrailingBlanks(want[at]);
      }
    } else {
      for (size_t k = 0; k < rows.size(); ++k)
        want.insert(want.begin() + (y - 1 + k), WithoutTrailingBlanks(rows[k]));
    }
    bool modelled = true;
    for (size_t k = 0; column && k < rows.size() && y - 1 + k < lines.size(); ++k)
      modelled = modelled && lines[y - 1 + k].find('\x93') == std::string::npos;

    TEder s;
    s.Ed.SetOptions(s.Ed.GetOptions() + TRidEderorOptions{eoTrimTrailingSpaces});
    for (const std::string& l : lines) s.Ed.GetLines()->Add(l);
    s.Ed.SetCaretXY({x, y});
    PutBlock(column ? smColumn : smLine, block);
    s.Ed.PasteFromClipboard();
    if (modelled) {
      ASSERT_EQ(s.Ed.GetText(), joined(want));
    }
    const std::string pasted = s.Ed.GetText();
    s.Ed.Undo();
    ASSERT_EQ(s.Ed.GetText(), text);
    s.Ed.Redo();
    ASSERT_EQ(s.Ed.GetText(), pasted);
  }
}

// A block of many lines leaves the text, the caret and the view where pasting its lines one at
// a time leaves them, from a caret in view, above it or below it, with and without word wrap:
// the view follows the caret once to the block's end, not row by row.
TEST(RidEderInsert, APasteOfManyLinesEndsWhereItsLinesPastedOneByOneEnd) {
  std::mt19937 rng(7);
  const auto line = [&] {
    std::string l(rng() % 3 == 0 ? 30 + rng() % 90 : rng() % 12, 'a');  // some wrap
    if (rng() % 2) l += rng() % 2 ? "  " : "\t";
    return l;
  };
  for (int round = 0; round < 60; ++round) {
    std::vector<std::string> lines(1 + rng() % 80), rows(1 + rng() % 60);
    for (auto& l : lines) l = line();
    for (auto& r : rows) r = line();
    const bool wrap = rng() % 2, trim = rng() % 2;
    const int32_t caretLine = 1 + rng() % lines.size(), top = 1 + rng() % lines.size();
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << rows.size() << " rows at line "
                                    << caretLine << " of " << lines.size() << ", top line " << top
                                    << (wrap ? ", wrapped" : "") << (trim ? ", trimmed" : ""));
    const auto start = [&](TEder& S) {
      if (trim) S.Ed.SetOptions(S.Ed.GetOptions() + TRidEderorOptions{eoTrimTrailingSpaces});
      S.Ed.SetWordWrap(wrap);
      for (const std::string& l : lines) S.Ed.GetLines()->Add(l);
      S.Ed.SetCaretXY({1, caretLine});
      S.Ed.SetTopLine(top);
    };
    TEder whole, oneByOne;
    start(whole);
    start(oneByOne);
    std::string block;
    for (const std::string& r : rows) block += r + "\r\n";
    PutBlock(smLine, block);
    whole.Ed.PasteFromClipboard();
    for (const std::string& r : rows) {
      PutBlock(smLine, r + "\r\n");
      oneByOne.Ed.PasteFromClipboard();
    }
    ASSERT_EQ(whole.Ed.GetText(), oneByOne.Ed.GetText());
    EXPECT_EQ(whole.Ed.GetCaretXY(), oneByOne.Ed.GetCaretXY());
    EXPECT_EQ(whole.Ed.GetLeftChar(), oneByOne.Ed.GetLeftChar());
    if (!(wrap && trim)) {
      EXPECT_EQ(whole.Ed.GetTopLine(), oneByOne.Ed.GetTopLine());
    } else {
      // The view followed rows that the blanks trimmed at the paste's end made fewer: the caret
      // may stand a few rows above the window's last, but in it.
      const int32_t row = whole.Ed.GetDisplayXY().Row, first = whole.Ed.GetTopLine();
      EXPECT_TRUE(row >= first && row < first + whole.Ed.GetLinesInWindow()) << row << " " << first;
    }
  }
}

TEST(RidEderInsert, ForeignClipboardDataPastesSafely) {
  TEder s;
  s.Ed.SetText("xy");
  s.Ed.SetCaretXY({2, 1});
  // An unknown mode and a block without its NUL: plain text up to the block's end.
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->SetBuffer(CF_TEXT, "ignored");
  Clipboard()->SetBuffer(RidEderClipboardFormat(), std::string("\7") + Ka + "\r\nz");
  Clipboard()->Close();
  s.Ed.PasteFromClipboard();
  EXPECT_EQ(s.Ed.GetText(), "x" + Ka + "\r\nzy");
  // Plain text from another program pastes in the control's own mode.
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->SetAsText(Ni);
  Clipboard()->Close();
  s.Ed.SetText("ab\r\ncd");
  s.Ed.SetSelectionMode(smColumn);
  s.Ed.SetCaretXY({2, 1});
  s.Ed.PasteFromClipboard();
  EXPECT_EQ(s.Ed.GetText(), "a" + Ni + "b\r\ncd");
  s.Ed.SetReadOnly(true);
  EXPECT_FALSE(s.Ed.CanPaste());
}

// A plugin that fails inside an edit must not leave the control locked or the undo block open.
class TFailingPlugin : public TRidEderPlugin {
 public:
  using TRidEderPlugin::TRidEderPlugin;
  bool Fail = true;
  void AfterPaint(TCanvas&, const TRect&, int32_t, int32_t) override {}
  void LinesInserted(int32_t, int32_t) override {
    if (Fail) throw Exception("plugin failed");
  }
  void LinesDeleted(int32_t, int32_t) override {}
};

TEST(RidEderInsert, AFailingPluginReleasesTheLocks) {
  TEder e;
  e.Ed.SetText("abc");
  TFailingPlugin plugin(&e.Ed);
  e.Select(smNormal, {2, 1}, {2, 1});
  EXPECT_THROW(e.Ed.SetSelText("X\r\nY"), Exception);
  EXPECT_EQ(e.Ed.GetPaintLock(), 0);
  plugin.Fail = false;
  e.Ed.SetCaretXY({1, 1});
  e.Ed.SetSelText("Z");
  e.Ed.Undo();  // only the last edit: the failed one's undo block was closed
  EXPECT_EQ(e.Ed.Lines()->Get(0).substr(0, 1), "a");
  EXPECT_NE(e.Ed.GetText(), "abc");
}

}  // namespace
}  // namespace rid
