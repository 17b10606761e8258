#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "platform/Locale.h"
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

}  // namespace
}  // namespace rid
