#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Delegate.h"
#include "platform/Types.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// TObject: the root of every class that has a name at run time.

class TObject {
 public:
  virtual ~TObject() = default;
  // The class's name as the system spells it ("TRidPerlRid"); highlighter names and registry
  // keys derive from it. Every class that can be asked overrides it (see RID_CLASS_NAME).
  virtual std::string ClassName() const { return "TObject"; }
};

// Declares ClassName() for a class, and a static StaticClassName() usable without an instance:
//   class TRidPerlRid : public TRidCustomHighlighter {
//    public:
//     RID_CLASS_NAME(TRidPerlRid)
//     ...
#define RID_CLASS_NAME(Name)                             \
  static const char* StaticClassName() { return #Name; } \
  std::string ClassName() const override { return StaticClassName(); }

using TNotifyEvent = Delegate<void(TObject* Sender)>;

// printf-style formatting into a std::string (the message texts use %d and %s).
std::string FormatStr(const char* Fmt, ...) __attribute__((format(printf, 1, 2)));

// ---------------------------------------------------------------------------------------------
// Exceptions. Each component raises its own class derived from Exception.

class Exception : public std::exception {
 public:
  explicit Exception(std::string AMessage) : Message(std::move(AMessage)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

// The silent exception: unwinds without an error being shown.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};
[[noreturn]] void Abort();

// A programming error detected by an assertion.
class EAssertionFailed : public Exception {
 public:
  EAssertionFailed(std::string AMessage, std::string ASourceName, int32_t ALine)
      : Exception(std::move(AMessage)), SourceName(std::move(ASourceName)), Line(ALine) {}
  std::string SourceName;  // the source file's name without folders
  int32_t Line;
};

// Raises EAssertionFailed when Condition is false. The message is
// "Assertion failure (<source>, line <n>)", or "Assertion failure: <Message> (<source>, line <n>)"
// when a message is given. SourceName may be a full path (__FILE__); only its last part is kept.
void Assert(bool Condition, const char* SourceName, int32_t Line = 0,
            const char* Message = nullptr);
#define RID_ASSERT(Condition) ::rid::Assert(static_cast<bool>(Condition), __FILE__, __LINE__)
#define RID_ASSERT_MSG(Condition, Message) \
  ::rid::Assert(static_cast<bool>(Condition), __FILE__, __LINE__, Message)

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EListError : public Exception {
 public:
  using Exception::Exception;
};
class EStringListError : public EListError {
 public:
  using EListError::EListError;
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFilerError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};
// A file's bytes or text do not fit in memory; the message names the file and its size.
class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

// Message texts of the list and stream errors (format strings where they take a value).
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
inline constexpr const char* SListCountError = "List count out of bounds (%d)";
inline constexpr const char* SDuplicateString = "String list does not allow duplicates";
inline constexpr const char* SSortedListError = "Operation not allowed on sorted list";
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SFOpenError = "Cannot open file \"%s\". %s";
inline constexpr const char* SFCreateError = "Cannot create file \"%s\". %s";
inline constexpr const char* SFWriteError = "Cannot write file \"%s\". %s";
inline constexpr const char* SFReadError = "Cannot read file \"%s\". %s";
inline constexpr const char* SFOutOfMemory = "Not enough memory for file \"%s\" (%lld bytes)";
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";

// ---------------------------------------------------------------------------------------------
// TPersistent: objects that can copy each other's settings.

class TPersistent : public TObject {
 public:
  RID_CLASS_NAME(TPersistent)
  // Copies Source into this object. The base hands over to Source->AssignTo(this), which
  // raises EConvertError "Cannot assign a <Source class> to a <this class>" unless overridden.
  virtual void Assign(TPersistent* Source);

 protected:
  virtual void AssignTo(TPersistent* Dest);
  [[noreturn]] void AssignError(TPersistent* Source);
};

// ---------------------------------------------------------------------------------------------
// TComponent: an owner tree with free notification.

enum class TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning };
using enum TComponentStateItem;
using TComponentState = TSet<TComponentStateItem>;

enum class TOperation { opInsert, opRemove };
using enum TOperation;

class TComponent : public TPersistent {
 public:
  RID_CLASS_NAME(TComponent)
  // The new component is inserted into AOwner's list (AOwner may be null) and is destroyed
  // with it.
  explicit TComponent(TComponent* AOwner);
  // Tells every component that asked for free notification (Notification(this, opRemove)),
  // destroys the owned components in reverse order of insertion, and leaves the owner.
  // A virtual call from here does not reach a derived override: derived classes release what
  // they hold in their own destructors, and may call DestroyComponents() first when their
  // children must go while the derived part still lives.
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* GetOwner() const { return FOwner; }
  TComponent* Owner() const { return FOwner; }
  int32_t GetComponentCount() const { return static_cast<int32_t>(FComponents.size()); }
  int32_t ComponentCount() const { return GetComponentCount(); }
  // The owned component at Index (0 .. ComponentCount-1; EListError outside).
  TComponent* GetComponent(int32_t Index) const;
  TComponent* Components(int32_t Index) const { return GetComponent(Index); }
  // The owned component whose Name equals AName (ASCII case-insensitive), or null.
  TComponent* FindComponent(std::string_view AName) const;

  const std::string& GetName() const { return FName; }
  virtual void SetName(const std::string& Value);

  TComponentState GetComponentState() const { return FComponentState; }
  TComponentState ComponentState() const { return FComponentState; }

  // Ownership changes; the owner's Notification sees opInsert / opRemove.
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  void DestroyComponents();
  // Marks this component and all it owns as being destroyed (csDestroying).
  void Destroying();

  // Both components are told (Notification(other, opRemove)) when the other is destroyed.
  // Components with the same owner learn of it through the owner and need not ask.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // Loading bracket for a host that sets many properties at once: BeginLoading sets
  // csLoading; Loaded (called by the host when done) clears it.
  void BeginLoading();
  virtual void Loaded();
  // Design mode (csDesigning), for this component and all it owns.
  void SetDesigning(bool Value);

 protected:
  // AComponent is being inserted or removed (destroyed). The base removes a dying component
  // from the free-notification list and passes the news to every owned component; overrides
  // clear their references and then call TComponent::Notification.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  TComponentState FComponentState;

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;    // owned
  std::vector<TComponent*> FFreeNotifies;  // not owned: each entry has us in its list too
  std::string FName;
};

// ---------------------------------------------------------------------------------------------
// Streams.

// Seek origins.
constexpr uint16_t soFromBeginning = 0;
constexpr uint16_t soFromCurrent = 1;
constexpr uint16_t soFromEnd = 2;

class TStream : public TObject {
 public:
  RID_CLASS_NAME(TStream)
  // Reads up to Count bytes; returns the number read (0 at the end).
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  // Writes up to Count bytes; returns the number written.
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  // Moves to Offset from the origin (soFromBeginning, soFromCurrent, soFromEnd); returns the
  // new position.
  virtual int64_t Seek(int64_t Offset, uint16_t Origin) = 0;
  // The base does nothing; resizable streams override it.
  virtual void SetSize(int64_t NewSize);
  // The base finds the size by seeking to the end and back.
  virtual int64_t GetSize();

  int64_t GetPosition() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soFromBeginning); }
  int64_t Position() { return GetPosition(); }
  int64_t Size() { return GetSize(); }

  // Read or write exactly Count bytes, else raise EReadError "Stream read error" /
  // EWriteError "Stream write error".
  void ReadBuffer(void* Buffer, int32_t Count);
  void WriteBuffer(const void* Buffer, int32_t Count);
  void WriteBuffer(std::string_view Bytes);
  // Copies Count bytes from Source's current position; Count 0 copies the whole of Source
  // from its beginning. Returns the number of bytes copied.
  int64_t CopyFrom(TStream* Source, int64_t Count);
  // Everything from the current position to the end.
  std::string ReadRest();
};

