#include "foundation/libCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace rid {

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kBinHexAlphabet =
    "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
static_assert(kBase64Alphabet.size() == 64 && kBinHexAlphabet.size() == 64);

constexpr int8_t kInvalid = -1;

// A reverse table over all 256 byte values, so no lookup can leave it.
constexpr std::array<int8_t, 256> ReverseTable(std::string_view Alphabet) {
  std::array<int8_t, 256> t{};
  for (auto& v : t) v = kInvalid;
  for (size_t i = 0; i < Alphabet.size(); ++i)
    t[static_cast<uint8_t>(Alphabet[i])] = static_cast<int8_t>(i);
  return t;
}
constexpr auto kBase64Reverse = ReverseTable(kBase64Alphabet);
constexpr auto kBinHexReverse = ReverseTable(kBinHexAlphabet);

uint8_t ByteOf(char C) { return static_cast<uint8_t>(C); }
bool IsLineBreak(char C) { return C == '\r' || C == '\n'; }

[[noreturn]] void Fail(const char* Codec, const char* What, size_t Index, char C) {
  char code[8];
  snprintf(code, sizeof code, "0x%02X", ByteOf(C));
  throw ECodecError(std::string(Codec) + ": " + What + " " + code + " at position " +
                    std::to_string(Index + 1));
}
[[noreturn]] void Fail(const char* Codec, const std::string& What) {
  throw ECodecError(std::string(Codec) + ": " + What);
}

// Four 6-bit digits, most significant first, of the three bytes at P (missing bytes are 0).
std::array<uint8_t, 4> Split(const char* P, size_t Have) {
  uint32_t v = ByteOf(P[0]) << 16;
  if (Have > 1) v |= ByteOf(P[1]) << 8;
  if (Have > 2) v |= ByteOf(P[2]);
  return {uint8_t(v >> 18 & 63), uint8_t(v >> 12 & 63), uint8_t(v >> 6 & 63), uint8_t(v & 63)};
}

// Appends the first Count bytes of the three that four 6-bit digits carry.
void Join(const uint8_t* D, size_t Count, std::string& Out) {
  uint32_t v = D[0] << 18 | D[1] << 12 | D[2] << 6 | D[3];
  const char b[3] = {char(v >> 16), char(v >> 8), char(v)};
  Out.append(b, Count);
}

char UUChar(uint8_t V) { return V == 0 ? '`' : char(V + 0x20); }

}  // namespace

std::string Base64Encode(std::string_view S) {
  std::string out;
  out.reserve((S.size() + 2) / 3 * 4);
  for (size_t i = 0; i < S.size(); i += 3) {
    size_t have = std::min<size_t>(3, S.size() - i);
    auto d = Split(S.data() + i, have);
    out += kBase64Alphabet[d[0]];
    out += kBase64Alphabet[d[1]];
    out += have > 1 ? kBase64Alphabet[d[2]] : '=';
    out += have > 2 ? kBase64Alphabet[d[3]] : '=';
  }
  return out;
}

std::string Base64Decode(std::string_view S) {
  std::string out;
  out.reserve(S.size() / 4 * 3);
  uint8_t d[4];
  size_t n = 0;     // digits of the current group
  size_t pads = 0;  // '=' seen in the current group
  for (size_t i = 0; i < S.size(); ++i) {
    char c = S[i];
    if (IsLineBreak(c)) continue;
    if (c == '=') {
      // Padding may fill only the third and fourth places, and a padded third needs a fourth.
      if (n < 2) Fail("Base64", "misplaced padding", i, c);
      d[n++] = 0;
      ++pads;
    } else {
      int8_t v = kBase64Reverse[ByteOf(c)];
      if (v == kInvalid) Fail("Base64", "invalid character", i, c);
      if (pads) Fail("Base64", "data after padding", i, c);
      d[n++] = uint8_t(v);
    }
    if (n == 4) {
      Join(d, 3 - pads, out);
      n = pads = 0;
    }
  }
  if (n) Fail("Base64", "the text ends inside a group of four characters");
  return out;
}

