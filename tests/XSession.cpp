#include "tests/XSession.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

extern char** environ;

namespace rid::test {

namespace {

constexpr const char* kUnderX = "RID_UNDER_X";
constexpr int kStartSeconds = kWaitSeconds;
constexpr int kKeyDelayMs = 20;  // between the keys xdotool presses, as a fast typist

std::string Describe(int Status) {
  if (WIFEXITED(Status)) return "exit status " + std::to_string(WEXITSTATUS(Status));
  if (WIFSIGNALED(Status)) return "signal " + std::to_string(WTERMSIG(Status));
  return "status " + std::to_string(Status);
}

}  // namespace

bool UnderX() { return std::getenv(kUnderX) != nullptr; }

std::string ThisTestCommand() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string("env ") + kUnderX + "=1 " +
         ShellQuoted(std::filesystem::read_symlink("/proc/self/exe")) + " " +
         ShellQuoted(std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name());
}

TXSession::TXSession() {
  if (!UnderX()) {
    StartServer();
    return;
  }
  const char* display = std::getenv("DISPLAY");
  FDisplay = display ? display : "";
  if (FDisplay.empty()) FError = std::string(kUnderX) + " is set but DISPLAY is not";
}

void TXSession::StartServer() {
  FError = MissingTool("Xvfb", "xvfb");
  if (!FError.empty()) return;
  const auto log = FDir / "xvfb.log";
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    FError = "no pipe for Xvfb's display number";
    return;
  }
  FServer = fork();
  if (FServer == 0) {
    PrepareChild(log, fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0",
           "1280x1024x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // The display's number and a line break arrive once the server takes connections; the pipe
  // closes without them when it fails.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c;
  while (poll(&p, 1, kStartSeconds * 1000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(fds[0]);
  if (number.empty())
    FError = "Xvfb (package xvfb) did not start a server within " + std::to_string(kStartSeconds) +
             " s: " + ReadFileBytes(log);
  else
    FDisplay = ":" + number;
}

struct TXSession::TPinger {
  xcb_connection_t* C = nullptr;
  xcb_atom_t Protocols = 0, Ping = 0;
  uint32_t Count = 0;
  ~TPinger() { xcb_disconnect(C); }
  xcb_atom_t Atom(const char* Name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(C, xcb_intern_atom(C, 0, std::strlen(Name), Name), nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
  }
};

TXSession::~TXSession() {
  FPinger.reset();
  for (const TProgram& p : FPrograms)
    if (p.Pid > 0) StopChild(p.Pid);  // the programs before their display
  if (FServer > 0) StopChild(FServer);
}

std::string TXSession::Run(const std::string& Command, const std::string& Input, int* ExitCode,
                           int Seconds) {
  static std::atomic<int> count{0};
  const auto err = FDir / ("stderr-" + std::to_string(++count));
  const std::string line = "DISPLAY=" + FDisplay + " LC_ALL=C.UTF-8 timeout " +
                           std::to_string(Seconds) + " sh -c " + ShellQuoted(Command) + " 2>" +
                           ShellQuoted(err.string());
  std::string out;
  int code = -1;
  std::atomic<bool> done{false};
  std::thread t([&] {
    out = RunTool(line, Input, &code);
    done = true;
  });
  // This process's windows and clipboard go on answering while the command runs; timeout ends
  // it in time.
  WaitUntil([&] { return done.load(); }, (Seconds + 10) * 1000);
  t.join();
  if (ExitCode) {
    *ExitCode = code;
  } else if (code == 124) {
    ADD_FAILURE() << "`" << Command << "` did not finish within " << Seconds << " s on display "
                  << FDisplay << ": " << ReadFileBytes(err);
  } else if (code != 0) {
    ADD_FAILURE() << "`" << Command << "` failed (exit status " << code << ") on display "
                  << FDisplay << ": " << ReadFileBytes(err) << out << ProgramsGone();
  }
  return out;
}

void TXSession::TypeText(const std::string& Text) {
  Run("xdotool type --delay " + std::to_string(kKeyDelayMs) + " -- " + ShellQuoted(Text));
}

void TXSession::PressKeys(const std::string& KeyNames) {
  Run("xdotool key --delay " + std::to_string(kKeyDelayMs) + " " + KeyNames);
}

bool TXSession::MapKeys(const std::string& Utf8, const std::vector<std::string>& KeySyms) {
  FError = MissingTool("xmodmap", "x11-xserver-utils");
  if (!FError.empty()) return false;
  std::vector<std::string> syms = KeySyms;
  for (char32_t c : QString::fromStdString(Utf8).toUcs4()) {
    char name[16];
    std::snprintf(name, sizeof name, "U%04X", static_cast<unsigned>(c));
    syms.push_back(name);
  }
  // Keys without a symbol show as "keycode N =" and nothing after it.
  std::istringstream map(Run("xmodmap -pke"));
  std::string assign;
  size_t given = 0;
  for (std::string line; given < syms.size() && std::getline(map, line);) {
    std::istringstream words(line);
    std::string keycode, code, equals, sym;
    if (words >> keycode >> code >> equals && keycode == "keycode" && !(words >> sym))
      assign += " -e " + ShellQuoted("keycode " + code + " = " + syms[given++]);
  }
  if (given < syms.size()) {
    FError = "the server's key map has only " + std::to_string(given) + " free keys, " +
             std::to_string(syms.size()) + " were asked for";
    return false;
  }
  int code = -1;
  const std::string out = Run("xmodmap" + assign + " 2>&1", {}, &code);
  if (code != 0) FError = "xmodmap" + assign + " failed on display " + FDisplay + ": " + out;
  return code == 0;
}

std::string TXSession::StartProgram(const std::string& Program,
                                    const std::vector<std::string>& Args,
                                    const std::vector<std::string>& Env) {
  FError = MissingTool("xdotool", "xdotool");
  if (!FError.empty()) return {};
  std::vector<std::string> env = {"DISPLAY=" + FDisplay, "QT_QPA_PLATFORM=xcb"};
  env.insert(env.end(), Env.begin(), Env.end());
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& mine : env) replaced |= mine.rfind(name, 0) == 0;
    if (!replaced) env.push_back(entry);
  }
  std::vector<char*> argv = {const_cast<char*>(Program.c_str())};
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const auto log = FDir / (std::filesystem::path(Program).filename().string() + "-" +
                           std::to_string(FPrograms.size()) + ".log");
  const pid_t pid = fork();
  if (pid == 0) {
    PrepareChild(log);
    execve(Program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  FPrograms.push_back({pid, Program, log});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      FPrograms.pop_back();
      FError = Program + " left (" + Describe(status) + ") before its window showed on display " +
               FDisplay + ": " + ReadFileBytes(log);
      return {};
    }
    int code = -1;
    const std::string ids =
        Run("xdotool search --onlyvisible --pid " + std::to_string(pid), {}, &code);
    if (code == 0 && !ids.empty()) return ids.substr(0, ids.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  FError = Program + "'s window did not show within " + std::to_string(kStartSeconds) +
           " s on display " + FDisplay + ": " + ReadFileBytes(log);
  return {};
}

std::string TXSession::StartRideder(const std::vector<std::string>& Args,
                                    const std::vector<std::string>& Env) {
  return StartProgram(std::string(RID_BUILD_DIR) + "/rideder", Args, Env);
}

std::string TXSession::LastOutput() const {
  return FPrograms.empty() ? std::string() : ReadFileBytes(FPrograms.back().Log);
}

bool TXSession::Sync(const std::string& Window, int Seconds) {
  if (!FPinger) {
    FPinger = std::make_unique<TPinger>();
    FPinger->C = xcb_connect(FDisplay.c_str(), nullptr);
    if (xcb_connection_has_error(FPinger->C)) {
      FError = "no connection to the X server on display " + FDisplay;
      return false;
    }
    // Answers go to the root window, for whoever listens to it (with the structure mask, as Qt
    // sends them) or to its children (as the window managers' convention has it).
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(FPinger->C)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(FPinger->C, root, XCB_CW_EVENT_MASK, &mask);
    FPinger->Protocols = FPinger->Atom("WM_PROTOCOLS");
    FPinger->Ping = FPinger->Atom("_NET_WM_PING");
  }
  const uint32_t window = static_cast<uint32_t>(std::stoul(Window));
  return Ping(window, Seconds) && Ping(window, Seconds);
}

bool TXSession::Ping(uint32_t Window, int Seconds) {
  xcb_connection_t* c = FPinger->C;
  const uint32_t token = ++FPinger->Count;
  xcb_client_message_event_t ping{};
  ping.response_type = XCB_CLIENT_MESSAGE;
  ping.format = 32;
  ping.window = Window;
  ping.type = FPinger->Protocols;
  ping.data.data32[0] = FPinger->Ping;
  ping.data.data32[1] = token;
  ping.data.data32[2] = Window;
  xcb_send_event(c, 0, Window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ping));
  xcb_flush(c);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  for (;;) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(e);
      const bool answer = (e->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                          m->type == FPinger->Protocols && m->data.data32[0] == FPinger->Ping &&
                          m->data.data32[1] == token;
      std::free(e);
      if (answer) return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    if (xcb_connection_has_error(c) || left.count() <= 0 || poll(&p, 1, int(left.count())) < 0) {
      FError = "the window " + std::to_string(Window) + " on display " + FDisplay +
               " did not answer a ping within " + std::to_string(Seconds) + " s" + ProgramsGone();
      return false;
    }
  }
}

std::string TXSession::ProgramsGone() {
  std::string said;
  for (TProgram& p : FPrograms) {
    int status = 0;
    if (p.Pid <= 0 || waitpid(p.Pid, &status, WNOHANG) != p.Pid) continue;
    p.Pid = -1;  // reaped
    said += "\n" + p.Name + " has left (" + Describe(status) + "): " + ReadFileBytes(p.Log);
  }
  return said;
}

std::string TXSession::RunThisTest(int* ExitCode, int Seconds) {
  // The child keeps this process's locale (an empty LC_ALL counts as none).
  const char* locale = std::getenv("LC_ALL");
  const std::string out = Run("LC_ALL=" + ShellQuoted(locale ? locale : "") +
                                  " QT_QPA_PLATFORM=xcb " + ThisTestCommand() + " 2>&1",
                              {}, ExitCode, Seconds);
  if (*ExitCode == 124)
    return out + "\nthe test under X did not finish within " + std::to_string(Seconds) + " s";
  return out;
}

std::string RunThisTestUnderX(int* ExitCode) {
  *ExitCode = -1;
  TXSession x;
  if (!x.Ok()) return x.Error();
  return x.RunThisTest(ExitCode);
}

}  // namespace rid::test
