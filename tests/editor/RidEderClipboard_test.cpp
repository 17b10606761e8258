// The text messages, the caret line, and the clipboard against the real X clipboard.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

const std::string Ni = "\x93\xfa";  // 日
const std::string A = "\x83\x41";   // ア

struct TEder {
  TRidEder Ed{nullptr};
  TEder() {
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
  }
};

TEST(RidEderClipboard, WholeTextMessages) {
  TEder s;
  s.Ed.SetText("ab" + Ni + "\r\ncd");
  EXPECT_EQ(s.Ed.Perform(WM_GETTEXTLENGTH), 8);
  // A buffer of n bytes takes at most n - 1 and a NUL; one of 0 bytes takes nothing.
  char buf[16];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(s.Ed.Perform(WM_GETTEXT, 0, reinterpret_cast<intptr_t>(buf)), 0);
  EXPECT_EQ(buf[0], 'x');
  EXPECT_EQ(s.Ed.Perform(WM_GETTEXT, 4, reinterpret_cast<intptr_t>(buf)), 3);
  EXPECT_EQ(std::string(buf), "ab\x93");
  EXPECT_EQ(s.Ed.Perform(WM_GETTEXT, sizeof buf, reinterpret_cast<intptr_t>(buf)), 8);
  EXPECT_EQ(std::string(buf), s.Ed.GetText());

  // Setting the text clears both undo lists.
  s.Ed.SetSelText("z");
  EXPECT_EQ(s.Ed.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>("new\r\ntext")), -1);
  EXPECT_EQ(s.Ed.GetText(), "new\r\ntext");
  EXPECT_FALSE(s.Ed.CanUndo());
  TStringList lines;
  lines.Add(A);
  s.Ed.SetSelText("y");
  s.Ed.SetLines(&lines);
  EXPECT_EQ(s.Ed.GetText(), A);
  EXPECT_FALSE(s.Ed.CanUndo());

  // Copy, cut, clear, paste and undo by message; read-only refuses the changes.
  s.Ed.SetText("one two");
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({4, 1});
  EXPECT_EQ(s.Ed.Perform(WM_CUT), 1);
  EXPECT_EQ(s.Ed.GetText(), " two");
  s.Ed.SetCaretXY({5, 1});
  EXPECT_EQ(s.Ed.Perform(WM_PASTE), 1);
  EXPECT_EQ(s.Ed.GetText(), " twoone");
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({2, 1});
  s.Ed.Perform(WM_CLEAR);
  EXPECT_EQ(s.Ed.GetText(), "twoone");
  s.Ed.Perform(WM_UNDO);
  EXPECT_EQ(s.Ed.GetText(), " twoone");
  s.Ed.SetReadOnly(true);
  s.Ed.SelectAll();
  s.Ed.Perform(WM_CUT);
  s.Ed.Perform(WM_CLEAR);
  s.Ed.Perform(WM_PASTE);
  EXPECT_EQ(s.Ed.GetText(), " twoone");
  s.Ed.Perform(WM_COPY);
  EXPECT_EQ(Clipboard()->GetAsText(), " twoone");
}

// What another program reads from the clipboard: its plain text, UTF-8.
std::string PlainTextOnClipboard() {
  const QMimeData* m = QGuiApplication::clipboard()->mimeData();
  return m ? m->data("text/plain").toStdString() : std::string();
}

// Which cells of the first rows the window shows selected: '#' a selected cell.
std::vector<std::string> ShownSelected(TRidEder& Ed, size_t Rows, int Columns) {
  Ed.Invalidate();
  Ed.Update();
  const QImage img = Ed.Picture();
  const TColor selected = ColorToRGB(Ed.GetSelectedColor().GetBackground());
  const QColor want(GetRValue(selected), GetGValue(selected), GetBValue(selected));
  std::vector<std::string> rows(Rows);
  for (size_t row = 0; row < Rows; ++row)
    for (int col = 1; col <= Columns; ++col) {
      const QRect cell(Ed.ColumnToXValue(col), int(row) * Ed.GetLineHeight(), Ed.GetCharWidth(),
                       Ed.GetLineHeight());
      int hits = 0;
      for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) hits += QColor(img.pixel(x, y)) == want;
      rows[row] += hits * 3 > cell.width() * cell.height() ? '#' : '.';
    }
  return rows;
}

