#include "output/RidExportRTF.h"

#include <gtest/gtest.h>

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

// The document bytes after the header, which ends with the font size.
std::string Body(const std::string& Document) {
  const size_t at = Document.find("\\fs20 ");
  return at == std::string::npos ? "" : Document.substr(at + 6);
}

TEST(RidExporterRTF, WritesTheGoldenDocuments) {
  TRidFakeRid h(nullptr);
  {
    // Default font; two colours, numbered in the order they are first used.
    TRidExporterRTF e(nullptr);
    e.SetHighlighter(&h);
    test::ExpectGolden("two-colours.rtf", ExportLines(e, {"ab+cd", "12", "xy"}));
  }
  {
    // A Japanese font, backgrounds, a title that needs escapes, and the bytes the format
    // reserves, inside double-byte characters and out.
    TRidExporterRTF e(nullptr);
    e.SetHighlighter(&h);
    e.SetUseBackground(true);
    TFont f;
    f.SetName(Utf8ToSjis("ＭＳ ゴシック"));
    f.SetSize(12);
    e.SetFont(&f);
    e.SetTitle(Utf8ToSjis("表}{\\"));
    test::ExpectGolden("japanese.rtf",
                       ExportLines(e, {"ab 12", Utf8ToSjis("\"表ソ能ボマ{}\\"),
                                       "# \x82\xa0 \xb1\xb2", "+\x95", "\x95<b>", "1"}));
  }
}

