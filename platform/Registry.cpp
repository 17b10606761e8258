#include "platform/Registry.h"

#include <sys/stat.h>

#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

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

namespace {

struct TRegValue {
  std::string Name;
  bool IsInteger = false;
  std::string Text;
  int32_t Int = 0;
};

struct TRegNode {
  std::string Name;
  std::vector<std::unique_ptr<TRegNode>> Keys;
  std::vector<TRegValue> Values;

  TRegNode* Child(std::string_view AName) const {
    for (const auto& k : Keys)
      if (AnsiSameText(k->Name, AName)) return k.get();
    return nullptr;
  }
  TRegNode* AddChild(const std::string& AName) {
    Keys.push_back(std::make_unique<TRegNode>());
    Keys.back()->Name = AName;
    return Keys.back().get();
  }
  TRegValue* Value(std::string_view AName) {
    for (TRegValue& v : Values)
      if (AnsiSameText(v.Name, AName)) return &v;
    return nullptr;
  }
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
      } else if (Header && b == '%') {
        escape(b);
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

struct TStamp {
  bool Exists = false;
  int64_t Size = 0, MTime = 0, Inode = 0;
  bool operator==(const TStamp&) const = default;
};

TStamp StampOf(const std::string& FileName) {
  struct stat st;
  TStamp s;
  if (::stat(FileName.c_str(), &st) != 0) return s;
  s.Exists = true;
  s.Size = st.st_size;
  s.MTime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.Inode = static_cast<int64_t>(st.st_ino);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The store: one per file and process, shared by every TRegistry on that file.

class TRegistryStore {
 public:
  explicit TRegistryStore(std::string AFileName) : FFileName(std::move(AFileName)) {}

  std::mutex Mutex;

  // Reads the file when it is new to us or changed by someone else, unless we hold changes.
  void Refresh() {
    const TStamp stamp = StampOf(FFileName);
    if (FLoaded && (FDirty || stamp == FStamp)) return;
    FTop = TRegNode();
    FStamp = stamp;
    FLoaded = true;
    if (!stamp.Exists) return;
    std::string bytes;
    try {
      bytes = LoadBytesFromFile(FFileName);
    } catch (const Exception& e) {
      FLoaded = false;
      throw ERegistryException(e.Message);
    }
    Parse(bytes);
  }

  void Save() {
    if (!FDirty) return;
    const std::filesystem::path path(FFileName);
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    std::string text = "; rideder settings\n";
    for (const auto& root : FTop.Keys) Serialize(*root, EncodeText(root->Name, true), text);
    SaveBytesToFileAtomic(FFileName, text);
    FDirty = false;
    FStamp = StampOf(FFileName);
  }

  void Touch() { FDirty = true; }

  TRegNode* Find(HKEY Root, const std::vector<std::string>& Path) {
    TRegNode* node = RootNode(Root);
    for (const std::string& part : Path) {
      node = node->Child(part);
      if (!node) return nullptr;
    }
    return node;
  }

  TRegNode* Create(HKEY Root, const std::vector<std::string>& Path) {
    TRegNode* node = RootNode(Root);
    for (const std::string& part : Path) {
      TRegNode* child = node->Child(part);
      if (!child) {
        child = node->AddChild(part);
        Touch();
      }
      node = child;
    }
    return node;
  }

 private:
  TRegNode* RootNode(HKEY Root) {
    const std::string name = RootName(Root);
    TRegNode* node = FTop.Child(name);
    return node ? node : FTop.AddChild(name);  // an empty root is not written
  }

  static void Serialize(const TRegNode& Node, const std::string& Path, std::string& Out) {
    const bool isRoot = Path.find('\\') == std::string::npos;
    if (!isRoot || !Node.Values.empty()) {
      Out += "\n[" + Path + "]\n";
      for (const TRegValue& v : Node.Values) {
        Out += '"' + EncodeText(v.Name, false) + "\"=";
        if (v.IsInteger)
          Out += FormatStr("dword:%08x\n", static_cast<uint32_t>(v.Int));
        else
          Out += '"' + EncodeText(v.Text, false) + "\"\n";
      }
    }
    for (const auto& k : Node.Keys) Serialize(*k, Path + "\\" + EncodeText(k->Name, true), Out);
  }

  void Parse(std::string_view Bytes) {
    TRegNode* current = nullptr;
    size_t start = 0;
    while (start < Bytes.size()) {
      size_t end = Bytes.find('\n', start);
      if (end == std::string_view::npos) end = Bytes.size();
      std::string_view line = Bytes.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
      if (line.empty() || line[0] == ';' || line[0] == '#') continue;
      if (line[0] == '[') {
        const size_t close = line.rfind(']');
        current = close == std::string_view::npos || close == 0
                      ? nullptr
                      : Section(line.substr(1, close - 1));
      } else if (line[0] == '"' && current) {
        ValueLine(*current, line);
      }
    }
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
        node = child ? child : node->AddChild(name);
      }
      p = q + 1;
    }
    return node == &FTop ? nullptr : node;
  }

  static void ValueLine(TRegNode& Node, std::string_view Line) {
    size_t p = 0;
    TRegValue value;
    value.Name = DecodeQuoted(Line, p);
    if (p >= Line.size() || Line[p] != '=') return;
    ++p;
    if (p < Line.size() && Line[p] == '"') {
      value.Text = DecodeQuoted(Line, p);
    } else if (Line.substr(p, 6) == "dword:") {
      const std::string digits(Line.substr(p + 6));
      char* endp = nullptr;
      errno = 0;
      const unsigned long long n = std::strtoull(digits.c_str(), &endp, 16);
      if (endp == digits.c_str() || errno != 0 || n > 0xFFFFFFFFull) return;
      value.IsInteger = true;
      value.Int = static_cast<int32_t>(static_cast<uint32_t>(n));
    } else {
      return;
    }
    if (TRegValue* old = Node.Value(value.Name))
      *old = std::move(value);
    else
      Node.Values.push_back(std::move(value));
  }

  std::string FFileName;
  TRegNode FTop;
  TStamp FStamp;
  bool FLoaded = false;
  bool FDirty = false;
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

bool TRegistry::Open(const std::string& Key, bool CanCreate, bool ReadOnly) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  const std::vector<std::string> path = PathTo(Key);
  TRegNode* node = CanCreate ? FStore->Create(FRootKey, path) : FStore->Find(FRootKey, path);
  if (!node) return false;
  FKeyOpen = true;
  FReadOnly = ReadOnly;
  FCurrentPath = JoinKey(path);
  return true;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  return Open(Key, CanCreate, false);
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) { return Open(Key, false, true); }

void TRegistry::CloseKey() {
  std::lock_guard lock(FStore->Mutex);
  FKeyOpen = false;
  FReadOnly = false;
  FCurrentPath.clear();
  FStore->Save();
}

bool TRegistry::KeyExists(const std::string& Key) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  return FStore->Find(FRootKey, PathTo(Key)) != nullptr;
}

