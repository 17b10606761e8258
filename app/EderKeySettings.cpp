#include "app/EderKeySettings.h"

#include "app/EderStatus.h"
#include "editor/RidEderKeyStrokeStore.h"
#include "platform/Registry.h"

namespace rid {

TEderKeySettings::TEderKeySettings() {
  Read(SRemovedKeystrokes, FRemoved);
  Read(SAddedKeystrokes, FAdded);
  DropShadowedAdditions();
}

void TEderKeySettings::ApplyTo(TRidEderKeyStrokes& Keys) const {
  ApplyKeystrokeDifference(Keys, FRemoved, FAdded);
}

void TEderKeySettings::Read(const char* List, TRidEderKeyStrokes& Keys) {
  TRegistry reg;
  if (!reg.OpenKeyReadOnly(std::string(kKeySettingsKey) + "\\" + List)) return;
  TStringList names, lines;
  reg.GetValueNames(&names);
  for (int32_t i = 0; i < names.GetCount(); ++i) {
    const std::string name = names.Get(i);
    if (const std::string why = NotTextReason(reg, name); !why.empty())
      FProblems.push_back(std::string(List) + " \"" + name + "\" " + why);
    else
      lines.Add(reg.ReadString(name));
  }
  for (const std::string& line : TextsToKeyStrokes(lines, Keys))
    FProblems.push_back(std::string(List) + " \"" + line + "\" is not a key binding");
}

void TEderKeySettings::DropShadowedAdditions() {
  TRidEderKeyStrokes keys;
  keys.ResetDefaults();
  ApplyTo(keys);
  const TFirstBindings first(keys);
  const int32_t firstAdded = keys.GetCount() - FAdded.GetCount();
  std::vector<bool> shadowed(static_cast<size_t>(FAdded.GetCount()));
  for (int32_t i = 0; i < FAdded.GetCount(); ++i) {
    const TRidEderKeyStroke& added = *FAdded.GetItem(i);
    const int32_t runs = first.IndexOfShortcuts(added);
    if (runs == firstAdded + i) continue;
    FProblems.push_back(std::string(SAddedKeystrokes) + " \"" + KeyStrokeToText(added) +
                        "\": the keys are bound to " +
                        EditorCommandToCodeString(keys.GetItem(runs)->GetCommand()) +
                        ", which RemovedKeystrokes does not remove");
    shadowed[i] = true;
  }
  FAdded.DeleteMarked(shadowed);
}

}  // namespace rid
