#include "output/RidExportHTML.h"

#include "editor/RidEderMiscProcs.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"

namespace rid {

namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
constexpr std::string_view kContentType =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">";
constexpr std::string_view kStartFragment = "<!--StartFragment--><pre><code>";
constexpr std::string_view kEndFragment = "</code></pre><!--EndFragment-->";
constexpr std::string_view kPageEnd = "</body>\r\n</html>";
constexpr size_t kOffsetsSize = 105;

// The rule of one attribute, without its line break.
std::string StyleRule(const TRidHighlighterAttributes& Attri, const std::string& UniqueName,
                      bool UseBackground) {
  std::string rule = "." + MakeValidName(UniqueName) + " { ";
  if (UseBackground && Attri.GetBackground() != clNone)
    rule += "background-color: " + ColorToHTML(Attri.GetBackground()) + "; ";
  if (Attri.GetForeground() != clNone)
    rule += "color: " + ColorToHTML(Attri.GetForeground()) + "; ";
  const TFontStyles style = Attri.GetStyle();
  if (style.Contains(fsBold)) rule += "font-weight: bold; ";
  if (style.Contains(fsItalic)) rule += "font-style: italic; ";
  // One declaration: a second text-decoration would replace the first.
  if (style.Contains(fsUnderline) && style.Contains(fsStrikeOut))
    rule += "text-decoration: underline line-through; ";
  else if (style.Contains(fsUnderline))
    rule += "text-decoration: underline; ";
  else if (style.Contains(fsStrikeOut))
    rule += "text-decoration: line-through; ";
  return rule + "}";
}

void ReplaceFirst(std::string& S, std::string_view From, std::string_view To) {
  const size_t at = S.find(From);
  if (at != std::string::npos) S.replace(at, From.size(), To);
}

}  // namespace

