#include "app/EderShortCuts.h"

#include "app/EderStatus.h"
#include "editor/RidEderKeyCmds.h"
#include "platform/Menus.h"
#include "platform/Registry.h"

namespace rid {

TShortCut ReadShortCutSetting(const std::string& Name, TShortCut Default, std::string* Problem) {
  TRegistry reg;
  if (!reg.OpenKeyReadOnly(kShortCutsKey)) return Default;
  std::string why;
  TShortCut key = 0;
  switch (reg.GetDataType(Name)) {
    case rdUnknown:
      return Default;
    case rdInteger:
    case rdOther:
      why = Name + " " + NotTextReason(reg, Name);
      break;
    case rdString: {
      const std::string text = reg.ReadString(Name);
      if (text.empty()) return 0;
      key = TextToShortCut(text);
      TRidEderKeyStrokes editorKeys;
      editorKeys.ResetDefaults();
      if (key == 0)
        why = Name + " \"" + text + "\" is no key";
      else if (editorKeys.IndexOfShortcut(key) >= 0)
        why = Name + " \"" + text + "\" is an editor key";
      break;
    }
  }
  if (why.empty()) return key;
  if (Problem)
    *Problem = why + ": " + (Default ? ShortCutToText(Default) : std::string("no key")) + " kept";
  return Default;
}

QString WithKey(const char* Text, TShortCut Key) {
  return Key ? QString("%1\t%2").arg(Text, QString::fromStdString(ShortCutToText(Key)))
             : QString(Text);
}

}  // namespace rid
