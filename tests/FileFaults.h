#pragma once
// Files that stop a save or a load whoever runs the tests: CI runs them as root, who may write
// any folder and any file, so each fault is one that stops root as well.
#include <fcntl.h>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/fs.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace rid::test {

// Runs Body in a child process and returns the message of what it raised, "(no exception)",
// or "(still running)" when it has not finished after Seconds (a load waiting on a pipe): a
// safety net (kWaitSeconds), never a measurement of the body's cost.
inline std::string MessageInChild(const std::function<void()>& Body,
                                  unsigned Seconds = kWaitSeconds) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "(no pipe)";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    ::alarm(Seconds);
    std::string message = "(no exception)";
    try {
      Body();
    } catch (const std::exception& e) {
      message = e.what();
    }
    (void)!::write(pipeFds[1], message.data(), message.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) return "(still running)";
  return message;
}

// A character device like /dev/null at Path, made with mknod (root may); where that is refused,
// a symbolic link to /dev/null, which a save follows to the device all the same.
inline void MakeNullDevice(const std::filesystem::path& Path) {
  if (::mknod(Path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0)
    std::filesystem::create_symlink("/dev/null", Path);
}

// Files a load refuses whoever runs the tests: Make puts one at a path (a regular file there
// holds Content); opening it fails with "Cannot open file \"<path>\". <Why>". Root reads any
// file, so the unreadable one refuses only a load run as nobody (AsNobody).
struct TUnreadableFile {
  const char* What;
  std::function<void(const std::filesystem::path& Path, const std::string& Content)> Make;
  bool AsNobody;
  std::string Why;
};

inline std::vector<TUnreadableFile> UnreadableFiles() {
  namespace fs = std::filesystem;
  return {
      {"a folder", [](const fs::path& P, const std::string&) { fs::create_directory(P); }, false,
       "It is a folder, not a regular file"},
      {"a FIFO", [](const fs::path& P, const std::string&) { ::mkfifo(P.c_str(), 0644); }, false,
       "It is a pipe (FIFO), not a regular file"},
      {"a device", [](const fs::path& P, const std::string&) { MakeNullDevice(P); }, false,
       "It is a device, not a regular file"},
      {"a file nobody may read",
       [](const fs::path& P, const std::string& Content) {
         WriteFileBytes(P, Content);
         ::chmod(P.c_str(), 0);
       },
       true, "Permission denied"},
  };
}

// Makes this process the user nobody when it runs as root (a child, since it cannot go back).
inline void BecomeNobody() {
  const uid_t nobody = 65534;
  if (::geteuid() == 0 &&
      (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
    throw std::runtime_error("cannot become the user nobody");
}

// A failed allocation raises std::bad_alloc, except under AddressSanitizer, which ends the
// process instead: the asan preset leaves out the tests of running out of memory (their names
// say "RunningOutOfMemory"), and they fail when run there all the same.
#ifdef __SANITIZE_ADDRESS__
inline constexpr const char* NoOutOfMemoryReason =
    "AddressSanitizer ends the process on a failed allocation instead of raising: run this "
    "test in the default build";
#else
inline constexpr const char* NoOutOfMemoryReason = nullptr;
#endif

// Runs Body (see MessageInChild) in a child that may map only Extra bytes more than it has.
inline std::string MessageWithLittleMemory(size_t Extra, const std::function<void()>& Body) {
  return MessageInChild([&] {
    size_t pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%zu", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    const rlim_t limit = pages * size_t(::sysconf(_SC_PAGESIZE)) + Extra;
    struct rlimit r = {limit, limit};
    ::setrlimit(RLIMIT_AS, &r);
    Body();
  });
}

// A file of Size bytes that starts with Head; the rest is a hole that takes no disk.
inline void WriteSparseFile(const std::filesystem::path& Path, const std::string& Head,
                            uintmax_t Size) {
  WriteFileBytes(Path, Head);
  std::filesystem::resize_file(Path, Size);
}

enum class TSaveFault {
  ReadOnlyFile,   // mode 0444: read-only to everyone, root included
  ParentIsAFile,  // the name's folder is a regular file
  DiskFull,       // a file-size limit of 0 makes every write fail, as a full disk does
  FolderNotOurs,  // a folder we may not write (as nobody, when run as root)
  FileNotOurs,    // a file we may not write, in a folder we may (as nobody, when run as root)
};

inline const char* SaveFaultName(TSaveFault Fault) {
  switch (Fault) {
    case TSaveFault::ReadOnlyFile:
      return "a read-only file";
    case TSaveFault::ParentIsAFile:
      return "a folder that is a file";
    case TSaveFault::DiskFull:
      return "a full disk";
    case TSaveFault::FolderNotOurs:
      return "a folder we may not write";
    case TSaveFault::FileNotOurs:
      return "a file we may not write";
  }
  return "";
}

inline std::vector<TSaveFault> AllSaveFaults() {
  return {TSaveFault::ReadOnlyFile, TSaveFault::ParentIsAFile, TSaveFault::DiskFull,
          TSaveFault::FolderNotOurs, TSaveFault::FileNotOurs};
}

// A folder where saving to Target fails by Fault; Kept holds Old and must keep it.
class TFailingSave {
 public:
  TFailingSave(TSaveFault AFault, const std::string& Old) : FFault(AFault) {
    namespace fs = std::filesystem;
    const fs::path folder = AsNobody() ? FDir / "sub" : FDir.Path();
    fs::create_directories(folder);
    FKept = Target = folder / "keep.txt";
    WriteFileBytes(FKept, Old);
    ::chmod(FDir.Path().c_str(), 0755);  // the user nobody may come in
    switch (FFault) {
      case TSaveFault::ReadOnlyFile:
        ::chmod(FKept.c_str(), 0444);
        break;
      case TSaveFault::ParentIsAFile:
        Target = FKept / "x.txt";
        break;
      case TSaveFault::FolderNotOurs:
        ::chmod(folder.c_str(), 0555);
        break;
      case TSaveFault::FileNotOurs:
        ::chmod(folder.c_str(), 0777);
        ::chmod(FKept.c_str(), 0464);  // writable by a group, but neither by its owner nor nobody
        break;
      case TSaveFault::DiskFull:
        break;
    }
  }
  ~TFailingSave() { ::chmod((FDir / "sub").c_str(), 0755); }
  TFailingSave(const TFailingSave&) = delete;
  TFailingSave& operator=(const TFailingSave&) = delete;

  std::filesystem::path Target;  // the name to save to
  const std::filesystem::path& Kept() const { return FKept; }
  // The names in the folder that holds Kept: a failed save leaves no temporary file.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(FKept.parent_path()))
      names.push_back(e.path().filename().string());
    return names;
  }

  // Runs Save in a child process under the fault and returns the message of what it raised,
  // or "(no exception)".
  std::string Run(const std::function<void()>& Save) const {
    return MessageInChild([&] {
      Enter();
      Save();
    });
  }

 private:
  // Faults of permission: root, who passes every permission check, saves as nobody.
  bool AsNobody() const {
    return FFault == TSaveFault::FolderNotOurs || FFault == TSaveFault::FileNotOurs;
  }
  // The child's part of the fault.
  void Enter() const {
    if (FFault == TSaveFault::DiskFull) {
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit none = {0, 0};
      ::setrlimit(RLIMIT_FSIZE, &none);
    }
    if (AsNobody() && ::geteuid() == 0) {
      const uid_t nobody = 65534;
      if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
        throw std::runtime_error("the test cannot save as the user nobody");
    }
  }

  TSaveFault FFault;
  TempDir FDir;
  std::filesystem::path FKept;
};

// Another user who wants the text of the files saved in a folder: a child process that, as
// nobody, is told by inotify of every file made or renamed into the folder and at once opens
// it and reads all it can, as such a user would.
class TNobodyWatching {
 public:
  // Returns once the folder is watched.
  explicit TNobodyWatching(const std::filesystem::path& Folder) {
    int tried[2], report[2];
    if (::pipe2(tried, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0)
      throw std::runtime_error("no pipe");
    FPid = ::fork();
    if (FPid == 0) Watch(Folder, tried[1], report[1]);
    ::close(tried[1]);
    ::close(report[1]);
    FTried = tried[0];
    FReport = report[0];
    if (!WaitForTries(1)) {
      (void)Stop();
      throw std::runtime_error("nobody could not watch " + Folder.string());
    }
  }
  ~TNobodyWatching() { (void)Stop(); }
  TNobodyWatching(const TNobodyWatching&) = delete;
  TNobodyWatching& operator=(const TNobodyWatching&) = delete;

  // Waits until it has tried to open Count more files (in any process that inherited it); false
  // when Seconds passed first.
  bool WaitForTries(int Count, int Seconds = kWaitSeconds) {
    for (char c; Count > 0; --Count) {
      struct pollfd p = {FTried, POLLIN, 0};
      if (::poll(&p, 1, Seconds * 1000) != 1 || ::read(FTried, &c, 1) != 1) return false;
    }
    return true;
  }

  // Stops it. Returns a line for each file it tried: "<name>: opened, <n> bytes read", or why
  // it could not open it; a temporary file's name is "(temporary)".
  std::string Stop() {
    if (FPid <= 0) return FSaid;
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
    char buffer[512];
    for (ssize_t n; (n = ::read(FReport, buffer, sizeof buffer)) > 0;) FSaid.append(buffer, n);
    ::close(FTried);
    ::close(FReport);
    return FSaid;
  }

 private:
  [[noreturn]] static void Watch(const std::filesystem::path& Folder, int Tried, int Report) {
    ::alarm(3 * kWaitSeconds);  // never outlives a test that forgot it
    const int events = ::inotify_init1(IN_CLOEXEC);
    const uid_t nobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0 ||
        events < 0 || ::inotify_add_watch(events, Folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
      ::_exit(1);
    (void)!::write(Tried, "w", 1);
    alignas(struct inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(events, buffer, sizeof buffer);
      if (n <= 0) ::_exit(1);
      for (const char* p = buffer; p < buffer + n;) {
        const auto* e = reinterpret_cast<const struct inotify_event*>(p);
        p += sizeof(struct inotify_event) + e->len;
        if (e->len == 0) continue;
        const std::string name = e->name;
        std::string line = name.starts_with(".") && name.ends_with(".tmp") ? "(temporary)" : name;
        const int fd = ::open((Folder / name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
          line += std::string(": ") + std::strerror(errno);
        } else {
          size_t read = 0;
          char bytes[65536];
          for (ssize_t got; (got = ::read(fd, bytes, sizeof bytes)) > 0;) read += size_t(got);
          line += ": opened, " + std::to_string(read) + " bytes read";
          ::close(fd);
        }
        line += "\n";
        (void)!::write(Report, line.data(), line.size());
        (void)!::write(Tried, "t", 1);
      }
    }
  }

  pid_t FPid = -1;
  int FTried = -1;   // a byte for each file tried (and one once it watches)
  int FReport = -1;  // its lines
  std::string FSaid;
};

// Marks a folder append-only (chattr +a: names may be added to it, never renamed or removed,
// root included), or clears the mark; "" when done, else what chattr said (a file system that
// keeps no such mark; chattr is in e2fsprogs).
inline std::string SetAppendOnly(const std::filesystem::path& Folder, bool On) {
  int code = -1;
  const std::string command =
      std::string("chattr ") + (On ? "+a " : "-a ") + ShellQuoted(Folder.string());
  const std::string said = RunTool(command + " 2>&1", {}, &code);
  return code == 0 ? std::string() : command + ": " + said;
}

// Marks Folder as the top of a tree (ext4's chattr +T), so that a folder made in it goes to a
// little-used block group rather than beside every other temporary file: a file made there
// anew can get its old inode number back while other tests make and delete files. Where the
// file system keeps no such mark nothing changes.
inline void MarkTopFolder(const std::filesystem::path& Folder) {
  const int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    flags |= FS_TOPDIR_FL;
    (void)::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  ::close(fd);
}

// Makes the mounts of this process its own (a mount namespace of its own that shares nothing
// back), so that a disk it mounts goes with it, and its loop device, whatever happens.
inline void OwnMounts() {
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    throw std::runtime_error(std::string("no mount namespace: ") + std::strerror(errno));
}

// Mounts on Folder a new disk of MiB mebibytes in the file Image, made by the command Mkfs (the
// image's name follows it), after OwnMounts. Throws saying what failed.
inline void MountNewDisk(const std::filesystem::path& Image, int MiB, const std::string& Mkfs,
                         const std::filesystem::path& Folder) {
  WriteFileBytes(Image, "");
  std::filesystem::resize_file(Image, uintmax_t(MiB) << 20);
  int code = -1;
  const std::string image = ShellQuoted(Image.string());
  const std::string said = RunTool(Mkfs + " " + image + " 2>&1 && mount -o loop " + image + " " +
                                       ShellQuoted(Folder.string()) + " 2>&1",
                                   {}, &code);
  if (code != 0) throw std::runtime_error("no disk made by \"" + Mkfs + "\" mounted: " + said);
}

// Fills the file system Folder is on with a file there, until not a byte more fits; again once
// that is on disk, as ext4 may have reserved more blocks than the writes then took. Free bytes
// are left: a file that holds them first goes once the rest is full, and the disk is synced so
// that its blocks are free again.
inline void FillDisk(const std::filesystem::path& Folder, size_t Free = 0) {
  const auto reserve = Folder / "reserve";
  if (Free > 0) WriteFileBytes(reserve, std::string(Free, 'r'));
  const int fd =
      ::open((Folder / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("no filler");
  const std::string chunk(1 << 16, 'f');
  for (int round = 0; round < 2; ++round) {
    for (size_t size = chunk.size(); size > 0; size /= 16)
      while (::write(fd, chunk.data(), size) == ssize_t(size)) {
      }
    ::fsync(fd);
  }
  if (Free > 0) {
    std::filesystem::remove(reserve);
    ::syncfs(fd);
  }
  ::close(fd);
}

// From now on every pwrite in this process of more than Count bytes fails with Error at once,
// writing nothing (a seccomp filter, for good: for a child). The count is read as two 32-bit
// halves, low first, as a little-endian machine holds it.
inline void FailWritesOfMoreThan(uint32_t Count, int Error) {
#if defined(__x86_64__)
  constexpr uint32_t arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
  constexpr uint32_t arch = AUDIT_ARCH_AARCH64;
#else
  constexpr uint32_t arch = 0;
  throw std::runtime_error("no seccomp filter written for this machine's system calls");
#endif
  const uint32_t fail = SECCOMP_RET_ERRNO | (uint32_t(Error) & SECCOMP_RET_DATA);
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, arch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_pwrite64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, args[2]) + 4),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, fail),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, args[2])),
      BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, Count, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, fail),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const struct sock_fprog program = {static_cast<unsigned short>(std::size(filter)), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
    throw std::runtime_error(std::string("no seccomp filter: ") + std::strerror(errno));
}

// What a save says it could not keep of a file's privileges, and why.
inline const std::string kCapabilitiesDropped =
    "its file capabilities were dropped: only root can give them";
inline const std::string kSetIdBitsWrittenOver =
    "its set-user-ID bit was dropped: writing clears it, and only the file's owner or root can "
    "set it again; its set-group-ID bit was dropped: writing clears it, and only root, or the "
    "file's owner in its group, can set it again";
inline const std::string kSetUserIdNotMadeAnew =
    "its set-user-ID bit was dropped: only root can give a file made anew its former owner";
inline const std::string kSetGroupIdNotMadeAnew =
    "its set-group-ID bit was dropped: only root, or its former owner in its former group, can "
    "give it to a file made anew";

// How a file stands when it is saved over, and who saves it. Where a rename would fail or lose
// something of the file, the save writes it in place.
enum class TSaveSite {
  Plain,              // root's 0640 file in a 0777 folder, saved by root: renamed over
  ThroughLink,        // Plain's file opened and saved through a symbolic link
  LongName,           // a name of 250 bytes, saved by root
  HardLinked,         // root's 0640 file with a second name, saved by root
  FolderRefuses,      // nobody's 0644 file in a 0555 folder, saved by nobody
  StickyFolder,       // root's 0666 file in a sticky 1777 folder, saved by nobody
  NotOwner,           // root's 0666 file in a 0777 folder, saved by nobody
  FailsMidway,        // HardLinked, saved under a file-size limit of its old size
  OthersFolder,       // nobody's 0644 file in nobody's 0755 folder, saved by root: renamed over
  SetIdOthersFolder,  // OthersFolder with a 06755 file
  AppendOnlyFolder,   // root's 0640 file in a 0777 folder that keeps its names (chattr +a)
  TrustedOwnFile,     // nobody's 0644 file with a trusted.* attribute in a 0777 folder, saved by
                      // nobody, who cannot see the attribute
  Private,            // root's 0600 file in a 0755 folder: renamed over
  FailsAtOnce,        // HardLinked, where every write of more than its old size fails with
                      // ENOSPC, as the very first write of a longer text does on a full disk
  NearlyFullBtrfs,    // HardLinked, on a 32 MiB btrfs (--mixed) filled but for half its size
  AclShutsNobodyOut,  // root's 0644 file with the ACL entry user:nobody:--- in a 0755 folder
  SetGroupIdFolder,   // root's 0640 file in a root:nogroup 02775 folder
  DefaultAclFolder,   // root's 0640 file in a 0755 folder whose default ACL gives nobody r
  CapabilityOwnFile,  // nobody's 0755 file with cap_net_raw=ep in a 0777 folder, saved by nobody
  SetIdNotOwner,      // root's 06777 file in a 0777 folder, saved by nobody: written in place
};

inline constexpr uid_t kNobody = 65534;

// A file set up as a TSaveSite holding Old, and the saver's side of it: the user and limit it
// saves with and a cache folder of its own (where a save in place keeps the old text meanwhile).
class TSaveSiteFiles {
 public:
  TSaveSiteFiles(TSaveSite ASite, const std::string& Old) : FSite(ASite), FOldSize(Old.size()) {
    namespace fs = std::filesystem;
    ::chmod(FDir.Path().c_str(), 0755);  // the user nobody may come in
    MarkTopFolder(FDir.Path());
    const fs::path folder = FDir / "folder";
    fs::create_directory(folder);
    if (FSite == TSaveSite::NearlyFullBtrfs) {
      NeedTool("mkfs.btrfs", "btrfs-progs");
      OwnMounts();
      MountNewDisk(FDir / "disk.img", 32, "mkfs.btrfs -q -f --mixed", folder);
    }
    fs::create_directory(Cache());
    ::chmod(Cache().c_str(), 0777);
    Real = folder / (FSite == TSaveSite::LongName ? std::string(246, 'n') + ".txt" : "f.txt");
    File = FSite == TSaveSite::ThroughLink ? folder / "link.txt" : Real;
    WriteFileBytes(Real, Old);
    mode_t fileMode = 0640, folderMode = 0777;
    switch (FSite) {
      case TSaveSite::ThroughLink:
        fs::create_symlink("f.txt", File);
        break;
      case TSaveSite::HardLinked:
      case TSaveSite::FailsMidway:
      case TSaveSite::FailsAtOnce:
      case TSaveSite::NearlyFullBtrfs:
        Partner = folder / "partner.txt";
        fs::create_hard_link(Real, Partner);
        break;
      case TSaveSite::FolderRefuses:
        fileMode = 0644;
        folderMode = 0555;
        if (::chown(Real.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("no chown");
        break;
      case TSaveSite::StickyFolder:
        fileMode = 0666;
        folderMode = 01777;
        break;
      case TSaveSite::NotOwner:
        fileMode = 0666;
        break;
      case TSaveSite::OthersFolder:
      case TSaveSite::SetIdOthersFolder:
        fileMode = FSite == TSaveSite::OthersFolder ? 0644 : 06755;
        folderMode = 0755;
        if (::chown(Real.c_str(), kNobody, kNobody) != 0 ||
            ::chown(folder.c_str(), kNobody, kNobody) != 0)
          throw std::runtime_error("no chown");
        break;
      case TSaveSite::Private:
        fileMode = 0600;
        folderMode = 0755;
        break;
      case TSaveSite::AclShutsNobodyOut:
      case TSaveSite::DefaultAclFolder:
        fileMode = FSite == TSaveSite::AclShutsNobodyOut ? 0644 : 0640;
        folderMode = 0755;
        break;
      case TSaveSite::SetGroupIdFolder:
        folderMode = 02775;
        if (::chown(folder.c_str(), 0, kNobody) != 0) throw std::runtime_error("no chown");
        break;
      case TSaveSite::CapabilityOwnFile:
        fileMode = 0755;
        if (::chown(Real.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("no chown");
        break;
      case TSaveSite::SetIdNotOwner:
        fileMode = 06777;
        break;
      case TSaveSite::TrustedOwnFile:
        fileMode = 0644;
        if (::chown(Real.c_str(), kNobody, kNobody) != 0 ||
            ::setxattr(Real.c_str(), kTrusted, "kept", 4, 0) != 0)
          throw std::runtime_error("no trusted.* attribute (root may set one)");
        break;
      default:
        break;
    }
    ::chmod(Real.c_str(), fileMode);
    ::chmod(folder.c_str(), folderMode);
    GiveWhatTheModeDoesNotSay(folder);
    if (FSite == TSaveSite::AppendOnlyFolder)
      if (const std::string failed = SetAppendOnly(folder, true); !failed.empty())
        throw std::runtime_error(failed);
    if (FSite == TSaveSite::NearlyFullBtrfs) FillDisk(folder, Old.size() / 2);
  }
  ~TSaveSiteFiles() {
    if (FSite == TSaveSite::AppendOnlyFolder) (void)SetAppendOnly(FDir / "folder", false);
    if (FSite == TSaveSite::NearlyFullBtrfs) ::umount2((FDir / "folder").c_str(), MNT_DETACH);
    ::chmod((FDir / "folder").c_str(), 0755);
  }

  // The attribute a TrustedOwnFile carries ("kept").
  static constexpr const char* kTrusted = "trusted.t";
  TSaveSiteFiles(const TSaveSiteFiles&) = delete;
  TSaveSiteFiles& operator=(const TSaveSiteFiles&) = delete;

  std::filesystem::path File;     // the name opened and saved
  std::filesystem::path Real;     // the file it leads to
  std::filesystem::path Partner;  // the file's other name, if any

  // Root, who passes every permission check, saves as nobody where the site says.
  bool ByNobody() const {
    return FSite == TSaveSite::FolderRefuses || FSite == TSaveSite::StickyFolder ||
           FSite == TSaveSite::NotOwner || FSite == TSaveSite::TrustedOwnFile ||
           FSite == TSaveSite::CapabilityOwnFile || FSite == TSaveSite::SetIdNotOwner;
  }
  std::filesystem::path Cache() const { return FDir / "cache"; }
  // The words that run a program (given after them) as the saver.
  std::vector<std::string> SaverCommand() const {
    if (FSite == TSaveSite::FailsMidway)
      return {"/usr/bin/prlimit", "--fsize=" + std::to_string(FOldSize), "--"};
    if (ByNobody())
      return {"/usr/bin/setpriv", "--reuid=" + std::to_string(kNobody),
              "--regid=" + std::to_string(kNobody), "--clear-groups", "--"};
    return {};
  }
  // The saver's environment besides the test's.
  std::vector<std::string> SaverEnvironment() const {
    return {"XDG_CACHE_HOME=" + Cache().string()};
  }
  // In a child process: becomes the saver.
  void BecomeSaver() const {
    ::setenv("XDG_CACHE_HOME", Cache().c_str(), 1);
    if (FSite == TSaveSite::FailsMidway) {
      ::signal(SIGXFSZ, SIG_IGN);
      const struct rlimit limit = {FOldSize, FOldSize};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (FSite == TSaveSite::FailsAtOnce) FailWritesOfMoreThan(uint32_t(FOldSize), ENOSPC);
    if (ByNobody() &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      throw std::runtime_error("the test cannot save as the user nobody");
  }

  // What a name shows now: its bytes, permission bits, owner and inode (links followed), its
  // group and its ACL (the attribute's bytes; "" for none).
  struct TSeen {
    bool Exists = false;
    std::string Bytes;
    mode_t Mode = 0;
    uid_t Owner = 0;
    ino_t Inode = 0;
    gid_t Group = 0;
    std::string Acl;
  };
  static TSeen See(const std::filesystem::path& Path) {
    TSeen seen;
    struct stat st;
    if (::stat(Path.c_str(), &st) != 0) return seen;
    char acl[1024];
    const ssize_t size = ::getxattr(Path.c_str(), "system.posix_acl_access", acl, sizeof acl);
    return {true,
            ReadFileBytes(Path),
            st.st_mode & 07777,
            st.st_uid,
            st.st_ino,
            st.st_gid,
            size > 0 ? std::string(acl, size_t(size)) : std::string()};
  }
  // What saves left beside the file and in the cache: temporary files, copies of old text.
  std::vector<std::string> Leftovers() const {
    namespace fs = std::filesystem;
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Real.parent_path()))
      if (e.path().filename().string().starts_with(".")) left.push_back(e.path().string());
    if (fs::exists(Cache() / "rideder"))
      for (const auto& e : fs::directory_iterator(Cache() / "rideder"))
        left.push_back(e.path().string());
    return left;
  }

 private:
  // Gives the file or folder what its site has besides its mode (a chmod would change an
  // ACL's mask, and a chown takes a capability away), with the tools of the packages acl and
  // libcap2-bin.
  void GiveWhatTheModeDoesNotSay(const std::filesystem::path& Folder) const {
    std::string command;
    if (FSite == TSaveSite::AclShutsNobodyOut) command = "setfacl -m u:nobody:--- ";
    if (FSite == TSaveSite::DefaultAclFolder) command = "setfacl -d -m u:nobody:r,g::r,o::- ";
    if (FSite == TSaveSite::CapabilityOwnFile) command = "setcap cap_net_raw=ep ";
    if (command.empty()) return;
    command += ShellQuoted((FSite == TSaveSite::DefaultAclFolder ? Folder : Real).string());
    int code = -1;
    const std::string said = RunTool(command + " 2>&1", {}, &code);
    if (code != 0) throw std::runtime_error(command + ": " + said);
  }

  TSaveSite FSite;
  rlim_t FOldSize;
  TempDir FDir;
};

}  // namespace rid::test
