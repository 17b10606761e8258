#include "app/EderPage.h"

#include <filesystem>

#include "foundation/JCode.h"
#include "foundation/JConv.h"
#include "platform/Locale.h"

namespace rid {

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

std::string ConversionWarning(const TEderPage& Page) {
  if (Page.Substituted == 0) return {};
  return FormatStr("\"%s\": %zu character%s could not be read as Shift-JIS and show%s as '?'",
                   Page.FileName.c_str(), Page.Substituted, Page.Substituted == 1 ? "" : "s",
                   Page.Substituted == 1 ? "s" : "");
}

std::unique_ptr<TEderPage> LoadPage(const std::string& FileName, TEderHighlighters& Highlighters) {
  std::string bytes = LoadBytesFromFile(FileName);
  const int64_t size = static_cast<int64_t>(bytes.size());
  try {
    JCodeKind code = jcSjis;
    size_t substituted = 0;
    char kanjiOut = 'J';
    std::string sjis = BytesToSjis(std::move(bytes), &code, &substituted, &kanjiOut);
    auto page = NewPage(FileName, std::move(sjis), Highlighters.ForFileName(FileName));
    page->Code = code;
    page->JisKanjiOut = kanjiOut;
    page->Substituted = substituted;
    return page;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory(FileName, size);
  }
}

}  // namespace rid
