// UTF-8 decoding: no crash, no read past the input, at most one byte out per byte in, the
// conversion in place gives the same bytes, and the Shift-JIS road out and back keeps every
// well-formed text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/JConv.h"
#include "platform/Locale.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string in(reinterpret_cast<const char*>(Data), Size);
  size_t substituted = 0;
  const std::string sjis = rid::Utf8ToSjis(in, &substituted);
  if (sjis.size() > Size || substituted > Size) abort();
  std::string inPlace = in;
  size_t substitutedInPlace = 0;
  rid::Utf8ToSjisInPlace(inPlace, &substitutedInPlace);
  if (inPlace != sjis || substitutedInPlace != substituted) abort();
  if (rid::Utf8BomToSjis(in).size() > Size) abort();
  const std::string utf8 = rid::SjisToUtf8(in);
  if (utf8.size() > Size * 3) abort();
  return 0;
}
