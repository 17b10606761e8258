#pragma once
// A real X server for the tests and benchmarks that need one: Xvfb on a display of its own, the
// programs shown on it (rideder, or this test binary again) and the tools that drive them
// (xdotool, xclip, xmodmap), each with a time limit. What is missing or did not start is said
// in Error(), naming the package that brings it.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace rid::test {

class TXSession {
 public:
  // Starts Xvfb on a free display (-displayfd), kept up while clients come and go (-noreset).
  // In a child of RunThisTest or EnterInputMethodSession it takes the parent's display instead.
  TXSession();
  // Stops the programs started here, then the server.
  ~TXSession();
  TXSession(const TXSession&) = delete;
  TXSession& operator=(const TXSession&) = delete;

  bool Ok() const { return FError.empty(); }
  const std::string& Error() const { return FError; }
  const std::string& Display() const { return FDisplay; }

  // Runs a shell command on this display, in a UTF-8 locale (so xdotool can type any
  // character), stopped after Seconds; returns its standard output. While it runs this process
  // goes on handling its events, so the command may read what its windows or clipboard serve.
  // A failure (exit status, time limit) fails the test with the command and its messages,
  // unless ExitCode is given to receive the status (124: out of time). Every time limit here is
  // a safety net against a hang (kWaitSeconds in TestSupport.h), never a measurement.
  std::string Run(const std::string& Command, const std::string& Input = {},
                  int* ExitCode = nullptr, int Seconds = kWaitSeconds);

  // Types Text (characters of the key map; MapKeys adds others) and presses keys by their X
  // names ("space Return ctrl+s") into the window with the keyboard focus, as a person would.
  void TypeText(const std::string& Text);
  void PressKeys(const std::string& KeyNames);

  // Gives each character of Utf8 (and each named key symbol, such as Multi_key) a free key of
  // its own, so that xdotool finds them in the map: remapping a key while it types races with
  // the client's reading of the new map. Clients that start afterwards read it at once.
  bool MapKeys(const std::string& Utf8, const std::vector<std::string>& KeySyms = {});

  // Starts the program with Args and extra "NAME=value" environment entries; returns the id of
  // its window once it shows, or "" with Error() saying what happened.
  std::string StartProgram(const std::string& Program, const std::vector<std::string>& Args,
                           const std::vector<std::string>& Env = {});
  // The same for the editor program of this build.
  std::string StartRideder(const std::vector<std::string>& Args,
                           const std::vector<std::string>& Env = {});

  // What the program started last has written so far, its standard error included.
  std::string LastOutput() const;

  // Waits until the program that owns Window has handled every event sent to it so far: a
  // _NET_WM_PING sent after them comes back from its event loop (twice, so that what it read
  // before the first has also been delivered). False, with Error(), when no answer came.
  bool Sync(const std::string& Window, int Seconds = kWaitSeconds);

  // Runs the current test again in a child on this display (ThisTestCommand in TestSupport.h);
  // returns the child's output, standard error included. The child may wait several times.
  std::string RunThisTest(int* ExitCode, int Seconds = 3 * kWaitSeconds);

 private:
  void StartServer();
  bool Ping(uint32_t Window, int Seconds);
  // What became of the programs started here that have left: how each ended and what it
  // wrote; "" when all still run.
  std::string ProgramsGone();

  TempDir FDir;
  std::string FDisplay;
  std::string FError;
  pid_t FServer = -1;
  struct TProgram {
    pid_t Pid;
    std::string Name;
    std::filesystem::path Log;  // its standard output and error
  };
  std::vector<TProgram> FPrograms;
  struct TPinger;
  std::unique_ptr<TPinger> FPinger;  // this test's own connection to the server, for Sync
};

}  // namespace rid::test
