// Saving a page in its file's own code and line breaks, checked against iconv and nkf, and the
// window's Ctrl+S, title marks and questions before closing.
#include "app/EderSave.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>

#include "app/EderHighlighters.h"
#include "app/EderPage.h"
#include "app/EderWindow.h"
#include "foundation/JCode.h"
#include "platform/Locale.h"
#include "tests/FileFaults.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

std::string Replace(std::string S, const std::string& From, const std::string& To) {
  for (size_t i = 0; (i = S.find(From, i)) != std::string::npos; i += To.size())
    S.replace(i, From.size(), To);
  return S;
}

// UTF-8 text in a code as the real tools write it (JIS by nkf; the marks that tools leave out
// added).
std::string Encoded(const std::string& Utf8, JCodeKind Code) {
  switch (Code) {
    case jcJisB:
      return test::RunTool("nkf -W -j", Utf8);
    case jcEuc:
      return test::RunTool("iconv -f UTF-8 -t EUC-JP", Utf8);
    case jcUtf8:
      return Utf8;
    case jcUtf8Bom:
      return "\xEF\xBB\xBF" + Utf8;
    case jcUtf16LE:
      return "\xFF\xFE" + test::RunTool("iconv -f UTF-8 -t UTF-16LE", Utf8);
    case jcUtf16BE:
      return "\xFE\xFF" + test::RunTool("iconv -f UTF-8 -t UTF-16BE", Utf8);
    default:
      return test::RunTool("iconv -f UTF-8 -t CP932", Utf8);
  }
}

std::string Joined(const std::vector<std::string>& Lines, const std::string& Break, bool Final) {
  std::string s;
  for (size_t i = 0; i < Lines.size(); ++i)
    s += Lines[i] + (i + 1 < Lines.size() || Final ? Break : "");
  return s;
}

struct TPageFile {
  test::TempDir Dir;
  TEderHighlighters Highlighters;
  std::unique_ptr<TEderPage> Page;
  TPageFile(const std::string& Bytes, const std::string& Name = "text.txt") {
    test::WriteFileBytes(Dir / Name, Bytes);
    Page = LoadPage((Dir / Name).string(), Highlighters);
  }
  TRidEder& Ed() { return *Page->Eder; }
};

// Every code the program reads, with each break style, with and without a final break: a
// loaded file edited and saved equals the tools' encoding of the edited text.
TEST(EderSave, WritesTheFilesCodeAndBreaksAsTheToolsDo) {
  RID_NEED_TOOL("iconv", "libc-bin");
  RID_NEED_TOOL("nkf", "nkf");
  const std::vector<std::string> before = {"# 日本語のテキストです", "print 'abc';", "終わり"};
  const std::vector<std::string> after = {"# 日本語のテキストです", "追加した行 x", "print 'abc';",
                                          "終わり ok"};
  const JCodeKind codes[] = {jcSjis, jcEuc, jcJisB, jcUtf8, jcUtf8Bom, jcUtf16LE, jcUtf16BE};
  const std::pair<const char*, uint8_t> breaks[] = {
      {"\r\n", lbsCRLF}, {"\n", lbsLF}, {"\r", lbsCR}};
  for (JCodeKind code : codes)
    for (const auto& [brk, style] : breaks)
      for (bool final : {true, false}) {
        SCOPED_TRACE(std::string(CodeName(code)) + " break " + std::to_string(style) +
                     (final ? " final" : ""));
        TPageFile f(Encoded(Joined(before, brk, final), code));
        ASSERT_EQ(f.Page->Code, code);
        ASSERT_EQ(f.Ed().GetLines()->GetLineBreakStyle(), style);
        f.Ed().SetCaretXY({1, 2});
        f.Ed().SetSelText(Utf8ToSjis("追加した行 x\r\n"));
        f.Ed().SetCaretXY({7, 4});
        f.Ed().SetSelText(" ok");
        EXPECT_EQ(PlanSave(*f.Ed().GetLines(), f.Page->Code).Unwritable, 0u);
        SaveInCode(*f.Ed().GetLines(), f.Page->Code, f.Page->FileName, f.Page->JisKanjiOut);
        EXPECT_EQ(test::ReadFileBytes(f.Page->FileName), Encoded(Joined(after, brk, final), code));
      }
}

// A text of many blocks is converted block by block as the tools convert it whole, whatever
// character a block ends in.
TEST(EderSave, ALongTextIsWrittenInItsCodeAsTheToolsWriteIt) {
  RID_NEED_TOOL("iconv", "libc-bin");
  RID_NEED_TOOL("nkf", "nkf");
  const char* const words[] = {"日本語", "の", "テキスト", "abc", " ",
                               "表示",   "ー", "（例）",   "x;"};
  std::string utf8;
  for (uint32_t i = 0, seed = 1; utf8.size() < 150000; ++i) {
    seed = seed * 1664525 + 1013904223;
    utf8 += words[(seed >> 8) % std::size(words)];
    if ((seed >> 20) % 13 == 0) utf8 += "\n";
  }
  utf8 += "\n";
  for (JCodeKind code : {jcEuc, jcJisB, jcUtf8, jcUtf8Bom, jcUtf16LE, jcUtf16BE, jcSjis}) {
    SCOPED_TRACE(CodeName(code));
    const std::string bytes = Encoded(utf8, code);
    TPageFile f(bytes);
    ASSERT_EQ(f.Page->Code, code);
    SaveInCode(*f.Ed().GetLines(), code, f.Page->FileName, f.Page->JisKanjiOut);
    EXPECT_TRUE(test::ReadFileBytes(f.Page->FileName) == bytes);
  }
}

// Whatever stops a save in another code, root included, the old file stays whole and no
// temporary file is left.
TEST(EderSave, AFailedSaveInAnotherCodeKeepsTheOldFile) {
  TRidEderStringList lines;
  for (int i = 0; i < 3000; ++i)
    lines.Add(Utf8ToSjis("行 " + std::to_string(i) + " 日本語のテキスト"));
  for (test::TSaveFault fault : test::AllSaveFaults()) {
    SCOPED_TRACE(test::SaveFaultName(fault));
    test::TFailingSave save(fault, "old\n");
    const std::string message = save.Run([&] { SaveInCode(lines, jcEuc, save.Target.string()); });
    EXPECT_NE(message.find(save.Target.string()), std::string::npos) << message;
    EXPECT_EQ(test::ReadFileBytes(save.Kept()), "old\n");
    EXPECT_EQ(save.Names(), std::vector<std::string>{"keep.txt"});
  }
}

// A JIS file is written back with the escapes it was read with: ESC $ B or ESC $ @ into double
// bytes, ESC ( B (ASCII, as nkf and iconv write) or ESC ( J (JIS-Roman) back; a backslash and a
// tilde stay what they were to a JIS reader.
TEST(EderSave, AJisFileKeepsItsEscapes) {
  RID_NEED_TOOL("iconv", "libc-bin");
  RID_NEED_TOOL("nkf", "nkf");
  const std::string utf8 = "\xE6\x97\xA5\xE6\x9C\xAC a\\b~c\n\xE8\xAA\x9E\n";  // 日本 a\b~c, 語
  const std::string nkf = test::RunTool("nkf -W -j", utf8);
  ASSERT_NE(nkf.find("\x1b(B"), std::string::npos);
  const struct {
    const char* Name;
    std::string Bytes;
  } files[] = {
      {"nkf: ESC $ B, ESC ( B", nkf},
      {"iconv: ESC $ B, ESC ( B", test::RunTool("iconv -f UTF-8 -t ISO-2022-JP", utf8)},
      {"ESC $ @, ESC ( J", Replace(Replace(nkf, "\x1b$B", "\x1b$@"), "\x1b(B", "\x1b(J")},
      {"ESC $ B, ESC ( J", Replace(nkf, "\x1b(B", "\x1b(J")},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.Name);
    TPageFile page(f.Bytes);
    SaveInCode(*page.Ed().GetLines(), page.Page->Code, page.Page->FileName, page.Page->JisKanjiOut);
    EXPECT_EQ(test::ReadFileBytes(page.Page->FileName), f.Bytes);
  }
  EXPECT_EQ(test::RunTool("iconv -f ISO-2022-JP -t UTF-8", files[0].Bytes), utf8);
}

