#include "app/EderShortCuts.h"

#include "editor/RidEderKeyCmds.h"
#include "platform/Menus.h"
#include "platform/Registry.h"

namespace rid {

TShortCut ReadShortCutSetting(const std::string& Name, TShortCut Default, std::string* Problem) {
  TRegistry reg;
  if (!reg.OpenKeyReadOnly(kShortCutsKey) || !reg.ValueExists(Name)) return Default;
  std::string text;
  try {
    text = reg.ReadString(Name);
  } catch (const ERegistryException& e) {
    if (Problem) *Problem = e.Message;
    return Default;
  }
  if (text.empty()) return 0;
  const TShortCut key = TextToShortCut(text);
  std::string why;
  if (key == 0) {
    why = "is no key";
  } else {
    TRidEderKeyStrokes editorKeys;
    editorKeys.ResetDefaults();
    if (editorKeys.IndexOfShortcut(key) >= 0) why = "is an editor key";
  }
  if (why.empty()) return key;
  if (Problem)
    *Problem = Name + " \"" + text + "\" " + why + ": " +
               (Default ? ShortCutToText(Default) : std::string("no key")) + " kept";
  return Default;
}

QString WithKey(const char* Text, TShortCut Key) {
  return Key ? QString("%1\t%2").arg(Text, QString::fromStdString(ShortCutToText(Key)))
             : QString(Text);
}

}  // namespace rid
