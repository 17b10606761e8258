#include "highlighters/RidHighlighterXML.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using X = TRidXMLRid;
using test::TTokenCase;

test::THighlighterFactory XmlFactory() {
  return [] { return std::make_unique<TRidXMLRid>(nullptr); };
}

// 表示 as Shift-JIS; ゾ ends in "]", マ in "}".
const std::string kHyouji = "\x95\x5C\x8E\xA6", kZo = "\x83\x5D", kMa = "\x83\x7D";

const TTokenCase kCases[] = {
    // An empty element: no empty attribute-name token before the slash
    {X::rsText,
     "<a/>",
     {{"<", X::tkSymbol}, {"a", X::tkElement}, {"/", X::tkSymbol}, {">", X::tkSymbol}},
     X::rsText},
    {X::rsText,
     "</" + kHyouji + ">",
     {{"</", X::tkSymbol}, {kHyouji, X::tkElement}, {">", X::tkSymbol}},
     X::rsText},
    // Values with entity references; the closing quote is a symbol of its own
    {X::rsText,
     "<a b=\"x&amp;y\">",
     {{"<", X::tkSymbol},
      {"a", X::tkElement},
      {" ", X::tkSpace},
      {"b", X::tkAttribute},
      {"=\"", X::tkEqual},
      {"x", X::tkQuoteAttrValue},
      {"&amp;", X::tkQuoteEntityRef},
      {"y", X::tkQuoteAttrValue},
      {"\"", X::tkSymbol},
      {">", X::tkSymbol}},
     X::rsText},
    {X::rsAttribute,
     "c='&lt;' d=\"\"",
     {{"c", X::tkAttribute},
      {"='", X::tkEqual},
      {"&lt;", X::tkAposEntityRef},
      {"'", X::tkSymbol},
      {" ", X::tkSpace},
      {"d", X::tkAttribute},
      {"=\"", X::tkEqual},
      {"\"", X::tkSymbol}},
     X::rsAttribute},
    // "xmlns" anywhere in the name, in lower case, makes a namespace attribute
    {X::rsAttribute,
     "xmlns:p='u&x;' p:xmlnsx=\"v\" XMLNS=\"w",
     {{"xmlns:p", X::tknsAttribute},
      {"='", X::tknsEqual},
      {"u", X::tknsAposAttrValue},
      {"&x;", X::tknsAposEntityRef},
      {"'", X::tkSymbol},
      {" ", X::tkSpace},
      {"p:xmlnsx", X::tknsAttribute},
      {"=\"", X::tknsEqual},
      {"v", X::tknsQuoteAttrValue},
      {"\"", X::tkSymbol},
      {" ", X::tkSpace},
      {"XMLNS", X::tkAttribute},
      {"=\"", X::tkEqual},
      {"w", X::tkQuoteAttrValue}},
     X::rsQuoteAttrValue},
    {X::rsnsQuoteAttrValue, "&e", {{"&e", X::tknsQuoteEntityRef}}, X::rsnsQuoteAttrValue},
    // An unquoted value is part of the text after the name
    {X::rsAttribute, "b=c d>", {{"b", X::tkAttribute}, {"=c d>", X::tkEqual}}, X::rsEqual},
    {X::rsAttribute, "\"x", {{"\"", X::tkSymbol}, {"x", X::tkAttribute}}, X::rsEqual},
    // Comments: the marker is a symbol; the middle of a long comment stays in its range
    {X::rsText, "<!-- a", {{"<!--", X::tkSymbol}, {" a", X::tkComment}}, X::rsComment},
    {X::rsComment, kMa + " -- b", {{kMa + " -- b", X::tkComment}}, X::rsComment},
    {X::rsComment,
     "c -->d",
     {{"c ", X::tkComment}, {"-->", X::tkSymbol}, {"d", X::tkText}},
     X::rsText},
    // DOCTYPE with an internal subset over lines; only the upper-case marker counts
    {X::rsText,
     "<!DOCTYPE r [",
     {{"<!DOCTYPE", X::tkDocType}, {" r [", X::tkDocType}},
     X::rsDocTypeSquareBraces},
    {X::rsDocTypeSquareBraces,
     "<!ENTITY e \"" + kZo + "\">",
     {{"<!ENTITY e \"" + kZo + "\">", X::tkDocType}},
     X::rsDocTypeSquareBraces},
    {X::rsDocTypeSquareBraces,
     "]>x",
     {{"]", X::tkDocType}, {">", X::tkDocType}, {"x", X::tkText}},
     X::rsText},
    {X::rsText,
     "<!DOCTYPE r [" + kZo + "]>",
     {{"<!DOCTYPE", X::tkDocType}, {" r [" + kZo + "]", X::tkDocType}, {">", X::tkDocType}},
     X::rsText},
    {X::rsText,
     "<!doctype r>",
     {{"<!", X::tkSymbol},
      {"doctype", X::tkElement},
      {" ", X::tkSpace},
      {"r", X::tkAttribute},
      {">", X::tkSymbol}},
     X::rsText},
    // CDATA and processing instructions end at ">" after "]" or "?", never after a trail byte
    {X::rsText,
     "<![CDATA[" + kZo + ">]]>x",
     {{"<![CDATA[", X::tkCDATA}, {kZo + ">]]>", X::tkCDATA}, {"x", X::tkText}},
     X::rsText},
    {X::rsText, "<![CDATA[a]>", {{"<![CDATA[", X::tkCDATA}, {"a]>", X::tkCDATA}}, X::rsText},
    {X::rsCDATA, "]>", {{"]>", X::tkCDATA}}, X::rsText},
    {X::rsCDATA, ">]", {{">]", X::tkCDATA}}, X::rsCDATA},
    {X::rsProcessingInstruction,
     ">x",
     {{">x", X::tkProcessingInstruction}},
     X::rsProcessingInstruction},
    {X::rsText,
     "<?>",
     {{"<?", X::tkProcessingInstruction}, {">", X::tkProcessingInstruction}},
     X::rsText},
    {X::rsText,
     "<?xml v=\"1\"?>",
     {{"<?", X::tkProcessingInstruction}, {"xml v=\"1\"?>", X::tkProcessingInstruction}},
     X::rsText},
    // Text: ">" and blanks are text, a TAB is space; "&" starts an entity without an empty token
    {X::rsText,
     "a > b\tc",
     {{"a > b", X::tkText}, {"\t", X::tkSpace}, {"c", X::tkText}},
     X::rsText},
    {X::rsText,
     "&lt;a&b",
     {{"&lt;", X::tkEntityRef}, {"a", X::tkText}, {"&b", X::tkEntityRef}},
     X::rsText},
    {X::rsText, " \t\t ", {{" ", X::tkText}, {"\t", X::tkSpace}, {"\t ", X::tkSpace}}, X::rsText},
    // A tag closes wherever the range leaves ">" to the scan table
    {X::rsQuoteAttrValue, ">x", {{">", X::tkSymbol}, {"x", X::tkText}}, X::rsText},
    // Ranges of no meaning scan as text
    {25, "a&b", {{"a", X::tkText}, {"&b", X::tkEntityRef}}, X::rsText},
    {200, " <a", {{" ", X::tkSpace}, {"<", X::tkSymbol}, {"a", X::tkElement}}, X::rsAttribute},
};

