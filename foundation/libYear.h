#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Classes.h"

namespace rid {

// Fixed-format date and time texts (YYYY/MM/DD, HH:MM, HH:MM:SS, ASCII digits with zeros) and
// the table of Japanese eras, which an era file can replace.

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

// Raises EConvertError "Invalid argument to date encode" for a day that does not exist
// (years 1-9999).
TDateTime EncodeDate(int32_t Year, int32_t Month, int32_t Day);
TDateTime EncodeTime(int32_t Hour, int32_t Min, int32_t Sec, int32_t MSec);
void DecodeDate(TDateTime Date, int32_t& Year, int32_t& Month, int32_t& Day);
void DecodeTime(TDateTime Time, int32_t& Hour, int32_t& Min, int32_t& Sec, int32_t& MSec);
bool IsLeapYear(int32_t Year);

// The clock that GetDateStr and GetTimeStr read: the local time unless tests set their own;
// an empty function restores the local time.
using TClock = std::function<TDateTime()>;
void SetClock(TClock Clock);
TDateTime Now();

// Days per month, common years (row 0) and leap years (row 1).
inline constexpr int32_t MonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                             {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};
// Day-of-week names, Sunday first: 日 月 火 水 木 金 土 (code page 932) and English.
inline constexpr const char* DayOfWeekJ[7] = {"\x93\xfa", "\x8c\x8e", "\x89\xce", "\x90\x85",
                                              "\x96\xd8", "\x8b\xe0", "\x93\x79"};
inline constexpr const char* DayOfWeekE[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};

// One era: name (two double-byte characters), letter, first and last day as YYYYMMDD.
struct TEraRow {
  std::string Name;
  std::string Letter;
  std::string FirstDay;
  std::string LastDay;
};
constexpr int32_t EraCount = 9;
using TEraTable = std::array<TEraRow, EraCount>;

// Built in: 明治 M, 大正 T, 昭和 S, 平成 H (to 2019/04/30), 令和 R (from 2019/05/01), then
// unused rows "？？" "?".
void ResetEraTable();
// Resets the table; when the file exists, its first 9 lines replace the rows: columns 1-4 the
// name, 6 the letter, 8-15 the first day, 17-24 the last day. A short line gives short or empty
// fields; missing lines give empty rows. An empty FileName keeps the built-in rows.
void LoadEraFile(const std::string& FileName);
const TEraTable& EraTable();
// The letters of all rows whose letter is not "?", in row order ("MTSHR" when built in).
const std::string& EraLetters();
// The 0-based row whose first and last day enclose Ymd (YYYYMMDD), or -1.
int32_t FindEra(int32_t Ymd);

// YYYY/MM/DD to YYYYMMDD and HH:MM to HHMM, from fixed character positions; "" gives 0. A text
// that gives no number raises EConvertError.
int32_t DateStrToInt(std::string_view S);
int32_t TimeStrToInt(std::string_view S);
// The clock's time as HH:MM, or HH:MM:SS.
std::string GetTimeStr(bool WithSeconds);
// The clock's day as YYYY/MM/DD.
std::string GetDateStr();
std::string DateToYmdStr(TDateTime Date);
// Reads YYYY/MM/DD into Date and returns true; an invalid text raises EConvertError.
bool YmdStrToDate(std::string_view S, TDateTime& Date);

}  // namespace rid