// A stream over a growable block of memory.
class TMemoryStream : public TStream {
 public:
  RID_CLASS_NAME(TMemoryStream)
  TMemoryStream() = default;
  ~TMemoryStream() override = default;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, uint16_t Origin) override;
  void SetSize(int64_t NewSize) override;
  int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }

  // The bytes (valid until the next change of size).
  char* GetMemory() { return FData.data(); }
  char* Memory() { return FData.data(); }
  std::string_view Bytes() const { return FData; }
  void Clear();

  // Replace the contents with the file's (LoadBytesFromFile) or stream's bytes (position 0), or
  // write them whole.
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(const std::string& FileName);
  void SaveToStream(TStream* Stream);
  // Replaces the file atomically (SaveBytesToFileAtomic).
  void SaveToFile(const std::string& FileName);

 private:
  std::string FData;
  int64_t FPosition = 0;
};

// File open modes. Share flags are accepted and ignored.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A stream over an open file. File names are passed to the system as they are.
// Opening a missing file raises EFOpenError ("Cannot open file "<name>". <reason>"); fmCreate
// creates or truncates, raising EFCreateError on failure.
class TFileStream : public TStream {
 public:
  RID_CLASS_NAME(TFileStream)
  TFileStream(const std::string& AFileName, uint16_t Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, uint16_t Origin) override;
  void SetSize(int64_t NewSize) override;