TEST(RidExporterRTF, EscapesTextFontNameAndTitle) {
  TRidPlainTextHighlighter plain(nullptr);
  struct TCase {
    std::string Line;
    TColor FontColor;
    std::string Body;
  };
  // The golden documents hold the other escapes.
  const TCase cases[] = {
      {"a\x95", clWindowText, "\\cf0 a\\'95{}\\par\r\n}"},
      // No control word before the first token: the header's blank keeps its digits.
      {"12 x", clBlack, "12 x\\par\r\n}"},
      {" x", clBlack, " x\\par\r\n}"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(test::Printable(c.Line));
    TRidExporterRTF e(nullptr);
    e.SetHighlighter(&plain);
    e.GetFont()->SetColor(c.FontColor);
    EXPECT_EQ(test::Printable(Body(ExportLines(e, {c.Line}))), test::Printable(c.Body));
  }

  const std::map<std::string, std::string> fontTables = {
      {"Courier New", "{\\fonttbl{\\f0\\fmodern courier new;}}"},
      {Utf8ToSjis("ＭＳ ゴシック"),
       "{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset128 "
       "\\'82\\'6c\\'82\\'72 \\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}}"},
      {Utf8ToSjis("IPAゴシック"),
       "{\\fonttbl{\\f0\\fmodern ipa\\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}}"},
      {"A{b}\\", "{\\fonttbl{\\f0\\fmodern a\\{b\\}\\\\;}}"},
  };
  for (const auto& [name, table] : fontTables) {
    TRidExporterRTF e(nullptr);
    e.SetHighlighter(&plain);
    e.GetFont()->SetName(name);
    EXPECT_NE(ExportLines(e, {"x"}).find(table + "\r\n"), std::string::npos) << table;
  }

  const std::map<std::string, std::string> titles = {
      {Utf8ToSjis("表}"), "{\\title \\'95\\'5c\\}}}\r\n"},
      {"a{\\", "{\\title a\\{\\\\}}\r\n"},
  };
  for (const auto& [title, group] : titles) {
    TRidExporterRTF e(nullptr);
    e.SetHighlighter(&plain);
    e.SetTitle(title);
    EXPECT_NE(ExportLines(e, {"x"}).find(group), std::string::npos) << group;
  }
}

TEST(RidExporterRTF, NamesItsFormat) {
  TRidExporterRTF e(nullptr);
  EXPECT_EQ(e.GetFormatName(), "RTF");
  EXPECT_EQ(e.GetDefaultFilter(), "Rich Text Format Documents (*.rtf)|*.rtf");
  EXPECT_EQ(ClipboardFormatMimeType(e.GetClipboardFormat()), "text/rtf");
}

// --- LibreOffice reads our documents back.

// Converts File with LibreOffice into Format in the same folder; returns the new file's bytes.
std::string Convert(const std::filesystem::path& File, const std::string& Format,
                    const std::string& Extension) {
  const auto dir = File.parent_path();
  int rc = -1;
  test::RunTool("soffice -env:UserInstallation=file://" + (dir / "profile").string() +
                    " --headless --convert-to " + Format + " --outdir '" + dir.string() + "' '" +
                    File.string() + "' >/dev/null 2>&1",
                {}, &rc);
  EXPECT_EQ(rc, 0) << "soffice --convert-to " << Format;
  auto out = File;
  out.replace_extension(Extension);
  return test::ReadFileBytes(out);
}

std::vector<std::string> SplitLines(std::string Text) {
  if (Text.rfind("\xef\xbb\xbf", 0) == 0) Text.erase(0, 3);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = Text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(Text.substr(start, nl - start));
  if (start < Text.size()) lines.push_back(Text.substr(start));
  return lines;
}

// The characters of each paragraph of LibreOffice's HTML with the colour of the innermost
// font element that names one ("" for none).
struct TColouredChar {
  std::string Char;  // UTF-8
  std::string Colour;
  bool Soft;  // a source line break of the HTML
};
std::vector<std::vector<TColouredChar>> ParagraphColours(const std::string& Html) {
  std::vector<std::vector<TColouredChar>> paragraphs;
  std::vector<std::string> fonts;
  const auto colour = [&] {
    for (auto it = fonts.rbegin(); it != fonts.rend(); ++it)
      if (!it->empty()) return *it;
    return std::string();
  };
  const std::map<std::string, std::string> entities = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&quot;", "\""}, {"&nbsp;", " "}};
  bool inParagraph = false;
  size_t i = Html.find("<body");
  while (i < Html.size()) {
    if (Html[i] == '<') {
      const size_t end = Html.find('>', i);
      const std::string tag = Html.substr(i, end - i + 1);
      if (tag.rfind("<p", 0) == 0 && (tag[2] == ' ' || tag[2] == '>')) {
        paragraphs.emplace_back();
        inParagraph = true;
      }
      if (tag == "</p>") {
        while (!paragraphs.back().empty() && paragraphs.back().back().Soft)
          paragraphs.back().pop_back();
        inParagraph = false;
      }
      if (tag.rfind("<font", 0) == 0) {
        const size_t c = tag.find("color=\"");
        fonts.push_back(c == std::string::npos ? "" : tag.substr(c + 7, 7));
      }
      if (tag == "</font>" && !fonts.empty()) fonts.pop_back();
      i = end + 1;
      continue;
    }
    std::string ch;
    if (Html[i] == '&') {
      const size_t end = Html.find(';', i);
      const std::string entity = Html.substr(i, end - i + 1);
      ch = entities.count(entity) ? entities.at(entity) : entity;
      i = end + 1;
    } else {
      const auto b = static_cast<uint8_t>(Html[i]);
      const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      ch = Html.substr(i, n);
      i += n;
    }
    // LibreOffice breaks its source lines at blanks and around paragraphs.
    const bool soft = ch == "\n";
    if (soft) ch = " ";
    if (inParagraph && !(soft && paragraphs.back().empty()))
      paragraphs.back().push_back({ch, colour(), soft});
  }
  return paragraphs;
}

