#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "platform/Classes.h"

namespace rid {

// Colour schemes of an installed Borland IDE (Delphi, C++Builder), for the languages whose
// users may want their IDE's colours.

// The installed versions of the IDE: the subkeys of HKEY_LOCAL_MACHINE
// \SOFTWARE\Borland\<AProduct>, put into AList; AList is untouched when there are none.
void EnumIdeVersions(std::string_view AProduct, TStrings* AList);

// An entry of the IDE's scheme and the attributes it colours.
struct TRidIdeEntry {
  std::string_view Name;
  std::string_view OldName;  // its name in the old layout, when it differs
  std::vector<TRidHighlighterAttributes*> Attributes;
};

// Reads version AIndex (of EnumIdeVersions) of the IDE's scheme from HKEY_CURRENT_USER
// \Software\Borland\<AProduct>\<version>: versions whose name starts with a byte of
// AOldLayoutFirst keep it under "Highlight" in the old layout, the others under
// "Editor\Highlight". Every entry must load (an error counts as a failure); then each gives its
// colours and style to its attributes and the result is true. Otherwise nothing changes.
bool LoadIdeScheme(std::string_view AProduct, int32_t AIndex, std::string_view AOldLayoutFirst,
                   std::span<const TRidIdeEntry> AEntries);

}  // namespace rid
