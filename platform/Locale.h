#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rid {

// Code page 932 services: lead bytes, conversion to and from UTF-16 and UTF-8, the
// LCMapStringA mappings and byte-level character classes. The 932 tables are built once, on
// first use (thread-safe), from glibc iconv's CP932; without it only single bytes convert.
// Nothing here throws.

constexpr uint32_t CP_ACP = 0;  // the ANSI code page: 932 here
constexpr uint32_t CP_SJIS = 932;
constexpr uint32_t CP_UTF8 = 65001;

// A Shift-JIS lead byte: 0x81-0x9F or 0xE0-0xFC.
constexpr bool IsDBCSLeadByte(uint8_t B) {
  return (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC);
}
constexpr bool IsDBCSLeadByte(char B) { return IsDBCSLeadByte(static_cast<uint8_t>(B)); }
// A byte that may follow a lead byte: 0x40-0x7E or 0x80-0xFC.
constexpr bool IsDBCSTrailByte(uint8_t B) {
  return (B >= 0x40 && B <= 0x7E) || (B >= 0x80 && B <= 0xFC);
}
// The length of the character that starts at S[I]: 2 for a lead byte followed by a trail byte,
// else 1. A lead byte before anything else (or at the end) is a character of its own, as the
// conversions read it; the editor, its search and the highlighters walk text the same way.
constexpr size_t SjisCharLength(std::string_view S, size_t I) {
  return IsDBCSLeadByte(S[I]) && I + 1 < S.size() && IsDBCSTrailByte(static_cast<uint8_t>(S[I + 1]))
             ? 2
             : 1;
}

// Text in CodePage (65001; any other code page is read as 932, the ANSI code page) to UTF-16;
// never fails. UTF-8: each maximal ill-formed subpart becomes U+FFFD, characters above U+FFFF a
// surrogate pair. 932 as Windows reads it: 0x5C and 0x7E are ASCII, 0x80 is U+0080, 0xA0 U+F8F0,
// 0xFD-0xFF U+F8F1-U+F8F3, F040-F9FC U+E000-U+E757; a lead byte followed by a trail byte that
// makes no character gives one U+30FB for both bytes, a lead byte followed by anything else (or
// nothing) one U+30FB for itself. *Invalid (when given) counts those U+30FB of 932 text, so a
// caller can warn before writing a file that would lose the stray bytes.
std::u16string MultiByteToWideChar(uint32_t CodePage, std::string_view Text,
                                   size_t* Invalid = nullptr);
// UTF-16 to CodePage; a character with no form there becomes '?', and *UsedDefault (when
// given) counts the substitutions. 932 has no best fit (U+00A5 gives '?'); a surrogate pair is
// one '?', a lone surrogate too (U+FFFD in UTF-8). A character with several 932 codes gets the
// one Windows writes: JIS X 0208 before NEC row 13, before IBM extensions (FA-FC), before the
// NEC-selected IBM extensions (ED-EE).
std::string WideCharToMultiByte(uint32_t CodePage, std::u16string_view Text,
                                size_t* UsedDefault = nullptr);

// Direct 932 <-> UTF-8 (the drawing and clipboard roads), with the same rules as above; the
// whole length is converted, zero bytes included.
std::string SjisToUtf8(std::string_view Sjis, size_t* Invalid = nullptr);
std::string Utf8ToSjis(std::string_view Utf8, size_t* UsedDefault = nullptr);
// The same written over Text itself (Shift-JIS is never longer), so that a large file is not
// held twice while it is converted.
void Utf8ToSjisInPlace(std::string& Text, size_t* UsedDefault = nullptr);
// Whether Text is well-formed UTF-8 (no overlong form, surrogate or code above U+10FFFF, no cut
// sequence) holding at least one character beyond ASCII.
bool IsMultiByteUtf8(std::string_view Text);

// LCMapStringA flags.
constexpr uint32_t LCMAP_LOWERCASE = 0x00000100;
constexpr uint32_t LCMAP_UPPERCASE = 0x00000200;
constexpr uint32_t LCMAP_HALFWIDTH = 0x00400000;
constexpr uint32_t LCMAP_FULLWIDTH = 0x00800000;
constexpr uint32_t LCMAP_KATAKANA = 0x00200000;
constexpr uint32_t LCMAP_HIRAGANA = 0x00100000;

// Maps 932 text through Unicode as Windows does (case mapping also changes full-width Latin,
// Greek and Cyrillic letters and Roman numerals; full width composes half-width kana with their
// voiced marks, half width splits them). A character whose result has no 932 form, an unchanged
// character and bytes that make no character are kept as they were. Contradicting flags (lower
// with upper, half with full width, katakana with hiragana) fail on Windows: the text is kept.
std::string LCMapStringA(std::string_view Text, uint32_t Flags);

// Byte-level case changes: ASCII letters only; both bytes of a double-byte character are kept.
void CharUpperBuffA(char* Text, size_t Length);
void CharLowerBuffA(char* Text, size_t Length);
std::string AnsiUpperCase(std::string_view Text);
std::string AnsiLowerCase(std::string_view Text);
// ASCII case-insensitive compare (letters taken as upper case, bytes unsigned; <0, 0, >0) that
// never folds a byte of a double-byte character.
int AnsiCompareText(std::string_view A, std::string_view B);
bool AnsiSameText(std::string_view A, std::string_view B);

// Character classes of a single byte under code page 932: ASCII letters and digits, and the
// half-width katakana 0xA6-0xDF count as alphabetic.
bool IsCharAlphaA(uint8_t B);
bool IsCharAlphaNumericA(uint8_t B);
bool IsCharUpperA(uint8_t B);
bool IsCharLowerA(uint8_t B);

}  // namespace rid
