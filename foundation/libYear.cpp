#include "foundation/libYear.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "foundation/libStr.h"

namespace rid {

namespace {

constexpr int64_t kMSecsPerDay = 24 * 60 * 60 * 1000;

// Days from 1970-01-01 of a day of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t& Year, int32_t& Month, int32_t& Day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  Day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  Month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  Year = static_cast<int32_t>(yoe + era * 400 + (Month <= 2));
}

const int64_t kDelphiEpoch = DaysFromCivil(1899, 12, 30);

TDateTime LocalNow() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  int32_t ms = static_cast<int32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
         EncodeTime(tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), ms);
}

TClock& Clock() {
  static TClock clock;
  return clock;
}

// Characters From..From+Len-1 (1-based) as far as S reaches.
std::string_view Copy(std::string_view S, size_t From, size_t Len) {
  return From - 1 < S.size() ? S.substr(From - 1, Len) : std::string_view();
}

std::string Padded(int32_t Value, size_t Width) {
  std::string s = std::string(Width, '0') + std::to_string(Value);
  return s.substr(s.size() - Width);
}

struct TEraState {
  TEraTable Table;
  std::string Letters;
};

void BuildLetters(TEraState& State) {
  State.Letters.clear();
  for (const auto& row : State.Table)
    if (row.Letter != "?") State.Letters += row.Letter;
}

TEraState BuiltInEras() {
  TEraState state{{{
                      {"\x96\xbe\x8e\xa1", "M", "18681022", "19120729"},  // 明治
                      {"\x91\xe5\x90\xb3", "T", "19120730", "19261224"},  // 大正
                      {"\x8f\xba\x98\x61", "S", "19261225", "19890107"},  // 昭和
                      {"\x95\xbd\x90\xac", "H", "19890108", "20190430"},  // 平成
                      {"\x97\xdf\x98\x61", "R", "20190501", "99991231"},  // 令和
                      {"\x81\x48\x81\x48", "?", "99991231", "99991231"},
                      {"\x81\x48\x81\x48", "?", "99991231", "99991231"},
                      {"\x81\x48\x81\x48", "?", "99991231", "99991231"},
                      {"\x81\x48\x81\x48", "?", "99991231", "99991231"},
                  }},
                  {}};
  BuildLetters(state);
  return state;
}

TEraState& Eras() {
  static TEraState state = BuiltInEras();
  return state;
}

}  // namespace

bool IsLeapYear(int32_t Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

TDateTime EncodeDate(int32_t Year, int32_t Month, int32_t Day) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 ||
      Day > MonthDays[IsLeapYear(Year)][Month - 1])
    throw EConvertError("Invalid argument to date encode");
  return static_cast<TDateTime>(DaysFromCivil(Year, Month, Day) - kDelphiEpoch);
}

TDateTime EncodeTime(int32_t Hour, int32_t Min, int32_t Sec, int32_t MSec) {
  if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999)
    throw EConvertError("Invalid argument to time encode");
  return (((Hour * 60 + Min) * 60 + Sec) * 1000.0 + MSec) / kMSecsPerDay;
}

void DecodeDate(TDateTime Date, int32_t& Year, int32_t& Month, int32_t& Day) {
  CivilFromDays(static_cast<int64_t>(std::trunc(Date)) + kDelphiEpoch, Year, Month, Day);
}

void DecodeTime(TDateTime Time, int32_t& Hour, int32_t& Min, int32_t& Sec, int32_t& MSec) {
  double frac = std::fabs(Time - std::trunc(Time));
  int64_t ms = std::min<int64_t>(std::llround(frac * kMSecsPerDay), kMSecsPerDay - 1);
  MSec = static_cast<int32_t>(ms % 1000);
  Sec = static_cast<int32_t>(ms / 1000 % 60);
  Min = static_cast<int32_t>(ms / 60000 % 60);
  Hour = static_cast<int32_t>(ms / 3600000);
}

void SetClock(TClock AClock) { Clock() = std::move(AClock); }

TDateTime Now() { return Clock() ? Clock()() : LocalNow(); }

void ResetEraTable() { Eras() = BuiltInEras(); }

void LoadEraFile(const std::string& FileName) {
  ResetEraTable();
  std::error_code ec;
  if (FileName.empty() || !std::filesystem::is_regular_file(FileName, ec)) return;
  TStringList lines;
  lines.LoadFromFile(FileName);
  TEraState& state = Eras();
  for (int32_t i = 0; i < EraCount; ++i) {
    std::string line = i < lines.Count() ? lines[i] : std::string();
    state.Table[i] = {std::string(Copy(line, 1, 4)), std::string(Copy(line, 6, 1)),
                      std::string(Copy(line, 8, 8)), std::string(Copy(line, 17, 8))};
  }
  BuildLetters(state);
}

const TEraTable& EraTable() { return Eras().Table; }
const std::string& EraLetters() { return Eras().Letters; }

int32_t FindEra(int32_t Ymd) {
  const TEraTable& table = EraTable();
  for (int32_t i = 0; i < EraCount; ++i) {
    const TEraRow& row = table[i];
    if (row.Letter == "?" || row.FirstDay.size() != 8 || row.LastDay.size() != 8) continue;
    try {
      if (StrToInt(row.FirstDay) <= Ymd && Ymd <= StrToInt(row.LastDay)) return i;
    } catch (const EConvertError&) {
    }
  }
  return -1;
}

int32_t DateStrToInt(std::string_view S) {
  if (S.empty()) return 0;
  std::string digits(Copy(S, 1, 4));
  digits.append(Copy(S, 6, 2)).append(Copy(S, 9, 2));
  return StrToInt(digits);
}

int32_t TimeStrToInt(std::string_view S) {
  if (S.empty()) return 0;
  std::string digits(Copy(S, 1, 2));
  digits.append(Copy(S, 4, 2));
  return StrToInt(digits);
}

std::string GetTimeStr(bool WithSeconds) {
  int32_t h, m, s, ms;
  DecodeTime(Now(), h, m, s, ms);
  std::string text = Padded(h, 2) + ":" + Padded(m, 2);
  if (WithSeconds) text += ":" + Padded(s, 2);
  return text;
}

std::string GetDateStr() { return DateToYmdStr(Now()); }

std::string DateToYmdStr(TDateTime Date) {
  int32_t y, m, d;
  DecodeDate(Date, y, m, d);
  return Padded(y, 4) + "/" + Padded(m, 2) + "/" + Padded(d, 2);
}

bool YmdStrToDate(std::string_view S, TDateTime& Date) {
  Date = EncodeDate(StrToInt(Copy(S, 1, 4)), StrToInt(Copy(S, 6, 2)), StrToInt(Copy(S, 9, 2)));
  return true;
}

}  // namespace rid
