#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/RidEderKeyStrokeStore.h"

// Any line either reads as a binding, which then writes back to a line that reads the same,
// or is refused.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string Text(reinterpret_cast<const char*>(Data), Size);
  rid::TRidEderKeyStrokes Keys;
  rid::TRidEderKeyStroke* Key = Keys.Add();
  if (!rid::TextToKeyStroke(Text, *Key)) return 0;
  rid::TRidEderKeyStroke* Again = Keys.Add();
  if (!rid::TextToKeyStroke(rid::KeyStrokeToText(*Key), *Again)) abort();
  if (Again->GetShortCut() != Key->GetShortCut() || Again->GetShortCut2() != Key->GetShortCut2() ||
      Again->GetCommand() != Key->GetCommand())
    abort();
  return 0;
}
