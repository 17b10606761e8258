#pragma once
#include <filesystem>
#include <functional>
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

// Processes the application's events until Done() holds or TimeoutMs have passed; returns
// Done().
bool WaitUntil(const std::function<bool()>& Done, int TimeoutMs);

// --- a real input method (tests/input-method-session.sh: an X server, a private session bus,
// fcitx5 with mozc, QT_IM_MODULE=fcitx). A test that types through it starts with
//   if (!test::EnterInputMethodSession()) return;
// and goes on inside the session.

// Runs the current test again in a child process inside an input-method session. Returns true
// in that child; in the test's own process it waits for the child, fails the test when the
// child failed or the session did not start (naming what did not), and returns false.
bool EnterInputMethodSession();
// Types Text (printable ASCII) and presses keys by their X names ("space Return") on the
// session's keyboard, into the window that has the focus, as a person would (xdotool).
void TypeText(const std::string& Text);
void PressKeys(const std::string& KeyNames);

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
