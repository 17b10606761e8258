// Scans arbitrary bytes as Perl lines: the scanner must stay inside the line, move forward on
// every step, cover the line with its tokens and never start one on a trail byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "highlighters/RidHighlighterPerl.h"
#include "platform/Locale.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static rid::TRidPerlRid h(nullptr);
  // Each LF-separated piece is a line of its own, in a buffer of its exact size.
  size_t start = 0;
  while (start <= Size) {
    size_t end = start;
    while (end < Size && Data[end] != '\n') ++end;
    const size_t len = end - start;
    std::unique_ptr<char[]> line(new char[len]);
    if (len) std::memcpy(line.get(), Data + start, len);
    const std::string_view text(line.get(), len);

    h.SetLine(text, 0);
    size_t pos = 0, steps = 0;
    while (!h.GetEol()) {
      const std::string_view token = h.GetTokenView();
      Check(static_cast<size_t>(h.GetTokenPos()) == pos && !token.empty());
      Check(token.data() == text.data() + pos && pos + token.size() <= len);
      const auto first = static_cast<uint8_t>(text[pos]);
      // A character's trail byte never opens a token: the token before it took it along.
      if (pos > 0 && rid::IsDBCSTrailByte(first)) {
        size_t i = 0;
        while (i < pos) {
          i += (rid::IsDBCSLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < len &&
                rid::IsDBCSTrailByte(static_cast<uint8_t>(text[i + 1])))
                   ? 2
                   : 1;
        }
        Check(i == pos);
      }
      pos += token.size();
      h.Next();
      Check(++steps <= 2 * len + 4);
    }
    Check(pos == len);
    start = end + 1;
  }
  return 0;
}
