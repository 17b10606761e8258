#include "app/EderShortCuts.h"

#include "platform/Menus.h"
#include "platform/Registry.h"

namespace rid {

TShortCut ReadShortCutSetting(const std::string& Name, TShortCut Default) {
  TRegistry reg;
  if (!reg.OpenKeyReadOnly(KeysRegistryKey) || !reg.ValueExists(Name)) return Default;
  std::string text;
  try {
    text = reg.ReadString(Name);
  } catch (const ERegistryException&) {
    return Default;  // an integer value: not a key's name
  }
  if (text.empty()) return 0;
  const TShortCut key = TextToShortCut(text);
  return key ? key : Default;
}

}  // namespace rid