  const std::string& GetFileName() const { return FFileName; }
  int GetHandle() const { return FHandle; }

 private:
  std::string FFileName;
  int FHandle = -1;
};

// A file's extended attributes, names and values (its ACL is system.posix_acl_access).
using TFileAttributes = std::vector<std::pair<std::string, std::string>>;

// Which file a name leads to and the state of its content, as the system tells them when the
// file is read or written: compared before the next save, they tell whether another program
// changed, replaced or deleted it in between.
struct TFileState {
  bool Exists = false;  // the name leads to a file
  bool IsLink = false;  // the name itself is a symbolic link
  uint64_t Device = 0;
  uint64_t Inode = 0;
  uint32_t Type = 0;  // the kind of file (S_IFREG, S_IFIFO, ...)
  uint32_t Owner = 0;
  uint32_t Group = 0;
  uint64_t Links = 0;  // its names (hard links)
  int64_t Size = 0;
  int64_t ModifiedNs = 0;  // the modification time in nanoseconds since the epoch
  int64_t ChangedNs = 0;   // the status change time (ctime), likewise
  uint32_t Mode = 0;       // the permission bits
  // The folder it lies in, where the caller holds one (0 and 0 where not): a save given this
  // state as Checked writes into that very folder only (see SaveFolderStateOf).
  uint64_t FolderDevice = 0;
  uint64_t FolderInode = 0;
  // Its extended attributes as it was read or saved (LoadBytesFromFile, SaveToFileAtomic; a
  // look, FileStateOf, leaves them out): what a file made anew in its place gets again.
  TFileAttributes Attributes;
};
// The state of what FileName leads to now (symbolic links followed).
TFileState FileStateOf(const std::string& FileName);
// The folder a save of FileName would write into now, links in its way followed, and a link at
// FileName itself where FollowLink says so (as SaveToFileAtomic follows one for a Checked state
// that IsLink); Path (when given) receives the path it is reached by, with no link left in it.
// A state that does not exist when there is no such folder or it cannot be opened.
TFileState SaveFolderStateOf(const std::string& FileName, bool FollowLink,
                             std::string* Path = nullptr);

// What became of an existing file between two looks at it (Then and Now, both existing).
// Replaced: Now is another file (another device or inode), or a file of another kind, owner or
// group, which a file put in place of the one read may be even where it got its inode number.
// Changed: its content may differ: another size or modification time, or another status change
// time with the same number of names, which a write whose modification time was set back leaves
// (and so do a change of mode or attributes, and a name added and another taken away). A name
// added or taken away alone changes the status change time and the number of names, and is no
// change.
enum class TFileChange { None, Changed, Replaced };
TFileChange CompareFileStates(const TFileState& Then, const TFileState& Now);

