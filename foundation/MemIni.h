#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"

namespace rid {

// Raised for a section or key name that the settings file could not give back as written.
class EIniNameError : public Exception {
 public:
  using Exception::Exception;
};

// A settings file held in memory: loaded whole when the object is created, read and changed in
// memory, and written back by Save and, after a change, when the object is destroyed.
//
// Reading the file (the rules of the standard Windows ini reader):
// - Lines end in CR LF, LF or CR. Blanks (space, tab) around a line are ignored; blank lines
//   are dropped.
// - "[name]" starts a section; the name is what lies between '[' and the first ']' (found
//   character by character, so a trail byte 0x5D never ends it), blanks trimmed; text after
//   the ']' is ignored. A '[' line without ']' names the section by the rest of the line.
// - "name=value": the name is the text before the first '=', the value the text after it, both
//   with the blanks around them trimmed. Quotes are part of the value.
// - A comment (first character ';'), a line without '=' and every line before the first section
//   are invisible to reads but are kept and written back where they stood.
// - Names compare without regard to ASCII letter case (never folding a byte of a double-byte
//   character). Where a section or a name occurs twice, the first one counts; later ones are
//   kept in the file but never read or written.
//
// Writing: the lines before the first section, then each section as "[name]", its lines and an
// empty line; every line ends in CR LF. Names and values are stored trimmed (reads trim the
// names they are given too); CR and LF are removed from values, so no value can start a line of
// its own. A name that would read back as something else is refused with EIniNameError: one
// that holds CR, LF or '=' or (trimmed) starts with '[' (a section), a key name that starts
// with ';' (a comment), and a section name holding a ']' of its own (the end of the name).

class TMemIni : public TObject {
 public:
  RID_CLASS_NAME(TMemIni)
  // Loads FileName; a missing file gives no sections. With an empty FileName the settings live
  // in memory only (Save fails). A file that exists but cannot be read is
  // never written over (Save fails), so its settings are not lost.
  explicit TMemIni(const std::string& FileName);
  // Saves (see Save) when anything was changed since the load or the last save; a failure is
  // swallowed, since a destructor cannot report it.
  ~TMemIni() override;
  TMemIni(const TMemIni&) = delete;
  TMemIni& operator=(const TMemIni&) = delete;

  // Replaces the file with the content in memory, atomically: on failure (a read-only file
  // included) the old file stays whole. Returns false on failure, with the reason in *Error
  // when given.
  bool Save(std::string* Error = nullptr);

  const std::string& GetFileName() const { return FFileName; }

  std::string ReadString(std::string_view Section, std::string_view Ident,
                         std::string_view Default) const;
  // Raises EIniNameError for a name that would not read back (see above); nothing is changed.
  void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value);
  // A missing key gives Default; a value that is not a decimal integer gives 0.
  int32_t ReadInteger(std::string_view Section, std::string_view Ident, int32_t Default) const;
  void WriteInteger(std::string_view Section, std::string_view Ident, int32_t Value);
  // False only for the value "0" (or a missing key with Default false).
  bool ReadBool(std::string_view Section, std::string_view Ident, bool Default) const;
  void WriteBool(std::string_view Section, std::string_view Ident, bool Value);
  void EraseSection(std::string_view Section);
  bool SectionExists(std::string_view Section) const;
  bool ValueExists(std::string_view Section, std::string_view Ident) const;

  // Erases Section and writes List's items under the keys "1", "2", ...; MaxCount above 0
  // limits the number written to the first MaxCount. A refused section name changes nothing.
  void WriteStrings(std::string_view Section, TStrings* List, int32_t MaxCount);
  // Clears List and fills it with the values of the section's name=value lines in file order.
  void ReadStrings(std::string_view Section, TStrings* List) const;

  // The file's bytes as Save writes them, and the parse of such bytes (replacing everything,
  // a change to be saved).
  std::string GetText() const;
  void SetText(std::string_view Text);

 private:
  struct TIniLine {
    bool FIsEntry = false;  // name=value; otherwise a comment or other kept line
    std::string FName;      // the entry's name, or the whole kept line
    std::string FValue;
  };
  struct TIniSection {
    std::string FName;
    std::vector<TIniLine> FLines;
  };

  const TIniSection* FindSection(std::string_view Section) const;
  TIniSection* FindSection(std::string_view Section);
  static const TIniLine* FindEntry(const TIniSection& Section, std::string_view Ident);

  std::string FFileName;
  std::vector<std::string> FPreamble;  // lines before the first section
  std::vector<TIniSection> FSections;
  std::string FLoadError;  // set when an existing file could not be read
  bool FModified = false;  // changed since the load or the last save
};

}  // namespace rid
