#pragma once
#include <cstdint>
#include <string>

#include "platform/Graphics.h"
#include "platform/Messages.h"

namespace rid {

// The input-method context of a window. Qt's input method commits text and shows a preedit;
// the context keeps what the editor sets and reads: open status and conversion mode, the
// composition font and window position (where the preedit is drawn and the candidate window
// goes), the result string of the commit being delivered, and a reconversion request.
// What reaches the system's input method (platform/SystemIme.h): the open status, for the
// window with the keyboard focus, and the reconversion text, which the window offers as the
// text around the cursor with the part to reconvert selected. The conversion mode has no
// interface there and stays in the context.

struct TCompositionForm {
  uint32_t dwStyle = 0;  // CFS_*
  TPoint ptCurrentPos;   // client coordinates
  TRect rcArea;
};
constexpr uint32_t CFS_DEFAULT = 0x0000;
constexpr uint32_t CFS_RECT = 0x0001;
constexpr uint32_t CFS_POINT = 0x0002;
constexpr uint32_t CFS_FORCE_POSITION = 0x0020;

// Conversion-mode bits.
constexpr uint32_t IME_CMODE_ALPHANUMERIC = 0x0000;
constexpr uint32_t IME_CMODE_NATIVE = 0x0001;
constexpr uint32_t IME_CMODE_KATAKANA = 0x0002;
constexpr uint32_t IME_CMODE_FULLSHAPE = 0x0008;

// ImmSetCompositionStringA: hand a reconversion record to the input method.
constexpr uint32_t SCS_SETSTR = 0x0009;
constexpr uint32_t SCS_SETRECONVERTSTRING = 0x00010000;
// ImmGetProperty: the set-composition-string capabilities.
constexpr uint32_t IGP_SETCOMPSTR = 0x00000014;
constexpr uint32_t SCS_CAP_SETRECONVERTSTRING = 0x00000004;

struct TInputContext {
  HWND Window = nullptr;
  bool Enabled = true;  // WINNLSEnableIME
  bool Open = false;
  // The system's input method acts on the window it was told has the focus; a status set
  // while that is another window waits for this one's next focus.
  bool InputMethodFocus = false;
  bool OpenPending = false;
  bool FocusedBefore = false;  // so the system has (or is making) its context for the window
  uint32_t Conversion = IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
  uint32_t Sentence = 0;
  bool HasFont = false;
  TLogFont Font;
  TCompositionForm CompositionWindow;
  std::string ResultStr;  // code page 932: the commit being delivered
  std::string CompStr;    // code page 932: the preedit
  std::string ReconvertRecord;
};
using HIMC = TInputContext*;

// The window's context (null without a window); release it with ImmReleaseContext.
HIMC ImmGetContext(HWND Wnd);
bool ImmReleaseContext(HWND Wnd, HIMC Imc);
HWND ImmGetDefaultIMEWnd(HWND Wnd);
// GCS_RESULTSTR or GCS_COMPSTR in code page 932: with a null buffer the length in bytes;
// otherwise copies at most BufLen bytes (no terminator) and returns the number copied.
// A negative value is an error (no context, unknown index).
int32_t ImmGetCompositionStringA(HIMC Imc, uint32_t Index, void* Buf, uint32_t BufLen);
bool ImmSetCompositionStringA(HIMC Imc, uint32_t Index, const void* Comp, uint32_t CompLen,
                              const void* Read, uint32_t ReadLen);
// The system's status while the window has the focus and the system can be asked; otherwise
// the status last set or seen.
bool ImmGetOpenStatus(HIMC Imc);
// Changing the status sends WM_IME_NOTIFY (IMN_SETOPENSTATUS) to the window. The system's
// input method gets it now when the window has the focus, else when the window next gets it
// after its first focus (fcitx5 makes a window's context only once it has had the focus, so
// until then its open and close would reach the window focused before).
bool ImmSetOpenStatus(HIMC Imc, bool Open);
// Qt has told its input method that the window got (or lost) the keyboard focus; the bridge
// calls this.
void ImmInputMethodFocus(HWND Wnd, bool Focused);
bool ImmGetConversionStatus(HIMC Imc, uint32_t* Conversion, uint32_t* Sentence);
bool ImmSetConversionStatus(HIMC Imc, uint32_t Conversion, uint32_t Sentence);
bool ImmSetCompositionFontA(HIMC Imc, const TLogFont* Font);
bool ImmGetCompositionFontA(HIMC Imc, TLogFont* Font);
bool ImmSetCompositionWindow(HIMC Imc, const TCompositionForm* Form);
bool ImmGetCompositionWindow(HIMC Imc, TCompositionForm* Form);
uint32_t ImmGetProperty(uintptr_t KeyboardLayout, uint32_t Index);

// What an input method is shown of the context's reconversion record: its text and where the
// part to reconvert (the target) starts and ends, in UTF-16 units. False without a record, or
// with one whose fields do not lie inside it or cut a character.
struct TReconvertText {
  std::u16string Text;
  int32_t TargetStart = 0;
  int32_t TargetEnd = 0;
};
bool ImmGetReconvertText(HIMC Imc, TReconvertText& Out);
// The record has been used (a commit) or left behind (the focus went): forget it.
void ImmDropReconvertRecord(HIMC Imc);
uintptr_t GetKeyboardLayout(uint32_t ThreadId);
// Turns the input method on or off for a window (off: Qt sends it no preedit or commit).
bool WINNLSEnableIME(HWND Wnd, bool Enable);
bool WINNLSGetEnableStatus(HWND Wnd);

}  // namespace rid
