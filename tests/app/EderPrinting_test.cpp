#include "app/EderPrinting.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <cstdlib>
#include <regex>

#include "app/EderPrintSettings.h"
#include "app/EderWindow.h"
#include "platform/Locale.h"
#include "platform/Printers.h"
#include "tests/FileFaults.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

TEST(PrintLines, HeaderAndFooterLinesRoundTripThroughItems) {
  struct Case {
    std::vector<std::string> Lines;
    std::vector<std::string> Back;  // what the items give back
    int32_t Items;
  };
  const Case cases[] = {
      {{"$TITLE$||$PAGENUM$/$PAGECOUNT$"}, {"$TITLE$||$PAGENUM$/$PAGECOUNT$"}, 2},
      {{"left"}, {"left"}, 1},
      {{"|centre"}, {"|centre"}, 1},
      {{"||right"}, {"||right"}, 1},
      {{"a|b|c", "", "ポ表|ソ|能"}, {"a|b|c", "ポ表|ソ|能"}, 6},  // ポ's trail byte is "|"
      {{"", ""}, {}, 0},
      {{}, {}, 0},
      {{"l|", "|", "||"}, {"l"}, 1},
  };
  for (const Case& c : cases) {
    THeader h;
    SetHeaderFooterLines(h, c.Lines);
    EXPECT_EQ(h.Count(), c.Items) << c.Lines.size();
    EXPECT_EQ(HeaderFooterLines(h), c.Back);
  }
  THeader h;
  SetHeaderFooterLines(h, {"x|y"});
  EXPECT_EQ(h.Get(0).GetText(), "x");
  EXPECT_EQ(h.Get(1).GetAlignment(), taCenter);
  EXPECT_THROW(SetHeaderFooterLines(h, {"ok", "a|b|c|d"}), EConvertError);
  EXPECT_EQ(HeaderFooterLines(h), (std::vector<std::string>{"x|y"}));  // unchanged
  // Items of one place on one line read back joined.
  THeader two;
  two.Add("a", nullptr, taLeftJustify, 1);
  two.Add(Utf8ToSjis("表"), nullptr, taLeftJustify, 1);
  two.Add("z", nullptr, taRightJustify, 4);
  EXPECT_EQ(HeaderFooterLines(two), (std::vector<std::string>{"a 表", "||z"}));
}

class WindowPrinting : public ::testing::Test {
 protected:
  void SetUp() override {
    RID_NEED_TOOL("pdftotext", "poppler-utils");
    RID_NEED_TOOL("pdfinfo", "poppler-utils");
    setenv("RIDEDER_REGISTRY", (Dir / "registry.ini").c_str(), 1);
    Printer()->SetPrinterIndex(0);
    std::string script;
    for (int i = 1; i <= 150; ++i) script += "print \"" + std::to_string(i) + " 表示\";\n";
    File = (Dir / "job.pl").string();
    test::WriteFileBytes(File, Utf8ToSjis(script));
  }
  void TearDown() override { unsetenv("RIDEDER_REGISTRY"); }
  std::string Text(const std::string& Pdf) {
    return test::RunTool("pdftotext -layout '" + Pdf + "' -");
  }
  int Pages(const std::string& Pdf) {
    std::smatch m;
    const std::string info = test::RunTool("pdfinfo '" + Pdf + "'");
    return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
  }
  // Prints as a person does (File > Print..., then Print), with Header's lines in the dialog
  // when given; returns what the status line then says.
  static std::string PrintFromTheMenu(TEderWindow& W, const QString& Header = {}) {
    QTimer::singleShot(0, [Header] {
      auto* dialog = dynamic_cast<TEderPrintDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      if (!Header.isEmpty()) dialog->HeaderLines()->setPlainText(Header);
      for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons())
        if (b->text() == "&Print") b->click();
    });
    W.statusBar()->clearMessage();
    W.findChild<QAction*>("Print")->trigger();
    return W.statusBar()->currentMessage().toStdString();
  }
  test::TempDir Dir;
  std::string File;
};

