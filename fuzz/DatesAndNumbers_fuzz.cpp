// The number, date and time texts and the era file; the first byte picks one, the rest is its
// input.
//  0: StrToInt agrees with a digit-by-digit model (sign, decimal or "$"/"0x" hexadecimal, the
//     32-bit range); StrToIntEx takes the same text between blanks; StrToFloatEx reads a decimal
//     integer as that number, and whatever it reads as strtod does.
//  1: YmdStrToDate either raises EConvertError or gives a day whose YYYY/MM/DD text reads back
//     as that day, through DateStrToInt too; DateStrToInt and TimeStrToInt raise nothing else.
//  2: LoadEraFile of a file of those bytes: fields no longer than their columns, the letters
//     those of the rows in order, and FindEra gives the first row enclosing a day.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/libStr.h"
#include "foundation/libYear.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Classes.h"

namespace {

using rid::fuzz::Check;

int DigitValue(char C, int Base) {
  int d = C >= '0' && C <= '9'   ? C - '0'
          : C >= 'a' && C <= 'f' ? C - 'a' + 10
          : C >= 'A' && C <= 'F' ? C - 'A' + 10
                                 : 99;
  return d < Base ? d : -1;
}

std::optional<int32_t> ModelStrToInt(std::string_view S) {
  size_t i = 0;
  bool negative = false;
  if (i < S.size() && (S[i] == '-' || S[i] == '+')) negative = S[i++] == '-';
  int base = 10;
  if (S.substr(i, 1) == "$") {
    base = 16;
    i += 1;
  } else if (S.substr(i, 2) == "0x" || S.substr(i, 2) == "0X") {
    base = 16;
    i += 2;
  }
  if (i == S.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < S.size(); ++i) {
    const int d = DigitValue(S[i], base);
    if (d < 0) return std::nullopt;
    value = value * base + d;
    if (value > (int64_t(1) << 32)) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

template <typename F>
auto Read(F&& Parse) -> std::optional<decltype(Parse())> {
  try {
    return Parse();
  } catch (const rid::EConvertError&) {
    return std::nullopt;
  }
}

void Numbers(const std::string& S) {
  const auto ours = Read([&] { return rid::StrToInt(S); });
  Check(ours == ModelStrToInt(S));
  if (ours) Check(Read([&] { return rid::StrToIntEx("  " + S + " "); }) == ours);
  const bool decimal = S.find_first_of("$xX") == std::string::npos;
  const auto real = Read([&] { return rid::StrToFloatEx(S); });
  if (ours && decimal) Check(real == double(*ours));
  if (real) {
    const std::string t = rid::NormalizeNumber(S);
    char* end = nullptr;
    const double theirs = std::strtod(t.c_str(), &end);
    Check(end == t.c_str() + t.size() && theirs == *real);
  }
}

void Dates(const std::string& S) {
  Read([&] { return rid::DateStrToInt(S); });
  Read([&] { return rid::TimeStrToInt(S); });
  rid::TDateTime date = 0;
  if (!Read([&] { return rid::YmdStrToDate(S, date); })) return;
  int32_t y, m, d;
  rid::DecodeDate(date, y, m, d);
  const std::string text = rid::DateToYmdStr(date);
  rid::TDateTime again = -1;
  Check(rid::YmdStrToDate(text, again) && again == date);
  Check(rid::DateStrToInt(text) == y * 10000 + m * 100 + d);
}

void Eras(std::string_view Bytes) {
  const std::string file = rid::fuzz::ScratchFile("eras.txt");
  rid::SaveBytesToFileAtomic(file, Bytes);
  rid::LoadEraFile(file);
  std::string letters;
  for (const rid::TEraRow& row : rid::EraTable()) {
    Check(row.Name.size() <= 4 && row.Letter.size() <= 1 && row.FirstDay.size() <= 8 &&
          row.LastDay.size() <= 8);
    if (row.Letter != "?") letters += row.Letter;
  }
  Check(rid::EraLetters() == letters);
  // The first row that encloses each day any row names.
  const auto encloses = [](const rid::TEraRow& Row, int32_t Ymd) {
    if (Row.Letter == "?" || Row.FirstDay.size() != 8 || Row.LastDay.size() != 8) return false;
    const auto first = Read([&] { return rid::StrToInt(Row.FirstDay); });
    const auto last = Read([&] { return rid::StrToInt(Row.LastDay); });
    return first && last && *first <= Ymd && Ymd <= *last;
  };
  for (const rid::TEraRow& row : rid::EraTable()) {
    for (const std::string& day : {row.FirstDay, row.LastDay}) {
      const auto ymd = Read([&] { return rid::StrToInt(day); });
      if (!ymd) continue;
      int32_t expected = -1;
      for (int32_t i = 0; i < rid::EraCount && expected < 0; ++i)
        if (encloses(rid::EraTable()[i], *ymd)) expected = i;
      Check(rid::FindEra(*ymd) == expected);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const std::string in(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  switch (Data[0] % 3) {
    case 0:
      Numbers(in);
      break;
    case 1:
      Dates(in);
      break;
    default:
      Eras(in);
      break;
  }
  return 0;
}
