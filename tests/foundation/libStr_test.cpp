#include "foundation/libStr.h"

#include <gtest/gtest.h>

#include "tests/TestSupport.h"

namespace rid {
namespace {

// メ is 83 81, so "メ@" holds the bytes 81 40 across a character boundary.
const std::string kMeAt = "\x83\x81\x40";
const std::string kIdeoSpace = "\x81\x40";
const std::string kHyo = "\x95\x5C";  // 表, trail byte '\'
const std::string kSo = "\x83\x5C";   // ソ, trail byte '\'

TEST(LibStr, TrimAllStripsBothKindsOfSpaceAtBothEnds) {
  EXPECT_EQ(TrimAll(" " + kIdeoSpace + " a b" + kIdeoSpace + "  "), "a b");
  EXPECT_EQ(TrimAll("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimAll(kIdeoSpace + " "), "");
  EXPECT_EQ(TrimAll(""), "");
}

TEST(LibStr, TrimAllKeepsSpaceBytesInsideADoubleByteCharacter) {
  EXPECT_EQ(TrimAll(kMeAt), kMeAt);
  EXPECT_EQ(TrimAll(kMeAt + kIdeoSpace), kMeAt);
  EXPECT_EQ(TrimAll(" " + kMeAt + " "), kMeAt);
  // A trail byte 0x20 cannot occur, but a lone lead byte at the end stays.
  EXPECT_EQ(TrimAll("a\x81"), "a\x81");
}

TEST(LibStr, RemoveSpacesDeletesOnlyWholeSpaces) {
  EXPECT_EQ(RemoveSpaces("\t a b" + kIdeoSpace + "c \r\n"), "abc");
  EXPECT_EQ(RemoveSpaces(kMeAt + " x"), kMeAt + "x");
}

TEST(LibStr, ReplaceAllMatchesOnlyOnCharacterBoundaries) {
  EXPECT_EQ(ReplaceAll(kHyo + "\\" + kSo + "\\", "\\", "/"), kHyo + "/" + kSo + "/");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("a.b.c", ".", ""), "abc");
  // A double-byte pattern after a character whose trail byte equals the pattern's lead.
  EXPECT_EQ(ReplaceAll("\x81\x81\x40", kIdeoSpace, " "), "\x81\x81\x40");
  std::string s = kSo + "\\" + kHyo;
  RemoveChar(s, "\\");
  EXPECT_EQ(s, kSo + kHyo);
}

TEST(LibStr, WidthConversionFollowsTheTable) {
  EXPECT_EQ(ToFullWidth("-:"), "\x81\x7C\x81\x46");
  EXPECT_EQ(ToHalfWidth("\x81\x7C\x81\x5B\x81\x45\x81\x42\x81\x41"), "--\xA5.,");
  // Pairs that straddle two table entries stay: モ 83 82, 高 8D 82.
  EXPECT_EQ(ToHalfWidth("\x83\x82\x8D\x82"), "\x83\x82\x8D\x82");
  EXPECT_EQ(ToFullWidth(kHyo + "a"), kHyo + "\x82\x81");
  EXPECT_EQ(ToFullWidth(""), "");
  const std::string ascii =
      " #%&@+-*:/();_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  EXPECT_EQ(ToHalfWidth(ToFullWidth(ascii)), ascii);
}

TEST(LibStr, FullWidthFormsAgreeWithNkf) {
  RID_NEED_TOOL("nkf", "nkf");
  const std::string ascii =
      "#%&@+-*:/()_ 0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  EXPECT_EQ(test::RunTool("nkf -S -s -x -Z1", ToFullWidth(ascii)), ascii);
}

TEST(LibStr, CollapseSpacesKeepsOneSpaceOfEachRun) {
  EXPECT_EQ(CollapseSpaces(u"  a \u3000 b\u3000\u3000c  "), "a b c");
  EXPECT_EQ(CollapseSpaces(u" \u3000 "), " " + kIdeoSpace + " ");
  EXPECT_EQ(ReplaceCharW(u" a\u3000b,c ", u",", u"\u3001"),
            "a b\x81\x41"
            "c");
}

TEST(LibStr, SplitAtDropsTheSeparator) {
  std::string head, tail;
  SplitAt("key=value  ", "=", head, tail);
  EXPECT_EQ(head, "key");
  EXPECT_EQ(tail, "value");
  SplitAt("key ", "=", head, tail);
  EXPECT_EQ(head, "key");
  EXPECT_EQ(tail, "");
  SplitAt(kSo + "=x", "\\", head, tail);
  EXPECT_EQ(head, kSo + "=x");
}

TEST(LibStr, SplitToStringsKeepsEmptyPieces) {
  std::vector<std::string> list{"old"};
  SplitToStrings("a,,b", ",", list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "", "b"}));
  SplitToStrings("", ",", list);
  EXPECT_EQ(list, (std::vector<std::string>{""}));
  SplitToStrings(" " + kHyo + "\\" + kSo + " ", "\\", list);
  EXPECT_EQ(list, (std::vector<std::string>{kHyo, kSo}));
  TStringList strings;
  strings.Add("old");
  SplitToStrings("x,y", ",", &strings);
  ASSERT_EQ(strings.GetCount(), 2);
  EXPECT_EQ(strings.Get(1), "y");
  SplitToStrings("a" + kIdeoSpace + "b", kIdeoSpace, list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
}

TEST(LibStr, CountsNeverWrapAround) {
  EXPECT_EQ(Spaces(0), "");
  EXPECT_EQ(Spaces(256).size(), 256u);
  EXPECT_EQ(Spaces(-1), "");
  EXPECT_EQ(RepeatChar("xy", 300).size(), 300u);
  EXPECT_EQ(RepeatChar("", 3), "");
  EXPECT_EQ(RepeatChar(kHyo + "a", 2), kHyo + kHyo);
  EXPECT_EQ(RepeatChar("x", -2), "");
  EXPECT_EQ(RightStr("abc", 5), "abc");
  EXPECT_EQ(LeftStr("abc", 65536 + 1), "abc");
  EXPECT_EQ(RightStr("abc", 65536 + 1), "abc");
  EXPECT_EQ(LeftStr("abc", -1), "");
  EXPECT_EQ(LeftStr("abc", 2), "ab");
  EXPECT_EQ(RightStr("abc", 2), "bc");
  EXPECT_EQ(LeftStrW(u"\u3042bc", 1), u"\u3042");
  EXPECT_EQ(RightStrW(u"ab\u3042", 1), u"\u3042");
}

TEST(LibStr, CharacterTests) {
  EXPECT_TRUE(IsDigitOrChar('5', ""));
  EXPECT_FALSE(IsDigitOrChar('x', ""));
  EXPECT_TRUE(IsDigitOrChar('.', ".,"));
  EXPECT_TRUE(IsSJISLeadByte(uint8_t(0x81)));
  EXPECT_FALSE(IsSJISLeadByte(uint8_t(0xA0)));
  EXPECT_TRUE(IsSJISTrailByte(uint8_t(0x40)));
  EXPECT_FALSE(IsSJISTrailByte(uint8_t(0x7F)));
  char key = '\r';
  KillEnterEsc(key);
  EXPECT_EQ(key, '\0');
  key = 'a';
  KillEnterEsc(key);
  EXPECT_EQ(key, 'a');
}

TEST(LibStr, NumberText) {
  EXPECT_FALSE(IsNumeric("-"));
  EXPECT_TRUE(IsNumeric("-12.5"));
  EXPECT_FALSE(IsNumeric("1e5"));
  EXPECT_TRUE(IsNumeric("1.2.3"));
  EXPECT_FALSE(IsNumeric("--1"));
  EXPECT_EQ(NormalizeNumber(" -.5 "), "-0.5");
  EXPECT_EQ(NormalizeNumber("+"), "0");
  EXPECT_EQ(StrToIntEx(kIdeoSpace + "-42 "), -42);
  EXPECT_EQ(StrToIntEx(""), 0);
  EXPECT_EQ(StrToIntEx("$ff"), 255);
  // The plain conversion neither trims nor reads an empty text as 0.
  EXPECT_EQ(StrToInt("-0x10"), -16);
  for (const char* bad : {"", " 1", "1 ", "$", "-"}) EXPECT_THROW(StrToInt(bad), EConvertError);
  EXPECT_DOUBLE_EQ(StrToFloatEx("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(StrToFloatEx("1.5e3"), 1500.0);
  for (const char* bad : {"abc", "1.2.3", "+-5", "2147483648", "1x"})
    EXPECT_THROW(StrToIntEx(bad), EConvertError) << bad;
  for (const char* bad : {"abc", "1.2.3", "inf", "nan", "0x10", "1e"})
    EXPECT_THROW(StrToFloatEx(bad), EConvertError) << bad;
}

TEST(LibStr, FormatMoneyGroupsThousands) {
  EXPECT_EQ(FormatMoney("1234567.89", 0), "1,234,567.89");
  EXPECT_EQ(FormatMoney("-0.5", 0), "-0.5");
  EXPECT_EQ(FormatMoney("-1234", 8), "  -1,234");
  EXPECT_EQ(FormatMoney("abc", 5), "abc");
  EXPECT_EQ(FormatMoney("-1234", 4), ",234");
  EXPECT_EQ(FormatMoney("0012", 0), "12");
  EXPECT_EQ(FormatMoney(".5", 0), "0.5");
  EXPECT_EQ(FormatMoney("123", 0), "123");
  EXPECT_EQ(FormatMoney("1", 50), std::string(49, ' ') + "1");
  // Beyond the range of a 64-bit currency amount.
  EXPECT_EQ(FormatMoney("12345678901234567890", 0), "12,345,678,901,234,567,890");
  EXPECT_EQ(FormatMoney("-999999999999999999999.5", 0), "-999,999,999,999,999,999,999.5");
  EXPECT_EQ(FloatToMoneyStr(1234567.89, 0), "1,234,567.89");
  EXPECT_EQ(FloatToMoneyStr(-1234, 0), "-1,234");
  EXPECT_EQ(FloatToMoneyStr(1e20, 0), "1E20");
}

TEST(LibStr, MapStrUsesTheLocaleMapping) {
  EXPECT_EQ(MapStr("abc", LCMAP_UPPERCASE), "ABC");
  EXPECT_EQ(MapStr("\xB6\xDE", LCMAP_FULLWIDTH), "\x83\x4B");  // ｶﾞ to ガ
  EXPECT_EQ(MapStr("", LCMAP_UPPERCASE), "");
}

}  // namespace
}  // namespace rid
