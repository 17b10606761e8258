// Exports arbitrary bytes as Perl through both exporters, the first line also as title and
// font name: the RTF's groups must balance outside its escapes, no "<" of the text may reach
// the HTML page as markup, and neither document holds a control byte of the text raw.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "highlighters/RidHighlighterPerl.h"
#include "output/RidExportHTML.h"
#include "output/RidExportRTF.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

void CheckRtfGroups(std::string_view Rtf) {
  int depth = 0;
  for (size_t i = 0; i < Rtf.size(); ++i) {
    if (Rtf[i] == '\\') {
      Check(i + 1 < Rtf.size());
      i += Rtf[i + 1] == '\'' ? 3 : 1;  // \'xx, or the escaped byte / first letter of a word
      continue;
    }
    if (Rtf[i] == '{') ++depth;
    if (Rtf[i] == '}') Check(--depth >= 0);
  }
  Check(depth == 0);
}

void CheckHtmlTags(std::string_view Html) {
  static constexpr std::string_view kOurs[] = {
      "<?xml ",   "<!DOCTYPE ", "<html ",  "</html>",  "<head>", "</head>", "<title>",
      "</title>", "<meta ",     "<style ", "</style>", "<body>", "</body>", "<pre>",
      "</pre>",   "<code>",     "</code>", "<span ",   "<span>", "</span>"};
  for (size_t at = Html.find('<'); at != std::string_view::npos; at = Html.find('<', at + 1)) {
    bool ours = false;
    for (std::string_view tag : kOurs) ours = ours || Html.substr(at).starts_with(tag);
    Check(ours);
  }
}

// Only the documents' own line ends and the text's tabs stay raw.
void CheckNoControlBytes(std::string_view Document) {
  for (char c : Document)
    Check(!rid::IsControlByte(static_cast<uint8_t>(c)) || c == '\r' || c == '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static rid::TRidPerlRid perl(nullptr);
  static rid::TRidExporterRTF rtf(nullptr);
  static rid::TRidExporterHTML html(nullptr);
  rtf.SetHighlighter(&perl);
  html.SetHighlighter(&perl);
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  rid::TStringList lines;
  for (size_t start = 0; start <= Size;) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = Size;
    lines.Add(std::string(text.substr(start, end - start)));
    start = end + 1;
  }
  const std::string first = lines.Get(0).substr(0, lines.Get(0).find('\0'));
  for (rid::TRidCustomExporter* e : {static_cast<rid::TRidCustomExporter*>(&rtf),
                                     static_cast<rid::TRidCustomExporter*>(&html)}) {
    e->SetTitle(first);
    e->GetFont()->SetName(first.empty() ? "Courier New" : first);
    e->ExportAll(&lines);
  }
  CheckRtfGroups(rtf.GetBuffer());
  CheckHtmlTags(html.GetBuffer());
  CheckNoControlBytes(rtf.GetBuffer());
  CheckNoControlBytes(html.GetBuffer());
  Check(!rid::HtmlPageToUtf8(html.GetBuffer()).empty());
  return 0;
}
