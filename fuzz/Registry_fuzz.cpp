// The settings file: the input read as a tree of keys and values.
// - A file that is skipped is never written, whatever the program writes; a save says why when
//   the store had used the file before.
// - A save that changes nothing gives back the input byte for byte.
// - Every value changed, a value added to every key and a subkey to every key, then saved and
//   read back as another file, give exactly the changed tree; saving that one again without a
//   change writes the same bytes. A value of another type (hex: and the like) refuses the
//   change and stays as it was.
// - The same changes, with the file written anew by someone else before each save (the same
//   bytes, another file), are made again on what the store reads then: the saves write the
//   same bytes.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/Classes.h"
#include "platform/Registry.h"

namespace {

using rid::fuzz::Check;

constexpr rid::HKEY kRoots[] = {rid::HKEY_CLASSES_ROOT, rid::HKEY_CURRENT_USER,
                                rid::HKEY_LOCAL_MACHINE, rid::HKEY_USERS, rid::HKEY_CURRENT_CONFIG};
constexpr const char* kMark = "\x01rid-fuzz";
constexpr const char* kNewValue = "\x01rid-new";
constexpr const char* kNewKey = "\x01rid-key";

// A name that a key path can reach: not empty, no '\' of its own, no lead byte at its end
// (which would take the '\' after it).
bool Addressable(std::string_view Name) {
  if (Name.empty()) return false;
  for (size_t i = 0; i < Name.size(); ++i) {
    if (rid::IsDBCSLeadByte(Name[i])) {
      if (++i == Name.size()) return false;
    } else if (Name[i] == '\\') {
      return false;
    }
  }
  return true;
}

std::string Changed(const std::string& Text) { return Text + "x"; }
int32_t Changed(int32_t Int) { return static_cast<int32_t>(static_cast<uint32_t>(Int) + 1); }

// What is left of the walk of a tree: keys to tell, and keys to add once a key's subkeys are
// told; taken from the back.
struct TWalkStep {
  std::string Path;
  bool AddKey;
};

// Appends the key at Path and its values to Out, and what is left of it to Todo. With Change,
// every value is changed and a value and a subkey are added; Out then tells the key as it is
// afterwards.
void WalkKey(rid::TRegistry& R, const std::string& Path, bool Change, std::string& Out,
             std::vector<TWalkStep>& Todo) {
  if (!(Change ? R.OpenKey(Path, false) : R.OpenKeyReadOnly(Path))) {
    Out += "? " + Path + "\n";
    return;
  }
  rid::TStringList names;
  R.GetValueNames(&names);
  for (int32_t i = 0; i < names.Count(); ++i) {
    const std::string name = names[i];
    Out += Path + " | " + name + " = ";
    switch (R.GetDataType(name)) {
      case rid::rdString: {
        const std::string text = R.ReadString(name);
        if (Change) R.WriteString(name, Changed(text));
        Out += "s:" + (Change ? Changed(text) : text) + "\n";
        break;
      }
      case rid::rdInteger: {
        const int32_t n = R.ReadInteger(name);
        if (Change) R.WriteInteger(name, Changed(n));
        Out += "i:" + std::to_string(Change ? Changed(n) : n) + "\n";
        break;
      }
      case rid::rdOther:
        Check(!R.ValueExists(name) && R.ReadString(name).empty());
        if (Change) {
          bool refused = false;
          try {
            R.WriteString(name, "x");
          } catch (const rid::ERegistryException&) {
            refused = true;
          }
          Check(refused);
        }
        Out += "o:" + R.GetOtherType(name) + "\n";
        break;
      case rid::rdUnknown:
        Check(false);  // a name listed is there
        break;
    }
  }
  const bool add = Change && R.GetDataType(kNewValue) == rid::rdUnknown && !R.KeyExists(kNewKey);
  if (add) {
    R.WriteString(kNewValue, Path);
    Out += Path + " | " + kNewValue + " = s:" + Path + "\n";
    Todo.push_back({Path, true});  // the new subkey comes after the others
  }
  rid::TStringList keys;
  R.GetKeyNames(&keys);
  for (int32_t i = keys.Count() - 1; i >= 0; --i)
    if (Addressable(keys[i])) Todo.push_back({Path + "\\" + keys[i], false});
}

void AddKey(rid::TRegistry& R, const std::string& Path, std::string& Out) {
  const std::string key = Path + "\\" + kNewKey;
  Check(R.OpenKey(key, true));
  R.WriteInteger(kNewValue, 7);
  Out += key + " | " + kNewValue + " = i:7\n";
}

// The keys of the root, a key before its subkeys; a loop rather than a call per level, since a
// file may nest its keys very deep.
void WalkTree(rid::TRegistry& R, bool Change, std::string& Out) {
  std::vector<TWalkStep> todo = {{"\\", false}};
  while (!todo.empty()) {
    const TWalkStep step = std::move(todo.back());
    todo.pop_back();
    if (step.AddKey)
      AddKey(R, step.Path, Out);
    else
      WalkKey(R, step.Path, Change, Out, todo);
  }
}

// Runs Save, a save of R's store. A file skipped since the store used it (one that became no
// settings file, as the same name may between inputs) is not written either: the save says why.
template <class TSave>
void Saving(rid::TRegistry& R, TSave Save) {
  try {
    Save();
  } catch (const rid::EFileChangedError&) {
    Check(!R.SkipReason().empty());
  }
}

// Every key and value of the file, as text; with Change, as it is after changing them. With
// Rewrite, the file is written anew with its own bytes before each save.
std::string Walk(const std::string& File, bool Change = false, bool Rewrite = false) {
  setenv("RIDEDER_REGISTRY", File.c_str(), 1);
  rid::TRegistry r;
  std::string out = r.SkipReason().empty() ? "" : "skipped\n";
  const auto save = [&](rid::HKEY Root) {
    if (Rewrite) rid::SaveBytesToFileAtomic(File, rid::LoadBytesFromFile(File));
    Saving(r, [&] { Root ? r.SetRootKey(Root) : r.CloseKey(); });
  };
  for (rid::HKEY root : kRoots) {
    save(root);
    WalkTree(r, Change, out);
  }
  save(0);
  return out;
}

// Makes the store of File save without a change; false when it holds the mark itself.
bool Resave(const std::string& File) {
  setenv("RIDEDER_REGISTRY", File.c_str(), 1);
  rid::TRegistry r;
  if (r.GetDataType(kMark) != rid::rdUnknown) return false;
  r.WriteInteger(kMark, 1);
  r.DeleteValue(kMark);
  Saving(r, [&] { r.CloseKey(); });
  return true;
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
  const std::string rewritten = rid::fuzz::ScratchFile("rewritten.ini");
  Forget(first);
  Forget(second);
  Forget(rewritten);
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  rid::SaveBytesToFileAtomic(first, input);
  const std::string tree = Walk(first);
  if (Resave(first) && Size > 0) Check(rid::LoadBytesFromFile(first) == input);
  const std::string changed = Walk(first, true);
  const std::string saved = rid::LoadBytesFromFile(first);
  if (tree.starts_with("skipped")) {
    Check(saved == input);
    return 0;
  }
  rid::SaveBytesToFileAtomic(rewritten, input);
  Check(Walk(rewritten, true, true) == changed);
  Check(rid::LoadBytesFromFile(rewritten) == saved);
  rid::SaveBytesToFileAtomic(second, saved);
  Check(Walk(second) == changed);
  Resave(second);
  Check(rid::LoadBytesFromFile(second) == saved);
  return 0;
}