std::string UUEncode(std::string_view S, std::string_view LineEnd) {
  std::string out;
  out.reserve(S.size() / 45 * (61 + LineEnd.size()) + 66 + 3 * LineEnd.size());
  for (size_t line = 0; line < S.size(); line += 45) {
    size_t len = std::min<size_t>(45, S.size() - line);
    out += char(len + 0x20);
    for (size_t i = 0; i < len; i += 3)
      for (uint8_t v : Split(S.data() + line + i, std::min<size_t>(3, len - i))) out += UUChar(v);
    out += LineEnd;
  }
  // Empty input is the "`" line alone: an empty line before it would decode as data elsewhere.
  out += '`';
  out += LineEnd;
  return out;
}

namespace {

// Decodes one line (without its break) into Out.
void UUDecodeLine(std::string_view S, size_t Start, size_t End, std::string& Out) {
  auto value = [&](size_t i) {
    char c = S[i];
    if (ByteOf(c) < 0x20 || ByteOf(c) > 0x60) Fail("uuencode", "invalid character", i, c);
    return uint8_t((ByteOf(c) - 0x20) & 63);
  };
  size_t left = value(Start);
  size_t i = Start + 1;
  while (left > 0) {
    if (End - i < 4)
      Fail("uuencode", "the line at position " + std::to_string(Start + 1) +
                           " is shorter than its length character says");
    uint8_t d[4] = {value(i), value(i + 1), value(i + 2), value(i + 3)};
    size_t take = std::min<size_t>(3, left);
    Join(d, take, Out);
    left -= take;
    i += 4;
  }
  for (; i < End; ++i) value(i);  // a stray character past the data is still checked
}

}  // namespace

std::string UUDecode(std::string_view S) {
  std::string out;
  out.reserve(S.size() / 4 * 3);
  bool first = true;
  size_t i = 0;
  while (i < S.size()) {
    if (IsLineBreak(S[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < S.size() && !IsLineBreak(S[end])) ++end;
    std::string_view line = S.substr(i, end - i);
    if (line == "end" || line.starts_with("end ")) break;
    if (!(first && line.starts_with("begin "))) UUDecodeLine(S, i, end, out);
    first = false;
    i = end;
  }
  return out;
}

std::string BinHexEncode(std::string_view S, std::string_view LineEnd) {
  std::string out;
  out.reserve(S.size() / 3 * 4 + S.size() / 48 * LineEnd.size() + 8);
  out += ':';
  size_t column = 1;  // the ':' counts on the first line
  for (size_t i = 0; i < S.size(); i += 3) {
    size_t have = std::min<size_t>(3, S.size() - i);
    auto d = Split(S.data() + i, have);
    out += kBinHexAlphabet[d[0]];
    out += kBinHexAlphabet[d[1]];
    column += 2;
    if (have == 1) break;
    out += kBinHexAlphabet[d[2]];
    if (++column == 64) {
      out += LineEnd;
      column = 0;
    }
    if (have == 2) break;
    out += kBinHexAlphabet[d[3]];
    ++column;
  }
  out += ':';
  return out;
}

std::string BinHexDecode(std::string_view S) {
  size_t i = 0;
  while (i < S.size() && IsLineBreak(S[i])) ++i;
  if (i == S.size()) Fail("BinHex", "the text does not begin with ':'");
  if (S[i] != ':') Fail("BinHex", "the text does not begin with ':'; found", i, S[i]);
  std::string out;
  out.reserve(S.size() / 4 * 3);
  uint8_t d[4];
  size_t n = 0;
  for (++i; i < S.size(); ++i) {
    char c = S[i];
    if (IsLineBreak(c)) continue;
    if (c == ':') break;
    int8_t v = kBinHexReverse[ByteOf(c)];
    if (v == kInvalid) Fail("BinHex", "invalid character", i, c);
    d[n++] = uint8_t(v);
    if (n == 4) {
      Join(d, 3, out);
      n = 0;
    }
  }
  if (n == 1) Fail("BinHex", "the data ends with a single character");
  if (n > 1) {
    for (size_t k = n; k < 4; ++k) d[k] = 0;
    Join(d, n - 1, out);
  }
  return out;
}

}  // namespace rid
