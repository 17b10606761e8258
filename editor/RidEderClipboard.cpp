// The clipboard: plain text for everyone, and a private block that also carries the selection
// mode, so a line or column selection pastes back the way it was copied.
#include <algorithm>
#include <cstring>
#include <string>

#include "editor/RidEder.h"
#include "platform/Clipboard.h"

namespace rid {

namespace {

// Registered at start-up so every editor in the process shares the number.
const uint32_t RegisteredAtStartUp = RidEderClipboardFormat();

// Closes the clipboard however the paste or copy ends.
struct TClipboardOpen {
  TClipboardOpen() { Clipboard()->Open(); }
  ~TClipboardOpen() { Clipboard()->Close(); }
};

// The private block, which any program may have put there: its mode (an unknown one pastes as
// normal text) and its text, the bytes as they were copied: all before the block's closing NUL,
// NUL bytes and lead bytes alone among them. A block without that NUL ends its text at its first
// NUL. False when there is none.
bool ReadBlock(const TClipboard& Clip, TRidSelectionMode& Mode, std::string& Text) {
  std::string block;
  if (!Clip.GetBuffer(RidEderClipboardFormat(), block) || block.empty()) return false;
  const auto m = static_cast<uint8_t>(block[0]);
  Mode = m <= smColumn ? static_cast<TRidSelectionMode>(m) : smNormal;
  const size_t end =
      block.size() > 1 && block.back() == '\0' ? block.size() - 1 : block.find('\0', 1);
  Text = block.substr(1, end - 1);
  return true;
}

}  // namespace

uint32_t RidEderClipboardFormat() {
  static const uint32_t Format = RegisterClipboardFormat("RidEder Control Block Type");
  return Format;
}

void TCustomRidEder::SetClipboardText(const std::string& Text) {
  TClipboard* clip = Clipboard();
  bool placed;
  {
    TClipboardOpen open;
    clip->Clear();
    placed = clip->SetBuffer(CF_TEXT, Text);
    if (placed) {
      std::string block(1, static_cast<char>(FActiveSelectionMode));
      block += Text;
      block += '\0';
      clip->SetBuffer(RidEderClipboardFormat(), block);
    }
  }
  if (!placed) throw ERidEderError("Clipboard copy operation failed");
}

void TCustomRidEder::CopyToClipboard() {
  if (!SelAvail()) return;
  std::string text;
  {
    // Short rows of a column block keep their padding on the clipboard.
    const bool untrim = FActiveSelectionMode == smColumn;
    TTempOption trim(*this, eoTrimTrailingSpaces,
                     untrim ? false : FOptions.Contains(eoTrimTrailingSpaces));
    text = GetSelText();
  }
  TClipboardOpen open;  // one update, with what OnCopyFormats adds
  SetClipboardText(text);
  if (OnCopyFormats) OnCopyFormats(this, text);
}

void TCustomRidEder::CutToClipboard() {
  if (GetReadOnly() || !SelAvail()) return;
  TRidUndoBlock block(*this);
  SetClipboardText(GetSelText());
  SetSelText("");
}

bool TCustomRidEder::CanPaste() {
  return !GetReadOnly() &&
         (Clipboard()->HasFormat(CF_TEXT) || Clipboard()->HasFormat(RidEderClipboardFormat()));
}

void TCustomRidEder::PasteFromClipboard() {
  if (!CanPaste()) return;
  TClipboard* clip = Clipboard();
  DoOnPaintTransient(0);
  try {
    TRidUndoBlock undoBlock(*this);
    TRidPaintLock lock(*this);
    TClipboardOpen open;
    TRidSelectionMode mode = FActiveSelectionMode;
    std::string text;
    if (!ReadBlock(*clip, mode, text)) {
      if (!clip->HasFormat(CF_TEXT)) throw ERidEderError("Clipboard paste operation failed.");
      if (!SelAvail()) FActiveSelectionMode = FSelectionMode;
      mode = FActiveSelectionMode;
      text = clip->GetAsText();
    }
    // Nothing to put in and nothing to replace: no marker either, which would mark the page
    // modified and could push the oldest step over the limit.
    if (!text.empty() || SelAvail()) {
      // The marker alone keeps the redo list: a paste that changes nothing takes it back.
      FUndoList->SetInsideUndo(true);
      FUndoList->AddChange(urPasteBegin, FBlockBegin, FBlockEnd, "", smNormal);
      FUndoList->SetInsideUndo(false);
      ReplaceSelectionRecorded(mode, text, urInsertText);
      // A paste that changed nothing leaves no empty step to undo, and the page as it was.
      if (FUndoList->LastChangeReason() == urPasteBegin) {
        FUndoList->PopItem();
        UpdateModifiedStatus();
      } else {
        FUndoList->AddChange(urPasteEnd, FBlockBegin, FBlockEnd, "", smNormal);
      }
    }
  } catch (...) {
    DoOnPaintTransient(1);
    throw;
  }
  if (FOptions.Contains(eoHideShowScrollbars)) UpdateScrollBars();
  EnsureCursorPosVisible();
  StatusChanged({scSelection});
  DoOnPaintTransient(1);
}

void TCustomRidEder::TextMessage(TMessage& Msg) {
  Msg.Result = 0;
  switch (Msg.Msg) {
    case WM_COPY:
      CopyToClipboard();
      Msg.Result = 1;
      break;
    case WM_CUT:
      if (!GetReadOnly()) CutToClipboard();
      Msg.Result = 1;
      break;
    case WM_PASTE:
      if (!GetReadOnly()) PasteFromClipboard();
      Msg.Result = 1;
      break;
    case WM_CLEAR:
      if (!GetReadOnly()) SetSelText("");
      break;
    case WM_UNDO:
      Undo();
      Msg.Result = 1;
      break;
    case WM_GETTEXT: {
      // At most size - 1 bytes and a NUL; nothing at all into a buffer of size 0.
      const size_t size = Msg.WParam;
      if (size == 0 || Msg.LParam == 0) break;
      const std::string text = GetText();
      const size_t n = std::min(text.size(), size - 1);
      char* dest = reinterpret_cast<char*>(Msg.LParam);
      std::memcpy(dest, text.data(), n);
      dest[n] = '\0';
      Msg.Result = static_cast<intptr_t>(n);
      break;
    }
    case WM_GETTEXTLENGTH:
      Msg.Result = FDestroying ? 0 : static_cast<intptr_t>(GetTextLength());
      break;
    case WM_SETTEXT:
      SetText(Msg.LParam ? reinterpret_cast<const char*>(Msg.LParam) : "");
      Msg.Result = -1;
      break;
  }
}

size_t TCustomRidEder::GetTextLength() const {
  const int32_t count = FLines->GetCount();
  size_t n = count > 0 ? 2 * size_t(count - 1) : 0;
  for (int32_t i = 0; i < count; ++i) n += FLines->GetView(i).size();
  return n;
}

}  // namespace rid
