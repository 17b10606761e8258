#include "app/EderWindow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest/QTest>
#include <set>

#include "app/EderHighlighters.h"
#include "app/EderPrintSettings.h"
#include "editor/Progress.h"
#include "editor/RidEder.h"
#include "highlighters/RidHighlighterMulti.h"
#include "highlighters/RidHighlighterSQL.h"
#include "highlighters/uHighlighterProcs.h"
#include "platform/Locale.h"
#include "platform/Menus.h"
#include "platform/Registry.h"
#include "tests/FileFaults.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

// The sample is a CGI script: Perl with a page in a here-document, its style sheet and script
// coloured by their own highlighters.
TEST(EderWindow, OpensTheSampleScriptColouredAsACgiScript) {
  TEderWindow w({});
  w.show();
  QApplication::processEvents();
  ASSERT_EQ(w.PageCount(), 1);
  TRidEder& ed = w.Eder(0);
  ASSERT_EQ(ed.GetHighlighter(), w.Highlighters().Cgi());
  std::set<std::string> languages;
  TRidCustomHighlighter& h = *ed.GetHighlighter();
  h.ResetRange();
  for (int32_t i = 0; i < ed.Lines()->GetCount(); ++i) {
    const std::string line = ed.Lines()->Get(i);
    h.SetLine(line, i);
    for (; !h.GetEol(); h.Next())
      for (TRidCustomHighlighter* lang :
           {h.GetMultiDefaultHighlighter(), w.Highlighters().Page()->GetDefaultHighlighter(),
            w.Highlighters().Page()->GetSchemeHighlighter(0),
            w.Highlighters().Page()->GetSchemeHighlighter(1)})
        for (int32_t a = 0; a < lang->GetAttribCount(); ++a)
          if (lang->GetAttribute(a) == h.GetTokenAttribute())
            languages.insert(lang->GetLanguageName());
  }
  EXPECT_EQ(languages,
            (std::set<std::string>{"Cascading Style Sheet", "HTML", "JavaScript", "Perl"}));
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
  EXPECT_EQ(w.Eder(1).GetHighlighter(), w.Highlighters().ByName(Utf8ToSjis("汎用タイプ")));
  EXPECT_EQ(w.Eder(2).Lines()->Get(0), nihon);
  EXPECT_NE(w.Eder(2).GetHighlighter(), nullptr);
}

// Each language's extensions choose its highlighter; .inc files are Pascal's, not PHP's; a file
// no language claims gets the General highlighter.
TEST(EderWindow, ChoosesTheHighlighterByExtension) {
  const std::pair<const char*, const char*> files[] = {
      {"q.sql", "SQL"},           {"d.xml", "XML"},           {"s.xsd", "XML"},
      {"t.xsl", "XML"},           {"t.XSLT", "XML"},          {"d.dtd", "XML"},
      {"u.pas", "Object Pascal"}, {"u.pp", "Object Pascal"},  {"p.dpr", "Object Pascal"},
      {"p.dpk", "Object Pascal"}, {"i.inc", "Object Pascal"}, {"m.c", "C/C++"},
      {"m.cpp", "C/C++"},         {"m.h", "C/C++"},           {"m.hpp", "C/C++"},
      {"A.java", "Java"},         {"s.rb", "Ruby"},           {"s.rbw", "Ruby"},
      {"p.php", "PHP"},           {"m.bas", "Visual Basic"},  {"m.vbs", "MS VBScript"},
      {"d.tex", "TeX"},           {"p.cbl", "COBOL"},         {"p.cob", "COBOL"},
      {"p.for", "Fortran"},       {"m.py", "Python"},         {"a.asm", "x86 Assembly"},
      {"x.cs", "General"},        {"README", "General"}};
  test::TempDir dir;
  std::vector<std::string> names;
  for (const auto& [name, language] : files) {
    test::WriteFileBytes(dir / name, "x\n");
    names.push_back((dir / name).string());
  }
  TEderWindow w(names);
  ASSERT_EQ(w.PageCount(), int(std::size(files)));
  for (size_t i = 0; i < std::size(files); ++i) {
    TRidCustomHighlighter* h = w.Eder(int(i)).GetHighlighter();
    ASSERT_NE(h, nullptr) << files[i].first;
    EXPECT_EQ(h->GetLanguageName(), files[i].second) << files[i].first;
  }
}

// The Highlighter menu lists the program's highlighters and sets the one of the shown page.
TEST(EderWindow, TheHighlighterMenuSwitchesTheShownPage) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.txt", "<p>x</p>\n");
  test::WriteFileBytes(dir / "b.pl", "print 1;\n");
  TEderWindow w({(dir / "a.txt").string(), (dir / "b.pl").string()});
  ASSERT_NE(w.HighlighterMenu(), nullptr);
  std::vector<std::string> listed;
  for (QAction* a : w.HighlighterMenu()->actions())
    if (a->isCheckable()) listed.push_back(Utf8ToSjis(a->text().toStdString()));
  EXPECT_EQ(listed, w.Highlighters().Names());
  auto pick = [&](const std::string& Name) {
    for (QAction* a : w.HighlighterMenu()->actions())
      if (a->text().toStdString() == Name) a->trigger();
  };
  EXPECT_EQ(w.Eder(0).GetHighlighter(), w.Highlighters().ByName(Utf8ToSjis("汎用タイプ")));
  w.Tabs()->setCurrentIndex(0);
  pick("HTML");
  EXPECT_EQ(w.Eder(0).GetHighlighter(), w.Highlighters().ByName("HTML"));
  EXPECT_EQ(w.Eder(1).GetHighlighter(), w.Highlighters().ByName("Perl"));
  w.Tabs()->setCurrentIndex(1);
  pick("CGI");
  EXPECT_EQ(w.Eder(1).GetHighlighter(), w.Highlighters().Cgi());
  // Shown again, the menu checks the page's highlighter.
  emit w.HighlighterMenu()->aboutToShow();
  for (QAction* a : w.HighlighterMenu()->actions())
    EXPECT_EQ(a->isChecked(), a->text() == "CGI") << a->text().toStdString();
}

