// What the fuzz targets share: reading the input piece by piece, failing loudly, scratch files
// and the Shift-JIS shape of a result.
#pragma once
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Locale.h"

namespace rid::fuzz {

// The input, taken from the front; past its end every byte reads as 0 and every run as empty.
struct TReader {
  std::string_view Data;
  size_t At = 0;
  bool More() const { return At < Data.size(); }
  uint8_t Byte() { return At < Data.size() ? static_cast<uint8_t>(Data[At++]) : 0; }
  std::string_view Bytes(size_t N) {
    std::string_view s = Data.substr(std::min(At, Data.size()), N);
    At += s.size();
    return s;
  }
  std::string_view Rest() { return Bytes(Data.size()); }
};

// A broken property is a finding: say which, and abort so the fuzzer keeps the input.
inline void Check(bool Ok, const char* File = __builtin_FILE(), int Line = __builtin_LINE()) {
  if (Ok) return;
  std::fprintf(stderr, "property broken at %s:%d\n", File, Line);
  abort();
}

// A file in a temporary folder of this process, made on first use and removed at exit. The
// folder is in memory where the system has such a place, since saves wait for the disk.
inline std::string ScratchFile(const std::string& Name) {
  static const std::filesystem::path dir = [] {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    auto d = base / ("rid-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  [[maybe_unused]] static const int removedAtExit = std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  });
  return (dir / Name).string();
}

// Every character whole: each lead byte has a trail byte after it.
inline bool IsWholeShiftJis(std::string_view S) {
  for (size_t i = 0; i < S.size(); ++i) {
    if (!IsDBCSLeadByte(static_cast<uint8_t>(S[i]))) continue;
    if (i + 1 >= S.size() || !IsDBCSTrailByte(static_cast<uint8_t>(S[i + 1]))) return false;
    ++i;
  }
  return true;
}

// The number of characters, walking from the start.
inline size_t ShiftJisCharCount(std::string_view S) {
  size_t n = 0;
  for (size_t i = 0; i < S.size(); ++n) i += SjisCharLength(S, i);
  return n;
}

// Whether Pos starts a character of S (or is its end), walking from the start: a lead byte takes
// the byte after it only when that can trail, as the editor and the highlighters read text.
inline bool IsCharStart(std::string_view S, size_t Pos) {
  size_t i = 0;
  while (i < Pos) i += SjisCharLength(S, i);
  return i == Pos;
}

}  // namespace rid::fuzz
