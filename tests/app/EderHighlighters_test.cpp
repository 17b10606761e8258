#include "app/EderHighlighters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "app/EderWindow.h"
#include "editor/RidEder.h"
#include "editor/RidEderSearch.h"
#include "editor/RidMacroRecorder.h"
#include "highlighters/RidHighlighterAsm.h"
#include "highlighters/RidHighlighterCSS.h"
#include "highlighters/RidHighlighterCobol.h"
#include "highlighters/RidHighlighterFortran.h"
#include "highlighters/RidHighlighterGeneral.h"
#include "highlighters/RidHighlighterHtml.h"
#include "highlighters/RidHighlighterJScript.h"
#include "highlighters/RidHighlighterMulti.h"
#include "highlighters/RidHighlighterPerl.h"
#include "highlighters/RidHighlighterPython.h"
#include "highlighters/RidHighlighterTeX.h"
#include "highlighters/RidHighlighterVBScript.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

template <class T>
T* Find(TEderHighlighters& H) {
  for (int32_t i = 0; i < H.GetComponentCount(); ++i)
    if (auto* t = dynamic_cast<T*>(H.GetComponent(i))) return t;
  return nullptr;
}

TEST(EderHighlighters, ChoosesByExtensionAndNamesEach) {
  TEderHighlighters h;
  EXPECT_EQ(h.Describe({"a.pl", "b.PM", "c.cgi", "d.htm", "e.HTML", "f.css", "g.js", "h.php",
                        "i.php3", "j.phtml", "l.txt", "Makefile", "dir.js/x"}),
            "a.pl\tTRidPerlRid\tPerl\n"
            "b.PM\tTRidPerlRid\tPerl\n"
            "c.cgi\tTRidMultiRid\tCGI\n"
            "d.htm\tTRidHTMLRid\tHTML\n"
            "e.HTML\tTRidHTMLRid\tHTML\n"
            "f.css\tTRidCssRid\tCascading\n"
            "g.js\tTRidJScriptRid\tJavascript\n"
            "h.php\tTRidPHPRid\tPHP\n"
            "i.php3\tTRidPHPRid\tPHP\n"
            "j.phtml\tTRidPHPRid\tPHP\n"
            "l.txt\tTRidGeneralRid\t汎用タイプ\n"
            "Makefile\tTRidGeneralRid\t汎用タイプ\n"
            "dir.js/x\tTRidGeneralRid\t汎用タイプ\n");
  // The menu's names, sorted without regard to case.
  const std::vector<std::string> names = h.Names();
  for (const char* name : {"Cascading", "CGI", "HTML", "Javascript", "Perl", "PHP"})
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const auto& A, const auto& B) {
    return TStringList().CompareStrings(A, B) < 0;
  }));
  EXPECT_EQ(h.ByName("CGI"), h.Cgi());
  EXPECT_EQ(h.ByName("Javascript"), Find<TRidJScriptRid>(h));
  // The page highlighter of here-documents is not one of the list.
  for (int32_t i = 0; i < h.List()->GetCount(); ++i) EXPECT_NE(h.List()->GetObject(i), h.Page());
}

TEST(EderHighlighters, JavaScriptHasTheEditorsColours) {
  TEderHighlighters h;
  TRidJScriptRid* js = Find<TRidJScriptRid>(h);
  EXPECT_EQ(js->GetCommentAttri()->GetForeground(), clRed);
  EXPECT_EQ(js->GetCommentAttri()->GetStyle(), TFontStyles{});
  EXPECT_EQ(js->GetKeyAttri()->GetForeground(), clMaroon);
  EXPECT_EQ(js->GetNumberAttri()->GetForeground(), clGreen);
  EXPECT_EQ(js->GetStringAttri()->GetForeground(), clBlue);
}

