#include "foundation/MemIni.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "platform/Locale.h"

namespace rid {

namespace {

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

// Blanks are never trail bytes, so trimming from either end is safe on Shift-JIS text.
std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

// What may be stored: no CR or LF, no blanks around.
std::string Clean(std::string_view S) {
  std::string out;
  out.reserve(S.size());
  for (char c : S)
    if (c != '\r' && c != '\n') out += c;
  return std::string(Trim(out));
}

// The first ']' that stands as a character of its own, or npos.
size_t FindCloseBracket(std::string_view S) {
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] == ']') return i;
    if (IsDBCSLeadByte(S[i]) && i + 1 < S.size()) ++i;
  }
  return std::string_view::npos;
}

// A section name as stored: up to a ']', cleaned, and without a lone lead byte at its end, which
// would take the closing ']' for its trail byte when the file is read again.
std::string SectionName(std::string_view S) {
  std::string name = Clean(S.substr(0, FindCloseBracket(S)));
  for (;;) {
    size_t last = 0;
    for (size_t i = 0; i < name.size(); i += IsDBCSLeadByte(name[i]) ? 2 : 1) last = i;
    if (name.empty() || last != name.size() - 1 || !IsDBCSLeadByte(name[last])) return name;
    name = std::string(Trim(std::string_view(name).substr(0, last)));
  }
}

// Why Name would not read back from the file as the name written, or null when it would.
const char* NameFault(std::string_view Name, bool IsSection) {
  if (Name.find_first_of("\r\n") != std::string_view::npos) return "it holds a line break";
  const std::string_view name = Trim(Name);
  if (name.starts_with('[')) return "it starts with '[', which begins a section";
  if (name.find('=') != std::string_view::npos) return "it holds '=', which ends a key name";
  if (IsSection && FindCloseBracket(name) != std::string_view::npos)
    return "it holds ']', which ends a section name";
  if (!IsSection && name.starts_with(';')) return "it starts with ';', which begins a comment";
  return nullptr;
}

void CheckName(std::string_view Name, bool IsSection) {
  if (const char* fault = NameFault(Name, IsSection))
    throw EIniNameError(std::string("Cannot write the ") + (IsSection ? "section" : "key") +
                        " name \"" + std::string(Name) + "\" to a settings file: " + fault);
}

}  // namespace

TMemIni::TMemIni(const std::string& FileName) : FFileName(FileName) {
  std::error_code ec;
  if (FFileName.empty() || (!std::filesystem::exists(FFileName, ec) && !ec)) return;
  try {
    SetText(LoadBytesFromFile(FFileName));
  } catch (const std::exception& e) {
    FLoadError = e.what();
  }
  FModified = false;
}

TMemIni::~TMemIni() {
  if (!FModified) return;  // an unchanged file is left as it is, read-only or not
  try {
    Save();
  } catch (...) {
  }
}

bool TMemIni::Save(std::string* Error) {
  try {
    if (FFileName.empty()) throw Exception("no file name");
    if (!FLoadError.empty())
      throw Exception("\"" + FFileName + "\" could not be read, so it is kept: " + FLoadError);
    SaveBytesToFileAtomic(FFileName, GetText());
    FModified = false;
    return true;
  } catch (const std::exception& e) {
    if (Error) *Error = e.what();
    return false;
  }
}

void TMemIni::SetText(std::string_view Text) {
  FModified = true;
  FPreamble.clear();
  FSections.clear();
  size_t pos = 0;
  while (pos < Text.size()) {
    size_t end = std::min(Text.find_first_of("\r\n", pos), Text.size());
    std::string_view line = Trim(Text.substr(pos, end - pos));
    pos = end;
    if (pos < Text.size() && Text[pos] == '\r') ++pos;
    if (pos < Text.size() && Text[pos] == '\n') ++pos;

    if (line.empty()) continue;
    if (line.front() == '[') {
      FSections.push_back({SectionName(line.substr(1)), {}});
      continue;
    }
    TIniLine item;
    size_t eq = line.find('=');  // '=' is never a trail byte
    if (line.front() != ';' && eq != std::string_view::npos) {
      item.FIsEntry = true;
      item.FName = Trim(line.substr(0, eq));
      item.FValue = Trim(line.substr(eq + 1));
    } else {
      item.FName = line;
    }
    if (FSections.empty())
      FPreamble.emplace_back(line);
    else
      FSections.back().FLines.push_back(std::move(item));
  }
}