TEST_F(WindowPrinting, TheDialogPrintsWithItsChoicesAndKeepsThem) {
  TEderWindow w({File});
  TEderPrinting& printing = w.Printing();
  printing.PrepareJob();
  {
    TEderPrintDialog d(printing.Job(), w.CurrentPage(), &w);
    EXPECT_EQ(d.PrinterBox()->itemText(0), "PDF");
    EXPECT_EQ(d.OutputFile()->text().toStdString(), (Dir / "job.pdf").string());
    EXPECT_FALSE(d.SelectionOnly()->isVisible() && d.SelectionOnly()->isVisibleTo(&d));
    EXPECT_EQ(d.HeaderLines()->toPlainText(), "$TITLE$||$PAGENUM$/$PAGECOUNT$");
    d.LineNumbers()->setChecked(true);
    d.Colors()->setChecked(true);
    d.HeaderLines()->setPlainText("$TITLE$|ヘッダ|$PAGENUM$");
    d.FooterLines()->setPlainText("||$DATE$");
    d.AllPages()->setChecked(false);
    d.FromPage()->setValue(2);
    d.ToPage()->setValue(2);
    d.Copies()->setValue(2);
    d.show();
    QApplication::processEvents();
    d.grab().save(QString::fromStdString((test::ArtifactDir() / "print-dialog.png").string()));
    ASSERT_EQ(d.PrintNow(), "");
  }
  const std::string pdf = (Dir / "job.pdf").string();
  EXPECT_EQ(Pages(pdf), 2);
  const std::string text = Text(pdf);
  EXPECT_NE(text.find("job"), std::string::npos);
  EXPECT_NE(text.find("ヘッダ"), std::string::npos);
  EXPECT_NE(std::regex_search(text, std::regex("\\d+: print")), false);  // line numbers

  // A second window starts from what the first one printed with.
  TEderWindow again({File});
  TRidEderPrint& job = again.Printing().PrepareJob();
  EXPECT_TRUE(job.GetLineNumbers());
  EXPECT_TRUE(job.GetColors());
  EXPECT_EQ(HeaderFooterLines(job.GetHeader()),
            (std::vector<std::string>{"$TITLE$|ヘッダ|$PAGENUM$"}));
  EXPECT_EQ(HeaderFooterLines(job.GetFooter()), (std::vector<std::string>{"||$DATE$"}));
}

TEST_F(WindowPrinting, TheDialogRefusesWhatItCannotPrint) {
  TEderWindow w({File});
  w.Printing().PrepareJob();
  TEderPrintDialog d(w.Printing().Job(), w.CurrentPage(), &w);
  d.HeaderLines()->setPlainText("a|b|c|d");
  EXPECT_NE(d.PrintNow().find("at most three"), std::string::npos);
  d.HeaderLines()->setPlainText("");
  d.OutputFile()->setText("");
  EXPECT_NE(d.PrintNow(), "");
  d.OutputFile()->setText(QString::fromStdString((Dir / "no" / "such.pdf").string()));
  EXPECT_NE(d.PrintNow().find("such.pdf"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Dir / "no"));
}

TEST_F(WindowPrinting, SelectionOnlyIsOfferedForASelection) {
  TEderWindow w({File});
  TRidEder& ed = w.CurrentEder();
  ed.SetBlockBegin({1, 3});
  ed.SetBlockEnd({1, 5});
  w.Printing().PrepareJob();
  TEderPrintDialog d(w.Printing().Job(), w.CurrentPage(), &w);
  EXPECT_TRUE(d.SelectionOnly()->isVisibleTo(&d));
  d.SelectionOnly()->setChecked(true);
  d.HeaderLines()->setPlainText("");
  ASSERT_EQ(d.PrintNow(), "");
  const std::string text = Text((Dir / "job.pdf").string());
  EXPECT_NE(text.find("print \"3 表示\";"), std::string::npos);
  EXPECT_NE(text.find("print \"4 表示\";"), std::string::npos);
  EXPECT_EQ(text.find("print \"5 表示\";"), std::string::npos);
  EXPECT_EQ(text.find("print \"2 表示\";"), std::string::npos);
}

TEST_F(WindowPrinting, ThePreviewWindowPagesThroughTheShownDocument) {
  TEderWindow w({File});
  w.show();
  QAction* print = w.findChild<QAction*>("Print");
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->shortcut(), QKeySequence::Print);
  QAction* preview = w.findChild<QAction*>("PrintPreview");
  ASSERT_NE(preview, nullptr);
  preview->trigger();
  TEderPreviewWindow* pw = w.Printing().PreviewWindow();
  ASSERT_NE(pw, nullptr);
  QApplication::processEvents();
  const int32_t count = pw->Preview().GetPageCount();
  ASSERT_GT(count, 1);
  EXPECT_EQ(pw->PageLabel()->text(), QString("Page: 1 / %1").arg(count));
  pw->findChild<QAction*>("NextPage")->trigger();
  EXPECT_EQ(pw->PageLabel()->text(), QString("Page: 2 / %1").arg(count));
  pw->findChild<QAction*>("LastPage")->trigger();
  pw->findChild<QAction*>("NextPage")->trigger();
  EXPECT_EQ(pw->Preview().GetPageNumber(), count);
  pw->findChild<QAction*>("PageWidth")->trigger();
  EXPECT_EQ(pw->Preview().GetScaleMode(), pscPageWidth);
  pw->Percent()->setValue(150);
  EXPECT_EQ(pw->Preview().GetScaleMode(), pscUserScaled);
  EXPECT_EQ(pw->Preview().GetScalePercent(), 150);
  pw->findChild<QAction*>("WholePage")->trigger();
  pw->findChild<QAction*>("FirstPage")->trigger();
  QApplication::processEvents();
  pw->grab().save(QString::fromStdString((test::ArtifactDir() / "preview-window.png").string()));
  // The preview's pages are the printer's.
  const std::string pdf = (Dir / "job.pdf").string();
  Printer()->SetFileName(pdf);
  w.Printing().Job().Print();
  EXPECT_EQ(Pages(pdf), count);
  pw->close();
  QApplication::processEvents();
  EXPECT_EQ(w.Printing().PreviewWindow(), nullptr);
}