// Characters a code cannot hold are counted, with the first line that has one.
TEST(EderSave, CountsEachKindOfUnwritableCharacter) {
  const std::string kana = Utf8ToSjis("ｶﾞｷ");  // half-width: widened in JIS
  const std::string userDefined = "\xF0\x40";  // JIS row outside 21-7E
  const std::string ibm = Utf8ToSjis("纊");    // FA 5C: none in EUC-JP
  const std::string broken = "\x81";           // a lead byte alone
  ASSERT_EQ(ibm, "\xFA\x5C");
  struct {
    const char* Name;
    JCodeKind Code;
    std::string Line;
    size_t Count;
  } const rows[] = {
      {"JIS half-width katakana", jcJisB, "a" + kana, 3},
      {"JIS outside its rows", jcJisB, userDefined + "x" + userDefined, 2},
      {"JIS lone byte", jcJisB, "x" + broken, 1},
      {"JIS plain kanji", jcJisB, "\x93\xfa", 0},
      {"JIS escape of the text's own", jcJisB, "\x1B$B", 1},
      {"EUC-JP extension character", jcEuc, ibm + ibm, 2},
      {"EUC-JP half-width katakana", jcEuc, kana, 0},
      {"UTF-8 broken byte", jcUtf8, "ok" + broken, 1},
      {"UTF-8 with mark broken byte", jcUtf8Bom, broken, 1},
      {"UTF-16LE broken byte", jcUtf16LE, broken, 1},
      {"UTF-16BE broken byte", jcUtf16BE, broken, 1},
      {"UTF-8 extension character", jcUtf8, ibm, 0},
      {"Shift-JIS keeps everything", jcSjis, kana + userDefined + broken, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Name);
    TRidEderStringList lines;
    lines.SetTextStr("first\r\nsecond\r\n" + r.Line + "\r\n" + r.Line);
    const TSavePlan plan = PlanSave(lines, r.Code);
    EXPECT_EQ(plan.Unwritable, 2 * r.Count);
    EXPECT_EQ(plan.FirstLine, r.Count ? 3 : 0);
  }
  // A lead byte that ends a line meets the break in the file: EUC-JP cannot hold it there, and
  // its line is the one named; at the end of the file it is a character cut short, counted too.
  TRidEderStringList lines;
  lines.SetTextStr("a\r\nx\x81\r\ny\x81");
  const TSavePlan plan = PlanSave(lines, jcEuc);
  EXPECT_EQ(plan.Unwritable, 2u);
  EXPECT_EQ(plan.FirstLine, 2);
}

TEST(EderSave, RemembersWhatReadingLost) {
  // The euro sign has no Shift-JIS form; the file is UTF-8.
  TPageFile f("x \xE2\x82\xAC y \xE2\x82\xAC\n\xE6\x97\xA5\n");
  EXPECT_EQ(f.Page->Code, jcUtf8);
  EXPECT_EQ(f.Page->Substituted, 2u);
  TPageFile g("\x93\xfa\x96\x7b\r\n");
  EXPECT_EQ(g.Page->Substituted, 0u);
}

// Each code that can lose characters on reading remembers the file's line that held the first
// one, whatever its breaks; a later loss does not move it.
TEST(EderSave, RemembersTheLineWhereReadingFirstLost) {
  RID_NEED_TOOL("iconv", "libc-bin");
  RID_NEED_TOOL("nkf", "nkf");
  const std::vector<std::string> lines = {"日本語のテキスト", "abc", "表示 x", "終わり"};
  for (JCodeKind code : {jcJisB, jcEuc, jcUtf8, jcUtf8Bom, jcUtf16LE, jcUtf16BE})
    for (const char* brk : {"\r\n", "\n", "\r"})
      for (size_t lost : {1, 2, 4}) {
        SCOPED_TRACE(std::string(CodeName(code)) + " line " + std::to_string(lost));
        // The euro sign has no Shift-JIS form; in EUC-JP a JIS X 0212 character (丂) has none;
        // in JIS a byte alone in a shift is no character.
        std::vector<std::string> marked = lines;
        marked[lost - 1] += "@";
        marked[3] += "@";
        const std::string text = Joined(marked, brk, true);
        TPageFile f(code == jcEuc    ? Replace(Encoded(text, code), "@", "\x8F\xB0\xA1")
                    : code == jcJisB ? Replace(Encoded(text, code), "@", "\x1B$B\x30\x1B(B")
                                     : Encoded(Replace(text, "@", "\xE2\x82\xAC"), code));
        ASSERT_EQ(f.Page->Code, code);
        EXPECT_EQ(f.Page->Substituted, 2u);
        EXPECT_EQ(f.Page->FirstSubstitutedLine, static_cast<int32_t>(lost));
      }
  // A JIS shift may run on over a line break: the next line's pairs are still pairs.
  TPageFile shifted("\x1B$B\x30\x70\n\x30\x70\x34\n\x1B(Babc\n");
  ASSERT_EQ(shifted.Page->Code, jcJisB);
  EXPECT_EQ(shifted.Page->Substituted, 1u);
  EXPECT_EQ(shifted.Page->FirstSubstitutedLine, 2);
}

// --- the window

// Answers the next modal dialog (a message box or the file dialog) with Answer.
struct TDialogAnswer {
  QTimer Timer;
  QString Seen;
  int Count = 0;
  explicit TDialogAnswer(std::function<void(QWidget*)> Answer) {
    QObject::connect(&Timer, &QTimer::timeout, [this, Answer] {
      QWidget* w = QApplication::activeModalWidget();
      if (!w) return;
      if (auto* box = qobject_cast<QMessageBox*>(w)) Seen = box->text();
      ++Count;
      Answer(w);
    });
    Timer.start(5);
  }
};

void Click(QWidget* W, QMessageBox::StandardButton B) {
  qobject_cast<QMessageBox*>(W)->button(B)->click();
}

struct TSaveWindow {
  test::TempDir Dir;
  std::unique_ptr<TEderWindow> W;
  // Opens the Files, the first through a symbolic link of the name Link when one is given.
  TSaveWindow(std::initializer_list<std::pair<const char*, std::string>> Files,
              const char* Link = nullptr) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : Files) {
      test::WriteFileBytes(Dir / name, bytes);
      names.push_back((Dir / name).string());
    }
    if (Link) {
      std::filesystem::create_symlink(Files.begin()->first, Dir / Link);
      names[0] = (Dir / Link).string();
    }
    W = std::make_unique<TEderWindow>(names);
    W->show();
    W->activateWindow();
    QApplication::processEvents();
    // What the reading replaced was told on opening; that box is not the save's question.
    if (auto* problems = W->findChild<QMessageBox*>("OpenProblems")) problems->accept();
    QApplication::processEvents();
    Ed().SetFocus();
    QApplication::processEvents();
  }
  TRidEder& Ed() { return W->CurrentEder(); }
  std::string File(const std::string& Name) { return test::ReadFileBytes(Dir / Name); }
  void CtrlS() {
    Ed().SetFocus();  // back from the last dialog
    QApplication::processEvents();
    QTest::keyClick(Ed().ClientWidget(), Qt::Key_S, Qt::ControlModifier);
  }
  QString Status() { return W->statusBar()->currentMessage(); }
};

TEST(EderSave, CtrlSWritesTheFileAndClearsTheMark) {
  const std::string euc = "\xC6\xFC\xCB\xDC\xB8\xEC\nline\n";  // 日本語 in EUC-JP
  TSaveWindow s{{"a.txt", euc}};
  EXPECT_EQ(s.W->windowTitle().toStdString(), (s.Dir / "a.txt").string() + " - rideder");
  s.Ed().SetCaretXY({5, 2});
  s.Ed().SetSelText("s");
  EXPECT_TRUE(s.W->windowTitle().startsWith("*"));
  s.CtrlS();
  EXPECT_EQ(s.File("a.txt"), "\xC6\xFC\xCB\xDC\xB8\xEC\nlines\n");
  EXPECT_FALSE(s.Ed().GetModified());
  EXPECT_FALSE(s.W->windowTitle().startsWith("*"));
  // The save point: undo marks the page changed again, redo brings it back to the file.
  s.Ed().Undo();
  EXPECT_TRUE(s.Ed().GetModified());
  s.Ed().Redo();
  EXPECT_FALSE(s.Ed().GetModified());
}

TEST(EderSave, LossesAreConfirmedFirstAndCancelIsTheDefault) {
  const std::string utf8 = "one\ntwo \xE2\x82\xAC\n";  // the euro sign is lost on reading
  TSaveWindow s{{"u.txt", utf8}};
  s.Ed().SetCaretXY({4, 1});
  s.Ed().SetSelText("\x81");  // a lead byte alone forms no character: no UTF-8 form
  {
    TDialogAnswer enter([](QWidget* W) { QTest::keyClick(W, Qt::Key_Return); });
    s.CtrlS();
    EXPECT_EQ(enter.Count, 1);
    EXPECT_TRUE(enter.Seen.contains("1 character(s) cannot be written in UTF-8"))
        << enter.Seen.toStdString();
    EXPECT_TRUE(enter.Seen.contains("line 1"));
    EXPECT_TRUE(enter.Seen.contains("1 character(s) were already replaced"));
    EXPECT_TRUE(enter.Seen.contains("The first was on line 2 of the file as read"))
        << enter.Seen.toStdString();
  }
  EXPECT_EQ(s.File("u.txt"), utf8);
  EXPECT_TRUE(s.Ed().GetModified());
  {
    TDialogAnswer escape([](QWidget* W) { QTest::keyClick(W, Qt::Key_Escape); });
    s.CtrlS();
    EXPECT_EQ(escape.Count, 1);
  }
  EXPECT_EQ(s.File("u.txt"), utf8);
  {
    TDialogAnswer save([](QWidget* W) { Click(W, QMessageBox::Save); });
    s.CtrlS();
    EXPECT_EQ(save.Count, 1);
  }
  EXPECT_EQ(s.File("u.txt"), "one\xE3\x83\xBB\ntwo ?\n");
  EXPECT_FALSE(s.Ed().GetModified());
}

