#include "highlighters/RidHighlighterHtml.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "highlighters/keywords/RidHighlighterHtmlKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using H = TRidHTMLRid;
using test::TTokenCase;

test::THighlighterFactory HtmlFactory() {
  return [] { return std::make_unique<TRidHTMLRid>(nullptr); };
}

const std::string kSo = "\x83\x5C", kHyo = "\x95\x5C", kMa = "\x83\x7D", kBo = "\x83\x7B";

const TTokenCase kCases[] = {
    // Text and entities
    {H::rsText, "a &amp; b", {{"a ", H::tkText}, {"&amp;", H::tkAmpersand}, {" b", H::tkText}}, 4},
    {H::rsText, "&amp;x", {{"&amp;", H::tkAmpersand}, {"x", H::tkText}}, 4},
    {H::rsText,
     "&#169;&#xA9;&#XA9;",
     {{"&#169;", H::tkAmpersand}, {"&#xA9;", H::tkAmpersand}, {"&#XA9;", H::tkAmpersand}},
     4},
    {H::rsText, "x&#169 y", {{"x&#169", H::tkText}, {" y", H::tkText}}, 4},
    {H::rsText, "&foo; &Amp; &amp", {{"&foo; &Amp; &amp", H::tkText}}, 4},
    {H::rsText, "&#;", {{"&#;", H::tkAmpersand}}, 4},
    {H::rsText,
     "&copy;&sup2;&frac14;&thetasym;",
     {{"&copy;", H::tkAmpersand},
      {"&sup2;", H::tkAmpersand},
      {"&frac14;", H::tkAmpersand},
      {"&thetasym;", H::tkAmpersand}},
     4},
    {H::rsText, "a=b>c", {{"a=b>c", H::tkText}}, 4},
    // Tags
    {H::rsText, "<br>", {{"<", H::tkSymbol}, {"br", H::tkKey}, {">", H::tkSymbol}}, 4},
    {H::rsText, "</Table>", {{"<", H::tkSymbol}, {"/Table", H::tkKey}, {">", H::tkSymbol}}, 4},
    {H::rsText, "<BRX>", {{"<", H::tkSymbol}, {"BRX", H::tkUndefKey}, {">", H::tkSymbol}}, 4},
    {H::rsText,
     "<h7><h1><H1>",
     {{"<", H::tkSymbol},
      {"h7", H::tkUndefKey},
      {">", H::tkSymbol},
      {"<", H::tkSymbol},
      {"h1", H::tkKey},
      {">", H::tkSymbol},
      {"<", H::tkSymbol},
      {"H1", H::tkKey},
      {">", H::tkSymbol}},
     4},
    {H::rsText,
     "<zzzzzzzzzz>",
     {{"<", H::tkSymbol}, {"zzzzzzzzzz", H::tkIdentifier}, {">", H::tkSymbol}},
     4},
    {H::rsText, "<?xml", {{"<", H::tkSymbol}, {"?xml", H::tkIdentifier}}, 3},
    {H::rsText, "<&", {{"<", H::tkSymbol}, {"&", H::tkText}}, 4},
    {H::rsText,
     "<a href=x.html>",
     {{"<", H::tkSymbol},
      {"a", H::tkKey},
      {" ", H::tkSpace},
      {"href", H::tkIdentifier},
      {"=", H::tkSymbol},
      {"x.html", H::tkValue},
      {">", H::tkSymbol}},
     4},
    {H::rsText,
     "<p class=\"x>y\" id='z'>",
     {{"<", H::tkSymbol},
      {"p", H::tkKey},
      {" ", H::tkSpace},
      {"class", H::tkIdentifier},
      {"=", H::tkSymbol},
      {"\"x>y\"", H::tkValue},
      {" ", H::tkSpace},
      {"id", H::tkIdentifier},
      {"=", H::tkSymbol},
      {"'z'", H::tkValue},
      {">", H::tkSymbol}},
     4},
    {H::rsTag,
     "a\"b=c",
     {{"a", H::tkIdentifier}, {"\"b", H::tkIdentifier}, {"=", H::tkSymbol}, {"c", H::tkValue}},
     3},
    // Values over line ends
    {H::rsText,
     "<input value='any",
     {{"<", H::tkSymbol},
      {"input", H::tkKey},
      {" ", H::tkSpace},
      {"value", H::tkIdentifier},
      {"=", H::tkSymbol},
      {"'any", H::tkValue}},
     7},
    {H::rsSingleQuoted, "value'>", {{"value'", H::tkValue}, {">", H::tkSymbol}}, 4},
    {H::rsDoubleQuoted, "a'b", {{"a'b", H::tkValue}}, 8},
    {H::rsDoubleQuoted, "\r\nx\"", {{"\r\n", H::tkSpace}, {"x\"", H::tkValue}}, 3},
    // Comments
    {H::rsText,
     "<!-- a -- b -->x",
     {{"<!--", H::tkComment}, {" a -- b -->", H::tkComment}, {"x", H::tkText}},
     4},
    {H::rsText, "<!-- a", {{"<!--", H::tkComment}, {" a", H::tkComment}}, 1},
    {H::rsComment, "b -->", {{"b -->", H::tkComment}}, 4},
    {H::rsText, "<!-->", {{"<!--", H::tkComment}, {">", H::tkComment}}, 4},
    {H::rsComment, "->x", {{"->x", H::tkComment}}, 1},
    {H::rsComment, ">", {{">", H::tkComment}}, 1},
    {H::rsComment, "\r\nx", {{"\r\n", H::tkSpace}, {"x", H::tkComment}}, 1},
    // Blanks: a TAB starts a run but never continues one; in text a blank is text
    {H::rsText, "\t  x", {{"\t  ", H::tkSpace}, {"x", H::tkText}}, 4},
    {H::rsTag, "  \tx", {{"  ", H::tkSpace}, {"\t", H::tkSpace}, {"x", H::tkIdentifier}}, 3},
    {H::rsText, "a  \tb", {{"a  ", H::tkText}, {"\t", H::tkSpace}, {"b", H::tkText}}, 4},
    // Shift-JIS text between tags and in values stays whole
    {H::rsText,
     "<p>" + kSo + kHyo + "&amp;" + kMa + "</p>",
     {{"<", H::tkSymbol},
      {"p", H::tkKey},
      {">", H::tkSymbol},
      {kSo + kHyo, H::tkText},
      {"&amp;", H::tkAmpersand},
      {kMa, H::tkText},
      {"<", H::tkSymbol},
      {"/p", H::tkKey},
      {">", H::tkSymbol}},
     4},
    {H::rsTag,
     kBo + "=" + kMa + "'",
     {{kBo, H::tkIdentifier}, {"=", H::tkSymbol}, {kMa + "'", H::tkValue}},
     3},
    // A range that only a caller can set: an "&" without entity is one byte of text
    {H::rsAmpersand, "&x", {{"&", H::tkText}, {"x", H::tkText}}, 4},
    {H::rsAmpersand, "&amp;", {{"&", H::tkText}, {"amp;", H::tkText}}, 4},
    {H::rsAmpersand, "&#12;", {{"&#12;", H::tkAmpersand}}, 4},
    {H::rsAmpersand, "&#12", {{"&#12", H::tkText}}, 4},
    {H::rsAmpersand, "ab", {{"ab", H::tkIdentifier}}, 0},
    {200, "a>b", {{"a", H::tkIdentifier}, {">", H::tkSymbol}, {"b", H::tkText}}, 4},
    // A NUL inside the line is text
    {H::rsText,
     std::string("a\0b", 3),
     {{"a", H::tkText}, {std::string(1, '\0'), H::tkText}, {"b", H::tkText}},
     4},
};

