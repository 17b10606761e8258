#include "platform/Registry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// The file format: sections named by their full key path, values as quoted names and either a
// quoted string or dword:<8 hex digits>, as a .reg export writes them:
//
//   [HKEY_CURRENT_USER\Software\Rid\Perl]
//   "KeyWords"="abs\r\naccept"
//   "Style"=dword:00000001
//
// The file is UTF-8. Names and strings are code page 932 in memory; a character that does not
// come back unchanged through UTF-8 (an unassigned pair, a NEC or IBM duplicate, a stray byte)
// is written as its bytes, \xHH in a string and %HH in a section name, so every byte survives.
// In a section name '%' and '\' are written as %25 and %5C: a '\' of a name's own would read
// back as the start of a subkey.

constexpr size_t kNoLine = static_cast<size_t>(-1);

struct TRegValue {
  std::string Name;
  bool IsInteger = false;
  // Of a type the store neither reads nor writes; Text is then its data as written.
  bool IsOther = false;
  std::string OtherType;  // that type as written ("hex", "hex(2)"), when it is one
  std::string Text;
  int32_t Int = 0;
  size_t Line = kNoLine;  // the file's line that holds it, as last read; kNoLine when new

  bool SameData(const TRegValue& Other) const {
    return IsInteger == Other.IsInteger && IsOther == Other.IsOther &&
           (IsInteger ? Int == Other.Int : Text == Other.Text);
  }
};

// A change the program made, kept until a save has written it: a file changed by someone else
// meanwhile is read again and the changes are made again on what it now holds.
struct TRegChange {
  enum TKind : uint8_t { MakeKey, DeleteKey, PutValue, DeleteValue };
  TKind Kind;
  HKEY Root;
  std::vector<std::string> Path;  // the key
  TRegValue Value;                // the value written (PutValue), or the name (DeleteValue)
};

namespace {

// Items in the order they came, found by name without ASCII case. A list of a few items is
// searched through; a longer one keeps an index, so that reading or filling a key of many
// values stays linear while the keys of a deep file carry no table each.
template <class T>
class TNamedList {
 public:
  T* Find(std::string_view Name) const {
    if (!FIndex) {
      for (const T& item : FItems)
        if (AnsiSameText(NameOf(item), Name)) return const_cast<T*>(&item);
      return nullptr;
    }
    const auto it = FIndex->find(AnsiUpperCase(Name));
    return it == FIndex->end() ? nullptr : const_cast<T*>(&FItems[it->second]);
  }
  T& Add(T Item) {
    FItems.push_back(std::move(Item));
    if (FIndex)
      FIndex->emplace(AnsiUpperCase(NameOf(FItems.back())), FItems.size() - 1);
    else if (FItems.size() > kSearchedThrough)
      Reindex();
    return FItems.back();
  }
  bool Remove(std::string_view Name) {
    const T* item = Find(Name);
    if (!item) return false;
    FItems.erase(FItems.begin() + (item - FItems.data()));
    FIndex.reset();
    if (FItems.size() > kSearchedThrough) Reindex();
    return true;
  }
  // Hands over every item; the list is empty afterwards.
  std::vector<T> TakeAll() {
    FIndex.reset();
    return std::exchange(FItems, {});
  }
  bool Empty() const { return FItems.empty(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }
  auto rbegin() const { return FItems.rbegin(); }
  auto rend() const { return FItems.rend(); }

 private:
  static constexpr size_t kSearchedThrough = 8;

  template <class U>
  static const std::string& NameOf(const std::unique_ptr<U>& Item) {
    return Item->Name;
  }
  static const std::string& NameOf(const TRegValue& Item) { return Item.Name; }

  void Reindex() {
    FIndex = std::make_unique<std::unordered_map<std::string, size_t>>();
    for (size_t i = 0; i < FItems.size(); ++i) FIndex->emplace(AnsiUpperCase(NameOf(FItems[i])), i);
  }

  std::vector<T> FItems;
  std::unique_ptr<std::unordered_map<std::string, size_t>> FIndex;  // past kSearchedThrough
};

struct TRegNode {
  std::string Name;
  uint64_t Id = 0;  // ties the file's lines to the key; never reused within a store
  TNamedList<std::unique_ptr<TRegNode>> Keys;
  TNamedList<TRegValue> Values;

  TRegNode() = default;
  TRegNode(TRegNode&&) = default;
  TRegNode& operator=(TRegNode&&) = default;
  // Frees the keys below without a stack frame per level: a file may nest keys very deep.
  ~TRegNode() {
    std::vector<std::unique_ptr<TRegNode>> doomed = Keys.TakeAll();
    while (!doomed.empty()) {
      std::unique_ptr<TRegNode> node = std::move(doomed.back());
      doomed.pop_back();
      for (auto& k : node->Keys.TakeAll()) doomed.push_back(std::move(k));
    }
  }