// The reason names the file as the system spells it, a Japanese name included.
TEST(EderSave, AFailedWriteKeepsTheFileAndTheMarkAndSaysWhy) {
  for (const char* name : {"f.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt" /* 日本.txt */}) {
    SCOPED_TRACE(name);
    TSaveWindow s{{name, "abc\n"}};
    s.Ed().SetSelText("x");
    // The name now belongs to a folder: asked whether to save there all the same, the file
    // cannot be replaced.
    std::filesystem::remove(s.Dir / name);
    std::filesystem::create_directory(s.Dir / name);
    QString asked;
    TDialogAnswer ok([&asked](QWidget* W) {
      auto* box = qobject_cast<QMessageBox*>(W);
      if (box->button(QMessageBox::Save)) asked = box->text();
      Click(W, box->button(QMessageBox::Save) ? QMessageBox::Save : QMessageBox::Ok);
    });
    s.CtrlS();
    EXPECT_EQ(ok.Count, 2);
    EXPECT_TRUE(asked.contains("on disk after it was read or last saved")) << asked.toStdString();
    EXPECT_TRUE(ok.Seen.startsWith("Not saved: ")) << ok.Seen.toStdString();
    EXPECT_TRUE(ok.Seen.contains(QString::fromStdString((s.Dir / name).string())))
        << ok.Seen.toStdString();
    EXPECT_TRUE(s.Status().startsWith("Not saved: "));
    EXPECT_TRUE(std::filesystem::is_directory(s.Dir / name));
    EXPECT_TRUE(s.Ed().GetModified());
    EXPECT_TRUE(s.W->windowTitle().startsWith("*"));
  }
}

