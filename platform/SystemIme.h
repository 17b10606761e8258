#pragma once
#include <optional>

namespace rid {

// The system's input method, as far as an interface reaches it: fcitx5's D-Bus controller
// (org.fcitx.Fcitx5 on the session bus), when Qt's input method is fcitx5's module
// (QT_IM_MODULE or QT_IM_MODULES names fcitx). fcitx5 opens and closes the input context it
// has focused, so these calls are for the window with the keyboard focus. Where fcitx5 does
// not run or Qt talks to another input method, nothing reaches the system.

// Whether fcitx5 can be reached.
bool SystemImeReachable();
// Opens (switches to the group's input method) or closes (back to the keyboard) the focused
// input context; false when fcitx5 cannot be reached.
bool SystemImeSetOpen(bool Open);
// Whether the focused input context is open; nothing when fcitx5 cannot be reached or has no
// input context.
std::optional<bool> SystemImeOpen();

}  // namespace rid