  TRegNode* Child(std::string_view AName) const {
    const auto* k = Keys.Find(AName);
    return k ? k->get() : nullptr;
  }
  TRegNode* AddChild(const std::string& AName, uint64_t AId) {
    auto node = std::make_unique<TRegNode>();
    node->Name = AName;
    node->Id = AId;
    return Keys.Add(std::move(node)).get();
  }
  TRegValue* Value(std::string_view AName) const { return Values.Find(AName); }
};

std::string RootName(HKEY Root) {
  switch (Root) {
    case HKEY_CLASSES_ROOT:
      return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
      return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
      return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
      return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG:
      return "HKEY_CURRENT_CONFIG";
    default:
      return FormatStr("HKEY_%08llX", static_cast<unsigned long long>(Root));
  }
}

// Splits a key path at '\', stepping over double-byte characters (whose trail byte may be
// 0x5C); empty parts are dropped.
std::vector<std::string> SplitKey(std::string_view Key) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i < Key.size(); ++i) {
    const char c = Key[i];
    if (IsDBCSLeadByte(c) && i + 1 < Key.size()) {
      part += c;
      part += Key[++i];
    } else if (c == '\\') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

std::string JoinKey(const std::vector<std::string>& Parts) {
  std::string s;
  for (const std::string& p : Parts) {
    if (!s.empty()) s += '\\';
    s += p;
  }
  return s;
}

// --- encoding

// The length of the character at I, and whether it may be written as UTF-8 (it comes back as
// the same bytes and is not ASCII).
size_t CharAt(std::string_view S, size_t I, bool& AsUtf8, std::string& Utf8) {
  const uint8_t b = static_cast<uint8_t>(S[I]);
  size_t len = 1;
  if (IsDBCSLeadByte(b)) {
    if (I + 1 >= S.size() || !IsDBCSTrailByte(static_cast<uint8_t>(S[I + 1]))) {
      AsUtf8 = false;
      return 1;
    }
    len = 2;
  } else if (b < 0xA1 || b > 0xDF) {  // neither ASCII (handled by the caller) nor kana
    AsUtf8 = false;
    return 1;
  }
  const std::string_view ch = S.substr(I, len);
  Utf8 = SjisToUtf8(ch);
  AsUtf8 = !Utf8.empty() && Utf8ToSjis(Utf8) == ch &&
           std::all_of(Utf8.begin(), Utf8.end(), [](char c) { return uint8_t(c) >= 0x80; });
  return len;
}

// Writes S for a quoted string (Header false) or a section name part (Header true).
std::string EncodeText(std::string_view S, bool Header) {
  std::string out;
  auto escape = [&](uint8_t b) { out += FormatStr(Header ? "%%%02X" : "\\x%02X", b); };
  for (size_t i = 0; i < S.size();) {
    const uint8_t b = static_cast<uint8_t>(S[i]);
    if (b < 0x80) {
      ++i;
      if (b < 0x20 || b == 0x7F) {
        if (!Header && b == '\r')
          out += "\\r";
        else if (!Header && b == '\n')
          out += "\\n";
        else if (!Header && b == '\t')
          out += "\\t";
        else
          escape(b);
      } else if (Header && (b == '%' || b == '\\')) {
        escape(b);  // '\\' would part the name in two
      } else if (!Header && (b == '\\' || b == '"')) {
        out += '\\';
        out += static_cast<char>(b);
      } else {
        out += static_cast<char>(b);
      }
      continue;
    }
    bool asUtf8;
    std::string utf8;
    const size_t len = CharAt(S, i, asUtf8, utf8);
    if (asUtf8)
      out += utf8;
    else
      for (size_t k = 0; k < len; ++k) escape(static_cast<uint8_t>(S[i + k]));
    i += len;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Collects decoded text: UTF-8 runs are converted to code page 932, escaped bytes kept as are.
class TDecoder {
 public:
  void Text(char c) { FRun += c; }
  void Byte(uint8_t b) {
    Flush();
    FOut += static_cast<char>(b);
  }
  std::string Done() {
    Flush();
    return std::move(FOut);
  }

 private:
  void Flush() {
    if (FRun.empty()) return;
    const bool ascii =
        std::all_of(FRun.begin(), FRun.end(), [](char c) { return uint8_t(c) < 0x80; });
    FOut += ascii ? FRun : Utf8ToSjis(FRun);
    FRun.clear();
  }
  std::string FRun, FOut;
};

std::string DecodeHeaderPart(std::string_view S) {
  TDecoder d;
  for (size_t i = 0; i < S.size(); ++i) {
    int hi, lo;
    if (S[i] == '%' && i + 2 < S.size() && (hi = HexDigit(S[i + 1])) >= 0 &&
        (lo = HexDigit(S[i + 2])) >= 0) {
      d.Byte(static_cast<uint8_t>(hi * 16 + lo));
      i += 2;
    } else {
      d.Text(S[i]);
    }
  }
  return d.Done();
}

// Reads a quoted string starting at Line[P] == '"'; P ends after the closing quote.
std::string DecodeQuoted(std::string_view Line, size_t& P) {
  TDecoder d;
  ++P;
  while (P < Line.size() && Line[P] != '"') {
    const char c = Line[P++];
    if (c != '\\' || P >= Line.size()) {
      d.Text(c);
      continue;
    }
    const char e = Line[P++];
    int hi, lo;
    switch (e) {
      case 'r':
        d.Text('\r');
        break;
      case 'n':
        d.Text('\n');
        break;
      case 't':
        d.Text('\t');
        break;
      case 'x':
        if (P + 1 < Line.size() && (hi = HexDigit(Line[P])) >= 0 &&
            (lo = HexDigit(Line[P + 1])) >= 0) {
          d.Byte(static_cast<uint8_t>(hi * 16 + lo));
          P += 2;
        } else {
          d.Text('x');
        }
        break;
      default:
        d.Text(e);
        break;  // \\ and \" and anything unknown
    }
  }
  if (P < Line.size()) ++P;
  return d.Done();
}

// What the name leads to now (FileStateOf), and why it could not be looked at: 0 when it can,
// and when the file or a folder on its way is missing (a save makes them); a folder on the way
// that is a file is no error either: a save will say why it cannot write there.
TFileState LookAt(const std::string& FileName, int& Error) {
  const TFileState state = FileStateOf(FileName);
  Error = 0;
  struct stat st;
  if (!state.Exists && ::stat(FileName.c_str(), &st) != 0 && errno != ENOENT && errno != ENOTDIR)
    Error = errno;
  return state;
}

// The folder the settings file lies in, as a look finds it: which folder (none when there is
// none), and the path it is reached by, with no link left in it.
struct TFolderLook {
  TFileState State;
  std::string Path;

  bool operator==(const TFolderLook& Other) const {
    return State.Exists == Other.State.Exists && State.Device == Other.State.Device &&
           State.Inode == Other.State.Inode && Path == Other.Path;
  }
};

// The folder a save of FileName writes into (SaveFolderStateOf).
TFolderLook LookAtFolder(const std::string& FileName, bool FollowLink) {
  TFolderLook look;
  look.State = SaveFolderStateOf(FileName, FollowLink, &look.Path);
  return look;
}

// Whether two looks at a name found the same file with the same content, as far as the system
// tells (a change of mode or owner is a change: it may make the file unreadable or foreign).
bool SameLook(const TFileState& Then, const TFileState& Now) {
  return Then.Exists == Now.Exists && Then.IsLink == Now.IsLink &&
         (!Now.Exists || CompareFileStates(Then, Now) == TFileChange::None);
}

// A user as people know them: the name, else the number.
std::string UserName(uint32_t Id) {
  const passwd* user = ::getpwuid(Id);
  return user ? std::string(user->pw_name) : "user " + std::to_string(Id);
}

bool IsUtf8Text(std::string_view Line) {
  return std::all_of(Line.begin(), Line.end(), [](char c) { return uint8_t(c) < 0x80; }) ||
         IsMultiByteUtf8(Line);
}

// One line of the file as read. Lines that are not read (comments, blank lines, values of
// other types, anything else) are written back as they were, and so are values the program
// has not changed.
struct TRegLine {
  enum TKind : uint8_t { Other, Header, Value };
  std::string Text;  // without its line end
  std::string End;   // "\r\n", "\n", "\r", or "" for a last line without one
  TKind Kind = Other;
  uint64_t Node = 0;  // the key of the section it stands in; 0 outside any key
  TRegValue Read;     // a value line's value
};

// Calls Put(Line, End) for each line of Bytes, End being its own break: CR LF, LF or CR, or ""
// for a last line without one.
template <class F>
void ForEachLine(std::string_view Bytes, F&& Put) {
  for (size_t start = 0; start < Bytes.size();) {
    size_t end = Bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = Bytes.size();
    size_t next = end;
    if (next < Bytes.size()) next += Bytes.substr(end, 2) == "\r\n" ? 2 : 1;
    Put(Bytes.substr(start, end - start), Bytes.substr(end, next - end));
    start = next;
  }
}

// Appends whole lines: a line of the file with its own end, a new one ending as the file's
// first line does. No end runs into the next line's: a lone CR written before an LF (a blank
// line's) would read back as one CR LF and take that line with it. There the new line of the
// two ends in CR LF instead, or, between two lines of the file, the first.
class TLineWriter {
 public:
  explicit TLineWriter(std::string AEnd) : FEnd(std::move(AEnd)) {}
  // A line of the file; End "" for a last line without one.
  void Put(std::string_view Text, std::string_view End) { Add(Text, End, true); }
  // A new line.
  void Put(std::string_view Text) { Add(Text, FEnd, false); }
  bool Empty() const { return FOut.empty() && FPending.empty(); }
  std::string Done() {
    FOut += FPending;
    FPending.clear();
    return std::move(FOut);
  }

 private:
  // The end of the line before is written once the next line's first byte is known.
  void Add(std::string_view Text, std::string_view End, bool Kept) {
    if (FOpen) {  // after a last line without end
      FPending = FEnd;
      FPendingKept = false;
    }
    std::string_view end = End;
    if (FPending == "\r" && Text.empty() && End.starts_with('\n')) {
      if (FPendingKept && !Kept)
        end = "\r\n";
      else
        FPending = "\r\n";
    }
    FOut += FPending;
    FOut += Text;
    FPending = end;
    FPendingKept = Kept;
    FOpen = end.empty();
  }

  std::string FEnd;
  std::string FOut;
  std::string FPending;       // the end of the last line, not yet written
  bool FPendingKept = false;  // the file's own
  bool FOpen = false;         // the last line has no end
};

std::string ValueLineText(const TRegValue& V) {
  std::string line = '"' + EncodeText(V.Name, false) + "\"=";
  if (V.IsOther)
    line += V.Text;
  else if (V.IsInteger)
    line += FormatStr("dword:%08x", static_cast<uint32_t>(V.Int));
  else
    line += '"' + EncodeText(V.Text, false) + '"';
  return line;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The store: one per file and process, shared by every TRegistry on that file.

class TRegistryStore {
 public:
  explicit TRegistryStore(std::string AFileName) : FFileName(std::move(AFileName)) {}

  std::mutex Mutex;

  // Looks at the file and its folder, and reads the file when it is new to us or changed since
  // it was read or written, with the program's changes since its last save made again on it.
  // Changes kept while the file was skipped could never be saved: they go. What ForeignReason
  // names is not read at all: the settings stay as they were, and Save refuses to write.
  void Refresh() {
    int error;
    const TFileState now = LookAt(FFileName, error);
    const TFolderLook folder = LookAtFolder(FFileName, FLoaded ? FLinkedAtStart : now.IsLink);
    if (FLoaded && error == FSeenError && SameLook(FSeen, now) && folder == FSeenFolder) return;
    const bool first = !FLoaded;
    FLoaded = true;
    FSeen = now;
    FSeenError = error;
    FSeenFolder = folder;
    if (!FFolder.State.Exists) FFolder = folder;
    if (first) {
      FLinkedAtStart = now.IsLink;
      FOwner = now.Exists ? now.Owner : ::geteuid();
    } else {
      FReplaced = ForeignReason(now, folder);
      if (!FReplaced.empty()) return;
    }
    std::string bytes, why;
    TFileState read = now;
    if (error != 0) {
      why = FormatStr(SFOpenError, FFileName.c_str(), std::strerror(error));
    } else if (now.Exists) {
      try {
        bytes = LoadBytesFromFile(FFileName, &read);
      } catch (const Exception& e) {
        why = e.Message;
      }
      // It may have been replaced between the look and the read.
      if (!first) {
        FReplaced = ForeignReason(read, folder);
        if (!FReplaced.empty()) return;
      }
      if (why.empty()) {
        if (const std::string no = NoSettingsReason(bytes); !no.empty())
          why = FormatStr(SFReadError, FFileName.c_str(), no.c_str());
      }
    }
    if (!FSkipped.empty()) FChanges.clear();
    Clear();
    FHeld = read;
    if (read.Exists) FFormer = read;
    if (why.empty()) {
      Parse(bytes);
      FUsed = true;
    } else {
      FSkipped = std::move(why);
    }
    Replay();
  }

  // Writes the program's changes to the file as it now is (Refresh). A file that is skipped is
  // never written: the changes stay in memory, and a file that became one to skip after the
  // store read or wrote it makes the save raise EFileChangedError saying why (one skipped from
  // the start is told by SkipReason). One that was replaced by what Refresh does not read is
  // not written either: EFileChangedError says why. The save writes only to the file read, in
  // the folder it was read from (see SaveToFileAtomic's Checked): one changed in between is
  // read again, and the changes made again on it.
  void Save() {
    for (int32_t attempt = 1;; ++attempt) {
      Refresh();
      if (FChanges.empty() || (!FSkipped.empty() && !FUsed)) return;
      if (!FReplaced.empty())
        throw EFileChangedError(FormatStr(SFCreateError, FFileName.c_str(), FReplaced.c_str()));
      if (!FSkipped.empty()) throw EFileChangedError(FSkipped);
      const std::filesystem::path path(FFileName);
      std::error_code ec;
      if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
      const std::string text = Serialize();
      FHeld.FolderDevice = FFolder.State.Device;
      FHeld.FolderInode = FFolder.State.Inode;
      TFileState written;
      try {
        // A file deleted since comes back with the mode and ACL it had.
        written = SaveToFileAtomic(
            FFileName, [&](TStream& Out) { Out.WriteBuffer(text); },
            FFormer.Exists ? &FFormer : nullptr, &FHeld);
      } catch (const EFileChangedError&) {
        if (attempt == kSaveAttempts) throw;
        continue;
      }
      FChanges.clear();
      FHeld = FSeen = FFormer = written;
      FSeenError = 0;
      FOwner = written.Owner;
      FUsed = true;
      if (!FFolder.State.Exists) FFolder = LookAtFolder(FFileName, FLinkedAtStart);  // made now
      FSeenFolder = FFolder;
      // From now on the lines are those written.
      Clear();
      Parse(text);
      return;
    }
  }

  const std::string& Skipped() const { return FSkipped; }

  TRegNode* Find(HKEY Root, const std::vector<std::string>& Path) {
    TRegNode* node = RootNode(Root);
    for (const std::string& part : Path) {
      node = node->Child(part);
      if (!node) return nullptr;
    }
    return node;
  }

  // The key at Path, made with the keys on its way where missing.
  TRegNode* MakeKey(HKEY Root, const std::vector<std::string>& Path) {
    bool made = false;
    TRegNode* node = Create(Root, Path, made);
    if (made) FChanges.push_back({TRegChange::MakeKey, Root, Path, {}});
    return node;
  }

  // Makes the change and keeps it until it is saved; false when it changes nothing. A value
  // written to a key that is not there raises "Failed to set data", one written over a value of
  // another type "Invalid data type", and nothing changes.
  bool Change(TRegChange C) {
    if (!Apply(C)) return false;
    FChanges.push_back(std::move(C));
    return true;
  }

 private:
  // A save that finds the file changed between its look and its write looks again; a file
  // that keeps changing is left to the next save.
  static constexpr int32_t kSaveAttempts = 3;

  TRegNode* Create(HKEY Root, const std::vector<std::string>& Path, bool& Made) {
    TRegNode* node = RootNode(Root);
    for (const std::string& part : Path) {
      TRegNode* child = node->Child(part);
      if (!child) {
        child = node->AddChild(part, FNextId++);
        Made = true;
      }
      node = child;
    }
    return node;
  }

  bool Apply(const TRegChange& C) {
    switch (C.Kind) {
      case TRegChange::MakeKey: {
        bool made = false;
        Create(C.Root, C.Path, made);
        return made;
      }
      case TRegChange::DeleteKey: {
        if (C.Path.empty()) return false;
        TRegNode* parent = Find(C.Root, {C.Path.begin(), C.Path.end() - 1});
        return parent && parent->Keys.Remove(C.Path.back());
      }
      case TRegChange::PutValue: {
        TRegNode* node = Find(C.Root, C.Path);
        if (!node) throw ERegistryException(FormatStr(SRegSetDataFailed, C.Value.Name.c_str()));
        return PutValue(*node, C.Value);
      }
      case TRegChange::DeleteValue: {
        TRegNode* node = Find(C.Root, C.Path);
        return node && node->Values.Remove(C.Value.Name);
      }
    }
    return false;
  }

  // Makes the program's changes again on the file as read. A value's key that is gone is made
  // anew; a value written by hand since in another type keeps its line.
  void Replay() {
    for (const TRegChange& c : FChanges) {
      try {
        bool made = false;
        if (c.Kind == TRegChange::PutValue) Create(c.Root, c.Path, made);
        Apply(c);
      } catch (const ERegistryException&) {
      }
    }
  }

  // Stores a value in Node; false when it held the same. A value of another type is the
  // person's own: its line is never replaced, nor is a second one written.
  static bool PutValue(TRegNode& Node, const TRegValue& Put) {
    TRegValue* v = Node.Value(Put.Name);
    if (!v) {
      Node.Values.Add(Put);
      return true;
    }
    if (v->IsOther) throw ERegistryException(FormatStr(SInvalidRegType, Put.Name.c_str()));
    if (v->SameData(Put)) return false;
    v->IsInteger = Put.IsInteger;
    v->Text = Put.Text;
    v->Int = Put.Int;
    return true;
  }

  // Why the name may not be followed to the file Now describes, in the folder Folder, or "":
  // another folder than the one held (the way to it changed, as when a link is put in place of
  // a folder of another user's, or it was replaced or is gone), a link where there was none
  // when the store first looked, or a file of another owner than the one read or written (than
  // the user, where there was none), as another user may put in a folder of theirs.
  std::string ForeignReason(const TFileState& Now, const TFolderLook& Folder) const {
    if (FFolder.State.Exists && !(Folder == FFolder)) return FolderReason(Folder);
    if (Now.IsLink && !FLinkedAtStart) {
      std::error_code ec;
      const std::string to = std::filesystem::read_symlink(FFileName, ec).string();
      return "It was replaced by a link to \"" + to +
             "\": the settings are never written through a link put in place of their file";
    }
    if (Now.Exists && Now.Owner != FOwner)
      return "It was replaced by a file of " + UserName(Now.Owner) + ", not of " +
             UserName(FOwner) + ": the settings are never written into another's file";
    return {};
  }

  // Why the store writes nothing into the folder Now: another than the one held.
  std::string FolderReason(const TFolderLook& Now) const {
    const std::string held = "\"" + FFolder.Path + "\"";
    const char* only = ": the settings are written only into the folder they were read from";
    if (!Now.State.Exists) return "Its folder " + held + " is gone" + only;
    if (Now.Path != FFolder.Path)
      return "The way to its folder now leads to \"" + Now.Path + "\", not to " + held +
             ": the settings are never written into a folder reached through a link put on the "
             "way";
    return "Its folder " + held + " was replaced by another" + only;
  }

  void Clear() {
    FTop = TRegNode();
    FLines.clear();
    FSkipped.clear();
  }

  TRegNode* RootNode(HKEY Root) {
    const std::string name = RootName(Root);
    TRegNode* node = FTop.Child(name);
    return node ? node : FTop.AddChild(name, FNextId++);  // an empty root is not written
  }

  // Why Bytes cannot be a settings file someone wrote, or "": binary data, or text with no
  // section in which some line is no comment.
  static std::string NoSettingsReason(std::string_view Bytes) {
    size_t number = 0, stray = 0;
    bool section = false;
    std::string why;
    ForEachLine(Bytes, [&](std::string_view Line, std::string_view) {
      if (!why.empty()) return;
      ++number;
      if (Line.find('\0') != std::string_view::npos) {
        why = FormatStr("It is no settings file: line %zu holds a zero byte", number);
      } else if (!IsUtf8Text(Line)) {
        why = FormatStr("It is no settings file: line %zu is not UTF-8 text", number);
      } else {
        Line = Content(Line, number == 1);
        if (!Line.empty() && Line[0] == '[') section = true;
        if (!stray && !Line.empty() && Line[0] != ';' && Line[0] != '#') stray = number;
      }
    });
    if (!why.empty()) return why;
    return stray && !section
               ? FormatStr(
                     "It is no settings file: it has no [section], and line %zu is no "
                     "comment",
                     stray)
               : std::string();
  }

  // A line's text as read: without the mark of a UTF-8 file and the blanks before it.
  static std::string_view Content(std::string_view Line, bool First) {
    if (First && Line.substr(0, 3) == "\xEF\xBB\xBF") Line.remove_prefix(3);
    while (!Line.empty() && (Line.front() == ' ' || Line.front() == '\t')) Line.remove_prefix(1);
    return Line;
  }

  void Parse(std::string_view Bytes) {
    TRegNode* current = nullptr;
    ForEachLine(Bytes, [&](std::string_view Text, std::string_view End) {
      const bool first = FLines.empty();
      TRegLine& line = FLines.emplace_back();
      line.Text = Text;
      line.End = End;
      const std::string_view text = Content(Text, first);
      if (!text.empty() && text[0] == '[') {
        const size_t close = text.rfind(']');
        current = close == std::string_view::npos || close == 0
                      ? nullptr
                      : Section(text.substr(1, close - 1));
        if (current) line.Kind = TRegLine::Header;
      } else if (!text.empty() && text[0] == '"' && current && ReadValue(text, line.Read)) {
        line.Kind = TRegLine::Value;
        line.Read.Line = FLines.size() - 1;
        if (TRegValue* old = current->Value(line.Read.Name))
          *old = line.Read;  // the last line of a name is the one that counts
        else
          current->Values.Add(line.Read);
      }
      line.Node = current ? current->Id : 0;
    });
  }

  TRegNode* Section(std::string_view Path) {
    TRegNode* node = &FTop;
    size_t p = 0;
    while (p <= Path.size()) {
      size_t q = Path.find('\\', p);
      if (q == std::string_view::npos) q = Path.size();
      if (q > p) {
        const std::string name = DecodeHeaderPart(Path.substr(p, q - p));
        TRegNode* child = node->Child(name);
        node = child ? child : node->AddChild(name, FNextId++);
      }
      p = q + 1;
    }
    return node == &FTop ? nullptr : node;
  }

  // A value line ("name"=...); false for any other. A value that is neither a string nor a
  // dword is one of another type, kept as written.
  static bool ReadValue(std::string_view Line, TRegValue& Value) {
    size_t p = 0;
    Value.Name = DecodeQuoted(Line, p);
    if (p >= Line.size() || Line[p] != '=') return false;
    ++p;
    if (p < Line.size() && Line[p] == '"') {
      Value.Text = DecodeQuoted(Line, p);
      return true;
    }
    if (Line.substr(p, 6) == "dword:") {
      const std::string digits(Line.substr(p + 6));
      char* endp = nullptr;
      errno = 0;
      const unsigned long long n = std::strtoull(digits.c_str(), &endp, 16);
      if (endp != digits.c_str() && errno == 0 && n <= 0xFFFFFFFFull) {
        Value.IsInteger = true;
        Value.Int = static_cast<int32_t>(static_cast<uint32_t>(n));
        return true;
      }
    }
    Value.IsOther = true;
    Value.Text = Line.substr(p);
    const size_t colon = Line.find(':', p);
    const std::string_view type = Line.substr(p, colon == std::string_view::npos ? 0 : colon - p);
    if (std::all_of(type.begin(), type.end(), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) || c == '(' || c == ')';
        }))
      Value.OtherType = type;
    return true;
  }

  // The lines as read, each in its place, less those of deleted keys and values; changed
  // values rewritten in their lines; new values at the end of their key's last section; new
  // keys in sections of their own at the end.
  std::string Serialize() const {
    std::unordered_map<uint64_t, size_t> tail;  // a key's last header or value line
    for (size_t i = 0; i < FLines.size(); ++i)
      if (FLines[i].Kind != TRegLine::Other) tail[FLines[i].Node] = i;
    const std::unordered_map<uint64_t, const TRegNode*> nodes = NodesOfLines(tail);
    TLineWriter out(LineEnd());
    for (size_t i = 0; i < FLines.size(); ++i) {
      const TRegLine& line = FLines[i];
      const TRegNode* node = nullptr;
      if (line.Node != 0) {
        const auto it = nodes.find(line.Node);
        if (it == nodes.end()) continue;  // its key was deleted
        node = it->second;
      }
      if (line.Kind != TRegLine::Value) {
        out.Put(line.Text, line.End);
      } else if (const TRegValue* v = node->Value(line.Read.Name); v && v->Line != kNoLine) {
        // A line that a later one of the same name overrides stays as it was.
        if (v->Line != i || v->SameData(line.Read))
          out.Put(line.Text, line.End);
        else
          out.Put(ValueLineText(*v), line.End);
      }  // else the value was deleted
      if (node && tail.at(line.Node) == i) PutNewValues(*node, out);
    }
    if (out.Empty()) out.Put("; rideder settings");
    PutNewSections(tail, out);
    return out.Done();
  }

  // The keys that lines stand in (those still there), by their ids. Keys nest as deep as a
  // file makes them: the walks of the tree keep their own stack.
  std::unordered_map<uint64_t, const TRegNode*> NodesOfLines(
      const std::unordered_map<uint64_t, size_t>& Lines) const {
    std::unordered_map<uint64_t, const TRegNode*> nodes;
    std::vector<const TRegNode*> todo = {&FTop};
    while (!todo.empty()) {
      const TRegNode* node = todo.back();
      todo.pop_back();
      for (const auto& k : node->Keys) {
        if (Lines.contains(k->Id)) nodes.emplace(k->Id, k.get());
        todo.push_back(k.get());
      }
    }
    return nodes;
  }

  static void PutNewValues(const TRegNode& Node, TLineWriter& Out) {
    for (const TRegValue& v : Node.Values)
      if (v.Line == kNoLine) Out.Put(ValueLineText(v));
  }

  // Each key in the order of a walk from the roots, a key before its subkeys. A key without a
  // section gets one when it has values, or when no subkey's section names it. One path is
  // kept for the walk, cut back to the parent's for each key, never copied per level.
  void PutNewSections(const std::unordered_map<uint64_t, size_t>& Placed, TLineWriter& Out) const {
    struct TVisit {
      const TRegNode* Node;
      size_t ParentPath;  // the length of the parent's path; 0 for a root
    };
    std::vector<TVisit> todo;
    for (auto k = FTop.Keys.rbegin(); k != FTop.Keys.rend(); ++k) todo.push_back({k->get(), 0});
    std::string path;
    while (!todo.empty()) {
      const auto [node, parentPath] = todo.back();
      todo.pop_back();
      const bool isRoot = parentPath == 0;
      path.resize(parentPath);
      if (!isRoot) path += '\\';
      path += EncodeText(node->Name, true);
      if (!Placed.contains(node->Id) &&
          (!node->Values.Empty() || (!isRoot && node->Keys.Empty()))) {
        Out.Put("");
        Out.Put("[" + path + "]");
        PutNewValues(*node, Out);
      }
      for (auto k = node->Keys.rbegin(); k != node->Keys.rend(); ++k)
        todo.push_back({k->get(), path.size()});
    }
  }

  // New lines end as the file's first line does.
  std::string LineEnd() const {
    return FLines.empty() || FLines.front().End.empty() ? "\n" : FLines.front().End;
  }

  std::string FFileName;
  TRegNode FTop;
  std::vector<TRegLine> FLines;
  uint64_t FNextId = 1;
  bool FLoaded = false;
  TFileState FSeen;  // at the last look
  int FSeenError = 0;
  TFileState FHeld;                  // the file the lines are of, as read or written
  TFolderLook FSeenFolder;           // at the last look
  TFolderLook FFolder;               // the folder read from: the first look's that found one
  bool FUsed = false;                // the file was read (or found missing) or written once
  TFileState FFormer;                // the last file held, for one made anew where it went
  bool FLinkedAtStart = false;       // the name was a link when first looked at
  uint32_t FOwner = 0;               // whose file the name must lead to
  std::vector<TRegChange> FChanges;  // since the last save
  std::string FSkipped;              // why the file is left alone, or ""
  std::string FReplaced;  // why what the name now leads to is neither read nor written, or ""
};

namespace {

std::shared_ptr<TRegistryStore> StoreFor(const std::string& FileName) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<TRegistryStore>> stores;
  std::error_code ec;
  std::string key = std::filesystem::absolute(FileName, ec).lexically_normal().string();
  if (ec) key = FileName;
  std::lock_guard lock(mutex);
  auto& store = stores[key];
  if (!store) store = std::make_shared<TRegistryStore>(key);
  return store;
}

}  // namespace

std::string RegistryFileName() {
  if (const char* env = std::getenv("RIDEDER_REGISTRY"); env && *env) return env;
  std::string folder =
      QStandardPaths::writableLocation(QStandardPaths::ConfigLocation).toStdString();
  if (folder.empty()) folder = ".";
  return folder + "/rideder/registry.ini";
}

// ---------------------------------------------------------------------------------------------
// TRegistry

TRegistry::TRegistry() : FStore(StoreFor(RegistryFileName())) {}

TRegistry::~TRegistry() {
  if (FSaveFailureRaised) return;  // the caller has been told, and nothing changed since
  try {
    CloseKey();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rideder: settings not saved: %s\n", e.what());
  }
}

void TRegistry::SetRootKey(HKEY Value) {
  if (Value == FRootKey) return;
  FRootKey = Value;
  CloseKey();
}

std::vector<std::string> TRegistry::OpenPath() const {
  return FKeyOpen ? SplitKey(FCurrentPath) : std::vector<std::string>();
}

std::vector<std::string> TRegistry::PathTo(const std::string& Key) const {
  const bool absolute = !Key.empty() && Key[0] == '\\';
  std::vector<std::string> path = absolute ? std::vector<std::string>() : OpenPath();
  for (std::string& part : SplitKey(Key)) path.push_back(std::move(part));
  return path;
}

void TRegistry::Look() {
  if (!FKeyOpen) FStore->Refresh();
}

bool TRegistry::Open(const std::string& Key, bool CanCreate, bool ReadOnly) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  const std::vector<std::string> path = PathTo(Key);
  TRegNode* node = CanCreate ? FStore->MakeKey(FRootKey, path) : FStore->Find(FRootKey, path);
  if (!node) return false;
  if (CanCreate) FSaveFailureRaised = false;  // keys may have been made
  FKeyOpen = true;
  FReadOnly = ReadOnly;
  FCurrentPath = JoinKey(path);
  return true;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  return Open(Key, CanCreate, false);
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) { return Open(Key, false, true); }

std::string TRegistry::SkipReason() {
  std::lock_guard lock(FStore->Mutex);
  Look();
  return FStore->Skipped();
}

void TRegistry::CloseKey() {
  std::lock_guard lock(FStore->Mutex);
  FKeyOpen = false;
  FReadOnly = false;
  FCurrentPath.clear();
  try {
    FStore->Save();
  } catch (...) {
    FSaveFailureRaised = true;
    throw;
  }
  FSaveFailureRaised = false;
}

bool TRegistry::Change(TRegChange C) {
  if (!FStore->Change(std::move(C))) return false;
  FSaveFailureRaised = false;
  return true;
}

bool TRegistry::KeyExists(const std::string& Key) {
  std::lock_guard lock(FStore->Mutex);
  Look();
  return FStore->Find(FRootKey, PathTo(Key)) != nullptr;
}

bool TRegistry::DeleteKey(const std::string& Key) {
  std::lock_guard lock(FStore->Mutex);
  Look();
  return Change({TRegChange::DeleteKey, FRootKey, PathTo(Key), {}});
}

void TRegistry::GetKeyNames(TStrings* Strings) {
  std::lock_guard lock(FStore->Mutex);
  Look();
  TStringsUpdate update(Strings);
  Strings->Clear();
  if (TRegNode* node = FStore->Find(FRootKey, OpenPath()))
    for (const auto& k : node->Keys) Strings->Add(k->Name);
}

void TRegistry::GetValueNames(TStrings* Strings) {
  std::lock_guard lock(FStore->Mutex);
  Look();
  TStringsUpdate update(Strings);
  Strings->Clear();
  if (TRegNode* node = FStore->Find(FRootKey, OpenPath()))
    for (const TRegValue& v : node->Values) Strings->Add(v.Name);
}

bool TRegistry::HasSubKeys() {
  std::lock_guard lock(FStore->Mutex);
  Look();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  return node && !node->Keys.Empty();
}

bool TRegistry::ValueExists(const std::string& Name) {
  const TRegDataType type = GetDataType(Name);
  return type == rdString || type == rdInteger;
}

bool TRegistry::DeleteValue(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  Look();
  if (FReadOnly) return false;
  TRegValue name;
  name.Name = Name;
  return Change({TRegChange::DeleteValue, FRootKey, OpenPath(), std::move(name)});
}

const TRegValue* TRegistry::FindValue(const std::string& Name) {
  Look();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  return node ? node->Value(Name) : nullptr;
}

TRegDataType TRegistry::GetDataType(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  const TRegValue* v = FindValue(Name);
  return !v ? rdUnknown : v->IsOther ? rdOther : v->IsInteger ? rdInteger : rdString;
}

std::string TRegistry::GetOtherType(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  const TRegValue* v = FindValue(Name);
  return v && v->IsOther ? v->OtherType : std::string();
}

void TRegistry::Write(const std::string& Name, bool IsInteger, const std::string& Text,
                      int32_t Int) {
  std::lock_guard lock(FStore->Mutex);
  if (FReadOnly) throw ERegistryException(FormatStr(SRegSetDataFailed, Name.c_str()));
  Look();
  TRegValue put;
  put.Name = Name;
  put.IsInteger = IsInteger;
  put.Text = Text;
  put.Int = Int;
  Change({TRegChange::PutValue, FRootKey, OpenPath(), std::move(put)});
}

std::string TRegistry::ReadString(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  const TRegValue* v = FindValue(Name);
  if (!v || v->IsOther) return std::string();
  if (v->IsInteger) throw ERegistryException(FormatStr(SInvalidRegType, Name.c_str()));
  return v->Text;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  Write(Name, false, Value, 0);
}

int32_t TRegistry::ReadInteger(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  const TRegValue* v = FindValue(Name);
  if (!v || v->IsOther) throw ERegistryException(FormatStr(SRegGetDataFailed, Name.c_str()));
  if (!v->IsInteger) throw ERegistryException(FormatStr(SInvalidRegType, Name.c_str()));
  return v->Int;
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) {
  Write(Name, true, std::string(), Value);
}

bool TRegistry::ReadBool(const std::string& Name) { return ReadInteger(Name) != 0; }

void TRegistry::WriteBool(const std::string& Name, bool Value) {
  WriteInteger(Name, Value ? 1 : 0);
}

}  // namespace rid
