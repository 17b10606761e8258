// UTF-16 decoding in both byte orders: no crash, no read past the input, at most one byte out
// per byte in; the first input byte picks the order.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/JConv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const bool bigEndian = Data[0] & 1;
  const std::string in(reinterpret_cast<const char*>(Data + 1), Size - 1);
  size_t substituted = 0;
  const std::string sjis = rid::Utf16ToSjis(in, bigEndian, &substituted);
  if (sjis.size() > in.size() || substituted > in.size()) abort();
  const std::string utf16 = bigEndian ? rid::ConvertToUtf16BE(in) : rid::ConvertToUtf16LE(in);
  if (utf16.size() > 2 + in.size() * 2) abort();
  return 0;
}