// The dialect submenu shows on an SQL page only; a choice recolours its editor.
TEST(EderWindow, TheDialectMenuSwitchesTheSqlDialect) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "q.sql", "/*! a\nb */ c\n");
  test::WriteFileBytes(dir / "b.pl", "print 1;\n");
  TEderWindow w({(dir / "q.sql").string(), (dir / "b.pl").string()});
  auto* sql = dynamic_cast<TRidSQLRid*>(w.Eder(0).GetHighlighter());
  ASSERT_NE(sql, nullptr);
  QMenu* dialects = w.DialectMenu();
  ASSERT_NE(dialects, nullptr);
  ASSERT_EQ(dialects->actions().size(), 8);
  auto shown = [&] {
    emit w.HighlighterMenu()->aboutToShow();
    return dialects->menuAction()->isVisible();
  };
  w.Tabs()->setCurrentIndex(1);
  EXPECT_FALSE(shown());
  w.Tabs()->setCurrentIndex(0);
  EXPECT_TRUE(shown());
  EXPECT_TRUE(dialects->actions()[0]->isChecked());
  EXPECT_EQ(w.Eder(0).GetLines()->GetRange(0), TRidSQLRid::rsComment);
  dialects->actions()[3]->trigger();  // MySQL: "/*!" opens a conditional comment
  EXPECT_EQ(sql->GetSQLDialect(), sqlMySQL);
  EXPECT_EQ(w.Eder(0).GetLines()->GetRange(0), TRidSQLRid::rsConditionalComment);
  EXPECT_TRUE(shown());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(dialects->actions()[i]->isChecked(), i == 3) << i;
}

// rideder --highlighter prints, without a window, what each file name gets.
TEST(EderWindow, TheProgramTellsTheHighlighterOfEachFile) {
  const char* const expected[][3] = {{"x.cgi", "TRidMultiRid", "CGI"},
                                     {"a.pl", "TRidPerlRid", "Perl"},
                                     {"a.PM", "TRidPerlRid", "Perl"},
                                     {"y.css", "TRidCssRid", "Cascading"},
                                     {"a.htm", "TRidHTMLRid", "HTML"},
                                     {"a.html", "TRidHTMLRid", "HTML"},
                                     {"a.js", "TRidJScriptRid", "Javascript"},
                                     {"a.php", "TRidPHPRid", "PHP"},
                                     {"a.php3", "TRidPHPRid", "PHP"},
                                     {"a.phtml", "TRidPHPRid", "PHP"},
                                     {"a.sql", "TRidSQLRid", "SQL"},
                                     {"a.xml", "TRidXMLRid", "XML"},
                                     {"a.xsd", "TRidXMLRid", "XML"},
                                     {"a.xsl", "TRidXMLRid", "XML"},
                                     {"a.xslt", "TRidXMLRid", "XML"},
                                     {"a.dtd", "TRidXMLRid", "XML"},
                                     {"a.pas", "TRidPasRid", "Pascal"},
                                     {"a.pp", "TRidPasRid", "Pascal"},
                                     {"a.dpr", "TRidPasRid", "Pascal"},
                                     {"a.dpk", "TRidPasRid", "Pascal"},
                                     {"a.inc", "TRidPasRid", "Pascal"},
                                     {"a.c", "TRidCppRid", "C/C++"},
                                     {"a.cpp", "TRidCppRid", "C/C++"},
                                     {"a.h", "TRidCppRid", "C/C++"},
                                     {"a.hpp", "TRidCppRid", "C/C++"},
                                     {"A.java", "TRidJavaRid", "Java"},
                                     {"a.rb", "TRidRubyRid", "Ruby"},
                                     {"a.rbw", "TRidRubyRid", "Ruby"},
                                     {"m.bas", "TRidVBRid", "VisualBasic"},
                                     {"m.vbs", "TRidVBScriptRid", "VBScript"},
                                     {"d.tex", "TRidTeXRid", "TeX"},
                                     {"p.cbl", "TRidCobolRid", "COBOL"},
                                     {"p.COB", "TRidCobolRid", "COBOL"},
                                     {"p.for", "TRidFortranRid", "Fortran"},
                                     {"m.py", "TRidPythonRid", "Python"},
                                     {"a.asm", "TRidAsmRid", "x86Assembly"},
                                     {"z.TXT", "TRidGeneralRid", "汎用タイプ"},
                                     {"Makefile", "TRidGeneralRid", "汎用タイプ"}};
  std::string names, want;
  for (const auto& e : expected) {
    names += std::string(" ") + e[0];
    want += std::string(e[0]) + "\t" + e[1] + "\t" + e[2] + "\n";
  }
  int code = -1;
  const std::string out = test::RunTool(
      std::string(RID_BUILD_DIR) + "/rideder --highlighter" + names + " 2>&1", {}, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(out, want);
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

// What a conversion cannot keep is counted, the odd last byte of UTF-16 included, so that the
// program can say so.
TEST(EderWindow, CountsWhatTheConversionReplaces) {
  const struct {
    std::string Bytes, Sjis;
    size_t Replaced;
  } cases[] = {
      {std::string("\xFF\xFE"
                   "a\0"
                   "b",
                   5),
       "a?", 1},  // odd UTF-16 LE
      {std::string("\xFE\xFF\0"
                   "a\0",
                   5),
       "a?", 1},  // odd UTF-16 BE
      {std::string("\xFF\xFE\xAC\x20"
                   "a\0",
                   6),
       "?a", 1},  // U+20AC has no Shift-JIS form
      {std::string("\xFF\xFE"
                   "a\0",
                   4),
       "a", 0},
      {"\xEF\xBB\xBF"
       "a\xFF"
       "b",
       "a?b", 1},  // malformed UTF-8
      {"\xEF\xBB\xBF"
       "\xE6\x97\xA5",
       "\x93\xfa", 0},
      {"plain", "plain", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Bytes));
    size_t replaced = 0;
    EXPECT_EQ(BytesToSjis(c.Bytes, nullptr, &replaced), c.Sjis);
    EXPECT_EQ(replaced, c.Replaced);
  }
}

// One file that cannot be opened keeps no other out: the window opens the rest and tells of
// each that it could not open, and of a file whose conversion replaced a character.
TEST(EderWindow, OpensTheOthersAndReportsTheFilesItCannotOpen) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.pl", "print 1;\n");
  test::WriteFileBytes(dir / "odd.txt", std::string("\xFF\xFE"
                                                    "a\0"
                                                    "b",
                                                    5));
  test::WriteFileBytes(dir / "c.txt", "c\n");
  std::filesystem::create_directory(dir / "folder");
  const std::string missing = (dir / "missing.txt").string(), odd = (dir / "odd.txt").string();
  const std::string folder = (dir / "folder").string(), wide = (dir / "wide.txt").string();
  test::WriteSparseFile(wide, "a", static_cast<uintmax_t>(kMaxLineLength) + 1);
  TEderWindow w(
      {(dir / "a.pl").string(), "/dev/null", missing, odd, folder, wide, (dir / "c.txt").string()});
  ASSERT_EQ(w.PageCount(), 3);
  EXPECT_EQ(w.Eder(0).Lines()->Get(0), "print 1;");
  EXPECT_EQ(w.Eder(1).Lines()->Get(0), "a?");
  EXPECT_EQ(w.Eder(2).Lines()->Get(0), "c");
  EXPECT_EQ(w.Tabs()->count(), 3);
  const std::vector<std::string> problems = {
      "Cannot open file \"/dev/null\". It is a device, not a regular file",
      "Cannot open file \"" + missing + "\". No such file or directory",
      "\"" + odd + "\": 1 character could not be read as Shift-JIS and shows as '?'",
      "Cannot open file \"" + folder + "\". It is a folder, not a regular file",
      "cannot read " + wide + ": Line 1 is " + std::to_string(kMaxLineLength + int64_t{1}) +
          " bytes long; a line may have at most " + std::to_string(kMaxLineLength) + " bytes",
  };
  EXPECT_EQ(w.OpenProblems(), problems);
  w.show();
  QApplication::processEvents();
  auto* box = w.findChild<QMessageBox*>("OpenProblems");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text().toStdString(), problems[0] + "\n" + problems[1] + "\n" + problems[2] +
                                           "\n" + problems[3] + "\n" + problems[4]);
  box->close();

  try {
    TEderWindow none({folder, missing});
    ADD_FAILURE() << "a window without a file";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, problems[3] + "\n" + problems[1]);
  }
}

