#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

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

}  // namespace rid::test

// Every test program runs with a real (headless) application object, so widgets, fonts
// and the clipboard work as they do in the editor.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
