#include "platform/Classes.h"

#include <endian.h>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <utility>

#include "platform/Locale.h"

namespace rid {

namespace {

std::string SysReason(int Error) { return std::strerror(Error); }

int32_t CompareBytes(std::string_view A, std::string_view B) {
  const int c = A.compare(B);  // char_traits<char> compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

const char* BaseName(const char* Path) {
  const char* slash = std::strrchr(Path, '/');
  return slash ? slash + 1 : Path;
}

[[noreturn]] void RaiseOpenError(const std::string& FileName, const std::string& Reason) {
  throw EFOpenError(FormatStr(SFOpenError, FileName.c_str(), Reason.c_str()));
}

[[noreturn]] void RaiseCreateError(const std::string& FileName, const std::string& Reason) {
  throw EFCreateError(FormatStr(SFCreateError, FileName.c_str(), Reason.c_str()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

std::string FormatStr(const char* Fmt, ...) {
  va_list ap;
  va_start(ap, Fmt);
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, Fmt, ap);
  va_end(ap);
  std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(s.data(), s.size() + 1, Fmt, ap2);
  va_end(ap2);
  return s;
}

void Abort() { throw EAbort(); }

void Assert(bool Condition, const char* SourceName, int32_t Line, const char* Message) {
  if (Condition) return;
  const std::string source = BaseName(SourceName ? SourceName : "");
  std::string text = "Assertion failure";
  if (Message && *Message) text += std::string(": ") + Message;
  text += " (" + source;
  if (Line > 0) text += ", line " + std::to_string(Line);
  text += ")";
  throw EAssertionFailed(std::move(text), source, Line);
}

// ---------------------------------------------------------------------------------------------
// TPersistent

void TPersistent::Assign(TPersistent* Source) {
  if (Source)
    Source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
  const std::string sourceName = Source ? Source->ClassName() : "nil";
  throw EConvertError(FormatStr(SAssignError, sourceName.c_str(), ClassName().c_str()));
}

// ---------------------------------------------------------------------------------------------
// TComponent

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Each entry learns of our end once; we leave its list first, so an override that does not
  // call the base Notification cannot loop.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    other->RemoveNotification(this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::GetComponent(int32_t Index) const {
  if (Index < 0 || Index >= GetComponentCount())
    throw EListError(FormatStr(SListIndexError, Index));
  return FComponents[static_cast<size_t>(Index)];
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (AnsiSameText(c->FName, AName)) return c;
  return nullptr;
}

void TComponent::SetName(const std::string& Value) { FName = Value; }

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this) return;
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  Insert(AComponent);
  if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this) return;
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::DestroyComponents() {
  // Reverse order of insertion; each one is taken out (the others hear of it) before it dies.
  while (!FComponents.empty()) {
    TComponent* instance = FComponents.back();
    RemoveComponent(instance);
    if (instance->FOwner == this) Remove(instance);  // an override may have kept it
    delete instance;
  }
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState.Include(csDestroying);
  for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (FOwner && AComponent->FOwner == FOwner) return;  // the owner passes the news on
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) != FFreeNotifies.end())
    return;
  FFreeNotifies.push_back(AComponent);
  AComponent->FreeNotification(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (it != FFreeNotifies.end()) FFreeNotifies.erase(it);
}

void TComponent::BeginLoading() { FComponentState.Include(csLoading); }

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::SetDesigning(bool Value) {
  if (Value)
    FComponentState.Include(csDesigning);
  else
    FComponentState.Exclude(csDesigning);
  for (TComponent* c : FComponents) c->SetDesigning(Value);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // By index: a handler may change the list.
  for (size_t i = 0; i < FComponents.size(); ++i)
    if (FComponents[i] != AComponent) FComponents[i]->Notification(AComponent, Operation);
}

void TComponent::Insert(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
  auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (it != FComponents.end()) FComponents.erase(it);
  AComponent->FOwner = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TStream

void TStream::SetSize(int64_t NewSize) {}

int64_t TStream::GetSize() {
  const int64_t pos = Seek(0, soFromCurrent);
  const int64_t size = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return size;
}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError(SWriteError);
}

void TStream::WriteBuffer(std::string_view Bytes) {
  size_t done = 0;
  while (done < Bytes.size()) {
    const size_t chunk = std::min<size_t>(Bytes.size() - done, size_t(1) << 30);
    WriteBuffer(Bytes.data() + done, static_cast<int32_t>(chunk));
    done += chunk;
  }
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->GetSize();
  }
  const int64_t result = Count;
  std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(Count, 64 * 1024)));
  while (Count > 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, buffer.size()));
    Source->ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    Count -= n;
  }
  return result;
}

namespace {

// Everything ReadSome (buffer, count) -> bytes read (0 at the end) gives, read straight into a
// string of the Expected size, so that the bytes are held once; more or fewer are followed.
template <typename F>
std::string ReadAll(size_t Expected, F&& ReadSome) {
  std::string out(Expected, '\0');
  size_t done = 0;
  for (;;) {
    if (done == out.size()) {
      char probe;
      if (ReadSome(&probe, 1) == 0) break;
      out.resize(std::max<size_t>(out.size() * 2, 64 * 1024));
      out[done++] = probe;
    }
    const size_t n = ReadSome(out.data() + done, std::min<size_t>(out.size() - done, 1 << 30));
    if (n == 0) break;
    done += n;
  }
  out.resize(done);
  return out;
}

}  // namespace

std::string TStream::ReadRest() {
  const int64_t left = GetSize() - GetPosition();
  return ReadAll(static_cast<size_t>(std::max<int64_t>(left, 0)), [this](char* p, size_t n) {
    return static_cast<size_t>(std::max<int32_t>(Read(p, static_cast<int32_t>(n)), 0));
  });
}

// ---------------------------------------------------------------------------------------------
// TMemoryStream

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
  const int64_t size = GetSize();
  if (Count <= 0 || FPosition < 0 || FPosition >= size) return 0;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, size - FPosition));
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0 || FPosition < 0) return 0;
  const int64_t end = FPosition + Count;
  if (end > GetSize()) FData.resize(static_cast<size_t>(end));  // a gap reads as zeros
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, uint16_t Origin) {
  switch (Origin) {
    case soFromBeginning:
      FPosition = Offset;
      break;
    case soFromCurrent:
      FPosition += Offset;
      break;
    case soFromEnd:
      FPosition = GetSize() + Offset;
      break;
    default:
      break;
  }
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(NewSize, 0)));
  if (FPosition > GetSize()) FPosition = GetSize();
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  FData = Stream->ReadRest();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  FData = LoadBytesFromFile(FileName);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream* Stream) { Stream->WriteBuffer(FData); }

void TMemoryStream::SaveToFile(const std::string& FileName) {
  SaveBytesToFileAtomic(FileName, FData);
}

