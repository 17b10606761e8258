#include "app/EderPage.h"

#include <filesystem>

#include "foundation/JCode.h"
#include "foundation/JConv.h"
#include "platform/Locale.h"

namespace rid {

std::string BytesToSjis(std::string Bytes, JCodeKind* Code, size_t* Lost) {
  const JCodeKind code = DetectCharCode(Bytes);
  if (Code) *Code = code;
  switch (code) {
    case jcJisB:
    case jcJisAt:
      return JisToSjis(Bytes);
    case jcEuc:
      return EucToSjis(Bytes, Lost);
    case jcUtf8Bom:
      if (Bytes.starts_with("\xEF\xBB\xBF")) Bytes.erase(0, 3);
      [[fallthrough]];
    case jcUtf8:
      Utf8ToSjisInPlace(Bytes, Lost);  // converted where it lies: a large file is held once
      return Bytes;
    case jcUtf16LE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), false, Lost);
    case jcUtf16BE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), true, Lost);
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
  JCodeKind code = jcSjis;
  size_t lost = 0;
  std::string sjis = BytesToSjis(LoadBytesFromFile(FileName), &code, &lost);
  auto page = NewPage(FileName, std::move(sjis), Highlighters.ForFileName(FileName));
  page->Code = code;
  page->LostOnLoad = lost;
  return page;
}

}  // namespace rid