std::string ColorToHTML(TColor AColor) {
  const TColor rgb = ColorToRGB(AColor);
  return FormatStr("#%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

std::string MakeValidName(std::string_view Name) {
  std::string out;
  for (size_t i = 0; i < Name.size(); ++i) {
    char c = Name[i];
    if (IsDBCSLeadByte(c) && i + 1 < Name.size() &&
        IsDBCSTrailByte(static_cast<uint8_t>(Name[i + 1]))) {
      ++i;  // the whole character goes
      continue;
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '.' || c == '_') c = '-';
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') out += c;
  }
  return out;
}

std::string HtmlPageToUtf8(std::string_view Page) {
  std::string page = SjisToUtf8(Page);
  // Both declarations come before any text of the document, so the first match is theirs.
  ReplaceFirst(page, kXmlDeclaration, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  ReplaceFirst(page, kContentType,
               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">");
  return page;
}

TRidExporterHTML::TRidExporterHTML(TComponent* AOwner) : TRidCustomExporter(AOwner) {
  FClipboardFormat = RegisterClipboardFormat("HTML Format");
  SetDefaultFilter("HTML Documents (*.htm;*.html)|*.htm;*.html");
  SetReplacement('"', "&quot;");
  SetReplacement('&', "&amp;");
  SetReplacement('<', "&lt;");
  SetReplacement('>', "&gt;");
  // No HTML or XML reader takes a control byte, not even as a reference: each but the tab is
  // shown by its picture (U+2400 + byte, U+2421 for DEL), so nothing is lost or hidden.
  for (int b = 0; b < 0x80; ++b)
    if (IsControlByte(static_cast<uint8_t>(b)))
      SetReplacement(static_cast<char>(b), FormatStr("&#x%X;", b == 0x7F ? 0x2421 : 0x2400 + b));
}

void TRidExporterHTML::Clear() {
  TRidCustomExporter::Clear();
  // The highlighter or its attributes may have changed since the last export.
  FStyleNames.clear();
  FStyleNamesMade = false;
}

void TRidExporterHTML::SetTokenAttribute(TRidHighlighterAttributes* Attri) {
  FLastAttri = Attri;
  TRidCustomExporter::SetTokenAttribute(Attri);
}

const std::string& TRidExporterHTML::GetStyleName(TRidHighlighterAttributes* Attri) {
  if (!FStyleNamesMade) {
    FStyleNamesMade = true;
    EnumHighlighterAttris(GetHighlighter(), false,
                          [this](TRidCustomHighlighter*, TRidHighlighterAttributes* A,
                                 const std::string& UniqueName, std::span<void* const>) {
                            FStyleNames.try_emplace(A, MakeValidName(UniqueName));
                            return true;
                          });
  }
  static const std::string kNone;
  auto it = FStyleNames.find(Attri);
  return it != FStyleNames.end() ? it->second : kNone;
}

void TRidExporterHTML::FormatAttributeInit(bool BackgroundChanged, bool ForegroundChanged,
                                           TFontStyles FontStylesChanged) {
  // A token without attribute has no class: it shows in the page's colours.
  if (!FLastAttri)
    AddData("<span>");
  else
    AddData("<span class=\"" + GetStyleName(FLastAttri) + "\">");
}

void TRidExporterHTML::FormatBeforeFirstAttribute(bool BackgroundChanged, bool ForegroundChanged,
                                                  TFontStyles FontStylesChanged) {
  FormatAttributeInit(BackgroundChanged, ForegroundChanged, FontStylesChanged);
}

void TRidExporterHTML::FormatAttributeDone(bool BackgroundChanged, bool ForegroundChanged,
                                           TFontStyles FontStylesChanged) {
  AddData("</span>");
}

void TRidExporterHTML::FormatAfterLastAttribute() { AddData("</span>"); }

std::string TRidExporterHTML::StyleSheet() {
  std::string sheet;
  EnumHighlighterAttris(GetHighlighter(), true,
                        [&](TRidCustomHighlighter*, TRidHighlighterAttributes* A,
                            const std::string& UniqueName, std::span<void* const>) {
                          sheet += StyleRule(*A, UniqueName, GetUseBackground());
                          sheet += "\r\n";
                          return true;
                        });
  return sheet;
}

std::string TRidExporterHTML::PageHeader() {
  std::string h;
  h += kXmlDeclaration;
  h += "\r\n<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
       "\"http://www.w3.org/TR/html4/strict.dtd\">\r\n"
       "<html lang=\"ja\">\r\n"
       "<head>\r\n"
       "<title>";
  h += ReplaceReservedChars(GetTitle());
  h += "</title>\r\n";
  h += kContentType;
  h += "\r\n<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">\r\n"
       "<meta name=\"generator\" content=\"V9/IDE::2008 HTML exporter\">\r\n"
       "<style type=\"text/css\">\r\n";
  h += "body { color: " + ColorToHTML(GetFont()->GetColor()) +
       "; background-color: " + ColorToHTML(GetColor()) + "; }\r\n";
  h += StyleSheet();
  h += "</style>\r\n</head>\r\n<body>\r\n";
  return h;
}

std::string TRidExporterHTML::GetHeader() {
  if (GetExportAsText()) {
    std::string h = FCreateHTMLFragment ? std::string() : PageHeader();
    h += FormatStr("<pre>\r\n<code><span style=\"font: %dpt %s;\">", GetFont()->GetSize(),
                   ReplaceReservedChars(GetFont()->GetName()).c_str());
    return h;
  }
  const std::string page = PageHeader();
  const size_t body = static_cast<size_t>(GetBufferSize());
  const size_t startFragment = kOffsetsSize + page.size();
  const size_t endFragment = startFragment + kStartFragment.size() + body + kEndFragment.size();
  const size_t endHtml = endFragment + kPageEnd.size();
  std::string h = FormatStr(
      "Version:0.9\r\nStartHTML:%.10zu\r\nEndHTML:%.10zu\r\nStartFragment:%.10zu\r\n"
      "EndFragment:%.10zu\r\n",
      kOffsetsSize, endHtml, startFragment, endFragment);
  h += page;
  h += kStartFragment;
  return h;
}

std::string TRidExporterHTML::GetFooter() {
  if (!GetExportAsText()) return std::string(kEndFragment) + std::string(kPageEnd);
  std::string f = "</span>\r\n</code></pre>\r\n";
  if (!FCreateHTMLFragment) f += kPageEnd;
  return f;
}

}  // namespace rid
