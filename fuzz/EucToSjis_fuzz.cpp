// EUC-JP decoding and encoding: no crash, no read past the input, bounded output; a text that
// converts without substitution comes back unchanged, and EUC-JP read without substitution saves
// back byte for byte unless the save counts what it cannot write.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/JConv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string in(reinterpret_cast<const char*>(Data), Size);
  size_t substituted = 0;
  const std::string sjis = rid::EucToSjis(in, &substituted);
  if (sjis.size() > Size || substituted > Size) abort();
  if (substituted == 0) {
    size_t unwritable = 0;
    if (rid::SjisToEuc(sjis, &unwritable) != in && unwritable == 0) abort();
  }
  substituted = 0;
  const std::string euc = rid::SjisToEuc(in, &substituted);
  if (euc.size() > Size * 2) abort();
  if (substituted == 0 && rid::EucToSjis(euc) != in) abort();
  return 0;
}
