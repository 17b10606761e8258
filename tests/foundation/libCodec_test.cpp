#include "foundation/libCodec.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/TestSupport.h"

namespace rid {
namespace {

using test::ReadFileBytes;
using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

// Random bytes of every length 0-300, written once for the oracle runs.
std::vector<std::string> RandomInputs() {
  std::mt19937 rng(932);
  std::vector<std::string> inputs;
  for (size_t len = 0; len <= 300; ++len) {
    std::string s(len, '\0');
    for (auto& c : s) c = char(rng());
    inputs.push_back(s);
  }
  return inputs;
}

std::string Lines(std::string_view Text, size_t Width, std::string_view LineEnd) {
  std::string out;
  for (size_t i = 0; i < Text.size(); i += Width) {
    out += Text.substr(i, Width);
    out += LineEnd;
  }
  return out;
}

// Runs Command (with $f the input file) once per input in a single shell loop and returns the
// output file of each.
std::vector<std::string> RunOracle(const std::vector<std::string>& Inputs,
                                   const std::string& Command) {
  TempDir dir;
  for (size_t i = 0; i < Inputs.size(); ++i)
    WriteFileBytes(dir / (std::to_string(i) + ".bin"), Inputs[i]);
  int rc = -1;
  RunTool("cd '" + dir.Path().string() + "' && for f in *.bin; do " + Command +
              " > \"$f.out\" || exit 1; done",
          {}, &rc);
  EXPECT_EQ(rc, 0);
  std::vector<std::string> out;
  for (size_t i = 0; i < Inputs.size(); ++i)
    out.push_back(ReadFileBytes(dir / (std::to_string(i) + ".bin.out")));
  return out;
}

TEST(Base64, EncodesGivenExamples) {
  EXPECT_EQ(Base64Encode("abc"), "YWJj");
  EXPECT_EQ(Base64Encode("a"), "YQ==");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("\x82\xa0"), "gqA=");  // Shift-JIS bytes as they are
}

TEST(Base64, MatchesCoreutilsAndDecodesItsLines) {
  RID_NEED_TOOL("base64", "coreutils");
  auto inputs = RandomInputs();
  auto flat = RunOracle(inputs, "base64 -w0 \"$f\"");
  auto wrapped = RunOracle(inputs, "base64 -w76 \"$f\"");
  for (size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(i);
    std::string enc = Base64Encode(inputs[i]);
    ASSERT_EQ(enc, flat[i]);
    ASSERT_EQ(Lines(enc, 76, "\n"), wrapped[i]);
    ASSERT_EQ(Base64Decode(enc), inputs[i]);
    ASSERT_EQ(Base64Decode(wrapped[i]), inputs[i]);
    ASSERT_EQ(Base64Decode(Lines(enc, 76, "\r\n")), inputs[i]);
  }
}

TEST(Base64, SkipsLineBreaksAnywhere) {
  EXPECT_EQ(Base64Decode("Y\r\nW\nJ\rj\r\n"), "abc");
  EXPECT_EQ(Base64Decode("YW\r\nI="), "ab");
  EXPECT_EQ(Base64Decode("YQ=\n="), "a");
  EXPECT_EQ(Base64Decode("\r\n"), "");
}

TEST(Base64, DecodesExactlyTheBytesOfPaddedGroups) {
  EXPECT_EQ(Base64Decode("YQ==YWI="), "aab");  // concatenated bodies
  EXPECT_EQ(Base64Decode("YQ==").size(), 1u);
}

TEST(Base64, RejectsWhatIsNotBase64) {
  for (const char* bad : {"YWJj ", "YW\tJj", "YWJ", "Y", "YWJjY", "YW*j", "=YWJ", "Y===", "YQ=a",
                          "YQ==a", "YW\x82\xa0"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(Base64Decode(bad), ECodecError);
  }
  try {
    Base64Decode("YWJj YWJj");
    FAIL();
  } catch (const ECodecError& e) {
    EXPECT_NE(std::string(e.what()).find("position 5"), std::string::npos) << e.what();
  }
}

TEST(UUEncode, MatchesGnuUuencode) {
  RID_NEED_TOOL("uuencode", "sharutils");
  auto inputs = RandomInputs();
  auto gnu = RunOracle(inputs, "uuencode \"$f\" x");
  for (size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(i);
    // The body between "begin 644 x\n" and "end\n".
    std::string g = gnu[i];
    ASSERT_TRUE(g.starts_with("begin ") && g.ends_with("\nend\n")) << g;
    std::string body = g.substr(g.find('\n') + 1);
    body.resize(body.size() - 4);
    std::string enc = UUEncode(inputs[i], "\n");
    ASSERT_EQ(enc, body);
    ASSERT_EQ(UUDecode(enc), inputs[i]);
    ASSERT_EQ(UUDecode(g), inputs[i]);  // with its begin and end lines
    ASSERT_EQ(UUDecode(UUEncode(inputs[i], "\r\n")), inputs[i]);
  }
}

TEST(UUEncode, WritesLengthLinesAndTail) {
  std::string full = UUEncode(std::string(45, 'x'), "\r\n");
  EXPECT_EQ(full.size(), 1u + 60 + 2 + 1 + 2);
  EXPECT_EQ(full[0], 'M');
  EXPECT_EQ(full.substr(61), "\r\n`\r\n");
  EXPECT_EQ(UUEncode(std::string(1, '\0'), "\n"), "!````\n`\n");
  EXPECT_EQ(UUEncode("a", "\n"), "!80``\n`\n");
  std::string two = UUEncode(std::string(46, 'x'), "\n");
  EXPECT_EQ(two.substr(61), "\n!>```\n`\n");
}

TEST(UUDecode, HoldsExactlyTheDecodedBytes) {
  // 45 bytes: the "`" line adds nothing.
  EXPECT_EQ(UUDecode(UUEncode(std::string(45, '\0'), "\n")), std::string(45, '\0'));
  EXPECT_EQ(UUDecode(UUEncode(std::string(90, 'q'), "\r\n")), std::string(90, 'q'));
  EXPECT_EQ(UUDecode("begin 644 name\n!80``\n`\nend\nrubbish"), "a");
  EXPECT_EQ(UUDecode("!80  \n \n"), "a");  // blanks as zeros, old style
  EXPECT_EQ(UUDecode(""), "");
}

TEST(UUDecode, RejectsBadLines) {
  for (const char* bad :
       {"%80``\n", "!80`\n", "!8\x82``\n", "!80``\nbegin 644 x\n", "!80`b\n", "!\t0``\n"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(UUDecode(bad), ECodecError);
  }
}

TEST(BinHex, EncodesShortTextsAndLineBreaks) {
  EXPECT_EQ(BinHexEncode("", "\r\n"), "::");
  EXPECT_EQ(BinHexEncode(std::string(1, '\0'), "\n"), ":!!:");
  EXPECT_EQ(BinHexEncode(std::string(3, '\0'), "\n"), ":!!!!:");
  EXPECT_EQ(BinHexEncode("\xff\xff\xff", "\n"), ":rrrr:");

  std::string long_text = BinHexEncode(std::string(300, 'z'), "\r\n");
  // ':' and 63 characters, then lines of 64 characters, each break between the third and
  // fourth character of a group.
  size_t first = long_text.find("\r\n");
  EXPECT_EQ(first, 64u);
  size_t second = long_text.find("\r\n", first + 2);
  EXPECT_EQ(second - (first + 2), 64u);
  std::string digits;
  for (char c : long_text)
    if (c != '\r' && c != '\n' && c != ':') digits += c;
  EXPECT_EQ(digits.size(), 400u);
  EXPECT_EQ(long_text.back(), ':');
}

TEST(BinHex, FinalPairMayBreakTheLineBeforeTheColon) {
  // 15 groups and a pair fill the first line exactly to 64 characters.
  std::string t = BinHexEncode(std::string(47, 'a'), "\n");
  EXPECT_EQ(t.size(), 64u + 1 + 1);
  EXPECT_EQ(t.substr(64), "\n:");
  EXPECT_EQ(BinHexDecode(t), std::string(47, 'a'));
}

TEST(BinHex, RoundTripsEveryLengthWithEitherLineEnd) {
  for (const auto& s : RandomInputs()) {
    ASSERT_EQ(BinHexDecode(BinHexEncode(s, "\r\n")), s);
    ASSERT_EQ(BinHexDecode(BinHexEncode(s, "\n")), s);
    ASSERT_EQ(BinHexDecode(BinHexEncode(s, "\r")), s);
  }
}

TEST(BinHex, SkipsLineBreaksAnywhereAndToleratesMissingClose) {
  std::string enc = BinHexEncode("Shift\x82\xa0JIS", "\n");
  std::string scattered;
  for (char c : enc) (scattered += c) += "\r\n";
  EXPECT_EQ(BinHexDecode("\r\n" + scattered), "Shift\x82\xa0JIS");
  EXPECT_EQ(BinHexDecode(enc.substr(0, enc.size() - 1)), "Shift\x82\xa0JIS");
  EXPECT_EQ(BinHexDecode(enc + "trailing text"), "Shift\x82\xa0JIS");
}

TEST(BinHex, RejectsWhatIsNotBinHex) {
  // Outside the table ('s', '~', 0x80, blank), characters missing from the set ('7', 'O', 'g'),
  // a missing opening colon and a lone final character.
  for (const char* bad : {":!!s:", ":!!~:", ":!!\x80:", ":!! :", ":!7:", ":O!:", ":g!:", "!!!!", "",
                          ":!!!!!:", "\x01"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(BinHexDecode(bad), ECodecError);
  }
}

}  // namespace
}  // namespace rid
