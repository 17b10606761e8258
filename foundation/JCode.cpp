#include "foundation/JCode.h"

#include <algorithm>

namespace rid {

namespace {

constexpr bool In(uint8_t B, uint8_t Lo, uint8_t Hi) { return B >= Lo && B <= Hi; }

bool HasBinaryByte(std::string_view S) {
  const size_t n = std::min(S.size(), size_t(MaxCheck));
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = uint8_t(S[i]);
    if (b < 0x08 || b == 0xFF) return true;
  }
  return false;
}

// After a half-width kana byte and a byte E0-EF: reads on from At while the text stays
// undecided; returns the position of the byte where it stopped.
size_t LookAhead(std::string_view S, size_t At, JCodeKind& R) {
  while (R == jcEucOrSjis && At < S.size() && uint8_t(S[At]) >= 0x40) {
    const uint8_t b = uint8_t(S[At]);
    if (In(b, 0x81, 0x8D) || In(b, 0x8F, 0x9C))
      R = jcSjis;
    else if (In(b, 0xFD, 0xFE))
      R = jcEuc;
    ++At;
  }
  return At;
}

bool IsThreeByteUtf8(std::string_view S, size_t I) {
  if (I + 2 >= S.size()) return false;
  const uint8_t b = uint8_t(S[I]), c = uint8_t(S[I + 1]), d = uint8_t(S[I + 2]);
  if (!In(d, 0x80, 0xBF)) return false;
  if (b == 0xE0) return In(c, 0xA0, 0xBF);
  return In(b, 0xE1, 0xEF) && In(c, 0x80, 0xBF);
}

}  // namespace

JCodeKind DetectJCode(std::string_view S) {
  if (HasBinaryByte(S)) return jcBinary;
  const size_t n = S.size();
  JCodeKind r = jcAscii;
  size_t i = 0;
  while (i < n && !(r >= jcBinary && r <= jcSjis)) {
    const uint8_t b = uint8_t(S[i]);
    if (b == 0x1B) {
      // ESC $ B, ESC $ @; any other escape skips the bytes read.
      if (i + 1 >= n) break;
      if (S[i + 1] != '$') {
        i += 2;
        continue;
      }
      if (i + 2 >= n) break;
      if (S[i + 2] == 'B')
        r = jcJisB;
      else if (S[i + 2] == '@')
        r = jcJisAt;
      i += 3;
    } else if (b < 0x08 || b == 0xFF) {
      r = jcBinary;
      ++i;
    } else if (b < 0x80 || b == 0x80 || b == 0xA0) {
      ++i;
    } else if (In(b, 0x81, 0x8D) || In(b, 0x8F, 0x9F)) {
      r = jcSjis;
      ++i;
    } else if (In(b, 0xF0, 0xFE)) {
      r = jcEuc;
      ++i;
    } else {
      // 0x8E, 0xA1-0xDF and 0xE0-0xEF judge the byte after them; none after the end decides.
      if (i + 1 >= n) break;
      const uint8_t c = uint8_t(S[i + 1]);
      i += 2;
      if (b == 0x8E) {
        if (In(c, 0x40, 0x7E) || In(c, 0x80, 0xA0) || In(c, 0xE0, 0xFC))
          r = jcSjis;
        else if (In(c, 0xA1, 0xDF))
          r = jcEucOrSjis;
      } else if (In(b, 0xA1, 0xDF)) {
        if (In(c, 0xF0, 0xFE))
          r = jcEuc;
        else if (In(c, 0xA1, 0xDF))
          r = jcEucOrSjis;
        else if (In(c, 0xE0, 0xEF)) {
          r = jcEucOrSjis;
          i = LookAhead(S, i - 1, r) + 1;
        } else if (c <= 0x9F)
          r = jcSjis;
      } else {  // 0xE0-0xEF
        if (In(c, 0x40, 0x7E) || In(c, 0x80, 0xA0))
          r = jcSjis;
        else if (In(c, 0xFD, 0xFE))
          r = jcEuc;
        else if (In(c, 0xA1, 0xFC))
          r = jcEucOrSjis;
      }
    }
  }
  return r;
}

JCodeKind DetectCharCode(std::string_view S) {
  if (S.empty()) return jcBinary;
  const auto starts = [S](std::string_view Mark) { return S.starts_with(Mark); };
  if (starts("\xFF\xFE")) return jcUtf16LE;
  if (starts("\xFE\xFF")) return jcUtf16BE;
  if (starts("\xEF\xBB\xBF")) return jcUtf8Bom;
  // UTF-8 test over the window; a sequence that starts inside it may end past it.
  const size_t window = std::min(S.size(), size_t(MaxCheck));
  bool seen = false;
  for (size_t i = 0; i < window;) {
    const uint8_t b = uint8_t(S[i]);
    if (b < 0x80) {
      ++i;
    } else if (IsThreeByteUtf8(S, i)) {
      seen = true;
      i += 3;
    } else {
      return DetectJCode(S);
    }
  }
  return seen ? jcUtf8 : DetectJCode(S);
}

}  // namespace rid
