#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/MemIni.h"

// Any bytes parse; what is written reads back to the same file, and a value written through the
// interface reads back cleaned of line breaks without adding a section.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string in(reinterpret_cast<const char*>(Data), Size);
  rid::TMemIni ini("");
  ini.SetText(in);
  std::string text = ini.GetText();
  rid::TMemIni again("");
  again.SetText(text);
  if (again.GetText() != text) abort();

  // The input's halves as a name and a value.
  std::string name = in.substr(0, in.size() / 2), value = in.substr(in.size() / 2);
  again.WriteString("Fuzz", name, value);
  std::string stored = again.ReadString("Fuzz", name, "\x01missing");
  if (stored.find_first_of("\r\n") != std::string::npos) abort();
  rid::TMemIni third("");
  third.SetText(again.GetText());
  // A name that itself looks like a section, a comment or an entry cannot be stored as such.
  bool plain_name = name.find_first_of("[;=") == std::string::npos;
  if (plain_name && third.GetText() != again.GetText()) abort();
  if (plain_name && third.ReadString("Fuzz", name, "\x01missing") != stored) abort();
  return 0;
}
