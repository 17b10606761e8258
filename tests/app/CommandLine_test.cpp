#include "app/CommandLine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "platform/Locale.h"
#include "tests/FileFaults.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

int RunNothing(TCliJob&) { return 0; }

const std::vector<TCliMode> TestModes = {
    {"--make", "OUT", {{"--flag", ""}, {"--count", "N"}}, RunNothing},
    {"--other", "OUT", {}, RunNothing},
};

std::string Rideder() { return std::string(RID_BUILD_DIR) + "/rideder"; }

TEST(CommandLine, ParsesModeTargetOptionsAndOneFile) {
  struct Case {
    std::vector<std::string> Args;
    const char* Error;  // nullptr: parses
    const char* File;
  };
  const Case cases[] = {
      {{"--make", "o", "f"}, nullptr, "f"},
      {{"--make", "o", "--flag", "--count", "3", "f"}, nullptr, "f"},
      {{"--make", "o", "f", "--title", "T"}, nullptr, "f"},       // options after FILE
      {{"--make", "o", "--count", "--flag", "f"}, nullptr, "f"},  // a value that looks odd
      {{"--make", "o", "--", "--flag"}, nullptr, "--flag"},       // a FILE named like one
      {{"--make", "o", "--attr", "", "-"}, nullptr, "-"},         // empty values are values
      {{}, "no mode", nullptr},
      {{"--unknown", "o", "f"}, "unknown mode", nullptr},
      {{"--make"}, "needs OUT", nullptr},
      {{"--make", "", "f"}, "needs OUT", nullptr},
      {{"--make", "o"}, "no FILE", nullptr},
      {{"--make", "o", "f", "g"}, "more than one FILE", nullptr},
      {{"--make", "o", "--count"}, "--count needs N", nullptr},
      {{"--other", "o", "--flag", "f"}, "takes no option", nullptr},  // another mode's option
      {{"--make", "o", "--titl", "x", "f"}, "takes no option", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    if (c.Error) {
      try {
        ParseCliArgs(c.Args, TestModes);
        ADD_FAILURE() << "parsed";
      } catch (const ECliUsage& e) {
        EXPECT_NE(std::string(e.what()).find(c.Error), std::string::npos) << e.what();
      }
    } else {
      const TCliArgs a = ParseCliArgs(c.Args, TestModes);
      EXPECT_EQ(a.Mode, &TestModes[c.Args[0] == "--make" ? 0 : 1]);
      EXPECT_EQ(a.Target, "o");
      EXPECT_EQ(a.File, c.File);
    }
  }
}

TEST(CommandLine, KeepsEveryValueOfARepeatedOptionAndChecksNumbers) {
  const TCliArgs a = ParseCliArgs(
      {"--make", "o", "--attr", "x", "--count", "7", "--attr", "", "--count", "+9", "f"},
      TestModes);
  EXPECT_EQ(a.Values("--attr"), (std::vector<std::string>{"x", ""}));
  EXPECT_EQ(a.Value("--count"), "+9");
  EXPECT_EQ(a.Int("--count", 0, 1, 9), 9);
  EXPECT_EQ(a.Int("--title", 5, 1, 9), 5);
  EXPECT_FALSE(a.Has("--flag"));
  EXPECT_THROW(a.Int("--count", 0, 1, 8), ECliUsage);
  for (const char* bad : {"", "x", "1x", "0x1", "99999999999", " 1"}) {
    const TCliArgs b = ParseCliArgs({"--make", "o", "--count", bad, "f"}, TestModes);
    EXPECT_THROW(b.Int("--count", 0, INT32_MIN, INT32_MAX), ECliUsage) << bad;
  }
}

TEST(CommandLine, LoadsTheFileAsTheWindowDoesAndAppliesTheSharedOptions) {
  test::TempDir dir;
  const std::string file = (dir / "掲示板.v2.pl").string();
  test::WriteFileBytes(file, "# \xc6\xfc\xcb\xdc\nmy $x = 1;\n");  // EUC-JP
  TCliJob job(ParseCliArgs({"--make", "o", "--font", "IPAゴシック:12", "--attr",
                            "reserved word:#102030::bu", "--attr", "Comment::#FFfe00:", file},
                           TestModes));
  EXPECT_EQ(job.Page().Eder->Lines()->Get(0), "# \x93\xfa\x96\x7b");
  EXPECT_EQ(job.Title(), Utf8ToSjis("掲示板.v2"));
  ASSERT_NE(job.Page().Highlighter, nullptr);
  EXPECT_EQ(job.Page().Eder->GetHighlighter(), job.Page().Highlighter);
  TRidHighlighterAttributes* kw = nullptr;
  TRidHighlighterAttributes* comment = nullptr;
  for (int32_t i = 0; i < job.Page().Highlighter->GetAttribCount(); ++i) {
    auto* a = job.Page().Highlighter->GetAttribute(i);
    if (a->GetName() == "Reserved Word") kw = a;
    if (a->GetName() == "Comment") comment = a;
  }
  ASSERT_TRUE(kw && comment);
  EXPECT_EQ(kw->GetForeground(), 0x302010);
  EXPECT_EQ(kw->GetBackground(), clNone);
  EXPECT_EQ(kw->GetStyle(), (TFontStyles{fsBold, fsUnderline}));
  EXPECT_EQ(comment->GetForeground(), clNone);
  EXPECT_EQ(comment->GetBackground(), 0x00FEFF);
  EXPECT_TRUE(comment->GetStyle().Empty());
  TFont font;
  job.ApplyFont(font);
  EXPECT_EQ(font.GetName(), Utf8ToSjis("IPAゴシック"));
  EXPECT_EQ(font.GetSize(), 12);

  TCliJob titled(ParseCliArgs({"--make", "o", "--title", "表ソ", file}, TestModes));
  EXPECT_EQ(titled.Title(), "\x95\x5c\x83\x5c");
  TFont unchanged;
  unchanged.SetName("X");
  titled.ApplyFont(unchanged);
  EXPECT_EQ(unchanged.GetName(), "X");
}

TEST(CommandLine, RejectsBadSharedOptionsAndNamesAnUnreadableFile) {
  test::TempDir dir;
  const std::string perl = (dir / "a.pl").string();
  const std::string text = (dir / "a.txt").string();
  test::WriteFileBytes(perl, "1;\n");
  test::WriteFileBytes(text, "1;\n");
  const std::vector<std::vector<std::string>> usage = {
      {"--font", "IPAGothic", perl},
      {"--font", ":10", perl},
      {"--font", "X:0", perl},
      {"--font", "X:ten", perl},
      {"--attr", "Comment:#12345:", perl},
      {"--attr", "Comment:red::", perl},
      {"--attr", "Comment:::x", perl},
      {"--attr", "Nothing:::", perl},
      {"--attr", "Comment::", perl},
      {"--attr", "Variable:::", text},  // Perl has one, General not
  };
  for (auto args : usage) {
    args.insert(args.begin(), {"--make", "o"});
    SCOPED_TRACE(::testing::PrintToString(args));
    EXPECT_THROW(TCliJob(ParseCliArgs(args, TestModes)), ECliUsage);
  }
  const std::string missing = (dir / "missing.pl").string();
  try {
    TCliJob job(ParseCliArgs({"--make", "o", missing}, TestModes));
    ADD_FAILURE() << "loaded";
  } catch (const ECliUsage&) {
    ADD_FAILURE() << "a read error is no usage error";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
}

TEST(CommandLine, ProgramExitsWithTwoOnAUsageErrorAndPrintsTheModes) {
  int code = -1;
  test::RunTool(Rideder() + " --no-such-mode o f 2>&1", {}, &code);
  EXPECT_EQ(code, 2);
  const std::string usage = test::RunTool(Rideder() + " --help", {}, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(usage, CliUsage(CliModes()));
  for (const TCliMode& m : CliModes()) {
    EXPECT_NE(usage.find(std::string(m.Name) + " " + std::string(m.Target)), std::string::npos);
  }
  EXPECT_NE(usage.find("[--title TEXT]"), std::string::npos);
}

// --- What the modes read and write

// A mode that writes a file, and how its output begins.
struct TFileMode {
  const char* Mode;
  std::string Magic;
};
const TFileMode kFileModes[] = {{"--print-pdf", "%PDF-"},
                                {"--preview-png", "\x89PNG"},
                                {"--export-rtf", "{\\rtf1"},
                                {"--export-html", "<?xml"}};

struct TProgramRun {
  int Code = -1;
  std::string Out, Err;
};

// Runs rideder with Args (quoted each), as nobody when AsNobody, stopped (exit 124) should it
// hang.
TProgramRun RunRideder(const std::vector<std::string>& Args, bool AsNobody = false) {
  test::TempDir dir;
  std::string cmd = "timeout " + std::to_string(test::kWaitSeconds) + " " +
                    (AsNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups -- " : "") +
                    Rideder();
  for (const std::string& a : Args) cmd += " '" + a + "'";
  TProgramRun r;
  cmd += " > '" + (dir / "out").string() + "' 2> '" + (dir / "err").string() + "'";
  test::RunTool(cmd, {}, &r.Code);
  r.Out = test::ReadFileBytes(dir / "out");
  r.Err = test::ReadFileBytes(dir / "err");
  return r;
}

// What a path is, and its bytes when it is a regular file: a refused output leaves it so.
std::string Snapshot(const std::filesystem::path& Path) {
  struct stat st {};
  if (::lstat(Path.c_str(), &st) != 0) return "missing";
  std::string s = std::to_string(st.st_mode) + " " + std::to_string(st.st_ino);
  if (S_ISREG(st.st_mode)) s += " " + test::ReadFileBytes(Path);
  return s;
}

// Names in a folder that start with ".": temporary files left behind.
std::vector<std::string> HiddenFiles(const std::filesystem::path& Folder) {
  std::vector<std::string> hidden;
  for (const auto& e : std::filesystem::directory_iterator(Folder))
    if (e.path().filename().string().starts_with(".")) hidden.push_back(e.path().string());
  return hidden;
}

const std::string kInput = "my $x = 1;\nprint \"$x\\n\";\n";

TEST(CommandLineFiles, AnOutputIsWrittenWhereItMayBeAndOtherwiseLeftAsItWas) {
  enum TOutcome { kRefused, kWritten, kWrittenThroughTheLink, kWrittenInPlace, kToStandardOutput };
  struct TCase {
    const char* Kind;
    int Code;
    const char* Says;  // in the message
    TOutcome Outcome;
  };
  const TCase cases[] = {
      {"device", 1, "It is a device, not a regular file", kRefused},
      {"fifo", 1, "It is a pipe (FIFO), not a regular file", kRefused},
      {"folder", 1, "It is a folder, not a regular file", kRefused},
      {"read-only", 1, "The file is read-only", kRefused},
      {"input", 2, "would replace FILE", kRefused},
      {"link to the input", 2, "would replace FILE", kRefused},
      {"missing folder", 1, "No such file or directory", kRefused},
      {"loop of links", 1, "Too many levels of symbolic links", kRefused},
      {"long name", 0, "", kWritten},
      {"hard link", 0, "", kWrittenInPlace},
      {"link", 0, "", kWrittenThroughTheLink},
      {"dangling link", 0, "", kWrittenThroughTheLink},
      {"-", 0, "", kToStandardOutput},
      {"nobody's file with a capability, by nobody", 0,
       "\": its file capabilities were dropped: only root can give them\n", kWritten},
  };
  RID_NEED_TOOL("setcap", "libcap2-bin");
  RID_NEED_TOOL("setpriv", "util-linux");
  for (const TFileMode& m : kFileModes) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(m.Mode) + " to " + c.Kind);
      test::TempDir dir;
      const auto input = dir / "in.pl";
      test::WriteFileBytes(input, kInput);
      auto out = dir / "out";
      const std::string kind = c.Kind;
      if (kind == "device") test::MakeNullDevice(out);
      if (kind == "fifo") {
        ASSERT_EQ(::mkfifo(out.c_str(), 0644), 0);
      }
      if (kind == "folder") std::filesystem::create_directory(out);
      if (kind == "read-only") {
        test::WriteFileBytes(out, "older");
        ::chmod(out.c_str(), 0444);
      }
      if (kind == "input") out = input;
      if (kind == "link to the input") std::filesystem::create_symlink("in.pl", out);
      if (kind == "missing folder") out = dir / "no" / "out";
      if (kind == "loop of links") {
        std::filesystem::create_symlink("out2", out);
        std::filesystem::create_symlink("out", dir / "out2");
      }
      if (kind == "long name") out = dir / (std::string(250, 'o') + ".out");
      if (kind == "hard link") {
        test::WriteFileBytes(out, "older");
        std::filesystem::create_hard_link(out, dir / "partner");
      }
      bool owned = false;  // by another user, where we may give it away
      if (kind == "link") {
        test::WriteFileBytes(dir / "real", "older");
        ::chmod((dir / "real").c_str(), 0640);
        owned = ::chown((dir / "real").c_str(), 65534, 65534) == 0;
      }
      if (kind == "link" || kind == "dangling link") std::filesystem::create_symlink("real", out);
      if (kind == "-") out = "-";
      const bool byNobody = kind.ends_with("by nobody");
      if (byNobody) {  // which only root may give, and writing clears
        test::WriteFileBytes(out, "older");
        ASSERT_EQ(::chown(out.c_str(), test::kNobody, test::kNobody), 0);
        ::chmod(out.c_str(), 0755);
        ::chmod(dir.Path().c_str(), 0755);
        test::RunTool("setcap cap_net_raw=ep " + test::ShellQuoted(out.string()));
      }
      const std::string outBefore = Snapshot(out), inputBefore = Snapshot(input);

      const TProgramRun r = RunRideder({m.Mode, out.string(), input.string()}, byNobody);
      EXPECT_EQ(r.Code, c.Code) << r.Err;
      EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
      EXPECT_EQ(Snapshot(input), inputBefore);
      switch (c.Outcome) {
        case kRefused:
          EXPECT_NE(r.Err.find(out.string()), std::string::npos) << r.Err;
          EXPECT_EQ(Snapshot(out), outBefore);
          if (kind == "loop of links") {
            EXPECT_TRUE(std::filesystem::is_symlink(dir / "out2"));
          }
          break;
        case kWritten:
          EXPECT_TRUE(test::ReadFileBytes(out).starts_with(m.Magic));
          break;
        case kWrittenInPlace:
          EXPECT_TRUE(test::ReadFileBytes(dir / "partner").starts_with(m.Magic));
          EXPECT_EQ(std::filesystem::hard_link_count(out), 2u);
          break;
        case kWrittenThroughTheLink: {
          EXPECT_TRUE(std::filesystem::is_symlink(out));
          EXPECT_TRUE(test::ReadFileBytes(dir / "real").starts_with(m.Magic));
          struct stat st {};
          ::stat((dir / "real").c_str(), &st);
          if (kind == "link") {
            EXPECT_EQ(st.st_mode & 07777, 0640u);
          }
          if (owned) {
            EXPECT_EQ(st.st_uid, 65534u);
          }
          break;
        }
        case kToStandardOutput:
          EXPECT_TRUE(r.Out.starts_with(m.Magic)) << r.Out.substr(0, 40);
          if (std::string(m.Mode) != "--export-rtf" && std::string(m.Mode) != "--export-html") {
            EXPECT_NE(r.Err.find("pages="), std::string::npos) << r.Err;  // the report moves
          }
          break;
      }
      EXPECT_EQ(HiddenFiles(dir.Path()), std::vector<std::string>{});
    }
  }
}

TEST(CommandLineFiles, OnlyARegularFileIsReadInEveryMode) {
  struct TCase {
    const char* Kind;
    int Code;  // for a mode that writes a file
    const char* Says;
  };
  const TCase cases[] = {
      {"link", 0, ""},
      {"read-only", 0, ""},
      {"device", 1, "It is a device, not a regular file"},
      {"fifo", 1, "It is a pipe (FIFO), not a regular file"},
      {"folder", 1, "It is a folder, not a regular file"},
      {"dangling link", 1, "No such file or directory"},
      {"-", 2, "standard input"},
  };
  std::vector<TFileMode> modes(std::begin(kFileModes), std::end(kFileModes));
  modes.push_back({"--print", ""});  // to a queue that is not there
  for (const TFileMode& m : modes) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(m.Mode) + " from " + c.Kind);
      test::TempDir dir;
      test::WriteFileBytes(dir / "real.pl", kInput);
      auto input = dir / "in.pl";
      const std::string kind = c.Kind;
      if (kind == "link") std::filesystem::create_symlink("real.pl", input);
      if (kind == "read-only") {
        test::WriteFileBytes(input, kInput);
        ::chmod(input.c_str(), 0444);
      }
      if (kind == "device") input = "/dev/zero";  // read without end, were it read
      if (kind == "fifo") {
        ASSERT_EQ(::mkfifo(input.c_str(), 0644), 0);  // no writer: would wait
      }
      if (kind == "folder") std::filesystem::create_directory(input);
      if (kind == "dangling link") std::filesystem::create_symlink("missing.pl", input);
      if (kind == "-") input = "-";
      const bool queue = std::string(m.Mode) == "--print";
      const std::string target = queue ? "no-such-queue" : (dir / "out").string();

      const TProgramRun r = RunRideder({m.Mode, target, input.string()});
      if (queue && c.Code == 0) {
        EXPECT_EQ(r.Code, 1) << r.Err;
        EXPECT_NE(r.Err.find("Cannot print on \"no-such-queue\": "), std::string::npos) << r.Err;
      } else {
        EXPECT_EQ(r.Code, c.Code) << r.Err;
        EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
        if (c.Code != 0 && kind != "-") {
          const size_t at = r.Err.find(input.string());
          EXPECT_NE(at, std::string::npos) << r.Err;
          EXPECT_EQ(r.Err.find(input.string(), at + 1), std::string::npos)
              << "named twice: " << r.Err;
        }
      }
      if (!queue) {
        EXPECT_EQ(test::ReadFileBytes(dir / "out").starts_with(m.Magic) && !m.Magic.empty(),
                  c.Code == 0);
      }
    }
  }
}

