#include "foundation/JCode.h"

#include <gtest/gtest.h>

#include "foundation/JConv.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

// A few lines of kanji of the first level (JIS rows 16-46, all assigned) in Shift-JIS.
std::string KanjiText() {
  std::string s;
  for (int j1 = 0x30; j1 <= 0x4E; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) s += JisToSjisChar(uint8_t(j1), uint8_t(j2));
    s += "\r\n";
  }
  return s;
}

TEST(JCode, DetectJCodeFollowsTheByteRules) {
  struct Case {
    std::string text;
    JCodeKind kind;
  } cases[] = {
      {"plain text\r\n", jcAscii},
      {std::string("a\0b", 3), jcBinary},
      {"abc\xFF", jcBinary},
      {std::string(600, 'a') + '\x01', jcBinary},        // past the window, before any decision
      {std::string(600, 'a') + "\x82\xA0\x01", jcSjis},  // decided before it
      {"x\x1B$B\x30\x21\x1B(B", jcJisB},
      {"\x1B$@\x30\x21", jcJisAt},
      {"\x1B(B\x1B$x\x82\xA0", jcSjis},
      {"\x82\xA0\x1B$B", jcSjis},
      {"\xA4\xA2\xF0", jcEuc},
      {"\xA4\xFE", jcEuc},
      {"\xB1\xB2\xB3\xB4", jcEucOrSjis},  // half-width kana or EUC: undecided
      {"\xE0\xE0\xE0\xE0", jcEucOrSjis},
      {"\xB1\x41", jcSjis},
      {"\x8E\xB1", jcEucOrSjis},
      {"\x8E\x41", jcSjis},
      {"\xE0\x41", jcSjis},
      {"\xE0\xFD", jcEuc},
      // Look-ahead after a kana byte and E0-EF.
      {"\xB1\xE0\xC0\x88", jcSjis},
      {"\xB1\xE0\xC0\xFD", jcEuc},
      {"\xB1\xE0\xC0 \x88", jcSjis},        // the space stops the look-ahead unjudged; 0x88 decides
      {"\xB1\xE0\xC0\x1B$B", jcEucOrSjis},  // the stop byte is skipped: the escape is lost
  };
  for (const Case& c : cases)
    EXPECT_EQ(DetectJCode(c.text), c.kind) << testing::PrintToString(c.text);
}

TEST(JCode, NothingPastTheEndDecides) {
  EXPECT_EQ(DetectJCode("abc\xB1"), jcAscii);
  EXPECT_EQ(DetectJCode("abc\x8E"), jcAscii);
  EXPECT_EQ(DetectJCode("\xB1\xB1\xE0"), jcEucOrSjis);
  EXPECT_EQ(DetectJCode("\x1B$"), jcAscii);
  EXPECT_EQ(DetectJCode("\x1B"), jcAscii);
  EXPECT_EQ(DetectJCode(""), jcAscii);
}

TEST(JCode, DetectCharCodeSeesMarksAndUtf8) {
  EXPECT_EQ(DetectCharCode(""), jcBinary);
  EXPECT_EQ(DetectCharCode("\xFF\xFE"), jcUtf16LE);
  EXPECT_EQ(DetectCharCode("\xFE\xFF"
                           "a"),
            jcUtf16BE);
  // The mark alone is an empty UTF-8 file.
  EXPECT_EQ(DetectCharCode("\xEF\xBB\xBF"), jcUtf8Bom);
  EXPECT_EQ(DetectCharCode("\xEF\xBB\xBF"
                           "abc"),
            jcUtf8Bom);
  // あ alone, and at the very end of a text.
  EXPECT_EQ(DetectCharCode("\xE3\x81\x82"), jcUtf8);
  EXPECT_EQ(DetectCharCode("abc\xE3\x81\x82"), jcUtf8);
  // Two-byte sequences, four-byte sequences and a cut sequence are not taken as UTF-8.
  EXPECT_EQ(DetectCharCode("caf\xC3\xA9 \xE3\x81\x82"), DetectJCode("caf\xC3\xA9 \xE3\x81\x82"));
  EXPECT_NE(DetectCharCode("\xF0\x9F\x98\x80 \xE3\x81\x82"), jcUtf8);
  EXPECT_NE(DetectCharCode("\xE3\x81\x82\xE3\x81"), jcUtf8);
  EXPECT_EQ(DetectCharCode("\xE0\x80\x80"), DetectJCode("\xE0\x80\x80"));
  EXPECT_EQ(DetectCharCode("plain"), jcAscii);
}

TEST(JCode, Utf8TestLooksOnlyAtTheWindow) {
  const std::string utf8 = "\xE3\x81\x82";
  // A sequence that starts in the last bytes of the window may end past it.
  EXPECT_EQ(DetectCharCode(std::string(MaxCheck - 1, 'a') + utf8), jcUtf8);
  // One beyond the window is not seen; the rest then reads as Shift-JIS or EUC-JP.
  EXPECT_NE(DetectCharCode(std::string(MaxCheck, 'a') + utf8), jcUtf8);
  // What the window holds decides, even when bad bytes follow it.
  EXPECT_EQ(DetectCharCode(utf8 + std::string(MaxCheck, 'a') + "\x82\xA0"), jcUtf8);
}

TEST(JCodeOracle, AgreesWithNkfGuessOnClearTexts) {
  RID_NEED_TOOL("nkf", "nkf");
  const std::string sjis = KanjiText();
  struct Case {
    std::string text;
    JCodeKind kind;
    std::string guess;
  } cases[] = {
      {"just ascii\n", jcAscii, "ASCII"},
      {sjis, jcSjis, "Shift_JIS"},
      {SjisToEuc(sjis), jcEuc, "EUC-JP"},
      {SjisToJis(sjis), jcJisB, "ISO-2022-JP"},
      {SjisToUtf8(sjis), jcUtf8, "UTF-8"},
      {SjisToUtf8Bom(sjis), jcUtf8Bom, "UTF-8"},
      {ConvertToUtf16LE(sjis), jcUtf16LE, "UTF-16"},
      {ConvertToUtf16BE(sjis), jcUtf16BE, "UTF-16"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectCharCode(c.text), c.kind) << c.guess;
    const std::string guess = test::RunTool("nkf --guess", c.text);
    EXPECT_EQ(guess.substr(0, c.guess.size()), c.guess) << guess;
  }
}

}  // namespace
}  // namespace rid
