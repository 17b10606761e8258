// JIS decoding and encoding: no crash, no read past the input, bounded output, and every text
// without escapes or half-width katakana comes back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/JConv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string in(reinterpret_cast<const char*>(Data), Size);
  if (rid::JisToSjis(in).size() > Size) abort();
  const std::string jis = rid::SjisToJis(in);
  if (jis.size() > Size * 5 + 3) abort();
  bool plain = true;
  for (unsigned char c : in) plain = plain && c != 0x1B && !(c >= 0xA1 && c <= 0xDF);
  if (plain && rid::JisToSjis(jis) != in) abort();
  return 0;
}