// Keys as the window sends them on a page as loaded, another program's plain text on the
// clipboard first: cut, copy and paste keep every byte, through the control's own form (a lead
// byte alone, a NUL) and in the plain text other programs read (all of it, past a NUL); undo
// and redo then give back each step, the page unmodified only on the text loaded. A column
// block (Shift+Ctrl+C, then Shift and the arrows) takes the same columns of each of its lines,
// wrapped or not: the cells of those bytes are shown selected, a copy holds them (blanks for
// columns past a line's end) and a cut takes just them, so pasting it back gives the text back.
TEST(RidEderClipboard, CutCopyAndPasteKeepEveryByte) {
  struct TStep {
    TRidEderorCommand Command;
    std::string Text;
    bool Modified;
  };
  struct TRow {
    const char* Name;
    std::string Text;
    std::string Foreign;  // UTF-8
    std::vector<TRidEderorCommand> Keys;
    std::string Want;
    std::string Plain;  // read by other programs
    std::vector<TStep> Then;
    int32_t Wrap = 0;                // the window's columns under word wrap, 0 no wrap
    std::vector<std::string> Shown;  // the first rows on the screen after the keys
  };
  const std::string nul(1, '\0'), dot = "\xe3\x83\xbb";  // a lead byte alone shows as ・
  const TRidEderorCommand right = ecSelRight, down = ecSelDown, col = ecColumnSelect;
  const TRow rows[] = {
      {"a lead byte alone, cut and pasted back",
       "\x83",
       "",
       {ecSelLineEnd, ecCut, ecPaste},
       "\x83",
       dot,
       {{ecUndo, "", true}, {ecUndo, "\x83", false}, {ecRedo, "", true}, {ecRedo, "\x83", true}}},
      {"another program's text holding a NUL, copied and pasted",
       "",
       "\xe6\x97\xa5" + nul + "cd",
       {ecPaste, ecSelectAll, ecCopy, ecLineEnd, ecPaste},
       Ni + nul + "cd" + Ni + nul + "cd",
       "\xe6\x97\xa5" + nul + "cd",
       {{ecUndo, Ni + nul + "cd", true}, {ecUndo, "", false}, {ecRedo, Ni + nul + "cd", true}}},
      {"a column block over a wrapped line's rows takes two rows of its lines",
       "abcdef\r\nghijklmnopqr\r\nstuvwx",
       "",
       {ecRight, col, right, right, down, down, down, ecCopy},
       "abcdef\r\nghijklmnopqr\r\nstuvwx",
       "bc\r\nhi\r\ntu",
       {{ecCut, "adef\r\ngjklmnopqr\r\nsvwx", true},
        {ecPaste, "abcdef\r\nghijklmnopqr\r\nstuvwx", true}},
       6,
       {".##...", ".##...", "......", ".##..."}},
      {"a column block across the boundary of a wrapped line's rows",
       "abcdefghij\r\nklmnopqrst",
       "",
       {ecRight, ecRight, ecRight, ecRight, col, right, right, right, right, right, down, down,
        ecCopy},
       "abcdefghij\r\nklmnopqrst",
       "efgh\r\nopqr",
       {{ecCut, "abcdij\r\nklmnst", true}, {ecPaste, "abcdefghij\r\nklmnopqrst", true}},
       6,
       {"....##", "##....", "....##", "##...."}},
      {"a column block over a tab, and past a line's end",
       "\tab\r\nabcdefghijkl",
       "",
       {ecRight, col, right, down, ecCopy},
       "\tab\r\nabcdefghijkl",
       "ab      \r\nbcdefghi",
       {{ecCut, "\t\r\najkl", true}, {ecPaste, "\tab      \r\nabcdefghijkl", true}},
       0,
       {"........########", ".########......."}},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Name);
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(r.Foreign.data(), static_cast<qsizetype>(r.Foreign.size())));
    TEder s;
    if (r.Wrap > 0) {
      s.Ed.SetBounds(0, 0, 400 - (s.Ed.GetCharsInWindow() - r.Wrap) * s.Ed.GetCharWidth(), 240);
      s.Ed.SetWordWrap(true);
    }
    s.Ed.GetLines()->LoadFromBytes(r.Text);
    for (TRidEderorCommand k : r.Keys) s.Ed.CommandProcessor(k, 0, nullptr);
    EXPECT_EQ(s.Ed.GetLines()->SaveToBytes(), r.Want);
    EXPECT_EQ(PlainTextOnClipboard(), r.Plain);
    if (!r.Shown.empty()) {
      EXPECT_EQ(ShownSelected(s.Ed, r.Shown.size(), int(r.Shown[0].size())), r.Shown);
    }
    for (size_t i = 0; i < r.Then.size(); ++i) {
      s.Ed.CommandProcessor(r.Then[i].Command, 0, nullptr);
      EXPECT_EQ(s.Ed.GetLines()->SaveToBytes(), r.Then[i].Text) << "after step " << i + 1;
      EXPECT_EQ(s.Ed.GetModified(), r.Then[i].Modified) << "after step " << i + 1;
    }
  }
}