TEST(XmlHighlighter, ScansTheListedCases) { test::CheckTokenCases(XmlFactory(), kCases); }

TEST(XmlHighlighter, AttributesAndLanguageData) {
  TRidXMLRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 13);
  EXPECT_EQ(h.GetElementAttri()->GetForeground(), TColor(0x000080));
  EXPECT_EQ(h.GetElementAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetNamespaceAttributeValueAttri()->GetForeground(), TColor(0x0000FF));
  EXPECT_EQ(h.GetAttributeValueAttri()->GetForeground(), TColor(0x800000));
  EXPECT_EQ(h.GetCDATAAttri()->GetForeground(), TColor(0x008080));
  EXPECT_EQ(h.GetCommentAttri()->GetBackground(), TColor(0xC0C0C0));
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), (TFontStyles{fsBold, fsItalic}));
  EXPECT_EQ(h.GetDocTypeAttri()->GetName(), "DOCTYPE Section");
  EXPECT_EQ(h.GetSpaceAttri()->GetForeground(), clNone);
  EXPECT_EQ(h.GetDefaultAttribute(1), h.GetAttributeAttri());
  EXPECT_EQ(h.GetDefaultAttribute(3), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "XML");
  EXPECT_EQ(h.GetDefaultFilter(),
            "XML Files (*.xml;*.xsd;*.xsl;*.xslt;*.dtd)|*.xml;*.xsd;*.xsl;*.xslt;*.dtd");
  EXPECT_EQ(h.GetRange(), X::rsText);
  EXPECT_FALSE(h.GetWantBracesParsed());
  h.SetWantBracesParsed(true);
  EXPECT_TRUE(h.GetWantBracesParsed());
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {X::tkAposAttrValue, h.GetAttributeValueAttri()},
      {X::tkAposEntityRef, h.GetEntityRefAttri()},
      {X::tkAttribute, h.GetAttributeAttri()},
      {X::tkCDATA, h.GetCDATAAttri()},
      {X::tkComment, h.GetCommentAttri()},
      {X::tkElement, h.GetElementAttri()},
      {X::tkEntityRef, h.GetEntityRefAttri()},
      {X::tkEqual, h.GetSymbolAttri()},
      {X::tkProcessingInstruction, h.GetProcessingInstructionAttri()},
      {X::tkQuoteAttrValue, h.GetAttributeValueAttri()},
      {X::tkQuoteEntityRef, h.GetEntityRefAttri()},
      {X::tkSpace, h.GetSpaceAttri()},
      {X::tkSymbol, h.GetSymbolAttri()},
      {X::tkText, h.GetTextAttri()},
      {X::tknsAposAttrValue, h.GetNamespaceAttributeValueAttri()},
      {X::tknsAposEntityRef, h.GetEntityRefAttri()},
      {X::tknsAttribute, h.GetNamespaceAttributeAttri()},
      {X::tknsEqual, h.GetSymbolAttri()},
      {X::tknsQuoteAttrValue, h.GetNamespaceAttributeValueAttri()},
      {X::tknsQuoteEntityRef, h.GetEntityRefAttri()},
      {X::tkDocType, h.GetDocTypeAttri()}};
  test::CheckAttributesByKind(
      h,
      h.GetSampleSource() +
          "\r\n<a b='&c;d' c=\"v\" xmlns='&e;f' xmlns:g=\"&h;i\">&amp;</a><!-- x -->",
      byKind);
}