// In the window and in a command-line mode, a pipe without a writer is refused at once, and an
// odd-length UTF-16 file opens with a word on its cut last byte.
TEST(EderWindow, TheProgramRefusesAPipeAndWarnsOfReplacedCharacters) {
  test::TempDir dir;
  const std::string fifo = (dir / "pipe").string(), odd = (dir / "odd.txt").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  test::WriteFileBytes(odd, std::string("\xFF\xFE"
                                        "a\0"
                                        "b",
                                        5));
  const struct {
    std::string File;
    int Code;
    std::string Says;
  } cases[] = {
      {fifo, 1, "Cannot open file \"" + fifo + "\". It is a pipe (FIFO), not a regular file"},
      {odd, 0, "\"" + odd + "\": 1 character could not be read as Shift-JIS and shows as '?'"},
  };
  for (const std::string& mode : {std::string(), "--export-html " + (dir / "out.html").string()})
    for (const auto& c : cases) {
      SCOPED_TRACE(mode + " " + c.File);
      int code = -1;
      const std::string out = test::RunTool(
          "RID_EXIT_AFTER_PAINT=1 timeout " + std::to_string(test::kWaitSeconds) + " " +
              std::string(RID_BUILD_DIR) + "/rideder " + mode + " " + c.File + " 2>&1",
          {}, &code);
      EXPECT_EQ(code, c.Code);
      EXPECT_NE(out.find(c.Says), std::string::npos) << out;
    }
}

TEST(EderWindow, RunningOutOfMemoryWhileConvertingNamesTheFileAndItsSize) {
  if (test::NoOutOfMemoryReason) GTEST_FAIL() << test::NoOutOfMemoryReason;
  test::TempDir dir;
  const std::string wide = (dir / "wide.txt").string();
  test::WriteSparseFile(wide, "\xFF\xFE", 256 << 20);  // UTF-16 of 128 M zero units
  TEderHighlighters highlighters;
  // Room to read the file, none to convert it.
  EXPECT_EQ(test::MessageWithLittleMemory(320 << 20, [&] { LoadPage(wide, highlighters); }),
            "Not enough memory for file \"" + wide + "\" (268435456 bytes)");
}

// A window on one file of the given Shift-JIS text, shown and with the editor focused.
struct TSearchWindow {
  test::TempDir Dir;
  std::unique_ptr<TEderWindow> W;
  explicit TSearchWindow(const std::string& Sjis) {
    test::WriteFileBytes(Dir / "text.txt", Sjis);
    W = std::make_unique<TEderWindow>(std::vector<std::string>{(Dir / "text.txt").string()});
    W->show();
    W->activateWindow();
    QApplication::processEvents();
    Ed().SetFocus();
    QApplication::processEvents();
  }
  TRidEder& Ed() { return W->CurrentEder(); }
  void Key(int Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
    QTest::keyClick(Ed().ClientWidget(), static_cast<Qt::Key>(Key), Modifiers);
  }
  template <class T>
  T* In(TSearchDialog* D, const char* Name) {
    T* w = D->findChild<T*>(Name);
    EXPECT_NE(w, nullptr) << Name;
    return w;
  }
  void Fill(TSearchDialog* D, const QString& Pattern, const QString& Replacement = {}) {
    In<QLineEdit>(D, "pattern")->setText(Pattern);
    if (D->IsReplace()) In<QLineEdit>(D, "replacement")->setText(Replacement);
  }
  QString Status() { return W->statusBar()->currentMessage(); }
  std::string Selected() { return Ed().GetSelText(); }
};

