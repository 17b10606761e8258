#include "foundation/libStr.h"

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace rid {

namespace {

constexpr int kWidthEntries = 82;

// Half-width row of the width table; '-' and ':' stand twice, the first entry wins.
constexpr std::string_view kHalfRow =
    " #%&@+--*:/()~\xA5.,:;_"
    "1234567890"
    "abcdefghijklmnopqrstuvwxyz"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Full-width row: the code page 932 pair of each entry, as one 16-bit value.
constexpr std::array<uint16_t, kWidthEntries> MakeFullRow() {
  std::array<uint16_t, kWidthEntries> row{};
  constexpr uint16_t kSymbols[20] = {0x8140, 0x8194, 0x8193, 0x8195, 0x8197, 0x817B, 0x817C,
                                     0x815B, 0x8196, 0x8146, 0x815E, 0x8169, 0x816A, 0x8160,
                                     0x8145, 0x8142, 0x8141, 0x8146, 0x8147, 0x8151};
  for (int i = 0; i < 20; ++i) row[i] = kSymbols[i];
  for (int i = 0; i < 9; ++i) row[20 + i] = uint16_t(0x8250 + i);   // １..９
  row[29] = 0x824F;                                                 // ０
  for (int i = 0; i < 26; ++i) row[30 + i] = uint16_t(0x8281 + i);  // ａ..ｚ
  for (int i = 0; i < 26; ++i) row[56 + i] = uint16_t(0x8260 + i);  // Ａ..Ｚ
  return row;
}
constexpr auto kFullRow = MakeFullRow();

static_assert(kHalfRow.size() == kWidthEntries);

// Entry of the first half-width match per byte, or -1.
constexpr std::array<int8_t, 256> MakeHalfIndex() {
  std::array<int8_t, 256> index{};
  for (auto& e : index) e = -1;
  for (int i = kWidthEntries - 1; i >= 0; --i) index[uint8_t(kHalfRow[i])] = int8_t(i);
  return index;
}
constexpr auto kHalfIndex = MakeHalfIndex();

bool IsIdeographicSpaceAt(std::string_view S, size_t I) {
  return I + 1 < S.size() && uint8_t(S[I]) == 0x81 && uint8_t(S[I + 1]) == 0x40;
}

// First occurrence of Pat at or after From that starts on a character boundary; From must be one.
size_t FindOnBoundary(std::string_view S, std::string_view Pat, size_t From = 0) {
  if (Pat.empty()) return std::string_view::npos;
  for (size_t i = From; i < S.size(); i += CharLenAt(S, i)) {
    if (S[i] == Pat[0] && S.substr(i, Pat.size()) == Pat) return i;
  }
  return std::string_view::npos;
}

std::string_view TrimCtrl(std::string_view S) {
  size_t b = 0, e = S.size();
  while (b < e && uint8_t(S[b]) <= 32) ++b;
  while (e > b && uint8_t(S[e - 1]) <= 32) --e;
  return S.substr(b, e - b);
}

std::string_view TrimCtrlRight(std::string_view S) {
  size_t e = S.size();
  while (e > 0 && uint8_t(S[e - 1]) <= 32) --e;
  return S.substr(0, e);
}

}  // namespace

bool IsDigitOrChar(char C, std::string_view S) {
  return IsDigitChar(C) || (!S.empty() && C == S[0]);
}

bool IsNumeric(std::string_view S) {
  if (S.empty() || S == "-" || S == "+" || S == ".") return false;
  if (S[0] == '-') S.remove_prefix(1);
  for (char c : S)
    if (c != '.' && !IsDigitChar(c)) return false;
  return true;
}

void SwapStr(std::string& A, std::string& B) { std::swap(A, B); }

std::string MapStr(std::string_view S, uint32_t Flags) {
  std::string mapped = LCMapStringA(S, Flags);
  if (mapped.empty()) return std::string(S);
  return mapped;
}

std::string ToFullWidth(std::string_view S) {
  std::string out;
  out.reserve(S.size() * 2);
  for (size_t i = 0; i < S.size();) {
    const size_t len = CharLenAt(S, i);
    if (len == 1 && !IsDBCSLeadByte(S[i]) && kHalfIndex[uint8_t(S[i])] >= 0) {
      const uint16_t pair = kFullRow[kHalfIndex[uint8_t(S[i])]];
      out += char(pair >> 8);
      out += char(pair & 0xFF);
    } else {
      out.append(S, i, len);
    }
    i += len;
  }
  return out;
}

std::string ToHalfWidth(std::string_view S) {
  std::string out;
  out.reserve(S.size());
  for (size_t i = 0; i < S.size();) {
    const size_t len = CharLenAt(S, i);
    int found = -1;
    if (len == 2) {
      const uint16_t pair = uint16_t(uint8_t(S[i]) << 8 | uint8_t(S[i + 1]));
      for (int e = 0; e < kWidthEntries && found < 0; ++e)
        if (kFullRow[e] == pair) found = e;
    }
    if (found >= 0)
      out += kHalfRow[found];
    else
      out.append(S, i, len);
    i += len;
  }
  return out;
}

std::string TrimAll(std::string_view S) {
  size_t begin = 0;
  while (begin < S.size()) {
    if (IsIdeographicSpaceAt(S, begin))
      begin += 2;
    else if (S[begin] == ' ')
      ++begin;
    else
      break;
  }
  // The tail is found by a forward walk, so 81 40 counts only where 81 starts a character.
  size_t end = begin;
  for (size_t i = begin; i < S.size();) {
    const size_t len = CharLenAt(S, i);
    if (!(S[i] == ' ' || (len == 2 && IsIdeographicSpaceAt(S, i)))) end = i + len;
    i += len;
  }
  return std::string(S.substr(begin, end - begin));
}

std::string CollapseSpaces(std::u16string_view S) {
  const std::string bytes = WideCharToMultiByte(CP_ACP, S);
  const std::string trimmed = TrimAll(bytes);
  if (trimmed.empty()) return bytes;
  std::string out;
  out.reserve(trimmed.size());
  bool lastSpace = false;
  for (size_t i = 0; i < trimmed.size();) {
    const size_t len = CharLenAt(trimmed, i);
    const bool space = trimmed[i] == ' ' || (len == 2 && IsIdeographicSpaceAt(trimmed, i));
    if (space) {
      if (!lastSpace) out += ' ';
    } else {
      out.append(trimmed, i, len);
    }
    lastSpace = space;
    i += len;
  }
  return out;
}

std::string ReplaceAll(std::string_view S, std::string_view Old, std::string_view New) {
  if (Old.empty()) return std::string(S);
  std::string out;
  out.reserve(S.size());
  size_t from = 0;
  for (size_t at = FindOnBoundary(S, Old); at != std::string_view::npos;
       at = FindOnBoundary(S, Old, from)) {
    out.append(S, from, at - from);
    out.append(New);
    from = at + Old.size();
  }
  out.append(S, from);
  return out;
}

std::string ReplaceCharW(std::u16string_view S, std::u16string_view Find,
                         std::u16string_view Replacement) {
  const std::string collapsed = CollapseSpaces(S);
  if (Find.empty() || TrimAll(collapsed).empty()) return collapsed;
  const std::u16string wide = MultiByteToWideChar(CP_ACP, collapsed);
  std::u16string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size();) {
    if (wide.compare(i, Find.size(), Find) == 0) {
      out += Replacement;
      i += Find.size();
    } else {
      out += wide[i++];
    }
  }
  return WideCharToMultiByte(CP_ACP, out);
}

