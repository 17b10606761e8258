#include "platform/Imm.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QWidget>
#include <algorithm>
#include <cstring>

#include "platform/Controls.h"

namespace rid {

namespace {

// Lets the system's input method know where the composition goes and in which font.
void InputMethodChanged(HIMC Imc) {
  if (!Imc || !Imc->Window || !qApp) return;
  QWidget* client = Imc->Window->ClientWidget();
  if (client && client->hasFocus())
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImFont | Qt::ImEnabled);
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
    // Qt offers no reconversion request; the record is kept for the input method to read.
    if (!Comp || CompLen == 0) return false;
    Imc->ReconvertRecord.assign(static_cast<const char*>(Comp), CompLen);
    return true;
  }
  return false;
}

bool ImmGetOpenStatus(HIMC Imc) { return Imc && Imc->Open; }

bool ImmSetOpenStatus(HIMC Imc, bool Open) {
  if (!Imc) return false;
  if (Imc->Open != Open) {
    Imc->Open = Open;
    Notify(Imc, IMN_SETOPENSTATUS);
  }
  return true;
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

uintptr_t GetKeyboardLayout(uint32_t) { return 0x04110411; }

bool WINNLSEnableIME(HWND Wnd, bool Enable) {
  HIMC imc = ImmGetContext(Wnd);
  if (!imc) return false;
  const bool old = imc->Enabled;
  imc->Enabled = Enable;
  if (QWidget* client = Wnd->ClientWidget()) client->setAttribute(Qt::WA_InputMethodEnabled, Enable);
  InputMethodChanged(imc);
  return old;
}

bool WINNLSGetEnableStatus(HWND Wnd) {
  HIMC imc = ImmGetContext(Wnd);
  return imc && imc->Enabled;
}

}  // namespace rid