// The caret line replaced by SetLineText is one undo step, so later undos find the text they
// recorded.
TEST(RidEderClipboard, SetLineTextIsOneUndoStep) {
  TEder s;
  s.Ed.SetText("abc\r\ndef");
  s.Ed.SetCaretXY({2, 2});
  s.Ed.SetSelText("XY");
  s.Ed.SetLineText(Ni + "z");
  EXPECT_EQ(s.Ed.GetText(), "abc\r\n" + Ni + "z");
  EXPECT_EQ(s.Ed.GetCaretXY(), BufferCoord(4, 2));  // off the changed line's characters
  s.Ed.Undo();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\ndXYef");
  s.Ed.Undo();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\ndef");
  s.Ed.Redo();
  s.Ed.Redo();
  EXPECT_EQ(s.Ed.GetText(), "abc\r\n" + Ni + "z");
  // Below the last line there is no caret line.
  TEder e;
  e.Ed.SetLineText("first");
  EXPECT_EQ(e.Ed.GetText(), "first");
}

// --- the real clipboard: an X server of our own, xclip on the other side.

void ClipboardRoundTripUnderX() {
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  TEder s;
  const std::string first = Utf8ToSjis("日本語の行　全角と半角ｶﾅ");
  const std::string second = Utf8ToSjis("表示ソフト\\ポ|");
  s.Ed.SetText(first + "\r\n" + second + "\r\nrest");
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({static_cast<int32_t>(second.size()) + 1, 2});
  s.Ed.CopyToClipboard();
  const std::string selected = first + "\r\n" + second;
  EXPECT_EQ(x.Run("xclip -selection clipboard -o"),
            test::RunTool("iconv -f CP932 -t UTF-8", selected));

  const std::string utf8 = "ﾃｽﾄ 漢字\r\n二行目";
  x.Run("xclip -selection clipboard -i", utf8);
  // xclip takes the clipboard over from a process of its own, a moment later.
  test::WaitUntil([&] { return x.Run("xclip -selection clipboard -o") == utf8; });
  s.Ed.SetText("[]");
  s.Ed.SetCaretXY({2, 1});
  s.Ed.PasteFromClipboard();
  EXPECT_EQ(s.Ed.GetText(), "[" + test::RunTool("iconv -f UTF-8 -t CP932", utf8) + "]");
}

