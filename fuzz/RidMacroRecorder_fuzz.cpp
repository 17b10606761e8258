#include <cstdint>
#include <string>
#include <string_view>

#include "editor/RidMacroRecorder.h"
#include "fuzz/FuzzSupport.h"

// Any bytes either load as a macro or raise EReadError. What loads saves, and what it saves
// loads back to the same bytes; each event's text form reads back to the same text.
namespace {

using rid::fuzz::Check;

std::string Saved(const rid::TCustomRidMacroRecorder& R) {
  rid::TMemoryStream s;
  R.SaveToStream(&s);
  return std::string(s.Bytes());
}

bool Load(rid::TCustomRidMacroRecorder& R, std::string_view Bytes) {
  rid::TMemoryStream s;
  s.WriteBuffer(Bytes);
  s.SetPosition(0);
  try {
    R.LoadFromStream(&s);
  } catch (const rid::EReadError&) {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static rid::TRidMacroRecorder R(nullptr), Again(nullptr);
  if (!Load(R, std::string_view(reinterpret_cast<const char*>(Data), Size))) return 0;
  const std::string saved = Saved(R);
  Check(Load(Again, saved));
  Check(Saved(Again) == saved);
  for (int32_t i = 0; i < R.GetEventCount(); ++i) {
    rid::TRidMacroEvent* e = R.GetEvents(i);
    if (e->GetRepeatCount() == 0) continue;  // a count the text form cannot show
    const std::string text = e->AsString();
    e->ParseParameters(std::string_view(text).substr(text.find(' ') + 1));
    Check(e->AsString() == text);
  }
  return 0;
}
