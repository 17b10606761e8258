#include "tests/CupsServer.h"

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <thread>
#include <utility>

namespace rid::test {

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kCupsPdfSettings = "/etc/cups/cups-pdf.conf";
constexpr const char* kCupsPdfDriver = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
constexpr int kStartSeconds = kWaitSeconds;

struct TNeed {
  const char* Path;
  const char* Package;
};
constexpr TNeed kNeeds[] = {
    {kCupsd, "cups-daemon"},
    {"/usr/sbin/lpadmin", "cups-client"},
    {"/usr/bin/lpstat", "cups-client"},
    {"/usr/sbin/cupsreject", "cups-client"},
    {"/usr/sbin/cupsdisable", "cups-client"},
    {"/usr/lib/cups/backend/cups-pdf", "printer-driver-cups-pdf"},
    {kCupsPdfDriver, "printer-driver-cups-pdf"},
    {kCupsPdfSettings, "printer-driver-cups-pdf"},
};

// The scheduler serves its socket alone, without browsing or web pages, and lets anybody who
// reaches that socket manage its queues.
constexpr const char* kCupsdSettings = R"(LogLevel warn
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
)";

// Settings as lines of "KEY VALUE".
void WriteSettings(const std::filesystem::path& File,
                   std::initializer_list<std::pair<const char*, std::string>> Lines) {
  std::string text;
  for (const auto& [key, value] : Lines) text += std::string(key) + " " + value + "\n";
  WriteFileBytes(File, text);
}

}  // namespace

std::string TCupsServer::Missing() {
  for (const TNeed& n : kNeeds)
    if (std::string missing = MissingFile(n.Path, n.Package); !missing.empty()) return missing;
  return {};
}

TCupsServer::TCupsServer() : FSocket((FDir / "cups.sock").string()) {
  if (geteuid() != 0) {
    FError = "cups-pdf prints only for a cupsd that runs as root: run the test as root";
    return;
  }
  WriteSettingsFiles();
  Start();
}

void TCupsServer::WriteSettingsFiles() {
  for (const char* sub : {"conf", "spool", "cache", "state", "log", "out", "tmp"})
    std::filesystem::create_directories(FDir / sub);
  chmod((FDir / "tmp").c_str(), 01777);  // the filters run as the user lp
  const std::string d = FDir.Path().string();
  WriteFileBytes(FDir / "conf" / "cupsd.conf", "Listen " + FSocket + "\n" + kCupsdSettings);
  WriteSettings(FDir / "conf" / "cups-files.conf", {{"ServerRoot", d + "/conf"},
                                                    {"RequestRoot", d + "/spool"},
                                                    {"CacheDir", d + "/cache"},
                                                    {"StateDir", d + "/state"},
                                                    {"TempDir", d + "/tmp"},
                                                    {"AccessLog", d + "/log/access_log"},
                                                    {"ErrorLog", d + "/log/error_log"},
                                                    {"PageLog", d + "/log/page_log"},
                                                    {"Printcap", d + "/printcap"}});
  WriteSettings(FDir / "cups-pdf.conf", {{"Out", d + "/out"},
                                         {"AnonDirName", d + "/out"},
                                         {"Spool", d + "/cups-pdf-spool"},
                                         {"GSTmp", d + "/tmp"},
                                         {"Log", d + "/log"}});
}

void TCupsServer::Start() {
  const std::string settings = (FDir / "cups-pdf.conf").string();
  const std::string conf = (FDir / "conf" / "cupsd.conf").string();
  const std::string files = (FDir / "conf" / "cups-files.conf").string();
  FPid = fork();
  if (FPid == 0) {
    PrepareChild(FDir / "log" / "cupsd.out");
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount(settings.c_str(), kCupsPdfSettings, nullptr, MS_BIND, nullptr)) {
      std::fprintf(stderr, "no private mount for cups-pdf's settings: %s\n", std::strerror(errno));
      _exit(126);
    }
    execl(kCupsd, "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  setenv("CUPS_SERVER", FSocket.c_str(), 1);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  while (!Ready()) {
    int status;
    if (waitpid(FPid, &status, WNOHANG) == FPid) {
      FPid = -1;
      FError = "cupsd (package cups-daemon) stopped as it started: " +
               ReadFileBytes(FDir / "log" / "cupsd.out") + Log();
      return;
    }
    if (std::chrono::steady_clock::now() > until) {
      FError = "cupsd (package cups-daemon) did not answer within " +
               std::to_string(kStartSeconds) + " s: " + Log();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

TCupsServer::~TCupsServer() {
  if (FPid > 0) StopChild(FPid);
  unsetenv("CUPS_SERVER");
}

bool TCupsServer::Ready() {
  int code = -1;
  RunTool("lpstat -r", {}, &code);
  return std::filesystem::exists(FSocket) && code == 0;
}

std::string TCupsServer::Run(const std::string& Command, int* ExitCode) {
  int code = -1;
  const std::string out = RunTool("PATH=/usr/sbin:$PATH " + Command + " 2>&1", {}, &code);
  if (ExitCode)
    *ExitCode = code;
  else if (code != 0)
    ADD_FAILURE() << Command << ": exit status " << code << "\n" << out << Log();
  return out;
}

void TCupsServer::AddPdfQueue(const std::string& Name) {
  Run("lpadmin -p " + ShellQuoted(Name) + " -v cups-pdf:/ -P " + kCupsPdfDriver + " -E");
}

int TCupsServer::LastJobCopies(const std::string& Queue) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", Queue.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
  static const char* const kWanted[] = {"job-id", "copies"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                kWanted);
  ipp_t* jobs = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  // Each job's attributes come as a group, ended by a nameless separator; a job sent without
  // copies has one.
  int last = 0, copies = 0, job = 0, jobCopies = 1;
  const auto endGroup = [&] {
    if (job > last) last = job, copies = jobCopies;
    job = 0, jobCopies = 1;
  };
  for (ipp_attribute_t* a = ippFirstAttribute(jobs); a; a = ippNextAttribute(jobs)) {
    const char* name = ippGetName(a);
    if (!name)
      endGroup();
    else if (std::strcmp(name, "job-id") == 0)
      job = ippGetInteger(a, 0);
    else if (std::strcmp(name, "copies") == 0)
      jobCopies = ippGetInteger(a, 0);
  }
  endGroup();
  ippDelete(jobs);
  return copies;
}

bool TCupsServer::WaitForJobs(const std::string& Queue, int Seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  while (!RunTool("lpstat -o " + ShellQuoted(Queue)).empty()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

std::string TCupsServer::Log() const {
  return "\nscheduler's log:\n" + ReadFileBytes(FDir / "log" / "error_log");
}

}  // namespace rid::test
