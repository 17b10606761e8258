// Replacing the selection in the three modes, the undo items it leaves, undo and redo, and the
// clipboard.
#include <gtest/gtest.h>

#include <random>

#include "editor/RidEder.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"

namespace rid {
namespace {

// Whether 1-based column Col of S is the second byte of a double-byte character.
bool OnTrail(std::string_view S, int32_t Col) {
  int32_t i = 1;
  while (i < Col && i <= static_cast<int32_t>(S.size())) i += IsDBCSLeadByte(S[i - 1]) ? 2 : 1;
  return i > Col && Col <= static_cast<int32_t>(S.size());
}

struct TEder {
  TRidEder Ed{nullptr};
  TEder() {
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
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

// Pieces of random text: ASCII, blanks, and double-byte characters whose trail bytes look like
// ASCII (5C backslash, 40 at sign, 7C bar, letters, brackets).
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
                              "\x81\x5b" /* ー */};

std::string RandomLine(std::mt19937& Rng) {
  std::string s;
  for (int n = Rng() % 6; n > 0; --n) s += Pieces[Rng() % std::size(Pieces)];
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

// A character start, or a column past the line's end.
TBufferCoord RandomPos(std::mt19937& Rng, TRidEder& Ed) {
  int32_t line = 1 + Rng() % std::max(1, Ed.GetLines()->GetCount());
  int32_t col = 1 + static_cast<int32_t>(Rng() % 14);
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

// Options that change what an edit stores, chosen at random.
TRidEderorOptions RandomOptions(std::mt19937& Rng, TRidEderorOptions O) {
  // Without grouping each replacement is one step, checked on its own.
  O = O - TRidEderorOptions{eoGroupUndo};
  for (TRidEderorOption o : {eoTrimTrailingSpaces, eoTabsToSpaces, eoScrollPastEol})
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

TEST(RidEderInsert, UndoAllRestoresAndRedoAllRepeatsRandomEdits) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    TEder s;
    s.Ed.SetOptions(RandomOptions(rng, s.Ed.GetOptions()));
    s.Ed.SetTabWidth(1 + rng() % 8);
    s.Ed.SetInsertMode(rng() % 4 != 0);
    const std::string original = RandomText(rng, 7);
    s.Ed.GetLines()->LoadFromBytes(original);
    ASSERT_EQ(Saved(s.Ed), original);
    for (int step = 0; step < 12; ++step) {
      auto mode = static_cast<TRidSelectionMode>(rng() % 3);
      TBufferCoord b = RandomPos(rng, s.Ed), e = RandomPos(rng, s.Ed);
      if (rng() % 3 == 0) e = b;
      s.Select(mode, b, e);
      const std::string value = rng() % 4 == 0 ? std::string() : RandomText(rng, 3);
      const std::string before = Saved(s.Ed);
      SCOPED_TRACE(testing::Message()
                   << "seed " << seed << " step " << step << " mode " << int(mode) << " anchor "
                   << s.Ed.GetRawBlockBegin().Char << "," << s.Ed.GetRawBlockBegin().Line << " end "
                   << s.Ed.GetRawBlockEnd().Char << "," << s.Ed.GetRawBlockEnd().Line << " caret "
                   << s.Ed.GetCaretX() << "," << s.Ed.GetCaretY() << " value "
                   << testing::PrintToString(value) << " before "
                   << testing::PrintToString(before));
      const int32_t items = s.Ed.GetUndoList().ItemCount();
      s.Ed.SetSelText(value);
      ExpectOffTrailBytes(s.Ed);
      const std::string after = Saved(s.Ed);
      if (s.Ed.GetUndoList().ItemCount() == items) {
        EXPECT_EQ(after, before);
        continue;
      }
      s.Ed.Undo();
      ASSERT_EQ(Saved(s.Ed), before);
      ExpectOffTrailBytes(s.Ed);
      s.Ed.Redo();
      ASSERT_EQ(Saved(s.Ed), after);
    }
    const std::string edited = Saved(s.Ed);
    s.UndoAll();
    ASSERT_EQ(Saved(s.Ed), original) << "seed " << seed;
    s.RedoAll();
    ASSERT_EQ(Saved(s.Ed), edited) << "seed " << seed;
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
