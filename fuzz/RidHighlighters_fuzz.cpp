// Scans arbitrary bytes with every registered highlighter class (a new language is fuzzed as
// soon as its unit registers its class) and with the program's multi-language set-ups. The
// first byte picks the highlighter, the second the range the first line starts from; each
// LF-separated piece after them is a line, scanned from the range the line before left. The
// scanner must stay inside the line, move forward on every step, cover the line with its
// tokens and never start or end one inside a double-byte character.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "app/EderHighlighters.h"
#include "editor/RidEderHighlighter.h"
#include "fuzz/FuzzSupport.h"
#include "highlighters/RidHighlighterMulti.h"
#include "platform/Locale.h"

namespace {

using rid::fuzz::Check;
using rid::fuzz::IsCharStart;

std::vector<rid::TRidCustomHighlighter*>& Highlighters() {
  static auto* all = [] {
    auto* v = new std::vector<rid::TRidCustomHighlighter*>;
    const rid::TRidHighlighterList& classes = rid::GetPlaceableHighlighters();
    for (int32_t i = 0; i < classes.Count(); ++i) v->push_back(classes[i]->Create(nullptr));
    auto* program = new rid::TEderHighlighters();
    v->push_back(program->Cgi());
    v->push_back(program->Page());
    return v;
  }();
  return *all;
}

void ScanLine(rid::TRidCustomHighlighter& H, std::string_view Text) {
  H.SetLine(Text, 0);
  size_t pos = 0, steps = 0;
  while (!H.GetEol()) {
    const std::string_view token = H.GetTokenView();
    Check(static_cast<size_t>(H.GetTokenPos()) == pos && !token.empty());
    Check(token.data() == Text.data() + pos && pos + token.size() <= Text.size());
    Check(IsCharStart(Text, pos) && IsCharStart(Text, pos + token.size()));
    pos += token.size();
    H.Next();
    Check(++steps <= 2 * Text.size() + 4);
  }
  Check(pos == Text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  auto& all = Highlighters();
  if (Size < 2 || all.empty()) return 0;
  rid::TRidCustomHighlighter& h = *all[Data[0] % all.size()];
  rid::TRidRange range = Data[1];
  size_t start = 2;
  while (start <= Size) {
    size_t end = start;
    while (end < Size && Data[end] != '\n') ++end;
    // Each line in a buffer of its exact size, so a read past it is caught.
    const size_t len = end - start;
    std::unique_ptr<char[]> line(new char[len]);
    if (len) std::memcpy(line.get(), Data + start, len);
    h.SetRange(range);
    ScanLine(h, std::string_view(line.get(), len));
    range = h.GetRange();
    start = end + 1;
  }
  return 0;
}