// The editor's colours and settings of the languages added with the General highlighter, which
// colours every file no other claims.
TEST(EderHighlighters, EachLanguageHasTheEditorsSettings) {
  TEderHighlighters h;
  struct TColour {
    TRidHighlighterAttributes* Attri;
    TColor Foreground, Background;
  };
  auto* general = Find<TRidGeneralRid>(h);
  auto* vb = Find<TRidVBRid>(h);
  auto* vbs = Find<TRidVBScriptRid>(h);
  auto* tex = Find<TRidTeXRid>(h);
  auto* cobol = Find<TRidCobolRid>(h);
  auto* fortran = Find<TRidFortranRid>(h);
  auto* python = Find<TRidPythonRid>(h);
  auto* assembly = Find<TRidAsmRid>(h);
  const TColour colours[] = {
      {general->GetCommentAttri(), clRed, clNone},
      {general->GetKeyAttri(), clMaroon, clNone},
      {general->GetNumberAttri(), clGreen, clNone},
      {general->GetStringAttri(), clBlue, clNone},
      {vb->GetCommentAttri(), clRed, clNone},
      {vb->GetKeyAttri(), clMaroon, clNone},
      {vb->GetNumberAttri(), clGreen, clNone},
      {vb->GetStringAttri(), clBlue, clNone},
      {vbs->GetCommentAttri(), clRed, clNone},
      {vbs->GetStringAttri(), clBlue, clNone},
      {tex->GetCommentAttri(), clRed, clNone},
      {tex->GetTextAttri(), clBlue, clNone},
      {tex->GetControlSequenceAttri(), clBlack, clWhite},
      {tex->GetBraceAttri(), clFuchsia, clNone},
      {cobol->GetCommentAttri(), clRed, clNone},
      {cobol->GetKeyAttri(), clMaroon, clNone},
      {fortran->GetCommentAttri(), clRed, clNone},
      {fortran->GetStringAttri(), clBlue, clNone},
      {python->GetCommentAttri(), clRed, clNone},
      {python->GetKeyAttri(), clMaroon, clNone},
      {python->GetNumberAttri(), clGreen, clNone},
      {python->GetHexAttri(), clTeal, clNone},
      {python->GetOctalAttri(), clTeal, clNone},
      {python->GetFloatAttri(), clTeal, clNone},
      {python->GetErrorAttri(), clBlack, clRed},
      {assembly->GetCommentAttri(), clRed, clNone},
      {assembly->GetKeyAttri(), clMaroon, clNone},
      {assembly->GetNumberAttri(), clGreen, clNone},
  };
  for (const TColour& c : colours) {
    EXPECT_EQ(c.Attri->GetForeground(), c.Foreground) << c.Attri->GetName();
    EXPECT_EQ(c.Attri->GetBackground(), c.Background) << c.Attri->GetName();
  }
  for (TRidHighlighterAttributes* plain :
       {general->GetCommentAttri(), tex->GetControlSequenceAttri(), tex->GetBraceAttri(),
        python->GetCommentAttri()})
    EXPECT_EQ(plain->GetStyle(), TFontStyles{}) << plain->GetName();
  EXPECT_EQ(vb->GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});

  EXPECT_EQ(general->GetComments(), (TCommentStyles{csAnsiStyle, csPasStyle, csCStyle, csAsmStyle,
                                                    csBasStyle, csCPPStyle}));
  EXPECT_FALSE(general->GetDetectPreprocessor());
  EXPECT_EQ(general->GetIdentifierChars(),
            "!#$%&*+,-./0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ\\^_`abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(general->GetKeyWords()->Count(), 0);
  EXPECT_EQ(vb->GetDefaultFilter(), "VisualBasic Files (*.bas)|*.bas");
  EXPECT_EQ(assembly->GetDefaultFilter(), "x86Assembly Files (*.asm)|*.asm");
  EXPECT_EQ(cobol->GetAreaAStartPos(), 7);
  EXPECT_EQ(cobol->GetCodeEndPos(), 71);
  EXPECT_EQ(h.ByName(Utf8ToSjis("汎用タイプ")), general);
}

