#pragma once
#include <cstdint>

#include "platform/Types.h"

namespace rid {

// Window messages as the controls receive them: our own constants with the Windows values the
// editor relies on, a message record, and the helpers that take its parameters apart.

class TWinControl;
// A window is the control that owns it; valid while the control's HandleAllocated() is true.
using HWND = TWinControl*;

struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

constexpr uint16_t LOWORD(uintptr_t V) { return static_cast<uint16_t>(V & 0xFFFF); }
constexpr uint16_t HIWORD(uintptr_t V) { return static_cast<uint16_t>((V >> 16) & 0xFFFF); }
constexpr uint32_t MAKELONG(uint16_t Lo, uint16_t Hi) { return uint32_t(Lo) | (uint32_t(Hi) << 16); }
// The signed coordinates packed into a mouse message's LParam.
constexpr int32_t GET_X_LPARAM(intptr_t L) { return static_cast<int16_t>(L & 0xFFFF); }
constexpr int32_t GET_Y_LPARAM(intptr_t L) { return static_cast<int16_t>((L >> 16) & 0xFFFF); }
constexpr intptr_t PointToLParam(int32_t X, int32_t Y) {
  return static_cast<intptr_t>(MAKELONG(static_cast<uint16_t>(X), static_cast<uint16_t>(Y)));
}
// The wheel distance in a WM_MOUSEWHEEL WParam (120 per notch, positive away from the user).
constexpr int32_t GET_WHEEL_DELTA_WPARAM(uintptr_t W) { return static_cast<int16_t>(HIWORD(W)); }
constexpr int32_t WHEEL_DELTA = 120;

// --- window messages
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_MOVE = 0x0003;
constexpr uint32_t WM_SIZE = 0x0005;  // WParam SIZE_RESTORED, LParam client width | height << 16
constexpr uint32_t WM_SETFOCUS = 0x0007;   // WParam: the window that lost the focus
constexpr uint32_t WM_KILLFOCUS = 0x0008;  // WParam: the window that gets the focus
constexpr uint32_t WM_ENABLE = 0x000A;
constexpr uint32_t WM_SETTEXT = 0x000C;   // LParam: const char* (NUL-terminated)
constexpr uint32_t WM_GETTEXT = 0x000D;   // WParam: buffer size, LParam: char*
constexpr uint32_t WM_GETTEXTLENGTH = 0x000E;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_ERASEBKGND = 0x0014;
constexpr uint32_t WM_CANCELMODE = 0x001F;
constexpr uint32_t WM_SETCURSOR = 0x0020;  // WParam: window, LParam: hit test | message << 16
constexpr uint32_t WM_GETDLGCODE = 0x0087;
// Edit controls: the formatting rectangle (LParam: TRect*, client coordinates; null on
// EM_SETRECT: the default, the client area).
constexpr uint32_t EM_GETRECT = 0x00B2;
constexpr uint32_t EM_SETRECT = 0x00B3;
constexpr uint32_t WM_KEYDOWN = 0x0100;  // WParam: virtual key, LParam: key data
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;  // WParam: one code page 932 byte
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCHAR = 0x0106;
constexpr uint32_t WM_IME_STARTCOMPOSITION = 0x010D;
constexpr uint32_t WM_IME_ENDCOMPOSITION = 0x010E;
constexpr uint32_t WM_IME_COMPOSITION = 0x010F;  // LParam: GCS_* flags
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_HSCROLL = 0x0114;  // WParam: SB_* code | position << 16
constexpr uint32_t WM_VSCROLL = 0x0115;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;  // WParam: MK_* flags, LParam: client point
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;  // WParam: MK_* | delta << 16, LParam: screen point
// The user drags a sizing frame: WParam the WMSZ_* edge, LParam a TRect* (the window's new
// bounds, as SetBounds takes them) that the window may change.
constexpr uint32_t WM_SIZING = 0x0214;
constexpr uint32_t WM_CAPTURECHANGED = 0x0215;  // LParam: the window that takes the capture
constexpr uint32_t WM_DROPFILES = 0x0233;       // WParam: HDROP
constexpr uint32_t WM_IME_SETCONTEXT = 0x0281;
constexpr uint32_t WM_IME_NOTIFY = 0x0282;  // WParam: IMN_* notification
constexpr uint32_t WM_IME_CHAR = 0x0286;
constexpr uint32_t WM_CUT = 0x0300;
constexpr uint32_t WM_COPY = 0x0301;
constexpr uint32_t WM_PASTE = 0x0302;
constexpr uint32_t WM_CLEAR = 0x0303;
constexpr uint32_t WM_UNDO = 0x0304;
constexpr uint32_t WM_USER = 0x0400;

// Messages of the control framework itself (not sent by the system).
constexpr uint32_t CM_BASE = 0xB000;
// Asked of the focused control before a key runs a window shortcut: a nonzero result keeps the
// key for the control (WParam the virtual key; the modifiers are in the keyboard state).
constexpr uint32_t CM_WANTSPECIALKEY = CM_BASE + 14;
constexpr uint32_t CM_MOUSEENTER = CM_BASE + 19;
constexpr uint32_t CM_MOUSELEAVE = CM_BASE + 20;

constexpr uintptr_t SIZE_RESTORED = 0;

// The edges of WM_SIZING.
constexpr uintptr_t WMSZ_LEFT = 1;
constexpr uintptr_t WMSZ_RIGHT = 2;
constexpr uintptr_t WMSZ_TOP = 3;
constexpr uintptr_t WMSZ_TOPLEFT = 4;
constexpr uintptr_t WMSZ_TOPRIGHT = 5;
constexpr uintptr_t WMSZ_BOTTOM = 6;
constexpr uintptr_t WMSZ_BOTTOMLEFT = 7;
constexpr uintptr_t WMSZ_BOTTOMRIGHT = 8;

// Mouse key flags.
constexpr uintptr_t MK_LBUTTON = 0x0001;
constexpr uintptr_t MK_RBUTTON = 0x0002;
constexpr uintptr_t MK_SHIFT = 0x0004;
constexpr uintptr_t MK_CONTROL = 0x0008;
constexpr uintptr_t MK_MBUTTON = 0x0010;

// Hit-test codes of WM_SETCURSOR.
constexpr uint16_t HTNOWHERE = 0;
constexpr uint16_t HTCLIENT = 1;

// Scroll-bar codes (low word of WM_HSCROLL / WM_VSCROLL's WParam).
constexpr uint16_t SB_LINEUP = 0;
constexpr uint16_t SB_LINELEFT = 0;
constexpr uint16_t SB_LINEDOWN = 1;
constexpr uint16_t SB_LINERIGHT = 1;
constexpr uint16_t SB_PAGEUP = 2;
constexpr uint16_t SB_PAGELEFT = 2;
constexpr uint16_t SB_PAGEDOWN = 3;
constexpr uint16_t SB_PAGERIGHT = 3;
constexpr uint16_t SB_THUMBPOSITION = 4;
constexpr uint16_t SB_THUMBTRACK = 5;
constexpr uint16_t SB_TOP = 6;
constexpr uint16_t SB_LEFT = 6;
constexpr uint16_t SB_BOTTOM = 7;
constexpr uint16_t SB_RIGHT = 7;
constexpr uint16_t SB_ENDSCROLL = 8;

// Scroll bars.
constexpr int32_t SB_HORZ = 0;
constexpr int32_t SB_VERT = 1;
constexpr int32_t SB_BOTH = 3;
constexpr uint32_t SIF_RANGE = 0x0001;
constexpr uint32_t SIF_PAGE = 0x0002;
constexpr uint32_t SIF_POS = 0x0004;
constexpr uint32_t SIF_DISABLENOSCROLL = 0x0008;
constexpr uint32_t SIF_TRACKPOS = 0x0010;
constexpr uint32_t SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
constexpr uint32_t ESB_ENABLE_BOTH = 0x0000;
constexpr uint32_t ESB_DISABLE_LEFT = 0x0001;
constexpr uint32_t ESB_DISABLE_UP = 0x0001;
constexpr uint32_t ESB_DISABLE_RIGHT = 0x0002;
constexpr uint32_t ESB_DISABLE_DOWN = 0x0002;
constexpr uint32_t ESB_DISABLE_BOTH = 0x0003;

struct TScrollInfo {
  uint32_t cbSize = sizeof(TScrollInfo);
  uint32_t fMask = 0;
  int32_t nMin = 0;
  int32_t nMax = 0;
  uint32_t nPage = 0;
  int32_t nPos = 0;
  int32_t nTrackPos = 0;  // the thumb's position while it is dragged (32 bits)
};

// Dialog codes (WM_GETDLGCODE results).
constexpr intptr_t DLGC_WANTARROWS = 0x0001;
constexpr intptr_t DLGC_WANTTAB = 0x0002;
constexpr intptr_t DLGC_WANTALLKEYS = 0x0004;
constexpr intptr_t DLGC_WANTCHARS = 0x0080;

// Input-method messages.
constexpr intptr_t GCS_COMPSTR = 0x0008;
constexpr intptr_t GCS_CURSORPOS = 0x0080;
constexpr intptr_t GCS_RESULTSTR = 0x0800;
constexpr uintptr_t IMN_SETCONVERSIONMODE = 0x0006;
constexpr uintptr_t IMN_SETOPENSTATUS = 0x0008;
constexpr uintptr_t IMN_SETCOMPOSITIONFONT = 0x000A;
constexpr uintptr_t IMN_SETCOMPOSITIONWINDOW = 0x000B;

// Key data (LParam of key messages).
constexpr intptr_t KF_ALTDOWN_BIT = intptr_t(1) << 29;
constexpr intptr_t KF_REPEAT_BIT = intptr_t(1) << 30;
constexpr intptr_t KF_UP_BIT = intptr_t(1) << 31;

}  // namespace rid