TEST(RidExporterRTF, LibreOfficeReadsBackTheTextAndTheColours) {
  RID_NEED_TOOL("soffice", "libreoffice-writer");
  TRidPerlRid perl(nullptr);
  test::ColourPerl(perl);
  const std::vector<std::string> lines = test::OraclePerlLines();
  TRidExporterRTF e(nullptr);
  e.SetHighlighter(&perl);
  test::TempDir dir;
  const auto file = dir / "script.rtf";
  ExportLines(e, lines);
  e.SaveToFile(file.string());

  const std::vector<std::string> text = SplitLines(Convert(file, "txt:Text", ".txt"));
  ASSERT_EQ(text.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(text[i], test::ReadAsCp932(lines[i])) << "line " << i + 1;

  const std::string html = Convert(file, "html", ".html");
  test::WriteFileBytes(test::ArtifactDir() / "export-libreoffice.html", html);
  const auto paragraphs = ParagraphColours(html);
  ASSERT_EQ(paragraphs.size(), lines.size());
  int checked = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i + 1));
    const std::vector<TColouredChar>& shown = paragraphs[i];
    std::string shownText;
    for (const auto& c : shown) shownText += c.Char;
    // Blanks may come back as no-break spaces; the colours are what this looks at.
    if (shownText != test::ReadAsCp932(lines[i])) {
      ADD_FAILURE() << "[" << shownText << "]\n[" << test::ReadAsCp932(lines[i]) << "]";
      continue;
    }
    size_t ch = 0;  // character index of the token
    perl.SetLine(lines[i], 0);
    for (; !perl.GetEol(); perl.Next()) {
      const std::string_view token = perl.GetTokenView();
      size_t count = 0;
      for (size_t b = 0; b < token.size(); ++count)
        b += IsDBCSLeadByte(token[b]) && b + 1 < token.size() &&
                     IsDBCSTrailByte(static_cast<uint8_t>(token[b + 1]))
                 ? 2
                 : 1;
      const TColor fg =
          perl.GetTokenAttribute() ? perl.GetTokenAttribute()->GetForeground() : clNone;
      if (fg != clNone && token.find_first_not_of(" \t") != std::string_view::npos) {
        const std::string want =
            FormatStr("#%02x%02x%02x", GetRValue(fg), GetGValue(fg), GetBValue(fg));
        for (size_t k = ch; k < ch + count; ++k) {
          if (shown[k].Char == " " || shown[k].Char == "\t") continue;
          EXPECT_EQ(shown[k].Colour, want) << "token " << test::Printable(token);
          ++checked;
        }
      }
      ch += count;
    }
  }
  EXPECT_GT(checked, 500);  // most lines were compared
}

TEST(RidExporterRTF, ControlBytesAreEscapedAndLibreOfficeReadsTheTextAroundThem) {
  RID_NEED_TOOL("soffice", "libreoffice-writer");
  const std::vector<std::string> lines = test::ControlByteLines();
  TRidPlainTextHighlighter plain(nullptr);  // each line one token, so its escapes stay together
  TRidExporterRTF e(nullptr);
  e.SetHighlighter(&plain);
  e.SetTitle("t\x01");
  const std::string rtf = ExportLines(e, lines);
  EXPECT_EQ(test::RawControlBytes(rtf), "");
  EXPECT_NE(rtf.find("{\\title t\\'01}"), std::string::npos);
  for (const std::string& l : lines) {
    const std::string escape = FormatStr("\\'%02x", static_cast<uint8_t>(l[1]));
    EXPECT_NE(rtf.find("x" + escape + "\\'95\\'5c" + escape + "\\'95{}" + escape + "y"),
              std::string::npos)
        << escape;
  }
  test::TempDir dir;
  const auto file = dir / "controls.rtf";
  test::WriteFileBytes(file, rtf);
  // LibreOffice keeps DEL and leaves the other control characters out of its text.
  const std::vector<std::string> text = SplitLines(Convert(file, "txt:Text", ".txt"));
  ASSERT_EQ(text.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string shown = test::ReadAsCp932(lines[i]);
    std::erase_if(shown,
                  [](char c) { return c != '\x7F' && IsControlByte(static_cast<uint8_t>(c)); });
    EXPECT_EQ(text[i], shown) << "line " << i + 1;
  }
}

}  // namespace
}  // namespace rid
