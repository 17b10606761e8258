#include "app/EderPage.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "foundation/JCode.h"
#include "foundation/JConv.h"
#include "highlighters/RidHighlighterPerl.h"
#include "platform/Locale.h"

namespace rid {

std::string BytesToSjis(const std::string& Bytes) {
  switch (DetectCharCode(Bytes)) {
    case jcJisB:
    case jcJisAt:
      return JisToSjis(Bytes);
    case jcEuc:
      return EucToSjis(Bytes);
    case jcUtf8Bom:
      return Utf8BomToSjis(Bytes);
    case jcUtf8:
      return Utf8ToSjis(Bytes);
    case jcUtf16LE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), false);
    case jcUtf16BE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), true);
    default:
      return Bytes;
  }
}

bool IsPerlFileName(const std::string& FileName) {
  std::string ext = std::filesystem::path(FileName).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".pl" || ext == ".pm" || ext == ".cgi";
}

std::unique_ptr<TRidCustomHighlighter> HighlighterForFile(const std::string& FileName) {
  if (IsPerlFileName(FileName)) return std::make_unique<TRidPerlRid>(nullptr);
  return nullptr;
}

std::unique_ptr<TEderPage> NewPage(const std::string& FileName, const std::string& Sjis,
                                   std::unique_ptr<TRidCustomHighlighter> Highlighter) {
  auto page = std::make_unique<TEderPage>();
  page->FileName = FileName;
  page->Highlighter = std::move(Highlighter);
  page->Eder = std::make_unique<TRidEder>(nullptr);
  TRidEder& ed = *page->Eder;
  ed.GetLines()->LoadFromBytes(Sjis);
  if (page->Highlighter) ed.SetHighlighter(page->Highlighter.get());
  ed.SetModified(false);
  return page;
}

std::unique_ptr<TEderPage> LoadPage(const std::string& FileName) {
  return NewPage(FileName, BytesToSjis(LoadBytesFromFile(FileName)), HighlighterForFile(FileName));
}

}  // namespace rid
