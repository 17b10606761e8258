#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/RidCompletionProposal.h"
#include "platform/Locale.h"

namespace {

// The text with every backslash that is a character of its own doubled: markup for exactly
// that text.
std::string Escape(const std::string& S) {
  std::string out;
  for (size_t i = 0; i < S.size(); ++i) {
    const bool dbcs = rid::IsDBCSLeadByte(S[i]) && i + 1 < S.size();
    if (dbcs) {
      out.append(S, i++, 2);
      continue;
    }
    if (S[i] == '\\') out += '\\';
    out += S[i];
  }
  return out;
}

}  // namespace

// Any bytes parse into chunks; the text they hold, escaped again, parses back to itself with
// no command in it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string in(reinterpret_cast<const char*>(Data), Size);
  rid::TFormatChunkList chunks;
  rid::ParseFormatChunks(in, chunks, {});
  std::string text;
  for (int32_t i = 0; i < chunks.Count(); ++i) {
    const rid::TFormatChunk& c = chunks.Chunks(i);
    if (c.Command != rid::fkText) continue;
    if (c.Str.empty()) abort();
    text += c.Str;
  }
  if (rid::StripFormatting(in) != text) abort();
  rid::TFormatChunkList again;
  if (!rid::ParseFormatChunks(Escape(text), again, {})) abort();
  std::string back;
  for (int32_t i = 0; i < again.Count(); ++i) {
    if (again.Chunks(i).Command != rid::fkText) abort();
    back += again.Chunks(i).Str;
  }
  if (back != text) abort();
  // Bolding any item of the text keeps its characters whole.
  const std::string bold = rid::BoldParameter(text, static_cast<int32_t>(Size % 5) - 1);
  if (rid::StripFormatting(bold).size() > bold.size()) abort();
  return 0;
}
