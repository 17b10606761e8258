#include "platform/Imm.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QWidget>
#include <algorithm>
#include <cstring>

#include "platform/Controls.h"
#include "platform/Locale.h"
#include "platform/SystemIme.h"

namespace rid {

namespace {

bool HasFocus(HIMC Imc) {
  if (!Imc || !Imc->Window || !qApp) return false;
  QWidget* client = Imc->Window->ClientWidget();
  return client && client->hasFocus();
}

// Lets the system's input method know what changed: where the composition goes and in which
// font, or the text it may reconvert.
void InputMethodChanged(HIMC Imc, Qt::InputMethodQueries Queries = Qt::ImCursorRectangle |
                                                                   Qt::ImFont | Qt::ImEnabled) {
  if (HasFocus(Imc)) QGuiApplication::inputMethod()->update(Queries);
}

constexpr Qt::InputMethodQueries kReconvertQueries =
    Qt::ImSurroundingText | Qt::ImCursorPosition | Qt::ImAnchorPosition | Qt::ImCurrentSelection;

uint32_t GetDword(const std::string& S, size_t At) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(S[At + i]);
  return v;
}

// Whether Offset falls on a character start of Text (or its end).
bool IsCharacterStart(std::string_view Text, size_t Offset) {
  size_t i = 0;
  while (i < Offset) i += SjisCharLength(Text, i);
  return i == Offset;
}

void Notify(HIMC Imc, uintptr_t Notification) {
  if (Imc && Imc->Window) Imc->Window->Perform(WM_IME_NOTIFY, Notification, 0);
}

}  // namespace

HIMC ImmGetContext(HWND Wnd) { return Wnd ? Wnd->InputContext() : nullptr; }

bool ImmReleaseContext(HWND, HIMC) { return true; }

HWND ImmGetDefaultIMEWnd(HWND Wnd) { return Wnd; }

int32_t ImmGetCompositionStringA(HIMC Imc, uint32_t Index, void* Buf, uint32_t BufLen) {
  if (!Imc) return -1;
  const std::string* s = nullptr;
  if (Index == GCS_RESULTSTR)
    s = &Imc->ResultStr;
  else if (Index == GCS_COMPSTR)
    s = &Imc->CompStr;
  else
    return -1;
  if (!Buf || BufLen == 0) return static_cast<int32_t>(s->size());
  const size_t n = std::min<size_t>(s->size(), BufLen);
  std::memcpy(Buf, s->data(), n);
  return static_cast<int32_t>(n);
}

bool ImmSetCompositionStringA(HIMC Imc, uint32_t Index, const void* Comp, uint32_t CompLen,
                              const void*, uint32_t) {
  if (!Imc) return false;
  if (Index == SCS_SETRECONVERTSTRING) {
    // Qt offers no reconversion request: the window shows the record's text to the input
    // method when asked (ImmGetReconvertText).
    if (!Comp || CompLen == 0) return false;
    Imc->ReconvertRecord.assign(static_cast<const char*>(Comp), CompLen);
    InputMethodChanged(Imc, kReconvertQueries);
    return true;
  }
  return false;
}

bool ImmGetOpenStatus(HIMC Imc) {
  if (!Imc) return false;
  // The person may have opened or closed it since (fcitx5 keeps a status per window).
  if (!Imc->OpenPending && Imc->InputMethodFocus)
    if (const std::optional<bool> open = SystemImeOpen()) Imc->Open = *open;
  return Imc->Open;
}

bool ImmSetOpenStatus(HIMC Imc, bool Open) {
  if (!Imc) return false;
  const bool was = ImmGetOpenStatus(Imc);
  Imc->Open = Open;
  // The system opens and closes the window it has focused, so a window without the focus
  // keeps the status for when it gets it.
  Imc->OpenPending = !(Imc->InputMethodFocus && SystemImeSetOpen(Open));
  if (was != Open) Notify(Imc, IMN_SETOPENSTATUS);
  return true;
}

void ImmInputMethodFocus(HWND Wnd, bool Focused) {
  HIMC imc = ImmGetContext(Wnd);
  if (!imc) return;
  imc->InputMethodFocus = Focused;
  if (!Focused) return;
  if (imc->FocusedBefore && imc->OpenPending && SystemImeSetOpen(imc->Open))
    imc->OpenPending = false;
  imc->FocusedBefore = true;
}