const char* const kCgiUtf8 =
    "#!/usr/bin/perl\n"
    "# 日本語のコメント\n"
    "print <<\"HTML\";\n"
    "<html><head>\n"
    "<style type=\"text/css\">\n"
    "h1 { color: #336699 }\n"
    "/* 見出し\n"
    "   の色 */ p { margin: 0 }\n"
    "</style>\n"
    "<SCRIPT type=\"text/javascript\">\n"
    "function f() { return \"表示\"; }\n"
    "</script><p>ソ表&amp;</p>\n"
    "HTML\n"
    "print 'x';\n";

// Each token of the script and the attribute it is painted with.
std::vector<std::pair<std::string, TRidHighlighterAttributes*>> Scan(TRidCustomHighlighter& H,
                                                                     const std::string& Text) {
  std::vector<std::pair<std::string, TRidHighlighterAttributes*>> out;
  H.ResetRange();
  for (std::string_view line : test::SplitLines(Text)) {
    H.SetLine(line, 0);
    for (; !H.GetEol(); H.Next()) out.emplace_back(H.GetToken(), H.GetTokenAttribute());
  }
  return out;
}

// Perl outside the here-document, HTML inside it, CSS and JavaScript in their elements, each
// with its own attributes; Perl again after the line that ends the here-document.
TEST(EderHighlighters, CgiScriptsColourEachLanguageWithItsOwnHighlighter) {
  TEderHighlighters h;
  auto* perl = Find<TRidPerlRid>(h);
  auto* html = Find<TRidHTMLRid>(h);
  auto* css = Find<TRidCssRid>(h);
  auto* js = Find<TRidJScriptRid>(h);
  TScheme* heredoc = h.Cgi()->GetSchemes()->GetItem(0);
  TScheme* script = h.Page()->GetSchemes()->GetItem(0);
  TScheme* style = h.Page()->GetSchemes()->GetItem(1);
  const auto tokens = Scan(*h.Cgi(), Utf8ToSjis(kCgiUtf8));
  const std::vector<std::pair<std::string, TRidHighlighterAttributes*>> expected = {
      {"print", perl->GetKeyAttri()},
      {"<<\"HTML\";", heredoc->GetMarkerAttri()},
      {"head", html->GetKeyAttri()},
      {"<style type=\"text/css\">", style->GetMarkerAttri()},
      {"h1 ", css->GetKeyAttri()},
      {"color", css->GetPropertyAttri()},
      {"#336699", css->GetColorAttri()},
      {Utf8ToSjis("   の色 */"), css->GetCommentAttri()},
      {"margin", css->GetPropertyAttri()},
      {"</style>", style->GetMarkerAttri()},
      {"<SCRIPT type=\"text/javascript\">", script->GetMarkerAttri()},
      {"function", js->GetKeyAttri()},
      {Utf8ToSjis("\"表示\""), js->GetStringAttri()},
      {"</script>", script->GetMarkerAttri()},
      {"p", html->GetKeyAttri()},
      {Utf8ToSjis("ソ表"), html->GetTextAttri()},
      {"&amp;", html->GetAndAttri()},
      {"HTML", heredoc->GetMarkerAttri()},
      {"print", perl->GetKeyAttri()},
      {"'x'", perl->GetStringAttri()},
  };
  size_t at = 0;
  for (const auto& [text, attr] : expected) {
    while (at < tokens.size() && tokens[at].first != text) ++at;
    ASSERT_LT(at, tokens.size()) << "no token \"" << test::Printable(text) << "\" in order";
    EXPECT_EQ(tokens[at].second, attr) << test::Printable(text);
    ++at;
  }
}

// The program's multi-language highlighters, each from a fresh set of highlighters.
test::THighlighterFactory CgiFactory() {
  return [] {
    auto set = std::make_shared<TEderHighlighters>();
    return std::shared_ptr<TRidCustomHighlighter>(set, set->Cgi());
  };
}

test::THighlighterFactory PageFactory() {
  return [] {
    auto set = std::make_shared<TEderHighlighters>();
    return std::shared_ptr<TRidCustomHighlighter>(set, set->Page());
  };
}

