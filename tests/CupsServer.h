#pragma once
// A CUPS scheduler of the test's own: cupsd with its settings, spool, cache, logs and socket in
// a temporary folder, serving that socket alone, so that it meets no system queue and no cupsd
// already running. Its queues print through cups-pdf into Output(). cups-pdf reads its settings
// from one fixed file; the test's own reach it through a mount that only this cupsd and its
// children see, so the system's stay as they are. cupsd runs as root, since cups-pdf does.
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "tests/TestSupport.h"

namespace rid::test {

class TCupsServer {
 public:
  // Empty when the programs are there; else a message naming the package that brings them.
  static std::string Missing();

  // Starts cupsd and points CUPS_SERVER at it, for this process and the programs it runs.
  TCupsServer();
  // Stops cupsd and takes CUPS_SERVER back.
  ~TCupsServer();
  TCupsServer(const TCupsServer&) = delete;
  TCupsServer& operator=(const TCupsServer&) = delete;

  bool Ok() const { return FError.empty(); }
  const std::string& Error() const { return FError; }
  const std::string& Socket() const { return FSocket; }
  // Where the queues write the PDFs they print.
  std::filesystem::path Output() const { return FDir / "out"; }

  // Runs a CUPS program (lpadmin, cupsreject, ...: /usr/sbin is on the path) on this server;
  // returns what it wrote. A failure fails the test, with the scheduler's log, unless ExitCode
  // is given.
  std::string Run(const std::string& Command, int* ExitCode = nullptr);
  // Adds an enabled cups-pdf queue that accepts jobs.
  void AddPdfQueue(const std::string& Name);
  // The copies CUPS holds for the last job sent to Queue; 0 without a job.
  int LastJobCopies(const std::string& Queue);
  // Waits until Queue holds no job that has not finished; false after Seconds.
  bool WaitForJobs(const std::string& Queue, int Seconds = kWaitSeconds);
  // The scheduler's error log, for the messages of a failed test.
  std::string Log() const;

 private:
  void WriteSettingsFiles();
  // Starts cupsd in a mount namespace of its own and waits until it answers.
  void Start();
  bool Ready();
  TempDir FDir;
  std::string FSocket;
  std::string FError;
  pid_t FPid = -1;
};

}  // namespace rid::test
