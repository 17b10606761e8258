#pragma once
// The keys of the window's actions that the user may choose, kept in the registry file.
#include <QString>
#include <string>

#include "platform/Keys.h"

namespace rid {

// The registry key that holds them: one string value an action, the key as ShortCutToText
// writes it ("Shift+Ctrl+R").
inline constexpr const char* kShortCutsKey = "\\Software\\rideder\\Keys";

// The key the registry names for the action Name. An empty value leaves the action without a
// key. Default when the value is missing, names no key, or names a key the editor binds itself;
// *Problem (when given) then says why the value was not taken, else it is left alone.
TShortCut ReadShortCutSetting(const std::string& Name, TShortCut Default,
                              std::string* Problem = nullptr);

// A menu text with the key shown beside it (the editors take the key, not the menu).
QString WithKey(const char* Text, TShortCut Key);

}  // namespace rid
