// Caret moves, word positions, Home and End, block indent and unindent and case changes.
#include <gtest/gtest.h>

#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "platform/Locale.h"

namespace rid {
namespace {

const std::string Ni = "\x93\xfa";   // 日: its trail byte is in the lead-byte range
const std::string Hon = "\x96\x7b";  // 本
const std::string Hyo = "\x95\x5c";  // 表: its trail byte is a backslash
const std::string A = "\x83\x41";    // ア: its trail byte is the letter A

// A shown editor whose window holds exactly Chars characters in a row.
struct TEder {
  TRidEder Ed{nullptr};
  explicit TEder(int32_t Chars = 40) {
    Ed.SetBounds(0, 0, 600, 240);
    Ed.Show();
    const int32_t frame = Ed.GetWidth() - Ed.ClientWidth();
    Ed.SetBounds(0, 0, frame + Ed.GetGutterWidth() + 2 + Chars * Ed.GetCharWidth(), 240);
  }
};

enum TMove { mvLeft, mvRight, mvSelRight, mvUp, mvDown, mvHome, mvEnd, mvWordRight, mvWordLeft };

void Move(TRidEder& Ed, TMove M) {
  switch (M) {
    case mvLeft:
      return Ed.MoveCaretHorz(-1, false);
    case mvRight:
      return Ed.MoveCaretHorz(1, false);
    case mvSelRight:
      return Ed.MoveCaretHorz(1, true);
    case mvUp:
      return Ed.MoveCaretVert(-1, false);
    case mvDown:
      return Ed.MoveCaretVert(1, false);
    case mvHome:
      return Ed.DoHomeKey(false);
    case mvEnd:
      return Ed.DoEndKey(false);
    case mvWordRight:
      return Ed.MoveCaretAndSelection(Ed.GetCaretXY(), Ed.NextWordPos(), false);
    case mvWordLeft:
      return Ed.MoveCaretAndSelection(Ed.GetCaretXY(), Ed.PrevWordPos(), false);
  }
}

struct TStep {
  TMove Move;
  TBufferCoord Want;
  bool AtRowEnd = false;  // under word wrap: shown at the end of the row before
};

struct TMoveCase {
  const char* Name;
  std::string Text;
  TRidEderorOptions Add, Remove;
  int32_t WrapChars;  // 0: no word wrap
  TBufferCoord Start;
  std::vector<TStep> Steps;
};

TEST(RidEderMove, MovesWordsHomeAndEnd) {
  const TRidEderorOptions pastEol{eoScrollPastEol}, keepX{eoKeepCaretX};
  const TRidEderorOptions home{eoEnhanceHomeKey}, end{eoEnhanceEndKey};
  const std::string letters = "abcdefghijklmno";
  // clang-format off
  const TMoveCase cases[] = {
      {"a double-byte character is one step", "a" + Ni + "b", {}, {}, 0, {2, 1},
       {{mvRight, {4, 1}}, {mvLeft, {2, 1}}, {mvLeft, {1, 1}}, {mvLeft, {1, 1}}}},
      {"a trail byte below steps left and is taken back", "0123456789ab\r\n12345678" + Ni +
       "x\r\nabcdefghijkl", {}, {}, 0, {10, 1}, {{mvDown, {9, 2}}, {mvDown, {10, 3}},
       {mvUp, {9, 2}}, {mvUp, {10, 1}}}},
      {"a move left after stepping off a trail byte is a new column", "aaaaaaaaaaaa\r\naaaaaaaa" +
       Ni + Hon + "\r\naaaaaaaaaaaa", {}, {}, 0, {10, 1}, {{mvDown, {9, 2}}, {mvLeft, {8, 2}},
       {mvDown, {8, 3}}, {mvUp, {8, 2}}}},
      {"so are a move right and End", "aaaaaaaaaaaa\r\naaaaaaaa" + Ni + Hon +
       "\r\naaaaaaaaaaaaaa", {}, {}, 0, {10, 1}, {{mvDown, {9, 2}}, {mvRight, {11, 2}},
       {mvDown, {11, 3}}, {mvUp, {11, 2}}, {mvEnd, {13, 2}}, {mvDown, {13, 3}}}},
      {"without past-the-end the line ends wrap", "ab\r\ncd", {}, pastEol, 0, {3, 1},
       {{mvRight, {1, 2}}, {mvLeft, {3, 1}}, {mvRight, {1, 2}}, {mvRight, {2, 2}}}},
      {"a short line keeps the column only with eoKeepCaretX", "abcdefgh\r\nab\r\nabcdefgh",
       {}, pastEol, 0, {7, 1}, {{mvDown, {3, 2}}, {mvDown, {3, 3}}}},
      {"LastCaretX is kept across a short line", "abcdefgh\r\nab\r\nabcdefgh", keepX, pastEol,
       0, {7, 1}, {{mvDown, {3, 2}}, {mvDown, {7, 3}}, {mvUp, {3, 2}}, {mvUp, {7, 1}}}},
      {"a display column inside a tab", "abcdefgh\r\n\tx\r\nabcdefgh", keepX, {}, 0, {3, 1},
       {{mvDown, {1, 2}}, {mvDown, {3, 3}}}},
      {"the display column across tabs", "abcdefgh\r\n\tx\r\nabcdefgh", {}, {}, 0, {6, 1},
       {{mvDown, {3, 2}}, {mvDown, {6, 3}}}},
      {"enhanced Home alternates", "    abc", home, {}, 0, {7, 1},
       {{mvHome, {5, 1}}, {mvHome, {1, 1}}, {mvHome, {5, 1}}}},
      {"plain Home", "    abc", {}, home, 0, {7, 1}, {{mvHome, {1, 1}}}},
      {"enhanced End alternates", "abc  \t", end, {}, 0, {1, 1},
       {{mvEnd, {4, 1}}, {mvEnd, {7, 1}}, {mvEnd, {4, 1}}}},
      {"plain End", "abc  ", {}, end, 0, {1, 1}, {{mvEnd, {6, 1}}}},
      {"words and double-byte characters", "abc " + Ni + Hon + " def", {}, {}, 0, {1, 1},
       {{mvWordRight, {5, 1}}, {mvWordRight, {7, 1}}, {mvWordRight, {10, 1}},
        {mvWordRight, {13, 1}}, {mvWordLeft, {10, 1}}, {mvWordLeft, {7, 1}},
        {mvWordLeft, {5, 1}}, {mvWordLeft, {1, 1}}}},
      {"trail bytes that look like letters and backslashes", "a" + Hyo + "b" + A + "c", {}, {},
       0, {1, 1}, {{mvWordRight, {2, 1}}, {mvWordRight, {4, 1}}, {mvWordRight, {5, 1}},
                   {mvWordRight, {7, 1}}, {mvWordLeft, {5, 1}}, {mvWordLeft, {4, 1}},
                   {mvWordLeft, {2, 1}}}},
      {"from the last character to the next line's first word", "ab cd\r\n  ef gh", {}, {}, 0,
       {5, 1}, {{mvWordRight, {3, 2}}, {mvWordLeft, {6, 1}}, {mvWordLeft, {4, 1}}}},
      {"the first line's start and the last line's end", "ab", {}, {}, 0, {1, 1},
       {{mvWordLeft, {1, 1}}, {mvWordRight, {3, 1}}, {mvWordRight, {3, 1}}}},
      {"a row end shows the caret there once", letters, {}, {}, 10, {10, 1},
       {{mvRight, {11, 1}, true}, {mvRight, {11, 1}}, {mvRight, {12, 1}}, {mvLeft, {11, 1}},
        {mvLeft, {11, 1}, true}, {mvLeft, {10, 1}}}},
      {"End and Home on wrapped rows", letters, {}, {}, 10, {3, 1},
       {{mvEnd, {11, 1}, true}, {mvHome, {1, 1}}, {mvDown, {11, 1}}, {mvEnd, {16, 1}},
        {mvUp, {6, 1}}}},
      {"rows of double-byte characters", Ni + Ni + Ni + Ni + Ni + Ni, {}, pastEol, 9, {7, 1},
       {{mvRight, {9, 1}, true}, {mvRight, {9, 1}}, {mvRight, {11, 1}}, {mvLeft, {9, 1}},
        {mvLeft, {9, 1}, true}, {mvLeft, {7, 1}}}},
      {"a trail byte below a wrapped row", "abcdefghij\r\n" + Ni + Ni + Ni + Ni + Ni, {},
       pastEol, 10, {4, 1}, {{mvDown, {3, 2}}, {mvUp, {4, 1}}}},
  };
  // clang-format on
  for (const TMoveCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s(c.WrapChars ? c.WrapChars : 40);
    s.Ed.SetOptions(s.Ed.GetOptions() + c.Add - c.Remove);
    s.Ed.SetTabWidth(4);
    s.Ed.SetText(c.Text);
    if (c.WrapChars) {
      s.Ed.SetWordWrap(true);
      ASSERT_EQ(s.Ed.GetCharsInWindow(), c.WrapChars);
    }
    s.Ed.SetCaretXY(c.Start);
    for (size_t i = 0; i < c.Steps.size(); ++i) {
      Move(s.Ed, c.Steps[i].Move);
      EXPECT_EQ(s.Ed.GetCaretXY(), c.Steps[i].Want) << "step " << i;
      if (c.WrapChars) {
        EXPECT_EQ(s.Ed.GetCaretAtEndOfRow(), c.Steps[i].AtRowEnd) << "step " << i;
      }
    }
  }
}

TEST(RidEderMove, SelectionCommandsExtendFromTheAnchorAndMovesEndUndoGrouping) {
  TEder s;
  s.Ed.SetText("a" + Ni + "bc\r\nxyz");
  s.Ed.SetCaretXY({1, 1});
  s.Ed.MoveCaretHorz(1, true);
  s.Ed.MoveCaretHorz(1, true);
  EXPECT_EQ(s.Ed.GetSelText(), "a" + Ni);
  s.Ed.MoveCaretVert(1, true);
  EXPECT_EQ(s.Ed.GetBlockBegin(), BufferCoord(1, 1));
  EXPECT_EQ(s.Ed.GetBlockEnd(), BufferCoord(4, 2));
  s.Ed.MoveCaretHorz(1, false);
  EXPECT_FALSE(s.Ed.SelAvail());

  // Typing, a move, typing: with eoGroupUndo the move keeps the two apart.
  s.Ed.SetCaretXY({4, 2});
  s.Ed.SetSelText("1");
  s.Ed.MoveCaretHorz(-1, false);
  s.Ed.SetSelText("2");
  s.Ed.Undo();
  EXPECT_EQ(s.Ed.GetLines()->Get(1), "xyz1");

  // SetCaretAndSelection keeps a column selection a column selection.
  s.Ed.SetSelectionMode(smColumn);
  s.Ed.SetCaretXY({1, 1});
  s.Ed.SetCaretAndSelection({3, 2}, {1, 1}, {3, 2});
  EXPECT_EQ(s.Ed.GetActiveSelectionMode(), smColumn);
  EXPECT_EQ(s.Ed.GetSelText(), "a" + Ni + "\r\nxy");
}

struct TBlockCase {
  const char* Name;
  std::string Text;
  TRidSelectionMode Mode;
  TBufferCoord Begin, End;
  bool Indent;
  bool TabsToSpaces;
  std::string Want;
  TBufferCoord WantBegin, WantEnd;
};

TEST(RidEderMove, BlockIndentAndUnindent) {
  // clang-format off
  const TBlockCase cases[] = {
      {"three whole lines", "a\r\nb\r\nc\r\nd", smNormal, {1, 1}, {1, 4}, true, false,
       "\ta\r\n\tb\r\n\tc\r\nd", {2, 1}, {1, 4}},
      {"with spaces, the end moves with its text", "ab\r\ncd", smNormal, {2, 1}, {2, 2}, true,
       true, "    ab\r\n    cd", {6, 1}, {6, 2}},
      {"a column block at its column", "abcd\r\nefgh", smColumn, {3, 1}, {4, 2}, true, false,
       "ab\tcd\r\nef\tgh", {4, 1}, {5, 2}},
      {"two spaces and a tab", "  \tx\r\ny", smNormal, {1, 1}, {2, 2}, false, false,
       "x\r\ny", {1, 1}, {2, 2}},
      {"one tab, or up to a tab width of spaces", "\t\tx\r\n      y\r\nz", smNormal, {3, 1},
       {8, 2}, false, false, "\tx\r\n  y\r\nz", {2, 1}, {4, 2}},
      {"a start on an unindented line stays", "ab\r\n\tcd", smNormal, {3, 1}, {3, 2}, false,
       false, "ab\r\ncd", {3, 1}, {2, 2}},
      {"a column block on a double-byte character", Ni + "  a\r\nx  yb", smColumn, {2, 1},
       {4, 2}, false, false, Ni + "a\r\nxyb", {2, 1}, {4, 2}},
  };
  // clang-format on
  for (const TBlockCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    TRidEderorOptions o = s.Ed.GetOptions() - TRidEderorOptions{eoTabsToSpaces};
    if (c.TabsToSpaces) o = o + TRidEderorOptions{eoTabsToSpaces};
    s.Ed.SetOptions(o);
    s.Ed.SetTabWidth(4);
    s.Ed.SetText(c.Text);
    s.Ed.SetSelectionMode(c.Mode);
    s.Ed.SetCaretXY(c.End);
    s.Ed.SetBlockBegin(c.Begin);
    s.Ed.SetBlockEnd(c.End);
    if (c.Indent)
      s.Ed.DoBlockIndent();
    else
      s.Ed.DoBlockUnindent();
    EXPECT_EQ(s.Ed.GetText(), c.Want);
    EXPECT_EQ(s.Ed.GetBlockBegin(), c.WantBegin);
    EXPECT_EQ(s.Ed.GetBlockEnd(), c.WantEnd);
    EXPECT_EQ(s.Ed.GetActiveSelectionMode(), c.Mode);
    // One step back, with the selection as it was, and forward again.
    s.Ed.Undo();
    EXPECT_EQ(s.Ed.GetText(), c.Text);
    EXPECT_FALSE(s.Ed.CanUndo());
    if (c.Indent) {  // the selection as it was, in its own mode
      EXPECT_EQ(s.Ed.GetBlockBegin(), c.Begin);
      EXPECT_EQ(s.Ed.GetBlockEnd(), c.End);
      EXPECT_EQ(s.Ed.GetActiveSelectionMode(), c.Mode);
    }
    s.Ed.Redo();
    EXPECT_EQ(s.Ed.GetText(), c.Want);
  }
}

struct TCaseCase {
  const char* Name;
  std::string Text;
  TBufferCoord Begin, End;  // equal: no selection
  TRidEderorCommand Cmd;
  std::string Want;
  TBufferCoord WantCaret;
  bool WantSelection;
  TRidSelectionMode Mode = smNormal;
};

TEST(RidEderMove, CaseChangesTouchOnlySingleByteLetters) {
  const std::string fullA = "\x82\x60";  // full-width A
  const std::string lone = "\x83 ";      // a lead byte before a byte that cannot trail it
  const std::string Di = "\x83\x61";     // ヂ: its trail byte is the letter a
  // clang-format off
  const TCaseCase cases[] = {
      {"toggle", "aB", {1, 1}, {3, 1}, ecToggleCaseBlock, "Ab", {3, 1}, true},
      {"toggle keeps trail bytes", A + "a" + Hyo + "x", {1, 1}, {7, 1}, ecToggleCaseBlock,
       A + "A" + Hyo + "X", {7, 1}, true},
      {"upper keeps full-width letters and kana", fullA + "b\xb1", {1, 1}, {5, 1},
       ecUpperCaseBlock, fullA + "B\xb1", {5, 1}, true},
      {"lower", "AB" + A, {3, 1}, {1, 1}, ecLowerCaseBlock, "ab" + A, {1, 1}, true},
      {"title of the word at the caret", "x hELLO", {4, 1}, {4, 1}, ecTitleCase, "x Hello",
       {4, 1}, false},
      {"title after a double-byte character", "x " + A + "eLLO", {5, 1}, {5, 1}, ecTitleCase,
       "x " + A + "ello", {5, 1}, false},
      {"upper of the word before the caret", "abc  ", {6, 1}, {6, 1}, ecUpperCase, "ABC  ",
       {6, 1}, false},
      {"a block command without a selection takes one character", A + "b", {1, 1}, {1, 1},
       ecToggleCaseBlock, A + "b", {3, 1}, false},
      {"and steps past the line end to the next line", "ab\r\ncd", {3, 1}, {3, 1},
       ecUpperCaseBlock, "ab\r\ncd", {1, 2}, false},
      // A lone lead byte is a character of its own and no byte moves, also where the lead byte
      // would take the byte after a column row were the row taken out.
      {"upper of a column right of lone lead bytes", "a" + lone + "bc\r\nd" + lone + "ef",
       {3, 1}, {5, 2}, ecUpperCaseBlock, "a" + lone + "Bc\r\nd" + lone + "Ef", {5, 2}, true,
       smColumn},
      {"lower of a column right of lone lead bytes", lone + "A\xb1\r\n" + lone + "B\xb1", {2, 1},
       {4, 2}, ecLowerCaseBlock, lone + "a\xb1\r\n" + lone + "b\xb1", {4, 2}, true, smColumn},
      {"toggle of a column whose left edge falls on a trail byte like a letter",
       Di + "bC\r\nxyz", {2, 1}, {4, 2}, ecToggleCaseBlock, Di + "BC\r\nxYZ", {4, 2}, true,
       smColumn},
      {"upper of a column holding lead bytes at line ends", "ab\x83\r\ncd\x83", {2, 1}, {4, 2},
       ecUpperCaseBlock, "aB\x83\r\ncD\x83", {4, 2}, true, smColumn},
      {"lower of a selection with a lone lead byte and a trail byte like a letter",
       lone + "AB" + A + "C", {1, 1}, {8, 1}, ecLowerCaseBlock, lone + "ab" + A + "c", {8, 1},
       true},
      {"toggle of lines ending in lead bytes", "aB\x83\r\ncD\x83", {1, 1}, {1, 2},
       ecToggleCaseBlock, "Ab\x83\r\nCd\x83", {1, 2}, true, smLine},
      {"upper of lines of trail bytes like letters", Di + Di + "\r\nab", {1, 1}, {2, 2},
       ecUpperCaseBlock, Di + Di + "\r\nAB", {2, 2}, true, smLine},
      {"title of the word after a lone lead byte", lone + "hELLO", {4, 1}, {4, 1}, ecTitleCase,
       lone + "Hello", {4, 1}, false},
      {"upper of a word holding a trail byte like a letter", "x" + Di + "y", {2, 1}, {2, 1},
       ecUpperCase, "X" + Di + "Y", {2, 1}, false},
      {"toggle of the word before a lead byte at the line end", "aBc \x83", {6, 1}, {6, 1},
       ecToggleCase, "AbC \x83", {6, 1}, false},
      {"a block command at a lone lead byte takes it alone", lone + "a", {1, 1}, {1, 1},
       ecUpperCaseBlock, lone + "a", {2, 1}, false},
  };
  // clang-format on
  for (const TCaseCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    s.Ed.SetText(c.Text);
    s.Ed.SetSelectionMode(c.Mode);
    s.Ed.SetCaretXY(c.End);
    s.Ed.SetBlockBegin(c.Begin);
    s.Ed.SetBlockEnd(c.End);
    s.Ed.DoCaseChange(c.Cmd);
    EXPECT_EQ(s.Ed.GetText(), c.Want);
    EXPECT_EQ(s.Ed.GetCaretXY(), c.WantCaret);
    EXPECT_EQ(s.Ed.SelAvail(), c.WantSelection);
    if (c.WantSelection) {
      EXPECT_EQ(
          s.Ed.GetBlockBegin(),
          c.Begin.Line * 1000 + c.Begin.Char < c.End.Line * 1000 + c.End.Char ? c.Begin : c.End);
    }
    while (s.Ed.CanUndo()) s.Ed.Undo();
    EXPECT_EQ(s.Ed.GetText(), c.Text);
    while (s.Ed.CanRedo()) s.Ed.Redo();
    EXPECT_EQ(s.Ed.GetText(), c.Want);
  }
  TEder s;
  EXPECT_THROW(s.Ed.DoCaseChange(ecUpperCase + 4), EAssertionFailed);

  // A column block keeps its short rows unpadded.
  s.Ed.SetText("ab\r\nabcdef");
  s.Ed.SetSelectionMode(smColumn);
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({5, 2});
  s.Ed.DoCaseChange(ecUpperCaseBlock);
  EXPECT_EQ(s.Ed.GetText(), "AB\r\nABCDef");

  // A word command takes the word at or before the caret whatever is selected, also a block
  // reaching past a line's end, and undo gives the text back.
  for (TRidSelectionMode mode : {smNormal, smColumn, smLine}) {
    SCOPED_TRACE(testing::Message() << "mode " << int(mode));
    TEder w;
    const std::string text = "ab cd\r\n\r\nef";
    w.Ed.SetText(text);
    w.Ed.SetSelectionMode(mode);
    w.Ed.SetCaretXY({9, 2});
    w.Ed.SetBlockBegin({9, 2});
    w.Ed.SetBlockEnd({2, 3});
    w.Ed.CommandProcessor(ecUpperCase, 0, nullptr);
    EXPECT_EQ(w.Ed.GetText(), "ab CD\r\n\r\nef");
    EXPECT_FALSE(w.Ed.SelAvail());
    w.Ed.CommandProcessor(ecUndo, 0, nullptr);
    EXPECT_EQ(w.Ed.GetText(), text);
  }
}

TEST(RidEderMove, ACaseChangeThatFailsGivesCaretAndSelectionBack) {
  TEder s;
  s.Ed.SetText("ab\r\ncd\r\nef");
  s.Ed.SetCaretXY({2, 3});
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({2, 3});
  // A change handler that fails as the change is told.
  s.Ed.OnChange = [](TObject*) { throw Exception("handler failed"); };
  EXPECT_THROW(s.Ed.DoCaseChange(ecUpperCaseBlock), Exception);
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(2, 3));
  EXPECT_EQ(s.Ed.GetBlockBegin(), BufferCoord(1, 1));
  EXPECT_EQ(s.Ed.GetBlockEnd(), BufferCoord(2, 3));
  EXPECT_EQ(s.Ed.GetPaintLock(), 0);
}

}  // namespace
}  // namespace rid