// A save that found the file other than the state it was given described (changed, replaced by
// another file or a link, deleted, or a file where there was none): nothing was written.
class EFileChangedError : public EFCreateError {
 public:
  using EFCreateError::EFCreateError;
};
// A save that failed as it wrote over the file in place, which holds its old text whole: nothing
// of it was written over, or it was put back. State is the file as it now is.
class EOldTextPutBackError : public EWriteError {
 public:
  EOldTextPutBackError(std::string AMessage, const TFileState& AState)
      : EWriteError(std::move(AMessage)), State(AState) {}
  TFileState State;
};

// What a save wrote, and what of the file it replaced (or made anew) it could not keep: the
// privileges only some users may give (file capabilities, the set-user-ID and set-group-ID
// bits), each in words for a person with why ("its file capabilities were dropped: only root
// can give them").
struct TSavedFile : TFileState {
  std::vector<std::string> Dropped;
  // Dropped as one text, "; " between its parts; "" when the save kept everything.
  std::string DroppedText() const;
};

// Replaces the file FileName with what Write writes to Out, so that it is either the old file
// or the new one, never a part. A symbolic link is followed and its target replaced (a loop of
// links is refused with the system's reason). Out is a temporary file in the same folder,
// flushed to disk once Write returns and renamed over FileName; it is made for its owner alone
// and gets the old file's owner, extended attributes (ACLs among them; not the trusted.* ones,
// which only a process that may set them sees) and whole mode (set-user-ID and set-group-ID
// included) before Write writes to it, so that the new text is never open to more users than
// the old one was.
// Where that rename would fail or lose something of the old file (the folder takes no new file
// or is append-only, the file has other hard links, its owner, group, an attribute or its mode
// cannot be given to a new file, the rename is refused, as for a file mounted over the name),
// the file is written over in place instead, keeping its mode and attributes (but for what the
// writing clears and the saver may not set again, told in Dropped): its old bytes are first
// copied to a file of the user's alone in the user's cache folder (used only when it is a real
// folder of the user's, mode 0700, not append-only), or else $TMPDIR; the new text goes over the
// old from the start and the file is cut to the new length only once the text is whole, so that no
// block is freed before then, and a write that fails (a full disk among others) puts the old
// bytes back and says so (EOldTextPutBackError, which says "the file was left as it was" where
// nothing was written over; should the old bytes not go back, EWriteError names the copy that
// keeps them, and the copy is removed in every other case). Where every block written over
// takes a new one (btrfs, but for a No_COW file, other copy-on-write file systems, and blocks
// shared with another file or a snapshot), Write runs first into memory, and the file is
// written only once the disk has room for the whole new text beside the old (else
// EOldTextPutBackError says how much is needed, and nothing is written). A new file in an
// append-only folder is made without a name and named once it is whole.
// What is not a regular file (a device, a FIFO, a folder), a file the user may not write, or
// one without any write permission bit (read-only also to root) is never replaced:
// EFCreateError names it and says why. A write to Out that fails raises EWriteError with the
// file name and the system's reason. On any failure, when Write raises, and when
// RemoveTemporaryFilesOnSignals' signals end the program, no temporary file is left and the old
// file is whole. A new file gets 0666 less the umask, or, with Former (the file the name held
// before it was deleted, as read or saved), what Former had before its text: its owner and group
// where the saver may give them, every attribute the saver may set (its ACL; none that the
// folder gives new files), and its mode, less set-user-ID where its owner is not Former's,
// set-group-ID where its owner or group is not, and the rights of a group that is not Former's.
// Returns the state of the file written and what it could not keep.
// Checked, when given, is the file as the caller last looked at it (FileStateOf): the save
// writes only to that very file, with the content it had (a link that was not there then is
// not followed; see CompareFileStates), or creates the file only where there was none and
// still is none, in the folder it names where it names one; else it raises EFileChangedError
// and writes nothing.
TSavedFile SaveToFileAtomic(const std::string& FileName,
                            const std::function<void(TStream& Out)>& Write,
                            const TFileState* Former = nullptr,
                            const TFileState* Checked = nullptr);
