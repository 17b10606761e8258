#include "app/EderExport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTabWidget>
#include <string>
#include <vector>

#include "app/EderHighlighters.h"
#include "app/EderPage.h"
#include "app/EderWindow.h"
#include "output/RidExportHTML.h"
#include "output/RidExportRTF.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

std::string Rideder() { return std::string(RID_BUILD_DIR) + "/rideder"; }

std::string Quote(const std::string& S) { return "'" + S + "'"; }

// "# 日本" in EUC-JP and a Perl line with everything the formats escape.
const std::string kScript = "# \xc6\xfc\xcb\xdc\nprint \"<a href=\\\"x\\\">&{}\\\\\";\n";
const std::string kNihon = "\x93\xfa\x96\x7b";

TEST(EderExportCommand, WritesTheDocumentAFileAndItsOptionsAskFor) {
  test::TempDir dir;
  const std::string perl = (dir / "掲示板.cgi").string();
  const std::string text = (dir / "notes.txt").string();
  test::WriteFileBytes(perl, kScript);
  test::WriteFileBytes(text, "a<b> {c}\n");
  struct TCase {
    std::vector<std::string> Args;  // before FILE
    std::string File;
    std::vector<std::string> Has, HasNot;
  };
  const std::string rtfTitle = "{\\title \\'8c\\'66\\'8e\\'a6\\'94\\'c2}}";
  const TCase cases[] = {
      {{"--export-rtf"},
       perl,
       {"{\\rtf1\\ansi\\ansicpg932", "{\\fonttbl{\\f0\\fmodern courier new;}}", rtfTitle, "\\fs20 ",
        "# \\'93\\'fa\\'96\\'7b\\par", "&\\{\\}\\\\\\\\"},
       {"\\cb"}},
      {{"--export-rtf", "--background", "--font", "IPAゴシック:12", "--title", "表}", "--attr",
        "Comment:#FF8000:#FFFFC0:bi"},
       perl,
       {"ipa\\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}}", "\\fs24 ", "\\red255\\green128\\blue0;",
        "\\b\\i ", "{\\title \\'95\\'5c\\}}}", "\\cb"},
       {}},
      {{"--export-html"},
       perl,
       {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>",
        "<title>" + Utf8ToSjis("掲示板") + "</title>", ".perl1-comment { font-style: italic; }",
        "font: 10pt Courier New;", "<span class=\"perl1-comment\"># " + kNihon,
        "&lt;a href=\\&quot;x\\&quot;&gt;&amp;"},
       {"{ background-color:", "<span>"}},
      {{"--export-html", "--background", "--attr", "String:#102030:#FFFFC0:"},
       perl,
       {".perl1-string { background-color: #FFFFC0; color: #102030; }"},
       {}},
      {{"--export-html", "--fragment"}, perl, {"<pre>\r\n<code>"}, {"<html", "<style", "</body>"}},
      // A file of no other language is coloured by the General highlighter, its brace comment
      // red; the editor keeps an empty line after the last line break.
      {{"--export-html"},
       text,
       {"<span class=\"general1-comment\">{c}\r\n\r\n</span>", "<title>notes</title>",
        ".general1-comment { color: #FF0000; }"},
       {}},
      {{"--export-rtf"}, text, {"\\cf0 a<b> \\cf1 \\{c\\}\\par"}, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    const std::string out = (dir / "out").string();
    std::string cmd = Rideder() + " " + c.Args[0] + " " + Quote(out);
    for (size_t i = 1; i < c.Args.size(); ++i) cmd += " " + Quote(c.Args[i]);
    int code = -1;
    const std::string messages = test::RunTool(cmd + " " + Quote(c.File) + " 2>&1", {}, &code);
    EXPECT_EQ(code, 0) << messages;
    const std::string doc = test::ReadFileBytes(out);
    for (const std::string& s : c.Has) EXPECT_NE(doc.find(s), std::string::npos) << s;
    for (const std::string& s : c.HasNot) EXPECT_EQ(doc.find(s), std::string::npos) << s;
  }
}

TEST(EderExportCommand, ExitsWithTwoOnUsageAndOneOnAFailureKeepingTheOlderOutput) {
  test::TempDir dir;
  const std::string perl = (dir / "a.pl").string();
  const std::string out = (dir / "old.html").string();
  test::WriteFileBytes(perl, kScript);
  test::WriteFileBytes(out, "older");
  struct TCase {
    std::string Args;
    int Code;
    std::string Named;  // in the message
  };
  const TCase cases[] = {
      {"--export-rtf " + Quote(out) + " --fragment " + Quote(perl), 2, "--fragment"},
      {"--export-html " + Quote(out) + " --font X " + Quote(perl), 2, "--font"},
      {"--export-html " + Quote(out) + " --attr 'Nothing:::' " + Quote(perl), 2, "Nothing"},
      {"--export-html " + Quote(out), 2, "FILE"},
      {"--export-html " + Quote(out) + " " + Quote((dir / "missing.pl").string()), 1, "missing.pl"},
      {"--export-rtf " + Quote((dir / "no" / "x.rtf").string()) + " " + Quote(perl), 1, "x.rtf"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args);
    int code = -1;
    const std::string messages = test::RunTool(Rideder() + " " + c.Args + " 2>&1", {}, &code);
    EXPECT_EQ(code, c.Code);
    EXPECT_NE(messages.find(c.Named), std::string::npos) << messages;
    EXPECT_EQ(test::ReadFileBytes(out), "older");
  }
}

// --- The window.

QAction* Action(TEderWindow& W, const char* Name) {
  QAction* a = W.findChild<QAction*>(Name);
  EXPECT_NE(a, nullptr) << Name;
  return a;
}

TEST(EderWindowExport, ExportsTheShownPageAsTheCommandLineDoes) {
  test::TempDir dir;
  const std::string perl = (dir / "表示.pl").string();
  test::WriteFileBytes(perl, kScript);
  TEderWindow w({perl, perl});
  w.Tabs()->setCurrentIndex(1);
  for (const char* mode : {"--export-rtf", "--export-html"}) {
    SCOPED_TRACE(mode);
    const std::string byWindow = (dir / "window").string();
    const std::string byCommand = (dir / "command").string();
    std::unique_ptr<TRidCustomExporter> e;
    if (std::string(mode) == "--export-rtf")
      e = std::make_unique<TRidExporterRTF>(nullptr);
    else
      e = std::make_unique<TRidExporterHTML>(nullptr);
    w.ExportCurrentPage(*e, byWindow);
    int code = -1;
    test::RunTool(Rideder() + " " + mode + " " + Quote(byCommand) + " " + Quote(perl), {}, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(test::ReadFileBytes(byWindow), test::ReadFileBytes(byCommand));
  }
  EXPECT_NE(Action(w, "ExportRtf"), nullptr);
  EXPECT_NE(Action(w, "ExportHtml"), nullptr);
  TRidExporterRTF e(nullptr);
  EXPECT_THROW(w.ExportCurrentPage(e, (dir / "no" / "x.rtf").string()), Exception);
}

// The clipboard's data of a MIME type, as the system holds it.
std::string ClipboardData(const char* Mime) {
  const QMimeData* m = QApplication::clipboard()->mimeData();
  return m && m->hasFormat(Mime) ? m->data(Mime).toStdString() : std::string("<none>");
}

TEST(EderWindowExport, CopyPutsPlainTextRtfAndHtmlOnTheClipboardInOneUpdate) {
  test::TempDir dir;
  const std::string perl = (dir / "a.pl").string();
  test::WriteFileBytes(perl, kScript);
  TEderWindow w({perl});
  TRidEder& ed = w.Eder(0);
  Action(w, "SelectAll")->trigger();
  int changes = 0;
  QObject::connect(QApplication::clipboard(), &QClipboard::dataChanged, [&] { ++changes; });
  Action(w, "Copy")->trigger();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(Clipboard()->GetAsText(), ed.GetText());
  EXPECT_TRUE(Clipboard()->HasFormat(RidEderClipboardFormat()));

  const std::string rtf = ClipboardData("text/rtf");
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << rtf;
  EXPECT_NE(rtf.find("# \\'93\\'fa\\'96\\'7b\\par"), std::string::npos);
  const std::string html = ClipboardData("text/html");
  EXPECT_EQ(html.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << html;
  EXPECT_NE(html.find("charset=UTF-8\">"), std::string::npos);
  EXPECT_NE(html.find("<span class=\"perl1-comment\"># 日本"), std::string::npos);

  // What is exported is the selection's text, in each selection mode.
  struct TCase {
    TRidSelectionMode Mode;
    TBufferCoord Begin, End;
  };
  for (const TCase& c : {TCase{smNormal, {3, 1}, {6, 2}}, TCase{smLine, {3, 1}, {2, 2}},
                         TCase{smColumn, {3, 1}, {7, 2}}}) {
    SCOPED_TRACE(static_cast<int>(c.Mode));
    ed.SetSelectionMode(c.Mode);
    ed.SetBlockBegin(c.Begin);
    ed.SetBlockEnd(c.End);
    const std::string selected = ed.GetSelText();
    Action(w, "Copy")->trigger();
    TStringList lines;
    lines.SetTextStr(selected);
    TRidExporterRTF expected(nullptr);
    ExportHighlighted(expected, &lines, ed.GetHighlighter());
    EXPECT_EQ(ClipboardData("text/rtf"), expected.GetBuffer());
  }
}

// The program under its own X server, driven as a person drives it: Ctrl+A and Ctrl+C typed
// into its window, then the clipboard as other programs read it.
TEST(EderWindowExport, OtherProgramsReadPlainTextRtfAndUtf8HtmlFromTheXClipboard) {
  RID_NEED_TOOL("xclip", "xclip");
  RID_NEED_TOOL("xdotool", "xdotool");
  test::TempDir dir;
  const std::string perl = (dir / "a.pl").string();
  test::WriteFileBytes(perl, kScript);
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  const std::string window = x.StartRideder({perl});
  ASSERT_FALSE(window.empty()) << x.Error();
  x.Run("xdotool windowfocus --sync " + window + " key ctrl+a ctrl+c");
  // The clipboard's data for an X target.
  const auto clipboard = [&x](const std::string& Target, int* Code = nullptr) {
    return x.Run("xclip -selection clipboard -o -t " + Target, {}, Code);
  };
  std::string targets;
  test::WaitUntil([&] {
    int code = -1;
    targets = clipboard("TARGETS", &code);
    return targets.find("text/rtf") != std::string::npos;
  });
  EXPECT_NE(targets.find("text/rtf"), std::string::npos) << targets;
  EXPECT_NE(targets.find("text/html"), std::string::npos) << targets;

  // What the window holds, exported here as its copy exports it.
  TEderHighlighters highlighters;
  const std::unique_ptr<TEderPage> page = LoadPage(perl, highlighters);
  TStringList lines;
  lines.SetTextStr(page->Eder->GetText());
  TRidExporterRTF rtf(nullptr);
  ExportHighlighted(rtf, &lines, page->Highlighter);
  TRidExporterHTML html(nullptr);
  ExportHighlighted(html, &lines, page->Highlighter);

  EXPECT_EQ(clipboard("UTF8_STRING"), SjisToUtf8(page->Eder->GetText()));
  EXPECT_EQ(clipboard("text/rtf"), rtf.GetBuffer());
  const std::string utf8 = clipboard("text/html");
  EXPECT_EQ(utf8, HtmlPageToUtf8(html.GetBuffer()));
  EXPECT_NE(utf8.find("encoding=\"UTF-8\""), std::string::npos) << utf8;
  EXPECT_NE(utf8.find("# 日本"), std::string::npos) << utf8;
}

}  // namespace
}  // namespace rid