TEST(EderSave, TheSampleAsksForANameAndBecomesAShiftJisFileWithCrLf) {
  test::TempDir dir;
  TEderWindow w({});
  w.show();
  w.activateWindow();
  QApplication::processEvents();
  const auto target = dir / "mine.cgi";
  TDialogAnswer name([&](QWidget* W) {
    auto* d = qobject_cast<QFileDialog*>(W);
    ASSERT_NE(d, nullptr);
    d->selectFile(QString::fromStdString(target.string()));
    QMetaObject::invokeMethod(d, "accept");
  });
  QTest::keyClick(w.CurrentEder().ClientWidget(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(name.Count, 1);
  const std::string bytes = test::ReadFileBytes(target);
  EXPECT_EQ(bytes, Replace(SampleScript(), "\n", "\r\n"));
  EXPECT_EQ(w.windowTitle().toStdString(), target.string() + " - rideder");
  EXPECT_FALSE(w.CurrentEder().GetModified());
}

TEST(EderSave, ClosingAChangedPageOrTheWindowAsksFirst) {
  TSaveWindow s{{"a.txt", "a\n"}, {"b.txt", "b\n"}};
  QTabWidget* tabs = s.W->Tabs();
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(1), "b.txt");
  s.W->Eder(1).SetSelText("x");
  EXPECT_EQ(tabs->tabText(1), "*b.txt");
  {
    TDialogAnswer cancel([](QWidget* W) { Click(W, QMessageBox::Cancel); });
    s.W->ClosePage(1);
    EXPECT_EQ(cancel.Count, 1);
    EXPECT_EQ(s.W->PageCount(), 2);
  }
  {
    TDialogAnswer discard([](QWidget* W) { Click(W, QMessageBox::Discard); });
    s.W->ClosePage(1);
    EXPECT_EQ(s.W->PageCount(), 1);
  }
  EXPECT_EQ(s.File("b.txt"), "b\n");
  s.W->Eder(0).SetSelText("y");
  {
    TDialogAnswer cancel([](QWidget* W) { Click(W, QMessageBox::Cancel); });
    EXPECT_FALSE(s.W->close());
    EXPECT_TRUE(s.W->isVisible());
  }
  {
    TDialogAnswer save([](QWidget* W) { Click(W, QMessageBox::Save); });
    EXPECT_TRUE(s.W->close());
  }
  EXPECT_EQ(s.File("a.txt"), "ya\n");
}

// Files dropped on the window open in new tabs whatever the characters of their names (as on
// the command line); one status message names every file that could not be opened.
TEST(EderSave, FilesDroppedOnTheWindowOpenInNewTabs) {
  test::TempDir dir;
  const std::string names[] = {"d.pl", "caf\xC3\xA9.txt", "\xF0\x9F\x98\x80.txt",
                               "\xE4\xBD\xA0\xE5\xA5\xBD.txt" /* simplified Chinese */};
  for (const std::string& n : names) test::WriteFileBytes(dir / n, "print 1;\n");
  std::filesystem::create_directory(dir / "folder");
  const std::string missing = (dir / "missing.txt").string(), folder = (dir / "folder").string();
  TSaveWindow s{{"a.txt", "a\n"}};
  QMimeData mime;
  QList<QUrl> urls;
  for (const std::string& n : names)
    urls << QUrl::fromLocalFile(QString::fromStdString((dir / n).string()));
  urls << QUrl::fromLocalFile(QString::fromStdString(missing))
       << QUrl::fromLocalFile(QString::fromStdString(folder));
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(s.W.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(s.W.get(), &drop);
  ASSERT_EQ(s.W->PageCount(), 5) << s.Status().toStdString();
  EXPECT_EQ(s.W->Tabs()->currentIndex(), 4);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(s.W->Tabs()->tabText(i), QString::fromStdString(names[i - 1]));
    EXPECT_EQ(s.W->Eder(i).Lines()->Get(0), "print 1;");
  }
  EXPECT_EQ(s.W->Eder(1).GetHighlighter(), s.W->Highlighters().ForFileName("d.pl"));
  EXPECT_EQ(s.Status().toStdString(), "Cannot open file \"" + missing +
                                          "\". No such file or directory; Cannot open file \"" +
                                          folder + "\". It is a folder, not a regular file");
  // Saved back under the same name.
  s.W->Tabs()->setCurrentIndex(3);
  s.Ed().SetSelText("x");
  s.W->SaveCurrentPage();
  EXPECT_EQ(test::ReadFileBytes(dir / names[2]), "xprint 1;\n");
}

// The questions before a save say what happened to the file, and when, but not who did it (a
// program, a user, or the window's own other tab on the file, which the program cannot tell
// apart). Each first question is answered Save, after what Meanwhile does while it is open;
// the one that follows is cancelled.
TEST(EderSave, QuestionsSayWhatHappenedNotWhoDidIt) {
  namespace fs = std::filesystem;
  struct TCase {
    const char* Name;
    std::string Text;  // the euro sign is lost on reading
    bool TwoTabs;      // the first saved before the second
    bool Appended;     // before Ctrl+S
    std::function<void(const fs::path& File)> Meanwhile;
    std::vector<std::pair<QString, QString>> Says;  // each question's title and what it says
                                                    // ($d: the folder)
    bool ThroughLink = false;                       // opened through the link l.txt
  };
  const auto append = [](const fs::path& F) {
    test::WriteFileBytes(F, test::ReadFileBytes(F) + "more\n");
  };
  const auto swapForALink = [](const fs::path& F) {
    fs::create_symlink("secret", F.parent_path() / "l");
    fs::rename(F.parent_path() / "l", F);
  };
  const QString meanwhile = " while the question before this one was open";
  const TCase cases[] = {
      {"saved from the other tab first",
       "one\n",
       true,
       false,
       nullptr,
       {{"Replaced on disk",
         " was replaced on disk after it was read or last saved: the name now leads to another "
         "file. Saving writes the text shown there."}}},
      {"a line appended meanwhile",
       "\xE2\x82\xAC\n",
       false,
       false,
       append,
       {{"Save", "were already replaced"},
        {"Changed on disk", " was changed on disk" + meanwhile +
                                ". Saving replaces the text on disk with the text shown."}}},
      {"a link swapped in meanwhile",
       "one\n",
       false,
       true,
       swapForALink,
       {{"Changed on disk", " was changed on disk after it was read or last saved."},
        {"Replaced on disk",
         " was replaced on disk" + meanwhile + ": the name now is a link to "}}},
      {"deleted meanwhile",
       "\xE2\x82\xAC\n",
       false,
       false,
       [](const fs::path& F) { fs::remove(F); },
       {{"Save", "were already replaced"}, {"Deleted on disk", " was deleted" + meanwhile + "."}}},
      {"its link turned to another file meanwhile",
       "\xE2\x82\xAC\n",
       false,
       false,
       swapForALink,
       {{"Save", "were already replaced"},
        {"Replaced on disk", "$d/l.txt was replaced on disk" + meanwhile +
                                 ": the link now leads to another file, $d/secret. Saving "
                                 "writes the text shown there."}},
       true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TSaveWindow s = c.TwoTabs       ? TSaveWindow{{"u.txt", c.Text}, {"u.txt", c.Text}}
                    : c.ThroughLink ? TSaveWindow({{"u.txt", c.Text}}, "l.txt")
                                    : TSaveWindow{{"u.txt", c.Text}};
    const fs::path file = s.Dir / (c.ThroughLink ? "l.txt" : "u.txt");
    test::WriteFileBytes(s.Dir / "secret", "secret\n");
    if (c.TwoTabs) {
      s.W->Tabs()->setCurrentIndex(1);
      s.Ed().SetSelText("x");
      s.CtrlS();
      s.W->Tabs()->setCurrentIndex(0);
      QApplication::processEvents();
    }
    s.Ed().SetSelText("y");
    if (c.Appended) append(file);
    QStringList titles, texts;
    TDialogAnswer answer([&](QWidget* W) {
      titles << W->windowTitle();
      texts << qobject_cast<QMessageBox*>(W)->text();
      if (titles.size() == 1 && c.Meanwhile) c.Meanwhile(file);
      Click(W, titles.size() == 1 && c.Says.size() > 1 ? QMessageBox::Save : QMessageBox::Cancel);
    });
    s.CtrlS();
    ASSERT_EQ(titles.size(), qsizetype(c.Says.size())) << titles.join(", ").toStdString();
    for (size_t i = 0; i < c.Says.size(); ++i) {
      EXPECT_EQ(titles[i], c.Says[i].first);
      const QString says = QString(c.Says[i].second).replace("$d", s.Dir.Path().c_str());
      EXPECT_TRUE(texts[i].contains(says)) << texts[i].toStdString();
      EXPECT_FALSE(texts[i].contains("program")) << texts[i].toStdString();
    }
    EXPECT_TRUE(s.Ed().GetModified());
    EXPECT_EQ(test::ReadFileBytes(s.Dir / "secret"), "secret\n");
  }
}

// What is done to a file between its reading and Ctrl+S that its size and modification time do
// not show: given to another owner or group, or turned into a pipe, it is "Replaced on disk" and
// the question says what the name leads to now; written with its modification time set back,
// or given another mode, it is "Changed on disk". A second name given to it asks nothing, and
// the save goes on. Cancel, the default, leaves the file as it is.
TEST(EderSave, ChangesOnlyTheOwnerKindOrChangeTimeShowAreAskedAbout) {
  namespace fs = std::filesystem;
  const auto setTimeBack = [](const fs::path& F, const struct stat& Was) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, Was.st_mtim};
    ::utimensat(AT_FDCWD, F.c_str(), times, 0);
  };
  const struct {
    const char* What;
    std::function<void(const fs::path& File, const struct stat& Was)> Do;
    QString Title;  // "" when nothing is asked
    QString Says;
    std::string Left;  // what the file then holds ("" for the pipe)
  } cases[] = {
      {"given to nobody",
       [](const fs::path& F, const struct stat&) {
         ASSERT_EQ(::chown(F.c_str(), test::kNobody, test::kNobody), 0);
       },
       "Replaced on disk",
       ": the name now leads to a file that belongs to nobody:nogroup, not to root:root. Saving "
       "writes the text shown there.",
       "one\n"},
      {"given to nobody's group",
       [](const fs::path& F, const struct stat&) {
         ASSERT_EQ(::chown(F.c_str(), uid_t(-1), test::kNobody), 0);
       },
       "Replaced on disk", "belongs to root:nogroup, not to root:root.", "one\n"},
      {"a pipe with the time set back",
       [&](const fs::path& F, const struct stat& Was) {
         fs::remove(F);
         ::mkfifo(F.c_str(), 0644);
         setTimeBack(F, Was);
       },
       "Replaced on disk", " is a pipe (FIFO)", ""},
      {"written with the time set back",
       [&](const fs::path& F, const struct stat& Was) {
         test::WriteFileBytes(F, "ONE\n");
         setTimeBack(F, Was);
       },
       "Changed on disk", " was changed on disk after it was read or last saved.", "ONE\n"},
      {"another mode", [](const fs::path& F, const struct stat&) { ::chmod(F.c_str(), 0600); },
       "Changed on disk", " was changed on disk", "one\n"},
      {"a second name",
       [](const fs::path& F, const struct stat&) {
         fs::create_hard_link(F, F.parent_path() / "second.txt");
       },
       "", "", "yone\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TSaveWindow s{{"u.txt", "one\n"}};
    const fs::path file = s.Dir / "u.txt";
    s.Ed().SetSelText("y");
    struct stat was {};
    ::stat(file.c_str(), &was);
    c.Do(file, was);
    QStringList titles, texts;
    TDialogAnswer answer([&](QWidget* W) {
      titles << W->windowTitle();
      texts << qobject_cast<QMessageBox*>(W)->text();
      QTest::keyClick(W, Qt::Key_Return);
    });
    s.CtrlS();
    if (c.Title.isEmpty()) {
      EXPECT_EQ(titles, QStringList{});
      EXPECT_EQ(s.File("u.txt"), c.Left);
      EXPECT_EQ(s.File("second.txt"), c.Left);  // written in place
      EXPECT_FALSE(s.Ed().GetModified());
      continue;
    }
    ASSERT_EQ(titles, QStringList{c.Title});
    EXPECT_TRUE(texts[0].contains(c.Says)) << texts[0].toStdString();
    EXPECT_TRUE(s.Ed().GetModified());
    if (!c.Left.empty()) {
      EXPECT_EQ(s.File("u.txt"), c.Left);
    }
  }
}

// A file the window saved, by a rename, in place (it has a second name) or made anew where it
// was deleted, is saved again without a question: what the save itself did to the file (a
// rename, a name given) is no change on disk.
TEST(EderSave, AFileSavedIsSavedAgainWithoutAQuestion) {
  namespace fs = std::filesystem;
  const struct {
    const char* What;
    std::function<void(const fs::path& File)> Before;
    int Questions;  // at the first save
  } cases[] = {
      {"renamed over", [](const fs::path&) {}, 0},
      {"written in place",
       [](const fs::path& F) { fs::create_hard_link(F, F.parent_path() / "second.txt"); }, 0},
      {"made anew", [](const fs::path& F) { fs::remove(F); }, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TSaveWindow s{{"u.txt", "one\n"}};
    c.Before(s.Dir / "u.txt");
    int questions = 0;
    TDialogAnswer save([&](QWidget* W) {
      ++questions;
      Click(W, QMessageBox::Save);
    });
    for (const char* typed : {"a", "b", "c"}) {
      s.Ed().SetSelText(typed);
      s.CtrlS();
      EXPECT_FALSE(s.Ed().GetModified());
    }
    EXPECT_EQ(questions, c.Questions);
    EXPECT_EQ(s.File("u.txt"), "abcone\n");
  }
}

}  // namespace
}  // namespace rid

// --- the real program under an X server, driven by xdotool

namespace rid {
namespace {

// Where the program's window shows things, measured on the same window opened here under the
// same X server: the editor's client origin, cell size, each page's gutter, each tab's centre.
struct TXLayout {
  QPoint Editor;
  int Cw = 0, Lh = 0;
  std::vector<int> Gutter;
  std::vector<QPoint> Tabs;
};

TXLayout MeasureLayout(const std::vector<std::string>& Files) {
  TXLayout l;
  TEderWindow w(Files);
  w.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&w, test::kWaitSeconds * 1000));
  QTabBar* bar = w.Tabs()->tabBar();
  for (int i = 0; i < w.PageCount(); ++i) {
    w.Tabs()->setCurrentIndex(i);
    QApplication::processEvents();
    TRidEder& ed = w.Eder(i);
    l.Editor = ed.ClientWidget()->mapTo(&w, QPoint(0, 0));
    l.Cw = ed.GetCharWidth();
    l.Lh = ed.GetLineHeight();
    l.Gutter.push_back(ed.GetGutterWidth());
    if (bar->isVisible()) l.Tabs.push_back(bar->mapTo(&w, bar->tabRect(i).center()));
  }
  return l;
}