// Starts rideder with Args, its output and messages thrown away; returns its process id.
pid_t StartRideder(const std::vector<std::string>& Args) {
  std::vector<std::string> all = {Rideder()};
  all.insert(all.end(), Args.begin(), Args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits up to Seconds (a safety net) for an event that Wanted takes in the folder that Inotify
// watches; true when one came.
bool AwaitFolderEvent(int Inotify, const std::function<bool(const inotify_event&)>& Wanted,
                      int Seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  alignas(inotify_event) char buffer[4096];
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{Inotify, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = ::read(Inotify, buffer, sizeof buffer);
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      if (e->len > 0 && Wanted(*e)) return true;
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  return false;
}

TEST(CommandLineFiles, AnInterruptedExportOrPrintLeavesNoTemporaryFileAndTheOlderOutput) {
  // 10 MB of Perl make 90 MB of HTML, written long after the temporary file appears; 6 MB on
  // one line print for seconds.
  std::string perl, line;
  for (int i = 0; perl.size() < 10'000'000; ++i)
    perl += "my $v" + std::to_string(i) + " = \"text\"; # <b>&\n";
  while (line.size() < 6'000'000) line += "print $x, \"abc\"; ";
  struct TCase {
    const char* Mode;
    const std::string* Text;
    int Signal;
    bool AtTemporaryFile;  // else while it prints
  };
  const TCase cases[] = {
      {"--export-html", &perl, SIGINT, true},
      {"--export-rtf", &perl, SIGTERM, true},
      {"--print-pdf", &line, SIGTERM, true},
      {"--print-pdf", &line, SIGINT, false},
  };
  // At its temporary file: one was made. While it prints: it has read its input and written
  // nothing yet.
  const auto hidden = [](const inotify_event& E) {
    return (E.mask & IN_CREATE) != 0 && E.name[0] == '.';
  };
  const auto inputRead = [](const inotify_event& E) {
    return (E.mask & IN_CLOSE_NOWRITE) != 0 && std::string(E.name) == "in.pl";
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Mode) + (c.AtTemporaryFile ? " at its temporary file" : ""));
    test::TempDir dir;
    const auto input = dir / "in.pl", out = dir / "out";
    test::WriteFileBytes(input, *c.Text);
    // Caught at that moment: stopped there (and seen stopped), then signalled.
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
      test::WriteFileBytes(out, "older");  // a run that was not caught may have replaced it
      const int inotify = ::inotify_init1(IN_CLOEXEC);
      ASSERT_GE(inotify_add_watch(inotify, dir.Path().c_str(), IN_CREATE | IN_CLOSE_NOWRITE), 0);
      const pid_t pid = StartRideder({c.Mode, out.string(), input.string()});
      ASSERT_GT(pid, 0);
      const bool reached =
          AwaitFolderEvent(inotify, c.AtTemporaryFile ? hidden : inputRead, test::kWaitSeconds);
      ::close(inotify);
      int status = 0;
      if (!test::PauseChild(pid, &status)) continue;  // it was done before it could be stopped
      const bool written = !HiddenFiles(dir.Path()).empty();
      caught = reached &&
               (c.AtTemporaryFile ? written : !written && test::ReadFileBytes(out) == "older");
      ::kill(pid, c.Signal);
      ::kill(pid, SIGCONT);
      ::waitpid(pid, &status, 0);
      if (!caught) continue;  // stopped before or after the moment: once more
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.Signal) << status;
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(HiddenFiles(dir.Path()), std::vector<std::string>{});
    EXPECT_EQ(test::ReadFileBytes(out), "older");
  }
}

TEST(CommandLineFiles, ALineLongerThanTheEditorTakesIsRefusedNamingTheFile) {
  test::TempDir dir;
  const std::string file = (dir / "one-line.txt").string();
  test::WriteSparseFile(file, "a", static_cast<uintmax_t>(kMaxLineLength) + 1);
  const TProgramRun r = RunRideder({"--print-pdf", (dir / "out.pdf").string(), file});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Err, "rideder: cannot read " + file + ": Line 1 is " +
                       std::to_string(kMaxLineLength + int64_t{1}) +
                       " bytes long; a line may have at most " + std::to_string(kMaxLineLength) +
                       " bytes\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf"));
}

}  // namespace
}  // namespace rid
