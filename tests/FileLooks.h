#pragma once
// Counts the looks the process takes at one file by its name: the calls of the stat family
// (stat, lstat, fstatat, statx) that name it, from the program's code, the C++ library and
// every other library alike. A test program includes this header in one source file only: the
// calls are taken there and passed on to the system's own.
#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>

namespace rid::test {

namespace looks {
inline char Watched[4096];
inline std::atomic<bool> On{false};
inline std::atomic<int> Count{0};

inline void Saw(const char* Path) {
  if (On.load(std::memory_order_acquire) && std::strcmp(Path, Watched) == 0) ++Count;
}

// The system's own function Name, called with Args.
template <class... A>
int Pass(const char* Name, A... Args) {
  return reinterpret_cast<int (*)(A...)>(::dlsym(RTLD_NEXT, Name))(Args...);
}
}  // namespace looks

// Counts while it lives the looks at File (as an absolute path, as the program names it).
class TFileLooks {
 public:
  explicit TFileLooks(const std::filesystem::path& File) {
    const std::string path = std::filesystem::absolute(File).lexically_normal().string();
    std::strncpy(looks::Watched, path.c_str(), sizeof looks::Watched - 1);
    looks::Count = 0;
    looks::On.store(true, std::memory_order_release);
  }
  ~TFileLooks() { looks::On = false; }
  TFileLooks(const TFileLooks&) = delete;
  TFileLooks& operator=(const TFileLooks&) = delete;

  int Count() const { return looks::Count; }
};

}  // namespace rid::test

using rid::test::looks::Pass;
using rid::test::looks::Saw;

extern "C" {

int stat(const char* __restrict Path, struct stat* __restrict Buf) __THROW {
  Saw(Path);
  return Pass("stat", Path, Buf);
}

int lstat(const char* __restrict Path, struct stat* __restrict Buf) __THROW {
  Saw(Path);
  return Pass("lstat", Path, Buf);
}

int fstatat(int Fd, const char* __restrict Path, struct stat* __restrict Buf, int Flags) __THROW {
  Saw(Path);
  return Pass("fstatat", Fd, Path, Buf, Flags);
}

int stat64(const char* __restrict Path, struct stat64* __restrict Buf) __THROW {
  Saw(Path);
  return Pass("stat64", Path, Buf);
}

int lstat64(const char* __restrict Path, struct stat64* __restrict Buf) __THROW {
  Saw(Path);
  return Pass("lstat64", Path, Buf);
}

int fstatat64(int Fd, const char* __restrict Path, struct stat64* __restrict Buf,
              int Flags) __THROW {
  Saw(Path);
  return Pass("fstatat64", Fd, Path, Buf, Flags);
}

int statx(int Fd, const char* __restrict Path, int Flags, unsigned int Mask,
          struct statx* __restrict Buf) __THROW {
  Saw(Path);
  return Pass("statx", Fd, Path, Flags, Mask, Buf);
}

}  // extern "C"