TEST(HtmlHighlighter, ScansTheListedCases) { test::CheckTokenCases(HtmlFactory(), kCases); }

TEST(HtmlHighlighter, ListsHaveTheirCountsAndTableShape) {
  EXPECT_EQ(std::size(keywords::RidHighlighterHtml::kTagNames), 111u + 91u);
  EXPECT_EQ(H::Entities().size(), 249u);
  EXPECT_EQ(H::Entities().front(), "&Alpha;");
  EXPECT_EQ(H::Entities().back(), "&circ;");
  EXPECT_EQ(H::KeywordTable().TableSize(), 251);
  EXPECT_EQ(H::KeywordTable().LargestHash(), 250u);
}

TEST(HtmlHighlighter, EveryTagNameAndEntityScansWithItsKind) {
  test::CheckKeywordsScan(HtmlFactory(), keywords::RidHighlighterHtml::kTagNames, H::rsAfterLess);
  std::vector<TRidKeyword> lower;
  std::vector<std::string> words;
  for (const TRidKeyword& k : keywords::RidHighlighterHtml::kTagNames) {
    std::string w(k.Word);
    for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    words.push_back(w);
  }
  for (const std::string& w : words) lower.push_back({w, H::tkKey});
  test::CheckKeywordsScan(HtmlFactory(), lower, H::rsAfterLess);
  std::vector<TRidKeyword> entities;
  for (std::string_view e : H::Entities()) entities.push_back({e, H::tkAmpersand});
  test::CheckKeywordsScan(HtmlFactory(), entities, H::rsText, "x ");
}