// The same with Bytes as the new content.
void SaveBytesToFileAtomic(const std::string& FileName, std::string_view Bytes);
// Raises what SaveBytesToFileAtomic would raise before writing anything: FileName is no
// regular file, is read-only, or can be neither replaced nor written in place. For a check
// before long work.
void CheckCanReplaceFile(const std::string& FileName);
// From now on SIGINT, SIGTERM and SIGHUP first remove the temporary files of the saves in
// progress, then end the program as they would have; one that comes while a file is written
// over in place waits until the file is whole.
void RemoveTemporaryFilesOnSignals();
// Reads a whole regular file. Anything else (a folder, a FIFO, a device) raises EFOpenError
// naming what it is, without waiting for a writer or reading without end; EFOpenError also
// when it cannot be opened, EReadError on a read failure, EOutOfMemory (with the file's size)
// when its bytes do not fit in memory. *State (when given) receives the state of the file read,
// its attributes included.
std::string LoadBytesFromFile(const std::string& FileName, TFileState* State = nullptr);
// Raises EOutOfMemory for a file of Size bytes whose text did not fit in memory.
[[noreturn]] void RaiseOutOfMemory(const std::string& FileName, int64_t Size);

// ---------------------------------------------------------------------------------------------
// String lists. Text is code page 932 bytes; a line may hold any byte, including 0.

enum class TDuplicates { dupIgnore, dupAccept, dupError };
using enum TDuplicates;

class TStrings;
class TStringList;

// The abstract list of strings with an object per entry. Derived classes provide Get, GetCount,
// Clear, Delete and Insert (and usually Put, GetObject, PutObject); the rest is built on them.
class TStrings : public TPersistent {
 public:
  RID_CLASS_NAME(TStrings)
  TStrings() = default;
  ~TStrings() override = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  // --- the virtual slots
  // The string at Index (0-based). TStringList raises EStringListError outside 0..Count-1.
  virtual std::string Get(int32_t Index) const = 0;
  virtual int32_t GetCount() const = 0;
  // The base has no objects: nullptr, and PutObject does nothing.
  virtual TObject* GetObject(int32_t Index) const;
  // The base replaces the string by Delete and InsertObject (keeping the object).
  virtual void Put(int32_t Index, const std::string& S);
  virtual void PutObject(int32_t Index, TObject* AObject);
  virtual int32_t GetCapacity() const { return GetCount(); }
  virtual void SetCapacity(int32_t NewCapacity) {}
  // Every string followed by CR LF.
  virtual std::string GetTextStr() const;
  // Clears the list and adds the lines of Value, which may end in CR LF, LF or CR (a break at
  // the very end does not start another line).
  virtual void SetTextStr(const std::string& Value);
  // Called when the outermost BeginUpdate opens (true) and when the matching EndUpdate closes
  // it (false).
  virtual void SetUpdateState(bool Updating) {}
  // Compares two strings the way this list searches; the base ignores ASCII case only.
  virtual int32_t CompareStrings(const std::string& S1, const std::string& S2) const;

  virtual int32_t Add(const std::string& S);
  virtual int32_t AddObject(const std::string& S, TObject* AObject);
  void Append(const std::string& S) { Add(S); }
  virtual void AddStrings(TStrings* Strings);
  virtual void Clear() = 0;
  virtual void Delete(int32_t Index) = 0;
  virtual void Exchange(int32_t Index1, int32_t Index2);
  virtual void Insert(int32_t Index, const std::string& S) = 0;
  virtual void InsertObject(int32_t Index, const std::string& S, TObject* AObject);
  virtual void Move(int32_t CurIndex, int32_t NewIndex);
  virtual int32_t IndexOf(const std::string& S) const;
  int32_t IndexOfName(const std::string& Name) const;
  int32_t IndexOfObject(const TObject* AObject) const;