// ---------------------------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const std::string& AFileName, uint16_t Mode) : FFileName(AFileName) {
  const bool create = (Mode & fmCreate) == fmCreate;
  int flags = O_CLOEXEC;
  if (create) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (Mode & 3) {
      case fmOpenWrite:
        flags |= O_WRONLY;
        break;
      case fmOpenReadWrite:
        flags |= O_RDWR;
        break;
      default:
        flags |= O_RDONLY;
        break;
    }
  }
  do {
    FHandle = ::open(AFileName.c_str(), flags, 0666);
  } while (FHandle < 0 && errno == EINTR);
  int error = FHandle < 0 ? errno : 0;
  struct stat st;
  if (FHandle >= 0 && ::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(FHandle);
    FHandle = -1;
    error = EISDIR;
  }
  if (FHandle < 0) {
    if (create) RaiseCreateError(AFileName, SysReason(error));
    RaiseOpenError(AFileName, SysReason(error));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  size_t done = 0;
  while (done < static_cast<size_t>(Count)) {
    const ssize_t n = ::read(FHandle, static_cast<char*>(Buffer) + done, Count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int32_t>(done);
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  size_t done = 0;
  while (done < static_cast<size_t>(Count)) {
    const ssize_t n = ::write(FHandle, static_cast<const char*>(Buffer) + done, Count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int32_t>(done);
}

int64_t TFileStream::Seek(int64_t Offset, uint16_t Origin) {
  const int whence =
      Origin == soFromCurrent ? SEEK_CUR : (Origin == soFromEnd ? SEEK_END : SEEK_SET);
  return ::lseek(FHandle, Offset, whence);
}

void TFileStream::SetSize(int64_t NewSize) {
  Seek(NewSize, soFromBeginning);
  if (::ftruncate(FHandle, NewSize) != 0) {
    const std::string reason = SysReason(errno);
    throw EWriteError(FormatStr(SFWriteError, FFileName.c_str(), reason.c_str()));
  }
}

// ---------------------------------------------------------------------------------------------
// Whole files

namespace {

// Linux follows at most this many symbolic links in a name.
constexpr int kMaxLinkHops = 40;

// The file a name finally designates: symbolic links followed, dangling ones included. A loop
// of links, or a chain longer than the system follows, is refused as the system refuses it.
std::filesystem::path ResolveLinks(const std::string& FileName) {
  namespace fs = std::filesystem;
  fs::path path = FileName;
  for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    fs::path target = fs::read_symlink(path, ec);
    if (ec) return path;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  RaiseCreateError(FileName, SysReason(ELOOP));
}

std::filesystem::path FolderOf(const std::filesystem::path& Target) {
  return Target.has_parent_path() ? Target.parent_path() : ".";
}

// At most this many bytes of a file's name go into the names of its temporary files, which
// so stay within the system's limit of 255 bytes however long the name is.
constexpr size_t kNameStemBytes = 32;

// The beginning of a file's name that a temporary file's name shows, so that a person can tell
// whose it is: whole UTF-8 characters.
std::string NameStem(const std::filesystem::path& Target) {
  const std::string name = Target.filename().string();
  size_t end = std::min(name.size(), kNameStemBytes);
  while (end < name.size() && end > 0 && (static_cast<uint8_t>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

// A descriptor, closed when this goes.
class TFd {
 public:
  explicit TFd(int AFd = -1) : FFd(AFd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(TFd&& Other) noexcept : FFd(std::exchange(Other.FFd, -1)) {}
  TFd& operator=(TFd&& Other) noexcept {
    std::swap(FFd, Other.FFd);
    return *this;
  }
  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }

 private:
  int FFd;
};

// Creates a new file <Prefix><8 random hex digits><Suffix> with Mode in the open Folder; returns
// its descriptor and its name there, or -1 with errno.
int CreateUniqueFile(int Folder, const std::string& Prefix, const char* Suffix, mode_t Mode,
                     std::string& Name) {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char random[16];
    std::snprintf(random, sizeof random, "%08x", rd());
    Name = Prefix + random + Suffix;
    const int fd = ::openat(Folder, Name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, Mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

[[noreturn]] void RaiseWriteError(const std::string& FileName, int Error) {
  const std::string reason = SysReason(Error);
  throw EWriteError(FormatStr(SFWriteError, FileName.c_str(), reason.c_str()));
}

[[noreturn]] void RaiseChanged(const std::string& FileName) {
  throw EFileChangedError(
      FormatStr(SFCreateError, FileName.c_str(), "It changed on disk after it was checked"));
}

// Why a file that is not a regular one is not read or replaced, in the words of an error.
const char* NotRegularReason(mode_t Mode) {
  if (S_ISDIR(Mode)) return "It is a folder, not a regular file";
  if (S_ISFIFO(Mode)) return "It is a pipe (FIFO), not a regular file";
  if (S_ISCHR(Mode) || S_ISBLK(Mode)) return "It is a device, not a regular file";
  if (S_ISSOCK(Mode)) return "It is a socket, not a regular file";
  return "It is not a regular file";
}

int64_t Nanoseconds(const struct timespec& Time) {
  return int64_t{Time.tv_sec} * 1'000'000'000 + Time.tv_nsec;
}

TFileState StateOf(const struct stat& St, bool IsLink) {
  TFileState s;
  s.Exists = true;
  s.IsLink = IsLink;
  s.Device = St.st_dev;
  s.Inode = St.st_ino;
  s.Type = St.st_mode & S_IFMT;
  s.Owner = St.st_uid;
  s.Group = St.st_gid;
  s.Links = St.st_nlink;
  s.Size = St.st_size;
  s.ModifiedNs = Nanoseconds(St.st_mtim);
  s.ChangedNs = Nanoseconds(St.st_ctim);
  s.Mode = St.st_mode & 07777;
  return s;
}

// Whether St is the file State describes, with the content it had as far as the system tells.
bool IsSameFile(const TFileState& State, const struct stat& St) {
  return State.Exists && CompareFileStates(State, StateOf(St, false)) == TFileChange::None;
}

bool IsLinkName(const std::string& FileName) {
  struct stat st;
  return ::lstat(FileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Moves Count bytes at Offset whole with Move (pread or pwrite); 0, or the system's error (EIO
// for an end before them).
template <typename TBytes, typename F>
int AllAt(F&& Move, int Fd, TBytes* Bytes, size_t Count, off_t Offset) {
  while (Count > 0) {
    const ssize_t n = Move(Fd, Bytes, Count, Offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    Bytes += n;
    Count -= static_cast<size_t>(n);
    Offset += n;
  }
  return 0;
}

int WriteAllAt(int Fd, const char* Bytes, size_t Count, off_t Offset) {
  return AllAt(::pwrite, Fd, Bytes, Count, Offset);
}
int ReadAllAt(int Fd, char* Bytes, size_t Count, off_t Offset) {
  return AllAt(::pread, Fd, Bytes, Count, Offset);
}

// No end: the whole content.
constexpr off_t kWhole = std::numeric_limits<off_t>::max();

// Reads the content of From from its start up to End (or its end), passing each piece to
// Put(Bytes, Count, Offset), which returns 0 or an error; 0, or the first error.
template <typename F>
int ReadPieces(int From, F&& Put, off_t End = kWhole) {
  std::vector<char> buffer(1 << 16);
  for (off_t at = 0; at < End;) {
    const auto want = static_cast<size_t>(std::min<off_t>(off_t(buffer.size()), End - at));
    const ssize_t n = ::pread(From, buffer.data(), want, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : 0;
    if (const int error = Put(buffer.data(), static_cast<size_t>(n), at)) return error;
    at += n;
  }
  return 0;
}

// Copies the content of From up to End (or its end) over To from its start, and syncs To; 0,
// or the system's error.
int CopyContent(int From, int To, off_t End = kWhole) {
  const int error = ReadPieces(
      From,
      [To](const char* Bytes, size_t Count, off_t At) { return WriteAllAt(To, Bytes, Count, At); },
      End);
  if (error != 0) return error;
  return ::fsync(To) == 0 ? 0 : errno;
}

// A stream that writes to the descriptor of a file being saved, from its start: every write is
// whole or raises EWriteError naming the file. Its end is the end of what was written, which
// in a file written over in place may lie before the old text's end.
class TSaveStream : public TStream {
 public:
  TSaveStream(int AFd, const std::string& AFileName) : FFd(AFd), FFileName(AFileName) {}
  int32_t Read(void*, int32_t) override { return 0; }  // written only
  int32_t Write(const void* Buffer, int32_t Count) override {
    const auto* p = static_cast<const char*>(Buffer);
    for (int32_t done = 0; done < Count;) {
      const ssize_t n = ::pwrite(FFd, p + done, static_cast<size_t>(Count - done), FPosition);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) RaiseWriteError(FFileName, n < 0 ? errno : EIO);
      done += static_cast<int32_t>(n);
      FPosition += n;
      FEnd = std::max(FEnd, FPosition);
    }
    return Count < 0 ? 0 : Count;
  }
  int64_t Seek(int64_t Offset, uint16_t Origin) override {
    const int64_t from = Origin == soFromCurrent ? FPosition : Origin == soFromEnd ? FEnd : 0;
    if (from + Offset >= 0) FPosition = from + Offset;
    return FPosition;
  }
  // The end of the furthest byte written.
  int64_t End() const { return FEnd; }
  // Flushes what was written to disk; returns the file's state.
  TFileState Sync(bool IsLink) {
    struct stat st;
    if (::fsync(FFd) != 0 || ::fstat(FFd, &st) != 0) RaiseWriteError(FFileName, errno);
    return StateOf(st, IsLink);
  }
  // Brings the state Written of the file written up to date once it got its name, which
  // changed its status change time (and its number of names, from none); leaves it should
  // anything else have changed meanwhile, so that the next look sees that change.
  void Named(TFileState& Written) const {
    struct stat st;
    if (::fstat(FFd, &st) != 0) return;
    const TFileState now = StateOf(st, Written.IsLink);
    const bool same = now.Size == Written.Size && now.ModifiedNs == Written.ModifiedNs &&
                      now.Owner == Written.Owner && now.Group == Written.Group &&
                      now.Mode == Written.Mode;
    if (!same) return;
    Written.ChangedNs = now.ChangedNs;
    Written.Links = now.Links;
  }

 protected:
  int FFd;
  const std::string& FFileName;

 private:
  int64_t FPosition = 0;
  int64_t FEnd = 0;
};

// Where a save writes: the folder of the file a name leads to, held open so that every step of
// the save happens in that one folder whatever its path leads to meanwhile, and the file found
// there under the name (Old, held open as a path only; none when the name is free).
class TSavePlace {
 public:
  // Links in FileName are followed where FollowLinks says so; else a link there is what is found.
  TSavePlace(const std::string& AFileName, bool FollowLinks)
      : FileName(AFileName),
        Target(FollowLinks ? ResolveLinks(AFileName) : std::filesystem::path(AFileName)),
        IsLink(Target != std::filesystem::path(AFileName)),
        Name(Target.filename().string()) {
    if (Name.empty() || Name == "." || Name == "..") RefuseFolderName();
    Folder = TFd(::open(FolderOf(Target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!Folder.Valid()) RaiseCreateError(FileName, SysReason(errno));
    OldFd = TFd(::openat(Folder.Get(), Name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!OldFd.Valid() && errno != ENOENT) RaiseCreateError(FileName, SysReason(errno));
    struct stat st;
    if (OldFd.Valid() && ::fstat(OldFd.Get(), &st) != 0)
      RaiseCreateError(FileName, SysReason(errno));
    if (OldFd.Valid()) Old = st;
  }

  // Raises EFileChangedError unless the name holds the file Checked describes (none when it
  // describes none).
  void CheckAgainst(const TFileState& Checked) const {
    if (Old ? !IsSameFile(Checked, *Old) : Checked.Exists) RaiseChanged(FileName);
    struct stat st;
    if (Checked.FolderInode != 0 &&
        (::fstat(Folder.Get(), &st) != 0 || st.st_dev != Checked.FolderDevice ||
         st.st_ino != Checked.FolderInode))
      RaiseChanged(FileName);
  }

  // A rename would replace anything, a device or a file its owner made read-only, so the save
  // refuses. No write permission bit at all means read-only to everyone, root included.
  void RefuseToReplace() const {
    if (!Old) return;
    if (!S_ISREG(Old->st_mode)) RaiseCreateError(FileName, NotRegularReason(Old->st_mode));
    if ((Old->st_mode & 0222) == 0) RaiseCreateError(FileName, "The file is read-only");
    if (::faccessat(Folder.Get(), Name.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
      RaiseCreateError(FileName, SysReason(EACCES));
  }

  // Whether the name still holds Old as it was (or is still free).
  bool StillHoldsOld() const {
    struct stat st;
    if (::fstatat(Folder.Get(), Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return !Old && errno == ENOENT;
    return Old && IsSameFile(StateOf(*Old, false), st);
  }

  const std::string FileName;          // as the caller gave it, for messages
  const std::filesystem::path Target;  // the file it leads to
  const bool IsLink;                   // FileName is a link, followed to Target
  const std::string Name;              // Target's name in its folder
  TFd Folder;                          // opened as a path only
  TFd OldFd;
  std::optional<struct stat> Old;

 private:
  // A name that ends in a folder's own name ("dir/", "..") names no file in a folder.
  [[noreturn]] void RefuseFolderName() const {
    struct stat st;
    if (::stat(Target.c_str(), &st) != 0) RaiseCreateError(FileName, SysReason(errno));
    RaiseCreateError(FileName, NotRegularReason(st.st_mode));
  }
};

// What Get(Buffer, Size) gives, whole: Get answers the size it needs for Size 0, and fails with
// ERANGE when that grew meanwhile. Nothing on another failure (errno says which).
template <typename F>
std::optional<std::string> ReadSized(F&& Get) {
  for (;;) {
    const ssize_t size = Get(nullptr, 0);
    if (size < 0) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    const ssize_t n = Get(bytes.data(), bytes.size());
    if (n >= 0) {
      bytes.resize(static_cast<size_t>(n));
      return bytes;
    }
    if (errno != ERANGE) return std::nullopt;
  }
}

using TAttributes = TFileAttributes;

constexpr const char* kAclAttribute = "system.posix_acl_access";
constexpr const char* kCapabilityAttribute = "security.capability";

// The extended attributes of an open file, its ACL among them (system.posix_acl_access), read
// through the file's /proc name so that a descriptor opened as a path only will do. None on a
// file system without them; nothing when they cannot all be read.
std::optional<TAttributes> ReadAttributes(int Fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(Fd);
  const auto names =
      ReadSized([&](char* Buffer, size_t Size) { return ::listxattr(path.c_str(), Buffer, Size); });
  if (!names) return errno == ENOTSUP ? std::optional<TAttributes>(TAttributes{}) : std::nullopt;
  TAttributes attributes;
  for (size_t at = 0; at < names->size(); at = names->find('\0', at) + 1) {
    const std::string name = names->c_str() + at;
    const auto value = ReadSized([&](char* Buffer, size_t Size) {
      return ::getxattr(path.c_str(), name.c_str(), Buffer, Size);
    });
    if (!value) return std::nullopt;
    attributes.emplace_back(name, *value);
  }
  return attributes;
}

bool HasAttribute(const TAttributes& Attributes, const std::string& Name) {
  return std::any_of(Attributes.begin(), Attributes.end(),
                     [&Name](const auto& A) { return A.first == Name; });
}

// Gives a new file what an old one carries besides its text and owner: its extended attributes
// (and none that the new file got by itself, such as an ACL its folder gives new files), then
// its whole mode, which an ACL changes. Called after the owner, which clears the set-user-ID
// and set-group-ID bits, and before the text, which must never be readable by more than could
// read the old one (KeepWhatWritingClears then gives back what the writing clears). False when
// any of it cannot be given.
bool GiveAttributes(int To, const TAttributes& Attributes, mode_t Mode) {
  const auto own = ReadAttributes(To);
  if (!own) return false;
  for (const auto& attribute : *own)
    if (!HasAttribute(Attributes, attribute.first) &&
        ::fremovexattr(To, attribute.first.c_str()) != 0)
      return false;
  for (const auto& [name, value] : Attributes)
    if (::fsetxattr(To, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  struct stat st;
  return ::fchmod(To, Mode) == 0 && ::fstat(To, &st) == 0 && (st.st_mode & 07777) == Mode;
}

// Gives a file written to back what the writing cleared, as far as the user may: an attribute
// that went (a file capability) and the part of Mode that went (set-user-ID, set-group-ID).
// True when the file has Mode and the Attributes again.
bool KeepWhatWritingClears(int Fd, mode_t Mode, const std::optional<TAttributes>& Attributes) {
  bool kept = true;
  if (Attributes) {
    const auto now = ReadAttributes(Fd);
    kept = now.has_value();
    if (now)
      for (const auto& [name, value] : *Attributes)
        if (!HasAttribute(*now, name) &&
            ::fsetxattr(Fd, name.c_str(), value.data(), value.size(), 0) != 0)
          kept = false;
  }
  struct stat st;
  if (::fstat(Fd, &st) != 0) return false;
  if ((st.st_mode & 07777) == Mode) return kept;
  return ::fchmod(Fd, Mode) == 0 && ::fstat(Fd, &st) == 0 && (st.st_mode & 07777) == Mode && kept;
}

// Why a save lost set-ID bits: the writing cleared them, or the file was made anew.
enum class TDropCause { WrittenOver, MadeAnew };

// What the file Fd lacks after a save of the privileges a file had (the set-ID bits of Mode, a
// file capability among Attributes), each said with why.
std::vector<std::string> DroppedPrivileges(mode_t Mode, const TAttributes& Attributes, int Fd,
                                           TDropCause Cause) {
  std::vector<std::string> dropped;
  struct stat st;
  if (::fstat(Fd, &st) != 0) return dropped;
  const bool madeAnew = Cause == TDropCause::MadeAnew;
  if ((Mode & S_ISUID) && !(st.st_mode & S_ISUID))
    dropped.push_back(std::string("its set-user-ID bit was dropped: ") +
                      (madeAnew ? "only root can give a file made anew its former owner"
                                : "writing clears it, and only the file's owner or root can set "
                                  "it again"));
  if ((Mode & S_ISGID) && !(st.st_mode & S_ISGID))
    dropped.push_back(std::string("its set-group-ID bit was dropped: ") +
                      (madeAnew ? "only root, or its former owner in its former group, can give "
                                  "it to a file made anew"
                                : "writing clears it, and only root, or the file's owner in its "
                                  "group, can set it again"));
  if (HasAttribute(Attributes, kCapabilityAttribute)) {
    const auto now = ReadAttributes(Fd);
    if (now && !HasAttribute(*now, kCapabilityAttribute))
      dropped.push_back("its file capabilities were dropped: only root can give them");
  }
  return dropped;
}

// The result of a save whose file Fd is now as Synced tells: its attributes recorded, and
// what it lacks of the privileges of the file it replaced or was made anew for (Mode,
// Attributes).
TSavedFile SavedFile(TFileState Synced, int Fd, mode_t Mode, const TAttributes& Attributes,
                     TDropCause Cause) {
  Synced.Attributes = ReadAttributes(Fd).value_or(TAttributes{});
  return {std::move(Synced), DroppedPrivileges(Mode, Attributes, Fd, Cause)};
}

// The temporary file of an atomic save, as the stream its content is written to. Until it is
// renamed over the target, the file is removed when this goes (also when a write or the
// writer raised); one without a name (ATempName empty) goes with its descriptor.
class TSiblingFile : public TSaveStream {
 public:
  TSiblingFile(int AFd, const TSavePlace& APlace, std::string ATempName)
      : TSaveStream(AFd, APlace.FileName),
        FFolder(APlace.Folder.Get()),
        FTempName(std::move(ATempName)),
        FNameless(FTempName.empty()) {}
  ~TSiblingFile() override { Drop(); }
  TSiblingFile(const TSiblingFile&) = delete;
  TSiblingFile& operator=(const TSiblingFile&) = delete;

  // Removes the file at once, for a save that goes another way before writing to it.
  void Drop() {
    if (FFd < 0) return;
    ::close(std::exchange(FFd, -1));
    if (!FTempName.empty()) ::unlinkat(FFolder, FTempName.c_str(), 0);
  }

  // Renames the file to Name in its folder, over the file there, or only where there is none
  // (Exclusive, the only way for a file without a name); 0, or the system's error.
  int RenameTo(const std::string& Name, bool Exclusive) {
    if (FNameless) {
      const std::string self = "/proc/self/fd/" + std::to_string(FFd);
      return ::linkat(AT_FDCWD, self.c_str(), FFolder, Name.c_str(), AT_SYMLINK_FOLLOW) == 0
                 ? 0
                 : errno;
    }
    const char* from = FTempName.c_str();
    const int renamed = Exclusive
                            ? ::renameat2(FFolder, from, FFolder, Name.c_str(), RENAME_NOREPLACE)
                            : ::renameat(FFolder, from, FFolder, Name.c_str());
    if (renamed == 0) {
      FTempName.clear();
      return 0;
    }
    // A file system without the exclusive rename: a second name, made only where none is; the
    // temporary one goes with this.
    if (!Exclusive || errno != EINVAL) return errno;
    return ::linkat(FFolder, from, FFolder, Name.c_str(), 0) == 0 ? 0 : errno;
  }

  // Writes what it holds to Out.
  void CopyTo(TStream& Out) const {
    const int error = ReadPieces(FFd, [&Out](const char* Bytes, size_t Count, off_t) {
      Out.WriteBuffer(Bytes, static_cast<int32_t>(Count));
      return 0;
    });
    if (error != 0) RaiseWriteError(FFileName, error);
  }

 private:
  int FFolder;
  std::string FTempName;  // its name in the folder; empty once renamed
  bool FNameless;
};

// The temporary files of the saves in progress, for a signal handler to remove: slots a
// handler may read at any moment, each holding a name that lives while it is registered.
std::array<std::atomic<const char*>, 16> TemporaryFiles;

// Registers a temporary file for the life of the guard.
class TTemporaryFileGuard {
 public:
  explicit TTemporaryFileGuard(const std::string& Name) {
    for (auto& slot : TemporaryFiles) {
      const char* none = nullptr;
      if (slot.compare_exchange_strong(none, Name.c_str())) {
        FSlot = &slot;
        break;
      }
    }
  }
  ~TTemporaryFileGuard() {
    if (FSlot) FSlot->store(nullptr);
  }
  TTemporaryFileGuard(const TTemporaryFileGuard&) = delete;
  TTemporaryFileGuard& operator=(const TTemporaryFileGuard&) = delete;

 private:
  std::atomic<const char*>* FSlot = nullptr;
};

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds the ending signals back, so that a temporary file is registered as it comes to be.
class TEndingSignalsHeld {
 public:
  TEndingSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kEndingSignals) sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &FOld);
  }
  ~TEndingSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &FOld, nullptr); }
  TEndingSignalsHeld(const TEndingSignalsHeld&) = delete;
  TEndingSignalsHeld& operator=(const TEndingSignalsHeld&) = delete;

 private:
  sigset_t FOld;
};

// While a file is written over in place, an ending signal would leave a part of it: the
// signal is noted and raised again once the file is whole, whichever thread it reached.
std::atomic<int> InPlaceWrites{0};
std::atomic<int> DeferredSignal{0};

class TEndingSignalsDeferred {
 public:
  TEndingSignalsDeferred() { ++InPlaceWrites; }
  ~TEndingSignalsDeferred() {
    if (--InPlaceWrites == 0)
      if (const int signal = DeferredSignal.exchange(0)) ::raise(signal);
  }
  TEndingSignalsDeferred(const TEndingSignalsDeferred&) = delete;
  TEndingSignalsDeferred& operator=(const TEndingSignalsDeferred&) = delete;
};

void RemoveTemporaryFilesAndDie(int Signal) {
  if (InPlaceWrites.load() > 0) {
    DeferredSignal.store(Signal);
    return;
  }
  for (auto& slot : TemporaryFiles)
    if (const char* name = slot.load()) ::unlink(name);
  ::signal(Signal, SIG_DFL);
  ::raise(Signal);
}

// Whether names can only be added to the open Folder (chattr +a): a file made there could never
// be renamed or removed again.
bool IsAppendOnly(int Folder) {
  struct statx sx;
  if (::statx(Folder, "", AT_EMPTY_PATH, 0, &sx) == 0 &&
      (sx.stx_attributes_mask & STATX_ATTR_APPEND) != 0)
    return (sx.stx_attributes & STATX_ATTR_APPEND) != 0;
  // A file system that does not report the flag so may still keep it.
  const TFd opened(::openat(Folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int flags = 0;
  return opened.Valid() && ::ioctl(opened.Get(), FS_IOC_GETFLAGS, &flags) == 0 &&
         (flags & FS_APPEND_FL) != 0;
}

// A new file with Mode in the save's folder without a name, which goes with its descriptor
// unless it is named; or -1 with errno.
int CreateNamelessSibling(const TSavePlace& Place, mode_t Mode) {
  return ::openat(Place.Folder.Get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, Mode);
}

// Creates a new temporary file with Mode in the save's folder, registered for removal on an
// ending signal as it comes to be; returns its descriptor, its name in the folder and its path.
int CreateRegisteredSibling(const TSavePlace& Place, mode_t Mode, std::string& TempName,
                            std::string& TempPath, std::optional<TTemporaryFileGuard>& Registered) {
  const TEndingSignalsHeld held;
  const int fd = CreateUniqueFile(Place.Folder.Get(), "." + NameStem(Place.Target) + ".", ".tmp",
                                  Mode, TempName);
  const int error = errno;
  if (fd >= 0) {
    TempPath = (FolderOf(Place.Target) / TempName).string();
    Registered.emplace(TempPath);
  }
  errno = error;
  return fd;
}

// A folder where the old bytes of a file written in place may be kept meanwhile: open, or why
// not.
struct TBackupFolder {
  std::filesystem::path Path;
  TFd Fd;
  std::string WhyNot;
};

// The user's cache folder serves only when it is a real folder of the user's alone, mode 0700,
// as it is when opened: a link there may lead into a folder another user planted.
// One that is missing because it could not be made (NotMade: why not) says so.
TBackupFolder OpenOwnFolder(const std::filesystem::path& Path, int NotMade) {
  TBackupFolder folder{
      Path, TFd(::open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)), {}};
  const int error = errno;
  struct stat st;
  if (!folder.Fd.Valid() && error != ELOOP && error != ENOTDIR) {
    folder.WhyNot = SysReason(error == ENOENT && NotMade != 0 ? NotMade : error);
  } else if (!folder.Fd.Valid() || ::fstat(folder.Fd.Get(), &st) != 0 || st.st_uid != ::geteuid() ||
             (st.st_mode & 07777) != 0700) {
    folder.Fd = TFd();
    folder.WhyNot = "It is not a folder of the user's alone (mode 0700)";
  }
  return folder;
}

// Makes Folder in Parent, and Parent, for the user alone where they are missing; 0, or why the
// first that was missing could not be made (a full disk, say, rather than the missing parent
// that follows from it).
int MakeFolders(const std::filesystem::path& Parent, const std::filesystem::path& Folder) {
  const auto make = [](const std::filesystem::path& Path) {
    return ::mkdir(Path.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
  };
  const int parent = make(Parent), folder = make(Folder);
  return folder == ENOENT && parent != 0 ? parent : folder;
}

// Where the old bytes of a file written in place are kept meanwhile, in this order: the user's
// cache folder (made on first use, for the user alone), then the temporary folder.
std::vector<TBackupFolder> BackupFolders() {
  namespace fs = std::filesystem;
  std::vector<TBackupFolder> folders;
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  fs::path userCache = cache && *cache == '/' ? fs::path(cache)
                       : home && *home == '/' ? fs::path(home) / ".cache"
                                              : fs::path();
  if (!userCache.empty()) {
    const int notMade = MakeFolders(userCache, userCache / "rideder");
    folders.push_back(OpenOwnFolder(userCache / "rideder", notMade));
  }
  const char* tmp = std::getenv("TMPDIR");
  const fs::path temporary = tmp && *tmp == '/' ? tmp : "/tmp";
  TFd fd(::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const std::string whyNot = fd.Valid() ? "" : SysReason(errno);
  folders.push_back({temporary, std::move(fd), whyNot});
  for (TBackupFolder& folder : folders)
    if (folder.Fd.Valid() && IsAppendOnly(folder.Fd.Get())) {
      folder.Fd = TFd();
      folder.WhyNot = "It is append-only: a copy kept there could not be removed";
    }
  return folders;
}

// A copy of the old bytes of a file about to be written in place, readable by the user alone,
// which puts them back when the write fails. It is removed when it goes, unless it is the only
// place left that holds them.
class TBackupCopy {
 public:
  // Copies From's content; raises EFCreateError naming FileName when no folder takes a copy.
  TBackupCopy(int From, const std::string& FileName, const std::filesystem::path& Target) {
    std::string why;
    for (TBackupFolder& folder : BackupFolders()) {
      std::string error = folder.WhyNot;
      if (error.empty()) {
        FFolder = std::move(folder.Fd);
        const int fd = CreateUniqueFile(FFolder.Get(), NameStem(Target) + ".", ".old", 0600, FLeaf);
        int failed = fd < 0 ? errno : CopyContent(From, fd);
        FCopy = TFd(fd);
        struct stat st;
        if (failed == 0 && ::fstat(fd, &st) != 0) failed = errno;
        if (failed == 0) {
          FName = (folder.Path / FLeaf).string();
          FSize = st.st_size;
          return;
        }
        error = SysReason(failed);
        Drop();
      }
      why += (why.empty() ? "" : "; ") + folder.Path.string() + ": " + error;
    }
    RaiseCreateError(
        FileName, "No copy of the old text could be kept while it is written over (" + why + ")");
  }
  ~TBackupCopy() {
    if (!FKept) Drop();
  }
  TBackupCopy(const TBackupCopy&) = delete;
  TBackupCopy& operator=(const TBackupCopy&) = delete;

  // What became of the old text of a file whose writing failed.
  enum TOutcome { kUntouched, kPutBack, kNotPutBack };

  // Gives To, written over from its start up to Written (all of it once it was cut shorter),
  // its old length and its old bytes there again, and reads them back. Only the bytes written
  // over go back, into blocks the writing holds, so no block is needed; a byte past Written may
  // lie in a hole of a sparse file, where its zero would take one. Nothing written over leaves
  // nothing to put back. The copy goes once the file holds the old text whole; else it stays,
  // and Why says why the text is not back.
  TOutcome PutBack(int To, off_t Written, std::string& Why) {
    struct stat st;
    if (::fstat(To, &st) != 0) {
      Why = SysReason(errno);
    } else if (Written == 0 && st.st_size == FSize) {
      return kUntouched;
    } else {
      // A length it has is not set again: btrfs may refuse even that on a full disk.
      const int cut = st.st_size == FSize || ::ftruncate(To, FSize) == 0 ? 0 : errno;
      const int error = CopyContent(FCopy.Get(), To, std::min(Written, FSize));
      if (error != 0 || cut != 0) Why = SysReason(error != 0 ? error : cut);
    }
    if (HoldsTheOldText(To)) return kPutBack;
    if (Why.empty()) Why = "the file does not read back as the old text";
    FKept = true;
    return kNotPutBack;
  }
  const std::string& Name() const { return FName; }

 private:
  // Whether File has the old length and reads back as the copy.
  bool HoldsTheOldText(int File) const {
    struct stat st;
    if (::fstat(File, &st) != 0 || st.st_size != FSize) return false;
    std::vector<char> theirs(1 << 16);
    const int differs = ReadPieces(FCopy.Get(), [&](const char* Bytes, size_t Count, off_t At) {
      theirs.resize(Count);
      const int error = ReadAllAt(File, theirs.data(), Count, At);
      return error != 0 ? error : std::memcmp(Bytes, theirs.data(), Count) != 0 ? EIO : 0;
    });
    return differs == 0;
  }

  void Drop() {
    if (!FCopy.Valid()) return;
    FCopy = TFd();
    ::unlinkat(FFolder.Get(), FLeaf.c_str(), 0);
  }

  TFd FFolder;
  TFd FCopy;
  std::string FLeaf;  // its name in FFolder
  std::string FName;  // its path, for a message
  off_t FSize = 0;
  bool FKept = false;
};

// What the exception being handled says.
std::string CurrentMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "The save failed";
  }
}

using TWriter = std::function<void(TStream& Out)>;

// File systems on which every block written over takes a new one, whatever the file (statfs
// magic numbers); btrfs but for a file marked No_COW.
constexpr uint32_t kBtrfs = 0x9123683E;
constexpr uint32_t kCopyOnWriteFileSystems[] = {kBtrfs, 0xCA451A4E /* bcachefs */,
                                                0x2FC12FC1 /* ZFS */, 0x3434 /* NILFS */};

// Whether a block of the open file is shared with another file or a snapshot (a reflink), so
// that writing over it takes a new one. No extent map: none that anyone can tell.
bool HasSharedBlocks(int Fd) {
  constexpr unsigned kExtents = 256;
  std::vector<uint64_t> space((sizeof(fiemap) + kExtents * sizeof(fiemap_extent)) / 8 + 1);
  auto* map = reinterpret_cast<fiemap*>(space.data());
  for (uint64_t start = 0, from = 0;; from = start) {
    std::fill(space.begin(), space.end(), 0);
    map->fm_start = start;
    map->fm_length = FIEMAP_MAX_OFFSET - start;
    map->fm_extent_count = kExtents;
    if (::ioctl(Fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) return false;
    for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
      const fiemap_extent& extent = map->fm_extents[i];
      if (extent.fe_flags & FIEMAP_EXTENT_SHARED) return true;
      if (extent.fe_flags & FIEMAP_EXTENT_LAST) return false;
      start = extent.fe_logical + extent.fe_length;
    }
    if (start <= from) return false;  // a map that does not go on
  }
}

// Whether writing over the open file takes a new block for every one written, the old ones held
// until the save ends: on a copy-on-write file system, and wherever its blocks are shared.
bool WritingOverTakesBlocks(int Fd) {
  struct statfs disk;
  if (::fstatfs(Fd, &disk) != 0) return false;
  const auto type = static_cast<uint32_t>(disk.f_type);
  int flags = 0;
  if (type == kBtrfs)
    return ::ioctl(Fd, FS_IOC_GETFLAGS, &flags) != 0 || (flags & FS_NOCOW_FL) == 0 ||
           HasSharedBlocks(Fd);
  return std::find(std::begin(kCopyOnWriteFileSystems), std::end(kCopyOnWriteFileSystems), type) !=
             std::end(kCopyOnWriteFileSystems) ||
         HasSharedBlocks(Fd);
}

// Makes sure that the disk of the open file Old has room for a text of Size bytes written over
// it where every block written takes a new one: that much is set aside past the file's end,
// with a margin for the file system's own records of it, then freed again and the disk synced
// so that the blocks freed are free again (btrfs and XFS give none back before their journal
// commits). What statvfs says would not do: on btrfs data and metadata share space it counts
// as free for either. Raises EWriteError saying how much was needed where there is no room.
void MakeSureOfRoom(int Old, const struct stat& St, int64_t Size, const std::string& FileName) {
  const int64_t need = Size + Size / 256 + (64 << 10);
  int error = ::fallocate(Old, FALLOC_FL_KEEP_SIZE, St.st_size, need) == 0 ? 0 : errno;
  if (error == 0) {
    if (::ftruncate(Old, St.st_size) != 0) RaiseWriteError(FileName, errno);
    ::syncfs(Old);
    return;
  }
  struct statvfs disk;
  if (error == EOPNOTSUPP && ::fstatvfs(Old, &disk) == 0)
    error = int64_t(disk.f_bavail) * int64_t(disk.f_frsize) >= need ? 0 : ENOSPC;
  if (error == 0) return;
  if (error != ENOSPC && error != EDQUOT) RaiseWriteError(FileName, error);
  throw EWriteError(FormatStr(
      SFWriteError, FileName.c_str(),
      FormatStr("The disk has no room for the new text beside the old (%s): writing over this "
                "file takes new blocks while the old text (%lld bytes) keeps its own until the "
                "save ends, so the new text (%lld bytes) needs %lld bytes free",
                SysReason(error).c_str(), static_cast<long long>(St.st_size),
                static_cast<long long>(Size), static_cast<long long>(need))
          .c_str()));
}

// Sets the modification time of a file whose text is as it was back to what it was (Was),
// where the saver may: a failed write may have set it.
void KeepModifiedTime(int Fd, const struct stat& Was) {
  struct stat now;
  if (::fstat(Fd, &now) != 0 || Nanoseconds(now.st_mtim) == Nanoseconds(Was.st_mtim)) return;
  const struct timespec times[2] = {{0, UTIME_OMIT}, Was.st_mtim};
  (void)::futimens(Fd, times);
}

// Saves by writing over the old file itself, for where a rename would fail or lose something of
// it. Its old bytes are copied first; a failed write puts them back from the copy and says so.
// The new text goes over the old from the start and the file is cut to the new length only
// once the text is whole: no block is freed before then, so that a full disk stops the writing
// where every byte written over can still be put back without a block more (a block freed
// would not be free again before the journal commits). Where every block written over takes a
// new one (copy-on-write), so that a full disk would stop the putting back as well, the text is
// made first and written only when the disk has room for all of it. The mode and attributes
// are set again where the writing cleared them.
TSavedFile WriteInPlace(const TSavePlace& Place, const TWriter& Write) {
  const TEndingSignalsDeferred deferred;
  const TFd file(
      ::openat(Place.Folder.Get(), Place.Name.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!file.Valid() && (errno == ELOOP || errno == ENOENT)) RaiseChanged(Place.FileName);
  if (!file.Valid()) RaiseCreateError(Place.FileName, SysReason(errno));
  const int fd = file.Get();
  struct stat st;
  if (::fstat(fd, &st) != 0) RaiseCreateError(Place.FileName, SysReason(errno));
  // The file opened is the one looked at, as it was.
  if (!Place.Old || !IsSameFile(StateOf(*Place.Old, false), st)) RaiseChanged(Place.FileName);
  const mode_t mode = st.st_mode & 07777;
  const std::optional<TAttributes> attributes = ReadAttributes(fd);
  std::optional<TMemoryStream> made;
  if (WritingOverTakesBlocks(fd)) Write(made.emplace());
  TBackupCopy old(fd, Place.FileName, Place.Target);
  TSaveStream out(fd, Place.FileName);
  bool cut = false;  // to the new length: the old text's tail went too
  try {
    if (made) {
      MakeSureOfRoom(fd, st, made->GetSize(), Place.FileName);
      out.WriteBuffer(made->Bytes());
    } else {
      Write(out);
    }
    if (::ftruncate(fd, out.End()) != 0) RaiseWriteError(Place.FileName, errno);
    cut = true;
    (void)KeepWhatWritingClears(fd, mode, attributes);
    return SavedFile(out.Sync(Place.IsLink), fd, mode, attributes.value_or(TAttributes{}),
                     TDropCause::WrittenOver);
  } catch (...) {
    std::string why;
    const auto outcome = old.PutBack(fd, cut ? kWhole : out.End(), why);
    if (outcome == TBackupCopy::kUntouched) KeepModifiedTime(fd, st);
    (void)KeepWhatWritingClears(fd, mode, attributes);
    if (outcome == TBackupCopy::kNotPutBack)
      throw EWriteError(CurrentMessage() + "; the old text could not be put back (" + why +
                        ") and is kept in \"" + old.Name() + "\"");
    try {
      throw;
    } catch (const EStreamError& e) {
      TFileState now;
      if (::fstat(fd, &st) == 0) now = StateOf(st, Place.IsLink);
      throw EOldTextPutBackError(
          e.Message + (outcome == TBackupCopy::kUntouched ? "; the file was left as it was"
                                                          : "; the old text was put back"),
          now);
    }
  }
}

// A rename the system refuses where the file itself may still be written over: a file mounted
// over the name (EBUSY), a name on another file system than its folder (EXDEV), a folder that
// keeps others from replacing the file.
bool RenameRefused(int Error) {
  return Error == EBUSY || Error == EXDEV || Error == EPERM || Error == EACCES;
}

// Makes a rename in the save's folder durable; a folder that cannot be synced is no error.
void SyncFolder(const TSavePlace& Place) {
  const TFd folder(::openat(Place.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) ::fsync(folder.Get());
}

// Acl, a value of kAclAttribute (a header, then entries of a tag, permissions and an id),
// without any right for the file's owning group, for a file whose group is not the one it was
// written for. False when it has no mask entry: the mode's group bits are then that group's.
bool ShutOwningGroupOut(std::string& Acl) {
  bool masked = false;
  for (size_t at = sizeof(posix_acl_xattr_header); at + sizeof(posix_acl_xattr_entry) <= Acl.size();
       at += sizeof(posix_acl_xattr_entry)) {
    posix_acl_xattr_entry entry;
    std::memcpy(&entry, Acl.data() + at, sizeof entry);
    if (le16toh(entry.e_tag) == ACL_GROUP_OBJ) {
      entry.e_perm = 0;
      std::memcpy(Acl.data() + at, &entry, sizeof entry);
    }
    masked = masked || le16toh(entry.e_tag) == ACL_MASK;
  }
  return masked;
}

// The mode a file made anew where Former was gets, St being the new file's status: Former's,
// less set-user-ID where the new file has another owner, set-group-ID where it has another
// owner or group, and the group's rights where it has another group (unless an ACL mask, Masked,
// stands in the group bits), so that no one comes by the rights of a user or group that did not
// have them.
mode_t ModeMadeAnew(const TFileState& Former, const struct stat& St, bool Masked) {
  mode_t mode = Former.Mode & 07777;
  if (St.st_uid != Former.Owner) mode &= ~S_ISUID;
  if (St.st_uid != Former.Owner || St.st_gid != Former.Group) mode &= ~S_ISGID;
  if (St.st_gid != Former.Group && !Masked) mode &= ~S_IRWXG;
  return mode;
}

// Gives the file Fd, made anew where Former was, what Former had, before its text: its owner
// and group where the saver may give them, every attribute of Former's the saver may set (its
// ACL without rights for a group that is not Former's) and no other (none the folder gives new
// files, such as its default ACL), then its mode (ModeMadeAnew). Mode receives the mode given;
// returns the attributes given. Raises EFCreateError where the file would keep an ACL that
// Former did not have.
TAttributes GiveFormer(int Fd, const TFileState& Former, const std::string& FileName,
                       mode_t& Mode) {
  if (::fchown(Fd, Former.Owner, Former.Group) != 0) (void)::fchown(Fd, uid_t(-1), Former.Group);
  struct stat st;
  if (::fstat(Fd, &st) != 0) RaiseCreateError(FileName, SysReason(errno));
  TAttributes wanted = Former.Attributes;
  bool masked = false;
  for (auto& [name, value] : wanted)
    if (name == kAclAttribute && st.st_gid != Former.Group) masked = ShutOwningGroupOut(value);
  // What it got by itself goes; an ACL is tried even when its attributes cannot be listed.
  const TAttributes own = ReadAttributes(Fd).value_or(TAttributes{{kAclAttribute, {}}});
  for (const auto& [name, value] : own) {
    if (HasAttribute(wanted, name) || ::fremovexattr(Fd, name.c_str()) == 0) continue;
    if (name == kAclAttribute && errno != ENODATA && errno != ENOTSUP)
      RaiseCreateError(FileName, "The ACL its folder gives new files could not be taken from it (" +
                                     SysReason(errno) + ")");
  }
  TAttributes given;
  for (const auto& [name, value] : wanted) {
    if (::fsetxattr(Fd, name.c_str(), value.data(), value.size(), 0) == 0)
      given.emplace_back(name, value);
    else if (name == kAclAttribute)
      RaiseCreateError(FileName,
                       "Its former ACL could not be given to it (" + SysReason(errno) + ")");
  }
  Mode = ModeMadeAnew(Former, st, masked);
  if (::fchmod(Fd, Mode) != 0) RaiseCreateError(FileName, SysReason(errno));
  return given;
}

// Saves through a new file beside the old one, renamed over it. Where that would fail or lose
// something of the old file (the folder takes no new file, or keeps every name made in it; its
// owner, an attribute or its mode cannot be given to a new file; the rename is refused), the
// file is written in place instead.
// The new file is made for its owner alone and has the old file's owner, attributes and mode
// (or what the file it is made anew for had: GiveFormer) before its first byte, so that its
// text is never open to more users than the old text was, while it is written nor when the save
// is killed part way. Only a file where none was gets the mode new files get at once.
TSavedFile SaveByRename(const TSavePlace& Place, const TWriter& Write, const TFileState* Former) {
  std::optional<TAttributes> attributes;
  if (Place.Old && !(attributes = ReadAttributes(Place.OldFd.Get())))
    return WriteInPlace(Place, Write);
  // A temporary name in an append-only folder could be neither renamed nor removed: the file is
  // written in place, or a new one is made without a name and named once it is whole.
  const bool appendOnly = IsAppendOnly(Place.Folder.Get());
  if (appendOnly && Place.Old) return WriteInPlace(Place, Write);
  std::string tempName, tempPath;
  std::optional<TTemporaryFileGuard> removedOnSignals;
  // For its owner alone until it has the permissions of the file it is for; one where none was
  // gets the mode new files get at once.
  const mode_t made = Place.Old || Former ? 0600 : 0666;
  const int fd = appendOnly
                     ? CreateNamelessSibling(Place, made)
                     : CreateRegisteredSibling(Place, made, tempName, tempPath, removedOnSignals);
  if (fd < 0 && Place.Old) return WriteInPlace(Place, Write);  // the folder takes no new file
  if (fd < 0 && appendOnly)
    RaiseCreateError(Place.FileName, "The folder is append-only, and " + SysReason(errno));
  if (fd < 0) RaiseCreateError(Place.FileName, SysReason(errno));
  TSiblingFile temp(fd, Place, tempName);
  const bool madeAnew = !Place.Old && Former;
  mode_t mode = Place.Old ? Place.Old->st_mode & 07777 : 0;
  if (Place.Old && (::fchown(fd, Place.Old->st_uid, Place.Old->st_gid) != 0 ||
                    !GiveAttributes(fd, *attributes, mode))) {
    temp.Drop();
    return WriteInPlace(Place, Write);
  }
  if (madeAnew) attributes = GiveFormer(fd, *Former, Place.FileName, mode);
  Write(temp);
  const TWriter writtenAgain = [&temp](TStream& Out) { temp.CopyTo(Out); };
  if (Place.Old && !KeepWhatWritingClears(fd, mode, attributes))
    return WriteInPlace(Place, writtenAgain);
  if (madeAnew) (void)KeepWhatWritingClears(fd, mode, attributes);
  // Only a file made anew can lack what the file it is for had: the old file's is kept whole.
  TSavedFile saved = SavedFile(temp.Sync(Place.IsLink), fd, madeAnew ? Former->Mode : 0,
                               madeAnew ? Former->Attributes : TAttributes{}, TDropCause::MadeAnew);
  if (!Place.StillHoldsOld()) RaiseChanged(Place.FileName);
  if (const int error = temp.RenameTo(Place.Name, !Place.Old)) {
    if (!Place.Old && error == EEXIST) RaiseChanged(Place.FileName);
    if (Place.Old && RenameRefused(error)) return WriteInPlace(Place, writtenAgain);
    RaiseCreateError(Place.FileName, SysReason(error));
  }
  SyncFolder(Place);
  temp.Named(saved);
  return saved;
}

}  // namespace

void RemoveTemporaryFilesOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryFilesAndDie;
  sigemptyset(&action.sa_mask);
  for (int signal : kEndingSignals) ::sigaction(signal, &action, nullptr);
}

TFileChange CompareFileStates(const TFileState& Then, const TFileState& Now) {
  if (Now.Device != Then.Device || Now.Inode != Then.Inode || Now.Type != Then.Type ||
      Now.Owner != Then.Owner || Now.Group != Then.Group)
    return TFileChange::Replaced;
  if (Now.Size != Then.Size || Now.ModifiedNs != Then.ModifiedNs ||
      (Now.ChangedNs != Then.ChangedNs && Now.Links == Then.Links))
    return TFileChange::Changed;
  return TFileChange::None;
}

TFileState FileStateOf(const std::string& FileName) {
  TFileState state;
  state.IsLink = IsLinkName(FileName);
  struct stat st;
  if (::stat(FileName.c_str(), &st) == 0) state = StateOf(st, state.IsLink);
  return state;
}

TFileState SaveFolderStateOf(const std::string& FileName, bool FollowLink, std::string* Path) {
  try {
    const TSavePlace place(FileName, FollowLink);
    struct stat st;
    if (::fstat(place.Folder.Get(), &st) != 0) return {};
    if (Path) {
      std::error_code ec;
      *Path =
          std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(place.Folder.Get()), ec)
              .string();
    }
    return StateOf(st, false);
  } catch (const Exception&) {
    return {};
  }
}

void CheckCanReplaceFile(const std::string& FileName) {
  const TSavePlace place(FileName, true);
  place.RefuseToReplace();
  // For the effective user, as the save's own checks and its rename are. A file that may be read
  // is written over in place where the folder takes no new file.
  if (::faccessat(AT_FDCWD, FolderOf(place.Target).c_str(), W_OK | X_OK, AT_EACCESS) == 0) return;
  const int folderError = errno;
  if (!place.Old || ::faccessat(place.Folder.Get(), place.Name.c_str(), R_OK, AT_EACCESS) != 0)
    RaiseCreateError(FileName, SysReason(folderError));
}

TSavedFile SaveToFileAtomic(const std::string& FileName,
                            const std::function<void(TStream& Out)>& Write,
                            const TFileState* Former, const TFileState* Checked) {
  // A name that was no link when checked is not followed should it have become one.
  const TSavePlace place(FileName, !Checked || Checked->IsLink);
  if (Checked) place.CheckAgainst(*Checked);
  place.RefuseToReplace();
  // A rename would leave the other names of a hard-linked file with the old text.
  if (place.Old && place.Old->st_nlink > 1) return WriteInPlace(place, Write);
  return SaveByRename(place, Write, Former);
}

void SaveBytesToFileAtomic(const std::string& FileName, std::string_view Bytes) {
  SaveToFileAtomic(FileName, [Bytes](TStream& Out) { Out.WriteBuffer(Bytes); });
}

std::string TSavedFile::DroppedText() const {
  std::string text;
  for (const std::string& part : Dropped) text += (text.empty() ? "" : "; ") + part;
  return text;
}

std::string LoadBytesFromFile(const std::string& FileName, TFileState* State) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer; the flag does nothing to the
  // reads of a regular file, the only kind read.
  int fd;
  do {
    fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseOpenError(FileName, SysReason(errno));
  const TFd guard(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) RaiseOpenError(FileName, SysReason(errno));
  if (!S_ISREG(st.st_mode)) RaiseOpenError(FileName, NotRegularReason(st.st_mode));
  if (State) {
    *State = StateOf(st, IsLinkName(FileName));
    State->Attributes = ReadAttributes(fd).value_or(TAttributes{});
  }
  try {
    return ReadAll(static_cast<size_t>(st.st_size), [&](char* p, size_t n) {
      for (;;) {
        const ssize_t got = ::read(fd, p, n);
        if (got >= 0) return static_cast<size_t>(got);
        if (errno != EINTR) {
          const std::string reason = SysReason(errno);
          throw EReadError(FormatStr(SFReadError, FileName.c_str(), reason.c_str()));
        }
      }
    });
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory(FileName, st.st_size);
  } catch (const std::length_error&) {
    RaiseOutOfMemory(FileName, st.st_size);
  }
}

void RaiseOutOfMemory(const std::string& FileName, int64_t Size) {
  throw EOutOfMemory(FormatStr(SFOutOfMemory, FileName.c_str(), static_cast<long long>(Size)));
}

// ---------------------------------------------------------------------------------------------
// TStrings

TObject* TStrings::GetObject(int32_t Index) const { return nullptr; }

void TStrings::Put(int32_t Index, const std::string& S) {
  TObject* object = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, object);
}

void TStrings::PutObject(int32_t Index, TObject* AObject) {}

std::string TStrings::GetTextStr() const {
  const int32_t count = GetCount();
  std::string text;
  for (int32_t i = 0; i < count; ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetTextStr(const std::string& Value) {
  TStringsUpdate update(this);
  Clear();
  const size_t n = Value.size();
  size_t p = 0;
  while (p < n) {
    size_t start = p;
    while (p < n && Value[p] != '\r' && Value[p] != '\n') ++p;
    Add(Value.substr(start, p - start));
    if (p < n && Value[p] == '\r') ++p;
    if (p < n && Value[p] == '\n') ++p;
  }
}

int32_t TStrings::CompareStrings(const std::string& S1, const std::string& S2) const {
  return AnsiCompareText(S1, S2);
}

int32_t TStrings::Add(const std::string& S) {
  const int32_t index = GetCount();
  Insert(index, S);
  return index;
}

int32_t TStrings::AddObject(const std::string& S, TObject* AObject) {
  const int32_t index = Add(S);
  PutObject(index, AObject);
  return index;
}

void TStrings::AddStrings(TStrings* Strings) {
  TStringsUpdate update(this);
  const int32_t count = Strings->GetCount();
  for (int32_t i = 0; i < count; ++i) AddObject(Strings->Get(i), Strings->GetObject(i));
}

void TStrings::Exchange(int32_t Index1, int32_t Index2) {
  TStringsUpdate update(this);
  const std::string s1 = Get(Index1), s2 = Get(Index2);
  TObject* o1 = GetObject(Index1);
  TObject* o2 = GetObject(Index2);
  Put(Index1, s2);
  PutObject(Index1, o2);
  Put(Index2, s1);
  PutObject(Index2, o1);
}

void TStrings::InsertObject(int32_t Index, const std::string& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  TStringsUpdate update(this);
  const std::string s = Get(CurIndex);
  TObject* object = GetObject(CurIndex);
  Delete(CurIndex);
  InsertObject(NewIndex, s, object);
}

int32_t TStrings::IndexOf(const std::string& S) const {
  const int32_t count = GetCount();
  for (int32_t i = 0; i < count; ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int32_t TStrings::IndexOfName(const std::string& Name) const {
  // '=' is below the trail-byte range, so a byte search finds only real equals signs.
  const int32_t count = GetCount();
  for (int32_t i = 0; i < count; ++i) {
    const std::string s = Get(i);
    const size_t p = s.find('=');
    if (p != std::string::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int32_t TStrings::IndexOfObject(const TObject* AObject) const {
  const int32_t count = GetCount();
  for (int32_t i = 0; i < count; ++i)
    if (GetObject(i) == AObject) return i;
  return -1;
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* source = dynamic_cast<TStrings*>(Source)) {
    if (source == this) return;
    TStringsUpdate update(this);
    Clear();
    AddStrings(source);
    return;
  }
  TPersistent::Assign(Source);
}

void TStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  if (FUpdateCount <= 0) return;
  --FUpdateCount;
  if (FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::LoadFromFile(const std::string& FileName) {
  TMemoryStream stream;
  stream.LoadFromFile(FileName);  // a regular file only: never waits on a pipe
  LoadFromStream(&stream);
}

void TStrings::LoadFromStream(TStream* Stream) {
  TStringsUpdate update(this);
  SetTextStr(Stream->ReadRest());
}

void TStrings::SaveToFile(const std::string& FileName) {
  TMemoryStream stream;
  SaveToStream(&stream);
  SaveBytesToFileAtomic(FileName, stream.Bytes());
}

void TStrings::SaveToStream(TStream* Stream) { Stream->WriteBuffer(GetTextStr()); }

std::string TStrings::Names(int32_t Index) const {
  const std::string s = Get(Index);
  const size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::Values(const std::string& Name) const {
  const int32_t i = IndexOfName(Name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

std::string TStrings::ValueFromIndex(int32_t Index) const {
  const std::string s = Get(Index);
  const size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

void TStrings::SetValues(const std::string& Name, const std::string& Value) {
  int32_t i = IndexOfName(Name);
  if (Value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  if (i < 0) i = Add(std::string());
  Put(i, Name + "=" + Value);
}

namespace {

// Spaces, control bytes, commas and quotes can never be trail bytes, so byte tests are safe.
bool IsBlank(char C) { return static_cast<uint8_t>(C) <= ' '; }
bool NeedsQuotes(const std::string& S) {
  return std::any_of(S.begin(), S.end(), [](char c) { return IsBlank(c) || c == '"' || c == ','; });
}

}  // namespace

std::string TStrings::GetCommaText() const {
  const int32_t count = GetCount();
  if (count == 1 && Get(0).empty()) return "\"\"";
  std::string text;
  for (int32_t i = 0; i < count; ++i) {
    if (i > 0) text += ',';
    const std::string s = Get(i);
    if (!NeedsQuotes(s)) {
      text += s;
      continue;
    }
    text += '"';
    for (char c : s) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

void TStrings::SetCommaText(const std::string& Value) {
  TStringsUpdate update(this);
  Clear();
  const size_t n = Value.size();
  size_t p = 0;
  auto skipBlanks = [&] {
    while (p < n && IsBlank(Value[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    std::string item;
    if (Value[p] == '"') {
      ++p;
      while (p < n) {
        if (Value[p] == '"') {
          if (p + 1 < n && Value[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += Value[p++];
      }
    } else {
      const size_t start = p;
      while (p < n && !IsBlank(Value[p]) && Value[p] != ',') ++p;
      item = Value.substr(start, p - start);
    }
    Add(item);
    skipBlanks();
    if (p < n && Value[p] == ',') {
      if (p + 1 == n) Add(std::string());  // a trailing comma ends with an empty item
      ++p;
      skipBlanks();
    }
  }
}

void TStrings::Error(const char* Msg, int32_t Data) const {
  throw EStringListError(FormatStr(Msg, Data));
}

// ---------------------------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
  OnChange.Clear();
  OnChanging.Clear();
}

void TStringList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
}

std::string TStringList::Get(int32_t Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)].FString;
}

std::string_view TStringList::GetView(int32_t Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)].FString;
}

TObject* TStringList::GetObject(int32_t Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)].FObject;
}

void TStringList::Put(int32_t Index, const std::string& S) {
  if (FSorted) Error(SSortedListError, 0);
  CheckIndex(Index);
  Changing();
  FList[static_cast<size_t>(Index)].FString = S;
  Changed();
}

void TStringList::PutObject(int32_t Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  FList[static_cast<size_t>(Index)].FObject = AObject;
  Changed();
}

void TStringList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < GetCount()) Error(SListCapacityError, NewCapacity);
  FList.reserve(static_cast<size_t>(NewCapacity));
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating)
    Changing();
  else
    Changed();
}

int32_t TStringList::CompareStrings(const std::string& S1, const std::string& S2) const {
  return FCaseSensitive ? CompareBytes(S1, S2) : AnsiCompareText(S1, S2);
}

int32_t TStringList::Add(const std::string& S) { return AddObject(S, nullptr); }

int32_t TStringList::AddObject(const std::string& S, TObject* AObject) {
  int32_t index = GetCount();
  if (FSorted && Find(S, index)) {
    if (FDuplicates == dupIgnore) return index;
    if (FDuplicates == dupError) Error(SDuplicateString, 0);
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  FList.clear();
  Changed();
}

void TStringList::Delete(int32_t Index) {
  CheckIndex(Index);
  Changing();
  FList.erase(FList.begin() + Index);
  Changed();
}

void TStringList::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
  Changed();
}

void TStringList::Insert(int32_t Index, const std::string& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int32_t Index, const std::string& S, TObject* AObject) {
  if (FSorted) Error(SSortedListError, 0);
  if (Index < 0 || Index > GetCount()) Error(SListIndexError, Index);
  InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(int32_t Index, const std::string& S, TObject* AObject) {
  Changing();
  FList.insert(FList.begin() + Index, TStringItem{S, AObject});
  Changed();
}

int32_t TStringList::IndexOf(const std::string& S) const {
  if (!FSorted) return TStrings::IndexOf(S);
  int32_t index;
  return Find(S, index) ? index : -1;
}

bool TStringList::Find(const std::string& S, int32_t& Index) const {
  bool found = false;
  int32_t lo = 0, hi = GetCount() - 1;
  while (lo <= hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    const int32_t c = CompareStrings(FList[static_cast<size_t>(mid)].FString, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != dupAccept) lo = mid;
      }
    }
  }
  Index = lo;
  return found;
}

void TStringList::SortItems(const TStringListSortCompare& Compare) {
  if (GetCount() < 2) return;
  Changing();
  // The comparison sees the list unchanged: sort a permutation of the indexes, then apply it.
  std::vector<int32_t> order(FList.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t a, int32_t b) { return Compare(this, a, b) < 0; });
  std::vector<TStringItem> sorted;
  sorted.reserve(FList.size());
  for (int32_t i : order) sorted.push_back(std::move(FList[static_cast<size_t>(i)]));
  FList = std::move(sorted);
  Changed();
}

void TStringList::Sort() {
  if (!FSorted) CustomSort(nullptr);
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
  if (FSorted) return;
  if (Compare) {
    SortItems(Compare);
    return;
  }
  SortItems([](TStringList* List, int32_t A, int32_t B) {
    return List->CompareStrings(List->FList[static_cast<size_t>(A)].FString,
                                List->FList[static_cast<size_t>(B)].FString);
  });
}

void TStringList::SetSorted(bool Value) {
  if (FSorted == Value) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (FCaseSensitive == Value) return;
  FCaseSensitive = Value;
  if (FSorted) {
    // The order changes with the comparison; re-sort under the new one.
    FSorted = false;
    Sort();
    FSorted = true;
  }
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

// ---------------------------------------------------------------------------------------------
// Collections

int32_t TCollectionItem::GetIndex() const {
  if (!FCollection) return -1;
  const auto& items = FCollection->FItems;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == this) return static_cast<int32_t>(i);
  return -1;
}

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(AllItems ? nullptr : this);
}

TCollection::~TCollection() {
  // The items go first, so that none outlives what it tells of its changes.
  FUpdateCount = 1;
  FItems.clear();
}

TCollectionItem* TCollection::GetItem(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(FormatStr(SListIndexError, Index));
  return FItems[static_cast<size_t>(Index)].get();
}

TCollectionItem* TCollection::AddItem(std::unique_ptr<TCollectionItem> AItem) {
  FItems.push_back(std::move(AItem));
  Changed();
  return FItems.back().get();
}

void TCollection::Delete(int32_t Index) {
  GetItem(Index);  // raises outside the list
  // Out of the list before it is freed, so that nothing reaches it while it goes.
  std::unique_ptr<TCollectionItem> item = std::move(FItems[static_cast<size_t>(Index)]);
  FItems.erase(FItems.begin() + Index);
  item.reset();
  Changed();
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  while (!FItems.empty()) {
    std::unique_ptr<TCollectionItem> item = std::move(FItems.back());
    FItems.pop_back();
  }
  EndUpdate();
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TCollection*>(Source);
  if (!source) return TPersistent::Assign(Source);
  if (source == this) return;
  BeginUpdate();
  try {
    Clear();
    for (const auto& item : source->FItems) {
      std::unique_ptr<TCollectionItem> copy = NewItem();
      copy->Assign(item.get());
      FItems.push_back(std::move(copy));
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

}  // namespace rid