// Python's list of HTML 4 entities: ours has three more and lacks six.
TEST(HtmlHighlighter, EntitiesAgreeWithPython) {
  RID_NEED_TOOL("python3", "python3");
  const std::string out = test::RunTool(
      "python3 -c 'import html.entities; print(\"\\n\".join(html.entities.name2codepoint))'");
  ASSERT_FALSE(out.empty());
  std::set<std::string> python;
  std::istringstream in(out);
  for (std::string name; std::getline(in, name);) python.insert("&" + name + ";");
  std::set<std::string> ours(H::Entities().begin(), H::Entities().end());
  std::vector<std::string> onlyOurs, onlyPython;
  std::set_difference(ours.begin(), ours.end(), python.begin(), python.end(),
                      std::back_inserter(onlyOurs));
  std::set_difference(python.begin(), python.end(), ours.begin(), ours.end(),
                      std::back_inserter(onlyPython));
  EXPECT_EQ(onlyOurs, (std::vector<std::string>{"&brkbar;", "&die;", "&hibar;"}));
  EXPECT_EQ(onlyPython,
            (std::vector<std::string>{"&Yuml;", "&lrm;", "&rlm;", "&tilde;", "&zwj;", "&zwnj;"}));
}

TEST(HtmlHighlighter, AttributesAndLanguageData) {
  TRidHTMLRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 9);
  EXPECT_EQ(h.GetKeyAttri()->GetForeground(), TColor(0x00FF0080));
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetUndefKeyAttri()->GetForeground(), clRed);
  EXPECT_EQ(h.GetValueAttri()->GetForeground(), TColor(0x00FF8000));
  EXPECT_EQ(h.GetAndAttri()->GetForeground(), clLime);
  EXPECT_EQ(h.GetAndAttri()->GetName(), "Escape Ampersand");
  EXPECT_EQ(h.GetIdentifierAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetSymbolAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{});
  EXPECT_EQ(h.GetDefaultAttribute(0), h.GetCommentAttri());
  EXPECT_EQ(h.GetDefaultAttribute(2), h.GetKeyAttri());
  EXPECT_EQ(h.GetDefaultAttribute(3), nullptr);
  EXPECT_EQ(h.GetDefaultAttribute(5), h.GetSymbolAttri());
  EXPECT_EQ(h.GetLanguageName(), "HTML");
  EXPECT_EQ(h.GetDefaultFilter(), "HTML Documents (*.htm;*.html)|*.htm;*.html");
  EXPECT_EQ(h.GetRange(), H::rsText);
  h.SetRange(H::rsComment);
  h.ResetRange();
  EXPECT_EQ(h.GetRange(), H::rsText);
  // Each kind's attribute, over the sample page.
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {H::tkAmpersand, h.GetAndAttri()},
      {H::tkComment, h.GetCommentAttri()},
      {H::tkIdentifier, h.GetIdentifierAttri()},
      {H::tkKey, h.GetKeyAttri()},
      {H::tkSpace, h.GetSpaceAttri()},
      {H::tkSymbol, h.GetSymbolAttri()},
      {H::tkText, h.GetTextAttri()},
      {H::tkUndefKey, h.GetUndefKeyAttri()},
      {H::tkValue, h.GetValueAttri()}};
  std::set<int32_t> seen;
  TRidRange range = H::rsText;
  const std::string sample = h.GetSampleSource();
  for (std::string_view line : test::SplitLines(sample)) {
    for (const auto& t : test::ScanCheckedLine(h, line, range, &range)) {
      seen.insert(t.Kind);
      h.SetRange(range);
    }
  }
  h.SetLine("<a b='c'>&amp;<!--x--> y\t<zz>", 0);
  for (; !h.GetEol(); h.Next()) {
    seen.insert(h.GetTokenKind());
    EXPECT_EQ(h.GetTokenAttribute(), byKind.at(h.GetTokenKind())) << h.GetToken();
  }
  EXPECT_EQ(seen.size(), byKind.size());
}

