#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/libCodec.h"

// Any text either decodes or raises ECodecError; whatever decodes survives a round trip.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string in(reinterpret_cast<const char*>(Data), Size);
  std::string out;
  try {
    out = rid::BinHexDecode(in);
  } catch (const rid::ECodecError&) {
    return 0;
  }
  if (rid::BinHexDecode(rid::BinHexEncode(out, "\n")) != out) abort();
  return 0;
}