const std::vector<std::string> kPieces = {"print <<\"HTML\";",
                                          "<<'EOF'",
                                          "<<END",
                                          "HTML",
                                          "<script>",
                                          "</script>",
                                          "<style>",
                                          "</style>",
                                          "<!--",
                                          "-->",
                                          "/*",
                                          "*/",
                                          "\"",
                                          "'",
                                          "{",
                                          "}",
                                          "color:",
                                          "<p>",
                                          "&amp;",
                                          "\t",
                                          "\r",
                                          "\n"};

std::vector<TRidRange> RangesOf(const test::THighlighterFactory& Make) {
  std::vector<TRidRange> ranges;
  for (const char* line : {"", "print <<HTML;", "<<A;\n<style>", "<<B;\n<script>/*", "<style>/* x",
                           "<!-- x", "<p a='x"}) {
    const auto h = Make();
    h->ResetRange();
    TRidRange r = h->GetRange();
    for (std::string_view l : test::SplitLines(line)) test::ScanCheckedLine(*h, l, r, &r);
    ranges.push_back(r);
  }
  return ranges;
}

TEST(EderHighlighters, MultiLanguageHighlightersKeepTheScannerRules) {
  for (const auto& make : {CgiFactory(), PageFactory()}) {
    const std::vector<TRidRange> ranges = RangesOf(make);
    test::CheckConformance(make, test::RandomByteLines(67, 200, 60), ranges);
    test::CheckConformance(make, test::ShiftJisLines(71, 400, 20, kPieces), ranges);
  }
}

// Installed files scanned in order and out of order from their stored ranges: Perl modules
// (here-documents among them) as CGI scripts, Python's pages with their script and style
// elements as pages.
TEST(EderHighlighters, InstalledFilesKeepTheRangeContract) {
  test::CheckInstalledFiles(
      CgiFactory(), test::EveryNth(test::InstalledFiles({"/usr/share/perl"}, {".pm"}, "perl"), 2));
  test::CheckInstalledFiles(
      PageFactory(),
      test::EveryNth(
          test::InstalledFiles({"/usr/share/doc/python3.11/html"}, {".html"}, "python3-doc"), 6));
}

// The program's CGI highlighter, counting the lines it is given: the work of keeping a page's
// ranges.
class TCountingCgi : public TRidMultiRid {
 public:
  explicit TCountingCgi(TEderHighlighters& H) : TRidMultiRid(nullptr) {
    SetDefaultHighlighter(H.Cgi()->GetDefaultHighlighter());
    SetSchemes(H.Cgi()->GetSchemes());
  }
  void SetLine(std::string_view NewValue, int32_t LineNumber) override {
    ++LinesSet;
    TRidMultiRid::SetLine(NewValue, LineNumber);
  }
  int64_t LinesSet = 0;
};

// ALines lines of the program's sample CGI script over and over, each with its CR LF.
std::string CgiLines(int32_t ALines) {
  const std::string script = SampleScript();
  const std::vector<std::string_view> sample = test::SplitLines(script);
  std::string out;
  for (int32_t i = 0; i < ALines; ++i) (out += sample[i % sample.size()]) += "\r\n";
  return out;
}

// AText on the clipboard as the editor's own block in AMode.
void PutOnClipboard(const std::string& AText, TRidSelectionMode AMode) {
  TClipboard* clip = Clipboard();
  clip->Open();
  clip->Clear();
  clip->SetAsText(AText);
  clip->SetBuffer(RidEderClipboardFormat(),
                  std::string(1, static_cast<char>(AMode)) + AText + '\0');
  clip->Close();
}

constexpr int32_t kPageLines = 1000;

// A page, and N lines on the clipboard to paste at its top.
void PrepareAPaste(TRidEder& Ed, int32_t N) {
  Ed.SetText(CgiLines(kPageLines));
  PutOnClipboard(CgiLines(N), smNormal);
  Ed.SetCaretXY({1, 1});
}