// One mouse or keyboard action in the window; positions are (column, line) of the page's text.
struct TXStep {
  enum TKind { Click, Select, Drag, DoubleClick, Keys, Type } Kind;
  TBufferCoord From, To;
  std::string Held;  // keys held through a drag ("ctrl", "shift"), or the keys to press or type
  int ToPage = -1;   // a drag that rests on this page's tab and drops there
};

// The xdotool commands of a page's steps in the program's window, one for each event that the
// program must have handled before the next is sent (the server routes the next one by the grab
// or focus the program takes in answer to the last).
class TXScript {
 public:
  TXScript(const TXLayout& Layout, const std::string& Window) : L(Layout), W(Window) {}

  std::vector<std::string> Page(int Page, const std::vector<TXStep>& Steps) {
    std::vector<std::string> commands;
    for (const TXStep& st : Steps) {
      Show(Page, commands);
      for (const std::string& c : Step(Page, st)) commands.push_back("xdotool" + c);
    }
    return commands;
  }

 private:
  std::vector<std::string> Step(int Page, const TXStep& St) {
    switch (St.Kind) {
      case TXStep::Click:
        return {Move(At(Page, St.From)) + " click 1"};
      case TXStep::Select:
        return {Move(At(Page, St.From)) + " mousedown 1", Move(At(Page, St.From) + QPoint(L.Cw, 0)),
                Move(At(Page, St.To)), " mouseup 1"};
      case TXStep::Drag: {
        const QPoint from = At(Page, St.From) + QPoint(L.Cw / 2, 0);
        const int to = St.ToPage < 0 ? Page : St.ToPage;
        std::vector<std::string> s = {Move(from) + " mousedown 1", Move(from + QPoint(8, 0)),
                                      Move(from + QPoint(8, L.Lh))};
        if (!St.Held.empty()) s.push_back(" keydown " + St.Held);
        if (to != Page) {
          s.push_back(Move(L.Tabs[to]));
          FShown = to;
        }
        s.insert(s.end(), {Move(At(to, St.To)), " mouseup 1"});
        if (!St.Held.empty()) s.push_back(" keyup " + St.Held);
        return s;
      }
      case TXStep::DoubleClick:
        return {Move(At(Page, St.From)) + " click --repeat 2 --delay 80 1"};
      case TXStep::Keys:
        return {" key " + St.Held};
      case TXStep::Type:
        return {" type '" + Replace(St.Held, "'", "'\\''") + "'"};
    }
    return {};
  }
  // A point a little inside the cell of a column (its left edge is the nearest boundary).
  QPoint At(int Page, TBufferCoord P) const {
    return L.Editor +
           QPoint(L.Gutter[Page] + 2 + (P.Char - 1) * L.Cw + 2, (P.Line - 1) * L.Lh + L.Lh / 2);
  }
  // The page's tab clicked when another page is shown.
  void Show(int Page, std::vector<std::string>& Commands) {
    if (Page == FShown) return;
    FShown = Page;
    Commands.push_back("xdotool" + Move(L.Tabs[Page]) + " click 1");
  }
  std::string Move(QPoint P) const {
    return " mousemove --window " + W + " " + std::to_string(P.x()) + " " + std::to_string(P.y());
  }

  const TXLayout& L;
  std::string W;
  int FShown = 0;
};

struct TXFile {
  const char* Name;
  JCodeKind Code;
  const char* Break;
  std::vector<std::string> Before;  // UTF-8 lines, each followed by Break
  std::vector<TXStep> Mouse;        // on this page
  std::vector<std::string> After;   // the lines after them (and after drops from other pages)
};

// Typed on every page at the end of its text: ASCII and Japanese keys, Enter (which indents as
// the line above), Tab (to the next word start above, in spaces), an input-method result (the
// compose sequence Multi_key n i, committing 語で), Backspace and Delete over double-byte
// characters, undo twice and redo once, a copy of "b語" with Shift+Left and its paste.
const std::vector<TXStep> kTyping = {
    {TXStep::Click, {1, 1}},
    {TXStep::Keys, {}, {}, "ctrl+End"},
    {TXStep::Type, {}, {}, "  Go(1); 日本"},
    {TXStep::Keys, {}, {}, "Return Tab"},
    {TXStep::Type, {}, {}, "ab"},
    {TXStep::Keys, {}, {}, "Multi_key n i BackSpace Left Left Delete ctrl+z ctrl+z shift+ctrl+z"},
    {TXStep::Keys, {}, {}, "End shift+Left shift+Left ctrl+c Up End ctrl+v"},
    {TXStep::Keys, {}, {}, "ctrl+s"},
};
const std::vector<std::string> kTyped = {"  Go(1); 日本b語", "         ab語"};

// Files in each code and break style, in the real program: mouse selections, a double click,
// drags within a page, copied with Ctrl, and onto another page by way of its tab; then the
// typing above and Ctrl+S. Each file must then hold the tools' encoding of the edited text.
void EditAndSaveEachFileUnderX() {
  const std::vector<TXFile> files = {
      {"sjis.txt",
       jcSjis,
       "\r\n",
       {"hello world", "second line"},
       // A mouse selection, dragged into the next line.
       {{TXStep::Select, {1, 1}, {7, 1}}, {TXStep::Drag, {3, 1}, {8, 2}}},
       {"world", "second hello line"}},
      {"euc.txt",
       jcEuc,
       "\n",
       {"日本語のテキスト", "abc def"},
       // Copied with Ctrl onto the first line.
       {{TXStep::Select, {1, 2}, {5, 2}}, {TXStep::Drag, {2, 2}, {1, 1}, "ctrl"}},
       {"abc 日本語のテキスト", "abc def"}},
      {"jis.txt",
       jcJisB,
       "\n",
       {"漢字と かな", "x"},
       // A space and two double-byte characters moved to the end of the next line (pressed on
       // a character's second half).
       {{TXStep::Select, {7, 1}, {12, 1}}, {TXStep::Drag, {9, 1}, {2, 2}}},
       {"漢字と", "x かな"}},
      {"utf8.txt",
       jcUtf8,
       "\r",
       {"表示する", "one two"},
       // A word taken by a double click.
       {{TXStep::DoubleClick, {6, 2}}, {TXStep::Drag, {6, 2}, {1, 1}}},
       {"two表示する", "one "}},
      {"utf16.txt",
       jcUtf16LE,
       "\r\n",
       {"ａｂ", "cd"},
       // Copied onto the next page by way of its tab.
       {{TXStep::Select, {3, 1}, {5, 1}}, {TXStep::Drag, {3, 1}, {1, 2}, "", 5}},
       {"ａｂ", "cd"}},
      {"bom.txt",
       jcUtf8Bom,
       "\r\n",
       {"一二三", "四"},
       {{TXStep::Select, {3, 1}, {5, 1}}, {TXStep::Drag, {3, 1}, {5, 2}}},
       {"一三", "ｂ四二"}},
      {"utf16be.txt",
       jcUtf16BE,
       "\r",
       {"ｱｲｳ 全角", "end"},
       // Half-width katakana moved past the end of the next line.
       {{TXStep::Select, {1, 1}, {4, 1}}, {TXStep::Drag, {2, 1}, {4, 2}}},
       {" 全角", "endｱｲｳ"}},
  };
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  test::TempDir dir;
  std::vector<std::string> names;
  for (const TXFile& f : files) {
    test::WriteFileBytes(dir / f.Name, Encoded(Joined(f.Before, f.Break, true), f.Code));
    names.push_back((dir / f.Name).string());
  }
  const TXLayout layout = MeasureLayout(names);
  ASSERT_EQ(layout.Tabs.size(), files.size());
  test::WriteFileBytes(dir / "compose", "<Multi_key> <n> <i> : \"語で\"\n");
  const std::string window =
      x.StartRideder(names, {"QT_IM_MODULE=compose", "XCOMPOSEFILE=" + (dir / "compose").string()});
  ASSERT_FALSE(window.empty()) << x.Error();
  TXScript script(layout, window);
  for (size_t p = 0; p < files.size(); ++p) {
    const TXFile& f = files[p];
    SCOPED_TRACE(f.Name);
    std::vector<TXStep> steps = f.Mouse;
    steps.insert(steps.end(), kTyping.begin(), kTyping.end());
    for (const std::string& command : script.Page(int(p), steps)) {
      x.Run(command);
      ASSERT_TRUE(x.Sync(window)) << x.Error();
    }
    // Saved once the program has read every step before Ctrl+S.
    const std::string want =
        Encoded(Joined(f.After, f.Break, true) + Joined(kTyped, f.Break, false), f.Code);
    test::WaitUntil([&] { return test::ReadFileBytes(dir / f.Name) == want; });
    EXPECT_EQ(test::ReadFileBytes(dir / f.Name), want);
  }
}