const std::vector<TRidRange> kAllRanges = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                           11, 12, 13, 14, 15, 16, 17, 18, 19, 200};

TEST(XmlHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(XmlFactory(), test::RandomByteLines(59, 400, 80), kAllRanges);
}

TEST(XmlHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {
      "<",  ">",  "/", "=", "\"",        "'",         "&",  ";",       "<!--", "-->", "<?",
      "?>", "]>", "[", "]", "<!DOCTYPE", "<![CDATA[", "\t", "xmlns:a", "a",    "\r",  "\n"};
  test::CheckConformance(XmlFactory(), test::ShiftJisLines(61, 400, 24, pieces), kAllRanges);
}

const std::string kFixture = std::string(RID_TEST_DATA) + "/highlighters/japanese.xml";

TEST(XmlHighlighter, InstalledDocumentsScanCleanly) {
  auto files = test::InstalledFiles({"/usr/share"}, {".xml"}, "shared-mime-info");
  files.push_back(kFixture);
  test::CheckInstalledFiles(XmlFactory(), files);
}

// The Shift-JIS fixture is a well-formed document.
TEST(XmlHighlighter, TheFixtureIsWellFormed) {
  RID_NEED_TOOL("xmllint", "libxml2-utils");
  int code = -1;
  const std::string out = test::RunTool("xmllint --noout '" + kFixture + "' 2>&1", {}, &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_EQ(out, "");
}

// Python's expat finds start tags, comments, CDATA sections, processing instructions and
// DOCTYPE declarations where our tokens for them start (what stands inside a DOCTYPE's internal
// subset is part of the DOCTYPE to us). Each document is read as Shift-JIS, as
// the editor holds it (UTF-8 files converted, with "?" for what code page 932 lacks).
TEST(XmlHighlighter, ConstructsStartWhereExpatFindsThem) {
  RID_NEED_TOOL("python3", "python3");
  auto files = test::InstalledFiles({"/usr/share/mime", "/usr/share/glib-2.0"}, {".xml"},
                                    "shared-mime-info");
  files.push_back(kFixture);
  test::TempDir dir;
  test::WriteFileBytes(dir / "starts.py", R"(
import sys, os, re, bisect
import xml.parsers.expat as expat
out_dir = sys.argv[1]
for n, name in enumerate(sys.argv[2:]):
    raw = open(name, 'rb').read()
    try:
        text = raw.decode('cp932' if name.endswith('japanese.xml') else 'utf-8')
    except UnicodeDecodeError:
        continue
    utf8 = text.encode('utf-8')
    events = []
    p = expat.ParserCreate()
    def at(kind):
        events.append((p.CurrentByteIndex, kind))
    p.StartElementHandler = lambda *a: at('<')
    p.CommentHandler = lambda *a: at('<!--')
    p.StartCdataSectionHandler = lambda *a: at('<![CDATA[')
    p.ProcessingInstructionHandler = lambda *a: at('<?')
    # expat reports a DOCTYPE where its internal subset opens: go back to its start.
    doctypes = []
    def doctype(*a):
        doctypes.append(utf8.rfind(b'<!DOCTYPE', 0, p.CurrentByteIndex + 1))
        events.append((doctypes[-1], '<!DOCTYPE'))
    p.StartDoctypeDeclHandler = doctype
    subsets = []  # the internal subsets: one DOCTYPE token to us
    p.EndDoctypeDeclHandler = lambda: subsets.append((doctypes[-1], p.CurrentByteIndex))
    try:
        p.Parse(text, True)
    except expat.ExpatError:
        continue
    events = [e for e in events
              if e[1] == '<!DOCTYPE' or not any(a < e[0] < b for a, b in subsets)]
    sjis = text.encode('cp932', errors='replace')
    path = os.path.join(out_dir, '%d.xml' % n)
    open(path, 'wb').write(sjis)
    starts = [0] + [m.end() for m in re.finditer(rb'\r\n|\r|\n', sjis)]
    print('F ' + path)
    done, offset = 0, 0
    for index, kind in events:
        offset += len(utf8[done:index].decode('utf-8').encode('cp932', errors='replace'))
        done = index
        line = bisect.bisect_right(starts, offset) - 1
        print('E %d %d %s' % (line, offset - starts[line], kind))
)");
  std::string args;
  for (const auto& f : files) args += " '" + f.string() + "'";
  const std::string out =
      test::RunTool("python3 " + (dir / "starts.py").string() + " " + dir.Path().string() + args);
  std::istringstream in(out);
  std::vector<std::vector<test::TScannedToken>> tokens;
  std::string fileName;
  size_t checked = 0, files_read = 0;
  for (std::string kind; in >> kind;) {
    if (kind == "F") {
      in >> fileName;
      const std::string text = test::ReadFileBytes(fileName);
      const auto lines = test::SplitLines(text);
      tokens.assign(lines.size(), {});
      TRidXMLRid h(nullptr);
      TRidRange range = X::rsText;
      for (size_t k = 0; k < lines.size(); ++k)
        tokens[k] = test::ScanCheckedLine(h, lines[k], range, &range);
      ++files_read;
      continue;
    }
    size_t line = 0;
    int32_t col = 0;
    std::string what;
    in >> line >> col >> what;
    ASSERT_LT(line, tokens.size()) << fileName;
    const auto& t = tokens[line];
    const auto hit = std::find_if(t.begin(), t.end(), [&](const auto& x) { return x.Pos == col; });
    // "<" stands alone before an element name; the other openers are tokens of their own.
    const bool ok = hit != t.end() && hit->Text == what;
    EXPECT_TRUE(ok) << what << " at line " << line + 1 << " col " << col << " of " << fileName;
    if (::testing::Test::HasFailure()) return;
    ++checked;
  }
  EXPECT_GT(files_read, 500u);
  EXPECT_GT(checked, 20000u);
}

}  // namespace
}  // namespace rid
