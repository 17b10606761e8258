// JIS decoding and encoding: no crash, no read past the input, bounded output, every text
// without escapes or half-width katakana comes back unchanged, and a text read without
// substitution saves to JIS that reads as the same text unless the save counts what it cannot
// write (an escape byte of the text's own among it).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/JConv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string in(reinterpret_cast<const char*>(Data), Size);
  size_t substituted = 0, unwritable = 0;
  const std::string read = rid::JisToSjis(in, &substituted);
  if (read.size() > Size || substituted > Size) abort();
  const std::string saved = rid::SjisToJis(read, &unwritable);
  if (substituted == 0 && unwritable == 0 && rid::JisToSjis(saved) != read) abort();
  const std::string jis = rid::SjisToJis(in);
  if (jis.size() > Size * 5 + 3) abort();
  bool plain = true;
  for (unsigned char c : in) plain = plain && c != 0x1B && !(c >= 0xA1 && c <= 0xDF);
  if (plain && rid::JisToSjis(jis) != in) abort();
  return 0;
}