TEST(RidEderClipboard, RealClipboardRoundTripWithXclip) {
  if (test::UnderX()) return ClipboardRoundTripUnderX();
  RID_NEED_TOOL("xclip", "xclip");
  RID_NEED_TOOL("iconv", "libc-bin");
  int code = -1;
  const std::string out = test::RunThisTestUnderX(&code);
  ASSERT_EQ(code, 0) << "the clipboard checks failed under X:\n" << out;
}

// Another program's private block: taken with its mode and its bytes as they are, a lead byte
// alone among them, which then reads with the byte after it as a lead byte typed alone does.
void ForeignBlocksUnderX() {
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  const std::string endsInLead("\0ab\xfc", 4);
  // This process offers the cut block with plain text (first: an owner's claim must be newer
  // than the last one), and the program pastes the block; Ctrl+S saves it.
  test::TempDir dir;
  const std::string file = (dir / "a.txt").string();
  test::WriteFileBytes(file, "[]\r\n");
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->SetAsText("ok");
  Clipboard()->SetBuffer(RidEderClipboardFormat(), endsInLead);
  ASSERT_TRUE(Clipboard()->Close());
  const std::string window = x.StartRideder({file});
  ASSERT_FALSE(window.empty()) << x.Error();
  x.Run("xdotool windowfocus --sync " + window + " key ctrl+v ctrl+s");
  test::WaitUntil([&] { return test::ReadFileBytes(file) != "[]\r\n"; });
  EXPECT_EQ(test::ReadFileBytes(file), "ab\xfc[]\r\n");

  struct Row {
    const char* Name;
    std::string Block;
    std::string Want;  // "": refused
  };
  const Row rows[] = {
      {"a lead byte alone at the end", endsInLead, "[ab\xfc]"},
      {"a lead byte alone before a break", std::string("\0a\x83\r\nb", 6), "[a\x83\r\nb]"},
      {"a column row ending in a lead byte", "\2x\xfc\r\ny", "[x\xfc]\r\n y"},
      {"the text ends at its closing NUL", std::string("\0a\0b\0", 5), std::string("[a\0b]", 5)},
      {"whole characters", std::string("\0ab", 3) + A, "[ab" + A + "]"},
      {"a column block", "\2x\r\ny", "[x]\r\n y"},
      {"an unknown mode", "\7" + Ni, "[" + Ni + "]"},
      {"the text ends at its NUL", std::string("\0a\0\xfc", 4), "[a]"},
      {"an empty block alone", "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    x.Run("xclip -selection clipboard -t application/x-rideder-block -i", r.Block);
    // xclip takes the clipboard over from a process of its own, a moment later.
    ASSERT_TRUE(test::WaitUntil([&] {
      std::string block;
      return Clipboard()->GetBuffer(RidEderClipboardFormat(), block) && block == r.Block;
    }));
    TEder s;
    s.Ed.SetText("[]");
    s.Ed.SetCaretXY({2, 1});
    if (r.Want.empty()) {
      EXPECT_THROW(s.Ed.PasteFromClipboard(), ERidEderError);
      EXPECT_EQ(s.Ed.GetText(), "[]");
      EXPECT_FALSE(s.Ed.CanUndo());
    } else {
      s.Ed.PasteFromClipboard();
      EXPECT_EQ(s.Ed.GetText(), r.Want);
    }
  }
}

TEST(RidEderClipboard, AnotherProgramsBlockPastesItsBytes) {
  if (test::UnderX()) return ForeignBlocksUnderX();
  RID_NEED_TOOL("xclip", "xclip");
  RID_NEED_TOOL("xdotool", "xdotool");
  int code = -1;
  const std::string out = test::RunThisTestUnderX(&code);
  ASSERT_EQ(code, 0) << "the clipboard checks failed under X:\n" << out;
}

}  // namespace
}  // namespace rid
