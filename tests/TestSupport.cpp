#include "tests/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QStringList>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace rid::test {

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    FPath = std::filesystem::temp_directory_path() / ("rid-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(FPath)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(FPath, ec);
}

bool HaveTool(const std::string& Name) {
  return std::system(("command -v '" + Name + "' >/dev/null 2>&1").c_str()) == 0;
}

std::string MissingTool(const std::string& Name, const std::string& Package) {
  if (HaveTool(Name)) return {};
  return "the program " + Name + " is missing: install the package " + Package;
}

std::string MissingFont(const std::string& Family, const std::string& Package) {
  if (QFontDatabase::families().contains(QString::fromStdString(Family))) return {};
  return "the font family " + Family + " is missing: install the package " + Package;
}

std::string MissingFile(const std::filesystem::path& Path, const std::string& Package) {
  std::error_code ec;
  if (std::filesystem::exists(Path, ec)) return {};
  return Path.string() + " is missing: install the package " + Package;
}

void NeedTool(const std::string& Name, const std::string& Package) {
  const std::string missing = MissingTool(Name, Package);
  if (!missing.empty()) throw std::runtime_error(missing);
}

void PrepareChild(const std::filesystem::path& Log, int Keep) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  const int log = open(Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int null = open("/dev/null", O_RDWR);
  if (log < 0 || null < 0) _exit(127);
  dup2(null, 0);
  dup2(log, 1);
  dup2(log, 2);
  if (Keep == 3)
    fcntl(3, F_SETFD, 0);  // close-on-exec off
  else if (Keep >= 0)
    dup2(Keep, 3);
  close_range(Keep >= 0 ? 4 : 3, ~0U, 0);
}

void StopChild(pid_t Pid) {
  kill(Pid, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (waitpid(Pid, nullptr, WNOHANG) != 0) return;
    usleep(10000);
  }
  kill(Pid, SIGKILL);
  waitpid(Pid, nullptr, 0);
}

bool PauseChild(pid_t Pid, int* Status) {
  kill(Pid, SIGSTOP);
  int status = 0;
  pid_t got;
  while ((got = waitpid(Pid, &status, WUNTRACED)) < 0 && errno == EINTR) {
  }
  if (got == Pid && WIFSTOPPED(status)) return true;
  *Status = status;
  return false;
}

std::string ShellQuoted(const std::string& S) {
  std::string q = "'";
  for (char c : S) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string RunTool(const std::string& Command, const std::string& Input, int* ExitCode) {
  TempDir dir;
  const auto in = dir / "in";
  const auto out = dir / "out";
  WriteFileBytes(in, Input);
  const std::string cmd = "(" + Command + ") < '" + in.string() + "' > '" + out.string() + "'";
  const int status = std::system(cmd.c_str());
  if (ExitCode) *ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ReadFileBytes(out);
}

std::string ReadFileBytes(const std::filesystem::path& Path) {
  std::ifstream f(Path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes) {
  std::ofstream f(Path, std::ios::binary | std::ios::trunc);
  f.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::filesystem::path ArtifactDir() {
  auto dir = std::filesystem::path(RID_BUILD_DIR) / "artifacts";
  std::filesystem::create_directories(dir);
  return dir;
}

bool WaitUntil(const std::function<bool()>& Done, int TimeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!Done()) {
    if (timer.elapsed() >= TimeoutMs) return false;
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void ProcessEventsPast(int Ms) {
  bool fired = false;
  QObject context;
  QTimer::singleShot(Ms, Qt::PreciseTimer, &context, [&fired] { fired = true; });
  if (!WaitUntil([&fired] { return fired; }, Ms + kWaitSeconds * 1000))
    ADD_FAILURE() << "a timer of " << Ms << " ms did not fire";
}

bool EnterInputMethodSession() {
  constexpr const char* kSessionVariable = "RID_INPUT_METHOD_SESSION";
  constexpr int kSessionNotStarted = 2;  // the session script's status when it could not start
  if (std::getenv(kSessionVariable)) return true;
  if (const std::string missing = MissingTool("xdotool", "xdotool"); !missing.empty()) {
    ADD_FAILURE() << missing;
    return false;
  }
  const std::filesystem::path script =
      std::filesystem::path(RID_TEST_DATA).parent_path() / "input-method-session.sh";
  std::fflush(stdout);
  const int status = std::system((ShellQuoted(script) + " " + ThisTestCommand()).c_str());
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code == kSessionNotStarted)
    ADD_FAILURE() << "the input-method session did not start (its message is above)";
  else if (code != 0)
    ADD_FAILURE() << "the test failed inside the input-method session (exit " << code
                  << "; its output is above)";
  return false;
}

}  // namespace rid::test
