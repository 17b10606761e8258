#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Classes.h"

namespace rid {

// Root keys. Each is a top-level group of the registry file.
using HKEY = uintptr_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// The type of a value as the store keeps it. rdOther: a value of a type it neither reads nor
// writes (hex:, hex(2): and the like), the person's own: it reads as missing, and its line
// stays as written.
enum TRegDataType { rdUnknown, rdString, rdInteger, rdOther };

inline constexpr const char* SRegGetDataFailed = "Failed to get data for '%s'";
inline constexpr const char* SRegSetDataFailed = "Failed to set data for '%s'";
inline constexpr const char* SInvalidRegType = "Invalid data type for '%s'";

// The registry file: $RIDEDER_REGISTRY when set and not empty, else
// <user configuration folder>/rideder/registry.ini.
std::string RegistryFileName();

class TRegistryStore;
struct TRegChange;
struct TRegValue;

// The system's settings store, kept in one text file (see RegistryFileName). Keys are paths of
// names separated by '\' under a root key; a key holds named string and integer values. Key
// and value names are code page 932 text matched without ASCII case (a key keeps the spelling
// it was created with); values keep every byte, CR LF included.
//
// Every TRegistry of the process that uses the same file shares one copy of it, so writes made
// through one are seen by the others at once. Changes reach the file when the key is closed
// (CloseKey) or the object is destroyed. The store keeps the changes made since its last save:
// a file changed by someone else is read again and those changes are made again on what it
// holds, so that a save (one after a failed save too) keeps what was written by hand. A save
// keeps every line of the file in its place: comments, blank lines, values of other types and
// lines it cannot read stay as they were, and so do values it did not change; new values go to
// the end of their key's section, new keys to the end of the file. A name has one line: a write
// to a value of another type is refused. A line may end in CR LF, LF or CR, and keeps its own;
// new lines end as the first does, but in CR LF where a CR alone would come before a blank LF
// line (the two would read back as one CR LF, and the blank line would be gone).
//
// The file is looked at when a key is opened and by each call made while none is open; the
// calls on an open key use what its opening saw, so that a batch of reads looks once and the
// next opening sees what was written in between.
//
// A file that is no regular file, cannot be read, or is no settings file (binary data, or text
// without a section that is not all comments) is skipped: the settings start empty, changes
// stay in memory until it is read again, and the file is never written (SkipReason says why).
// One that becomes such a file after the store read or wrote it is not written either: CloseKey
// raises EFileChangedError saying why.
// A link put in place of a file that was no link when the store first looked at it, or a file
// of another owner put in place of the one read or written, is neither read nor written: the
// settings stay as they were, and CloseKey raises EFileChangedError saying why. A link from the
// start is followed; a file its owner put in place (an editor that saves by a rename) is read
// again. The file is written only into the folder the store first found for it, reached the
// way it was then: when that folder was replaced or is gone, or the way to it now goes through
// a link that was not there, nothing is written, and CloseKey raises EFileChangedError saying
// why.
class TRegistry : public TObject {
 public:
  RID_CLASS_NAME(TRegistry)
  TRegistry();
  // Closes the key; a failure to save is not raised from here (call CloseKey to see it) but
  // written to the standard error stream, unless CloseKey raised it and nothing changed since.
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // The root key (HKEY_CURRENT_USER by default); changing it closes the current key.
  HKEY GetRootKey() const { return FRootKey; }
  void SetRootKey(HKEY Value);
  // The open key's path below the root, without a leading '\' ("" when none is open).
  const std::string& GetCurrentPath() const { return FCurrentPath; }
  const std::string& CurrentPath() const { return FCurrentPath; }

  // Opens Key: "\a\b" from the root, "a\b" from the open key (or the root when none is open).
  // With CanCreate, missing keys on the way are created. False when the key does not exist;
  // the open key is then unchanged.
  bool OpenKey(const std::string& Key, bool CanCreate);
  // Opens an existing key for reading: writes then raise ERegistryException.
  bool OpenKeyReadOnly(const std::string& Key);
  // Closes the open key and saves what changed (EStreamError when the file cannot be written).
  void CloseKey();
  // Why the file is skipped, naming it ("Cannot open file \"...\". It is a folder, not a regular
  // file"), or "" when it is read.
  std::string SkipReason();

  // Whether a key exists (absolute or relative, as for OpenKey); the open key is unchanged.
  bool KeyExists(const std::string& Key);
  // Removes Key with everything below it; false when it does not exist.
  bool DeleteKey(const std::string& Key);
  // The names of the open key's subkeys / values, in the order they were created; Strings is
  // cleared first.
  void GetKeyNames(TStrings* Strings);
  void GetValueNames(TStrings* Strings);
  bool HasSubKeys();

  // Values of the open key (of the root key when none is open).
  // Whether a string or integer value is there.
  bool ValueExists(const std::string& Name);
  // rdUnknown when the value is missing.
  TRegDataType GetDataType(const std::string& Name);
  // The type of an rdOther value as its line writes it ("hex", "hex(2)"), or "" (for any other
  // value, or a line whose type is no word).
  std::string GetOtherType(const std::string& Name);
  bool DeleteValue(const std::string& Name);
  // A missing value reads as ""; an integer value raises "Invalid data type for '<name>'".
  std::string ReadString(const std::string& Name);
  // A write to an rdOther value raises "Invalid data type for '<name>'" and changes nothing;
  // the same for WriteInteger.
  void WriteString(const std::string& Name, const std::string& Value);
  // A missing value raises ERegistryException "Failed to get data for '<name>'", a string value
  // "Invalid data type for '<name>'".
  int32_t ReadInteger(const std::string& Name);
  void WriteInteger(const std::string& Name, int32_t Value);
  // Stored as an integer, 0 or 1; any non-zero integer reads as true.
  bool ReadBool(const std::string& Name);
  void WriteBool(const std::string& Name, bool Value);

 private:
  std::vector<std::string> PathTo(const std::string& Key) const;
  std::vector<std::string> OpenPath() const;
  bool Open(const std::string& Key, bool CanCreate, bool ReadOnly);
  // The look at the file that a call uses (see the class comment); the store's mutex is held.
  void Look();
  // Makes a change through this object (false when it changes nothing): a failure to save it
  // is yet to be told.
  bool Change(TRegChange C);
  // The open key's value Name, or null; the store's mutex is held.
  const TRegValue* FindValue(const std::string& Name);
  // WriteString and WriteInteger.
  void Write(const std::string& Name, bool IsInteger, const std::string& Text, int32_t Int);

  std::shared_ptr<TRegistryStore> FStore;
  HKEY FRootKey = HKEY_CURRENT_USER;
  bool FKeyOpen = false;
  bool FReadOnly = false;
  std::string FCurrentPath;
  bool FSaveFailureRaised = false;  // by CloseKey, with nothing changed through this since
};

}  // namespace rid
