#include <QApplication>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "editor/RidMacroRecorder.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/MacroFuzzSupport.h"

// Any text parses as the parameters of an event of each kind: the event's text form then reads
// back to the same text, with a repeat count of 1 to 255. Saved as a macro of that one event and
// loaded, the event plays into an editor holding a file as the window plays it: nothing unsaved
// is lost without a trace, undo takes every step back to the file and redo plays them again (see
// CheckPlayback).
//
// Input: a byte whose low two bits choose the kind (a command without data, a typed character,
// a text, a command with a place); for the first and the last kind a byte choosing its command
// among every command of the key-command table of that kind; the parameters' text up to a 0 byte
// (or the end); the bytes after that 0 byte are the file.
namespace {

using namespace rid;

// The event saved as a macro of its own.
std::string AsMacro(const TRidMacroEvent& E) {
  TMemoryStream s;
  const uint8_t one[] = {1, 0, 0, 0};
  s.WriteBuffer(one, 4);
  E.SaveToStream(&s);
  return std::string(s.Bytes());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication App(*Argc, *Argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  rid::fuzz::TReader in{std::string_view(reinterpret_cast<const char*>(Data), Size)};
  static const std::vector<TRidEderorCommand> basic = script::MacroCommands(false),
                                              placed = script::MacroCommands(true);
  const uint8_t kind = in.Byte();
  const uint8_t command = kind % 4 == 0 || kind % 4 == 3 ? in.Byte() : 0;
  const std::string_view rest = in.Rest();
  const size_t end = std::min(rest.find('\0'), rest.size());
  const std::string_view params = rest.substr(0, end),
                         file = rest.substr(std::min(end + 1, rest.size()));
  std::unique_ptr<TRidMacroEvent> e;
  switch (kind % 4) {
    case 0:
      e = std::make_unique<TRidBasicEvent>();
      e->Initialize(basic[command % basic.size()], '\0', nullptr);
      break;
    case 1:
      e = std::make_unique<TRidCharEvent>();
      break;
    case 2:
      e = std::make_unique<TRidStringEvent>();
      break;
    default:
      e = std::make_unique<TRidPositionEvent>();
      e->Initialize(placed[command % placed.size()], '\0', nullptr);
  }
  e->ParseParameters(params);
  rid::fuzz::Check(e->GetRepeatCount() >= 1);
  const std::string text = e->AsString();
  e->ParseParameters(std::string_view(text).substr(text.find(' ') + 1));
  rid::fuzz::Check(e->AsString() == text);

  static TRidMacroRecorder R(nullptr);
  TMemoryStream macro;
  macro.WriteBuffer(AsMacro(*e));
  macro.SetPosition(0);
  R.LoadFromStream(&macro);
  rid::fuzz::Check(R.GetEventCount() == 1 && R.GetEvents(0)->AsString() == text);
  rid::fuzz::CheckPlayback(R, file);
  return 0;
}