void SplitAt(std::string_view S, std::string_view Sep, std::string& Head, std::string& Tail) {
  S = TrimCtrlRight(S);
  const size_t at = FindOnBoundary(S, Sep);
  if (at == std::string_view::npos) {
    Head = std::string(S);
    Tail.clear();
    return;
  }
  Head = std::string(S.substr(0, at));
  Tail = std::string(S.substr(at + Sep.size()));
}

void SplitToStrings(std::string_view S, std::string_view Sep, std::vector<std::string>& List) {
  List.clear();
  S = TrimCtrl(S);
  size_t from = 0;
  for (size_t at = FindOnBoundary(S, Sep); at != std::string_view::npos;
       at = FindOnBoundary(S, Sep, from)) {
    List.emplace_back(S.substr(from, at - from));
    from = at + Sep.size();
  }
  List.emplace_back(S.substr(from));
}

void SplitToStrings(std::string_view S, std::string_view Sep, TStrings* List) {
  std::vector<std::string> items;
  SplitToStrings(S, Sep, items);
  List->Clear();
  for (const std::string& item : items) List->Add(item);
}

std::string RemoveSpaces(std::string_view S) {
  S = TrimCtrl(S);
  std::string out;
  out.reserve(S.size());
  for (size_t i = 0; i < S.size();) {
    const size_t len = CharLenAt(S, i);
    if (!(S[i] == ' ' || (len == 2 && IsIdeographicSpaceAt(S, i)))) out.append(S, i, len);
    i += len;
  }
  return out;
}

void RemoveChar(std::string& S, std::string_view Ch) { S = ReplaceAll(S, Ch, {}); }

std::string LeftStr(std::string_view S, int64_t N) {
  if (N <= 0) return {};
  return std::string(S.substr(0, size_t(std::min<int64_t>(N, int64_t(S.size())))));
}

std::string RightStr(std::string_view S, int64_t N) {
  if (N <= 0) return {};
  const size_t n = size_t(std::min<int64_t>(N, int64_t(S.size())));
  return std::string(S.substr(S.size() - n));
}