  // Clears the list and copies Source's strings and objects (a TStrings); any other class goes
  // to the inherited assignment.
  void Assign(TPersistent* Source) override;

  // Updates nest; OnChanging / OnChange (TStringList) fire once for the outermost bracket.
  void BeginUpdate();
  void EndUpdate();

  // File and stream contents are the bytes as they are (no code conversion). LoadFromFile
  // reads a regular file only (LoadBytesFromFile); SaveToFile replaces the file atomically.
  virtual void LoadFromFile(const std::string& FileName);
  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToFile(const std::string& FileName);
  virtual void SaveToStream(TStream* Stream);

  // --- properties
  int32_t Count() const { return GetCount(); }
  std::string Strings(int32_t Index) const { return Get(Index); }
  std::string operator[](int32_t Index) const { return Get(Index); }
  void SetStrings(int32_t Index, const std::string& S) { Put(Index, S); }
  TObject* Objects(int32_t Index) const { return GetObject(Index); }
  void SetObjects(int32_t Index, TObject* AObject) { PutObject(Index, AObject); }
  std::string GetText() const { return GetTextStr(); }
  void SetText(const std::string& Value) { SetTextStr(Value); }
  // Entries of the form Name=Value: the part before the first '=' ("" when there is none) and
  // the value of the first entry whose name matches (CompareStrings).
  std::string Names(int32_t Index) const;
  std::string Values(const std::string& Name) const;
  std::string ValueFromIndex(int32_t Index) const;
  // Sets the value of Name (adding an entry when missing); an empty Value deletes the entry.
  void SetValues(const std::string& Name, const std::string& Value);
  // Items separated by commas; an item with a space, a control byte, a comma or a double quote
  // is quoted with double quotes (inner quotes doubled). Setting splits on commas and on spaces
  // outside quotes.
  std::string GetCommaText() const;
  void SetCommaText(const std::string& Value);

 protected:
  [[noreturn]] void Error(const char* Msg, int32_t Data) const;
  int32_t UpdateCount() const { return FUpdateCount; }

 private:
  int32_t FUpdateCount = 0;
};

// Opens an update bracket for its lifetime.
class TStringsUpdate {
 public:
  explicit TStringsUpdate(TStrings* AStrings) : FStrings(AStrings) { FStrings->BeginUpdate(); }
  ~TStringsUpdate() { FStrings->EndUpdate(); }
  TStringsUpdate(const TStringsUpdate&) = delete;
  TStringsUpdate& operator=(const TStringsUpdate&) = delete;

 private:
  TStrings* FStrings;
};

// Compares the entries at Index1 and Index2 of List: negative, 0 or positive.
using TStringListSortCompare =
    std::function<int32_t(TStringList* List, int32_t Index1, int32_t Index2)>;

// The list of strings in memory, optionally sorted. Objects are not owned.
class TStringList : public TStrings {
 public:
  RID_CLASS_NAME(TStringList)
  TStringList() = default;
  ~TStringList() override;

  std::string Get(int32_t Index) const override;
  // The string without a copy; valid until the entry changes.
  std::string_view GetView(int32_t Index) const;
  int32_t GetCount() const override { return static_cast<int32_t>(FList.size()); }
  TObject* GetObject(int32_t Index) const override;
  void Put(int32_t Index, const std::string& S) override;
  void PutObject(int32_t Index, TObject* AObject) override;
  int32_t GetCapacity() const override { return static_cast<int32_t>(FList.capacity()); }
  void SetCapacity(int32_t NewCapacity) override;
  void SetUpdateState(bool Updating) override;
  // Byte order when CaseSensitive; otherwise ASCII letters compare without case and the bytes
  // of double-byte characters are compared as they are.
  int32_t CompareStrings(const std::string& S1, const std::string& S2) const override;

