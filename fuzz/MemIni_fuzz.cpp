#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/MemIni.h"

// Any bytes parse; what is written reads back to the same file, and a value written through the
// interface under a name that is not refused reads back cleaned of line breaks from the file.
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
  if (stored.find_first_of("\r\n") != std::string::npos) abort();
  rid::TMemIni third("");
  third.SetText(again.GetText());
  if (third.GetText() != again.GetText()) abort();
  if (third.ReadString("Fuzz", name, "\x01missing") != stored) abort();
  return 0;
}
