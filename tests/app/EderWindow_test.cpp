#include "app/EderWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTabWidget>

#include "editor/RidEder.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

TEST(EderWindow, OpensTheSampleScriptColouredAsPerl) {
  TEderWindow w({});
  w.show();
  QApplication::processEvents();
  ASSERT_EQ(w.PageCount(), 1);
  TRidEder& ed = w.Eder(0);
  EXPECT_NE(ed.GetHighlighter(), nullptr);
  EXPECT_EQ(ed.Lines()->Get(0), "#!/usr/bin/perl");
  EXPECT_NE(ed.GetText().find(Utf8ToSjis("掲示板")), std::string::npos);
  EXPECT_GT(ed.GetLinesInWindow(), 10);  // the editor fills the window
  EXPECT_GT(ed.GetCharsInWindow(), 40);
  ed.Update();
  const QImage shot = w.grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString((test::ArtifactDir() / "rideder.png").string())));
}

TEST(EderWindow, ReadsEachFileInItsCodeWithItsLineBreaks) {
  test::TempDir dir;
  // "日本" in EUC-JP with LF breaks, in UTF-8 with CR breaks, and Shift-JIS with CR LF.
  test::WriteFileBytes(dir / "a.pl", "# \xc6\xfc\xcb\xdc\nprint 1;\n");
  test::WriteFileBytes(dir / "b.txt", "\xe6\x97\xa5\xe6\x9c\xac\rx\r");
  test::WriteFileBytes(dir / "c.cgi", "\x93\xfa\x96\x7b\r\ny\r\n");
  TEderWindow w({(dir / "a.pl").string(), (dir / "b.txt").string(), (dir / "c.cgi").string()});
  ASSERT_EQ(w.PageCount(), 3);
  ASSERT_NE(w.Tabs(), nullptr);
  EXPECT_EQ(w.Tabs()->count(), 3);
  const std::string nihon = "\x93\xfa\x96\x7b";
  EXPECT_EQ(w.Eder(0).Lines()->Get(0), "# " + nihon);
  EXPECT_EQ(w.Eder(0).GetLines()->GetLineBreakStyle(), lbsLF);
  EXPECT_NE(w.Eder(0).GetHighlighter(), nullptr);
  EXPECT_EQ(w.Eder(1).Lines()->Get(0), nihon);
  EXPECT_EQ(w.Eder(1).GetLines()->GetLineBreakStyle(), lbsCR);
  EXPECT_EQ(w.Eder(1).GetHighlighter(), nullptr);
  EXPECT_EQ(w.Eder(2).Lines()->Get(0), nihon);
  EXPECT_NE(w.Eder(2).GetHighlighter(), nullptr);
}

TEST(EderWindow, ConvertsUtf8Utf16AndJis) {
  EXPECT_EQ(BytesToSjis(std::string("\xff\xfe\xe5\x65\x2c\x67", 6)), "\x93\xfa\x96\x7b");
  EXPECT_EQ(BytesToSjis("\x1b$BF|K\\\x1b(B"), "\x93\xfa\x96\x7b");
  EXPECT_EQ(BytesToSjis("plain"), "plain");
  EXPECT_EQ(BytesToSjis("\xEF\xBB\xBF"
                        "a\xE6\x97\xA5\xE6\x9C\xAC"),
            "a\x93\xfa\x96\x7b");
  EXPECT_EQ(BytesToSjis("x = 1; # \xE6\x97\xA5\xE6\x9C\xAC\r\n"), "x = 1; # \x93\xfa\x96\x7b\r\n");
}

}  // namespace
}  // namespace rid