// Print choices whose values the settings file holds in a form the program cannot use (hex: and
// hex(2): header and footer, a margin text it cannot read) are named as the window opens, and
// printing with other choices leaves those lines as a person wrote them, none written beside
// them: the status line and the error stream say so, the choices hold for the rest of this run,
// and the next run starts from the defaults again.
TEST_F(WindowPrinting, ChoicesTheSettingsFileHoldsInAnotherFormHoldForThisRunOnly) {
  const std::string hand =
      "; mine\r\n"
      "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\r\n"
      "\"Header\"=hex:41,42,43\r\n"
      "\"Footer\"=hex(2):41,00\r\n"
      "\"Margin\"=\"not a margin at all\"\r\n";
  test::WriteFileBytes(Dir / "registry.ini", hand);
  const TRidEderPrint defaults(nullptr);
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    TEderWindow w({File});
    w.show();
    EXPECT_EQ(w.statusBar()->currentMessage().toStdString(),
              "Print \"Margin\" cannot be read: the default is used; Print \"Header\" is hex "
              "data, not text: the default is used; Print \"Footer\" is hex(2) data, not text: "
              "the default is used");
    TRidEderPrint& job = w.Printing().PrepareJob();
    EXPECT_EQ(job.GetMargin(), defaults.GetMargin());
    EXPECT_EQ(HeaderFooterLines(job.GetHeader()), std::vector<std::string>{kDefaultHeaderLine});
    QTimer::singleShot(0, [] {
      auto* dialog = dynamic_cast<TEderPrintDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->HeaderLines()->setPlainText("mine|ヘッダ");
      dialog->FooterLines()->setPlainText("||$PAGENUM$");
      for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons())
        if (b->text() == "&Print") b->click();
    });
    testing::internal::CaptureStderr();
    w.findChild<QAction*>("Print")->trigger();
    const std::string told = testing::internal::GetCapturedStderr();
    const std::string said = w.statusBar()->currentMessage().toStdString();
    EXPECT_EQ(said,
              "Print \"Margin\" cannot be read: its line is kept as written, and the choice holds "
              "for this run only; Print \"Header\" is hex data, not text: its line is kept as "
              "written, and the choice holds for this run only; Print \"Footer\" is hex(2) data, "
              "not text: its line is kept as written, and the choice holds for this run only");
    EXPECT_NE(told.find("rideder: " + said + "\n"), std::string::npos) << told;
    EXPECT_NE(Text((Dir / "job.pdf").string()).find("ヘッダ"), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(Dir / "registry.ini"), hand);
    // The next print of this run starts from them.
    TEderPrintDialog again(w.Printing().PrepareJob(), w.CurrentPage(), &w);
    EXPECT_EQ(again.HeaderLines()->toPlainText(), "mine|ヘッダ");
    EXPECT_EQ(again.FooterLines()->toPlainText(), "||$PAGENUM$");
  }
}