bool ImmGetConversionStatus(HIMC Imc, uint32_t* Conversion, uint32_t* Sentence) {
  if (!Imc) return false;
  if (Conversion) *Conversion = Imc->Conversion;
  if (Sentence) *Sentence = Imc->Sentence;
  return true;
}

bool ImmSetConversionStatus(HIMC Imc, uint32_t Conversion, uint32_t Sentence) {
  if (!Imc) return false;
  const bool changed = Imc->Conversion != Conversion || Imc->Sentence != Sentence;
  Imc->Conversion = Conversion;
  Imc->Sentence = Sentence;
  if (changed) Notify(Imc, IMN_SETCONVERSIONMODE);
  return true;
}

bool ImmSetCompositionFontA(HIMC Imc, const TLogFont* Font) {
  if (!Imc || !Font) return false;
  Imc->Font = *Font;
  Imc->HasFont = true;
  InputMethodChanged(Imc);
  return true;
}

bool ImmGetCompositionFontA(HIMC Imc, TLogFont* Font) {
  if (!Imc || !Font || !Imc->HasFont) return false;
  *Font = Imc->Font;
  return true;
}

bool ImmSetCompositionWindow(HIMC Imc, const TCompositionForm* Form) {
  if (!Imc || !Form) return false;
  Imc->CompositionWindow = *Form;
  InputMethodChanged(Imc);
  return true;
}

bool ImmGetCompositionWindow(HIMC Imc, TCompositionForm* Form) {
  if (!Imc || !Form) return false;
  *Form = Imc->CompositionWindow;
  return true;
}

uint32_t ImmGetProperty(uintptr_t, uint32_t Index) {
  return Index == IGP_SETCOMPSTR ? SCS_CAP_SETRECONVERTSTRING : 0;
}

bool ImmGetReconvertText(HIMC Imc, TReconvertText& Out) {
  if (!Imc || Imc->ReconvertRecord.size() < 32) return false;
  const std::string& r = Imc->ReconvertRecord;
  const uint64_t strLen = GetDword(r, 8), strOffset = GetDword(r, 12);
  const uint64_t targetLen = GetDword(r, 24), targetOffset = GetDword(r, 28);
  if (strOffset + strLen > r.size()) return false;
  std::string_view text = std::string_view(r).substr(strOffset, strLen);
  text = text.substr(0, text.find('\0'));  // the length counts the terminating zero
  if (targetOffset + targetLen > text.size() || !IsCharacterStart(text, targetOffset) ||
      !IsCharacterStart(text, targetOffset + targetLen))
    return false;
  // UTF-16 positions: the lengths of what comes before each end.
  Out.Text = MultiByteToWideChar(CP_SJIS, text);
  Out.TargetStart =
      static_cast<int32_t>(MultiByteToWideChar(CP_SJIS, text.substr(0, targetOffset)).size());
  Out.TargetEnd = static_cast<int32_t>(
      MultiByteToWideChar(CP_SJIS, text.substr(0, targetOffset + targetLen)).size());
  return true;
}

void ImmDropReconvertRecord(HIMC Imc) {
  if (!Imc || Imc->ReconvertRecord.empty()) return;
  Imc->ReconvertRecord.clear();
  InputMethodChanged(Imc, kReconvertQueries);
}

uintptr_t GetKeyboardLayout(uint32_t) { return 0x04110411; }

bool WINNLSEnableIME(HWND Wnd, bool Enable) {
  HIMC imc = ImmGetContext(Wnd);
  if (!imc) return false;
  const bool old = imc->Enabled;
  imc->Enabled = Enable;
  if (QWidget* client = Wnd->ClientWidget())
    client->setAttribute(Qt::WA_InputMethodEnabled, Enable);
  InputMethodChanged(imc);
  return old;
}

bool WINNLSGetEnableStatus(HWND Wnd) {
  HIMC imc = ImmGetContext(Wnd);
  return imc && imc->Enabled;
}

}  // namespace rid
