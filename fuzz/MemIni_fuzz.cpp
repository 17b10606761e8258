#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/MemIni.h"
#include "platform/Locale.h"

// Any bytes parse; what is written reads back to the same file, and a value written through the
// interface under a name that is not refused reads back, from memory and from the file, as it was
// written without its CR and LF bytes and the blanks around it. The input's own sections and
// entries, as a plain reading of the reader's rules (MemIni.h) takes them, read so from the input
// and again from the file written: each section is there, its values in file order, and each
// name's value (the first section and the first entry of a name counting).
//
// Input: the file's bytes.
namespace {

std::string_view Trim(std::string_view S) {
  const size_t first = S.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return S.substr(first, S.find_last_not_of(" \t") + 1 - first);
}

// Value as the file keeps it.
std::string Stored(std::string Value) {
  std::erase_if(Value, [](char C) { return C == '\r' || C == '\n'; });
  return std::string(Trim(Value));
}

// The section name of the text after a '[': up to the first ']' that is a character of its own,
// blanks trimmed, and a lone lead byte left at its end dropped (written back, it would take the
// ']' for its trail byte).
std::string SectionName(std::string_view S) {
  size_t end = 0;
  while (end < S.size() && S[end] != ']') end += rid::IsDBCSLeadByte(S[end]) ? 2 : 1;
  std::string name(Trim(S.substr(0, end)));
  for (;;) {
    size_t last = 0;
    for (size_t i = 0; i < name.size(); i += rid::IsDBCSLeadByte(name[i]) ? 2 : 1) last = i;
    if (name.empty() || last + 1 != name.size() || !rid::IsDBCSLeadByte(name[last])) return name;
    name = std::string(Trim(std::string_view(name).substr(0, last)));
  }
}

struct TEntry {
  std::string Name, Value;
};
struct TSection {
  std::string Name;
  std::vector<TEntry> Entries;  // every name=value line, in file order
};

// The sections of Text, the first of each name only.
std::vector<TSection> Sections(std::string_view Text) {
  std::vector<TSection> all;
  for (size_t at = 0; at < Text.size();) {
    const size_t end = std::min(Text.find_first_of("\r\n", at), Text.size());
    const std::string_view line = Trim(Text.substr(at, end - at));
    at = Text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (line.front() == '[')
      all.push_back({SectionName(line.substr(1)), {}});
    else if (!all.empty() && line.front() != ';' && eq != std::string_view::npos)
      all.back().Entries.push_back(
          {std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1)))});
  }
  std::vector<TSection> first;
  for (TSection& s : all) {
    bool seen = false;
    for (const TSection& f : first) seen = seen || rid::AnsiSameText(f.Name, s.Name);
    if (!seen) first.push_back(std::move(s));
  }
  return first;
}

void CheckEntries(const rid::TMemIni& Ini, const std::vector<TSection>& Sections) {
  rid::TStringList values;
  for (const TSection& s : Sections) {
    if (!Ini.SectionExists(s.Name)) abort();
    Ini.ReadStrings(s.Name, &values);
    if (values.GetCount() != static_cast<int32_t>(s.Entries.size())) abort();
    for (size_t i = 0; i < s.Entries.size(); ++i) {
      if (values.Get(static_cast<int32_t>(i)) != s.Entries[i].Value) abort();
      // The first entry of its name gives the value.
      bool first = true;
      for (size_t k = 0; k < i; ++k)
        first = first && !rid::AnsiSameText(s.Entries[k].Name, s.Entries[i].Name);
      if (first && Ini.ReadString(s.Name, s.Entries[i].Name, "\x01missing") != s.Entries[i].Value)
        abort();
    }
  }
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
  const std::vector<TSection> sections = Sections(in);
  CheckEntries(ini, sections);
  CheckEntries(again, sections);

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
