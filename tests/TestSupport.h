#pragma once
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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
// Empty when what a test needs is there; else a message naming the Debian package that brings
// it (scripts/setup-deps.sh installs them all). A program is looked up on PATH, a font family in
// the font database, a file or folder by its path.
std::string MissingTool(const std::string& Name, const std::string& Package);
std::string MissingFont(const std::string& Family, const std::string& Package);
std::string MissingFile(const std::filesystem::path& Path, const std::string& Package);
// For helpers that return a value: throws (so the test fails) with MissingTool's message.
void NeedTool(const std::string& Name, const std::string& Package);

// In a child between fork and exec: dies with the test, writes to Log, keeps only the standard
// streams (and Keep, moved to descriptor 3) so it holds none of the test runner's pipes.
void PrepareChild(const std::filesystem::path& Log, int Keep = -1);
// Stops a child: asked first, then forced when it does not leave within 5 s.
void StopChild(pid_t Pid);
// Pauses a child (SIGSTOP) and returns once it has stopped: kill returns before the signal has
// taken effect, and a child still running may go on to do what the caller looks for. False
// when the child ended first; it is then reaped and *Status says how it ended.
bool PauseChild(pid_t Pid, int* Status);

// S as one word of a shell command line.
std::string ShellQuoted(const std::string& S);

// Runs a shell command with Input on its standard input; returns its standard output.
// *ExitCode (when given) receives its exit status.
std::string RunTool(const std::string& Command, const std::string& Input = {},
                    int* ExitCode = nullptr);

std::string ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes);

// The part of a test that needs a real X server: the running test starts its own Xvfb, runs
// itself again in a child on that display (QT_QPA_PLATFORM=xcb) and returns the child's output,
// standard error included; in that child UnderX() is true. When no server can be started
// *ExitCode is -1 and the output says why. tests/XSession.h has the session behind it, for
// tests that run rideder, xdotool or xclip on the server.
//   TEST(S, T) {
//     if (test::UnderX()) return PartUnderX();
//     int code = -1;
//     const std::string out = test::RunThisTestUnderX(&code);
//     ASSERT_EQ(code, 0) << out;
//   }
bool UnderX();
std::string RunThisTestUnderX(int* ExitCode);
// The shell command that runs this test program again, on the current test alone, in a child
// where UnderX() is true (it takes DISPLAY from its parent).
std::string ThisTestCommand();

// Where tests may leave pictures and other artefacts for a reviewer: <build>/artifacts.
std::filesystem::path ArtifactDir();

// How long a test waits for what must come (an event, a window, a child's or a program's end)
// before it fails. A safety net against a hang, never a measurement: a machine busy with twice
// as many processes as cores, under the sanitizers, stays far within it. Waits return as soon
// as what they wait for holds, so a generous limit costs a passing test nothing. (A test's own
// limit in tests/CMakeLists.txt is above the longest wait of a test.)
constexpr int kWaitSeconds = 300;

// Processes the application's events (when there is an application) until Done() holds or
// TimeoutMs have passed; returns whether it came to hold.
bool WaitUntil(const std::function<bool()>& Done, int TimeoutMs = kWaitSeconds * 1000);
// Processes the application's events until a timer of Ms, started now, has fired, so that
// every timer due before it has had its turn however slowly the machine runs: a test that a
// timer did not act waits for this rather than for a time.
void ProcessEventsPast(int Ms);

// --- a real input method (tests/input-method-session.sh: an X server, a private session bus,
// fcitx5 with mozc, QT_IM_MODULE=fcitx). A test that types through it starts with
//   if (!test::EnterInputMethodSession()) return;
// and goes on inside the session, where UnderX() is true: a TXSession (tests/XSession.h) there
// runs xdotool and programs on the session's display.

// Runs the current test again in a child process inside an input-method session. Returns true
// in that child; in the test's own process it waits for the child, fails the test when the
// child failed or the session did not start (naming what did not), and returns false.
bool EnterInputMethodSession();

}  // namespace rid::test

// Fail the current test when a program, a font family or a system file is missing, naming the
// Debian package that brings it: a test that needs one never skips or passes without it.
#define RID_NEED_(missing)                           \
  do {                                               \
    const std::string ridMissing_ = (missing);       \
    ASSERT_TRUE(ridMissing_.empty()) << ridMissing_; \
  } while (0)
#define RID_NEED_TOOL(name, package) RID_NEED_(::rid::test::MissingTool(name, package))
#define RID_NEED_FONT(family, package) RID_NEED_(::rid::test::MissingFont(family, package))
#define RID_NEED_FILE(path, package) RID_NEED_(::rid::test::MissingFile(path, package))
