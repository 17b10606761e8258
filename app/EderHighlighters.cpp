#include "app/EderHighlighters.h"

#include <filesystem>

#include "highlighters/RidHighlighterPerl.h"
#include "highlighters/uHighlighterProcs.h"

namespace rid {

TEderHighlighters::TEderHighlighters(TComponent* AOwner) : TComponent(AOwner) {
  Add<TRidPerlRid>();
  GetHighlighters(this, &FList, false);
}

TEderHighlighters::~TEderHighlighters() {
  FList.Clear();
  DestroyComponents();
}

TRidCustomHighlighter* TEderHighlighters::ForFileName(const std::string& AFileName) {
  return GetHighlighterFromFileExt(&FList, std::filesystem::path(AFileName).extension().string());
}

TRidCustomHighlighter* TEderHighlighters::ByName(const std::string& AName) {
  return GetHighlighterByName(&FList, AName);
}

std::vector<std::string> TEderHighlighters::Names() {
  TStringList names;
  GetHighlighterNames(&FList, &names);
  std::vector<std::string> out;
  for (int32_t i = 0; i < names.GetCount(); ++i) out.push_back(names[i]);
  return out;
}

}  // namespace rid
