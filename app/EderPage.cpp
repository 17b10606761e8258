#include "app/EderPage.h"

#include <filesystem>

#include "foundation/JCode.h"
#include "foundation/JConv.h"
#include "platform/Locale.h"

namespace rid {

std::string BytesToSjis(std::string Bytes) {
  switch (DetectCharCode(Bytes)) {
    case jcJisB:
    case jcJisAt:
      return JisToSjis(Bytes);
    case jcEuc:
      return EucToSjis(Bytes);
    case jcUtf8Bom:
      if (Bytes.starts_with("\xEF\xBB\xBF")) Bytes.erase(0, 3);
      [[fallthrough]];
    case jcUtf8:
      Utf8ToSjisInPlace(Bytes);  // converted where it lies: a large file is held once
      return Bytes;
    case jcUtf16LE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), false);
    case jcUtf16BE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), true);
    default:
      return Bytes;  // already Shift-JIS: moved out, not copied
  }
}

std::string DocumentTitle(const std::string& FileName) {
  return Utf8ToSjis(std::filesystem::path(FileName).stem().string());
}

std::unique_ptr<TEderPage> NewPage(const std::string& FileName, std::string Sjis,
                                   TRidCustomHighlighter* Highlighter) {
  auto page = std::make_unique<TEderPage>();
  page->FileName = FileName;
  page->Highlighter = Highlighter;
  page->Eder = std::make_unique<TRidEder>(nullptr);
  TRidEder& ed = *page->Eder;
  ed.GetLines()->AdoptBytes(std::move(Sjis));  // the lines keep these bytes: no second copy
  ed.SetHighlighter(Highlighter);
  ed.SetModified(false);
  return page;
}

std::unique_ptr<TEderPage> LoadPage(const std::string& FileName, TEderHighlighters& Highlighters) {
  return NewPage(FileName, BytesToSjis(LoadBytesFromFile(FileName)),
                 Highlighters.ForFileName(FileName));
}

}  // namespace rid
