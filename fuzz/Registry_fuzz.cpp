// The settings file: the input as the file reads as a tree of keys and values; saved (after a
// change that makes it write) and read back as another file, it gives the same tree, and saving
// that one writes the same bytes again.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "platform/Classes.h"
#include "platform/Registry.h"

namespace {

using rid::fuzz::Check;

constexpr rid::HKEY kRoots[] = {rid::HKEY_CLASSES_ROOT, rid::HKEY_CURRENT_USER,
                                rid::HKEY_LOCAL_MACHINE, rid::HKEY_USERS, rid::HKEY_CURRENT_CONFIG};
constexpr const char* kMark = "\x01rid-fuzz";

// A name that a key path can reach: not empty, no '\' of its own.
bool Addressable(std::string_view Name) {
  if (Name.empty()) return false;
  for (size_t i = 0; i < Name.size(); i += rid::IsDBCSLeadByte(Name[i]) ? 2 : 1)
    if (Name[i] == '\\') return false;
  return true;
}

void DumpKey(rid::TRegistry& R, const std::string& Path, std::string& Out) {
  if (!R.OpenKeyReadOnly(Path)) {
    Out += "? " + Path + "\n";
    return;
  }
  rid::TStringList names;
  R.GetValueNames(&names);
  for (int32_t i = 0; i < names.Count(); ++i) {
    const std::string name = names[i];
    Out += Path + " | " + name + " = ";
    try {
      Out += "s:" + R.ReadString(name) + "\n";
    } catch (const rid::ERegistryException&) {
      Out += "i:" + std::to_string(R.ReadInteger(name)) + "\n";
    }
  }
  rid::TStringList keys;
  R.GetKeyNames(&keys);
  for (int32_t i = 0; i < keys.Count(); ++i)
    if (Addressable(keys[i])) DumpKey(R, Path + "\\" + keys[i], Out);
}

// Every key and value of the file, as text.
std::string Dump(const std::string& File) {
  setenv("RIDEDER_REGISTRY", File.c_str(), 1);
  rid::TRegistry r;
  std::string out;
  for (rid::HKEY root : kRoots) {
    r.SetRootKey(root);
    DumpKey(r, "\\", out);
  }
  r.CloseKey();
  return out;
}

// Makes the store of File write itself out.
void Resave(const std::string& File) {
  setenv("RIDEDER_REGISTRY", File.c_str(), 1);
  rid::TRegistry r;
  r.WriteInteger(kMark, 1);
  r.DeleteValue(kMark);
  r.CloseKey();
}

// The store of File forgets what it read: the file is gone.
void Forget(const std::string& File) {
  std::filesystem::remove(File);
  setenv("RIDEDER_REGISTRY", File.c_str(), 1);
  rid::TRegistry r;
  r.KeyExists("\\");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string first = rid::fuzz::ScratchFile("first.ini");
  const std::string second = rid::fuzz::ScratchFile("second.ini");
  Forget(first);
  Forget(second);
  rid::SaveBytesToFileAtomic(first, std::string_view(reinterpret_cast<const char*>(Data), Size));
  Resave(first);
  const std::string tree = Dump(first);
  const std::string saved = rid::LoadBytesFromFile(first);
  rid::SaveBytesToFileAtomic(second, saved);
  Check(Dump(second) == tree);
  Resave(second);
  Check(rid::LoadBytesFromFile(second) == saved);
  return 0;
}