TEST(EderWindow, SearchKeysWorkWhileTheEditorHasTheFocus) {
  TSearchWindow s("one ab\r\ntwo AB ab\r\n");
  TRidEderKeyStrokes& keys = s.Ed().GetKeystrokes();
  EXPECT_EQ(keys.IndexOfKey('F', {ssCtrl}), -1);  // the editor binds none of the search keys
  EXPECT_EQ(keys.IndexOfKey('R', {ssCtrl}), -1);
  EXPECT_EQ(keys.IndexOfKey(VK_F3, {}), -1);
  EXPECT_EQ(keys.IndexOfKey(VK_F3, {ssShift}), -1);
  s.Key(Qt::Key_F3);  // nothing searched yet: the Find dialog opens
  ASSERT_NE(s.W->Search().FindDialog(), nullptr);
  TSearchDialog* find = s.W->Search().FindDialog();
  find->hide();
  s.Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(find->isVisible());
  s.Fill(find, "ab");
  find->FindButton()->click();
  EXPECT_FALSE(find->isVisible());
  EXPECT_EQ(s.Ed().GetBlockBegin(), (TBufferCoord{5, 1}));
  s.Ed().SetFocus();
  s.Key(Qt::Key_F3);
  EXPECT_EQ(s.Ed().GetBlockBegin(), (TBufferCoord{5, 2}));
  s.Key(Qt::Key_F3);
  EXPECT_EQ(s.Ed().GetBlockBegin(), (TBufferCoord{8, 2}));
  s.Key(Qt::Key_F3);
  EXPECT_EQ(s.Status(), "Not found");
  s.Key(Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(s.Ed().GetBlockBegin(), (TBufferCoord{5, 2}));
  s.Key(Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(s.Ed().GetBlockBegin(), (TBufferCoord{5, 1}));
  s.Key(Qt::Key_R, Qt::ControlModifier);
  ASSERT_NE(s.W->Search().ReplaceDialog(), nullptr);
  EXPECT_TRUE(s.W->Search().ReplaceDialog()->isVisible());
}

// The Edit menu's keys and actions take the editor's command road, so that its events and hooks
// (and a macro recording) see them; a key the editor binds is its own, also when rebound, and
// runs the window's shortcut only when the editor leaves it unbound.
TEST(EderWindow, EditKeysAndMenuTakeTheEditorsCommandRoad) {
  TSearchWindow s("one\r\ntwo");
  std::vector<TRidEderorCommand> seen;
  s.Ed().OnProcessCommand = [&](TObject*, TRidEderorCommand& C, char&, void*) {
    seen.push_back(C);
  };
  const auto press = [&](Qt::Key K) {
    seen.clear();
    s.Key(K, Qt::ControlModifier);
    return seen;
  };
  using TSeen = std::vector<TRidEderorCommand>;
  EXPECT_EQ(press(Qt::Key_A), TSeen{ecSelectAll});
  EXPECT_EQ(s.Selected(), "one\r\ntwo");
  EXPECT_EQ(press(Qt::Key_C), TSeen{ecCopy});
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "one\r\ntwo");
  seen.clear();
  s.W->findChild<QAction*>("SelectAll")->trigger();
  s.W->findChild<QAction*>("Copy")->trigger();
  EXPECT_EQ(seen, (TSeen{ecSelectAll, ecCopy}));

  TRidEderKeyStrokes& keys = s.Ed().GetKeystrokes();
  const int32_t i = keys.IndexOfKey('A', {ssCtrl});
  ASSERT_GE(i, 0);
  keys.GetItem(i)->SetCommand(ecEditorBottom);
  s.Ed().SetCaretXY({1, 1});
  EXPECT_EQ(press(Qt::Key_A), TSeen{ecEditorBottom});
  EXPECT_FALSE(s.Ed().SelAvail());
  keys.Delete(i);
  EXPECT_EQ(press(Qt::Key_A), TSeen{ecSelectAll});
  EXPECT_TRUE(s.Ed().SelAvail());
}

TEST(EderWindow, ReplaceAllThenUndo) {
  const std::string text = Utf8ToSjis("ア A a\r\nA\r\n");
  TSearchWindow s(text);
  s.W->Search().ShowDialog(true);
  TSearchDialog* d = s.W->Search().ReplaceDialog();
  s.Fill(d, "A", "ソ");
  s.In<QCheckBox>(d, "matchCase")->setChecked(true);
  s.In<QRadioButton>(d, "entireText")->setChecked(true);
  d->ReplaceAllButton()->click();
  EXPECT_EQ(s.Status(), "2 replaced");
  EXPECT_EQ(s.Ed().GetLines()->SaveToBytes(), Utf8ToSjis("ア ソ a\r\nソ\r\n"));
  s.Ed().Undo();
  EXPECT_EQ(s.Ed().GetLines()->SaveToBytes(), text);
  s.Fill(d, "x", "y");
  d->ReplaceAllButton()->click();
  EXPECT_EQ(s.Status(), "Not found");
}

// The Replace button with "Selected text only" replaces the selection's hits one at a time and
// then finds nothing, in every selection mode, also when the last hit ends the selection.
TEST(EderWindow, ReplacingWithSelectedTextOnlyStaysInsideTheSelection) {
  struct Case {
    const char* Name;
    TRidSelectionMode Mode;
    TBufferCoord Begin, End;
    std::string Want;
  };
  const Case cases[] = {
      {"text", smNormal, {1, 1}, {6, 1}, "bb bb b a\r\na\r\n"},
      {"text whose last hit ends it", smNormal, {1, 1}, {4, 1}, "bb bb b a\r\na\r\n"},
      {"whole lines", smLine, {2, 1}, {3, 1}, "bb bb b bb\r\na\r\n"},
      {"columns", smColumn, {3, 1}, {4, 2}, "a bb b a\r\na\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TSearchWindow s("a a b a\r\na\r\n");
    s.Ed().SetSelectionMode(c.Mode);
    s.Ed().SetCaretXY(c.End);
    s.Ed().SetBlockBegin(c.Begin);
    s.Ed().SetBlockEnd(c.End);
    s.W->Search().ShowDialog(true);
    TSearchDialog* d = s.W->Search().ReplaceDialog();
    s.Fill(d, "a", "bb");
    s.In<QCheckBox>(d, "selectedOnly")->setChecked(true);
    QString status;
    for (int press = 0; press < 6 && status != "Not found"; ++press) {
      d->ReplaceButton()->click();
      status = s.Status();
    }
    EXPECT_EQ(status, "Not found");
    EXPECT_EQ(s.Ed().GetLines()->SaveToBytes(), c.Want);
  }
}

TEST(EderWindow, SearchRefusesBadExpressionsAndCharactersShiftJisLacks) {
  TSearchWindow s("ab(c\r\n");
  s.W->Search().ShowDialog(false);
  TSearchDialog* d = s.W->Search().FindDialog();
  QCheckBox* regex = s.In<QCheckBox>(d, "regex");
  regex->setChecked(true);
  EXPECT_FALSE(s.In<QCheckBox>(d, "wholeWord")->isEnabled());
  s.Fill(d, "b(");
  d->FindButton()->click();
  EXPECT_TRUE(s.Status().contains("TRidRegExpr")) << s.Status().toStdString();
  EXPECT_FALSE(s.Ed().SelAvail());
  regex->setChecked(false);
  s.Fill(d, "b\u20ac");  // the euro sign has no code page 932 form; it would be searched as "?"
  d->FindButton()->click();
  EXPECT_TRUE(s.Status().startsWith("Not searched")) << s.Status().toStdString();
  EXPECT_FALSE(s.Ed().SelAvail());
  s.Fill(d, "b(");
  d->FindButton()->click();
  EXPECT_EQ(s.Selected(), "b(");
}

// Each access key of a dialog belongs to one control, so Alt with it acts at once (Alt+A in
// the Replace dialog is Replace All, not a move between two controls that share the key).
TEST(EderWindow, TheSearchDialogsAccessKeysAreTheirsAlone) {
  TSearchWindow s("a\r\n");
  for (bool replace : {false, true}) {
    s.W->Search().ShowDialog(replace);
    TSearchDialog* d = replace ? s.W->Search().ReplaceDialog() : s.W->Search().FindDialog();
    std::set<QChar> keys;
    auto take = [&](const QString& Text) {
      const qsizetype amp = Text.indexOf('&');
      if (amp < 0 || amp + 1 >= Text.size()) return;
      EXPECT_TRUE(keys.insert(Text[amp + 1].toLower()).second)
          << "Alt+" << Text[amp + 1].toLatin1() << " twice in " << d->windowTitle().toStdString();
    };
    for (const QLabel* label : d->findChildren<QLabel*>()) take(label->text());
    for (const QAbstractButton* button : d->findChildren<QAbstractButton*>()) take(button->text());
  }
}

// The prompt is a message box; answering all at the first hit shows the progress window for
// the rest and hides it at the end.
TEST(EderWindow, APromptedReplaceAllShowsAndHidesTheProgressWindow) {
  TSearchWindow s("a\r\nb a\r\na\r\n");
  s.W->Search().ShowDialog(true);
  TSearchDialog* d = s.W->Search().ReplaceDialog();
  s.Fill(d, "a", "c");
  s.In<QCheckBox>(d, "prompt")->setChecked(true);
  s.In<QRadioButton>(d, "entireText")->setChecked(true);
  int prompts = 0;
  bool shown = false;
  QTimer answer, watch;
  QObject::connect(&watch, &QTimer::timeout,
                   [&] { shown |= frmProgress && frmProgress->GetVisible(); });
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    ++prompts;
    EXPECT_EQ(s.Selected(), "a");
    if (prompts == 2) watch.start(0);
    box->button(prompts == 1 ? QMessageBox::No : QMessageBox::YesToAll)->click();
  });
  answer.start(5);
  d->ReplaceAllButton()->click();
  answer.stop();
  watch.stop();
  EXPECT_EQ(prompts, 2);
  EXPECT_EQ(s.Ed().GetLines()->SaveToBytes(), "a\r\nb c\r\nc\r\n");
  EXPECT_EQ(s.Status(), "2 replaced");
  EXPECT_TRUE(shown);
  ASSERT_NE(frmProgress, nullptr);
  EXPECT_FALSE(frmProgress->GetVisible());
}

