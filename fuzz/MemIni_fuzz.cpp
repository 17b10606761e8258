#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/MemIni.h"

// Any bytes parse; what is written reads back to the same file, and a value written through the
// interface under a name that is not refused reads back, from memory and from the file, as it was
// written without its CR and LF bytes and the blanks around it.
namespace {

// Value as the file keeps it.
std::string Stored(std::string Value) {
  std::erase_if(Value, [](char C) { return C == '\r' || C == '\n'; });
  const size_t first = Value.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return Value.substr(first, Value.find_last_not_of(" \t") + 1 - first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string in(reinterpret_cast<const char*>(Data), Size);
  rid::TMemIni ini("");
  ini.SetText(in);
  std::string text = ini.GetText();
  rid::TMemIni again("");
  again.SetText(text);
  if (again.GetText() != text) abort();

  // The input's halves as a name and a value: a name is refused, or it reads back from the file.
  std::string name = in.substr(0, in.size() / 2), value = in.substr(in.size() / 2);
  try {
    again.WriteString("Fuzz", name, value);
  } catch (const rid::EIniNameError&) {
    if (again.GetText() != text) abort();
    return 0;
  }
  std::string stored = again.ReadString("Fuzz", name, "\x01missing");
  if (stored != Stored(value)) abort();
  rid::TMemIni third("");
  third.SetText(again.GetText());
  if (third.GetText() != again.GetText()) abort();
  if (third.ReadString("Fuzz", name, "\x01missing") != stored) abort();
  return 0;
}
