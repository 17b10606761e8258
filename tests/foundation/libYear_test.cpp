#include "foundation/libYear.h"

#include <gtest/gtest.h>

#include "tests/TestSupport.h"

namespace rid {
namespace {

using test::TempDir;
using test::WriteFileBytes;

#define HEISEI "\x95\xbd\x90\xac"
#define REIWA "\x97\xdf\x98\x61"

// Sets the clock for one test and puts the real one back.
class FixedClock {
 public:
  explicit FixedClock(TDateTime T) {
    SetClock([T] { return T; });
  }
  ~FixedClock() { SetClock(nullptr); }
};

TEST(Dates, FormatsAndParsesFixedTexts) {
  EXPECT_EQ(DateToYmdStr(EncodeDate(2009, 1, 5)), "2009/01/05");
  EXPECT_EQ(DateStrToInt("2009/01/05"), 20090105);
  EXPECT_EQ(DateToYmdStr(EncodeDate(9999, 12, 31) + 0.75), "9999/12/31");
  EXPECT_EQ(DateToYmdStr(EncodeDate(1, 2, 3)), "0001/02/03");
  EXPECT_EQ(DateToYmdStr(EncodeDate(1899, 12, 30)), "1899/12/30");
  EXPECT_EQ(DateToYmdStr(EncodeDate(1899, 12, 29) - 0.5), "1899/12/29");
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(TimeStrToInt("23:59"), 2359);
  EXPECT_EQ(TimeStrToInt("00:05"), 5);
  EXPECT_EQ(DateStrToInt(""), 0);
  EXPECT_EQ(TimeStrToInt(""), 0);
  EXPECT_EQ(DateStrToInt("2009"), 2009);  // a short text gives short fields
  for (const char* bad : {"2009/1/5", "abcd/01/05", "2009/+1/05"})
    EXPECT_THROW(DateStrToInt(bad), EConvertError) << bad;
  EXPECT_THROW(TimeStrToInt("9:05"), EConvertError);

  TDateTime d = 0;
  EXPECT_TRUE(YmdStrToDate("2024/02/29", d));
  EXPECT_EQ(DateToYmdStr(d), "2024/02/29");
  EXPECT_THROW(YmdStrToDate("2023/02/29", d), EConvertError);
  EXPECT_THROW(YmdStrToDate("2023-02-2x", d), EConvertError);
  EXPECT_THROW(YmdStrToDate("", d), EConvertError);
}

TEST(Dates, CalendarMatchesItsOwnEncodingOverFourCenturies) {
  TDateTime expected = EncodeDate(1800, 1, 1);
  for (int32_t y = 1800; y < 2200; ++y)
    for (int32_t m = 1; m <= 12; ++m)
      for (int32_t day = 1; day <= MonthDays[IsLeapYear(y)][m - 1]; ++day) {
        int32_t yy, mm, dd;
        ASSERT_EQ(EncodeDate(y, m, day), expected);
        DecodeDate(expected, yy, mm, dd);
        ASSERT_EQ((std::array{yy, mm, dd}), (std::array{y, m, day}));
        expected += 1;
      }
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
}

TEST(Dates, ReadTheInjectedClock) {
  FixedClock clock(EncodeDate(2009, 1, 5) + EncodeTime(9, 5, 3, 999));
  EXPECT_EQ(GetTimeStr(true), "09:05:03");
  EXPECT_EQ(GetTimeStr(false), "09:05");
  EXPECT_EQ(GetDateStr(), "2009/01/05");
  {
    FixedClock late(EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 999));
    EXPECT_EQ(GetDateStr(), "1999/12/31");
    EXPECT_EQ(GetTimeStr(true), "23:59:59");
  }
}

TEST(Dates, RealClockGivesTodayAsTheSystemSeesIt) {
  RID_NEED_TOOL("date", "coreutils");
  std::string before = test::RunTool("date +%Y/%m/%d");
  std::string ours = GetDateStr();
  std::string after = test::RunTool("date +%Y/%m/%d");
  EXPECT_TRUE(ours + "\n" == before || ours + "\n" == after) << ours << " " << before;
  EXPECT_EQ(GetTimeStr(true).size(), 8u);
}

TEST(Eras, BuiltInTableEndsHeiseiAndHasReiwa) {
  ResetEraTable();
  EXPECT_EQ(EraLetters(), "MTSHR");
  EXPECT_EQ(EraTable()[3].Name, HEISEI);
  EXPECT_EQ(EraTable()[3].LastDay, "20190430");
  EXPECT_EQ(EraTable()[4].Name, REIWA);
  EXPECT_EQ(EraTable()[4].FirstDay, "20190501");
  EXPECT_EQ(EraTable()[8].Letter, "?");
  EXPECT_EQ(FindEra(20190430), 3);
  EXPECT_EQ(FindEra(20190501), 4);
  EXPECT_EQ(FindEra(19890107), 2);
  EXPECT_EQ(FindEra(18000101), -1);

  // Today, by an injected clock, is Reiwa.
  FixedClock clock(EncodeDate(2026, 12, 6));
  EXPECT_EQ(EraTable()[FindEra(DateStrToInt(GetDateStr()))].Letter, "R");
}

TEST(Eras, LoadsFixedColumnsFromAFile) {
  TempDir dir;
  ResetEraTable();
  LoadEraFile((dir / "missing.txt").string());
  EXPECT_EQ(EraLetters(), "MTSHR");
  LoadEraFile("");
  EXPECT_EQ(EraLetters(), "MTSHR");

  WriteFileBytes(dir / "era.txt", HEISEI " H 19890108 20190430\r\n" REIWA " R 20190501\n");
  LoadEraFile((dir / "era.txt").string());
  EXPECT_EQ(EraTable()[0].Name, HEISEI);
  EXPECT_EQ(EraTable()[0].Letter, "H");
  EXPECT_EQ(EraTable()[0].FirstDay, "19890108");
  EXPECT_EQ(EraTable()[0].LastDay, "20190430");
  EXPECT_EQ(EraTable()[1].Name, REIWA);
  EXPECT_EQ(EraTable()[1].FirstDay, "20190501");
  EXPECT_EQ(EraTable()[1].LastDay, "");  // the line ends before column 17
  for (int i = 2; i < EraCount; ++i) {
    EXPECT_EQ(EraTable()[i].Name, "");
    EXPECT_EQ(EraTable()[i].Letter, "");
  }
  EXPECT_EQ(EraLetters(), "HR");
  EXPECT_EQ(FindEra(20200101), -1);  // Reiwa has no last day here
  EXPECT_EQ(FindEra(20000101), 0);

  // Short lines give short fields; a "?" row gives no letter.
  WriteFileBytes(dir / "short.txt", "AB\nCDEF ?\nGHIJ X 1234\n");
  LoadEraFile((dir / "short.txt").string());
  EXPECT_EQ(EraTable()[0].Name, "AB");
  EXPECT_EQ(EraTable()[0].Letter, "");
  EXPECT_EQ(EraTable()[2].FirstDay, "1234");
  EXPECT_EQ(EraLetters(), "X");
  ResetEraTable();
  EXPECT_EQ(EraLetters(), "MTSHR");
}

}  // namespace
}  // namespace rid