TEST(EderUnderX, KeysInputMethodMouseAndDropsSavedInEachFilesCode) {
  if (test::UnderX()) return EditAndSaveEachFileUnderX();
  RID_NEED_TOOL("xdotool", "xdotool");
  RID_NEED_TOOL("iconv", "libc-bin");
  RID_NEED_TOOL("nkf", "nkf");
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  // Mapped before the programs start, so they read the map at once.
  ASSERT_TRUE(x.MapKeys("日本", {"Multi_key"})) << x.Error();
  int code = -1;
  const std::string out = x.RunThisTest(&code);
  EXPECT_EQ(code, 0) << out;
}

// --- saving over what other programs and users did, in the real program

// What another program does to the file between its reading and Ctrl+S.
enum class TMeanwhile {
  Nothing,
  Rewritten,
  Deleted,
  LinkedByNobody,
  AppendedByNobody,
  SwappedForALinkByNobody,  // a link made aside and renamed over the file
  DeletedByNobody,
  ChownedToNobody,  // by root: the same inode, size and modification time, nobody's
  RemadeByNobody,   // deleted, then made again with as many bytes, mode 0600 and the old
                    // modification time, until it gets the inode number back (10 tries)
};

// How often RemadeByNobody got the inode number back, and in how many tries.
int InodesReused = 0, RemadeTries = 0;

// Deletes File and makes it again as nobody, holding Text, with mode 0600 and the modification
// time of Old. The file system gives a new file the lowest inode number free near its folder,
// and a busy machine leaves holes below the old one as it makes and deletes files: they are
// filled first and emptied after, so that the new file gets the old number back unless another
// process takes it or frees a lower one in the moment between. In a child, without allocating.
void RemakeAsNobody(const std::filesystem::path& File, const std::string& Text,
                    const struct stat& Old) {
  const std::string folder = File.parent_path().string();
  test::MessageInChild([&] {
    test::BecomeNobody();
    char name[PATH_MAX];
    const auto filler = [&](int K) {
      std::snprintf(name, sizeof name, "%s/.filler%d", folder.c_str(), K);
      return name;
    };
    int filled = 0;  // an ext4 group of groups holds 131,072 inodes
    for (struct stat st{}; filled < (1 << 18) && st.st_ino <= Old.st_ino; ++filled) {
      const int fd = ::open(filler(filled), O_CREAT | O_EXCL | O_WRONLY, 0600);
      if (fd < 0 || ::fstat(fd, &st) != 0) break;
      ::close(fd);
    }
    ::unlink(File.c_str());
    const int fd = ::open(File.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (fd >= 0) {
      (void)!::write(fd, Text.data(), Text.size());
      ::fchmod(fd, 0600);
      const timespec times[2] = {Old.st_mtim, Old.st_mtim};
      ::futimens(fd, times);
      ::close(fd);
    }
    for (int k = 0; k <= filled; ++k) ::unlink(filler(k));
  });
}

// Does it in a process of its own (as nobody where another user acts); returns the text it
// leaves where the file was.
std::string ActMeanwhile(TMeanwhile What, const test::TSaveSiteFiles& F) {
  const std::string file = test::ShellQuoted(F.File.string());
  const auto asNobody = [](const std::string& Command) {
    test::RunTool("setpriv --reuid=65534 --regid=65534 --clear-groups -- sh -c " +
                  test::ShellQuoted(Command));
  };
  // Root's private file, which the link leads to.
  const auto secret = [&F] {
    const auto secret = F.Real.parent_path() / "secret";
    test::WriteFileBytes(secret, "secret\n");
    ::chmod(secret.c_str(), 0600);
    return std::string("secret\n");
  };
  switch (What) {
    case TMeanwhile::Nothing:
      break;
    case TMeanwhile::Rewritten:
      test::RunTool("printf 'other text\\n' > " + file);
      return "other text\n";
    case TMeanwhile::Deleted:
      test::RunTool("rm " + file);
      break;
    case TMeanwhile::LinkedByNobody: {
      const std::string shown = secret();
      asNobody("rm " + file + " && ln -s secret " + file);
      return shown;
    }
    case TMeanwhile::AppendedByNobody: {
      const std::string before = test::ReadFileBytes(F.File);
      asNobody("printf 'appended\\n' >> " + file);
      return before + "appended\n";
    }
    case TMeanwhile::SwappedForALinkByNobody: {
      const std::string shown = secret();
      const std::string aside = test::ShellQuoted((F.Real.parent_path() / "l").string());
      asNobody("ln -s secret " + aside + " && mv -f " + aside + " " + file);
      return shown;
    }
    case TMeanwhile::DeletedByNobody:
      asNobody("rm " + file);
      break;
    case TMeanwhile::ChownedToNobody:
      test::RunTool("chown nobody:nogroup " + file);
      return test::ReadFileBytes(F.File);
    case TMeanwhile::RemadeByNobody: {
      struct stat old {};
      ::stat(F.File.c_str(), &old);
      const std::string made = std::string(size_t(old.st_size) - 1, 'n') + "\n";
      for (int tries = 1; tries <= 10; ++tries) {
        RemakeAsNobody(F.File, made, old);
        struct stat now {};
        ::stat(F.File.c_str(), &now);
        ++RemadeTries;
        if (now.st_ino == old.st_ino) {
          ++InodesReused;
          break;
        }
      }
      return made;
    }
  }
  return {};
}

// The window a program shows besides Main (a question), or "" when there is none.
std::string OtherWindow(test::TXSession& X, const std::string& Main) {
  int code = -1;
  const std::string ids =
      X.Run("xdotool search --onlyvisible --pid $(xdotool getwindowpid " + Main + ")", {}, &code);
  std::istringstream lines(ids);
  for (std::string id; std::getline(lines, id);)
    if (id != Main) return id;
  return {};
}

// What the window writes for a file that held Old once an x is typed at its start (its
// replaced characters written as the page holds them).
std::string SavedWithAnX(const std::string& Old) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "f.txt", Old);
  TEderHighlighters highlighters;
  const auto page = LoadPage((dir / "f.txt").string(), highlighters);
  page->Eder->SetSelText("x");
  SaveInCode(*page->Eder->GetLines(), page->Code, (dir / "out").string(), page->JisKanjiOut);
  return test::ReadFileBytes(dir / "out");
}

