#include "output/RidExportHTML.h"

#include <gtest/gtest.h>

#include <QImage>
#include <map>
#include <string>
#include <vector>

#include "platform/Clipboard.h"
#include "tests/TestSupport.h"
#include "tests/output/ExportSamples.h"
#include "tests/output/FakeHighlighter.h"

namespace rid {
namespace {

using test::TRidFakeRid;

using test::ExportLines;

std::vector<std::string> SampleLines() {
  return {"ab 12", "a<b&\"c\" x>y", Utf8ToSjis("\"表ソ能ボマ ｱｲｳ"), "# \x95<b>", "+\x95", ""};
}

TEST(RidExporterHTML, WritesTheGoldenPageFragmentAndClipboardForm) {
  TRidFakeRid h(nullptr);
  TRidExporterHTML e(nullptr);
  e.SetHighlighter(&h);
  e.SetUseBackground(true);
  e.SetTitle(Utf8ToSjis("ソース<b>&\"x\""));
  test::ExpectGolden("page.html", ExportLines(e, SampleLines()));

  e.SetUseBackground(false);
  e.SetCreateHTMLFragment(true);
  const std::string fragment = ExportLines(e, SampleLines());
  test::ExpectGolden("fragment.html", fragment);
  EXPECT_EQ(fragment.rfind("<pre>", 0), 0u);
  EXPECT_TRUE(fragment.ends_with("</code></pre>\r\n"));

  e.SetCreateHTMLFragment(false);
  e.SetExportAsText(false);
  EXPECT_EQ(e.GetBufferSize(), 0);  // changing the form clears
  const std::string clip = ExportLines(e, SampleLines());
  test::ExpectGolden("clipboard.html", clip);

  // The offsets, sliced: each one points where its name says.
  std::map<std::string, size_t> offsets;
  for (const char* name : {"StartHTML", "EndHTML", "StartFragment", "EndFragment"}) {
    const size_t at = clip.find(std::string(name) + ":");
    ASSERT_NE(at, std::string::npos) << name;
    const std::string digits = clip.substr(at + std::strlen(name) + 1, 10);
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << name;
    EXPECT_EQ(clip.substr(at + std::strlen(name) + 11, 2), "\r\n") << name;
    offsets[name] = std::stoul(digits);
  }
  EXPECT_EQ(clip.rfind("Version:0.9\r\n", 0), 0u);
  EXPECT_EQ(offsets["StartHTML"], 105u);
  EXPECT_EQ(clip.substr(offsets["StartHTML"], 5), "<?xml");
  EXPECT_EQ(clip.substr(offsets["StartFragment"], 20), "<!--StartFragment-->");
  EXPECT_EQ(clip.substr(0, offsets["EndFragment"]).substr(offsets["EndFragment"] - 18),
            "<!--EndFragment-->");
  EXPECT_EQ(offsets["EndHTML"], clip.size());
}

// The golden files hold the escapes of token text; these are the header's.
TEST(RidExporterHTML, EscapesTitleAndFontNameAndMakesValidClassNames) {
  TRidPlainTextHighlighter plain(nullptr);
  TRidExporterHTML e(nullptr);
  e.SetHighlighter(&plain);
  e.SetTitle("a<b>&\"c\"");
  e.GetFont()->SetName("X<\"y\">");
  const std::string page = ExportLines(e, {"x"});
  EXPECT_NE(page.find("<title>a&lt;b&gt;&amp;&quot;c&quot;</title>"), std::string::npos);
  EXPECT_NE(page.find("font: 10pt X&lt;&quot;y&quot;&gt;;"), std::string::npos);

  const std::map<std::string, std::string> names = {
      {"Perl1.Reserved Word", "perl1-reservedword"},
      {"A_b.C-d 9!", "a-b-c-d9"},
      // A double-byte character goes whole, its trail byte "A" too.
      {Utf8ToSjis("xアy"), "xy"},
      {Utf8ToSjis("表Z"), "z"},
  };
  for (const auto& [name, valid] : names) EXPECT_EQ(MakeValidName(name), valid) << name;
}

TEST(RidExporterHTML, GivesThePageToTheClipboardInUtf8) {
  TRidPlainTextHighlighter plain(nullptr);
  TRidExporterHTML e(nullptr);
  e.SetHighlighter(&plain);
  e.SetTitle("charset=Shift_JIS");
  const std::string page = HtmlPageToUtf8(ExportLines(e, {Utf8ToSjis("日本 Shift_JIS")}));
  EXPECT_EQ(page.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u);
  EXPECT_NE(page.find("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"),
            std::string::npos);
  EXPECT_NE(page.find("<title>charset=Shift_JIS</title>"), std::string::npos);
  EXPECT_NE(page.find("日本 Shift_JIS"), std::string::npos);
  EXPECT_EQ(e.GetFormatName(), "HTML");
  EXPECT_EQ(e.GetDefaultFilter(), "HTML Documents (*.htm;*.html)|*.htm;*.html");
  EXPECT_EQ(ClipboardFormatMimeType(e.GetClipboardFormat()), "text/html");
}

// --- Real readers: xmllint and Chromium.

struct TOraclePage {
  test::TempDir Dir;
  std::filesystem::path File;
  std::vector<std::string> Lines = test::OraclePerlLines();
  std::string Title = Utf8ToSjis("ソース<b>&\"表}\"");
};

// The oracle script exported with the coloured Perl highlighter, in UTF-8.
void WriteOraclePage(TOraclePage& Page, TRidPerlRid& Perl, int32_t FontSize) {
  TRidExporterHTML e(nullptr);
  e.SetHighlighter(&Perl);
  e.SetUseBackground(true);
  e.SetTitle(Page.Title);
  e.GetFont()->SetSize(FontSize);
  Page.File = Page.Dir / "script.html";
  test::WriteFileBytes(Page.File, HtmlPageToUtf8(ExportLines(e, Page.Lines)));
}

TEST(RidExporterHTML, XmllintReadsAValidPageWhoseOnlyElementsAreOurs) {
  RID_NEED_TOOL("xmllint", "libxml2-utils");
  TRidPerlRid perl(nullptr);
  test::ColourPerl(perl);
  TOraclePage page;
  WriteOraclePage(page, perl, 10);
  const std::string file = "'" + page.File.string() + "'";
  int rc = -1;
  EXPECT_EQ(test::RunTool("xmllint --html --noout " + file + " 2>&1", {}, &rc), "");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(test::RunTool("xmllint --html --xpath 'string(/html/head/title)' " + file),
            SjisToUtf8(page.Title) + "\n");
  EXPECT_EQ(test::RunTool("xmllint --html --xpath '//*[not(self::html or self::head or "
                          "self::title or self::meta or self::style or self::body or "
                          "self::pre or self::code or self::span)]' " +
                          file + " 2>&1"),
            "XPath set is empty\n");
  // The text of the code element is the script, line for line, and the line break before
  // the code element's end; xmllint ends its answer with a line feed.
  std::string text;
  for (const std::string& l : page.Lines) text += SjisToUtf8(l) + "\r\n";
  EXPECT_EQ(test::RunTool("xmllint --html --xpath 'string(//code)' " + file), text + "\r\n\n");
}

TEST(RidExporterHTML, ControlBytesBecomeTheirPicturesWhichXmllintReads) {
  RID_NEED_TOOL("xmllint", "libxml2-utils");
  const std::vector<std::string> lines = test::ControlByteLines();
  TRidPerlRid perl(nullptr);
  TRidPlainTextHighlighter plain(nullptr);
  for (TRidCustomHighlighter* h : std::initializer_list<TRidCustomHighlighter*>{&perl, &plain}) {
    SCOPED_TRACE(h->ClassName());
    TRidExporterHTML e(nullptr);
    e.SetHighlighter(h);
    e.SetTitle("t\x01\x7F");
    const std::string page = ExportLines(e, lines);
    EXPECT_EQ(test::RawControlBytes(page), "");
    test::TempDir dir;
    const std::string file = (dir / "page.html").string();
    test::WriteFileBytes(file, HtmlPageToUtf8(page));
    int rc = -1;
    EXPECT_EQ(test::RunTool("xmllint --html --noout '" + file + "' 2>&1", {}, &rc), "");
    EXPECT_EQ(rc, 0);
    // Each control byte reads back as its picture, the rest as it was.
    std::string text;
    for (const std::string& l : lines) {
      for (char c : SjisToUtf8(l)) {
        const auto b = static_cast<uint8_t>(c);
        if (!IsControlByte(b))
          text += c;
        else if (b == 0x7F)
          text += "\u2421";
        else
          text += {'\xE2', '\x90', static_cast<char>(0x80 + b)};  // U+2400 + b
      }
      text += "\r\n";
    }
    EXPECT_EQ(test::RunTool("xmllint --html --xpath 'string(//code)' '" + file + "'"),
              text + "\r\n\n");
    EXPECT_EQ(test::RunTool("xmllint --html --xpath 'string(//title)' '" + file + "'"),
              "t\u2401\u2421\n");
  }
}

TEST(RidExporterHTML, ChromiumShowsEachTokenInItsAttributeColour) {
  RID_NEED_TOOL("chromium-headless-shell", "chromium-headless-shell");
  TRidPerlRid perl(nullptr);
  test::ColourPerl(perl);
  // Lines that each start with a token of a known colour, then a second one further right.
  TOraclePage page;
  page.Lines = {"# comment", "print $ARGV;", "\"string\" if $ENV;", "my $ARG = 1;",
                Utf8ToSjis("# 表ソ能ボマ <b>")};
  WriteOraclePage(page, perl, 24);
  const auto shot = test::ArtifactDir() / "export-chromium.png";
  std::filesystem::remove(shot);
  int rc = -1;
  test::RunTool(
      "chromium-headless-shell --no-sandbox --disable-gpu --hide-scrollbars "
      "--force-device-scale-factor=1 --window-size=800,600 --user-data-dir='" +
          (page.Dir / "profile").string() + "' --screenshot='" + shot.string() + "' 'file://" +
          page.File.string() + "' >/dev/null 2>&1",
      {}, &rc);
  ASSERT_EQ(rc, 0);
  QImage image(QString::fromStdString(shot.string()));
  ASSERT_FALSE(image.isNull()) << shot;
  image = image.convertToFormat(QImage::Format_RGB32);

  // Rows of ink, one band per text line; per band the x extent of each colour.
  const QRgb paper = image.pixel(image.width() - 1, image.height() - 1);
  std::vector<std::pair<int, int>> bands;
  for (int y = 0; y < image.height(); ++y) {
    bool ink = false;
    for (int x = 0; x < image.width() && !ink; ++x) ink = image.pixel(x, y) != paper;
    if (ink && (bands.empty() || bands.back().second != y - 1))
      bands.push_back({y, y});
    else if (ink)
      bands.back().second = y;
  }
  ASSERT_EQ(bands.size(), page.Lines.size());
  const auto extent = [&](int Band, TColor C) {
    const QRgb want = qRgb(GetRValue(C), GetGValue(C), GetBValue(C));
    int left = image.width(), right = -1;
    for (int y = bands[Band].first; y <= bands[Band].second; ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) == want) left = std::min(left, x), right = std::max(right, x);
    EXPECT_GE(right, 0) << "no pixel of " << std::hex << C << " on line " << Band + 1;
    return std::pair{left, right};
  };
  const TColor comment = perl.GetCommentAttri()->GetForeground();
  const TColor key = perl.GetKeyAttri()->GetForeground();
  const TColor string = perl.GetStringAttri()->GetForeground();
  const TColor stringBack = perl.GetStringAttri()->GetBackground();
  const TColor variable = perl.GetVariableAttri()->GetForeground();
  // Line 1 is all comment; line 2 a keyword left of a variable; line 3 a string (on its
  // background) left of a keyword left of a variable; line 4 keyword, variable.
  EXPECT_LT(extent(0, comment).first, extent(0, comment).second);
  EXPECT_LT(extent(1, key).second, extent(1, variable).first);
  EXPECT_LT(extent(2, string).second, extent(2, key).first);
  EXPECT_LT(extent(2, stringBack).first, extent(2, key).first);
  EXPECT_LT(extent(2, key).second, extent(2, variable).first);
  EXPECT_LT(extent(3, key).second, extent(3, variable).first);
  // The Japanese comment is drawn in the comment colour over its whole width.
  EXPECT_GT(extent(4, comment).second - extent(4, comment).first,
            extent(0, comment).second - extent(0, comment).first);
}

}  // namespace
}  // namespace rid