// The settings file as RIDEDER_REGISTRY names it, for the length of a test.
class SettingsFile {
 public:
  SettingsFile() : Name((Dir / "registry.ini").string()) {
    ::setenv("RIDEDER_REGISTRY", Name.c_str(), 1);
  }
  ~SettingsFile() { ::unsetenv("RIDEDER_REGISTRY"); }
  test::TempDir Dir;
  const std::string Name;
};

// The window opens on a settings file it cannot use: the status line says which file and why,
// the defaults apply, and the print choices it stores afterwards leave the file as it was. The
// program itself shows its window, says the same on its error output and exits 0; root reads
// any file, so the unreadable one is tried by the program run as nobody.
TEST(EderWindow, AnUnusableSettingsFileIsSkippedToldAndLeftAlone) {
  RID_NEED_TOOL("setpriv", "util-linux");
  SettingsFile settings;
  const std::string& file = settings.Name;
  const std::string stored = "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n\"Margin\"=\"x\"\n";
  std::vector<test::TUnreadableFile> cases = test::UnreadableFiles();
  cases.push_back({"garbage",
                   [](const std::filesystem::path& P, const std::string&) {
                     test::WriteFileBytes(P, std::string("\x7F"
                                                         "ELF\2\1\1\0\0",
                                                         9));
                   },
                   false, "It is no settings file: line 1 holds a zero byte"});
  const std::string skipped =
      "Settings file skipped, the defaults are used and nothing is written to it: ";
  ::chmod(settings.Dir.Path().c_str(), 0755);  // nobody may come in
  // A copy of the program that nobody may run, wherever the build lies.
  const std::string program = (settings.Dir / "rideder").string();
  std::filesystem::copy_file(std::string(RID_BUILD_DIR) + "/rideder", program);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::filesystem::remove_all(file);
    c.Make(file, stored);
    const auto type = std::filesystem::symlink_status(file).type();
    const bool regular = type == std::filesystem::file_type::regular;
    const std::string why =
        FormatStr(regular && !c.AsNobody ? SFReadError : SFOpenError, file.c_str(), c.Why.c_str());
    const std::string before = regular ? test::ReadFileBytes(file) : "";
    if (!c.AsNobody) {
      TEderWindow w({});
      w.show();
      QApplication::processEvents();
      EXPECT_EQ(w.statusBar()->currentMessage().toStdString(), skipped + why);
      TRidEderPrint job(nullptr);
      LoadPrintSettings(job);
      job.SetMargin("30,15,25,25,15,15,2,2,0.5,0,0/1,0,1,0,0,0,0");
      SavePrintSettings(job);  // as after printing
    }
    int code = -1;
    const std::string out = test::RunTool(
        std::string(c.AsNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
            "env RID_EXIT_AFTER_PAINT=1 timeout " + std::to_string(test::kWaitSeconds) + " " +
            program + " 2>&1",
        {}, &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("rideder: " + skipped + why), std::string::npos) << out;
    EXPECT_EQ(std::filesystem::symlink_status(file).type(), type);
    if (regular) {
      EXPECT_EQ(test::ReadFileBytes(file), before);
    }
  }
}

// The print choices the window stores after printing change their own lines of a file a
// person wrote; comments, blank lines, values of other types and names with '\' and '%' stay
// byte for byte, and storing the same choices again writes nothing new.
TEST(EderWindow, StoringPrintChoicesKeepsAHandWrittenSettingsFile) {
  SettingsFile settings;
  const std::string hand =
      "; my settings\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\r\n"
      "# margins: left, top, right, bottom, ...\r\n"
      "\"Margin\"=\"25,15,25,25,15,15,2,2,0.5,0,0/1,0,1,0,0,0,0\"\r\n"
      "\"Printer\"=hex(2):70,00,64,00,66,00,00,00\r\n"
      "\"Copies\"=dword:00000002\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\rideder\\Odd%5CName]\r\n"
      "\"100%\"=\"C:\\\\temp\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\rideder\\Keys]\r\n"
      "\"MacroRecord\"=\"F7\"\r\n";
  test::WriteFileBytes(settings.Name, hand);
  TRidEderPrint job(nullptr);
  LoadPrintSettings(job);
  EXPECT_EQ(job.GetMargin(), "25,15,25,25,15,15,2,2,0.5,0,0/1,0,1,0,0,0,0");
  job.SetMargin("30,15,25,25,15,15,2,2,0.5,0,0/1,0,1,0,0,0,0");
  SavePrintSettings(job);
  std::string saved = test::ReadFileBytes(settings.Name);
  // The header and footer, which the file did not hold, follow the section's last value.
  const size_t header = saved.find("\"Copies\"=dword:00000002\r\n\"Header\"=\"");
  ASSERT_NE(header, std::string::npos) << saved;
  const size_t added = saved.find("\r\n", header) + 2;
  const size_t footer = saved.find("\r\n\"Footer\"=\"", added);
  ASSERT_NE(footer, std::string::npos) << saved;
  const size_t end = saved.find("\r\n", footer + 2) + 2;
  std::string want = hand;
  want.replace(want.find("\"25,15"), 3, "\"30");
  EXPECT_EQ(saved.substr(0, added) + saved.substr(end), want);
  SavePrintSettings(job);
  EXPECT_EQ(test::ReadFileBytes(settings.Name), saved);
  TRegistry reg;
  TStringList names;
  ASSERT_TRUE(reg.OpenKey("\\Software\\rideder", false));
  reg.GetKeyNames(&names);
  EXPECT_EQ(names.GetCount(), 3);
  EXPECT_EQ(names.Get(1), "Odd\\Name");
}