// Ctrl+S after another program or user changed the file, or where a rename would harm it: the
// program asks first (Cancel the default) about what was done to the file, writes in place
// where a rename would lose the file's owner or its other name, and leaves the file whole and
// its text unsaved when the write fails. What another user does while a question is open is
// asked about in turn before anything is written: a link swapped in is never written through,
// a file deleted is not made anew unasked, and a write that failed and put the old text back
// is no change on disk. On a nearly full btrfs, where writing over a file takes new blocks,
// the save finds no room for the new text beside the old and writes nothing. A file made anew
// gets the owner, group, mode and ACL it had, whatever its folder gives new files, and another
// user watching the folder opens nothing of it that the file read shut them out of.
TEST(EderSaveUnderX, AsksBeforeOverwritingOthersWorkAndKeepsWhatTheFileIs) {
  RID_NEED_TOOL("xdotool", "xdotool");
  RID_NEED_TOOL("setpriv", "util-linux");
  RID_NEED_TOOL("prlimit", "util-linux");
  RID_NEED_TOOL("chattr", "e2fsprogs");
  RID_NEED_TOOL("mkfs.btrfs", "btrfs-progs");
  RID_NEED_TOOL("setfacl", "acl");
  using enum test::TSaveSite;
  using enum TMeanwhile;
  enum THolds { kNew, kOld, kOther, kMissing };
  const std::string cancel = "Return", save = "Tab space";  // Cancel is the default button
  struct TStep {
    std::string Title;           // the question's; "" for keys pressed in the window
    std::string Keys;            // that answer it
    TMeanwhile While = Nothing;  // done while it is open
  };
  struct TCase {
    const char* Name;
    test::TSaveSite Site;
    TMeanwhile Meanwhile;
    std::vector<TStep> Dialogs;  // after Ctrl+S
    THolds Holds;
    bool SameInode;  // as before Ctrl+S
    mode_t Mode;
    uid_t Owner;
    bool Replaced = false;  // the file holds a character that reading replaces (an emoji)
    bool Watched = false;   // 3 MB, saved while nobody opens every file made in its folder
  };
  const TCase cases[] = {
      {"renamed over", Plain, Nothing, {}, kNew, false, 0640, 0},
      {"changed, cancelled",
       Plain,
       Rewritten,
       {{"Changed on disk", cancel}},
       kOther,
       true,
       0640,
       0},
      {"changed, saved", Plain, Rewritten, {{"Changed on disk", save}}, kNew, false, 0640, 0},
      {"deleted, cancelled", Plain, Deleted, {{"Deleted on disk", cancel}}, kMissing},
      {"deleted, saved with its mode",
       Plain,
       Deleted,
       {{"Deleted on disk", save}},
       kNew,
       false,
       0640,
       0},
      {"a link by another user, cancelled",
       Plain,
       LinkedByNobody,
       {{"Replaced on disk", cancel}},
       kOther,
       true,
       0600,
       0},
      {"opened and saved through a link", ThroughLink, Nothing, {}, kNew, false, 0640, 0},
      {"a name of 250 bytes", LongName, Nothing, {}, kNew, false, 0640, 0},
      {"hard-linked", HardLinked, Nothing, {}, kNew, true, 0640, 0},
      {"a 0555 folder", FolderRefuses, Nothing, {}, kNew, true, 0644, test::kNobody},
      {"root's file in a sticky folder", StickyFolder, Nothing, {}, kNew, true, 0666, 0},
      {"root's file saved by nobody", NotOwner, Nothing, {}, kNew, true, 0666, 0},
      {"a write that fails part way",
       FailsMidway,
       Nothing,
       {{"Save", "Return"}},
       kOld,
       true,
       0640,
       0},
      {"nobody's file, changed, a link swapped in while asked",
       OthersFolder,
       AppendedByNobody,
       {{"Changed on disk", save, SwappedForALinkByNobody}, {"Replaced on disk", cancel}},
       kOther,
       false,
       0600,
       0},
      {"nobody's file, characters replaced, a link swapped in while asked",
       OthersFolder,
       Nothing,
       {{"Save", save, SwappedForALinkByNobody}, {"Replaced on disk", cancel}},
       kOther,
       false,
       0600,
       0,
       true},
      {"nobody's file, characters replaced, a line appended while asked, saved",
       OthersFolder,
       Nothing,
       {{"Save", save, AppendedByNobody}, {"Changed on disk", save}},
       kNew,
       false,
       0644,
       test::kNobody,
       true},
      {"nobody's file, characters replaced, a line appended while asked, cancelled",
       OthersFolder,
       Nothing,
       {{"Save", save, AppendedByNobody}, {"Changed on disk", cancel}},
       kOther,
       true,
       0644,
       test::kNobody,
       true},
      {"nobody's file, characters replaced, deleted while asked",
       OthersFolder,
       Nothing,
       {{"Save", save, DeletedByNobody}, {"Deleted on disk", cancel}},
       kMissing,
       false,
       0,
       0,
       true},
      {"nobody's file, changed, deleted while asked, saved again as nobody's",
       OthersFolder,
       AppendedByNobody,
       {{"Changed on disk", save, DeletedByNobody}, {"Deleted on disk", save}},
       kNew,
       false,
       0644,
       test::kNobody},
      {"a write that fails part way, then saved again",
       FailsMidway,
       Nothing,
       {{"Save", "Return"}, {"", "ctrl+s"}, {"Save", "Return"}},
       kOld,
       true,
       0640,
       0},
      {"root's file given to nobody, cancelled",
       Plain,
       ChownedToNobody,
       {{"Replaced on disk", cancel}},
       kOther,
       true,
       0640,
       test::kNobody},
      {"root's file given to nobody, saved there as told",
       Plain,
       ChownedToNobody,
       {{"Replaced on disk", save}},
       kNew,
       false,
       0640,
       test::kNobody},
      {"root's file made anew by nobody with its size and time, cancelled",
       Plain,
       RemadeByNobody,
       {{"Replaced on disk", cancel}},
       kOther,
       true,
       0600,
       test::kNobody},
      {"nobody's 6755 file, changed, deleted while asked, saved again as nobody's",
       SetIdOthersFolder,
       AppendedByNobody,
       {{"Changed on disk", save, DeletedByNobody}, {"Deleted on disk", save}},
       kNew,
       false,
       06755,
       test::kNobody},
      {"an append-only folder", AppendOnlyFolder, Nothing, {}, kNew, true, 0640, 0},
      {"hard-linked, on a nearly full btrfs",
       NearlyFullBtrfs,
       Nothing,
       {{"Save", "Return"}},
       kOld,
       true,
       0640,
       0},
      {"nobody's file with a trusted attribute, saved by nobody",
       TrustedOwnFile,
       Nothing,
       {},
       kNew,
       false,
       0644,
       test::kNobody},
      {"its link turned to another file by another user, cancelled",
       ThroughLink,
       LinkedByNobody,
       {{"Replaced on disk", cancel}},
       kOther,
       true,
       0600,
       0},
      {"root's 0600 file, watched by nobody",
       Private,
       Nothing,
       {},
       kNew,
       false,
       0600,
       0,
       false,
       true},
      {"root's 0600 file, deleted, saved again with its mode while nobody watches",
       Private,
       Deleted,
       {{"Deleted on disk", save}},
       kNew,
       false,
       0600,
       0,
       false,
       true},
      {"root's file with an ACL entry that shuts nobody out, deleted, saved again while nobody "
       "watches",
       AclShutsNobodyOut,
       Deleted,
       {{"Deleted on disk", save}},
       kNew,
       false,
       0644,
       0,
       false,
       true},
      {"root's file in a set-group-ID folder, deleted, saved again while nobody watches",
       SetGroupIdFolder,
       Deleted,
       {{"Deleted on disk", save}},
       kNew,
       false,
       0640,
       0,
       false,
       true},
      {"root's file in a folder that gives new files an ACL, deleted, saved again while nobody "
       "watches",
       DefaultAclFolder,
       Deleted,
       {{"Deleted on disk", save}},
       kNew,
       false,
       0640,
       0,
       false,
       true},
  };
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string old = c.Replaced ? "\xF0\x9F\x98\x80 smile\n" : "";
    while (old.size() < (c.Watched ? 3'000'000u : 3000u))
      old += "old line " + std::to_string(old.size()) + "\n";
    test::TSaveSiteFiles f(c.Site, old);
    std::vector<std::string> command = f.SaverCommand();
    command.insert(command.end(), {std::string(RID_BUILD_DIR) + "/rideder", f.File.string()});
    std::vector<std::string> env = f.SaverEnvironment();
    env.push_back("RIDEDER_REGISTRY=" + (f.Cache() / "registry.ini").string());
    const std::string window =
        x.StartProgram(command[0], {command.begin() + 1, command.end()}, env);
    ASSERT_FALSE(window.empty()) << x.Error();
    if (c.Replaced) {  // told on opening
      ASSERT_TRUE(test::WaitUntil([&] { return !OtherWindow(x, window).empty(); }));
      const std::string told = OtherWindow(x, window);
      EXPECT_EQ(x.Run("xdotool getwindowname " + told), "rideder\n");
      x.Run("xdotool windowfocus --sync " + told + " key Return");
    }
    x.Run("xdotool windowfocus --sync " + window + " type x");
    ASSERT_TRUE(x.Sync(window)) << x.Error();
    const auto read = test::TSaveSiteFiles::See(f.File);
    std::string other = ActMeanwhile(c.Meanwhile, f);
    const auto before = test::TSaveSiteFiles::See(f.File);
    std::optional<test::TNobodyWatching> watching;
    if (c.Watched) watching.emplace(f.Real.parent_path());
    x.Run("xdotool windowfocus --sync " + window + " key ctrl+s");
    ASSERT_TRUE(x.Sync(window)) << x.Error();
    for (const TStep& step : c.Dialogs) {
      const std::string dialog = step.Title.empty() ? window : OtherWindow(x, window);
      if (dialog.empty()) {
        ADD_FAILURE() << "no window titled " << step.Title;
        break;
      }
      if (!step.Title.empty()) {
        EXPECT_EQ(x.Run("xdotool getwindowname " + dialog), step.Title + "\n");
      }

      if (step.While != Nothing) other = ActMeanwhile(step.While, f);
      x.Run("xdotool windowfocus --sync " + dialog + " key " + step.Keys);
      ASSERT_TRUE(x.Sync(window)) << x.Error();
    }
    EXPECT_EQ(OtherWindow(x, window), "");  // nothing else asked
    EXPECT_EQ(x.Run("xdotool getwindowname " + window).starts_with("*"), c.Holds != kNew);
    if (watching) {  // it saw the new file made and named, and could open it neither time
      EXPECT_TRUE(watching->WaitForTries(2));
      const std::string tried = watching->Stop();
      EXPECT_EQ(tried.find("opened"), std::string::npos) << tried;
      EXPECT_TRUE(tried.ends_with("\nf.txt: Permission denied\n")) << tried;
    }

    const auto after = test::TSaveSiteFiles::See(f.File);
    const std::string holds[] = {c.Replaced ? SavedWithAnX(old) : "x" + old, old, other};
    EXPECT_EQ(after.Exists, c.Holds != kMissing);
    if (after.Exists && c.Holds != kMissing) {
      EXPECT_TRUE(after.Bytes == holds[c.Holds]) << after.Bytes.substr(0, 40);
      EXPECT_EQ(after.Mode, c.Mode);
      EXPECT_EQ(after.Owner, c.Owner);
      if (c.Watched) {  // and what else the file read had
        EXPECT_EQ(after.Group, read.Group);
        EXPECT_EQ(after.Acl, read.Acl);
      }
      // A file deleted while asked leaves its inode number free for any new file, the save's
      // among them: whether the save gets it back depends on what else the machine makes.
      const bool deletedWhileAsked =
          std::any_of(c.Dialogs.begin(), c.Dialogs.end(),
                      [](const TStep& S) { return S.While == DeletedByNobody; });
      if (before.Exists && !deletedWhileAsked) {
        EXPECT_EQ(after.Inode == before.Inode, c.SameInode);
      }
    }
    if (!f.Partner.empty()) {
      EXPECT_EQ(test::ReadFileBytes(f.Partner), after.Bytes);  // the other name, the same text
    }
    EXPECT_EQ(std::filesystem::is_symlink(f.File), c.Site == ThroughLink || other == "secret\n");
    const auto secret = f.Real.parent_path() / "secret";
    if (std::filesystem::exists(secret)) {
      EXPECT_EQ(test::ReadFileBytes(secret), "secret\n");
    }
    if (c.Site == TrustedOwnFile) {  // which its owner cannot see, and renames over
      char value[16] = {};
      EXPECT_EQ(::getxattr(f.Real.c_str(), test::TSaveSiteFiles::kTrusted, value, sizeof value),
                -1);
    }
    EXPECT_EQ(f.Leftovers(), std::vector<std::string>{});
    x.Run("kill $(xdotool getwindowpid " + window + ")");
  }
  // The file made anew is the one the question must tell apart from the file read only when it
  // got the inode number back.
  EXPECT_GT(InodesReused, 0) << "the file system gave the file made anew another inode number "
                                "in each of "
                             << RemadeTries << " tries";
  RecordProperty("InodeReused", FormatStr("%d of %d tries", InodesReused, RemadeTries));
}