const std::vector<TRidRange> kAllRanges = {0, 1, 2, 3, 4, 6, 7, 8, 5, 9, 255};

TEST(HtmlHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(HtmlFactory(), test::RandomByteLines(17, 500, 80), kAllRanges);
}

TEST(HtmlHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"<",  ">",     "=",    "\"",  "'",  "&",  "&amp;",
                                           "&#", "&#x1;", "<!--", "-->", "--", "\t", "br",
                                           "/p", "H1",    "\r",   "\n",  "?",  "!"};
  test::CheckConformance(HtmlFactory(), test::ShiftJisLines(19, 500, 24, pieces), kAllRanges);
}

TEST(HtmlHighlighter, InstalledPagesScanCleanly) {
  test::CheckInstalledFiles(
      HtmlFactory(),
      test::EveryNth(
          test::InstalledFiles({"/usr/share/doc/python3.11/html"}, {".html"}, "python3-doc"), 3));
}

// Python's HTML parser finds tags and comments where we find them: every start and end tag it
// reports outside script and style elements is our "<" and the tag name, every comment our
// "<!--".
TEST(HtmlHighlighter, TagsAndCommentsAgreeWithPythonsParser) {
  RID_NEED_TOOL("python3", "python3");
  const auto files =
      test::InstalledFiles({"/usr/share/doc/python3.11/html/library"}, {".html"}, "python3-doc");
  ASSERT_FALSE(files.empty());
  test::TempDir dir;
  test::WriteFileBytes(dir / "tags.py", R"(
import sys
from html.parser import HTMLParser
class P(HTMLParser):
    def at(self):
        line, col = self.getpos()
        return line, len(self.lines[line - 1][:col].encode('utf-8'))
    def handle_starttag(self, tag, attrs):
        if not self.cdata_elem or tag in ('script', 'style'):
            print('S %d %d %s' % (*self.at(), tag))
    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
    def handle_endtag(self, tag):
        print('E %d %d %s' % (*self.at(), tag))
    def handle_comment(self, data):
        print('C %d %d -' % self.at())
for name in sys.argv[1:]:
    print('F ' + name)
    text = open(name, encoding='utf-8').read()
    p = P(convert_charrefs=False)
    p.lines = text.split('\n')
    p.feed(text)
    p.close()
)");
  std::string args;
  for (size_t i = 0; i < files.size(); i += 7) args += " '" + files[i].string() + "'";
  const std::string out = test::RunTool("python3 " + (dir / "tags.py").string() + args);
  ASSERT_FALSE(out.empty());

  std::istringstream in(out);
  std::string text;
  std::vector<std::string_view> lines;
  std::vector<std::vector<test::TScannedToken>> tokens;
  size_t checked = 0;
  for (std::string kind; in >> kind;) {
    std::string rest;
    std::getline(in, rest);
    if (kind == "F") {
      text = test::ReadFileBytes(rest.substr(1));
      lines = test::SplitLines(text);
      tokens.assign(lines.size(), {});
      TRidHTMLRid h(nullptr);
      TRidRange range = H::rsText;
      for (size_t k = 0; k < lines.size(); ++k)
        tokens[k] = test::ScanCheckedLine(h, lines[k], range, &range);
      continue;
    }
    std::istringstream fields(rest);
    size_t line = 0;
    int32_t col = 0;
    std::string name;
    fields >> line >> col >> name;
    ASSERT_LT(line - 1, tokens.size());
    const auto& t = tokens[line - 1];
    const auto at = std::find_if(t.begin(), t.end(), [&](const auto& x) { return x.Pos == col; });
    const bool tagged = at != t.end() && at + 1 != t.end();
    std::string ours = tagged ? (at + 1)->Text : "";
    for (char& c : ours) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (kind == "C")
      EXPECT_TRUE(at != t.end() && at->Text == "<!--" && at->Kind == H::tkComment)
          << "comment at line " << line << " col " << col;
    else
      EXPECT_TRUE(tagged && at->Text == "<" && ours == (kind == "E" ? "/" : "") + name)
          << kind << " " << name << " at line " << line << " col " << col;
    if (::testing::Test::HasFailure()) return;
    ++checked;
  }
  EXPECT_GT(checked, 1000u);
}

}  // namespace
}  // namespace rid
