#pragma once
// The key bindings a person keeps in the program's settings.
#include <string>
#include <vector>

#include "editor/RidEderKeyCmds.h"

namespace rid {

// Where they are: under this key of the registry file (RegistryFileName), the subkeys
// "RemovedKeystrokes" and "AddedKeystrokes" hold one binding a value, as the key-stroke store
// writes them ("ecDeleteLine,Ctrl+Y,"), in their order; the values' names do not matter.
inline constexpr const char* kKeySettingsKey = "Software\\rideder\\Editor";

// The stored difference from the default bindings, read once for every editor of the window.
class TEderKeySettings {
 public:
  // Reads both lists. A value that is no binding, or an added binding whose keys a default
  // binding keeps (the first binding of a key is the one that runs), is skipped and told in
  // Problems.
  TEderKeySettings();
  // Takes the removed bindings out of Keys, then appends the added ones.
  void ApplyTo(TRidEderKeyStrokes& Keys) const;
  // One line for each skipped value.
  const std::vector<std::string>& Problems() const { return FProblems; }

 private:
  void Read(const char* List, TRidEderKeyStrokes& Keys);
  void DropShadowedAdditions();

  TRidEderKeyStrokes FRemoved;
  TRidEderKeyStrokes FAdded;
  std::vector<std::string> FProblems;
};

}  // namespace rid
