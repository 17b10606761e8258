// Code detection: no crash, no read past the input, results within their ranges.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/JCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view in(reinterpret_cast<const char*>(Data), Size);
  const rid::JCodeKind j = rid::DetectJCode(in);
  if (j < 0 || j > 6) abort();
  const rid::JCodeKind c = rid::DetectCharCode(in);
  if (c < 0 || c > 10) abort();
  return 0;
}