// Every value the program reads, stored as a number where text belongs, is taken for missing:
// the window opens with the default, the status line and the error stream say which value and
// what is used instead, and the print choices stored afterwards leave its line byte for byte
// and say so.
TEST(EderWindow, AValueOfAnotherTypeIsTakenAsMissingToldAndKeptAsItIs) {
  SettingsFile settings;
  const TRidEderPrint defaults(nullptr);
  test::WriteFileBytes(settings.Name, "; nothing\r\n");
  TEderWindow plain({});
  // As many bindings as without settings, Ctrl+Y still deleting a line.
  const auto DefaultBindings = [&](TEderWindow& W) {
    const TRidEderKeyStrokes& keys = W.Eder(0).GetKeystrokes();
    const int32_t ctrlY = keys.IndexOfShortcut(scCtrl | 'Y');
    return keys.GetCount() == plain.Eder(0).GetKeystrokes().GetCount() && ctrlY >= 0 &&
           keys[ctrlY]->GetCommand() == ecDeleteLine;
  };
  const struct {
    const char* Key;
    const char* Name;
    std::string Said;
    std::function<bool(TEderWindow&)> HasDefault;
  } cases[] = {
      {"Print", "Margin", "Print \"Margin\" is a number: the default is used",
       [&](TEderWindow& W) { return W.Printing().Job().GetMargin() == defaults.GetMargin(); }},
      {"Print", "Header", "Print \"Header\" is a number: the default is used",
       [](TEderWindow& W) {
         return HeaderFooterLines(W.Printing().Job().GetHeader()) ==
                std::vector<std::string>{kDefaultHeaderLine};
       }},
      {"Print", "Footer", "Print \"Footer\" is a number: the default is used",
       [](TEderWindow& W) { return W.Printing().Job().GetFooter().Count() == 0; }},
      {"Keys", "Completion", "Completion is a number: Ctrl+Space kept",
       [](TEderWindow& W) {
         return W.Completion().Proposal().GetShortCut() == TextToShortCut("Ctrl+Space");
       }},
      {"Keys", "MacroRecord", "MacroRecord is a number: Shift+Ctrl+R kept",
       [](TEderWindow& W) {
         return W.Macros().Recorder().GetRecordShortCut() == TextToShortCut("Shift+Ctrl+R");
       }},
      {"Keys", "MacroPlayback", "MacroPlayback is a number: Shift+Ctrl+P kept",
       [](TEderWindow& W) {
         return W.Macros().Recorder().GetPlaybackShortCut() == TextToShortCut("Shift+Ctrl+P");
       }},
      {"Editor\\AddedKeystrokes", "1",
       "Key bindings skipped in " + settings.Name + ": AddedKeystrokes \"1\" is a number",
       DefaultBindings},
      {"Editor\\RemovedKeystrokes", "1",
       "Key bindings skipped in " + settings.Name + ": RemovedKeystrokes \"1\" is a number",
       DefaultBindings},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string line = std::string("\"") + c.Name + "\"=dword:00000001\r\n";
    const std::string hand = "; by hand\r\n[HKEY_CURRENT_USER\\Software\\rideder\\" +
                             std::string(c.Key) + "]\r\n" + line;
    test::WriteFileBytes(settings.Name, hand);
    testing::internal::CaptureStderr();
    std::unique_ptr<TEderWindow> w;
    EXPECT_NO_THROW(w = std::make_unique<TEderWindow>(std::vector<std::string>{}));
    const std::string told = testing::internal::GetCapturedStderr();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->statusBar()->currentMessage().toStdString(), c.Said);
    EXPECT_NE(told.find("rideder: " + c.Said + "\n"), std::string::npos) << told;
    EXPECT_TRUE(c.HasDefault(*w));
    // As after printing, which says what it left.
    w->Printing().Job().SetMargin("30,15,25,25,15,15,2,2,0.5,0,0/1,0,1,0,0,0,0");
    EXPECT_EQ(SavePrintSettings(w->Printing().Job()),
              std::string(c.Key) == "Print"
                  ? "Print \"" + std::string(c.Name) +
                        "\" is a number: its line is kept as written, and the choice holds for "
                        "this run only"
                  : "");
    const std::string saved = test::ReadFileBytes(settings.Name);
    EXPECT_TRUE(saved.starts_with(hand)) << saved;
    EXPECT_EQ(saved.find(std::string("\"") + c.Name + "\"="),
              saved.rfind('"' + std::string(c.Name) + "\"="))
        << saved;
  }
}

