// The program's window under a real X server, typed into with xdotool: keys, Japanese text and
// the default bindings reach the editor, which has the keyboard as the window opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStatusBar>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/EderWindow.h"
#include "editor/RidEder.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

std::string Hex(const std::string& S) {
  std::string out;
  char b[3];
  for (unsigned char c : S) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}

// Run by the test below under its own X server, with no window manager.
TEST(EderKeysUnderX, DISABLED_TypeIntoTheWindow) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  TEderWindow w({std::getenv("RID_KEYS_FILE")});
  w.show();
  QWidget* editor = w.Eder(0).ClientWidget();
  QElapsedTimer t;
  t.start();
  while (QApplication::focusWidget() != editor && t.elapsed() < 5000) test::WaitEvents(20);
  test::WaitEvents(300);
  std::printf("FOCUS<<%d>>\n", QApplication::focusWidget() == editor);
  // Keys for 日, 本 and an emoji, mapped before typing: xdotool's own remapping while it types
  // races with the client's reading of the new map.
  QProcess::execute("xmodmap", {"-e", "keycode 202 = U65E5", "-e", "keycode 217 = U672C", "-e",
                                "keycode 219 = U1F600"});
  test::WaitEvents(300);
  test::XdoTool({"type", "--delay", "30", "xy"});
  test::XdoTool({"key", "--delay", "30", "U65E5", "U672C", "Return", "BackSpace", "ctrl+z",
                 "shift+ctrl+z", "End", "exclam", "U1F600"});
  const std::string status = w.statusBar()->currentMessage().toStdString();
  test::XdoTool({"key", "--delay", "30", "ctrl+y", "ctrl+z"});
  std::printf("TEXT<<%s>>\nSTATUS<<%s>>\n", Hex(w.Eder(0).GetLines()->SaveToBytes()).c_str(),
              status.c_str());
}

TEST(EderKeysUnderX, KeysJapaneseAndBindingsReachTheEditor) {
  RID_NEED_TOOL("Xvfb", "xvfb");
  RID_NEED_TOOL("xdotool", "xdotool");
  RID_NEED_TOOL("xmodmap", "x11-xserver-utils");
  test::TempDir dir;
  const auto file = dir / "keys.txt";
  test::WriteFileBytes(file, "abc\r\n");
  QProcess xvfb;
  xvfb.start("sh", {"-c", "exec Xvfb -displayfd 1 -nolisten tcp"});
  ASSERT_TRUE(xvfb.waitForReadyRead(20000));
  const std::string display = ":" + xvfb.readLine().trimmed().toStdString();
  int code = -1;
  const std::string out =
      test::RunTool("DISPLAY=" + display + " QT_QPA_PLATFORM=xcb RID_KEYS_FILE=" + file.string() +
                        " /proc/" + std::to_string(QCoreApplication::applicationPid()) +
                        "/exe --gtest_also_run_disabled_tests "
                        "--gtest_filter=EderKeysUnderX.DISABLED_TypeIntoTheWindow 2>&1",
                    {}, &code);
  xvfb.terminate();
  xvfb.waitForFinished();
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("FOCUS<<1>>"), std::string::npos) << out;
  // "xy日本abc!" in Shift-JIS: typed, broken and joined again, undone and redone, the line
  // deleted with Ctrl+Y and brought back with Ctrl+Z; the emoji left out.
  EXPECT_NE(out.find("TEXT<<7879"
                     "93fa967b"
                     "61626321"
                     "0d0a>>"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("STATUS<<1 character(s) without a Shift-JIS form left out>>"),
            std::string::npos)
      << out;
}

}  // namespace
}  // namespace rid
