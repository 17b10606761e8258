#include "highlighters/RidHighlighterIdeSchemes.h"

#include <algorithm>
#include <memory>
#include <string>

#include "platform/Registry.h"

namespace rid {

void EnumIdeVersions(std::string_view AProduct, TStrings* AList) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (reg.OpenKeyReadOnly("\\SOFTWARE\\Borland\\" + std::string(AProduct))) reg.GetKeyNames(AList);
}

bool LoadIdeScheme(std::string_view AProduct, int32_t AIndex, std::string_view AOldLayoutFirst,
                   std::span<const TRidIdeEntry> AEntries) {
  TStringList versions;
  EnumIdeVersions(AProduct, &versions);
  if (AIndex < 0 || AIndex >= versions.Count()) return false;
  const std::string version = versions[AIndex];
  const bool old = !version.empty() && AOldLayoutFirst.find(version[0]) != std::string_view::npos;
  const std::string key = "\\Software\\Borland\\" + std::string(AProduct) + "\\" + version +
                          (old ? "\\Highlight" : "\\Editor\\Highlight");
  std::vector<std::unique_ptr<TRidHighlighterAttributes>> read;
  for (const TRidIdeEntry& e : AEntries) {
    std::string name(old && !e.OldName.empty() ? e.OldName : e.Name);
    if (old) std::replace(name.begin(), name.end(), ' ', '_');
    auto attri = std::make_unique<TRidHighlighterAttributes>(name);
    try {
      if (!attri->LoadFromIdeRegistry(HKEY_CURRENT_USER, key, name, old)) return false;
    } catch (const Exception&) {
      return false;
    }
    read.push_back(std::move(attri));
  }
  for (size_t i = 0; i < AEntries.size(); ++i)
    for (TRidHighlighterAttributes* a : AEntries[i].Attributes)
      a->AssignColorAndStyle(read[i].get());
  return true;
}

}  // namespace rid