bool TRegistry::DeleteKey(const std::string& Key) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  std::vector<std::string> path = PathTo(Key);
  if (path.empty()) return false;
  const std::string name = path.back();
  path.pop_back();
  TRegNode* parent = FStore->Find(FRootKey, path);
  if (!parent) return false;
  for (auto it = parent->Keys.begin(); it != parent->Keys.end(); ++it) {
    if (AnsiSameText((*it)->Name, name)) {
      parent->Keys.erase(it);
      FStore->Touch();
      return true;
    }
  }
  return false;
}

void TRegistry::GetKeyNames(TStrings* Strings) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  TStringsUpdate update(Strings);
  Strings->Clear();
  if (TRegNode* node = FStore->Find(FRootKey, OpenPath()))
    for (const auto& k : node->Keys) Strings->Add(k->Name);
}

void TRegistry::GetValueNames(TStrings* Strings) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  TStringsUpdate update(Strings);
  Strings->Clear();
  if (TRegNode* node = FStore->Find(FRootKey, OpenPath()))
    for (const TRegValue& v : node->Values) Strings->Add(v.Name);
}

bool TRegistry::HasSubKeys() {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  return node && !node->Keys.empty();
}

bool TRegistry::ValueExists(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  return node && node->Value(Name);
}

bool TRegistry::DeleteValue(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  if (FReadOnly || !node) return false;
  for (auto it = node->Values.begin(); it != node->Values.end(); ++it) {
    if (AnsiSameText(it->Name, Name)) {
      node->Values.erase(it);
      FStore->Touch();
      return true;
    }
  }
  return false;
}

void TRegistry::CheckWritable(const std::string& Name) const {
  if (FReadOnly) throw ERegistryException(FormatStr(SRegSetDataFailed, Name.c_str()));
}

namespace {

// Stores a value in Node, marking the store changed only when something differs.
bool PutValue(TRegNode& Node, const std::string& Name, bool IsInteger, const std::string& Text,
              int32_t Int) {
  TRegValue* v = Node.Value(Name);
  if (!v) {
    Node.Values.push_back(TRegValue{Name, IsInteger, Text, Int});
    return true;
  }
  if (v->IsInteger == IsInteger && (IsInteger ? v->Int == Int : v->Text == Text)) return false;
  v->IsInteger = IsInteger;
  v->Text = IsInteger ? std::string() : Text;
  v->Int = IsInteger ? Int : 0;
  return true;
}

}  // namespace

std::string TRegistry::ReadString(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  TRegValue* v = node ? node->Value(Name) : nullptr;
  if (!v) return std::string();
  if (v->IsInteger) throw ERegistryException(FormatStr(SInvalidRegType, Name.c_str()));
  return v->Text;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  std::lock_guard lock(FStore->Mutex);
  CheckWritable(Name);
  FStore->Refresh();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  if (!node) throw ERegistryException(FormatStr(SRegSetDataFailed, Name.c_str()));
  if (PutValue(*node, Name, false, Value, 0)) FStore->Touch();
}

int32_t TRegistry::ReadInteger(const std::string& Name) {
  std::lock_guard lock(FStore->Mutex);
  FStore->Refresh();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  TRegValue* v = node ? node->Value(Name) : nullptr;
  if (!v) throw ERegistryException(FormatStr(SRegGetDataFailed, Name.c_str()));
  if (!v->IsInteger) throw ERegistryException(FormatStr(SInvalidRegType, Name.c_str()));
  return v->Int;
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) {
  std::lock_guard lock(FStore->Mutex);
  CheckWritable(Name);
  FStore->Refresh();
  TRegNode* node = FStore->Find(FRootKey, OpenPath());
  if (!node) throw ERegistryException(FormatStr(SRegSetDataFailed, Name.c_str()));
  if (PutValue(*node, Name, true, std::string(), Value)) FStore->Touch();
}

bool TRegistry::ReadBool(const std::string& Name) { return ReadInteger(Name) != 0; }

void TRegistry::WriteBool(const std::string& Name, bool Value) {
  WriteInteger(Name, Value ? 1 : 0);
}

}  // namespace rid