std::string TMemIni::GetText() const {
  std::string out;
  for (const auto& line : FPreamble) out += line + "\r\n";
  for (const auto& section : FSections) {
    out += "[" + section.FName + "]\r\n";
    for (const auto& line : section.FLines) {
      out += line.FName;
      if (line.FIsEntry) out += "=" + line.FValue;
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

const TMemIni::TIniSection* TMemIni::FindSection(std::string_view Section) const {
  for (const auto& s : FSections)
    if (AnsiSameText(s.FName, Section)) return &s;
  return nullptr;
}

TMemIni::TIniSection* TMemIni::FindSection(std::string_view Section) {
  return const_cast<TIniSection*>(std::as_const(*this).FindSection(Section));
}

const TMemIni::TIniLine* TMemIni::FindEntry(const TIniSection& Section, std::string_view Ident) {
  for (const auto& line : Section.FLines)
    if (line.FIsEntry && AnsiSameText(line.FName, Ident)) return &line;
  return nullptr;
}

bool TMemIni::SectionExists(std::string_view Section) const {
  return FindSection(SectionName(Section)) != nullptr;
}

bool TMemIni::ValueExists(std::string_view Section, std::string_view Ident) const {
  const TIniSection* s = FindSection(SectionName(Section));
  return s && FindEntry(*s, Clean(Ident));
}

std::string TMemIni::ReadString(std::string_view Section, std::string_view Ident,
                                std::string_view Default) const {
  const TIniSection* s = FindSection(SectionName(Section));
  const TIniLine* e = s ? FindEntry(*s, Clean(Ident)) : nullptr;
  return e ? e->FValue : std::string(Default);
}

void TMemIni::WriteString(std::string_view Section, std::string_view Ident,
                          std::string_view Value) {
  CheckName(Section, true);
  CheckName(Ident, false);
  std::string section = SectionName(Section), ident = Clean(Ident), value = Clean(Value);
  TIniSection* s = FindSection(section);
  auto* e = s ? const_cast<TIniLine*>(FindEntry(*s, ident)) : nullptr;
  if (e && e->FValue == value) return;
  FModified = true;
  if (!s) s = &FSections.emplace_back(TIniSection{section, {}});
  if (e)
    e->FValue = std::move(value);
  else
    s->FLines.push_back({true, ident, std::move(value)});
}

int32_t TMemIni::ReadInteger(std::string_view Section, std::string_view Ident,
                             int32_t Default) const {
  std::string text = ReadString(Section, Ident, std::to_string(Default));
  std::string_view digits = text;
  if (digits.starts_with('+')) {
    digits.remove_prefix(1);
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return 0;
  }
  int32_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
  return ec == std::errc() && end == digits.data() + digits.size() ? value : 0;
}

void TMemIni::WriteInteger(std::string_view Section, std::string_view Ident, int32_t Value) {
  WriteString(Section, Ident, std::to_string(Value));
}

bool TMemIni::ReadBool(std::string_view Section, std::string_view Ident, bool Default) const {
  return ReadString(Section, Ident, Default ? "1" : "0") != "0";
}

void TMemIni::WriteBool(std::string_view Section, std::string_view Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

void TMemIni::EraseSection(std::string_view Section) {
  // Duplicates go too: otherwise a later one would surface under the name.
  std::string section = SectionName(Section);
  if (std::erase_if(FSections,
                    [&](const TIniSection& s) { return AnsiSameText(s.FName, section); }))
    FModified = true;
}

void TMemIni::WriteStrings(std::string_view Section, TStrings* List, int32_t MaxCount) {
  CheckName(Section, true);
  EraseSection(Section);
  int32_t count = List->GetCount();
  if (MaxCount > 0 && MaxCount < count) count = MaxCount;
  for (int32_t i = 0; i < count; ++i) WriteString(Section, std::to_string(i + 1), List->Get(i));
}

void TMemIni::ReadStrings(std::string_view Section, TStrings* List) const {
  TStringsUpdate update(List);
  List->Clear();
  if (const TIniSection* s = FindSection(SectionName(Section)))
    for (const auto& line : s->FLines)
      if (line.FIsEntry) List->Add(line.FValue);
}

}  // namespace rid
