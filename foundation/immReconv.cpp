#include "foundation/immReconv.h"

namespace rid {

namespace {

void PutDword(std::string& Out, size_t At, uint32_t V) {
  for (int i = 0; i < 4; ++i) Out[At + i] = static_cast<char>(V >> (8 * i) & 0xFF);
}

}  // namespace

std::string MakeReconvertRecord(std::string_view Text) {
  const uint32_t len = static_cast<uint32_t>(Text.size());
  std::string record(Text.size() + 34, '\0');
  const uint32_t fields[8] = {32, 0, len + 1, 32, len, 0, len, 0};
  for (int i = 0; i < 8; ++i) PutDword(record, 4 * i, fields[i]);
  record.replace(32, Text.size(), Text);
  return record;
}

// Of the three ways in (the MS-IME request message, the composition string, the ATOK library),
// this platform has only the input context, so the record always goes there.
void ImeReconvert(HWND Window, std::string_view Text) {
  HWND ime = Window ? ImmGetDefaultIMEWnd(Window) : nullptr;
  if (!ime) return;
  HIMC imc = ImmGetContext(ime);
  if (!imc) return;
  const std::string record = MakeReconvertRecord(Text);
  ImmSetCompositionStringA(imc, SCS_SETRECONVERTSTRING, record.data(),
                           static_cast<uint32_t>(record.size()), nullptr, 0);
  ImmReleaseContext(ime, imc);
}

}  // namespace rid
