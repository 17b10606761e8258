#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

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

namespace {

constexpr const char* kUnderX = "RID_UNDER_X";

// An Xvfb server on a free display of its own, stopped at scope end. Display is empty and Error
// says why when it did not start.
class TXvfb {
 public:
  TXvfb() {
    const std::string missing = MissingTool("Xvfb", "xvfb");
    if (!missing.empty()) {
      Error = missing;
      return;
    }
    const auto log = FDir / "xvfb.log";
    int fds[2];
    if (pipe(fds) != 0) {
      Error = "no pipe for Xvfb";
      return;
    }
    FPid = fork();
    if (FPid == 0) {
      close(fds[0]);
      if (!std::freopen(log.c_str(), "w", stderr)) _exit(127);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display's number and a line break once it takes connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      Error = "Xvfb (package xvfb) did not start a server: " + ReadFileBytes(log);
      return;
    }
    Display = ":" + number;
  }
  ~TXvfb() {
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
  }
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;

  std::string Display;
  std::string Error;

 private:
  TempDir FDir;
  pid_t FPid = -1;
};

}  // namespace

bool UnderX() { return std::getenv(kUnderX) != nullptr; }

std::string RunThisTestUnderX(int* ExitCode) {
  *ExitCode = -1;
  TXvfb x;
  if (x.Display.empty()) return x.Error;
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  return RunTool("DISPLAY=" + x.Display + " QT_QPA_PLATFORM=xcb " + kUnderX + "=1 '" + self +
                     "' --gtest_filter=" + test->test_suite_name() + "." + test->name() + " 2>&1",
                 {}, ExitCode);
}

void WaitEvents(int Milliseconds) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < Milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

void XdoTool(const std::vector<std::string>& Args) {
  QStringList args;
  for (const std::string& a : Args) args << QString::fromStdString(a);
  QProcess p;
  p.start("xdotool", args);
  while (!p.waitForFinished(10)) QApplication::processEvents();
  WaitEvents(150);
}

std::filesystem::path ArtifactDir() {
  auto dir = std::filesystem::path(RID_BUILD_DIR) / "artifacts";
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace rid::test

// Every test program runs with a real (headless) application object, so widgets, fonts
// and the clipboard work as they do in the editor.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