// An edit that puts about N lines into a CGI page, after what makes it ready: the page and the
// clipboard, then the steps before it.
struct TManyLineEdit {
  const char* Name;
  std::function<void(TRidEder&, int32_t N)> Prepare;
  std::vector<std::function<void(TRidEder&)>> Steps;  // the last one is the edit
};

// An edit of many lines in a CGI page rescans the ranges once, from its first line until they
// agree again with the lines below: the lines scanned grow with the lines put in, not with their
// product with the page. After it the stored ranges equal a fresh scan.
TEST(EderHighlighters, EditsOfManyLinesInACgiPageRescanOnce) {
  TEderHighlighters h;
  TRidEderSearch engine(nullptr);
  const TRidSearchOptions replaceAll{ssoEntireScope, ssoReplaceAll};
  TRidMacroRecorder macro(nullptr);
  const auto paste = [](TRidEder& Ed) { Ed.PasteFromClipboard(); };
  const auto undo = [](TRidEder& Ed) { Ed.Undo(); };
  const TManyLineEdit edits[] = {
      {"paste", PrepareAPaste, {paste}},
      {"undo of a paste", PrepareAPaste, {paste, undo}},
      {"redo of a paste", PrepareAPaste, {paste, undo, [](TRidEder& Ed) { Ed.Redo(); }}},
      {"column paste",
       [](TRidEder& Ed, int32_t N) {
         Ed.SetText(CgiLines(N));
         std::string rows = CgiLines(N);
         PutOnClipboard(rows.substr(0, rows.size() - 2), smColumn);
         Ed.SetCaretXY({1, 1});
       },
       {paste}},
      {"replace all, a line break after each print",
       [&](TRidEder& Ed, int32_t N) {
         Ed.SetSearchEngine(&engine);
         Ed.SetText(CgiLines(N));
       },
       {[&](TRidEder& Ed) { Ed.SearchReplace("print", "print\r\n", replaceAll); }}},
      {"played macro of four pastes",
       [&](TRidEder& Ed, int32_t N) {
         PutOnClipboard(CgiLines(N / 4), smNormal);
         macro.AddEditor(&Ed);
         macro.RecordMacro(&Ed);
         for (int k = 0; k < 4; ++k) Ed.CommandProcessor(ecPaste, '\0', nullptr);
         macro.Stop();
         Ed.SetText(CgiLines(kPageLines));
         Ed.SetCaretXY({1, 1});
       },
       {[&](TRidEder& Ed) { macro.PlaybackMacro(&Ed); }}},
  };
  for (const TManyLineEdit& e : edits) {
    SCOPED_TRACE(e.Name);
    const int32_t sizes[] = {5000, 20000};
    int64_t scanned[2];
    for (int k = 0; k < 2; ++k) {
      TCountingCgi cgi(h);
      TRidEder ed(nullptr);
      ed.SetHighlighter(&cgi);
      e.Prepare(ed, sizes[k]);
      for (size_t i = 0; i + 1 < e.Steps.size(); ++i) e.Steps[i](ed);
      TRidEderStringList* lines = ed.GetLines();
      lines->GetRange(lines->GetCount() - 1);  // every range known, as after painting the end
      cgi.LinesSet = 0;
      e.Steps.back()(ed);
      lines->GetRange(lines->GetCount() - 1);
      scanned[k] = cgi.LinesSet;
      EXPECT_LE(scanned[k], 2 * (sizes[k] + kPageLines)) << sizes[k] << " lines";
      TRidCustomHighlighter& fresh = *h.Cgi();
      fresh.ResetRange();
      for (int32_t i = 0; i < lines->GetCount(); ++i) {
        fresh.SetRange(fresh.GetRange());
        fresh.SetLine(lines->GetView(i), i);
        fresh.NextToEol();
        ASSERT_EQ(lines->GetRange(i), fresh.GetRange()) << sizes[k] << " lines, line " << i;
      }
      ed.SetHighlighter(nullptr);
    }
    EXPECT_LE(scanned[1], 5 * scanned[0] + kPageLines) << "5,000 lines: " << scanned[0];
  }
}

}  // namespace
}  // namespace rid
