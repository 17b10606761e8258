#include <QApplication>
#include <cstdint>
#include <string>
#include <string_view>

#include "editor/RidMacroRecorder.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/MacroFuzzSupport.h"

// Any bytes either load as a macro or raise EReadError. What loads saves, and what it saves
// loads back to the same bytes; each event's text form reads back to the same text. The macro
// then plays into an editor holding a file, as the window plays it: nothing unsaved is lost
// without a trace, undo takes every step back to the file and redo plays them again (see
// CheckPlayback).
//
// Input: a macro as a file holds it (a count of events, then the events); the bytes after its
// last event are the file it plays into.
namespace {

using rid::fuzz::Check;

std::string Saved(const rid::TCustomRidMacroRecorder& R) {
  rid::TMemoryStream s;
  R.SaveToStream(&s);
  return std::string(s.Bytes());
}

// Loads R from the front of Bytes; Rest gets the bytes after the macro.
bool Load(rid::TCustomRidMacroRecorder& R, std::string_view Bytes,
          std::string_view* Rest = nullptr) {
  rid::TMemoryStream s;
  s.WriteBuffer(Bytes);
  s.SetPosition(0);
  try {
    R.LoadFromStream(&s);
  } catch (const rid::EReadError&) {
    return false;
  }
  if (Rest) *Rest = Bytes.substr(static_cast<size_t>(s.GetPosition()));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication App(*Argc, *Argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static rid::TRidMacroRecorder R(nullptr), Again(nullptr);
  std::string_view file;
  if (!Load(R, std::string_view(reinterpret_cast<const char*>(Data), Size), &file)) return 0;
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
  rid::fuzz::CheckPlayback(Again, file);  // the events as loaded
  return 0;
}