// A value the program reads, stored in a type it does not use (hex:, hex(2):, hex(7):), is
// taken for missing as a number is: the status line names it and its type, and storing the
// print choices leaves its line, the only one of its name, as it was, and says so.
TEST(EderWindow, AValueOfATypeTheProgramDoesNotUseIsNamedAndKeptAsItIs) {
  SettingsFile settings;
  const struct {
    const char* Key;
    const char* Name;
    std::string Said;  // @ stands for what the value is
  } cases[] = {
      {"Print", "Margin", "Print \"Margin\" @: the default is used"},
      {"Print", "Header", "Print \"Header\" @: the default is used"},
      {"Print", "Footer", "Print \"Footer\" @: the default is used"},
      {"Keys", "Completion", "Completion @: Ctrl+Space kept"},
      {"Keys", "MacroRecord", "MacroRecord @: Shift+Ctrl+R kept"},
      {"Keys", "MacroPlayback", "MacroPlayback @: Shift+Ctrl+P kept"},
      {"Editor\\AddedKeystrokes", "1",
       "Key bindings skipped in " + settings.Name + ": AddedKeystrokes \"1\" @"},
      {"Editor\\RemovedKeystrokes", "1",
       "Key bindings skipped in " + settings.Name + ": RemovedKeystrokes \"1\" @"},
  };
  const std::pair<const char*, const char*> types[] = {
      {"hex:41,42,43", "is hex data, not text"},
      {"hex(2):41,00,00,00", "is hex(2) data, not text"},
      {"hex(7):41,00,00,00,00,00", "is hex(7) data, not text"},
  };
  for (const auto& c : cases)
    for (const auto& [data, is] : types) {
      SCOPED_TRACE(std::string(c.Name) + " " + data);
      const std::string hand = "[HKEY_CURRENT_USER\\Software\\rideder\\" + std::string(c.Key) +
                               "]\r\n\"" + c.Name + "\"=" + data + "\r\n";
      test::WriteFileBytes(settings.Name, hand);
      std::string said = c.Said;
      said.replace(said.find('@'), 1, is);
      TEderWindow w({});
      EXPECT_EQ(w.statusBar()->currentMessage().toStdString(), said);
      const bool print = std::string(c.Key) == "Print";
      EXPECT_EQ(SavePrintSettings(w.Printing().Job()),
                print ? "Print \"" + std::string(c.Name) + "\" " + is +
                            ": its line is kept as written, and the choice holds for this run only"
                      : "");
      const std::string saved = test::ReadFileBytes(settings.Name);
      EXPECT_TRUE(saved.starts_with(hand)) << saved;
      EXPECT_EQ(saved.find(std::string("\"") + c.Name + "\"="),
                saved.rfind(std::string("\"") + c.Name + "\"="))
          << saved;
    }
}

// What a command raises ends the command, not the program: the status line and the error stream
// say it, and the window goes on with its text, whether the command came from a menu entry or
// from a key the editor takes.
TEST(EderWindow, WhatACommandRaisesIsToldAndTheWindowGoesOn) {
  TEderWindow w({});
  w.show();
  QApplication::processEvents();
  TRidEder& ed = w.CurrentEder();
  const std::string text = ed.GetText();
  ed.OnCommandProcessed = [](TObject*, TRidEderorCommand&, char&, void*) {
    throw Exception("the command failed");
  };
  const struct {
    const char* What;
    std::function<void()> Run;
  } commands[] = {
      {"a menu entry", [&] { w.findChild<QAction*>("SelectAll")->trigger(); }},
      {"a key", [&] { QTest::keyClick(ed.ClientWidget(), Qt::Key_End, Qt::ControlModifier); }},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.What);
    w.statusBar()->clearMessage();
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(c.Run());
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(w.statusBar()->currentMessage(), "the command failed");
    EXPECT_NE(told.find("rideder: the command failed\n"), std::string::npos) << told;
    EXPECT_EQ(ed.GetText(), text);
  }
  ed.OnCommandProcessed = nullptr;
}

// --- the real program under X

