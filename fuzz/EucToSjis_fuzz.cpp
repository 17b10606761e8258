// EUC-JP decoding and encoding: no crash, no read past the input, bounded output, and a text
// that converts without substitution and ends on a whole character comes back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/JConv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string in(reinterpret_cast<const char*>(Data), Size);
  size_t substituted = 0;
  const std::string sjis = rid::EucToSjis(in, &substituted);
  if (sjis.size() > Size || substituted > Size) abort();
  substituted = 0;
  const std::string euc = rid::SjisToEuc(in, &substituted);
  if (euc.size() > Size * 2) abort();
  if (substituted == 0 && (Size == 0 || !rid::IsDBCSLeadByte(in.back())) &&
      rid::EucToSjis(euc) != in)
    abort();
  return 0;
}