std::u16string LeftStrW(std::u16string_view S, int64_t N) {
  if (N <= 0) return {};
  return std::u16string(S.substr(0, size_t(std::min<int64_t>(N, int64_t(S.size())))));
}

std::u16string RightStrW(std::u16string_view S, int64_t N) {
  if (N <= 0) return {};
  const size_t n = size_t(std::min<int64_t>(N, int64_t(S.size())));
  return std::u16string(S.substr(S.size() - n));
}

std::string Spaces(int64_t N) { return N <= 0 ? std::string() : std::string(size_t(N), ' '); }

std::string RepeatChar(std::string_view S, int64_t N) {
  if (S.empty() || N <= 0) return {};
  const std::string_view ch = S.substr(0, CharLenAt(S, 0));
  std::string out;
  out.reserve(ch.size() * size_t(N));
  for (int64_t i = 0; i < N; ++i) out.append(ch);
  return out;
}

std::string NormalizeNumber(std::string_view S) {
  std::string t = TrimAll(S);
  if (t.empty() || t == "." || t == "+" || t == "-") return "0";
  if (t.starts_with("-.")) t.insert(1, "0");
  return t;
}

bool TryStrToInt(std::string_view S, int32_t& Value) {
  std::string_view v = S;
  bool negative = false;
  if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
    negative = v[0] == '-';
    v.remove_prefix(1);
  }
  int base = 10;
  if (v.starts_with("$")) {
    base = 16;
    v.remove_prefix(1);
  } else if (v.starts_with("0x") || v.starts_with("0X")) {
    base = 16;
    v.remove_prefix(2);
  }
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
  if (negative) value = -value;
  if (v.empty() || v[0] == '-' || ec != std::errc() || end != v.data() + v.size() ||
      value < INT32_MIN || value > INT32_MAX)
    return false;
  Value = int32_t(value);
  return true;
}

int32_t StrToInt(std::string_view S) {
  int32_t value = 0;
  if (!TryStrToInt(S, value))
    throw EConvertError("'" + std::string(S) + "' is not a valid integer value");
  return value;
}

int32_t StrToIntEx(std::string_view S) { return StrToInt(NormalizeNumber(S)); }

double StrToFloatEx(std::string_view S) {
  const std::string t = NormalizeNumber(S);
  std::string_view v = t;
  bool negative = false;
  if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
    negative = v[0] == '-';
    v.remove_prefix(1);
  }
  // Plain decimal forms only: no "inf", "nan" or hexadecimal floats.
  const bool plain = !v.empty() && v[0] != '+' && v[0] != '-' &&
                     v.find_first_not_of("0123456789.eE+-") == std::string_view::npos &&
                     v.find_first_of("0123456789") != std::string_view::npos;
  double value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  if (!plain || ec != std::errc() || end != v.data() + v.size())
    throw EConvertError("'" + t + "' is not a valid floating point value");
  return negative ? -value : value;
}

std::string FormatMoney(std::string_view S, int32_t Width) {
  if (!IsNumeric(S)) return std::string(S);
  std::string_view integer = S;
  std::string_view fraction;
  const size_t point = S.find('.');
  const bool hasFraction = point != std::string_view::npos;
  if (hasFraction) {
    integer = S.substr(0, point);
    fraction = S.substr(point + 1);
  }
  const bool negative = integer.starts_with("-");
  if (negative) integer.remove_prefix(1);
  // Group the digits themselves: no detour through a bounded integer type.
  while (integer.size() > 1 && integer[0] == '0') integer.remove_prefix(1);
  if (integer.empty()) integer = "0";
  std::string text = negative ? "-" : "";
  for (size_t i = 0; i < integer.size(); ++i) {
    if (i > 0 && (integer.size() - i) % 3 == 0) text += ',';
    text += integer[i];
  }
  if (hasFraction) {
    text += '.';
    text.append(fraction);
  }
  if (Width > 0) {
    if (text.size() < size_t(Width))
      text.insert(0, size_t(Width) - text.size(), ' ');
    else
      text.erase(0, text.size() - size_t(Width));
  }
  return text;
}

std::string FloatToMoneyStr(double Value, int32_t Width) {
  char buf[64];
  const auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::general, 15);
  std::string text(buf, ec == std::errc() ? end : buf);
  // The exponent as the system writes it: "1E20", "1E-7".
  const size_t e = text.find('e');
  if (e != std::string::npos) {
    std::string exponent = text.substr(e + 1);
    std::string sign;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
      if (exponent[0] == '-') sign = "-";
      exponent.erase(0, 1);
    }
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    text = text.substr(0, e) + "E" + sign + exponent;
  }
  return FormatMoney(text, Width);
}

}  // namespace rid
