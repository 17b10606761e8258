// The text messages, the caret line, and the clipboard against the real X clipboard.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <cstring>
#include <thread>

#include "editor/RidEder.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"

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

// Runs Command while this process keeps serving the clipboard it owns.
std::string RunServing(const std::string& Command, const std::string& Input = {}) {
  std::string out;
  std::atomic<bool> done = false;  // written by the thread, read here: out is read after join
  std::thread t([&] {
    out = test::RunTool(Command, Input);
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  t.join();
  return out;
}

void ClipboardRoundTripUnderX() {
  TEder s;
  const std::string first = Utf8ToSjis("日本語の行　全角と半角ｶﾅ");
  const std::string second = Utf8ToSjis("表示ソフト\\ポ|");
  s.Ed.SetText(first + "\r\n" + second + "\r\nrest");
  s.Ed.SetBlockBegin({1, 1});
  s.Ed.SetBlockEnd({static_cast<int32_t>(second.size()) + 1, 2});
  s.Ed.CopyToClipboard();
  const std::string selected = first + "\r\n" + second;
  EXPECT_EQ(RunServing("xclip -selection clipboard -o"),
            test::RunTool("iconv -f CP932 -t UTF-8", selected));

  const std::string utf8 = "ﾃｽﾄ 漢字\r\n二行目";
  RunServing("xclip -selection clipboard -i", utf8);
  // xclip takes the clipboard over from a process of its own, a moment later.
  for (int i = 0; i < 500 && RunServing("xclip -selection clipboard -o") != utf8; ++i)
    usleep(10000);
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

}  // namespace
}  // namespace rid
