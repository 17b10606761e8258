#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Classes.h"

class QMimeData;

namespace rid {

// The system clipboard. CF_TEXT is the system's plain text, converted between code page 932
// and UTF-8; a registered format name is a MIME type ("RidEder Control Block Type" is
// application/x-rideder-block, "Rich Text Format" text/rtf, "HTML Format" text/html) holding
// bytes as they are.

constexpr uint32_t CF_TEXT = 1;

// The number of a format name (0xC000 and up; the same name, in any ASCII case, gives the same
// number); 0 for an empty name.
uint32_t RegisterClipboardFormat(std::string_view Name);
// The MIME type of a format ("" when unknown).
std::string ClipboardFormatMimeType(uint32_t Format);

class TClipboard : public TPersistent {
 public:
  RID_CLASS_NAME(TClipboard)
  TClipboard();
  ~TClipboard() override;

  // Opening nests; what is set while open reaches the system at the outermost Close, which
  // reports whether every format set is really there.
  bool Open();
  bool Close();
  bool IsOpen() const { return FOpenCount > 0; }
  // Empties the clipboard (while open: the contents being prepared).
  bool Clear();
  bool HasFormat(uint32_t Format) const;
  // Places a block of bytes (CF_TEXT: all of the text, NUL bytes too, as the system's plain
  // text has a length of its own). False when it cannot be placed; the clipboard then keeps what
  // it had.
  bool SetBuffer(uint32_t Format, std::string_view Data);
  // The block of a format; false when the clipboard has none.
  bool GetBuffer(uint32_t Format, std::string& Data) const;
  // CF_TEXT as code page 932; characters without a 932 form become '?' and are counted in
  // LastTextLoss, so a lossy paste can be told from a clean one.
  std::string GetAsText() const;
  bool SetAsText(std::string_view Text) { return SetBuffer(CF_TEXT, Text); }
  size_t LastTextLoss() const { return FLastTextLoss; }

 private:
  const QMimeData* Current() const;
  int FOpenCount = 0;
  std::unique_ptr<QMimeData> FPending;  // contents being prepared while open
  bool FFailed = false;
  mutable size_t FLastTextLoss = 0;
};

TClipboard* Clipboard();

}  // namespace rid
