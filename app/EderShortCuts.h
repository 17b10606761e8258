#pragma once
#include <string>

#include "platform/Keys.h"

namespace rid {

// The registry key of the program's configurable keys.
inline constexpr const char* KeysRegistryKey = "\\Software\\rideder\\Keys";

// The key the user chose for Name: a string value of KeysRegistryKey in the registry file,
// written as menus show keys ("Ctrl+Space", "Shift+Ctrl+R", "Alt+/"). Default when the value is
// missing or names no key; an empty value means no key at all (0).
TShortCut ReadShortCutSetting(const std::string& Name, TShortCut Default);

}  // namespace rid