// Ctrl+P, then Print, with a settings file that cannot be written (read-only, under a home that
// does not exist, on a full disk), that holds what the program must not trip over (a key
// nested 100,000 deep, values of another type, a margin it cannot read), or that became what
// the program does not write while the Print dialog was open (a folder, a FIFO, binary data;
// its folder, one of nobody's, swapped by nobody for a link to another): the PDF is made, the
// error output says what was not kept or not taken, the settings file keeps what it had (one
// line for each name) and nothing is written elsewhere, and the window goes on with its "*"
// and its text, which Ctrl+S then saves.
TEST(EderWindowUnderX, PrintGoesOnWhateverTheSettingsFileIs) {
  namespace fs = std::filesystem;
  RID_NEED_TOOL("xdotool", "xdotool");
  RID_NEED_TOOL("setpriv", "util-linux");
  RID_NEED_TOOL("prlimit", "util-linux");
  RID_NEED_TOOL("pdftotext", "poppler-utils");
  const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                             "--clear-groups", "--"};
  std::string deep = "[HKEY_CURRENT_USER";
  for (int i = 0; i < 100000; ++i) deep += "\\d";
  deep += "]\n\"v\"=\"end\"\n";
  const std::string mistyped =
      "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n\"Header\"=dword:00000001\n"
      "\"Footer\"=dword:00000002\n";
  const auto unchanged = [](const std::string& Before, const std::string& After) {
    return After == Before;
  };
  const auto kept = [](const std::string& Before, const std::string& After) {
    return After.starts_with(Before) && After.find("\"Margin\"=") != std::string::npos;
  };
  // Kept, and no text line written beside the Header and Footer lines of another type.
  const auto keptWithoutTextHeaderOrFooter = [&](const std::string& Before,
                                                 const std::string& After) {
    return kept(Before, After) && After.find("\"Header\"=\"") == std::string::npos &&
           After.find("\"Footer\"=\"") == std::string::npos;
  };
  struct TCase {
    const char* What;
    std::string Settings;  // "" for none
    mode_t Mode;
    std::vector<std::string> Saver, Env;  // the registry's name is Dir/registry.ini by default
    std::string Told;
    std::function<bool(const std::string&, const std::string&)> Kept;
    std::string ToldAfter = {};  // by the print, after Told
    std::string WhileOpen = {};  // a shell command run in the case's folder ('@') meanwhile
    // The settings file in the case's folder; a folder of its own on the way is nobody's.
    std::string Name = "registry.ini";
    std::function<void(const std::filesystem::path& Folder)> Left = {};  // what is there after
  };
  // A settings file of "; mine\n" that the shell command WhileOpen, run while the Print dialog is
  // open, turns into what the program does not write: the print tells Why it saved nothing.
  const auto changedWhileOpen = [](const char* What, const std::string& Why,
                                   const std::string& WhileOpen, decltype(TCase::Left) Left,
                                   const std::string& Name = "registry.ini", mode_t Mode = 0644) {
    const std::string told = "rideder: Settings not saved: " + Why + "\n";
    return TCase{What, "; mine\n", Mode, {}, {}, told, nullptr, {}, WhileOpen, Name, Left};
  };
  const TCase cases[] = {
      {"a read-only file",
       "; mine\n",
       0444,
       {},
       {},
       "rideder: Settings not saved: Cannot create file \"@/registry.ini\". The file is "
       "read-only\n",
       unchanged},
      {"a home that does not exist",
       "",
       0,
       asNobody,
       {"HOME=/nonexistent", "XDG_CONFIG_HOME=", "RIDEDER_REGISTRY="},
       "rideder: Settings not saved: Cannot create file "
       "\"/nonexistent/.config/rideder/registry.ini\".",
       nullptr},
      {"a full disk",
       "; mine\n" + std::string(100000, '#') + "\n",
       0644,
       {"/usr/bin/prlimit", "--fsize=65536", "--"},
       {},
       "rideder: Settings not saved: Cannot write file \"@/registry.ini\". File too large\n",
       unchanged},
      {"a key nested 100,000 deep", deep, 0644, {}, {}, "", kept},
      {"values of another type",
       mistyped,
       0644,
       {},
       {},
       "rideder: Print \"Header\" is a number: the default is used; Print \"Footer\" is a "
       "number: the default is used\n",
       keptWithoutTextHeaderOrFooter},
      {"values of types the program does not use",
       "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n\"Header\"=hex:41,42,43\n"
       "\"Footer\"=hex(2):41,00\n",
       0644,
       {},
       {},
       "rideder: Print \"Header\" is hex data, not text: the default is used; Print \"Footer\" "
       "is hex(2) data, not text: the default is used\n",
       keptWithoutTextHeaderOrFooter,
       "rideder: Print \"Header\" is hex data, not text: its line is kept as written, and the "
       "choice holds for this run only; Print \"Footer\" is hex(2) data, not text: its line is "
       "kept as written, and the choice holds for this run only\n"},
      {"a margin that cannot be read",
       "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n\"Margin\"=\"not a margin at all\"\n",
       0644,
       {},
       {},
       "rideder: Print \"Margin\" cannot be read: the default is used\n",
       [](const std::string& Before, const std::string& After) {
         return After.starts_with(Before) &&
                After.find("\"Margin\"=") == After.rfind("\"Margin\"=") &&
                After.find("\"Header\"=\"") != std::string::npos;
       },
       "rideder: Print \"Margin\" cannot be read: its line is kept as written, and the choice "
       "holds for this run only\n"},
      changedWhileOpen(
          "the file made a folder",
          "Cannot open file \"@/registry.ini\". It is a folder, not a regular file",
          "rm registry.ini && mkdir registry.ini",
          [](const fs::path& Folder) { EXPECT_TRUE(fs::is_empty(Folder / "registry.ini")); }),
      changedWhileOpen(
          "the file made a FIFO",
          "Cannot open file \"@/registry.ini\". It is a pipe (FIFO), not a regular file",
          "rm registry.ini && mkfifo registry.ini",
          [](const fs::path& Folder) { EXPECT_TRUE(fs::is_fifo(Folder / "registry.ini")); }),
      changedWhileOpen("the file made binary data",
                       "Cannot read file \"@/registry.ini\". It is no settings file: line 1 "
                       "holds a zero byte",
                       "printf 'a\\000b' > registry.ini",
                       [](const fs::path& Folder) {
                         EXPECT_EQ(test::ReadFileBytes(Folder / "registry.ini"),
                                   std::string("a\0b", 3));
                       }),
      changedWhileOpen(
          "its folder swapped for a link",
          "Cannot create file \"@/cfg/reg.ini\". The way to its folder now leads to \"@/evil\", "
          "not to \"@/cfg\": the settings are never written into a folder reached through a "
          "link put on the way",
          "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups -- sh -c "
          "'mkdir evil && mv cfg cfg.moved && ln -s evil cfg'",
          [](const fs::path& Folder) {
            EXPECT_TRUE(fs::is_empty(Folder / "evil"));
            EXPECT_EQ(test::ReadFileBytes(Folder / "cfg.moved" / "reg.ini"), "; mine\n");
          },
          "cfg/reg.ini", 0600),
  };
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    test::TempDir dir;
    ::chmod(dir.Path().c_str(), 0777);  // nobody may write here too
    const std::string file = (dir / "f.txt").string(), settings = (dir / c.Name).string();
    test::WriteFileBytes(file, "text\n");
    ::chmod(file.c_str(), 0666);
    if (const std::filesystem::path folder = (dir / c.Name).parent_path(); folder != dir.Path()) {
      std::filesystem::create_directories(folder);
      ASSERT_EQ(::chown(folder.c_str(), test::kNobody, test::kNobody), 0);
    }
    if (!c.Settings.empty()) {
      test::WriteFileBytes(settings, c.Settings);
      ::chmod(settings.c_str(), c.Mode);
    }
    std::vector<std::string> command = c.Saver;
    command.insert(command.end(), {std::string(RID_BUILD_DIR) + "/rideder", file});
    std::vector<std::string> env = c.Env;  // the first of a name counts
    env.push_back("RIDEDER_REGISTRY=" + settings);
    const std::string window =
        x.StartProgram(command[0], {command.begin() + 1, command.end()}, env);
    ASSERT_FALSE(window.empty()) << x.Error();
    std::string pid = x.Run("xdotool getwindowpid " + window);
    pid.pop_back();  // its line end
    x.Run("xdotool windowfocus --sync " + window + " type x");
    x.Run("xdotool windowfocus --sync " + window + " key ctrl+p");
    ASSERT_TRUE(x.Sync(window)) << x.Error();
    std::string dialog =
        x.Run("xdotool search --all --onlyvisible --pid " + pid + " --name '^Print$'");
    ASSERT_FALSE(dialog.empty()) << x.LastOutput();
    dialog.resize(dialog.find('\n'));
    if (!c.WhileOpen.empty()) x.Run("cd " + test::ShellQuoted(dir.Path()) + " && " + c.WhileOpen);
    x.Run("xdotool windowfocus --sync " + dialog + " key Return");
    ASSERT_TRUE(x.Sync(window)) << x.Error();

    EXPECT_NE(
        x.Run("pdftotext " + test::ShellQuoted((dir / "f.pdf").string()) + " -").find("xtext"),
        std::string::npos);
    std::string told = c.Told;
    for (size_t at; (at = told.find('@')) != std::string::npos;)
      told.replace(at, 1, dir.Path().string());
    const std::string output = x.LastOutput();
    if (told.empty()) {
      EXPECT_EQ(output.find("rideder:"), std::string::npos) << output;
    } else {
      EXPECT_NE(output.find(told), std::string::npos) << output;
    }
    if (!c.ToldAfter.empty()) {
      EXPECT_NE(output.find(c.ToldAfter, output.find(told)), std::string::npos) << output;
    }
    EXPECT_EQ(x.Run("xdotool getwindowname " + window), "*" + file + " - rideder\n");
    if (c.Kept) {
      EXPECT_TRUE(c.Kept(c.Settings, test::ReadFileBytes(settings)));
    }
    if (c.Left) c.Left(dir.Path());
    x.Run("xdotool windowfocus --sync " + window + " key ctrl+s");
    ASSERT_TRUE(x.Sync(window)) << x.Error();
    EXPECT_EQ(test::ReadFileBytes(file), "xtext\n");
    EXPECT_EQ(x.Run("xdotool getwindowname " + window), file + " - rideder\n");
    x.Run("kill " + pid);
  }
  EXPECT_FALSE(std::filesystem::exists("/nonexistent"));
}

}  // namespace
}  // namespace rid
