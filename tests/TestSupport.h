#pragma once
#include <filesystem>
#include <string>

namespace rid::test {

// A folder under the system temporary folder, removed with everything in it at scope end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return FPath; }
  std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

 private:
  std::filesystem::path FPath;
};

// True when the named program is on PATH.
bool HaveTool(const std::string& Name);
// Runs a shell command with Input on its standard input; returns its standard output.
// *ExitCode (when given) receives its exit status.
std::string RunTool(const std::string& Command, const std::string& Input = {},
                    int* ExitCode = nullptr);

std::string ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes);

// Where tests may leave pictures and other artefacts for a reviewer: <build>/artifacts.
std::filesystem::path ArtifactDir();

}  // namespace rid::test

// Fails the current test when a tool is missing, naming the Debian package that brings it: a
// test that needs a tool never passes without it.
#define RID_NEED_TOOL(name, package) \
  ASSERT_TRUE(::rid::test::HaveTool(name)) << name " is missing: install the package " package

// Skips the current test with a message when a tool is missing.
#define RID_REQUIRE_TOOL(name)                                          \
  do {                                                                  \
    if (!::rid::test::HaveTool(name)) GTEST_SKIP() << name " not installed"; \
  } while (0)