  // On a sorted list Add inserts at the sorted place; an equal string is ignored (dupIgnore),
  // added (dupAccept) or refused with EStringListError (dupError).
  int32_t Add(const std::string& S) override;
  // dupIgnore keeps the object of the entry already there.
  int32_t AddObject(const std::string& S, TObject* AObject) override;
  void Clear() override;
  void Delete(int32_t Index) override;
  void Exchange(int32_t Index1, int32_t Index2) override;
  // Not allowed on a sorted list (EStringListError "Operation not allowed on sorted list").
  void Insert(int32_t Index, const std::string& S) override;
  void InsertObject(int32_t Index, const std::string& S, TObject* AObject) override;
  // A sorted list searches with Find.
  int32_t IndexOf(const std::string& S) const override;

  // Binary search of a sorted list: true when found; Index is the position of S (with
  // dupAccept the first of equal entries) or where it would be inserted.
  virtual bool Find(const std::string& S, int32_t& Index) const;
  // Sorts by CompareStrings (nothing to do on a list that is Sorted). The sort is stable.
  virtual void Sort();
  virtual void CustomSort(const TStringListSortCompare& Compare);

  bool GetSorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates GetDuplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  bool GetCaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  // Fire OnChange / OnChanging unless an update bracket is open.
  virtual void Changed();
  virtual void Changing();
  // Inserts without the sorted check and fires the events.
  virtual void InsertItem(int32_t Index, const std::string& S, TObject* AObject);

 private:
  void SortItems(const TStringListSortCompare& Compare);
  struct TStringItem {
    std::string FString;
    TObject* FObject = nullptr;
  };
  void CheckIndex(int32_t Index) const;

  std::vector<TStringItem> FList;
  TDuplicates FDuplicates = dupIgnore;
  bool FSorted = false;
  bool FCaseSensitive = false;
};

// ---------------------------------------------------------------------------------------------
// Collections: a list that owns items of one class and hears of their changes.

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  RID_CLASS_NAME(TCollectionItem)
  // The item is made by its collection (TCollection::AddItem), which owns it.
  explicit TCollectionItem(TCollection* ACollection) : FCollection(ACollection) {}
  TCollection* GetCollection() const { return FCollection; }
  int32_t GetIndex() const;
  // The name a list shows for the item; the class name unless a class says better.
  virtual std::string GetDisplayName() const { return ClassName(); }

 protected:
  // Tells the collection that this item (or, with AllItems, every item) changed.
  void Changed(bool AllItems);

 private:
  TCollection* FCollection;  // the owner
};

class TCollection : public TPersistent {
 public:
  RID_CLASS_NAME(TCollection)
  TCollection() = default;
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // The item at Index (0 .. Count-1; EListError outside).
  TCollectionItem* GetItem(int32_t Index) const;
  // Frees the item at Index / every item; the collection hears of it as a change of all.
  void Delete(int32_t Index);
  void Clear();
  // Changes inside an update bracket are told once, as a change of all, when it closes.
  void BeginUpdate();
  void EndUpdate();
  // Replaces the items by copies of a collection's items (made by NewItem, then Assign).
  void Assign(TPersistent* Source) override;

 protected:
  // Takes the item (made for this collection) and tells of the change; returns it.
  TCollectionItem* AddItem(std::unique_ptr<TCollectionItem> AItem);
  // A new item of the collection's class, not yet added: what Assign copies into.
  virtual std::unique_ptr<TCollectionItem> NewItem() = 0;
  // AItem changed, or every item (nullptr).
  virtual void Update(TCollectionItem* AItem) {}
  void Changed();

 private:
  friend class TCollectionItem;
  std::vector<std::unique_ptr<TCollectionItem>> FItems;
  int32_t FUpdateCount = 0;
};

}  // namespace rid
