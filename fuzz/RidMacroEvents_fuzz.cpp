#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "editor/RidMacroRecorder.h"
#include "fuzz/FuzzSupport.h"

// Any text parses as the parameters of an event of each kind (the first byte chooses it): the
// event's text form then reads back to the same text, with a repeat count of 1 to 255.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  rid::fuzz::TReader in{std::string_view(reinterpret_cast<const char*>(Data), Size)};
  std::unique_ptr<rid::TRidMacroEvent> e;
  switch (in.Byte() % 4) {
    case 0:
      e = std::make_unique<rid::TRidBasicEvent>();
      e->Initialize(rid::ecDeleteWord, '\0', nullptr);
      break;
    case 1:
      e = std::make_unique<rid::TRidCharEvent>();
      break;
    case 2:
      e = std::make_unique<rid::TRidStringEvent>();
      break;
    default:
      e = std::make_unique<rid::TRidPositionEvent>();
      e->Initialize(rid::ecSelGotoXY, '\0', nullptr);
  }
  e->ParseParameters(in.Rest());
  rid::fuzz::Check(e->GetRepeatCount() >= 1);
  const std::string text = e->AsString();
  e->ParseParameters(std::string_view(text).substr(text.find(' ') + 1));
  rid::fuzz::Check(e->AsString() == text);
  return 0;
}