// A save by nobody that could not keep what only some users may give, and where the status
// line says so after "Saved <name>": a file capability, set-ID bits a write to another's file
// clears, the set-user-ID bit of a file made anew that nobody cannot give its former owner.
struct TDroppedCase {
  const char* What;
  test::TSaveSite Site;
  mode_t Mode;   // given to the file first
  bool Deleted;  // after it was read; "Deleted on disk" is answered Save
  std::string Says;
};

const std::vector<TDroppedCase>& DroppedCases() {
  using enum test::TSaveSite;
  static const std::vector<TDroppedCase> cases = {
      {"nobody's file with a file capability", CapabilityOwnFile, 0755, false,
       test::kCapabilitiesDropped},
      {"root's 06777 file", SetIdNotOwner, 06777, false, test::kSetIdBitsWrittenOver},
      {"root's 04777 file, deleted", NotOwner, 04777, true, test::kSetUserIdNotMadeAnew},
      {"root's 0666 file", NotOwner, 0666, false, ""},
  };
  return cases;
}

// In the test run again as nobody: each file of RID_DROPPED_FILES (one per case, ':' between)
// opened in a window, an x typed, saved with Ctrl+S.
void SaveWhatCannotBeKeptUnderX() {
  const char* given = std::getenv("RID_DROPPED_FILES");
  ASSERT_NE(given, nullptr) << "run by ASaveByAnotherUserSaysWhatItCouldNotKeep, which sets it";
  std::vector<std::string> files;
  std::istringstream list(given);
  for (std::string file; std::getline(list, file, ':');) files.push_back(file);
  ASSERT_EQ(files.size(), DroppedCases().size());
  for (size_t i = 0; i < files.size(); ++i) {
    const TDroppedCase& c = DroppedCases()[i];
    SCOPED_TRACE(c.What);
    TEderWindow w({files[i]});
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w, test::kWaitSeconds * 1000));
    w.CurrentEder().SetSelText("x");
    if (c.Deleted) std::filesystem::remove(files[i]);
    TDialogAnswer save([](QWidget* W) { Click(W, QMessageBox::Save); });
    w.CurrentEder().SetFocus();
    QTest::keyClick(w.CurrentEder().ClientWidget(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(save.Count, c.Deleted ? 1 : 0);
    EXPECT_EQ(w.statusBar()->currentMessage().toStdString(),
              "Saved " + files[i] + (c.Says.empty() ? "" : "; " + c.Says));
    EXPECT_FALSE(w.CurrentEder().GetModified());
  }
}

TEST(EderSaveUnderX, ASaveByAnotherUserSaysWhatItCouldNotKeep) {
  if (test::UnderX()) return SaveWhatCannotBeKeptUnderX();
  RID_NEED_TOOL("setpriv", "util-linux");
  RID_NEED_TOOL("setcap", "libcap2-bin");
  std::vector<std::unique_ptr<test::TSaveSiteFiles>> sites;
  std::string files;
  for (const TDroppedCase& c : DroppedCases()) {
    sites.push_back(std::make_unique<test::TSaveSiteFiles>(c.Site, "old\n"));
    ::chmod(sites.back()->Real.c_str(), c.Mode);
    files += (files.empty() ? "" : ":") + sites.back()->File.string();
  }
  const std::string home = test::ShellQuoted(sites[0]->Cache().string());
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  int code = -1;
  const std::string out =
      x.Run("setpriv --reuid=65534 --regid=65534 --clear-groups -- env HOME=" + home +
                " XDG_CACHE_HOME=" + home + " RIDEDER_REGISTRY=" + home +
                "/registry.ini RID_DROPPED_FILES=" + test::ShellQuoted(files) +
                " QT_QPA_PLATFORM=xcb " + test::ThisTestCommand() + " 2>&1",
            {}, &code, 3 * test::kWaitSeconds);
  EXPECT_EQ(code, 0) << out;
  for (size_t i = 0; i < sites.size(); ++i) {
    SCOPED_TRACE(DroppedCases()[i].What);
    EXPECT_EQ(test::ReadFileBytes(sites[i]->File), "xold\n");
  }
}

// The same file in two tabs of the real program: saving the second after the first asks first
// ("Replaced on disk"), and Save then writes the second's text.
void SaveOneFileFromTwoTabsUnderX() {
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  test::TempDir dir;
  const std::string name = (dir / "f.txt").string();
  test::WriteFileBytes(name, "one\n");
  const TXLayout layout = MeasureLayout({name, name});
  ASSERT_EQ(layout.Tabs.size(), 2u);
  const std::string window =
      x.StartRideder({name, name}, {"RIDEDER_REGISTRY=" + (dir / "registry.ini").string()});
  ASSERT_FALSE(window.empty()) << x.Error();
  for (const int tab : {0, 1}) {
    SCOPED_TRACE(tab);
    const QPoint at = layout.Tabs[tab];
    x.Run("xdotool mousemove --window " + window + " " + std::to_string(at.x()) + " " +
          std::to_string(at.y()) + " click 1");
    ASSERT_TRUE(x.Sync(window)) << x.Error();
    x.Run("xdotool type " + std::string(tab == 0 ? "x" : "y"));
    x.Run("xdotool key ctrl+s");
    ASSERT_TRUE(x.Sync(window)) << x.Error();
    if (tab == 1) {
      const std::string dialog = OtherWindow(x, window);
      ASSERT_FALSE(dialog.empty()) << "no question";
      EXPECT_EQ(x.Run("xdotool getwindowname " + dialog), "Replaced on disk\n");
      x.Run("xdotool windowfocus --sync " + dialog + " key Tab space");
      ASSERT_TRUE(x.Sync(window)) << x.Error();
    }
    EXPECT_EQ(OtherWindow(x, window), "");
    EXPECT_EQ(test::ReadFileBytes(name), tab == 0 ? "xone\n" : "yone\n");
    EXPECT_FALSE(x.Run("xdotool getwindowname " + window).starts_with("*"));
  }
}

TEST(EderSaveUnderX, SavingOneFileFromTwoTabsAsksBeforeTheSecond) {
  if (test::UnderX()) return SaveOneFileFromTwoTabsUnderX();
  RID_NEED_TOOL("xdotool", "xdotool");
  int code = -1;
  const std::string out = test::RunThisTestUnderX(&code);
  EXPECT_EQ(code, 0) << out;
}

}  // namespace
}  // namespace rid
