#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"
#include "platform/Locale.h"

namespace rid {

// StrToIntEx and StrToFloatEx raise EConvertError for text that is not a number.

// Byte and character tests.
constexpr bool IsSJISLeadByte(uint8_t B) { return IsDBCSLeadByte(B); }
constexpr bool IsSJISLeadByte(char B) { return IsDBCSLeadByte(B); }
constexpr bool IsSJISTrailByte(uint8_t B) { return IsDBCSTrailByte(B); }
constexpr bool IsSJISTrailByte(char B) { return IsDBCSTrailByte(static_cast<uint8_t>(B)); }
constexpr bool IsDigitChar(char C) { return C >= '0' && C <= '9'; }
// C is a digit or the first character of S; an empty S matches nothing but digits.
bool IsDigitOrChar(char C, std::string_view S);
constexpr bool IsAlphaChar(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }
constexpr bool IsCtrlChar(char C) { return static_cast<uint8_t>(C) < 32; }
// An optional leading '-', then only digits and points ("1.2.3" counts).
bool IsNumeric(std::string_view S);

// Length in bytes of the character starting at S[I] (0-based): 2 for a lead byte with a byte
// after it, else 1. Every scan below steps with it, so no match starts on a trail byte.
inline size_t CharLenAt(std::string_view S, size_t I) {
  return IsDBCSLeadByte(S[I]) && I + 1 < S.size() ? 2 : 1;
}

void SwapStr(std::string& A, std::string& B);
// The locale mapping of S under the LCMAP_* Flags; S itself when the mapping gives nothing.
std::string MapStr(std::string_view S, uint32_t Flags);
std::string ToFullWidth(std::string_view S);
std::string ToHalfWidth(std::string_view S);
// Trims, turns ideographic spaces into spaces and keeps one space of each run.
std::string CollapseSpaces(std::u16string_view S);
// Every occurrence of Old that starts on a character boundary, left to right.
std::string ReplaceAll(std::string_view S, std::string_view Old, std::string_view New);
std::string ReplaceCharW(std::u16string_view S, std::u16string_view Find,
                         std::u16string_view Replacement);
void SplitAt(std::string_view S, std::string_view Sep, std::string& Head, std::string& Tail);
void SplitToStrings(std::string_view S, std::string_view Sep, std::vector<std::string>& List);
void SplitToStrings(std::string_view S, std::string_view Sep, TStrings* List);
std::string RemoveSpaces(std::string_view S);
// Strips spaces and ideographic spaces at both ends.
std::string TrimAll(std::string_view S);
void RemoveChar(std::string& S, std::string_view Ch);
// Counts below zero give an empty string; counts above the length the whole string.
std::string LeftStr(std::string_view S, int64_t N);
std::string RightStr(std::string_view S, int64_t N);
std::u16string LeftStrW(std::u16string_view S, int64_t N);
std::u16string RightStrW(std::u16string_view S, int64_t N);
std::string Spaces(int64_t N);
// N copies of the first character of S (a double-byte character is repeated whole).
std::string RepeatChar(std::string_view S, int64_t N);
constexpr int32_t MaxInt2(int32_t A, int32_t B) { return A > B ? A : B; }
constexpr int32_t MinInt2(int32_t A, int32_t B) { return A < B ? A : B; }

// Number text; the decimal point is always '.'.
std::string NormalizeNumber(std::string_view S);
// The standard integer conversion: an optional sign, then decimal digits, or hexadecimal ones
// after '$' or "0x"; anything else, blanks included, raises EConvertError.
int32_t StrToInt(std::string_view S);
// The same without raising: false (Value unchanged) for text that is not such a number.
bool TryStrToInt(std::string_view S, int32_t& Value);
int32_t StrToIntEx(std::string_view S);
double StrToFloatEx(std::string_view S);
// Groups the integer digits by thousands; right-aligns in Width columns when Width > 0.
std::string FormatMoney(std::string_view S, int32_t Width);
std::string FloatToMoneyStr(double Value, int32_t Width);

// Key-press filter for edit fields: Enter and Esc become #0.
inline void KillEnterEsc(char& Key) {
  if (Key == '\r' || Key == '\x1b') Key = '\0';
}

}  // namespace rid