// A settings file that cannot be written does not stop a print started as a person starts it
// (File > Print..., then Print): the pages are printed, the status line and the error stream
// say why the choices were not kept, and the window goes on with its unsaved text.
TEST_F(WindowPrinting, ASettingsFileThatCannotBeWrittenIsToldAndThePrintGoesOn) {
  const std::filesystem::path readOnly = Dir / "read-only.ini";
  const struct {
    const char* What;
    std::filesystem::path Settings;
    std::string Why;
  } cases[] = {
      {"a read-only file", readOnly,
       "Cannot create file \"" + readOnly.string() + "\". The file is read-only"},
      {"a folder that is a file", Dir / "job.pl" / "registry.ini", "Not a directory"},
  };
  test::WriteFileBytes(readOnly, "; mine\n");
  ::chmod(readOnly.c_str(), 0444);
  const std::string pdf = (Dir / "job.pdf").string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    setenv("RIDEDER_REGISTRY", c.Settings.c_str(), 1);
    std::filesystem::remove(pdf);
    TEderWindow w({File});
    w.show();
    w.CurrentEder().CommandProcessor(ecChar, 'x', nullptr);
    QTimer::singleShot(0, [] {
      auto* dialog = dynamic_cast<TEderPrintDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons())
        if (b->text() == "&Print") b->click();
    });
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(w.findChild<QAction*>("Print")->trigger());
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_GT(Pages(pdf), 0);
    const std::string said = w.statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(said.starts_with("Settings not saved: ")) << said;
    EXPECT_NE(said.find(c.Why), std::string::npos) << said;
    EXPECT_NE(told.find("rideder: " + said + "\n"), std::string::npos) << told;
    EXPECT_TRUE(w.CurrentEder().GetModified());
    EXPECT_EQ(w.CurrentEder().Lines()->Get(0).substr(0, 7), "xprint ");
  }
  EXPECT_EQ(test::ReadFileBytes(readOnly), "; mine\n");
}

// The settings file a person keeps by hand is read-only when a print stores the choices: the
// status line says they were not saved. The person makes it writable and adds a line and a
// comment; the next print of the same window stores the choices and keeps both.
TEST_F(WindowPrinting, APrintAfterAFailedSettingsSaveKeepsTheLinesAddedByHand) {
  const std::string settings = (Dir / "registry.ini").string();
  const std::string hand = "; mine\n[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n";
  test::WriteFileBytes(settings, hand);
  ::chmod(settings.c_str(), 0444);
  TEderWindow w({File});
  w.show();
  EXPECT_EQ(PrintFromTheMenu(w, "first|$PAGENUM$"),
            "Settings not saved: Cannot create file \"" + settings + "\". The file is read-only");
  ::chmod(settings.c_str(), 0644);
  const std::string added = "\"Mine\"=\"kept\"\n# added by hand\n";
  test::WriteFileBytes(settings, hand + added);
  EXPECT_EQ(PrintFromTheMenu(w), "");
  const std::string text = test::ReadFileBytes(settings);
  EXPECT_TRUE(text.starts_with(hand + "\"Mine\"=\"kept\"\n")) << text;
  EXPECT_NE(text.find("\"Header\"=\"first"), std::string::npos) << text;
  EXPECT_NE(text.find("# added by hand\n"), std::string::npos) << text;
}

// Root prints with its settings file in a folder of nobody's; nobody then puts a link to a
// file only root may read in place of the settings file. Root's next print is printed, the
// choices are not stored (the status line says why), and the file the link leads to is left
// as it was.
TEST_F(WindowPrinting, ASettingsFileReplacedByAnotherUsersLinkIsNotWrittenThrough) {
  const std::filesystem::path folder = Dir / "nobodys";
  std::filesystem::create_directory(folder);
  ASSERT_EQ(::chown(folder.c_str(), test::kNobody, test::kNobody), 0);
  ::chmod(Dir.Path().c_str(), 0755);  // nobody may come in
  const std::string settings = (folder / "registry.ini").string();
  const std::string secret = (Dir / "secret.ini").string();
  const std::string secretText = "[HKEY_CURRENT_USER\\Secret]\n\"k\"=\"v\"\n";
  test::WriteFileBytes(secret, secretText);
  ::chmod(secret.c_str(), 0600);
  setenv("RIDEDER_REGISTRY", settings.c_str(), 1);
  TEderWindow w({File});
  w.show();
  EXPECT_EQ(PrintFromTheMenu(w, "first"), "");
  int code = -1;
  const std::string said =
      test::RunTool("/usr/bin/setpriv --reuid=" + std::to_string(test::kNobody) +
                        " --regid=" + std::to_string(test::kNobody) + " --clear-groups -- ln -sf " +
                        test::ShellQuoted(secret) + " " + test::ShellQuoted(settings) + " 2>&1",
                    {}, &code);
  ASSERT_EQ(code, 0) << said;
  std::filesystem::remove(Dir / "job.pdf");
  EXPECT_EQ(PrintFromTheMenu(w, "second"),
            "Settings not saved: Cannot create file \"" + settings +
                "\". It was replaced by a link to \"" + secret +
                "\": the settings are never written through a link put in place of their file");
  EXPECT_GT(Pages((Dir / "job.pdf").string()), 0);
  EXPECT_EQ(test::ReadFileBytes(secret), secretText);
  EXPECT_TRUE(std::filesystem::is_symlink(settings));
}

}  // namespace
}  // namespace rid
